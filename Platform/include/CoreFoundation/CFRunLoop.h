// One run loop per thread: it waits for its sources and runs their callbacks on its own thread.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFString.h>

CF_EXTERN_C_BEGIN

typedef struct __CFRunLoop* CFRunLoopRef;

// A run loop serves one mode at a time; a source fires only while its mode runs.
extern const CFStringRef kCFRunLoopDefaultMode;
// Sources scheduled here fire in every common mode; the default mode is the one common mode.
extern const CFStringRef kCFRunLoopCommonModes;

typedef SInt32 CFRunLoopRunResult;
enum
{
    kCFRunLoopRunFinished = 1,
    kCFRunLoopRunStopped = 2,
    kCFRunLoopRunTimedOut = 3,
    kCFRunLoopRunHandledSource = 4
};

CFTypeID CFRunLoopGetTypeID(void);

// The calling thread's run loop, made on first use. Not owned: the thread's own reference goes
// when the thread ends. To use it from a thread that may outlive its own, CFRetain it on its own
// thread before handing it over; it then stays valid, and stopping, waking, posting to it and
// removing its sources stay harmless after its thread has ended.
CFRunLoopRef CFRunLoopGetCurrent(void);

// The process's main thread's run loop. Not owned.
CFRunLoopRef CFRunLoopGetMain(void);

// Runs the calling thread's run loop in the mode until it is stopped, the seconds have passed
// or, when returnAfterSourceHandled is true, a source or posted work has been handled. With 0
// seconds it handles what is ready now and returns. An empty mode waits like any other.
CFRunLoopRunResult CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds,
                                      Boolean returnAfterSourceHandled);

// Runs the calling thread's run loop in the default mode until it is stopped.
void CFRunLoopRun(void);

// Makes the innermost run of the run loop return; when it does not run, its next run returns at
// once. Callable from any thread.
void CFRunLoopStop(CFRunLoopRef runLoop);

// Wakes the run loop from its wait. Callable from any thread.
void CFRunLoopWakeUp(CFRunLoopRef runLoop);

CF_EXTERN_C_END
