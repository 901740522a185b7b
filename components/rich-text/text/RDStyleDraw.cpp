#include "text/RDStyleDraw.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtCore/QThread>
#include <QtGui/QFontMetricsF>
#include <QtGui/QGlyphRun>
#include <QtGui/QRawFont>
#include <QtGui/QStaticText>
#include <QtGui/QTextOption>
#include <QtGui/QPainter>
#include <QtGui/QPolygon>
#include <QtGui/QTextCharFormat>

#include <algorithm>
#include <optional>

#include "core/RDGraphUtils.h"
#include "styles/RDStyle.h"
#include "text/RDTextLayout.h"
#include "text/RDTextMeasure.h"
#include "core/RDUnicode.h"

namespace {

void SetBrush(TCanvas& canvas, TColor color)
{
    canvas.BrushColor = color;
    canvas.BrushStyle = color == clNone ? TBrushStyle::Clear : TBrushStyle::Solid;
}

bool BrushIsClear(const TCanvas& canvas)
{
    return canvas.BrushStyle == TBrushStyle::Clear || canvas.BrushColor == clNone;
}

void FillBox(TCanvas& canvas, const QRect& rect)
{
    if (!BrushIsClear(canvas) && rect.width() > 0 && rect.height() > 0)
        canvas.Painter().fillRect(rect, ToQColor(canvas.BrushColor));
}

// The pen kind and pattern unit of each underline kind for the styled-line routine.
struct TUnderlinePattern {
    int Kind;
    int Unit;
    bool Thick;
};

TUnderlinePattern PatternOf(TRDUnderlineType kind)
{
    switch (kind) {
    case TRDUnderlineType::rdutThick: return {0, 0, true};
    case TRDUnderlineType::rdutDotted: return {2, 4, false};
    case TRDUnderlineType::rdutThickDotted: return {2, 4, true};
    case TRDUnderlineType::rdutDashed: return {3, 12, false};
    case TRDUnderlineType::rdutThickDashed: return {3, 12, true};
    case TRDUnderlineType::rdutLongDashed: return {3, 24, false};
    case TRDUnderlineType::rdutThickLongDashed: return {3, 24, true};
    case TRDUnderlineType::rdutDashDotted: return {4, 14, false};
    case TRDUnderlineType::rdutThickDashDotted: return {4, 14, true};
    case TRDUnderlineType::rdutDashDotDotted: return {5, 16, false};
    case TRDUnderlineType::rdutThickDashDotDotted: return {5, 16, true};
    default: return {0, 0, false};
    }
}

int CharCount(const QByteArray& s, bool unicode)
{
    return unicode ? int(s.size() / 2) : int(s.size());
}

// Draws the text spread to width (fitWidth) with the character extra set to 0;
// false when nothing was drawn here.
bool DrawSpread(TCanvas& canvas, const QByteArray& s, int flags, int x, int y, int width)
{
    const int n = CharCount(s, IsUnicodeItem(flags));
    if (n <= 1)
        return false;
    TRDItemChars chars;
    DecodeItemChars(canvas, s.constData(), n, flags, chars);
    int leads = 0;
    for (const uint8_t lead : chars.Lead)
        leads += lead;
    // One glyph per character from left to right: the engine's own places give
    // the widths, and the glyphs are drawn at the spread places.
    const TRDLineLayout glyphs(canvas, chars.Text, false);
    std::vector<double> places;
    if (glyphs.GlyphPlaces(leads, places)) {
        const int measured = qRound(places.back());
        if (measured == width)
            return false;
        const std::vector<int> add = SpreadOverCharacters(n, width - measured);
        std::vector<int> starts;
        starts.reserve(size_t(leads));
        int cx = 0, before = 0, g = 0;
        for (int i = 0; i < n; ++i) {
            if (chars.Lead[size_t(i)]) {
                starts.push_back(cx);
                ++g;
            }
            // The extent after this byte or unit: the end of its character.
            const int extent = qRound(places[size_t(g)]);
            cx += extent - before + add[size_t(i)];
            before = extent;
        }
        glyphs.DrawGlyphsAt(canvas, x, y, starts);
        return true;
    }
    const int measured = ItemTextWidth(s, canvas, flags);
    if (measured == width)
        return false;
    const std::vector<int> add = SpreadOverCharacters(n, width - measured);
    // Text whose glyphs do not stand one per character: each character's
    // share as letter spacing of its range, neighbours with the same share in
    // one range.
    QList<QTextLayout::FormatRange> formats;
    int start = 0;
    for (int i = 0; i < n;) {
        int extra = 0;
        int j = i;
        do {
            extra += add[size_t(j)];
            ++j;
        } while (j < n && !chars.Lead[size_t(j)]);
        const int end = chars.UnitEnd[size_t(j - 1)];
        if (!formats.isEmpty() && qRound(formats.last().format.fontLetterSpacing()) == extra
            && formats.last().start + formats.last().length == start) {
            formats.last().length += end - start;
        } else {
            QTextLayout::FormatRange range;
            range.start = start;
            range.length = end - start;
            range.format.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            range.format.setFontLetterSpacing(extra);
            formats.append(range);
        }
        start = end;
        i = j;
    }
    TRDLineLayout(canvas, chars.Text, formats).Draw(canvas, x, y);
    return true;
}

namespace {

// Printable Latin-1 without the soft hyphen: one glyph per character, no
// shaping, joining or direction of its own.
bool IsPlainLatin1(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0xAD || u > 0xFF)
            return false;
    }
    return true;
}

