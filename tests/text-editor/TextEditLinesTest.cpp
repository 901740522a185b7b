// The line store: loading and saving GBK text, the events of each change,
// the expanded-form cache.

#include "TextEditLines.h"

#include "AnsiText.h"

#include <QtCore/QBuffer>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

QStringList Lines(const TTextEditStringList& list)
{
    return list.ToStringList();
}

// Records every event of a list as text.
struct TEventLog {
    QStringList Events;
    void Attach(TTextEditStringList& list)
    {
        list.OnChanging = [this](TTextEditStringList*) { Events << "changing"; };
        list.OnChange = [this](TTextEditStringList*) { Events << "change"; };
        list.OnCleared = [this](TTextEditStringList*) { Events << "cleared"; };
        auto ev = [this](const char* name) {
            return [this, name](TTextEditStringList*, int i, int n) {
                Events << QStringLiteral("%1(%2,%3)").arg(QLatin1String(name)).arg(i).arg(n);
            };
        };
        list.OnBeforeLinesInserted = ev("beforeInsert");
        list.OnLinesInserted = ev("inserted");
        list.OnBeforeLinesDeleted = ev("beforeDelete");
        list.OnLinesDeleted = ev("deleted");
        list.OnBeforeLineReplaced = ev("beforeReplace");
        list.OnLineReplaced = ev("replaced");
    }
};

}  // namespace

TEST(TextEditLines, LoadsEveryLineBreakStyle)
{
    struct TCase {
        QByteArray Bytes;
        bool Trim;
        QStringList Lines;
        TTextLineBreakStyle Style;
    } cases[] = {
        {"a\r\nb\r\n\r\n", true, {"a", "b"}, lbsCRLF},
        {"a\r\nb\r\n\r\n", false, {"a", "b", "", ""}, lbsCRLF},
        {"a\nb\n", true, {"a", "b"}, lbsLF},
        {"a\rb", true, {"a", "b"}, lbsCR},
        {"a\r\nb\nc", true, {"a", "b", "c"}, lbsCRLF},
        {"a\n\rb", false, {"a", "", "b"}, lbsCRLF},
        {"", true, {}, lbsCRLF},
        {"x\r\n  \r\n\t\r\n", true, {"x"}, lbsCRLF},
        {StringToAnsi(QStringLiteral("你好\r\n世界")), true, {QStringLiteral("你好"), QStringLiteral("世界")}, lbsCRLF},
    };
    for (const TCase& c : cases) {
        TTextEditStringList list;
        list.SetTrimTrailingBlankLines(c.Trim);
        list.SetLineBreakStyle(lbsLF);
        list.LoadFromBytes(c.Bytes);
        EXPECT_EQ(Lines(list), c.Lines) << c.Bytes.toStdString();
        EXPECT_EQ(list.LineBreakStyle(), c.Style) << c.Bytes.toStdString();
        for (int i = 0; i < list.Count(); ++i)
            EXPECT_EQ(*list.LineExtra(i), lsUnchanged);
    }
}

TEST(TextEditLines, SavesTheLoadedStyleAndGbkTextByteForByte)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("text.txt");
    const QByteArray gbk = StringToAnsi(QStringLiteral("第一行 line\r\n第二行\r\nthird"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(gbk);
    }
    TTextEditStringList list;
    list.LoadFromFile(path);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0], QStringLiteral("第一行 line"));
    list.SaveToFile(path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), gbk);

    TTextEditStringList lf;
    lf.LoadFromBytes("a\nb\n");
    EXPECT_EQ(lf.SaveToBytes(), QByteArray("a\nb"));
    lf.SetTrailingLineBreak(true);
    EXPECT_EQ(lf.SaveToBytes(), QByteArray("a\nb\n"));
    TTextEditStringList empty;
    EXPECT_EQ(empty.SaveToBytes(), QByteArray());
}

TEST(TextEditLines, AFailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    TTextEditStringList list;
    list.Add("new");
    EXPECT_THROW(list.SaveToFile(dir.filePath("missing/folder/x.txt")), ETextEditError);
    EXPECT_THROW(list.LoadFromFile(dir.filePath("missing.txt")), ETextEditError);
    EXPECT_EQ(list.Count(), 1);
}

