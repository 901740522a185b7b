#include "UPiboVideoClass.h"

#include "DSGraph.h"
#include "Forms.h"
#include "SubtitleText.h"
#include "TimeTags.h"
#include "UCommonFun.h"
#include "UFrmShowInfo.h"
#include "UPlayerShared.h"

#include <QtCore/QScopeGuard>
#include <QtCore/QStringList>
#include <QtCore/QTimer>
#include <QtGui/QPalette>
#include <QtGui/QResizeEvent>

#include <algorithm>
#include <climits>
#include <utility>

namespace {

const QString Arrow = QStringLiteral(" --> ");

// The two times of a cue's time line "start --> end". Whatever follows the
// end time (blanks, position coordinates) is not looked at.
bool SrtLineTimes(const QString& line, QString& start, QString& end)
{
    const qsizetype arrow = line.indexOf(Arrow);
    if (arrow < 0)
        return false;
    start = line.left(arrow);
    const QString rest = line.mid(arrow + Arrow.size());
    end = rest.left(13);  // three hour digits
    if (!IsSrtTimeTag(u'[' + end + u']'))
        end = rest.left(12);
    return IsSrtTimeTag(u'[' + start + u']') && IsSrtTimeTag(u'[' + end + u']');
}

// Cue by cue: an index line (blank lines before it are passed over, its
// content is not looked at), the time line, the English line and the Chinese
// line, which the end of the file may leave out. A cue cut short before its
// English line is dropped. A time line that fails the test returns false with
// its index in badLine; so does the third text line of a cue, taken for the
// next index line.
bool ReadSrtLines(const QStringList& lines, TVideoLrcItems& items, qsizetype& badLine)
{
    const qsizetype n = lines.size();
    qsizetype i = 0;
    while (i < n) {
        if (lines.at(i).trimmed().isEmpty()) {
            ++i;
            continue;
        }
        const qsizetype time = i + 1;
        if (time + 1 >= n)
            break;
        TVideoLrcItem item;
        if (!SrtLineTimes(lines.at(time), item.StartTime, item.EndTime)) {
            badLine = time;
            return false;
        }
        item.English = lines.at(time + 1);
        if (time + 2 < n)
            item.China = lines.at(time + 2);
        items.append(item);
        i = time + 3;
    }
    return true;
}

}  // namespace

bool LoadSrtFile(TVideoLrcItems& items, const QString& mediaPath, int* errorLine)
{
    items.clear();
    if (errorLine)
        *errorLine = 0;
    try {
        QString path;
        if (FindSubtitleFile(mediaPath, {QStringLiteral(".srt"), QStringLiteral(".psrt")}, path) < 0)
            return true;
        QStringList lines;
        if (!ReadSubtitleLines(path, lines))
            return false;
        qsizetype badLine = -1;
        if (ReadSrtLines(lines, items, badLine))
            return true;
        // One bad time tag and the video has no cues: the player then plays
        // it as one whole cue.
        items.clear();
        if (errorLine)
            *errorLine = static_cast<int>(badLine) + 1;
        return false;
    } catch (...) {
        items.clear();
        return false;
    }
}

bool SaveSrtFile(const TVideoLrcItems& items, const QString& path)
{
    try {
        QStringList lines;
        lines.reserve(items.size() * 5);
        for (qsizetype i = 0; i < items.size(); ++i) {
            const TVideoLrcItem& item = items.at(i);
            lines.append(QString::number(i + 1));
            lines.append(item.StartTime + Arrow + item.EndTime);
            lines.append(item.English);
            lines.append(item.China);
            lines.append(QString());
        }
        return WriteAnsiLines(path, lines);
    } catch (...) {
        return false;
    }
}

// ------------------------------------------------------------ the video player

namespace {

const QString UnsupportedVideoText = QStringLiteral("不支持该影片中部分数据流的格式！");

// Top of the English line in the video's subtitle box.
constexpr int BoxEnglishTop = 6;

}  // namespace

