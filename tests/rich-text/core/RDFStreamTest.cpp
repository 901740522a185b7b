#include <gtest/gtest.h>

#include "core/RDFStream.h"
#include "StdControls.h"

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

// Components: a button in hexadecimal and in a binary block, read into a new
// control, into a given one or into one of a named class; damaged data and
// unknown classes fail and leave no control behind.
TEST(RDFComponents, BothFormsAndFailures)
{
    QWidget parent;
    TButton button;
    button.setObjectName(QStringLiteral("Button1"));
    button.SetCaption(QStringLiteral("确定"));
    button.setGeometry(3, 4, 50, 20);

    QByteArray hex;
    RDFSaveComponentHex(button, hex);
    EXPECT_TRUE(hex.startsWith("545046300754427574746F6E07427574746F6E31"));  // "TPF0", TButton, Button1
    QWidget* read = nullptr;
    ASSERT_TRUE(RDFLoadComponentHex(hex, read, QString(), &parent));
    auto* readButton = dynamic_cast<TButton*>(read);
    ASSERT_NE(readButton, nullptr);
    EXPECT_EQ(readButton->Caption(), QStringLiteral("确定"));
    EXPECT_EQ(readButton->geometry(), QRect(3, 4, 50, 20));
    EXPECT_EQ(read->parentWidget(), &parent);

    TRDMemoryStream stream;
    RDFSaveComponentBinary(stream, button);
    stream.SetPosition(0);
    QByteArray block;
    ASSERT_TRUE(RDFReadBinaryBlock(stream, block));
    QByteArray raw;
    ASSERT_TRUE(RDFHexToString(hex, raw));
    EXPECT_EQ(block, raw);

    // Into a given control, and with a class name: a new control of that class replaces it.
    TButton given;
    QWidget* into = &given;
    ASSERT_TRUE(RDFLoadComponentBinary(block, into, QString(), nullptr));
    EXPECT_EQ(into, &given);
    EXPECT_EQ(given.Caption(), QStringLiteral("确定"));
    QWidget* replaced = new TEdit;
    ASSERT_TRUE(RDFLoadComponentBinary(block, replaced, QStringLiteral("TPanel"), nullptr));
    EXPECT_NE(dynamic_cast<TPanel*>(replaced), nullptr);  // the button's properties read into a panel
    EXPECT_EQ(replaced->geometry(), QRect(3, 4, 50, 20));
    delete replaced;

    QWidget* unknown = nullptr;
    EXPECT_FALSE(RDFLoadComponentBinary(block, unknown, QStringLiteral("TMemo"), nullptr));
    EXPECT_EQ(unknown, nullptr);

    const QByteArray bad[] = {raw.left(raw.size() - 1), raw + "x", QByteArray("TPF0"), QByteArray()};
    for (const QByteArray& data : bad) {
        QWidget* control = new TButton;
        EXPECT_FALSE(RDFLoadComponentBinary(data, control, QString(), nullptr)) << data.toHex().constData();
        EXPECT_EQ(control, nullptr);  // freed
    }
    // Hexadecimal that is not whole gives nothing.
    QWidget* partly = nullptr;
    EXPECT_FALSE(RDFLoadComponentHex(hex + "G0", partly, QString(), nullptr));
    EXPECT_EQ(partly, nullptr);
    QWidget* odd = nullptr;
    EXPECT_FALSE(RDFLoadComponentHex(hex.chopped(1), odd, QString(), nullptr));
    EXPECT_EQ(odd, nullptr);
    delete read;
}

TEST(RDFComponents, NestingIsBounded)
{
    TPanel outer;
    QWidget* parent = &outer;
    for (int i = 0; i < 100; ++i)
        parent = new TPanel(parent);
    QByteArray hex;
    RDFSaveComponentHex(outer, hex);
    QWidget* read = nullptr;
    EXPECT_FALSE(RDFLoadComponentHex(hex, read, QString(), nullptr));
    EXPECT_EQ(read, nullptr);
}
