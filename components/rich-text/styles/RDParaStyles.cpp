#include "styles/RDParaStyles.h"

#include <QtGui/QPainter>

#include <algorithm>

#include "core/RDError.h"

namespace {

bool Has(TRDParaInfoProperties props, TRDParaInfoProperty p)
{
    return (props & ParaProp(p)) != 0;
}

}  // namespace

// ---- TRDRect ---------------------------------------------------------------

TRDRect& TRDRect::AssignProperties(const TRDRect& source, bool left, bool top, bool right, bool bottom)
{
    if (left) Left = source.Left;
    if (top) Top = source.Top;
    if (right) Right = source.Right;
    if (bottom) Bottom = source.Bottom;
    return *this;
}

void TRDRect::MaxRect(int& left, int& top, int& right, int& bottom) const
{
    left = std::max(left, Left);
    top = std::max(top, Top);
    right = std::max(right, Right);
    bottom = std::max(bottom, Bottom);
}

void TRDRect::InflateRect(int& left, int& top, int& right, int& bottom) const
{
    left -= Left;
    top -= Top;
    right += Right;
    bottom += Bottom;
}

void TRDRect::InflateRectScaled(int& left, int& top, int& right, int& bottom, const TRDResolutionInfo* info) const
{
    left -= ScaleToDeviceX(Left, info);
    top -= ScaleToDeviceY(Top, info);
    right += ScaleToDeviceX(Right, info);
    bottom += ScaleToDeviceY(Bottom, info);
}

bool TRDRect::IsEqualExcept(const TRDRect& v, bool ignoreLeft, bool ignoreTop, bool ignoreRight, bool ignoreBottom) const
{
    return (ignoreLeft || Left == v.Left) && (ignoreTop || Top == v.Top) && (ignoreRight || Right == v.Right)
           && (ignoreBottom || Bottom == v.Bottom);
}

int TRDRect::Likeness(const TRDRect& v, int weight) const
{
    return ValueLikeness(Left, v.Left, weight) + ValueLikeness(Top, v.Top, weight)
           + ValueLikeness(Right, v.Right, weight) + ValueLikeness(Bottom, v.Bottom, weight);
}

// ---- TRDBooleanRect --------------------------------------------------------

void TRDBooleanRect::SetValues(bool left, bool top, bool right, bool bottom)
{
    Left = left;
    Top = top;
    Right = right;
    Bottom = bottom;
}

TRDBooleanRect& TRDBooleanRect::AssignProperties(const TRDBooleanRect& source, bool left, bool top, bool right,
                                                 bool bottom)
{
    if (left) Left = source.Left;
    if (top) Top = source.Top;
    if (right) Right = source.Right;
    if (bottom) Bottom = source.Bottom;
    return *this;
}

bool TRDBooleanRect::IsEqualToValues(bool left, bool top, bool right, bool bottom) const
{
    return Left == left && Top == top && Right == right && Bottom == bottom;
}

bool TRDBooleanRect::IsEqualExcept(const TRDBooleanRect& v, bool ignoreLeft, bool ignoreTop, bool ignoreRight,
                                   bool ignoreBottom) const
{
    return (ignoreLeft || Left == v.Left) && (ignoreTop || Top == v.Top) && (ignoreRight || Right == v.Right)
           && (ignoreBottom || Bottom == v.Bottom);
}

// ---- TRDBorder -------------------------------------------------------------

int TRDBorder::GetTotalWidth() const
{
    switch (Style) {
    case TRDBorderStyle::rdbSingle: return Width;
    case TRDBorderStyle::rdbDouble: return 2 * Width + InternalWidth;
    case TRDBorderStyle::rdbTriple: return 3 * Width + 2 * InternalWidth;
    case TRDBorderStyle::rdbThickInside:
    case TRDBorderStyle::rdbThickOutside: return 3 * Width + InternalWidth;
    default: return 0;
    }
}

