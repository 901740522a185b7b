#include "styles/RDStyleMarkup.h"

#include "AnsiText.h"
#include "core/RDMarkup.h"
#include "styles/RDListStyles.h"
#include "styles/RDTextStyles.h"

namespace {

const uint8_t StyleFlags[] = {fsBold, fsItalic, fsUnderline, fsStrikeOut};
const char* const OpenTags[] = {"<b>", "<i>", "<u>", "<s>"};
const char* const CloseTags[] = {"</b>", "</i>", "</u>", "</s>"};

// Closing tags of flags (strike-out first), then opening tags of others (bold first).
void CloseThenOpen(QByteArray& out, uint8_t close, uint8_t open)
{
    for (int i = 3; i >= 0; --i)
        if (close & StyleFlags[i])
            out.append(CloseTags[i]);
    for (int i = 0; i < 4; ++i)
        if (open & StyleFlags[i])
            out.append(OpenTags[i]);
}

const char* VerticalTag(const TCustomRDFontInfo& style, bool closing)
{
    bool sub = style.SubSuperScriptType == TRDSubSuperScriptType::rdsssSubscript;
    bool sup = style.SubSuperScriptType == TRDSubSuperScriptType::rdsssSuperScript;
    if (style.SubSuperScriptType == TRDSubSuperScriptType::rdsssNormal) {
        sub = style.VShift < 0;
        sup = style.VShift > 0;
    }
    if (sub)
        return closing ? "</sub>" : "<sub>";
    if (sup)
        return closing ? "</sup>" : "<sup>";
    return "";
}

QByteArray Quoted(const QString& s)
{
    return '"' + StringToAnsi(s) + '"';
}

}  // namespace

QByteArray MakeHtmlFontOpenTags(const TCustomRDFontInfo& style, const TCustomRDFontInfo* base, bool onlyDifferences,
                                int options)
{
    const bool all = !onlyDifferences || !base;
    QByteArray attributes;
    if (all || HtmlFontSize(style.Size) != HtmlFontSize(base->Size))
        attributes += " size=" + HtmlIntAttr(HtmlFontSize(style.Size), options);
    if (all || style.Color != base->Color)
        attributes += " color=" + ColorToHtml(style.Color, true);
    if (all || style.FontName.compare(base->FontName, Qt::CaseInsensitive) != 0)
        attributes += " face=" + Quoted(style.FontName);
    QByteArray out;
    if (!attributes.isEmpty())
        out = "<font" + attributes + '>';
    if (all)
        CloseThenOpen(out, 0, style.Style);
    else
        CloseThenOpen(out, base->Style & ~style.Style, style.Style & ~base->Style);
    out.append(VerticalTag(style, false));
    return out;
}

QByteArray MakeHtmlFontCloseTags(const TCustomRDFontInfo& style, const TCustomRDFontInfo* base, bool onlyDifferences)
{
    const bool all = !onlyDifferences || !base;
    QByteArray out = VerticalTag(style, true);
    if (all)
        CloseThenOpen(out, style.Style, 0);
    else
        CloseThenOpen(out, style.Style & ~base->Style, base->Style & ~style.Style);
    if (all || HtmlFontSize(style.Size) != HtmlFontSize(base->Size) || style.Color != base->Color
        || style.FontName.compare(base->FontName, Qt::CaseInsensitive) != 0)
        out.append("</font>");
    return out;
}

QByteArray MakeHtmlMarkerFontOpenTags(const TRDMarkerFont& font, const TCustomRDFontInfo& base, bool withFace,
                                      int options)
{
    QByteArray attributes;
    if (font.Size != base.Size)
        attributes += " size=" + HtmlIntAttr(HtmlFontSize(font.Size), options);
    if (font.Color != base.Color)
        attributes += " color=" + ColorToHtml(font.Color, true);
    if (withFace && font.Name.compare(base.FontName, Qt::CaseInsensitive) != 0)
        attributes += " face=" + Quoted(font.Name);
    QByteArray out;
    if (!attributes.isEmpty())
        out = "<font" + attributes + '>';
    CloseThenOpen(out, base.Style & ~font.Style, font.Style & ~base.Style);
    return out;
}

QByteArray MakeHtmlMarkerFontCloseTags(const TRDMarkerFont& font, const TCustomRDFontInfo& base, bool withFace)
{
    QByteArray out;
    CloseThenOpen(out, font.Style & ~base.Style, base.Style & ~font.Style);
    if (font.Size != base.Size || font.Color != base.Color
        || (withFace && font.Name.compare(base.FontName, Qt::CaseInsensitive) != 0))
        out.append("</font>");
    return out;
}

QByteArray MarkerFontToCss(const TRDMarkerFont& font, bool withFamily)
{
    QByteArrayList parts;
    if (font.Style & fsBold)
        parts << "font-weight: bold;";
    if (font.Style & fsItalic)
        parts << "font-style: italic;";
    if (font.Size < 1)
        parts << "font-size: " + QByteArray::number(-font.Size * 96 / 72) + "px;";
    else
        parts << "font-size: " + QByteArray::number(font.Size) + "pt;";
    if (withFamily) {
        if (font.Name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0
            || font.Name.compare(QLatin1String("Wingdings"), Qt::CaseInsensitive) == 0)
            parts << "font-family: 'Arial Unicode MS', 'Lucida Sans Unicode', 'Arial';";
        else
            parts << "font-family: '" + StringToAnsi(font.Name) + "';";
    }
    QByteArray text = parts.join(' ');
    QByteArrayList decorations;
    if (font.Style & fsUnderline)
        decorations << "underline";
    if (font.Style & fsStrikeOut)
        decorations << "line-through";
    if (!decorations.isEmpty())
        text += " text-decoration: " + decorations.join(' ') + ';';
    text += " color: " + ColorToHtml(font.Color) + ';';
    return text;
}
