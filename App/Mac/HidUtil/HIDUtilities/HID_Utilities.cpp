#include "HID_Utilities.h"

#include "HID_Name_Lookup.h"
#include "HID_Queue_Utilities.h"

#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

IOHIDManagerRef gIOHIDManagerRef = nullptr;
CFMutableArrayRef gDeviceCFArrayRef = nullptr;
CFIndex gDeviceIndex = 0;
CFArrayRef gElementCFArrayRef = nullptr;

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

bool isListed(IOHIDDeviceRef device)
{
    return gDeviceCFArrayRef != nullptr &&
           CFArrayContainsValue(gDeviceCFArrayRef, CFRangeMake(0, CFArrayGetCount(gDeviceCFArrayRef)),
                                device);
}

// A device that the current list no longer holds takes the library's queue of it along: the
// queue holds its device, and would keep it alive for good.
void releaseFormerList(CFArrayRef former)
{
    for (CFIndex i = 0; i < CFArrayGetCount(former); ++i)
    {
        auto device = (IOHIDDeviceRef)CFArrayGetValueAtIndex(former, i);
        if (!isListed(device))
            hu_ReleaseQueueOfUnlistedDevice(device);
    }
    CFRelease(former);
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

    CFMutableArrayRef former = std::exchange(gDeviceCFArrayRef, nullptr);
    gDeviceCFArrayRef = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (gDeviceCFArrayRef != nullptr)
    {
        CFSetApplyFunction(devices, CFSetApplierFunctionCopyToCFArray, gDeviceCFArrayRef);
        const CFIndex count = CFArrayGetCount(gDeviceCFArrayRef);
        CFArraySortValues(gDeviceCFArrayRef, CFRangeMake(0, count), CFDeviceArrayComparatorFunction, nullptr);
    }
    if (former != nullptr)
        releaseFormerList(former);
    CFRelease(devices);
}

void HIDReleaseDeviceList(void)
{
    if (gDeviceCFArrayRef != nullptr)
        releaseFormerList(std::exchange(gDeviceCFArrayRef, nullptr));
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

namespace
{
bool elementPassesMask(IOHIDElementRef element, UInt32 typeMask)
{
    switch (IOHIDElementGetType(element))
    {
    case kIOHIDElementTypeInput_Misc:
    case kIOHIDElementTypeInput_Button:
    case kIOHIDElementTypeInput_Axis:
    case kIOHIDElementTypeInput_ScanCodes:
        return (typeMask & kHIDElementTypeInput) != 0;
    case kIOHIDElementTypeOutput:
        return (typeMask & kHIDElementTypeOutput) != 0;
    case kIOHIDElementTypeFeature:
        return (typeMask & kHIDElementTypeFeature) != 0;
    case kIOHIDElementTypeCollection:
        return (typeMask & kHIDElementTypeCollection) != 0;
    default:
        return false;
    }
}
} // namespace

Boolean HIDIsValidDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return inIOHIDDeviceRef != nullptr && CFGetTypeID(inIOHIDDeviceRef) == IOHIDDeviceGetTypeID();
}

Boolean HIDIsValidElement(IOHIDElementRef inIOHIDElementRef)
{
    return inIOHIDElementRef != nullptr && CFGetTypeID(inIOHIDElementRef) == IOHIDElementGetTypeID();
}

Boolean HIDUpdateDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes)
{
    return HIDBuildMultiDeviceList(inUsagePages, inUsages, inNumDeviceTypes);
}

Boolean HIDHaveDeviceList(void)
{
    return gDeviceCFArrayRef != nullptr;
}

UInt32 HIDCountDevices(void)
{
    if (gDeviceCFArrayRef == nullptr)
        return 0;
    return static_cast<UInt32>(CFArrayGetCount(gDeviceCFArrayRef));
}

UInt32 HIDCountDeviceElements(IOHIDDeviceRef inIOHIDDeviceRef, UInt32 typeMask)
{
    if (inIOHIDDeviceRef == nullptr)
        return 0;
    assert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));

    HIDElementArraySlot elements(inIOHIDDeviceRef);
    UInt32 count = 0;
    for (CFIndex i = 0; i < elements.count(); ++i)
    {
        IOHIDElementRef element = elements.at(i);
        if (element != nullptr && elementPassesMask(element, typeMask))
            ++count;
    }
    return count;
}

