// The viewer and the mouse, driven by mouse events on an offscreen window:
// selection by words, paragraphs, lines and characters, Shift, right clicks,
// the drag start, double clicks, hypertext hover and jumps, checkpoints that
// scroll into view and the auto-scroll directions.

#include <gtest/gtest.h>

#include <QtCore/QMimeData>
#include <QtGui/QCursor>
#include <QtGui/QMouseEvent>
#include <QtGui/QPaintEvent>
#include <QtGui/QPainter>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>

#include <string>
#include <vector>

#include "RDLayoutTestSupport.h"
#include "viewer/RDRichDoc.h"
#include "styles/RDStyle.h"

namespace {

// Courier New 15 pt: 12 pixels a character, lines 23 high; style 1 is hypertext.
class TMonoSheet : public TRDStyle {
public:
    TMonoSheet()
    {
        for (int i = 0; i < 2; ++i) {
            TFontInfo* f = i < TextStyles().Count() ? TextStyles().Items(i) : TextStyles().Add();
            f->FontName = QStringLiteral("Courier New");
            f->Size = 15;
            f->Style = 0;
            f->Jump = i == 1;
            f->Unicode = false;
        }
        Color = clWhite;
    }
};

// The check dialogs' styles as far as the mouse cares: 4 "MissSpell" is hypertext.
enum { csRightSpell, csWrongSpell, csCorrectSpell, csOverSpell, csMissSpell };
class TCheckSheet : public TRDStyle {
public:
    TCheckSheet()
    {
        for (int i = 0; i <= csMissSpell; ++i) {
            TFontInfo* f = i < TextStyles().Count() ? TextStyles().Items(i) : TextStyles().Add();
            f->FontName = QStringLiteral("Arial");
            f->Size = i == csCorrectSpell ? 9 : 11;
            f->Style = fsBold | (i == csWrongSpell ? fsStrikeOut : 0);
            f->Color = i == csWrongSpell ? TColor(0x0000FF) : clBlack;
            f->BackColor = i == csOverSpell ? TColor(196604) : i == csMissSpell ? TColor(57670) : clNone;
            f->Jump = i == csMissSpell;
            f->Unicode = false;
        }
        Color = clWhite;
    }
};

constexpr int CharW = 12, LineH = 23, Margin = 5;

class TMouseViewer : public TRichDoc {
public:
    explicit TMouseViewer(TRDStyle* sheet, int width = 400, int height = 300)
    {
        SetBorderStyle(TBorderStyle::bsNone);
        SetHScrollVisible(false);
        SetVScrollVisible(false);
        SetStyle(sheet);
        resize(width, height);
        show();
    }
    TRichDocRDData& Data() { return *DocumentData(); }
    QWidget* View() { return viewport(); }
    // The client point in the middle of character k (0-based) of line `line` of a mono document.
    static QPoint Char(int k, int line = 0) { return QPoint(Margin + CharW * k + CharW / 2, Margin + LineH * line + 10); }
    // The boundary before character k.
    static QPoint Before(int k, int line = 0) { return QPoint(Margin + CharW * k + 1, Margin + LineH * line + 10); }
    // (start item, start offset, end item, end offset), normalised.
    std::vector<int> Selection()
    {
        int a = -1, ao = -1, b = -1, bo = -1;
        GetSelectionBounds(a, ao, b, bo, true);
        return {a, ao, b, bo};
    }
    void Press(QPoint p, Qt::KeyboardModifiers m = {}, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mousePress(View(), b, m, p);
    }
    void Release(QPoint p, Qt::KeyboardModifiers m = {}, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseRelease(View(), b, m, p);
    }
    // A move with the given buttons held (hover: none).
    void Move(QPoint p, Qt::MouseButtons buttons = Qt::NoButton, Qt::KeyboardModifiers m = {})
    {
        QMouseEvent e(QEvent::MouseMove, p, View()->mapToGlobal(p), Qt::NoButton, buttons, m);
        QApplication::sendEvent(View(), &e);
    }
    void Drag(QPoint from, QPoint to)
    {
        Press(from);
        Move(to, Qt::LeftButton);
        Release(to);
    }
    QRect ClientRect(int d)
    {
        const TRDDrawLineInfo& di = *Data().DrawItems[d];
        return QRect(di.Left - Data().GetHOffset(), di.Top - Data().GetVOffset(), di.Width, di.Height);
    }
};

void FillMono(TMouseViewer& v, const std::vector<QString>& paragraphs, int style = 0)
{
    v.ClearDocument();
    for (const QString& p : paragraphs)
        v.AddTextInNewParagraph(p, style, 0);
    v.FormatDocument();
}

// Replaces the drag loop for one test; the stand-in tells where the button came up.
class TDragStandIn {
public:
    struct TCall {
        Qt::DropActions Allowed;
        QString Text;
    };
    std::vector<TCall> Calls;
    QWidget* View = nullptr;
    QPoint ReleaseAt;
    explicit TDragStandIn(QWidget* view) : View(view)
    {
        FOld = SetRDDragExec([this](QWidget*, QMimeData* data, Qt::DropActions allowed) {
            Calls.push_back({allowed, data ? data->text() : QString()});
            delete data;
            QCursor::setPos(View->mapToGlobal(ReleaseAt));
            return Qt::IgnoreAction;
        });
    }
    ~TDragStandIn() { SetRDDragExec(std::move(FOld)); }

private:
    TRDDragExec FOld;
};

constexpr uint32_t DragFlags = dsDragStartPending | dsDragDeleteOnMove | dsDragClickOnCancel;

} // namespace

