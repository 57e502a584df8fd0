#include "HidApi.h"
#include "HidTestbed.h"

#include <gtest/gtest.h>

using namespace hidapi;

namespace
{

class Elements
{
public:
    explicit Elements(IOHIDDeviceRef device, CFDictionaryRef matching = nullptr)
        : array(IOHIDDeviceCopyMatchingElements(device, matching, kIOHIDOptionsTypeNone))
    {
    }
    CFIndex count() const { return array ? CFArrayGetCount(array.get()) : 0; }
    IOHIDElementRef operator[](CFIndex index) const
    {
        return static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(array.get(), index)));
    }
    IOHIDElementRef withUsage(uint32_t page, uint32_t usage) const
    {
        for (CFIndex i = 0; i < count(); ++i)
            if (IOHIDElementGetUsagePage((*this)[i]) == page && IOHIDElementGetUsage((*this)[i]) == usage &&
                IOHIDElementGetType((*this)[i]) != kIOHIDElementTypeCollection)
                return (*this)[i];
        return nullptr;
    }

private:
    cf::Owned<CFArrayRef> array;
};

std::optional<int64_t> elementNumber(IOHIDElementRef element, CFStringRef key)
{
    const CFTypeRef value = IOHIDElementGetProperty(element, key);
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID())
        return std::nullopt;
    int64_t number = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number);
    return number;
}

struct ElementsTest : testing::Test
{
    hidtest::HidTestbed bed;
    cf::Owned<IOHIDManagerRef> manager;

    IOHIDDeviceRef deviceWith(const std::vector<uint8_t>& descriptor)
    {
        bed.addDevice({.reportDescriptor = descriptor});
        manager = openManager();
        return devicesOf(manager.get()).at(0);
    }
};

} // namespace

TEST_F(ElementsTest, BootKeyboardGivesItsTreeInDescriptorOrder)
{
    IOHIDDeviceRef device = deviceWith(hidtest::kBootKeyboard);
    const Elements elements(device);
    ASSERT_EQ(elements.count(), 116);

    IOHIDElementRef application = elements[0];
    EXPECT_EQ(CFGetTypeID(application), IOHIDElementGetTypeID());
    EXPECT_EQ(IOHIDElementGetType(application), kIOHIDElementTypeCollection);
    EXPECT_EQ(IOHIDElementGetCollectionType(application), kIOHIDElementCollectionTypeApplication);
    EXPECT_EQ(IOHIDElementGetParent(application), nullptr);
    EXPECT_EQ(IOHIDElementGetDevice(application), device);
    ASSERT_NE(IOHIDElementGetChildren(application), nullptr);
    EXPECT_EQ(CFArrayGetCount(IOHIDElementGetChildren(application)), 115);
    for (CFIndex i = 0; i < elements.count(); ++i)
        EXPECT_EQ(IOHIDElementGetCookie(elements[i]), IOHIDElementCookie(i + 1));

    IOHIDElementRef leftShift = elements.withUsage(0x07, 0xE1);
    ASSERT_NE(leftShift, nullptr);
    EXPECT_EQ(IOHIDElementGetType(leftShift), kIOHIDElementTypeInput_Button);
    EXPECT_EQ(IOHIDElementGetParent(leftShift), application);
    EXPECT_EQ(IOHIDElementGetReportSize(leftShift), 1u);
    EXPECT_EQ(IOHIDElementGetReportCount(leftShift), 1u);
    EXPECT_FALSE(IOHIDElementIsArray(leftShift));
    EXPECT_TRUE(IOHIDElementHasPreferredState(leftShift));

    IOHIDElementRef capsLock = elements.withUsage(0x08, 0x02);
    ASSERT_NE(capsLock, nullptr);
    EXPECT_EQ(IOHIDElementGetType(capsLock), kIOHIDElementTypeOutput);

    IOHIDElementRef keyA = elements.withUsage(0x07, 0x04);
    ASSERT_NE(keyA, nullptr);
    EXPECT_TRUE(IOHIDElementIsArray(keyA));
    EXPECT_EQ(IOHIDElementGetLogicalMax(keyA), 0x65);
    EXPECT_FALSE(IOHIDElementIsVirtual(keyA));
    EXPECT_EQ(IOHIDElementGetName(keyA), nullptr);
}

