// CFDictionary: values by key, kept and compared by the dictionary's callbacks.
#include "Collections.h"
#include "Kinds.h"

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFObject.h>
#include <unordered_map>

namespace cf
{
namespace
{

class Dictionary final : public Object
{
public:
    static CFTypeID staticTypeID() { return kDictionaryType; }
    using Map = std::unordered_map<const void*, const void*, RulesHash, RulesEqual>;

    Dictionary(const ValueRules& keyRules, const ValueRules& valueRules, bool isMutable)
        : Object(staticTypeID()), m_keyRules(keyRules), m_valueRules(valueRules), m_mutable(isMutable),
          m_pairs(0, RulesHash{&m_keyRules}, RulesEqual{&m_keyRules})
    {
    }
    ~Dictionary() override { clear(); }

    const ValueRules& keyRules() const { return m_keyRules; }
    const ValueRules& valueRules() const { return m_valueRules; }
    bool isMutable() const { return m_mutable; }
    const Map& pairs() const { return m_pairs; }

    const Map::const_iterator find(const void* key) const { return m_pairs.find(key); }

    void set(const void* key, const void* value, bool replace)
    {
        auto found = m_pairs.find(key);
        if (found == m_pairs.end())
        {
            m_pairs.emplace(m_keyRules.keep(key), m_valueRules.keep(value));
        }
        else if (replace)
        {
            const void* old = found->second;
            found->second = m_valueRules.keep(value);
            m_valueRules.drop(old);
        }
    }

    void remove(const void* key)
    {
        auto found = m_pairs.find(key);
        if (found == m_pairs.end())
            return;
        const auto [oldKey, oldValue] = *found;
        m_pairs.erase(found);
        m_keyRules.drop(oldKey);
        m_valueRules.drop(oldValue);
    }

    void clear()
    {
        Map old = std::move(m_pairs);
        m_pairs = Map(0, RulesHash{&m_keyRules}, RulesEqual{&m_keyRules});
        for (const auto& [key, value] : old)
        {
            m_keyRules.drop(key);
            m_valueRules.drop(value);
        }
    }

    bool equals(const Object& other) const override
    {
        const auto& theirs = static_cast<const Dictionary&>(other);
        if (theirs.m_pairs.size() != m_pairs.size())
            return false;
        for (const auto& [key, value] : m_pairs)
        {
            auto found = theirs.m_pairs.find(key);
            if (found == theirs.m_pairs.end() || !m_valueRules.same(value, found->second))
                return false;
        }
        return true;
    }
    CFHashCode hash() const override { return m_pairs.size(); }
    std::string describe() const override
    {
        std::vector<std::pair<std::string, std::string>> pairs;
        for (const auto& [key, value] : m_pairs)
            pairs.emplace_back(m_keyRules.describe(key), m_valueRules.describe(value));
        return describePairs(pairs);
    }

private:
    const ValueRules m_keyRules;
    const ValueRules m_valueRules;
    const bool m_mutable;
    Map m_pairs;
};

Dictionary* mutableDictionary(CFMutableDictionaryRef dictionary)
{
    Dictionary* object = as<Dictionary>(dictionary);
    return object != nullptr && object->isMutable() ? object : nullptr;
}

} // namespace
} // namespace cf

using cf::Dictionary;

CFTypeID CFDictionaryGetTypeID(void)
{
    return cf::kDictionaryType;
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void** keys, const void** values, CFIndex count,
                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks)
{
    if (count < 0 || (count > 0 && (keys == nullptr || values == nullptr)))
        return nullptr;
    auto* dictionary =
        new Dictionary(cf::ValueRules::from(keyCallBacks), cf::ValueRules::from(valueCallBacks), false);
    for (CFIndex i = 0; i < count; ++i)
        dictionary->set(keys[i], values[i], true);
    return cf::toRef<CFDictionaryRef>(dictionary);
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
    return cf::toRef<CFMutableDictionaryRef>(
        new Dictionary(cf::ValueRules::from(keyCallBacks), cf::ValueRules::from(valueCallBacks), true));
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef, CFIndex, CFDictionaryRef dictionary)
{
    const Dictionary* source = cf::as<Dictionary>(dictionary);
    if (source == nullptr)
        return nullptr;
    auto* copy = new Dictionary(source->keyRules(), source->valueRules(), true);
    for (const auto& [key, value] : source->pairs())
        copy->set(key, value, true);
    return cf::toRef<CFMutableDictionaryRef>(copy);
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary)
{
    const Dictionary* object = cf::as<Dictionary>(dictionary);
    return object != nullptr ? static_cast<CFIndex>(object->pairs().size()) : 0;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef dictionary, const void* key)
{
    return CFDictionaryGetValueIfPresent(dictionary, key, nullptr);
}

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key)
{
    const void* value = nullptr;
    return CFDictionaryGetValueIfPresent(dictionary, key, &value) ? value : nullptr;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef dictionary, const void* key, const void** value)
{
    const Dictionary* object = cf::as<Dictionary>(dictionary);
    if (object == nullptr)
        return false;
    auto found = object->find(key);
    if (found == object->pairs().end())
        return false;
    if (value != nullptr)
        *value = found->second;
    return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef dictionary, const void** keys, const void** values)
{
    const Dictionary* object = cf::as<Dictionary>(dictionary);
    if (object == nullptr)
        return;
    size_t i = 0;
    for (const auto& [key, value] : object->pairs())
    {
        if (keys != nullptr)
            keys[i] = key;
        if (values != nullptr)
            values[i] = value;
        ++i;
    }
}

void CFDictionaryApplyFunction(CFDictionaryRef dictionary, CFDictionaryApplierFunction applier, void* context)
{
    const Dictionary* object = cf::as<Dictionary>(dictionary);
    if (object == nullptr || applier == nullptr)
        return;
    for (const auto& [key, value] : object->pairs())
        applier(key, value, context);
}

void CFDictionaryAddValue(CFMutableDictionaryRef dictionary, const void* key, const void* value)
{
    if (Dictionary* object = cf::mutableDictionary(dictionary))
        object->set(key, value, false);
}

void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value)
{
    if (Dictionary* object = cf::mutableDictionary(dictionary))
        object->set(key, value, true);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef dictionary, const void* key)
{
    if (Dictionary* object = cf::mutableDictionary(dictionary))
        object->remove(key);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef dictionary)
{
    if (Dictionary* object = cf::mutableDictionary(dictionary))
        object->clear();
}
