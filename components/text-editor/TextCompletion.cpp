// The completion popup: its window (kinds, filtering, keys, mouse, wheel,
// painting, sizing), the component that shows and places it, and the
// attached popup that hears its editors' keys and commands.
#include "TextCompletion.h"

#include "ImageList.h"
#include "TextEdit.h"
#include "TextEditInternal.h"

#include <QtCore/QTimer>
#include <QtGui/QCursor>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include <algorithm>

namespace {

// The commands the editor runs when it gains and loses the focus.
constexpr TTextEditorCommand CompletionGainFocusCommand = 480;
constexpr TTextEditorCommand CompletionLoseFocusCommand = 481;

// Without a highlighter these end a word when the word-break characters are
// considered.
TCharSet CompletionDefaultWordBreaks()
{
    TCharSet set;
    for (QChar c : QStringLiteral(" !\"'()*+,-./:;=?[\\]^{|}"))
        set.set(c.unicode());
    return set;
}

bool CompletionIsBlankOrBreak(QChar c, const TTextBaseCompletionProposalForm& form)
{
    return c.unicode() <= 32 || form.InWordBreakSet(c);
}

// The first characters of text compared with typed, as the options say.
bool CompletionPrefixEquals(const QString& text, const QString& typed, bool ansi, bool caseSensitive)
{
    if (text.size() < typed.size())
        return false;
    const QString head = text.left(typed.size());
    if (ansi) {
        if (caseSensitive)
            return QString::localeAwareCompare(head, typed) == 0;
        return QString::localeAwareCompare(head.toLower(), typed.toLower()) == 0;
    }
    return QString::compare(head, typed, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive) == 0;
}

// A canvas to measure on outside a paint.
class TCompletionMeasureCanvas {
public:
    explicit TCompletionMeasureCanvas(const TFont& font) : FImage(1, 1, QImage::Format_ARGB32), FPainter(&FImage)
    {
        FCanvas.Font = font;
    }
    TCanvas& Canvas() { return FCanvas; }

private:
    QImage FImage;
    QPainter FPainter;
    TCanvas FCanvas{FPainter};
};

}  // namespace

// ================================================================ the window

TTextBaseCompletionProposalForm::TTextBaseCompletionProposalForm(TTextBaseCompletionProposal* owner)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), FOwner(owner)
{
    FFont.Name = QStringLiteral("MS Sans Serif");
    FFont.Size = 8;
    FTitleFont = FFont;
    FTitleFont.Bold = true;
    FTitleFont.Color = clBtnText;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    FScrollBar = new QScrollBar(Qt::Vertical, this);
    // The list keeps the keys; the bar only scrolls.
    FScrollBar->setFocusPolicy(Qt::NoFocus);
    connect(FScrollBar, &QScrollBar::valueChanged, this,
            [this](int value) { TextEditGuarded("completion scroll", [&] { ScrollBarMoved(value); }); });
    connect(FScrollBar, &QScrollBar::actionTriggered, this, [this](int) {
        TextEditGuarded("completion scroll", [&] {
            // Scrolling hands the keys back: to the editor, which passes them
            // on to this window while it is registered.
            if (TCustomTextEdit* editor = Editor())
                editor->SetFocus();
        });
    });
    MeasureFonts();
    SetPopupKind(ctCode);
    resize(260, 100);
}

TTextBaseCompletionProposalForm::~TTextBaseCompletionProposalForm()
{
    if (TCustomTextEdit* editor = FShownFor.data()) {
        if (FRegistered)
            editor->UnregisterPopupForm(this);
        editor->SetShowCaretUnfocused(FSavedShowCaretUnfocused);
    }
}

void TTextBaseCompletionProposalForm::ForgetEditor(QObject* editor)
{
    if (FEditor.isNull() || static_cast<QObject*>(FEditor.data()) == editor)
        FEditor = nullptr;
    if (FShownFor.isNull() || static_cast<QObject*>(FShownFor.data()) == editor) {
        FShownFor = nullptr;
        FRegistered = false;
    }
}

int TTextBaseCompletionProposalForm::FrameWidth()
{
    return 4;
}

void TTextBaseCompletionProposalForm::MeasureFonts()
{
    FFontHeight = TextHeightOf(FFont, QStringLiteral("CompletionProposal"));
    FTitleTextHeight = TextHeightOf(FTitleFont, QStringLiteral("CompletionProposal"));
}

void TTextBaseCompletionProposalForm::SetFont(const TFont& value)
{
    FFont = value;
    MeasureFonts();
    update();
}

void TTextBaseCompletionProposalForm::SetTitleFont(const TFont& value)
{
    FTitleFont = value;
    MeasureFonts();
    update();
}

void TTextBaseCompletionProposalForm::SetTitle(const QString& value)
{
    FTitle = value;
    update();
}

void TTextBaseCompletionProposalForm::SetItemHeight(int value)
{
    FItemHeight = value;
    update();
}

void TTextBaseCompletionProposalForm::SetResizeable(bool value)
{
    FResizeable = value;
}

