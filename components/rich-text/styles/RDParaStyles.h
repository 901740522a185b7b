#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QtCore/QRect>

class QPainter;
#include <QtCore/QString>

#include "core/RDGraphUtils.h"
#include "styles/RDTextStyles.h"

enum TRDParaInfoProperty {
    rdpiFirstIndent, rdpiLeftIndent, rdpiRightIndent, rdpiSpaceBefore, rdpiSpaceAfter, rdpiAlignment,
    rdpiNextParaNo, rdpiDefStyleNo, rdpiLineSpacing, rdpiLineSpacingType, rdpiBackground_Color,
    rdpiBackground_BO_Left, rdpiBackground_BO_Top, rdpiBackground_BO_Right, rdpiBackground_BO_Bottom,
    rdpiBorder_Color, rdpiBorder_Style, rdpiBorder_Width, rdpiBorder_InternalWidth, rdpiBorder_BO_Left,
    rdpiBorder_BO_Top, rdpiBorder_BO_Right, rdpiBorder_BO_Bottom, rdpiBorder_Vis_Left, rdpiBorder_Vis_Top,
    rdpiBorder_Vis_Right, rdpiBorder_Vis_Bottom, rdpiNoWrap, rdpiReadOnly, rdpiStyleProtect,
    rdpiDoNotWantReturns, rdpiKeepLinesTogether, rdpiKeepWithNext, rdpiTabs, rdpiBiDiMode, rdpiCustom
};
using TRDParaInfoProperties = uint64_t;  // all 36 values
using TRDParaInfoProperties1 = uint32_t;  // rdpiFirstIndent..rdpiBorder_Vis_Bottom
using TRDParaInfoProperties2 = uint16_t;  // rdpiNoWrap..rdpiBiDiMode, bit 0 for rdpiNoWrap
constexpr TRDParaInfoProperties ParaProp(TRDParaInfoProperty p) { return uint64_t(1) << p; }
constexpr TRDParaInfoProperties RDAllParaInfoProperties = (uint64_t(1) << 36) - 1;

struct TRDRect {
    int32_t Top = 0, Left = 0, Right = 0, Bottom = 0;

    void SetAll(int32_t value) { Top = Left = Right = Bottom = value; }
    TRDRect& AssignProperties(const TRDRect& source, bool left, bool top, bool right, bool bottom);
    QRect GetRect() const { return QRect(QPoint(Left, Top), QPoint(Right - 1, Bottom - 1)); }
    // Per-side maximum, the rectangle given as its four edges.
    void MaxRect(int& left, int& top, int& right, int& bottom) const;
    void InflateRect(int& left, int& top, int& right, int& bottom) const;
    void InflateRectScaled(int& left, int& top, int& right, int& bottom, const TRDResolutionInfo* info) const;
    bool IsEqual(const TRDRect& v) const { return Top == v.Top && Left == v.Left && Right == v.Right && Bottom == v.Bottom; }
    bool IsEqualExcept(const TRDRect& v, bool ignoreLeft, bool ignoreTop, bool ignoreRight, bool ignoreBottom) const;
    int Likeness(const TRDRect& v, int weight) const;
};

struct TRDBooleanRect {
    bool Top = true, Left = true, Right = true, Bottom = true;

    TRDBooleanRect() = default;
    explicit TRDBooleanRect(bool value) { SetAll(value); }
    void SetAll(bool value) { Top = Left = Right = Bottom = value; }
    void SetValues(bool left, bool top, bool right, bool bottom);
    TRDBooleanRect& AssignProperties(const TRDBooleanRect& source, bool left, bool top, bool right, bool bottom);
    bool IsEqual(const TRDBooleanRect& v) const { return IsEqualToValues(v.Left, v.Top, v.Right, v.Bottom); }
    bool IsEqualToValues(bool left, bool top, bool right, bool bottom) const;
    bool IsAllEqual(bool value) const { return IsEqualToValues(value, value, value, value); }
    bool IsEqualExcept(const TRDBooleanRect& v, bool ignoreLeft, bool ignoreTop, bool ignoreRight, bool ignoreBottom) const;
};

enum class TRDBorderStyle : uint8_t { rdbNone, rdbSingle, rdbDouble, rdbTriple, rdbThickInside, rdbThickOutside };

struct TRDBorder {
    TColor Color = clWindowText;
    TRDBorderStyle Style = TRDBorderStyle::rdbNone;
    int32_t Width = 1;
    int32_t InternalWidth = 1;
    TRDBooleanRect VisibleBorders;
    TRDRect BorderOffsets;

    int GetTotalWidth() const;
    // Screen drawing around the rectangle (left, top, right, bottom), widened by the offsets.
    void Draw(const QRect& rect, QPainter& painter) const;
    // Device drawing: rect is in device pixels; widths and offsets are scaled.
    void DrawScaled(const QRect& rect, QPainter& painter, const TRDResolutionInfo* info, int colorMode) const;
    bool IsEqual(const TRDBorder& v) const;
    bool IsEqualExcept(const TRDBorder& v, TRDParaInfoProperties ignoreProps) const;
    void AssignProperties(const TRDBorder& source, TRDParaInfoProperties props);
    int Likeness(const TRDBorder& v) const;

private:
    void DrawLines(int left, int top, int right, int bottom, QPainter& painter, int width, int gap, int step,
                   int colorMode) const;
};

