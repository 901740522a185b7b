#include "styles/RDStyleCSS.h"

#include "AnsiText.h"
#include "core/RDFStream.h"
#include "core/RDMarkup.h"
#include "core/RDStrUtils.h"

namespace {
class TDeclarations {
public:
    TDeclarations(TRDStream& stream, bool multiline) : FStream(stream), FMultiline(multiline) {}
    void Add(const QByteArray& name, const QByteArray& value)
    {
        RDFWrite(FStream, ' ' + name + ": " + value + ';');
        if (FMultiline)
            RDFWrite(FStream, "\r\n");
    }

private:
    TRDStream& FStream;
    bool FMultiline;
};

QByteArray Px(int n)
{
    return QByteArray::number(n) + "px";
}

QByteArray Direction(TRDBiDiMode mode)
{
    switch (mode) {
    case TRDBiDiMode::rdbdLeftToRight: return "ltr";
    case TRDBiDiMode::rdbdRightToLeft: return "rtl";
    default: return "inherit";
    }
}

int CssSize(const TCustomRDFontInfo& s)
{
    return s.SubSuperScriptType == TRDSubSuperScriptType::rdsssNormal ? s.Size : SubSuperScriptSize(s.Size);
}

QByteArray FontFamily(const TCustomRDFontInfo& s, bool utf8Names)
{
    if (s.FontName.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
        return "'Arial Unicode MS', 'Lucida Sans Unicode', 'Arial'";
    return '\'' + (utf8Names ? s.FontName.toUtf8() : StringToAnsi(s.FontName)) + '\'';
}

QByteArray VerticalAlign(const TCustomRDFontInfo& s)
{
    if (s.SubSuperScriptType == TRDSubSuperScriptType::rdsssSubscript)
        return "sub";
    if (s.SubSuperScriptType == TRDSubSuperScriptType::rdsssSuperScript)
        return "super";
    return s.VShift > 0 ? "super" : s.VShift < 0 ? "sub" : "";
}

bool PlainUnderline(const TCustomRDFontInfo& s)
{
    return s.UnderlineType == TRDUnderlineType::rdutNormal && s.UnderlineColor == clNone
           && s.HoverUnderlineColor == clNone;
}

bool Underlined(const TCustomRDFontInfo& s, bool hover)
{
    return (s.Style & fsUnderline) || (hover && (s.HoverEffects & rdheUnderline));
}

QByteArray TextDecoration(const TCustomRDFontInfo& s, bool hover)
{
    QByteArrayList parts;
    if (Underlined(s, hover) && PlainUnderline(s))
        parts << "underline";
    if (s.Style & fsStrikeOut)
        parts << "line-through";
    if (s.StyleEx & rdfsOverline)
        parts << "overline";
    return parts.isEmpty() ? QByteArray("none") : parts.join(' ');
}

QByteArray FancyUnderline(const TCustomRDFontInfo& s, bool hover)
{
    if (!Underlined(s, hover) || PlainUnderline(s))
        return {};
    const int w = s.Size <= 22 ? 1 : (s.Size - 23) / 15 + 2;
    QByteArray line;
    switch (s.UnderlineType) {
    case TRDUnderlineType::rdutNormal: line = "solid " + Px(w); break;
    case TRDUnderlineType::rdutThick: line = "solid " + Px(2 * w); break;
    case TRDUnderlineType::rdutDouble: line = "double"; break;
    case TRDUnderlineType::rdutDotted: line = "dotted " + Px(w); break;
    case TRDUnderlineType::rdutThickDotted: line = "dotted " + Px(2 * w); break;
    case TRDUnderlineType::rdutThickDashed:
    case TRDUnderlineType::rdutThickLongDashed:
    case TRDUnderlineType::rdutThickDashDotted:
    case TRDUnderlineType::rdutThickDashDotDotted: line = "dashed " + Px(2 * w); break;
    default: line = "dashed " + Px(w); break;
    }
    const TColor color = hover && s.HoverUnderlineColor != clNone ? s.HoverUnderlineColor : s.UnderlineColor;
    if (color != clNone)
        line += ' ' + ColorToHtml(color);
    return line;
}

bool BorderDrawn(const TRDBorder& b)
{
    return b.Style != TRDBorderStyle::rdbNone && b.Color != clNone;
}

int CssBorderWidth(const TRDBorder& b)
{
    switch (b.Style) {
    case TRDBorderStyle::rdbSingle: return b.Width;
    case TRDBorderStyle::rdbDouble: return b.Width + b.InternalWidth;
    case TRDBorderStyle::rdbTriple: return b.Width + 2 * b.InternalWidth;
    default: return 3 * b.Width / 2 + b.InternalWidth;
    }
}

TRDRect Padding(const TCustomRDParaInfo& s, bool withBackground)
{
    TRDRect p;
    if (BorderDrawn(s.Border))
        p = s.Border.BorderOffsets;
    if (withBackground && s.Background.Color != clNone) {
        p.Left = std::max(p.Left, s.Background.BorderOffsets.Left);
        p.Top = std::max(p.Top, s.Background.BorderOffsets.Top);
        p.Right = std::max(p.Right, s.Background.BorderOffsets.Right);
        p.Bottom = std::max(p.Bottom, s.Background.BorderOffsets.Bottom);
    }
    return p;
}

TRDRect Margins(const TCustomRDParaInfo& s, const TRDRect& p)
{
    TRDRect m;
    m.Top = s.SpaceBefore - p.Top;
    m.Right = s.RightIndent - p.Right;
    m.Bottom = s.SpaceAfter - p.Bottom;
    m.Left = s.LeftIndent - p.Left;
    return m;
}

QByteArray LineHeight(int spacing)
{
    return QByteArray::number(spacing / 100) + '.' + QByteArray::number(spacing % 100).rightJustified(2, '0');
}

QByteArray SheetName(const TRDStyle& sheet, const QString& name, bool utf8)
{
    return utf8 ? name.toUtf8() : QStringToAnsi(sheet.DefCodePage, name);
}
}  // namespace

void SaveCSSToStream(const TCustomRDFontInfo& s, TRDStream& stream, const TCustomRDFontInfo* b, bool multiline,
                     bool utf8Names)
{
    TDeclarations d(stream, multiline);
    if (!b || CssSize(s) != CssSize(*b))
        d.Add("font-size", QByteArray::number(CssSize(s)) + "pt");
    if ((!b && s.BiDiMode != TRDBiDiMode::rdbdUnspecified) || (b && s.BiDiMode != b->BiDiMode))
        d.Add("direction", Direction(s.BiDiMode));
    if (!b || s.FontName.compare(b->FontName, Qt::CaseInsensitive) != 0)
        d.Add("font-family", FontFamily(s, utf8Names));
    if (!b || (s.Style & fsItalic) != (b->Style & fsItalic))
        d.Add("font-style", (s.Style & fsItalic) ? "italic" : "normal");
    if (!b || (s.Style & fsBold) != (b->Style & fsBold))
        d.Add("font-weight", (s.Style & fsBold) ? "bold" : "normal");
    if (!b || s.Color != b->Color)
        d.Add("color", ColorToHtml(s.Color));
    if ((!b && s.CharSpacing != 0) || (b && s.CharSpacing != b->CharSpacing))
        d.Add("letter-spacing", Px(s.CharSpacing));
    const bool caps = s.StyleEx & rdfsAllCaps;
    const bool baseCaps = b && (b->StyleEx & rdfsAllCaps);
    if (caps && !baseCaps)
        d.Add("text-transform", "uppercase");
    else if (!caps && baseCaps)
        d.Add("text-transform", "none");
    if ((!b && (s.BackColor != clNone || !multiline)) || (b && s.BackColor != b->BackColor))
        d.Add("background-color", ColorToCss(s.BackColor));
    const QByteArray align = VerticalAlign(s);
    if ((!b && !align.isEmpty()) || (b && align != VerticalAlign(*b)))
        d.Add("vertical-align", align);
    const QByteArray decoration = TextDecoration(s, false);
    if (!b || decoration != TextDecoration(*b, false) || (s.Jump && decoration == "none"))
        d.Add("text-decoration", decoration);
    const QByteArray fancy = FancyUnderline(s, false);
    if ((!b && !fancy.isEmpty()) || (b && fancy != FancyUnderline(*b, false))) {
        RDFWrite(stream, " border-bottom: " + fancy + ';');
        if (multiline)
            RDFWrite(stream, "\r\n");
    }
}

void SaveCSSToStream(const TCustomRDParaInfo& s, TRDStream& stream, const TCustomRDParaInfo* b, bool multiline,
                     bool omitLeftAlignment, bool omitLeftIndents)
{
    static const char* const alignments[] = {"left", "right", "center", "justify"};
    TDeclarations d(stream, multiline);
    if ((!b && !(omitLeftAlignment && s.Alignment == TRDAlignment::rdaLeft)) || (b && s.Alignment != b->Alignment))
        d.Add("text-align", alignments[static_cast<int>(s.Alignment) & 3]);
    if ((!b && s.BiDiMode != TRDBiDiMode::rdbdUnspecified) || (b && s.BiDiMode != b->BiDiMode))
        d.Add("direction", Direction(s.BiDiMode));
    if (!omitLeftIndents && (!b || s.FirstIndent != b->FirstIndent))
        d.Add("text-indent", Px(s.FirstIndent));
    const bool percent = s.LineSpacingType == TRDLineSpacingType::rdlsPercent;
    if (!b) {
        if (percent && s.LineSpacing != 100)
            d.Add("line-height", LineHeight(s.LineSpacing));
    } else if (b->LineSpacingType == TRDLineSpacingType::rdlsPercent) {
        if (percent && s.LineSpacing != b->LineSpacing)
            d.Add("line-height", LineHeight(s.LineSpacing));
        else if (!percent && b->LineSpacing != 100)
            d.Add("line-height", "normal");
    }
    struct {
        uint8_t Flag;
        const char* Name;
        const char* On;
        const char* Off;
    } const options[] = {{rdpaoNoWrap, "white-space", "nowrap", "normal"},
                         {rdpaoKeepLinesTogether, "page-break-inside", "avoid", "auto"},
                         {rdpaoKeepWithNext, "page-break-after", "avoid", "auto"}};
    for (const auto& o : options) {
        if (s.Options & o.Flag)
            d.Add(o.Name, o.On);
        else if (b && (b->Options & o.Flag))
            d.Add(o.Name, o.Off);
    }
    if (BorderDrawn(s.Border)) {
        d.Add("border-color", ColorToHtml(s.Border.Color));
        d.Add("border-style", s.Border.Style == TRDBorderStyle::rdbSingle ? "solid" : "double");
        d.Add("border-width", Px(CssBorderWidth(s.Border)));
        if (!s.Border.VisibleBorders.Top)
            d.Add("border-top", "none");
        if (!s.Border.VisibleBorders.Right)
            d.Add("border-right", "none");
        if (!s.Border.VisibleBorders.Bottom)
            d.Add("border-bottom", "none");
        if (!s.Border.VisibleBorders.Left)
            d.Add("border-left", "none");
    } else if (b && BorderDrawn(b->Border)) {
        d.Add("border", "none");
    }
    if ((!b && s.Background.Color != clNone) || (b && s.Background.Color != b->Background.Color))
        d.Add("background", ColorToCss(s.Background.Color));
    const TRDRect padding = Padding(s, true);
    const TRDRect basePadding = b ? Padding(*b, false) : TRDRect();
    if (!b || !padding.IsEqual(basePadding))
        d.Add("padding", Px(padding.Top) + ' ' + Px(padding.Right) + ' ' + Px(padding.Bottom) + ' ' + Px(padding.Left));
    const TRDRect margins = Margins(s, padding);
    if (b && margins.IsEqual(Margins(*b, basePadding)))
        return;
    if (omitLeftIndents) {
        d.Add("margin-top", Px(margins.Top));
        d.Add("margin-right", Px(margins.Right));
        d.Add("margin-bottom", Px(margins.Bottom));
    } else {
        d.Add("margin", Px(margins.Top) + ' ' + Px(margins.Right) + ' ' + Px(margins.Bottom) + ' ' + Px(margins.Left));
    }
}

void SaveCSSToStream(const TRDStyle& sheet, TRDStream& stream, int options)
{
    const TFontInfos& texts = sheet.TextStyles();
    const TParaInfos& paras = sheet.ParaStyles();
    const bool utf8 = options & rdcssUtf8Names;
    const bool noDefaults = options & rdcssNoDefaults;
    const TFontInfo& style0 = *texts.TextStyleAt(0);
    RDFWriteLine(stream, "/* ========== Text Styles ========== */");
    RDFWriteLine(stream, "hr { color: " + ColorToHtml(style0.Color) + "}");
    const bool plainStyle0 = texts.Count() > 0 && !style0.Jump && style0.BackColor == clNone && !noDefaults;
    auto comment = [&](const TCustomRDInfo& s) {
        return s.Standard ? " /* " + SheetName(sheet, s.StyleName, utf8) + " */" : QByteArray();
    };
    for (int i = (options & rdcssSkipTextStyle0) ? 1 : 0; i < texts.Count(); ++i) {
        const TFontInfo& s = *texts[i];
        const QByteArray n = QByteArray::number(i);
        if (i == 0 && plainStyle0)
            RDFWriteLine(stream, "body, table" + comment(s));
        else if (s.Jump)
            RDFWriteLine(stream, "a.rdts" + n + ", span.rdts" + n + comment(s));
        else
            RDFWriteLine(stream, "span.rdts" + n + comment(s));
        const TFontInfo* base = nullptr;
        if ((options & rdcssUseBaseStyles) && s.BaseStyleNo >= 0 && s.BaseStyleNo < texts.Count())
            base = texts[s.BaseStyleNo];
        else if (i > 0 && plainStyle0)
            base = &style0;
        RDFWriteLine(stream, "{");
        SaveCSSToStream(s, stream, base, true, utf8);
        RDFWriteLine(stream, "}");
        const TColor hover = sheet.GetHoverColor(s.HoverColor);
        if (!s.Jump || (hover == clNone && s.HoverBackColor == clNone && s.HoverEffects == 0))
            continue;
        QByteArray rule = "a.rdts" + n + ":hover {";
        const bool plainBase = !base || !base->Jump;
        if ((plainBase && hover != clNone) || (base && sheet.GetHoverColor(base->HoverColor) != hover))
            rule += " color: " + ColorToHtml(hover) + ';';
        if ((plainBase && s.HoverBackColor != clNone) || (base && base->HoverBackColor != s.HoverBackColor))
            rule += " background-color: " + ColorToHtml(s.HoverBackColor) + ';';
        const QByteArray decoration = TextDecoration(s, true);
        if (((plainBase && (s.HoverEffects & rdheUnderline))
             || (base && (base->HoverEffects & rdheUnderline) != (s.HoverEffects & rdheUnderline)))
            && !decoration.isEmpty())
            rule += " text-decoration: " + decoration + ';';
        const QByteArray fancy = FancyUnderline(s, true);
        if (Underlined(s, true) && s.HoverUnderlineColor != clNone && !fancy.isEmpty())
            rule += " border-bottom: " + fancy + ';';
        RDFWriteLine(stream, rule + " }");
    }
    RDFWriteLine(stream, "/* ========== Para Styles ========== */");
    for (int i = 0; i < paras.Count(); ++i) {
        const TParaInfo& s = *paras[i];
        if (i > 0 || noDefaults)
            RDFWriteLine(stream, ".rdps" + QByteArray::number(i) + comment(s));
        else
            RDFWriteLine(stream, "p,ul,ol" + comment(s));
        const TParaInfo* base = nullptr;
        if ((options & rdcssUseBaseStyles) && s.BaseStyleNo >= 0) {
            if (s.BaseStyleNo < paras.Count())
                base = paras[s.BaseStyleNo];
        } else if (i > 0 && !noDefaults) {
            base = paras[0];
        }
        RDFWriteLine(stream, "{");
        SaveCSSToStream(s, stream, base, true, options & rdcssOmitLeftAlignment, false);
        RDFWriteLine(stream, "}");
    }
}

void SaveRTFToStream(const TCustomRDFontInfo& s, TRDStream& stream, int styleNo, double twipsPerPixel,
                     const TRDIntegerList& fontMap, const TRDColorList& colorList, const TCustomRDFontInfo* style0)
{
    static const char* const underlines[] = {"ul",        "ulth",       "uldb",      "uld",        "ulthd",
                                             "uldash",    "ulthdash",   "ulldash",   "ulthldash",  "uldashd",
                                             "ulthdashd", "uldashdd",   "ulthdashdd"};
    QByteArray out = "\\f" + QByteArray::number(fontMap.GetItem(styleNo));
    if (s.Style & fsBold)
        out += "\\b";
    if (s.Style & fsItalic)
        out += "\\i";
    if (s.Style & fsUnderline) {
        out += '\\' + QByteArray(underlines[static_cast<int>(s.UnderlineType) % 13]);
        if (s.UnderlineColor != clNone)
            out += "\\ulc" + QByteArray::number(colorList.IndexOf(static_cast<int32_t>(s.UnderlineColor)));
    }
    if (s.Style & fsStrikeOut)
        out += "\\strike";
    if (s.SubSuperScriptType == TRDSubSuperScriptType::rdsssSubscript)
        out += "\\sub";
    else if (s.SubSuperScriptType == TRDSubSuperScriptType::rdsssSuperScript)
        out += "\\super";
    if (s.VShift > 0)
        out += "\\up" + QByteArray::number(RoundHalfEven(s.VShift * s.Size / 50.0));
    else if (s.VShift < 0)
        out += "\\dn" + QByteArray::number(-RoundHalfEven(s.VShift * s.Size / 50.0));
    if (s.CharScale != 100)
        out += "\\charscalex" + QByteArray::number(s.CharScale);
    if (s.CharSpacing != 0)
        out += "\\expndtw" + QByteArray::number(RoundHalfEven(s.CharSpacing * twipsPerPixel));
    if (s.StyleEx & rdfsAllCaps)
        out += "\\caps";
    if (s.BiDiMode == TRDBiDiMode::rdbdLeftToRight)
        out += "\\ltrch";
    else if (s.BiDiMode == TRDBiDiMode::rdbdRightToLeft)
        out += "\\rtlch";
    const int language = LanguageOfCharset(s.Charset);
    if (s.Charset != DEFAULT_CHARSET && language != 0 && (!style0 || style0->Charset != s.Charset))
        out += "\\lang" + QByteArray::number(language);
    out += "\\fs" + QByteArray::number(2 * s.Size);
    if (s.BackColor != clNone)
        out += "\\chcbpat" + QByteArray::number(colorList.IndexOf(static_cast<int32_t>(s.BackColor)));
    if (s.Color != clWindowText)
        out += "\\cf" + QByteArray::number(colorList.IndexOf(static_cast<int32_t>(s.Color)));
    RDFWrite(stream, out);
}

QByteArray SaveRTFMarkerFont(const TRDMarkerFont& font, const TRDColorList& colorList, const TRDStyle* rdStyle,
                             const TRDRTFFontTable& fontTable)
{
    QByteArray s;
    const int fontNo = fontTable.Find(font.Name, font.Charset);
    if (fontNo >= 0)
        s += "\\f" + QByteArray::number(fontNo);
    if (font.Style & fsBold)
        s += "\\b";
    if (font.Style & fsItalic)
        s += "\\i";
    if (font.Style & fsUnderline)
        s += "\\ul";
    if (font.Style & fsStrikeOut)
        s += "\\strike";
    s += "\\fs" + QByteArray::number(font.Size * 2);
    const uint8_t charset0 = rdStyle && rdStyle->TextStyles().Count() > 0 ? rdStyle->TextStyles().TextStyleAt(0)->Charset
                                                                            : DEFAULT_CHARSET;
    if (font.Charset != DEFAULT_CHARSET && font.Charset != charset0)
        s += "\\lang" + QByteArray::number(LanguageOfCharset(font.Charset));
    if (font.Color != clWindowText && colorList.IndexOf(font.Color) >= 0)
        s += "\\cf" + QByteArray::number(colorList.IndexOf(font.Color));
    return s;
}