IOHIDElementRef HIDGetFirstDeviceElement(IOHIDDeviceRef inIOHIDDeviceRef, UInt32 typeMask)
{
    if (inIOHIDDeviceRef == nullptr)
        return nullptr;
    assert(IOHIDDeviceGetTypeID() == CFGetTypeID(inIOHIDDeviceRef));

    HIDElementArraySlot elements(inIOHIDDeviceRef);
    for (CFIndex i = 0; i < elements.count(); ++i)
    {
        IOHIDElementRef element = elements.at(i);
        if (element != nullptr && elementPassesMask(element, typeMask))
            return element;
    }
    return nullptr;
}

IOHIDElementRef HIDGetNextDeviceElement(IOHIDElementRef inIOHIDElementRef, UInt32 typeMask)
{
    if (inIOHIDElementRef == nullptr)
        return nullptr;
    assert(IOHIDElementGetTypeID() == CFGetTypeID(inIOHIDElementRef));
    IOHIDDeviceRef device = IOHIDElementGetDevice(inIOHIDElementRef);
    if (device == nullptr)
        return nullptr;

    HIDElementArraySlot elements(device);
    bool metGiven = false;
    for (CFIndex i = 0; i < elements.count(); ++i)
    {
        IOHIDElementRef element = elements.at(i);
        if (element == nullptr)
            continue;
        if (!metGiven)
            metGiven = element == inIOHIDElementRef;
        else if (elementPassesMask(element, typeMask))
            return element;
    }
    return nullptr;
}

namespace
{
const size_t kDumpTextSize = 256;

// The UTF-8 text of a string property in a cleared buffer; empty when it is missing, not a string or
// does not fit.
bool copyText(CFTypeRef text, char (&buffer)[kDumpTextSize])
{
    std::memset(buffer, 0, sizeof buffer);
    if (text == nullptr || CFGetTypeID(text) != CFStringGetTypeID())
        return false;
    if (CFStringGetCString(static_cast<CFStringRef>(text), buffer, sizeof buffer, kCFStringEncodingUTF8))
        return true;
    std::memset(buffer, 0, sizeof buffer);
    return false;
}

void printUsageName(long usagePage, long usage)
{
    CFStringRef name = HIDCopyUsageName(usagePage, usage);
    if (name == nullptr)
        return;
    char text[kDumpTextSize];
    copyText(name, text);
    printf("\"%s\", ", text);
    CFRelease(name);
}

void printIfNonZero(const char* format, long value)
{
    if (value != 0)
        printf(format, value);
}

void printTextIfPresent(const char* format, CFStringRef value)
{
    if (value == nullptr)
        return;
    char text[kDumpTextSize];
    copyText(value, text);
    printf(format, text);
}

void printDeviceUsage(IOHIDDeviceRef device)
{
    UInt32 usagePage = IOHIDDevice_GetUsagePage(device);
    UInt32 usage = IOHIDDevice_GetUsage(device);
    if (usagePage == 0 || usage == 0)
    {
        usagePage = IOHIDDevice_GetPrimaryUsagePage(device);
        usage = IOHIDDevice_GetPrimaryUsage(device);
    }
    printf("usage: 0x%04lX:0x%04lX, ", static_cast<unsigned long>(usagePage),
           static_cast<unsigned long>(usage));
    printUsageName(usagePage, usage);
}
} // namespace

