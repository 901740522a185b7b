#pragma once

// Stands in for one hook of the suite (a routine held in a global variable)
// while the guard lives, and gives the previous routine back when it goes,
// also when a test fails in between: a test never erases what the program's
// start-up installed (InstallRichTextSuite) for the tests after it.
//
//   TRDHookGuard guard(UrlCheckHook, [](const QString& word) { return word == "x"; });

#include <utility>

template <class THook>
class TRDHookGuard {
public:
    template <class TValue>
    TRDHookGuard(THook& hook, TValue&& value) : FHook(hook), FPrevious(std::move(hook))
    {
        FHook = std::forward<TValue>(value);
    }
    ~TRDHookGuard() { FHook = std::move(FPrevious); }
    TRDHookGuard(const TRDHookGuard&) = delete;
    TRDHookGuard& operator=(const TRDHookGuard&) = delete;

private:
    THook& FHook;
    THook FPrevious;
};

template <class THook, class TValue>
TRDHookGuard(THook&, TValue&&) -> TRDHookGuard<THook>;
