#include "CFTestHelpers.h"

#include <cstdint>
#include <cstring>

namespace
{

using cftest::number;

// The bytes a value leaves in a zeroed 64-bit slot.
template <typename T> int64_t bits(T value)
{
    int64_t slot = 0;
    std::memcpy(&slot, &value, sizeof value);
    return slot;
}

TEST(Number, GetValueWritesTheTypesSizeAndIsTrueOnlyWhenExact)
{
    // The number, the type asked for, whether it is exact, and what is left in a zeroed slot.
    const std::tuple<cf::Owned<CFNumberRef>, CFNumberType, bool, int64_t> cases[] = {
        {number(int32_t(-1)), kCFNumberSInt32Type, true, 0xFFFFFFFF}, // the low half of a long
        {number(int64_t(0x100000001)), kCFNumberSInt32Type, false, 1},
        {number(int64_t(0x100000001)), kCFNumberSInt64Type, true, 0x100000001},
        {number(0xFF00), kCFNumberSInt8Type, false, 0},
        {number(0xFF00), kCFNumberSInt16Type, false, 0xFF00},
        {number(0xFF00), kCFNumberSInt32Type, true, 0xFF00},
        {number(2.5), kCFNumberIntType, false, 2},
        {number(-7.0), kCFNumberIntType, true, bits(int32_t(-7))},
        {number(1e30), kCFNumberSInt64Type, false, INT64_MAX},
        {number(int64_t((1LL << 53) + 1)), kCFNumberFloat64Type, false, bits(double(1LL << 53))},
        {number(1.0 / 3.0), kCFNumberFloat32Type, false, bits(float(1.0 / 3.0))},
    };
    for (size_t row = 0; row < std::size(cases); ++row)
    {
        const auto& [number, as, exact, left] = cases[row];
        int64_t slot = 0;
        EXPECT_EQ(CFNumberGetValue(number.get(), as, &slot), exact) << row;
        EXPECT_EQ(slot, left) << row;
    }
}

TEST(Number, KeepsItsSizedTypeAndComparesByValue)
{
    auto integer = number(3), real = number(3.0), larger = number(4L, kCFNumberLongType);
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
