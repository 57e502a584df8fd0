#include "FreshProcess.h"
#include "HidApi.h"
#include "HidTestbed.h"
#include "NodeFaults.h"
#include "ScarceResources.h"
#include "hid/HidObjects.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <thread>

using namespace hidapi;

namespace
{

// A manager callback that notes each device in the vector its context points to.
void note(void* devices, IOReturn, void*, IOHIDDeviceRef device)
{
    static_cast<std::vector<IOHIDDeviceRef>*>(devices)->push_back(device);
}

} // namespace

// The HID library's device dump pins each property through this interface; these are the rest.
TEST(IOHIDManager, ListsDevicesWithTheirLocationAndUsage)
{
    hidtest::HidTestbed bed;
    bed.addDevice({.productId = 0x001F, .busNumber = 1, .ports = {2, 4}});
    bed.addDevice({.productId = 0x0042, .ports = {3}, .reportDescriptor = hidtest::kBootMouse});
    const auto manager = openManager();
    ASSERT_EQ(devicesOf(manager.get()).size(), 2u);
    IOHIDDeviceRef device = deviceWithProduct(manager.get(), 0x001F);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(numberOf(IOHIDDeviceGetProperty(device, CFSTR(kIOHIDLocationIDKey))), 0x01240000);
    EXPECT_TRUE(CFEqual(IOHIDDeviceGetProperty(device, CFSTR(kIOHIDTransportKey)), CFSTR("USB")));
    EXPECT_FALSE(numberOf(IOHIDDeviceGetProperty(device, CFSTR(kIOHIDMaxFeatureReportSizeKey))));
    EXPECT_TRUE(IOHIDDeviceConformsTo(device, 0xFF00, 0x01));
    EXPECT_FALSE(IOHIDDeviceConformsTo(device, 0x01, 0x02));
}

TEST(IOHIDManager, MatchesOnUsageAndIdentifiers)
{
    hidtest::HidTestbed bed;
    bed.addDevice({.productId = 0x0010, .ports = {1}, .reportDescriptor = hidtest::kBootKeyboard});
    bed.addDevice({.productId = 0x0011, .ports = {2}, .reportDescriptor = hidtest::kBootMouse});
    bed.addDevice({.productId = 0x001F, .ports = {3}});
    cf::Owned<IOHIDManagerRef> manager(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone));
    EXPECT_EQ(IOHIDManagerCopyDevices(manager.get()), nullptr);

    const auto mouse = matching({{kIOHIDPrimaryUsagePageKey, 1}, {kIOHIDPrimaryUsageKey, 2}});
    const auto updater = matching({{kIOHIDVendorIDKey, 0x5A1E}, {kIOHIDProductIDKey, 0x1F}});
    const void* both[] = {mouse.get(), updater.get()};
    const cf::Owned<CFArrayRef> multiple(CFArrayCreate(kCFAllocatorDefault, both, 2, &kCFTypeArrayCallBacks));
    IOHIDManagerSetDeviceMatchingMultiple(manager.get(), multiple.get());
    ASSERT_EQ(IOHIDManagerOpen(manager.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
    EXPECT_EQ(devicesOf(manager.get()).size(), 2u);
    EXPECT_EQ(deviceWithProduct(manager.get(), 0x0010), nullptr);

    IOHIDManagerSetDeviceMatching(manager.get(), matching({{kIOHIDPrimaryUsagePageKey, 1}}).get());
    EXPECT_EQ(devicesOf(manager.get()).size(), 2u);
    EXPECT_EQ(deviceWithProduct(manager.get(), 0x001F), nullptr);

    IOHIDManagerSetDeviceMatching(manager.get(),
                                  matching({{kIOHIDDeviceUsagePageKey, 1}, {kIOHIDDeviceUsageKey, 6}}).get());
    ASSERT_EQ(devicesOf(manager.get()).size(), 1u);
    EXPECT_NE(deviceWithProduct(manager.get(), 0x0010), nullptr);

    IOHIDManagerSetDeviceMatching(manager.get(), matching({}).get());
    EXPECT_EQ(devicesOf(manager.get()).size(), 3u);
    IOHIDManagerSetDeviceMatchingMultiple(manager.get(), nullptr);
    EXPECT_EQ(devicesOf(manager.get()).size(), 3u);
}

TEST(IOHIDManager, AnnouncesPresentDevicesOnceScheduledAndLaterArrivals)
{
    hidtest::HidTestbed bed;
    bed.addDevice({.productId = 0x0001, .ports = {1}});
    const auto manager = openManager();
    std::vector<IOHIDDeviceRef> matched;
    IOHIDManagerRegisterDeviceMatchingCallback(manager.get(), note, &matched);
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    EXPECT_TRUE(matched.empty()); // callbacks wait for the run loop

    ASSERT_TRUE(runUntil([&] { return matched.size() == 1; }));
    EXPECT_EQ(numberOf(IOHIDDeviceGetProperty(matched[0], CFSTR(kIOHIDProductIDKey))), 0x0001);

    bed.addDevice({.productId = 0x0002, .ports = {2}});
    ASSERT_TRUE(runUntil([&] { return matched.size() == 2; }));
    EXPECT_EQ(numberOf(IOHIDDeviceGetProperty(matched[1], CFSTR(kIOHIDProductIDKey))), 0x0002);
    EXPECT_EQ(devicesOf(manager.get()).size(), 2u);
    runFor(std::chrono::milliseconds(50));
    EXPECT_EQ(matched.size(), 2u);

    // Nothing arrives while the run loop runs in another mode.
    IOHIDManagerUnscheduleFromRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), CFSTR("OtherMode"));
    bed.addDevice({.productId = 0x0003, .ports = {3}});
    runFor(std::chrono::milliseconds(100));
    EXPECT_EQ(matched.size(), 2u);
    IOHIDManagerUnscheduleFromRunLoop(manager.get(), CFRunLoopGetCurrent(), CFSTR("OtherMode"));
}

