#include "DeviceNode.h"

#include "../native/SystemResources.h"

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
        return hidraw::isShortOfResources(error) ? kIOReturnNoResources : kIOReturnError;
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
    // A shortage passes and says nothing of the node: it is not named as one that cannot be opened.
    if (!node && !hidraw::isShortOfResources(error))
    {
        openFailure = error;
        reportOpenFailure();
    }
    if (!node)
        return openError(error);
    openFailure = 0;
    if (!startReading(std::move(node)))
        return kIOReturnNoResources;
    openers = 1;
    return kIOReturnSuccess;
}

// Under lifecycleLock. When no reader can be started the node is closed again, as if its reader
// had ended at once.
bool DeviceNode::startReading(std::shared_ptr<hidraw::HidrawNode> opened)
{
    {
        // One step for markRemoved(): the node it marks gone is the one that is read.
        std::lock_guard<std::mutex> guard(holdersLock);
        reading = true;
        {
            std::lock_guard<std::mutex> nodeGuard(nodeLock);
            this->opened = opened;
        }
        if (removed)
            opened->markGone(); // gone while it opened
    }
    if (inputSide.start(std::move(opened)))
        return true;
    forgetOpenedNode();
    readingEnded(false);
    return false;
}

void DeviceNode::forgetOpenedNode()
{
    std::lock_guard<std::mutex> guard(nodeLock);
    opened.reset();
}

void DeviceNode::close()
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    if (openers == 0 || --openers > 0)
        return;
    forgetOpenedNode();
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

// The reader reads a node marked gone to its end and then tells the holders, so that what the
// device wrote before it left reaches them ahead of its removal.
void DeviceNode::markRemoved()
{
    std::lock_guard<std::mutex> guard(holdersLock);
    markRemovedLocked();
}

// Under holdersLock.
void DeviceNode::markRemovedLocked()
{
    if (removed)
        return;
    removed = true;
    if (const auto current = openedNode())
        current->markGone();
    if (!reading)
        tellHolders();
}

// Once a node that has gone has been read to its end, its file goes with its reader: only a send
// under way may still hold it, and fails at once.
void DeviceNode::readingEnded(bool gone)
{
    std::lock_guard<std::mutex> guard(holdersLock);
    reading = false;
    removed = removed || gone;
    if (!removed)
        return;
    forgetOpenedNode();
    tellHolders();
}

// Under holdersLock; a holder already told takes no notice.
void DeviceNode::tellHolders()
{
    for (Holder* holder : holders)
        holder->nodeRemoved();
}

bool DeviceNode::isRemoved() const
{
    std::lock_guard<std::mutex> guard(holdersLock);
    return removed;
}

// One step, so that nobody sees the node gone without udev's word once udev has said it.
void DeviceNode::markRetired()
{
    std::lock_guard<std::mutex> guard(holdersLock);
    retired = true;
    markRemovedLocked();
}

bool DeviceNode::isRetired() const
{
    std::lock_guard<std::mutex> guard(holdersLock);
    return retired;
}

// Another manager may hold the node, or have made it anew at the same place, after this one's
// word: udev's "remove" then "add" of a device that stays plugged in. When a device goes, the
// kernel hangs its node up before udev tells, and its place in sysfs goes with it: a node that
// shows neither is still there, and stays for its other holders, who hear udev's word themselves.
bool DeviceNode::retire(Holder* holder)
{
    const bool answers = stillAnswers();
    std::lock_guard<std::mutex> guard(holdersLock);
    if (std::find(retiredHolders.begin(), retiredHolders.end(), holder) == retiredHolders.end())
        retiredHolders.push_back(holder);
    const bool heldByOthers = std::any_of(
        holders.begin(), holders.end(),
        [&](const Holder* other)
        { return std::find(retiredHolders.begin(), retiredHolders.end(), other) == retiredHolders.end(); });
    if (removed || !answers || !heldByOthers)
    {
        retired = true;
        markRemovedLocked();
        return false;
    }
    return true;
}

bool DeviceNode::stillAnswers()
{
    const auto current = openedNode();
    return !hasLeftTheSystem() && (!current || (!current->isGone() && !current->hasHungUp()));
}

bool DeviceNode::hasLeftTheSystem() const
{
    return hidraw::hasLeftSysfs(node.syspath);
}

bool DeviceNode::isRemovedFor(const Holder* holder) const
{
    std::lock_guard<std::mutex> guard(holdersLock);
    return removed || std::find(retiredHolders.begin(), retiredHolders.end(), holder) != retiredHolders.end();
}

void DeviceNode::addHolder(Holder* holder)
{
    std::lock_guard<std::mutex> guard(holdersLock);
    holders.push_back(holder);
    if (removed && !reading)
        holder->nodeRemoved();
}

void DeviceNode::removeHolder(Holder* holder)
{
    std::lock_guard<std::mutex> guard(holdersLock);
    holders.erase(std::remove(holders.begin(), holders.end(), holder), holders.end());
    retiredHolders.erase(std::remove(retiredHolders.begin(), retiredHolders.end(), holder),
                         retiredHolders.end());
}

} // namespace iohid
