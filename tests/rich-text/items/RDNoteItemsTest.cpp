// Notes and their documents: numbering of footnotes and endnotes, note
// references, the note document's place, note records in both forms and
// notes nested without end.

#include <gtest/gtest.h>

#include <QtCore/QtEndian>

#include "core/RDHookGuard.h"
#include "RDDocTestSupport.h"
#include "RDFTestIO.h"
#include "RDMarkerTestSupport.h"
#include "items/RDNoteItems.h"
#include "RDSeqTestSupport.h"
#include "document/RDTextItems.h"

namespace {

using TNoteDoc = TWithSeqList<TWithMarkerList<TTestRDData>>;

class NoteTest : public ::testing::Test {
protected:
    template <typename TNote>
    TNote* AddNote(TCustomRDData& doc, const QByteArray& text)
    {
        auto note = TNote::CreateEx(&doc, 0, 0, false);
        TNote* n = note.get();
        doc.AddItem(QByteArray(), note.release());
        if (!text.isEmpty())
            n->NoteDocument->AddTextRawNoTag(text, 0, 0);
        return n;
    }
    TRDNoteReferenceItemInfo* AddReference(TCustomRDNoteItemInfo& note)
    {
        auto ref = TRDNoteReferenceItemInfo::CreateEx(note.NoteDocument.get(), 0);
        TRDNoteReferenceItemInfo* r = ref.get();
        note.NoteDocument->AddItem(QByteArray(), ref.release());
        return r;
    }
    static void Layout(TRDLabelItemInfo& label)
    {
        int extra = 0, descent = 0;
        label.OnDocWidthChange(600, nullptr, false, nullptr, label.Document, nullptr, extra, descent);
    }

