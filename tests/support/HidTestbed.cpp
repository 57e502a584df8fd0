#include "HidTestbed.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <thread>
#include <umockdev.h>
#include <unistd.h>

namespace hidtest
{
namespace
{

constexpr int kHidrawMajor = 245;

std::string hex(unsigned value, int digits, bool upper)
{
    char text[16];
    std::snprintf(text, sizeof text, upper ? "%0*X" : "%0*x", digits, value);
    return text;
}

// The hub ports from the root as the "devpath" attribute writes them: "2.4".
std::string devpath(const DeviceSpec& spec)
{
    std::ostringstream path;
    for (size_t i = 0; i < spec.ports.size(); ++i)
        path << (i > 0 ? "." : "") << spec.ports[i];
    return path.str();
}

std::string usbName(const DeviceSpec& spec)
{
    return std::to_string(spec.busNumber) + "-" + devpath(spec);
}

std::string hexBytes(const std::vector<uint8_t>& bytes)
{
    std::string text;
    for (uint8_t byte : bytes)
        text += hex(byte, 2, true);
    return text;
}

// The ioctl of libc is the preload's, which refuses tty requests on emulated nodes.
int bytesWaiting(int fd)
{
    int count = 0;
    if (syscall(SYS_ioctl, fd, FIONREAD, &count) != 0)
        return -1;
    return count;
}

// The emulated node is a terminal, a stream of bytes: a reader could wake with part of a
// report. With the terminal's minimum read set to the report's size, the node polls readable
// only once a whole report is there, as a hidraw node does.
bool setMinimumRead(int fd, size_t bytes)
{
    termios settings{};
    if (syscall(SYS_ioctl, fd, TCGETS, &settings) != 0)
        return false;
    settings.c_cc[VMIN] = cc_t(std::min<size_t>(bytes, 255));
    settings.c_cc[VTIME] = 0;
    return syscall(SYS_ioctl, fd, TCSETS, &settings) == 0;
}

} // namespace

HidTestbed::HidTestbed() : testbed(umockdev_testbed_new())
{
    if (!umockdev_in_mock_environment())
        throw std::runtime_error("HID tests must run under umockdev-wrapper");
}

HidTestbed::~HidTestbed()
{
    for (Device& device : devices)
    {
        if (device.fd >= 0)
            ::close(device.fd);
        if (device.ptyFd >= 0)
            ::close(device.ptyFd);
    }
    g_object_unref(testbed);
}

HidTestbed::Device& HidTestbed::at(int device)
{
    return devices.at(size_t(device));
}

const HidTestbed::Device& HidTestbed::at(int device) const
{
    return devices.at(size_t(device));
}

int HidTestbed::addDevice(const DeviceSpec& spec)
{
    const int index = int(devices.size());
    const std::string usb =
        "/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(spec.busNumber) + "/" + usbName(spec);
    const std::string hidName = "0003:" + hex(spec.vendorId, 4, true) + ":" + hex(spec.productId, 4, true) +
                                "." + hex(unsigned(index + 1), 4, true);
    const std::string hid = usb + "/" + usbName(spec) + ":1.0/" + hidName;
    const std::string node = hid + "/hidraw/hidraw" + std::to_string(index);

    std::ostringstream description;
    description << "P: " << usb << "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n"
                << "A: idVendor=" << hex(spec.vendorId, 4, false)
                << "\nA: idProduct=" << hex(spec.productId, 4, false)
                << "\nA: bcdDevice=" << hex(spec.releaseNumber, 4, false) << "\nA: busnum=" << spec.busNumber
                << "\nA: devpath=" << devpath(spec) << "\nA: manufacturer=" << spec.manufacturer
                << "\nA: product=" << spec.product << "\nA: serial=" << spec.serialNumber << "\n\n";
    description << "P: " << usb << "/" << usbName(spec)
                << ":1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n\n";
    description << "P: " << hid << "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:" << hex(spec.vendorId, 8, true) << ":"
                << hex(spec.productId, 8, true) << "\nE: HID_NAME=" << spec.manufacturer << " "
                << spec.product << "\nE: HID_UNIQ=" << spec.serialNumber
                << "\nH: report_descriptor=" << hexBytes(spec.reportDescriptor) << "\n\n";
    description << "P: " << node << "\nN: hidraw" << index << "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw"
                << index << "\nA: dev=" << kHidrawMajor << ":" << index << "\n";

    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, description.str().c_str(), &error))
    {
        const std::string message = error != nullptr ? error->message : "unknown";
        g_clear_error(&error);
        throw std::runtime_error("cannot add a HID device: " + message);
    }

    Device device{"/sys" + usb, "/sys" + hid, "/sys" + node, "/dev/hidraw" + std::to_string(index)};
    device.fd = umockdev_testbed_get_dev_fd(testbed, device.node.c_str());
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    char pty[256] = {};
    const std::string link = std::string(root) + device.node;
    g_free(root);
    if (::readlink(link.c_str(), pty, sizeof pty - 1) > 0)
        device.ptyFd = ::open(pty, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (device.fd < 0 || device.ptyFd < 0)
        throw std::runtime_error("the testbed made no node for " + device.node);
    devices.push_back(std::move(device));
    return index;
}