namespace {
// A line as the system draws one with a pen of width w: centred on the line,
// the end point left out.
void PenLine(QPainter& painter, int x1, int y1, int x2, int y2, int w, const QColor& color)
{
    const int half = w / 2;
    if (y1 == y2) {
        const int from = x1 <= x2 ? x1 : x2 + 1;
        const int to = x1 <= x2 ? x2 - 1 : x1;
        if (to >= from)
            painter.fillRect(QRect(from - (w > 1 ? half : 0), y1 - half, to - from + 1 + (w > 1 ? w - 1 : 0), w), color);
    } else {
        const int from = y1 <= y2 ? y1 : y2 + 1;
        const int to = y1 <= y2 ? y2 - 1 : y1;
        if (to >= from)
            painter.fillRect(QRect(x1 - half, from - (w > 1 ? half : 0), w, to - from + 1 + (w > 1 ? w - 1 : 0)), color);
    }
}
}  // namespace

void TRDBorder::DrawLines(int left, int top, int right, int bottom, QPainter& painter, int width, int gap, int step,
                          int colorMode) const
{
    TColor color = Color;
    switch (colorMode) {
    case 0: break;
    case 1: color = ResolveSystemColor(Color); break;
    case 2: color = ColorToGray(ResolveSystemColor(Color)); break;
    default: color = clBlack; break;
    }
    const QColor qcolor = ToQColor(color);
    int lines = 1;
    if (Style == TRDBorderStyle::rdbDouble || Style == TRDBorderStyle::rdbThickInside
        || Style == TRDBorderStyle::rdbThickOutside)
        lines = 2;
    else if (Style == TRDBorderStyle::rdbTriple)
        lines = 3;
    for (int n = lines; n >= 1; --n) {
        const bool thick = (Style == TRDBorderStyle::rdbThickOutside && n == 1)
                           || (Style == TRDBorderStyle::rdbThickInside && n == 2);
        const int w = thick ? 2 * width : width;
        if (VisibleBorders.Top)
            PenLine(painter, left, top, right, top, w, qcolor);
        if (VisibleBorders.Right)
            PenLine(painter, right, top, right, bottom, w, qcolor);
        if (VisibleBorders.Bottom)
            PenLine(painter, right, bottom, left, bottom, w, qcolor);
        if (VisibleBorders.Left)
            PenLine(painter, left, bottom, left, top, w, qcolor);
        left -= gap + step;
        top -= gap + step;
        right += gap + step;
        bottom += gap + step;
        if (width == 1) {
            if (Style == TRDBorderStyle::rdbThickOutside) {
                right += step;
                bottom += step;
            } else if (Style == TRDBorderStyle::rdbThickInside) {
                left -= step;
                top -= step;
            }
        }
    }
}

void TRDBorder::Draw(const QRect& rect, QPainter& painter) const
{
    if (Style == TRDBorderStyle::rdbNone)
        return;
    int left = rect.left(), top = rect.top(), right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
    BorderOffsets.InflateRect(left, top, right, bottom);
    DrawLines(left, top, right, bottom, painter, Width, InternalWidth, 1, 0);
}

void TRDBorder::DrawScaled(const QRect& rect, QPainter& painter, const TRDResolutionInfo* info, int colorMode) const
{
    if (Style == TRDBorderStyle::rdbNone)
        return;
    int left = rect.left(), top = rect.top(), right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
    BorderOffsets.InflateRectScaled(left, top, right, bottom, info);
    DrawLines(left, top, right, bottom, painter, ScaleToDeviceY(Width, info), ScaleToDeviceY(InternalWidth, info),
              ScaleToDeviceY(1, info), colorMode);
}

void TRDBackgroundRect::PrepareDraw(QRect& rect) const
{
    int left = rect.left(), top = rect.top(), right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
    BorderOffsets.InflateRect(left, top, right, bottom);
    rect = QRect(left, top, right - left, bottom - top);
}

void TRDBackgroundRect::PrepareDrawScaled(QRect& rect, const TRDResolutionInfo* info) const
{
    int left = rect.left(), top = rect.top(), right = rect.left() + rect.width(), bottom = rect.top() + rect.height();
    BorderOffsets.InflateRectScaled(left, top, right, bottom, info);
    rect = QRect(left, top, right - left, bottom - top);
}

void TRDBackgroundRect::Draw(const QRect& rect, QPainter& painter, int colorMode) const
{
    if (Color == clNone || colorMode == 3 || colorMode == 4)
        return;
    TColor color = Color;
    if (colorMode == 1)
        color = ResolveSystemColor(Color);
    else if (colorMode == 2)
        color = ColorToGray(ResolveSystemColor(Color));
    // A rectangle one pixel larger drawn without a pen covers exactly the
    // given one.
    painter.fillRect(rect, ToQColor(color));
}

