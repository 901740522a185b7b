#include "UFrmFreeCheck.h"

TFrmFreeCheck::TFrmFreeCheck(QWidget* parent) : TFrmCheckWindow(parent)
{
    setObjectName(QStringLiteral("FrmFreeCheck"));
}

void TFrmFreeCheck::FormShow()
{
    ShowResult();
}

void TFrmFreeCheck::ShowResult()
{
    if (!CheckRes)
        return;
    ShowTotals();
    ShowDocument(BuildFreeCheckDocument(*CheckRes, TypedLines));
}
