#include "FixedSizeHint.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

void setFixedSizeHint(juce::ComponentPeer& peer)
{
    const auto size = (peer.getBounds().toDouble() * peer.getPlatformScaleFactor()).toNearestInt();
    const auto window = (::Window)(juce::pointer_sized_uint)peer.getNativeHandle();
    if (window == 0)
        return;
    // JUCE keeps its own display connection to itself; a property can be set from any connection.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return;
    if (XSizeHints* hints = XAllocSizeHints())
    {
        long supplied = 0;
        XGetWMNormalHints(display, window, hints, &supplied);
        hints->min_width = hints->max_width = size.getWidth();
        hints->min_height = hints->max_height = size.getHeight();
        hints->flags |= PMinSize | PMaxSize;
        XSetWMNormalHints(display, window, hints);
        XFree(hints);
    }
    XCloseDisplay(display);
}
