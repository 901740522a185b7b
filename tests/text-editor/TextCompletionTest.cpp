// The completion popup: placing on the screen, filtering, the list's keys,
// mouse and wheel, completion as one undo step, the editors' hooks, the
// popup forms of an editor and its hint popup.
#include "TextCompletion.h"
#include "TextEdit.h"
#include "TextEditCommandTable.h"
#include "TestSupport.h"

#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtGui/QWheelEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

QRect CompletionDesk()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

}  // namespace

// An editor shown with the keys, and a list popup attached to it.
class TextCompletionList : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor.resize(400, 200);
        editor.show();
        editor.activateWindow();
        editor.setFocus();
        ProcessEvents();
        popup.SetEditor(&editor);
        popup.SetItemList({QStringLiteral("alpha"), QStringLiteral("alpine"), QStringLiteral("also"),
                           QStringLiteral("apple"), QStringLiteral("beta")});
    }

    // The line, the caret at a character, and the list opened by its shortcut.
    void OpenAt(const QString& line, int caretChar)
    {
        SetText(editor, {line});
        editor.PlaceCaretCollapsed(BufferCoord(caretChar, 1));
        QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier);
    }

    QWidget* Form() { return popup.Form(); }
    QString Line() const { return editor.Lines().Get(0); }

    TTextEdit editor;
    TTextCompletionProposal popup;
};

// ---------------------------------------------------------------- placing

TEST(TextCompletionPlacing, KeptOnTheScreenAtItsRightAndBottomEdges)
{
    const QRect desk = CompletionDesk();
    const int right = desk.x() + desk.width();
    const int bottom = desk.y() + desk.height();
    TTextCompletionProposal popup;
    popup.SetItemList({QStringLiteral("first line of the hint"), QStringLiteral("second")});
    // The hint's size at a point where it fits.
    popup.ShowAt(QString(), desk.x() + 10, desk.y() + 10, ctHint);
    ASSERT_TRUE(popup.Visible());
    const QRect free = popup.Form()->geometry();
    const int w = free.width();
    const int h = free.height();
    EXPECT_EQ(free.topLeft(), QPoint(desk.x() + 10, desk.y() + 10));
    EXPECT_EQ(h, 2 * popup.Form()->LineHeight() + 2 + 2 * popup.Margin());
    EXPECT_GT(w, 2 * popup.Margin() + 2);
    struct TPlaceCase {
        const char* name;
        QPoint at;
        QPoint expected;
    };
    const std::vector<TPlaceCase> cases = {
        {"fits", {right - w, bottom - h}, {right - w, bottom - h}},
        {"past the right edge", {right - w / 2, desk.y() + 20}, {right - w - 5, desk.y() + 20}},
        {"past the bottom", {desk.x() + 30, bottom - h / 2}, {desk.x() + 30, bottom - h / 2 - h - 2}},
        {"past both", {right - 1, bottom - 1}, {right - w - 5, bottom - 1 - h - 2}},
    };
    for (const TPlaceCase& c : cases) {
        popup.ShowAt(QString(), c.at.x(), c.at.y(), ctHint);
        EXPECT_EQ(popup.Form()->geometry(), QRect(c.expected, QSize(w, h))) << c.name;
    }
    popup.CancelPopup();
}

TEST(TextCompletionPlacing, ListSizeAndAListWiderThanTheScreen)
{
    const QRect desk = CompletionDesk();
    const int bottom = desk.y() + desk.height();
    TTextCompletionProposal popup;
    popup.SetItemList({QStringLiteral("one"), QStringLiteral("two")});
    popup.SetTitle(QStringLiteral("Title"));
    popup.ShowAt(QString(), desk.x() + 5, bottom - 10, ctCode);
    ASSERT_TRUE(popup.Visible());
    const TTextBaseCompletionProposalForm& form = *popup.Form();
    const int h = form.LineHeight() * 8 + form.TitleHeight() + 2 * TTextBaseCompletionProposalForm::FrameWidth();
    EXPECT_EQ(form.TitleHeight(), form.TitleTextHeight() + 4);
    // Opens above the point.
    EXPECT_EQ(form.geometry(), QRect(desk.x() + 5, bottom - 10 - h - 2, 260, h));
    popup.CancelPopup();
    // Never left of the screen.
    popup.SetWidth(desk.width() + 100);
    popup.ShowAt(QString(), desk.x() + 50, desk.y(), ctCode);
    EXPECT_EQ(popup.Form()->geometry().x(), desk.x());
    popup.CancelPopup();
}

