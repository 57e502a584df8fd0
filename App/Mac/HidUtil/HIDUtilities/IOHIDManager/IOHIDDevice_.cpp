#include "IOHIDDevice_.h"

#include <cassert>
#include <cstdint>

namespace
{
// Stores the 32 bits of a number into the low half of a long, leaving its upper half as it was.
void storeLowHalf(long* outValue, SInt32 value)
{
    const auto low = static_cast<std::uint32_t>(value);
    *outValue = static_cast<long>((static_cast<unsigned long>(*outValue) & ~0xFFFFFFFFUL) | low);
}

long getNumberOrZero(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef key)
{
    long value = 0;
    (void)IOHIDDevice_GetLongProperty(inIOHIDDeviceRef, key, &value);
    return value;
}
} // namespace

Boolean IOHIDDevice_GetLongProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef inKey, long* outValue)
{
    if (inIOHIDDeviceRef == nullptr)
        return false;
    assert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));

    CFTypeRef property = IOHIDDeviceGetProperty(inIOHIDDeviceRef, inKey);
    if (property == nullptr || CFGetTypeID(property) != CFNumberGetTypeID())
        return false;

    SInt32 value = 0;
    const Boolean exact = CFNumberGetValue(static_cast<CFNumberRef>(property), kCFNumberSInt32Type, &value);
    storeLowHalf(outValue, value);
    return exact;
}

long IOHIDDevice_GetVendorID(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("VendorID"));
}

long IOHIDDevice_GetProductID(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("ProductID"));
}

long IOHIDDevice_GetVersionNumber(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("VersionNumber"));
}

long IOHIDDevice_GetLocationID(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("LocationID"));
}
