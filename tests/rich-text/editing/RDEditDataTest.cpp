#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "RDEditTestSupport.h"
#include <QtCore/QMimeData>

#include "document/RDItem.h"

class RDEditDataTest : public ::testing::Test {
protected:
    TEditTestSheet Sheet;
};

TEST_F(RDEditDataTest, AnEmptyEditorGetsOneEmptyItemWhenTheCaretIsAsked)
{
    TTestEditor editor(&Sheet);
    editor.Data().CurrentTextStyleNo = esBold;
    editor.Data().CurrentParaNo = epHeading;
    ASSERT_EQ(editor.Data().ItemCount(), 0);
    EXPECT_EQ(editor.GetCaretItemIndex(), 0);
    EXPECT_EQ(editor.GetCaretItemOffset(), 1);
    ASSERT_EQ(editor.Data().ItemCount(), 1);
    EXPECT_EQ(editor.Data().ItemAt(0)->StyleNo, esBold);
    EXPECT_EQ(editor.Data().ItemAt(0)->ParaNo, epHeading);
    EXPECT_TRUE(editor.Data().TagOfItem(0).IsNil());
    EXPECT_EQ(editor.Data().CaretDrawItemNo, 0);
    EXPECT_EQ(editor.Data().CaretCharPosNo, 0);
}

TEST_F(RDEditDataTest, AnEditorWithoutStyleSheetStaysEmpty)
{
    TRichDocEdit editor;
    EXPECT_EQ(editor.GetCaretItemIndex(), -1);
    EXPECT_EQ(editor.GetCaretItemOffset(), -1);
    EXPECT_EQ(editor.EditData()->ItemCount(), 0);
}

TEST_F(RDEditDataTest, ConstructionSetsTheEditorFlags)
{
    TRichDocEdit editor;
    EXPECT_TRUE(editor.ControlFlags & cfEditor);
    EXPECT_FALSE(editor.ControlFlags & cfJumpsActive);
    EXPECT_FALSE(editor.ControlFlags & cfExternalLeading);
    EXPECT_EQ(editor.Cursor, Qt::IBeamCursor);
    EXPECT_EQ(editor.EditorOptions, rdoCtrlJumps | rdoWantTabs);
    EXPECT_EQ(editor.UndoLimit(), -1);
    EXPECT_EQ(editor.LiveSpellingMode, TRDLiveSpellingMode::rdlspOnChange);
    EXPECT_EQ(editor.EditData()->TabNavigation, TRDTabNavigationType::rdtnNone);
    EXPECT_EQ(editor.EditData()->CaretDrawItemNo, -1);
    editor.SetUndoLimit(3);
    EXPECT_EQ(editor.EditData()->UndoList->MaxGroupCount, 3);
}

TEST_F(RDEditDataTest, ClearResetsStylesModifiedAndCaret)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("Heading"), esHeading}}, epHeading}, {{{QStringLiteral("text")}}}});
    PutCaret(editor, 0, 3);
    EXPECT_EQ(editor.CurParaStyleNo(), epHeading);
    EXPECT_EQ(editor.CurTextStyleNo(), esHeading);
    editor.Modified = true;
    editor.ClearDocument();
    EXPECT_EQ(editor.CurTextStyleNo(), 0);
    EXPECT_EQ(editor.CurParaStyleNo(), 0);
    EXPECT_FALSE(editor.Modified);
    EXPECT_EQ(editor.Data().UndoList->Count(), 0);
    EXPECT_EQ(editor.Data().RedoList->Count(), 0);
    EXPECT_EQ(editor.Data().LastSwitchableStyleNo, 0);
    EXPECT_EQ(editor.Data().CaretDrawItemNo, -1);
    EXPECT_TRUE(editor.Data().CharPositions.empty());
    // The next format puts the caret at the start and takes its styles.
    FillEditor(editor, {{{{QStringLiteral("Heading"), esHeading}}, epHeading}});
    EXPECT_EQ(editor.GetCaretItemIndex(), 0);
    EXPECT_EQ(editor.GetCaretItemOffset(), 1);
    EXPECT_EQ(editor.CurTextStyleNo(), esHeading);
    EXPECT_EQ(editor.CurParaStyleNo(), epHeading);
    EXPECT_FALSE(editor.Data().State & dsCaretReset);
}

