#include "document/RDLinear.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

#include "document/CRDData.h"
#include "core/RDUnicode.h"

namespace {

bool IsUnicodeText(TCustomRDData* data, int i) { return data->ItemOptionsOf(i) & rdioUnicode; }

bool IsAscii(const char* p, qsizetype n)
{
    for (qsizetype k = 0; k < n; ++k)
        if (static_cast<unsigned char>(p[k]) >= 0x80)
            return false;
    return true;
}

TRDCodePage CodePageOfItem(TCustomRDData* data, int i)
{
    return data->CodePageOfStyle(data->EffectiveStyleOfItem(i));
}

// The characters of a text item.
QString ItemChars(TCustomRDData* data, int i)
{
    const QByteArray& text = data->TextOfItem(i);
    if (IsUnicodeText(data, i))
        return RawToWideString(text);
    if (IsAscii(text.constData(), text.size()))
        return QString::fromLatin1(text);
    return AnsiToQString(CodePageOfItem(data, i), text);
}

int ItemCharCount(TCustomRDData* data, int i)
{
    const QByteArray& text = data->TextOfItem(i);
    if (IsUnicodeText(data, i))
        return int(text.size() / 2);
    if (IsAscii(text.constData(), text.size()))
        return int(text.size());
    return int(ItemChars(data, i).size());
}

// The characters before 1-based item offset offset of a text item.
int CharsBeforeOffset(TCustomRDData* data, int i, int offset)
{
    const QByteArray& text = data->TextOfItem(i);
    const int units = std::clamp(offset - 1, 0, CharLength(text, data->ItemOptionsOf(i)));
    if (IsUnicodeText(data, i) || IsAscii(text.constData(), units))
        return units;
    return int(AnsiToQString(CodePageOfItem(data, i), text.left(units)).size());
}

// The item offset that stands after chars characters of a text item.
int OffsetAfterChars(TCustomRDData* data, int i, int chars)
{
    const QByteArray& text = data->TextOfItem(i);
    if (IsUnicodeText(data, i) || IsAscii(text.constData(), text.size())) {
        const int length = CharLength(text, data->ItemOptionsOf(i));
        chars = std::clamp(chars, 0, length);
        // Never between the two halves of a surrogate pair.
        if (IsUnicodeText(data, i) && chars > 0 && chars < length) {
            const char16_t unit = char16_t(uint8_t(text[2 * (chars - 1)]) | uint8_t(text[2 * (chars - 1) + 1]) << 8);
            if (QChar::isHighSurrogate(unit))
                --chars;
        }
        return chars + 1;
    }
    const QString s = ItemChars(data, i);
    chars = std::clamp(chars, 0, int(s.size()));
    if (chars > 0 && chars < s.size() && s[chars - 1].isHighSurrogate())
        --chars;
    const int bytes = int(QStringToAnsi(CodePageOfItem(data, i), s.left(chars)).size());
    return std::min(bytes, int(text.size())) + 1;
}

bool IsTextItem(TCustomRDData* data, int i) { return data->ItemAt(i)->StyleNo >= 0; }

// The documents an item holds, each as the document it stands for.
std::vector<TCustomRDData*> SubDocuments(TCustomRDItemInfo* item)
{
    std::vector<TCustomRDData*> subs;
    std::unique_ptr<TRDStoreSubRDData> store;
    for (TCustomRDData* sub = item->EnumSubDocuments(store, 0); sub; sub = item->EnumSubDocuments(store, 4))
        subs.push_back(sub->GetSourceData());
    return subs;
}

int BreakOf(TCustomRDData* data, int i) { return data->StartsNewLine(i) ? 1 : 0; }

// Collects the characters of [start, end) while the tree is walked.
class TRangeText {
public:
    TRangeText(int start, int64_t end) : FStart(start), FEnd(end) {}
    QString Text;
    bool Full() const { return FPos >= FEnd; }
    void Char(char16_t c)
    {
        if (FPos >= FStart && FPos < FEnd)
            Text += QChar(c);
        ++FPos;
    }
    void Item(TCustomRDData* data, int i)
    {
        const int n = ItemCharCount(data, i);
        if (FPos + n > FStart) {
            const QString chars = ItemChars(data, i);
            const int64_t from = std::max<int64_t>(0, FStart - FPos);
            const int64_t to = std::min<int64_t>(n, FEnd - FPos);
            if (to > from)
                Text += QStringView(chars).mid(qsizetype(from), qsizetype(to - from));
        }
        FPos += n;
    }
    void Walk(TCustomRDData* data)
    {
        for (int i = 0; i < data->ItemCount() && !Full(); ++i) {
            const bool lineBreak = i > 0 && data->StartsNewLine(i);
            const std::vector<TCustomRDData*> subs = SubDocuments(data->ItemAt(i));
            if (lineBreak)
                Char(u'\r');
            if (!subs.empty()) {
                for (TCustomRDData* sub : subs) {
                    Char(u'\r');
                    Walk(sub);
                }
                Char(u'\r');
            } else if (IsTextItem(data, i)) {
                Item(data, i);
            } else {
                Char(data->ItemAt(i)->StyleNo == TabStyleNo ? u'\t' : u' ');
            }
        }
    }

private:
    const int64_t FStart;
    const int64_t FEnd;
    int64_t FPos = 0;
};

} // namespace

