#pragma once

// What the tests of the study screens share: a lesson of tone bursts on the
// test device, the screen shown in a program folder with a database, and the
// answers to the dialogs the screens open.

#include "TestAudioDevice.h"
#include "WindowsTestSupport.h"

#include <QtCore/QByteArray>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <vector>

#include <gtest/gtest.h>

class QSplitter;
class TSentenceScreen;
class TPiboAudioPlay;

// A 16-bit PCM WAV of the given sample data.
void WritePcmWave(const QString& path, int channels, int rate, const QByteArray& data);

// A PCM WAV (mono, 16 bits, 8000 Hz): sentence i is a tone burst of
// lengthsMs[i] (a different pitch each), and its ".plrc" next to it with the
// texts "Sentence <i+1>" and "第<i+1>句".
void WriteToneLesson(const QString& wavPath, const std::vector<int>& lengthsMs);

// Answers the folder picker (with the next queued folder; empty: cancel) and
// the system message boxes (OK), recording their texts.
class TFolderAndBoxAnswers : public QObject {
public:
    TFolderAndBoxAnswers();
    ~TFolderAndBoxAnswers() override;
    QStringList Folders;
    QStringList Boxes;  // "caption|text"
    int FolderDialogs = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Drives an audio screen's player on the test device's virtual clock.
class TAudioClock {
public:
    TAudioClock(TTestAudioSystem& system, TPiboAudioPlay* player) : FSystem(system), FPlayer(player) {}
    // Runs ms of playback in steps, handling buffers and a timer tick after each.
    void Run(int ms, int step = 20);
    void RunToStop(int limitMs, int step = 20);

private:
    TTestAudioSystem& FSystem;
    TPiboAudioPlay* FPlayer;
};

// Whether the player's device is started (playing or paused).
bool DeviceStarted(TPiboAudioPlay* player);

class TSndWaveOut;
// Whether a wave-out device is started.
bool DeviceStartedOut(TSndWaveOut* device);

// Drags the handle after a splitter's first pane by dy pixels, as the mouse
// would: press, one move, release.
void DragSplitterHandle(QSplitter* splitter, int dy);

// Sets the six hot-key atoms of SystemPara to distinct values.
void SetTestHotKeys();

// Shows a video twin (browse or speak; made, not shown yet) on the coloured
// test video with three one-second cues, and plays it in both modes of its
// select box: "播放全部" starts checked and plays every cue, an unchecked row
// too; unchecked, only the checked rows play; with no row checked then, play
// is refused with "请选择要播放的项！".
void CheckVideoPlayModes(const TWindowTestEnvironment& env, const TDialogRecorder& dialogs, TSentenceScreen& screen);

// The fixture of the screen tests: a program folder with a database, the
// test audio device with one output, the dialogs answered, the hot keys set.
// FreeScreen frees the screen before the device goes.
class TScreenTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual void FreeScreen() = 0;

    TWindowTestEnvironment Env;
    TTestAudioSystem System{1};
    TDialogRecorder Dialogs;
    TFolderAndBoxAnswers Boxes;
};