TEST(RDMouse, WordModeSnapsToWholeWordsAndBackToCharacters)
{
    TMonoSheet sheet;
    ASSERT_EQ(sheet.SelectionMode, TRDSelectionMode::rdsmWord);
    TMouseViewer v(&sheet);
    FillMono(v, {QStringLiteral("hello world again")});
    ASSERT_EQ(v.GetItemCount(), 1);
    ASSERT_EQ(v.Data().DrawItems.Count(), 1);
    ASSERT_EQ(v.Data().DrawItems[0]->Left, Margin);
    // Press at the third letter of "hello", drag into "world".
    v.Press(v.Before(2));
    v.Move(v.Char(8), Qt::LeftButton);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 1, 0, 12}));
    EXPECT_EQ(v.Data().GetSelStartOffs(), 1);
    // Further inside the same word: still the whole word.
    v.Move(v.Char(9), Qt::LeftButton);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 1, 0, 12}));
    // Back into the first word: characters from the press.
    v.Move(v.Before(1), Qt::LeftButton);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 2, 0, 3}));
    v.Release(v.Before(1));
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 2, 0, 3}));
    EXPECT_FALSE(v.Data().State & dsMouseSelecting);
    EXPECT_FALSE(v.Data().GetSelectingInfo());

    // Leftwards out of the word from the same press: the anchor goes to the word's end.
    FillMono(v, {QStringLiteral("one hello")});
    v.Press(v.Before(6));
    v.Move(v.Char(1), Qt::LeftButton);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 1, 0, 10}));
    v.Release(v.Char(1));
}

TEST(RDMouse, CharacterModeSelectsFromThePressPoint)
{
    TMonoSheet sheet;
    sheet.SelectionMode = TRDSelectionMode::rdsmChar;
    TMouseViewer v(&sheet);
    FillMono(v, {QStringLiteral("hello world again")});
    v.Drag(v.Before(2), v.Before(8));
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 3, 0, 9}));
}

TEST(RDMouse, ParagraphModeWidensOnlyAfterCrossingABoundary)
{
    TMonoSheet sheet;
    sheet.SelectionMode = TRDSelectionMode::rdsmParagraph;
    TMouseViewer v(&sheet);
    FillMono(v, {QStringLiteral("aaaa bbbb cc"), QStringLiteral("dddd eeee ff")});
    v.Press(v.Before(5));
    v.Move(v.Before(8), Qt::LeftButton);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 6, 0, 9})) << "inside one paragraph: characters";
    v.Move(v.Before(2, 1), Qt::LeftButton);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 1, 1, 13})) << "across: both paragraphs whole";
    v.Move(v.Before(7), Qt::LeftButton);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 6, 0, 8})) << "back: characters again";
    v.Release(v.Before(7));
}

