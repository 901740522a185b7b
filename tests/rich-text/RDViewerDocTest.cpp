#include <gtest/gtest.h>

#include <QtWidgets/QApplication>

#include <memory>

#include "RDRichDoc.h"
#include "RDStyle.h"

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

class TSheet : public TRDStyle {
public:
    TSheet() { TextStyles().Items(0)->FontName = QStringLiteral("Arial"); }
};

} // namespace

TEST(ViewerDocumentTest, DerivedControlSuppliesItsDocument)
{
    TSheet sheet;
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
    TSheet sheet;
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
