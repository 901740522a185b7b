#include <gtest/gtest.h>

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include "core/RDError.h"
#include "styles/RDStyle.h"
#include "styles/RDStyleIni.h"

namespace {
class RDStyleIni : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString Path() const { return Dir.filePath("styles.ini"); }
    QStringList Keys() const
    {
        QFile file(Path());
        file.open(QIODevice::ReadOnly);
        QStringList keys;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.contains('='))
                keys << QString::fromLatin1(line.left(line.indexOf('=')).trimmed());
        return keys;
    }
    QString Value(const QString& key) const
    {
        return TIniFile(Path()).ReadString("S", key, "<none>");
    }
};

TEST_F(RDStyleIni, DefaultTextStyleWritesThreeKeys)
{
    TIniFile ini(Path());
    TFontInfo style;
    SaveToIni(style, ini, "S", "%s");
    EXPECT_EQ(Keys(), QStringList({"StyleName", "Name", "Jump"}));
    EXPECT_EQ(Value("Jump"), "No");
    EXPECT_EQ(Value("StyleName"), "Font Style");
}

TEST_F(RDStyleIni, ProtectionKeepsItsLowBitsOnly)
{
    TIniFile ini(Path());
    TFontInfo style;
    style.Protection = rdprStickToTop;
    SaveToIni(style, ini, "S", "%s");
    EXPECT_FALSE(Keys().contains("Protection"));
    style.Protection = rdprModifyProtect | rdprStickToTop;
    SaveToIni(style, ini, "S", "%s");
    TFontInfo back;
    LoadFromIni(back, ini, "S", "%s", false, 101);
    EXPECT_EQ(back.Protection, rdprModifyProtect);
}

TEST_F(RDStyleIni, MissingJumpTakesTheCallersDefaults)
{
    TIniFile ini(Path());
    ini.WriteString("S", "StyleName", "x");
    ini.WriteInteger("S", "JumpCursor", 5);
    TFontInfo style;
    LoadFromIni(style, ini, "S", "%s", true, 101);
    EXPECT_TRUE(style.Jump);
    EXPECT_EQ(style.JumpCursor, 101);
    ini.WriteString("S", "Jump", "yes");
    LoadFromIni(style, ini, "S", "%s", false, 101);
    EXPECT_TRUE(style.Jump);
    EXPECT_EQ(style.JumpCursor, 5);
    // Old files: single symbols protect the style.
    ini.WriteString("S", "SingleSymbols", "Yes");
    LoadFromIni(style, ini, "S", "%s", false, 101);
    EXPECT_EQ(style.Protection, rdprStyleProtect | rdprDoNotAutoSwitch);
}

TEST_F(RDStyleIni, StylesRoundTripWithPatterns)
{
    TIniFile ini(Path());
    TRDStyle sheet;
    TFontInfo& heading = *sheet.TextStyles()[1];
    heading.FontName = QStringLiteral("宋体");
    heading.Charset = 134;
    heading.UnderlineType = TRDUnderlineType::rdutDotted;
    heading.HoverEffects = rdheUnderline;
    heading.NextStyleNo = 0;
    TParaInfo& para = *sheet.ParaStyles()[1];
    para.Border.Style = TRDBorderStyle::rdbDouble;
    para.Border.VisibleBorders.Top = false;
    para.Border.BorderOffsets.Left = 4;
    para.Background.Color = 0x00FFFF;
    para.Tabs.Add(100);
    para.Tabs.Add(40, TRDTabAlign::rdtaCenter, "-");
    para.Options = rdpaoKeepWithNext | rdpaoNoWrap;
    para.DefStyleNo = 3;
    for (int i = 0; i < sheet.TextStyles().Count(); ++i)
        SaveToIni(*sheet.TextStyles()[i], ini, "S", QStringLiteral("Text%1%s").arg(i));
    for (int i = 0; i < sheet.ParaStyles().Count(); ++i)
        SaveToIni(*sheet.ParaStyles()[i], ini, "S", QStringLiteral("Para%1%s").arg(i));
    EXPECT_EQ(Value("Para1BorderVisibleTop"), "No");
    EXPECT_EQ(Value("Para1BorderOffsetsLeft"), "4");
    EXPECT_EQ(Value("Para1TabTabCount"), "2");
    EXPECT_EQ(Value("Para1TabTabPos0"), "40");

    TRDStyle back;
    for (int i = 0; i < back.TextStyles().Count(); ++i)
        LoadFromIni(*back.TextStyles()[i], ini, "S", QStringLiteral("Text%1%s").arg(i), false, 101);
    for (int i = 0; i < back.ParaStyles().Count(); ++i)
        LoadFromIni(*back.ParaStyles()[i], ini, "S", QStringLiteral("Para%1%s").arg(i));
    for (int i = 0; i < back.TextStyles().Count(); ++i)
        EXPECT_TRUE(back.TextStyles()[i]->IsSameStyle(*sheet.TextStyles()[i], false)) << i;
    for (int i = 0; i < back.ParaStyles().Count(); ++i)
        EXPECT_TRUE(back.ParaStyles()[i]->IsSameStyle(*sheet.ParaStyles()[i], false)) << i;

    // A pattern from data goes through the one formatter only.
    EXPECT_THROW(SaveToIni(heading, ini, "S", "%d%s"), ERichDocError);
}