TEST(RDMouse, LeftMarginSelectsWholeLines)
{
    TMonoSheet sheet;
    TMouseViewer v(&sheet, 10 + 10 * CharW + 2);  // ten characters a line
    FillMono(v, {QStringLiteral("aaaa bbbb cccc dddd eeee ffff")});
    ASSERT_EQ(v.Data().DrawItems.Count(), 3);
    const QPoint margin1(2, Margin + LineH + 10), margin2(2, Margin + 2 * LineH + 10);
    v.Press(margin1);
    EXPECT_TRUE(v.Data().State & dsLineSelecting);
    EXPECT_EQ(v.Data().GetSelStartNo(), 1);
    EXPECT_EQ(v.Data().GetSelEndNo(), 1);
    EXPECT_EQ(v.Data().GetSelStartOffs(), 1);
    EXPECT_EQ(v.Data().GetSelEndOffs(), v.Data().DrawItems[1]->Length + 1);
    v.Move(margin2, Qt::LeftButton);
    EXPECT_EQ(v.Data().GetSelStartNo(), 1);
    EXPECT_EQ(v.Data().GetSelEndNo(), 2);
    EXPECT_EQ(v.Data().GetSelEndOffs(), v.Data().DrawItems[2]->Length + 1);
    // Upwards past the anchor: the anchor's line end to the first line's start.
    v.Move(QPoint(2, Margin + 10), Qt::LeftButton);
    EXPECT_EQ(v.Data().GetSelStartNo(), 1);
    EXPECT_EQ(v.Data().GetSelStartOffs(), v.Data().DrawItems[1]->Length + 1);
    EXPECT_EQ(v.Data().GetSelEndNo(), 0);
    EXPECT_EQ(v.Data().GetSelEndOffs(), 1);
    v.Release(QPoint(2, Margin + 10));
    EXPECT_FALSE(v.Data().State & dsLineSelecting);
    // The cursor over the margin is the line-selection cursor.
    v.Move(margin1);
    EXPECT_NE(v.View()->cursor().shape(), Qt::PointingHandCursor);
}

TEST(RDMouse, ShiftPressExtendsFromTheAnchor)
{
    TMonoSheet sheet;
    sheet.SelectionMode = TRDSelectionMode::rdsmChar;
    TMouseViewer v(&sheet);
    FillMono(v, {QStringLiteral("hello world again")});
    v.Drag(v.Before(2), v.Before(4));
    ASSERT_EQ(v.Selection(), (std::vector<int>{0, 3, 0, 5}));
    v.Press(v.Before(14), Qt::ShiftModifier);
    v.Release(v.Before(14), Qt::ShiftModifier);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 3, 0, 15}));
    EXPECT_EQ(v.Data().GetSelStartOffs(), 3) << "the anchor stays";
    // Without Shift a press outside the selection starts anew.
    v.Press(v.Before(1));
    v.Release(v.Before(1));
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 2, 0, 2}));
}

TEST(RDMouse, RightClickWithRClickDeselects)
{
    struct TCase {
        const char* Name;
        bool Option;
        int At;  // the character before which the right click goes
        std::vector<int> Expected;
    };
    const TCase cases[] = {
        {"outside, after", true, 14, {0, 15, 0, 15}},
        {"outside, before", true, 1, {0, 2, 0, 2}},
        {"inside", true, 8, {0, 7, 0, 12}},
        {"option off", false, 14, {0, 7, 0, 12}},
    };
    for (const TCase& c : cases) {
        TMonoSheet sheet;
        sheet.SelectionMode = TRDSelectionMode::rdsmChar;
        TMouseViewer v(&sheet);
        if (!c.Option)
            v.Options &= ~rdoRClickDeselects;
        FillMono(v, {QStringLiteral("hello world again")});
        v.SetSelectionBounds(0, 7, 0, 12);
        int selects = 0;
        v.OnSelect = [&](QObject*) { ++selects; };
        v.Press(v.Before(c.At), {}, Qt::RightButton);
        v.Release(v.Before(c.At), {}, Qt::RightButton);
        EXPECT_EQ(v.Selection(), c.Expected) << c.Name;
        EXPECT_EQ(selects, c.Expected[1] == 7 ? 0 : 1) << c.Name;
    }
}

TEST(RDMouse, PressOnTheSelectionAsksForADrag)
{
    struct TCase {
        const char* Name;
        QPoint At;
        Qt::KeyboardModifiers Keys;
        bool Drag;
    };
    const TCase cases[] = {
        {"on the selection", TMouseViewer::Char(3), {}, true},
        {"with Shift", TMouseViewer::Char(3), Qt::ShiftModifier, false},
        {"in the left margin", QPoint(2, Margin + 10), {}, false},
        {"beside the selection", TMouseViewer::Char(14), {}, false},
    };
    for (const TCase& c : cases) {
        TMonoSheet sheet;
        TMouseViewer v(&sheet);
        FillMono(v, {QStringLiteral("hello world again")});
        TDragStandIn standIn(v.View());
        standIn.ReleaseAt = c.At;
        v.SetSelectionBounds(0, 1, 0, 12);
        v.Press(c.At, c.Keys);
        EXPECT_EQ(bool(v.Data().State & dsDragStartPending), c.Drag) << c.Name;
        EXPECT_EQ(bool(v.Data().State & dsMouseSelecting), !c.Drag) << c.Name;
        if (c.Drag) {
            EXPECT_EQ(v.Selection(), (std::vector<int>{0, 1, 0, 12})) << c.Name;
        }
        v.Release(c.At, c.Keys);
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(standIn.Calls.size(), c.Drag ? 1u : 0u) << c.Name;
    }
}

