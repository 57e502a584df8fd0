#include "HidApi.h"
#include "HidTestbed.h"
#include "NodeFaults.h"
#include "ScarceResources.h"
#include "hid/HidObjects.h"

#include <CoreFoundation/CFRunLoopLinux.h>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <poll.h>
#include <span>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace hidapi;

namespace
{

// What a device's input report and removal callbacks were given. An armed removal callback keeps
// its device alive until it is told, so the callbacks end with this.
struct Reports
{
    std::vector<std::vector<uint8_t>> seen; // the caller's buffer after each call
    std::vector<CFIndex> lengths;
    std::vector<uint32_t> ids;
    std::span<uint8_t> buffer;
    int removals = 0;
    size_t reportsBeforeRemoval = 0;
    cf::Owned<IOHIDDeviceRef> listenedTo;

    void listen(IOHIDDeviceRef device, uint8_t* into, size_t size)
    {
        buffer = std::span<uint8_t>(into, size);
        CFRetain(device);
        listenedTo.reset(device);
        IOHIDDeviceRegisterInputReportCallback(device, into, CFIndex(size), onReport, this);
        IOHIDDeviceRegisterRemovalCallback(device, onRemoval, this);
        IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    ~Reports()
    {
        IOHIDDeviceRef device = listenedTo.get();
        IOHIDDeviceRegisterInputReportCallback(device, buffer.data(), CFIndex(buffer.size()), nullptr,
                                               nullptr);
        IOHIDDeviceRegisterRemovalCallback(device, nullptr, nullptr);
        IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    static void onReport(void* context, IOReturn result, void*, IOHIDReportType type, uint32_t reportId,
                         uint8_t* report, CFIndex length)
    {
        auto* self = static_cast<Reports*>(context);
        EXPECT_EQ(std::tuple(result, type, report),
                  std::tuple(kIOReturnSuccess, kIOHIDReportTypeInput, self->buffer.data()));
        self->seen.emplace_back(self->buffer.begin(), self->buffer.end());
        self->lengths.push_back(length);
        self->ids.push_back(reportId);
    }

    static void onRemoval(void* context, IOReturn, void*)
    {
        auto* self = static_cast<Reports*>(context);
        ++self->removals;
        self->reportsBeforeRemoval = self->seen.size();
    }
};

// A device with numbered reports: report 2 is 3 bytes in, report 3 is 2 bytes out.
const std::vector<uint8_t> kNumbered = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x09,
                                        0x02, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0x85, 0x03, 0x09,
                                        0x03, 0x75, 0x08, 0x95, 0x02, 0x91, 0x02, 0xC0};

// One vendor device, listed and opened, with its node's faults at hand.
struct IOHIDDeviceTest : testing::Test
{
    hidtest::HidTestbed bed;
    hidtest::NodeFaults faults;
    int index = bed.addDevice({});
    cf::Owned<IOHIDManagerRef> manager = openManager();
    IOHIDDeviceRef device = devicesOf(manager.get()).at(0);
    uint8_t buffer[64] = {};
    Reports reports;

    IOReturn send(IOHIDDeviceRef to, const std::vector<uint8_t>& report, CFIndex reportId = 0)
    {
        return IOHIDDeviceSetReport(to, kIOHIDReportTypeOutput, reportId, report.data(),
                                    CFIndex(report.size()));
    }

    // Sends from a thread of its own, which holds the device, until a send fails.
    std::atomic<int> sent{0};
    std::atomic<IOReturn> lastSend{kIOReturnSuccess};
    std::thread sendUntilOneFails()
    {
        CFRetain(device);
        return std::thread(
            [this]
            {
                IOReturn result;
                while ((result = send(device, pattern(64, 7))) == kIOReturnSuccess)
                    ++sent;
                lastSend = result;
                CFRelease(device);
            });
    }

