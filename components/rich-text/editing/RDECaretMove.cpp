#include "editing/RDERDData.h"

#include <algorithm>

#include "core/RDUnicode.h"
#include "styles/RDStyle.h"

// Caret movement by keys: through the caret stops of the caret's line, to
// other lines by the stop's x, by words inside text items, by pages, and the
// selection anchored and extended around the moves.

namespace {

bool CaretMoveParagraphMode(TRDEditRDData& data)
{
    TRDStyle* sheet = data.GetRDStyle();
    return sheet && sheet->SelectionMode == TRDSelectionMode::rdsmParagraph;
}

}  // namespace

bool TRDEditRDData::CaretAtLineStart() const
{
    return CaretValid() && CaretCharPosNo == 0;
}

bool TRDEditRDData::CaretAtLineEnd() const
{
    return CaretValid() && CaretCharPosNo == static_cast<int>(CharPositions.size()) - 1;
}

bool TRDEditRDData::CaretOnLastLine() const
{
    return CaretValid() && CharPositions.back().DrawIndex == DrawItems.Count() - 1;
}

void TRDEditRDData::AnchorSelectionAtCaret()
{
    if (!CaretValid() || DataSelectionExists(false, false))
        return;
    const TRDCharPos& stop = CharPositions[static_cast<size_t>(CaretCharPosNo)];
    SelStartNo = SelEndNo = stop.DrawIndex;
    SelStartOffs = SelEndOffs = stop.DrawOffset;
}

void TRDEditRDData::ExtendSelectionToCaret()
{
    if (!CaretValid())
        return;
    const TRDCharPos& stop = CharPositions[static_cast<size_t>(CaretCharPosNo)];
    if (SelStartNo < 0) {
        SelStartNo = stop.DrawIndex;
        SelStartOffs = stop.DrawOffset;
    }
    SelEndNo = stop.DrawIndex;
    SelEndOffs = stop.DrawOffset;
    if (CaretMoveParagraphMode(*this))
        WidenSelectionToParagraphs(true);
    AfterMouseSelection(true);
    InvalidateControl();
}

void TRDEditRDData::MoveToPrevParagraph()
{
    if (!CaretValid())
        return;
    auto paraStart = [this](int d) {
        while (d > 0 && !StartsParagraph(DrawItems[d]->ItemNo))
            --d;
        while (d > 0 && DrawItems[d - 1]->ItemNo == DrawItems[d]->ItemNo)
            --d;
        return d;
    };
    int d = paraStart(CaretDrawItemNo);
    if (d > 0)
        d = paraStart(d - 1);
    CaretDrawItemNo = d;
    BuildCharPositions(DrawItemStartOffset(d) - 2);
    UpdateCaret(true, false, false);
}

void TRDEditRDData::MoveToNextParagraph()
{
    if (!CaretValid())
        return;
    const int lastDraw = DrawItems.Count() - 1;
    auto paraEnd = [this, lastDraw](int d) {
        while (d < lastDraw && !StartsParagraph(DrawItems[d + 1]->ItemNo))
            ++d;
        while (d < lastDraw && DrawItems[d + 1]->ItemNo == DrawItems[d]->ItemNo)
            ++d;
        return d;
    };
    int d = paraEnd(CaretDrawItemNo);
    if (d < lastDraw)
        d = paraEnd(d + 1);
    CaretDrawItemNo = d;
    BuildCharPositions(DrawItemEndOffset(d) - 2);
    UpdateCaret(true, false, false);
}