// ---------------------------------------------------------------- showing nothing

TEST(TextCompletionShowing, NothingWithoutItemsOrWhenRefused)
{
    for (TextCompletionType kind : {ctCode, ctHint, ctParams}) {
        TTextCompletionProposal popup;
        popup.ShowAt(QStringLiteral("a"), 10, 10, kind);
        EXPECT_FALSE(popup.Visible()) << int(kind);
        popup.SetItemList({QStringLiteral("abc")});
        popup.OnExecute = [](TextCompletionType, TTextBaseCompletionProposal*, QString&, int&, int&, bool& can) {
            can = false;
        };
        popup.ShowAt(QStringLiteral("a"), 10, 10, kind);
        EXPECT_FALSE(popup.Visible()) << int(kind);
    }
    // A list that nothing matches stays closed.
    TTextCompletionProposal popup;
    popup.SetItemList({QStringLiteral("abc")});
    popup.ShowAt(QStringLiteral("x"), 10, 10, ctCode);
    EXPECT_FALSE(popup.Visible());
    // OnExecute may move the point and change the text.
    popup.OnExecute = [](TextCompletionType, TTextBaseCompletionProposal*, QString& text, int& x, int& y, bool&) {
        text = QStringLiteral("a");
        x = 40;
        y = 50;
    };
    popup.ShowAt(QStringLiteral("x"), 10, 10, ctCode);
    EXPECT_TRUE(popup.Visible());
    EXPECT_EQ(popup.Form()->pos(), QPoint(40, 50));
    EXPECT_EQ(popup.Form()->TypedText(), QStringLiteral("a"));
    popup.CancelPopup();
}

// ---------------------------------------------------------------- filtering

TEST(TextCompletionFiltering, Table)
{
    struct TFilterCase {
        const char* name;
        QStringList items;
        QStringList insert;
        TTextCompletionOptions options;
        QString typed;
        QStringList shown;
        int selected;
    };
    const auto limit = CompletionOptionBit(scoLimitToMatchedText);
    const QStringList greek = {QStringLiteral("Alpha"), QStringLiteral("alpine"), QStringLiteral("beta")};
    const std::vector<TFilterCase> cases = {
        {"any case", greek, {}, limit, QStringLiteral("al"), {QStringLiteral("Alpha"), QStringLiteral("alpine")}, 0},
        {"case-sensitive", greek, {}, TTextCompletionOptions(limit | CompletionOptionBit(scoCaseSensitive)),
         QStringLiteral("al"), {QStringLiteral("alpine")}, 0},
        {"locale, any case", greek, {}, TTextCompletionOptions(limit | CompletionOptionBit(scoAnsiStrings)),
         QStringLiteral("AL"), {QStringLiteral("Alpha"), QStringLiteral("alpine")}, 0},
        {"empty typed text shows all", greek, {}, limit, QString(), greek, 0},
        {"longer than the item", greek, {}, limit, QStringLiteral("betamax"), {}, 0},
        {"insert list compared", {QStringLiteral("\\color{clRed}x"), QStringLiteral("y")},
         {QStringLiteral("foo"), QStringLiteral("bar")},
         TTextCompletionOptions(limit | CompletionOptionBit(scoUseInsertList)), QStringLiteral("ba"),
         {QStringLiteral("y")}, 0},
        {"pretty text stripped", {QStringLiteral("\\style{+B}bold"), QStringLiteral("plain")}, {},
         TTextCompletionOptions(limit | CompletionOptionBit(scoUsePrettyText)), QStringLiteral("bo"),
         {QStringLiteral("\\style{+B}bold")}, 0},
        {"unlimited selects the first match", {QStringLiteral("a"), QStringLiteral("bb"), QStringLiteral("bc")}, {},
         0, QStringLiteral("bc"), {QStringLiteral("a"), QStringLiteral("bb"), QStringLiteral("bc")}, 2},
        {"unlimited without a match", {QStringLiteral("a"), QStringLiteral("bb")}, {}, 0, QStringLiteral("z"),
         {QStringLiteral("a"), QStringLiteral("bb")}, 0},
    };
    for (const TFilterCase& c : cases) {
        TTextCompletionProposal popup;
        popup.SetOptions(c.options);
        popup.SetItemList(c.items);
        popup.SetInsertList(c.insert);
        popup.ShowAt(c.typed, 10, 10, ctCode);
        EXPECT_EQ(popup.Form()->FilteredItems(), c.shown) << c.name;
        EXPECT_EQ(popup.Form()->SelectedItem(), c.selected) << c.name;
        EXPECT_EQ(popup.Visible(), !c.shown.isEmpty()) << c.name;
        popup.CancelPopup();
    }
}

