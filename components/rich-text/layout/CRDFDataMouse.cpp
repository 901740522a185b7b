// The formatted document and the mouse: selection by characters, words,
// paragraphs and lines, hypertext hover and jumps, checkpoints that scroll
// into view, the XOR drag line and item capture of tables, and the start of
// a drag of the selection with its drop caret.

#include "layout/CRDFData.h"

#include <algorithm>
#include <utility>

#include <QtCore/QMimeData>
#include <QtGui/QCursor>
#include <QtGui/QDrag>
#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include "Cursors.h"
#include "document/RDHost.h"
#include "document/RDItem.h"
#include "styles/RDStyle.h"
#include "text/RDTextCanvas.h"
#include "text/RDTextMeasure.h"
#include "core/RDUnicode.h"

namespace {

constexpr int16_t crNone = -1;
constexpr int16_t crArrow = -2;

TRDDragExec& DragExec()
{
    static TRDDragExec exec;
    return exec;
}

// Earlier position first: by draw item, then offset.
bool Before(int d1, int o1, int d2, int o2) { return d1 < d2 || (d1 == d2 && o1 < o2); }

} // namespace

// ---- the drag loop ----

TRDDragExec SetRDDragExec(TRDDragExec exec)
{
    return std::exchange(DragExec(), std::move(exec));
}

Qt::DropAction RunRDDragExec(QWidget* source, QMimeData* data, Qt::DropActions allowed)
{
    if (DragExec())
        return DragExec()(source, data, allowed);
    // The button came up before the loop could start: that was a click.
    if (!source || !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        delete data;
        return Qt::IgnoreAction;
    }
    auto* drag = new QDrag(source);
    drag->setMimeData(data);
    const Qt::DropAction action = drag->exec(allowed, Qt::CopyAction);
    return action;
}

// ---- selecting info ----

void TRDSelectingInfo::Reset(uint8_t state)
{
    MovingOffs = AnchorOffs;
    MovingDrawNo = AnchorDrawNo;
    MovingWordStart = AnchorWordStart;
    MovingWordEnd = AnchorWordEnd;
    if (state == rdsisParagraphs) {
        AnchorState = MovingState = rdsisParagraphs;
    } else {
        AnchorState = state;
        MovingState = rdsisInsideWord;
    }
}

// ---- selection by the mouse ----

void TCustomRDFormattedData::GetSelStartDraw(int& drawNo, int& offset)
{
    DataSelectionExists(true, false);
    drawNo = SelStartNo;
    offset = SelStartOffs;
}

bool TCustomRDFormattedData::PointInSelection(int d, int o, bool inclusive)
{
    int s = -1, so = 0, e = -1, eo = 0;
    GetSelBoundsDraw(s, so, e, eo, true);
    if (s < 0 || e < 0 || d < 0)
        return false;
    if (inclusive)
        return !Before(d, o, s, so) && !Before(e, eo, d, o);
    return Before(s, so, d, o) && Before(d, o, e, eo);
}

bool TCustomRDFormattedData::ItemPosInSelection(int itemNo, int offset, bool inclusive)
{
    int o = -1, d = -1;
    ItemPosToDrawPos(itemNo, offset, o, d);
    return d >= 0 && PointInSelection(d, o, inclusive);
}

bool TCustomRDFormattedData::PointInWord(int d, int o)
{
    if (d < 0 || d >= DrawItems.Count() || StyleOfDrawItem(d) < 0)
        return false;
    const TRDDrawLineInfo* di = DrawItems[d];
    if (o <= 1 || o >= di->Length + 1)
        return false;
    const QByteArray& text = TextOfItem(di->ItemNo);
    const uint8_t flags = ItemOptionsOf(di->ItemNo);
    // Draw offset o stands before character Offs + o - 1 of the item.
    const int at = di->Offs + o - 1;
    return !IsDelimiterAt(text, at - 1, flags, di->ItemNo) && !IsDelimiterAt(text, at, flags, di->ItemNo);
}

void TCustomRDFormattedData::WordBounds(int d, int o, int& end, int& start)
{
    const TRDDrawLineInfo* di = DrawItems[d];
    const QByteArray& text = TextOfItem(di->ItemNo);
    const uint8_t flags = ItemOptionsOf(di->ItemNo);
    auto delimiter = [&](int drawChar) { return IsDelimiterAt(text, di->Offs + drawChar - 1, flags, di->ItemNo); };
    start = o - 1;
    while (start >= 2 && !delimiter(start - 1))
        --start;
    start = std::max(start, 1);
    end = o;
    while (end <= di->Length && !delimiter(end))
        ++end;
}

bool TCustomRDFormattedData::SelectionIsForward() const
{
    return SelStartNo < SelEndNo || (SelStartNo == SelEndNo && SelEndOffs >= SelStartOffs);
}

bool TCustomRDFormattedData::SelectionCrossesParagraph()
{
    int s = -1, so = 0, e = -1, eo = 0;
    GetSelBoundsDraw(s, so, e, eo, true);
    for (int k = s + 1; s >= 0 && k <= e; ++k)
        if (DrawItemStartsParagraph(k))
            return true;
    return false;
}

