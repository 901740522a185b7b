#include "TextEditOptions.h"

#include <QtGui/QPainter>

namespace {

template <typename T, typename F>
void Store(T& field, const T& value, F&& changed)
{
    if (field == value)
        return;
    field = value;
    changed();
}

bool SameFont(const TFont& a, const TFont& b)
{
    return a.Name == b.Name && a.Size == b.Size && a.Color == b.Color && a.Bold == b.Bold && a.Italic == b.Italic
        && a.Underline == b.Underline && a.StrikeOut == b.StrikeOut;
}

// Draws rows of a picture with a transparent colour, centred on a line of
// lineHeight pixels (the middle rows when the line is lower than the picture).
void DrawCentred(TCanvas& canvas, const QImage& picture, int x, int y, int lineHeight)
{
    const int h = picture.height();
    if (lineHeight < h)
        canvas.Painter().drawImage(QPoint(x, y), picture, QRect(0, (h - lineHeight) / 2, picture.width(), lineHeight));
    else
        canvas.Painter().drawImage(QPoint(x, y + (lineHeight - h) / 2), picture);
}

QImage MaskedImage(const TBitmap& bitmap, TColor mask)
{
    if (mask == clNone)
        return bitmap.Image();
    TBitmap copy;
    copy.Assign(bitmap.Image());
    copy.SetTransparentColor(ColorToRGB(mask));
    copy.SetTransparent(true);
    return copy.DrawImage();
}

}  // namespace

void TTextPersistent::Assign(const TTextPersistent& source)
{
    AssignError(source);
}

void TTextPersistent::AssignError(const TTextPersistent& source) const
{
    throw EConvertError(QStringLiteral("Cannot assign a %1 to a %2")
                            .arg(QLatin1String(source.ClassName()), QLatin1String(ClassName())));
}

// ---------------------------------------------------------------- selection colours

void TTextSelectedColor::SetBackground(TColor value) { Store(FBackground, value, [this] { Changed(); }); }
void TTextSelectedColor::SetForeground(TColor value) { Store(FForeground, value, [this] { Changed(); }); }

void TTextSelectedColor::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextSelectedColor*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    FBackground = src->FBackground;
    FForeground = src->FForeground;
    Changed();
}

// ---------------------------------------------------------------- gutter

TTextGutter::TTextGutter()
{
    FFont.Name = QStringLiteral("Courier New");
    FFont.Size = 8;
}

#define PIBO_GUTTER_SETTER(Type, Name)                                                                           \
    void TTextGutter::Set##Name(Type value) { Store(F##Name, value, [this] { Changed(); }); }
PIBO_GUTTER_SETTER(bool, ShowLineModified)
PIBO_GUTTER_SETTER(TColor, LineModifiedColor)
PIBO_GUTTER_SETTER(TColor, LineNormalColor)
PIBO_GUTTER_SETTER(bool, Intens)
PIBO_GUTTER_SETTER(bool, AutoSize)
PIBO_GUTTER_SETTER(TColor, Color)
PIBO_GUTTER_SETTER(bool, LeadingZeros)
PIBO_GUTTER_SETTER(TColor, LeftOffsetColor)
PIBO_GUTTER_SETTER(TColor, RightOffsetColor)
PIBO_GUTTER_SETTER(bool, ShowLineNumbers)
PIBO_GUTTER_SETTER(bool, UseFontStyle)
PIBO_GUTTER_SETTER(bool, Visible)
PIBO_GUTTER_SETTER(bool, ZeroStart)
PIBO_GUTTER_SETTER(TColor, BorderColor)
PIBO_GUTTER_SETTER(bool, Gradient)
PIBO_GUTTER_SETTER(TColor, GradientStartColor)
PIBO_GUTTER_SETTER(TColor, GradientEndColor)
#undef PIBO_GUTTER_SETTER

void TTextGutter::SetBorderStyle(TTextGutterBorderStyle value)
{
    FBorderStyle = value;  // notifies even when unchanged
    Changed();
}

void TTextGutter::SetDigitCount(int value)
{
    value = MinMax(value, 2, 12);
    if (FDigitCount == value)
        return;
    FDigitCount = value;
    FAutoSizeDigitCount = value;
    Changed();
}

