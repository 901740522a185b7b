#include "interchange/RDRTFProps.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "styles/RDTextStyles.h"

namespace {

constexpr int RTFIntMax = std::numeric_limits<int>::max();
constexpr int RTFIntMin = std::numeric_limits<int>::min();

TColor RTFResolvedOrWhite(TColor c)
{
    if (c == clNone)
        return clWhite;
    return ColorToRGB(c) & 0xFFFFFF;
}

void RTFSetStyleBit(uint8_t& styles, uint8_t bit, int32_t value)
{
    if (value != 0)
        styles |= bit;
    else
        styles &= static_cast<uint8_t>(~bit);
}

// A colour-table entry for a colour keyword; nothing outside the table.
bool RTFTableColor(const TRDRTFDocTables& tables, int32_t n, TColor& color)
{
    const auto c = tables.Colors.Color(n);
    if (!c)
        return false;
    color = *c;
    return true;
}

const std::array<std::pair<int, const char*>, 5> RTFCharsetSuffixes = {{
    {161, " greek"}, {162, " tur"}, {186, " baltic"}, {204, " cyr"}, {238, " ce"}}};

TRDRTFBorderSide* RTFTargetSide(TRDRTFFormatState& state)
{
    switch (state.BorderTarget) {
    case TRDRTFBorderTarget::Para:
        return &state.Para.Border.Side(state.Para.CurrentSide);
    case TRDRTFBorderTarget::Row: {
        auto& row = state.RowProps();
        return &row.Border.Side(row.CurrentSide);
    }
    case TRDRTFBorderTarget::Cell: {
        auto& cell = state.RowProps().CurrentCell();
        return &cell.Border.Side(cell.CurrentSide);
    }
    case TRDRTFBorderTarget::Char:
        break;
    }
    return nullptr;
}

int RTFSideIndex(int32_t side)
{
    return std::clamp(side, 0, 3);
}

}  // namespace

int RTFNegate(int32_t value)
{
    return value == RTFIntMin ? RTFIntMax : -value;
}

int RTFAbs(int32_t value)
{
    return value < 0 ? RTFNegate(value) : value;
}

int RTFSaturate(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value);
    if (r >= static_cast<double>(RTFIntMax))
        return RTFIntMax;
    if (r <= static_cast<double>(RTFIntMin))
        return RTFIntMin;
    return static_cast<int>(r);
}

int RTFHalfPointsToPoints(int32_t halfPoints)
{
    // Exact in integers: an odd count is a tie, which goes to the even neighbour.
    const int64_t h = halfPoints;
    int64_t q = h / 2;
    if (h % 2 != 0) {
        const int64_t lowOrHigh = h < 0 ? q - 1 : q;  // floor(h / 2)
        q = (lowOrHigh % 2 == 0) ? lowOrHigh : lowOrHigh + 1;
    }
    return static_cast<int>(q);
}

TColor RTFBlendColor(TColor c1, TColor c2, int32_t s)
{
    const int64_t share = std::clamp(s, 0, 10000);
    const TColor a = RTFResolvedOrWhite(c1);
    const TColor b = RTFResolvedOrWhite(c2);
    TColor result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int64_t ca = (a >> shift) & 0xFF;
        const int64_t cb = (b >> shift) & 0xFF;
        result |= static_cast<TColor>((ca * (10000 - share) + cb * share) / 10000) << shift;
    }
    return result;
}

TColor RTFHighlightColor(int32_t n)
{
    static constexpr std::array<TColor, 16> colors = {
        0x000000, 0xFF0000, 0xFFFF00, 0x00FF00, 0xFF00FF, 0x0000FF, 0x00FFFF, 0xFFFFFF,
        0x800000, 0x808000, 0x008000, 0x800080, 0x000080, 0x008080, 0x808080, 0xC0C0C0};
    if (n < 1 || n > 16)
        return clNone;
    return colors[static_cast<size_t>(n - 1)];
}

int RTFUnicodeSkipCount(int32_t value)
{
    return std::max(value, 0);
}

TRDRTFBorderSide& TRDRTFParaBorder::Side(int side)
{
    auto& s = FSides[static_cast<size_t>(RTFSideIndex(side))];
    if (!s)
        s.emplace();
    return *s;
}

