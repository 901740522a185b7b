#pragma once

// Browse and recite for audio lessons ("浏览背诵"): the lesson plays sentence
// by sentence over its waveform, the sentence list below with the English and
// Chinese lines side by side.

#include "USentenceScreen.h"

class TFrmBrowseRecite : public TSentenceScreen {
    Q_OBJECT
public:
    explicit TFrmBrowseRecite(QWidget* parent = nullptr);

    static TTransportOptions TransportOptions();
};