TEST(IOHIDManager, ReportsRemovalsAndForgetsRemovedDevices)
{
    hidtest::HidTestbed bed;
    const int first = bed.addDevice({.productId = 0x0001, .ports = {1}});
    bed.addDevice({.productId = 0x0002, .ports = {2}});
    const auto manager = openManager();
    std::vector<IOHIDDeviceRef> removed;
    IOHIDManagerRegisterDeviceRemovalCallback(manager.get(), note, &removed);
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    IOHIDDeviceRef gone = deviceWithProduct(manager.get(), 0x0001);

    bed.unplug(first);
    ASSERT_TRUE(runUntil([&] { return removed.size() == 1; }));
    EXPECT_EQ(removed[0], gone);
    ASSERT_EQ(devicesOf(manager.get()).size(), 1u);
    EXPECT_EQ(deviceWithProduct(manager.get(), 0x0001), nullptr);
}

// A later open lists the devices.
TEST(IOHIDManager, IsNeitherMadeNorOpenedWithoutADescriptorToSpare)
{
    // The testbed takes a descriptor of its own, when it gets to it, for each file under /dev that
    // the process opens: none may have been opened before the shortage.
    if (testsupport::NoNewDescriptors::sanitizerNeedsThem())
        GTEST_SKIP() << "the sanitizer needs descriptors of its own";
    if (testsupport::handedToAFreshProcess())
        return;
    hidtest::HidTestbed bed;
    cf::Owned<IOHIDManagerRef> manager(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone));
    {
        testsupport::NoNewDescriptors none;
        EXPECT_EQ(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone), nullptr);
        EXPECT_EQ(IOHIDManagerOpen(manager.get(), kIOHIDOptionsTypeNone), kIOReturnNoResources);
    }
    EXPECT_EQ(IOHIDManagerClose(manager.get(), kIOHIDOptionsTypeNone), kIOReturnNotOpen);
    bed.addDevice({});
    EXPECT_EQ(IOHIDManagerOpen(manager.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
    EXPECT_EQ(devicesOf(manager.get()).size(), 1u);
}

TEST(IOHIDManager, NamesANodeItCannotOpenOnceWantedAndOpensItWhenUdevAnnouncesItAgain)
{
    // Each node is named once per process.
    if (testsupport::handedToAFreshProcess())
        return;
    hidtest::HidTestbed bed;
    hidtest::NodeFaults faults;
    const int wanted = bed.addDevice({.productId = 0x0077, .ports = {1}});
    const int other = bed.addDevice({.productId = 0x0042, .ports = {2}});
    faults.refuseOpen(bed.nodePath(wanted), EACCES);
    faults.refuseOpen(bed.nodePath(other), EACCES);

    testing::internal::CaptureStderr();
    const auto manager = openManager();
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    IOHIDDeviceRef device = deviceWithProduct(manager.get(), 0x0077);
    ASSERT_NE(device, nullptr); // listed all the same
    const uint8_t report[64] = {};
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report, 64), kIOReturnNotOpen);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report, 64), kIOReturnNotOpen);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Cannot open HID device " + bed.nodePath(wanted) +
                  " (vendor 0x5a1e, product 0x0077): Permission denied. A udev rule must give you access to "
                  "it: see \"Access to the device\" in the README.\n");

    faults.allowOpen(bed.nodePath(wanted));
    bed.announceChange(wanted);
    ASSERT_TRUE(runUntil([&] { return faults.opens(bed.nodePath(wanted)) == 1; }));
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report, 64), kIOReturnSuccess);
    EXPECT_TRUE(bed.readOutputReport(wanted, 65).has_value());
}

namespace
{

// What the manager's and a device's callbacks told, in order: "arrival 1" and "removal 1" with the
// device's product, "device report" and "device removal".
struct CallbackLog
{
    std::vector<std::string> events;

    bool has(const std::string& event) const
    {
        return std::find(events.begin(), events.end(), event) != events.end();
    }

    // Runs the run loop until the new device has arrived, as a modal alert would.
    void runModal(const std::string& from)
    {
        events.push_back(from);
        runUntil([this] { return has("arrival 2"); });
        events.push_back("modal ends");
    }

