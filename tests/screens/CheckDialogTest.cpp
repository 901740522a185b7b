// The check dialogs of dictation: the marked document in the viewer, the
// totals, saving a test and the save button's rule, the dialogs as the
// screens' default, and the dictation screens created by name.

#include "ScreensTestSupport.h"

#include "viewer/RDRichDoc.h"
#include "styles/RDStyle.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UDictationCheck.h"
#include "UFrmFreeCheck.h"
#include "UFrmFreeSentence.h"
#include "UFrmSingleCheck.h"
#include "UFrmSingleSentence.h"
#include "UFrmVFreeSentence.h"
#include "UFrmVSingleSentence.h"
#include "UPiboComponent.h"
#include "UStudyScreen.h"

#include <QtCore/QEvent>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString Lesson = QStringLiteral("lesson.wav");

TSingleCheckTotalRes CheckedSingle(const QStringList& sentences, const QStringList& answers)
{
    TSingleCheckTotalRes res;
    ResetSingleTest(res, Lesson, sentences);
    CheckAllSingle(res, Lesson, answers, QStringLiteral("00:01:05"));
    return res;
}

TSingleCheckTotalRes CheckedFree(const QStringList& sentences, const QStringList& lines)
{
    TSingleCheckTotalRes res;
    ResetFreeTest(res, Lesson, sentences);
    CheckAllFree(res, Lesson, lines, QStringLiteral("00:00:10"));
    return res;
}

// The viewer's items as text/style, each paragraph's first item after "¶".
QStringList ViewerItems(const TRichDoc& doc)
{
    QStringList out;
    for (int i = 0; i < doc.GetItemCount(); ++i)
        out << (doc.IsNewLine(i) ? QStringLiteral("¶") : QString()) + doc.GetItemTextW(i) + u'/' +
                   QString::number(doc.GetItemStyle(i));
    return out;
}

// The items a marked document should give, in the same form.
QStringList DocumentItems(const TCheckDocument& doc)
{
    QStringList out;
    for (const TCheckParagraph& p : doc)
        for (qsizetype i = 0; i < p.Runs.size(); ++i)
            out << (i == 0 ? QStringLiteral("¶") : QString()) + p.Runs[i].Text + u'/' +
                       QString::number(p.Runs[i].Style);
    return out;
}

int StoredTests()
{
    QSqlQuery query(DataInterface->Connection());
    if (!query.exec(QStringLiteral("SELECT count(*) FROM singledictaterecord")) || !query.next())
        return -1;
    return query.value(0).toInt();
}

// Runs f for each check dialog shown while it lives, then closes the dialog.
class TCheckDialogAnswer : public QObject {
public:
    explicit TCheckDialogAnswer(std::function<void(TFrmCheckWindow*)> f) : FOnShow(std::move(f))
    {
        qApp->installEventFilter(this);
    }
    ~TCheckDialogAnswer() override { qApp->removeEventFilter(this); }
    int Shown = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            if (auto* dialog = qobject_cast<TFrmCheckWindow*>(watched)) {
                ++Shown;
                FOnShow(dialog);
                QMetaObject::invokeMethod(dialog, "close", Qt::QueuedConnection);
            }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(TFrmCheckWindow*)> FOnShow;
};

class CheckDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAudioSystem(&System);
        SetTestHotKeys();
        Res = CheckedSingle({QStringLiteral("Spring is warm."), QStringLiteral("It rains a lot.")},
                            {QStringLiteral("spring is worm today"), QString()});
    }
    void TearDown() override
    {
        Single.reset();
        Free.reset();
        ProcessEvents();
        SetAudioSystem(nullptr);
    }
    void ShowSingle(int rowIndex)
    {
        Single = std::make_unique<TFrmSingleCheck>();
        Single->CheckRes = &Res;
        Single->RowIndex = rowIndex;
        Single->show();
        ProcessEvents();
    }
    void ShowFree(const QStringList& lines)
    {
        FreeRes = CheckedFree({QStringLiteral("Spring is warm."), QStringLiteral("It rains a lot.")}, lines);
        Free = std::make_unique<TFrmFreeCheck>();
        Free->CheckRes = &FreeRes;
        Free->TypedLines = lines;
        Free->show();
        ProcessEvents();
    }
    // The free dialog for the typed line "spring", or the single one over
    // the whole test.
    TFrmCheckWindow* ShowSpringCheck(bool free)
    {
        if (free) {
            ShowFree({QStringLiteral("spring")});
            return Free.get();
        }
        ShowSingle(-1);
        return Single.get();
    }

    TWindowTestEnvironment Env;
    TTestAudioSystem System{1};
    TDialogRecorder Dialogs;
    TSingleCheckTotalRes Res;
    TSingleCheckTotalRes FreeRes;
    std::unique_ptr<TFrmSingleCheck> Single;
    std::unique_ptr<TFrmFreeCheck> Free;
};

TEST_F(CheckDialog, TheSingleDialogShowsEveryWordInItsStyle)
{
    ShowSingle(-1);
    const QStringList items = ViewerItems(*Single->rdCheckResult);
    EXPECT_EQ(items, DocumentItems(BuildSingleCheckDocument(Res, -1)));
    // The marks of the first sentence: right, wrong with the correct word
    // beside it, the extra word.
    for (const char* expected : {"spring/0", "worm/1", "warm/2", "today/3", "Spring is warm./0",
                                 "¶1 /7", "¶2 /7", "参照：/5", "校对：/5", "摘要：/5"})
        EXPECT_TRUE(items.contains(QString::fromUtf8(expected))) << expected;
    const int wrong = items.indexOf(QStringLiteral("worm/1"));
    ASSERT_GE(wrong, 0);
    EXPECT_EQ(items.value(wrong + 1), QStringLiteral("warm/2"));
    // The blank before a marked word is in the plain style.
    EXPECT_EQ(items.value(wrong - 1), QStringLiteral(" /0"));
    EXPECT_EQ(items.first(), QStringLiteral("¶/5"));

    // The viewer shows them through the eight styles of the sheet.
    const TRDStyle* sheet = Single->rdCheckResult->Style();
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->TextStyles().Count(), CheckTextStyleCount);
    for (int i = 0; i < CheckTextStyleCount; ++i) {
        const TFontInfo* f = sheet->TextStyles().Items(i);
        const TCheckTextStyleDef& def = CheckTextStyleDef(i);
        EXPECT_EQ(f->StyleName, def.Name) << i;
        EXPECT_EQ(f->FontName, def.FontName) << i;
        EXPECT_EQ(f->Size, def.Size) << i;
        EXPECT_EQ((f->Style & fsStrikeOut) != 0, def.StrikeOut) << i;
        EXPECT_EQ(f->BackColor, def.Background >= 0 ? TColor(def.Background) : clNone) << i;
        EXPECT_EQ(f->Jump, def.Jump) << i;
    }
    EXPECT_EQ(sheet->ParaStyles().Items(CheckParaSpaced)->SpaceBefore, CheckParaLineSpace);

    // The header: the totals of the test and its time line.
    const TCheckHeader header = CheckHeaderOf(Res);
    EXPECT_EQ(Single->labRightCount->text(), header.RightCount);
    EXPECT_EQ(Single->labWordCount->text(), header.WordCount);
    EXPECT_EQ(Single->labWrongCount->text(), QStringLiteral("（1）"));
    EXPECT_EQ(Single->labOverCount->text(), QStringLiteral("（1）"));
    EXPECT_EQ(Single->labMissCount->text(), QStringLiteral("（4）"));
    EXPECT_TRUE(Single->labTimeDesc->text().startsWith(QStringLiteral("首次听写时间：")));
    EXPECT_TRUE(Single->labTimeDesc->text().endsWith(QStringLiteral(" 持续时间：00小时01分05秒")));
    EXPECT_EQ(Single->Title(), QStringLiteral("单句听写校对结果"));
}

