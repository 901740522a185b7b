#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "interchange/RDRTFProps.h"
#include "styles/RDTextStyles.h"

namespace {

// Applies a keyword as the reader does: its default when no parameter is
// given or when the entry ignores the parameter.
void ApplyKw(TRDRTFFormatState& state, const TRDRTFDocTables& tables, std::string_view keyword,
             std::optional<int32_t> parameter = std::nullopt)
{
    const int i = FindRTFKeyword(keyword);
    ASSERT_GE(i, 0) << std::string(keyword);
    const auto& e = RTFKeyword(i);
    ASSERT_EQ(e.Kind, rtf_kwd_Prop) << std::string(keyword);
    const int32_t value = (e.UseDef || !parameter) ? e.DefValue : *parameter;
    ASSERT_TRUE(ApplyRTFProperty(state, tables, static_cast<TRDRTFPropertyId>(e.Target), value))
        << std::string(keyword);
}

TRDRTFDocTables ColorTables(std::initializer_list<TColor> colors)
{
    TRDRTFDocTables tables;
    tables.Colors.Colors.assign(colors.begin(), colors.end());
    return tables;
}

}  // namespace

TEST(RTFProps, SaturatingConversions)
{
    EXPECT_EQ(RTFNegate(INT_MIN), INT_MAX);
    EXPECT_EQ(RTFNegate(5), -5);
    EXPECT_EQ(RTFAbs(INT_MIN), INT_MAX);
    EXPECT_EQ(RTFAbs(-7), 7);
    EXPECT_EQ(RTFSaturate(1e300), INT_MAX);
    EXPECT_EQ(RTFSaturate(-1e300), INT_MIN);
    EXPECT_EQ(RTFSaturate(std::numeric_limits<double>::infinity()), INT_MAX);
    EXPECT_EQ(RTFSaturate(std::nan("")), 0);
    EXPECT_EQ(RTFSaturate(2.5), 2);
    EXPECT_EQ(RTFSaturate(-3.5), -4);
    EXPECT_EQ(RTFUnicodeSkipCount(-5), 0);
    EXPECT_EQ(RTFUnicodeSkipCount(INT_MIN), 0);
    EXPECT_EQ(RTFUnicodeSkipCount(2), 2);
}

TEST(RTFProps, FontSizeFromHalfPointsRoundsHalvesToEven)
{
    const std::pair<int32_t, int> cases[] = {
        {24, 12}, {25, 12}, {23, 12}, {21, 10}, {27, 14}, {1, 0}, {3, 2}, {-3, -2}, {-1, 0},
        {INT_MAX, 1073741824}, {INT_MIN, -1073741824}};
    for (const auto& [half, points] : cases)
        EXPECT_EQ(RTFHalfPointsToPoints(half), points) << half;

    TRDRTFFormatState state;
    TRDRTFDocTables tables;
    ApplyKw(state, tables, "fs", 30);
    EXPECT_EQ(state.Char.Size, 15);
    ApplyKw(state, tables, "fs");
    EXPECT_EQ(state.Char.Size, 12);
}

TEST(RTFProps, CharacterKeywordsWithAndWithoutParameters)
{
    TRDRTFFormatState state;
    TRDRTFDocTables tables;
    ApplyKw(state, tables, "b");
    ApplyKw(state, tables, "i");
    EXPECT_EQ(state.Char.Styles, fsBold | fsItalic);
    ApplyKw(state, tables, "b", 0);
    EXPECT_EQ(state.Char.Styles, fsItalic);

    ApplyKw(state, tables, "uldb");
    EXPECT_TRUE(state.Char.Styles & fsUnderline);
    EXPECT_EQ(state.Char.UnderlineKind, 2);
    // A fixed entry ignores its parameter: "\ulnone5" still ends underlining.
    ApplyKw(state, tables, "ulnone", 5);
    EXPECT_FALSE(state.Char.Styles & fsUnderline);
    EXPECT_EQ(state.Char.UnderlineKind, 0);
    ApplyKw(state, tables, "uldash", 0);
    EXPECT_FALSE(state.Char.Styles & fsUnderline);

    ApplyKw(state, tables, "up");
    EXPECT_EQ(state.Char.VShift, 6);
    ApplyKw(state, tables, "dn", INT_MIN);
    EXPECT_EQ(state.Char.VShift, INT_MAX);
    ApplyKw(state, tables, "super", 0);
    EXPECT_EQ(state.Char.SubSuper, 2);
    ApplyKw(state, tables, "caps");
    EXPECT_EQ(state.Char.ExtraStyles, rdfsAllCaps);
}

