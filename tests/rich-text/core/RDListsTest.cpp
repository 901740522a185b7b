#include <gtest/gtest.h>

#include "core/RDError.h"
#include "core/RDFormat.h"
#include "core/RDLists.h"

namespace {

struct TCounted {
    explicit TCounted(int& alive) : Alive(alive) { ++Alive; }
    ~TCounted() { --Alive; }
    int& Alive;
    int Key = 0;
};

}  // namespace

TEST(RDList, DeleteFreesDetachKeepsAliveClearFreesAll)
{
    int alive = 0;
    TRDList<TCounted> list;
    for (int i = 0; i < 4; ++i)
        list.Add(std::make_unique<TCounted>(alive))->Key = i * 10;
    EXPECT_EQ(alive, 4);
    list.Delete(0);
    EXPECT_EQ(alive, 3);
    std::unique_ptr<TCounted> kept = list.DetachAt(0);
    EXPECT_EQ(alive, 3);
    EXPECT_EQ(kept->Key, 10);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_THROW(list.Delete(2), ERichDocError);
    EXPECT_THROW(list.Items(-1), ERichDocError);
    const std::function<int(const TCounted&, const int&)> compare = [](const TCounted& item, const int& key) {
        return item.Key - key;
    };
    EXPECT_EQ(list.BinarySearch(30, compare), 1);
    EXPECT_EQ(list.BinarySearch(20, compare), 0);
    EXPECT_EQ(list.BinarySearch(25, compare), -1);
    list.Clear();
    EXPECT_EQ(alive, 1);
}

TEST(RDIntegerList, FillCopyUniqueSort)
{
    TRDIntegerList filled = TRDIntegerList::CreateFilled(3, 7);
    EXPECT_EQ(filled.Count(), 3);
    EXPECT_EQ(filled[2], 7);
    TRDIntegerList list;
    EXPECT_EQ(list.AddUnique(5), 0);
    EXPECT_EQ(list.AddUnique(3), 1);
    EXPECT_EQ(list.AddUnique(5), 0);
    list.Sort();
    EXPECT_EQ(list[0], 3);
    TRDIntegerList copy = TRDIntegerList::CreateCopy(list);
    list.SetItem(0, 99);
    EXPECT_EQ(copy[0], 3);
    EXPECT_THROW(list.GetItem(2), ERichDocError);

    TRDColorList colors;
    colors.AddUnique(clNone);
    EXPECT_EQ(colors.Count(), 0);
    colors.AddUnique(clRed);
    colors.AddUnique(clRed);
    EXPECT_EQ(colors.Count(), 1);
}

TEST(RDMemoryStream, GrowsInQuarterMegabyteStepsAndFreesOnZero)
{
    TRDMemoryStream stream;
    const char data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(stream.Write(data, 10), 10);
    EXPECT_EQ(stream.Size(), 10);
    EXPECT_EQ(stream.Capacity(), 262144);
    stream.SetSize(262145);
    EXPECT_EQ(stream.Capacity(), 2 * 262144);
    EXPECT_EQ(stream.Position(), 10);
    stream.SetSize(0);
    EXPECT_EQ(stream.Capacity(), 0);
    EXPECT_EQ(stream.Memory(), nullptr);
    EXPECT_EQ(stream.Position(), 0);

    // negative positions and counts write and read nothing; seeks do not clamp
    EXPECT_EQ(stream.Seek(-5, 0), -5);
    EXPECT_EQ(stream.Write(data, 3), 0);
    stream.Seek(0, 0);
    EXPECT_EQ(stream.Write(data, -1), 0);
    stream.Write(data, 4);
    EXPECT_EQ(stream.Seek(100, 2), 104);
    char out[4];
    EXPECT_EQ(stream.Read(out, 4), 0);
    stream.Seek(2, 0);
    EXPECT_EQ(stream.Read(out, 4), 2);
    EXPECT_EQ(out[1], 4);
}

