#pragma once

// The editor's settings objects: selection colours, gutter, bookmark display,
// glyphs, active line, right edge, line divider, word wrap, scroll bars, code
// folding and background picture. Each holds values, applies its clamps and
// reports a change through its OnChange, which the editor binds.

#include "TextEditFolding.h"
#include "TextEditUtils.h"

#include "ConvertError.h"
#include "Forms.h"
#include "Graphics.h"

#include <QtCore/QRect>
#include <QtCore/QString>

#include <functional>
#include <memory>

class TCanvas;

using TCursor = int;
constexpr TCursor crDefault = 0;

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

// The base of the settings objects: Assign from an object of another class
// raises the conversion error of the class library.
class TTextPersistent {
public:
    virtual ~TTextPersistent() = default;
    virtual const char* ClassName() const = 0;
    virtual void Assign(const TTextPersistent& source);

    // The one change event the owner binds.
    std::function<void(TTextPersistent* sender)> OnChange;

protected:
    [[noreturn]] void AssignError(const TTextPersistent& source) const;
    void Changed()
    {
        if (OnChange)
            OnChange(this);
    }
};

class TTextSelectedColor : public TTextPersistent {
public:
    const char* ClassName() const override { return "TTextSelectedColor"; }
    void Assign(const TTextPersistent& source) override;
    TColor Background() const { return FBackground; }
    void SetBackground(TColor value);
    TColor Foreground() const { return FForeground; }
    void SetForeground(TColor value);

private:
    TColor FBackground = clHighlight;
    TColor FForeground = clHighlightText;
};

enum TTextGutterBorderStyle { gbsNone, gbsMiddle, gbsRight };

class TTextGutter : public TTextPersistent {
public:
    TTextGutter();
    const char* ClassName() const override { return "TTextGutter"; }
    void Assign(const TTextPersistent& source) override;

#define PIBO_GUTTER_PROP(Type, Name)                                                                             \
    Type Name() const { return F##Name; }                                                                        \
    void Set##Name(Type value);
    PIBO_GUTTER_PROP(bool, ShowLineModified)
    PIBO_GUTTER_PROP(TColor, LineModifiedColor)
    PIBO_GUTTER_PROP(TColor, LineNormalColor)
    PIBO_GUTTER_PROP(bool, Intens)
    PIBO_GUTTER_PROP(bool, AutoSize)
    PIBO_GUTTER_PROP(TTextGutterBorderStyle, BorderStyle)
    PIBO_GUTTER_PROP(TColor, Color)
    PIBO_GUTTER_PROP(int, DigitCount)
    PIBO_GUTTER_PROP(bool, LeadingZeros)
    PIBO_GUTTER_PROP(int, LeftOffset)
    PIBO_GUTTER_PROP(TColor, LeftOffsetColor)
    PIBO_GUTTER_PROP(int, RightOffset)
    PIBO_GUTTER_PROP(TColor, RightOffsetColor)
    PIBO_GUTTER_PROP(bool, ShowLineNumbers)
    PIBO_GUTTER_PROP(bool, UseFontStyle)
    PIBO_GUTTER_PROP(bool, Visible)
    PIBO_GUTTER_PROP(int, Width)
    PIBO_GUTTER_PROP(bool, ZeroStart)
    PIBO_GUTTER_PROP(TColor, BorderColor)
    PIBO_GUTTER_PROP(int, LineNumberStart)
    PIBO_GUTTER_PROP(bool, Gradient)
    PIBO_GUTTER_PROP(TColor, GradientStartColor)
    PIBO_GUTTER_PROP(TColor, GradientEndColor)
    PIBO_GUTTER_PROP(int, GradientSteps)
#undef PIBO_GUTTER_PROP
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value) { FCursor = value; }
    const TFont& Font() const { return FFont; }
    void SetFont(const TFont& value);
    int FittedDigitCount() const { return FAutoSizeDigitCount; }

    void FitDigitCount(int lineCount);
    QString LineNumberText(int line) const;
    int PaintedWidth(int charWidth) const;


private:
    int ShownNumber(int line) const;

