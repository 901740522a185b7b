#include "TextEditUtils.h"

#include "ProgramFolder.h"

#include <QtGui/QPainter>

#include <cmath>

namespace {

bool IsAsciiOnly(const QString& text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// Steps over one character starting at index i (a surrogate pair is one).
inline int CharSize(const QString& text, int i)
{
    return (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
}

}  // namespace

int CellLength(const QString& text)
{
    int cells = 0;
    const int n = text.size();
    for (int i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            ++cells;
            ++i;
        } else {
            cells += 2;
            i += CharSize(text, i);
        }
    }
    return cells;
}

int CellToIndex(const QString& text, int cell)
{
    if (cell <= 0)
        return 0;
    int cells = 0;
    const int n = text.size();
    for (int i = 0; i < n;) {
        const int w = CellsOf(text.at(i));
        if (cells + w > cell)
            return i;
        cells += w;
        i += w == 1 ? 1 : CharSize(text, i);
        if (cells == cell)
            return i;
    }
    return n;
}

int IndexToCell(const QString& text, int index)
{
    if (index <= 0)
        return 0;
    int cells = 0;
    const int n = text.size();
    for (int i = 0; i < n && i < index;) {
        const int w = CellsOf(text.at(i));
        cells += w;
        i += w == 1 ? 1 : CharSize(text, i);
    }
    return cells;
}

QChar CharAtCell(const QString& text, int cell, bool* trail)
{
    if (trail)
        *trail = false;
    if (cell < 0)
        return QChar();
    int cells = 0;
    const int n = text.size();
    for (int i = 0; i < n;) {
        const QChar c = text.at(i);
        const int w = CellsOf(c);
        if (cell < cells + w) {
            if (trail)
                *trail = cell > cells;
            return c;
        }
        cells += w;
        i += w == 1 ? 1 : CharSize(text, i);
    }
    return QChar();
}

bool IsTrailCell(const QString& text, int pos)
{
    bool trail = false;
    const QChar c = CharAtCell(text, pos - 1, &trail);
    return !c.isNull() && trail;
}

bool IsLeadCell(const QString& text, int pos)
{
    bool trail = false;
    const QChar c = CharAtCell(text, pos - 1, &trail);
    return !c.isNull() && !trail && CellsOf(c) == 2;
}

QString CellMid(const QString& text, int cell, int count)
{
    if (IsAsciiOnly(text))
        return text.mid(cell, count);
    const int from = CellToIndex(text, cell);
    if (count < 0)
        return text.mid(from);
    const int to = CellToIndex(text, cell + count);
    return text.mid(from, to - from);
}

TBufferCoord MinPos(const TBufferCoord& a, const TBufferCoord& b)
{
    if (b.Line < a.Line || (b.Line == a.Line && b.Char < a.Char))
        return b;
    return a;
}

bool FindFirstTab(const QString& text, int& before)
{
    before = 0;
    const int n = text.size();
    for (int i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\t'))
            return true;
        if (c.isNull())
            break;
        const int w = CellsOf(c);
        before += w;
        i += w == 1 ? 1 : CharSize(text, i);
    }
    return false;
}

namespace {

QString SingleSpaceExpander(const QString& line, int, bool& hasTabs)
{
    int before = 0;
    hasTabs = FindFirstTab(line, before);
    if (!hasTabs)
        return line;
    QString result = line;
    result.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return result;
}

template <bool PowerOfTwo>
QString GeneralExpander(const QString& line, int tabWidth, bool& hasTabs)
{
    int before = 0;
    hasTabs = FindFirstTab(line, before);
    if (!hasTabs)
        return line;
    QString result;
    result.reserve(line.size() + tabWidth * 4);
    int column = 0;
    for (QChar c : line) {
        if (c == QLatin1Char('\t')) {
            const int span = PowerOfTwo ? tabWidth - (column & (tabWidth - 1)) : tabWidth - column % tabWidth;
            result.append(QString(span, QLatin1Char('\t')));
            column += span;
        } else {
            result.append(c);
            if (!c.isLowSurrogate())
                column += CellsOf(c);
        }
    }
    return result;
}

}  // namespace

TTabExpander ChooseTabExpander(int tabWidth)
{
    if (tabWidth <= 1)
        return &SingleSpaceExpander;
    if (IsPowerOfTwo(tabWidth))
        return &GeneralExpander<true>;
    return &GeneralExpander<false>;
}

bool IsPowerOfTwo(int n)
{
    int i = 2;
    while (i < n && i < 65535)
        i *= 2;
    return i == n;
}

int ExpandedWidth(const QString& line, int tabWidth)
{
    int column = 0;
    const int n = line.size();
    for (int i = 0; i < n;) {
        const QChar c = line.at(i);
        if (c.isNull())
            break;
        if (c == QLatin1Char('\t') && tabWidth > 0) {
            column += tabWidth - column % tabWidth;
            ++i;
        } else {
            const int w = CellsOf(c);
            column += w;
            i += w == 1 ? 1 : CharSize(line, i);
        }
    }
    return column;
}

int CharIndexToColumn(int index, int tabWidth, const QString& line)
{
    if (index <= 1)
        return 1;
    int before = 0;
    if (tabWidth <= 1 || !FindFirstTab(line, before))
        return index;
    if (index <= before + 1)
        return index;
    int column = before;
    int remaining = index - (before + 1);
    const int n = line.size();
    int i = CellToIndex(line, before);
    while (remaining > 0) {
        if (i >= n) {
            column += remaining;
            break;
        }
        const QChar c = line.at(i);
        if (c == QLatin1Char('\t')) {
            column += tabWidth - column % tabWidth;
            --remaining;
            ++i;
        } else {
            const int w = CellsOf(c);
            // A wide character is two cells: both step one column each.
            const int step = w < remaining ? w : remaining;
            column += step;
            remaining -= step;
            i += w == 1 ? 1 : CharSize(line, i);
        }
    }
    return column + 1;
}

namespace {

// The first 1-based cell from start on (a start on a trail cell moves to the
// next cell) whose character satisfies match; 0 when none.
template <typename M>
int FirstCellMatching(const QString& line, int start, M match)
{
    const int length = CellLength(line);
    if (start < 1 || start > length)
        return 0;
    if (IsTrailCell(line, start)) {
        ++start;
        if (start > length)
            return 0;
    }
    int cell = start - 1;
    const int n = static_cast<int>(line.size());
    for (int i = CellToIndex(line, cell); i < n;) {
        const QChar c = line.at(i);
        const int w = CellsOf(c);
        if (match(c, w))
            return cell + 1;
        cell += w;
        i += w == 1 ? 1 : CharSize(line, i);
    }
    return 0;
}

// The last 1-based cell at or before stop, walking from the first cell over
// whole characters, whose character satisfies match; 0 when none.
template <typename M>
int LastCellMatching(const QString& line, int stop, M match)
{
    const int length = CellLength(line);
    if (stop < 1 || stop > length)
        return 0;
    int found = 0;
    int cell = 0;
    const int n = static_cast<int>(line.size());
    for (int i = 0; i < n && cell < stop;) {
        const QChar c = line.at(i);
        const int w = CellsOf(c);
        if (match(c, w))
            found = cell + 1;
        cell += w;
        i += w == 1 ? 1 : CharSize(line, i);
    }
    return found;
}

}  // namespace

int ScanForChars(const QString& line, int start, const QString& chars)
{
    return FirstCellMatching(line, start, [&](QChar c, int w) { return w == 1 && chars.contains(c); });
}

int ScanBackForChars(const QString& line, int start, const QString& chars)
{
    return LastCellMatching(line, start, [&](QChar c, int w) { return w == 1 && chars.contains(c); });
}

int NextDoubleByteStart(const QString& line, int start)
{
    return FirstCellMatching(line, start, [](QChar, int w) { return w == 2; });
}

int LastDoubleByteStart(const QString& line, int stop)
{
    return LastCellMatching(line, stop, [](QChar, int w) { return w == 2; });
}

int EndOfLine(const QString& text, int from)
{
    const int n = text.size();
    for (int i = from < 0 ? 0 : from; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == 0 || c == '\n' || c == '\r')
            return i;
    }
    return n;
}