TEST(RTFProps, ColourKeywordsTakeOnlyEntriesInsideTheTable)
{
    TRDRTFDocTables tables = ColorTables({clWindowText, 0x0000FF, 0x00FF00});
    TRDRTFFormatState state;
    ApplyKw(state, tables, "cf", 1);
    EXPECT_EQ(state.Char.Color, 0x0000FFu);
    for (int32_t outside : {3, -1, INT_MAX, INT_MIN}) {
        ApplyKw(state, tables, "cf", outside);
        EXPECT_EQ(state.Char.Color, 0x0000FFu) << outside;
    }
    // The automatic entry as a background means no background.
    ApplyKw(state, tables, "chcbpat", 2);
    EXPECT_EQ(state.Char.BackColor, 0x00FF00u);
    ApplyKw(state, tables, "chcbpat", 0);
    EXPECT_EQ(state.Char.BackColor, clNone);

    tables.ConvertHighlight = rtf_hl_FixedColors;
    ApplyKw(state, tables, "highlight", 7);
    EXPECT_EQ(state.Char.BackColor, 0x00FFFFu);
    ApplyKw(state, tables, "highlight", 17);
    EXPECT_EQ(state.Char.BackColor, clNone);
    tables.ConvertHighlight = rtf_hl_ColorTable;
    ApplyKw(state, tables, "highlight", 1);
    EXPECT_EQ(state.Char.BackColor, 0x0000FFu);
    tables.ConvertHighlight = rtf_hl_Ignore;
    ApplyKw(state, tables, "highlight", 2);
    EXPECT_EQ(state.Char.BackColor, 0x0000FFu);
}

TEST(RTFProps, ColourTableBuildsAndClampsComponents)
{
    // "{\colortbl;\red255\green0\blue0;}" and hostile values.
    TRDRTFColorList list;
    list.Start();
    list.NewEntry();  // ";"
    list.SetComponent(ipropRed, 255);
    list.SetComponent(ipropGreen, 0);
    list.SetComponent(ipropBlue, 0);
    list.NewEntry();
    // Values outside 0..255 stay inside their own byte: never the clNone or
    // system-colour bits.
    list.SetComponent(ipropRed, 999999);
    list.SetComponent(ipropBlue, -5);
    list.NewEntry();
    list.SetComponent(ipropBlue, INT_MAX);
    list.NewEntry();
    list.RemoveUnfinished();
    ASSERT_EQ(list.Colors.size(), 4u);
    EXPECT_EQ(*list.Color(0), clWindowText);
    EXPECT_EQ(*list.Color(1), 0x0000FFu);
    EXPECT_EQ(*list.Color(2), 0x0000FFu);
    EXPECT_EQ(*list.Color(3), 0xFF0000u);
    EXPECT_FALSE(list.Color(4));
    EXPECT_FALSE(list.Color(-1));

    // A colour before the first ";" replaces the automatic colour 0.
    TRDRTFColorList first;
    first.Start();
    first.SetComponent(ipropGreen, 128);
    first.NewEntry();
    first.RemoveUnfinished();
    ASSERT_EQ(first.Colors.size(), 1u);
    EXPECT_EQ(first.Colors[0], 0x008000u);

    // Components with no table, and an unfinished-entry removal without one,
    // do nothing.
    TRDRTFColorList none;
    none.SetComponent(ipropRed, 10);
    none.RemoveUnfinished();
    EXPECT_TRUE(none.Colors.empty());
}

