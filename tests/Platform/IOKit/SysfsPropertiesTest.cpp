#include "native/SysfsProperties.h"

#include "HidDescriptors.h"

#include <gtest/gtest.h>

using namespace hidraw;

TEST(SysfsProperties, UsbDeviceGivesIdsStringsVersionLocationAndUsage)
{
    const DeviceProperties properties = mapDeviceProperties({.hidId = "0003:00005A1E:0000001F",
                                                             .hidName = "Maker TRV-Q8",
                                                             .reportDescriptor = hidtest::kVendor64,
                                                             .idVendor = "5a1e",
                                                             .idProduct = "001f",
                                                             .bcdDevice = "0123",
                                                             .manufacturer = "Maker",
                                                             .product = "TRV-Q8",
                                                             .serial = "SN0042",
                                                             .busnum = "3",
                                                             .devpath = "2.4"});
    EXPECT_EQ(properties.vendorId, 0x5A1Eu);
    EXPECT_EQ(properties.productId, 0x001Fu);
    EXPECT_EQ(properties.versionNumber, 0x0123u);
    EXPECT_EQ(properties.locationId, 0x03240000u);
    EXPECT_EQ(properties.transport, "USB");
    EXPECT_EQ(properties.manufacturer, "Maker");
    EXPECT_EQ(properties.product, "TRV-Q8");
    EXPECT_EQ(properties.serialNumber, "SN0042");
    ASSERT_TRUE(properties.primaryUsage());
    EXPECT_EQ(properties.primaryUsage()->usagePage, 0xFF00u);
    EXPECT_EQ(properties.primaryUsage()->usage, 0x01u);
    EXPECT_EQ(properties.descriptor.maxOutputReportSize, 64u);
}

TEST(SysfsProperties, BluetoothDeviceBehindAUsbAdapterKeepsItsOwnIdentity)
{
    // udev finds the Bluetooth adapter as the node's USB ancestor.
    const DeviceProperties properties = mapDeviceProperties({.hidId = "0005:0000046D:0000B01A",
                                                             .hidName = "Wireless Mouse",
                                                             .hidUniq = "aa:bb:cc:dd:ee:ff",
                                                             .reportDescriptor = hidtest::kBootMouse,
                                                             .idVendor = "8087",
                                                             .idProduct = "0026",
                                                             .bcdDevice = "0002",
                                                             .manufacturer = "Adapter Maker",
                                                             .product = "Bluetooth Adapter",
                                                             .serial = "ADAPTER1",
                                                             .busnum = "1",
                                                             .devpath = "10"});
    EXPECT_EQ(properties.vendorId, 0x046Du);
    EXPECT_EQ(properties.productId, 0xB01Au);
    EXPECT_EQ(properties.transport, "Bluetooth");
    EXPECT_EQ(properties.product, "Wireless Mouse");
    EXPECT_EQ(properties.serialNumber, "aa:bb:cc:dd:ee:ff");
    EXPECT_FALSE(properties.manufacturer);
    EXPECT_FALSE(properties.versionNumber);
    EXPECT_FALSE(properties.locationId);
}

TEST(SysfsProperties, EmptyOrGarbledAttributesGiveNoProperty)
{
    const DeviceProperties properties = mapDeviceProperties({.hidId = "garbage",
                                                             .idVendor = "xyz",
                                                             .bcdDevice = "",
                                                             .serial = "  \n",
                                                             .busnum = "1",
                                                             .devpath = "2.x"});
    EXPECT_FALSE(properties.vendorId);
    EXPECT_FALSE(properties.versionNumber);
    EXPECT_FALSE(properties.serialNumber);
    EXPECT_FALSE(properties.locationId);
    EXPECT_FALSE(properties.primaryUsage());
}

// One nibble per hub port from the top; a bus above 255 and a port above 15 take the largest value
// that fits, so that they still sort after every smaller one; a seventh level has no nibble left.
TEST(SysfsProperties, LocationIdWritesOneNibblePerHubPortFromTheTop)
{
    const struct
    {
        const char *bus, *devpath;
        uint32_t location;
    } cases[] = {{"1", "2", 0x01200000},
                 {"1", "2.4.1", 0x01241000},
                 {"20", "1.2.3.4.5.6", 0x14123456},
                 {"2", "0", 0x02000000},
                 {"2", "", 0x02000000},
                 {"1", "17", 0x01F00000},
                 {"1", "3.16.2", 0x013F2000},
                 {"300", "1", 0xFF100000},
                 {"256", "1", 0xFF100000},
                 {"1", "1.2.3.4.5.6.7", 0x01123456}};
    for (const auto& c : cases)
        EXPECT_EQ(composeLocationId(c.bus, c.devpath), c.location) << c.bus << "-" << c.devpath;
    EXPECT_FALSE(composeLocationId("", "1"));
    EXPECT_FALSE(composeLocationId("one", "1"));
}
