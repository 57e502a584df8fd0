// JUCE's own display connection is reached through its X headers.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "StrandedXEvents.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>

namespace
{
constexpr int checksPerSecond = 20;

::Display* juceDisplay()
{
    auto* system = juce::XWindowSystem::getInstanceWithoutCreating();
    return system != nullptr ? system->getDisplay() : nullptr;
}

// Naming the atom is a round trip of its own, made once, before any look at the queue.
unsigned long internWakeType()
{
    ::Display* display = juce::XWindowSystem::getInstance()->getDisplay();
    if (display == nullptr)
        return 0;
    juce::XWindowSystemUtilities::ScopedXLock lock;
    return XInternAtom(display, "QLN_UPDATER_WAKE", False);
}

// XCB first hands over what Xlib has buffered, then writes the message after it.
void sendWakeUp(::Display* display, xcb_window_t window, xcb_atom_t type)
{
    xcb_client_message_event_t wake{};
    wake.response_type = XCB_CLIENT_MESSAGE;
    wake.format = 32;
    wake.window = window;
    wake.type = type;
    xcb_connection_t* connection = XGetXCBConnection(display);
    xcb_send_event(connection, false, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&wake));
    xcb_flush(connection);
}
} // namespace

StrandedXEventsWaker::StrandedXEventsWaker(juce::Component& window)
    : window(window), wakeType(internWakeType())
{
}

bool StrandedXEventsWaker::wakeIfEventsWait()
{
    ::Display* display = juceDisplay();
    auto* peer = window.getPeer();
    if (display == nullptr || peer == nullptr || wakeType == 0)
        return false;
    juce::XWindowSystemUtilities::ScopedXLock lock;
    // Counts what Xlib already holds, without reading the socket.
    if (XEventsQueued(display, QueuedAlready) == 0)
        return false;
    sendWakeUp(display, (xcb_window_t)(juce::pointer_sized_uint)peer->getNativeHandle(),
               (xcb_atom_t)wakeType);
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