TEST(RTFProps, FontTableLookupAndCharsetSuffixes)
{
    TRDRTFFontList fonts;
    struct Entry {
        int32_t number;
        const char* name;
        int32_t charset;
        const char* stored;
    };
    const Entry entries[] = {
        {0, "Times New Roman CYR", 204, "Times New Roman"},
        {1, "Arial cyr", 204, "Arial"},
        {2, " cyr", 204, " cyr"},                // no longer than the suffix
        {3, "Arial CE", 204, "Arial CE"},        // another charset's suffix
        {4, "Tahoma Greek", 161, "Tahoma"},
        {5, "Courier Tur", 162, "Courier"},
        {6, "Verdana Baltic", 186, "Verdana"},
        {7, "Garamond CE", 238, "Garamond"},
        {8, "Symbol", 300, "Symbol"},            // charset 256 and above: 77
        {9, "宋体", 134, "宋体"},
        {10, "Odd", -4, "Odd"},
    };
    for (const auto& e : entries) {
        fonts.AddFont(e.number);
        for (char c : QByteArray(e.name))
            fonts.AppendNameByte(c);
        fonts.SetCharset(e.charset);
    }
    fonts.FinishTable();
    for (size_t i = 0; i < std::size(entries); ++i)
        EXPECT_EQ(fonts.NameOf(static_cast<int>(i)), QByteArray(entries[i].stored)) << entries[i].name;
    EXPECT_EQ(fonts.CharsetOf(8), 77);
    EXPECT_EQ(fonts.CharsetOf(10), DEFAULT_CHARSET);

    EXPECT_EQ(fonts.Lookup(5, 0), 5);
    EXPECT_EQ(fonts.Lookup(99, 7), 7);   // missing: the default font
    EXPECT_EQ(fonts.Lookup(99, 98), 0);  // neither: the first
    // Indexes outside the list (a stale one after the table was emptied).
    for (int index : {-1, 11, INT_MAX}) {
        EXPECT_EQ(fonts.Font(index), nullptr);
        EXPECT_EQ(fonts.CharsetOf(index), DEFAULT_CHARSET);
        EXPECT_TRUE(fonts.NameOf(index).isEmpty());
    }
    fonts.Clear();
    EXPECT_EQ(fonts.CharsetOf(5), DEFAULT_CHARSET);
    // Name bytes and a charset with no font do nothing.
    fonts.AppendNameByte('x');
    fonts.SetCharset(204);
    EXPECT_TRUE(fonts.Fonts.empty());
}

TEST(RTFProps, FontAndPlainWithoutFontTable)
{
    // "\f99" and "\plain" in a document with no font table: index 0, which
    // the checked accessors answer for.
    TRDRTFDocTables tables;
    tables.DefFontNumber = -1;
    tables.DefLanguage = 2052;
    TRDRTFFormatState state;
    ApplyKw(state, tables, "f", 99);
    EXPECT_EQ(state.Char.FontIndex, 0);
    EXPECT_EQ(tables.Fonts.CharsetOf(state.Char.FontIndex), DEFAULT_CHARSET);
    ApplyKw(state, tables, "b");
    ApplyKw(state, tables, "plain");
    EXPECT_EQ(state.Char.Styles, 0);
    EXPECT_EQ(state.Char.Language, 2052);
    EXPECT_EQ(state.Char.FontIndex, 0);

    tables.Fonts.AddFont(3);
    tables.Fonts.AddFont(7);
    tables.DefFontNumber = 7;
    ApplyKw(state, tables, "plain");
    EXPECT_EQ(state.Char.FontIndex, 1);
}

