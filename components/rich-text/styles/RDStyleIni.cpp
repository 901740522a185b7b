#include "styles/RDStyleIni.h"

#include <algorithm>

#include "ComponentStream.h"
#include "core/RDError.h"
#include "core/RDFStream.h"
#include "core/RDFormat.h"
#include "core/RDGraphUtils.h"

namespace {
constexpr int LongStringPiece = 500;
constexpr int MaxIniTabs = 1000;

QString Key(const QString& pattern, const QString& name)
{
    return RDFormat(pattern, {name});
}

// The pattern of a collection's item: the pattern without a name, then the
// kind's own "%s" and the index.
QString ItemPattern(const QString& pattern, const char* kind, int index)
{
    return Key(pattern, {}) + QLatin1String(kind) + QLatin1String("%s") + QString::number(index);
}

class TWriter {
public:
    TWriter(TIniFile& ini, const QString& section, const QString& pattern) : FIni(ini), FSection(section), FPattern(pattern) {}
    void Int(const char* name, int value, int def)
    {
        if (value != def)
            FIni.WriteInteger(FSection, Key(FPattern, QLatin1String(name)), value);
    }
    void Bool(const char* name, bool value, bool def)
    {
        if (value != def)
            Word(name, value);
    }
    void Word(const char* name, bool value)
    {
        FIni.WriteString(FSection, Key(FPattern, QLatin1String(name)), value ? QStringLiteral("Yes") : QStringLiteral("No"));
    }
    void Str(const char* name, const QString& value) { FIni.WriteString(FSection, Key(FPattern, QLatin1String(name)), value); }
    void Long(const char* name, const QString& value)
    {
        for (int i = 0; i * LongStringPiece < value.size(); ++i)
            FIni.WriteString(FSection, Key(FPattern, QLatin1String(name) + u'_' + QString::number(i)),
                             value.mid(i * LongStringPiece, LongStringPiece));
    }

private:
    TIniFile& FIni;
    QString FSection;
    QString FPattern;
};

class TReader {
public:
    TReader(const TIniFile& ini, const QString& section, const QString& pattern) : FIni(ini), FSection(section), FPattern(pattern) {}
    int Int(const char* name, int def) const { return FIni.ReadInteger(FSection, Key(FPattern, QLatin1String(name)), def); }
    bool Bool(const char* name, bool def) const
    {
        const QString value = FIni.ReadString(FSection, Key(FPattern, QLatin1String(name)), def ? "Yes" : "No");
        return value.toUpper() == QLatin1String("YES");
    }
    QString Str(const char* name, const QString& def = {}) const
    {
        return FIni.ReadString(FSection, Key(FPattern, QLatin1String(name)), def);
    }
    QString Long(const char* name) const
    {
        QString value;
        for (int i = 0;; ++i) {
            const QString piece = FIni.ReadString(FSection, Key(FPattern, QLatin1String(name) + u'_' + QString::number(i)), {});
            if (piece.isEmpty())
                return value;
            value += piece;
        }
    }

private:
    const TIniFile& FIni;
    QString FSection;
    QString FPattern;
};

void SaveCommon(const TCustomRDInfo& style, TWriter& w)
{
    w.Str("StyleName", style.StyleName);
    w.Int("BaseStyleNo", style.BaseStyleNo, -1);
    w.Int("Standard", style.Standard ? 1 : 0, 1);
}

void LoadCommon(TCustomRDInfo& style, const TReader& r, const QString& defName)
{
    style.StyleName = r.Str("StyleName", defName);
    style.BaseStyleNo = r.Int("BaseStyleNo", -1);
    style.Standard = r.Int("Standard", 1) != 0;
}

constexpr uint16_t StoredProtection = (1u << 10) - 1;  // rdprStyleProtect .. rdprSticking2

struct TFlagKey {
    const char* Name;
    uint8_t Flag;
};
constexpr TFlagKey ParaOptionKeys[] = {{"NoWrap", rdpaoNoWrap},
                                       {"ReadOnly", rdpaoReadOnly},
                                       {"StyleProtect", rdpaoStyleProtect},
                                       {"DoNotWantReturns", rdpaoDoNotWantReturns},
                                       {"KeepLinesTogether", rdpaoKeepLinesTogether},
                                       {"KeepWithNext", rdpaoKeepWithNext}};
}  // namespace

