#pragma once

// A formatted document for the layout tests and benchmarks: its owner answers
// a client size that the test sets, margins 5, and measures on an 800 x 600
// image.

#include <memory>
#include <string>
#include <vector>

#include <QtCore/QRect>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtWidgets/QWidget>

#include "RDTestFormattedDataBase.h"
#include "viewer/RDScroll.h"
#include "Graphics.h"

class TLayoutData : public TTestFormattedDataBase {
public:
    // dpi: the resolution of the measuring image (another device than the screen when not 96).
    explicit TLayoutData(TRDStyle* sheet, int dpi = 96) : TTestFormattedDataBase(sheet)
    {
        ControlFlags = cfSwallowWrapSpaces;
        Image = QImage(800, 600, QImage::Format_RGB32);
        Image.setDotsPerMeterX(qRound(dpi / 0.0254));
        Image.setDotsPerMeterY(qRound(dpi / 0.0254));
        Painter = std::make_unique<QPainter>(&Image);
        Canvas = std::make_unique<TCanvas>(*Painter);
    }
    ~TLayoutData() override
    {
        Clear();
        ClearFormatting();
        Canvas.reset();
        Painter->end();
    }
    QImage Image;
    std::unique_ptr<QPainter> Painter;
    std::unique_ptr<TCanvas> Canvas;
    int ClientWidth = 118, ClientHeight = 400, MinText = 0, MaxText = 0;
    int VOffset = 0;

    int GetLeftMargin() override { return 5; }
    int GetRightMargin() override { return 5; }
    int GetTopMargin() override { return 5; }
    int GetBottomMargin() override { return 5; }
    int GetMinTextWidth() override { return MinText; }
    int GetMaxTextWidth() override { return MaxText; }
    int GetWidth() override { return ClientWidth; }
    int GetHeight() override { return ClientHeight; }
    // Set to narrow the client on each report of the size (a scroll bar appears).
    int NarrowBy = 0;
    int SizeReports = 0;
    void SetDocumentSize(int, int, bool) override
    {
        ++SizeReports;
        ClientWidth -= NarrowBy;
    }
    int HOffset = 0;
    int GetHOffset() override { return HOffset; }
    int GetVOffset() override { return VOffset; }
    void ScrollToV(int y, bool) override { VOffset = y; }
    TCanvas* GetCanvas() override { return Canvas.get(); }
    QWidget* Owner = nullptr;
    TRDWidgetHost OwnerHost;
    TRDHost* GetHost() override
    {
        OwnerHost.Control = Owner;
        return Owner ? &OwnerHost : nullptr;
    }
    std::vector<TCustomRDFormattedData*> PlacedReports;
    void ControlsPlacedHook(TCustomRDFormattedData* data) override { PlacedReports.push_back(data); }
    // Where points given to this document start, as a document nested in an item.
    int PointOriginX = 0, PointOriginY = 0;
    void GetPointOrigin(int& x, int& y) override
    {
        x = PointOriginX;
        y = PointOriginY;
    }
    // Styles the cache of the last pass measured.
    int LastMeasured = -1;
    void ReleaseFontInfoCache(TRDFontInfoCache*& cache) override
    {
        if (cache)
            LastMeasured = cache->MeasuredCount;
        TCustomRDFormattedData::ReleaseFontInfoCache(cache);
    }
    std::vector<QRect> Invalidated;
    int Updates = 0;
    void InvalidateRect(const QRect& rect) override { Invalidated.push_back(rect); }
    void UpdateControl() override { ++Updates; }

    // The hooks around the selection, in the order they ran.
    std::vector<std::string> Hooks;
    void BeforeCaretMove() override { Hooks.push_back("caret"); }
    void DestroyInplaceEditor() override { Hooks.push_back("editor"); }
    void UnchooseAllBut(TCustomRDItemInfo* keep) override
    {
        Hooks.push_back("unchoose");
        TCustomRDFormattedData::UnchooseAllBut(keep);
    }
    void AfterMouseSelection(bool changed) override { Hooks.push_back(changed ? "after" : "after unchanged"); }
    void DoSelect() override { Hooks.push_back("select"); }

    void Format() { DoFormat(false, true, true, false, false, nullptr, 0, false); }
};