    bool FShowLineModified = false;
    TColor FLineModifiedColor = clYellow;
    TColor FLineNormalColor = clLime;
    bool FIntens = false;
    bool FAutoSize = false;
    TTextGutterBorderStyle FBorderStyle = gbsMiddle;
    TColor FColor = clBtnFace;
    TCursor FCursor = crDefault;
    int FDigitCount = 4;
    TFont FFont;
    bool FLeadingZeros = false;
    int FLeftOffset = 16;
    TColor FLeftOffsetColor = clNone;
    int FRightOffset = 2;
    TColor FRightOffsetColor = clNone;
    bool FShowLineNumbers = false;
    bool FUseFontStyle = true;
    bool FVisible = true;
    int FWidth = 30;
    bool FZeroStart = false;
    TColor FBorderColor = clWindow;
    int FLineNumberStart = 1;
    bool FGradient = false;
    TColor FGradientStartColor = clWindow;
    TColor FGradientEndColor = clBtnFace;
    int FGradientSteps = 48;
    int FAutoSizeDigitCount = 4;
};

class TTextBookMarkOpt : public TTextPersistent {
public:
    const char* ClassName() const override { return "TTextBookMarkOpt"; }
    void Assign(const TTextPersistent& source) override;
    // A picture strip for the bookmarks, held by reference; null for the
    // built-in pictures.
    const QList<QImage>* BookmarkImages() const { return FBookmarkImages; }
    void SetBookmarkImages(const QList<QImage>* value);
    bool DrawBookmarksFirst() const { return FDrawBookmarksFirst; }
    void SetDrawBookmarksFirst(bool value);
    bool EnableKeys() const { return FEnableKeys; }
    void SetEnableKeys(bool value) { FEnableKeys = value; }
    bool GlyphsVisible() const { return FGlyphsVisible; }
    void SetGlyphsVisible(bool value);
    int LeftMargin() const { return FLeftMargin; }
    void SetLeftMargin(int value);
    int Xoffset() const { return FXoffset; }
    void SetXoffset(int value);

private:
    const QList<QImage>* FBookmarkImages = nullptr;
    bool FDrawBookmarksFirst = true;
    bool FEnableKeys = true;
    bool FGlyphsVisible = true;
    int FLeftMargin = 2;
    int FXoffset = 12;
};

