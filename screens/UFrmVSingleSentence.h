#pragma once

// Single-sentence dictation ("单句听写") of video lessons.

#include "USingleDictation.h"

class TFrmVSingleSentence : public TSingleDictationScreen {
    Q_OBJECT
public:
    explicit TFrmVSingleSentence(QWidget* parent = nullptr);
};
