// The line store: loading and saving files byte for byte, the events of each change,
// the expanded-form cache.

#include "TextEditLines.h"

#include "AnsiText.h"

#include <QtCore/QBuffer>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
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

namespace {

QByteArray Utf16Bytes(const QString& text, bool bigEndian)
{
    QByteArray out;
    for (QChar c : text) {
        const char lo = static_cast<char>(c.unicode() & 0xFF);
        const char hi = static_cast<char>(c.unicode() >> 8);
        out.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return out;
}

}  // namespace

TEST(TextEditLines, FilesOpenedAndSavedUnchangedKeepEveryByte)
{
    const QString chinese = QStringLiteral("第一行 naïve 😀\r\nsecond\r\n第三");
    const QByteArray utf8Bom("\xEF\xBB\xBF");
    const struct {
        const char* Name;
        QByteArray Bytes;
        TTextFileEncoding Encoding;
        QString FirstLine;  // as shown; null: not checked
    } rows[] = {
        {"GBK with the euro byte", StringToAnsi(QStringLiteral("价格：5")) + "\x80\r\n" + StringToAnsi(QStringLiteral("欧元")),
         tfeAnsi, QStringLiteral("价格：5\uF780")},
        {"UTF-8 without a mark", chinese.toUtf8(), tfeAnsi, QString()},
        {"UTF-8 with a mark", utf8Bom + chinese.toUtf8(), tfeUtf8, QStringLiteral("第一行 naïve 😀")},
        {"UTF-8 with damaged bytes", utf8Bom + "a\xFF\xC0\x80\xED\xA0\x80\xEF\x9E\x80z\r\n\xE4\xB8", tfeUtf8,
         QStringLiteral("a\uF7FF\uF7C0\uF780\uF7ED\uF7A0\uF780\uF7EF\uF79E\uF780z")},
        {"UTF-16LE with a mark", QByteArray("\xFF\xFE") + Utf16Bytes(chinese, false), tfeUtf16LE,
         QStringLiteral("第一行 naïve 😀")},
        {"UTF-16LE, a lone surrogate and an odd byte",
         QByteArray("\xFF\xFE") + Utf16Bytes(QStringLiteral("a\r\n"), false) + QByteArray("\x00\xD8\x80\xF7" "b", 5),
         tfeUtf16LE, QStringLiteral("a")},
        {"UTF-16BE with a mark", QByteArray("\xFE\xFF") + Utf16Bytes(chinese, true), tfeUtf16BE,
         QStringLiteral("第一行 naïve 😀")},
        {"only a mark", utf8Bom, tfeUtf8, QString()},
        {"GB18030 four-byte sequences", StringToAnsi(QStringLiteral("😀\u0080\r\n\uF780")), tfeAnsi, QStringLiteral("😀\u0080")},
    };
    for (const auto& r : rows) {
        TTextEditStringList list;
        list.LoadFromBytes(r.Bytes);
        EXPECT_EQ(list.FileEncoding(), r.Encoding) << r.Name;
        if (!r.FirstLine.isNull()) {
            EXPECT_EQ(list[0], r.FirstLine) << r.Name;
        }
        EXPECT_EQ(list.SaveToBytes().toHex(' '), r.Bytes.toHex(' ')) << r.Name;
    }
    // Through a file as well: 58 bytes stay 58 bytes.
    QTemporaryDir dir;
    const QString path = dir.filePath("euro.txt");
    const QByteArray euro = rows[0].Bytes + "\r\n" + StringToAnsi(QStringLiteral("这一行很长，用来凑够字节数")) + "\x80\x80";
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(euro);
    }
    TTextEditStringList list;
    list.LoadFromFile(path);
    list.SaveToFile(path);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toHex(' '), euro.toHex(' '));
}