// The items of the "校对：" line of sentence 1 in the viewer, from the first
// mark to the end of that paragraph.
QStringList CheckedLine(const QStringList& items)
{
    const qsizetype start = items.indexOf(QStringLiteral("校对：/5"));
    QStringList line;
    for (qsizetype i = start + 1; start >= 0 && i < items.size() && !items[i].startsWith(u'¶'); ++i)
        line << items[i];
    return line;
}

TEST_F(CheckDialog, EachCheckerResultReadsBackFromTheViewer)
{
    const struct {
        const char* Sentence;
        const char* Answer;
        QStringList Line;
        int Missing;
    } cases[] = {
        {"Spring is warm.", "spring is warm", {"spring/0", " /0", "is/0", " /0", "warm/0"}, 0},
        // The typed word struck out, its correction right after it.
        {"Spring is warm.", "spring is worm", {"spring/0", " /0", "is/0", " /0", "worm/1", "warm/2"}, 0},
        {"Spring is warm.", "spring is very warm",
         {"spring/0", " /0", "is/0", " /0", "very/3", " /0", "warm/0"}, 0},
        {"Spring is warm.", "spring warm", {"spring/0", " /0", "is/4", " /0", "warm/0"}, 1},
        // Nothing typed: every word of the sentence missing, as the checker
        // names them, while the record keeps no words.
        {"Spring is warm.", "", {"spring/4", " /0", "is/4", " /0", "warm/4"}, 3},
        {"Spring is warm.", "   ", {"spring/4", " /0", "is/4", " /0", "warm/4"}, 3},
    };
    for (const auto& c : cases) {
        const QString answer = QString::fromUtf8(c.Answer);
        Res = CheckedSingle({QString::fromUtf8(c.Sentence)}, {answer});
        const TSingleCheckTotalRes stored = Res;
        ShowSingle(-1);
        const QStringList items = ViewerItems(*Single->rdCheckResult);
        EXPECT_EQ(CheckedLine(items), c.Line) << c.Answer;
        EXPECT_TRUE(items.contains(QStringLiteral("听写：/5"))) << c.Answer;
        EXPECT_EQ(Single->labMissCount->text(), QStringLiteral("（%1）").arg(c.Missing)) << c.Answer;
        // Showing changes nothing of the test record.
        EXPECT_EQ(Res.Items[0].Words.size(), stored.Items[0].Words.size()) << c.Answer;
        EXPECT_EQ(Res.Items[0].MissCount, c.Missing) << c.Answer;
        Single.reset();
    }
    EXPECT_TRUE(CheckedSingle({QStringLiteral("Spring is warm.")}, {QString()}).Items[0].Words.isEmpty());
}

TEST_F(CheckDialog, AnEmptyFreeTextShowsEveryWordMissing)
{
    for (const QStringList& lines : {QStringList{}, QStringList{QString()}, QStringList{QString(), QString()}}) {
        ShowFree(lines);
        EXPECT_TRUE(FreeRes.Items[0].Words.isEmpty());
        const QStringList items = ViewerItems(*Free->rdCheckResult);
        EXPECT_EQ(items.filter(QStringLiteral("/4")),
                  (QStringList{"spring/4", "is/4", "warm/4", "it/4", "rains/4", "a/4", "lot/4"}))
            << lines.size();
        EXPECT_EQ(Free->labRightCount->text(), QStringLiteral("正确率（0%）"));
        EXPECT_EQ(Free->labMissCount->text(), QStringLiteral("（7）"));
        Free.reset();
    }
}

