#include <algorithm>
#include <climits>
#include <vector>

#include "core/RDError.h"
#include "core/RDUnicode.h"
#include "document/RDDocEncoding.h"
#include "document/RDItem.h"
#include "editing/RDERDData.h"
#include "editing/RDEdit.h"
#include "styles/RDStyle.h"
#include "styles/RDTextStyles.h"
#include "text/RDTextCanvas.h"
#include "text/RDTextMeasure.h"

namespace {

// Caret geometry: a caret is one pixel wide and its draw item's height + 2
// high, never higher than this.
constexpr int CaretMaxHeight = 1000;
constexpr int CaretWidth = 1;
// The no-stop-chosen-yet mark of CaretCharPosNo while stops are built.
constexpr int CaretNoStop = 100000;

// Builds the stops of one line; the draw items' own builders append to Stops.
class TCaretStopBuilder {
public:
    TCaretStopBuilder(TRDEditRDData& data, int firstOfLine, int wanted)
        : Data(data), FirstOfLine(firstOfLine), Wanted(wanted)
    {
    }

    TRDEditRDData& Data;
    int FirstOfLine;
    int Wanted;
    int Chosen = CaretNoStop;

    void Add(int d, int drawOffset, int posX, int shift, bool choose)
    {
        TRDCharPos pos;
        pos.DrawIndex = d;
        pos.DrawOffset = drawOffset;
        pos.PosX = posX;
        pos.CaretShift = shift;
        Data.CharPositions.push_back(pos);
        if (choose)
            Chosen = int(Data.CharPositions.size()) - 1;
    }

    bool HoldsCaret(int d) const { return Data.CaretDrawItemNo == d; }
    // The caret stands at the start of the draw item after d.
    bool CaretAtStartOfNext(int d) const { return Data.CaretDrawItemNo == d + 1 && Wanted < 0; }

    // The text of the draw item as drawn, measured with its style.
    void MeasureDrawn(int d, QByteArray& part, std::vector<int>& extents, int& flags)
    {
        const TRDDrawLineInfo* di = Data.DrawItems[d];
        const int itemNo = di->ItemNo;
        flags = Data.ItemOptionsOf(itemNo);
        TCanvas* canvas = Data.GetCanvas();
        TRDStyle* sheet = Data.GetRDStyle();
        const int style = Data.EffectiveStyleOfItem(itemNo);
        sheet->ApplyStyle(*canvas, style, Data.BiDiModeOfPara(Data.ParaOfItem(itemNo)),
                          Data.GetControlFlags() & cfStylePixelsPerInch, nullptr, false);
        QByteArray display;
        const int safeStyle = style >= 0 && style < sheet->TextStyles().Count() ? style : 0;
        GetDisplayText(Data.TextOfItem(itemNo), *sheet->TextStyles().Items(safeStyle), Data.LineWrapsAfter(d), display,
                       false, Data.GetOptions() & rdoShowSpecialCharacters);
        part = CharCopy(display, di->Offs, di->Length, flags);
        extents.clear();
        if (part.isEmpty())
            return;
        int fit = 0;
        ItemTextExtentEx(*canvas, part, 10 * std::max(1, di->Width), fit, &extents, flags);
    }

    // The 0-based unit boundaries after each whole character of the draw
    // item's text (the last one is its length). A draw item starts at a
    // character boundary, so the walk starts there.
    std::vector<int> CharEnds(int d)
    {
        const TRDDrawLineInfo* di = Data.DrawItems[d];
        const QByteArray& text = Data.TextOfItem(di->ItemNo);
        std::vector<int> ends;
        ends.reserve(size_t(std::max(0, di->Length)));
        const bool unicode = Data.ItemOptionsOf(di->ItemNo) & rdioUnicode;
        const uint32_t codePage = unicode ? 0 : Data.CodePageOfStyle(Data.EffectiveStyleOfItem(di->ItemNo));
        const bool doubleByte = !unicode && IsDoubleByteCodePage(codePage);
        const qsizetype first = di->Offs - 1;                          // 0-based unit
        const qsizetype end = std::min<qsizetype>(first + di->Length,  // units of the draw item
                                                  unicode ? text.size() / 2 : text.size());
        qsizetype at = first;
        while (at < end) {
            qsizetype step = 1;
            if (unicode) {
                if (at + 1 < end && QChar::isHighSurrogate(WideUnitAt(text, at))
                    && QChar::isLowSurrogate(WideUnitAt(text, at + 1)))
                    step = 2;
            } else if (doubleByte) {
                step = DoubleByteCharSize(text, at, codePage);
            }
            at = std::min(at + step, end);
            ends.push_back(int(at - first));
        }
        return ends;
    }