bool TRDBorder::IsEqual(const TRDBorder& v) const
{
    return Style == v.Style && Color == v.Color && Width == v.Width && InternalWidth == v.InternalWidth
           && BorderOffsets.IsEqual(v.BorderOffsets) && VisibleBorders.IsEqual(v.VisibleBorders);
}

bool TRDBorder::IsEqualExcept(const TRDBorder& v, TRDParaInfoProperties ignore) const
{
    return (Has(ignore, rdpiBorder_Color) || Color == v.Color) && (Has(ignore, rdpiBorder_Style) || Style == v.Style)
           && (Has(ignore, rdpiBorder_Width) || Width == v.Width)
           && (Has(ignore, rdpiBorder_InternalWidth) || InternalWidth == v.InternalWidth)
           && BorderOffsets.IsEqualExcept(v.BorderOffsets, Has(ignore, rdpiBorder_BO_Left),
                                          Has(ignore, rdpiBorder_BO_Top), Has(ignore, rdpiBorder_BO_Right),
                                          Has(ignore, rdpiBorder_BO_Bottom))
           && VisibleBorders.IsEqualExcept(v.VisibleBorders, Has(ignore, rdpiBorder_Vis_Left),
                                           Has(ignore, rdpiBorder_Vis_Top), Has(ignore, rdpiBorder_Vis_Right),
                                           Has(ignore, rdpiBorder_Vis_Bottom));
}

void TRDBorder::AssignProperties(const TRDBorder& source, TRDParaInfoProperties props)
{
    if (Has(props, rdpiBorder_Color)) Color = source.Color;
    if (Has(props, rdpiBorder_Style)) Style = source.Style;
    if (Has(props, rdpiBorder_Width)) Width = source.Width;
    if (Has(props, rdpiBorder_InternalWidth)) InternalWidth = source.InternalWidth;
    BorderOffsets.AssignProperties(source.BorderOffsets, Has(props, rdpiBorder_BO_Left), Has(props, rdpiBorder_BO_Top),
                                   Has(props, rdpiBorder_BO_Right), Has(props, rdpiBorder_BO_Bottom));
    VisibleBorders.AssignProperties(source.VisibleBorders, Has(props, rdpiBorder_Vis_Left),
                                    Has(props, rdpiBorder_Vis_Top), Has(props, rdpiBorder_Vis_Right),
                                    Has(props, rdpiBorder_Vis_Bottom));
}

int TRDBorder::Likeness(const TRDBorder& v) const
{
    const bool drawn = Style != TRDBorderStyle::rdbNone;
    const bool vDrawn = v.Style != TRDBorderStyle::rdbNone;
    const bool sides[4] = {drawn && VisibleBorders.Left, drawn && VisibleBorders.Top, drawn && VisibleBorders.Right,
                           drawn && VisibleBorders.Bottom};
    const bool vSides[4] = {vDrawn && v.VisibleBorders.Left, vDrawn && v.VisibleBorders.Top,
                            vDrawn && v.VisibleBorders.Right, vDrawn && v.VisibleBorders.Bottom};
    const int offsets[4] = {BorderOffsets.Left, BorderOffsets.Top, BorderOffsets.Right, BorderOffsets.Bottom};
    const int vOffsets[4] = {v.BorderOffsets.Left, v.BorderOffsets.Top, v.BorderOffsets.Right, v.BorderOffsets.Bottom};
    int both = 0;
    for (int i = 0; i < 4; ++i)
        both += sides[i] && vSides[i];
    int score = 0;
    if (both > 0)
        score = both * (ColorLikeness(Color, v.Color, 3333, 3000) + ValueLikeness(Width, v.Width, 1000)
                        + ValueLikeness(InternalWidth, v.InternalWidth, 1000) + (Style == v.Style ? 1000 : 0));
    for (int i = 0; i < 4; ++i) {
        if (!sides[i] && !vSides[i])
            score += 20000;
        else if (sides[i] != vSides[i])
            score -= 20000;
        else
            score += ValueLikeness(offsets[i], vOffsets[i], 100);
    }
    return score;
}

// ---- TRDBackgroundRect -----------------------------------------------------

