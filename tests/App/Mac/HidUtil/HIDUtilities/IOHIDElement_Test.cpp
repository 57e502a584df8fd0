#include "IOHIDElement_.h"

#include "HidLibDevices.h"

#include <gtest/gtest.h>

using namespace hidlibtest;

using IOHIDElementTest = StickTest;

// The calibration an element derives from its range is pinned by the calibration dump.
TEST_F(IOHIDElementTest, FallsBackToTheExtremesWithoutARangeAndStoresTruncatedLow32BitValues)
{
    IOHIDElementRef collection = IOHIDElementGetParent(y);
    EXPECT_EQ(IOHIDElement_GetCalibrationMin(collection), 0x7FFFFFFF);
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(collection), -0x7FFFFFFF);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(collection), -2147483647.0);

    IOHIDElement_SetCalibrationGranularity(y, 2.9);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(y), 2.0);
    IOHIDElement_SetCalibrationGranularity(y, -2.9);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(y), -2.0);
    IOHIDElement_SetCalibrationGranularity(y, 1e300);
    IOHIDElement_SetCalibrationMin(y, 0x1234500000005L);
    EXPECT_EQ(IOHIDElement_GetCalibrationMin(y), 5);
    IOHIDElement_SetCalibrationMax(y, 0xFFFFFFFFL);
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(y), -1);
}

TEST_F(IOHIDElementTest, SetsUpTheCalibrationFromTheRangeAndTheValueTruncatedTowardZero)
{
    sendAndWait(stickNumber, stickReport(0, 0, 0, 0, 0, -1), tilt, -3.0); // -3.7
    sendAndWait(stickNumber, stickReport(0, 0, 0, 0, 0, 3), tilt, 11.0);  // 11.1
    IOHIDElement_SetCalibrationDeadZoneMin(tilt, 9);
    IOHIDElement_SetCalibrationGranularity(tilt, 4);
    IOHIDElement_SetupCalibration(tilt);
    EXPECT_EQ(IOHIDElement_GetCalibrationMin(tilt), -10);
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(tilt), 10);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMin(tilt), 11);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMax(tilt), 11);
    EXPECT_EQ(IOHIDElement_GetCalibrationDeadZoneMin(tilt), 0);
    EXPECT_EQ(IOHIDElement_GetCalibrationDeadZoneMax(tilt), 0);
    EXPECT_EQ(IOHIDElement_GetCalibrationGranularity(tilt), 0.0);
}

TEST_F(IOHIDElementTest, SetsUpAnUnreadableElementWithSaturationZero)
{
    // A feature value is never read from the device; a made-up logical 0 would give 100 here.
    IOHIDElementRef feature = element(stick, 0xFF00, 0x11);
    IOHIDElement_SetCalibrationSaturationMin(feature, 40);
    IOHIDElement_SetupCalibration(feature);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMin(feature), 0);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMax(feature), 0);
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(feature), 255);
}
