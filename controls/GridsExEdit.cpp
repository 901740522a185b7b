// The in-place editor and how the grid creates, loads, places, shows and hides
// it; the owner-draw and editing events of the draw grid.

#include "GridsEx.h"

#include "ApplicationException.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>

// ---------------------------------------------------------------------------
// TInplaceEdit
// ---------------------------------------------------------------------------

TInplaceEdit::TInplaceEdit(TCustomGrid* grid) : QLineEdit(grid->viewport()), FGrid(grid)
{
    setFrame(false);
    setFocusPolicy(Qt::ClickFocus);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hide();
    connect(this, &QLineEdit::textChanged, this, [this] { TextChanged(); });
}

void TInplaceEdit::SetMaxLength(int value)
{
    FMaxLength = value;
    setMaxLength(value > 0 ? value : 32767);
}

void TInplaceEdit::SetColor(TColor value)
{
    // The list grid sets the colour at every cell it paints.
    if (value == FColor && FColorSet)
        return;
    FColor = value;
    FColorSet = true;
    QPalette p = palette();
    p.setColor(QPalette::Base, ToQColor(value));
    setPalette(p);
}

void TInplaceEdit::EditorBoundsChanged()
{
    // The text starts two pixels in from the left and the top.
    // (the line edit keeps its caret in view itself)
    setTextMargins(1, 1, 1, 0);
}

void TInplaceEdit::LoadCellContents()
{
    FLoading = true;
    try {
        clear();
        SetEditMask(FGrid->GetEditMask(FGrid->Col(), FGrid->Row()));
        setText(FGrid->GetEditText(FGrid->Col(), FGrid->Row()));
        SetMaxLength(FGrid->GetEditLimit());
    } catch (...) {
        FLoading = false;
        throw;
    }
    FLoading = false;
}

void TInplaceEdit::SelectAllFromStart()
{
    // The caret at the start: a text wider than the cell shows its beginning.
    setSelection(int(text().size()), -int(text().size()));
}

bool TInplaceEdit::CanModify() const
{
    return FGrid->CanEditModify();
}

void TInplaceEdit::Move(const QRect& rect, bool redraw)
{
    if (rect.isEmpty()) {
        Hide();
        return;
    }
    redraw = redraw || !isVisible();
    update();
    setGeometry(rect);
    show();
    EditorBoundsChanged();
    if (redraw)
        Invalidate();
    if (FGrid->hasFocus() || FGrid->window()->focusWidget() == FGrid)
        setFocus(Qt::OtherFocusReason);
}

void TInplaceEdit::Hide()
{
    if (!isVisible())
        return;
    Invalidate();
    // The grid takes the focus before the editor goes, so that it never
    // passes to another control on the way.
    const bool hadFocus = hasFocus() || window()->focusWidget() == this;
    if (hadFocus)
        FGrid->setFocus(Qt::OtherFocusReason);
    hide();
}

void TInplaceEdit::SetFocus()
{
    if (isVisible())
        setFocus(Qt::OtherFocusReason);
}

void TInplaceEdit::Invalidate()
{
    update();
    if (FGrid)
        FGrid->viewport()->update(geometry());
}

void TInplaceEdit::TextChanged()
{
    if (FLoading || !FGrid)
        return;
    // Every change goes to the cell at once.
    FGrid->Guard([this] {
        if (FGrid->FInplaceCol != -1 && FGrid->FInplaceRow != -1)
            FGrid->SetEditText(FGrid->FInplaceCol, FGrid->FInplaceRow, text());
    });
}

// The caret at the start: the selection starts at 0 and is empty or all.
bool TInplaceEdit::LeftSide() const
{
    const int length = static_cast<int>(text().size());
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int stop = hasSelectedText() ? selectionEnd() : start;
    return start == 0 && (stop == 0 || stop == length);
}

// The caret at the end: the selection ends at the end and is empty or all.
bool TInplaceEdit::RightSide() const
{
    const int length = static_cast<int>(text().size());
    const int start = hasSelectedText() ? selectionStart() : cursorPosition();
    const int stop = hasSelectedText() ? selectionEnd() : start;
    return (start == 0 || start == stop) && stop == length;
}

// The key-down routing: true when the key is left for the edit control.
bool TInplaceEdit::KeyDown(int& key, Qt::KeyboardModifiers shift)
{
    const TGridOptions options = FGrid->Options();
    const Qt::KeyboardModifiers mods = shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    auto sendToParent = [&] {
        FGrid->KeyDown(key, shift);
        key = 0;
    };
    auto parentEvent = [&] {
        if (FGrid->OnKeyDown)
            FGrid->OnKeyDown(key, shift);
    };
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Escape:
        sendToParent();
        break;
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier)
            sendToParent();
        else if (mods == Qt::ShiftModifier && !FGrid->CanEditModify())
            key = 0;
        break;
    case Qt::Key_Left:
    case Qt::Key_Home:
        if ((options & goAlwaysShowEditor) && ((mods & Qt::ControlModifier) || LeftSide()))
            sendToParent();
        break;
    case Qt::Key_Right:
    case Qt::Key_End:
        if ((options & goAlwaysShowEditor) && ((mods & Qt::ControlModifier) || RightSide()))
            sendToParent();
        break;
    case Qt::Key_F2:
        parentEvent();
        if (key == Qt::Key_F2) {
            deselect();
            end(false);
            return false;
        }
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!(mods & Qt::AltModifier))
            sendToParent();
        break;
    case Qt::Key_Delete:
        if (mods & Qt::ControlModifier)
            sendToParent();
        else if (!FGrid->CanEditModify())
            key = 0;
        break;
    default:
        break;
    }
    if (key == 0)
        return false;
    parentEvent();
    return key != 0;
}

