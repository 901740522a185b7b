#include "editing/RDERDData.h"

#include "editing/RDEdit.h"

TRDEditRDData::TRDEditRDData(TCustomRichDoc* owner)
    : TRichDocRDData(owner),
      UndoList(std::make_unique<TRDUndoList>(GetRootData())),
      RedoList(std::make_unique<TRDRedoList>(GetRootData()))
{
    TabNavigation = TRDTabNavigationType::rdtnNone;
}

TRDEditRDData::~TRDEditRDData() = default;

TCustomRichDocEdit* TRDEditRDData::Editor() const
{
    return static_cast<TCustomRichDocEdit*>(Owner);
}

void TRDEditRDData::ClearFormatting()
{
    TRichDocRDData::ClearFormatting();
}

void TRDEditRDData::Clear()
{
    TRichDocRDData::Clear();
}
