#include "HidApi.h"
#include "HidTestbed.h"

#include <gtest/gtest.h>
#include <thread>

using namespace hidapi;

namespace
{

struct GamepadTest : testing::Test
{
    hidtest::HidTestbed bed;
    int index = bed.addDevice({.reportDescriptor = hidtest::kGamepad});
    cf::Owned<IOHIDManagerRef> manager = openManager();
    IOHIDDeviceRef device = devicesOf(manager.get()).at(0);
    IOHIDElementRef x = elementWithUsage(device, 0x01, 0x30);
    IOHIDElementRef hat = elementWithUsage(device, 0x01, 0x39);
    IOHIDElementRef button1 = elementWithUsage(device, 0x09, 1);

    // Report 1: X, Y, Z, Rz, then the hat in the low nibble, then buttons 1 to 12.
    void send(uint8_t xValue, uint8_t hatValue = 0, uint16_t buttons = 0)
    {
        const std::vector<uint8_t> report = {
            0x01, xValue, 0x80, 0x80, 0x80, hatValue, uint8_t(buttons), uint8_t(buttons >> 8)};
        ASSERT_TRUE(bed.writeInputReport(index, report));
        ASSERT_TRUE(bed.waitUntilInputTaken(index));
    }

    // Waits for the value with no run loop running, as a caller's loop on the main thread would.
    bool shows(IOHIDElementRef element, CFIndex wanted)
    {
        return runUntil([&] { return valueOf(device, element) == wanted; }, false);
    }
};

} // namespace

TEST_F(GamepadTest, ElementValuesFollowReportsWhileTheMainThreadPolls)
{
    IOHIDElementRef button12 = elementWithUsage(device, 0x09, 12);
    IOHIDValueRef value = nullptr;
    EXPECT_EQ(IOHIDDeviceGetValue(device, x, &value), kIOReturnNotReady) << "no report yet";

    send(0x40, 3, 0x0800);
    ASSERT_TRUE(shows(x, 0x40));
    EXPECT_EQ(valueOf(device, hat), 3);
    EXPECT_EQ(valueOf(device, button12), 1);
    EXPECT_EQ(valueOf(device, button1), 0) << "read, though it kept its first value";

    IOHIDValueRef first = nullptr;
    ASSERT_EQ(IOHIDDeviceGetValue(device, x, &first), kIOReturnSuccess);
    EXPECT_EQ(IOHIDValueGetElement(first), x);
    IOHIDDeviceGetValue(device, x, &value);
    EXPECT_EQ(value, first); // an unchanged value is not made anew
    const uint64_t firstTime = IOHIDValueGetTimeStamp(first);

    send(0xC0);
    ASSERT_TRUE(shows(x, 0xC0));
    IOHIDDeviceGetValue(device, x, &value);
    EXPECT_GT(IOHIDValueGetTimeStamp(value), firstTime);
    EXPECT_EQ(valueOf(device, button12), 0);
    EXPECT_EQ(IOHIDDeviceGetValue(device, elementsOf(device).at(0), &value), kIOReturnBadArgument)
        << "a collection has no value";

    // Once nobody reads the node, what it said may no longer hold.
    IOHIDManagerClose(manager.get(), kIOHIDOptionsTypeNone);
    IOHIDManagerOpen(manager.get(), kIOHIDOptionsTypeNone);
    EXPECT_EQ(IOHIDDeviceGetValue(device, x, &value), kIOReturnNotReady);
}

