#include <gtest/gtest.h>

#include "styles/RDStyleCSS.h"

namespace {
QByteArray TextCss(const TCustomRDFontInfo& s, const TCustomRDFontInfo* base = nullptr, bool multiline = false)
{
    TRDMemoryStream stream;
    SaveCSSToStream(s, stream, base, multiline, false);
    return stream.ToBytes();
}

QByteArray ParaCss(const TCustomRDParaInfo& s, const TCustomRDParaInfo* base = nullptr)
{
    TRDMemoryStream stream;
    SaveCSSToStream(s, stream, base, false, false, false);
    return stream.ToBytes();
}
}  // namespace

TEST(RDStyleCSS, TextStyleDeclarations)
{
    TFontInfo plain;
    plain.Color = 0x0000FF;
    EXPECT_EQ(TextCss(plain), " font-size: 10pt; font-family: 'Arial'; font-style: normal; font-weight: normal;"
                              " color: #ff0000; background-color: transparent; text-decoration: none;");
    // Multi-line: no transparent background; each declaration on its line.
    EXPECT_EQ(TextCss(plain, nullptr, true), " font-size: 10pt;\r\n font-family: 'Arial';\r\n font-style: normal;\r\n"
                                             " font-weight: normal;\r\n color: #ff0000;\r\n text-decoration: none;\r\n");

    TFontInfo sup;
    sup.Assign(plain);
    sup.Size = 12;
    sup.SubSuperScriptType = TRDSubSuperScriptType::rdsssSuperScript;
    EXPECT_EQ(TextCss(sup, &plain), " font-size: 8pt; vertical-align: super;");

    TFontInfo dashed;
    dashed.Assign(plain);
    dashed.Size = 30;
    dashed.Style = fsUnderline;
    dashed.UnderlineType = TRDUnderlineType::rdutThickDashed;
    dashed.UnderlineColor = 0x00FF00;
    const QByteArray css = TextCss(dashed);
    EXPECT_TRUE(css.contains(" text-decoration: none;"));
    EXPECT_TRUE(css.endsWith(" border-bottom: dashed 4px #00ff00;"));

    // Same as the base: nothing; a jump keeps its "none".
    EXPECT_EQ(TextCss(plain, &plain), "");
    TFontInfo jump;
    jump.Assign(plain);
    jump.Jump = true;
    EXPECT_EQ(TextCss(jump, &plain), " text-decoration: none;");
    TFontInfo caps;
    caps.Assign(plain);
    caps.StyleEx = rdfsAllCaps;
    caps.CharSpacing = 2;
    caps.BiDiMode = TRDBiDiMode::rdbdRightToLeft;
    EXPECT_EQ(TextCss(caps, &plain), " direction: rtl; letter-spacing: 2px; text-transform: uppercase;");
    EXPECT_EQ(TextCss(plain, &caps), " direction: inherit; letter-spacing: 0px; text-transform: none;");
}

TEST(RDStyleCSS, ParagraphDeclarations)
{
    TParaInfo para;
    para.LineSpacing = 105;
    EXPECT_EQ(ParaCss(para), " text-align: left; text-indent: 0px; line-height: 1.05; padding: 0px 0px 0px 0px;"
                             " margin: 0px 0px 0px 0px;");
    TParaInfo bordered;
    bordered.Border.Style = TRDBorderStyle::rdbDouble;
    bordered.Border.Width = 1;
    bordered.Border.InternalWidth = 2;
    bordered.Border.VisibleBorders.Left = false;
    bordered.Border.BorderOffsets.SetAll(3);
    bordered.Background.Color = 0xFFFF00;
    bordered.Background.BorderOffsets.Top = 5;
    bordered.SpaceBefore = 10;
    bordered.Options = rdpaoKeepWithNext;
    TParaInfo base;
    EXPECT_EQ(ParaCss(bordered, &base),
              " page-break-after: avoid; border-color: #000000; border-style: double; border-width: 3px;"
              " border-left: none; background: #00ffff; padding: 5px 3px 3px 3px; margin: 5px -3px -3px -3px;");
    EXPECT_EQ(ParaCss(base, &bordered), " page-break-after: auto; border: none; background: transparent;"
                                         " padding: 0px 0px 0px 0px; margin: 0px 0px 0px 0px;");
    TParaInfo exact;
    exact.LineSpacingType = TRDLineSpacingType::rdlsSpaceBetween;
    TParaInfo wide;
    wide.LineSpacing = 150;
    EXPECT_EQ(ParaCss(exact, &wide), " line-height: normal;");
}

TEST(RDStyleCSS, SheetHoverRuleAndRtf)
{
    TRDStyle sheet;
    sheet.TextStyles()[4]->HoverColor = 0x0000FF;
    TRDMemoryStream stream;
    SaveCSSToStream(sheet, stream, 0);
    const QByteArray css = stream.ToBytes();
    EXPECT_TRUE(css.startsWith("/* ========== Text Styles ========== */\r\nhr { color: #000000}\r\n"
                               "body, table /* Normal text */\r\n{\r\n"));
    EXPECT_TRUE(css.contains("a.rdts4, span.rdts4 /* Jump 1 */\r\n{\r\n"));
    EXPECT_TRUE(css.contains("a.rdts4:hover { color: #ff0000; }\r\n"));
    EXPECT_FALSE(css.contains("a.rdts5:hover"));
    EXPECT_TRUE(css.contains("p,ul,ol /* Paragraph Style */\r\n"));
    EXPECT_TRUE(css.contains(".rdps1 /* Centered */\r\n{\r\n text-align: center;\r\n}\r\n"));

    TFontInfo s;
    s.VShift = 33;
    s.Style = fsBold | fsUnderline;
    s.UnderlineType = TRDUnderlineType::rdutDotted;
    s.UnderlineColor = 0x00FF00;
    s.Color = 0x0000FF;
    s.Charset = 134;
    TRDIntegerList fonts = TRDIntegerList::CreateFilled(3, 2);
    TRDColorList colors;
    colors.AddUnique(0x00FF00);
    colors.AddUnique(0x0000FF);
    TRDMemoryStream rtf;
    SaveRTFToStream(s, rtf, 1, 15.0, fonts, colors, nullptr);
    EXPECT_EQ(rtf.ToBytes(), "\\f2\\b\\uld\\ulc0\\up7\\lang2052\\fs20\\cf1");
}
