#include "UDictationScreen.h"

#include "ProgramFolder.h"
#include "UDataOperaterFun.h"
#include "UDictationCheck.h"
#include "UDictationFiles.h"
#include "UFrmShowInfo.h"
#include "UFrmShowQuestionInfo.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPiboVideoClass.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QMouseEvent>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr TColor SplitterColor = 13140493;
constexpr TColor ToolColor = 16775144;
constexpr int BottomHeight = 36;

// The handle of the splitter under the player: a drag moves it only while
// its splitter's OnCanResize agrees, asked at every step of the drag.
class TGuardedSplitterHandle : public QSplitterHandle {
public:
    TGuardedSplitterHandle(Qt::Orientation orientation, QSplitter* parent,
                           const std::function<bool()>* canResize)
        : QSplitterHandle(orientation, parent), FCanResize(canResize)
    {
    }

protected:
    void mouseMoveEvent(QMouseEvent* event) override
    {
        bool allowed = true;
        RunGuarded([this, &allowed] { allowed = !*FCanResize || (*FCanResize)(); });
        if (allowed)
            QSplitterHandle::mouseMoveEvent(event);
    }

private:
    const std::function<bool()>* FCanResize;
};

class TGuardedSplitter : public QSplitter {
public:
    explicit TGuardedSplitter(QWidget* parent) : QSplitter(Qt::Vertical, parent) {}
    std::function<bool()> OnCanResize;

protected:
    QSplitterHandle* createHandle() override { return new TGuardedSplitterHandle(orientation(), this, &OnCanResize); }
};

QToolButton* FlatButton(QWidget* parent, const QString& caption)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setText(caption);
    return button;
}

} // namespace

TDictationScreen::TDictationScreen(QWidget* parent, bool video, bool splitterStrip, const QString& ext,
                                   TTransportOptions options)
    : TForm(parent), FVideo(video), FExt(ext)
{
    SetBorderless();
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* top = new QWidget(this);
    FillBackground(top, clBlack);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, video ? 5 : 0, 0, 0);
    panContain = new QWidget(top);
    panContain->setObjectName(QStringLiteral("panContain"));
    FillBackground(panContain, clBlack);
    panContain->installEventFilter(this);
    topLayout->addWidget(panContain);
    auto* work = new QWidget(this);
    FLayout = new QVBoxLayout(work);
    FLayout->setContentsMargins(0, 0, 0, 0);
    FLayout->setSpacing(0);
    const int topHeight = video ? 223 : 151;
    if (splitterStrip) {
        auto* splitter = new TGuardedSplitter(this);
        splitter->OnCanResize = [this] { return SplitterCanResize(); };
        Splitter = splitter;
        Splitter->setObjectName(QStringLiteral("Splitter"));
        Splitter->setHandleWidth(1);
        Splitter->setOpaqueResize(true);
        Splitter->setChildrenCollapsible(false);
        Splitter->setStyleSheet(
            QStringLiteral("QSplitter::handle { background: %1; }").arg(ToQColor(SplitterColor).name()));
        top->setMinimumHeight(1);
        Splitter->addWidget(top);
        Splitter->addWidget(work);
        Splitter->setStretchFactor(0, 0);
        Splitter->setStretchFactor(1, 1);
        Splitter->setSizes({topHeight, 10000});
        outer->addWidget(Splitter);
        connect(Splitter, &QSplitter::splitterMoved, this, [this] { RunGuarded([this] { SplitterMoved(); }); });
    } else {
        top->setFixedHeight(topHeight);
        outer->addWidget(top);
        outer->addWidget(work, 1);
    }
    if (video) {
        options.RefreshAfterActions = false;
        options.SetsIsPlaying = false;
        options.AgainNeedsFileOrder = false;
        options.RestartPicksSelected = false;
        options.RestartRefuses = false;
        options.PlayOverRewinds = false;
    }
    FTransport = new TStudyTransport(this, options);
    FillBackground(FTransport->panPlayTool, ToolColor);
    FLayout->addWidget(FTransport->panPlayTool);

    Timer = new QTimer(this);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, [this] { RunGuarded([this] { TimerTimer(); }); });
    Timer->start();
    const QString filter = QLatin1Char('*') + ext + QStringLiteral("|*") + ext;
    SaveDialog.Filter = filter;
    OpenDialog.Filter = filter;
}

