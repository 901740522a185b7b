// The table's file forms: component streaming of the table and its cells, and its RDF record.

#include <gtest/gtest.h>

#include <QtCore/QtEndian>
#include <QtGui/QImage>

#include <functional>
#include <memory>

#include <utility>
#include <vector>

#include "ComponentStream.h"
#include "RDTableTestSupport.h"
#include "core/RDFStream.h"
#include "tables/RDTable.h"
#include "tables/RDTableStream.h"

namespace {

// Merges a rectangle of a new table by hand: the covered positions become
// nil and the top-left cell takes the spans.
void StreamTestMerge(TRDTableItemInfo& table, int row, int col, int colSpan, int rowSpan)
{
    for (int r = row; r < row + rowSpan; ++r)
        for (int c = col; c < col + colSpan; ++c)
            if (r != row || c != col)
                table.Rows->Row(r)->PutCell(c, nullptr);
    table.GetCell(row, col)->ColSpan = colSpan;
    table.GetCell(row, col)->RowSpan = rowSpan;
}

void StreamTestSetText(TRDTableCellData& cell, const QByteArray& text)
{
    cell.Clear();
    cell.AddTextConverted(text, 0, 0, TRDTag());
}

QByteArray StreamTestCellText(TRDTableCellData& cell)
{
    QByteArray all;
    for (int i = 0; i < cell.ItemCount(); ++i)
        all += cell.TextOfItem(i);
    return all;
}

// What a written component's "C" holds: N, M and the spans of each entry.
struct TStreamCells {
    int Rows = 0;
    int Cols = 0;
    std::vector<std::pair<int, int>> Spans;  // (column span, row span)
};

TStreamCells StreamTestCells(const QByteArray& component)
{
    TStreamCells cells;
    TComponentReader r(component);
    QString className;
    QString name;
    r.ReadComponentStart(className, name);
    while (!r.EndOfList()) {
        if (r.ReadPropName() != QLatin1String("C")) {
            r.SkipValue();
            continue;
        }
        cells.Rows = r.ReadInteger();
        if (cells.Rows == 0)
            continue;
        cells.Cols = r.ReadInteger();
        EXPECT_EQ(r.ReadValueType(), TValueType::vaList);
        while (!r.EndOfList()) {
            const int colSpan = r.ReadInteger();
            const int rowSpan = r.ReadInteger();
            cells.Spans.push_back({colSpan, rowSpan});
            r.ReadComponentStart(className, name);
            while (!r.EndOfList()) {
                r.ReadPropName();
                r.SkipValue();
            }
            r.ReadComponentEnd();
        }
    }
    return cells;
}

QByteArray StreamTestWrite(TRDTableItemInfo& table, const TRDTableStreamSaveInfo& info)
{
    TRDTableSW wrapper;
    wrapper.T = &table;
    return wrapper.Write(info);
}

// The table read from a component into a new table of the document;
// false when the read fails.
bool StreamTestRead(TRDTableItemInfo& into, const QByteArray& component)
{
    TRDTableSW wrapper;
    wrapper.T = &into;
    const TRDTableStreamSaveInfo whole(into);
    try {
        wrapper.Read(component, whole);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// The hexadecimal line of the table's component inside an RDF text, swapped
// for the hexadecimal of other bytes.
QByteArray StreamTestSwapComponent(const QByteArray& rdf, const QByteArray& old, const QByteArray& replacement)
{
    QByteArray oldHex;
    QByteArray newHex;
    RDFStringToHex(old, oldHex);
    RDFStringToHex(replacement, newHex);
    EXPECT_TRUE(rdf.contains(oldHex));
    QByteArray result = rdf;
    return result.replace(oldHex, newHex);
}

// A component of a table: a bare "C" of n x m with the given entries
// (column span, row span, each with an empty cell).
QByteArray StreamTestComponent(int n, int m, const std::vector<std::pair<int, int>>& entries,
                               const std::function<void(TComponentWriter&)>& more = {})
{
    TComponentWriter w;
    w.WriteComponentStart(QStringLiteral("TRDTableSW"), QString());
    w.WritePropName(QStringLiteral("C"));
    w.WriteInteger(n);
    if (n > 0) {
        w.WriteInteger(m);
        w.WriteValueType(TValueType::vaList);
        for (const auto& [colSpan, rowSpan] : entries) {
            w.WriteInteger(colSpan);
            w.WriteInteger(rowSpan);
            w.WriteComponentStart(QStringLiteral("TD"), QString());
            w.WriteComponentEnd();
        }
        w.WriteListEnd();
    }
    if (more)
        more(w);
    w.WriteComponentEnd();
    return w.Data();
}

QImage StreamTestImage(QRgb color)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

}  // namespace

TEST(RDTableStream, WrittenCellEntriesFollowTheRangeAndItsMergedCells)
{
    struct TCase {
        const char* Name;
        int Rows, Cols;
        int MergeRow, MergeCol, MergeCols, MergeRows;
        int StartRow, StartCol, RowCount, ColCount;
        std::vector<std::pair<int, int>> Spans;
    };
    const TCase cases[] = {
        {"whole 2 x 2, (0,0) over two columns", 2, 2, 0, 0, 2, 1, 0, 0, 2, 2, {{2, 1}, {1, 1}, {1, 1}}},
        {"rows 1-2, cols 1-2 inside a 3 x 3 merged cell", 3, 3, 0, 0, 3, 3, 1, 1, 2, 2, {{2, 2}}},
        {"rows 0-2, cols 1-2 cutting a cell at its left",
         3, 3, 1, 0, 2, 2, 0, 1, 3, 2, {{1, 1}, {1, 1}, {1, 2}, {1, 1}, {1, 1}}},
        {"the bottom row of a cell spanning two rows", 3, 2, 0, 0, 1, 2, 1, 0, 2, 2, {{1, 1}, {1, 1}, {1, 1}, {1, 1}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRDTableItemInfo table(c.Rows, c.Cols, nullptr);
        StreamTestMerge(table, c.MergeRow, c.MergeCol, c.MergeCols, c.MergeRows);
        TRDTableStreamSaveInfo info(table);
        info.StartRow = c.StartRow;
        info.StartCol = c.StartCol;
        info.RowCount = c.RowCount;
        info.ColCount = c.ColCount;
        const TStreamCells cells = StreamTestCells(StreamTestWrite(table, info));
        EXPECT_EQ(cells.Rows, c.RowCount);
        EXPECT_EQ(cells.Cols, c.ColCount);
        EXPECT_EQ(cells.Spans, c.Spans);
    }
}

TEST(RDTableStream, CellsReadBackWithTheirSpansTextsAndAttributes)
{
    TTableEditor editor(3, 3);
    TRDTableItemInfo& table = *editor.Table;
    StreamTestMerge(table, 0, 0, 2, 2);
    StreamTestSetText(TableCell(table, 0, 0), "merged");
    StreamTestSetText(TableCell(table, 2, 2), "corner");
    TableCell(table, 0, 2).Color = 0x00FF00;
    TableCell(table, 0, 2).VisibleBorders.Top = false;
    TableCell(table, 1, 2).VAlign = TRDCellVAlign::rdcBottom;
    TableCell(table, 1, 2).Hint = QStringLiteral("提示");
    TableCell(table, 2, 0).BestWidth = -40;
    table.Rows->Row(1)->VAlign = TRDCellVAlign::rdcMiddle;
    table.Rows->Row(2)->PageBreakBefore = true;
    table.SetBorderWidth(3);
    table.SetCellPadding(4);
    table.Options = rdtoEditing | rdtoHideGridLines;
    table.TextColSeparator = QStringLiteral("\t");

    const QByteArray component = StreamTestWrite(table, TRDTableStreamSaveInfo(table));
    EXPECT_TRUE(component.contains("RowVAlign"));
    EXPECT_TRUE(component.contains("RowPageBreakBefore"));
    TTableEditor other(1, 1);
    TRDTableItemInfo& read = *other.Table;
    ASSERT_TRUE(StreamTestRead(read, component));
    ASSERT_EQ(read.RowCount(), 3);
    ASSERT_EQ(read.ColCount(), 3);
    EXPECT_EQ(read.GetCell(0, 0)->ColSpan, 2);
    EXPECT_EQ(read.GetCell(0, 0)->RowSpan, 2);
    EXPECT_EQ(read.GetCell(0, 1), nullptr);
    EXPECT_EQ(read.GetCell(1, 1), nullptr);
    EXPECT_EQ(StreamTestCellText(TableCell(read, 0, 0)), "merged");
    EXPECT_EQ(StreamTestCellText(TableCell(read, 2, 2)), "corner");
    EXPECT_EQ(TableCell(read, 0, 2).Color, TColor(0x00FF00));
    EXPECT_FALSE(TableCell(read, 0, 2).VisibleBorders.Top);
    EXPECT_EQ(TableCell(read, 1, 2).VAlign, TRDCellVAlign::rdcBottom);
    EXPECT_EQ(TableCell(read, 1, 2).Hint, QStringLiteral("提示"));
    EXPECT_EQ(TableCell(read, 2, 0).BestWidth, -40);
    EXPECT_EQ(read.Rows->Row(1)->VAlign, TRDCellVAlign::rdcMiddle);
    EXPECT_TRUE(read.Rows->Row(2)->PageBreakBefore);
    EXPECT_EQ(read.GetBorderWidth(), 3);
    EXPECT_EQ(read.GetCellHPadding(), 4);
    EXPECT_EQ(read.GetCellVPadding(), 4);
    EXPECT_EQ(read.Options, TRDTableOptions(rdtoEditing | rdtoHideGridLines));
    EXPECT_EQ(read.TextColSeparator, QStringLiteral("\t"));
    // Written again, it gives the same bytes.
    EXPECT_EQ(StreamTestWrite(read, TRDTableStreamSaveInfo(read)), component);
}

TEST(RDTableStream, DefaultsAndEmptyTablesWriteOnlyWhatTheyMust)
{
    TRDTableItemInfo empty(0, 0, nullptr);
    const TStreamCells none = StreamTestCells(StreamTestWrite(empty, TRDTableStreamSaveInfo(empty)));
    EXPECT_EQ(none.Rows, 0);
    EXPECT_TRUE(none.Spans.empty());
    TRDTableItemInfo table(2, 2, nullptr);
    const QByteArray component = StreamTestWrite(table, TRDTableStreamSaveInfo(table));
    EXPECT_FALSE(component.contains("RowVAlign"));
    EXPECT_FALSE(component.contains("RowPageBreakBefore"));
    EXPECT_FALSE(component.contains("T."));  // every property at its default
    EXPECT_FALSE(component.contains("C.Data"));
    EXPECT_FALSE(component.contains("BackgroundImg"));

    // A table that had rows reads a component of none as 0 x 0.
    TRDTableItemInfo read(3, 3, nullptr);
    ASSERT_TRUE(StreamTestRead(read, StreamTestWrite(empty, TRDTableStreamSaveInfo(empty))));
    EXPECT_EQ(read.RowCount(), 0);
    // A table read from a document has the default options and print options.
    TTableEditor editor(1, 1);
    TTableEditor other(1, 1);
    ASSERT_TRUE(LoadRDFText(other, RDFText(editor)));
    const auto* loaded = dynamic_cast<TRDTableItemInfo*>(other.Data().ItemAt(1));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Options,
              TRDTableOptions(rdtoEditing | rdtoRowSizing | rdtoColSizing | rdtoRowSelect | rdtoColSelect));
    EXPECT_EQ(loaded->PrintOptions, TRDTablePrintOptions(rdtoHalftoneBorders | rdtoRowsSplit));
}

TEST(RDTableStream, UnselectedCellsOfAWrittenSelectionKeepOnlyTheirAttributes)
{
    TTableEditor editor(2, 2);
    TRDTableItemInfo& table = *editor.Table;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            StreamTestSetText(TableCell(table, r, c), QByteArray("cell") + char('0' + r * 2 + c));
            TableCell(table, r, c).Color = TColor(0x102030 + r * 2 + c);
        }
    TRDTableStreamSaveInfo info(table);
    info.SelectionMode = true;
    info.CellSelected = [](int row, int col) { return row == col; };
    const QByteArray component = StreamTestWrite(table, info);
    EXPECT_FALSE(TableCell(table, 0, 1).SkipContent);  // put back after the write
    TTableEditor other(1, 1);
    ASSERT_TRUE(StreamTestRead(*other.Table, component));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) {
            TRDTableCellData& cell = TableCell(*other.Table, r, c);
            EXPECT_EQ(cell.Color, TColor(0x102030 + r * 2 + c));
            EXPECT_EQ(cell.HasContent(true), r == c) << r << "," << c;
        }
    EXPECT_EQ(StreamTestCellText(TableCell(*other.Table, 1, 1)), "cell3");
}

TEST(RDTableStream, TheRDFRecordSavesAndReadsBackToTheSameBytes)
{
    for (const bool binary : {false, true}) {
        SCOPED_TRACE(binary ? "binary" : "hexadecimal");
        TTableEditor editor(4, 4);
        TRDTableItemInfo& table = *editor.Table;
        StreamTestMerge(table, 1, 1, 2, 2);
        StreamTestSetText(TableCell(table, 1, 1), "合并 merged");
        // A nested table with text.
        TRDTableCellData& outer = TableCell(table, 3, 0);
        auto inner = std::make_unique<TRDTableItemInfo>(2, 1, &outer);
        StreamTestSetText(TableCell(*inner, 1, 0), "inner");
        outer.AddItem(QByteArray(), std::move(inner));
        // Background pictures of the table and of a cell.
        TBitmapGraphic picture;
        picture.Assign(StreamTestImage(qRgb(200, 10, 10)));
        table.SetBackgroundImageEx(&picture);
        table.SetBackgroundStyleValue(int(TRDItemBackgroundStyle::rdbsTiled));
        TableCell(table, 0, 3).SetBackgroundImage(&picture);
        table.BackgroundImageFileName = QStringLiteral("back.png");
        if (binary)
            editor.RDFOptions |= rdfoSaveBinary;
        TRDMemoryStream stream;
        ASSERT_TRUE(editor.Data().SaveRDF(stream, 0, nullptr, nullptr, clNone));
        const QByteArray saved = stream.ToBytes();
        // name, "filename=...", "1", component
        EXPECT_TRUE(saved.contains(binary ? "-60 4 0 0 2 " : "-60 4 0 0 0 ")) << saved.left(200).constData();

        TTableEditor other(1, 1);
        TRDMemoryStream in;
        in.LoadFromBytes(saved);
        TColor color = clNone;
        ASSERT_TRUE(other.Data().LoadFromRDF(in, color, nullptr, nullptr));
        other.FormatDocument();
        TRDTableItemInfo* read = nullptr;
        for (int i = 0; i < other.Data().ItemCount(); ++i)
            if (auto* t = dynamic_cast<TRDTableItemInfo*>(other.Data().ItemAt(i)))
                read = t;
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->BackgroundImageFileName, QStringLiteral("back.png"));
        ASSERT_NE(read->GetBackgroundImage(), nullptr);
        EXPECT_EQ(read->GetBackgroundImage()->Image().pixel(0, 0), qRgb(200, 10, 10));
        ASSERT_NE(TableCell(*read, 0, 3).GetBackgroundImage(), nullptr);
        EXPECT_EQ(TableCell(*read, 1, 1).RowSpan, 2);
        EXPECT_EQ(StreamTestCellText(TableCell(*read, 1, 1)), "合并 merged");
        auto* nested = dynamic_cast<TRDTableItemInfo*>(TableCell(*read, 3, 0).ItemAt(1));
        ASSERT_NE(nested, nullptr);
        EXPECT_EQ(StreamTestCellText(TableCell(*nested, 1, 0)), "inner");

        TRDMemoryStream again;
        if (binary)
            other.RDFOptions |= rdfoSaveBinary;
        ASSERT_TRUE(other.Data().SaveRDF(again, 0, nullptr, nullptr, clNone));
        EXPECT_EQ(again.ToBytes(), saved);
    }
}

