// Reading XML property lists: libxml2 parses the document, this unit turns its tree into objects.
#include "Base64.h"
#include "Dates.h"
#include "Strings.h"

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFPropertyList.h>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>
#include <mutex>
#include <vector>

namespace cf
{
namespace
{

// Deeper documents are refused rather than risking the stack.
constexpr int kMaxDepth = 200;

using Value = Owned<CFTypeRef>;

bool named(const xmlNode* node, const char* name)
{
    return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool isText(const xmlNode* node)
{
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

bool isBlankText(const xmlNode* node)
{
    return isText(node) && xmlIsBlankNode(const_cast<xmlNode*>(node));
}

// Comments and processing instructions carry nothing; blank text between elements neither.
bool isIgnorable(const xmlNode* node)
{
    return node->type == XML_COMMENT_NODE || node->type == XML_PI_NODE || isBlankText(node);
}

std::string_view trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

class Reader
{
public:
    explicit Reader(CFOptionFlags options) : m_mutableContainers(options != kCFPropertyListImmutable) {}

    Value read(const xmlNode* node, int depth);
    const std::string& error() const { return m_error; }

private:
    Value fail(std::string reason)
    {
        if (m_error.empty())
            m_error = std::move(reason);
        return Value();
    }
    bool textOfElement(const xmlNode* node, std::string& text);
    std::vector<const xmlNode*> elementChildren(const xmlNode* node, bool& clean);
    Value readDictionary(const xmlNode* node, int depth);
    Value readArray(const xmlNode* node, int depth);
    Value readString(const xmlNode* node);
    Value readInteger(const xmlNode* node);
    Value readReal(const xmlNode* node);
    Value readData(const xmlNode* node);
    Value readDate(const xmlNode* node);

    const bool m_mutableContainers;
    std::string m_error;
};

// Only text may stand inside a leaf element.
bool Reader::textOfElement(const xmlNode* node, std::string& text)
{
    for (const xmlNode* child = node->children; child != nullptr; child = child->next)
    {
        if (isText(child))
            text += reinterpret_cast<const char*>(child->content);
        else if (child->type != XML_COMMENT_NODE && child->type != XML_PI_NODE)
            return false;
    }
    return true;
}

// Containers hold elements only: stray text makes the document malformed.
std::vector<const xmlNode*> Reader::elementChildren(const xmlNode* node, bool& clean)
{
    std::vector<const xmlNode*> children;
    clean = true;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next)
    {
        if (child->type == XML_ELEMENT_NODE)
            children.push_back(child);
        else if (!isIgnorable(child))
            clean = false;
    }
    return children;
}

Value Reader::read(const xmlNode* node, int depth)
{
    if (depth > kMaxDepth)
        return fail("the document nests too deeply");
    if (named(node, "dict"))
        return readDictionary(node, depth);
    if (named(node, "array"))
        return readArray(node, depth);
    if (named(node, "string"))
        return readString(node);
    if (named(node, "integer"))
        return readInteger(node);
    if (named(node, "real"))
        return readReal(node);
    if (named(node, "data"))
        return readData(node);
    if (named(node, "date"))
        return readDate(node);
    if (named(node, "true") || named(node, "false"))
    {
        if (node->children != nullptr && !isBlankText(node->children))
            return fail("a Boolean element has content");
        return Value(named(node, "true") ? kCFBooleanTrue : kCFBooleanFalse);
    }
    return fail(std::string("unsupported element <") + reinterpret_cast<const char*>(node->name) + ">");
}

Value Reader::readDictionary(const xmlNode* node, int depth)
{
    bool clean = false;
    const std::vector<const xmlNode*> children = elementChildren(node, clean);
    if (!clean || children.size() % 2 != 0)
        return fail("a dictionary is not a list of keys and values");
    Value dictionary(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                               &kCFTypeDictionaryValueCallBacks));
    for (size_t i = 0; i < children.size(); i += 2)
    {
        if (!named(children[i], "key"))
            return fail("a dictionary value has no key");
        Value key = readString(children[i]);
        Value value = read(children[i + 1], depth + 1);
        if (!key || !value)
            return Value();
        CFDictionarySetValue((CFMutableDictionaryRef)dictionary.get(), key.get(), value.get());
    }
    if (m_mutableContainers)
        return dictionary;
    const auto source = static_cast<CFDictionaryRef>(dictionary.get());
    std::vector<const void*> keys(CFDictionaryGetCount(source)), values(keys.size());
    CFDictionaryGetKeysAndValues(source, keys.data(), values.data());
    return Value(CFDictionaryCreate(nullptr, keys.data(), values.data(), static_cast<CFIndex>(keys.size()),
                                    &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
}

Value Reader::readArray(const xmlNode* node, int depth)
{
    bool clean = false;
    const std::vector<const xmlNode*> children = elementChildren(node, clean);
    if (!clean)
        return fail("an array holds text");
    std::vector<Value> values;
    for (const xmlNode* child : children)
    {
        values.push_back(read(child, depth + 1));
        if (!values.back())
            return Value();
    }
    std::vector<const void*> items;
    for (const Value& value : values)
        items.push_back(value.get());
    if (!m_mutableContainers)
        return Value(
            CFArrayCreate(nullptr, items.data(), static_cast<CFIndex>(items.size()), &kCFTypeArrayCallBacks));
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (const void* item : items)
        CFArrayAppendValue(array, item);
    return Value(array);
}

Value Reader::readString(const xmlNode* node)
{
    std::string text;
    if (!textOfElement(node, text))
        return fail("a string holds elements");
    CFStringRef string = makeString(std::move(text));
    return string != nullptr ? Value(string) : fail("a string is not UTF-8");
}

Value Reader::readInteger(const xmlNode* node)
{
    std::string text;
    if (!textOfElement(node, text))
        return fail("an integer holds elements");
    std::string_view digits = trimmed(text);
    const bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+'))
        digits.remove_prefix(1);
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
    {
        base = 16;
        digits.remove_prefix(2);
    }
    uint64_t magnitude = 0;
    const auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    const uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    if (digits.empty() || status != std::errc() || end != digits.data() + digits.size() || magnitude > limit)
        return fail("an integer is malformed or out of range");
    const int64_t value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return Value(CFNumberCreate(nullptr, kCFNumberSInt64Type, &value));
}

Value Reader::readReal(const xmlNode* node)
{
    std::string text;
    if (!textOfElement(node, text))
        return fail("a real holds elements");
    std::string_view digits = trimmed(text);
    double value = 0;
    if (digits == "nan")
        value = NAN;
    else if (digits == "+infinity" || digits == "infinity" || digits == "inf")
        value = INFINITY;
    else if (digits == "-infinity" || digits == "-inf")
        value = -INFINITY;
    else
    {
        if (!digits.empty() && digits[0] == '+')
            digits.remove_prefix(1);
        const auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || status != std::errc() || end != digits.data() + digits.size())
            return fail("a real is malformed");
    }
    return Value(CFNumberCreate(nullptr, kCFNumberFloat64Type, &value));
}

Value Reader::readData(const xmlNode* node)
{
    std::string text;
    if (!textOfElement(node, text))
        return fail("a data element holds elements");
    const auto bytes = base64::decode(text);
    if (!bytes)
        return fail("a data element is not base64");
    return Value(CFDataCreate(nullptr, bytes->data(), static_cast<CFIndex>(bytes->size())));
}

Value Reader::readDate(const xmlNode* node)
{
    std::string text;
    if (!textOfElement(node, text))
        return fail("a date holds elements");
    const auto time = parseDate(trimmed(text));
    if (!time)
        return fail("a date is malformed");
    return Value(CFDateCreate(nullptr, *time));
}

// The value element of the document: the one element inside <plist>, or the root itself.
const xmlNode* valueElement(const xmlNode* root)
{
    if (!named(root, "plist"))
        return root;
    const xmlNode* value = nullptr;
    for (const xmlNode* child = root->children; child != nullptr; child = child->next)
    {
        if (child->type == XML_ELEMENT_NODE)
        {
            if (value != nullptr)
                return nullptr;
            value = child;
        }
        else if (!isIgnorable(child))
            return nullptr;
    }
    return value;
}

struct DocumentFree
{
    void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};

} // namespace
} // namespace cf

CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef, CFDataRef xmlData, CFOptionFlags options,
                                                  CFStringRef* errorString)
{
    static std::once_flag initialized;
    std::call_once(initialized, xmlInitParser);
    auto failWith = [errorString](const std::string& reason) -> CFPropertyListRef
    {
        if (errorString != nullptr)
            *errorString = cf::makeString(reason);
        return nullptr;
    };
    if (errorString != nullptr)
        *errorString = nullptr;
    const CFIndex length = CFDataGetLength(xmlData);
    if (CFGetTypeID(xmlData) != CFDataGetTypeID() || length > INT_MAX)
        return failWith("no XML data");
    std::unique_ptr<xmlDoc, cf::DocumentFree> document(
        xmlReadMemory(reinterpret_cast<const char*>(CFDataGetBytePtr(xmlData)), static_cast<int>(length),
                      nullptr, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    const xmlNode* root = document ? xmlDocGetRootElement(document.get()) : nullptr;
    if (root == nullptr)
        return failWith("the data is not an XML document");
    const xmlNode* value = cf::valueElement(root);
    if (value == nullptr)
        return failWith("the property list does not hold one value");
    cf::Reader reader(options);
    cf::Value result = reader.read(value, 0);
    if (!result)
        return failWith(reader.error());
    return result.release();
}
