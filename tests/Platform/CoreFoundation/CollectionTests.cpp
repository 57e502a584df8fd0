#include "CFTestHelpers.h"

#include <vector>

namespace
{

using cftest::intOf;
using cftest::number;

// Orders numbers ascending, or descending when the context points to -1.
CFComparisonResult byValue(const void* a, const void* b, void* direction)
{
    const int difference = (intOf(a) > intOf(b)) - (intOf(a) < intOf(b));
    return static_cast<CFComparisonResult>(difference * *static_cast<int*>(direction));
}

void appendTo(const void* value, void* array)
{
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(array), value);
}

TEST(Collections, KeepWhatTheyHoldAndLetGoOfWhatTheyDrop)
{
    auto kept = number(7), other = number(8), equal = number(7);
    cf::Owned<CFMutableArrayRef> array(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    cf::Owned<CFMutableDictionaryRef> dictionary(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    cf::Owned<CFMutableSetRef> set(CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks));
    CFArrayAppendValue(array.get(), kept.get());
    CFDictionaryAddValue(dictionary.get(), CFSTR("LocationID"), kept.get());
    CFDictionaryAddValue(dictionary.get(), CFSTR("LocationID"), other.get()); // adding keeps the first
    CFSetAddValue(set.get(), kept.get());
    CFSetAddValue(set.get(), equal.get()); // already there
    EXPECT_EQ(CFGetRetainCount(kept.get()), 4);
    EXPECT_EQ(CFGetRetainCount(other.get()), 1);
    EXPECT_EQ(CFGetRetainCount(equal.get()), 1);
    CFDictionarySetValue(dictionary.get(), CFSTR("LocationID"), other.get()); // setting replaces
    EXPECT_EQ(CFGetRetainCount(kept.get()), 3);
    CFSetRemoveValue(set.get(), equal.get());
    CFDictionaryRemoveValue(dictionary.get(), CFSTR("LocationID"));
    array.reset();
    EXPECT_EQ(CFGetRetainCount(kept.get()), 1);
    EXPECT_EQ(CFGetRetainCount(other.get()), 1);
    EXPECT_EQ(CFDictionaryGetCount(dictionary.get()) + CFSetGetCount(set.get()), 0);
}

TEST(Collections, FindValuesByEqualityWithinTheirBounds)
{
    auto dictionary =
        cftest::dictionary({CFSTR("PrimaryUsagePage"), number(48).get()}, {number(1).get(), CFSTR("X")});
    // Keys made apart from the stored ones still find them.
    const void* found = nullptr;
    EXPECT_TRUE(
        CFDictionaryGetValueIfPresent(dictionary.get(), cftest::string("PrimaryUsagePage").get(), &found));
    EXPECT_EQ(intOf(found), 1);
    EXPECT_TRUE(CFEqual(CFDictionaryGetValue(dictionary.get(), number(48).get()), CFSTR("X")));
    EXPECT_FALSE(CFDictionaryGetValueIfPresent(dictionary.get(), CFSTR("PrimaryUsage"), &found));
    auto array = cftest::array({CFSTR("a"), CFSTR("b")});
    EXPECT_EQ(CFArrayGetFirstIndexOfValue(array.get(), CFRangeMake(0, 2), cftest::string("b").get()), 1);
    EXPECT_FALSE(CFArrayContainsValue(array.get(), CFRangeMake(0, 1), CFSTR("b")));
    EXPECT_EQ(CFArrayGetValueAtIndex(array.get(), 2), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(array.get(), -1), nullptr);
}

TEST(Collections, ImmutableOnesRefuseChangesAndCopiesCompareByValue)
{
    auto array = cftest::array({CFSTR("a"), CFSTR("b")});
    auto dictionary = cftest::dictionary({CFSTR("Name")}, {CFSTR("Pad")});
    cf::Owned<CFMutableArrayRef> arrayCopy(CFArrayCreateMutableCopy(nullptr, 0, array.get()));
    cf::Owned<CFMutableDictionaryRef> dictionaryCopy(
        CFDictionaryCreateMutableCopy(nullptr, 0, dictionary.get()));
    for (auto* changeable : {const_cast<CFMutableArrayRef>(array.get()), arrayCopy.get()})
        CFArrayRemoveValueAtIndex(changeable, 0);
    for (auto* changeable : {const_cast<CFMutableDictionaryRef>(dictionary.get()), dictionaryCopy.get()})
        CFDictionarySetValue(changeable, CFSTR("Name"), CFSTR("Other"));
    EXPECT_TRUE(CFEqual(array.get(), cftest::array({CFSTR("a"), CFSTR("b")}).get()));
    EXPECT_TRUE(CFEqual(arrayCopy.get(), cftest::array({CFSTR("b")}).get()));
    EXPECT_FALSE(CFEqual(array.get(), arrayCopy.get()));
    EXPECT_TRUE(CFEqual(dictionary.get(), cftest::dictionary({CFSTR("Name")}, {CFSTR("Pad")}).get()));
    EXPECT_FALSE(CFEqual(dictionary.get(), dictionaryCopy.get()));
}

TEST(Collections, SetsKeepDistinctValuesThatArraysSortInARange)
{
    cf::Owned<CFMutableSetRef> set(CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks));
    for (int value : {5, 1, 4, 2, 3, 4})
        CFSetAddValue(set.get(), number(value).get());
    EXPECT_TRUE(CFSetContainsValue(set.get(), number(2).get()));
    cf::Owned<CFMutableArrayRef> array(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    CFSetApplyFunction(set.get(), appendTo, array.get()); // as the device list is made
    int descending = -1, ascending = 1;
    CFArraySortValues(array.get(), CFRangeMake(0, 5), byValue, &descending);
    CFArraySortValues(array.get(), CFRangeMake(1, 3), byValue, &ascending);
    CFArraySortValues(array.get(), CFRangeMake(3, 5), byValue, &ascending); // out of range: untouched
    std::vector<int> order;
    for (CFIndex i = 0; i < CFArrayGetCount(array.get()); ++i)
        order.push_back(intOf(CFArrayGetValueAtIndex(array.get(), i)));
    EXPECT_EQ(order, (std::vector<int>{5, 2, 3, 4, 1}));
}

TEST(Data, CopiesTheBytes)
{
    UInt8 bytes[] = {1, 2, 3};
    cf::Owned<CFDataRef> data(CFDataCreate(nullptr, bytes, 3));
    bytes[0] = 9;
    EXPECT_EQ(CFDataGetLength(data.get()), 3);
    EXPECT_EQ(CFDataGetBytePtr(data.get())[0], 1);
    EXPECT_EQ(CFDataGetLength(cf::Owned<CFDataRef>(CFDataCreate(nullptr, nullptr, 0)).get()), 0);
    EXPECT_EQ(CFDataCreate(nullptr, nullptr, 4), nullptr);
}

} // namespace
