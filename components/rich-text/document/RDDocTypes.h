#pragma once

// Types shared by the document, its items and the code that lays documents
// out, paints and exchanges them.

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include "Graphics.h"
#include "core/RDGraphUtils.h"
#include "document/RDItemKind.h"
#include "core/RDLists.h"
#include "styles/RDParaStyles.h"
#include "styles/RDStyle.h"
#include "styles/RDTextStyles.h"
#include "core/RDUnicode.h"

class TCanvas;
class TCustomRDData;
class TCustomRDItemInfo;
class TRDListInfo;

constexpr int32_t RDMaxInt = INT32_MAX;

// Options of the viewer that owns a document (bit positions).
enum TRDOption : uint32_t {
    rdoAllowSelection = 1u << 0, rdoSingleClick = 1u << 1, rdoScrollToEnd = 1u << 2,
    rdoClientTextWidth = 1u << 3, rdoShowCheckpoints = 1u << 4, rdoShowPageBreaks = 1u << 5,
    rdoShowSpecialCharacters = 1u << 6, rdoTagsArePChars = 1u << 7, rdoAutoCopyText = 1u << 8,
    rdoAutoCopyUnicodeText = 1u << 9, rdoAutoCopyRDF = 1u << 10, rdoAutoCopyImage = 1u << 11,
    rdoAutoCopyRTF = 1u << 12, rdoFormatInvalidate = 1u << 13, rdoDblClickSelectsWord = 1u << 14,
    rdoRClickDeselects = 1u << 15, rdoDisallowDrag = 1u << 16, rdoShowItemHints = 1u << 17,
    rdoFastFormatting = 1u << 18
};
using TRDOptions = uint32_t;

// RDF options, bits 0 to 15.
enum TRDFOption : uint16_t {
    rdfoSavePicturesBody = 1u << 0, rdfoSaveControlsBody = 1u << 1, rdfoIgnoreUnknownPicFmt = 1u << 2,
    rdfoIgnoreUnknownCtrls = 1u << 3, rdfoConvUnknownStylesToZero = 1u << 4,
    rdfoConvLargeImageIdxToZero = 1u << 5, rdfoSaveBinary = 1u << 6, rdfoUseStyleNames = 1u << 7,
    rdfoSaveBack = 1u << 8, rdfoLoadBack = 1u << 9, rdfoSaveTextStyles = 1u << 10,
    rdfoSaveParaStyles = 1u << 11, rdfoSaveLayout = 1u << 12, rdfoLoadLayout = 1u << 13,
    rdfoSaveDocProperties = 1u << 14, rdfoLoadDocProperties = 1u << 15
};
using TRDFOptions = uint16_t;
using TRDRTFOptions = uint32_t;

enum class TRDFReaderStyleMode : uint8_t { rdf_sIgnore, rdf_sInsertMap, rdf_sInsertMerge };

// Warning bits of an RDF read, the one list for the reader and the items:
// bit 0 a picture of an unknown format, bit 1 an unknown control, bit 2 a
// style, paragraph style or list style out of range, bit 3 an image index
// past its image list, bit 4 ANSI text made UTF-16, bit 5 UTF-16 text made
// ANSI, bit 6 damaged picture data, bit 7 a style table with an error.
enum TRDFLoadWarning : uint8_t {
    rdfwUnknownPictureFormat = 0x01, rdfwUnknownControls = 0x02, rdfwConvertedUnknownStyles = 0x04,
    rdfwImageIndexTooLarge = 0x08, rdfwConvertedToUnicode = 0x10, rdfwConvertedToAnsi = 0x20,
    rdfwInvalidPicture = 0x40, rdfwInvalidStyleTable = 0x80
};

