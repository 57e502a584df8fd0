// What the tests see of a program's windows on the X server, through Xlib: where they are, what
// the window manager was told about them, and their pixels.
#pragma once

#include <juce_graphics/juce_graphics.h>

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

    // The process's top-level window with the platform's title bar, when it shows. (JUCE shows
    // the window first with a frame of its own and then makes a new one for the title bar.)
    std::optional<unsigned long> window(long pid) { return shownWindow(pid, false); }
    // A pop-up of the process (a menu), when one shows.
    std::optional<unsigned long> popup(long pid) { return shownWindow(pid, true); }

    juce::Rectangle<int> screenBounds();
    // The client area in root coordinates.
    juce::Rectangle<int> clientBounds(unsigned long window);
    // A property's 32-bit items (numbers, atoms, windows), or its text.
    std::vector<long> cardinals(unsigned long window, const char* property);
    std::string text(unsigned long window, const char* property);
    long atom(const char* name);

    // Whether the window is still there: its program may have closed it or ended.
    bool exists(unsigned long window);
    // Asks the window's program to close it, as a window manager's close does.
    void askToClose(unsigned long window);
    // The window's pixels as they are on the screen.
    juce::Image capture(unsigned long window);

private:
    std::optional<unsigned long> shownWindow(long pid, bool popup);

    Display* display;
};

} // namespace guitest
