// The viewer's document as plain text: its length, its text, a range of it,
// the selection as plain positions, and replacing it with a text.

#include "viewer/RDRichDoc.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "document/RDLinear.h"

namespace {

// The formatted document that holds the selection: the chosen nested one of
// each level, down to the innermost.
TCustomRDFormattedData* SelectionHolder(TCustomRDFormattedData* data)
{
    for (int depth = 0; depth < 64; ++depth) {
        auto* sub = dynamic_cast<TCustomRDFormattedData*>(data->GetChosenSubData());
        if (sub == nullptr || sub == data)
            break;
        data = sub;
    }
    return data;
}

} // namespace

int TCustomRichDoc::GetTextLength()
{
    if (!(ControlFlags & cfWindowText) || Destroying())
        return int(windowTitle().size());
    return LinearTextLength(DocumentData());
}

QString TCustomRichDoc::GetText(int textMax)
{
    if (textMax < 1)
        return {};
    if (!(ControlFlags & cfWindowText) || Destroying())
        return windowTitle().left(textMax - 1);
    if (DocumentData()->ItemCount() == 0)
        return {};
    return LinearTextRange(DocumentData(), 0, textMax - 1);
}

bool TCustomRichDoc::SetText(const QString& text)
{
    if (!(ControlFlags & cfWindowText) || Destroying()) {
        setWindowTitle(text);
        return true;
    }
    ClearDocument();
    const bool result = text.isEmpty() || AddMultilineText(text, 0, 0, TRDTag());
    FormatDocument();
    return result;
}

void TCustomRichDoc::GetSelLinear(int& start, int& length)
{
    TCustomRDFormattedData* holder = SelectionHolder(DocumentData());
    int s = -1, so = 0, e = -1, eo = 0;
    holder->GetSelectionBounds(s, so, e, eo, false);
    if (s < 0 || e < 0) {
        start = 0;
        length = 0;
        return;
    }
    TCustomRDData* root = DocumentData();
    TCustomRDData* target = holder->GetSourceData();
    int startPos = 0, endPos = 0;
    LinearPosOf(root, target, startPos, so, s);
    LinearPosOf(root, target, endPos, eo, e);
    start = startPos - 1;
    length = endPos - startPos;
}

void TCustomRichDoc::SetSelLinear(int start, int length)
{
    TCustomRDData* root = DocumentData();
    const int64_t end = int64_t(start) + length;
    if (end < INT_MIN || end > INT_MAX)
        return;
    int pos1 = start, offset1 = 0, item1 = -1;
    int pos2 = int(end), offset2 = 0, item2 = -1;
    TCustomRDData* data1 = nullptr;
    TCustomRDData* data2 = nullptr;
    if (!PosFromLinear(root, pos1, offset1, item1, data1)
        || !PosFromLinear(root, pos2, offset2, item2, data2) || data1 != data2)
        return;
    auto* shown = dynamic_cast<TCustomRDFormattedData*>(data1);
    if (shown == nullptr)
        return;
    shown->SetSelectionBounds(item1, offset1, item2, offset2);
    shown->InvalidateControl();
    viewport()->update();
}

QString TCustomRichDoc::GetTextRange(int start, int count)
{
    if (count == 0)
        return {};
    return LinearTextRange(DocumentData(), start, count < 0 ? -1 : count);
}
