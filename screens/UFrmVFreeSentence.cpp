#include "UFrmVFreeSentence.h"

TFrmVFreeSentence::TFrmVFreeSentence(QWidget* parent) : TFreeDictationScreen(parent, true) {}
