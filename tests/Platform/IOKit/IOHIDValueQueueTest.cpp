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
    cf::Owned<CFArrayRef> elements{IOHIDDeviceCopyMatchingElements(device, nullptr, kIOHIDOptionsTypeNone)};

    IOHIDElementRef element(uint32_t page, uint32_t usage)
    {
        for (CFIndex i = 0; i < CFArrayGetCount(elements.get()); ++i)
        {
            auto candidate =
                static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(elements.get(), i)));
            if (IOHIDElementGetUsagePage(candidate) == page && IOHIDElementGetUsage(candidate) == usage)
                return candidate;
        }
        return nullptr;
    }

    // Report 1: X, Y, Z, Rz, then the hat in the low nibble, then buttons 1 to 12.
    void send(uint8_t x, uint8_t hat = 0, uint16_t buttons = 0)
    {
        const std::vector<uint8_t> report = {
            0x01, x, 0x80, 0x80, 0x80, hat, uint8_t(buttons), uint8_t(buttons >> 8)};
        ASSERT_TRUE(bed.writeInputReport(index, report));
        ASSERT_TRUE(bed.waitUntilInputTaken(index));
    }

    CFIndex valueOf(IOHIDElementRef of)
    {
        IOHIDValueRef value = nullptr;
        return IOHIDDeviceGetValue(device, of, &value) == kIOReturnSuccess ? IOHIDValueGetIntegerValue(value)
                                                                           : -1;
    }

    // Polls as a caller's loop on the main thread would, with no run loop running.
    bool pollUntil(IOHIDElementRef of, CFIndex wanted)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (valueOf(of) != wanted)
        {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
};

} // namespace

TEST_F(GamepadTest, ElementValuesFollowReportsWhileTheMainThreadPolls)
{
    IOHIDElementRef x = element(0x01, 0x30);
    IOHIDElementRef hat = element(0x01, 0x39);
    IOHIDElementRef button12 = element(0x09, 12);
    IOHIDElementRef button1 = element(0x09, 1);
    IOHIDValueRef unread = nullptr;
    EXPECT_EQ(IOHIDDeviceGetValue(device, x, &unread), kIOReturnNotReady) << "no report yet";

    send(0x40, 3, 0x0800);
    ASSERT_TRUE(pollUntil(x, 0x40));
    EXPECT_EQ(valueOf(hat), 3);
    EXPECT_EQ(valueOf(button12), 1);
    EXPECT_EQ(valueOf(button1), 0) << "read, though it kept its first value";

    IOHIDValueRef first = nullptr;
    ASSERT_EQ(IOHIDDeviceGetValue(device, x, &first), kIOReturnSuccess);
    EXPECT_EQ(IOHIDValueGetElement(first), x);
    IOHIDValueRef again = nullptr;
    IOHIDDeviceGetValue(device, x, &again);
    EXPECT_EQ(again, first); // an unchanged value is not made anew
    const uint64_t firstTime = IOHIDValueGetTimeStamp(first);

    send(0xC0);
    ASSERT_TRUE(pollUntil(x, 0xC0));
    IOHIDValueRef later = nullptr;
    IOHIDDeviceGetValue(device, x, &later);
    EXPECT_GT(IOHIDValueGetTimeStamp(later), firstTime);
    EXPECT_EQ(valueOf(button12), 0);

    const cf::Owned<CFArrayRef> collections(IOHIDDeviceCopyMatchingElements(
        device, matching({{kIOHIDElementTypeKey, kIOHIDElementTypeCollection}}).get(), 0));
    IOHIDValueRef none = nullptr;
    auto collection =
        static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(collections.get(), 0)));
    EXPECT_EQ(IOHIDDeviceGetValue(device, collection, &none), kIOReturnBadArgument);
}

