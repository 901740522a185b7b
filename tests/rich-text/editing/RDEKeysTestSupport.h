#pragma once

// What the tests of deleting, Backspace, Delete and Enter share: an editor
// on the fixture sheet with sound on (so that refusals beep) and unlimited
// undo, a short written form of the document's items, the caret as an item
// position, the state a refusal must leave alone, and undo and redo checked
// byte for byte.

#include <gtest/gtest.h>

#include <string>

#include "RDEditTestSupport.h"
#include "document/RDItemKind.h"

// The items in order: " | " before an item that starts a paragraph (then
// "P<para>:"), " / " before a line break, " " before an item that continues;
// "^" marks a page break. A text item is its text in quotes, its text style
// in front unless 0; a list marker is "*", a break "---", another item
// "#<kind>". "{p<para>}" follows an item whose paragraph style differs from
// its paragraph's first item's.
inline std::string KeysDescribe(TRDEditRDData& data)
{
    std::string s;
    int paraNo = -1;
    for (int i = 0; i < data.ItemCount(); ++i) {
        const TCustomRDItemInfo* item = data.ItemAt(i);
        if (i > 0)
            s += item->StartsParagraph() ? " | " : item->HasLineBreakBefore() ? " / " : " ";
        if (item->BreaksPageBefore())
            s += "^";
        if (item->StartsParagraph()) {
            paraNo = item->ParaNo;
            s += "P" + std::to_string(paraNo) + ":";
        }
        if (item->StyleNo >= 0) {
            if (item->StyleNo != 0)
                s += std::to_string(item->StyleNo);
            const QByteArray& text = data.TextOfItem(i);
            QString shown = (item->ItemOptions & rdioUnicode)
                                ? QString::fromUtf16(reinterpret_cast<const char16_t*>(text.constData()),
                                                     text.size() / 2)
                                : QString::fromLatin1(text);
            s += "'" + shown.toStdString() + "'";
        } else if (item->StyleNo == MarkerStyleNo) {
            s += "*";
        } else if (item->StyleNo == BreakStyleNo) {
            s += "---";
        } else {
            s += "#" + std::to_string(item->StyleNo);
        }
        if (item->ParaNo != paraNo)
            s += "{p" + std::to_string(item->ParaNo) + "}";
    }
    return s;
}

// The caret as "item:offset".
inline std::string KeysCaret(TRDEditRDData& data)
{
    return std::to_string(data.GetCaretItemNo()) + ":" + std::to_string(data.GetCaretOffset());
}

// What a refused edit leaves as it was.
struct TKeysState {
    QByteArray Rdf;
    int UndoGroups = 0;
    int RedoGroups = 0;
    bool operator==(const TKeysState& o) const
    {
        return Rdf == o.Rdf && UndoGroups == o.UndoGroups && RedoGroups == o.RedoGroups;
    }
};

inline TKeysState KeysState(TTestEditor& editor)
{
    return {RDFText(editor), editor.Data().UndoList->Count(), editor.Data().RedoList->Count()};
}

// An editor on the fixture sheet: sound on, every change recorded.
class TKeysTest : public ::testing::Test {
protected:
    TKeysTest()
    {
        Sheet.UseSound = true;
        Ed.SetUndoLimit(-1);
    }
    TRDEditRDData& D() { return Ed.Data(); }
    void Fill(const std::vector<TEditPara>& paras) { FillEditor(Ed, paras); }
    void Caret(int item, int offset) { PutCaret(Ed, item, offset); }
    void Select(int startItem, int startOffs, int endItem, int endOffs)
    {
        D().SetSelectionBounds(startItem, startOffs, endItem, endOffs);
    }

    // The last edit was one undo group: undoing it gives back the document
    // before it byte for byte (and the caret where it was, when given);
    // redoing it the edited one; the draw items equal a fresh format after
    // each step.
    void ExpectUndoRedoExact(const QByteArray& before, const QByteArray& after)
    {
        ASSERT_GE(D().UndoList->Count(), 1);
        D().UndoList->Undo(D());
        EXPECT_EQ(RDFText(Ed), before) << "after undo";
        EXPECT_TRUE(DrawItemsMatchFreshFormat(Ed)) << "after undo";
        ASSERT_GE(D().RedoList->Count(), 1);
        D().RedoList->Redo(D());
        EXPECT_EQ(RDFText(Ed), after) << "after redo";
        EXPECT_TRUE(DrawItemsMatchFreshFormat(Ed)) << "after redo";
    }

    // The edit just made left the document as expected (KeysDescribe) with
    // the caret at caret (KeysCaret), without a beep, as one undo group of
    // the given kind that undoes to before and redoes exactly; the draw items
    // and the document's size are those of a fresh format throughout.
    void ExpectOneExactGroup(const TBeepCounter& beeps, const QByteArray& before, const char* expected,
                             const char* caret, uint8_t kind)
    {
        EXPECT_EQ(beeps.Count, 0);
        EXPECT_EQ(KeysDescribe(D()), expected);
        EXPECT_EQ(KeysCaret(D()), caret);
        EXPECT_TRUE(DrawItemsMatchFreshFormat(Ed));
        ExpectWidthAsFresh();
        ASSERT_EQ(D().UndoList->Count(), 1);
        EXPECT_EQ(D().UndoList->GetCurrentKind(), kind);
        ExpectUndoRedoExact(before, RDFText(Ed));
        ExpectWidthAsFresh();
    }

    // The document width equals that of a fresh format of the same document.
    void ExpectWidthAsFresh()
    {
        TTestEditor fresh(&Sheet, Ed.width(), Ed.height());
        ASSERT_TRUE(LoadRDFText(fresh, RDFText(Ed)));
        EXPECT_EQ(D().DocumentWidth, fresh.Data().DocumentWidth);
        EXPECT_EQ(D().DocumentHeight, fresh.Data().DocumentHeight);
    }

    TEditTestSheet Sheet;
    TTestEditor Ed{&Sheet};
};

// A paragraph of one plain run.
inline TEditPara KeysPara(const char* text, int paraStyle = epNormal, int textStyle = esPlain)
{
    return TEditPara{{TEditRun{QString::fromUtf8(text), textStyle}}, paraStyle, false};
}

// A paragraph of the given runs; a list paragraph with bullet.
inline TEditPara KeysRuns(std::vector<TEditRun> runs, int paraStyle = epNormal, bool bullet = false)
{
    return TEditPara{std::move(runs), paraStyle, bullet};
}
