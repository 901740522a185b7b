#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "RDEditTestSupport.h"
#include "RDTableTestSupport.h"
#include "RDPictureTestSupport.h"
#include "core/RDError.h"
#include "document/RDItem.h"
#include "editing/RDEdit.h"
#include "editing/RDUndo.h"
#include "styles/RDStyle.h"
#include "tables/RDTable.h"
#include "Cursors.h"
#include "Pictures.h"
#include <QtGui/QImage>
#include <vector>

// The table item's model: cells, rows, locations and the table's
// properties, detached and inside an editor's document.

namespace {

TRDTableCellData& Cell(TRDTableItemInfo& table, int row, int col)
{
    return TableCell(table, row, col);
}

}  // namespace

TEST(RDTableModel, NewCellHoldsOneEmptyItemAndTheDeclaredDefaults)
{
    TRDTableItemInfo table(2, 3, nullptr);
    EXPECT_EQ(table.StyleNo, TableStyleNo);
    ASSERT_EQ(table.RowCount(), 2);
    ASSERT_EQ(table.ColCount(), 3);
    TRDTableCellData& cell = Cell(table, 1, 2);
    EXPECT_EQ(cell.Color, clNone);
    EXPECT_EQ(cell.BorderColor, clNone);
    EXPECT_EQ(cell.BorderLightColor, clNone);
    EXPECT_EQ(cell.BestWidth, 0);
    EXPECT_EQ(cell.BestHeight, 0);
    EXPECT_EQ(cell.VAlign, TRDCellVAlign::rdcVDefault);
    EXPECT_EQ(cell.RowSpan, 1);
    EXPECT_EQ(cell.ColSpan, 1);
    EXPECT_TRUE(cell.VisibleBorders.IsAllEqual(true));
    EXPECT_EQ(cell.GetBackgroundStyle(), TRDItemBackgroundStyle::rdbsColor);
    EXPECT_EQ(cell.Background, nullptr);
    ASSERT_EQ(cell.ItemCount(), 1);
    EXPECT_EQ(cell.ItemAt(0)->StyleNo, 0);
    EXPECT_EQ(cell.ItemAt(0)->ParaNo, 0);
    EXPECT_FALSE(cell.HasContent(true));
    EXPECT_FALSE(cell.HasContent(false));
    // The cell knows its table and row; the document flags come from the row.
    EXPECT_EQ(cell.GetTable(), &table);
    EXPECT_EQ(cell.Row(), table.Rows->Row(1));
    EXPECT_EQ(cell.GetControlFlags(), 0x0412);
    EXPECT_THROW(cell.SetControlFlags(0), ERichDocError);
    EXPECT_EQ(cell.GetControlFlags(), 0x0412);
}

TEST(RDTableModel, HasContentComparesWithAFreshCell)
{
    struct TCase {
        const char* Name;
        int StyleNo;
        QByteArray Text;
        bool Second;
        bool Fresh, Plain;
    };
    const TCase cases[] = {
        {"empty text of style 2", 2, "", false, true, false},
        {"text of style 0", 0, "x", false, true, true},
        {"two empty items", 0, "", true, true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TRDTableItemInfo table(nullptr);
        TRDTableCellData& cell = Cell(table, 0, 0);
        cell.Clear();
        cell.AddTextConverted(c.Text, c.StyleNo, 0, TRDTag());
        if (c.Second)
            cell.AddTextConverted(QByteArray(), 0, 0, TRDTag());
        EXPECT_EQ(cell.HasContent(true), c.Fresh);
        EXPECT_EQ(cell.HasContent(false), c.Plain);
    }
    TRDTableItemInfo table(nullptr);
    Cell(table, 0, 0).Clear();
    EXPECT_FALSE(Cell(table, 0, 0).HasContent(true));
}

TEST(RDTableModel, VerticalPlacementOfCellContent)
{
    struct TCase {
        TRDCellVAlign CellAlign, RowAlign;
        int Height, DocumentHeight, Padding, Offset;
    };
    using A = TRDCellVAlign;
    const TCase cases[] = {
        {A::rdcMiddle, A::rdcTop, 51, 20, 2, 13},
        // The quotient is truncated toward zero: (20 - 51) / 2 = -15.
        {A::rdcMiddle, A::rdcTop, 20, 51, 2, -17},
        {A::rdcBottom, A::rdcTop, 51, 20, 2, 27},
        {A::rdcTop, A::rdcBottom, 51, 20, 2, 0},
        // The row's alignment serves a cell without its own; the row's own
        // default centres.
        {A::rdcVDefault, A::rdcVDefault, 51, 20, 2, 13},
        {A::rdcVDefault, A::rdcBottom, 51, 20, 2, 27},
        {A::rdcVDefault, A::rdcTop, 51, 20, 2, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.CellAlign) << "/" << int(c.RowAlign) << " " << c.Height);
        TRDTableItemInfo table(nullptr);
        table.SetCellPadding(c.Padding);
        TRDTableCellData& cell = Cell(table, 0, 0);
        cell.VAlign = c.CellAlign;
        table.Rows->Row(0)->VAlign = c.RowAlign;
        cell.Height = c.Height;
        cell.DocumentHeight = c.DocumentHeight;
        EXPECT_EQ(cell.GetContentVOffset(), c.Offset);
    }
}

