#include <gtest/gtest.h>

#include <QtCore/QMimeData>
#include <QtCore/QtEndian>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtGui/QContextMenuEvent>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QVBoxLayout>

#include <memory>
#include <string>
#include <vector>

#include "core/RDHookGuard.h"
#include "Pictures.h"
#include "paint/RDClipboard.h"
#include "items/RDControlItems.h"
#include "document/RDItem.h"
#include "document/RDLinear.h"
#include "core/RDLists.h"
#include "viewer/RDMessageData.h"
#include "items/RDNoteItems.h"
#include "items/RDPictureItems.h"
#include "RDFocusBox.h"
#include "viewer/RDRichDoc.h"
#include "styles/RDStyle.h"
#include "document/RDTextItems.h"

namespace {

class TWhiteSheet : public TRDStyle {
public:
    TWhiteSheet()
    {
        Color = clWhite;
        TextStyles().Add();
        ParaStyles().Add();
    }
};

// A shown viewer on a white sheet with two text and two paragraph styles.
class TInputViewer : public TRichDoc {
public:
    explicit TInputViewer(TRDStyle* sheet, QWidget* parent = nullptr) : TRichDoc(parent)
    {
        SetBorderStyle(TBorderStyle::bsNone);
        SetStyle(sheet);
        resize(400, 300);
    }
    TRichDocRDData& Data() { return *DocumentData(); }
    void Para(const QString& text, int style = 0, int para = 0) { AddTextInNewParagraph(text, style, para); }
    void More(const QString& text, int style = 0) { AddTextToParagraph(text, style); }
    void AddNonText(TCustomRDItemInfo* item, bool newPara)
    {
        Data().AddItem("", item);
        if (!newPara)
            item->ItemOptions |= rdioContinuesPara;
    }
    void AddTab(int styleNo = -12)
    {
        auto* tab = new TRDTabItemInfo(&Data());
        tab->StyleNo = styleNo;
        AddNonText(tab, false);
    }
};

// Stands in for the clipboard: keeps what a copy puts.
class TClipboardCatcher {
public:
    std::unique_ptr<QMimeData> Data;
    int Puts = 0;

private:
    TRDHookGuard<std::function<void(QMimeData*)>> FSink{RDClipboardSink, [this](QMimeData* data) {
                                                             Data.reset(data);
                                                             ++Puts;
                                                         }};
};

const QString RDFMime = QStringLiteral("application/x-richdoc-rdf");

// ---- plain-text positions ----

TEST(RDLinearPositions, TwoParagraphsTabsAndRanges)
{
    TWhiteSheet sheet;
    TInputViewer doc(&sheet);
    doc.Para(QStringLiteral("ab"));
    doc.Para(QStringLiteral("cd"));
    doc.FormatDocument();
    TRichDocRDData& data = doc.Data();
    // a, b, #13, c, d: the caret after d is position 5.
    EXPECT_EQ(doc.GetTextLength(), 5);
    EXPECT_EQ(doc.GetText(), QStringLiteral("ab\rcd"));
    int pos = -1;
    ASSERT_TRUE(LinearPosOf(&data, &data, pos, 3, 1));
    EXPECT_EQ(pos - 1, 5);
    struct TCase {
        int Start, Count;
        const char* Text;
    };
    const TCase ranges[] = {
        {0, 0, ""}, {0, -1, "ab\rcd"}, {1, -5, "b\rcd"}, {1, 3, "b\rc"}, {2, 1, "\r"}, {3, 2, "cd"},
        {3, 100, "cd"}, {5, 1, ""}, {9, 2, ""},
    };
    for (const TCase& c : ranges)
        EXPECT_EQ(doc.GetTextRange(c.Start, c.Count), QString::fromLatin1(c.Text)) << c.Start << " " << c.Count;
    // Every position maps to an item place and back.
    const struct {
        int Pos, Item, Offset;
    } places[] = {{0, 0, 1}, {1, 0, 2}, {2, 0, 3}, {3, 1, 1}, {4, 1, 2}, {5, 1, 3}};
    for (const auto& p : places) {
        int rest = p.Pos, offset = 0, item = -1;
        TCustomRDData* found = nullptr;
        ASSERT_TRUE(PosFromLinear(&data, rest, offset, item, found)) << p.Pos;
        EXPECT_EQ(found, &data);
        EXPECT_EQ(item, p.Item) << p.Pos;
        EXPECT_EQ(offset, p.Offset) << p.Pos;
    }
    int rest = 6, offset = 0, item = -1;
    TCustomRDData* found = nullptr;
    EXPECT_FALSE(PosFromLinear(&data, rest, offset, item, found));

    // A tab item between two characters is one position, written as #9; any
    // other non-text item is a space.
    doc.ClearDocument();
    doc.Para(QStringLiteral("a"));
    doc.AddTab();
    doc.More(QStringLiteral("b"));
    auto* picture = new TRDGraphicItemInfo(&data);
    picture->StyleNo = PictureStyleNo;
    doc.AddNonText(picture, false);
    doc.FormatDocument();
    EXPECT_EQ(doc.GetTextLength(), 4);
    EXPECT_EQ(doc.GetText(), QStringLiteral("a\tb "));
    EXPECT_EQ(doc.GetTextRange(1, 1), QStringLiteral("\t"));
}

TEST(RDLinearPositions, AnsiTextCountsCharactersNotBytes)
{
    TWhiteSheet sheet;
    TInputViewer doc(&sheet);
    doc.Para(QStringLiteral("中文ab"));
    doc.FormatDocument();
    ASSERT_EQ(doc.GetItemText(0).size(), 6);  // GBK: two bytes a character
    EXPECT_EQ(doc.GetTextLength(), 4);
    EXPECT_EQ(doc.GetTextRange(1, 2), QStringLiteral("文a"));
    doc.SetSelLinear(1, 2);
    int s = -1, so = 0, e = -1, eo = 0;
    doc.GetSelectionBounds(s, so, e, eo, false);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(so, 3);  // after the two bytes of 中
    EXPECT_EQ(eo, 6);  // after 文 and a
    int start = -1, length = -1;
    doc.GetSelLinear(start, length);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(length, 2);
}

TEST(RDLinearPositions, AnsiBytesThatAreNoCharacterKeepTheirPlace)
{
    // The euro byte of GBK, a GBK character and a lone lead byte: the text
    // form reads each stray byte as one character and writes it back as that
    // byte, so positions map to the right bytes and the text round-trips.
    TWhiteSheet sheet;
    TInputViewer doc(&sheet);
    const QByteArray bytes("a\x80" "b\xD6\xD0" "c\x81", 7);
    doc.AddTextInNewParagraph(bytes, 0, 0);
    doc.FormatDocument();
    EXPECT_EQ(doc.GetTextLength(), 6);
    const QString text = doc.GetItemTextW(0);
    EXPECT_EQ(text.size(), 6);
    EXPECT_EQ(QStringToAnsi(CP_ACP, text), bytes);
    EXPECT_EQ(doc.GetTextRange(2, 2), QStringLiteral("b中"));
    doc.SetSelLinear(2, 2);
    int s = -1, so = 0, e = -1, eo = 0;
    doc.GetSelectionBounds(s, so, e, eo, false);
    EXPECT_EQ(so, 3);  // after a and the euro byte
    EXPECT_EQ(eo, 6);  // after b and the two bytes of 中
    // Saved and read back, the item keeps its bytes.
    TRDMemoryStream rdf;
    ASSERT_TRUE(doc.SaveRDFToStream(rdf, false));
    TInputViewer copy(&sheet);
    rdf.SetPosition(0);
    TColor color = clNone;
    ASSERT_TRUE(copy.Data().LoadFromRDF(rdf, color, copy.Background(), nullptr));
    ASSERT_EQ(copy.GetItemCount(), 1);
    EXPECT_EQ(copy.GetItemText(0), bytes);
}

// An item holding two documents, as a table row of two cells does.
class TCellStore : public TRDStoreSubRDData {
public:
    explicit TCellStore(int index) : Index(index) {}
    std::unique_ptr<TRDStoreSubRDData> Duplicate() const override { return std::make_unique<TCellStore>(Index); }
    int Index;
};

class TTwoCellItem : public TRDRectItemInfo {
public:
    explicit TTwoCellItem(TCustomRDData* data) : TRDRectItemInfo(data)
    {
        StyleNo = -60;
        for (auto& cell : Cells)
            cell = std::make_unique<TRDSubData>(this, data);
    }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override { return new TTwoCellItem(data); }
    TCustomRDData* EnumSubDocuments(std::unique_ptr<TRDStoreSubRDData>& store, int position) const override
    {
        int index = -1;
        const auto* current = dynamic_cast<const TCellStore*>(store.get());
        switch (position) {
        case 0: index = 0; break;
        case 1: index = 1; break;
        case 4: index = current ? current->Index + 1 : -1; break;
        case 5: index = current ? current->Index - 1 : -1; break;
        default: break;
        }
        if (index < 0 || index > 1) {
            store.reset();
            return nullptr;
        }
        store = std::make_unique<TCellStore>(index);
        return Cells[size_t(index)].get();
    }
    std::unique_ptr<TRDSubData> Cells[2];
};

TEST(RDLinearPositions, ItemsWithDocumentsCountTheirBreaks)
{
    TWhiteSheet sheet;
    TInputViewer doc(&sheet);
    doc.Para(QStringLiteral("ab"));
    auto* row = new TTwoCellItem(&doc.Data());
    for (auto& cell : row->Cells)
        cell->AddTextRawNoTag("x", 0, 0);
    doc.AddNonText(row, true);
    doc.Para(QStringLiteral("cd"));
    doc.FormatDocument();
    // Its own break, a break and x for each cell, and a closing break.
    EXPECT_EQ(ItemLinearLength(&doc.Data(), 1), 6);
    EXPECT_EQ(doc.GetTextLength(), 11);
    EXPECT_EQ(doc.GetText(), QStringLiteral("ab\r\rx\rx\r\rcd"));
    EXPECT_EQ(doc.GetTextRange(4, 3), QStringLiteral("x\rx"));
    // Positions inside the cells map to the cells' documents and back.
    int rest = 4, offset = 0, item = -1;
    TCustomRDData* found = nullptr;
    ASSERT_TRUE(PosFromLinear(&doc.Data(), rest, offset, item, found));
    EXPECT_EQ(found, row->Cells[0].get());
    EXPECT_EQ(offset, 1);
    rest = 7;
    ASSERT_TRUE(PosFromLinear(&doc.Data(), rest, offset, item, found));
    EXPECT_EQ(found, row->Cells[1].get());
    EXPECT_EQ(offset, 2);
    int pos = 0;
    ASSERT_TRUE(LinearPosOf(&doc.Data(), row->Cells[1].get(), pos, 2, 0));
    EXPECT_EQ(pos - 1, 7);
    // The two ends in different cells: the selection stays as it was.
    doc.SetSelectionBounds(0, 1, 0, 2);
    doc.SetSelLinear(4, 3);
    int s = -1, so = 0, e = -1, eo = 0;
    doc.GetSelectionBounds(s, so, e, eo, false);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(so, 1);
    EXPECT_EQ(eo, 2);
}

// ---- the text methods ----

TEST(RDViewerText, SelectionAsPlainPositions)
{
    TWhiteSheet sheet;
    TInputViewer doc(&sheet);
    int start = -1, length = -1;
    doc.GetSelLinear(start, length);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(length, 0);
    doc.Para(QStringLiteral("ab"));
    doc.Para(QStringLiteral("cd"));
    doc.FormatDocument();
    doc.SetSelLinear(1, 3);
    int s = -1, so = 0, e = -1, eo = 0;
    doc.GetSelectionBounds(s, so, e, eo, false);
    EXPECT_EQ((std::vector<int>{s, so, e, eo}), (std::vector<int>{0, 2, 1, 2}));
    doc.GetSelLinear(start, length);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(length, 3);
    // Made backwards: the length is negative.
    doc.SetSelectionBounds(1, 2, 0, 2);
    doc.GetSelLinear(start, length);
    EXPECT_EQ(start, 4);
    EXPECT_EQ(length, -3);
    // An end beyond the text changes nothing.
    doc.SetSelLinear(2, 10);
    doc.GetSelLinear(start, length);
    EXPECT_EQ(start, 4);
    EXPECT_EQ(length, -3);
}

TEST(RDViewerText, GetTextHonoursItsMaximumAndSetTextSplitsLines)
{
    TWhiteSheet sheet;
    TInputViewer doc(&sheet);
    EXPECT_EQ(doc.GetText(), QString());
    EXPECT_EQ(doc.GetTextLength(), 0);
    ASSERT_TRUE(doc.SetText(QStringLiteral("one\r\ntwo\nthree")));
    EXPECT_EQ(doc.GetItemCount(), 3);
    EXPECT_TRUE(doc.IsNewLine(1));
    EXPECT_TRUE(doc.IsNewLine(2));
    EXPECT_EQ(doc.GetText(), QStringLiteral("one\rtwo\rthree"));
    EXPECT_EQ(doc.GetTextLength(), 13);
    // A maximum counts the terminating place: 1 gives nothing.
    EXPECT_EQ(doc.GetText(1), QString());
    EXPECT_EQ(doc.GetText(0), QString());
    EXPECT_EQ(doc.GetText(-5), QString());
    EXPECT_EQ(doc.GetText(2), QStringLiteral("o"));
    EXPECT_EQ(doc.GetText(5), QStringLiteral("one\r"));
    // Setting again replaces the document and lays it out.
    ASSERT_TRUE(doc.SetText(QStringLiteral("中文")));
    EXPECT_EQ(doc.GetText(), QStringLiteral("中文"));
    EXPECT_GT(doc.Data().DrawItems.Count(), 0);
    ASSERT_TRUE(doc.SetText(QString()));
    EXPECT_EQ(doc.GetItemCount(), 0);
    // Without the window-text flag the widget's own title answers.
    doc.ControlFlags &= ~cfWindowText;
    doc.SetText(QStringLiteral("title"));
    EXPECT_EQ(doc.GetText(), QStringLiteral("title"));
    EXPECT_EQ(doc.GetItemCount(), 0);
}

// ---- copying ----

class RDViewerCopy : public ::testing::Test {
protected:
    RDViewerCopy()
    {
        Doc.Para(QStringLiteral("Hello world"), 0, 0);
        Doc.Para(QStringLiteral("second"), 1, 1);
        Doc.FormatDocument();
    }
    TWhiteSheet Sheet;
    TInputViewer Doc{&Sheet};
    TClipboardCatcher Clipboard;
};

TEST_F(RDViewerCopy, NothingIsPutWithoutASelection)
{
    EXPECT_TRUE(Doc.CopySelectionDefault());
    Doc.CopySelection();
    EXPECT_EQ(Clipboard.Puts, 0);
    Doc.SetSelectionBounds(0, 3, 0, 3);
    EXPECT_TRUE(Doc.CopySelectionDefault());
    EXPECT_EQ(Clipboard.Puts, 0);
    // No option and no handler: false, and still nothing.
    Doc.Options &= ~(rdoAutoCopyText | rdoAutoCopyUnicodeText | rdoAutoCopyRDF | rdoAutoCopyImage | rdoAutoCopyRTF);
    Doc.SelectAllItems();
    EXPECT_FALSE(Doc.CopySelectionDefault());
    EXPECT_EQ(Clipboard.Puts, 0);
    int copies = 0;
    Doc.OnCopy = [&copies](QObject*) { ++copies; };
    EXPECT_TRUE(Doc.CopySelectionDefault());
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(Clipboard.Puts, 1);
    EXPECT_TRUE(Clipboard.Data->formats().isEmpty());
}

TEST_F(RDViewerCopy, TheRDFBlockReadsBackAsTheSelectionAndTheTextComesWithIt)
{
    Doc.SetSelectionBounds(0, 7, 1, 4);
    ASSERT_TRUE(Doc.CopySelectionDefault());
    ASSERT_EQ(Clipboard.Puts, 1);
    const QMimeData& mime = *Clipboard.Data;
    EXPECT_EQ(mime.text(), QStringLiteral("world\r\nsec"));
    EXPECT_FALSE(mime.hasImage());
    EXPECT_FALSE(mime.hasFormat(QStringLiteral("text/rtf")));
    const QByteArray block = mime.data(RDFMime);
    ASSERT_GT(block.size(), 4);
    EXPECT_EQ(qFromLittleEndian<int32_t>(block.constData()), block.size() - 4);
    TInputViewer read(&Sheet);
    TRDMemoryStream stream;
    stream.WriteBuffer(block.constData(), block.size());
    stream.SetPosition(0);
    ASSERT_TRUE(read.Data().LoadRDFBlock(stream));
    ASSERT_EQ(read.GetItemCount(), 2);
    EXPECT_EQ(read.GetItemTextW(0), QStringLiteral("world"));
    EXPECT_EQ(read.GetItemTextW(1), QStringLiteral("sec"));
    EXPECT_EQ(read.GetItemStyle(0), 0);
    EXPECT_EQ(read.GetItemStyle(1), 1);
    EXPECT_EQ(read.Data().ParaOfItem(1), 1);
    EXPECT_TRUE(read.IsNewLine(1));
}

TEST_F(RDViewerCopy, TextGoesWhenEitherTextOptionAsksAndRTFOnlyThroughAWriter)
{
    for (TRDOptions text : {TRDOptions(rdoAutoCopyText), TRDOptions(rdoAutoCopyUnicodeText), TRDOptions(0)}) {
        Doc.Options = (Doc.Options & ~(rdoAutoCopyText | rdoAutoCopyUnicodeText)) | text;
        Doc.SetSelectionBounds(1, 1, 1, 4);
        ASSERT_TRUE(Doc.CopySelectionDefault());
        EXPECT_EQ(Clipboard.Data->hasText(), text != 0) << text;
        EXPECT_TRUE(Clipboard.Data->hasFormat(RDFMime));
    }
    // CopySelection puts every format there is, whatever the options say.
    Doc.Options = 0;
    {
        TRDHookGuard writer(RDSelectionRTFWriter, [](TCustomRDData&, TRDStream& stream, TColor, TRDBackground*) {
            stream.WriteBuffer("{\\rtf1 sec}", 11);
            return true;
        });
        Doc.CopySelection();
    }
    EXPECT_EQ(Clipboard.Data->text(), QStringLiteral("sec"));
    EXPECT_TRUE(Clipboard.Data->hasFormat(RDFMime));
    EXPECT_EQ(Clipboard.Data->data(QStringLiteral("text/rtf")), QByteArray("{\\rtf1 sec}"));
}

TEST_F(RDViewerCopy, ASinglePictureGoesAsImageData)
{
    Doc.ClearDocument();
    Doc.Para(QStringLiteral("ab"));
    auto* picture = new TRDGraphicItemInfo(&Doc.Data());
    picture->StyleNo = PictureStyleNo;
    QImage red(6, 4, QImage::Format_RGB32);
    red.fill(Qt::red);
    picture->Image = std::make_unique<TBitmapGraphic>();
    picture->Image->Assign(red);
    Doc.AddNonText(picture, false);
    Doc.More(QStringLiteral("cd"));
    Doc.FormatDocument();
    struct TCase {
        int S, SO, E, EO;
        bool Picture;
    };
    const TCase cases[] = {
        {1, 0, 1, 1, true},   // the picture from before to after it
        {0, 3, 2, 1, true},   // from the end of the text before to the start of the text after
        {0, 3, 1, 1, true},   // from the end of the text before to after it
        {1, 0, 2, 1, true},   // from before it to the start of the text after
        {0, 2, 1, 1, false},  // a character and the picture
        {1, 0, 2, 2, false},  // the picture and a character
        {0, 1, 2, 3, false},  // everything
    };
    for (const TCase& c : cases) {
        Doc.SetSelectionBounds(c.S, c.SO, c.E, c.EO);
        Clipboard.Data.reset();
        Doc.CopySelectionDefault();
        ASSERT_TRUE(Clipboard.Data) << c.S << c.SO << c.E << c.EO;
        EXPECT_EQ(Clipboard.Data->hasImage(), c.Picture) << c.S << c.SO << c.E << c.EO;
        if (c.Picture) {
            EXPECT_EQ(qvariant_cast<QImage>(Clipboard.Data->imageData()).size(), QSize(6, 4));
        }
    }
}

TEST(RDViewerClipboard, TheApplicationClipboardGetsTheCopy)
{
    TWhiteSheet sheet;
    TInputViewer doc(&sheet);
    doc.Para(QStringLiteral("copied"));
    doc.FormatDocument();
    doc.SelectAllItems();
    doc.CopySelection();
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->text(), QStringLiteral("copied"));
    EXPECT_TRUE(mime->hasFormat(RDFMime));
}

