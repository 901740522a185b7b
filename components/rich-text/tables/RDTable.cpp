#include "tables/RDTable.h"

#include <algorithm>

#include <QtCore/QMetaProperty>
#include <QtGui/QPainter>

#include "Cursors.h"
#include "core/RDError.h"
#include "document/CRDData.h"
#include "editing/RDERDData.h"
#include "editing/RDUndo.h"
#include "styles/RDStyle.h"

namespace {

// Bounds of the stored enumerations: a value outside stays unchanged.
bool TableEnumInRange(int value, int last)
{
    return value >= 0 && value <= last;
}

}  // namespace

// ---- cells ----

TRDTableCellData::TRDTableCellData(TRDTableRow* row) : TRDItemFormattedData(row)
{
    AddTextConverted(QByteArray(), 0, 0, TRDTag());
}

TRDTableCellData::~TRDTableCellData()
{
    Background.reset();
}

TRDTableRow* TRDTableCellData::Row() const
{
    return static_cast<TRDTableRow*>(OwnerList);
}

TRDTableItemInfo* TRDTableCellData::GetTable() const
{
    if (UndoOwner || !OwnerList)
        return nullptr;
    TRDTableRows* rows = Row()->OwnerRows;
    return rows ? rows->Table : nullptr;
}

void TRDTableCellData::SetColor(int value)
{
    Color = static_cast<TColor>(value);
    BackgroundChanged();
}

void TRDTableCellData::SetVAlignValue(int value)
{
    if (TableEnumInRange(value, static_cast<int>(TRDCellVAlign::rdcVDefault)))
        VAlign = static_cast<TRDCellVAlign>(value);
}

void TRDTableCellData::SetBackgroundStyleValue(int value)
{
    if (TableEnumInRange(value, static_cast<int>(TRDItemBackgroundStyle::rdbsCentered)))
        SetBackgroundStyle(static_cast<TRDItemBackgroundStyle>(value));
}

void TRDTableCellData::BackgroundChanged()
{
    // The animations of the document holding the table redraw what lies
    // behind them.
    if (TRDTableItemInfo* table = GetTable())
        if (auto* owner = dynamic_cast<TCustomRDFormattedData*>(table->Rows->OwningData))
            owner->ResetAnimations();
}

void TRDTableCellData::DropEmptyBackground()
{
    if (Background && Background->IsEmpty())
        Background.reset();
}

void TRDTableCellData::SetBackgroundImage(const TGraphic* graphic)
{
    if (graphic == GetBackgroundImage())
        return;
    if (!Background && graphic && !graphic->Empty())
        Background = std::make_unique<TRDBackground>(false);
    if (Background)
        Background->AssignImage(graphic);
    DropEmptyBackground();
    BackgroundChanged();
}

void TRDTableCellData::SetBackgroundImageEx(std::unique_ptr<TGraphic> graphic)
{
    if (graphic && graphic.get() == GetBackgroundImage())
        return;
    if (!Background && graphic && !graphic->Empty())
        Background = std::make_unique<TRDBackground>(false);
    if (Background)
        Background->AssignImage(std::move(graphic));
    DropEmptyBackground();
    BackgroundChanged();
}

TRDItemBackgroundStyle TRDTableCellData::GetBackgroundStyle() const
{
    return Background ? Background->GetItemBackgroundStyle() : TRDItemBackgroundStyle::rdbsColor;
}

void TRDTableCellData::SetBackgroundStyle(TRDItemBackgroundStyle style)
{
    if (style == GetBackgroundStyle())
        return;
    if (!Background && style != TRDItemBackgroundStyle::rdbsColor)
        Background = std::make_unique<TRDBackground>(false);
    if (Background)
        Background->SetItemBackgroundStyle(style);
    DropEmptyBackground();
    BackgroundChanged();
}

bool TRDTableCellData::HasContent(bool compareWithFresh)
{
    TCustomRDData* data = GetActiveData();
    const int count = data->ItemCount();
    if (count > 1)
        return true;
    if (count == 0)
        return false;
    const TCustomRDItemInfo* item = data->ItemAt(0);
    if (compareWithFresh)
        return !(item->StyleNo == 0 && item->ParaNo == 0 && data->TextOfItem(0).isEmpty());
    if (item->StyleNo >= 0)
        return !data->TextOfItem(0).isEmpty();
    return true;
}

bool TRDTableCellData::CanDeleteContent()
{
    TRDStyle* sheet = GetRDStyle();
    if (!sheet)
        return true;
    for (int i = 0; i < ItemCount(); ++i) {
        const TCustomRDItemInfo* item = ItemAt(i);
        const int styleNo = EffectiveStyleNo(*item);
        if (styleNo >= 0) {
            if (styleNo < sheet->TextStyles().Count() &&
                (sheet->TextStyles().TextStyleAt(styleNo)->Protection & rdprDeleteProtect))
                return false;
        } else if (auto* nonText = dynamic_cast<const TRDNonTextItemInfo*>(item); nonText && nonText->Unremovable) {
            return false;
        }
    }
    return true;
}

void TRDTableCellData::AssignAttributes(const TRDTableCellData& source, bool divideBestSize, int rowDivisor,
                                        int colDivisor)
{
    Color = source.Color;
    BorderColor = source.BorderColor;
    BorderLightColor = source.BorderLightColor;
    VisibleBorders = source.VisibleBorders;
    VAlign = source.VAlign;
    SetBackgroundImage(source.GetBackgroundImage());
    SetBackgroundStyle(source.GetBackgroundStyle());
    BackgroundImageFileName = source.BackgroundImageFileName;
    Hint = source.Hint;
    if (divideBestSize) {
        // A divisor below 1 would be a broken caller: the size stays whole.
        BestWidth = colDivisor > 0 ? source.BestWidth / colDivisor : source.BestWidth;
        BestHeight = rowDivisor > 0 ? source.BestHeight / rowDivisor : source.BestHeight;
    }
}

void TRDTableCellData::AssignLayout(const TRDTableCellData& source)
{
    Left = source.Left;
    Top = source.Top;
    Width = source.Width;
    Height = source.Height;
}