void TTextBaseCompletionProposalForm::SetPopupKind(TextCompletionType value)
{
    FPopupKind = value;
    const int frame = value == ctCode ? FrameWidth() : 0;
    setContentsMargins(frame, frame, frame, frame);
    // The hint and the parameter list leave the focus where it is.
    setAttribute(Qt::WA_ShowWithoutActivating, value != ctCode);
    FScrollBar->setVisible(value == ctCode);
}

int TTextBaseCompletionProposalForm::FilteredIndex(int shown) const
{
    if (shown < 0 || shown >= static_cast<int>(FFilteredIndexes.size()))
        return -1;
    return FFilteredIndexes[static_cast<size_t>(shown)];
}

void TTextBaseCompletionProposalForm::ResetFilteredItems()
{
    FFilteredItems = FItemList;
    FFilteredIndexes.resize(static_cast<size_t>(FItemList.size()));
    for (size_t i = 0; i < FFilteredIndexes.size(); ++i)
        FFilteredIndexes[i] = static_cast<int>(i);
    if (FSelectedItem >= FFilteredItems.size())
        FSelectedItem = 0;
    FScrollPosition = std::min(FScrollPosition, std::max(0, static_cast<int>(FFilteredItems.size()) - 1));
}

QString TTextBaseCompletionProposalForm::CompareText(int index) const
{
    if (HasOption(scoUseInsertList))
        return FInsertList.value(index);
    const QString item = FItemList.value(index);
    return HasOption(scoUsePrettyText) ? StripFormatting(item) : item;
}

bool TTextBaseCompletionProposalForm::ItemMatches(int index, const QString& typed) const
{
    return CompletionPrefixEquals(CompareText(index), typed, HasOption(scoAnsiStrings), HasOption(scoCaseSensitive));
}

void TTextBaseCompletionProposalForm::SetTypedText(const QString& value)
{
    FTypedText = value;
    if (FPopupKind != ctCode)
        return;
    if (HasOption(scoLimitToMatchedText)) {
        FFilteredItems.clear();
        FFilteredIndexes.clear();
        for (int i = 0; i < FItemList.size(); ++i)
            if (ItemMatches(i, value)) {
                FFilteredItems << FItemList.at(i);
                FFilteredIndexes.push_back(i);
            }
        FSelectedItem = 0;
        FScrollPosition = 0;
        UpdateScrollBar();
        if (isVisible() && !FFilteredItems.isEmpty() && FOwner->OnChange)
            FOwner->OnChange(FOwner, FilteredIndex(0));
        update();
        return;
    }
    int match = 0;
    for (int i = 0; i < FItemList.size(); ++i)
        if (ItemMatches(i, value)) {
            match = i;
            break;
        }
    SelectItem(match);
}

int TTextBaseCompletionProposalForm::ScrollPosition() const
{
    return FScrollPosition;
}

void TTextBaseCompletionProposalForm::SelectItem(int value)
{
    if (value <= 0 && FSelectedItem == 0)
        return;
    value = std::max(value, 0);
    if (value == FSelectedItem || value >= FFilteredItems.size())
        return;
    FSelectedItem = value;
    if (value < FScrollPosition)
        FScrollPosition = value;
    else if (value > FScrollPosition + FVisibleLines - 1)
        FScrollPosition = value - FVisibleLines + 1;
    {
        const QSignalBlocker block(FScrollBar);
        FScrollBar->setValue(FScrollPosition);
    }
    if (FPopupKind == ctCode && isVisible() && FOwner->OnChange)
        FOwner->OnChange(FOwner, FilteredIndex(value));
    update();
}

void TTextBaseCompletionProposalForm::MoveSelection(int delta)
{
    const int count = static_cast<int>(FFilteredItems.size());
    if (count == 0)
        return;
    SelectItem(std::clamp(FSelectedItem + delta, 0, count - 1));
}

void TTextBaseCompletionProposalForm::EnsureSelectionVisible()
{
    if (FSelectedItem < FScrollPosition)
        FScrollPosition = FSelectedItem;
    else if (FSelectedItem > FScrollPosition + FVisibleLines - 1)
        FScrollPosition = FSelectedItem - FVisibleLines + 1;
    FScrollPosition = std::max(FScrollPosition, 0);
    const QSignalBlocker block(FScrollBar);
    FScrollBar->setValue(FScrollPosition);
}

void TTextBaseCompletionProposalForm::UpdateScrollBar()
{
    const QSignalBlocker block(FScrollBar);
    const int count = static_cast<int>(FFilteredItems.size());
    if (count < FVisibleLines) {
        FScrollBar->setEnabled(false);
        FScrollBar->setRange(0, 0);
    } else {
        FScrollBar->setEnabled(true);
        FScrollBar->setRange(0, count - FVisibleLines);
        FScrollBar->setPageStep(FVisibleLines);
        FScrollBar->setSingleStep(1);
    }
    FScrollPosition = std::clamp(FScrollPosition, 0, FScrollBar->maximum());
    FScrollBar->setValue(FScrollPosition);
}

void TTextBaseCompletionProposalForm::ScrollBarMoved(int value)
{
    FScrollPosition = value;
    // The selection follows into the shown lines.
    if (FSelectedItem < value)
        SelectItem(value);
    else if (FSelectedItem > value + FVisibleLines - 1)
        SelectItem(value + FVisibleLines - 1);
    update();
}

