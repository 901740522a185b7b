#include "TextEdit.h"

#include <utility>

#include "Cursors.h"
#include "EventGuard.h"
#include "Graphics.h"

#include <QtCore/QMimeData>
#include <QtCore/QPointer>
#include <QtCore/QTextStream>
#include <QtCore/QUrl>
#include <QtGui/QClipboard>
#include <QtGui/QDrag>
#include <QtGui/QGuiApplication>
#include <QtGui/QInputMethod>
#include <QtGui/QDropEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtGui/QStyleHints>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>
#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <cstdio>
#include <exception>

namespace {

template <typename F>
void Guarded(const char* where, F&& body)
{
    GuardedEvent("text editor", where, std::forward<F>(body));
}

// The lines of a text broken at CR LF, CR or LF, in one pass.
QStringList SplitLines(const QString& text)
{
    QStringList lines;
    const QChar* data = text.constData();
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c != u'\n' && c != u'\r')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && data[i + 1].unicode() == u'\n')
            ++i;
        start = i + 1;
    }
    lines << text.mid(start);
    return lines;
}

// Where the first line break of text is, -1 without one.
qsizetype FirstBreak(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == QLatin1Char('\n') || text[i] == QLatin1Char('\r'))
            return i;
    return -1;
}

// The word characters of the word scans: ASCII letters, digits and "_".
// The property of a drag's data that names the editor it comes from.
constexpr const char* DragSourceProperty = "textEditDragSource";

bool IsWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
}

}  // namespace

// ================================================================ construction

TCustomTextEdit::TCustomTextEdit(QWidget* parent) : QWidget(parent), FLines(new TTextEditStringList)
{
    FFont.Name = QStringLiteral("Courier New");
    FFont.Size = 10;
    FDrawer = std::make_unique<TheTextDrawer>(0, FFont);
    FUndoList.OnEntryAdded = [this](TTextEditUndoList*) { UndoListChanged(); };
    FLines->OnLinesInserted = [this](TTextEditStringList*, int index, int count) { LinesInserted(index, count); };
    FLines->OnLinesDeleted = [this](TTextEditStringList*, int index, int count) {
        // The lines below move up: the rest of the window repaints.
        InvalidateLines(index + 1, std::numeric_limits<int>::max());
        if (FHighlighter && FLines->Count() > 0)
            RescanRanges(index);
        if (FWrap)
            FWrap->MapLinesDeleted(index, count);
        NotifyLinesDeleted(index + 1, count);
        FGutterWidthPending = true;
    };
    FLines->OnLineReplaced = [this](TTextEditStringList*, int index, int count) {
        // With word wrap the line's rows may change in number.
        InvalidateLines(index + 1, FWrap ? std::numeric_limits<int>::max() : index + count);
        if (FHighlighter) {
            // The lines whose states changed repaint with it.
            const int last = RescanRanges(index);
            if (last > index)
                RepaintLineRange(index + 1, last + 1);
        }
        if (FWrap)
            FWrap->MapLinesReplaced(index, count);
        GrowMaxScrollWidth(index);
    };
    FLines->OnCleared = [this](TTextEditStringList*) { LinesCleared(); };
    FLines->OnChange = [this](TTextEditStringList*) {
        if (!FScanningRanges)
            LineStoreChanged();
    };
    FWordWrap.OnChange = [this](TTextPersistent*) { WordWrapChanged(); };
    FCodeFolding.OnChange = [this](TTextCodeFoldingChanges change) { CodeFoldingChanged(change); };
    FMarks.OnChange = [this](TTextEditMarkList*) { update(0, 0, FGutterPixels, ClientRect().height()); };
    FGutter.OnChange = [this](TTextPersistent*) { UpdateGutterWidth(); };
    FActiveLine.OnChange = [this](TTextPersistent*) { update(); };
    FBookMarkOptions.OnChange = [this](TTextPersistent*) { update(0, 0, FGutterPixels, ClientRect().height()); };
    FSelectedColor.OnChange = [this](TTextPersistent*) { update(); };
    FRightEdge.OnChange = [this](TTextPersistent*) { update(); };
    FScrollBars.OnChange = [this](TTextPersistent*) { SizeChanged(); };
    FKeystrokes.LoadDefaultKeys();
    FVScroll = new QScrollBar(Qt::Vertical, this);
    FHScroll = new QScrollBar(Qt::Horizontal, this);
    FVScroll->setCursor(Qt::ArrowCursor);
    FHScroll->setCursor(Qt::ArrowCursor);
    connect(FVScroll, &QScrollBar::valueChanged, this, [this] { Guarded("scroll", [&] { ScrollBarMoved(); }); });
    connect(FHScroll, &QScrollBar::valueChanged, this, [this] { Guarded("scroll", [&] { ScrollBarMoved(); }); });
    connect(FVScroll, &QScrollBar::actionTriggered, this,
            [this](int action) { Guarded("scroll", [&] { ScrollBarAction(Qt::Vertical, action); }); });
    connect(FHScroll, &QScrollBar::actionTriggered, this,
            [this](int action) { Guarded("scroll", [&] { ScrollBarAction(Qt::Horizontal, action); }); });
    connect(FVScroll, &QScrollBar::sliderReleased, this, [this] { Guarded("scroll", [&] { VScroll(scEndScroll, 0); }); });
    connect(FHScroll, &QScrollBar::sliderReleased, this, [this] { Guarded("scroll", [&] { HScroll(scEndScroll, 0); }); });
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    QWidget::setCursor(ScreenCursor(FCursorId));
    setMouseTracking(true);
    resize(200, 150);
    FGutterPixels = FGutter.Visible() ? FGutter.Width() : 0;
    FontChanged();
    FlushStatus();
}

TCustomTextEdit::~TCustomTextEdit()
{
    if (FHighlighter)
        FHighlighter->RemoveChangeListener(Method<void(void*)>(this, &TCustomTextEdit::HighlighterListener));
    // Last to first; each plugin takes itself out of the list as it goes.
    while (FPlugins && !FPlugins->empty())
        delete FPlugins->back();
    FPlugins.reset();
    FLines->OnLinesInserted = nullptr;
    FLines->OnLinesDeleted = nullptr;
    FLines->OnLineReplaced = nullptr;
    FLines->OnCleared = nullptr;
    FLines->OnChange = nullptr;
}

// ================================================================ plugins and marks

TTextEditPlugin::TTextEditPlugin(TCustomTextEdit* owner) : FOwner(owner)
{
    if (!FOwner)
        return;
    if (!FOwner->FPlugins)
        FOwner->FPlugins = std::make_unique<std::vector<TTextEditPlugin*>>();
    FOwner->FPlugins->push_back(this);
}

