#pragma once

// The neutral answers of a formatted root document of the tests and
// benchmarks, over those of any root document (RDTestDataBase.h): a document
// of no size and no margins that does not scroll, has no canvas and reports
// its size to no one. A test document overrides what it tests; one that
// formats answers a canvas and a width, and clears itself in its destructor
// while its answers still hold.

#include "RDTestDataBase.h"
#include "layout/CRDFData.h"

class TTestFormattedDataBase : public TTestRDDataAnswers<TCustomRDFormattedData> {
public:
    using TTestRDDataAnswers::TTestRDDataAnswers;

    int GetScrollWidth() override { return GetWidth(); }
    int GetScrollHeight() override { return DocumentHeight; }
    int GetLeftMargin() override { return 0; }
    int GetRightMargin() override { return 0; }
    int GetTopMargin() override { return 0; }
    int GetBottomMargin() override { return 0; }
    int GetMinTextWidth() override { return 0; }
    int GetMaxTextWidth() override { return 0; }
    int GetWidth() override { return 0; }
    int GetHeight() override { return 0; }
    void SetDocumentSize(int, int, bool) override {}
    void AdjustVScrollUnits() override {}
    void ScrollToV(int, bool) override {}
    void ScrollToH(int) override {}
    int GetVSmallStep() override { return 10; }
    TCanvas* GetCanvas() override { return nullptr; }
};
