#pragma once

#include <cstdint>

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtGui/QFont>

#include "Graphics.h"
#include "core/RDLists.h"

// What a style asks of the collection it lives in (the style sheet).
struct TRDInfoOwner {
    bool CompareStyleNames = false;
    int FontPixelsPerInch = 0;
};

enum class TRDBiDiMode : uint8_t { rdbdUnspecified, rdbdLeftToRight, rdbdRightToLeft };
enum class TRDUnderlineType : uint8_t {
    rdutNormal, rdutThick, rdutDouble, rdutDotted, rdutThickDotted, rdutDashed, rdutThickDashed,
    rdutLongDashed, rdutThickLongDashed, rdutDashDotted, rdutThickDashDotted, rdutDashDotDotted,
    rdutThickDashDotDotted
};
enum class TRDSubSuperScriptType : uint8_t { rdsssNormal, rdsssSubscript, rdsssSuperScript };

// Byte and word sets, one bit per value in declaration order.
enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TRDFontStyle : uint8_t { rdfsOverline = 1, rdfsAllCaps = 2 };
enum TRDHoverEffect : uint8_t { rdheUnderline = 1 };
enum TRDTextOption : uint8_t { rdteoHTMLCode = 1, rdteoRTFCode = 2 };
enum TRDProtectOption : uint16_t {
    rdprStyleProtect = 1 << 0, rdprStyleSplitProtect = 1 << 1, rdprModifyProtect = 1 << 2,
    rdprDeleteProtect = 1 << 3, rdprConcateProtect = 1 << 4, rdprRDFInsertProtect = 1 << 5,
    rdprDoNotAutoSwitch = 1 << 6, rdprParaStartProtect = 1 << 7, rdprSticking = 1 << 8,
    rdprSticking2 = 1 << 9, rdprSticking3 = 1 << 10, rdprStickToTop = 1 << 11, rdprStickToBottom = 1 << 12
};

enum TRDFontInfoProperty {
    rdfiFontName, rdfiSize, rdfiCharset, rdfiUnicode, rdfiBold, rdfiItalic, rdfiUnderline, rdfiStrikeout,
    rdfiOverline, rdfiAllCaps, rdfiSubSuperScriptType, rdfiVShift, rdfiColor, rdfiBackColor, rdfiJump,
    rdfiHoverBackColor, rdfiHoverColor, rdfiHoverUnderline, rdfiJumpCursor, rdfiNextStyleNo, rdfiProtection,
    rdfiCharScale, rdfiBaseStyleNo, rdfiBiDiMode, rdfiCharSpacing, rdfiHTMLCode, rdfiRTFCode,
    rdfiUnderlineType, rdfiUnderlineColor, rdfiHoverUnderlineColor, rdfiCustom
};
using TRDFontInfoProperties = uint32_t;
constexpr TRDFontInfoProperties FontProp(TRDFontInfoProperty p) { return 1u << p; }
constexpr TRDFontInfoProperties RDAllFontInfoProperties = (1u << 31) - 1;

constexpr uint8_t DEFAULT_CHARSET = 1;
constexpr int16_t crJump = 101;

// The common base of text, paragraph and list styles.
class TCustomRDInfo {
public:
    explicit TCustomRDInfo(const TRDInfoOwner* owner = nullptr) : FOwner(owner) {}
    virtual ~TCustomRDInfo() = default;

    int32_t BaseStyleNo = -1;
    QString StyleName;
    bool Standard = true;
    int32_t StyleTemplateId = -1;

    void SetOwner(const TRDInfoOwner* owner) { FOwner = owner; }
    const TRDInfoOwner* Owner() const { return FOwner; }
    QString GetDisplayName() const { return StyleName; }
    void AssignCommon(const TCustomRDInfo& source);
    virtual int StyleLikeness(const TCustomRDInfo&) const { return 0; }

protected:
    bool CompareStyleNames() const { return FOwner && FOwner->CompareStyleNames; }

private:
    const TRDInfoOwner* FOwner = nullptr;
};

class TCustomRDFontInfo : public TCustomRDInfo {
public:
    explicit TCustomRDFontInfo(const TRDInfoOwner* owner = nullptr);

    TRDBiDiMode BiDiMode = TRDBiDiMode::rdbdUnspecified;
    bool Jump = false;
    int16_t JumpCursor = crJump;
    QString FontName = QStringLiteral("Arial");
    int32_t Size = 10;
    TColor Color = clWindowText;
    TColor BackColor = clNone;
    TColor HoverColor = clNone;
    TColor HoverBackColor = clNone;
    TColor UnderlineColor = clNone;
    TColor HoverUnderlineColor = clNone;
    TRDUnderlineType UnderlineType = TRDUnderlineType::rdutNormal;
    uint8_t HoverEffects = 0;
    uint8_t Style = 0;
    uint8_t StyleEx = 0;
    int32_t VShift = 0;
    uint8_t Charset = DEFAULT_CHARSET;
    uint16_t Protection = 0;
    uint8_t Options = 0;
    int32_t CharScale = 100;
    int32_t CharSpacing = 0;
    TRDSubSuperScriptType SubSuperScriptType = TRDSubSuperScriptType::rdsssNormal;

    // Every field of the table, then the common ones.
    void Assign(const TCustomRDFontInfo& source);
    // From a font: name, size, colour, style and charset only.
    void AssignFont(const TFont& font);
    void AssignToFont(TFont& font) const;
    void AssignProperties(const TCustomRDFontInfo& source, TRDFontInfoProperties props);
    virtual bool IsSameStyle(const TCustomRDFontInfo& value, bool ignoreReferences) const;
    virtual bool IsEqualExcept(const TCustomRDFontInfo& value, TRDFontInfoProperties ignoreProps) const;
    int StyleLikeness(const TCustomRDInfo& value) const override;
    // The older "SingleSymbols" property, read only.
    void ReadSingleSymbols(bool value);

    // The font of the style: the name mapped to an installed font, the size in
    // pixels at the sheet's resolution when asked and set, else in points;
    // CharScale as stretch, CharSpacing as letter spacing for text without an
    // explicit direction; kerning off.
    QFont MakeFont(TRDBiDiMode defBiDiMode = TRDBiDiMode::rdbdUnspecified, bool useFontPixelsPerInch = false,
                   bool ignoreSubSuperScript = false) const;
    // The pixel height of sub- and superscript text for a font of pixel height
    // fontHeight; 0 for normal text.
    int GetSubSuperScriptHeight(int fontHeight) const;
};

class TFontInfo : public TCustomRDFontInfo {
public:
    explicit TFontInfo(const TRDInfoOwner* owner = nullptr);

    bool Unicode = false;
    int32_t NextStyleNo = -1;
    TRDFontInfoProperties ModifiedProperties = 0;

    void Assign(const TCustomRDFontInfo& source);
    bool IsSameStyle(const TCustomRDFontInfo& value, bool ignoreReferences) const override;
    // Value's NextStyleNo at or beyond the mapping is set to -1.
    bool IsSameStyleMapped(TFontInfo& value, const TRDIntegerList& mapping) const;
    bool IsEqualExcept(const TCustomRDFontInfo& value, TRDFontInfoProperties ignoreProps) const override;
};

// The text as drawn (removeZeroWidth) or measured for a text style: capitals
// for rdfsAllCaps, soft hyphens as invisible, as themselves at a line end, or
// shown as special characters.
void GetDisplayText(const QByteArray& text, const TCustomRDFontInfo& textStyle, bool lastAtLineEnd,
                    QByteArray& result, bool removeZeroWidth, bool showSpecialCharacters);