TEST(RTFProps, ShadingBlendsBackgroundWithPattern)
{
    const TRDRTFDocTables tables = ColorTables({clWindowText, 0xFFFFFF, 0x0000FF});
    struct Case {
        std::optional<int32_t> cbpat, cfpat;
        int32_t shading;
        TColor expected;
    };
    const Case cases[] = {
        {1, std::nullopt, 5000, 0x7F7F7F},  // white on black pattern
        {std::nullopt, std::nullopt, 5000, 0x7F7F7F},  // no colour counts as white
        {1, 2, 10000, 0x0000FF},
        {1, 2, 2500, 0xBFBFFF},
        {2, std::nullopt, 0, 0x0000FF},  // no shading: the colour as it is
        {1, std::nullopt, 20000, 0x000000},  // clamped to 100 %
        {1, std::nullopt, -300, 0xFFFFFF},
    };
    for (const auto& c : cases) {
        TRDRTFFormatState state;
        if (c.cbpat)
            ApplyKw(state, tables, "cbpat", *c.cbpat);
        if (c.cfpat)
            ApplyKw(state, tables, "cfpat", *c.cfpat);
        ApplyKw(state, tables, "shading", c.shading);
        state.Para.Complete();
        EXPECT_EQ(state.Para.ShadingColor, c.expected) << c.shading;
        EXPECT_EQ(state.Para.ShadingPercent, 0);
    }
}

TEST(RTFProps, TabStopsAndListTab)
{
    TRDRTFDocTables tables;
    TRDRTFFormatState state;
    ApplyKw(state, tables, "tx", 720);
    ApplyKw(state, tables, "tqr");
    ApplyKw(state, tables, "tldot");
    ApplyKw(state, tables, "tx", 1440);
    ApplyKw(state, tables, "jclisttab");
    ApplyKw(state, tables, "tx", 360);
    ApplyKw(state, tables, "tqc");
    ApplyKw(state, tables, "tx", 2880);
    state.Para.Complete();
    // The list tab ("\jclisttab\tx360") leaves the list; the unfinished
    // tab after the last "\tx" goes.
    const auto& tabs = state.Para.Tabs;
    ASSERT_EQ(tabs.size(), 3u);
    EXPECT_EQ(tabs[0].Position, 720);
    EXPECT_EQ(tabs[0].Kind, 0);
    EXPECT_EQ(tabs[1].Position, 1440);
    EXPECT_EQ(tabs[1].Kind, 1);
    EXPECT_EQ(tabs[1].Leader, 1);
    EXPECT_EQ(tabs[2].Position, 2880);
    EXPECT_EQ(tabs[2].Kind, 2);
    EXPECT_EQ(state.Para.ListTabPos, 360);

    // Completing again changes nothing; "\pard" clears everything.
    state.Para.Complete();
    EXPECT_EQ(state.Para.Tabs.size(), 3u);
    ApplyKw(state, tables, "pard");
    EXPECT_TRUE(state.Para.Tabs.empty());
    EXPECT_EQ(state.Para.ListTabPos, -1000);
    EXPECT_FALSE(state.Para.Completed);
}

TEST(RTFProps, BordersGoToTheTargetSideAndTheFirstKindWins)
{
    const TRDRTFDocTables tables = ColorTables({clWindowText, 0x00FF00});
    TRDRTFFormatState state;
    EXPECT_FALSE(state.Para.Border.HasBorder());
    ApplyKw(state, tables, "brdrt");
    ApplyKw(state, tables, "brdrs");
    ApplyKw(state, tables, "brdrdb");
    ApplyKw(state, tables, "brdrw", 15);
    ApplyKw(state, tables, "brdrcf", 1);
    ApplyKw(state, tables, "brsp", 40);
    const auto* top = state.Para.Border.FindSide(1);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->Kind, 1);
    EXPECT_EQ(top->Width, 15);
    EXPECT_EQ(top->Color, 0x00FF00u);
    EXPECT_EQ(top->Spacing, 40);
    EXPECT_EQ(state.Para.Border.FindSide(0), nullptr);
    EXPECT_TRUE(state.Para.Border.HasBorder());

    // The character border target takes the kind keywords nowhere, but
    // "\brsp" still sets the paragraph's current side.
    ApplyKw(state, tables, "brdrb");
    ApplyKw(state, tables, "chbrdr");
    ApplyKw(state, tables, "brdrs");
    ApplyKw(state, tables, "brdrw", 99);
    EXPECT_EQ(state.Para.Border.FindSide(3), nullptr);

    // Row and cell sides.
    ApplyKw(state, tables, "trowd");
    ApplyKw(state, tables, "trbrdrl");
    ApplyKw(state, tables, "brdrdot");
    ApplyKw(state, tables, "clbrdrr");
    ApplyKw(state, tables, "brdrth");
    ApplyKw(state, tables, "cellx", 1000);
    ASSERT_TRUE(state.Row);
    EXPECT_EQ(state.Row->Border.FindSide(0)->Kind, 5);
    EXPECT_EQ(state.Row->Cells[0].Border.FindSide(2)->Kind, 2);
    EXPECT_EQ(state.Para.Border.FindSide(0), nullptr);
}

