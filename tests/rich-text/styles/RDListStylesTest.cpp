#include <gtest/gtest.h>

#include "styles/RDListStyles.h"

TEST(RDListLevel, DefaultsAndKinds)
{
    TRDListLevel level;
    EXPECT_EQ(level.FirstIndent, 10);
    EXPECT_EQ(level.StartFrom, 1);
    EXPECT_EQ(level.Options, rdloContinuous | rdloLevelReset);
    EXPECT_EQ(level.FormatString, QByteArray(1, '\xB7'));
    EXPECT_FALSE(level.HasFont());

    struct {
        TRDListType type;
        bool markerFont, numbering, textNumbering;
        const char* tag;
    } cases[] = {
        {TRDListType::rdlstBullet, true, false, false, "<ul>"},
        {TRDListType::rdlstImageListCounter, false, true, false, "<ol>"},
        {TRDListType::rdlstDecimal, true, true, true, "<ol>"},
        {TRDListType::rdlstLowerRoman, true, true, true, "<ol type=\"i\">"},
        {TRDListType::rdlstUpperAlpha, true, true, true, "<ol type=\"A\">"},
        {TRDListType::rdlstUnicodeBullet, true, false, false, "<ul>"},
        {TRDListType::rdlstPicture, false, false, false, "<ul>"},
    };
    for (const auto& c : cases) {
        level.ListType = c.type;
        EXPECT_EQ(level.UsesMarkerFont(), c.markerFont) << static_cast<int>(c.type);
        EXPECT_EQ(level.HasNumbering(), c.numbering) << static_cast<int>(c.type);
        EXPECT_EQ(level.HasTextNumbering(), c.textNumbering) << static_cast<int>(c.type);
        EXPECT_EQ(level.HTMLOpenTag(false, 0), QByteArray(c.tag));
        EXPECT_EQ(level.HTMLCloseTag(), QByteArray(c.numbering ? "</ol>" : "</ul>"));
    }
}

TEST(RDListLevel, FontsHtmlAndNames)
{
    TRDListLevel a, b;
    b.Font();  // Arial 8 clWindowText: the default marker font
    EXPECT_TRUE(a.IsEqual(b));
    b.Font().Color = clRed;
    EXPECT_FALSE(a.IsEqual(b));
    EXPECT_EQ(a.Likeness(a) - a.Likeness(b), 100);

    TRDListLevel level;
    level.MarkerIndent = 20;
    level.LeftIndent = 30;
    EXPECT_EQ(level.GetHTMLIndentStyle(), "text-indent: -10px; padding-left: 10px; margin-left: 20px;");
    EXPECT_EQ(level.HTMLOpenTag(true, 12),
              "<ul style=\"text-indent: 10px; margin-left: 18px; list-style-position: outside;\">");
    level.MarkerIndent = 40;
    EXPECT_EQ(level.GetHTMLIndentStyle(), "text-indent: 10px; margin-left: 30px;");
    EXPECT_EQ(level.GetDisplayName(), "bullet 30/40/10");
}

TEST(RDListInfo, ListIdsAndComparison)
{
    TRDListInfo a;
    EXPECT_EQ(a.StyleName, "List Style");
    const int32_t id = a.GetListId();
    EXPECT_NE(id, 0);
    EXPECT_EQ(a.GetListId(), id);

    a.Levels.resize(2);
    a.Levels[1].ListType = TRDListType::rdlstDecimal;
    TRDListInfo b;
    b.Assign(a, false);
    EXPECT_TRUE(a.HasTextNumbering());
    EXPECT_TRUE(a.IsSameStyle(b, true));
    b.SetListId(id == 1 ? 2 : id - 1);
    EXPECT_FALSE(a.IsSameStyle(b, false));
    TRDListInfo c;
    c.Assign(a, true);
    EXPECT_TRUE(a.IsSameStyle(c, false));
    EXPECT_EQ(a.ListLikeness(c) - a.ListLikeness(b), 50);
    c.Levels.pop_back();
    EXPECT_FALSE(a.IsSameStyle(c, true));
}
