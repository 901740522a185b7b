#include "USingleDictation.h"

#include "USentenceScreen.h"

#include "UCommonFun.h"
#include "UDataOperaterFun.h"
#include "UDictationCheck.h"
#include "UDictationEditor.h"
#include "UDictationFiles.h"
#include "UFrmShowInfo.h"
#include "UFrmSingleCheck.h"
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

constexpr TColor DictationGridFontColor = 4210752;
constexpr TColor CountColor = 10381071;
constexpr TColor CheckColor = 433474;
constexpr int TitleBarHeight = 32;
constexpr int ScrollBarRoom = 17;
constexpr int ColCheck = 4;

TFont GridFont(const QString& name, int size, bool bold, TColor color)
{
    TFont font;
    font.Name = name;
    font.Size = size;
    font.Bold = bold;
    font.Color = color;
    return font;
}

TTransportOptions SingleOptions()
{
    TTransportOptions options;
    options.HasAgain = false;
    return options;
}

} // namespace

TSingleDictationScreen::TSingleDictationScreen(QWidget* parent, bool video)
    : TDictationScreen(parent, video, true, PpsExtension, SingleOptions())
{
    ShowCheckDialog = [](const TSingleCheckTotalRes& res, int rowIndex) {
        TFrmSingleCheck dialog;
        dialog.CheckRes = &res;
        dialog.RowIndex = rowIndex;
        dialog.ShowModal();
    };
    auto* titles = new QWidget(this);
    titles->setFixedHeight(TitleBarHeight);
    ppcbAll = new TPiboCheckBox(titles);
    ppcbAll->setObjectName(QStringLiteral("ppcbAll"));
    ppcbAll->move(8, (TitleBarHeight - ppcbAll->Height()) / 2);
    auto* labAll = new QLabel(QStringLiteral("全选"), titles);
    labAll->move(8 + ppcbAll->Width() + 4, (TitleBarHeight - labAll->sizeHint().height()) / 2);
    panEnglishGridTitle = new QWidget(titles);
    panEnglishGridTitle->setObjectName(QStringLiteral("panEnglishGridTitle"));
    labEnglishGridTitle = new QLabel(QStringLiteral("听写内容"), panEnglishGridTitle);
    labEnglishGridTitle->setObjectName(QStringLiteral("labEnglishGridTitle"));
    labEnglishGridTitle->adjustSize();
    labAll->setObjectName(QStringLiteral("labAll"));
    auto* labCount = new QLabel(QStringLiteral("次数"), titles);
    auto* labRate = new QLabel(QStringLiteral("正确率"), titles);
    labCount->setObjectName(QStringLiteral("labCount"));
    labRate->setObjectName(QStringLiteral("labRate"));
    FLayout->addWidget(titles);

    panGridClient = new QWidget(this);
    panGridClient->setObjectName(QStringLiteral("panGridClient"));
    pbGridClient = new TPaintBox(panGridClient);
    pbGridClient->setObjectName(QStringLiteral("pbGridClient"));
    pbGridClient->SetAlignClient(true);
    pbGridClient->OnPaint = [this](TCanvas& canvas) { PaintGridClient(canvas); };
    FLayout->addWidget(panGridClient, 1);

    TDictationEditorSetup setup;
    setup.Height = video ? 62 : 95;
    Input = MakeDictationEditor(this, setup);
    InputWidget = EditorWidget(Input);
    InputWidget->setObjectName(video ? QStringLiteral("ediInput") : QStringLiteral("sediInput"));
    BindDictationEditor(
        Input, [this] { RunGuarded([this] { InputChange(); }); },
        [this](std::uint16_t key) { RunGuarded([this, key] { InputKeyUp(key); }); });
    FLayout->addWidget(InputWidget);
    sscSpellCheck = MakeDictationSpellCheck(Input);

    AddBottomBar();
    ppcbAll->OnClick = [this] { RunGuarded([this] { ppcbAllClick(); }); };

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
    // The grid goes before the player whose events point at it.
    delete Grid;
    Grid = nullptr;
}

void TSingleDictationScreen::CreateGrid()
{
    Grid = new TPiboStringGrid(panGridClient);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->SetAlign(alTop);
    // Column 4 shows the text "校对"; the grid's button column is off.
    Grid->SetHasSpeedButton(false);
    TFont font = Grid->Font();
    font.Color = DictationGridFontColor;
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

void TSingleDictationScreen::FormShow()
{
    CreateGrid();
    CreatePlayer([this](int index) { PlayIndexChange(index); });
    if (FVideo)
        FVideoPlayer->SetVideoPlayType(vptSelect);
    else
        FAudioPlayer->SetPlayType(ptSelect);
    FTransport->ppsbEnglishClick();
    FTransport->ppsbChinaClick();
    OpenMedia();
    PlayRow(0);
    FTransport->RefreshButtons();
    InputWidget->setFocus();
    // Without the word lists the screen works as before, only without
    // underlining.
    OpenSpellLists();
    FormResize();
    ChainTabOrder({ppcbAll, Grid, InputWidget});
}

void TSingleDictationScreen::PlayIndexChange(int index)
{
    if (!Grid || index < 0 || index >= Grid->RowCount())
        return;
    const int before = Grid->Row();
    Grid->GotoCell(Grid->Col(), index);
    // The editor always holds the current row's answer: when the player moved
    // to another sentence on its own (the hot keys), the new row's answer comes
    // into the editor as a click on the row brings it, so that what is typed
    // next goes to the row it is typed for.
    if (index != before) {
        LoadRowIntoEditor(index);
        LastRow = index;
    }
}

void TSingleDictationScreen::OpenMedia()
{
    OpenPlayerFile();
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
        StopPlayer();
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
        StopPlayer();
        ReloadSentences();
        FillGrid();
        LayoutGrid();
        ResetTest();
        FTransport->RefreshButtons();
    });
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
    labEnglishGridTitle->move(RoundHalfEven((panEnglishGridTitle->width() - labEnglishGridTitle->width()) / 2.0),
                              (TitleBarHeight - labEnglishGridTitle->height()) / 2);
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
    PaintGridColumnLines(canvas, Grid, pbGridClient->height());
}

void TSingleDictationScreen::FormResize()
{
    LayoutGrid();
    FTransport->LayoutBar();
}

void TSingleDictationScreen::ResetTest()
{
    ResetSingleTest(CheckRes, QFileInfo(PlayerFileName()).fileName(), EnglishLines());
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

void TSingleDictationScreen::RunCheckDialog(int rowIndex)
{
    if (ShowCheckDialog)
        ShowCheckDialog(CheckRes, rowIndex);
}

void TSingleDictationScreen::CheckRow(int col, int row)
{
    if (col != ColCheck || row < 0 || row >= CheckRes.Items.size())
        return;
    StopPlayer();
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

void TSingleDictationScreen::RestoreAnswers(const QStringList& lines)
{
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
}