    void listenTo(IOHIDManagerRef manager)
    {
        IOHIDManagerRegisterDeviceMatchingCallback(manager, onArrival, this);
        IOHIDManagerRegisterDeviceRemovalCallback(manager, onRemoval, this);
        IOHIDManagerScheduleWithRunLoop(manager, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    static void onArrival(void* log, IOReturn, void*, IOHIDDeviceRef device) { add(log, "arrival", device); }
    static void onRemoval(void* log, IOReturn, void*, IOHIDDeviceRef device) { add(log, "removal", device); }
    static void add(void* log, const std::string& what, IOHIDDeviceRef device)
    {
        const auto product = numberOf(IOHIDDeviceGetProperty(device, CFSTR(kIOHIDProductIDKey)));
        static_cast<CallbackLog*>(log)->events.push_back(what + " " + std::to_string(product.value_or(-1)));
    }
    static void onDeviceRemoval(void* log, IOReturn, void*)
    {
        static_cast<CallbackLog*>(log)->events.push_back("device removal");
    }
};

// A device (product 1) whose arrival the manager has told, held by the test, with its removal
// callback registered; it may go, and another (product 2) arrive, before the run loop turns.
struct ReplugTest : testing::Test
{
    hidtest::HidTestbed bed;
    const int old = bed.addDevice({.productId = 0x0001, .ports = {1}});
    CallbackLog log;
    cf::Owned<IOHIDManagerRef> manager = openManager();
    IOHIDDeviceRef device = nullptr;
    cf::Owned<CFTypeRef> held;
    uint8_t buffer[64] = {};

    void SetUp() override
    {
        log.listenTo(manager.get());
        ASSERT_TRUE(runUntil([&] { return log.events.size() == 1; }));
        device = deviceWithProduct(manager.get(), 0x0001);
        held.reset(CFRetain(device));
        IOHIDDeviceRegisterRemovalCallback(device, CallbackLog::onDeviceRemoval, &log);
    }

    // An armed removal callback keeps its device alive until it is told: the log goes now.
    void TearDown() override
    {
        if (device != nullptr)
            IOHIDDeviceRegisterRemovalCallback(device, nullptr, nullptr);
    }

    void schedule(CFStringRef mode = kCFRunLoopDefaultMode, CFRunLoopRef runLoop = CFRunLoopGetCurrent())
    {
        IOHIDDeviceScheduleWithRunLoop(device, runLoop, mode);
    }

    // The device sends a report and goes; its node's reader learns of it first.
    void unplugLeavingAReport()
    {
        ASSERT_TRUE(bed.writeInputReport(old, pattern(64, 1)));
        ASSERT_TRUE(runUntil([&] { return valueOf(device, elementsOf(device).at(1)).has_value(); }, false));
        bed.hangUp(old);
        waitUntilTheReaderSeesItGone(device);
    }

    // udev tells of the removal and of the new device.
    void replug()
    {
        bed.announceRemoval(old);
        bed.addDevice({.productId = 0x0002, .ports = {2}});
        bed.hangUp(old);
    }

    void expectEventsOnceTheNewDeviceArrived(const std::vector<std::string>& expected)
    {
        ASSERT_TRUE(runUntil([&] { return log.has("arrival 2"); }));
        runFor(std::chrono::milliseconds(50));
        EXPECT_EQ(log.events, expected);
    }
};

// The device's removal tears its caller down before the manager tells of it: it unregisters the
// manager's removal callback, or lets the manager go.
struct TearDownTest : ReplugTest
{
    bool letGo = false;
    bool tornDown = false;
    int callsAfterTearDown = 0;

    void expectNoCallAfterTearDown()
    {
        IOHIDManagerRegisterDeviceRemovalCallback(
            manager.get(),
            [](void* context, IOReturn, void*, IOHIDDeviceRef)
            {
                auto* self = static_cast<TearDownTest*>(context);
                self->callsAfterTearDown += self->tornDown;
            },
            this);
        IOHIDDeviceRegisterRemovalCallback(
            device,
            [](void* context, IOReturn, void*)
            {
                auto* self = static_cast<TearDownTest*>(context);
                if (self->letGo)
                    self->manager.reset();
                else
                    IOHIDManagerRegisterDeviceRemovalCallback(self->manager.get(), nullptr, nullptr);
                self->tornDown = true;
            },
            this);
        schedule();
        bed.announceRemoval(old); // udev tells first: the manager learns of it before the device
        ASSERT_TRUE(runUntil([&] { return tornDown; }));
        runFor(std::chrono::milliseconds(50));
        EXPECT_EQ(callsAfterTearDown, 0);
    }
};

} // namespace

TEST_F(ReplugTest, KeepsTheManagersOrderWhenTheRemovedDevicesRemovalRunsTheRunLoop)
{
    IOHIDDeviceRegisterRemovalCallback(
        device,
        [](void* log, IOReturn, void*) { static_cast<CallbackLog*>(log)->runModal("device removal"); }, &log);
    schedule();
    replug();
    expectEventsOnceTheNewDeviceArrived(
        {"arrival 1", "device removal", "removal 1", "arrival 2", "modal ends"});
}

TEST_F(ReplugTest, KeepsTheManagersOrderWhenAReportOfTheRemovedDeviceRunsTheRunLoop)
{
    IOHIDDeviceRegisterInputReportCallback(
        device, buffer, sizeof buffer,
        [](void* log, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex)
        { static_cast<CallbackLog*>(log)->runModal("device report"); },
        &log);
    schedule();
    unplugLeavingAReport();
    replug();
    expectEventsOnceTheNewDeviceArrived(
        {"arrival 1", "device report", "device removal", "removal 1", "arrival 2", "modal ends"});
}

TEST_F(TearDownTest, NeverCallsACallbackThatADeviceCallbackUnregistered)
{
    expectNoCallAfterTearDown();
}

TEST_F(TearDownTest, NeverCallsBackOnceADeviceCallbackHasLetItGo)
{
    letGo = true;
    expectNoCallAfterTearDown();
}

TEST_F(ReplugTest, CanBeLetGoWhileItWaitsForTheRemovedDeviceToTell)
{
    schedule();
    runFor(std::chrono::milliseconds(50)); // nothing of the scheduling is left for the run below
    bed.announceRemoval(old);
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, true); // the manager learns of it first, and waits
    manager.reset();
    ASSERT_TRUE(runUntil([&] { return log.has("device removal"); }));
    EXPECT_EQ(log.events, (std::vector<std::string>{"arrival 1", "device removal"}));
}

// The manager goes on without a removed device that cannot tell its removal here and now; the
// device tells it only where it is scheduled.
TEST_F(ReplugTest, GoesOnWithoutARemovedDeviceScheduledInAnotherModeAlone)
{
    const CFStringRef privateMode = CFSTR("Private");
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), privateMode);
    schedule(privateMode);
    replug();
    expectEventsOnceTheNewDeviceArrived({"arrival 1", "removal 1", "arrival 2"});
    EXPECT_TRUE(
        runUntil([&] { return log.has("device removal"); }, true, std::chrono::seconds(2), privateMode));
}