TRDCellVAlign TRDTableCellData::GetEffectiveVAlign() const
{
    if (VAlign != TRDCellVAlign::rdcVDefault)
        return VAlign;
    const TRDTableRow* row = Row();
    if (!row || row->VAlign == TRDCellVAlign::rdcVDefault)
        return TRDCellVAlign::rdcMiddle;
    return row->VAlign;
}

int TRDTableCellData::GetContentVOffset()
{
    const TRDTableItemInfo* table = GetTable();
    const int padding = table ? table->GetCellVPadding() : 0;
    const auto* active = dynamic_cast<TCustomRDFormattedData*>(GetActiveData());
    const int documentHeight = active ? active->DocumentHeight : DocumentHeight;
    // No cell editor is open in this layer: the padding always counts.
    switch (GetEffectiveVAlign()) {
    case TRDCellVAlign::rdcMiddle:
        return (Height - documentHeight) / 2 - padding;
    case TRDCellVAlign::rdcBottom:
        return Height - documentHeight - 2 * padding;
    default:
        return 0;
    }
}

int TRDTableCellData::GetContentHeight(bool ignoreContentWhenBestHeight)
{
    if (ignoreContentWhenBestHeight && BestHeight != 0)
        return std::max(0, BestHeight);
    return std::max(DocumentHeight, BestHeight);
}

void TRDTableCellData::DetachToUndo(TRDUndoInfo* record)
{
    for (int i = 0; i < ItemCount(); ++i)
        ItemAt(i)->MovingToUndoList(i, this, record);
    UndoOwner = record;
    OwnerList = nullptr;
}

void TRDTableCellData::ReattachFromUndo()
{
    UndoOwner = nullptr;
    for (int i = 0; i < ItemCount(); ++i)
        ItemAt(i)->MovingFromUndoList(i, this);
}

TRDOptions TRDTableCellData::GetOptions()
{
    TRDOptions options = 0;
    if (UndoOwner) {
        if (TCustomRDData* data = UndoOwner->GetRDData())
            options = data->GetOptions();
    } else if (TCustomRDData* parent = GetParentData()) {
        options = parent->GetOptions();
    }
    return options & ~rdoClientTextWidth;
}

TColor TRDTableCellData::GetColor()
{
    if (Color != clNone)
        return Color;
    const TRDTableItemInfo* table = GetTable();
    return table ? table->GetColor() : clNone;
}

int TRDTableCellData::GetWidth()
{
    const TRDTableItemInfo* table = GetTable();
    return Width - 2 * (table ? table->GetCellHPadding() : 0);
}

int TRDTableCellData::GetHeight()
{
    const TRDTableItemInfo* table = GetTable();
    return Height - 2 * (table ? table->GetCellVPadding() : 0);
}

void TRDTableCellData::GetParentInfo(int& parentItemNo, std::unique_ptr<TRDLocation>& location)
{
    TRDTableItemInfo* table = GetTable();
    parentItemNo = table ? table->GetMyItemNo() : -1;
    location.reset();
    if (!table)
        return;
    for (int r = 0; r < table->RowCount(); ++r)
        for (int c = 0; c < table->Rows->Row(r)->Count(); ++c)
            if (table->GetCell(r, c) == this) {
                location = std::make_unique<TRDTableStoreSubRDData>(r, c);
                return;
            }
}

void TRDTableCellData::DoItemAction(TRDItemAction action, TCustomRDItemInfo* item, QByteArray& text,
                                    TCustomRDData* rdData)
{
    if (UndoOwner) {
        if (TCustomRDData* data = UndoOwner->GetRDData())
            data->DoItemAction(action, item, text, rdData);
        return;
    }
    if (TRDTableItemInfo* table = GetTable())
        if (TCustomRDData* owner = table->Rows->OwningData)
            owner->DoItemAction(action, item, text, rdData);
}

void TRDTableCellData::DoControlAction(TRDControlAction action, int itemNo, void*& control)
{
    if (UndoOwner) {
        if (TCustomRDData* data = UndoOwner->GetRDData())
            data->DoControlAction(action == TRDControlAction::rdcaDestroy ? TRDControlAction::rdcaDestroyInUndoList
                                                                            : action,
                                  -1, control);
        return;
    }
    if (TRDTableItemInfo* table = GetTable())
        if (TCustomRDData* owner = table->Rows->OwningData)
            owner->DoControlAction(action, itemNo, control);
}

TRDSeqList* TRDTableCellData::GetSeqList(bool create)
{
    TRDTableItemInfo* table = GetTable();
    if (!table || table->GetMyItemNo() < 0)
        return nullptr;
    return TRDItemFormattedData::GetSeqList(create);
}

TRDMarkerList* TRDTableCellData::GetMarkerList(bool create)
{
    TRDTableItemInfo* table = GetTable();
    if (!table || table->GetMyItemNo() < 0)
        return nullptr;
    return TRDItemFormattedData::GetMarkerList(create);
}

// ---- rows ----

TRDTableRow::TRDTableRow(int cellCount, TRDTableRows* rows) : OwnerRows(rows)
{
    for (int i = 0; i < cellCount; ++i)
        AddCell();
}

TCustomRDData* TRDTableRow::GetParentRDData()
{
    return OwnerRows ? OwnerRows->OwningData : nullptr;
}

TRDTableCellData* TRDTableRow::AddCell()
{
    return static_cast<TRDTableCellData*>(Add(std::make_unique<TRDTableCellData>(this)));
}

TRDTableCellData* TRDTableRow::InsertCell(int index)
{
    return static_cast<TRDTableCellData*>(Insert(index, std::make_unique<TRDTableCellData>(this)));
}

void TRDTableRow::InsertNil(int index)
{
    Insert(index, nullptr);
}

void TRDTableRow::InsertCellObject(int index, std::unique_ptr<TRDTableCellData> cell)
{
    if (cell)
        cell->OwnerList = this;
    Insert(index, std::move(cell));
}

TRDTableCellData* TRDTableRow::GetCell(int index) const
{
    return static_cast<TRDTableCellData*>(Items(index));
}