bool TRDBackgroundRect::IsEqualExcept(const TRDBackgroundRect& v, TRDParaInfoProperties ignore) const
{
    return (Has(ignore, rdpiBackground_Color) || Color == v.Color)
           && BorderOffsets.IsEqualExcept(v.BorderOffsets, Has(ignore, rdpiBackground_BO_Left),
                                          Has(ignore, rdpiBackground_BO_Top), Has(ignore, rdpiBackground_BO_Right),
                                          Has(ignore, rdpiBackground_BO_Bottom));
}

void TRDBackgroundRect::AssignProperties(const TRDBackgroundRect& source, TRDParaInfoProperties props)
{
    if (Has(props, rdpiBackground_Color)) Color = source.Color;
    BorderOffsets.AssignProperties(source.BorderOffsets, Has(props, rdpiBackground_BO_Left),
                                   Has(props, rdpiBackground_BO_Top), Has(props, rdpiBackground_BO_Right),
                                   Has(props, rdpiBackground_BO_Bottom));
}

int TRDBackgroundRect::Likeness(const TRDBackgroundRect& v) const
{
    return ColorLikeness(Color, v.Color, 10000, 50000) + BorderOffsets.Likeness(v.BorderOffsets, 100);
}

// ---- tab stops -------------------------------------------------------------

void TRDTabInfo::SetPosition(int32_t value)
{
    if (value == FPosition)
        return;
    FPosition = value;
    if (FCollection)
        FCollection->SortTabs();
}

void TRDTabInfo::Assign(const TRDTabInfo& source)
{
    SetPosition(source.FPosition);
    Align = source.Align;
    Leader = source.Leader;
}

QString TRDTabInfo::GetDisplayName() const
{
    static const char* const names[] = {"left", "right", "center"};
    QString result = QLatin1String(names[static_cast<int>(Align) % 3]) + QStringLiteral(" at ")
                     + QString::number(FPosition);
    if (!Leader.isEmpty())
        result += QStringLiteral(" (") + Leader.repeated(6) + QStringLiteral(")");
    return result;
}

int TRDTabInfo::Likeness(const TRDTabInfo& v) const
{
    return ValueLikeness(FPosition, v.FPosition, 200) + (Align == v.Align ? 100 : 0) + (Leader == v.Leader ? 50 : 0);
}

TRDTabInfo* TRDTabInfos::Add()
{
    FItems.push_back(std::make_unique<TRDTabInfo>());
    FItems.back()->FCollection = this;
    return FItems.back().get();
}

TRDTabInfo* TRDTabInfos::Add(int32_t position, TRDTabAlign align, const QString& leader)
{
    TRDTabInfo* tab = Add();
    tab->Align = align;
    tab->Leader = leader;
    tab->FPosition = position;
    SortTabs();
    return tab;
}

TRDTabInfo* TRDTabInfos::GetItem(int index) const
{
    if (index < 0 || index >= Count())
        throw ERichDocError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[index].get();
}

void TRDTabInfos::Delete(int index)
{
    GetItem(index);
    FItems.erase(FItems.begin() + index);
}

void TRDTabInfos::Assign(const TRDTabInfos& other)
{
    FItems.clear();
    for (const auto& tab : other.FItems) {
        TRDTabInfo* copy = Add();
        copy->FPosition = tab->FPosition;
        copy->Align = tab->Align;
        copy->Leader = tab->Leader;
    }
}

void TRDTabInfos::SortTabs()
{
    std::stable_sort(FItems.begin(), FItems.end(),
                     [](const auto& a, const auto& b) { return a->FPosition < b->FPosition; });
}

bool TRDTabInfos::IsEqual(const TRDTabInfos& v) const
{
    if (Count() != v.Count())
        return false;
    for (int i = 0; i < Count(); ++i)
        if (!FItems[i]->IsEqual(*v.FItems[i]))
            return false;
    return true;
}

int TRDTabInfos::Likeness(const TRDTabInfos& v) const
{
    const int m = std::min(Count(), v.Count());
    int score = 0;
    for (int i = 0; i < m; ++i)
        score += FItems[i]->Likeness(*v.FItems[i]);
    return score + 800 * m - 400 * Count() - 400 * v.Count();
}

// ---- paragraph styles ------------------------------------------------------

TCustomRDParaInfo::TCustomRDParaInfo(const TRDInfoOwner* owner) : TCustomRDInfo(owner)
{
    StyleName = QStringLiteral("Paragraph Style");
}