TTextEditPlugin::~TTextEditPlugin()
{
    if (!FOwner || !FOwner->FPlugins)
        return;
    auto& list = *FOwner->FPlugins;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TCustomTextEdit::NotifyLinesInserted(int firstLine, int count)
{
    for (int i = 0; i < FMarks.Count(); ++i) {
        TTextEditMark* mark = FMarks.Items(i);
        if (mark->MarkLine() >= firstLine)
            mark->SetMarkLine(mark->MarkLine() + count);
    }
    if (!FPlugins)
        return;
    // A copy: a plugin may free another while it is told.
    const std::vector<TTextEditPlugin*> plugins = *FPlugins;
    for (TTextEditPlugin* plugin : plugins)
        plugin->NotifyLinesAdded(firstLine, count);
}

void TCustomTextEdit::NotifyLinesDeleted(int firstLine, int count)
{
    for (int i = 0; i < FMarks.Count(); ++i) {
        TTextEditMark* mark = FMarks.Items(i);
        if (mark->MarkLine() >= firstLine + count)
            mark->SetMarkLine(mark->MarkLine() - count);
        else if (mark->MarkLine() > firstLine)
            mark->SetMarkLine(firstLine);
    }
    if (!FPlugins)
        return;
    const std::vector<TTextEditPlugin*> plugins = *FPlugins;
    for (TTextEditPlugin* plugin : plugins)
        plugin->NotifyLinesRemoved(firstLine, count);
}

// ================================================================ line store

void TCustomTextEdit::LinesInserted(int index, int count)
{
    InvalidateLines(index + 1, std::numeric_limits<int>::max());
    if (FHighlighter)
        RescanInsertedRanges(index, count);
    if (FWrap)
        FWrap->MapLinesInserted(index, count);
    NotifyLinesInserted(index + 1, count);
    FGutterWidthPending = true;
    GrowMaxScrollWidth(index);
}

void TCustomTextEdit::GrowMaxScrollWidth(int index)
{
    if (!HasOption(eoAutoSizeMaxScrollWidth) || index < 0 || index >= FLines->Count())
        return;
    const int length = FLines->ExpandedLineLength(index);
    if (length > FMaxScrollWidth)
        SetMaxScrollWidth(length);
}

void TCustomTextEdit::LinesCleared()
{
    if (FWrap)
        FWrap->Rebuild();
    FUndoList.ClearList();
    FRedoList.ClearList();
    FCaret = FAnchor = FSelEnd = BufferCoord(1, 1);
    FDesiredColumn = 1;
    FTopRow = FLeftColumn = 1;
    FGutterWidthPending = true;
    InvalidateClient();
    FStatusChanges |= scAll;
}

void TCustomTextEdit::LineStoreChanged()
{
    // A change made through the lines from outside the editor's own
    // operations collapses the selection at the caret.
    if (FPaintLock == 0) {
        FAnchor = FSelEnd = ClampPos(FCaret);
        FCaret = FAnchor;
    }
    if (FGutterWidthPending) {
        FGutterWidthPending = false;
        if (FGutter.Visible() && FGutter.ShowLineNumbers())
            UpdateGutterWidth(false);
    }
    if (!HasOption(eoScrollPastEof))
        SetTopRow(FTopRow);
    RefreshScrollBars();
    FlushStatus();
}

// ================================================================ bookmarks

TTextEditMark* TCustomTextEdit::Bookmark(int number) const
{
    return number >= 0 && number <= 9 ? FBookmarks[static_cast<size_t>(number)] : nullptr;
}

void TCustomTextEdit::DoPlaceBookmark(TTextEditMark*& mark)
{
    if (OnPlaceBookmark)
        OnPlaceBookmark(this, mark);
}

void TCustomTextEdit::DoClearBookmark(TTextEditMark*& mark)
{
    if (OnClearBookmark)
        OnClearBookmark(this, mark);
}

void TCustomTextEdit::PlaceBookmark(int number, int aChar, int line)
{
    if (number < 0 || number > 9 || line < 1 || line > std::max(1, FLines->Count()))
        return;
    auto mark = std::make_unique<TTextEditMark>();
    mark->SetMarkLine(line);
    mark->SetMarkChar(aChar);
    mark->SetPictureIndex(number);
    mark->SetBookmarkSlot(number);
    mark->SetShown(true);
    mark->SetBuiltInPicture(FBookMarkOptions.BookmarkImages() == nullptr);
    TTextEditMark* handed = mark.get();
    DoPlaceBookmark(handed);
    // The handler may refuse the mark; it may not swap in one of its own.
    if (handed != mark.get())
        return;
    RemoveBookmark(number);
    FBookmarks[static_cast<size_t>(number)] = mark.get();
    mark->OnChange = [this](TTextEditMark*) { update(0, 0, FGutterPixels, ClientRect().height()); };
    FMarks.Add(std::move(mark));
}

void TCustomTextEdit::RemoveBookmark(int number)
{
    TTextEditMark* mark = Bookmark(number);
    if (!mark)
        return;
    TTextEditMark* handed = mark;
    DoClearBookmark(handed);
    FBookmarks[static_cast<size_t>(number)] = nullptr;
    FMarks.Remove(mark);
}

void TCustomTextEdit::JumpToBookmark(int number)
{
    TTextEditMark* mark = Bookmark(number);
    if (!mark || mark->MarkLine() > FLines->Count())
        return;
    BeginPaintLock();
    FCaret = ClampPos(BufferCoord(mark->MarkChar(), mark->MarkLine()));
    FAnchor = FSelEnd = FCaret;
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    CenterCaretLine();
    EnsureCursorPosVisible();
    EndPaintLock();
    InvalidateClient();
}

void TCustomTextEdit::CenterCaretLine()
{
    const int row = BufferToDisplayPos(FCaret).Row;
    if (row < FTopRow || (FRowsInWindow > 0 && row >= FTopRow + FRowsInWindow))
        SetTopRow(row - FRowsInWindow / 2);
}

void TCustomTextEdit::PaintMarks(QPainter& painter, int firstRow, int lastRow)
{
    const int rh = RowHeight();
    if (!FBookMarkOptions.GlyphsVisible() || FMarks.Count() == 0) {
        if (OnGutterPaint)
            for (int row = firstRow; row <= lastRow && row <= DisplayRowCount(); ++row)
                OnGutterPaint(this, RowToLine(row), 0, (row - FTopRow) * rh);
        return;
    }
    std::vector<int> offsets(static_cast<size_t>(std::max(0, lastRow - firstRow + 1)), 0);
    TCanvas canvas(painter);
    const QList<QImage>* images = FBookMarkOptions.BookmarkImages();
    auto draw = [&](TTextEditMark* mark) {
        const int row = LineToRow(mark->MarkLine());
        if (row < firstRow || row > lastRow)
            return;
        int& offset = offsets[static_cast<size_t>(row - firstRow)];
        const int top = (row - FTopRow) * rh;
        if (mark->BuiltInPicture() || !images) {
            if (mark->PictureIndex() > 9)
                return;
            if (!FInternalImage)
                FInternalImage = std::make_unique<TTextInternalImage>(QStringLiteral("TextEditInternalImages"), 10);
            if (offset == 0)
                FInternalImage->Draw(canvas, mark->PictureIndex(), FBookMarkOptions.LeftMargin() + offset, top, rh);
        } else {
            if (mark->PictureIndex() < 0 || mark->PictureIndex() >= images->size())
                return;
            if (mark->IsNumbered() == FBookMarkOptions.DrawBookmarksFirst())
                offset = 0;
            else if (offset == 0)
                offset = FBookMarkOptions.Xoffset();
            painter.drawImage(FBookMarkOptions.LeftMargin() + offset, top, images->at(mark->PictureIndex()));
        }
        offset += FBookMarkOptions.Xoffset();
    };
    std::vector<TTextEditMark*> later;
    for (int i = 0; i < FMarks.Count(); ++i) {
        TTextEditMark* mark = FMarks.Items(i);
        if (!mark->Shown())
            continue;
        if (mark->IsNumbered() == FBookMarkOptions.DrawBookmarksFirst())
            draw(mark);
        else
            later.push_back(mark);
    }
    for (TTextEditMark* mark : later)
        draw(mark);
    if (OnGutterPaint)
        for (int row = firstRow; row <= lastRow && row <= DisplayRowCount(); ++row)
            OnGutterPaint(this, RowToLine(row), offsets[static_cast<size_t>(row - firstRow)], (row - FTopRow) * rh);
}

void TCustomTextEdit::SetHighlighter(TTextCustomHighlighter* value)
{
    if (value == FHighlighter)
        return;
    if (FHighlighter)
        FHighlighter->RemoveChangeListener(Method<void(void*)>(this, &TCustomTextEdit::HighlighterListener));
    FHighlighter = value;
    if (FHighlighter)
        FHighlighter->AddChangeListener(Method<void(void*)>(this, &TCustomTextEdit::HighlighterListener));
    HighlighterChanged();
    HighlighterAttributesChanged();
}

void TCustomTextEdit::HighlighterChanged()
{
    if (FHighlighter)
        ScanAllRanges();
    FontChanged();
    InvalidateClient();
}

std::intptr_t TCustomTextEdit::ScanLineRange(int index)
{
    if (index == 0)
        FHighlighter->ClearRange();
    else
        FHighlighter->RestoreRange(reinterpret_cast<void*>(FLines->LineRange(index - 1)));
    FHighlighter->SetLine(FLines->Get(index), index + 1);
    FHighlighter->SkipToEndOfLine();
    return reinterpret_cast<std::intptr_t>(FHighlighter->CurrentRange());
}

int TCustomTextEdit::RescanRanges(int index)
{
    if (!FHighlighter || index < 0 || index >= FLines->Count())
        return index;
    int i = index;
    InRangeScan([&] {
        for (;; ++i) {
            const std::intptr_t range = ScanLineRange(i);
            if (range == FLines->LineRange(i))
                break;
            FLines->SetLineRange(i, range);
            if (i == FLines->Count() - 1)
                break;
        }
    });
    return i;
}

void TCustomTextEdit::InRangeScan(const std::function<void()>& scan)
{
    // Storing a state changes no text: the store's update bracket is held
    // so the editor does not take it for an edit.
    FScanningRanges = true;
    FLines->BeginUpdate();
    try {
        scan();
    } catch (...) {
        FLines->EndUpdate();
        FScanningRanges = false;
        throw;
    }
    FLines->EndUpdate();
    FScanningRanges = false;
}

void TCustomTextEdit::ScanAllRanges()
{
    if (!FHighlighter)
        return;
    InRangeScan([&] {
        for (int i = 0; i < FLines->Count(); ++i)
            FLines->SetLineRange(i, ScanLineRange(i));
    });
}

void TCustomTextEdit::RescanInsertedRanges(int index, int count)
{
    // Line by line until the inserted lines are covered; a rescan goes on
    // past them as long as the states it leaves change.
    for (int i = index; i < index + count && i < FLines->Count();)
        i = RescanRanges(i) + 1;
}

void TCustomTextEdit::PaintPlugins(QPainter& painter, const QRect& clip, int firstRow, int lastRow)
{
    const int lastTextRow = std::min(lastRow, DisplayRowCount());
    if (FPlugins && !FPlugins->empty() && firstRow <= lastTextRow) {
        const std::vector<TTextEditPlugin*> plugins = *FPlugins;
        for (TTextEditPlugin* plugin : plugins) {
            painter.save();
            TCanvas canvas(painter);
            canvas.Font = FFont;
            canvas.BrushColor = FColor;
            plugin->PaintOverlay(canvas, clip, RowToLine(firstRow), RowToLine(lastTextRow));
            painter.restore();
        }
    }
    painter.save();
    TCanvas canvas(painter);
    canvas.Font = FFont;
    canvas.BrushColor = FColor;
    DoPaint(canvas);
    painter.restore();
}

void TCustomTextEdit::DoPaint(TCanvas& canvas)
{
    if (OnPaint)
        OnPaint(this, canvas);
}

// ================================================================ text access

QString TCustomTextEdit::ReadFullText() const
{
    // Collapsed ranges are read expanded; without folding the lines are
    // read where they are.
    if (FCodeFolding.Enabled()) {
        const QStringList lines = ExpandedCopyOfLines();
        QString result;
        for (const QString& line : lines)
            result += line + QLatin1String("\r\n");
        return result;
    }
    const int count = FLines->Count();
    qsizetype size = 0;
    for (int i = 0; i < count; ++i)
        size += FLines->Get(i).size() + 2;
    QString result;
    result.reserve(size);
    for (int i = 0; i < count; ++i) {
        result += FLines->Get(i);
        result += QLatin1String("\r\n");
    }
    return result;
}

QStringList TCustomTextEdit::ExpandedCopyOfLines() const
{
    return FLines->ToStringList();
}

void TCustomTextEdit::CodeFoldingChanged(TTextCodeFoldingChanges change)
{
    // Room for the fold bar; it is not taken back when folding goes off.
    if (change == fcEnabled && FCodeFolding.Enabled() && FGutter.RightOffset() < 18)
        FGutter.SetRightOffset(18);
    InvalidateClient();
}

void TCustomTextEdit::PaintFoldBar(QPainter& painter, int firstRow, int lastRow)
{
    (void)painter;
    (void)firstRow;
    (void)lastRow;
}

void TCustomTextEdit::ReplaceAllText(const QString& text)
{
    BeginPaintLock();
    FUndoList.OpenBlock();
    try {
        SelectWholeText();
        SetSelectedText(text);
    } catch (...) {
        FUndoList.CloseBlock();
        EndPaintLock();
        throw;
    }
    FUndoList.CloseBlock();
    EndPaintLock();
}

QString TCustomTextEdit::CaretLineText() const
{
    if (FCaret.Line < 1 || FCaret.Line > FLines->Count())
        return QString();
    return FLines->Get(FCaret.Line - 1);
}

void TCustomTextEdit::SetCaretLineText(const QString& text)
{
    if (FCaret.Line < 1 || FCaret.Line > std::max(1, FLines->Count()))
        return;
    if (FLines->Count() == 0)
        FLines->Add(text);
    else
        FLines->Put(FCaret.Line - 1, text);
    InvalidateClient();
}

void TCustomTextEdit::ClearContent()
{
    BeginPaintLock();
    FBookmarks.fill(nullptr);
    FMarks.RemoveAllMarks();
    FLines->Clear();
    FUndoList.ClearList();
    FRedoList.ClearList();
    FUndoList.MarkInitialState(true);
    FModified = false;
    FCaret = FAnchor = FSelEnd = BufferCoord(1, 1);
    FDesiredColumn = 1;
    FTopRow = FLeftColumn = 1;
    RefreshScrollBars();
    InvalidateClient();
    FStatusChanges |= scAll;
    EndPaintLock();
}

TBufferCoord TCustomTextEdit::CharIndexToCaretPos(int index) const
{
    const int count = FLines->Count();
    if (count == 0 || index <= 0)
        return BufferCoord(1, 1);
    // Every line but the last is followed by its break of two characters;
    // an index inside a break stands past the line's end.
    qsizetype offset = 0;
    for (int i = 0; i < count; ++i) {
        const QString line = FLines->Get(i);
        const qsizetype length = line.size();
        const qsizetype room = i + 1 < count ? length + 2 : length;
        if (index < offset + room) {
            const qsizetype at = index - offset;
            if (at <= length)
                return BufferCoord(IndexToCell(line, static_cast<int>(at)) + 1, i + 1);
            return BufferCoord(CellLength(line) + static_cast<int>(at - length) + 1, i + 1);
        }
        offset += length + 2;
    }
    // At or past the end of the text: the line after the last one, which the
    // caret setter turns into the start of the last line.
    return BufferCoord(1, count + 1);
}

void TCustomTextEdit::PlaceCaretAtCharIndex(int index)
{
    PlaceCaretCollapsed(CharIndexToCaretPos(index));
}

// ================================================================ coordinates

int TCustomTextEdit::LineCells(int line) const
{
    return CellLength(FLines->Get(line - 1));
}

TDisplayPos TCustomTextEdit::BufferToDisplayPos(const TBufferCoord& p) const
{
    int column = 0;
    if (p.Line >= 1 && p.Line <= FLines->Count()) {
        const QString line = FLines->Get(p.Line - 1);
        int cell = 0;
        for (QChar c : line) {
            if (cell >= p.Char - 1)
                break;
            if (c == QLatin1Char('\t'))
                column += FTabWidth - (column % FTabWidth);
            else
                column += CellsOf(c);
            cell += CellsOf(c);
        }
        if (cell < p.Char - 1)
            column += p.Char - 1 - cell;
    } else {
        column = p.Char - 1;
    }
    if (FWrap)
        return FWrap->TextToScreen(BufferCoord(column + 1, p.Line));
    return DisplayPos(column + 1, p.Line);
}

// ================================================================ word wrap

int TCustomTextEdit::DisplayRowCount() const
{
    return FWrap ? FWrap->TotalRows() : FLines->Count();
}

int TCustomTextEdit::LineToRow(int line) const
{
    return FWrap ? FWrap->TextToScreen(BufferCoord(1, line)).Row : line;
}

int TCustomTextEdit::RowToLine(int row) const
{
    return FWrap ? FWrap->ScreenToText(DisplayPos(1, row)).Line : row;
}

std::pair<int, int> TCustomTextEdit::RowCells(int row) const
{
    if (!FWrap || row < 1 || row > FWrap->TotalRows())
        return {0, -1};
    const int line = RowToLine(row);
    const int first = FWrap->FirstRowOf(line - 1) + 1;
    int start = 0;
    for (int r = first; r < row; ++r)
        start += FWrap->RowLength(r);
    return {start, FWrap->RowLength(row)};
}

int TCustomTextEdit::TWrapHost::WrapLineCount() const
{
    return FEditor->FLines->Count();
}

QString TCustomTextEdit::TWrapHost::WrapExpandedLine(int index) const
{
    return FEditor->FLines->ExpandedLine(index);
}

int TCustomTextEdit::TWrapHost::WrapWidth() const
{
    int width = FEditor->FColumnsInWindow;
    switch (FEditor->FWordWrap.Style()) {
    case wwsClientWidth: break;
    case wwsRightEdge: width = FEditor->FRightEdge.Position(); break;
    case wwsSpecified: width = FEditor->FWordWrap.Position(); break;
    }
    // Rows hold at most 255 cells.
    return MinMax(width, 0, 255);
}

TCharSet TCustomTextEdit::TWrapHost::WrapIdentifierChars() const
{
    if (FEditor->FHighlighter)
        return FEditor->FHighlighter->IdentifierChars();
    TCharSet chars;
    for (size_t c = 33; c <= 255; ++c)
        chars.set(c);
    return chars;
}

void TCustomTextEdit::WordWrapChanged()
{
    if (FWordWrap.Enabled() != WordWrapActive())
        SetSoftWrap(FWordWrap.Enabled());
    else if (FWrap)
        FWrap->WidthMayHaveChanged();
    InvalidateClient();
}

void TCustomTextEdit::SetSoftWrap(bool on)
{
    if (on == WordWrapActive())
        return;
    // The same line stays at the top and a caret in view stays in view.
    const TDisplayPos caret = BufferToDisplayPos(FCaret);
    const bool caretVisible = caret.Row >= FTopRow && caret.Row < FTopRow + std::max(1, FRowsInWindow);
    const int topLine = RowToLine(FTopRow);
    if (on) {
        FWrap = std::make_unique<TTextWordWrapPlugin>(&FWrapHost);
        FLeftColumn = 1;
    } else {
        FWrap.reset();
    }
    FTopRow = 1;
    SetTopRow(LineToRow(topLine));
    RefreshScrollBars();
    if (caretVisible)
        EnsureCursorPosVisible();
    InvalidateClient();
}

TBufferCoord TCustomTextEdit::DisplayToBufferPos(const TDisplayPos& pos) const
{
    // With word wrap the row's column is first made a column of its line.
    TDisplayPos p = pos;
    if (FWrap) {
        const TBufferCoord t = FWrap->ScreenToText(pos);
        p = DisplayPos(t.Char, t.Line);
    }
    const int lineNo = p.Row;
    if (lineNo < 1 || lineNo > FLines->Count())
        return BufferCoord(p.Column, lineNo);
    const QString line = FLines->Get(lineNo - 1);
    int column = 0;
    int cell = 0;
    for (QChar c : line) {
        if (c == QLatin1Char('\t')) {
            column += FTabWidth - (column % FTabWidth);
            ++cell;
            if (column >= p.Column)
                return BufferCoord(cell, lineNo);
        } else {
            for (int k = 0; k < CellsOf(c); ++k) {
                ++column;
                ++cell;
                if (column >= p.Column) {
                    int result = cell;
                    if (IsTrailCell(line, result))
                        ++result;
                    return BufferCoord(result, lineNo);
                }
            }
        }
    }
    return BufferCoord(cell + std::max(1, p.Column - column), lineNo);
}

int TCustomTextEdit::RowHeight() const
{
    int extra = 2;
    switch (FLineSpacingRule) {
    case lsSingle: extra = 2; break;
    case lsOneAndHalf: extra = static_cast<int>(std::nearbyint(FTextHeight * 0.5)) + 2; break;
    case lsDouble: extra = FTextHeight + 2; break;
    case lsSpecified: extra = FLineSpacing; break;
    }
    // A negative spacing must not leave rows of no height (divisions by it).
    return std::max(1, FTextHeight + extra);
}

QPoint TCustomTextEdit::DisplayPosToPixels(const TDisplayPos& p) const
{
    const int textLeft = FGutterPixels + 2 - (FLeftColumn - 1) * FCharWidth;
    return QPoint((p.Column - 1) * FCharWidth + textLeft, RowHeight() * (p.Row - FTopRow));
}

TDisplayPos TCustomTextEdit::PixelsToDisplayPos(int x, int y) const
{
    const int cw = std::max(1, FCharWidth);
    return DisplayPos(std::max(1, (x - FGutterPixels - 2) / cw + FLeftColumn),
                      std::max(1, y / RowHeight() + FTopRow));
}

TDisplayPos TCustomTextEdit::PixelsToNearestRowColumn(int x, int y) const
{
    const int rh = RowHeight();
    if (y >= rh * FRowsInWindow)
        y = std::max(0, rh * FRowsInWindow - 1);
    const float q = static_cast<float>(x - FGutterPixels - 2) / static_cast<float>(std::max(1, FCharWidth));
    const int column = std::max(1, FLeftColumn + static_cast<int>(std::nearbyint(q)));
    return DisplayPos(column, std::max(1, y / rh + FTopRow));
}

void TCustomTextEdit::MoveCaretToPixel(int x, int y)
{
    TDisplayPos p = PixelsToNearestRowColumn(x, y);
    p.Row = MinMax(p.Row, 1, std::max(1, DisplayRowCount()));
    BeginPaintLock();
    SetCaretPos(DisplayToBufferPos(p));
    EndPaintLock();
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
}

void TCustomTextEdit::SetTopRow(int value)
{
    int maxTop = std::max(1, DisplayRowCount());
    if (!HasOption(eoScrollPastEof))
        maxTop = std::max(1, DisplayRowCount() - FRowsInWindow + 1);
    value = MinMax(value, 1, maxTop);
    if (value == FTopRow)
        return;
    const int distance = FTopRow - value;
    FTopRow = value;
    // Less than a window: the pixels move with the rows (the gutter too),
    // and only the uncovered rows paint.
    if (std::abs(distance) < FRowsInWindow && isVisible()) {
        scroll(0, distance * RowHeight(), ClientRect());
        KeepRightEdgeDragLine(0);
    } else {
        InvalidateClient();
    }
    RefreshScrollBars();
    ReportStatusChange(0);
}

void TCustomTextEdit::SetLeftColumn(int value)
{
    if (FWrap && FColumnsInWindow >= FWrapHost.WrapWidth())
        value = 1;
    // The last column can stand at the right of the window, no further.
    int maxLeft = 1;
    if (HasOption(eoScrollPastEol)) {
        maxLeft = HasOption(eoAutoSizeMaxScrollWidth) ? std::numeric_limits<int>::max() - FColumnsInWindow
                                                      : FMaxScrollWidth - FColumnsInWindow + 1;
    } else {
        const int longest = FWrap ? FWrapHost.WrapWidth() : FLines->LongestLineLength();
        if (longest > FColumnsInWindow)
            maxLeft = longest - FColumnsInWindow + 1;
    }
    value = MinMax(value, 1, std::max(1, maxLeft));
    if (value == FLeftColumn)
        return;
    const int distance = FLeftColumn - value;
    FLeftColumn = value;
    const QRect client = ClientRect();
    if (std::abs(distance) < FColumnsInWindow && isVisible()) {
        // The text right of its margin moves; the margin itself paints
        // again, as a selection reaching left of the first column shows in it.
        const QRect text(FGutterPixels + 2, 0, client.width() - FGutterPixels - 2, client.height());
        scroll(distance * FCharWidth, 0, text);
        update(QRect(FGutterPixels, 0, 2, client.height()));
        KeepRightEdgeDragLine(distance * FCharWidth);
    } else {
        RepaintLineRange(-1, -1);
    }
    if (HasOption(eoAutoSizeMaxScrollWidth) && HasOption(eoScrollPastEol) &&
        FMaxScrollWidth < FLeftColumn + FColumnsInWindow)
        FMaxScrollWidth = std::min(2147483646, FLeftColumn + FColumnsInWindow);
    RefreshScrollBars();
    ReportStatusChange(0);
    RepaintLineRange(FCaret.Line, FCaret.Line);
}

// ================================================================ font and sizes

void TCustomTextEdit::SetFont(const TFont& value)
{
    // The drawer lays every character in its cell, so a proportional font
    // is drawn as a fixed-pitch one of its name, size, style and colour.
    FFont = value;
    FontChanged();
}

void TCustomTextEdit::FontChanged()
{
    FDrawer->SetBaseFont(FFont);
    FCharWidth = std::max(1, FDrawer->CellWidth());
    FTextHeight = std::max(1, FDrawer->CellHeight());
    UpdateGutterWidth();
    SizeChanged();
}

void TCustomTextEdit::UpdateGutterWidth(bool repaintGutter)
{
    int width = 0;
    if (FGutter.Visible()) {
        if (FGutter.ShowLineNumbers())
            FGutter.FitDigitCount(FLines->Count());
        width = FGutter.PaintedWidth(FCharWidth);
    }
    if (width != FGutterPixels) {
        FGutterPixels = std::max(0, width);
        SizeChanged();
        InvalidateClient();
    } else if (repaintGutter) {
        RepaintGutter();
    }
}

void TCustomTextEdit::SizeChanged()
{
    const TScrollStyle style = FScrollBars.ScrollBars();
    const bool vertical = style == ssVertical || style == ssBoth;
    const bool horizontal = style == ssHorizontal || style == ssBoth;
    FVScroll->setVisible(vertical);
    FHScroll->setVisible(horizontal);
    const int vw = vertical ? FVScroll->sizeHint().width() : 0;
    const int hh = horizontal ? FHScroll->sizeHint().height() : 0;
    const int clientW = width() - vw;
    const int clientH = height() - hh;
    FColumnsInWindow = std::max(clientW - FGutterPixels - 2, 0) / std::max(1, FCharWidth);
    FRowsInWindow = std::max(0, clientH) / RowHeight();
    FVScroll->setGeometry(width() - vw, 0, vw, clientH);
    FHScroll->setGeometry(0, height() - hh, clientW, hh);
    if (FWrap)
        FWrap->WidthMayHaveChanged();
    RefreshScrollBars();
    InvalidateClient();
}

namespace {

// Ranges beyond 32767 go onto a 0..32767 scale.
constexpr int ScrollScale = 32767;

TTextScrollInfo ScrollInfoFor(int range, int page, int pos, bool disableNoScroll)
{
    TTextScrollInfo info;
    info.Mask = sifRange | sifPage | sifPos | sifTrackPos | (disableNoScroll ? sifDisableNoScroll : 0u);
    if (range <= ScrollScale) {
        info.Min = 1;
        info.Max = std::max(1, range);
        info.Page = static_cast<unsigned>(std::max(0, page));
        info.Pos = pos;
    } else {
        info.Min = 0;
        info.Max = ScrollScale;
        info.Page = static_cast<unsigned>(std::max(0, MulDiv(ScrollScale, page, range)));
        info.Pos = MulDiv(ScrollScale, pos, range);
    }
    info.TrackPos = info.Pos;
    return info;
}

// Arrow states as the custom scroll-bar events take them.
constexpr int ArrowsEnabled = 0, FirstArrowDisabled = 1, LastArrowDisabled = 2, ArrowsDisabled = 3;

}  // namespace

int TCustomTextEdit::HorizontalScrollRange()
{
    if (FWrap && !HasOption(eoScrollPastEol))
        return std::max(1, FWrapHost.WrapWidth());
    return HasOption(eoScrollPastEol) ? FMaxScrollWidth : std::max(1, FLines->LongestLineLength());
}

int TCustomTextEdit::VerticalScrollRange() const
{
    return DisplayRowCount() + (HasOption(eoScrollPastEof) ? FRowsInWindow - 1 : 0);
}

void TCustomTextEdit::ApplyScrollInfo(QScrollBar* bar, TTextEditScrollBar* custom, const TTextScrollInfo& info,
                                      bool show, int arrows)
{
    if (FScrollBars.Style() == sbsCustom) {
        // The application's own scroll bars get the calls; a missing one is skipped.
        if (custom) {
            custom->ShowScrollBar(show);
            if (show) {
                custom->SetScrollInfo(info, true);
                custom->EnableScrollBar(arrows);
            }
        }
        return;
    }
    bar->setVisible(show);
    // A bar's range ends where the last page begins.
    bar->setRange(info.Min, std::max(info.Min, info.Max - static_cast<int>(info.Page) + 1));
    bar->setPageStep(std::max(1, static_cast<int>(info.Page)));
    bar->setValue(info.Pos);
    // One arrow cannot be disabled alone: the bar is disabled when both are.
    bar->setEnabled(arrows != ArrowsDisabled);
}

void TCustomTextEdit::RefreshScrollBars()
{
    if (FPaintLock > 0 || FUpdatingScrollBars)
        return;
    FUpdatingScrollBars = true;
    const TScrollStyle style = FScrollBars.ScrollBars();
    const bool hideShow = HasOption(eoHideShowScrollbars);
    const bool arrowsByState = HasOption(eoDisableScrollArrows);
    {
        const int m = HorizontalScrollRange();
        const TTextScrollInfo info = ScrollInfoFor(m, FColumnsInWindow, FLeftColumn, !hideShow);
        bool show = style == ssHorizontal || style == ssBoth;
        if (show && hideShow && info.Min == 1 && info.Max <= FColumnsInWindow)
            show = false;
        int arrows = ArrowsEnabled;
        if (arrowsByState || m <= FColumnsInWindow) {
            const int e = FLeftColumn + FColumnsInWindow - 1;
            if (FLeftColumn <= 1 && m <= e)
                arrows = ArrowsDisabled;
            else if (FLeftColumn <= 1)
                arrows = FirstArrowDisabled;
            else if (m <= e)
                arrows = LastArrowDisabled;
        }
        ApplyScrollInfo(FHScroll, FScrollBars.Horizontal(), info, show, arrows);
    }
    {
        const int m = VerticalScrollRange();
        const TTextScrollInfo info = ScrollInfoFor(m, FRowsInWindow, FTopRow, !hideShow);
        bool show = style == ssVertical || style == ssBoth;
        if (show && hideShow && info.Min == 1 && info.Max <= FRowsInWindow)
            show = false;
        int arrows = ArrowsEnabled;
        if (arrowsByState || m <= FRowsInWindow) {
            if (FTopRow <= 1 && m <= FRowsInWindow)
                arrows = ArrowsDisabled;
            else if (FTopRow <= 1)
                arrows = FirstArrowDisabled;
            else if (DisplayRowCount() - FTopRow - FRowsInWindow + 1 == 0)
                arrows = LastArrowDisabled;
        }
        ApplyScrollInfo(FVScroll, FScrollBars.Vertical(), info, show, arrows);
    }
    if (FScrollBars.Style() == sbsCustom) {
        FHScroll->hide();
        FVScroll->hide();
    }
    FUpdatingScrollBars = false;
}

void TCustomTextEdit::ScrollBarMoved()
{
    if (FUpdatingScrollBars)
        return;
    // A value the program gave the bar: scaled back like a thumb position.
    const int v = VerticalScrollRange();
    const int h = HorizontalScrollRange();
    const int row = v > ScrollScale ? MulDiv(v, FVScroll->value(), ScrollScale) : FVScroll->value();
    const int column = h > ScrollScale ? MulDiv(h, FHScroll->value(), ScrollScale) : FHScroll->value();
    if (ScrollInfoFor(v, FRowsInWindow, FTopRow, false).Pos != FVScroll->value())
        SetTopRow(row);
    if (ScrollInfoFor(h, FColumnsInWindow, FLeftColumn, false).Pos != FHScroll->value())
        SetLeftColumn(column);
}

void TCustomTextEdit::ScrollBarAction(Qt::Orientation orientation, int action)
{
    QScrollBar* bar = orientation == Qt::Vertical ? FVScroll : FHScroll;
    TScrollCode code = scEndScroll;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = scLineDown; break;
    case QAbstractSlider::SliderSingleStepSub: code = scLineUp; break;
    case QAbstractSlider::SliderPageStepAdd: code = scPageDown; break;
    case QAbstractSlider::SliderPageStepSub: code = scPageUp; break;
    case QAbstractSlider::SliderToMinimum: code = scTop; break;
    case QAbstractSlider::SliderToMaximum: code = scBottom; break;
    case QAbstractSlider::SliderMove: code = scTrack; break;
    default: return;
    }
    if (orientation == Qt::Vertical)
        VScroll(code, bar->sliderPosition());
    else
        HScroll(code, bar->sliderPosition());
    // The bar ends where the editor put it.
    FUpdatingScrollBars = true;
    const TTextScrollInfo info = orientation == Qt::Vertical
                                     ? ScrollInfoFor(VerticalScrollRange(), FRowsInWindow, FTopRow, false)
                                     : ScrollInfoFor(HorizontalScrollRange(), FColumnsInWindow, FLeftColumn, false);
    bar->setSliderPosition(info.Pos);
    FUpdatingScrollBars = false;
}

