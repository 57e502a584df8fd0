#include "HID_Queue_Utilities.h"

#include "HidApi.h"
#include "HidLibDevices.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace hidlibtest;

namespace
{
using Events = std::vector<std::pair<IOHIDElementRef, CFIndex>>;

class HIDQueueTest : public StickTest
{
protected:
    void TearDown() override
    {
        HIDDisposeReleaseQueue(stick);
        StickTest::TearDown();
    }

    // Every value waiting in the queue, oldest first, as element and integer value. An element
    // shows a new value only once its report's changes are queued: after sendAndWait, all are here.
    Events takeEvents()
    {
        Events events;
        IOHIDValueRef value = nullptr;
        while (HIDGetEvent(stick, &value))
        {
            events.emplace_back(IOHIDValueGetElement(value), IOHIDValueGetIntegerValue(value));
            CFRelease(value);
        }
        return events;
    }

    bool watches(IOHIDElementRef element)
    {
        IOHIDQueueRef queue = IOHIDDevice_GetQueue(stick);
        return queue != nullptr && IOHIDQueueContainsElement(queue, element);
    }
};
} // namespace

TEST_F(HIDQueueTest, QueueingAnElementMakesAStartedQueueThatKeepsEveryChangeInOrderUntilFull)
{
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), nullptr);
    ASSERT_EQ(HIDQueueElement(stick, y), 0);
    EXPECT_TRUE(watches(y));
    EXPECT_FALSE(watches(x));
    Events expected;
    for (uint8_t value = 1; value <= 51; ++value)
    {
        ASSERT_TRUE(bed.writeInputReport(stickNumber, stickReport(0, value)));
        if (value <= 50)
            expected.emplace_back(y, value);
    }
    sendAndWait(stickNumber, stickReport(0, 52), y, 52);
    EXPECT_FALSE(HIDGetEvent(stick, nullptr)) << "without an out value nothing is taken";
    EXPECT_EQ(takeEvents(), expected) << "the 51st and 52nd found the queue full";
    sendAndWait(stickNumber, stickReport(0, 53), y, 53);
    EXPECT_EQ(takeEvents(), (Events{{y, 53}})) << "room again once taken";

    IOHIDValueRef none = (IOHIDValueRef)x;
    EXPECT_FALSE(HIDGetEvent(stick, &none));
    EXPECT_EQ(none, nullptr);
}

TEST_F(HIDQueueTest, GivesOneEventForEachElementThatChangesInAReport)
{
    IOHIDElementRef button1 = element(stick, 9, 1);
    IOHIDElementRef button3 = element(stick, 9, 3);
    for (IOHIDElementRef watched : {x, y, button1, button3})
        ASSERT_EQ(HIDQueueElement(stick, watched), 0);
    sendAndWait(stickNumber, stickReport(700, 0, 0x05), x, 700);
    EXPECT_EQ(takeEvents(), (Events{{x, 700}, {button1, 1}, {button3, 1}}));
    sendAndWait(stickNumber, stickReport(700, 9, 0x04), y, 9);
    EXPECT_EQ(takeEvents(), (Events{{y, 9}, {button1, 0}}));
}

TEST_F(HIDQueueTest, QueueingAgainKeepsWhatWaitsAndGoesOnDelivering)
{
    ASSERT_EQ(HIDQueueElement(stick, y), 0);
    IOHIDQueueRef queue = IOHIDDevice_GetQueue(stick);
    sendAndWait(stickNumber, stickReport(0, 5), y, 5);
    EXPECT_EQ(HIDQueueElement(stick, y), 0);
    EXPECT_EQ(HIDQueueElement(stick, x), 0);
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), queue);
    sendAndWait(stickNumber, stickReport(300, 6), y, 6);
    EXPECT_EQ(takeEvents(), (Events{{y, 5}, {x, 300}, {y, 6}}));
}

TEST_F(HIDQueueTest, QueueingADeviceWatchesItsInputsOutputsAndFeaturesButNoCollection)
{
    EXPECT_EQ(HIDQueueDevice(stick), 0);
    EXPECT_TRUE(watches(x));
    EXPECT_TRUE(watches(element(stick, 8, 1)));
    EXPECT_TRUE(watches(element(stick, 0xFF00, 0x11)));
    for (IOHIDElementRef collection = HIDGetFirstDeviceElement(stick, kHIDElementTypeCollection);
         collection != nullptr; collection = HIDGetNextDeviceElement(collection, kHIDElementTypeCollection))
        EXPECT_FALSE(watches(collection));
    EXPECT_FALSE(HIDIsDeviceQueueEmpty(stick));
    EXPECT_EQ(HIDDequeueDevice(stick), 0);
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), nullptr);
}

TEST_F(HIDQueueTest, DequeueingTheLastElementDisposesOfTheQueue)
{
    ASSERT_EQ(HIDQueueElement(stick, x), 0);
    ASSERT_EQ(HIDQueueElement(stick, y), 0);
    EXPECT_EQ(HIDDequeueElement(stick, x), 0);
    ASSERT_NE(IOHIDDevice_GetQueue(stick), nullptr);
    EXPECT_FALSE(watches(x));

    // The queue was started again: changes of the remaining element still arrive.
    sendAndWait(stickNumber, stickReport(300, 9), y, 9);
    EXPECT_EQ(takeEvents(), (Events{{y, 9}}));

    EXPECT_EQ(HIDDequeueElement(stick, y), 0);
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), nullptr);
    EXPECT_TRUE(HIDIsDeviceQueueEmpty(stick));
}

