#include "IOHIDDevice_.h"

#include "HidLibDevices.h"

#include <gtest/gtest.h>

using namespace hidlibtest;

using IOHIDDeviceTest = StickTest;

// What the device dump does not show: numbers that are missing or beyond 32 bits, usage pairs, and
// a transaction reference.
TEST_F(IOHIDDeviceTest, ReadsNumbersAsUnsigned32BitValuesAndZeroForMissingOnes)
{
    EXPECT_EQ(CFArrayGetCount(IOHIDDevice_GetUsagePairs(stick)), 1);
    EXPECT_EQ(IOHIDDevice_GetCountryCode(stick), 0);
    EXPECT_EQ(IOHIDDevice_GetPrimaryUsagePage(nullptr), 0u);
    IOHIDDevice_SetLongProperty(stick, CFSTR("CountryCode"), 0x7700000021L);
    EXPECT_EQ(IOHIDDevice_GetCountryCode(stick), 0x21);
    IOHIDDevice_SetLongProperty(stick, CFSTR("ReportInterval"), -1);
    EXPECT_EQ(IOHIDDevice_GetReportInterval(stick), 0xFFFFFFFFL);
    IOHIDDeviceSetProperty(stick, CFSTR("VendorID"), nullptr);
    EXPECT_EQ(IOHIDDevice_GetVendorID(stick), 0);

    // The long keeps its upper half; a number beyond 32 bits, or no number, is refused.
    long value = 0x7700000000000000L;
    IOHIDDevice_SetLongProperty(stick, CFSTR("ProductID"), 5);
    EXPECT_TRUE(IOHIDDevice_GetLongProperty(stick, CFSTR("ProductID"), &value));
    EXPECT_EQ(value, 0x7700000000000005L);
    const long long wide = 0x100000000LL;
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberLongLongType, &wide);
    IOHIDDeviceSetProperty(stick, CFSTR("ProductID"), number);
    CFRelease(number);
    EXPECT_FALSE(IOHIDDevice_GetLongProperty(stick, CFSTR("ProductID"), &value));
    IOHIDDeviceSetProperty(stick, CFSTR("ProductID"), CFSTR("not a number"));
    value = 9;
    EXPECT_FALSE(IOHIDDevice_GetLongProperty(stick, CFSTR("ProductID"), &value));
    EXPECT_EQ(value, 9);

    // A reference at the full width of a pointer, never dereferenced.
    const auto transaction = reinterpret_cast<IOHIDTransactionRef>(uintptr_t(0xFFFF80001234ABC8ULL));
    IOHIDDevice_SetTransaction(stick, transaction);
    EXPECT_EQ(IOHIDDevice_GetTransaction(stick), transaction);
}
