#include "text/RDTextMeasure.h"

#include <QtGui/QFontMetricsF>
#include <QtGui/QPainter>

#include <algorithm>
#include <cmath>

#include "text/RDTextLayout.h"

namespace {

constexpr char16_t ZeroWidthChars[] = {0x200B, 0x200D, 0x2060};

int FontHeight(TCanvas& canvas)
{
    return qRound(QFontMetricsF(canvas.Painter().font(), canvas.Painter().device()).height());
}

}  // namespace

QSize TextExtentW(TCanvas& canvas, const char16_t* p, int count)
{
    count = std::max(count, 0);
    const QString text(reinterpret_cast<const QChar*>(p), count);
    int width = TRDLineLayout(canvas, text).Width();
    // Each kind of zero-width character measured alone, as the text was (with
    // the character extra), once.
    for (const char16_t zw : ZeroWidthChars) {
        const auto n = text.count(QChar(zw));
        if (n > 0)
            width -= int(n) * TRDLineLayout(canvas, QString(QChar(zw))).Width();
    }
    return QSize(width, FontHeight(canvas));
}

int ItemTextWidth(const QByteArray& s, TCanvas& canvas, int flags)
{
    if (IsUnicodeItem(flags))
        return TextExtentW(canvas, reinterpret_cast<const char16_t*>(s.constData()), int(s.size() / 2)).width();
    TRDItemChars chars;
    DecodeItemChars(canvas, s.constData(), int(s.size()), flags, chars);
    return TRDLineLayout(canvas, chars.Text).Width();
}

void TextExtentEx(TCanvas& canvas, const char* p, int count, int maxExtent, int& fit, std::vector<int>* extents,
                  int flags, QSize& size)
{
    if (count <= 0 || !p) {
        fit = 0;
        if (extents)
            extents->clear();
        return;
    }
    TRDItemChars chars;
    DecodeItemChars(canvas, p, count, flags, chars);
    TRDLineLayout layout(canvas, chars.Text);
    std::vector<int> own;
    std::vector<int>& ext = extents ? *extents : own;
    ext.resize(size_t(count));
    layout.LogicalExtents(chars, ext);

    fit = 0;
    while (fit < count && ext[size_t(fit)] <= maxExtent)
        ++fit;
    if (IsUnicodeItem(flags)) {
        int counted = 0;
        for (int j = 0; j < count; ++j) {
            if (!IsZeroWidthChar(chars.Text.at(j).unicode()))
                continue;
            const int w = j == 0 ? ext[0] : ext[size_t(j)] - ext[size_t(j - 1)];
            if (w != 0) {
                for (int k = j; k < count; ++k)
                    ext[size_t(k)] -= w;
                ++counted;
            }
        }
        if (counted > 0)
            while (fit < count && ext[size_t(fit)] < maxExtent)
                ++fit;
    }
    size = QSize(ext[size_t(count - 1)], FontHeight(canvas));
}

void ItemTextExtentEx(TCanvas& canvas, const QByteArray& s, int maxExtent, int& fit, std::vector<int>* extents,
                      int flags)
{
    QSize size;
    const int count = IsUnicodeItem(flags) ? int(s.size() / 2) : int(s.size());
    TextExtentEx(canvas, s.constData(), count, maxExtent, fit, extents, flags, size);
}

bool PlaceItemText(TCanvas& canvas, const QByteArray& text, int flags, int expectedWidth, TRDPlacement& placement)
{
    const bool unicode = IsUnicodeItem(flags);
    const int count = unicode ? int(text.size() / 2) : int(text.size());
    TRDItemChars chars;
    DecodeItemChars(canvas, text.constData(), count, flags, chars);
    TRDLineLayout layout(canvas, chars.Text);
    layout.Place(chars, placement);
    placement.Height = FontHeight(canvas);
    return std::abs(placement.Width - expectedWidth) < 2 && placement.Height > 0;
}

