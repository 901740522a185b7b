#include "UPiboAudioPlay.h"

#include "AnsiText.h"
#include "AudioDevice.h"
#include "Forms.h"
#include "ProgramFolder.h"
#include "SndOscope.h"
#include "SndWavOut.h"
#include "SndWave.h"
#include "UAudioConverters.h"
#include "UFrmShowInfo.h"
#include "UPlayerShared.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QPainter>
#include <QtGui/QResizeEvent>

#include <vector>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

constexpr int VolumeStep = 655;  // one percent of a channel's volume

// The screens call the player from their event handlers: a failing device
// (it has reported through its OnError and closed) ends the operation there.
template <class F>
void Guarded(F&& operation)
{
    try {
        operation();
    } catch (...) {
    }
}

QString TempFolder()
{
    const QString temp = ProgramFolder() + QStringLiteral("temp/");
    QDir().mkpath(temp);
    return temp;
}

}  // namespace

TPiboAudioPlay::TPiboAudioPlay(QWidget* parent) : QWidget(parent)
{
    FWaveOut = std::make_unique<TSndWaveOut>();
    FWaveFile = std::make_unique<TSndWaveFile>();
    FWaveOut->SetTimeFormat(tfSample);
    FWaveFile->SetOutput(FWaveOut.get());
    FWaveOut->OnClose = [](QObject*) {};
    // The device stops by itself when the file has been played to its end.
    FWaveOut->OnStop = [this](QObject*) {
        if (!FOwnStop)
            FSourceEnded = true;
    };
    FConverter = std::make_unique<TAudioConverters>(this);

    TAudioVolume volume;
    if (AudioSystem().GetOutputVolume(0, volume) == aeOk)
        FVolume = std::clamp(volume.Right / VolumeStep, 0, 100);

    FSubtitleBox = new TSubtitlePaintBox(this);
    FSubtitleBox->OnPaint = [this](TCanvas& canvas) { PaintSubtitle(canvas); };

    FTimer = new QTimer(this);
    FTimer->setTimerType(Qt::PreciseTimer);
    FTimer->setInterval(1);
    connect(FTimer, &QTimer::timeout, this, [this] { TimerTick(); });
    FTimer->start();
    LayoutParts();
}

TPiboAudioPlay::~TPiboAudioPlay()
{
    FTimer->stop();
    FWaveOut->OnStop = nullptr;
    try {
        if (FOpen)
            StopDevice();
        FWaveOut->Close();
    } catch (...) {
    }
    FConverter.reset();
    FWaveOut.reset();
    FWaveFile.reset();
}

// ------------------------------------------------------------ units

const TWaveFormatEx* TPiboAudioPlay::Format() const
{
    return FOpen ? FWaveFile->Wave()->GetPWaveFormat() : nullptr;
}

std::int64_t TPiboAudioPlay::MsToSamples(std::int64_t ms) const
{
    return ::MsToSamples(Format(), ms);
}

std::int64_t TPiboAudioPlay::SamplesToMs(std::int64_t samples) const
{
    return ::SamplesToMs(Format(), samples);
}

int TPiboAudioPlay::CurrentEntry() const
{
    if (FPlayQueue.isEmpty())
        return -1;
    return std::clamp(FPlayQueueIndex, 0, static_cast<int>(FPlayQueue.size()) - 1);
}

bool TPiboAudioPlay::TLrcTimeCache::Read(const QString& text, std::int64_t& ms)
{
    // The text kept here shares its data with the item's: any change of the
    // item's text gives it data of its own.
    if (!(Known && text.size() == Text.size() && text.constData() == Text.constData())) {
        Text = text;
        Known = true;
        try {
            Ms = LrcTimeToMSec(text);
            Valid = true;
        } catch (...) {
            Valid = false;
        }
    }
    ms = Ms;
    return Valid;
}

std::int64_t TPiboAudioPlay::EntryStartMs(int q) const
{
    if (!ValidEntry(q))
        return 0;
    std::int64_t ms = 0;
    return FStartCache.Read(FItems[FPlayQueue[q]].StartTime, ms) ? ms : 0;
}

std::int64_t TPiboAudioPlay::EntryEndMs(int q) const
{
    if (!ValidEntry(q))
        return 0;
    std::int64_t ms = 0;
    return FEndCache.Read(FItems[FPlayQueue[q]].EndTime, ms) ? ms : FTotalTime;
}