TDictationScreen::~TDictationScreen()
{
    Timer->stop();
    sscSpellCheck.reset();
    FTransport->SetPlayer(nullptr);
    delete FAudioPlayer;
    delete FVideoPlayer;
    FAudioPlayer = nullptr;
    FVideoPlayer = nullptr;
    if (!FVideo)
        SystemPara.IsPlaying = false;
}

void TDictationScreen::AddBottomBar()
{
    auto* bottom = new QWidget(this);
    bottom->setFixedHeight(BottomHeight);
    auto* bar = new QHBoxLayout(bottom);
    bar->setContentsMargins(8, 0, 8, 0);
    PiboSpeedButton1 = new TPiboSpeedButton(bottom);
    PiboSpeedButton1->setObjectName(QStringLiteral("PiboSpeedButton1"));
    PiboSpeedButton1->SetPiboSpeedButtonType(pbstInfoButton);
    PiboSpeedButton1->SetCaption(QStringLiteral("完成提交"));
    PiboSpeedButton1->OnClick = [this] { RunGuarded([this] { PiboSpeedButton1Click(); }); };
    sbImport = FlatButton(bottom, QStringLiteral("导入"));
    sbExport = FlatButton(bottom, QStringLiteral("导出"));
    sbClear = FlatButton(bottom, QStringLiteral("清除"));
    labTime = new QLabel(ClockStart, bottom);
    labTime->setObjectName(QStringLiteral("labTime"));
    bar->addWidget(PiboSpeedButton1);
    bar->addWidget(sbImport);
    bar->addWidget(sbExport);
    bar->addWidget(sbClear);
    bar->addStretch(1);
    bar->addWidget(new QLabel(QStringLiteral("计时："), bottom));
    bar->addWidget(labTime);
    FLayout->addWidget(bottom);
    connect(sbImport, &QToolButton::clicked, this, [this] { RunGuarded([this] { sbImportClick(); }); });
    connect(sbExport, &QToolButton::clicked, this, [this] { RunGuarded([this] { sbExportClick(); }); });
    connect(sbClear, &QToolButton::clicked, this, [this] { RunGuarded([this] { sbClearClick(); }); });
}

void TDictationScreen::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    RunGuarded([this] { FormShow(); });
}

void TDictationScreen::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    RunGuarded([this] { FormResize(); });
}

bool TDictationScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == panContain && event->type() == QEvent::Resize)
        RunGuarded([this] {
            if (QWidget* player = FVideo ? static_cast<QWidget*>(FVideoPlayer) : FAudioPlayer)
                player->setGeometry(panContain->rect());
            panContainResize();
        });
    return TForm::eventFilter(watched, event);
}

bool TDictationScreen::SplitterCanResize() const
{
    return FVideo || !SystemPara.IsPlaying;
}

void TDictationScreen::SplitterMoved()
{
    FormResize();
}

void TDictationScreen::panContainResize()
{
    if (FAudioPlayer)
        FAudioPlayer->RefreshOscope();
}

void TDictationScreen::CreatePlayer(std::function<void(int index)> indexChange)
{
    QWidget* player;
    const auto follow = [indexChange](int index) {
        if (indexChange)
            RunGuarded([indexChange, index] { indexChange(index); });
    };
    if (FVideo) {
        FVideoPlayer = new TPiboVideoClass(panContain);
        FTransport->SetPlayer(MakeTransportPlayer(FVideoPlayer));
        FVideoPlayer->OnVideoPlayIndexChange = [follow](QObject*, int index) { follow(index); };
        FVideoPlayer->OnVideoProgress = [this](QObject*, std::int64_t t) {
            RunGuarded([this, t] { FTransport->Progress(t); });
        };
        FVideoPlayer->OnPlayOver = [this](QObject*) { RunGuarded([this] { FTransport->PlayOver(); }); };
        FVideoPlayer->OnVideoStateChange = [this](QObject*) { RunGuarded([this] { FTransport->StateChange(); }); };
        player = FVideoPlayer;
    } else {
        FAudioPlayer = new TPiboAudioPlay(panContain);
        FAudioPlayer->SetHasOscope(true);
        FAudioPlayer->SetDownEnabled(false);
        FTransport->SetPlayer(MakeTransportPlayer(FAudioPlayer));
        FAudioPlayer->OnPlayIndexChange = [follow](QObject*, int index) { follow(index); };
        FAudioPlayer->OnPlayProgress = [this](QObject*, int t) { RunGuarded([this, t] { FTransport->Progress(t); }); };
        FAudioPlayer->OnPlayOver = [this](QObject*) { RunGuarded([this] { FTransport->PlayOver(); }); };
        player = FAudioPlayer;
    }
    // Client-aligned by hand: the player takes panContain's new size before
    // panContainResize runs (a layout would resize it only afterwards).
    player->setGeometry(panContain->rect());
    player->show();
}

