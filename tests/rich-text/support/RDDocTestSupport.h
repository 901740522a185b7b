#pragma once

// A style sheet and a root document of the tests' own.

#include <deque>
#include <memory>

#include "RDTestDataBase.h"

class TTestStyleSheet : public TRDStyle {
public:
    TTestStyleSheet()
    {
        SpacesInTab = 8;
        ParaStyles().Add()->StyleName = QStringLiteral("Third");
    }
};

// The root document of the document and item tests: a main document that
// keeps its properties and shows item hints where a test sees them.
class TTestRDData : public TTestRDDataBase {
public:
    explicit TTestRDData(TRDStyle* sheet = nullptr) : TTestRDDataBase(sheet) { ControlFlags = rdcfMainDocument; }

    QStringList Properties;
    QStringList* GetDocProperties() override { return &Properties; }
    QString ShownHint;
    void ShowItemHint(const QString& hint) override { ShownHint = hint; }
};

// A document inside item ParentItemNo of Parent, at a place inside it.
class TTestLocation : public TRDLocation {
public:
    explicit TTestLocation(int place) : Place(place) {}
    int Place;
    int Compare(const TRDLocation& other) const override
    {
        return Place - static_cast<const TTestLocation&>(other).Place;
    }
};

class TTestSubData : public TTestRDData {
public:
    TTestSubData(TCustomRDData* parent, int parentItemNo, int place)
        : TTestRDData(parent->GetRDStyle()), Parent(parent), ParentItemNo(parentItemNo), Place(place)
    {
    }
    TCustomRDData* Parent;
    int ParentItemNo;
    int Place;
    TCustomRDData* GetParentData() override { return Parent; }
    TCustomRDData* GetAbsoluteParentData() override { return Parent; }
    void GetParentInfo(int& parentItemNo, std::unique_ptr<TRDLocation>& location) override
    {
        parentItemNo = ParentItemNo;
        location = std::make_unique<TTestLocation>(Place);
    }
};

// A document with a selection.
class TTestSelectionData : public TTestRDData {
public:
    using TTestRDData::TTestRDData;
    TRDSaveRange Selection;
    void GetSaveRange(int scope, TRDSaveRange& range) override
    {
        if (scope == 1)
            range = Selection;
        else
            TTestRDData::GetSaveRange(scope, range);
    }
};
