#include <gtest/gtest.h>

#include "RDFStream.h"

TEST(RDFHex, Table)
{
    QByteArray hex;
    RDFStringToHex(QByteArray("\x0A\xFF", 2), hex);
    EXPECT_EQ(hex, "0AFF");
    QByteArray bytes;
    EXPECT_TRUE(RDFHexToString("0aff", bytes));
    EXPECT_EQ(bytes, QByteArray("\x0A\xFF", 2));
    EXPECT_FALSE(RDFHexToString("0af", bytes));
    EXPECT_TRUE(bytes.isEmpty());
    EXPECT_FALSE(RDFHexToString("0AZZ", bytes));

    TRDMemoryStream memory;
    EXPECT_TRUE(RDFHexToMemory("", memory));
    EXPECT_EQ(memory.Size(), 0);
    EXPECT_FALSE(RDFHexToMemory("ABC", memory));
    EXPECT_TRUE(RDFHexToMemory("00ff10", memory));
    EXPECT_EQ(memory.ToBytes(), QByteArray("\x00\xFF\x10", 3));
    EXPECT_FALSE(RDFHexToMemory("00GG", memory));
    RDFMemoryToHex(memory, hex);
    EXPECT_EQ(hex.size(), 4);

    QByteArray wideHex;
    RDFWideToHex(QString::fromUtf8("A中"), wideHex);
    EXPECT_EQ(wideHex, "00414E2D");
    QString wide;
    EXPECT_TRUE(RDFHexToWide("00414e2d", wide));
    EXPECT_EQ(wide, QString::fromUtf8("A中"));
    EXPECT_FALSE(RDFHexToWide("004", wide));
    EXPECT_TRUE(wide.isEmpty());
}

TEST(RDFFields, IntegerWordQuotedTable)
{
    struct {
        const char* line;
        bool ok;
        int value;
        int stop;  // cursor offset afterwards
    } integers[] = {
        {"-12 x", true, -12, 4},      {"12x", false, 0, 2},          {"-", true, 0, 1},
        {"x", false, 0, 0},           {"2147483647", true, 2147483647, 10},
        {"-2147483648 ", true, -2147483647 - 1, 12},
        {"2147483648", false, 0, 9},  {"99999999999999999999", false, 0, 9},
    };
    for (const auto& c : integers) {
        const char* cursor = c.line;
        int32_t n = 0;
        EXPECT_EQ(RDFReadInteger(cursor, n), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(n, c.value) << c.line;
        }
        EXPECT_EQ(cursor - c.line, c.stop) << c.line;
    }

    const QByteArray line = "\"a \"\"b\"\" c\" next";
    const char* cursor = line.constData();
    QByteArray s;
    ASSERT_TRUE(RDFReadQuoted(cursor, s));
    EXPECT_EQ(s, "a \"b\" c");
    ASSERT_TRUE(RDFReadWord(cursor, s));
    EXPECT_EQ(s, "next");
    EXPECT_FALSE(RDFReadWord(cursor, s));

    const char* open = "\"never closed";
    cursor = open;
    EXPECT_FALSE(RDFReadQuoted(cursor, s));
    EXPECT_EQ(cursor, open);
    const char* endsInDoubled = "\"ab\"\"";
    cursor = endsInDoubled;
    EXPECT_FALSE(RDFReadQuoted(cursor, s));
}

TEST(RDFFields, TagsBothWays)
{
    TRDTag tag;
    const char* cursor = "0 rest";
    ASSERT_TRUE(RDFReadTag(cursor, true, true, tag));
    EXPECT_FALSE(tag.Str.has_value());
    cursor = "\"0\"";
    ASSERT_TRUE(RDFReadTag(cursor, true, true, tag));
    EXPECT_EQ(*tag.Str, "0");
    cursor = "\"unclosed";
    EXPECT_FALSE(RDFReadTag(cursor, true, true, tag));
    cursor = "12a";
    EXPECT_FALSE(RDFReadTag(cursor, false, false, tag));
    cursor = "-5";
    ASSERT_TRUE(RDFReadTag(cursor, false, false, tag));
    EXPECT_EQ(tag.Int, -5);
    cursor = "";
    EXPECT_FALSE(RDFReadTag(cursor, true, false, tag));

    EXPECT_EQ(RDFTagToString(true, TRDTag::FromString("say \"hi\"")), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(RDFTagToString(true, TRDTag()), "0");
    EXPECT_EQ(RDFTagToString(true, TRDTag::FromString("")), "0");
    EXPECT_EQ(RDFTagToString(false, TRDTag::FromInt(-3)), "-3");

    // a written string tag reads back
    const QByteArray written = RDFTagToString(true, TRDTag::FromString("a \"q\" b"));
    cursor = written.constData();
    ASSERT_TRUE(RDFReadTag(cursor, true, true, tag));
    EXPECT_EQ(*tag.Str, "a \"q\" b");
}

TEST(RDFWriting, LinesAndBinaryBlocks)
{
    TRDMemoryStream stream;
    RDFWriteTextLine(stream, QByteArray("a\0", 2), true, false);
    EXPECT_EQ(stream.ToBytes(), QByteArray("a\0\x29\x20", 4));
    RDFWriteTextLine(stream, "x", false, false);
    RDFWriteTextLine(stream, QByteArray("\x0A\xFF", 2), true, true);
    EXPECT_EQ(stream.ToBytes(), QByteArray("a\0\x29\x20x\r\n0AFF\r\n", 13));

    TRDMemoryStream content;
    content.Write("hello", 5);
    TRDMemoryStream blocks;
    RDFSaveStreamBinary(content, blocks);
    RDFWriteBinaryBlock(blocks, "");
    blocks.SetPosition(0);
    QByteArray data;
    ASSERT_TRUE(RDFReadBinaryBlock(blocks, data));
    EXPECT_EQ(data, "hello");
    ASSERT_TRUE(RDFReadBinaryBlock(blocks, data));
    EXPECT_TRUE(data.isEmpty());
    EXPECT_FALSE(RDFReadBinaryBlock(blocks, data));

    // lengths beyond the data or negative fail without reading
    for (const QByteArray& bad : {QByteArray("\x06\x00\x00\x00hello", 9), QByteArray("\xFF\xFF\xFF\xFF", 4),
                                  QByteArray("\x05\x00", 2)}) {
        TRDMemoryStream hostile;
        hostile.LoadFromBytes(bad);
        EXPECT_FALSE(RDFReadBinaryBlock(hostile, data)) << bad.toHex().constData();
    }

    EXPECT_EQ(RDFEncodeLineBreaks("a\r\nb"), "a\x01\x02" "b");
    EXPECT_EQ(RDFDecodeLineBreaks("a\x01\x02" "b"), "a\r\nb");
}
