#include "DeviceNode.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace iohid
{
namespace
{

// Names each node once, however often it is tried. Only a user may grant access to a node that
// is refused, so that failure says how.
void nameUnopenableNode(const hidraw::NodeDescription& node, const hidraw::DeviceProperties& properties,
                        int error)
{
    static std::mutex lock;
    static std::set<std::string> named;
    std::lock_guard<std::mutex> guard(lock);
    if (!named.insert(node.devnode).second)
        return;
    const bool refused = error == EACCES || error == EPERM;
    std::fprintf(
        stderr, "Cannot open HID device %s (vendor 0x%04x, product 0x%04x): %s%s\n", node.devnode.c_str(),
        properties.vendorId.value_or(0), properties.productId.value_or(0), std::strerror(error),
        refused ? ". A udev rule must give you access to it: see \"Access to the device\" in the README."
                : "");
}

IOReturn openError(int error)
{
    switch (error)
    {
    case EACCES:
    case EPERM:
        return kIOReturnNotPermitted;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return kIOReturnNotAttached;
    default:
        return kIOReturnError;
    }
}

} // namespace

DeviceNode::DeviceNode(const hidraw::NodeDescription& node)
    : node(node), nativeProperties(hidraw::mapDeviceProperties(node.attributes)),
      inputSide(nativeProperties.descriptor, *this)
{
}

IOReturn DeviceNode::open()
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    if (isRemoved())
        return kIOReturnNotAttached;
    if (openers > 0)
    {
        ++openers;
        return kIOReturnSuccess;
    }
    int error = 0;
    auto node = hidraw::HidrawNode::open(this->node.devnode, error);
    openFailure = node ? 0 : error;
    if (!node)
    {
        reportOpenFailure();
        return openError(error);
    }
    {
        std::lock_guard<std::mutex> nodeGuard(nodeLock);
        opened = node;
    }
    if (isRemoved())
        node->markGone(); // gone while it opened, before markRemoved() could see it
    openers = 1;
    inputSide.start(std::move(node));
    return kIOReturnSuccess;
}

void DeviceNode::close()
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    if (openers == 0 || --openers > 0)
        return;
    {
        std::lock_guard<std::mutex> nodeGuard(nodeLock);
        opened.reset();
    }
    inputSide.stop();
}

std::shared_ptr<hidraw::HidrawNode> DeviceNode::openedNode()
{
    std::lock_guard<std::mutex> guard(nodeLock);
    return opened;
}

void DeviceNode::want()
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    wanted = true;
    reportOpenFailure();
}

// Under lifecycleLock.
void DeviceNode::reportOpenFailure()
{
    if (wanted && openFailure != 0)
        nameUnopenableNode(node, nativeProperties, openFailure);
}

// Every holder is told before anybody may see the node removed and go on.
void DeviceNode::markRemoved()
{
    std::lock_guard<std::mutex> guard(holdersLock);
    if (removed)
        return;
    removed = true;
    if (const auto current = openedNode())
        current->markGone();
    for (Holder* holder : holders)
        holder->nodeRemoved();
}

bool DeviceNode::isRemoved() const
{
    std::lock_guard<std::mutex> guard(holdersLock);
    return removed;
}

void DeviceNode::addHolder(Holder* holder)
{
    std::lock_guard<std::mutex> guard(holdersLock);
    holders.push_back(holder);
    if (removed)
        holder->nodeRemoved();
}

void DeviceNode::removeHolder(Holder* holder)
{
    std::lock_guard<std::mutex> guard(holdersLock);
    holders.erase(std::remove(holders.begin(), holders.end(), holder), holders.end());
}

} // namespace iohid
