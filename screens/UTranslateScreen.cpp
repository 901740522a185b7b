#include "UTranslateScreen.h"

#include "UCommonFun.h"
#include "UFrmModel.h"
#include "UFrmShowInfo.h"
#include "UPiboComponent.h"

#include <QtCore/QDateTime>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtGui/QResizeEvent>
#include <QtWidgets/QLabel>

namespace {

constexpr TColor TranslateGridClientColor = 16775405;
constexpr TColor WordsColor = 14321675;
constexpr int WordsHeight = 126;
constexpr int BottomHeight = 37;
constexpr int RowLeft = 16;
constexpr int DesTop = 144;
// The tiles leave this much of the row's width free on the right.
constexpr int RowMargin = 150;

TFont ArialFont(TColor color)
{
    TFont font;
    font.Name = QStringLiteral("Arial");
    font.SetHeight(-19);
    font.Color = color;
    return font;
}

}  // namespace

TTranslateScreen::TTranslateScreen(QWidget* parent, bool video) : TForm(parent), FVideo(video)
{
    panTop = new QWidget(this);
    panTop->setObjectName(QStringLiteral("panTop"));
    SetWidgetColor(panTop, clBlack);
    // The video screen's player sits below a 5-pixel black strip.
    panContain = new QWidget(panTop);
    panContain->setObjectName(QStringLiteral("panContain"));
    SetWidgetColor(panContain, clBlack);
    panTop->setFixedHeight(video ? 5 + 189 : 151);
    panContain->setGeometry(0, video ? 5 : 0, 0, video ? 189 : 151);

    TTransportOptions options;
    options.HasAgain = false;
    options.RestartRefuses = false;
    if (video) {
        options.RefreshAfterActions = false;
        options.SetsIsPlaying = false;
        options.RestartPicksSelected = false;
        options.PlayOverRewinds = false;
    }
    FTransport = new TStudyTransport(this, options);
    // The seek bar only shows the position here.
    FTransport->piboProgress->setEnabled(false);
    FTransport->piboProgress->OnClick = [] {};
    FTransport->psbPlay->OnClick = [this] { RunGuarded([this] { psbPlayClick(); }); };
    FTransport->OnStopped = [this] { StopClicked(); };

    panGridClient = new QWidget(this);
    panGridClient->setObjectName(QStringLiteral("panGridClient"));
    SetWidgetColor(panGridClient, TranslateGridClientColor);

    panWords = new QWidget(panGridClient);
    panWords->setObjectName(QStringLiteral("panWords"));
    TFont chinaFont;
    chinaFont.Name = QStringLiteral("楷体_GB2312");
    chinaFont.SetHeight(-19);
    chinaFont.Bold = true;
    chinaFont.Color = WordsColor;
    labChina = NewLabel(panWords);
    labChina->setObjectName(QStringLiteral("labChina"));
    SetLabelFont(labChina, chinaFont);
    labChina->move(RowLeft, 16);

    ppwSur = new TPiboWordOperate(panWords);
    ppwSur->setObjectName(QStringLiteral("ppwSur"));
    ppwSur->Font = ArialFont(clBlack);
    ppwSur->SetMoveFont(ArialFont(clRed));
    ppwSur->move(RowLeft, 48);
    ppwSur->OnClick = [this] { RunGuarded([this] { ppwSurClick(); }); };

    Bevel1 = new QWidget(panGridClient);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    SetWidgetColor(Bevel1, WordsColor);

    ppwDes = new TPiboWordOperate(panGridClient);
    ppwDes->setObjectName(QStringLiteral("ppwDes"));
    ppwDes->Font = ArialFont(WordsColor);
    ppwDes->SetMoveFont(ArialFont(clRed));
    ppwDes->move(RowLeft, DesTop);
    ppwDes->OnClick = [this] { RunGuarded([this] { ppwDesClick(); }); };

    ppsbCheck = new TPiboSpeedButton(panGridClient);
    ppsbCheck->setObjectName(QStringLiteral("ppsbCheck"));
    ppsbCheck->SetPiboSpeedButtonType(psbtTansRight);
    ppsbCheck->resize(19, 18);

    panBottom = new QWidget(this);
    panBottom->setObjectName(QStringLiteral("panBottom"));
    panBottom->setFixedHeight(BottomHeight);
    const auto button = [this](const char* name, TPiboSpeedButtonType kind, const QString& caption,
                               void (TTranslateScreen::*handler)()) {
        auto* b = new TPiboSpeedButton(panBottom);
        b->setObjectName(QString::fromLatin1(name));
        b->SetPiboSpeedButtonType(kind);
        if (!caption.isEmpty())
            b->SetCaption(caption);
        b->OnClick = [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
        return b;
    };
    ppsbDone = button("ppsbDone", pbstInfoButton, QStringLiteral("完成"), &TTranslateScreen::ppsbDoneClick);
    ppsbNext = button("ppsbNext", psbtTransLButton, QStringLiteral("跳过进入下一句"), &TTranslateScreen::ppsbNextClick);
    ppsbLast = button("ppsbLast", psbtTransLButton, QStringLiteral("跳过进入上一句"), &TTranslateScreen::ppsbLastClick);
    ppsbAdd = button("ppsbAdd", psbtTransAdd, QString(), &TTranslateScreen::ppsbAddClick);
    labAdd = NewLabel(panBottom, QStringLiteral("收藏本句"));
    labTimeCaption = NewLabel(panBottom, QStringLiteral("计时："));
    labTime = NewLabel(panBottom, ClockStart);
    labTime->setObjectName(QStringLiteral("labTime"));
    lanSentenceCount = NewLabel(panBottom, QStringLiteral("总句数：90"));
    lanSentenceCount->setObjectName(QStringLiteral("lanSentenceCount"));

    Timer = new QTimer(this);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, [this] {
        try {
            TimerTimer();
        } catch (...) {
        }
    });
    Timer->start();

    // FormCreate
    ppwDes->SetText(QString());
    ppsbCheck->hide();
    ppsbLast->setEnabled(false);
}