TEST(RDTableModel, ContentHeightAndRowHeights)
{
    TRDTableItemInfo table(2, 2, nullptr);
    TRDTableCellData& cell = Cell(table, 0, 0);
    cell.DocumentHeight = 100;
    cell.BestHeight = 40;
    EXPECT_EQ(cell.GetContentHeight(true), 40);
    EXPECT_EQ(cell.GetContentHeight(false), 100);
    cell.BestHeight = 0;
    EXPECT_EQ(cell.GetContentHeight(true), 100);
    cell.BestHeight = -5;
    EXPECT_EQ(cell.GetContentHeight(true), 0);

    // A row whose cells all span two rows asks for nothing of its own.
    cell.RowSpan = 2;
    cell.BestHeight = 70;
    Cell(table, 0, 1).RowSpan = 2;
    Cell(table, 0, 1).DocumentHeight = 30;
    EXPECT_EQ(table.Rows->Row(0)->GetBestHeight(), 0);
    EXPECT_EQ(table.Rows->Row(0)->GetHeightNeeded(false), 10);
    Cell(table, 0, 1).RowSpan = 1;
    EXPECT_EQ(table.Rows->Row(0)->GetHeightNeeded(false), 30);
    EXPECT_EQ(table.Rows->Row(0)->GetBestHeight(), 0);

    // Cells ending within rows [1, 1]: a span of 2 from row 0 does not.
    EXPECT_FALSE(table.Rows->Row(0)->HasCellEndingWithin(0, 1, 1));
    EXPECT_TRUE(table.Rows->Row(1)->HasCellEndingWithin(1, 1, 1));
    Cell(table, 1, 0).RowSpan = INT_MAX;
    Cell(table, 1, 1).RowSpan = INT_MAX;
    EXPECT_FALSE(table.Rows->Row(1)->HasCellEndingWithin(1, 1, 1));
}

TEST(RDTableModel, CellPaddingMeanAndStoredPaddings)
{
    struct TCase {
        int H, V;
        int Padding;
        bool HStored, VStored, BothStored;
    };
    const TCase cases[] = {
        {1, 4, 2, false, true, false},  // 2.5 rounds to the even 2
        {2, 4, 3, true, true, false},
        {2, 3, 2, true, true, false},   // 2.5 again
        {3, 4, 4, true, true, false},   // 3.5 rounds to 4
        {3, 3, 3, false, false, true},
        {1, 1, 1, false, false, false},
        {1, 5, 3, false, true, false},
        {-1, -2, -2, true, true, false},  // -1.5 rounds to -2
        {INT_MAX, INT_MAX, INT_MAX, false, false, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.H << ", " << c.V);
        TRDTableItemInfo table(nullptr);
        table.SetCellHPadding(c.H);
        table.SetCellVPadding(c.V);
        EXPECT_EQ(table.GetCellPadding(), c.Padding);
        EXPECT_EQ(table.IsCellHPaddingStored(), c.HStored);
        EXPECT_EQ(table.IsCellVPaddingStored(), c.VStored);
        EXPECT_EQ(table.IsCellPaddingStored(), c.BothStored);
    }
}

