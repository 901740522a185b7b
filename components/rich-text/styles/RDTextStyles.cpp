#include "styles/RDTextStyles.h"

#include <cmath>
#include <cstdlib>

#include "core/RDGraphUtils.h"
#include "core/RDUnicode.h"

void TCustomRDInfo::AssignCommon(const TCustomRDInfo& source)
{
    StyleName = source.StyleName;
    BaseStyleNo = source.BaseStyleNo;
    Standard = source.Standard;
    StyleTemplateId = source.StyleTemplateId;
}

TCustomRDFontInfo::TCustomRDFontInfo(const TRDInfoOwner* owner) : TCustomRDInfo(owner)
{
    StyleName = QStringLiteral("Font Style");
}

void TCustomRDFontInfo::Assign(const TCustomRDFontInfo& source)
{
    BiDiMode = source.BiDiMode;
    Jump = source.Jump;
    JumpCursor = source.JumpCursor;
    FontName = source.FontName;
    Size = source.Size;
    Color = source.Color;
    BackColor = source.BackColor;
    HoverColor = source.HoverColor;
    HoverBackColor = source.HoverBackColor;
    UnderlineColor = source.UnderlineColor;
    HoverUnderlineColor = source.HoverUnderlineColor;
    UnderlineType = source.UnderlineType;
    HoverEffects = source.HoverEffects;
    Style = source.Style;
    StyleEx = source.StyleEx;
    VShift = source.VShift;
    Charset = source.Charset;
    Protection = source.Protection;
    Options = source.Options;
    CharScale = source.CharScale;
    CharSpacing = source.CharSpacing;
    SubSuperScriptType = source.SubSuperScriptType;
    AssignCommon(source);
}

void TCustomRDFontInfo::AssignFont(const TFont& font)
{
    FontName = font.Name;
    Size = font.Size;
    Color = font.Color;
    Style = (font.Bold ? fsBold : 0) | (font.Italic ? fsItalic : 0) | (font.Underline ? fsUnderline : 0)
            | (font.StrikeOut ? fsStrikeOut : 0);
    Charset = font.Charset;
}

void TCustomRDFontInfo::AssignToFont(TFont& font) const
{
    font.Name = FontName;
    font.Size = Size;
    font.Color = Color;
    font.Bold = Style & fsBold;
    font.Italic = Style & fsItalic;
    font.Underline = Style & fsUnderline;
    font.StrikeOut = Style & fsStrikeOut;
    font.Charset = Charset;
}

namespace {

template <typename T>
void CopyFlag(T& target, T source, T flag)
{
    target = static_cast<T>((target & ~flag) | (source & flag));
}

bool FlagEqual(unsigned a, unsigned b, unsigned flag)
{
    return (a & flag) == (b & flag);
}

}  // namespace

void TCustomRDFontInfo::AssignProperties(const TCustomRDFontInfo& source, TRDFontInfoProperties props)
{
    auto has = [props](TRDFontInfoProperty p) { return (props & FontProp(p)) != 0; };
    if (has(rdfiFontName)) FontName = source.FontName;
    if (has(rdfiSize)) Size = source.Size;
    if (has(rdfiCharset)) Charset = source.Charset;
    if (has(rdfiBold)) CopyFlag<uint8_t>(Style, source.Style, fsBold);
    if (has(rdfiItalic)) CopyFlag<uint8_t>(Style, source.Style, fsItalic);
    if (has(rdfiUnderline)) CopyFlag<uint8_t>(Style, source.Style, fsUnderline);
    if (has(rdfiStrikeout)) CopyFlag<uint8_t>(Style, source.Style, fsStrikeOut);
    if (has(rdfiOverline)) CopyFlag<uint8_t>(StyleEx, source.StyleEx, rdfsOverline);
    if (has(rdfiAllCaps)) CopyFlag<uint8_t>(StyleEx, source.StyleEx, rdfsAllCaps);
    if (has(rdfiVShift)) VShift = source.VShift;
    if (has(rdfiColor)) Color = source.Color;
    if (has(rdfiBackColor)) BackColor = source.BackColor;
    if (has(rdfiJump)) Jump = source.Jump;
    if (has(rdfiHoverBackColor)) HoverBackColor = source.HoverBackColor;
    if (has(rdfiHoverColor)) HoverColor = source.HoverColor;
    if (has(rdfiHoverUnderline)) CopyFlag<uint8_t>(HoverEffects, source.HoverEffects, rdheUnderline);
    if (has(rdfiJumpCursor)) JumpCursor = source.JumpCursor;
    if (has(rdfiProtection)) Protection = source.Protection;
    if (has(rdfiCharScale)) CharScale = source.CharScale;
    if (has(rdfiBiDiMode)) BiDiMode = source.BiDiMode;
    if (has(rdfiCharSpacing)) CharSpacing = source.CharSpacing;
    if (has(rdfiSubSuperScriptType)) SubSuperScriptType = source.SubSuperScriptType;
    if (has(rdfiUnderlineType)) UnderlineType = source.UnderlineType;
    if (has(rdfiUnderlineColor)) UnderlineColor = source.UnderlineColor;
    if (has(rdfiHoverUnderlineColor)) HoverUnderlineColor = source.HoverUnderlineColor;
    if (has(rdfiHTMLCode)) CopyFlag<uint8_t>(Options, source.Options, rdteoHTMLCode);
    if (has(rdfiRTFCode)) CopyFlag<uint8_t>(Options, source.Options, rdteoRTFCode);
}