TEST(RDMouse, DragStartThroughTheLoop)
{
    TMonoSheet sheet;
    TMouseViewer v(&sheet);
    FillMono(v, {QStringLiteral("hello world again")});
    TDragStandIn standIn(v.View());

    // A plain click on the selection: the loop ends with no drop, the selection collapses at the click.
    v.SetSelectionBounds(0, 1, 0, 12);
    standIn.ReleaseAt = v.Before(3);
    v.Press(v.Before(3));
    v.Release(v.Before(3));
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(standIn.Calls.size(), 1u);
    EXPECT_EQ(standIn.Calls[0].Allowed, Qt::CopyAction | Qt::LinkAction);
    EXPECT_TRUE(standIn.Calls[0].Text.contains(QStringLiteral("hello world"))) << standIn.Calls[0].Text.toStdString();
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 4, 0, 4}));
    EXPECT_EQ(v.Data().State & DragFlags, 0u);
    EXPECT_FALSE(v.Data().IsDragging());

    // A drag the user carried away and cancelled leaves the selection alone.
    v.SetSelectionBounds(0, 1, 0, 12);
    standIn.ReleaseAt = QPoint(300, 200);
    v.Press(v.Before(3));
    QCoreApplication::sendPostedEvents();
    v.Release(QPoint(300, 200));
    ASSERT_EQ(standIn.Calls.size(), 2u);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 1, 0, 12}));
    EXPECT_EQ(v.Data().State & DragFlags, 0u);

    // rdoDisallowDrag: a press on the selection selects anew.
    v.Options |= rdoDisallowDrag;
    v.Press(v.Before(3));
    v.Release(v.Before(3));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(standIn.Calls.size(), 2u);
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 4, 0, 4}));
}

TEST(RDMouse, DoubleClickSelectsTheWordButNothingOnADelimiter)
{
    TMonoSheet sheet;
    TMouseViewer v(&sheet);
    FillMono(v, {QStringLiteral("hello, world")});
    QStringList words;
    v.OnRDDblClick = [&](TCustomRichDoc*, const QByteArray& word, int) { words << QString::fromLatin1(word); };
    auto doubleClick = [&](QPoint p) {
        QTest::mouseClick(v.View(), Qt::LeftButton, {}, p);
        QTest::mouseDClick(v.View(), Qt::LeftButton, {}, p);
        v.Release(p);
    };
    doubleClick(v.Char(8));
    EXPECT_EQ(v.Selection(), (std::vector<int>{0, 8, 0, 13}));
    EXPECT_TRUE(v.HasSelection());
    doubleClick(v.Char(5));  // the comma
    EXPECT_FALSE(v.HasSelection());
    EXPECT_EQ(words, (QStringList{QStringLiteral("world"), QString()}));
    EXPECT_FALSE(v.Data().State & (dsWordSelectedByDblClick | dsMouseSelecting));
}

namespace {

// A check result: "It iss a fine day." with "fine" a missing word (a jump).
void FillCheck(TMouseViewer& v, const QString& missing = QStringLiteral("fine"))
{
    v.ClearDocument();
    v.AddTextInNewParagraph(QStringLiteral("It "), csRightSpell, 0);
    v.AddTextToParagraph(QStringLiteral("iss"), csWrongSpell);
    v.AddTextToParagraph(QStringLiteral(" a "), csRightSpell);
    v.AddTextToParagraph(missing, csMissSpell);
    v.AddTextToParagraph(QStringLiteral(" day."), csRightSpell);
    v.FormatDocument();
}

int DrawItemOfItem(TMouseViewer& v, int itemNo)
{
    for (int d = 0; d < v.Data().DrawItems.Count(); ++d)
        if (v.Data().DrawItems[d]->ItemNo == itemNo)
            return d;
    return -1;
}

} // namespace

TEST(RDMouse, HoverOverAJumpShowsTheHandAndTellsOnce)
{
    TCheckSheet sheet;
    TMouseViewer v(&sheet);
    FillCheck(v);
    v.SetFirstJumpNo(100);
    std::vector<int> moves;
    v.OnRDMouseMove = [&](QObject*, int id) { moves.push_back(id); };
    ASSERT_EQ(v.Data().JumpList.size(), 1u);
    const QRect jump = v.ClientRect(DrawItemOfItem(v, 3));
    const QRect plain = v.ClientRect(DrawItemOfItem(v, 0));

    v.Move(jump.center());
    EXPECT_EQ(v.View()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(moves, (std::vector<int>{100}));
    v.Move(jump.center() + QPoint(2, 1));
    EXPECT_EQ(moves, (std::vector<int>{100})) << "the same jump: no second report";
    v.Move(plain.center());
    EXPECT_EQ(moves, (std::vector<int>{100, -1}));
    EXPECT_NE(v.View()->cursor().shape(), Qt::PointingHandCursor);
    v.Move(plain.center() + QPoint(1, 0));
    EXPECT_EQ(moves, (std::vector<int>{100, -1})) << "plain text again: nothing";

    // Leaving the window from the jump ends the hover once.
    v.Move(jump.center());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&v, &leave);
    QApplication::sendEvent(&v, &leave);
    EXPECT_EQ(moves, (std::vector<int>{100, -1, 100, -1}));
    EXPECT_EQ(v.Data().HoverJumpData, nullptr);
}