    // Listens to the device and holds its next delivery at `step`, a hook of the layer, while the
    // device writes report 2 and hangs up. The hook is let go of at the latest with the test.
    std::atomic<void (*)()>* heldAt = nullptr;
    void holdTheNextDeliveryAt(std::atomic<void (*)()>& step)
    {
        static IOHIDDeviceTest* held;
        held = this;
        heldAt = &step;
        reports.listen(device, buffer, sizeof buffer);
        runFor(std::chrono::milliseconds(50)); // the delivery that scheduling asks for is over
        step = []
        {
            *held->heldAt = nullptr;
            IOHIDDeviceRef device = held->device;
            ASSERT_TRUE(held->bed.writeInputReport(held->index, pattern(64, 2)));
            ASSERT_TRUE(runUntil([&] { return valueOf(device, elementsOf(device).at(1)) == 2; }, false));
            held->bed.hangUp(held->index);
            waitUntilTheReaderSeesItGone(device);
        };
    }

    ~IOHIDDeviceTest() override
    {
        if (heldAt != nullptr)
            *heldAt = nullptr;
    }
};

} // namespace

TEST_F(IOHIDDeviceTest, WritesTheReportNumberFirstAndGivesNumberedReportsWithTheirId)
{
    ASSERT_EQ(send(device, pattern(64, 1)), kIOReturnSuccess);
    EXPECT_EQ(bed.readOutputReport(index, 65), pattern(65, 0));

    const int numbered = bed.addDevice({.productId = 0x0002, .ports = {2}, .reportDescriptor = kNumbered});
    IOHIDDeviceRef second = deviceWithProduct(manager.get(), 0x0002);
    ASSERT_EQ(send(second, {0x03, 0xAA, 0xBB}, 3), kIOReturnSuccess);
    EXPECT_EQ(bed.readOutputReport(numbered, 3), (std::vector<uint8_t>{0x03, 0xAA, 0xBB}));
    ASSERT_EQ(send(second, {0xCC, 0xDD}, 3), kIOReturnSuccess);
    EXPECT_EQ(bed.readOutputReport(numbered, 3), (std::vector<uint8_t>{0x03, 0xCC, 0xDD}));
    reports.listen(second, buffer, 4);
    ASSERT_TRUE(bed.writeInputReport(numbered, std::vector<uint8_t>{0x02, 0x10, 0x20, 0x30}));
    ASSERT_TRUE(runUntil([&] { return reports.lengths.size() == 1; }));
    EXPECT_EQ(reports.ids[0], 2u);
    EXPECT_EQ(reports.seen[0], (std::vector<uint8_t>{0x02, 0x10, 0x20, 0x30}));

    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeFeature, 0, buffer, 64), kIOReturnUnsupported);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, nullptr, 64), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceSetReport(nullptr, kIOHIDReportTypeOutput, 0, buffer, 64), kIOReturnBadArgument);
    EXPECT_EQ(bed.drainOutput(index), 0u);
}

TEST(IOHIDDevice, SendsNothingUntilOpenedAndAfterTheLastClose)
{
    hidtest::HidTestbed bed;
    const int index = bed.addDevice({});
    cf::Owned<IOHIDManagerRef> manager(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone));
    IOHIDManagerSetDeviceMatching(manager.get(), nullptr);
    IOHIDDeviceRef device = devicesOf(manager.get()).at(0);
    const auto report = pattern(64, 1);
    const auto send = [&]
    { return IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report.data(), 64); };
    const auto open = [&] { return IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone); };
    const auto close = [&] { return IOHIDDeviceClose(device, kIOHIDOptionsTypeNone); };
    EXPECT_EQ((std::vector{send(), open(), open(), close(), send(), close(), send(), close()}),
              (std::vector{kIOReturnNotOpen, kIOReturnSuccess, kIOReturnSuccess, kIOReturnSuccess,
                           kIOReturnSuccess, kIOReturnSuccess, kIOReturnNotOpen, kIOReturnNotOpen}));
    EXPECT_EQ(bed.drainOutput(index), 65u);
}

