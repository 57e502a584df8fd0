#include "HID_Utilities.h"

#include <cstdio>

IOHIDManagerRef gIOHIDManagerRef = nullptr;
CFMutableArrayRef gDeviceCFArrayRef = nullptr;
CFIndex gDeviceIndex = 0;

namespace
{
const char* const kBuildSignature = "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, int)";
const char* const kMatchingSignature = "CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32, UInt32)";

void reportFailure(const char* format, const char* signature)
{
    fprintf(stderr, format, signature);
}

CFMutableArrayRef createMatchingArray(const UInt32* inUsagePages, const UInt32* inUsages, int count)
{
    if (inUsagePages == nullptr || inUsages == nullptr || count == 0)
        return nullptr;

    CFMutableArrayRef matchingArray = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (matchingArray == nullptr)
    {
        reportFailure("%s: Couldn’t create a matching array.", kBuildSignature);
        return nullptr;
    }
    for (int i = 0; i < count; ++i)
    {
        CFMutableDictionaryRef matching = hu_SetUpMatchingDictionary(inUsagePages[i], inUsages[i]);
        if (matching == nullptr)
        {
            reportFailure("%s: Couldn’t create a matching dictionary.", kBuildSignature);
            continue;
        }
        CFArrayAppendValue(matchingArray, matching);
        CFRelease(matching);
    }
    return matchingArray;
}

// Adds a number under a key; false when the number cannot be made.
bool setIntValue(CFMutableDictionaryRef dictionary, CFStringRef key, UInt32 value)
{
    int intValue = static_cast<int>(value);
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &intValue);
    if (number == nullptr)
        return false;
    CFDictionarySetValue(dictionary, key, number);
    CFRelease(number);
    return true;
}
} // namespace

Boolean HIDBuildMultiDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes)
{
    bool createdHere = false;
    if (gIOHIDManagerRef == nullptr)
    {
        gIOHIDManagerRef = IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone);
        createdHere = true;
    }
    if (gIOHIDManagerRef == nullptr)
    {
        reportFailure("%s: Couldn’t create a IOHIDManager.", kBuildSignature);
        return false;
    }

    CFMutableArrayRef matchingArray = createMatchingArray(inUsagePages, inUsages, inNumDeviceTypes);
    IOHIDManagerSetDeviceMatchingMultiple(gIOHIDManagerRef, matchingArray);
    if (matchingArray != nullptr)
        CFRelease(matchingArray);

    if (createdHere && IOHIDManagerOpen(gIOHIDManagerRef, kIOHIDOptionsTypeNone) != kIOReturnSuccess)
    {
        reportFailure("%s: Couldn’t open IOHIDManager.", kBuildSignature);
        return false;
    }

    HIDRebuildDevices();
    return true;
}

Boolean HIDBuildDeviceList(UInt32 inUsagePage, UInt32 inUsage)
{
    return HIDBuildMultiDeviceList(&inUsagePage, &inUsage, 1);
}

CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32 inUsagePage, UInt32 inUsage)
{
    CFMutableDictionaryRef matching = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (matching == nullptr)
    {
        reportFailure("%s: CFDictionaryCreateMutable failed.", kMatchingSignature);
        return nullptr;
    }
    if (inUsagePage == 0)
        return matching;

    if (!setIntValue(matching, CFSTR("PrimaryUsagePage"), inUsagePage))
    {
        reportFailure("%s: CFNumberCreate( usage page ) failed.", kMatchingSignature);
        return matching;
    }
    if (inUsage != 0 && !setIntValue(matching, CFSTR("PrimaryUsage"), inUsage))
        reportFailure("%s: CFNumberCreate( usage ) failed.", kMatchingSignature);
    return matching;
}

void HIDRebuildDevices(void)
{
    CFSetRef devices = gIOHIDManagerRef != nullptr ? IOHIDManagerCopyDevices(gIOHIDManagerRef) : nullptr;
    if (devices == nullptr)
        return;

    HIDReleaseDeviceList();
    gDeviceCFArrayRef = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (gDeviceCFArrayRef != nullptr)
    {
        CFSetApplyFunction(devices, CFSetApplierFunctionCopyToCFArray, gDeviceCFArrayRef);
        const CFIndex count = CFArrayGetCount(gDeviceCFArrayRef);
        CFArraySortValues(gDeviceCFArrayRef, CFRangeMake(0, count), CFDeviceArrayComparatorFunction, nullptr);
    }
    CFRelease(devices);
}

void HIDReleaseDeviceList(void)
{
    if (gDeviceCFArrayRef == nullptr)
        return;
    CFRelease(gDeviceCFArrayRef);
    gDeviceCFArrayRef = nullptr;
}

IOHIDDeviceRef HIDGetFirstDevice(void)
{
    gDeviceIndex = 0;
    if (gDeviceCFArrayRef == nullptr || CFArrayGetCount(gDeviceCFArrayRef) == 0)
        return nullptr;
    return (IOHIDDeviceRef)CFArrayGetValueAtIndex(gDeviceCFArrayRef, 0);
}

IOHIDDeviceRef HIDGetNextDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (gDeviceCFArrayRef == nullptr || inIOHIDDeviceRef == nullptr)
        return nullptr;

    const CFIndex count = CFArrayGetCount(gDeviceCFArrayRef);
    if (gDeviceIndex < 0 || gDeviceIndex >= count)
        return nullptr;

    if (CFArrayGetValueAtIndex(gDeviceCFArrayRef, gDeviceIndex) == inIOHIDDeviceRef)
    {
        ++gDeviceIndex;
    }
    else
    {
        gDeviceIndex = -1;
        for (CFIndex i = 0; i < count; ++i)
        {
            if (CFArrayGetValueAtIndex(gDeviceCFArrayRef, i) == inIOHIDDeviceRef)
            {
                gDeviceIndex = i + 1;
                break;
            }
        }
    }

    if (gDeviceIndex < 0 || gDeviceIndex >= count)
        return nullptr;
    return (IOHIDDeviceRef)CFArrayGetValueAtIndex(gDeviceCFArrayRef, gDeviceIndex);
}

void CFSetApplierFunctionCopyToCFArray(const void* value, void* context)
{
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(context), value);
}

CFComparisonResult CFDeviceArrayComparatorFunction(const void* val1, const void* val2, void* /*context*/)
{
    const long location1 = IOHIDDevice_GetLocationID((IOHIDDeviceRef)val1);
    const long location2 = IOHIDDevice_GetLocationID((IOHIDDeviceRef)val2);
    if (location1 < location2)
        return kCFCompareLessThan;
    if (location1 > location2)
        return kCFCompareGreaterThan;
    return kCFCompareEqualTo;
}