bool GetBiDiCaretPositions(TCanvas& canvas, const QByteArray& text, std::vector<int>& positions, int flags,
                           int expectedWidth)
{
    const bool unicode = IsUnicodeItem(flags);
    const int count = unicode ? int(text.size() / 2) : int(text.size());
    positions.assign(size_t(std::max(count, 0)) + 1, -1);
    if (count <= 0)
        return false;
    TRDPlacement pl;
    if (!PlaceItemText(canvas, text, flags, expectedWidth, pl))
        return false;
    std::vector<int> inverse(size_t(count), -1);
    for (int i = 0; i < count; ++i)
        if (pl.Order[size_t(i)] >= 0 && pl.Order[size_t(i)] < count)
            inverse[size_t(pl.Order[size_t(i)])] = i;
    const auto* units = reinterpret_cast<const char16_t*>(text.constData());
    bool gap = false;
    int x = 0;
    for (int v = 0; v < count; ++v) {
        const int l = inverse[size_t(v)];
        if (l < 0) {
            gap = true;
            continue;
        }
        int a = pl.Advances[size_t(v)];
        if (unicode && IsZeroWidthChar(units[l]))
            a = 0;
        if (pl.Classes[size_t(l)] == RDRightToLeftClass) {
            positions[size_t(l + 1)] = x;
            if (l == 0)
                positions[0] = x + a;
        } else {
            positions[size_t(l + 1)] = x + a + 1;
            if (l == 0)
                positions[0] = x;
        }
        x += a;
    }
    if (gap)
        for (size_t i = 0; i < positions.size(); ++i)
            if (positions[i] == -1)
                positions[i] = i == 0 ? 0 : positions[i - 1];
    return true;
}

bool GetBiDiRangeExtent(TCanvas& canvas, const QByteArray& text, int start, int count, int flags, int expectedWidth,
                        int& left, int& right)
{
    const int length = IsUnicodeItem(flags) ? int(text.size() / 2) : int(text.size());
    if (start < 1 || count < 0 || start + count - 1 > length)
        return false;
    std::vector<int> positions;
    if (!GetBiDiCaretPositions(canvas, text, positions, flags, expectedWidth))
        return false;
    left = positions[size_t(start - 1)];
    right = positions[size_t(start + count - 1)];
    if (right < left)
        std::swap(left, right);
    return true;
}

bool TryDrawBiDiTextRange(int x, int y, int expectedWidth, TCanvas& canvas, const QByteArray& text, int height,
                          int first, int last, int flags, bool enabled)
{
    if (!enabled)
        return false;
    const bool unicode = IsUnicodeItem(flags);
    const int count = unicode ? int(text.size() / 2) : int(text.size());
    if (count <= 0 || first < 1 || last > count || first > last)
        return false;
    TRDItemChars chars;
    DecodeItemChars(canvas, text.constData(), count, flags, chars);
    TRDLineLayout layout(canvas, chars.Text);
    TRDPlacement pl;
    layout.Place(chars, pl);
    pl.Height = FontHeight(canvas);
    if (std::abs(pl.Width - expectedWidth) >= 2 || pl.Height <= 0)
        return false;

    std::vector<int> inverse(size_t(count), -1);
    for (int i = 0; i < count; ++i)
        inverse[size_t(pl.Order[size_t(i)])] = i;
    std::vector<uint8_t> toDraw(size_t(count) + 1, 0);
    for (int k = first; k <= last; ++k)
        toDraw[size_t(k)] = 1;
    int remaining = last - first + 1;
    bool drew = true;
    while (remaining > 0 && drew) {
        drew = false;
        int cx = 0;
        for (int v = 0; v < count; ++v) {
            const int k = inverse[size_t(v)] + 1;
            if (k >= first && k <= last && toDraw[size_t(k)]) {
                int m = 1;
                while (k + m <= last && pl.Order[size_t(k + m - 1)] == pl.Order[size_t(k - 1)] + m)
                    ++m;
                int width = 0;
                for (int c = 0; c < m; ++c)
                    width += pl.Advances[size_t(v + c)];
                layout.DrawClipped(canvas, x, y, QRect(x + cx, y, width, height), true);
                for (int c = 0; c < m; ++c)
                    toDraw[size_t(k + c)] = 0;
                remaining -= m;
                drew = true;
                break;
            }
            cx += pl.Advances[size_t(v)];
        }
    }
    return true;
}