TEST_F(TextCompletionList, FilterFollowsTypingAndFiresOnChange)
{
    std::vector<int> changes;
    popup.OnChange = [&](TTextBaseCompletionProposal*, int index) { changes.push_back(index); };
    OpenAt(QStringLiteral("x al"), 5);
    ASSERT_TRUE(popup.Visible());
    EXPECT_EQ(popup.CompletionStart(), 3);
    EXPECT_EQ(popup.Form()->FilteredItems(),
              QStringList({QStringLiteral("alpha"), QStringLiteral("alpine"), QStringLiteral("also")}));
    QTest::keyClick(Form(), Qt::Key_S);
    EXPECT_EQ(popup.Form()->FilteredItems(), QStringList({QStringLiteral("also")}));
    EXPECT_EQ(Line(), QStringLiteral("x als"));
    // The list's item 2 moved to the top: OnChange names its ItemList index.
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back(), 2);
}

// ---------------------------------------------------------------- keys

TEST_F(TextCompletionList, KeysTable)
{
    struct TKey {
        int key;
        Qt::KeyboardModifiers mods = Qt::NoModifier;
    };
    struct TKeyCase {
        const char* name;
        QString line;
        int caret;
        std::vector<TKey> keys;
        bool visible;
        int selected;  // checked while visible
        QString typed;  // checked while visible
        QString expectedLine;
        int expectedCaret;
    };
    const QString line = QStringLiteral("x al");
    const std::vector<TKeyCase> cases = {
        {"down", line, 5, {{Qt::Key_Down}}, true, 1, QStringLiteral("al"), line, 5},
        {"down stops at the last", line, 5, {{Qt::Key_Down}, {Qt::Key_Down}, {Qt::Key_Down}, {Qt::Key_Down}}, true, 2,
         QStringLiteral("al"), line, 5},
        {"up stops at the first", line, 5, {{Qt::Key_Down}, {Qt::Key_Up}, {Qt::Key_Up}}, true, 0,
         QStringLiteral("al"), line, 5},
        {"ctrl down, ctrl up", line, 5, {{Qt::Key_Down, Qt::ControlModifier}}, true, 2, QStringLiteral("al"), line, 5},
        {"end, home", line, 5, {{Qt::Key_End}, {Qt::Key_Home}}, true, 0, QStringLiteral("al"), line, 5},
        {"page down", line, 5, {{Qt::Key_PageDown}}, true, 2, QStringLiteral("al"), line, 5},
        {"page up", line, 5, {{Qt::Key_End}, {Qt::Key_PageUp}}, true, 0, QStringLiteral("al"), line, 5},
        {"escape", line, 5, {{Qt::Key_Escape}}, false, 0, {}, line, 5},
        {"backspace", line, 5, {{Qt::Key_Backspace}}, true, 0, QStringLiteral("a"), QStringLiteral("x a"), 4},
        {"backspace past the word", line, 5, {{Qt::Key_Backspace}, {Qt::Key_Backspace}, {Qt::Key_Backspace}}, false,
         0, {}, QStringLiteral("x"), 2},
        {"left", line, 5, {{Qt::Key_Left}}, true, 0, QStringLiteral("a"), line, 4},
        {"left past the word", line, 5, {{Qt::Key_Left}, {Qt::Key_Left}, {Qt::Key_Left}}, false, 0, {}, line, 2},
        {"right takes a character", QStringLiteral("x alp"), 5, {{Qt::Key_Right}}, true, 0, QStringLiteral("alp"),
         QStringLiteral("x alp"), 6},
        {"right at the end cancels", line, 5, {{Qt::Key_Right}}, false, 0, {}, line, 6},
        {"delete", QStringLiteral("x alq"), 5, {{Qt::Key_Delete}}, true, 0, QStringLiteral("al"), line, 5},
        {"a letter narrows", line, 5, {{Qt::Key_P}}, true, 0, QStringLiteral("alp"), QStringLiteral("x alp"), 6},
        {"enter completes", line, 5, {{Qt::Key_Return}}, false, 0, {}, QStringLiteral("x alpha"), 8},
        {"tab completes the selected", line, 5, {{Qt::Key_Down}, {Qt::Key_Tab}}, false, 0, {},
         QStringLiteral("x alpine"), 9},
        {"space completes, then is typed", line, 5, {{Qt::Key_Space}}, false, 0, {}, QStringLiteral("x alpha "), 9},
        // "." ends the word and triggers the list again after itself.
        {"end character completes and triggers", line, 5, {{Qt::Key_Period}}, true, 0, QString(),
         QStringLiteral("x alpha."), 9},
        {"other character cancels", line, 5, {{Qt::Key_BraceLeft}}, false, 0, {}, QStringLiteral("x al{"), 6},
        {"completes the whole word at the caret", QStringLiteral("x alXY z"), 5, {{Qt::Key_Return}}, false, 0, {},
         QStringLiteral("x alpha z"), 8},
    };
    for (const TKeyCase& c : cases) {
        OpenAt(c.line, c.caret);
        ASSERT_TRUE(popup.Visible()) << c.name;
        for (const TKey& k : c.keys)
            QTest::keyClick(Form(), static_cast<Qt::Key>(k.key), k.mods);
        EXPECT_EQ(popup.Visible(), c.visible) << c.name;
        if (c.visible && popup.Visible()) {
            EXPECT_EQ(popup.Form()->SelectedItem(), c.selected) << c.name;
            EXPECT_EQ(popup.Form()->TypedText(), c.typed) << c.name;
        }
        EXPECT_EQ(Line(), c.expectedLine) << c.name;
        EXPECT_EQ(editor.CaretPos(), BufferCoord(c.expectedCaret, 1)) << c.name;
        popup.CancelPopup();
    }
}