std::string HidTestbed::nodePath(int device) const
{
    return at(device).node;
}

std::string HidTestbed::syspath(int device) const
{
    return at(device).nodeSyspath;
}

bool HidTestbed::writeInputReport(int device, std::span<const uint8_t> report)
{
    Device& entry = at(device);
    if (entry.fd < 0 || report.empty())
        return false;
    if (report.size() != entry.minimumRead)
    {
        if (!waitUntilInputTaken(device) || !setMinimumRead(entry.ptyFd, report.size()))
            return false;
        entry.minimumRead = report.size();
    }
    return ::write(entry.fd, report.data(), report.size()) == ssize_t(report.size());
}

bool HidTestbed::waitUntilInputTaken(int device, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytesWaiting(at(device).ptyFd) > 0)
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

std::optional<std::vector<uint8_t>> HidTestbed::readOutputReport(int device, size_t length,
                                                                 std::chrono::milliseconds timeout)
{
    const int fd = at(device).fd;
    std::vector<uint8_t> report(length);
    size_t received = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fd >= 0 && received < length)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&waiting, 1, int(left.count())) <= 0)
            return std::nullopt;
        const ssize_t count = ::read(fd, report.data() + received, length - received);
        if (count <= 0)
            return std::nullopt;
        received += size_t(count);
    }
    if (received < length)
        return std::nullopt;
    return report;
}

size_t HidTestbed::drainOutput(int device)
{
    const int fd = at(device).fd;
    size_t total = 0;
    uint8_t buffer[4096];
    for (pollfd waiting{fd, POLLIN, 0}; fd >= 0 && ::poll(&waiting, 1, 0) > 0;)
    {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        total += size_t(count);
    }
    return total;
}

void HidTestbed::hangUp(int device)
{
    Device& entry = at(device);
    if (entry.fd >= 0)
        ::close(entry.fd);
    entry.fd = -1;
}

void HidTestbed::announceRemoval(int device)
{
    Device& entry = at(device);
    if (!entry.present)
        return;
    entry.present = false;
    for (const std::string* path : {&entry.nodeSyspath, &entry.hidSyspath, &entry.usbSyspath})
    {
        umockdev_testbed_uevent(testbed, path->c_str(), "remove");
        umockdev_testbed_remove_device(testbed, path->c_str());
    }
    removeBusLinks(entry);
}

// umockdev leaves a removed USB device's links under /sys/bus behind, and a device plugged in
// again at the same port needs them gone.
void HidTestbed::removeBusLinks(const Device& entry)
{
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    const std::string usbDevices = std::string(root) + "/sys/bus/usb/devices/";
    g_free(root);
    const std::string name = entry.usbSyspath.substr(entry.usbSyspath.rfind('/') + 1);
    ::unlink((usbDevices + name).c_str());
    ::unlink((usbDevices + name + ":1.0").c_str());
}

void HidTestbed::announceChange(int device)
{
    umockdev_testbed_uevent(testbed, at(device).nodeSyspath.c_str(), "change");
}

void HidTestbed::unplug(int device)
{
    hangUp(device);
    announceRemoval(device);
}

} // namespace hidtest