TPiboVideoClass::TPiboVideoClass(QWidget* parent, TFilterGraph* graph) : QWidget(parent)
{
    FPanel = new QWidget(this);
    FPanel->setAutoFillBackground(true);
    QPalette palette = FPanel->palette();
    palette.setColor(QPalette::Window, Qt::black);
    FPanel->setPalette(palette);
    FPanel->installEventFilter(this);

    FFilterGraph = graph ? graph : new TFilterGraph(this);
    FFilterGraph->setParent(this);
    FVideoWindow = new TVideoWindow(FPanel);
    FVideoWindow->SetFilterGraph(FFilterGraph);

    FTimer = new QTimer(this);
    FTimer->setTimerType(Qt::PreciseTimer);
    FTimer->setInterval(5);
    connect(FTimer, &QTimer::timeout, this, [this] { TimerTick(); });
    FTimer->start();

    FSubtitleBox = new TSubtitlePaintBox(this);
    FSubtitleBox->OnPaint = [this](TCanvas& canvas) { PaintSubtitle(canvas); };
    LayoutParts();
}

TPiboVideoClass::~TPiboVideoClass()
{
    // Every part is released, also when an earlier step fails.
    const auto step = [](const auto& f) {
        try {
            f();
        } catch (...) {
        }
    };
    step([&] { FTimer->stop(); });
    step([&] { FFilterGraph->ClearGraph(); });
    step([&] {
        TFilterGraph* graph = std::exchange(FFilterGraph, nullptr);
        delete graph;
    });
    step([&] {
        TVideoWindow* window = std::exchange(FVideoWindow, nullptr);
        delete window;
    });
    step([&] {
        QTimer* timer = std::exchange(FTimer, nullptr);
        delete timer;
    });
    step([&] {
        TPaintBox* box = std::exchange(FSubtitleBox, nullptr);
        delete box;
    });
    step([&] {
        QWidget* panel = std::exchange(FPanel, nullptr);
        delete panel;
    });
    step([&] { FMediaSeeking.reset(); });
}

// ------------------------------------------------------------ properties

void TPiboVideoClass::SetFileName(const QString& value)
{
    if (value == FFileName)
        return;
    FFileName = value;
    FVideoWidth = 0;
    FVideoHeight = 0;
    try {
        if (!FFilterGraph->Active())
            FFilterGraph->SetActive(true);
        FFilterGraph->ClearGraph();
        SetVideoPlayState(vpsStop);
        try {
            FFilterGraph->RenderFile(value);
        } catch (...) {
            // An unplayable file shows up when its size is asked for below.
        }
        FTotalTime = FFilterGraph->GetDuration();
        FVolume = FFilterGraph->Volume() / 100;
        const auto video = FFilterGraph->Query<IBasicVideo>();
        if (!video)
            CheckDSError(E_NOINTERFACE);
        std::int32_t width = 0;
        std::int32_t height = 0;
        CheckDSError(video->GetVideoWidth(width));
        CheckDSError(video->GetVideoHeight(height));
        FVideoWidth = width;
        FVideoHeight = height;
        FitVideo();
    } catch (...) {
        ShowInfo(UnsupportedVideoText);
    }
}

void TPiboVideoClass::SetVolume(int value)
{
    value = std::clamp(value, 0, 100);
    if (value == FVolume)
        return;
    FVolume = value;
    FFilterGraph->SetVolume(value * 100);
}

void TPiboVideoClass::SetVideoPlayState(TVideoPlayState value)
{
    if (value == FVideoPlayState)
        return;
    FVideoPlayState = value;
    if (OnVideoStateChange)
        OnVideoStateChange(this);
}

void TPiboVideoClass::SetDisChina(bool value)
{
    if (value == FDisChina)
        return;
    FDisChina = value;
    FPaintedSung = -1;
    FSubtitleBox->update();
}

