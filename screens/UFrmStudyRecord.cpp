#include "UFrmStudyRecord.h"

#include "AudioPipeDXAudio.h"
#include "AudioPipesmpeg.h"
#include "ProgramFolder.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmSelectDir.h"
#include "UFrmShowInfo.h"
#include "UFrmShowQuestionInfo.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"

#include <QtCore/QDateTime>
#include <QtCore/QEventLoop>
#include <QtCore/QFile>
#include <QtCore/QTimer>
#include <QtSql/QSqlQuery>
#include <QtSql/QSqlRecord>
#include <QtWidgets/QLabel>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QToolButton>

#include <algorithm>

namespace {

constexpr TColor BodyColor = 15707707;
constexpr TColor RecordGridFontColor = 12812039;
constexpr TColor GridLineColor = 15987133;
constexpr TColor GridFocusColor = 16447971;
constexpr int GridWidth = 613;
constexpr int GridHeight = 270;
constexpr int TitleTop = 34;
constexpr int TitleHeight = 24;
// Up to this many rows the grid needs no vertical scroll bar and its last
// text column takes the bar's room.
constexpr int RowsWithoutScrollBar = 12;

QString RecordTime(const QVariant& stored)
{
    // The stored local time is shown as it stands: read as date and time of
    // day, without the time zone's rules (looked up anew for every value).
    const QString text = stored.toString();
    static constexpr char Shape[] = "dddd-dd-ddTdd:dd:dd";
    bool plain = text.size() >= 19;
    for (int i = 0; plain && i < 19; ++i) {
        const QChar c = text.at(i);
        plain = Shape[i] == 'd' ? c.isDigit() : (c == QLatin1Char(Shape[i]) || (i == 10 && c == u' '));
    }
    if (plain) {
        const QDate date(text.left(4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
        const QTime time(text.mid(11, 2).toInt(), text.mid(14, 2).toInt(), text.mid(17, 2).toInt());
        if (date.isValid() && time.isValid())
            return text.left(10) + u' ' + text.mid(11, 8);
    }
    const QDateTime time = DateTimeFromDb(stored);
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

// How a page is read: the query (the user name bound as its one value, the
// record's id selected first), its widest text column, where the row's number
// goes and in what form, and the columns of the other selected values.
struct TPageQuery {
    QString Sql;
    int LastCol;
    int WideWidth;
    int NumberCol;
    QString NumberFormat;
    QList<int> Cols;        // column of selected value 1, 2, ...
    QList<int> TimeValues;  // the selected values that are date-times
};

const TPageQuery& PageQuery(TFrmStudyRecord::TPage page)
{
    static const TPageQuery queries[] = {
        {QStringLiteral("select id, dictatetime, costtime, accuracy, kejianname from singledictaterecord "
                        "where name=? order by dictatetime desc"),
         5, 274, 1, QStringLiteral("%1"), {2, 3, 4, 5}, {1}},
        {QStringLiteral("select id, recordtime, recordfilesize, costtime, content from studyspeakrecord "
                        "where name=? order by recordtime desc"),
         5, 274, 1, QStringLiteral("%1"), {2, 3, 4, 5}, {1}},
        {QStringLiteral("select id, wordcount, movecount, accuracy, sentence, endtime, kejianname, costtime "
                        "from transferrecord where name=? order by endtime desc"),
         8, 62, 1, QStringLiteral("%1"), {2, 3, 4, 5, 6, 7, 8}, {5}},
        {QStringLiteral("select id, english, china from sentencelist where name=? order by id"), 4, 236, 2,
         QStringLiteral("(%1)"), {3, 4}, {}},
    };
    return queries[page];
}

// The text of selected value v (from 1) of the query's current record.
QString ValueText(const TPageQuery& how, const QSqlQuery& query, int v)
{
    return how.TimeValues.contains(v) ? RecordTime(query.value(v)) : query.value(v).toString();
}

}  // namespace

TFrmStudyRecord::TFrmStudyRecord(QWidget* parent) : TFrmModel(parent)
{
    SetClientSize(863, 502);
    SetTitle(QStringLiteral("学习成绩"));
    SetWidgetColor(Panel6, BodyColor);

    // The menu of the four pages.
    panMenu = new QWidget(Panel6);
    panMenu->setObjectName(QStringLiteral("panMenu"));
    panMenu->setGeometry(14, 60, 190, 360);
    const struct {
        TPiboSpeedButton** button;
        const char* name;
        TPiboSpeedButtonType kind;
    } menu[] = {{&psbListen, "psbListen", psbtRecordListen},
                {&psbSpeak, "psbSpeak", psbtRecordSpeak},
                {&psbSentence, "psbSentence", psbtRecordSentence},
                {&psbTransfer, "psbTransfer", psbtRecordTransfer}};
    int top = 0;
    for (const auto& item : menu) {
        auto* button = new TPiboSpeedButton(panMenu);
        button->setObjectName(QString::fromLatin1(item.name));
        button->SetPiboSpeedButtonType(item.kind);
        button->move(10, top);
        top += button->height() + 14;
        button->OnClick = [this, button]() {
            try {
                psbListenClick(button);
            } catch (...) {
            }
        };
        *item.button = button;
    }

    TFont titleFont;
    titleFont.Name = QStringLiteral("楷体_GB2312");
    titleFont.SetHeight(-20);
    titleFont.Bold = true;
    titleFont.Color = clWhite;
    labButtonTitle = NewLabel(Panel6);
    labButtonTitle->setObjectName(QStringLiteral("labButtonTitle"));
    SetLabelFont(labButtonTitle, titleFont);
    labButtonTitle->setGeometry(228, 24, 300, 28);

    nbMain = new QStackedWidget(Panel6);
    nbMain->setObjectName(QStringLiteral("nbMain"));
    nbMain->setGeometry(224, 60, 622, 335);
    const auto page = [this](const char* name) {
        auto* panel = new QWidget;
        panel->setObjectName(QString::fromLatin1(name));
        SetWidgetColor(panel, clWhite);
        nbMain->addWidget(panel);
        return panel;
    };
    panListen = page("panListen");
    panSpeak = page("panSpeak");
    panTransfer = page("panTransfer");
    panSentence = page("panSentence");

    const auto titlePanel = [](QWidget* parent, const char* name) {
        auto* panel = new QWidget(parent);
        panel->setObjectName(QString::fromLatin1(name));
        panel->setGeometry(4, TitleTop, GridWidth, TitleHeight);
        SetWidgetColor(panel, GridFocusColor);
        return panel;
    };
    panListenTitle = titlePanel(panListen, "panListenTitle");
    panSpeakTitle = titlePanel(panSpeak, "panSpeakTitle");
    panTransferTitle = titlePanel(panTransfer, "panTransferTitle");
    MakeTitlePanel(panListenTitle, {27, 25, 142, 77, 68, 257},
                   {{2, QStringLiteral("听写时间")}, {3, QStringLiteral("持续时间")}, {4, QStringLiteral("完成率")},
                    {5, QStringLiteral("文件名")}});
    MakeTitlePanel(panSpeakTitle, {27, 25, 142, 77, 68, 257},
                   {{2, QStringLiteral("时间")}, {3, QStringLiteral("大小(字节)")}, {4, QStringLiteral("时长(秒)")},
                    {5, QStringLiteral("内容")}});
    MakeTitlePanel(panTransferTitle, {27, 25, 48, 48, 69, 167, 106, 60, 45},
                   {{2, QStringLiteral("单词数")}, {3, QStringLiteral("移动")}, {4, QStringLiteral("正确率")},
                    {5, QStringLiteral("句子")}, {6, QStringLiteral("完成时间")}, {7, QStringLiteral("文件名")},
                    {8, QStringLiteral("耗时(秒)")}});
    MakeClearButton(panListen);
    MakeClearButton(panSpeak);
    MakeClearButton(panTransfer);

    sbExport = new QToolButton(panSentence);
    sbExport->setObjectName(QStringLiteral("sbExport"));
    sbExport->setText(QStringLiteral("导出"));
    sbExport->setAutoRaise(true);
    sbExport->setToolButtonStyle(Qt::ToolButtonTextOnly);
    TFont exportFont;
    exportFont.Bold = true;
    sbExport->setFont(exportFont.ToQFont());
    QPalette exportPalette = sbExport->palette();
    exportPalette.setColor(QPalette::ButtonText, ToQColor(RecordGridFontColor));
    sbExport->setPalette(exportPalette);
    sbExport->setGeometry(GridWidth - 60, 6, 60, 24);
    connect(sbExport, &QToolButton::clicked, this, [this]() {
        try {
            sbExportClick();
        } catch (...) {
        }
    });
    saTitle = new TFrameShape(panSentence);
    saTitle->setObjectName(QStringLiteral("saTitle"));
    saTitle->PenColor = GridLineColor;
    saTitle->BrushColor = GridLineColor;
    saTitle->setGeometry(4, TitleTop, GridWidth, 1);

    imaDelete.LoadFromResourceName(QStringLiteral("StudyRecordCellDelete"));
    imaDelete.SetTransparent(true);
    imaWave.LoadFromResourceName(QStringLiteral("StudyRecordWave"));
    imaWave.SetTransparent(true);
    imaWave1.LoadFromResourceName(QStringLiteral("StudyRecordWaveCurrent"));
    imaWave1.SetTransparent(true);

    MP3In = new TMP3In(this);
    MP3In->SetLoop(false);
    MP3In->SetEndSample(-1);
    MP3In->SetHighPrecision(false);
    MP3In->SetOutputChannels(cnMonoOrStereo);
    DXAudioOut = new TDXAudioOut(this);
    DXAudioOut->SetInput(MP3In);
    DXAudioOut->SetDeviceNumber(0);
    DXAudioOut->SetFramesInBuffer(65536);
    DXAudioOut->SetPollingInterval(200);
    DXAudioOut->OnDone = [this](QObject*) {
        if (FIdleWait)
            FIdleWait->quit();
    };
}

TFrmStudyRecord::~TFrmStudyRecord()
{
    // The output's worker ends before the input it reads from goes.
    delete DXAudioOut;
    DXAudioOut = nullptr;
}

void TFrmStudyRecord::MakeTitlePanel(QWidget* title, const QList<int>& widths,
                                     const QList<QPair<int, QString>>& columns)
{
    TFont font;
    font.Bold = true;
    font.Color = RecordGridFontColor;
    for (const auto& [col, text] : columns) {
        int left = 0;
        for (int c = 0; c < col; ++c)
            left += widths.at(c);
        QLabel* label = NewLabel(title, text);
        SetLabelFont(label, font);
        label->setAlignment(Qt::AlignCenter);
        label->setGeometry(left, 0, widths.at(col), TitleHeight);
    }
}

void TFrmStudyRecord::MakeClearButton(QWidget* page)
{
    // Rows go through the delete glyph of their first cell; this pair has
    // no action of its own.
    auto* button = new TPiboSpeedButton(page);
    button->SetPiboSpeedButtonType(psbtStudyRecordDelete);
    button->move(GridWidth - button->width(), 6);
    QLabel* label = NewLabel(page, QStringLiteral("清除"));
    label->move(button->x() - label->width() - 4, 6 + (button->height() - label->height()) / 2);
}

TPiboStringGrid* TFrmStudyRecord::MakeGrid(QWidget* page, int top, int firstCheckBoxType, const QList<int>& widths,
                                           int rows)
{
    auto* grid = new TPiboStringGrid(page);
    grid->SetHasCheckBox(true);
    grid->SetFirstCheckBoxType(firstCheckBoxType);
    grid->SetHasSpeedButton(false);
    TFont font = grid->Font();
    font.Color = RecordGridFontColor;
    grid->SetFont(font);
    grid->SetColor(clWhite);
    grid->SetLineColorValue(GridLineColor);
    grid->SetFocusColorValue(GridFocusColor);
    grid->SetAlignment(taCenter);
    grid->SetOptions(goRangeSelect);
    grid->SetHasHerLine(true);
    grid->SetHasVerLine(false);
    grid->setGeometry(4, top, GridWidth, GridHeight);
    grid->SetColCount(int(widths.size()));
    for (int c = 0; c < widths.size(); ++c)
        grid->SetColWidths(c, widths.at(c));
    grid->SetRowCountEx(rows);
    grid->InitColumns();
    grid->show();
    return grid;
}

void TFrmStudyRecord::SetEditableColumns(TPiboStringGrid* grid, const QList<int>& columns)
{
    // Edited text is only shown: it is never written back.
    if (columns.contains(grid->Col())) {
        grid->SetOptions(goRangeSelect | goEditing | goAlwaysShowEditor);
        grid->ShowEditor();
    } else {
        grid->SetOptions(goRangeSelect);
        grid->HideEditor();
    }
}

void TFrmStudyRecord::showEvent(QShowEvent* event)
{
    TFrmModel::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    try {
        FormShow();
    } catch (...) {
    }
}

void TFrmStudyRecord::FormShow()
{
    const int gridTop = TitleTop + TitleHeight;
    ListenGrid = MakeGrid(panListen, gridTop, 2, {27, 25, 142, 77, 68, 257}, 18);
    ListenGrid->setObjectName(QStringLiteral("ListenGrid"));
    ListenGrid->SetFocusFontColor(RecordGridFontColor);
    ListenGrid->OnCheckBoxClick = [this](int, int) {
        try {
            DeleteCurrent(pgListen);
        } catch (...) {
        }
    };

    SpeakGrid = MakeGrid(panSpeak, gridTop, 2, {27, 25, 142, 77, 68, 274}, 11);

    SpeakGrid->setObjectName(QStringLiteral("SpeakGrid"));
    SpeakGrid->SetFocusFontColor(RecordGridFontColor);
    SpeakGrid->SetColAlignment(5, taLeftJustify);
    for (int c = 0; c < SpeakGrid->ColCount(); ++c)
        SpeakGrid->SetColFont(c, SpeakGrid->Font());
    SpeakGrid->OnCheckBoxClick = [this](int, int) {
        try {
            DeleteCurrent(pgSpeak);
        } catch (...) {
        }
    };
    SpeakGrid->OnClick = [this]() { SetEditableColumns(SpeakGrid, {5}); };

    TransferGrid = MakeGrid(panTransfer, gridTop, 2, {27, 25, 48, 48, 69, 167, 106, 60, 62}, 11);

    TransferGrid->setObjectName(QStringLiteral("TransferGrid"));
    TransferGrid->SetFocusFontColor(RecordGridFontColor);
    TransferGrid->SetColAlignment(5, taLeftJustify);
    TransferGrid->OnCheckBoxClick = [this](int, int) {
        try {
            DeleteCurrent(pgTransfer);
        } catch (...) {
        }
    };
    TransferGrid->OnClick = [this]() { SetEditableColumns(TransferGrid, {5}); };

    SentenceGrid = MakeGrid(panSentence, saTitle->y() + saTitle->height(), 1, {28, 28, 56, 237, 236, 28}, 3);

    SentenceGrid->setObjectName(QStringLiteral("SentenceGrid"));
    TFont sentenceFont = SentenceGrid->Font();
    sentenceFont.Name = QStringLiteral("宋体");
    sentenceFont.Size = 9;
    SentenceGrid->SetFont(sentenceFont);
    SentenceGrid->SetHasVerLine(true);
    SentenceGrid->InitColumns();
    SentenceGrid->SetColAlignment(3, taLeftJustify);
    SentenceGrid->SetColAlignment(4, taLeftJustify);
    TFont chinaFont = sentenceFont;
    SentenceGrid->SetColFont(4, chinaFont);
    TFont numberFont = sentenceFont;
    numberFont.Name = QStringLiteral("Arial");
    numberFont.Color = 433474;
    SentenceGrid->SetColFont(2, numberFont);
    SentenceGrid->OnPiboDrawCell = [this](TCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState) {
        SentenceGridDrawCell(canvas, col, row, rect);
    };
    SentenceGrid->OnMouseMove = [this](Qt::KeyboardModifiers, int x, int y) {
        try {
            SentenceGridMouseMove(x, y);
        } catch (...) {
        }
    };
    SentenceGrid->OnMouseUp = [this](TMouseButton, Qt::KeyboardModifiers, int x, int y) {
        try {
            SentenceGridMouseUp(x, y);
        } catch (...) {
        }
    };
    SentenceGrid->OnClick = [this]() { SetEditableColumns(SentenceGrid, {3, 4}); };
    SentenceGrid->OnCheckBoxClick = [](int, int) {};

    nbMain->setCurrentIndex(pgListen);
    psbListenClick(psbListen);
    LoadPage(pgTransfer);
    LoadPage(pgListen);
    LoadPage(pgSentence);
    LoadPage(pgSpeak);
}

void TFrmStudyRecord::psbListenClick(TPiboSpeedButton* sender)
{
    for (TPiboSpeedButton* button : {psbListen, psbSpeak, psbSentence, psbTransfer})
        button->SetButtonEnabled(true);
    sender->SetButtonEnabled(false);
    if (sender == psbListen) {
        labButtonTitle->setText(QStringLiteral("单句听写"));
        if (ListenGrid && !ListenIds.isEmpty())
            ListenGrid->GotoCell(2, 0);
        nbMain->setCurrentIndex(pgListen);
    } else if (sender == psbSpeak) {
        labButtonTitle->setText(QStringLiteral("口语模仿"));
        if (SpeakGrid && !SpeakIds.isEmpty())
            SpeakGrid->GotoCell(5, 0);
        nbMain->setCurrentIndex(pgSpeak);
    } else if (sender == psbTransfer) {
        labButtonTitle->setText(QStringLiteral("翻译训练"));
        nbMain->setCurrentIndex(pgTransfer);
        if (TransferGrid && !TransferIds.isEmpty())
            TransferGrid->GotoCell(2, 0);
    } else if (sender == psbSentence) {
        labButtonTitle->setText(QStringLiteral("句型"));
        nbMain->setCurrentIndex(pgSentence);
    }
}

void TFrmStudyRecord::LoadPage(TPage page)
{
    TPiboStringGrid* const grids[] = {ListenGrid, SpeakGrid, TransferGrid, SentenceGrid};
    QStringList* const ids[] = {&ListenIds, &SpeakIds, &TransferIds, &SentenceIds};
    TPiboStringGrid* grid = grids[page];
    QStringList& pageIds = *ids[page];
    if (!grid)
        return;
    const TPageQuery& how = PageQuery(page);
    try {
        if (!DataInterface || !DataInterface->Connected())
            return;
        QSqlQuery query(DataInterface->Connection());
        query.setForwardOnly(true);
        query.prepare(how.Sql);
        query.addBindValue(SystemPara.UserInfo.UserName);
        if (!query.exec())
            return;
        // The rows are read first: the column widths depend on their number.
        QStringList ids;
        QStringList texts;  // the texts of values 1 .. of each record in turn
        const int values = std::min(int(query.record().count()), int(how.Cols.size()) + 1);
        while (query.next()) {
            ids << query.value(0).toString();
            for (int v = 1; v < values; ++v)
                texts << ValueText(how, query, v);
        }
        const int count = int(ids.size());
        grid->SetColWidths(how.LastCol, count < RowsWithoutScrollBar ? how.WideWidth : how.WideWidth - 17);
        grid->SetRowCountEx(count);
        pageIds = ids;
        // One repaint for the whole page, not one a cell.
        TStringGridStrings& batch = grid->Rows(0);
        batch.BeginUpdate();
        if (count == 0) {
            // The grid keeps one row: it stays blank, and the page shows no
            // row at all.
            for (int c = 0; c < grid->ColCount(); ++c)
                grid->SetCells(c, 0, QString());
            grid->SetRowChecked(0, false);
        }
        grid->setVisible(count > 0);
        for (int r = 0, t = 0; r < count; ++r) {
            grid->SetCells(how.NumberCol, r, how.NumberFormat.arg(r + 1));
            for (int v = 1; v < values; ++v)
                grid->SetCells(how.Cols.at(v - 1), r, texts.at(t++));
        }
        batch.EndUpdate();
        if (count > 0 && (page == pgListen || page == pgSpeak))
            grid->GotoCell(5, 0);
        else if (count > 0 && page == pgSentence)
            grid->GotoCell(3, 0);
    } catch (...) {
    }
}

void TFrmStudyRecord::DeleteCurrent(TPage page)
{
    TPiboStringGrid* const grids[] = {ListenGrid, SpeakGrid, TransferGrid, SentenceGrid};
    const QStringList* const ids[] = {&ListenIds, &SpeakIds, &TransferIds, &SentenceIds};
    TPiboStringGrid* grid = grids[page];
    const QStringList& pageIds = *ids[page];
    if (!grid || grid->Row() < 0 || grid->Row() >= pageIds.size())
        return;
    if (!ShowQuestionInfo(QStringLiteral("确定要删除？")))
        return;
    const int row = grid->Row();
    const qint32 id = pageIds.at(row).toInt();
    bool deleted = false;
    switch (page) {
    case pgListen:
        deleted = DeleteSingleDictateRecord(id);
        break;
    case pgSpeak:
        deleted = DeleteStudySpeakRecord(id);
        break;
    case pgTransfer:
        deleted = DeleteTransferRecord(id);
        break;
    case pgSentence:
        deleted = DeleteSentenceList(id);
        break;
    }
    // The rows below move up with their check marks; the page is then read
    // again for its texts and numbers.
    if (deleted)
        grid->DeleteRow(row);
    LoadPage(page);
}

bool TFrmStudyRecord::WaitOutputIdle()
{
    if (DXAudioOut->GetOutputState() == aosIdle)
        return true;
    // The stopped run reports its end through the output's done event; the
    // timer bounds the wait should it never come.
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.start(StopWait);
    FIdleWait = &loop;
    while (DXAudioOut->GetOutputState() != aosIdle && bound.isActive())
        loop.exec();
    FIdleWait = nullptr;
    return DXAudioOut->GetOutputState() == aosIdle;
}

void TFrmStudyRecord::PlaySentence(int row)
{
    try {
        if (row < 0 || row >= SentenceIds.size())
            return;
        if (DXAudioOut->GetOutputState() == aosBusy) {
            DXAudioOut->StopOutput(true);
            if (!WaitOutputIdle()) {
                // The clip still playing keeps its file.
                ShowInfo(QStringLiteral("播放音频失败！"));
                return;
            }
        }
        const QString path = ProgramFolder() + QStringLiteral("temp/PiboTempRecordSentence.mp3");
        if (QFile::exists(path))
            QFile::remove(path);
        if (!SaveSentenceMp3ToFile(SentenceIds.at(row).toInt(), path)) {
            ShowInfo(QStringLiteral("没有可播放的音频！"));
            return;
        }
        MP3In->SetFileName(path);
        if (MP3In->GetValid())
            DXAudioOut->StartOutput();
        else
            ShowInfo(QStringLiteral("播放音频失败！"));
    } catch (...) {
        ShowInfo(QStringLiteral("播放音频失败！"));
    }
}

void TFrmStudyRecord::sbExportClick()
{
    QList<int> rows;
    for (int r = 0; SentenceGrid && r < SentenceIds.size(); ++r)
        if (SentenceGrid->GetRowChecked(r))
            rows << r;
    if (rows.isEmpty()) {
        ShowInfo(QStringLiteral("请选择要导出的句子！"));
        return;
    }
    try {
        QString folder;
        SelectDirectory(folder);
        if (folder.isEmpty())
            return;
        if (!folder.endsWith(u'/'))
            folder += u'/';
        const QString base =
            folder + QStringLiteral("Export_") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddHHmmss"));
        bool written = true;
        for (const int j : rows)
            written = SaveSentenceMp3ToFile(SentenceIds.at(j).toInt(),
                                            base + u'_' + QString::number(j + 1) + QStringLiteral(".mp3")) &&
                      written;
        ShowInfo(written ? QStringLiteral("导出MP3文件完成！") : QStringLiteral("导出MP3文件失败！"));
    } catch (...) {
    }
}

QRect TFrmStudyRecord::WaveIconRect(const QRect& cell) const
{
    return QRect(cell.left() + 10, cell.top() + (cell.height() - imaWave.Height()) / 2, imaWave.Width(),
                 imaWave.Height());
}

QRect TFrmStudyRecord::DeleteIconRect(const QRect& cell) const
{
    return QRect(cell.left() + (cell.width() - imaDelete.Width()) / 2,
                 cell.top() + (cell.height() - imaDelete.Height()) / 2, imaDelete.Width(), imaDelete.Height());
}

void TFrmStudyRecord::SentenceGridDrawCell(TCanvas& canvas, int col, int row, const QRect& rect)
{
    if (row >= SentenceIds.size())
        return;
    if (col == 1) {
        const TBitmap& picture = row == SentenceGrid->Row() ? imaWave1 : imaWave;
        canvas.Draw(rect.left() + (rect.width() - picture.Width()) / 2,
                    rect.top() + (rect.height() - picture.Height()) / 2, picture);
    } else if (col == 5) {
        const QRect icon = DeleteIconRect(rect);
        canvas.Draw(icon.left(), icon.top(), imaDelete);
    }
}

void TFrmStudyRecord::SentenceGridMouseMove(int x, int y)
{
    // The grid has already put the hand over a check box.
    if (SentenceGrid->CursorShape() == Qt::PointingHandCursor)
        return;
    int col = -1, row = -1;
    SentenceGrid->MouseToCell(x, y, col, row);
    bool overIcon = false;
    if (row >= SentenceIds.size())
        row = -1;
    if (row >= 0 && col == 1)
        overIcon = WaveIconRect(SentenceGrid->CellRect(col, row)).contains(x, y);
    else if (row >= 0 && col == 5)
        overIcon = DeleteIconRect(SentenceGrid->CellRect(col, row)).contains(x, y);
    SentenceGrid->SetCursorShape(overIcon ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TFrmStudyRecord::SentenceGridMouseUp(int x, int y)
{
    int col = -1, row = -1;
    SentenceGrid->MouseToCell(x, y, col, row);
    if (row < 0)
        return;
    if (col == 1 && WaveIconRect(SentenceGrid->CellRect(col, row)).contains(x, y))
        PlaySentence(SentenceGrid->Row());
    else if (col == 5 && DeleteIconRect(SentenceGrid->CellRect(col, row)).contains(x, y))
        DeleteCurrent(pgSentence);
}