TEST_F(CheckDialog, TheSaveButtonShowsOnlyForTheWholeTest)
{
    const struct {
        int Row;
        bool SaveShown;
        QString Number;  // the one sentence number shown, empty for all
    } cases[] = {{-1, true, QString()}, {0, false, QStringLiteral("¶1 /7")}, {1, false, QStringLiteral("¶2 /7")}};
    for (const auto& c : cases) {
        ShowSingle(c.Row);
        EXPECT_EQ(Single->ppsbSave->isVisibleTo(Single.get()), c.SaveShown) << c.Row;
        EXPECT_TRUE(Single->ppsbCancel->isVisibleTo(Single.get())) << c.Row;
        const QStringList items = ViewerItems(*Single->rdCheckResult);
        EXPECT_EQ(items, DocumentItems(BuildSingleCheckDocument(Res, c.Row))) << c.Row;
        if (!c.Number.isEmpty()) {
            EXPECT_EQ(items.filter(QStringLiteral("/7")).filter(QStringLiteral("¶")).size(), 4) << c.Row;
            EXPECT_TRUE(items.contains(c.Number)) << c.Row;
        }
        // One sentence alone still has the whole test's totals.
        EXPECT_EQ(Single->labMissCount->text(), QStringLiteral("（4）")) << c.Row;
        Single.reset();
    }
}

TEST_F(CheckDialog, SavingTheWholeTestWritesOneRowAndCloses)
{
    ShowSingle(-1);
    ASSERT_EQ(StoredTests(), 0);
    Single->ppsbSave->PerformClick();
    EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("保存成功！")});
    EXPECT_FALSE(Single->isVisible());
    QSqlQuery query(DataInterface->Connection());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT name, accuracy, costtime, kejianname FROM singledictaterecord")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), SystemPara.UserInfo.UserName);
    EXPECT_EQ(query.value(1).toString(), Res.Accuracy);
    EXPECT_EQ(query.value(2).toInt(), 65);
    EXPECT_EQ(query.value(3).toString(), Lesson);
    EXPECT_FALSE(query.next());
}

TEST_F(CheckDialog, TheFreeDialogSavesEachTimeAndStaysOpen)
{
    ShowFree({QStringLiteral("spring is warm")});
    Free->ppsbSave->PerformClick();
    EXPECT_TRUE(Free->isVisible());
    Free->ppsbSave->PerformClick();
    EXPECT_EQ(Dialogs.Infos, (QStringList{QStringLiteral("保存成功！"), QStringLiteral("保存成功！")}));
    EXPECT_EQ(StoredTests(), 2);
    EXPECT_TRUE(Free->isVisible());
    Free->ppsbCancel->PerformClick();
    EXPECT_FALSE(Free->isVisible());
}

TEST_F(CheckDialog, AFailedSaveSaysSoAndKeepsTheDialogOpen)
{
    QSqlQuery query(DataInterface->Connection());
    ASSERT_TRUE(query.exec(QStringLiteral("DROP TABLE singledictaterecord")));
    for (bool free : {false, true}) {
        Dialogs.Infos.clear();
        TFrmCheckWindow* dialog = ShowSpringCheck(free);
        const QStringList before = ViewerItems(*dialog->rdCheckResult);
        dialog->ppsbSave->PerformClick();
        EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("保存失败！")}) << free;
        EXPECT_TRUE(dialog->isVisible()) << free;
        EXPECT_EQ(ViewerItems(*dialog->rdCheckResult), before) << free;
        dialog->ppsbCancel->PerformClick();
        EXPECT_FALSE(dialog->isVisible()) << free;
    }
}

TEST_F(CheckDialog, AReadOnlyDatabaseKeepsTheDialogOpen)
{
    QSqlQuery query(DataInterface->Connection());
    // The connection refuses every write from now on, as a database opened
    // read-only does.
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA query_only = 1")));
    for (bool free : {false, true}) {
        Dialogs.Infos.clear();
        TFrmCheckWindow* dialog = ShowSpringCheck(free);
        dialog->ppsbSave->PerformClick();
        EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("保存失败！")}) << free;
        EXPECT_TRUE(dialog->isVisible()) << free;
    }
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA query_only = 0")));
    EXPECT_EQ(StoredTests(), 0);
}