TTranslateScreen::~TTranslateScreen() = default;

void TTranslateScreen::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (FShown)
        return;
    FShown = true;
    RunGuarded([this] { FormShow(); });
}

void TTranslateScreen::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    try {
        FormResize();
    } catch (...) {
    }
}

void TTranslateScreen::FormShow()
{
    CreatePlayer();
    OpenMedia();
    RefreshButtons();
    // Both subtitle lines of the player start hidden.
    FTransport->ppsbEnglishClick();
    FTransport->ppsbChinaClick();
    AfterOpen();
    FTransport->piboProgress->setEnabled(false);
    FormResize();
}

void TTranslateScreen::AfterOpen()
{
    ppsbDone->setEnabled(!ppwSur->Text().isEmpty());
    ppsbNext->setEnabled(ppwSur->WordItems().size() > 1);
}

void TTranslateScreen::FormResize()
{
    const int w = width();
    int y = 0;
    panTop->setGeometry(0, y, w, panTop->height());
    if (panContain->width() != w) {
        panContain->resize(w, panContain->height());
        ContainResized();
    }
    y += panTop->height();
    FTransport->panPlayTool->setGeometry(0, y, w, TStudyTransport::BarHeight);
    y += TStudyTransport::BarHeight;
    const int bottom = height() - BottomHeight;
    panGridClient->setGeometry(0, y, w, std::max(0, bottom - y));
    panBottom->setGeometry(0, std::max(y, bottom), w, BottomHeight);

    panWords->setGeometry(0, 0, w, WordsHeight);
    ppwSur->resize(ppwSur->width(), WordsHeight - 48 - 4);
    Bevel1->setGeometry(RowLeft, WordsHeight + 4, std::max(0, w - 2 * RowLeft), 1);
    ppwDes->resize(ppwDes->width(), std::max(40, panGridClient->height() - DesTop - 8));
    labChina->resize(std::max(0, w - 2 * RowLeft), labChina->sizeHint().height());

    int x = RowLeft;
    for (TPiboSpeedButton* b : {ppsbDone, ppsbNext, ppsbLast}) {
        b->move(x, (BottomHeight - b->height()) / 2);
        x += b->width() + 10;
    }
    int right = w - 16;
    for (QLabel* label : {lanSentenceCount, labTime, labTimeCaption}) {
        label->adjustSize();
        right -= label->width();
        label->move(right, (BottomHeight - label->height()) / 2);
        right -= label == labTimeCaption ? 24 : 4;
    }
    labAdd->adjustSize();
    right -= labAdd->width();
    labAdd->move(right, (BottomHeight - labAdd->height()) / 2);
    right -= ppsbAdd->width() + 4;
    ppsbAdd->move(right, (BottomHeight - ppsbAdd->height()) / 2);

    FTransport->LayoutBar();
}

void TTranslateScreen::RefreshButtons()
{
    FTransport->RefreshButtons();
}

