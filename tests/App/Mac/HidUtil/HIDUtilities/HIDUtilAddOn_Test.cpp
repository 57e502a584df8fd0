#include "HIDUtilAddOn.h"

#include "HidLibDevices.h"

#include <gtest/gtest.h>

using namespace hidlibtest;

namespace
{
class HIDUtilAddOnTest : public HidLibTest
{
};
} // namespace

TEST_F(HIDUtilAddOnTest, FindsTheServiceAtTheDevicesLocation)
{
    add(stickDescription());
    buildList();
    EXPECT_EQ(AllocateHIDObjectFromIOHIDDeviceRef(nullptr), 0u);
    io_service_t service = AllocateHIDObjectFromIOHIDDeviceRef(device(1, 2));
    ASSERT_NE(service, 0u);
    EXPECT_TRUE(FreeHIDObject(service));
}