// The run that could tell the removal takes udev's news and the manager's wake-up, and ends before
// the device's turn; the program then runs the default mode, where the device cannot tell it.
TEST_F(ReplugTest, GoesOnOnceTheRunThatCouldTellTheRemovalEndsWithoutIt)
{
    const CFStringRef privateMode = CFSTR("Private");
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), privateMode);
    schedule(privateMode);
    CFRunLoopRunInMode(privateMode, 0, false); // nothing of the scheduling is left for the run below
    bed.announceRemoval(old);
    bed.addDevice({.productId = 0x0002, .ports = {2}});
    // Registered again, the callback is offered what is present: a wake-up after udev's news.
    IOHIDManagerRegisterDeviceMatchingCallback(manager.get(), CallbackLog::onArrival, &log);
    CFRunLoopRunInMode(privateMode, 1.0, true);
    expectEventsOnceTheNewDeviceArrived({"arrival 1", "removal 1", "arrival 2"});
    EXPECT_TRUE(
        runUntil([&] { return log.has("device removal"); }, true, std::chrono::seconds(2), privateMode));
}

// The common modes are the default mode: the device is scheduled there once, and unscheduling
// either name leaves it scheduled nowhere.
TEST_F(ReplugTest, GoesOnWithoutARemovedDeviceUnscheduledFromAModeItWasScheduledInTwice)
{
    schedule(kCFRunLoopCommonModes);
    schedule(kCFRunLoopDefaultMode);
    IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopCommonModes);
    replug();
    expectEventsOnceTheNewDeviceArrived({"arrival 1", "removal 1", "arrival 2"});
}

TEST_F(ReplugTest, GoesOnWithoutARemovedDeviceScheduledOnAnotherThreadsRunLoop)
{
    CFRunLoopRef other = nullptr;
    std::thread(
        [&]
        {
            other = CFRunLoopGetCurrent();
            CFRetain(other);
        })
        .join();
    schedule(kCFRunLoopDefaultMode, other);
    replug();
    expectEventsOnceTheNewDeviceArrived({"arrival 1", "removal 1", "arrival 2"});
    IOHIDDeviceUnscheduleFromRunLoop(device, other, kCFRunLoopDefaultMode);
    CFRelease(other);
}

TEST_F(ReplugTest, GoesOnWithoutARemovedDeviceThatItsOwnReportUnscheduled)
{
    IOHIDDeviceRegisterInputReportCallback(
        device, buffer, sizeof buffer,
        [](void* log, IOReturn, void* sender, IOHIDReportType, uint32_t, uint8_t*, CFIndex)
        {
            static_cast<CallbackLog*>(log)->events.push_back("device report");
            IOHIDDeviceUnscheduleFromRunLoop(static_cast<IOHIDDeviceRef>(sender), CFRunLoopGetCurrent(),
                                             kCFRunLoopDefaultMode);
        },
        &log);
    schedule();
    unplugLeavingAReport();
    replug();
    expectEventsOnceTheNewDeviceArrived({"arrival 1", "device report", "removal 1", "arrival 2"});
    // Scheduled again, it tells what waited.
    schedule();
    ASSERT_TRUE(runUntil([&] { return log.has("device removal"); }));
    IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
}

