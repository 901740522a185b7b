// The multimedia module's entry points: the only symbols it exports.

#include "MultimediaModule.h"
#include "QtAudioStream.h"
#include "QtAudioSystem.h"

#include <QtCore/QtGlobal>

#include <atomic>

TMediaPlayerBackEnd* CreateQtMediaPlayer();
TVideoRendererBackEnd* CreateQtVideoRenderer(QObject* parent);

namespace {

std::atomic<const TMultimediaHost*> GHost{nullptr};

TQtAudioSystem* CreateModuleAudioSystem()
{
    return new TQtMultimediaAudioSystem;
}

const TMultimediaModule ModuleEntries{&CreateModuleAudioSystem, &CreateQtMediaPlayer, &CreateQtVideoRenderer};

}  // namespace

void ReportModuleFailure(const QString& text)
{
    const TMultimediaHost* host = GHost.load();
    if (host && host->ReportFailure)
        host->ReportFailure(text);
    else
        qWarning("%s", qUtf8Printable(text));
}

extern "C" {

Q_DECL_EXPORT int PiboMultimediaVersion()
{
    return MultimediaInterfaceVersion;
}

Q_DECL_EXPORT const TMultimediaModule* PiboMultimediaStart(const TMultimediaHost* host)
{
    GHost.store(host);
    return &ModuleEntries;
}

}  // extern "C"