bool TRDEditRDData::MoveCaretLeft(bool selecting, bool byWord)
{
    if (!CaretValid())
        return false;
    if (selecting && CaretMoveParagraphMode(*this) && SelectionCrossesParagraph()) {
        MoveToPrevParagraph();
        return false;
    }
    const int itemNo = GetCaretItemNo();
    const int offset = GetCaretOffset();
    const bool textItem = ItemAt(itemNo)->StyleNo >= 0;
    if (!byWord || !textItem || offset <= StartOffsetOf(itemNo)) {
        if (CaretCharPosNo == 0) {
            int d = CharPositions.front().DrawIndex;
            if (d == 0)
                return true;
            --d;
            if (StyleOfDrawItem(d) == MarkerStyleNo) {
                if (d == 0)
                    return true;
                --d;
            }
            CaretDrawItemNo = d;
            BuildCharPositions(DrawItemEndOffset(d) - 2);
        } else {
            // (Items that hold documents would be offered the caret here.)
            --CaretCharPosNo;
            CaretDrawItemNo = CharPositions[static_cast<size_t>(CaretCharPosNo)].DrawIndex;
        }
        UpdateCaret(true, false, false);
        return false;
    }
    // By word, inside a text item: back to the start of the word.
    const QByteArray& s = TextOfItem(itemNo);
    const uint8_t flags = ItemAt(itemNo)->ItemOptions;
    int p = PrevCharPos(s, itemNo, offset);
    while (p > 1) {
        const int before = PrevCharPos(s, itemNo, p);
        const bool beforeDelim = IsDelimiterAt(s, before, flags, itemNo);
        const bool curDelim = IsDelimiterAt(s, p, flags, itemNo);
        if ((beforeDelim && !curDelim) || (!beforeDelim && !CharIsSpace(s, p, flags) && curDelim))
            break;
        p = before;
    }
    int drawOffset = 0, d = -1;
    ItemPosToDrawPos(itemNo, p, drawOffset, d);
    if (d < 0)
        return false;
    CaretDrawItemNo = d;
    SkipMarkerDrawItem(false, drawOffset);
    BuildCharPositions(drawOffset - 2);
    UpdateCaret(true, false, false);
    return false;
}

bool TRDEditRDData::MoveCaretRight(bool selecting, bool byWord)
{
    if (!CaretValid())
        return false;
    if (selecting && CaretMoveParagraphMode(*this) && SelectionCrossesParagraph()) {
        MoveToNextParagraph();
        return false;
    }
    // One stop right (onto the next line's start from the line's last stop).
    if (CaretAtLineEnd()) {
        int d = CharPositions.back().DrawIndex;
        if (d >= DrawItems.Count() - 1)
            return true;
        ++d;
        int drawOffset = DrawItemStartOffset(d);
        CaretDrawItemNo = d;
        SkipMarkerDrawItem(true, drawOffset);
        BuildCharPositions(drawOffset - 2);
    } else {
        // (Items that hold documents would be offered the caret here.)
        ++CaretCharPosNo;
        CaretDrawItemNo = CharPositions[static_cast<size_t>(CaretCharPosNo)].DrawIndex;
    }
    if (byWord) {
        const int itemNo = GetCaretItemNo();
        const int offset = GetCaretOffset();
        if (ItemAt(itemNo)->StyleNo >= 0 && offset > 1 && offset < EndOffsetOf(itemNo)) {
            // On to the start of the next word.
            const QByteArray& s = TextOfItem(itemNo);
            const uint8_t flags = ItemAt(itemNo)->ItemOptions;
            const int end = EndOffsetOf(itemNo);
            int p = offset;
            while (p < end) {
                const int before = PrevCharPos(s, itemNo, p);
                const bool beforeSpace = CharIsSpace(s, before, flags);
                const bool curSpace = CharIsSpace(s, p, flags);
                const bool beforeDelim = IsDelimiterAt(s, before, flags, itemNo);
                const bool curDelim = IsDelimiterAt(s, p, flags, itemNo);
                if ((beforeSpace && !curSpace) || (beforeDelim && !curDelim)
                    || (!beforeDelim && !curSpace && curDelim))
                    break;
                p = NextCharPos(s, itemNo, p);
            }
            if (p != offset) {
                int drawOffset = 0, d = -1;
                ItemPosToDrawPos(itemNo, p, drawOffset, d);
                if (d >= 0) {
                    CaretDrawItemNo = d;
                    SkipMarkerDrawItem(true, drawOffset);
                    BuildCharPositions(drawOffset - 2);
                }
            }
        }
    }
    UpdateCaret(true, false, false);
    return false;
}

bool TRDEditRDData::MoveCaretUp(bool selecting, bool doNotEnterItems)
{
    if (!CaretValid())
        return false;
    if (selecting && CaretMoveParagraphMode(*this) && SelectionCrossesParagraph()) {
        MoveToPrevParagraph();
        return false;
    }
    int first = 0, last = 0;
    GetLineBounds(CaretDrawItemNo, first, last);
    int prev = first - 1;
    if (prev >= 0 && StyleOfDrawItem(prev) == MarkerStyleNo)
        --prev;
    if (prev < 0) {
        // The first line: to the document's top, or the line start when selecting.
        if (selecting && !CaretAtLineStart()) {
            CaretCharPosNo = 0;
            CaretDrawItemNo = CharPositions.front().DrawIndex;
            UpdateCaret(true, false, false);
        } else {
            ScrollToV(0, true);
        }
        return true;
    }
    MoveCaretToLineOf(prev);
    return false;
}

