#include "Collections.h"
#include "Strings.h"

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFSet.h>
#include <cstdio>

namespace
{

const void* retainObject(CFAllocatorRef, const void* value)
{
    return CFRetain(value);
}

void releaseObject(CFAllocatorRef, const void* value)
{
    CFRelease(value);
}

} // namespace

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, retainObject, releaseObject, CFCopyDescription, CFEqual};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
    0, retainObject, releaseObject, CFCopyDescription, CFEqual, CFHash};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, retainObject, releaseObject,
                                                                    CFCopyDescription, CFEqual};
const CFSetCallBacks kCFTypeSetCallBacks = {0,       retainObject, releaseObject, CFCopyDescription,
                                            CFEqual, CFHash};

namespace cf
{

std::string ValueRules::describe(const void* value) const
{
    if (copyDescription != nullptr)
    {
        Owned<CFStringRef> text(copyDescription(value));
        return std::string(textOf(text.get()));
    }
    char address[32];
    std::snprintf(address, sizeof address, "%p", value);
    return address;
}

std::string describeList(const std::vector<std::string>& items)
{
    std::string text = "(\n";
    for (size_t i = 0; i < items.size(); ++i)
        text += "    " + items[i] + (i + 1 < items.size() ? ",\n" : "\n");
    return text + ")";
}

std::string describePairs(const std::vector<std::pair<std::string, std::string>>& pairs)
{
    std::string text = "{\n";
    for (const auto& [key, value] : pairs)
        text += "    " + key + " = " + value + ";\n";
    return text + "}";
}

} // namespace cf
