// The stand-in controls: stored components read to the right values and
// written back byte-identical, unknown properties and classes passed over,
// damaged data refused, and the class library's control state over widgets.

#include <gtest/gtest.h>

#include <memory>

#include "AnsiText.h"
#include "StdControls.h"

namespace {

QByteArray Hex(std::initializer_list<const char*> lines)
{
    QByteArray hex;
    for (const char* line : lines)
        hex += line;
    return QByteArray::fromHex(hex);
}

// A button with every property its table knows.
const QByteArray ButtonFixture = Hex({
    "545046300754427574746F6E034F4B31",                          // "TPF0", TButton, OK1
    "044C6566740208",                                            // Left = 8
    "03546F700210",                                              // Top = 16
    "055769647468024B",                                          // Width = 75
    "064865696768740219",                                        // Height = 25
    "0743617074696F6E0604C8B7B6A8",                              // Caption = '确定'
    "07456E61626C656408",                                        // Enabled = False
    "0C466F6E742E43686172736574070E4742323331325F43484152534554",  // Font.Charset = GB2312_CHARSET
    "0A466F6E742E436F6C6F720705636C526564",                      // Font.Color = clRed
    "0B466F6E742E48656967687402F1",                              // Font.Height = -15
    "09466F6E742E4E616D650604CBCECCE5",                          // Font.Name = '宋体'
    "0A466F6E742E5374796C650B066673426F6C6400",                  // Font.Style = [fsBold]
    "0A506172656E74466F6E7408",                                  // ParentFont = False
    "0754616253746F7008",                                        // TabStop = False
    "0000",                                                      // end of properties, no children
});

// An edit as written elsewhere: properties the stand-in does not have.
const QByteArray EditFixture = Hex({
    "54504630055445646974054564697431",                  // "TPF0", TEdit, Edit1
    "044C6566740200",                                    // Left = 0
    "03546F700200",                                      // Top = 0
    "0557696474680279",                                  // Width = 121
    "064865696768740215",                                // Height = 21
    "05436F6C6F720456341200",                            // Color = $123456 (four-byte integer)
    "085461624F726465720203",                            // TabOrder = 3
    "084F6E4368616E6765070B45646974314368616E6765",      // OnChange = Edit1Change
    "04546578740609D6D0CEC42074657874",                  // Text = '中文 text'
    "14436F6E73747261696E74732E4D61785769647468030001",  // Constraints.MaxWidth = 256
    "0756697369626C6508",                                // Visible = False
    "0000",
});

QByteArray Written(const QWidget& control)
{
    TComponentWriter writer;
    WriteControl(writer, control);
    return writer.Data();
}

std::unique_ptr<QWidget> Read(const QByteArray& data, QWidget* into = nullptr)
{
    TComponentReader reader(data);
    std::unique_ptr<QWidget> control(ReadControl(reader, into));
    EXPECT_TRUE(reader.AtEnd());
    return control;
}

}  // namespace

TEST(StdControls, ButtonReadsEveryPropertyAndWritesTheSameBytes)
{
    const auto control = Read(ButtonFixture);
    auto* button = dynamic_cast<TButton*>(control.get());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->objectName(), QStringLiteral("OK1"));
    EXPECT_EQ(button->geometry(), QRect(8, 16, 75, 25));
    EXPECT_EQ(button->Caption(), QStringLiteral("确定"));
    EXPECT_FALSE(ControlEnabled(*button));
    EXPECT_FALSE(ControlTabStop(*button));
    EXPECT_TRUE(ControlVisible(*button));
    EXPECT_FALSE(button->ParentFont());
    EXPECT_EQ(button->Font().Charset, 134);
    EXPECT_EQ(button->Font().Color, clRed);
    EXPECT_EQ(button->Font().Height(), -15);
    EXPECT_EQ(button->Font().Name, QStringLiteral("宋体"));
    EXPECT_TRUE(button->Font().Bold);
    EXPECT_FALSE(button->Font().Italic);
    // What was read is shown.
    EXPECT_TRUE(button->font().bold());
    EXPECT_EQ(button->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_EQ(Written(*button), ButtonFixture);
}

TEST(StdControls, UnknownPropertiesAreSkipped)
{
    const auto control = Read(EditFixture);
    auto* edit = dynamic_cast<TEdit*>(control.get());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->Text(), QStringLiteral("中文 text"));
    EXPECT_EQ(edit->Color(), 0x123456u);
    EXPECT_FALSE(ControlVisible(*edit));
    EXPECT_EQ(edit->size(), QSize(121, 21));
    // Written back without them, in the table's order.
    TEdit again;
    TComponentReader reader(Written(*edit));
    EXPECT_EQ(ReadControl(reader, &again), &again);
    EXPECT_EQ(again.Text(), edit->Text());
    EXPECT_EQ(again.Color(), edit->Color());
    EXPECT_FALSE(ControlVisible(again));
}

TEST(StdControls, ColoursInBothForms)
{
    TPanel panel;
    for (TColor color : {clBtnFace, clRed, TColor(0x123456), clWindow}) {
        panel.SetColor(color);
        const auto read = Read(Written(panel));
        EXPECT_EQ(dynamic_cast<TPanel*>(read.get())->Color(), color);
    }
    panel.SetColor(clRed);
    EXPECT_TRUE(Written(panel).contains(QByteArray("\x05" "Color" "\x07\x05" "clRed", 13)));
}