// ---------------------------------------------------------------- completion

TEST_F(TextCompletionList, CompletionIsOneUndoStep)
{
    SetText(editor, {QStringLiteral("say hel")});
    editor.PlaceCaretCollapsed(BufferCoord(8, 1));
    // Typed by the user: the list opens on what was typed.
    editor.DispatchEditorCommand(ecChar, QChar(u'l'));
    popup.SetItemList({QStringLiteral("hello"), QStringLiteral("help")});
    QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(popup.Visible());
    EXPECT_EQ(popup.Form()->TypedText(), QStringLiteral("hell"));
    QTest::keyClick(Form(), Qt::Key_Return);
    EXPECT_EQ(Line(), QStringLiteral("say hello"));
    EXPECT_EQ(editor.CaretPos(), BufferCoord(10, 1));
    EXPECT_FALSE(editor.SelectionAvailable());
    editor.Undo();
    EXPECT_EQ(Line(), QStringLiteral("say hell"));
    editor.Redo();
    EXPECT_EQ(Line(), QStringLiteral("say hello"));
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(Line(), QStringLiteral("say hel"));
}

TEST_F(TextCompletionList, OnCodeCompletionChangesTheValue)
{
    QString after;
    int afterIndex = -1;
    popup.OnCodeCompletion = [](TTextBaseCompletionProposal*, QString& value, TShiftState, int, QChar) {
        value = value.toUpper() + QStringLiteral("()");
    };
    popup.OnAfterCodeCompletion = [&](TTextBaseCompletionProposal*, const QString& value, TShiftState, int index,
                                      QChar) {
        after = value;
        afterIndex = index;
    };
    OpenAt(QStringLiteral("x al"), 5);
    QTest::keyClick(Form(), Qt::Key_Down);
    QTest::keyClick(Form(), Qt::Key_Return);
    EXPECT_EQ(Line(), QStringLiteral("x ALPINE()"));
    EXPECT_EQ(editor.CaretPos(), BufferCoord(11, 1));
    EXPECT_EQ(after, QStringLiteral("ALPINE()"));
    EXPECT_EQ(afterIndex, 1);
    // A value equal to the word changes nothing and records nothing.
    popup.OnCodeCompletion = [](TTextBaseCompletionProposal*, QString& value, TShiftState, int, QChar) {
        value = QStringLiteral("al");
    };
    OpenAt(QStringLiteral("x al"), 5);
    QTest::keyClick(Form(), Qt::Key_Return);
    EXPECT_EQ(Line(), QStringLiteral("x al"));
    EXPECT_FALSE(editor.CanUndo());
}