void TCustomTextEdit::HScroll(TScrollCode code, int position)
{
    const int page = HasOption(eoScrollByOneLess) ? FColumnsInWindow - 1 : FColumnsInWindow;
    const int m = HorizontalScrollRange();
    switch (code) {
    case scLineUp: SetLeftColumn(FLeftColumn - 1); break;
    case scLineDown: SetLeftColumn(FLeftColumn + 1); break;
    case scPageUp: SetLeftColumn(FLeftColumn - page); break;
    case scPageDown: SetLeftColumn(FLeftColumn + page); break;
    case scPosition:
    case scTrack:
        FThumbTracking = true;
        SetLeftColumn(m > ScrollScale ? MulDiv(m, position, ScrollScale) : position);
        break;
    case scTop: SetLeftColumn(1); break;
    case scBottom:
        SetLeftColumn(HasOption(eoScrollPastEol) ? FMaxScrollWidth - FColumnsInWindow + 1 : FLines->LongestLineLength());
        break;
    case scEndScroll: FThumbTracking = false; break;
    }
    InvalidateClient();
    if (OnScroll)
        OnScroll(this, sbHorizontal);
}

void TCustomTextEdit::VScroll(TScrollCode code, int position)
{
    const int page = HasOption(eoScrollByOneLess) ? FRowsInWindow - 1 : FRowsInWindow;
    switch (code) {
    case scLineUp: SetTopRow(FTopRow - 1); break;
    case scLineDown: SetTopRow(FTopRow + 1); break;
    case scPageUp: SetTopRow(FTopRow - page); break;
    case scPageDown: SetTopRow(FTopRow + page); break;
    case scPosition:
    case scTrack: {
        FThumbTracking = true;
        const int m = VerticalScrollRange();
        SetTopRow(m > ScrollScale ? MulDiv(m, position, ScrollScale) : position);
        if (HasOption(eoShowScrollHint))
            ShowScrollHint();
        break;
    }
    case scTop: SetTopRow(1); break;
    case scBottom: SetTopRow(DisplayRowCount()); break;
    case scEndScroll:
        FThumbTracking = false;
        if (HasOption(eoShowScrollHint) && FScrollHint)
            FScrollHint->hide();
        break;
    }
    InvalidateClient();
    if (OnScroll)
        OnScroll(this, sbVertical);
}

QRect TCustomTextEdit::ClientRect() const
{
    const int vw = FVScroll->isVisibleTo(this) ? FVScroll->width() : 0;
    const int hh = FHScroll->isVisibleTo(this) ? FHScroll->height() : 0;
    return QRect(0, 0, std::max(0, width() - vw), std::max(0, height() - hh));
}

void TCustomTextEdit::InvalidateClient()
{
    // The scroll bars repaint themselves when they change.
    update(ClientRect());
}

QWidget* TCustomTextEdit::ScrollHintWindow() const
{
    return FScrollHint.get();
}

QString TCustomTextEdit::ScrollHintText() const
{
    if (FScrollBars.HintFormat() == shfTopToBottom)
        return QStringLiteral("%1 - %2")
            .arg(RowToLine(FTopRow))
            .arg(RowToLine(FTopRow + std::min(FRowsInWindow, DisplayRowCount() - FTopRow)));
    return QStringLiteral("Top Line: %1").arg(RowToLine(FTopRow));
}

void TCustomTextEdit::ShowScrollHint()
{
    if (!FScrollHint) {
        FScrollHint = std::make_unique<QLabel>(nullptr, Qt::ToolTip);
        FScrollHint->setMargin(2);
        FScrollHint->setFrameStyle(QFrame::Box | QFrame::Plain);
        FScrollHint->setAutoFillBackground(true);
    }
    QPalette palette = FScrollHint->palette();
    palette.setColor(QPalette::Window, ToQColor(FScrollBars.HintColor()));
    FScrollHint->setPalette(palette);
    FScrollHint->setMaximumWidth(200);
    FScrollHint->setText(ScrollHintText());
    FScrollHint->adjustSize();
    const QSize size = FScrollHint->size();
    const int clientW = width() - (FVScroll->isVisible() ? FVScroll->width() : 0);
    int y = 10;
    if (HasOption(eoShowScrollHint) && HasOption(eoScrollHintFollows) && FVScroll->maximum() > 0) {
        const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const int clientH = height() - (FHScroll->isVisible() ? FHScroll->height() : 0);
        y = arrow + static_cast<int>(std::lround(static_cast<double>(clientH - 2 * arrow) * FVScroll->sliderPosition() /
                                                 FVScroll->maximum())) +
            size.height() / 2;
    }
    FScrollHint->move(mapToGlobal(QPoint(clientW - size.width() - 4, y)));
    FScrollHint->show();
    FScrollHint->repaint();
}

void TCustomTextEdit::EnsureCursorPosVisible()
{
    const TDisplayPos p = BufferToDisplayPos(FCaret);
    if (p.Column < FLeftColumn)
        SetLeftColumn(p.Column);
    else if (FColumnsInWindow > 0 && p.Column >= FLeftColumn + FColumnsInWindow)
        // The view jumps ahead, leaving room to type on.
        SetLeftColumn(p.Column - FColumnsInWindow + 24);
    if (p.Row < FTopRow)
        SetTopRow(p.Row);
    else if (FRowsInWindow > 0 && p.Row >= FTopRow + FRowsInWindow)
        SetTopRow(p.Row - FRowsInWindow + 1);
}

void TCustomTextEdit::BeginPaintLock()
{
    if (FPaintLock++ == 0) {
        FLockCaret = FCaret;
        FLockAnchor = FAnchor;
        FLockSelEnd = FSelEnd;
        FLockSelection = SelectionAvailable();
    }
}

void TCustomTextEdit::EndPaintLock()
{
    if (FPaintLock == 0)
        return;
    if (--FPaintLock == 0) {
        RefreshScrollBars();
        // Rows whose caret or selection changed under the lock repaint; the
        // text changes repainted their own lines.
        if (!(FLockCaret == FCaret)) {
            InvalidateLine(FLockCaret.Line);
            InvalidateLine(FCaret.Line);
        }
        const bool selection = SelectionAvailable();
        if ((selection || FLockSelection) && !(FLockAnchor == FAnchor && FLockSelEnd == FSelEnd)) {
            int first = std::numeric_limits<int>::max();
            int last = 0;
            for (const TBufferCoord& p : {FLockAnchor, FLockSelEnd, FAnchor, FSelEnd}) {
                first = std::min(first, p.Line);
                last = std::max(last, p.Line);
            }
            RepaintLineRange(first, last);
        }
        FlushStatus();
    }
}

// ================================================================ invalidation

QRect TCustomTextEdit::LinesRect(int firstLine, int lastLine, int left, int right) const
{
    const QRect client = ClientRect();
    if (!isVisible() || left >= right)
        return {};
    const int rh = RowHeight();
    int firstRow = 1;
    int lastRow = std::numeric_limits<int>::max();
    if (firstLine != -1 || lastLine != -1) {
        firstLine = std::max(1, firstLine);
        lastLine = std::max(1, lastLine);
        if (firstLine > lastLine)
            std::swap(firstLine, lastLine);
        firstRow = LineToRow(std::min(firstLine, std::max(1, FLines->Count())));
        if (firstLine > FLines->Count())
            firstRow = DisplayRowCount() + 1;
        // A last line at or past the end reaches the window's bottom: the
        // rows below the text may have held lines.
        if (lastLine < FLines->Count())
            lastRow = LineToRow(lastLine + 1) - 1;
    }
    firstRow = std::max(firstRow, FTopRow);
    if (lastRow < firstRow || firstRow > FTopRow + FRowsInWindow)
        return {};
    const int top = (firstRow - FTopRow) * rh;
    const int bottom = lastRow == std::numeric_limits<int>::max() || lastRow >= FTopRow + FRowsInWindow
                           ? client.bottom() + 1
                           : (lastRow - FTopRow + 1) * rh;
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & client;
}

void TCustomTextEdit::RepaintLineRange(int firstLine, int lastLine)
{
    const QRect r = LinesRect(firstLine, lastLine, FGutterPixels, ClientRect().width());
    if (!r.isEmpty())
        update(r);
}

void TCustomTextEdit::InvalidateGutterLines(int firstLine, int lastLine)
{
    const QRect r = LinesRect(firstLine, lastLine, 0, FGutterPixels);
    if (!r.isEmpty())
        update(r);
}

void TCustomTextEdit::InvalidateLines(int firstLine, int lastLine)
{
    const QRect r = LinesRect(firstLine, lastLine, 0, ClientRect().width());
    if (!r.isEmpty())
        update(r);
}

void TCustomTextEdit::InvalidateSelection()
{
    if (SelectionAvailable())
        RepaintLineRange(SelectionBegin().Line, SelectionEnd().Line);
}

// ================================================================ status

void TCustomTextEdit::ReportStatusChange(TTextStatusChanges changes)
{
    FStatusChanges |= changes;
    FlushStatus();
}

void TCustomTextEdit::FlushStatus()
{
    if (FPaintLock > 0)
        return;
    // Whatever moved since the last report, however it was changed.
    TStatusState now;
    now.Caret = FCaret;
    now.Anchor = FAnchor;
    now.SelEnd = FSelEnd;
    now.TopRow = FTopRow;
    now.LeftColumn = FLeftColumn;
    now.InsertMode = FInsertMode;
    now.Modified = FModified;
    now.ReadOnly = FReadOnly;
    now.Mode = FSelectionMode;
    TTextStatusChanges changes = FStatusChanges;
    if (now.Caret.Char != FReported.Caret.Char)
        changes |= scCaretX;
    if (now.Caret.Line != FReported.Caret.Line)
        changes |= scCaretY;
    if (now.TopRow != FReported.TopRow)
        changes |= scTopLine;
    if (now.LeftColumn != FReported.LeftColumn)
        changes |= scLeftChar;
    if (now.InsertMode != FReported.InsertMode)
        changes |= scInsertMode;
    if (now.Modified != FReported.Modified)
        changes |= scModified;
    if (now.ReadOnly != FReported.ReadOnly)
        changes |= scReadOnly;
    if (!(now.Anchor == FReported.Anchor) || !(now.SelEnd == FReported.SelEnd) || now.Mode != FReported.Mode)
        changes |= scSelection;
    FReported = now;
    FStatusChanges = 0;
    if (changes != 0)
        DoStatusChange(changes);
}

void TCustomTextEdit::DoStatusChange(TTextStatusChanges changes)
{
    if (OnStatusChange)
        OnStatusChange(this, changes);
}

void TCustomTextEdit::SetReadOnly(bool value)
{
    if (value == FReadOnly)
        return;
    FReadOnly = value;
    ReportStatusChange(0);
}

// ================================================================ key bindings with a layout

namespace {

struct TBindingLine {
    TTextEditorCommand Command;
    TShortCut First;
    TShortCut Second;
};

bool SameBinding(const TTextEditKeyStroke& a, const TTextEditKeyStroke& b)
{
    return a.GetShortCut() == b.GetShortCut() && a.GetShortCut2() == b.GetShortCut2() && a.Command() == b.Command();
}

bool HasMatch(const TTextEditKeyStrokes& list, const TTextEditKeyStroke& k)
{
    for (int i = 0; i < list.Count(); ++i)
        if (SameBinding(*list.Items(i), k))
            return true;
    return false;
}

void WriteBinding(QTextStream& out, const TTextEditKeyStroke& k)
{
    out << "  " << CommandToText(k.Command()) << ' ' << k.GetShortCut() << ' ' << k.GetShortCut2() << '\n';
}

TBindingLine ParseBinding(const QString& line)
{
    const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    bool ok1 = false, ok2 = false;
    TBindingLine b{ecNone, 0, 0};
    if (parts.size() == 3) {
        const uint first = parts[1].toUInt(&ok1);
        const uint second = parts[2].toUInt(&ok2);
        ok1 = ok1 && first <= 0xFFFF;
        ok2 = ok2 && second <= 0xFFFF;
        b.First = static_cast<TShortCut>(first);
        b.Second = static_cast<TShortCut>(second);
        if (!CommandFromIdent(parts[0], b.Command)) {
            bool ok = false;
            const int number = parts[0].toInt(&ok);
            ok1 = ok1 && ok && number >= 0 && number <= 0xFFFF;
            b.Command = static_cast<TTextEditorCommand>(number);
        }
    }
    if (!ok1 || !ok2)
        throw ETextKeyError(QStringLiteral("Malformed key binding: \"%1\"").arg(line));
    return b;
}

}  // namespace

void TCustomTextEdit::WriteKeystrokes(QTextStream& out) const
{
    TTextEditKeyStrokes defaults;
    defaults.LoadDefaultKeys();
    // Same bindings in the same order store nothing.
    bool same = defaults.Count() == FKeystrokes.Count();
    for (int i = 0; same && i < defaults.Count(); ++i)
        same = SameBinding(*defaults.Items(i), *FKeystrokes.Items(i));
    if (same)
        return;
    out << "AddedKeystrokes\n";
    for (int i = 0; i < FKeystrokes.Count(); ++i)
        if (!HasMatch(defaults, *FKeystrokes.Items(i)))
            WriteBinding(out, *FKeystrokes.Items(i));
    out << "end\nRemovedKeystrokes\n";
    for (int i = 0; i < defaults.Count(); ++i)
        if (!HasMatch(FKeystrokes, *defaults.Items(i)))
            WriteBinding(out, *defaults.Items(i));
    out << "end\n";
}

void TCustomTextEdit::ReadKeystrokes(QTextStream& in)
{
    std::vector<TBindingLine> added;
    std::vector<TBindingLine> removed;
    std::vector<TBindingLine>* section = nullptr;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty())
            continue;
        if (!section && line == QLatin1String("AddedKeystrokes"))
            section = &added;
        else if (!section && line == QLatin1String("RemovedKeystrokes"))
            section = &removed;
        else if (section && line == QLatin1String("end"))
            section = nullptr;
        else if (section)
            section->push_back(ParseBinding(line));
        else
            throw ETextKeyError(QStringLiteral("Malformed key bindings: \"%1\"").arg(line));
    }
    if (section)
        throw ETextKeyError(QStringLiteral("Key bindings end inside a list"));
    for (const TBindingLine& b : added) {
        TTextEditKeyStroke* k = FKeystrokes.Add();
        k->SetCommand(b.Command);
        ShortCutToKey(b.First, k->Key, k->Shift);
        ShortCutToKey(b.Second, k->SecondKey, k->SecondShift);
    }
    for (const TBindingLine& b : removed) {
        const int i = FKeystrokes.FindShortCuts(b.First, b.Second);
        if (i >= 0 && FKeystrokes.Items(i)->Command() == b.Command)
            FKeystrokes.Delete(i);
    }
}

QString TCustomTextEdit::UnicodeFontName() const
{
    return FDrawer->UseSecondFont() ? FDrawer->SecondFontName() : QString();
}

void TCustomTextEdit::SetUnicodeFontName(const QString& value)
{
    if (value == UnicodeFontName())
        return;
    FDrawer->SetSecondFontName(value);
    InvalidateClient();
}

// ================================================================ settings

void TCustomTextEdit::SetOptions(TTextEditorOptions value)
{
    value &= 0x0FFFFFFF;
    if (value == FOptions)
        return;
    // Positions are clamped under the old options first.
    if (!HasOption(eoScrollPastEol))
        SetLeftColumn(FLeftColumn);
    if (!HasOption(eoScrollPastEof))
        SetTopRow(FTopRow);
    const TTextEditorOptions scrolling = OptionBit(eoDisableScrollArrows) | OptionBit(eoHideShowScrollbars) |
                                         OptionBit(eoScrollPastEof) | OptionBit(eoScrollPastEol);
    const bool scrollChanged = ((value ^ FOptions) & scrolling) != 0;
    const bool dropChanged = ((value ^ FOptions) & OptionBit(eoDropFiles)) != 0;
    FOptions = value;
    FCaret = ClampPos(FCaret);
    FAnchor = ClampPos(FAnchor);
    FSelEnd = ClampPos(FSelEnd);
    if (dropChanged)
        setAcceptDrops(true);
    if (scrollChanged)
        RefreshScrollBars();
    InvalidateClient();
    ReportStatusChange(0);
}

