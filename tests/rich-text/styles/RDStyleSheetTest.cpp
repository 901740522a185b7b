#include <gtest/gtest.h>

#include <QtGui/QPainter>

#include "Cursors.h"
#include "PiboPictures.h"
#include "core/RDError.h"
#include "styles/RDStyle.h"
#include "styles/RDStyleTemplates.h"

TEST(RDStyleSheet, NewSheetDefaultsAndPlaceholders)
{
    TRDStyle sheet;
    ASSERT_EQ(sheet.TextStyles().Count(), 6);
    ASSERT_EQ(sheet.ParaStyles().Count(), 2);
    EXPECT_EQ(sheet.ListStyles().Count(), 0);
    EXPECT_EQ(sheet.StyleTemplates().Count(), 0);
    EXPECT_EQ(sheet.TextStyles().StyleNames(),
              QStringList({"Normal text", "Heading", "Subheading", "Keywords", "Jump 1", "Jump 2"}));
    EXPECT_EQ(sheet.ParaStyles().StyleNames(), QStringList({"Paragraph Style", "Centered"}));
    EXPECT_EQ(sheet.ParaStyles()[1]->Alignment, TRDAlignment::rdaCenter);
    const TFontInfo& heading = *sheet.TextStyles()[1];
    EXPECT_EQ(heading.Style, fsBold);
    EXPECT_EQ(heading.Color, 0xFF0000u);
    EXPECT_EQ(sheet.TextStyles()[3]->Style, fsItalic);
    EXPECT_EQ(sheet.TextStyles()[3]->Color, 0x000080u);
    for (int i : {4, 5}) {
        EXPECT_TRUE(sheet.TextStyles()[i]->Jump);
        EXPECT_EQ(sheet.TextStyles()[i]->Style, fsUnderline);
        EXPECT_EQ(sheet.TextStyles()[i]->JumpCursor, 101);
    }
    EXPECT_EQ(sheet.DefTabWidth, 48);
    EXPECT_EQ(sheet.LineSelectCursor, 106);
    EXPECT_EQ(sheet.EndnoteNumbering, TRDSeqType::rdseqLowerRoman);

    // One placeholder for every index out of range; the count is unchanged.
    TFontInfo* low = sheet.TextStyles().TextStyleAt(-1);
    EXPECT_EQ(low, sheet.TextStyles().TextStyleAt(6));
    EXPECT_EQ(sheet.TextStyles().Count(), 6);
    EXPECT_EQ(low->BackColor, clRed);
    EXPECT_EQ(low->Color, clWhite);
    EXPECT_EQ(low->StyleName, "Normal text");
    TParaInfo* para = sheet.ParaStyles().ParaStyleAt(2);
    EXPECT_EQ(para, sheet.ParaStyles().ParaStyleAt(-5));
    EXPECT_EQ(para->Border.Style, TRDBorderStyle::rdbSingle);
    EXPECT_EQ(para->Border.Width, 2);
    EXPECT_EQ(para->Border.Color, clRed);
    EXPECT_EQ(para->SpaceBefore, 1);
    EXPECT_EQ(para->Border.BorderOffsets.Left, 1);

    // List styles have no placeholder: a bad index fails cleanly.
    EXPECT_THROW(sheet.ListStyles().GetItem(0), ERichDocError);
    sheet.ListStyles().Add();
    EXPECT_NO_THROW(sheet.ListStyles().GetItem(0));
    EXPECT_THROW(sheet.ListStyles().GetItem(1), ERichDocError);
    EXPECT_THROW(sheet.ListStyles().GetItem(-1), ERichDocError);
}