// The key-press routing of a character: true when it is left for the edit
// control (possibly changed).
bool TInplaceEdit::KeyPress(QChar& key)
{
    FGrid->KeyPress(key);
    const ushort code = key.unicode();
    if (code >= 32 && !FGrid->CanEditAcceptKey(key)) {
        key = QChar(0);
        QApplication::beep();
    }
    switch (key.unicode()) {
    case 9:
    case 27:
        key = QChar(0);
        break;
    case 13:
        if (hasSelectedText() && selectionStart() == 0 && selectedText().size() == text().size())
            deselect();
        else
            SelectAllFromStart();
        key = QChar(0);
        break;
    case 8:
    case 22:  // Ctrl+V
    case 24:  // Ctrl+X
        if (!FGrid->CanEditModify())
            key = QChar(0);
        break;
    default:
        if (key.unicode() >= 32 && !FGrid->CanEditModify())
            key = QChar(0);
        break;
    }
    return key.unicode() != 0;
}

void TInplaceEdit::PostChar(QChar ch)
{
    if (!KeyPress(ch))
        return;
    const int key = ch == QChar(8) ? Qt::Key_Backspace : 0;
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(ch));
    QLineEdit::keyPressEvent(&event);
}

void TInplaceEdit::keyPressEvent(QKeyEvent* event)
{
    bool handled = false;
    FGrid->Guard([&] {
        int key = event->key();
        if (!KeyDown(key, event->modifiers())) {
            // Escape and Tab still reach the grid's key-press handling.
            const QString text = event->text();
            if (!text.isEmpty() && (text.at(0) == QChar(27) || text.at(0) == QChar(9))) {
                QChar ch = text.at(0);
                KeyPress(ch);
            }
            handled = true;
            return;
        }
        const QString text = event->text();
        if (text.isEmpty())
            return;
        QChar ch = text.at(0);
        const QChar original = ch;
        if (!KeyPress(ch)) {
            handled = true;
            return;
        }
        if (ch != original) {
            QKeyEvent changed(QEvent::KeyPress, 0, event->modifiers(), QString(ch));
            QLineEdit::keyPressEvent(&changed);
            handled = true;
        }
    });
    if (handled) {
        event->accept();
        return;
    }
    // Cut, paste and deletion need the grid's consent.
    if ((event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) && !CanModify()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TInplaceEdit::keyReleaseEvent(QKeyEvent* event)
{
    FGrid->Guard([&] {
        int key = event->key();
        FGrid->KeyUp(key, event->modifiers());
    });
    QLineEdit::keyReleaseEvent(event);
}

void TInplaceEdit::mousePressEvent(QMouseEvent* event)
{
    // A press soon after the grid's press that brought the editor up is the
    // second half of a double click on the cell.
    if (event->button() == Qt::LeftButton && FClickTime != 0) {
        const qint64 elapsed = static_cast<qint64>(event->timestamp()) - FClickTime;
        FClickTime = 0;
        if (elapsed >= 0 && elapsed < QApplication::doubleClickInterval()) {
            FGrid->Guard([this] { FGrid->DblClick(); });
        }
    }
    QLineEdit::mousePressEvent(event);
}

void TInplaceEdit::mouseDoubleClickEvent(QMouseEvent* event)
{
    FGrid->Guard([this] { FGrid->DblClick(); });
    QLineEdit::mouseDoubleClickEvent(event);
}

void TInplaceEdit::wheelEvent(QWheelEvent* event)
{
    QCoreApplication::sendEvent(FGrid->viewport(), event);
}

void TInplaceEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    FGrid->FFocusFromEditor = QApplication::focusWidget() == FGrid;
    FGrid->Guard([&] { FGrid->CheckExit(event->reason()); });
}

bool TInplaceEdit::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && (FGrid->Options() & goTabs)) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

// ---------------------------------------------------------------------------
// The grid's side
// ---------------------------------------------------------------------------

bool TCustomGrid::CanEditAcceptKey(QChar)
{
    return true;
}

bool TCustomGrid::CanEditModify()
{
    return FCanEditModify;
}

QString TCustomGrid::GetEditMask(int, int)
{
    return QString();
}

QString TCustomGrid::GetEditText(int, int)
{
    return QString();
}

void TCustomGrid::SetEditText(int, int, const QString&) {}

int TCustomGrid::GetEditLimit()
{
    return 0;
}

