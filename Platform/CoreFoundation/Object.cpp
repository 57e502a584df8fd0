// The object machinery shared by every kind: reference counts, type ids, equality, hashing, descriptions.
#include "Kinds.h"
#include "Strings.h"

#include <CoreFoundation/CFObject.h>
#include <cstdio>
#include <functional>
#include <mutex>
#include <vector>

namespace cf
{
namespace
{

struct TypeRegistry
{
    std::mutex lock;
    std::vector<std::string> names{"",      "CFString", "CFNumber", "CFBoolean", "CFArray",   "CFDictionary",
                                   "CFSet", "CFData",   "CFURL",    "CFBundle",  "CFRunLoop", "CFDate"};
};

TypeRegistry& registry()
{
    static TypeRegistry instance;
    return instance;
}

std::string typeName(CFTypeID type)
{
    TypeRegistry& types = registry();
    std::lock_guard<std::mutex> guard(types.lock);
    return type < types.names.size() ? types.names[type] : std::string("CFType");
}

} // namespace

CFTypeID registerType(const char* name)
{
    TypeRegistry& types = registry();
    std::lock_guard<std::mutex> guard(types.lock);
    if (types.names.size() < kFirstRegisteredType)
        types.names.resize(kFirstRegisteredType, "CFType");
    types.names.emplace_back(name != nullptr ? name : "CFType");
    return types.names.size() - 1;
}

CFHashCode Object::hash() const
{
    return std::hash<const void*>()(this);
}

std::string Object::describe() const
{
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(this));
    std::string text(1, '<');
    text.append(typeName(m_type)).append(1, ' ').append(address).append(1, '>');
    return text;
}

void Object::retain() const
{
    if (!m_immortal)
        m_references.fetch_add(1, std::memory_order_relaxed);
}

bool Object::retainUnlessFreeing() const
{
    if (m_immortal)
        return true;
    CFIndex count = m_references.load(std::memory_order_relaxed);
    while (count > 0)
        if (m_references.compare_exchange_weak(count, count + 1, std::memory_order_relaxed))
            return true;
    return false;
}

void Object::release() const
{
    if (!m_immortal && m_references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

CFIndex Object::retainCount() const
{
    return m_references.load(std::memory_order_relaxed);
}

} // namespace cf

namespace
{

struct Allocator
{
};
const Allocator defaultAllocator;

} // namespace

const CFAllocatorRef kCFAllocatorDefault = reinterpret_cast<CFAllocatorRef>(&defaultAllocator);

CFTypeRef CFRetain(CFTypeRef object)
{
    if (object != nullptr)
        cf::fromRef(object)->retain();
    return object;
}

void CFRelease(CFTypeRef object)
{
    if (object != nullptr)
        cf::fromRef(object)->release();
}

CFIndex CFGetRetainCount(CFTypeRef object)
{
    return object != nullptr ? cf::fromRef(object)->retainCount() : 0;
}

CFTypeID CFGetTypeID(CFTypeRef object)
{
    return object != nullptr ? cf::fromRef(object)->typeID() : 0;
}

Boolean CFEqual(CFTypeRef object1, CFTypeRef object2)
{
    if (object1 == object2)
        return true;
    if (object1 == nullptr || object2 == nullptr)
        return false;
    const cf::Object& first = *cf::fromRef(object1);
    const cf::Object& second = *cf::fromRef(object2);
    return first.typeID() == second.typeID() && first.equals(second);
}

CFHashCode CFHash(CFTypeRef object)
{
    return object != nullptr ? cf::fromRef(object)->hash() : 0;
}

CFStringRef CFCopyDescription(CFTypeRef object)
{
    if (object == nullptr)
        return nullptr;
    return cf::makeString(cf::fromRef(object)->describe());
}

CFStringRef CFCopyTypeIDDescription(CFTypeID type)
{
    return cf::makeString(cf::typeName(type));
}
