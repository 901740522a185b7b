#include "MultimediaModule.h"

#include "ApplicationException.h"
#include "ProgramModules.h"

#include <QtCore/QtGlobal>

#include <atomic>
#include <mutex>

namespace {

// The module, loaded once per process and never unloaded (its streams'
// threads and Qt's media back end live as long as the process).
struct TMultimediaLoad {
    std::mutex Lock;
    bool Tried = false;
    QString Path;   // set by the tests, else found at the first load
    QString Error;  // why the load failed
    std::atomic<const TMultimediaModule*> Module{nullptr};
};

TMultimediaLoad& MultimediaLoad()
{
    static TMultimediaLoad load;
    return load;
}

void ReportMultimediaFailure(const QString& text)
{
    HandleApplicationException(text);
}

const TMultimediaHost MultimediaHost{&ReportMultimediaFailure};

// Under the lock: loads the module at path; nullptr with error set on failure.
const TMultimediaModule* LoadMultimediaModule(const QString& path, QString& error)
{
    void* handle = OpenProgramModule(path, error);
    if (!handle) {
        error = QStringLiteral("The multimedia module cannot be loaded: ") + error;
        return nullptr;
    }
    const auto version = reinterpret_cast<TMultimediaVersionFn>(ProgramModuleSymbol(handle, MultimediaVersionSymbol));
    const auto start = reinterpret_cast<TMultimediaStartFn>(ProgramModuleSymbol(handle, MultimediaStartSymbol));
    if (!version || !start) {
        error = QStringLiteral("The multimedia module %1 has no entry points.").arg(path);
        return nullptr;
    }
    if (version() != MultimediaInterfaceVersion) {
        error = QStringLiteral("The multimedia module %1 has interface version %2; this program needs version %3.")
                    .arg(path)
                    .arg(version())
                    .arg(MultimediaInterfaceVersion);
        return nullptr;
    }
    const TMultimediaModule* module = start(&MultimediaHost);
    if (!module)
        error = QStringLiteral("The multimedia module %1 did not start.").arg(path);
    return module;
}

}  // namespace

const TMultimediaModule* MultimediaModule()
{
    TMultimediaLoad& load = MultimediaLoad();
    if (const TMultimediaModule* module = load.Module.load())
        return module;
    std::lock_guard<std::mutex> lock(load.Lock);
    if (!load.Tried) {
        load.Tried = true;
        if (load.Path.isEmpty())
            load.Path = ProgramModulePath(QString::fromLatin1(MultimediaModuleFileName));
        load.Module.store(LoadMultimediaModule(load.Path, load.Error));
        if (!load.Module.load())
            qWarning("%s", qUtf8Printable(load.Error));
    }
    return load.Module.load();
}

QString MultimediaModuleError()
{
    TMultimediaLoad& load = MultimediaLoad();
    std::lock_guard<std::mutex> lock(load.Lock);
    return load.Error;
}

void SetMultimediaModulePath(const QString& path)
{
    TMultimediaLoad& load = MultimediaLoad();
    std::lock_guard<std::mutex> lock(load.Lock);
    if (!load.Tried)
        load.Path = path;
}

bool MultimediaModuleLoaded()
{
    return MultimediaLoad().Module.load() != nullptr;
}

std::unique_ptr<TQtAudioSystem> CreateQtAudioSystem()
{
    const TMultimediaModule* module = MultimediaModule();
    return std::unique_ptr<TQtAudioSystem>(module ? module->CreateAudioSystem() : nullptr);
}