struct TRDBackgroundRect {
    TColor Color = clNone;
    TRDRect BorderOffsets;

    void PrepareDraw(QRect& rect) const;
    void PrepareDrawScaled(QRect& rect, const TRDResolutionInfo* info) const;
    // Fills the rectangle (right and bottom edges exclusive, as for the
    // border); nothing for clNone or colour modes 3 and 4.
    void Draw(const QRect& rect, QPainter& painter, int colorMode) const;
    bool IsEqual(const TRDBackgroundRect& v) const { return Color == v.Color && BorderOffsets.IsEqual(v.BorderOffsets); }
    bool IsEqualExcept(const TRDBackgroundRect& v, TRDParaInfoProperties ignoreProps) const;
    void AssignProperties(const TRDBackgroundRect& source, TRDParaInfoProperties props);
    int Likeness(const TRDBackgroundRect& v) const;
};

enum class TRDTabAlign : uint8_t { rdtaLeft, rdtaRight, rdtaCenter };

class TRDTabInfos;

class TRDTabInfo {
public:
    int32_t Position() const { return FPosition; }
    // Keeps the collection sorted.
    void SetPosition(int32_t value);
    QString Leader;
    TRDTabAlign Align = TRDTabAlign::rdtaLeft;

    void Assign(const TRDTabInfo& source);
    QString GetDisplayName() const;
    bool IsEqual(const TRDTabInfo& v) const { return FPosition == v.FPosition && Align == v.Align && Leader == v.Leader; }
    int Likeness(const TRDTabInfo& v) const;

private:
    friend class TRDTabInfos;
    int32_t FPosition = 0;
    TRDTabInfos* FCollection = nullptr;
};

// Tab stops sorted by ascending position.
class TRDTabInfos {
public:
    TRDTabInfos() = default;
    TRDTabInfos(const TRDTabInfos& other) { Assign(other); }
    TRDTabInfos& operator=(const TRDTabInfos& other)
    {
        if (this != &other)
            Assign(other);
        return *this;
    }

    int Count() const { return static_cast<int>(FItems.size()); }
    TRDTabInfo* Add();
    // A stop at position, added in its sorted place.
    TRDTabInfo* Add(int32_t position, TRDTabAlign align = TRDTabAlign::rdtaLeft, const QString& leader = {});
    TRDTabInfo* GetItem(int index) const;
    void Delete(int index);
    void Clear() { FItems.clear(); }
    void Assign(const TRDTabInfos& other);
    void SortTabs();
    bool IsEqual(const TRDTabInfos& v) const;
    int Likeness(const TRDTabInfos& v) const;

private:
    std::vector<std::unique_ptr<TRDTabInfo>> FItems;
};

enum class TRDLineSpacingType : uint8_t { rdlsPercent, rdlsSpaceBetween };
enum class TRDAlignment : uint8_t { rdaLeft, rdaRight, rdaCenter, rdaJustify };
enum TRDParaOption : uint8_t {
    rdpaoNoWrap = 1, rdpaoReadOnly = 2, rdpaoStyleProtect = 4, rdpaoDoNotWantReturns = 8,
    rdpaoKeepLinesTogether = 16, rdpaoKeepWithNext = 32, rdpaoWidowOrphanControl = 64
};

class TCustomRDParaInfo : public TCustomRDInfo {
public:
    explicit TCustomRDParaInfo(const TRDInfoOwner* owner = nullptr);

    int32_t FirstIndent = 0;
    int32_t LeftIndent = 0;
    int32_t RightIndent = 0;
    int32_t SpaceBefore = 0;
    int32_t SpaceAfter = 0;
    int32_t LineSpacing = 100;
    TRDLineSpacingType LineSpacingType = TRDLineSpacingType::rdlsPercent;
    TRDAlignment Alignment = TRDAlignment::rdaLeft;
    TRDBorder Border;
    TRDBackgroundRect Background;
    uint8_t Options = 0;
    TRDBiDiMode BiDiMode = TRDBiDiMode::rdbdUnspecified;
    TRDTabInfos Tabs;

    void Assign(const TCustomRDParaInfo& source);
    bool HasExtraLineSpacing() const;
    void AssignProperties(const TCustomRDParaInfo& source, TRDParaInfoProperties props);
    virtual bool IsSameStyle(const TCustomRDParaInfo& value, bool ignoreReferences) const;
    virtual bool IsEqualExcept(const TCustomRDParaInfo& value, TRDParaInfoProperties ignoreProps) const;
    int StyleLikeness(const TCustomRDInfo& value) const override;
};

class TParaInfo : public TCustomRDParaInfo {
public:
    explicit TParaInfo(const TRDInfoOwner* owner = nullptr) : TCustomRDParaInfo(owner) {}

    int32_t NextParaNo = -1;
    int32_t DefStyleNo = -1;
    TRDParaInfoProperties1 ModifiedProperties1 = 0;
    TRDParaInfoProperties2 ModifiedProperties2 = 0;

    void Assign(const TCustomRDParaInfo& source);
    bool IsSameStyle(const TCustomRDParaInfo& value, bool ignoreReferences) const override;
    bool IsSameStyleMapped(TParaInfo& value, const TRDIntegerList& mapping) const;
    bool IsEqualExcept(const TCustomRDParaInfo& value, TRDParaInfoProperties ignoreProps) const override;
};
