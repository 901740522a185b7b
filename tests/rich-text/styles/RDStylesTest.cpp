#include <gtest/gtest.h>

#include "styles/RDParaStyles.h"
#include "styles/RDTextStyles.h"

TEST(RDTextStyle, DefaultsAndComparisons)
{
    TFontInfo a;
    EXPECT_EQ(a.StyleName, "Font Style");
    EXPECT_EQ(a.FontName, "Arial");
    EXPECT_EQ(a.Size, 10);
    EXPECT_EQ(a.Color, clWindowText);
    EXPECT_EQ(a.JumpCursor, 101);
    EXPECT_EQ(a.Charset, 1);
    EXPECT_EQ(a.NextStyleNo, -1);
    EXPECT_EQ(a.StyleTemplateId, -1);

    TFontInfo b;
    b.Assign(a);
    b.HoverColor = clRed;
    EXPECT_TRUE(a.IsSameStyle(b, false));  // hover colours count only for jumps
    a.Jump = b.Jump = true;
    EXPECT_FALSE(a.IsSameStyle(b, false));

    // underline flag ignored, underline type not
    TFontInfo bold, boldUnderlined;
    bold.Style = fsBold;
    boldUnderlined.Style = fsBold | fsUnderline;
    EXPECT_TRUE(bold.IsEqualExcept(boldUnderlined, FontProp(rdfiUnderline)));
    EXPECT_FALSE(bold.IsEqualExcept(boldUnderlined, 0));
    boldUnderlined.UnderlineType = TRDUnderlineType::rdutDouble;
    EXPECT_FALSE(bold.IsEqualExcept(boldUnderlined, FontProp(rdfiUnderline)));

    // modified-property sets always count
    TFontInfo m1, m2;
    m2.ModifiedProperties = FontProp(rdfiSize);
    EXPECT_FALSE(m1.IsEqualExcept(m2, RDAllFontInfoProperties));
    EXPECT_FALSE(m1.IsSameStyle(m2, true));

    // names compared only when the owner asks, font names without case
    TRDInfoOwner owner;
    TFontInfo n1(&owner), n2(&owner);
    n2.StyleName = "Other";
    n2.FontName = "ARIAL";
    EXPECT_TRUE(n1.IsSameStyle(n2, false));
    owner.CompareStyleNames = true;
    EXPECT_FALSE(n1.IsSameStyle(n2, false));
}

TEST(RDTextStyle, LikenessAssignAndProtection)
{
    TFontInfo s;
    s.Style = fsItalic;
    TFontInfo oneFlag;
    oneFlag.Assign(s);
    oneFlag.Style = fsItalic | fsBold;
    EXPECT_EQ(s.StyleLikeness(s) - s.StyleLikeness(oneFlag), 50000);
    TFontInfo plain;
    plain.Assign(s);
    plain.Style = 0;  // one flag differs and the copy becomes plain
    EXPECT_EQ(s.StyleLikeness(s) - s.StyleLikeness(plain), 100000);

    TFontInfo styled;
    styled.Jump = true;
    styled.BackColor = clRed;
    styled.Protection = rdprDeleteProtect;
    TFont font;
    font.Name = "Courier New";
    font.Size = 12;
    font.Bold = true;
    styled.AssignFont(font);
    EXPECT_TRUE(styled.Jump);
    EXPECT_EQ(styled.BackColor, clRed);
    EXPECT_EQ(styled.Protection, rdprDeleteProtect);
    EXPECT_EQ(styled.FontName, "Courier New");
    EXPECT_EQ(styled.Style, fsBold);

    styled.ReadSingleSymbols(true);
    EXPECT_EQ(styled.Protection, rdprStyleProtect | rdprDeleteProtect | rdprDoNotAutoSwitch);

    TFontInfo target;
    target.AssignProperties(styled, FontProp(rdfiBold) | FontProp(rdfiSize));
    EXPECT_EQ(target.Style, fsBold);
    EXPECT_EQ(target.Size, 12);
    EXPECT_EQ(target.FontName, "Arial");
    EXPECT_FALSE(target.Jump);
}

TEST(RDTextStyle, MappedComparisonDropsReferencesBeyondTheMapping)
{
    TFontInfo inSheet;
    inSheet.NextStyleNo = 4;
    TFontInfo incoming;
    incoming.NextStyleNo = 1;
    TRDIntegerList mapping;
    mapping.Add(0);
    mapping.Add(4);
    EXPECT_TRUE(inSheet.IsSameStyleMapped(incoming, mapping));
    incoming.NextStyleNo = 0;
    EXPECT_FALSE(inSheet.IsSameStyleMapped(incoming, mapping));
    incoming.NextStyleNo = 7;
    EXPECT_TRUE(inSheet.IsSameStyleMapped(incoming, mapping));
    EXPECT_EQ(incoming.NextStyleNo, -1);
}

TEST(RDTextStyle, FontOfTheStyle)
{
    TFontInfo s;
    s.FontName = QString::fromUtf8("宋体");
    s.Size = 12;
    s.Style = fsBold;
    s.CharScale = 80;
    s.CharSpacing = 2;
    QFont font = s.MakeFont();
    EXPECT_EQ(font.family(), MapFontName(QString::fromUtf8("宋体")));
    EXPECT_EQ(font.pixelSize(), 16);
    EXPECT_TRUE(font.bold());
    EXPECT_FALSE(font.kerning());
    EXPECT_EQ(font.stretch(), 80);
    EXPECT_EQ(font.letterSpacing(), 2);
    EXPECT_EQ(s.MakeFont(TRDBiDiMode::rdbdLeftToRight).letterSpacing(), 0);
    s.SubSuperScriptType = TRDSubSuperScriptType::rdsssSubscript;
    EXPECT_EQ(s.MakeFont().pixelSize(), 11);  // 16 * 2 / 3 = 10.67
}

