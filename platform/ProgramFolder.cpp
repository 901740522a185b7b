#include "ProgramFolder.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>

namespace {
QString& OverrideFolder()
{
    static QString folder;
    return folder;
}

QString WithSlash(QString path)
{
    path = QDir::fromNativeSeparators(path);
    if (!path.endsWith(u'/'))
        path += u'/';
    return path;
}
}  // namespace

QString ProgramFolder()
{
    if (!OverrideFolder().isEmpty())
        return OverrideFolder();
    const QString fromEnv = qEnvironmentVariable("PIBO_PROGRAM_FOLDER");
    if (!fromEnv.isEmpty())
        return WithSlash(fromEnv);
    return WithSlash(QCoreApplication::applicationDirPath());
}

void SetProgramFolder(const QString& folder)
{
    OverrideFolder() = folder.isEmpty() ? QString() : WithSlash(folder);
}
