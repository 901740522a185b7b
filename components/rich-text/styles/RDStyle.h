#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include "Pictures.h"
#include "styles/RDDrawStates.h"
#include "styles/RDListStyles.h"
#include "styles/RDParaStyles.h"
#include "styles/RDTextStyles.h"
#include "core/RDUnicode.h"

class TRDStyle;
class TRDStyleTemplateCollection;
class TCustomRDFormattedData;
class QWidget;

// Switches of the style sheet module (the program keeps their defaults).
// CompareStyleNames: every style comparison also needs equal names.
// ClearStandardOnMerge: styles appended by merging lose Standard.
// StreamListIds: list styles write their list id.
extern bool CompareStyleNames;
extern bool ClearStandardOnMerge;
extern bool StreamListIds;

// Merging modes of MergeStyles.
constexpr int rdMergeEqual = 0;    // reuse equal styles, append the others
constexpr int rdMergeClosest = 1;  // map every style to the closest one, add nothing
constexpr int rdMergeAppend = 2;   // append every style

// The base of the sheet's style collections: an owning list of one style
// class, with the sheet as owner.
template <typename T>
class TCustomRDInfos : public TRDInfoOwner {
public:
    using TFactory = std::function<std::unique_ptr<T>(const TRDInfoOwner*)>;

    explicit TCustomRDInfos(TRDStyle* owner, TFactory factory = {})
        : FSheet(owner), FFactory(std::move(factory))
    {
        TRDInfoOwner::CompareStyleNames = ::CompareStyleNames;
    }
    TCustomRDInfos(const TCustomRDInfos&) = delete;
    TCustomRDInfos& operator=(const TCustomRDInfos&) = delete;
    virtual ~TCustomRDInfos() = default;

    TRDStyle* GetOwner() const { return FSheet; }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises ERichDocError for an index out of range.
    T* Items(int index) const
    {
        if (index < 0 || index >= Count())
            throw ERichDocError("List index out of bounds (" + std::to_string(index) + ")");
        return FItems[static_cast<size_t>(index)].get();
    }
    T* operator[](int index) const { return Items(index); }
    // A new style of the collection's class, appended.
    T* Add()
    {
        FItems.push_back(NewItem());
        return FItems.back().get();
    }
    void Delete(int index)
    {
        Items(index);
        FItems.erase(FItems.begin() + index);
    }
    void Clear() { FItems.clear(); }
    // The style names in order (assignment to a string list).
    QStringList StyleNames() const
    {
        QStringList names;
        for (const auto& item : FItems)
            names << item->StyleName;
        return names;
    }
    // A style of the collection's class, not inserted.
    std::unique_ptr<T> NewItem() const
    {
        return FFactory ? FFactory(this) : std::make_unique<T>(this);
    }

protected:
    // Copies of the styles of source in place of these.
    void AssignItems(const TCustomRDInfos& source)
    {
        if (&source == this)
            return;
        Clear();
        for (const auto& item : source.FItems)
            Add()->Assign(*item);
    }

    TRDStyle* FSheet;
    TFactory FFactory;
    std::vector<std::unique_ptr<T>> FItems;
};

class TFontInfos : public TCustomRDInfos<TFontInfo> {
public:
    using TCustomRDInfos::TCustomRDInfos;

    void Assign(const TFontInfos& source);
    // The style at index; the placeholder for an index out of range.
    TFontInfo* TextStyleAt(int index) const;
    // A copy of style 0 with a red background and white text, made once.
    TFontInfo* GetInvalidItem() const;
    // The index of a style equal to style in the properties of mask: the
    // base first, then the others in ascending order; -1 when none.
    int FindEqualStyle(int baseStyleNo, const TFontInfo& style, TRDFontInfoProperties mask) const;
    // A style of that charset, not Unicode, equal to the base otherwise.
    int FindStyleWithCharset(int baseStyleNo, uint8_t charset) const;
    void MergeStyles(TFontInfos& source, int mode, TRDIntegerList& mapping, const TRDIntegerList* textMapping);

private:
    mutable std::unique_ptr<TFontInfo> FInvalidItem;
    mutable std::mutex FInvalidItemLock;
};

class TParaInfos : public TCustomRDInfos<TParaInfo> {
public:
    using TCustomRDInfos::TCustomRDInfos;

    void Assign(const TParaInfos& source);
    TParaInfo* ParaStyleAt(int index) const;
    // A copy of style 0 with one-pixel spacing and a red two-pixel border, made once.
    TParaInfo* GetInvalidItem() const;
    int FindEqualStyle(int baseParaNo, const TParaInfo& style, TRDParaInfoProperties mask) const;
    void MergeStyles(TParaInfos& source, int mode, TRDIntegerList& mapping, const TRDIntegerList* textMapping);

private:
    mutable std::unique_ptr<TParaInfo> FInvalidItem;
    mutable std::mutex FInvalidItemLock;
};

using TRDImageListNeeded = std::function<void*(int imageListTag)>;