TEST(RDStyleSheet, FindEqualStyleAndCharset)
{
    TRDStyle sheet;
    TFontInfos& styles = sheet.TextStyles();
    TFontInfo probe;
    probe.Assign(*styles[5]);
    probe.Color = 0x123456;
    // An empty mask compares only the template id and the modified set.
    EXPECT_EQ(styles.FindEqualStyle(5, probe, 0), 5);
    probe.ModifiedProperties = FontProp(rdfiColor);
    EXPECT_EQ(styles.FindEqualStyle(5, probe, 0), -1);
    probe.ModifiedProperties = 0;
    // Bold and the colour: style 1 only.
    TFontInfo bold;
    bold.Style = fsBold;
    bold.Color = 0xFF0000;
    EXPECT_EQ(styles.FindEqualStyle(0, bold, FontProp(rdfiBold) | FontProp(rdfiColor)), 1);
    EXPECT_EQ(styles.FindEqualStyle(0, bold, FontProp(rdfiBold)), 1);
    bold.Color = 0x800000;
    EXPECT_EQ(styles.FindEqualStyle(1, bold, FontProp(rdfiBold) | FontProp(rdfiColor)), 2);
    // An invalid base compares the placeholder first and returns the invalid number.
    TFontInfo red;
    red.Assign(*styles.TextStyleAt(99));
    EXPECT_EQ(styles.FindEqualStyle(99, red, RDAllFontInfoProperties), 99);

    TParaInfo centered;
    centered.Alignment = TRDAlignment::rdaCenter;
    EXPECT_EQ(sheet.ParaStyles().FindEqualStyle(0, centered, ParaProp(rdpiAlignment)), 1);

    // A GB2312 copy of the heading.
    EXPECT_EQ(styles.FindStyleWithCharset(1, DEFAULT_CHARSET), 1);
    EXPECT_EQ(styles.FindStyleWithCharset(1, 134), -1);
    TFontInfo* gb = styles.Add();
    gb->Assign(*styles[1]);
    gb->Charset = 134;
    EXPECT_EQ(styles.FindStyleWithCharset(1, 134), 6);
}

