#pragma once

// A document that is laid out for a width: its draw items, the line breaking
// and finishing that make them, positions and hit-testing over them. The
// owner (a control, a cell, a printed page) answers the window questions.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QPoint>
#include <QtCore/QRect>
#include <QtGui/QFont>
#include <QtGui/QFontMetricsF>

#include "document/CRDData.h"
#include "layout/RDDrawLines.h"

class QImage;
class QMimeData;
class TCanvas;
class TGraphic;
class QWidget;
class TRDCPInfo;
struct TRDFormatRun;
struct TRDPaintContext;

// Document state bits of a formatted document.
enum TRDFormattedState : uint32_t {
    dsMouseSelecting = 1u << 0, dsLineSelecting = 1u << 1, dsJumpHighlighted = 1u << 2, dsFormatting = 1u << 3,
    dsWordSelectedByDblClick = 1u << 4, dsDrawingBackground = 1u << 5, dsAllSelected = 1u << 6,
    dsClearing = 1u << 7, dsFormattingByOwner = 1u << 8, dsSubDataUnchosen = 1u << 9, dsSkipFocusMove = 1u << 11,
    dsDeselecting = 1u << 12, dsUnchoosingSubData = 1u << 13, dsFocusingCellEditor = 1u << 18,
    dsPartStartsInList = 1u << 21, dsLastLineContinues = 1u << 22, dsDragStartPending = 1u << 25,
    dsDragDeleteOnMove = 1u << 26, dsDragClickOnCancel = 1u << 27, dsKeepSoftPageBreaks = 1u << 30
};

// Control flags of the owner.
enum TRDControlFlag : uint16_t {
    cfJumpsActive = 1u << 0, cfSwallowWrapSpaces = 1u << 1, cfNoControlPlacing = 1u << 2,
    cfExternalLeading = 1u << 3, cfNoClip = 1u << 4, cfPrinting = 1u << 5, cfMeasureByExtentEx = 1u << 6,
    cfEditor = 1u << 7, cfOwnOptions = 1u << 8, cfStylePixelsPerInch = 1u << 10, cfWindowText = 1u << 11,
    cfNoChosenAnnounce = 1u << 15
};

// Text metrics of a font in the shape the layout reads them.
struct TEXTMETRICA {
    int32_t tmHeight = 0, tmAscent = 0, tmDescent = 0, tmInternalLeading = 0, tmExternalLeading = 0;
    int32_t tmAveCharWidth = 0, tmMaxCharWidth = 0, tmWeight = 400, tmOverhang = 0;
    int32_t tmDigitizedAspectX = 96, tmDigitizedAspectY = 96;
    uint8_t tmFirstChar = 0x20, tmLastChar = 0xFF, tmDefaultChar = '?', tmBreakChar = ' ';
    uint8_t tmItalic = 0, tmUnderlined = 0, tmStruckOut = 0, tmPitchAndFamily = 0, tmCharSet = 1;
};

// One text style of the font info cache.
class TRDFontInfoCacheItem {
public:
    TRDBiDiMode BiDiMode = TRDBiDiMode::rdbdUnspecified;
    TCanvas* Canvas = nullptr;
    TEXTMETRICA TextMetric;
    int SubSuperScriptHeight = 0;
    TFontInfo* FontInfo = nullptr;
    int VerticalOffset = 0;
    int EmptyLineHeight = 0;
    int HyphenWidth = 0;
    // What the style selected into the canvas, selected again on later asks.
    QFont Font;
    uint8_t Charset = 1;
    Qt::LayoutDirection Direction = Qt::LeftToRight;

    // The extent after each of count characters at p (bytes of ANSI text or
    // UTF-16 units), when every one of them measures alone (Latin text that
    // needs no shaping, read left to right): the text engine gives such text
    // the sum of the characters' advances, so their table gives the same
    // extents without laying the text out. False for other text. height: the
    // font's line height.
    bool SimpleExtents(const char* p, int count, int flags, std::vector<int>& extents, int& height);

private:
    double AdvanceOf(char16_t c);
    std::unique_ptr<QFontMetricsF> FMetrics;
    std::vector<double> FAdvances;  // by character below 0x300; negative: not measured yet
    double FSpacing = 0;
    int FHeight = 0;
    int FSimple = -1;  // -1 not known yet, 0 the font spaces characters by a share, 1 fine
};

class TCustomRDFormattedData;

// Where a printed page begins: an item position, and the position inside an
// item split over pages (-1 when the page does not begin inside one).
class TRDSoftPageBreakInfo {
public:
    int ItemNo = 0;
    int ItemOffset = 0;
    int PartPosition = -1;
};
// The breaks in page order (RDPaint.cpp).
class TRDSoftPageBreakList : public std::vector<TRDSoftPageBreakInfo> {
};
// What a paginated copy of a document tells about where its pages begin.
class TRDPageStarts {
public:
    virtual ~TRDPageStarts() = default;
    // The page begins inside an item split over pages that cuts nested documents.
    virtual bool PageStartsInsideCells(int pageNo) = 0;
    // The split item records the page start in its nested documents.
    virtual void PassPageStartToPart(int pageNo, TCustomRDFormattedData* data) = 0;
    virtual TRDSoftPageBreakInfo GetPageStartInfo(int pageNo) = 0;
};

