#include "USingleDictation.h"

#include "ProgramFolder.h"
#include "UCommonFun.h"
#include "UDataOperaterFun.h"
#include "UDictationCheck.h"
#include "UDictationEditor.h"
#include "UDictationFiles.h"
#include "UFrmShowInfo.h"
#include "UFrmShowQuestionInfo.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"
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
constexpr TColor ToolColor = 16775144;
constexpr TColor GridFontColor = 4210752;
constexpr TColor CountColor = 10381071;
constexpr TColor CheckColor = 433474;
constexpr int TitleBarHeight = 32;
constexpr int BottomHeight = 36;
constexpr int ScrollBarRoom = 17;
constexpr int ColCheck = 4;
const QString ClockStart = QStringLiteral("00:00:00");

QToolButton* FlatButton(QWidget* parent, const QString& caption)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setText(caption);
    return button;
}

TFont GridFont(const QString& name, int size, bool bold, TColor color)
{
    TFont font;
    font.Name = name;
    font.Size = size;
    font.Bold = bold;
    font.Color = color;
    return font;
}

} // namespace

TSingleDictationScreen::TSingleDictationScreen(QWidget* parent, bool video) : TForm(parent), FVideo(video)
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
    auto* splitter = new QWidget(this);
    splitter->setFixedHeight(1);
    FillBackground(splitter, SplitterColor);
    layout->addWidget(splitter);

    TTransportOptions options;
    if (video) {
        options.RefreshAfterActions = false;
        options.SetsIsPlaying = false;
        options.RestartPicksSelected = false;
        options.RestartRefuses = false;
        options.PlayOverRewinds = false;
    }
    options.HasAgain = false;
    FTransport = new TStudyTransport(this, options);
    FillBackground(FTransport->panPlayTool, ToolColor);
    layout->addWidget(FTransport->panPlayTool);

    auto* titles = new QWidget(this);
    titles->setFixedHeight(TitleBarHeight);
    ppcbAll = new TPiboCheckBox(titles);
    ppcbAll->move(8, (TitleBarHeight - ppcbAll->Height()) / 2);
    auto* labAll = new QLabel(QStringLiteral("全选"), titles);
    labAll->move(8 + ppcbAll->Width() + 4, (TitleBarHeight - labAll->sizeHint().height()) / 2);
    panEnglishGridTitle = new QLabel(QStringLiteral("听写内容"), titles);
    panEnglishGridTitle->setAlignment(Qt::AlignCenter);
    auto* labCount = new QLabel(QStringLiteral("次数"), titles);
    auto* labRate = new QLabel(QStringLiteral("正确率"), titles);
    labCount->setObjectName(QStringLiteral("labCount"));
    labRate->setObjectName(QStringLiteral("labRate"));
    layout->addWidget(titles);

    panGridClient = new QWidget(this);
    panGridClient->setObjectName(QStringLiteral("panGridClient"));
    pbGridClient = new TPaintBox(panGridClient);
    pbGridClient->SetAlignClient(true);
    pbGridClient->OnPaint = [this](TCanvas& canvas) { PaintGridClient(canvas); };
    layout->addWidget(panGridClient, 1);

    TDictationEditorSetup setup;
    setup.Height = video ? 62 : 95;
    Input = MakeDictationEditor(this, setup);
    InputWidget = EditorWidget(Input);
    InputWidget->setObjectName(video ? QStringLiteral("ediInput") : QStringLiteral("sediInput"));
    BindDictationEditor(
        Input, [this] { RunGuarded([this] { InputChange(); }); },
        [this](std::uint16_t key) { RunGuarded([this, key] { InputKeyUp(key); }); });
    layout->addWidget(InputWidget);
    sscSpellCheck = MakeDictationSpellCheck(Input);

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
    ppcbAll->OnClick = [this] { RunGuarded([this] { ppcbAllClick(); }); };

    Timer = new QTimer(this);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, [this] { RunGuarded([this] { TimerTimer(); }); });
    Timer->start();
    SaveDialog.Filter = QStringLiteral("*.pps|*.pps");
    OpenDialog.Filter = QStringLiteral("*.pps|*.pps");

    FTransport->NothingToPlay = [this] {
        if (FVideo)
            return FVideoPlayer && FVideoPlayer->NextSelected(0) == -1;
        if (!Grid)
            return true;
        for (int r = 0; r < Grid->RowCount(); ++r)
            if (Grid->GetRowChecked(r))
                return false;
        return true;
    };
    FTransport->OnRefresh = [this] { RefreshExtras(); };
}

