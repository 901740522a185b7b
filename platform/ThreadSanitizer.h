#pragma once

// Orderings between threads that Qt makes through locks of its own (futexes
// inside the Qt libraries), which the thread sanitizer cannot see: an event
// posted on one thread and handled on another, a thread's end and the wait
// for it. Where our code crosses such an ordering, MarkHappensBefore on the
// one side and MarkHappensAfter (on the same token) on the other tell the
// sanitizer about it. Outside the thread-sanitized build both are nothing.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PIBO_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) && !defined(PIBO_THREAD_SANITIZER)
#define PIBO_THREAD_SANITIZER 1
#endif

#ifdef PIBO_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
inline void MarkHappensBefore(const void* token)
{
    __tsan_release(const_cast<void*>(token));
}
inline void MarkHappensAfter(const void* token)
{
    __tsan_acquire(const_cast<void*>(token));
}
#else
inline void MarkHappensBefore(const void*) {}
inline void MarkHappensAfter(const void*) {}
#endif