TEST(RDTableModel, TableDefaultsAndPlainSettersWhileDetached)
{
    TRDTableItemInfo table(nullptr);
    EXPECT_EQ(table.RowCount(), 1);
    EXPECT_EQ(table.ColCount(), 1);
    EXPECT_EQ(table.Options, 31);
    EXPECT_EQ(table.PrintOptions, 3);
    EXPECT_EQ(table.GetColor(), clWindow);
    EXPECT_EQ(TColor(table.GetBorderColor()), clWindowText);
    EXPECT_EQ(TColor(table.GetBorderLightColor()), clBtnHighlight);
    EXPECT_EQ(table.GetBorderStyle(), TRDTableBorderStyle::rdtbRaised);
    EXPECT_EQ(table.GetCellBorderStyle(), TRDTableBorderStyle::rdtbLowered);
    EXPECT_EQ(table.GetBorderVSpacing(), 2);
    EXPECT_EQ(table.GetCellHSpacing(), 2);
    EXPECT_EQ(table.GetCellPadding(), 1);
    EXPECT_EQ(table.TextRowSeparator, QStringLiteral("\r\n"));
    EXPECT_TRUE(table.TableState & TRDTableItemInfo::tsNewItem);
    EXPECT_FALSE(table.IsVisibleBordersStored());

    table.SetBorderWidth(3);
    table.SetVOutermostRule(7);
    EXPECT_EQ(table.GetBorderWidth(), 3);
    EXPECT_EQ(table.GetVOutermostRule(), 1);
    // Values outside the enumerations are refused, not stored.
    table.SetBorderStyleValue(99);
    table.SetBackgroundStyleValue(-1);
    EXPECT_EQ(table.GetBorderStyle(), TRDTableBorderStyle::rdtbRaised);
    EXPECT_EQ(table.GetBackgroundStyle(), TRDItemBackgroundStyle::rdbsColor);
    EXPECT_EQ(table.Background, nullptr);

    EXPECT_THROW(table.SetPropertyByName(QStringLiteral("NoSuchProperty"), 1, false, false), ERichDocError);
    EXPECT_FALSE(table.TableState & TRDTableItemInfo::tsInDocument);
    EXPECT_THROW(TRDTableItemInfo(-1, 2, nullptr), ERichDocError);

    // A table with rows but no cells counts no columns.
    TRDTableItemInfo empty(3, 0, nullptr);
    EXPECT_EQ(empty.RowCount(), 3);
    EXPECT_EQ(empty.ColCount(), 0);
}

TEST(RDTableModel, BackgroundsAreMadeOnlyWhileTheyHoldSomething)
{
    TRDTableItemInfo table(nullptr);
    TRDTableCellData& cell = Cell(table, 0, 0);
    TBitmapGraphic empty;
    cell.SetBackgroundImage(&empty);
    EXPECT_EQ(cell.Background, nullptr);

    std::unique_ptr<TGraphic> picture = Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red));
    cell.SetBackgroundImage(picture.get());
    ASSERT_NE(cell.Background, nullptr);
    ASSERT_NE(cell.GetBackgroundImage(), nullptr);
    EXPECT_NE(cell.GetBackgroundImage(), picture.get());  // a copy
    cell.SetBackgroundStyle(TRDItemBackgroundStyle::rdbsTiled);
    cell.SetBackgroundImage(nullptr);
    EXPECT_NE(cell.Background, nullptr);  // the style still needs it
    cell.SetBackgroundStyle(TRDItemBackgroundStyle::rdbsColor);
    EXPECT_EQ(cell.Background, nullptr);

    // Attributes copy a picture of their own and divide the best size.
    cell.SetBackgroundImage(picture.get());
    cell.Color = 0x123456;
    cell.BestWidth = 101;
    cell.BestHeight = -50;
    cell.VisibleBorders.Left = false;
    cell.Hint = QStringLiteral("提示");
    TRDTableItemInfo other(nullptr);
    TRDTableCellData& copy = Cell(other, 0, 0);
    copy.AssignAttributes(cell, true, 2, 4);
    EXPECT_EQ(copy.Color, 0x123456u);
    EXPECT_EQ(copy.BestWidth, 25);
    EXPECT_EQ(copy.BestHeight, -25);
    EXPECT_FALSE(copy.VisibleBorders.Left);
    EXPECT_EQ(copy.Hint, QStringLiteral("提示"));
    ASSERT_NE(copy.GetBackgroundImage(), nullptr);
    EXPECT_NE(copy.GetBackgroundImage(), cell.GetBackgroundImage());
    copy.AssignAttributes(cell, true, 0, 0);  // no division by zero
    EXPECT_EQ(copy.BestWidth, 101);

    TBitmapGraphic emptyTable;
    table.SetBackgroundImageEx(&emptyTable);
    EXPECT_EQ(table.Background, nullptr);
    table.SetBackgroundImageEx(picture.get());
    EXPECT_NE(table.Background, nullptr);
    table.SetBackgroundImageEx(nullptr);
    EXPECT_EQ(table.Background, nullptr);
}