int TTextBaseCompletionProposalForm::ItemAtY(int y) const
{
    const int top = contentsRect().top() + TitleHeight();
    if (y < top || LineHeight() <= 0)
        return -1;
    return (y - top) / LineHeight() + FScrollPosition;
}

int TTextBaseCompletionProposalForm::SnappedHeight(int requested) const
{
    const int frame = 2 * FrameWidth();
    const int lh = std::max(1, LineHeight());
    const int lines = std::max(1, (requested - frame - TitleHeight()) / lh);
    return lines * lh + TitleHeight() + frame;
}

void TTextBaseCompletionProposalForm::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    TextEditGuarded("completion size", [&] {
        const QRect client = contentsRect();
        const int lh = std::max(1, LineHeight());
        if (FPopupKind == ctCode) {
            const int least = FScrollBar->sizeHint().width() + 2 * FrameWidth();
            if (minimumWidth() != least)
                setMinimumWidth(least);
            // The list shows whole items only.
            const int snapped = SnappedHeight(height());
            if (snapped != height()) {
                resize(width(), snapped);
                return;
            }
            FVisibleLines = std::max(1, (client.height() - TitleHeight()) / lh);
            const int bar = FScrollBar->sizeHint().width();
            FScrollBar->setGeometry(client.right() + 1 - bar, client.top() + TitleHeight(), bar,
                                    client.height() - TitleHeight());
            UpdateScrollBar();
        } else {
            if (minimumWidth() != 0)
                setMinimumWidth(0);
            FVisibleLines = std::max(1, (client.height() - 2 - 2 * Margin) / lh);
        }
    });
}

// ---------------------------------------------------------------- painting

void TTextBaseCompletionProposalForm::paintEvent(QPaintEvent*)
{
    TextEditGuarded("completion paint", [&] {
        QPainter painter(this);
        const QRect client = contentsRect();
        if (FPopupKind == ctCode) {
            PaintFrame(painter);
            if (TitleHeight() > 0)
                PaintTitle(painter, QRect(client.left(), client.top(), client.width(), TitleHeight()));
            const int bar = FScrollBar->isVisible() ? FScrollBar->width() : 0;
            PaintItems(painter, QRect(client.left(), client.top() + TitleHeight(), client.width() - bar,
                                      client.height() - TitleHeight()));
            return;
        }
        painter.fillRect(rect(), ToQColor(ClBackground));
        PaintItems(painter, rect().adjusted(1 + Margin, 1 + Margin, -1 - Margin, -1 - Margin));
        // A thin dark line round the hint.
        painter.setPen(ToQColor(clBlack));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    });
}

void TTextBaseCompletionProposalForm::PaintFrame(QPainter& painter)
{
    const QRect r = rect();
    painter.fillRect(r, ToQColor(clBtnFace));
    painter.setPen(ToQColor(clBtnHighlight));
    painter.drawLine(r.left(), r.top(), r.right(), r.top());
    painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
    painter.setPen(ToQColor(cl3DDkShadow));
    painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
    painter.setPen(ToQColor(clBtnShadow));
    painter.drawRect(contentsRect().adjusted(-1, -1, 0, 0));
}

void TTextBaseCompletionProposalForm::PaintTitle(QPainter& painter, const QRect& area)
{
    painter.fillRect(area, ToQColor(ClTitleBackground));
    TCanvas canvas(painter);
    canvas.Font = FTitleFont;
    canvas.BrushStyle = TBrushStyle::Clear;
    int x = area.left() + Margin;
    if (HasOption(scoTitleIsCentered))
        x = area.left() + (area.width() - canvas.TextWidth(FTitle)) / 2;
    painter.setClipRect(area);
    canvas.TextOut(x, area.top() + 2, FTitle);
    painter.setClipping(false);
}

void TTextBaseCompletionProposalForm::PaintItems(QPainter& painter, const QRect& area)
{
    const int lh = std::max(1, LineHeight());
    const bool list = FPopupKind == ctCode;
    painter.fillRect(area, ToQColor(ClBackground));
    painter.setClipRect(area);
    TCanvas canvas(painter);
    const int first = list ? FScrollPosition : 0;
    const int rows = list ? FVisibleLines : static_cast<int>(FFilteredItems.size());
    for (int row = 0; row < rows; ++row) {
        const int shown = first + row;
        if (shown >= FFilteredItems.size())
            break;
        const QRect itemRect(area.left(), area.top() + row * lh, area.width(), lh);
        const bool selected = list && shown == FSelectedItem;
        canvas.Font = FFont;
        canvas.BrushStyle = TBrushStyle::Solid;
        canvas.BrushColor = selected ? ClSelect : ClBackground;
        if (selected) {
            canvas.Font.Color = ClSelectedText;
            painter.fillRect(itemRect, ToQColor(ClSelect));
        }
        bool customDraw = false;
        if (FOwner->OnPaintItem)
            FOwner->OnPaintItem(FOwner, FilteredIndex(shown), canvas, itemRect, customDraw);
        if (customDraw)
            continue;
        const QString& item = FFilteredItems.at(shown);
        if (FPopupKind == ctParams) {
            DrawFormattedText(canvas, itemRect, HighlightParameter(StripFormatting(item), CurrentIndex), Images,
                              &FColumns, false);
        } else if (!list) {
            DrawFormattedText(canvas, itemRect, item, Images, nullptr, false);
        } else if (HasOption(scoUsePrettyText)) {
            DrawFormattedText(canvas, itemRect.adjusted(Margin, 0, 0, 0), item, Images, &FColumns, selected);
        } else {
            canvas.TextOut(itemRect.left() + Margin, itemRect.top(), item);
        }
    }
    painter.setClipping(false);
}

