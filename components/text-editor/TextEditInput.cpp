// The editor control's input: keys, the input method, the mouse, the wheel,
// the clipboard, and dragging and dropping.
#include "TextEdit.h"

#include "Cursors.h"
#include "TextEditInternal.h"

#include <QtCore/QMimeData>
#include <QtCore/QPointer>
#include <QtCore/QUrl>
#include <QtGui/QClipboard>
#include <QtGui/QDrag>
#include <QtGui/QDropEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <cmath>

namespace {

// The property of a drag's data that names the editor it comes from.
constexpr const char* DragSourceProperty = "textEditDragSource";

}  // namespace

void TCustomTextEdit::DoGutterClick(Qt::MouseButton button, int x, int y)
{
    // A click on the fold bar folds or unfolds the range there.
    if (FoldBarClick(x, y))
        return;
    if (!OnGutterClick)
        return;
    const int row = PixelsToDisplayPos(x, y).Row;
    if (row > DisplayRowCount())
        return;
    const int line = RowToLine(row);
    // The line's marks stand side by side, one glyph step each: the first
    // whose step reaches past the click is the one clicked.
    TTextEditMark* mark = nullptr;
    int offset = 0;
    for (int i = 0; i < FMarks.Count() && !mark; ++i) {
        if (FMarks.Items(i)->MarkLine() != line)
            continue;
        offset += FBookMarkOptions.Xoffset();
        if (x < offset)
            mark = FMarks.Items(i);
    }
    // The fold bar takes the gutter's last 12 pixels.
    OnGutterClick(this, button, x, y, line, mark, x < FGutterPixels - 12);
}

void TCustomTextEdit::SetCursor(TCursor value)
{
    FCursorId = value;
    QWidget::setCursor(ScreenCursor(value));
}

void TCustomTextEdit::UpdateCursorShape(const QPoint& point)
{
    TCursor cursor = FCursorId;
    if (point.x() < FGutterPixels) {
        cursor = FGutter.Cursor();
    } else {
        const TBufferCoord pos = DisplayToBufferPos(PixelsToDisplayPos(point.x(), point.y()));
        // A selection that a press would drag shows the arrow.
        if (HasOption(eoDragDropEditing) && !FSelecting && PointInSelection(pos))
            cursor = crArrow;
        if (OnMouseCursor)
            OnMouseCursor(this, pos, cursor);
        FKbdHandler.RunMouseCursorHandlers(this, pos, cursor);
    }
    QWidget::setCursor(ScreenCursor(cursor));
}

// ================================================================ clipboard

QString TCustomTextEdit::BlockMimeType()
{
    return QStringLiteral("application/x-pibo-textedit-block");
}

QMimeData* TCustomTextEdit::SelectionMimeData() const
{
    // A copied column block is always padded to its full width.
    const QString text = SelectionText(true);
    auto* data = new QMimeData;
    data->setText(text);
    QByteArray block(1, static_cast<char>(FSelectionMode));
    block += text.toUtf8();
    data->setData(BlockMimeType(), block);
    return data;
}

QString TCustomTextEdit::MimeDataText(const QMimeData* data)
{
    const QByteArray block = data->data(BlockMimeType());
    // Only real text: dragged files are not typed in as their paths.
    if (!block.isEmpty())
        return QString::fromUtf8(block.mid(1));
    return data->hasFormat(QStringLiteral("text/plain")) ? data->text() : QString();
}

void TCustomTextEdit::CopyToClipboard()
{
    if (!SelectionAvailable())
        return;
    QGuiApplication::clipboard()->setMimeData(SelectionMimeData());
}

void TCustomTextEdit::CutToClipboard()
{
    if (FReadOnly || !SelectionAvailable() || (FCodeFolding.Enabled() && CaretOnCollapsedFold()))
        return;
    CopyToClipboard();
    SetSelectedText(QString());
}

void TCustomTextEdit::PasteFromClipboard()
{
    if (FReadOnly || (FCodeFolding.Enabled() && CaretOnCollapsedFold()))
        return;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return;
    const QString text = MimeDataText(data);
    if (text.isEmpty())
        return;
    // A block of ours goes in the way it was copied: as text, whole lines
    // or a column block.
    TTextSelectionMode mode = FSelectionMode;
    const QByteArray block = data->data(BlockMimeType());
    if (!block.isEmpty() && static_cast<unsigned char>(block[0]) <= smColumn)
        mode = static_cast<TTextSelectionMode>(block[0]);
    PaintTransient(ttBefore);
    ReplaceSelectionRecorded(text, mode);
    PaintTransient(ttAfter);
}

