// CFString: immutable UTF-8 text.
#include "Strings.h"
#include "Utf8.h"

#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_map>

namespace cf
{

String::String(std::string text)
    : Object(staticTypeID()), m_text(std::move(text)), m_utf16Length(utf8::utf16Length(m_text))
{
}

String::String(std::string text, Immortal immortal)
    : Object(staticTypeID(), immortal), m_text(std::move(text)), m_utf16Length(utf8::utf16Length(m_text))
{
}

bool String::equals(const Object& other) const
{
    return m_text == static_cast<const String&>(other).m_text;
}

CFHashCode String::hash() const
{
    return std::hash<std::string>()(m_text);
}

CFStringRef makeString(std::string text)
{
    if (!utf8::isValid(text))
        return nullptr;
    return toRef<CFStringRef>(new String(std::move(text)));
}

std::string_view textOf(CFTypeRef string)
{
    const String* object = as<String>(string);
    return object != nullptr ? std::string_view(object->text()) : std::string_view();
}

std::string formatArgumentText(CFTypeRef object)
{
    return object != nullptr ? fromRef(object)->describe() : std::string("(null)");
}

namespace
{

bool fitsEncoding(std::string_view text, CFStringEncoding encoding)
{
    switch (encoding)
    {
    case kCFStringEncodingUTF8:
        return utf8::isValid(text);
    case kCFStringEncodingASCII:
        return utf8::isAscii(text);
    default:
        return false;
    }
}

CFStringRef createFromBytes(std::string_view bytes, CFStringEncoding encoding)
{
    if (!fitsEncoding(bytes, encoding))
        return nullptr;
    return toRef<CFStringRef>(new String(std::string(bytes)));
}

} // namespace
} // namespace cf

using cf::String;

CFTypeID CFStringGetTypeID(void)
{
    return String::staticTypeID();
}

CFStringRef CFStringMakeConstant(const char* literal)
{
    // Kept, like the constants, until the process ends.
    static std::mutex* const lock = new std::mutex;
    static auto* const constants = new std::unordered_map<std::string, CFStringRef>;
    if (literal == nullptr || !cf::utf8::isValid(literal))
        return nullptr;
    std::lock_guard<std::mutex> guard(*lock);
    auto [entry, inserted] = constants->try_emplace(literal, nullptr);
    if (inserted)
        entry->second = cf::toRef<CFStringRef>(String::makeConstant(literal));
    return entry->second;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding)
{
    return text != nullptr ? cf::createFromBytes(text, encoding) : nullptr;
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex length,
                                    CFStringEncoding encoding, Boolean)
{
    if (length < 0 || (bytes == nullptr && length > 0))
        return nullptr;
    return cf::createFromBytes(std::string_view(reinterpret_cast<const char*>(bytes), length), encoding);
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef string)
{
    return cf::as<String>(string) != nullptr ? static_cast<CFStringRef>(CFRetain(string)) : nullptr;
}

CFIndex CFStringGetLength(CFStringRef string)
{
    const String* object = cf::as<String>(string);
    return object != nullptr ? object->utf16Length() : 0;
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding)
{
    const String* object = cf::as<String>(string);
    if (object == nullptr || buffer == nullptr || bufferSize <= 0)
        return false;
    const std::string& text = object->text();
    if (static_cast<size_t>(bufferSize) < text.size() + 1 || !cf::fitsEncoding(text, encoding))
        return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

const char* CFStringGetCStringPtr(CFStringRef string, CFStringEncoding encoding)
{
    const String* object = cf::as<String>(string);
    if (object == nullptr || !cf::fitsEncoding(object->text(), encoding))
        return nullptr;
    return object->text().c_str();
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef allocator, CFDictionaryRef formatOptions,
                                     CFStringRef format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    CFStringRef result = CFStringCreateWithFormatAndArguments(allocator, formatOptions, format, arguments);
    va_end(arguments);
    return result;
}

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFDictionaryRef, CFStringRef format,
                                                 va_list arguments)
{
    const String* object = cf::as<String>(format);
    if (object == nullptr)
        return nullptr;
    return cf::makeString(cf::formatText(object->text(), arguments));
}

CFComparisonResult CFStringCompare(CFStringRef string1, CFStringRef string2, CFOptionFlags)
{
    // Byte order of UTF-8 is code-point order.
    const int order = cf::textOf(string1).compare(cf::textOf(string2));
    return order < 0 ? kCFCompareLessThan : order > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo;
}