void TCustomRDParaInfo::Assign(const TCustomRDParaInfo& s)
{
    FirstIndent = s.FirstIndent;
    LeftIndent = s.LeftIndent;
    RightIndent = s.RightIndent;
    Alignment = s.Alignment;
    SpaceBefore = s.SpaceBefore;
    SpaceAfter = s.SpaceAfter;
    LineSpacing = s.LineSpacing;
    LineSpacingType = s.LineSpacingType;
    Background = s.Background;
    Border = s.Border;
    Tabs = s.Tabs;
    Options = s.Options;
    BiDiMode = s.BiDiMode;
    AssignCommon(s);
}

bool TCustomRDParaInfo::HasExtraLineSpacing() const
{
    return LineSpacingType == TRDLineSpacingType::rdlsPercent ? LineSpacing != 100 : LineSpacing > 0;
}

namespace {

const struct {
    TRDParaInfoProperty prop;
    uint8_t flag;
} OptionProps[] = {{rdpiNoWrap, rdpaoNoWrap},
                   {rdpiReadOnly, rdpaoReadOnly},
                   {rdpiStyleProtect, rdpaoStyleProtect},
                   {rdpiDoNotWantReturns, rdpaoDoNotWantReturns},
                   {rdpiKeepLinesTogether, rdpaoKeepLinesTogether},
                   {rdpiKeepWithNext, rdpaoKeepWithNext}};

}  // namespace

void TCustomRDParaInfo::AssignProperties(const TCustomRDParaInfo& s, TRDParaInfoProperties props)
{
    if (Has(props, rdpiFirstIndent)) FirstIndent = s.FirstIndent;
    if (Has(props, rdpiLeftIndent)) LeftIndent = s.LeftIndent;
    if (Has(props, rdpiRightIndent)) RightIndent = s.RightIndent;
    if (Has(props, rdpiSpaceBefore)) SpaceBefore = s.SpaceBefore;
    if (Has(props, rdpiSpaceAfter)) SpaceAfter = s.SpaceAfter;
    if (Has(props, rdpiAlignment)) Alignment = s.Alignment;
    if (Has(props, rdpiLineSpacing)) LineSpacing = s.LineSpacing;
    if (Has(props, rdpiLineSpacingType)) LineSpacingType = s.LineSpacingType;
    Background.AssignProperties(s.Background, props);
    Border.AssignProperties(s.Border, props);
    for (const auto& o : OptionProps)
        if (Has(props, o.prop))
            Options = static_cast<uint8_t>((Options & ~o.flag) | (s.Options & o.flag));
    if (Has(props, rdpiTabs)) Tabs = s.Tabs;
    if (Has(props, rdpiBiDiMode)) BiDiMode = s.BiDiMode;
}

bool TCustomRDParaInfo::IsSameStyle(const TCustomRDParaInfo& v, bool) const
{
    return Alignment == v.Alignment && FirstIndent == v.FirstIndent && LeftIndent == v.LeftIndent
           && RightIndent == v.RightIndent && SpaceBefore == v.SpaceBefore && SpaceAfter == v.SpaceAfter
           && LineSpacing == v.LineSpacing && LineSpacingType == v.LineSpacingType && Options == v.Options
           && BiDiMode == v.BiDiMode && Background.IsEqual(v.Background) && Tabs.IsEqual(v.Tabs)
           && Border.IsEqual(v.Border) && (!CompareStyleNames() || StyleName == v.StyleName);
}

bool TCustomRDParaInfo::IsEqualExcept(const TCustomRDParaInfo& v, TRDParaInfoProperties ignore) const
{
    if (!((Has(ignore, rdpiFirstIndent) || FirstIndent == v.FirstIndent)
          && (Has(ignore, rdpiLeftIndent) || LeftIndent == v.LeftIndent)
          && (Has(ignore, rdpiRightIndent) || RightIndent == v.RightIndent)
          && (Has(ignore, rdpiSpaceBefore) || SpaceBefore == v.SpaceBefore)
          && (Has(ignore, rdpiSpaceAfter) || SpaceAfter == v.SpaceAfter)
          && (Has(ignore, rdpiAlignment) || Alignment == v.Alignment)
          && (Has(ignore, rdpiLineSpacing) || LineSpacing == v.LineSpacing)
          && (Has(ignore, rdpiLineSpacingType) || LineSpacingType == v.LineSpacingType)
          && (Has(ignore, rdpiBiDiMode) || BiDiMode == v.BiDiMode) && (Has(ignore, rdpiTabs) || Tabs.IsEqual(v.Tabs))
          && Background.IsEqualExcept(v.Background, ignore) && Border.IsEqualExcept(v.Border, ignore)))
        return false;
    for (const auto& o : OptionProps)
        if (!Has(ignore, o.prop) && (Options & o.flag) != (v.Options & o.flag))
            return false;
    return !CompareStyleNames() || StyleName == v.StyleName;
}

