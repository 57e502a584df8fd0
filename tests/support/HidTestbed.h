// A umockdev testbed with HID devices behind emulated hidraw nodes. The test program must run
// under umockdev-wrapper (updater_add_test(... UMOCKDEV)); it then sees only these devices.
//
//     hidtest::HidTestbed bed;
//     const int device = bed.addDevice({.vendorId = 0x5A1E, .productId = 0x001F});
//     bed.writeInputReport(device, reply);              // the program reads it from its node
//     auto sent = bed.readOutputReport(device, 65);     // what the program wrote, report number first
//     bed.unplug(device);                               // the node fails, udev announces the removal
#pragma once

#include "HidDescriptors.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace hidtest
{

struct DeviceSpec
{
    uint16_t vendorId = 0x5A1E;
    uint16_t productId = 0x001F;
    uint16_t releaseNumber = 0x0100; // bcdDevice
    uint32_t busNumber = 1;
    std::vector<uint32_t> ports = {1}; // hub ports from the root: {2, 4} is "1-2.4" on bus 1
    std::string manufacturer = "Test Maker";
    std::string product = "Test Device";
    std::string serialNumber = "";
    std::vector<uint8_t> reportDescriptor = kVendor64;
};

class HidTestbed
{
public:
    HidTestbed();
    ~HidTestbed();
    HidTestbed(const HidTestbed&) = delete;
    HidTestbed& operator=(const HidTestbed&) = delete;

    // Adds a device and announces its arrival to udev watchers; returns its number.
    int addDevice(const DeviceSpec& spec);

    std::string nodePath(int device) const { return at(device).node; } // "/dev/hidrawN"
    std::string syspath(int device) const { return at(device).nodeSyspath; }

    // Writes one input report into the device's node, as the device would send it. Reports
    // wait in the node, in order, until read. A reader takes as much as its largest input
    // report in one read: write reports shorter than that one at a time (waitUntilInputTaken).
    bool writeInputReport(int device, std::span<const uint8_t> report);
    // Waits until the program has read every input report written so far.
    bool waitUntilInputTaken(int device, std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Reads what the program wrote to the device's node: exactly `length` bytes, or nothing
    // when they do not come in time.
    std::optional<std::vector<uint8_t>>
    readOutputReport(int device, size_t length, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Reads whatever the program wrote and is waiting; returns the byte count.
    size_t drainOutput(int device);

    // The device's node fails as an unplugged hidraw node does (reads and writes fail, poll
    // reports hang-up), without a word from udev.
    void hangUp(int device);
    // The kernel lets the device go before udev says a word: the node hangs up and its file
    // leaves /dev, so that it cannot be opened again.
    void disconnect(int device);
    // udev announces the removal and the device leaves sysfs; the node is left as it is.
    void announceRemoval(int device);
    // Both, as pulling the cable does.
    void unplug(int device);
    // udev announces the node again, as it does once it has set the node up.
    void announceChange(int device);
    // How many descriptors the testbed holds itself, for a test that counts the program's: for
    // each device one end of its node, and the other until it hangs up.
    size_t descriptorsHeld() const;
    // udev announces the node with the action given ("add", "change", "remove") and nothing else
    // happens: the device stays in sysfs and keeps its node, as `udevadm trigger --action=...` does.
    void announce(int device, const char* action);

private:
    struct Device
    {
        std::string usbSyspath, hidSyspath, nodeSyspath, node;
        int fd = -1;    // the device's end of the node, or -1 after a hang-up
        int ptyFd = -1; // the program's end, opened here to see what it has not read yet
        size_t minimumRead = 1;
        bool present = true;
    };

    Device& at(int device) { return devices.at(size_t(device)); }
    const Device& at(int device) const { return devices.at(size_t(device)); }
    std::string rootDir() const;

    UMockdevTestbed* testbed;
    std::vector<Device> devices;
};

} // namespace hidtest
