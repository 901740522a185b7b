#include "USentenceScreen.h"

#include "ProgramFolder.h"
#include "UDataOperaterFun.h"
#include "UFrmSelectDir.h"
#include "UFrmShowInfo.h"
#include "UPiboAudioClass.h"
#include "UPiboAudioPlay.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"
#include "UPiboVideoClass.h"

#include <QtCore/QDateTime>
#include <QtCore/QEvent>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtGui/QCursor>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr TColor OptionBarColor = 16111784;
constexpr TColor SentenceGridClientColor = 16774371;
constexpr TColor SplitterColor = 13140493;
constexpr TColor SentenceGridFontColor = 4210752;
constexpr TColor EditorColor = 16771270;
constexpr int OptionBarHeight = 27;
constexpr int TitleBarHeight = 32;
constexpr int ScrollBarRoom = 17;
constexpr int FontSizes[4] = {12, 10, 9, 15};  // by Tag 1 to 4

const QString HideEnglish = QStringLiteral("隐藏原文");
const QString ShowEnglish = QStringLiteral("显示原文");
const QString HideChina = QStringLiteral("隐藏译文");
const QString ShowChina = QStringLiteral("显示译文");

QToolButton* FlatButton(QWidget* parent, const QString& caption)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setText(caption);
    return button;
}

}  // namespace

QString RecordWorkFile()
{
    return ProgramFolder() + QStringLiteral("temp/RecordTmp.wav");
}

QString WithMp3Extension(const QString& name)
{
    return name.endsWith(QStringLiteral(".mp3")) && QFileInfo(name).suffix() == QStringLiteral("mp3")
               ? name
               : name + QStringLiteral(".mp3");
}

TSentenceScreen::TSentenceScreen(QWidget* parent, bool video, bool speak, const TTransportOptions& transport)
    : TForm(parent), FVideo(video), FSpeak(speak)
{
    SetBorderless();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    panTop = new QWidget(this);
    FillBackground(panTop, clBlack);
    FTopLayout = new QVBoxLayout(panTop);
    FTopLayout->setContentsMargins(0, 0, 0, 0);
    FTopLayout->setSpacing(0);
    panContain = new QWidget(panTop);
    panContain->setObjectName(QStringLiteral("panContain"));
    FillBackground(panContain, clBlack);
    panContain->installEventFilter(this);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));

    // The audio speak screen stacks its strips without a splitter.
    if (speak && !video) {
        Splitter = nullptr;
        layout->addWidget(panTop);
        layout->addWidget(Panel1, 1);
    } else {
        Splitter = new QSplitter(Qt::Vertical, this);
        Splitter->setObjectName(QStringLiteral("Splitter"));
        Splitter->setHandleWidth(1);
        Splitter->setChildrenCollapsible(false);
        Splitter->setStyleSheet(QStringLiteral("QSplitter::handle { background: %1; }")
                                    .arg(ToQColor(SplitterColor).name()));
        Splitter->addWidget(panTop);
        Splitter->addWidget(Panel1);
        Splitter->setStretchFactor(1, 1);
        layout->addWidget(Splitter);
        connect(Splitter, &QSplitter::splitterMoved, this, [this] {
            RunGuarded([this] {
                // The audio browse screen keeps its player strip while sound plays.
                if (!FVideo && !FSpeak && SystemPara.IsPlaying && !FSplitterSizes.isEmpty()) {
                    Splitter->setSizes(FSplitterSizes);
                    return;
                }
                FSplitterSizes = Splitter->sizes();
                FormResize();
            });
        });
    }

    auto* list = new QVBoxLayout(Panel1);
    list->setContentsMargins(0, 0, 0, 0);
    list->setSpacing(0);
    FTransport = new TStudyTransport(Panel1, transport);
    list->addWidget(FTransport->panPlayTool);
    BuildList();
    list->addWidget(Panel2);
    list->addWidget(panGridTitle->parentWidget());
    list->addWidget(panGridClient, 1);
    BuildMenus();

    FTransport->NothingToPlay = [this] {
        if (FVideo)
            return FVideoPlayer && FVideoPlayer->NextSelected(0) == -1;
        return !AnyRowChecked();
    };
    SaveDialog.Filter = QStringLiteral("Mp3文件(*.mp3)|*.mp3");
    FTransport->OnRefresh = [this] { RefreshExtras(FTransport->Player() && FTransport->Player()->Active()); };
}