void TTranslateScreen::ReloadFile()
{
    if (!PlayerExists())
        return;
    StopForReload();
    OpenMedia();
    RefreshButtons();
    FTransport->ppsbEnglishClick();
    FTransport->ppsbChinaClick();
    AfterOpen();
    ppsbLast->setEnabled(false);
}

void TTranslateScreen::ReloadSubtitle()
{
    if (!PlayerExists())
        return;
    StopForReload();
    ReloadSentences();
    if (SentenceCount() > 0)
        LoadSentence(0);
    AfterOpen();
    ppsbLast->setEnabled(false);
    RefreshButtons();
}

void TTranslateScreen::HandleHotKey(qint32 id)
{
    TTransportPlayer* player = FTransport->Player();
    if (!player || id == 0)
        return;
    if (id == SystemPara.HotKeyF8) {
        if (player->Active())
            FTransport->psbPauseClick();
        else
            psbPlayClick();
    } else if (id == SystemPara.HotKeyF9) {
        FTransport->HandleHotKey(id);
    } else if (id == SystemPara.HotKeyAltZ) {
        // Here Alt+Z goes forwards and Alt+X back.
        NextSentence();
    } else if (id == SystemPara.HotKeyAltX) {
        PreviousSentence();
    }
}

void TTranslateScreen::OpenMedia()
{
    OpenPlayerFile();
    lanSentenceCount->setText(QStringLiteral("总句数：") + QString::number(SentenceCount()));
    if (SentenceCount() > 0)
        LoadSentence(0);
    FTransport->ResetForFile();
    FormResize();
}

void TTranslateScreen::LoadSentence(int index)
{
    if (index < 0 || index >= SentenceCount())
        return;
    FShownIndex = index;
    const QString english = EnglishOf(index);
    ppsbCheck->hide();
    labChina->setText(ChinaOf(index));

    ppwSur->resize(std::max(0, panGridClient->width() - RowMargin), ppwSur->height());
    // A new text lays every tile out again, also for the line on show.
    ppwSur->SetText(QString());
    ppwSur->SetText(english);
    ppwSur->Shuffle();
    if (ppwSur->LineCount() == 1)
        ppwSur->resize(ppwSur->TotalWidth(), ppwSur->height());
    ppwDes->resize(ppwSur->width(), ppwDes->height());
    ppwDes->SetText(QString());

    TransRec.WordCount = int(ppwSur->WordItems().size());
    TransRec.Sentence = english;
    TransRec.KeJianName = QFileInfo(FMediaFile).completeBaseName();
    TransRec.MoveCount = 0;
    TransRec.Accuracy = QStringLiteral("0%");
    TransRec.EndTime = QDateTime::currentDateTime();
    TransRec.CostTime = 0;

    SplitString(english, QStringLiteral(" "), RefWords);
    labTime->setText(ClockStart);
}

void TTranslateScreen::SelectSentence(int index)
{
    SelectOnly(index);
    PositionAtSentence();
    RefreshButtons();
}

void TTranslateScreen::ppwSurClick()
{
    const int i = ppwSur->MoveIndex();
    // The index is where the pointer last moved: a second click without a
    // move finds the tile already gone.
    if (i < 0 || i >= ppwSur->WordItems().size() || !ppwSur->WordItems().at(i).Visible)
        return;
    ppwDes->AddWord(ppwSur->WordItems().at(i).Word, i);
    ppwSur->SetWordVisible(i, false);
    ++TransRec.MoveCount;
    Evaluate();
}

void TTranslateScreen::ppwDesClick()
{
    const int i = ppwDes->MoveIndex();
    if (i < 0 || i >= ppwDes->WordItems().size())
        return;
    const qint32 t = ppwDes->GetWordTag(i);
    ppwSur->SetWordVisible(t, true);
    ppwDes->DeleteWord(i);
    ++TransRec.MoveCount;
    Evaluate();
}

void TTranslateScreen::Evaluate()
{
    const TPiboWordItems& answer = ppwDes->WordItems();
    bool complete = !answer.isEmpty() && answer.size() == RefWords.size();
    bool wrong = false;
    for (int i = 0; i < answer.size(); ++i)
        if (i >= RefWords.size() || answer.at(i).Word != RefWords.at(i)) {
            complete = false;
            wrong = true;
        }
    if (complete) {
        ScoreSentence();
        NextSentence();
        return;
    }
    ppsbCheck->setVisible(!answer.isEmpty());
    ppsbCheck->SetPiboSpeedButtonType(wrong ? psbtTansWrong : psbtTansRight);
    ppsbCheck->resize(19, 18);
    const int left = (ppwDes->LineCount() == 1 ? ppwDes->TotalWidth() : ppwDes->width()) + 18;
    ppsbCheck->move(left, wrong ? ppwDes->y() + 2 : ppwDes->y() - 3);
}

