#include "UFrmVideoBrowseRecite.h"

#include <QtWidgets/QVBoxLayout>

namespace {
constexpr int StripHeight = 5;
constexpr int VideoPlayerHeight = 218;
}

TTransportOptions TFrmVideoBrowseRecite::TransportOptions()
{
    TTransportOptions options;
    options.RefreshAfterActions = false;
    options.SetsIsPlaying = false;
    options.AgainNeedsFileOrder = false;
    options.RestartPicksSelected = false;
    options.PlayOverRewinds = false;
    return options;
}

TFrmVideoBrowseRecite::TFrmVideoBrowseRecite(QWidget* parent)
    : TSentenceScreen(parent, true, false, TransportOptions())
{
    SetCaption(QStringLiteral("视频浏览"));
    FTopLayout->addSpacing(StripHeight);
    FTopLayout->addWidget(panContain, 1);
    SetTopHeight(StripHeight + VideoPlayerHeight);
}