// A font whose glyphs stand at the sums of their advances: no kerning,
// spacing, capitals or lines of its own.
bool IsPlainFont(const QFont& font)
{
    if (font.kerning() || font.underline() || font.overline() || font.strikeOut()
        || font.capitalization() != QFont::MixedCase || font.wordSpacing() != 0.0)
        return false;
    if (font.letterSpacingType() == QFont::AbsoluteSpacing)
        return font.letterSpacing() == 0.0;
    return font.letterSpacing() == 0.0 || font.letterSpacing() == 100.0;
}

// Recent text output ready to paint, for painting only; emptied when it is
// full and when the application object goes.
class TShapedTextCache {
public:
    static constexpr int MaxEntries = 2048;
    struct TEntry {
        // Plain text: the font's own glyphs at the sums of their advances, as
        // the measuring places them, without shaping the text.
        bool Plain = false;
        QGlyphRun Glyphs;
        double Width = 0;
        // Other text, shaped.
        QStaticText Shaped;
    };
    // glyphs: plain text may be drawn as its glyphs (left to right, without
    // turning or scaling).
    const TEntry* Get(const QString& text, const QFont& font, Qt::LayoutDirection direction, bool glyphs)
    {
        if (QCoreApplication::instance() == nullptr || text.size() > 512)
            return nullptr;
        if (!FCleanupAdded) {
            FCleanupAdded = true;
            qAddPostRoutine([] {
                Instance().FEntries.clear();
                Instance().FRawFonts.clear();
                Instance().FCleanupAdded = false;
            });
        }
        TKey key{text, font, direction, glyphs};
        auto it = FEntries.find(key);
        if (it != FEntries.end())
            return &it.value();
        if (FEntries.size() >= MaxEntries)
            FEntries.clear();
        TEntry entry;
        if (!(glyphs && PlainGlyphs(text, font, entry))) {
            QStaticText shaped(text);
            shaped.setTextFormat(Qt::PlainText);
            QTextOption option;
            option.setTextDirection(direction);
            option.setWrapMode(QTextOption::NoWrap);
            shaped.setTextOption(option);
            shaped.prepare(QTransform(), font);
            entry.Shaped = shaped;
        }
        return &FEntries.insert(key, entry).value();
    }
    static TShapedTextCache& Instance()
    {
        static TShapedTextCache cache;
        return cache;
    }

private:
    bool PlainGlyphs(const QString& text, const QFont& font, TEntry& entry)
    {
        if (!IsPlainFont(font) || !IsPlainLatin1(text))
            return false;
        auto raw = FRawFonts.find(font);
        if (raw == FRawFonts.end()) {
            if (FRawFonts.size() >= 64)
                FRawFonts.clear();
            // The font's own engine for Latin, without fallback.
            raw = FRawFonts.insert(font, QRawFont::fromFont(font, QFontDatabase::Latin));
        }
        if (!raw->isValid())
            return false;
        const QList<quint32> indexes = raw->glyphIndexesForString(text);
        // A character missing from the font is drawn by another one.
        if (indexes.size() != text.size() || indexes.contains(0u))
            return false;
        const QList<QPointF> advances = raw->advancesForGlyphIndexes(indexes, QRawFont::SeparateAdvances);
        QList<QPointF> positions;
        positions.reserve(indexes.size());
        double x = 0;
        for (const QPointF& advance : advances) {
            positions.append(QPointF(x, 0));
            x += advance.x();
        }
        entry.Plain = true;
        entry.Glyphs.setRawFont(*raw);
        entry.Glyphs.setGlyphIndexes(indexes);
        entry.Glyphs.setPositions(positions);
        entry.Width = x;
        return true;
    }

