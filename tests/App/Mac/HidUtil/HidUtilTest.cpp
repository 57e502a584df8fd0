// The device connection and the device control object over emulated hidraw devices: which device
// is taken, the events that reach the handler on the main run loop, reports both ways.
#include "HidUtil.h"
#include "HID_Utilities.h"
#include "HidApi.h"
#include "HidCtrl.h"
#include "HidTestbed.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <tuple>

using namespace hidtest;
using hidapi::pattern;
using hidapi::runFor;
using hidapi::runUntil;

namespace
{
// Each event with the device control object's state, version and report length as the handler sees them.
using Event = std::tuple<std::string, int, int, unsigned int>;

struct RecordingHandler : HidHandler
{
    void removalCallBack() override { record("removal"); }
    void matchingCallBack() override { record("matching"); }
    void inputCallBack() override { record("input"); }

    void record(const char* name)
    {
        events.emplace_back(name, ctrl != nullptr ? ctrl->getState() : 0,
                            ctrl != nullptr ? ctrl->getVersion() : 0,
                            ctrl != nullptr ? ctrl->getLength() : 0);
    }

    HidCtrl* ctrl = nullptr;
    std::vector<Event> events;
};

DeviceSpec trvQ8(uint16_t release, std::vector<uint32_t> ports = {1})
{
    return {.productId = 0x001F, .releaseNumber = release, .ports = std::move(ports)};
}

class DeviceConnectionTest : public ::testing::Test
{
protected:
    HidTestbed bed;
    RecordingHandler handler;
};
} // namespace

TEST_F(DeviceConnectionTest, TakesTheLowerOfTwoDevicesAndTheOtherOnlyWhenAttachedAgain)
{
    const int upper = bed.addDevice(trvQ8(0x0300, {3}));
    const int lower = bed.addDevice(trvQ8(0x0200, {2}));
    HidUtil util;
    ASSERT_TRUE(util.initialize(&handler, 1));
    ASSERT_TRUE(util.deviceMatching());
    EXPECT_EQ(util.deviceVersion(), 200);
    runFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(handler.events.empty()) << "the device taken at start is not announced";

    bed.unplug(lower);
    ASSERT_TRUE(runUntil([&] { return !handler.events.empty(); }));
    EXPECT_EQ(std::get<0>(handler.events[0]), "removal");
    EXPECT_EQ(util.deviceVersion(), 0);
    runFor(std::chrono::milliseconds(100));
    EXPECT_EQ(handler.events.size(), 1u) << "the device present all along is not taken";

    bed.unplug(upper);
    bed.addDevice(trvQ8(0x0300, {3}));
    ASSERT_TRUE(runUntil([&] { return handler.events.size() == 2; }));
    EXPECT_EQ(std::get<0>(handler.events[1]), "matching");
    EXPECT_EQ(util.deviceVersion(), 300);
}

TEST_F(DeviceConnectionTest, TakesTheDevicePluggedInAgainBeforeTheRunLoopTurns)
{
    // udev tells of the unplug first, or the node hangs up first; the new arrival follows at once.
    for (const bool nodeFirst : {false, true})
    {
        SCOPED_TRACE(nodeFirst ? "node first" : "udev first");
        RecordingHandler replug;
        const int device = bed.addDevice(trvQ8(0x0100));
        HidUtil util;
        ASSERT_TRUE(util.initialize(&replug, 1));
        ASSERT_TRUE(util.deviceMatching());
        runFor(std::chrono::milliseconds(50));

        if (nodeFirst)
        {
            bed.hangUp(device);
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // for the node's reader
        }
        bed.announceRemoval(device);
        const int again = bed.addDevice(trvQ8(0x0200));
        bed.hangUp(device);
        ASSERT_TRUE(runUntil([&] { return replug.events.size() == 2; }));
        EXPECT_EQ(std::get<0>(replug.events[0]), "removal");
        EXPECT_EQ(std::get<0>(replug.events[1]), "matching");
        EXPECT_EQ(util.deviceVersion(), 200);
        util.finalize();
        bed.unplug(again);
    }
}

TEST_F(DeviceConnectionTest, TakesOnlyTheProductOfItsDeviceType)
{
    bed.addDevice({.productId = 0x0020}); // another product of the vendor
    HidUtil util;
    ASSERT_TRUE(util.initialize(&handler, 1));
    EXPECT_FALSE(util.deviceMatching());
    util.finalize();

    // Type 0 takes only a product ID that reads 0: no TRV-Q8, present or arriving.
    bed.addDevice(trvQ8(0x0100, {2}));
    HidUtil typeZero;
    ASSERT_TRUE(typeZero.initialize(&handler, 0));
    EXPECT_FALSE(typeZero.deviceMatching());
    bed.addDevice(trvQ8(0x0100, {3}));
    runFor(std::chrono::milliseconds(200));
    EXPECT_TRUE(handler.events.empty());
    IOHIDDeviceSetProperty(HIDGetFirstDevice(), CFSTR("ProductID"), nullptr);
    EXPECT_TRUE(typeZero.deviceMatching());
}

