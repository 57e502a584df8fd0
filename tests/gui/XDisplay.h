// What the tests see of the program's window on the X server, through Xlib: where it is, what
// the window manager was told about it, and its pixels.
#pragma once

#include <juce_graphics/juce_graphics.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace guitest
{

class XDisplay
{
public:
    XDisplay(); // the display that DISPLAY names; throws when there is none
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // The visible top-level client window of the given process that has the platform's title
    // bar, once it shows. (JUCE shows the window first with a frame of its own and then makes a
    // new one for the native title bar.)
    std::optional<unsigned long> waitForWindow(long pid, std::chrono::milliseconds timeout);
    // How many top-level client windows of that class the window manager knows.
    int countWindows(const std::string& windowClass);
    // Waits until the window manager knows none of that class; false when some stay.
    bool waitUntilNoWindows(const std::string& windowClass, std::chrono::milliseconds timeout);

    juce::Rectangle<int> screenBounds();
    // The client area in root coordinates.
    juce::Rectangle<int> clientBounds(unsigned long window);
    // left, right, top, bottom: the frame the window manager put around the client area.
    std::vector<long> frameExtents(unsigned long window);
    std::vector<std::string> atomList(unsigned long window, const char* property);
    std::vector<long> cardinals(unsigned long window, const char* property);
    std::string title(unsigned long window);
    struct SizeLimits
    {
        int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
        bool present = false;
    };
    SizeLimits sizeLimits(unsigned long window);
    bool isViewable(unsigned long window);

    // The window's pixels as they are on the screen.
    juce::Image capture(unsigned long window);

private:
    std::vector<unsigned long> clientWindows();
    unsigned long atom(const char* name);

    Display* display;
};

} // namespace guitest
