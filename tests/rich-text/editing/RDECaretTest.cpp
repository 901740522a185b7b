#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>

#include <string>
#include <vector>

#include "RDEditTestSupport.h"
#include "core/RDError.h"
#include "core/RDUnicode.h"
#include "document/RDItem.h"

namespace {

// A box of a given height (width 20), as a picture would stand.
class TCaretBoxItem : public TRDRectItemInfo {
public:
    TCaretBoxItem(TCustomRDData* data, int height) : TRDRectItemInfo(data), Height(height) { StyleNo = -20; }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override { return new TCaretBoxItem(data, Height); }
    int GetWidthEx() const override { return 20; }
    int GetHeightEx() const override { return Height; }
    int Height;
};

// Where the caret stands after it was put at an item position.
struct TCaretAt {
    int Item;
    int Offset;
    int X;  // CaretPos().x
};

// The caret's stops as (draw item, draw offset) pairs.
std::vector<std::pair<int, int>> Stops(TRDEditRDData& data)
{
    std::vector<std::pair<int, int>> r;
    for (const TRDCharPos& p : data.CharPositions)
        r.emplace_back(p.DrawIndex, p.DrawOffset);
    return r;
}

QByteArray Gb18030(const QString& text)
{
    return QStringToAnsi(CP_ACP, text);
}

// The viewport as painted now.
QImage Grab(TCustomRichDocEdit& editor)
{
    return editor.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class RDECaretTest : public ::testing::Test {
protected:
    // The editor shown, its window active and the focus in it.
    static void ShowFocused(TTestEditor& editor)
    {
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
        editor.activateWindow();
        editor.setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    }

    TEditTestSheet Sheet;
};

// Left margin 5: the text starts at x 5; a character is 12 pixels wide. The
// caret's published point is one pixel left of the stop's x + shift (shift 1
// for text) and its y is two pixels above the draw item.
TEST_F(RDECaretTest, CaretTable)
{
    struct TCase {
        const char* Name;
        std::vector<TEditPara> Doc;
        int Item, Offset;  // where the caret is put
        TCaretAt Expected;
    };
    const std::vector<TCase> cases = {
        {"text start", {{{{QStringLiteral("Hello")}}}}, 0, 1, {0, 1, 5}},
        {"inside text", {{{{QStringLiteral("Hello")}}}}, 0, 3, {0, 3, 29}},
        {"text end", {{{{QStringLiteral("Hello")}}}}, 0, 6, {0, 6, 65}},
        {"offset beyond the end takes the end stop", {{{{QStringLiteral("Hi")}}}}, 0, 9, {0, 3, 29}},
        {"between plain and bold: the end of the plain item",
         {{{{QStringLiteral("ab")}, {QStringLiteral("cd"), esBold}}}},
         1,
         1,
         {0, 3, 29}},
        {"inside the bold item", {{{{QStringLiteral("ab")}, {QStringLiteral("cd"), esBold}}}}, 1, 2, {1, 2, 41}},
        {"empty item: its end stop", {{{{QString()}}}, {{{QStringLiteral("x")}}}}, 0, 1, {0, 1, 5}},
        {"second paragraph", {{{{QStringLiteral("one")}}}, {{{QStringLiteral("two")}}}}, 1, 2, {1, 2, 17}},
        {"a list marker is skipped: the caret goes to the text after it",
         {{{{QStringLiteral("item")}}, epNormal, true}},
         0,
         0,
         {1, 1, -1}},
        {"Unicode text", {{{{QStringLiteral("ab"), esUnicode}}}}, 0, 2, {0, 2, 17}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestEditor editor(&Sheet);
        FillEditor(editor, c.Doc);
        PutCaret(editor, c.Item, c.Offset);
        EXPECT_EQ(editor.GetCaretItemIndex(), c.Expected.Item);
        EXPECT_EQ(editor.GetCaretItemOffset(), c.Expected.Offset);
        const TRDDrawLineInfo& d = editor.D(editor.Data().CaretDrawItemNo);
        if (c.Expected.X >= 0) {
            EXPECT_EQ(editor.CaretPos().x(), c.Expected.X);
        } else {  // at the start of the text after the marker
            EXPECT_EQ(editor.CaretPos().x(), d.Left);
        }
        EXPECT_EQ(editor.CaretPos().y(), d.Top - 2);
        EXPECT_EQ(editor.Data().CaretPos(), editor.CaretPos());
        EXPECT_NE(editor.Data().ItemAt(d.ItemNo)->StyleNo, MarkerStyleNo);
    }
}

TEST_F(RDECaretTest, OneStopBetweenTwoDrawItemsOfALine)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("ab")}, {QStringLiteral("cd"), esBold}}}});
    PutCaret(editor, 0, 1);
    EXPECT_EQ(Stops(editor.Data()),
              (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}}));
}