enum class TRDLoadFormat : uint8_t { rdlfRDF, rdlfRTF, rdlfHTML };
enum class TRDSaveFormat : uint8_t { rdsfText, rdsfHTML, rdsfRTF, rdsfDocX };
enum class TRDItemAction : uint8_t {
    rdiaInserting, rdiaInserted, rdiaTextModifying, rdiaDestroying, rdiaMovingToUndoList,
    rdiaMovingFromUndoList
};
enum class TRDControlAction : uint8_t {
    rdcaDestroy, rdcaMoveToUndoList, rdcaMoveFromUndoList, rdcaAfterRDFLoad, rdcaDestroyInUndoList,
    rdcaBeforeRDFSave, rdcaAfterRDFSave
};
enum class TRDPaletteAction : uint8_t { rdpaDoNothing, rdpaAssignPalette, rdpaCreateCopies, rdpaCreateCopiesEx };
enum class TRDLongOperation : uint8_t { rdloLoading, rdloSaving };
enum class TRDProgressStage : uint8_t { rdprStarting, rdprRunning, rdprEnding };
enum class TRDHTMLSaveArea : uint8_t { rd_thms_Head, rd_thms_BodyAttribute, rd_thms_Body, rd_thms_End };
// Areas of the RTF output that an application may extend.
enum class TRDRTFSaveArea : uint8_t {
    rd_rtfs_TextStyle, rd_rtfs_ParaStyle, rd_rtfs_CellProps, rd_rtfs_RowProps, rd_rtfs_Doc
};

// Document state bits used by the core.
constexpr uint32_t rdstClearing = 0x80;
constexpr uint32_t rdstLoadingRDFBlock = 0x20000;
constexpr uint32_t rdstFirstParaAborted = 0x200000;
constexpr uint32_t rdstLastParaAborted = 0x400000;
constexpr uint32_t rdstMovingItems = 0x40000000;

// Control flag of the main document of a control.
constexpr uint16_t rdcfMainDocument = 0x100;

// Item option bits.
constexpr uint8_t rdioContinuesPara = 1;
constexpr uint8_t rdioPageBreakBefore = 2;
constexpr uint8_t rdioLineBreakBefore = 4;

// One draw item of a formatted document.
class TRDDrawLineInfo {
public:
    TRDDrawLineInfo() = default;
    TRDDrawLineInfo(int left, int top, int width, int height, int itemNo, bool fromNewLine)
    {
        SetData(left, top, itemNo, fromNewLine);
        SetSize(width, height);
    }
    virtual ~TRDDrawLineInfo() = default;
    // Pixels that justification added to Width.
    int JustifyExtra = 0;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int ItemNo = -1;
    // Text: 1-based first character of the piece in the item text; 0 otherwise.
    int Offs = 0;
    // Characters the piece shows (0 for non-text items).
    int Length = 0;
    // Space below the piece added by the paragraph's line spacing.
    int ExtraSpaceBelow = 0;
    // Non-zero when the piece opens a line (255 when written by the layout).
    uint8_t FromNewLine = 0;
    // Inner x offset of a list marker in a right-to-left paragraph.
    int X = 0;

    virtual void SetData(int left, int top, int itemNo, bool fromNewLine)
    {
        Left = left;
        Top = top;
        ItemNo = itemNo;
        FromNewLine = fromNewLine ? 255 : 0;
    }
    virtual void SetSize(int width, int height)
    {
        Width = width;
        Height = height;
    }
    bool StartsLine() const { return FromNewLine != 0; }
    // Splitting over printed pages; a plain piece cannot be split.
    virtual bool InitSplit(const TRDResolutionInfo&) { return false; }
    virtual bool CanSplitFirst(int, const TRDResolutionInfo&, bool, bool, bool) { return false; }
    virtual bool SplitAt(int, const TRDResolutionInfo&, bool, bool, bool, bool) { return false; }
};

// The print draw item of a footnote whose numbers restart on every page.
class TRDFootnoteDrawItem : public TRDDrawLineInfo {
public:
    int PageRelatedIndex = 0;
};

// A page part of an item split over printed pages.
class TRDMultiDrawItemPart {
public:
    virtual ~TRDMultiDrawItemPart() = default;
    // Printed height of the part on its page, device pixels.
    int Height = 0;
    // Height of the picture shown in the part.
    virtual int GetImageHeight() const { return 0; }
    // First row or picture offset shown in the part.
    virtual int GetPartPosition() const { return -1; }
    // Whether the part cuts through nested documents of the item.
    virtual bool CutsNestedDocuments(TRDDrawLineInfo*) const { return false; }
    virtual void AssignSoftPageBreaks(TRDDrawLineInfo*, TCustomRDItemInfo*) {}
};