TEST_F(CheckDialog, TheFreeDialogBreaksWhereTheTypedLinesBreak)
{
    const struct {
        QStringList Lines;
        int Paragraphs;
    } cases[] = {
        // One typed line: every word in the leading paragraph.
        {{QStringLiteral("spring is warm it rains a lot")}, 1},
        {{QStringLiteral("spring is warm"), QStringLiteral("it rains a lot")}, 2},
        {{QStringLiteral("spring is"), QString(), QStringLiteral("warm it rains a lot")}, 3},
        {{QStringLiteral("spring is warm extra"), QStringLiteral("it rains")}, 2},
    };
    for (const auto& c : cases) {
        ShowFree(c.Lines);
        const QStringList items = ViewerItems(*Free->rdCheckResult);
        EXPECT_EQ(items, DocumentItems(BuildFreeCheckDocument(FreeRes, c.Lines))) << c.Lines.join(u'|').toStdString();
        EXPECT_EQ(items.filter(QStringLiteral("¶")).size(), c.Paragraphs) << c.Lines.join(u'|').toStdString();
        EXPECT_TRUE(Free->ppsbSave->isVisibleTo(Free.get()));
        EXPECT_FALSE(items.contains(QStringLiteral("参照：/5")));
        Free.reset();
    }
}

TEST_F(CheckDialog, TheScreensOpenTheDialogsByDefault)
{
    TFrmSingleSentence single;
    TFrmFreeSentence free;
    ASSERT_TRUE(single.ShowCheckDialog);
    ASSERT_TRUE(free.ShowCheckDialog);
    QStringList seen;
    int row = 0;
    TCheckDialogAnswer answer([&](TFrmCheckWindow* dialog) {
        seen << QString::fromLatin1(dialog->metaObject()->className());
        if (auto* s = qobject_cast<TFrmSingleCheck*>(dialog))
            row = s->RowIndex;
        if (auto* f = qobject_cast<TFrmFreeCheck*>(dialog))
            seen << f->TypedLines;
    });
    single.ShowCheckDialog(Res, 1);
    free.ShowCheckDialog(Res, {QStringLiteral("a b"), QStringLiteral("c")});
    EXPECT_EQ(answer.Shown, 2);
    EXPECT_EQ(seen, (QStringList{QStringLiteral("TFrmSingleCheck"), QStringLiteral("TFrmFreeCheck"),
                                 QStringLiteral("a b"), QStringLiteral("c")}));
    EXPECT_EQ(row, 1);
}

TEST_F(CheckDialog, TheMainWindowCreatesTheDictationScreensByName)
{
    RegisterStudyScreens();
    const struct {
        const char* Name;
        std::function<bool(TForm*)> IsIt;
    } cases[] = {
        {"FrmSingleSentence", [](TForm* f) { return qobject_cast<TFrmSingleSentence*>(f) != nullptr; }},
        {"FrmVSingleSentence", [](TForm* f) { return qobject_cast<TFrmVSingleSentence*>(f) != nullptr; }},
        {"FrmFreeSentence", [](TForm* f) { return qobject_cast<TFrmFreeSentence*>(f) != nullptr; }},
        {"FrmVFreeSentence", [](TForm* f) { return qobject_cast<TFrmVFreeSentence*>(f) != nullptr; }},
    };
    for (const auto& c : cases) {
        const QString name = QString::fromLatin1(c.Name);
        ASSERT_TRUE(HasFormFactory(name)) << c.Name;
        std::unique_ptr<TForm> form(CreateRegisteredForm(name, nullptr));
        EXPECT_TRUE(c.IsIt(form.get())) << c.Name;
        EXPECT_EQ(form->objectName(), name);
        EXPECT_NE(dynamic_cast<TStudyScreen*>(form.get()), nullptr) << c.Name;
    }
}

}  // namespace
