#include "HID_Config_Utilities.h"

#include "HID_Utilities.h"

#include <cmath>
#include <cstdint>
#include <ctime>
#include <memory>
#include <new>

// The preference string: device vendor, product, location, usage page and usage, then element usage
// page, usage and cookie.
#define kElementPrefFormat "d:{v:%ld, p:%ld, l:%ld, p:%d, u:%d}, e:{p:%d, u:%d, c:%d}"

static_assert(sizeof(HIDElementConfigRecord) == 44, "a saved record is 44 bytes");

namespace
{
SInt32 low32(long value)
{
    return static_cast<SInt32>(static_cast<std::uint32_t>(value));
}

double elapsedSeconds(std::clock_t start)
{
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

struct UsagePair
{
    UInt32 usagePage;
    UInt32 usage;
};

// The device's usage page and usage, or its primary ones when either is 0.
UsagePair deviceUsage(IOHIDDeviceRef device)
{
    UsagePair pair{IOHIDDevice_GetUsagePage(device), IOHIDDevice_GetUsage(device)};
    if (pair.usagePage == 0 || pair.usage == 0)
        pair = {IOHIDDevice_GetPrimaryUsagePage(device), IOHIDDevice_GetPrimaryUsage(device)};
    return pair;
}

CFIndex listedDeviceCount()
{
    return gDeviceCFArrayRef != nullptr ? CFArrayGetCount(gDeviceCFArrayRef) : 0;
}

IOHIDDeviceRef listedDevice(CFIndex index)
{
    return (IOHIDDeviceRef)CFArrayGetValueAtIndex(gDeviceCFArrayRef, index);
}

void setOut(IOHIDDeviceRef* outDevice, IOHIDDeviceRef device, IOHIDElementRef* outElement,
            IOHIDElementRef element)
{
    if (outDevice != nullptr)
        *outDevice = device;
    if (outElement != nullptr)
        *outElement = element;
}

// --- configure one device ---

bool sampledOnSingleDevice(IOHIDElementRef element)
{
    const IOHIDElementType type = IOHIDElementGetType(element);
    return type != kIOHIDElementTypeOutput && type != kIOHIDElementTypeFeature &&
           type != kIOHIDElementTypeCollection;
}

CFIndex countSampledOnSingleDevice(CFArrayRef elements)
{
    CFIndex count = 0;
    for (CFIndex i = 0; i < CFArrayGetCount(elements); ++i)
    {
        auto element = (IOHIDElementRef)CFArrayGetValueAtIndex(elements, i);
        if (element != nullptr && sampledOnSingleDevice(element))
            ++count;
    }
    return count;
}

// 10 % of the logical range, computed as the single-precision original did.
long logicalThreshold(IOHIDElementRef element)
{
    const auto range =
        static_cast<float>(IOHIDElementGetLogicalMax(element) - IOHIDElementGetLogicalMin(element));
    return hu_TruncateToLong(static_cast<double>(range * 10.0f) * 0.01);
}

class SingleDeviceSearch
{
public:
    SingleDeviceSearch(CFArrayRef elements, SInt32* baseline, CFIndex size)
        : m_elements(elements), m_baseline(baseline), m_size(size)
    {
    }

    // One pass over the elements: the first pass notes each sample, later ones return the first
    // element beyond its threshold.
    IOHIDElementRef pass(bool first)
    {
        CFIndex slot = 0;
        for (CFIndex i = 0; i < CFArrayGetCount(m_elements) && slot < m_size; ++i)
        {
            auto element = (IOHIDElementRef)CFArrayGetValueAtIndex(m_elements, i);
            if (element == nullptr || !sampledOnSingleDevice(element))
                continue;
            const long sample =
                low32(hu_TruncateToLong(IOHIDElement_GetValue(element, kIOHIDValueScaleTypePhysical)));
            const long baseline = m_baseline[slot];
            if (first)
                m_baseline[slot] = static_cast<SInt32>(sample);
            else if (const long threshold = logicalThreshold(element);
                     sample > baseline + threshold || sample < baseline - threshold)
                return element;
            ++slot;
        }
        return nullptr;
    }

private:
    CFArrayRef m_elements;
    SInt32* m_baseline;
    CFIndex m_size;
};

// --- configure across devices ---

bool sampledAcrossDevices(IOHIDElementRef element)
{
    return IOHIDElementGetType(element) <= kIOHIDElementTypeInput_ScanCodes &&
           !IOHIDElementIsArray(element) && IOHIDElementGetReportCount(element) <= 1 &&
           IOHIDElementGetUsagePage(element) != 0x0F && IOHIDElementGetUsage(element) != 0xFFFFFFFF;
}

double physicalValue(IOHIDDeviceRef device, IOHIDElementRef element)
{
    IOHIDValueRef value = nullptr;
    if (IOHIDDeviceGetValue(device, element, &value) != kIOReturnSuccess || value == nullptr)
        return 0.0;
    return IOHIDValueGetScaledValue(value, kIOHIDValueScaleTypePhysical);
}

// The change as a percentage of the physical range; any change of an element without a range is
// infinite, and none is 0.
double changePercent(double baseline, double sample, IOHIDElementRef element)
{
    const auto range =
        static_cast<double>(IOHIDElementGetPhysicalMax(element) - IOHIDElementGetPhysicalMin(element));
    if (range == 0.0)
        return baseline == sample ? 0.0 : HUGE_VAL;
    return std::fabs((baseline - sample) * 100.0 / range);
}

CFIndex largestInputCount(CFIndex deviceCount)
{
    CFIndex largest = 0;
    for (CFIndex d = 0; d < deviceCount; ++d)
    {
        const auto count =
            static_cast<CFIndex>(HIDCountDeviceElements(listedDevice(d), kHIDElementTypeInput));
        largest = count > largest ? count : largest;
    }
    return largest;
}

class AllDevicesSearch
{
public:
    AllDevicesSearch(double* baseline, CFIndex deviceCount, CFIndex width)
        : m_baseline(baseline), m_deviceCount(deviceCount), m_width(width)
    {
    }

    // One pass over every listed device; true with the device and element once one has moved.
    bool pass(bool first, IOHIDDeviceRef* outDevice, IOHIDElementRef* outElement)
    {
        for (CFIndex d = 0; d < m_deviceCount; ++d)
        {
            IOHIDDeviceRef device = listedDevice(d);
            if (device == nullptr)
                continue;
            if (IOHIDElementRef element = passDevice(device, m_baseline + d * m_width, first))
            {
                *outDevice = device;
                *outElement = element;
                return true;
            }
        }
        return false;
    }

private:
    IOHIDElementRef passDevice(IOHIDDeviceRef device, double* row, bool first)
    {
        HIDElementArraySlot elements(device);
        CFIndex slot = 0;
        for (CFIndex i = 0; i < elements.count() && slot < m_width; ++i)
        {
            IOHIDElementRef element = elements.at(i);
            if (element == nullptr || !sampledAcrossDevices(element))
                continue;
            const double sample = physicalValue(device, element);
            if (first)
                row[slot] = sample;
            else if (changePercent(row[slot], sample, element) >= 10.0)
                return element;
            ++slot;
        }
        return nullptr;
    }

    double* m_baseline;
    CFIndex m_deviceCount;
    CFIndex m_width;
};

// --- best match ---

bool sameValue(SInt32 recorded, long property)
{
    return recorded == low32(property);
}

long deviceScore(const HIDElementConfigRecord& record, IOHIDDeviceRef device)
{
    long score = 1;
    if (record.vendorID != 0 && sameValue(record.vendorID, IOHIDDevice_GetVendorID(device)))
    {
        score += 10;
        if (record.productID != 0 && sameValue(record.productID, IOHIDDevice_GetProductID(device)))
            score += 8;
    }
    if (record.usagePage != 0 && record.usage != 0)
    {
        const UsagePair pair = deviceUsage(device);
        if (pair.usagePage != 0 && pair.usage != 0 && sameValue(record.usagePage, pair.usagePage) &&
            sameValue(record.usage, pair.usage))
            score += 9;
    }
    if (record.locationID != 0 && sameValue(record.locationID, IOHIDDevice_GetLocationID(device)))
        score += 5;
    return score;
}

bool sameElementUsage(const HIDElementConfigRecord& record, IOHIDElementRef element)
{
    return sameValue(record.elementUsagePage, IOHIDElementGetUsagePage(element)) &&
           sameValue(record.elementUsage, IOHIDElementGetUsage(element));
}

bool sameCookie(const HIDElementConfigRecord& record, IOHIDElementRef element)
{
    return sameValue(record.elementCookie, IOHIDElementGetCookie(element));
}

long elementScore(const HIDElementConfigRecord& record, IOHIDElementRef element, long score)
{
    if (record.elementUsagePage == 0 || record.elementUsage == 0)
        return score;
    if (!sameElementUsage(record, element))
        return 0;
    return sameCookie(record, element) ? score + 9 : score + 5;
}

// --- find from a record ---

IOHIDDeviceRef findListedDevice(const HIDElementConfigRecord& record, bool atLocation)
{
    for (CFIndex d = 0; d < listedDeviceCount(); ++d)
    {
        IOHIDDeviceRef device = listedDevice(d);
        if (device == nullptr)
            continue;
        if (atLocation && !sameValue(record.locationID, IOHIDDevice_GetLocationID(device)))
            continue;
        if (sameValue(record.vendorID, IOHIDDevice_GetVendorID(device)) &&
            sameValue(record.productID, IOHIDDevice_GetProductID(device)))
            return device;
    }
    return nullptr;
}

// The device's first element with the record's cookie, else its first with the record's usage.
IOHIDElementRef findRecordedElement(const HIDElementConfigRecord& record, IOHIDDeviceRef device)
{
    HIDElementArraySlot elements(device);
    for (CFIndex i = 0; i < elements.count(); ++i)
    {
        IOHIDElementRef element = elements.at(i);
        if (element != nullptr && sameCookie(record, element))
            return element;
    }
    for (CFIndex i = 0; i < elements.count(); ++i)
    {
        IOHIDElementRef element = elements.at(i);
        if (element != nullptr && sameElementUsage(record, element))
            return element;
    }
    return nullptr;
}
} // namespace

Boolean HIDConfigureSingleDeviceAction(IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef,
                                       float timeout)
{
    if (inIOHIDDeviceRef == nullptr || outIOHIDElementRef == nullptr || !HIDHaveDeviceList())
        return 0;
    *outIOHIDElementRef = nullptr;
    CFArrayRef elements = IOHIDDeviceCopyMatchingElements(inIOHIDDeviceRef, nullptr, kIOHIDOptionsTypeNone);
    if (elements == nullptr)
        return 0;

    // Room for every sampled element, even of a type the input count leaves out.
    const CFIndex inputCount = HIDCountDeviceElements(inIOHIDDeviceRef, kHIDElementTypeInput);
    const CFIndex sampledCount = countSampledOnSingleDevice(elements);
    const CFIndex size = sampledCount > inputCount ? sampledCount : inputCount;
    std::unique_ptr<SInt32[]> baseline(new (std::nothrow) SInt32[static_cast<size_t>(size)]());
    if (baseline == nullptr)
    {
        CFRelease(elements);
        return 0;
    }

    SingleDeviceSearch search(elements, baseline.get(), size);
    const std::clock_t start = std::clock();
    IOHIDElementRef moved = search.pass(true);
    while (moved == nullptr && elapsedSeconds(start) <= timeout)
        moved = search.pass(false);

    CFRelease(elements);
    *outIOHIDElementRef = moved;
    return moved != nullptr;
}

Boolean HIDConfigureAction(IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef,
                           float timeout)
{
    if (outIOHIDDeviceRef == nullptr || outIOHIDElementRef == nullptr)
        return 0;
    if (!HIDHaveDeviceList() && (!HIDBuildDeviceList(0, 0) || !HIDHaveDeviceList()))
        return 0;
    setOut(outIOHIDDeviceRef, nullptr, outIOHIDElementRef, nullptr);

    const std::clock_t start = std::clock();
    const CFIndex deviceCount = listedDeviceCount();
    const CFIndex width = largestInputCount(deviceCount);
    std::unique_ptr<double[]> baseline(new (std::nothrow) double[static_cast<size_t>(deviceCount * width)]());
    if (baseline == nullptr)
        return 0;

    AllDevicesSearch search(baseline.get(), deviceCount, width);
    bool found = search.pass(true, outIOHIDDeviceRef, outIOHIDElementRef);
    while (!found && elapsedSeconds(start) <= timeout)
        found = search.pass(false, outIOHIDDeviceRef, outIOHIDElementRef);
    return found;
}

Boolean HIDSaveElementPref(CFStringRef inKeyCFStringRef, CFStringRef inAppCFStringRef,
                           IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef)
{
    if (inKeyCFStringRef == nullptr || inAppCFStringRef == nullptr || inIOHIDDeviceRef == nullptr ||
        inIOHIDElementRef == nullptr)
        return 0;
    const long vendorID = IOHIDDevice_GetVendorID(inIOHIDDeviceRef);
    const long productID = IOHIDDevice_GetProductID(inIOHIDDeviceRef);
    const long locationID = IOHIDDevice_GetLocationID(inIOHIDDeviceRef);
    if (vendorID == 0 || productID == 0 || locationID == 0)
        return 0;
    const UsagePair usage = deviceUsage(inIOHIDDeviceRef);
    if (usage.usagePage == 0 || usage.usage == 0)
        return 0;

    CFStringRef pref =
        CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR(kElementPrefFormat), vendorID, productID,
                                 locationID, static_cast<int>(usage.usagePage), static_cast<int>(usage.usage),
                                 static_cast<int>(IOHIDElementGetUsagePage(inIOHIDElementRef)),
                                 static_cast<int>(IOHIDElementGetUsage(inIOHIDElementRef)),
                                 static_cast<int>(IOHIDElementGetCookie(inIOHIDElementRef)));
    if (pref == nullptr)
        return 0;
    CFPreferencesSetAppValue(inKeyCFStringRef, pref, inAppCFStringRef);
    CFRelease(pref);
    return 1;
}