class TRDImagePrintPart : public TRDMultiDrawItemPart {
public:
    int ImgTop = 0;
    int ImgHeight = 0;
    int GetImageHeight() const override { return ImgHeight; }
    int GetPartPosition() const override { return ImgTop; }
};

class TRDMultiDrawItemPartsList : public TRDList<TRDMultiDrawItemPart> {
public:
    TRDMultiDrawItemPart* GetItem(int index) const { return Items(index); }
};

// The print draw item of a picture or control that may be split over pages.
class TRDMultiImagePrintInfo : public TRDDrawLineInfo {
public:
    explicit TRDMultiImagePrintInfo(TCustomRDItemInfo* item) : Item(item) {}
    TCustomRDItemInfo* Item;
    TRDMultiDrawItemPartsList PartsList;
};

// Marks drawn over words of a text item.
class TRDWordPainter {
public:
    TRDWordPainter(int startOffset, int length) : StartOffset(startOffset), Length(length) {}
    virtual ~TRDWordPainter() = default;
    int StartOffset;
    int Length;
    // Marks rect, the part of drawItem that the word covers (canvas coordinates).
    virtual void Paint(TCanvas& canvas, const TRDDrawLineInfo& drawItem, TCustomRDData* rdData, const QRect& rect,
                       int painterIndex) const = 0;
};

class TRDWordMisspellPainter : public TRDWordPainter {
public:
    using TRDWordPainter::TRDWordPainter;
    // A wavy line along the bottom of rect in the sheet's LiveSpellingColor (RDPaint.cpp).
    void Paint(TCanvas& canvas, const TRDDrawLineInfo& drawItem, TCustomRDData* rdData, const QRect& rect,
               int painterIndex) const override;
};

class TRDWordPainterList : public TRDList<TRDWordPainter> {
public:
    TRDWordPainter* PainterAt(int index) const { return Items(index); }
};

// The background of a document, as far as RDF touches it.
enum class TBackgroundStyle : uint8_t {
    bsNoBitmap, bsStretched, bsTiled, bsTiledAndScrolled, bsCentered, bsTopLeft, bsTopRight, bsBottomLeft,
    bsBottomRight
};

// The document background (picture, placement, current-line band): RDBack.h.
class TRDBackground;

// The animation state of an animated picture item. The item owns it; the
// animator list of the root document only refers to it (viewer/RDAnimator.h).
class TRDAnimatorList;
class TRDAnimator {
public:
    TRDAnimator() = default;
    TRDAnimator(TCustomRDData* rdData, TCustomRDItemInfo* item) { AttachToItem(rdData, item); }
    TRDAnimator(const TRDAnimator&) = delete;
    TRDAnimator& operator=(const TRDAnimator&) = delete;
    // Leaves the list that holds it (RDAnimator.cpp).
    virtual ~TRDAnimator();
    TRDAnimatorList* List = nullptr;
    int FrameIndex = 0;
    TCustomRDItemInfo* Item = nullptr;
    // Milliseconds until the next frame.
    int TimeLeft = 0;
    TCustomRDData* RDData = nullptr;
    void AttachToItem(TCustomRDData* rdData, TCustomRDItemInfo* item)
    {
        Item = item;
        if (rdData)
            RDData = rdData;
    }
    virtual int GetFrameCount() const { return 0; }
    // A frame changed while the picture is out of view; the document resets its animators.
    virtual void Update() {}
    // Back to the first frame with a full interval.
    virtual void Reset() {}
    // To the next frame with a full interval.
    virtual void ChangeFrame() {}
    // Draws the current frame with its top left corner at (x, y).
    virtual void Draw(int x, int y, int mode, TCanvas& canvas) {}
    virtual void GetFrameSize(int& width, int& height) const;
    virtual void DrawFirstFrame(TCanvas& canvas) {}
    virtual bool HasOwnFrames() const { return false; }
    void NextFrame();
};