void TTextGutter::SetLeftOffset(int value) { Store(FLeftOffset, std::max(value, 0), [this] { Changed(); }); }
void TTextGutter::SetRightOffset(int value) { Store(FRightOffset, std::max(value, 0), [this] { Changed(); }); }
void TTextGutter::SetWidth(int value) { Store(FWidth, std::max(value, 0), [this] { Changed(); }); }

void TTextGutter::SetLineNumberStart(int value)
{
    if (value == FLineNumberStart)
        return;
    FLineNumberStart = std::max(value, 0);
    FZeroStart = FLineNumberStart == 0;
    Changed();
}

void TTextGutter::SetGradientSteps(int value)
{
    if (value == FGradientSteps)
        return;
    FGradientSteps = std::max(value, 2);
    Changed();
}

void TTextGutter::SetFont(const TFont& value)
{
    if (SameFont(FFont, value))
        return;
    FFont = value;
    Changed();
}

void TTextGutter::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextGutter*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    const TCursor cursor = FCursor;
    const TColor left = FLeftOffsetColor;
    const TColor right = FRightOffsetColor;
    auto onChange = std::move(OnChange);
    *this = *src;
    OnChange = std::move(onChange);
    FCursor = cursor;
    FLeftOffsetColor = left;
    FRightOffsetColor = right;
    Changed();
}

int TTextGutter::ShownNumber(int line) const
{
    if (FZeroStart)
        return line - 1;
    if (FLineNumberStart > 1)
        return line + FLineNumberStart - 1;
    return line;
}

void TTextGutter::FitDigitCount(int lineCount)
{
    if (FVisible && FAutoSize && FShowLineNumbers) {
        const int digits = static_cast<int>(QString::number(ShownNumber(lineCount)).size());
        const int fitted = std::max(digits, FDigitCount);
        if (fitted != FAutoSizeDigitCount) {
            FAutoSizeDigitCount = fitted;
            Changed();
        }
    } else {
        FAutoSizeDigitCount = FDigitCount;
    }
}

QString TTextGutter::LineNumberText(int line) const
{
    QString text = QString::number(ShownNumber(line)).rightJustified(FAutoSizeDigitCount, QLatin1Char(' '));
    if (FLeadingZeros)
        for (int i = 0; i + 1 < text.size() && text.at(i) == QLatin1Char(' '); ++i)
            text[i] = QLatin1Char('0');
    return text;
}

int TTextGutter::PaintedWidth(int charWidth) const
{
    if (!FVisible)
        return 0;
    if (FShowLineNumbers)
        return FLeftOffset + FRightOffset + charWidth * FAutoSizeDigitCount + 4;
    return FWidth;
}

// ---------------------------------------------------------------- bookmark display

void TTextBookMarkOpt::SetBookmarkImages(const QList<QImage>* value)
{
    Store(FBookmarkImages, value, [this] { Changed(); });
}
void TTextBookMarkOpt::SetDrawBookmarksFirst(bool value) { Store(FDrawBookmarksFirst, value, [this] { Changed(); }); }
void TTextBookMarkOpt::SetGlyphsVisible(bool value) { Store(FGlyphsVisible, value, [this] { Changed(); }); }
void TTextBookMarkOpt::SetLeftMargin(int value) { Store(FLeftMargin, value, [this] { Changed(); }); }
void TTextBookMarkOpt::SetXoffset(int value) { Store(FXoffset, value, [this] { Changed(); }); }

void TTextBookMarkOpt::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextBookMarkOpt*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    FBookmarkImages = src->FBookmarkImages;
    FDrawBookmarksFirst = src->FDrawBookmarksFirst;
    FEnableKeys = src->FEnableKeys;
    FGlyphsVisible = src->FGlyphsVisible;
    FLeftMargin = src->FLeftMargin;
    FXoffset = src->FXoffset;
    Changed();
}

// ---------------------------------------------------------------- glyph

TTextGlyph::TTextGlyph(const QString& builtInResource, TColor builtInMaskColor)
{
    if (!builtInResource.isEmpty() && BitmapResourceExists(builtInResource)) {
        FInternalGlyph.LoadFromResourceName(builtInResource);
        FInternalMaskColor = builtInMaskColor;
    }
}