TEST_F(IOHIDDeviceTest, DeliversInputReportsIntoTheCallersBufferWithTheirLength)
{
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    reports.listen(device, buffer, 10); // the bytes past the tenth must stay untouched
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 1)));
    ASSERT_TRUE(bed.waitUntilInputTaken(index));
    ASSERT_TRUE(bed.writeInputReport(index, pattern(8, 100)));
    ASSERT_TRUE(runUntil([&] { return reports.lengths.size() == 2; }));

    EXPECT_EQ(reports.lengths, (std::vector<CFIndex>{64, 8}));
    EXPECT_EQ(reports.seen[0], pattern(10, 1));
    EXPECT_EQ(std::vector<uint8_t>(reports.seen[1].begin(), reports.seen[1].begin() + 8), pattern(8, 100));
    EXPECT_EQ(reports.ids, (std::vector<uint32_t>{0, 0}));
    EXPECT_EQ(std::tuple(buffer[10], buffer[11]), std::tuple(0xEE, 0xEE));

    // Without a callback, reports are no longer delivered.
    IOHIDDeviceRegisterInputReportCallback(device, buffer, 10, nullptr, nullptr);
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 1)));
    ASSERT_TRUE(bed.waitUntilInputTaken(index));
    runFor(std::chrono::milliseconds(50));
    EXPECT_EQ(reports.lengths.size(), 2u);
}

TEST_F(IOHIDDeviceTest, GivesAVendorElementTheWholeReportAsItsValue)
{
    IOHIDElementRef input = elementsOf(device).at(1);
    IOHIDValueRef value = nullptr;
    EXPECT_EQ(IOHIDDeviceGetValue(device, input, &value), kIOReturnNotReady);
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 0xA0)));
    ASSERT_TRUE(runUntil([&] { return valueOf(device, input).has_value(); }, false));
    IOHIDDeviceGetValue(device, input, &value);
    ASSERT_EQ(IOHIDValueGetLength(value), 64);
    EXPECT_EQ(std::vector<uint8_t>(IOHIDValueGetBytePtr(value), IOHIDValueGetBytePtr(value) + 64),
              pattern(64, 0xA0));
    // The layer never reads output or feature values: none is made up.
    EXPECT_EQ(IOHIDDeviceGetValue(device, elementsOf(device).at(2), &value), kIOReturnUnsupported);
}

TEST_F(IOHIDDeviceTest, KeepsReportsInOrderWhileTheRunLoopDoesNotRun)
{
    reports.listen(device, buffer, sizeof buffer);
    for (int i = 0; i < 65; ++i)
        ASSERT_TRUE(bed.writeInputReport(index, pattern(64, uint8_t(i))));
    // The input element shows the last report once every report has been taken.
    IOHIDElementRef input = elementsOf(device).at(1);
    ASSERT_TRUE(runUntil([&] { return valueOf(device, input) == 64; }, false));
    ASSERT_TRUE(runUntil([&] { return reports.lengths.size() >= 64; }));
    runFor(std::chrono::milliseconds(50));

    ASSERT_EQ(reports.seen.size(), 64u); // the 65th gave way, as the kernel's list does
    for (size_t i = 0; i < 64; ++i)
        EXPECT_EQ(reports.seen[i], pattern(64, uint8_t(i))) << "report " << i;
}