TEST_F(RDECaretTest, WholeCharactersAreOneStep)
{
    // A GB18030 ideograph of an ANSI item is two bytes and one stop; a
    // surrogate pair of a Unicode item is two units and one stop. A caret
    // asked for inside either stands after it.
    struct TCase {
        const char* Name;
        QString Text;
        int Style;
        std::vector<int> Offsets;  // the draw offsets of the stops
        int Inside;                // an offset inside a character
        int After;                 // where the caret goes for it
    };
    const TCase cases[] = {
        {"GB18030 ideographs", QStringLiteral("中文"), esPlain, {1, 3, 5}, 2, 3},
        {"GB18030 four-byte character", QString::fromUcs4(U"a\U00020000b"), esPlain, {1, 2, 6, 7}, 4, 6},
        {"surrogate pair", QString::fromUcs4(U"a\U0001F600b"), esUnicode, {1, 2, 4, 5}, 3, 4},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestEditor editor(&Sheet);
        FillEditor(editor, {{{{c.Text, c.Style}}}});
        if (c.Style == esPlain) {
            ASSERT_EQ(editor.Data().TextOfItem(0), Gb18030(c.Text));
        }
        PutCaret(editor, 0, 1);
        std::vector<int> offsets;
        for (const TRDCharPos& p : editor.Data().CharPositions)
            offsets.push_back(p.DrawOffset);
        EXPECT_EQ(offsets, c.Offsets);
        PutCaret(editor, 0, c.Inside);
        EXPECT_EQ(editor.GetCaretItemOffset(), c.After);
        // Stops stand at increasing x.
        for (size_t k = 1; k < editor.Data().CharPositions.size(); ++k)
            EXPECT_LT(editor.Data().CharPositions[k - 1].PosX, editor.Data().CharPositions[k].PosX);
    }
}

TEST_F(RDECaretTest, CaretHeightAndPlaceFollowTheDrawItem)
{
    struct TCase {
        int BoxHeight;
        int CaretHeight;
    };
    for (const TCase c : {TCase{30, 32}, TCase{2000, 1000}}) {
        SCOPED_TRACE(c.BoxHeight);
        TTestEditor editor(&Sheet);
        editor.ClearDocument();
        auto* box = new TCaretBoxItem(editor.EditData(), c.BoxHeight);
        box->ParaNo = 0;
        editor.Data().AddItem(QByteArray(), box);
        editor.FormatDocument();
        ASSERT_EQ(editor.DrawCount(), 1);
        ASSERT_EQ(editor.D(0).Height, c.BoxHeight);
        PutCaret(editor, 0, 1);
        EXPECT_EQ(editor.Data().CaretHeight, c.CaretHeight);
        // The caret ends with the box: a caret of the full height starts two
        // pixels above it.
        EXPECT_EQ(editor.CaretPos().y() + c.CaretHeight, editor.D(0).Top + c.BoxHeight);
        if (c.BoxHeight == 30) {
            EXPECT_EQ(editor.CaretPos().y(), editor.D(0).Top - 2);
        }
        // After a non-text item the stop's x is its right side, shifted by 2.
        EXPECT_EQ(editor.CaretPos().x(), editor.D(0).Left + 20 + 1);
    }
}

TEST_F(RDECaretTest, TopMarginFivePutsTheFirstCaretAtYThree)
{
    TTestEditor editor(&Sheet);
    ASSERT_EQ(editor.TopMargin, 5);
    FillEditor(editor, {{{{QStringLiteral("first")}}}, {{{QStringLiteral("second")}}}});
    ASSERT_EQ(editor.D(0).Top, 5);
    EXPECT_EQ(editor.GetCaretItemIndex(), 0);
    EXPECT_EQ(editor.CaretPos(), QPoint(5, 3));
    EXPECT_EQ(editor.Data().GetCaretPoint(), QPoint(5, 4));
}