// One entry per text style, made on the first request and kept until the
// cache is freed. On this platform both variants measure on the shared canvas.
class TRDFontInfoCache {
public:
    TRDFontInfoCache(TCustomRDFormattedData* owner, TRDStyle* rdStyle, TCanvas* canvas, bool canUseCustomPPI);
    virtual ~TRDFontInfoCache() = default;
    TCanvas* Canvas;
    TRDStyle* RDStyle;
    bool CanUseCustomPPI;
    TCustomRDFormattedData* OwnerRDData;
    TRDBiDiMode CurParaBiDiMode = TRDBiDiMode::rdbdUnspecified;
    int LastTextStyle = -1;
    // Entries made so far (each one measured once).
    int MeasuredCount = 0;
    int Count() const { return int(FItems.size()); }
    // The entry of a style, its font applied to Canvas; style 0 for a number the sheet does not hold.
    virtual TRDFontInfoCacheItem* GetItems(int styleNo);
    // The entry of a style made earlier, the canvas left alone; nil when none was made.
    TRDFontInfoCacheItem* Known(int styleNo) const
    {
        if (styleNo < 0 || styleNo >= Count())
            styleNo = 0;
        return FItems.empty() ? nullptr : FItems[size_t(styleNo)].get();
    }

private:
    std::vector<std::unique_ptr<TRDFontInfoCacheItem>> FItems;
};
// The fast cache gives every style its own measuring context where the
// platform has device contexts; the low-resource one shares one canvas. Qt
// has no device contexts: both measure alike on the shared canvas.
class TRDFontInfoCacheFast : public TRDFontInfoCache {
public:
    using TRDFontInfoCache::TRDFontInfoCache;
};
class TRDFontInfoCacheLowResource : public TRDFontInfoCache {
public:
    using TRDFontInfoCache::TRDFontInfoCache;
};
// The cache kind: the fast one when the document's options ask for fast
// formatting (every system counts as one of the NT family), else the
// low-resource one.
std::unique_ptr<TRDFontInfoCache> CreateFontInfoCacheFor(TCustomRDFormattedData* owner, TRDStyle* rdStyle,
                                                         TCanvas* canvas, bool canUseCustomPPI, bool fastFormatting);

// The line state of a formatting pass.
struct TRDFormatState {
    int X = 0;
    int Y = 0;
    int Gap = 0;
    int Ascent = 0;
    bool NewLine = true;
    int Width = -1;
    int Origin = 0;
    int NextDrawNo = 0;
    int TextVShift = 0;
    int BaseIndent = 0;
    int RightIndent = 0;
    int CurStyleNo = -1;
    int ParaFirstItemNo = -1;
    int CharsOnLine = 0;
    int MaxLength = 0;
    bool ItemFlag1 = false;
    bool ItemFlag2 = false;
    bool FirstLine = true;
    bool HasLineAlignedItems = false;
    int PendingTabNo = -1;
    uint8_t PendingTabAlign = 0;
    int PendingTabPos = 0;
    bool SpaceSwallowed = false;
    TRDFontInfoCache* FontCache = nullptr;
    TCanvas* Canvas = nullptr;
    int TextHeight = 0, TextAscent = 0, TextDescent = 0, InternalLeading = 0, ExternalLeading = 0;
    bool WordWrap = true;
    // Extra height left by the last finished line, added to the next one's top.
    int LineExtra = 0;
    // The cache entry whose font the canvas holds as the entry keeps it (nil
    // when the canvas's font was changed after it was selected).
    TRDFontInfoCacheItem* CurEntry = nullptr;
};

// The resolution of a pass and its margins scaled to the device.
struct TRDFormatResolution {
    TRDResolutionInfo Info;
    int LeftMargin = 0;
    int RightMargin = 0;
};

// A hypertext area.
struct TRDJumpInfo {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Id = -1;
    int DrawItemNo = -1;
    int16_t Cursor = 0;
    TCustomRDFormattedData* RDData = nullptr;
};

// ---- mouse, hypertext and drag types ----

// The shift state a mouse operation sees: the keys held, the buttons held,
// and whether the press is the second one of a double click.
struct TRDShiftState {
    Qt::KeyboardModifiers Keys;
    Qt::MouseButtons Buttons;
    bool Double = false;
    bool Shift() const { return Keys & Qt::ShiftModifier; }
    bool Left() const { return Buttons & Qt::LeftButton; }
};

// When the viewer reports checkpoints that scroll into view.
enum class TCPEventKind : uint8_t { cpeNone, cpeAsSectionStart, cpeWhenVisible };

// A word or paragraph mouse selection in progress.
enum : uint8_t { rdsisInsideWord = 0, rdsisLeftWord = 1, rdsisCharacters = 2, rdsisParagraphs = 3 };
struct TRDSelectingInfo {
    int AnchorOffs = 0, MovingOffs = 0;
    int AnchorWordStart = 0, AnchorWordEnd = 0;
    int MovingWordStart = -1, MovingWordEnd = -1;
    int AnchorDrawNo = -1, MovingDrawNo = -1;
    uint8_t AnchorState = rdsisInsideWord, MovingState = rdsisInsideWord;

