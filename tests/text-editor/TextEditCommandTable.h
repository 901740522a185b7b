#pragma once
// Tables of editor commands: a text with its caret and selection under some
// options and a selection mode, commands sent through the dispatch, and the
// text, caret and selection they leave. An edit must come back exactly in
// one undo step and go again in one redo.
#include "TextEdit.h"

#include <gtest/gtest.h>

#include <vector>

inline QStringList LinesOf(const TCustomTextEdit& e) { return e.Lines().ToStringList(); }

// The lines, with no undo history.
inline void SetText(TCustomTextEdit& e, const QStringList& lines)
{
    e.Lines().Clear();
    for (const QString& s : lines)
        e.Lines().Add(s);
    e.ClearUndoHistory();
}

struct TCommandCase {
    QStringList text;
    TBufferCoord caret;
    TBufferCoord anchor;  // Char 0: no selection
    std::vector<TTextEditorCommand> commands;
    QString typed;  // the characters of ecChar, one command each; the string of ecImeStr
    QStringList expected;
    TBufferCoord expectedCaret;
    TBufferCoord expectedAnchor;  // Char 0: no selection
    TTextEditorOptions options = TextEditDefaultOptions;
    TTextSelectionMode mode = smNormal;
    TTextSelectionMode expectedMode = smNormal;
};

inline void RunCommandCase(const TCommandCase& c)
{
    TTextEdit e;
    e.SetOptions(c.options);
    SetText(e, c.text);
    e.SetSelectionMode(c.mode);
    e.PlaceCaretCollapsed(c.anchor.Char > 0 ? c.anchor : c.caret);
    if (c.anchor.Char > 0) {
        e.SetCaretPos(c.caret);
        e.SetSelectionEnd(c.caret);
    }
    const QStringList before = LinesOf(e);
    for (TTextEditorCommand command : c.commands) {
        if (command == ecChar)
            for (QChar ch : c.typed)
                e.DispatchEditorCommand(ecChar, ch);
        else
            e.DispatchEditorCommand(command, QChar(), c.typed);
    }
    EXPECT_EQ(LinesOf(e), c.expected);
    EXPECT_EQ(e.CaretPos(), c.expectedCaret);
    if (c.expectedAnchor.Char > 0) {
        EXPECT_TRUE(e.SelectionAvailable());
        EXPECT_EQ(e.SelectionAnchor(), c.expectedAnchor);
    } else {
        EXPECT_FALSE(e.SelectionAvailable());
    }
    EXPECT_EQ(e.SelectionMode(), c.expectedMode);
    const QStringList after = LinesOf(e);
    if (after != before) {
        e.Undo();
        EXPECT_EQ(LinesOf(e), before);
        EXPECT_FALSE(e.CanUndo());
        e.Redo();
        EXPECT_EQ(LinesOf(e), after);
    }
}