using TRDMakeAnimatorHook = void (*)(TCustomRDItemInfo* item, TCustomRDData* rdData,
                                     std::unique_ptr<TRDAnimator>& animator);
// The viewer's animation code (MakeItemAnimator), set by InstallRichTextSuite;
// none until then.
extern TRDMakeAnimatorHook MakeAnimatorHook;

// Remembers which nested document of an item was meant.
class TRDStoreSubRDData {
public:
    virtual ~TRDStoreSubRDData() = default;
    // A new store naming the same document; none in the base.
    virtual std::unique_ptr<TRDStoreSubRDData> Duplicate() const { return nullptr; }
    // Negative, 0 or positive as this place lies before, at or after other.
    virtual int Compare(const TRDStoreSubRDData&) const { return 0; }
};

// The place of a nested document inside the item that owns it.
class TRDLocation {
public:
    virtual ~TRDLocation() = default;
    // Negative, 0 or positive as this place lies before, at or after other.
    virtual int Compare(const TRDLocation& other) const = 0;
};

// Which part of a document a save covers.
struct TRDSaveRange {
    int StartItemNo = 0;
    int EndItemNo = -1;
    int StartOffs = 0;
    int EndOffs = 0;
    int FirstPartCode = 0;
    int LastPartCode = 0;
    TCustomRDItemInfo* NestedItem = nullptr;
};

// The used-styles record of deleting unused styles.
struct TRDStyleUsage {
    bool Initialized = false;
    TRDIntegerList TextUsed;
    TRDIntegerList ParaUsed;
    TRDIntegerList ListUsed;
    bool DoText = false;
    bool DoPara = false;
    bool DoList = false;
};

// Renumbering maps: new index = old + 1 - map[old].
struct TRDStyleMaps {
    TRDIntegerList TextMap;
    TRDIntegerList ParaMap;
    TRDIntegerList ListMap;
};

// A picture file already written for HTML, so that the same image is written once.
struct TRDHTMLBulletInfo {
    QString FileName;
    TColor BackgroundColor = clNone;
    const void* ImageList = nullptr;
    int ImageIndex = -1;
    const void* Graphic = nullptr;
};

// What one HTML export passes to the items it writes.
struct TRDHTMLImageContext {
    QString Path;          // the HTML file
    QString ImagesPrefix;  // prefix of the picture files written
    int SaveOptions = 0;
    bool CSS = false;
    bool OverwriteImages = false;
    int ImageSaveNo = 0;
    TColor BackColor = clWhite;
    // Picture files written so far; the export owns it.
    std::vector<TRDHTMLBulletInfo>* Bullets = nullptr;
};

// What one RTF export passes to the items it writes: its tables (owned by
// the export), the scale and the table nesting level.
struct TRDRTFExportContext {
    QString Path;
    double TwipsPerPixel = 15.0;
    TRDColorList* Colors = nullptr;
    TRDRTFFontTable* Fonts = nullptr;
    // List-override numbers by list style: the running ones and the first ones.
    TRDIntegerList* ListOverrides = nullptr;
    TRDIntegerList* FirstListOverrides = nullptr;
    int Level = 0;
};

// What printing passes to an item drawn on paper.
struct TRDItemPrintInfo {
    const TRDResolutionInfo* Scaling = nullptr;
    int ColorMode = 0;
    // Page part of a split item, -1 for the whole item.
    int PartIndex = -1;
    TRDDrawLineInfo* DrawItem = nullptr;
    bool Preview = false;
    // Right edge of the line, for items that fill it.
    int Right = 0;
};

// An undo record, as far as items see it.
class TRDUndoInfo {
public:
    virtual ~TRDUndoInfo() = default;
    virtual TCustomRDData* GetRDData() const { return nullptr; }
};

// Lists kept by the root document (RDSeqLists.h, RDMarkerLists.h).
class TRDSeqList;
class TRDMarkerList;
class TRDDocParameters;
