// Control items: the width share of the document, positions, undo, RDF
// records with and without the control's component in both forms, unknown
// and damaged components, the application's text for the control, and the
// control's picture for printing.

#include <gtest/gtest.h>

#include <QtGui/QPainter>

#include "items/RDControlItems.h"
#include "RDDocTestSupport.h"
#include "document/RDFDocIO.h"
#include "core/RDFStream.h"
#include "RDFTestIO.h"
#include "viewer/RDScroll.h"
#include "core/RDGraphUtils.h"
#include "document/RDTextItems.h"
#include "StdControls.h"

namespace {

class TControlDoc : public TTestRDData {
public:
    using TTestRDData::TTestRDData;
    QWidget* Parent = nullptr;
    // Controls the application gives by name when a record holds none.
    std::map<QString, QWidget*> Supplied;
    std::vector<std::pair<QString, TRDTag>> Asked;
    std::vector<std::pair<TRDControlAction, void*>> Actions;
    QByteArray ComponentText;

    TRDWidgetHost ParentHost;
    TRDHost* GetHost() override
    {
        ParentHost.Control = Parent;
        return Parent ? &ParentHost : nullptr;
    }
    bool DoRDFControlNeeded(const QString& name, const TRDTag& tag, void*& control) override
    {
        Asked.emplace_back(name, tag);
        auto it = Supplied.find(name);
        control = it == Supplied.end() ? nullptr : it->second;
        return control != nullptr;
    }
    void DoControlAction(TRDControlAction action, int, void*& control) override
    {
        Actions.emplace_back(action, control);
    }
    bool DoSaveComponentToFile(const QString&, const void* control, TRDSaveFormat format, QByteArray& out) override
    {
        out = control ? ComponentText + QByteArray::number(static_cast<int>(format)) : QByteArray();
        return true;
    }
};

class ControlItemsTest : public ::testing::Test {
protected:
    ControlItemsTest() { Sheet.ParaStyles()[0]->DefStyleNo = -1; }
    TTestStyleSheet Sheet;
    QWidget Window;
    TControlDoc Doc{&Sheet};

    TRDControlItemInfo* AddControl(QWidget* control, TCustomRDData* doc = nullptr)
    {
        doc = doc ? doc : &Doc;
        auto item = CreateItemByStyleNo(-5, doc);
        auto* controlItem = dynamic_cast<TRDControlItemInfo*>(item.get());
        EXPECT_NE(controlItem, nullptr);
        controlItem->Control = control;
        doc->AddItem(control ? control->objectName().toLatin1() : QByteArray("none"), item.release());
        return controlItem;
    }