TEST(RDTableModel, CellLocationsCompareInReadingOrder)
{
    struct TCase {
        int R1, C1, R2, C2, Sign;
    };
    const TCase cases[] = {
        {2, 5, 3, 0, -1}, {2, 5, 2, 1, 1}, {2, 5, 2, 5, 0},
        // No overflow at the ends of the range.
        {INT_MIN, 0, 1, 0, -1}, {INT_MAX, 0, -1, 0, 1}, {0, INT_MIN, 0, INT_MAX, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.R1 << "," << c.C1 << " vs " << c.R2 << "," << c.C2);
        const TRDTableStoreSubRDData a(c.R1, c.C1);
        const TRDTableStoreSubRDData b(c.R2, c.C2);
        const int viaStore = a.Compare(static_cast<const TRDStoreSubRDData&>(b));
        const int viaLocation = a.Compare(static_cast<const TRDLocation&>(b));
        EXPECT_EQ((viaStore > 0) - (viaStore < 0), c.Sign);
        EXPECT_EQ((viaLocation > 0) - (viaLocation < 0), c.Sign);
    }
    const TRDTableStoreSubRDData a(4, 7);
    const std::unique_ptr<TRDStoreSubRDData> copy = a.Duplicate();
    auto* cell = dynamic_cast<TRDTableStoreSubRDData*>(copy.get());
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->Row, 4);
    EXPECT_EQ(cell->Col, 7);
}

TEST(RDTableModel, RowsHandCellsInAndOut)
{
    TRDTableItemInfo table(1, 2, nullptr);
    TRDTableRow* row = table.Rows->Row(0);
    TRDTableCellData* first = row->GetCell(0);
    row->InsertNil(1);
    EXPECT_EQ(row->Count(), 3);
    EXPECT_EQ(row->GetCell(1), nullptr);
    std::unique_ptr<TRDTableCellData> taken = row->PutCell(0, nullptr);
    EXPECT_EQ(taken.get(), first);
    EXPECT_EQ(row->GetCell(0), nullptr);
    TRDTableRow* other = table.Rows->Row(0);
    other->InsertCellObject(3, std::move(taken));
    EXPECT_EQ(row->GetCell(3), first);
    EXPECT_EQ(first->OwnerList, row);
    EXPECT_THROW(row->InsertCell(9), ERichDocError);
    EXPECT_EQ(row->Count(), 4);
}

TEST(RDTableModel, DetachedCellAnswersWithoutItsTable)
{
    TRDTableItemInfo table(nullptr);
    TRDTableCellData& cell = Cell(table, 0, 0);
    TRDUndoInfo record;
    cell.DetachToUndo(&record);
    EXPECT_EQ(cell.UndoOwner, &record);
    EXPECT_EQ(cell.OwnerList, nullptr);
    EXPECT_EQ(cell.GetTable(), nullptr);
    EXPECT_EQ(cell.GetSeqList(true), nullptr);
    EXPECT_EQ(cell.GetMarkerList(true), nullptr);
    int parent = 0;
    std::unique_ptr<TRDLocation> location;
    cell.GetParentInfo(parent, location);
    EXPECT_EQ(parent, -1);
    EXPECT_EQ(location, nullptr);
    void* control = nullptr;
    cell.DoControlAction(TRDControlAction::rdcaDestroy, 0, control);  // nowhere to go: nothing
    cell.ReattachFromUndo();
    table.Rows->Row(0)->PutCell(0, nullptr).release();
    table.Rows->Row(0)->PutCell(0, std::unique_ptr<TRDTableCellData>(&cell));
    EXPECT_EQ(cell.GetTable(), &table);
}

TEST(RDTableModel, TheTableKindIsRegistered)
{
    std::unique_ptr<TCustomRDItemInfo> item = CreateItemByStyleNo(TableStyleNo, nullptr);
    auto* table = dynamic_cast<TRDTableItemInfo*>(item.get());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->StyleNo, TableStyleNo);
    EXPECT_EQ(table->RowCount(), 1);
    EXPECT_EQ(table->ColCount(), 1);
    EXPECT_TRUE(table->GetBoolValue(0));
    for (int id : {3, 4, 5, 9, 11})
        EXPECT_TRUE(table->GetBoolValue(id)) << id;
    EXPECT_FALSE(table->GetBoolValueEx(1, nullptr));
}

