// The process's HID manager and its device list, over emulated hidraw devices.
#include "HID_Utilities.h"
#include "HidTestbed.h"

#include <gtest/gtest.h>

using namespace hidtest;

namespace
{
void setNumber(IOHIDDeviceRef device, CFStringRef key, long long value)
{
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberLongLongType, &value);
    IOHIDDeviceSetProperty(device, key, number);
    CFRelease(number);
}

std::vector<IOHIDDeviceRef> walk()
{
    std::vector<IOHIDDeviceRef> devices;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
        devices.push_back(device);
    return devices;
}

class DeviceListTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        HIDReleaseDeviceList();
        if (gIOHIDManagerRef != nullptr)
            CFRelease(gIOHIDManagerRef);
        gIOHIDManagerRef = nullptr;
    }

    int addDevice(uint16_t product, std::vector<uint32_t> ports,
                  const std::vector<uint8_t>& descriptor = kVendor64)
    {
        return bed.addDevice(
            {.productId = product, .ports = std::move(ports), .reportDescriptor = descriptor});
    }

    HidTestbed bed;
};
} // namespace

TEST_F(DeviceListTest, ListsEveryDeviceInOrderOfLocation)
{
    addDevice(3, {3});
    addDevice(1, {1});
    addDevice(2, {2});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));

    std::vector<long> products;
    for (IOHIDDeviceRef device : walk())
        products.push_back(IOHIDDevice_GetProductID(device));
    EXPECT_EQ(products, (std::vector<long>{1, 2, 3}));
}

TEST_F(DeviceListTest, SortsLocationsUnsignedWithMissingOnesFirst)
{
    addDevice(1, {1});
    addDevice(2, {2});
    addDevice(3, {3});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    std::vector<IOHIDDeviceRef> devices = walk();
    ASSERT_EQ(devices.size(), 3u);
    setNumber(devices[0], CFSTR("LocationID"), 0x80000000LL);
    setNumber(devices[1], CFSTR("LocationID"), 0x00100000LL);
    IOHIDDeviceSetProperty(devices[2], CFSTR("LocationID"), nullptr);

    HIDRebuildDevices();
    std::vector<long> products;
    for (IOHIDDeviceRef device : walk())
        products.push_back(IOHIDDevice_GetProductID(device));
    EXPECT_EQ(products, (std::vector<long>{3, 2, 1}));
}

TEST_F(DeviceListTest, MatchesByUsagePageAndUsage)
{
    addDevice(1, {1}, kBootKeyboard);
    addDevice(2, {2}, kBootMouse);
    addDevice(3, {3});

    ASSERT_TRUE(HIDBuildDeviceList(0x01, 0x06));
    ASSERT_EQ(walk().size(), 1u);
    EXPECT_EQ(IOHIDDevice_GetProductID(walk()[0]), 1);

    const UInt32 pages[] = {0x01, 0x01};
    const UInt32 usages[] = {0x06, 0x02};
    ASSERT_TRUE(HIDBuildMultiDeviceList(pages, usages, 2));
    EXPECT_EQ(walk().size(), 2u);

    ASSERT_TRUE(HIDBuildMultiDeviceList(nullptr, nullptr, 0));
    EXPECT_EQ(walk().size(), 3u);
}

TEST_F(DeviceListTest, MatchingDictionariesHoldOnlyTheNonZeroPageAndItsUsage)
{
    auto count = [](UInt32 page, UInt32 usage)
    {
        CFMutableDictionaryRef matching = hu_SetUpMatchingDictionary(page, usage);
        const CFIndex entries = CFDictionaryGetCount(matching);
        CFRelease(matching);
        return entries;
    };
    EXPECT_EQ(count(0, 5), 0);
    EXPECT_EQ(count(1, 0), 1);
    EXPECT_EQ(count(1, 5), 2);

    CFMutableDictionaryRef matching = hu_SetUpMatchingDictionary(0xFF00, 1);
    int page = 0;
    ASSERT_TRUE(CFNumberGetValue((CFNumberRef)CFDictionaryGetValue(matching, CFSTR("PrimaryUsagePage")),
                                 kCFNumberIntType, &page));
    EXPECT_EQ(page, 0xFF00);
    CFRelease(matching);
}

