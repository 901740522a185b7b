#pragma once

// Speak and record for video lessons ("口语模仿"): the video with the
// recording bar under it, the cue list below.

#include "USpeakScreen.h"

class TFrmVStudySpeak : public TSpeakScreen {
    Q_OBJECT
public:
    explicit TFrmVStudySpeak(QWidget* parent = nullptr);
};