std::int64_t TPiboAudioPlay::EntryStartSamples(int q) const
{
    return std::max<std::int64_t>(0, MsToSamples(EntryStartMs(q)) - FRangeStart);
}

bool TPiboAudioPlay::IsPlaying() const
{
    const auto state = FWaveOut->State();
    return (state & dsStarted) && !(state & dsPaused);
}

bool TPiboAudioPlay::IsPaused() const
{
    return FWaveOut->State() & dsPaused;
}

// The position heard: where the device's buffers began plus what the device
// has played of them. Stopped: the file's read position.
std::int64_t TPiboAudioPlay::HeardPosition() const
{
    if (!FOpen)
        return 0;
    const std::int64_t range = FRangeEnd - FRangeStart;
    if (FWaveOut->State() & dsStarted)
        return std::clamp<std::int64_t>(FDeviceBase + FWaveOut->GetPosition(), 0, range);
    return std::clamp<std::int64_t>(FWaveFile->Wave()->GetPosition(), 0, range);
}

// ------------------------------------------------------------ device

void TPiboAudioPlay::Seek(std::int64_t samples)
{
    if (!FOpen)
        return;
    samples = std::clamp<std::int64_t>(samples, 0, FRangeEnd - FRangeStart);
    FWaveFile->Wave()->SetPosition(samples);
    FDeviceBase = samples;
    // A started device drops what it has queued and refills from here, so
    // that what is heard moves at once.
    if (FWaveOut->State() & dsStarted)
        FWaveOut->Reset();
}

void TPiboAudioPlay::StartPaused(std::int64_t samples)
{
    FSourceEnded = false;
    FWaveFile->Wave()->SetPosition(0);
    FWaveOut->Pause();  // opens the device; the start then queues without playing
    FWaveOut->Start();
    Seek(samples);
}

void TPiboAudioPlay::StopDevice()
{
    FOwnStop = true;
    try {
        FWaveOut->Stop();
    } catch (...) {
        FOwnStop = false;
        throw;
    }
    FOwnStop = false;
    FSourceEnded = false;
}

void TPiboAudioPlay::CloseFile()
{
    StopDevice();
    FOwnStop = true;
    FWaveOut->Close();
    FOwnStop = false;
    FOpen = false;
}

void TPiboAudioPlay::CloseMedia()
{
    if (FOpen)
        CloseFile();
    FWaveFile->Wave()->FreeWave();
    FFileName.clear();
}

// ------------------------------------------------------------ properties

void TPiboAudioPlay::SetFileName(const QString& value)
{
    if (value == FFileName)
        return;
    FFileName = value;
    try {
        if (FOpen)
            CloseFile();
    } catch (...) {
        FOpen = false;
    }
    try {
        TSndWave* wave = FWaveFile->Wave();
        wave->SetFileName(value);
        const TWaveFormatEx* format = wave->GetPWaveFormat();
        if (!format || format->wFormatTag != 1 || (format->wBitsPerSample != 8 && format->wBitsPerSample != 16)
            || format->nChannels < 1 || format->nChannels > 2 || format->nSamplesPerSec == 0)
            throw std::runtime_error("not a playable PCM file");
        FOpen = true;
        FLength = wave->DataSize();
        FTotalTime = static_cast<int>(SamplesToMs(FLength));
        FStartTime = 0;
        FEndTime = FTotalTime;
        FRangeStart = 0;
        FRangeEnd = FLength;
        wave->SetStartPos(FRangeStart);
        wave->SetEndPos(FRangeEnd);
        FDeviceBase = 0;
        FPlayTime = 0;
        FSourceEnded = false;
        FLastMarkerPos = -10;
        if (FOscope) {
            SetupOscope();
            LoadOscopeData();
        }
    } catch (...) {
        FOpen = false;
        ShowInfo(QStringLiteral("载入音频失败！"));
    }
}

void TPiboAudioPlay::SetVolume(int value)
{
    value = std::clamp(value, 0, 100);
    if (value == FVolume)
        return;
    FVolume = value;
    const auto level = static_cast<std::uint16_t>(value * VolumeStep);
    const TAudioVolume volume{level, level};
    if (TAudioOutputStream* stream = FWaveOut->Handle())
        stream->SetVolume(volume);
    else
        AudioSystem().SetOutputVolume(std::max(0, FWaveOut->DeviceID()), volume);
}

void TPiboAudioPlay::SetStartTime(int value)
{
    if (value == FStartTime)
        return;
    try {
        StopDevice();
    } catch (...) {
    }
    FStartTime = std::clamp(value, 0, FEndTime);
    FRangeStart = MsToSamples(FStartTime);
    if (FOpen)
        FWaveFile->Wave()->SetStartPos(FRangeStart);
    GotoFirst();
}

