#pragma once

// Free dictation ("自由听写") of audio lessons.

#include "UFreeDictation.h"

class TFrmFreeSentence : public TFreeDictationScreen {
    Q_OBJECT
public:
    explicit TFrmFreeSentence(QWidget* parent = nullptr);
};
