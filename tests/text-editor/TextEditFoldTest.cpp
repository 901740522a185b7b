// Code folding in the editor: collapsing and expanding brace blocks, reading
// the text through collapsed blocks, ranges that follow edits, the key
// filter on collapsed headers, undo and redo around folds, the fold bar
// clicked where it is drawn, and the collapsed-code hint.
#include "TextEdit.h"
#include "TextCompletion.h"
#include "TextEditCommandTable.h"
#include "TextEditHighlighter.h"
#include "TextFormattedText.h"

#include <QtGui/QImage>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// An editor folding brace blocks, its text scanned.
struct TFoldEditor {
    TTextEdit Edit;
    explicit TFoldEditor(const QStringList& lines)
    {
        Edit.resize(400, 300);
        Edit.Gutter().SetVisible(true);
        TFoldRegionItem* braces = Edit.CodeFolding().FoldRegions().Add();
        braces->Kind = 0;
        braces->Open = QStringLiteral("{");
        braces->Close = QStringLiteral("}");
        SetText(Edit, lines);
        Edit.CodeFolding().SetEnabled(true);
        Edit.RescanFolds();
    }
    TTextEditFoldRange* At(int line) { return Edit.FoldRangeAtLine(line); }
    void Collapse(int line)
    {
        ASSERT_NE(At(line), nullptr) << "no range on line " << line;
        Edit.CollapseFoldRange(At(line));
    }
};

// "head-last" of each visible range in list order, "*" after collapsed ones.
std::string FoldRangesOf(const TCustomTextEdit& e)
{
    std::string out;
    const TTextEditAllFoldRanges& all = e.AllFoldRanges();
    for (int i = 0; i < all.TotalCount(); ++i) {
        const TTextEditFoldRange* r = all.RangeAt(i);
        if (r->HiddenByParent)
            continue;
        if (!out.empty())
            out += ' ';
        out += std::to_string(r->HeadLine) + '-' + std::to_string(r->LastLine) + (r->IsCollapsed ? "*" : "");
    }
    return out;
}

QString FoldJoined(const QStringList& lines)
{
    QString out;
    for (const QString& s : lines)
        out += s + QStringLiteral("\r\n");
    return out;
}

const QStringList FoldSample{
    QStringLiteral("one"),       // 1
    QStringLiteral("two"),       // 2
    QStringLiteral("if {"),      // 3
    QStringLiteral("  a"),       // 4
    QStringLiteral("  b"),       // 5
    QStringLiteral("  c"),       // 6
    QStringLiteral("}"),         // 7
    QStringLiteral("loop {"),    // 8
    QStringLiteral("  d"),       // 9
    QStringLiteral("}"),         // 10
};

}  // namespace

TEST(TextEditFold, CollapseHidesTheBlockAndExpandGivesItBackExactly)
{
    TFoldEditor f(FoldSample);
    ASSERT_EQ(FoldRangesOf(f.Edit), "3-7 8-10");
    // Change marks of their own on the lines that go and on the header.
    const TTextLineState marks[] = {lsSaved, lsChanged, lsUnchanged, lsSaved, lsChanged};
    for (int i = 0; i < 5; ++i)
        *f.Edit.Lines().LineExtra(2 + i) = marks[i];
    f.Collapse(3);
    EXPECT_EQ(LinesOf(f.Edit), (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("if {     "),
                                            QStringLiteral("loop {"), QStringLiteral("  d"), QStringLiteral("}")}));
    EXPECT_EQ(FoldRangesOf(f.Edit), "3-7* 4-6");
    EXPECT_EQ(*f.Edit.Lines().LineExtra(2), lsSaved);
    // Lines after the block keep their numbers in the expanded text.
    EXPECT_EQ(f.Edit.ExpandedLineIndex(3), 3);
    EXPECT_EQ(f.Edit.ExpandedLineIndex(4), 8);
    EXPECT_EQ(f.Edit.ExpandedCopyOfLines(), FoldSample);

    f.Edit.ExpandFoldRange(f.At(3));
    EXPECT_EQ(LinesOf(f.Edit), FoldSample);
    EXPECT_EQ(FoldRangesOf(f.Edit), "3-7 8-10");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(*f.Edit.Lines().LineExtra(2 + i), marks[i]) << "line " << 3 + i;
}

