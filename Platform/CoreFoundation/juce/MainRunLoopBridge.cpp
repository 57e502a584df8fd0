#include "MainRunLoopBridge.h"

#include <CoreFoundation/CFRunLoopLinux.h>
#include <juce_events/juce_events.h>

namespace
{

// Only the message thread reads or changes it.
int attachedDescriptor = -1;

void serveMainRunLoop()
{
    // The run loop a thread runs is its own: only the main thread may serve the main run loop.
    if (CFRunLoopGetCurrent() == CFRunLoopGetMain())
        CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false);
}

} // namespace

void attachMainRunLoopToMessageLoop()
{
    if (attachedDescriptor >= 0)
        return;
    const int descriptor = CFRunLoopGetPollDescriptor(CFRunLoopGetMain());
    if (descriptor < 0)
        return;
    attachedDescriptor = descriptor;
    // Work posted before this left the descriptor readable: the first turn of the loop serves it.
    juce::LinuxEventLoop::registerFdCallback(descriptor, [](int) { serveMainRunLoop(); });
}

void detachMainRunLoopFromMessageLoop()
{
    if (attachedDescriptor < 0)
        return;
    juce::LinuxEventLoop::unregisterFdCallback(attachedDescriptor);
    attachedDescriptor = -1;
}