TEST(RDTableStream, ADefaultTableRecordHasThreeLines)
{
    TTableEditor editor(1, 1);
    const QByteArray rdf = RDFText(editor);
    EXPECT_TRUE(rdf.contains("\r\n-60 3 0 0 0 ")) << rdf.constData();
}

TEST(RDTableStream, DamagedOrHostileComponentsFailTheReadCleanly)
{
    const auto cellRecord = [](TComponentWriter& w, const QByteArray& name, const QByteArray& value) {
        // A "C" of 1 x 1 whose cell holds one binary property.
        w.WritePropName(QStringLiteral("C"));
        w.WriteInteger(1);
        w.WriteInteger(1);
        w.WriteValueType(TValueType::vaList);
        w.WriteInteger(1);
        w.WriteInteger(1);
        w.WriteComponentStart(QStringLiteral("TD"), QString());
        w.WritePropName(QString::fromLatin1(name));
        w.WriteBinary(value);
        w.WriteComponentEnd();
        w.WriteListEnd();
    };
    const auto wrapped = [](const std::function<void(TComponentWriter&)>& body) {
        TComponentWriter w;
        w.WriteComponentStart(QStringLiteral("TRDTableSW"), QString());
        body(w);
        w.WriteComponentEnd();
        return w.Data();
    };
    QByteArray pictureBytes;
    {
        TBitmapGraphic picture;
        picture.Assign(StreamTestImage(qRgb(0, 0, 255)));
        pictureBytes = picture.SaveToStream();
    }
    const auto picture = [&](const QByteArray& className, int32_t nameLength, int32_t dataLength) {
        QByteArray bytes(4, '\0');
        qToLittleEndian<int32_t>(nameLength, bytes.data());
        bytes += className;
        QByteArray length(4, '\0');
        qToLittleEndian<int32_t>(dataLength, length.data());
        return bytes + length + pictureBytes;
    };
    struct TCase {
        const char* Name;
        QByteArray Component;
    };
    const TCase cases[] = {
        {"rows times columns of 10^9", StreamTestComponent(100000, 10000, {})},
        {"a negative row count", StreamTestComponent(-1, 1, {})},
        {"a negative column count", StreamTestComponent(1, -3, {})},
        {"a column span of 0", StreamTestComponent(1, 1, {{0, 1}})},
        {"a negative row span", StreamTestComponent(1, 1, {{1, -2}})},
        {"fewer entries than cells", StreamTestComponent(2, 2, {{1, 1}, {1, 1}, {1, 1}})},
        {"more entries than cells", StreamTestComponent(1, 1, {{1, 1}, {1, 1}})},
        {"a row alignment outside the enumeration", StreamTestComponent(1, 1, {{1, 1}},
                                                                         [](TComponentWriter& w) {
                                                                             w.WritePropName(QStringLiteral("RowVAlign"));
                                                                             w.WriteValueType(TValueType::vaList);
                                                                             w.WriteInteger(7);
                                                                             w.WriteListEnd();
                                                                         })},
        {"an unknown property", StreamTestComponent(1, 1, {{1, 1}},
                                                    [](TComponentWriter& w) {
                                                        w.WritePropName(QStringLiteral("T.NoSuchThing"));
                                                        w.WriteInteger(1);
                                                    })},
        {"no cells at all", wrapped([](TComponentWriter&) {})},
        {"a picture length past the end",
         wrapped([&](TComponentWriter& w) { cellRecord(w, "C.BackgroundImg", picture("TBitmap", 7, 1 << 20)); })},
        {"a class name length past the end",
         wrapped([&](TComponentWriter& w) { cellRecord(w, "C.BackgroundImg", picture("TBitmap", 4000, 0)); })},
        {"a picture class nobody registered",
         wrapped([&](TComponentWriter& w) {
             cellRecord(w, "C.BackgroundImg", picture("TFoo", 4, int32_t(pictureBytes.size())));
         })},
        {"cell data that is not RDF", wrapped([&](TComponentWriter& w) { cellRecord(w, "C.Data", "\x05\0\0\0hello"); })},
        {"bytes after the component", StreamTestComponent(1, 1, {{1, 1}}) + "x"},
        {"a cut component", StreamTestComponent(2, 2, {{1, 1}, {1, 1}, {1, 1}, {1, 1}}).left(30)},
    };
    // Each is refused by the component reader and, inside a document, makes
    // the RDF read fail with the document still usable.
    TTableEditor editor(1, 1);
    const QByteArray rdf = RDFText(editor);
    const QByteArray good = StreamTestWrite(*editor.Table, TRDTableStreamSaveInfo(*editor.Table));
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRDTableItemInfo table(1, 1, nullptr);
        EXPECT_FALSE(StreamTestRead(table, c.Component));
        TTableEditor other(1, 1);
        EXPECT_FALSE(LoadRDFText(other, StreamTestSwapComponent(rdf, good, c.Component)));
        EXPECT_TRUE(LoadRDFText(other, rdf));
        EXPECT_EQ(RDFText(other), rdf);
    }
    // The good component still reads.
    TRDTableItemInfo table(1, 1, nullptr);
    EXPECT_TRUE(StreamTestRead(table, good));
}