TEST_F(DeviceListTest, WalksOnFromWhereTheGivenDeviceStands)
{
    addDevice(1, {1});
    addDevice(2, {2});
    addDevice(3, {3});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    const std::vector<IOHIDDeviceRef> d = walk();
    ASSERT_EQ(d.size(), 3u);

    EXPECT_EQ(HIDGetFirstDevice(), d[0]);
    EXPECT_EQ(HIDGetNextDevice(d[1]), d[2]);
    EXPECT_EQ(gDeviceIndex, 2);
    EXPECT_EQ(HIDGetNextDevice(d[2]), nullptr);
    EXPECT_EQ(gDeviceIndex, 3);
    EXPECT_EQ(HIDGetNextDevice(d[2]), nullptr);
    EXPECT_EQ(HIDGetNextDevice(nullptr), nullptr);
}

TEST_F(DeviceListTest, ADeviceOutsideTheListEndsTheWalkUntilItRestarts)
{
    addDevice(1, {1});
    addDevice(2, {2});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    IOHIDDeviceRef outsider = walk()[1];
    CFRetain(outsider);
    ASSERT_TRUE(HIDBuildDeviceList(0x01, 0x06)); // a list without it
    addDevice(3, {3}, kBootKeyboard);
    HIDRebuildDevices();
    ASSERT_EQ(walk().size(), 1u);
    IOHIDDeviceRef first = HIDGetFirstDevice();

    EXPECT_EQ(HIDGetNextDevice(outsider), nullptr);
    EXPECT_EQ(gDeviceIndex, -1);
    EXPECT_EQ(HIDGetNextDevice(first), nullptr);
    EXPECT_EQ(HIDGetFirstDevice(), first);
    CFRelease(outsider);
}

TEST_F(DeviceListTest, WithoutAListThereIsNothingToWalk)
{
    gDeviceIndex = 5;
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);
    EXPECT_EQ(gDeviceIndex, 0);
    HIDReleaseDeviceList();
    EXPECT_EQ(gDeviceCFArrayRef, nullptr);
}

TEST_F(DeviceListTest, CreatesAndOpensTheManagerOnceAndSaysNothing)
{
    addDevice(1, {1});
    testing::internal::CaptureStderr();
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    IOHIDManagerRef manager = gIOHIDManagerRef;
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(gIOHIDManagerRef, manager);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(DeviceListTest, NumberPropertiesReadAsUnsigned32BitValues)
{
    addDevice(0x001F, {1});
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    IOHIDDeviceRef device = HIDGetFirstDevice();
    EXPECT_EQ(IOHIDDevice_GetVendorID(device), 0x5A1E);
    EXPECT_EQ(IOHIDDevice_GetLocationID(device), 0x01100000);

    setNumber(device, CFSTR("VersionNumber"), -1);
    EXPECT_EQ(IOHIDDevice_GetVersionNumber(device), 0xFFFFFFFFL);
    IOHIDDeviceSetProperty(device, CFSTR("VendorID"), nullptr);
    EXPECT_EQ(IOHIDDevice_GetVendorID(device), 0);
    EXPECT_EQ(IOHIDDevice_GetVendorID(nullptr), 0);

    long value = 0x7700000000000000L;
    setNumber(device, CFSTR("ProductID"), 5);
    EXPECT_TRUE(IOHIDDevice_GetLongProperty(device, CFSTR("ProductID"), &value));
    EXPECT_EQ(value, 0x7700000000000005L);
    setNumber(device, CFSTR("ProductID"), 0x100000000LL);
    EXPECT_FALSE(IOHIDDevice_GetLongProperty(device, CFSTR("ProductID"), &value));
    IOHIDDeviceSetProperty(device, CFSTR("ProductID"), CFSTR("not a number"));
    value = 9;
    EXPECT_FALSE(IOHIDDevice_GetLongProperty(device, CFSTR("ProductID"), &value));
    EXPECT_EQ(value, 9);
}
