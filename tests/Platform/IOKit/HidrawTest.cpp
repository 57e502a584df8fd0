#include "native/HidrawNode.h"

#include "HidApi.h"
#include "HidTestbed.h"

#include <cstring>
#include <gtest/gtest.h>
#include <thread>

using namespace hidraw;
using hidapi::pattern;

namespace
{

std::shared_ptr<HidrawNode> openNode(const std::string& path)
{
    int error = 0;
    auto node = HidrawNode::open(path, error);
    EXPECT_NE(node, nullptr) << std::strerror(error);
    return node;
}

} // namespace

TEST(Hidraw, ReportsTravelWholeBothWaysAndWaitInOrderWhileNobodyReads)
{
    hidtest::HidTestbed bed;
    const int device = bed.addDevice({});
    auto node = openNode(bed.nodePath(device));
    ASSERT_NE(node, nullptr);

    const std::vector<uint8_t> output = pattern(65, 0);
    ASSERT_EQ(node->write(output, 1000), 0);
    EXPECT_EQ(bed.readOutputReport(device, 65), output);

    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(bed.writeInputReport(device, pattern(64, uint8_t(i))));
    std::vector<uint8_t> buffer(64);
    for (int i = 0; i < 64; ++i)
    {
        const auto result = node->waitAndRead(buffer);
        ASSERT_EQ(result.status, HidrawNode::ReadStatus::report);
        ASSERT_EQ(result.length, 64u);
        EXPECT_EQ(buffer, pattern(64, uint8_t(i)));
    }
}

TEST(Hidraw, UnpluggedNodeFailsReadsAndWritesAndWakesWaiters)
{
    hidtest::HidTestbed bed;
    const int device = bed.addDevice({});
    auto node = openNode(bed.nodePath(device));
    ASSERT_NE(node, nullptr);

    HidrawNode::ReadStatus seen = HidrawNode::ReadStatus::nothing;
    std::thread reader(
        [&]
        {
            std::vector<uint8_t> buffer(64);
            seen = node->waitAndRead(buffer).status;
        });
    bed.unplug(device);
    reader.join();
    EXPECT_EQ(seen, HidrawNode::ReadStatus::gone);
    EXPECT_TRUE(node->isGone());
    EXPECT_EQ(node->write(pattern(65, 1), 1000), ENODEV);
}

TEST(Hidraw, StopEndsAWaitAndABlockedWrite)
{
    hidtest::HidTestbed bed;
    const int device = bed.addDevice({});
    auto node = openNode(bed.nodePath(device));
    ASSERT_NE(node, nullptr);

    // Nobody takes the output: the node fills up and the next write has to wait.
    int result = 0;
    std::thread writer(
        [&]
        {
            while ((result = node->write(pattern(65, 1), 10000)) == 0)
            {
            }
        });
    std::vector<uint8_t> buffer(64);
    std::thread reader([&] { node->waitAndRead(buffer); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    node->stop();
    writer.join();
    reader.join();
    EXPECT_EQ(result, ENODEV);
    EXPECT_FALSE(node->isGone());
    EXPECT_GT(bed.drainOutput(device), 0u);
}
