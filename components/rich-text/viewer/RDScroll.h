#pragma once

// The scrolling control the viewer, the editor and the cell editor derive
// from: its own scroll model (a vertical position in steps of VSmallStep
// pixels, a horizontal one in pixels) driving the two scroll bars, moving the
// view and the embedded widgets, and the border.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include <QtWidgets/QAbstractScrollArea>

#include "Forms.h"

#include "document/RDDocTypes.h"
#include "document/RDHost.h"
#include "styles/RDTextStyles.h"
#include "StdControls.h"  // the true top of an embedded control, kept in its Tag

class TCustomRDFormattedData;
class TCustomRDItemInfo;


// The scroll commands of the two bars and the keys.
enum class TRDScrollCode : uint8_t {
    SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN, SB_THUMBPOSITION, SB_THUMBTRACK, SB_TOP, SB_BOTTOM, SB_ENDSCROLL
};

// One colour of a logical palette.
struct TRDPaletteEntry {
    uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
};
// A logical palette: the 6 x 6 x 6 colour cube of a palette display.
struct TRDLogPalette {
    uint16_t palVersion = 0x300;
    uint16_t palNumEntries = 216;
    std::array<TRDPaletteEntry, 216> palPalEntry{};
};

// The most vertical scroll steps a document is divided into; a taller document
// takes larger steps.
constexpr int MaxStepsInDocument = 32000;

// The host of the documents a control shows: their calls go to the widget
// they are painted on (a scroller's viewport).
class TRDWidgetHost final : public TRDHost {
public:
    explicit TRDWidgetHost(QWidget* control = nullptr) : Control(control) {}
    QWidget* Control;

    void InvalidateRect(const QRect& rect) override;
    void Invalidate() override;
    void Repaint() override;
    void Update() override;
    bool UpdatesEnabled() const override;
    void SetUpdatesEnabled(bool value) override;
    bool HasChildControls() const override;
    void InsertControl(QWidget& control) override;
    bool ChildHostOrigin(const TRDHost& child, QPoint& origin) const override;
    QPoint ClientToScreen(const QPoint& point) const override;
    QPoint ScreenToClient(const QPoint& screen) const override;
    void SetCursor(const QCursor& cursor) override;
    bool Focused() const override;
    QWidget* EventControl() const override { return Control; }
};

class TRDScroller : public QAbstractScrollArea {
public:
    explicit TRDScroller(QWidget* parent = nullptr);
    ~TRDScroller() override;

    // Fields of the scroll model.
    int VSmallStep = 1;
    bool FullRedraw = false;
    bool InScrollBarUpdate = false;
    int VMax = 0, VPage = 0;
    int HMax = 0, HPage = 0;
    bool KeepVScrollBar = false;
    int HPos = 0;
    int VPos = 0;
    int DocWidth = 0;
    int DocHeight = 0;
    bool KeyboardScroll = true;
    TCustomRDItemInfo* ChosenItem = nullptr;
    TCustomRDFormattedData* ChosenData = nullptr;
    int LineStep = 1;
    int WheelStep = 2;
    // No display here works with a palette: these stay empty.
    void* PaletteHandle = nullptr;
    std::unique_ptr<TRDLogPalette> LogPalette;

    std::function<void(QObject* sender)> OnVScrolled;
    std::function<void(QObject* sender)> OnHScrolled;
    std::function<void(QObject* sender)> OnResize;

    // Published properties.
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    TRDBiDiMode BiDiMode() const { return FBiDiMode; }
    virtual void SetBiDiMode(TRDBiDiMode value);
    TRDPaletteAction DoInPaletteMode() const { return FDoInPaletteMode; }
    virtual void SetDoInPaletteMode(TRDPaletteAction value);
    bool HScrollVisible() const { return FHScrollVisible; }
    void SetHScrollVisible(bool value);
    bool VScrollVisible() const { return FVScrollVisible; }
    void SetVScrollVisible(bool value);
    bool Tracking() const { return FTracking; }
    void SetTracking(bool value);
    bool UseXPThemes() const { return FUseXPThemes; }
    void SetUseXPThemes(bool value);
    // True while the border is drawn as the style's line-edit frame.
    bool ThemedBorder() const { return FThemeOpen; }

