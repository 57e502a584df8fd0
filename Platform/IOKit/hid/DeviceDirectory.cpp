#include "HidObjects.h"

#include <algorithm>

namespace iohid
{
namespace
{

void releaseAll(const std::vector<Device*>& devices)
{
    for (Device* device : devices)
        device->release();
}

} // namespace

// Never freed: devices may still be open when the process ends.
DeviceDirectory& DeviceDirectory::instance()
{
    static auto* directory = new DeviceDirectory;
    return *directory;
}

Device* DeviceDirectory::deviceFor(const hidraw::NodeDescription& node)
{
    std::vector<Device*> stale;
    Device* found = nullptr;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (auto it = devices.begin(); it != devices.end();)
        {
            Device* device = *it;
            const bool same = device->syspath() == node.syspath;
            if (same && !device->isRemoved() && device->description() == node)
            {
                found = device;
                ++it;
            }
            else if (same || device->isRemoved())
            {
                stale.push_back(device);
                it = devices.erase(it);
            }
            else
            {
                ++it;
            }
        }
        if (found == nullptr)
        {
            found = Device::create(node);
            devices.push_back(found);
        }
        found->retain();
    }
    for (Device* device : stale)
        device->markRemoved();
    releaseAll(stale);
    return found;
}

void DeviceDirectory::prune(const std::vector<hidraw::NodeDescription>& present)
{
    std::vector<Device*> gone;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto isGone = [&](Device* device) {
            return device->isRemoved() || std::none_of(present.begin(), present.end(), [&](const auto& node) {
                       return node.syspath == device->syspath();
                   });
        };
        std::copy_if(devices.begin(), devices.end(), std::back_inserter(gone), isGone);
        devices.erase(std::remove_if(devices.begin(), devices.end(), isGone), devices.end());
    }
    for (Device* device : gone)
        device->markRemoved();
    releaseAll(gone);
}

} // namespace iohid
