#pragma once

// Runs the body of a Qt event handler so that nothing raised inside leaves
// it (Qt would end the program): a failure is written to the error output,
// naming the component and the handler.

#include <cstdio>
#include <exception>

template <typename F>
void GuardedEvent(const char* component, const char* where, F&& body)
{
    try {
        body();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s, %s: %s\n", component, where, error.what());
    } catch (...) {
        std::fprintf(stderr, "%s, %s: unknown error\n", component, where);
    }
}