// The node hangs up, udev announces it once more ("change"), and only then tells of its removal.
TEST_F(ReplugTest, NeverOffersAgainANodeThatHasGoneAndTellsEveryObjectMadeOfIt)
{
    schedule();
    bed.disconnect(old);
    ASSERT_TRUE(runUntil([&] { return log.has("device removal"); }));
    const auto made = createDevice(device); // between the hang-up and udev's word
    ASSERT_TRUE(made);
    EXPECT_EQ(IOHIDDeviceOpen(made.get(), kIOHIDOptionsTypeNone), kIOReturnNotAttached);
    int madeRemovals = 0;
    IOHIDDeviceRegisterRemovalCallback(
        made.get(), [](void* count, IOReturn, void*) { ++*static_cast<int*>(count); }, &madeRemovals);
    IOHIDDeviceScheduleWithRunLoop(made.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    bed.announceChange(old);
    bed.announce(old, "add"); // stale: udev has not yet told of the removal
    runFor(std::chrono::milliseconds(100));
    EXPECT_EQ(devicesOf(manager.get()).size(), 1u);
    bed.announceRemoval(old);
    ASSERT_TRUE(runUntil([&] { return log.has("removal 1"); }));
    runFor(std::chrono::milliseconds(50));
    EXPECT_EQ(log.events, (std::vector<std::string>{"arrival 1", "device removal", "removal 1"}));
    EXPECT_TRUE(devicesOf(manager.get()).empty());
    EXPECT_EQ(madeRemovals, 1);
    IOHIDDeviceRegisterRemovalCallback(made.get(), nullptr, nullptr);
}

// udevadm trigger --action=remove, then --action=add: the device never left, and its node stays.
TEST_F(ReplugTest, OffersAfreshADeviceThatUdevAnnouncesRemovedAndThenAdded)
{
    schedule();
    bed.announce(old, "remove");
    ASSERT_TRUE(runUntil([&] { return log.has("removal 1"); }));
    bed.announceChange(old); // of a node that has gone: nothing
    runFor(std::chrono::milliseconds(100));
    EXPECT_EQ(log.events.size(), 3u);
    bed.announce(old, "add");
    ASSERT_TRUE(runUntil([&] { return log.events.size() == 4; }));
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"arrival 1", "device removal", "removal 1", "arrival 1"}));

    IOHIDDeviceRef fresh = deviceWithProduct(manager.get(), 0x0001);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, device);
    IOHIDElementRef input = elementsOf(fresh).at(1);
    ASSERT_TRUE(bed.writeInputReport(old, pattern(64, 1)));
    EXPECT_TRUE(runUntil([&] { return valueOf(fresh, input) == 1; }, false));
    const auto report = pattern(64, 2);
    EXPECT_EQ(IOHIDDeviceSetReport(fresh, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnSuccess);
    EXPECT_TRUE(bed.readOutputReport(old, 65).has_value());
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report.data(), 64),
              kIOReturnNotAttached);
}

// udevadm trigger --action=remove, then --action=add, while the caller holds an object of its own,
// open: udev's word is the manager's news, and the node stays for that other holder.
TEST_F(ReplugTest, UdevsRemovalEndsTheManagersObjectAloneWhileAnotherHolderHasTheNode)
{
    const auto created = createDevice(device);
    ASSERT_EQ(IOHIDDeviceOpen(created.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
    int createdRemovals = 0;
    IOHIDDeviceRegisterRemovalCallback(
        created.get(), [](void* count, IOReturn, void*) { ++*static_cast<int*>(count); }, &createdRemovals);
    IOHIDDeviceScheduleWithRunLoop(created.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    IOHIDDeviceRegisterInputReportCallback(
        device, buffer, sizeof buffer,
        [](void* log, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex)
        { static_cast<CallbackLog*>(log)->events.push_back("device report"); },
        &log);
    ASSERT_TRUE(bed.writeInputReport(old, pattern(64, 1))); // kept before udev's word
    ASSERT_TRUE(
        runUntil([&] { return valueOf(created.get(), elementsOf(created.get()).at(1)) == 1; }, false));
    schedule();

    bed.announce(old, "remove");
    bed.announceChange(old); // no arrival: the manager has heard of the removal
    ASSERT_TRUE(runUntil([&] { return log.has("removal 1"); }));
    runFor(std::chrono::milliseconds(100));
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"arrival 1", "device report", "device removal", "removal 1"}));
    bed.announce(old, "add");
    ASSERT_TRUE(runUntil([&] { return log.events.size() == 5; }));
    EXPECT_EQ(log.events, (std::vector<std::string>{"arrival 1", "device report", "device removal",
                                                    "removal 1", "arrival 1"}));
    const auto report = pattern(64, 2);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report.data(), 64),
              kIOReturnNotAttached);
    IOHIDDeviceRef fresh = deviceWithProduct(manager.get(), 0x0001);
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, device);
    for (IOHIDDeviceRef working : {fresh, created.get()})
    {
        EXPECT_EQ(IOHIDDeviceSetReport(working, kIOHIDReportTypeOutput, 0, report.data(), 64),
                  kIOReturnSuccess);
        EXPECT_TRUE(bed.readOutputReport(old, 65).has_value());
    }
    // The retired object takes no report from then on.
    ASSERT_TRUE(bed.writeInputReport(old, pattern(64, 3)));
    ASSERT_TRUE(runUntil([&] { return valueOf(created.get(), elementsOf(created.get()).at(1)) == 3; }));
    runFor(std::chrono::milliseconds(50));
    EXPECT_EQ(log.events.size(), 5u);
    EXPECT_EQ(createdRemovals, 0);

    // The device goes, and udev's word reaches the manager before any reader learns of it: its
    // place in sysfs has gone, so every holder is told.
    bed.announceRemoval(old);
    EXPECT_TRUE(runUntil([&] { return createdRemovals == 1; }));
    IOHIDDeviceRegisterRemovalCallback(created.get(), nullptr, nullptr);
    IOHIDDeviceUnscheduleFromRunLoop(created.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
}

// The removal and the next arrival still come after an open that could not start the node's reader.
TEST_F(ReplugTest, TellsTheRemovalOfADeviceThatCouldNotBeOpenedForWantOfAThread)
{
    IOHIDManagerClose(manager.get(), kIOHIDOptionsTypeNone); // nobody reads the node now
    {
        testsupport::NoNewThreads none;
        EXPECT_EQ(IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone), kIOReturnNoResources);
    }
    schedule();
    replug();
    expectEventsOnceTheNewDeviceArrived({"arrival 1", "device removal", "removal 1", "arrival 2"});
}

