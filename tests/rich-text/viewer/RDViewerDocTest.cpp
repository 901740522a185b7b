#include <gtest/gtest.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtWidgets/QApplication>

#include <memory>

#include "RDLayoutTestSupport.h"
#include "viewer/RDLiveSpell.h"
#include "viewer/RDRichDoc.h"
#include "styles/RDStyle.h"

// The viewer's document kind and its scroll position over a new window.

namespace {

class TOwnData : public TRichDocRDData {
public:
    using TRichDocRDData::TRichDocRDData;
};

// A control that supplies its own kind of document, as the editor does.
class TOwnDocViewer : public TRichDoc {
public:
    using TRichDoc::TRichDoc;

protected:
    std::unique_ptr<TRichDocRDData> CreateDocumentData() override { return std::make_unique<TOwnData>(this); }
};

class TArialSheet : public TRDStyle {
public:
    TArialSheet() { TextStyles().Items(0)->FontName = QStringLiteral("Arial"); }
};

// An item that takes the keyboard focus.
class TFocusItem : public TRDRectItemInfo {
public:
    explicit TFocusItem(TCustomRDData* data) : TRDRectItemInfo(data) { StyleNo = -21; }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override { return new TFocusItem(data); }
    int GetWidthEx() const override { return 10; }
    int GetHeightEx() const override { return 10; }
    bool GetBoolValueEx(int id, const TRDStyle* sheet) const override
    {
        return id == 3 || TRDRectItemInfo::GetBoolValueEx(id, sheet);
    }
};

class THolderItem;

// The document an item holds.
class TSubDoc : public TLayoutData {
public:
    TSubDoc(TRDStyle* sheet, TCustomRDData* parent, THolderItem* holder)
        : TLayoutData(sheet), Parent(parent), Holder(holder)
    {
    }
    TCustomRDData* Parent;
    THolderItem* Holder;
    TCustomRDData* GetAbsoluteParentData() override { return Parent; }
    void GetParentInfo(int& parentItemNo, std::unique_ptr<TRDLocation>& location) override;
};

// An item holding one document whose focusable items take the focus in turn.
class THolderItem : public TRDRectItemInfo {
public:
    THolderItem(TCustomRDData* data, TRDStyle* sheet) : TRDRectItemInfo(data), Sub(sheet, data, this)
    {
        StyleNo = -22;
    }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override { return nullptr; }
    int GetWidthEx() const override { return 40; }
    int GetHeightEx() const override { return 20; }
    TSubDoc Sub;
    int Inner = -1;
    bool MoveFocus(bool goForward, TCustomRDData*& topData, int& topItemNo) override
    {
        for (int i = goForward ? Inner + 1 : (Inner < 0 ? Sub.ItemCount() - 1 : Inner - 1);
             i >= 0 && i < Sub.ItemCount(); i += goForward ? 1 : -1)
            if (Sub.ItemAt(i)->GetBoolValueEx(3, nullptr)) {
                Inner = i;
                topData = &Sub;
                topItemNo = i;
                return true;
            }
        Inner = -1;
        return false;
    }
    void ClearFocus() override {}
    TCustomRDData* EnumSubDocuments(std::unique_ptr<TRDStoreSubRDData>& store, int position) const override
    {
        if (position == 0 || position == 1) {
            store = std::make_unique<TRDStoreSubRDData>();
            return const_cast<TSubDoc*>(&Sub);
        }
        store.reset();
        return nullptr;
    }
};

void TSubDoc::GetParentInfo(int& parentItemNo, std::unique_ptr<TRDLocation>& location)
{
    parentItemNo = Parent->IndexOfItem(Holder);
    location.reset();
}

} // namespace

TEST(ViewerDocumentTest, DerivedControlSuppliesItsDocument)
{
    TArialSheet sheet;
    TOwnDocViewer v;
    v.SetStyle(&sheet);
    v.SetBorderStyle(TBorderStyle::bsNone);
    v.show();
    ASSERT_NE(dynamic_cast<TOwnData*>(v.DocumentData()), nullptr);
    v.AddTextInNewParagraph(QStringLiteral("text"), 0, 0);
    v.FormatDocument();
    EXPECT_EQ(v.DocumentData()->DrawItems.Count(), 1);
    TRichDoc plain;
    EXPECT_EQ(dynamic_cast<TOwnData*>(plain.DocumentData()), nullptr);
}