    void LeftToRight(int d)
    {
        const TRDDrawLineInfo* di = Data.DrawItems[d];
        const int itemNo = di->ItemNo;
        const bool text = Data.ItemAt(itemNo)->StyleNo >= 0;
        const bool rtl = Data.BiDiModeOfPara(Data.ParaOfItem(itemNo)) == TRDBiDiMode::rdbdRightToLeft;
        // 1. The start stop of the line's first draw item.
        if (d == FirstOfLine && !(text && Data.ItemLengthOf(itemNo) == 0)) {
            const bool choose = HoldsCaret(d) && Wanted < 0;
            if (text)
                Add(d, 1, di->Left, 1, choose);
            else if (rtl)
                Add(d, 0, di->Left + di->Width, 2, choose);
            else
                Add(d, 0, di->Left, 1, choose);
        }
        // 2. A stop after every whole character but the last.
        int lastInner = text ? 0 : -1;
        if (text && di->Length > 0) {
            QByteArray part;
            std::vector<int> extents;
            int flags = 0;
            MeasureDrawn(d, part, extents, flags);
            const std::vector<int> ends = CharEnds(d);
            const int want = Wanted + 2;  // the wanted draw-item offset
            int before = 1;                // draw offset of the boundary before the character
            for (size_t k = 0; k + 1 < ends.size(); ++k) {
                const int u = ends[k];
                const int ext = u - 1 < int(extents.size()) && u >= 1 ? extents[size_t(u - 1)] : 0;
                const bool choose = HoldsCaret(d) && want > before && want <= u + 1;
                Add(d, u + 1, di->Left + di->JustifyExtra + ext, 1, choose);
                before = u + 1;
            }
            lastInner = before;
        }
        // 3. The end stop.
        const int endOffset = Data.DrawItemEndOffset(d);
        bool choose = false;
        if (d + 1 < Data.DrawItems.Count() && !Data.DrawItems[d + 1]->StartsLine() && CaretAtStartOfNext(d))
            choose = true;
        if (HoldsCaret(d)) {
            if (text)
                choose = choose || Wanted + 2 > lastInner;
            else
                choose = choose || Wanted >= -1;
        }
        if (!text && rtl)
            Add(d, endOffset, di->Left, 1, choose);
        else
            Add(d, endOffset, di->Left + di->Width, text ? 1 : 2, choose);
    }

    // False when the text cannot be placed (the left-to-right builder runs instead).
    bool BiDi(int d)
    {
        const TRDDrawLineInfo* di = Data.DrawItems[d];
        const int itemNo = di->ItemNo;
        if (Data.ItemAt(itemNo)->StyleNo < 0 || di->Length == 0)
            return false;
        QByteArray part;
        std::vector<int> extents;
        int flags = 0;
        MeasureDrawn(d, part, extents, flags);
        std::vector<int> placed;
        if (!GetBiDiCaretPositions(*Data.GetCanvas(), part, placed, flags, di->Width - di->JustifyExtra))
            return false;
        std::vector<int> boundaries{0};
        for (int e : CharEnds(d))
            boundaries.push_back(e);
        const int n = boundaries.back();
        const int value = Wanted + 1;
        for (size_t k = 0; k < boundaries.size(); ++k) {
            const int l = boundaries[k];
            if (l == 0 && d != FirstOfLine)
                continue;
            const int next = k + 1 < boundaries.size() ? boundaries[k + 1] : INT_MAX;
            bool choose = false;
            if (HoldsCaret(d))
                choose = (Wanted < 0 && l == 0) || l == value || (l < value && value < next && l != n)
                         || (l == n && value > n);
            if (l == n && d + 1 < Data.DrawItems.Count() && !Data.DrawItems[d + 1]->StartsLine()
                && CaretAtStartOfNext(d))
                choose = true;
            const int x = l < int(placed.size()) ? placed[size_t(l)] : placed.empty() ? 0 : placed.back();
            Add(d, l + 1, x + di->Left + di->JustifyExtra, 0, choose);
        }
        return true;
    }
};

} // namespace

// ---- caret stops ----