TEST_F(TextCompletionList, InsertListAndEndCharacterRules)
{
    struct TInsertCase {
        const char* name;
        TTextCompletionOptions options;
        QString line;
        std::vector<int> keys;
        QString expected;
    };
    const auto insert = TTextCompletionOptions(CompletionOptionBit(scoUseInsertList) |
                                               CompletionOptionBit(scoCompleteWithEnter));
    const auto limited = TTextCompletionOptions(insert | CompletionOptionBit(scoLimitToMatchedText));
    const std::vector<TInsertCase> cases = {
        // "als" shows item 2 alone, first: its entry is taken by its own index.
        {"limited: by the item's index", limited, QStringLiteral("x als"), {Qt::Key_Return},
         QStringLiteral("x also()")},
        // Unlimited, every item shows and the first match is selected.
        {"unlimited: by the shown index", insert, QStringLiteral("x als"), {Qt::Key_Return},
         QStringLiteral("x also()")},
        {"unlimited, moved on", insert, QStringLiteral("x als"), {Qt::Key_Down, Qt::Key_Return},
         QStringLiteral("x apple()")},
        // Without end-character completion the word stays, the character follows.
        {"end character refused", limited, QStringLiteral("x al"), {Qt::Key_Down, Qt::Key_ParenLeft},
         QStringLiteral("x al(")},
        {"end character completes", TTextCompletionOptions(limited | CompletionOptionBit(scoEndCharCompletion)),
         QStringLiteral("x al"), {Qt::Key_Down, Qt::Key_ParenLeft}, QStringLiteral("x alpine()(")},
    };
    popup.SetInsertList({QStringLiteral("alpha()"), QStringLiteral("alpine()"), QStringLiteral("also()"),
                         QStringLiteral("apple()"), QStringLiteral("beta()")});
    for (const TInsertCase& c : cases) {
        popup.SetOptions(c.options);
        OpenAt(c.line, static_cast<int>(c.line.size()) + 1);
        ASSERT_TRUE(popup.Visible()) << c.name;
        for (int key : c.keys)
            QTest::keyClick(Form(), static_cast<Qt::Key>(key));
        EXPECT_EQ(Line(), c.expected) << c.name;
        popup.CancelPopup();
    }
}

// ---------------------------------------------------------------- mouse and wheel