void HIDDumpDeviceInfo(IOHIDDeviceRef inIOHIDDeviceRef)
{
    char manufacturer[kDumpTextSize];
    char product[kDumpTextSize];
    copyText(IOHIDDevice_GetManufacturer(inIOHIDDeviceRef), manufacturer);
    copyText(IOHIDDevice_GetProduct(inIOHIDDeviceRef), product);

    printf("Device: %p = { ", static_cast<const void*>(inIOHIDDeviceRef));
    printf("%s - %s, ", manufacturer, product);
    printIfNonZero("\tvendorID:\t0x%04lX, ", IOHIDDevice_GetVendorID(inIOHIDDeviceRef));
    printIfNonZero("\tproductID:\t0x%04lX, ", IOHIDDevice_GetProductID(inIOHIDDeviceRef));
    printDeviceUsage(inIOHIDDeviceRef);
    printTextIfPresent("Transport: \"%s\", ", IOHIDDevice_GetTransport(inIOHIDDeviceRef));
    printIfNonZero("VendorIDSource: %ld, ", IOHIDDevice_GetVendorIDSource(inIOHIDDeviceRef));
    printIfNonZero("version: %ld, ", IOHIDDevice_GetVersionNumber(inIOHIDDeviceRef));
    printTextIfPresent("SerialNumber: \"%s\", ", IOHIDDevice_GetSerialNumber(inIOHIDDeviceRef));
    printIfNonZero("CountryCode: %ld, ", IOHIDDevice_GetCountryCode(inIOHIDDeviceRef));
    printIfNonZero("locationID: 0x%08lX, ", IOHIDDevice_GetLocationID(inIOHIDDeviceRef));
    printIfNonZero("MaxInputReportSize: %ld, ", IOHIDDevice_GetMaxInputReportSize(inIOHIDDeviceRef));
    printIfNonZero("MaxOutputReportSize: %ld, ", IOHIDDevice_GetMaxOutputReportSize(inIOHIDDeviceRef));
    printIfNonZero("MaxFeatureReportSize: %ld, ", IOHIDDevice_GetMaxFeatureReportSize(inIOHIDDeviceRef));
    printIfNonZero("ReportInterval: %ld, ", IOHIDDevice_GetReportInterval(inIOHIDDeviceRef));
    if (IOHIDQueueRef queue = IOHIDDevice_GetQueue(inIOHIDDeviceRef))
        printf("queue: %p, ", static_cast<const void*>(queue));
    if (IOHIDTransactionRef transaction = IOHIDDevice_GetTransaction(inIOHIDDeviceRef))
        printf("transaction: %p, ", static_cast<const void*>(transaction));
    printf("}\n");
    fflush(stdout);
}

namespace
{
const char* collectionTypeText(IOHIDElementCollectionType type)
{
    switch (type)
    {
    case kIOHIDElementCollectionTypePhysical:
        return "Physical";
    case kIOHIDElementCollectionTypeApplication:
        return "Application";
    case kIOHIDElementCollectionTypeLogical:
        return "Logical";
    case kIOHIDElementCollectionTypeReport:
        return "Report";
    case kIOHIDElementCollectionTypeNamedArray:
        return "Named Array";
    case kIOHIDElementCollectionTypeUsageSwitch:
        return "Usage Switch";
    case kIOHIDElementCollectionTypeUsageModifier:
        return "Usage Modifier";
    default:
        return nullptr;
    }
}

const char* elementTypeText(IOHIDElementType type)
{
    switch (type)
    {
    case kIOHIDElementTypeInput_Misc:
        return "Misc";
    case kIOHIDElementTypeInput_Button:
        return "Button";
    case kIOHIDElementTypeInput_Axis:
        return "Axis";
    case kIOHIDElementTypeInput_ScanCodes:
        return "ScanCodes";
    case kIOHIDElementTypeOutput:
        return "Output";
    case kIOHIDElementTypeFeature:
        return "Feature";
    default:
        return nullptr;
    }
}

void printElementType(IOHIDElementRef element)
{
    const IOHIDElementType type = IOHIDElementGetType(element);
    if (type == kIOHIDElementTypeCollection)
    {
        const IOHIDElementCollectionType collectionType = IOHIDElementGetCollectionType(element);
        if (const char* text = collectionTypeText(collectionType))
            printf("type: %s Collection, ", text);
        else
            printf("type: %p Collection, ",
                   reinterpret_cast<void*>(static_cast<std::uintptr_t>(collectionType)));
    }
    else if (const char* text = elementTypeText(type))
        printf("type: %s, ", text);
    else
        printf("type: %p, ", reinterpret_cast<void*>(static_cast<std::uintptr_t>(type)));
}

void printElementName(IOHIDElementRef element)
{
    CFStringRef name = IOHIDElementGetName(element);
    char text[kDumpTextSize];
    if (name != nullptr && copyText(name, text))
        printf("name: %s, ", text);
}

void printElementRanges(IOHIDElementRef element)
{
    const UInt32 unit = IOHIDElementGetUnit(element);
    const UInt32 unitExponent = IOHIDElementGetUnitExponent(element);
    if (unit != 0 || unitExponent != 0)
        printf("unit: %lu * 10^%lu, ", static_cast<unsigned long>(unit),
               static_cast<unsigned long>(unitExponent));

    const long logicalMin = IOHIDElementGetLogicalMin(element);
    const long logicalMax = IOHIDElementGetLogicalMax(element);
    if (logicalMin != logicalMax)
        printf("logical: {min: %ld, max: %ld}, ", logicalMin, logicalMax);

    const long physicalMin = IOHIDElementGetPhysicalMin(element);
    const long physicalMax = IOHIDElementGetPhysicalMax(element);
    if (physicalMin != physicalMax)
        printf("physical: {min: %ld, max: %ld}, ", physicalMin, physicalMax);
}

void printElementFlags(IOHIDElementRef element)
{
    const struct
    {
        Boolean (*holds)(IOHIDElementRef);
        const char* text;
    } flags[] = {
        {IOHIDElementIsVirtual, "isVirtual, "},       {IOHIDElementIsRelative, "isRelative, "},
        {IOHIDElementIsWrapping, "isWrapping, "},     {IOHIDElementIsArray, "isArray, "},
        {IOHIDElementIsNonLinear, "isNonLinear, "},   {IOHIDElementHasPreferredState, "hasPreferredState, "},
        {IOHIDElementHasNullState, "hasNullState, "},
    };
    for (const auto& flag : flags)
        if (flag.holds(element))
            printf("%s", flag.text);
}
} // namespace

