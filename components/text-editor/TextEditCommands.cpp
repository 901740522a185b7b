// The editor control's commands: the dispatch with its events and hooks, the
// table from command number to handler, and the editing commands.
#include "TextEdit.h"

#include "TextEditInternal.h"

#include <algorithm>
#include <initializer_list>

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

// What a command may do: move the caret (its selecting variant lies
// ecSelection above it), act also on a read-only text, or edit the text.
enum class TCustomTextEdit::TCommandKind : std::uint8_t { CaretMove, Viewing, Editing };

// A command runs a handler that reads the call, or an action that needs
// nothing of it.
struct TCustomTextEdit::TCommandEntry {
    TTextEditorCommand Command;
    TCommandKind Kind;
    void (TCustomTextEdit::*Handler)(const TCommandCall& call) = nullptr;
    void (TCustomTextEdit::*Action)() = nullptr;
};

const TCustomTextEdit::TCommandEntry* TCustomTextEdit::FindCommand(TTextEditorCommand command)
{
    // Built once (the initialisation of a function's static is thread-safe),
    // sorted by command number; several commands may share a handler.
    static const std::vector<TCommandEntry> table = [] {
        using K = TCommandKind;
        using E = TCustomTextEdit;
        std::vector<TCommandEntry> t;
        // Every command of a list runs the same handler, or the same action.
        const auto handle = [&t](K kind, void (E::*handler)(const TCommandCall&),
                                 std::initializer_list<TTextEditorCommand> commands) {
            for (TTextEditorCommand c : commands)
                t.push_back({c, kind, handler, nullptr});
        };
        const auto act = [&t](K kind, void (E::*action)(), std::initializer_list<TTextEditorCommand> commands) {
            for (TTextEditorCommand c : commands)
                t.push_back({c, kind, nullptr, action});
        };
        handle(K::CaretMove, &E::CmdStepHorizontal, {ecLeft, ecRight, ecPageLeft, ecPageRight});
        handle(K::CaretMove, &E::CmdStepVertical, {ecUp, ecDown});
        handle(K::CaretMove, &E::CmdPageStep, {ecPageUp, ecPageDown});
        handle(K::CaretMove, &E::CmdPageEdge, {ecPageTop, ecPageBottom});
        handle(K::CaretMove, &E::CmdWordStep, {ecWordLeft, ecWordRight});
        handle(K::CaretMove, &E::CmdLineEdge, {ecLineStart, ecLineEnd});
        handle(K::CaretMove, &E::CmdEditorEdge, {ecEditorTop, ecEditorBottom});
        handle(K::CaretMove, &E::CmdGotoXY, {ecGotoXY});
        handle(K::Viewing, &E::CmdSelectWord, {ecSelWord});
        act(K::Viewing, &E::SelectWholeText, {ecSelectAll});
        act(K::Viewing, &E::CopyToClipboard, {ecCopy});
        handle(K::Viewing, &E::CmdInsertMode, {ecInsertMode, ecOverwriteMode, ecToggleMode});
        act(K::Viewing, &E::JumpToMatchingBracket, {ecMatchBracket});
        handle(K::Viewing, &E::CmdSelectionMode, {ecNormalSelect, ecColumnSelect, ecLineSelect});
        handle(K::Viewing, &E::CmdScrollVertical, {ecScrollUp, ecScrollDown});
        handle(K::Viewing, &E::CmdScrollHorizontal, {ecScrollLeft, ecScrollRight});
        handle(K::Viewing, &E::CmdContextHelp, {ecContextHelp});
        handle(K::Editing, &E::CmdChar, {ecChar});
        handle(K::Editing, &E::CmdImeStr, {ecImeStr});
        act(K::Editing, &E::Tab, {ecTab});
        act(K::Editing, &E::ShiftTab, {ecShiftTab});
        handle(K::Editing, &E::CmdLineBreak, {ecLineBreak, ecInsertLine});
        act(K::Editing, &E::BlockIndent, {ecBlockIndent});
        act(K::Editing, &E::BlockUnindent, {ecBlockUnindent});
        handle(K::Editing, &E::CmdChangeCase,
               {ecUpperCase, ecLowerCase, ecToggleCase, ecTitleCase, ecUpperCaseBlock, ecLowerCaseBlock,
                ecToggleCaseBlock});
        handle(K::Editing, &E::CmdDelete,
               {ecDeleteLastChar, ecDeleteChar, ecDeleteWord, ecDeleteLastWord, ecDeleteBOL, ecDeleteEOL,
                ecDeleteLine});
        act(K::Editing, &E::ClearContent, {ecClearAll});
        act(K::Editing, &E::Undo, {ecUndo});
        act(K::Editing, &E::Redo, {ecRedo});
        act(K::Editing, &E::CutToClipboard, {ecCut});
        act(K::Editing, &E::PasteFromClipboard, {ecPaste});
        for (int n = 0; n <= ecGotoMarker9 - ecGotoMarker0; ++n) {
            handle(K::Viewing, &E::CmdGotoMarker, {static_cast<TTextEditorCommand>(ecGotoMarker0 + n)});
            handle(K::Viewing, &E::CmdSetMarker, {static_cast<TTextEditorCommand>(ecSetMarker0 + n)});
        }
        std::sort(t.begin(), t.end(),
                  [](const TCommandEntry& a, const TCommandEntry& b) { return a.Command < b.Command; });
        return t;
    }();
    const auto it = std::lower_bound(table.begin(), table.end(), command,
                                     [](const TCommandEntry& e, TTextEditorCommand c) { return e.Command < c; });
    return it != table.end() && it->Command == command ? &*it : nullptr;
}