TEST(TextEditFold, WholeTextReadsIncludeHiddenLinesAtAnyDepth)
{
    // Eleven blocks, each inside the one before, collapsed from the inside
    // out: the outer ones hold the inner ones with their hidden lines.
    QStringList lines{QStringLiteral("start")};
    for (int i = 0; i < 11; ++i)
        lines << QString(i, QLatin1Char(' ')) + QStringLiteral("b%1 {").arg(i);
    lines << QStringLiteral("core");
    for (int i = 10; i >= 0; --i)
        lines << QString(i, QLatin1Char(' ')) + QLatin1Char('}');
    lines << QStringLiteral("end");
    TFoldEditor f(lines);
    for (int depth = 10; depth >= 0; --depth)
        f.Collapse(2 + depth);
    ASSERT_EQ(f.Edit.Lines().Count(), 3);
    EXPECT_EQ(f.Edit.ReadFullText(), FoldJoined(lines));
    f.Edit.SelectWholeText();
    EXPECT_EQ(f.Edit.SelectedText(), FoldJoined(lines).chopped(2));
    // A selection on the collapsed header past its text takes its lines too.
    f.Edit.PlaceCaretCollapsed(BufferCoord(1, 2));
    f.Edit.SetSelectionEnd(BufferCoord(20, 2));
    EXPECT_EQ(f.Edit.SelectedText(), lines.mid(1, lines.size() - 2).join(QStringLiteral("\r\n")));
    f.Edit.SetSelectionMode(smLine);
    f.Edit.PlaceCaretCollapsed(BufferCoord(1, 2));
    f.Edit.SetSelectionEnd(BufferCoord(1, 2));
    f.Edit.SetSelectionEnd(BufferCoord(2, 2));
    EXPECT_EQ(f.Edit.SelectedText(), FoldJoined(lines.mid(1, lines.size() - 2)));
    // Switching folding off expands every level, the deepest too.
    f.Edit.SetSelectionMode(smNormal);
    f.Edit.CodeFolding().SetEnabled(false);
    EXPECT_EQ(LinesOf(f.Edit), lines);
}

