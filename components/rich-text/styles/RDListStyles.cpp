#include "styles/RDListStyles.h"

#include <algorithm>

#include <QtCore/QRandomGenerator>

bool TRDMarkerFont::IsDefault() const
{
    return Size == 8 && Color == clWindowText && Charset == DEFAULT_CHARSET && Style == 0
           && Name.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0;
}

bool TRDMarkerFont::IsEqual(const TRDMarkerFont& v) const
{
    return Size == v.Size && Style == v.Style && Color == v.Color && Charset == v.Charset
           && Name.compare(v.Name, Qt::CaseInsensitive) == 0;
}

void TRDListLevel::Assign(const TRDListLevel& s)
{
    if (this == &s)
        return;
    ListType = s.ListType;
    StartFrom = s.StartFrom;
    ImageList = s.ImageList;
    ImageIndex = s.ImageIndex;
    FormatString = s.FormatString;
    FormatStringW = s.FormatStringW;
    LeftIndent = s.LeftIndent;
    FirstIndent = s.FirstIndent;
    MarkerIndent = s.MarkerIndent;
    MarkerAlignment = s.MarkerAlignment;
    SetPicture(s.FPicture.get());
    SetFont(s.FFont.get());
    Options = s.Options;
}

TPicture& TRDListLevel::Picture()
{
    if (!FPicture)
        FPicture = std::make_unique<TPicture>();
    return *FPicture;
}

void TRDListLevel::SetPicture(const TPicture* picture)
{
    if (picture == FPicture.get())
        return;
    if (!picture || !picture->HasGraphic()) {
        FPicture.reset();
        return;
    }
    Picture().Assign(*picture);
    FPicture->Graphic()->SetTransparent(true);
}

bool TRDListLevel::PicturesEqual(const TRDListLevel& v) const
{
    const bool own = HasPicture();
    const bool other = v.HasPicture();
    if (!own || !other)
        return own == other;
    const TGraphic& a = *FPicture->Graphic();
    const TGraphic& b = *v.FPicture->Graphic();
    return a.Width() == b.Width() && a.Height() == b.Height() && a.SaveToStream() == b.SaveToStream();
}

TRDMarkerFont& TRDListLevel::Font()
{
    if (!FFont)
        FFont = std::make_unique<TRDMarkerFont>();
    return *FFont;
}

void TRDListLevel::SetFont(const TRDMarkerFont* font)
{
    if (font == FFont.get())
        return;
    if (!font)
        FFont.reset();
    else
        Font() = *font;
}

bool TRDListLevel::UsesMarkerFont() const
{
    return ListType == TRDListType::rdlstBullet || ListType == TRDListType::rdlstUnicodeBullet || HasTextNumbering();
}

bool TRDListLevel::HasNumbering() const
{
    return ListType >= TRDListType::rdlstDecimal && ListType <= TRDListType::rdlstImageListCounter;
}

bool TRDListLevel::HasTextNumbering() const
{
    return ListType >= TRDListType::rdlstDecimal && ListType <= TRDListType::rdlstUpperRoman;
}

QString TRDListLevel::GetDisplayName() const
{
    static const char* const names[] = {"bullet",   "pic",      "image-list", "1,2,3",              "a,b,c",
                                        "A,B,C",    "i,ii,iii", "I,II,III",   "image-list counter", "unicode bullet"};
    return QStringLiteral("%1 %2/%3/%4")
        .arg(QLatin1String(names[static_cast<int>(ListType) % 10]))
        .arg(LeftIndent)
        .arg(MarkerIndent)
        .arg(FirstIndent);
}

bool TRDListLevel::FontsEqual(const TRDListLevel& v) const
{
    const bool ownDefault = !FFont || FFont->IsDefault();
    const bool otherDefault = !v.FFont || v.FFont->IsDefault();
    if (ownDefault && otherDefault)
        return true;
    return FFont && v.FFont && FFont->IsEqual(*v.FFont);
}

bool TRDListLevel::IsEqual(const TRDListLevel& v) const
{
    return ListType == v.ListType && StartFrom == v.StartFrom && ImageList == v.ImageList
           && ImageIndex == v.ImageIndex
           && FormatString == v.FormatString && FormatStringW == v.FormatStringW && LeftIndent == v.LeftIndent
           && FirstIndent == v.FirstIndent && MarkerIndent == v.MarkerIndent && MarkerAlignment == v.MarkerAlignment
           && FontsEqual(v) && Options == v.Options && PicturesEqual(v);
}