void SaveToIni(const TCustomRDFontInfo& style, TIniFile& ini, const QString& section, const QString& pattern)
{
    TWriter w(ini, section, pattern);
    SaveCommon(style, w);
    w.Str("Name", style.FontName);
    w.Word("Jump", style.Jump);
    w.Int("Size", style.Size, 10);
    w.Int("Color", static_cast<int>(style.Color), static_cast<int>(clWindowText));
    w.Int("BackColor", static_cast<int>(style.BackColor), static_cast<int>(clNone));
    w.Int("HoverBackColor", static_cast<int>(style.HoverBackColor), static_cast<int>(clNone));
    w.Int("HoverColor", static_cast<int>(style.HoverColor), static_cast<int>(clNone));
    w.Bool("HoverUnderline", style.HoverEffects & rdheUnderline, false);
    w.Int("JumpCursor", style.JumpCursor, crJump);
    w.Int("Charset", style.Charset, DEFAULT_CHARSET);
    w.Int("CharScale", style.CharScale, 100);
    w.Int("CharSpacing", style.CharSpacing, 0);
    w.Int("BiDiMode", static_cast<int>(style.BiDiMode), 0);
    w.Bool("Bold", style.Style & fsBold, false);
    w.Bool("Underline", style.Style & fsUnderline, false);
    w.Bool("StrikeOut", style.Style & fsStrikeOut, false);
    w.Bool("Italic", style.Style & fsItalic, false);
    w.Bool("Overline", style.StyleEx & rdfsOverline, false);
    w.Bool("Caps", style.StyleEx & rdfsAllCaps, false);
    w.Int("Protection", style.Protection & StoredProtection, 0);
    w.Bool("RTFCode", style.Options & rdteoRTFCode, false);
    w.Bool("HTMLCode", style.Options & rdteoHTMLCode, false);
    w.Int("VShift", style.VShift, 0);
    w.Int("Script", static_cast<int>(style.SubSuperScriptType), 0);
    w.Int("UnderlineType", static_cast<int>(style.UnderlineType), 0);
    w.Int("UnderlineColor", static_cast<int>(style.UnderlineColor), static_cast<int>(clNone));
    w.Int("HoverUnderlineColor", static_cast<int>(style.HoverUnderlineColor), static_cast<int>(clNone));
    if (const auto* info = dynamic_cast<const TFontInfo*>(&style)) {
        w.Int("NextStyleNo", info->NextStyleNo, -1);
        w.Bool("Unicode", info->Unicode, false);
    }
}