    TButton* MakeButton(const QString& name, const QString& caption)
    {
        auto* button = new TButton;
        button->setObjectName(name);
        button->SetCaption(caption);
        return button;
    }
};

TEST_F(ControlItemsTest, PercentWidthTakesItsShareOfTheDocument)
{
    auto* item = AddControl(MakeButton(QStringLiteral("B"), QStringLiteral("x")));
    item->PercentWidth = 50;
    TRDDrawLineInfo drawItem;
    int extra = -1, descent = -1;
    item->OnDocWidthChange(600, &drawItem, false, nullptr, &Doc, nullptr, extra, descent);
    EXPECT_EQ(item->Control->width(), 298);
    EXPECT_EQ(drawItem.Width, 300);
    EXPECT_EQ(drawItem.Height, 25 + 2);
    EXPECT_EQ(extra, 0);
    EXPECT_EQ(descent, 1);
    EXPECT_EQ(item->GetMinWidth(nullptr), 20);
    EXPECT_TRUE(item->GetBoolValueEx(6, &Sheet));
    EXPECT_FALSE(item->GetBoolValue(7));  // not resizable while it takes a share

    // While printing only the draw item follows the printed width.
    TRDDrawLineInfo printed;
    item->OnDocWidthChange(1000, &printed, true, nullptr, &Doc, nullptr, extra, descent);
    EXPECT_EQ(item->Control->width(), 298);
    EXPECT_EQ(printed.Width, 500);

    // Other values leave the control its own width.
    for (int percent : {0, 101, -5}) {
        item->PercentWidth = percent;
        TRDDrawLineInfo other;
        item->OnDocWidthChange(600, &other, false, nullptr, &Doc, nullptr, extra, descent);
        EXPECT_EQ(item->Control->width(), 298) << percent;
        EXPECT_EQ(descent, 1);
        EXPECT_EQ(item->GetBoolValueEx(6, &Sheet), false) << percent;
    }
    item->PercentWidth = 0;
    EXPECT_EQ(item->GetMinWidth(nullptr), 300);
}

TEST_F(ControlItemsTest, PositionUndoAndVisibility)
{
    Doc.Parent = &Window;
    auto* button = MakeButton(QStringLiteral("B"), QStringLiteral("x"));
    auto* item = AddControl(button);
    EXPECT_EQ(button->parentWidget(), &Window);  // given the document's control on insertion
    EXPECT_FALSE(ControlVisible(*button));       // shown by the layout only

    item->SetPosition(40, 70, false);
    EXPECT_EQ(button->x(), 41);
    EXPECT_EQ(ControlTag(*button), 71);
    EXPECT_EQ(button->y(), 0);
    EXPECT_TRUE(ControlVisible(*button));
    item->SetPosition(40, 20000, true);
    EXPECT_EQ(button->y(), 10000);
    item->SetPosition(0, -30, true);
    EXPECT_EQ(button->y(), -29);

    EXPECT_TRUE(item->SetExtraIntProperty(14, 0));
    EXPECT_FALSE(ControlVisible(*button));
    item->SetPosition(0, 0, true);
    EXPECT_FALSE(ControlVisible(*button));
    QImage page(100, 100, QImage::Format_RGB32);
    EXPECT_FALSE(item->PrintToBitmap(page, 0));

    item->MovingToUndoList(0, &Doc, nullptr);
    EXPECT_EQ(button->parentWidget(), nullptr);
    item->MovingFromUndoList(0, &Doc);
    EXPECT_EQ(button->parentWidget(), &Window);
    ASSERT_EQ(Doc.Actions.size(), 2u);
    EXPECT_EQ(Doc.Actions[0], std::make_pair(TRDControlAction::rdcaMoveToUndoList, static_cast<void*>(button)));
    EXPECT_EQ(Doc.Actions[1].first, TRDControlAction::rdcaMoveFromUndoList);

    EXPECT_TRUE(item->OwnsControl(button));
    EXPECT_EQ(Doc.IndexOfControl(button), 0);
    // A parent freed first takes the control with it; the item then holds none.
    auto* window = new QWidget;
    auto* edit = new TEdit;
    auto* second = AddControl(edit);
    edit->setParent(window);
    delete window;
    EXPECT_FALSE(second->GetBoolValue(1));
}

TEST_F(ControlItemsTest, FreedItemsReportTheControlsTheyHold)
{
    auto* button = MakeButton(QStringLiteral("B"), QStringLiteral("x"));
    AddControl(button);
    Doc.AddTextRawNoTag("text", 0, 0);
    // A control a parent freed first: the item still reports, with none.
    auto* window = new QWidget;
    auto* edit = new TEdit;
    AddControl(edit);
    edit->setParent(window);
    delete window;
    Doc.Actions.clear();

    Doc.DeleteItemRange(0, 3);
    const std::vector<std::pair<TRDControlAction, void*>> expected = {
        {TRDControlAction::rdcaDestroy, static_cast<void*>(button)},
        {TRDControlAction::rdcaDestroy, nullptr},
    };
    EXPECT_EQ(Doc.Actions, expected);
    EXPECT_EQ(Doc.ItemCount(), 0);
}

TEST_F(ControlItemsTest, HiddenItemsWriteVisibleZeroAndPropertiesRoundTrip)
{
    auto* item = AddControl(MakeButton(QStringLiteral("B"), QStringLiteral("x")));
    item->Visible = false;
    item->Resizable = true;
    item->MinHeightOnPage = 30;
    item->Tag = TRDTag::FromInt(12);
    const QByteArray saved = Save(Doc);
    EXPECT_EQ(saved, QByteArray("-8 1 3\r\n-5 4 0 0 1 12 0\r\nB\r\nminheightonpage=30\r\nresizable=1\r\nvisible=0\r\n"));

    // Read without bodies: the application is asked by name and tag.
    TControlDoc read(&Sheet);
    auto* supplied = new TEdit;
    read.Supplied[QStringLiteral("B")] = supplied;
    ASSERT_TRUE(Load(read, saved));
    ASSERT_EQ(read.Asked.size(), 1u);
    EXPECT_EQ(read.Asked[0].first, QStringLiteral("B"));
    EXPECT_EQ(read.Asked[0].second.Int, 12);
    auto* copy = dynamic_cast<TRDControlItemInfo*>(read.ItemAt(0));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Control.data(), supplied);
    EXPECT_FALSE(copy->Visible);
    EXPECT_TRUE(copy->Resizable);
    EXPECT_EQ(copy->MinHeightOnPage, 30);
    EXPECT_EQ(Save(read), saved);