    void Reset(uint8_t state);
    bool InAnchorWord(int d, int o) const { return d == AnchorDrawNo && AnchorWordStart <= o && o <= AnchorWordEnd; }
    bool AfterAnchorWord(int d, int o) const
    {
        return d > AnchorDrawNo || (d == AnchorDrawNo && o > AnchorWordEnd);
    }
    bool BeforeAnchorWord(int d, int o) const
    {
        return d < AnchorDrawNo || (d == AnchorDrawNo && o < AnchorWordStart);
    }
    bool SameMovingWord(int d, int start, int end) const
    {
        return d == MovingDrawNo && start == MovingWordStart && end == MovingWordEnd;
    }
    bool MovedBackInWord(int d, int o) const
    {
        return (BeforeAnchorWord(d, o) && o > MovingOffs) || (AfterAnchorWord(d, o) && o < MovingOffs);
    }
};

// Draws the XOR drag line of a table column resize at (x, y) (client
// coordinates); drawing twice erases it.
using TRDXorDrawingProc = void (*)(TCustomRDItemInfo* tableItem, TCustomRDFormattedData* data, int x, int y);

// Where a drag over an editor would drop (kept by the editing document).
struct TRDDragDropCaretInfo {
    int X = 0, Top = 0, Height = 0;
    int ItemNo = -1, ItemOffs = 0;
    TCustomRDFormattedData* RDData = nullptr;
    int RefCount = 0;
};

// The drag loop: runs one drag of data from source with the allowed drop
// actions (copy 1, move 2, link 4) and answers the action taken (0 none).
// It owns data. Tests put a stand-in in place of the system's loop.
using TRDDragExec = std::function<Qt::DropAction(QWidget* source, QMimeData* data, Qt::DropActions allowed)>;
// Replaces the loop (nil: the system's QDrag); answers the one it replaced.
TRDDragExec SetRDDragExec(TRDDragExec exec);
Qt::DropAction RunRDDragExec(QWidget* source, QMimeData* data, Qt::DropActions allowed);

class TCustomRDFormattedData : public TCustomRDData {
public:
    TCustomRDFormattedData();
    ~TCustomRDFormattedData() override;

    bool HasSelectColor = false;
    TColor SelectColor = clNone;
    int CursorPos = 0;
    std::vector<std::unique_ptr<TRDJumpInfo>> JumpList;
    int JumpCount = 0;
    int LastFormattedItemNo = -1;
    bool SkipNextFormat = false;
    int TextWidth = -1;
    int DocumentHeight = 0;
    int DocumentWidth = -1;
    int FocusedItemNo = -1;
    TRDDrawLines DrawItems;

    // Window questions the owner answers.
    virtual TRDSoftPageBreakList* GetSoftPageBreaks() { return SoftPageBreaks.get(); }
    virtual void GetResolution(TCanvas* canvas, TRDResolutionInfo& info);
    virtual int GetVAlignOffset() { return 0; }
    virtual void ClearFormatting();
    virtual void GetOrigin(int& x, int& y) { x = y = 0; }
    virtual int GetScrollWidth() = 0;
    virtual int GetScrollHeight() = 0;
    virtual int GetLeftMargin() = 0;
    virtual int GetRightMargin() = 0;
    virtual int GetTopMargin() = 0;
    virtual int GetBottomMargin() = 0;
    virtual int GetMinTextWidth() = 0;
    virtual int GetMaxTextWidth() = 0;
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    virtual void SetDocumentSize(int width, int height, bool redraw) = 0;
    virtual void AdjustVScrollUnits() = 0;
    virtual int GetHOffset() { return 0; }
    virtual int GetVOffset() { return 0; }
    virtual void ScrollToV(int y, bool redraw) = 0;
    virtual void ScrollToH(int x) = 0;
    virtual int GetVSmallStep() = 0;
    virtual TCanvas* GetCanvas() = 0;
    virtual void DoFormat(bool keepSelection, bool force, bool itemFlag1, bool itemFlag2, bool onlyNewItems,
                          TCanvas* canvas, int depth, bool keepScroll);
    virtual void ItemsFormattedHook(int, int, bool) {}
    virtual void FinishFormatHook() {}
    virtual void CreateFontInfoCache(TCanvas*) {}
    virtual void ReleaseFontInfoCache(TRDFontInfoCache*& cache);
    virtual TRDFontInfoCache* GetFontInfoCache(TCanvas* canvas, TCustomRDFormattedData* requester);
    virtual void GetPointOrigin(int& x, int& y) { x = y = 0; }
    virtual void ControlsPlacedHook(TCustomRDFormattedData*) {}
    virtual int GetFirstVisibleItemNo();
    virtual int GetLastVisibleItemNo();
    void FreeItem(std::unique_ptr<TCustomRDItemInfo> item, bool keepLists) override;
    void ForgetItem(TCustomRDItemInfo* item) override;

    void FormatAll(bool itemFlag1) { DoFormat(false, true, itemFlag1, false, false, nullptr, 0, false); }
    void FormatParagraphsOfDrawRange(int first, int last, bool update, int itemDelta);
    void FormatRange(int first, int last, bool update, bool itemFlag1, int itemDelta);