// ---------------------------------------------------------------- keys, mouse, wheel

bool TTextBaseCompletionProposalForm::focusNextPrevChild(bool)
{
    // Tab belongs to the list.
    return false;
}

void TTextBaseCompletionProposalForm::keyPressEvent(QKeyEvent* e)
{
    e->accept();
    if (FPopupKind != ctCode)
        return;
    TextEditGuarded("completion key", [&] {
        const std::uint16_t key = VirtualKeyFromQt(e->key(), e->modifiers());
        const TShiftState shift = ShiftStateFromQt(e->modifiers());
        TCustomTextEdit* editor = Editor();
        auto run = [&](TTextEditorCommand command, QChar c = QChar()) {
            if (editor)
                editor->DispatchEditorCommand(command, c);
        };
        bool handled = true;
        switch (key) {
        case VK_BACK:
            if (shift & ssShift) {
                handled = false;
                break;
            }
            if (FTypedText.isEmpty()) {
                run(ecDeleteLastChar);
                FOwner->FormCancel();
            } else {
                SetTypedText(FTypedText.left(FTypedText.size() - 1));
                run(ecDeleteLastChar);
            }
            break;
        case VK_LEFT:
            if (FTypedText.isEmpty()) {
                run(ecLeft);
                FOwner->FormCancel();
            } else {
                SetTypedText(FTypedText.left(FTypedText.size() - 1));
                run(ecLeft);
            }
            break;
        case VK_TAB:
            if (HasOption(scoCompleteWithTab))
                FOwner->Complete(shift, QChar());
            else
                handled = false;
            break;
        case VK_RETURN:
            if (HasOption(scoCompleteWithEnter))
                FOwner->Complete(shift, QChar());
            break;
        case VK_ESCAPE: FOwner->FormCancel(); break;
        case VK_PRIOR: MoveSelection(-FVisibleLines); break;
        case VK_NEXT: MoveSelection(FVisibleLines); break;
        case VK_HOME: SelectItem(0); break;
        case VK_END: SelectItem(static_cast<int>(FFilteredItems.size()) - 1); break;
        case VK_UP:
            if (shift & ssCtrl)
                SelectItem(0);
            else
                MoveSelection(-1);
            break;
        case VK_DOWN:
            if (shift & ssCtrl)
                SelectItem(static_cast<int>(FFilteredItems.size()) - 1);
            else
                MoveSelection(1);
            break;
        case VK_RIGHT:
            if (editor) {
                const TBufferCoord caret = editor->CaretPos();
                const QString line = editor->Lines().Get(caret.Line - 1);
                const int index = CellToIndex(line, caret.Char - 1);
                const QChar c = index < line.size() ? line.at(index) : QChar(u' ');
                if (c == u'\t' || c == u' ' || InWordBreakSet(c))
                    FOwner->FormCancel();
                else
                    SetTypedText(FTypedText + c);
                run(ecRight);
            }
            break;
        case VK_DELETE: run(ecDeleteChar); break;
        default: handled = false; break;
        }
        if (!handled)
            for (QChar c : e->text())
                CharacterTyped(c);
        update();
    });
}

void TTextBaseCompletionProposalForm::CharacterTyped(QChar c)
{
    const ushort code = c.unicode();
    if (code == 8 || code == 13 || code == 27)
        return;
    if (code >= 32 && code <= 122) {
        if (InWordBreakSet(c))
            FOwner->Complete(0, c == u' ' ? QChar() : c);
        SetTypedText(FTypedText + c);
        FOwner->FormCharTyped(c);
        return;
    }
    if (TCustomTextEdit* editor = Editor())
        editor->DispatchEditorCommand(ecChar, c);
    FOwner->FormCancel();
}

void TTextBaseCompletionProposalForm::mousePressEvent(QMouseEvent* e)
{
    TextEditGuarded("completion click", [&] {
        const QPoint p = e->position().toPoint();
        if (FPopupKind == ctCode && FResizeable && !contentsRect().contains(p) && windowHandle()) {
            // The frame resizes the list.
            Qt::Edges edges;
            if (p.x() < contentsRect().left())
                edges |= Qt::LeftEdge;
            if (p.x() > contentsRect().right())
                edges |= Qt::RightEdge;
            if (p.y() < contentsRect().top())
                edges |= Qt::TopEdge;
            if (p.y() > contentsRect().bottom())
                edges |= Qt::BottomEdge;
            windowHandle()->startSystemResize(edges);
            return;
        }
        const int item = ItemAtY(p.y());
        if (item >= 0)
            SelectItem(item);
    });
}

