#pragma once

// Documents that live inside an item rather than inside a control: the list
// that holds them and knows the document above, the formatted document that
// answers a control's questions itself or by asking upward, and the location
// of a table cell.

#include <cstdint>
#include <memory>

#include "core/RDLists.h"
#include "document/RDDocTypes.h"
#include "layout/CRDFData.h"

class TRDItemFormattedData;

// Control flags of every document an item's list holds: swallow wrap
// spaces, no clipping, style pixels per inch; own options clear.
constexpr uint16_t RDDataListDocFlags = 0x0412;

// An owning list of item documents (a table row holds its cells in one);
// entries may be nil.
class TRDDataList : public TRDList<TRDItemFormattedData> {
public:
    TRDDataList() = default;
    ~TRDDataList() override = default;
    uint16_t DocFlags = RDDataListDocFlags;
    // The document holding the item that owns this list; none here.
    virtual TCustomRDData* GetParentRDData() { return nullptr; }
};

class TRDItemFormattedData : public TCustomRDFormattedData {
public:
    explicit TRDItemFormattedData(TRDDataList* ownerList) : OwnerList(ownerList) { CreateItemList(); }
    // The list that holds this document (not owned); nil while detached.
    TRDDataList* OwnerList = nullptr;

    uint16_t GetControlFlags() override;
    void SetControlFlags(uint16_t value) override;
    TCustomRDData* GetParentData() override;
    TCustomRDData* GetAbsoluteParentData() override;
    TCustomRDData* GetRootData() override;
    TCustomRDData* GetAbsoluteRootData() override;
    QString DoUrlNeeded(int id) override;
    // Without a document above (a table not yet in one) no palette is used.
    TRDPaletteAction GetDoInPaletteMode() override;
    void DoControlAction(TRDControlAction, int, void*&) override {}

    int GetScrollWidth() override { return 0; }
    int GetScrollHeight() override { return 0; }
    int GetLeftMargin() override { return 0; }
    int GetRightMargin() override { return 0; }
    int GetTopMargin() override { return 0; }
    int GetBottomMargin() override { return 0; }
    int GetMinTextWidth() override { return 0; }
    int GetMaxTextWidth() override { return 0; }
    int GetVSmallStep() override { return 0; }
    int GetWidth() override { return 0; }
    int GetHeight() override { return 0; }
    TRDBackground* GetBackground() override { return nullptr; }
    void SetDocumentSize(int, int, bool) override {}
    void AdjustVScrollUnits() override {}
    void ScrollToV(int, bool) override {}
    void ScrollToH(int) override {}
    // The canvas of the root formatted document; none when the root is not one.
    TCanvas* GetCanvas() override;
    void ScrollRectIntoView(int x, int y, int width, int height) override;
    Qt::CursorShape GetNormalCursor() override;
    int GetFirstVisibleItemNo() override { return 0; }
    int GetLastVisibleItemNo() override { return ItemCount() - 1; }
};

// The place of a table cell: its row and column. Compares in reading order.
class TRDTableStoreSubRDData : public TRDStoreSubRDData, public TRDLocation {
public:
    TRDTableStoreSubRDData(int32_t row, int32_t col) : Row(row), Col(col) {}
    int32_t Row = 0;
    int32_t Col = 0;
    std::unique_ptr<TRDStoreSubRDData> Duplicate() const override;
    int Compare(const TRDStoreSubRDData& other) const override;
    int Compare(const TRDLocation& other) const override;
};