void TTranslateScreen::ScoreSentence()
{
    TransRec.EndTime = QDateTime::currentDateTime();
    TransRec.CostTime = SrtTimeToMSec(labTime->text() + QStringLiteral(",000")) / 1000;
    const TPiboWordItems& answer = ppwDes->WordItems();
    int right = 0;
    for (int i = 0; i < RefWords.size() && i < answer.size(); ++i)
        if (answer.at(i).Word == RefWords.at(i))
            ++right;
    // A line without words has nothing right in it.
    const int percent = RefWords.isEmpty() ? 0 : RoundHalfEven(double(right) / double(RefWords.size()) * 100.0);
    TransRec.Accuracy = QString::number(percent) + u'%';
    TransRec.Name = SystemPara.UserInfo.UserName;
    AddTransferRecord(TransRec);
}

void TTranslateScreen::UpdateSkipButtons()
{
    ppsbNext->setEnabled(FShownIndex != SentenceCount() - 1);
    ppsbLast->setEnabled(FShownIndex != 0);
}

void TTranslateScreen::NextSentence()
{
    if (FShownIndex < SentenceCount() - 1) {
        SelectSentence(FShownIndex + 1);
        LoadSentence(FShownIndex + 1);
    }
    UpdateSkipButtons();
}

void TTranslateScreen::PreviousSentence()
{
    if (FShownIndex > 0) {
        SelectSentence(FShownIndex - 1);
        LoadSentence(FShownIndex - 1);
    }
    UpdateSkipButtons();
    if (!ppsbDone->isEnabled())
        ppsbDone->setEnabled(true);
}

void TTranslateScreen::ppsbDoneClick()
{
    ScoreSentence();
    if (FShownIndex < SentenceCount() - 1) {
        ShowInfo(QStringLiteral("自动进入下一句！"));
    } else {
        ppsbDone->setEnabled(false);
        ShowInfo(QStringLiteral("此音频所含的句子全部完成！"));
    }
    NextSentence();
}

void TTranslateScreen::ppsbNextClick()
{
    NextSentence();
}

void TTranslateScreen::ppsbLastClick()
{
    PreviousSentence();
}

void TTranslateScreen::ppsbAddClick()
{
    if (FShownIndex < 0 || FShownIndex >= SentenceCount())
        return;
    QString clip;
    bool added = false;
    try {
        TSentenceList sentence;
        sentence.Name = SystemPara.UserInfo.UserName;
        sentence.FileName = QFileInfo(PlayerFileName()).fileName();
        sentence.English = EnglishOf(FShownIndex);
        sentence.China = ChinaOf(FShownIndex);
        sentence.OperateTime = QDateTime::currentDateTime();
        clip = MakeClip(FShownIndex);
        sentence.Mp3File = clip;
        added = AddSentenceList(sentence);
    } catch (...) {
        added = false;
    }
    if (!clip.isEmpty())
        RemoveClip(clip);
    ShowInfo(added ? QStringLiteral("加入句库成功！") : QStringLiteral("加入句库失败！"));
}

void TTranslateScreen::psbPlayClick()
{
    TTransportPlayer* player = FTransport->Player();
    if (!player)
        return;
    if (player->Paused()) {
        player->Resume();
    } else {
        if (player->SelectMode()) {
            int index = player->NextSelected(player->PlayQueueIndex());
            if (index < 0)
                index = player->NextSelected(0);
            if (index < 0) {
                index = 0;
                // Right after opening no sentence is selected yet. The video
                // player plays selected cues only: the first sentence becomes
                // the selected one, so that it plays and stops at its end.
                if (FVideo)
                    SelectOnly(index);
            }
            player->SetPlayQueueIndex(index);
        }
        player->Play();
    }
    if (FTransport->Options().RefreshAfterActions)
        RefreshButtons();
}

void TTranslateScreen::TimerTimer()
{
    const qint32 ms = SrtTimeToMSec(labTime->text() + QStringLiteral(",000")) + 1000;
    labTime->setText(MSecToSrtTime(ms).left(8));
}