TSingleDictationScreen::~TSingleDictationScreen()
{
    Timer->stop();
    sscSpellCheck.reset();
    delete Grid;
    Grid = nullptr;
    FTransport->SetPlayer(nullptr);
    delete FAudioPlayer;
    delete FVideoPlayer;
    FAudioPlayer = nullptr;
    FVideoPlayer = nullptr;
    if (!FVideo)
        SystemPara.IsPlaying = false;
}

void TSingleDictationScreen::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    RunGuarded([this] { FormShow(); });
}

void TSingleDictationScreen::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    RunGuarded([this] { FormResize(); });
}

void TSingleDictationScreen::CreateGrid()
{
    Grid = new TPiboStringGrid(panGridClient);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->SetAlign(alTop);
    TFont font = Grid->Font();
    font.Color = GridFontColor;
    Grid->SetFont(font);
    Grid->SetOptions(goRangeSelect);
    Grid->SetColCount(5);
    Grid->InitColumns();
    const int widths[5] = {60, 530, 50, 60, 40};
    const TAlignment aligns[5] = {taCenter, taLeftJustify, taCenter, taCenter, taCenter};
    for (int c = 0; c < 5; ++c) {
        Grid->SetColWidths(c, widths[c]);
        Grid->SetColAlignment(c, aligns[c]);
    }
    Grid->SetColFont(1, GridFont(QStringLiteral("MS Sans Serif"), 10, false, clBlack));
    Grid->SetColFont(2, GridFont(QStringLiteral("宋体"), 9, true, CountColor));
    Grid->SetColFont(3, GridFont(QStringLiteral("宋体"), 9, true, CountColor));
    Grid->SetColFont(4, GridFont(QStringLiteral("宋体"), 9, true, CheckColor));
    Grid->OnCheckBoxClick = [this](int, int row) { RunGuarded([this, row] { GridCheckBoxClick(row); }); };
    Grid->OnCellClick = [this](int col, int row) { RunGuarded([this, col, row] { CheckRow(col, row); }); };
    Grid->OnSelectClick = [this](int col, int row) { RunGuarded([this, col, row] { SelectRow(col, row); }); };
    Grid->OnPiboDrawCell = [](TCanvas&, int, int, const QRect&, TGridDrawState) {};
    Grid->OnMouseMove = [this](Qt::KeyboardModifiers, int x, int y) {
        int col = -1, row = -1;
        Grid->MouseToCell(x, y, col, row);
        if (col == ColCheck && row >= 0) {
            const QRect cell = Grid->CellRect(col, row);
            if (cell.adjusted(1, 1, -1, -1).contains(x, y))
                Grid->SetCursorShape(Qt::PointingHandCursor);
        }
    };
    Grid->show();
    Grid->setFocus();
}

void TSingleDictationScreen::CreatePlayer()
{
    QWidget* player;
    if (FVideo) {
        FVideoPlayer = new TPiboVideoClass(panContain);
        FVideoPlayer->SetVideoPlayType(vptSelect);
        FTransport->SetPlayer(MakeTransportPlayer(FVideoPlayer));
        FVideoPlayer->OnVideoPlayIndexChange = [this](QObject*, int index) {
            RunGuarded([this, index] {
                if (Grid && index >= 0 && index < Grid->RowCount())
                    Grid->GotoCell(Grid->Col(), index);
            });
        };
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
        FAudioPlayer->SetPlayType(ptSelect);
        FTransport->SetPlayer(MakeTransportPlayer(FAudioPlayer));
        FAudioPlayer->OnPlayIndexChange = [this](QObject*, int index) {
            RunGuarded([this, index] {
                if (Grid && index >= 0 && index < Grid->RowCount())
                    Grid->GotoCell(Grid->Col(), index);
            });
        };
        FAudioPlayer->OnPlayProgress = [this](QObject*, int t) { RunGuarded([this, t] { FTransport->Progress(t); }); };
        FAudioPlayer->OnPlayOver = [this](QObject*) { RunGuarded([this] { FTransport->PlayOver(); }); };
        player = FAudioPlayer;
    }
    auto* layout = new QVBoxLayout(panContain);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(player);
    player->show();
}

