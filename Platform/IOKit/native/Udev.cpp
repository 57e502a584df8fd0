#include "Udev.h"

#include "SystemResources.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <libudev.h>
#include <unistd.h>

namespace hidraw
{
namespace
{

std::string text(const char* value)
{
    return value != nullptr ? std::string(value) : std::string();
}

std::vector<uint8_t> readBinaryFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void readHidParent(udev_device* hid, NodeAttributes& attributes)
{
    attributes.hidId = text(udev_device_get_property_value(hid, "HID_ID"));
    attributes.hidName = text(udev_device_get_property_value(hid, "HID_NAME"));
    attributes.hidUniq = text(udev_device_get_property_value(hid, "HID_UNIQ"));
    // The kernel publishes the descriptor in sysfs, readable without opening the device.
    attributes.reportDescriptor = readBinaryFile(text(udev_device_get_syspath(hid)) + "/report_descriptor");
}

void readUsbDevice(udev_device* usb, NodeAttributes& attributes)
{
    const auto attribute = [usb](const char* name) { return text(udev_device_get_sysattr_value(usb, name)); };
    attributes.idVendor = attribute("idVendor");
    attributes.idProduct = attribute("idProduct");
    attributes.bcdDevice = attribute("bcdDevice");
    attributes.manufacturer = attribute("manufacturer");
    attributes.product = attribute("product");
    attributes.serial = attribute("serial");
    attributes.busnum = attribute("busnum");
    attributes.devpath = attribute("devpath");
}

std::optional<NodeDescription> describe(udev_device* node)
{
    const char* devnode = udev_device_get_devnode(node);
    if (devnode == nullptr)
        return std::nullopt;
    NodeDescription description{text(udev_device_get_syspath(node)), devnode, {}};
    if (udev_device* hid = udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr))
        readHidParent(hid, description.attributes);
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_device"))
        readUsbDevice(usb, description.attributes);
    return description;
}

// A node that went meanwhile is left out; one that cannot be read for want of descriptors or
// memory fails the whole list, which would otherwise say that it has gone.
std::optional<std::vector<NodeDescription>> describeAll(udev* context, udev_list_entry* first)
{
    std::vector<NodeDescription> nodes;
    for (udev_list_entry* entry = first; entry != nullptr; entry = udev_list_entry_get_next(entry))
    {
        udev_device* node = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (node == nullptr && isShortOfResources(errno))
            return std::nullopt;
        if (node == nullptr)
            continue;
        if (auto description = describe(node))
            nodes.push_back(std::move(*description));
        udev_device_unref(node);
    }
    return nodes;
}

// 0, or the errno of the failure.
int listenToHidraw(udev_monitor* monitor)
{
    int result = udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr);
    if (result >= 0)
        result = udev_monitor_enable_receiving(monitor);
    return result < 0 ? -result : 0;
}

struct Context
{
    udev* handle = udev_new();
    ~Context()
    {
        if (handle != nullptr)
            udev_unref(handle);
    }
};

} // namespace

std::optional<std::vector<NodeDescription>> enumerateNodes()
{
    Context context;
    if (context.handle == nullptr)
        return std::nullopt;
    udev_enumerate* enumerate = udev_enumerate_new(context.handle);
    if (enumerate == nullptr)
        return std::nullopt;
    std::optional<std::vector<NodeDescription>> nodes;
    if (udev_enumerate_add_match_subsystem(enumerate, "hidraw") >= 0 &&
        udev_enumerate_scan_devices(enumerate) >= 0)
        nodes = describeAll(context.handle, udev_enumerate_get_list_entry(enumerate));
    udev_enumerate_unref(enumerate);
    return nodes;
}

bool hasLeftSysfs(const std::string& syspath)
{
    return ::access(syspath.c_str(), F_OK) != 0 && errno == ENOENT;
}

std::unique_ptr<NodeMonitor> NodeMonitor::create()
{
    udev* context = udev_new();
    if (context == nullptr)
        return nullptr;
    udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
    const int failure = monitor == nullptr ? errno : listenToHidraw(monitor);
    if (monitor == nullptr || failure != 0)
    {
        if (monitor != nullptr)
            udev_monitor_unref(monitor);
        udev_unref(context);
        errno = failure;
        return nullptr;
    }
    return std::unique_ptr<NodeMonitor>(new NodeMonitor(context, monitor));
}

NodeMonitor::NodeMonitor(udev* context, udev_monitor* monitor) : context(context), monitor(monitor) {}

NodeMonitor::~NodeMonitor()
{
    udev_monitor_unref(monitor);
    udev_unref(context);
}

int NodeMonitor::fd() const
{
    return udev_monitor_get_fd(monitor);
}

std::optional<NodeMonitor::Event> NodeMonitor::receive()
{
    for (;;)
    {
        udev_device* node = udev_monitor_receive_device(monitor);
        if (node == nullptr)
            return std::nullopt;
        const std::string action = text(udev_device_get_action(node));
        std::optional<Event> event;
        if (action == "add" || action == "change")
        {
            const UdevAction kind = action == "add" ? UdevAction::add : UdevAction::change;
            if (auto description = describe(node))
                event = Event{kind, std::move(*description)};
        }
        else if (action == "remove")
        {
            event = Event{UdevAction::remove, NodeDescription{text(udev_device_get_syspath(node)), {}, {}}};
        }
        udev_device_unref(node);
        if (event)
            return event;
    }
}

} // namespace hidraw
