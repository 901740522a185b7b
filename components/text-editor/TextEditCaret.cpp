// The editor control's caret and selection: placing them, the selected text
// and its replacement, and the caret's steps by characters, words, lines
// and pages.
#include "TextEdit.h"

#include "TextEditInternal.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QInputMethod>
#include <algorithm>

namespace {

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

// The word characters of the word scans: ASCII letters, digits and "_".
bool IsWordChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
}

}  // namespace

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
    // The fold keyword the caret touches shows its range's guide.
    if (FCodeFolding.IndentGuides() && FAllFoldRanges.TotalCount() > 0)
        UpdateFoldHighlight();
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
    // Collapsed ranges give their hidden lines.
    if (FSelectionMode != smColumn && HasCollapsedFolds())
        return ExpandedSelectionText(b, e);
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
