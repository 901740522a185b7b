#pragma once

// The real back end of the audio device layer: Qt Multimedia's audio sink
// and source (PulseAudio on Linux). It lives in the multimedia module
// (MultimediaModule.h), loaded when it is first needed; this is what the
// rest of the program sees of it. Each open stream runs a thread of its own
// that feeds the sink a little ahead of the played position (or takes what
// the source recorded); buffers come back done on that thread.

#include "AudioDevice.h"

#include <QtCore/QString>

#include <memory>

class TQtAudioSystem : public TAudioSystem {
public:
    // Closes every stream of this system that is still open, without
    // notifications, and joins their threads. The streams answer
    // aeInvalidHandle from then on; their owners still delete them.
    virtual void CloseAllStreams() = 0;
    // Streams opened and not yet deleted (closed ones included; input
    // streams count too).
    virtual int LiveStreamCount() const = 0;
};

// A new system of the real back end, the module loaded first if need be;
// nullptr when the module cannot be loaded (MultimediaModuleError() says why).
// Its destructor closes every stream still open, as CloseAllStreams.
std::unique_ptr<TQtAudioSystem> CreateQtAudioSystem();