void LoadFromIni(TCustomRDFontInfo& style, const TIniFile& ini, const QString& section, const QString& pattern,
                 bool defJump, int defJumpCursor)
{
    TReader r(ini, section, pattern);
    LoadCommon(style, r, QStringLiteral("Font Style"));
    style.FontName = r.Str("Name", QStringLiteral("Arial"));
    const QString jump = r.Str("Jump", QStringLiteral("?"));
    if (jump == QLatin1String("?")) {
        style.Jump = defJump;
        style.JumpCursor = static_cast<int16_t>(defJumpCursor);
    } else {
        style.Jump = jump.toUpper() == QLatin1String("YES");
        style.JumpCursor = static_cast<int16_t>(r.Int("JumpCursor", crJump));
    }
    style.Size = r.Int("Size", 10);
    style.Color = static_cast<TColor>(r.Int("Color", static_cast<int>(clWindowText)));
    style.BackColor = static_cast<TColor>(r.Int("BackColor", static_cast<int>(clNone)));
    style.HoverBackColor = static_cast<TColor>(r.Int("HoverBackColor", static_cast<int>(clNone)));
    style.HoverColor = static_cast<TColor>(r.Int("HoverColor", static_cast<int>(clNone)));
    style.HoverEffects = r.Bool("HoverUnderline", false) ? rdheUnderline : 0;
    style.Charset = static_cast<uint8_t>(r.Int("Charset", DEFAULT_CHARSET));
    style.CharScale = r.Int("CharScale", 100);
    style.CharSpacing = r.Int("CharSpacing", 0);
    style.BiDiMode = static_cast<TRDBiDiMode>(std::clamp(r.Int("BiDiMode", 0), 0, 2));
    style.Style = (r.Bool("Bold", false) ? fsBold : 0) | (r.Bool("Underline", false) ? fsUnderline : 0)
                  | (r.Bool("StrikeOut", false) ? fsStrikeOut : 0) | (r.Bool("Italic", false) ? fsItalic : 0);
    style.StyleEx = (r.Bool("Overline", false) ? rdfsOverline : 0) | (r.Bool("Caps", false) ? rdfsAllCaps : 0);
    style.Protection = static_cast<uint16_t>(r.Int("Protection", 0) & StoredProtection);
    style.Options = (r.Bool("RTFCode", false) ? rdteoRTFCode : 0) | (r.Bool("HTMLCode", false) ? rdteoHTMLCode : 0);
    if (r.Bool("SingleSymbols", false))
        style.Protection |= rdprStyleProtect | rdprDoNotAutoSwitch;
    style.VShift = r.Int("VShift", 0);
    style.SubSuperScriptType = static_cast<TRDSubSuperScriptType>(std::clamp(r.Int("Script", 0), 0, 2));
    style.UnderlineType = static_cast<TRDUnderlineType>(std::clamp(r.Int("UnderlineType", 0), 0, 12));
    style.UnderlineColor = static_cast<TColor>(r.Int("UnderlineColor", static_cast<int>(clNone)));
    style.HoverUnderlineColor = static_cast<TColor>(r.Int("HoverUnderlineColor", static_cast<int>(clNone)));
    if (auto* info = dynamic_cast<TFontInfo*>(&style)) {
        info->NextStyleNo = r.Int("NextStyleNo", -1);
        info->Unicode = r.Bool("Unicode", false);
    }
}

void SaveToIni(const TRDRect& rect, TIniFile& ini, const QString& section, const QString& pattern)
{
    TWriter w(ini, section, pattern);
    w.Int("Left", rect.Left, 0);
    w.Int("Right", rect.Right, 0);
    w.Int("Top", rect.Top, 0);
    w.Int("Bottom", rect.Bottom, 0);
}

void LoadFromIni(TRDRect& rect, const TIniFile& ini, const QString& section, const QString& pattern)
{
    TReader r(ini, section, pattern);
    rect.Left = r.Int("Left", 0);
    rect.Right = r.Int("Right", 0);
    rect.Top = r.Int("Top", 0);
    rect.Bottom = r.Int("Bottom", 0);
}

void SaveToIni(const TRDBooleanRect& rect, TIniFile& ini, const QString& section, const QString& pattern)
{
    TWriter w(ini, section, pattern);
    w.Bool("Left", rect.Left, true);
    w.Bool("Right", rect.Right, true);
    w.Bool("Top", rect.Top, true);
    w.Bool("Bottom", rect.Bottom, true);
}

void LoadFromIni(TRDBooleanRect& rect, const TIniFile& ini, const QString& section, const QString& pattern)
{
    TReader r(ini, section, pattern);
    rect.Left = r.Bool("Left", true);
    rect.Right = r.Bool("Right", true);
    rect.Top = r.Bool("Top", true);
    rect.Bottom = r.Bool("Bottom", true);
}

void SaveToIni(const TRDBorder& border, TIniFile& ini, const QString& section, const QString& pattern)
{
    TWriter w(ini, section, pattern);
    w.Int("Width", border.Width, 1);
    w.Int("Style", static_cast<int>(border.Style), 0);
    w.Int("Color", static_cast<int>(border.Color), static_cast<int>(clWindowText));
    w.Int("InternalWidth", border.InternalWidth, 1);
    SaveToIni(border.BorderOffsets, ini, section, Key(pattern, QStringLiteral("Offsets%s")));
    SaveToIni(border.VisibleBorders, ini, section, Key(pattern, QStringLiteral("Visible%s")));
}

void LoadFromIni(TRDBorder& border, const TIniFile& ini, const QString& section, const QString& pattern)
{
    TReader r(ini, section, pattern);
    border.Width = r.Int("Width", 1);
    border.Style = static_cast<TRDBorderStyle>(std::clamp(r.Int("Style", 0), 0, 5));
    border.Color = static_cast<TColor>(r.Int("Color", static_cast<int>(clWindowText)));
    border.InternalWidth = r.Int("InternalWidth", 1);
    LoadFromIni(border.BorderOffsets, ini, section, Key(pattern, QStringLiteral("Offsets%s")));
    LoadFromIni(border.VisibleBorders, ini, section, Key(pattern, QStringLiteral("Visible%s")));
}

