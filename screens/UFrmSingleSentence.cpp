#include "UFrmSingleSentence.h"

TFrmSingleSentence::TFrmSingleSentence(QWidget* parent) : TSingleDictationScreen(parent, false) {}