TEST_F(IOHIDDeviceTest, StaysOnTheFirstRunLoopItIsScheduledOn)
{
    IOHIDDeviceRegisterInputReportCallback(device, buffer, sizeof buffer, Reports::onReport, &reports);
    // The first run loop belongs to a thread that only waits; this thread's comes second.
    std::promise<CFRunLoopRef> firstLoop;
    std::promise<void> finished;
    std::thread owner(
        [&]
        {
            firstLoop.set_value(CFRunLoopGetCurrent());
            finished.get_future().wait();
        });
    CFRunLoopRef first = firstLoop.get_future().get();
    IOHIDDeviceScheduleWithRunLoop(device, first, kCFRunLoopDefaultMode);
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true); // nothing left over for this run loop
    testing::internal::CaptureStderr();
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "IOHIDDevice: not scheduled: it is scheduled on another run loop; unschedule it from that one "
              "first.\n");

    EXPECT_TRUE(bed.writeInputReport(index, pattern(64, 1)));
    pollfd firstReady{CFRunLoopGetPollDescriptor(first), POLLIN, 0};
    EXPECT_EQ(poll(&firstReady, 1, 2000), 1) << "the report never reached the first run loop";
    pollfd secondReady{CFRunLoopGetPollDescriptor(CFRunLoopGetCurrent()), POLLIN, 0};
    EXPECT_EQ(poll(&secondReady, 1, 0), 0) << "the second run loop was given the device too";

    IOHIDDeviceUnscheduleFromRunLoop(device, first, kCFRunLoopDefaultMode);
    IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    finished.set_value();
    owner.join();
}

TEST(IOHIDDevice, TellsOfARemovalOnceBeforeADeviceNobodyHoldsIsFreed)
{
    // How a device goes: udev tells first, or its node hangs up first, or its node never opened.
    enum Going
    {
        udevFirst,
        nodeFirst,
        neverOpened
    };
    for (const Going going : {udevFirst, nodeFirst, neverOpened})
    {
        SCOPED_TRACE(int(going));
        hidtest::HidTestbed bed;
        hidtest::NodeFaults faults;
        const int index = bed.addDevice({});
        if (going == neverOpened)
            faults.refuseOpen(bed.nodePath(index), EACCES);
        const auto manager = openManager();
        int managerRemovals = 0;
        IOHIDManagerRegisterDeviceRemovalCallback(
            manager.get(), [](void* count, IOReturn, void*, IOHIDDeviceRef) { ++*static_cast<int*>(count); },
            &managerRemovals);
        IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        // Held by the manager alone, and told of its removal in a mode of its own: the manager
        // lets go of it before the device may tell.
        IOHIDDeviceRef device = devicesOf(manager.get()).at(0);
        int removals = 0;
        IOHIDDeviceRegisterRemovalCallback(
            device, [](void* count, IOReturn, void*) { ++*static_cast<int*>(count); }, &removals);
        IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), CFSTR("DeviceMode"));

        if (going == nodeFirst)
        {
            bed.hangUp(index);
            waitUntilTheReaderSeesItGone(device);
        }
        bed.unplug(index);
        ASSERT_TRUE(runUntil([&] { return managerRemovals == 1; }));
        EXPECT_TRUE(
            runUntil([&] { return removals > 0; }, true, std::chrono::seconds(2), CFSTR("DeviceMode")));
        for (int run = 0; run < 3; ++run)
            CFRunLoopRunInMode(CFSTR("DeviceMode"), 0.05, false);
        EXPECT_EQ(removals, 1);
    }
}

TEST_F(IOHIDDeviceTest, HandsOverTheReportsTheNodeHoldsBeforeTellingItHasGone)
{
    reports.listen(device, buffer, sizeof buffer);
    // Three reports wait in the closed node when the device goes; only then is it opened again.
    IOHIDManagerClose(manager.get(), kIOHIDOptionsTypeNone);
    std::vector<uint8_t> threeReports;
    for (uint8_t first : {10, 20, 30})
    {
        const auto report = pattern(64, first);
        threeReports.insert(threeReports.end(), report.begin(), report.end());
    }
    ASSERT_TRUE(bed.writeInputReport(index, threeReports));
    faults.goneKeepingReports(bed.nodePath(index));
    ASSERT_EQ(IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone), kIOReturnSuccess);
    ASSERT_TRUE(runUntil([&] { return reports.removals == 1; }));
    EXPECT_EQ(reports.reportsBeforeRemoval, 3u);
    ASSERT_EQ(reports.seen.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(reports.seen[i][0], 10 * (i + 1));
}

