#include <gtest/gtest.h>

#include <QtCore/QBuffer>
#include <QtCore/QTemporaryDir>

#include "RDETypingTestSupport.h"
#include "core/RDError.h"
#include "document/RDTextItems.h"
#include "editing/RDEdit.h"
#include "items/RDMarkerItems.h"

// Inserting text and RDF documents at the caret, on an offscreen editor.

namespace {

// The document as a line: "|" starts a paragraph, "/" a line, "+" another
// item of the same line, "^" a page break, "<tab>" a tab item.
QString InsertShape(const TTypingEditor& e)
{
    QString shape;
    for (int i = 0; i < e.Count(); ++i) {
        const TCustomRDItemInfo* item = e.Item(i);
        if (i > 0)
            shape += item->StartsParagraph() ? QStringLiteral("|")
                     : item->HasLineBreakBefore() ? QStringLiteral("/")
                                                  : QStringLiteral("+");
        if (item->BreaksPageBefore())
            shape += QLatin1Char('^');
        if (item->StyleNo == MarkerStyleNo)
            shape += QStringLiteral("<") + QString::fromLatin1(static_cast<const TRDMarkerItemInfo*>(item)->DisplayString)
                     + QStringLiteral(">");
        else
            shape += item->StyleNo == TabStyleNo ? QStringLiteral("<tab>") : e.Edit->GetItemTextW(i);
    }
    return shape;
}

class RDEInsertTest : public ::testing::Test {
protected:
    TTypingSheet Sheet;
};

// Text cut into paragraphs, lines, tabs and page breaks, inserted between X
// and Y of one text item of the current style: both halves join the first
// and last inserted lines, the caret ends after the text, and undo and redo
// give the documents back byte for byte.
TEST_F(RDEInsertTest, TextIsCutIntoParagraphsLinesTabsAndPageBreaks)
{
    struct Case {
        const char* Name;
        QString Text;
        bool Unicode;      // inserted as UTF-16
        int Style;         // the current text style (the document's)
        int SpacesInTab;
        QString Shape;
        int CaretItem, CaretOffset;
    };
    const Case cases[] = {
        {"a CR LF b", QStringLiteral("a\r\nb"), false, tsPlain, 0, QStringLiteral("Xa|bY"), 1, 2},
        {"a LF CR b", QStringLiteral("a\n\rb"), false, tsPlain, 0, QStringLiteral("Xa|bY"), 1, 2},
        {"a CR CR b", QStringLiteral("a\r\rb"), false, tsPlain, 0, QStringLiteral("Xa||bY"), 2, 2},
        {"a LF LF b", QStringLiteral("a\n\nb"), false, tsPlain, 0, QStringLiteral("Xa||bY"), 2, 2},
        {"tab, no spaces", QStringLiteral("a\tb"), false, tsPlain, 0, QStringLiteral("Xa+<tab>+bY"), 2, 2},
        {"tab, four spaces", QStringLiteral("a\tb"), false, tsPlain, 4, QStringLiteral("Xa    bY"), 0, 8},
        {"form feed", QStringLiteral("a\fb"), false, tsPlain, 0, QStringLiteral("Xa|^bY"), 1, 2},
        {"form feed first", QStringLiteral("\fb"), false, tsPlain, 0, QStringLiteral("X|^bY"), 1, 2},
        {"ANSI into UTF-16 text", QStringLiteral("a\r\nb"), false, tsUnicode, 0, QStringLiteral("Xa|bY"), 1, 2},
        {"UTF-16 line separator", QStringLiteral("a\u2028b"), true, tsPlain, 0, QStringLiteral("Xa/bY"), 1, 2},
        {"UTF-16 vertical tab", QStringLiteral("a\vb"), true, tsUnicode, 0, QStringLiteral("Xa/bY"), 1, 2},
        {"UTF-16 paragraph separator", QStringLiteral("a\u2029b"), true, tsUnicode, 0, QStringLiteral("Xa|bY"), 1,
         2},
        {"UTF-16 form feed after a line break", QStringLiteral("a\u2028b\fc"), true, tsUnicode, 0,
         QStringLiteral("Xa/b/^cY"), 2, 2},
        {"UTF-16 form feed after a paragraph break", QStringLiteral("a\u2029b\fc"), true, tsUnicode, 0,
         QStringLiteral("Xa|b|^cY"), 2, 2},
        {"UTF-16 tab, four spaces", QStringLiteral("a\tb"), true, tsUnicode, 4, QStringLiteral("Xa    bY"), 0, 8},
        {"UTF-16 with a byte-order mark", QStringLiteral("\uFEFFab"), true, tsPlain, 0, QStringLiteral("XabY"), 0,
         4},
    };
    for (const Case& c : cases) {
        Sheet.SpacesInTab = c.SpacesInTab;
        TTypingEditor e(&Sheet);
        e.Para(QStringLiteral("XY"), c.Style);
        e.Format();
        e.Caret(0, 2);
        e.Data->CurrentTextStyleNo = c.Style;
        const QByteArray before = e.Rdf();
        const QByteArray text = c.Unicode ? TypingUtf16(c.Text) : c.Text.toLatin1();
        TypingInsertText(*e.Data, text, c.Unicode);
        EXPECT_EQ(InsertShape(e), c.Shape) << c.Name;
        EXPECT_EQ(e.CaretItem(), c.CaretItem) << c.Name;
        EXPECT_EQ(e.CaretOffset(), c.CaretOffset) << c.Name;
        for (int i = 0; i < e.Count(); ++i) {
            if (e.Item(i)->StyleNo >= 0) {
                EXPECT_EQ(bool(e.Item(i)->ItemOptions & rdioUnicode), c.Style == tsUnicode) << c.Name << " " << i;
            }
        }
        e.ExpectFreshLayout(c.Name);
        const QByteArray after = e.Rdf();
        ASSERT_EQ(e.Data->UndoList->Count(), 1) << c.Name;
        e.Undo();
        EXPECT_EQ(e.Rdf(), before) << c.Name;
        e.ExpectFreshLayout(c.Name);
        e.Redo();
        EXPECT_EQ(e.Rdf(), after) << c.Name;
        e.ExpectFreshLayout(c.Name);
    }
    Sheet.SpacesInTab = 0;
}

// With the caret-at-start flag the caret stays before the inserted text.
TEST_F(RDEInsertTest, CaretAtStartStaysBeforeTheText)
{
    TTypingEditor e(&Sheet);
    e.Para(QStringLiteral("XY"));
    e.Format();
    e.Caret(0, 2);
    TypingInsertText(*e.Data, QByteArray("ab\r\ncd"), false, true);
    EXPECT_EQ(InsertShape(e), QStringLiteral("Xab|cdY"));
    EXPECT_EQ(e.CaretItem(), 0);
    EXPECT_EQ(e.CaretOffset(), 2);
}

// UTF-16 text of an odd byte length is refused with the core's error, and
// text of only a byte-order mark inserts nothing.
TEST_F(RDEInsertTest, OddOrEmptyUtf16Text)
{
    TTypingEditor e(&Sheet);
    e.Para(QStringLiteral("XY"));
    e.Format();
    e.Caret(0, 2);
    const QByteArray before = e.Rdf();
    try {
        e.Data->InsertTextW(QByteArray("a\0b", 3), false, false);
        ADD_FAILURE() << "no error";
    } catch (const ERichDocError& error) {
        EXPECT_STREQ(error.what(), "Can't perform Unicode operation");
    }
    EXPECT_EQ(e.Rdf(), before);
    e.Data->InsertTextW(TypingUtf16(QStringLiteral("\uFEFF")), false, false);
    EXPECT_EQ(e.Rdf(), before);
    e.Data->InsertTextW(QByteArray("\xFF\xFE", 2), false, false);
    EXPECT_EQ(e.Rdf(), before);
}

// A read-only paragraph at the caret refuses the first chunk with one beep;
// nothing changes.
TEST_F(RDEInsertTest, ARefusedFirstChunkStopsTheRun)
{
    TTypingEditor e(&Sheet);
    e.Para(QStringLiteral("fixed"), tsPlain, psReadOnly);
    e.Format();
    e.Caret(0, 3);
    const QByteArray before = e.Rdf();
    TTypingBeeps beeps;
    e.Data->InsertText(QByteArray("a\r\nb"), false, false);
    EXPECT_EQ(e.Rdf(), before);
    EXPECT_EQ(TTypingBeeps::Count, 1);
}

// Text files: NUL characters become "?"; a missing file answers false.
TEST_F(RDEInsertTest, TextFromFiles)
{
    TTypingEditor e(&Sheet);
    e.Para(QStringLiteral("XY"));
    e.Format();
    e.Caret(0, 2);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_FALSE(e.Data->InsertTextFromFile(dir.filePath(QStringLiteral("missing.txt")), false, false));
    const QString path = dir.filePath(QStringLiteral("text.txt"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("a\0b\r\nc", 6));
    }
    e.Data->BeginUndoGroup(rdutInsert);
    EXPECT_TRUE(e.Data->InsertTextFromFile(path, true, false));
    EXPECT_EQ(InsertShape(e), QStringLiteral("Xa?b|cY"));
    e.ExpectFreshLayout("file");
}

// RDF read at the caret: a document with another background colour leaves
// the editor's colour alone; the block joins the split halves; undo and redo
// are exact.
TEST_F(RDEInsertTest, RdfAtTheCaretKeepsTheEditorsColour)
{
    TTypingEditor source(&Sheet);
    source.Edit->SetColor(0x0000FF);
    source.Edit->RDFOptions |= rdfoSaveBack;
    source.Para(QStringLiteral("in"));
    source.Para(QStringLiteral("out"));
    source.Format();
    TRDMemoryStream saved;
    ASSERT_TRUE(source.Edit->SaveRDFToStream(saved, false));
    QByteArray rdf = saved.ToBytes();

    TTypingEditor e(&Sheet);
    e.Edit->SetColor(0x00FF00);
    e.Edit->RDFOptions |= rdfoLoadBack;
    e.Para(QStringLiteral("XY"));
    e.Format();
    e.Caret(0, 2);
    const QByteArray before = e.Rdf();
    QBuffer buffer(&rdf);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    ASSERT_TRUE(e.Data->InsertRDFFromStream(buffer));
    e.Data->DoChange(true);
    EXPECT_EQ(e.Edit->Color(), TColor(0x00FF00));
    EXPECT_EQ(InsertShape(e), QStringLiteral("Xin|outY"));
    EXPECT_EQ(e.CaretItem(), 1);
    EXPECT_EQ(e.CaretOffset(), 4);
    e.ExpectFreshLayout("rdf");
    const QByteArray after = e.Rdf();
    ASSERT_EQ(e.Data->UndoList->Count(), 1);
    EXPECT_EQ(e.Data->UndoList->GetCurrentKind(), rdutInsert);
    e.Undo();
    EXPECT_EQ(e.Rdf(), before);
    e.Redo();
    EXPECT_EQ(e.Rdf(), after);
}

// Text inserted into a list paragraph repeats the list marker for every new
// paragraph, the numbers after it follow, and undo gives the list back.
TEST_F(RDEInsertTest, TextInAListParagraphRepeatsTheMarker)
{
    TTypingEditor e(&Sheet);
    for (const char* text : {"one", "two"}) {
        e.Data->AddItem(QByteArray(), std::make_unique<TRDMarkerItemInfo>(e.Data, 0, 0, 1, false));
        e.More(QString::fromLatin1(text), tsPlain);
    }
    e.Format();
    ASSERT_EQ(InsertShape(e), QStringLiteral("<1.>+one|<2.>+two"));
    e.Caret(1, 4);
    const QByteArray before = e.Rdf();
    TypingInsertText(*e.Data, QByteArray("A\r\nB\fC"), false);
    EXPECT_EQ(InsertShape(e), QStringLiteral("<1.>+oneA|<2.>+B|<3.>+C|<4.>+two"));
    EXPECT_EQ(e.CaretItem(), 5);
    EXPECT_EQ(e.CaretOffset(), 2);
    e.ExpectFreshLayout("list");
    const QByteArray after = e.Rdf();
    e.Undo();
    EXPECT_EQ(e.Rdf(), before);
    EXPECT_EQ(InsertShape(e), QStringLiteral("<1.>+one|<2.>+two"));
    e.Redo();
    EXPECT_EQ(e.Rdf(), after);
}

}  // namespace
