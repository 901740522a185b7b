// The editor control's text primitives, which record what they change in the
// undo list, and the replay of undo and redo steps.
#include "TextEdit.h"

#include <algorithm>

namespace {

// Where the first line break of text is, -1 without one.
qsizetype FirstBreak(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == QLatin1Char('\n') || text[i] == QLatin1Char('\r'))
            return i;
    return -1;
}

}  // namespace

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
    FoldAfterUndoChange();
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
    std::vector<TTextEditUndoItem*> foldsBack;
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
            if (reason == urFold) {
                // A removed fold range: a redo takes it away again at once;
                // an undo gives it back once the step's text is back.
                if (undo)
                    foldsBack.push_back(entry.get());
                else
                    RedoFoldEntry(*entry);
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
    for (auto it = foldsBack.rbegin(); it != foldsBack.rend(); ++it)
        UndoFoldEntry(**it);
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
