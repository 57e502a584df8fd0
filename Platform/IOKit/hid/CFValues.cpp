#include "CFValues.h"

namespace iohid
{

cf::Owned<CFNumberRef> makeNumber(int64_t value)
{
    const int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(value));
    return cf::Owned<CFNumberRef>(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &bits));
}

cf::Owned<CFStringRef> makeString(const std::string& text)
{
    return cf::Owned<CFStringRef>(
        CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8));
}

std::optional<int64_t> integerOf(CFTypeRef object)
{
    if (object == nullptr || CFGetTypeID(object) != CFNumberGetTypeID())
        return std::nullopt;
    int64_t value = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(object), kCFNumberSInt64Type, &value);
    return value;
}

void setNumber(CFMutableDictionaryRef dictionary, CFStringRef key, int64_t value)
{
    const auto number = makeNumber(value);
    if (number)
        CFDictionarySetValue(dictionary, key, number.get());
}

bool sameValue(CFTypeRef property, CFTypeRef wanted)
{
    if (property == nullptr || wanted == nullptr)
        return false;
    const auto a = integerOf(property);
    const auto b = integerOf(wanted);
    if (a && b)
        return *a == *b || static_cast<uint32_t>(*a) == static_cast<uint32_t>(*b);
    return CFEqual(property, wanted);
}

std::vector<DictionaryEntry> entriesOf(CFDictionaryRef dictionary)
{
    const size_t count = size_t(CFDictionaryGetCount(dictionary));
    std::vector<const void*> keys(count);
    std::vector<const void*> values(count);
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    std::vector<DictionaryEntry> entries;
    for (size_t i = 0; i < count; ++i)
        entries.push_back({keys[i], values[i]});
    return entries;
}

bool dictionaryMatches(CFDictionaryRef properties, CFDictionaryRef matching)
{
    for (const DictionaryEntry& entry : entriesOf(matching))
        if (!sameValue(CFDictionaryGetValue(properties, entry.key), entry.value))
            return false;
    return true;
}

} // namespace iohid
