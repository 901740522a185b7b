#include <gtest/gtest.h>

#include <thread>

#include "core/RDError.h"
#include "styles/RDTextStyles.h"
#include "core/RDUnicode.h"

namespace {
QByteArray Raw(const QString& s)
{
    return WideStringToRaw(s);
}
const QString Chinese = QStringLiteral("中文课程：听写「测试」，皮博学习室");
}  // namespace

TEST(RDUnicode, ItemStringRoutines)
{
    const QByteArray seven("abcdefg");
    EXPECT_EQ(CharLength(seven, rdioUnicode), 3);
    EXPECT_EQ(CharLength(seven, 0), 7);
    EXPECT_EQ(CharCopy(seven, 2, 3, rdioUnicode), QByteArray("cdefg"));  // bytes 3 to 8, cut at the end
    EXPECT_EQ(CharCopy(seven, 2, 3, 0), QByteArray("bcd"));
    EXPECT_EQ(CharCopy(seven, 9, 3, 0), QByteArray());

    QByteArray s = Raw("hello");
    CharDelete(s, 2, 2, rdioUnicode);
    EXPECT_EQ(s, Raw("hlo"));
    CharInsert(Raw("el"), s, 2, rdioUnicode);
    EXPECT_EQ(s, Raw("hello"));

    EXPECT_FALSE(CharIsSpace(QByteArray("\x20\x20", 2), 1, rdioUnicode));  // U+2020
    EXPECT_TRUE(CharIsSpace(QByteArray("\x20\x00", 2), 1, rdioUnicode));
    EXPECT_TRUE(CharIsSpace(QByteArray("a b"), 2, 0));

    const char16_t units[] = {u'a', u'b', u'c'};
    EXPECT_EQ(FindWideChar(units, u'a', 0), nullptr);
    EXPECT_EQ(FindWideChar(units, u'c', 3), units + 2);
    EXPECT_EQ(FindWideChar(units, u'd', 3), nullptr);
}

TEST(RDUnicode, CharsetTables)
{
    struct Row {
        uint8_t charset;
        TRDCodePage codePage;
        int language;
    };
    const Row rows[] = {{0, 1252, 1033},   {1, 0, 0},       {2, 0, 1024},     {77, 2, 1024},
                        {134, 936, 2052},  {136, 950, 1028}, {178, 1256, 0},   {238, 1250, 0},
                        {255, 1, 1024},    {99, 0, 1024}};
    for (const Row& r : rows) {
        EXPECT_EQ(CodePageOfCharset(r.charset), r.codePage) << int(r.charset);
        EXPECT_EQ(LanguageOfCharset(r.charset), r.language) << int(r.charset);
    }
    EXPECT_EQ(LocaleOfLanguage(9), 0x0409u);
    EXPECT_EQ(LocaleOfLanguage(0), 0x0400u);
}

TEST(RDUnicode, ByteOrderMarksAndRawStrings)
{
    char16_t le[] = {0xFEFF, 0x0041};
    char16_t* p = le;
    SkipUnicodeBOM(p, 2);
    EXPECT_EQ(p, le + 1);
    EXPECT_EQ(p[0], 0x0041);

    char16_t be[] = {0xFFFE, 0x4100};
    p = be;
    SkipUnicodeBOM(p, 2);
    EXPECT_EQ(p, be + 1);
    EXPECT_EQ(p[0], 0x0041);

    char16_t none[] = {0x0041};
    p = none;
    SkipUnicodeBOM(p, 0);
    EXPECT_EQ(p, none);

    EXPECT_EQ(RawToWideString(Raw(Chinese)), Chinese);
    try {
        RawToWideString(QByteArray("abc"));
        FAIL();
    } catch (const ERichDocError& e) {
        EXPECT_STREQ(e.what(), "Can't perform Unicode operation");
    }
    EXPECT_THROW(Utf16ToAnsi(936, QByteArray("abc")), ERichDocError);
}

TEST(RDUnicode, ConversionsPerCodePage)
{
    EXPECT_TRUE(AnsiToUtf16(936, {}).isEmpty());
    EXPECT_TRUE(Utf16ToAnsi(936, {}).isEmpty());
    EXPECT_TRUE(AnsiToUtf8(936, {}).isEmpty());

    // A character the code page lacks becomes one "?".
    EXPECT_EQ(Utf16ToAnsi(1252, Raw(QStringLiteral("\u4E2D"))), QByteArray("?"));
    EXPECT_EQ(Utf16ToAnsi(1252, Raw(QStringLiteral("a\u4E2Db"))), QByteArray("a?b"));
    // A character outside the basic plane is one "?" too, not two.
    EXPECT_EQ(Utf16ToAnsi(1252, Raw(QString::fromUcs4(U"x\U0001F600y"))), QByteArray("x?y"));
    // Western, Cyrillic, Japanese and Korean through their own tables.
    EXPECT_EQ(Utf16ToAnsi(1252, Raw(QStringLiteral("é€"))), QByteArray("\xE9\x80"));
    EXPECT_EQ(AnsiToUtf16(1252, QByteArray("\xE9\x80")), Raw(QStringLiteral("é€")));
    EXPECT_EQ(AnsiToUtf16(1251, QByteArray("\xC0")), Raw(QStringLiteral("А")));
    EXPECT_EQ(Utf16ToAnsi(932, Raw(QStringLiteral("日本"))), QByteArray("\x93\xFA\x96\x7B"));
    EXPECT_EQ(AnsiToUtf16(949, Utf16ToAnsi(949, Raw(QStringLiteral("한국")))), Raw(QStringLiteral("한국")));
    // The system code pages and unknown ones are GBK.
    const QByteArray gbk("\xD6\xD0\xCE\xC4");  // 中文
    for (TRDCodePage cp : {CP_ACP, CP_OEMCP, TRDCodePage(936), TRDCodePage(12345)}) {
        EXPECT_EQ(AnsiToUtf16(cp, gbk), Raw(QStringLiteral("中文"))) << cp;
        EXPECT_EQ(Utf16ToAnsi(cp, Raw(QStringLiteral("中文"))), gbk) << cp;
    }
    EXPECT_EQ(AnsiToUtf8(936, gbk), QStringLiteral("中文").toUtf8());
    EXPECT_FALSE(CanConvertToCodePage(1252, QByteArray("plain")));
}