TEST(RDMouse, AJumpWrappedOverTwoLinesIsOneJump)
{
    TCheckSheet sheet;
    TMouseViewer v(&sheet, 160, 300);
    FillCheck(v, QStringLiteral("missing words wrapped over lines"));
    v.OnRDMouseMove = nullptr;
    std::vector<int> moves;
    v.OnRDMouseMove = [&](QObject*, int id) { moves.push_back(id); };
    ASSERT_GE(v.Data().JumpList.size(), 2u);
    const TRDJumpInfo& a = *v.Data().JumpList[0];
    const TRDJumpInfo& b = *v.Data().JumpList[1];
    EXPECT_EQ(a.Id, b.Id);
    EXPECT_NE(a.Top, b.Top);
    v.Move(QPoint(a.Left + 2, a.Top + a.Height / 2));
    v.Move(QPoint(b.Left + 2, b.Top + b.Height / 2));
    EXPECT_EQ(moves, (std::vector<int>{a.Id}));
}

TEST(RDMouse, JumpFiresOnlyForPressAndReleaseOnItWithoutASelection)
{
    TCheckSheet sheet;
    TMouseViewer v(&sheet);
    FillCheck(v);
    v.SetFirstJumpNo(7);
    std::vector<int> jumps;
    v.OnJump = [&](QObject*, int id) { jumps.push_back(id); };
    const QRect jump = v.ClientRect(DrawItemOfItem(v, 3));
    const QRect plain = v.ClientRect(DrawItemOfItem(v, 4));

    v.Press(jump.center());
    v.Release(jump.center());
    EXPECT_EQ(jumps, (std::vector<int>{7}));
    v.Press(jump.center());
    v.Release(plain.center());
    EXPECT_EQ(jumps, (std::vector<int>{7})) << "released elsewhere";
    v.Press(plain.center());
    v.Release(jump.center());
    EXPECT_EQ(jumps, (std::vector<int>{7})) << "pressed elsewhere";
    v.Press(QPoint(jump.left() + 1, jump.center().y()));
    v.Move(QPoint(jump.right() - 1, jump.center().y()), Qt::LeftButton);
    v.Release(QPoint(jump.right() - 1, jump.center().y()));
    EXPECT_TRUE(v.HasSelection());
    EXPECT_EQ(jumps, (std::vector<int>{7})) << "a selection made";
    v.Press(jump.center(), {}, Qt::RightButton);
    v.Release(jump.center(), {}, Qt::RightButton);
    EXPECT_EQ(jumps, (std::vector<int>{7})) << "right button";
}