bool TCustomRDFontInfo::IsSameStyle(const TCustomRDFontInfo& v, bool) const
{
    if (!(Size == v.Size && Charset == v.Charset && Style == v.Style && StyleEx == v.StyleEx
          && FontName.compare(v.FontName, Qt::CaseInsensitive) == 0 && VShift == v.VShift && Color == v.Color
          && BackColor == v.BackColor && Jump == v.Jump))
        return false;
    if (Jump && !(HoverColor == v.HoverColor && HoverEffects == v.HoverEffects && HoverBackColor == v.HoverBackColor
                  && HoverUnderlineColor == v.HoverUnderlineColor && JumpCursor == v.JumpCursor))
        return false;
    if (!(Protection == v.Protection && Options == v.Options && CharScale == v.CharScale
          && CharSpacing == v.CharSpacing && BiDiMode == v.BiDiMode && SubSuperScriptType == v.SubSuperScriptType
          && UnderlineType == v.UnderlineType && UnderlineColor == v.UnderlineColor))
        return false;
    return !CompareStyleNames() || StyleName == v.StyleName;
}

bool TCustomRDFontInfo::IsEqualExcept(const TCustomRDFontInfo& v, TRDFontInfoProperties ignore) const
{
    auto check = [ignore](TRDFontInfoProperty p) { return (ignore & FontProp(p)) == 0; };
    const bool equal =
        (!check(rdfiSize) || Size == v.Size) && (!check(rdfiCharset) || Charset == v.Charset)
        && (!check(rdfiBold) || FlagEqual(Style, v.Style, fsBold))
        && (!check(rdfiItalic) || FlagEqual(Style, v.Style, fsItalic))
        && (!check(rdfiUnderline) || FlagEqual(Style, v.Style, fsUnderline))
        && (!check(rdfiStrikeout) || FlagEqual(Style, v.Style, fsStrikeOut))
        && (!check(rdfiOverline) || FlagEqual(StyleEx, v.StyleEx, rdfsOverline))
        && (!check(rdfiAllCaps) || FlagEqual(StyleEx, v.StyleEx, rdfsAllCaps))
        && (!check(rdfiFontName) || FontName.compare(v.FontName, Qt::CaseInsensitive) == 0)
        && (!check(rdfiVShift) || VShift == v.VShift) && (!check(rdfiColor) || Color == v.Color)
        && (!check(rdfiBackColor) || BackColor == v.BackColor) && (!check(rdfiJump) || Jump == v.Jump)
        && (!Jump
            || ((!check(rdfiHoverColor) || HoverColor == v.HoverColor)
                && (!check(rdfiHoverBackColor) || HoverBackColor == v.HoverBackColor)
                && (!check(rdfiHoverUnderline) || FlagEqual(HoverEffects, v.HoverEffects, rdheUnderline))
                && (!check(rdfiJumpCursor) || JumpCursor == v.JumpCursor)))
        && (!check(rdfiProtection) || Protection == v.Protection)
        && (!check(rdfiHTMLCode) || FlagEqual(Options, v.Options, rdteoHTMLCode))
        && (!check(rdfiRTFCode) || FlagEqual(Options, v.Options, rdteoRTFCode))
        && (!check(rdfiCharScale) || CharScale == v.CharScale)
        && (!check(rdfiCharSpacing) || CharSpacing == v.CharSpacing)
        && (!check(rdfiBiDiMode) || BiDiMode == v.BiDiMode)
        && (!check(rdfiSubSuperScriptType) || SubSuperScriptType == v.SubSuperScriptType)
        && (!check(rdfiUnderlineType) || UnderlineType == v.UnderlineType)
        && (!check(rdfiUnderlineColor) || UnderlineColor == v.UnderlineColor)
        && (!check(rdfiHoverUnderlineColor) || HoverUnderlineColor == v.HoverUnderlineColor)
        && (!check(rdfiBaseStyleNo) || BaseStyleNo == v.BaseStyleNo);
    return equal && (!CompareStyleNames() || StyleName == v.StyleName);
}