TEST(TextEditFold, RangesFollowLinesInsertedAndRemovedAndUndoGivesTheTextBack)
{
    struct TCase {
        const char* name;
        TBufferCoord caret;
        TBufferCoord anchor;  // Char 0: none
        std::function<void(TCustomTextEdit&)> edit;
        std::string ranges;
    };
    const auto enter = [](TCustomTextEdit& e) { e.DispatchEditorCommand(ecLineBreak, QChar()); };
    const auto del = [](TCustomTextEdit& e) { e.DispatchEditorCommand(ecDeleteChar, QChar()); };
    const std::vector<TCase> cases{
        {"line break above both", BufferCoord(2, 1), {}, enter, "4-8 9-11"},
        {"line break inside the first", BufferCoord(2, 5), {}, enter, "3-8 9-11"},
        {"line break before the header's brace", BufferCoord(1, 3), {}, enter, "4-8 9-11"},
        {"line break after the header's brace", BufferCoord(5, 3), {}, enter, "3-8 9-11"},
        {"line break before the closing brace", BufferCoord(1, 7), {}, enter, "3-8 9-11"},
        {"line break after the closing brace", BufferCoord(2, 7), {}, enter, "3-7 9-11"},
        {"two lines above both removed", BufferCoord(1, 1), BufferCoord(1, 3), del, "1-5 6-8"},
        {"a line inside the first removed", BufferCoord(4, 4), BufferCoord(4, 5), del, "3-6 7-9"},
        {"pasted lines between them", BufferCoord(2, 7), {},
         [](TCustomTextEdit& e) { e.SetSelectedText(QStringLiteral("\r\nx\r\ny")); }, "3-7 10-12"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TFoldEditor f(FoldSample);
        f.Edit.PlaceCaretCollapsed(c.anchor.Char > 0 ? c.anchor : c.caret);
        if (c.anchor.Char > 0)
            f.Edit.SetSelectionEnd(c.caret);
        c.edit(f.Edit);
        EXPECT_EQ(FoldRangesOf(f.Edit), c.ranges);
        const QStringList edited = LinesOf(f.Edit);
        f.Edit.Undo();
        EXPECT_EQ(LinesOf(f.Edit), FoldSample);
        EXPECT_EQ(FoldRangesOf(f.Edit), "3-7 8-10");
        f.Edit.Redo();
        EXPECT_EQ(LinesOf(f.Edit), edited);
        EXPECT_EQ(FoldRangesOf(f.Edit), c.ranges);
    }
}

TEST(TextEditFold, KeysOnACollapsedHeader)
{
    // The block of lines 3..7 collapsed: its header is line 3, "if {" and
    // the marker's five blanks.
    struct TCase {
        const char* name;
        TBufferCoord caret;
        TBufferCoord anchor;  // Char 0: none
        Qt::Key key;
        QStringList expected;  // the text read whole afterwards
        bool collapsedAfter;   // the range on line 3 still collapsed
    };
    QStringList typedX = FoldSample;
    typedX[2] = QStringLiteral("x     ");
    typedX.remove(3, 4);
    QStringList breakAtEnd = FoldSample;
    breakAtEnd.insert(7, QString());
    QStringList breakAtStart = FoldSample;
    breakAtStart.insert(2, QString());
    QStringList joinedBack = FoldSample;
    joinedBack[1] = QStringLiteral("twoif {");
    joinedBack.removeAt(2);
    const std::vector<TCase> cases{
        {"a letter on the header is swallowed", BufferCoord(3, 3), {}, Qt::Key_X, FoldSample, true},
        {"a letter past its end too", BufferCoord(12, 3), {}, Qt::Key_X, FoldSample, true},
        {"Enter inside its text is swallowed", BufferCoord(3, 3), {}, Qt::Key_Return, FoldSample, true},
        {"Enter at its end expands, the break goes below", BufferCoord(5, 3), {}, Qt::Key_Return, breakAtEnd, false},
        {"Enter at character 1 expands", BufferCoord(1, 3), {}, Qt::Key_Return, breakAtStart, false},
        {"Backspace at character 1 expands and joins", BufferCoord(1, 3), {}, Qt::Key_Backspace, joinedBack, false},
        {"Delete at the end of the line above expands it", BufferCoord(4, 2), {}, Qt::Key_Delete, joinedBack, false},
        {"a header selected in part keeps it", BufferCoord(3, 3), BufferCoord(1, 3), Qt::Key_X, FoldSample, true},
        {"a header selected whole goes with its block", BufferCoord(5, 3), BufferCoord(1, 3), Qt::Key_X, typedX,
         false},
        {"the arrow keys pass", BufferCoord(3, 3), {}, Qt::Key_Right, FoldSample, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TFoldEditor f(FoldSample);
        f.Collapse(3);
        f.Edit.PlaceCaretCollapsed(c.anchor.Char > 0 ? c.anchor : c.caret);
        if (c.anchor.Char > 0) {
            f.Edit.SetCaretPos(c.caret);
            f.Edit.SetSelectionEnd(c.caret);
        }
        const QString before = f.Edit.ReadFullText();
        QTest::keyClick(&f.Edit, c.key);
        EXPECT_EQ(f.Edit.ReadFullText(), FoldJoined(c.expected));
        const TTextEditFoldRange* r = f.Edit.FoldRangeAtLine(3);
        EXPECT_EQ(r && r->IsCollapsed, c.collapsedAfter);
        if (f.Edit.ReadFullText() == before)
            continue;
        // Undone, the text comes back whole; redone, the edit again.
        const QString after = f.Edit.ReadFullText();
        while (f.Edit.CanUndo())
            f.Edit.Undo();
        EXPECT_EQ(f.Edit.ReadFullText(), before);
        while (f.Edit.CanRedo())
            f.Edit.Redo();
        EXPECT_EQ(f.Edit.ReadFullText(), after);
    }
}

TEST(TextEditFold, RemovingACollapsedHeaderIsUndoneWithItsHiddenLines)
{
    TFoldEditor f(FoldSample);
    f.Collapse(8);
    f.Collapse(3);
    const QString whole = f.Edit.ReadFullText();
    // Lines 2 to 4 (the first header among them) go.
    f.Edit.PlaceCaretCollapsed(BufferCoord(1, 2));
    f.Edit.SetSelectionEnd(BufferCoord(1, 4));
    f.Edit.DispatchEditorCommand(ecDeleteChar, QChar());
    EXPECT_EQ(LinesOf(f.Edit), (QStringList{QStringLiteral("one"), QStringLiteral("loop {     ")}));
    EXPECT_EQ(FoldRangesOf(f.Edit), "2-4*");
    EXPECT_EQ(f.Edit.ReadFullText(), FoldJoined({QStringLiteral("one"), QStringLiteral("loop {"), QStringLiteral("  d"),
                                                 QStringLiteral("}")}));
    f.Edit.Undo();
    EXPECT_EQ(f.Edit.ReadFullText(), whole);
    EXPECT_EQ(FoldRangesOf(f.Edit), "3-7* 4-6*");
    f.Edit.Redo();
    EXPECT_EQ(FoldRangesOf(f.Edit), "2-4*");
    f.Edit.Undo();
    EXPECT_EQ(f.Edit.ReadFullText(), whole);
    f.Edit.CodeFolding().SetEnabled(false);
    EXPECT_EQ(LinesOf(f.Edit), FoldSample);
}

TEST(TextEditFold, ANewBlockIsFoundWhenTheCaretMovesOnKeepingCollapsedOnes)
{
    TFoldEditor f(FoldSample);
    f.Collapse(3);
    // "one" becomes "one {" and "two" becomes "two }": two changed keywords.
    f.Edit.PlaceCaretCollapsed(BufferCoord(4, 1));
    f.Edit.DispatchEditorCommand(ecChar, QLatin1Char('{'));
    f.Edit.PlaceCaretCollapsed(BufferCoord(4, 2));
    f.Edit.DispatchEditorCommand(ecChar, QLatin1Char('}'));
    EXPECT_EQ(f.Edit.PendingFoldRescans(), 2);
    f.Edit.setFocus();
    QTest::keyClick(&f.Edit, Qt::Key_Down);
    EXPECT_EQ(f.Edit.PendingFoldRescans(), 0);
    EXPECT_EQ(FoldRangesOf(f.Edit), "1-2 3-7* 4-6");
    EXPECT_EQ(f.Edit.ReadFullText(), FoldJoined([] {
                  QStringList l = FoldSample;
                  l[0] += QLatin1Char('{');
                  l[1] += QLatin1Char('}');
                  return l;
              }()));
}

namespace {

// The middle of the fold bar's box on a row, found in the painted gutter:
// the box's frame is the only ink of the lines colour left of the centre
// line on a header row.
QPoint FoldBoxCentre(TCustomTextEdit& e, int row)
{
    const QImage image = e.grab().toImage();
    const QColor ink = ToQColor(e.CodeFolding().FolderBarLinesColor());
    const int top = (row - e.TopRow()) * e.RowHeight();
    int left = -1, right = -1, first = -1, last = -1;
    for (int y = top; y < top + e.RowHeight(); ++y)
        for (int x = e.GutterPixels() - 12; x < e.GutterPixels(); ++x)
            if (image.pixelColor(x, y) == ink) {
                left = left < 0 ? x : std::min(left, x);
                right = std::max(right, x);
                first = first < 0 ? y : first;
                last = y;
            }
    if (left < 0)
        return QPoint(-1, -1);
    return QPoint((left + right) / 2, (first + last) / 2);
}

}  // namespace

TEST(TextEditFold, TheFoldBarFoldsAndUnfoldsWhereItsBoxIsDrawn)
{
    TFoldEditor f(FoldSample);
    f.Edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.Edit));
    int gutterClicks = 0;
    f.Edit.OnGutterClick = [&](TCustomTextEdit*, Qt::MouseButton, int, int, int, TTextEditMark*, bool) {
        ++gutterClicks;
    };
    // No box beside a line that heads nothing.
    EXPECT_EQ(FoldBoxCentre(f.Edit, 2), QPoint(-1, -1));
    const QPoint box = FoldBoxCentre(f.Edit, 3);
    ASSERT_GE(box.x(), f.Edit.GutterPixels() - 10);
    QTest::mouseClick(&f.Edit, Qt::LeftButton, Qt::NoModifier, box);
    EXPECT_EQ(FoldRangesOf(f.Edit), "3-7* 4-6");
    EXPECT_EQ(f.Edit.Lines().Count(), 6);
    // Collapsed, the box shows a plus: ink above and below its middle.
    const QImage image = f.Edit.grab().toImage();
    const QColor ink = ToQColor(f.Edit.CodeFolding().FolderBarLinesColor());
    EXPECT_EQ(image.pixelColor(box.x(), box.y() - 2), ink);
    QTest::mouseClick(&f.Edit, Qt::LeftButton, Qt::NoModifier, box);
    EXPECT_EQ(LinesOf(f.Edit), FoldSample);
    EXPECT_EQ(gutterClicks, 0);
    // Left of the fold bar the gutter's own click fires.
    QTest::mouseClick(&f.Edit, Qt::LeftButton, Qt::NoModifier, QPoint(2, box.y()));
    EXPECT_EQ(gutterClicks, 1);
    EXPECT_EQ(LinesOf(f.Edit), FoldSample);
}

