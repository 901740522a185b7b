// RDF of documents: hand-written files read to the expected items and
// written back byte for byte; hostile files fail without harm.

#include <gtest/gtest.h>

#include <QtCore/QFile>

#include "RDDocTestSupport.h"
#include "RDFTestIO.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "document/RDTextItems.h"

namespace {

QByteArray Fixture(const char* name)
{
    QFile file(QStringLiteral(RDF_FIXTURES "/") + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

class RDFDocumentTest : public ::testing::Test {
protected:
    RDFDocumentTest()
    {
        Sheet.TextStyles()[1]->Unicode = true;
        Sheet.ParaStyles()[0]->DefStyleNo = -1;
    }
    TTestStyleSheet Sheet;
    TTestRDData Doc{&Sheet};
};

TEST_F(RDFDocumentTest, HelloIsThreeLines)
{
    Doc.AddTextRawNoTag("Hello", 0, 0);
    EXPECT_EQ(Save(Doc), QByteArray("-8 1 3\r\n0 1 0 0 0 0\r\nHello\r\n"));
    EXPECT_EQ(Save(Doc), Fixture("hello.rdf"));
}

struct TRoundTripCase {
    const char* File;
    TRDFOptions Options;
    int Items;
    bool WrittenBackSame;
    bool UnicodeStyle = false;
};

void PrintTo(const TRoundTripCase& c, std::ostream* os)
{
    *os << c.File;
}

class RDFRoundTripTest : public RDFDocumentTest, public ::testing::WithParamInterface<TRoundTripCase> {};

TEST_P(RDFRoundTripTest, ReadsAndWritesBack)
{
    const TRoundTripCase& c = GetParam();
    Sheet.TextStyles()[0]->Unicode = c.UnicodeStyle;
    Doc.RDFOptions = c.Options;
    const QByteArray bytes = Fixture(c.File);
    ASSERT_TRUE(Load(Doc, bytes)) << c.File;
    EXPECT_EQ(Doc.ItemCount(), c.Items) << c.File;
    if (c.WrittenBackSame) {
        EXPECT_EQ(Save(Doc), bytes) << c.File;
    }
    // What this program writes reads back to the same bytes.
    const QByteArray written = Save(Doc);
    TTestRDData again(&Sheet);
    again.RDFOptions = c.Options;
    ASSERT_TRUE(Load(again, written));
    EXPECT_EQ(Save(again), written);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RDFRoundTripTest,
    ::testing::Values(TRoundTripCase{"hello.rdf", 0, 1, true}, TRoundTripCase{"three-paragraphs.rdf", 0, 3, true},
                      TRoundTripCase{"no-version.rdf", 0, 3, false}, TRoundTripCase{"version-1-2.rdf", 0, 3, false},
                      TRoundTripCase{"lf-only.rdf", 0, 3, false}, TRoundTripCase{"para2-options0.rdf", 0, 4, true},
                      TRoundTripCase{"para2-options4.rdf", 0, 4, false}, TRoundTripCase{"para-minus1.rdf", 0, 4, false},
                      TRoundTripCase{"utf16-hex.rdf", 0, 1, true, true},
                      TRoundTripCase{"utf16-binary.rdf", rdfoSaveBinary, 1, true, true},
                      TRoundTripCase{"break.rdf", 0, 1, true}, TRoundTripCase{"tab.rdf", 0, 3, true},
                      TRoundTripCase{"doc-parameters.rdf", rdfoLoadDocProperties | rdfoSaveDocProperties, 1, true},
                      TRoundTripCase{"trailing-checkpoint.rdf", 0, 1, true}));

TEST_F(RDFDocumentTest, OlderVersionsReadTheSameThreeParagraphs)
{
    for (const char* file : {"no-version.rdf", "version-1-2.rdf", "lf-only.rdf", "three-paragraphs.rdf"}) {
        TTestRDData doc(&Sheet);
        ASSERT_TRUE(Load(doc, Fixture(file))) << file;
        ASSERT_EQ(doc.ItemCount(), 3);
        EXPECT_EQ(doc.TextOfItem(2), QByteArray("Three"));
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(doc.StartsParagraph(i)) << file;
        EXPECT_EQ(Save(doc), Fixture("three-paragraphs.rdf"));
    }
}

TEST_F(RDFDocumentTest, ParaNoAndOptionsPlaceTheLines)
{
    ASSERT_TRUE(Load(Doc, Fixture("para2-options0.rdf")));
    for (int i = 1; i < 4; ++i) {
        EXPECT_TRUE(Doc.StartsParagraph(i));
        EXPECT_EQ(Doc.ParaOfItem(i), 2);
    }
    TTestRDData lines(&Sheet);
    ASSERT_TRUE(Load(lines, Fixture("para2-options4.rdf")));
    for (int i = 1; i < 4; ++i) {
        EXPECT_FALSE(lines.StartsParagraph(i));
        EXPECT_TRUE(lines.StartsNewLine(i));
    }
    TTestRDData continued(&Sheet);
    ASSERT_TRUE(Load(continued, Fixture("para-minus1.rdf")));
    for (int i = 1; i < 4; ++i) {
        EXPECT_FALSE(continued.StartsNewLine(i));
        EXPECT_EQ(continued.ParaOfItem(i), 1);
    }
}

TEST_F(RDFDocumentTest, UnknownStylesFailOrBecomeZero)
{
    EXPECT_FALSE(Load(Doc, Fixture("unknown-style.rdf")));
    EXPECT_EQ(Doc.Warnings, 0x04);
    EXPECT_EQ(Doc.ItemCount(), 0);

    Doc.RDFOptions = rdfoConvUnknownStylesToZero;
    ASSERT_TRUE(Load(Doc, Fixture("unknown-style.rdf")));
    EXPECT_EQ(Doc.Warnings, 0x04);
    ASSERT_EQ(Doc.ItemCount(), 1);
    EXPECT_EQ(Doc.ItemAt(0)->StyleNo, 0);

    // A paragraph style past the map fails even with the conversion on.
    Doc.ParaMap = std::make_unique<TRDIntegerList>(TRDIntegerList::CreateFilled(2, 0));
    EXPECT_FALSE(Load(Doc, Fixture("unknown-para.rdf")));
    EXPECT_EQ(Doc.Warnings, 0x04);
    EXPECT_EQ(Doc.ParaMap, nullptr);
}

TEST_F(RDFDocumentTest, TrailingCheckpointBecomesPending)
{
    ASSERT_TRUE(Load(Doc, Fixture("trailing-checkpoint.rdf")));
    ASSERT_NE(Doc.PendingCP, nullptr);
    EXPECT_EQ(Doc.PendingCP->Name, QStringLiteral("mark"));
    EXPECT_TRUE(Doc.PendingCP->RaiseEvent);
    EXPECT_EQ(Doc.CPCount, 1);
    // The next item added takes it.
    Doc.AddTextRawNoTag("Y", 0, 0);
    EXPECT_EQ(Doc.PendingCP, nullptr);
    ASSERT_NE(Doc.CheckpointOfItem(1), nullptr);
    EXPECT_EQ(Doc.FirstCP, Doc.CheckpointOfItem(1));
}

TEST_F(RDFDocumentTest, CheckpointBeforeAnItemTravels)
{
    Doc.AddTextRawNoTag("a", 0, 0);
    Doc.SetPendingCheckpoint(QStringLiteral("cp"), false, TRDTag::FromInt(7));
    Doc.AddTextRawNoTag("b", 0, 0);
    const QByteArray bytes = Save(Doc);
    EXPECT_EQ(bytes, QByteArray("-8 1 3\r\n0 1 0 0 0 0\r\na\r\n-2 1 0 0 0 7 0 0\r\ncp\r\n0 1 0 0 0 0\r\nb\r\n"));
    TTestRDData back(&Sheet);
    ASSERT_TRUE(Load(back, bytes));
    ASSERT_NE(back.CheckpointOfItem(1), nullptr);
    EXPECT_EQ(back.CheckpointOfItem(1)->Tag.Int, 7);
    EXPECT_EQ(back.CPCount, 1);
}

TEST_F(RDFDocumentTest, CheckpointNamesKeepBytesThatAreNoGbkCharacter)
{
    const QByteArray bytes("-8 1 3\r\n0 1 0 0 0 0\r\na\r\n-2 1 0 0 0 7 0 0\r\n\x80" "cp\xFF\x81\r\n0 1 0 0 0 0\r\nb\r\n");
    ASSERT_TRUE(Load(Doc, bytes));
    EXPECT_EQ(Save(Doc).toHex(' ').toStdString(), bytes.toHex(' ').toStdString());
}

TEST_F(RDFDocumentTest, Utf16AndGbkFollowTheStyle)
{
    // 中 as UTF-16 into a Unicode style stays UTF-16.
    Sheet.TextStyles()[0]->Unicode = true;
    ASSERT_TRUE(Load(Doc, Fixture("utf16-hex.rdf")));
    EXPECT_EQ(Doc.TextOfItem(0), QByteArray("\x2d\x4e"));
    EXPECT_EQ(Doc.Warnings, 0);
    // Into a style that is not Unicode it becomes GBK.
    Sheet.TextStyles()[0]->Unicode = false;
    for (const char* file : {"utf16-hex.rdf", "utf16-binary.rdf"}) {
        ASSERT_TRUE(Load(Doc, Fixture(file))) << file;
        EXPECT_EQ(Doc.TextOfItem(0), QByteArray("\xd6\xd0")) << file;
        EXPECT_FALSE(Doc.ItemOptionsOf(0) & rdioUnicode);
        EXPECT_EQ(Doc.Warnings, 0x20);
    }
    // GBK into a Unicode style becomes UTF-16.
    Sheet.TextStyles()[0]->Unicode = true;
    ASSERT_TRUE(Load(Doc, Fixture("gbk.rdf")));
    EXPECT_EQ(Doc.TextOfItem(0), QByteArray("\x2d\x4e"));
    EXPECT_TRUE(Doc.ItemOptionsOf(0) & rdioUnicode);
    EXPECT_EQ(Doc.Warnings, 0x10);
}

TEST_F(RDFDocumentTest, BreakAndTabItems)
{
    ASSERT_TRUE(Load(Doc, Fixture("break.rdf")));
    auto* line = dynamic_cast<TRDBreakItemInfo*>(Doc.ItemAt(0));
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->Color, clNone);
    EXPECT_EQ(line->LineWidth, 1);
    EXPECT_EQ(line->BreakStyle, 0);

    ASSERT_TRUE(Load(Doc, Fixture("tab.rdf")));
    ASSERT_EQ(Doc.ItemCount(), 3);
    EXPECT_NE(dynamic_cast<TRDTabItemInfo*>(Doc.ItemAt(1)), nullptr);
    EXPECT_FALSE(Doc.StartsNewLine(1));
    EXPECT_FALSE(Doc.StartsNewLine(2));
    EXPECT_EQ(Doc.TextOfItem(2), QByteArray("right"));
}

TEST_F(RDFDocumentTest, LandscapeA4Parameters)
{
    Doc.RDFOptions = rdfoLoadDocProperties | rdfoSaveDocProperties;
    ASSERT_TRUE(Load(Doc, Fixture("doc-parameters.rdf")));
    ASSERT_NE(Doc.Params, nullptr);
    EXPECT_EQ(Doc.Params->Units, TRDUnits::rduMillimeters);
    EXPECT_EQ(Doc.Params->Orientation, TPrinterOrientation::poLandscape);
    EXPECT_DOUBLE_EQ(Doc.Params->PageWidth, 297);
    EXPECT_EQ(Doc.Params->StoredValueCount(), 4);
    TRDMemoryStream rtf;
    Doc.Params->SaveRTFToStream(rtf);
    EXPECT_TRUE(rtf.ToBytes().startsWith("\\landscape\\paperw16838\\paperh11906"));
}

TEST_F(RDFDocumentTest, LayoutBlockInBothForms)
{
    Doc.AddTextRawNoTag("X", 0, 0);
    TRDLayoutInfo layout;
    layout.LeftMargin = 5;
    layout.MaxTextWidth = 600;
    layout.BiDiMode = TRDBiDiMode::rdbdLeftToRight;
    for (TRDFOptions binary : {TRDFOptions(0), TRDFOptions(rdfoSaveBinary)}) {
        Doc.RDFOptions = rdfoSaveLayout | rdfoLoadLayout | binary;
        const QByteArray bytes = Save(Doc, &layout);
        TTestRDData back(&Sheet);
        back.RDFOptions = Doc.RDFOptions;
        TRDLayoutInfo read;
        ASSERT_TRUE(Load(back, bytes, &read));
        EXPECT_TRUE(read.Loaded);
        EXPECT_EQ(read.LeftMargin, 5);
        EXPECT_EQ(read.MaxTextWidth, 600);
        EXPECT_EQ(read.BiDiMode, TRDBiDiMode::rdbdLeftToRight);
        EXPECT_EQ(back.ItemCount(), 1);
        EXPECT_EQ(Save(back, &read), bytes);
    }
    // A margin block shorter than its fields is refused.
    Doc.RDFOptions = rdfoLoadLayout;
    TRDLayoutInfo small;
    EXPECT_FALSE(Load(Doc, Fixture("layout-small.rdf"), &small));
    EXPECT_FALSE(small.Loaded);
    EXPECT_THROW(small.LoadFromBytes(QByteArray("\0\0\0\0\x04\0\0\0\1\0\0\0", 12)), ERichDocError);
}

TEST_F(RDFDocumentTest, HostileFilesFailAndLeaveTheDocumentSound)
{
    Doc.RDFOptions = rdfoLoadLayout;
    for (const char* file : {"truncated-block.rdf", "length-past-end.rdf", "linecount-beyond.rdf",
                             "twenty-digits.rdf", "odd-hex.rdf"}) {
        TTestRDData doc(&Sheet);
        doc.RDFOptions = rdfoLoadLayout;
        TRDLayoutInfo layout;
        EXPECT_FALSE(Load(doc, Fixture(file), &layout)) << file;
        // What was read stays whole and writes out again.
        for (int i = 0; i < doc.ItemCount(); ++i)
            EXPECT_NE(doc.ItemAt(i), nullptr);
        TRDMemoryStream out;
        EXPECT_TRUE(doc.SaveRDF(out, 0, nullptr, nullptr, clNone));
    }
    // A UTF-16 line that never ends, and a block length below zero.
    EXPECT_FALSE(Load(Doc, QByteArray("-8 1 3\r\n0 1 0 8 0 0\r\n\x2d\x4e\x2d")));
    EXPECT_FALSE(Load(Doc, QByteArray("-8 1 3\r\n-9 2 0 0 2 0 3\r\n\r\n\xff\xff\xff\xff", 30)));
    // A UTF-16 line needs CR LF before it.
    EXPECT_FALSE(Load(Doc, QByteArray("-8 1 3\n0 1 0 8 0 0\n\x2d\x4e\x29\x20")));
}

TEST_F(RDFDocumentTest, StringTagsAndStyleNames)
{
    Doc.Options = rdoTagsArePChars;
    Doc.RDFOptions = rdfoUseStyleNames;
    Doc.AddTextRaw("x", 2, 1, TRDTag::FromString("a\"b"));
    Doc.AddTextRawNoTag("y", 0, 0);
    const QByteArray bytes = Save(Doc);
    EXPECT_EQ(bytes, QByteArray("-8 1 3\r\n\"Subheading\" 1 \"Centered\" 0 0 \"a\"\"b\"\r\nx\r\n"
                                "\"Normal text\" 1 \"Paragraph Style\" 0 0 0\r\ny\r\n"));
    TTestRDData back(&Sheet);
    back.Options = rdoTagsArePChars;
    back.RDFOptions = rdfoUseStyleNames;
    ASSERT_TRUE(Load(back, bytes));
    EXPECT_EQ(back.ItemAt(0)->StyleNo, 2);
    EXPECT_EQ(back.ParaOfItem(0), 1);
    EXPECT_EQ(*back.TagOfItem(0).Str, QByteArray("a\"b"));
    EXPECT_FALSE(back.TagOfItem(1).Str.has_value());
    EXPECT_EQ(Save(back), bytes);
}

TEST_F(RDFDocumentTest, StyleTablesTravelAsLinesOrBlocks)
{
    Sheet.TextStyles()[2]->Unicode = true;
    TFontInfo* added = Sheet.TextStyles().Add();
    added->StyleName = QStringLiteral("Added");
    added->Size = 14;
    Doc.AddTextRawNoTag("x", 0, 0);
    for (TRDFOptions binary : {TRDFOptions(0), TRDFOptions(rdfoSaveBinary)}) {
        Doc.RDFOptions = rdfoSaveTextStyles | rdfoSaveParaStyles | binary;
        const QByteArray bytes = Save(Doc);
        EXPECT_TRUE(bytes.startsWith(binary ? "-8 1 3\r\n-9 2 0 0 2 0 1\r\n\r\n" : "-8 1 3\r\n-9 2 0 0 0 0 1\r\n\r\n0E"));
        // A whole-document load takes the tables over.
        TTestStyleSheet other;
        TTestRDData back(&other);
        back.RDFOptions = Doc.RDFOptions;
        ASSERT_TRUE(Load(back, bytes));
        EXPECT_EQ(back.Warnings, 0);
        ASSERT_EQ(other.TextStyles().Count(), 7);
        EXPECT_EQ(other.TextStyles()[6]->StyleName, QStringLiteral("Added"));
        EXPECT_TRUE(other.TextStyles()[2]->Unicode);
        EXPECT_EQ(other.ParaStyles().Count(), 3);
        EXPECT_EQ(Save(back), bytes);
    }
    // Inserted into another document, the styles read are merged and mapped.
    Doc.RDFOptions = rdfoSaveTextStyles;
    Doc.Clear();
    Doc.AddTextRawNoTag("added", 6, 0);
    const QByteArray bytes = Save(Doc);
    TTestStyleSheet other;
    TTestRDData into(&other);
    into.AddTextRawNoTag("first", 0, 0);
    TRDMemoryStream stream;
    stream.LoadFromBytes(bytes);
    stream.SetPosition(0);
    TColor color = clNone;
    ASSERT_TRUE(into.InsertFromRDF(stream, 1, color, nullptr, nullptr, false));
    ASSERT_EQ(into.ItemCount(), 2);
    // The style read is appended there and the item points at it.
    const int styleNo = into.ItemAt(1)->StyleNo;
    ASSERT_GE(styleNo, 6);
    ASSERT_LT(styleNo, other.TextStyles().Count());
    EXPECT_EQ(other.TextStyles()[styleNo]->Size, 14);
    EXPECT_EQ(other.TextStyles()[styleNo]->StyleName, QStringLiteral("Added"));
    EXPECT_EQ(into.TextMap, nullptr);
    // A table that is not a collection stops the read.
    QByteArray broken = bytes;
    broken.replace("\r\n\r\n0E", "\r\n\r\n0F");
    TTestRDData refused(&other);
    EXPECT_FALSE(Load(refused, broken));
}

// The check-result document: each paragraph three styled texts, built with
// the viewer's calls, saved in both forms and read back equal.
TEST_F(RDFDocumentTest, CheckResultDocumentRoundTrips)
{
    for (int p = 0; p < 20; ++p) {
        Doc.AddTextRawNoTag(QByteArray::number(p + 1) + ". ", 0, 0);
        Doc.AddTextRawNoTag("word", 2, -1);
        Doc.AddTextRawNoTag("\xd5\xfd\xc8\xb7", 3, -1);
    }
    for (TRDFOptions options : {TRDFOptions(0), TRDFOptions(rdfoSaveBinary)}) {
        Doc.RDFOptions = options;
        const QByteArray bytes = Save(Doc);
        TTestRDData back(&Sheet);
        back.RDFOptions = options;
        ASSERT_TRUE(Load(back, bytes));
        ASSERT_EQ(back.ItemCount(), Doc.ItemCount());
        for (int i = 0; i < Doc.ItemCount(); ++i) {
            EXPECT_EQ(back.TextOfItem(i), Doc.TextOfItem(i));
            EXPECT_EQ(back.ItemAt(i)->StyleNo, Doc.ItemAt(i)->StyleNo);
            EXPECT_EQ(back.ItemOptionsOf(i), Doc.ItemOptionsOf(i));
        }
        EXPECT_EQ(Save(back), bytes);
    }
}

TEST_F(RDFDocumentTest, SelectionWritesPartsAndWholeItems)
{
    TTestSelectionData doc(&Sheet);
    doc.AddTextRawNoTag("Hello", 0, 0);
    doc.AddTextRawNoTag("middle", 2, 0);
    doc.AddTextRawNoTag("World", 0, 0);
    doc.Selection = TRDSaveRange{0, 2, 3, 3, 0, 0, nullptr};
    TRDMemoryStream stream;
    ASSERT_TRUE(doc.SaveRDF(stream, 1, nullptr, nullptr, clNone));
    EXPECT_EQ(stream.ToBytes(), QByteArray("-8 1 3\r\n0 1 -1 0 0 0\r\nllo\r\n2 1 0 0 0 0\r\nmiddle\r\n"
                                           "0 1 0 0 0 0\r\nWo\r\n"));
    // Inside one item: one part.
    doc.Selection = TRDSaveRange{1, 1, 2, 4, 0, 0, nullptr};
    TRDMemoryStream inside;
    ASSERT_TRUE(doc.SaveRDF(inside, 1, nullptr, nullptr, clNone));
    EXPECT_EQ(inside.ToBytes(), QByteArray("-8 1 3\r\n2 1 -1 0 0 0\r\nid\r\n"));
    TRDMemoryStream text;
    ASSERT_TRUE(doc.SaveTextToStream({}, text, 80, true, false, false, false));
    EXPECT_EQ(text.ToBytes(), QByteArray("id"));
}

// An item holding documents: it writes what is selected inside it, and the
// part codes it is given.
class TCellsItem : public TRDRectItemInfo {
public:
    using TRDRectItemInfo::TRDRectItemInfo;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* d) const override { return new TCellsItem(d); }
    void SaveRDF(TRDStream& stream, TCustomRDData*, int, int, const QByteArray&, bool, int partCode) const override
    {
        RDFWriteLine(stream, "part " + QByteArray::number(partCode));
    }
    void SaveRDFSelection(TRDStream& stream, TCustomRDData*, int paraNo) const override
    {
        RDFWriteLine(stream, "inside " + QByteArray::number(paraNo));
    }
};

TEST_F(RDFDocumentTest, SelectionInsideItemsIsWrittenByThem)
{
    TTestSelectionData doc(&Sheet);
    auto* cells = new TCellsItem(&doc);
    cells->StyleNo = -401;
    doc.AddItem({}, cells);
    doc.AddTextRawNoTag("text", 0, 0);
    auto* more = new TCellsItem(&doc);
    more->StyleNo = -401;
    doc.AddItem({}, more);
    auto saved = [&](const TRDSaveRange& range) {
        doc.Selection = range;
        TRDMemoryStream stream;
        EXPECT_TRUE(doc.SaveRDF(stream, 1, nullptr, nullptr, clNone));
        return stream.ToBytes();
    };
    // The whole selection inside one item.
    EXPECT_EQ(saved(TRDSaveRange{0, 0, 0, 1, 0, 0, cells}), QByteArray("-8 1 3\r\ninside 0\r\n"));
    RDFSaveNestedSelection = false;
    EXPECT_EQ(saved(TRDSaveRange{0, 0, 0, 1, 0, 0, cells}), QByteArray("-8 1 3\r\n"));
    RDFSaveNestedSelection = true;
    // Both ends inside items: they write their parts, the items between whole.
    EXPECT_EQ(saved(TRDSaveRange{0, 2, 0, 1, 5, 6, nullptr}),
              QByteArray("-8 1 3\r\npart 5\r\n0 1 0 0 0 0\r\ntext\r\npart 6\r\n"));
    EXPECT_EQ(saved(TRDSaveRange{0, 1, 0, 5, 5, 0, nullptr}), QByteArray("-8 1 3\r\npart 5\r\n0 1 0 0 0 0\r\ntext\r\n"));
    // Plain text of a selection inside an item is the item's business.
    doc.Selection = TRDSaveRange{0, 0, 0, 1, 0, 0, cells};
    TRDMemoryStream text;
    EXPECT_TRUE(doc.SaveTextToStream({}, text, 80, true, false, false, false));
    EXPECT_TRUE(text.ToBytes().isEmpty());
}

// An item whose one data line says how deep the documents nested in it go;
// it reads the next one into a document of its own, as notes and table
// cells read theirs inside the read of their item.
QByteArray Nest(int levels)
{
    if (levels == 0)
        return "-8 1 3\r\n0 1 0 0 0 0\r\nin\r\n";
    return "-8 1 3\r\n-400 1 0 0 0 0 0\r\n" + QByteArray::number(levels - 1) + "\r\n";
}

class TNestingItem : public TRDRectItemInfo {
public:
    using TRDRectItemInfo::TRDRectItemInfo;
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* d) const override { return new TNestingItem(d); }
    static TTestStyleSheet* Sheet;
    bool ReadRDFLine(const QByteArray& line, TCustomRDData*, int, int, int, QByteArray&, int&, int&) override
    {
        TTestRDData nested(Sheet);
        return Load(nested, Nest(line.toInt()));
    }
};
TTestStyleSheet* TNestingItem::Sheet = nullptr;

