#pragma once

// Speak and record for audio lessons ("口语模仿"): the lesson's waveform, the
// recording's waveform under it, the recording bar, the sentence list.

#include "USpeakScreen.h"

class TFrmStudySpeak : public TSpeakScreen {
    Q_OBJECT
public:
    explicit TFrmStudySpeak(QWidget* parent = nullptr);

    static TTransportOptions TransportOptions();
};
