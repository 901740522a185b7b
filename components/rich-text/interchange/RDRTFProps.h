#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include "Graphics.h"
#include "interchange/RDRTFKeywords.h"

// The formatting the RTF reader keeps in force while it reads: character,
// paragraph, section, document and row properties (one set per open group,
// copied when a group opens and given back when it closes), and the tables
// the whole document shares (fonts, colours, style sheet, lists). Lengths are
// kept in twips as RTF gives them, font sizes in points, shading in
// hundredths of a percent. Every parameter arrives as a 32-bit integer; no
// operation here overflows on any of them.

// -V, saturating at the int range.
int RTFNegate(int32_t value);
// |V|, saturating at the int range.
int RTFAbs(int32_t value);
// A double rounded to the nearest int, saturating at the int range (NaN gives 0).
int RTFSaturate(double value);
// Half-points to points, rounded to the nearest, halves to the even neighbour.
int RTFHalfPointsToPoints(int32_t halfPoints);
// Mixes two colours channel by channel: (c1 * (10000 - s) + c2 * s) div 10000;
// clNone counts as white, system colours are resolved, s is clamped to 0..10000.
TColor RTFBlendColor(TColor c1, TColor c2, int32_t s);
// The fixed colour of "\highlight" N, clNone for an unknown N.
TColor RTFHighlightColor(int32_t n);

// What "\highlight" does.
enum TRDRTFHighlight : uint8_t { rtf_hl_Ignore, rtf_hl_FixedColors, rtf_hl_ColorTable };

// Which border side the border keywords act on.
enum class TRDRTFBorderTarget : uint8_t { Para, Row, Cell, Char };

struct TRDRTFTab {
    int Position = 0;  // twips
    int Kind = 0;      // 0 left, 1 right, 2 centre, 3 decimal
    int Leader = 0;    // 0 none, 1 dots, 2 middle dots, 3 hyphens, 4 line, 5 equal signs
    bool IsListTab = false;
};
using TRDRTFTabList = std::vector<TRDRTFTab>;

struct TRDRTFBorderSide {
    int Kind = 0;  // 0 none, 1..27 the border kinds
    int Width = 0;
    TColor Color = clNone;
    int Spacing = 0;
};

// Four sides (0 left, 1 top, 2 right, 3 bottom), each made on first use.
class TRDRTFParaBorder {
public:
    TRDRTFBorderSide& Side(int side);
    const TRDRTFBorderSide* FindSide(int side) const;
    bool HasBorder() const;
    void Reset() { FSides = {}; }

private:
    std::array<std::optional<TRDRTFBorderSide>, 4> FSides;
};

// Style bits of markers, as TFontStyle.
enum TRDRTFMarkerFixed : uint8_t { rtf_mf_Font = 1, rtf_mf_Size = 2, rtf_mf_Color = 4 };

struct TRDRTFCustomMarkerProperties {
    int NumberType = 0;  // 0 none, 1 decimal, 2 lower letter, 3 upper letter, 4 lower roman, 5 upper roman, 6 bullet
    int MarkerFont = -1;  // font index
    int NumberIndent = 0;
    int NumberSpace = 0;
    int StartAt = 0;
    uint8_t MarkerStyles = 0;  // TFontStyle bits
    uint8_t FixedStyles = 0;   // the style bits given explicitly
    TColor MarkerColor = clWindowText;
    int MarkerAlign = 0;      // 0 left, 1 right, 2 centre
    uint8_t FixedParts = 0;   // TRDRTFMarkerFixed bits
    int MarkerSize = 12;      // points
};

struct TRDRTFMarkerProperties : TRDRTFCustomMarkerProperties {
    int NumberLevel = 0;
    bool HangingIndent = false;
    QByteArray AfterText;
    QByteArray BeforeText;

    // Everything, the level included.
    void Assign(const TRDRTFMarkerProperties& source) { *this = source; }
    // A level default: font, size and colour only where the source does not
    // fix them, each style bit only where the source does not fix it; the
    // level stays.
    void AssignLevelDefault(const TRDRTFMarkerProperties& source);
};

struct TRDRTFListLevel97 : TRDRTFCustomMarkerProperties {
    bool OldFormat = false;
    bool LegalStyle = false;
    bool SkipRestart = false;
    QByteArray LevelText;   // as read: a length byte, then the text
    QString LevelTextW;     // the same, UTF-16
    QByteArray LevelNumbers;
    int FollowChar = 0;
    int LevelLeft = 0;
    int LevelFirst = 0;
    int LevelTabPos = -1000;
    bool SizeGiven = false;
    bool IndentsDone = false;

    // Cuts each text to the length its first character declares (the first
    // character stays); a length past the text keeps the whole text.
    void CutLevelText();
    void CutLevelNumbers();
};

struct TRDRTFList97 {
    std::vector<TRDRTFListLevel97> Levels;
    int32_t ListId = 0;
    bool SimpleList = false;
    QByteArray ListName;
};

struct TRDRTFListTable97 {
    std::vector<TRDRTFList97> Lists;
    // The index of the list with this id, -1 when none.
    int IndexOfId(int32_t id) const;
};

