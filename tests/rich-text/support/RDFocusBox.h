#pragma once

// A test item for keyboard focus among the items of a rich-text document.

#include <string>
#include <vector>

#include "document/RDItem.h"

// A non-text item of 30 x 20 that may take the keyboard focus (and then
// draw a focus frame); it records what it is told.
class TFocusBox : public TRDRectItemInfo {
public:
    TFocusBox(TCustomRDData* data, bool takesFocus, std::vector<std::string>* log, int id)
        : TRDRectItemInfo(data), TakesFocus(takesFocus), Log(log), Id(id)
    {
        StyleNo = -20;
    }
    TCustomRDItemInfo* CreateSameClass(TCustomRDData* data) const override
    {
        return new TFocusBox(data, TakesFocus, Log, Id);
    }
    int GetWidthEx() const override { return 30; }
    int GetHeightEx() const override { return 20; }
    bool GetBoolValueEx(int id, const TRDStyle* style) const override
    {
        if (id == 3 || id == 5)
            return TakesFocus;
        return TRDRectItemInfo::GetBoolValueEx(id, style);
    }
    void Paint(TCanvas&, int, int, int, uint16_t, const TRDStyle*, const TRDDrawLineInfo*,
               TCustomRDData*) const override
    {
    }
    void Focusing() override { Log->push_back("focus " + std::to_string(Id)); }
    void ClearFocus() override { Log->push_back("clear " + std::to_string(Id)); }
    void Execute(TCustomRDData*) override { Log->push_back("execute " + std::to_string(Id)); }
    bool TakesFocus;
    std::vector<std::string>* Log;
    int Id;
};
