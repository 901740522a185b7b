#include "AnsiText.h"

#include <gtest/gtest.h>

TEST(AnsiText, GbkTextKeepsItsBytes)
{
    const QByteArray gbk("\xD6\xD0\xCE\xC4 abc \xA1\xA3", 11);  // "中文 abc 。"
    EXPECT_EQ(AnsiToString(gbk), QStringLiteral("中文 abc 。"));
    EXPECT_EQ(StringToAnsi(QStringLiteral("中文 abc 。")), gbk);
}

TEST(AnsiText, CharactersOutsideGbkAreNotLost)
{
    const QString text = QStringLiteral("caf\u00e9 \U0001F600 \u20ac");
    EXPECT_EQ(AnsiToString(StringToAnsi(text)), text);
}

TEST(AnsiText, DamagedBytesDecodeToReplacementAndTheRestSurvives)
{
    const QByteArray bytes("ok\xFF" "end", 6);
    const QString text = AnsiToString(bytes);
    EXPECT_TRUE(text.startsWith(QStringLiteral("ok")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("end")));
    EXPECT_TRUE(text.contains(QChar(0xFFFD)));
}

TEST(AnsiText, LongTextConvertsWhole)
{
    QString text;
    for (int i = 0; i < 5000; ++i)
        text += QStringLiteral("第%1句 sentence ").arg(i);
    EXPECT_EQ(AnsiToString(StringToAnsi(text)), text);
}

TEST(AnsiText, TrailBytesInTheAsciiRangeStayWithTheirCharacter)
{
    // 0x81 0x40 is one character whose second byte is "@"; an ASCII letter
    // and a four-byte sequence follow.
    const QByteArray bytes("\x81\x40" "A\x81\x30\x81\x30" "b", 8);
    EXPECT_EQ(AnsiToString(bytes), QStringLiteral("\u4E02A\u0080b"));
    EXPECT_EQ(StringToAnsi(QStringLiteral("\u4E02A\u0080b")), bytes);
    EXPECT_EQ(AnsiToString(QByteArray("tail\x81", 5)), QStringLiteral("tail\uFFFD"));
}
