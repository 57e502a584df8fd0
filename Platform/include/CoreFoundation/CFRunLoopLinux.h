// Linux additions to the run loop, for the platform layer and the message-loop bridge:
// file-descriptor sources, work posted from any thread, and the one descriptor to poll.
#pragma once

#include <CoreFoundation/CFRunLoop.h>

CF_EXTERN_C_BEGIN

// Identifies a file-descriptor source on its run loop; 0 is never a valid source.
typedef UInt64 CFRunLoopFdSourceID;

// Called on the run loop's thread with the descriptor and the epoll events seen (EPOLLIN,
// EPOLLHUP, EPOLLERR). Sources are level-triggered: read what is ready, or it fires again.
typedef void (*CFRunLoopFdCallBack)(int fd, UInt32 events, void* info);

// Watches the descriptor for reading while the run loop runs in the mode (kCFRunLoopCommonModes
// for every common mode). Callable from any thread. One descriptor may have one source per mode.
// The result is 0 when the descriptor cannot be watched. The caller keeps the descriptor open
// until it removes the source.
CFRunLoopFdSourceID CFRunLoopAddFdSource(CFRunLoopRef runLoop, int fd, CFStringRef mode,
                                         CFRunLoopFdCallBack callback, void* info);

// Stops watching. Once it returns the callback is not running and never runs again, except when
// called from the callback itself. Removing an unknown source does nothing. Callable from any thread.
void CFRunLoopRemoveFdSource(CFRunLoopRef runLoop, CFRunLoopFdSourceID source);

// Queues a call of function(info) on the run loop's thread, run the next time the run loop runs
// in the mode, in the order posted, and wakes the run loop. Callable from any thread. Work that
// its thread ended before running, or posted after that, is dropped.
void CFRunLoopPerformFunction(CFRunLoopRef runLoop, CFStringRef mode, void (*function)(void* info),
                              void* info);

// The mode that a source or a run of that mode is filed under: the common modes are the default
// mode here. Not owned.
CFStringRef CFRunLoopFiledMode(CFStringRef mode);

// True when called on the run loop's own thread while its innermost run is in the mode
// (kCFRunLoopCommonModes: in a common mode), so that a source of that mode may fire now.
Boolean CFRunLoopIsRunningInMode(CFRunLoopRef runLoop, CFStringRef mode);

// Signals the eventfd once, the next time a run of the run loop begins or ends, so that whoever
// held back for what the innermost run could do looks again. Signalling again before then adds
// nothing. Callable from any thread; the caller forgets it before closing the descriptor, after
// which it is never written to.
void CFRunLoopSignalOnRunChange(CFRunLoopRef runLoop, int eventFd);
void CFRunLoopForgetRunChangeSignal(CFRunLoopRef runLoop, int eventFd);

// A descriptor that polls readable whenever the run loop has something to do in its default mode
// (a ready source, posted work or a wake-up). Owned by the run loop. Serve it by running the run
// loop in the default mode for 0 seconds.
int CFRunLoopGetPollDescriptor(CFRunLoopRef runLoop);

CF_EXTERN_C_END

#ifdef __cplusplus
#include <functional>

// Queues a C++ callable, as CFRunLoopPerformFunction does.
void CFRunLoopPerform(CFRunLoopRef runLoop, CFStringRef mode, std::function<void()> work);
#endif
