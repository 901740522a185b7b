// One document holding every item kind goes to RDF and back in both forms
// and is written again byte for byte, with the same numbers shown; bullet
// records written by hand inside a file of binary blocks.

#include <gtest/gtest.h>

#include <QtCore/QBuffer>
#include <QtCore/QtEndian>
#include <QtGui/QImage>

#include "Graphics.h"
#include "items/RDControlItems.h"
#include "RDDocTestSupport.h"
#include "RDPictureTestSupport.h"
#include "RDFTestIO.h"
#include "items/RDLabelItems.h"
#include "items/RDMarkerItems.h"
#include "RDMarkerTestSupport.h"
#include "items/RDNoteItems.h"
#include "items/RDPictureItems.h"
#include "RDSeqTestSupport.h"
#include "document/RDTextItems.h"
#include "StdControls.h"

namespace {

// A 16 x 16 icon of 32-bit pixels, every byte of it set (the icon writer of
// the image library leaves its mask unset).
QByteArray Icon()
{
    QByteArray ico;
    auto put16 = [&ico](int v) { ico.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    auto put32 = [&](int v) {
        put16(v & 0xFFFF);
        put16((v >> 16) & 0xFFFF);
    };
    const int pixels = 16 * 16 * 4, mask = 16 * 4;
    put16(0), put16(1), put16(1);
    ico.append(char(16)).append(char(16)).append(char(0)).append(char(0));
    put16(1), put16(32), put32(40 + pixels + mask), put32(22);
    put32(40), put32(16), put32(32), put16(1), put16(32);
    for (int k = 0; k < 6; ++k)
        put32(0);
    for (int i = 0; i < 16 * 16; ++i)
        ico.append("\x20\x40\x80\xFF", 4);
    ico.append(QByteArray(mask, '\0'));
    return ico;
}

class TAllKindsDoc : public TWithSeqList<TWithMarkerList<TTestRDData>> {
public:
    using TWithSeqList::TWithSeqList;
    TImageList* List = nullptr;
    void* DoRDFImageListNeeded(int tag) override { return List && tag == List->Tag ? List : nullptr; }
};

TRDListLevel Level(TRDListType type, const char* format)
{
    TRDListLevel level;
    level.ListType = type;
    level.FormatString = format;
    level.Options = rdloContinuous | rdloLevelReset;
    return level;
}

class AllItemKindsTest : public ::testing::Test {
protected:
    AllItemKindsTest()
    {
        Sheet.ParaStyles()[0]->DefStyleNo = -1;
        Sheet.TextStyles().Add();
        Sheet.ListStyles().Add()->Levels = {Level(TRDListType::rdlstDecimal, "%0:s."),
                                            Level(TRDListType::rdlstLowerAlpha, "%0:s.%1:s")};
        Sheet.ListStyles().Add()->Levels = {Level(TRDListType::rdlstBullet, "*"),
                                            Level(TRDListType::rdlstBullet, "-")};
        List.Add(QImage(16, 16, QImage::Format_RGB32));
        List.Add(QImage(16, 16, QImage::Format_RGB32));
        List.Tag = 7;
    }

    void Add(TAllKindsDoc& doc, TCustomRDItemInfo* item, const QByteArray& name = "item", bool continues = true)
    {
        item->SetContinuesPara(continues);
        doc.AddItem(name, item);
    }
    template <typename TNote>
    void AddNote(TAllKindsDoc& doc, const QByteArray& text)
    {
        auto note = TNote::CreateEx(&doc, 1, 0, false);
        TRDNoteData& notes = *note->NoteDocument;
        Add(doc, note.release(), "note");
        notes.AddTextRawNoTag(text, 0, 0);
        auto ref = TRDNoteReferenceItemInfo::CreateEx(&notes, 1);
        ref->SetContinuesPara(true);
        notes.AddItem("ref", ref.release());
    }
    void AddList(TAllKindsDoc& doc, int listNo, int level)
    {
        doc.AddItem(QByteArray(), TRDMarkerItemInfo::CreateEx(&doc, listNo, level, 0, false).release());
        doc.AddTextRawNoTag("list entry", 0, -1);
    }

    void Build(TAllKindsDoc& doc)
    {
        doc.List = &List;
        doc.AddTextRawNoTag("Every kind", 0, 0);
        doc.AddItem("", new TRDBreakItemInfo(&doc));
        doc.AddTextRawNoTag("before a tab", 1, 0);
        Add(doc, CreateItemByStyleNo(-12, &doc).release(), "");
        auto picture = [&](std::unique_ptr<TGraphic> g, int kind) {
            auto item = CreateItemByStyleNo(kind, &doc);
            static_cast<TRDGraphicItemInfo*>(item.get())->Image = std::move(g);
            Add(doc, item.release(), "picture");
        };
        picture(Graphic<TBitmapGraphic>(Encoded("BMP", Qt::red, 4, 3, QImage::Format_ARGB32)), -3);
        picture(Graphic<TJPEGImage>(Encoded("JPEG", Qt::blue, 8, 8, QImage::Format_ARGB32)), -3);
        picture(Graphic<TIcon>(Icon()), -3);
        picture(Graphic<TMetafile>(QByteArray(40, '\x01')), -3);
        picture(Graphic<TBitmapGraphic>(Encoded("BMP", Qt::yellow, 4, 3, QImage::Format_ARGB32)), -10);
        auto bullet = CreateItemByStyleNo(-6, &doc);
        static_cast<TRDBulletItemInfo*>(bullet.get())->ImageList = &List;
        static_cast<TRDBulletItemInfo*>(bullet.get())->ImageIndex = 1;
        Add(doc, bullet.release(), "bullet");
        auto hotspot = CreateItemByStyleNo(-4, &doc);
        static_cast<TRDHotspotItemInfo*>(hotspot.get())->ImageList = &List;
        static_cast<TRDHotspotItemInfo*>(hotspot.get())->HoverImageIndex = 1;
        Add(doc, hotspot.release(), "hotspot");
        auto withBody = CreateItemByStyleNo(-5, &doc);
        auto* button = new TButton;
        button->setObjectName("Button1");
        button->SetCaption("Play");
        static_cast<TRDControlItemInfo*>(withBody.get())->Control = button;
        Add(doc, withBody.release(), "Button1");
        Add(doc, CreateItemByStyleNo(-5, &doc).release(), "supplied");
        auto label = std::make_unique<TRDLabelItemInfo>(&doc, "Name:", 1);
        label->SetMinWidth(40);
        label->ProtectTextStyleNo = true;
        Add(doc, label.release(), "label");
        for (const char* name : {"Figure", "Table", "figure"}) {
            auto seq = TRDSeqItemInfo::CreateEx(&doc, name, TRDSeqType::rdseqUpperRoman, 0, 0, false);
            seq->FormatString = "No. %s";
            Add(doc, seq.release(), "seq");
        }
        AddNote<TRDFootnoteItemInfo>(doc, "first footnote ");
        AddNote<TRDFootnoteItemInfo>(doc, "second footnote ");
        AddNote<TRDEndnoteItemInfo>(doc, "an endnote ");
        for (int listNo : {0, 1})
            for (int level : {0, 1, 1, 0})
                AddList(doc, listNo, level);
    }

    // Every number the document shows, in order, nested documents included.
    static QStringList Numbers(TCustomRDData& doc)
    {
        QStringList shown;
        for (int i = 0; i < doc.ItemCount(); ++i) {
            TCustomRDItemInfo* item = doc.ItemAt(i);
            if (auto* m = dynamic_cast<TRDMarkerItemInfo*>(item))
                shown << QString::fromLatin1(m->DisplayString);
            else if (auto* r = dynamic_cast<TRDNoteReferenceItemInfo*>(item))
                shown << "ref " + r->GetDisplayText(r->Document, nullptr);
            else if (auto* s = dynamic_cast<TRDSeqItemInfo*>(item))
                shown << s->Text;
            if (auto* n = dynamic_cast<TCustomRDNoteItemInfo*>(item))
                shown << Numbers(*n->NoteDocument);
        }
        return shown;
    }

    TTestStyleSheet Sheet;
    TImageList List{16, 16};
};

TEST_F(AllItemKindsTest, EveryKindRoundTripsByteForByteInBothForms)
{
    const QStringList expected = {"No. I", "No. I", "No. II", "1", "ref 1", "2", "ref 2", "i", "ref i",
                                  "1.", "1.a", "1.b", "2.", "*", "-", "-", "*"};
    for (TRDFOptions form : {TRDFOptions(0), TRDFOptions(rdfoSaveBinary)}) {
        const TRDFOptions options = rdfoSavePicturesBody | rdfoSaveControlsBody | form;
        TAllKindsDoc doc(&Sheet);
        doc.RDFOptions = options;
        Build(doc);
        EXPECT_EQ(Numbers(doc), expected);
        const QByteArray first = Save(doc);

        TAllKindsDoc read(&Sheet);
        read.RDFOptions = options;
        read.List = &List;
        ASSERT_TRUE(Load(read, first)) << form;
        EXPECT_EQ(read.Warnings, 0);
        EXPECT_EQ(read.ItemCount(), doc.ItemCount());
        for (int i = 0; i < doc.ItemCount(); ++i)
            EXPECT_EQ(read.ItemAt(i)->StyleNo, doc.ItemAt(i)->StyleNo) << i;
        EXPECT_EQ(Numbers(read), expected);
        EXPECT_EQ(Save(read), first) << form;
    }
}

QByteArray Block(const QByteArray& bytes)
{
    QByteArray length(4, '\0');
    qToLittleEndian<int32_t>(static_cast<int32_t>(bytes.size()), length.data());
    return length + bytes;
}

struct TBinaryBulletCase {
    const char* Tail;
    TRDFOptions Options;
    bool Loads;
    uint8_t Warnings;
    int Index;
};

TEST_F(AllItemKindsTest, BulletRecordsAmongBinaryBlocks)
{
    const QByteArray bmp = Encoded("BMP", Qt::red, 4, 3, QImage::Format_ARGB32);
    const TBinaryBulletCase cases[] = {
        {"7 1", 0, true, 0, 1},
        {"7 2", 0, false, rdfwImageIndexTooLarge, 0},
        {"7 2", rdfoConvLargeImageIdxToZero, true, rdfwImageIndexTooLarge, 0},
        {"7 -1", rdfoConvLargeImageIdxToZero, true, rdfwImageIndexTooLarge, 0},
        // A list the application does not know leaves the index unchecked.
        {"8 5", 0, true, 0, 5},
    };
    for (const TBinaryBulletCase& c : cases) {
        // A picture in a binary block, then the bullet, then another block.
        const QByteArray file = "-8 1 3\r\n"
                                "-3 3 0 0 2 0 0\r\n"
                                "pic\r\n"
                                "TBitmap\r\n"
                                + Block(bmp) + "-6 1 -1 1 0 0 " + c.Tail + "\r\n"
                                + "b\r\n"
                                  "-3 3 -1 1 2 0 0\r\n"
                                  "pic\r\n"
                                  "TBitmap\r\n"
                                + Block(bmp);
        TAllKindsDoc doc(&Sheet);
        doc.List = &List;
        doc.RDFOptions = rdfoSavePicturesBody | rdfoSaveBinary | c.Options;
        ASSERT_EQ(Load(doc, file), c.Loads) << c.Tail;
        EXPECT_EQ(doc.Warnings, c.Warnings) << c.Tail;
        if (!c.Loads) {
            EXPECT_EQ(doc.ItemCount(), 1) << c.Tail;
            continue;
        }
        ASSERT_EQ(doc.ItemCount(), 3) << c.Tail;
        auto* bullet = dynamic_cast<TRDBulletItemInfo*>(doc.ItemAt(1));
        ASSERT_TRUE(bullet) << c.Tail;
        EXPECT_EQ(bullet->ImageIndex, c.Index) << c.Tail;
        EXPECT_EQ(doc.TextOfItem(1), "b");
        EXPECT_EQ(static_cast<TRDGraphicItemInfo*>(doc.ItemAt(2))->Image->SaveToStream(), bmp);
        if (c.Warnings == 0 && bullet->ImageList) {
            EXPECT_EQ(Save(doc), file) << c.Tail;
        }
    }
}

}  // namespace