TEST(TextEditFold, TheHintOverTheMarkerShowsTheHiddenLinesAsTyped)
{
    QStringList lines = FoldSample;
    lines[3] = QStringLiteral("  \\style{+B}bold\\");
    lines[4] = QStringLiteral("\tb");
    TFoldEditor f(lines);
    f.Edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.Edit));
    f.Collapse(3);
    f.Edit.grab();  // the painter places the marker
    const TTextEditFoldRange* r = f.At(3);
    const QRect mark = f.Edit.CollapseMarkRect(r, 3);
    ASSERT_GE(mark.left(), f.Edit.GutterPixels());
    // The marker is drawn there: silver inside a black frame.
    const QImage image = f.Edit.grab().toImage();
    EXPECT_EQ(image.pixelColor(mark.left(), mark.center().y()), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(mark.left() + 1, mark.top() + 1), QColor(0xC0, 0xC0, 0xC0));

    QTest::mouseMove(&f.Edit, mark.center());
    ASSERT_TRUE(f.Edit.HintPopupShowing());
    const QStringList items = f.Edit.HintPopup().ItemList();
    ASSERT_EQ(items.size(), 5);
    // Each line reads back exactly as typed, tabs as blanks.
    const QStringList shown{QStringLiteral("if {"), lines[3], QStringLiteral("        b"), lines[5], lines[6]};
    for (int i = 0; i < items.size(); ++i) {
        TFormatChunkList chunks;
        ParseFormattedText(items[i], chunks, {});
        QString text;
        for (int c = 0; c < chunks.Count(); ++c)
            if (chunks.Chunks(c)->ChunkType == TFormatChunkType::Text)
                text += chunks.Chunks(c)->Str;
        EXPECT_EQ(text, shown[i]) << "item " << i;
    }
    EXPECT_EQ(items, f.Edit.CollapsedHintLines(r));
    QTest::mouseMove(&f.Edit, QPoint(mark.right() + 40, mark.center().y()));
    EXPECT_FALSE(f.Edit.HintPopupShowing());
}