void TCustomTextEdit::SetInsertMode(bool value)
{
    if (FInsertMode == value)
        return;
    FInsertMode = value;
    InvalidateClient();
    ReportStatusChange(0);
}

void TCustomTextEdit::SetTabWidth(int value)
{
    value = MinMax(value, 1, 256);
    if (value == FTabWidth)
        return;
    FTabWidth = value;
    FLines->SetTabWidth(value);
    InvalidateClient();
}

void TCustomTextEdit::SetHideSelection(bool value)
{
    FHideSelection = value;
    InvalidateClient();
}

void TCustomTextEdit::SetLineSpacing(int value)
{
    FLineSpacing = value;
    SizeChanged();
}

void TCustomTextEdit::SetLineSpacingRule(TLineSpacingRule value)
{
    FLineSpacingRule = value;
    SizeChanged();
}

void TCustomTextEdit::SetColor(TColor value)
{
    FColor = value;
    InvalidateClient();
}

void TCustomTextEdit::SetInsertCaret(TTextEditCaretType value)
{
    FInsertCaret = value;
    InvalidateClient();
}

void TCustomTextEdit::SetOverwriteCaret(TTextEditCaretType value)
{
    FOverwriteCaret = value;
    InvalidateClient();
}

void TCustomTextEdit::SetMaxScrollWidth(int value)
{
    FMaxScrollWidth = MinMax(value, 1, 2147483646);
    RefreshScrollBars();
}

void TCustomTextEdit::SetMaxUndo(int value)
{
    if (value < 0)
        return;
    FUndoList.SetEntryLimit(value);
    FRedoList.SetEntryLimit(value);
}

// ================================================================ caret and selection

TBufferCoord TCustomTextEdit::ClampPos(TBufferCoord p) const
{
    const int count = std::max(1, FLines->Count());
    p.Line = MinMax(p.Line, 1, count);
    const int cells = LineCells(p.Line);
    if (HasOption(eoScrollPastEol))
        p.Char = MinMax(p.Char, 1, FMaxScrollWidth);
    else
        p.Char = MinMax(p.Char, 1, cells + 1);
    if (p.Char <= cells && IsTrailCell(FLines->Get(p.Line - 1), p.Char))
        ++p.Char;
    return p;
}

void TCustomTextEdit::SetCaretPos(const TBufferCoord& value)
{
    const TBufferCoord p = ClampPos(value);
    if (p == FCaret)
        return;
    PaintTransient(ttBefore);
    const int oldLine = FCaret.Line;
    FCaret = p;
    EnsureCursorPosVisible();
    RestartCaretBlink();
    if (QGuiApplication::inputMethod() && hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
    // The caret, the active line and the gutter's caret number move.
    InvalidateLine(oldLine);
    if (FCaret.Line != oldLine)
        InvalidateLine(FCaret.Line);
    ReportStatusChange(0);
    PaintTransient(ttAfter);
}

void TCustomTextEdit::PlaceCaretCollapsed(const TBufferCoord& value)
{
    SetCaretPos(value);
    SetSelectionBegin(FCaret);
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
}

void TCustomTextEdit::SetSelectionBegin(const TBufferCoord& value)
{
    // A selection that goes repaints its lines and the new place.
    const TBufferCoord p = ClampPos(value);
    if (SelectionAvailable())
        RepaintLineRange(std::min({p.Line, FAnchor.Line, FSelEnd.Line}), std::max({p.Line, FAnchor.Line, FSelEnd.Line}));
    FAnchor = FSelEnd = p;
    ReportStatusChange(0);
}

void TCustomTextEdit::SetSelectionEnd(const TBufferCoord& value)
{
    const TBufferCoord p = ClampPos(value);
    if (HasOption(eoNoSelection)) {
        SetSelectionBegin(p);
        return;
    }
    // The lines between the old and the new end change; in column mode a
    // new column changes every line of the block.
    if (FSelectionMode == smColumn && p.Char != FSelEnd.Char)
        RepaintLineRange(std::min({p.Line, FAnchor.Line, FSelEnd.Line}), std::max({p.Line, FAnchor.Line, FSelEnd.Line}));
    else if (!(p == FSelEnd))
        RepaintLineRange(std::min(p.Line, FSelEnd.Line), std::max(p.Line, FSelEnd.Line));
    FSelEnd = p;
    ReportStatusChange(0);
}

QString TCustomTextEdit::TextBetween(const TBufferCoord& start, const TBufferCoord& end) const
{
    QString result;
    for (int line = start.Line; line <= end.Line && line <= FLines->Count(); ++line) {
        const QString s = FLines->Get(line - 1);
        const int from = line == start.Line ? CellToIndex(s, start.Char - 1) : 0;
        const int to = line == end.Line ? CellToIndex(s, end.Char - 1) : static_cast<int>(s.size());
        if (to > from)
            result += s.mid(from, to - from);
        if (line < end.Line)
            result += QLatin1Char('\n');
    }
    return result;
}

namespace {

// Trailing blanks and tabs go when text is copied.
QString TrimmedRight(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && (s[n - 1] == QLatin1Char(' ') || s[n - 1] == QLatin1Char('\t')))
        --n;
    return s.left(n);
}

}  // namespace

std::pair<int, int> TCustomTextEdit::SelectionColumns() const
{
    const int a = BufferToDisplayPos(FAnchor).Column;
    const int b = BufferToDisplayPos(FSelEnd).Column;
    return {std::min(a, b), std::max(a, b)};
}

std::pair<int, int> TCustomTextEdit::ColumnCells(int line, int leftColumn, int rightColumn) const
{
    const int end = LineCells(line) + 1;
    const int from = std::min(DisplayToBufferPos(DisplayPos(leftColumn, line)).Char, end);
    const int to = std::min(DisplayToBufferPos(DisplayPos(rightColumn, line)).Char, end);
    return {from, std::max(from, to)};
}

QString TCustomTextEdit::SelectedText() const
{
    return SelectionText(!HasOption(eoTrimTrailingSpaces));
}

QString TCustomTextEdit::SelectionText(bool padColumns) const
{
    if (!SelectionAvailable())
        return QString();
    const TBufferCoord b = SelectionBegin();
    const TBufferCoord e = SelectionEnd();
    QStringList parts;
    switch (FSelectionMode) {
    case smNormal:
        for (const QString& s : TextBetween(b, e).split(QLatin1Char('\n')))
            parts << TrimmedRight(s);
        return parts.join(QStringLiteral("\r\n"));
    case smLine: {
        QString result;
        for (int line = b.Line; line <= e.Line && line <= FLines->Count(); ++line)
            result += TrimmedRight(FLines->Get(line - 1)) + QLatin1String("\r\n");
        return result;
    }
    case smColumn: {
        const auto [left, right] = SelectionColumns();
        for (int line = b.Line; line <= e.Line && line <= FLines->Count(); ++line) {
            const auto [from, to] = ColumnCells(line, left, right);
            QString piece = TextBetween(BufferCoord(from, line), BufferCoord(to, line));
            // Short lines are padded to the block's width.
            if (padColumns)
                piece += QString(std::max(0, right - left - CellLength(piece)), QLatin1Char(' '));
            parts << piece;
        }
        return parts.join(QStringLiteral("\r\n"));
    }
    }
    return QString();
}

bool TCustomTextEdit::PointInSelection(const TBufferCoord& p) const
{
    const TBufferCoord b = SelectionBegin();
    const TBufferCoord e = SelectionEnd();
    if (!SelectionAvailable() || p.Line < b.Line || p.Line > e.Line)
        return false;
    switch (FSelectionMode) {
    case smLine: return true;
    case smColumn: return p.Char >= std::min(b.Char, e.Char) && p.Char < std::max(b.Char, e.Char);
    case smNormal: break;
    }
    if (p.Line == b.Line && p.Char < b.Char)
        return false;
    return p.Line < e.Line || p.Char < e.Char;
}

void TCustomTextEdit::SetSelectionMode(TTextSelectionMode value)
{
    if (value == FSelectionMode)
        return;
    FSelectionMode = value;
    InvalidateClient();
    ReportStatusChange(0);
}

void TCustomTextEdit::SelectWholeText()
{
    // The caret stays where it is.
    const int count = FLines->Count();
    FAnchor = BufferCoord(1, 1);
    FSelEnd = count == 0 ? BufferCoord(1, 1) : BufferCoord(LineCells(count) + 1, count);
    InvalidateClient();
    ReportStatusChange(scSelection);
}

void TCustomTextEdit::SetSelectedText(const QString& text)
{
    ReplaceSelectionRecorded(text, FSelectionMode);
}

void TCustomTextEdit::ReplaceSelectionRecorded(const QString& text, TTextSelectionMode insertMode)
{
    if (FReadOnly)
        return;
    BeginPaintLock();
    FUndoList.OpenBlock();
    try {
        DeleteSelectionRecorded();
        if (!text.isEmpty()) {
            QStringList segments;
            if (insertMode != smNormal)
                segments = SplitLines(text);
            switch (insertMode) {
            case smNormal: FCaret = InsertRecorded(FCaret, text, urInsert); break;
            case smLine:
                // A block of whole lines ends with a break that opens no line.
                if (segments.size() > 1 && segments.last().isEmpty())
                    segments.removeLast();
                InsertLinesRecorded(segments);
                break;
            case smColumn: InsertColumnRecorded(segments); break;
            }
        }
        FAnchor = FSelEnd = FCaret;
    } catch (...) {
        FUndoList.CloseBlock();
        EndPaintLock();
        throw;
    }
    FUndoList.CloseBlock();
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EnsureCursorPosVisible();
    EndPaintLock();
}

void TCustomTextEdit::InsertLinesRecorded(const QStringList& segments)
{
    // Each segment becomes a whole line before the caret line; in overwrite
    // mode it replaces the caret line while there is one below.
    int line = std::max(1, FCaret.Line);
    for (const QString& segment : segments) {
        if (!FInsertMode && line < FLines->Count()) {
            DeleteRecorded(BufferCoord(1, line), BufferCoord(LineCells(line) + 1, line), urQuietDelete);
            InsertRecorded(BufferCoord(1, line), segment, urPaste);
        } else if (FLines->Count() == 0 || line > FLines->Count()) {
            const int last = std::max(1, FLines->Count());
            const QString prefix = FLines->Count() == 0 ? QString() : QStringLiteral("\n");
            InsertRecorded(BufferCoord(FLines->Count() == 0 ? 1 : LineCells(last) + 1, last), prefix + segment, urPaste);
        } else {
            InsertRecorded(BufferCoord(1, line), segment + QLatin1Char('\n'), urPaste);
        }
        ++line;
    }
    FCaret = BufferCoord(1, line);
    if (FCaret.Line > FLines->Count())
        FCaret = BufferCoord(1, std::max(1, FLines->Count()));
}

void TCustomTextEdit::InsertColumnRecorded(const QStringList& segments)
{
    // Each segment goes into one line at the caret's character; lines below
    // the text are added, short lines padded with blanks.
    const int k = FCaret.Char;
    int line = std::max(1, FCaret.Line);
    int lastLength = 0;
    for (int i = 0; i < segments.size(); ++i, ++line) {
        const QString& segment = segments[i];
        if (segment.isEmpty())
            continue;
        if (FLines->Count() == 0)
            FLines->Add(QString());
        while (line > FLines->Count()) {
            const int last = FLines->Count();
            InsertRecorded(BufferCoord(LineCells(last) + 1, last), QStringLiteral("\n"), urLineBreak);
        }
        int at = k;
        if (at <= LineCells(line) && IsTrailCell(FLines->Get(line - 1), at))
            ++at;
        InsertRecorded(BufferCoord(at, line), segment, urPaste);
        lastLength = CellLength(segment);
    }
    FCaret = BufferCoord(k + lastLength, line - 1);
}

// ================================================================ text primitives

TBufferCoord TCustomTextEdit::InsertRaw(TBufferCoord pos, const QString& text)
{
    if (FLines->Count() == 0)
        FLines->Add(QString());
    while (pos.Line > FLines->Count())
        FLines->Add(QString());
    QString line = FLines->Get(pos.Line - 1);
    const int cells = CellLength(line);
    if (pos.Char > cells + 1)
        line += QString(pos.Char - cells - 1, QLatin1Char(' '));
    const int at = CellToIndex(line, pos.Char - 1);
    const QString head = line.left(at);
    const QString tail = line.mid(at);
    // The text is split straight into the store: the first line joins the
    // head, the rest go in as new lines, the last with the tail.
    const QStringView view(text);
    const qsizetype firstBreak = FirstBreak(view);
    TBufferCoord end;
    const bool manyLines = firstBreak >= 0;
    if (!manyLines) {
        FLines->Put(pos.Line - 1, head + text + tail);
        end = BufferCoord(CellLength(head + text) + 1, pos.Line);
    } else {
        qsizetype rest = firstBreak + 1;
        if (view[firstBreak] == QLatin1Char('\r') && rest < view.size() && view[rest] == QLatin1Char('\n'))
            ++rest;
        qsizetype lastStart = view.size();
        while (lastStart > rest && view[lastStart - 1] != QLatin1Char('\n') && view[lastStart - 1] != QLatin1Char('\r'))
            --lastStart;
        FLines->BeginUpdate();
        FLines->Put(pos.Line - 1, head + view.left(firstBreak).toString());
        // The new lines go in with one notification.
        const int added = FLines->InsertText(pos.Line, view.mid(rest), tail);
        FLines->EndUpdate();
        end = BufferCoord(CellLength(view.mid(lastStart).toString()) + 1, pos.Line + added);
    }
    if (FGutter.Visible() && FGutter.ShowLineNumbers() && manyLines)
        UpdateGutterWidth(false);
    return end;
}

QString TCustomTextEdit::DeleteRaw(const TBufferCoord& start, const TBufferCoord& end)
{
    const QString removed = TextBetween(start, end);
    if (start.Line < 1 || start.Line > FLines->Count())
        return removed;
    const QString first = FLines->Get(start.Line - 1);
    const QString head = first.left(CellToIndex(first, start.Char - 1));
    QString tail;
    if (end.Line <= FLines->Count()) {
        const QString last = FLines->Get(end.Line - 1);
        tail = last.mid(CellToIndex(last, end.Char - 1));
    }
    FLines->Put(start.Line - 1, head + tail);
    const int lastLine = std::min(end.Line, FLines->Count());
    if (lastLine > start.Line)
        FLines->DeleteLineRange(start.Line, lastLine - start.Line);
    if (FGutter.Visible() && FGutter.ShowLineNumbers() && lastLine > start.Line)
        UpdateGutterWidth(false);
    return removed;
}

TBufferCoord TCustomTextEdit::InsertRecorded(const TBufferCoord& pos, const QString& text, TTextUndoReason reason)
{
    // An empty store gets its first line; the entry remembers it (Index 1)
    // so that undo empties the store again.
    const bool wasEmpty = FLines->Count() == 0;
    if (wasEmpty)
        FLines->Add(QString());
    TBufferCoord start = ClampPos(pos);
    start.Char = pos.Char;
    // Insertion in the virtual space after a line's end pads it with blanks;
    // the padding is recorded as part of the inserted text.
    QString recorded = text;
    const int cells = LineCells(start.Line);
    if (start.Char > cells + 1) {
        recorded = QString(start.Char - cells - 1, QLatin1Char(' ')) + text;
        start.Char = cells + 1;
    }
    const TBufferCoord end = InsertRaw(start, recorded);
    // The inserted text is taken back from the lines when the entry is
    // undone, so the entry holds no second copy of it meanwhile.
    FUndoList.RecordChange(reason, start, end, QString(), smNormal, nullptr, wasEmpty ? 1 : 0);
    return end;
}

void TCustomTextEdit::DeleteRecorded(const TBufferCoord& start, const TBufferCoord& end, TTextUndoReason reason)
{
    if (start == end)
        return;
    // The removed text itself is recorded, trailing blanks included, so that
    // undo gives back exactly what was there.
    const QString removed = DeleteRaw(start, end);
    FUndoList.RecordChange(reason, start, end, removed, smNormal);
}

void TCustomTextEdit::DeleteSelectionRecorded()
{
    if (!SelectionAvailable())
        return;
    const TBufferCoord b = SelectionBegin();
    const TBufferCoord e = SelectionEnd();
    if (FSelectionMode == smLine) {
        // Whole lines go; the last line of the text is emptied, not removed.
        const int last = std::min(e.Line, FLines->Count());
        if (b.Line <= last) {
            if (last == FLines->Count())
                DeleteRecorded(BufferCoord(1, b.Line), BufferCoord(LineCells(last) + 1, last), urDelete);
            else
                DeleteRecorded(BufferCoord(1, b.Line), BufferCoord(1, last + 1), urDelete);
        }
        FCaret = FAnchor = FSelEnd = BufferCoord(1, b.Line);
        return;
    }
    if (FSelectionMode == smColumn) {
        // Undone, the block comes back selected as it was.
        FUndoList.RecordChange(urSelection, FAnchor, FSelEnd, QString(), FSelectionMode);
        FUndoList.RecordChange(urCaret, FCaret, FCaret, QString(), FSelectionMode);
        const auto [left, right] = SelectionColumns();
        for (int line = b.Line; line <= e.Line && line <= FLines->Count(); ++line) {
            const auto [from, to] = ColumnCells(line, left, right);
            DeleteRecorded(BufferCoord(from, line), BufferCoord(to, line), urQuietDelete);
        }
        const int caretLine = FSelEnd.Line;
        FCaret = FAnchor = FSelEnd = BufferCoord(DisplayToBufferPos(DisplayPos(left, caretLine)).Char, caretLine);
        return;
    }
    // Only the part inside the text is removed; virtual space holds nothing.
    TBufferCoord e2 = e;
    if (e2.Line <= FLines->Count())
        e2.Char = std::min(e2.Char, LineCells(e2.Line) + 1);
    TBufferCoord b2 = b;
    if (b2.Line <= FLines->Count())
        b2.Char = std::min(b2.Char, LineCells(b2.Line) + 1);
    if (!(b2 == MinPos(b2, e2)) || b2 == e2) {
        FCaret = FAnchor = FSelEnd = b;
        return;
    }
    DeleteRecorded(b2, e2, urDelete);
    FCaret = FAnchor = FSelEnd = b;
}

void TCustomTextEdit::UndoListChanged()
{
    // A group break after a caret move changes no text.
    if (FUndoList.TopReason() == urGroupBreak)
        return;
    if (!FInUndoRedo)
        FRedoList.ClearList();
    FModified = !FUndoList.IsInitialState();
    if (FUndoList.BlockCount() == 0 && OnChange)
        OnChange(this);
    ReportStatusChange(0);
}

// ================================================================ undo and redo