TEST_F(RDECaretTest, AnInvalidStopRaisesAndResetsTheCaret)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("item")}}, epNormal, true}, {{{QStringLiteral("two")}}}});
    PutCaret(editor, 2, 2);
    editor.Data().CaretCharPosNo = 99;
    try {
        editor.Data().UpdateCaret(false, false, false);
        FAIL() << "no error";
    } catch (const ERichDocError& e) {
        EXPECT_STREQ(e.what(),
                     "Invalid caret position. Please contact the developer, if you can reproduce this problem");
    }
    // The caret stands at the first stop, past the marker, and the next update works.
    EXPECT_EQ(editor.Data().CaretDrawItemNo, 1);
    EXPECT_EQ(editor.Data().CaretCharPosNo, 0);
    EXPECT_NO_THROW(editor.Data().UpdateCaret(false, false, false));
    EXPECT_EQ(editor.GetCaretItemIndex(), 1);
    EXPECT_EQ(editor.GetCaretItemOffset(), 1);
}

TEST_F(RDECaretTest, FormattingKeepsTheCaretOrResetsIt)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("one two three")}}}, {{{QStringLiteral("four")}}}});
    PutCaret(editor, 1, 3);
    int moves = 0;
    editor.OnCaretMove = [&](QObject*) { ++moves; };
    editor.Reformat();  // keeps the selection
    EXPECT_EQ(editor.GetCaretItemIndex(), 1);
    EXPECT_EQ(editor.GetCaretItemOffset(), 3);
    EXPECT_GE(moves, 1);
    // A narrower window wraps the first paragraph; the caret stays at its item position.
    PutCaret(editor, 0, 10);
    editor.Resize(100, 300);
    editor.Reformat();
    EXPECT_EQ(editor.GetCaretItemIndex(), 0);
    EXPECT_EQ(editor.GetCaretItemOffset(), 10);
    EXPECT_GT(editor.Data().CaretDrawItemNo, 0);
    EXPECT_TRUE(DrawItemsMatchFreshFormat(editor));
    editor.FormatDocument();  // a fresh format: the caret to the start
    EXPECT_EQ(editor.GetCaretItemIndex(), 0);
    EXPECT_EQ(editor.GetCaretItemOffset(), 1);
}

TEST_F(RDECaretTest, CurrentStylesFollowTheCaret)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("Title"), esHeading}}, epHeading},
                        {{{QStringLiteral("ab")}, {QStringLiteral("cd"), esBold}, {QStringLiteral("ef"), esNoAutoSwitch}}}});
    PutCaret(editor, 0, 2);
    EXPECT_EQ(editor.CurParaStyleNo(), epHeading);
    EXPECT_EQ(editor.CurTextStyleNo(), esHeading);
    PutCaret(editor, 2, 2);
    EXPECT_EQ(editor.CurParaStyleNo(), epNormal);
    EXPECT_EQ(editor.CurTextStyleNo(), esBold);
    EXPECT_EQ(editor.Data().LastSwitchableStyleNo, esBold);
    // A style that does not switch automatically leaves the last switchable one current.
    PutCaret(editor, 1, 1);
    PutCaret(editor, 3, 2);
    EXPECT_EQ(editor.CurTextStyleNo(), esPlain);
    EXPECT_EQ(editor.Data().LastSwitchableStyleNo, esPlain);
}

TEST_F(RDECaretTest, TheCaretHighlightsTheJumpItStandsIn)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("go ")}, {QStringLiteral("there"), esJump}}}});
    PutCaret(editor, 1, 3);
    EXPECT_TRUE(editor.Data().State & dsJumpHighlighted);
    PutCaret(editor, 0, 2);
    EXPECT_FALSE(editor.Data().State & dsJumpHighlighted);
    editor.EditorOptions |= rdoNoCaretHighlightJumps;
    PutCaret(editor, 1, 3);
    EXPECT_FALSE(editor.Data().State & dsJumpHighlighted);
}

TEST_F(RDECaretTest, ReadOnlySwitchesHypertextOnAndEditingOff)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("go ")}, {QStringLiteral("there"), esJump}}}});
    EXPECT_FALSE(editor.ControlFlags & cfJumpsActive);
    editor.SetReadOnly(true);
    EXPECT_TRUE(editor.ControlFlags & cfJumpsActive);
    EXPECT_EQ(editor.Data().JumpList.size(), 1u);
    editor.Data().DisableJumps();  // a read-only editor keeps them
    EXPECT_TRUE(editor.ControlFlags & cfJumpsActive);
    editor.SetReadOnly(false);
    EXPECT_FALSE(editor.ControlFlags & cfJumpsActive);
    EXPECT_TRUE(editor.Data().JumpList.empty());
    // Ctrl held with rdoCtrlJumps: the editor asks for them itself.
    editor.Data().EnableJumps(true);
    EXPECT_TRUE(editor.ControlFlags & cfJumpsActive);
    editor.Data().DoChange(true);  // an edit ends them
    EXPECT_FALSE(editor.ControlFlags & cfJumpsActive);
}

