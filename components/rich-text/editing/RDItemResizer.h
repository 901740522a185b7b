#pragma once

// The resize handles of a selected picture or control. The editor control
// shows and drives them; the editing document owns them while they are shown.
class TRDItemResizer {
public:
    virtual ~TRDItemResizer() = default;
};