TEST(RDBorders, WidthsAndEquality)
{
    struct {
        TRDBorderStyle style;
        int total;
    } cases[] = {{TRDBorderStyle::rdbDouble, 7},   {TRDBorderStyle::rdbThickInside, 9},
                 {TRDBorderStyle::rdbNone, 0},     {TRDBorderStyle::rdbSingle, 2},
                 {TRDBorderStyle::rdbTriple, 12},  {TRDBorderStyle::rdbThickOutside, 9}};
    for (const auto& c : cases) {
        TRDBorder border;
        border.Style = c.style;
        border.Width = 2;
        border.InternalWidth = 3;
        EXPECT_EQ(border.GetTotalWidth(), c.total) << static_cast<int>(c.style);
    }

    TRDBorder all, noTop;
    all.Style = noTop.Style = TRDBorderStyle::rdbSingle;
    noTop.VisibleBorders.Top = false;
    EXPECT_FALSE(all.IsEqual(noTop));
    EXPECT_TRUE(all.IsEqualExcept(noTop, ParaProp(rdpiBorder_Vis_Top)));
    EXPECT_FALSE(all.IsEqualExcept(noTop, ParaProp(rdpiBorder_Vis_Left)));
    // a side drawn in one border only loses that side's shared score (colour,
    // widths, style, offset) and costs 20000
    EXPECT_EQ(all.Likeness(all) - all.Likeness(noTop), (3000 + 1000 + 1000 + 1000) + 100 + 20000);
}

TEST(RDTabs, SortedByPositionAndCompared)
{
    TRDTabInfos tabs;
    tabs.Add(100);
    tabs.Add(200, TRDTabAlign::rdtaRight, ".");
    tabs.Add(300);
    TRDTabInfo* first = tabs.GetItem(0);
    first->SetPosition(400);
    EXPECT_EQ(tabs.GetItem(2), first);
    EXPECT_EQ(tabs.GetItem(0)->Position(), 200);
    EXPECT_EQ(tabs.GetItem(0)->GetDisplayName(), "right at 200 (......)");
    EXPECT_THROW(tabs.GetItem(3), ERichDocError);

    TRDTabInfos copy = tabs;
    EXPECT_TRUE(copy.IsEqual(tabs));
    copy.GetItem(0)->SetPosition(250);  // the copy's stops sort in the copy
    EXPECT_EQ(tabs.GetItem(0)->Position(), 200);
    copy.GetItem(0)->SetPosition(200);
    copy.GetItem(0)->Leader = "-";
    EXPECT_FALSE(copy.IsEqual(tabs));
}

TEST(RDParaStyle, EdgeCasesTable)
{
    struct {
        TRDLineSpacingType type;
        int spacing;
        bool extra;
    } spacing[] = {{TRDLineSpacingType::rdlsPercent, 100, false}, {TRDLineSpacingType::rdlsSpaceBetween, 0, false},
                   {TRDLineSpacingType::rdlsPercent, 150, true},  {TRDLineSpacingType::rdlsSpaceBetween, 8, true}};
    for (const auto& c : spacing) {
        TParaInfo p;
        p.LineSpacingType = c.type;
        p.LineSpacing = c.spacing;
        EXPECT_EQ(p.HasExtraLineSpacing(), c.extra) << c.spacing;
    }

    TParaInfo a, b;
    EXPECT_EQ(a.StyleName, "Paragraph Style");
    b.Options = rdpaoWidowOrphanControl;
    EXPECT_FALSE(a.IsSameStyle(b, false));
    EXPECT_TRUE(a.IsEqualExcept(b, 0));

    TParaInfo readOnly;
    readOnly.Assign(a);
    readOnly.Options = rdpaoReadOnly;
    EXPECT_EQ(a.StyleLikeness(a) - a.StyleLikeness(readOnly), 100000);

    TParaInfo withBorder;
    withBorder.Border.Style = TRDBorderStyle::rdbSingle;
    withBorder.Tabs.Add(40);
    withBorder.LeftIndent = 12;
    withBorder.NextParaNo = 3;
    TParaInfo copy;
    copy.Assign(withBorder);
    EXPECT_TRUE(copy.IsSameStyle(withBorder, false));
    copy.Tabs.GetItem(0)->Leader = ".";
    EXPECT_FALSE(copy.IsSameStyle(withBorder, false));
    EXPECT_TRUE(copy.IsEqualExcept(withBorder, ParaProp(rdpiTabs)));

    TParaInfo selective;
    selective.AssignProperties(withBorder, ParaProp(rdpiBorder_Style) | ParaProp(rdpiLeftIndent) | ParaProp(rdpiNextParaNo));
    EXPECT_EQ(selective.Border.Style, TRDBorderStyle::rdbSingle);
    EXPECT_EQ(selective.LeftIndent, 12);
    EXPECT_EQ(selective.NextParaNo, -1);
    EXPECT_EQ(selective.Tabs.Count(), 0);
}
