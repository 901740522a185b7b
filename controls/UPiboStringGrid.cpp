#include "UPiboStringGrid.h"

#include "UCommonFun.h"

#include <QtCore/QEvent>
#include <QtGui/QPainter>

#include <algorithm>

namespace {

constexpr int CheckBoxSize = 13;
constexpr int ButtonSize = 16;
constexpr int GlyphLeft = 10;

}  // namespace

TPiboStringGrid::TPiboStringGrid(QWidget* parent) : TStringGrid(parent)
{
    SetColor(0xFFF4E3);
    SetFixedCols(0);
    SetFixedRows(0);
    SetOptions(TGridOptions(goRangeSelect) | goEditing | goAlwaysShowEditor);
    SetBorderStyle(bsNone);
    FChecks.assign(static_cast<std::size_t>(RowCount()), 0);
    FCheckedPicture.LoadFromResourceName(QStringLiteral("GridCheckBoxCheckedBG"));
    FNotCheckedPicture.LoadFromResourceName(QStringLiteral("GridCheckBoxNotCheckedBG"));
    FDeletePicture.LoadFromResourceName(QStringLiteral("DeleteBG"));
    FDeletePicture.SetTransparent(true);
    FButtonPicture.LoadFromResourceName(QStringLiteral("GridSpeedButtonNormalBG"));
    FButtonPicture.SetTransparent(true);
}

void TPiboStringGrid::SetAlign(TAlign value)
{
    QWidget* owner = parentWidget();
    if (owner)
        owner->removeEventFilter(this);
    FAlign = value;
    if (owner && value != alNone) {
        owner->installEventFilter(this);
        Realign();
    }
}

void TPiboStringGrid::Realign()
{
    const QWidget* owner = parentWidget();
    if (!owner)
        return;
    const int w = owner->width();
    const int h = owner->height();
    switch (FAlign) {
    case alTop:
        setGeometry(0, 0, w, height());
        break;
    case alBottom:
        setGeometry(0, h - height(), w, height());
        break;
    case alLeft:
        setGeometry(0, 0, width(), h);
        break;
    case alRight:
        setGeometry(w - width(), 0, width(), h);
        break;
    case alClient:
        setGeometry(0, 0, w, h);
        break;
    case alNone:
        break;
    }
}

bool TPiboStringGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && FAlign != alNone)
        Realign();
    return TStringGrid::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Rows and columns
// ---------------------------------------------------------------------------

void TPiboStringGrid::SetRowCountEx(int count)
{
    SetRowCount(count);
    FChecks.resize(static_cast<std::size_t>(RowCount()), 0);
}

void TPiboStringGrid::DeleteRow(int row)
{
    if (row < 0 || row >= RowCount())
        throw EInvalidGridOperation("Grid index out of range");
    if (RowCount() == 1) {
        // The grid keeps its one row: it becomes blank and unchecked.
        for (int c = 0; c < ColCount(); ++c)
            SetCells(c, 0, QString());
        FChecks.assign(1, 0);
        return;
    }
    RemoveRow(row);
    FChecks.resize(static_cast<std::size_t>(RowCount()), 0);
}

void TPiboStringGrid::RowMoved(int fromIndex, int toIndex)
{
    // A row's check flag goes where its cells go.
    const auto at = [this](int index) { return FChecks.begin() + index; };
    const int count = static_cast<int>(FChecks.size());
    if (fromIndex >= 0 && toIndex >= 0 && fromIndex < count && toIndex < count) {
        if (fromIndex < toIndex)
            std::rotate(at(fromIndex), at(fromIndex) + 1, at(toIndex) + 1);
        else
            std::rotate(at(toIndex), at(fromIndex), at(fromIndex) + 1);
    }
    TStringGrid::RowMoved(fromIndex, toIndex);
}

bool TPiboStringGrid::GetRowChecked(int row) const
{
    if (row < 0 || row >= static_cast<int>(FChecks.size()))
        throw EInvalidGridOperation("Grid index out of range");
    return FChecks[static_cast<std::size_t>(row)] != 0;
}

void TPiboStringGrid::SetRowChecked(int row, bool value)
{
    if (row < 0 || row >= static_cast<int>(FChecks.size()))
        throw EInvalidGridOperation("Grid index out of range");
    FChecks[static_cast<std::size_t>(row)] = value ? 1 : 0;
}

void TPiboStringGrid::InitColumns()
{
    FColAlignments.assign(static_cast<std::size_t>(ColCount()), taLeftJustify);
    FColFonts.assign(static_cast<std::size_t>(ColCount()), TFont());
}