void GradientFill(TCanvas& canvas, TColor startColor, TColor endColor, int steps, const QRect& rect,
                  bool horizontal)
{
    steps = MinMax(steps, 2, 256);
    const TColor s = ColorToRGB(startColor);
    const TColor e = ColorToRGB(endColor);
    const int sr = s & 0xFF, sg = (s >> 8) & 0xFF, sb = (s >> 16) & 0xFF;
    const int er = e & 0xFF, eg = (e >> 8) & 0xFF, eb = (e >> 16) & 0xFF;
    const int size = horizontal ? rect.width() : rect.height();
    QPainter& painter = canvas.Painter();
    for (int i = 0; i < steps; ++i) {
        const int from = MulDiv(i, size, steps);
        const int to = MulDiv(i + 1, size, steps);
        const int r = sr + MulDiv(i, er - sr, steps - 1);
        const int g = sg + MulDiv(i, eg - sg, steps - 1);
        const int b = sb + MulDiv(i, eb - sb, steps - 1);
        const QRect band = horizontal ? QRect(rect.left() + from, rect.top(), to - from, rect.height())
                                      : QRect(rect.left(), rect.top() + from, rect.width(), to - from);
        painter.fillRect(band, QColor(r, g, b));
    }
}

THSL ColorToHSL(TColor color)
{
    const TColor rgb = ColorToRGB(color);
    const int r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
    const int mx = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    THSL result;
    result.Lightness = (mx + mn) * 100 / 510;
    if (mx == mn)
        return result;
    if (result.Lightness <= 50)
        result.Saturation = (mx - mn) * 100 / (mx + mn);
    else
        result.Saturation = (mx - mn) * 100 / (510 - (mx + mn));
    const double f = 60.0 / (mx - mn);
    if (r == mx)
        result.Hue = static_cast<int>(std::lround(g < b ? f * (g - b) + 360 : f * (g - b)));
    else if (g == mx)
        result.Hue = static_cast<int>(std::lround(f * (b - r) + 120));
    else
        result.Hue = static_cast<int>(std::lround(f * (r - g) + 240));
    return result;
}