TEST(TextEditFold, TheHintStopsAtFortyOneHiddenLines)
{
    QStringList lines{QStringLiteral("{")};
    for (int i = 0; i < 50; ++i)
        lines << QStringLiteral("l%1").arg(i);
    lines << QStringLiteral("}") << QStringLiteral("after");
    TFoldEditor f(lines);
    f.Collapse(1);
    const QStringList hint = f.Edit.CollapsedHintLines(f.At(1));
    ASSERT_EQ(hint.size(), 43);
    EXPECT_EQ(hint[41], QStringLiteral("l40"));
    EXPECT_EQ(hint[42], QStringLiteral("..."));
}

namespace {

// Double-quoted strings as "String" tokens, everything else one "Text"
// token per character.
class TFoldStringHighlighter : public TTextCustomHighlighter {
public:
    TFoldStringHighlighter()
    {
        AddAttribute(std::make_unique<TTextTokenAttr>(QStringLiteral("String")));
        AddAttribute(std::make_unique<TTextTokenAttr>(QStringLiteral("Text")));
    }
    TTextTokenAttr* StandardAttribute(int) const override { return AttributeAt(1); }
    bool AtEndOfLine() const override { return FPos >= FLine.size(); }
    QString Token() const override { return FLine.mid(FPos, FLength); }
    TTextTokenAttr* TokenAttribute() const override
    {
        return FLine.at(FPos) == QLatin1Char('"') ? FindAttribute(QStringLiteral("String")) : FindAttribute(QStringLiteral("Text"));
    }
    int TokenKind() const override { return 0; }
    int TokenPosition() const override { return static_cast<int>(FPos); }
    void NextToken() override
    {
        FPos += FLength;
        Measure();
    }
    void SetLine(const QString& line, int) override
    {
        FLine = line;
        FPos = 0;
        Measure();
    }

private:
    TTextTokenAttr* FindAttribute(const QString& name) const
    {
        for (int i = 0; i < AttributeCount(); ++i)
            if (AttributeAt(i)->Name() == name)
                return AttributeAt(i);
        return nullptr;
    }
    void Measure()
    {
        FLength = 1;
        if (FPos < FLine.size() && FLine.at(FPos) == QLatin1Char('"')) {
            const qsizetype end = FLine.indexOf(QLatin1Char('"'), FPos + 1);
            FLength = end < 0 ? FLine.size() - FPos : end - FPos + 1;
        }
    }
    QString FLine;
    qsizetype FPos = 0;
    qsizetype FLength = 1;
};

}  // namespace