void TPiboStringGrid::SetColAlignment(int col, TAlignment alignment)
{
    if (col < 0 || col >= static_cast<int>(FColAlignments.size()))
        throw EInvalidGridOperation("Grid index out of range");
    FColAlignments[static_cast<std::size_t>(col)] = alignment;
}

void TPiboStringGrid::SetColFont(int col, const TFont& font)
{
    if (col < 0 || col >= static_cast<int>(FColFonts.size()))
        throw EInvalidGridOperation("Grid index out of range");
    FColFonts[static_cast<std::size_t>(col)] = font;
}

void TPiboStringGrid::GotoCell(int col, int row)
{
    SetRow(row);
    SetCol(col);
    if (InplaceEdit())
        InplaceEdit()->SetFocus();
    InvalidateGrid();
}

void TPiboStringGrid::DrawFocusCell(bool repaint)
{
    // Drawing happens in the paint, which draws the focus cell after the
    // cells whenever the editor mode is on.
    if (repaint)
        InvalidateGrid();
    else
        InvalidateCell(Col(), Row());
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

QRect TPiboStringGrid::CheckBoxRect(const QRect& cell)
{
    const int top = cell.top() + RoundHalfEven((cell.height() - CheckBoxSize) / 2.0);
    return QRect(cell.left() + GlyphLeft, top, CheckBoxSize, CheckBoxSize);
}

QRect TPiboStringGrid::ButtonRect(const QRect& cell)
{
    const int left = cell.left() + RoundHalfEven((cell.width() - ButtonSize) / 2.0);
    const int top = cell.top() + RoundHalfEven((cell.height() - ButtonSize) / 2.0);
    return QRect(left, top, ButtonSize, ButtonSize);
}

void TPiboStringGrid::Paint(TCanvas& canvas, const QRegion& updateRegion)
{
    TStringGrid::Paint(canvas, updateRegion);
    if (EditorMode())
        PaintFocusCell(canvas);
}

void TPiboStringGrid::DrawCellText(TCanvas& canvas, int col, int row, const QRect& rect)
{
    // Colour and font: the focus font colour in the current row, else the
    // grid's font colour, else the column's font.
    if (row == Row() && FFocusFontColor != 0)
        canvas.Font.Color = FFocusFontColor;
    else if (FColFonts.empty())
        canvas.Font.Color = FFont.Color;
    else if (col >= 0 && col < static_cast<int>(FColFonts.size()))
        canvas.Font = FColFonts[static_cast<std::size_t>(col)];
    if (!FColAlignments.empty() && col >= 0 && col < static_cast<int>(FColAlignments.size()))
        FAlignment = FColAlignments[static_cast<std::size_t>(col)];
    const QString text = GetCells(col, row);
    if (text.isEmpty())
        return;
    QPainter& painter = canvas.Painter();
    painter.setFont(canvas.Font.ToQFont());
    painter.setPen(ToQColor(canvas.Font.Color));
    if (FAlignment == taCenter)
        painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
    else
        painter.drawText(rect.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void TPiboStringGrid::DrawLines(TCanvas& canvas, int col, const QRect& rect)
{
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    canvas.PenColor = FLineColorValue;
    canvas.PenWidth = 1;
    if (FHasVerLine) {
        canvas.MoveTo(left, top);
        canvas.LineTo(left, bottom);
        if (col == ColCount() - 1) {
            canvas.MoveTo(right - 1, top);
            canvas.LineTo(right - 1, bottom);
        }
    }
    if (FHasHerLine) {
        canvas.MoveTo(left, top);
        canvas.LineTo(right, top);
    }
}

void TPiboStringGrid::PaintCell(TCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state)
{
    if (row == Row()) {
        // The whole current row takes the focus colour.
        canvas.PenColor = FFocusColorValue;
        canvas.BrushColor = FFocusColorValue;
        canvas.BrushStyle = TBrushStyle::Solid;
        canvas.Rectangle(rect);
    }
    if (col == 0 && HasCheckBox() && FFirstCheckBoxType == 1) {
        const TBitmap& picture = GetRowCheckedSafe(row) ? FCheckedPicture : FNotCheckedPicture;
        canvas.Draw(rect.left() + GlyphLeft, rect.top() + RoundHalfEven((rect.height() - CheckBoxSize) / 2.0),
                    picture);
        const QString text = GetCells(col, row);
        if (!text.isEmpty()) {
            QPainter& painter = canvas.Painter();
            painter.setFont(canvas.Font.ToQFont());
            painter.setPen(ToQColor(canvas.Font.Color));
            const int x = rect.left() + picture.Width() + 15;
            const int y = rect.top() + RoundHalfEven((rect.height() - canvas.TextHeight(text)) / 2.0);
            painter.drawText(QRect(x, y, std::max(0, rect.left() + rect.width() - x), canvas.TextHeight(text)),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        }
    } else if (col == 0 && HasCheckBox() && FFirstCheckBoxType == 2) {
        canvas.Draw(rect.left() + GlyphLeft,
                    rect.top() + RoundHalfEven((rect.height() - FDeletePicture.Height()) / 2.0), FDeletePicture);
    } else if (col == ColCount() - 1 && HasSpeedButton()) {
        canvas.Draw(rect.left() + RoundHalfEven((rect.width() - FButtonPicture.Width()) / 2.0),
                    rect.top() + RoundHalfEven((rect.height() - FButtonPicture.Height()) / 2.0), FButtonPicture);
    } else {
        DrawCellText(canvas, col, row, rect);
    }
    DrawLines(canvas, col, rect);
    if (InplaceEdit())
        InplaceEdit()->SetColor(FFocusColorValue);
    if (OnPiboDrawCell)
        OnPiboDrawCell(canvas, col, row, QRect(rect), state);
}

bool TPiboStringGrid::GetRowCheckedSafe(int row) const
{
    return row >= 0 && row < static_cast<int>(FChecks.size()) && FChecks[static_cast<std::size_t>(row)] != 0;
}

void TPiboStringGrid::PaintFocusCell(TCanvas& canvas)
{
    const QRect rect = CellRect(Col(), Row());
    if (rect.isEmpty())
        return;
    canvas.PenColor = FFocusColorValue;
    canvas.BrushColor = FFocusColorValue;
    canvas.BrushStyle = TBrushStyle::Solid;
    canvas.Rectangle(rect);
    DrawLines(canvas, Col(), rect);
    if (!EditorMode()) {
        canvas.Font = FFont;
        DrawCellText(canvas, Col(), Row(), rect);
    }
}

// ---------------------------------------------------------------------------
// Mouse, keys and wheel
// ---------------------------------------------------------------------------

void TPiboStringGrid::MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    TStringGrid::MouseDown(button, shift, x, y);
    DrawFocusCell(true);
}

void TPiboStringGrid::MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    int col = -1, row = -1;
    MouseToCell(x, y, col, row);
    bool overGlyph = false;
    if (col >= 0) {
        const QRect cell = CellRect(col, row);
        overGlyph = (HasCheckBox() && col == 0 && PointInRect(x, y, CheckBoxRect(cell))) ||
                    (HasSpeedButton() && col == ColCount() - 1 && PointInRect(x, y, ButtonRect(cell)));
    }
    SetCursorShape(overGlyph ? Qt::PointingHandCursor : Qt::ArrowCursor);
    TStringGrid::MouseMove(shift, x, y);
}

void TPiboStringGrid::MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    int col = -1, row = -1;
    MouseToCell(x, y, col, row);
    if (OnCellClick)
        OnCellClick(col, row);
    const bool checkColumn = HasCheckBox() && col == 0;
    const bool buttonColumn = HasSpeedButton() && col == ColCount() - 1 && col >= 0;
    if (!checkColumn && !buttonColumn && OnSelectClick)
        OnSelectClick(col, row);
    if (checkColumn && row >= 0 && PointInRect(x, y, CheckBoxRect(CellRect(col, row)))) {
        if (row < static_cast<int>(FChecks.size()))
            FChecks[static_cast<std::size_t>(row)] = FChecks[static_cast<std::size_t>(row)] ? 0 : 1;
        SetRow(row);
        InvalidateGrid();
        if (OnCheckBoxClick)
            OnCheckBoxClick(col, row);
        InvalidateGrid();
    }
    if (buttonColumn && row >= 0 && PointInRect(x, y, ButtonRect(CellRect(col, row))) && OnAddClick)
        OnAddClick(col, row);
    TStringGrid::MouseUp(button, shift, x, y);
}

void TPiboStringGrid::KeyDown(int& key, Qt::KeyboardModifiers shift)
{
    TStringGrid::KeyDown(key, shift);
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && OnSelectClick)
        OnSelectClick(Col(), Row());
    DrawFocusCell(true);
}

bool TPiboStringGrid::AfterWheel(bool result)
{
    // The current row is selected again also when the wheel left it.
    if (OnSelectClick)
        OnSelectClick(Col(), Row());
    DrawFocusCell(true);
    return result;
}

bool TPiboStringGrid::DoMouseWheelDown(Qt::KeyboardModifiers shift, QPoint pos)
{
    return AfterWheel(TStringGrid::DoMouseWheelDown(shift, pos));
}

bool TPiboStringGrid::DoMouseWheelUp(Qt::KeyboardModifiers shift, QPoint pos)
{
    return AfterWheel(TStringGrid::DoMouseWheelUp(shift, pos));
}