const TRDRTFBorderSide* TRDRTFParaBorder::FindSide(int side) const
{
    if (side < 0 || side > 3)
        return nullptr;
    const auto& s = FSides[static_cast<size_t>(side)];
    return s ? &*s : nullptr;
}

bool TRDRTFParaBorder::HasBorder() const
{
    return std::any_of(FSides.begin(), FSides.end(), [](const auto& s) { return s && s->Kind != 0; });
}

void TRDRTFMarkerProperties::AssignLevelDefault(const TRDRTFMarkerProperties& source)
{
    NumberType = source.NumberType;
    MarkerAlign = source.MarkerAlign;
    NumberIndent = source.NumberIndent;
    NumberSpace = source.NumberSpace;
    StartAt = source.StartAt;
    FixedParts = source.FixedParts;
    FixedStyles = source.FixedStyles;
    AfterText = source.AfterText;
    BeforeText = source.BeforeText;
    HangingIndent = source.HangingIndent;
    if (!(source.FixedParts & rtf_mf_Font))
        MarkerFont = source.MarkerFont;
    if (!(source.FixedParts & rtf_mf_Size))
        MarkerSize = source.MarkerSize;
    if (!(source.FixedParts & rtf_mf_Color))
        MarkerColor = source.MarkerColor;
    const uint8_t taken = static_cast<uint8_t>(~source.FixedStyles & 0x0F);
    MarkerStyles = static_cast<uint8_t>((MarkerStyles & ~taken) | (source.MarkerStyles & taken));
}

void TRDRTFListLevel97::CutLevelText()
{
    if (!LevelText.isEmpty()) {
        const qsizetype declared = static_cast<uint8_t>(LevelText.at(0));
        if (declared + 1 < LevelText.size())
            LevelText.truncate(declared + 1);
    }
    if (!LevelTextW.isEmpty()) {
        const qsizetype declared = LevelTextW.at(0).unicode();
        if (declared + 1 < LevelTextW.size())
            LevelTextW.truncate(declared + 1);
    }
}

void TRDRTFListLevel97::CutLevelNumbers()
{
    if (!LevelNumbers.isEmpty()) {
        const qsizetype declared = static_cast<uint8_t>(LevelNumbers.at(0));
        if (declared + 1 < LevelNumbers.size())
            LevelNumbers.truncate(declared + 1);
    }
}

int TRDRTFListTable97::IndexOfId(int32_t id) const
{
    for (size_t i = 0; i < Lists.size(); ++i)
        if (Lists[i].ListId == id)
            return static_cast<int>(i);
    return -1;
}

int TRDRTFListOverrideTable97::IndexOfNumber(int32_t number) const
{
    for (size_t i = 0; i < Overrides.size(); ++i)
        if (Overrides[i].OverrideNumber == number)
            return static_cast<int>(i);
    return -1;
}

void TRDRTFCharProperties::Reset(int language, int fontIndex)
{
    *this = TRDRTFCharProperties();
    Language = language;
    FontIndex = fontIndex;
}

TRDRTFTab& TRDRTFParaProperties::LastTab()
{
    if (Tabs.empty())
        Tabs.emplace_back();
    return Tabs.back();
}

void TRDRTFParaProperties::Complete()
{
    if (ShadingPercent != 0) {
        ShadingColor = RTFBlendColor(ShadingColor, PatternColor, ShadingPercent);
        ShadingPercent = 0;
    }
    if (Completed)
        return;
    Completed = true;
    if (Tabs.empty())
        return;
    Tabs.pop_back();
    TRDRTFTabList kept;
    for (const auto& tab : Tabs) {
        if (tab.IsListTab)
            ListTabPos = tab.Position;
        else
            kept.push_back(tab);
    }
    Tabs = std::move(kept);
}

void TRDRTFSectionProperties::Assign(const TRDRTFSectionProperties& source)
{
    const int header = HeaderOffset;
    const int footer = FooterOffset;
    *this = source;
    HeaderOffset = header;
    FooterOffset = footer;
}

std::array<TRDRTFMarkerProperties, 11>& TRDRTFSectionProperties::EnsureLevelDefaults()
{
    if (!LevelDefaults) {
        LevelDefaults.emplace();
        for (size_t i = 0; i < LevelDefaults->size(); ++i)
            (*LevelDefaults)[i].NumberLevel = static_cast<int>(i) + 1;
    }
    return *LevelDefaults;
}