TEST_F(TextCompletionList, ClickSelectsWhereDrawnAndDoubleClickCompletes)
{
    OpenAt(QStringLiteral("x al"), 5);
    TTextBaseCompletionProposalForm& form = *popup.Form();
    ASSERT_TRUE(form.isVisible());
    const QRect client = form.contentsRect();
    auto itemCentre = [&](int row) {
        return QPoint(client.left() + 20, client.top() + form.TitleHeight() + row * form.LineHeight() +
                                              form.LineHeight() / 2);
    };
    QTest::mouseClick(&form, Qt::LeftButton, Qt::NoModifier, itemCentre(2));
    EXPECT_EQ(form.SelectedItem(), 2);
    // Below the last item: nothing.
    QTest::mouseClick(&form, Qt::LeftButton, Qt::NoModifier, itemCentre(5));
    EXPECT_EQ(form.SelectedItem(), 2);
    // The double click completes and hides the list; the button's release
    // then reaches the editor, under the pointer once the list is gone (the
    // test's double click itself sends no release).
    const QPoint at = itemCentre(1);
    QTest::mouseDClick(&form, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_FALSE(popup.Visible());
    EXPECT_EQ(Line(), QStringLiteral("x alpine"));
    QTest::mouseRelease(&editor, Qt::LeftButton, Qt::NoModifier, editor.mapFromGlobal(form.mapToGlobal(at)));
    EXPECT_EQ(QGuiApplication::mouseButtons(), Qt::NoButton);
}

TEST_F(TextCompletionList, WheelStepsKeepRemaindersAndStopAtTheEnds)
{
    QStringList many;
    for (int i = 0; i < 30; ++i)
        many << QStringLiteral("item%1").arg(i, 2, 10, QLatin1Char('0'));
    popup.SetItemList(many);
    OpenAt(QStringLiteral("x "), 3);
    TTextBaseCompletionProposalForm& form = *popup.Form();
    ASSERT_EQ(form.FilteredItems().size(), 30);
    const int visible = form.VisibleLines();
    const int lines = std::min(QApplication::wheelScrollLines(), visible);
    auto wheel = [&](int delta, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        const QPointF at(form.contentsRect().center());
        QWheelEvent e(at, form.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods, Qt::NoScrollPhase,
                      false);
        QApplication::sendEvent(&form, &e);
    };
    struct TWheelCase {
        const char* name;
        int delta;
        Qt::KeyboardModifiers mods;
        int expected;
    };
    const std::vector<TWheelCase> cases = {
        {"one step down", -120, Qt::NoModifier, lines},
        {"half a step: nothing yet", -60, Qt::NoModifier, lines},
        {"the other half", -60, Qt::NoModifier, 2 * lines},
        {"with ctrl: a window of lines", -120, Qt::ControlModifier, 2 * lines + visible},
        {"far down: the last", -120 * 40, Qt::NoModifier, 29},
        {"far up: the first", 120 * 40, Qt::NoModifier, 0},
    };
    for (const TWheelCase& c : cases) {
        wheel(c.delta, c.mods);
        EXPECT_EQ(form.SelectedItem(), c.expected) << c.name;
        // The selection stays in the window.
        EXPECT_GE(form.SelectedItem(), form.ScrollPosition()) << c.name;
        EXPECT_LT(form.SelectedItem(), form.ScrollPosition() + visible) << c.name;
        EXPECT_EQ(form.ScrollBar()->value(), form.ScrollPosition()) << c.name;
    }
}

TEST_F(TextCompletionList, ResizingKeepsWholeItemsAndIsRememberedOnClose)
{
    OpenAt(QStringLiteral("x "), 3);
    TTextBaseCompletionProposalForm& form = *popup.Form();
    const int lh = form.LineHeight();
    const int frame = 2 * TTextBaseCompletionProposalForm::FrameWidth();
    form.resize(300, 3 * lh + frame + lh / 2);
    EXPECT_EQ(form.height(), 3 * lh + frame);
    EXPECT_EQ(form.VisibleLines(), 3);
    // Fewer lines than items: the bar scrolls over the rest.
    EXPECT_TRUE(form.ScrollBar()->isEnabled());
    EXPECT_EQ(form.ScrollBar()->maximum(), 5 - 3);
    // Moving the bar takes the selection along into the shown lines.
    form.ScrollBar()->setValue(2);
    EXPECT_EQ(form.ScrollPosition(), 2);
    EXPECT_EQ(form.SelectedItem(), 2);
    form.ScrollBar()->setValue(0);
    EXPECT_EQ(form.SelectedItem(), 2);
    form.ScrollBar()->setValue(1);
    EXPECT_EQ(form.SelectedItem(), 2);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(popup.Width(), 300);
    EXPECT_EQ(popup.NbLinesInWindow(), 3);
}

// ---------------------------------------------------------------- editor hooks

TEST_F(TextCompletionList, ListTakesTheKeysForTheEditor)
{
    EXPECT_EQ(editor.PopupFormCount(), 0);
    EXPECT_FALSE(editor.ShowCaretUnfocused());
    OpenAt(QStringLiteral("x al"), 5);
    ASSERT_TRUE(popup.Visible());
    EXPECT_EQ(editor.PopupFormCount(), 1);
    // The editor had the keys: its caret keeps showing meanwhile.
    EXPECT_TRUE(editor.ShowCaretUnfocused());
    // Focusing the editor, also by a click on it, gives the keys to the list.
    editor.SetFocus();
    ProcessEvents();
    EXPECT_EQ(QApplication::focusWidget(), Form());
    QTest::mouseClick(&editor, Qt::LeftButton, Qt::NoModifier, editor.rect().center());
    ProcessEvents();
    EXPECT_EQ(QApplication::focusWidget(), Form());
    QTest::keyClick(Form(), Qt::Key_Escape);
    ProcessEvents();
    EXPECT_EQ(editor.PopupFormCount(), 0);
    EXPECT_FALSE(editor.ShowCaretUnfocused());
    EXPECT_EQ(QApplication::focusWidget(), &editor);
}

TEST_F(TextCompletionList, UnfocusedCaretIsDrawnOnlyWhenAsked)
{
    // The caret between two blanks: no ink of a letter beside it.
    SetText(editor, {QStringLiteral("a    b")});
    editor.PlaceCaretCollapsed(BufferCoord(3, 1));
    QWidget other;
    other.show();
    other.activateWindow();
    other.setFocus();
    ProcessEvents();
    ASSERT_FALSE(editor.hasFocus());
    const QPoint caret = editor.DisplayPosToPixels(editor.BufferToDisplayPos(editor.CaretPos()));
    const QPoint probe(caret.x(), caret.y() + editor.RowHeight() / 2);
    auto caretInk = [&] { return editor.grab().toImage().pixelColor(probe) == QColor(Qt::black); };
    EXPECT_FALSE(caretInk());
    editor.SetShowCaretUnfocused(true);
    EXPECT_TRUE(caretInk());
    editor.SetShowCaretUnfocused(false);
    EXPECT_FALSE(caretInk());
}

TEST_F(TextCompletionList, ReadOnlyEditorOpensNoList)
{
    editor.SetReadOnly(true);
    OpenAt(QStringLiteral("x al"), 5);
    EXPECT_FALSE(popup.Visible());
}

TEST_F(TextCompletionList, TimerFollowsTriggerCharacters)
{
    EXPECT_EQ(popup.Timer(), nullptr);
    popup.SetOptions(TTextCompletionOptions(popup.Options() | CompletionOptionBit(scoUseBuiltInTimer)));
    ASSERT_NE(popup.Timer(), nullptr);
    EXPECT_EQ(popup.Timer()->interval(), 1000);
    popup.SetTimerInterval(300);
    EXPECT_EQ(popup.Timer()->interval(), 300);
    EXPECT_FALSE(popup.Timer()->isActive());
    struct TTimerCase {
        const char* name;
        std::vector<TTextEditorCommand> commands;  // after typing the character
        QChar typed;
        bool active;
    };
    const std::vector<TTimerCase> cases = {
        {"trigger starts it", {}, QChar(u'.'), true},
        {"another character stops it", {}, QChar(u'a'), false},
        {"a command stops it", {ecRight}, QChar(u'.'), false},
    };
    for (const TTimerCase& c : cases) {
        SetText(editor, {QStringLiteral("obj")});
        editor.PlaceCaretCollapsed(BufferCoord(4, 1));
        if (c.typed != QChar(u'.'))
            QTest::keyClick(&editor, '.');
        QTest::keyClicks(&editor, QString(c.typed));
        for (TTextEditorCommand command : c.commands)
            editor.DispatchEditorCommand(command, QChar());
        EXPECT_EQ(popup.Timer()->isActive(), c.active) << c.name;
    }
    popup.SetOptions(TextCompletionDefaultOptions);
    EXPECT_EQ(popup.Timer(), nullptr);
}

TEST_F(TextCompletionList, ParameterKindFollowsCommandsAndClosesOnEscape)
{
    popup.SetDefaultType(ctParams);
    popup.SetItemList({QStringLiteral("int count, const char* text")});
    OpenAt(QStringLiteral("f("), 3);
    ASSERT_TRUE(popup.Visible());
    // It shows without taking the keys.
    EXPECT_EQ(editor.PopupFormCount(), 0);
    EXPECT_TRUE(popup.Form()->testAttribute(Qt::WA_ShowWithoutActivating));
    editor.DispatchEditorCommand(ecChar, QChar(u'1'));
    EXPECT_TRUE(popup.Visible());
    EXPECT_EQ(Line(), QStringLiteral("f(1"));
    editor.DispatchEditorCommand(ecChar, QChar(27));
    EXPECT_FALSE(popup.Visible());
}

TEST_F(TextCompletionList, AttachingHooksTheEditorAndDetachingUnhooksIt)
{
    EXPECT_EQ(popup.EditorsCount(), 1);
    EXPECT_EQ(editor.KbdHandler().KeyDownCount(), 1);
    EXPECT_EQ(editor.KbdHandler().KeyPressCount(), 1);
    // Attached once only.
    popup.AttachEditor(&editor);
    EXPECT_EQ(editor.KbdHandler().KeyDownCount(), 1);
    OpenAt(QStringLiteral("x al"), 5);
    ASSERT_TRUE(popup.Visible());
    popup.SetEditor(nullptr);
    EXPECT_FALSE(popup.Visible());
    EXPECT_EQ(popup.EditorsCount(), 0);
    EXPECT_EQ(editor.KbdHandler().KeyDownCount(), 0);
    EXPECT_EQ(editor.KbdHandler().KeyPressCount(), 0);
    // A detached editor's shortcut opens nothing.
    OpenAt(QStringLiteral("x al"), 5);
    EXPECT_FALSE(popup.Visible());
    {
        TTextCompletionProposal second;
        second.AttachEditor(&editor);
        EXPECT_EQ(editor.KbdHandler().KeyDownCount(), 1);
    }
    EXPECT_EQ(editor.KbdHandler().KeyDownCount(), 0);
}

TEST(TextCompletionEditors, AnEditorFreedFirstLeavesThePopupSound)
{
    TTextCompletionProposal popup;
    popup.SetItemList({QStringLiteral("alpha")});
    auto editor = std::make_unique<TTextEdit>();
    editor->show();
    popup.SetEditor(editor.get());
    SetText(*editor, {QStringLiteral("al")});
    editor->PlaceCaretCollapsed(BufferCoord(3, 1));
    QTest::keyClick(editor.get(), Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(popup.Visible());
    editor.reset();
    EXPECT_EQ(popup.EditorsCount(), 0);
    EXPECT_EQ(popup.Editor(), nullptr);
    EXPECT_FALSE(popup.Visible());
    // The keys of a list without an editor do nothing harmful.
    popup.ShowAt(QString(), 0, 0, ctCode);
    QTest::keyClick(popup.Form(), Qt::Key_Return);
    EXPECT_FALSE(popup.Visible());
}

// ---------------------------------------------------------------- the editor's hint

TEST(TextCompletionHint, MadeWithTheEditor)
{
    TTextEdit editor;
    TTextCompletionProposal& hint = editor.HintPopup();
    EXPECT_EQ(hint.DefaultType(), ctCode);
    EXPECT_EQ(hint.DisplayType(), ctHint);
    EXPECT_EQ(hint.TimerInterval(), 500);
    EXPECT_EQ(hint.ClBackground(), clInfoBk);
    EXPECT_EQ(hint.Options(), TextCompletionDefaultOptions);
    EXPECT_FALSE(hint.Visible());
    EXPECT_FALSE(editor.HintPopupShowing());
}

TEST(TextCompletionHint, ShowsWithoutTakingTheKeysAndAnyCommandClosesIt)
{
    TTextEdit editor;
    editor.resize(300, 200);
    editor.show();
    editor.activateWindow();
    editor.setFocus();
    ProcessEvents();
    SetText(editor, {QStringLiteral("abc def"), QStringLiteral("ghi")});
    TFont font = editor.Font();
    font.Size = 14;
    editor.SetFont(font);
    const std::vector<TTextEditorCommand> commands = {ecRight, ecChar, ecDeleteLastChar, ecSelectAll, ecScrollDown,
                                                      ecUndo, ecUserFirst};
    for (TTextEditorCommand command : commands) {
        const QPoint at = editor.mapToGlobal(QPoint(20, 30));
        editor.ShowHintPopup({QStringLiteral("{"), QStringLiteral("  hidden")}, at);
        TTextCompletionProposal& hint = editor.HintPopup();
        ASSERT_TRUE(hint.Visible()) << command;
        EXPECT_TRUE(editor.HintPopupShowing());
        EXPECT_EQ(hint.Form()->pos(), at);
        EXPECT_EQ(hint.Font().Size, 14);
        EXPECT_EQ(hint.Font().Name, editor.Font().Name);
        // Shown without taking the keys.
        EXPECT_TRUE(hint.Form()->testAttribute(Qt::WA_ShowWithoutActivating));
        EXPECT_EQ(editor.PopupFormCount(), 0);
        editor.DispatchEditorCommand(command, QChar(u'x'));
        EXPECT_FALSE(hint.Visible()) << command;
        editor.HideHintPopup();
        EXPECT_FALSE(editor.HintPopupShowing());
    }
}

TEST(TextCompletionHint, ItsLinesNeverBecomeACompletionList)
{
    TTextEdit editor;
    editor.show();
    SetText(editor, {QStringLiteral("x")});
    editor.PlaceCaretCollapsed(BufferCoord(2, 1));
    editor.ShowHintPopup({QStringLiteral("x = 1;"), QStringLiteral("xy")}, editor.mapToGlobal(QPoint(5, 5)));
    editor.HideHintPopup();
    QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_FALSE(editor.HintPopup().Visible());
    EXPECT_EQ(editor.Lines().Get(0), QStringLiteral("x"));
}
