#include "HIDUtilAddOn.h"

io_service_t AllocateHIDObjectFromIOHIDDeviceRef(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr)
        return 0;
    CFMutableDictionaryRef matching = IOServiceMatching("IOHIDDevice");
    if (matching == nullptr)
        return 0;
    CFTypeRef location = IOHIDDeviceGetProperty(inIOHIDDeviceRef, CFSTR("LocationID"));
    if (location == nullptr)
    {
        CFRelease(matching);
        return 0;
    }
    CFDictionaryAddValue(matching, CFSTR("LocationID"), location);
    // The lookup consumes the matching dictionary.
    return IOServiceGetMatchingService(kIOMasterPortDefault, matching);
}

Boolean FreeHIDObject(io_object_t inHIDObject)
{
    return IOObjectRelease(inHIDObject) == kIOReturnSuccess;
}