TEST_F(IOHIDDeviceTest, AFailedWriteFailsThatSendAloneAndTheDeviceStays)
{
    reports.listen(device, buffer, sizeof buffer);
    faults.failNextWrite(bed.nodePath(index), EPIPE); // the device stalled the transfer
    EXPECT_EQ(send(device, pattern(64, 1)), kIOReturnIOError);
    ASSERT_EQ(send(device, pattern(64, 1)), kIOReturnSuccess);
    EXPECT_EQ(bed.readOutputReport(index, 65).value_or(std::vector<uint8_t>{}).size(), 65u);
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 5)));
    ASSERT_TRUE(runUntil([&] { return reports.seen.size() == 1; }));
    EXPECT_EQ(reports.removals, 0);
    EXPECT_EQ(devicesOf(manager.get()).size(), 1u);
}

TEST_F(IOHIDDeviceTest, AFailedPollOrReadIsTriedAgainAndTheDeviceStays)
{
    reports.listen(device, buffer, sizeof buffer);
    faults.failPolls(bed.nodePath(index), ENOMEM, 3);
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 1)));
    ASSERT_TRUE(runUntil([&] { return reports.seen.size() == 1; }));
    faults.failNextRead(bed.nodePath(index), ENOMEM);
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 2)));
    ASSERT_TRUE(runUntil([&] { return reports.seen.size() == 2; }));
    EXPECT_EQ(reports.seen[1][0], 2);
    EXPECT_EQ(reports.removals, 0);
    EXPECT_EQ(send(device, pattern(64, 3)), kIOReturnSuccess);
}

TEST_F(IOHIDDeviceTest, IsNeverFreedInsideItsOwnDelivery)
{
    // The device's last holders: its removal callback, which lets it go as a device connection
    // does, and a sender on another thread that lets go of its own reference meanwhile.
    struct Delivery
    {
        IOHIDDeviceRef device;
        IOHIDElementRef element; // retained
        bool aliveWhenLetGo = false;
    } delivery{device, elementsOf(device).at(0)};
    const cf::Owned<CFTypeRef> element(CFRetain(delivery.element));
    ASSERT_EQ(IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone), kIOReturnSuccess); // past the manager
    CFRetain(device);                                                            // the sender's
    manager.reset();
    IOHIDDeviceRegisterRemovalCallback(
        device,
        [](void* context, IOReturn, void*)
        {
            auto* self = static_cast<Delivery*>(context);
            IOHIDDeviceRegisterRemovalCallback(self->device, nullptr, nullptr);
            IOHIDDeviceUnscheduleFromRunLoop(self->device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
            std::thread([device = self->device] { CFRelease(device); }).join();
            self->aliveWhenLetGo = IOHIDElementGetDevice(self->element) != nullptr;
        },
        &delivery);
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    bed.unplug(index);
    ASSERT_TRUE(runUntil([&] { return IOHIDElementGetDevice(delivery.element) == nullptr; }));
    EXPECT_TRUE(delivery.aliveWhenLetGo);
}

TEST_F(IOHIDDeviceTest, UnplugDuringAStormOfSendsTouchesNoOtherFile)
{
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    std::thread storm = sendUntilOneFails();
    while (sent < 50)
        bed.drainOutput(index);
    bed.unplug(index);

    // Descriptors opened now may reuse the node's number; a stray send would land in them.
    int pipes[8][2];
    for (auto& pipe : pipes)
        ASSERT_EQ(::pipe2(pipe, O_NONBLOCK | O_CLOEXEC), 0);
    ASSERT_TRUE(runUntil([&] { return devicesOf(manager.get()).empty(); }));
    storm.join();
    EXPECT_EQ(lastSend.load(), kIOReturnNotAttached);
    for (auto& pipe : pipes)
    {
        uint8_t byte;
        EXPECT_EQ(::read(pipe[0], &byte, 1), -1);
        ::close(pipe[0]);
        ::close(pipe[1]);
    }
}

