#include "HID_Name_Lookup.h"

#include <algorithm>
#include <cstring>

namespace
{
// The loaded lists, kept for the life of the process.
CFPropertyListRef gUsageCFPropertyListRef = nullptr;
CFPropertyListRef gCookieCFPropertyListRef = nullptr;

// Owns one CF reference for the length of a scope.
class ScopedRef
{
public:
    explicit ScopedRef(CFTypeRef ref) : m_ref(ref) {}
    ~ScopedRef()
    {
        if (m_ref != nullptr)
            CFRelease(m_ref);
    }
    ScopedRef(const ScopedRef&) = delete;
    ScopedRef& operator=(const ScopedRef&) = delete;
    CFTypeRef get() const { return m_ref; }

private:
    CFTypeRef m_ref;
};

bool isDictionary(CFTypeRef value)
{
    return value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID();
}

bool isString(CFTypeRef value)
{
    return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID();
}

// The list held by a cache, loading it on first use; null while it cannot be found or is not a
// dictionary.
CFDictionaryRef cachedList(CFPropertyListRef& cache, CFStringRef resourceName)
{
    if (cache == nullptr)
        cache = hu_XMLLoad(resourceName, CFSTR("plist"));
    return isDictionary(cache) ? static_cast<CFDictionaryRef>(cache) : nullptr;
}

CFDictionaryRef deviceUsageList()
{
    return cachedList(gUsageCFPropertyListRef, CFSTR("HID_device_usage_strings"));
}

CFDictionaryRef cookieList()
{
    return cachedList(gCookieCFPropertyListRef, CFSTR("HID_cookie_strings"));
}

CFTypeRef valueForKey(CFDictionaryRef dictionary, CFStringRef key)
{
    const void* value = nullptr;
    if (dictionary == nullptr || key == nullptr || !CFDictionaryGetValueIfPresent(dictionary, key, &value))
        return nullptr;
    return value;
}

// The value under a key made from one number with the given format; null when absent.
CFTypeRef valueForNumberKey(CFDictionaryRef dictionary, CFStringRef format, long number)
{
    ScopedRef key(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, format, number));
    return valueForKey(dictionary, static_cast<CFStringRef>(key.get()));
}

CFDictionaryRef dictionaryForNumberKey(CFDictionaryRef dictionary, CFStringRef format, long number)
{
    CFTypeRef value = valueForNumberKey(dictionary, format, number);
    return isDictionary(value) ? static_cast<CFDictionaryRef>(value) : nullptr;
}

CFDictionaryRef vendorDictionary(CFDictionaryRef list, long vendorID)
{
    return dictionaryForNumberKey(list, CFSTR("%ld"), vendorID);
}

CFDictionaryRef productDictionary(CFDictionaryRef list, long vendorID, long productID)
{
    return dictionaryForNumberKey(vendorDictionary(list, vendorID), CFSTR("%ld"), productID);
}

// Writes a name as UTF-8 within twice its UTF-16 length plus one byte, and never beyond the
// customary name buffer; false when it does not fit.
bool copyName(CFStringRef name, char* outCStr)
{
    if (!isString(name))
        return false;
    const CFIndex bound = std::min<CFIndex>(2 * CFStringGetLength(name) + 1, kHIDNameBufferSize);
    if (CFStringGetCString(name, outCStr, bound, kCFStringEncodingUTF8))
        return true;
    outCStr[0] = 0;
    return false;
}

// Writes the text of any property-list value made with a format of one or two objects.
bool copyFormatted(char* outCStr, CFStringRef format, CFTypeRef first, CFTypeRef second = nullptr)
{
    ScopedRef text(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, format, first, second));
    return text.get() != nullptr && copyName(static_cast<CFStringRef>(text.get()), outCStr);
}

CFURLRef copyResourceURL(CFBundleRef bundle, CFStringRef name, CFStringRef type)
{
    return bundle != nullptr ? CFBundleCopyResourceURL(bundle, name, type, nullptr) : nullptr;
}

CFURLRef findResource(CFStringRef name, CFStringRef type)
{
    if (CFURLRef url = copyResourceURL(CFBundleGetMainBundle(), name, type))
        return url;
    if (CFURLRef url =
            copyResourceURL(CFBundleGetBundleWithIdentifier(kHIDUtilitiesBundleIdentifier), name, type))
        return url;
    CFArrayRef bundles = CFBundleGetAllBundles();
    const CFIndex count = bundles != nullptr ? CFArrayGetCount(bundles) : 0;
    for (CFIndex i = 0; i < count; ++i)
    {
        auto bundle = (CFBundleRef)CFArrayGetValueAtIndex(bundles, i);
        if (CFURLRef url = copyResourceURL(bundle, name, type))
            return url;
    }
    return nullptr;
}

// A usage page or usage as its list key: "0x" and at least four upper-case hexadecimal digits.
CFStringRef usageKeyFormat()
{
    return CFSTR("0x%4.4lX");
}
} // namespace

CFPropertyListRef hu_LoadFromXMLFile(CFURLRef inURL)
{
    CFDataRef data = nullptr;
    SInt32 errorCode = 0;
    const Boolean read = CFURLCreateDataAndPropertiesFromResource(kCFAllocatorDefault, inURL, &data, nullptr,
                                                                  nullptr, &errorCode);
    ScopedRef dataHolder(data);
    if (!read || data == nullptr)
        return nullptr;

    CFStringRef errorString = nullptr;
    CFPropertyListRef list =
        CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, kCFPropertyListImmutable, &errorString);
    ScopedRef errorHolder(errorString);
    return list;
}

