#include "RDTextCanvas.h"

#include <QtGui/QFontMetricsF>
#include <QtGui/QPainter>

#include <algorithm>
#include <cmath>

#include "AnsiText.h"

QFont CanvasFont(TCanvas& canvas)
{
    return canvas.Painter().font();
}

void SelectCanvasFont(TCanvas& canvas, const QFont& font, uint8_t charset)
{
    canvas.Painter().setFont(font);
    canvas.Font.Charset = charset;
}

int CanvasCharacterExtra(TCanvas& canvas)
{
    const QFont font = canvas.Painter().font();
    return font.letterSpacingType() == QFont::AbsoluteSpacing ? qRound(font.letterSpacing()) : 0;
}

void SetCanvasCharacterExtra(TCanvas& canvas, int extra)
{
    QFont font = canvas.Painter().font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, extra);
    canvas.Painter().setFont(font);
}

namespace {

// Charsets whose code page writes one byte per character.
bool IsSingleByteCharset(uint8_t charset)
{
    switch (charset) {
    case 0:    // ANSI
    case 161:  // Greek
    case 162:  // Turkish
    case 163:  // Vietnamese
    case 177:  // Hebrew
    case 178:  // Arabic
    case 186:  // Baltic
    case 204:  // Russian
    case 222:  // Thai
    case 238:  // Eastern Europe
    case 2:    // Symbol
        return true;
    default:
        return false;
    }
}

// Byte length of the GB18030 character at p (left bytes remaining).
int AnsiCharLength(const unsigned char* p, int left)
{
    const unsigned char b = p[0];
    if (b < 0x81 || b == 0xFF || left < 2)
        return 1;
    const unsigned char t = p[1];
    if (t >= 0x30 && t <= 0x39)
        return (left >= 4 && p[2] >= 0x81 && p[2] <= 0xFE && p[3] >= 0x30 && p[3] <= 0x39) ? 4 : 1;
    return (t >= 0x40 && t <= 0xFE && t != 0x7F) ? 2 : 1;
}

void DecodeAnsi(const char* p, int count, uint8_t charset, TRDItemChars& out)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(p);
    out.UnitEnd.resize(size_t(count));
    out.Lead.assign(size_t(count), 0);
    if (IsSingleByteCharset(charset)) {
        out.Text = QString::fromLatin1(p, count);
        for (int i = 0; i < count; ++i) {
            out.UnitEnd[size_t(i)] = i + 1;
            out.Lead[size_t(i)] = 1;
        }
        return;
    }
    // The whole text at once; each character on its own only when the units
    // do not line up with the characters (bytes the code page does not know).
    out.Text = AnsiToString(QByteArray::fromRawData(p, count));
    int unit = 0;
    bool aligned = true;
    for (int i = 0; i < count;) {
        const int n = AnsiCharLength(bytes + i, count - i);
        int units = 1;
        if (n == 4 && unit < out.Text.size() && out.Text.at(unit).isHighSurrogate())
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
        const int n = AnsiCharLength(bytes + i, count - i);
        out.Text += AnsiToString(QByteArray(p + i, n));
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
        DecodeAnsi(p, count, canvas.Font.Charset, out);
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

bool GetUnderlineMetrics(TCanvas& canvas, TRDUnderlineMetrics& metrics)
{
    const QFontMetricsF fm(canvas.Painter().font(), canvas.Painter().device());
    metrics.Ascent = qRound(fm.ascent());
    metrics.UnderscorePosition = -qRound(fm.underlinePos());
    metrics.UnderscoreSize = std::max(1, qRound(fm.lineWidth()));
    return true;
}
