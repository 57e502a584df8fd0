#include "DisplayCheck.h"

#include <X11/Xlib.h>

bool canOpenDisplay()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    XCloseDisplay(display);
    return true;
}
