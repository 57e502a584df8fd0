// Small conversions between the layer's C++ values and CoreFoundation objects.
#pragma once

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace iohid
{

// A number property: 32 bits, as the interface publishes them (0xFFFFFFFF reads back as -1
// with kCFNumberSInt32Type, and as 0xFFFFFFFF through the 32-bit getters).
cf::Owned<CFNumberRef> makeNumber(int64_t value);
cf::Owned<CFStringRef> makeString(const std::string& text);

// The integer a CFNumber holds; nothing for another kind of object.
std::optional<int64_t> integerOf(CFTypeRef object);

// Puts a number under a key of a dictionary.
void setNumber(CFMutableDictionaryRef dictionary, CFStringRef key, int64_t value);

// True when the two values are equal; numbers are compared by their value, and a 32-bit
// property matches the same bits given as a wider number.
bool sameValue(CFTypeRef property, CFTypeRef wanted);

struct DictionaryEntry
{
    CFTypeRef key;
    CFTypeRef value;
};
std::vector<DictionaryEntry> entriesOf(CFDictionaryRef dictionary);

// True when `properties` holds every key of `matching` with the same value.
bool dictionaryMatches(CFDictionaryRef properties, CFDictionaryRef matching);

} // namespace iohid
