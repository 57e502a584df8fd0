#include "HidApi.h"
#include "HidTestbed.h"

#include <gtest/gtest.h>

using namespace hidapi;

namespace
{

// A keyboard (product 1), a mouse (2) and a gamepad (3). The HID library's element dumps pin the
// getters on a joystick; these cases pin what it lacks.
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

} // namespace

TEST_F(ElementsTest, GiveTheirTreeInDescriptorOrderWithTheirFlags)
{
    const auto elements = elementsOf(keyboard);
    ASSERT_EQ(elements.size(), 116u);
    EXPECT_EQ(IOHIDElementGetParent(elements[0]), nullptr);
    EXPECT_EQ(CFArrayGetCount(IOHIDElementGetChildren(elements[0])), 115);
    for (size_t i = 0; i < elements.size(); ++i)
        EXPECT_EQ(IOHIDElementGetCookie(elements[i]), IOHIDElementCookie(i + 1));
    IOHIDElementRef leftShift = elementWithUsage(keyboard, 0x07, 0xE1);
    EXPECT_EQ(IOHIDElementGetType(leftShift), kIOHIDElementTypeInput_Button);
    EXPECT_EQ(IOHIDElementGetParent(leftShift), elements[0]);
    IOHIDElementRef keyA = elementWithUsage(keyboard, 0x07, 0x04);
    EXPECT_TRUE(IOHIDElementIsArray(keyA));
    EXPECT_EQ(IOHIDElementGetLogicalMax(keyA), 0x65);

    IOHIDElementRef y = elementWithUsage(mouse, 0x01, 0x31);
    EXPECT_TRUE(IOHIDElementIsRelative(y));
    EXPECT_EQ(IOHIDElementGetLogicalMin(y), -127);
    IOHIDElementRef hat = elementWithUsage(gamepad, 0x01, 0x39);
    EXPECT_TRUE(IOHIDElementHasNullState(hat));
    EXPECT_EQ(IOHIDElementGetReportID(hat), 1u);
    EXPECT_EQ(IOHIDElementGetPhysicalMax(hat), 315);

    // Every element comes from the descriptor, which names none.
    for (IOHIDDeviceRef device : {keyboard, mouse, gamepad})
        for (IOHIDElementRef element : elementsOf(device))
        {
            EXPECT_FALSE(IOHIDElementIsVirtual(element));
            EXPECT_EQ(IOHIDElementGetName(element), nullptr);
        }
}

TEST_F(ElementsTest, MatchOnWhatTheyPublishAndKeepWhatCallersStore)
{
    EXPECT_EQ(elementsOf(gamepad, matching({{kIOHIDElementUsagePageKey, 9}}).get()).size(), 12u);
    EXPECT_EQ(
        elementsOf(gamepad, matching({{kIOHIDElementTypeKey, kIOHIDElementTypeCollection}}).get()).size(),
        1u);
    // The modifiers and the key selectors are buttons; the LEDs are outputs.
    EXPECT_EQ(
        elementsOf(keyboard, matching({{kIOHIDElementTypeKey, kIOHIDElementTypeInput_Button}}).get()).size(),
        110u);
    EXPECT_EQ(elementsOf(keyboard, matching({{kIOHIDElementTypeKey, kIOHIDElementTypeOutput}}).get()).size(),
              5u);

    IOHIDElementRef x = elementWithUsage(gamepad, 0x01, 0x30);
    EXPECT_EQ(numberOf(IOHIDElementGetProperty(x, CFSTR(kIOHIDElementMinKey))), 0);
    EXPECT_EQ(numberOf(IOHIDElementGetProperty(x, CFSTR(kIOHIDElementMaxKey))), 255);
    EXPECT_FALSE(numberOf(IOHIDElementGetProperty(x, CFSTR(kIOHIDElementCalibrationMinKey))));
    const int32_t stored = -40;
    const cf::Owned<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &stored));
    EXPECT_TRUE(IOHIDElementSetProperty(x, CFSTR(kIOHIDElementCalibrationMinKey), number.get()));
    EXPECT_TRUE(IOHIDElementSetProperty(x, CFSTR(kIOHIDElementMaxKey), number.get()));
    EXPECT_EQ(numberOf(IOHIDElementGetProperty(x, CFSTR(kIOHIDElementMaxKey))), -40);
    // The same element is found again on the next copy: properties stay with it.
    EXPECT_EQ(elementWithUsage(gamepad, 0x01, 0x30), x);
    EXPECT_EQ(numberOf(IOHIDElementGetProperty(x, CFSTR(kIOHIDElementCalibrationMinKey))), -40);
    EXPECT_TRUE(IOHIDElementSetProperty(x, CFSTR(kIOHIDElementCalibrationMinKey), nullptr));
    EXPECT_FALSE(numberOf(IOHIDElementGetProperty(x, CFSTR(kIOHIDElementCalibrationMinKey))));
}