class TTextGlyph : public TTextPersistent {
public:
    // builtInResource: a named bitmap resource loaded at construction, drawn
    // with builtInMaskColor as its transparent colour; empty for none.
    explicit TTextGlyph(const QString& builtInResource = QString(), TColor builtInMaskColor = clNone);
    const char* ClassName() const override { return "TTextGlyph"; }
    void Assign(const TTextPersistent& source) override;
    const TBitmap& Glyph() const { return FGlyph; }
    void SetGlyph(const TBitmap& value);
    TColor MaskColor() const { return FMaskColor; }
    void SetMaskColor(TColor value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    void Draw(TCanvas& canvas, int x, int y, int lineHeight) const;
    int Width() const;

private:
    TBitmap FInternalGlyph;
    TColor FInternalMaskColor = clNone;
    TBitmap FGlyph;
    TColor FMaskColor = clNone;
    bool FVisible = true;
};

class TTextActiveLine : public TTextPersistent {
public:
    TTextActiveLine();
    const char* ClassName() const override { return "TTextActiveLine"; }
    void Assign(const TTextPersistent& source) override;
    TColor Background() const { return FBackground; }
    void SetBackground(TColor value);
    TColor Foreground() const { return FForeground; }
    void SetForeground(TColor value);
    TTextGlyph& Indicator() { return FIndicator; }
    const TTextGlyph& Indicator() const { return FIndicator; }
    void SetIndicator(const TTextGlyph& value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);

private:
    TColor FBackground = clYellow;
    TColor FForeground = clNavy;
    TTextGlyph FIndicator;
    bool FVisible = true;
};

class TTextRightEdge : public TTextPersistent {
public:
    const char* ClassName() const override { return "TTextRightEdge"; }
    void Assign(const TTextPersistent& source) override;
    bool MouseMove() const { return FMouseMove; }
    void SetMouseMove(bool value) { FMouseMove = value; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    int Position() const { return FPosition; }
    void SetPosition(int value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);

private:
    bool FMouseMove = false;
    bool FVisible = true;
    int FPosition = 80;
    TColor FColor = clSilver;
    TPenStyle FStyle = psSolid;
};

class TTextLineDivider : public TTextPersistent {
public:
    const char* ClassName() const override { return "TTextLineDivider"; }
    void Assign(const TTextPersistent& source) override;
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TPenStyle Style() const { return FStyle; }
    void SetStyle(TPenStyle value);

private:
    bool FVisible = false;
    TColor FColor = clRed;
    TPenStyle FStyle = psSolid;
};

enum TTextWordWrapStyle { wwsClientWidth, wwsRightEdge, wwsSpecified };

class TTextWordWrap : public TTextPersistent {
public:
    TTextWordWrap();
    const char* ClassName() const override { return "TTextWordWrap"; }
    void Assign(const TTextPersistent& source) override;
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    int Position() const { return FPosition; }
    void SetPosition(int value);
    TTextWordWrapStyle Style() const { return FStyle; }
    void SetStyle(TTextWordWrapStyle value);
    TTextGlyph& Indicator() { return FIndicator; }
    const TTextGlyph& Indicator() const { return FIndicator; }
    void SetIndicator(const TTextGlyph& value);

private:
    bool FEnabled = false;
    int FPosition = 80;
    TTextWordWrapStyle FStyle = wwsClientWidth;
    TTextGlyph FIndicator;
};

// The scroll-bar state handed to and from the custom scroll-bar events.
struct TTextScrollInfo {
    unsigned Mask = 0;
    int Min = 0;
    int Max = 0;
    unsigned Page = 0;
    int Pos = 0;
    int TrackPos = 0;
};
enum TTextScrollInfoMask : unsigned { sifRange = 1, sifPage = 2, sifPos = 4, sifDisableNoScroll = 8, sifTrackPos = 16 };

class TTextScrollBars;

// Lets an application replace the standard scroll-bar calls by events.
class TTextEditScrollBar {
public:
    TTextEditScrollBar() = default;
    ~TTextEditScrollBar();
    TTextEditScrollBar(const TTextEditScrollBar&) = delete;
    TTextEditScrollBar& operator=(const TTextEditScrollBar&) = delete;

    bool GetScrollInfo(TTextScrollInfo& info);
    int SetScrollInfo(const TTextScrollInfo& info, bool redraw);
    bool ShowScrollBar(bool show);
    bool EnableScrollBar(int arrows);
    void Assign(const TTextEditScrollBar& source);