TEST_F(RDStyleIni, ListLevelsPicturesAndFonts)
{
    TIniFile ini(Path());
    TRDListInfo list;
    list.SetListId(77);
    list.OneLevelPreview = true;
    list.Levels.resize(2);
    list.Levels[0].ListType = TRDListType::rdlstPicture;
    TMetafile metafile;  // 600 bytes: 1200 hexadecimal digits
    metafile.LoadFromStream(QByteArray(600, '\x3C'));
    TPicture picture;
    picture.SetGraphic(&metafile);
    list.Levels[0].SetPicture(&picture);
    list.Levels[1].ListType = TRDListType::rdlstDecimal;
    list.Levels[1].FormatString = "%0:s.";
    list.Levels[1].FormatStringW = QStringLiteral("第%0:s");
    list.Levels[1].Font().Name = QStringLiteral("宋体");
    list.Levels[1].Font().Style = fsBold | fsStrikeOut;
    list.Levels[1].Font().Color = 0x123456;
    list.Levels[1].Options = rdloLevelReset;
    SaveToIni(list, ini, "S", "L%s");
    const QStringList keys = Keys();
    EXPECT_TRUE(keys.contains("ListId"));
    EXPECT_TRUE(keys.contains("OneLevelPreview"));
    QStringList pieces;
    for (const QString& key : keys)
        if (key.contains("Picture"))
            pieces << key;
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(Value(pieces[0]).size(), 500);
    EXPECT_EQ(Value(pieces[1]).size(), 500);
    EXPECT_EQ(Value(pieces[2]).size(), 200);
    // The level's index follows the key name.
    EXPECT_EQ(pieces, QStringList({"LLvlPicture_00", "LLvlPicture_10", "LLvlPicture_20"}));

    TRDListInfo back;
    LoadFromIni(back, ini, "S", "L%s");
    EXPECT_EQ(back.StoredListId(), 77);
    EXPECT_TRUE(back.IsSameStyle(list, false));
    EXPECT_EQ(back.Levels[1].Font().Color, 0x123456u);
    EXPECT_EQ(back.Levels[1].FormatStringW, QStringLiteral("第%0:s"));

    // A level count that lies stops at the last level that is there.
    ini.WriteInteger("S", "LLevelsCount", 1000000);
    TRDListInfo lying;
    LoadFromIni(lying, ini, "S", "L%s");
    EXPECT_EQ(lying.Levels.size(), 2u);

    // A marker font whose number does not parse fails.
    TRDMarkerFont font;
    EXPECT_THROW(MarkerFontFromString(font, "Arial,x,B"), ERichDocError);
    MarkerFontFromString(font, "Courier New,-16,bq,0,clRed");
    EXPECT_EQ(font.Name, "Courier New");
    EXPECT_EQ(font.Size, 12);
    EXPECT_EQ(font.Style, fsBold);
    EXPECT_EQ(font.Color, clRed);
    EXPECT_EQ(font.Charset, DEFAULT_CHARSET);
}

TEST_F(RDStyleIni, MarkerFontNamesWithPercentSignsRoundTrip)
{
    TIniFile ini(Path());
    for (const QString& name : {QStringLiteral("%0"), QStringLiteral("%1x"), QStringLiteral("a%2b%6"),
                                QStringLiteral("%%9"), QStringLiteral("宋体%1")}) {
        SCOPED_TRACE(name.toStdString());
        TRDMarkerFont font;
        font.Name = name;
        font.Style = fsItalic;
        font.Color = clWindowText;
        EXPECT_EQ(MarkerFontToString(font), name + QStringLiteral(",-11,I,0,clWindowText,1"));

        TRDListInfo list;
        list.Levels.resize(1);
        list.Levels[0].Font() = font;
        SaveToIni(list, ini, "S", "L%s");
        TRDListInfo back;
        ASSERT_NO_THROW(LoadFromIni(back, ini, "S", "L%s"));
        ASSERT_EQ(back.Levels.size(), 1u);
        EXPECT_EQ(back.Levels[0].Font().Name, name);
        EXPECT_EQ(back.Levels[0].Font().Size, 8);
        EXPECT_EQ(back.Levels[0].Font().Style, fsItalic);
        EXPECT_EQ(back.Levels[0].Font().Color, clWindowText);
        EXPECT_EQ(back.Levels[0].Font().Charset, DEFAULT_CHARSET);
    }
}

}  // namespace