void TRDRTFRowProperties::Reset()
{
    *this = TRDRTFRowProperties();
    Cells.emplace_back();
    ShadingPending = true;
    CellOpen = true;
}

void TRDRTFRowProperties::Finish()
{
    if (CellOpen) {
        if (!Cells.empty())
            Cells.pop_back();
        CellOpen = false;
    }
    if (ShadingPending) {
        for (auto& cell : Cells) {
            if (cell.CellShading != 0) {
                cell.CellColor = RTFBlendColor(cell.CellColor, cell.CellPatternColor, cell.CellShading);
                cell.CellShading = 0;
            }
        }
        ShadingPending = false;
    }
}

TRDRTFCellProperties& TRDRTFRowProperties::CurrentCell()
{
    if (Cells.empty() || !CellOpen) {
        Cells.emplace_back();
        CellOpen = true;
    }
    return Cells.back();
}

void TRDRTFRowProperties::AddCellX(int32_t boundary)
{
    auto& cell = CurrentCell();
    const auto defined = Cells.size() - 1;
    if (defined >= static_cast<size_t>(RTFMaxCellsPerRow))
        return;
    if (defined > 0) {
        const int previous = Cells[defined - 1].RightBoundary;
        if (boundary <= previous)
            boundary = previous == RTFIntMax ? previous : previous + 1;
    }
    cell.RightBoundary = boundary;
    Cells.emplace_back();
    CellOpen = true;
}

void TRDRTFRowProperties::SetWidth(int32_t width)
{
    Width = PercentWidth ? RTFNegate(width) : width;
}

void TRDRTFRowProperties::SetWidthUnits(int32_t units)
{
    if (units == 2) {
        if (!PercentWidth)
            Width = RTFNegate(Width);
        PercentWidth = true;
    } else if (units != 3) {
        Width = 0;
    }
}

void TRDRTFFontList::AddFont(int32_t number)
{
    TRDRTFFont font;
    font.FontNumber = number;
    Fonts.push_back(font);
}

void TRDRTFFontList::AppendNameByte(char c)
{
    if (!Fonts.empty())
        Fonts.back().FontName.append(c);
}

void TRDRTFFontList::SetCharset(int32_t charset)
{
    if (Fonts.empty())
        return;
    if (charset >= 256)
        charset = 77;
    else if (charset < 0)
        charset = DEFAULT_CHARSET;
    Fonts.back().FontCharset = charset;
}

void TRDRTFFontList::SetFamily(int family)
{
    if (!Fonts.empty())
        Fonts.back().FontFamily = family;
}

void TRDRTFFontList::FinishTable()
{
    for (auto& font : Fonts) {
        for (const auto& [charset, suffix] : RTFCharsetSuffixes) {
            if (font.FontCharset != charset)
                continue;
            const QByteArray s(suffix);
            if (font.FontName.size() > s.size()
                && font.FontName.right(s.size()).compare(s, Qt::CaseInsensitive) == 0)
                font.FontName.chop(s.size());
        }
    }
}

int TRDRTFFontList::IndexOfNumber(int32_t number) const
{
    for (size_t i = 0; i < Fonts.size(); ++i)
        if (Fonts[i].FontNumber == number)
            return static_cast<int>(i);
    return -1;
}

int TRDRTFFontList::Lookup(int32_t number, int32_t defFontNumber) const
{
    int index = IndexOfNumber(number);
    if (index < 0)
        index = IndexOfNumber(defFontNumber);
    return index < 0 ? 0 : index;
}

const TRDRTFFont* TRDRTFFontList::Font(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= Fonts.size())
        return nullptr;
    return &Fonts[static_cast<size_t>(index)];
}

int TRDRTFFontList::CharsetOf(int index) const
{
    const auto* font = Font(index);
    return font ? font->FontCharset : DEFAULT_CHARSET;
}

QByteArray TRDRTFFontList::NameOf(int index) const
{
    const auto* font = Font(index);
    return font ? font->FontName : QByteArray();
}

void TRDRTFColorList::Start()
{
    Colors.assign(1, clWindowText);
    FStarted = true;
}

void TRDRTFColorList::NewEntry()
{
    Colors.push_back(clWindowText);
}

