/* Preloaded into the tests of the thread-sanitized build.
 *
 * Qt starts a child process with clone(CLONE_VM | CLONE_VFORK): the child runs
 * on the parent's memory until it replaces itself with the new program. The
 * thread sanitizer's own clone wrapper then updates its state for the child
 * in that shared memory, and the parent's view of its locks is lost: it
 * reports races and unlock errors that are none. The sanitizer's wrapper hands
 * the clone on to the next definition of clone, this one, which makes it a
 * plain fork (the clone system call without shared memory): the child works
 * on a copy, like any forked child, and the parent keeps its state. The
 * descriptor CLONE_PIDFD asks for comes back as before. Every other clone
 * (threads, forks) goes through unchanged. */

#define _GNU_SOURCE
#include <dlfcn.h>
#include <sched.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#ifndef CLONE_PIDFD
#define CLONE_PIDFD 0x00001000
#endif

typedef int (*CloneFn)(int (*)(void*), void*, int, void*, ...);

int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
{
    va_list args;
    va_start(args, arg);
    pid_t* parentTid = va_arg(args, pid_t*);
    void* tls = va_arg(args, void*);
    pid_t* childTid = va_arg(args, pid_t*);
    va_end(args);

    if ((flags & CLONE_VM) && (flags & CLONE_VFORK) && !(flags & CLONE_THREAD)) {
        /* The system call itself: the C library's fork would run the
         * sanitizer's fork handlers a second time. */
        const long pid = syscall(SYS_clone, (long)(flags & (CSIGNAL | CLONE_PIDFD)), 0L, parentTid, 0L, 0L);
        if (pid == 0)
            _exit(fn(arg));
        return (int)pid;
    }
    static CloneFn next;
    if (!next)
        next = (CloneFn)dlsym(RTLD_NEXT, "clone");
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}