// The caret is drawn over the painted document, inverting the page, only
// while the editor has the focus; CaretPos is kept either way.
TEST_F(RDECaretTest, TheCaretIsDrawnOnlyWithTheFocus)
{
    QWidget other;
    other.setFocusPolicy(Qt::StrongFocus);
    other.resize(50, 50);
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("ab")}}}});
    ASSERT_NO_FATAL_FAILURE(ShowFocused(editor));
    ASSERT_TRUE(editor.HasFocusWithin());
    PutCaret(editor, 0, 2);
    const QRect caret = editor.CaretRect();
    ASSERT_EQ(caret, QRect(editor.CaretPos(), QSize(1, editor.D(0).Height + 2)));
    ASSERT_TRUE(editor.CaretVisiblePhase());
    // A column of the caret that lies between the two glyphs, on the white page.
    QImage shown = Grab(editor);
    const int x = caret.x();
    int dark = 0;
    for (int y = caret.top(); y <= caret.bottom(); ++y)
        dark += shown.pixel(x, y) == 0xFF000000;
    EXPECT_GT(dark, caret.height() / 2) << "the caret inverts the page";

    editor.clearFocus();
    ASSERT_FALSE(editor.HasFocusWithin());
    const QPoint kept = editor.CaretPos();
    PutCaret(editor, 0, 3);
    EXPECT_EQ(editor.CaretPos(), kept + QPoint(12, 0)) << "kept without the focus";
    EXPECT_TRUE(editor.CaretRect().isEmpty());
    QImage hidden = Grab(editor);
    for (int y = caret.top(); y <= caret.bottom(); ++y)
        EXPECT_NE(hidden.pixel(x, y), 0xFF000000u) << "y " << y;
}

TEST_F(RDECaretTest, HideReadOnlyCaretShowsNone)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("ab")}}}});
    ASSERT_NO_FATAL_FAILURE(ShowFocused(editor));
    editor.EditorOptions |= rdoHideReadOnlyCaret;
    editor.SetReadOnly(true);
    PutCaret(editor, 0, 2);
    EXPECT_TRUE(editor.CaretRect().isEmpty());
    EXPECT_EQ(editor.CaretPos(), QPoint(17, 3));
    editor.SetReadOnly(false);
    PutCaret(editor, 0, 2);
    EXPECT_FALSE(editor.CaretRect().isEmpty());
}

// With CustomCaretInterval the control draws no caret of its own: timer 3
// runs, and each tick has OnDrawCustomCaret draw over the painted document
// in the rectangle OnMeasureCustomCaret gives.
TEST_F(RDECaretTest, CustomCaretIsDrawnByTheHandlerOverThePaint)
{
    TTestEditor editor(&Sheet);
    editor.CustomCaretInterval = 500;
    std::vector<QRect> drawn;
    editor.OnMeasureCustomCaret = [](TCustomRichDocEdit*, QRect& rect) { rect.setWidth(3); };
    editor.OnDrawCustomCaret = [&](TCustomRichDocEdit* sender, TCanvas&, const QRect& rect) {
        EXPECT_EQ(sender, &editor);
        drawn.push_back(rect);
    };
    ASSERT_NO_FATAL_FAILURE(ShowFocused(editor));
    FillEditor(editor, {{{{QStringLiteral("ab")}}}});
    EXPECT_TRUE(editor.Data().CustomCaretTimerOn);
    EXPECT_TRUE(editor.CustomCaretTimerActive());
    PutCaret(editor, 0, 2);
    EXPECT_TRUE(editor.CaretRect().isEmpty()) << "no caret of the control's own";
    EXPECT_EQ(editor.Data().CustomCaretRect, QRect(editor.CaretPos(), QSize(1, editor.D(0).Height + 2)));
    editor.CustomCaretTick();
    ASSERT_TRUE(editor.Data().CustomCaretDrawn);
    Grab(editor);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back(), QRect(editor.CaretPos(), QSize(3, editor.D(0).Height + 2)));
    // Without the focus the handler is not asked.
    editor.clearFocus();
    drawn.clear();
    editor.CustomCaretTick();
    Grab(editor);
    EXPECT_TRUE(drawn.empty());
    editor.ClearDocument();
    EXPECT_FALSE(editor.Data().CustomCaretTimerOn);
}