CFPropertyListRef hu_XMLLoad(CFStringRef inResourceName, CFStringRef inResourceExtension)
{
    CFURLRef url = findResource(inResourceName, inResourceExtension);
    if (url == nullptr)
        return nullptr;
    CFPropertyListRef list = hu_LoadFromXMLFile(url);
    CFRelease(url);
    return list;
}

Boolean hu_XMLSearchForVendorNameByVendorID(long inVendorID, char* outCStr)
{
    CFDictionaryRef vendor = vendorDictionary(deviceUsageList(), inVendorID);
    CFTypeRef name = valueForKey(vendor, CFSTR("Name"));
    return name != nullptr && copyName(static_cast<CFStringRef>(name), outCStr);
}

Boolean hu_XMLSearchForProductNameByVendorProductID(long inVendorID, long inProductID, char* outCStr)
{
    CFDictionaryRef vendor = vendorDictionary(deviceUsageList(), inVendorID);
    if (vendor == nullptr)
        return false;
    CFDictionaryRef product = dictionaryForNumberKey(vendor, CFSTR("%ld"), inProductID);
    if (product == nullptr)
        return false;
    return copyFormatted(outCStr, CFSTR("%@ %@"), valueForKey(vendor, CFSTR("Name")),
                         valueForKey(product, CFSTR("Name")));
}

Boolean hu_XMLSearchForElementNameByCookie(long inVendorID, long inProductID, IOHIDElementCookie inCookie,
                                           char* outCStr)
{
    CFDictionaryRef product = productDictionary(cookieList(), inVendorID, inProductID);
    // Cookies are keyed as signed 32-bit decimals: 0x80000000 and above are negative.
    CFTypeRef name = valueForNumberKey(product, CFSTR("%ld"), static_cast<SInt32>(inCookie));
    return name != nullptr && copyFormatted(outCStr, CFSTR("%@"), name);
}

Boolean hu_XMLSearchForElementNameByUsage(long inVendorID, long inProductID, long inUsagePage, long inUsage,
                                          char* outCStr)
{
    CFDictionaryRef product = productDictionary(deviceUsageList(), inVendorID, inProductID);
    if (product == nullptr)
        return false;
    ScopedRef key(
        CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%ld:%ld"), inUsagePage, inUsage));
    CFTypeRef name = valueForKey(product, static_cast<CFStringRef>(key.get()));
    return name != nullptr && copyFormatted(outCStr, CFSTR("%@"), name);
}

Boolean HIDGetVendorNameFromVendorID(long inVendorID, char* outCStrName)
{
    outCStrName[0] = 0;
    return hu_XMLSearchForVendorNameByVendorID(inVendorID, outCStrName) ? 1 : 0;
}

Boolean HIDGetProductNameFromVendorProductID(long inVendorID, long inProductID, char* outCStrName)
{
    outCStrName[0] = 0;
    return hu_XMLSearchForProductNameByVendorProductID(inVendorID, inProductID, outCStrName) ? 1 : 0;
}

Boolean HIDGetElementNameFromVendorProductCookie(int inVendorID, int inProductID, IOHIDElementCookie inCookie,
                                                 char* outCStrName)
{
    outCStrName[0] = 0;
    return hu_XMLSearchForElementNameByCookie(inVendorID, inProductID, inCookie, outCStrName) ? 1 : 0;
}

Boolean HIDGetElementNameFromVendorProductUsage(long inVendorID, long inProductID, long inUsagePage,
                                                long inUsage, char* outCStrName)
{
    outCStrName[0] = 0;
    return hu_XMLSearchForElementNameByUsage(inVendorID, inProductID, inUsagePage, inUsage, outCStrName) ? 1
                                                                                                         : 0;
}

void HIDGetTypeName(IOHIDElementType inIOHIDElementType, char* outCStrName)
{
    const char* name = "Unknown Type";
    switch (inIOHIDElementType)
    {
    case kIOHIDElementTypeInput_Misc:
        name = "Miscellaneous Input";
        break;
    case kIOHIDElementTypeInput_Button:
        name = "Button Input";
        break;
    case kIOHIDElementTypeInput_Axis:
        name = "Axis Input";
        break;
    case kIOHIDElementTypeInput_ScanCodes:
        name = "Scan Code Input";
        break;
    case kIOHIDElementTypeOutput:
        name = "Output";
        break;
    case kIOHIDElementTypeFeature:
        name = "Feature";
        break;
    case kIOHIDElementTypeCollection:
        name = "Collection";
        break;
    default:
        break;
    }
    std::strcpy(outCStrName, name);
}

CFStringRef HIDCopyUsageName(long inUsagePage, long inUsage)
{
    static CFPropertyListRef tCFPropertyListRef = nullptr;
    CFDictionaryRef list = cachedList(tCFPropertyListRef, CFSTR("HID_usage_strings"));
    CFDictionaryRef page = dictionaryForNumberKey(list, usageKeyFormat(), inUsagePage);
    CFTypeRef pageName = valueForKey(page, CFSTR("Name"));
    if (pageName == nullptr)
        return nullptr;
    CFTypeRef usageName = valueForNumberKey(page, usageKeyFormat(), inUsage);
    if (usageName == nullptr)
        return nullptr;
    return CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("%@ %@"), pageName, usageName);
}