void HIDDumpElementInfo(IOHIDElementRef inIOHIDElementRef)
{
    if (inIOHIDElementRef == nullptr)
        return;
    IOHIDElementRef element = inIOHIDElementRef;
    printf("    Element: %p = { ", static_cast<const void*>(element));
    printf("parent: %p, ", static_cast<const void*>(IOHIDElementGetParent(element)));
    printf("cookie: %d, ", static_cast<int>(IOHIDElementGetCookie(element)));
    printElementType(element);
    const UInt32 usagePage = IOHIDElementGetUsagePage(element);
    const UInt32 usage = IOHIDElementGetUsage(element);
    printf("usage: 0x%04lX:0x%04lX, ", static_cast<unsigned long>(usagePage),
           static_cast<unsigned long>(usage));
    printUsageName(usagePage, usage);
    printElementName(element);
    printf("report: { ID: %lu, Size: %lu, Count: %lu }, ",
           static_cast<unsigned long>(IOHIDElementGetReportID(element)),
           static_cast<unsigned long>(IOHIDElementGetReportSize(element)),
           static_cast<unsigned long>(IOHIDElementGetReportCount(element)));
    printElementRanges(element);
    printElementFlags(element);
    printf(" }\n");
}

void HIDDumpElementCalibrationInfo(IOHIDElementRef inIOHIDElementRef)
{
    IOHIDElementRef element = inIOHIDElementRef;
    printf("    Element: %p = { ", static_cast<const void*>(element));
    // Read one by one: each read may store a derived value, and argument order is unspecified.
    const long calibrationMin = IOHIDElement_GetCalibrationMin(element);
    const long calibrationMax = IOHIDElement_GetCalibrationMax(element);
    printf("cal: {min: %ld, max: %ld}, ", calibrationMin, calibrationMax);
    const long saturationMin = IOHIDElement_GetCalibrationSaturationMin(element);
    const long saturationMax = IOHIDElement_GetCalibrationSaturationMax(element);
    printf("sat: {min: %ld, max: %ld}, ", saturationMin, saturationMax);
    const long deadZoneMin = IOHIDElement_GetCalibrationDeadZoneMin(element);
    const long deadZoneMax = IOHIDElement_GetCalibrationDeadZoneMax(element);
    printf("dead: {min: %ld, max: %ld}, ", deadZoneMin, deadZoneMax);
    printf("granularity: %6.2f }\n", IOHIDElement_GetCalibrationGranularity(element));
}

HIDElementArraySlot::HIDElementArraySlot(IOHIDDeviceRef inIOHIDDeviceRef)
{
    gElementCFArrayRef = IOHIDDeviceCopyMatchingElements(inIOHIDDeviceRef, nullptr, kIOHIDOptionsTypeNone);
}

HIDElementArraySlot::~HIDElementArraySlot()
{
    if (gElementCFArrayRef != nullptr)
        CFRelease(gElementCFArrayRef);
    gElementCFArrayRef = nullptr;
}

CFIndex HIDElementArraySlot::count() const
{
    return gElementCFArrayRef != nullptr ? CFArrayGetCount(gElementCFArrayRef) : 0;
}

IOHIDElementRef HIDElementArraySlot::at(CFIndex index) const
{
    return (IOHIDElementRef)CFArrayGetValueAtIndex(gElementCFArrayRef, index);
}