void TSingleDictationScreen::FormShow()
{
    CreateGrid();
    CreatePlayer();
    FTransport->ppsbEnglishClick();
    FTransport->ppsbChinaClick();
    OpenMedia();
    PlayRow(0);
    FTransport->RefreshButtons();
    InputWidget->setFocus();
    // Without the word lists the screen works as before, only without
    // underlining.
    FSpellListOpen = OpenDictationLists(*sscSpellCheck, ProgramFolder() + QStringLiteral("data/dict/"));
    FormResize();
}

void TSingleDictationScreen::OpenMedia()
{
    if (FVideo) {
        FVideoPlayer->SetFileName(FMediaFile);
        FVideoPlayer->LoadSrt(FMediaFile, false);
    } else {
        FAudioPlayer->SetFileName(FMediaFile);
        FAudioPlayer->LoadLrc(FMediaFile, false);
    }
    FillGrid();
    LayoutGrid();
    ResetTest();
    FTransport->ResetForFile();
}

void TSingleDictationScreen::ReloadFile()
{
    RunGuarded([this] {
        if (!FShown)
            return;
        if (FVideo)
            FVideoPlayer->Stop();
        else if (FTransport->Player()->Active())
            FAudioPlayer->Stop();
        OpenMedia();
        PlayRow(0);
        FTransport->RefreshButtons();
        InputWidget->setFocus();
    });
}

void TSingleDictationScreen::ReloadSubtitle()
{
    RunGuarded([this] {
        if (!FShown)
            return;
        if (FVideo) {
            FVideoPlayer->Stop();
            FVideoPlayer->LoadSrt(FVideoPlayer->FileName(), false);
        } else {
            if (FTransport->Player()->Active())
                FAudioPlayer->Stop();
            FAudioPlayer->LoadLrc(FAudioPlayer->FileName(), false);
        }
        FillGrid();
        LayoutGrid();
        ResetTest();
        FTransport->RefreshButtons();
    });
}

void TSingleDictationScreen::HandleHotKey(qint32 id)
{
    RunGuarded([this, id] { FTransport->HandleHotKey(id); });
}

int TSingleDictationScreen::SentenceCount() const
{
    if (FVideo)
        return FVideoPlayer ? FVideoPlayer->Count() : 0;
    return FAudioPlayer ? FAudioPlayer->Count() : 0;
}

QString TSingleDictationScreen::EnglishOf(int index) const
{
    if (index < 0 || index >= SentenceCount())
        return QString();
    return FVideo ? FVideoPlayer->VideoLrcItems()[index].English : FAudioPlayer->AudioLrcItems()[index].English;
}

QString TSingleDictationScreen::PlayerFileName() const
{
    if (FVideo)
        return FVideoPlayer ? FVideoPlayer->FileName() : QString();
    return FAudioPlayer ? FAudioPlayer->FileName() : QString();
}

void TSingleDictationScreen::SetSelected(int index, bool value)
{
    if (FVideo)
        FVideoPlayer->SetSelected(index, value);
    else
        FAudioPlayer->SetSelected(index, value);
}

void TSingleDictationScreen::FillGrid()
{
    if (!Grid)
        return;
    if (!FVideo)
        FAudioPlayer->SetPlayOrderType(potOrder);
    const int count = SentenceCount();
    Grid->SetRowCountEx(count);
    for (int r = 0; r < count; ++r) {
        int item = r;
        if (!FVideo) {
            const TIntAry& queue = FAudioPlayer->PlayQueue();
            item = r < queue.size() ? queue[r] : r;
        }
        Grid->SetRowChecked(r, FVideo ? FVideoPlayer->VideoLrcItems()[item].Selected
                                      : FAudioPlayer->AudioLrcItems()[item].Selected);
        Grid->SetCells(0, r, QString::number(item + 1));
        Grid->SetCells(2, r, QStringLiteral("0"));
        Grid->SetCells(3, r, QStringLiteral("0%"));
        Grid->SetCells(4, r, QStringLiteral("校对"));
    }
    const int index = FTransport->Player()->PlayQueueIndex();
    if (index >= 0 && index < count)
        Grid->SetRow(index);
    Grid->SetCol(1);
}