TEST_F(DeviceConnectionTest, ReadsTheReleaseNumberDigitByDigit)
{
    for (auto [release, version] :
         {std::pair{0x0123, 123}, {0x0200, 200}, {0x1234, 1234}, {0x00A0, 100}, {0x00FF, 165}})
    {
        HidTestbed testbed;
        testbed.addDevice(trvQ8(uint16_t(release)));
        HidUtil util;
        ASSERT_TRUE(util.initialize(&handler, 1));
        ASSERT_TRUE(util.deviceMatching());
        EXPECT_EQ(util.deviceVersion(), version) << std::hex << release;
    }
}

TEST_F(DeviceConnectionTest, CopiesInputUpTo64BytesAndSendsOutputWithReportNumberZero)
{
    const int device = bed.addDevice(trvQ8(0x0100));
    HidUtil util;
    ASSERT_TRUE(util.initialize(&handler, 1));
    unsigned char command[64] = {0xF0, 1, 2, 3};
    EXPECT_FALSE(util.deviceOutput(command, 64)) << "no device held yet";
    ASSERT_TRUE(util.deviceMatching());
    unsigned char buffer[256] = {};
    EXPECT_EQ(util.deviceInput(buffer, sizeof(buffer)), 0u) << "nothing right after the take";

    bed.writeInputReport(device, pattern(64, 1));
    ASSERT_TRUE(runUntil([&] { return handler.events.size() == 1; }));
    EXPECT_EQ(util.deviceInput(buffer, 4), 4u);
    EXPECT_EQ(buffer[3], 4);
    EXPECT_EQ(util.deviceInput(buffer, sizeof(buffer)), 64u) << "reading does not consume the report";
    EXPECT_EQ(buffer[63], 64);
    EXPECT_EQ(util.deviceInput(nullptr, 10), 0u);
    EXPECT_EQ(util.deviceInput(buffer, 0), 0u);
    // A longer report fills the 64-byte buffer and counts as 64 bytes.
    HidUtil::Handle_IOHIDDeviceIOHIDReportCallback(nullptr, kIOReturnSuccess, nullptr, kIOHIDReportTypeInput,
                                                   0, nullptr, 80);
    EXPECT_EQ(util.deviceInput(buffer, sizeof(buffer)), 64u);

    EXPECT_FALSE(util.deviceOutput(command, 0));
    EXPECT_FALSE(util.deviceOutput(nullptr, 64));
    EXPECT_TRUE(util.deviceOutput(command, 64));
    std::vector<uint8_t> sent(command, command + 64);
    sent.insert(sent.begin(), 0);
    EXPECT_EQ(bed.readOutputReport(device, 65), sent);
    EXPECT_EQ(bed.drainOutput(device), 0u);
}

TEST_F(DeviceConnectionTest, OnlyOneConnectionIsLiveAndARefusedOneLeavesItAlone)
{
    const int device = bed.addDevice(trvQ8(0x0100));
    auto live = std::make_unique<HidUtil>();
    ASSERT_TRUE(live->initialize(&handler, 1));
    ASSERT_TRUE(live->deviceMatching());
    {
        RecordingHandler other;
        HidUtil refused;
        EXPECT_FALSE(refused.initialize(&other, 1));
        refused.finalize();
    }
    EXPECT_EQ(HidUtil::m_pinstance, live.get());
    bed.writeInputReport(device, pattern(8, 1));
    ASSERT_TRUE(runUntil([&] { return handler.events.size() == 1; }));

    live->finalize();
    live->finalize();
    EXPECT_EQ(HidUtil::m_pinstance, nullptr);
    EXPECT_EQ(live->deviceVersion(), 0);
    live.reset();
    EXPECT_EQ(gIOHIDManagerRef, nullptr);

    HidUtil next;
    EXPECT_TRUE(next.initialize(&handler, 1));
    EXPECT_TRUE(next.deviceMatching());
}

TEST_F(DeviceConnectionTest, SendsRacingAnUnplugNeverTouchAGoneDevice)
{
    const int device = bed.addDevice(trvQ8(0x0100));
    HidUtil util;
    ASSERT_TRUE(util.initialize(&handler, 1));
    ASSERT_TRUE(util.deviceMatching());

    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread sender(
        [&]
        {
            unsigned char command[64] = {0xF3};
            while (!stop)
                if (!util.deviceOutput(command, 64))
                    ++failures;
        });
    for (int i = 0; i < 20; ++i)
    {
        bed.drainOutput(device);
        runFor(std::chrono::milliseconds(5));
    }
    bed.unplug(device);
    EXPECT_TRUE(runUntil([&] { return !handler.events.empty(); }));
    EXPECT_TRUE(runUntil([&] { return failures > 0; }));
    stop = true;
    sender.join();
    unsigned char command[64] = {0xF3};
    EXPECT_FALSE(util.deviceOutput(command, 64));
}

