// JUCE's own display connection is reached through its X headers.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "StrandedXEvents.h"

namespace
{
constexpr int checksPerSecond = 20;

::Display* juceDisplay()
{
    auto* system = juce::XWindowSystem::getInstanceWithoutCreating();
    return system != nullptr ? system->getDisplay() : nullptr;
}
} // namespace

StrandedXEventsWaker::StrandedXEventsWaker(juce::Component& window) : window(window) {}

bool StrandedXEventsWaker::wakeIfEventsWait()
{
    ::Display* display = juceDisplay();
    auto* peer = window.getPeer();
    if (display == nullptr || peer == nullptr)
        return false;
    juce::XWindowSystemUtilities::ScopedXLock lock;
    if (wakeType == 0)
        wakeType = XInternAtom(display, "QLN_UPDATER_WAKE", False);
    // Counts what Xlib already holds, without reading the socket.
    if (XEventsQueued(display, QueuedAlready) == 0)
        return false;
    XEvent wake{};
    wake.xclient.type = ClientMessage;
    wake.xclient.window = (::Window)(juce::pointer_sized_uint)peer->getNativeHandle();
    wake.xclient.message_type = wakeType;
    wake.xclient.format = 32;
    XSendEvent(display, wake.xclient.window, False, NoEventMask, &wake);
    XFlush(display);
    return true;
}

StrandedXEventsWatch::StrandedXEventsWatch(juce::Component& window) : waker(window)
{
    startTimerHz(checksPerSecond);
}

StrandedXEventsWatch::~StrandedXEventsWatch()
{
    stopTimer();
}