// A new window (a border or direction change) keeps the scroll position of
// a document; an empty one starts at the top.
TEST(ViewerDocumentTest, NewWindowKeepsTheScrollPosition)
{
    TArialSheet sheet;
    TRichDoc v;
    v.SetStyle(&sheet);
    v.resize(200, 150);
    v.show();
    for (int i = 0; i < 200; ++i)
        v.AddTextInNewParagraph(QStringLiteral("line %1").arg(i), 0, 0);
    v.FormatDocument();
    v.SetVPos(40, false);
    ASSERT_EQ(v.VPos, 40);
    v.SetBorderStyle(TBorderStyle::bsNone);
    EXPECT_EQ(v.VPos, 40);
    v.RecreateWnd();
    EXPECT_EQ(v.VPos, 40);
    v.ClearDocument();
    v.RecreateWnd();
    EXPECT_EQ(v.VPos, 0);
    EXPECT_EQ(v.HPos, 0);
}

// Tab navigation goes into the focusable items of a document held by an
// item, one after the other, then on past the holder; backwards likewise.
TEST(ViewerDocumentTest, FocusMovesIntoDocumentsHeldByItems)
{
    TArialSheet sheet;
    TRichDoc v;
    v.SetStyle(&sheet);
    v.show();
    TRichDocRDData& data = *v.DocumentData();
    v.AddTextInNewParagraph(QStringLiteral("before"), 0, 0);
    auto* holder = new THolderItem(&data, &sheet);
    data.AddItem("", holder);
    holder->Sub.AddItem("", new TFocusItem(&holder->Sub));
    holder->Sub.AddTextRawNoTag("text", 0, 0);
    holder->Sub.AddItem("", new TFocusItem(&holder->Sub));
    data.AddItem("", new TFocusItem(&data));
    v.FormatDocument();

    data.MoveFocus(false, nullptr);
    EXPECT_EQ(data.FocusedItemData, &holder->Sub);
    EXPECT_EQ(data.FocusedItemNo, 0);
    EXPECT_EQ(data.TCustomRDFormattedData::FocusedItemNo, 1);
    data.MoveFocus(false, &v);
    EXPECT_EQ(data.FocusedItemData, &holder->Sub);
    EXPECT_EQ(data.FocusedItemNo, 2);
    data.MoveFocus(false, &v);
    EXPECT_EQ(data.FocusedItemData, &data);
    EXPECT_EQ(data.FocusedItemNo, 2);
    data.MoveFocus(true, &v);
    EXPECT_EQ(data.FocusedItemData, &holder->Sub);
    EXPECT_EQ(data.FocusedItemNo, 2);
}

// Live spelling walks into the documents items hold and back out.
TEST(ViewerDocumentTest, LiveSpellingWalksHeldDocuments)
{
    TArialSheet sheet;
    TRichDoc v;
    v.SetStyle(&sheet);
    v.show();
    v.OnSpellingCheck = [](TCustomRichDoc*, const QString& word, int, bool& misspelled) {
        misspelled = word == QStringLiteral("teh");
    };
    TRichDocRDData& data = *v.DocumentData();
    v.AddTextInNewParagraph(QStringLiteral("teh one"), 0, 0);
    auto* holder = new THolderItem(&data, &sheet);
    data.AddItem("", holder);
    holder->Sub.AddTextRawNoTag("in teh box", 0, 0);
    v.AddTextInNewParagraph(QStringLiteral("last teh"), 0, 0);
    v.FormatDocument();
    v.StartLiveSpelling();
    while (v.SpellingThread()->EndOfDocumentCount() == 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ASSERT_TRUE(holder->Sub.ItemAt(0)->WordPainters);
    EXPECT_EQ(holder->Sub.ItemAt(0)->WordPainters->PainterAt(0)->StartOffset, 4);
    ASSERT_TRUE(data.ItemAt(0)->WordPainters);
    ASSERT_TRUE(data.ItemAt(2)->WordPainters);
    EXPECT_EQ(data.ItemAt(2)->WordPainters->PainterAt(0)->StartOffset, 6);
    v.StopLiveSpelling();
    EXPECT_FALSE(holder->Sub.ItemAt(0)->WordPainters);
}
