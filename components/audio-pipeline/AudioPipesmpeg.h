#pragma once

// The MP3 input the program uses: the compressed-audio input under a name of
// its own.

#include "AudioPipeWinMedia.h"

class TMP3In : public TWMIn {
public:
    explicit TMP3In(QObject* owner = nullptr) : TWMIn(owner) {}
    ~TMP3In() override = default;
};