namespace {
bool IsUndoBlockBegin(TTextUndoReason r)
{
    return r == urBlock1Begin || r == urBlock2Begin || r == urBlock3Begin || r == urBlock4Begin;
}
bool IsUndoBlockEnd(TTextUndoReason r)
{
    return r == urBlock1End || r == urBlock2End || r == urBlock3End || r == urBlock4End;
}
}  // namespace

void TCustomTextEdit::ReplayTop(TTextEditUndoList& from, TTextEditUndoList& to, bool undo)
{
    // A group break on top parts this step from the newer ones; it goes to
    // the other list, so that the steps back are parted the same way.
    if (from.TopReason() == urGroupBreak)
        to.PushEntry(from.TakeTopEntry());
    TTextEditUndoItem* top = from.TopEntry();
    if (!top)
        return;
    FInUndoRedo = true;
    BeginPaintLock();
    // One step: the entries from the top on that share its group number,
    // with eoGroupUndo also those of the reason just replayed (indenting
    // excepted), or everything up to the matching marker of a bracketed
    // block. Every entry of the step goes to the other list with the step's
    // number, so that the step back takes exactly these entries again.
    const int group = top->GroupNumber;
    const TTextUndoReason firstReason = top->Reason;
    const bool bracketed = undo ? IsUndoBlockEnd(firstReason) : IsUndoBlockBegin(firstReason);
    const TTextUndoReason closingMarker = !bracketed ? urNone
                                          : static_cast<TTextUndoReason>(undo ? firstReason - 1 : firstReason + 1);
    TBufferCoord caret = FCaret;
    bool first = true;
    bool restoredSelection = false;
    // An undone deletion selects the text it gives back (the quiet ones of
    // single keys only put the caret).
    bool reselect = false;
    TBufferCoord reselectAnchor;
    std::vector<std::unique_ptr<TTextEditUndoItem>> moved;
    try {
        TTextUndoReason lastReason = urNone;
        while (TTextEditUndoItem* item = from.TopEntry()) {
            if (!first) {
                if (bracketed && lastReason == closingMarker)
                    break;
                const bool joins = bracketed || item->GroupNumber == group ||
                                   (item->Reason == urFold && FCodeFolding.Enabled()) ||
                                   (HasOption(eoGroupUndo) && item->Reason == lastReason && lastReason != urIndent &&
                                    lastReason != urUnindent);
                if (!joins)
                    break;
            }
            std::unique_ptr<TTextEditUndoItem> entry = from.TakeTopEntry();
            const TTextUndoReason reason = entry->Reason;
            lastReason = reason;
            entry->GroupNumber = group;
            if (reason == urCaret) {
                // The caret goes back; the entry keeps where it was for the way back.
                std::swap(entry->StartPos, caret);
                entry->EndPos = entry->StartPos;
                moved.push_back(std::move(entry));
                first = false;
                continue;
            }
            if (reason == urSelection || reason == urIndent || reason == urUnindent) {
                const TBufferCoord a = entry->StartPos;
                const TBufferCoord b = entry->EndPos;
                entry->StartPos = FAnchor;
                entry->EndPos = FSelEnd;
                FAnchor = a;
                FSelEnd = b;
                restoredSelection = true;
                moved.push_back(std::move(entry));
                first = false;
                continue;
            }
            if ((reason >= urBlock1Begin && reason <= urBlock4End) || reason == urGroupBreak || reason == urFold) {
                // Markers carry no text; they only go over to the other list.
                moved.push_back(std::move(entry));
                first = false;
                continue;
            }
            const bool isDelete = reason == urDelete || reason == urDeleteForward || reason == urQuietDelete ||
                                  reason == urQuietDeleteForward || reason == urClearAll;
            restoredSelection = false;
            reselect = false;
            if (undo != isDelete) {
                // Undoing an insertion or redoing a deletion takes text out;
                // an undone insertion keeps it for the redo.
                const QString removed = DeleteRaw(entry->StartPos, entry->EndPos);
                if (undo)
                    entry->Text = removed;
                caret = entry->StartPos;
                if (undo && entry->Index == 1 && FLines->Count() == 1 && FLines->Get(0).isEmpty())
                    FLines->Delete(0);
            } else {
                const TBufferCoord end = InsertRaw(entry->StartPos, entry->Text);
                const bool forward = reason == urDeleteForward || reason == urQuietDeleteForward;
                caret = undo && forward ? entry->StartPos : end;
                if (undo && (reason == urDelete || reason == urDeleteForward || reason == urClearAll)) {
                    reselect = true;
                    reselectAnchor = forward ? end : entry->StartPos;
                }
            }
            first = false;
            moved.push_back(std::move(entry));
        }
    } catch (...) {
        for (auto& entry : moved)
            to.PushEntry(std::move(entry));
        FInUndoRedo = false;
        EndPaintLock();
        throw;
    }
    for (auto& entry : moved)
        to.PushEntry(std::move(entry));
    // A redo step ends where its undo step began: at the group break that
    // the undo moved over, which goes back now.
    if (!undo && from.TopReason() == urGroupBreak)
        to.PushEntry(from.TakeTopEntry());
    FInUndoRedo = false;
    FCaret = ClampPos(caret);
    if (restoredSelection) {
        FAnchor = ClampPos(FAnchor);
        FSelEnd = ClampPos(FSelEnd);
    } else if (reselect) {
        FAnchor = ClampPos(reselectAnchor);
        FSelEnd = FCaret;
    } else {
        FAnchor = FSelEnd = FCaret;
    }
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EnsureCursorPosVisible();
    EndPaintLock();
    FModified = !FUndoList.IsInitialState();
    if (OnChange)
        OnChange(this);
}

void TCustomTextEdit::Undo()
{
    if (FReadOnly)
        return;
    // Entries go to the redo list without clearing it.
    FUndoList.OnEntryAdded = nullptr;
    ReplayTop(FUndoList, FRedoList, true);
    FUndoList.OnEntryAdded = [this](TTextEditUndoList*) { UndoListChanged(); };
}

void TCustomTextEdit::Redo()
{
    if (FReadOnly)
        return;
    FUndoList.OnEntryAdded = nullptr;
    // The redo list holds newest-undone last; replay in the reverse order of
    // the undo, which the stack gives.
    ReplayTop(FRedoList, FUndoList, false);
    FUndoList.OnEntryAdded = [this](TTextEditUndoList*) { UndoListChanged(); };
    FModified = !FUndoList.IsInitialState();
}

void TCustomTextEdit::ClearUndoHistory()
{
    FUndoList.ClearList();
    FRedoList.ClearList();
}

void TCustomTextEdit::SetModified(bool value)
{
    if (!value) {
        if (HasOption(eoGroupUndo) && FUndoList.HasEntries())
            FUndoList.AppendGroupBreak();
        FUndoList.MarkInitialState(true);
    } else {
        FUndoList.MarkInitialState(false);
    }
    FModified = value;
    ReportStatusChange(0);
}

// ================================================================ navigation helpers

TBufferCoord TCustomTextEdit::PrevCharPos(const TBufferCoord& p) const
{
    if (p.Char > 1) {
        const int cells = LineCells(p.Line);
        if (p.Char > cells + 1)
            return BufferCoord(p.Char - 1, p.Line);
        const QString line = FLines->Get(p.Line - 1);
        const int index = CellToIndex(line, p.Char - 1);
        return BufferCoord(IndexToCell(line, std::max(0, index - 1)) + 1, p.Line);
    }
    if (p.Line > 1)
        return BufferCoord(LineCells(p.Line - 1) + 1, p.Line - 1);
    return p;
}

TBufferCoord TCustomTextEdit::NextCharPos(const TBufferCoord& p) const
{
    const int cells = LineCells(p.Line);
    if (p.Char <= cells) {
        const QString line = FLines->Get(p.Line - 1);
        const int index = CellToIndex(line, p.Char - 1);
        return BufferCoord(IndexToCell(line, index + 1) + 1, p.Line);
    }
    if (HasOption(eoScrollPastEol))
        return BufferCoord(p.Char + 1, p.Line);
    if (p.Line < FLines->Count())
        return BufferCoord(1, p.Line + 1);
    return p;
}

namespace {

// A character that is no ASCII character is a word of its own for the word
// scans; a surrogate pair is one such character.
bool IsWide(QChar c) { return c.unicode() > 127; }

// The index after the character at i.
qsizetype NextIndex(const QString& s, qsizetype i)
{
    if (i + 1 < s.size() && s[i].isHighSurrogate() && s[i + 1].isLowSurrogate())
        return i + 2;
    return i + 1;
}

}  // namespace

TBufferCoord TCustomTextEdit::NextWordStart(const TBufferCoord& p) const
{
    if (p.Line < 1 || p.Line > FLines->Count() || p.Char < 1)
        return p;
    const QString line = FLines->Get(p.Line - 1);
    const int cells = CellLength(line);
    if (p.Char < cells) {
        qsizetype i = CellToIndex(line, p.Char - 1);
        if (IsWide(line[i]))
            i = NextIndex(line, i);
        else
            while (i < line.size() && IsWordChar(line[i]))
                ++i;
        while (i < line.size() && !IsWordChar(line[i]) && !IsWide(line[i]))
            ++i;
        return BufferCoord(IndexToCell(line, static_cast<int>(i)) + 1, p.Line);
    }
    if (p.Line >= FLines->Count())
        return p;
    const QString next = FLines->Get(p.Line);
    qsizetype i = 0;
    while (i < next.size() && !IsWordChar(next[i]) && !IsWide(next[i]))
        ++i;
    return BufferCoord(i < next.size() ? IndexToCell(next, static_cast<int>(i)) + 1 : 1, p.Line + 1);
}

TBufferCoord TCustomTextEdit::WordStartOf(const TBufferCoord& p) const
{
    if (p.Line < 1 || p.Line > FLines->Count() || p.Char < 1)
        return p;
    const QString line = FLines->Get(p.Line - 1);
    const int c = std::min(p.Char, CellLength(line) + 1);
    qsizetype i = CellToIndex(line, c - 1);
    if (i == 0 || !IsWordChar(line[i - 1]))
        return BufferCoord(c, p.Line);
    while (i > 0 && IsWordChar(line[i - 1]))
        --i;
    return BufferCoord(IndexToCell(line, static_cast<int>(i)) + 1, p.Line);
}

TBufferCoord TCustomTextEdit::WordEndOf(const TBufferCoord& p) const
{
    if (p.Line < 1 || p.Line > FLines->Count() || p.Char < 1)
        return p;
    const QString line = FLines->Get(p.Line - 1);
    const int cells = CellLength(line);
    if (p.Char > cells)
        return BufferCoord(cells + 1, p.Line);
    qsizetype i = CellToIndex(line, p.Char - 1);
    while (i < line.size() && IsWordChar(line[i]))
        ++i;
    return BufferCoord(IndexToCell(line, static_cast<int>(i)) + 1, p.Line);
}

TBufferCoord TCustomTextEdit::PreviousWordStart(const TBufferCoord& p) const
{
    if (p.Line < 1 || p.Line > FLines->Count() || p.Char < 1)
        return p;
    const QString line = FLines->Get(p.Line - 1);
    const int c = std::min(p.Char, CellLength(line) + 1);
    if (c > 1) {
        const qsizetype at = CellToIndex(line, c - 1);
        qsizetype i = at;
        while (i > 0 && !IsWordChar(line[i - 1]) && !IsWide(line[i - 1]))
            --i;
        qsizetype word = -1;
        if (i > 0 && IsWordChar(line[i - 1])) {
            while (i > 0 && IsWordChar(line[i - 1]))
                --i;
            word = i;
        }
        qsizetype wide = -1;
        for (qsizetype k = at - 1; k >= 0; --k)
            if (IsWide(line[k])) {
                wide = k > 0 && line[k].isLowSurrogate() && line[k - 1].isHighSurrogate() ? k - 1 : k;
                break;
            }
        const qsizetype hit = std::max(word, wide);
        if (hit >= 0)
            return BufferCoord(IndexToCell(line, static_cast<int>(hit)) + 1, p.Line);
    }
    if (p.Line > 1)
        return BufferCoord(LineCells(p.Line - 1) + 1, p.Line - 1);
    return BufferCoord(1, p.Line);
}

QString TCustomTextEdit::WordAtPosition(const TBufferCoord& p) const
{
    const TBufferCoord start = WordStartOf(p);
    const TBufferCoord end = WordEndOf(p);
    if (start.Line != end.Line || start.Line < 1 || start.Line > FLines->Count() || start.Char >= end.Char)
        return QString();
    return TextBetween(start, end);
}

void TCustomTextEdit::SelectWordAt(const TBufferCoord& at)
{
    if (FLines->Count() == 0)
        return;
    const TBufferCoord p = ClampPos(at);
    const int cells = LineCells(p.Line);
    if (p.Char > cells + 1) {
        SetCaretPos(BufferCoord(cells + 1, p.Line));
        return;
    }
    const TBufferCoord start = WordStartOf(p);
    const TBufferCoord end = WordEndOf(p);
    if (start.Line == end.Line && start.Char < end.Char) {
        BeginPaintLock();
        SetCaretPos(end);
        FAnchor = start;
        FSelEnd = end;
        InvalidateClient();
        ReportStatusChange(0);
        EndPaintLock();
    }
}

void TCustomTextEdit::MoveCaretAndSelection(const TBufferCoord& to, bool select)
{
    // Typing before and after a caret move never joins into one undo step.
    if (HasOption(eoGroupUndo) && FUndoList.HasEntries())
        FUndoList.AppendGroupBreak();
    BeginPaintLock();
    if (select && !HasOption(eoNoSelection)) {
        // The anchor stays while there is a selection; otherwise it starts
        // where the caret was.
        if (!SelectionAvailable() && !(FSelEnd == FCaret))
            FAnchor = FCaret;
        SetCaretPos(to);
        FSelEnd = FCaret;
    } else {
        SetCaretPos(to);
        FAnchor = FSelEnd = FCaret;
    }
    ReportStatusChange(0);
    EndPaintLock();
}

void TCustomTextEdit::MoveCaretHorz(int columns, bool select)
{
    TBufferCoord d = FCaret;
    const int cells = LineCells(d.Line);
    const bool pastEol = HasOption(eoScrollPastEol);
    if (!pastEol && columns == -1 && d.Char == 1 && d.Line > 1) {
        d = BufferCoord(LineCells(d.Line - 1) + 1, d.Line - 1);
    } else if (!pastEol && columns == 1 && d.Char > cells && d.Line < FLines->Count()) {
        d = BufferCoord(1, d.Line + 1);
    } else {
        d.Char = std::max(1, d.Char + columns);
        if (columns > 0 && !pastEol)
            d.Char = std::min(d.Char, cells + 1);
        // The caret never stands on the second cell of a wide character.
        if (d.Char > 1 && d.Char <= cells && d.Line <= FLines->Count() && IsTrailCell(FLines->Get(d.Line - 1), d.Char))
            d.Char += columns > 0 ? 1 : -1;
    }
    MoveCaretAndSelection(d, select);
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
}

void TCustomTextEdit::MoveCaretVert(int rows, bool select)
{
    const TDisplayPos now = BufferToDisplayPos(FCaret);
    int row = now.Row + rows;
    if (rows >= 0)
        row = std::min(row, std::max(1, DisplayRowCount()));
    else
        row = std::max(row, 1);
    // With eoKeepCaretX a run of vertical moves aims for the column the
    // caret had before it; otherwise for the column it has now, or, right
    // after a move that had to step aside from a wide character, for the
    // column that move aimed at.
    int column = now.Column;
    if (row != now.Row && HasOption(eoKeepCaretX))
        column = FDesiredColumn;
    else if (FVertStepAside && FCaret == FVertStepCaret)
        column = FVertAimColumn;
    FVertStepAside = false;
    TBufferCoord to = DisplayToBufferPos(DisplayPos(column, row));
    // The caret stays in its cell column as it crosses lines. A column that
    // falls on the second cell of a wide character puts the caret before
    // that character, never after it: the caret then never jumps right of
    // where it stood, and the next vertical move aims for the old column
    // again, so a run of moves over Chinese lines neither drifts nor lands
    // inside a character. (Converting a click or a display position moves
    // off the second cell to the right instead; for up and down the column
    // kept matters more.)
    if (row != now.Row && to.Line >= 1 && to.Line <= FLines->Count() && to.Char > 1 &&
        to.Char <= LineCells(to.Line) + 1 && BufferToDisplayPos(to).Column > column) {
        const TBufferCoord before = PrevCharPos(to);
        if (before.Line == to.Line && BufferToDisplayPos(before).Column < column) {
            to = before;
            FVertStepAside = true;
        }
    }
    if (!HasOption(eoScrollPastEol))
        to.Char = std::min(to.Char, LineCells(to.Line) + 1);
    const int desired = FDesiredColumn;
    MoveCaretAndSelection(to, select);
    FDesiredColumn = desired;
    FVertAimColumn = column;
    FVertStepCaret = FCaret;
}

