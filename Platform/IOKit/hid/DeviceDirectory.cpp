#include "HidObjects.h"

#include <algorithm>

namespace iohid
{

// Never freed: nodes may still be held when the process ends.
DeviceDirectory& DeviceDirectory::instance()
{
    static auto* directory = new DeviceDirectory;
    return *directory;
}

std::shared_ptr<DeviceNode> DeviceDirectory::acquire(const hidraw::NodeDescription& description,
                                                     hidraw::UdevAction action)
{
    std::vector<std::shared_ptr<DeviceNode>> live; // let go once the lock is
    std::lock_guard<std::mutex> guard(lock);
    live = liveNodes();
    std::shared_ptr<DeviceNode> found, gone;
    bool replaced = false;
    for (const auto& node : live)
    {
        if (node->description().syspath != description.syspath)
            continue;
        if (node->isRemoved())
        {
            // Once udev has told of its removal, an "add" (or a listing) at its place is a device
            // arriving afresh; before, it is a stale one, and offers no dead node.
            if (action != hidraw::UdevAction::add || !node->isRetired())
                gone = node;
        }
        else if (node->description() == description)
        {
            found = node;
        }
        else
        {
            node->markRemoved(); // another device now sits at the same place
            replaced = true;
        }
    }
    // A node that has gone stays gone, even when udev announces it once more.
    if (!found && (replaced || !gone))
    {
        found = std::make_shared<DeviceNode>(description);
        nodes.push_back(found);
    }
    return found ? found : gone;
}

void DeviceDirectory::retireAbsent(const std::vector<hidraw::NodeDescription>& present)
{
    std::vector<std::shared_ptr<DeviceNode>> live;
    std::lock_guard<std::mutex> guard(lock);
    live = liveNodes();
    for (const auto& node : live)
    {
        const bool listed = std::any_of(present.begin(), present.end(),
                                        [&](const hidraw::NodeDescription& description)
                                        { return description.syspath == node->description().syspath; });
        if (!listed && node->hasLeftTheSystem())
            node->markRetired();
    }
}

// Under the lock; forgets the nodes that have gone with their last object.
std::vector<std::shared_ptr<DeviceNode>> DeviceDirectory::liveNodes()
{
    std::vector<std::shared_ptr<DeviceNode>> live;
    for (auto entry = nodes.begin(); entry != nodes.end();)
    {
        if (auto node = entry->lock())
        {
            live.push_back(std::move(node));
            ++entry;
        }
        else
        {
            entry = nodes.erase(entry);
        }
    }
    return live;
}

} // namespace iohid