// ================================================================ input events

void TCustomTextEdit::keyPressEvent(QKeyEvent* e)
{
    TextEditGuarded("key down", [&] {
        std::uint16_t key = VirtualKeyFromQt(e->key(), e->modifiers());
        const TShiftState shift = ShiftStateFromQt(e->modifiers());
        if ((key == VK_TAB && !FWantTabs) || (key == VK_RETURN && !FWantReturns)) {
            e->ignore();
            return;
        }
        if (OnKeyDown)
            OnKeyDown(this, key, shift);
        if (key != 0)
            FKbdHandler.RunKeyDownHandlers(this, key, shift);
        if (key != 0 && (FCodeFolding.Enabled() || FCodeFolding.IndentGuides()) && !FoldKeyFilter(key)) {
            e->accept();
            return;
        }
        if (key != 0)
            FoldKeyDown(key);
        if (key == 0 && e->text().isEmpty()) {
            e->accept();
            return;
        }
        const TTextEditorCommand command = key != 0 ? TranslateKeyCode(key, shift) : TTextEditorCommand(ecNone);
        if (command != ecNone) {
            DispatchEditorCommand(command, QChar());
            e->accept();
            return;
        }
        const QString text = e->text();
        if (text.isEmpty() || (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            e->ignore();
            return;
        }
        for (QChar c : text) {
            if (c.unicode() < 32 && c != QLatin1Char('\t'))
                continue;
            if (OnKeyPress)
                OnKeyPress(this, c);
            if (!c.isNull())
                FKbdHandler.RunKeyPressHandlers(this, c);
            if (!c.isNull())
                DispatchEditorCommand(ecChar, c);
        }
        e->accept();
    });
}

void TCustomTextEdit::keyReleaseEvent(QKeyEvent* e)
{
    if (e->isAutoRepeat())
        return;
    TextEditGuarded("key up", [&] {
        if (e->key() == Qt::Key_Alt && FAltColumnSwitch) {
            FAltColumnSwitch = false;
            SetSelectionMode(FModeBeforeAlt);
        }
        std::uint16_t key = VirtualKeyFromQt(e->key(), e->modifiers());
        const TShiftState shift = ShiftStateFromQt(e->modifiers());
        if (OnKeyUp)
            OnKeyUp(this, key, shift);
        if (FCodeFolding.Enabled())
            UpdateFoldHighlight();
        if (key != 0)
            FKbdHandler.RunKeyUpHandlers(this, key, shift);
    });
}

void TCustomTextEdit::inputMethodEvent(QInputMethodEvent* e)
{
    TextEditGuarded("input method", [&] {
        // The preedit is shown at the caret, never inserted or recorded; a
        // commit string is inserted once.
        if (!e->commitString().isEmpty())
            DispatchEditorCommand(ecImeStr, QChar(), e->commitString());
        FPreedit = e->preeditString();
        // The preedit is drawn in the caret's row.
        InvalidateLine(FCaret.Line);
        e->accept();
    });
}

QVariant TCustomTextEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImCursorRectangle: return CaretRect();
    case Qt::ImFont: return FDrawer->MainStock().CurrentFont();
    case Qt::ImEnabled: return !FReadOnly;
    case Qt::ImSurroundingText: return CaretLineText();
    case Qt::ImCursorPosition: return CellToIndex(CaretLineText(), FCaret.Char - 1);
    default: return QWidget::inputMethodQuery(query);
    }
}