// ---- keys ----

TEST(RDViewerKeys, ShortcutTables)
{
    struct TCase {
        TShiftState Shift;
        uint16_t Key;
        bool Copy, Cut, Paste;
    };
    const TCase cases[] = {
        {ssCtrl, 'C', true, false, false},          {ssCtrl | ssShift, 'C', true, false, false},
        {ssCtrl | ssAlt, 'C', false, false, false}, {0, 'C', false, false, false},
        {ssCtrl, VK_INSERT, true, false, false},    {ssShift, VK_INSERT, false, false, true},
        {ssCtrl, 'X', false, true, false},          {ssShift, VK_DELETE, false, true, false},
        {ssCtrl | ssAlt, 'X', false, false, false}, {ssCtrl, 'V', false, false, true},
        {ssCtrl | ssAlt, 'V', false, false, false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(TCustomRichDoc::IsCopyShortcut(c.Shift, c.Key), c.Copy) << int(c.Shift) << " " << c.Key;
        EXPECT_EQ(TCustomRichDoc::IsCutShortcut(c.Shift, c.Key), c.Cut) << int(c.Shift) << " " << c.Key;
        EXPECT_EQ(TCustomRichDoc::IsPasteShortcut(c.Shift, c.Key), c.Paste) << int(c.Shift) << " " << c.Key;
    }
}

TEST(RDViewerKeys, CopyKeysPutTheSelection)
{
    TWhiteSheet sheet;
    TInputViewer doc(&sheet);
    doc.Para(QStringLiteral("key copy"));
    doc.FormatDocument();
    doc.show();
    TClipboardCatcher clipboard;
    QTest::keyClick(&doc, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard.Puts, 0);  // nothing selected
    doc.SetSelectionBounds(0, 1, 0, 4);
    struct TCase {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        bool Copies;
    };
    const TCase cases[] = {
        {Qt::Key_C, Qt::ControlModifier, true},
        {Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, true},
        {Qt::Key_C, Qt::ControlModifier | Qt::AltModifier, false},
        {Qt::Key_Insert, Qt::ControlModifier, true},
        {Qt::Key_C, Qt::NoModifier, false},
        {Qt::Key_Insert, Qt::ShiftModifier, false},
    };
    for (const TCase& c : cases) {
        const int before = clipboard.Puts;
        QTest::keyClick(&doc, c.Key, c.Modifiers);
        EXPECT_EQ(clipboard.Puts - before, c.Copies ? 1 : 0) << c.Key << " " << int(c.Modifiers);
        if (c.Copies) {
            EXPECT_EQ(clipboard.Data->text(), QStringLiteral("key"));
        }
    }
}

// ---- tab navigation ----

// An edit, the viewer (text and boxes 1 to 3, box 2 not taking the focus)
// and another edit, in that tab order, in an active window.
class RDViewerTab : public ::testing::Test {
protected:
    RDViewerTab()
    {
        auto* layout = new QVBoxLayout(&Window);
        Before = new QLineEdit(&Window);
        Doc = new TInputViewer(&Sheet, &Window);
        After = new QLineEdit(&Window);
        layout->addWidget(Before);
        layout->addWidget(Doc);
        layout->addWidget(After);
        Doc->Para(QStringLiteral("text"));
        for (int i = 1; i <= 3; ++i)
            Doc->AddNonText(new TFocusBox(&Doc->Data(), i != 2, &Log, i), false);
        Window.show();
        QApplication::setActiveWindow(&Window);
        Doc->FormatDocument();
    }
    int Focused() { return Doc->Data().FocusedItemNo; }

    TWhiteSheet Sheet;
    QWidget Window;
    QLineEdit* Before = nullptr;
    TInputViewer* Doc = nullptr;
    QLineEdit* After = nullptr;
    std::vector<std::string> Log;
};

TEST_F(RDViewerTab, CtrlTabMovesAmongItemsAndPlainTabLeaves)
{
    Doc->SetTabNavigation(TRDTabNavigationType::rdtnCtrlTab);
    Doc->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), Doc);
    Doc->Data().SetFocusedItem(-1, nullptr, -1);
    QTest::keyClick(Doc, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Focused(), 1);
    QTest::keyClick(Doc, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Focused(), 3);
    QTest::keyClick(Doc, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Focused(), 1);
    // Enter lets the focused item act.
    QTest::keyClick(Doc, Qt::Key_Return);
    EXPECT_EQ(Log.back(), "execute 1");
    // A plain Tab is not the viewer's: it goes on in the window's order.
    QTest::keyClick(Doc, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), After);
    EXPECT_EQ(Focused(), 1);
}

