#pragma once

// The back end Qt Multimedia plays video through.

// Chooses the GStreamer back end unless QT_MEDIA_BACKEND names one already;
// call before the application object is made.
void UseGStreamerMediaBackend();