std::unique_ptr<TRDTableCellData> TRDTableRow::PutCell(int index, std::unique_ptr<TRDTableCellData> cell)
{
    if (cell)
        cell->OwnerList = this;
    std::unique_ptr<TRDItemFormattedData> old = DetachAt(index);
    Insert(index, std::move(cell));
    return std::unique_ptr<TRDTableCellData>(static_cast<TRDTableCellData*>(old.release()));
}

int TRDTableRow::GetBestHeight() const
{
    int best = 0;
    for (int i = 0; i < Count(); ++i)
        if (const TRDTableCellData* cell = GetCell(i); cell && cell->RowSpan <= 1)
            best = std::max(best, cell->BestHeight);
    return best;
}

int TRDTableRow::GetHeightNeeded(bool ignoreContentWhenBestHeight) const
{
    int needed = 0;
    for (int i = 0; i < Count(); ++i)
        if (TRDTableCellData* cell = GetCell(i); cell && cell->RowSpan <= 1)
            needed = std::max(needed, cell->GetContentHeight(ignoreContentWhenBestHeight));
    return needed == 0 ? 10 : needed;
}

bool TRDTableRow::HasCellEndingWithin(int rowIndex, int firstRow, int rowCount) const
{
    if (rowIndex < firstRow)
        return false;
    const int64_t lastRow = int64_t(firstRow) + rowCount - 1;
    for (int i = 0; i < Count(); ++i)
        if (const TRDTableCellData* cell = GetCell(i); cell && int64_t(rowIndex) + cell->RowSpan - 1 <= lastRow)
            return true;
    return false;
}

TRDTableRows::TRDTableRows(TCustomRDData* rdData, TRDTableItemInfo* table) : OwningData(rdData), Table(table) {}

void TRDTableRows::AddRows(int rowCount, int colCount)
{
    for (int i = 0; i < rowCount; ++i)
        Add(std::make_unique<TRDTableRow>(colCount, this));
}

// ---- the table item ----

TRDTableItemInfo::TRDTableItemInfo(TCustomRDData* rdData) : TRDFullLineItemInfo(rdData)
{
    Construct(1, 1, rdData);
}

TRDTableItemInfo::TRDTableItemInfo(int rowCount, int colCount, TCustomRDData* rdData) : TRDFullLineItemInfo(rdData)
{
    if (rowCount < 0 || colCount < 0)
        throw ERichDocError("Invalid row or column count");
    Construct(rowCount, colCount, rdData);
}

void TRDTableItemInfo::Construct(int rowCount, int colCount, TCustomRDData* rdData)
{
    StyleNo = TableStyleNo;
    // The rows are in place before the first cell is made: a new cell's first
    // item already reaches the table through them.
    Rows = std::make_unique<TRDTableRows>(rdData, this);
    Rows->AddRows(rowCount, colCount);
    // The selection cursors, registered again by every table (drawn when first shown).
    RegisterCursor(crRDSelectRow,
                   [] { return CursorFromBitmapResource(QStringLiteral("RD_SELECTROW_CURSOR"), 24, 10); });
    RegisterCursor(crRDSelectCol,
                   [] { return CursorFromBitmapResource(QStringLiteral("RD_SELECTCOL_CURSOR"), 10, 24); });
    TableState |= tsNewItem;
}

TRDTableItemInfo::~TRDTableItemInfo()
{
    // The document holding the table forgets the mouse capture, the chosen
    // item and the drag line the table may still hold there (told to no one:
    // the document may be going too).
    if (auto* owner = dynamic_cast<TCustomRDFormattedData*>(Rows->OwningData)) {
        owner->ReleaseItemCapture(this);
        if (owner->GetChosenItem() == this)
            owner->TCustomRDFormattedData::SetChosenItem(nullptr);
        if (owner->XorDrawingItem == this)
            owner->UnregisterXorDrawing(owner->XorDrawing, this);
    }
    // The cells go before the rest of the table: their items may still ask it.
    Rows.reset();
    Background.reset();
}

TCustomRDItemInfo* TRDTableItemInfo::CreateSameClass(TCustomRDData* rdData) const
{
    return new TRDTableItemInfo(rdData);
}

TRDTableCellData* TRDTableItemInfo::GetCell(int row, int col) const
{
    return Rows->Row(row)->GetCell(col);
}

int TRDTableItemInfo::ColCount() const
{
    return Rows->Count() == 0 ? 0 : Rows->Row(0)->Count();
}

int TRDTableItemInfo::GetMyItemNo()
{
    TCustomRDData* owner = Rows->OwningData;
    if (!owner)
        return -1;
    if (FCachedItemNo >= 0 && FCachedItemNo < owner->ItemCount() && owner->ItemAt(FCachedItemNo) == this)
        return FCachedItemNo;
    FCachedItemNo = owner->IndexOfItem(this);
    return FCachedItemNo;
}

bool TRDTableItemInfo::InEditingDocument() const
{
    return dynamic_cast<TRDEditRDData*>(Rows->OwningData) != nullptr;
}

bool TRDTableItemInfo::UndoEnabled() const
{
    if (!(TableState & tsInDocument) || !Rows->OwningData)
        return false;
    auto* root = dynamic_cast<TRDEditRDData*>(Rows->OwningData->GetAbsoluteRootData());
    return root && root->UndoList && root->UndoList->MaxGroupCount != 0;
}

int TRDTableItemInfo::GetUndoItemNo()
{
    return UndoEnabled() ? GetMyItemNo() : -1;
}

bool TRDTableItemInfo::HasRowPageBreaks(int from, int to) const
{
    if (from < 0)
        from = FHeadingRowCount + 1;
    if (to < 0)
        to = RowCount() - 1;
    for (int r = std::max(from, 0); r <= to && r < RowCount(); ++r)
        if (Rows->Row(r)->PageBreakBefore)
            return true;
    return false;
}

bool TRDTableItemInfo::HeadingRowsRepeatable() const
{
    const int h = std::min(FHeadingRowCount, RowCount());
    if (h <= 0)
        return false;
    // A cell reaching below the heading rows from them makes the heading
    // impossible to repeat alone.
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c)
            if (const TRDTableCellData* cell = GetCell(r, c); cell && int64_t(r) + cell->RowSpan - 1 > h - 1)
                return false;
    return true;
}

// ---- properties ----