void TPiboAudioPlay::SetEndTime(int value)
{
    if (value == FEndTime)
        return;
    FEndTime = std::clamp(value, FStartTime, FTotalTime);
    FRangeEnd = std::min(FLength, MsToSamples(FEndTime));
    if (FOpen)
        FWaveFile->Wave()->SetEndPos(FRangeEnd);
}

void TPiboAudioPlay::SetPlayOrderType(TPlayOrderType value)
{
    if (value == FPlayOrderType)
        return;
    FPlayOrderType = value;
    BuildQueue();
    FPlayQueueIndex = 0;
    if (FPlayQueue.isEmpty())
        return;
    Highlight(0);
    try {
        Seek(EntryStartSamples(0));
    } catch (...) {
    }
    DoPlayIndexChange(0);
}

void TPiboAudioPlay::SetDisChina(bool value)
{
    if (value == FDisChina)
        return;
    FDisChina = value;
    FPaintedSung = -1;
    FSubtitleBox->update();
}

void TPiboAudioPlay::SetDisEnglish(bool value)
{
    if (value == FDisEnglish)
        return;
    FDisEnglish = value;
    FPaintedSung = -1;
    FSubtitleBox->update();
}

void TPiboAudioPlay::SetHasOscope(bool value)
{
    FHasOscope = value;
    if (!value || FOscope)
        return;
    FOscopePanel = new QWidget(this);
    FOscope = new TSndOscope(FOscopePanel);
    FOscope->Bevel().SetBevelInner(bvNone);
    FOscope->Bevel().SetBevelOuter(bvNone);
    FOscope->Bevel().SetBorderStyle(bsNone);
    FOscope->SetForegroundColor(0x00FF00);
    FOscope->SetShowInfo(false);
    FOscope->setCursor(Qt::ArrowCursor);
    FOscope->OnPostPaint = [this](TSndOscope*) { OscopePostPaint(); };
    FOscope->OnMouseDown = [this](TMouseButton, Qt::KeyboardModifiers, int x, int) { OscopeMouseDown(x); };
    FOscopePanel->show();
    FOscope->show();
    LayoutParts();
    if (FOpen) {
        SetupOscope();
        FLastMarkerPos = -10;
        LoadOscopeData();
    }
}

void TPiboAudioPlay::SetOscopeHeight(int value)
{
    FOscopeHeight = value;
    if (FOscopePanel)
        LayoutParts();
}

void TPiboAudioPlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutParts();
}

void TPiboAudioPlay::SetSubtitleBoxVisible(bool value)
{
    FSubtitleBoxShown = value;
    FSubtitleBox->setVisible(value);
    LayoutParts();
}

void TPiboAudioPlay::LayoutParts()
{
    const int boxTop = !FSubtitleBoxShown ? height() : std::max(0, height() - SubtitleBoxHeight);
    FSubtitleBox->setGeometry(0, boxTop, width(), SubtitleBoxHeight);
    if (FOscopePanel) {
        FOscopePanel->setGeometry(0, 0, width(), boxTop);
        FOscope->SetBounds(0, 0, width(), boxTop);
    }
}

// ------------------------------------------------------------ sentences

void TPiboAudioPlay::BuildQueue()
{
    const int n = Count();
    FPlayQueue.resize(n);
    for (int q = 0; q < n; ++q)
        FPlayQueue[q] = FPlayOrderType == potReversed ? n - 1 - q : q;
    if (FPlayOrderType == potRandom)
        RandomizeIntArray(FPlayQueue);
}

void TPiboAudioPlay::LoadLrc(const QString& mediaPath, bool clearOnly)
{
    if (clearOnly)
        FItems.clear();
    else
        LoadLrcFile(FItems, mediaPath);
    const int n = Count();
    for (int i = 0; i + 1 < n; ++i)
        FItems[i].EndTime = FItems[i + 1].StartTime;
    if (n > 0)
        FItems[n - 1].EndTime = MSecToLrcTime(FTotalTime);
    if (n == 0) {
        TAudioLrcItem whole;
        whole.StartTime = QStringLiteral("00:00.00");
        whole.EndTime = MSecToLrcTime(FTotalTime);
        FItems.append(whole);
    }
    BuildQueue();
    FPlayQueueIndex = 0;
    Highlight(0);
    try {
        Seek(EntryStartSamples(0));
    } catch (...) {
    }
    DoPlayIndexChange(0);
}

