// List markers as RTF, HTML and plain text.

#include "AnsiText.h"
#include "document/CRDData.h"
#include "items/RDMarkerItems.h"
#include "core/RDMarkup.h"
#include "styles/RDStyleMarkup.h"
#include "items/RDPictureItems.h"
#include "styles/RDStyleCSS.h"
#include "core/RDStrUtils.h"
#include "document/RDTextItems.h"

namespace {

bool FontNamed(const TRDListLevel& level, const char* name)
{
    return LevelFont(level).Name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

QByteArray Utf16Bytes(const QString& s)
{
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

// The image index a marker of an image kind shows.
int MarkerImageIndex(const TRDListLevel& level, int counter)
{
    return level.ImageIndex + (level.ListType == TRDListType::rdlstImageListCounter ? counter - 1 : 0);
}

// The location of the picture or image of a marker for HTML; empty when none.
QString MarkerImageLocation(const TRDListLevel& level, int counter, TCustomRDData* rdData, int itemNo,
                            TRDHTMLImageContext& context)
{
    QString location;
    bool doDefault = true;
    rdData->DoHTMLSaveImage(rdData, itemNo, context.Path, context.BackColor, location, doDefault);
    if (!doDefault)
        return location;
    if (level.ListType == TRDListType::rdlstPicture) {
        const TGraphic* graphic = LevelGraphic(level);
        return graphic ? SaveBulletImageForHTML(nullptr, 0, graphic, context, rdData) : QString();
    }
    const int index = MarkerImageIndex(level, counter);
    if (!level.ImageList || !level.ImageList->ValidIndex(index))
        return {};
    return SaveBulletImageForHTML(level.ImageList, index, nullptr, context, rdData);
}

}  // namespace

QByteArray SymbolMarkerToText(const QByteArray& s)
{
    QByteArray result = s;
    for (char& c : result) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 0xA7 && b <= 0xAA) || b == 0xB7 || b == 0xD7 || b == 0xE0)
            c = '*';
    }
    RDReplaceAll(result, "\xDB", "<=>");
    RDReplaceAll(result, "\xDC", "<=");
    RDReplaceAll(result, "\xDE", "=>");
    RDReplaceAll(result, "\xAB", "<->");
    RDReplaceAll(result, "\xAC", "<-");
    RDReplaceAll(result, "\xAE", "->");
    return result;
}

char16_t WingdingsBulletToUnicode(uint8_t b)
{
    if (b >= 128 && b <= 138)
        return b - 80;
    if (b >= 139 && b <= 149)
        return b - 91;
    if (b >= 169 && b <= 182)
        return 0x2605;
    if ((b >= 111 && b <= 114) || (b >= 120 && b <= 122) || b == 127 || b == 168 || b >= 253)
        return 0x25A1;
    if ((b >= 161 && b <= 163) || b == 109 || b == 166)
        return 0x25CB;
    if (b == 164 || b == 165 || (b >= 183 && b <= 194))
        return 0x25CE;
    switch (b) {
    case 40: return 0x260E;
    case 69: return 0x261C;
    case 70: return 0x261E;
    case 74: return 0x263A;
    case 82: return 0x263C;
    case 92: return 0x0950;
    case 107: return 0x0026;
    case 108: return 0x25CF;
    case 110: return 0x25A0;
    case 115: case 116: case 119: return 0x2666;
    case 117: case 118: return 0x25C6;
    case 158: return 0x00B7;
    case 160: case 167: return 0x25AA;
    case 213: case 215: case 219: case 223: case 231: case 239: return 0x25C4;
    case 214: case 216: case 220: case 224: case 232: case 240: return 0x25BA;
    case 217: case 221: case 225: case 233: case 241: return 0x25B2;
    case 218: case 222: case 226: case 234: case 242: return 0x25BC;
    case 249: case 250: return 0x25AB;
    default: return 0x2022;
    }
}

QByteArray TRDMarkerItemInfo::AsText(int, TCustomRDData* rdData, bool unicode, bool, const QString&,
                                     const QByteArray&) const
{
    const TRDListLevel* level = GetLevelInfo(rdData ? rdData->GetRDStyle() : Sheet());
    if (!level)
        return {};
    switch (level->ListType) {
    case TRDListType::rdlstPicture:
    case TRDListType::rdlstImageList:
    case TRDListType::rdlstImageListCounter:
        return unicode ? Utf16Bytes(QStringLiteral("* ")) : QByteArray("* ");
    case TRDListType::rdlstUnicodeBullet: {
        if (unicode)
            return Utf16Bytes(level->FormatStringW + u' ');
        // A character the code page lacks shows as "*", not as "?".
        QByteArray result;
        const QString& text = level->FormatStringW;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            const QString ch = text.mid(i, length);
            QByteArray converted = Utf16ToAnsi(CP_ACP, Utf16Bytes(ch));
            if (converted == "?" && ch != u"?")
                converted = "*";
            result += converted;
            i += length - 1;
        }
        return result + ' ';
    }
    default: {
        QByteArray text = FontNamed(*level, "Symbol") ? SymbolMarkerToText(DisplayString) : DisplayString;
        text += ' ';
        return unicode ? AnsiToUtf16(CP_ACP, text) : text;
    }
    }
}