void TCustomRDFormattedData::WidenSelectionToLines(bool fromAnchorOnly)
{
    if (SelStartNo < 0 || SelStartNo >= DrawItems.Count())
        return;
    bool forward = true;
    if (fromAnchorOnly) {
        SelEndNo = SelStartNo;
        SelEndOffs = SelStartOffs;
    } else {
        if (SelEndNo < 0 || SelEndNo >= DrawItems.Count())
            return;
        forward = SelectionIsForward();
    }
    int first = 0, last = 0;
    GetLineBounds(SelStartNo, first, last);
    SelStartNo = forward ? first : last;
    SelStartOffs = forward ? DrawItemStartOffset(first) : DrawItemEndOffset(last);
    GetLineBounds(SelEndNo, first, last);
    SelEndNo = forward ? last : first;
    SelEndOffs = forward ? DrawItemEndOffset(last) : DrawItemStartOffset(first);
}

void TCustomRDFormattedData::WidenSelectionToParagraphs(bool onlyWhenCrossing)
{
    if (SelStartNo < 0 || SelEndNo < 0 || (SelStartNo == SelEndNo && SelStartOffs == SelEndOffs))
        return;
    if (onlyWhenCrossing && !SelectionCrossesParagraph())
        return;
    const int count = DrawItems.Count();
    auto paraFirst = [&](int d) {
        while (d > 0 && !DrawItemStartsParagraph(d))
            --d;
        return d;
    };
    auto paraLast = [&](int d) {
        while (d + 1 < count && !DrawItemStartsParagraph(d + 1))
            ++d;
        return d;
    };
    if (SelectionIsForward()) {
        SelStartNo = paraFirst(SelStartNo);
        SelStartOffs = DrawItemStartOffset(SelStartNo);
        SelEndNo = paraLast(SelEndNo);
        SelEndOffs = DrawItemEndOffset(SelEndNo);
    } else {
        SelStartNo = paraLast(SelStartNo);
        SelStartOffs = DrawItemEndOffset(SelStartNo);
        SelEndNo = paraFirst(SelEndNo);
        SelEndOffs = DrawItemStartOffset(SelEndNo);
    }
}

bool TCustomRDFormattedData::ExtendSelectionTo(int x, int y)
{
    const int s0 = SelStartNo, so0 = SelStartOffs, e0 = SelEndNo, eo0 = SelEndOffs;
    auto changed = [&] { return s0 != SelStartNo || so0 != SelStartOffs || e0 != SelEndNo || eo0 != SelEndOffs; };
    int d = -1, o = -1;
    FindDrawItemAtPos(x, y, false, o, d);
    if (d < 0)
        return false;
    if (!SelectingInfo) {
        SelEndNo = d;
        SelEndOffs = o;
        return changed();
    }
    TRDSelectingInfo& si = *SelectingInfo;
    if (si.AnchorState == rdsisParagraphs) {
        si.MovingDrawNo = d;
        si.MovingOffs = o;
        SelStartNo = si.AnchorDrawNo;
        SelStartOffs = si.AnchorOffs;
        SelEndNo = d;
        SelEndOffs = o;
        WidenSelectionToParagraphs(true);
        return changed();
    }
    // The anchor: it moves to the far boundary of its word once the moving
    // end leaves the word, and back to the press point when the end returns.
    bool snapping = true;
    if (si.AnchorState == rdsisInsideWord || si.AnchorState == rdsisLeftWord) {
        if (si.BeforeAnchorWord(d, o)) {
            si.AnchorState = rdsisLeftWord;
            SelStartOffs = si.AnchorWordEnd;
        } else if (si.AfterAnchorWord(d, o)) {
            si.AnchorState = rdsisLeftWord;
            SelStartOffs = si.AnchorWordStart;
        } else if (si.AnchorState == rdsisInsideWord) {
            snapping = false;
        } else {
            SelStartOffs = si.AnchorOffs;
            si.AnchorState = rdsisCharacters;
            snapping = false;
        }
    }
    if (snapping) {
        if (PointInWord(d, o)) {
            int s = 0, e = 0;
            WordBounds(d, o, e, s);
            if (si.SameMovingWord(d, s, e)) {
                if (si.MovingState == rdsisCharacters) {
                    snapping = false;
                } else if (si.MovedBackInWord(d, o)) {
                    si.MovingState = rdsisCharacters;
                    snapping = false;
                } else {
                    si.MovingOffs = o;
                }
            } else {
                si.MovingState = rdsisInsideWord;
                si.MovingDrawNo = d;
                si.MovingWordStart = s;
                si.MovingWordEnd = e;
                si.MovingOffs = o;
            }
            if (snapping) {
                if (si.BeforeAnchorWord(d, o))
                    o = s;
                else if (si.AfterAnchorWord(d, o))
                    o = e;
            }
        } else {
            si.MovingState = rdsisInsideWord;
            si.MovingWordStart = si.MovingWordEnd = -1;
        }
    }
    SelEndNo = d;
    SelEndOffs = o;
    return changed();
}

bool TCustomRDFormattedData::ExtendLineSelectionTo(int x, int y)
{
    const int s0 = SelStartNo, so0 = SelStartOffs, e0 = SelEndNo, eo0 = SelEndOffs;
    int d = -1, o = -1;
    FindDrawItemAtPos(x, y, false, o, d);
    if (d < 0)
        return false;
    SelEndNo = d;
    SelEndOffs = o;
    WidenSelectionToLines(false);
    if (GetRDStyle()->SelectionMode == TRDSelectionMode::rdsmParagraph)
        WidenSelectionToParagraphs(true);
    return s0 != SelStartNo || so0 != SelStartOffs || e0 != SelEndNo || eo0 != SelEndOffs;
}

// ---- the mouse ----

