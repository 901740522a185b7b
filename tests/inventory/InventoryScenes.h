#pragma once

// Every window and dialog of the program in a typical state (a lesson open, a
// few answers typed, a check dialog with results), shown at the size its
// layout gives, for the screen inventory and the screenshot tour. The study
// screens are opened as the learner opens them: the lesson chosen in the main
// window and the mode button clicked.

#include "TestAudioDevice.h"
#include "UDictationCheck.h"
#include "WindowsTestSupport.h"

#include <QtCore/QPoint>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <list>
#include <memory>
#include <vector>

class QWidget;
class TFrmMain;

// A scene as it shows: the top-level window (what the picture shows) and the
// form whose controls the layout names (a hosted study screen, or the window).
struct TSceneView {
    QWidget* Window = nullptr;
    QWidget* Form = nullptr;
    explicit operator bool() const { return Window && Form; }
};

// The English lines of the sample lesson and of the video clip.
QStringList SampleLessonLines();
QStringList ClipLines();

// A program folder with a database, the sample audio lesson in the library, a
// video clip with its subtitles in the media list, the test audio device (on a
// virtual clock) and every information, confirmation, input and file dialog
// answered. Windows made here are freed before the device goes.
class TSceneStage {
public:
    TSceneStage();
    ~TSceneStage();
    TSceneStage(const TSceneStage&) = delete;
    TSceneStage& operator=(const TSceneStage&) = delete;

    // The scenes by name, in the tour's order.
    static QStringList SceneNames();
    // Shows a scene; a failure to show it is a test failure (the view is
    // then empty).
    TSceneView Show(const QString& scene);

    // The main window at its design size, shown (made on first use).
    TFrmMain* Main();
    // Opens the sample lesson (audio) or the clip (video) in a mode (1 to 5)
    // by choosing it in the main window and clicking the mode button; returns
    // the hosted screen, or null (a test failure) when none opened.
    QWidget* OpenMode(int mode, bool video);

    TWindowTestEnvironment Env;
    TTestAudioSystem System{1};
    TDialogRecorder Dialogs;

private:
    template <typename T>
    T* Keep(std::unique_ptr<T> window);
    TSceneView ShowDialog(QWidget* dialog, QWidget* form = nullptr);

    std::unique_ptr<TFrmMain> FMain;
    std::vector<std::unique_ptr<QWidget>> FWindows;
    std::list<TSingleCheckTotalRes> FResults;  // the tests the check dialogs show
    QString FClip;
};

// Clicks the left button at the centre of widget as the user would: only when
// widget is visible, enabled, not empty, in a window that takes input (no other
// modal window in front), and the topmost widget at that point of the window
// is widget or a child of it; the press and release go to that topmost
// widget. Otherwise a test failure, and false.
bool ClickAtCentre(QWidget* widget);
// The same at a point of widget.
bool ClickAt(QWidget* widget, const QPoint& pos);