void TPiboVideoClass::SetDisEnglish(bool value)
{
    if (value == FDisEnglish)
        return;
    FDisEnglish = value;
    FPaintedSung = -1;
    FSubtitleBox->update();
}

void TPiboVideoClass::SetHasLrDis(bool value)
{
    if (value == FHasLrDis)
        return;
    FHasLrDis = value;
    FSubtitleBox->setVisible(value);
    LayoutParts();
}

// ------------------------------------------------------------ cues

void TPiboVideoClass::LoadSrt(const QString& mediaPath, bool clearOnly)
{
    FItems.clear();
    if (!clearOnly)
        LoadSrtFile(FItems, mediaPath);
    const QString total = MSecToSrtTime(static_cast<qint32>(std::min<std::int64_t>(FTotalTime, INT32_MAX)));
    for (qsizetype i = 0; i + 1 < FItems.size(); ++i)
        FItems[i].NextStart = FItems.at(i + 1).StartTime;
    if (!FItems.isEmpty()) {
        FItems.last().NextStart = total;
    } else {
        TVideoLrcItem whole;
        whole.StartTime = QStringLiteral("00:00:00,000");
        whole.EndTime = total;
        whole.NextStart = total;
        FItems.append(whole);
    }
    FPlayQueueIndex = 0;
    ClearLines();
}

void TPiboVideoClass::SetSelected(int index, bool value)
{
    if (ValidIndex(index))
        FItems[index].Selected = value;
}

int TPiboVideoClass::NextSelected(int from) const
{
    return ::NextSelected(Count(), from, [this](int i) { return FItems.at(i).Selected; });
}

int TPiboVideoClass::PrevSelected(int from) const
{
    return ::PrevSelected(Count(), from, [this](int i) { return FItems.at(i).Selected; });
}

int TPiboVideoClass::IndexOfTime(std::int64_t ms) const
{
    return ::IndexOfTime(
        Count(), ms, [this](int i) { return StartOf(i); }, [this](int i) { return EndOf(i); }, true);
}

int TPiboVideoClass::CueOfTime(std::int64_t ms) const
{
    const int index = IndexOfTime(ms);
    return index >= 0 ? index : IndexNearTime(Count(), ms, [this](int i) { return StartOf(i); });
}

std::int64_t TPiboVideoClass::StartOf(int index) const
{
    return SrtTimeToMSec(FItems.at(index).StartTime);
}

std::int64_t TPiboVideoClass::EndOf(int index) const
{
    return SrtTimeToMSec(FItems.at(index).EndTime);
}

// ------------------------------------------------------------ position

std::shared_ptr<IMediaSeeking> TPiboVideoClass::MediaSeeking()
{
    FMediaSeeking = FFilterGraph->Query<IMediaSeeking>();
    return FMediaSeeking;
}

void TPiboVideoClass::SeekTo(std::int64_t ms)
{
    FPlayTime = ms;
    if (const auto seeking = MediaSeeking()) {
        std::int64_t position = ms * 10000;
        seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }
}

bool TPiboVideoClass::IsAtEnd()
{
    const auto seeking = MediaSeeking();
    if (!seeking)
        return false;
    std::int64_t current = 0;
    std::int64_t stop = 0;
    if (Failed(seeking->GetCurrentPosition(current)) || Failed(seeking->GetStopPosition(stop)))
        return false;
    return current == stop;
}

void TPiboVideoClass::FireIndexChange(int index)
{
    if (OnVideoPlayIndexChange)
        OnVideoPlayIndexChange(this, index);
}

void TPiboVideoClass::FireProgress(std::int64_t ms)
{
    if (OnVideoProgress)
        OnVideoProgress(this, ms);
}

void TPiboVideoClass::GoTo(int index, std::int64_t ms)
{
    FPlayQueueIndex = index;
    SeekTo(ms);
    FireIndexChange(index);
    FireProgress(ms);
}