class TRDListInfos : public TCustomRDInfos<TRDListInfo> {
public:
    using TCustomRDInfos::TCustomRDInfos;

    // While the collection is read or written as part of a document's RDF:
    // that document's answer to "the image list with this tag"; empty otherwise.
    TRDImageListNeeded StreamingData;
    // Assigning a list style also copies its list id.
    bool CopyListIds = false;

    void Assign(const TRDListInfos& source);
    // Raises ERichDocError for an index out of range.
    TRDListInfo* GetItem(int index) const { return Items(index); }
    void MergeStyles(TRDListInfos& source, int mode, TRDIntegerList& mapping, const TRDIntegerList* textMapping);
    // Every level that uses the image list lets go of it.
    void RemoveImageList(const TImageList* imageList);
};

enum class TRDSelectionMode : uint8_t { rdsmChar, rdsmWord, rdsmParagraph };
enum class TRDSelectionStyle : uint8_t { rdssItems, rdssLines };
enum class TRDFieldHighlightType : uint8_t { rdfhNever, rdfhCurrent, rdfhAlways };
enum class TRDSeqType : uint8_t { rdseqDecimal, rdseqLowerAlpha, rdseqUpperAlpha, rdseqLowerRoman, rdseqUpperRoman };

constexpr int16_t crRDLineSelect = 106;

// The style sheet: numbered text, paragraph and list styles that documents
// refer to by index, the named style templates, and the colours and cursors
// of the viewer and editor. Several documents may share one sheet.
class TRDStyle {
public:
    TRDStyle();
    TRDStyle(const TRDStyle&) = delete;
    TRDStyle& operator=(const TRDStyle&) = delete;
    virtual ~TRDStyle();

    TFontInfos& TextStyles() { return *FTextStyles; }
    const TFontInfos& TextStyles() const { return *FTextStyles; }
    TParaInfos& ParaStyles() { return *FParaStyles; }
    const TParaInfos& ParaStyles() const { return *FParaStyles; }
    TRDListInfos& ListStyles() { return *FListStyles; }
    const TRDListInfos& ListStyles() const { return *FListStyles; }
    // An image list going away: no list level keeps it.
    void Notification(const TImageList* removed) { FListStyles->RemoveImageList(removed); }
    TRDStyleTemplateCollection& StyleTemplates() { return *FStyleTemplates; }
    const TRDStyleTemplateCollection& StyleTemplates() const { return *FStyleTemplates; }
    void SetTextStyles(const TFontInfos& value);
    void SetParaStyles(const TParaInfos& value);
    void SetListStyles(const TRDListInfos& value);
    void SetStyleTemplates(const TRDStyleTemplateCollection& value);

    int32_t SpacesInTab = 0;
    int32_t DefTabWidth = 48;
    int16_t JumpCursor = crJump;
    int16_t LineSelectCursor = crRDLineSelect;
    bool FullRedraw = false;
    bool UseSound = true;
    TColor Color = clWindow;
    TColor HoverColor = clNone;
    TColor CurrentItemColor = clNone;
    TColor SelColor = clHighlight;
    TColor SelTextColor = clHighlightText;
    TColor InactiveSelColor = clHighlight;
    TColor InactiveSelTextColor = clHighlightText;
    TColor CheckpointColor = 0x008000;
    TColor CheckpointEvColor = 0x00FF00;
    TColor PageBreakColor = clBtnShadow;
    TColor SoftPageBreakColor = clBtnFace;
    TColor LiveSpellingColor = 0x0000FF;
    TRDSelectionMode SelectionMode = TRDSelectionMode::rdsmWord;
    TRDSelectionStyle SelectionStyle = TRDSelectionStyle::rdssItems;
    TColor FieldHighlightColor = clBtnFace;
    TRDFieldHighlightType FieldHighlightType = TRDFieldHighlightType::rdfhCurrent;
    TRDSeqType FootnoteNumbering = TRDSeqType::rdseqDecimal;
    TRDSeqType EndnoteNumbering = TRDSeqType::rdseqLowerRoman;
    bool FootnotePageReset = true;
    int32_t DefUnicodeStyle = -1;
    TRDCodePage DefCodePage = CP_ACP;

    // Drawn for a picture that cannot be shown: the resource picture
    // "RD_BAD_PICTURE" until another is set; nullptr brings that back.
    TPicture& InvalidPicture();
    void SetInvalidPicture(const TPicture* picture);

    // The context of the current owner-draw call.
    TCustomRDFormattedData* DrawingData = nullptr;
    int DrawingItemNo = -1;
    int DrawingOffset = 0;

    // Handlers told once when the sheet is freed (the controls that use it drop
    // their reference); the number answered removes the handler again.
    int AddFreeNotification(std::function<void()> handler);
    void RemoveFreeNotification(int id);

    // May change whether text of a style is redrawn when hovered.
    std::function<void(TRDStyle& sender, int styleNo, bool& sensitive)> OnStyleHoverSensitive;