int TCustomRDParaInfo::StyleLikeness(const TCustomRDInfo& value) const
{
    const auto* vp = dynamic_cast<const TCustomRDParaInfo*>(&value);
    if (!vp)
        return 0;
    const TCustomRDParaInfo& v = *vp;
    int score = ValueLikeness(FirstIndent, v.FirstIndent, 1000) + ValueLikeness(LeftIndent, v.LeftIndent, 1000)
                + ValueLikeness(RightIndent, v.RightIndent, 1000) + ValueLikeness(SpaceBefore, v.SpaceBefore, 1000)
                + ValueLikeness(SpaceAfter, v.SpaceAfter, 1000);
    score += Background.Likeness(v.Background) + Tabs.Likeness(v.Tabs) + Border.Likeness(v.Border);
    if (Alignment == v.Alignment) score += 50000;
    if (BiDiMode == v.BiDiMode) score += 10000;
    const struct {
        uint8_t flag;
        int weight;
    } optionWeights[] = {{rdpaoNoWrap, 1000},           {rdpaoReadOnly, 100000},         {rdpaoStyleProtect, 1000},
                         {rdpaoDoNotWantReturns, 10000}, {rdpaoKeepLinesTogether, 500}, {rdpaoKeepWithNext, 500}};
    for (const auto& o : optionWeights)
        if ((Options & o.flag) == (v.Options & o.flag))
            score += o.weight;
    if (LineSpacingType == v.LineSpacingType)
        score += ValueLikeness(LineSpacing, v.LineSpacing, 5000);
    else if (HasExtraLineSpacing() != v.HasExtraLineSpacing())
        score -= 20000;
    return score;
}

void TParaInfo::Assign(const TCustomRDParaInfo& source)
{
    if (const auto* p = dynamic_cast<const TParaInfo*>(&source)) {
        NextParaNo = p->NextParaNo;
        DefStyleNo = p->DefStyleNo;
        ModifiedProperties1 = p->ModifiedProperties1;
        ModifiedProperties2 = p->ModifiedProperties2;
    }
    TCustomRDParaInfo::Assign(source);
}

bool TParaInfo::IsSameStyle(const TCustomRDParaInfo& value, bool ignoreReferences) const
{
    if (!TCustomRDParaInfo::IsSameStyle(value, ignoreReferences))
        return false;
    const auto* v = dynamic_cast<const TParaInfo*>(&value);
    if (!v)
        return true;
    return ModifiedProperties1 == v->ModifiedProperties1 && ModifiedProperties2 == v->ModifiedProperties2
           && StyleTemplateId == v->StyleTemplateId
           && (ignoreReferences || (NextParaNo == v->NextParaNo && DefStyleNo == v->DefStyleNo));
}

bool TParaInfo::IsSameStyleMapped(TParaInfo& value, const TRDIntegerList& mapping) const
{
    if (!IsSameStyle(value, true))
        return false;
    if (value.NextParaNo < 0)
        return true;
    if (value.NextParaNo >= mapping.Count()) {
        value.NextParaNo = -1;
        return true;
    }
    return mapping[value.NextParaNo] == NextParaNo;
}

bool TParaInfo::IsEqualExcept(const TCustomRDParaInfo& value, TRDParaInfoProperties ignoreProps) const
{
    if (!TCustomRDParaInfo::IsEqualExcept(value, ignoreProps))
        return false;
    const auto* v = dynamic_cast<const TParaInfo*>(&value);
    if (!v)
        return true;
    return (Has(ignoreProps, rdpiNextParaNo) || NextParaNo == v->NextParaNo)
           && (Has(ignoreProps, rdpiDefStyleNo) || DefStyleNo == v->DefStyleNo)
           && StyleTemplateId == v->StyleTemplateId && ModifiedProperties1 == v->ModifiedProperties1
           && ModifiedProperties2 == v->ModifiedProperties2;
}
