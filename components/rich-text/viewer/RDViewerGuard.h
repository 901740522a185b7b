#pragma once

// The viewer's event handlers run their bodies through this: nothing raised
// inside leaves a Qt event handler.

#include <utility>

#include "EventGuard.h"

template <typename F>
void ViewerGuarded(const char* where, F&& body)
{
    GuardedEvent("rich-text viewer", where, std::forward<F>(body));
}
