#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QtTest/QTest>

#include "RDEditTestSupport.h"

// Caret movement by keys: tables of (document, caret, moves with Shift) to
// (item position, CaretPos, the edge answer), and the selection the moves
// extend.

namespace {

enum TMoveKey { mkLeft, mkRight, mkUp, mkDown, mkHome, mkEnd, mkDocHome, mkDocEnd, mkPageUp, mkPageDown };

struct TMoveStep {
    TMoveKey Key;
    bool Word = false;   // Ctrl
    bool Shift = false;  // selecting
};

// Presses a key as the editor's key handling does: anchor the selection,
// move, extend it (with Shift). Answers the move's edge answer.
bool MovePress(TRDEditRDData& d, const TMoveStep& step)
{
    if (step.Shift)
        d.AnchorSelectionAtCaret();
    else
        d.Deselect(nullptr, false);
    bool edge = false;
    switch (step.Key) {
    case mkLeft: edge = d.MoveCaretLeft(step.Shift, step.Word); break;
    case mkRight: edge = d.MoveCaretRight(step.Shift, step.Word); break;
    case mkUp: edge = d.MoveCaretUp(step.Shift, false); break;
    case mkDown: edge = d.MoveCaretDown(step.Shift, false); break;
    case mkHome: d.MoveCaretHome(false); break;
    case mkEnd: d.MoveCaretEnd(false); break;
    case mkDocHome: d.MoveCaretHome(true); break;
    case mkDocEnd: d.MoveCaretEnd(true); break;
    case mkPageUp: d.MoveCaretPageUp(); break;
    case mkPageDown: d.MoveCaretPageDown(); break;
    }
    if (step.Shift)
        d.ExtendSelectionToCaret();
    return edge;
}

struct TMoveRow {
    const char* Name;
    std::vector<TEditPara> Doc;
    int Item, Offset;  // the caret before
    std::vector<TMoveStep> Steps;
    int ItemAfter, OffsetAfter;
    // Where CaretPos() is: the line of the document, the characters (12
    // pixels each) before it on the line; -1: characters of other widths.
    int Line, Column;
    bool Edge;         // the last move's answer
};

const TEditPara MoveWords{{{"one two three"}}};
const TEditPara MoveShort{{{"short"}}};
const TEditPara MoveLong{{{"a much longer line here"}}};

TEST(RDECaretMoveTest, MovesEndWhereTheTableSays)
{
    const std::vector<TEditPara> list = {{{{"top"}}}, {{{"item"}}, epList, true}, {{{"end"}}}};
    const TMoveRow rows[] = {
        {"left at the very start", {MoveWords}, 0, 1, {{mkLeft}}, 0, 1, 0, 0, true},
        {"ctrl+left at the very start", {MoveWords}, 0, 1, {{mkLeft, true}}, 0, 1, 0, 0, true},
        {"right at the very end", {MoveWords}, 0, 14, {{mkRight}}, 0, 14, 0, 13, true},
        {"ctrl+right at the very end", {MoveWords}, 0, 14, {{mkRight, true}}, 0, 14, 0, 13, true},
        {"left then right", {MoveWords}, 0, 5, {{mkLeft}, {mkLeft}, {mkRight}}, 0, 4, 0, 3, false},
        {"left to the previous line's end", {MoveShort, MoveLong}, 1, 1, {{mkLeft}}, 0, 6, 0, 5, false},
        {"right to the next line's start", {MoveShort, MoveLong}, 0, 6, {{mkRight}}, 1, 1, 1, 0, false},
        {"ctrl+left inside a word", {MoveWords}, 0, 7, {{mkLeft, true}}, 0, 5, 0, 4, false},
        {"ctrl+left from a word start", {MoveWords}, 0, 5, {{mkLeft, true}}, 0, 1, 0, 0, false},
        {"ctrl+left twice", {MoveWords}, 0, 11, {{mkLeft, true}, {mkLeft, true}}, 0, 5, 0, 4, false},
        {"ctrl+right to the next word", {MoveWords}, 0, 2, {{mkRight, true}}, 0, 5, 0, 4, false},
        {"ctrl+right from a word start", {MoveWords}, 0, 5, {{mkRight, true}}, 0, 9, 0, 8, false},
        {"ctrl+right to the end", {MoveWords}, 0, 9, {{mkRight, true}}, 0, 14, 0, 13, false},
        {"ctrl+right over punctuation", {{{{"a, b"}}}}, 0, 1, {{mkRight, true}, {mkRight, true}}, 0, 4, 0, 3, false},
        {"up from a long line to a short one", {MoveShort, MoveLong}, 1, 20, {{mkUp}}, 0, 6, 0, 5, false},
        {"down again uses the new x", {MoveShort, MoveLong}, 1, 20, {{mkUp}, {mkDown}}, 1, 6, 1, 5, false},
        {"up on the first line", {MoveShort, MoveLong}, 0, 3, {{mkUp}}, 0, 3, 0, 2, true},
        {"down on the last line", {MoveShort, MoveLong}, 1, 3, {{mkDown}}, 1, 3, 1, 2, true},
        {"shift+up on the first line goes to its start", {MoveShort, MoveLong}, 0, 3, {{mkUp, false, true}}, 0, 1,
         0, 0, true},
        {"shift+down on the last line goes to its end", {MoveShort, MoveLong}, 1, 3, {{mkDown, false, true}}, 1, 24,
         1, 23, true},
        {"home and end of the line", {MoveShort, MoveLong}, 1, 5, {{mkHome}}, 1, 1, 1, 0, false},
        {"end of the line", {MoveShort, MoveLong}, 1, 5, {{mkEnd}}, 1, 24, 1, 23, false},
        {"ctrl+home", {MoveShort, MoveLong}, 1, 5, {{mkDocHome}}, 0, 1, 0, 0, false},
        {"ctrl+end", {MoveShort, MoveLong}, 0, 2, {{mkDocEnd}}, 1, 24, 1, 23, false},
        {"page down from the top of a short document", {MoveShort, MoveLong}, 0, 2, {{mkPageDown}}, 1, 24, 1, 23,
         false},
        {"page up from the bottom of a short document", {MoveShort, MoveLong}, 1, 9, {{mkPageUp}}, 0, 1, 0, 0, false},
        // A list marker never holds the caret.
        {"left from a list item's start", list, 2, 1, {{mkLeft}}, 0, 4, 0, 3, false},
        {"right onto a list line", list, 0, 4, {{mkRight}}, 2, 1, 1, 0, false},
        {"home on a list line", list, 2, 3, {{mkHome}}, 2, 1, 1, 0, false},
        {"down onto a list line at its left", list, 0, 1, {{mkDown}}, 2, 1, 1, 0, false},
        {"up from a list line keeps the indented x", list, 2, 1, {{mkUp}}, 0, 3, 0, 2, false},
        {"left at a first list item's start", {{{{"item"}}, epList, true}}, 1, 1, {{mkLeft}}, 1, 1, 0, 0, true},
        {"ctrl+home in a list", {{{{"item"}}, epList, true}}, 1, 3, {{mkDocHome}}, 1, 1, 0, 0, false},
        // Whole characters are one stop each.
        {"a GB18030 ideograph is one stop", {{{{QStringLiteral("a\u4e2db")}}}}, 0, 2, {{mkRight}}, 0, 4, 0, -1, false},
        {"back over the ideograph", {{{{QStringLiteral("a\u4e2db")}}}}, 0, 4, {{mkLeft}}, 0, 2, 0, -1, false},
        {"a surrogate pair is one stop", {{{{QStringLiteral("a\U0001F600b"), esUnicode}}}}, 0, 2, {{mkRight}}, 0, 4, 0, -1,
         false},
        {"back over the pair", {{{{QStringLiteral("a\U0001F600b"), esUnicode}}}}, 0, 4, {{mkLeft}}, 0, 2, 0, -1, false},
    };
    TEditTestSheet sheet;
    TTestEditor e(&sheet);
    TRDEditRDData& d = e.Data();
    for (const TMoveRow& row : rows) {
        SCOPED_TRACE(row.Name);
        FillEditor(e, row.Doc);
        PutCaret(e, 0, d.StartOffsetOf(0));
        const QPoint origin = e.CaretPos();
        const TRDDrawLineInfo& originDraw = *d.DrawItems[d.CaretDrawItemNo];
        PutCaret(e, row.Item, row.Offset);
        bool edge = false;
        for (const TMoveStep& step : row.Steps)
            edge = MovePress(d, step);
        EXPECT_EQ(edge, row.Edge);
        EXPECT_EQ(d.GetCaretItemNo(), row.ItemAfter);
        EXPECT_EQ(d.GetCaretOffset(), row.OffsetAfter);
        ASSERT_TRUE(d.CaretValid());
        // The point: 12 pixels a character from the line's start, on the row's line.
        int lineStart = 0, lineEnd = 0;
        d.GetLineBounds(d.CaretDrawItemNo, lineStart, lineEnd);
        if (d.StyleOfDrawItem(lineStart) == MarkerStyleNo)
            ++lineStart;
        int line = 0;
        for (int i = 1; i <= lineStart; ++i)
            line += d.DrawItems[i]->StartsLine() ? 1 : 0;
        EXPECT_EQ(line, row.Line);
        EXPECT_EQ(e.CaretPos().y(), origin.y() + d.DrawItems[d.CaretDrawItemNo]->Top - originDraw.Top);
        if (row.Column >= 0) {
            EXPECT_EQ(e.CaretPos().x(), d.DrawItems[lineStart]->Left - originDraw.Left + origin.x() + 12 * row.Column);
        } else {
            // Characters of other widths: where a click at the same position puts it.
            const QPoint moved = e.CaretPos();
            PutCaret(e, row.ItemAfter, row.OffsetAfter);
            EXPECT_EQ(moved, e.CaretPos());
        }
    }
}

TEST(RDECaretMoveTest, RightAtTheEndOfAWrappedLineGoesToTheNextLineStartPassingNoCharacter)
{
    TEditTestSheet sheet;
    TTestEditor e(&sheet, 200);
    TRDEditRDData& d = e.Data();
    FillEditor(e, {{{{"alpha beta gamma delta epsilon zeta eta theta"}}}});
    ASSERT_GT(e.DrawCount(), 2);
    ASSERT_EQ(e.D(1).ItemNo, 0);
    // The space where the line wraps is drawn on neither line.
    const int lineEnd = e.D(0).Offs + e.D(0).Length;
    const int nextStart = e.D(1).Offs;
    ASSERT_LE(nextStart - lineEnd, 1);
    PutCaret(e, 0, 2);
    d.MoveCaretEnd(false);
    ASSERT_EQ(d.CaretDrawItemNo, 0);
    EXPECT_EQ(d.GetCaretOffset(), lineEnd);
    const QPoint endOfLine = e.CaretPos();
    EXPECT_FALSE(d.MoveCaretRight(false, false));
    EXPECT_EQ(d.CaretDrawItemNo, 1);
    EXPECT_EQ(d.CaretCharPosNo, 0);
    EXPECT_EQ(d.GetCaretOffset(), nextStart);
    EXPECT_GT(e.CaretPos().y(), endOfLine.y());
    EXPECT_LT(e.CaretPos().x(), endOfLine.x());
    // And back without passing a character either.
    EXPECT_FALSE(d.MoveCaretLeft(false, false));
    EXPECT_EQ(d.CaretDrawItemNo, 0);
    EXPECT_EQ(d.GetCaretOffset(), lineEnd);
    EXPECT_EQ(e.CaretPos(), endOfLine);
}

TEST(RDECaretMoveTest, ShiftedMovesExtendTheSelectionFromItsAnchor)
{
    TEditTestSheet sheet;
    TTestEditor e(&sheet);
    TRDEditRDData& d = e.Data();
    FillEditor(e, {MoveShort, MoveLong});
    PutCaret(e, 0, 2);
    MovePress(d, {mkRight, true, true});
    MovePress(d, {mkDown, false, true});
    int a = 0, ao = 0, m = 0, mo = 0;
    d.GetSelBoundsItems(a, ao, m, mo, false);
    EXPECT_EQ(std::vector<int>({a, ao, m, mo}), std::vector<int>({0, 2, 1, 6}));
    // Back up past the anchor: the selection turns round it.
    MovePress(d, {mkUp, false, true});
    MovePress(d, {mkLeft, false, true});
    MovePress(d, {mkLeft, false, true});
    d.GetSelBoundsItems(a, ao, m, mo, false);
    EXPECT_EQ(std::vector<int>({a, ao, m, mo}), std::vector<int>({0, 2, 0, 4}));
    EXPECT_EQ(d.GetCaretOffset(), 4);
}

TEST(RDECaretMoveTest, ParagraphSelectionModeMovesByParagraphsOnceTheSelectionCrossesOne)
{
    TEditTestSheet sheet;
    sheet.SelectionMode = TRDSelectionMode::rdsmParagraph;
    TTestEditor e(&sheet);
    TRDEditRDData& d = e.Data();
    FillEditor(e, {{{{"zero"}}}, {{{"one"}, {"more", esBold}}}, {{{"two"}}}, {{{"three"}}}});
    PutCaret(e, 1, 2);
    // Where each move itself puts the caret (extending the selection afterwards widens it).
    auto press = [&](bool (TRDEditRDData::*move)(bool, bool), int item, int offset) {
        d.AnchorSelectionAtCaret();
        EXPECT_FALSE((d.*move)(true, false));
        EXPECT_EQ(d.GetCaretItemNo(), item);
        EXPECT_EQ(d.GetCaretOffset(), offset);
        d.ExtendSelectionToCaret();
    };
    // Inside one paragraph: plain moves.
    press(&TRDEditRDData::MoveCaretRight, 1, 3);
    press(&TRDEditRDData::MoveCaretDown, 3, 3);
    ASSERT_TRUE(d.SelectionCrossesParagraph());
    // Now the selection crosses a paragraph: to the next paragraph's end,
    // then back to the start of the paragraph before the caret's.
    press(&TRDEditRDData::MoveCaretRight, 4, 6);
    press(&TRDEditRDData::MoveCaretUp, 3, 1);
    press(&TRDEditRDData::MoveCaretLeft, 1, 1);
}

TEST(RDECaretMoveTest, PageDownAndUpMoveByThreeQuartersOfTheViewAndScroll)
{
    TEditTestSheet sheet;
    TTestEditor e(&sheet, 400, 200);
    TRDEditRDData& d = e.Data();
    std::vector<TEditPara> paras;
    for (int i = 0; i < 60; ++i)
        paras.push_back({{{QStringLiteral("line %1").arg(i)}}});
    e.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
    FillEditor(e, paras);
    PutCaret(e, 0, 3);
    const int lineHeight = e.D(1).Top - e.D(0).Top;
    ASSERT_GT(lineHeight, 0);
    d.MoveCaretPageDown();
    const int down = d.GetCaretItemNo();
    // The line three quarters of the view below the top, brought to the top.
    EXPECT_GE(e.D(down).Top, 150 - lineHeight);
    EXPECT_LE(e.D(down).Top, 150 + lineHeight);
    // (the control scrolls in its own steps: the line's top within one line of the view's)
    EXPECT_LE(d.GetVOffset(), e.D(down).Top);
    EXPECT_GT(d.GetVOffset(), e.D(down).Top - lineHeight);
    EXPECT_EQ(d.GetCaretOffset(), 3);
    d.MoveCaretPageDown();
    EXPECT_GT(d.GetCaretItemNo(), down);
    const int second = d.GetCaretItemNo();
    d.MoveCaretPageUp();
    EXPECT_LT(d.GetCaretItemNo(), second);
    d.MoveCaretPageUp();
    d.MoveCaretPageUp();
    EXPECT_EQ(d.GetCaretItemNo(), 0);
    EXPECT_EQ(d.GetCaretOffset(), 1);  // past the top: the document start
    for (int i = 0; i < 30; ++i)
        d.MoveCaretPageDown();
    EXPECT_EQ(d.GetCaretItemNo(), 59);
    EXPECT_EQ(d.GetCaretOffset(), d.EndOffsetOf(59));
}

}  // namespace