void TRDMarkerItemInfo::FillRTFTables(TRDIntegerList& restartCounts, TCustomRDData* rdData) const
{
    const TRDListLevel* level = GetLevelInfo(rdData ? rdData->GetRDStyle() : Sheet());
    if (Reset && level && level->HasNumbering() && level->ListType != TRDListType::rdlstImageListCounter
        && ListNo < restartCounts.Count())
        restartCounts.SetItem(ListNo, restartCounts[ListNo] + 1);
}

QByteArray TRDMarkerItemInfo::SaveRTF(TCustomRDData* rdData, const TRDColorList& colors, const TRDRTFFontTable& fonts,
                                      const TRDIntegerList& listOverrides, TRDIntegerList& restartOverrides) const
{
    const TRDStyle* rdStyle = rdData->GetRDStyle();
    const TRDListLevel* level = GetLevelInfo(rdStyle);
    if (!level)
        return {};
    switch (level->ListType) {
    case TRDListType::rdlstPicture:
        return SavePictureToRTF(LevelGraphic(*level), 0, nullptr, rdData->GetRTFOptions(), 0, 15.0);
    case TRDListType::rdlstImageList:
    case TRDListType::rdlstImageListCounter:
        return SaveImageListImageToRTF(level->ImageList, MarkerImageIndex(*level, Counter), rdData->GetRTFOptions());
    default: break;
    }
    QByteArray s = "{\\listtext\\pard\\plain" + SaveRTFMarkerFont(LevelFont(*level), colors, rdStyle, fonts) + ' ';
    if (level->ListType == TRDListType::rdlstUnicodeBullet) {
        TRDMemoryStream memory;
        RtfWriteUnicodeText(memory, Utf16Bytes(level->FormatStringW), rdStyle ? rdStyle->DefCodePage : CP_ACP, false,
                            rdData->GetRTFOptions() & rdrtfDuplicateUnicode);
        s += memory.ToBytes();
    } else {
        s += RtfEscapeText(DisplayString, false, false);
    }
    int overrideNo = 0;
    if (Reset && level->HasNumbering()) {
        if (ListNo < restartOverrides.Count()) {
            restartOverrides.SetItem(ListNo, restartOverrides[ListNo] + 1);
            overrideNo = restartOverrides[ListNo];
        }
    } else if (ListNo < listOverrides.Count()) {
        overrideNo = listOverrides[ListNo];
    }
    return s + "\\tab}\\ls" + QByteArray::number(overrideNo) + "\\ilvl" + QByteArray::number(Level) + ' ';
}