void TCustomTextEdit::MoveToLineStart(bool select)
{
    int target = 1;
    if (HasOption(eoEnhanceHomeKey) && FCaret.Line <= FLines->Count()) {
        // Alternates between the first non-blank character and column 1.
        const QString line = FLines->Get(FCaret.Line - 1);
        qsizetype i = 0;
        while (i < line.size() && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')))
            ++i;
        const int first = IndexToCell(line, static_cast<int>(i)) + 1;
        target = FCaret.Char <= first && FCaret.Char != 1 ? 1 : first;
    }
    MoveCaretAndSelection(BufferCoord(target, FCaret.Line), select);
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
}

void TCustomTextEdit::MoveToLineEnd(bool select)
{
    const int cells = LineCells(FCaret.Line);
    int target = cells + 1;
    if (HasOption(eoEnhanceEndKey) && FCaret.Line <= FLines->Count()) {
        // Alternates between the end of the text and the end of the line
        // with its trailing blanks.
        const int trimmed = CellLength(TrimmedRight(FLines->Get(FCaret.Line - 1)));
        target = FCaret.Char == trimmed + 1 ? cells + 1 : trimmed + 1;
    }
    MoveCaretAndSelection(BufferCoord(target, FCaret.Line), select);
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
}

void TCustomTextEdit::PageStep(bool down, bool select)
{
    int n = FRowsInWindow;
    if (HasOption(eoHalfPageScroll))
        n >>= 1;
    if (HasOption(eoScrollByOneLess))
        --n;
    if (!down)
        n = -n;
    SetTopRow(FTopRow + n);
    MoveCaretVert(n, select);
}

TBufferCoord TCustomTextEdit::MatchingBracket(const TBufferCoord& p) const
{
    static const QString brackets = QStringLiteral("()[]{}<>");
    if (p.Line < 1 || p.Line > FLines->Count())
        return BufferCoord(0, 0);
    const QString line = FLines->Get(p.Line - 1);
    const int index = CellToIndex(line, p.Char - 1);
    if (index >= line.size())
        return BufferCoord(0, 0);
    const int kind = static_cast<int>(brackets.indexOf(line[index]));
    if (kind < 0)
        return BufferCoord(0, 0);
    const QChar self = brackets[kind];
    const QChar partner = brackets[kind ^ 1];
    const bool forward = (kind % 2) == 0;
    int depth = 0;
    int l = p.Line - 1;
    int i = index;
    while (l >= 0 && l < FLines->Count()) {
        const QString s = FLines->Get(l);
        if (i < 0)
            i = static_cast<int>(s.size()) - 1;
        for (; i >= 0 && i < s.size(); i += forward ? 1 : -1) {
            if (s[i] == self)
                ++depth;
            else if (s[i] == partner && --depth == 0)
                return BufferCoord(IndexToCell(s, i) + 1, l + 1);
        }
        l += forward ? 1 : -1;
        i = forward ? 0 : -1;
    }
    return BufferCoord(0, 0);
}

void TCustomTextEdit::JumpToMatchingBracket()
{
    // Without a bracket or a partner the caret stays where it is.
    const TBufferCoord p = MatchingBracket(FCaret);
    if (p.Char > 0 && p.Line > 0)
        PlaceCaretCollapsed(p);
}

// ================================================================ commands

void TCustomTextEdit::DoGutterClick(Qt::MouseButton button, int x, int y)
{
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

// ================================================================ transient paint, replace, cursor

void TCustomTextEdit::PaintTransient(TTransientType type, bool lock)
{
    bool fire = FTransientLock == 0;
    if (lock) {
        if (type == ttBefore) {
            fire = FTransientLock++ == 0;
        } else {
            FTransientLock = std::max(0, FTransientLock - 1);
            fire = FTransientLock == 0;
        }
    }
    if (fire && OnPaintTransient)
        OnPaintTransient(this, nullptr, type);
}

TTextReplaceAction TCustomTextEdit::DoReplaceText(const QString& search, const QString& replace, int line, int column)
{
    TTextReplaceAction action = raCancel;
    if (OnReplaceText)
        OnReplaceText(this, search, replace, line, column, action);
    return action;
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

void TCustomTextEdit::AddCommandHook(ITextEditCommandHook* hook, void* handlerData)
{
    if (!hook || FindCommandHook(hook, handlerData) >= 0)
        return;
    if (!FCommandHooks)
        FCommandHooks = std::make_unique<std::vector<std::pair<ITextEditCommandHook*, void*>>>();
    FCommandHooks->emplace_back(hook, handlerData);
}

void TCustomTextEdit::RemoveCommandHook(ITextEditCommandHook* hook, void* handlerData)
{
    const int i = FindCommandHook(hook, handlerData);
    if (i >= 0)
        FCommandHooks->erase(FCommandHooks->begin() + i);
}

int TCustomTextEdit::FindCommandHook(ITextEditCommandHook* hook, void* handlerData) const
{
    if (!hook || !FCommandHooks)
        return -1;
    for (int i = static_cast<int>(FCommandHooks->size()) - 1; i >= 0; --i) {
        const auto& entry = (*FCommandHooks)[static_cast<size_t>(i)];
        if (entry.first == hook && entry.second == handlerData)
            return i;
    }
    return -1;
}

void TCustomTextEdit::NotifyCommandHooks(bool afterProcessing, TTextEditorCommand& command, QChar& aChar, void* data)
{
    if (!FCommandHooks)
        return;
    // Every hook hears the command, whatever an earlier one decided. A
    // copy, so that a hook may remove itself.
    const auto hooks = *FCommandHooks;
    bool handled = false;
    for (const auto& [hook, handlerData] : hooks)
        hook->HookedCommand(this, afterProcessing, handled, command, aChar, data, handlerData);
    if (handled)
        command = ecNone;
}

void TCustomTextEdit::DispatchEditorCommand(TTextEditorCommand command, QChar aChar, const QString& text)
{
    DispatchEditorCommand(command, aChar, command == ecImeStr ? const_cast<QString*>(&text) : nullptr);
}

void TCustomTextEdit::DispatchEditorCommand(TTextEditorCommand command, QChar aChar, void* data)
{
    if (command >= ecUserFirst) {
        if (OnProcessUserCommand)
            OnProcessUserCommand(this, command, aChar, data);
    } else if (OnProcessCommand) {
        OnProcessCommand(this, command, aChar, data);
    }
    if (command != ecNone)
        NotifyCommandHooks(false, command, aChar, data);
    if (command != ecNone && command < ecUserFirst)
        RunEditorCommand(command, aChar, data);
    if (command != ecNone)
        NotifyCommandHooks(true, command, aChar, data);
    if (OnCommandProcessed)
        OnCommandProcessed(this, command, aChar, data);
}

void TCustomTextEdit::InsertTyped(const QString& text, bool overwrite)
{
    BeginPaintLock();
    FUndoList.OpenBlock();
    if (SelectionAvailable()) {
        DeleteSelectionRecorded();
    } else if (overwrite && FCaret.Line <= FLines->Count()) {
        // The cells under the new text go; a wide character only partly
        // covered stays whole after the text.
        const QString line = FLines->Get(FCaret.Line - 1);
        const int cells = CellLength(line);
        if (FCaret.Char <= cells) {
            int endCell = std::min(cells, FCaret.Char - 1 + CellLength(text));
            if (endCell < cells && IsTrailCell(line, endCell + 1))
                --endCell;
            if (endCell >= FCaret.Char)
                DeleteRecorded(FCaret, BufferCoord(endCell + 1, FCaret.Line), urQuietDeleteForward);
        }
    }
    FCaret = InsertRecorded(FCaret, text, urInsert);
    FAnchor = FSelEnd = FCaret;
    FUndoList.CloseBlock();
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EnsureCursorPosVisible();
    EndPaintLock();
}

void TCustomTextEdit::RunEditorCommand(TTextEditorCommand command, QChar aChar, void* data)
{
    // While the caret's line heads a collapsed range, nothing edits it.
    const bool editing = (command >= ecDeleteLastChar && command <= 600) || command == ecTab ||
                         command == ecShiftTab || command == ecString || command == ecAutoCompletion;
    if (editing && FCodeFolding.Enabled() && CaretOnCollapsedFold())
        return;
    // With eoTrimTrailingSpaces the lines an edit wrote lose their trailing
    // blanks, in the edit's own undo step; the caret may stay beyond them.
    const bool trim = !FReadOnly && HasOption(eoTrimTrailingSpaces) &&
                      (editing || command == ecPaste || command == ecBlockIndent || command == ecBlockUnindent ||
                       (command >= ecUpperCase && command <= ecToggleCaseBlock)) &&
                      command != ecUndo && command != ecRedo && command != ecClearAll;
    const int startLine = FCaret.Line;
    // Backspace inside a line: trimming may take tabs from behind the caret;
    // the caret then keeps its screen column rather than its cell.
    const bool backspaceInLine = trim && command == ecDeleteLastChar && !SelectionAvailable() &&
                                 FCaret.Char > 1 && FCaret.Line <= FLines->Count() &&
                                 FCaret.Char <= LineCells(FCaret.Line) + 1;
    // Repainting, scroll bars and the status report happen once, at the end.
    BeginPaintLock();
    if (trim)
        FUndoList.OpenBlock();
    // Edits that change the text at the caret are bracketed for overlays;
    // Backspace as one locked pair, its ttAfter sent also when it fails.
    const bool transient = !FReadOnly &&
                           ((command >= ecDeleteLastChar && command <= ecDeleteLine) || command == ecChar) &&
                           !(command == ecChar && (aChar.unicode() < 32 || aChar.unicode() == 127));
    const bool lockedTransient = transient && command == ecDeleteLastChar;
    bool transientOpen = false;
    try {
        if (transient) {
            PaintTransient(ttBefore, lockedTransient);
            transientOpen = true;
        }
        ExecuteCommand(command, aChar, data);
        if (trim) {
            const bool keepScreenColumn = backspaceInLine && FCaret.Line == startLine &&
                                          FLines->Get(startLine - 1).contains(QLatin1Char('\t'));
            const int screenColumn = keepScreenColumn ? BufferToDisplayPos(FCaret).Column : 0;
            TrimTrailingBlanksRecorded(startLine);
            if (FCaret.Line != startLine)
                TrimTrailingBlanksRecorded(FCaret.Line);
            if (keepScreenColumn) {
                const int shift = screenColumn - BufferToDisplayPos(FCaret).Column;
                if (shift != 0) {
                    // Past the line's end whatever eoScrollPastEol says.
                    const TTextEditorOptions options = FOptions;
                    FOptions |= OptionBit(eoScrollPastEol);
                    SetCaretPos(BufferCoord(std::max(1, FCaret.Char + shift), FCaret.Line));
                    FOptions = options;
                    FAnchor = FSelEnd = FCaret;
                    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
                }
            }
        }
        if (transientOpen) {
            transientOpen = false;
            PaintTransient(ttAfter, lockedTransient);
        }
    } catch (...) {
        if (trim)
            FUndoList.CloseBlock();
        EndPaintLock();
        if (transientOpen && lockedTransient)
            PaintTransient(ttAfter, true);
        throw;
    }
    if (trim)
        FUndoList.CloseBlock();
    EndPaintLock();
}

void TCustomTextEdit::TrimTrailingBlanksRecorded(int line)
{
    if (line < 1 || line > FLines->Count())
        return;
    const QString s = FLines->Get(line - 1);
    const QString t = TrimmedRight(s);
    if (t.size() == s.size())
        return;
    DeleteRecorded(BufferCoord(CellLength(t) + 1, line), BufferCoord(CellLength(s) + 1, line), urQuietDelete);
    FCaret = ClampPos(FCaret);
    FAnchor = ClampPos(FAnchor);
    FSelEnd = ClampPos(FSelEnd);
}

void TCustomTextEdit::ExecuteCommand(TTextEditorCommand command, QChar aChar, void* data)
{
    const bool select = command >= ecSelection && command <= ecSelection + 99 && command != ecSelWord &&
                        command != ecSelectAll;
    const TTextEditorCommand base = select ? static_cast<TTextEditorCommand>(command - ecSelection) : command;
    const int lineCount = std::max(1, FLines->Count());
    switch (base) {
    // Left and Right step from the caret, also with a selection, which
    // collapses at the caret's new place.
    case ecLeft: MoveCaretHorz(-1, select); return;
    case ecRight: MoveCaretHorz(1, select); return;
    case ecUp: MoveCaretVert(-1, select); return;
    case ecDown: MoveCaretVert(1, select); return;
    case ecPageUp: PageStep(false, select); return;
    case ecPageDown: PageStep(true, select); return;
    case ecPageLeft: MoveCaretHorz(-FColumnsInWindow, select); return;
    case ecPageRight: MoveCaretHorz(FColumnsInWindow, select); return;
    case ecPageTop:
    case ecPageBottom: {
        const int row = base == ecPageTop ? FTopRow : FTopRow + FRowsInWindow - 1;
        const int column = BufferToDisplayPos(FCaret).Column;
        const int desired = FDesiredColumn;
        MoveCaretAndSelection(DisplayToBufferPos(DisplayPos(column, std::max(1, row))), select);
        FDesiredColumn = desired;
        return;
    }
    case ecWordLeft:
        MoveCaretAndSelection(PreviousWordStart(FCaret), select);
        FDesiredColumn = BufferToDisplayPos(FCaret).Column;
        return;
    case ecWordRight:
        MoveCaretAndSelection(NextWordStart(FCaret), select);
        FDesiredColumn = BufferToDisplayPos(FCaret).Column;
        return;
    case ecLineStart: MoveToLineStart(select); return;
    case ecLineEnd: MoveToLineEnd(select); return;
    case ecEditorTop: MoveCaretAndSelection(BufferCoord(1, 1), select); FDesiredColumn = 1; return;
    case ecEditorBottom:
        MoveCaretAndSelection(BufferCoord(LineCells(lineCount) + 1, lineCount), select);
        FDesiredColumn = BufferToDisplayPos(FCaret).Column;
        return;
    case ecGotoXY:
        if (data) {
            MoveCaretAndSelection(*static_cast<const TBufferCoord*>(data), select);
            FDesiredColumn = BufferToDisplayPos(FCaret).Column;
        }
        return;
    default: break;
    }
    if (command >= ecGotoMarker0 && command <= ecGotoMarker9) {
        if (FBookMarkOptions.EnableKeys())
            JumpToBookmark(command - ecGotoMarker0);
        return;
    }
    if (command >= ecSetMarker0 && command <= ecSetMarker9) {
        if (FBookMarkOptions.EnableKeys()) {
            // Toggles the bookmark on its own line, moves it from another.
            const TBufferCoord at = data ? *static_cast<const TBufferCoord*>(data) : FCaret;
            const int n = command - ecSetMarker0;
            const TTextEditMark* existing = Bookmark(n);
            const bool sameLine = existing && existing->MarkLine() == at.Line;
            RemoveBookmark(n);
            if (!sameLine)
                PlaceBookmark(n, at.Char, at.Line);
        }
        return;
    }
    switch (command) {
    case ecSelWord: SelectWordAt(FCaret); return;
    case ecSelectAll: SelectWholeText(); return;
    case ecCopy: CopyToClipboard(); return;
    case ecInsertMode: SetInsertMode(true); return;
    case ecOverwriteMode: SetInsertMode(false); return;
    case ecToggleMode: SetInsertMode(!FInsertMode); return;
    case ecMatchBracket: JumpToMatchingBracket(); return;
    case ecNormalSelect: SetSelectionMode(smNormal); return;
    case ecColumnSelect: SetSelectionMode(smColumn); return;
    case ecLineSelect: SetSelectionMode(smLine); return;
    case ecScrollUp:
    case ecScrollDown: {
        const int caretRow = BufferToDisplayPos(FCaret).Row;
        if (caretRow < FTopRow || caretRow >= FTopRow + FRowsInWindow) {
            EnsureCursorPosVisible();
            return;
        }
        if (command == ecScrollUp) {
            SetTopRow(FTopRow - 1);
            const int lastVisible = FTopRow + FRowsInWindow - 1;
            if (caretRow > lastVisible)
                MoveCaretVert(lastVisible - caretRow, false);
        } else {
            SetTopRow(FTopRow + 1);
            if (caretRow < FTopRow)
                MoveCaretVert(FTopRow - caretRow, false);
        }
        EnsureCursorPosVisible();
        return;
    }
    case ecScrollLeft: SetLeftColumn(FLeftColumn - 1); return;
    case ecScrollRight: SetLeftColumn(FLeftColumn + 1); return;
    case ecContextHelp:
        if (OnContextHelp)
            OnContextHelp(this, WordAtPosition(FCaret));
        return;
    default: break;
    }
    if (FReadOnly)
        return;
    switch (command) {
    case ecChar:
        // Tabs and line breaks arrive as their own commands.
        if (aChar.unicode() < 32 || aChar.unicode() == 127)
            return;
        if (HasOption(eoColumnEditExtension) && FSelectionMode == smColumn && SelectionAvailable()) {
            TypeIntoColumnBlock(QString(aChar));
        } else if (aChar == QLatin1Char(' ') && HasOption(eoTrimTrailingSpaces) && !SelectionAvailable() &&
                   FCaret.Char > LineCells(FCaret.Line)) {
            // A blank after the line's end would only be trimmed again: the
            // caret moves on.
            SetCaretPos(BufferCoord(FCaret.Char + 1, FCaret.Line));
            FAnchor = FSelEnd = FCaret;
            FDesiredColumn = BufferToDisplayPos(FCaret).Column;
        } else {
            InsertTyped(QString(aChar));
        }
        return;
    case ecImeStr: {
        // Only a composed string heeds overwrite mode; a typed character is
        // always inserted.
        const QString text = data ? *static_cast<const QString*>(data) : QString();
        if (text.isEmpty())
            return;
        if (HasOption(eoColumnEditExtension) && FSelectionMode == smColumn && SelectionAvailable())
            TypeIntoColumnBlock(text);
        else
            InsertTyped(text, !FInsertMode);
        return;
    }
    case ecTab: Tab(); return;
    case ecLineBreak:
    case ecInsertLine: LineBreak(command == ecLineBreak); return;
    case ecBlockIndent: BlockIndent(); return;
    case ecBlockUnindent: BlockUnindent(); return;
    case ecShiftTab: ShiftTab(); return;
    case ecUpperCase:
    case ecLowerCase:
    case ecToggleCase:
    case ecTitleCase:
    case ecUpperCaseBlock:
    case ecLowerCaseBlock:
    case ecToggleCaseBlock: ChangeCase(command); return;
    case ecDeleteLastChar:
        if (!SelectionAvailable()) {
            DeleteLastChar();
            return;
        }
        [[fallthrough]];
    case ecDeleteChar:
    case ecDeleteWord:
    case ecDeleteLastWord:
    case ecDeleteBOL:
    case ecDeleteEOL:
    case ecDeleteLine: {
        BeginPaintLock();
        FUndoList.OpenBlock();
        if (SelectionAvailable() && (command == ecDeleteLastChar || command == ecDeleteChar)) {
            DeleteSelectionRecorded();
        } else if (FCaret.Line <= FLines->Count()) {
            const int cells = LineCells(FCaret.Line);
            TBufferCoord from = FCaret;
            TBufferCoord to = FCaret;
            // Single keys record quiet deletions: undone, they select nothing.
            TTextUndoReason reason = urQuietDeleteForward;
            switch (command) {
            case ecDeleteLastChar:
                reason = urQuietDelete;
                if (FCaret.Char > cells + 1) {
                    // In the virtual space Backspace only moves the caret.
                    FCaret.Char -= 1;
                    from = to = FCaret;
                } else
                    from = PrevCharPos(FCaret);
                break;
            case ecDeleteChar:
                if (FCaret.Char > cells + 1) {
                    // Joining the next line pads the line to the caret.
                    if (FCaret.Line < FLines->Count()) {
                        InsertRecorded(FCaret, QString(), urInsert);
                        from = BufferCoord(LineCells(FCaret.Line) + 1, FCaret.Line);
                        to = BufferCoord(1, FCaret.Line + 1);
                    }
                } else {
                    to = FCaret.Char > cells ? (FCaret.Line < FLines->Count() ? BufferCoord(1, FCaret.Line + 1) : FCaret)
                                             : NextCharPos(FCaret);
                }
                break;
            case ecDeleteWord: {
                // To the end of the word, or past the character at the caret
                // when that ends no word; then over the blanks after it.
                TBufferCoord w = WordEndOf(FCaret);
                if (MinPos(w, FCaret) == w && (!(w == FCaret) || w.Line < FLines->Count())) {
                    if (w.Char > LineCells(w.Line)) {
                        if (w.Line < FLines->Count())
                            w = BufferCoord(1, w.Line + 1);
                    } else if (FLines->Get(w.Line - 1)[CellToIndex(FLines->Get(w.Line - 1), w.Char - 1)] !=
                               QLatin1Char(' ')) {
                        w = NextCharPos(w);
                    }
                }
                const QString wl = FLines->Get(w.Line - 1);
                for (qsizetype i = CellToIndex(wl, w.Char - 1); i < wl.size() && wl[i] == QLatin1Char(' '); ++i)
                    ++w.Char;
                if (w == FCaret || MinPos(w, FCaret) == w)
                    break;
                if (FCaret.Char > cells + 1 && w.Line > FCaret.Line)
                    InsertRecorded(FCaret, QString(), urInsert);  // pads the line up to the caret
                from = BufferCoord(std::min(FCaret.Char, LineCells(FCaret.Line) + 1), FCaret.Line);
                to = w;
                SetSelectionMode(smNormal);
                break;
            }
            case ecDeleteLastWord:
                reason = urQuietDelete;
                from = PreviousWordStart(FCaret);
                to.Char = std::min(to.Char, cells + 1);
                if (MinPos(from, to) == to && !(from == to)) {
                    // Only in the virtual space: the caret goes to the start.
                    FCaret = from;
                    from = to = FCaret;
                }
                break;
            case ecDeleteBOL: reason = urQuietDelete; from = BufferCoord(1, FCaret.Line); to.Char = std::min(to.Char, cells + 1); break;
            case ecDeleteEOL: to = BufferCoord(cells + 1, FCaret.Line); break;
            case ecDeleteLine:
                from = BufferCoord(1, FCaret.Line);
                to = FCaret.Line < FLines->Count() ? BufferCoord(1, FCaret.Line + 1) : BufferCoord(cells + 1, FCaret.Line);
                break;
            default: break;
            }
            if (!(from == to) && from.Char > LineCells(from.Line) + 1)
                from.Char = LineCells(from.Line) + 1;
            if (!(from == to) && from == MinPos(from, to)) {
                DeleteRecorded(from, to, reason);
                FCaret = from;
            }
            if (command == ecDeleteLine)
                FCaret = BufferCoord(1, std::min(FCaret.Line, std::max(1, FLines->Count())));
            FAnchor = FSelEnd = FCaret;
        }
        FUndoList.CloseBlock();
        FDesiredColumn = BufferToDisplayPos(FCaret).Column;
        EnsureCursorPosVisible();
        EndPaintLock();
        return;
    }
    case ecClearAll: ClearContent(); return;
    case ecUndo: Undo(); return;
    case ecRedo: Redo(); return;
    case ecCut: CutToClipboard(); return;
    case ecPaste: PasteFromClipboard(); return;
    default: break;
    }
}

void TCustomTextEdit::DeleteLastChar()
{
    if (FCaret.Line > FLines->Count())
        return;
    const QString line = FLines->Get(FCaret.Line - 1);
    const int cells = CellLength(line);
    const int x = FCaret.Char;
    BeginPaintLock();
    FUndoList.OpenBlock();
    TBufferCoord to = FCaret;
    if (x > cells + 1) {
        // In the virtual space the caret only moves; with smart tab delete
        // on an empty line back to an indentation above.
        int target = x - 1;
        if (HasOption(eoSmartTabDelete)) {
            if (line.isEmpty()) {
                target = 1;
                for (int l = FCaret.Line - 1; l >= 1; --l) {
                    const int count = LeadingBlankCount(FLines->Get(l - 1), HasOption(eoTrimTrailingSpaces));
                    if (count < x - 1) {
                        target = count + 1;
                        break;
                    }
                }
            } else {
                target = cells + 1;
            }
        }
        to = BufferCoord(target, FCaret.Line);
    } else if (x == 1) {
        if (FCaret.Line > 1) {
            to = BufferCoord(LineCells(FCaret.Line - 1) + 1, FCaret.Line - 1);
            DeleteRecorded(to, FCaret, urQuietDelete);
        }
    } else {
        const int blanks = LeadingBlankCount(line, false);
        const qsizetype i = CellToIndex(line, x - 1);
        const QChar before = line[i - 1];
        int remove = 0;  // characters before the caret
        if (before.unicode() > 32 || x - 1 != blanks) {
            remove = 1;
        } else if (HasOption(eoSmartTabDelete)) {
            // Back to the indentation of the nearest line above that is
            // indented less.
            int keep = 0;
            for (int l = FCaret.Line - 1; l >= 1; --l) {
                const int count = LeadingBlankCount(FLines->Get(l - 1), false);
                if (count < blanks) {
                    keep = count;
                    break;
                }
            }
            remove = blanks - keep;
        } else {
            // Back to the previous tab stop, a tab counting as one step.
            const int column = BufferToDisplayPos(FCaret).Column;
            int v = (column - 1) % FTabWidth;
            if (v == 0)
                v = FTabWidth;
            for (qsizetype k = i; k > 0 && remove < v && remove < FTabWidth; --k) {
                ++remove;
                if (line[k - 1] == QLatin1Char('\t'))
                    break;
            }
        }
        const qsizetype from = i - remove;
        const bool pair = remove == 1 && from > 0 && line[from].isLowSurrogate() && line[from - 1].isHighSurrogate();
        to = BufferCoord(IndexToCell(line, static_cast<int>(pair ? from - 1 : from)) + 1, FCaret.Line);
        DeleteRecorded(to, FCaret, urQuietDelete);
    }
    FUndoList.CloseBlock();
    FCaret = FAnchor = FSelEnd = to;
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EnsureCursorPosVisible();
    ReportStatusChange(0);
    EndPaintLock();
}

void TCustomTextEdit::TypeIntoColumnBlock(const QString& text)
{
    // Insert mode puts the text in front of every row of the block;
    // overwrite mode fills the block's rows with the text's characters.
    const TBufferCoord b = SelectionBegin();
    const TBufferCoord e = SelectionEnd();
    const auto [left, right] = SelectionColumns();
    const int firstLine = b.Line;
    const int lastLine = e.Line;
    BeginPaintLock();
    FUndoList.OpenBlock();
    if (FInsertMode) {
        for (int line = firstLine; line <= lastLine; ++line) {
            TBufferCoord at = DisplayToBufferPos(DisplayPos(left, line));
            InsertRecorded(at, text, urInsert);
        }
        const int shift = CellLength(text);
        const TBufferCoord anchor = FAnchor;
        const TBufferCoord end = FSelEnd;
        FAnchor = BufferCoord(anchor.Char + shift, anchor.Line);
        FSelEnd = BufferCoord(end.Char + shift, end.Line);
        FCaret = BufferCoord(FCaret.Char + shift, FCaret.Line);
    } else {
        int longest = 0;
        for (int line = firstLine; line <= lastLine && line <= FLines->Count(); ++line) {
            const auto [from, to] = ColumnCells(line, left, right);
            const QString old = TextBetween(BufferCoord(from, line), BufferCoord(to, line));
            QString repl;
            // Cell for cell: a wide character of the block takes two.
            for (qsizetype k = 0; CellLength(repl) < CellLength(old); ++k)
                repl += text[k % text.size()];
            DeleteRecorded(BufferCoord(from, line), BufferCoord(to, line), urQuietDelete);
            InsertRecorded(BufferCoord(from, line), repl, urInsert);
            longest = std::max(longest, CellLength(repl));
        }
        // The block's end column follows the longest row.
        const int endColumn = std::min(b.Char, e.Char) + longest;
        if (FAnchor.Char >= FSelEnd.Char)
            FAnchor.Char = endColumn;
        else
            FSelEnd.Char = endColumn;
        FCaret = FSelEnd;
    }
    FUndoList.CloseBlock();
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EnsureCursorPosVisible();
    InvalidateClient();
    ReportStatusChange(0);
    EndPaintLock();
}

// ================================================================ indentation and case

int TCustomTextEdit::LeadingBlankCount(const QString& line, bool tabsExpanded) const
{
    if (!HasOption(eoAutoIndent))
        return 0;
    int count = 0;
    for (QChar c : line) {
        if (c.unicode() < 1 || c.unicode() > 32)
            break;
        count += c == QLatin1Char('\t') && tabsExpanded ? FTabWidth : 1;
    }
    return count;
}

QString TCustomTextEdit::MakeIndentString(int columns, bool wantTabs) const
{
    if (!wantTabs || HasOption(eoTabsToSpaces) || columns < FTabWidth)
        return QString(std::max(0, columns), QLatin1Char(' '));
    return QString(columns / FTabWidth, QLatin1Char('\t')) + QString(columns % FTabWidth, QLatin1Char(' '));
}

void TCustomTextEdit::LineBreak(bool moveCaret)
{
    BeginPaintLock();
    FUndoList.OpenBlock();
    DeleteSelectionRecorded();
    if (FLines->Count() == 0)
        FLines->Add(QString());
    const TBufferCoord at = FCaret;
    const QString line = FLines->Get(at.Line - 1);
    const int cells = CellLength(line);
    TBufferCoord caret = at;
    if (line.isEmpty()) {
        // An empty line: the indentation of the nearest text above.
        int indent = 0;
        for (int l = at.Line; l >= 1; --l)
            if (!FLines->Get(l - 1).isEmpty()) {
                indent = LeadingBlankCount(FLines->Get(l - 1), true);
                break;
            }
        InsertRecorded(BufferCoord(1, at.Line), QStringLiteral("\n"), urLineBreak);
        caret = BufferCoord(indent + 1, at.Line + 1);
    } else if (at.Char > cells) {
        // After the line's end: the new line repeats its leading blanks.
        const int indent = LeadingBlankCount(line, false);
        InsertRecorded(BufferCoord(cells + 1, at.Line), QLatin1Char('\n') + line.left(indent), urLineBreak);
        caret = BufferCoord(CellLength(line.left(indent)) + 1, at.Line + 1);
    } else if (at.Char == 1) {
        InsertRecorded(BufferCoord(1, at.Line), QStringLiteral("\n"), urLineBreak);
        caret = BufferCoord(1, at.Line + 1);
    } else {
        const QString left = line.left(CellToIndex(line, at.Char - 1));
        const QString indent = MakeIndentString(LeadingBlankCount(left, true), true);
        caret = InsertRecorded(at, QLatin1Char('\n') + indent, urLineBreak);
    }
    FCaret = moveCaret ? caret : at;
    FAnchor = FSelEnd = FCaret;
    FUndoList.CloseBlock();
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EnsureCursorPosVisible();
    EndPaintLock();
}

int TCustomTextEdit::BlockLastLine() const
{
    const TBufferCoord e = SelectionEnd();
    return e.Char == 1 && e.Line > SelectionBegin().Line ? e.Line - 1 : e.Line;
}

void TCustomTextEdit::BlockIndent()
{
    if (!SelectionAvailable())
        return;
    const TBufferCoord b = SelectionBegin();
    const TBufferCoord e = SelectionEnd();
    const bool anchorFirst = FAnchor == b;
    const int last = std::min(BlockLastLine(), FLines->Count());
    const QString step = HasOption(eoTabIndent) ? QStringLiteral("\t") : QString(BlockWidth, QLatin1Char(' '));
    const int at = FSelectionMode == smColumn ? std::min(b.Char, e.Char) : 1;
    const int stepCells = CellLength(step);
    BeginPaintLock();
    FUndoList.OpenBlock();
    for (int line = b.Line; line <= last; ++line)
        InsertRecorded(BufferCoord(std::min(at, LineCells(line) + 1), line), step, urPaste);
    FUndoList.CloseBlock();
    TBufferCoord nb = BufferCoord(b.Char + stepCells, b.Line);
    TBufferCoord ne = e.Char > 1 ? BufferCoord(e.Char + stepCells, e.Line) : e;
    FAnchor = anchorFirst ? nb : ne;
    FSelEnd = anchorFirst ? ne : nb;
    FCaret = FSelEnd;
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EndPaintLock();
    InvalidateClient();
}

void TCustomTextEdit::BlockUnindent()
{
    if (!SelectionAvailable())
        return;
    const TBufferCoord b = SelectionBegin();
    const TBufferCoord e = SelectionEnd();
    const bool anchorFirst = FAnchor == b;
    const int last = std::min(BlockLastLine(), FLines->Count());
    // What each line gives up: one tab, or up to BlockWidth blanks and a tab
    // after them while within a tab's width.
    std::vector<int> amounts;
    bool any = false;
    for (int line = b.Line; line <= last; ++line) {
        const QString s = FLines->Get(line - 1);
        const int from = FSelectionMode == smColumn ? std::min(std::min(b.Char, e.Char) - 1, static_cast<int>(s.size())) : 0;
        const int i = CellToIndex(s, from);
        int amount = 0;
        if (i < s.size() && s[i] == QLatin1Char('\t')) {
            amount = 1;
        } else {
            while (i + amount < s.size() && s[i + amount] == QLatin1Char(' ') && amount < BlockWidth)
                ++amount;
            if (i + amount < s.size() && s[i + amount] == QLatin1Char('\t') && amount < FTabWidth)
                ++amount;
        }
        amounts.push_back(amount);
        any = any || amount > 0;
    }
    if (!any)
        return;
    BeginPaintLock();
    FUndoList.OpenBlock();
    for (int line = b.Line; line <= last; ++line) {
        const int amount = amounts[static_cast<size_t>(line - b.Line)];
        if (amount == 0)
            continue;
        const QString s = FLines->Get(line - 1);
        const int from = FSelectionMode == smColumn ? std::min(std::min(b.Char, e.Char) - 1, static_cast<int>(s.size())) : 0;
        DeleteRecorded(BufferCoord(from + 1, line), BufferCoord(from + 1 + amount, line), urQuietDelete);
    }
    FUndoList.CloseBlock();
    if (FSelectionMode != smColumn) {
        const int firstAmount = amounts.front();
        const int lastAmount = e.Line <= last ? amounts.back() : 0;
        const TBufferCoord nb{std::max(1, b.Char - firstAmount), b.Line};
        const TBufferCoord ne{std::max(1, e.Char - lastAmount), e.Line};
        FAnchor = anchorFirst ? nb : ne;
        FSelEnd = anchorFirst ? ne : nb;
        FCaret = FSelEnd;
    } else {
        FCaret = FAnchor = FSelEnd = ClampPos(FCaret);
    }
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EndPaintLock();
    InvalidateClient();
}

bool TCustomTextEdit::SelectionCoversLines() const
{
    if (!SelectionAvailable() || FSelectionMode == smColumn)
        return false;
    const TBufferCoord b = SelectionBegin();
    const TBufferCoord e = SelectionEnd();
    return b.Line != e.Line || (b.Char == 1 && e.Char > LineCells(FCaret.Line));
}

void TCustomTextEdit::Tab()
{
    if (HasOption(eoTabIndent) && SelectionCoversLines()) {
        BlockIndent();
        return;
    }
    // Smart tabs: to the start of the next word on the nearest line above
    // that reaches the caret's column.
    const int column = BufferToDisplayPos(FCaret).Column;
    int distance = 0;
    if (HasOption(eoSmartTabs) && FCaret.Line > 1) {
        for (int l = std::min(FCaret.Line - 1, FLines->Count()); l >= 1; --l) {
            const QString above = FLines->ExpandedLine(l - 1);
            if (CellLength(above) < column)
                continue;
            int i = CellToIndex(above, column - 1);
            const int start = i;
            while (i < above.size() && above[i] != QLatin1Char(' '))
                ++i;
            while (i < above.size() && above[i] == QLatin1Char(' '))
                ++i;
            distance = CellLength(above.mid(start, i - start));
            break;
        }
    }
    if (distance == 0)
        distance = HasOption(eoTabsToSpaces) ? FTabWidth - (FCaret.Char - 1) % FTabWidth : FTabWidth;
    InsertTyped(HasOption(eoTabsToSpaces) ? QString(distance, QLatin1Char(' ')) : QStringLiteral("\t"));
}

void TCustomTextEdit::ShiftTab()
{
    if (HasOption(eoTabIndent) && SelectionCoversLines()) {
        BlockUnindent();
        return;
    }
    if (FCaret.Line > FLines->Count() || FCaret.Char <= 1)
        return;
    const QString line = FLines->Get(FCaret.Line - 1);
    const int cells = CellLength(line);
    const int caret = FCaret.Char;
    const int previousStop = FTabWidth * ((caret - 2) / FTabWidth) + 1;
    int target = caret;
    if (HasOption(eoSmartTabs)) {
        // Back to the start of the word on the nearest line above that
        // reaches the caret's column.
        const int column = BufferToDisplayPos(FCaret).Column;
        for (int l = FCaret.Line - 1; l >= 1; --l) {
            const QString above = FLines->ExpandedLine(l - 1);
            if (CellLength(above) < column)
                continue;
            qsizetype i = CellToIndex(above, column - 1);
            while (i > 0 && above[i - 1] == QLatin1Char(' '))
                --i;
            while (i > 0 && above[i - 1] != QLatin1Char(' '))
                --i;
            target = DisplayToBufferPos(DisplayPos(IndexToCell(above, static_cast<int>(i)) + 1, FCaret.Line)).Char;
            target = std::max(1, std::min(target, caret));
            break;
        }
    }
    if (target == caret && caret > cells + 1) {
        target = previousStop;
    } else if (target == caret) {
        const int i = CellToIndex(line, caret - 1);
        if (i > 0 && line[i - 1] == QLatin1Char('\t') && previousStop < caret) {
            target = caret - 1;
        } else {
            int k = i;
            while (k > 0 && line[k - 1] == QLatin1Char(' ') && IndexToCell(line, k - 1) + 1 >= previousStop)
                --k;
            target = IndexToCell(line, k) + 1;
        }
    }
    if (target == caret)
        return;
    BeginPaintLock();
    FUndoList.OpenBlock();
    if (caret <= cells + 1)
        DeleteRecorded(BufferCoord(target, FCaret.Line), BufferCoord(caret, FCaret.Line), urDeleteForward);
    else if (target <= cells)
        DeleteRecorded(BufferCoord(target, FCaret.Line), BufferCoord(cells + 1, FCaret.Line), urDeleteForward);
    FUndoList.CloseBlock();
    FCaret = FAnchor = FSelEnd = BufferCoord(target, FCaret.Line);
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EndPaintLock();
}

namespace {

QString ConvertCase(const QString& text, TTextEditorCommand command)
{
    QString out = text;
    auto isUpper = [](QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); };
    auto isLower = [](QChar c) { return c >= QLatin1Char('a') && c <= QLatin1Char('z'); };
    auto upper = [&](QChar c) { return isLower(c) ? QChar(c.unicode() - 32) : c; };
    auto lower = [&](QChar c) { return isUpper(c) ? QChar(c.unicode() + 32) : c; };
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out[i];
        switch (command) {
        case ecUpperCase:
        case ecUpperCaseBlock: out[i] = upper(c); break;
        case ecLowerCase:
        case ecLowerCaseBlock: out[i] = lower(c); break;
        case ecToggleCase:
        case ecToggleCaseBlock: out[i] = isUpper(c) ? lower(c) : upper(c); break;
        case ecTitleCase: out[i] = i == 0 ? upper(c) : lower(c); break;
        default: break;
        }
    }
    return out;
}

}  // namespace

std::pair<TBufferCoord, TBufferCoord> TCustomTextEdit::WordAround(const TBufferCoord& p) const
{
    if (p.Line < 1 || p.Line > FLines->Count())
        return {p, p};
    return {WordStartOf(p), WordEndOf(p)};
}

void TCustomTextEdit::ChangeCase(TTextEditorCommand command)
{
    const bool block = command >= ecUpperCaseBlock;
    const TBufferCoord oldCaret = FCaret;
    const TBufferCoord oldAnchor = FAnchor;
    const TBufferCoord oldEnd = FSelEnd;
    const bool hadSelection = SelectionAvailable();
    if (!block) {
        auto [start, end] = WordAround(FCaret);
        for (int attempt = 0; attempt < 2 && start == end; ++attempt)
            std::tie(start, end) = WordAround(PreviousWordStart(start));
        if (start == end)
            return;
        FAnchor = start;
        FSelEnd = FCaret = end;
    } else if (!hadSelection) {
        if (FCaret.Line > FLines->Count())
            return;
        if (FCaret.Char > LineCells(FCaret.Line)) {
            // Past the line's end the caret only moves on to the next line.
            if (FCaret.Line < FLines->Count())
                PlaceCaretCollapsed(BufferCoord(1, FCaret.Line + 1));
            return;
        }
        FAnchor = FCaret;
        FSelEnd = FCaret = NextCharPos(FCaret);
    }
    const QString text = SelectionText(false);
    const QString converted = ConvertCase(text, command);
    BeginPaintLock();
    FUndoList.OpenBlock();
    if (converted != text) {
        // Undo gives back the selection and the caret as they were.
        FUndoList.RecordChange(urSelection, oldAnchor, oldEnd, QString(), FSelectionMode);
        FUndoList.RecordChange(urCaret, oldCaret, oldCaret, QString(), FSelectionMode);
        const TTextSelectionMode mode = block ? FSelectionMode : smNormal;
        const TTextSelectionMode before = FSelectionMode;
        FSelectionMode = mode;
        // The selection text trims trailing blanks; replace only what it read.
        ReplaceSelectionRecorded(converted, mode);
        FSelectionMode = before;
    }
    FUndoList.CloseBlock();
    if (block && hadSelection) {
        FAnchor = oldAnchor;
        FSelEnd = oldEnd;
        FCaret = oldCaret;
    } else if (!block) {
        FCaret = FAnchor = FSelEnd = oldCaret;
    } else {
        FAnchor = FSelEnd = FCaret;
    }
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
    EndPaintLock();
    InvalidateClient();
}

TTextEditorCommand TCustomTextEdit::TranslateKeyCode(std::uint16_t key, TShiftState shift)
{
    TTextEditorCommand command = ecNone;
    int i = -1;
    if (FLastShortcutKey != 0)
        i = FKeystrokes.FindKeyPair(FLastShortcutKey, FLastShortcutShift, key, shift);
    if (i < 0)
        i = FKeystrokes.FindSingleKey(key, shift);
    if (i >= 0)
        command = FKeystrokes.Items(i)->Command();
    if (command != ecNone || key < 30 || key > 145) {
        FLastShortcutKey = 0;
        FLastShortcutShift = 0;
    } else {
        FLastShortcutKey = key;
        FLastShortcutShift = shift;
    }
    return command;
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

bool TCustomTextEdit::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        // Only keys the editor binds (and typing) are taken from the
        // application's shortcuts, so the global hot keys still fire.
        auto* k = static_cast<QKeyEvent*>(e);
        const std::uint16_t key = VirtualKeyFromQt(k->key(), k->modifiers());
        const TShiftState shift = ShiftStateFromQt(k->modifiers());
        const bool bound = key != 0 && FKeystrokes.FindSingleKey(key, shift) >= 0;
        const bool typing = !k->text().isEmpty() && k->text()[0].unicode() >= 32 &&
                            !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (bound || typing) {
            e->accept();
            return true;
        }
        return QWidget::event(e);
    }
    return QWidget::event(e);
}