TSentenceScreen::~TSentenceScreen()
{
    // The grid goes first, then the players (their events point at us).
    delete Grid;
    Grid = nullptr;
    FTransport->SetPlayer(nullptr);
    delete FAudioPlayer;
    delete FVideoPlayer;
    FAudioPlayer = nullptr;
    FVideoPlayer = nullptr;
    if (!FVideo && SystemPara.IsPlaying)
        SystemPara.IsPlaying = false;
}

void TSentenceScreen::SetTopHeight(int height)
{
    panTop->setMinimumHeight(Splitter ? 1 : height);
    if (!Splitter)
        panTop->setFixedHeight(height);
    else
        Splitter->setSizes({height, std::max(1, Splitter->height() - height)});
    FSplitterSizes = Splitter ? QList<int>{height, 10000} : QList<int>();
}

void TSentenceScreen::BuildList()
{
    Panel2 = new QWidget(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(OptionBarHeight);
    FillBackground(Panel2, OptionBarColor);
    auto* bar = new QHBoxLayout(Panel2);
    bar->setContentsMargins(6, 0, 6, 0);
    bar->setSpacing(4);
    sbDisEnglish = FlatButton(Panel2, HideEnglish);
    sbDisEnglish->setObjectName(QStringLiteral("sbDisEnglish"));
    sbDisChina = FlatButton(Panel2, HideChina);
    sbDisChina->setObjectName(QStringLiteral("sbDisChina"));
    bar->addWidget(sbDisEnglish);
    bar->addWidget(sbDisChina);
    sbOrder = nullptr;
    SpeedButton4 = nullptr;
    if (!FVideo) {
        sbOrder = FlatButton(Panel2, QStringLiteral("顺序"));
        sbOrder->setObjectName(QStringLiteral("sbOrder"));
        SpeedButton4 = FlatButton(Panel2, QStringLiteral("导出"));
        SpeedButton4->setObjectName(QStringLiteral("SpeedButton4"));
        bar->addWidget(sbOrder);
        bar->addWidget(SpeedButton4);
    }
    sbFontSize = FlatButton(Panel2, QStringLiteral("字体"));
    sbFontSize->setObjectName(QStringLiteral("sbFontSize"));
    bar->addWidget(sbFontSize);
    bar->addStretch(1);
    pcbSelect = new TPiboCheckBox(Panel2);
    pcbSelect->setObjectName(QStringLiteral("pcbSelect"));
    labSelect = new QLabel(FVideo ? QStringLiteral("播放全部") : QStringLiteral("仅播放选中的"), Panel2);
    labSelect->setObjectName(QStringLiteral("labSelect"));
    pcbLoop = new TPiboCheckBox(Panel2);
    pcbLoop->setObjectName(QStringLiteral("pcbLoop"));
    labLoop = new QLabel(QStringLiteral("循环播放"), Panel2);
    labLoop->setObjectName(QStringLiteral("labLoop"));
    bar->addWidget(pcbSelect);
    bar->addWidget(labSelect);
    bar->addSpacing(8);
    bar->addWidget(pcbLoop);
    bar->addWidget(labLoop);

    auto* titles = new QWidget(Panel1);
    titles->setFixedHeight(TitleBarHeight);
    FillBackground(titles, OptionBarColor);
    ppcbAll = new TPiboCheckBox(titles);
    ppcbAll->setObjectName(QStringLiteral("ppcbAll"));
    ppcbAll->move(8, (TitleBarHeight - ppcbAll->Height()) / 2);
    auto* labAll = new QLabel(QStringLiteral("全选"), titles);
    labAll->move(8 + ppcbAll->Width() + 4, (TitleBarHeight - labAll->sizeHint().height()) / 2);
    panGridTitle = new QSplitter(Qt::Horizontal, titles);
    panGridTitle->setObjectName(QStringLiteral("panGridTitle"));
    panGridTitle->setHandleWidth(1);
    panGridTitle->setChildrenCollapsible(false);
    panGridTitle->setStyleSheet(QStringLiteral("QSplitter::handle { background: %1; }")
                                    .arg(ToQColor(SplitterColor).name()));
    panEnglishGridTitle = new QLabel(QStringLiteral("原文"), panGridTitle);
    panEnglishGridTitle->setObjectName(QStringLiteral("panEnglishGridTitle"));
    panChinaGridTitle = new QLabel(QStringLiteral("译文"), panGridTitle);
    panChinaGridTitle->setObjectName(QStringLiteral("panChinaGridTitle"));
    for (QLabel* label : {panEnglishGridTitle, panChinaGridTitle}) {
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(1);
    }
    panGridTitle->addWidget(panEnglishGridTitle);
    panGridTitle->addWidget(panChinaGridTitle);
    panGridTitle->setGeometry(60, 0, 640, TitleBarHeight);
    connect(panGridTitle, &QSplitter::splitterMoved, this, [this] { RunGuarded([this] { Splitter1Moved(); }); });

    panGridClient = new QWidget(Panel1);
    panGridClient->setObjectName(QStringLiteral("panGridClient"));
    FillBackground(panGridClient, SentenceGridClientColor);
    pbGridClient = new TPaintBox(panGridClient);
    pbGridClient->setObjectName(QStringLiteral("pbGridClient"));
    pbGridClient->SetAlignClient(true);
    pbGridClient->OnPaint = [this](TCanvas& canvas) { PaintGridClient(canvas); };

    const auto guard = [this](void (TSentenceScreen::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(sbDisEnglish, &QToolButton::clicked, this, guard(&TSentenceScreen::sbDisEnglishClick));
    connect(sbDisChina, &QToolButton::clicked, this, guard(&TSentenceScreen::sbDisChinaClick));
    pcbSelect->OnClick = guard(&TSentenceScreen::pcbSelectClick);
    pcbLoop->OnClick = guard(&TSentenceScreen::pcbLoopClick);
    ppcbAll->OnClick = guard(&TSentenceScreen::ppcbAllClick);
}

void TSentenceScreen::BuildMenus()
{
    const auto guard = [this](void (TSentenceScreen::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    if (!FVideo) {
        PopupMenu1 = new QMenu(this);
        N1 = PopupMenu1->addAction(QStringLiteral("顺序"));
        N2 = PopupMenu1->addAction(QStringLiteral("逆序"));
        N3 = PopupMenu1->addAction(QStringLiteral("随机"));
        connect(N1, &QAction::triggered, this, guard(&TSentenceScreen::N1Click));
        connect(N2, &QAction::triggered, this, guard(&TSentenceScreen::N2Click));
        connect(N3, &QAction::triggered, this, guard(&TSentenceScreen::N3Click));
        PopupMenu2 = new QMenu(this);
        miAllExportMp3 = PopupMenu2->addAction(QStringLiteral("导出完整的MP3文件"));
        miExportAll = PopupMenu2->addAction(QStringLiteral("导出每个句子MP3文件"));
        miExportSelect = PopupMenu2->addAction(QStringLiteral("导出选中句子MP3文件"));
        connect(miAllExportMp3, &QAction::triggered, this, guard(&TSentenceScreen::miAllExportMp3Click));
        connect(miExportAll, &QAction::triggered, this, guard(&TSentenceScreen::miExportAllClick));
        connect(miExportSelect, &QAction::triggered, this, guard(&TSentenceScreen::miExportSelectClick));
        connect(sbOrder, &QToolButton::clicked, this, [this] { PopupMenu1->popup(QCursor::pos()); });
        connect(SpeedButton4, &QToolButton::clicked, this, [this] { PopupMenu2->popup(QCursor::pos()); });
    }
    PopupMenu3 = new QMenu(this);
    const QString captions[4] = {QStringLiteral("大"), QStringLiteral("中"), QStringLiteral("小"),
                                 QStringLiteral("极大")};
    for (int i = 0; i < 4; ++i) {
        miFontSize[i] = PopupMenu3->addAction(captions[i]);
        miFontSize[i]->setCheckable(true);
        const int tag = i + 1;
        connect(miFontSize[i], &QAction::triggered, this,
                [this, tag] { RunGuarded([this, tag] { miFontSizeClick(tag); }); });
    }
    connect(sbFontSize, &QToolButton::clicked, this, [this] { PopupMenu3->popup(QCursor::pos()); });
}

// ------------------------------------------------------------ start

void TSentenceScreen::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    RunGuarded([this] { FormShow(); });
}

void TSentenceScreen::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    RunGuarded([this] { FormResize(); });
}

bool TSentenceScreen::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == panContain && event->type() == QEvent::Resize)
        RunGuarded([this] { panContainResize(); });
    return TForm::eventFilter(watched, event);
}

void TSentenceScreen::panContainResize()
{
    if (FAudioPlayer)
        FAudioPlayer->RefreshOscope();
}

void TSentenceScreen::CreateGrid()
{
    Grid = new TPiboStringGrid(panGridClient);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->OnAddClick = [this](int, int row) { RunGuarded([this, row] { GridAddClick(row); }); };
    Grid->OnCheckBoxClick = [this](int, int row) { RunGuarded([this, row] { GridCheckBoxClick(row); }); };
    Grid->OnPiboDrawCell = [](TCanvas&, int, int, const QRect&, TGridDrawState) {};
    Grid->OnSelectClick = [this](int, int row) { RunGuarded([this, row] { GridSelectClick(row); }); };
    Grid->SetAlign(alTop);
    TFont font;
    font.Name = QStringLiteral("宋体");
    font.Size = 9;
    font.Color = SentenceGridFontColor;
    Grid->SetFont(font);
    Grid->SetColCount(4);
    Grid->InitColumns();
    const int widths[4] = {60, 320, 320, 40};
    for (int c = 0; c < 4; ++c)
        Grid->SetColWidths(c, widths[c]);
    Grid->show();
    Grid->setFocus();
}

void TSentenceScreen::CreatePlayers()
{
    if (FVideo) {
        FVideoPlayer = new TPiboVideoClass(panContain);
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
    } else {
        FAudioPlayer = new TPiboAudioPlay(panContain);
        FAudioPlayer->SetHasOscope(true);
        FTransport->SetPlayer(MakeTransportPlayer(FAudioPlayer));
        FAudioPlayer->OnPlayIndexChange = [this](QObject*, int index) {
            RunGuarded([this, index] {
                if (Grid && index >= 0 && index < Grid->RowCount())
                    Grid->GotoCell(Grid->Col(), index);
            });
        };
        FAudioPlayer->OnPlayProgress = [this](QObject*, int t) { RunGuarded([this, t] { FTransport->Progress(t); }); };
        FAudioPlayer->OnPlayOver = [this](QObject*) { RunGuarded([this] { FTransport->PlayOver(); }); };
        FAudioPlayer->SetDownEnabled(false);
    }
    QWidget* player = FVideo ? static_cast<QWidget*>(FVideoPlayer) : static_cast<QWidget*>(FAudioPlayer);
    auto* layout = new QVBoxLayout(panContain);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(player);
    player->show();
}

void TSentenceScreen::FormShow()
{
    FTransport->FollowProgress = true;
    CreateGrid();
    CreatePlayers();
    OpenMedia();
    RefreshButtons();
    pcbSelect->SetChecked(true);
    pcbSelectClick();
    FormResize();
    miFontSizeClick(3);
    ppcbAll->SetChecked(true);
    ppcbAllClick();
    AfterFormShow();
}

void TSentenceScreen::OpenMedia()
{
    FTransport->ResetForFile();
    if (FVideo) {
        FVideoPlayer->SetFileName(FMediaFile);
        FVideoPlayer->LoadSrt(FMediaFile, false);
    } else {
        FAudioPlayer->SetFileName(FMediaFile);
        FAudioPlayer->LoadLrc(FMediaFile, false);
    }
    FillGrid(potOrder);
    LayoutGrid();
    FTransport->ResetForFile();
}

void TSentenceScreen::ReloadFile()
{
    RunGuarded([this] {
        if (!FShown)
            return;
        if (FVideo)
            FVideoPlayer->Stop();
        else if (Active())
            FAudioPlayer->Stop();
        OpenMedia();
        RefreshButtons();
        if (pcbSelect->Checked())
            SelectAllFromBox();
    });
}

void TSentenceScreen::ReloadSubtitle()
{
    RunGuarded([this] {
        if (!FShown)
            return;
        if (FVideo) {
            FVideoPlayer->Stop();
            FVideoPlayer->LoadSrt(FVideoPlayer->FileName(), false);
        } else {
            if (Active())
                FAudioPlayer->Stop();
            FAudioPlayer->LoadLrc(FAudioPlayer->FileName(), false);
        }
        FillGrid(potOrder);
        LayoutGrid();
        Grid->SetCol(2);
        RefreshButtons();
        // The audio speak screen leaves the selection as the new list has it.
        if (pcbSelect->Checked() && (FVideo || !FSpeak))
            SelectAllFromBox();
    });
}

void TSentenceScreen::SelectAllFromBox()
{
    ppcbAll->SetChecked(true);
    ppcbAllClick();
}

void TSentenceScreen::HandleHotKey(qint32 id)
{
    RunGuarded([this, id] { FTransport->HandleHotKey(id); });
}

// ------------------------------------------------------------ the list

int TSentenceScreen::ItemCount() const
{
    if (FVideo)
        return FVideoPlayer ? FVideoPlayer->Count() : 0;
    return FAudioPlayer ? FAudioPlayer->Count() : 0;
}

int TSentenceScreen::ItemOfRow(int row) const
{
    if (FVideo)
        return row;
    const TIntAry& queue = FAudioPlayer->PlayQueue();
    return row >= 0 && row < queue.size() ? queue[row] : -1;
}

QString TSentenceScreen::ItemEnglish(int item) const
{
    if (item < 0 || item >= ItemCount())
        return QString();
    return FVideo ? FVideoPlayer->VideoLrcItems()[item].English : FAudioPlayer->AudioLrcItems()[item].English;
}

QString TSentenceScreen::ItemChina(int item) const
{
    if (item < 0 || item >= ItemCount())
        return QString();
    return FVideo ? FVideoPlayer->VideoLrcItems()[item].China : FAudioPlayer->AudioLrcItems()[item].China;
}

bool TSentenceScreen::ItemSelected(int item) const
{
    if (item < 0 || item >= ItemCount())
        return false;
    return FVideo ? FVideoPlayer->VideoLrcItems()[item].Selected : FAudioPlayer->AudioLrcItems()[item].Selected;
}

bool TSentenceScreen::Active() const
{
    return FTransport->Player() && FTransport->Player()->Active();
}

QString TSentenceScreen::RowEnglish(int row) const
{
    return Grid && row >= 0 && row < Grid->RowCount() ? Grid->GetCells(1, row) : QString();
}

QString TSentenceScreen::RowChina(int row) const
{
    return Grid && row >= 0 && row < Grid->RowCount() ? Grid->GetCells(2, row) : QString();
}

QString TSentenceScreen::CurrentRowEnglish() const
{
    return Grid ? RowEnglish(Grid->Row()) : QString();
}

bool TSentenceScreen::AnyRowChecked() const
{
    if (!Grid)
        return false;
    const int rows = std::min(Grid->RowCount(), ItemCount());
    for (int r = 0; r < rows; ++r)
        if (Grid->GetRowChecked(r))
            return true;
    return false;
}

void TSentenceScreen::FillGrid(int order)
{
    if (!Grid)
        return;
    if (!FVideo)
        FAudioPlayer->SetPlayOrderType(static_cast<TPlayOrderType>(order));
    const int count = ItemCount();
    Grid->SetRowCountEx(std::max(1, count));
    const bool englishHidden = sbDisEnglish->text() != HideEnglish;
    const bool chinaHidden = sbDisChina->text() != HideChina;
    for (int r = 0; r < count; ++r) {
        const int item = ItemOfRow(r);
        Grid->SetRowChecked(r, ItemSelected(item));
        Grid->SetCells(0, r, QString::number((FVideo ? r : item) + 1));
        Grid->SetCells(1, r, englishHidden ? QString() : ItemEnglish(item));
        Grid->SetCells(2, r, chinaHidden ? QString() : ItemChina(item));
    }
    if (count == 0) {
        Grid->SetRowChecked(0, false);
        for (int c = 0; c < 3; ++c)
            Grid->SetCells(c, 0, QString());
    }
    const int current = FVideo ? FVideoPlayer->PlayQueueIndex() : FAudioPlayer->PlayQueueIndex();
    if (current >= 0 && current < Grid->RowCount())
        Grid->SetRow(current);
    Grid->SetCol(1);
    Grid->SetEditorMode(true);
    if (Grid->InplaceEdit())
        Grid->InplaceEdit()->SetColor(EditorColor);
    Grid->DrawFocusCell(true);
}

void TSentenceScreen::LayoutGrid()
{
    if (!Grid)
        return;
    const int rows = Grid->RowCount();
    const int h0 = Grid->RowHeights(0);
    int w = Grid->width() - Grid->ColWidths(0) - Grid->ColWidths(3);
    if (rows >= 2 && panGridClient->height() < h0 * rows) {
        Grid->resize(Grid->width(), panGridClient->height());
        w -= ScrollBarRoom;
    } else {
        Grid->resize(Grid->width(), rows < 2 ? h0 : h0 * rows);
    }
    w = std::max(0, w);
    const int c1 = Grid->ColWidths(1);
    const int c2 = Grid->ColWidths(2);
    panGridTitle->move(Grid->ColWidths(0), 0);
    if (c1 > 0 && c2 > 0) {
        const int first = RoundHalfEven(w / 2.0);
        Grid->SetColWidths(1, first);
        Grid->SetColWidths(2, w - first);
        panGridTitle->resize(w, TitleBarHeight);
        panChinaGridTitle->show();
        panEnglishGridTitle->show();
        panGridTitle->setSizes({first, w - first});
    } else if (c1 > 0) {
        Grid->SetColWidths(1, w);
        panGridTitle->resize(w, TitleBarHeight);
        panEnglishGridTitle->show();
        panChinaGridTitle->hide();
    } else if (c2 > 0) {
        Grid->SetColWidths(2, w);
        panGridTitle->resize(w, TitleBarHeight);
        panEnglishGridTitle->show();
        panChinaGridTitle->show();
        panGridTitle->setSizes({1, w});
    } else {
        panChinaGridTitle->show();
        panGridTitle->resize(0, TitleBarHeight);
    }
    pbGridClient->update();
}

void TSentenceScreen::FormResize()
{
    LayoutGrid();
    FTransport->LayoutBar();
}

void PaintGridColumnLines(TCanvas& canvas, const TPiboStringGrid* grid, int bottom)
{
    if (!grid || grid->RowCount() == 0)
        return;
    canvas.PenColor = grid->LineColorValue();
    int x = 0;
    canvas.MoveTo(0, 0);
    canvas.LineTo(0, bottom);
    for (int c = 0; c < grid->ColCount(); ++c) {
        x += grid->ColWidths(c);
        canvas.MoveTo(x, 0);
        canvas.LineTo(x, bottom);
    }
}

void TSentenceScreen::PaintGridClient(TCanvas& canvas)
{
    PaintGridColumnLines(canvas, Grid, pbGridClient->height());
}

void TSentenceScreen::Splitter1Moved()
{
    if (!Grid)
        return;
    const QList<int> sizes = panGridTitle->sizes();
    const int english = sizes.value(0);
    Grid->SetColWidths(1, english);
    Grid->SetColWidths(2, panGridTitle->width() - english);
    pbGridClient->update();
}

void TSentenceScreen::ShowColumn(int col, bool show)
{
    const int count = std::min(Grid->RowCount(), ItemCount());
    for (int r = 0; r < count; ++r) {
        const int item = ItemOfRow(r);
        Grid->SetCells(col, r, show ? (col == 1 ? ItemEnglish(item) : ItemChina(item)) : QString());
    }
    Grid->SetColWidths(col, show ? 1 : 0);
    LayoutGrid();
    pbGridClient->update();
}

void TSentenceScreen::sbDisEnglishClick()
{
    if (!Grid)
        return;
    const bool hide = sbDisEnglish->text() == HideEnglish;
    sbDisEnglish->setText(hide ? ShowEnglish : HideEnglish);
    ShowColumn(1, !hide);
}

void TSentenceScreen::sbDisChinaClick()
{
    if (!Grid)
        return;
    const bool hide = sbDisChina->text() == HideChina;
    sbDisChina->setText(hide ? ShowChina : HideChina);
    ShowColumn(2, !hide);
}

void TSentenceScreen::N1Click()
{
    FillGrid(potOrder);
}

void TSentenceScreen::N2Click()
{
    FillGrid(potReversed);
}

void TSentenceScreen::N3Click()
{
    FillGrid(potRandom);
}

void TSentenceScreen::miFontSizeClick(int tag)
{
    if (tag < 1 || tag > 4)
        return;
    for (QAction* item : miFontSize)
        item->setChecked(false);
    if (Grid) {
        TFont font = Grid->Font();
        font.Size = FontSizes[tag - 1];
        Grid->SetFont(font);
    }
    miFontSize[tag - 1]->setChecked(true);
}

void TSentenceScreen::pcbSelectClick()
{
    if (FVideo) {
        if (FVideoPlayer)
            FVideoPlayer->SetVideoPlayType(pcbSelect->Checked() ? vptAll : vptSelect);
    } else if (FAudioPlayer) {
        FAudioPlayer->SetPlayType(pcbSelect->Checked() ? ptSelect : ptAll);
    }
}

void TSentenceScreen::pcbLoopClick()
{
    if (FVideoPlayer)
        FVideoPlayer->SetLoopPlay(!FVideoPlayer->LoopPlay());
    if (FAudioPlayer)
        FAudioPlayer->SetLoopPlay(!FAudioPlayer->LoopPlay());
}

void TSentenceScreen::ppcbAllClick()
{
    if (!Grid)
        return;
    const bool checked = ppcbAll->Checked();
    const int count = std::min(Grid->RowCount(), ItemCount());
    for (int i = 0; i < count; ++i) {
        if (FVideo)
            FVideoPlayer->SetSelected(i, checked);
        else
            FAudioPlayer->SetSelected(i, checked);
        Grid->SetRowChecked(i, checked);
    }
    Grid->InvalidateGrid();
}

void TSentenceScreen::RefreshExtras(bool active)
{
    if (sbOrder)
        sbOrder->setEnabled(!active);
    pcbSelect->setEnabled(!active);
    labSelect->setEnabled(!active);
    if (!FVideo)
        ppcbAll->setEnabled(!active);
}

// ------------------------------------------------------------ grid events

void TSentenceScreen::GridCheckBoxClick(int row)
{
    if (row < 0 || row >= ItemCount())
        return;
    if (FVideo)
        FVideoPlayer->SetSelected(row, Grid->GetRowChecked(row));
    else
        FAudioPlayer->SetSelected(row, Grid->GetRowChecked(row));
}

void TSentenceScreen::GridSelectClick(int row)
{
    if (row < 0 || row >= ItemCount())
        return;
    TTransportPlayer* player = FTransport->Player();
    player->GotoSentence(row);
    if (FVideo) {
        if (Grid->GetRowChecked(row) && !player->Active())
            player->Play();
        RefreshButtons();
    } else if (Grid->GetRowChecked(row) && !player->Active()) {
        player->Play();
        RefreshButtons();
    }
}

void TSentenceScreen::GridAddClick(int row)
{
    if (row < 0 || row >= ItemCount())
        return;
    TSentenceList sentence;
    sentence.Name = SystemPara.UserInfo.UserName;
    sentence.FileName =
        QFileInfo(FVideo ? FVideoPlayer->FileName() : FAudioPlayer->FileName()).fileName();
    sentence.English = RowEnglish(row);
    sentence.China = RowChina(row);
    sentence.OperateTime = QDateTime::currentDateTime();
    const QString clip = ProgramFolder() + QStringLiteral("temp/PiboTempAddSentence.mp3");
    bool ok = false;
    try {
        if (!FVideo) {
            QFile::remove(clip);
            // Without a clip the row is still written, without sound.
            if (FAudioPlayer->SaveSentenceMp3(ItemOfRow(row), ProgramFolder() + QStringLiteral("temp/"),
                                              QStringLiteral("PiboTempAddSentence.mp3")))
                sentence.Mp3File = clip;
        }
        ok = AddSentenceList(sentence);
    } catch (...) {
        ok = false;
    }
    if (!FVideo && QFile::exists(clip))
        QFile::remove(clip);
    ShowInfo(ok ? QStringLiteral("加入句库成功！") : QStringLiteral("加入句库失败！"));
}

// ------------------------------------------------------------ exports

void TSentenceScreen::miAllExportMp3Click()
{
    if (FVideo || !FAudioPlayer)
        return;
    if (!SaveDialog.Execute(this))
        return;
    const QString name = WithMp3Extension(SaveDialog.FileName);
    const QString source = FAudioPlayer->FileName();
    if (!FAudioPlayer->WavToMp3(source, name)) {
        ShowInfo(QStringLiteral("导出MP3文件失败！"));
        return;
    }
    const QFileInfo media(source);
    const QFileInfo mp3(name);
    const QString plrc = media.absolutePath() + u'/' + media.completeBaseName() + QStringLiteral(".plrc");
    if (QFile::exists(plrc)) {
        const QString base = mp3.absolutePath() + u'/' + mp3.completeBaseName();
        if (FSpeak) {
            // The speak screen hands the subtitle on as it is.
            const QString target = base + QStringLiteral(".plrc");
            if (QFileInfo(target).canonicalFilePath() != QFileInfo(plrc).canonicalFilePath()) {
                QFile::remove(target);
                QFile::copy(plrc, target);
            }
        } else {
            PlrcToLrc(plrc, base + QStringLiteral(".lrc"));
        }
    }
    ShowInfo(QStringLiteral("导出MP3文件成功！"));
}

void TSentenceScreen::ExportSentencesTo(const QString& folder, bool selectedOnly)
{
    if (FVideo || !FAudioPlayer)
        return;
    const QString base = QFileInfo(FAudioPlayer->FileName()).completeBaseName();
    const QString target = QDir(folder).filePath(base) + u'/';
    if (!QDir().mkpath(target))
        throw std::runtime_error("The export folder cannot be made");
    const TAudioLrcItems& items = FAudioPlayer->AudioLrcItems();
    for (int i = 0; i < items.size(); ++i) {
        if (selectedOnly && !items[i].Selected)
            continue;
        FAudioPlayer->SaveSentenceMp3(i, target);
        FAudioPlayer->SaveSentenceLrc(i, target + base + u'_' + QString::number(i) + QStringLiteral(".lrc"));
    }
}

void TSentenceScreen::ExportSentences(bool selectedOnly)
{
    if (FVideo || !FAudioPlayer)
        return;
    bool ok = true;
    try {
        QString folder;
        SelectDirectory(folder);
        if (!folder.isEmpty())
            ExportSentencesTo(folder, selectedOnly);
    } catch (...) {
        ok = false;
    }
    ShowInfo(ok ? QStringLiteral("导出MP3文件完成！") : QStringLiteral("导出MP3文件失败！"));
}

void TSentenceScreen::miExportAllClick()
{
    ExportSentences(false);
}

void TSentenceScreen::miExportSelectClick()
{
    ExportSentences(true);
}
