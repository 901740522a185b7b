// The three style sheets the program's screens carry, built as their forms
// store them: through INI and component-stream collections and back, merged
// into a new sheet, and as CSS.

#include <gtest/gtest.h>

#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>

#include "styles/RDStyleCSS.h"
#include "styles/RDStyleIni.h"
#include "styles/RDStyleStream.h"

namespace {
TFontInfo& Text(TRDStyle& sheet, const char* name, const QString& font, int size, uint8_t style, TColor color)
{
    TFontInfo& s = *sheet.TextStyles().Add();
    s.StyleName = QString::fromUtf8(name);
    s.FontName = font;
    s.Size = size;
    s.Style = style;
    s.Color = color;
    return s;
}

// The check dialogs' sheet: the marks of the answer checker.
void BuildCheckSheet(TRDStyle& sheet)
{
    const QString arial = QStringLiteral("Arial");
    const QString song = QStringLiteral("宋体");
    sheet.TextStyles().Clear();
    Text(sheet, "RightSpell", arial, 11, fsBold, clWindowText);
    Text(sheet, "WrongSpell", arial, 11, fsBold | fsStrikeOut, clRed);
    Text(sheet, "CorrectSpell", arial, 9, fsBold, clBlack);
    Text(sheet, "OverSpell", arial, 11, fsBold, clBlack).BackColor = 196604;
    TFontInfo& miss = Text(sheet, "MissSpell", arial, 11, fsBold, clBlack);
    miss.BackColor = 57670;
    miss.Jump = true;
    Text(sheet, "ItemTitle", song, 11, 0, clBlack);
    Text(sheet, "Font Style", song, 9, 0, clBlack);
    Text(sheet, "Font Style", song, 11, fsBold, 7456396);
    sheet.ParaStyles()[0]->LineSpacing = 8;
    sheet.ParaStyles()[0]->LineSpacingType = TRDLineSpacingType::rdlsSpaceBetween;
}

// The makers' sheets: one line style, 10 pixels between lines, no wrapping.
void BuildMakerSheet(TRDStyle& sheet)
{
    sheet.TextStyles().Clear();
    TFontInfo& line = Text(sheet, "Normal text", QStringLiteral("宋体"), 10, 0, clWindowText);
    line.Charset = 134;
    sheet.ParaStyles().Clear();
    TParaInfo& para = *sheet.ParaStyles().Add();
    para.StyleName = QStringLiteral("Paragraph Style");
    para.LineSpacing = 10;
    para.LineSpacingType = TRDLineSpacingType::rdlsSpaceBetween;
    para.Options = rdpaoNoWrap;
    para.Border.Width = 0;
    para.Border.InternalWidth = 0;
    para.Border.VisibleBorders.SetAll(false);
    para.Background.Color = clWindow;
}

void ExpectSameSheets(const TRDStyle& a, const TRDStyle& b)
{
    ASSERT_EQ(a.TextStyles().Count(), b.TextStyles().Count());
    for (int i = 0; i < a.TextStyles().Count(); ++i) {
        EXPECT_TRUE(a.TextStyles()[i]->IsSameStyle(*b.TextStyles()[i], false)) << i;
        EXPECT_EQ(a.TextStyles()[i]->StyleName, b.TextStyles()[i]->StyleName) << i;
    }
    ASSERT_EQ(a.ParaStyles().Count(), b.ParaStyles().Count());
    for (int i = 0; i < a.ParaStyles().Count(); ++i)
        EXPECT_TRUE(a.ParaStyles()[i]->IsSameStyle(*b.ParaStyles()[i], false)) << i;
}

class RDProgramSheets : public ::testing::TestWithParam<int> {
protected:
    void Build(TRDStyle& sheet) const
    {
        if (GetParam() == 0)
            BuildCheckSheet(sheet);
        else
            BuildMakerSheet(sheet);
    }
};

TEST_P(RDProgramSheets, ThroughIniAndBack)
{
    TRDStyle sheet;
    Build(sheet);
    QTemporaryDir dir;
    TIniFile ini(dir.filePath("sheet.ini"));
    for (int i = 0; i < sheet.TextStyles().Count(); ++i)
        SaveToIni(*sheet.TextStyles()[i], ini, "Text", QStringLiteral("%1_%s").arg(i));
    for (int i = 0; i < sheet.ParaStyles().Count(); ++i)
        SaveToIni(*sheet.ParaStyles()[i], ini, "Para", QStringLiteral("%1_%s").arg(i));

    TRDStyle back;
    back.TextStyles().Clear();
    back.ParaStyles().Clear();
    for (int i = 0; i < sheet.TextStyles().Count(); ++i)
        LoadFromIni(*back.TextStyles().Add(), ini, "Text", QStringLiteral("%1_%s").arg(i), false, 101);
    for (int i = 0; i < sheet.ParaStyles().Count(); ++i)
        LoadFromIni(*back.ParaStyles().Add(), ini, "Para", QStringLiteral("%1_%s").arg(i));
    ExpectSameSheets(sheet, back);
}

TEST_P(RDProgramSheets, ThroughComponentStreamAndBack)
{
    TRDStyle sheet;
    Build(sheet);
    const QByteArray text = SaveStylesToBytes(sheet.TextStyles());
    const QByteArray para = SaveStylesToBytes(sheet.ParaStyles());
    TRDStyle back;
    LoadStylesFromBytes(text, back.TextStyles());
    LoadStylesFromBytes(para, back.ParaStyles());
    ExpectSameSheets(sheet, back);
    EXPECT_EQ(SaveStylesToBytes(back.TextStyles()), text);
    EXPECT_EQ(SaveStylesToBytes(back.ParaStyles()), para);
}

INSTANTIATE_TEST_SUITE_P(CheckAndMaker, RDProgramSheets, ::testing::Values(0, 1));

TEST(RDProgramSheetsMerge, CheckSheetIntoADefaultSheet)
{
    TRDStyle check;
    BuildCheckSheet(check);
    TRDStyle target;
    TRDIntegerList textMap, paraMap;
    target.TextStyles().MergeStyles(check.TextStyles(), rdMergeEqual, textMap, nullptr);
    target.ParaStyles().MergeStyles(check.ParaStyles(), rdMergeEqual, paraMap, &textMap);
    // No mark equals a default style: all eight are appended; "Centered" is shared.
    ASSERT_EQ(textMap.Count(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(textMap[i], 6 + i);
    EXPECT_EQ(paraMap[0], 2);
    EXPECT_EQ(paraMap[1], 1);
    EXPECT_EQ(target.TextStyles().Count(), 14);
    EXPECT_FALSE(target.TextStyles()[6]->Standard);
    // Merging again finds them all.
    target.TextStyles().MergeStyles(check.TextStyles(), rdMergeEqual, textMap, nullptr);
    EXPECT_EQ(target.TextStyles().Count(), 14);
    EXPECT_EQ(textMap[7], 13);

    // Mapped to the closest: the marks go to the default styles.
    TRDStyle closest;
    closest.TextStyles().MergeStyles(check.TextStyles(), rdMergeClosest, textMap, nullptr);
    EXPECT_EQ(closest.TextStyles().Count(), 6);
    EXPECT_EQ(textMap[4], 4);  // the jump mark to a jump style
    EXPECT_EQ(textMap[1], 2);  // bold red struck out: the bold navy subheading, nearer red than blue
    EXPECT_EQ(textMap[6], 0);  // plain 9-point text
}

TEST(RDProgramSheetsCss, CheckSheetGivesTheCheckedCss)
{
    TRDStyle check;
    BuildCheckSheet(check);
    TRDMemoryStream stream;
    SaveCSSToStream(check, stream, rdcssUtf8Names);
    QFile expected(QStringLiteral(PIBO_RICH_TEXT_FIXTURES "/check-dialog.css"));
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    EXPECT_EQ(stream.ToBytes(), expected.readAll());
}

}  // namespace