void TSingleDictationScreen::LayoutGrid()
{
    if (!Grid)
        return;
    const int rows = Grid->RowCount();
    const int h0 = Grid->RowHeights(0);
    int others = 0;
    for (int c : {0, 2, 3, 4})
        others += Grid->ColWidths(c);
    if (rows >= 2 && panGridClient->height() < h0 * rows) {
        Grid->setFixedHeight(panGridClient->height());
        Grid->SetColWidths(1, std::max(1, Grid->width() - others - ScrollBarRoom));
    } else {
        Grid->setFixedHeight(rows < 2 ? h0 : h0 * rows);
        Grid->SetColWidths(1, std::max(1, Grid->width() - others));
    }
    panEnglishGridTitle->setGeometry(Grid->ColWidths(0), 0, Grid->ColWidths(1), TitleBarHeight);
    auto* titles = panEnglishGridTitle->parentWidget();
    int x = Grid->ColWidths(0) + Grid->ColWidths(1);
    if (auto* count = titles->findChild<QLabel*>(QStringLiteral("labCount")))
        count->setGeometry(x, 0, Grid->ColWidths(2), TitleBarHeight);
    x += Grid->ColWidths(2);
    if (auto* rate = titles->findChild<QLabel*>(QStringLiteral("labRate")))
        rate->setGeometry(x, 0, Grid->ColWidths(3), TitleBarHeight);
    pbGridClient->update();
}

void TSingleDictationScreen::PaintGridClient(TCanvas& canvas)
{
    if (!Grid || Grid->RowCount() == 0)
        return;
    canvas.PenColor = Grid->LineColorValue();
    const int bottom = pbGridClient->height();
    int x = 0;
    canvas.MoveTo(0, 0);
    canvas.LineTo(0, bottom);
    for (int c = 0; c < Grid->ColCount(); ++c) {
        x += Grid->ColWidths(c);
        canvas.MoveTo(x, 0);
        canvas.LineTo(x, bottom);
    }
}

void TSingleDictationScreen::FormResize()
{
    LayoutGrid();
    FTransport->LayoutBar();
}

void TSingleDictationScreen::ResetTest()
{
    QStringList sentences;
    for (int i = 0; i < SentenceCount(); ++i)
        sentences << EnglishOf(i);
    ResetSingleTest(CheckRes, QFileInfo(PlayerFileName()).fileName(), sentences);
}

void TSingleDictationScreen::PlayRow(int index)
{
    if (!Grid || SentenceCount() == 0 || index < 0 || index >= SentenceCount())
        return;
    const int r = Grid->Row();
    if (r >= 0 && r < Grid->RowCount()) {
        const int count = PlayCountOf(Grid->GetCells(2, r)) + 1;
        Grid->SetCells(2, r, QString::number(count));
        if (r < CheckRes.Items.size())
            CheckRes.Items[r].PlayCount = count;
    }
    for (int i = 0; i < SentenceCount(); ++i)
        SetSelected(i, false);
    FTransport->Player()->SetPlayQueueIndex(index);
    SetSelected(index, true);
    FTransport->Player()->Play();
    FTransport->RefreshButtons();
}

void TSingleDictationScreen::RefreshExtras()
{
    if (!FVideo)
        ppcbAll->setEnabled(!FTransport->Player() || !FTransport->Player()->Active());
}

void TSingleDictationScreen::GridCheckBoxClick(int row)
{
    if (FTransport->Player() && row >= 0 && row < SentenceCount())
        SetSelected(row, Grid->GetRowChecked(row));
}

void TSingleDictationScreen::StopForCheck()
{
    if (FVideo)
        FVideoPlayer->Stop();
    else if (FTransport->Player()->Active())
        FAudioPlayer->Stop();
}

void TSingleDictationScreen::RunCheckDialog(int rowIndex)
{
    if (ShowCheckDialog)
        ShowCheckDialog(CheckRes, rowIndex);
}

void TSingleDictationScreen::CheckRow(int col, int row)
{
    if (col != ColCheck || row < 0 || row >= CheckRes.Items.size())
        return;
    StopForCheck();
    TSingleCheckItem& item = CheckRes.Items[row];
    item.Answer = Grid->GetCells(1, row);
    CheckSentence(item);
    Grid->SetCells(3, row, item.Accuracy);
    Grid->setEnabled(false);
    try {
        CheckAll();
        RunCheckDialog(row);
    } catch (...) {
        Grid->setEnabled(true);
        throw;
    }
    Grid->setEnabled(true);
}

void TSingleDictationScreen::LoadRowIntoEditor(int row)
{
    InputWidget->setFocus();
    SetEditorText(Input, Grid->GetCells(1, row));
}

void TSingleDictationScreen::SelectRow(int col, int row)
{
    if (row < 0 || (row == LastRow && col == ColCheck))
        return;
    PlayRow(row);
    LoadRowIntoEditor(Grid->Row());
    LastRow = row;
}

