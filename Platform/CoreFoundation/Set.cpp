// CFSet: distinct values, kept and compared by the set's callbacks.
#include "Collections.h"
#include "Kinds.h"

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CFSet.h>
#include <unordered_set>

namespace cf
{
namespace
{

class Set final : public Object
{
public:
    static CFTypeID staticTypeID() { return kSetType; }
    using Values = std::unordered_set<const void*, RulesHash, RulesEqual>;

    Set(const ValueRules& rules, bool isMutable)
        : Object(staticTypeID()), m_rules(rules), m_mutable(isMutable),
          m_values(0, RulesHash{&m_rules}, RulesEqual{&m_rules})
    {
    }
    ~Set() override { clear(); }

    bool isMutable() const { return m_mutable; }
    const Values& values() const { return m_values; }

    void add(const void* value)
    {
        if (m_values.find(value) == m_values.end())
            m_values.insert(m_rules.keep(value));
    }
    void remove(const void* value)
    {
        auto found = m_values.find(value);
        if (found == m_values.end())
            return;
        const void* old = *found;
        m_values.erase(found);
        m_rules.drop(old);
    }
    void clear()
    {
        Values old = std::move(m_values);
        m_values = Values(0, RulesHash{&m_rules}, RulesEqual{&m_rules});
        for (const void* value : old)
            m_rules.drop(value);
    }

    bool equals(const Object& other) const override
    {
        const auto& theirs = static_cast<const Set&>(other).m_values;
        if (theirs.size() != m_values.size())
            return false;
        for (const void* value : m_values)
            if (theirs.find(value) == theirs.end())
                return false;
        return true;
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
    Values m_values;
};

Set* mutableSet(CFMutableSetRef set)
{
    Set* object = as<Set>(set);
    return object != nullptr && object->isMutable() ? object : nullptr;
}

} // namespace
} // namespace cf

using cf::Set;

CFTypeID CFSetGetTypeID(void)
{
    return cf::kSetType;
}

CFSetRef CFSetCreate(CFAllocatorRef, const void** values, CFIndex count, const CFSetCallBacks* callBacks)
{
    if (count < 0 || (values == nullptr && count > 0))
        return nullptr;
    auto* set = new Set(cf::ValueRules::from(callBacks), false);
    for (CFIndex i = 0; i < count; ++i)
        set->add(values[i]);
    return cf::toRef<CFSetRef>(set);
}

CFMutableSetRef CFSetCreateMutable(CFAllocatorRef, CFIndex, const CFSetCallBacks* callBacks)
{
    return cf::toRef<CFMutableSetRef>(new Set(cf::ValueRules::from(callBacks), true));
}

CFIndex CFSetGetCount(CFSetRef set)
{
    const Set* object = cf::as<Set>(set);
    return object != nullptr ? static_cast<CFIndex>(object->values().size()) : 0;
}

Boolean CFSetContainsValue(CFSetRef set, const void* value)
{
    const Set* object = cf::as<Set>(set);
    return object != nullptr && object->values().find(value) != object->values().end();
}

void CFSetGetValues(CFSetRef set, const void** values)
{
    const Set* object = cf::as<Set>(set);
    if (object == nullptr || values == nullptr)
        return;
    for (const void* value : object->values())
        *values++ = value;
}

void CFSetApplyFunction(CFSetRef set, CFSetApplierFunction applier, void* context)
{
    const Set* object = cf::as<Set>(set);
    if (object == nullptr || applier == nullptr)
        return;
    for (const void* value : object->values())
        applier(value, context);
}

void CFSetAddValue(CFMutableSetRef set, const void* value)
{
    if (Set* object = cf::mutableSet(set))
        object->add(value);
}

void CFSetRemoveValue(CFMutableSetRef set, const void* value)
{
    if (Set* object = cf::mutableSet(set))
        object->remove(value);
}

void CFSetRemoveAllValues(CFMutableSetRef set)
{
    if (Set* object = cf::mutableSet(set))
        object->clear();
}
