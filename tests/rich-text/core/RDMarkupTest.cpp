#include <gtest/gtest.h>

#include "core/RDError.h"
#include "styles/RDListStyles.h"
#include "core/RDMarkup.h"
#include "styles/RDStyleMarkup.h"
#include "styles/RDTextStyles.h"

namespace {
QByteArray Raw(const QString& s)
{
    return WideStringToRaw(s);
}
}  // namespace

TEST(RDMarkup, HtmlEscaping)
{
    struct {
        QByteArray in, out;
    } ansi[] = {{"a&b<c>d", "a&amp;b&lt;c&gt;d"}, {"   ", "&nbsp;&nbsp; "}, {"&amp;", "&amp;amp;"}, {"", ""}};
    for (const auto& c : ansi)
        EXPECT_EQ(EscapeHtmlText(c.in, false), c.out) << c.in.constData();
    EXPECT_EQ(EscapeHtmlText("<b>", true), "<b>");

    EXPECT_EQ(UnicodeToHtmlEntities(Raw("   "), false), "&nbsp; &nbsp;");
    EXPECT_EQ(UnicodeToHtmlEntities(Raw(QStringLiteral("a\u00A0中<")), false), "a&nbsp;&#20013;&lt;");
    EXPECT_EQ(UnicodeToHtmlEntities(Raw("<b>"), true), "<b>");
    EXPECT_EQ(UnicodeToHtmlText(Raw(QStringLiteral(" 中 文 ")), false), QByteArray("&nbsp;") + QStringLiteral("中 文").toUtf8() + "&nbsp;");
    EXPECT_EQ(UnicodeToHtmlText(Raw(QStringLiteral("a&b")), false), "a&amp;b");

    // Symbol text: the table's entities; the three markup characters escaped.
    EXPECT_EQ(SymbolToHtmlEntities("\x61"), "&alpha;");
    EXPECT_EQ(SymbolToHtmlEntities("\xB0"), "\xB0");
    EXPECT_EQ(SymbolToHtmlEntities("\x80\x1F\xFF"), "");
    EXPECT_EQ(SymbolToHtmlEntities("&<>"), "&amp;&lt;&gt;");
    EXPECT_EQ(SymbolToHtmlEntities("\x4A\xED"), "&#977;{");
    EXPECT_EQ(SymbolToHtmlEntitiesW(Raw(QStringLiteral("\uF061a"))), "&alpha;&alpha;");
    EXPECT_THROW(SymbolToHtmlEntitiesW(QByteArray("abc")), ERichDocError);
}

TEST(RDMarkup, HtmlValues)
{
    EXPECT_EQ(ColorToHtml(0x000080FF, false), "#ff8000");
    EXPECT_EQ(ColorToHtml(0x000080FF, true), "\"#ff8000\"");
    EXPECT_EQ(ColorToHtml(clNone, false), "");
    EXPECT_EQ(ColorToHtml(clWindowText, false), "#000000");
    EXPECT_EQ(ColorToCss(clNone), "transparent");
    for (auto [points, size] : {std::pair{8, 1}, {10, 2}, {24, 6}, {25, 7}, {0, 1}})
        EXPECT_EQ(HtmlFontSize(points), size) << points;
    EXPECT_EQ(HtmlCharsetName(134), "gb2312");
    EXPECT_EQ(HtmlCharsetName(1), "");
    EXPECT_EQ(HtmlQuoteValue("\"x\"", rdhtmlXHTML), "\"x\"");
    EXPECT_EQ(HtmlQuoteValue("x", rdhtmlXHTML), "\"x\"");
    EXPECT_EQ(HtmlQuoteValue("x", 0), "x");
    EXPECT_EQ(HtmlBoolAttr("checked", rdhtmlXHTML), "checked=\"checked\"");
    EXPECT_EQ(HtmlIntAttr(3, rdhtmlXHTML), "\"3\"");
    EXPECT_EQ(HtmlEmptyTagEnd(rdhtmlXHTML), " /");
    struct {
        QByteArray in, out;
        bool lineBreaks;
    } percent[] = {{"a%20b", "a b", false}, {"%0D%0A", "%0D%0A", false}, {"%0D%0A", "\r\n", true},
                   {"%2", "%2", false},     {"%zz1", "%zz1", false},    {"100%", "100%", false}};
    for (const auto& c : percent)
        EXPECT_EQ(DecodePercentEscapes(c.in, c.lineBreaks), c.out) << c.in.constData();
    EXPECT_EQ(MakeHintAttribute(1, "say \"hi\""), "title=\"say 'hi'\"");
    EXPECT_EQ(MakeHintAttribute(2, "a{b}"), "\\o \"a_b_\"");
    EXPECT_EQ(MakeHintAttribute(3, "x\""), "x\"");
    EXPECT_EQ(MakeHintAttribute(1, ""), "");
    EXPECT_EQ(PathToHtmlUrl("a\\\xD6\xD0.png", rdhtmlUTF8, 936), QStringLiteral("a/中.png").toUtf8());
}

