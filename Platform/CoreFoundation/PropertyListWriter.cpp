// Writing XML property lists through libxml2's text writer, which does the escaping.
#include "Base64.h"
#include "Dates.h"
#include "PropertyLists.h"
#include "Strings.h"

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFPropertyList.h>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <libxml/xmlwriter.h>
#include <memory>
#include <string_view>
#include <vector>

namespace cf
{
namespace
{

constexpr int kMaxDepth = 200;

const xmlChar* xml(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

// A dictionary's keys, in a fixed order so that equal lists give equal documents.
std::vector<CFStringRef> sortedKeys(CFDictionaryRef dictionary)
{
    std::vector<const void*> keys(CFDictionaryGetCount(dictionary));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), nullptr);
    std::vector<CFStringRef> strings;
    for (const void* key : keys)
        strings.push_back(static_cast<CFStringRef>(key));
    std::sort(strings.begin(), strings.end(),
              [](CFStringRef a, CFStringRef b) { return CFStringCompare(a, b, 0) == kCFCompareLessThan; });
    return strings;
}

// XML 1.0 carries no control character but tab, line feed and carriage return, and neither U+FFFE
// nor U+FFFF (EF BF BE, EF BF BF); the text is well-formed UTF-8.
bool xmlCanCarry(std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i)
    {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
            return false;
        const std::string_view next = text.substr(i + 1, 2);
        if (byte == 0xEF && (next == "\xBF\xBE" || next == "\xBF\xBF"))
            return false;
    }
    return true;
}

bool isWritableString(CFTypeRef object)
{
    return CFGetTypeID(object) == CFStringGetTypeID() && xmlCanCarry(textOf(object));
}

bool isPropertyList(CFTypeRef object, int depth)
{
    const CFTypeID type = CFGetTypeID(object);
    if (type == CFStringGetTypeID())
        return isWritableString(object);
    if (type == CFDateGetTypeID())
        return dateText(CFDateGetAbsoluteTime(static_cast<CFDateRef>(object))).has_value();
    if (type == CFNumberGetTypeID() || type == CFBooleanGetTypeID() || type == CFDataGetTypeID())
        return true;
    if (depth > kMaxDepth)
        return false;
    if (type == CFArrayGetTypeID())
    {
        const auto array = static_cast<CFArrayRef>(object);
        for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
            if (!isPropertyList(CFArrayGetValueAtIndex(array, i), depth + 1))
                return false;
        return true;
    }
    if (type == CFDictionaryGetTypeID())
    {
        const auto dictionary = static_cast<CFDictionaryRef>(object);
        std::vector<const void*> keys(CFDictionaryGetCount(dictionary)), values(keys.size());
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
        for (size_t i = 0; i < keys.size(); ++i)
            if (!isWritableString(keys[i]) || !isPropertyList(values[i], depth + 1))
                return false;
        return true;
    }
    return false;
}

std::string numberText(CFNumberRef number)
{
    char text[64];
    if (!CFNumberIsFloatType(number))
    {
        int64_t value = 0;
        CFNumberGetValue(number, kCFNumberSInt64Type, &value);
        return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
    }
    double value = 0;
    CFNumberGetValue(number, kCFNumberFloat64Type, &value);
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value > 0 ? "+infinity" : "-infinity";
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

class Writer
{
public:
    explicit Writer(xmlTextWriterPtr writer) : m_writer(writer) {}

    // Each call is true when libxml2 accepted every piece.
    bool value(CFTypeRef object)
    {
        const CFTypeID type = CFGetTypeID(object);
        if (type == CFStringGetTypeID())
            return element("string", std::string(textOf(object)));
        if (type == CFNumberGetTypeID())
            return element(CFNumberIsFloatType(static_cast<CFNumberRef>(object)) ? "real" : "integer",
                           numberText(static_cast<CFNumberRef>(object)));
        if (type == CFBooleanGetTypeID())
            return emptyElement(CFBooleanGetValue(static_cast<CFBooleanRef>(object)) ? "true" : "false");
        if (type == CFDataGetTypeID())
        {
            const auto data = static_cast<CFDataRef>(object);
            return element("data", base64::encode(CFDataGetBytePtr(data), CFDataGetLength(data)));
        }
        if (type == CFDateGetTypeID())
            return element("date", *dateText(CFDateGetAbsoluteTime(static_cast<CFDateRef>(object))));
        if (type == CFArrayGetTypeID())
            return array(static_cast<CFArrayRef>(object));
        return dictionary(static_cast<CFDictionaryRef>(object));
    }

private:
    bool element(const char* name, const std::string& text)
    {
        return xmlTextWriterWriteElement(m_writer, xml(name), xml(text.c_str())) >= 0;
    }
    bool emptyElement(const char* name)
    {
        return xmlTextWriterStartElement(m_writer, xml(name)) >= 0 && xmlTextWriterEndElement(m_writer) >= 0;
    }
    bool array(CFArrayRef array)
    {
        if (xmlTextWriterStartElement(m_writer, xml("array")) < 0)
            return false;
        for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
            if (!value(CFArrayGetValueAtIndex(array, i)))
                return false;
        return xmlTextWriterEndElement(m_writer) >= 0;
    }
    bool dictionary(CFDictionaryRef dictionary)
    {
        if (xmlTextWriterStartElement(m_writer, xml("dict")) < 0)
            return false;
        for (CFStringRef key : sortedKeys(dictionary))
            if (!element("key", std::string(textOf(key))) || !value(CFDictionaryGetValue(dictionary, key)))
                return false;
        return xmlTextWriterEndElement(m_writer) >= 0;
    }

    xmlTextWriterPtr m_writer;
};

struct BufferFree
{
    void operator()(xmlBuffer* buffer) const { xmlBufferFree(buffer); }
};
struct WriterFree
{
    void operator()(xmlTextWriter* writer) const { xmlFreeTextWriter(writer); }
};

} // namespace

bool isPropertyList(CFTypeRef object)
{
    return object != nullptr && isPropertyList(object, 0);
}

} // namespace cf

CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef, CFPropertyListRef propertyList)
{
    if (!cf::isPropertyList(propertyList))
        return nullptr;
    std::unique_ptr<xmlBuffer, cf::BufferFree> buffer(xmlBufferCreate());
    if (!buffer)
        return nullptr;
    std::unique_ptr<xmlTextWriter, cf::WriterFree> writer(xmlNewTextWriterMemory(buffer.get(), 0));
    if (!writer)
        return nullptr;
    xmlTextWriterSetIndent(writer.get(), 1);
    xmlTextWriterSetIndentString(writer.get(), cf::xml("\t"));
    const bool written = xmlTextWriterStartDocument(writer.get(), "1.0", "UTF-8", nullptr) >= 0 &&
                         xmlTextWriterStartElement(writer.get(), cf::xml("plist")) >= 0 &&
                         xmlTextWriterWriteAttribute(writer.get(), cf::xml("version"), cf::xml("1.0")) >= 0 &&
                         cf::Writer(writer.get()).value(propertyList) &&
                         xmlTextWriterEndDocument(writer.get()) >= 0;
    writer.reset(); // flushes into the buffer
    if (!written)
        return nullptr;
    return CFDataCreate(nullptr, xmlBufferContent(buffer.get()), xmlBufferLength(buffer.get()));
}