Boolean hu_ReadElementPrefString(CFStringRef inPrefString, HIDElementConfigRecord* outConfigRec)
{
    if (inPrefString == nullptr || outConfigRec == nullptr ||
        CFGetTypeID(inPrefString) != CFStringGetTypeID())
        return 0;
    char text[256];
    if (!CFStringGetCString(inPrefString, text, sizeof text, kCFStringEncodingUTF8))
        return 0;

    long vendorID = 0, productID = 0, locationID = 0;
    int usagePage = 0, usage = 0, elementUsagePage = 0, elementUsage = 0, cookie = 0;
    if (std::sscanf(text, kElementPrefFormat, &vendorID, &productID, &locationID, &usagePage, &usage,
                    &elementUsagePage, &elementUsage, &cookie) != 8)
        return 0;

    *outConfigRec = HIDElementConfigRecord{};
    outConfigRec->vendorID = low32(vendorID);
    outConfigRec->productID = low32(productID);
    outConfigRec->locationID = low32(locationID);
    outConfigRec->usagePage = usagePage;
    outConfigRec->usage = usage;
    outConfigRec->elementUsagePage = elementUsagePage;
    outConfigRec->elementUsage = elementUsage;
    outConfigRec->elementCookie = cookie;
    return 1;
}

Boolean HIDRestoreElementPref(CFStringRef inKeyCFStringRef, CFStringRef inAppCFStringRef,
                              IOHIDDeviceRef* outIOHIDDeviceRef, IOHIDElementRef* outIOHIDElementRef)
{
    if (inKeyCFStringRef == nullptr || inAppCFStringRef == nullptr || outIOHIDDeviceRef == nullptr ||
        outIOHIDElementRef == nullptr)
        return 0;
    CFPropertyListRef value = CFPreferencesCopyAppValue(inKeyCFStringRef, inAppCFStringRef);
    if (value == nullptr)
        return 0;

    Boolean found = 0;
    HIDElementConfigRecord record{};
    if (CFGetTypeID(value) != CFStringGetTypeID())
    {
        CFPreferencesSetAppValue(inKeyCFStringRef, nullptr, inAppCFStringRef);
        CFPreferencesAppSynchronize(inAppCFStringRef);
    }
    else if (hu_ReadElementPrefString(static_cast<CFStringRef>(value), &record))
        found = HIDFindDeviceAndElement(&record, outIOHIDDeviceRef, outIOHIDElementRef);
    CFRelease(value);
    return found;
}