void TRDTableItemInfo::SetPropertyByName(const QString& name, int value, bool reformat, bool changesWidth)
{
    const bool wasInDocument = TableState & tsInDocument;
    if (wasInDocument && InEditingDocument()) {
        auto* data = static_cast<TRDEditRDData*>(Rows->OwningData);
        TableState &= ~tsInDocument;
        try {
            data->BeginUndoGroup(13, true);
            data->ModifyItemIntProperty(GetMyItemNo(), nullptr, nullptr, reformat, changesWidth, value, name);
            // The recorded change shows at once.
            data->InvalidateControl();
        } catch (...) {
            TableState |= tsInDocument;
            throw;
        }
        TableState |= tsInDocument;
    } else {
        TableState &= ~tsInDocument;
        const QMetaObject* meta = metaObject();
        const int index = meta->indexOfProperty(name.toLatin1().constData());
        const bool written = index >= 0 && meta->property(index).write(this, value);
        if (wasInDocument)
            TableState |= tsInDocument;
        if (!written)
            throw ERichDocError(QStringLiteral("Cannot set property %1").arg(name));
    }
    MarkChanged();
}

void TRDTableItemInfo::SetIntProperty(int& field, int value, const char* name, bool reformat, bool changesWidth)
{
    if (TableState & tsInDocument)
        SetPropertyByName(QLatin1String(name), value, reformat, changesWidth);
    else
        field = value;
}

void TRDTableItemInfo::SetColorProperty(TColor& field, int value, const char* name)
{
    if (TableState & tsInDocument)
        SetPropertyByName(QLatin1String(name), value, false, false);
    else
        field = static_cast<TColor>(value);
}

void TRDTableItemInfo::SetBestWidth(int value) { SetIntProperty(FBestWidth, value, "BestWidth", true, true); }

void TRDTableItemInfo::SetColor(int value)
{
    SetColorProperty(FColor, value, "Color");
    if (auto* owner = dynamic_cast<TCustomRDFormattedData*>(Rows->OwningData))
        owner->ResetAnimations();
}

void TRDTableItemInfo::SetHeadingRowCount(int value)
{
    SetIntProperty(FHeadingRowCount, value, "HeadingRowCount", false, false);
}
void TRDTableItemInfo::SetBorderWidth(int value) { SetIntProperty(FBorderWidth, value, "BorderWidth", true, true); }
void TRDTableItemInfo::SetBorderColor(int value) { SetColorProperty(FBorderColor, value, "BorderColor"); }
void TRDTableItemInfo::SetBorderLightColor(int value)
{
    SetColorProperty(FBorderLightColor, value, "BorderLightColor");
}

void TRDTableItemInfo::SetBorderStyleValue(int value)
{
    if (!TableEnumInRange(value, static_cast<int>(TRDTableBorderStyle::rdtbLoweredColor)))
        return;
    if (TableState & tsInDocument)
        SetPropertyByName(QStringLiteral("BorderStyle"), value, false, false);
    else
        FBorderStyle = static_cast<TRDTableBorderStyle>(value);
}

void TRDTableItemInfo::SetBorderVSpacing(int value)
{
    SetIntProperty(FBorderVSpacing, value, "BorderVSpacing", false, true);
}
void TRDTableItemInfo::SetBorderHSpacing(int value)
{
    SetIntProperty(FBorderHSpacing, value, "BorderHSpacing", true, true);
}
void TRDTableItemInfo::SetCellBorderWidth(int value)
{
    SetIntProperty(FCellBorderWidth, value, "CellBorderWidth", true, true);
}
void TRDTableItemInfo::SetCellBorderColor(int value) { SetColorProperty(FCellBorderColor, value, "CellBorderColor"); }
void TRDTableItemInfo::SetCellBorderLightColor(int value)
{
    SetColorProperty(FCellBorderLightColor, value, "CellBorderLightColor");
}

void TRDTableItemInfo::SetCellHPadding(int value)
{
    TableState |= tsPaddingChanged;
    SetIntProperty(FCellHPadding, value, "CellHPadding", true, true);
}

void TRDTableItemInfo::SetCellVPadding(int value)
{
    TableState |= tsPaddingChanged;
    SetIntProperty(FCellVPadding, value, "CellVPadding", true, true);
}

int TRDTableItemInfo::GetCellPadding() const
{
    const int64_t sum = int64_t(FCellHPadding) + FCellVPadding;
    // Floor of the half; an odd sum lies halfway: the even neighbour wins.
    int64_t half = sum >= 0 ? sum / 2 : -((-sum + 1) / 2);
    if ((sum & 1) && (half & 1))
        ++half;
    return static_cast<int>(half);
}

void TRDTableItemInfo::SetCellPadding(int value)
{
    SetCellHPadding(value);
    SetCellVPadding(value);
}

bool TRDTableItemInfo::IsCellHPaddingStored() const
{
    return FCellHPadding != FCellVPadding && FCellHPadding != 1;
}

bool TRDTableItemInfo::IsCellVPaddingStored() const
{
    return FCellHPadding != FCellVPadding && FCellVPadding != 1;
}

bool TRDTableItemInfo::IsCellPaddingStored() const
{
    return FCellHPadding == FCellVPadding && FCellHPadding != 1;
}

void TRDTableItemInfo::SetCellBorderStyleValue(int value)
{
    if (!TableEnumInRange(value, static_cast<int>(TRDTableBorderStyle::rdtbLoweredColor)))
        return;
    if (TableState & tsInDocument)
        SetPropertyByName(QStringLiteral("CellBorderStyle"), value, false, false);
    else
        FCellBorderStyle = static_cast<TRDTableBorderStyle>(value);
}

void TRDTableItemInfo::SetVRuleWidth(int value) { SetIntProperty(FVRuleWidth, value, "VRuleWidth", false, false); }
void TRDTableItemInfo::SetVRuleColor(int value) { SetColorProperty(FVRuleColor, value, "VRuleColor"); }
void TRDTableItemInfo::SetHRuleWidth(int value) { SetIntProperty(FHRuleWidth, value, "HRuleWidth", false, false); }
void TRDTableItemInfo::SetHRuleColor(int value) { SetColorProperty(FHRuleColor, value, "HRuleColor"); }
void TRDTableItemInfo::SetCellVSpacing(int value)
{
    SetIntProperty(FCellVSpacing, value, "CellVSpacing", false, true);
}
void TRDTableItemInfo::SetCellHSpacing(int value)
{
    SetIntProperty(FCellHSpacing, value, "CellHSpacing", true, true);
}