TEST_F(RDECaretTest, WrappedLinesHaveStopsOfTheirOwn)
{
    TTestEditor editor(&Sheet, 100, 300);
    FillEditor(editor, {{{{QStringLiteral("one two three")}}}});
    ASSERT_GT(editor.DrawCount(), 1);
    const TRDDrawLineInfo& second = editor.D(1);
    ASSERT_TRUE(second.StartsLine());
    // The start of the second line is a stop of that line, at its left.
    editor.Data().CaretDrawItemNo = 1;
    editor.Data().BuildCharPositions(-1);
    editor.Data().UpdateCaret(false, false, false);
    EXPECT_EQ(editor.Data().CaretDrawItemNo, 1);
    EXPECT_EQ(editor.GetCaretItemOffset(), second.Offs);
    EXPECT_EQ(editor.CaretPos(), QPoint(second.Left, second.Top - 2));
    for (const TRDCharPos& p : editor.Data().CharPositions)
        EXPECT_EQ(p.DrawIndex, 1) << "only the caret's line has stops";
    // The same item position as the end of the first line: the caret stays there.
    PutCaret(editor, 0, second.Offs);
    EXPECT_EQ(editor.Data().CaretDrawItemNo, 0);
    EXPECT_EQ(editor.CaretPos().y(), editor.D(0).Top - 2);
    for (const TRDCharPos& p : editor.Data().CharPositions)
        EXPECT_EQ(p.DrawIndex, 0);
}

TEST_F(RDECaretTest, RightToLeftTextGetsAStopAtEveryBoundary)
{
    TFontInfo* wide = Sheet.TextStyles().Items(esUnicode);
    wide->BiDiMode = TRDBiDiMode::rdbdRightToLeft;
    wide->FontName = QStringLiteral("DejaVu Sans");
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("שלום"), esUnicode}}}});
    PutCaret(editor, 0, 1);
    std::vector<int> offsets, xs;
    for (const TRDCharPos& p : editor.Data().CharPositions) {
        offsets.push_back(p.DrawOffset);
        xs.push_back(p.PosX);
        EXPECT_EQ(p.CaretShift, 0);
    }
    EXPECT_EQ(offsets, (std::vector<int>{1, 2, 3, 4, 5}));
    // Read from the right: each later boundary stands further left.
    for (size_t k = 1; k < xs.size(); ++k)
        EXPECT_LT(xs[k], xs[k - 1]);
    PutCaret(editor, 0, 3);
    EXPECT_EQ(editor.GetCaretItemOffset(), 3);
    PutCaret(editor, 0, 5);
    EXPECT_EQ(editor.GetCaretItemOffset(), 5);
}

// The caret is scrolled into view when asked, and its published point
// follows every scroll of the document.
TEST_F(RDECaretTest, TheCaretFollowsScrolling)
{
    TTestEditor editor(&Sheet, 200, 100);
    std::vector<TEditPara> paras;
    for (int i = 0; i < 20; ++i)
        paras.push_back({{{QStringLiteral("line %1").arg(i)}}});
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    FillEditor(editor, paras);
    PutCaret(editor, 19, 2);
    const int top = editor.D(editor.Data().CaretDrawItemNo).Top;
    ASSERT_GT(top, 100);
    EXPECT_EQ(editor.Data().GetVOffset(), 0) << "not asked to scroll";
    editor.Data().UpdateCaret(true, false, false);
    const int v = editor.Data().GetVOffset();
    EXPECT_GT(v, 0);
    EXPECT_EQ(editor.CaretPos().y(), top - 2 - v);
    EXPECT_GE(editor.CaretPos().y(), 0);
    EXPECT_LE(editor.CaretPos().y() + editor.Data().CaretHeight, editor.ClientHeight());
    editor.ScrollTo(0);
    EXPECT_EQ(editor.Data().GetVOffset(), 0);
    EXPECT_EQ(editor.CaretPos().y(), top - 2);
    EXPECT_EQ(editor.GetCaretItemIndex(), 19) << "scrolling leaves the caret in its place";
}