TEST_F(RDEditDataTest, CurrentStyleSettersFireOnlyOnChangeUnlessAskedAgain)
{
    TTestEditor editor(&Sheet);
    std::vector<std::string> events;
    editor.OnCurTextStyleChanged = [&](QObject*) { events.push_back("text " + std::to_string(editor.CurTextStyleNo())); };
    editor.OnCurParaStyleChanged = [&](QObject*) { events.push_back("para " + std::to_string(editor.CurParaStyleNo())); };
    editor.SetCurTextStyleNo(esBold);
    editor.SetCurTextStyleNo(esBold);
    editor.SetCurParaStyleNo(epHeading);
    editor.SetCurParaStyleNo(epHeading);
    // Asked again: the paragraph setter leaves the request standing, the text setter takes it.
    editor.Data().State |= dsSubDataUnchosen;
    editor.SetCurParaStyleNo(epHeading);
    editor.SetCurTextStyleNo(esBold);
    editor.SetCurTextStyleNo(esBold);
    EXPECT_EQ(events, (std::vector<std::string>{"text 1", "para 1", "para 1", "text 1"}));
    EXPECT_FALSE(editor.Data().State & dsSubDataUnchosen);
}

TEST_F(RDEditDataTest, EffectiveStyleResolvesTheParagraphDefault)
{
    TTestEditor editor(&Sheet);
    editor.SetCurParaStyleNo(epHeading);
    editor.SetCurTextStyleNo(INT_MAX);
    EXPECT_EQ(editor.GetEffectiveTextStyle(), esHeading);
    editor.SetCurParaStyleNo(epNormal);
    EXPECT_EQ(editor.GetEffectiveTextStyle(), 0);
}

TEST_F(RDEditDataTest, CanChangeRefusesWithOneBeep)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("text")}}}});
    struct TCase {
        const char* Name;
        bool ReadOnly;
        bool Veto;
        bool Allowed;
    };
    const TCase cases[] = {
        {"editable", false, false, true},
        {"read-only", true, false, false},
        {"vetoed by OnChanging", false, true, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        editor.SetReadOnlyFlag(c.ReadOnly);
        editor.OnChanging = [&](TCustomRichDocEdit* sender, bool& canEdit) {
            EXPECT_EQ(sender, &editor);
            if (c.Veto)
                canEdit = false;
        };
        TBeepCounter beeps;
        EXPECT_EQ(editor.CanChange(), c.Allowed);
        EXPECT_EQ(beeps.Count, c.Allowed ? 0 : 1);
    }
    TRichDocEdit noSheet;
    TBeepCounter beeps;
    EXPECT_FALSE(noSheet.CanChange());
}

TEST_F(RDEditDataTest, DoChangeMarksModifiedFiresOnChangeAndClearsRedo)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("text")}}}});
    int changes = 0;
    editor.OnChange = [&](QObject* sender) {
        EXPECT_EQ(sender, &editor);
        ++changes;
    };
    editor.Data().RedoList->Groups.push_back(std::make_unique<TRDUndoInfos>());
    editor.Data().PendingTag = TRDTag::FromInt(7);
    editor.Data().State |= dsOpenInsertion;
    editor.Data().DoChange(false);
    EXPECT_TRUE(editor.Modified);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(editor.Data().RedoList->Count(), 1);
    EXPECT_EQ(editor.Data().PendingTag.Int, 7) << "an open insertion keeps the pending tag";
    editor.Data().State &= ~dsOpenInsertion;
    editor.Data().DoChange(true);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(editor.Data().RedoList->Count(), 0);
    EXPECT_TRUE(editor.Data().PendingTag.IsNil());
}