void TRDTableItemInfo::SetVOutermostRule(int value)
{
    if (TableState & tsInDocument)
        SetPropertyByName(QStringLiteral("VOutermostRule"), value != 0, false, false);
    else
        FVOutermostRule = value != 0;
}

void TRDTableItemInfo::SetHOutermostRule(int value)
{
    if (TableState & tsInDocument)
        SetPropertyByName(QStringLiteral("HOutermostRule"), value != 0, false, false);
    else
        FHOutermostRule = value != 0;
}

TRDItemBackgroundStyle TRDTableItemInfo::GetBackgroundStyle() const
{
    return Background ? Background->GetItemBackgroundStyle() : TRDItemBackgroundStyle::rdbsColor;
}

void TRDTableItemInfo::DropEmptyBackground()
{
    if (Background && Background->IsEmpty())
        Background.reset();
}

void TRDTableItemInfo::SetBackgroundStyleValue(int value)
{
    if (!TableEnumInRange(value, static_cast<int>(TRDItemBackgroundStyle::rdbsCentered)))
        return;
    const auto style = static_cast<TRDItemBackgroundStyle>(value);
    if (style == GetBackgroundStyle())
        return;
    if (TableState & tsInDocument) {
        SetPropertyByName(QStringLiteral("BackgroundStyle"), value, false, false);
        return;
    }
    if (!Background && style != TRDItemBackgroundStyle::rdbsColor)
        Background = std::make_unique<TRDBackground>(false);
    if (Background)
        Background->SetItemBackgroundStyle(style);
    DropEmptyBackground();
    if (auto* owner = dynamic_cast<TCustomRDFormattedData*>(Rows->OwningData))
        owner->ResetAnimations();
}

void TRDTableItemInfo::SetBackgroundImageEx(const TGraphic* graphic)
{
    if (graphic == GetBackgroundImage())
        return;
    if (!Background && graphic && !graphic->Empty())
        Background = std::make_unique<TRDBackground>(false);
    if (Background)
        Background->AssignImage(graphic);
    DropEmptyBackground();
    if (auto* owner = dynamic_cast<TCustomRDFormattedData*>(Rows->OwningData))
        owner->ResetAnimations();
}

// ---- the item's life in a document ----

bool TRDTableItemInfo::GetBoolValue(int id) const
{
    switch (id) {
    case 3: case 4: case 5: case 9: case 11: return true;
    default: return TRDFullLineItemInfo::GetBoolValue(id);
    }
}

bool TRDTableItemInfo::GetBoolValueEx(int id, const TRDStyle* rdStyle) const
{
    return id == 1 ? false : TRDFullLineItemInfo::GetBoolValueEx(id, rdStyle);
}

void TRDTableItemInfo::Inserting(TCustomRDData* rdData, QByteArray& text, bool detached)
{
    Rows->OwningData = rdData;
    if (rdData)
        TableState |= tsInDocument;
    else
        TableState &= ~tsInDocument;
    if (rdData && dynamic_cast<TRDEditRDData*>(rdData->GetAbsoluteRootData()))
        TableState |= tsInEditor;
    else
        TableState &= ~tsInEditor;
    for (int r = 0; r < RowCount(); ++r) {
        TRDTableRow* row = Rows->Row(r);
        for (int c = 0; c < row->Count(); ++c) {
            TRDTableCellData* cell = row->GetCell(c);
            if (!cell)
                continue;
            if (cell->ItemCount() == 0)
                cell->AddTextConverted(QByteArray(), 0, 0, TRDTag());
            cell->OwnerList = row;
            cell->NotifyItemsInserting(cell, detached);
        }
    }
    TRDFullLineItemInfo::Inserting(rdData, text, detached);
}

void TRDTableItemInfo::Inserted(TCustomRDData* rdData, int itemNo)
{
    TRDFullLineItemInfo::Inserted(rdData, itemNo);
    if (!(TableState & tsNewItem))
        return;
    struct ClearNew {
        uint16_t& state;
        ~ClearNew() { state &= ~tsNewItem; }
    } clearNew{TableState};
    if (!rdData)
        return;
    if (!(rdData->GetControlFlags() & 0x0100)) {
        int parentItemNo = -1;
        std::unique_ptr<TRDLocation> location;
        rdData->GetParentInfo(parentItemNo, location);
        if (parentItemNo < 0)
            return;
    }
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c)
            if (TRDTableCellData* cell = GetCell(r, c))
                for (int i = 0; i < cell->ItemCount(); ++i) {
                    cell->AddSeqItemToList(i);
                    cell->AddMarkerToList(i);
                    cell->ItemAt(i)->Inserted(cell, i);
                }
}

void TRDTableItemInfo::MovingToUndoList(int itemNo, TCustomRDData* rdData, TRDUndoInfo* undoInfo)
{
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c)
            if (TRDTableCellData* cell = GetCell(r, c))
                for (int i = 0; i < cell->ItemCount(); ++i)
                    cell->ItemAt(i)->MovingToUndoList(i, cell, undoInfo);
    Rows->OwningData = nullptr;
    TableState &= ~(tsInDocument | tsInEditor);
    TRDFullLineItemInfo::MovingToUndoList(itemNo, rdData, undoInfo);
}

void TRDTableItemInfo::MovingFromUndoList(int itemNo, TCustomRDData* rdData)
{
    Rows->OwningData = rdData;
    if (rdData)
        TableState |= tsInDocument;
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c)
            if (TRDTableCellData* cell = GetCell(r, c))
                for (int i = 0; i < cell->ItemCount(); ++i)
                    cell->ItemAt(i)->MovingFromUndoList(i, cell);
    TRDFullLineItemInfo::MovingFromUndoList(itemNo, rdData);
}

void TRDTableItemInfo::BeforeLoading(TRDLoadFormat format)
{
    if (format == TRDLoadFormat::rdlfRTF || format == TRDLoadFormat::rdlfRDF)
        TableState &= ~tsNewItem;
}