void TTextBaseCompletionProposalForm::mouseDoubleClickEvent(QMouseEvent* e)
{
    TextEditGuarded("completion double click", [&] {
        const int item = ItemAtY(e->position().toPoint().y());
        if (FPopupKind != ctCode || item < 0 || item >= FFilteredItems.size())
            return;
        SelectItem(item);
        FOwner->Complete(ShiftStateFromQt(e->modifiers()), QChar());
    });
}

void TTextBaseCompletionProposalForm::wheelEvent(QWheelEvent* e)
{
    e->accept();
    TextEditGuarded("completion wheel", [&] {
        FWheelAccumulator += e->angleDelta().y();
        const int steps = FWheelAccumulator / 120;
        FWheelAccumulator -= steps * 120;
        if (steps == 0)
            return;
        int lines = (e->modifiers() & Qt::ControlModifier) ? FVisibleLines : QApplication::wheelScrollLines();
        lines = std::min(lines, FVisibleLines);
        MoveSelection(-steps * lines);
    });
}

// ---------------------------------------------------------------- showing and hiding

void TTextBaseCompletionProposalForm::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    TextEditGuarded("completion show", [&] {
        FWasActive = false;
        if (TCustomTextEdit* editor = Editor()) {
            FShownFor = editor;
            // The caret keeps showing in the editor while the list has the keys.
            FSavedShowCaretUnfocused = editor->ShowCaretUnfocused();
            editor->SetShowCaretUnfocused(editor->hasFocus());
            if (FPopupKind == ctCode) {
                editor->RegisterPopupForm(this);
                FRegistered = true;
            }
        }
        if (FOwner->OnShow)
            FOwner->OnShow(FOwner);
    });
}

void TTextBaseCompletionProposalForm::hideEvent(QHideEvent* e)
{
    QWidget::hideEvent(e);
    TextEditGuarded("completion hide", [&] {
        if (TCustomTextEdit* editor = FShownFor.data()) {
            if (FRegistered)
                editor->UnregisterPopupForm(this);
            editor->SetShowCaretUnfocused(FSavedShowCaretUnfocused);
        }
        FShownFor = nullptr;
        FRegistered = false;
        FWasActive = false;
        if (FPopupKind == ctCode)
            FOwner->FormHidden();
        if (FOwner->OnClose)
            FOwner->OnClose(FOwner);
    });
}

void TTextBaseCompletionProposalForm::HideHandingBackKeys()
{
    // A list that goes while it has the keys hands them back to the editor's
    // window first, rather than leaving the system to pick a window.
    TCustomTextEdit* editor = Editor();
    if (FPopupKind == ctCode && (FWasActive || QApplication::activeWindow() == this) && editor &&
        editor->isVisible())
        editor->activateWindow();
    hide();
}

void TTextBaseCompletionProposalForm::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    if (e->type() != QEvent::ActivationChange)
        return;
    TextEditGuarded("completion activation", [&] {
        // Another window taking the activation ends the list.
        if (isActiveWindow()) {
            FWasActive = true;
        } else if (FWasActive && FPopupKind == ctCode && isVisible()) {
            FWasActive = false;
            hide();
        }
    });
}

// ================================================================ the component

TTextBaseCompletionProposal::TTextBaseCompletionProposal(QObject* owner)
    : QObject(owner), FForm(std::make_unique<TTextBaseCompletionProposalForm>(this))
{
}

TTextBaseCompletionProposal::~TTextBaseCompletionProposal() = default;

void TTextBaseCompletionProposal::SetDefaultType(TextCompletionType value)
{
    FDefaultType = value;
    FForm->SetPopupKind(value);
}

void TTextBaseCompletionProposal::SetOptions(TTextCompletionOptions value)
{
    FOptions = value;
    FForm->Options = value;
}

void TTextBaseCompletionProposal::SetItemList(const QStringList& value)
{
    FForm->ItemList() = value;
    FForm->ResetFilteredItems();
    FForm->SetTypedText(FForm->TypedText());
}

void TTextBaseCompletionProposal::SetImages(const TImageList* value)
{
    FForm->Images = value;
}

bool TTextBaseCompletionProposal::Visible() const
{
    return FForm->isVisible();
}

void TTextBaseCompletionProposal::PlaceWindow(int x, int y)
{
    TTextBaseCompletionProposalForm& form = *FForm;
    int w = FWidth;
    int h = 0;
    const int count = static_cast<int>(form.FilteredItems().size());
    if (form.PopupKind() == ctCode) {
        h = form.LineHeight() * FNbLinesInWindow + form.TitleHeight() + 2 * TTextBaseCompletionProposalForm::FrameWidth();
    } else {
        TCompletionMeasureCanvas measure(form.Font());
        TCanvas& canvas = measure.Canvas();
        int widest = 0;
        for (int i = 0; i < count; ++i) {
            const QString& item = form.FilteredItems().at(i);
            int itemWidth = 0;
            if (form.PopupKind() == ctHint) {
                itemWidth = FormattedTextWidth(canvas, item, nullptr, form.Images);
            } else {
                // Wide enough for any one parameter in bold, and for none.
                const QString plain = StripFormatting(item);
                const QString none = HighlightParameter(plain, -1);
                itemWidth = FormattedTextWidth(canvas, none, &form.Columns(), form.Images);
                for (int k = 0; k <= plain.size(); ++k) {
                    const QString bold = HighlightParameter(plain, k);
                    if (bold == none)
                        break;
                    itemWidth = std::max(itemWidth, FormattedTextWidth(canvas, bold, &form.Columns(), form.Images));
                }
                if (OnMeasureItem)
                    OnMeasureItem(this, form.FilteredIndex(i), canvas, itemWidth);
            }
            widest = std::max(widest, itemWidth);
        }
        h = count * form.LineHeight() + 2 + 2 * form.Margin;
        w = widest + 2 * form.Margin + 2;
    }
    // Kept on the screen that holds the point: left of its right edge, and
    // above the point when it would pass the bottom.
    QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect desk = screen->availableGeometry();
        const int right = desk.x() + desk.width();
        const int bottom = desk.y() + desk.height();
        if (x + w > right)
            x = std::max(desk.x(), right - w - 5);
        if (y + h > bottom)
            y = std::max(desk.y(), y - h - 2);
    }
    form.setGeometry(x, y, w, h);
}

