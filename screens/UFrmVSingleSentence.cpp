#include "UFrmVSingleSentence.h"

TFrmVSingleSentence::TFrmVSingleSentence(QWidget* parent) : TSingleDictationScreen(parent, true) {}