TEST(StdControls, PanelChildrenTravelAsOwnedComponents)
{
    TPanel panel;
    panel.setObjectName(QStringLiteral("Panel1"));
    panel.SetCaption(QStringLiteral("面板"));
    auto* button = new TButton(&panel);
    button->setObjectName(QStringLiteral("Button1"));
    button->setGeometry(10, 5, 60, 20);
    button->SetCaption(QStringLiteral("Go"));
    auto* inner = new TPanel(&panel);
    inner->setObjectName(QStringLiteral("Inner"));
    auto* edit = new TEdit(inner);
    edit->setObjectName(QStringLiteral("Edit1"));
    edit->SetText(QStringLiteral("x"));
    const QByteArray data = Written(panel);
    const auto read = Read(data);
    auto* copy = dynamic_cast<TPanel*>(read.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->Caption(), QStringLiteral("面板"));
    auto* copiedButton = copy->findChild<TButton*>(QStringLiteral("Button1"), Qt::FindDirectChildrenOnly);
    ASSERT_NE(copiedButton, nullptr);
    EXPECT_EQ(copiedButton->geometry(), QRect(10, 5, 60, 20));
    auto* copiedEdit = copy->findChild<TEdit*>(QStringLiteral("Edit1"));
    ASSERT_NE(copiedEdit, nullptr);
    EXPECT_EQ(copiedEdit->parentWidget()->objectName(), QStringLiteral("Inner"));
    EXPECT_EQ(Written(*copy), data);
}

TEST(StdControls, UnknownChildClassesAreSkipped)
{
    // A panel owning a TMemo (unknown here) with a property and a child of its own, then a button.
    const QByteArray data = Hex({
        "54504630065450616E656C06506172656E74", "00",     // "TPF0", TPanel, Parent; no properties
        "05544D656D6F054D656D6F31", "044C6566740205", "00",  // TMemo Memo1, Left = 5
        "0754427574746F6E0458595A31", "00", "00",            // its own child: TButton XYZ1
        "00",                                                // end of Memo1's children
        "0754427574746F6E07427574746F6E31", "03546F70020C", "00", "00",  // TButton Button1, Top = 12
        "00",
    });
    const auto read = Read(data);
    ASSERT_NE(read, nullptr);
    const auto children = read->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), 1);
    EXPECT_EQ(children[0]->objectName(), QStringLiteral("Button1"));
    EXPECT_EQ(children[0]->y(), 12);
}

TEST(StdControls, DamagedDataFailsCleanly)
{
    const QByteArray cases[] = {
        ButtonFixture.left(ButtonFixture.size() - 1),      // no final end
        ButtonFixture.left(30),                            // inside a property
        Hex({"5450463005544D656D6F054D656D6F310000"}),      // a class that is not known here
        Hex({"5450463107544275", "74746F6E0000"}),          // a wrong signature
        Hex({"5450463007544275", "74746F6E00", "0743617074696F6E0CFFFFFF7F41", "0000"}),  // a string longer than the data
    };
    for (const QByteArray& data : cases) {
        TComponentReader reader(data);
        EXPECT_THROW(delete ReadControl(reader, nullptr), EComponentStreamError) << data.toHex().constData();
    }
}

TEST(StdControls, NestingIsBounded)
{
    TPanel outer;
    QWidget* parent = &outer;
    for (int i = 0; i < 40; ++i)
        parent = new TPanel(parent);
    TComponentReader reader(Written(outer));
    EXPECT_THROW(delete ReadControl(reader, nullptr), EComponentStreamError);
}

TEST(StdControls, ControlStateOfWidgets)
{
    QWidget window;
    auto* button = new TButton(&window);
    EXPECT_TRUE(ControlVisible(*button));  // never shown, not hidden
    SetControlVisible(*button, false);
    EXPECT_FALSE(ControlVisible(*button));
    SetControlVisible(*button, true);
    EXPECT_TRUE(ControlVisible(*button));
    EXPECT_TRUE(ControlCanFocus(*button));
    button->setEnabled(false);
    EXPECT_FALSE(ControlCanFocus(*button));

    // A control without a parent is not shown as a window of its own.
    TEdit alone;
    SetControlVisible(alone, true);
    EXPECT_FALSE(alone.isVisible());
    EXPECT_FALSE(ControlCanFocus(alone));

    struct {
        bool start;
        Qt::FocusPolicy policy;
        bool tabStop;
        Qt::FocusPolicy after;
    } cases[] = {{true, Qt::StrongFocus, false, Qt::ClickFocus},
                 {false, Qt::NoFocus, true, Qt::TabFocus},
                 {false, Qt::ClickFocus, true, Qt::StrongFocus},
                 {true, Qt::TabFocus, false, Qt::NoFocus}};
    for (const auto& c : cases) {
        QWidget w;
        w.setFocusPolicy(c.policy);
        EXPECT_EQ(ControlTabStop(w), c.start);
        SetControlTabStop(w, c.tabStop);
        EXPECT_EQ(w.focusPolicy(), c.after);
    }

    EXPECT_EQ(ControlTag(alone), 0);
    SetControlTag(alone, -42);
    EXPECT_EQ(ControlTag(alone), -42);
}

TEST(StdControls, ClassesByName)
{
    for (const char* name : {"TButton", "TEdit", "TPanel", "tbutton"}) {
        EXPECT_TRUE(ControlClassRegistered(QString::fromLatin1(name)));
        std::unique_ptr<QWidget> made(CreateControlByClassName(QString::fromLatin1(name)));
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(ControlClassName(*made).toLower(), QString::fromLatin1(name).toLower());
    }
    EXPECT_FALSE(ControlClassRegistered(QStringLiteral("TMemo")));
    EXPECT_EQ(CreateControlByClassName(QStringLiteral("TMemo")), nullptr);
    QWidget plain;
    EXPECT_EQ(ControlClassName(plain), QStringLiteral("QWidget"));
}