    // The style classes of the three collections; a descendant sheet may use its own.
    virtual std::unique_ptr<TFontInfo> GetTextStyleClass(const TRDInfoOwner* owner) const;
    virtual std::unique_ptr<TParaInfo> GetParaStyleClass(const TRDInfoOwner* owner) const;
    virtual std::unique_ptr<TRDListInfo> GetListStyleClass(const TRDInfoOwner* owner) const;

    // The two paragraph styles and six text styles of a new sheet.
    void ResetParaStyles();
    void ResetTextStyles();
    // After loading: the templates link to their parents again.
    void Loaded();
    // Loading state: while set, templates only store parent ids and keep streamed names.
    bool Loading() const { return FLoading; }
    void SetLoading(bool value) { FLoading = value; }

    // The next tab stop after x in a line of paragraph style paraNo, in device
    // pixels (the origin of info added); indent stops for both directions.
    int FindNextTabStop(int paraNo, int x, const TRDResolutionInfo* info, QString& leader, TRDTabAlign& align,
                        TRDBiDiMode biDiMode, int indentPos, int rtlIndentPos) const;

    TColor GetHoverColor(TColor color) const { return color == clNone ? HoverColor : color; }
    TColor GetStyleHoverColor(int styleNo) const;
    bool StyleHoverSensitive(int styleNo);

    // Owner-draw hooks: each fires its event first with doDefault set; the
    // default drawing runs when the handler leaves it set.
    std::function<void(TRDStyle& sender, TCanvas& canvas, int styleNo, bool& doDefault)> OnApplyStyle;
    std::function<void(TRDStyle& sender, TCanvas& canvas, int styleNo, TRDTextDrawStates drawState,
                       bool& doDefault)>
        OnApplyStyleColor;
    std::function<void(TRDStyle& sender, const QByteArray& s, TCanvas& canvas, int styleNo, int spaceBefore,
                       int left, int top, int width, int height, TRDTextDrawStates drawState, bool& doDefault)>
        OnDrawStyleText;
    std::function<void(TRDStyle& sender, TCanvas& canvas, int styleNo, int left, int top, int width, int height,
                       TRDTextDrawStates drawState, bool& doDefault)>
        OnDrawTextBack;
    std::function<void(TRDStyle& sender, TCanvas& canvas, int x, int y, int itemNo, int xShift, bool raiseEvent,
                       QWidget* control, bool& doDefault)>
        OnDrawCheckpoint;
    std::function<void(TRDStyle& sender, TCanvas& canvas, int y, int xShift, TRDPageBreakType pageBreakType,
                       QWidget* control, bool& doDefault)>
        OnDrawPageBreak;
    std::function<void(TRDStyle& sender, TCanvas& canvas, int paraNo, const QRect& rect, bool& doDefault)>
        OnDrawParaBack;

    // The canvas's font for a text style.
    void ApplyStyle(TCanvas& canvas, int styleNo, TRDBiDiMode defBiDiMode, bool useFontPixelsPerInch,
                    const int* subSuperScriptHeight, bool ignoreSubSuperScript);
    // Font colour and brush for a text style in a draw state and colour mode.
    void ApplyStyleColor(TCanvas& canvas, int styleNo, TRDTextDrawStates drawState, bool printing, int colorMode);
    // Draws item text s in the box left, top, width, height that starts with
    // spaceBefore pixels of leading space. reserved is not read.
    void DrawStyleText(const QByteArray& s, TCanvas& canvas, int itemNo, int offsetInItem, int styleNo,
                       TCustomRDFormattedData* data, int spaceBefore, int left, int top, int width, int height,
                       int reserved, TRDTextDrawStates drawState, bool printing, bool fitWidth, int colorMode,
                       TRDBiDiMode defBiDiMode);
    // Only the event: there is no default drawing.
    void DrawTextBack(TCanvas& canvas, int itemNo, int styleNo, TCustomRDFormattedData* data, int left, int top,
                      int width, int height, TRDTextDrawStates drawState);
    void DrawCheckpoint(TCanvas& canvas, int x, int y, int lineLeft, int lineWidth, TCustomRDFormattedData* data,
                        int itemNo, int xShift, bool raiseEvent, QWidget* control);
    // documentWidth is the width of data, the document the mark stands in.
    void DrawPageBreak(TCanvas& canvas, int y, int xShift, TRDPageBreakType pageBreakType, QWidget* control,
                       TCustomRDFormattedData* data, int itemNo, int documentWidth);
    void DrawParaBack(TCanvas& canvas, int paraNo, const QRect& rect, bool printing, int colorMode);

private:
    std::unique_ptr<TFontInfos> FTextStyles;
    std::unique_ptr<TParaInfos> FParaStyles;
    std::unique_ptr<TRDListInfos> FListStyles;
    std::unique_ptr<TRDStyleTemplateCollection> FStyleTemplates;
    std::unique_ptr<TPicture> FInvalidPicture;
    bool FLoading = false;
    std::vector<std::pair<int, std::function<void()>>> FFreeNotifications;
    int FNextFreeNotification = 0;
};