TEST(RTFProps, RowAndCellWidthsInEitherUnitOrder)
{
    TRDRTFDocTables tables;
    TRDRTFFormatState state;
    // Percent given after the width, then before it.
    ApplyKw(state, tables, "trowd");
    ApplyKw(state, tables, "trwWidth", 5000);
    ApplyKw(state, tables, "trftsWidth", 2);
    EXPECT_EQ(state.Row->Width, -5000);
    ApplyKw(state, tables, "trowd");
    ApplyKw(state, tables, "trftsWidth", 2);
    ApplyKw(state, tables, "trwWidth", 5000);
    EXPECT_EQ(state.Row->Width, -5000);
    // Percent twice stays negative once.
    ApplyKw(state, tables, "trftsWidth", 2);
    EXPECT_EQ(state.Row->Width, -5000);
    // The next row in twips keeps its width in twips.
    ApplyKw(state, tables, "trowd");
    ApplyKw(state, tables, "trftsWidth", 3);
    ApplyKw(state, tables, "trwWidth", 9000);
    EXPECT_EQ(state.Row->Width, 9000);
    EXPECT_FALSE(state.Row->PercentWidth);
    // Automatic width.
    ApplyKw(state, tables, "trftsWidth", 1);
    EXPECT_EQ(state.Row->Width, 0);
    ApplyKw(state, tables, "trftsWidth", 2);
    ApplyKw(state, tables, "trwWidth", INT_MIN);
    EXPECT_EQ(state.Row->Width, INT_MAX);

    ApplyKw(state, tables, "clwWidth", 2500);
    ApplyKw(state, tables, "clftsWidth", 2);
    EXPECT_EQ(state.Row->CurrentCell().CellWidth, -2500);
    ApplyKw(state, tables, "trrh", -400);
    EXPECT_EQ(state.Row->Height, 400);
    ApplyKw(state, tables, "trrh", INT_MIN);
    EXPECT_EQ(state.Row->Height, INT_MAX);
}

TEST(RTFProps, CellDefinitionsMergesAndFinishing)
{
    const TRDRTFDocTables tables = ColorTables({clWindowText, 0xFFFFFF, 0x000000});
    TRDRTFFormatState state;
    ApplyKw(state, tables, "trowd");
    ApplyKw(state, tables, "clvmgf");
    ApplyKw(state, tables, "clvmrg");  // the first mark stays
    ApplyKw(state, tables, "clcbpat", 1);
    ApplyKw(state, tables, "clshdng", 5000);
    ApplyKw(state, tables, "cellx", 2000);
    ApplyKw(state, tables, "clvmrg");
    ApplyKw(state, tables, "clmrg");
    ApplyKw(state, tables, "clcbpat", 0);  // automatic: no colour
    ApplyKw(state, tables, "cellx", 1500);  // not above the previous boundary
    ApplyKw(state, tables, "cellx", 2001);  // equal to the corrected one
    ASSERT_EQ(state.Row->Cells.size(), 4u);
    EXPECT_TRUE(state.Row->CellOpen);
    ApplyKw(state, tables, "row");
    const auto& cells = state.Row->Cells;
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_FALSE(state.Row->CellOpen);
    EXPECT_EQ(cells[0].VertMerge, 1);
    EXPECT_EQ(cells[0].RightBoundary, 2000);
    EXPECT_EQ(cells[0].CellColor, 0x7F7F7Fu);
    EXPECT_EQ(cells[1].VertMerge, 2);
    EXPECT_EQ(cells[1].HorzMerge, 2);
    EXPECT_EQ(cells[1].CellColor, clNone);
    EXPECT_EQ(cells[1].RightBoundary, 2001);
    EXPECT_EQ(cells[2].RightBoundary, 2002);
    // Finishing twice changes nothing.
    ApplyKw(state, tables, "row");
    EXPECT_EQ(state.Row->Cells.size(), 3u);
    EXPECT_EQ(state.Row->Cells[0].CellColor, 0x7F7F7Fu);
}

