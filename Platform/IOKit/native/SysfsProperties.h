// Turns the udev and sysfs attributes of a hidraw node's ancestors into the device properties
// the IOKit interface publishes. Pure functions: tests feed them attribute values directly.
#pragma once

#include "ReportDescriptor.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hidraw
{

// What udev tells of one hidraw node, as text, exactly as the attributes read.
struct NodeAttributes
{
    // The HID parent's udev properties.
    std::string hidId{};   // HID_ID: "bus:vendor:product" in hex, e.g. "0003:00005A1E:0000001F"
    std::string hidName{}; // HID_NAME
    std::string hidUniq{}; // HID_UNIQ
    std::vector<uint8_t> reportDescriptor{};

    // The USB device ancestor's attributes; all empty when there is none. Ignored when the HID
    // parent names another bus.
    std::string idVendor{}, idProduct{}, bcdDevice{};
    std::string manufacturer{}, product{}, serial{};
    std::string busnum{};  // decimal
    std::string devpath{}; // the hub ports from the root, e.g. "2.4.1"

    bool operator==(const NodeAttributes&) const = default;
};

struct DeviceProperties
{
    std::optional<uint32_t> vendorId, productId, versionNumber, locationId;
    std::optional<std::string> transport, manufacturer, product, serialNumber;
    ParsedDescriptor descriptor;

    std::optional<UsagePair> primaryUsage() const;
};

DeviceProperties mapDeviceProperties(const NodeAttributes& attributes);

// A USB location as macOS writes it: the bus number in the top byte, then one nibble per
// port from the root down, a 0 nibble ending the path. A bus above 255 and a port above 15
// do not fit their fields and are written as the largest value that does (0xFF, 0xF), so
// such devices still sort after every device at a smaller bus or port, but may share a
// location. Ports beyond the sixth hub level have no nibble left and are dropped.
uint32_t composeLocationId(uint32_t busNumber, std::span<const uint32_t> ports);

// The same from the text of the "busnum" and "devpath" attributes; nothing when either is
// missing or not a number.
std::optional<uint32_t> composeLocationId(std::string_view busnum, std::string_view devpath);

// The transport that HID's bus number names ("USB", "Bluetooth", ...), nothing for others.
std::optional<std::string> transportName(uint32_t hidBus);

// A whole text as a number in the given base; nothing when it is empty or has other characters.
std::optional<uint32_t> parseNumber(std::string_view text, int base);

} // namespace hidraw
