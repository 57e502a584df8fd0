// The name look-ups as text, for the tests of the name lists: "(none)" when a look-up finds nothing
// and empties the buffer, "(stale)" when it finds nothing and leaves the buffer as it was.
#pragma once

#include "HID_Name_Lookup.h"

#include <cstring>
#include <string>

namespace names
{

template <typename Lookup> std::string found(Lookup lookup)
{
    char name[kHIDNameBufferSize];
    std::strcpy(name, "stale");
    if (lookup(name))
        return name;
    return name[0] == 0 ? "(none)" : "(stale)";
}

inline std::string vendor(long vendorId)
{
    return found([&](char* name) { return HIDGetVendorNameFromVendorID(vendorId, name); });
}

inline std::string product(long vendorId, long productId)
{
    return found([&](char* name) { return HIDGetProductNameFromVendorProductID(vendorId, productId, name); });
}

inline std::string cookie(int vendorId, int productId, IOHIDElementCookie cookie)
{
    return found([&](char* name)
                 { return HIDGetElementNameFromVendorProductCookie(vendorId, productId, cookie, name); });
}

inline std::string element(long vendorId, long productId, long usagePage, long usage)
{
    return found(
        [&](char* name)
        { return HIDGetElementNameFromVendorProductUsage(vendorId, productId, usagePage, usage, name); });
}

inline std::string usage(long usagePage, long usage)
{
    CFStringRef name = HIDCopyUsageName(usagePage, usage);
    if (name == nullptr)
        return "(none)";
    char text[kHIDNameBufferSize] = {};
    CFStringGetCString(name, text, sizeof text, kCFStringEncodingUTF8);
    CFRelease(name);
    return text;
}

} // namespace names
