// The name look-ups as text, for the tests of the name lists: names::of(HIDGetVendorNameFromVendorID,
// 0x5A1E) is the name written, "(none)" when the look-up finds nothing and empties the buffer, and
// "(stale)" when it finds nothing and leaves the buffer as it was.
#pragma once

#include "HID_Name_Lookup.h"

#include <cstring>
#include <string>

namespace names
{

template <typename Lookup, typename... Keys> std::string of(Lookup lookup, Keys... keys)
{
    char name[kHIDNameBufferSize];
    std::strcpy(name, "stale");
    if (lookup(keys..., name))
        return name;
    return name[0] == 0 ? "(none)" : "(stale)";
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
