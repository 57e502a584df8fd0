// The hidraw nodes that udev knows: listed now, and announced as they come and go.
#pragma once

#include "SysfsProperties.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct udev;
struct udev_monitor;

namespace hidraw
{

struct NodeDescription
{
    std::string syspath;
    std::string devnode; // "/dev/hidrawN"
    NodeAttributes attributes;

    bool operator==(const NodeDescription&) const = default;
};

// What udev says of a node. A node listed now counts as added.
enum class UdevAction
{
    add,
    change, // announced again, once udev has set it up (its permissions, for one)
    remove
};

// Every hidraw node present now, in udev's order; nothing when udev cannot be asked (for want of
// descriptors or memory, as a rule), rather than a list that leaves some out.
std::optional<std::vector<NodeDescription>> enumerateNodes();

// The node at the syspath as it stands now, read whole; nothing when it cannot be, and then errno
// says why: a shortage of descriptors or memory (isShortOfResources) is worth another try later.
std::optional<NodeDescription> describeNode(const std::string& syspath);

// True once the device's place in sysfs has gone, as it does when the device goes; udev's
// `udevadm trigger --action=remove` leaves it.
bool hasLeftSysfs(const std::string& syspath);

// Announcements of hidraw nodes added and removed, read without blocking from a descriptor
// that polls readable while some are waiting.
class NodeMonitor
{
public:
    // Nothing when udev cannot be watched, and then errno says why.
    static std::unique_ptr<NodeMonitor> create();
    ~NodeMonitor();

    int fd() const;

    struct Event
    {
        UdevAction action;
        NodeDescription node; // for a removal, only the syspath is known
        // False when the node could not be read whole for want of descriptors or memory:
        // describeNode() tells the rest later.
        bool whole = true;
    };

    // The next announcement, or nothing when none is waiting.
    std::optional<Event> receive();

private:
    NodeMonitor(udev* context, udev_monitor* monitor);
    udev* context;
    udev_monitor* monitor;
};

} // namespace hidraw
