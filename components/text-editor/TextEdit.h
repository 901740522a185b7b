#pragma once
// The plain-text editor control: a widget of our own that lays the text out
// in a grid of cells (an ASCII character one cell, any other two), paints it
// with the text drawer, and edits it through the key bindings, keeping undo
// and redo lists. TTextEdit is the class the dictation screens place.
#include "TextEditDrawer.h"
#include "TextEditFolding.h"
#include "TextEditKbdHandler.h"
#include "TextEditKeyCmds.h"
#include "TextEditLines.h"
#include "TextEditMarks.h"
#include "TextEditOptions.h"
#include "TextEditUndo.h"
#include "TextEditWordWrap.h"
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QDropEvent;
class QLabel;
class QMimeData;
class QTextStream;
class QScrollBar;
class TCanvas;
class TCustomTextEdit;
class TTextCustomHighlighter;
class TTextCompletionProposal;

// A small object attached to one editor: it draws over the painted text and
// hears about whole lines inserted and removed, without the editor knowing its
// kind. Created with an editor it joins that editor's plugin list, and the
// editor frees it with itself; created without one it belongs to no editor
// and is never called. Freeing a plugin earlier takes it out of the list.
class TTextEditPlugin {
public:
    explicit TTextEditPlugin(TCustomTextEdit* owner);
    virtual ~TTextEditPlugin();
    TTextEditPlugin(const TTextEditPlugin&) = delete;
    TTextEditPlugin& operator=(const TTextEditPlugin&) = delete;

    TCustomTextEdit* Owner() const { return FOwner; }

    // After the text area is painted: the editor's canvas, the rectangle
    // being painted, and the first and last line painted (1-based, within
    // the text).
    virtual void PaintOverlay(TCanvas& canvas, const QRect& clip, int firstLine, int lastLine) = 0;
    // Whole lines inserted before or removed from firstLine (1-based).
    virtual void NotifyLinesAdded(int firstLine, int count) = 0;
    virtual void NotifyLinesRemoved(int firstLine, int count) = 0;

protected:
    // A plugin the editor holds itself: it belongs to the editor but stays
    // out of the plugin list (the editor tells it first).
    struct TUnlisted {};
    TTextEditPlugin(TCustomTextEdit* owner, TUnlisted);

private:
    TCustomTextEdit* FOwner;
};

// Code folding: keeps the fold ranges in step with whole lines inserted and
// removed. Every editor has one, told before the listed plugins.
class TTextEditCodeFoldingPlugin : public TTextEditPlugin {
public:
    explicit TTextEditCodeFoldingPlugin(TCustomTextEdit* owner);
    void PaintOverlay(TCanvas& canvas, const QRect& clip, int firstLine, int lastLine) override;
    void NotifyLinesAdded(int firstLine, int count) override;
    void NotifyLinesRemoved(int firstLine, int count) override;
};

enum TTextEditorOption : std::uint8_t {
    eoAltSetsColumnMode, eoAutoIndent, eoAutoSizeMaxScrollWidth, eoDisableScrollArrows, eoDragDropEditing,
    eoDropFiles, eoEnhanceHomeKey, eoEnhanceEndKey, eoGroupUndo, eoHalfPageScroll, eoHideShowScrollbars,
    eoKeepCaretX, eoNoCaret, eoNoSelection, eoRightMouseMovesCursor, eoScrollByOneLess, eoScrollHintFollows,
    eoScrollPastEof, eoScrollPastEol, eoShowScrollHint, eoShowSpecialChars, eoSmartTabDelete, eoSmartTabs,
    eoSpecialLineDefaultFg, eoTabIndent, eoTabsToSpaces, eoTrimTrailingSpaces, eoColumnEditExtension
};
// A set of options, one bit per option in the order above.
using TTextEditorOptions = std::uint32_t;
constexpr TTextEditorOptions OptionBit(TTextEditorOption option) { return 1u << option; }
constexpr TTextEditorOptions TextEditDefaultOptions = 0x0A6C0192;

// What changed since the last status report; one bit per kind.
enum TTextStatusChange : std::uint16_t {
    scAll = 1, scCaretX = 2, scCaretY = 4, scLeftChar = 8, scTopLine = 16, scInsertMode = 32, scModified = 64,
    scSelection = 128, scReadOnly = 256
};
using TTextStatusChanges = std::uint16_t;

// Requests of a scroll bar, and which bar scrolled.
enum TScrollCode : std::uint8_t {
    scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll
};
enum TScrollBarKind : std::uint8_t { sbHorizontal, sbVertical };

enum TLineSpacingRule : std::uint8_t { lsSingle, lsOneAndHalf, lsDouble, lsSpecified };

// A handler that hears every command before it runs (afterProcessing false)
// and after it ran (true). Setting handled cancels the command: the editor
// does not run it, or hears no more of it. handlerData is what the handler
// was registered with.
class ITextEditCommandHook {
public:
    virtual ~ITextEditCommandHook() = default;
    virtual void HookedCommand(TCustomTextEdit* sender, bool afterProcessing, bool& handled,
                               TTextEditorCommand& command, QChar& aChar, void* data, void* handlerData) = 0;
    // The editor is being destroyed; the last call a hook has from it, made
    // while the editor is still whole.
    virtual void EditorGoing(TCustomTextEdit* sender) { (void)sender; }
};
enum TTextEditCaretType : std::uint8_t { ctVerticalLine, ctHorizontalLine, ctHalfBlock, ctBlock };
// Before or after a change that may move what an application draws over the
// text.
enum TTransientType : std::uint8_t { ttBefore, ttAfter };
// What a search-and-replace does with one hit.
enum TTextReplaceAction : std::uint8_t { raCancel, raSkip, raReplace, raReplaceAll };
// The screen's cursor numbers the editor uses.
constexpr TCursor crArrow = -2;
constexpr TCursor crIBeam = -4;
constexpr TCursor crHSplit = -14;
constexpr TCursor crHelp = -20;