void TTextGlyph::SetGlyph(const TBitmap& value)
{
    FGlyph.Assign(value.Image());
    Changed();
}

void TTextGlyph::SetMaskColor(TColor value) { Store(FMaskColor, value, [this] { Changed(); }); }
void TTextGlyph::SetVisible(bool value) { Store(FVisible, value, [this] { Changed(); }); }

void TTextGlyph::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextGlyph*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    if (!src->FInternalGlyph.Empty()) {
        FInternalGlyph.Assign(src->FInternalGlyph.Image());
        FInternalMaskColor = src->FInternalMaskColor;
    }
    FVisible = src->FVisible;
    FGlyph.Assign(src->FGlyph.Image());
    FMaskColor = src->FMaskColor;
    Changed();
}

void TTextGlyph::Draw(TCanvas& canvas, int x, int y, int lineHeight) const
{
    if (!FGlyph.Empty())
        DrawCentred(canvas, MaskedImage(FGlyph, FMaskColor), x, y, lineHeight);
    else if (!FInternalGlyph.Empty())
        DrawCentred(canvas, MaskedImage(FInternalGlyph, FInternalMaskColor), x, y, lineHeight);
}

int TTextGlyph::Width() const
{
    if (!FGlyph.Empty())
        return FGlyph.Width();
    return FInternalGlyph.Empty() ? 0 : FInternalGlyph.Width();
}

// ---------------------------------------------------------------- active line

TTextActiveLine::TTextActiveLine()
{
    FIndicator.OnChange = [this](TTextPersistent* glyph) {
        if (OnChange)
            OnChange(glyph);
    };
}

void TTextActiveLine::SetBackground(TColor value) { Store(FBackground, value, [this] { Changed(); }); }
void TTextActiveLine::SetForeground(TColor value) { Store(FForeground, value, [this] { Changed(); }); }
void TTextActiveLine::SetVisible(bool value) { Store(FVisible, value, [this] { Changed(); }); }
void TTextActiveLine::SetIndicator(const TTextGlyph& value) { FIndicator.Assign(value); }

void TTextActiveLine::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextActiveLine*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    FBackground = src->FBackground;
    FForeground = src->FForeground;
    FVisible = src->FVisible;
    FIndicator.Assign(src->FIndicator);
    Changed();
}

// ---------------------------------------------------------------- right edge, divider

void TTextRightEdge::SetVisible(bool value) { Store(FVisible, value, [this] { Changed(); }); }
void TTextRightEdge::SetPosition(int value) { Store(FPosition, value, [this] { Changed(); }); }
void TTextRightEdge::SetColor(TColor value) { Store(FColor, value, [this] { Changed(); }); }
void TTextRightEdge::SetStyle(TPenStyle value) { Store(FStyle, value, [this] { Changed(); }); }

void TTextRightEdge::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextRightEdge*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    FMouseMove = src->FMouseMove;
    FVisible = src->FVisible;
    FPosition = src->FPosition;
    FColor = src->FColor;
    FStyle = src->FStyle;
    Changed();
}

void TTextLineDivider::SetVisible(bool value) { Store(FVisible, value, [this] { Changed(); }); }
void TTextLineDivider::SetColor(TColor value) { Store(FColor, value, [this] { Changed(); }); }
void TTextLineDivider::SetStyle(TPenStyle value) { Store(FStyle, value, [this] { Changed(); }); }

void TTextLineDivider::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextLineDivider*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    FVisible = src->FVisible;
    FColor = src->FColor;
    FStyle = src->FStyle;
    Changed();
}

// ---------------------------------------------------------------- word wrap

TTextWordWrap::TTextWordWrap() : FIndicator(QStringLiteral("TextEditWrapped"), clLime)
{
    FIndicator.OnChange = [this](TTextPersistent*) { Changed(); };
}

void TTextWordWrap::SetEnabled(bool value) { Store(FEnabled, value, [this] { Changed(); }); }
void TTextWordWrap::SetPosition(int value) { Store(FPosition, value, [this] { Changed(); }); }
void TTextWordWrap::SetStyle(TTextWordWrapStyle value) { Store(FStyle, value, [this] { Changed(); }); }
void TTextWordWrap::SetIndicator(const TTextGlyph& value) { FIndicator.Assign(value); }