void TRDRTFColorList::SetComponent(TRDRTFPropertyId component, int32_t value)
{
    if (Colors.empty())
        return;
    int shift = 0;
    if (component == ipropGreen)
        shift = 8;
    else if (component == ipropBlue)
        shift = 16;
    else if (component != ipropRed)
        return;
    TColor& c = Colors.back();
    if (c == clWindowText)
        c = 0;
    c |= static_cast<TColor>(std::clamp(value, 0, 255)) << shift;
}

void TRDRTFColorList::RemoveUnfinished()
{
    if (FStarted && !Colors.empty())
        Colors.pop_back();
    FStarted = false;
}

std::optional<TColor> TRDRTFColorList::Color(int32_t n) const
{
    if (n < 0 || static_cast<size_t>(n) >= Colors.size())
        return std::nullopt;
    return Colors[static_cast<size_t>(n)];
}

TRDRTFStyleSheetEntry& TRDRTFStyleSheet::AddEntry()
{
    Entries.emplace_back();
    Entries.back().NextStyle = static_cast<int>(Entries.size()) - 1;
    return Entries.back();
}

int TRDRTFStyleSheet::IndexOfNumber(int32_t number) const
{
    for (size_t i = 0; i < Entries.size(); ++i)
        if (Entries[i].Number == number)
            return static_cast<int>(i);
    return -1;
}

TRDRTFRowProperties& TRDRTFFormatState::RowProps()
{
    if (!Row)
        Row.emplace();
    return *Row;
}

void TRDRTFFormatState::Assign(const TRDRTFFormatState& source)
{
    Char = source.Char;
    Para = source.Para;
    Section.Assign(source.Section);
    Doc = source.Doc;
    Row = source.Row;
    BorderTarget = source.BorderTarget;
}