void TCustomTextEdit::ExecuteCommand(TTextEditorCommand command, QChar aChar, void* data)
{
    // A selecting caret move runs its move's handler with the selection on;
    // a read-only text takes no edit.
    const bool select = command >= ecSelection && command <= ecSelection + 99 && command != ecSelWord &&
                        command != ecSelectAll;
    const TTextEditorCommand base = select ? static_cast<TTextEditorCommand>(command - ecSelection) : command;
    const TCommandEntry* entry = FindCommand(base);
    if (!entry || (select && entry->Kind != TCommandKind::CaretMove))
        return;
    if (entry->Kind == TCommandKind::Editing && FReadOnly)
        return;
    if (entry->Action)
        (this->*entry->Action)();
    else
        (this->*entry->Handler)(TCommandCall{base, aChar, data, select});
}

// ---------------------------------------------------------------- caret moves

// Left and Right step from the caret, also with a selection, which collapses
// at the caret's new place.
void TCustomTextEdit::CmdStepHorizontal(const TCommandCall& call)
{
    const bool page = call.Command == ecPageLeft || call.Command == ecPageRight;
    const bool back = call.Command == ecLeft || call.Command == ecPageLeft;
    const int step = page ? FColumnsInWindow : 1;
    MoveCaretHorz(back ? -step : step, call.Select);
}

void TCustomTextEdit::CmdStepVertical(const TCommandCall& call)
{
    MoveCaretVert(call.Command == ecUp ? -1 : 1, call.Select);
}

void TCustomTextEdit::CmdPageStep(const TCommandCall& call)
{
    PageStep(call.Command == ecPageDown, call.Select);
}

void TCustomTextEdit::CmdPageEdge(const TCommandCall& call)
{
    const int row = call.Command == ecPageTop ? FTopRow : FTopRow + FRowsInWindow - 1;
    const int column = BufferToDisplayPos(FCaret).Column;
    const int desired = FDesiredColumn;
    MoveCaretAndSelection(DisplayToBufferPos(DisplayPos(column, std::max(1, row))), call.Select);
    FDesiredColumn = desired;
}

void TCustomTextEdit::CmdWordStep(const TCommandCall& call)
{
    MoveCaretAndSelection(call.Command == ecWordLeft ? PreviousWordStart(FCaret) : NextWordStart(FCaret),
                          call.Select);
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
}

void TCustomTextEdit::CmdLineEdge(const TCommandCall& call)
{
    if (call.Command == ecLineStart)
        MoveToLineStart(call.Select);
    else
        MoveToLineEnd(call.Select);
}