TEST(RDTableStream, TablesNestedTooDeepAreRefused)
{
    // Tables inside the first cell of tables, depth levels in all; saved in
    // binary form (in text form each level doubles the size of the one inside).
    const auto nestedDocument = [](int depth) {
        auto editor = std::make_unique<TTableEditor>(1, 1);
        editor->RDFOptions |= rdfoSaveBinary;
        TRDTableItemInfo* table = editor->Table;
        for (int level = 1; level < depth; ++level) {
            TRDTableCellData& cell = TableCell(*table, 0, 0);
            auto inner = std::make_unique<TRDTableItemInfo>(1, 1, &cell);
            TRDTableItemInfo* next = inner.get();
            cell.AddItem(QByteArray(), std::move(inner));
            table = next;
        }
        TRDMemoryStream stream;
        EXPECT_TRUE(editor->Data().SaveRDF(stream, 0, nullptr, nullptr, clNone));
        return stream.ToBytes();
    };
    TTableEditor reader(1, 1);
    EXPECT_TRUE(LoadRDFText(reader, nestedDocument(RDTableMaxStreamNesting)));
    EXPECT_FALSE(LoadRDFText(reader, nestedDocument(RDTableMaxStreamNesting + 1)));
    EXPECT_FALSE(LoadRDFText(reader, nestedDocument(100)));
    TTableEditor plainEditor(1, 1);
    const QByteArray plain = RDFText(plainEditor);
    EXPECT_TRUE(LoadRDFText(reader, plain));
}