TEST_F(RDEditDataTest, PendingTagIsTakenOnlyFromAnItemOfTheCurrentStyle)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("plain")}, {QStringLiteral("bold"), esBold}}}});
    editor.Data().ItemAt(1)->Tag = TRDTag::FromInt(42);
    PutCaret(editor, 1, 2);
    ASSERT_EQ(editor.CurTextStyleNo(), esBold);
    editor.Data().TakePendingTag();
    EXPECT_EQ(editor.Data().PendingTag.Int, 42);
    editor.SetCurTextStyleNo(esPlain);
    editor.Data().TakePendingTag();
    EXPECT_TRUE(editor.Data().PendingTag.IsNil());
}

TEST_F(RDEditDataTest, WithoutSelectionTheCaretStandsForBothEnds)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("one two")}}}, {{{QStringLiteral("three")}}}});
    PutCaret(editor, 1, 3);
    int sn = 0, so = 0, en = 0, eo = 0;
    editor.Data().GetSelBoundsDraw(sn, so, en, eo, true);
    EXPECT_EQ(sn, editor.Data().CaretDrawItemNo);
    EXPECT_EQ(en, sn);
    EXPECT_EQ(so, 3);
    EXPECT_EQ(eo, 3);
    int si = 0, ei = 0;
    editor.Data().GetSelBoundsItems(si, so, ei, eo, true);
    EXPECT_EQ(si, 1);
    EXPECT_EQ(ei, 1);
    EXPECT_EQ(so, 3);
    EXPECT_EQ(eo, 3);
    int d = -1, o = -1;
    editor.Data().GetSelStartDraw(d, o);
    EXPECT_EQ(d, editor.Data().CaretDrawItemNo);
    EXPECT_EQ(o, 3);
}

TEST_F(RDEditDataTest, CharPosAssignLeavesTheShift)
{
    TRDCharPos a, b;
    a.PosX = 10;
    a.DrawIndex = 2;
    a.DrawOffset = 3;
    a.CaretShift = 2;
    b.CaretShift = 1;
    b.Assign(a);
    EXPECT_EQ(b.PosX, 10);
    EXPECT_EQ(b.DrawIndex, 2);
    EXPECT_EQ(b.DrawOffset, 3);
    EXPECT_EQ(b.CaretShift, 1);
}

TEST_F(RDEditDataTest, RenumberedStylesClearTheHistoryAndFollowTheirStyles)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("text"), esHeading}}, epHeading}});
    editor.SetCurTextStyleNo(esHeading);
    editor.SetCurParaStyleNo(epHeading);
    editor.Data().LastSwitchableStyleNo = esBold;
    editor.Data().UndoList->Groups.push_back(std::make_unique<TRDUndoInfos>());
    editor.Data().RedoList->Groups.push_back(std::make_unique<TRDUndoInfos>());
    int textEvents = 0, paraEvents = 0;
    editor.OnCurTextStyleChanged = [&](QObject*) { ++textEvents; };
    editor.OnCurParaStyleChanged = [&](QObject*) { ++paraEvents; };
    // Text styles 1 and 2 go: 7 becomes 5; paragraph style 0 goes: 1 becomes 0.
    TRDStyleMaps maps;
    int textShift = 0;
    for (int i = 0; i < esTextStyleCount; ++i) {
        if (i == 1 || i == 2)
            maps.TextMap.Add(0);  // deleted
        else
            maps.TextMap.Add(1 + textShift);
        if (i == 1 || i == 2)
            ++textShift;
    }
    for (int i = 0; i < epParaStyleCount; ++i)
        maps.ParaMap.Add(i == 0 ? 0 : 2);
    editor.Data().StylesRenumbered(maps);
    EXPECT_EQ(editor.Data().UndoList->Count(), 0);
    EXPECT_EQ(editor.Data().RedoList->Count(), 0);
    EXPECT_EQ(editor.CurTextStyleNo(), esHeading - 2);
    EXPECT_EQ(editor.CurParaStyleNo(), epHeading - 1);
    EXPECT_EQ(editor.Data().LastSwitchableStyleNo, 0) << "a deleted style is no longer switchable";
    EXPECT_EQ(textEvents, 1);
    EXPECT_EQ(paraEvents, 1);
}