    // Nothing supplied: an item without a control.
    TControlDoc none(&Sheet);
    ASSERT_TRUE(Load(none, saved));
    EXPECT_FALSE(none.ItemAt(0)->GetBoolValue(1));
}

// The control's component travels as a hex line and as a binary block; what
// is read writes the same file again.
TEST_F(ControlItemsTest, BodiesInBothForms)
{
    for (TRDFOptions form : {TRDFOptions(0), TRDFOptions(rdfoSaveBinary)}) {
        TControlDoc doc(&Sheet);
        doc.Parent = &Window;
        doc.RDFOptions = rdfoSaveControlsBody | form;
        doc.AddTextRawNoTag("text", 0, 0);
        auto* button = MakeButton(QStringLiteral("Button1"), QStringLiteral("确定"));
        button->setGeometry(0, 0, 80, 24);
        TFont font;
        font.Bold = true;
        button->SetFont(font);
        AddControl(button, &doc)->SetContinuesPara(true);
        auto* panel = new TPanel;
        panel->setObjectName(QStringLiteral("Panel1"));
        auto* child = new TEdit(panel);
        child->setObjectName(QStringLiteral("Edit1"));
        child->SetText(QStringLiteral("中文"));
        child->move(5, 6);
        auto* panelItem = AddControl(panel, &doc);
        panelItem->SetContinuesPara(true);
        panelItem->Resizable = true;

        // As the layout leaves them: placed and shown.
        for (int i = 1; i <= 2; ++i)
            static_cast<TRDControlItemInfo*>(doc.ItemAt(i))->SetPosition(10 * i, 0, true);
        doc.Actions.clear();
        const QByteArray first = Save(doc);
        ASSERT_EQ(doc.Actions.size(), 4u);
        EXPECT_EQ(doc.Actions[0], std::make_pair(TRDControlAction::rdcaBeforeRDFSave, static_cast<void*>(button)));
        EXPECT_EQ(doc.Actions[1], std::make_pair(TRDControlAction::rdcaAfterRDFSave, static_cast<void*>(button)));
        EXPECT_TRUE(first.contains(form ? QByteArray("-5 3 -1 1 2 0 0\r\nButton1\r\nTButton\r\n")
                                        : QByteArray("-5 3 -1 1 0 0 0\r\nButton1\r\nTButton\r\n")))
            << first.constData();

        TControlDoc read(&Sheet);
        read.Parent = &Window;
        read.RDFOptions = doc.RDFOptions;
        ASSERT_TRUE(Load(read, first)) << form;
        ASSERT_EQ(read.ItemCount(), 3);
        EXPECT_EQ(read.Warnings, 0);
        EXPECT_TRUE(read.Asked.empty());
        auto* readButton = dynamic_cast<TButton*>(static_cast<TRDControlItemInfo*>(read.ItemAt(1))->Control.data());
        ASSERT_NE(readButton, nullptr);
        EXPECT_EQ(readButton->Caption(), QStringLiteral("确定"));
        EXPECT_EQ(readButton->size(), QSize(80, 24));
        EXPECT_TRUE(readButton->Font().Bold);
        EXPECT_EQ(readButton->parentWidget(), &Window);
        EXPECT_FALSE(ControlVisible(*readButton));  // until the layout places it
        auto* readPanel = static_cast<TRDControlItemInfo*>(read.ItemAt(2));
        EXPECT_TRUE(readPanel->Resizable);
        auto* readEdit = readPanel->Control->findChild<TEdit*>(QStringLiteral("Edit1"));
        ASSERT_NE(readEdit, nullptr);
        EXPECT_EQ(readEdit->Text(), QStringLiteral("中文"));
        EXPECT_EQ(readEdit->pos(), QPoint(5, 6));
        ASSERT_EQ(read.Actions.size(), 2u);
        EXPECT_EQ(read.Actions[0].first, TRDControlAction::rdcaAfterRDFLoad);
        EXPECT_EQ(read.Actions[0].second, static_cast<void*>(readButton));

        for (int i = 1; i <= 2; ++i)
            static_cast<TRDControlItemInfo*>(read.ItemAt(i))->SetPosition(10 * i, 0, true);
        EXPECT_EQ(Save(read), first);
    }
}

