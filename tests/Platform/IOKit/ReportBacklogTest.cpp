#include "hid/ReportBacklog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using iohid::ReportBacklog;

TEST(ReportBacklog, KeepsReportsInOrderAndCutsThemToTheBufferWithTheirWholeLength)
{
    ReportBacklog backlog(4, 64);
    backlog.setKeeping(true);
    std::vector<uint8_t> report(64);
    for (size_t i = 0; i < report.size(); ++i)
        report[i] = uint8_t(i + 1);
    ASSERT_TRUE(backlog.keep(report));
    ASSERT_TRUE(backlog.keep({}));

    uint8_t buffer[12] = {};
    size_t length = 0;
    uint8_t first = 0xFF;
    ASSERT_TRUE(backlog.take(std::span<uint8_t>(buffer, 10), length, first));
    EXPECT_EQ(length, 64u);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 12),
              (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0}));
    ASSERT_TRUE(backlog.take(buffer, length, first));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(buffer[0], 1); // nothing copied for an empty report

    // A report longer than the largest one the device declares is kept as far as it fits.
    ASSERT_TRUE(backlog.keep(std::vector<uint8_t>(80, 7)));
    ASSERT_TRUE(backlog.take(buffer, length, first));
    EXPECT_EQ(length, 64u);
    EXPECT_FALSE(backlog.take(buffer, length, first));

    // Reports wait in order, round the ring; the newest gives way while it is full.
    for (uint8_t i = 1; i <= 5; ++i)
        EXPECT_EQ(backlog.keep(std::vector<uint8_t>{i}), i <= 4);
    std::vector<uint8_t> order;
    while (backlog.take(buffer, length, first))
        order.push_back(first);
    EXPECT_EQ(order, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_TRUE(backlog.keep(report)) << "room again once taken";
}

TEST(ReportBacklog, KeepsNothingFromTheMomentKeepingStopsWhileAReaderGoesOnKeeping)
{
    ReportBacklog backlog(4, 1);
    const std::vector<uint8_t> report{1};
    EXPECT_FALSE(backlog.keep(report)) << "off at first";
    std::atomic<bool> reading{true};
    std::atomic<uint64_t> attempts{0};
    std::thread reader(
        [&]
        {
            while (reading)
            {
                backlog.keep(report);
                ++attempts;
            }
        });
    uint8_t buffer[1];
    size_t length = 0;
    uint8_t first = 0;
    bool keptAfterStopping = false;
    for (int round = 0; round < 5000 && !keptAfterStopping; ++round)
    {
        backlog.setKeeping(true);
        // Stop while the reader is busy keeping.
        const uint64_t seen = attempts;
        while (attempts == seen)
            std::this_thread::yield();
        backlog.setKeeping(false);
        keptAfterStopping = backlog.take(buffer, length, first);
    }
    reading = false;
    reader.join();
    EXPECT_FALSE(keptAfterStopping);
}
