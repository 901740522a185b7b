#pragma once

// The skinned list grid of the login window, the study screens and the study
// records: a string grid without fixed rows or columns, the current row filled
// with a focus colour, thin coloured lines, per-column alignments and fonts, a
// check-box (or delete glyph) column on the left with one check flag per row,
// and a button column on the right. Releases on the glyphs become events.

#include "GridsEx.h"

#include <vector>

// Where the grid keeps itself in its parent: nowhere in particular, along an
// edge over the parent's whole width or height, or over the whole parent.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

using TAddClickEvent = std::function<void(int col, int row)>;
using TSelectClickEvent = std::function<void(int col, int row)>;
using TCellClickEvent = std::function<void(int col, int row)>;

class TPiboStringGrid : public TStringGrid {
    Q_OBJECT
public:
    explicit TPiboStringGrid(QWidget* parent = nullptr);

    TAlign Align() const { return FAlign; }
    // Follows the parent's size from now on (alNone: keeps its bounds).
    void SetAlign(TAlign value);

    // 1: check box with the cell text; 2: delete glyph only; other values:
    // column 0 is drawn as a text column.
    int FirstCheckBoxType() const { return FFirstCheckBoxType; }
    void SetFirstCheckBoxType(int value) { FFirstCheckBoxType = value; }
    TColor LineColorValue() const { return FLineColorValue; }
    void SetLineColorValue(TColor value) { FLineColorValue = value; }
    bool HasHerLine() const { return FHasHerLine; }
    void SetHasHerLine(bool value) { FHasHerLine = value; }
    bool HasVerLine() const { return FHasVerLine; }
    void SetHasVerLine(bool value) { FHasVerLine = value; }
    TColor FocusColorValue() const { return FFocusColorValue; }
    void SetFocusColorValue(TColor value) { FFocusColorValue = value; }
    // The text colour of the current row; 0 means none.
    TColor FocusFontColor() const { return FFocusFontColor; }
    void SetFocusFontColor(TColor value) { FFocusFontColor = value; }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value) { FAlignment = value; }

    // Sets RowCount and sizes the check flags to it: existing rows keep their
    // flags, new rows are unchecked.
    void SetRowCountEx(int count);
    // Removes a row: the rows below move up with their cells and check
    // flags. The grid's last row is not removed but made blank and unchecked.
    void DeleteRow(int row);
    // One row's check flag; no repaint. A row beyond the flags raises
    // EInvalidGridOperation.
    bool GetRowChecked(int row) const;
    void SetRowChecked(int row, bool value);
    // Per-column alignments and fonts for ColCount columns; called once the
    // column count is final.
    void InitColumns();
    void SetColAlignment(int col, TAlignment alignment);
    // Copies name, size, style and colour of font into the column's font.
    void SetColFont(int col, const TFont& font);
    // Row := row, then Col := col; the editor takes the focus; the grid repaints.
    void GotoCell(int col, int row);
    // Draws the current cell as the focus cell; with repaint the whole grid
    // is repainted.
    void DrawFocusCell(bool repaint);

    TAddClickEvent OnAddClick;
    TAddClickEvent OnCheckBoxClick;
    TSelectClickEvent OnSelectClick;
    TCellClickEvent OnCellClick;
    TDrawCellEvent OnPiboDrawCell;

    void KeyDown(int& key, Qt::KeyboardModifiers shift) override;
    bool DoMouseWheelDown(Qt::KeyboardModifiers shift, QPoint pos) override;
    bool DoMouseWheelUp(Qt::KeyboardModifiers shift, QPoint pos) override;

    // The glyph hit rectangles of a cell rectangle.
    static QRect CheckBoxRect(const QRect& cell);
    static QRect ButtonRect(const QRect& cell);

protected:
    void Paint(TCanvas& canvas, const QRegion& updateRegion) override;
    void PaintCell(TCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state) override;
    void MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseMove(Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void RowMoved(int fromIndex, int toIndex) override;

private:
    void Realign();
    bool GetRowCheckedSafe(int row) const;
    bool AfterWheel(bool result);
    void PaintFocusCell(TCanvas& canvas);
    void DrawCellText(TCanvas& canvas, int col, int row, const QRect& rect);
    void DrawLines(TCanvas& canvas, int col, const QRect& rect);

    TAlign FAlign = alNone;
    int FFirstCheckBoxType = 1;
    TColor FLineColorValue = 0xF5CB82;
    bool FHasHerLine = false;
    bool FHasVerLine = true;
    TColor FFocusColorValue = 0xFFE8C6;
    TColor FFocusFontColor = 0;
    TAlignment FAlignment = taLeftJustify;
    std::vector<char> FChecks;
    std::vector<TAlignment> FColAlignments;
    std::vector<TFont> FColFonts;
    TBitmap FCheckedPicture;
    TBitmap FNotCheckedPicture;
    TBitmap FDeletePicture;
    TBitmap FButtonPicture;
};