void TCustomTextEdit::mousePressEvent(QMouseEvent* e)
{
    TextEditGuarded("mouse down", [&] {
        const int x = e->position().toPoint().x();
        const int y = e->position().toPoint().y();
        FKbdHandler.RunMouseDownHandlers(this, e->button(), ShiftStateFromQt(e->modifiers()), x, y);
        if (RightEdgeDraggable() && e->button() == Qt::LeftButton && NearRightEdge(x)) {
            FRightEdgeDragging = true;
            FRightEdgeDragX = -1;
            return;
        }
        // A popup form registered with the editor keeps the keys.
        SetFocus();
        if (x < FGutterPixels + 2) {
            // The right button clicks the gutter at once, the others when
            // they are released there.
            if (e->button() == Qt::RightButton)
                DoGutterClick(e->button(), x, y);
            else
                FPossibleGutterClick = true;
            return;
        }
        if (e->button() == Qt::LeftButton && SelectionAvailable() && HasOption(eoDragDropEditing) &&
            !(e->modifiers() & Qt::ShiftModifier)) {
            // A press inside the selection may start a drag.
            const TBufferCoord at = DisplayToBufferPos(PixelsToNearestRowColumn(x, y));
            const TBufferCoord b = SelectionBegin();
            const TBufferCoord en = SelectionEnd();
            if (MinPos(b, at) == b && MinPos(at, en) == at && !(at == en)) {
                FWaitForDragging = true;
                FMouseDown = QPoint(x, y);
                return;
            }
        }
        if (e->button() == Qt::LeftButton) {
            MoveCaretToPixel(x, y);
            if (e->modifiers() & Qt::ShiftModifier) {
                SetSelectionEnd(FCaret);
            } else {
                SetSelectionBegin(FCaret);
                // Alt selects a column block until it is released.
                if (HasOption(eoAltSetsColumnMode) && (e->modifiers() & Qt::AltModifier) && !FAltColumnSwitch) {
                    FModeBeforeAlt = FSelectionMode;
                    FAltColumnSwitch = true;
                    SetSelectionMode(smColumn);
                }
                SetSelectionBegin(FCaret);
            }
            FSelecting = true;
        } else if (e->button() == Qt::RightButton && HasOption(eoRightMouseMovesCursor)) {
            MoveCaretToPixel(x, y);
            SetSelectionBegin(FCaret);
        }
    });
}

bool TCustomTextEdit::RightEdgeDraggable() const
{
    return FRightEdge.MouseMove() && FRightEdge.Visible();
}

bool TCustomTextEdit::NearRightEdge(int x) const
{
    return std::abs(x - DisplayPosToPixels(DisplayPos(FRightEdge.Position() + 1, FTopRow)).x()) < 3;
}

void TCustomTextEdit::DrawRightEdgeDragLine(int newX, int oldX)
{
    // The line is drawn over the text at the end of each paint; what lay
    // beneath its old place paints again.
    const int h = ClientRect().height();
    if (oldX >= 0)
        update(QRect(oldX, 1, 1, h));
    if (newX >= 0)
        update(QRect(newX, 1, 1, h));
}

void TCustomTextEdit::KeepRightEdgeDragLine(int dx)
{
    // Moved pixels took a shown drag line along (a row's height down or up
    // also into the top pixel row): its column paints again, and the one
    // it went to.
    if (FRightEdgeDragging && FRightEdgeDragX >= 0) {
        const int h = ClientRect().height();
        update(QRect(FRightEdgeDragX, 0, 1, h));
        update(QRect(FRightEdgeDragX + dx, 0, 1, h));
    }
}

void TCustomTextEdit::mouseMoveEvent(QMouseEvent* e)
{
    TextEditGuarded("mouse move", [&] {
        const int x = e->position().toPoint().x();
        if (FRightEdgeDragging) {
            QWidget::setCursor(ScreenCursor(crHSplit));
            if (x != FRightEdgeDragX) {
                DrawRightEdgeDragLine(x, FRightEdgeDragX);
                FRightEdgeDragX = x;
            }
            return;
        }
        if (FWaitForDragging && (e->buttons() & Qt::LeftButton)) {
            if ((e->position().toPoint() - FMouseDown).manhattanLength() < QApplication::startDragDistance())
                return;
            FWaitForDragging = false;
            auto* drag = new QDrag(this);
            drag->setMimeData(CreateDragData());
            // A move into another editor removes the text here.
            if (drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction) == Qt::MoveAction && !FReadOnly)
                SetSelectedText(QString());
            return;
        }
        if (e->buttons() == Qt::NoButton) {
            UpdateCursorShape(e->position().toPoint());
            if (RightEdgeDraggable() && NearRightEdge(x))
                QWidget::setCursor(ScreenCursor(crHSplit));
            if (FCodeFolding.Enabled() && FCodeFolding.CollapsedCodeHint())
                ShowCollapsedHint(e->position().toPoint());
        }
        if (!FSelecting || !(e->buttons() & Qt::LeftButton))
            return;
        MoveCaretToPixel(e->position().toPoint().x(), e->position().toPoint().y());
        SetSelectionEnd(FCaret);
    });
}