TEST(RDMarkup, FontTags)
{
    TFontInfo base;
    TFontInfo bold;
    bold.Style = fsBold | fsUnderline;
    bold.SubSuperScriptType = TRDSubSuperScriptType::rdsssSuperScript;
    EXPECT_EQ(MakeHtmlFontOpenTags(bold, &base, true, 0), "<b><u><sup>");
    EXPECT_EQ(MakeHtmlFontCloseTags(bold, &base, true), "</sup></u></b>");
    base.Style = fsItalic;
    EXPECT_EQ(MakeHtmlFontOpenTags(bold, &base, true, 0), "</i><b><u><sup>");
    EXPECT_EQ(MakeHtmlFontCloseTags(bold, &base, true), "</sup></u></b><i>");
    EXPECT_EQ(MakeHtmlFontOpenTags(bold, nullptr, false, 0),
              "<font size=2 color=\"#000000\" face=\"Arial\"><b><u><sup>");
    EXPECT_EQ(MakeHtmlFontCloseTags(bold, nullptr, false), "</sup></u></b></font>");

    TRDMarkerFont font;
    EXPECT_EQ(MarkerFontToCss(font, false), "font-size: 8pt; color: #000000;");
    font.Style = fsBold | fsUnderline | fsStrikeOut;
    font.Name = "Wingdings";
    EXPECT_EQ(MarkerFontToCss(font, true),
              "font-weight: bold; font-size: 8pt; font-family: 'Arial Unicode MS', 'Lucida Sans Unicode', 'Arial'; "
              "text-decoration: underline line-through; color: #000000;");
    TFontInfo text;
    EXPECT_EQ(MakeHtmlMarkerFontOpenTags(font, text, true, 0), "<font size=1 face=\"Wingdings\"><b><u><s>");
    EXPECT_EQ(MakeHtmlMarkerFontCloseTags(font, text, true), "</s></u></b></font>");
}

TEST(RDMarkup, RtfEscaping)
{
    EXPECT_EQ(RtfEscapeText("{x}", false, true), "\\{x\\}");
    EXPECT_EQ(RtfEscapeText("\xE9", false, true), "\\'e9");
    EXPECT_EQ(RtfEscapeText("\x95", false, true), "\\bullet ");
    EXPECT_EQ(RtfEscapeText("\x95", false, false), "\\'95");
    EXPECT_EQ(RtfEscapeText("\xA0", false, true), "\\~");
    EXPECT_EQ(RtfEscapeText("{\\par}", true, false), "{\\par}");
    EXPECT_EQ(RtfEscapeFieldText("{"), "\\\\{");
    EXPECT_EQ(RtfSafeName("a\\b{c}\x01"), "a_b_c_\\'01");
    EXPECT_EQ(RtfBookmarkName("a b-\xD6\xD0"), "a_b_\\'d6\\'d0");

    TRDMemoryStream plain;
    RtfWriteUnicodeText(plain, Raw(QStringLiteral("\u4E2D\uFF01a{\u2014")), 936, false, false);
    EXPECT_EQ(plain.ToBytes(), "\\u20013 \\u-255 a\\{\\emdash ");
    TRDMemoryStream duplicated;
    RtfWriteUnicodeText(duplicated, Raw(QStringLiteral("\u4E2D")), 1252, false, true);
    EXPECT_EQ(duplicated.ToBytes(), "\\u20013 ?");
    TRDMemoryStream gbk;
    RtfWriteUnicodeText(gbk, Raw(QStringLiteral("\u4E2D")), 936, false, true);
    EXPECT_EQ(gbk.ToBytes(), "\\uc2\\u20013 \\'d6\\'d0\\uc1 ");
}