void TPiboAudioPlay::SetSelected(int queueIndex, bool value)
{
    if (ValidEntry(queueIndex))
        FItems[FPlayQueue[queueIndex]].Selected = value;
}

int TPiboAudioPlay::NextSelected(int from) const
{
    return ::NextSelected(static_cast<int>(FPlayQueue.size()), from,
                          [this](int q) { return FItems[FPlayQueue[q]].Selected; });
}

int TPiboAudioPlay::PrevSelected(int from) const
{
    return ::PrevSelected(static_cast<int>(FPlayQueue.size()), from,
                          [this](int q) { return FItems[FPlayQueue[q]].Selected; });
}

int TPiboAudioPlay::IndexOfTime(int ms) const
{
    return ::IndexOfTime(
        static_cast<int>(FPlayQueue.size()), ms, [this](int q) { return EntryStartMs(q); },
        [this](int q) { return EntryEndMs(q); }, false);
}

void TPiboAudioPlay::DoPlayIndexChange(int q)
{
    if (ValidEntry(q)) {
        const TAudioLrcItem& item = FItems[FPlayQueue[q]];
        FEnglish = item.English;
        FChina = item.China;
        FEnglishWidth = IsBlankLine(FEnglish) ? 0 : FBoxPainter.EnglishWidth(FEnglish);
        FPaintedSung = -1;
        FSubtitleBox->update();
    }
    if (OnPlayIndexChange)
        OnPlayIndexChange(this, q);
}

void TPiboAudioPlay::Highlight(int q)
{
    if (ValidEntry(q))
        HighlightRange(static_cast<int>(EntryStartMs(q)), static_cast<int>(EntryEndMs(q)));
}

// ------------------------------------------------------------ playback

void TPiboAudioPlay::PlayFrom(int ms)
{
    const int q = CurrentEntry();
    if (!FOpen || q < 0)
        return;
    FPlayQueueIndex = q;
    try {
        TSndWave* wave = FWaveFile->Wave();
        wave->SetStartPos(FRangeStart);
        wave->SetEndPos(FRangeEnd);
        const auto state = FWaveOut->State();
        if (state & dsPaused) {
            DoPlayIndexChange(q);
            Seek(EntryStartSamples(q));
            Highlight(q);
            FWaveOut->Restart();
        } else if (state & dsStarted) {
            FWaveOut->Pause();
            DoPlayIndexChange(q);
            Seek(EntryStartSamples(q));
            Highlight(q);
            FWaveOut->Restart();
        } else {
            const std::int64_t from = ms < 0 ? EntryStartSamples(q) : MsToSamples(ms) - FRangeStart;
            StartPaused(from);
            DoPlayIndexChange(q);
            Highlight(q);
            FWaveOut->Restart();
        }
    } catch (...) {
    }
}

void TPiboAudioPlay::Pause()
{
    Guarded([&] {
        if (IsPlaying())
            FWaveOut->Pause();
    });
}

void TPiboAudioPlay::Resume()
{
    Guarded([&] {
        const auto state = FWaveOut->State();
        if ((state & dsStarted) && (state & dsPaused))
            FWaveOut->Restart();
    });
}

void TPiboAudioPlay::Stop()
{
    Guarded([&] {
        StopDevice();
    });
}

void TPiboAudioPlay::StartOutput()
{
    Guarded([&] {
        if (FOpen)
            FWaveOut->Start();
    });
}

void TPiboAudioPlay::GotoSentence(int queueIndex)
{
    if (!ValidEntry(queueIndex))
        return;
    try {
        const auto state = FWaveOut->State();
        if (state & (dsStarted | dsPaused)) {
            const bool wasPlaying = IsPlaying();
            if (wasPlaying)
                FWaveOut->Pause();
            FPlayQueueIndex = queueIndex;
            Highlight(queueIndex);
            Seek(EntryStartSamples(queueIndex));
            DoPlayIndexChange(queueIndex);
            if (wasPlaying)
                FWaveOut->Restart();
        } else {
            Highlight(queueIndex);
            FPlayQueueIndex = queueIndex;
            DoPlayIndexChange(queueIndex);
            if (OnPlayProgress)
                OnPlayProgress(this, static_cast<int>(EntryStartMs(queueIndex)));
        }
    } catch (...) {
    }
}