namespace
{

// The process's open descriptors of the kinds that device objects keep, device files and eventfds,
// but the testbed's own.
size_t openDescriptors(const hidtest::HidTestbed& bed)
{
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    {
        std::error_code error;
        struct stat file = {};
        if (std::filesystem::read_symlink(entry.path(), error) == "anon_inode:[eventfd]" ||
            (::stat(entry.path().c_str(), &file) == 0 && S_ISCHR(file.st_mode)))
            ++count;
    }
    return count - bed.descriptorsHeld();
}

// VmSize, in bytes.
long long addressSpace()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0)
            return std::stoll(line.substr(7)) * 1024;
    return 0;
}

long long threadStackSize()
{
    pthread_attr_t attributes;
    pthread_getattr_default_np(&attributes);
    size_t size = 0;
    pthread_attr_getstacksize(&attributes, &size);
    pthread_attr_destroy(&attributes);
    return (long long)size;
}

} // namespace

// A caller keeps and opens the object of each device that arrives, as a HID library's device list
// does. Once a device has gone, and its node has been read to its end, the node's file, its
// wake-up and its reader go all the same: a kept object costs its own wake-up, and no more.
TEST(IOHIDManager, KeepsNeitherTheFileNorTheReaderOfAGoneDeviceWhoseObjectsAreKeptOpen)
{
    hidtest::HidTestbed bed;
    const auto manager = openManager();
    CallbackLog log;
    log.listenTo(manager.get());
    std::vector<cf::Owned<CFTypeRef>> kept;
    const auto plugInAndOut = [&](bool keep)
    {
        for (int cycle = 0; cycle < 10; ++cycle)
        {
            const int index = bed.addDevice({.productId = 0x0001});
            ASSERT_TRUE(runUntil([&] { return log.events.size() % 2 == 1; }));
            IOHIDDeviceRef device = deviceWithProduct(manager.get(), 0x0001);
            if (keep)
            {
                kept.emplace_back(CFRetain(device));
                ASSERT_EQ(IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone), kIOReturnSuccess);
            }
            bed.unplug(index);
            ASSERT_TRUE(runUntil([&] { return log.events.size() % 2 == 0; }));
        }
    };
    plugInAndOut(false); // what the first cycles set up for good is not counted
    const size_t descriptors = openDescriptors(bed);
    const long long space = addressSpace();
    plugInAndOut(false);
    ASSERT_TRUE(runUntil([&] { return openDescriptors(bed) <= descriptors; }));
    const long long grownWithout = addressSpace() - space;

    plugInAndOut(true);
    EXPECT_TRUE(runUntil([&] { return openDescriptors(bed) <= descriptors + kept.size(); }))
        << openDescriptors(bed) - descriptors << " descriptors more";
    const long long grownKeeping = addressSpace() - space - grownWithout;
    EXPECT_LT(grownKeeping - grownWithout, 2 * threadStackSize());
    for (const auto& object : kept)
        EXPECT_EQ(IOHIDDeviceClose(static_cast<IOHIDDeviceRef>(const_cast<void*>(object.get())),
                                   kIOHIDOptionsTypeNone),
                  kIOReturnSuccess);
    EXPECT_EQ(IOHIDManagerClose(manager.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
    kept.clear();
    EXPECT_TRUE(runUntil([&] { return openDescriptors(bed) <= descriptors; }));
}

// What a caller matching the updater by vendor and product sees of an arrival that could not be
// read for want of descriptors: nothing, until it is offered whole once descriptors are back, at
// the next listing or at udev's next word of it.
TEST(IOHIDManager, OffersADeviceAnnouncedWithoutADescriptorToSpareOnlyOnceItCouldBeReadWhole)
{
    if (testsupport::NoNewDescriptors::sanitizerNeedsThem())
        GTEST_SKIP() << "the sanitizer needs descriptors of its own";
    if (testsupport::handedToAFreshProcess())
        return;
    hidtest::HidTestbed bed;
    cf::Owned<IOHIDManagerRef> manager(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone));
    IOHIDManagerSetDeviceMatching(manager.get(), matching({{kIOHIDVendorIDKey, 0x5A1E}}).get());
    CallbackLog log;
    log.listenTo(manager.get());
    const auto expectWhole = [&](uint32_t productId, int64_t locationId)
    {
        IOHIDDeviceRef device = deviceWithProduct(manager.get(), productId);
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(numberOf(IOHIDDeviceGetProperty(device, CFSTR(kIOHIDLocationIDKey))), locationId);
        EXPECT_FALSE(elementsOf(device).empty());
    };

    bed.addDevice({.productId = 0x0001, .ports = {1}});
    {
        testsupport::NoNewDescriptors none;
        EXPECT_TRUE(devicesOf(manager.get()).empty());
    }
    expectWhole(0x0001, 0x01100000);
    ASSERT_TRUE(runUntil([&] { return log.has("arrival 1"); }));

    const int announced = bed.addDevice({.productId = 0x0002, .ports = {2}});
    {
        testsupport::NoNewDescriptors none;
        runFor(std::chrono::milliseconds(50));
    }
    bed.announceChange(announced);
    ASSERT_TRUE(runUntil([&] { return log.has("arrival 2"); }));
    expectWhole(0x0002, 0x01200000);

    // After udev's removal, an "add" read short of descriptors is still a device arriving afresh,
    // while the caller keeps the object of the one removed.
    const cf::Owned<CFTypeRef> kept(CFRetain(deviceWithProduct(manager.get(), 0x0002)));
    bed.announce(announced, "remove");
    ASSERT_TRUE(runUntil([&] { return log.has("removal 2"); }));
    bed.announce(announced, "add");
    {
        testsupport::NoNewDescriptors none;
        runFor(std::chrono::milliseconds(50));
    }
    bed.announceChange(announced);
    ASSERT_TRUE(runUntil([&] { return log.events.size() == 4; }));
    expectWhole(0x0002, 0x01200000);
    EXPECT_EQ(log.events, (std::vector<std::string>{"arrival 1", "arrival 2", "removal 2", "arrival 2"}));
}