TEST(RDTableModel, ExtraFileNameProperty)
{
    TRDTableItemInfo table(nullptr);
    const int base = table.GetRDFExtraPropertyCount();
    QString value;
    EXPECT_TRUE(table.SetExtraStrProperty(3, QStringLiteral("背景.png")));
    EXPECT_TRUE(table.GetExtraStrProperty(3, value));
    EXPECT_EQ(value, QStringLiteral("背景.png"));
    EXPECT_EQ(table.GetRDFExtraPropertyCount(), base + 1);
}

TEST(RDTableModel, AttachingGivesCellsTheirDocument)
{
    TTableEditor editor;
    TRDTableItemInfo& table = *editor.Table;
    EXPECT_TRUE(table.TableState & TRDTableItemInfo::tsInDocument);
    EXPECT_TRUE(table.TableState & TRDTableItemInfo::tsInEditor);
    EXPECT_TRUE(table.InEditingDocument());
    EXPECT_EQ(table.GetMyItemNo(), 1);
    TRDTableCellData& cell = Cell(table, 1, 1);
    EXPECT_EQ(cell.GetParentData(), &editor.Data());
    EXPECT_EQ(cell.GetRDStyle(), &editor.Sheet);
    int parent = -1;
    std::unique_ptr<TRDLocation> location;
    cell.GetParentInfo(parent, location);
    EXPECT_EQ(parent, 1);
    auto* where = dynamic_cast<TRDTableStoreSubRDData*>(location.get());
    ASSERT_NE(where, nullptr);
    EXPECT_EQ(where->Row, 1);
    EXPECT_EQ(where->Col, 1);
    EXPECT_EQ(cell.GetOptions() & rdoClientTextWidth, 0u);
}

TEST(RDTableModel, SettersInAnEditorAreUndoable)
{
    struct TCase {
        const char* Name;
        int Value;
        bool ChangesWidth, ChangesSize;
        void (TRDTableItemInfo::*Set)(int);
        int (TRDTableItemInfo::*Get)() const;
    };
    const TCase cases[] = {
        {"BorderWidth", 4, true, true, &TRDTableItemInfo::SetBorderWidth, &TRDTableItemInfo::GetBorderWidth},
        {"CellVSpacing", 9, false, true, &TRDTableItemInfo::SetCellVSpacing, &TRDTableItemInfo::GetCellVSpacing},
        {"HRuleColor", 0x00FF00, false, false, &TRDTableItemInfo::SetHRuleColor, &TRDTableItemInfo::GetHRuleColor},
        {"BorderStyle", 2, false, false, &TRDTableItemInfo::SetBorderStyleValue,
         &TRDTableItemInfo::GetBorderStyleValue},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTableEditor editor;
        TRDEditRDData& data = editor.Data();
        TRDTableItemInfo& table = *editor.Table;
        const int old = (table.*c.Get)();
        (table.*c.Set)(c.Value);
        EXPECT_EQ((table.*c.Get)(), c.Value);
        EXPECT_TRUE(table.TableState & TRDTableItemInfo::tsInDocument);
        ASSERT_EQ(data.UndoList->Groups.size(), 1u);
        ASSERT_EQ(data.UndoList->Groups.back()->Records.size(), 1u);
        auto* record =
            dynamic_cast<TRDUndoModifyItemIntProperty*>(data.UndoList->Groups.back()->Records[0].get());
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->PropName, QString::fromLatin1(c.Name));
        EXPECT_EQ(record->OldValue, old);
        EXPECT_EQ(record->ItemIndex, 1);
        EXPECT_EQ(record->ChangesWidth, c.ChangesWidth);
        EXPECT_EQ(record->ChangesSize, c.ChangesSize);

        data.UndoList->Undo(data);
        EXPECT_EQ((table.*c.Get)(), old);
        EXPECT_EQ(data.ItemAt(1), &table);
        data.RedoList->Redo(data);
        EXPECT_EQ((table.*c.Get)(), c.Value);
        data.UndoList->Undo(data);
        EXPECT_EQ((table.*c.Get)(), old);
        EXPECT_TRUE(table.TableState & TRDTableItemInfo::tsInDocument);
    }
}

