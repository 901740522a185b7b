// Undo and redo steps of the editor driven by keys: a step of undo takes the
// entries of one group (with eoGroupUndo also those of the same reason), and
// redo retraces the undo steps one for one in reverse.
#include "TextEdit.h"

#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// A shown editor that takes keys.
class TKeyedEditor {
public:
    explicit TKeyedEditor(bool groupUndo = true)
    {
        Edit = new TTextEdit(&Form);
        Edit->setGeometry(0, 0, 400, 300);
        if (groupUndo)
            Edit->SetOptions(Edit->Options() | OptionBit(eoGroupUndo));
        else
            Edit->SetOptions(Edit->Options() & ~OptionBit(eoGroupUndo));
        Form.resize(400, 300);
        Form.show();
        QApplication::setActiveWindow(&Form);
        Edit->setFocus();
    }
    // ASCII through its keys; other characters as key events carrying text.
    void Type(const QString& text)
    {
        for (QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(Edit, static_cast<char>(c.unicode()));
            } else {
                QTest::sendKeyEvent(QTest::Press, Edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
                QTest::sendKeyEvent(QTest::Release, Edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
            }
        }
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(Edit, key, modifiers); }
    QString Text() const { return Edit->Lines().Text(); }

    // The texts after each undo step (the text before them first), and after
    // each redo step that follows, until neither list has anything left.
    std::vector<std::string> UndoTrace()
    {
        std::vector<std::string> trace{Text().toStdString()};
        for (int guard = 0; Edit->CanUndo() && guard < 1000; ++guard) {
            Key(Qt::Key_Z, Qt::ControlModifier);
            trace.push_back(Text().toStdString());
        }
        return trace;
    }
    std::vector<std::string> RedoTrace()
    {
        std::vector<std::string> trace{Text().toStdString()};
        for (int guard = 0; Edit->CanRedo() && guard < 1000; ++guard) {
            Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            trace.push_back(Text().toStdString());
        }
        return trace;
    }

    QWidget Form;
    TTextEdit* Edit = nullptr;
};

std::vector<std::string> Reversed(std::vector<std::string> list)
{
    std::reverse(list.begin(), list.end());
    return list;
}

}  // namespace

TEST(TextEditUndoRedo, RedoRetracesTheStepsOfUndo)
{
    // Typing over a selection: the deletion and the typing after it are two
    // steps of undo, and redo gives back the same texts in reverse.
    TKeyedEditor e;
    e.Type(QStringLiteral("ab"));
    e.Key(Qt::Key_A, Qt::ControlModifier);
    e.Type(QStringLiteral("xy"));
    const std::vector<std::string> undo = e.UndoTrace();
    EXPECT_EQ(undo, std::vector<std::string>({"xy", "", "ab", ""}));
    const std::vector<std::string> redo = e.RedoTrace();
    EXPECT_EQ(redo, Reversed(undo));
    // The steps stay what they were for the next undo.
    EXPECT_EQ(e.UndoTrace(), undo);
}

TEST(TextEditUndoRedo, ScriptedEditsUndoAndRedoStepForStep)
{
    struct TScript {
        const char* Name;
        std::function<void(TKeyedEditor&)> Run;
        std::vector<std::string> Undo;  // empty: only the mirror is checked
    };
    QGuiApplication::clipboard()->setText(QString());
    const TScript scripts[] = {
        {"typing, a caret move, typing", [](TKeyedEditor& e) {
             e.Type(QStringLiteral("ab"));
             e.Key(Qt::Key_Left);
             e.Type(QStringLiteral("cd"));
         }, {"acdb", "ab", ""}},
        {"typing, a line break, typing", [](TKeyedEditor& e) {
             e.Type(QStringLiteral("abc"));
             e.Key(Qt::Key_Return);
             e.Type(QStringLiteral("de"));
         }, {"abc\r\nde", "abc\r\n", "abc", ""}},
        {"deletions of one reason join, the typing before them does not", [](TKeyedEditor& e) {
             e.Type(QStringLiteral("hello"));
             e.Key(Qt::Key_Backspace);
             e.Key(Qt::Key_Backspace);
             e.Type(QStringLiteral("p!"));
         }, {"help!", "hel", "hello", ""}},
        {"a deletion after a caret move", [](TKeyedEditor& e) {
             e.Type(QStringLiteral("one two"));
             e.Key(Qt::Key_Home);
             e.Key(Qt::Key_Delete);
             e.Key(Qt::Key_Delete);
             e.Key(Qt::Key_End);
             e.Type(QStringLiteral("s"));
         }, {"e twos", "e two", "one two", ""}},
        {"cut and paste", [](TKeyedEditor& e) {
             e.Type(QStringLiteral("red green"));
             e.Key(Qt::Key_Home, Qt::ShiftModifier);
             e.Key(Qt::Key_X, Qt::ControlModifier);
             e.Key(Qt::Key_V, Qt::ControlModifier);
             e.Key(Qt::Key_V, Qt::ControlModifier);
         }, {}},
        {"Chinese text and a selection replaced", [](TKeyedEditor& e) {
             e.Type(QStringLiteral("我想学"));
             e.Key(Qt::Key_Left, Qt::ShiftModifier);
             e.Type(QStringLiteral("英语"));
             e.Key(Qt::Key_Return);
             e.Type(QStringLiteral("ok"));
         }, {}},
    };
    for (bool groupUndo : {true, false}) {
        for (const TScript& script : scripts) {
            TKeyedEditor e(groupUndo);
            script.Run(e);
            const std::vector<std::string> undo = e.UndoTrace();
            if (groupUndo && !script.Undo.empty()) {
                EXPECT_EQ(undo, script.Undo) << script.Name;
            }
            EXPECT_EQ(e.RedoTrace(), Reversed(undo)) << script.Name << " groupUndo " << groupUndo;
            EXPECT_EQ(e.UndoTrace(), undo) << script.Name << " groupUndo " << groupUndo;
        }
    }
}