Boolean HIDFindDeviceAndElement(const HIDElementConfigRecord* inSearchInfo, IOHIDDeviceRef* outFoundDevice,
                                IOHIDElementRef* outFoundElement)
{
    if (inSearchInfo == nullptr)
        return 0;
    long bestScore = 0;
    IOHIDDeviceRef bestDevice = nullptr;
    IOHIDElementRef bestElement = nullptr;
    for (CFIndex d = 0; d < listedDeviceCount(); ++d)
    {
        IOHIDDeviceRef device = listedDevice(d);
        if (device == nullptr)
            continue;
        const long score = deviceScore(*inSearchInfo, device);
        HIDElementArraySlot elements(device);
        for (CFIndex i = 0; i < elements.count(); ++i)
        {
            IOHIDElementRef element = elements.at(i);
            if (element == nullptr)
                continue;
            const long candidate = elementScore(*inSearchInfo, element, score);
            if (candidate > bestScore)
            {
                bestScore = candidate;
                bestDevice = device;
                bestElement = element;
            }
        }
    }
    if (bestElement == nullptr)
        return 0;
    setOut(outFoundDevice, bestDevice, outFoundElement, bestElement);
    return 1;
}

void HIDSetElementConfig(HIDElementConfigRecord* inConfigRec, IOHIDDeviceRef inIOHIDDeviceRef,
                         IOHIDElementRef inIOHIDElementRef, int actionID)
{
    if (inConfigRec == nullptr)
        return;
    *inConfigRec = HIDElementConfigRecord{};
    inConfigRec->actionID = actionID;
    if (inIOHIDDeviceRef == nullptr || inIOHIDElementRef == nullptr)
        return;
    inConfigRec->vendorID = low32(IOHIDDevice_GetVendorID(inIOHIDDeviceRef));
    inConfigRec->productID = low32(IOHIDDevice_GetProductID(inIOHIDDeviceRef));
    inConfigRec->locationID = low32(IOHIDDevice_GetLocationID(inIOHIDDeviceRef));
    inConfigRec->usagePage = low32(IOHIDDevice_GetUsagePage(inIOHIDDeviceRef));
    inConfigRec->usage = low32(IOHIDDevice_GetUsage(inIOHIDDeviceRef));
    inConfigRec->elementUsagePage = low32(IOHIDElementGetUsagePage(inIOHIDElementRef));
    inConfigRec->elementUsage = low32(IOHIDElementGetUsage(inIOHIDElementRef));
    inConfigRec->saturationMin = low32(IOHIDElement_GetCalibrationSaturationMin(inIOHIDElementRef));
    inConfigRec->saturationMax = low32(IOHIDElement_GetCalibrationSaturationMax(inIOHIDElementRef));
    inConfigRec->elementCookie = low32(IOHIDElementGetCookie(inIOHIDElementRef));
}

