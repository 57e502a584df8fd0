#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <cstdint>
#include <gtest/gtest.h>

namespace
{

template <typename T> cf::Owned<CFNumberRef> number(CFNumberType type, T value)
{
    return cf::Owned<CFNumberRef>(CFNumberCreate(kCFAllocatorDefault, type, &value));
}

TEST(Number, Reads32BitValuesIntoTheLowHalfOfALong)
{
    // A property holding -1 read as SInt32 into a long that started at 0 gives 0xFFFFFFFF.
    auto minusOne = number(kCFNumberSInt32Type, int32_t(-1));
    long value = 0;
    EXPECT_TRUE(CFNumberGetValue(minusOne.get(), kCFNumberSInt32Type, &value));
    EXPECT_EQ(value, 0xFFFFFFFFL);
}

TEST(Number, GetValueIsFalseWhenTheValueDoesNotFit)
{
    auto big = number(kCFNumberSInt64Type, int64_t(0x100000001LL));
    int32_t narrow = 0;
    EXPECT_FALSE(CFNumberGetValue(big.get(), kCFNumberSInt32Type, &narrow));
    EXPECT_EQ(narrow, 1); // the low 32 bits, as the C conversion gives them
    int64_t wide = 0;
    EXPECT_TRUE(CFNumberGetValue(big.get(), kCFNumberSInt64Type, &wide));
    EXPECT_EQ(wide, 0x100000001LL);

    auto half = number(kCFNumberDoubleType, 2.5);
    int32_t truncated = 0;
    EXPECT_FALSE(CFNumberGetValue(half.get(), kCFNumberIntType, &truncated));
    EXPECT_EQ(truncated, 2);
    auto whole = number(kCFNumberDoubleType, -7.0);
    EXPECT_TRUE(CFNumberGetValue(whole.get(), kCFNumberIntType, &truncated));
    EXPECT_EQ(truncated, -7);
    auto huge = number(kCFNumberDoubleType, 1e30);
    EXPECT_FALSE(CFNumberGetValue(huge.get(), kCFNumberSInt64Type, &wide));

    auto precise = number(kCFNumberSInt64Type, int64_t((1LL << 53) + 1));
    double real = 0;
    EXPECT_FALSE(CFNumberGetValue(precise.get(), kCFNumberFloat64Type, &real));
    auto third = number(kCFNumberFloat64Type, 1.0 / 3.0);
    float single = 0;
    EXPECT_FALSE(CFNumberGetValue(third.get(), kCFNumberFloat32Type, &single));

    auto page = number(kCFNumberIntType, 0xFF00);
    int8_t tiny = 0;
    EXPECT_FALSE(CFNumberGetValue(page.get(), kCFNumberSInt8Type, &tiny));
    int16_t small = 0;
    EXPECT_FALSE(CFNumberGetValue(page.get(), kCFNumberSInt16Type, &small));
    EXPECT_TRUE(CFNumberGetValue(page.get(), kCFNumberSInt32Type, &narrow));
    EXPECT_EQ(narrow, 0xFF00);
}

TEST(Number, KeepsItsSizedTypeAndComparesByValue)
{
    auto integer = number(kCFNumberIntType, 3);
    auto real = number(kCFNumberDoubleType, 3.0);
    auto larger = number(kCFNumberLongType, 4L);
    EXPECT_EQ(CFNumberGetType(integer.get()), kCFNumberSInt32Type);
    EXPECT_EQ(CFNumberGetType(larger.get()), kCFNumberSInt64Type);
    EXPECT_TRUE(CFNumberIsFloatType(real.get()));
    EXPECT_TRUE(CFEqual(integer.get(), real.get()));
    EXPECT_EQ(CFHash(integer.get()), CFHash(real.get()));
    EXPECT_EQ(CFNumberCompare(integer.get(), larger.get(), nullptr), kCFCompareLessThan);
    EXPECT_EQ(CFNumberCompare(larger.get(), real.get(), nullptr), kCFCompareGreaterThan);
    EXPECT_EQ(CFNumberCreate(nullptr, static_cast<CFNumberType>(99), &integer), nullptr);
    EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberIntType, nullptr), nullptr);
}

} // namespace
