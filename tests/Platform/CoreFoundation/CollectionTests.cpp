#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>
#include <vector>

namespace
{

cf::Owned<CFNumberRef> number(int value)
{
    return cf::Owned<CFNumberRef>(CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value));
}

int intOf(const void* value)
{
    int result = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberIntType, &result);
    return result;
}

CFComparisonResult descending(const void* a, const void* b, void* context)
{
    ++*static_cast<int*>(context);
    return static_cast<CFComparisonResult>(intOf(b) < intOf(a) ? -1 : intOf(b) > intOf(a) ? 1 : 0);
}

TEST(Array, HoldsItsValuesUntilReleased)
{
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFNumberRef seven = number(7).release();
    CFArrayAppendValue(array, seven);
    EXPECT_EQ(CFGetRetainCount(seven), 2);
    CFRelease(seven);
    EXPECT_EQ(intOf(CFArrayGetValueAtIndex(array, 0)), 7);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, -1), nullptr);
    CFRelease(array); // frees the number too: LeakSanitizer sees it
}

TEST(Array, SortsARangeWithTheComparator)
{
    cf::Owned<CFMutableArrayRef> array(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (int value : {5, 1, 4, 2, 3})
        CFArrayAppendValue(array.get(), number(value).get());
    int calls = 0;
    CFArraySortValues(array.get(), CFRangeMake(1, 3), descending, &calls);
    std::vector<int> order;
    for (CFIndex i = 0; i < CFArrayGetCount(array.get()); ++i)
        order.push_back(intOf(CFArrayGetValueAtIndex(array.get(), i)));
    EXPECT_EQ(order, (std::vector<int>{5, 4, 2, 1, 3}));
    EXPECT_GT(calls, 0);
    CFArraySortValues(array.get(), CFRangeMake(3, 5), descending, &calls); // out of range: untouched
    EXPECT_EQ(intOf(CFArrayGetValueAtIndex(array.get(), 4)), 3);
}

TEST(Array, ImmutableArraysRefuseChangesAndCompareByValue)
{
    const void* values[] = {CFSTR("a"), CFSTR("b")};
    cf::Owned<CFArrayRef> fixed(CFArrayCreate(nullptr, values, 2, &kCFTypeArrayCallBacks));
    CFArrayAppendValue(const_cast<CFMutableArrayRef>(fixed.get()), CFSTR("c"));
    EXPECT_EQ(CFArrayGetCount(fixed.get()), 2);
    cf::Owned<CFMutableArrayRef> copy(CFArrayCreateMutableCopy(nullptr, 0, fixed.get()));
    EXPECT_TRUE(CFEqual(fixed.get(), copy.get()));
    CFArrayRemoveValueAtIndex(copy.get(), 0);
    EXPECT_FALSE(CFEqual(fixed.get(), copy.get()));
    EXPECT_EQ(CFArrayGetFirstIndexOfValue(fixed.get(), CFRangeMake(0, 2), CFSTR("b")), 1);
    EXPECT_FALSE(CFArrayContainsValue(copy.get(), CFRangeMake(0, 1), CFSTR("a")));
}

TEST(Dictionary, FindsValuesByStringAndNumberKeys)
{
    cf::Owned<CFMutableDictionaryRef> dictionary(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(dictionary.get(), CFSTR("PrimaryUsagePage"), number(1).get());
    CFDictionarySetValue(dictionary.get(), number(48).get(), CFSTR("X"));

    // Keys made apart from the stored ones still find them.
    cf::Owned<CFStringRef> key(CFStringCreateWithCString(nullptr, "PrimaryUsagePage", kCFStringEncodingUTF8));
    const void* found = nullptr;
    EXPECT_TRUE(CFDictionaryGetValueIfPresent(dictionary.get(), key.get(), &found));
    EXPECT_EQ(intOf(found), 1);
    EXPECT_TRUE(CFEqual(CFDictionaryGetValue(dictionary.get(), number(48).get()), CFSTR("X")));
    EXPECT_FALSE(CFDictionaryGetValueIfPresent(dictionary.get(), CFSTR("PrimaryUsage"), &found));
    EXPECT_EQ(CFDictionaryGetValue(dictionary.get(), CFSTR("PrimaryUsage")), nullptr);
    EXPECT_EQ(CFDictionaryGetCount(dictionary.get()), 2);
}

TEST(Dictionary, AddKeepsAndSetReplacesAndRemoveReleases)
{
    cf::Owned<CFMutableDictionaryRef> dictionary(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    auto first = number(1), second = number(2);
    CFDictionaryAddValue(dictionary.get(), CFSTR("LocationID"), first.get());
    CFDictionaryAddValue(dictionary.get(), CFSTR("LocationID"), second.get());
    EXPECT_EQ(CFDictionaryGetValue(dictionary.get(), CFSTR("LocationID")), first.get());
    EXPECT_EQ(CFGetRetainCount(second.get()), 1);
    CFDictionarySetValue(dictionary.get(), CFSTR("LocationID"), second.get());
    EXPECT_EQ(CFDictionaryGetValue(dictionary.get(), CFSTR("LocationID")), second.get());
    EXPECT_EQ(CFGetRetainCount(first.get()), 1);
    EXPECT_EQ(CFGetRetainCount(second.get()), 2);
    CFDictionaryRemoveValue(dictionary.get(), CFSTR("LocationID"));
    EXPECT_EQ(CFGetRetainCount(second.get()), 1);
    EXPECT_EQ(CFDictionaryGetCount(dictionary.get()), 0);
}

TEST(Dictionary, EqualsAnotherWithTheSamePairs)
{
    const void* keys[] = {CFSTR("Name"), CFSTR("1:48")};
    const void* values[] = {CFSTR("Pad"), CFSTR("X Axis")};
    cf::Owned<CFDictionaryRef> fixed(CFDictionaryCreate(
        nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    cf::Owned<CFMutableDictionaryRef> copy(CFDictionaryCreateMutableCopy(nullptr, 0, fixed.get()));
    EXPECT_TRUE(CFEqual(fixed.get(), copy.get()));
    CFDictionarySetValue(copy.get(), CFSTR("Name"), CFSTR("Other"));
    EXPECT_FALSE(CFEqual(fixed.get(), copy.get()));
    CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(fixed.get()), CFSTR("Name"), CFSTR("Other"));
    EXPECT_TRUE(CFEqual(CFDictionaryGetValue(fixed.get(), CFSTR("Name")), CFSTR("Pad")));
}

void copyToArray(const void* value, void* context)
{
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(context), value);
}

TEST(Set, KeepsDistinctValuesAndAppliesAFunctionToEach)
{
    cf::Owned<CFMutableSetRef> set(CFSetCreateMutable(nullptr, 0, &kCFTypeSetCallBacks));
    for (int value : {3, 1, 3, 2})
        CFSetAddValue(set.get(), number(value).get());
    EXPECT_EQ(CFSetGetCount(set.get()), 3);
    EXPECT_TRUE(CFSetContainsValue(set.get(), number(2).get()));

    cf::Owned<CFMutableArrayRef> array(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    CFSetApplyFunction(set.get(), copyToArray, array.get());
    EXPECT_EQ(CFArrayGetCount(array.get()), 3);
    int calls = 0;
    CFArraySortValues(array.get(), CFRangeMake(0, 3), descending, &calls);
    EXPECT_EQ(intOf(CFArrayGetValueAtIndex(array.get(), 0)), 3);

    CFSetRemoveValue(set.get(), number(3).get());
    EXPECT_FALSE(CFSetContainsValue(set.get(), number(3).get()));
    EXPECT_EQ(CFSetGetCount(set.get()), 2);
}

TEST(Data, CopiesTheBytes)
{
    UInt8 bytes[] = {1, 2, 3};
    cf::Owned<CFDataRef> data(CFDataCreate(nullptr, bytes, 3));
    bytes[0] = 9;
    EXPECT_EQ(CFDataGetLength(data.get()), 3);
    EXPECT_EQ(CFDataGetBytePtr(data.get())[0], 1);
    cf::Owned<CFDataRef> empty(CFDataCreate(nullptr, nullptr, 0));
    EXPECT_EQ(CFDataGetLength(empty.get()), 0);
    EXPECT_EQ(CFDataCreate(nullptr, nullptr, 4), nullptr);
}

} // namespace