class TCustomTextEdit : public QWidget {
public:
    explicit TCustomTextEdit(QWidget* parent = nullptr);
    ~TCustomTextEdit() override;

    // ------------------------------------------------------------ text
    TTextEditStringList& Lines() { return *FLines; }
    const TTextEditStringList& Lines() const { return *FLines; }
    // Every line followed by CR LF; empty for an empty editor.
    QString ReadFullText() const;
    // Replaces the whole text as one undo step.
    void ReplaceAllText(const QString& text);
    QString CaretLineText() const;
    void SetCaretLineText(const QString& text);
    // Empties the editor, its marks and both undo lists; not undoable.
    void ClearContent();
    // Caret to a 0-based character index of the text (a line break counts
    // 2): an index in a line or its break gives that line and the character
    // index + 1 (past the line's end inside the break, which the caret setter
    // clamps unless eoScrollPastEol); an index at or past the end of the text
    // (the last line has no break) gives the start of the last line. The
    // selection collapses at the caret.
    void PlaceCaretAtCharIndex(int index);
    TBufferCoord CharIndexToCaretPos(int index) const;

    // ------------------------------------------------------------ coordinates
    TDisplayPos BufferToDisplayPos(const TBufferCoord& p) const;
    TBufferCoord DisplayToBufferPos(const TDisplayPos& p) const;
    QPoint DisplayPosToPixels(const TDisplayPos& p) const;
    TDisplayPos PixelsToDisplayPos(int x, int y) const;
    TDisplayPos PixelsToNearestRowColumn(int x, int y) const;
    int RowHeight() const;
    // Without word wrap rows are lines; with it, the wrapped pieces of lines.
    int DisplayRowCount() const;
    int LineToRow(int line) const;
    int RowToLine(int row) const;
    bool WordWrapActive() const { return FWrap != nullptr; }
    TTextWordWrap& WordWrap() { return FWordWrap; }
    // The map of rows while word wrap is on; nullptr while it is off.
    const TTextWordWrapPlugin* WordWrapMap() const { return FWrap.get(); }
    int CharWidth() const { return FCharWidth; }
    int TextHeight() const { return FTextHeight; }
    int TopRow() const { return FTopRow; }
    void SetTopRow(int value);
    int LeftColumn() const { return FLeftColumn; }
    void SetLeftColumn(int value);
    int RowsInWindow() const { return FRowsInWindow; }
    int ColumnsInWindow() const { return FColumnsInWindow; }
    int GutterPixels() const { return FGutterPixels; }
    void MoveCaretToPixel(int x, int y);

    // ------------------------------------------------------------ caret and selection
    TBufferCoord CaretPos() const { return FCaret; }
    void SetCaretPos(const TBufferCoord& value);
    void PlaceCaretCollapsed(const TBufferCoord& value);
    TBufferCoord SelectionBegin() const { return MinPos(FAnchor, FSelEnd); }
    TBufferCoord SelectionEnd() const { return FAnchor == MinPos(FAnchor, FSelEnd) ? FSelEnd : FAnchor; }
    TBufferCoord SelectionAnchor() const { return FAnchor; }
    void SetSelectionBegin(const TBufferCoord& value);  // collapses the selection there
    void SetSelectionEnd(const TBufferCoord& value);    // moves the selection's moving end
    // Empty when both ends have the same character and, outside column mode,
    // the same line.
    bool SelectionAvailable() const
    {
        return FAnchor.Char != FSelEnd.Char || (FAnchor.Line != FSelEnd.Line && FSelectionMode != smColumn);
    }
    TTextSelectionMode SelectionMode() const { return FSelectionMode; }
    void SetSelectionMode(TTextSelectionMode value);
    // A character stream, whole lines, or the rectangle of display columns
    // between the two ends.
    // The selected text, each line's trailing blanks and tabs trimmed (what
    // copying hands out); CR LF between lines.
    QString SelectedText() const;
    void SelectWholeText();
    // Replaces the selection with text in the current mode, recorded as one
    // undo step.
    void SetSelectedText(const QString& text);
    bool PointInSelection(const TBufferCoord& p) const;

    // ------------------------------------------------------------ undo
    void Undo();
    void Redo();
    bool CanUndo() const { return !FReadOnly && FUndoList.HasEntries(); }
    bool CanRedo() const { return !FReadOnly && FRedoList.HasEntries(); }
    void ClearUndoHistory();
    // Everything recorded between the two is one undo step.
    void OpenUndoBlock() { FUndoList.OpenBlock(); }
    void CloseUndoBlock() { FUndoList.CloseBlock(); }
    bool Modified() const { return FModified; }
    void SetModified(bool value);
    TTextEditUndoList& UndoList() { return FUndoList; }
    TTextEditUndoList& RedoList() { return FRedoList; }
    int MaxUndo() const { return FUndoList.EntryLimit(); }
    void SetMaxUndo(int value);

