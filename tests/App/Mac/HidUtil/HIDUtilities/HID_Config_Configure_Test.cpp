// The configure operations, watching controls that a second thread moves through input reports.
#include "HID_Config_Utilities.h"

#include "HidLibDevices.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace hidlibtest;

namespace
{
class HIDConfigureTest : public StickTest
{
protected:
    void SetUp() override
    {
        StickTest::SetUp();
        sendAndWait(stickNumber, stickReport(512, 100), x, 512);
    }

    void TearDown() override
    {
        if (mover.joinable())
            mover.join();
        StickTest::TearDown();
    }

    // Sends the report a little after the search has taken its baseline.
    void moveSoon(std::vector<uint8_t> report)
    {
        mover = std::thread(
            [this, report]
            {
                std::this_thread::sleep_for(std::chrono::milliseconds(60));
                bed.writeInputReport(stickNumber, report);
            });
    }

    IOHIDElementRef configureSingle(const std::vector<uint8_t>& report)
    {
        moveSoon(report);
        IOHIDElementRef found = x;
        const Boolean moved = HIDConfigureSingleDeviceAction(stick, &found, kTimeout);
        mover.join();
        EXPECT_EQ(moved != 0, found != nullptr);
        sendAndWait(stickNumber, stickReport(512, 100), y, 100);
        return found;
    }

    std::pair<IOHIDDeviceRef, IOHIDElementRef> configureAll(const std::vector<uint8_t>& report)
    {
        moveSoon(report);
        IOHIDDeviceRef foundDevice = nullptr;
        IOHIDElementRef found = nullptr;
        const Boolean moved = HIDConfigureAction(&foundDevice, &found, kTimeout);
        mover.join();
        EXPECT_EQ(moved != 0, found != nullptr);
        sendAndWait(stickNumber, stickReport(512, 100), x, 512);
        return {foundDevice, found};
    }

    static constexpr float kTimeout = 0.4f;
    std::thread mover;
};
} // namespace

TEST_F(HIDConfigureTest, OneDeviceNeedsMoreThanTenPercentOfTheLogicalRangeOrAnyChangeOfAButton)
{
    EXPECT_EQ(configureSingle(stickReport(512, 125)), nullptr);
    EXPECT_EQ(configureSingle(stickReport(512, 126)), y);
    EXPECT_EQ(configureSingle(stickReport(512, 74)), y);
    EXPECT_EQ(configureSingle(stickReport(512, 100, 0x02)), element(stick, 9, 2));
}

TEST_F(HIDConfigureTest, AllDevicesTakeTenPercentOfThePhysicalRangeAndPassOverArraysAndMultiCountElements)
{
    add(trvAt(1, 1));
    buildList();
    // X: physical 0 to 1023, baseline 512; 614 is 9.97 %, 615 is 10.07 %. A pressed key moves an
    // array selector, and the TRV-Q8's report is one 64-count element.
    EXPECT_EQ(configureAll(stickReport(614, 100)).second, nullptr);
    EXPECT_EQ(configureAll(stickReport(512, 100, 0, 2)).second, nullptr);
    EXPECT_EQ(configureAll(stickReport(615, 100)), std::pair(stick, x));
    EXPECT_EQ(gElementCFArrayRef, nullptr);
}

TEST_F(HIDConfigureTest, OneDeviceGivesUpAfterTheFirstPassOrWithoutTheListThatAllDevicesBuild)
{
    IOHIDElementRef found = x;
    EXPECT_FALSE(HIDConfigureSingleDeviceAction(stick, &found, -1.0f));
    EXPECT_EQ(found, nullptr);
    HIDReleaseDeviceList();
    found = x;
    EXPECT_FALSE(HIDConfigureSingleDeviceAction(stick, &found, 0.1f));
    EXPECT_EQ(found, x);
    EXPECT_FALSE(HIDConfigureSingleDeviceAction(nullptr, &found, 0.1f));

    EXPECT_FALSE(HIDConfigureAction(nullptr, &found, 0.1f));
    EXPECT_FALSE(HIDHaveDeviceList());
    IOHIDDeviceRef foundDevice = stick;
    EXPECT_FALSE(HIDConfigureAction(&foundDevice, &found, -1.0f));
    EXPECT_TRUE(HIDHaveDeviceList());
    EXPECT_EQ(foundDevice, nullptr);
    EXPECT_EQ(found, nullptr);
}
