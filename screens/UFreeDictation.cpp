#include "UFreeDictation.h"

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
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr TColor SplitterColor = 13140493;
constexpr TColor EditorColor = 16775405;
constexpr TColor ActiveLineColor = 16641751;
constexpr int BottomHeight = 36;
const QString ClockStart = QStringLiteral("00:00:00");

QToolButton* FlatButton(QWidget* parent, const QString& caption)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setText(caption);
    return button;
}

} // namespace

TFreeDictationScreen::TFreeDictationScreen(QWidget* parent, bool video) : TForm(parent), FVideo(video)
{
    SetBorderless();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* top = new QWidget(this);
    FillBackground(top, clBlack);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, video ? 5 : 0, 0, 0);
    panContain = new QWidget(top);
    panContain->setObjectName(QStringLiteral("panContain"));
    FillBackground(panContain, clBlack);
    topLayout->addWidget(panContain);
    top->setFixedHeight(video ? 223 : 151);
    layout->addWidget(top);
    if (video) {
        auto* splitter = new QWidget(this);
        splitter->setFixedHeight(1);
        FillBackground(splitter, SplitterColor);
        layout->addWidget(splitter);
    }

    TTransportOptions options;
    if (video) {
        options.RefreshAfterActions = false;
        options.SetsIsPlaying = false;
        options.AgainNeedsFileOrder = false;
        options.RestartPicksSelected = false;
        options.RestartRefuses = false;
        options.PlayOverRewinds = false;
    }
    FTransport = new TStudyTransport(this, options);
    layout->addWidget(FTransport->panPlayTool);

    panGridClient = new QWidget(this);
    panGridClient->setObjectName(QStringLiteral("panGridClient"));
    auto* client = new QVBoxLayout(panGridClient);
    client->setContentsMargins(0, 0, 0, 0);
    TDictationEditorSetup setup;
    setup.Gutter = true;
    setup.OneAndHalf = true;
    setup.Color = EditorColor;
    setup.ActiveBackground = ActiveLineColor;
    rdeEdit = MakeDictationEditor(panGridClient, setup);
    rdeEditWidget = EditorWidget(rdeEdit);
    rdeEditWidget->setObjectName(QStringLiteral("rdeEdit"));
    client->addWidget(rdeEditWidget);
    layout->addWidget(panGridClient, 1);
    sscSpellCheck = MakeDictationSpellCheck(rdeEdit);

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
    layout->addWidget(bottom);
    connect(sbImport, &QToolButton::clicked, this, [this] { RunGuarded([this] { sbImportClick(); }); });
    connect(sbExport, &QToolButton::clicked, this, [this] { RunGuarded([this] { sbExportClick(); }); });
    connect(sbClear, &QToolButton::clicked, this, [this] { RunGuarded([this] { sbClearClick(); }); });

    Timer = new QTimer(this);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, [this] { RunGuarded([this] { TimerTimer(); }); });
    Timer->start();
    SaveDialog.Filter = QStringLiteral("*.ppf|*.ppf");
    OpenDialog.Filter = QStringLiteral("*.ppf|*.ppf");
}

TFreeDictationScreen::~TFreeDictationScreen()
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

void TFreeDictationScreen::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    RunGuarded([this] { FormShow(); });
}

void TFreeDictationScreen::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    RunGuarded([this] { FormResize(); });
}

void TFreeDictationScreen::CreatePlayer()
{
    QWidget* player;
    if (FVideo) {
        FVideoPlayer = new TPiboVideoClass(panContain);
        FTransport->SetPlayer(MakeTransportPlayer(FVideoPlayer));
        FVideoPlayer->OnVideoPlayIndexChange = [](QObject*, int) {};
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
        FAudioPlayer->OnPlayIndexChange = [](QObject*, int) {};
        FAudioPlayer->OnPlayProgress = [this](QObject*, int t) { RunGuarded([this, t] { FTransport->Progress(t); }); };
        FAudioPlayer->OnPlayOver = [this](QObject*) { RunGuarded([this] { FTransport->PlayOver(); }); };
        player = FAudioPlayer;
    }
    auto* layout = new QVBoxLayout(panContain);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(player);
    player->show();
}

void TFreeDictationScreen::FormShow()
{
    CreatePlayer();
    OpenMedia();
    FTransport->RefreshButtons();
    rdeEditWidget->setFocus();
    // Without the word lists the editor works without underlining.
    FSpellListOpen = OpenDictationLists(*sscSpellCheck, ProgramFolder() + QStringLiteral("data/dict/"));
    FormResize();
    FTransport->ppsbEnglishClick();
    FTransport->ppsbChinaClick();
}

