// Writes the seed inputs of every fuzz target, made by the project's own
// writers, into <folder>/<target>/seed-<n>.

#include "FuzzEntries.h"
#include "PiboPictures.h"
#include "ProgramFolder.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds <folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    RegisterPiboPictures();
    QTemporaryDir programFolder;
    for (const char* sub : {"data/dict", "audio", "video", "temp", "update/backup"})
        QDir(programFolder.path()).mkpath(QString::fromLatin1(sub));
    SetProgramFolder(programFolder.path());
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (const TFuzzEntry& entry : FuzzEntries()) {
        const QString folder = root + u'/' + QLatin1String(entry.Name);
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        const QList<QByteArray> seeds = entry.Seeds();
        if (seeds.isEmpty()) {
            std::fprintf(stderr, "make_fuzz_seeds: no seed for %s\n", entry.Name);
            return 1;
        }
        for (qsizetype i = 0; i < seeds.size(); ++i) {
            QFile file(folder + QStringLiteral("/seed-%1").arg(i));
            if (!file.open(QIODevice::WriteOnly) || file.write(seeds[i]) != seeds[i].size())
                return 1;
        }
    }
    SetProgramFolder(QString());
    return 0;
}