void SaveToIni(const TRDBackgroundRect& back, TIniFile& ini, const QString& section, const QString& pattern)
{
    TWriter w(ini, section, pattern);
    w.Int("Color", static_cast<int>(back.Color), static_cast<int>(clNone));
    SaveToIni(back.BorderOffsets, ini, section, Key(pattern, QStringLiteral("Offsets%s")));
}

void LoadFromIni(TRDBackgroundRect& back, const TIniFile& ini, const QString& section, const QString& pattern)
{
    TReader r(ini, section, pattern);
    back.Color = static_cast<TColor>(r.Int("Color", static_cast<int>(clNone)));
    LoadFromIni(back.BorderOffsets, ini, section, Key(pattern, QStringLiteral("Offsets%s")));
}

void SaveToIni(const TRDTabInfos& tabs, TIniFile& ini, const QString& section, const QString& pattern)
{
    TWriter(ini, section, pattern).Int("TabCount", tabs.Count(), 0);
    for (int i = 0; i < tabs.Count(); ++i) {
        const TRDTabInfo& tab = *tabs.GetItem(i);
        TWriter w(ini, section, ItemPattern(pattern, "Tab", i));
        w.Int("Pos", tab.Position(), 0);
        w.Int("Align", static_cast<int>(tab.Align), 0);
        if (!tab.Leader.isEmpty())
            w.Str("Leader", tab.Leader);
    }
}

void LoadFromIni(TRDTabInfos& tabs, const TIniFile& ini, const QString& section, const QString& pattern)
{
    tabs.Clear();
    // The count comes from the file: more stops than a line could use are not made.
    const int count = std::min(TReader(ini, section, pattern).Int("TabCount", 0), MaxIniTabs);
    for (int i = 0; i < count; ++i) {
        const QString itemPattern = ItemPattern(pattern, "Tab", i);
        TReader r(ini, section, itemPattern);
        tabs.Add(r.Int("Pos", 0), static_cast<TRDTabAlign>(std::clamp(r.Int("Align", 0), 0, 2)), r.Str("Leader"));
    }
}

void SaveToIni(const TCustomRDParaInfo& style, TIniFile& ini, const QString& section, const QString& pattern)
{
    TWriter w(ini, section, pattern);
    SaveCommon(style, w);
    w.Int("SpaceBefore", style.SpaceBefore, 0);
    w.Int("SpaceAfter", style.SpaceAfter, 0);
    w.Int("LeftIndent", style.LeftIndent, 0);
    w.Int("RightIndent", style.RightIndent, 0);
    w.Int("FirstIndent", style.FirstIndent, 0);
    w.Int("LineSpacing", style.LineSpacing, 100);
    w.Int("LSType", static_cast<int>(style.LineSpacingType), 0);
    w.Int("Alignment", static_cast<int>(style.Alignment), 0);
    w.Int("BiDiMode", static_cast<int>(style.BiDiMode), 0);
    for (const TFlagKey& key : ParaOptionKeys)
        w.Bool(key.Name, style.Options & key.Flag, false);
    SaveToIni(style.Border, ini, section, Key(pattern, QStringLiteral("Border%s")));
    SaveToIni(style.Background, ini, section, Key(pattern, QStringLiteral("Background%s")));
    SaveToIni(style.Tabs, ini, section, Key(pattern, QStringLiteral("Tab%s")));
    if (const auto* info = dynamic_cast<const TParaInfo*>(&style)) {
        w.Int("NextParaNo", info->NextParaNo, -1);
        w.Int("DefStyleNo", info->DefStyleNo, -1);
    }
}