int TCustomRDFontInfo::StyleLikeness(const TCustomRDInfo& value) const
{
    const auto* vp = dynamic_cast<const TCustomRDFontInfo*>(&value);
    if (!vp)
        return 0;
    const TCustomRDFontInfo& v = *vp;
    int score = ValueLikeness(v.Size, Size, 10000) + ValueLikeness(v.VShift, VShift, 1000)
                + ValueLikeness(v.CharScale, CharScale, 300) + ValueLikeness(v.CharSpacing, CharSpacing, 1000)
                + ColorLikeness(v.Color, Color, 3333, 3000) + ColorLikeness(v.BackColor, BackColor, 10000, 50000);
    if (BiDiMode == v.BiDiMode) score += 10000;
    if (SubSuperScriptType == v.SubSuperScriptType) score += 50000;
    if (FontName.compare(v.FontName, Qt::CaseInsensitive) == 0) score += 10000;
    for (uint8_t flag : {fsBold, fsItalic, fsUnderline, fsStrikeOut})
        if (FlagEqual(Style, v.Style, flag)) score += 50000;
    for (uint8_t flag : {rdfsOverline, rdfsAllCaps})
        if (FlagEqual(StyleEx, v.StyleEx, flag)) score += 50000;
    const bool plain = Style == 0 && StyleEx == 0;
    const bool vPlain = v.Style == 0 && v.StyleEx == 0;
    if (plain == vPlain) score += 50000;
    if (Jump && v.Jump) {
        if (FlagEqual(HoverEffects, v.HoverEffects, rdheUnderline)) score += 10000;
        if (JumpCursor == v.JumpCursor) score += 5000;
        score += ColorLikeness(v.HoverColor, HoverColor, 3333, 3000) / 2;
        score += ColorLikeness(v.HoverBackColor, HoverBackColor, 10000, 50000) / 2;
    }
    if (Protection != v.Protection) score -= 100000;
    for (uint8_t flag : {rdteoHTMLCode, rdteoRTFCode})
        if (FlagEqual(Options, v.Options, flag)) score += 50000;
    if (Charset == v.Charset)
        score += 50000;
    else if (Charset == DEFAULT_CHARSET || v.Charset == DEFAULT_CHARSET)
        score += 12500;
    return score;
}

void TCustomRDFontInfo::ReadSingleSymbols(bool value)
{
    if (value)
        Protection |= rdprStyleProtect | rdprDoNotAutoSwitch;
}

int TCustomRDFontInfo::GetSubSuperScriptHeight(int fontHeight) const
{
    if (SubSuperScriptType == TRDSubSuperScriptType::rdsssNormal)
        return 0;
    return RoundHalfEven(std::abs(fontHeight) * 2.0 / 3.0);
}

QFont TCustomRDFontInfo::MakeFont(TRDBiDiMode defBiDiMode, bool useFontPixelsPerInch, bool ignoreSubSuperScript) const
{
    QFont font(MapFontName(FontName));
    const int ppi = (useFontPixelsPerInch && Owner() && Owner()->FontPixelsPerInch != 0)
                        ? Owner()->FontPixelsPerInch
                        : GetScreenPixelsPerInch();
    int height = std::abs(MulDiv(Size, ppi, 72));
    if (!ignoreSubSuperScript && SubSuperScriptType != TRDSubSuperScriptType::rdsssNormal)
        height = GetSubSuperScriptHeight(height);
    font.setPixelSize(std::max(height, 1));
    font.setBold(Style & fsBold);
    font.setItalic(Style & fsItalic);
    font.setUnderline(Style & fsUnderline);
    font.setStrikeOut(Style & fsStrikeOut);
    font.setKerning(false);
    if (CharScale != 100 && CharScale > 0)
        font.setStretch(std::clamp(CharScale, 1, 4000));
    const TRDBiDiMode mode = BiDiMode == TRDBiDiMode::rdbdUnspecified ? defBiDiMode : BiDiMode;
    if (mode == TRDBiDiMode::rdbdUnspecified && CharSpacing != 0)
        font.setLetterSpacing(QFont::AbsoluteSpacing, CharSpacing);
    return font;
}