TEST(TextEditFold, BracesInAHighlighterStringOpenAndCloseNothing)
{
    TFoldEditor f({QStringLiteral("a {"), QStringLiteral("  s = \"{ }\" + \"{\";"), QStringLiteral("  t;"),
                   QStringLiteral("}"), QStringLiteral("end")});
    EXPECT_EQ(FoldRangesOf(f.Edit), "1-4 2-2 2-4");  // without a highlighter the strings count
    TFoldStringHighlighter highlighter;
    f.Edit.CodeFolding().SetHighlighterFoldRegions(false);  // the editor's regions, and a rescan
    f.Edit.SetHighlighter(&highlighter);
    f.Edit.RescanFolds();
    EXPECT_EQ(FoldRangesOf(f.Edit), "1-4");
    f.Edit.SetHighlighter(nullptr);
}

TEST(TextEditFold, NewSettingsExpandTheOldRangesAndScanAgain)
{
    TFoldEditor f(FoldSample);
    f.Collapse(3);
    // Other settings with their own regions: keywords instead of braces.
    TTextCodeFolding settings;
    TFoldRegionItem* loop = settings.FoldRegions().Add();
    loop->Kind = 1;
    loop->Open = QStringLiteral("loop");
    loop->Close = QStringLiteral("}");
    settings.SetEnabled(true);
    f.Edit.SetCodeFolding(settings);
    EXPECT_EQ(LinesOf(f.Edit), FoldSample);
    EXPECT_EQ(FoldRangesOf(f.Edit), "8-10");
}