void LoadFromIni(TCustomRDParaInfo& style, const TIniFile& ini, const QString& section, const QString& pattern)
{
    TReader r(ini, section, pattern);
    LoadCommon(style, r, QStringLiteral("Paragraph Style"));
    style.SpaceBefore = r.Int("SpaceBefore", 0);
    style.SpaceAfter = r.Int("SpaceAfter", 0);
    style.LeftIndent = r.Int("LeftIndent", 0);
    style.RightIndent = r.Int("RightIndent", 0);
    style.FirstIndent = r.Int("FirstIndent", 0);
    style.LineSpacing = r.Int("LineSpacing", 100);
    style.LineSpacingType = static_cast<TRDLineSpacingType>(std::clamp(r.Int("LSType", 0), 0, 1));
    style.Alignment = static_cast<TRDAlignment>(std::clamp(r.Int("Alignment", 0), 0, 3));
    style.BiDiMode = static_cast<TRDBiDiMode>(std::clamp(r.Int("BiDiMode", 0), 0, 2));
    style.Options = 0;
    for (const TFlagKey& key : ParaOptionKeys)
        if (r.Bool(key.Name, false))
            style.Options |= key.Flag;
    LoadFromIni(style.Border, ini, section, Key(pattern, QStringLiteral("Border%s")));
    LoadFromIni(style.Background, ini, section, Key(pattern, QStringLiteral("Background%s")));
    LoadFromIni(style.Tabs, ini, section, Key(pattern, QStringLiteral("Tab%s")));
    if (auto* info = dynamic_cast<TParaInfo*>(&style)) {
        info->NextParaNo = r.Int("NextParaNo", -1);
        info->DefStyleNo = r.Int("DefStyleNo", -1);
    }
}

QString MarkerFontToString(const TRDMarkerFont& font)
{
    QString letters;
    if (font.Style & fsBold) letters += u'B';
    if (font.Style & fsItalic) letters += u'I';
    if (font.Style & fsUnderline) letters += u'U';
    if (font.Style & fsStrikeOut) letters += u'S';
    const auto name = ColorToIdent(font.Color);
    const QString color = name ? *name : QStringLiteral("$%1").arg(font.Color, 8, 16, QLatin1Char('0')).toUpper();
    // Joined, not substituted: a name may hold "%1" itself.
    const QChar comma = u',';
    return font.Name + comma + QString::number(-MulDiv(font.Size, 96, 72)) + comma + letters + comma + u'0' + comma
           + color + comma + QString::number(font.Charset);
}

void MarkerFontFromString(TRDMarkerFont& font, const QString& text)
{
    const QStringList fields = text.split(u',');
    auto number = [](const QString& s) {
        bool ok = false;
        const int n = s.trimmed().toInt(&ok);
        if (!ok)
            throw ERichDocError("'" + s + "' is not a valid integer value");
        return n;
    };
    if (fields.size() > 0)
        font.Name = fields[0];
    if (fields.size() > 1)
        font.Size = -MulDiv(number(fields[1]), 72, 96);
    if (fields.size() > 2) {
        font.Style = 0;
        for (QChar c : fields[2].toUpper()) {
            if (c == u'B') font.Style |= fsBold;
            else if (c == u'I') font.Style |= fsItalic;
            else if (c == u'U') font.Style |= fsUnderline;
            else if (c == u'S') font.Style |= fsStrikeOut;
        }
    }
    if (fields.size() > 3)
        number(fields[3]);  // the pitch: kept by the system font, not by the marker font
    if (fields.size() > 4) {
        const QString color = fields[4].trimmed();
        if (const auto named = IdentToColor(color))
            font.Color = *named;
        else if (color.startsWith(u'$')) {
            bool ok = false;
            font.Color = color.mid(1).toUInt(&ok, 16);
            if (!ok)
                throw ERichDocError("'" + color + "' is not a valid integer value");
        } else
            font.Color = static_cast<TColor>(number(color));
    }
    if (fields.size() > 5)
        font.Charset = static_cast<uint8_t>(number(fields[5]));
}