struct TControlRecordCase {
    const char* Name;
    QByteArray Record;
    TRDFOptions Options;
    bool Loads;
    uint8_t Warnings;
    bool HasControl;
};

void PrintTo(const TControlRecordCase& c, std::ostream* os)
{
    *os << c.Name;
}

QByteArray ButtonComponent()
{
    TButton button;
    button.setObjectName(QStringLiteral("OK"));
    button.SetCaption(QStringLiteral("OK"));
    TComponentWriter writer;
    WriteControl(writer, button);
    return writer.Data();
}

QByteArray ControlHexRecord(const QByteArray& className, const QByteArray& component)
{
    return "-8 1 3\r\n-5 3 0 0 0 0 0\r\nOK\r\n" + className + "\r\n" + component.toHex().toUpper() + "\r\n";
}

QByteArray BinaryRecord(const QByteArray& className, const QByteArray& component, int32_t length)
{
    QByteArray block(4, '\0');
    for (int i = 0; i < 4; ++i)
        block[i] = static_cast<char>((static_cast<uint32_t>(length) >> (8 * i)) & 0xFF);
    return "-8 1 3\r\n-5 3 0 0 2 0 0\r\nOK\r\n" + className + "\r\n" + block + component;
}

class ControlRecordTest : public ControlItemsTest, public ::testing::WithParamInterface<TControlRecordCase> {};

TEST_P(ControlRecordTest, LoadsOrFailsCleanly)
{
    const TControlRecordCase& c = GetParam();
    Doc.RDFOptions = c.Options;
    EXPECT_EQ(Load(Doc, c.Record), c.Loads);
    EXPECT_EQ(Doc.Warnings, c.Warnings);
    if (c.Loads) {
        ASSERT_EQ(Doc.ItemCount(), 1);
        EXPECT_EQ(Doc.ItemAt(0)->GetBoolValue(1), c.HasControl);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, ControlRecordTest,
    ::testing::Values(
        TControlRecordCase{"hex", ControlHexRecord("TButton", ButtonComponent()), 0, true, 0, true},
        TControlRecordCase{"binary", BinaryRecord("TButton", ButtonComponent(), ButtonComponent().size()), 0, true,
                           0, true},
        TControlRecordCase{"unknown class stops", ControlHexRecord("TMemo", ButtonComponent()), 0, false,
                           rdfwUnknownControls, false},
        TControlRecordCase{"unknown class ignored", ControlHexRecord("TMemo", ButtonComponent()), rdfoIgnoreUnknownCtrls,
                           true, rdfwUnknownControls, false},
        TControlRecordCase{"unknown class in binary ignored",
                           BinaryRecord("TMemo", "junk", 4), rdfoIgnoreUnknownCtrls, true, rdfwUnknownControls, false},
        TControlRecordCase{"component cut short", ControlHexRecord("TButton", ButtonComponent().chopped(3)),
                           rdfoIgnoreUnknownCtrls, false, 0, false},
        TControlRecordCase{"bytes after the component", ControlHexRecord("TButton", ButtonComponent() + "xx"), 0, false,
                           0, false},
        TControlRecordCase{"odd hex", ControlHexRecord("TButton", ButtonComponent()).replace("\r\n5450", "\r\n545"), 0,
                           false, 0, false},
        TControlRecordCase{"block longer than the file",
                           BinaryRecord("TButton", ButtonComponent(), ButtonComponent().size() + 100), 0, false, 0,
                           false},
        TControlRecordCase{"negative block length", BinaryRecord("TButton", ButtonComponent(), -4), 0, false, 0,
                           false}));

TEST_F(ControlItemsTest, ApplicationTextForOutput)
{
    Doc.ComponentText = "ctl:";
    auto* item = AddControl(MakeButton(QStringLiteral("B"), QStringLiteral("x")));
    EXPECT_EQ(item->AsText(80, &Doc, false, false, QString(), "B"), QByteArray("ctl:0"));
    EXPECT_EQ(item->SaveToHTML(&Doc, QString()), QByteArray("ctl:1"));
    EXPECT_EQ(item->SaveRTF(&Doc, QString()), QByteArray("ctl:2"));
    auto* empty = AddControl(nullptr);
    EXPECT_TRUE(empty->AsText(80, &Doc, false, false, QString(), "none").isEmpty());
}

TEST_F(ControlItemsTest, FramesOfSelectedAndCurrentItems)
{
    Sheet.SelColor = clRed;
    Sheet.CurrentItemColor = 0xFF0000;
    auto* item = AddControl(MakeButton(QStringLiteral("B"), QStringLiteral("x")));
    item->Control->resize(20, 10);
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        item->Paint(canvas, 5, 5, rdisSelected | rdisControlFocused | rdisCurrent, &Sheet);
    }
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::red));        // the item's rectangle, spacing included
    EXPECT_EQ(image.pixelColor(5 + 21, 5 + 11), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(4, 4), QColor(Qt::blue));       // one pixel outside
    EXPECT_EQ(image.pixelColor(15, 10), QColor(Qt::white));    // the control paints itself
    item->Visible = false;
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        TCanvas canvas(painter);
        item->Paint(canvas, 5, 5, rdisSelected | rdisControlFocused | rdisCurrent, &Sheet);
    }
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::white));
}