    struct TKey {
        QString Text;
        QFont Font;
        Qt::LayoutDirection Direction;
        bool Glyphs;
        bool operator==(const TKey& o) const
        {
            return Direction == o.Direction && Glyphs == o.Glyphs && Text == o.Text && Font == o.Font;
        }
    };
    friend size_t qHash(const TKey& k, size_t seed)
    {
        return qHashMulti(seed, k.Text, k.Font, int(k.Direction), k.Glyphs);
    }
    QHash<TKey, TEntry> FEntries;
    QHash<QFont, QRawFont> FRawFonts;
    bool FCleanupAdded = false;
};

const TShapedTextCache::TEntry* ShapedText(const QString& text, const QPainter& painter)
{
    // Painting runs on the GUI thread only.
    if (QCoreApplication::instance() == nullptr || QThread::currentThread() != QCoreApplication::instance()->thread())
        return nullptr;
    const bool glyphs =
        painter.layoutDirection() == Qt::LeftToRight && painter.transform().type() <= QTransform::TxTranslate;
    return TShapedTextCache::Instance().Get(text, painter.font(), painter.layoutDirection(), glyphs);
}

} // namespace

// Text output at x, y (its top): on a solid brush the text's cell is filled first.
void TextOut(TCanvas& canvas, const QByteArray& s, int flags, int x, int y)
{
    QPainter& painter = canvas.Painter();
    const QFontMetricsF fm(painter.font(), painter.device());
    QString text;
    if (IsUnicodeItem(flags))
        text = QString(reinterpret_cast<const QChar*>(s.constData()), s.size() / 2);
    else
        text = AnsiToQString(CodePageOfCharset(canvas.Font.Charset), s);
    if (text.isEmpty())
        return;
    // Left-to-right reading unless the style asked for the other, as the
    // measuring has it; never guessed from the text.
    if (painter.layoutDirection() == Qt::LayoutDirectionAuto)
        painter.setLayoutDirection(Qt::LeftToRight);
    // Repainting the same lines (scrolling back and forth) reuses their
    // glyphs; plain text is not shaped at all, so new lines cost no layout.
    const TShapedTextCache::TEntry* entry = ShapedText(text, painter);
    if (!BrushIsClear(canvas)) {
        const double width = entry && entry->Plain ? entry->Width : fm.horizontalAdvance(text);
        painter.fillRect(QRectF(x, y, width, fm.height()), ToQColor(canvas.BrushColor));
    }
    painter.setPen(ToQColor(canvas.Font.Color));
    if (entry && entry->Plain) {
        painter.drawGlyphRun(QPointF(x, y + fm.ascent()), entry->Glyphs);
        return;
    }
    if (entry) {
        painter.drawStaticText(QPointF(x, y), entry->Shaped);
        return;
    }
    painter.drawText(QPointF(x, y + fm.ascent()), text);
}

