#include "HidApi.h"
#include "HidTestbed.h"
#include "NodeFaults.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>

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

TEST(IOHIDManager, NamesANodeItCannotOpenOnceWantedAndOpensItWhenUdevAnnouncesItAgain)
{
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