void TPiboVideoClass::RunGraph()
{
    FFilterGraph->Play();
    SetVideoPlayState(vpsPlay);
}

// ------------------------------------------------------------ playback

void TPiboVideoClass::Play()
{
    if (Count() == 0) {
        RunGraph();
        return;
    }
    const int lastSelected = PrevSelected(Count() - 1);
    if (FVideoPlayType == vptSelect && lastSelected < 0)
        return;  // nothing selected: nothing to play
    if (!ValidIndex(FPlayQueueIndex))
        FPlayQueueIndex = 0;
    if (FVideoPlayType == vptAll && IsAtEnd()) {
        GoTo(0, 0);
    } else if (FVideoPlayType == vptSelect && FPlayQueueIndex == lastSelected) {
        const int first = NextSelected(0);
        GoTo(first, StartOf(first));
    } else {
        SeekTo(StartOf(FPlayQueueIndex));
    }
    RunGraph();
}

void TPiboVideoClass::Pause()
{
    FFilterGraph->Pause();
    SetVideoPlayState(vpsPause);
}

void TPiboVideoClass::Resume()
{
    RunGraph();
}

void TPiboVideoClass::Stop()
{
    FFilterGraph->Stop();
    SetVideoPlayState(vpsStop);
}

void TPiboVideoClass::Restart()
{
    if (Count() == 0)
        return;
    if (FVideoPlayType == vptAll) {
        GoTo(0, 0);
    } else {
        const int first = NextSelected(0);
        if (first < 0)
            return;
        GoTo(first, StartOf(first));
    }
    RunGraph();
}

void TPiboVideoClass::GotoFirst()
{
    if (Count() == 0)
        return;
    if (FVideoPlayType == vptAll) {
        GoTo(0, 0);
        if (FVideoPlayState != vpsPlay)
            RunGraph();
    } else {
        const int first = NextSelected(0);
        if (first >= 0)
            GoTo(first, StartOf(first));
    }
}

void TPiboVideoClass::GotoLast()
{
    if (Count() == 0)
        return;
    if (FVideoPlayType == vptAll) {
        GoTo(Count() - 1, FTotalTime);
        SetVideoPlayState(vpsStop);
    } else {
        const int last = PrevSelected(Count() - 1);
        if (last >= 0)
            GoTo(last, StartOf(last));
    }
}

void TPiboVideoClass::GotoSentence(int index)
{
    if (!ValidIndex(index))
        return;
    if (FVideoPlayState == vpsStop) {
        FPlayQueueIndex = index;
        FireProgress(StartOf(index));
        ShowLines(index);
    } else {
        const std::int64_t start = StartOf(index);
        SeekTo(start);
        FPlayQueueIndex = index;
        FireIndexChange(index);
        FireProgress(start);
    }
}

void TPiboVideoClass::GotoTime(int index, std::int64_t ms)
{
    if (!ValidIndex(index))
        return;
    if (FVideoPlayState == vpsStop) {
        FPlayQueueIndex = index;
        ShowLines(index);
    } else {
        SeekTo(ms);
        FPlayQueueIndex = index;
        FireIndexChange(index);
    }
}

void TPiboVideoClass::Skip(std::int64_t deltaMs)
{
    FTimer->stop();
    const auto restart = qScopeGuard([this] {
        if (FTimer)
            FTimer->start();
    });
    if (FVideoPlayState == vpsStop || Count() == 0)
        return;
    const bool wasPlaying = FVideoPlayState == vpsPlay;
    if (wasPlaying)
        Pause();
    const std::int64_t target = FPlayTime + deltaMs;
    if (target >= FTotalTime) {
        GotoLast();
        return;
    }
    if (target <= 0) {
        GotoFirst();
        return;
    }
    GoTo(CueOfTime(target), target);
    if (wasPlaying)
        Resume();
}