// The bounding box of the pixels darker than grey.
QRect DarkPixels(const QImage& image, const QRect& area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 96)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST_F(ControlItemsTest, ControlPictures)
{
    TButton button;
    button.resize(120, 40);
    button.SetCaption(QStringLiteral("OK"));
    const QImage picture = DrawControlToBitmap(button);
    ASSERT_EQ(picture.size(), QSize(120, 40));
    // The caption, centred within a pixel or two, inside the frame.
    const QRect caption = DarkPixels(picture, QRect(4, 4, 112, 32));
    ASSERT_FALSE(caption.isEmpty());
    EXPECT_NEAR(caption.center().x(), 60, 2);
    EXPECT_NEAR(caption.center().y(), 20, 2);
    EXPECT_NE(picture.pixel(0, 20), picture.pixel(60, 20));  // a frame around the face

    // A panel shows its children at their offsets.
    TPanel panel;
    panel.resize(100, 60);
    auto* edit = new TEdit(&panel);
    edit->SetColor(clRed);
    edit->setGeometry(30, 20, 40, 20);
    const QImage panelPicture = DrawControlToBitmap(panel);
    EXPECT_EQ(panelPicture.pixelColor(50, 30), QColor(Qt::red));
    EXPECT_NE(panelPicture.pixelColor(15, 30), QColor(Qt::red));

    // Printed: centred in a larger picture, or at the top for split pages.
    auto* item = AddControl(MakeButton(QStringLiteral("B"), QStringLiteral("x")));
    item->Control->resize(20, 10);
    static_cast<TButton*>(item->Control.data())->SetColor(clRed);
    QImage page(30, 30, QImage::Format_RGB32);
    page.fill(Qt::white);
    ASSERT_TRUE(item->PrintToBitmap(page, 0));
    EXPECT_EQ(page.pixelColor(4, 14), QColor(Qt::white));
    EXPECT_NE(page.pixelColor(5 + 10, 10 + 1), QColor(Qt::white));
    QImage small(10, 5, QImage::Format_RGB32);
    ASSERT_TRUE(item->PrintToBitmap(small, 0));
    EXPECT_EQ(small.size(), QSize(20, 10));
    item->MinHeightOnPage = 5;
    QImage part(20, 10, QImage::Format_RGB32);
    part.fill(Qt::white);
    ASSERT_TRUE(item->PrintToBitmap(part, -6));
    auto drawItem = item->CreatePrintDrawItem(&Doc, nullptr);
    ASSERT_NE(dynamic_cast<TRDMultiImagePrintInfo*>(drawItem.get()), nullptr);
    EXPECT_EQ(drawItem->Width, 22);
    EXPECT_EQ(drawItem->Height, 12);
    item->MinHeightOnPage = 0;
    EXPECT_EQ(dynamic_cast<TRDMultiImagePrintInfo*>(item->CreatePrintDrawItem(&Doc, nullptr).get()), nullptr);
}

}  // namespace