void TRDTableItemInfo::AfterLoading(TRDLoadFormat format)
{
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c)
            if (TRDTableCellData* cell = GetCell(r, c))
                for (int i = 0; i < cell->ItemCount(); ++i) {
                    cell->AddSeqItemToList(i);
                    cell->AddMarkerToList(i);
                    cell->ItemAt(i)->AfterLoading(format);
                }
}

void TRDTableItemInfo::BeforePropertyChange()
{
    TableState &= ~tsInDocument;
}

void TRDTableItemInfo::AfterPropertyChange()
{
    TableState |= tsInDocument;
    MarkChanged();
}

bool TRDTableItemInfo::SetExtraStrProperty(int id, const QString& value)
{
    if (id == 3) {
        BackgroundImageFileName = value;
        return true;
    }
    return TRDFullLineItemInfo::SetExtraStrProperty(id, value);
}

bool TRDTableItemInfo::GetExtraStrProperty(int id, QString& value) const
{
    if (id == 3) {
        value = BackgroundImageFileName;
        return true;
    }
    return TRDFullLineItemInfo::GetExtraStrProperty(id, value);
}

int TRDTableItemInfo::GetRDFExtraPropertyCount() const
{
    return TRDFullLineItemInfo::GetRDFExtraPropertyCount() + (BackgroundImageFileName.isEmpty() ? 0 : 1);
}

void TRDTableItemInfo::SaveRDFExtraProperties(TRDStream& stream) const
{
    TRDFullLineItemInfo::SaveRDFExtraProperties(stream);
    if (!BackgroundImageFileName.isEmpty())
        RDFWriteExtraStrProperty(stream, 3, BackgroundImageFileName);
}

void TRDTableItemInfo::MarkStylesInUse(TRDStyleUsage& usage) const
{
    TRDFullLineItemInfo::MarkStylesInUse(usage);
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c)
            if (const TRDTableCellData* cell = GetCell(r, c))
                cell->MarkStylesInUse(usage);
}

void TRDTableItemInfo::UpdateStyles(const TRDStyleMaps& maps)
{
    TRDFullLineItemInfo::UpdateStyles(maps);
    for (int r = 0; r < RowCount(); ++r)
        for (int c = 0; c < Rows->Row(r)->Count(); ++c)
            if (TRDTableCellData* cell = GetCell(r, c))
                cell->UpdateStyles(maps);
}

// ---- cells: coordinates, backgrounds, choosing ----

namespace {

// The formatted document holding a table; nil while the table is detached.
TCustomRDFormattedData* TableOwnerData(const TRDTableItemInfo* table)
{
    return table ? dynamic_cast<TCustomRDFormattedData*>(table->Rows->OwningData) : nullptr;
}

// The background colour of the paragraph of item itemNo of data.
TColor TableParaColor(TCustomRDData* data, int itemNo)
{
    if (!data || itemNo < 0 || itemNo >= data->ItemCount())
        return clNone;
    TRDStyle* sheet = data->GetRDStyle();
    if (!sheet)
        return clNone;
    const int paraNo = data->ItemAt(itemNo)->ParaNo;
    if (paraNo < 0 || paraNo >= sheet->ParaStyles().Count())
        return clNone;
    return sheet->ParaStyles().ParaStyleAt(paraNo)->Background.Color;
}

// The bitmap behind rect: made (when it is not yet), sized and filled.
void TableMakeBitmap(QImage& bitmap, bool& hasBitmap, const QRect& rect, TColor color)
{
    hasBitmap = true;
    const QSize size = rect.size().expandedTo(QSize(0, 0));
    if (bitmap.size() != size || bitmap.format() != QImage::Format_ARGB32_Premultiplied)
        bitmap = QImage(size, QImage::Format_ARGB32_Premultiplied);
    if (!bitmap.isNull())
        bitmap.fill(color != clNone ? ToQColor(ColorToRGB(color)) : QColor(Qt::transparent));
}

// Draws a picture background covering width x height into bitmap, whose
// top left corner is at rect's top left in the same coordinates.
void TableDrawPicture(const TRDBackground& background, QImage& bitmap, const QRect& rect, TColor color, int width,
                      int height)
{
    if (bitmap.isNull())
        return;
    QPainter painter(&bitmap);
    TCanvas canvas(painter);
    background.DrawBackgroundRect(canvas, rect, false, false, color, width, height, 0, 0, 0, 0);
}

}  // namespace

void TRDTableCellData::GetOrigin(int& x, int& y)
{
    x = y = 0;
    TRDTableItemInfo* table = GetTable();
    TCustomRDFormattedData* owner = TableOwnerData(table);
    if (!owner)
        return;
    owner->GetOrigin(x, y);
    int ix = 0, iy = 0;
    owner->GetItemCoords(table->GetMyItemNo(), ix, iy);
    x += ix + Left + table->GetCellHPadding();
    y += iy + Top + table->GetCellVPadding() + GetContentVOffset();
}

void TRDTableCellData::GetPointOrigin(int& x, int& y)
{
    x = y = 0;
    TRDTableItemInfo* table = GetTable();
    TCustomRDFormattedData* owner = TableOwnerData(table);
    if (!owner)
        return;
    owner->GetPointOrigin(x, y);
    int ix = 0, iy = 0;
    owner->GetItemCoords(table->GetMyItemNo(), ix, iy);
    x += ix + Left + table->GetCellHPadding();
    y += iy + Top + table->GetCellVPadding() + GetContentVOffset();
}

int TRDTableCellData::GetHOffset()
{
    const TRDTableItemInfo* table = GetTable();
    if (!table)
        return 0;
    return -(table->ClientLeft + table->GetCellHPadding() + Left);
}

int TRDTableCellData::GetVOffset()
{
    const TRDTableItemInfo* table = GetTable();
    if (!table)
        return 0;
    return -(GetContentVOffset() + table->ClientTop + table->GetCellVPadding() + Top);
}

void TRDTableCellData::DrawCellPicture(QImage& bitmap, const QRect& rect, TColor color) const
{
    if (Background)
        TableDrawPicture(*Background, bitmap, rect, color, Width, Height);
}