TEST_F(GamepadTest, ValuesScaleOntoPhysicalAndCalibratedRanges)
{
    const auto scaled = [&](IOHIDElementRef of, CFIndex integer, IOHIDValueScaleType type)
    {
        const cf::Owned<IOHIDValueRef> value(
            IOHIDValueCreateWithIntegerValue(kCFAllocatorDefault, of, 0, integer));
        return IOHIDValueGetScaledValue(value.get(), type);
    };
    EXPECT_DOUBLE_EQ(scaled(hat, 3, kIOHIDValueScaleTypePhysical), 135.0);
    EXPECT_DOUBLE_EQ(scaled(x, 255, kIOHIDValueScaleTypeCalibrated), 1.0);
    EXPECT_DOUBLE_EQ(scaled(x, 0, kIOHIDValueScaleTypeCalibrated), -1.0);
    EXPECT_DOUBLE_EQ(scaled(x, 77, kIOHIDValueScaleTypeExponent), 77.0);

    const auto calibrate = [&](std::initializer_list<std::pair<const char*, int32_t>> calibration)
    {
        for (const auto& [key, number] : calibration)
        {
            const cf::Owned<CFStringRef> name(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
            const cf::Owned<CFNumberRef> value(CFNumberCreate(nullptr, kCFNumberSInt32Type, &number));
            IOHIDElementSetProperty(x, name.get(), value.get());
        }
    };
    calibrate({{kIOHIDElementCalibrationMinKey, 0},
               {kIOHIDElementCalibrationMaxKey, 100},
               {kIOHIDElementCalibrationSaturationMinKey, 50},
               {kIOHIDElementCalibrationSaturationMaxKey, 150}});
    EXPECT_DOUBLE_EQ(scaled(x, 10, kIOHIDValueScaleTypeCalibrated), 0.0);
    EXPECT_DOUBLE_EQ(scaled(x, 100, kIOHIDValueScaleTypeCalibrated), 50.0);
    EXPECT_DOUBLE_EQ(scaled(x, 200, kIOHIDValueScaleTypeCalibrated), 100.0);
    calibrate({{kIOHIDElementCalibrationDeadZoneMinKey, 90}, {kIOHIDElementCalibrationDeadZoneMaxKey, 110}});
    EXPECT_DOUBLE_EQ(scaled(x, 95, kIOHIDValueScaleTypeCalibrated), 50.0);
    EXPECT_DOUBLE_EQ(scaled(x, 70, kIOHIDValueScaleTypeCalibrated), 25.0);
    calibrate({{kIOHIDElementCalibrationGranularityKey, 20}});
    EXPECT_DOUBLE_EQ(scaled(x, 70, kIOHIDValueScaleTypeCalibrated), 20.0);
}

TEST_F(GamepadTest, QueueCollectsChangesOfItsElementsInOrderUpToItsDepth)
{
    cf::Owned<IOHIDQueueRef> queue(IOHIDQueueCreate(kCFAllocatorDefault, device, 3, kIOHIDOptionsTypeNone));
    ASSERT_TRUE(queue);
    EXPECT_EQ(IOHIDQueueGetDepth(queue.get()), 3);
    EXPECT_EQ(IOHIDQueueCreate(kCFAllocatorDefault, device, 0, 0), nullptr);
    IOHIDQueueAddElement(queue.get(), x);
    IOHIDQueueAddElement(queue.get(), x);
    EXPECT_TRUE(IOHIDQueueContainsElement(queue.get(), x));
    EXPECT_FALSE(IOHIDQueueContainsElement(queue.get(), button1));

    // A value is in the queue by the time the element shows it.
    const auto sendAndSee = [&](uint8_t value)
    {
        send(value);
        ASSERT_TRUE(shows(x, value));
    };
    sendAndSee(0x11); // not started: not queued
    IOHIDQueueStart(queue.get());
    EXPECT_EQ(IOHIDQueueCopyNextValueWithTimeout(queue.get(), 0), nullptr);
    for (uint8_t value : {0x21, 0x22, 0x22, 0x23, 0x24})
        sendAndSee(value);
    std::vector<CFIndex> taken;
    while (IOHIDValueRef value = IOHIDQueueCopyNextValueWithTimeout(queue.get(), 0))
    {
        EXPECT_EQ(IOHIDValueGetElement(value), x);
        taken.push_back(IOHIDValueGetIntegerValue(value));
        CFRelease(value);
    }
    EXPECT_EQ(taken, (std::vector<CFIndex>{0x21, 0x22, 0x23})); // no repeat of 0x22; 0x24 did not fit

    IOHIDQueueRemoveElement(queue.get(), x);
    EXPECT_FALSE(IOHIDQueueContainsElement(queue.get(), x));
    sendAndSee(0x30);
    EXPECT_EQ(IOHIDQueueCopyNextValue(queue.get()), nullptr);
}

TEST_F(GamepadTest, QueueWaitsForAValueUpToItsTimeout)
{
    cf::Owned<IOHIDQueueRef> queue(IOHIDQueueCreate(kCFAllocatorDefault, device, 8, kIOHIDOptionsTypeNone));
    IOHIDQueueAddElement(queue.get(), button1);
    IOHIDQueueStart(queue.get());
    std::thread later(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            send(0x00, 0, 0x0001);
        });
    const cf::Owned<IOHIDValueRef> value(IOHIDQueueCopyNextValueWithTimeout(queue.get(), 5.0));
    later.join();
    ASSERT_TRUE(value);
    EXPECT_EQ(IOHIDValueGetIntegerValue(value.get()), 1);

    IOHIDQueueStop(queue.get());
    send(0x00, 0, 0x0000);
    ASSERT_TRUE(shows(button1, 0));
    EXPECT_EQ(IOHIDQueueCopyNextValueWithTimeout(queue.get(), 0.01), nullptr);
}

TEST_F(GamepadTest, ANewHoldersQueueTakesTheFirstValueWhateverAnEarlierHolderRead)
{
    send(0x40);
    ASSERT_TRUE(shows(x, 0x40));
    IOHIDManagerClose(manager.get(), kIOHIDOptionsTypeNone); // the node closes with its last holder

    const auto next = createDevice(device);
    IOHIDElementRef nextX = elementWithUsage(next.get(), 0x01, 0x30);
    const cf::Owned<IOHIDQueueRef> queue(IOHIDQueueCreate(kCFAllocatorDefault, next.get(), 4, 0));
    IOHIDQueueAddElement(queue.get(), nextX);
    IOHIDQueueStart(queue.get());
    ASSERT_EQ(IOHIDDeviceOpen(next.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
    send(0x40);
    ASSERT_TRUE(runUntil([&] { return valueOf(next.get(), nextX) == 0x40; }, false));
    const cf::Owned<IOHIDValueRef> first(IOHIDQueueCopyNextValueWithTimeout(queue.get(), 0));
    ASSERT_TRUE(first);
    EXPECT_EQ(IOHIDValueGetIntegerValue(first.get()), 0x40);
    IOHIDQueueStop(queue.get());
    IOHIDDeviceClose(next.get(), kIOHIDOptionsTypeNone);
}