void TSingleDictationScreen::InputChange()
{
    if (!Grid || Grid->Row() < 0 || Grid->Row() >= Grid->RowCount())
        return;
    Grid->SetCells(1, Grid->Row(), AnswerFromEditorText(EditorFullText(Input)));
}

void TSingleDictationScreen::InputKeyUp(std::uint16_t key)
{
    if (key != 13 || !Grid || Grid->RowCount() == 0)
        return;
    const int next = Grid->Row() + 1 < Grid->RowCount() ? Grid->Row() + 1 : 0;
    Grid->SetRow(next);
    PlayRow(next);
    LoadRowIntoEditor(next);
}

void TSingleDictationScreen::CheckAll()
{
    QStringList answers;
    for (int r = 0; Grid && r < Grid->RowCount(); ++r)
        answers << Grid->GetCells(1, r);
    CheckAllSingle(CheckRes, QFileInfo(PlayerFileName()).fileName(), answers, labTime->text());
    for (int r = 0; r < answers.size() && r < CheckRes.Items.size(); ++r)
        Grid->SetCells(3, r, CheckRes.Items[r].Accuracy);
}

void TSingleDictationScreen::PiboSpeedButton1Click()
{
    CheckAll();
    RunCheckDialog(-1);
}

void TSingleDictationScreen::TimerTimer()
{
    labTime->setText(NextClockText(labTime->text()));
}

void TSingleDictationScreen::sbClearClick()
{
    for (int r = 0; Grid && r < Grid->RowCount(); ++r) {
        Grid->SetCells(1, r, QString());
        Grid->SetCells(2, r, QStringLiteral("0"));
        Grid->SetCells(3, r, QStringLiteral("0%"));
    }
    Timer->stop();
    labTime->setText(ClockStart);
    Timer->start();
    ResetTest();
    SetEditorText(Input, QString());
}

void TSingleDictationScreen::ppcbAllClick()
{
    for (int i = 0; i < SentenceCount(); ++i) {
        SetSelected(i, ppcbAll->Checked());
        if (Grid && i < Grid->RowCount())
            Grid->SetRowChecked(i, ppcbAll->Checked());
    }
    if (Grid)
        Grid->update();
}

// ------------------------------------------------------------ answer files

bool TSingleDictationScreen::ExportAnswers(const QString& path)
{
    QStringList lines;
    for (int r = 0; Grid && r < Grid->RowCount(); ++r)
        lines << PpsLine(Grid->GetCells(1, r), Grid->GetCells(2, r));
    return WriteDictationFile(path, SystemPara.FilePath, lines);
}

void TSingleDictationScreen::sbExportClick()
{
    if (!SaveDialog.Execute(this))
        return;
    // The question is about the file really written, with its extension.
    const QString path = ForcedExtensionPath(SaveDialog.FileName, PpsExtension);
    if (QFile::exists(path) && !ShowQuestionInfo(QStringLiteral("此文件已经存在，确定要覆盖？")))
        return;
    if (!ExportAnswers(path))
        ShowInfo(QStringLiteral("导出文件失败！"));
}

void TSingleDictationScreen::sbImportClick()
{
    sbClearClick();
    if (!OpenDialog.Execute(this))
        return;
    ImportAnswers(OpenDialog.FileName);
}

bool TSingleDictationScreen::OpenImportedMedia(const QString& source)
{
    QString play;
    if (!PrepareImportSource(source, FVideo, play))
        return false;
    SetMediaFile(play);
    ReloadFile();
    return true;
}

void TSingleDictationScreen::ImportAnswers(const QString& path)
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
    const int count = SentenceCount();
    Grid->SetRowCountEx(count);
    for (int r = 0; r < lines.size() && r < count; ++r) {
        QString answer, playCount;
        ParsePpsLine(lines[r], answer, playCount);
        Grid->SetCells(0, r, QString::number(r + 1));
        Grid->SetCells(1, r, answer);
        Grid->SetCells(2, r, playCount);
        if (r < CheckRes.Items.size()) {
            TSingleCheckItem& item = CheckRes.Items[r];
            item.Answer = answer;
            CheckSentence(item);
            Grid->SetCells(3, r, item.Accuracy);
        }
        Grid->SetCells(4, r, QStringLiteral("校对"));
    }
    ShowInfo(QStringLiteral("导入文件成功！"));
}