void TRDTableCellData::GetParaBackground(int itemNo, QRect& rect, bool& hasBitmap, QImage& bitmap, TColor& color,
                                         bool useItemRect)
{
    hasBitmap = false;
    TCustomRDData* active = GetActiveData();
    color = TableParaColor(active, itemNo);
    if (color != clNone)
        return;
    TRDTableItemInfo* table = GetTable();
    if (ShownSelected || (table && table->IsSelectedAsWhole())) {
        TRDStyle* sheet = GetRDStyle();
        color = sheet ? sheet->SelColor : clNone;
        if (color != clNone)
            return;
    }
    color = Color;
    const bool edited = active != this;
    auto* activeData = dynamic_cast<TCustomRDFormattedData*>(active);
    const int px = table && !edited ? table->GetCellHPadding() : 0;
    const int py = table && !edited ? table->GetCellVPadding() : 0;
    if (useItemRect && activeData && itemNo >= 0 && itemNo < activeData->ItemCount()) {
        const int d = activeData->FirstDrawItemOfItem(itemNo);
        if (d >= 0) {
            const TCustomRDItemInfo* item = activeData->ItemAt(itemNo);
            const TRDDrawLineInfo* di = activeData->DrawItems[d];
            TRDStyle* sheet = GetRDStyle();
            rect = QRect(item->GetHorzSpacing() + di->Left + px, item->GetVertSpacing() + di->Top + py,
                         item->GetImageWidth(sheet), item->GetImageHeight(sheet));
        }
    }
    int cellKind;
    if (GetBackgroundStyle() != TRDItemBackgroundStyle::rdbsColor)
        cellKind = color == clNone && Background->NeedsColorFill() ? 3 : 2;
    else
        cellKind = color != clNone ? 1 : 0;
    if (cellKind == 1)
        return;
    if (cellKind == 2) {
        TableMakeBitmap(bitmap, hasBitmap, rect, color);
        DrawCellPicture(bitmap, rect, color);
        return;
    }
    // The cell lets the table show through, and the table perhaps the
    // document holding it.
    if (!table)
        return;
    const TColor tableColor = table->GetColor();
    TCustomRDFormattedData* owner = TableOwnerData(table);
    const int tableItemNo = table->GetMyItemNo();
    const TColor paraColor = TableParaColor(owner, tableItemNo);
    const bool bothNone = tableColor == clNone && paraColor == clNone;
    int tableKind;
    if (table->GetBackgroundStyle() != TRDItemBackgroundStyle::rdbsColor)
        tableKind = bothNone && table->Background->NeedsColorFill() ? 3 : 2;
    else
        tableKind = bothNone ? 0 : 1;
    // The table's picture covers the whole table; this cell sees its part.
    auto drawTablePicture = [&](TColor with) {
        if (table->Background && !bitmap.isNull()) {
            QPainter painter(&bitmap);
            TCanvas canvas(painter);
            table->Background->DrawBackgroundRect(canvas, rect.translated(Left, Top), false, false, with,
                                                  table->GetWidthEx(), table->GetHeightEx(), 0, 0, 0, 0);
        }
    };
    if (tableKind == 1) {
        color = tableColor != clNone ? tableColor : paraColor;
        if (cellKind == 3) {
            TableMakeBitmap(bitmap, hasBitmap, rect, color);
            DrawCellPicture(bitmap, rect, color);
        }
        return;
    }
    if (tableKind == 2) {
        color = tableColor != clNone ? tableColor : paraColor;
        TableMakeBitmap(bitmap, hasBitmap, rect, color);
        drawTablePicture(color);
        if (cellKind == 3)
            DrawCellPicture(bitmap, rect, clNone);
        return;
    }
    // Kinds 0 and 3: the document holding the table answers for the place
    // the rectangle takes there (the padding counts even while edited).
    if (owner && tableItemNo >= 0) {
        int tx = 0, ty = 0;
        owner->GetItemCoords(tableItemNo, tx, ty);
        int left = tx + Left + table->GetCellHPadding();
        int top = ty + Top + table->GetCellVPadding();
        const int d = activeData ? activeData->FirstDrawItemOfItem(itemNo) : -1;
        if (d >= 0) {
            const TCustomRDItemInfo* item = activeData->ItemAt(itemNo);
            left += item->GetHorzSpacing() + activeData->DrawItems[d]->Left;
            top += item->GetVertSpacing() + activeData->DrawItems[d]->Top;
        } else {
            left += rect.left() - px;
            top += rect.top() - py;
        }
        QRect outer(left - owner->GetHOffset(), top - owner->GetVOffset(), rect.width(), rect.height());
        owner->GetParaBackground(tableItemNo, outer, hasBitmap, bitmap, color, false);
    }
    if (tableKind == 3) {
        if (!hasBitmap)
            TableMakeBitmap(bitmap, hasBitmap, rect, color);
        drawTablePicture(tableColor);
    }
    if (cellKind == 3) {
        if (!hasBitmap)
            TableMakeBitmap(bitmap, hasBitmap, rect, color);
        DrawCellPicture(bitmap, rect, clNone);
    }
}

void TRDTableCellData::SetFocusedItem(int itemNo)
{
    TRDItemFormattedData::SetFocusedItem(itemNo);
    TRDTableItemInfo* table = GetTable();
    int row = -1, col = -1;
    if (table && table->GetCellPosition(this, row, col))
        table->SetFocusedCell(row, col);
}

void TRDTableCellData::PrepareInvalidate()
{
    TRDItemFormattedData::PrepareInvalidate();
    if (auto* parent = dynamic_cast<TCustomRDFormattedData*>(GetParentData()))
        parent->PrepareInvalidate();
    if (TRDTableItemInfo* table = GetTable())
        table->UpdateClientPosition();
}

void TRDTableCellData::ChooseSubData(TCustomRDData* data, TCustomRDItemInfo* item)
{
    TRDTableItemInfo* table = GetTable();
    int row = -1, col = -1;
    if (table && table->GetCellPosition(this, row, col))
        table->ChooseCell(row, col);
    TRDItemFormattedData::ChooseSubData(data, item);
    auto* sub = dynamic_cast<TCustomRDFormattedData*>(data);
    if (ChosenSubData && ChosenSubData != sub)
        UnchooseSubData(ChosenSubData);
    ChosenSubData = sub;
    ChosenItem = item;
}