QByteArray TRDMarkerItemInfo::SaveToHTML(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const
{
    const TRDStyle* rdStyle = rdData->GetRDStyle();
    const TRDListLevel* level = GetLevelInfo(rdStyle);
    const int options = context.SaveOptions;
    if (!(options & rdhsListMarkersAsText) || !level)
        return {};
    const int width = level->LeftIndent + level->FirstIndent - level->MarkerIndent;
    const bool widthStyle = context.CSS && level->MarkerIndent >= level->LeftIndent;
    switch (level->ListType) {
    case TRDListType::rdlstPicture:
    case TRDListType::rdlstImageList:
    case TRDListType::rdlstImageListCounter: {
        const QString location = MarkerImageLocation(*level, Counter, rdData, itemNo, context);
        if (location.isEmpty())
            return {};
        QByteArray attrs = (options & rdhsBorderZero) ? QByteArrayLiteral(" border=0 ") : QByteArrayLiteral(" ");
        if ((options & rdhsImageSizes) && !NoHtmlSize)
            attrs += "width=" + QByteArray::number(GetImageWidth(rdStyle)) + " height="
                     + QByteArray::number(GetImageHeight(rdStyle)) + ' ';
        QByteArray img = "<img" + attrs + "src=\"" + location.toUtf8() + '"' + HtmlEmptyTagEnd(options) + '>';
        if (level->ListType != TRDListType::rdlstPicture && widthStyle)
            img = "<span style=\"width:" + QByteArray::number(width) + "px\">" + img + "</span>";
        return img + "\r\n";
    }
    default: break;
    }
    const TRDMarkerFont& font = LevelFont(*level);
    const bool utf8 = options & rdhsUTF8;
    const TCustomRDFontInfo* base = rdStyle ? rdStyle->TextStyles().TextStyleAt(0) : nullptr;
    QByteArray s;
    if (context.CSS) {
        QByteArray css = MarkerFontToCss(font, true);
        if (utf8)
            css = AnsiToUtf8(CP_ACP, css);
        s = "<span style=\"" + css;
        if (level->MarkerIndent >= level->LeftIndent)
            s += " width: " + QByteArray::number(width) + "px;";
        s += "\">";
    } else if (base) {
        s = MakeHtmlMarkerFontOpenTags(font, *base, true, options);
    }
    if (level->ListType == TRDListType::rdlstUnicodeBullet) {
        s += UnicodeToHtmlEntities(Utf16Bytes(level->FormatStringW), false);
    } else if (FontNamed(*level, "Wingdings")) {
        for (char c : DisplayString)
            s += "&#" + QByteArray::number(WingdingsBulletToUnicode(static_cast<uint8_t>(c))) + ';';
    } else if (FontNamed(*level, "Symbol")) {
        s += SymbolToHtmlEntities(DisplayString);
    } else {
        s += DisplayString;
    }
    if (context.CSS)
        s += "</span>";
    else if (base)
        s += MakeHtmlMarkerFontCloseTags(font, *base, true);
    return s + "\r\n";
}

QByteArray TRDMarkerItemInfo::GetHTMLItemStyle(TCustomRDData* rdData, int itemNo, TRDHTMLImageContext& context) const
{
    const TRDStyle* rdStyle = rdData->GetRDStyle();
    const TRDListLevel* level = GetLevelInfo(rdStyle);
    if (!level)
        return {};
    QString style;
    if (level->ListType == TRDListType::rdlstPicture || level->ListType == TRDListType::rdlstImageList
        || level->ListType == TRDListType::rdlstImageListCounter) {
        const QString location = MarkerImageLocation(*level, Counter, rdData, itemNo, context);
        if (!location.isEmpty())
            AppendWithSeparator(style, QStringLiteral("list-style-image: url('%1')").arg(location), QStringLiteral("; "));
    }
    const TParaInfo* para = rdStyle ? rdStyle->ParaStyles().ParaStyleAt(ParaNo) : nullptr;
    const int paraLeft = para ? para->LeftIndent : 0;
    const int paraFirst = para ? para->FirstIndent : 0;
    if (paraLeft != 0)
        AppendWithSeparator(style, QStringLiteral("margin-left: 0"), QStringLiteral("; "));
    const int indent =
        level->MarkerIndent >= level->LeftIndent ? level->MarkerIndent - level->LeftIndent : level->FirstIndent;
    if (indent != paraFirst)
        AppendWithSeparator(style, QStringLiteral("text-indent: %1px").arg(indent), QStringLiteral("; "));
    if (style.isEmpty())
        return {};
    return " style=\"" + style.toUtf8() + '"';
}

QByteArray TRDMarkerItemInfo::WriteHTMLListLevels(int fromLevel, bool useCSS, const TRDStyle* rdStyle,
                                                  int toLevel) const
{
    QByteArray s;
    for (int i = fromLevel; i > toLevel; --i)
        if (const TRDListLevel* level = LevelAt(rdStyle, i))
            s += level->HTMLCloseTag();
    for (int i = fromLevel + 1; i <= toLevel; ++i)
        if (const TRDListLevel* level = LevelAt(rdStyle, i)) {
            const TRDListLevel* before = i > 0 ? LevelAt(rdStyle, i - 1) : nullptr;
            s += level->HTMLOpenTag(useCSS, before ? before->LeftIndent : 0);
        }
    if (fromLevel != toLevel)
        s += "\r\n";
    return s;
}

QByteArray TRDMarkerItemInfo::WriteHTMLListsAfter(const TRDMarkerItemInfo* prevMarker, bool useCSS,
                                                  const TRDStyle* rdStyle) const
{
    if (prevMarker && prevMarker->ListNo == ListNo)
        return prevMarker->WriteHTMLListLevels(prevMarker->Level, useCSS, rdStyle, Level);
    QByteArray s;
    if (prevMarker)
        s += prevMarker->WriteHTMLListLevels(prevMarker->Level, useCSS, rdStyle, -1);
    return s + WriteHTMLListLevels(-1, useCSS, rdStyle, Level);
}