    // Events of the owning control; a document without one has no handlers.
    virtual bool HasJumpHandler() { return false; }
    virtual void DoJump(int) {}
    virtual void DoRDMouseMove(int) {}
    virtual bool HasRDMouseDownHandler() { return false; }
    virtual void DoRDMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int, int) {}
    virtual bool HasRDMouseUpHandler() { return false; }
    virtual void DoRDMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int, int) {}
    virtual bool HasRDRightClickHandler() { return false; }
    virtual void DoRDRightClick(const QByteArray&, int, int, int) {}
    virtual bool HasRDDblClickHandler() { return false; }
    virtual void DoRDDblClick(const QByteArray&, int) {}
    virtual bool HasCopyHandler() { return false; }
    virtual void DoCopy() {}
    // The mouse cursor over the document where no item asks for another.
    virtual Qt::CursorShape GetNormalCursor() { return Qt::ArrowCursor; }

    // Painting (paint/RDPaint.cpp). clip is in client coordinates; the
    // canvas origin is its top left corner.
    void PaintDocument(TCanvas& canvas, const QRect& clip, bool ownerFlag2, bool ownerFlag1, bool wholeItemsOnly,
                       bool startAtVisibleLine);
    virtual void PaintBackground(TCanvas& canvas, const QRect& rect);
    virtual TRDBackground* GetBackground() { return nullptr; }
    // What lies behind item itemNo inside rect (client coordinates; with
    // useItemRect it becomes the item's own picture box): color, and when
    // the background is more than a colour, bitmap (made when null) holding
    // it, with hasBitmap set.
    virtual void GetParaBackground(int itemNo, QRect& rect, bool& hasBitmap, QImage& bitmap, TColor& color,
                                   bool useItemRect);
    // Drawn over the document last (focus rectangles, the drop caret).
    virtual void DrawOverlay(TCanvas&, int dx, int lastDrawItem, int firstDrawItem, int dy) {}
    // Whether the owning control, or a control inside it, has the keyboard focus.
    virtual bool IsControlFocused();
    // Soft page breaks: nil until the first one is added.
    std::unique_ptr<TRDSoftPageBreakList> SoftPageBreaks;
    // Records where page pageNo of a paginated copy of this document begins.
    void AddSoftPageBreak(TRDPageStarts& pages, int pageNo);
    // False while dsKeepSoftPageBreaks is set or without breaks.
    bool ClearSoftPageBreaks();
    void DrawSoftPageBreaks(TCanvas& canvas, int first, int last, int dx, int dy);

    // Repaint requests to the owning control (client coordinates).
    virtual void InvalidateRect(const QRect& rect);
    virtual void UpdateControl();

    // Moves the hypertext areas to their draw items (root coordinates).
    void OffsetJumpRects();
    // Tells every non-text item where it stands (client coordinates), so that
    // embedded controls (child controls of the host's control, GetHost) follow.
    void PlaceControls();

    // Widths.
    int WidthFromItemToEnd(int itemNo, const TRDResolutionInfo* info, TCanvas* canvas);
    int MaxLineWidthInRange(int first, int last, TCanvas* canvas, const TRDResolutionInfo* info, int& paraStart);
    int LineWidthOf(int itemNo, int& paraStart, TCanvas* canvas, const TRDResolutionInfo* info);
    int WidestItemInRange(int first, int last, TCanvas* canvas, const TRDResolutionInfo* info, int& paraStart);
    int LineIndentTotal(int firstItemOfLine, int& paraStart);
    int ItemMinWidthWithMarker(int itemNo, const TRDResolutionInfo* info);
    // On the own canvas, unscaled: the width the line of an item needs, the
    // widest line of a range, and the width items a..b need as laid out.
    int SectionWidthOf(int itemNo);
    int LineWidthOfItem(int itemNo) { return SectionWidthOf(itemNo); }
    int MaxLineWidth(int first, int last);
    int RangeWidthOf(int a, int b);
    // Gives a draw item a new width; the other pieces of its line move as its
    // paragraph's alignment says.
    void ChangeDrawItemWidth(int d, int width);
    // Left and top of the item's first draw item; false when it has none.
    bool GetItemCoords(int itemNo, int& x, int& y) const;
    bool GetItemClientCoords(int itemNo, int& x, int& y);
    // Scrolls so that a rectangle (document coordinates) is shown.
    virtual void ScrollRectIntoView(int x, int y, int width, int height);
    // Clearing and deleting items drop the selection and the formatting (and
    // clearing the soft page breaks) first.
    void Clear() override;
    void DeleteItemRange(int first, int count) override;
    // A printed part that starts inside a list answers that list and level.
    virtual bool GetFirstParaListInfo(int& listNo, int& level)
    {
        listNo = level = -1;
        return false;
    }

    // Queries on draw items.
    int DrawItemStartOffset(int d) const { return StyleOfDrawItem(d) >= 0 ? 1 : 0; }
    int DrawItemEndOffset(int d) const
    {
        return StyleOfDrawItem(d) >= 0 ? DrawItems[d]->Length + 1 : 1;
    }
    bool DrawItemStartsParagraph(int d) const;
    bool DrawItemStartsItem(int d) const;
    bool DrawItemStartsLine(int d) const;
    bool DrawItemEndsParagraph(int d) const;
    bool DrawItemIsLineStart(int d) const;
    bool LineWrapsAfter(int d) const;
    int StyleOfDrawItem(int d) const { return ItemAt(DrawItems[d]->ItemNo)->StyleNo; }
    bool TextContinuesAfter(int d) const;
    // The direction of a piece's first and last character (the paragraph's
    // for characters of neither direction).
    void GetSegmentDirections(int d, TRDBiDiMode& firstDir, TRDBiDiMode& lastDir) const;

    // Positions and hit-testing (document coordinates).
    int FindDrawItemByY(int y, int mode) const;
    void GetLineBounds(int d, int& first, int& last) const;
    int DrawItemAtPoint(int x, int y) const;
    void FindDrawItemAtPos(int x, int y, bool strict, int& offset, int& drawItemNo);
    // The item position under a point; special: the item asks for special mouse handling.
    void FindItemAtPos(int x, int y, bool& special, bool strict, int& itemOffset, int& itemNo,
                       TCustomRDFormattedData*& data);
    // The word under a point of the client (empty on a delimiter); false when no
    // draw item is there. A non-text item answers its text and its (negative)
    // style, unless it holds a document at the point: that document answers.
    bool GetWordAt(QByteArray& word, int x, TCustomRDFormattedData*& data, int& wordStart, int& itemNo, int& style,
                   int y);
    void DrawPosToItemPos(int d, int drawOffset, int& itemOffset, int& itemNo) const;
    void ItemPosToDrawPos(int itemNo, int itemOffset, int& drawOffset, int& drawItemNo) const;
    int FirstDrawItemOfItem(int itemNo) const;
    int LastDrawItemOfItem(int itemNo) const;

    // ---- the stored selection ----
    // The anchor (start) and the moving end as they are stored: draw items
    // (-1: no selection) and offsets in them.
    int GetSelStartNo() const { return SelStartNo; }
    int GetSelStartOffs() const { return SelStartOffs; }
    int GetSelEndNo() const { return SelEndNo; }
    int GetSelEndOffs() const { return SelEndOffs; }
    // The item that has the mouse captured.
    TCustomRDItemInfo* GetCapturingItem() const { return CapturingItem; }
    // Drops the selection, the item focus and the chosen items but keep;
    // with notify the owner hears of the change. A nested call does nothing.
    virtual void Deselect(TCustomRDItemInfo* keep = nullptr, bool notify = false);
    // From the start of the first draw item to the end of the last.
    void SelectAll();
    // Whether something is selected: a chosen nested document answers for
    // this one; with askChosen a chosen item's own selection counts. An empty
    // selection is none, and with deselectWhenEmpty it is dropped (not while
    // the mouse is selecting).
    bool DataSelectionExists(bool deselectWhenEmpty = false, bool askChosen = false);
    // The anchor and the moving end as draw-item positions (-1 none); with
    // normalize the earlier one first.
    virtual void GetSelBoundsDraw(int& startNo, int& startOffs, int& endNo, int& endOffs, bool normalize = true);
    // The same as item positions.
    void GetSelectionBounds(int& startItem, int& startOffs, int& endItem, int& endOffs, bool normalize);
    virtual void GetSelBoundsItems(int& startItem, int& startOffs, int& endItem, int& endOffs, bool normalize)
    {
        GetSelectionBounds(startItem, startOffs, endItem, endOffs, normalize);
    }
    // Selects from one item position to another: an end on a list marker
    // goes to the start of the item after it, offsets are kept inside their
    // draw items, and the owner hears of it. Item -1 (or an item without
    // draw items) leaves no selection.
    void SetSelectionBounds(int startItem, int startOffs, int endItem, int endOffs);
    // Stores the two item positions as the anchor and the moving end, as they are.
    void StoreSelection(int startItem, int startOffs, int endItem, int endOffs);
    // The item chosen for editing inside it (a nested document's holder; nil none).
    TCustomRDItemInfo* GetChosenItem() const { return ChosenItem; }
    virtual void SetChosenItem(TCustomRDItemInfo* item) { ChosenItem = item; }
    // Selects length characters of an item from offset (backwards: the
    // anchor at the far end), scrolls the anchor into view and tells the owner.
    virtual void SelectRange(int itemNo, int offset, int length, bool backwards);
    // Where a search starts: from a document end (wholeDocument), else from
    // the moving end of the selection, else from the first visible item's
    // start (fromStart) or after the last visible item's end.
    virtual void GetSearchStart(bool fromStart, bool wholeDocument, int& itemNo, int& offset);
    // A style operation converts the associated text style of a non-text
    // item (the editor's document answers; a document that does not answer
    // its options itself passes it to its root).
    virtual void ConvertAssociatedStyle(int itemNo, int userData, bool appliedToText);

    // Hooks around the stored selection; the document of a control answers them.
    // Before the caret leaves its place (asked of the root unless cfOwnOptions).
    virtual void BeforeCaretMove();
    // Chosen items and nested documents other than keep are released.
    virtual void UnchooseAllBut(TCustomRDItemInfo* keep);
    virtual void UnchooseSubData(TCustomRDData*) { State |= dsSubDataUnchosen; }
    // A nested document (a table cell) becomes the chosen one, held by item;
    // the document of a control hands it to the control.
    virtual void ChooseSubData(TCustomRDData*, TCustomRDItemInfo*) {}
    // The chosen nested document is replaced by another (nil: none) as it is.
    virtual void ReplaceChosenSubData(TCustomRDData*) {}
    // The item that has the keyboard focus.
    virtual void SetFocusedItem(int itemNo) { FocusedItemNo = itemNo; }
    virtual void DestroyInplaceEditor() {}
    // After the selection was made or changed by the mouse or by a call.
    virtual void AfterMouseSelection(bool) { ResetAnimations(); }

    // ---- animation (paint/RDFormattedAnimation.cpp) ----
    // The root document keeps the animators of its pictures; these ask it.
    // Whether pictures may animate (a root without a control: no).
    virtual bool AnimationsEnabled();
    // Puts an animator into the root's list, which may free it (animator is then nil).
    virtual void AddAnimator(std::unique_ptr<TRDAnimator>& animator);
    // Every animator back to its first frame (a selection or the colours changed).
    virtual void ResetAnimations();
    // The pictures of items first..last ask for their animators after a layout.
    void UpdateItemAnimators(int first, int last);
    // The selection changed (asked of the root).
    virtual void DoSelect();

    // ---- copying the selection (paint/RDClipboard.cpp) ----
    // Scope 1 is the selection: a chosen item is written alone, else the
    // normalised selection as item positions.
    void GetSaveRange(int scope, TRDSaveRange& range) override;
    // Puts every format of the selection on the clipboard; nothing without a
    // selection. A chosen nested document copies its own (without colour
    // and background).
    void Copy(TColor color, TRDBackground* background);
    // The same with the formats the auto-copy options enable; true when one
    // is enabled or the owner has a copy handler.
    bool CopyDef(TColor color, TRDBackground* background);
    // One format each, into mime (nothing without a selection).
    void CopyRDF(QMimeData& mime, TColor color, TRDBackground* background);
    void CopyText(QMimeData& mime);
    void CopyImage(QMimeData& mime);
    void CopyRTF(QMimeData& mime, TColor color, TRDBackground* background);
    // The selection as plain text (line width 80); empty without one.
    QString GetSelectionText();
    // The picture of the one selected picture item, or nil.
    TGraphic* GetSelectedImage();

    // ---- protection, focus and repainting ----
    // Whether the text style of an item (of a non-text item: its associated
    // style, none meaning unprotected) holds one of the protection options;
    // a non-text item that cannot be removed counts as delete-protected.
    bool StyleHasProtection(int itemNo, uint32_t options) const;
    // Whether a paragraph style holds one of the options.
    bool ParaHasOption(int paraNo, uint32_t options) const;
    bool ParaIsReadOnly(int itemNo) const;
    // Whether nothing may go between items i and i + 1 (i -1: before the
    // first item; the last item: after it); beeps unless silent.
    bool ItemsStick(int i, bool silent) const;
    // Whether text may be inserted at an item position.
    bool CanInsertAt(int itemNo, int offset) const;
    // The owning control repaints later, at once, or a draw item's rectangle
    // grown by inflate on every side.
    void InvalidateControl();
    void RefreshControl();
    void InvalidateDrawItem(int d, int inflate);
    // The next item, from one on, that takes the keyboard focus, here or in
    // a document nested in an item; item -1 when none.
    void FindNextFocusableItem(int from, bool forward, TCustomRDData*& data, int& itemNo);
    // The focused item is told it lost the focus.
    void UnfocusItem();

    // ---- mouse, selection by mouse, hypertext and drag (CRDFDataMouse.cpp) ----
    TRDCPInfo* LastVisibleCheckpoint = nullptr;
    TRDXorDrawingProc XorDrawing = nullptr;
    TCustomRDItemInfo* XorDrawingItem = nullptr;
    bool XorLineShown = false;
    int XorLineX = 0, XorLineY = 0;
    TCustomRDFormattedData* HoverJumpData = nullptr;
    // Where the press that asked for a drag went down (client coordinates).
    QPoint DragPressPoint;

    // The anchor of the selection (-1 none); an empty selection is dropped first.
    virtual void GetSelStartDraw(int& drawNo, int& offset);
    // Whether a draw-item or item position lies in the normalised selection
    // (inclusive: its ends count).
    bool PointInSelection(int d, int o, bool inclusive);
    bool ItemPosInSelection(int itemNo, int offset, bool inclusive);
    // Word helpers over draw-item offsets of text draw items.
    bool PointInWord(int d, int o);
    void WordBounds(int d, int o, int& end, int& start);
    // Extend the moving end to a point (document coordinates); answer whether
    // the selection changed.
    bool ExtendSelectionTo(int x, int y);
    bool ExtendLineSelectionTo(int x, int y);
    void WidenSelectionToLines(bool fromAnchorOnly);
    void WidenSelectionToParagraphs(bool onlyWhenCrossing);
    bool SelectionIsForward() const;
    bool SelectionCrossesParagraph();

    // The mouse, in client coordinates.
    virtual void MouseDown(Qt::MouseButton button, TRDShiftState shift, int x, int y);
    virtual void MouseMove(TRDShiftState shift, int x, int y);
    virtual void MouseUp(Qt::MouseButton button, TRDShiftState shift, int x, int y);
    // After a double click at (x, y): selects the word or item there.
    virtual void DblClick(int x, int y);
    // The mouse left the owning control.
    void MouseLeave();
    // The in-place editor open over a nested document of this one (nil none).
    virtual void* GetOpenInplaceEditor() { return nullptr; }
    // The owning control takes the keyboard focus for a click.
    virtual void FocusOwner() {}
    // A click on an item of data that takes the focus itself (asked of the
    // root: control data with focus navigation focuses it).
    virtual void FocusClickedItem(TCustomRDFormattedData* data, int itemNo);
    // After each step of scrolling while the mouse selects.
    virtual void AfterAutoScroll() {}
    virtual void ClickSelectsItem() {}
    // The draw item under a client point (kept while an item captures the mouse).
    void UpdateDrawItemUnderMouse(int x, int y);
    // The draw item under the mouse (-1 none).
    int GetDrawItemUnderMouse() const { return DrawItemUnderMouse; }
    // The word or paragraph selection the mouse is making (nil when none).
    const TRDSelectingInfo* GetSelectingInfo() const { return SelectingInfo.get(); }
    // An item takes all mouse input; answers its draw item's left and top.
    void SetItemCapture(TCustomRDItemInfo* item, int& left, int& top);
    void ReleaseItemCapture(TCustomRDItemInfo* item);
    // The XOR drag line of a table.
    void RegisterXorDrawing(TRDXorDrawingProc proc, TCustomRDItemInfo* tableItem);
    void UnregisterXorDrawing(TRDXorDrawingProc proc, TCustomRDItemInfo* tableItem);
    bool IsXorDrawingRegistered(TRDXorDrawingProc proc) const { return proc && XorDrawing == proc; }
    virtual void XorDraw();
    void MoveXorLine(int x, int y);
    bool EraseXorLine();
    // The item holding this nested document makes it its chosen one.
    void ChooseInParent();
    // The cursor of the owning control (a cursor number of the screen table).
    virtual void SetCursor(int16_t cursor);
    void SetNormalCursor();
    virtual void ClientToScreenPt(const QPoint& point, QPoint& screen);
    virtual void ScreenToClientPt(const QPoint& screen, QPoint& point);
    // Before a rectangle of this document is invalidated (cells tell their table).
    virtual void PrepareInvalidate() {}

    // Hypertext.
    void BuildJumpList(int& firstNo, std::vector<std::unique_ptr<TRDJumpInfo>>* list);
    void ClearJumpList();
    void EndJumpHover();
    void InvalidateJump(int id);
    // The hover over the jump at a client point; false when there is none.
    bool JumpHover(int x, int y, TRDShiftState shift);
    // Called after every vertical scroll.
    void UpdateCheckpointVisibility();
    virtual bool HasCheckpointVisibleHandler() { return false; }
    virtual void DoCheckpointVisible(TRDCPInfo*) {}
    virtual TCPEventKind GetCPEventKind();

    // Drag start and the drop caret; the hooks are asked of the absolute root.
    virtual bool CanStartDrag();
    // The data to drag and the drop actions allowed; false: no drag.
    virtual bool GetDragSource(QMimeData*& data, Qt::DropActions& allowed);
    virtual void DragFinished(bool moved);
    virtual bool IsDragging();
    virtual TRDDragDropCaretInfo* GetDragDropCaret();
    // Asks the control to start the drag outside the mouse handler.
    virtual void PostDragStart();
    // The control's widget the drag starts from, and the mouse there (client coordinates).
    virtual QWidget* DragSourceControl();
    virtual QPoint MouseClientPos();
    void StartOleDrag();
    void MoveDragDropCaret(int x, int y);
    void HideDragDropCaret();
    // Inverts every other pixel row of the drop caret: drawn as an overlay
    // after each paint, its old and new places invalidated when it moves.
    void DrawDragDropCaret(TCanvas& canvas, bool nested);
    void SetDragDropCaretPos(int itemNo, int offset);

    // Fitting (public for the tests): how many of n characters at p fit into free pixels.
    int FitCharsByExtentEx(const QByteArray& display, const QByteArray& stored, int p, int n, int free, int flags,
                           TRDFormatState& state, bool wraps, int hyphenWidth);
    int FitChars(const QByteArray& display, const QByteArray& stored, int p, int n, int free, int flags,
                 TRDFormatState& state, bool wraps, int hyphenWidth);