// A value the device does not have (a serial number) is no shortage, whatever failure of long ago
// the thread's errno still holds.
TEST(IOHIDManager, OffersADeviceWithoutASerialNumberWhateverErrnoHeldBefore)
{
    hidtest::HidTestbed bed;
    bed.addDevice({.productId = 0x0001});
    cf::Owned<IOHIDManagerRef> manager(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone));
    IOHIDManagerSetDeviceMatching(manager.get(), matching({{kIOHIDVendorIDKey, 0x5A1E}}).get());
    errno = EMFILE;
    EXPECT_NE(deviceWithProduct(manager.get(), 0x0001), nullptr);
}

// The caller is never offered a device it cannot send to: one that arrived while no reader could
// be started arrives open at udev's next word of it.
TEST(IOHIDManager, OffersADeviceThatArrivedWithoutAThreadToSpareOnlyOnceItCouldBeOpened)
{
    hidtest::HidTestbed bed;
    const auto manager = openManager();
    CallbackLog log;
    log.listenTo(manager.get());
    const int index = bed.addDevice({.productId = 0x0001});
    {
        testsupport::NoNewThreads none;
        runFor(std::chrono::milliseconds(50));
        EXPECT_EQ(deviceWithProduct(manager.get(), 0x0001), nullptr);
    }
    runFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(log.events.empty());

    bed.announceChange(index);
    ASSERT_TRUE(runUntil([&] { return log.has("arrival 1"); }));
    IOHIDDeviceRef device = deviceWithProduct(manager.get(), 0x0001);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, pattern(64, 1).data(), 64),
              kIOReturnSuccess);
    const auto sent = bed.readOutputReport(index, 65);
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(std::vector<uint8_t>(sent->begin() + 1, sent->end()), pattern(64, 1));
}

// A manager made with a descriptor to spare, but none for its wake-up, makes it once it is
// scheduled.
TEST(IOHIDManager, MadeWithOneDescriptorLeftIsScheduledOnceDescriptorsAreBack)
{
    if (testsupport::NoNewDescriptors::sanitizerNeedsThem())
        GTEST_SKIP() << "the sanitizer needs descriptors of its own";
    if (testsupport::handedToAFreshProcess())
        return;
    hidtest::HidTestbed bed;
    cf::Owned<IOHIDManagerRef> manager;
    {
        testsupport::NoNewDescriptors one(1);
        manager.reset(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone));
    }
    if (!manager)
        return;
    testing::internal::CaptureStderr();
    IOHIDManagerSetDeviceMatching(manager.get(), nullptr);
    CallbackLog log;
    log.listenTo(manager.get());
    bed.addDevice({.productId = 0x0001});
    EXPECT_TRUE(runUntil([&] { return log.has("arrival 1"); }));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(IOHIDManager, NeverOffersADeviceThatWentBeforeItsArrivalWasTold)
{
    hidtest::HidTestbed bed;
    const int index = bed.addDevice({.productId = 0x0001});
    const auto manager = openManager();
    CallbackLog log;
    log.listenTo(manager.get()); // the arrival waits for the run loop
    IOHIDDeviceRef device = devicesOf(manager.get()).at(0);
    bed.hangUp(index);
    waitUntilTheReaderSeesItGone(device);
    bed.announceRemoval(index);

    ASSERT_TRUE(runUntil([&] { return !log.events.empty(); }));
    runFor(std::chrono::milliseconds(50));
    EXPECT_EQ(log.events, (std::vector<std::string>{"removal 1"}));
}