struct TRDRTFListOverrideLevel97 {
    bool RestartGiven = false;
    int OverrideStart = 1;
};

struct TRDRTFListOverride97 {
    std::vector<TRDRTFListOverrideLevel97> Levels;
    int OverriddenList = -1;  // index in the list table
    int32_t OverrideNumber = 0;
    int OverrideCount = 0;
};

struct TRDRTFListOverrideTable97 {
    std::vector<TRDRTFListOverride97> Overrides;
    // The index of the override with this number, -1 when none.
    int IndexOfNumber(int32_t number) const;
};

struct TRDRTFCharProperties {
    bool Hidden = false;
    int Size = 12;  // points
    TColor Color = clWindowText;
    TColor BackColor = clNone;
    TColor UnderlineColor = clNone;
    int FontIndex = 0;
    uint8_t Styles = 0;       // TFontStyle bits
    uint8_t ExtraStyles = 0;  // TRDFontStyle bits (all capitals)
    int ScaleX = 100;
    int SubSuper = 0;  // 0 none, 1 sub, 2 super
    int VShift = 0;    // half-points, up positive
    int Spacing = 0;   // twips
    int Language = 0;
    QString FontNameOverride;
    int UnderlineKind = 0;  // TRDUnderlineType

    void Reset(int language, int fontIndex);
};

struct TRDRTFParaProperties {
    int LeftIndent = 0, RightIndent = 0, FirstIndent = 0, SpaceBefore = 0, SpaceAfter = 0;
    int Alignment = 0;  // 0 left, 1 right, 2 centre, 3 justify
    int LineSpacing = 240;  // twips, negative = exactly
    bool LineSpacingMultiple = true;
    TColor ShadingColor = clNone;
    TColor PatternColor = clBlack;
    int ShadingPercent = 0;
    bool KeepTogether = false, KeepWithNext = false;
    bool InTable = false;
    int NestingLevel = 1;
    bool NoCloseTables = false;
    int ListOverride = -1;
    int ListLevel = 0;
    int ListTabPos = -1000;
    TRDRTFParaBorder Border;
    int CurrentSide = 0;
    std::optional<TRDRTFMarkerProperties> Marker;
    TRDRTFTabList Tabs;
    bool Completed = false;

    void Reset() { *this = TRDRTFParaProperties(); }
    // Before text and items are delivered: shading blended, and once the
    // unfinished last tab dropped and list tabs taken out.
    void Complete();
    // The last tab, made (unfinished) when there is none.
    TRDRTFTab& LastTab();
};

struct TRDRTFSectionProperties {
    int SectionColumns = 1;
    int BreakKind = 4;
    int PageNumberX = 720, PageNumberY = 720;
    int PageNumberStyle = 0;
    int HeaderOffset = 720, FooterOffset = 720;
    // Levels 1..11 of old-style numbering, made when first needed.
    std::optional<std::array<TRDRTFMarkerProperties, 11>> LevelDefaults;

    void Reset() { *this = TRDRTFSectionProperties(); }
    // The group copy: everything but the header and footer offsets.
    void Assign(const TRDRTFSectionProperties& source);
    std::array<TRDRTFMarkerProperties, 11>& EnsureLevelDefaults();
};

struct TRDRTFDocProperties {
    int PaperWidth = 12240, PaperHeight = 15480;
    int LeftMargin = 1800, RightMargin = 1800, TopMargin = 1440, BottomMargin = 1440;
    int FirstPageNumber = 1;
    bool FacingPages = false, MirrorMargins = false, Landscape = false;
    int ViewScale = 100;
    int ViewZoomKind = 0;

    void Reset() { *this = TRDRTFDocProperties(); }
};

struct TRDRTFCellProperties {
    int HorzMerge = 0;  // 1 first, 2 continued
    int VertMerge = 0;  // 1 first, 2 continued
    bool WidthIsPercent = false;
    int CellWidth = 0;
    TColor CellColor = clNone;
    TColor CellPatternColor = clBlack;
    int CellShading = 0;
    int VertAlign = 0;  // 0 top, 1 bottom, 2 centre
    TRDRTFParaBorder Border;
    int CurrentSide = 0;
    int RightBoundary = 0;
    int CellHeight = 0;
};

// "\itap" above this is read as this.
constexpr int RTFMaxTableNesting = 32;

// A row may define at most this many cells; further "\cellx" are ignored.
constexpr int RTFMaxCellsPerRow = 1000;

struct TRDRTFRowProperties {
    bool PercentWidth = false;
    bool Heading = false;
    bool LastRow = false;
    int Alignment = 0;  // 0 left, 1 right, 2 centre
    int Gap = 0, Left = 0, Height = 0, Width = 0;
    TRDRTFParaBorder Border;
    int CurrentSide = 0;
    std::vector<TRDRTFCellProperties> Cells;
    std::array<int, 4> Padding{}, Spacing{};  // 0 left, 1 top, 2 right, 3 bottom
    std::array<bool, 4> PaddingInTwips{}, SpacingInTwips{};
    bool PixelSizes = false;
    bool ShadingPending = false;
    bool CellOpen = false;

