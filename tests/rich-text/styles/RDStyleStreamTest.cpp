#include <gtest/gtest.h>

#include "core/RDError.h"
#include "core/RDFStream.h"
#include "styles/RDStyleStream.h"

namespace {
QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

// A jump style in bold red 11-point 宋体, named 链接.
const char* JumpStyleHex =
    "0E01095374796C654E616D650604C1B4BDD30743686172736574070E4742323331325F4348415253455408466F6E744E616D650604"
    "CBCECCE50453697A65020B055374796C650B066673426F6C640005436F6C6F720705636C526564044A756D70090000";
// A paragraph style named 边框 with a two-pixel single border without its top
// side, and tab stops at 100 (left) and 200 (right, "." leader).
const char* BorderStyleHex =
    "0E01095374796C654E616D650604B1DFBFF20C426F726465722E576964746802020C426F726465722E5374796C65070972646253696E"
    "676C6519426F726465722E56697369626C65426F72646572732E546F700804546162730E0108506F736974696F6E0264000105416C69"
    "676E070972647461526967687408506F736974696F6E03C800064C656164657206012E00000000";
// A list style of two levels: decimal "%0:s." indented 24; lower-case letters
// from 3 with a bold-less 9-point 宋体 marker font, continuous only; list id 12345.
const char* ListStyleHex =
    "0E01095374796C654E616D6506074E756D62657273064C6576656C730E01084C69737454797065070C72646C7374446563696D616C0A"
    "4C656674496E64656E74021810466F726D6174537472696E67436F6465060A323533303341373332450001084C6973745479706507"
    "0F72646C73744C6F776572416C70686109537461727446726F6D02030B466F6E742E48656967687402F409466F6E742E4E616D6506"
    "04CBCECCE5074F7074696F6E730B0E72646C6F436F6E74696E756F7573000000054C737449440339300000";
}  // namespace

TEST(RDStyleStream, HandWrittenFixturesReadAndWriteBack)
{
    TRDStyle sheet;
    LoadStylesFromBytes(Hex(JumpStyleHex), sheet.TextStyles());
    ASSERT_EQ(sheet.TextStyles().Count(), 1);
    const TFontInfo& jump = *sheet.TextStyles()[0];
    EXPECT_EQ(jump.StyleName, QStringLiteral("链接"));
    EXPECT_EQ(jump.FontName, QStringLiteral("宋体"));
    EXPECT_EQ(jump.Charset, 134);
    EXPECT_EQ(jump.Size, 11);
    EXPECT_EQ(jump.Style, fsBold);
    EXPECT_EQ(jump.Color, clRed);
    EXPECT_TRUE(jump.Jump);
    EXPECT_EQ(jump.JumpCursor, 101);
    EXPECT_EQ(SaveStylesToBytes(sheet.TextStyles()), Hex(JumpStyleHex));

    LoadStylesFromBytes(Hex(BorderStyleHex), sheet.ParaStyles());
    ASSERT_EQ(sheet.ParaStyles().Count(), 1);
    const TParaInfo& bordered = *sheet.ParaStyles()[0];
    EXPECT_EQ(bordered.StyleName, QStringLiteral("边框"));
    EXPECT_EQ(bordered.Border.Width, 2);
    EXPECT_EQ(bordered.Border.Style, TRDBorderStyle::rdbSingle);
    EXPECT_TRUE(bordered.Border.VisibleBorders.IsEqualToValues(true, false, true, true));
    ASSERT_EQ(bordered.Tabs.Count(), 2);
    EXPECT_EQ(bordered.Tabs.GetItem(0)->Position(), 100);
    EXPECT_EQ(bordered.Tabs.GetItem(1)->Position(), 200);
    EXPECT_EQ(bordered.Tabs.GetItem(1)->Align, TRDTabAlign::rdtaRight);
    EXPECT_EQ(bordered.Tabs.GetItem(1)->Leader, ".");
    EXPECT_EQ(SaveStylesToBytes(sheet.ParaStyles()), Hex(BorderStyleHex));

    LoadStylesFromBytes(Hex(ListStyleHex), sheet.ListStyles());
    ASSERT_EQ(sheet.ListStyles().Count(), 1);
    TRDListInfo& list = *sheet.ListStyles()[0];
    EXPECT_EQ(list.GetListId(), 12345);
    ASSERT_EQ(list.Levels.size(), 2u);
    EXPECT_EQ(list.Levels[0].ListType, TRDListType::rdlstDecimal);
    EXPECT_EQ(list.Levels[0].LeftIndent, 24);
    EXPECT_EQ(list.Levels[0].FormatString, QByteArray("%0:s."));
    EXPECT_FALSE(list.Levels[0].HasFont());
    EXPECT_EQ(list.Levels[1].ListType, TRDListType::rdlstLowerAlpha);
    EXPECT_EQ(list.Levels[1].StartFrom, 3);
    ASSERT_TRUE(list.Levels[1].HasFont());
    EXPECT_EQ(list.Levels[1].Font().Size, 9);
    EXPECT_EQ(list.Levels[1].Font().Name, QStringLiteral("宋体"));
    EXPECT_EQ(list.Levels[1].Options, rdloContinuous);
    EXPECT_EQ(list.Levels[1].FormatString, QByteArray(1, '\xB7'));
    EXPECT_EQ(SaveStylesToBytes(sheet.ListStyles()), Hex(ListStyleHex));
}