void TRDEditRDData::BuildCharPositions(int wantedDrawOffsetMinus2)
{
    CharPositions.clear();
    if (CaretDrawItemNo < 0 || CaretDrawItemNo >= DrawItems.Count())
        return;
    CaretCharPosNo = CaretNoStop;
    int first = 0, last = 0;
    GetLineBounds(CaretDrawItemNo, first, last);
    int wanted = wantedDrawOffsetMinus2;
    if (StyleOfDrawItem(first) == MarkerStyleNo) {
        if (CaretDrawItemNo == first && first < last) {
            CaretDrawItemNo = first + 1;
            wanted = DrawItemStartOffset(first + 1) - 2;
        }
        ++first;
    }
    TCaretStopBuilder builder(*this, first, wanted);
    for (int d = first; d <= last; ++d) {
        if (BiDiModeOfItem(DrawItems[d]->ItemNo) == TRDBiDiMode::rdbdUnspecified || !builder.BiDi(d))
            builder.LeftToRight(d);
    }
    CaretCharPosNo = builder.Chosen;
}

void TRDEditRDData::SkipMarkerDrawItem(bool forward, int& drawOffset)
{
    if (CaretDrawItemNo < 0 || CaretDrawItemNo >= DrawItems.Count()
        || StyleOfDrawItem(CaretDrawItemNo) != MarkerStyleNo)
        return;
    if ((forward || CaretDrawItemNo == 0) && CaretDrawItemNo + 1 < DrawItems.Count()) {
        ++CaretDrawItemNo;
        drawOffset = DrawItemStartOffset(CaretDrawItemNo);
    } else if (CaretDrawItemNo > 0) {
        --CaretDrawItemNo;
        drawOffset = DrawItemEndOffset(CaretDrawItemNo);
    }
}

// ---- showing the caret ----

QPoint TRDEditRDData::GetCaretPoint()
{
    if (!CaretValid())
        return QPoint(-1, -1);
    const TRDCharPos& stop = CharPositions[size_t(CaretCharPosNo)];
    return QPoint(stop.PosX + stop.CaretShift - 1 - GetHOffset(), DrawItems[CaretDrawItemNo]->Top - 1 - GetVOffset());
}

QPoint TRDEditRDData::CaretPos() const
{
    return LastCaretPoint;
}

void TRDEditRDData::UpdateCaret(bool scroll, bool keepCurrentStyles, bool refreshResizerFirst)
{
    (void)refreshResizerFirst;  // the item resizer follows the selection on its own
    if (State & dsFormatting)
        return;
    TCustomRichDocEdit* editor = Editor();
    if (GetChosenItem() != nullptr || editor->GetInplaceEditor() != nullptr || (State & dsAllSelected)) {
        editor->HideDrawnCaret();
        editor->DoCaretMove();
        return;
    }
    int height = 0, x = 0, top = 0;
    const bool resizerShown = ItemResizer != nullptr;
    if (resizerShown) {
        editor->HideDrawnCaret();
        editor->DoCaretMove();
    } else {
        if (CaretDrawItemNo >= 0 && CaretDrawItemNo < DrawItems.Count()) {
            if (CaretCharPosNo < 0 || CaretCharPosNo >= int(CharPositions.size())) {
                // Back to the first stop, so that the next update succeeds.
                CaretDrawItemNo = 0;
                int offset = 0;
                SkipMarkerDrawItem(true, offset);
                BuildCharPositions(-1);
                CaretCharPosNo = 0;
                throw ERichDocError(
                    "Invalid caret position. Please contact the developer, if you can reproduce this problem");
            }
            const TRDCharPos& stop = CharPositions[size_t(CaretCharPosNo)];
            CaretDrawItemNo = stop.DrawIndex;
            const TRDDrawLineInfo* di = DrawItems[CaretDrawItemNo];
            height = std::min(di->Height + 2, CaretMaxHeight);
            x = stop.PosX + stop.CaretShift - 1;
            top = di->Top - 1;
        }
        if (height != 0) {
            const TRDDrawLineInfo* di = DrawItems[CaretDrawItemNo];
            // Where the system caret would go: the caret's bottom one pixel
            // below the draw item's bottom.
            const QPoint place(x - GetHOffset() - CaretWidth / 2, top + di->Height + 1 - GetVOffset() - height);
            LastCaretPoint = place;
            editor->SetCaretPosOnly(place);
            const TRDDragDropCaretInfo* dropCaret = GetDragDropCaret();
            const bool dropActive = dropCaret != nullptr && dropCaret->RDData != nullptr;
            const bool hidden = editor->ReadOnly() && (editor->EditorOptions & rdoHideReadOnlyCaret);
            if (!dropActive && !hidden && IsControlFocused()) {
                CustomCaretRect = QRect(place, QSize(CaretWidth, height));
                if (editor->CustomCaretInterval <= 0)
                    editor->ShowDrawnCaret(CustomCaretRect, place);
                else
                    editor->HideDrawnCaret();
            } else {
                editor->HideDrawnCaret();
            }
        } else {
            editor->HideDrawnCaret();
        }
        CaretHeight = height;
    }
    if (CaretDrawItemNo >= 0 && CaretDrawItemNo < DrawItems.Count()) {
        const int caretItem = DrawItems[CaretDrawItemNo]->ItemNo;
        if (!keepCurrentStyles)
            SetCurrentParaNo(ParaOfItem(caretItem));
        TCustomRDItemInfo* item = ItemAt(caretItem);
        if (item->GetBoolValueEx(0, GetRDStyle())) {
            HighlightedItem = item;
            InvalidateControl();
        } else if (HighlightedItem != nullptr) {
            HighlightedItem = nullptr;
            InvalidateControl();
        }
        int styleItem = caretItem;
        // A backward selection whose end stands at the end of its draw item
        // takes its style from the text that continues after it.
        if (SelStartNo >= 0 && (SelEndNo < SelStartNo || (SelEndNo == SelStartNo && SelEndOffs < SelStartOffs))
            && SelEndNo + 1 < DrawItems.Count() && SelEndOffs == DrawItemEndOffset(SelEndNo)
            && (ItemOptionsOf(DrawItems[SelEndNo + 1]->ItemNo) & rdioContinuesPara))
            styleItem = DrawItems[SelEndNo + 1]->ItemNo;
        if (!keepCurrentStyles)
            SwitchStyleAtCaret(styleItem);
        if (ItemAt(styleItem)->GetBoolValueEx(4, GetRDStyle()))
            HighlightJumpAtCaret(styleItem);
        else
            UnhighlightJumpAtCaret();
    }
    if (scroll && !resizerShown && CaretHeight != 0 && GetCapturingItem() == nullptr)
        ScrollRectIntoView(x, top, 5, CaretHeight);
    editor->DoCaretMove();
}