TEST_F(IOHIDDeviceTest, UnschedulingFromAnotherThreadWaitsForItsRemovalCallbackToReturn)
{
    struct SlowRemoval
    {
        std::atomic<bool> started{false};
        std::atomic<bool> finished{false};
    } removal;
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    IOHIDDeviceRegisterRemovalCallback(
        device,
        [](void* context, IOReturn, void*)
        {
            auto* self = static_cast<SlowRemoval*>(context);
            self->started = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            self->finished = true;
        },
        &removal);
    CFRunLoopRef runLoop = CFRunLoopGetCurrent();
    IOHIDDeviceScheduleWithRunLoop(device, runLoop, kCFRunLoopDefaultMode);
    const cf::Owned<CFTypeRef> callersReference(CFRetain(device));
    std::atomic<bool> finishedWhenUnscheduled{false};
    std::thread caller(
        [&]
        {
            if (!runUntil([&] { return removal.started.load(); }, false, std::chrono::seconds(5)))
                return;
            IOHIDDeviceUnscheduleFromRunLoop(device, runLoop, kCFRunLoopDefaultMode);
            finishedWhenUnscheduled = removal.finished.load();
        });

    bed.announceRemoval(index); // udev tells first: the manager learns of it before the device
    EXPECT_TRUE(runUntil([&] { return removal.finished.load(); }));
    caller.join();
    EXPECT_TRUE(finishedWhenUnscheduled);
}

// A holder schedules its object on this thread's run loop, opens it and lets it go, as a HID
// library's close does; the next holder reads on a thread and in a mode of its own.
TEST_F(IOHIDDeviceTest, AHoldersObjectCarriesNothingOfAnothersHolder)
{
    {
        const auto first = createDevice(device);
        ASSERT_TRUE(first);
        EXPECT_NE(first.get(), device);
        IOHIDDeviceScheduleWithRunLoop(first.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        ASSERT_EQ(IOHIDDeviceOpen(first.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
        ASSERT_EQ(IOHIDDeviceOpen(first.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
        IOHIDDeviceClose(first.get(), kIOHIDOptionsTypeNone); // the other open ends with the object
    }
    const auto next = createDevice(device);
    IOHIDElementRef input = elementsOf(next.get()).at(1);
    const cf::Owned<IOHIDQueueRef> queue(IOHIDQueueCreate(kCFAllocatorDefault, next.get(), 4, 0));
    IOHIDQueueAddElement(queue.get(), input);
    IOHIDQueueStart(queue.get());
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 1)));
    ASSERT_TRUE(runUntil([&] { return valueOf(device, elementsOf(device).at(1)).has_value(); }, false));
    // The manager's open is not the next holder's.
    IOHIDValueRef value = nullptr;
    EXPECT_EQ(IOHIDDeviceGetValue(next.get(), input, &value), kIOReturnNotOpen);
    EXPECT_EQ(IOHIDQueueCopyNextValue(queue.get()), nullptr);
    EXPECT_EQ(send(next.get(), pattern(64, 1)), kIOReturnNotOpen);

    std::promise<void> listening;
    std::atomic<int> taken{0};
    std::thread reader(
        [&]
        {
            uint8_t into[64];
            const CFStringRef mode = CFSTR("ReaderMode");
            IOHIDDeviceRegisterInputReportCallback(
                next.get(), into, sizeof into,
                [](void* count, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex)
                { ++*static_cast<std::atomic<int>*>(count); },
                &taken);
            IOHIDDeviceScheduleWithRunLoop(next.get(), CFRunLoopGetCurrent(), mode);
            IOHIDDeviceOpen(next.get(), kIOHIDOptionsTypeNone);
            listening.set_value();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (taken == 0 && std::chrono::steady_clock::now() < deadline)
                CFRunLoopRunInMode(mode, 0.05, true);
            IOHIDDeviceUnscheduleFromRunLoop(next.get(), CFRunLoopGetCurrent(), mode);
            IOHIDDeviceRegisterInputReportCallback(next.get(), into, sizeof into, nullptr, nullptr);
            IOHIDDeviceClose(next.get(), kIOHIDOptionsTypeNone);
        });
    listening.get_future().wait();
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 2)));
    reader.join();
    EXPECT_EQ(taken, 1);
    const cf::Owned<IOHIDValueRef> queued(IOHIDQueueCopyNextValue(queue.get())); // started before the open
    EXPECT_TRUE(queued);
}

