// The editor control's shell: construction, the plugin list, the line
// store's notifications, bookmarks, the highlighter's line states, text
// access, settings, key bindings with a layout, status reports, and the Qt
// events of focus, timers and size. Input, commands, caret and selection,
// undo replay, scrolling and painting each have a source of their own.
#include "TextEdit.h"

#include "Cursors.h"
#include "TextCompletion.h"
#include "TextEditHighlighter.h"
#include "TextEditInternal.h"

#include <QtCore/QTextStream>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QStyleHints>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollBar>
#include <algorithm>
#include <limits>

// ================================================================ construction

TCustomTextEdit::TCustomTextEdit(QWidget* parent) : QWidget(parent), FLines(new TTextEditStringList)
{
    // Folding: the plugin that keeps the ranges in step with the lines.
    FFoldPlugin = std::make_unique<TTextEditCodeFoldingPlugin>(this);
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
    FLines->OnBeforeLineReplaced = [this](TTextEditStringList*, int index, int) { FoldLineReplacing(index); };
    FLines->OnLineReplaced = [this](TTextEditStringList*, int index, int count) {
        FoldLineReplaced(index);
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
    connect(FVScroll, &QScrollBar::valueChanged, this, [this] { TextEditGuarded("scroll", [&] { ScrollBarMoved(); }); });
    connect(FHScroll, &QScrollBar::valueChanged, this, [this] { TextEditGuarded("scroll", [&] { ScrollBarMoved(); }); });
    connect(FVScroll, &QScrollBar::actionTriggered, this,
            [this](int action) { TextEditGuarded("scroll", [&] { ScrollBarAction(Qt::Vertical, action); }); });
    connect(FHScroll, &QScrollBar::actionTriggered, this,
            [this](int action) { TextEditGuarded("scroll", [&] { ScrollBarAction(Qt::Horizontal, action); }); });
    connect(FVScroll, &QScrollBar::sliderReleased, this, [this] { TextEditGuarded("scroll", [&] { VScroll(scEndScroll, 0); }); });
    connect(FHScroll, &QScrollBar::sliderReleased, this, [this] { TextEditGuarded("scroll", [&] { HScroll(scEndScroll, 0); }); });
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
    // Popup forms and the hint popup.
    CreateHintPopup();
}

TCustomTextEdit::~TCustomTextEdit()
{
    if (FCommandHooks) {
        const auto hooks = *FCommandHooks;
        for (const auto& hook : hooks)
            hook.first->EditorGoing(this);
    }
    FFoldPlugin.reset();
    FHighlightedFold = nullptr;
    if (FHighlighter)
        FHighlighter->RemoveChangeListener(Method<void(void*)>(this, &TCustomTextEdit::HighlighterListener));
    // Last to first; each plugin takes itself out of the list as it goes.
    while (FPlugins && !FPlugins->empty())
        delete FPlugins->back();
    FPlugins.reset();
    FLines->OnLinesInserted = nullptr;
    FLines->OnLinesDeleted = nullptr;
    FLines->OnLineReplaced = nullptr;
    FLines->OnBeforeLineReplaced = nullptr;
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
    if (FFoldPlugin)
        FFoldPlugin->NotifyLinesAdded(firstLine, count);
    ForEachPlugin([&](TTextEditPlugin* plugin) { plugin->NotifyLinesAdded(firstLine, count); });
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
    if (FFoldPlugin)
        FFoldPlugin->NotifyLinesRemoved(firstLine, count);
    ForEachPlugin([&](TTextEditPlugin* plugin) { plugin->NotifyLinesRemoved(firstLine, count); });
}

void TCustomTextEdit::ForEachPlugin(const std::function<void(TTextEditPlugin*)>& call)
{
    if (!FPlugins)
        return;
    // The order is the list's when the notification began; a plugin may
    // free another while it is told, so each is looked up again before its
    // call.
    const std::vector<TTextEditPlugin*> plugins = *FPlugins;
    for (TTextEditPlugin* plugin : plugins)
        if (FPlugins && std::find(FPlugins->begin(), FPlugins->end(), plugin) != FPlugins->end())
            call(plugin);
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

void TCustomTextEdit::SetHighlighter(TTextCustomHighlighter* value)
{
    if (value == FHighlighter)
        return;
    // Ranges found with the old highlighter's regions go with it.
    const bool foldsFromHighlighter = FCodeFolding.HighlighterFoldRegions() && FAllFoldRanges.TotalCount() > 0;
    if (foldsFromHighlighter || (FCodeFolding.HighlighterFoldRegions() && value))
        DropFoldRanges();
    if (FHighlighter)
        FHighlighter->RemoveChangeListener(Method<void(void*)>(this, &TCustomTextEdit::HighlighterListener));
    FHighlighter = value;
    if (FHighlighter)
        FHighlighter->AddChangeListener(Method<void(void*)>(this, &TCustomTextEdit::HighlighterListener));
    HighlighterChanged();
    HighlighterAttributesChanged();
    if (FCodeFolding.Enabled() && FCodeFolding.HighlighterFoldRegions())
        RescanFolds();
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

// ================================================================ text access

QString TCustomTextEdit::ReadFullText() const
{
    // Collapsed ranges are read expanded; without folding the lines are
    // read where they are.
    if (FCodeFolding.Enabled() || HasCollapsedFolds()) {
        const QStringList lines = ExpandedCopyOfLines();
        qsizetype size = 0;
        for (const QString& line : lines)
            size += line.size() + 2;
        QString result;
        result.reserve(size);
        for (const QString& line : lines) {
            result += line;
            result += QLatin1String("\r\n");
        }
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