namespace {

// The lines from the one of draw item a to the one of draw item b repainted across the window.
void InvalidateDrawRange(TCustomRDFormattedData& data, int a, int b)
{
    const int count = data.DrawItems.Count();
    if (count == 0)
        return;
    a = std::clamp(a, 0, count - 1);
    b = std::clamp(b, 0, count - 1);
    if (a > b)
        std::swap(a, b);
    int first = 0, last = 0, lastFirst = 0, firstLast = 0;
    data.GetLineBounds(a, first, firstLast);
    data.GetLineBounds(b, lastFirst, last);
    // The lines between are whole: only the first and the last line are walked.
    int top = data.DrawItems[first]->Top, bottom = top;
    for (int d = first; d <= last; d = (d == firstLast && d < lastFirst) ? lastFirst : d + 1) {
        const TRDDrawLineInfo* di = data.DrawItems[d];
        top = std::min(top, di->Top);
        bottom = std::max(bottom, di->Top + di->Height);
    }
    data.InvalidateRect(QRect(0, top - data.GetVOffset(), data.GetWidth(), bottom - top));
}

} // namespace

void TCustomRDFormattedData::UpdateDrawItemUnderMouse(int x, int y)
{
    if (CapturingItem)
        return;
    const int px = x + GetHOffset(), py = y + GetVOffset();
    if (DrawItemUnderMouse >= 0 && DrawItemUnderMouse < DrawItems.Count()) {
        const TRDDrawLineInfo* di = DrawItems[DrawItemUnderMouse];
        if (px >= di->Left && px < di->Left + di->Width && py >= di->Top && py < di->Top + di->Height)
            return;
    }
    DrawItemUnderMouse = DrawItemAtPoint(px, py);
}

void TCustomRDFormattedData::MouseDown(Qt::MouseButton button, TRDShiftState shift, int x, int y)
{
    BeforeCaretMove();
    UpdateDrawItemUnderMouse(x, y);
    MouseDownDrawItem = DrawItemUnderMouse;
    const int dx = GetHOffset(), dy = GetVOffset();
    int itemNo = -1;
    if (DrawItemUnderMouse < 0) {
        DestroyInplaceEditor();
        if (!shift.Double)
            FocusOwner();
    } else {
        const TRDDrawLineInfo* di = DrawItems[DrawItemUnderMouse];
        itemNo = di->ItemNo;
        TCustomRDItemInfo* item = ItemAt(itemNo);
        if (item != ChosenItem && item != GetChosenSubItem()) {
            UnchooseAllBut(nullptr);
            if (!shift.Double)
                FocusOwner();
        }
        if (void* editor = GetOpenInplaceEditor(); editor && !item->OwnsInplaceEditor(editor)) {
            DestroyInplaceEditor();
            if (!shift.Double)
                FocusOwner();
        }
        item->MouseDown(button, shift.Keys, x + dx - di->Left, y + dy - di->Top, itemNo, this);
    }
    const bool editorOpen = GetOpenInplaceEditor() != nullptr;
    if (!editorOpen && HasRDMouseDownHandler())
        DoRDMouseDown(button, shift.Keys, itemNo, x, y);
    if (!editorOpen && button == Qt::LeftButton) {
        PressedJumpId = -1;
        for (const auto& j : JumpList)
            if (x >= j->Left - dx && x <= j->Left - dx + j->Width && y >= j->Top - dy && y <= j->Top - dy + j->Height) {
                PressedJumpId = j->Id;
                break;
            }
    }
    if (CapturingItem || editorOpen) {
        if (DrawItemUnderMouse >= 0) {
            SelStartNo = SelEndNo = DrawItemUnderMouse;
            SelStartOffs = SelEndOffs = 1;
            AfterMouseSelection(true);
        }
        return;
    }
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    if (!root)
        root = this;
    if (button != Qt::LeftButton || (State & dsWordSelectedByDblClick) || (root->State & dsDragStartPending))
        return;
    const TRDOptions options = GetOptions();
    if ((options & rdoSingleClick) && HasRDDblClickHandler()) {
        QByteArray word;
        TCustomRDFormattedData* data = nullptr;
        int wordStart = -1, wordItem = -1, style = 0;
        if (GetWordAt(word, x, data, wordStart, wordItem, style, y) && !word.isEmpty())
            DoRDDblClick(word, style);
    }
    if (!(options & rdoAllowSelection) || !shift.Left())
        return;
    State &= ~dsLineSelecting;
    UnchooseAllBut(nullptr);
    int anchorNo = -1, anchorOffs = 0;
    GetSelStartDraw(anchorNo, anchorOffs);
    int d = -1, o = -1;
    FindDrawItemAtPos(x + dx, y + dy, false, o, d);
    if (d >= 0 && PointInSelection(d, o, true)) {
        int sd = -1, so = -1;
        FindDrawItemAtPos(x + dx, y + dy, true, so, sd);
        if (sd >= 0 && !shift.Shift() && x + dx >= GetLeftMargin() && !(root->State & dsDragClickOnCancel)
            && PointInSelection(sd, so, true) && CanStartDrag()) {
            root->State |= dsDragStartPending;
            root->DragPressPoint = QPoint(x, y);
            PostDragStart();
            return;
        }
    }
    SelEndNo = d;
    SelEndOffs = o;
    if (!shift.Shift() || anchorNo < 0) {
        SelStartNo = d;
        SelStartOffs = o;
    } else {
        SelStartNo = anchorNo;
        SelStartOffs = anchorOffs;
    }
    if (d < 0) {
        State &= ~dsMouseSelecting;
    } else {
        State |= dsMouseSelecting;
        SelectingInfo.reset();
        TRDStyle* sheet = GetRDStyle();
        if (sheet->LineSelectCursor != crNone && GetBiDiMode() != TRDBiDiMode::rdbdRightToLeft
            && x + dx < GetLeftMargin() && !shift.Shift()) {
            State |= dsLineSelecting;
            WidenSelectionToLines(true);
        } else if (sheet->SelectionMode != TRDSelectionMode::rdsmChar) {
            SelectingInfo = std::make_unique<TRDSelectingInfo>();
            TRDSelectingInfo& si = *SelectingInfo;
            si.AnchorOffs = si.MovingOffs = SelStartOffs;
            si.AnchorDrawNo = SelStartNo;
            if (sheet->SelectionMode == TRDSelectionMode::rdsmParagraph) {
                si.Reset(rdsisParagraphs);
                if (shift.Shift())
                    ExtendSelectionTo(x + dx, y + dy);
            } else if (PointInWord(SelStartNo, SelStartOffs)) {
                WordBounds(SelStartNo, SelStartOffs, si.AnchorWordEnd, si.AnchorWordStart);
                si.Reset(rdsisInsideWord);
            } else {
                si.Reset(rdsisCharacters);
            }
        }
    }
    AfterMouseSelection(true);
    InvalidateControl();
}

