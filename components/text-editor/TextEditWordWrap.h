#pragma once

// Soft word wrap: the map between text lines and display rows, how many rows
// each line takes and how many cells each row shows. The editor tells the
// map about inserted, deleted and replaced lines and about width changes,
// and converts positions through it.

#include "TextEditHighlighter.h"
#include "TextEditUtils.h"

#include <QtCore/QString>

#include <cstdint>
#include <vector>

// What the word-wrap map needs of its editor.
class ITextWordWrapHost {
public:
    virtual ~ITextWordWrapHost() = default;
    virtual int WrapLineCount() const = 0;
    // The 0-based line with its tabs expanded.
    virtual QString WrapExpandedLine(int index) const = 0;
    // The wrap width in cells, by the editor's word-wrap style.
    virtual int WrapWidth() const = 0;
    // The characters that belong to identifiers; every other code below 256
    // may end a row.
    virtual TCharSet WrapIdentifierChars() const = 0;
};

class ITextEditBufferPlugin {
public:
    virtual ~ITextEditBufferPlugin() = default;
    virtual TDisplayPos TextToScreen(const TBufferCoord& pos) const = 0;
    virtual TBufferCoord ScreenToText(const TDisplayPos& pos) const = 0;
    virtual int TotalRows() const = 0;
    virtual int RowLength(int row) const = 0;
    virtual int MapLinesInserted(int index, int count) = 0;
    virtual int MapLinesDeleted(int index, int count) = 0;
    virtual int MapLinesReplaced(int index, int count) = 0;
    virtual void WidthMayHaveChanged() = 0;
    virtual void Rebuild() = 0;
};

class TTextWordWrapPlugin : public ITextEditBufferPlugin {
public:
    // Raises ETextEditError without a host.
    explicit TTextWordWrapPlugin(ITextWordWrapHost* host);

    TDisplayPos TextToScreen(const TBufferCoord& pos) const override;
    TBufferCoord ScreenToText(const TDisplayPos& pos) const override;
    int TotalRows() const override { return FLineEnds.empty() ? 0 : FLineEnds.back(); }
    // Raises ETextEditError "List index out of bounds (row)" outside 1..TotalRows.
    int RowLength(int row) const override;
    int MapLinesInserted(int index, int count) override;
    int MapLinesDeleted(int index, int count) override;
    int MapLinesReplaced(int index, int count) override;
    void WidthMayHaveChanged() override;
    void Rebuild() override;

    int LineCount() const { return static_cast<int>(FLineEnds.size()); }
    int MaxRowLength() const { return FMaxRowLength; }
    int MinRowLength() const { return FMinRowLength; }
    // The rows of a 0-based line: its first row (0-based) and how many.
    int FirstRowOf(int line) const { return line <= 0 ? 0 : FLineEnds[static_cast<size_t>(line - 1)]; }
    int RowCountOf(int line) const { return FLineEnds[static_cast<size_t>(line)] - FirstRowOf(line); }

private:
    // Splits a line into rows (cell counts) in FNewRows.
    void WrapText(const QString& expanded);
    // Wraps a mapped line again; answers the change in rows.
    int ReWrapLine(int line);
    int LineOfRow(int row) const;  // 0-based row and line

    ITextWordWrapHost* FHost;
    std::vector<std::int32_t> FLineEnds;
    std::vector<std::int32_t> FRowLengths;
    int FMaxRowLength = 0;
    int FMinRowLength = 1;
    TCharSet FBreakChars;
    // Work buffers reused from line to line.
    std::vector<std::int32_t> FNewRows;
    std::vector<std::uint16_t> FCells;  // a cell's character code; 0xFFFF for a trail cell
};