bool TCustomTextEdit::focusNextPrevChild(bool next)
{
    if (FWantTabs)
        return false;
    return QWidget::focusNextPrevChild(next);
}

void TCustomTextEdit::keyPressEvent(QKeyEvent* e)
{
    Guarded("key down", [&] {
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
    Guarded("key up", [&] {
        if (e->key() == Qt::Key_Alt && FAltColumnSwitch) {
            FAltColumnSwitch = false;
            SetSelectionMode(FModeBeforeAlt);
        }
        std::uint16_t key = VirtualKeyFromQt(e->key(), e->modifiers());
        const TShiftState shift = ShiftStateFromQt(e->modifiers());
        if (OnKeyUp)
            OnKeyUp(this, key, shift);
        if (key != 0)
            FKbdHandler.RunKeyUpHandlers(this, key, shift);
    });
}

void TCustomTextEdit::inputMethodEvent(QInputMethodEvent* e)
{
    Guarded("input method", [&] {
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
    Guarded("mouse down", [&] {
        const int x = e->position().toPoint().x();
        const int y = e->position().toPoint().y();
        FKbdHandler.RunMouseDownHandlers(this, e->button(), ShiftStateFromQt(e->modifiers()), x, y);
        if (RightEdgeDraggable() && e->button() == Qt::LeftButton && NearRightEdge(x)) {
            FRightEdgeDragging = true;
            FRightEdgeDragX = -1;
            return;
        }
        setFocus(Qt::MouseFocusReason);
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
    Guarded("mouse move", [&] {
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
    Guarded("mouse up", [&] {
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
    Guarded("drag enter", [&] {
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
    Guarded("drag over", [&] {
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
    Guarded("drop", [&] {
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
    Guarded("double click", [&] {
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
    Guarded("wheel", [&] {
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

void TCustomTextEdit::focusInEvent(QFocusEvent* e)
{
    QWidget::focusInEvent(e);
    FCaretShown = true;
    RestartCaretBlink();
    InvalidateClient();
}

void TCustomTextEdit::focusOutEvent(QFocusEvent* e)
{
    QWidget::focusOutEvent(e);
    if (FBlinkTimer) {
        killTimer(FBlinkTimer);
        FBlinkTimer = 0;
    }
    InvalidateClient();
}

void TCustomTextEdit::RestartCaretBlink()
{
    FCaretShown = true;
    if (FBlinkTimer) {
        killTimer(FBlinkTimer);
        FBlinkTimer = 0;
    }
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0)
        FBlinkTimer = startTimer(flash / 2);
}

void TCustomTextEdit::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == FBlinkTimer) {
        FCaretShown = !FCaretShown;
        update(CaretRect().adjusted(-1, -1, 1, 1));
        return;
    }
    QWidget::timerEvent(e);
}

void TCustomTextEdit::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    SizeChanged();
}

// ================================================================ painting

QRect TCustomTextEdit::CaretRect() const
{
    const QPoint p = DisplayPosToPixels(BufferToDisplayPos(FCaret));
    const int rh = RowHeight();
    switch (FInsertMode ? FInsertCaret : FOverwriteCaret) {
    case ctVerticalLine: return QRect(p.x(), p.y(), 2, rh);
    case ctHorizontalLine: return QRect(p.x(), p.y() + rh - 2, FCharWidth, 2);
    case ctHalfBlock: return QRect(p.x(), p.y() + rh / 2, FCharWidth, rh - rh / 2);
    case ctBlock: return QRect(p.x(), p.y(), FCharWidth, rh);
    }
    return QRect(p.x(), p.y(), 2, rh);
}

QString TCustomTextEdit::DisplayLine(int line) const
{
    const QString s = FLines->Get(line - 1);
    if (!s.contains(QLatin1Char('\t')))
        return s;
    QString out;
    int column = 0;
    for (QChar c : s) {
        if (c == QLatin1Char('\t')) {
            const int n = FTabWidth - (column % FTabWidth);
            out += QString(n, QLatin1Char(' '));
            column += n;
        } else {
            out += c;
            column += CellsOf(c);
        }
    }
    return out;
}

void TCustomTextEdit::PaintGutter(QPainter& painter, int firstRow, int lastRow)
{
    if (FGutterPixels <= 0)
        return;
    const int rh = RowHeight();
    const int rowCount = DisplayRowCount();
    painter.fillRect(QRect(0, 0, FGutterPixels, height()), ToQColor(FGutter.Color()));
    if (FGutter.ShowLineNumbers()) {
        const QColor ink = ToQColor(FGutter.Font().Color);
        FDrawer->ChangeForeColor(FGutter.Font().Color);
        FDrawer->ChangeBackColor(FGutter.Color());
        // Ticks stand centred on the column of the last digit.
        const int d = FCharWidth;
        const int x0 = FGutterPixels - FGutter.RightOffset() - 2;
        for (int row = firstRow; row <= lastRow && row <= rowCount; ++row) {
            // A wrapped line shows its number on its first row only.
            const int line = RowToLine(row);
            if (FWrap && LineToRow(line) != row)
                continue;
            QString number = FGutter.LineNumberText(line);
            if (OnGutterGetText)
                OnGutterGetText(this, line, number);
            const int top = (row - FTopRow) * rh;
            if (FGutter.Intens() && line != FCaret.Line && !number.endsWith(QLatin1Char('0'))) {
                // Only every tenth line and the caret's line show their
                // number; a dash marks the fifth, two short strokes the rest.
                if (line % 5 == 0) {
                    const int y = top + (rh - 1) / 2;
                    painter.fillRect(QRect(QPoint(x0 + (d - 4) / 2 - d, y), QPoint(x0 - (d - 4) / 2 - 1, y)), ink);
                } else {
                    const int y = top + (rh - 2) / 2;
                    painter.fillRect(QRect(QPoint(x0 + (d - 2) / 2 - d, y), QPoint(x0 - (d - 2) / 2 - 1, y + 1)), ink);
                }
                continue;
            }
            const int x = x0 - CellLength(number) * FCharWidth;
            FDrawer->PutText(std::max(0, x), top, number);
        }
    }
    if (FGutter.LeftOffsetColor() != clNone)
        painter.fillRect(QRect(0, 0, FGutter.LeftOffset(), height()), ToQColor(FGutter.LeftOffsetColor()));
    if (FGutter.RightOffsetColor() != clNone)
        painter.fillRect(QRect(FGutterPixels - FGutter.RightOffset(), 0, FGutter.RightOffset(), height()),
                         ToQColor(FGutter.RightOffsetColor()));
    // The border: on the gutter's last pixel column, or on the one before
    // it with the last in the gutter's colour.
    if (FGutter.BorderStyle() != gbsNone) {
        if (FGutter.BorderStyle() == gbsMiddle) {
            painter.fillRect(QRect(FGutterPixels - 2, 0, 1, height()), ToQColor(FGutter.BorderColor()));
            painter.fillRect(QRect(FGutterPixels - 1, 0, 1, height()), ToQColor(FGutter.Color()));
        } else {
            painter.fillRect(QRect(FGutterPixels - 1, 0, 1, height()), ToQColor(FGutter.BorderColor()));
        }
    }
    PaintMarks(painter, firstRow, lastRow);
    // Changed lines: a bar in the colour of their state.
    if (FGutter.ShowLineModified()) {
        for (int row = firstRow; row <= lastRow && row <= rowCount; ++row) {
            const TTextLineState* state = FLines->LineExtra(RowToLine(row) - 1);
            if (!state || *state == lsUnchanged)
                continue;
            const TColor color = *state == lsSaved ? FGutter.LineNormalColor() : FGutter.LineModifiedColor();
            painter.fillRect(QRect(FGutterPixels - FGutter.RightOffset(), (row - FTopRow) * rh, 5, rh), ToQColor(color));
        }
    }
}

void TCustomTextEdit::PaintTextLines(QPainter& painter, const QRect& clip, int firstRow, int lastRow, int firstColumn,
                                     int lastColumn)
{
    const int rh = RowHeight();
    const int textX = FGutterPixels + 2 - (FLeftColumn - 1) * FCharWidth;
    const QRect textArea = QRect(FGutterPixels, 0, width() - FGutterPixels, height()) & clip;
    painter.setClipRect(textArea);
    const bool showSel = SelectionAvailable() && !(FHideSelection && !hasFocus());
    const TDisplayPos selB = BufferToDisplayPos(SelectionBegin());
    const TDisplayPos selE = BufferToDisplayPos(SelectionEnd());
    const int caretRow = BufferToDisplayPos(FCaret).Row;
    for (int row = firstRow; row <= lastRow; ++row) {
        const int y = (row - FTopRow) * rh;
        const QRect rowRect(textArea.left(), y, textArea.width(), rh);
        TColor back = FColor;
        TColor fore = FFont.Color;
        if (FActiveLine.Visible() && row == caretRow) {
            back = FActiveLine.Background();
            fore = FActiveLine.Foreground();
        }
        // A line the handler marks special takes the colours it sets, and
        // its selected text is drawn inverted.
        bool special = false;
        if (row <= DisplayRowCount() && OnSpecialLineColors) {
            TColor specialFore = clNone;
            TColor specialBack = clNone;
            OnSpecialLineColors(this, RowToLine(row), special, specialFore, specialBack);
            if (special) {
                if (specialFore != clNone)
                    fore = specialFore;
                if (specialBack != clNone)
                    back = specialBack;
            }
        }
        painter.fillRect(rowRect, ToQColor(back));
        if (row > DisplayRowCount())
            continue;
        QString text = DisplayLine(RowToLine(row));
        if (FWrap) {
            // The row's piece of its line.
            const auto [start, count] = RowCells(row);
            const int from = CellToIndex(text, start);
            text = text.mid(from, CellToIndex(text, start + count) - from);
        }
        // Only the columns inside the clip are drawn (a wide character cut
        // by the clip's left edge is drawn whole).
        int startCell = std::max(0, firstColumn - 1);
        if (startCell > 0 && startCell < CellLength(text) && IsTrailCell(text, startCell + 1))
            --startCell;
        const int startIndex = CellToIndex(text, startCell);
        const int endIndex = CellToIndex(text, std::max(startCell, lastColumn));
        const int shownX = textX + IndexToCell(text, startIndex) * FCharWidth;
        const QString shown = text.mid(startIndex, endIndex - startIndex);
        FDrawer->ChangeForeColor(fore);
        FDrawer->ChangeBackColor(back);
        FDrawer->PutText(shownX, y, shown);
        if (showSel && row >= selB.Row && row <= selE.Row) {
            int c1 = row == selB.Row ? selB.Column : 1;
            // Line ends inside the selection show one selected cell.
            int c2 = row == selE.Row ? selE.Column : std::max(CellLength(text) + 2, c1 + 1);
            if (FSelectionMode == smLine) {
                c1 = 1;
                c2 = std::max(CellLength(text) + 2, FLeftColumn + FColumnsInWindow + 1);
            } else if (FSelectionMode == smColumn) {
                std::tie(c1, c2) = SelectionColumns();
            }
            if (c2 > c1) {
                const QRect r(textX + (c1 - 1) * FCharWidth, y, (c2 - c1) * FCharWidth, rh);
                FDrawer->ChangeForeColor(special ? back : FSelectedColor.Foreground());
                FDrawer->ChangeBackColor(special ? fore : FSelectedColor.Background());
                FDrawer->PutTextClipped(shownX, y, r, shown, true);
            }
        }
    }
    if (FRightEdge.Visible()) {
        const int x = textX + FRightEdge.Position() * FCharWidth;
        painter.setPen(ToQColor(FRightEdge.Color()));
        painter.drawLine(x, 0, x, height());
    }
    if (hasFocus() && FCaretShown && !HasOption(eoNoCaret)) {
        const QRect r = CaretRect();
        if (r.x() >= FGutterPixels + 2 || FLeftColumn == 1)
            painter.fillRect(r, ToQColor(FFont.Color));
    }
    if (!FPreedit.isEmpty()) {
        // The input method's unfinished text, drawn over the caret's place.
        const QPoint p = DisplayPosToPixels(BufferToDisplayPos(FCaret));
        const QRect r(p.x(), p.y(), CellLength(FPreedit) * FCharWidth, rh);
        FDrawer->ChangeForeColor(FFont.Color);
        FDrawer->ChangeBackColor(FColor);
        FDrawer->PutTextClipped(p.x(), p.y(), r, FPreedit, true);
        painter.setPen(ToQColor(FFont.Color));
        painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    }
    painter.setClipping(false);
}

void TCustomTextEdit::PaintClip(QPainter& painter, const QRect& clip)
{
    const int rh = RowHeight();
    const int cw = std::max(1, FCharWidth);
    const int firstRow = FTopRow + std::max(0, clip.top()) / rh;
    const int lastRow = FTopRow + std::max(0, clip.bottom()) / rh;
    // The columns the clip reaches, counted from the first visible one.
    int firstColumn = FLeftColumn;
    if (clip.left() > FGutterPixels + 2)
        firstColumn += (clip.left() - FGutterPixels - 2) / cw;
    const int lastColumn = FLeftColumn + (clip.right() + 1 - FGutterPixels - 3 + cw) / cw;
    FDrawer->StartDrawing(&painter);
    try {
        // A clip only over the text paints no gutter, one only over the
        // gutter no text.
        if (clip.left() < FGutterPixels) {
            painter.setClipRect(clip & QRect(0, 0, FGutterPixels, height()));
            PaintGutter(painter, firstRow, lastRow);
            if (FCodeFolding.Enabled() && FGutterPixels > 0 && FLines->Count() > 0)
                PaintFoldBar(painter, firstRow, lastRow);
            painter.setClipping(false);
        }
        if (clip.right() >= FGutterPixels)
            PaintTextLines(painter, clip, firstRow, lastRow, firstColumn, lastColumn);
    } catch (...) {
        FDrawer->FinishDrawing();
        throw;
    }
    FDrawer->FinishDrawing();
    PaintPlugins(painter, clip, std::max(1, firstRow), lastRow);
}

void TCustomTextEdit::paintEvent(QPaintEvent* e)
{
    Guarded("paint", [&] {
        QPainter painter(this);
        const QRect client = ClientRect();
        // Beneath the scroll bars (the corner between them): the background.
        for (const QRect& r : e->region() - QRegion(client))
            painter.fillRect(r, ToQColor(FColor));
        // Each rectangle of the region on its own: two rows far apart
        // repaint as two rows, not as all the rows between them.
        for (const QRect& r : e->region()) {
            const QRect clip = r & client;
            if (!clip.isEmpty())
                PaintClip(painter, clip);
        }
        if (FTransientLock == 0 && OnPaintTransient) {
            painter.save();
            TCanvas canvas(painter);
            canvas.Font = FFont;
            canvas.BrushColor = FColor;
            OnPaintTransient(this, &canvas, ttAfter);
            painter.restore();
        }
        if (FRightEdgeDragging && FRightEdgeDragX >= 0) {
            // The dragged edge: a dotted black line, every other pixel.
            painter.setClipRect(client);
            for (int y = 1; y <= client.height(); y += 2)
                painter.fillRect(QRect(FRightEdgeDragX, y, 1, 1), Qt::black);
        }
    });
}