void TCustomRDFormattedData::SetNormalCursor()
{
    if (TRDHost* host = GetHost())
        host->SetCursor(GetNormalCursor());
}

void TCustomRDFormattedData::MouseMove(TRDShiftState shift, int x, int y)
{
    TRDStyle* sheet = GetRDStyle();
    if (!sheet)
        return;
    if ((State & dsMouseSelecting) && !shift.Left()) {
        State &= ~dsMouseSelecting;
        SelectingInfo.reset();
    }
    EraseXorLine();
    const int dx = GetHOffset(), dy = GetVOffset();
    auto itemStep = [&] {
        UpdateDrawItemUnderMouse(x, y);
        if (DrawItemUnderMouse < 0) {
            if (GetOptions() & rdoShowItemHints)
                ShowItemHint(GetAbsoluteRootData()->DoItemHint(this, -1, QString()));
            SetNormalCursor();
            return;
        }
        const TRDDrawLineInfo* di = DrawItems[DrawItemUnderMouse];
        const bool handled = ItemAt(di->ItemNo)->MouseMove(x + dx - di->Left, y + dy - di->Top, di->ItemNo, this);
        if (handled)
            return;
        if (!shift.Shift() && !(State & dsMouseSelecting) && CanStartDrag()) {
            int sd = -1, so = -1;
            FindDrawItemAtPos(x + dx, y + dy, true, so, sd);
            if (sd >= 0 && PointInSelection(sd, so, true)) {
                SetCursor(crArrow);
                return;
            }
        }
        SetNormalCursor();
    };
    if (!CapturingItem) {
        if (State & dsMouseSelecting) {
            if (!(GetControlFlags() & cfNoClip)) {
                y = std::clamp(y, 0, GetHeight());
                x = std::clamp(x, 0, GetWidth());
            }
            const int s0 = SelStartNo, e0 = SelEndNo;
            bool changed = false;
            if (State & dsLineSelecting) {
                if (ExtendLineSelectionTo(x + dx, y + dy)) {
                    WidenSelectionToLines(false);
                    AfterMouseSelection(false);
                    changed = true;
                }
            } else if (ExtendSelectionTo(x + dx, y + dy)) {
                AfterMouseSelection(true);
                changed = true;
            }
            if (changed) {
                // Only the lines between the old and the new ends change.
                if (s0 == SelStartNo && e0 >= 0) {
                    InvalidateDrawRange(*this, e0, SelEndNo);
                } else if (s0 >= 0 && e0 >= 0) {
                    InvalidateDrawRange(*this, std::min({s0, e0, SelStartNo, SelEndNo}),
                                        std::max({s0, e0, SelStartNo, SelEndNo}));
                } else {
                    InvalidateControl();
                }
                UpdateControl();
            }
        }
        const bool overMargin = sheet->LineSelectCursor != crNone && !(State & dsMouseSelecting)
                                && GetBiDiMode() != TRDBiDiMode::rdbdRightToLeft && x + dx < GetLeftMargin()
                                && (GetOptions() & rdoAllowSelection);
        if (overMargin) {
            SetCursor(sheet->LineSelectCursor);
        } else if (GetControlFlags() & cfJumpsActive) {
            if (!JumpHover(x, y, shift)) {
                if (TCustomRDFormattedData* hovered = HoverJumpData) {
                    const int id = hovered->HoverJumpId;
                    const bool lit = hovered->State & dsJumpHighlighted;
                    hovered->State &= ~dsJumpHighlighted;
                    hovered->HoverJumpId = -1;
                    HoverJumpData = nullptr;
                    if (lit && id >= 0)
                        InvalidateJump(id);
                    DoRDMouseMove(-1);
                }
                itemStep();
            }
        } else {
            itemStep();
        }
    } else {
        itemStep();
    }
    XorLineX = x;
    XorLineY = y;
    XorDraw();
}