TEST_F(RDViewerTab, TabWalksTheItemsThenTheWindow)
{
    Doc->SetTabNavigation(TRDTabNavigationType::rdtnTab);
    Before->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), Before);
    // Tab from the edit enters the viewer at its first item that takes the focus.
    QTest::keyClick(Before, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Doc);
    EXPECT_EQ(Focused(), 1);
    QTest::keyClick(Doc, Qt::Key_Tab);
    EXPECT_EQ(Focused(), 3);
    // Ctrl+Tab is not the viewer's with plain Tab navigation.
    QTest::keyClick(Doc, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(Focused(), 3);
    // Past the last item: the next widget.
    QTest::keyClick(Doc, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), After);
    // Back from the edit after: the last item.
    QTest::keyClick(After, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), Doc);
    EXPECT_EQ(Focused(), 3);
    // No navigation: Tab leaves at once.
    Doc->SetTabNavigation(TRDTabNavigationType::rdtnNone);
    QTest::keyClick(Doc, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), After);
}

TEST_F(RDViewerTab, TabFromAnEmbeddedControlComesBackIntoTheViewer)
{
    Doc->SetTabNavigation(TRDTabNavigationType::rdtnTab);
    Doc->ClearDocument();
    Doc->Para(QStringLiteral("text"));
    auto* first = new QLineEdit;
    auto* last = new QLineEdit;
    for (QLineEdit* edit : {first, last})
        edit->resize(60, 20);
    Doc->AddNonText(new TRDControlItemInfo(&Doc->Data(), first, TRDItemVAlign::ivaBaseline), false);
    Doc->AddNonText(new TFocusBox(&Doc->Data(), true, &Log, 2), false);
    Doc->AddNonText(new TRDControlItemInfo(&Doc->Data(), last, TRDItemVAlign::ivaBaseline), false);
    Doc->FormatDocument();
    ASSERT_TRUE(first->isVisible());
    first->setFocus(Qt::OtherFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), first);
    // Out of the first control: the viewer, at the box after it.
    QTest::keyClick(first, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Doc);
    EXPECT_EQ(Focused(), 2);
    // On to the last control, which takes the keyboard itself.
    QTest::keyClick(Doc, Qt::Key_Tab);
    EXPECT_EQ(Focused(), 3);
    EXPECT_EQ(QApplication::focusWidget(), last);
    // Out of the last one: past the viewer to the next widget.
    QTest::keyClick(last, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), After);
    // Back from there: the last control again.
    QTest::keyClick(After, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), last);
}