    TTestStyleSheet Sheet;
    TNoteDoc Doc{&Sheet};
};

TEST_F(NoteTest, FootnotesAndEndnotesCountApartInTheSheetsNumbering)
{
    Sheet.FootnoteNumbering = TRDSeqType::rdseqUpperAlpha;
    Sheet.EndnoteNumbering = TRDSeqType::rdseqLowerRoman;
    auto* f1 = AddNote<TRDFootnoteItemInfo>(Doc, "one");
    auto* e1 = AddNote<TRDEndnoteItemInfo>(Doc, "end");
    auto* f2 = AddNote<TRDFootnoteItemInfo>(Doc, "two");
    EXPECT_EQ(f1->Text, "A");
    EXPECT_EQ(f2->Text, "B");
    EXPECT_EQ(e1->Text, "i");
    EXPECT_EQ(f1->StyleNo, FootnoteStyleNo);
    EXPECT_EQ(e1->StyleNo, EndnoteStyleNo);
    // The numbering type is the sheet's, whatever is set.
    f1->SetNumberType(TRDSeqType::rdseqDecimal);
    EXPECT_EQ(f1->GetNumberType(), TRDSeqType::rdseqUpperAlpha);
    EXPECT_EQ(FindFirstFootnote(&Doc), f1);
    EXPECT_EQ(FindNextNote(&Doc, f1, FootnoteStyleNo), f2);
    EXPECT_EQ(FindNextNote(&Doc, f2, FootnoteStyleNo), nullptr);
    EXPECT_EQ(FindFirstEndnote(&Doc), e1);
    TTestRDData plain(&Sheet);
    EXPECT_EQ(FindFirstFootnote(&plain), nullptr);
}

TEST_F(NoteTest, ReferenceShowsItsNotesNumberAndFollowsItAtTheNextLayout)
{
    auto* first = AddNote<TRDFootnoteItemInfo>(Doc, "one");
    auto* second = AddNote<TRDFootnoteItemInfo>(Doc, "two ");
    TRDNoteReferenceItemInfo* ref = AddReference(*second);
    EXPECT_EQ(ref->Text, "2");
    EXPECT_EQ(ref->GetDisplayText(ref->Document, nullptr), "2");
    Layout(*ref);
    EXPECT_TRUE(ref->Measured);
    (void)first;
    Doc.DeleteItemRange(0, 1);
    EXPECT_EQ(second->Text, "1");
    EXPECT_EQ(ref->GetDisplayText(ref->Document, nullptr), "1");
    EXPECT_EQ(ref->Text, "2");
    Layout(*ref);
    EXPECT_EQ(ref->Text, "1");
    EXPECT_TRUE(ref->Measured);
    TRDRTFExportContext rtf;
    EXPECT_EQ(ref->SaveRTF(ref->Document, 1, rtf), "\\chftn ");
}

TEST_F(NoteTest, NoteDocumentAnswersThroughTheMainDocumentAndNumbersApart)
{
    auto* note = AddNote<TRDFootnoteItemInfo>(Doc, "");
    TRDNoteData& notes = *note->NoteDocument;
    EXPECT_EQ(notes.GetRDStyle(), &Sheet);
    EXPECT_EQ(notes.GetAbsoluteRootData(), &Doc);
    EXPECT_EQ(notes.GetControlFlags(), 0x412);
    Doc.Options = rdoTagsArePChars;
    EXPECT_EQ(notes.GetOptions(), rdoTagsArePChars);
    Doc.Options = 0;
    auto outside = TRDSeqItemInfo::CreateEx(&Doc, "figure", TRDSeqType::rdseqDecimal, 0, 0, false);
    TRDSeqItemInfo* o = outside.get();
    Doc.AddItem(QByteArray(), outside.release());
    auto inside = TRDSeqItemInfo::CreateEx(&notes, "figure", TRDSeqType::rdseqDecimal, 0, 0, false);
    TRDSeqItemInfo* in = inside.get();
    notes.AddItem(QByteArray(), inside.release());
    EXPECT_EQ(o->Text, "1");
    EXPECT_EQ(in->Text, "1");
    ASSERT_TRUE(notes.GetSeqList(false));
    EXPECT_EQ(notes.GetSeqList(false)->Count(), 1);
    EXPECT_EQ(Doc.GetSeqList(false)->Count(), 2);
}

TEST_F(NoteTest, CopiedNoteHasADocumentOfItsOwn)
{
    auto* note = AddNote<TRDFootnoteItemInfo>(Doc, "the note");
    std::unique_ptr<TCustomRDItemInfo> copy = CreateItemCopy(*note, &Doc, false);
    auto* c = dynamic_cast<TRDFootnoteItemInfo*>(copy.get());
    ASSERT_TRUE(c);
    ASSERT_EQ(c->NoteDocument->ItemCount(), 1);
    EXPECT_EQ(c->NoteDocument->TextOfItem(0), "the note");
    c->NoteDocument->SetTextOfItem(0, "changed");
    EXPECT_EQ(note->NoteDocument->TextOfItem(0), "the note");
}

TEST_F(NoteTest, SavingANoteDocumentWritesNoStyleTables)
{
    auto* note = AddNote<TRDFootnoteItemInfo>(Doc, "x");
    Doc.RDFOptions = rdfoSaveTextStyles | rdfoSaveParaStyles | rdfoSaveDocProperties;
    TRDMemoryStream stream;
    ASSERT_TRUE(note->NoteDocument->SaveToMemoryStream(stream));
    EXPECT_EQ(stream.ToBytes(), "-8 1 3\r\n0 1 0 0 0 0\r\nx\r\n");
}

TEST_F(NoteTest, OutputLinksToTheNoteAndLeavesItsTextToTheExport)
{
    auto* f = AddNote<TRDFootnoteItemInfo>(Doc, "x");
    auto* e = AddNote<TRDEndnoteItemInfo>(Doc, "y");
    TRDHTMLImageContext html;
    EXPECT_EQ(f->SaveToHTML(&Doc, 0, html), "<a href=\"#footnote0\">1</a>");
    EXPECT_EQ(e->SaveToHTML(&Doc, 1, html), "<a href=\"#endnote1\">i</a>");
    TRDRTFExportContext rtf;
    EXPECT_EQ(f->SaveRTF(&Doc, 0, rtf), "\\chftn{\\footnote }");
    EXPECT_EQ(e->SaveRTF(&Doc, 1, rtf), "\\chftn{\\footnote\\ftnalt }");
    TRDHookGuard writer(SaveDocumentRTFHook,
                        [](TCustomRDData* doc, TRDRTFExportContext&) { return doc->TextOfItem(0); });
    EXPECT_EQ(f->SaveRTF(&Doc, 0, rtf), "\\chftn{\\footnote x}");
}

// What the stand-in RTF export was asked; the installed hooks come back when
// the test ends, whatever it asserted.
struct TRTFHookCalls {
    static inline std::vector<TCustomRDData*> Documents;
    static inline std::vector<const TRDRTFExportContext*> Contexts;
    static inline std::vector<TRDColorList*> ColorLists;
    static inline std::vector<TRDIntegerList*> ListLists;
    TRTFHookCalls()
    {
        Documents.clear();
        Contexts.clear();
        ColorLists.clear();
        ListLists.clear();
    }
    TRDHookGuard<TRDDocumentRTFHook> Writer{SaveDocumentRTFHook,
                                            [](TCustomRDData* doc, TRDRTFExportContext& context) {
                                                Documents.push_back(doc);
                                                Contexts.push_back(&context);
                                                QByteArray body = "{BODY";
                                                for (int i = 0; i < doc->ItemCount(); ++i)
                                                    body += ' ' + doc->TextOfItem(i);
                                                return body + '}';
                                            }};
    TRDHookGuard<TRDDocumentRTFTablesHook> Tables{
        MakeDocumentRTFTablesHook, [](TCustomRDData* doc, TRDColorList& colors, TRDIntegerList* lists) {
            Documents.push_back(doc);
            ColorLists.push_back(&colors);
            ListLists.push_back(lists);
        }};
};

TEST_F(NoteTest, TheRTFExportWritesEachNotesOwnDocumentInsideItsGroup)
{
    auto* f = AddNote<TRDFootnoteItemInfo>(Doc, "first");
    auto* e = AddNote<TRDEndnoteItemInfo>(Doc, "end");
    f->NoteDocument->AddTextRawNoTag("more", 0, 0);
    TRTFHookCalls calls;
    TRDColorList colors;
    TRDIntegerList lists;
    TRDRTFExportContext rtf;
    rtf.Colors = &colors;
    rtf.ListOverrides = &lists;

    f->FillRTFTables(colors, &lists, &Doc);
    e->FillRTFTables(colors, &lists, &Doc);
    ASSERT_EQ(calls.Documents.size(), 2u);
    EXPECT_EQ(calls.Documents[0], f->NoteDocument.get());
    EXPECT_EQ(calls.Documents[1], e->NoteDocument.get());
    EXPECT_EQ(calls.ColorLists, std::vector<TRDColorList*>({&colors, &colors}));
    EXPECT_EQ(calls.ListLists, std::vector<TRDIntegerList*>({&lists, &lists}));

    calls.Documents.clear();
    EXPECT_EQ(f->SaveRTF(&Doc, 0, rtf), "\\chftn{\\footnote {BODY first more}}");
    EXPECT_EQ(e->SaveRTF(&Doc, 1, rtf), "\\chftn{\\footnote\\ftnalt {BODY end}}");
    EXPECT_EQ(calls.Documents, std::vector<TCustomRDData*>({f->NoteDocument.get(), e->NoteDocument.get()}));
    // The note's document is written with the export's own tables.
    EXPECT_EQ(calls.Contexts, std::vector<const TRDRTFExportContext*>({&rtf, &rtf}));

    // A reference inside the note writes its mark whatever the export does.
    TRDNoteReferenceItemInfo* ref = AddReference(*f);
    EXPECT_EQ(ref->SaveRTF(f->NoteDocument.get(), 2, rtf), "\\chftn ");
}

TEST_F(NoteTest, FootnotesRestartingOnEveryPagePrintTheirPageNumber)
{
    auto* note = AddNote<TRDFootnoteItemInfo>(Doc, "x");
    AddNote<TRDFootnoteItemInfo>(Doc, "y");
    auto* last = static_cast<TRDFootnoteItemInfo*>(Doc.ItemAt(1));
    EXPECT_EQ(last->Text, "2");
    Sheet.FootnotePageReset = true;
    Sheet.FootnoteNumbering = TRDSeqType::rdseqLowerRoman;
    EXPECT_EQ(last->GetPrintText(&Doc), "iv");
    std::unique_ptr<TRDDrawLineInfo> drawItem = last->CreatePrintDrawItem(&Doc, nullptr);
    auto* footnoteItem = dynamic_cast<TRDFootnoteDrawItem*>(drawItem.get());
    ASSERT_TRUE(footnoteItem);
    footnoteItem->PageRelatedIndex = 3;
    EXPECT_EQ(last->GetDisplayText(&Doc, footnoteItem), "iii");
    EXPECT_EQ(last->GetDisplayText(&Doc, nullptr), "2");
    Sheet.FootnotePageReset = false;
    EXPECT_EQ(last->GetPrintText(&Doc), "2");
    EXPECT_FALSE(dynamic_cast<TRDFootnoteDrawItem*>(last->CreatePrintDrawItem(&Doc, nullptr).get()));
    (void)note;
}

// Records.

QByteArray Hex(const QByteArray& bytes)
{
    return bytes.toHex().toUpper();
}

QByteArray Block(const QByteArray& bytes)
{
    QByteArray length(4, '\0');
    qToLittleEndian<int32_t>(static_cast<int32_t>(bytes.size()), length.data());
    return length + bytes;
}

const QByteArray NoteText = "-8 1 3\r\n"
                            "0 1 0 0 0 0\r\n"
                            "note text\r\n"
                            "-205 5 -1 1 0 0 0\r\n"
                            "0\r\n"
                            "0\r\n"
                            "0\r\n"
                            "no-protect\r\n"
                            "\r\n";

TEST_F(NoteTest, NoteRecordWithTheDocumentAsAHexLine)
{
    const QByteArray text = "-8 1 3\r\n"
                            "-203 8 0 0 0 0 0\r\n"
                            "0\r\n"
                            "0\r\n"
                            "0\r\n"
                            "no-protect\r\n"
                            "0\r\n"
                            "0\r\n"
                            "fn\r\n"
                            + Hex(NoteText) + "\r\n";
    ASSERT_TRUE(Load(Doc, text));
    ASSERT_EQ(Doc.ItemCount(), 1);
    auto* note = dynamic_cast<TRDFootnoteItemInfo*>(Doc.ItemAt(0));
    ASSERT_TRUE(note);
    EXPECT_EQ(note->Text, "1");
    EXPECT_EQ(Doc.TextOfItem(0), "fn");
    ASSERT_EQ(note->NoteDocument->ItemCount(), 2);
    EXPECT_EQ(note->NoteDocument->TextOfItem(0), "note text");
    auto* ref = dynamic_cast<TRDNoteReferenceItemInfo*>(note->NoteDocument->ItemAt(1));
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->GetDisplayText(ref->Document, nullptr), "1");
    EXPECT_EQ(QString::fromLatin1(Save(Doc)).toStdString(), QString::fromLatin1(text).toStdString());
}

