#include "XDisplay.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdexcept>

namespace guitest
{
namespace
{
constexpr long titleDecoration = 8; // in the decorations of _MOTIF_WM_HINTS

// A property as Xlib hands it over: 32-bit items as longs, 8-bit items as bytes.
std::pair<std::vector<long>, std::string> property(Display* display, Window window, Atom name)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::pair<std::vector<long>, std::string> items;
    if (XGetWindowProperty(display, window, name, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr)
    {
        if (format == 32)
            items.first.assign(reinterpret_cast<const long*>(data),
                               reinterpret_cast<const long*>(data) + count);
        else if (format == 8)
            items.second.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data != nullptr)
        XFree(data);
    return items;
}

// Windows come and go while the tests look at them: a request about a window that has just gone
// fails, and the caller sees an empty answer instead of the process ending.
int ignoreErrors(Display*, XErrorEvent*)
{
    return 0;
}
} // namespace

XDisplay::XDisplay() : display(XOpenDisplay(nullptr))
{
    if (display == nullptr)
        throw std::runtime_error("no X display");
    XSetErrorHandler(ignoreErrors);
}

XDisplay::~XDisplay()
{
    XCloseDisplay(display);
}

long XDisplay::atom(const char* name)
{
    return XInternAtom(display, name, False);
}

// Top-level windows are the window manager's clients; pop-ups bypass it and stay the root's.
std::optional<unsigned long> XDisplay::shownWindow(long pid, bool popup)
{
    const Window root = DefaultRootWindow(display);
    std::vector<long> candidates = cardinals(root, "_NET_CLIENT_LIST");
    Window rootAgain = None, parent = None, *children = nullptr;
    unsigned int count = 0;
    if (popup && XQueryTree(display, root, &rootAgain, &parent, &children, &count) != 0)
        candidates.assign(children, children + count);
    if (children != nullptr)
        XFree(children);
    for (long window : candidates)
    {
        XWindowAttributes attributes{};
        const auto motif = cardinals(window, "_MOTIF_WM_HINTS");
        const bool titled = motif.size() >= 3 && (motif[2] & titleDecoration) != 0;
        if (cardinals(window, "_NET_WM_PID") == std::vector<long>{pid} && (popup || titled) &&
            XGetWindowAttributes(display, window, &attributes) != 0 && attributes.map_state == IsViewable &&
            bool(attributes.override_redirect) == popup)
            return window;
    }
    return std::nullopt;
}

juce::Rectangle<int> XDisplay::screenBounds()
{
    return {DisplayWidth(display, DefaultScreen(display)), DisplayHeight(display, DefaultScreen(display))};
}

juce::Rectangle<int> XDisplay::clientBounds(unsigned long window)
{
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0)
        return {};
    int x = 0, y = 0;
    Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return {x, y, attributes.width, attributes.height};
}

std::vector<long> XDisplay::cardinals(unsigned long window, const char* name)
{
    return property(display, window, atom(name)).first;
}

std::string XDisplay::text(unsigned long window, const char* name)
{
    return property(display, window, atom(name)).second;
}

bool XDisplay::exists(unsigned long window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0;
}

void XDisplay::askToClose(unsigned long window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = atom("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = atom("WM_DELETE_WINDOW");
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

juce::Image XDisplay::capture(unsigned long window)
{
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0)
        return {};
    XImage* pixels = XGetImage(display, window, 0, 0, (unsigned)attributes.width, (unsigned)attributes.height,
                               AllPlanes, ZPixmap);
    if (pixels == nullptr)
        return {};
    juce::Image image(juce::Image::RGB, attributes.width, attributes.height, false);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
        {
            const unsigned long pixel = XGetPixel(pixels, x, y);
            image.setPixelAt(x, y,
                             juce::Colour((juce::uint8)((pixel & pixels->red_mask) >> 16),
                                          (juce::uint8)((pixel & pixels->green_mask) >> 8),
                                          (juce::uint8)(pixel & pixels->blue_mask)));
        }
    XDestroyImage(pixels);
    return image;
}

} // namespace guitest