TEST_F(RDEditDataTest, TheCurrentStylesCountAsUsed)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("text")}}}});
    editor.SetCurParaStyleNo(epHeading);
    editor.SetCurTextStyleNo(INT_MAX);  // the heading's default style
    for (int i = 0; i < Sheet.TextStyles().Count(); ++i)
        Sheet.TextStyles().Items(i)->Standard = false;
    for (int i = 0; i < Sheet.ParaStyles().Count(); ++i)
        Sheet.ParaStyles().Items(i)->Standard = false;
    TRDStyleUsage usage;
    usage.DoText = usage.DoPara = true;
    editor.Data().DeleteUnusedStyles(usage);
    EXPECT_EQ(editor.CurTextStyleNo(), esHeading) << "resolved before marking";
    EXPECT_EQ(usage.TextUsed[esHeading], 1);
    EXPECT_EQ(usage.TextUsed[esBold], 0);
    EXPECT_EQ(usage.ParaUsed[epHeading], 1);
    EXPECT_EQ(usage.ParaUsed[epReadOnly], 0);
}

TEST_F(RDEditDataTest, MouseSelectionPutsTheCaretAtItsEnd)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("one")}}}, {{{QStringLiteral("item")}}, epNormal, true}});
    // Items: 0 "one", 1 the marker, 2 "item". An end on the marker goes past it.
    editor.Data().SetSelectionBounds(0, 2, 1, 0);
    EXPECT_EQ(editor.GetCaretItemIndex(), 2);
    EXPECT_EQ(editor.GetCaretItemOffset(), 1);
    editor.Data().SetSelectionBounds(2, 4, 0, 3);
    EXPECT_EQ(editor.GetCaretItemIndex(), 0);
    EXPECT_EQ(editor.GetCaretItemOffset(), 3);
    int si = 0, so = 0, ei = 0, eo = 0;
    editor.Data().GetSelBoundsItems(si, so, ei, eo, true);
    EXPECT_EQ(std::vector<int>({si, so, ei, eo}), std::vector<int>({0, 3, 2, 4}));
}

TEST_F(RDEditDataTest, SelectRangeSelectsCharactersOfOneItem)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("hello world")}}}});
    int selects = 0;
    editor.OnSelect = [&](QObject*) { ++selects; };
    struct TCase {
        bool Backwards;
        int Caret;
    };
    for (const TCase c : {TCase{false, 9}, TCase{true, 3}}) {
        SCOPED_TRACE(c.Backwards);
        editor.Data().SelectRange(0, 3, 6, c.Backwards);
        int si = 0, so = 0, ei = 0, eo = 0;
        editor.Data().GetSelBoundsItems(si, so, ei, eo, true);
        EXPECT_EQ(so, 3);
        EXPECT_EQ(eo, 9);
        EXPECT_EQ(editor.GetCaretItemOffset(), c.Caret);
        EXPECT_EQ(editor.Data().GetSelStartNo() >= 0, true);
    }
    EXPECT_EQ(selects, 0) << "no selection event of its own: the caller tells";
}

TEST_F(RDEditDataTest, SearchesStartAtTheCaret)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("ab")}, {QStringLiteral("cd"), esBold}}}, {{{QStringLiteral("ef")}}}});
    struct TCase {
        const char* Name;
        int CaretItem, CaretOffset;
        bool FromStart, Whole;
        int Item, Offset;
    };
    const TCase cases[] = {
        {"forward from inside", 0, 2, true, false, 0, 2},
        {"forward from an item end: the next item's start", 0, 3, true, false, 1, 1},
        {"backward from an item start: the previous item's end", 2, 1, false, false, 1, 3},
        {"backward from inside", 1, 2, false, false, 1, 2},
        {"whole document forward", 1, 2, true, true, 0, 1},
        {"whole document backward", 1, 2, false, true, 2, 4},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        PutCaret(editor, c.CaretItem, c.CaretOffset);
        int item = -5, offset = -5;
        editor.Data().GetSearchStart(c.FromStart, c.Whole, item, offset);
        EXPECT_EQ(item, c.Item);
        EXPECT_EQ(offset, c.Offset);
    }
}

