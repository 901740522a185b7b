#pragma once

// Single-sentence dictation ("单句听写") of audio lessons.

#include "USingleDictation.h"

class TFrmSingleSentence : public TSingleDictationScreen {
    Q_OBJECT
public:
    explicit TFrmSingleSentence(QWidget* parent = nullptr);
};