void TPiboAudioPlay::GotoTime(int queueIndex, int ms)
{
    Guarded([&] {
        const bool valid = ValidEntry(queueIndex);
        const auto state = FWaveOut->State();
        if (!(state & (dsStarted | dsPaused))) {
            if (!valid)
                return;
            Highlight(queueIndex);
            FPlayQueueIndex = queueIndex;
            DoPlayIndexChange(queueIndex);
            return;
        }
        const bool wasPlaying = IsPlaying();
        if (wasPlaying)
            FWaveOut->Pause();
        if (valid) {
            FPlayQueueIndex = queueIndex;
            Highlight(queueIndex);
        }
        Seek(MsToSamples(ms) - FRangeStart);
        if (valid)
            DoPlayIndexChange(queueIndex);
        if (wasPlaying)
            FWaveOut->Restart();
    });
}

void TPiboAudioPlay::GotoFirst()
{
    Guarded([&] {
        const int n = static_cast<int>(FPlayQueue.size());
        if (n >= 2) {
            GotoSentence(FPlayType == ptAll ? 0 : NextSelected(0));
            return;
        }
        if (n == 1) {
            if (IsPaused()) {
                Seek(EntryStartSamples(0));
            } else if (IsPlaying()) {
                FWaveOut->Pause();
                Seek(EntryStartSamples(0));
                FWaveOut->Restart();
            }
        }
    });
}

void TPiboAudioPlay::GotoLast()
{
    Guarded([&] {
        const int n = static_cast<int>(FPlayQueue.size());
        if (n >= 2) {
            GotoSentence(FPlayType == ptAll ? n - 1 : PrevSelected(n - 1));
            return;
        }
        if (n == 1 && (IsPaused() || IsPlaying())) {
            if (IsPlaying())
                FWaveOut->Pause();
            Seek(MsToSamples(EntryEndMs(0)) - FRangeStart);
        }
    });
}

void TPiboAudioPlay::Skip(int deltaMs)
{
    Guarded([&] {
        if (!FOpen || !(FWaveOut->State() & (dsStarted | dsPaused)))
            return;
        const bool wasPlaying = IsPlaying();
        if (wasPlaying)
            FWaveOut->Pause();
        const std::int64_t target = HeardPosition() + MsToSamples(deltaMs);
        if (target + FRangeStart >= FLength) {
            GotoLast();
            return;
        }
        if (target + FRangeStart <= 0) {
            GotoFirst();
            return;
        }
        Seek(target);
        const int ms = static_cast<int>(SamplesToMs(target + FRangeStart));
        int q = IndexOfTime(ms);
        // Before the first sentence or in a gap: the sentence that comes next.
        if (q < 0)
            q = IndexNearTime(static_cast<int>(FPlayQueue.size()), ms, [this](int e) { return EntryStartMs(e); });
        if (ValidEntry(q)) {
            FPlayQueueIndex = q;
            Highlight(q);
            DoPlayIndexChange(q);
        }
        if (wasPlaying)
            FWaveOut->Restart();
    });
}

void TPiboAudioPlay::SeekSentenceStart()
{
    Guarded([&] {
        const int q = CurrentEntry();
        if (q < 0)
            return;
        Seek(EntryStartSamples(q));
        if (OnPlayProgress)
            OnPlayProgress(this, static_cast<int>(EntryStartMs(q)));
        Highlight(q);
    });
}

// ------------------------------------------------------------ the timer

void TPiboAudioPlay::TimerTick()
{
    Guarded([&] {
        if (!FOpen)
            return;
        const bool ended = std::exchange(FSourceEnded, false);
        const auto state = FWaveOut->State();
        const bool started = (state & dsOpened) && (state & dsStarted);
        if (ended)
            FPlayTime = static_cast<int>(SamplesToMs(FRangeEnd));
        else if (started)
            FPlayTime = static_cast<int>(SamplesToMs(HeardPosition() + FRangeStart));
        if ((ended || started) && OnPlayProgress)
            OnPlayProgress(this, FPlayTime);
        // While paused the position stands: nothing to move on to.
        if (Count() > 0 && FPlayType != ptAgain && (ended || (started && !(state & dsPaused)))) {
            // Sentences that follow each other in the file are passed without a
            // seek; several may end between two ticks.
            for (int n = 0; n <= Count() && Advance(ended); ++n) {
            }
        }
        if (FOscope) {
            if (FWaveOut->State() & dsStarted)
                DrawMarker(OscopeColumn(HeardPosition() + FRangeStart));
            else
                EraseMarker();
        }
        UpdateBox();
    });
}