int ItemLinearLength(TCustomRDData* data, int itemNo)
{
    TCustomRDItemInfo* item = data->ItemAt(itemNo);
    const int lineBreak = BreakOf(data, itemNo);
    const std::vector<TCustomRDData*> subs = SubDocuments(item);
    if (!subs.empty()) {
        int n = lineBreak;
        for (TCustomRDData* sub : subs)
            n += DocumentLinearLength(sub);
        return n + 1;
    }
    if (IsTextItem(data, itemNo))
        return lineBreak + ItemCharCount(data, itemNo);
    return lineBreak + 1;
}

int DocumentLinearLength(TCustomRDData* data)
{
    int n = 0;
    for (int i = 0; i < data->ItemCount(); ++i)
        n += ItemLinearLength(data, i);
    return n;
}

bool LinearPosOf(TCustomRDData* data, TCustomRDData* target, int& pos, int offset, int itemNo)
{
    pos = 0;
    if (data == target) {
        const int count = data->ItemCount();
        const int before = std::clamp(itemNo, 0, count);
        for (int i = 0; i < before; ++i)
            pos += ItemLinearLength(data, i);
        if (itemNo < 0 || itemNo >= count)
            return itemNo >= 0;
        if (IsTextItem(data, itemNo))
            pos += BreakOf(data, itemNo) + CharsBeforeOffset(data, itemNo, offset);
        else if (offset > 0)
            pos += ItemLinearLength(data, itemNo);
        else
            pos += BreakOf(data, itemNo);
        return true;
    }
    for (int i = 0; i < data->ItemCount(); ++i) {
        const std::vector<TCustomRDData*> subs = SubDocuments(data->ItemAt(i));
        if (subs.empty()) {
            pos += ItemLinearLength(data, i);
            continue;
        }
        pos += BreakOf(data, i);
        for (TCustomRDData* sub : subs) {
            int inner = 0;
            const bool found = LinearPosOf(sub, target, inner, offset, itemNo);
            pos += inner;
            if (found)
                return true;
        }
        pos += 1;
    }
    return false;
}

bool PosFromLinear(TCustomRDData* data, int& pos, int& offset, int& itemNo, TCustomRDData*& foundData)
{
    for (int i = 0; i < data->ItemCount(); ++i) {
        const bool lineBreak = i > 0 && data->StartsNewLine(i);
        const std::vector<TCustomRDData*> subs = SubDocuments(data->ItemAt(i));
        if (!subs.empty()) {
            if (lineBreak)
                pos -= 1;
            if (pos == 0) {
                foundData = data;
                itemNo = i;
                offset = 0;
                return true;
            }
            for (TCustomRDData* sub : subs) {
                pos -= 1;
                if (PosFromLinear(sub, pos, offset, itemNo, foundData))
                    return true;
            }
            pos -= 1;
            if (pos == 0) {
                foundData = data;
                itemNo = i;
                offset = 1;
                return true;
            }
            continue;
        }
        int length = ItemLinearLength(data, i);
        if (i == 0 && data->StartsNewLine(0))
            length -= 1;
        if (length >= pos) {
            if (lineBreak)
                pos -= 1;
            foundData = data;
            itemNo = i;
            if (IsTextItem(data, i))
                offset = OffsetAfterChars(data, i, pos);
            else
                offset = std::clamp(pos, 0, 1);
            return true;
        }
        pos -= length;
    }
    return false;
}

QString LinearTextRange(TCustomRDData* root, int start, int count)
{
    if (count == 0 || root == nullptr)
        return {};
    start = std::max(0, start);
    const int64_t end = count < 0 ? INT64_MAX : int64_t(start) + count;
    TRangeText range(start, end);
    range.Walk(root);
    return range.Text;
}

int LinearTextLength(TCustomRDData* root)
{
    const int count = root->ItemCount();
    if (count == 0)
        return 0;
    int pos = 0;
    LinearPosOf(root, root, pos, root->EndOffsetOf(count - 1), count - 1);
    return std::max(0, pos - 1);
}