void SaveToIni(const TRDListLevel& level, TIniFile& ini, const QString& section, const QString& pattern)
{
    TWriter w(ini, section, pattern);
    w.Int("ListType", static_cast<int>(level.ListType), 0);
    w.Int("ImageIndex", level.ImageIndex, 0);
    w.Str("FormatString", QString::fromLatin1(level.FormatString));
    w.Int("LeftIndent", level.LeftIndent, 0);
    w.Int("FirstIndent", level.FirstIndent, 10);
    w.Int("MarkerIndent", level.MarkerIndent, 0);
    w.Int("MarkerAlignment", static_cast<int>(level.MarkerAlignment), 0);
    if (level.HasPicture()) {
        const TGraphic& graphic = *const_cast<TRDListLevel&>(level).Picture().Graphic();
        w.Str("GraphicClass", graphic.ClassName());
        QByteArray hex;
        RDFStringToHex(graphic.SaveToStream(), hex);
        w.Long("Picture", QString::fromLatin1(hex));
    }
    if (level.HasFont())
        w.Str("Font", MarkerFontToString(const_cast<TRDListLevel&>(level).Font()));
    w.Bool("Continuous", level.Options & rdloContinuous, true);
    w.Bool("LevelReset", level.Options & rdloLevelReset, true);
    if (!level.FormatStringW.isEmpty()) {
        QByteArray hex;
        RDFWideToHex(level.FormatStringW, hex);
        w.Str("FormatStringW", QString::fromLatin1(hex));
    }
}

void LoadFromIni(TRDListLevel& level, const TIniFile& ini, const QString& section, const QString& pattern)
{
    TReader r(ini, section, pattern);
    level.ListType = static_cast<TRDListType>(std::clamp(r.Int("ListType", 0), 0, 9));
    level.ImageIndex = r.Int("ImageIndex", 0);
    level.FormatString = r.Str("FormatString").toLatin1();
    level.LeftIndent = r.Int("LeftIndent", 0);
    level.FirstIndent = r.Int("FirstIndent", 10);
    level.MarkerIndent = r.Int("MarkerIndent", 0);
    level.MarkerAlignment = static_cast<TRDMarkerAlignment>(std::clamp(r.Int("MarkerAlignment", 0), 0, 2));
    level.SetPicture(nullptr);
    if (std::unique_ptr<TGraphic> graphic = CreateGraphicHook(r.Str("GraphicClass"))) {
        QByteArray bytes;
        if (RDFHexToString(r.Long("Picture").toLatin1(), bytes) && !bytes.isEmpty()) {
            graphic->LoadFromStream(bytes);
            TPicture picture;
            picture.SetGraphic(graphic.get());
            level.SetPicture(&picture);
        }
    }
    const QString font = r.Str("Font");
    if (font.isEmpty())
        level.SetFont(nullptr);
    else
        MarkerFontFromString(level.Font(), font);
    level.Options = (r.Bool("Continuous", true) ? rdloContinuous : 0) | (r.Bool("LevelReset", true) ? rdloLevelReset : 0);
    level.FormatStringW.clear();
    const QString wide = r.Str("FormatStringW");
    if (!wide.isEmpty() && !RDFHexToWide(wide.toLatin1(), level.FormatStringW))
        level.FormatStringW.clear();
}

void SaveToIni(const TRDListInfo& style, TIniFile& ini, const QString& section, const QString& pattern)
{
    TWriter w(ini, section, pattern);
    SaveCommon(style, w);
    w.Int("LevelsCount", static_cast<int>(style.Levels.size()), 0);
    TWriter literal(ini, section, QStringLiteral("%s"));
    literal.Bool("OneLevelPreview", style.OneLevelPreview, false);
    literal.Int("ListId", style.StoredListId(), 0);
    for (size_t i = 0; i < style.Levels.size(); ++i)
        SaveToIni(style.Levels[i], ini, section, ItemPattern(pattern, "Lvl", static_cast<int>(i)));
}

void LoadFromIni(TRDListInfo& style, const TIniFile& ini, const QString& section, const QString& pattern)
{
    TReader r(ini, section, pattern);
    LoadCommon(style, r, QStringLiteral("List Style"));
    TReader literal(ini, section, QStringLiteral("%s"));
    style.OneLevelPreview = literal.Bool("OneLevelPreview", false);
    style.SetListId(literal.Int("ListId", 0));
    // The count comes from the file: a level is there only when its
    // always-written format key is.
    const int count = r.Int("LevelsCount", 0);
    for (int i = 0; i < count; ++i) {
        if (!ini.ValueExists(section, Key(ItemPattern(pattern, "Lvl", i), QStringLiteral("FormatString"))))
            break;
        style.Levels.emplace_back();
        LoadFromIni(style.Levels.back(), ini, section, ItemPattern(pattern, "Lvl", i));
    }
}