void TTextWordWrap::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextWordWrap*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    FEnabled = src->FEnabled;
    FPosition = src->FPosition;
    FStyle = src->FStyle;
    FIndicator.Assign(src->FIndicator);
    Changed();
}

// ---------------------------------------------------------------- scroll bars

TTextEditScrollBar::~TTextEditScrollBar()
{
    if (FOwner)
        FOwner->Forget(this);
}

bool TTextEditScrollBar::GetScrollInfo(TTextScrollInfo& info)
{
    return OnGetScrollInfo ? OnGetScrollInfo(this, info) : false;
}

int TTextEditScrollBar::SetScrollInfo(const TTextScrollInfo& info, bool redraw)
{
    return OnSetScrollInfo ? OnSetScrollInfo(this, info, redraw) : 0;
}

bool TTextEditScrollBar::ShowScrollBar(bool show)
{
    return OnShowScrollBar ? OnShowScrollBar(this, show) : false;
}

bool TTextEditScrollBar::EnableScrollBar(int arrows)
{
    return OnEnabledScrollBar ? OnEnabledScrollBar(this, arrows) : false;
}

void TTextEditScrollBar::Assign(const TTextEditScrollBar& source)
{
    OnGetScrollInfo = source.OnGetScrollInfo;
    OnSetScrollInfo = source.OnSetScrollInfo;
    OnShowScrollBar = source.OnShowScrollBar;
    OnEnabledScrollBar = source.OnEnabledScrollBar;
}

TTextScrollBars::~TTextScrollBars()
{
    if (FHorizontal && FHorizontal->FOwner == this)
        FHorizontal->FOwner = nullptr;
    if (FVertical && FVertical->FOwner == this)
        FVertical->FOwner = nullptr;
}

void TTextScrollBars::Forget(TTextEditScrollBar* bar)
{
    if (FHorizontal == bar)
        FHorizontal = nullptr;
    if (FVertical == bar)
        FVertical = nullptr;
}

void TTextScrollBars::SetScrollBars(TScrollStyle value) { Store(FScrollBars, value, [this] { Changed(); }); }
void TTextScrollBars::SetStyle(TScrollBarsStyle value) { Store(FStyle, value, [this] { Changed(); }); }

void TTextScrollBars::SetHorizontal(TTextEditScrollBar* value)
{
    FHorizontal = value;
    if (value)
        value->FOwner = this;
}

void TTextScrollBars::SetVertical(TTextEditScrollBar* value)
{
    FVertical = value;
    if (value)
        value->FOwner = this;
}

void TTextScrollBars::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextScrollBars*>(&source);
    if (!src)
        return;
    FScrollBars = src->FScrollBars;
    FStyle = src->FStyle;
    SetHorizontal(src->FHorizontal);
    SetVertical(src->FVertical);
    FHintColor = src->FHintColor;
    FHintFormat = src->FHintFormat;
    Changed();
}

// ---------------------------------------------------------------- code folding

namespace {
// clDefault becomes clBtnFace with its lightness moved by delta.
TColor FolderColor(TColor value, int delta)
{
    if (value != clDefault)
        return value;
    const THSL hsl = ColorToHSL(clBtnFace);
    return HSLToColor(hsl.Hue, hsl.Saturation, MinMax(hsl.Lightness + delta, 0, 100));
}
}  // namespace

TTextCodeFolding::TTextCodeFolding()
{
    FFolderBarColor = clDefault;
    FFolderBarLinesColor = FolderColor(clDefault, -20);
}

void TTextCodeFolding::Changed(TTextCodeFoldingChanges event)
{
    if (OnChange)
        OnChange(event);
}