int TRDListLevel::Likeness(const TRDListLevel& v) const
{
    int score = ListType == v.ListType ? 5000 : 0;
    score += (StartFrom == v.StartFrom) * 100 + (ImageList == v.ImageList) * 100 + (ImageIndex == v.ImageIndex) * 100
             + (FormatString == v.FormatString) * 100 + (FormatStringW == v.FormatStringW) * 100
             + (LeftIndent == v.LeftIndent) * 100 + (MarkerIndent == v.MarkerIndent) * 100
             + (MarkerAlignment == v.MarkerAlignment) * 100 + (Options == v.Options) * 100
             + (FirstIndent == v.FirstIndent) * 200 + FontsEqual(v) * 100 + PicturesEqual(v) * 100;
    return score;
}

QString TRDListLevel::GetHTMLIndentStyle() const
{
    const int m = MarkerIndent;
    const int l = LeftIndent;
    if (m - l >= 0)
        return QStringLiteral("text-indent: %1px; margin-left: %2px;").arg(m - l).arg(l);
    return QStringLiteral("text-indent: %1px; padding-left: %2px; margin-left: %3px;").arg(m - l).arg(l - m).arg(m);
}

QByteArray TRDListLevel::HTMLOpenTag(bool withStyle, int previousLeftIndent) const
{
    QByteArray style;
    if (withStyle) {
        const int l = LeftIndent;
        const QString text =
            l <= MarkerIndent
                ? QStringLiteral("text-indent: %1px; margin-left: %2px; list-style-position: inside;")
                      .arg(MarkerIndent - l)
                      .arg(l - previousLeftIndent)
                : QStringLiteral("text-indent: %1px; margin-left: %2px; list-style-position: outside;")
                      .arg(FirstIndent)
                      .arg(l - previousLeftIndent);
        style = " style=\"" + text.toLatin1() + '"';
    }
    if (!HasNumbering())
        return "<ul" + style + '>';
    QByteArray type;
    switch (ListType) {
    case TRDListType::rdlstLowerAlpha: type = "a"; break;
    case TRDListType::rdlstUpperAlpha: type = "A"; break;
    case TRDListType::rdlstLowerRoman: type = "i"; break;
    case TRDListType::rdlstUpperRoman: type = "I"; break;
    default: break;
    }
    if (!type.isEmpty())
        type = " type=\"" + type + '"';
    return "<ol" + type + style + '>';
}

QByteArray TRDListLevel::HTMLCloseTag() const
{
    return HasNumbering() ? "</ol>" : "</ul>";
}

TRDListInfo::TRDListInfo(const TRDInfoOwner* owner) : TCustomRDInfo(owner)
{
    StyleName = QStringLiteral("List Style");
}

void TRDListInfo::Assign(const TRDListInfo& source, bool copyListIds)
{
    if (this == &source)
        return;
    Levels = source.Levels;
    OneLevelPreview = source.OneLevelPreview;
    if (copyListIds)
        FListId = source.FListId;
    AssignCommon(source);
}

int32_t TRDListInfo::GetListId()
{
    while (FListId == 0)
        FListId = static_cast<int32_t>(QRandomGenerator::global()->bounded(0x7FFFFFFF));
    return FListId;
}

bool TRDListInfo::HasNumbering() const
{
    return std::any_of(Levels.begin(), Levels.end(), [](const TRDListLevel& l) { return l.HasNumbering(); });
}

bool TRDListInfo::HasTextNumbering() const
{
    return std::any_of(Levels.begin(), Levels.end(), [](const TRDListLevel& l) { return l.HasTextNumbering(); });
}

bool TRDListInfo::IsSameStyle(TRDListInfo& v, bool ignoreReferences)
{
    if (OneLevelPreview != v.OneLevelPreview || Levels.size() != v.Levels.size())
        return false;
    if (!ignoreReferences && GetListId() != v.GetListId())
        return false;
    for (size_t i = 0; i < Levels.size(); ++i)
        if (!Levels[i].IsEqual(v.Levels[i]))
            return false;
    return !CompareStyleNames() || StyleName == v.StyleName;
}

int TRDListInfo::ListLikeness(TRDListInfo& v)
{
    int score = (GetListId() == v.GetListId() ? 50 : 0) + (OneLevelPreview == v.OneLevelPreview ? 100 : 0);
    const size_t m = std::min(Levels.size(), v.Levels.size());
    for (size_t i = 0; i < m; ++i)
        score += Levels[i].Likeness(v.Levels[i]);
    return score - 100 * static_cast<int>(std::max(Levels.size(), v.Levels.size()) - m);
}