    // The window: made on the first show or on demand; until then scroll
    // calls store nothing about positions.
    bool HandleAllocated() const { return FWindowCreated; }
    void HandleNeeded();
    // Rebuilds the window state (border, bar side), as a change of
    // BorderStyle or BiDiMode does.
    void RecreateWnd();
    bool Destroying() const { return FDestroying; }

    virtual void SetVPos(int pos, bool redraw);
    virtual void SetHPos(int pos);
    virtual void SetVSmallStep(int step) { VSmallStep = step; }
    virtual void ResetScrollPositions();
    virtual void UpdateScrollBarsForClient();
    virtual int DefaultVSmallStep() { return 10; }
    virtual std::unique_ptr<TRDLogPalette> CreateLogPalette();
    virtual void UpdatePalette();

    void ScrollTo(int pos) { SetVPos(pos, true); }
    void ScrollToPixels(int y) { SetVPos(y / VSmallStep, true); }
    void ScrollToPixelsNoRedraw(int y) { SetVPos(y / VSmallStep, false); }
    void UpdateScrollBars(int docWidth, int docHeightInSteps, bool keepBar, bool setHorizontal);
    void MoveControls(int dx, int dy);
    // The vertical step for a document of documentHeight pixels, so that the
    // height in steps stays within 32000 (thumb positions are 16-bit values
    // where documents are exchanged); back to 10 pixels as soon as that fits.
    void AdjustVScrollUnits(int documentHeight);

    // The bars' and keys' commands (pos is read for the thumb codes).
    void VScroll(TRDScrollCode code, int pos = 0);
    void HScroll(TRDScrollCode code, int pos = 0);
    // A turn of the wheel by one notch; answers whether it was handled.
    bool DoMouseWheelDown();
    bool DoMouseWheelUp();

    // The editor opened over the chosen sub-document (cells of tables).
    virtual TRDScroller* GetInplaceEditor() { return nullptr; }
    virtual void DestroyInplaceEditor() {}
    void SetChosenData(TCustomRDFormattedData* data, TCustomRDItemInfo* item);
    void SetChosenDataOnly(TCustomRDFormattedData* data);
    void UnchooseData(TCustomRDFormattedData* data);
    bool HasFocusWithin();

    int ClientWidth() const;
    int ClientHeight() const;
    // The host of the documents shown on the viewport.
    TRDHost* ViewportHost() { return &FViewportHost; }

protected:
    // Run when the window is made (and made again); derived controls extend them.
    virtual void CreateWnd();
    virtual void DoVScrolled();
    virtual void DoHScrolled();
    virtual void BeforeScroll() {}
    virtual void CreateThemeHandle();
    virtual void FreeThemeHandle();

    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void scrollContentsBy(int, int) override {}

    bool FDestroying = false;

private:
    void ApplyBorder();
    void ApplyBarSide();
    void BarAction(bool vertical, int action);
    void BarValueChanged(bool vertical, int value);
    void ScrollLinesBy(int steps);
    bool WheelNotch(bool down);
    void PaintFrame();
    void SetVBar(int keepBarMode);
    void HideBar(Qt::Orientation orientation);

    TBorderStyle FBorderStyle = TBorderStyle::bsNone;
    TRDBiDiMode FBiDiMode = TRDBiDiMode::rdbdUnspecified;
    TRDPaletteAction FDoInPaletteMode = TRDPaletteAction::rdpaCreateCopies;
    bool FHScrollVisible = true;
    bool FVScrollVisible = true;
    bool FTracking = true;
    bool FUseXPThemes = true;
    bool FThemeOpen = false;
    bool FWindowCreated = false;
    bool FInBarSync = false;
    int FWheelRemainder = 0;
    TRDWidgetHost FViewportHost;
};