    // ------------------------------------------------------------ commands
    // The one entry of every command: the process events, the hooks before,
    // the command itself (never one above 1000), the hooks after, and
    // OnCommandProcessed, which fires also for a cancelled command. data
    // points to a TBufferCoord for ecGotoXY, ecSelGotoXY and ecSetMarker0..9
    // (may be nullptr) and to a QString for ecImeStr.
    virtual void DispatchEditorCommand(TTextEditorCommand command, QChar aChar, void* data = nullptr);
    // The same with a text: the composed string of ecImeStr.
    void DispatchEditorCommand(TTextEditorCommand command, QChar aChar, const QString& text);
    virtual void RunEditorCommand(TTextEditorCommand command, QChar aChar, void* data);
    // Hooks are called in the order they were added; one handler with the
    // same data is added once.
    void AddCommandHook(ITextEditCommandHook* hook, void* handlerData = nullptr);
    void RemoveCommandHook(ITextEditCommandHook* hook, void* handlerData = nullptr);
    // The index of the hook, searched from the last; -1 when absent.
    int FindCommandHook(ITextEditCommandHook* hook, void* handlerData = nullptr) const;
    // Word limits on one line: word characters are the ASCII letters, digits
    // and "_"; a wide character is a word of its own.
    TBufferCoord NextWordStart(const TBufferCoord& p) const;
    TBufferCoord NextWordStart() const { return NextWordStart(FCaret); }
    TBufferCoord WordStartOf(const TBufferCoord& p) const;
    TBufferCoord WordStartOf() const { return WordStartOf(FCaret); }
    TBufferCoord WordEndOf(const TBufferCoord& p) const;
    TBufferCoord WordEndOf() const { return WordEndOf(FCaret); }
    TBufferCoord PreviousWordStart(const TBufferCoord& p) const;
    TBufferCoord PreviousWordStart() const { return PreviousWordStart(FCaret); }
    // The word around p; empty when there is none.
    QString WordAtPosition(const TBufferCoord& p) const;
    QString WordAtCaret() const { return WordAtPosition(FCaret); }
    // Selects the word around p, the caret at its end.
    void SelectWordAt(const TBufferCoord& p);
    TTextEditorCommand TranslateKeyCode(std::uint16_t key, TShiftState shift);
    TTextEditKeyStrokes& Keystrokes() { return FKeystrokes; }
    void ResetKeystrokes() { FKeystrokes.LoadDefaultKeys(); }
    void JumpToMatchingBracket();
    TBufferCoord MatchingBracket(const TBufferCoord& p) const;

    // ------------------------------------------------------------ clipboard
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();

    // The clipboard's own type: the selection mode as one byte, then the
    // text in UTF-8.
    static QString BlockMimeType();

    // Drops text at a client point: moved from this editor's selection (one
    // undo step) or inserted. Returns false when nothing was dropped.
    bool DropTextAt(const QPoint& point, const QString& text, bool moveOwnSelection);
    // The data a drag of the selection carries: the text as on the clipboard,
    // and the editor it comes from. The caller owns it.
    QMimeData* CreateDragData();

    // ------------------------------------------------------------ folding
    // Folding stays off in the program. A collapsed range takes its hidden
    // lines out of the line store; its header line gets five blanks (and
    // with ShowCloseText the region's Close text) appended.
    TTextCodeFolding& CodeFolding() { return FCodeFolding; }
    // The ranges of the old regions go first (expanded); the new settings
    // scan anew.
    void SetCodeFolding(const TTextCodeFolding& value);
    // The whole text with every collapsed range expanded, at any depth;
    // without folding a plain copy of the lines.
    virtual QStringList ExpandedCopyOfLines() const;
    // Every fold range: the top-level tree and the flat list.
    TTextEditAllFoldRanges& AllFoldRanges() { return FAllFoldRanges; }
    const TTextEditAllFoldRanges& AllFoldRanges() const { return FAllFoldRanges; }
    // Expands everything and scans the text for ranges anew.
    void RescanFolds();
    // Scans again keeping the collapsed ranges as they are.
    void RescanFoldsKeepingCollapsed();
    void CollapseFoldRange(TTextEditFoldRange* range);
    void ExpandFoldRange(TTextEditFoldRange* range);
    // Every collapsed range expanded, however deep; the selection keeps its
    // place in the text.
    void ExpandAllFolds();
    // The number the line has in the fully expanded text.
    int ExpandedLineIndex(int line) const;
    // Look-ups; ranges inside a collapsed range are skipped.
    TTextEditFoldRange* FoldRangeAtLine(int line) const;
    TTextEditFoldRange* FoldEndingAt(int line) const;
    // A range spanning lines with its header on line; sharedBefore counts
    // the ranges before it in the list with the same header line.
    TTextEditFoldRange* RealFoldAt(int line, int* sharedBefore = nullptr) const;
    bool IsExpandedFoldEnd(int line) const;
    bool IsInsideExpandedFold(int line) const;
    // The client rectangle (unscrolled) of the marker after a collapsed
    // header on line.
    QRect CollapseMarkRect(const TTextEditFoldRange* range, int line) const;
    // Lines inserted (delta > 0) after line, or removed (delta < 0) after
    // it, the rest of the removed lines joined to it.
    void ShiftFoldsForLineChange(int line, int delta);
    // Puts every collapsed range under the innermost expanded range around
    // it, or at its place in the top-level list.
    void NestCollapsedRanges();
    // The range whose Open or Close the caret touches.
    void UpdateFoldHighlight();
    TTextEditFoldRange* HighlightedFoldRange() const { return FHighlightedFold; }
    // Line changes since the last scan that changed a line's first fold
    // keyword.
    int PendingFoldRescans() const { return FFoldRescanCount; }
    // The hint's lines for a collapsed range: the header, then its hidden
    // lines (at most 41, then "..."), tabs as blanks, each line quoted so
    // that the hint shows it as typed.
    QStringList CollapsedHintLines(const TTextEditFoldRange* range) const;

    // ------------------------------------------------------------ popup forms and the hint popup
    // Windows that take the keys on the editor's behalf while they show (the
    // completion list registers itself); the newest one gets the focus.
    void RegisterPopupForm(QWidget* form);
    void UnregisterPopupForm(QWidget* form);
    int PopupFormCount() const;
    // The focus goes to the newest registered popup form, else to the editor.
    void SetFocus();
    // The caret keeps showing, without blinking, while the editor lacks the
    // focus.
    bool ShowCaretUnfocused() const { return FShowCaretUnfocused; }
    void SetShowCaretUnfocused(bool value);
    // The popup, made with the editor, that shows collapsed code as a hint.
    TTextCompletionProposal& HintPopup() const { return *FHintPopup; }
    // Fills the hint with items (formatted item texts: a user's line goes in
    // through QuoteFormatCommands), gives it the editor's font name and size,
    // binds it to the editor and shows it with its top-left corner at a
    // screen point; the hint is then marked as showing.
    void ShowHintPopup(const QStringList& items, const QPoint& screenPos);
    // Closes a showing hint and marks it as not showing.
    void HideHintPopup();
    bool HintPopupShowing() const { return FHintPopupShowing; }

