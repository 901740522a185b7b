#include <gtest/gtest.h>

#include "ComponentStream.h"

namespace {
QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}
}  // namespace

TEST(ComponentStream, IntegersTakeTheSmallestForm)
{
    struct {
        int32_t value;
        const char* hex;
    } cases[] = {{0, "0200"},          {127, "027F"},          {-128, "0280"},       {128, "038000"},
                 {-129, "037FFF"},     {32767, "03FF7F"},      {32768, "0400800000"}, {-2147483647 - 1, "0400000080"}};
    for (const auto& c : cases) {
        TComponentWriter writer;
        writer.WriteInteger(c.value);
        EXPECT_EQ(writer.Data(), Hex(c.hex)) << c.value;
        TComponentReader reader(writer.Data());
        EXPECT_EQ(reader.ReadInteger(), c.value);
        EXPECT_TRUE(reader.AtEnd());
    }
}

TEST(ComponentStream, StringsIdentifiersAndSets)
{
    TComponentWriter writer;
    writer.WriteString(QStringLiteral("宋体"));
    writer.WriteString(QString(300, u'x'));
    writer.WriteIdent(QStringLiteral("True"));
    writer.WriteSet(0b101, {"fsBold", "fsItalic", "fsUnderline"});
    writer.WriteColor(0x0000FF);
    writer.WriteColor(0x123456);
    writer.WriteCursor(-21);
    writer.WriteCursor(101);
    writer.WriteCharset(134);
    const QByteArray& data = writer.Data();
    EXPECT_EQ(data.left(6), Hex("0604CBCECCE5"));
    EXPECT_EQ(data.mid(6, 5), Hex("0C2C010000"));

    TComponentReader reader(data);
    EXPECT_EQ(reader.ReadString(), QStringLiteral("宋体"));
    EXPECT_EQ(reader.ReadString(), QString(300, u'x'));
    EXPECT_TRUE(reader.ReadBoolean());
    EXPECT_EQ(reader.ReadSet({"fsBold", "fsItalic", "fsUnderline"}), 0b101u);
    EXPECT_EQ(reader.ReadColor(), 0x0000FFu);
    EXPECT_EQ(reader.ReadColor(), 0x123456u);
    EXPECT_EQ(reader.ReadCursor(), -21);
    EXPECT_EQ(reader.ReadCursor(), 101);
    EXPECT_EQ(reader.ReadCharset(), 134);
    EXPECT_TRUE(reader.AtEnd());

    // Identifier and integer forms of the constants both read.
    TComponentReader idents(Hex("070C636C57696E646F775465787404FFFFFF1F070B637248616E64506F696E740703414E53495F43484152534554"));
    EXPECT_EQ(idents.ReadColor(), clWindowText);
    EXPECT_EQ(idents.ReadColor(), clNone);
    EXPECT_EQ(idents.ReadCursor(), -21);
    EXPECT_THROW(idents.ReadCharset(), EComponentStreamError);  // a name cut short

    // UTF-16 and UTF-8 strings read too.
    TComponentReader wide(Hex("12020000002D4E87651403000000E4B8AD"));
    EXPECT_EQ(wide.ReadString(), QStringLiteral("中文"));
    EXPECT_EQ(wide.ReadString(), QStringLiteral("中"));
}

TEST(ComponentStream, DamagedDataFailsCleanly)
{
    const char* bad[] = {
        "06",                // length missing
        "0605414243",        // string shorter than its length
        "0CFFFFFF7F41",      // four-byte length far past the end
        "0AFFFFFFFF",        // binary length beyond any size
        "0B05667342",        // set member cut short
        "04010203",          // integer cut short
        "FF",                // unknown value type
    };
    for (const char* hex : bad) {
        TComponentReader reader(Hex(hex));
        EXPECT_THROW(reader.SkipValue(), EComponentStreamError) << hex;
    }
    TComponentReader notInteger(Hex("0603616263"));
    EXPECT_THROW(notInteger.ReadInteger(), EComponentStreamError);

    // Lists nested deeper than the limit fail instead of exhausting the stack.
    QByteArray deep(100000, '\x01');
    deep.append(QByteArray(100000, '\0'));
    TComponentReader nested(deep);
    EXPECT_THROW(nested.SkipValue(), EComponentStreamError);
}

TEST(ComponentStream, StoredComponents)
{
    TComponentWriter writer;
    writer.WriteComponentStart("TButton", "btnOK");
    writer.WritePropName("Caption");
    writer.WriteString(QStringLiteral("确定"));
    writer.WriteComponentEnd();
    EXPECT_EQ(writer.Data(), Hex("545046300754427574746F6E0562746E4F4B0743617074696F6E0604C8B7B6A80000"));

    TComponentReader reader(writer.Data());
    QString className, name;
    reader.ReadComponentStart(className, name);
    EXPECT_EQ(className, "TButton");
    EXPECT_EQ(name, "btnOK");
    EXPECT_EQ(reader.ReadPropName(), "Caption");
    EXPECT_EQ(reader.ReadString(), QStringLiteral("确定"));
    EXPECT_TRUE(reader.EndOfList());
    reader.ReadComponentEnd();
    EXPECT_TRUE(reader.AtEnd());

    // An owned component with position flags is skipped.
    TComponentReader owner(Hex("54504630065450616E656C015000" "F2020A06544C6162656C014C0743617074696F6E0601780000" "00"));
    owner.ReadComponentStart(className, name);
    EXPECT_EQ(className, "TPanel");
    EXPECT_TRUE(owner.EndOfList());
    owner.ReadComponentEnd();
    EXPECT_TRUE(owner.AtEnd());

    TComponentReader wrong(Hex("5450463107"));
    EXPECT_THROW(wrong.ReadComponentStart(className, name), EComponentStreamError);
}