void HIDSaveElementConfig(FILE* fileRef, IOHIDDeviceRef inIOHIDDeviceRef, IOHIDElementRef inIOHIDElementRef,
                          int actionID)
{
    HIDElementConfigRecord record{};
    HIDSetElementConfig(&record, inIOHIDDeviceRef, inIOHIDElementRef, actionID);
    if (fileRef != nullptr)
        (void)std::fwrite(&record, sizeof record, 1, fileRef);
}

int HIDGetElementConfig(const HIDElementConfigRecord* inConfigRec, IOHIDDeviceRef* outIOHIDDeviceRef,
                        IOHIDElementRef* outIOHIDElementRef)
{
    setOut(outIOHIDDeviceRef, nullptr, outIOHIDElementRef, nullptr);
    if (inConfigRec == nullptr)
        return 0;
    const HIDElementConfigRecord& record = *inConfigRec;
    if (record.locationID == 0 || record.vendorID == 0 || record.productID == 0)
        return record.actionID;

    IOHIDDeviceRef device = findListedDevice(record, true);
    if (device == nullptr)
        device = findListedDevice(record, false);
    IOHIDElementRef element = device != nullptr ? findRecordedElement(record, device) : nullptr;
    if (element == nullptr)
        return record.actionID;

    IOHIDElement_SetupCalibration(element);
    IOHIDElement_SetCalibrationSaturationMin(element, record.saturationMin);
    IOHIDElement_SetCalibrationSaturationMax(element, record.saturationMax);
    setOut(outIOHIDDeviceRef, device, outIOHIDElementRef, element);
    return record.actionID;
}

int HIDRestoreElementConfig(FILE* fileRef, IOHIDDeviceRef* outIOHIDDeviceRef,
                            IOHIDElementRef* outIOHIDElementRef)
{
    HIDElementConfigRecord record{};
    // A short read leaves no whole record to find.
    if (fileRef == nullptr || std::fread(&record, sizeof record, 1, fileRef) != 1)
    {
        setOut(outIOHIDDeviceRef, nullptr, outIOHIDElementRef, nullptr);
        return 0;
    }
    return HIDGetElementConfig(&record, outIOHIDDeviceRef, outIOHIDElementRef);
}