TEST(RDMouse, LearnerSelectsACheckResultAndHoversTheMissingWord)
{
    TCheckSheet sheet;
    TMouseViewer v(&sheet);
    FillCheck(v);
    const int d = DrawItemOfItem(v, 3);
    const QRect jump = v.ClientRect(d);
    const QImage before = v.View()->grab().toImage();
    v.Move(jump.center());
    EXPECT_EQ(v.View()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(v.Data().State & dsJumpHighlighted);
    const QImage hovered = v.View()->grab().toImage();
    EXPECT_NE(before.copy(jump), hovered.copy(jump)) << "the missing word looks hovered";
    // Select from "It" to "day" with the mouse.
    const QRect first = v.ClientRect(0), last = v.ClientRect(v.Data().DrawItems.Count() - 1);
    v.Drag(QPoint(first.left() + 1, first.center().y()), QPoint(last.right() + 5, last.center().y()));
    int a = -1, ao = -1, b = -1, bo = -1;
    v.GetSelectionBounds(a, ao, b, bo, true);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(ao, 1);
    EXPECT_EQ(b, 4);
    EXPECT_EQ(bo, v.GetOffsetAfterItem(4));
    // Leaving takes the hover look away.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&v, &leave);
    EXPECT_FALSE(v.Data().State & dsJumpHighlighted);
}

TEST(RDMouse, CheckpointVisibilityTables)
{
    // 30 one-line paragraphs; counted checkpoints at paragraphs 5 (A) and
    // 15 (B), one that fires no event at 10, a pending one (P) at the end.
    // The window is 100 pixels high; its top goes to each y of the table.
    struct TStep {
        int Top;
        const char* Report;  // "" no report, "nil" a report of none
    };
    struct TKind {
        TCPEventKind Kind;
        std::vector<TStep> Steps;
    };
    const TKind kinds[] = {
        {TCPEventKind::cpeWhenVisible,
         {{0, ""}, {50, "A"}, {60, ""}, {130, "nil"}, {200, ""}, {300, "B"}, {400, "nil"}, {600, "P"}, {300, "B"}}},
        {TCPEventKind::cpeAsSectionStart,
         {{0, ""}, {50, "A"}, {130, ""}, {300, "B"}, {200, "A"}, {400, "B"}, {600, "P"}, {450, "B"}}},
    };
    for (const TKind& k : kinds) {
        TMonoSheet sheet;
        TMouseViewer v(&sheet, 400, 100);
        v.SetVScrollVisible(true);
        v.ClearDocument();
        for (int i = 0; i < 30; ++i) {
            if (i == 5 || i == 10 || i == 15)
                v.DocumentData()->SetPendingCheckpoint(QString(i == 5 ? "A" : i == 10 ? "C" : "B"), i != 10, {});
            v.AddTextInNewParagraph(QStringLiteral("line %1").arg(i), 0, 0);
        }
        v.DocumentData()->SetPendingCheckpoint(QStringLiteral("P"), true, {});
        v.FormatDocument();
        ASSERT_EQ(v.GetDocumentHeight(), 2 * Margin + 30 * LineH);
        v.CPEventKind = k.Kind;
        std::vector<std::string> reports;
        v.OnCheckpointVisible = [&](TCustomRichDoc*, TRDCPInfo* cp) {
            reports.push_back(cp ? cp->Name.toStdString() : "nil");
        };
        for (const TStep& s : k.Steps) {
            reports.clear();
            v.ScrollToPixels(s.Top);
            ASSERT_EQ(v.Data().GetVOffset(), s.Top);
            v.Data().UpdateCheckpointVisibility();
            const std::vector<std::string> expected =
                *s.Report ? std::vector<std::string>{s.Report} : std::vector<std::string>{};
            EXPECT_EQ(reports, expected) << int(k.Kind) << " at " << s.Top;
        }
    }
}

TEST(RDMouse, AutoScrollDirections)
{
    TMonoSheet sheet;
    TMouseViewer v(&sheet, 400, 100);
    std::vector<QString> lines;
    for (int i = 0; i < 40; ++i)
        lines.push_back(QStringLiteral("line %1").arg(i));
    FillMono(v, lines);
    v.ScrollToPixels(200);
    struct TCase {
        QPoint At;
        int DX, DY;
    };
    const int h = v.ClientHeight(), w = v.ClientWidth();
    const TCase cases[] = {
        {{50, -20}, 0, -1}, {{50, -21}, 0, -10}, {{50, h + 20}, 0, 1}, {{50, h + 21}, 0, 10},
        {{-20, 50}, -1, 0}, {{-21, 50}, -10, 0}, {{w + 20, 50}, 1, 0}, {{w + 21, 50}, 10, 0},
        {{50, 50}, 0, 0},   {{0, 0}, 0, 0},      {{w, h}, 0, 0},
    };
    v.Press(QPoint(50, 50));
    EXPECT_TRUE(v.AutoScrollTimerOn());
    for (const TCase& c : cases) {
        v.Move(c.At, Qt::LeftButton);
        EXPECT_EQ(v.AutoScrollDX, c.DX) << c.At.x() << "," << c.At.y();
        EXPECT_EQ(v.AutoScrollDY, c.DY) << c.At.x() << "," << c.At.y();
    }
    // Inside the window a tick changes nothing; above it one step up extends the selection.
    const int vpos = v.VPos;
    v.Move(QPoint(50, 50), Qt::LeftButton);
    v.AutoScrollStep();
    EXPECT_EQ(v.VPos, vpos);
    v.Move(QPoint(50, -5), Qt::LeftButton);
    const int endBefore = v.Data().GetSelEndNo();
    v.AutoScrollStep();
    EXPECT_EQ(v.VPos, vpos - 1);
    EXPECT_LT(v.Data().GetSelEndNo(), v.Data().GetSelStartNo());
    EXPECT_LE(v.Data().GetSelEndNo(), endBefore);
    v.Release(QPoint(50, -5));
    EXPECT_FALSE(v.AutoScrollTimerOn());
}

namespace {

int XorCalls = 0;
QPoint XorAt;
void CountXor(TCustomRDItemInfo*, TCustomRDFormattedData*, int x, int y)
{
    ++XorCalls;
    XorAt = QPoint(x, y);
}
void OtherXor(TCustomRDItemInfo*, TCustomRDFormattedData*, int, int) {}

} // namespace

TEST(RDMouse, XorLineFollowsTheMouseAndCaptureHoldsTheItem)
{
    TMonoSheet sheet;
    TMouseViewer v(&sheet);
    FillMono(v, {QStringLiteral("hello"), QStringLiteral("world")});
    TRichDocRDData& d = v.Data();
    XorCalls = 0;
    d.RegisterXorDrawing(&CountXor, nullptr);
    EXPECT_TRUE(d.IsXorDrawingRegistered(&CountXor));
    EXPECT_FALSE(d.IsXorDrawingRegistered(&OtherXor));
    v.Move(QPoint(30, 12));
    EXPECT_EQ(XorCalls, 1);
    EXPECT_TRUE(d.XorLineShown);
    v.Move(QPoint(40, 12));  // erased at the old place, drawn at the new one
    EXPECT_EQ(XorCalls, 3);
    EXPECT_EQ(XorAt, QPoint(40, 12));
    d.UnregisterXorDrawing(&OtherXor, nullptr);  // not the registered one: nothing
    EXPECT_TRUE(d.IsXorDrawingRegistered(&CountXor));
    d.UnregisterXorDrawing(&CountXor, nullptr);
    EXPECT_EQ(XorCalls, 4);
    EXPECT_FALSE(d.XorLineShown);
    v.Move(QPoint(50, 12));
    EXPECT_EQ(XorCalls, 4);

    // While item 0 captures the mouse, the draw item under the mouse stays its own.
    int left = -1, top = -1;
    d.SetItemCapture(d.ItemAt(0), left, top);
    EXPECT_EQ(QPoint(left, top), QPoint(Margin, Margin));
    v.Move(TMouseViewer::Char(2, 1));
    EXPECT_EQ(d.GetDrawItemUnderMouse(), 0);
    d.ReleaseItemCapture(d.ItemAt(1));
    EXPECT_EQ(d.GetCapturingItem(), d.ItemAt(0));
    d.ReleaseItemCapture(d.ItemAt(0));
    v.Move(TMouseViewer::Char(2, 1));
    EXPECT_EQ(d.GetDrawItemUnderMouse(), 1);
}

namespace {

// A document that keeps a drop caret, as an editing document does.
class TCaretDocument : public TLayoutData {
public:
    using TLayoutData::TLayoutData;
    TRDDragDropCaretInfo Caret;
    TRDDragDropCaretInfo* GetDragDropCaret() override { return &Caret; }
};

} // namespace

TEST(RDMouse, DropCaretPlacesAndInvertsEveryOtherRow)
{
    TMonoSheet sheet;
    TCaretDocument doc(&sheet);
    doc.ClientWidth = 400;
    doc.AddTextRawNoTag("hello world", 0, 0);
    doc.Format();
    doc.SetDragDropCaretPos(0, 1);
    EXPECT_EQ(doc.Caret.X, Margin);
    EXPECT_EQ(doc.Caret.Top, Margin);
    EXPECT_EQ(doc.Caret.Height, LineH);
    EXPECT_EQ(doc.Caret.RDData, &doc);
    doc.SetDragDropCaretPos(0, 4);
    EXPECT_EQ(doc.Caret.X, Margin + 3 * CharW);
    EXPECT_EQ(doc.Caret.ItemOffs, 4);

    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        doc.Caret.X = 10;
        doc.DrawDragDropCaret(canvas, false);
    }
    for (int y = Margin; y <= Margin + LineH; ++y)
        for (int x = 9; x <= 12; ++x) {
            const bool inverted = (x == 10 || x == 11) && y % 2 == 0;
            EXPECT_EQ(image.pixel(x, y), inverted ? 0xFF000000u : 0xFFFFFFFFu) << x << "," << y;
        }
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        doc.DrawDragDropCaret(canvas, false);
    }
    QImage white(60, 40, QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_EQ(image, white) << "drawing twice restores the pixels";
}

