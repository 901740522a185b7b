#include <gtest/gtest.h>

#include <climits>

#include "core/RDHookGuard.h"
#include "core/RDStrUtils.h"

TEST(RDNumerals, Table)
{
    struct {
        int n;
        const char *roman, *alpha;
    } cases[] = {{1994, "MCMXCIV", "BXR"}, {0, "?", ""}, {-3, "?", ""}, {1, "I", "A"}, {26, "XXVI", "Z"},
                 {27, "XXVII", "AA"}, {28, "XXVIII", "AB"}, {52, "LII", "AZ"}, {53, "LIII", "BA"},
                 {702, "DCCII", "ZZ"}, {703, "DCCIII", "AAA"}, {4000, "MMMM", "EWV"}};
    for (const auto& c : cases) {
        EXPECT_EQ(RomanNumeral(c.n), QString(c.roman)) << c.n;
        EXPECT_EQ(AlphaNumeral(c.n), QString(c.alpha)) << c.n;
    }
}

TEST(RDSubSuperScriptSize, Table)
{
    // A style table may set any size: the extremes keep the pattern.
    const int sizes[][2] = {{0, 0},   {1, 1},   {2, 1},  {3, 2},
                            {4, 3},   {5, 3},   {8, 5},  {10, 7},
                            {12, 8},  {-3, -2}, {-4, -3},
                            {INT_MAX, 1431655765},      {INT_MAX - 1, 1431655764},
                            {INT_MIN, -1431655765},     {INT_MIN + 1, -1431655765}};
    for (const auto& s : sizes)
        EXPECT_EQ(SubSuperScriptSize(s[0]), s[1]) << s[0];
    EXPECT_EQ(IntSign(-7), -1);
    EXPECT_EQ(IntSign(0), 0);
    EXPECT_EQ(IntSign(9), 1);
}

TEST(RDLinks, UrlAndEmailTable)
{
    struct {
        const char* word;
        bool url, email;
    } cases[] = {
        {"WWW.example", true, false}, {"www.", false, false},  {"mailto:a", true, false},
        {"http://", false, false},    {"Https://x.y", true, false}, {"a@b.c", false, true},
        {"a.b@c", false, false},      {"nodot@x", false, false}, {"ftp.gnu.org", true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsUrlText(c.word), c.url) << c.word;
        EXPECT_EQ(IsEmailText(c.word), c.email) << c.word;
    }
    {
        TRDHookGuard check(UrlCheckHook, [](const QString& w) { return w == "special"; });
        EXPECT_TRUE(IsUrlText("special"));
    }
    EXPECT_FALSE(IsUrlText("special"));
}

TEST(RDTags, CopyAndCompare)
{
    EXPECT_FALSE(SameTags(TRDTag::FromString("a"), TRDTag::FromString("A"), true));
    EXPECT_TRUE(SameTags(TRDTag(), TRDTag(), true));
    EXPECT_FALSE(SameTags(TRDTag(), TRDTag::FromString(""), true));
    EXPECT_TRUE(SameTags(TRDTag::FromInt(4), TRDTag::FromInt(4), false));
    TRDTag original = TRDTag::FromString("tag");
    TRDTag copy = CopyStringTag(original, true);
    original.Str->append('!');
    EXPECT_EQ(*copy.Str, "tag");
    EXPECT_EQ(CopyStringTag(TRDTag::FromInt(12), false).Int, 12);
}

TEST(RDStrings, TabsSearchAndSets)
{
    EXPECT_EQ(ExpandTabsAnsi("a\tb", 3), "a   b");
    EXPECT_EQ(ExpandTabsAnsi("a\tb", 0), "ab");
    // U+0930 U+4E00: the bytes 09 00 straddle two units and stay.
    const QByteArray straddling("\x30\x09\x00\x4E", 4);
    EXPECT_EQ(ExpandTabsUnicode(straddling, 2), straddling);
    EXPECT_EQ(ExpandTabsUnicode(QByteArray("a\0\t\0", 4), 2), QByteArray("a\0 \0 \0", 6));

    EXPECT_EQ(FindCharPos("xyz", 'z', 3), 3);
    EXPECT_EQ(FindCharPos("xyz", 'z', 2), 0);
    EXPECT_EQ(FindCharPos(nullptr, 'z', 2), 0);

    QByteArray s = "aXa";
    ReplaceAll(s, "a", "aa");
    EXPECT_EQ(s, "aaXaa");

    QString text;
    AppendWithSeparator(text, "", ",");
    EXPECT_TRUE(text.isEmpty());
    AppendWithSeparator(text, "x", ",");
    AppendWithSeparator(text, "", ",");
    EXPECT_EQ(text, "x");
    AppendWithSpace(text, "y");
    EXPECT_EQ(text, "x y");

    QByteArray bytes = "a<b>&";
    InsertBeforeCharsInSet(bytes, '\\', MakeCharSet("<>\\"));
    EXPECT_EQ(bytes, "a\\<b\\>&");
    ReplaceCharsInSet(bytes, '_', MakeCharSet("\\&"));
    EXPECT_EQ(bytes, "a_<b_>_");
}