void TPiboVideoClass::SeekSentenceStart()
{
    try {
        if (!ValidIndex(FPlayQueueIndex))
            return;
        SeekTo(StartOf(FPlayQueueIndex));
        std::int64_t current = 0;
        if (const auto seeking = MediaSeeking())
            CheckDSError(seeking->GetCurrentPosition(current));
        FireProgress(current / 10000);
    } catch (...) {
    }
}

// ------------------------------------------------------------ following the position

void TPiboVideoClass::TimerTick()
{
    if (FVideoPlayState != vpsPlay)
        return;
    try {
        const auto seeking = MediaSeeking();
        if (!seeking)
            return;
        std::int64_t current = 0;
        CheckDSError(seeking->GetCurrentPosition(current));
        const std::int64_t t = current / 10000;
        FireProgress(t);
        FPlayTime = t;
        if (!ValidIndex(FPlayQueueIndex))
            return;
        switch (FVideoPlayType) {
        case vptAll:
            FollowAll(t);
            break;
        case vptSelect:
            FollowSelect(t);
            break;
        case vptAgain:
            break;
        }
    } catch (...) {
        // A tick that fails is skipped; the next one tries again.
    }
}

void TPiboVideoClass::FollowAll(std::int64_t t)
{
    const int i = FPlayQueueIndex;
    if (i < Count() - 1) {
        if (StartOf(i) <= t && t <= EndOf(i)) {
            ShowLines(i);
        } else if (EndOf(i) < t && t < StartOf(i + 1)) {
            ClearLines();  // a gap between cues
        } else if (t >= StartOf(i + 1)) {
            FPlayQueueIndex = i + 1;
            FireIndexChange(i + 1);
        }
    } else {
        FollowLastCue(t);
    }
    CheckEnd();
}

void TPiboVideoClass::FollowSelect(std::int64_t t)
{
    const int i = FPlayQueueIndex;
    if (i < Count() - 1) {
        if (StartOf(i) <= t && t <= EndOf(i)) {
            ShowLines(i);
        } else if (t >= StartOf(i + 1)) {
            int next = NextSelected(i + 1);
            if (next < 0 && FLoopPlay && NextSelected(0) >= 0) {
                Play();
                return;
            }
            if (next < 0) {
                FFilterGraph->Stop();
                SetVideoPlayState(vpsStop);
                ClearLines();
                return;
            }
            FPlayQueueIndex = next;
            FireIndexChange(next);
        } else {
            ClearLines();  // before the next cue, or passing cues that are not selected
        }
    } else {
        FollowLastCue(t);
    }
    CheckEnd();
}

void TPiboVideoClass::FollowLastCue(std::int64_t t)
{
    const int i = FPlayQueueIndex;
    if (StartOf(i) <= t && t <= EndOf(i))
        ShowLines(i);
    else
        ClearLines();
}

void TPiboVideoClass::CheckEnd()
{
    if (FVideoPlayState != vpsPlay || !IsAtEnd())
        return;
    SetVideoPlayState(vpsStop);
    if (OnPlayOver)
        OnPlayOver(this);
    ClearLines();
    if (FLoopPlay)
        Play();
}

// ------------------------------------------------------------ subtitle box

void TPiboVideoClass::ShowLines(int index)
{
    const TVideoLrcItem& item = FItems.at(index);
    if (index != FShownIndex || item.English != FEnglish || item.China != FChina) {
        FShownIndex = index;
        FEnglish = item.English;
        FChina = item.China;
        FEnglishWidth = IsBlankLine(FEnglish) ? 0 : FBoxPainter.EnglishWidth(FEnglish);
        FPaintedSung = -1;
    }
    UpdateBox();
}

void TPiboVideoClass::ClearLines()
{
    if (FShownIndex < 0 && FEnglish.isEmpty() && FChina.isEmpty())
        return;
    FShownIndex = -1;
    FEnglish.clear();
    FChina.clear();
    FEnglishWidth = 0;
    FPaintedSung = -1;
    UpdateBox();
}

