#include "HidTestbed.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <termios.h>
#include <thread>
#include <umockdev.h>
#include <unistd.h>
#include <utility>

namespace hidtest
{
namespace
{

constexpr int kHidrawMajor = 245;

std::string hex(unsigned value, int digits, bool upper = true)
{
    char text[16];
    std::snprintf(text, sizeof text, upper ? "%0*X" : "%0*x", digits, value);
    return text;
}

// The ioctl of libc is the preload's, which refuses tty requests on emulated nodes.
int bytesWaiting(int fd)
{
    int count = 0;
    return syscall(SYS_ioctl, fd, FIONREAD, &count) == 0 ? count : -1;
}

// The testbed takes each connection to an emulated node in the background, with a descriptor of
// its own: a request it answers is waited for, so that a test that leaves the process no
// descriptor to spare never catches the testbed halfway, which it cannot survive.
void waitUntilTheTestbedTakesTheNode(int fd)
{
    int count = 0;
    ::ioctl(fd, FIONREAD, &count);
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

// The kernel numbers each HID device anew for as long as it runs, so that a syspath never names
// two devices; so do the testbeds of one process.
unsigned nextHidDeviceNumber()
{
    static std::atomic<unsigned> last{0};
    return ++last;
}

// The hub ports from the root as the "devpath" attribute writes them: "2.4".
std::string devpath(const DeviceSpec& spec)
{
    std::ostringstream path;
    for (size_t i = 0; i < spec.ports.size(); ++i)
        path << (i > 0 ? "." : "") << spec.ports[i];
    return path.str();
}

// The umockdev description of a USB device, its interface, its HID device and its hidraw node.
std::string describe(const DeviceSpec& spec, const std::string& usb, const std::string& hid,
                     const std::string& node, int index)
{
    std::ostringstream descriptor, text;
    for (uint8_t byte : spec.reportDescriptor)
        descriptor << hex(byte, 2);
    text << "P: " << usb
         << "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=" << hex(spec.vendorId, 4, false)
         << "\nA: idProduct=" << hex(spec.productId, 4, false)
         << "\nA: bcdDevice=" << hex(spec.releaseNumber, 4, false) << "\nA: busnum=" << spec.busNumber
         << "\nA: devpath=" << devpath(spec) << "\nA: manufacturer=" << spec.manufacturer << "\nA: product="
         << spec.product
         // A USB device without a serial number has no such attribute at all.
         << (spec.serialNumber.empty() ? "" : "\nA: serial=" + spec.serialNumber)
         << "\n\nP: " << hid.substr(0, hid.rfind('/'))
         << "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n\nP: " << hid
         << "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:" << hex(spec.vendorId, 8) << ":" << hex(spec.productId, 8)
         << "\nE: HID_NAME=" << spec.manufacturer << " " << spec.product
         << "\nE: HID_UNIQ=" << spec.serialNumber << "\nH: report_descriptor=" << descriptor.str()
         << "\n\nP: " << node << "\nN: hidraw" << index << "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/hidraw"
         << index << "\nA: dev=" << kHidrawMajor << ":" << index << "\n";
    return text.str();
}

bool hasThreadNamed(const std::string& name)
{
    DIR* tasks = ::opendir("/proc/self/task");
    bool found = false;
    while (dirent* task = tasks != nullptr && !found ? ::readdir(tasks) : nullptr)
    {
        std::ifstream comm(std::string("/proc/self/task/") + task->d_name + "/comm");
        std::string threadName;
        found = std::getline(comm, threadName) && threadName == name;
    }
    if (tasks != nullptr)
        ::closedir(tasks);
    return found;
}

// A testbed sets up GLib's worker thread in the background, which takes descriptors as it starts:
// waited for, so that a test that leaves the process no descriptor to spare never catches it
// halfway, which GLib cannot survive. The limit only ends a wait for what never comes.
void waitForGLibsWorker()
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!hasThreadNamed("gmain") && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace

HidTestbed::HidTestbed() : testbed(umockdev_testbed_new())
{
    if (!umockdev_in_mock_environment())
        throw std::runtime_error("HID tests must run under umockdev-wrapper");
    waitForGLibsWorker();
}

HidTestbed::~HidTestbed()
{
    for (Device& device : devices)
        for (int fd : {device.fd, device.ptyFd})
            if (fd >= 0)
                ::close(fd);
    g_object_unref(testbed);
}

std::string HidTestbed::rootDir() const
{
    gchar* root = umockdev_testbed_get_root_dir(testbed);
    const std::string path(root);
    g_free(root);
    return path;
}

int HidTestbed::addDevice(const DeviceSpec& spec)
{
    const int index = int(devices.size());
    const std::string name = std::to_string(spec.busNumber) + "-" + devpath(spec);
    const std::string usb =
        "/devices/pci0000:00/0000:00:14.0/usb" + std::to_string(spec.busNumber) + "/" + name;
    const std::string hid = usb + "/" + name + ":1.0/0003:" + hex(spec.vendorId, 4) + ":" +
                            hex(spec.productId, 4) + "." + hex(nextHidDeviceNumber(), 4);
    const std::string node = hid + "/hidraw/hidraw" + std::to_string(index);

    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, describe(spec, usb, hid, node, index).c_str(), &error))
    {
        const std::string message = error != nullptr ? error->message : "unknown";
        g_clear_error(&error);
        throw std::runtime_error("cannot add a HID device: " + message);
    }