TEST(TextEditUndoRedo, RandomEditScriptsRedoWhatUndoUndid)
{
    // Random keys (typing in both modes, breaks, tabs, deletions of
    // characters and words, caret moves with and without Shift, select all,
    // cut, paste, and undo and redo between them), then
    // undo to the start and redo to the end: redo shows the texts of undo in
    // reverse, and ends at the text the script made.
    std::mt19937 random(3612);
    QGuiApplication::clipboard()->setText(QStringLiteral("剪贴\r\nclip"));
    const QString letters = QStringLiteral("ab c我d");
    const Qt::Key moves[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End};
    for (int round = 0; round < 100; ++round) {
        TKeyedEditor e(round % 4 != 3);
        for (int step = 0; step < 40; ++step) {
            switch (random() % 16) {
            case 0: case 1: case 2: e.Type(QString(letters[random() % letters.size()])); break;
            case 3: e.Key(Qt::Key_Return); break;
            case 4: e.Key(Qt::Key_Backspace); break;
            case 5: e.Key(Qt::Key_Delete); break;
            case 6: e.Key(moves[random() % 6]); break;
            case 7: e.Key(moves[random() % 6], Qt::ShiftModifier); break;
            case 8: e.Key(Qt::Key_A, Qt::ControlModifier); break;
            case 9: e.Key(random() % 2 ? Qt::Key_X : Qt::Key_V, Qt::ControlModifier); break;
            case 10: e.Key(Qt::Key_Z, Qt::ControlModifier); break;
            case 11: e.Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); break;
            case 12: e.Key(Qt::Key_Insert); break;  // overwrite mode on or off
            case 13: e.Key(Qt::Key_Backspace, Qt::ControlModifier); break;
            case 14: e.Key(Qt::Key_T, Qt::ControlModifier); break;
            case 15: e.Key(Qt::Key_Tab); break;
            }
        }
        // Undone steps the script left are redone first.
        e.RedoTrace();
        const std::string made = e.Text().toStdString();
        const std::vector<std::string> undo = e.UndoTrace();
        EXPECT_EQ(undo.back(), std::string()) << "round " << round;
        const std::vector<std::string> redo = e.RedoTrace();
        ASSERT_EQ(redo.size(), undo.size()) << "round " << round;
        EXPECT_EQ(redo, Reversed(undo)) << "round " << round;
        EXPECT_EQ(e.Text().toStdString(), made) << "round " << round;
    }
}

TEST(TextEditUndoRedo, BracketedBlocksAndTheCleanPoint)
{
    // Everything between a pair of block markers is one step both ways,
    // whatever the reasons and numbers of the entries inside.
    TKeyedEditor e;
    e.Type(QStringLiteral("x"));
    e.Edit->UndoList().RecordChange(urBlock2Begin, BufferCoord(1, 1), BufferCoord(1, 1), QString(), smNormal);
    e.Type(QStringLiteral("ab"));
    e.Key(Qt::Key_Return);
    e.Type(QStringLiteral("c"));
    e.Key(Qt::Key_Left);
    e.Key(Qt::Key_Backspace);
    e.Edit->UndoList().RecordChange(urBlock2End, BufferCoord(1, 1), BufferCoord(1, 1), QString(), smNormal);
    const std::vector<std::string> undo = e.UndoTrace();
    EXPECT_EQ(undo, std::vector<std::string>({"xabc", "x", ""}));
    EXPECT_EQ(e.RedoTrace(), Reversed(undo));

    // The clean point set between two steps holds through undo and redo.
    TKeyedEditor f;
    f.Type(QStringLiteral("ab"));
    f.Edit->SetModified(false);
    f.Type(QStringLiteral("cd"));
    EXPECT_TRUE(f.Edit->Modified());
    const struct {
        bool Undo;
        const char* Text;
        bool Modified;
    } steps[] = {{true, "ab", false}, {true, "", true}, {false, "ab", false}, {false, "abcd", true}};
    for (const auto& s : steps) {
        f.Key(Qt::Key_Z, s.Undo ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(f.Text().toStdString(), s.Text);
        EXPECT_EQ(f.Edit->Modified(), s.Modified) << s.Text;
    }
}
