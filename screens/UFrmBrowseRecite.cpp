#include "UFrmBrowseRecite.h"

#include <QtWidgets/QVBoxLayout>

namespace {
constexpr int PlayerHeight = 151;
}

TTransportOptions TFrmBrowseRecite::TransportOptions()
{
    return TTransportOptions();
}

TFrmBrowseRecite::TFrmBrowseRecite(QWidget* parent) : TSentenceScreen(parent, false, false, TransportOptions())
{
    SetCaption(QStringLiteral("浏览背诵"));
    FTopLayout->addWidget(panContain);
    SetTopHeight(PlayerHeight);
}
