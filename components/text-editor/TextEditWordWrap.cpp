#include "TextEditWordWrap.h"

#include <algorithm>

namespace {
constexpr std::uint16_t TrailCell = 0xFFFF;
}

TTextWordWrapPlugin::TTextWordWrapPlugin(ITextWordWrapHost* host) : FHost(host)
{
    if (!host)
        throw ETextEditError(QStringLiteral("TTextWordWrapPlugin must be owned by TCustomTextEdit"));
    Rebuild();
}

void TTextWordWrapPlugin::WrapText(const QString& expanded)
{
    FNewRows.clear();
    // The line as cells: ASCII codes, wide characters as a lead cell (a code
    // that is never a break character) and a trail cell.
    FCells.clear();
    const int n16 = static_cast<int>(expanded.size());
    for (int i = 0; i < n16; ++i) {
        const char16_t c = expanded.at(i).unicode();
        if (c < 0x80) {
            FCells.push_back(c);
        } else if (QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(expanded.at(i - 1).unicode())) {
            continue;
        } else {
            FCells.push_back(0x100);
            FCells.push_back(TrailCell);
        }
    }
    const int n = static_cast<int>(FCells.size());
    if (n == 0) {
        FNewRows.push_back(0);
        return;
    }
    int q = 0;
    while (q + FMaxRowLength < n) {
        const int e = q + FMaxRowLength;
        int end = e;
        for (int p = e; p > q + FMinRowLength; --p) {
            const std::uint16_t code = FCells[static_cast<size_t>(p)];
            if (code < 256 && FBreakChars.test(code)) {
                end = p;
                break;
            }
        }
        if (FCells[static_cast<size_t>(end)] == TrailCell)
            --end;
        // A row always takes at least one whole character: a wide character
        // wider than the row gets a row of its own.
        if (end <= q)
            end = std::min(n, q + 2);
        FNewRows.push_back(end - q);
        q = end;
    }
    if (q < n || FNewRows.empty())
        FNewRows.push_back(n - q);
}

int TTextWordWrapPlugin::ReWrapLine(int line)
{
    WrapText(FHost->WrapExpandedLine(line));
    const int first = FirstRowOf(line);
    const int oldCount = FLineEnds[static_cast<size_t>(line)] - first;
    const int newCount = static_cast<int>(FNewRows.size());
    const auto at = FRowLengths.begin() + first;
    if (newCount == oldCount) {
        std::copy(FNewRows.begin(), FNewRows.end(), at);
    } else {
        FRowLengths.erase(at, at + oldCount);
        FRowLengths.insert(FRowLengths.begin() + first, FNewRows.begin(), FNewRows.end());
    }
    const int diff = newCount - oldCount;
    if (diff != 0)
        for (size_t i = static_cast<size_t>(line); i < FLineEnds.size(); ++i)
            FLineEnds[i] += diff;
    return diff;
}

void TTextWordWrapPlugin::Rebuild()
{
    FMaxRowLength = FHost->WrapWidth();
    FMinRowLength = std::max(1, FMaxRowLength - FMaxRowLength / 3);
    const TCharSet identifiers = FHost->WrapIdentifierChars();
    FBreakChars = ~identifiers;
    FLineEnds.clear();
    FRowLengths.clear();
    const int lines = FHost->WrapLineCount();
    if (lines <= 0 || FMaxRowLength <= 0) {
        FLineEnds.shrink_to_fit();
        FRowLengths.shrink_to_fit();
        return;
    }
    FLineEnds.reserve(static_cast<size_t>(lines));
    FRowLengths.reserve(static_cast<size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        WrapText(FHost->WrapExpandedLine(i));
        FRowLengths.insert(FRowLengths.end(), FNewRows.begin(), FNewRows.end());
        FLineEnds.push_back(static_cast<std::int32_t>(FRowLengths.size()));
    }
}

void TTextWordWrapPlugin::WidthMayHaveChanged()
{
    if (FHost->WrapWidth() != FMaxRowLength)
        Rebuild();
}