TEST(RDStyleStream, ColoursInBothForms)
{
    // The jump style with its colour as the integer 255 instead of clRed.
    QByteArray asInteger = Hex(JumpStyleHex);
    asInteger.replace(Hex("0705636C526564"), Hex("03FF00"));
    TRDStyle sheet;
    LoadStylesFromBytes(asInteger, sheet.TextStyles());
    EXPECT_EQ(sheet.TextStyles()[0]->Color, clRed);
    EXPECT_EQ(SaveStylesToBytes(sheet.TextStyles()), Hex(JumpStyleHex));

    // A colour without a name is written as an integer; system colours by name.
    sheet.TextStyles()[0]->Color = 0x123456;
    sheet.TextStyles()[0]->BackColor = clBtnFace;
    const QByteArray written = SaveStylesToBytes(sheet.TextStyles());
    EXPECT_TRUE(written.contains(Hex("05436F6C6F720456341200")));
    EXPECT_TRUE(written.contains(Hex("0709636C42746E46616365")));
    TRDStyle back;
    LoadStylesFromBytes(written, back.TextStyles());
    EXPECT_EQ(back.TextStyles()[0]->Color, 0x123456u);
    EXPECT_EQ(back.TextStyles()[0]->BackColor, clBtnFace);
}

TEST(RDStyleStream, TruncatedOrLyingDataLeavesTheStylesAlone)
{
    for (const char* fixture : {JumpStyleHex, BorderStyleHex, ListStyleHex}) {
        const QByteArray full = Hex(fixture);
        for (qsizetype n = 0; n < full.size(); ++n) {
            TRDStyle sheet;
            const QByteArray before = SaveStylesToBytes(sheet.TextStyles());
            const QByteArray beforePara = SaveStylesToBytes(sheet.ParaStyles());
            TRDStyle probe;
            EXPECT_THROW(
                {
                    if (fixture == JumpStyleHex)
                        LoadStylesFromBytes(full.left(n), sheet.TextStyles());
                    else if (fixture == BorderStyleHex)
                        LoadStylesFromBytes(full.left(n), sheet.ParaStyles());
                    else
                        LoadStylesFromBytes(full.left(n), sheet.ListStyles());
                },
                ERichDocError)
                << n;
            EXPECT_EQ(SaveStylesToBytes(sheet.TextStyles()), before);
            EXPECT_EQ(SaveStylesToBytes(sheet.ParaStyles()), beforePara);
            EXPECT_EQ(sheet.ListStyles().Count(), 0);
        }
    }
    TRDStyle sheet;
    // Data after the collection, a string whose length runs past the end, an
    // unknown property, a value of the wrong kind, a list instead of a collection.
    const QByteArray bad[] = {
        Hex(JumpStyleHex) + QByteArray(1, 0),
        Hex("0E01095374796C654E616D650CFFFFFF7F41420000"),
        Hex("0E010757696467657473020100"),
        Hex("0E010453697A650603616263000000"),
        Hex("010000"),
    };
    for (const QByteArray& data : bad)
        EXPECT_THROW(LoadStylesFromBytes(data, sheet.TextStyles()), ERichDocError) << data.toHex().constData();
    EXPECT_EQ(sheet.TextStyles().Count(), 6);
}