TEST(IOHIDManager, CallsBackNoMoreOnceACallbackHasUnscheduledIt)
{
    hidtest::HidTestbed bed;
    bed.addDevice({.productId = 0x0001, .ports = {1}});
    bed.addDevice({.productId = 0x0002, .ports = {2}});
    const auto manager = openManager();
    struct Caller
    {
        IOHIDManagerRef manager;
        int arrivals = 0;
    } caller{manager.get()};
    IOHIDManagerRegisterDeviceMatchingCallback(
        manager.get(),
        [](void* context, IOReturn, void*, IOHIDDeviceRef)
        {
            auto* self = static_cast<Caller*>(context);
            ++self->arrivals;
            IOHIDManagerUnscheduleFromRunLoop(self->manager, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        },
        &caller);
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    runFor(std::chrono::milliseconds(100));
    EXPECT_EQ(caller.arrivals, 1);
}

TEST(IOHIDManager, IsScheduledOnceInAModeNamedTwiceAndUnscheduledByEitherName)
{
    hidtest::HidTestbed bed;
    const auto manager = openManager();
    CallbackLog log;
    IOHIDManagerRegisterDeviceMatchingCallback(manager.get(), CallbackLog::onArrival, &log);
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopCommonModes);
    IOHIDManagerScheduleWithRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    bed.addDevice({.productId = 0x0001, .ports = {1}});
    ASSERT_TRUE(runUntil([&] { return log.has("arrival 1"); }));

    IOHIDManagerUnscheduleFromRunLoop(manager.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    bed.addDevice({.productId = 0x0002, .ports = {2}});
    runFor(std::chrono::milliseconds(100));
    EXPECT_EQ(log.events, (std::vector<std::string>{"arrival 1"}));
}

namespace
{

// A device (product 1) that the first manager has offered, opened and told of; a later manager
// that listens to udev already but has not listed the devices yet.
struct TwoManagersTest : testing::Test
{
    hidtest::HidTestbed bed;
    const int index = bed.addDevice({.productId = 0x0001, .ports = {1}});
    CallbackLog log;
    cf::Owned<IOHIDManagerRef> first = openManager();
    cf::Owned<IOHIDManagerRef> later{IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone)};

    void SetUp() override
    {
        log.listenTo(first.get());
        ASSERT_TRUE(runUntil([&] { return log.events.size() == 1; }));
    }

    void TearDown() override { iohid::listingBetweenLookAndTake() = nullptr; }

    // The later manager is opened; its listing looks at the devices, `meanwhile` runs, and only then
    // does it take what it saw, and after that udev's news that waited for it.
    void openLaterManager(std::function<void(TwoManagersTest&)> meanwhile = nullptr)
    {
        static TwoManagersTest* self = nullptr;
        static std::function<void(TwoManagersTest&)> step;
        self = this;
        step = std::move(meanwhile);
        iohid::listingBetweenLookAndTake() = []
        {
            if (auto run = std::exchange(step, nullptr))
                run(*self);
        };
        ASSERT_EQ(IOHIDManagerOpen(later.get(), kIOHIDOptionsTypeNone), kIOReturnSuccess);
        runFor(std::chrono::milliseconds(100));
    }

    // udevadm trigger --action=remove, then --action=add: the first manager offers the device afresh.
    void triggerRemoveAndAdd()
    {
        bed.announce(index, "remove");
        bed.announce(index, "add");
        ASSERT_TRUE(runUntil([&] { return log.events.size() == 3; }));
    }

    // The cable is pulled, and a device plugged in at the same port: the kernel numbers it anew.
    void unplugAndPlugAnother()
    {
        bed.unplug(index);
        const int another = bed.addDevice({.productId = 0x0002, .ports = {1}});
        ASSERT_TRUE(runUntil([&] { return log.events.size() == 3; }));
        EXPECT_EQ(log.events, (std::vector<std::string>{"arrival 1", "removal 1", "arrival 2"}));
        nowIndex = another;
    }
    int nowIndex = index;

    // The first manager still offers its object of the device, which sends and reads, and that
    // object's holder is told of no removal.
    void expectFirstManagersObjectWorks(uint32_t product)
    {
        IOHIDDeviceRef device = deviceWithProduct(first.get(), product);
        ASSERT_NE(device, nullptr);
        EXPECT_EQ(devicesOf(first.get()).size(), 1u);
        int removals = 0;
        IOHIDDeviceRegisterRemovalCallback(
            device, [](void* count, IOReturn, void*) { ++*static_cast<int*>(count); }, &removals);
        IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        const auto report = pattern(64, 5);
        EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report.data(), 64),
                  kIOReturnSuccess);
        EXPECT_TRUE(bed.readOutputReport(nowIndex, 65).has_value());
        ASSERT_TRUE(bed.writeInputReport(nowIndex, pattern(64, 6)));
        EXPECT_TRUE(runUntil([&] { return valueOf(device, elementsOf(device).at(1)) == 6; }, false));
        runFor(std::chrono::milliseconds(50));
        EXPECT_EQ(removals, 0);
        IOHIDDeviceRegisterRemovalCallback(device, nullptr, nullptr);
        IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

        // The later manager offers a working object of its own.
        IOHIDDeviceRef its = deviceWithProduct(later.get(), product);
        ASSERT_NE(its, nullptr);
        EXPECT_NE(its, device);
        EXPECT_EQ(IOHIDDeviceSetReport(its, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnSuccess);
        EXPECT_TRUE(bed.readOutputReport(nowIndex, 65).has_value());
    }
};

} // namespace

// The later manager's listing takes the node that the first made afresh, and then it replays the
// "remove" that came before.
TEST_F(TwoManagersTest, ALaterManagersStaleRemovalEndsNothingOfTheFirsts)
{
    triggerRemoveAndAdd();
    openLaterManager();
    EXPECT_EQ(log.events, (std::vector<std::string>{"arrival 1", "removal 1", "arrival 1"}));
    expectFirstManagersObjectWorks(0x0001);
}

TEST_F(TwoManagersTest, AListingOlderThanTheFirstManagersNewsEndsNothingOfIt)
{
    openLaterManager([](TwoManagersTest& test) { test.triggerRemoveAndAdd(); });
    EXPECT_EQ(log.events, (std::vector<std::string>{"arrival 1", "removal 1", "arrival 1"}));
    expectFirstManagersObjectWorks(0x0001);
}

// The listing lacks the device plugged in since, which the first manager took meanwhile.
TEST_F(TwoManagersTest, AListingOlderThanAnArrivalEndsNothingOfIt)
{
    openLaterManager([](TwoManagersTest& test) { test.unplugAndPlugAnother(); });
    expectFirstManagersObjectWorks(0x0002);
    EXPECT_EQ(devicesOf(later.get()).size(), 1u);
}
