// The main of one fuzz target (libFuzzer): a Qt application and a program
// folder of its own, then every input through the entry PIBO_FUZZ_ENTRY.

#include "FuzzEntries.h"
#include "RichTextSuite.h"
#include "PiboPictures.h"
#include "ProgramFolder.h"

#include <QtCore/QDir>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QApplication>

#include <cstdint>
#include <cstdlib>

namespace {
const TFuzzEntry* GEntry = nullptr;
QTemporaryDir* GFolder = nullptr;

void RemoveProgramFolder()
{
    delete GFolder;
    GFolder = nullptr;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Lives for the whole run: libFuzzer ends the process itself.
    new QApplication(*argc, *argv);
    InstallRichTextSuite();
    // The windows' pictures (the update window's frame).
    RegisterPiboPictures();
    GFolder = new QTemporaryDir();
    std::atexit(RemoveProgramFolder);
    for (const char* sub : {"data/dict", "audio", "video", "temp", "update/backup"})
        QDir(GFolder->path()).mkpath(QString::fromLatin1(sub));
    SetProgramFolder(GFolder->path());
    GEntry = FindFuzzEntry(PIBO_FUZZ_ENTRY);
    if (!GEntry)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    GEntry->Run(data, size);
    return 0;
}