TColor HSLToColor(int hue, int saturation, int lightness)
{
    if (saturation == 0) {
        const int v = static_cast<int>(std::lround(lightness * 2.55));
        return TColor(v) | (TColor(v) << 8) | (TColor(v) << 16);
    }
    const double l = lightness / 100.0;
    const double s = saturation / 100.0;
    const double p = l > 0.5 ? l - s * (1 - l) : l * (1 - s);
    const double q = 2 * l - p;
    const double h = hue / 60.0;
    double r = 0, g = 0, b = 0;
    switch ((hue / 60) % 6) {
    case 0: r = q; g = p + (q - p) * h; b = p; break;
    case 1: r = p + (q - p) * (2 - h); g = q; b = p; break;
    case 2: r = p; g = q; b = p + (q - p) * (h - 2); break;
    case 3: r = p; g = p + (q - p) * (4 - h); b = q; break;
    case 4: r = p + (q - p) * (h - 4); g = p; b = q; break;
    default: r = q; g = p; b = p + (q - p) * (6 - h); break;
    }
    auto channel = [](double v) {
        const int c = static_cast<int>(std::ceil(v * 255 - 1e-9));
        return MinMax(c, 0, 255);
    };
    return TColor(channel(b)) * 65536 + TColor(channel(g)) * 256 + TColor(channel(r));
}

QString ResolveFolder(const QString& path)
{
    if (path.isEmpty())
        return path;
    QString result = path;
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!result.startsWith(QLatin1Char('/')))
        result = ProgramFolder() + result;
    else if (path.startsWith(QLatin1Char('\\')))
        result = ProgramFolder() + result.mid(1);
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}
