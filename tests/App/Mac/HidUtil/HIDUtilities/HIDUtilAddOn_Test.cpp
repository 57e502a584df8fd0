#include "HIDUtilAddOn.h"

#include "HidLibDevices.h"

#include <gtest/gtest.h>

using namespace hidlibtest;

using HIDUtilAddOnTest = StickTest;

TEST_F(HIDUtilAddOnTest, FindsTheServiceAtTheDevicesLocation)
{
    EXPECT_EQ(AllocateHIDObjectFromIOHIDDeviceRef(nullptr), 0u);
    io_service_t service = AllocateHIDObjectFromIOHIDDeviceRef(stick);
    ASSERT_NE(service, 0u);
    EXPECT_TRUE(FreeHIDObject(service));
}