void TCustomRDFormattedData::MouseUp(Qt::MouseButton button, TRDShiftState shift, int x, int y)
{
    const bool hadSelection = DataSelectionExists(true, true);
    const int dx = GetHOffset(), dy = GetVOffset();
    const TRDOptions options = GetOptions();
    if (!CapturingItem) {
        State &= ~dsWordSelectedByDblClick;
        if ((State & dsMouseSelecting) && button == Qt::LeftButton) {
            int cx = x, cy = y;
            if (!(GetControlFlags() & cfNoClip)) {
                cy = std::clamp(cy, 0, GetHeight());
                cx = std::clamp(cx, 0, GetWidth());
            }
            if (State & dsLineSelecting)
                ExtendLineSelectionTo(cx + dx, cy + dy);
            else
                ExtendSelectionTo(cx + dx, cy + dy);
            State &= ~(dsMouseSelecting | dsLineSelecting);
            SelectingInfo.reset();
            UpdateDrawItemUnderMouse(x, y);
            ClickSelectsItem();
            AfterMouseSelection(true);
            if (DataSelectionExists(false, false))
                ChooseInParent();
            InvalidateControl();
            DoSelect();
        }
        if ((options & rdoRClickDeselects) && button == Qt::RightButton) {
            int d = -1, o = -1;
            FindDrawItemAtPos(x + dx, y + dy, false, o, d);
            if (d >= 0 && !PointInSelection(d, o, true)) {
                SelStartNo = SelEndNo = d;
                SelStartOffs = SelEndOffs = o;
                AfterMouseSelection(true);
                RefreshControl();
                DoSelect();
            }
        }
    }
    UpdateDrawItemUnderMouse(x, y);
    int itemNo = -1;
    if (DrawItemUnderMouse >= 0) {
        const TRDDrawLineInfo* di = DrawItems[DrawItemUnderMouse];
        itemNo = di->ItemNo;
        ItemAt(itemNo)->MouseUp(button, shift.Keys, x + dx - di->Left, y + dy - di->Top, itemNo, this);
    }
    if (CapturingItem)
        return;
    if (!hadSelection && itemNo >= 0 && (button == Qt::LeftButton || button == Qt::RightButton)
        && ItemAt(itemNo)->GetBoolValueEx(3, GetRDStyle()))
        FocusClickedItem(this, itemNo);
    if (HasRDMouseUpHandler())
        DoRDMouseUp(button, shift.Keys, itemNo, x, y);
    if (button == Qt::RightButton && HasRDRightClickHandler()) {
        QByteArray word;
        TCustomRDFormattedData* data = nullptr;
        int wordStart = -1, wordItem = -1, style = 0;
        if (GetWordAt(word, x, data, wordStart, wordItem, style, y) && !word.isEmpty()) {
            QPoint screen;
            ClientToScreenPt(QPoint(x, y), screen);
            DoRDRightClick(word, style, screen.x(), screen.y());
        }
    }
    if (button == Qt::LeftButton) {
        const int pressed = PressedJumpId;
        PressedJumpId = -1;
        bool fired = false;
        if (pressed >= 0 && HasJumpHandler() && !hadSelection)
            for (const auto& j : JumpList)
                if (j->Id == pressed && x >= j->Left - dx && x <= j->Left - dx + j->Width && y >= j->Top - dy
                    && y <= j->Top - dy + j->Height) {
                    fired = true;
                    DoJump(GetAbsoluteRootData()->FirstJumpNo + pressed);
                    break;
                }
        if (!fired)
            MouseDownDrawItem = -1;
    }
}

void TCustomRDFormattedData::DblClick(int x, int y)
{
    const TRDOptions options = GetOptions();
    const bool handler = HasRDDblClickHandler();
    if (!((!(options & rdoSingleClick) && handler) || (options & rdoDblClickSelectsWord)))
        return;
    QByteArray word;
    TCustomRDFormattedData* data = nullptr;
    int wordStart = -1, itemNo = -1, style = 0;
    if ((options & rdoDblClickSelectsWord) && (options & rdoAllowSelection)) {
        if (!GetWordAt(word, x, data, wordStart, itemNo, style, y) || !data || itemNo < 0)
            return;
        if (data->ItemAt(itemNo)->StyleNo < 0)
            data->SetSelectionBounds(itemNo, 0, itemNo, 1);
        else
            data->SetSelectionBounds(itemNo, wordStart, itemNo,
                                     wordStart + CharLength(word, data->ItemOptionsOf(itemNo)));
        data->ChooseInParent();
        data->State |= dsWordSelectedByDblClick;
        data->State &= ~dsMouseSelecting;
        data->InvalidateControl();
        State &= ~dsMouseSelecting;
        DoRDDblClick(word, style);
        State |= dsWordSelectedByDblClick;
    } else if (handler && GetWordAt(word, x, data, wordStart, itemNo, style, y)) {
        DoRDDblClick(word, style);
    }
}

void TCustomRDFormattedData::MouseLeave()
{
    if (!(GetControlFlags() & cfJumpsActive))
        return;
    const int id = HoverJumpData ? HoverJumpData->HoverJumpId : -1;
    EndJumpHover();
    if (id != -1)
        InvalidateJump(id);
}

void TCustomRDFormattedData::SetItemCapture(TCustomRDItemInfo* item, int& left, int& top)
{
    left = top = 0;
    int itemNo = -1;
    for (int i = 0; i < ItemCount(); ++i)
        if (ItemAt(i) == item) {
            itemNo = i;
            break;
        }
    if (itemNo < 0)
        return;
    if (DrawItemUnderMouse < 0 || DrawItemUnderMouse >= DrawItems.Count()
        || DrawItems[DrawItemUnderMouse]->ItemNo != itemNo)
        DrawItemUnderMouse = FirstDrawItemOfItem(itemNo);
    if (DrawItemUnderMouse >= 0) {
        left = DrawItems[DrawItemUnderMouse]->Left;
        top = DrawItems[DrawItemUnderMouse]->Top;
    }
    CapturingItem = item;
}

