#include "UFrmFreeSentence.h"

TFrmFreeSentence::TFrmFreeSentence(QWidget* parent) : TFreeDictationScreen(parent, false) {}