void TRDTableCellData::UnchooseSubData(TCustomRDData* data)
{
    TRDItemFormattedData::UnchooseSubData(data);
    if (State & dsUnchoosingSubData)
        return;
    TCustomRDData* active = GetActiveData();
    const TRDStateBits unchoosing(State, dsUnchoosingSubData);
    const bool activeIsOther = active != this;
    if (activeIsOther)
        active->State |= dsUnchoosingSubData;
    struct ClearActive {
        TCustomRDData* data;
        ~ClearActive()
        {
            if (data)
                data->State &= ~dsUnchoosingSubData;
        }
    } clearActive{activeIsOther ? active : nullptr};
    if (!ChosenSubData || !data)
        return;
    if (data != ChosenSubData && data->GetActiveData() != ChosenSubData)
        return;
    if (auto* chosenActive = dynamic_cast<TCustomRDFormattedData*>(ChosenSubData->GetActiveData()))
        chosenActive->Deselect(nullptr, false);
    ChosenSubData = nullptr;
    TCustomRDItemInfo* item = ChosenItem;
    ChosenItem = nullptr;
    if (item)
        item->LeaveChosenSubDocument();
}

void TRDTableCellData::Deselect(TCustomRDItemInfo* keep, bool notify)
{
    TRDItemFormattedData::Deselect(keep, notify);
    TRDTableItemInfo* table = GetTable();
    if (!table || (State & dsDeselecting))
        return;
    TCustomRDData* active = GetActiveData();
    const TRDStateBits deselecting(State, dsDeselecting);
    const bool activeIsOther = active != this;
    if (activeIsOther)
        active->State |= dsDeselecting;
    struct ClearActive {
        TCustomRDData* data;
        ~ClearActive()
        {
            if (data)
                data->State &= ~dsDeselecting;
        }
    } clearActive{activeIsOther ? active : nullptr};
    if (!keep)
        if (TCustomRDFormattedData* owner = TableOwnerData(table))
            owner->UnchooseSubData(this);
}

int TRDTableCellData::GetMinWidth(const TRDResolutionInfo* info, TCanvas* canvas)
{
    auto* active = dynamic_cast<TCustomRDFormattedData*>(GetActiveData());
    if (!active || active->ItemCount() == 0)
        return 0;
    if (active->ItemCount() == 1 && active->ItemAt(0)->StyleNo >= 0 && active->TextOfItem(0).isEmpty()) {
        TRDStyle* sheet = active->GetRDStyle();
        const int paraNo = active->ItemAt(0)->ParaNo;
        if (!sheet || paraNo < 0 || paraNo >= sheet->ParaStyles().Count())
            return 0;
        const TParaInfo* para = sheet->ParaStyles().ParaStyleAt(paraNo);
        const int64_t sum = int64_t(para->FirstIndent) + para->LeftIndent + para->RightIndent;
        int width = int(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
        if (info)
            width = MulDiv(width, info->DevicePpiX, info->ScreenPpiX);
        return width;
    }
    if (active != this)
        return active->WidthFromItemToEnd(0, info, canvas);
    const int width = WidthFromItemToEnd(0, info, canvas);
    return width == 0 ? 10 : width;
}

// ---- the table: client position, chosen and focused cells ----

void TRDTableItemInfo::UpdateClientPosition()
{
    TCustomRDFormattedData* owner = TableOwnerData(this);
    if (!owner)
        return;
    int x = 0, y = 0;
    if (owner->GetItemClientCoords(GetMyItemNo(), x, y)) {
        ClientLeft = x;
        ClientTop = y;
    }
}

bool TRDTableItemInfo::GetCellPosition(const TRDTableCellData* cell, int& row, int& col) const
{
    row = col = -1;
    if (!cell)
        return false;
    for (int r = 0; r < RowCount(); ++r) {
        const TRDTableRow* tableRow = Rows->Row(r);
        if (cell->OwnerList != tableRow)
            continue;
        for (int c = 0; c < tableRow->Count(); ++c)
            if (tableRow->GetCell(c) == cell) {
                row = r;
                col = c;
                return true;
            }
    }
    return false;
}

void TRDTableItemInfo::ChooseCell(int row, int col)
{
    if (row == ChosenRow && col == ChosenCol)
        return;
    if (row < 0 || row >= RowCount() || col < 0 || col >= Rows->Row(row)->Count())
        return;
    TRDTableCellData* cell = GetCell(row, col);
    TCustomRDFormattedData* owner = TableOwnerData(this);
    if (!cell || !owner)
        return;
    auto* active = dynamic_cast<TCustomRDFormattedData*>(cell->GetActiveData());
    int s = -1, so = 0, e = -1, eo = 0;
    if (active)
        active->GetSelectionBounds(s, so, e, eo, false);
    const int itemNo = GetMyItemNo();
    owner->SetSelectionBounds(itemNo, 1, itemNo, 1);
    owner->ChooseSubData(cell, this);
    ChosenRow = row;
    ChosenCol = col;
    if (active && s >= 0) {
        active->SetSelectionBounds(s, so, e, eo);
        active->InvalidateControl();
    }
}

void TRDTableItemInfo::LeaveChosenSubDocument()
{
    if (ChosenRow < 0 || ChosenRow >= RowCount() || ChosenCol < 0 || ChosenCol >= Rows->Row(ChosenRow)->Count()) {
        ChosenRow = ChosenCol = -1;
        return;
    }
    TRDTableCellData* cell = GetCell(ChosenRow, ChosenCol);
    ChosenRow = ChosenCol = -1;
    if (cell)
        if (auto* active = dynamic_cast<TCustomRDFormattedData*>(cell->GetActiveData()))
            active->Deselect(nullptr, false);
}

void TRDTableItemInfo::SetFocusedCell(int row, int col)
{
    FocusRow = row;
    FocusCol = col;
    if (TCustomRDFormattedData* owner = TableOwnerData(this))
        owner->SetFocusedItem(GetMyItemNo());
}
