// A process that prepares a lesson and ends at once, without cleaning up, at
// the named step of the preparation: what a crash or a kill there leaves
// behind. The program folder comes from PIBO_PROGRAM_FOLDER.
//
//   prepare_interrupt_child package <package> <step>
//   prepare_interrupt_child file <source> <target> <step>
//
// A step "name@n" is the n-th time the preparation reaches the step name.
// Exit code 3: ended at the step; 0: the preparation finished without
// reaching it; 1: it failed; 2: wrong arguments.

#include "AudioDevice.h"
#include "UPiboDataPack.h"
#include "UPrepareAudio.h"

#include <QtCore/QByteArray>
#include <QtCore/QCoreApplication>
#include <QtCore/QStringList>

#include <unistd.h>

namespace {

QByteArray GStopAt;
int GStopCount = 1;

void StopHere(const char* step)
{
    if (GStopAt == step && --GStopCount == 0)
        _exit(3);
}

void StopAt(const QString& step)
{
    const qsizetype at = step.indexOf(QLatin1Char('@'));
    GStopAt = step.left(at).toUtf8();
    GStopCount = at < 0 ? 1 : step.mid(at + 1).toInt();
    SetPrepareStepHook(StopHere);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TAudioSystemGuard audio;
    const QStringList args = QCoreApplication::arguments();
    bool ok = false;
    if (args.size() == 4 && args[1] == QLatin1String("package")) {
        StopAt(args[3]);
        QString play;
        ok = OpenPackage(args[2], play);
    } else if (args.size() == 5 && args[1] == QLatin1String("file")) {
        StopAt(args[4]);
        ok = PrepareAudioFile(args[2], args[3]);
    } else {
        return 2;
    }
    return ok ? 0 : 1;
}
