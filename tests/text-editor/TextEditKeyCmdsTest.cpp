// Command names, key strokes, the default bindings and the handler lists.

#include "TextEditKbdHandler.h"
#include "TextEditKeyCmds.h"

#include <gtest/gtest.h>

TEST(TextEditKeyCmds, CommandNames)
{
    EXPECT_EQ(CommandNameCount(), 101);
    EXPECT_EQ(CommandToText(650), QStringLiteral("ecAutoCompletion"));
    EXPECT_EQ(CommandToText(1002), QStringLiteral("1002"));
    EXPECT_EQ(CommandToText(305), QStringLiteral("ecGotoMarker4"));
    TTextEditorCommand command = 0;
    EXPECT_TRUE(CommandFromIdent(QStringLiteral("ECUNDO"), command));
    EXPECT_EQ(command, 601);
    EXPECT_FALSE(CommandFromIdent(QStringLiteral("ecNothing"), command));
}

TEST(TextEditKeyCmds, DefaultBindings)
{
    TTextEditKeyStrokes strokes;
    strokes.LoadDefaultKeys();
    EXPECT_EQ(strokes.Count(), 82);
    struct {
        std::uint16_t Key;
        TShiftState Shift;
        TTextEditorCommand Command;
    } cases[] = {
        {VK_BACK, ssAlt, ecUndo},       {VK_BACK, ssAlt | ssShift, ecRedo}, {'C', ssCtrl, ecCopy},
        {VK_INSERT, ssCtrl, ecCopy},    {'5', ssCtrl, 306},                 {'9', ssCtrl | ssShift, 360},
        {VK_END, ssCtrl | ssShift, ecSelEditorBottom}, {VK_TAB, ssShift, ecShiftTab},
        {'B', ssCtrl | ssShift, ecMatchBracket},
    };
    for (auto c : cases) {
        const int i = strokes.FindSingleKey(c.Key, c.Shift);
        ASSERT_GE(i, 0) << c.Key;
        EXPECT_EQ(strokes.Items(i)->Command(), c.Command) << c.Key;
    }
    EXPECT_EQ(strokes.FindSingleKey(VK_F1 + 1, 0), -1);
    EXPECT_EQ(strokes.FindSingleKey(VK_UP, ssCtrl | ssShift), -1);
    const int copy = strokes.FindSingleKey('C', ssCtrl);
    EXPECT_EQ(strokes.Items(copy)->GetDisplayName(), QStringLiteral("ecCopy - Ctrl+C"));
}

TEST(TextEditKeyCmds, DuplicateShortcutsAreRefused)
{
    TTextEditKeyStrokes strokes;
    strokes.LoadDefaultKeys();
    TTextEditKeyStroke* stroke = strokes.Add();
    stroke->SetCommand(ecUserFirst);
    EXPECT_THROW(stroke->SetShortCut(ShortCut('C', ssCtrl)), ETextKeyError);
    EXPECT_EQ(stroke->Key, 0);
    EXPECT_NO_THROW(stroke->SetShortCut(ShortCut('F', ssCtrl | ssShift)));
    EXPECT_NO_THROW(stroke->SetShortCut(ShortCut('F', ssCtrl | ssShift)));  // its own pair
    stroke->SetShortCut2(ShortCut('K', ssCtrl));
    EXPECT_EQ(stroke->GetDisplayName(), QStringLiteral("ecUserFirst - Ctrl+Shift+F Ctrl+K"));
    EXPECT_EQ(strokes.FindKeyPair('F', ssCtrl | ssShift, 'K', ssCtrl), strokes.Count() - 1);
    TTextEditKeyStrokes copy;
    copy.Assign(strokes);
    EXPECT_EQ(copy.Count(), 83);
    EXPECT_EQ(ShortCutToText(ShortCut(VK_BACK, ssAlt | ssShift)), QStringLiteral("Shift+Alt+BkSp"));
}

TEST(TextEditKeyCmds, QtKeysMapToVirtualKeys)
{
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Backtab, Qt::ShiftModifier), VK_TAB);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_5, Qt::KeypadModifier), VK_NUMPAD0 + 5);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_5, Qt::NoModifier), '5');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Z, Qt::AltModifier), 'Z');
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F8, Qt::NoModifier), VK_F1 + 7);
    EXPECT_EQ(ShiftStateFromQt(Qt::ControlModifier | Qt::ShiftModifier), ssCtrl | ssShift);
}

namespace {
struct TKeyListener {
    std::vector<int>* Calls;
    int Id;
    bool Swallow = false;
    TTextEditKbdHandler* Rerun = nullptr;
    void KeyDown(void* sender, std::uint16_t& key, TShiftState shift)
    {
        Calls->push_back(Id);
        if (Rerun) {
            std::uint16_t again = 65;
            Rerun->RunKeyDownHandlers(sender, again, shift);  // runs nothing
        }
        if (Swallow)
            key = 0;
    }
};
}  // namespace

TEST(TextEditKbdHandler, NewestFirstStopsOnAClearedKeyAndNeverNests)
{
    TTextEditKbdHandler handlers;
    std::vector<int> calls;
    TKeyListener older{&calls, 1}, newer{&calls, 2, true};
    using H = TTextEditKbdHandler::TKeyHandler;
    handlers.HookKeyDown(Method<void(void*, std::uint16_t&, TShiftState)>(&older, &TKeyListener::KeyDown));
    handlers.HookKeyDown(Method<void(void*, std::uint16_t&, TShiftState)>(&newer, &TKeyListener::KeyDown));
    std::uint16_t key = 65;
    handlers.RunKeyDownHandlers(nullptr, key, 0);
    EXPECT_EQ(key, 0);
    EXPECT_EQ(calls, (std::vector<int>{2}));

    calls.clear();
    newer.Swallow = false;
    newer.Rerun = &handlers;
    key = 65;
    handlers.RunKeyDownHandlers(nullptr, key, 0);
    EXPECT_EQ(calls, (std::vector<int>{2, 1}));

    const H h = Method<void(void*, std::uint16_t&, TShiftState)>(&older, &TKeyListener::KeyDown);
    handlers.HookKeyDown(h);
    handlers.UnhookKeyDown(h);
    EXPECT_EQ(handlers.KeyDownCount(), 2);
}
