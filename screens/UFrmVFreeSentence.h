#pragma once

// Free dictation ("自由听写") of video lessons.

#include "UFreeDictation.h"

class TFrmVFreeSentence : public TFreeDictationScreen {
    Q_OBJECT
public:
    explicit TFrmVFreeSentence(QWidget* parent = nullptr);
};