TEST(TextEditLines, RandomFilesSaveAsTheyWereLoaded)
{
    // Lines of random bytes (no CR or LF), joined with one line-break style:
    // with TrimTrailingBlankLines off every such file comes back byte for byte.
    std::mt19937 random(36102);
    const QByteArray marks[] = {QByteArray(), QByteArray("\xEF\xBB\xBF"), QByteArray("\xFF\xFE"), QByteArray("\xFE\xFF")};
    for (int round = 0; round < 400; ++round) {
        const QByteArray& mark = marks[random() % 4];
        const bool utf16 = mark.size() == 2;
        const TTextLineBreakStyle style = static_cast<TTextLineBreakStyle>(random() % 3);
        const QString breakText = style == lbsCRLF ? QStringLiteral("\r\n") : style == lbsLF ? QStringLiteral("\n") : QStringLiteral("\r");
        QByteArray bytes = mark;
        const int lines = 1 + static_cast<int>(random() % 5);
        for (int line = 0; line < lines; ++line) {
            if (line > 0)
                bytes += utf16 ? Utf16Bytes(breakText, mark[0] == '\xFE') : breakText.toLatin1();
            const int length = static_cast<int>(random() % 24);
            for (int k = 0; k < length; ++k) {
                const unsigned r = random();
                if (utf16) {
                    char16_t u = static_cast<char16_t>(r >> 8);
                    if (u == u'\r' || u == u'\n')
                        u = u'x';
                    bytes += Utf16Bytes(QString(QChar(u)), mark[0] == '\xFE');
                    continue;
                }
                char b = static_cast<char>(r % 3 == 0 ? 0x30 + (r >> 8) % 10 : 0x80 + (r >> 8) % 128);
                if (r % 8 == 1)
                    b = static_cast<char>(r >> 8);
                bytes += b == '\r' || b == '\n' ? 'x' : b;
            }
        }
        if (mark.isEmpty() && (bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")))
            bytes[0] = 'x';
        if (utf16 && random() % 4 == 0)
            bytes += static_cast<char>(random());  // an odd last byte
        TTextEditStringList list;
        list.SetTrimTrailingBlankLines(false);
        list.LoadFromBytes(bytes);
        ASSERT_EQ(list.SaveToBytes().toHex(' '), bytes.toHex(' ')) << "round " << round;
    }
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

// Every kind of line comes back exactly as it went in, through each way of
// storing it, with its cell length known without a second look.
TEST(TextEditLines, KeepsEveryCharacterExactly)
{
    const QChar loneHigh(char16_t(0xD83D));
    const QChar loneLow(char16_t(0xDE00));
    const QStringList samples{
        QString(),
        QStringLiteral("plain ASCII words"),
        QStringLiteral("caf\u00e9 \u00ff\u0080"),
        QStringLiteral("中文 and English 你好"),
        QStringLiteral("emoji \U0001F600 pair"),
        QStringLiteral("lone ") + loneHigh + QStringLiteral(" high"),
        loneLow + QStringLiteral("中"),
        QStringLiteral("\u07ff\u0800\uffff"),
        QString(100000, QChar(0x4E2D)),  // longer than a chunk
    };
    TTextEditStringList list;
    list.AddStrings(samples);
    ASSERT_EQ(list.Count(), samples.size());
    for (int i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(list.Get(i), samples[i]) << i;
        EXPECT_EQ(list.ExpandedLineLength(i), CellLength(samples[i])) << i;
    }
    // Rewritten in reverse order: each line takes the bytes of another kind.
    for (int i = 0; i < samples.size(); ++i)
        list.Put(i, samples[samples.size() - 1 - i]);
    for (int i = 0; i < samples.size(); ++i)
        EXPECT_EQ(list.Get(i), samples[samples.size() - 1 - i]) << i;
    EXPECT_EQ(list.LongestLineLength(), 200000);
}

// Lines rewritten, inserted and deleted many times over (enough for the
// store to pack its bytes anew several times) still read as a plain list
// of strings that took the same steps.
TEST(TextEditLines, ManyEditsReadBackLikeAPlainList)
{
    TTextEditStringList list;
    QStringList expected;
    // Enough lines that the bytes of old versions pile up in chunks that
    // still hold live lines.
    for (int i = 0; i < 20000; ++i)
        expected << QStringLiteral("line %1 中文").arg(i);
    list.AddStrings(expected);
    std::uint32_t seed = 12345;
    auto next = [&seed](std::uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    for (int step = 0; step < 100000; ++step) {
        const int index = static_cast<int>(next(static_cast<std::uint32_t>(expected.size())));
        const QString text = QStringLiteral("edit %1 ").arg(step) + QString(static_cast<int>(next(40)), QChar(next(2) ? u'x' : u'字'));
        switch (next(8)) {
        case 0: list.Insert(index, text); expected.insert(index, text); break;
        case 1:
            if (expected.size() > 100) {
                list.Delete(index);
                expected.removeAt(index);
            }
            break;
        case 2: {
            const int other = static_cast<int>(next(static_cast<std::uint32_t>(expected.size())));
            list.Exchange(index, other);
            expected.swapItemsAt(index, other);
            break;
        }
        default: list.Put(index, text); expected[index] = text; break;
        }
        if (step % 10000 == 0) {
            ASSERT_EQ(list.ToStringList(), expected) << "step " << step;
        }
    }
    EXPECT_EQ(list.ToStringList(), expected);
    list.Clear();
    list.Add(QStringLiteral("after clearing"));
    EXPECT_EQ(list.ToStringList(), QStringList{QStringLiteral("after clearing")});
}

// Text is split at CR LF, CR and LF straight into new lines, the tail joining
// the last of them, with one announcement.
TEST(TextEditLines, InsertTextSplitsStraightIntoLines)
{
    struct TCase {
        QString Text;
        QString Tail;
        QStringList Lines;
    } cases[] = {
        {"a\r\nb\nc\rd", "T", {"a", "b", "c", "dT"}},
        {"x\r\n", "T", {"x", "T"}},
        {"", "T", {"T"}},
        {"", "", {""}},
        {"\n\r", "", {"", "", ""}},
        {QStringLiteral("中\r\n\r\n文"), "", {QStringLiteral("中"), "", QStringLiteral("文")}},
    };
    for (const TCase& c : cases) {
        TTextEditStringList list;
        list.SetText(QStringLiteral("first\r\nlast"));
        QStringList events;
        list.OnLinesInserted = [&](TTextEditStringList*, int index, int count) {
            events << QStringLiteral("inserted %1 %2").arg(index).arg(count);
        };
        EXPECT_EQ(list.InsertText(1, c.Text, c.Tail), c.Lines.size()) << c.Text.toStdString();
        QStringList lines = QStringList{"first"} + c.Lines + QStringList{"last"};
        EXPECT_EQ(list.ToStringList(), lines) << c.Text.toStdString();
        EXPECT_EQ(events, QStringList{QStringLiteral("inserted 1 %1").arg(c.Lines.size())});
        EXPECT_EQ(*list.LineExtra(1), lsChanged);
    }
    TTextEditStringList list;
    EXPECT_THROW(list.InsertText(1, QStringLiteral("x")), ETextEditError);
}

// Highlighter ranges and objects stay with their lines through insertions,
// deletions and exchanges.
TEST(TextEditLines, RangesAndObjectsMoveWithTheirLines)
{
    TTextEditStringList list;
    list.SetText(QStringLiteral("a\r\nb\r\nc"));
    EXPECT_EQ(list.LineRange(1), -1);
    EXPECT_EQ(list.GetObject(1), nullptr);
    int tag = 0;
    list.SetLineRange(1, 7);
    list.PutObject(2, &tag);
    list.Insert(0, QStringLiteral("new"));
    list.InsertText(0, QStringLiteral("x\ny"));
    // a b c at 3 4 5 now.
    EXPECT_EQ(list.LineRange(4), 7);
    EXPECT_EQ(list.GetObject(5), &tag);
    EXPECT_EQ(list.LineRange(0), -1);
    list.Exchange(4, 5);
    EXPECT_EQ(list.LineRange(5), 7);
    EXPECT_EQ(list.GetObject(4), &tag);
    list.DeleteLineRange(0, 3);
    EXPECT_EQ(list.Get(2), QStringLiteral("b"));
    EXPECT_EQ(list.LineRange(2), 7);
    EXPECT_EQ(list.GetObject(1), &tag);
    list.Delete(1);
    EXPECT_EQ(list.GetObject(1), nullptr);
    EXPECT_EQ(list.LineRange(1), 7);
}