TEST(RDRTFFontTable, FindsIgnoringCaseAndPerCharset)
{
    TRDRTFFontTable table;
    EXPECT_EQ(table.AddUnique("Arial", 0), 0);
    EXPECT_EQ(table.AddUnique("ARIAL", 0), 0);
    EXPECT_EQ(table.AddUnique("Arial", 134), 1);
    EXPECT_EQ(table.AddUnique(QString::fromUtf8("宋体"), 134), 2);
    EXPECT_EQ(table.Find(QString::fromUtf8("宋体"), 134), 2);
    EXPECT_EQ(table.Find("Courier", 0), -1);
    EXPECT_EQ(table.GetItem(1)->Charset, 134);
}

TEST(RDLikeness, Table)
{
    struct {
        double a, b;
        int weight, expected;
    } cases[] = {{10, 10, 100, 100}, {10, 15, 100, 50}, {0, 0, 100, 100}, {0, 1, 100, 0}, {10, 30, 100, -100},
                 {4, 5, 2, 2 /* 1.5 rounds to even */}};
    for (const auto& c : cases)
        EXPECT_EQ(ValueLikeness(c.a, c.b, c.weight), c.expected) << c.a << " " << c.b;

    EXPECT_EQ(ColorLikeness(clWhite, clBlack, 10, 5), -30);
    EXPECT_EQ(ColorLikeness(clRed, clRed, 10, 5), 5);
    EXPECT_EQ(ColorLikeness(clNone, clNone, 10, 5), 35);
    EXPECT_EQ(ColorLikeness(clNone, clRed, 10, 5), 0);
}

TEST(RDReplaceAll, FromStartEndsEvenWhenTheReplacementHoldsTheSearchedText)
{
    struct {
        const char *s, *sub, *repl, *expected;
    } cases[] = {
        {"aab", "ab", "b", "b"},          // a new occurrence made by a replacement is replaced too
        {"x->y->z", "->", ">", "x>y>z"},
        {"abab", "ab", "abab", "abababab"},  // would never end from the start
        {"none", "zz", "q", "none"},
        {"", "a", "b", ""},
    };
    for (const auto& c : cases) {
        QByteArray s = c.s;
        RDReplaceAll(s, c.sub, c.repl);
        EXPECT_EQ(s, QByteArray(c.expected)) << c.s;
    }
}

TEST(RDClipboard, FormatNamesMapToMimeTypes)
{
    EXPECT_EQ(ClipboardFormatMimeType(ClipboardFormatRDF), "application/x-richdoc-rdf");
    EXPECT_EQ(ClipboardFormatMimeType(ClipboardFormatRTF), "text/rtf");
    EXPECT_EQ(ClipboardFormatMimeType(ClipboardFormatHTML), "text/html");
    EXPECT_EQ(ClipboardFormatMimeType(ClipboardFormatURL), "text/uri-list");
    EXPECT_TRUE(ClipboardFormatMimeType("Other").isEmpty());
}

TEST(RDFormat, Table)
{
    const QStringList args{"one", "two", "three"};
    struct {
        const char* format;
        const char* expected;
    } cases[] = {
        {"Style %s", "Style one"},
        {"%s-%s", "one-two"},
        {"%1:s %0:s %s", "two one two"},
        {"[%5s]", "[  one]"},
        {"[%-5s]", "[one  ]"},
        {"[%.2s]", "[on]"},
        {"[%6.2s]", "[    on]"},
        {"100%%", "100%"},
        {"plain", "plain"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RDFormat(c.format, args), QString(c.expected)) << c.format;

    // Never printf: numeric and pointer directives, missing arguments and
    // unfinished directives fail.
    for (const char* bad : {"%d", "%n", "%x", "%p", "%s %s %s %s", "%3:s", "abc%", "%5", "%.s", "%*s"})
        EXPECT_THROW(RDFormat(bad, args), ERichDocError) << bad;
    // %d takes integer arguments only (the default template names).
    EXPECT_EQ(RDFormat("Style %d", {"1"}), "Style 1");
    EXPECT_EQ(RDFormat("[%4.3d|%-4d|%d]", {"-7", "12", "0"}), "[-007|12  |0]");
    for (const char* notInteger : {"1.5", "", " 3", "+3", "99999999999999999999"})
        EXPECT_THROW(RDFormat("%d", {notInteger}), ERichDocError) << notInteger;
    // An argument holding a directive is taken as it stands.
    EXPECT_EQ(RDFormat("%s", {"%s%d"}), "%s%d");
}