    // "\trowd": everything cleared, one unfinished cell.
    void Reset();
    // "\row", "\nestrow": the unfinished cell dropped, shading applied.
    void Finish();
    // The unfinished cell the cell keywords act on (made when there is none).
    TRDRTFCellProperties& CurrentCell();
    // "\cellx": sets the unfinished cell's boundary (above the previous one)
    // and opens the next.
    void AddCellX(int32_t boundary);
    void SetWidth(int32_t width);
    void SetWidthUnits(int32_t units);
};

struct TRDRTFFont {
    int32_t FontNumber = 0;
    QByteArray FontName;  // bytes in the font's charset
    int FontFamily = 0;
    int FontCharset = 1;  // DEFAULT_CHARSET
};

class TRDRTFFontList {
public:
    std::vector<TRDRTFFont> Fonts;

    void Clear() { Fonts.clear(); }
    void AddFont(int32_t number);
    // Act on the last font; nothing when there is none.
    void AppendNameByte(char c);
    void SetCharset(int32_t charset);
    void SetFamily(int family);
    // At the end of the font table: the charset suffixes leave the names.
    void FinishTable();
    int IndexOfNumber(int32_t number) const;
    // The font with this number, else the default font, else 0.
    int Lookup(int32_t number, int32_t defFontNumber) const;
    // Checked accessors: an index outside the list (a stale one too) gives
    // null, DEFAULT_CHARSET and no name.
    const TRDRTFFont* Font(int index) const;
    int CharsetOf(int index) const;
    QByteArray NameOf(int index) const;
};

class TRDRTFColorList {
public:
    std::vector<TColor> Colors;

    // "\colortbl": one automatic entry.
    void Start();
    // ";": another automatic entry.
    void NewEntry();
    // "\red", "\green", "\blue" on the last entry; values clamped to 0..255.
    void SetComponent(TRDRTFPropertyId component, int32_t value);
    // At the end of the read: the entry after the last ";" goes.
    void RemoveUnfinished();
    // Entry N when 0 <= N < count.
    std::optional<TColor> Color(int32_t n) const;

private:
    bool FStarted = false;
};

struct TRDRTFStyleSheetEntry {
    int32_t Number = 0;
    int Kind = 1;  // 0 character, 1 paragraph, 2 section
    QByteArray Name;
    int BasedOn = -1;    // entry index
    int NextStyle = -1;  // entry index (the entry itself at first)
    bool Additive = false;
    bool HiddenStyle = false;
    TRDRTFParaProperties Para;
    TRDRTFCharProperties Char;
};

struct TRDRTFStyleSheet {
    std::vector<TRDRTFStyleSheetEntry> Entries;
    TRDRTFStyleSheetEntry& AddEntry();
    int IndexOfNumber(int32_t number) const;
};

// The tables the whole document shares, and the reader's settings the
// properties depend on.
struct TRDRTFDocTables {
    TRDRTFFontList Fonts;
    TRDRTFColorList Colors;
    TRDRTFStyleSheet StyleSheet;
    TRDRTFListTable97 ListTable;
    TRDRTFListOverrideTable97 ListOverrides;
    int32_t DefFontNumber = 0;  // "\deff"
    int DefLanguage = 0;        // "\deflang"
    TRDRTFHighlight ConvertHighlight = rtf_hl_FixedColors;
};

// The formatting one group holds.
struct TRDRTFFormatState {
    TRDRTFCharProperties Char;
    TRDRTFParaProperties Para;
    TRDRTFSectionProperties Section;
    TRDRTFDocProperties Doc;
    std::optional<TRDRTFRowProperties> Row;
    TRDRTFBorderTarget BorderTarget = TRDRTFBorderTarget::Para;

    TRDRTFRowProperties& RowProps();
    // The group copy.
    void Assign(const TRDRTFFormatState& source);
};

// Applies a character, paragraph, section, document, row or cell property
// keyword (value: the parameter, or the keyword's default). False for the
// keywords this does not handle (tables, pictures, numbering, Unicode and
// the others the reader acts on itself).
bool ApplyRTFProperty(TRDRTFFormatState& state, const TRDRTFDocTables& tables, TRDRTFPropertyId id,
                      int32_t value);

// A keyword inside old-style numbering ("\pn" or "\pnseclvl" groups) on the
// marker read. False for a level outside 1..11 while the section's level
// defaults exist (the read ends with an error); true otherwise, also for
// keywords that do not concern markers.
bool ApplyRTFMarkerProperty(TRDRTFMarkerProperties& marker, const TRDRTFSectionProperties& section,
                            const TRDRTFDocTables& tables, TRDRTFPropertyId id, int32_t value);
// A keyword inside a list level; false for keywords that do not concern levels.
bool ApplyRTFListLevelProperty(TRDRTFListLevel97& level, const TRDRTFDocTables& tables, TRDRTFPropertyId id,
                               int32_t value);

// "\uc" N: the number of fallback characters after "\u"; below 0 counts as 0.
int RTFUnicodeSkipCount(int32_t value);
