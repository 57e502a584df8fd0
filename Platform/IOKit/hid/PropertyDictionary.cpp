#include "PropertyDictionary.h"

#include "CFValues.h"

#include <IOKit/hid/IOHIDKeys.h>

namespace iohid
{
namespace
{

cf::Owned<CFMutableDictionaryRef> newDictionary()
{
    return cf::Owned<CFMutableDictionaryRef>(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

void setOptionalNumber(CFMutableDictionaryRef dictionary, CFStringRef key,
                       const std::optional<uint32_t>& value)
{
    if (value)
        setNumber(dictionary, key, *value);
}

void setOptionalString(CFMutableDictionaryRef dictionary, CFStringRef key,
                       const std::optional<std::string>& value)
{
    if (!value)
        return;
    const auto string = makeString(*value);
    if (string)
        CFDictionarySetValue(dictionary, key, string.get());
}

void setSize(CFMutableDictionaryRef dictionary, CFStringRef key, uint32_t size)
{
    if (size > 0)
        setNumber(dictionary, key, size);
}

cf::Owned<CFArrayRef> usagePairs(const std::vector<hidraw::UsagePair>& usages)
{
    cf::Owned<CFMutableArrayRef> pairs(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    for (const hidraw::UsagePair& usage : usages)
    {
        const auto pair = newDictionary();
        setNumber(pair.get(), CFSTR(kIOHIDDeviceUsagePageKey), usage.usagePage);
        setNumber(pair.get(), CFSTR(kIOHIDDeviceUsageKey), usage.usage);
        CFArrayAppendValue(pairs.get(), pair.get());
    }
    return cf::Owned<CFArrayRef>(pairs.release());
}

} // namespace

cf::Owned<CFMutableDictionaryRef> makePropertyDictionary(const hidraw::DeviceProperties& properties)
{
    auto dictionary = newDictionary();
    CFMutableDictionaryRef d = dictionary.get();
    setOptionalNumber(d, CFSTR(kIOHIDVendorIDKey), properties.vendorId);
    setOptionalNumber(d, CFSTR(kIOHIDProductIDKey), properties.productId);
    setOptionalNumber(d, CFSTR(kIOHIDVersionNumberKey), properties.versionNumber);
    setOptionalNumber(d, CFSTR(kIOHIDLocationIDKey), properties.locationId);
    setOptionalString(d, CFSTR(kIOHIDTransportKey), properties.transport);
    setOptionalString(d, CFSTR(kIOHIDManufacturerKey), properties.manufacturer);
    setOptionalString(d, CFSTR(kIOHIDProductKey), properties.product);
    setOptionalString(d, CFSTR(kIOHIDSerialNumberKey), properties.serialNumber);
    if (const auto primary = properties.primaryUsage())
    {
        setNumber(d, CFSTR(kIOHIDPrimaryUsagePageKey), primary->usagePage);
        setNumber(d, CFSTR(kIOHIDPrimaryUsageKey), primary->usage);
    }
    CFDictionarySetValue(d, CFSTR(kIOHIDDeviceUsagePairsKey),
                         usagePairs(properties.descriptor.applicationUsages).get());
    setSize(d, CFSTR(kIOHIDMaxInputReportSizeKey), properties.descriptor.maxInputReportSize);
    setSize(d, CFSTR(kIOHIDMaxOutputReportSizeKey), properties.descriptor.maxOutputReportSize);
    setSize(d, CFSTR(kIOHIDMaxFeatureReportSizeKey), properties.descriptor.maxFeatureReportSize);
    return dictionary;
}

CFTypeRef PropertyStore::get(CFStringRef key) const
{
    std::lock_guard<std::mutex> guard(lock);
    return dictionary && key != nullptr ? CFDictionaryGetValue(dictionary.get(), key) : nullptr;
}

bool PropertyStore::set(CFStringRef key, CFTypeRef value)
{
    std::lock_guard<std::mutex> guard(lock);
    if (!dictionary || key == nullptr)
        return false;
    if (value != nullptr)
        CFDictionarySetValue(dictionary.get(), key, value);
    else
        CFDictionaryRemoveValue(dictionary.get(), key);
    return true;
}

bool PropertyStore::holdsAll(CFDictionaryRef matching) const
{
    std::lock_guard<std::mutex> guard(lock);
    return dictionary && dictionaryMatches(dictionary.get(), matching);
}

} // namespace iohid
