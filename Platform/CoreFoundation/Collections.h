// What arrays, dictionaries and sets share: how they keep values, hash and compare them, and
// how they describe themselves.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <functional>
#include <string>
#include <vector>

namespace cf
{

// The callbacks of a collection's keys or values; null ones mean plain pointers kept by identity.
struct ValueRules
{
    const void* (*retain)(CFAllocatorRef, const void*) = nullptr;
    void (*release)(CFAllocatorRef, const void*) = nullptr;
    Boolean (*equal)(const void*, const void*) = nullptr;
    CFHashCode (*hash)(const void*) = nullptr;
    CFStringRef (*copyDescription)(const void*) = nullptr;

    // Builds the rules from any of the callback structures; a null structure gives plain pointers.
    template <typename CallBacks> static ValueRules from(const CallBacks* callBacks)
    {
        ValueRules rules;
        if (callBacks != nullptr)
        {
            rules.retain = callBacks->retain;
            rules.release = callBacks->release;
            rules.equal = callBacks->equal;
            rules.copyDescription = callBacks->copyDescription;
            if constexpr (requires { callBacks->hash; })
                rules.hash = callBacks->hash;
        }
        return rules;
    }

    const void* keep(const void* value) const { return retain != nullptr ? retain(nullptr, value) : value; }
    void drop(const void* value) const
    {
        if (release != nullptr)
            release(nullptr, value);
    }
    bool same(const void* a, const void* b) const { return a == b || (equal != nullptr && equal(a, b)); }
    CFHashCode hashOf(const void* value) const
    {
        return hash != nullptr ? hash(value) : std::hash<const void*>()(value);
    }
    std::string describe(const void* value) const;
};

// Hashes and compares with a collection's rules, for the standard unordered containers.
struct RulesHash
{
    const ValueRules* rules;
    size_t operator()(const void* value) const { return rules->hashOf(value); }
};
struct RulesEqual
{
    const ValueRules* rules;
    bool operator()(const void* a, const void* b) const { return rules->same(a, b); }
};

// "(\n    a,\n    b\n)" for arrays and sets; "{\n    k = v;\n}" for dictionaries.
std::string describeList(const std::vector<std::string>& items);
std::string describePairs(const std::vector<std::pair<std::string, std::string>>& pairs);

} // namespace cf