bool TPiboAudioPlay::Advance(bool sourceEnded)
{
    const int q = CurrentEntry();
    if (q < 0)
        return false;
    const int i = FPlayQueue[q];
    const bool lastItem = i == Count() - 1;
    // The last sentence of the file runs to the file's end: it is over when
    // the device has played everything.
    const bool over = sourceEnded || (!lastItem && FPlayTime - EntryEndMs(q) > 10);
    if (!over)
        return false;
    const int n = static_cast<int>(FPlayQueue.size());
    const bool lastEntry = q == n - 1;
    int next = -1;
    if (FPlayType == ptAll) {
        next = !lastEntry ? q + 1 : (FLoopPlay ? 0 : -1);
    } else {
        next = lastEntry ? -1 : NextSelected(q + 1);
        if (next < 0 && FLoopPlay)
            next = NextSelected(0);
    }
    if (next < 0) {
        FinishQueue();
        return false;
    }
    const bool contiguous = !lastItem && FPlayQueue[next] == i + 1;
    AdvanceTo(next, contiguous);
    return contiguous;
}

void TPiboAudioPlay::AdvanceTo(int q, bool contiguous)
{
    if (contiguous) {
        // What the device holds runs on into this sentence: nothing is
        // dropped, nothing heard twice.
        FPlayQueueIndex = q;
        Highlight(q);
        DoPlayIndexChange(q);
        return;
    }
    if (FWaveOut->State() & dsStarted) {
        FWaveOut->Pause();
        Seek(EntryStartSamples(q));
    } else {
        StartPaused(EntryStartSamples(q));
    }
    Highlight(q);
    FPlayQueueIndex = q;
    DoPlayIndexChange(q);
    FWaveOut->Restart();
}

void TPiboAudioPlay::FinishQueue()
{
    StopDevice();
    if (OnPlayOver)
        OnPlayOver(this);
}

// ------------------------------------------------------------ subtitle box

double TPiboAudioPlay::SentenceProgress(int leadMs, int tailMs) const
{
    const auto state = FWaveOut->State();
    if (!(state & (dsStarted | dsPaused)) && FPlayQueueIndex == 0)
        return 0;
    const int q = CurrentEntry();
    if (!FOpen || q < 0)
        return 0;
    const std::int64_t pos = HeardPosition() + FRangeStart;
    const std::int64_t start = MsToSamples(EntryStartMs(q));
    const std::int64_t end = MsToSamples(EntryEndMs(q));
    std::int64_t lead = MsToSamples(leadMs);
    std::int64_t span = end - start - lead - MsToSamples(tailMs);
    if (span <= 0) {
        // A sentence shorter than lead and tail: sung over its whole length.
        lead = 0;
        span = end - start;
    }
    if (span <= 0)
        return pos >= end ? 1.0 : 0.0;
    return static_cast<double>(pos - start - lead) / static_cast<double>(span);
}

void TPiboAudioPlay::UpdateBox()
{
    if (!(FDisChina || FDisEnglish) || FPlayQueue.isEmpty())
        return;
    // Repainted only when the sung edge moves by a pixel inside the box: on a
    // line wider than the box it is still while outside, and a hidden English
    // line has none.
    MoveSungEdge(SungEdge(SentenceProgress(500, 0)));
}

int TPiboAudioPlay::SungEdge(double progress) const
{
    return FDisEnglish ? VisibleSungEdge(FSubtitleBox->rect(), FEnglishWidth, progress) : 0;
}

void TPiboAudioPlay::MoveSungEdge(int edge)
{
    if (edge == FPaintedSung)
        return;
    // Only the columns between the old and the new edge change colour.
    const QRect change =
        SungEdgeChange(FSubtitleBox->rect(), 0, FBoxPainter.EnglishLine().Height(), FPaintedSung, edge);
    FPaintedSung = edge;
    FSubtitleBox->update(change);
}

void TPiboAudioPlay::PaintSubtitle(TCanvas& canvas)
{
    try {
        TSubtitleBoxText text;
        if (!FPlayQueue.isEmpty()) {
            text.English = FEnglish;
            text.China = FChina;
            text.ShowEnglish = FDisEnglish;
            text.ShowChina = FDisChina;
            text.Progress = SentenceProgress(500, 0);
        }
        FBoxPainter.Paint(canvas.Painter(), FSubtitleBox->rect(), text, FSubtitleBox->PaintRect());
        // The edge painted is the one on show from now on: after a paint of
        // the whole box, or when the position moved on since the last tick
        // (the columns between the two are painted again).
        if (!FPlayQueue.isEmpty()) {
            const int edge = SungEdge(text.Progress);
            if (FPaintedSung < 0)
                FPaintedSung = edge;
            else
                MoveSungEdge(edge);
        }
    } catch (...) {
    }
}