TEST_F(IOHIDDeviceTest, EveryHoldersObjectTakesEachReportAndIsToldOfTheRemoval)
{
    const auto otherManager = openManager();
    IOHIDDeviceRef others = devicesOf(otherManager.get()).at(0);
    EXPECT_NE(others, device);
    EXPECT_EQ(devicesOf(manager.get()).at(0), device) << "a manager hands out its one object of a node";
    const auto created = createDevice(device); // never opened: told of the removal all the same

    uint8_t buffers[2][64];
    Reports theirs, unopened;
    reports.listen(device, buffer, sizeof buffer);
    theirs.listen(others, buffers[0], 64);
    unopened.listen(created.get(), buffers[1], 64);
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 3)));
    ASSERT_TRUE(runUntil([&] { return reports.seen.size() == 1 && theirs.seen.size() == 1; }));
    IOHIDManagerClose(otherManager.get(), kIOHIDOptionsTypeNone);
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 4)));
    ASSERT_TRUE(runUntil([&] { return reports.seen.size() == 2; }));

    bed.unplug(index);
    ASSERT_TRUE(runUntil([&] { return reports.removals + theirs.removals + unopened.removals == 3; }));
    EXPECT_EQ(theirs.seen, std::vector<std::vector<uint8_t>>{reports.seen.at(0)});
    EXPECT_TRUE(unopened.seen.empty());
}

TEST_F(IOHIDDeviceTest, ASendWaitingForAFullNodeEndsWhenUdevTellsOfTheRemoval)
{
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    std::thread sender = sendUntilOneFails();
    // Nobody reads the node: it fills up, and a send waits for room.
    for (int before = -1; before != sent;)
    {
        before = sent;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    bed.announceRemoval(index);
    EXPECT_TRUE(runUntil([&] { return lastSend != kIOReturnSuccess; }));
    sender.join();
    EXPECT_EQ(lastSend.load(), kIOReturnNotAttached);
}

// udev's word reaches the manager while the device's answer still waits in the node, unread.
TEST_F(IOHIDDeviceTest, AnAnswerReadOnlyAfterUdevToldOfTheRemovalStillGoesAheadOfIt)
{
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    reports.listen(device, buffer, sizeof buffer);
    // The reader stays away from the node for seconds, from its next poll on; a report wakes it
    // if it waits in one now.
    const std::string node = bed.nodePath(index);
    faults.failPolls(node, ENOMEM, 1000);
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 1)));
    ASSERT_TRUE(runUntil([&] { return faults.failedPolls(node) > 0; }));

    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 2)));
    bed.announceRemoval(index);
    ASSERT_TRUE(runUntil([&] { return reports.removals == 1; }));
    ASSERT_FALSE(reports.seen.empty());
    EXPECT_EQ(reports.reportsBeforeRemoval, reports.seen.size());
    EXPECT_EQ(reports.seen.back()[0], 2);
}