TEST(TextEditLines, EachOperationFiresItsEventsInOrder)
{
    struct TCase {
        const char* Name;
        std::function<void(TTextEditStringList&)> Op;
        QStringList Events;
        QStringList After;
    } cases[] = {
        {"add", [](TTextEditStringList& l) { l.Add("x"); },
         {"changing", "beforeInsert(3,1)", "inserted(3,1)", "change"}, {"a", "b", "c", "x"}},
        {"insert", [](TTextEditStringList& l) { l.Insert(1, "x"); },
         {"changing", "beforeInsert(1,1)", "inserted(1,1)", "change"}, {"a", "x", "b", "c"}},
        {"put", [](TTextEditStringList& l) { l.Put(2, "x"); },
         {"beforeReplace(2,1)", "changing", "replaced(2,1)", "change"}, {"a", "b", "x"}},
        {"put at count appends", [](TTextEditStringList& l) { l.Put(3, "x"); },
         {"changing", "beforeInsert(3,1)", "inserted(3,1)", "change"}, {"a", "b", "c", "x"}},
        {"delete", [](TTextEditStringList& l) { l.Delete(0); },
         {"changing", "beforeDelete(0,1)", "deleted(0,1)", "change"}, {"b", "c"}},
        {"delete range cut short", [](TTextEditStringList& l) { l.DeleteLineRange(1, 5); },
         {"beforeDelete(1,2)", "deleted(1,2)"}, {"a"}},
        {"delete range with lines after", [](TTextEditStringList& l) { l.DeleteLineRange(0, 1); },
         {"beforeDelete(0,1)", "changing", "change", "deleted(0,1)"}, {"b", "c"}},
        {"insert empty lines", [](TTextEditStringList& l) { l.InsertEmptyLines(1, 2); },
         {"changing", "beforeInsert(1,2)", "inserted(1,2)", "change"}, {"a", "", "", "b", "c"}},
        {"exchange", [](TTextEditStringList& l) { l.Exchange(0, 2); }, {"changing", "change"}, {"c", "b", "a"}},
        {"clear", [](TTextEditStringList& l) { l.Clear(); }, {"changing", "cleared", "change"}, {}},
        {"add strings", [](TTextEditStringList& l) { l.AddStrings(QStringList{"d", "e"}); },
         {"changing", "inserted(3,2)", "change"}, {"a", "b", "c", "d", "e"}},
    };
    for (const TCase& c : cases) {
        TTextEditStringList list;
        list.SetText("a\r\nb\r\nc");
        TEventLog log;
        log.Attach(list);
        c.Op(list);
        EXPECT_EQ(log.Events, c.Events) << c.Name;
        EXPECT_EQ(Lines(list), c.After) << c.Name;
    }
}

TEST(TextEditLines, WritesOutOfRangeRaiseAndChangeNothing)
{
    TTextEditStringList list;
    list.SetText("a\r\nb");
    TEventLog log;
    log.Attach(list);
    const std::function<void()> writes[] = {
        [&] { list.Put(5, "x"); },       [&] { list.Put(-1, "x"); },         [&] { list.Insert(3, "x"); },
        [&] { list.Delete(2); },         [&] { list.DeleteLineRange(2, 1); }, [&] { list.Exchange(0, 2); },
        [&] { list.PutObject(2, nullptr); }, [&] { list.SetLineRange(-1, 0); }, [&] { list.InsertEmptyLines(3, 1); },
    };
    for (const auto& write : writes)
        EXPECT_THROW(write(), ETextEditStringList);
    try {
        list.Delete(7);
    } catch (const ETextEditStringList& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Invalid stringlist index 7"));
    }
    EXPECT_TRUE(log.Events.isEmpty());
    EXPECT_EQ(Lines(list), (QStringList{"a", "b"}));
    EXPECT_THROW(list.SetCapacity(1), ETextEditListError);
    // Reads out of range are quiet.
    EXPECT_EQ(list.Get(9), QString());
    EXPECT_EQ(list.GetObject(-1), nullptr);
    EXPECT_EQ(list.ExpandedLineLength(9), 0);
    EXPECT_EQ(list.LineExtra(2), nullptr);
}

