#include "Udev.h"

#include "../../CoreFoundation/native/FileAccess.h"
#include "SystemResources.h"

#include <cerrno>
#include <cstring>
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

// What libudev gave, noting in `shortage` the errno of a value it could not give for want of
// descriptors or memory: a node read then is not read whole.
template <typename Value> Value* noted(Value* value, int& shortage)
{
    if (value == nullptr && isShortOfResources(errno))
        shortage = errno;
    return value;
}

std::vector<uint8_t> readBinaryFile(const std::string& path, int& shortage)
{
    errno = 0;
    const std::optional<std::string> bytes = cf::os::readWholeFile(path);
    if (!bytes && isShortOfResources(errno))
        shortage = errno;
    return bytes ? std::vector<uint8_t>(bytes->begin(), bytes->end()) : std::vector<uint8_t>();
}

void readHidParent(udev_device* hid, NodeAttributes& attributes, int& shortage)
{
    const auto property = [&](const char* name)
    { return text(noted(udev_device_get_property_value(hid, name), shortage)); };
    attributes.hidId = property("HID_ID");
    attributes.hidName = property("HID_NAME");
    attributes.hidUniq = property("HID_UNIQ");
    // The kernel publishes the descriptor in sysfs, readable without opening the device.
    attributes.reportDescriptor =
        readBinaryFile(text(udev_device_get_syspath(hid)) + "/report_descriptor", shortage);
}

void readUsbDevice(udev_device* usb, NodeAttributes& attributes, int& shortage)
{
    const auto attribute = [&](const char* name)
    { return text(noted(udev_device_get_sysattr_value(usb, name), shortage)); };
    attributes.idVendor = attribute("idVendor");
    attributes.idProduct = attribute("idProduct");
    attributes.bcdDevice = attribute("bcdDevice");
    attributes.manufacturer = attribute("manufacturer");
    attributes.product = attribute("product");
    attributes.serial = attribute("serial");
    attributes.busnum = attribute("busnum");
    attributes.devpath = attribute("devpath");
}

// Nothing for a node without a device file. `shortage` is the errno of what could not be read for
// want of descriptors or memory, and stays 0 when the node was read whole.
std::optional<NodeDescription> describe(udev_device* node, int& shortage)
{
    const char* devnode = udev_device_get_devnode(node);
    if (devnode == nullptr)
        return std::nullopt;
    NodeDescription description{text(udev_device_get_syspath(node)), devnode, {}};
    if (udev_device* hid =
            noted(udev_device_get_parent_with_subsystem_devtype(node, "hid", nullptr), shortage))
        readHidParent(hid, description.attributes, shortage);
    if (udev_device* usb =
            noted(udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_device"), shortage))
        readUsbDevice(usb, description.attributes, shortage);
    return description;
}

// The node at the syspath, read whole; nothing when it cannot be, and then errno says why: a
// shortage of descriptors or memory (isShortOfResources), or a node that has gone or has no file.
std::optional<NodeDescription> describeAt(udev* context, const char* syspath)
{
    udev_device* node = udev_device_new_from_syspath(context, syspath);
    if (node == nullptr)
        return std::nullopt;
    int shortage = 0;
    auto description = describe(node, shortage);
    udev_device_unref(node);
    if (shortage != 0)
    {
        errno = shortage;
        return std::nullopt;
    }
    if (!description)
        errno = ENODEV;
    return description;
}

// A node that went meanwhile is left out; one that cannot be read for want of descriptors or
// memory fails the whole list, which would otherwise say that it has gone.
std::optional<std::vector<NodeDescription>> describeAll(udev* context, udev_list_entry* first)
{
    std::vector<NodeDescription> nodes;
    for (udev_list_entry* entry = first; entry != nullptr; entry = udev_list_entry_get_next(entry))
    {
        auto description = describeAt(context, udev_list_entry_get_name(entry));
        if (!description && isShortOfResources(errno))
            return std::nullopt;
        if (description)
            nodes.push_back(std::move(*description));
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

std::optional<NodeDescription> describeNode(const std::string& syspath)
{
    Context context;
    if (context.handle == nullptr)
        return std::nullopt;
    return describeAt(context.handle, syspath.c_str());
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
            int shortage = 0;
            if (auto description = describe(node, shortage))
                event = Event{kind, std::move(*description), shortage == 0};
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