// ------------------------------------------------------------ waveform

int TPiboAudioPlay::OscopeColumn(std::int64_t samples) const
{
    if (!FOscope || FLength <= 0)
        return 0;
    return RoundHalfEven(static_cast<double>(samples) / static_cast<double>(FLength) * FOscope->PlotRect().width());
}

void TPiboAudioPlay::HighlightRange(int startMs, int endMs)
{
    if (!FOscope)
        return;
    FOscope->SetMarks(OscopeColumn(MsToSamples(startMs)), OscopeColumn(MsToSamples(endMs)), true);
}

void TPiboAudioPlay::SetupOscope()
{
    if (!FOscope)
        return;
    FOscope->ResetDisplay();
    FOscope->SetKind(okMirLines);
    if (const TWaveFormatEx* format = Format()) {
        FOscope->SetMode(format->nChannels == 2 ? mStereo : mMono);
        if (format->wBitsPerSample == 8)
            FOscope->SetBitLength(b8Bit);
        else if (format->wBitsPerSample == 16)
            FOscope->SetBitLength(b16Bit);
    }
    FOscope->SetEffect(efNone);
    FOscope->SetChannel(chBoth);
    FOscope->SetZoom(1);
}

void TPiboAudioPlay::LoadOscopeData()
{
    if (!FOscope)
        return;
    const int bytes = std::max(0, FOscope->DisplayBytes());
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(bytes), 0);
    std::int64_t filled = 0;
    const TWaveFormatEx* format = Format();
    const bool eightBit = format && format->wBitsPerSample == 8;
    try {
        const std::int64_t frameSize = format ? BytesPerSampleFrame(format) : 0;
        const std::int64_t frames = frameSize > 0 ? bytes / frameSize : 0;
        // An empty file or a waveform without width shows nothing.
        if (FOpen && frames > 0 && FLength > 0) {
            // A reader of its own: the player's play position stays.
            TSndWave reader;
            reader.SetFileName(FFileName);
            reader.SetTimeFormat(tfSample);
            reader.OpenFile();
            const std::int64_t step =
                std::max<std::int64_t>(1, RoundHalfEven(static_cast<double>(FLength) / static_cast<double>(frames) + 0.5));
            reader.SetPosition(0);
            auto* out = buffer.data();
            if (step == 1) {
                filled = std::max<std::int64_t>(0, reader.ReadData(out, bytes));
            } else if (step * frameSize * 1024 > 65535) {
                for (std::int64_t k = 0; k < frames; ++k) {
                    const std::int64_t at = std::min(step * k, FLength);
                    if (at >= FLength)
                        break;
                    reader.SetPosition(at);
                    if (reader.ReadData(out + k * frameSize, frameSize) != frameSize)
                        break;
                    filled += frameSize;
                }
            } else {
                std::vector<std::uint8_t> scratch(static_cast<std::size_t>(step * frameSize * 1024));
                while (filled < frames * frameSize) {
                    const std::int64_t got = reader.ReadData(scratch.data(), static_cast<std::int64_t>(scratch.size()));
                    if (got <= 0)
                        break;
                    for (std::int64_t at = 0; at + frameSize <= got && filled < frames * frameSize; at += step * frameSize) {
                        std::copy_n(scratch.data() + at, frameSize, out + filled);
                        filled += frameSize;
                    }
                }
            }
        }
    } catch (...) {
    }
    // What the file did not fill lies at the middle line.
    if (eightBit)
        std::fill(buffer.begin() + std::min<std::int64_t>(filled, bytes), buffer.end(), std::uint8_t(128));
    FOscope->ShowBuffer(buffer.data(), bytes);
}

void TPiboAudioPlay::RefreshOscope()
{
    if (!FOscope)
        return;
    SetupOscope();
    LoadOscopeData();
    if (Count() > 0)
        Highlight(CurrentEntry());
    UpdateMarkerColumn(FLastMarkerPos);
}

void TPiboAudioPlay::UpdateMarkerColumn(int x)
{
    if (FOscope && x > 0)
        FOscope->update(QRect(FOscope->PlotRect().left() + x, 0, 1, FOscope->height()));
}

