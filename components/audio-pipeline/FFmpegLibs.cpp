#include "FFmpegLibs.h"

#include <QtCore/QFile>

#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace {

#define PIBO_FF_STR2(x) #x
#define PIBO_FF_STR(x) PIBO_FF_STR2(x)

constexpr int FFmpegLibraryCount = 4;

QStringList DefaultFFmpegNames()
{
    return {QStringLiteral("libavutil.so." PIBO_FF_STR(LIBAVUTIL_VERSION_MAJOR)),
            QStringLiteral("libswresample.so." PIBO_FF_STR(LIBSWRESAMPLE_VERSION_MAJOR)),
            QStringLiteral("libavcodec.so." PIBO_FF_STR(LIBAVCODEC_VERSION_MAJOR)),
            QStringLiteral("libavformat.so." PIBO_FF_STR(LIBAVFORMAT_VERSION_MAJOR))};
}

struct TFFmpegBinding {
    std::mutex Lock;
    QStringList Names = DefaultFFmpegNames();
    bool Bound = false;  // the current names loaded
    QString Error;
    TFFmpegApi Api;
    std::atomic<bool> Filled{false};
};

TFFmpegBinding& FFmpegBinding()
{
    static TFFmpegBinding binding;
    return binding;
}

template <typename T>
bool ResolveFFmpeg(void* module, const char* name, T& entry)
{
    entry = reinterpret_cast<T>(dlsym(module, name));
    return entry != nullptr;
}

// Opens the libraries under the binding's lock; the error names the first
// library that failed.
bool LoadFFmpegLocked(TFFmpegBinding& b)
{
    if (b.Names.size() != FFmpegLibraryCount) {
        b.Error = QStringLiteral("FFmpeg library could not be loaded.");
        return false;
    }
    void* modules[FFmpegLibraryCount] = {};
    for (int i = 0; i < FFmpegLibraryCount; ++i) {
        // Each library finds the others through its own dependencies; the
        // modules of a successful load stay open for good.
        modules[i] = dlopen(QFile::encodeName(b.Names.at(i)).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!modules[i]) {
            for (int j = 0; j < i; ++j)
                dlclose(modules[j]);
            b.Error = b.Names.at(i) + QStringLiteral(" library could not be loaded.");
            return false;
        }
    }
    TFFmpegApi api;
    int failed = -1;
#define PIBO_FFMPEG_RESOLVE(library, name)                                                                         \
    if (failed < 0 && !ResolveFFmpeg(modules[library], #name, api.name))                                           \
        failed = library;
    PIBO_FFMPEG_FUNCTIONS(PIBO_FFMPEG_RESOLVE)
#undef PIBO_FFMPEG_RESOLVE
    if (failed >= 0) {
        for (void* module : modules)
            dlclose(module);
        b.Error = b.Names.at(failed) + QStringLiteral(" library could not be loaded.");
        return false;
    }
    // Filled once: later loads (other names, in tests) open the same
    // functions or fail, and never change what open objects call.
    if (!b.Filled.load(std::memory_order_relaxed)) {
        b.Api = api;
        b.Filled.store(true, std::memory_order_release);
    }
    b.Error.clear();
    return true;
}

}  // namespace

bool FFmpegLoad()
{
    TFFmpegBinding& b = FFmpegBinding();
    std::lock_guard<std::mutex> guard(b.Lock);
    if (!b.Bound)
        b.Bound = LoadFFmpegLocked(b);
    return b.Bound;
}

bool FFmpegLoaded()
{
    return FFmpegBinding().Filled.load(std::memory_order_acquire);
}

const TFFmpegApi& Ff()
{
    return FFmpegBinding().Api;
}

QString FFmpegLoadError()
{
    TFFmpegBinding& b = FFmpegBinding();
    std::lock_guard<std::mutex> guard(b.Lock);
    return b.Error;
}

QStringList FFmpegLibraryNames()
{
    TFFmpegBinding& b = FFmpegBinding();
    std::lock_guard<std::mutex> guard(b.Lock);
    return b.Names;
}

void SetFFmpegLibraryNames(const QStringList& names)
{
    TFFmpegBinding& b = FFmpegBinding();
    std::lock_guard<std::mutex> guard(b.Lock);
    b.Names = names;
    b.Bound = false;
}