TEST(RDMouse, BuildJumpListNumbersAsTheFormattingDoes)
{
    TCheckSheet sheet;
    TMouseViewer v(&sheet, 160, 300);
    v.ClearDocument();
    v.AddTextInNewParagraph(QStringLiteral("It "), csRightSpell, 0);
    v.AddTextToParagraph(QStringLiteral("missing words wrapped over lines"), csMissSpell);
    v.AddTextToParagraph(QStringLiteral(" and "), csRightSpell);
    v.AddTextToParagraph(QStringLiteral("more"), csMissSpell);
    v.AddTextToParagraph(QStringLiteral("again"), csMissSpell);
    v.FormatDocument();
    auto areas = [&] {
        std::vector<std::vector<int>> list;
        for (const auto& j : v.Data().JumpList)
            list.push_back({j->Id, j->DrawItemNo, j->Left, j->Top, j->Width, j->Height, j->Cursor});
        return list;
    };
    const auto formatted = areas();
    ASSERT_GE(formatted.size(), 4u);
    EXPECT_EQ(formatted.back()[0], 2) << "three jumps, the wrapped one counted once";
    v.Data().ClearJumpList();
    int first = 0;
    v.Data().BuildJumpList(first, nullptr);
    v.Data().OffsetJumpRects();
    EXPECT_EQ(first, 3);
    EXPECT_EQ(v.Data().JumpCount, 3);
    EXPECT_EQ(areas(), formatted);
}

