// Reads arbitrary text as a saved element preference string.
#include "HID_Config_Utilities.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CFStringRef text = CFStringCreateWithBytes(kCFAllocatorDefault, data, static_cast<CFIndex>(size),
                                               kCFStringEncodingUTF8, false);
    if (text == nullptr)
        return 0;
    HIDElementConfigRecord record{};
    (void)hu_ReadElementPrefString(text, &record);
    CFRelease(text);
    return 0;
}