// The middle dot on spaces and the degree sign on non-breaking spaces, centred
// on their cells in visual order.
void DrawSpecialCharacters(TCanvas& canvas, const QByteArray& s, int flags, int x, int y)
{
    const int n = CharCount(s, IsUnicodeItem(flags));
    if (n == 0)
        return;
    TRDItemChars chars;
    DecodeItemChars(canvas, s.constData(), n, flags, chars);
    TRDLineLayout layout(canvas, chars.Text);
    TRDPlacement placement;
    layout.Place(chars, placement);
    std::vector<int> inverse(size_t(n), -1);
    for (int i = 0; i < n; ++i)
        inverse[size_t(placement.Order[size_t(i)])] = i;
    QPainter& painter = canvas.Painter();
    const QFontMetricsF fm(painter.font(), painter.device());
    const QChar dot(0x00B7), degree(0x00B0);
    std::optional<int> dotOffset, degreeOffset;
    painter.setPen(ToQColor(canvas.Font.Color));
    const double baseline = y + fm.ascent();
    int cx = x;
    for (int v = 0; v < n; ++v) {
        const int l = inverse[size_t(v)];
        const int unit = l == 0 ? 0 : chars.UnitEnd[size_t(l - 1)];
        if (l >= 0 && chars.Lead[size_t(l)] && unit < chars.Text.size()) {
            const QChar c = chars.Text.at(unit);
            if (c == QLatin1Char(' ') && (VisibleSpecialCharacters & 1)) {
                if (!dotOffset)
                    dotOffset = RoundHalfEven((fm.horizontalAdvance(c) - fm.horizontalAdvance(dot)) / 2);
                painter.drawText(QPointF(cx + *dotOffset, baseline), QString(dot));
            } else if (c == QChar(0x00A0) && (VisibleSpecialCharacters & 2)) {
                if (!degreeOffset)
                    degreeOffset = RoundHalfEven((fm.horizontalAdvance(c) - fm.horizontalAdvance(degree)) / 2);
                painter.drawText(QPointF(cx + *degreeOffset, baseline), QString(degree));
            }
        }
        cx += placement.Advances[size_t(v)];
    }
}

}  // namespace

std::vector<int> SpreadOverCharacters(int n, int d)
{
    std::vector<int> add(size_t(std::max(n, 0)), 0);
    for (int i = 0; i < n && d != 0; ++i) {
        const int a = d / (n - i);
        add[size_t(i)] = a;
        d -= a;
    }
    return add;
}

void ApplyColor(const TCustomRDFontInfo& style, TCanvas& canvas, const TRDStyle& sheet, int colorMode,
                bool printing, TRDTextDrawStates drawState)
{
    QPainter& painter = canvas.Painter();
    if ((drawState & rdtsHover) && (style.HoverEffects & rdheUnderline)) {
        QFont font = painter.font();
        font.setUnderline(true);
        painter.setFont(font);
    }
    TColor text = style.Color;
    TColor back = style.BackColor;
    if (drawState & rdtsSelected) {
        const bool focused = drawState & rdtsControlFocused;
        back = focused ? sheet.SelColor : sheet.InactiveSelColor;
        text = focused ? sheet.SelTextColor : sheet.InactiveSelTextColor;
        if (text == clNone)
            text = style.Color;
    } else if (drawState & rdtsHover) {
        text = sheet.GetHoverColor(style.HoverColor);
        if (text == clNone)
            text = style.Color;
        back = style.HoverBackColor;
    } else if (printing) {
        switch (colorMode) {
        case 0:
            break;
        case 1:
            text = ResolveSystemColor(style.Color);
            back = ResolveSystemColor(style.BackColor);
            break;
        case 2:
            text = ColorToGray(ResolveSystemColor(style.Color));
            back = ColorToGray(ResolveSystemColor(style.BackColor));
            break;
        case 3: {
            const TColor resolvedText = ColorToRGB(ResolveSystemColor(style.Color));
            if (style.BackColor == clNone) {
                back = clNone;
                text = resolvedText == clWhite ? clWhite : clBlack;
            } else if (ColorLuminance(resolvedText) < ColorLuminance(ResolveSystemColor(style.BackColor))) {
                back = clWhite;
                text = clBlack;
            } else {
                back = clBlack;
                text = clWhite;
            }
            break;
        }
        default:
            text = clBlack;
            back = clNone;
            break;
        }
    }
    canvas.Font.Color = text;
    SetBrush(canvas, back);
}