    // ------------------------------------------------------------ plugins and marks
    int PluginCount() const { return FPlugins ? static_cast<int>(FPlugins->size()) : 0; }
    TTextEditPlugin* Plugin(int index) const { return FPlugins->at(static_cast<size_t>(index)); }
    // Whole lines inserted or removed: the marks move with their lines (a
    // mark inside a removed range goes to its first line), then every plugin
    // hears about it in list order. The line store's notifications call them.
    void NotifyLinesInserted(int firstLine, int count);
    void NotifyLinesDeleted(int firstLine, int count);
    TTextEditMarkList& Marks() { return FMarks; }

    // ------------------------------------------------------------ bookmarks
    // Bookmark number 0..9 at (character, line); an existing one of that
    // number goes first. Numbers above 9 and lines outside the text are
    // ignored.
    void PlaceBookmark(int number, int aChar, int line);
    void RemoveBookmark(int number);
    // The caret to the bookmark, its line centred when outside the window.
    void JumpToBookmark(int number);
    // The bookmark's mark; nullptr when unused.
    TTextEditMark* Bookmark(int number) const;
    TTextBookMarkOpt& BookMarkOptions() { return FBookMarkOptions; }
    // The highlighter is the caller's; set it back to nullptr before freeing it.
    TTextCustomHighlighter* Highlighter() const { return FHighlighter; }
    void SetHighlighter(TTextCustomHighlighter* value);
    // The highlighter's state at the end of each line is kept with the line.
    // Rescans from a 0-based line until a line ends in the state it had
    // before (or the last line); answers the last line scanned, or index
    // itself when it lies past the text.
    int RescanRanges(int index);
    void ScanAllRanges();
    // The highlighter's attributes changed: the cell is measured again and
    // every line rescanned.
    void HighlighterChanged();

    // ------------------------------------------------------------ key bindings with a layout
    // Only the difference from the default bindings is stored: the editor's
    // bindings the defaults lack ("AddedKeystrokes") and the defaults the
    // editor lacks ("RemovedKeystrokes"), nothing when they are the same.
    // Each binding is a line: command, shortcut, second shortcut.
    void WriteKeystrokes(QTextStream& out) const;
    // Reads what WriteKeystrokes wrote and applies it to the bindings; a
    // malformed line raises ETextKeyError and changes nothing.
    void ReadKeystrokes(QTextStream& in);

    // The font for wide characters; empty when the editor's font draws them.
    QString UnicodeFontName() const;
    void SetUnicodeFontName(const QString& value);

    // ------------------------------------------------------------ paint lock
    // Under the outermost lock the caret and selection are noted; when it
    // ends, the rows where they were and are now repaint.
    void BeginPaintLock();
    void EndPaintLock();

    // ------------------------------------------------------------ invalidation
    // Only the rectangles named are repainted; lines are 1-based, -1, -1
    // meaning all, and a last line at or past the end reaching to the
    // window's bottom.
    void RepaintLineRange(int firstLine, int lastLine);
    void RepaintLine(int line) { RepaintLineRange(line, line); }
    void InvalidateGutterLines(int firstLine, int lastLine);
    void RepaintGutter() { InvalidateGutterLines(-1, -1); }
    // The text and the gutter of the lines.
    void InvalidateLines(int firstLine, int lastLine);
    void InvalidateLine(int line) { InvalidateLines(line, line); }
    void InvalidateSelection();