TEST_F(DeviceConnectionTest, WhilePinnedSendsGoToThePinnedDeviceAloneEvenOnceItHasGone)
{
    const int first = bed.addDevice(trvQ8(0x0100));
    HidUtil util;
    ASSERT_TRUE(util.initialize(&handler, 1));
    unsigned char command[64] = {0xF2};
    util.pinDevice();
    ASSERT_TRUE(util.deviceMatching());
    EXPECT_FALSE(util.deviceOutput(command, 64)) << "pinned while none was held";

    util.pinDevice();
    bed.unplug(first);
    const int second = bed.addDevice(trvQ8(0x0200));
    ASSERT_TRUE(runUntil([&] { return handler.events.size() == 2; }));
    ASSERT_EQ(util.deviceVersion(), 200) << "the new device is held";
    EXPECT_FALSE(util.deviceOutput(command, 64));
    EXPECT_EQ(bed.drainOutput(second), 0u);

    util.unpinDevice();
    EXPECT_TRUE(util.deviceOutput(command, 64));
    EXPECT_EQ(bed.drainOutput(second), 65u);

    util.pinDevice();
    util.finalize();
    EXPECT_FALSE(util.deviceOutput(command, 64)) << "the pin goes with the connection";
}

// The device control object keeps the state the application reads, refreshed before each event.
class DeviceControlTest : public DeviceConnectionTest
{
protected:
    void SetUp() override { handler.ctrl = &ctrl; }
    HidCtrl ctrl;
};

TEST_F(DeviceControlTest, WithoutADeviceWaitsForItsArrival)
{
    ASSERT_TRUE(ctrl.initialize(&handler, 1));
    EXPECT_EQ(ctrl.getState(), 0);
    EXPECT_EQ(ctrl.getVersion(), 0);
    unsigned char command[64] = {0xF0};
    EXPECT_FALSE(ctrl.setData(command, 64));
    EXPECT_EQ(ctrl.getState(), 0);

    bed.addDevice(trvQ8(0x0123));
    ASSERT_TRUE(runUntil([&] { return !handler.events.empty(); }));
    ASSERT_EQ(handler.events.size(), 1u);
    EXPECT_EQ(handler.events[0], Event("matching", 1, 123, 0));
}

TEST_F(DeviceControlTest, TakesAPresentDeviceSilentlyAndKeepsItsOneConnection)
{
    const int device = bed.addDevice(trvQ8(0x0200));
    ASSERT_TRUE(ctrl.initialize(&handler, 1));
    HidUtil* live = HidUtil::m_pinstance;
    EXPECT_EQ(ctrl.getState(), 1);
    EXPECT_EQ(ctrl.getVersion(), 200);
    EXPECT_EQ(ctrl.getLength(), 0u);
    unsigned char buffer[8] = {7, 7, 7, 7, 7, 7, 7, 7};
    EXPECT_EQ(ctrl.deviceInput(buffer, 0), 0u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(ctrl.deviceInput(buffer, sizeof(buffer)), 0u);
    EXPECT_EQ(buffer[0], 0);

    RecordingHandler other;
    EXPECT_FALSE(ctrl.initialize(&other, 1));
    EXPECT_EQ(HidUtil::m_pinstance, live);
    EXPECT_EQ(ctrl.getState(), 1);
    bed.writeInputReport(device, pattern(8, 1));
    ASSERT_TRUE(runUntil([&] { return !handler.events.empty(); }));
    EXPECT_EQ(std::get<0>(handler.events[0]), "input") << "the device taken at start is not announced";
    EXPECT_TRUE(other.events.empty());

    ctrl.finalize();
    ctrl.finalize();
    EXPECT_EQ(ctrl.getState(), 1) << "the cache keeps its last values";
    EXPECT_EQ(HidUtil::m_pinstance, nullptr) << "the live connection is not left behind";
}

TEST_F(DeviceControlTest, KeepsTheBytesOfALongerReportAndASendSetsStateTwoEvenWhenItFails)
{
    const int device = bed.addDevice(trvQ8(0x0100));
    ASSERT_TRUE(ctrl.initialize(&handler, 1));
    bed.writeInputReport(device, pattern(64, 1));
    ASSERT_TRUE(runUntil([&] { return handler.events.size() == 1; }));
    bed.writeInputReport(device, pattern(10, 200));
    ASSERT_TRUE(runUntil([&] { return handler.events.size() == 2; }));
    EXPECT_EQ(handler.events[1], Event("input", 1, 100, 10));
    EXPECT_EQ(ctrl.getData()[0], 200);
    EXPECT_EQ(ctrl.getData()[9], 209);
    EXPECT_EQ(ctrl.getData()[10], 11) << "past the short report, the longer one's bytes stay";
    EXPECT_EQ(ctrl.getData()[63], 64);

    bed.hangUp(device);
    unsigned char command[64] = {0xF1};
    EXPECT_FALSE(ctrl.setData(command, 64));
    EXPECT_EQ(ctrl.getState(), 2);
    bed.announceRemoval(device);
    ASSERT_TRUE(runUntil([&] { return handler.events.size() == 3; }));
    EXPECT_EQ(handler.events[2], Event("removal", 0, 0, 0));
    EXPECT_EQ(ctrl.getData()[0], 0);
}
