#include "MediaBackend.h"

#include <QtCore/QtGlobal>

void UseGStreamerMediaBackend()
{
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
}
