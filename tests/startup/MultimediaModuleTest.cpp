// The multimedia module is loaded when it is first needed: the program shows
// its login window without it, the first sound loads it, and without the
// module the sound and the video fail with a text that names it. Each case
// runs in a fresh process of its own (a death test re-runs the program), so
// that nothing an earlier test loaded counts.

#include "Startup.h"

#include "AudioDevice.h"
#include "DSGraph.h"
#include "DatabaseSchema.h"
#include "MultimediaModule.h"
#include "SndWavOut.h"
#include "SndWave.h"
#include "TestSupport.h"
#include "UFrmLogin.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// Whether a library whose file name contains part is mapped into this process.
bool MappedLibrary(const char* part)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains(part);
}

// The libraries that must wait for the module, the module first.
const char* const MediaLibraries[] = {"libpibo_multimedia.so", "libQt6Multimedia.so", "libpulse.so"};

// Names the first of the media libraries that is mapped; nullptr for none.
const char* FirstMappedMediaLibrary()
{
    for (const char* library : MediaLibraries)
        if (MappedLibrary(library))
            return library;
    return nullptr;
}

// 0.1 s of 16-bit mono silence at 8 kHz as a WAV file.
bool WriteSilentWave(const QString& path)
{
    const int rate = 8000;
    const QByteArray pcm(rate / 10 * 2, '\0');
    QByteArray header;
    const auto le = [&header](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            header += char((v >> (8 * i)) & 0xFF);
    };
    const auto size = std::uint32_t(pcm.size());
    header += "RIFF";
    le(36 + size, 4);
    header += "WAVEfmt ";
    le(16, 4);
    le(1, 2);  // PCM
    le(1, 2);  // mono
    le(rate, 4);
    le(rate * 2, 4);
    le(2, 2);
    le(16, 2);
    header += "data";
    le(size, 4);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header + pcm) == header.size() + pcm.size();
}

// Plays the file on the default device until it stops by itself; false when
// the device could not be opened (its error is in failure).
bool PlayToTheEnd(const QString& path, QString& failure)
{
    TSndWaveOut out;
    TSndWaveFile file;
    int stops = 0;
    out.OnStop = [&](QObject*) { ++stops; };
    file.SetOutput(&out);
    file.Wave()->SetFileName(path);
    QObject waker;
    out.SetChangeNotifier([&waker] { QCoreApplication::postEvent(&waker, new QEvent(QEvent::User)); });
    bool played = false;
    try {
        out.Start();
        played = RunEventsUntil([&] { return stops > 0; }, 10000);
        out.Close();
    } catch (const ESndWaveOutError& e) {
        failure = e.Message();
    }
    out.SetChangeNotifier({});
    return played;
}

// Shows the main program's login window from its real start; once it shows,
// nothing of the media may be loaded. Then the first sound: the module and
// Qt Multimedia come in. 0 when all holds.
int StartThenFirstSound()
{
    TTestProgramFolder folder;
    if (!CreateDatabaseFromSchema(QStringLiteral(PIBO_SCHEMA_FILE), folder.File(QStringLiteral("data/data.db"))))
        return 10;
    const QString wave = folder.File(QStringLiteral("temp/silence.wav"));
    if (!WriteSilentWave(wave))
        return 11;
    int result = 12;  // the login window never showed
    std::function<void(QWidget*)> onShown = [&](QWidget* window) {
        if (!qobject_cast<TFrmLogin*>(window)) {
            window->close();
            return;
        }
        result = 0;
        if (const char* early = FirstMappedMediaLibrary()) {
            std::fprintf(stderr, "%s is loaded at the login window\n", early);
            result = 13;
        } else if (MultimediaModuleLoaded()) {
            result = 14;
        }
        QString failure;
        const bool played = PlayToTheEnd(wave, failure);
        if (!played && AudioSystem().OutputDeviceCount() > 0) {
            std::fprintf(stderr, "the sound did not play: %s\n", qPrintable(failure));
            result = result ? result : 15;
        }
        for (const char* library : MediaLibraries) {
            if (!MappedLibrary(library)) {
                std::fprintf(stderr, "%s is not loaded after the first sound\n", library);
                result = result ? result : 16;
            }
        }
        if (!MultimediaModuleLoaded())
            result = result ? result : 17;
        window->close();
    };
    class TShowHook : public QObject {
    public:
        explicit TShowHook(std::function<void(QWidget*)>& handler) : FHandler(handler) { qApp->installEventFilter(this); }
        ~TShowHook() override { qApp->removeEventFilter(this); }

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (event->type() == QEvent::Show && widget && widget->isWindow())
                QTimer::singleShot(0, widget, [this, widget] { FHandler(widget); });
            return false;
        }

    private:
        std::function<void(QWidget*)>& FHandler;
    } hook(onShown);
    if (RunPibozunexc() != 0)
        return 18;
    return result;
}

// Without the module: sound and video fail with a text that names it, and
// nothing crashes. 0 when all holds.
int WithoutTheModule()
{
    TTestProgramFolder folder;
    const QString missing = folder.File(QStringLiteral("none/libpibo_multimedia.so"));
    SetMultimediaModulePath(missing);
    const QString wave = folder.File(QStringLiteral("silence.wav"));
    if (!WriteSilentWave(wave))
        return 20;
    QString failure;
    if (PlayToTheEnd(wave, failure))
        return 21;
    if (failure.isEmpty())
        return 22;
    if (MultimediaModuleLoaded() || FirstMappedMediaLibrary())
        return 23;
    // The driver's text and the module's error name the file.
    if (!AudioSystem().ErrorText(aeNoDriver).contains(missing) || !MultimediaModuleError().contains(missing)) {
        std::fprintf(stderr, "driver text: %s\n", qPrintable(AudioSystem().ErrorText(aeNoDriver)));
        return 24;
    }
    TFilterGraph graph;
    try {
        graph.SetActive(true);
        return 25;
    } catch (const EDirectShowException& e) {
        if (!e.Message().contains(missing))
            return 26;
    }
    if (graph.Active())
        return 27;
    TVideoWindow window;
    window.SetFilterGraph(&graph);
    QObject* filter = nullptr;
    if (window.GetFilter(filter) != E_POINTER || !window.CurrentImage().isNull())
        return 28;
    return 0;
}

}  // namespace

TEST(MultimediaModuleDeathTest, TheLoginWindowShowsWithoutItAndTheFirstSoundLoadsIt)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(StartThenFirstSound()), ::testing::ExitedWithCode(0), "");
}

TEST(MultimediaModuleDeathTest, AMissingModuleFailsSoundAndVideoWithItsName)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(WithoutTheModule()), ::testing::ExitedWithCode(0), "");
}
