#include "styles/RDStyle.h"

#include <algorithm>

#include "Cursors.h"
#include "styles/RDStyleTemplates.h"

bool CompareStyleNames = false;
bool ClearStandardOnMerge = true;
bool StreamListIds = true;

namespace {
// Picks the target of a source style in mode 0: the same index when equal
// there, else the first equal one; -1 when none. claimed (list styles only)
// marks indexes that a numbered list already took.
template <typename T, typename Equal>
int FindMergeTarget(const std::vector<std::unique_ptr<T>>& items, int index, Equal equal,
                    const std::vector<bool>* claimed)
{
    const int count = static_cast<int>(items.size());
    auto free = [&](int i) { return !claimed || !(*claimed)[static_cast<size_t>(i)]; };
    if (index < count && free(index) && equal(*items[static_cast<size_t>(index)]))
        return index;
    for (int i = 0; i < count; ++i)
        if (free(i) && equal(*items[static_cast<size_t>(i)]))
            return i;
    return -1;
}

// Mode 1: the index of the greatest likeness among the candidates, the first
// of equal maxima; -1 when there are none.
template <typename T, typename Likeness, typename Candidate>
int FindClosest(const std::vector<std::unique_ptr<T>>& items, Likeness likeness, Candidate candidate)
{
    int best = -1;
    int bestScore = 0;
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        if (!candidate(*items[static_cast<size_t>(i)]))
            continue;
        const int score = likeness(*items[static_cast<size_t>(i)]);
        if (best < 0 || score > bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

// The references of a style appended by merging, mapped into this collection.
void FixAppended(TCustomRDInfo& style, const TRDIntegerList& mapping)
{
    if (ClearStandardOnMerge)
        style.Standard = false;
    if (style.BaseStyleNo >= 0)
        style.BaseStyleNo = mapping.GetItem(style.BaseStyleNo);
}

// The placeholder a text or paragraph collection answers for an index out of
// range: a copy of its first style, marked by mark, made once.
template <typename T, typename Mark>
T* InvalidStyle(const TCustomRDInfos<T>& infos, std::unique_ptr<T>& invalid, std::mutex& lock, Mark mark)
{
    std::lock_guard<std::mutex> guard(lock);
    if (!invalid) {
        invalid = infos.NewItem();
        if (infos.Count() > 0)
            invalid->Assign(*infos.Items(0));
        mark(*invalid);
    }
    return invalid.get();
}

// The index of a style equal to style but in the properties of ignore: the
// base first, then the others in ascending order; -1 when none.
template <typename T, typename P>
int FindEqualStyleIn(const std::vector<std::unique_ptr<T>>& items, int baseNo, const T& base, const T& style,
                     P ignore)
{
    if (style.IsEqualExcept(base, ignore))
        return baseNo;
    for (int i = 0; i < static_cast<int>(items.size()); ++i)
        if (i != baseNo && style.IsEqualExcept(*items[static_cast<size_t>(i)], ignore))
            return i;
    return -1;
}

// Merges text or paragraph styles: maps every style of source to one of
// items (appending it by add unless there is an equal one; in
// rdMergeClosest mode to closest(style), appending nothing), then fix maps
// the references of the appended styles.
template <typename T, typename Add, typename Closest, typename Fix>
void MergeStyleItems(std::vector<std::unique_ptr<T>>& items, const std::vector<std::unique_ptr<T>>& source, int mode,
                     TRDIntegerList& mapping, Add add, Closest closest, Fix fix)
{
    mapping.Clear();
    const int firstAppended = static_cast<int>(items.size());
    for (const auto& s : source) {
        int target = -1;
        if (mode == rdMergeEqual) {
            target = FindMergeTarget(
                items, mapping.Count(), [&](const T& t) { return t.IsSameStyleMapped(*s, mapping); }, nullptr);
        } else if (mode == rdMergeClosest) {
            mapping.Add(closest(*s));
            continue;
        }
        if (target < 0) {
            add()->Assign(*s);
            target = static_cast<int>(items.size()) - 1;
        }
        mapping.Add(target);
    }
    for (int i = firstAppended; i < static_cast<int>(items.size()); ++i) {
        T& style = *items[static_cast<size_t>(i)];
        FixAppended(style, mapping);
        fix(style);
    }
}
}  // namespace

// Text styles.

void TFontInfos::Assign(const TFontInfos& source)
{
    AssignItems(source);
}

TFontInfo* TFontInfos::TextStyleAt(int index) const
{
    if (index < 0 || index >= Count())
        return GetInvalidItem();
    return FItems[static_cast<size_t>(index)].get();
}

TFontInfo* TFontInfos::GetInvalidItem() const
{
    return InvalidStyle(*this, FInvalidItem, FInvalidItemLock, [](TFontInfo& style) {
        style.BackColor = clRed;
        style.Color = clWhite;
    });
}

int TFontInfos::FindEqualStyle(int baseStyleNo, const TFontInfo& style, TRDFontInfoProperties mask) const
{
    return FindEqualStyleIn(FItems, baseStyleNo, *TextStyleAt(baseStyleNo), style,
                            RDAllFontInfoProperties & ~mask);
}

int TFontInfos::FindStyleWithCharset(int baseStyleNo, uint8_t charset) const
{
    const TFontInfo* base = TextStyleAt(baseStyleNo);
    if (base->Charset == charset && !base->Unicode)
        return baseStyleNo;
    const TRDFontInfoProperties ignore = FontProp(rdfiCharset) | FontProp(rdfiUnicode);
    for (int i = 0; i < Count(); ++i) {
        const TFontInfo& s = *FItems[static_cast<size_t>(i)];
        if (s.Charset == charset && !s.Unicode && base->IsEqualExcept(s, ignore))
            return i;
    }
    return -1;
}

void TFontInfos::MergeStyles(TFontInfos& source, int mode, TRDIntegerList& mapping, const TRDIntegerList*)
{
    auto closest = [this](const TFontInfo& s) {
        auto likeness = [&](const TFontInfo& t) { return s.StyleLikeness(t); };
        // The first stage with any candidate decides.
        const std::function<bool(const TFontInfo&)> stages[] = {
            [&](const TFontInfo& t) { return t.Jump == s.Jump && t.Unicode == s.Unicode; },
            [&](const TFontInfo& t) { return t.Jump == s.Jump; },
            [&](const TFontInfo& t) { return t.Unicode == s.Unicode; },
            [](const TFontInfo&) { return true; }};
        int target = -1;
        for (const auto& stage : stages)
            if ((target = FindClosest(FItems, likeness, stage)) >= 0)
                break;
        return target;
    };
    MergeStyleItems(FItems, source.FItems, mode, mapping, [this] { return Add(); }, closest,
                    [&mapping](TFontInfo& style) {
                        if (style.NextStyleNo >= 0)
                            style.NextStyleNo = mapping.GetItem(style.NextStyleNo);
                    });
}

// Paragraph styles.

void TParaInfos::Assign(const TParaInfos& source)
{
    AssignItems(source);
}

TParaInfo* TParaInfos::ParaStyleAt(int index) const
{
    if (index < 0 || index >= Count())
        return GetInvalidItem();
    return FItems[static_cast<size_t>(index)].get();
}

TParaInfo* TParaInfos::GetInvalidItem() const
{
    return InvalidStyle(*this, FInvalidItem, FInvalidItemLock, [](TParaInfo& style) {
        style.SpaceBefore = style.SpaceAfter = 1;
        style.LeftIndent = style.RightIndent = 1;
        style.Border.Color = clRed;
        style.Border.Style = TRDBorderStyle::rdbSingle;
        style.Border.Width = 2;
        style.Border.BorderOffsets.SetAll(1);
    });
}

int TParaInfos::FindEqualStyle(int baseParaNo, const TParaInfo& style, TRDParaInfoProperties mask) const
{
    return FindEqualStyleIn(FItems, baseParaNo, *ParaStyleAt(baseParaNo), style, RDAllParaInfoProperties & ~mask);
}

void TParaInfos::MergeStyles(TParaInfos& source, int mode, TRDIntegerList& mapping, const TRDIntegerList* textMapping)
{
    auto closest = [this](const TParaInfo& s) {
        return FindClosest(
            FItems, [&](const TParaInfo& t) { return s.StyleLikeness(t); }, [](const TParaInfo&) { return true; });
    };
    MergeStyleItems(FItems, source.FItems, mode, mapping, [this] { return Add(); }, closest,
                    [&mapping, textMapping](TParaInfo& style) {
                        if (style.NextParaNo >= 0)
                            style.NextParaNo = mapping.GetItem(style.NextParaNo);
                        if (style.DefStyleNo >= 0 && textMapping)
                            style.DefStyleNo = textMapping->GetItem(style.DefStyleNo);
                    });
}

// List styles.

void TRDListInfos::Assign(const TRDListInfos& source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto& item : source.FItems)
        Add()->Assign(*item, CopyListIds);
}

void TRDListInfos::RemoveImageList(const TImageList* imageList)
{
    for (const auto& item : FItems)
        for (TRDListLevel& level : item->Levels)
            if (level.ImageList == imageList)
                level.ImageList = nullptr;
}

void TRDListInfos::MergeStyles(TRDListInfos& source, int mode, TRDIntegerList& mapping, const TRDIntegerList*)
{
    mapping.Clear();
    const int firstAppended = Count();
    std::vector<bool> claimed(static_cast<size_t>(Count()), false);
    for (const auto& s : source.FItems) {
        int target = -1;
        if (mode == rdMergeEqual) {
            target = FindMergeTarget(
                FItems, mapping.Count(), [&](TRDListInfo& t) { return t.IsSameStyleMapped(*s, mapping); }, &claimed);
        } else if (mode == rdMergeClosest) {
            mapping.Add(FindClosest(
                FItems, [&](TRDListInfo& t) { return s->ListLikeness(t); }, [](const TRDListInfo&) { return true; }));
            continue;
        }
        if (target < 0) {
            TRDListInfo* added = Add();
            added->Assign(*s, false);
            added->SetListId(s->GetListId());
            target = Count() - 1;
            claimed.push_back(false);
        }
        mapping.Add(target);
        if (mode == rdMergeEqual && s->HasNumbering())
            claimed[static_cast<size_t>(target)] = true;
    }
    for (int i = firstAppended; i < Count(); ++i)
        FixAppended(*FItems[static_cast<size_t>(i)], mapping);
}

// The sheet.

TRDStyle::TRDStyle()
{
    if (!CursorRegistered(crJump))
        RegisterCursor(crJump, [] { return QCursor(Qt::PointingHandCursor); });
    if (!CursorRegistered(crRDLineSelect))
        RegisterCursor(crRDLineSelect,
                       [] { return CursorFromBitmapResource(QStringLiteral("RD_FLIPARROW_CURSOR"), 20, 1); });
    FTextStyles = std::make_unique<TFontInfos>(
        this, [this](const TRDInfoOwner* owner) { return GetTextStyleClass(owner); });
    FParaStyles = std::make_unique<TParaInfos>(
        this, [this](const TRDInfoOwner* owner) { return GetParaStyleClass(owner); });
    FListStyles = std::make_unique<TRDListInfos>(
        this, [this](const TRDInfoOwner* owner) { return GetListStyleClass(owner); });
    FStyleTemplates = std::make_unique<TRDStyleTemplateCollection>(this);
    ResetParaStyles();
    ResetTextStyles();
}

int TRDStyle::AddFreeNotification(std::function<void()> handler)
{
    FFreeNotifications.emplace_back(++FNextFreeNotification, std::move(handler));
    return FNextFreeNotification;
}

void TRDStyle::RemoveFreeNotification(int id)
{
    std::erase_if(FFreeNotifications, [id](const auto& entry) { return entry.first == id; });
}

TRDStyle::~TRDStyle()
{
    // A handler may remove others (its own included) while the list is walked.
    while (!FFreeNotifications.empty()) {
        std::function<void()> handler = std::move(FFreeNotifications.front().second);
        FFreeNotifications.erase(FFreeNotifications.begin());
        if (handler)
            handler();
    }
    FTextStyles.reset();
    FParaStyles.reset();
    FListStyles.reset();
    FInvalidPicture.reset();
    FStyleTemplates.reset();
}

TPicture& TRDStyle::InvalidPicture()
{
    if (!FInvalidPicture) {
        FInvalidPicture = std::make_unique<TPicture>();
        TBitmapGraphic bitmap;
        bitmap.Assign(LoadBitmapResource(QStringLiteral("RD_BAD_PICTURE")));
        FInvalidPicture->SetGraphic(&bitmap);
    }
    return *FInvalidPicture;
}

void TRDStyle::SetInvalidPicture(const TPicture* picture)
{
    if (!picture) {
        FInvalidPicture.reset();
        return;
    }
    if (picture == FInvalidPicture.get())
        return;
    if (!FInvalidPicture)
        FInvalidPicture = std::make_unique<TPicture>();
    FInvalidPicture->Assign(*picture);
}

std::unique_ptr<TFontInfo> TRDStyle::GetTextStyleClass(const TRDInfoOwner* owner) const
{
    return std::make_unique<TFontInfo>(owner);
}

std::unique_ptr<TParaInfo> TRDStyle::GetParaStyleClass(const TRDInfoOwner* owner) const
{
    return std::make_unique<TParaInfo>(owner);
}

std::unique_ptr<TRDListInfo> TRDStyle::GetListStyleClass(const TRDInfoOwner* owner) const
{
    return std::make_unique<TRDListInfo>(owner);
}

void TRDStyle::SetTextStyles(const TFontInfos& value)
{
    FTextStyles->Assign(value);
}

void TRDStyle::SetParaStyles(const TParaInfos& value)
{
    FParaStyles->Assign(value);
}

void TRDStyle::SetListStyles(const TRDListInfos& value)
{
    FListStyles->Assign(value);
}

void TRDStyle::SetStyleTemplates(const TRDStyleTemplateCollection& value)
{
    FStyleTemplates->Assign(value);
}

void TRDStyle::ResetParaStyles()
{
    FParaStyles->Clear();
    FParaStyles->Add()->StyleName = QStringLiteral("Paragraph Style");
    TParaInfo* centered = FParaStyles->Add();
    centered->StyleName = QStringLiteral("Centered");
    centered->Alignment = TRDAlignment::rdaCenter;
}

void TRDStyle::ResetTextStyles()
{
    FTextStyles->Clear();
    struct TDefault {
        const char* Name;
        uint8_t Style;
        TColor Color;
        bool Jump;
    };
    const TDefault defaults[] = {
        {"Normal text", 0, clWindowText, false}, {"Heading", fsBold, 0xFF0000, false},
        {"Subheading", fsBold, 0x800000, false}, {"Keywords", fsItalic, 0x000080, false},
        {"Jump 1", fsUnderline, 0x008000, true}, {"Jump 2", fsUnderline, 0x008000, true},
    };
    for (const TDefault& d : defaults) {
        TFontInfo* style = FTextStyles->Add();
        style->StyleName = QString::fromLatin1(d.Name);
        style->Style = d.Style;
        style->Color = d.Color;
        style->Jump = d.Jump;
        if (d.Jump)
            style->JumpCursor = JumpCursor;
    }
}

void TRDStyle::Loaded()
{
    FLoading = false;
    FStyleTemplates->ResolveParents();
}

int TRDStyle::FindNextTabStop(int paraNo, int x, const TRDResolutionInfo* info, QString& leader, TRDTabAlign& align,
                              TRDBiDiMode biDiMode, int indentPos, int rtlIndentPos) const
{
    const TParaInfo& para = *FParaStyles->ParaStyleAt(paraNo);
    if (biDiMode == TRDBiDiMode::rdbdUnspecified)
        biDiMode = para.BiDiMode;
    const bool rtl = biDiMode == TRDBiDiMode::rdbdRightToLeft;
    const int origin = info ? info->Origin : 0;
    int xx = x - origin;
    int indent = indentPos;
    if (rtl) {
        xx += rtlIndentPos - indentPos;
        indent = rtlIndentPos;
    }
    leader.clear();
    align = TRDTabAlign::rdtaLeft;
    int result = 0;
    bool found = false;
    int lastStop = 0;
    for (int i = 0; i < para.Tabs.Count() && !found; ++i) {
        const TRDTabInfo& tab = *para.Tabs.GetItem(i);
        const int t = ScaleToDeviceX(tab.Position(), info);
        lastStop = t;
        if (xx < indent && indent < t) {
            result = indent + origin;
            found = true;
        } else if (xx < t) {
            result = t + origin;
            leader = tab.Leader;
            align = tab.Align;
            found = true;
        }
    }
    if (!found) {
        if (xx >= indent || (para.Tabs.Count() > 0 && lastStop >= indent)) {
            const int w = std::max(1, ScaleToDeviceX(DefTabWidth > 0 ? DefTabWidth : 1, info));
            result = w * ((xx + w) / w) + origin;
        } else {
            result = indent + origin;
        }
    }
    if (rtl)
        result += indentPos - rtlIndentPos;
    return result;
}

TColor TRDStyle::GetStyleHoverColor(int styleNo) const
{
    return GetHoverColor(FTextStyles->TextStyleAt(styleNo)->HoverColor);
}

bool TRDStyle::StyleHoverSensitive(int styleNo)
{
    const TFontInfo* style = FTextStyles->TextStyleAt(styleNo);
    bool sensitive = GetStyleHoverColor(styleNo) != clNone || style->HoverBackColor != style->BackColor
                     || style->HoverUnderlineColor != clNone || style->HoverEffects != 0;
    if (OnStyleHoverSensitive)
        OnStyleHoverSensitive(*this, styleNo, sensitive);
    return sensitive;
}
