#pragma once

// Browse and recite for video lessons ("视频浏览"): the video plays cue by
// cue with its subtitles, the cue list below.

#include "USentenceScreen.h"

class TFrmVideoBrowseRecite : public TSentenceScreen {
    Q_OBJECT
public:
    explicit TFrmVideoBrowseRecite(QWidget* parent = nullptr);

    static TTransportOptions TransportOptions();
};