    Device device{"/sys" + usb, "/sys" + hid, "/sys" + node, "/dev/hidraw" + std::to_string(index)};
    device.fd = umockdev_testbed_get_dev_fd(testbed, device.node.c_str());
    // A program started later must not hold the device's end too: the node could never hang up.
    if (device.fd >= 0)
        ::fcntl(device.fd, F_SETFD, FD_CLOEXEC);
    char pty[256] = {};
    if (::readlink((rootDir() + device.node).c_str(), pty, sizeof pty - 1) > 0)
        device.ptyFd = ::open(pty, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (device.fd < 0 || device.ptyFd < 0)
        throw std::runtime_error("the testbed made no node for " + device.node);
    waitUntilTheTestbedTakesTheNode(device.ptyFd);
    devices.push_back(std::move(device));
    return index;
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
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (size_t received = 0; received < length;)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{fd, POLLIN, 0};
        if (fd < 0 || ::poll(&waiting, 1, std::max(0, int(left.count()))) <= 0)
            return std::nullopt;
        const ssize_t count = ::read(fd, report.data() + received, length - received);
        if (count <= 0)
            return std::nullopt;
        received += size_t(count);
    }
    return report;
}

// Reads in large pieces: byte by byte, a program that sends without a pause keeps it reading for
// minutes on a loaded machine.
size_t HidTestbed::drainOutput(int device)
{
    const int fd = at(device).fd;
    size_t total = 0;
    uint8_t piece[4096];
    pollfd waiting{fd, POLLIN, 0};
    while (fd >= 0 && ::poll(&waiting, 1, 0) > 0)
    {
        const ssize_t count = ::read(fd, piece, sizeof piece);
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

void HidTestbed::disconnect(int device)
{
    hangUp(device);
    ::unlink((rootDir() + at(device).node).c_str());
}

void HidTestbed::announceRemoval(int device)
{
    Device& entry = at(device);
    if (!std::exchange(entry.present, false))
        return;
    for (const std::string* path : {&entry.nodeSyspath, &entry.hidSyspath, &entry.usbSyspath})
    {
        umockdev_testbed_uevent(testbed, path->c_str(), "remove");
        umockdev_testbed_remove_device(testbed, path->c_str());
    }
    // umockdev leaves a removed USB device's links under /sys/bus behind, and a device plugged
    // in again at the same port needs them gone.
    const std::string link =
        rootDir() + "/sys/bus/usb/devices/" + entry.usbSyspath.substr(entry.usbSyspath.rfind('/') + 1);
    ::unlink(link.c_str());
    ::unlink((link + ":1.0").c_str());
}

void HidTestbed::unplug(int device)
{
    hangUp(device);
    announceRemoval(device);
}

size_t HidTestbed::descriptorsHeld() const
{
    size_t held = 0;
    for (const Device& device : devices)
        held += size_t(device.fd >= 0) + size_t(device.ptyFd >= 0);
    return held;
}

void HidTestbed::announceChange(int device)
{
    announce(device, "change");
}

void HidTestbed::announce(int device, const char* action)
{
    umockdev_testbed_uevent(testbed, at(device).nodeSyspath.c_str(), action);
}

} // namespace hidtest