TFontInfo::TFontInfo(const TRDInfoOwner* owner) : TCustomRDFontInfo(owner) {}

void TFontInfo::Assign(const TCustomRDFontInfo& source)
{
    if (const auto* info = dynamic_cast<const TFontInfo*>(&source)) {
        NextStyleNo = info->NextStyleNo;
        Unicode = info->Unicode;
        ModifiedProperties = info->ModifiedProperties;
    }
    TCustomRDFontInfo::Assign(source);
}

bool TFontInfo::IsSameStyle(const TCustomRDFontInfo& value, bool ignoreReferences) const
{
    if (!TCustomRDFontInfo::IsSameStyle(value, ignoreReferences))
        return false;
    const auto* v = dynamic_cast<const TFontInfo*>(&value);
    if (!v)
        return true;
    return Unicode == v->Unicode && ModifiedProperties == v->ModifiedProperties
           && StyleTemplateId == v->StyleTemplateId && (ignoreReferences || NextStyleNo == v->NextStyleNo);
}

bool TFontInfo::IsSameStyleMapped(TFontInfo& value, const TRDIntegerList& mapping) const
{
    if (!IsSameStyle(value, true))
        return false;
    if (value.NextStyleNo < 0)
        return true;
    if (value.NextStyleNo >= mapping.Count()) {
        value.NextStyleNo = -1;
        return true;
    }
    return mapping[value.NextStyleNo] == NextStyleNo;
}

bool TFontInfo::IsEqualExcept(const TCustomRDFontInfo& value, TRDFontInfoProperties ignoreProps) const
{
    if (!TCustomRDFontInfo::IsEqualExcept(value, ignoreProps))
        return false;
    const auto* v = dynamic_cast<const TFontInfo*>(&value);
    if (!v)
        return true;
    return ((ignoreProps & FontProp(rdfiUnicode)) || Unicode == v->Unicode)
           && ((ignoreProps & FontProp(rdfiNextStyleNo)) || NextStyleNo == v->NextStyleNo)
           && StyleTemplateId == v->StyleTemplateId && ModifiedProperties == v->ModifiedProperties;
}

void GetDisplayText(const QByteArray& text, const TCustomRDFontInfo& textStyle, bool lastAtLineEnd,
                    QByteArray& result, bool removeZeroWidth, bool showSpecialCharacters)
{
    if (!(VisibleSpecialCharacters & 8))
        showSpecialCharacters = false;
    const auto* fontInfo = dynamic_cast<const TFontInfo*>(&textStyle);
    const bool unicode = fontInfo && fontInfo->Unicode;
    if (textStyle.StyleEx & rdfsAllCaps)
        result = unicode ? (PlatformIsNT ? Utf16UpperCase(text) : text)
                         : AnsiUpperCase(CodePageOfCharset(textStyle.Charset), text);
    else
        result = text;
    if (!unicode)
        return;
    qsizetype units = result.size() / 2;
    if (lastAtLineEnd && !showSpecialCharacters)
        --units;
    for (qsizetype i = 0; i < units; ++i) {
        if (static_cast<unsigned char>(result.at(2 * i)) == 0xAD && result.at(2 * i + 1) == 0) {
            const char16_t shown = showSpecialCharacters ? 0x00AC : 0x200B;
            result[2 * i] = static_cast<char>(shown & 0xFF);
            result[2 * i + 1] = static_cast<char>(shown >> 8);
        }
    }
    if (!removeZeroWidth)
        return;
    for (qsizetype i = result.size() / 2 - 1; i >= 0; --i) {
        const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(result.at(2 * i))
                                                    | (static_cast<unsigned char>(result.at(2 * i + 1)) << 8));
        if (unit == 0x200B || unit == 0x200D || unit == 0x2060)
            result.remove(2 * i, 2);
    }
}
