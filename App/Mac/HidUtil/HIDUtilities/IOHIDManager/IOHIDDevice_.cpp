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

CFTypeRef getObjectProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef key)
{
    assert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));
    return IOHIDDeviceGetProperty(inIOHIDDeviceRef, key);
}

// A reference is kept on the device as a 64-bit number holding its address, so that the device does
// not retain it; 0 stands for none.
void setReferenceProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef key, const void* reference)
{
    const auto address = static_cast<SInt64>(reinterpret_cast<std::uintptr_t>(reference));
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &address);
    if (number == nullptr)
        return;
    IOHIDDeviceSetProperty(inIOHIDDeviceRef, key, number);
    CFRelease(number);
}

const void* getReferenceProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef key)
{
    if (inIOHIDDeviceRef == nullptr)
        return nullptr;
    CFTypeRef property = IOHIDDeviceGetProperty(inIOHIDDeviceRef, key);
    SInt64 address = 0;
    if (property == nullptr || CFGetTypeID(property) != CFNumberGetTypeID() ||
        !CFNumberGetValue(static_cast<CFNumberRef>(property), kCFNumberSInt64Type, &address))
        return nullptr;
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(address));
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

long IOHIDDevice_GetVendorIDSource(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("VendorIDSource"));
}

long IOHIDDevice_GetCountryCode(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("CountryCode"));
}

UInt32 IOHIDDevice_GetUsage(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<UInt32>(getNumberOrZero(inIOHIDDeviceRef, CFSTR("DeviceUsage")));
}

UInt32 IOHIDDevice_GetUsagePage(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<UInt32>(getNumberOrZero(inIOHIDDeviceRef, CFSTR("DeviceUsagePage")));
}

UInt32 IOHIDDevice_GetPrimaryUsage(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<UInt32>(getNumberOrZero(inIOHIDDeviceRef, CFSTR("PrimaryUsage")));
}

UInt32 IOHIDDevice_GetPrimaryUsagePage(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<UInt32>(getNumberOrZero(inIOHIDDeviceRef, CFSTR("PrimaryUsagePage")));
}

long IOHIDDevice_GetMaxInputReportSize(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("MaxInputReportSize"));
}

long IOHIDDevice_GetMaxOutputReportSize(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("MaxOutputReportSize"));
}

long IOHIDDevice_GetMaxFeatureReportSize(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("MaxFeatureReportSize"));
}

long IOHIDDevice_GetReportInterval(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getNumberOrZero(inIOHIDDeviceRef, CFSTR("ReportInterval"));
}

CFStringRef IOHIDDevice_GetTransport(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFStringRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR("Transport")));
}

CFStringRef IOHIDDevice_GetManufacturer(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFStringRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR("Manufacturer")));
}

CFStringRef IOHIDDevice_GetProduct(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFStringRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR("Product")));
}

CFStringRef IOHIDDevice_GetSerialNumber(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFStringRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR("SerialNumber")));
}

CFArrayRef IOHIDDevice_GetUsagePairs(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return static_cast<CFArrayRef>(getObjectProperty(inIOHIDDeviceRef, CFSTR("DeviceUsagePairs")));
}

void IOHIDDevice_SetLongProperty(IOHIDDeviceRef inIOHIDDeviceRef, CFStringRef inKey, long inValue)
{
    const auto value = static_cast<SInt32>(static_cast<std::uint32_t>(inValue));
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    if (number == nullptr)
        return;
    IOHIDDeviceSetProperty(inIOHIDDeviceRef, inKey, number);
    CFRelease(number);
}

IOHIDQueueRef IOHIDDevice_GetQueue(IOHIDDeviceRef inIOHIDDeviceRef)
{
    auto queue = (IOHIDQueueRef)getReferenceProperty(inIOHIDDeviceRef, CFSTR("DeviceQueueRef"));
    assert(queue == nullptr || IOHIDQueueGetTypeID() == CFGetTypeID(queue));
    return queue;
}

void IOHIDDevice_SetQueue(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDQueueRef inQueueRef)
{
    setReferenceProperty(inIOHIDDeviceRef, CFSTR("DeviceQueueRef"), inQueueRef);
}

IOHIDTransactionRef IOHIDDevice_GetTransaction(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return (IOHIDTransactionRef)getReferenceProperty(inIOHIDDeviceRef, CFSTR("DeviceTransactionRef"));
}

void IOHIDDevice_SetTransaction(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDTransactionRef inTransactionRef)
{
    setReferenceProperty(inIOHIDDeviceRef, CFSTR("DeviceTransactionRef"), inTransactionRef);
}
