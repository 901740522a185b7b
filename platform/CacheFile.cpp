#include "CacheFile.h"

#include <QtCore/QFile>

#include <cstdio>

bool WriteCacheFile(const QString& path, const std::function<bool(QIODevice&)>& write,
                    const std::function<void()>& beforeRename)
{
    const QString part = path + QStringLiteral(".part");
    bool ok = false;
    {
        QFile file(part);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            ok = write(file) && file.flush();
            file.close();
            ok = ok && file.error() == QFileDevice::NoError;
        }
    }
    if (ok) {
        if (beforeRename)
            beforeRename();
        // A plain rename: QFile::rename would copy across file systems.
        ok = std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) == 0;
    }
    if (!ok)
        QFile::remove(part);
    return ok;
}
