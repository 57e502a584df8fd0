#include "native/SysfsProperties.h"

#include "HidDescriptors.h"

#include <gtest/gtest.h>

using namespace hidraw;

namespace
{

NodeAttributes usbDevice()
{
    return NodeAttributes{.hidId = "0003:00005A1E:0000001F",
                          .hidName = "Maker TRV-Q8",
                          .reportDescriptor = hidtest::kVendor64,
                          .idVendor = "5a1e",
                          .idProduct = "001f",
                          .bcdDevice = "0123",
                          .manufacturer = "Maker",
                          .product = "TRV-Q8",
                          .serial = "SN0042",
                          .busnum = "3",
                          .devpath = "2.4"};
}

uint32_t location(std::string_view bus, std::string_view devpath)
{
    return composeLocationId(bus, devpath).value_or(0xDEADBEEF);
}

} // namespace

TEST(SysfsProperties, UsbDeviceGivesIdsStringsVersionLocationAndUsage)
{
    const DeviceProperties properties = mapDeviceProperties(usbDevice());

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

TEST(SysfsProperties, DeviceOffUsbTakesWhatTheHidParentKnows)
{
    const NodeAttributes attributes{.hidId = "0005:0000046D:0000B01A",
                                    .hidName = "Wireless Mouse",
                                    .hidUniq = "aa:bb:cc:dd:ee:ff",
                                    .reportDescriptor = hidtest::kBootMouse};

    const DeviceProperties properties = mapDeviceProperties(attributes);
    EXPECT_EQ(properties.vendorId, 0x046Du);
    EXPECT_EQ(properties.productId, 0xB01Au);
    EXPECT_EQ(properties.transport, "Bluetooth");
    EXPECT_EQ(properties.product, "Wireless Mouse");
    EXPECT_EQ(properties.serialNumber, "aa:bb:cc:dd:ee:ff");
    EXPECT_FALSE(properties.manufacturer);
    EXPECT_FALSE(properties.versionNumber);
    EXPECT_FALSE(properties.locationId);
}

TEST(SysfsProperties, BluetoothDeviceBehindAUsbAdapterKeepsItsOwnIdentity)
{
    // udev finds the Bluetooth adapter as the node's USB ancestor.
    const NodeAttributes attributes{.hidId = "0005:0000046D:0000B01A",
                                    .hidName = "Wireless Mouse",
                                    .reportDescriptor = hidtest::kBootMouse,
                                    .idVendor = "8087",
                                    .idProduct = "0026",
                                    .bcdDevice = "0002",
                                    .manufacturer = "Adapter Maker",
                                    .product = "Bluetooth Adapter",
                                    .serial = "ADAPTER1",
                                    .busnum = "1",
                                    .devpath = "10"};

    const DeviceProperties properties = mapDeviceProperties(attributes);
    EXPECT_EQ(properties.vendorId, 0x046Du);
    EXPECT_EQ(properties.productId, 0xB01Au);
    EXPECT_EQ(properties.transport, "Bluetooth");
    EXPECT_EQ(properties.product, "Wireless Mouse");
    EXPECT_FALSE(properties.manufacturer);
    EXPECT_FALSE(properties.serialNumber);
    EXPECT_FALSE(properties.versionNumber);
    EXPECT_FALSE(properties.locationId);
}

TEST(SysfsProperties, EmptyOrGarbledAttributesGiveNoProperty)
{
    const NodeAttributes attributes{.hidId = "garbage",
                                    .idVendor = "xyz",
                                    .bcdDevice = "",
                                    .serial = "  \n",
                                    .busnum = "1",
                                    .devpath = "2.x"};

    const DeviceProperties properties = mapDeviceProperties(attributes);
    EXPECT_FALSE(properties.vendorId);
    EXPECT_FALSE(properties.versionNumber);
    EXPECT_FALSE(properties.serialNumber);
    EXPECT_FALSE(properties.locationId);
    EXPECT_FALSE(properties.primaryUsage());
}

TEST(SysfsProperties, LocationIdWritesOneNibblePerHubPortFromTheTop)
{
    EXPECT_EQ(location("1", "2"), 0x01200000u);
    EXPECT_EQ(location("1", "2.4.1"), 0x01241000u);
    EXPECT_EQ(location("20", "1.2.3.4.5.6"), 0x14123456u);
    EXPECT_EQ(location("2", "0"), 0x02000000u); // a root hub
    EXPECT_EQ(location("2", ""), 0x02000000u);
    EXPECT_FALSE(composeLocationId("", "1"));
    EXPECT_FALSE(composeLocationId("one", "1"));
}

TEST(SysfsProperties, LocationIdSaturatesWhatDoesNotFitItsField)
{
    // Ports above 15 keep their place in the order, after every smaller port.
    EXPECT_EQ(location("1", "17"), 0x01F00000u);
    EXPECT_EQ(location("1", "3.16.2"), 0x013F2000u);
    EXPECT_GT(location("1", "17"), location("1", "14.9"));
    // A bus above 255 sorts after every smaller bus.
    EXPECT_EQ(location("300", "1"), 0xFF100000u);
    EXPECT_EQ(location("256", "1"), location("255", "1"));
    EXPECT_GT(location("256", "1"), location("254", "9.9.9"));
    // A seventh level has no nibble left.
    EXPECT_EQ(location("1", "1.2.3.4.5.6.7"), 0x01123456u);
}