TEST_F(NoteTest, NoteRecordWithTheDocumentAsABinaryBlock)
{
    const QByteArray text = "-8 1 3\r\n"
                            "-204 9 0 0 2 0 0\r\n"
                            "0\r\n"
                            "0\r\n"
                            "0\r\n"
                            "protect\r\n"
                            "1\r\n"
                            "5\r\n"
                            "en\r\n"
                            "hint=see\r\n"
                            + Block(NoteText);
    Doc.RDFOptions = rdfoSaveBinary;
    ASSERT_TRUE(Load(Doc, text));
    ASSERT_EQ(Doc.ItemCount(), 1);
    auto* note = dynamic_cast<TRDEndnoteItemInfo*>(Doc.ItemAt(0));
    ASSERT_TRUE(note);
    EXPECT_TRUE(note->Reset);
    EXPECT_EQ(note->StartFrom, 5);
    EXPECT_TRUE(note->ProtectTextStyleNo);
    EXPECT_EQ(note->Hint, "see");
    EXPECT_EQ(note->Text, "v");
    EXPECT_EQ(note->NoteDocument->ItemCount(), 2);
    EXPECT_EQ(QString::fromLatin1(Save(Doc)).toStdString(), QString::fromLatin1(text).toStdString());
}

TEST_F(NoteTest, DamagedNoteRecordsFail)
{
    const QByteArray head = "-8 1 3\r\n-203 8 0 0 0 0 0\r\n0\r\n0\r\n0\r\nno-protect\r\n0\r\n0\r\n\r\n";
    EXPECT_FALSE(Load(Doc, head + "4G\r\n"));
    EXPECT_FALSE(Load(Doc, head + Hex("-8 1 3\r\nnot a header\r\n") + "\r\n"));
    // Too few lines to hold the note's document.
    EXPECT_FALSE(Load(Doc, "-8 1 3\r\n-203 2 0 0 0 0 0\r\n0\r\n0\r\n"));
    EXPECT_FALSE(Load(Doc, "-8 1 3\r\n-203 8 0 0 0 0 0\r\n0\r\n0\r\n0\r\nno-protect\r\n0\r\nfirst\r\n\r\n\r\n"));
}