TEST(RDTableModel, CellPaddingInAnEditorRecordsBothPaddings)
{
    TTableEditor editor;
    TRDEditRDData& data = editor.Data();
    TRDTableItemInfo& table = *editor.Table;
    table.SetCellPadding(3);
    EXPECT_EQ(table.GetCellHPadding(), 3);
    EXPECT_EQ(table.GetCellVPadding(), 3);
    size_t records = 0;
    for (const auto& group : data.UndoList->Groups)
        records += group->Records.size();
    EXPECT_EQ(records, 2u);
    // The same value again records nothing.
    table.SetCellPadding(3);
    size_t after = 0;
    for (const auto& group : data.UndoList->Groups)
        after += group->Records.size();
    EXPECT_EQ(after, records);
    while (!data.UndoList->Groups.empty())
        data.UndoList->Undo(data);
    EXPECT_EQ(table.GetCellPadding(), 1);
    EXPECT_EQ(table.GetCellHPadding(), 1);
}

TEST(RDTableModel, UndoLimitZeroStillSets)
{
    TTableEditor editor;
    editor.Data().UndoList->MaxGroupCount = 0;
    EXPECT_FALSE(editor.Table->UndoEnabled());
    EXPECT_EQ(editor.Table->GetUndoItemNo(), -1);
    editor.Table->SetBestWidth(-50);
    EXPECT_EQ(editor.Table->GetBestWidth(), -50);
    EXPECT_TRUE(editor.Data().UndoList->Groups.empty());
}

namespace {

// A w x h bitmap whose left half is left and right half right.
std::unique_ptr<TGraphic> ModelTwoColourPicture(int w, int h, QColor left, QColor right)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(right);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w / 2; ++x)
            image.setPixel(x, y, left.rgb());
    auto graphic = std::make_unique<TBitmapGraphic>();
    graphic->Assign(image);
    return graphic;
}

}  // namespace