TEST(RTFProps, CellBoundariesAreBoundedPerRow)
{
    TRDRTFDocTables tables;
    TRDRTFFormatState state;
    ApplyKw(state, tables, "trowd");
    ApplyKw(state, tables, "cellx", INT_MAX);
    ApplyKw(state, tables, "cellx", 5);  // cannot go above INT_MAX
    for (int i = 0; i < 100000; ++i)
        ApplyKw(state, tables, "cellx", i);
    ApplyKw(state, tables, "row");
    ASSERT_EQ(state.Row->Cells.size(), static_cast<size_t>(RTFMaxCellsPerRow));
    EXPECT_EQ(state.Row->Cells[0].RightBoundary, INT_MAX);
    EXPECT_EQ(state.Row->Cells[1].RightBoundary, INT_MAX);
}

TEST(RTFProps, ParagraphNestingAndListReferences)
{
    TRDRTFDocTables tables;
    tables.ListOverrides.Overrides.resize(2);
    tables.ListOverrides.Overrides[0].OverrideNumber = 4;
    tables.ListOverrides.Overrides[1].OverrideNumber = 1;
    TRDRTFFormatState state;
    ApplyKw(state, tables, "ls");
    EXPECT_EQ(state.Para.ListOverride, 1);
    ApplyKw(state, tables, "ls", 4);
    EXPECT_EQ(state.Para.ListOverride, 0);
    ApplyKw(state, tables, "ls", 77);
    EXPECT_EQ(state.Para.ListOverride, -1);

    ApplyKw(state, tables, "itap", 0);
    EXPECT_FALSE(state.Para.InTable);
    EXPECT_EQ(state.Para.NestingLevel, 0);
    ApplyKw(state, tables, "itap", 2);
    EXPECT_TRUE(state.Para.InTable);
    EXPECT_EQ(state.Para.NestingLevel, 2);
    ApplyKw(state, tables, "itap", 2000000000);
    EXPECT_EQ(state.Para.NestingLevel, RTFMaxTableNesting);
    ApplyKw(state, tables, "itap", -3);
    EXPECT_EQ(state.Para.NestingLevel, 0);
}

TEST(RTFProps, GroupCopyKeepsHeaderAndFooterOffsets)
{
    TRDRTFDocTables tables;
    TRDRTFFormatState outer;
    ApplyKw(outer, tables, "headery", 300);
    TRDRTFFormatState inner;
    inner.Assign(outer);
    EXPECT_EQ(inner.Section.HeaderOffset, 720);
    ApplyKw(inner, tables, "cols", 3);
    ApplyKw(inner, tables, "trowd");
    ApplyKw(inner, tables, "cellx", 100);
    inner.Section.EnsureLevelDefaults()[2].NumberType = 4;
    outer.Assign(inner);
    EXPECT_EQ(outer.Section.HeaderOffset, 300);
    EXPECT_EQ(outer.Section.SectionColumns, 3);
    ASSERT_TRUE(outer.Row);
    // Deep copies: changing the copy leaves the source as it was.
    outer.Row->Cells[0].RightBoundary = 7;
    (*outer.Section.LevelDefaults)[2].NumberType = 1;
    EXPECT_EQ(inner.Row->Cells[0].RightBoundary, 100);
    EXPECT_EQ((*inner.Section.LevelDefaults)[2].NumberType, 4);
    EXPECT_EQ((*inner.Section.LevelDefaults)[2].NumberLevel, 3);
    // A source without row properties drops the target's.
    TRDRTFFormatState plain;
    outer.Assign(plain);
    EXPECT_FALSE(outer.Row);
}

