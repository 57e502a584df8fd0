#include "HidApi.h"
#include "HidTestbed.h"

#include <gtest/gtest.h>

using namespace hidapi;

namespace
{

// A keyboard (product 1), a mouse (2) and a gamepad (3).
struct ElementsTest : testing::Test
{
    void SetUp() override
    {
        bed.addDevice({.productId = 1, .ports = {1}, .reportDescriptor = hidtest::kBootKeyboard});
        bed.addDevice({.productId = 2, .ports = {2}, .reportDescriptor = hidtest::kBootMouse});
        bed.addDevice({.productId = 3, .ports = {3}, .reportDescriptor = hidtest::kGamepad});
        manager = openManager();
        keyboard = deviceWithProduct(manager.get(), 1);
        mouse = deviceWithProduct(manager.get(), 2);
        gamepad = deviceWithProduct(manager.get(), 3);
    }

    hidtest::HidTestbed bed;
    cf::Owned<IOHIDManagerRef> manager;
    IOHIDDeviceRef keyboard = nullptr, mouse = nullptr, gamepad = nullptr;
};

std::optional<int64_t> elementNumber(IOHIDElementRef element, CFStringRef key)
{
    const CFTypeRef value = IOHIDElementGetProperty(element, key);
    int64_t number = 0;
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID())
        return std::nullopt;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &number);
    return number;
}

} // namespace

TEST_F(ElementsTest, BootKeyboardGivesItsTreeInDescriptorOrder)
{
    const auto elements = elementsOf(keyboard);
    ASSERT_EQ(elements.size(), 116u);
    IOHIDElementRef application = elements[0];
    EXPECT_EQ(IOHIDElementGetCollectionType(application), kIOHIDElementCollectionTypeApplication);
    EXPECT_EQ(IOHIDElementGetParent(application), nullptr);
    EXPECT_EQ(IOHIDElementGetDevice(application), keyboard);
    EXPECT_EQ(CFArrayGetCount(IOHIDElementGetChildren(application)), 115);
    for (size_t i = 0; i < elements.size(); ++i)
        EXPECT_EQ(IOHIDElementGetCookie(elements[i]), IOHIDElementCookie(i + 1));

    IOHIDElementRef leftShift = elementWithUsage(keyboard, 0x07, 0xE1);
    EXPECT_EQ(IOHIDElementGetType(leftShift), kIOHIDElementTypeInput_Button);
    EXPECT_EQ(IOHIDElementGetParent(leftShift), application);
    EXPECT_EQ(IOHIDElementGetReportSize(leftShift), 1u);
    EXPECT_EQ(IOHIDElementGetReportCount(leftShift), 1u);
    EXPECT_FALSE(IOHIDElementIsArray(leftShift));
    EXPECT_TRUE(IOHIDElementHasPreferredState(leftShift));
    EXPECT_EQ(IOHIDElementGetType(elementWithUsage(keyboard, 0x08, 0x02)), kIOHIDElementTypeOutput);
    IOHIDElementRef keyA = elementWithUsage(keyboard, 0x07, 0x04);
    EXPECT_TRUE(IOHIDElementIsArray(keyA));
    EXPECT_EQ(IOHIDElementGetLogicalMax(keyA), 0x65);
}

TEST_F(ElementsTest, AxesHatAndButtonsGiveTheirRangesAndFlags)
{
    IOHIDElementRef x = elementWithUsage(gamepad, 0x01, 0x30);
    EXPECT_EQ(IOHIDElementGetType(x), kIOHIDElementTypeInput_Axis);
    EXPECT_EQ(IOHIDElementGetReportID(x), 1u);
    EXPECT_EQ(IOHIDElementGetLogicalMax(x), 255);
    EXPECT_EQ(IOHIDElementGetPhysicalMax(x), 255);
    EXPECT_FALSE(IOHIDElementIsRelative(x));
    IOHIDElementRef hat = elementWithUsage(gamepad, 0x01, 0x39);
    EXPECT_EQ(IOHIDElementGetType(hat), kIOHIDElementTypeInput_Misc);
    EXPECT_TRUE(IOHIDElementHasNullState(hat));
    EXPECT_EQ(IOHIDElementGetPhysicalMax(hat), 315);
    EXPECT_EQ(IOHIDElementGetUnit(hat), 0x14u);
    EXPECT_EQ(IOHIDElementGetReportSize(hat), 4u);

    IOHIDElementRef y = elementWithUsage(mouse, 0x01, 0x31);
    EXPECT_TRUE(IOHIDElementIsRelative(y));
    EXPECT_EQ(IOHIDElementGetLogicalMin(y), -127);
    EXPECT_EQ(IOHIDElementGetPhysicalMin(y), -127);
    EXPECT_EQ(IOHIDElementGetCollectionType(IOHIDElementGetParent(y)), kIOHIDElementCollectionTypePhysical);
}

TEST_F(ElementsTest, MatchesOnWhatTheyPublishAndKeepWhatCallersStore)
{
    EXPECT_EQ(elementsOf(gamepad, matching({{kIOHIDElementUsagePageKey, 9}}).get()).size(), 12u);
    EXPECT_EQ(
        elementsOf(gamepad, matching({{kIOHIDElementTypeKey, kIOHIDElementTypeCollection}}).get()).size(),
        1u);
    EXPECT_TRUE(elementsOf(gamepad, matching({{kIOHIDElementUsagePageKey, 0x0C}}).get()).empty());

    IOHIDElementRef x = elementWithUsage(gamepad, 0x01, 0x30);
    EXPECT_EQ(elementNumber(x, CFSTR(kIOHIDElementMinKey)), 0);
    EXPECT_EQ(elementNumber(x, CFSTR(kIOHIDElementMaxKey)), 255);
    EXPECT_FALSE(elementNumber(x, CFSTR(kIOHIDElementCalibrationMinKey)));
    const int32_t stored = -40;
    const cf::Owned<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &stored));
    EXPECT_TRUE(IOHIDElementSetProperty(x, CFSTR(kIOHIDElementCalibrationMinKey), number.get()));
    EXPECT_TRUE(IOHIDElementSetProperty(x, CFSTR(kIOHIDElementMaxKey), number.get()));
    EXPECT_EQ(elementNumber(x, CFSTR(kIOHIDElementMaxKey)), -40);
    // The same element is found again on the next copy: properties stay with it.
    EXPECT_EQ(elementWithUsage(gamepad, 0x01, 0x30), x);
    EXPECT_EQ(elementNumber(x, CFSTR(kIOHIDElementCalibrationMinKey)), -40);
    EXPECT_TRUE(IOHIDElementSetProperty(x, CFSTR(kIOHIDElementCalibrationMinKey), nullptr));
    EXPECT_FALSE(elementNumber(x, CFSTR(kIOHIDElementCalibrationMinKey)));
}
