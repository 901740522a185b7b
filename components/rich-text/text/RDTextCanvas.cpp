#include "text/RDTextCanvas.h"

#include <QtGui/QFontMetricsF>
#include <QtGui/QPainter>

#include <algorithm>
#include <cmath>


QFont CanvasFont(TCanvas& canvas)
{
    return canvas.Painter().font();
}

void SelectCanvasFont(TCanvas& canvas, const QFont& font, uint8_t charset)
{
    canvas.Painter().setFont(font);
    canvas.Font.Charset = charset;
}

void SetCanvasCharacterExtra(TCanvas& canvas, int extra)
{
    QFont font = canvas.Painter().font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, extra);
    canvas.Painter().setFont(font);
}

namespace {

// Byte length of the character at p (left bytes remaining) in a code page:
// GB18030 sequences of two and four bytes for the system code page, lead and
// trail bytes for the other double-byte pages, one byte elsewhere.
int AnsiCharLength(TRDCodePage codePage, const unsigned char* p, int left)
{
    const unsigned char b = p[0];
    if (b < 0x81 || left < 2)
        return 1;
    switch (codePage) {
    case 932:
        return (b <= 0x9F || (b >= 0xE0 && b <= 0xFC)) ? 2 : 1;
    case 949:
    case 950:
        return b <= 0xFE ? 2 : 1;
    case 1361:
        return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xF9) ? 2 : 1;
    case CP_ACP:
    case CP_OEMCP:
    case 936:
        break;
    default:
        return 1;
    }
    if (b == 0xFF)
        return 1;
    const unsigned char t = p[1];
    if (t >= 0x30 && t <= 0x39)
        return (left >= 4 && p[2] >= 0x81 && p[2] <= 0xFE && p[3] >= 0x30 && p[3] <= 0x39) ? 4 : 1;
    return (t >= 0x40 && t <= 0xFE && t != 0x7F) ? 2 : 1;
}

void DecodeAnsi(const char* p, int count, TRDCodePage codePage, TRDItemChars& out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(p);
    out.UnitEnd.resize(size_t(count));
    out.Lead.assign(size_t(count), 0);
    // The whole text at once; each character on its own only when the units
    // do not line up with the characters (bytes the code page does not know).
    out.Text = AnsiToQString(codePage, QByteArray::fromRawData(p, count));
    int unit = 0;
    bool aligned = true;
    for (int i = 0; i < count;) {
        const int n = AnsiCharLength(codePage, bytes + i, count - i);
        int units = 1;
        if (unit < out.Text.size() && out.Text.at(unit).isHighSurrogate())
            units = 2;
        if (n == 1 && (unit >= out.Text.size() || (bytes[i] < 0x80 && out.Text.at(unit).unicode() != bytes[i])))
            aligned = false;
        unit += units;
        for (int k = 0; k < n; ++k) {
            out.UnitEnd[size_t(i + k)] = unit;
            out.Lead[size_t(i + k)] = k == 0;
        }
        i += n;
    }
    if (aligned && unit == out.Text.size())
        return;
    out.Text.clear();
    for (int i = 0; i < count;) {
        const int n = AnsiCharLength(codePage, bytes + i, count - i);
        out.Text += AnsiToQString(codePage, QByteArray(p + i, n));
        for (int k = 0; k < n; ++k)
            out.UnitEnd[size_t(i + k)] = int(out.Text.size());
        i += n;
    }
}

}  // namespace

void DecodeItemChars(TCanvas& canvas, const char* p, int count, int flags, TRDItemChars& out)
{
    count = std::max(count, 0);
    if (!IsUnicodeItem(flags)) {
        DecodeAnsi(p, count, CodePageOfCharset(canvas.Font.Charset), out);
        return;
    }
    out.Text = QString(reinterpret_cast<const QChar*>(p), count);
    out.UnitEnd.resize(size_t(count));
    out.Lead.assign(size_t(count), 1);
    for (int i = 0; i < count; ++i) {
        out.UnitEnd[size_t(i)] = i + 1;
        // A surrogate pair is one character: both units end after the pair.
        if (i + 1 < count && out.Text.at(i).isHighSurrogate() && out.Text.at(i + 1).isLowSurrogate()) {
            out.UnitEnd[size_t(i)] = i + 2;
            out.UnitEnd[size_t(i + 1)] = i + 2;
            out.Lead[size_t(i + 1)] = 0;
            ++i;
        }
    }
}