    std::function<bool(TTextEditScrollBar* sender, TTextScrollInfo& info)> OnGetScrollInfo;
    std::function<int(TTextEditScrollBar* sender, const TTextScrollInfo& info, bool redraw)> OnSetScrollInfo;
    std::function<bool(TTextEditScrollBar* sender, bool show)> OnShowScrollBar;
    std::function<bool(TTextEditScrollBar* sender, int arrows)> OnEnabledScrollBar;

private:
    friend class TTextScrollBars;
    TTextScrollBars* FOwner = nullptr;
};

enum TScrollBarsStyle { sbsRegular, sbsEncarta, sbsFlat, sbsCustom };
enum TScrollHintFormat { shfTopLineOnly, shfTopToBottom };

class TTextScrollBars : public TTextPersistent {
public:
    TTextScrollBars() = default;
    ~TTextScrollBars() override;
    const char* ClassName() const override { return "TTextScrollBars"; }
    // From anything but another TTextScrollBars: nothing happens.
    void Assign(const TTextPersistent& source) override;
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    TScrollBarsStyle Style() const { return FStyle; }
    void SetStyle(TScrollBarsStyle value);
    TTextEditScrollBar* Horizontal() const { return FHorizontal; }
    void SetHorizontal(TTextEditScrollBar* value);
    TTextEditScrollBar* Vertical() const { return FVertical; }
    void SetVertical(TTextEditScrollBar* value);
    TColor HintColor() const { return FHintColor; }
    void SetHintColor(TColor value) { FHintColor = value; }
    TScrollHintFormat HintFormat() const { return FHintFormat; }
    void SetHintFormat(TScrollHintFormat value) { FHintFormat = value; }

private:
    friend class TTextEditScrollBar;
    void Forget(TTextEditScrollBar* bar);
    TScrollStyle FScrollBars = ssBoth;
    TScrollBarsStyle FStyle = sbsRegular;
    TTextEditScrollBar* FHorizontal = nullptr;
    TTextEditScrollBar* FVertical = nullptr;
    TColor FHintColor = clInfoBk;
    TScrollHintFormat FHintFormat = shfTopLineOnly;
};

enum TTextCollapsingMarkStyle { msSquare, msEllipse };
enum TTextCodeFoldingChanges { fcEnabled, fcRefresh, fcRescan };

class TTextCodeFolding : public TTextPersistent {
public:
    TTextCodeFolding();
    const char* ClassName() const override { return "TTextCodeFolding"; }
    void Assign(const TTextPersistent& source) override;
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value);
    bool CollapsedCodeHint() const { return FCollapsedCodeHint; }
    void SetCollapsedCodeHint(bool value);
    TColor CollapsedLineColor() const { return FCollapsedLineColor; }
    void SetCollapsedLineColor(TColor value);
    TTextCollapsingMarkStyle CollapsingMarkStyle() const { return FCollapsingMarkStyle; }
    void SetCollapsingMarkStyle(TTextCollapsingMarkStyle value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    TFoldRegions& FoldRegions() { return FFoldRegions; }
    TColor FolderBarColor() const { return FFolderBarColor; }
    void SetFolderBarColor(TColor value);
    TColor FolderBarLinesColor() const { return FFolderBarLinesColor; }
    void SetFolderBarLinesColor(TColor value);
    bool HighlighterFoldRegions() const { return FHighlighterFoldRegions; }
    void SetHighlighterFoldRegions(bool value);
    bool HighlightIndentGuides() const { return FHighlightIndentGuides; }
    void SetHighlightIndentGuides(bool value);
    bool IndentGuides() const { return FIndentGuides; }
    void SetIndentGuides(bool value);
    bool ShowCollapsedLine() const { return FShowCollapsedLine; }
    void SetShowCollapsedLine(bool value);
    std::function<void(TTextCodeFoldingChanges event)> OnChange;

private:
    void Changed(TTextCodeFoldingChanges event);
    bool FCaseSensitive = false;
    bool FCollapsedCodeHint = true;
    TColor FCollapsedLineColor = clDefault;
    TTextCollapsingMarkStyle FCollapsingMarkStyle = msSquare;
    bool FEnabled = false;
    TFoldRegions FFoldRegions;
    TColor FFolderBarColor = clDefault;
    TColor FFolderBarLinesColor = clDefault;
    bool FHighlighterFoldRegions = true;
    bool FHighlightIndentGuides = true;
    bool FIndentGuides = true;
    bool FShowCollapsedLine = true;
};

enum TTextBackgroundRepeatMode { brmNone, brmVert, brmHori, brmAll };

class TTextEditBackground : public TTextPersistent {
public:
    const char* ClassName() const override { return "TTextEditBackground"; }
    void Assign(const TTextPersistent& source) override;
    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    TTextBackgroundRepeatMode RepeatMode() const { return FRepeatMode; }
    void SetRepeatMode(TTextBackgroundRepeatMode value);
    const TBitmap& Background() const { return FBackground; }
    void SetBackground(const TBitmap& value);
    // Draws the part of the picture under sourceRect (document coordinates)
    // into destRect, over backColor.
    void Draw(TCanvas& canvas, const QRect& sourceRect, const QRect& destRect, TColor backColor) const;

private:
    bool FVisible = false;
    TTextBackgroundRepeatMode FRepeatMode = brmNone;
    TBitmap FBackground;
};

// The base of a search engine; the system has none.
class TTextEditSearchCustom {
public:
    virtual ~TTextEditSearchCustom() = default;
    virtual QString Pattern() const = 0;
    virtual void SetPattern(const QString& value) = 0;
    virtual int ResultCount() const = 0;
    virtual int Results(int index) const = 0;
    virtual int Lengths(int index) const = 0;
    virtual int FindAll(const QString& newText) = 0;
    virtual QString Replace(const QString& text, const QString& replacement) = 0;
    virtual void SetOptions(unsigned value) = 0;
    virtual QString Replacement() const = 0;
    virtual bool Matches(const QString& text) const = 0;
};
