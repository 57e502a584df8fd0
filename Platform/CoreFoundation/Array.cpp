// CFArray: values in order, kept by the array's callbacks.
#include "Collections.h"
#include "Kinds.h"

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFObject.h>
#include <algorithm>

namespace cf
{
namespace
{

class Array final : public Object
{
public:
    static CFTypeID staticTypeID() { return kArrayType; }

    Array(const ValueRules& rules, bool isMutable)
        : Object(staticTypeID()), m_rules(rules), m_mutable(isMutable)
    {
    }
    ~Array() override
    {
        for (const void* value : m_values)
            m_rules.drop(value);
    }

    const ValueRules& rules() const { return m_rules; }
    bool isMutable() const { return m_mutable; }
    std::vector<const void*>& values() { return m_values; }
    const std::vector<const void*>& values() const { return m_values; }
    CFIndex count() const { return static_cast<CFIndex>(m_values.size()); }

    void insert(CFIndex index, const void* value)
    {
        m_values.insert(m_values.begin() + index, m_rules.keep(value));
    }
    void remove(CFIndex index)
    {
        const void* value = m_values[index];
        m_values.erase(m_values.begin() + index);
        m_rules.drop(value);
    }

    // The range lies inside the array.
    bool holds(CFRange range) const
    {
        return range.location >= 0 && range.length >= 0 && range.location <= count() - range.length;
    }

    bool equals(const Object& other) const override
    {
        const auto& theirs = static_cast<const Array&>(other).m_values;
        return std::equal(m_values.begin(), m_values.end(), theirs.begin(), theirs.end(),
                          [this](const void* a, const void* b) { return m_rules.same(a, b); });
    }
    CFHashCode hash() const override { return m_values.size(); }
    std::string describe() const override
    {
        std::vector<std::string> items;
        for (const void* value : m_values)
            items.push_back(m_rules.describe(value));
        return describeList(items);
    }

private:
    const ValueRules m_rules;
    const bool m_mutable;
    std::vector<const void*> m_values;
};

Array* mutableArray(CFMutableArrayRef array)
{
    Array* object = as<Array>(array);
    return object != nullptr && object->isMutable() ? object : nullptr;
}

} // namespace
} // namespace cf

using cf::Array;

CFTypeID CFArrayGetTypeID(void)
{
    return cf::kArrayType;
}

CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex count,
                         const CFArrayCallBacks* callBacks)
{
    if (count < 0 || (values == nullptr && count > 0))
        return nullptr;
    auto* array = new Array(cf::ValueRules::from(callBacks), false);
    for (CFIndex i = 0; i < count; ++i)
        array->insert(i, values[i]);
    return cf::toRef<CFArrayRef>(array);
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks)
{
    return cf::toRef<CFMutableArrayRef>(new Array(cf::ValueRules::from(callBacks), true));
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef, CFIndex, CFArrayRef array)
{
    const Array* source = cf::as<Array>(array);
    if (source == nullptr)
        return nullptr;
    auto* copy = new Array(source->rules(), true);
    for (const void* value : source->values())
        copy->insert(copy->count(), value);
    return cf::toRef<CFMutableArrayRef>(copy);
}

CFIndex CFArrayGetCount(CFArrayRef array)
{
    const Array* object = cf::as<Array>(array);
    return object != nullptr ? object->count() : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index)
{
    const Array* object = cf::as<Array>(array);
    if (object == nullptr || index < 0 || index >= object->count())
        return nullptr;
    return object->values()[index];
}

CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef array, CFRange range, const void* value)
{
    const Array* object = cf::as<Array>(array);
    if (object == nullptr || !object->holds(range))
        return kCFNotFound;
    for (CFIndex i = range.location; i < range.location + range.length; ++i)
        if (object->rules().same(object->values()[i], value))
            return i;
    return kCFNotFound;
}

Boolean CFArrayContainsValue(CFArrayRef array, CFRange range, const void* value)
{
    return CFArrayGetFirstIndexOfValue(array, range, value) != kCFNotFound;
}

void CFArrayApplyFunction(CFArrayRef array, CFRange range, CFArrayApplierFunction applier, void* context)
{
    const Array* object = cf::as<Array>(array);
    if (object == nullptr || applier == nullptr || !object->holds(range))
        return;
    for (CFIndex i = range.location; i < range.location + range.length; ++i)
        applier(object->values()[i], context);
}

void CFArrayAppendValue(CFMutableArrayRef array, const void* value)
{
    if (Array* object = cf::mutableArray(array))
        object->insert(object->count(), value);
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef array, CFIndex index, const void* value)
{
    Array* object = cf::mutableArray(array);
    if (object != nullptr && index >= 0 && index <= object->count())
        object->insert(index, value);
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef array, CFIndex index)
{
    Array* object = cf::mutableArray(array);
    if (object != nullptr && index >= 0 && index < object->count())
        object->remove(index);
}

void CFArrayRemoveAllValues(CFMutableArrayRef array)
{
    if (Array* object = cf::mutableArray(array))
        while (object->count() > 0)
            object->remove(object->count() - 1);
}

void CFArraySortValues(CFMutableArrayRef array, CFRange range, CFComparatorFunction comparator, void* context)
{
    Array* object = cf::mutableArray(array);
    if (object == nullptr || comparator == nullptr || !object->holds(range))
        return;
    auto first = object->values().begin() + range.location;
    std::stable_sort(first, first + range.length,
                     [&](const void* a, const void* b)
                     { return comparator(a, b, context) == kCFCompareLessThan; });
}