void TCustomTextEdit::mouseReleaseEvent(QMouseEvent* e)
{
    TextEditGuarded("mouse up", [&] {
        FKbdHandler.RunMouseUpHandlers(this, e->button(), ShiftStateFromQt(e->modifiers()), e->position().toPoint().x(),
                                       e->position().toPoint().y());
        if (FRightEdgeDragging) {
            // The edge lands on the column boundary the pointer is nearest
            // to on the side it came from.
            FRightEdgeDragging = false;
            DrawRightEdgeDragLine(-1, FRightEdgeDragX);
            FRightEdgeDragX = -1;
            int column = PixelsToDisplayPos(e->position().toPoint().x(), e->position().toPoint().y()).Column;
            if (column < FRightEdge.Position())
                --column;
            FRightEdge.SetPosition(column);
            return;
        }
        if (FCodeFolding.Enabled())
            UpdateFoldHighlight();
        FSelecting = false;
        if (FPossibleGutterClick) {
            FPossibleGutterClick = false;
            const QPoint p = e->position().toPoint();
            if (p.x() < FGutterPixels && e->button() != Qt::RightButton)
                DoGutterClick(e->button(), p.x(), p.y());
            return;
        }
        if (FWaitForDragging) {
            // A press in the selection without a drag puts the caret there.
            FWaitForDragging = false;
            MoveCaretToPixel(e->position().toPoint().x(), e->position().toPoint().y());
            SetSelectionBegin(FCaret);
        }
    });
}

QStringList TCustomTextEdit::DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    return files;
}

QMimeData* TCustomTextEdit::CreateDragData()
{
    QMimeData* data = SelectionMimeData();
    // The editor a drop comes from decides between moving and copying.
    data->setProperty(DragSourceProperty, QVariant::fromValue(QPointer<QObject>(this)));
    return data;
}

TCustomTextEdit* TCustomTextEdit::DragSourceEditor(const QDropEvent* e)
{
    if (auto* source = dynamic_cast<TCustomTextEdit*>(e->source()))
        return source;
    if (!e->mimeData())
        return nullptr;
    const QPointer<QObject> source = e->mimeData()->property(DragSourceProperty).value<QPointer<QObject>>();
    return dynamic_cast<TCustomTextEdit*>(source.data());
}

Qt::DropAction TCustomTextEdit::DropActionFor(const QDropEvent* e) const
{
    // Within one editor a drop moves unless Ctrl is held; from another
    // editor it copies unless Shift is held.
    const TCustomTextEdit* source = DragSourceEditor(e);
    bool move = false;
    if (source == this)
        move = !(e->modifiers() & Qt::ControlModifier);
    else if (source)
        move = (e->modifiers() & Qt::ShiftModifier) != 0;
    else
        return e->proposedAction();
    if (move && !(e->possibleActions() & Qt::MoveAction))
        move = false;
    return move ? Qt::MoveAction : Qt::CopyAction;
}

void TCustomTextEdit::dragEnterEvent(QDragEnterEvent* e)
{
    TextEditGuarded("drag enter", [&] {
        if (HasOption(eoDropFiles) && !DroppedFiles(e->mimeData()).isEmpty()) {
            e->acceptProposedAction();
            return;
        }
        if (!FReadOnly && HasOption(eoDragDropEditing) && !MimeDataText(e->mimeData()).isEmpty()) {
            e->setDropAction(DropActionFor(e));
            e->accept();
        }
    });
}

void TCustomTextEdit::dragMoveEvent(QDragMoveEvent* e)
{
    TextEditGuarded("drag over", [&] {
        if (HasOption(eoDropFiles) && !DroppedFiles(e->mimeData()).isEmpty()) {
            e->acceptProposedAction();
            return;
        }
        MoveCaretToPixel(e->position().toPoint().x(), e->position().toPoint().y());
        e->setDropAction(DropActionFor(e));
        e->accept();
    });
}