TEST(RDTableStream, ASavedSelectionIsATableOfTheSelectedRectangle)
{
    TTableEditor editor(3, 3);
    TRDTableItemInfo& table = *editor.Table;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            StreamTestSetText(TableCell(table, r, c), QByteArray("r") + char('0' + r) + 'c' + char('0' + c));
    StreamTestMerge(table, 1, 0, 2, 2);
    table.MarkChanged();
    editor.FormatDocument();
    // From (0, 1) to (1, 2): the rectangle grows over the merged cell at
    // (1, 0) to rows 0-2, columns 0-2; (0, 0) and (2, 2) are not selected
    // and keep no content.
    table.SelectCells(0, 1, 1, 1);
    TRDMemoryStream stream;
    table.SaveRDFSelection(stream, &editor.Data(), 0);
    // The record read as a document of its own.
    TTableEditor other(1, 1);
    ASSERT_TRUE(LoadRDFText(other, stream.ToBytes()));
    auto* read = dynamic_cast<TRDTableItemInfo*>(other.Data().ItemAt(0));
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->RowCount(), 3);
    ASSERT_EQ(read->ColCount(), 3);
    EXPECT_EQ(TableCell(*read, 1, 0).RowSpan, 2);
    EXPECT_EQ(StreamTestCellText(TableCell(*read, 1, 0)), "r1c0");
    EXPECT_EQ(StreamTestCellText(TableCell(*read, 0, 1)), "r0c1");
    EXPECT_EQ(StreamTestCellText(TableCell(*read, 1, 2)), "r1c2");
    EXPECT_FALSE(TableCell(*read, 0, 0).HasContent(true));
    EXPECT_FALSE(TableCell(*read, 2, 2).HasContent(true));
}
