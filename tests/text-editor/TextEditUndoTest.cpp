// The undo list: limits, blocks, group breaks, locking and the clean point.

#include "TextEditUndo.h"

#include <gtest/gtest.h>

namespace {
void Record(TTextEditUndoList& list, TTextUndoReason reason = urInsert)
{
    list.RecordChange(reason, BufferCoord(1, 1), BufferCoord(2, 1), "x", smNormal);
}
}  // namespace

TEST(TextEditUndo, TheLimitDropsTheOldestEntries)
{
    TTextEditUndoList list;
    list.SetEntryLimit(3);
    for (int i = 0; i < 4; ++i)
        list.RecordChange(urInsert, BufferCoord(i + 1, 1), BufferCoord(i + 2, 1), "x", smNormal);
    ASSERT_EQ(list.EntryCount(), 3);
    EXPECT_EQ(list.Entries(0)->StartPos.Char, 2);
    list.SetEntryLimit(1);
    ASSERT_EQ(list.EntryCount(), 1);
    EXPECT_EQ(list.TopEntry()->StartPos.Char, 4);
    list.SetEntryLimit(-5);
    EXPECT_EQ(list.EntryLimit(), 0);
    EXPECT_FALSE(list.HasEntries());
    EXPECT_EQ(list.TopReason(), urNone);
}

TEST(TextEditUndo, NestedBlocksShareOneGroupAndReportOnceMore)
{
    TTextEditUndoList list;
    int added = 0;
    list.OnEntryAdded = [&](TTextEditUndoList*) { ++added; };
    Record(list);
    list.OpenBlock();
    Record(list);
    list.OpenBlock();
    Record(list);
    list.CloseBlock();
    Record(list);
    list.CloseBlock();
    list.CloseBlock();  // nothing open: nothing happens
    Record(list);
    ASSERT_EQ(list.EntryCount(), 5);
    EXPECT_EQ(list.Entries(1)->GroupNumber, list.Entries(2)->GroupNumber);
    EXPECT_EQ(list.Entries(2)->GroupNumber, list.Entries(3)->GroupNumber);
    EXPECT_NE(list.Entries(0)->GroupNumber, list.Entries(1)->GroupNumber);
    EXPECT_NE(list.Entries(3)->GroupNumber, list.Entries(4)->GroupNumber);
    EXPECT_EQ(added, 5 + 1);
}

TEST(TextEditUndo, GroupBreaksLockingAndTakingEntries)
{
    TTextEditUndoList list;
    int added = 0;
    list.OnEntryAdded = [&](TTextEditUndoList*) { ++added; };
    list.AppendGroupBreak();
    list.AppendGroupBreak();
    EXPECT_EQ(list.EntryCount(), 1);
    EXPECT_EQ(added, 0);
    list.SuspendRecording();
    Record(list);
    EXPECT_EQ(list.EntryCount(), 1);
    list.ResumeRecording();
    list.ResumeRecording();
    EXPECT_EQ(list.LockCount(), 0);
    Record(list, urDelete);
    auto top = list.TakeTopEntry();
    ASSERT_TRUE(top);
    EXPECT_EQ(top->Reason, urDelete);
    list.PushEntry(nullptr);
    EXPECT_EQ(list.EntryCount(), 1);
    TTextEditUndoList copy;
    list.PushEntry(std::move(top));
    copy.Assign(list);
    ASSERT_EQ(copy.EntryCount(), 2);
    EXPECT_EQ(copy.TopEntry()->Text, QStringLiteral("x"));
}

TEST(TextEditUndo, TheCleanPointFollowsUndo)
{
    TTextEditUndoList list;
    list.MarkInitialState(true);
    EXPECT_TRUE(list.IsInitialState());
    Record(list);
    EXPECT_FALSE(list.IsInitialState());
    list.TakeTopEntry();
    EXPECT_TRUE(list.IsInitialState());
    list.MarkInitialState(false);  // set modified without a change
    EXPECT_FALSE(list.IsInitialState());
    Record(list);
    list.MarkInitialState(true);
    Record(list);
    list.TakeTopEntry();
    EXPECT_TRUE(list.IsInitialState());
}

TEST(TextEditUndo, AGroupBreakTakesANumberOfItsOwn)
{
    // Outside a block a break is numbered like a change of its own, so that
    // no step takes it for a part of the change below; inside a block it
    // shares the block's number.
    TTextEditUndoList list;
    Record(list);
    list.AppendGroupBreak();
    Record(list);
    ASSERT_EQ(list.EntryCount(), 3);
    EXPECT_NE(list.Entries(1)->GroupNumber, list.Entries(0)->GroupNumber);
    EXPECT_NE(list.Entries(1)->GroupNumber, list.Entries(2)->GroupNumber);
    list.OpenBlock();
    Record(list);
    list.AppendGroupBreak();
    Record(list);
    list.CloseBlock();
    ASSERT_EQ(list.EntryCount(), 6);
    EXPECT_EQ(list.Entries(4)->GroupNumber, list.Entries(3)->GroupNumber);
    EXPECT_EQ(list.Entries(5)->GroupNumber, list.Entries(3)->GroupNumber);
}