void DrawUnderline(QPainter& painter, TColor color, TRDUnderlineType kind, int thickness, int left, int right, int y)
{
    const TUnderlinePattern pattern = PatternOf(kind);
    if (kind == TRDUnderlineType::rdutDouble) {
        const int w = std::max(1, RoundHalfEven(thickness / 2.0));
        DrawStyledHLine(painter, color, 0, w, left, right, y - thickness, 0);
        DrawStyledHLine(painter, color, 0, w, left, right, y + thickness, 0);
        return;
    }
    DrawStyledHLine(painter, color, pattern.Kind, pattern.Thick ? thickness * 2 : thickness, left, right, y,
                    pattern.Unit);
}

void DrawText(const TFontInfo& style, const QByteArray& s, TCanvas& canvas, const TRDStyle& sheet,
              int spaceBefore, int left, int top, int width, int height, TRDTextDrawStates drawState,
              bool printing, bool fitWidth, int colorMode, TRDBiDiMode defBiDiMode)
{
    QPainter& painter = canvas.Painter();
    const int flags = style.Unicode ? rdioUnicode : 0;
    const QFont original = painter.font();

    // 1. An underline of another kind or colour than the font's own is drawn by hand.
    bool handUnderline = false;
    TColor underlineColor = canvas.Font.Color;
    if (original.underline()) {
        if (drawState & rdtsSelected)
            underlineColor = canvas.Font.Color;
        else if ((drawState & rdtsHover) && style.HoverUnderlineColor != clNone)
            underlineColor = style.HoverUnderlineColor;
        else if (style.UnderlineColor != clNone)
            underlineColor = style.UnderlineColor;
        handUnderline = style.UnderlineType != TRDUnderlineType::rdutNormal || underlineColor != canvas.Font.Color;
        if (handUnderline) {
            QFont font = original;
            font.setUnderline(false);
            painter.setFont(font);
        }
    }

    // 2. Direction.
    const TRDBiDiMode direction = style.BiDiMode == TRDBiDiMode::rdbdUnspecified ? defBiDiMode : style.BiDiMode;

    // 3. Printing without a direction: the box is filled, and a justified run
    //    is spread to its width.
    bool drawn = false;
    if (printing && direction == TRDBiDiMode::rdbdUnspecified) {
        if (!BrushIsClear(canvas)) {
            FillBox(canvas, QRect(left, top, width, height));
            canvas.BrushStyle = TBrushStyle::Clear;
        }
        if (fitWidth) {
            const QFont withExtra = painter.font();
            SetCanvasCharacterExtra(canvas, 0);
            drawn = DrawSpread(canvas, s, flags, left + spaceBefore, top, width - spaceBefore);
            painter.setFont(withExtra);
        }
        // Without fitting, the character extra of the font already advances
        // every character by its own width plus the extra.
    }

    // 4. Plain output, with the marks of visible spaces.
    if (!drawn) {
        TextOut(canvas, s, flags, left + spaceBefore, top);
        if ((drawState & rdtsSpecialCharacters) && (VisibleSpecialCharacters & 3))
            DrawSpecialCharacters(canvas, s, flags, left + spaceBefore, top);
    }

    // 5. The leading space.
    if (spaceBefore != 0 && !printing) {
        if ((drawState & rdtsSelected) && s.isEmpty())
            ApplyColor(style, canvas, sheet, colorMode, printing, drawState & ~rdtsSelected);
        FillBox(canvas, QRect(left, top, spaceBefore, height));
        canvas.BrushStyle = TBrushStyle::Clear;
    }

    // 6. The underline drawn by hand, or under the leading space that the font's
    //    own underline does not cover.
    std::optional<TRDOutlineTextMetrics> metrics;
    const bool underlineSpace = original.underline() && spaceBefore != 0;
    if (handUnderline || underlineSpace || (style.StyleEx & rdfsOverline))
        metrics = AllocOutlineTextMetrics(painter.font(), painter.device());
    if ((handUnderline || underlineSpace) && metrics) {
        const int y = top + metrics->Ascent - metrics->UnderscorePosition + metrics->UnderscoreSize / 2;
        const int right = handUnderline ? left + width : left + spaceBefore;
        const TRDUnderlineType kind = handUnderline ? style.UnderlineType : TRDUnderlineType::rdutNormal;
        DrawUnderline(painter, underlineColor, kind, metrics->UnderscoreSize, left, right, y);
    }

    // 7. Overline.
    if (style.StyleEx & rdfsOverline) {
        QPen pen(ToQColor(canvas.Font.Color), metrics ? metrics->UnderscoreSize : 1);
        pen.setCapStyle(Qt::FlatCap);
        painter.setPen(pen);
        painter.drawLine(QPointF(left, top + 0.5), QPointF(left + width, top + 0.5));
    }

    // 8. The font as it was.
    painter.setFont(original);
}

