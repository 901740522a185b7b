#include "editing/RDEdit.h"

TCustomRichDocEdit::TCustomRichDocEdit(QWidget* parent) : TCustomRichDoc(parent) {}

TCustomRichDocEdit::~TCustomRichDocEdit() = default;

TRDEditRDData* TCustomRichDocEdit::EditData() const
{
    return static_cast<TRDEditRDData*>(DocumentData());
}

std::unique_ptr<TRichDocRDData> TCustomRichDocEdit::CreateDocumentData()
{
    return std::make_unique<TRDEditRDData>(this);
}