void TTextBaseCompletionProposal::ShowAt(const QString& text, int x, int y, TextCompletionType kind)
{
    TTextBaseCompletionProposalForm& form = *FForm;
    form.SetPopupKind(kind);
    FCanExecute = true;
    QString input = text;
    if (OnExecute)
        OnExecute(kind, this, input, x, y, FCanExecute);
    if (!FCanExecute || form.ItemList().isEmpty()) {
        if (form.isVisible() && kind == ctParams)
            form.hide();
        return;
    }
    form.ResetFilteredItems();
    if (kind == ctCode) {
        form.SetTypedText(input);
        form.ScrollBar()->show();
        PlaceWindow(x, y);
        if (!form.HasOption(scoLimitToMatchedText)) {
            form.UpdateScrollBar();
            form.SelectItem(form.SelectedItem());
        }
        if (!form.FilteredItems().isEmpty()) {
            form.show();
            form.activateWindow();
            form.setFocus(Qt::PopupFocusReason);
        }
        return;
    }
    form.ScrollBar()->hide();
    PlaceWindow(x, y);
    form.show();
    form.update();
}

void TTextBaseCompletionProposal::ActivateFor(TCustomTextEdit*)
{
    // A popup of its own knows no editor to open for.
}

void TTextBaseCompletionProposal::ClosePopup()
{
    if (FForm->isVisible())
        FForm->HideHandingBackKeys();
}

void TTextBaseCompletionProposal::CancelPopup()
{
    ClosePopup();
    if (OnCancelled)
        OnCancelled(this);
}

void TTextBaseCompletionProposal::FormCancel()
{
    FForm->HideHandingBackKeys();
    if (TCustomTextEdit* editor = FForm->Editor()) {
        if (QWidget* host = editor->parentWidget(); host && host->isVisible())
            host->activateWindow();
        editor->activateWindow();
        editor->SetFocus();
    }
    if (OnCancelled)
        OnCancelled(this);
}

void TTextBaseCompletionProposal::Complete(TShiftState, QChar)
{
    // Without an editor of its own there is nothing to complete.
    ClosePopup();
}

void TTextBaseCompletionProposal::FormCharTyped(QChar c)
{
    if (TCustomTextEdit* editor = FForm->Editor())
        editor->DispatchEditorCommand(ecChar, c);
}

void TTextBaseCompletionProposal::FormHidden()
{
    FWidth = FForm->width();
    FNbLinesInWindow = FForm->VisibleLines();
}

// ================================================================ the attached popup

TTextCompletionProposal::TTextCompletionProposal(QObject* owner) : TTextBaseCompletionProposal(owner)
{
    SetTriggerChars(QStringLiteral("."));
    FShortCut = ::ShortCut(VK_SPACE, ssCtrl);
    SetOptions(TextCompletionDefaultOptions);
}

TTextCompletionProposal::~TTextCompletionProposal()
{
    if (Visible())
        CancelPopup();
    SetEditor(nullptr);
    while (!FEditors.empty()) {
        TCustomTextEdit* editor = FEditors.back().data();
        if (!editor || !DetachEditor(editor))
            FEditors.pop_back();
    }
}

void TTextCompletionProposal::SetOptions(TTextCompletionOptions value)
{
    TTextBaseCompletionProposal::SetOptions(value);
    if (value & CompletionOptionBit(scoUseBuiltInTimer)) {
        if (!FTimer) {
            FTimer = new QTimer(this);
            FTimer->setInterval(FTimerInterval);
            connect(FTimer, &QTimer::timeout, this,
                    [this] { TextEditGuarded("completion timer", [&] { TimerFired(); }); });
        }
    } else if (FTimer) {
        delete FTimer;
        FTimer = nullptr;
    }
}

void TTextCompletionProposal::SetTimerInterval(int value)
{
    FTimerInterval = value;
    if (FTimer)
        FTimer->setInterval(value);
}

void TTextCompletionProposal::StopTimer()
{
    if (FTimer)
        FTimer->stop();
}

void TTextCompletionProposal::SetEditor(TCustomTextEdit* value)
{
    if (FEditor.data() == value)
        return;
    if (TCustomTextEdit* old = FEditor.data())
        DetachEditor(old);
    FEditor = value;
    if (value)
        AttachEditor(value);
}