void TDictationScreen::OpenPlayerFile()
{
    if (FVideo) {
        FVideoPlayer->SetFileName(FMediaFile);
        FVideoPlayer->LoadSrt(FMediaFile, false);
    } else {
        FAudioPlayer->SetFileName(FMediaFile);
        FAudioPlayer->LoadLrc(FMediaFile, false);
    }
}

void TDictationScreen::ReloadSentences()
{
    if (FVideo)
        FVideoPlayer->LoadSrt(FVideoPlayer->FileName(), false);
    else
        FAudioPlayer->LoadLrc(FAudioPlayer->FileName(), false);
}

void TDictationScreen::StopPlayer()
{
    if (FVideo)
        FVideoPlayer->Stop();
    else if (FTransport->Player()->Active())
        FAudioPlayer->Stop();
}

void TDictationScreen::SetSelected(int index, bool value)
{
    if (FVideo)
        FVideoPlayer->SetSelected(index, value);
    else
        FAudioPlayer->SetSelected(index, value);
}

void TDictationScreen::OpenSpellLists()
{
    // Without the word lists the editor works as before, only without
    // underlining.
    FSpellListOpen = OpenDictationLists(*sscSpellCheck, ProgramFolder() + QStringLiteral("data/dict/"));
}

void TDictationScreen::HandleHotKey(qint32 id)
{
    RunGuarded([this, id] { FTransport->HandleHotKey(id); });
}

int TDictationScreen::SentenceCount() const
{
    if (FVideo)
        return FVideoPlayer ? FVideoPlayer->Count() : 0;
    return FAudioPlayer ? FAudioPlayer->Count() : 0;
}

QString TDictationScreen::EnglishOf(int index) const
{
    if (index < 0 || index >= SentenceCount())
        return QString();
    return FVideo ? FVideoPlayer->VideoLrcItems()[index].English : FAudioPlayer->AudioLrcItems()[index].English;
}

QStringList TDictationScreen::EnglishLines() const
{
    QStringList lines;
    for (int i = 0; i < SentenceCount(); ++i)
        lines << EnglishOf(i);
    return lines;
}

QString TDictationScreen::PlayerFileName() const
{
    if (FVideo)
        return FVideoPlayer ? FVideoPlayer->FileName() : QString();
    return FAudioPlayer ? FAudioPlayer->FileName() : QString();
}

void TDictationScreen::TimerTimer()
{
    labTime->setText(NextClockText(labTime->text()));
}

void TDictationScreen::sbExportClick()
{
    if (!SaveDialog.Execute(this))
        return;
    // The question is about the file really written, with its extension.
    const QString path = ForcedExtensionPath(SaveDialog.FileName, FExt);
    if (QFile::exists(path) && !ShowQuestionInfo(QStringLiteral("此文件已经存在，确定要覆盖？")))
        return;
    if (!ExportAnswers(path))
        ShowInfo(QStringLiteral("导出文件失败！"));
}

void TDictationScreen::sbImportClick()
{
    sbClearClick();
    if (!OpenDialog.Execute(this))
        return;
    ImportAnswers(OpenDialog.FileName);
}

bool TDictationScreen::OpenImportedMedia(const QString& source)
{
    QString play;
    if (!PrepareImportSource(source, FVideo, play))
        return false;
    SetMediaFile(play);
    ReloadFile();
    return true;
}

void TDictationScreen::ImportAnswers(const QString& path)
{
    QString source;
    QStringList lines;
    if (!ReadDictationFile(path, source, lines)) {
        ShowInfo(QStringLiteral("导入文件失败！"));
        return;
    }
    const QString refusal = ImportSourceRefusal(source, FVideo);
    if (!refusal.isEmpty()) {
        ShowInfo(refusal);
        return;
    }
    if (!OpenImportedMedia(source)) {
        ShowInfo(ImportLoadFailure(FVideo));
        return;
    }
    RestoreAnswers(lines);
    ShowInfo(QStringLiteral("导入文件成功！"));
}
