// Feeds arbitrary bytes to the property-list reader; whatever it accepts must write and read back equal.
#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <cmath>
#include <cstdlib>

namespace
{

// NaN is never equal to itself, so lists holding one cannot be compared after the round trip.
bool holdsNaN(CFTypeRef value)
{
    if (CFGetTypeID(value) == CFNumberGetTypeID())
    {
        double real = 0;
        CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberFloat64Type, &real);
        return std::isnan(real);
    }
    if (CFGetTypeID(value) == CFArrayGetTypeID())
    {
        for (CFIndex i = 0; i < CFArrayGetCount(static_cast<CFArrayRef>(value)); ++i)
            if (holdsNaN(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(value), i)))
                return true;
        return false;
    }
    if (CFGetTypeID(value) == CFDictionaryGetTypeID())
    {
        bool found = false;
        CFDictionaryApplyFunction(
            static_cast<CFDictionaryRef>(value),
            [](const void*, const void* item, void* context)
            { *static_cast<bool*>(context) |= holdsNaN(item); },
            &found);
        return found;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    cf::Owned<CFDataRef> data(CFDataCreate(nullptr, bytes, static_cast<CFIndex>(size)));
    CFStringRef error = nullptr;
    cf::Owned<> list(CFPropertyListCreateFromXMLData(nullptr, data.get(), kCFPropertyListImmutable, &error));
    cf::Owned<CFStringRef> reason(error);
    if (!list)
    {
        if (!reason)
            std::abort(); // a refusal always says why
        return 0;
    }
    cf::Owned<CFDataRef> written(CFPropertyListCreateXMLData(nullptr, list.get()));
    if (!written)
        std::abort();
    cf::Owned<> back(
        CFPropertyListCreateFromXMLData(nullptr, written.get(), kCFPropertyListImmutable, nullptr));
    if (!back || (!holdsNaN(list.get()) && !CFEqual(back.get(), list.get())))
        std::abort();
    return 0;
}