int TTextWordWrapPlugin::RowLength(int row) const
{
    if (row < 1 || row > TotalRows())
        throw ETextEditError(QStringLiteral("List index out of bounds (%1)").arg(row));
    return FRowLengths[static_cast<size_t>(row - 1)];
}

int TTextWordWrapPlugin::MapLinesInserted(int index, int count)
{
    if (FMaxRowLength <= 0 || count <= 0 || index < 0 || index > LineCount())
        return 0;
    const int before = FirstRowOf(index);
    FLineEnds.insert(FLineEnds.begin() + index, static_cast<size_t>(count), before);
    int added = 0;
    for (int i = index; i < index + count; ++i)
        added += ReWrapLine(i);
    return added;
}

int TTextWordWrapPlugin::MapLinesDeleted(int index, int count)
{
    if (FMaxRowLength <= 0 || count <= 0 || index < 0 || index + count > LineCount())
        return 0;
    const int first = FirstRowOf(index);
    const int last = FLineEnds[static_cast<size_t>(index + count - 1)];
    const int removed = last - first;
    FRowLengths.erase(FRowLengths.begin() + first, FRowLengths.begin() + last);
    FLineEnds.erase(FLineEnds.begin() + index, FLineEnds.begin() + index + count);
    for (size_t i = static_cast<size_t>(index); i < FLineEnds.size(); ++i)
        FLineEnds[i] -= removed;
    return removed;
}

int TTextWordWrapPlugin::MapLinesReplaced(int index, int count)
{
    if (FMaxRowLength <= 0 || count <= 0 || index < 0 || index + count > LineCount())
        return 0;
    int diff = 0;
    for (int i = index; i < index + count; ++i)
        diff += ReWrapLine(i);
    return diff;
}

int TTextWordWrapPlugin::LineOfRow(int row) const
{
    // The first line whose row total is beyond the row.
    const auto it = std::upper_bound(FLineEnds.begin(), FLineEnds.end(), row);
    return static_cast<int>(it - FLineEnds.begin());
}

TDisplayPos TTextWordWrapPlugin::TextToScreen(const TBufferCoord& pos) const
{
    if (pos.Line < 1)
        return DisplayPos(pos.Char, pos.Line);
    if (pos.Line > LineCount())
        return DisplayPos(pos.Char, TotalRows() + (pos.Line - LineCount()));
    const int line = pos.Line - 1;
    const int first = FirstRowOf(line);
    const int rows = RowCountOf(line);
    int sum = 0;
    for (int r = 0; r < rows; ++r) {
        const int length = FRowLengths[static_cast<size_t>(first + r)];
        sum += length;
        // The first row at which the running sum reaches the character holds
        // it (so the position just after a full row is column 1 of the next).
        if (sum >= pos.Char)
            return DisplayPos(length + pos.Char - sum, first + r + 1);
    }
    const int lastLength = FRowLengths[static_cast<size_t>(first + rows - 1)];
    return DisplayPos(lastLength + pos.Char - sum, first + rows);
}

TBufferCoord TTextWordWrapPlugin::ScreenToText(const TDisplayPos& pos) const
{
    if (pos.Row < 1)
        return BufferCoord(pos.Column, pos.Row);
    if (pos.Row > TotalRows())
        return BufferCoord(pos.Column, LineCount() + (pos.Row - TotalRows()));
    const int row = pos.Row - 1;
    const int line = LineOfRow(row);
    const int first = FirstRowOf(line);
    const bool lastRow = row == FLineEnds[static_cast<size_t>(line)] - 1;
    const int length = FRowLengths[static_cast<size_t>(row)];
    const int column = std::min(pos.Column, (lastRow ? FMaxRowLength : length) + 1);
    int before = 0;
    for (int r = first; r < row; ++r)
        before += FRowLengths[static_cast<size_t>(r)];
    return BufferCoord(column + before, line + 1);
}