TEST_F(GamepadTest, ValuesScaleOntoPhysicalAndCalibratedRanges)
{
    IOHIDElementRef x = element(0x01, 0x30);
    IOHIDElementRef hat = element(0x01, 0x39);
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

    const auto setCalibration = [&](const char* key, int32_t number)
    {
        const cf::Owned<CFStringRef> name(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
        const cf::Owned<CFNumberRef> value(CFNumberCreate(nullptr, kCFNumberSInt32Type, &number));
        IOHIDElementSetProperty(x, name.get(), value.get());
    };
    setCalibration(kIOHIDElementCalibrationMinKey, 0);
    setCalibration(kIOHIDElementCalibrationMaxKey, 100);
    setCalibration(kIOHIDElementCalibrationSaturationMinKey, 50);
    setCalibration(kIOHIDElementCalibrationSaturationMaxKey, 150);
    EXPECT_DOUBLE_EQ(scaled(x, 10, kIOHIDValueScaleTypeCalibrated), 0.0);
    EXPECT_DOUBLE_EQ(scaled(x, 100, kIOHIDValueScaleTypeCalibrated), 50.0);
    EXPECT_DOUBLE_EQ(scaled(x, 200, kIOHIDValueScaleTypeCalibrated), 100.0);
    setCalibration(kIOHIDElementCalibrationDeadZoneMinKey, 90);
    setCalibration(kIOHIDElementCalibrationDeadZoneMaxKey, 110);
    EXPECT_DOUBLE_EQ(scaled(x, 95, kIOHIDValueScaleTypeCalibrated), 50.0);
    EXPECT_DOUBLE_EQ(scaled(x, 70, kIOHIDValueScaleTypeCalibrated), 25.0);
    setCalibration(kIOHIDElementCalibrationGranularityKey, 20);
    EXPECT_DOUBLE_EQ(scaled(x, 70, kIOHIDValueScaleTypeCalibrated), 20.0);
}

TEST_F(GamepadTest, QueueCollectsChangesOfItsElementsInOrderUpToItsDepth)
{
    IOHIDElementRef x = element(0x01, 0x30);
    IOHIDElementRef button1 = element(0x09, 1);
    cf::Owned<IOHIDQueueRef> queue(IOHIDQueueCreate(kCFAllocatorDefault, device, 3, kIOHIDOptionsTypeNone));
    ASSERT_TRUE(queue);
    EXPECT_EQ(CFGetTypeID(queue.get()), IOHIDQueueGetTypeID());
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
        ASSERT_TRUE(pollUntil(x, value));
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
    IOHIDElementRef button1 = element(0x09, 1);
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
    ASSERT_TRUE(pollUntil(button1, 0));
    EXPECT_EQ(IOHIDQueueCopyNextValueWithTimeout(queue.get(), 0.01), nullptr);
}

TEST(IOHIDValue, VendorElementValueHoldsTheWholeReport)
{
    hidtest::HidTestbed bed;
    const int index = bed.addDevice({});
    const auto manager = openManager();
    IOHIDDeviceRef device = devicesOf(manager.get()).at(0);
    const cf::Owned<CFArrayRef> elements(IOHIDDeviceCopyMatchingElements(device, nullptr, 0));
    auto input = static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(elements.get(), 1)));
    auto output = static_cast<IOHIDElementRef>(const_cast<void*>(CFArrayGetValueAtIndex(elements.get(), 2)));
    IOHIDValueRef value = nullptr;
    EXPECT_EQ(IOHIDDeviceGetValue(device, input, &value), kIOReturnNotReady);

    std::vector<uint8_t> report(64);
    for (size_t i = 0; i < report.size(); ++i)
        report[i] = uint8_t(0xA0 + i);
    ASSERT_TRUE(bed.writeInputReport(index, report));
    ASSERT_TRUE(bed.waitUntilInputTaken(index));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (IOHIDDeviceGetValue(device, input, &value) != kIOReturnSuccess)
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);

    ASSERT_EQ(IOHIDValueGetLength(value), 64);
    EXPECT_EQ(std::vector<uint8_t>(IOHIDValueGetBytePtr(value), IOHIDValueGetBytePtr(value) + 64), report);
    // The layer never reads output or feature values: none is made up.
    EXPECT_EQ(IOHIDDeviceGetValue(device, output, &value), kIOReturnUnsupported);
}