TEST(RDStyleSheet, MergeModes)
{
    TRDStyle target, source;
    TRDIntegerList mapping;

    // Equal styles map to themselves; nothing is added.
    target.TextStyles().MergeStyles(source.TextStyles(), rdMergeEqual, mapping, nullptr);
    EXPECT_EQ(target.TextStyles().Count(), 6);
    ASSERT_EQ(mapping.Count(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(mapping[i], i);

    // A forward NextStyleNo is dropped in the source and still matches.
    source.TextStyles()[0]->NextStyleNo = 3;
    target.TextStyles().MergeStyles(source.TextStyles(), rdMergeEqual, mapping, nullptr);
    EXPECT_EQ(source.TextStyles()[0]->NextStyleNo, -1);
    EXPECT_EQ(mapping[0], 0);
    EXPECT_EQ(target.TextStyles().Count(), 6);

    // A new style is appended, its references mapped and Standard cleared.
    TFontInfo* extra = source.TextStyles().Add();
    extra->FontName = QStringLiteral("宋体");
    extra->Size = 11;
    extra->NextStyleNo = 1;
    extra->BaseStyleNo = 4;
    target.TextStyles()[1]->Size = 20;  // the heading no longer matches
    target.TextStyles().MergeStyles(source.TextStyles(), rdMergeEqual, mapping, nullptr);
    ASSERT_EQ(target.TextStyles().Count(), 8);
    EXPECT_EQ(mapping[1], 6);
    EXPECT_EQ(mapping[6], 7);
    const TFontInfo& appended = *target.TextStyles()[7];
    EXPECT_FALSE(appended.Standard);
    EXPECT_EQ(appended.NextStyleNo, 6);
    EXPECT_EQ(appended.BaseStyleNo, 4);

    // Mode 2 appends everything; mode 1 adds nothing.
    TRDStyle appendTarget;
    appendTarget.TextStyles().MergeStyles(source.TextStyles(), rdMergeAppend, mapping, nullptr);
    EXPECT_EQ(appendTarget.TextStyles().Count(), 13);
    EXPECT_EQ(mapping[0], 6);
    TRDStyle closest;
    closest.TextStyles().MergeStyles(source.TextStyles(), rdMergeClosest, mapping, nullptr);
    EXPECT_EQ(closest.TextStyles().Count(), 6);
    EXPECT_EQ(mapping[4], 4);
    EXPECT_EQ(mapping[6], 0);  // plain 11-point text is closest to normal text

    // Mode 1: no style with the same Jump, so the same Unicode decides.
    TRDStyle noJumps;
    noJumps.TextStyles().Delete(5);
    noJumps.TextStyles().Delete(4);
    noJumps.TextStyles()[2]->Unicode = true;
    TRDStyle jumpSource;
    jumpSource.TextStyles().Clear();
    TFontInfo* jump = jumpSource.TextStyles().Add();
    jump->Jump = true;
    jump->Unicode = true;
    jump->Style = 0;
    noJumps.TextStyles().MergeStyles(jumpSource.TextStyles(), rdMergeClosest, mapping, nullptr);
    EXPECT_EQ(mapping[0], 2);

    // An empty collection maps to -1.
    TRDStyle empty;
    empty.TextStyles().Clear();
    empty.TextStyles().MergeStyles(jumpSource.TextStyles(), rdMergeClosest, mapping, nullptr);
    EXPECT_EQ(mapping[0], -1);
}

TEST(RDStyleSheet, MergeRefusesReferencesOutsideTheSource)
{
    TRDStyle target, source;
    TRDIntegerList mapping;
    source.TextStyles()[2]->BaseStyleNo = 40;
    source.TextStyles()[2]->Size = 30;
    EXPECT_THROW(target.TextStyles().MergeStyles(source.TextStyles(), rdMergeAppend, mapping, nullptr),
                 ERichDocError);

    // A paragraph style's text style outside the text mapping.
    TRDIntegerList textMapping = TRDIntegerList::CreateFilled(2, 0);
    source.ParaStyles()[1]->DefStyleNo = 5;
    EXPECT_THROW(target.ParaStyles().MergeStyles(source.ParaStyles(), rdMergeAppend, mapping, &textMapping),
                 ERichDocError);
    source.ParaStyles()[1]->DefStyleNo = 1;
    TRDStyle paraTarget;
    paraTarget.ParaStyles().MergeStyles(source.ParaStyles(), rdMergeAppend, mapping, &textMapping);
    EXPECT_EQ(paraTarget.ParaStyles()[3]->DefStyleNo, 0);
}

TEST(RDStyleSheet, MergeNumberedListsClaimTheirTarget)
{
    TRDStyle target, source;
    auto numbered = [](TRDListInfo& list) {
        list.Levels.resize(2);
        list.Levels[0].ListType = TRDListType::rdlstDecimal;
    };
    numbered(*target.ListStyles().Add());
    numbered(*source.ListStyles().Add());
    numbered(*source.ListStyles().Add());
    source.ListStyles()[1]->SetListId(12345);
    TRDIntegerList mapping;
    target.ListStyles().MergeStyles(source.ListStyles(), rdMergeEqual, mapping, nullptr);
    ASSERT_EQ(target.ListStyles().Count(), 2);
    EXPECT_EQ(mapping[0], 0);
    EXPECT_EQ(mapping[1], 1);
    EXPECT_EQ(target.ListStyles()[1]->GetListId(), 12345);

    // Bullets are not claimed: both map to one.
    TRDStyle bulletTarget, bullets;
    bulletTarget.ListStyles().Add()->Levels.resize(1);
    bullets.ListStyles().Add()->Levels.resize(1);
    bullets.ListStyles().Add()->Levels.resize(1);
    bulletTarget.ListStyles().MergeStyles(bullets.ListStyles(), rdMergeEqual, mapping, nullptr);
    EXPECT_EQ(bulletTarget.ListStyles().Count(), 1);
    EXPECT_EQ(mapping[1], 0);
}

TEST(RDStyleSheet, HoverSensitivity)
{
    TRDStyle sheet;
    EXPECT_FALSE(sheet.StyleHoverSensitive(0));
    sheet.HoverColor = clRed;
    EXPECT_TRUE(sheet.StyleHoverSensitive(0));
    EXPECT_EQ(sheet.GetStyleHoverColor(0), clRed);
    sheet.TextStyles()[0]->HoverColor = 0x00FF00;
    EXPECT_EQ(sheet.GetStyleHoverColor(0), 0x00FF00u);
    sheet.HoverColor = clNone;
    sheet.TextStyles()[0]->HoverColor = clNone;
    sheet.TextStyles()[1]->HoverEffects = rdheUnderline;
    EXPECT_TRUE(sheet.StyleHoverSensitive(1));
    sheet.OnStyleHoverSensitive = [](TRDStyle&, int styleNo, bool& sensitive) { sensitive = styleNo == 0; };
    EXPECT_FALSE(sheet.StyleHoverSensitive(1));
    EXPECT_TRUE(sheet.StyleHoverSensitive(0));
}

// Templates.

TEST(RDStyleTemplates, NamesAndTheNormalTemplate)
{
    TRDStyle sheet;
    TRDStyleTemplateCollection& templates = sheet.StyleTemplates();
    TRDStyleTemplate* first = templates.Add();
    EXPECT_EQ(first->Name(), "Style 1");
    templates.Delete(0);
    EXPECT_EQ(templates.Add()->Name(), "Style 1");  // the counter restarts for a sole item
    TRDStyleTemplate* second = templates.Add();
    EXPECT_EQ(second->Name(), "Style 2");
    second->SetName("Style 3");
    EXPECT_EQ(templates.Add()->Name(), "Style 4");  // 3 is taken

    EXPECT_EQ(templates.NormalTemplate(), nullptr);
    templates[0]->SetName("Normal");
    EXPECT_EQ(templates.NormalTemplate(), templates[0]);
    templates[1]->SetName("Normal");
    EXPECT_EQ(templates.NormalTemplate(), templates[1]);
    templates[1]->SetName("Body");
    EXPECT_EQ(templates.NormalTemplate(), nullptr);
    templates[0]->SetName("normal");  // case-sensitive
    EXPECT_EQ(templates.NormalTemplate(), nullptr);

    // A pattern from data goes through the one formatter.
    templates.DefStyleName = QStringLiteral("%x");
    EXPECT_THROW(templates.Add(), ERichDocError);
}

TEST(RDStyleTemplates, ChainsApplyChildOverParent)
{
    TRDStyle sheet;
    TRDStyleTemplateCollection& templates = sheet.StyleTemplates();
    TRDStyleTemplate* parent = templates.Add();
    parent->ValidTextProperties = FontProp(rdfiColor) | FontProp(rdfiSize);
    parent->TextStyle().Color = 0x0000FF;
    parent->TextStyle().Size = 20;
    TRDStyleTemplate* child = templates.Add();
    child->ValidTextProperties = FontProp(rdfiColor);
    child->TextStyle().Color = 0x00FF00;
    child->SetParentId(parent->GetId());
    EXPECT_EQ(child->Parent(), parent);
    ASSERT_EQ(parent->Children().size(), 1u);

    TFontInfo style;
    style.FontName = QStringLiteral("宋体");
    style.ModifiedProperties = FontProp(rdfiColor);
    TFontInfo kept;
    kept.Assign(style);
    child->ApplyToTextStyle(kept, nullptr, false);
    EXPECT_EQ(kept.Color, clWindowText);  // modified by hand, left alone
    EXPECT_EQ(kept.Size, 20);
    EXPECT_EQ(kept.FontName, "Arial");  // from text style 0, no normal template
    EXPECT_EQ(kept.ModifiedProperties, FontProp(rdfiColor));

    child->ApplyToTextStyle(style, nullptr, true);
    EXPECT_EQ(style.Color, 0x00FF00u);
    EXPECT_EQ(style.Size, 20);
    EXPECT_EQ(style.ModifiedProperties, 0u);
    EXPECT_EQ(style.StyleTemplateId, child->GetId());

    // Paragraph properties declared nowhere come from paragraph style 0, unless modified.
    sheet.ParaStyles()[0]->SpaceAfter = 7;
    child->ValidParaProperties1 = ParaProperties1Of(ParaProp(rdpiLeftIndent));
    child->ValidParaProperties2 = ParaProperties2Of(ParaProp(rdpiKeepWithNext));
    child->ParaStyle().LeftIndent = 30;
    child->ParaStyle().Options = rdpaoKeepWithNext;
    TParaInfo para;
    para.SpaceBefore = 9;
    para.ModifiedProperties1 = ParaProperties1Of(ParaProp(rdpiSpaceBefore));
    child->ApplyToParaStyle(para, false);
    EXPECT_EQ(para.LeftIndent, 30);
    EXPECT_EQ(para.Options & rdpaoKeepWithNext, rdpaoKeepWithNext);
    EXPECT_EQ(para.SpaceAfter, 7);
    EXPECT_EQ(para.SpaceBefore, 9);
}

TEST(RDStyleTemplates, CyclesAndDestruction)
{
    TRDStyle sheet;
    TRDStyleTemplateCollection& templates = sheet.StyleTemplates();
    TRDStyleTemplate* a = templates.Add();
    TRDStyleTemplate* b = templates.Add();
    TRDStyleTemplate* c = templates.Add();
    b->SetParentId(a->GetId());
    c->SetParentId(a->GetId());
    try {
        a->SetParentId(b->GetId());
        FAIL();
    } catch (const ERichDocError& e) {
        EXPECT_STREQ(e.what(), "Circular references are not allowed");
    }
    EXPECT_EQ(a->ParentId(), -1);
    EXPECT_EQ(a->Parent(), nullptr);
    EXPECT_THROW(a->SetParentId(a->GetId()), ERichDocError);

    // Destroying the parent leaves both children without one.
    const int bIndex = b->Index();
    templates.Delete(a->Index());
    EXPECT_EQ(templates[bIndex - 1]->ParentId(), -1);
    EXPECT_EQ(b->Parent(), nullptr);
    EXPECT_EQ(c->Parent(), nullptr);
}

TEST(RDStyleTemplates, CyclicChainReadFromAStreamEnds)
{
    TRDStyle sheet;
    TRDStyleTemplateCollection& templates = sheet.StyleTemplates();
    sheet.SetLoading(true);
    TRDStyleTemplate* a = templates.Add();
    TRDStyleTemplate* b = templates.Add();
    a->SetStoredId(11);
    b->SetStoredId(22);
    a->SetParentId(22);
    b->SetParentId(11);
    a->ValidTextProperties = FontProp(rdfiSize);
    a->TextStyle().Size = 15;
    b->ValidTextProperties = FontProp(rdfiSize) | FontProp(rdfiColor);
    b->TextStyle().Size = 99;
    b->TextStyle().Color = 0x00FF00;
    sheet.Loaded();
    EXPECT_EQ(a->Parent(), b);
    EXPECT_EQ(b->Parent(), a);

    TFontInfo style;
    a->ApplyToTextStyle(style, nullptr, true);
    EXPECT_EQ(style.Size, 15);
    EXPECT_EQ(style.Color, 0x00FF00u);
    TParaInfo para;
    b->ApplyToParaStyle(para, true);
    EXPECT_EQ(para.StyleTemplateId, 22);
}

TEST(RDStyleTemplates, AssignKeepsTheParentStructure)
{
    TRDStyle from, to;
    TRDStyleTemplate* parent = from.StyleTemplates().Add();
    TRDStyleTemplate* child = from.StyleTemplates().Add();
    child->SetParentId(parent->GetId());
    child->ValidTextProperties = FontProp(rdfiBold);

    to.StyleTemplates().AssignTemplates(from.StyleTemplates(), false);
    ASSERT_EQ(to.StyleTemplates().Count(), 2);
    EXPECT_EQ(to.StyleTemplates()[1]->Parent(), to.StyleTemplates()[0]);
    EXPECT_EQ(to.StyleTemplates()[1]->Name(), child->Name());
    EXPECT_EQ(to.StyleTemplates()[1]->ValidTextProperties, FontProp(rdfiBold));

    TRDStyle withIds;
    withIds.StyleTemplates().AssignTemplates(from.StyleTemplates(), true);
    EXPECT_EQ(withIds.StyleTemplates()[0]->GetId(), parent->GetId());
    EXPECT_EQ(withIds.StyleTemplates()[1]->ParentId(), parent->GetId());
    EXPECT_EQ(withIds.StyleTemplates()[1]->Parent(), withIds.StyleTemplates()[0]);
}

TEST(RDStyleSheet, InvalidPictureAndCursors)
{
    RegisterPiboPictures();
    TRDStyle sheet;
    TPicture& picture = sheet.InvalidPicture();
    ASSERT_TRUE(picture.HasGraphic());
    EXPECT_EQ(picture.Width(), 20);
    const QByteArray resource = picture.Graphic()->SaveToStream();

    QImage image(2, 2, QImage::Format_RGB32);
    image.fill(Qt::green);
    TBitmapGraphic own;
    own.Assign(image);
    TPicture replacement;
    replacement.SetGraphic(&own);
    sheet.SetInvalidPicture(&replacement);
    EXPECT_EQ(sheet.InvalidPicture().Width(), 2);
    sheet.SetInvalidPicture(&sheet.InvalidPicture());
    EXPECT_EQ(sheet.InvalidPicture().Width(), 2);
    sheet.SetInvalidPicture(nullptr);
    EXPECT_EQ(sheet.InvalidPicture().Graphic()->SaveToStream(), resource);

    EXPECT_EQ(ScreenCursor(sheet.JumpCursor).shape(), Qt::PointingHandCursor);
    EXPECT_EQ(ScreenCursor(sheet.LineSelectCursor).shape(), Qt::BitmapCursor);
    EXPECT_EQ(ScreenCursor(sheet.LineSelectCursor).hotSpot(), QPoint(20, 1));
}

TEST(RDStyleSheet, FindNextTabStop)
{
    TRDStyle sheet;
    QString leader;
    TRDTabAlign align;
    const TRDResolutionInfo screen;
    struct {
        int x, expected;
    } plain[] = {{0, 48}, {47, 48}, {48, 96}, {-10, 0}};
    for (const auto& c : plain)
        EXPECT_EQ(sheet.FindNextTabStop(0, c.x, &screen, leader, align, TRDBiDiMode::rdbdUnspecified, 0, 0), c.expected)
            << c.x;

    TParaInfo& para = *sheet.ParaStyles()[0];
    para.Tabs.Add(100);
    para.Tabs.Add(200, TRDTabAlign::rdtaRight, QStringLiteral("."));
    EXPECT_EQ(sheet.FindNextTabStop(0, 150, &screen, leader, align, TRDBiDiMode::rdbdUnspecified, 0, 0), 200);
    EXPECT_EQ(leader, ".");
    EXPECT_EQ(align, TRDTabAlign::rdtaRight);
    EXPECT_EQ(sheet.FindNextTabStop(0, 250, &screen, leader, align, TRDBiDiMode::rdbdUnspecified, 0, 0), 288);
    EXPECT_TRUE(leader.isEmpty());
    EXPECT_EQ(align, TRDTabAlign::rdtaLeft);
    // The indent stop comes first.
    EXPECT_EQ(sheet.FindNextTabStop(0, 10, &screen, leader, align, TRDBiDiMode::rdbdUnspecified, 60, 0), 60);
    // Device resolution and origin: stops scale, the origin is added back.
    const TRDResolutionInfo printer{96, 96, 192, 192, 30};
    EXPECT_EQ(sheet.FindNextTabStop(0, 30 + 150, &printer, leader, align, TRDBiDiMode::rdbdUnspecified, 0, 0), 30 + 200);
    EXPECT_EQ(sheet.FindNextTabStop(0, 30 + 450, &printer, leader, align, TRDBiDiMode::rdbdUnspecified, 0, 0), 30 + 480);
    // Right to left: measured from the right indent, shifted back.
    EXPECT_EQ(sheet.FindNextTabStop(1, -10, &screen, leader, align, TRDBiDiMode::rdbdRightToLeft, 0, 20), 0);
    EXPECT_EQ(sheet.FindNextTabStop(1, 5, &screen, leader, align, TRDBiDiMode::rdbdRightToLeft, 0, 20), 28);
    // A dangling paragraph number uses the placeholder, a copy of style 0.
    EXPECT_EQ(sheet.FindNextTabStop(9, 5, &screen, leader, align, TRDBiDiMode::rdbdUnspecified, 0, 0), 100);
    // Without a default tab width every pixel is a stop.
    sheet.DefTabWidth = 0;
    EXPECT_EQ(sheet.FindNextTabStop(1, 5, &screen, leader, align, TRDBiDiMode::rdbdUnspecified, 0, 0), 6);
}

TEST(RDStyleSheet, BordersAndBackgroundsDraw)
{
    TRDBorder border;
    border.Style = TRDBorderStyle::rdbDouble;
    border.Width = 2;
    border.InternalWidth = 3;
    EXPECT_EQ(border.GetTotalWidth(), 7);
    border.Style = TRDBorderStyle::rdbThickInside;
    EXPECT_EQ(border.GetTotalWidth(), 9);
    border.Style = TRDBorderStyle::rdbNone;
    EXPECT_EQ(border.GetTotalWidth(), 0);

    QImage image(60, 40, QImage::Format_RGB32);
    auto probe = [&image](int x, int y) { return image.pixel(x, y) == qRgb(255, 0, 0); };
    // Single, bottom side only, offset 3 below: one line at y 23.
    border.Style = TRDBorderStyle::rdbSingle;
    border.Width = 1;
    border.Color = clRed;
    border.VisibleBorders.SetValues(false, false, false, true);
    border.BorderOffsets.Bottom = 3;
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        border.Draw(QRect(10, 10, 30, 10), painter);
    }
    EXPECT_TRUE(probe(20, 23));
    EXPECT_FALSE(probe(20, 22));
    EXPECT_FALSE(probe(20, 24));
    EXPECT_FALSE(probe(20, 10));
    EXPECT_FALSE(probe(10, 15));

    // Double, all sides: two rectangles, the outer one I + 1 further out.
    border.Style = TRDBorderStyle::rdbDouble;
    border.InternalWidth = 2;
    border.VisibleBorders.SetAll(true);
    border.BorderOffsets.SetAll(0);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        border.Draw(QRect(10, 10, 30, 20), painter);
    }
    EXPECT_TRUE(probe(20, 10));
    EXPECT_TRUE(probe(20, 7));
    EXPECT_FALSE(probe(20, 8));
    EXPECT_TRUE(probe(10, 20));
    EXPECT_TRUE(probe(7, 20));
    // Colour mode 3 prints black.
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        const TRDResolutionInfo same;
        border.DrawScaled(QRect(10, 10, 30, 20), painter, &same, 3);
    }
    EXPECT_EQ(image.pixel(20, 10), qRgb(0, 0, 0));

    TRDBackgroundRect back;
    back.Color = clRed;
    back.BorderOffsets.SetAll(2);
    QRect area(10, 10, 10, 10);
    back.PrepareDraw(area);
    EXPECT_EQ(area, QRect(8, 8, 14, 14));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        back.Draw(QRect(10, 10, 10, 10), painter, 4);
        back.Draw(QRect(30, 10, 10, 10), painter, 0);
    }
    EXPECT_FALSE(probe(15, 15));
    EXPECT_TRUE(probe(39, 19));  // exactly the rectangle, as the border's edges
    EXPECT_FALSE(probe(40, 19));
    EXPECT_FALSE(probe(39, 20));
}