TEST_F(HIDQueueTest, RefusesWhatItCannotQueueOrDequeueAndLeavesTheQueueAsItWas)
{
    // Without a queue, everything but queueing is refused.
    IOHIDValueRef value = nullptr;
    EXPECT_EQ(HIDDequeueElement(stick, x), int(kIOReturnError));
    EXPECT_EQ(HIDDequeueDevice(stick), int(kIOReturnError));
    EXPECT_FALSE(HIDGetEvent(stick, &value));
    EXPECT_TRUE(HIDIsDeviceQueueEmpty(stick));
    EXPECT_EQ(HIDDisposeReleaseQueue(stick), 0);
    IOHIDElementRef collection = IOHIDElementGetParent(x);
    EXPECT_EQ(HIDQueueElement(stick, collection), int(kIOReturnBadArgument));
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), nullptr);
    EXPECT_EQ(HIDCreateQueue(stick), 0);
    ASSERT_NE(IOHIDDevice_GetQueue(stick), nullptr);
    EXPECT_TRUE(HIDIsDeviceQueueEmpty(stick)) << "a new queue watches nothing";
    HIDDisposeReleaseQueue(stick);

    add(trvAt(1, 3));
    buildList();
    ASSERT_EQ(HIDQueueElement(stick, y), 0);
    IOHIDQueueRef queue = IOHIDDevice_GetQueue(stick);
    sendAndWait(stickNumber, stickReport(0, 5), y, 5);
    EXPECT_EQ(HIDQueueElement(stick, element(device(1, 3), 0xFF00, 2)), int(kIOReturnBadArgument));
    EXPECT_EQ(HIDQueueElement(stick, collection), int(kIOReturnBadArgument));
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), queue);
    sendAndWait(stickNumber, stickReport(0, 6), y, 6);
    EXPECT_EQ(takeEvents(), (Events{{y, 5}, {y, 6}})) << "still started, nothing lost";

    EXPECT_EQ((std::vector{HIDQueueElement(nullptr, x), HIDQueueElement(stick, nullptr),
                           HIDQueueDevice(nullptr), HIDDequeueElement(nullptr, x),
                           HIDDequeueElement(stick, nullptr), HIDDequeueDevice(nullptr)}),
              std::vector<int>(6, kIOReturnBadArgument));
    EXPECT_EQ(HIDCreateQueue(nullptr) + HIDDisposeReleaseQueue(nullptr), 0);
    EXPECT_TRUE(HIDIsDeviceQueueEmpty(nullptr));
    EXPECT_FALSE(HIDGetEvent(nullptr, &value));
}

TEST_F(HIDQueueTest, ReleasingAllQueuesReportsTheLastDevice)
{
    add(trvAt(1, 3));
    buildList();
    ASSERT_EQ(HIDQueueElement(stick, x), 0);
    // The TRV-Q8 at port 3 comes last and has no queue.
    EXPECT_EQ(HIDReleaseAllDeviceQueues(), int(kIOReturnError));
    EXPECT_EQ(IOHIDDevice_GetQueue(stick), nullptr);

    IOHIDDeviceRef trv = device(1, 3);
    ASSERT_EQ(HIDQueueDevice(stick), 0);
    ASSERT_EQ(HIDQueueDevice(trv), 0);
    EXPECT_EQ(HIDReleaseAllDeviceQueues(), 0);
    EXPECT_EQ(IOHIDDevice_GetQueue(trv), nullptr);
    HIDReleaseDeviceList();
    EXPECT_EQ(HIDReleaseAllDeviceQueues(), 0) << "no list";
}

TEST_F(HIDQueueTest, AQueueGoesWithItsDeviceWhenTheListLetsTheDeviceGo)
{
    ASSERT_EQ(HIDQueueElement(stick, x), 0);
    HIDRebuildDevices();
    ASSERT_EQ(device(1, 2), stick);
    EXPECT_NE(IOHIDDevice_GetQueue(stick), nullptr) << "still listed, so still queued";

    IOHIDDeviceRef unplugged = std::exchange(stick, nullptr);
    CFRetain(unplugged);
    bed.unplug(stickNumber);
    ASSERT_TRUE(hidapi::runUntil(
        []
        {
            HIDRebuildDevices();
            return HIDCountDevices() == 0;
        }));
    EXPECT_EQ(IOHIDDevice_GetQueue(unplugged), nullptr);
    EXPECT_EQ(CFGetRetainCount(unplugged), 1) << "nothing but this test holds it";
    CFRelease(unplugged);

    add(trvAt(1, 3));
    buildList();
    IOHIDDeviceRef trv = device(1, 3);
    CFRetain(trv);
    const CFIndex held = CFGetRetainCount(trv);
    ASSERT_EQ(HIDQueueDevice(trv), 0);
    HIDReleaseDeviceList();
    EXPECT_EQ(IOHIDDevice_GetQueue(trv), nullptr);
    EXPECT_EQ(CFGetRetainCount(trv), held - 1) << "only the list's own reference went";
    CFRelease(trv);
}

TEST_F(HIDQueueTest, ReleasingAllQueuesAlsoReleasesThoseOfDevicesOutsideTheList)
{
    const cf::Owned<IOHIDDeviceRef> own = hidapi::createDevice(stick);
    ASSERT_EQ(HIDQueueDevice(own.get()), 0);
    EXPECT_EQ(HIDReleaseAllDeviceQueues(), int(kIOReturnError)) << "the listed stick has no queue";
    EXPECT_EQ(IOHIDDevice_GetQueue(own.get()), nullptr);
    EXPECT_EQ(CFGetRetainCount(own.get()), 1);
}