TEST(RDTableModel, CellContentOriginAndOffsetsFollowTheTablesPlace)
{
    TTableEditor editor;
    TRDTableItemInfo& table = *editor.Table;
    TRDTableCellData& cell = Cell(table, 1, 0);
    cell.Left = 10;
    cell.Top = 20;
    cell.Height = 51;
    table.ClientLeft = 100;
    table.ClientTop = 50;
    // Top-aligned row: the content starts inside the padding (1).
    EXPECT_EQ(cell.GetHOffset(), -111);
    EXPECT_EQ(cell.GetVOffset(), -71);
    int ix = 0, iy = 0, ox = 0, oy = 0;
    ASSERT_TRUE(editor.Data().GetItemCoords(1, ix, iy));
    editor.Data().GetOrigin(ox, oy);
    int x = 0, y = 0;
    cell.GetOrigin(x, y);
    EXPECT_EQ(x, ox + ix + 11);
    EXPECT_EQ(y, oy + iy + 21);
    cell.GetPointOrigin(x, y);
    editor.Data().GetPointOrigin(ox, oy);
    EXPECT_EQ(x, ox + ix + 11);
    EXPECT_EQ(y, oy + iy + 21);
    // Centred: (51 - 20) div 2 - 1 = 14 further down.
    cell.VAlign = TRDCellVAlign::rdcMiddle;
    cell.DocumentHeight = 20;
    EXPECT_EQ(cell.GetVOffset(), -85);
    cell.GetOrigin(x, y);
    EXPECT_EQ(y, oy + iy + 35);
    // Invalidating a cell refreshes the table's client position first.
    cell.PrepareInvalidate();
    int cx = 0, cy = 0;
    ASSERT_TRUE(editor.Data().GetItemClientCoords(1, cx, cy));
    EXPECT_EQ(table.ClientLeft, cx);
    EXPECT_EQ(table.ClientTop, cy);
    // A detached cell has no place.
    TRDTableItemInfo detached(1, 1, nullptr);
    Cell(detached, 0, 0).Left = 30;
    Cell(detached, 0, 0).GetOrigin(x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}

TEST(RDTableModel, ParagraphBackgroundOfACell)
{
    constexpr TColor green = TColor(0x00FF00), red = TColor(0x0000FF), blue = TColor(0xFF0000);
    enum Setup { ParaColour, Selected, CellColour, TableColour, TableParaColour, Nothing, CellPicture,
                 TablePictureLeft, TablePictureRight, DocumentPicture };
    struct Case {
        const char* What;
        Setup How;
        bool Bitmap;
        QColor Pixel;  // at (0, 0) of the bitmap
    };
    const std::vector<Case> cases = {
        {"the item's paragraph colour", ParaColour, false, {}},
        {"a selected cell", Selected, false, {}},
        {"the cell colour", CellColour, false, {}},
        {"the table colour through a transparent cell", TableColour, false, {}},
        {"the table's paragraph colour", TableParaColour, false, {}},
        {"the document's colour", Nothing, false, {}},
        {"the cell's picture", CellPicture, true, Qt::red},
        {"the table's picture where the cell starts (left half)", TablePictureLeft, true, Qt::red},
        {"the table's picture shifted by the cell's left (right half)", TablePictureRight, true, Qt::blue},
        {"the picture of the document holding the table", DocumentPicture, true, Qt::red},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TTableEditor editor;
        TRDTableItemInfo& table = *editor.Table;
        TRDTableCellData& cell = Cell(table, 0, 1);
        cell.Width = 40;
        cell.Height = 20;
        while (editor.Sheet.ParaStyles().Count() < 2)
            editor.Sheet.ParaStyles().Add();
        editor.Sheet.ParaStyles().Items(1)->Background.Color = green;
        table.BeforePropertyChange();
        table.SetColor(clNone);
        table.AfterPropertyChange();
        TColor expected = clNone;
        switch (c.How) {
        case ParaColour:
            cell.ItemAt(0)->ParaNo = 1;
            expected = green;
            break;
        case Selected:
            cell.ShownSelected = true;
            cell.Color = red;
            expected = editor.Sheet.SelColor;
            break;
        case CellColour:
            cell.Color = red;
            expected = red;
            break;
        case TableColour:
            table.BeforePropertyChange();
            table.SetColor(blue);
            table.AfterPropertyChange();
            expected = blue;
            break;
        case TableParaColour:
            table.ParaNo = 1;
            expected = green;
            break;
        case Nothing:
            expected = editor.Data().GetColor();
            break;
        case CellPicture: {
            std::unique_ptr<TGraphic> picture = Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red));
            cell.SetBackgroundImage(picture.get());
            cell.SetBackgroundStyle(TRDItemBackgroundStyle::rdbsStretched);
            break;
        }
        case TablePictureLeft:
        case TablePictureRight: {
            std::unique_ptr<TGraphic> picture = ModelTwoColourPicture(20, 10, Qt::red, Qt::blue);
            table.SetBackgroundImageEx(picture.get());
            table.BeforePropertyChange();
            table.SetBackgroundStyleValue(int(TRDItemBackgroundStyle::rdbsTiled));
            table.AfterPropertyChange();
            cell.Left = c.How == TablePictureRight ? 10 : 0;
            break;
        }
        case DocumentPicture: {
            std::unique_ptr<TGraphic> picture = Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red));
            ASSERT_NE(editor.Background(), nullptr);
            editor.Background()->AssignImage(picture.get());
            editor.Background()->Style = TBackgroundStyle::bsTiled;
            break;
        }
        }
        QRect rect(0, 0, 5, 5);
        bool hasBitmap = false;
        QImage bitmap;
        TColor color = clNone;
        cell.GetParaBackground(0, rect, hasBitmap, bitmap, color, false);
        EXPECT_EQ(hasBitmap, c.Bitmap);
        if (!c.Bitmap) {
            EXPECT_EQ(color, expected);
            continue;
        }
        ASSERT_EQ(bitmap.size(), QSize(5, 5));
        EXPECT_EQ(QColor(bitmap.pixel(0, 0)), c.Pixel);
        EXPECT_EQ(QColor(bitmap.pixel(4, 4)), c.Pixel);
    }
}

TEST(RDTableModel, CellMinimumWidth)
{
    TTableEditor editor;
    TRDTableCellData& cell = Cell(*editor.Table, 0, 0);
    while (editor.Sheet.ParaStyles().Count() < 2)
        editor.Sheet.ParaStyles().Add();
    TParaInfo* para = editor.Sheet.ParaStyles().Items(1);
    para->FirstIndent = 5;
    para->LeftIndent = 7;
    para->RightIndent = 11;
    cell.ItemAt(0)->ParaNo = 1;
    // An empty cell needs its paragraph's indents, scaled to the device.
    EXPECT_EQ(cell.GetMinWidth(nullptr, nullptr), 23);
    TRDResolutionInfo printer;
    printer.DevicePpiX = printer.DevicePpiY = 192;
    EXPECT_EQ(cell.GetMinWidth(&printer, nullptr), 46);
    // With text: the widest line the content needs.
    cell.Clear();
    cell.AddTextConverted("xyz", 0, 0, TRDTag());
    const int text = cell.GetMinWidth(nullptr, nullptr);
    EXPECT_GT(text, 0);
    EXPECT_EQ(text, cell.WidthFromItemToEnd(0, nullptr, nullptr));
    // Without items: nothing.
    cell.Clear();
    EXPECT_EQ(cell.GetMinWidth(nullptr, nullptr), 0);
}