void TCustomRDFormattedData::ReleaseItemCapture(TCustomRDItemInfo* item)
{
    if (CapturingItem == item)
        CapturingItem = nullptr;
}

void TCustomRDFormattedData::RegisterXorDrawing(TRDXorDrawingProc proc, TCustomRDItemInfo* tableItem)
{
    EraseXorLine();
    XorDrawing = proc;
    XorDrawingItem = tableItem;
}

void TCustomRDFormattedData::UnregisterXorDrawing(TRDXorDrawingProc proc, TCustomRDItemInfo* tableItem)
{
    if (!IsXorDrawingRegistered(proc) || XorDrawingItem != tableItem)
        return;
    if (GetHost())
        EraseXorLine();
    else
        XorLineShown = false;
    XorDrawing = nullptr;
    XorDrawingItem = nullptr;
}

void TCustomRDFormattedData::XorDraw()
{
    if (!XorDrawing)
        return;
    XorDrawing(XorDrawingItem, this, XorLineX, XorLineY);
    XorLineShown = !XorLineShown;
}

void TCustomRDFormattedData::MoveXorLine(int x, int y)
{
    XorLineX = x;
    XorLineY = y;
    XorDraw();
}

bool TCustomRDFormattedData::EraseXorLine()
{
    if (!XorLineShown)
        return false;
    XorDraw();
    return true;
}

void TCustomRDFormattedData::ChooseInParent()
{
    auto* root = GetAbsoluteRootData();
    if (root->GetControlFlags() & cfNoChosenAnnounce)
        return;
    TCustomRDData* parent = GetParentData();
    if (!parent || parent->GetChosenSubData() == this)
        return;
    // Items holding documents that can be chosen (tables) answer through
    // their own hook; the base items hold none.
}

void TCustomRDFormattedData::FocusClickedItem(TCustomRDFormattedData* data, int itemNo)
{
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    if (root && root != this)
        root->FocusClickedItem(data, itemNo);
}

void TCustomRDFormattedData::SetCursor(int16_t cursor)
{
    if (TRDHost* host = GetHost())
        host->SetCursor(ScreenCursor(cursor));
}

void TCustomRDFormattedData::ClientToScreenPt(const QPoint& point, QPoint& screen)
{
    TRDHost* host = GetHost();
    screen = host ? host->ClientToScreen(point) : point;
}

void TCustomRDFormattedData::ScreenToClientPt(const QPoint& screen, QPoint& point)
{
    TRDHost* host = GetHost();
    point = host ? host->ScreenToClient(screen) : screen;
}

// ---- hypertext ----

void TCustomRDFormattedData::BuildJumpList(int& firstNo, std::vector<std::unique_ptr<TRDJumpInfo>>* list)
{
    if (!list)
        list = &JumpList;
    TRDStyle* sheet = GetRDStyle();
    if (!sheet)
        return;
    JumpCount = 0;
    int previous = -1;
    for (int d = 0; d < DrawItems.Count(); ++d) {
        const TRDDrawLineInfo* di = DrawItems[d];
        const int i = di->ItemNo;
        TCustomRDItemInfo* item = ItemAt(i);
        if (item->GetBoolValueEx(2, sheet)) {
            auto j = std::make_unique<TRDJumpInfo>();
            j->Left = di->Left;
            j->Top = di->Top;
            j->Width = di->Width;
            j->Height = di->Height;
            j->Id = firstNo + JumpCount - (i == previous ? 1 : 0);
            j->RDData = this;
            j->DrawItemNo = d;
            item->JumpIndex = j->Id;
            j->Cursor = item->StyleNo < 0 ? item->GetJumpCursor(sheet)
                                          : sheet->TextStyles().TextStyleAt(EffectiveStyleOfItem(i))->JumpCursor;
            list->push_back(std::move(j));
            if (i != previous) {
                ++JumpCount;
                previous = i;
            }
        } else if (item->StyleNo < 0) {
            int running = firstNo + JumpCount;
            item->BuildJumps(di->Left, di->Top, running, *list);
            JumpCount = running - firstNo;
        }
    }
    firstNo += JumpCount;
}

void TCustomRDFormattedData::ClearJumpList()
{
    JumpList.clear();
    EndJumpHover();
}

void TCustomRDFormattedData::EndJumpHover()
{
    if (TCustomRDFormattedData* hovered = HoverJumpData) {
        hovered->State &= ~dsJumpHighlighted;
        hovered->HoverJumpId = -1;
        hovered->PressedJumpId = -1;
        HoverJumpData = nullptr;
        DoRDMouseMove(-1);
    }
    State &= ~dsJumpHighlighted;
    HoverJumpId = -1;
    PressedJumpId = -1;
    HoverJumpData = nullptr;
}

void TCustomRDFormattedData::InvalidateJump(int id)
{
    TRDStyle* sheet = GetRDStyle();
    if (sheet && sheet->FullRedraw) {
        InvalidateControl();
    } else {
        const int dx = GetHOffset(), dy = GetVOffset();
        for (const auto& j : JumpList)
            if (j->Id == id)
                InvalidateRect(QRect(j->Left - dx - 5, j->Top - dy - 5, j->Width + 10, j->Height + 10));
    }
    UpdateControl();
}