bool TCustomTextEdit::DropTextAt(const QPoint& point, const QString& text, bool moveOwnSelection)
{
    if (FReadOnly || text.isEmpty())
        return false;
    const TBufferCoord at = ClampPos(DisplayToBufferPos(PixelsToNearestRowColumn(point.x(), point.y())));
    BeginPaintLock();
    FUndoList.OpenBlock();
    TBufferCoord target = at;
    if (moveOwnSelection && SelectionAvailable()) {
        const TBufferCoord b = SelectionBegin();
        const TBufferCoord en = SelectionEnd();
        if (MinPos(b, at) == b && MinPos(at, en) == at) {
            // Dropped onto itself: nothing moves.
            FUndoList.CloseBlock();
            EndPaintLock();
            return false;
        }
        const QString moved = TextBetween(b, en);
        if (MinPos(en, at) == en) {
            // The target lies after the selection: it shifts with the removal.
            if (at.Line == en.Line)
                target = BufferCoord(b.Char + at.Char - en.Char, b.Line);
            else
                target = BufferCoord(at.Char, at.Line - (en.Line - b.Line));
        }
        DeleteSelectionRecorded();
        FCaret = InsertRecorded(target, moved, urDropInsert);
    } else {
        FAnchor = FSelEnd = target;
        FCaret = InsertRecorded(target, text, urDropInsert);
    }
    // The dropped text is selected, the caret at its start.
    FAnchor = FCaret;
    FSelEnd = FCaret = target;
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    FUndoList.CloseBlock();
    EnsureCursorPosVisible();
    EndPaintLock();
    return true;
}

void TCustomTextEdit::dropEvent(QDropEvent* e)
{
    TextEditGuarded("drop", [&] {
        const QStringList files = HasOption(eoDropFiles) ? DroppedFiles(e->mimeData()) : QStringList();
        if (!files.isEmpty()) {
            // Files are handed on, never inserted as text.
            if (OnDropFiles)
                OnDropFiles(this, e->position().toPoint().x(), e->position().toPoint().y(), files);
            e->acceptProposedAction();
            return;
        }
        const QString text = MimeDataText(e->mimeData());
        TCustomTextEdit* source = DragSourceEditor(e);
        const bool move = DropActionFor(e) == Qt::MoveAction;
        if (source == this) {
            if (DropTextAt(e->position().toPoint(), text, move)) {
                // The move happened here; the drag source must not delete again.
                e->setDropAction(Qt::CopyAction);
                e->accept();
            }
            return;
        }
        if (!DropTextAt(e->position().toPoint(), text, false))
            return;
        if (source && move && !source->ReadOnly())
            // The removal goes into the source's own undo list.
            source->SetSelectedText(QString());
        if (source) {
            e->setDropAction(Qt::CopyAction);
            e->accept();
        } else {
            e->acceptProposedAction();
        }
    });
}

void TCustomTextEdit::mouseDoubleClickEvent(QMouseEvent* e)
{
    TextEditGuarded("double click", [&] {
        if (e->position().x() < FGutterPixels + 2 || HasOption(eoNoSelection))
            return;
        if (FCaret.Line > FLines->Count())
            return;
        SelectWordAt(FCaret);
        FSelecting = false;
        InvalidateClient();
        FlushStatus();
    });
}

void TCustomTextEdit::wheelEvent(QWheelEvent* e)
{
    TextEditGuarded("wheel", [&] {
        FWheelAccumulator += e->angleDelta().y();
        const int steps = FWheelAccumulator / 120;
        FWheelAccumulator -= steps * 120;
        if (steps != 0) {
            // Ctrl scrolls by pages (half pages with eoHalfPageScroll).
            int lines = QApplication::wheelScrollLines();
            if (e->modifiers() & Qt::ControlModifier)
                lines = HasOption(eoHalfPageScroll) ? FRowsInWindow / 2 : FRowsInWindow;
            SetTopRow(FTopRow - steps * lines);
            InvalidateClient();
            if (OnScroll)
                OnScroll(this, sbVertical);
        }
        e->accept();
    });
}