TEST_F(NoteTest, WarningsOfTheEnclosingReadSurviveTheNoteRead)
{
    Doc.RDFOptions = rdfoConvUnknownStylesToZero;
    const QByteArray text = "-8 1 3\r\n"
                            "9 1 0 0 0 0\r\n"
                            "unknown style\r\n"
                            "-203 8 -1 1 0 0 0\r\n0\r\n0\r\n0\r\nno-protect\r\n0\r\n0\r\n\r\n"
                            + Hex(NoteText) + "\r\n";
    ASSERT_TRUE(Load(Doc, text));
    EXPECT_TRUE(Doc.Warnings & rdfwConvertedUnknownStyles);
}

// A footnote whose document holds a footnote, depth levels deep, in binary form.
QByteArray NestedNotes(int depth)
{
    QByteArray inner = "-8 1 3\r\n0 1 0 0 0 0\r\ninnermost\r\n";
    for (int k = 0; k < depth; ++k)
        inner = "-8 1 3\r\n-203 8 0 0 2 0 0\r\n0\r\n0\r\n0\r\nno-protect\r\n0\r\n0\r\n\r\n" + Block(inner);
    return inner;
}

TEST_F(NoteTest, NotesNestedDeeplyReadAndWithoutEndFailCleanly)
{
    Doc.RDFOptions = rdfoSaveBinary;
    ASSERT_TRUE(Load(Doc, NestedNotes(40)));
    TCustomRDData* d = &Doc;
    int depth = 0;
    while (d->ItemCount() > 0) {
        auto* note = dynamic_cast<TRDFootnoteItemInfo*>(d->ItemAt(0));
        if (!note)
            break;
        EXPECT_EQ(note->Text, "1");
        d = note->NoteDocument.get();
        ++depth;
    }
    EXPECT_EQ(depth, 40);
    EXPECT_EQ(d->TextOfItem(0), "innermost");
    EXPECT_EQ(Save(Doc), NestedNotes(40));

    EXPECT_FALSE(Load(Doc, NestedNotes(100)));
    // A read that fails leaves the document usable and a later read works.
    ASSERT_TRUE(Load(Doc, NestedNotes(1)));
    EXPECT_EQ(Doc.ItemCount(), 1);
}

}  // namespace