TEST(TextEditLines, ExpandedFormsAndTheLongestLine)
{
    TTextEditStringList list;
    list.SetTabWidth(4);
    list.SetText(QStringLiteral("a\tb\r\nshort\r\n中文中文中"));
    EXPECT_EQ(list.ExpandedLine(0), QStringLiteral("a\t\t\tb"));
    EXPECT_EQ(list.ExpandedLineLength(0), 5);
    EXPECT_TRUE(list.LineFlags(0) & lfHasTabs);
    EXPECT_EQ(list.LongestLineLength(), 10);
    list.Exchange(2, 0);  // the cached line moves with its text
    EXPECT_EQ(list.LongestLineLength(), 10);
    list.Put(1, "a much longer line");
    EXPECT_EQ(list.LongestLineLength(), 18);
    list.SetTabWidth(1);
    EXPECT_EQ(list.ExpandedLine(2), QStringLiteral("a b"));
    EXPECT_EQ(list.Text(), QStringLiteral("中文中文中\r\na much longer line\r\na\tb"));
}

// The cached longest line follows every kind of change without a rescan
// going wrong: after each step it equals the longest line counted afresh.
TEST(TextEditLines, LongestLineFollowsEveryChange)
{
    TTextEditStringList list;
    list.SetText(QStringLiteral("ab\r\nabcd\r\nabc"));
    auto counted = [&] {
        int longest = 0;
        for (int k = 0; k < list.Count(); ++k)
            longest = std::max(longest, list.ExpandedLineLength(k));
        return longest;
    };
    const std::vector<std::function<void()>> steps{
        [&] { list.Put(0, QStringLiteral("abcdefg")); },         // another line grows past it
        [&] { list.Put(0, QStringLiteral("a")); },               // the longest shrinks
        [&] { list.Insert(0, QStringLiteral("中文中文中文")); },  // a longer line comes in before it
        [&] { list.InsertEmptyLines(1, 3); },                    // empty lines shift it
        [&] { list.Delete(2); },                                 // a line before it goes
        [&] { list.Delete(0); },                                 // the longest itself goes
        [&] { list.AddStrings(QStringList{QStringLiteral("x"), QStringLiteral("0123456789")}); },
        [&] { list.DeleteLineRange(0, 2); },
        [&] { list.Put(list.Count() - 1, QStringLiteral("0123456789ab")); },  // the longest grows
        [&] { list.Add(QStringLiteral("\t\t")); },               // tabs count expanded
    };
    EXPECT_EQ(list.LongestLineLength(), counted());
    for (size_t i = 0; i < steps.size(); ++i) {
        steps[i]();
        EXPECT_EQ(list.LongestLineLength(), counted()) << "step " << i;
    }
    EXPECT_EQ(list.LongestLineLength(), 16);
}

TEST(TextEditLines, StatesFollowChanges)
{
    TTextEditStringList list;
    list.LoadFromBytes("a\r\nb");
    list.Put(1, "c");
    EXPECT_EQ(*list.LineExtra(0), lsUnchanged);
    EXPECT_EQ(*list.LineExtra(1), lsChanged);
    TTextEditStringList copy;
    copy.AddStrings(list);
    EXPECT_EQ(*copy.LineExtra(0), lsUnchanged);
    EXPECT_EQ(*copy.LineExtra(1), lsChanged);
}

TEST(TextEditLines, InsertStringsAnnouncesOnce)
{
    TTextEditStringList list;
    list.SetText(QStringLiteral("first\r\nlast"));
    QStringList events;
    list.OnLinesInserted = [&](TTextEditStringList*, int index, int count) {
        events << QStringLiteral("inserted %1 %2 %3").arg(index).arg(count).arg(list.Get(index));
    };
    list.OnChange = [&](TTextEditStringList*) { events << QStringLiteral("changed"); };
    list.InsertStrings(1, {QStringLiteral("a"), QStringLiteral("a much longer line"), QString()});
    // The texts are in place when the insertion is announced.
    EXPECT_EQ(events, (QStringList{QStringLiteral("inserted 1 3 a"), QStringLiteral("changed")}));
    EXPECT_EQ(list.ToStringList(), (QStringList{QStringLiteral("first"), QStringLiteral("a"),
                                                QStringLiteral("a much longer line"), QString(), QStringLiteral("last")}));
    EXPECT_EQ(list.LongestLineLength(), 18);
    EXPECT_THROW(list.InsertStrings(9, {QStringLiteral("x")}), ETextEditError);
}