TEST(RDTableModel, ChoosingAndReleasingCells)
{
    TTableEditor editor;
    TRDTableItemInfo& table = *editor.Table;
    TRDEditRDData& data = editor.Data();
    table.ChooseCell(1, 0);
    EXPECT_EQ(data.GetChosenSubData(), &Cell(table, 1, 0));
    EXPECT_EQ(data.GetChosenSubItem(), &table);
    EXPECT_EQ(table.ChosenRow, 1);
    EXPECT_EQ(table.ChosenCol, 0);
    // The document's selection is the table as one item.
    int s = -1, so = -1, e = -1, eo = -1;
    data.GetSelectionBounds(s, so, e, eo, true);
    EXPECT_EQ(s, 1);
    EXPECT_EQ(e, 1);
    // Another cell takes over.
    table.ChooseCell(0, 1);
    EXPECT_EQ(data.GetChosenSubData(), &Cell(table, 0, 1));
    EXPECT_EQ(table.ChosenRow, 0);
    EXPECT_EQ(table.ChosenCol, 1);
    // Deselecting the chosen cell releases it in the document and the table.
    Cell(table, 0, 1).Deselect();
    EXPECT_EQ(data.GetChosenSubData(), nullptr);
    EXPECT_EQ(table.ChosenRow, -1);
    EXPECT_EQ(table.ChosenCol, -1);

    // A nested document chosen inside a cell makes that cell the chosen one
    // of its table; unchoosing it tells the item holding it.
    TRDTableItemInfo inner(1, 1, nullptr);
    inner.ChosenRow = inner.ChosenCol = 0;
    TRDTableCellData& outer = Cell(table, 1, 1);
    outer.ChooseSubData(&Cell(inner, 0, 0), &inner);
    EXPECT_EQ(table.ChosenRow, 1);
    EXPECT_EQ(table.ChosenCol, 1);
    EXPECT_EQ(outer.GetChosenSubData(), &Cell(inner, 0, 0));
    EXPECT_EQ(outer.GetChosenSubItem(), &inner);
    outer.UnchooseSubData(&Cell(table, 0, 0));  // not the chosen one
    EXPECT_EQ(outer.GetChosenSubData(), &Cell(inner, 0, 0));
    outer.UnchooseSubData(&Cell(inner, 0, 0));
    EXPECT_EQ(outer.GetChosenSubData(), nullptr);
    EXPECT_EQ(outer.GetChosenSubItem(), nullptr);
    EXPECT_EQ(inner.ChosenRow, -1);
}

TEST(RDTableModel, FocusedItemOfACellIsTheTablesFocusedCell)
{
    TTableEditor editor;
    TRDTableItemInfo& table = *editor.Table;
    Cell(table, 1, 0).SetFocusedItem(0);
    EXPECT_EQ(Cell(table, 1, 0).TCustomRDFormattedData::FocusedItemNo, 0);
    EXPECT_EQ(table.FocusRow, 1);
    EXPECT_EQ(table.FocusCol, 0);
    EXPECT_EQ(editor.Data().TCustomRDFormattedData::FocusedItemNo, 1);
}

TEST(RDTableModel, EveryTableRegistersTheSelectionCursors)
{
    for (int round = 0; round < 2; ++round) {
        TRDTableItemInfo table(nullptr);
        // The row arrow points right, the column arrow down; inside is just behind the tip.
        struct Arrow {
            int Id;
            QPoint Hot, Inside;
        };
        for (const Arrow& arrow : {Arrow{104, {24, 10}, {22, 10}}, Arrow{105, {10, 24}, {10, 22}}}) {
            const int id = arrow.Id;
            const QPoint hot = arrow.Hot;
            ASSERT_TRUE(CursorRegistered(id));
            const QCursor cursor = ScreenCursor(id);
            EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
            EXPECT_EQ(cursor.hotSpot(), hot);
            const QImage image = cursor.pixmap().toImage();
            ASSERT_FALSE(image.isNull());
            // The tip is drawn; the corner is see-through.
            EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
            EXPECT_GT(qAlpha(image.pixel(arrow.Inside)), 0);
        }
    }
}
