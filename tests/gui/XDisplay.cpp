#include "XDisplay.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <stdexcept>
#include <thread>

namespace guitest
{
namespace
{
// Reads a property of 32-bit items; Xlib hands them over as longs.
std::vector<long> longProperty(Display* display, Window window, Atom property, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, type, &actualType, &format, &count,
                           &after, &data) == Success &&
        data != nullptr && format == 32)
    {
        const long* items = reinterpret_cast<const long*>(data);
        values.assign(items, items + count);
    }
    if (data != nullptr)
        XFree(data);
    return values;
}
constexpr long titleDecoration = 8; // in the decorations of _MOTIF_WM_HINTS

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

unsigned long XDisplay::atom(const char* name)
{
    return XInternAtom(display, name, False);
}

std::vector<unsigned long> XDisplay::clientWindows()
{
    std::vector<unsigned long> windows;
    for (long window : longProperty(display, DefaultRootWindow(display), atom("_NET_CLIENT_LIST"), XA_WINDOW))
        windows.push_back((unsigned long)window);
    return windows;
}

int XDisplay::countWindows(const std::string& windowClass)
{
    int count = 0;
    for (unsigned long window : clientWindows())
    {
        XClassHint hint{};
        if (XGetClassHint(display, window, &hint) != 0)
        {
            count += hint.res_class != nullptr && windowClass == hint.res_class ? 1 : 0;
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
    }
    return count;
}

std::optional<unsigned long> XDisplay::waitForWindow(long pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline)
    {
        for (unsigned long window : clientWindows())
        {
            const auto owner = cardinals(window, "_NET_WM_PID");
            const auto motif = cardinals(window, "_MOTIF_WM_HINTS");
            const bool titled = motif.size() >= 3 && (motif[2] & titleDecoration) != 0;
            if (owner.size() == 1 && owner[0] == pid && titled && isViewable(window))
                return window;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

bool XDisplay::waitUntilNoWindows(const std::string& windowClass, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (countWindows(windowClass) > 0)
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool XDisplay::isViewable(unsigned long window)
{
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) != 0 && attributes.map_state == IsViewable;
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

std::vector<long> XDisplay::frameExtents(unsigned long window)
{
    return cardinals(window, "_NET_FRAME_EXTENTS");
}

std::vector<long> XDisplay::cardinals(unsigned long window, const char* property)
{
    return longProperty(display, window, atom(property), AnyPropertyType);
}

std::vector<std::string> XDisplay::atomList(unsigned long window, const char* property)
{
    std::vector<std::string> names;
    for (long value : longProperty(display, window, atom(property), XA_ATOM))
    {
        char* name = XGetAtomName(display, (Atom)value);
        if (name != nullptr)
            names.emplace_back(name);
        XFree(name);
    }
    return names;
}

std::string XDisplay::title(unsigned long window)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display, window, XA_WM_NAME, 0, 1024, False, AnyPropertyType, &actualType, &format,
                           &count, &after, &data) == Success &&
        data != nullptr)
        text.assign(reinterpret_cast<const char*>(data), count);
    if (data != nullptr)
        XFree(data);
    return text;
}

XDisplay::SizeLimits XDisplay::sizeLimits(unsigned long window)
{
    XSizeHints hints{};
    long supplied = 0;
    SizeLimits limits;
    if (XGetWMNormalHints(display, window, &hints, &supplied) != 0 && (hints.flags & PMinSize) != 0 &&
        (hints.flags & PMaxSize) != 0)
        limits = {hints.min_width, hints.min_height, hints.max_width, hints.max_height, true};
    return limits;
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