void TPiboAudioPlay::DrawMarker(int x)
{
    const int old = FLastMarkerPos;
    FLastMarkerPos = x;
    if (old != x) {
        UpdateMarkerColumn(old);
        UpdateMarkerColumn(x);
    }
}

void TPiboAudioPlay::EraseMarker()
{
    DrawMarker(-10);
}

void TPiboAudioPlay::OscopePostPaint()
{
    TCanvas* canvas = FOscope ? FOscope->Canvas() : nullptr;
    if (!canvas || FLastMarkerPos <= 0 || FLength <= 0)
        return;
    // A navy pen in the not-xor mode: the line shows on every colour.
    QPainter& painter = canvas->Painter();
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    painter.setPen(QPen(ToQColor(0x800000), 1));
    const int x = FOscope->PlotRect().left() + FLastMarkerPos;
    painter.drawLine(x, 0, x, FOscope->height() - 1);
    painter.restore();
}

void TPiboAudioPlay::OscopeMouseDown(int x)
{
    Guarded([&] {
        if (!FDownEnabled || !FOpen || !(FWaveOut->State() & (dsStarted | dsPaused)))
            return;
        const int xs = OscopeColumn(FRangeStart);
        const int xe = OscopeColumn(FRangeEnd);
        const int column = std::clamp(x - FOscope->PlotRect().left(), xs, xe);
        DrawMarker(column);
        if (IsPlaying())
            FWaveOut->Pause();
        const std::int64_t span = FRangeEnd - FRangeStart;
        const std::int64_t target =
            xe > xs ? RoundHalfEven(static_cast<double>(column - xs) / static_cast<double>(xe - xs) * static_cast<double>(span)) : 0;
        Seek(target);
        // A click on a paused waveform resumes playback.
        FWaveOut->Restart();
    });
}

// ------------------------------------------------------------ clips

bool TPiboAudioPlay::CutWave(std::int64_t startSample, std::int64_t endSample, const QString& targetWav,
                             const QString& sourceWav)
{
    try {
        if (startSample < 0 || endSample <= startSample)
            return false;
        TSndWaveFile cutter;
        TSndWave* wave = cutter.Wave();
        wave->SetFileName(sourceWav);
        wave->SetTimeFormat(tfSample);
        wave->SetEndPos(endSample);
        wave->SetStartPos(startSample);
        wave->SaveRegionToFile(targetWav);
        return true;
    } catch (...) {
        return false;
    }
}

bool TPiboAudioPlay::WavToMp3(const QString& sourceWav, const QString& targetMp3)
{
    const QString copy = TempFolder() + QStringLiteral("PiboTempTransfer.wav");
    bool ok = false;
    try {
        QFile::remove(copy);
        ok = QFile::copy(sourceWav, copy) && FConverter->Convert(TAudioConverters::cmWavToMp3, copy, targetMp3);
    } catch (...) {
        ok = false;
    }
    // Only after the encoder has ended: it reads the copy to the last byte.
    QFile::remove(copy);
    if (!ok)
        QFile::remove(targetMp3);
    return ok;
}

bool TPiboAudioPlay::SaveSentenceMp3(int itemIndex, const QString& folder, const QString& fileName)
{
    if (!FOpen || itemIndex < 0 || itemIndex >= Count())
        return false;
    const QString cut = TempFolder() + QStringLiteral("PiboTempSave.wav");
    bool ok = false;
    try {
        const TAudioLrcItem& item = FItems[itemIndex];
        const std::int64_t start = MsToSamples(LrcTimeToMSec(item.StartTime));
        const std::int64_t end = MsToSamples(LrcTimeToMSec(item.EndTime));
        QFile::remove(cut);
        if (CutWave(start, end, cut, FFileName)) {
            const QString target = folder
                                   + (fileName.isEmpty() ? QFileInfo(FFileName).completeBaseName() + QLatin1Char('_')
                                                               + QString::number(itemIndex) + QStringLiteral(".mp3")
                                                         : fileName);
            ok = WavToMp3(cut, target);
        }
    } catch (...) {
        ok = false;
    }
    QFile::remove(cut);
    return ok;
}

bool TPiboAudioPlay::SaveSentenceLrc(int itemIndex, const QString& path)
{
    if (itemIndex < 0 || itemIndex >= Count())
        return false;
    const TAudioLrcItem& item = FItems[itemIndex];
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray line = StringToAnsi(QLatin1Char('[') + item.StartTime + QLatin1Char(']') + item.English);
    return file.write(line) == line.size();
}