    // ------------------------------------------------------------ settings
    TTextEditorOptions Options() const { return FOptions; }
    void SetOptions(TTextEditorOptions value);
    bool HasOption(TTextEditorOption o) const { return (FOptions & OptionBit(o)) != 0; }
    bool InsertMode() const { return FInsertMode; }
    void SetInsertMode(bool value);
    bool ReadOnly() const { return FReadOnly; }
    virtual void SetReadOnly(bool value);
    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int value);
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value) { FWantTabs = value; }
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }
    bool HideSelection() const { return FHideSelection; }
    void SetHideSelection(bool value);
    int LineSpacing() const { return FLineSpacing; }
    void SetLineSpacing(int value);
    TLineSpacingRule LineSpacingRule() const { return FLineSpacingRule; }
    void SetLineSpacingRule(TLineSpacingRule value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    const TFont& Font() const { return FFont; }
    // A proportional font is replaced by a fixed-pitch one of its name, size,
    // style and colour.
    void SetFont(const TFont& value);
    TTextGutter& Gutter() { return FGutter; }
    TTextActiveLine& ActiveLine() { return FActiveLine; }
    TTextSelectedColor& SelectedColor() { return FSelectedColor; }
    TTextRightEdge& RightEdge() { return FRightEdge; }
    TTextScrollBars& ScrollBars() { return FScrollBars; }
    TTextEditCaretType InsertCaret() const { return FInsertCaret; }
    void SetInsertCaret(TTextEditCaretType value);
    TTextEditCaretType OverwriteCaret() const { return FOverwriteCaret; }
    void SetOverwriteCaret(TTextEditCaretType value);
    int BlockWidth = 2;
    int MaxScrollWidth() const { return FMaxScrollWidth; }
    void SetMaxScrollWidth(int value);
    QScrollBar* VerticalScrollBar() const { return FVScroll; }
    QScrollBar* HorizontalScrollBar() const { return FHScroll; }
    void RefreshScrollBars();
    // A scroll bar's request (also from an application's own scroll bars
    // with the custom style); thumb positions are on the bar's scale.
    void HScroll(TScrollCode code, int position);
    void VScroll(TScrollCode code, int position);
    bool ThumbTracking() const { return FThumbTracking; }
    // The hint shown while the vertical thumb is dragged (eoShowScrollHint).
    QString ScrollHintText() const;
    QWidget* ScrollHintWindow() const;
    // The area the editor paints: the widget without its scroll bars.
    QRect ClientRect() const;
    void EnsureCursorPosVisible();
    // The preedit string of the input method, drawn at the caret.
    QString PreeditText() const { return FPreedit; }

    // ------------------------------------------------------------ events
    std::function<void(TCustomTextEdit* sender)> OnChange;
    std::function<void(TCustomTextEdit* sender, std::uint16_t& key, TShiftState shift)> OnKeyDown;
    std::function<void(TCustomTextEdit* sender, std::uint16_t& key, TShiftState shift)> OnKeyUp;
    std::function<void(TCustomTextEdit* sender, QChar& key)> OnKeyPress;
    // Before a command runs (OnProcessUserCommand for commands above 1000);
    // a handler may change the command or clear it (ecNone).
    std::function<void(TCustomTextEdit* sender, TTextEditorCommand& command, QChar& aChar, void* data)> OnProcessCommand;
    std::function<void(TCustomTextEdit* sender, TTextEditorCommand& command, QChar& aChar, void* data)>
        OnProcessUserCommand;
    std::function<void(TCustomTextEdit* sender, TTextEditorCommand& command, QChar& aChar, void* data)>
        OnCommandProcessed;
    // The gutter's text for a line (its number), which the handler may change.
    std::function<void(TCustomTextEdit* sender, int line, QString& text)> OnGutterGetText;
    // After the gutter of each painted line: x is where the line's bookmark
    // glyphs end, y the row's top.
    std::function<void(TCustomTextEdit* sender, int line, int x, int y)> OnGutterPaint;
    // A click in the gutter: the button, the client point, the line there,
    // the mark clicked (nullptr without one), and whether the click lay left
    // of the fold bar's strip.
    std::function<void(TCustomTextEdit* sender, Qt::MouseButton button, int x, int y, int line, TTextEditMark* mark,
                       bool region)>
        OnGutterClick;
    // Asked once per painted line: a line made special takes the colours
    // set (clNone keeps the row's own), its selection drawn inverted.
    std::function<void(TCustomTextEdit* sender, int line, bool& special, TColor& foreground, TColor& background)>
        OnSpecialLineColors;
    // ecContextHelp: the word at the caret.
    std::function<void(TCustomTextEdit* sender, const QString& word)> OnContextHelp;
    // After the text and the plugins' overlays are painted; the canvas has
    // the editor's font and its colour as brush.
    std::function<void(TCustomTextEdit* sender, TCanvas& canvas)> OnPaint;
    // A new bookmark's mark before it is placed (set it to nullptr to refuse
    // it), and a bookmark's mark before it is removed.
    std::function<void(TCustomTextEdit* sender, TScrollBarKind bar)> OnScroll;
    // Files dropped from the desktop while eoDropFiles is set: the drop
    // point in client coordinates and the local paths.
    std::function<void(TCustomTextEdit* sender, int x, int y, const QStringList& files)> OnDropFiles;
    // Caret, view, mode, modified flag, selection or read-only state changed;
    // reported once a paint lock ends.
    std::function<void(TCustomTextEdit* sender, TTextStatusChanges changes)> OnStatusChange;
    std::function<void(TCustomTextEdit* sender, TTextEditMark*& mark)> OnPlaceBookmark;
    std::function<void(TCustomTextEdit* sender, TTextEditMark*& mark)> OnClearBookmark;
    // Before and after a change that may move an application's overlay: a
    // caret move, an edit, a paste; and after each paint. A widget draws
    // only while it paints, so canvas is the editor's canvas after a paint
    // and nullptr around changes: an overlay is drawn again at the end of
    // the paint that follows the change.
    std::function<void(TCustomTextEdit* sender, TCanvas* canvas, TTransientType type)> OnPaintTransient;
    // A hit of a search-and-replace; the action starts as raCancel.
    std::function<void(TCustomTextEdit* sender, const QString& search, const QString& replace, int line, int column,
                       TTextReplaceAction& action)>
        OnReplaceText;
    // The mouse cursor over a text position, which the handler may change.
    std::function<void(TCustomTextEdit* sender, const TBufferCoord& pos, TCursor& cursor)> OnMouseCursor;

    // ------------------------------------------------------------ transient paint, replace, cursor, key handlers
    // Fires OnPaintTransient: with lock, ttBefore counts up and fires only
    // from 0, ttAfter counts down and fires only on reaching 0; without it,
    // it fires while the count is 0.
    void PaintTransient(TTransientType type, bool lock = false);
    // OnReplaceText's answer; raCancel without a handler.
    virtual TTextReplaceAction DoReplaceText(const QString& search, const QString& replace, int line, int column);
    // The editor's cursor over text (the gutter has its own).
    TCursor Cursor() const { return FCursorId; }
    void SetCursor(TCursor value);
    // Sets the mouse cursor for a client point: the gutter's, an arrow over
    // a selection that can be dragged, else the editor's; OnMouseCursor and
    // the mouse-cursor handlers may change it.
    virtual void UpdateCursorShape(const QPoint& point);
    // Key handlers of attached components, run newest first before the
    // editor acts on a key; clearing the key swallows it.
    void HookKeyDown(const TTextEditKbdHandler::TKeyHandler& handler) { FKbdHandler.HookKeyDown(handler); }
    void UnhookKeyDown(const TTextEditKbdHandler::TKeyHandler& handler) { FKbdHandler.UnhookKeyDown(handler); }
    void HookKeyPress(const TTextEditKbdHandler::TKeyPressHandler& handler) { FKbdHandler.HookKeyPress(handler); }
    void UnhookKeyPress(const TTextEditKbdHandler::TKeyPressHandler& handler) { FKbdHandler.UnhookKeyPress(handler); }
    void RegisterKeyDownHandler(const TTextEditKbdHandler::TKeyHandler& handler) { HookKeyDown(handler); }
    void UnregisterKeyDownHandler(const TTextEditKbdHandler::TKeyHandler& handler) { UnhookKeyDown(handler); }
    void RegisterKeyPressHandler(const TTextEditKbdHandler::TKeyPressHandler& handler) { HookKeyPress(handler); }
    void UnregisterKeyPressHandler(const TTextEditKbdHandler::TKeyPressHandler& handler) { UnhookKeyPress(handler); }
    // All six lists (key up and the mouse lists too).
    TTextEditKbdHandler& KbdHandler() { return FKbdHandler; }

protected:
    // Runs after the highlighter changed; nothing to do here.
    virtual void HighlighterAttributesChanged() {}
    virtual void DoPaint(TCanvas& canvas);
    // Folding hooks, asked only while CodeFolding is enabled. A key the
    // filter refuses is swallowed.
    virtual bool FoldKeyFilter(std::uint16_t key);
    // True when the caret's line heads a collapsed range (cut and paste then
    // do nothing).
    virtual bool CaretOnCollapsedFold() const;
    // A change of the folding settings; fills the rescan and expand steps.
    virtual void CodeFoldingChanged(TTextCodeFoldingChanges change);
    // Draws the fold bar into the right of the gutter.
    virtual void PaintFoldBar(QPainter& painter, int firstRow, int lastRow);
    // The pointer rests at a client point: a collapsed range's mark there
    // shows its hidden lines.
    virtual void ShowCollapsedHint(const QPoint& point);
    // Adds to the pending changes and reports them unless a paint lock is held.
    void ReportStatusChange(TTextStatusChanges changes);
    virtual void DoStatusChange(TTextStatusChanges changes);
    // A click in the gutter at a client point; fires OnGutterClick.
    virtual void DoGutterClick(Qt::MouseButton button, int x, int y);
    // Moves the dotted line that shows where a dragged right edge would
    // land from client x oldX to newX (-1 for none on either side).
    virtual void DrawRightEdgeDragLine(int newX, int oldX);
    virtual void DoPlaceBookmark(TTextEditMark*& mark);
    virtual void DoClearBookmark(TTextEditMark*& mark);

    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    bool focusNextPrevChild(bool next) override;

private:
    friend class TTextEditPlugin;
    friend class TTextEditCodeFoldingPlugin;
    // ---- code folding (the folding source's members)
    TTextEditAllFoldRanges FAllFoldRanges;
    std::unique_ptr<TTextEditCodeFoldingPlugin> FFoldPlugin;
    TTextEditFoldRange* FHighlightedFold = nullptr;
    int FFoldRescanCount = 0;
    // Collapse and expand move lines themselves: the ranges do not follow.
    bool FFoldMovingLines = false;
    // The first fold keyword of the line being replaced.
    QString FFoldSignature;
    bool FFoldHintShowing = false;
    std::uint32_t FFoldStamp = 0;
    TFoldRegions* ActiveFoldRegions() const;
    QString FoldSignature(const QString& line) const;
    void FoldLineReplacing(int index);
    void FoldLineReplaced(int index);
    void FoldLinesRemoved(int firstLine, int count);
    void ShiftFoldsAfter(TTextEditFoldRange* range, int delta);
    // The header's marker suffix: five blanks and, with ShowCloseText, Close.
    QString FoldHeaderSuffix(const TTextEditFoldRange* range) const;
    // Takes a range and its nested ranges out of every list; the caller
    // owns them then.
    void DetachFoldRange(TTextEditFoldRange* range);
    // Takes the ranges out of the fold lists, each recorded for undo at its former index.
    void RemoveFoldRanges(const std::vector<TTextEditFoldRange*>& gone);
    void RebuildFoldFlatList();
    // Every range expanded and freed: the regions they point to are going.
    void DropFoldRanges();
    // Records a removed range as a urFold entry that owns it.
    void RecordFoldRemoved(TTextEditFoldRange* range, int formerIndex);
    void UndoFoldEntry(TTextEditUndoItem& entry);
    void RedoFoldEntry(TTextEditUndoItem& entry);
    bool FoldBarClick(int x, int y);
    void FoldAfterUndoChange();
    void FoldKeyDown(std::uint16_t key);
    QString ExpandedSelectionText(const TBufferCoord& b, const TBufferCoord& e) const;
    bool HasCollapsedFolds() const;
    void PaintFoldText(QPainter& painter, int row, int line, const QRect& rowRect);
    // Calls each plugin of the list in order, each only while it is still
    // in the list: one that another plugin freed meanwhile is skipped, one
    // added meanwhile waits for the next notification.
    void ForEachPlugin(const std::function<void(TTextEditPlugin*)>& call);
    void PaintPlugins(QPainter& painter, const QRect& clip, int firstRow, int lastRow);
    // Text primitives on cell positions; line breaks are "\n" in the texts.
    TBufferCoord InsertRaw(TBufferCoord pos, const QString& text);
    QString DeleteRaw(const TBufferCoord& start, const TBufferCoord& end);
    QString TextBetween(const TBufferCoord& start, const TBufferCoord& end) const;
    TBufferCoord InsertRecorded(const TBufferCoord& pos, const QString& text, TTextUndoReason reason);
    void DeleteRecorded(const TBufferCoord& start, const TBufferCoord& end, TTextUndoReason reason);
    void DeleteSelectionRecorded();
    QString SelectionText(bool padColumns) const;
    // Leading blanks of a line (a tab counting TabWidth when expanded); 0
    // without eoAutoIndent.
    int LeadingBlankCount(const QString& line, bool tabsExpanded) const;
    QString MakeIndentString(int columns, bool wantTabs) const;
    void LineBreak(bool moveCaret);
    int BlockLastLine() const;
    void BlockIndent();
    void BlockUnindent();
    bool SelectionCoversLines() const;
    void Tab();
    void ShiftTab();
    void ChangeCase(TTextEditorCommand command);
    std::pair<TBufferCoord, TBufferCoord> WordAround(const TBufferCoord& p) const;
    // The selection replaced by text inserted in the given mode, recorded.
    void ReplaceSelectionRecorded(const QString& text, TTextSelectionMode insertMode);
    void InsertLinesRecorded(const QStringList& segments);
    void InsertColumnRecorded(const QStringList& segments);
    // The display columns of a column selection, left before right.
    std::pair<int, int> SelectionColumns() const;
    // The cells a column range covers on one line, off trail cells, within
    // the line.
    std::pair<int, int> ColumnCells(int line, int leftColumn, int rightColumn) const;
    void UndoListChanged();
    void ReplayTop(TTextEditUndoList& from, TTextEditUndoList& to, bool undo);
    // Inserts text at the caret, or in place of the selection; with overwrite
    // and no selection the cells under it go first.
    void InsertTyped(const QString& text, bool overwrite = false);
    int LineCells(int line) const;
    TBufferCoord ClampPos(TBufferCoord p) const;
    void MoveCaretAndSelection(const TBufferCoord& to, bool select);
    void MoveCaretVert(int rows, bool select);
    void MoveCaretHorz(int columns, bool select);
    void MoveToLineStart(bool select);
    void MoveToLineEnd(bool select);
    void PageStep(bool down, bool select);
    TBufferCoord PrevCharPos(const TBufferCoord& p) const;
    TBufferCoord NextCharPos(const TBufferCoord& p) const;
    // The editing commands of Backspace and of typing over a column block.
    void DeleteLastChar();
    void TypeIntoColumnBlock(const QString& text);
    // Runs the command's paint-locked body (no hooks or events): the handler
    // the command table names for it.
    void ExecuteCommand(TTextEditorCommand command, QChar aChar, void* data);
    // One call of a command's handler: the command (for a selecting caret
    // move the move itself), its character and data, and whether the move
    // selects.
    struct TCommandCall {
        TTextEditorCommand Command;
        QChar Char;
        void* Data;
        bool Select;
    };
    enum class TCommandKind : std::uint8_t;
    struct TCommandEntry;
    // The table's entry of a command: its handler, or an action of the
    // editor's own; nullptr for a command the editor does not run.
    static const TCommandEntry* FindCommand(TTextEditorCommand command);
    void CmdStepHorizontal(const TCommandCall& call);
    void CmdStepVertical(const TCommandCall& call);
    void CmdPageStep(const TCommandCall& call);
    void CmdPageEdge(const TCommandCall& call);
    void CmdWordStep(const TCommandCall& call);
    void CmdLineEdge(const TCommandCall& call);
    void CmdEditorEdge(const TCommandCall& call);
    void CmdGotoXY(const TCommandCall& call);
    void CmdGotoMarker(const TCommandCall& call);
    void CmdSetMarker(const TCommandCall& call);
    void CmdSelectWord(const TCommandCall& call);
    void CmdInsertMode(const TCommandCall& call);
    void CmdSelectionMode(const TCommandCall& call);
    void CmdScrollVertical(const TCommandCall& call);
    void CmdScrollHorizontal(const TCommandCall& call);
    void CmdContextHelp(const TCommandCall& call);
    void CmdChar(const TCommandCall& call);
    void CmdImeStr(const TCommandCall& call);
    void CmdLineBreak(const TCommandCall& call);
    void CmdChangeCase(const TCommandCall& call);
    void CmdDelete(const TCommandCall& call);
    void NotifyCommandHooks(bool afterProcessing, TTextEditorCommand& command, QChar& aChar, void* data);
    void TrimTrailingBlanksRecorded(int line);
    void FontChanged();
    // The line store's notifications.
    void LinesInserted(int index, int count);
    void LinesCleared();
    void LineStoreChanged();
    void GrowMaxScrollWidth(int index);
    void SetSoftWrap(bool on);
    void WordWrapChanged();
    // The cells [first, first + count) of the expanded line of a row.
    std::pair<int, int> RowCells(int row) const;
    void SizeChanged();
    // A new width moves the text: everything repaints; an unchanged one
    // repaints the gutter when asked (its settings changed).
    void UpdateGutterWidth(bool repaintGutter = true);
    void RestartCaretBlink();
    QRect CaretRect() const;
    void ScrollBarMoved();
    void ScrollBarAction(Qt::Orientation orientation, int action);
    int HorizontalScrollRange();
    int VerticalScrollRange() const;
    void ApplyScrollInfo(QScrollBar* bar, TTextEditScrollBar* custom, const TTextScrollInfo& info, bool show, int arrows);
    void ShowScrollHint();
    void InvalidateClient();
    void PaintGutter(QPainter& painter, int firstRow, int lastRow);
    void PaintMarks(QPainter& painter, int firstRow, int lastRow);
    // Scrolls so that the caret's line stands in the middle of the window.
    void CenterCaretLine();
    // The text part of a clip: its rows, and of each row only the columns
    // from firstColumn to lastColumn.
    void PaintTextLines(QPainter& painter, const QRect& clip, int firstRow, int lastRow, int firstColumn,
                        int lastColumn);
    // One rectangle of a paint: the gutter part and the text part.
    void PaintClip(QPainter& painter, const QRect& clip);
    QString DisplayLine(int line) const;
    // The selection as plain text and as the block type.
    QMimeData* SelectionMimeData() const;
    static QString MimeDataText(const QMimeData* data);
    // The local files a drag carries; empty when it carries none.
    static QStringList DroppedFiles(const QMimeData* data);
    // The editor a drag comes from; nullptr when it is no editor.
    static TCustomTextEdit* DragSourceEditor(const QDropEvent* e);
    Qt::DropAction DropActionFor(const QDropEvent* e) const;

    std::unique_ptr<TTextEditStringList> FLines;
    // Created when the first plugin registers.
    std::unique_ptr<std::vector<TTextEditPlugin*>> FPlugins;
    TTextEditMarkList FMarks;
    TTextWordWrap FWordWrap;
    TTextCodeFolding FCodeFolding;
    // What the row map asks of the editor.
    class TWrapHost : public ITextWordWrapHost {
    public:
        explicit TWrapHost(TCustomTextEdit* editor) : FEditor(editor) {}
        int WrapLineCount() const override;
        QString WrapExpandedLine(int index) const override;
        int WrapWidth() const override;
        TCharSet WrapIdentifierChars() const override;

    private:
        TCustomTextEdit* FEditor;
    };
    TWrapHost FWrapHost{this};
    std::unique_ptr<TTextWordWrapPlugin> FWrap;
    std::array<TTextEditMark*, 10> FBookmarks{};
    TTextBookMarkOpt FBookMarkOptions;
    std::unique_ptr<TTextInternalImage> FInternalImage;
    TTextCustomHighlighter* FHighlighter = nullptr;
    bool FScanningRanges = false;
    // Runs a scan of line states inside the line store's update bracket.
    void InRangeScan(const std::function<void()>& scan);
    void HighlighterListener(void* sender) { (void)sender; HighlighterChanged(); }
    // Scans one line from the state left by the line before it; answers the
    // state it ends in.
    std::intptr_t ScanLineRange(int index);
    void RescanInsertedRanges(int index, int count);
    TTextEditUndoList FUndoList;
    TTextEditUndoList FRedoList;
    TTextGutter FGutter;
    TTextActiveLine FActiveLine;
    TTextSelectedColor FSelectedColor;
    TTextRightEdge FRightEdge;
    TTextScrollBars FScrollBars;
    TTextEditKeyStrokes FKeystrokes;
    std::unique_ptr<TheTextDrawer> FDrawer;
    TFont FFont;
    TColor FColor = clWindow;
    QScrollBar* FVScroll = nullptr;
    QScrollBar* FHScroll = nullptr;

    TBufferCoord FCaret{1, 1};
    TBufferCoord FAnchor{1, 1};
    TBufferCoord FSelEnd{1, 1};
    TTextSelectionMode FSelectionMode = smNormal;
    bool FAltColumnSwitch = false;
    TTextSelectionMode FModeBeforeAlt = smNormal;
    // The state last reported to OnStatusChange, and what is pending.
    struct TStatusState {
        TBufferCoord Caret, Anchor, SelEnd;
        int TopRow = 0, LeftColumn = 0;
        bool InsertMode = true, Modified = false, ReadOnly = false;
        TTextSelectionMode Mode = smNormal;
    };
    TStatusState FReported;
    TTextStatusChanges FStatusChanges = 0;
    void FlushStatus();
    int FDesiredColumn = 1;
    TTextEditKbdHandler FKbdHandler;
    int FTransientLock = 0;
    TCursor FCursorId = crIBeam;
    // The last vertical move stepped before a wide character: the column it
    // aimed at, and where it left the caret.
    bool FVertStepAside = false;
    int FVertAimColumn = 1;
    TBufferCoord FVertStepCaret{0, 0};
    int FTopRow = 1;
    int FLeftColumn = 1;
    int FRowsInWindow = 0;
    int FColumnsInWindow = 0;
    int FCharWidth = 0;
    int FTextHeight = 0;
    int FGutterPixels = 0;
    int FPaintLock = 0;
    // The caret and selection when the outermost paint lock began.
    TBufferCoord FLockCaret, FLockAnchor, FLockSelEnd;
    bool FLockSelection = false;
    // The client rectangle of the rows of lines [first, last], from left to
    // right; empty when none of them is in the window.
    QRect LinesRect(int firstLine, int lastLine, int left, int right) const;
    TTextEditorOptions FOptions = TextEditDefaultOptions;
    // Registered command hooks with their data, created on the first one.
    std::unique_ptr<std::vector<std::pair<ITextEditCommandHook*, void*>>> FCommandHooks;
    bool FInsertMode = true;
    bool FReadOnly = false;
    bool FModified = false;
    bool FWantTabs = false;
    bool FWantReturns = true;
    bool FHideSelection = false;
    bool FInUndoRedo = false;
    bool FCaretShown = true;
    bool FSelecting = false;
    bool FWaitForDragging = false;
    bool FPossibleGutterClick = false;
    QPoint FMouseDown;
    // The right edge follows the mouse from a press near it to the release.
    bool FRightEdgeDragging = false;
    int FRightEdgeDragX = -1;
    bool RightEdgeDraggable() const;
    // Less than 3 pixels from the right edge's line.
    bool NearRightEdge(int x) const;
    // After the window's pixels moved by dx horizontally.
    void KeepRightEdgeDragLine(int dx);
    bool FUpdatingScrollBars = false;
    bool FThumbTracking = false;
    bool FGutterWidthPending = false;
    std::unique_ptr<QLabel> FScrollHint;
    int FLineSpacing = 0;
    TLineSpacingRule FLineSpacingRule = lsSingle;
    int FTabWidth = 8;
    int FMaxScrollWidth = 1024;
    TTextEditCaretType FInsertCaret = ctVerticalLine;
    TTextEditCaretType FOverwriteCaret = ctBlock;
    std::uint16_t FLastShortcutKey = 0;
    TShiftState FLastShortcutShift = 0;
    int FWheelAccumulator = 0;
    int FBlinkTimer = 0;
    QString FPreedit;
    // Popup forms and the hint popup.
    void CreateHintPopup();
    std::unique_ptr<TTextCompletionProposal> FHintPopup;
    std::vector<QPointer<QWidget>> FPopupForms;
    bool FShowCaretUnfocused = false;
    bool FHintPopupShowing = false;
};

class TTextEdit : public TCustomTextEdit {
public:
    using TCustomTextEdit::TCustomTextEdit;
};