void TFreeDictationScreen::OpenMedia()
{
    if (FVideo) {
        FVideoPlayer->SetFileName(FMediaFile);
        FVideoPlayer->LoadSrt(FMediaFile, false);
    } else {
        FAudioPlayer->SetFileName(FMediaFile);
        FAudioPlayer->LoadLrc(FMediaFile, false);
    }
    ResetTest();
    FTransport->ResetForFile();
}

void TFreeDictationScreen::StopForReload()
{
    if (FVideo)
        FVideoPlayer->Stop();
    else if (FTransport->Player()->Active())
        FAudioPlayer->Stop();
}

void TFreeDictationScreen::ReloadFile()
{
    RunGuarded([this] {
        if (!FShown)
            return;
        StopForReload();
        OpenMedia();
        FTransport->RefreshButtons();
        rdeEditWidget->setFocus();
    });
}

void TFreeDictationScreen::ReloadSubtitle()
{
    RunGuarded([this] {
        if (!FShown)
            return;
        StopForReload();
        if (FVideo)
            FVideoPlayer->LoadSrt(FVideoPlayer->FileName(), false);
        else
            FAudioPlayer->LoadLrc(FAudioPlayer->FileName(), false);
        ResetTest();
        FTransport->RefreshButtons();
    });
}

void TFreeDictationScreen::HandleHotKey(qint32 id)
{
    RunGuarded([this, id] { FTransport->HandleHotKey(id); });
}

int TFreeDictationScreen::SentenceCount() const
{
    if (FVideo)
        return FVideoPlayer ? FVideoPlayer->Count() : 0;
    return FAudioPlayer ? FAudioPlayer->Count() : 0;
}

QString TFreeDictationScreen::EnglishOf(int index) const
{
    if (index < 0 || index >= SentenceCount())
        return QString();
    return FVideo ? FVideoPlayer->VideoLrcItems()[index].English : FAudioPlayer->AudioLrcItems()[index].English;
}

QString TFreeDictationScreen::PlayerFileName() const
{
    if (FVideo)
        return FVideoPlayer ? FVideoPlayer->FileName() : QString();
    return FAudioPlayer ? FAudioPlayer->FileName() : QString();
}

void TFreeDictationScreen::FormResize()
{
    FTransport->LayoutBar();
}

void TFreeDictationScreen::ResetTest()
{
    QStringList sentences;
    for (int i = 0; i < SentenceCount(); ++i)
        sentences << EnglishOf(i);
    ResetFreeTest(CheckRes, QFileInfo(PlayerFileName()).fileName(), sentences);
}

void TFreeDictationScreen::CheckAll()
{
    CheckAllFree(CheckRes, QFileInfo(PlayerFileName()).fileName(), EditorLines(rdeEdit), labTime->text());
}

void TFreeDictationScreen::PiboSpeedButton1Click()
{
    const QStringList lines = EditorLines(rdeEdit);
    CheckAll();
    if (ShowCheckDialog)
        ShowCheckDialog(CheckRes, lines);
}

void TFreeDictationScreen::TimerTimer()
{
    labTime->setText(NextClockText(labTime->text()));
}

void TFreeDictationScreen::sbClearClick()
{
    Timer->stop();
    labTime->setText(ClockStart);
    Timer->start();
    ResetTest();
    ClearEditor(rdeEdit);
}

bool TFreeDictationScreen::ExportAnswers(const QString& path)
{
    return WriteDictationFile(path, SystemPara.FilePath, EditorLines(rdeEdit));
}

void TFreeDictationScreen::sbExportClick()
{
    if (!SaveDialog.Execute(this))
        return;
    // The question is about the file really written, with its extension.
    const QString path = ForcedExtensionPath(SaveDialog.FileName, PpfExtension);
    if (QFile::exists(path) && !ShowQuestionInfo(QStringLiteral("此文件已经存在，确定要覆盖？")))
        return;
    if (!ExportAnswers(path))
        ShowInfo(QStringLiteral("导出文件失败！"));
}

void TFreeDictationScreen::sbImportClick()
{
    sbClearClick();
    if (!OpenDialog.Execute(this))
        return;
    ImportAnswers(OpenDialog.FileName);
}

bool TFreeDictationScreen::OpenImportedMedia(const QString& source)
{
    QString play;
    if (!PrepareImportSource(source, FVideo, play))
        return false;
    SetMediaFile(play);
    ReloadFile();
    return true;
}

void TFreeDictationScreen::ImportAnswers(const QString& path)
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
    for (int i = 0; i < lines.size(); ++i)
        AddEditorLine(rdeEdit, lines[i], i == 0);
    ShowInfo(QStringLiteral("导入文件成功！"));
}
