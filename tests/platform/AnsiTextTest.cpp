#include "AnsiText.h"

#include <gtest/gtest.h>

#include <random>

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

TEST(AnsiText, KeepingBytesGivesBackAnyBytes)
{
    // The euro byte of GBK, a lone lead byte at the end, UTF-8, a four-byte
    // GB18030 sequence, and the GB18030 form of a character in the range
    // that stands for raw bytes.
    const QByteArray escapeRangeChar = StringToAnsi(QString(QChar(0xF780)));
    ASSERT_FALSE(escapeRangeChar.isEmpty());
    const struct {
        QByteArray Bytes;
        QString Text;
    } rows[] = {
        {QByteArray("5\x80", 2), QStringLiteral("5\uF780")},
        {QByteArray("\xD6\xD0\x81", 3), QStringLiteral("中\uF781")},
        {QByteArray("\x81\x30\x81\x30", 4), QStringLiteral("\u0080")},
        {QByteArray("\xFF\xFE", 2), QStringLiteral("\uF7FF\uF7FE")},
        {escapeRangeChar, QString()},
        {QStringLiteral("naïve 中文").toUtf8(), QString()},
    };
    for (const auto& r : rows) {
        const QString text = AnsiToStringKeepingBytes(r.Bytes);
        if (!r.Text.isNull()) {
            EXPECT_EQ(text, r.Text) << r.Bytes.toHex().toStdString();
        }
        // A character of the range is taken apart, never read as itself.
        EXPECT_FALSE(text.contains(QChar(0xF780)) && r.Bytes == escapeRangeChar);
        EXPECT_EQ(StringToAnsiKeepingBytes(text), r.Bytes) << r.Bytes.toHex().toStdString();
    }
    // Good GBK text reads as it does through the plain conversion.
    const QString gbk = QStringLiteral("中文 abc 。\U0001F600");
    EXPECT_EQ(AnsiToStringKeepingBytes(StringToAnsi(gbk)), gbk);
    EXPECT_EQ(StringToAnsiKeepingBytes(gbk), StringToAnsi(gbk));
}

TEST(AnsiText, KeepingBytesRoundTripsRandomBytes)
{
    std::mt19937 random(20261211);
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes(static_cast<qsizetype>(random() % 40), Qt::Uninitialized);
        for (char& b : bytes) {
            // Mostly the bytes of double-byte and four-byte sequences.
            const unsigned r = random();
            b = static_cast<char>(r % 4 == 0 ? 0x30 + (r >> 8) % 10 : 0x80 + (r >> 8) % 128);
            if (r % 16 == 1)
                b = static_cast<char>(r >> 8);
        }
        EXPECT_EQ(StringToAnsiKeepingBytes(AnsiToStringKeepingBytes(bytes)), bytes) << bytes.toHex().toStdString();
    }
}