bool ApplyRTFProperty(TRDRTFFormatState& state, const TRDRTFDocTables& tables, TRDRTFPropertyId id,
                      int32_t value)
{
    auto& ch = state.Char;
    auto& pa = state.Para;
    auto& sect = state.Section;
    auto& doc = state.Doc;
    switch (id) {
    // character
    case ipropBold: RTFSetStyleBit(ch.Styles, fsBold, value); break;
    case ipropItalic: RTFSetStyleBit(ch.Styles, fsItalic, value); break;
    case ipropStrike: RTFSetStyleBit(ch.Styles, fsStrikeOut, value); break;
    case ipropUnderline:
        RTFSetStyleBit(ch.Styles, fsUnderline, value);
        ch.UnderlineKind = 0;
        break;
    case ipropUnderlineType:
        RTFSetStyleBit(ch.Styles, fsUnderline, value);
        ch.UnderlineKind = value > 0 && value <= 12 ? value : 0;
        break;
    case ipropUnderlineColor: RTFTableColor(tables, value, ch.UnderlineColor); break;
    case ipropCharScaleX: ch.ScaleX = value; break;
    case ipropCharSpacing: ch.Spacing = value; break;
    case ipropSScript: ch.SubSuper = value; break;
    case ipropVShiftUp: ch.VShift = value; break;
    case ipropVShiftDown: ch.VShift = RTFNegate(value); break;
    case ipropAllCaps: RTFSetStyleBit(ch.ExtraStyles, rdfsAllCaps, value); break;
    case ipropFontSize: ch.Size = RTFHalfPointsToPoints(value); break;
    case ipropTextColor: RTFTableColor(tables, value, ch.Color); break;
    case ipropTextBackColor:
        if (RTFTableColor(tables, value, ch.BackColor) && ch.BackColor == clWindowText)
            ch.BackColor = clNone;
        break;
    case ipropHighlight:
        if (tables.ConvertHighlight == rtf_hl_FixedColors)
            ch.BackColor = RTFHighlightColor(value);
        else if (tables.ConvertHighlight == rtf_hl_ColorTable
                 && RTFTableColor(tables, value, ch.BackColor) && ch.BackColor == clWindowText)
            ch.BackColor = clNone;
        break;
    case ipropLanguage: ch.Language = value; break;
    case ipropHidden: ch.Hidden = value != 0; break;
    case ipropPlain:
        ch.Reset(tables.DefLanguage, tables.Fonts.Lookup(tables.DefFontNumber, tables.DefFontNumber));
        break;
    case ipropFont: ch.FontIndex = tables.Fonts.Lookup(value, tables.DefFontNumber); break;
    // paragraph
    case ipropSL: pa.LineSpacing = value; break;
    case ipropSLMult: pa.LineSpacingMultiple = value != 0; break;
    case ipropLeftInd: pa.LeftIndent = value; break;
    case ipropRightInd: pa.RightIndent = value; break;
    case ipropFirstInd: pa.FirstIndent = value; break;
    case ipropSpaceBefore: pa.SpaceBefore = value; break;
    case ipropSpaceAfter: pa.SpaceAfter = value; break;
    case ipropJust: pa.Alignment = value; break;
    case ipropPard: pa.Reset(); break;
    case ipropKeep: pa.KeepTogether = value != 0; break;
    case ipropKeepN: pa.KeepWithNext = value != 0; break;
    case ipropParaBackColor: RTFTableColor(tables, value, pa.ShadingColor); break;
    case ipropParaPatternColor: RTFTableColor(tables, value, pa.PatternColor); break;
    case ipropParaShading: pa.ShadingPercent = value; break;
    case ipropBorderSide:
        pa.CurrentSide = RTFSideIndex(value);
        state.BorderTarget = TRDRTFBorderTarget::Para;
        break;
    case ipropCharBorder: state.BorderTarget = TRDRTFBorderTarget::Char; break;
    case ipropBorderType:
        if (auto* side = RTFTargetSide(state); side && side->Kind == 0)
            side->Kind = value;
        break;
    case ipropBorderWidth:
        if (auto* side = RTFTargetSide(state))
            side->Width = value;
        break;
    case ipropBorderColor:
        if (auto* side = RTFTargetSide(state))
            RTFTableColor(tables, value, side->Color);
        break;
    case ipropBorderSpace: pa.Border.Side(pa.CurrentSide).Spacing = value; break;
    case ipropTabPos:
        pa.LastTab().Position = value;
        pa.Tabs.emplace_back();
        break;
    case ipropTabKind: pa.LastTab().Kind = value; break;
    case ipropTabLeader: pa.LastTab().Leader = value; break;
    case ipropListTab: pa.LastTab().IsListTab = true; break;
    case ipropLS: pa.ListOverride = tables.ListOverrides.IndexOfNumber(value); break;
    case ipropILvl: pa.ListLevel = value; break;
    case ipropInTbl: pa.InTable = true; break;
    case ipropItap:
        // One table start is fired per level: deeper nesting is read as the deepest kept.
        value = std::clamp(value, 0, RTFMaxTableNesting);
        pa.NestingLevel = value;
        if (value > 0)
            pa.InTable = true;
        break;
    case ipropNoOverlap: pa.NoCloseTables = value != 0; break;
    // section
    case ipropSectd: sect.Reset(); break;
    case ipropCols: sect.SectionColumns = value; break;
    case ipropPgnX: sect.PageNumberX = value; break;
    case ipropPgnY: sect.PageNumberY = value; break;
    case ipropHeaderY: sect.HeaderOffset = value; break;
    case ipropFooterY: sect.FooterOffset = value; break;
    case ipropSectBreak: sect.BreakKind = value; break;
    case ipropPgnFormat: sect.PageNumberStyle = value; break;
    // document
    case ipropPaperWidth: doc.PaperWidth = value; break;
    case ipropPaperHeight: doc.PaperHeight = value; break;
    case ipropLeftMargin: doc.LeftMargin = value; break;
    case ipropRightMargin: doc.RightMargin = value; break;
    case ipropTopMargin: doc.TopMargin = value; break;
    case ipropBottomMargin: doc.BottomMargin = value; break;
    case ipropPgnStart: doc.FirstPageNumber = value; break;
    case ipropFacingPages: doc.FacingPages = value != 0; break;
    case ipropMirrorMargins: doc.MirrorMargins = value != 0; break;
    case ipropLandscape: doc.Landscape = value != 0; break;
    case ipropViewScale: doc.ViewScale = value; break;
    case ipropViewZoomKind: doc.ViewZoomKind = value; break;
    // rows and cells
    case ipropRowDefaults: state.RowProps().Reset(); break;
    case ipropRowEnd: state.RowProps().Finish(); break;
    case ipropLastRow: state.RowProps().LastRow = true; break;
    case ipropRowAlign: state.RowProps().Alignment = value; break;
    case ipropRowGap: state.RowProps().Gap = value; break;
    case ipropRowLeft: state.RowProps().Left = value; break;
    case ipropRowHeight: state.RowProps().Height = RTFAbs(value); break;
    case ipropRowHeader: state.RowProps().Heading = value != 0; break;
    case ipropRowPadL: state.RowProps().Padding[0] = value; break;
    case ipropRowPadT: state.RowProps().Padding[1] = value; break;
    case ipropRowPadR: state.RowProps().Padding[2] = value; break;
    case ipropRowPadB: state.RowProps().Padding[3] = value; break;
    case ipropRowPadFL: state.RowProps().PaddingInTwips[0] = value == 3; break;
    case ipropRowPadFT: state.RowProps().PaddingInTwips[1] = value == 3; break;
    case ipropRowPadFR: state.RowProps().PaddingInTwips[2] = value == 3; break;
    case ipropRowPadFB: state.RowProps().PaddingInTwips[3] = value == 3; break;
    case ipropRowSpcL: state.RowProps().Spacing[0] = value; break;
    case ipropRowSpcT: state.RowProps().Spacing[1] = value; break;
    case ipropRowSpcR: state.RowProps().Spacing[2] = value; break;
    case ipropRowSpcB: state.RowProps().Spacing[3] = value; break;
    case ipropRowSpcFL: state.RowProps().SpacingInTwips[0] = value == 3; break;
    case ipropRowSpcFT: state.RowProps().SpacingInTwips[1] = value == 3; break;
    case ipropRowSpcFR: state.RowProps().SpacingInTwips[2] = value == 3; break;
    case ipropRowSpcFB: state.RowProps().SpacingInTwips[3] = value == 3; break;
    case ipropRowWidth: state.RowProps().SetWidth(value); break;
    case ipropRowWidthUnits: state.RowProps().SetWidthUnits(value); break;
    case ipropRichDocTableWidth:
        state.RowProps().Width = value;
        state.RowProps().PixelSizes = true;
        break;
    case ipropRowBorderSide:
        state.RowProps().CurrentSide = RTFSideIndex(value);
        state.BorderTarget = TRDRTFBorderTarget::Row;
        break;
    case ipropCellBorderSide:
        state.RowProps().CurrentCell().CurrentSide = RTFSideIndex(value);
        state.BorderTarget = TRDRTFBorderTarget::Cell;
        break;
    case ipropCellVMerge: {
        auto& cell = state.RowProps().CurrentCell();
        if (cell.VertMerge != 1)
            cell.VertMerge = value;
        break;
    }
    case ipropCellHMerge: state.RowProps().CurrentCell().HorzMerge = value; break;
    case ipropCellWidth: {
        auto& cell = state.RowProps().CurrentCell();
        cell.CellWidth = cell.WidthIsPercent ? RTFNegate(value) : value;
        break;
    }
    case ipropCellWidthUnits: {
        auto& cell = state.RowProps().CurrentCell();
        if (value == 2) {
            if (!cell.WidthIsPercent)
                cell.CellWidth = RTFNegate(cell.CellWidth);
            cell.WidthIsPercent = true;
        } else if (value != 3) {
            cell.CellWidth = 0;
        }
        break;
    }
    case ipropCellColor: {
        auto& cell = state.RowProps().CurrentCell();
        if (RTFTableColor(tables, value, cell.CellColor) && cell.CellColor == clWindowText)
            cell.CellColor = clNone;
        break;
    }
    case ipropCellPatternColor: RTFTableColor(tables, value, state.RowProps().CurrentCell().CellPatternColor); break;
    case ipropCellShading: state.RowProps().CurrentCell().CellShading = value; break;
    case ipropCellVertAlign: state.RowProps().CurrentCell().VertAlign = value; break;
    case ipropCellX: state.RowProps().AddCellX(value); break;
    case ipropRichDocCellWidth:
        state.RowProps().CurrentCell().CellWidth = value;
        state.RowProps().PixelSizes = true;
        break;
    case ipropRichDocCellHeight:
        state.RowProps().CurrentCell().CellHeight = value;
        state.RowProps().PixelSizes = true;
        break;
    default:
        return false;
    }
    return true;
}