TCustomRDItemInfo* MakeNestingItem(TCustomRDData* d) { return new TNestingItem(d); }

TEST_F(RDFDocumentTest, NestedReadsStopAtSixtyFourLevels)
{
    RegisterRDItemType(-400, &MakeNestingItem);
    TNestingItem::Sheet = &Sheet;
    EXPECT_TRUE(Load(Doc, Nest(10)));
    EXPECT_EQ(Doc.ItemCount(), 1);
    EXPECT_TRUE(Load(Doc, Nest(RDFMaxNestingDepth - 1)));
    EXPECT_FALSE(Load(Doc, Nest(RDFMaxNestingDepth)));
}

// A memory stream is read where it lies: what the document keeps is its own
// copy, and the stream ends up after what was read.
TEST_F(RDFDocumentTest, ReadItemsOwnTheirBytes)
{
    for (const QByteArray& file : {QByteArray("-8 1 3\r\n0 1 0 0 0 0\r\nHello"),
                                   QByteArray("-8 1 3\r\n0 1 0 0 0 0\r\nHello\r\n0 1 0 0 0 0\r\nWorld\r\n")}) {
        TRDMemoryStream stream;
        stream.LoadFromBytes(file);
        stream.SetPosition(0);
        TColor color = clNone;
        ASSERT_TRUE(Doc.LoadFromRDF(stream, color, nullptr, nullptr));
        EXPECT_EQ(stream.Position(), file.size());
        std::memset(stream.Memory(), 'x', file.size());
        EXPECT_EQ(Doc.TextOfItem(0), QByteArray("Hello"));
    }
}

}  // namespace