bool TTextCompletionProposal::IsAttached(const TCustomTextEdit* editor) const
{
    return editor && std::any_of(FEditors.begin(), FEditors.end(),
                                 [editor](const QPointer<TCustomTextEdit>& e) { return e.data() == editor; });
}

void TTextCompletionProposal::AttachEditor(TCustomTextEdit* editor)
{
    if (!editor || IsAttached(editor))
        return;
    connect(editor, &QObject::destroyed, this, &TTextCompletionProposal::EditorDestroyed);
    FEditors.emplace_back(editor);
    editor->RegisterKeyDownHandler(Method<void(void*, std::uint16_t&, TShiftState)>(
        this, &TTextCompletionProposal::EditorKeyDownHook));
    editor->RegisterKeyPressHandler(Method<void(void*, QChar&)>(this, &TTextCompletionProposal::EditorKeyPressHook));
    editor->AddCommandHook(this);
}

bool TTextCompletionProposal::DetachEditor(TCustomTextEdit* editor)
{
    if (!IsAttached(editor))
        return false;
    if (Form()->Editor() == editor) {
        if (Visible())
            CancelPopup();
        Form()->SetEditor(nullptr);
    }
    editor->UnregisterKeyDownHandler(Method<void(void*, std::uint16_t&, TShiftState)>(
        this, &TTextCompletionProposal::EditorKeyDownHook));
    editor->UnregisterKeyPressHandler(
        Method<void(void*, QChar&)>(this, &TTextCompletionProposal::EditorKeyPressHook));
    editor->RemoveCommandHook(this);
    disconnect(editor, &QObject::destroyed, this, &TTextCompletionProposal::EditorDestroyed);
    FEditors.erase(std::remove_if(FEditors.begin(), FEditors.end(),
                                  [editor](const QPointer<TCustomTextEdit>& e) { return e.data() == editor; }),
                   FEditors.end());
    if (FEditor.data() == editor)
        FEditor = nullptr;
    return true;
}

void TTextCompletionProposal::EditorGoing(TCustomTextEdit* sender)
{
    disconnect(sender, &QObject::destroyed, this, &TTextCompletionProposal::EditorDestroyed);
    EditorDestroyed(sender);
}

void TTextCompletionProposal::EditorDestroyed(QObject* object)
{
    // The editor is going: only our own lists change, nothing of it is called.
    auto gone = [object](const QPointer<TCustomTextEdit>& e) {
        return e.isNull() || static_cast<QObject*>(e.data()) == object;
    };
    FEditors.erase(std::remove_if(FEditors.begin(), FEditors.end(), gone), FEditors.end());
    if (gone(FEditor))
        FEditor = nullptr;
    if (gone(FTimerEditor))
        FTimerEditor = nullptr;
    const bool forItsEditor = gone(Form()->FEditor) || gone(Form()->FShownFor);
    Form()->ForgetEditor(object);
    if (forItsEditor && Visible())
        CancelPopup();
}

void TTextCompletionProposal::ShowAt(const QString& text, int x, int y, TextCompletionType kind)
{
    TTextBaseCompletionProposal::ShowAt(text, x, y, kind);
    StopTimer();
}

void TTextCompletionProposal::ActivateFor(TCustomTextEdit* editor)
{
    if (!IsAttached(editor))
        return;
    if (DefaultType() == ctCode && editor->ReadOnly())
        return;
    QPoint point;
    if (DefaultType() == ctHint) {
        point = QCursor::pos();
    } else {
        const QPoint caret = editor->DisplayPosToPixels(editor->BufferToDisplayPos(editor->CaretPos()));
        point = editor->mapToGlobal(QPoint(caret.x(), caret.y() + editor->RowHeight()));
    }
    TTextBaseCompletionProposalForm& form = *Form();
    form.SetEditor(editor);
    TCharSet& breaks = form.WordBreakSet();
    breaks.reset();
    if (form.HasOption(scoConsiderWordBreakChars))
        breaks |= editor->Highlighter() ? editor->Highlighter()->WordBreakChars() : CompletionDefaultWordBreaks();
    for (QChar c : EndOfTokenChr())
        if (c.unicode() < 256)
            breaks.set(c.unicode());

    const TBufferCoord caret = editor->CaretPos();
    const QString line = editor->Lines().Get(caret.Line - 1);
    QString word;
    FPreviousToken.clear();
    if (caret.Char - 1 > CellLength(line)) {
        // Past the line's end: nothing typed of a word.
        FCompletionStart = caret.Char;
    } else {
        const int end = CellToIndex(line, caret.Char - 1);
        int start = end;
        while (start > 0 && !CompletionIsBlankOrBreak(line.at(start - 1), form))
            --start;
        word = line.mid(start, end - start);
        FCompletionStart = IndexToCell(line, start) + 1;
        // The token before the caret, or before a word-break character there.
        int last = end - 1;
        if (last >= 0 && form.InWordBreakSet(line.at(last)))
            --last;
        int first = last;
        while (first >= 0 && !CompletionIsBlankOrBreak(line.at(first), form))
            --first;
        if (last >= 0)
            FPreviousToken = line.mid(first + 1, last - first);
    }
    ShowAt(word, point.x(), point.y(), DefaultType());
    FSkipNextKey = DefaultType() == ctCode && FCanExecute && Visible();
}

