#include "native/HidrawNode.h"

#include "HidApi.h"
#include "HidTestbed.h"
#include "NodeFaults.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

using namespace hidraw;
using hidapi::pattern;

namespace
{

// The device's node, opened as the layer opens it.
std::shared_ptr<HidrawNode> openNode(const hidtest::HidTestbed& bed, int device)
{
    int error = 0;
    auto node = HidrawNode::open(bed.nodePath(device), error);
    EXPECT_NE(node, nullptr) << std::strerror(error);
    return node;
}

} // namespace

// Reports, unplugging and refused opens reach the node through the device tests; stopping a node
// that the device still writes to does not.
TEST(Hidraw, AGoneNodeHandsOverTheReportsItHoldsFirst)
{
    // udev tells first, or the node hangs up first.
    for (const bool toldByUdev : {true, false})
    {
        SCOPED_TRACE(toldByUdev);
        hidtest::HidTestbed bed;
        hidtest::NodeFaults faults;
        const int device = bed.addDevice({});
        const auto node = openNode(bed, device);
        ASSERT_TRUE(node);
        std::vector<uint8_t> twoReports = pattern(64, 1), second = pattern(64, 2);
        twoReports.insert(twoReports.end(), second.begin(), second.end());
        ASSERT_TRUE(bed.writeInputReport(device, twoReports));
        if (toldByUdev)
            node->markGone();
        else
            faults.goneKeepingReports(bed.nodePath(device));

        std::vector<uint8_t> buffer(64);
        for (uint8_t first : {1, 2})
        {
            ASSERT_EQ(node->waitAndRead(buffer).status, HidrawNode::ReadStatus::report);
            EXPECT_EQ(buffer, pattern(64, first));
        }
        EXPECT_EQ(node->waitAndRead(buffer).status, HidrawNode::ReadStatus::gone);
    }
}

TEST(Hidraw, StopEndsAWaitAndABlockedWrite)
{
    hidtest::HidTestbed bed;
    const int device = bed.addDevice({});
    const auto node = openNode(bed, device);
    ASSERT_TRUE(node);

    // Nobody takes the output: the node fills up and the next write has to wait.
    int result = 0;
    std::atomic<int> written{0};
    std::atomic<bool> writing{true};
    std::thread writer(
        [&]
        {
            while ((result = node->write(pattern(65, 1), 10000)) == 0)
                ++written;
            writing = false;
        });
    std::vector<uint8_t> buffer(64);
    std::thread reader([&] { node->waitAndRead(buffer); });
    // However slowly a loaded machine starts the writer, it has written before the stop.
    while (written.load() == 0 && writing.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    node->stop();
    writer.join();
    reader.join();
    EXPECT_EQ(result, ENODEV);
    EXPECT_FALSE(node->isGone());
    EXPECT_GT(bed.drainOutput(device), 0u);
}

// Through a device, its reader often learns of the unplug first; here only the write can.
TEST(Hidraw, AFailedWriteTakesTheDeviceForGoneOnlyWhenTheErrorOrTheHangUpSaysSo)
{
    struct Case
    {
        const char* name;
        int error; // forced on the write; 0 leaves the node's own
        bool hungUp;
        int result;
    };
    const Case cases[] = {
        {"unplugged", ENODEV, false, ENODEV},
        {"shut down while the node has not hung up", ESHUTDOWN, false, ENODEV},
        {"the hung-up node's own failure", 0, true, ENODEV},
        {"a stall on a hung-up node", EPIPE, true, ENODEV},
        {"a stall on a live node", EPIPE, false, EPIPE},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        hidtest::HidTestbed bed;
        hidtest::NodeFaults faults;
        const int device = bed.addDevice({});
        const auto node = openNode(bed, device);
        ASSERT_TRUE(node);
        if (c.error != 0)
            faults.failNextWrite(bed.nodePath(device), c.error);
        if (c.hungUp)
            bed.hangUp(device);

        EXPECT_EQ(node->write(pattern(65, 1), 10000), c.result);
        const bool gone = c.result == ENODEV;
        EXPECT_EQ(node->isGone(), gone);
        // The next write is refused at once when the device has gone, and taken whole when it stays.
        EXPECT_EQ(node->write(pattern(65, 2), 10000), gone ? ENODEV : 0);
        if (!gone)
        {
            EXPECT_EQ(bed.readOutputReport(device, 65), pattern(65, 2));
        }
    }
}
