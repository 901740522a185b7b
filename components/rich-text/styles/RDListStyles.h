#pragma once

#include <cstdint>
#include <memory>

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include "ImageList.h"
#include "Pictures.h"
#include "core/RDLists.h"
#include "styles/RDTextStyles.h"

// The font of list markers.
struct TRDMarkerFont {
    QString Name = QStringLiteral("Arial");
    int Size = 8;
    TColor Color = clWindowText;
    uint8_t Charset = DEFAULT_CHARSET;
    uint8_t Style = 0;  // TFontStyle flags

    bool IsDefault() const;
    bool IsEqual(const TRDMarkerFont& v) const;
};

enum class TRDListType : uint8_t {
    rdlstBullet, rdlstPicture, rdlstImageList, rdlstDecimal, rdlstLowerAlpha, rdlstUpperAlpha, rdlstLowerRoman,
    rdlstUpperRoman, rdlstImageListCounter, rdlstUnicodeBullet
};
enum class TRDMarkerAlignment : uint8_t { rdmaLeft, rdmaRight, rdmaCenter };
enum TRDListLevelOption : uint8_t { rdloContinuous = 1, rdloLevelReset = 2, rdloLegalStyleNumbering = 4 };

class TRDListLevel {
public:
    TRDListLevel() = default;
    TRDListLevel(const TRDListLevel& other) { Assign(other); }
    TRDListLevel& operator=(const TRDListLevel& other)
    {
        Assign(other);
        return *this;
    }

    TRDListType ListType = TRDListType::rdlstBullet;
    // The image list of image markers; not owned.
    TImageList* ImageList = nullptr;
    int32_t ImageIndex = 0;
    QByteArray FormatString = QByteArray(1, '\xB7');
    QString FormatStringW;
    int32_t LeftIndent = 0;
    int32_t FirstIndent = 10;
    int32_t MarkerIndent = 0;
    TRDMarkerAlignment MarkerAlignment = TRDMarkerAlignment::rdmaLeft;
    uint8_t Options = rdloContinuous | rdloLevelReset;
    int32_t StartFrom = 1;

    void Assign(const TRDListLevel& source);
    bool HasFont() const { return FFont != nullptr; }
    // Created on first use.
    TRDMarkerFont& Font();
    void SetFont(const TRDMarkerFont* font);

    // Created empty on first use.
    TPicture& Picture();
    // A picture with a graphic is copied in (its graphic made transparent);
    // nullptr or a picture without a graphic frees the level's picture.
    void SetPicture(const TPicture* picture);
    bool HasPicture() const { return FPicture && FPicture->HasGraphic(); }

    bool UsesMarkerFont() const;
    bool HasNumbering() const;
    bool HasTextNumbering() const;
    QString GetDisplayName() const;
    bool IsEqual(const TRDListLevel& v) const;
    int Likeness(const TRDListLevel& v) const;

    QString GetHTMLIndentStyle() const;
    // previousLeftIndent: the LeftIndent of the level before (0 for the first).
    QByteArray HTMLOpenTag(bool withStyle, int previousLeftIndent) const;
    QByteArray HTMLCloseTag() const;

private:
    bool FontsEqual(const TRDListLevel& v) const;
    bool PicturesEqual(const TRDListLevel& v) const;

    std::unique_ptr<TRDMarkerFont> FFont;
    std::unique_ptr<TPicture> FPicture;
};

class TRDListInfo : public TCustomRDInfo {
public:
    explicit TRDListInfo(const TRDInfoOwner* owner = nullptr);

    std::vector<TRDListLevel> Levels;
    bool OneLevelPreview = false;

    void Assign(const TRDListInfo& source, bool copyListIds);
    // Drawn at random on first read; never 0 once read.
    int32_t GetListId();
    void SetListId(int32_t id) { FListId = id; }
    // The id as it stands, 0 when none was drawn yet.
    int32_t StoredListId() const { return FListId; }
    bool HasNumbering() const;
    bool HasTextNumbering() const;
    // Gives both styles ids when they had none.
    bool IsSameStyle(TRDListInfo& value, bool ignoreReferences);
    bool IsSameStyleMapped(TRDListInfo& value, const TRDIntegerList&) { return IsSameStyle(value, true); }
    int ListLikeness(TRDListInfo& value);

private:
    int32_t FListId = 0;
};