void TRDEditRDData::SwitchStyleAtCaret(int itemNo)
{
    if (itemNo < 0 || itemNo >= ItemCount())
        return;
    const TCustomRDItemInfo* item = ItemAt(itemNo);
    int style = item->StyleNo;
    if (style < 0) {
        style = item->GetAssociatedTextStyleNo();
        if (style < 0 || !item->GetBoolValue(12))
            return;
    }
    TRDStyle* sheet = GetRDStyle();
    auto doNotSwitch = [&](int styleNo) {
        const int resolved = ResolveStyleNo(styleNo, item->ParaNo);
        return sheet && resolved >= 0 && resolved < sheet->TextStyles().Count()
               && (sheet->TextStyles().Items(resolved)->Protection & rdprDoNotAutoSwitch);
    };
    if (doNotSwitch(style)) {
        if (!doNotSwitch(LastSwitchableStyleNo))
            SetCurrentTextStyleNo(LastSwitchableStyleNo);
        return;
    }
    SetCurrentTextStyleNo(style);
    LastSwitchableStyleNo = style;
}

void TRDEditRDData::HighlightJumpAtCaret(int itemNo)
{
    if (Editor()->EditorOptions & rdoNoCaretHighlightJumps)
        return;
    HoverJumpId = ItemAt(itemNo)->JumpIndex;
    State |= dsJumpHighlighted;
    InvalidateControl();
}

void TRDEditRDData::UnhighlightJumpAtCaret()
{
    if (!(State & dsJumpHighlighted))
        return;
    HoverJumpId = -1;
    State &= ~dsJumpHighlighted;
    InvalidateControl();
}

// ---- keeping the caret across formatting ----

