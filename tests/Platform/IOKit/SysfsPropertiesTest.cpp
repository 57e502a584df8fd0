#include "native/SysfsProperties.h"

#include "HidDescriptors.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace hidraw;

namespace
{

// Vendor, product, version, location, transport, manufacturer, product and serial number.
auto identity(const DeviceProperties& p)
{
    return std::tuple(p.vendorId, p.productId, p.versionNumber, p.locationId, p.transport, p.manufacturer,
                      p.product, p.serialNumber);
}

} // namespace

TEST(SysfsProperties, UsbDeviceGivesIdsStringsVersionLocationAndUsage)
{
    // HID_ID, HID_NAME, HID_UNIQ and the descriptor; the USB ancestor's idVendor, idProduct,
    // bcdDevice, manufacturer, product, serial, busnum and devpath.
    const DeviceProperties properties =
        mapDeviceProperties({"0003:00005A1E:0000001F", "Maker TRV-Q8", "", hidtest::kVendor64, "5a1e", "001f",
                             "0123", "Maker", "TRV-Q8", "SN0042", "3", "2.4"});
    using S = std::optional<std::string>;
    EXPECT_EQ(identity(properties), std::tuple(0x5A1Eu, 0x001Fu, 0x0123u, 0x03240000u, S("USB"), S("Maker"),
                                               S("TRV-Q8"), S("SN0042")));
    ASSERT_TRUE(properties.primaryUsage());
    EXPECT_EQ(std::tuple(properties.primaryUsage()->usagePage, properties.primaryUsage()->usage),
              std::tuple(0xFF00u, 0x01u));
}

TEST(SysfsProperties, BluetoothDeviceBehindAUsbAdapterKeepsItsOwnIdentity)
{
    // udev finds the Bluetooth adapter as the node's USB ancestor.
    const DeviceProperties properties = mapDeviceProperties(
        {"0005:0000046D:0000B01A", "Wireless Mouse", "aa:bb:cc:dd:ee:ff", hidtest::kBootMouse, "8087", "0026",
         "0002", "Adapter Maker", "Bluetooth Adapter", "ADAPTER1", "1", "10"});
    using S = std::optional<std::string>;
    EXPECT_EQ(identity(properties), std::tuple(0x046Du, 0xB01Au, std::nullopt, std::nullopt, S("Bluetooth"),
                                               std::nullopt, S("Wireless Mouse"), S("aa:bb:cc:dd:ee:ff")));
}

TEST(SysfsProperties, EmptyOrGarbledAttributesGiveNoProperty)
{
    const DeviceProperties properties = mapDeviceProperties({.hidId = "garbage",
                                                             .idVendor = "xyz",
                                                             .bcdDevice = "",
                                                             .serial = "  \n",
                                                             .busnum = "1",
                                                             .devpath = "2.x"});
    EXPECT_EQ(identity(properties), std::tuple(std::nullopt, std::nullopt, std::nullopt, std::nullopt, "USB",
                                               std::nullopt, std::nullopt, std::nullopt));
    EXPECT_FALSE(properties.primaryUsage());
}

// One nibble per hub port from the top; a bus above 255 and a port above 15 take the largest value
// that fits, so that they still sort after every smaller one; a seventh level has no nibble left.
TEST(SysfsProperties, LocationIdWritesOneNibblePerHubPortFromTheTop)
{
    const std::tuple<const char*, const char*, uint32_t> cases[] = {{"1", "2", 0x01200000},
                                                                    {"1", "2.4.1", 0x01241000},
                                                                    {"20", "1.2.3.4.5.6", 0x14123456},
                                                                    {"2", "0", 0x02000000},
                                                                    {"2", "", 0x02000000},
                                                                    {"1", "17", 0x01F00000},
                                                                    {"1", "3.16.2", 0x013F2000},
                                                                    {"300", "1", 0xFF100000},
                                                                    {"256", "1", 0xFF100000},
                                                                    {"1", "1.2.3.4.5.6.7", 0x01123456}};
    for (const auto& [bus, devpath, location] : cases)
        EXPECT_EQ(composeLocationId(bus, devpath), location) << bus << "-" << devpath;
    EXPECT_FALSE(composeLocationId("", "1"));
    EXPECT_FALSE(composeLocationId("one", "1"));
}
