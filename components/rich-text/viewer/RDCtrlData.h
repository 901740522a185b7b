#pragma once

// What every document shown by a control has beyond its layout: the item that
// holds the keyboard focus and buffered painting of a rectangle of the window.

#include <vector>

#include <QtCore/QPoint>
#include <QtCore/QRect>
#include <QtCore/QString>

#include "layout/CRDFData.h"

class TCanvas;
class QWidget;

enum class TRDTabNavigationType : uint8_t { rdtnNone, rdtnTab, rdtnCtrlTab };

class TRDControlData : public TCustomRDFormattedData {
public:
    TRDControlData();

    // The item, inside FocusedItemData (this document or one nested in it),
    // that has the keyboard focus; -1 and nullptr when none. (The formatted
    // document's own FocusedItemNo counts items of this document.)
    int FocusedItemNo = -1;
    TCustomRDFormattedData* FocusedItemData = nullptr;
    TRDTabNavigationType TabNavigation = TRDTabNavigationType::rdtnTab;

    // The item that had the focus is told it lost it.
    using TCustomRDFormattedData::SetFocusedItem;
    void SetFocusedItem(int itemNo, TCustomRDFormattedData* data, int subItemNo);
    // The focused item acts as if clicked from the keyboard.
    void ActivateFocusedItem();
    // A click focuses an item that takes the focus itself, when focus navigation is on.
    void FocusClickedItem(TCustomRDFormattedData* data, int itemNo) override;
    // Tab navigation: the focus goes to the next item that takes it (the one
    // before with backward), from the focused item or from the item holding
    // fromControl; past the last one, to the next widget in the tab order of
    // the control's window. fromControl: the widget the focus comes from, or nil.
    void MoveFocus(bool backward, QWidget* fromControl);
    // The rectangles (client coordinates, one pixel larger than the draw items
    // on every side) of the focused item's focus frame; none when no item is
    // focused or the focused item draws no frame.
    std::vector<QRect> FocusRects();
    // Draws the focus frames inverted onto canvas, whose point (0, 0) is client point origin.
    void DrawFocusRects(TCanvas& canvas, QPoint origin = QPoint());
    // Has the focus frames painted again (without them, when the focus is gone).
    void InvalidateFocusRects();
    // The control that takes the keyboard focus for the document (the viewer's
    // document names the viewer).
    virtual QWidget* FocusControl() = 0;
    void DrawOverlay(TCanvas& canvas, int dx, int lastDrawItem, int firstDrawItem, int dy) override;
    void ClearFormatting() override;
    // Drops the item focus, then the selection; a nested call does nothing.
    void Deselect(TCustomRDItemInfo* keep = nullptr, bool notify = false) override;

    // The current-line band and the caret index, handed to the background when it paints.
    bool GetHasSelectColor() const { return HasSelectColor; }
    void SetHasSelectColor(bool value) { HasSelectColor = value; }
    TColor GetSelectColor() const { return SelectColor; }
    void SetSelectColor(TColor value) { SelectColor = value; }
    int GetCursorPos() const { return CursorPos; }
    void SetCursorPos(int value) { CursorPos = value; }

    // Paints clip (client coordinates) of the window onto canvas: the
    // background, then the document, into a buffer whose point (0, 0) is the
    // clip's corner. Nothing raised while the document paints gets out: the
    // rest stays painted and "Error:" with the message is written at the top
    // left in red. Answers whether that happened.
    virtual bool PaintBuffered(TCanvas& canvas, const QRect& clip);
    // The message of the last failed paint (empty after a good one).
    QString LastPaintError;

protected:
    // The two steps of the buffered painting; canvas point (0, 0) is clip's corner.
    virtual void PaintBufferedBackground(TCanvas& canvas, const QRect& clip) = 0;
    virtual void PaintBufferedDocument(TCanvas& canvas, const QRect& clip) = 0;
};