void TTextCompletionProposal::ClosePopup()
{
    StopTimer();
    FSkipNextKey = false;
    TTextBaseCompletionProposal::ClosePopup();
}

void TTextCompletionProposal::FormCancel()
{
    FSkipNextKey = false;
    StopTimer();
    TTextBaseCompletionProposal::FormCancel();
}

void TTextCompletionProposal::Complete(TShiftState shift, QChar endToken)
{
    TTextBaseCompletionProposalForm& form = *Form();
    TCustomTextEdit* editor = form.Editor();
    if (!editor) {
        ClosePopup();
        return;
    }
    QString value;
    int index = -1;
    TBufferCoord newEnd;
    editor->BeginPaintLock();
    editor->OpenUndoBlock();
    try {
        const TBufferCoord caret = editor->CaretPos();
        const TBufferCoord start = BufferCoord(FCompletionStart, caret.Line);
        const TBufferCoord end = endToken.isNull() ? editor->WordEndOf(caret) : caret;
        editor->SetSelectionBegin(start);
        editor->SetSelectionEnd(end);
        const QString selected = editor->SelectedText();
        const int shown = form.SelectedItem();
        index = form.FilteredIndex(shown);
        value = selected;
        const bool endCharRefused = !endToken.isNull() && !form.HasOption(scoEndCharCompletion);
        if (!endCharRefused) {
            if (!form.HasOption(scoUseInsertList)) {
                if (shown >= 0 && shown < form.FilteredItems().size()) {
                    // Formatting commands are for showing, never for the text.
                    const QString& item = form.FilteredItems().at(shown);
                    value = form.HasOption(scoUsePrettyText) ? StripFormatting(item) : item;
                }
            } else {
                const int insertIndex = form.HasOption(scoLimitToMatchedText) ? index : shown;
                if (insertIndex >= 0 && insertIndex < form.InsertList().size())
                    value = form.InsertList().at(insertIndex);
            }
        }
        if (OnCodeCompletion)
            OnCodeCompletion(this, value, shift, index, endToken);
        if (value != selected) {
            editor->SetSelectedText(value);
            newEnd = editor->CaretPos();
        } else {
            newEnd = end;
        }
    } catch (...) {
        editor->CloseUndoBlock();
        editor->EndPaintLock();
        throw;
    }
    editor->CloseUndoBlock();
    ClosePopup();
    editor->activateWindow();
    editor->SetFocus();
    editor->PlaceCaretCollapsed(newEnd);
    editor->EnsureCursorPosVisible();
    editor->EndPaintLock();
    if (OnAfterCodeCompletion)
        OnAfterCodeCompletion(this, value, shift, index, endToken);
}

void TTextCompletionProposal::FormCharTyped(QChar c)
{
    TCustomTextEdit* editor = Form()->Editor();
    if (!editor)
        return;
    editor->DispatchEditorCommand(ecChar, c);
    if (TriggerChars().contains(c) && !Visible())
        ActivateFor(editor);
}

void TTextCompletionProposal::EditorKeyDownHook(void* sender, std::uint16_t& key, TShiftState shift)
{
    auto* editor = static_cast<TCustomTextEdit*>(sender);
    if (!editor || key == 0)
        return;
    if (DefaultType() == ctCode && editor->ReadOnly())
        return;
    if (FShortCut != 0 && ::ShortCut(key, shift) == FShortCut) {
        key = 0;
        Form()->SetEditor(editor);
        ActivateFor(editor);
    }
}

void TTextCompletionProposal::EditorKeyPressHook(void* sender, QChar& key)
{
    if (FSkipNextKey) {
        FSkipNextKey = false;
        key = QChar();
        return;
    }
    if (!FTimer)
        return;
    if (TriggerChars().contains(key)) {
        Form()->SetEditor(static_cast<TCustomTextEdit*>(sender));
        FTimer->start();
    } else {
        FTimer->stop();
    }
}

void TTextCompletionProposal::HookedCommand(TCustomTextEdit* sender, bool afterProcessing, bool&,
                                            TTextEditorCommand& command, QChar& aChar, void*, void*)
{
    if (!afterProcessing)
        return;
    if (Visible()) {
        switch (DisplayType()) {
        case ctHint: CancelPopup(); break;
        case ctParams:
            if (command == CompletionGainFocusCommand || command == CompletionLoseFocusCommand ||
                (command == ecChar && aChar == QChar(27)))
                CancelPopup();
            else
                ActivateFor(sender);
            break;
        case ctCode: break;
        }
        return;
    }
    if (!(command == ecChar && TriggerChars().contains(aChar)))
        StopTimer();
}

void TTextCompletionProposal::TimerFired()
{
    StopTimer();
    if (QGuiApplication::applicationState() == Qt::ApplicationActive) {
        if (TCustomTextEdit* editor = Form()->Editor())
            ActivateFor(editor);
        FSkipNextKey = false;
    } else if (Visible()) {
        Form()->hide();
    }
}