TInplaceEdit* TCustomGrid::NewInplaceEditor()
{
    return new TInplaceEdit(this);
}

bool TCustomGrid::EditorAllowed()
{
    return (FOptions & (goRowSelect | goEditing)) == goEditing && FEditorMode &&
           ((FOptions & goAlwaysShowEditor) || IsActiveControl());
}

void TCustomGrid::SetEditorMode(bool value)
{
    if (value)
        ShowEditor();
    else
        HideEditor();
}

void TCustomGrid::ShowEditor()
{
    FEditorMode = true;
    UpdateEdit();
}

void TCustomGrid::HideEditor()
{
    FEditorMode = false;
    HideEditorControl();
}

void TCustomGrid::ShowEditorChar(QChar ch)
{
    ShowEditor();
    if (FInplaceEdit && FInplaceEdit->isVisible())
        FInplaceEdit->PostChar(ch);
}

void TCustomGrid::InvalidateEditor()
{
    FInplaceCol = -1;
    FInplaceRow = -1;
    UpdateEdit();
}

void TCustomGrid::UpdateEditor()
{
    UpdateEdit();
}

void TCustomGrid::UpdateEdit()
{
    if ((FHasCheckBox && FCurrent.X == 0) || (FHasSpeedButton && FCurrent.X == FColCount - 1)) {
        // The check-box and button columns never get the editor.
        FEditorMode = false;
        return;
    }
    if (!EditorAllowed())
        return;
    auto load = [this] {
        FInplaceCol = FCurrent.X;
        FInplaceRow = FCurrent.Y;
        FInplaceEdit->LoadCellContents();
        FCanEditModify = FInplaceEdit->MaxLength() != -1;
        FInplaceEdit->SelectAllFromStart();
        FInplaceEdit->SetFocus();
    };
    if (!FInplaceEdit) {
        FInplaceEdit = NewInplaceEditor();
        load();
    } else if (FCurrent.X != FInplaceCol || FCurrent.Y != FInplaceRow) {
        HideEditorControl();
        load();
    }
    if (EditorAllowed())
        FInplaceEdit->Move(InplaceEditorRect(CellRect(FCurrent.X, FCurrent.Y), TextHeightOf(FFont, "SAMPLE")), true);
}

void TCustomGrid::HideEditorControl()
{
    if (!FInplaceEdit)
        return;
    auto detach = [this] {
        FInplaceCol = -1;
        FInplaceRow = -1;
        FInplaceEdit->Hide();
    };
    try {
        if (FInplaceCol != -1 && FInplaceRow != -1)
            SetEditText(FInplaceCol, FInplaceRow, FInplaceEdit->text());
    } catch (...) {
        detach();
        throw;
    }
    detach();
}

void TCustomGrid::TopLeftChanged()
{
    if (FEditorMode && FInplaceEdit && FInplaceEdit->isVisible())
        FInplaceEdit->Move(CellRect(FCurrent.X, FCurrent.Y), false);
}

// ---------------------------------------------------------------------------
// TCustomDrawGrid
// ---------------------------------------------------------------------------

QString TCustomDrawGrid::GetEditMask(int col, int row)
{
    QString value;
    if (OnGetEditMask)
        OnGetEditMask(col, row, value);
    return value;
}

QString TCustomDrawGrid::GetEditText(int col, int row)
{
    QString value;
    if (OnGetEditText)
        OnGetEditText(col, row, value);
    return value;
}

void TCustomDrawGrid::SetEditText(int col, int row, const QString& value)
{
    if (OnSetEditText)
        OnSetEditText(col, row, value);
}

void TCustomDrawGrid::PaintCell(TCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state)
{
    if (!OnDrawCell)
        return;
    if (!UseRightToLeftAlignment()) {
        OnDrawCell(canvas, col, row, rect, state);
        return;
    }
    // The event sees the cell where it stands on the screen, drawn unmirrored.
    QPainter& painter = canvas.Painter();
    painter.save();
    painter.resetTransform();
    const QRect mirrored = Rect(ClientWidth() - rect.left() - rect.width(), rect.top(), ClientWidth() - rect.left(),
                                rect.top() + rect.height());
    try {
        OnDrawCell(canvas, col, row, mirrored, state);
    } catch (...) {
        painter.restore();
        throw;
    }
    painter.restore();
}

bool TCustomDrawGrid::AllowCellSelect(int col, int row)
{
    bool canSelect = true;
    if (OnSelectCell)
        OnSelectCell(col, row, canSelect);
    return canSelect;
}

void TCustomDrawGrid::ColumnMoved(int fromIndex, int toIndex)
{
    if (OnColumnMoved)
        OnColumnMoved(fromIndex, toIndex);
}

void TCustomDrawGrid::RowMoved(int fromIndex, int toIndex)
{
    if (OnRowMoved)
        OnRowMoved(fromIndex, toIndex);
}

void TCustomDrawGrid::TopLeftChanged()
{
    TCustomGrid::TopLeftChanged();
    if (OnTopLeftChanged)
        OnTopLeftChanged();
}