namespace {

// A box that takes the focus itself and logs it.
class TFocusBox : public TRDRectItemInfo {
public:
    TFocusBox(TCustomRDData* data, std::vector<std::string>* log) : TRDRectItemInfo(data), Log(log) { StyleNo = -20; }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override { return new TFocusBox(data, Log); }
    int GetWidthEx() const override { return 30; }
    int GetHeightEx() const override { return 20; }
    bool GetBoolValueEx(int id, const TRDStyle* style) const override
    {
        return id == 3 || id == 5 ? true : TRDRectItemInfo::GetBoolValueEx(id, style);
    }
    void Paint(TCanvas&, int, int, int, uint16_t, const TRDStyle*, const TRDDrawLineInfo*, TCustomRDData*) const override
    {
    }
    void Focusing() override { Log->push_back("focus"); }
    std::vector<std::string>* Log;
};

} // namespace

TEST(RDMouse, AClickFocusesAnItemThatTakesTheFocus)
{
    for (const bool navigation : {true, false}) {
        TMonoSheet sheet;
        TMouseViewer v(&sheet);
        std::vector<std::string> log;
        v.ClearDocument();
        v.AddTextInNewParagraph(QStringLiteral("text "), 0, 0);
        auto* box = new TFocusBox(&v.Data(), &log);
        v.Data().AddItem("", box);
        box->ItemOptions |= rdioContinuesPara;
        v.FormatDocument();
        if (!navigation)
            v.SetTabNavigation(TRDTabNavigationType::rdtnNone);
        const QPoint at = v.ClientRect(1).center();
        v.Press(QPoint(5 + 2, at.y()));
        v.Release(QPoint(5 + 2, at.y()));
        EXPECT_EQ(v.Data().TRDControlData::FocusedItemNo, -1) << "text takes no focus";
        v.Press(at);
        v.Release(at);
        EXPECT_EQ(v.Data().TRDControlData::FocusedItemNo, navigation ? 1 : -1);
        EXPECT_EQ(log, navigation ? std::vector<std::string>{"focus"} : std::vector<std::string>{});
    }
}

namespace {

// Records the rectangles the viewport paints.
class TPaintLog : public QObject {
public:
    std::vector<QRect> Rects;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            Rects.push_back(static_cast<QPaintEvent*>(e)->rect());
        return false;
    }
};

} // namespace

TEST(RDMouse, HoverRepaintsTheJumpAroundItOrTheWholeWindow)
{
    for (const bool full : {false, true}) {
        TCheckSheet sheet;
        sheet.FullRedraw = full;
        TMouseViewer v(&sheet);
        FillCheck(v);
        QApplication::processEvents();
        const QRect jump = v.ClientRect(DrawItemOfItem(v, 3));
        const QRect plain = v.ClientRect(DrawItemOfItem(v, 0));
        const QImage before = v.View()->grab().toImage();
        TPaintLog log;
        v.View()->installEventFilter(&log);
        v.Move(jump.center());
        ASSERT_FALSE(log.Rects.empty()) << full;
        if (full)
            EXPECT_EQ(log.Rects.back(), v.View()->rect());
        else
            EXPECT_EQ(log.Rects.back(), jump.adjusted(-5, -5, 5, 5));
        // Off the jump: painted plain again.
        v.Move(plain.center());
        v.View()->removeEventFilter(&log);
        EXPECT_FALSE(v.Data().State & dsJumpHighlighted);
        EXPECT_EQ(v.View()->grab().toImage().copy(jump), before.copy(jump)) << full;
    }
}
