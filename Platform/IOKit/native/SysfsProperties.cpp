#include "SysfsProperties.h"

#include <algorithm>
#include <charconv>

namespace hidraw
{
namespace
{

constexpr uint32_t kBusUsb = 0x03;
constexpr uint32_t kBusBluetooth = 0x05;
constexpr uint32_t kBusVirtual = 0x06;
constexpr uint32_t kBusI2c = 0x18;
constexpr uint32_t kBusSpi = 0x1C;

std::string_view trimmed(std::string_view text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::string> nonEmpty(std::string_view text)
{
    text = trimmed(text);
    if (text.empty())
        return std::nullopt;
    return std::string(text);
}

struct HidId
{
    uint32_t bus = 0, vendor = 0, product = 0;
};

std::optional<HidId> parseHidId(std::string_view text)
{
    const size_t first = text.find(':');
    const size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    const auto bus = parseNumber(text.substr(0, first), 16);
    const auto vendor = parseNumber(text.substr(first + 1, second - first - 1), 16);
    const auto product = parseNumber(text.substr(second + 1), 16);
    if (!bus || !vendor || !product)
        return std::nullopt;
    return HidId{*bus, *vendor & 0xFFFF, *product & 0xFFFF};
}

std::optional<std::vector<uint32_t>> parsePorts(std::string_view devpath)
{
    std::vector<uint32_t> ports;
    while (!devpath.empty())
    {
        const size_t dot = devpath.find('.');
        const auto port = parseNumber(devpath.substr(0, dot), 10);
        if (!port)
            return std::nullopt;
        ports.push_back(*port);
        devpath = dot == std::string_view::npos ? std::string_view() : devpath.substr(dot + 1);
    }
    return ports;
}

// A device on another bus, such as Bluetooth through a USB adapter, finds the adapter as its USB
// ancestor: those attributes describe the adapter, not the device.
NodeAttributes withoutUsbAncestor(NodeAttributes attributes)
{
    attributes.idVendor.clear();
    attributes.idProduct.clear();
    attributes.bcdDevice.clear();
    attributes.manufacturer.clear();
    attributes.product.clear();
    attributes.serial.clear();
    attributes.busnum.clear();
    attributes.devpath.clear();
    return attributes;
}

} // namespace

std::optional<uint32_t> parseNumber(std::string_view text, int base)
{
    text = trimmed(text);
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

uint32_t composeLocationId(uint32_t busNumber, std::span<const uint32_t> ports)
{
    uint32_t location = std::min<uint32_t>(busNumber, 0xFF) << 24;
    int shift = 20;
    for (uint32_t port : ports)
    {
        if (port == 0 || shift < 0)
            break;
        location |= std::min<uint32_t>(port, 0xF) << shift;
        shift -= 4;
    }
    return location;
}

std::optional<uint32_t> composeLocationId(std::string_view busnum, std::string_view devpath)
{
    const auto bus = parseNumber(busnum, 10);
    const auto ports = parsePorts(trimmed(devpath));
    if (!bus || !ports)
        return std::nullopt;
    return composeLocationId(*bus, *ports);
}

std::optional<std::string> transportName(uint32_t hidBus)
{
    switch (hidBus)
    {
    case kBusUsb:
        return "USB";
    case kBusBluetooth:
        return "Bluetooth";
    case kBusVirtual:
        return "Virtual";
    case kBusI2c:
        return "I2C";
    case kBusSpi:
        return "SPI";
    default:
        return std::nullopt;
    }
}

std::optional<UsagePair> DeviceProperties::primaryUsage() const
{
    if (descriptor.applicationUsages.empty())
        return std::nullopt;
    return descriptor.applicationUsages.front();
}

DeviceProperties mapDeviceProperties(const NodeAttributes& given)
{
    DeviceProperties properties;
    const auto hidId = parseHidId(given.hidId);
    const NodeAttributes attributes = hidId && hidId->bus != kBusUsb ? withoutUsbAncestor(given) : given;
    if (hidId)
    {
        properties.vendorId = hidId->vendor;
        properties.productId = hidId->product;
        properties.transport = transportName(hidId->bus);
    }
    if (const auto vendor = parseNumber(attributes.idVendor, 16))
        properties.vendorId = *vendor;
    if (const auto product = parseNumber(attributes.idProduct, 16))
        properties.productId = *product;
    if (!attributes.idVendor.empty() && !properties.transport)
        properties.transport = "USB";
    // bcdDevice is binary-coded decimal, written in hex: "0123" is release 1.23.
    properties.versionNumber = parseNumber(attributes.bcdDevice, 16);
    properties.locationId = composeLocationId(attributes.busnum, attributes.devpath);
    properties.manufacturer = nonEmpty(attributes.manufacturer);
    properties.product = nonEmpty(attributes.product);
    if (!properties.product)
        properties.product = nonEmpty(attributes.hidName);
    properties.serialNumber = nonEmpty(attributes.serial);
    if (!properties.serialNumber)
        properties.serialNumber = nonEmpty(attributes.hidUniq);
    properties.descriptor = parseReportDescriptor(attributes.reportDescriptor);
    return properties;
}

} // namespace hidraw
