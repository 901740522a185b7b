#include "UFrmVStudySpeak.h"

#include "UFrmVideoBrowseRecite.h"

TFrmVStudySpeak::TFrmVStudySpeak(QWidget* parent)
    : TSpeakScreen(parent, true, TFrmVideoBrowseRecite::TransportOptions())
{
}
