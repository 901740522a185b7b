#pragma once

// What the two speak-and-record screens share: the recording bar (record
// and stop, listen, play the lesson, compare, save as MP3, the recording's
// length and play position), the recorder writing temp/RecordTmp.wav, the
// study record of every finished recording, and the work file's playback.
//
// The audio screen plays the recording in a second sentence player under the
// lesson's; the video screen plays it through a wave file and a wave-out
// device of its own.

#include "UDataOperaterFun.h"
#include "USentenceScreen.h"

#include <functional>
#include <memory>

class QTimer;
class TSndWaveFile;
class TSndWaveOut;

// What the screens use of the recorder.
class TSpeakRecorder {
public:
    virtual ~TSpeakRecorder() = default;
    // Records into file (replacing it): 44.1 kHz, stereo, 16 bits, without a
    // length limit. Raises when recording cannot start.
    virtual void Start(const QString& file) = 0;
    virtual void Stop() = 0;
    virtual bool Recording() const = 0;
    // The recorded length in ms while recording.
    virtual qint64 PositionMs() const = 0;
    // The recording has ended (after Stop, or by itself: a failed write, a
    // full disk), on the GUI thread, with the file complete.
    std::function<void()> OnStop;
};

// The recorder over the wave-in device.
std::unique_ptr<TSpeakRecorder> MakeWaveRecorder();

// Makes the recorders of the screens made from now on (tests); null: the
// wave-in recorder.
void SetSpeakRecorderFactory(std::function<std::unique_ptr<TSpeakRecorder>()> factory);

class TSpeakScreen : public TSentenceScreen {
    Q_OBJECT
public:
    ~TSpeakScreen() override;

    static constexpr int StripHeight = 57;
    static constexpr int RecordBarHeight = 34;

    // The recording bar.
    QWidget* RecordBar;  // Panel8 (audio) or Panel9 (video)
    TPiboSpeedButton* psbRecord;    // the recording look
    TPiboSpeedButton* psbNoRecord;  // the idle look
    TPiboSpeedButton* psbPlayRecord;
    TPiboSpeedButton* ppsbPlaySur;
    TPiboSpeedButton* ppsbComparePlay;
    TPiboSpeedButton* ppsbSaveRecord;
    QLabel* labRecordTime;
    QLabel* labPlayRecordTime;
    QTimer* RecordTimer;
    QTimer* PlayRecordTimer;

    TSpeakRecorder* WaveRecorder() const { return FRecorder.get(); }
    TSndWaveFile* WaveFile() const { return FWaveFile.get(); }
    TSndWaveOut* WaveOut() const { return FWaveOut.get(); }
    // The audio screen's player of the recording.
    TPiboAudioPlay* RecordPlayer() const { return FRecordPlayer; }
    bool CompareMode() const { return FCompareMode; }
    const TStudySpeakRecord& SpeakRecord() const { return FSpeakRecord; }
    // Whether the screen shows the recording look.
    bool RecordingLook() const;

    void psbNoRecordClick();
    void psbPlayRecordClick();
    void ppsbComparePlayClick();
    void ppsbSaveRecordClick();
    void RecordTimerTimer();
    void PlayRecordTimerTimer();
    void WaveRecorderStop();
    void WaveOutStop();

protected:
    TSpeakScreen(QWidget* parent, bool video, const TTransportOptions& transport);

    void CreatePlayers() override;
    void RefreshExtras(bool active) override;
    void resizeEvent(QResizeEvent* event) override;
    void panContainResize() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The audio screen's lesson strip grows by the subtitle box while a
    // subtitle line is switched on.
    void SubtitlesChanged();

    QWidget* panRecordContain = nullptr;  // audio

private:
    void BuildRecordBar(QWidget* parent);
    void LayoutRecordBar();
    void StartRecording();
    // Ends the recording under way: the idle look, the timer stopped, and
    // (with writeRecord) its study record.
    void FinishRecording(bool writeRecord);
    void ShowIdleLook();
    // Writes the study record of the recording that ended (once).
    void LogRecording();
    void RecordingOver();
    void StopListening();

    std::unique_ptr<TSpeakRecorder> FRecorder;
    std::unique_ptr<TSndWaveFile> FWaveFile;
    std::unique_ptr<TSndWaveOut> FWaveOut;
    TPiboAudioPlay* FRecordPlayer = nullptr;
    bool FCompareMode = false;
    // The screen's own view: a recording is under way that it has not
    // finished yet.
    bool FRecording = false;
    qint64 FLastPositionMs = 0;
    // The log of a recording that ended, waiting for the recorder's stop.
    struct TPendingLog {
        bool Pending = false;
        bool Write = false;
        qint64 Ms = 0;  // the length at the stop; 0: the file's
    } FLog;
    bool FListenAfterStop = false;
    TStudySpeakRecord FSpeakRecord;
};