void DrawCheckpointMark(TCanvas& canvas, const TRDStyle& sheet, int x, int y, int lineLeft, int lineWidth,
                    int itemNo, int xShift, bool raiseEvent)
{
    QPainter& painter = canvas.Painter();
    const QColor color = ToQColor(raiseEvent ? sheet.CheckpointEvColor : sheet.CheckpointColor);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, 1));
    if (itemNo != -1)
        painter.drawEllipse(QRect(x - 2, y - 2, 4, 4));
    QPen dotted(color, 1, Qt::DotLine);
    painter.setPen(dotted);
    painter.drawLine(lineLeft - xShift, y, lineLeft + lineWidth - xShift - 1, y);
    painter.restore();
    canvas.BrushStyle = TBrushStyle::Clear;
}

void DrawPageBreakMark(TCanvas& canvas, const TRDStyle& sheet, int y, int xShift, TRDPageBreakType pageBreakType,
                   int documentWidth)
{
    QPainter& painter = canvas.Painter();
    const QColor color =
        ToQColor(pageBreakType == TRDPageBreakType::rdpbPageBreak ? sheet.PageBreakColor : sheet.SoftPageBreakColor);
    const int w = documentWidth;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(color, 1));
    // The end point of the line is not drawn.
    if (w - xShift - 8 - 1 >= -xShift)
        painter.drawLine(-xShift, y, w - xShift - 8 - 1, y);
    painter.setBrush(ToQColor(clWindow));
    const QPolygon triangle({QPoint(w - xShift - 8, y), QPoint(w - xShift, y + 8), QPoint(w - xShift - 8, y + 8)});
    painter.drawPolygon(triangle);
    painter.restore();
    canvas.BrushStyle = TBrushStyle::Clear;
}

void DrawParaBackground(TCanvas& canvas, const TCustomRDParaInfo& paraStyle, const QRect& rect, bool printing,
                  int colorMode)
{
    Q_UNUSED(printing);
    paraStyle.Background.Draw(rect, canvas.Painter(), colorMode);
    canvas.BrushStyle = TBrushStyle::Clear;
}