TEST(RDUnicode, GbkSurvivesEveryAnsiPath)
{
    // Every two-byte GBK character of a few rows, and ASCII between them.
    QByteArray gbk;
    for (int lead : {0xB0, 0xC4, 0xD6, 0xF7, 0x81, 0xA1})
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (trail != 0x7F) {
                gbk.append(char(lead)).append(char(trail));
                if (trail % 16 == 0)
                    gbk.append("a1 ");
            }
    for (TRDCodePage cp : {CP_ACP, CP_OEMCP, TRDCodePage(936)}) {
        EXPECT_EQ(Utf16ToAnsi(cp, AnsiToUtf16(cp, gbk)), gbk);
        EXPECT_EQ(QStringToAnsi(cp, AnsiToQString(cp, gbk)), gbk);
        // Upper-casing changes the ASCII letters only, never a byte of a Chinese character.
        const QByteArray upper = AnsiUpperCase(cp, gbk);
        ASSERT_EQ(upper.size(), gbk.size());
        QByteArray expected = gbk;
        expected.replace("a1 ", "A1 ");
        EXPECT_EQ(upper, expected);
    }
    // Trail bytes in the letter range (0x61..0x7A) stay as they are.
    const QByteArray trailLetters("\x81\x61\x81\x7A" "b", 5);
    EXPECT_EQ(AnsiUpperCase(936, trailLetters), QByteArray("\x81\x61\x81\x7A" "B", 5));
    EXPECT_EQ(Utf16UpperCase(Raw(QStringLiteral("中a"))), Raw(QStringLiteral("中A")));
    EXPECT_EQ(AnsiUpperCase(1252, QByteArray("\xE9z")), QByteArray("\xC9Z"));
}

TEST(RDUnicode, ConvertersOnTwoThreads)
{
    const QByteArray source = Raw(Chinese + QStringLiteral(" été"));
    QByteArray gbkResult, westernResult;
    std::thread a([&] {
        for (int i = 0; i < 200; ++i)
            gbkResult = Utf16ToAnsi(936, source);
    });
    std::thread b([&] {
        for (int i = 0; i < 200; ++i)
            westernResult = Utf16ToAnsi(1252, source);
    });
    a.join();
    b.join();
    EXPECT_EQ(AnsiToUtf16(936, gbkResult), source);
    EXPECT_EQ(westernResult.right(4), QByteArray(" \xE9t\xE9"));
}

TEST(RDUnicode, DisplayText)
{
    TFontInfo unicodeStyle;
    unicodeStyle.Unicode = true;
    const QByteArray copy = Raw(QStringLiteral("co\u00ADop"));
    QByteArray result;
    GetDisplayText(copy, unicodeStyle, false, result, false, false);
    EXPECT_EQ(result, Raw(QStringLiteral("co\u200Bop")));
    GetDisplayText(copy, unicodeStyle, false, result, true, false);
    EXPECT_EQ(result, Raw(QStringLiteral("coop")));
    GetDisplayText(copy, unicodeStyle, false, result, true, true);
    EXPECT_EQ(result, Raw(QStringLiteral("co\u00ACop")));

    const QByteArray endsSoft = Raw(QStringLiteral("co\u00AD"));
    GetDisplayText(endsSoft, unicodeStyle, true, result, true, false);
    EXPECT_EQ(result, endsSoft);

    // Special characters shown only when soft hyphens are among the visible ones.
    const uint8_t saved = VisibleSpecialCharacters;
    VisibleSpecialCharacters = 1;
    GetDisplayText(copy, unicodeStyle, false, result, false, true);
    EXPECT_EQ(result, Raw(QStringLiteral("co\u200Bop")));
    VisibleSpecialCharacters = saved;

    unicodeStyle.StyleEx = rdfsAllCaps;
    GetDisplayText(Raw(QStringLiteral("中ab\u200D")), unicodeStyle, false, result, true, false);
    EXPECT_EQ(result, Raw(QStringLiteral("中AB")));
    PlatformIsNT = false;
    GetDisplayText(Raw(QStringLiteral("ab")), unicodeStyle, false, result, true, false);
    PlatformIsNT = true;
    EXPECT_EQ(result, Raw(QStringLiteral("ab")));

    TFontInfo ansiStyle;
    ansiStyle.StyleEx = rdfsAllCaps;
    ansiStyle.Charset = 134;
    const QByteArray mixed("\xD6\xD0x");
    GetDisplayText(mixed, ansiStyle, true, result, true, true);
    EXPECT_EQ(result, QByteArray("\xD6\xD0X"));
    EXPECT_EQ(mixed, QByteArray("\xD6\xD0x"));
}

TEST(RDUnicode, KeyboardDefaults)
{
    // Without an input method of another language the keyboard is Chinese.
    const TRDCodePage cp = KeyboardCodePage();
    EXPECT_NE(cp, 0u);
    EXPECT_EQ(KeyboardAnsiToUtf16(QByteArray("ab")), Raw(QStringLiteral("ab")));
}