namespace {

void RTFSetMarkerStyle(TRDRTFCustomMarkerProperties& marker, uint8_t bit, int32_t value)
{
    RTFSetStyleBit(marker.MarkerStyles, bit, value);
    marker.FixedStyles |= bit;
}

}  // namespace

bool ApplyRTFMarkerProperty(TRDRTFMarkerProperties& marker, const TRDRTFSectionProperties& section,
                            const TRDRTFDocTables& tables, TRDRTFPropertyId id, int32_t value)
{
    switch (id) {
    case ipropPNLevel:
        if (section.LevelDefaults) {
            if (value < 1 || value > static_cast<int32_t>(section.LevelDefaults->size()))
                return false;
            const int level = marker.NumberLevel;
            marker.AssignLevelDefault((*section.LevelDefaults)[static_cast<size_t>(value - 1)]);
            marker.NumberLevel = level;
        }
        marker.NumberLevel = value;
        break;
    case ipropPNHang: marker.HangingIndent = value != 0; break;
    case ipropPNType: marker.NumberType = value; break;
    case ipropPNBold: RTFSetMarkerStyle(marker, fsBold, value); break;
    case ipropPNItalic: RTFSetMarkerStyle(marker, fsItalic, value); break;
    case ipropPNUnderline: RTFSetMarkerStyle(marker, fsUnderline, value); break;
    case ipropPNStrike: RTFSetMarkerStyle(marker, fsStrikeOut, value); break;
    case ipropPNColor:
        if (RTFTableColor(tables, value, marker.MarkerColor))
            marker.FixedParts |= rtf_mf_Color;
        break;
    case ipropPNFont:
        marker.MarkerFont = tables.Fonts.Lookup(value, tables.DefFontNumber);
        marker.FixedParts |= rtf_mf_Font;
        break;
    case ipropPNFontSize:
        marker.MarkerSize = RTFHalfPointsToPoints(value);
        marker.FixedParts |= rtf_mf_Size;
        break;
    case ipropPNIndent: marker.NumberIndent = value; break;
    case ipropPNSpace: marker.NumberSpace = value; break;
    case ipropPNStart: marker.StartAt = value; break;
    case ipropPNAlign: marker.MarkerAlign = value; break;
    default: break;
    }
    return true;
}