TEST_F(IOHIDDeviceTest, AClosedObjectHandsOverNothingItKept)
{
    const auto own = createDevice(device);
    uint8_t into[64];
    Reports mine;
    mine.listen(own.get(), into, sizeof into);
    const auto readByTheNode = [&](uint8_t first)
    {
        ASSERT_TRUE(bed.writeInputReport(index, pattern(64, first)));
        // The manager's object shows it once every object of the node has kept it.
        ASSERT_TRUE(runUntil([&] { return valueOf(device, elementsOf(device).at(1)) == first; }, false));
    };
    ASSERT_EQ(IOHIDDeviceOpen(own.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
    readByTheNode(1);
    IOHIDDeviceClose(own.get(), kIOHIDOptionsTypeNone);
    runFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(mine.seen.empty());

    ASSERT_EQ(IOHIDDeviceOpen(own.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
    readByTheNode(2);
    ASSERT_TRUE(runUntil([&] { return !mine.seen.empty(); }));
    runFor(std::chrono::milliseconds(50));
    ASSERT_EQ(mine.seen.size(), 1u);
    EXPECT_EQ(mine.seen[0][0], 2);
    IOHIDDeviceClose(own.get(), kIOHIDOptionsTypeNone);
}

// A shortage is no fault of the node: nothing is said of it, and the next open works. (The
// emulated node cannot be opened without descriptors to spare: its open is refused here.)
TEST_F(IOHIDDeviceTest, AnOpenShortOfADescriptorOrAThreadFailsAndLeavesTheDeviceClosed)
{
    IOHIDManagerClose(manager.get(), kIOHIDOptionsTypeNone); // nobody reads the node now
    reports.listen(device, buffer, sizeof buffer);           // a node it cannot open is named
    testing::internal::CaptureStderr();
    faults.refuseOpen(bed.nodePath(index), EMFILE);
    EXPECT_EQ(IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone), kIOReturnNoResources);
    EXPECT_EQ(IOHIDManagerOpen(manager.get(), kIOHIDOptionsTypeNone), kIOReturnNoResources);
    faults.allowOpen(bed.nodePath(index));
    {
        testsupport::NoNewThreads none;
        EXPECT_EQ(IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone), kIOReturnNoResources);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(send(device, pattern(64, 1)), kIOReturnNotOpen);
    EXPECT_EQ(IOHIDDeviceClose(device, kIOHIDOptionsTypeNone), kIOReturnNotOpen);
    EXPECT_EQ(IOHIDManagerClose(manager.get(), kIOHIDOptionsTypeNone), kIOReturnNotOpen);

    ASSERT_EQ(IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone), kIOReturnSuccess);
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 2)));
    ASSERT_TRUE(runUntil([&] { return reports.seen.size() == 1; }));
    EXPECT_EQ(send(device, pattern(64, 3)), kIOReturnSuccess);
    EXPECT_TRUE(bed.readOutputReport(index, 65).has_value());
}

// The device writes a report and hangs up while a delivery is held between its look at the
// removal and its hand-over of the reports: the report kept meanwhile goes ahead of the removal.
TEST_F(IOHIDDeviceTest, AReportKeptWhileADeliveryRunsGoesAheadOfTheRemovalDueMeanwhile)
{
    holdTheNextDeliveryAt(iohid::deliveryBetweenRemovalAndReports());
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 1)));
    ASSERT_TRUE(runUntil([&] { return reports.removals == 1; }));
    EXPECT_EQ(reports.reportsBeforeRemoval, 2u);
}

// The same, held once the delivery has handed over every report it found: the report kept then
// is not left behind the removal, wherever the delivery looks at the removal.
TEST_F(IOHIDDeviceTest, AReportKeptAsADeliveryEndsItsHandOverGoesAheadOfTheRemovalDueMeanwhile)
{
    holdTheNextDeliveryAt(iohid::deliveryAfterReports());
    ASSERT_TRUE(bed.writeInputReport(index, pattern(64, 1)));
    ASSERT_TRUE(runUntil([&] { return reports.removals == 1; }));
    EXPECT_EQ(reports.reportsBeforeRemoval, 2u);
}