void TCustomTextEdit::CmdEditorEdge(const TCommandCall& call)
{
    if (call.Command == ecEditorTop) {
        MoveCaretAndSelection(BufferCoord(1, 1), call.Select);
        FDesiredColumn = 1;
        return;
    }
    const int lineCount = std::max(1, FLines->Count());
    MoveCaretAndSelection(BufferCoord(LineCells(lineCount) + 1, lineCount), call.Select);
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
}

void TCustomTextEdit::CmdGotoXY(const TCommandCall& call)
{
    if (!call.Data)
        return;
    MoveCaretAndSelection(*static_cast<const TBufferCoord*>(call.Data), call.Select);
    FDesiredColumn = BufferToDisplayPos(FCaret).Column;
}

// ---------------------------------------------------------------- commands a read-only text takes

void TCustomTextEdit::CmdGotoMarker(const TCommandCall& call)
{
    if (FBookMarkOptions.EnableKeys())
        JumpToBookmark(call.Command - ecGotoMarker0);
}

void TCustomTextEdit::CmdSetMarker(const TCommandCall& call)
{
    if (!FBookMarkOptions.EnableKeys())
        return;
    // Toggles the bookmark on its own line, moves it from another.
    const TBufferCoord at = call.Data ? *static_cast<const TBufferCoord*>(call.Data) : FCaret;
    const int n = call.Command - ecSetMarker0;
    const TTextEditMark* existing = Bookmark(n);
    const bool sameLine = existing && existing->MarkLine() == at.Line;
    RemoveBookmark(n);
    if (!sameLine)
        PlaceBookmark(n, at.Char, at.Line);
}

void TCustomTextEdit::CmdSelectWord(const TCommandCall& call)
{
    (void)call;
    SelectWordAt(FCaret);
}

void TCustomTextEdit::CmdInsertMode(const TCommandCall& call)
{
    SetInsertMode(call.Command == ecToggleMode ? !FInsertMode : call.Command == ecInsertMode);
}

void TCustomTextEdit::CmdSelectionMode(const TCommandCall& call)
{
    SetSelectionMode(call.Command == ecNormalSelect ? smNormal : call.Command == ecColumnSelect ? smColumn : smLine);
}

void TCustomTextEdit::CmdScrollVertical(const TCommandCall& call)
{
    const int caretRow = BufferToDisplayPos(FCaret).Row;
    if (caretRow < FTopRow || caretRow >= FTopRow + FRowsInWindow) {
        EnsureCursorPosVisible();
        return;
    }
    if (call.Command == ecScrollUp) {
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
}

void TCustomTextEdit::CmdScrollHorizontal(const TCommandCall& call)
{
    SetLeftColumn(call.Command == ecScrollLeft ? FLeftColumn - 1 : FLeftColumn + 1);
}

void TCustomTextEdit::CmdContextHelp(const TCommandCall& call)
{
    (void)call;
    if (OnContextHelp)
        OnContextHelp(this, WordAtPosition(FCaret));
}

// ---------------------------------------------------------------- edits

void TCustomTextEdit::CmdChar(const TCommandCall& call)
{
    const QChar aChar = call.Char;
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
}

void TCustomTextEdit::CmdImeStr(const TCommandCall& call)
{
    // Only a composed string heeds overwrite mode; a typed character is
    // always inserted.
    const QString text = call.Data ? *static_cast<const QString*>(call.Data) : QString();
    if (text.isEmpty())
        return;
    if (HasOption(eoColumnEditExtension) && FSelectionMode == smColumn && SelectionAvailable())
        TypeIntoColumnBlock(text);
    else
        InsertTyped(text, !FInsertMode);
}

void TCustomTextEdit::CmdLineBreak(const TCommandCall& call)
{
    LineBreak(call.Command == ecLineBreak);
}

void TCustomTextEdit::CmdChangeCase(const TCommandCall& call)
{
    ChangeCase(call.Command);
}

void TCustomTextEdit::CmdDelete(const TCommandCall& call)
{
    const TTextEditorCommand command = call.Command;
    if (command == ecDeleteLastChar && !SelectionAvailable()) {
        DeleteLastChar();
        return;
    }
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