TEST_F(ElementsTest, GamepadGivesAxesHatAndButtonsWithTheirRanges)
{
    IOHIDDeviceRef device = deviceWith(hidtest::kGamepad);
    const Elements elements(device);

    IOHIDElementRef x = elements.withUsage(0x01, 0x30);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(IOHIDElementGetType(x), kIOHIDElementTypeInput_Axis);
    EXPECT_EQ(IOHIDElementGetReportID(x), 1u);
    EXPECT_EQ(IOHIDElementGetLogicalMin(x), 0);
    EXPECT_EQ(IOHIDElementGetLogicalMax(x), 255);
    EXPECT_EQ(IOHIDElementGetPhysicalMax(x), 255);
    EXPECT_FALSE(IOHIDElementIsRelative(x));

    IOHIDElementRef hat = elements.withUsage(0x01, 0x39);
    ASSERT_NE(hat, nullptr);
    EXPECT_EQ(IOHIDElementGetType(hat), kIOHIDElementTypeInput_Misc);
    EXPECT_TRUE(IOHIDElementHasNullState(hat));
    EXPECT_EQ(IOHIDElementGetPhysicalMin(hat), 0);
    EXPECT_EQ(IOHIDElementGetPhysicalMax(hat), 315);
    EXPECT_EQ(IOHIDElementGetUnit(hat), 0x14u);
    EXPECT_EQ(IOHIDElementGetUnitExponent(hat), 0u);
    EXPECT_EQ(IOHIDElementGetReportSize(hat), 4u);

    const Elements buttons(device, matching({{kIOHIDElementUsagePageKey, 9}}).get());
    EXPECT_EQ(buttons.count(), 12);
    const Elements collections(device, matching({{kIOHIDElementTypeKey, kIOHIDElementTypeCollection}}).get());
    EXPECT_EQ(collections.count(), 1);
    EXPECT_EQ(Elements(device, matching({{kIOHIDElementUsagePageKey, 0x0C}}).get()).count(), 0);
}

TEST_F(ElementsTest, MouseAxesAreRelativeAndSigned)
{
    IOHIDDeviceRef device = deviceWith(hidtest::kBootMouse);
    const Elements elements(device);
    ASSERT_EQ(elements.count(), 7);
    IOHIDElementRef y = elements.withUsage(0x01, 0x31);
    ASSERT_NE(y, nullptr);
    EXPECT_TRUE(IOHIDElementIsRelative(y));
    EXPECT_EQ(IOHIDElementGetLogicalMin(y), -127);
    EXPECT_EQ(IOHIDElementGetCollectionType(IOHIDElementGetParent(y)), kIOHIDElementCollectionTypePhysical);
}

TEST_F(ElementsTest, VendorReportIsOneElementEachWay)
{
    IOHIDDeviceRef device = deviceWith(hidtest::kVendor64);
    const Elements elements(device);
    ASSERT_EQ(elements.count(), 3);
    EXPECT_EQ(IOHIDElementGetType(elements[1]), kIOHIDElementTypeInput_Misc);
    EXPECT_EQ(IOHIDElementGetReportCount(elements[1]), 64u);
    EXPECT_EQ(IOHIDElementGetType(elements[2]), kIOHIDElementTypeOutput);
}

TEST_F(ElementsTest, PublishesMinAndMaxAndKeepsWhatCallersStore)
{
    IOHIDDeviceRef device = deviceWith(hidtest::kGamepad);
    IOHIDElementRef x = Elements(device).withUsage(0x01, 0x30);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(elementNumber(x, CFSTR(kIOHIDElementMinKey)), 0);
    EXPECT_EQ(elementNumber(x, CFSTR(kIOHIDElementMaxKey)), 255);
    EXPECT_FALSE(elementNumber(x, CFSTR(kIOHIDElementCalibrationMinKey)));

    const int32_t stored = -40;
    const cf::Owned<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &stored));
    EXPECT_TRUE(IOHIDElementSetProperty(x, CFSTR(kIOHIDElementCalibrationMinKey), number.get()));
    EXPECT_EQ(elementNumber(x, CFSTR(kIOHIDElementCalibrationMinKey)), -40);
    EXPECT_TRUE(IOHIDElementSetProperty(x, CFSTR(kIOHIDElementMaxKey), number.get()));
    EXPECT_EQ(elementNumber(x, CFSTR(kIOHIDElementMaxKey)), -40);
    EXPECT_TRUE(IOHIDElementSetProperty(x, CFSTR(kIOHIDElementCalibrationMinKey), nullptr));
    EXPECT_FALSE(elementNumber(x, CFSTR(kIOHIDElementCalibrationMinKey)));

    // The same element is found again on the next copy: properties stay with it.
    EXPECT_EQ(Elements(device).withUsage(0x01, 0x30), x);
}