bool ApplyRTFListLevelProperty(TRDRTFListLevel97& level, const TRDRTFDocTables& tables, TRDRTFPropertyId id,
                               int32_t value)
{
    switch (id) {
    case ipropBold: RTFSetStyleBit(level.MarkerStyles, fsBold, value); break;
    case ipropItalic: RTFSetStyleBit(level.MarkerStyles, fsItalic, value); break;
    case ipropStrike: RTFSetStyleBit(level.MarkerStyles, fsStrikeOut, value); break;
    case ipropUnderline: RTFSetStyleBit(level.MarkerStyles, fsUnderline, value); break;
    case ipropFontSize:
        level.MarkerSize = RTFHalfPointsToPoints(value);
        level.SizeGiven = true;
        break;
    case ipropTextColor: RTFTableColor(tables, value, level.MarkerColor); break;
    case ipropFont: level.MarkerFont = tables.Fonts.Lookup(value, tables.DefFontNumber); break;
    case ipropAFont:
        if (level.MarkerFont < 0)
            level.MarkerFont = tables.Fonts.Lookup(value, tables.DefFontNumber);
        break;
    case ipropLeftInd: level.LevelLeft = value; break;
    case ipropFirstInd: level.LevelFirst = value; break;
    case ipropTabPos: level.LevelTabPos = value; break;
    case ipropLevelStartAt: level.StartAt = value; break;
    case ipropLevelNumberType:
        switch (value) {
        case 1: level.NumberType = 5; break;
        case 2: level.NumberType = 4; break;
        case 3: level.NumberType = 3; break;
        case 4: level.NumberType = 2; break;
        case 23: level.NumberType = 6; break;
        default: level.NumberType = 1; break;
        }
        break;
    case ipropLevelJustify:
        if (value == 0)
            level.MarkerAlign = 0;
        else if (value == 1)
            level.MarkerAlign = 2;
        else if (value == 2)
            level.MarkerAlign = 1;
        break;
    case ipropLevelOld: level.OldFormat = value != 0; break;
    case ipropLevelLegal: level.LegalStyle = value != 0; break;
    case ipropLevelNoRestart: level.SkipRestart = value != 0; break;
    case ipropLevelIndent: level.NumberIndent = value; break;
    case ipropLevelSpace: level.NumberSpace = value; break;
    case ipropLevelFollow: level.FollowChar = value; break;
    default: return false;
    }
    return true;
}