void TTextCodeFolding::SetCaseSensitive(bool value) { FCaseSensitive = value; Changed(fcRescan); }
void TTextCodeFolding::SetCollapsedCodeHint(bool value) { FCollapsedCodeHint = value; Changed(fcRefresh); }
void TTextCodeFolding::SetCollapsedLineColor(TColor value) { FCollapsedLineColor = value; Changed(fcRefresh); }
void TTextCodeFolding::SetCollapsingMarkStyle(TTextCollapsingMarkStyle value)
{
    FCollapsingMarkStyle = value;
    Changed(fcRefresh);
}
void TTextCodeFolding::SetEnabled(bool value) { FEnabled = value; Changed(fcEnabled); }
void TTextCodeFolding::SetFolderBarColor(TColor value) { FFolderBarColor = FolderColor(value, 5); Changed(fcRefresh); }
void TTextCodeFolding::SetFolderBarLinesColor(TColor value)
{
    FFolderBarLinesColor = FolderColor(value, -20);
    Changed(fcRefresh);
}
void TTextCodeFolding::SetHighlighterFoldRegions(bool value) { FHighlighterFoldRegions = value; Changed(fcRescan); }
void TTextCodeFolding::SetHighlightIndentGuides(bool value) { FHighlightIndentGuides = value; Changed(fcRefresh); }
void TTextCodeFolding::SetIndentGuides(bool value) { FIndentGuides = value; Changed(fcRefresh); }
void TTextCodeFolding::SetShowCollapsedLine(bool value) { FShowCollapsedLine = value; Changed(fcRefresh); }

void TTextCodeFolding::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextCodeFolding*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    FCaseSensitive = src->FCaseSensitive;
    FCollapsedCodeHint = src->FCollapsedCodeHint;
    FCollapsedLineColor = src->FCollapsedLineColor;
    FCollapsingMarkStyle = src->FCollapsingMarkStyle;
    FEnabled = src->FEnabled;
    FFoldRegions.Assign(src->FFoldRegions);
    FFolderBarColor = src->FFolderBarColor;
    FFolderBarLinesColor = src->FFolderBarLinesColor;
    FHighlighterFoldRegions = src->FHighlighterFoldRegions;
    FHighlightIndentGuides = src->FHighlightIndentGuides;
    FIndentGuides = src->FIndentGuides;
    FShowCollapsedLine = src->FShowCollapsedLine;
    Changed(fcRescan);
}

// ---------------------------------------------------------------- background

void TTextEditBackground::SetVisible(bool value) { Store(FVisible, value, [this] { Changed(); }); }
void TTextEditBackground::SetRepeatMode(TTextBackgroundRepeatMode value)
{
    Store(FRepeatMode, value, [this] { Changed(); });
}

void TTextEditBackground::SetBackground(const TBitmap& value)
{
    if (&value == &FBackground)
        return;
    FBackground.Assign(value.Image());
    Changed();
}

void TTextEditBackground::Assign(const TTextPersistent& source)
{
    const auto* src = dynamic_cast<const TTextEditBackground*>(&source);
    if (!src)
        return TTextPersistent::Assign(source);
    FBackground.Assign(src->FBackground.Image());
    FVisible = src->FVisible;
    FRepeatMode = src->FRepeatMode;
    Changed();
}

void TTextEditBackground::Draw(TCanvas& canvas, const QRect& sourceRect, const QRect& destRect,
                               TColor backColor) const
{
    QImage work(destRect.size(), QImage::Format_RGB32);
    work.fill(ToQColor(backColor));
    const QImage& picture = FBackground.Image();
    const int pw = picture.width();
    const int ph = picture.height();
    if (pw > 0 && ph > 0) {
        QPainter p(&work);
        const int sl = sourceRect.left();
        const int st = sourceRect.top();
        auto mod = [](int v, int m) { return ((v % m) + m) % m; };
        switch (FRepeatMode) {
        case brmNone:
            p.drawImage(QPoint(-sl, -st), picture);
            break;
        case brmVert:
            if (st >= 0 && st < ph)
                for (int x = -mod(sl, pw); x < work.width(); x += pw)
                    p.drawImage(QPoint(x, -st), picture);
            break;
        case brmHori:
            if (sl >= 0 && sl < pw)
                for (int y = -mod(st, ph); y < work.height(); y += ph)
                    p.drawImage(QPoint(-sl, y), picture);
            break;
        case brmAll:
            for (int y = -mod(st, ph); y < work.height(); y += ph)
                for (int x = -mod(sl, pw); x < work.width(); x += pw)
                    p.drawImage(QPoint(x, y), picture);
            break;
        }
    }
    canvas.Painter().drawImage(destRect.topLeft(), work);
}
