// Labels and sequence fields: numbering in the sequence list, label
// measuring and protection, their RDF records and RTF, HTML and text output.

#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "RDDocTestSupport.h"
#include "RDFTestIO.h"
#include "items/RDLabelItems.h"
#include "items/RDNoteItems.h"
#include "RDSeqTestSupport.h"
#include "document/RDTextItems.h"

namespace {

using TSeqDoc = TWithSeqList<TTestRDData>;

class SeqTest : public ::testing::Test {
protected:
    TRDSeqItemInfo* AddSeq(const QString& name, TRDSeqType type = TRDSeqType::rdseqDecimal, bool reset = false,
                           int startFrom = 0, const QString& format = QString())
    {
        auto seq = TRDSeqItemInfo::CreateEx(&Doc, name, type, 0, startFrom, reset);
        seq->FormatString = format;
        TRDSeqItemInfo* s = seq.get();
        Doc.AddItem(QByteArray(), seq.release());
        return s;
    }
    QStringList Texts()
    {
        QStringList texts;
        for (int i = 0; i < Doc.ItemCount(); ++i)
            if (auto* s = dynamic_cast<TRDSeqItemInfo*>(Doc.ItemAt(i)))
                texts << s->Text;
        return texts;
    }

    TTestStyleSheet Sheet;
    TSeqDoc Doc{&Sheet};
};

// Numbering.

TEST_F(SeqTest, ResetRestartsAndRemovalRenumbers)
{
    AddSeq("figure");
    AddSeq("figure", TRDSeqType::rdseqDecimal, true, 10);
    AddSeq("figure");
    EXPECT_EQ(Texts(), QStringList({"1", "10", "11"}));
    Doc.DeleteItemRange(1, 1);
    EXPECT_EQ(Texts(), QStringList({"1", "2"}));
    ASSERT_TRUE(Doc.GetSeqList(false));
    EXPECT_EQ(Doc.GetSeqList(false)->Count(), 2);
    // The last one leaving frees the list.
    Doc.DeleteItemRange(0, 2);
    EXPECT_FALSE(Doc.GetSeqList(false));
}

TEST_F(SeqTest, MovingToTheUndoListAndBackRenumbers)
{
    AddSeq("figure");
    TRDSeqItemInfo* second = AddSeq("figure", TRDSeqType::rdseqDecimal, true, 10);
    TRDSeqItemInfo* third = AddSeq("figure");
    second->MovingToUndoList(1, &Doc, nullptr);
    EXPECT_EQ(third->Text, "2");
    EXPECT_EQ(second->IndexInList, -1);
    second->MovingFromUndoList(1, &Doc);
    EXPECT_EQ(second->Text, "10");
    EXPECT_EQ(third->Text, "11");
    EXPECT_EQ(second->GetIndexInList(Doc.GetSeqList(false)), 1);
}

TEST_F(SeqTest, NamesDifferingInCaseAreOneSequenceAndOthersCountApart)
{
    AddSeq("Figure");
    AddSeq("table");
    AddSeq("FIGURE");
    AddSeq("TABLE");
    AddSeq("figure");
    EXPECT_EQ(Texts(), QStringList({"1", "1", "2", "2", "3"}));
    TRDSeqItemInfo empty(&Doc, QString(), TRDSeqType::rdseqDecimal, 0, 0, false);
    EXPECT_EQ(empty.SeqName, "trichdoc");
}

TEST_F(SeqTest, InsertingAtTheTopRenumbersOnlyItsSequence)
{
    AddSeq("figure");
    AddSeq("table");
    AddSeq("figure");
    int index = 0;
    QByteArray text;
    TCustomRDItemInfo* item = TRDSeqItemInfo::CreateEx(&Doc, "FIGURE", TRDSeqType::rdseqDecimal, 0, 0, false).release();
    bool reformat = false;
    int newListNo = 0;
    ASSERT_TRUE(Doc.InsertItem(index, text, item, false, reformat, newListNo));
    EXPECT_EQ(Texts(), QStringList({"1", "2", "1", "3"}));
    const TRDSeqList& list = *Doc.GetSeqList(false);
    for (int i = 0; i < list.Count(); ++i)
        EXPECT_EQ(list[i]->IndexInList, i);
}

struct TNumberCase {
    TRDSeqType Type;
    int Number;
    const char* Format;
    const char* Expected;
};

TEST_F(SeqTest, NumberTextsInEveryTypeAndFormat)
{
    const TNumberCase cases[] = {
        {TRDSeqType::rdseqDecimal, 12, "", "12"},
        {TRDSeqType::rdseqLowerAlpha, 28, "", "ab"},
        {TRDSeqType::rdseqUpperAlpha, 3, "", "C"},
        {TRDSeqType::rdseqLowerRoman, 9, "", "ix"},
        {TRDSeqType::rdseqUpperRoman, 4, "", "IV"},
        {TRDSeqType::rdseqUpperRoman, 4, "Figure %s", "Figure IV"},
        {TRDSeqType::rdseqDecimal, 7, "(%s)", "(7)"},
        {TRDSeqType::rdseqDecimal, 7, "%S.", "7."},
        {TRDSeqType::rdseqDecimal, 7, "100%% %s", "100% 7"},
        {TRDSeqType::rdseqDecimal, 7, "%3s", "  7"},
        {TRDSeqType::rdseqDecimal, 7, "%s%", "%s%"},
        // Past the classical Roman numerals the number is decimal.
        {TRDSeqType::rdseqUpperRoman, 2000000000, "", "2000000000"},
        // Formats the formatter refuses, or whose fields are too wide, show themselves.
        {TRDSeqType::rdseqDecimal, 1, "%x", "%x"},
        {TRDSeqType::rdseqDecimal, 1, "%s %s", "%s %s"},
        {TRDSeqType::rdseqDecimal, 1, "Table %", "Table %"},
        {TRDSeqType::rdseqDecimal, 1, "%2000000000s", "%2000000000s"},
        {static_cast<TRDSeqType>(9), 1, "", ""},
    };
    for (const TNumberCase& c : cases) {
        TRDSeqItemInfo seq(&Doc, "n", c.Type, 0, 0, false);
        seq.FormatString = c.Format;
        EXPECT_EQ(seq.GetNumberText(c.Number), QString::fromLatin1(c.Expected)) << c.Format << ' ' << c.Number;
    }
}

TEST_F(SeqTest, RefusedFormatDoesNotStopRenumbering)
{
    AddSeq("a", TRDSeqType::rdseqDecimal, false, 0, "%d%");
    AddSeq("a");
    EXPECT_EQ(Texts(), QStringList({"%d%", "2"}));
}

TEST_F(SeqTest, CounterAtTheLargestNumberStaysThere)
{
    AddSeq("a", TRDSeqType::rdseqDecimal, true, INT32_MAX);
    AddSeq("a");
    EXPECT_EQ(Texts(), QStringList({"2147483647", "2147483647"}));
}

TEST_F(SeqTest, LastIndexOfNamesLooksAboveThePosition)
{
    AddSeq("figure");
    AddSeq("table");
    AddSeq("Figure");
    AddSeq("note");
    QStringList names{"figure", "table"};
    names.sort();
    EXPECT_EQ(Doc.LastSeqIndexOfNames(-1, names), 2);
    EXPECT_EQ(Doc.LastSeqIndexOfNames(2, names), -1);
    EXPECT_EQ(Doc.LastSeqIndexOfNames(-1, {"other"}), -1);
    TTestRDData plain(&Sheet);
    EXPECT_EQ(plain.LastSeqIndexOfNames(-1, names), -1);
}

TEST_F(SeqTest, PrevSeqItemLooksBackFromAnItem)
{
    TRDSeqItemInfo* first = AddSeq("a");
    Doc.AddTextRawNoTag("text", 0, 0);
    TRDSeqItemInfo* second = AddSeq("b");
    EXPECT_EQ(Doc.PrevSeqItem(1), first);
    EXPECT_EQ(Doc.PrevSeqItem(2), second);
    EXPECT_EQ(Doc.PrevSeqItem(-1), nullptr);
}

// Records.

TEST_F(SeqTest, SequenceRecordReadsAndWritesBackInBothForms)
{
    const QByteArray text = "-8 1 3\r\n"
                            "-202 10 0 0 0 0 0\r\n"
                            "Figure\r\n"
                            "4\r\n"
                            "1\r\n"
                            "3\r\n"
                            "0\r\n"
                            "12\r\n"
                            "2\r\n"
                            "protect\r\n"
                            "fig\r\n"
                            "Figure %s\r\n"
                            "-202 10 -1 1 0 0 0\r\n"
                            "figure\r\n"
                            "4\r\n"
                            "0\r\n"
                            "0\r\n"
                            "0\r\n"
                            "0\r\n"
                            "0\r\n"
                            "no-protect\r\n"
                            "\r\n"
                            "\r\n";
    ASSERT_TRUE(Load(Doc, text));
    ASSERT_EQ(Doc.ItemCount(), 2);
    auto* seq = dynamic_cast<TRDSeqItemInfo*>(Doc.ItemAt(0));
    ASSERT_TRUE(seq);
    EXPECT_EQ(seq->SeqName, "Figure");
    EXPECT_EQ(seq->NumberType, TRDSeqType::rdseqUpperRoman);
    EXPECT_TRUE(seq->Reset);
    EXPECT_EQ(seq->StartFrom, 3);
    EXPECT_EQ(seq->MinWidth(), 12);
    EXPECT_EQ(seq->Alignment, 2);
    EXPECT_TRUE(seq->ProtectTextStyleNo);
    EXPECT_EQ(Doc.TextOfItem(0), "fig");
    EXPECT_EQ(seq->Document, &Doc);
    EXPECT_EQ(Texts(), QStringList({"Figure III", "IV"}));
    EXPECT_EQ(QString::fromLatin1(Save(Doc)).toStdString(), QString::fromLatin1(text).toStdString());

    Doc.RDFOptions = rdfoSaveBinary;
    const QByteArray binary = Save(Doc);
    TSeqDoc again(&Sheet);
    again.RDFOptions = rdfoSaveBinary;
    ASSERT_TRUE(Load(again, binary));
    EXPECT_EQ(Save(again), binary);
}

TEST_F(SeqTest, ResetLineOfTwoZerosMeansResetAndNumbersMustRead)
{
    const QByteArray head = "-8 1 3\r\n-202 10 0 0 0 0 0\r\nx\r\n0\r\n";
    const QByteArray tail = "5\r\n0\r\n0\r\n0\r\nno-protect\r\n\r\n\r\n";
    ASSERT_TRUE(Load(Doc, head + "00\r\n" + tail));
    EXPECT_TRUE(static_cast<TRDSeqItemInfo*>(Doc.ItemAt(0))->Reset);
    EXPECT_EQ(Texts(), QStringList({"5"}));
    EXPECT_FALSE(Load(Doc, head + "0\r\nfive\r\n0\r\n0\r\n0\r\nno-protect\r\n\r\n\r\n"));
    EXPECT_FALSE(Load(Doc, "-8 1 3\r\n-202 10 0 0 0 0 0\r\nx\r\nroman\r\n" + tail.mid(3)));
}

// Output.

TEST_F(SeqTest, RtfFieldCarriesNameSwitchesAndNumber)
{
    TRDSeqItemInfo* plain = AddSeq("Fig{1}");
    TRDSeqItemInfo* roman = AddSeq("Tab", TRDSeqType::rdseqLowerRoman, true, 3);
    TRDRTFExportContext context;
    EXPECT_EQ(plain->SaveRTF(&Doc, 0, context),
              "{\\field{\\*\\fldinst {SEQ Fig\\{1\\} \\\\* MERGEFORMAT }}{\\fldrslt {1}}}");
    EXPECT_EQ(roman->SaveRTF(&Doc, 1, context),
              "{\\field{\\*\\fldinst {SEQ Tab\\\\*roman \\\\r 3 \\\\* MERGEFORMAT }}{\\fldrslt {iii}}}");
    TRDHTMLImageContext html;
    roman->FormatString = "<%s>";
    roman->UpdateText();
    EXPECT_EQ(roman->SaveToHTML(&Doc, 1, html), "&lt;iii&gt;");
    EXPECT_EQ(roman->AsText(80, &Doc, false, false, QString(), QByteArray()), "<iii>");
}

// Labels.

class LabelTest : public ::testing::Test {
protected:
    LabelTest() { Sheet.TextStyles().Add(); }
    TTestStyleSheet Sheet;
    TTestRDData Doc{&Sheet};
};

TEST_F(LabelTest, MinWidthWidensTheLabelAndTheSameValueKeepsTheMeasure)
{
    TRDLabelItemInfo label(&Doc, "Name", 0);
    const int textWidth = label.GetWidthEx();
    EXPECT_GT(textWidth, 0);
    EXPECT_GT(label.GetHeightEx(), 0);
    EXPECT_TRUE(label.Measured);
    label.SetMinWidth(textWidth + 50);
    EXPECT_FALSE(label.Measured);
    EXPECT_EQ(label.GetWidthEx(), textWidth + 50);
    EXPECT_TRUE(label.Measured);
    label.SetMinWidth(textWidth + 50);
    EXPECT_TRUE(label.Measured);
    // A smaller minimum leaves the text's width.
    label.SetMinWidth(1);
    EXPECT_EQ(label.GetWidthEx(), textWidth);
    const TRDResolutionInfo printer{96, 96, 192, 192, 0};
    EXPECT_EQ(label.GetMinWidth(&printer), 2 * textWidth);
}

TEST_F(LabelTest, LabelWithoutStyleSheetIsNotMeasured)
{
    TRDLabelItemInfo label(nullptr, "Name", 0);
    EXPECT_EQ(label.GetWidthEx(), 0);
    EXPECT_FALSE(label.Measured);
}

TEST_F(LabelTest, ProtectionKeepsTheStyleAndTheCaretStyle)
{
    TRDLabelItemInfo label(&Doc, "Name", 1);
    EXPECT_TRUE(label.GetBoolValue(12));
    label.ProtectTextStyleNo = true;
    EXPECT_FALSE(label.GetBoolValue(12));
    label.ApplyStyleConversionDefault(&Doc, 0, 0);
    EXPECT_EQ(label.TextStyleNo, 1);
    EXPECT_TRUE(label.GetBoolValue(3));
    EXPECT_TRUE(label.GetBoolValue(5));
    EXPECT_TRUE(label.GetBoolValueEx(6, &Sheet));
    EXPECT_FALSE(label.GetBoolValueEx(1, &Sheet));
}

// A document standing for the editor's: it converts a style by adding the
// caller's value and keeps what it was asked.
class TConvertingDoc : public TTestRDData {
public:
    using TTestRDData::TTestRDData;
    struct TAsked {
        int32_t StyleNo, ParaNo;
        int UserData;
    };
    std::vector<TAsked> Asked;
    std::vector<int16_t> Cursors;
    void ConvertStyleNo(int32_t& styleNo, int32_t paraNo, int userData) override
    {
        Asked.push_back({styleNo, paraNo, userData});
        styleNo += userData;
    }
    void SetParentCursor(int16_t cursor) override { Cursors.push_back(cursor); }
};

TEST_F(LabelTest, StyleConversionGoesThroughTheDocumentUnlessProtected)
{
    TConvertingDoc doc(&Sheet);
    TRDLabelItemInfo label(&doc, "Name", 1);
    label.ParaNo = 3;
    (void)label.GetWidthEx();
    ASSERT_TRUE(label.Measured);
    label.ApplyStyleConversionDefault(&doc, 0, 2);
    ASSERT_EQ(doc.Asked.size(), 1u);
    EXPECT_EQ(doc.Asked[0].StyleNo, 1);
    EXPECT_EQ(doc.Asked[0].ParaNo, 3);
    EXPECT_EQ(doc.Asked[0].UserData, 2);
    EXPECT_EQ(label.TextStyleNo, 3);
    EXPECT_FALSE(label.Measured);
    // A protected label is not even asked about.
    label.ProtectTextStyleNo = true;
    label.ApplyStyleConversionDefault(&doc, 0, 2);
    EXPECT_EQ(doc.Asked.size(), 1u);
    EXPECT_EQ(label.TextStyleNo, 3);
    // A root without an editor leaves the style as it is.
    TRDLabelItemInfo plain(&Doc, "Name", 1);
    plain.ApplyStyleConversionDefault(&Doc, 0, 2);
    EXPECT_EQ(plain.TextStyleNo, 1);
}

TEST_F(LabelTest, NoteReferenceAsksTheMainDocumentToConvertAndToShowItsCursor)
{
    TConvertingDoc doc(&Sheet);
    TRDFootnoteItemInfo note(&doc, 0, 0, false);
    TRDNoteData& inner = *note.NoteDocument;
    TRDNoteReferenceItemInfo ref(&inner, 1);
    ref.ApplyStyleConversionDefault(&inner, 0, 5);
    ASSERT_EQ(doc.Asked.size(), 1u);
    EXPECT_EQ(ref.TextStyleNo, 6);
    // The cursor: none of its own leaves the document's, one of its own is
    // asked of the document that shows the control.
    EXPECT_FALSE(ref.MouseMove(1, 1, 0, &inner));
    EXPECT_TRUE(doc.Cursors.empty());
    ref.Cursor = crJump;
    EXPECT_TRUE(ref.MouseMove(1, 1, 0, &inner));
    EXPECT_EQ(doc.Cursors, std::vector<int16_t>({crJump}));
}

TEST_F(LabelTest, LabelRecordReadsAndWritesBack)
{
    const QByteArray text = "-8 1 3\r\n"
                            "-200 7 0 0 0 0 0\r\n"
                            "Name:\r\n"
                            "1\r\n"
                            "40\r\n"
                            "1\r\n"
                            "no-protect\r\n"
                            "label\r\n"
                            "hint=a hint\r\n";
    ASSERT_TRUE(Load(Doc, text));
    ASSERT_EQ(Doc.ItemCount(), 1);
    auto* label = dynamic_cast<TRDLabelItemInfo*>(Doc.ItemAt(0));
    ASSERT_TRUE(label);
    EXPECT_EQ(label->Text, "Name:");
    EXPECT_EQ(label->TextStyleNo, 1);
    EXPECT_EQ(label->MinWidth(), 40);
    EXPECT_EQ(label->Alignment, 1);
    EXPECT_FALSE(label->ProtectTextStyleNo);
    EXPECT_EQ(label->Hint, "a hint");
    EXPECT_EQ(Doc.TextOfItem(0), "label");
    EXPECT_FALSE(label->Measured);
    EXPECT_EQ(QString::fromLatin1(Save(Doc)).toStdString(), QString::fromLatin1(text).toStdString());
    Doc.RDFOptions = rdfoSaveBinary;
    EXPECT_EQ(QString::fromLatin1(Save(Doc)).toStdString(), QString::fromLatin1(text).toStdString());
}

TEST_F(LabelTest, ProtectionLineMustBeExactlyProtect)
{
    const struct {
        const char* Line;
        bool Protected;
    } cases[] = {{"protect", true}, {"protect ", false}, {"no-protect", false}, {"PROTECT", false}, {"", false}};
    for (const auto& c : cases) {
        const QByteArray text = QByteArray("-8 1 3\r\n-200 6 0 0 0 0 0\r\nx\r\n0\r\n0\r\n0\r\n") + c.Line
                                + "\r\n\r\n";
        ASSERT_TRUE(Load(Doc, text)) << c.Line;
        EXPECT_EQ(static_cast<TRDLabelItemInfo*>(Doc.ItemAt(0))->ProtectTextStyleNo, c.Protected) << c.Line;
    }
    EXPECT_FALSE(Load(Doc, "-8 1 3\r\n-200 6 0 0 0 0 0\r\nx\r\n0\r\nwide\r\n0\r\nprotect\r\n\r\n"));
}

TEST_F(LabelTest, LabelOfAnUnknownTextStyleIsDroppedOrTakesStyleZero)
{
    const QByteArray text = "-8 1 3\r\n"
                            "-200 6 0 0 0 0 0\r\nx\r\n99\r\n0\r\n0\r\nno-protect\r\n\r\n"
                            "0 1 0 0 0 0\r\nafter\r\n";
    ASSERT_TRUE(Load(Doc, text));
    EXPECT_TRUE(Doc.Warnings & rdfwConvertedUnknownStyles);
    ASSERT_EQ(Doc.ItemCount(), 1);
    EXPECT_EQ(Doc.TextOfItem(0), "after");
    Doc.RDFOptions = rdfoConvUnknownStylesToZero;
    ASSERT_TRUE(Load(Doc, text));
    ASSERT_EQ(Doc.ItemCount(), 2);
    EXPECT_EQ(static_cast<TRDLabelItemInfo*>(Doc.ItemAt(0))->TextStyleNo, 0);
}

TEST_F(LabelTest, OutputEscapesTheText)
{
    TRDLabelItemInfo label(&Doc, "a<b>{c}", 0);
    TRDHTMLImageContext html;
    TRDRTFExportContext rtf;
    EXPECT_EQ(label.SaveToHTML(&Doc, 0, html), "a&lt;b&gt;{c}");
    EXPECT_EQ(label.SaveRTF(&Doc, 0, rtf), "a<b>\\{c\\}");
    EXPECT_EQ(label.AsText(80, &Doc, false, false, QString(), QByteArray()), "a<b>{c}");
}

TEST_F(LabelTest, CopyTakesTheLabelsSettings)
{
    TRDLabelItemInfo label(&Doc, "Name", 1);
    label.SetMinWidth(30);
    label.Alignment = 2;
    label.ProtectTextStyleNo = true;
    label.Cursor = 5;
    std::unique_ptr<TCustomRDItemInfo> copy = CreateItemCopy(label, &Doc, false);
    auto* l = dynamic_cast<TRDLabelItemInfo*>(copy.get());
    ASSERT_TRUE(l);
    EXPECT_EQ(l->StyleNo, LabelStyleNo);
    EXPECT_EQ(l->Text, "Name");
    EXPECT_EQ(l->TextStyleNo, 1);
    EXPECT_EQ(l->MinWidth(), 30);
    EXPECT_EQ(l->Alignment, 2);
    EXPECT_TRUE(l->ProtectTextStyleNo);
    EXPECT_EQ(l->Cursor, 5);
}

struct THighlightCase {
    TRDFieldHighlightType Type;
    uint16_t State;
    bool Highlighted;
};

TEST_F(LabelTest, FieldHighlightFollowsTheSheetAndTheState)
{
    const THighlightCase cases[] = {
        {TRDFieldHighlightType::rdfhCurrent, rdisCurrent | rdisControlFocused, true},
        {TRDFieldHighlightType::rdfhCurrent, rdisCurrent, false},
        {TRDFieldHighlightType::rdfhCurrent, rdisControlFocused, false},
        {TRDFieldHighlightType::rdfhAlways, 0, true},
        {TRDFieldHighlightType::rdfhAlways, rdisSelected | rdisControlFocused, false},
        {TRDFieldHighlightType::rdfhNever, rdisCurrent | rdisControlFocused, false},
    };
    Sheet.FieldHighlightColor = 0x0000FF;
    TRDLabelItemInfo label(&Doc, "x", 0);
    label.SetMinWidth(100);
    for (const THighlightCase& c : cases) {
        Sheet.FieldHighlightType = c.Type;
        QImage image(120, 40, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            TCanvas canvas(painter);
            label.Paint(canvas, 0, 0, 0, c.State, &Sheet, nullptr, &Doc);
        }
        EXPECT_EQ(image.pixelColor(90, 2) == QColor(Qt::red), c.Highlighted)
            << static_cast<int>(c.Type) << ' ' << c.State;
        EXPECT_EQ(label.GetBoolValueEx(0, &Sheet), c.Type == TRDFieldHighlightType::rdfhCurrent);
    }
}

TEST_F(LabelTest, PrintingAtTheScreensResolutionUsesTheCachedMeasure)
{
    TRDLabelItemInfo label(&Doc, "Printed label", 0);
    const int textWidth = label.GetWidthEx();
    // The cached measure holds the minimum width; the printer's holds the text only.
    label.SetMinWidth(textWidth + 200);
    QImage paper(400, 100, QImage::Format_RGB32);
    paper.setDotsPerMeterX(qRound(192 / 0.0254));
    paper.setDotsPerMeterY(qRound(192 / 0.0254));
    QPainter painter(&paper);
    TCanvas canvas(painter);
    int extra = 0, descent = 0;
    TRDDrawLineInfo same;
    const TRDResolutionInfo screen{96, 96, 96, 96, 0};
    label.OnDocWidthChange(600, &same, true, &canvas, &Doc, &screen, extra, descent);
    EXPECT_EQ(same.Width, textWidth + 200);
    EXPECT_EQ(descent, label.Descent);
    TRDDrawLineInfo other;
    const TRDResolutionInfo printer{96, 96, 192, 192, 0};
    label.OnDocWidthChange(600, &other, true, &canvas, &Doc, &printer, extra, descent);
    EXPECT_GT(other.Width, 0);
    EXPECT_LT(other.Width, textWidth + 200);
    EXPECT_EQ(label.Width, textWidth + 200);
    painter.end();
}

TEST_F(LabelTest, BytesThatAreNoGbkCharacterReadAndWriteBack)
{
    // The euro byte of GBK, a byte that starts nothing and a lone lead byte
    // in the label's text and hint.
    const QByteArray text = QByteArray("-8 1 3\r\n"
                                       "-200 7 0 0 0 0 0\r\n"
                                       "5\x80 \xFF\x81\r\n"
                                       "1\r\n"
                                       "40\r\n"
                                       "1\r\n"
                                       "no-protect\r\n"
                                       "label\r\n"
                                       "hint=\x80\xD6\xD0\r\n");
    ASSERT_TRUE(Load(Doc, text));
    EXPECT_EQ(Save(Doc).toHex(' ').toStdString(), text.toHex(' ').toStdString());
}

}  // namespace