void TRDEditRDData::DoFormat(bool keepSelection, bool force, bool itemFlag1, bool itemFlag2, bool onlyNewItems,
                             TCanvas* canvas, int depth, bool keepScroll)
{
    if (State & dsFormatting)
        return;
    EnsureNotEmpty();
    if (SkipNextFormat) {
        SkipNextFormat = false;
        return;
    }
    const bool lookAfterCaret = GetRDStyle() != nullptr && depth == 0;
    const bool keep = keepSelection || onlyNewItems;
    int caretItem = -1, caretOffset = -1;
    if (lookAfterCaret && keep && CaretValid())
        DrawPosToItemPos(CaretDrawItemNo, CharPositions[size_t(CaretCharPosNo)].DrawOffset, caretOffset, caretItem);
    TRichDocRDData::DoFormat(keepSelection, force, itemFlag1, itemFlag2, onlyNewItems, canvas, depth, keepScroll);
    if (lookAfterCaret) {
        if (keep && caretItem >= 0 && caretItem < ItemCount() && FirstDrawItemOfItem(caretItem) >= 0) {
            int drawOffset = 0, d = -1;
            ItemPosToDrawPos(caretItem, caretOffset, drawOffset, d);
            CaretDrawItemNo = d;
            BuildCharPositions(drawOffset - 2);
        } else {
            Deselect(nullptr, false);
            if (DrawItems.Count() > 0) {
                CaretDrawItemNo = 0;
                BuildCharPositions(-1);
                CaretCharPosNo = 0;
            } else {
                CaretDrawItemNo = -1;
                CaretCharPosNo = -1;
                CharPositions.clear();
            }
        }
        UpdateCaret(false, !(State & dsCaretReset), false);
    }
    if (depth == 0)
        State &= ~dsCaretReset;
}

// ---- hypertext in an editor ----

void TRDEditRDData::EnableJumps(bool forced)
{
    if ((!forced && Editor()->ReadOnly()) || GetCapturingItem() != nullptr)
        return;
    ClearJumpList();
    int first = 0;
    BuildJumpList(first, &JumpList);
    SetControlFlags(GetControlFlags() | cfJumpsActive);
    State &= ~dsJumpHighlighted;
    InvalidateControl();
}

void TRDEditRDData::DisableJumps()
{
    if (Editor()->ReadOnly() || GetCapturingItem() != nullptr || !(GetControlFlags() & cfJumpsActive))
        return;
    ClearJumpList();
    SetControlFlags(GetControlFlags() & ~cfJumpsActive);
    State &= ~dsJumpHighlighted;
    UpdateCaret(false, true, false);
    InvalidateControl();
}

// ---- the custom caret ----

void TRDEditRDData::StartCustomCaretTimer()
{
    TCustomRichDocEdit* editor = Editor();
    if (CustomCaretTimerOn || editor->CustomCaretInterval <= 0 || !editor->HandleAllocated())
        return;
    editor->StartCustomCaretTimer();
    CustomCaretTimerOn = true;
}

void TRDEditRDData::StopCustomCaretTimer()
{
    if (!CustomCaretTimerOn)
        return;
    Editor()->StopCustomCaretTimer();
    CustomCaretTimerOn = false;
}

bool TRDEditRDData::CustomCaretAllowed()
{
    TCustomRichDocEdit* editor = Editor();
    if (editor->GetInplaceEditor() != nullptr || !editor->HasFocusWithin() || ItemResizer != nullptr
        || GetChosenItem() != nullptr || !editor->OnDrawCustomCaret)
        return false;
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    const TRDDragDropCaretInfo* dropCaret = root ? root->GetDragDropCaret() : nullptr;
    return dropCaret == nullptr || dropCaret->RDData == nullptr;
}

void TRDEditRDData::DrawCustomCaret()
{
    EraseCustomCaret();
    if (!CustomCaretAllowed())
        return;
    TCustomRichDocEdit* editor = Editor();
    QRect rect = CustomCaretRect;
    try {
        if (editor->OnMeasureCustomCaret)
            editor->OnMeasureCustomCaret(editor, rect);
    } catch (...) {
        // A failing handler leaves the caret undrawn.
        return;
    }
    CaretBackgroundPos = rect.topLeft();
    CustomCaretDrawnRect = rect;
    CustomCaretDrawn = true;
    InvalidateRect(rect);
}

void TRDEditRDData::EraseCustomCaret()
{
    if (!CustomCaretDrawn)
        return;
    InvalidateRect(CustomCaretDrawnRect);
    FreeCaretBackground();
}

void TRDEditRDData::FreeCaretBackground()
{
    CaretBackground.reset();
    CustomCaretDrawn = false;
}

bool TRDEditRDData::PaintBuffered(TCanvas& canvas, const QRect& clip)
{
    const bool failed = TRichDocRDData::PaintBuffered(canvas, clip);
    // The custom caret goes over what was painted, while its timer runs.
    if (CustomCaretTimerOn && CustomCaretDrawn && CustomCaretDrawnRect.intersects(clip) && CustomCaretAllowed()) {
        try {
            Editor()->OnDrawCustomCaret(Editor(), canvas, CustomCaretDrawnRect);
        } catch (...) {
            // Drawing the custom caret never breaks painting.
        }
    }
    return failed;
}
