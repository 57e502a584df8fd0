// Devices for the HID utility library's tests, and a fixture that lists them.
#pragma once

#include "HID_Utilities.h"
#include "HidTestbed.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace hidlibtest
{

// A joystick sending one 7-byte report without report ids:
//   X      16 bits, logical and physical 0 to 1023, in a physical collection
//   Y       8 bits, logical and physical 0 to 255, in the same collection
//   buttons 1 to 4, one bit each, then 4 bits of padding
//   keys    an array of two 8-bit slots selecting keyboard usages 4 to 7
//   tilt    8 bits of vendor usage 0x13, logical -10 to 10, physical -37 to 37, unit 0x11 with
//           exponent 0xE, in a collection of type 7
// with two LED outputs (and padding) and one vendor feature 0x11, logical 0 to 255 and physical
// 100 to 355, in a logical collection.
inline const std::vector<uint8_t> kStick = {
    0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,                         // Generic Desktop, Joystick, Application
    0x09, 0x01, 0xA1, 0x00,                                     // Pointer, Physical
    0x09, 0x30, 0x15, 0x00, 0x26, 0xFF, 0x03, 0x35, 0x00,       // X, logical 0..1023, physical 0..
    0x46, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x02,       //   1023, 16 bits, input
    0x09, 0x31, 0x26, 0xFF, 0x00, 0x46, 0xFF, 0x00,             // Y, logical and physical 0..255
    0x75, 0x08, 0x81, 0x02, 0xC0,                               //   8 bits, input; end
    0x05, 0x09, 0x19, 0x01, 0x29, 0x04, 0x25, 0x01, 0x45, 0x01, // Buttons 1..4, 0..1
    0x75, 0x01, 0x95, 0x04, 0x81, 0x02,                         //   one bit each, input
    0x75, 0x04, 0x95, 0x01, 0x81, 0x01,                         // padding
    0x05, 0x07, 0x19, 0x04, 0x29, 0x07, 0x25, 0x03,             // Keyboard a..d, logical 0..3
    0x75, 0x08, 0x95, 0x02, 0x81, 0x00,                         //   two slots, array input
    0x05, 0x08, 0x19, 0x01, 0x29, 0x02, 0x25, 0x01,             // LEDs 1..2
    0x75, 0x01, 0x95, 0x02, 0x91, 0x02,                         //   output
    0x75, 0x06, 0x95, 0x01, 0x91, 0x01,                         // output padding
    0x06, 0x00, 0xFF, 0x09, 0x10, 0xA1, 0x02,                   // Vendor page, usage 0x10, Logical
    0x09, 0x11, 0x26, 0xFF, 0x00, 0x35, 0x64, 0x46, 0x63, 0x01, // usage 0x11, 0..255, 100..355
    0x75, 0x08, 0x95, 0x01, 0xB1, 0x02, 0xC0,                   //   feature; end
    0x09, 0x12, 0xA1, 0x07,                                     // usage 0x12, collection type 7
    0x09, 0x13, 0x15, 0xF6, 0x25, 0x0A, 0x35, 0xDB, 0x45, 0x25, // usage 0x13, -10..10, -37..37
    0x65, 0x11, 0x55, 0x0E, 0x81, 0x02, 0xC0,                   //   unit, exponent, input; end
    0xC0};

// The input report of kStick.
inline std::vector<uint8_t> stickReport(uint16_t x, uint8_t y, uint8_t buttons = 0, uint8_t key1 = 0,
                                        uint8_t key2 = 0, int8_t tilt = 0)
{
    return {uint8_t(x & 0xFF), uint8_t(x >> 8), y, buttons, key1, key2, uint8_t(tilt)};
}

// The stick (vendor 0x1234, product 0x5678, release 1.00, serial "S-1") and a TRV-Q8 at a bus and
// first port.
inline hidtest::DeviceSpec stickAt(uint32_t busNumber, uint32_t port)
{
    return {0x1234, 0x5678, 0x0100, busNumber, {port}, "Test Maker", "Stick", "S-1", kStick};
}

inline hidtest::DeviceSpec trvAt(uint32_t busNumber, uint32_t port)
{
    return {.busNumber = busNumber, .ports = {port}, .product = "TRV-Q8"};
}

// Lists the testbed's devices through the library, and drops the list and the manager after each test.
class HidLibTest : public ::testing::Test
{
protected:
    void TearDown() override;

    int add(const hidtest::DeviceSpec& description) { return bed.addDevice(description); }
    void buildList() { ASSERT_TRUE(HIDBuildDeviceList(0, 0)); }
    // The listed device at the bus and first port, or null.
    static IOHIDDeviceRef device(uint32_t busNumber, uint32_t port);
    // The device's first element of the usage, or null.
    static IOHIDElementRef element(IOHIDDeviceRef device, UInt32 usagePage, UInt32 usage);
    // Sends an input report and waits until the element shows the physical value.
    void sendAndWait(int deviceNumber, const std::vector<uint8_t>& report, IOHIDElementRef element,
                     double value);

    hidtest::HidTestbed bed;
};

// The stick, listed at bus 1, port 2, with its X and Y axes and its tilt.
class StickTest : public HidLibTest
{
protected:
    void SetUp() override;

    int stickNumber = 0;
    IOHIDDeviceRef stick = nullptr;
    IOHIDElementRef x = nullptr, y = nullptr, tilt = nullptr;
};

} // namespace hidlibtest