protected:
    // The stored selection (see GetSelStartNo), the mouse's draw items, the
    // selection the mouse is making and the chosen item.
    int SelStartNo = -1, SelEndNo = -1, SelStartOffs = 0, SelEndOffs = 0;
    int DrawItemUnderMouse = -1;
    int MouseDownDrawItem = -1;
    std::unique_ptr<TRDSelectingInfo> SelectingInfo;
    TCustomRDItemInfo* ChosenItem = nullptr;
    TCustomRDItemInfo* CapturingItem = nullptr;
    int HoverJumpId = -1;
    int PressedJumpId = -1;
    TCustomRDItemInfo* HighlightedItem = nullptr;

    // The paragraph and text style of an item; style 0 for numbers the sheet does not hold.
    TParaInfo& ParaStyleOf(int itemNo) const;
    TFontInfo& TextStyleOf(int styleNo) const;
    TParaInfo& ParaStyle(int paraNo) const;

private:
    void FormatItems(int first, int last, TRDFormatState& st, TRDFormatResolution& res, TCanvas* canvas);
    void FormatParagraph(const QByteArray& display, const QByteArray& stored, int startOffset, int length, int itemNo,
                         TCanvas* canvas, TRDFormatResolution& res, TRDFormatState& st);
    void FormatWordByWord(int itemNo, TCanvas* canvas, TRDFormatState& st, TRDFormatResolution& res);
    void StartNewLine(int itemNo, bool wrap, TRDFormatState& st, TRDFormatResolution& res);
    void RaiseLineAscent(int a, TRDFormatState& st);
    void PlaceRectItem(int itemNo, std::unique_ptr<TRDDrawLineInfo> d, TRDFormatState& st, TRDFormatResolution& res);
    // The level of a list marker item; nil for other items.
    const TRDListLevel* MarkerLevelOf(int itemNo) const;
    // The list level whose indents a line of the paragraph starting at paraStart takes.
    const TRDListLevel* LineListLevel(bool firstLine, int paraStart) const;
    bool WordAt(QByteArray& word, int x, TCustomRDFormattedData*& data, int& wordStart, int& itemNo, int& style,
                int y, int depth);
    // The last draw item from 1 on whose top is at or above y (0 when none).
    int LastDrawItemAtOrAbove(int y) const;
    // The 0-based character boundary of a text piece at x: the nearest one, or
    // the count of characters left of x.
    int CharBoundaryAt(int d, int x, bool nearest, bool rtlPara);
    void GetLineIndents(int itemNo, bool firstLine, int& base, int& right, int& left, int& paraStart);
    void UseTextStyle(int itemNo, int styleNo, TRDFormatState& st, const TRDFormatResolution& res);
    int SegmentWidth(TRDFormatState& st, const QByteArray& text, int p, int count, int flags, int* height);
    // Extents of count characters at p on the state's canvas.
    void SegmentExtents(TRDFormatState& st, const QByteArray& text, int p, int count, int flags,
                        std::vector<int>& extents, int& height);
    void FinishPendingTab(TRDFormatState& st);
    int FinishLine(TRDFormatResolution& res, int right, TRDFormatState& st, bool last);
    // Right-to-left lines: the first line's indent, the visual order of a line's pieces.
    void ShiftFirstLineRTL(int first, int last, TRDFormatResolution& res);
    void ReorderLineBiDi(int first, int last, TRDFormatResolution& res);
    void SetItemFirstDrawItem(int itemNo, int d);
    bool LineWraps(int itemNo);
    // A hypertext item that holds a jump id.
    bool IsNumberedJump(int itemNo) const;
    void FillFormatState(TRDFormatState& st, bool itemFlag1, bool itemFlag2);
    void FillResolution(TCanvas* canvas, TRDFormatResolution& res);

    // The steps of FormatParagraph.
    void FormatFullLineItem(int itemNo, uint16_t cf, TCanvas* canvas, TRDFormatResolution& res, TRDFormatState& st);
    void FormatInlineItem(int itemNo, uint16_t cf, TRDFormatResolution& res, TRDFormatState& st);
    void FormatEmptyText(const TRDFormatRun& run, TRDFormatResolution& res, TRDFormatState& st);
    void FormatTextPieces(TRDFormatRun& run, TRDFormatResolution& res, TRDFormatState& st);
    int FitTextPiece(TRDFormatRun& run, TRDFormatState& st, bool lineStartHere);
    int BreakTextPiece(TRDFormatRun& run, TRDFormatState& st, int fit, bool lineStartHere);
    void PlaceTextPiece(TRDFormatRun& run, int fit, TRDFormatState& st);

    // The steps of PaintDocument (paint/RDPaint.cpp).
    void PreparePaint(TRDPaintContext& pc, const QRect& clip, bool ownerFlag1);
    void FindPaintRange(TRDPaintContext& pc, bool startAtVisibleLine);
    void PaintParagraphBacks(TRDPaintContext& pc);
    void PaintParagraphBack(TRDPaintContext& pc, int first, int last);
    bool IsHoveredJump(const TCustomRDItemInfo* item) const;
    void PaintTextBacks(TRDPaintContext& pc);
    void PaintDrawItem(TRDPaintContext& pc, int j);
    void MeasureSelectionBand(TRDPaintContext& pc, int j, const TParaInfo& para);
    void PaintNonTextItem(TRDPaintContext& pc, int j, TCustomRDItemInfo& item, const TParaInfo& para);
    void PaintTextItem(TRDPaintContext& pc, int j, TCustomRDItemInfo& item, const TParaInfo& para);
    void PaintParagraphMark(TRDPaintContext& pc, int j, const TParaInfo& para);
    void PaintMisspellings(TRDPaintContext& pc);

    std::vector<int> FExtents;  // scratch extents of the fitting
};