TEST_F(RDEditDataTest, ChoosingAnItemAnnouncesACaretMove)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("ab")}}}});
    int moves = 0;
    editor.OnCaretMove = [&](QObject*) { ++moves; };
    TCustomRDItemInfo* item = editor.Data().ItemAt(0);
    editor.Data().SetChosenItem(item);
    EXPECT_EQ(moves, 1);
    editor.Data().SetChosenItem(item);
    EXPECT_EQ(moves, 1) << "unchanged";
    EXPECT_EQ(editor.GetCaretItemIndex(), 0);
    EXPECT_EQ(editor.GetCaretItemOffset(), 1) << "1 while an item is chosen";
    editor.Data().SetChosenItem(nullptr);
    EXPECT_EQ(moves, 2);
}

TEST_F(RDEditDataTest, TheDropCaretIsCountedAndFreedAtZero)
{
    TTestEditor editor(&Sheet);
    editor.ControlFlags |= cfOwnOptions;
    TRDEditRDData& data = editor.Data();
    data.AcquireDragDropCaret();
    data.AcquireDragDropCaret();
    ASSERT_NE(data.GetDragDropCaret(), nullptr);
    EXPECT_EQ(data.DragDropCaret->RefCount, 2);
    data.ReleaseDragDropCaret();
    EXPECT_NE(data.DragDropCaret, nullptr);
    data.ReleaseDragDropCaret();
    EXPECT_EQ(data.DragDropCaret, nullptr);
    editor.ControlFlags &= ~cfOwnOptions;
    data.AcquireDragDropCaret();
    EXPECT_EQ(data.DragDropCaret, nullptr) << "only a document that answers its options itself keeps one";
}

TEST_F(RDEditDataTest, ClearFormattingDropsTheCaretAndThePendingTag)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("ab")}}}});
    PutCaret(editor, 0, 2);
    editor.Data().PendingTag = TRDTag::FromInt(3);
    editor.Data().State |= dsOpenInsertion;
    editor.Data().ClearFormatting();
    EXPECT_EQ(editor.Data().CaretDrawItemNo, -1);
    EXPECT_EQ(editor.Data().CaretCharPosNo, -1);
    EXPECT_TRUE(editor.Data().CharPositions.empty());
    EXPECT_TRUE(editor.Data().PendingTag.IsNil());
    EXPECT_FALSE(editor.Data().State & dsOpenInsertion);
    EXPECT_EQ(editor.Data().ItemCount(), 1) << "the items stay";
}

TEST_F(RDEditDataTest, ADeletableSelectionMayBeMoved)
{
    TTestEditor editor(&Sheet);
    FillEditor(editor, {{{{QStringLiteral("plain text")}}}, {{{QStringLiteral("locked text")}}, epReadOnly}});
    struct TCase {
        const char* Name;
        int Item;
        bool ReadOnly;
        bool Move;
    };
    const TCase cases[] = {
        {"editable text", 0, false, true},
        {"read-only editor", 0, true, false},
        {"inside a read-only paragraph", 1, false, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        editor.SetReadOnlyFlag(c.ReadOnly);
        editor.Data().SetSelectionBounds(c.Item, 2, c.Item, 5);
        QMimeData* data = nullptr;
        Qt::DropActions allowed;
        ASSERT_TRUE(editor.Data().GetDragSource(data, allowed));
        EXPECT_TRUE(allowed & Qt::CopyAction);
        EXPECT_EQ(bool(allowed & Qt::MoveAction), c.Move);
        delete data;
        editor.Data().DropSource = nullptr;
    }
}