TEST(RTFProps, LevelDefaultCopyKeepsWhatTheSourceFixed)
{
    TRDRTFMarkerProperties def;
    def.NumberType = 4;
    def.MarkerFont = 2;
    def.MarkerSize = 20;
    def.MarkerColor = 0x0000FF;
    def.MarkerStyles = fsBold;
    def.FixedParts = rtf_mf_Size;
    def.FixedStyles = fsItalic;
    def.BeforeText = "(";

    TRDRTFMarkerProperties marker;
    marker.NumberLevel = 5;
    marker.MarkerSize = 9;
    marker.MarkerStyles = fsItalic | fsUnderline;
    marker.AssignLevelDefault(def);
    EXPECT_EQ(marker.NumberType, 4);
    EXPECT_EQ(marker.NumberLevel, 5);
    EXPECT_EQ(marker.MarkerFont, 2);
    EXPECT_EQ(marker.MarkerColor, 0x0000FFu);
    EXPECT_EQ(marker.MarkerSize, 9);  // fixed in the source: kept
    EXPECT_EQ(marker.MarkerStyles, fsBold | fsItalic);  // italic fixed: kept; the rest taken
    EXPECT_EQ(marker.BeforeText, QByteArray("("));
}

TEST(RTFProps, LevelTextsAreCutToTheirDeclaredLength)
{
    struct Case {
        QByteArray text;
        QByteArray cut;
    };
    const Case cases[] = {
        {QByteArray("\x02\x00" ".xyz", 6), QByteArray("\x02\x00" ".", 3)},
        {QByteArray("\x09\x00" ".", 3), QByteArray("\x09\x00" ".", 3)},  // a length past the text
        {QByteArray("\x00" "abc", 4), QByteArray("\x00", 1)},
        {QByteArray("\xFF" "a", 2), QByteArray("\xFF" "a", 2)},
        {QByteArray(), QByteArray()},
    };
    for (const auto& c : cases) {
        TRDRTFListLevel97 level;
        level.LevelText = c.text;
        level.LevelNumbers = c.text;
        level.LevelTextW = QString::fromLatin1(c.text);
        level.CutLevelText();
        level.CutLevelNumbers();
        EXPECT_EQ(level.LevelText, c.cut) << c.text.toHex().constData();
        EXPECT_EQ(level.LevelNumbers, c.cut);
        EXPECT_EQ(level.LevelTextW, QString::fromLatin1(c.cut));
    }
}

TEST(RTFProps, KeywordsOtherPartsHandleAreLeftToTheReader)
{
    TRDRTFDocTables tables;
    TRDRTFFormatState state;
    for (TRDRTFPropertyId id : {ipropRed, ipropFontCharset, ipropUnicode, ipropUnicodeSkip, ipropPicW,
                                ipropPNLevel, ipropListId, ipropStyleNo, ipropAFont, ipropCellEnd})
        EXPECT_FALSE(ApplyRTFProperty(state, tables, id, 1)) << id;
}

namespace {

int32_t KwValue(std::string_view keyword, std::optional<int32_t> parameter)
{
    const auto& e = RTFKeyword(FindRTFKeyword(keyword));
    return (e.UseDef || !parameter) ? e.DefValue : *parameter;
}

TRDRTFPropertyId KwId(std::string_view keyword)
{
    return static_cast<TRDRTFPropertyId>(RTFKeyword(FindRTFKeyword(keyword)).Target);
}

}  // namespace