bool TCustomRDFormattedData::JumpHover(int x, int y, TRDShiftState)
{
    const int dx = GetHOffset(), dy = GetVOffset();
    const TRDJumpInfo* found = nullptr;
    for (const auto& j : JumpList) {
        const int left = j->Left - dx, top = j->Top - dy;
        if (x >= left && x < left + j->Width && y >= top && y < top + j->Height) {
            found = j.get();
            break;
        }
    }
    if (!found)
        return false;
    SetCursor(found->Cursor);
    if (!HoverJumpData || HoverJumpData->HoverJumpId != found->Id)
        DoRDMouseMove(GetAbsoluteRootData()->FirstJumpNo + found->Id);
    if (HoverJumpData && (HoverJumpData->State & dsJumpHighlighted) && HoverJumpData->HoverJumpId != found->Id) {
        HoverJumpData->State &= ~dsJumpHighlighted;
        InvalidateJump(HoverJumpData->HoverJumpId);
    }
    TCustomRDFormattedData* data = found->RDData ? found->RDData : this;
    data->HoverJumpId = found->Id;
    TCustomRDItemInfo* item = nullptr;
    if (found->DrawItemNo >= 0 && found->DrawItemNo < data->DrawItems.Count()) {
        const TRDDrawLineInfo* di = data->DrawItems[found->DrawItemNo];
        item = data->ItemAt(di->ItemNo);
        item->MouseMove(x + dx - di->Left, y + dy - di->Top, di->ItemNo, data);
    }
    HoverJumpData = data;
    if (item && !(data->State & dsJumpHighlighted) && item->GetBoolValueEx(4, GetRDStyle())) {
        data->State |= dsJumpHighlighted;
        InvalidateJump(data->HoverJumpId);
    }
    return true;
}

TCPEventKind TCustomRDFormattedData::GetCPEventKind()
{
    auto* root = dynamic_cast<TCustomRDFormattedData*>(GetAbsoluteRootData());
    return root && root != this ? root->GetCPEventKind() : TCPEventKind::cpeNone;
}

void TCustomRDFormattedData::UpdateCheckpointVisibility()
{
    const TCPEventKind kind = GetCPEventKind();
    if (!HasCheckpointVisibleHandler() || kind == TCPEventKind::cpeNone)
        return;
    const int top = GetVOffset();
    const int bottom = top + GetHeight();
    auto report = [this](TRDCPInfo* cp) {
        if (cp == LastVisibleCheckpoint)
            return;
        LastVisibleCheckpoint = cp;
        DoCheckpointVisible(cp);
    };
    TRDCPInfo* before = nullptr;
    for (TRDCPInfo* cp = FirstCP; cp; cp = cp->NextCP) {
        if (!cp->RaiseEvent)
            continue;
        const int d = cp->Item ? cp->Item->FirstDrawItem : -1;
        if (d < 0 || d >= DrawItems.Count())
            return;
        const int cy = DrawItems[d]->Top;
        if (cy >= top) {
            if (cy <= bottom)
                report(cp);
            else if (kind == TCPEventKind::cpeWhenVisible)
                report(nullptr);
            else if (before)
                report(before);
            return;
        }
        before = cp;
    }
    // The end of the document is in the window also when it is the window's
    // last line, as it is when scrolled to the end.
    if (PendingCP && PendingCP->RaiseEvent && DocumentHeight <= bottom)
        report(PendingCP.get());
    else if (kind == TCPEventKind::cpeWhenVisible)
        report(nullptr);
    else if (before)
        report(before);
}

// ---- drag start and the drop caret ----

namespace {

TCustomRDFormattedData* RootOf(TCustomRDFormattedData* data)
{
    auto* root = dynamic_cast<TCustomRDFormattedData*>(data->GetAbsoluteRootData());
    return root && root != data ? root : nullptr;
}

} // namespace

bool TCustomRDFormattedData::CanStartDrag()
{
    auto* root = RootOf(this);
    return root && root->CanStartDrag();
}

bool TCustomRDFormattedData::GetDragSource(QMimeData*& data, Qt::DropActions& allowed)
{
    data = nullptr;
    allowed = Qt::IgnoreAction;
    auto* root = RootOf(this);
    return root && root->GetDragSource(data, allowed);
}

void TCustomRDFormattedData::DragFinished(bool moved)
{
    if (auto* root = RootOf(this))
        root->DragFinished(moved);
}

bool TCustomRDFormattedData::IsDragging()
{
    auto* root = RootOf(this);
    return root && root->IsDragging();
}

TRDDragDropCaretInfo* TCustomRDFormattedData::GetDragDropCaret()
{
    auto* root = RootOf(this);
    return root ? root->GetDragDropCaret() : nullptr;
}

void TCustomRDFormattedData::PostDragStart()
{
    if (auto* root = RootOf(this))
        root->PostDragStart();
}

QWidget* TCustomRDFormattedData::DragSourceControl()
{
    if (auto* root = RootOf(this))
        return root->DragSourceControl();
    TRDHost* host = GetHost();
    return host ? host->EventControl() : nullptr;
}

QPoint TCustomRDFormattedData::MouseClientPos()
{
    QPoint point;
    ScreenToClientPt(QCursor::pos(), point);
    return point;
}

