#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/RDUnicode.h"
#include "editing/RDEdit.h"
#include "items/RDLabelItems.h"
#include "RDEditTestSupport.h"

// Applying text and paragraph styles: the items made, split and joined, the
// selection and the caret kept, the text re-encoded, and each application
// undone and redone exactly (RDF bytes, draw items as a fresh format).

namespace {

// The items as "style'text'", " | " before an item that starts a paragraph.
std::string StylesItems(TRDEditRDData& d)
{
    std::string out;
    for (int i = 0; i < d.ItemCount(); ++i) {
        if (i > 0)
            out += d.StartsParagraph(i) ? " | " : " ";
        const TCustomRDItemInfo* item = d.ItemAt(i);
        out += std::to_string(item->StyleNo);
        if (item->StyleNo < 0)
            continue;
        QByteArray utf16 = d.TextOfItem(i);
        if (!(item->ItemOptions & rdioUnicode))
            utf16 = AnsiToUtf16(d.CodePageOfStyle(d.EffectiveStyleOfItem(i)), utf16);
        const QString text(reinterpret_cast<const QChar*>(utf16.constData()), static_cast<int>(utf16.size() / 2));
        out += "'" + text.toStdString() + "'";
    }
    return out;
}

// The style hook of the editor's "apply this style" (mode 1): every style becomes userData.
void StylesHookApply(TCustomRichDocEdit& e)
{
    e.StyleConversionHook = [](TCustomRichDocEdit*, int, int, int userData, bool, int& newStyle, bool) {
        newStyle = userData;
    };
}

struct TStylesPos {
    int Item, Offset;
    bool operator==(const TStylesPos&) const = default;
};

std::ostream& operator<<(std::ostream& s, const TStylesPos& p)
{
    return s << "(" << p.Item << ", " << p.Offset << ")";
}

// The selection's anchor and moving end as item positions.
TStylesPos StylesAnchor(TRDEditRDData& d)
{
    TStylesPos a{-1, 0}, m{-1, 0};
    d.GetSelBoundsItems(a.Item, a.Offset, m.Item, m.Offset, false);
    return a;
}
TStylesPos StylesMoving(TRDEditRDData& d)
{
    TStylesPos a{-1, 0}, m{-1, 0};
    d.GetSelBoundsItems(a.Item, a.Offset, m.Item, m.Offset, false);
    return m;
}

// Whether two item positions are the same place (the end of an item and the
// start of the next one on its line are).
bool StylesSamePlace(TRDEditRDData& d, TStylesPos a, TStylesPos b)
{
    if (b.Item < a.Item)
        std::swap(a, b);
    return a == b
           || (b.Item == a.Item + 1 && a.Offset == d.EndOffsetOf(a.Item) && b.Offset == d.StartOffsetOf(b.Item)
               && !d.StartsNewLine(b.Item));
}

// Undoes every group then redoes every group: the RDF bytes of before and
// after, the draw items as a fresh format after each step.
void StylesExpectUndoRedo(TTestEditor& e, const QByteArray& before, const QByteArray& after)
{
    TRDEditRDData& d = e.Data();
    ASSERT_GT(d.UndoList->Count(), 0) << "nothing was recorded";
    while (d.UndoList->Count() > 0) {
        d.UndoList->Undo(d);
        ASSERT_TRUE(DrawItemsMatchFreshFormat(e)) << "after an undo step";
    }
    EXPECT_EQ(RDFText(e), before);
    while (d.RedoList->Count() > 0) {
        d.RedoList->Redo(d);
        ASSERT_TRUE(DrawItemsMatchFreshFormat(e)) << "after a redo step";
    }
    EXPECT_EQ(RDFText(e), after);
}

constexpr int esSplitProtect = esTextStyleCount;  // added by the fixture below

class StylesTest : public ::testing::Test {
protected:
    StylesTest()
    {
        TFontInfo* f = Sheet.TextStyles().Add();
        f->Assign(*Sheet.TextStyles().Items(esPlain));
        f->Style = fsItalic;
        f->Protection = rdprStyleSplitProtect;
        StylesHookApply(E);
    }
    TEditTestSheet Sheet;
    TTestEditor E{&Sheet};
    TRDEditRDData& D = E.Data();
};

struct TTextStyleRow {
    const char* Name;
    std::vector<TEditPara> Doc;
    TStylesPos Anchor, Moving;  // the selection
    int Style;
    const char* Expected;
    TStylesPos AnchorAfter, MovingAfter;
};

TEST_F(StylesTest, TextStyleOverASelectionSplitsJoinsKeepsTheSelectionAndUndoesExactly)
{
    const std::vector<TEditPara> words = {{{{"one two three"}}}};
    const std::vector<TEditPara> three = {{{{"ab"}, {"cd", esBold}, {"ef"}}}};
    const std::vector<TEditPara> twoParas = {{{{"first line"}}}, {{{"second line"}}}};
    const TTextStyleRow rows[] = {
        {"bold middle word", words, {0, 5}, {0, 8}, esBold, "0'one ' 1'two' 0' three'", {1, 1}, {1, 4}},
        {"backwards keeps its direction", words, {0, 8}, {0, 5}, esBold, "0'one ' 1'two' 0' three'", {1, 4}, {1, 1}},
        {"head of an item", words, {0, 1}, {0, 4}, esBold, "1'one' 0' two three'", {0, 1}, {0, 4}},
        {"tail of an item", words, {0, 9}, {0, 14}, esBold, "0'one two ' 1'three'", {1, 1}, {1, 6}},
        {"plain again joins three items into one", three, {1, 1}, {1, 3}, esPlain, "0'abcdef'", {0, 3}, {0, 5}},
        {"over three items, ends inside", three, {0, 2}, {2, 2}, esBold, "0'a' 1'bcde' 0'f'", {1, 1}, {1, 5}},
        {"across two paragraphs", twoParas, {0, 7}, {1, 7}, esBold, "0'first ' 1'line' | 1'second' 0' line'",
         {1, 1}, {2, 7}},
        {"split-protected item converted whole", {{{{"ab"}, {"cdef", esSplitProtect}}}}, {1, 2}, {1, 4}, esBold,
         "0'ab' 1'cdef'", {1, 2}, {1, 4}},
        {"split-protected first item converted whole", {{{{"abcd", esSplitProtect}, {"ef"}}}}, {0, 3}, {1, 2},
         esBold, "1'abcde' 0'f'", {0, 3}, {0, 6}},
    };
    for (const TTextStyleRow& row : rows) {
        SCOPED_TRACE(row.Name);
        FillEditor(E, row.Doc);
        E.ClearUndoHistory();
        D.SetSelectionBounds(row.Anchor.Item, row.Anchor.Offset, row.Moving.Item, row.Moving.Offset);
        const QByteArray before = RDFText(E);
        D.ApplyTextStyleConversion(row.Style, 1, false);
        EXPECT_EQ(StylesItems(D), row.Expected);
        EXPECT_TRUE(DrawItemsMatchFreshFormat(E));
        EXPECT_EQ(StylesAnchor(D), row.AnchorAfter);
        EXPECT_EQ(StylesMoving(D), row.MovingAfter);
        EXPECT_TRUE(StylesSamePlace(D, TStylesPos{D.GetCaretItemNo(), D.GetCaretOffset()}, row.MovingAfter))
            << "caret at " << TStylesPos{D.GetCaretItemNo(), D.GetCaretOffset()};
        EXPECT_EQ(D.CurrentTextStyleNo, row.Style);
        ASSERT_EQ(D.UndoList->Count(), 1);
        EXPECT_EQ(D.UndoList->GetCurrentKind(), rdutStyleNo);
        StylesExpectUndoRedo(E, before, RDFText(E));
    }
}

TEST_F(StylesTest, BoldThenPlainAgainGivesOneItemAndBothStepsUndo)
{
    FillEditor(E, {{{{"one two three"}}}});
    E.ClearUndoHistory();
    const QByteArray original = RDFText(E);
    D.SetSelectionBounds(0, 5, 0, 8);
    D.ApplyTextStyleConversion(esBold, 1, false);
    const QByteArray bold = RDFText(E);
    D.ApplyTextStyleConversion(esPlain, 1, false);
    EXPECT_EQ(StylesItems(D), "0'one two three'");
    EXPECT_EQ(RDFText(E), original);
    EXPECT_EQ(StylesAnchor(D), (TStylesPos{0, 5}));
    EXPECT_EQ(StylesMoving(D), (TStylesPos{0, 8}));
    ASSERT_EQ(D.UndoList->Count(), 2);
    D.UndoList->Undo(D);
    EXPECT_EQ(RDFText(E), bold);
    EXPECT_TRUE(DrawItemsMatchFreshFormat(E));
    D.UndoList->Undo(D);
    EXPECT_EQ(RDFText(E), original);
    EXPECT_TRUE(DrawItemsMatchFreshFormat(E));
}

TEST_F(StylesTest, UnicodeStyleConvertsTheTextBothWays)
{
    // GB18030 text of an ANSI item becomes UTF-16 with the old style's code
    // page, and back again when the plain style is applied.
    FillEditor(E, {{{{QStringLiteral("ab\u4e2d\u6587cd")}}}});
    E.ClearUndoHistory();
    ASSERT_EQ(D.TextOfItem(0), QByteArray("ab\xd6\xd0\xce\xc4" "cd"));
    const QByteArray original = RDFText(E);
    D.SetSelectionBounds(0, 1, 0, 9);
    D.ApplyTextStyleConversion(esUnicode, 1, false);
    ASSERT_EQ(D.ItemCount(), 1);
    EXPECT_TRUE(D.ItemAt(0)->ItemOptions & rdioUnicode);
    const QString expected = QStringLiteral("ab\u4e2d\u6587cd");
    EXPECT_EQ(D.TextOfItem(0), QByteArray(reinterpret_cast<const char*>(expected.utf16()), expected.size() * 2));
    StylesExpectUndoRedo(E, original, RDFText(E));
    EXPECT_TRUE(D.ItemAt(0)->ItemOptions & rdioUnicode);

    // The middle ideograph alone into UTF-16: one character, not bytes of one.
    FillEditor(E, {{{{QStringLiteral("ab\u4e2d\u6587cd")}}}});
    E.ClearUndoHistory();
    D.SetSelectionBounds(0, 3, 0, 5);
    D.ApplyTextStyleConversion(esUnicode, 1, false);
    EXPECT_EQ(StylesItems(D), "0'ab' 2'\u4e2d' 0'\u6587cd'");
    StylesExpectUndoRedo(E, original, RDFText(E));

    // And back: a Unicode item to the plain style.
    FillEditor(E, {{{{QStringLiteral("x\u4e2dy"), esUnicode}}}});
    E.ClearUndoHistory();
    const QByteArray unicode = RDFText(E);
    D.SetSelectionBounds(0, 1, 0, 4);
    D.ApplyTextStyleConversion(esPlain, 1, false);
    EXPECT_FALSE(D.ItemAt(0)->ItemOptions & rdioUnicode);
    EXPECT_EQ(D.TextOfItem(0), QByteArray("x\xd6\xd0y"));
    StylesExpectUndoRedo(E, unicode, RDFText(E));
}

TEST_F(StylesTest, WithoutASelectionOnlyTheCurrentStyleChangesUnlessTheLineIsEmpty)
{
    FillEditor(E, {{{{"text"}}}, {{{""}}}});
    E.ClearUndoHistory();
    const QByteArray original = RDFText(E);
    PutCaret(E, 0, 3);
    D.ApplyTextStyleConversion(esBold, 1, false);
    EXPECT_EQ(D.CurrentTextStyleNo, esBold);
    EXPECT_EQ(RDFText(E), original);
    EXPECT_EQ(D.UndoList->Count(), 0);

    // In an empty line the empty item takes the style at once.
    PutCaret(E, 1, 1);
    D.ApplyTextStyleConversion(esBold, 1, false);
    EXPECT_EQ(StylesItems(D), "0'text' | 1''");
    EXPECT_EQ(D.CurrentTextStyleNo, esBold);
    EXPECT_EQ((TStylesPos{D.GetCaretItemNo(), D.GetCaretOffset()}), (TStylesPos{1, 1}));
    EXPECT_TRUE(DrawItemsMatchFreshFormat(E));
    ASSERT_EQ(D.UndoList->Count(), 1);
    StylesExpectUndoRedo(E, original, RDFText(E));
}

TEST_F(StylesTest, WholeParagraphsAndTagsClearedUnderTheOption)
{
    FillEditor(E, {{{{"one two"}, {"three", esBold}}}, {{{"four"}}}});
    E.ClearUndoHistory();
    const QByteArray original = RDFText(E);
    D.SetSelectionBounds(0, 2, 0, 3);
    D.ApplyTextStyleConversion(esUnicode, 1, true);
    EXPECT_EQ(StylesItems(D), "2'one twothree' | 0'four'");
    StylesExpectUndoRedo(E, original, RDFText(E));

    // Without a selection the caret's paragraph; the caret stays where it was
    // in the joined text.
    FillEditor(E, {{{{"one two"}, {"three", esBold}}}, {{{"four"}}}});
    E.ClearUndoHistory();
    PutCaret(E, 1, 3);
    D.ApplyTextStyleConversion(esUnicode, 1, true);
    EXPECT_EQ(StylesItems(D), "2'one twothree' | 0'four'");
    EXPECT_EQ((TStylesPos{D.GetCaretItemNo(), D.GetCaretOffset()}), (TStylesPos{0, 10}));
    EXPECT_FALSE(D.DataSelectionExists(false, false));
    StylesExpectUndoRedo(E, original, RDFText(E));

    // Tags: pieces that keep the old style keep the tag, the converted one loses it.
    FillEditor(E, {{{{"one two three"}}}});
    D.ItemAt(0)->Tag = TRDTag::FromInt(7);
    E.ClearUndoHistory();
    E.EditorOptions |= rdoClearTagOnStyleApp;
    const QByteArray tagged = RDFText(E);
    D.SetSelectionBounds(0, 5, 0, 8);
    D.ApplyTextStyleConversion(esBold, 1, false);
    ASSERT_EQ(D.ItemCount(), 3);
    EXPECT_EQ(D.ItemAt(0)->Tag.Int, 7);
    EXPECT_EQ(D.ItemAt(1)->Tag.Int, 0);
    EXPECT_EQ(D.ItemAt(2)->Tag.Int, 7);
    StylesExpectUndoRedo(E, tagged, RDFText(E));
}

TEST_F(StylesTest, ALabelInTheSelectionConvertsItsOwnTextStyleRecorded)
{
    FillEditor(E, {{{{"ab"}}}});
    D.AddItem(QByteArray(), new TRDLabelItemInfo(&D, QStringLiteral("label"), esPlain));
    D.ItemAt(1)->SetContinuesPara(true);
    E.AddTextToParagraph(QStringLiteral("cd"), esPlain);
    E.FormatDocument();
    E.ClearUndoHistory();
    const QByteArray before = RDFText(E);
    D.SetSelectionBounds(0, 2, 2, 2);
    D.ApplyTextStyleConversion(esBold, 1, false);
    EXPECT_EQ(StylesItems(D), "0'a' 1'b' " + std::to_string(D.ItemAt(2)->StyleNo) + " 1'c' 0'd'");
    EXPECT_EQ(static_cast<TRDLabelItemInfo*>(D.ItemAt(2))->TextStyleNo, esBold);
    EXPECT_TRUE(DrawItemsMatchFreshFormat(E));
    StylesExpectUndoRedo(E, before, RDFText(E));
    D.UndoList->Undo(D);
    EXPECT_EQ(static_cast<TRDLabelItemInfo*>(D.ItemAt(1))->TextStyleNo, esPlain);
}

TEST_F(StylesTest, ItemsAskTheEditorThroughItsConversionEvent)
{
    E.StyleConversionHook = nullptr;
    int32_t style = esPlain;
    D.ConvertStyleNo(style, epNormal, 5);
    EXPECT_EQ(style, esPlain);  // nobody answers: unchanged
    int askedUserData = -1;
    E.OnStyleConversion = [&](TCustomRichDocEdit*, int styleNo, int userData, bool, int& newStyle) {
        askedUserData = userData;
        newStyle = styleNo == esPlain ? esBold : styleNo;
    };
    D.ConvertStyleNo(style, epNormal, 5);
    EXPECT_EQ(style, esBold);
    EXPECT_EQ(askedUserData, 5);
}

struct TParaStyleRow {
    const char* Name;
    std::vector<TEditPara> Doc;
    TStylesPos Anchor, Moving;  // equal: the caret alone
    bool Convert;
    const char* Expected;  // the ParaNo of each item
};

std::string StylesParaNos(TRDEditRDData& d)
{
    std::string out;
    for (int i = 0; i < d.ItemCount(); ++i)
        out += (i ? " " : "") + std::to_string(d.ItemAt(i)->ParaNo);
    return out;
}

TEST_F(StylesTest, ParagraphStyleGoesToWholeParagraphsAndUndoesExactly)
{
    const std::vector<TEditPara> three = {{{{"first"}, {"bold", esBold}}}, {{{"second"}}}, {{{"third"}}}};
    const TParaStyleRow rows[] = {
        {"caret alone", three, {1, 3}, {1, 3}, false, "1 1 0 0"},
        {"part of two paragraphs", three, {1, 3}, {2, 2}, false, "1 1 1 0"},
        {"backwards", three, {3, 2}, {2, 3}, false, "0 0 1 1"},
        {"a paragraph with protected text", {{{{"a"}, {"locked", esModifyProtect}, {"b", esDeleteProtect}}}},
         {0, 1}, {0, 1}, false, "1 1 1"},
        {"a list paragraph", {{{{"item"}}, epList, true}, {{{"next"}}}}, {2, 2}, {1, 3}, false, "1 1 1"},
        {"converted through the hook", three, {0, 2}, {1, 2}, true, "3 3 0 0"},
    };
    for (const TParaStyleRow& row : rows) {
        SCOPED_TRACE(row.Name);
        FillEditor(E, row.Doc);
        E.ClearUndoHistory();
        if (row.Anchor == row.Moving)
            PutCaret(E, row.Anchor.Item, row.Anchor.Offset);
        else
            D.SetSelectionBounds(row.Anchor.Item, row.Anchor.Offset, row.Moving.Item, row.Moving.Offset);
        const TStylesPos caret{D.GetCaretItemNo(), D.GetCaretOffset()};
        const QByteArray before = RDFText(E);
        D.BeginUndoGroup(rdutPara);
        if (row.Convert) {
            E.StyleConversionHook = [](TCustomRichDocEdit*, int styleNo, int, int userData, bool appliedToText,
                                       int& newStyle, bool flag) {
                EXPECT_FALSE(appliedToText);
                EXPECT_TRUE(flag);
                newStyle = styleNo + userData;
            };
            D.ApplyParaStyle(3, true);
            StylesHookApply(E);
        } else {
            D.ApplyParaStyle(epHeading, false);
        }
        EXPECT_EQ(StylesParaNos(D), row.Expected);
        EXPECT_TRUE(DrawItemsMatchFreshFormat(E));
        EXPECT_EQ((TStylesPos{D.GetCaretItemNo(), D.GetCaretOffset()}), caret);
        if (!(row.Anchor == row.Moving)) {
            EXPECT_EQ(StylesAnchor(D), row.Anchor);
            EXPECT_EQ(StylesMoving(D), row.Moving);
        }
        EXPECT_EQ(D.CurrentParaNo, D.ItemAt(caret.Item)->ParaNo);
        ASSERT_EQ(D.UndoList->Count(), 1);
        EXPECT_EQ(D.UndoList->GetCurrentKind(), rdutPara);
        StylesExpectUndoRedo(E, before, RDFText(E));
    }
}

TEST_F(StylesTest, TheSameParagraphStyleRecordsNothing)
{
    FillEditor(E, {{{{"first"}}}, {{{"second"}}}});
    E.ClearUndoHistory();
    const QByteArray before = RDFText(E);
    PutCaret(E, 1, 2);
    D.ApplyParaStyle(epNormal, false);
    EXPECT_EQ(RDFText(E), before);
    EXPECT_EQ(D.UndoList->Count(), 0);
}

}  // namespace