TEST(RTFProps, OldStyleNumberingKeywords)
{
    TRDRTFDocTables tables = ColorTables({clWindowText, 0x0000FF});
    tables.Fonts.AddFont(0);
    tables.Fonts.AddFont(3);
    TRDRTFSectionProperties section;
    TRDRTFMarkerProperties marker;
    const std::pair<const char*, std::optional<int32_t>> keywords[] = {
        {"pnlvlbody", std::nullopt}, {"pnucrm", std::nullopt}, {"pnb", std::nullopt}, {"pnul", 0},
        {"pncf", 1}, {"pnf", 3}, {"pnfs", 21}, {"pnindent", 360}, {"pnstart", 4}, {"pnqc", std::nullopt},
        {"pnhang", std::nullopt}};
    for (const auto& [keyword, parameter] : keywords)
        ASSERT_TRUE(ApplyRTFMarkerProperty(marker, section, tables, KwId(keyword), KwValue(keyword, parameter)));
    EXPECT_EQ(marker.NumberLevel, 10);
    EXPECT_EQ(marker.NumberType, 5);
    EXPECT_EQ(marker.MarkerStyles, fsBold);
    EXPECT_EQ(marker.FixedStyles, fsBold | fsUnderline);
    EXPECT_EQ(marker.MarkerColor, 0x0000FFu);
    EXPECT_EQ(marker.MarkerFont, 1);
    EXPECT_EQ(marker.MarkerSize, 10);
    EXPECT_EQ(marker.FixedParts, rtf_mf_Color | rtf_mf_Font | rtf_mf_Size);
    EXPECT_EQ(marker.NumberIndent, 360);
    EXPECT_EQ(marker.StartAt, 4);
    EXPECT_EQ(marker.MarkerAlign, 2);
    EXPECT_TRUE(marker.HangingIndent);

    // With level defaults: "\pnlvl" takes the level's default, and a level
    // outside 1..11 is refused rather than read outside the defaults.
    section.EnsureLevelDefaults()[1].NumberType = 3;
    TRDRTFMarkerProperties second;
    ASSERT_TRUE(ApplyRTFMarkerProperty(second, section, tables, ipropPNLevel, 2));
    EXPECT_EQ(second.NumberType, 3);
    EXPECT_EQ(second.NumberLevel, 2);
    for (int32_t level : {0, 12, -1, INT_MAX, INT_MIN})
        EXPECT_FALSE(ApplyRTFMarkerProperty(second, section, tables, ipropPNLevel, level)) << level;
}

TEST(RTFProps, ListLevelKeywords)
{
    TRDRTFDocTables tables = ColorTables({clWindowText, 0x00FF00});
    tables.Fonts.AddFont(5);
    tables.Fonts.AddFont(6);
    const std::pair<int32_t, int> nfc[] = {{0, 1}, {1, 5}, {2, 4}, {3, 3}, {4, 2}, {23, 6}, {255, 1}, {-7, 1}};
    for (const auto& [value, type] : nfc) {
        TRDRTFListLevel97 level;
        ASSERT_TRUE(ApplyRTFListLevelProperty(level, tables, ipropLevelNumberType, value));
        EXPECT_EQ(level.NumberType, type) << value;
    }
    const std::pair<int32_t, int> jc[] = {{0, 0}, {1, 2}, {2, 1}};
    for (const auto& [value, align] : jc) {
        TRDRTFListLevel97 level;
        ApplyRTFListLevelProperty(level, tables, ipropLevelJustify, value);
        EXPECT_EQ(level.MarkerAlign, align) << value;
    }

    TRDRTFListLevel97 level;
    // "\af" only while no font is set; "\f" always.
    ApplyRTFListLevelProperty(level, tables, ipropAFont, 6);
    EXPECT_EQ(level.MarkerFont, 1);
    ApplyRTFListLevelProperty(level, tables, ipropAFont, 5);
    EXPECT_EQ(level.MarkerFont, 1);
    ApplyRTFListLevelProperty(level, tables, ipropFont, 5);
    EXPECT_EQ(level.MarkerFont, 0);
    ApplyRTFListLevelProperty(level, tables, ipropFontSize, 23);
    EXPECT_EQ(level.MarkerSize, 12);
    EXPECT_TRUE(level.SizeGiven);
    ApplyRTFListLevelProperty(level, tables, ipropTextColor, 1);
    ApplyRTFListLevelProperty(level, tables, ipropTextColor, 9);
    EXPECT_EQ(level.MarkerColor, 0x00FF00u);
    ApplyRTFListLevelProperty(level, tables, ipropTabPos, 720);
    EXPECT_EQ(level.LevelTabPos, 720);
    EXPECT_FALSE(ApplyRTFListLevelProperty(level, tables, ipropPaperWidth, 1));
}