void TCustomRDFormattedData::StartOleDrag()
{
    if (auto* root = RootOf(this)) {
        root->StartOleDrag();
        return;
    }
    State &= ~dsDragStartPending;
    const TRDStateBits dragFlags(State, dsDragDeleteOnMove | dsDragClickOnCancel);
    QMimeData* data = nullptr;
    Qt::DropActions allowed = Qt::IgnoreAction;
    if (!GetDragSource(data, allowed))
        return;
    Qt::DropAction effect = Qt::IgnoreAction;
    try {
        effect = RunRDDragExec(DragSourceControl(), data, allowed);
    } catch (...) {
        DragFinished(false);
        throw;
    }
    const bool moved = effect == Qt::MoveAction && (State & dsDragDeleteOnMove);
    DragFinished(moved);
    if (effect != Qt::IgnoreAction || !(State & dsDragClickOnCancel))
        return;
    const QPoint at = MouseClientPos();
    // The loop ended without a drop: a plain click places the selection
    // there; a drag the user cancelled after moving leaves it alone.
    if ((at - DragPressPoint).manhattanLength() >= QApplication::startDragDistance())
        return;
    bool special = false;
    int itemOffset = -1, itemNo = -1;
    TCustomRDFormattedData* found = nullptr;
    FindItemAtPos(at.x() + GetHOffset(), at.y() + GetVOffset(), special, false, itemOffset, itemNo, found);
    if (!found || itemNo < 0)
        return;
    auto* editing = dynamic_cast<TCustomRDFormattedData*>(found->GetDataForEditing());
    if (!editing)
        editing = found;
    editing->SetSelectionBounds(itemNo, itemOffset, itemNo, itemOffset);
    editing->InvalidateControl();
}

void TCustomRDFormattedData::SetDragDropCaretPos(int itemNo, int offset)
{
    TRDDragDropCaretInfo* r = GetDragDropCaret();
    if (!r)
        return;
    r->RDData = this;
    r->ItemNo = itemNo;
    r->ItemOffs = offset;
    int p = -1, d = -1;
    ItemPosToDrawPos(itemNo, offset, p, d);
    if (d < 0) {
        r->RDData = nullptr;
        return;
    }
    const TRDDrawLineInfo* di = DrawItems[d];
    r->Top = di->Top;
    r->Height = di->Height;
    r->X = di->Left;
    if (StyleOfDrawItem(d) >= 0 && di->Length > 0) {
        TCanvas* canvas = GetCanvas();
        const int i = di->ItemNo;
        const int style = EffectiveStyleOfItem(i);
        GetRDStyle()->ApplyStyle(*canvas, style, BiDiModeOfPara(ItemAt(i)->ParaNo),
                                 GetControlFlags() & cfStylePixelsPerInch, nullptr, false);
        QByteArray display;
        GetDisplayText(TextOfItem(i), TextStyleOf(style), LineWrapsAfter(d), display, false,
                       GetOptions() & rdoShowSpecialCharacters);
        const int flags = ItemOptionsOf(i);
        const QByteArray part = CharCopy(display, di->Offs, di->Length, flags);
        if (BiDiModeOfItem(i) != TRDBiDiMode::rdbdUnspecified) {
            std::vector<int> caret;
            if (GetBiDiCaretPositions(*canvas, part, caret, flags, di->Width - di->JustifyExtra) && p - 1 >= 0
                && p - 1 < int(caret.size())) {
                r->X = di->Left + caret[size_t(p - 1)];
                return;
            }
        }
        if (p > 1) {
            std::vector<int> extents;
            int fit = 0;
            ItemTextExtentEx(*canvas, part, 10 * std::max(1, di->Width), fit, &extents, flags);
            if (p - 2 < int(extents.size()))
                r->X = di->Left + extents[size_t(p - 2)];
        }
    } else if (offset > StartOffsetOf(di->ItemNo)) {
        r->X = di->Left + di->Width;
    }
}

namespace {

// The client rectangle of the drop caret.
QRect CaretRect(TCustomRDFormattedData& data, const TRDDragDropCaretInfo& r)
{
    int x0 = 0, y0 = 0;
    data.GetOrigin(x0, y0);
    y0 -= data.GetVAlignOffset();
    auto* root = dynamic_cast<TCustomRDFormattedData*>(data.GetRootData());
    if (!root)
        root = &data;
    return QRect(x0 + r.X - root->GetHOffset(), y0 + r.Top - root->GetVOffset(), 2, r.Height + 1);
}

} // namespace

void TCustomRDFormattedData::DrawDragDropCaret(TCanvas& canvas, bool nested)
{
    TRDDragDropCaretInfo* r = GetDragDropCaret();
    if (!r || !r->RDData)
        return;
    if (r->RDData != this) {
        if (!nested)
            r->RDData->DrawDragDropCaret(canvas, true);
        return;
    }
    const QRect rect = CaretRect(*this, *r);
    QPainter& painter = canvas.Painter();
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        if (y % 2 == 0)
            painter.fillRect(QRect(rect.left(), y, 2, 1), Qt::black);
    painter.restore();
}

void TCustomRDFormattedData::MoveDragDropCaret(int x, int y)
{
    // The caret is painted over the document after each paint: moving it
    // repaints its old and its new place.
    HideDragDropCaret();
    bool special = false;
    int itemOffset = -1, itemNo = -1;
    TCustomRDFormattedData* found = nullptr;
    FindItemAtPos(x + GetHOffset(), y + GetVOffset(), special, false, itemOffset, itemNo, found);
    if (found && itemNo >= 0)
        found->SetDragDropCaretPos(itemNo, itemOffset);
    TRDDragDropCaretInfo* r = GetDragDropCaret();
    if (r && r->RDData) {
        r->RDData->InvalidateRect(CaretRect(*r->RDData, *r));
        if (!special)
            r->RDData->ScrollRectIntoView(r->X, r->Top, 1, r->Height);
    }
}

void TCustomRDFormattedData::HideDragDropCaret()
{
    TRDDragDropCaretInfo* r = GetDragDropCaret();
    if (r && r->RDData)
        r->RDData->InvalidateRect(CaretRect(*r->RDData, *r));
}