TEST_F(RDViewerTab, TheMenuKeyShowsTheMenuAndTheMouseOnlyOverAnEmbeddedControl)
{
    QMenu menu;
    menu.addAction(QStringLiteral("Copy"));
    Doc->PopupMenu = &menu;
    auto* edit = new QLineEdit;
    edit->resize(60, 20);
    Doc->AddNonText(new TRDControlItemInfo(&Doc->Data(), edit, TRDItemVAlign::ivaBaseline), false);
    Doc->FormatDocument();
    ASSERT_TRUE(edit->isVisible());
    auto send = [this](QContextMenuEvent::Reason reason, QPoint at) {
        QContextMenuEvent e(reason, at, Doc->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(Doc->viewport(), &e);
        return e.isAccepted();
    };
    // Over the text the menu waits for the release of the right button.
    const TRDDrawLineInfo& text = *Doc->Data().DrawItems[0];
    EXPECT_TRUE(send(QContextMenuEvent::Mouse, QPoint(text.Left + 2, text.Top + 2)));
    EXPECT_FALSE(menu.isVisible());
    // Over an embedded control that has none of its own, the viewer's.
    EXPECT_TRUE(send(QContextMenuEvent::Mouse, edit->geometry().center()));
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    // The keyboard's menu key.
    EXPECT_TRUE(send(QContextMenuEvent::Keyboard, QPoint(10, 10)));
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    // Without a menu the key goes on to the parent.
    Doc->PopupMenu = nullptr;
    EXPECT_FALSE(send(QContextMenuEvent::Keyboard, QPoint(10, 10)));
}

// ---- posted records ----

// A record that counts the ones alive.
class TCountedRecord : public TRDClickMessageData {
public:
    TCountedRecord(uint8_t event, int* alive) : TRDClickMessageData(event), Alive(alive) { ++*Alive; }
    ~TCountedRecord() override { --*Alive; }
    int* Alive;
};

TEST(RDViewerPostedRecords, EventsFireOnALaterTurnAndEveryRecordIsFreed)
{
    TWhiteSheet sheet;
    auto doc = std::make_unique<TInputViewer>(&sheet);
    std::vector<std::string> fired;
    doc->OnJump = [&fired](QObject*, int id) { fired.push_back("jump " + std::to_string(id)); };
    doc->OnClick = [&fired](QObject*) { fired.push_back("click"); };
    doc->OnDblClick = [&fired](QObject*) { fired.push_back("dblclick"); };
    doc->OnRDMouseDown = [&fired](TCustomRichDoc*, Qt::MouseButton button, Qt::KeyboardModifiers, int item, int x,
                                  int y) {
        fired.push_back("down " + std::to_string(int(button)) + " " + std::to_string(item) + " " +
                        std::to_string(x) + "," + std::to_string(y));
    };
    doc->OnRDDblClick = [&fired](TCustomRichDoc*, const QByteArray& word, int style) {
        fired.push_back("word " + word.toStdString() + " " + std::to_string(style));
    };
    int alive = 0;
    doc->PostMessageData(std::make_unique<TRDJumpMessageData>(7));
    doc->PostMessageData(std::make_unique<TCountedRecord>(4, &alive));
    doc->PostMessageData(std::make_unique<TCountedRecord>(9, &alive));
    doc->PostMessageData(std::make_unique<TCountedRecord>(200, &alive));
    doc->PostMessageData(
        std::make_unique<TRDMouseUpDownMessageData>(3, 10, 20, 2, Qt::NoModifier, Qt::LeftButton));
    doc->PostMessageData(std::make_unique<TRDMouseUpDownMessageData>(2, 1, 1, 0, Qt::NoModifier, Qt::LeftButton));
    doc->PostMessageData(std::make_unique<TRDDblClickMessageData>("word", 3));
    doc->PostMessageData(std::make_unique<TCountedRecord>(5, &alive));
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(alive, 4);
    QCoreApplication::sendPostedEvents(doc.get());
    // Event 9 and above do nothing; a release without a handler fires nothing.
    EXPECT_EQ(fired, (std::vector<std::string>{"jump 7", "click", "down 1 2 10,20", "word word 3", "dblclick"}));
    EXPECT_EQ(alive, 0);
    // Records the control never dispatches go with it.
    doc->PostMessageData(std::make_unique<TCountedRecord>(9, &alive));
    doc->PostMessageData(std::make_unique<TCountedRecord>(4, &alive));
    EXPECT_EQ(alive, 2);
    doc.reset();
    EXPECT_EQ(alive, 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(fired.size(), 5u);
}

}  // namespace
