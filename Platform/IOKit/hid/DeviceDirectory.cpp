#include "HidObjects.h"

#include <algorithm>

namespace iohid
{

// Never freed: devices may still be held when the process ends.
DeviceDirectory& DeviceDirectory::instance()
{
    static auto* directory = new DeviceDirectory;
    return *directory;
}

Device* DeviceDirectory::acquire(const hidraw::NodeDescription& node)
{
    std::vector<Device*> replaced;
    Device* found = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (Entry& entry : entries)
        {
            if (entry.device->syspath() != node.syspath || entry.device->isRemoved())
                continue;
            if (entry.device->description() == node)
            {
                ++entry.holders;
                found = entry.device;
            }
            else
            {
                replaced.push_back(entry.device); // another device now sits at the same place
            }
        }
        if (found == nullptr)
        {
            found = Device::create(node);
            entries.push_back(Entry{found, 1});
        }
    }
    for (Device* device : replaced)
        device->markRemoved();
    return found;
}

void DeviceDirectory::letGo(Device* device)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto entry =
            std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.device == device; });
        if (entry == entries.end() || --entry->holders > 0)
            return;
        entries.erase(entry);
    }
    device->release();
}

void DeviceDirectory::markAbsentRemoved(const std::vector<hidraw::NodeDescription>& present)
{
    std::vector<Device*> absent;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (const Entry& entry : entries)
        {
            const bool listed = std::any_of(present.begin(), present.end(),
                                            [&](const hidraw::NodeDescription& node)
                                            { return node.syspath == entry.device->syspath(); });
            if (!listed)
                absent.push_back(entry.device);
        }
    }
    // Still held by their holders, so alive outside the lock.
    for (Device* device : absent)
        device->markRemoved();
}

} // namespace iohid