double TPiboVideoClass::LineProgress() const
{
    if (!ValidIndex(FShownIndex))
        return 0;
    const std::int64_t start = StartOf(FShownIndex);
    const std::int64_t end = EndOf(FShownIndex);
    if (end <= start)
        return FPlayTime >= start ? 1 : 0;
    return static_cast<double>(FPlayTime - start) / static_cast<double>(end - start);
}

void TPiboVideoClass::UpdateBox()
{
    // Repaints only when what the box shows has changed: new lines, or the
    // sung edge moved by a pixel inside the box.
    MoveSungEdge(SungEdge(LineProgress()));
}

int TPiboVideoClass::SungEdge(double progress) const
{
    return FDisEnglish ? VisibleSungEdge(FSubtitleBox->rect(), FEnglishWidth, progress) : 0;
}

void TPiboVideoClass::MoveSungEdge(int edge)
{
    if (edge == FPaintedSung)
        return;
    // Only the columns between the old and the new edge change colour.
    const QRect change = SungEdgeChange(FSubtitleBox->rect(), BoxEnglishTop, FBoxPainter.EnglishLine().Height(),
                                        FPaintedSung, edge);
    FPaintedSung = edge;
    FSubtitleBox->update(change);
}

void TPiboVideoClass::PaintSubtitle(TCanvas& canvas)
{
    try {
        if (!FHasLrDis)
            return;
        TSubtitleBoxText text;
        if (Count() > 0) {
            text.English = FEnglish;
            text.China = FChina;
            text.ShowEnglish = FDisEnglish;
            text.ShowChina = FDisChina;
            text.Progress = LineProgress();
        }
        text.EnglishTop = BoxEnglishTop;
        FBoxPainter.Paint(canvas.Painter(), FSubtitleBox->rect(), text, FSubtitleBox->PaintRect());
        // The edge painted is the one on show from now on (see the audio
        // player).
        if (Count() > 0) {
            const int edge = SungEdge(text.Progress);
            if (FPaintedSung < 0)
                FPaintedSung = edge;
            else
                MoveSungEdge(edge);
        }
    } catch (...) {
    }
}

// ------------------------------------------------------------ layout

void TPiboVideoClass::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    try {
        LayoutParts();
    } catch (...) {
    }
}

bool TPiboVideoClass::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FPanel && event->type() == QEvent::Resize) {
        try {
            FitVideo();
        } catch (...) {
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TPiboVideoClass::LayoutParts()
{
    const int boxHeight = FHasLrDis ? SubtitleBoxHeight : 0;
    const int panelHeight = std::max(0, height() - boxHeight);
    FSubtitleBox->setGeometry(0, panelHeight, width(), SubtitleBoxHeight);
    FPanel->setGeometry(0, 0, width(), panelHeight);
}

void TPiboVideoClass::FitVideo()
{
    const int a = FVideoWidth;
    const int b = FVideoHeight;
    const int panelWidth = FPanel->width();
    const int panelHeight = FPanel->height();
    if (a <= 0 || b <= 0 || panelWidth <= 0 || panelHeight <= 0)
        return;
    const bool wider = a > panelWidth;
    const bool taller = b > panelHeight;
    bool fullWidth;
    if (wider != taller)
        fullWidth = wider;  // larger in one direction only: that side fills the panel
    else
        fullWidth = static_cast<double>(b) / panelHeight <= static_cast<double>(a) / panelWidth;
    int w;
    int h;
    if (fullWidth) {
        w = panelWidth;
        h = RoundHalfEven(static_cast<double>(b) * panelWidth / a);
    } else {
        h = panelHeight;
        w = RoundHalfEven(static_cast<double>(a) * panelHeight / b);
    }
    const int x = RoundHalfEven((panelWidth - w) / 2.0);
    const int y = RoundHalfEven((panelHeight - h) / 2.0);
    FVideoWindow->setGeometry(x, y, w, h);
}