TEST(RDStyleStream, SheetCollectionsRoundTrip)
{
    TRDStyle sheet;
    TFontInfo& keywords = *sheet.TextStyles()[3];
    keywords.Protection = rdprModifyProtect | rdprStickToBottom;
    keywords.UnderlineType = TRDUnderlineType::rdutThickDashDotDotted;
    keywords.ModifiedProperties = FontProp(rdfiColor) | FontProp(rdfiCustom);
    keywords.Unicode = true;
    keywords.NextStyleNo = 2;
    keywords.StyleName = QString(300, u'长');  // a string of more than 255 bytes
    TParaInfo& centered = *sheet.ParaStyles()[1];
    centered.Background.Color = 0x00FFFF;
    centered.Background.BorderOffsets.SetAll(-3);
    centered.ModifiedProperties2 = ParaProperties2Of(ParaProp(rdpiTabs));
    centered.Options = rdpaoWidowOrphanControl;
    TRDListInfo& list = *sheet.ListStyles().Add();
    list.Levels.resize(1);
    list.Levels[0].FormatStringW = QStringLiteral("第%0:s章");
    list.Levels[0].Font().Color = clNone;
    QImage dot(4, 4, QImage::Format_RGB32);
    dot.fill(Qt::black);
    TBitmapGraphic bitmap;
    bitmap.Assign(dot);
    TPicture picture;
    picture.SetGraphic(&bitmap);
    list.Levels[0].ListType = TRDListType::rdlstPicture;
    list.Levels[0].SetPicture(&picture);

    TRDStyle copy;
    LoadStylesFromBytes(SaveStylesToBytes(sheet.TextStyles()), copy.TextStyles());
    LoadStylesFromBytes(SaveStylesToBytes(sheet.ParaStyles()), copy.ParaStyles());
    LoadStylesFromBytes(SaveStylesToBytes(sheet.ListStyles()), copy.ListStyles());
    ASSERT_EQ(copy.TextStyles().Count(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(copy.TextStyles()[i]->IsSameStyle(*sheet.TextStyles()[i], false)) << i;
    EXPECT_EQ(copy.TextStyles()[3]->StyleName, keywords.StyleName);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(copy.ParaStyles()[i]->IsSameStyle(*sheet.ParaStyles()[i], false)) << i;
    EXPECT_TRUE(copy.ListStyles()[0]->IsSameStyle(list, false));
    EXPECT_EQ(copy.ListStyles()[0]->Levels[0].FormatStringW, QStringLiteral("第%0:s章"));
    ASSERT_TRUE(copy.ListStyles()[0]->Levels[0].HasPicture());
    EXPECT_EQ(copy.ListStyles()[0]->Levels[0].Picture().Graphic()->SaveToStream(), bitmap.SaveToStream());
    EXPECT_TRUE(copy.ListStyles()[0]->Levels[0].Picture().Graphic()->Transparent());
    // A different picture makes the levels differ.
    dot.fill(Qt::white);
    bitmap.Assign(dot);
    picture.SetGraphic(&bitmap);
    copy.ListStyles()[0]->Levels[0].SetPicture(&picture);
    EXPECT_FALSE(copy.ListStyles()[0]->IsSameStyle(list, false));

    // A new sheet's defaults write only what differs from each class's defaults.
    TRDStyle plain;
    plain.TextStyles().Clear();
    plain.TextStyles().Add();
    EXPECT_EQ(SaveStylesToBytes(plain.TextStyles()),
              Hex("0E01095374796C654E616D65060A466F6E74205374796C650000"));
}

TEST(RDStyleStream, TemplatesKeepIdsParentsAndRefuseCommonProperties)
{
    TRDStyle sheet;
    TRDStyleTemplate* normal = sheet.StyleTemplates().Add();
    normal->SetName("Normal");
    normal->ValidTextProperties = FontProp(rdfiFontName) | FontProp(rdfiSize);
    normal->TextStyle().FontName = QStringLiteral("宋体");
    normal->TextStyle().Size = 12;
    TRDStyleTemplate* heading = sheet.StyleTemplates().Add();
    heading->SetParentId(normal->GetId());
    heading->ValidParaProperties1 = ParaProperties1Of(ParaProp(rdpiSpaceBefore) | ParaProp(rdpiBorder_Vis_Top));
    heading->ValidParaProperties2 = ParaProperties2Of(ParaProp(rdpiKeepWithNext));
    heading->ParaStyle().SpaceBefore = 12;
    heading->ParaStyle().Border.VisibleBorders.Top = false;

    const QByteArray data = SaveStylesToBytes(sheet.StyleTemplates());
    TRDStyle copy;
    LoadStylesFromBytes(data, copy.StyleTemplates());
    ASSERT_EQ(copy.StyleTemplates().Count(), 2);
    TRDStyleTemplate* normalCopy = copy.StyleTemplates()[0];
    TRDStyleTemplate* headingCopy = copy.StyleTemplates()[1];
    EXPECT_EQ(copy.StyleTemplates().NormalTemplate(), normalCopy);
    EXPECT_EQ(normalCopy->GetId(), normal->GetId());
    EXPECT_EQ(headingCopy->Parent(), normalCopy);
    EXPECT_EQ(headingCopy->Name(), heading->Name());
    EXPECT_EQ(headingCopy->ValidParaProperties(), heading->ValidParaProperties());
    EXPECT_FALSE(headingCopy->ParaStyle().Border.VisibleBorders.Top);
    EXPECT_EQ(normalCopy->TextStyle().FontName, QStringLiteral("宋体"));
    EXPECT_EQ(SaveStylesToBytes(copy.StyleTemplates()), data);

    // A template part has no style name of its own.
    QByteArray refused = Hex("0E01");
    refused += char(19);
    refused += "TextStyle.StyleName";
    refused += Hex("0601780000");
    EXPECT_THROW(LoadStylesFromBytes(refused, copy.StyleTemplates()), ERichDocError);
    EXPECT_EQ(copy.StyleTemplates().Count(), 2);

    // A stored chain that loops is linked as it stands and still applies.
    QByteArray loop = Hex("0E01");
    auto prop = [&loop](const char* name, const QByteArray& value) {
        loop += char(strlen(name));
        loop += name;
        loop += value;
    };
    prop("TextStyle.Size", Hex("020F"));
    prop("ValidTextProperties", Hex("0B087264666953697A6500"));
    prop("ParentId", Hex("0216"));
    prop("IDProp", Hex("020B"));
    loop += Hex("0001");
    prop("TextStyle.Size", Hex("0263"));
    prop("ValidTextProperties", Hex("0B087264666953697A6500"));
    prop("ParentId", Hex("020B"));
    prop("IDProp", Hex("0216"));
    loop += Hex("0000");
    TRDStyle looped;
    LoadStylesFromBytes(loop, looped.StyleTemplates());
    ASSERT_EQ(looped.StyleTemplates().Count(), 2);
    EXPECT_EQ(looped.StyleTemplates()[0]->Parent(), looped.StyleTemplates()[1]);
    EXPECT_EQ(looped.StyleTemplates()[1]->Parent(), looped.StyleTemplates()[0]);
    TFontInfo style;
    looped.StyleTemplates()[0]->ApplyToTextStyle(style, nullptr, true);
    EXPECT_EQ(style.Size, 15);
}

TEST(RDStyleStream, StyleFieldsOfRdfHeaders)
{
    TRDStyle sheet;
    sheet.TextStyles()[2]->StyleName = QStringLiteral("标 \"题\"");
    EXPECT_EQ(RDFTextStyleToString(sheet, true, 2), QByteArray("\"\xB1\xEA \"\"\xCC\xE2\"\"\""));
    EXPECT_EQ(RDFTextStyleToString(sheet, false, 2), "2");
    EXPECT_EQ(RDFTextStyleToString(sheet, true, 9), "9");
    EXPECT_EQ(RDFParaStyleToString(sheet, true, 1), "\"Centered\"");
    EXPECT_EQ(RDFParaStyleToString(sheet, true, -1), "-1");

    struct {
        const char* line;
        bool ok;
        int32_t n;
        char next;
    } cases[] = {
        {"\"\xB1\xEA \"\"\xCC\xE2\"\"\" 5", true, 2, '5'},
        {"\"Unknown\" 5", true, 0, '5'},
        {"4 x", true, 4, 'x'},
        {"\"open", false, 0, 0},
        {"99999999999 1", false, 0, 0},
    };
    for (const auto& c : cases) {
        const QByteArray line(c.line);
        const char* cursor = line.constData();
        int32_t n = -7;
        EXPECT_EQ(RDFReadTextStyle(sheet, cursor, n), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(n, c.n) << c.line;
            EXPECT_EQ(*cursor, c.next) << c.line;
        }
    }
    const QByteArray para("\"Centered\"");
    const char* cursor = para.constData();
    int32_t n = 0;
    EXPECT_TRUE(RDFReadParaStyle(sheet, cursor, n));
    EXPECT_EQ(n, 1);
}

TEST(RDStyleStream, GraphicsInRdfForms)
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    TBitmapGraphic bitmap;
    bitmap.Assign(image);
    QByteArray hex;
    RDFSaveGraphicHex(bitmap, hex);
    TBitmapGraphic back;
    EXPECT_TRUE(RDFLoadGraphicHex(hex, back));
    EXPECT_EQ(back.SaveToStream(), bitmap.SaveToStream());
    EXPECT_FALSE(RDFLoadGraphicHex(hex.left(hex.size() - 1), back));

    TRDMemoryStream stream;
    RDFSaveGraphicBinary(stream, bitmap);
    stream.SetPosition(0);
    TBitmapGraphic fromBlock;
    EXPECT_TRUE(RDFLoadGraphicBinary(stream, fromBlock));
    EXPECT_EQ(fromBlock.Width(), 2);
    // A block whose length runs past the end fails.
    TRDMemoryStream cut;
    cut.LoadFromBytes(stream.ToBytes().left(20));
    EXPECT_FALSE(RDFLoadGraphicBinary(cut, fromBlock));
}