bool TRDEditRDData::MoveCaretDown(bool selecting, bool doNotEnterItems)
{
    if (!CaretValid())
        return false;
    if (selecting && CaretMoveParagraphMode(*this) && SelectionCrossesParagraph()) {
        MoveToNextParagraph();
        return false;
    }
    int first = 0, last = 0;
    GetLineBounds(CaretDrawItemNo, first, last);
    if (last >= DrawItems.Count() - 1) {
        // The last line: to the document's bottom, or the line end when selecting.
        if (selecting && !CaretAtLineEnd()) {
            CaretCharPosNo = static_cast<int>(CharPositions.size()) - 1;
            CaretDrawItemNo = CharPositions.back().DrawIndex;
            UpdateCaret(true, false, false);
        } else {
            ScrollToV(DocumentHeight, true);
        }
        return true;
    }
    MoveCaretToLineOf(last + 1);
    return false;
}

void TRDEditRDData::MoveCaretToLineOf(int drawItemNo)
{
    const int x = CharPositions[static_cast<size_t>(CaretCharPosNo)].PosX;
    int offset = 0, d = -1;
    FindDrawItemAtPos(x, DrawItems[drawItemNo]->Top + 1, false, offset, d);
    if (d < 0)
        return;
    // (Items that hold documents would be offered the caret here.)
    CaretDrawItemNo = d;
    BuildCharPositions(offset - 2);
    UpdateCaret(true, false, false);
}

void TRDEditRDData::MoveCaretPageUp()
{
    if (!CaretValid())
        return;
    const int x = CharPositions[static_cast<size_t>(CaretCharPosNo)].PosX;
    const int height = GetHeight();
    int y = GetVOffset() - height * 3 / 4;
    while (y > 0) {
        int offset = 0, d = -1;
        FindDrawItemAtPos(x, y, false, offset, d);
        if (d >= 0 && d < CaretDrawItemNo) {
            CaretDrawItemNo = d;
            BuildCharPositions(offset - 2);
            UpdateCaret(true, false, false);
            return;
        }
        y -= std::max(height / 2, 1);
    }
    MoveCaretHome(true);
}

void TRDEditRDData::MoveCaretPageDown()
{
    if (!CaretValid())
        return;
    const int x = CharPositions[static_cast<size_t>(CaretCharPosNo)].PosX;
    const int height = GetHeight();
    int y = GetVOffset() + height * 3 / 4;
    while (y < DocumentHeight) {
        int offset = 0, d = -1;
        FindDrawItemAtPos(x, y, false, offset, d);
        if (d > CaretDrawItemNo) {
            CaretDrawItemNo = d;
            BuildCharPositions(offset - 2);
            UpdateCaret(false, false, false);
            ScrollToV(DrawItems[CaretDrawItemNo]->Top, true);
            return;
        }
        y += std::max(height / 2, 1);
    }
    MoveCaretEnd(true);
}

void TRDEditRDData::MoveCaretHome(bool toDocumentStart)
{
    if (DrawItems.Count() == 0)
        return;
    if (toDocumentStart) {
        CaretDrawItemNo = 0;
        BuildCharPositions(DrawItemStartOffset(0) - 2);
    } else if (CaretValid()) {
        CaretCharPosNo = 0;
        CaretDrawItemNo = CharPositions.front().DrawIndex;
    }
    UpdateCaret(true, false, false);
}

void TRDEditRDData::MoveCaretEnd(bool toDocumentEnd)
{
    if (DrawItems.Count() == 0)
        return;
    if (toDocumentEnd) {
        CaretDrawItemNo = DrawItems.Count() - 1;
        BuildCharPositions(DrawItemEndOffset(CaretDrawItemNo) - 2);
    } else if (CaretValid()) {
        CaretCharPosNo = static_cast<int>(CharPositions.size()) - 1;
        CaretDrawItemNo = CharPositions.back().DrawIndex;
    }
    UpdateCaret(true, false, false);
}
