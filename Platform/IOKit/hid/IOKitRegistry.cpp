#include "CFValues.h"
#include "HidObjects.h"
#include "PropertyDictionary.h"

#include <IOKit/IOKitLib.h>

#include <map>

namespace iohid
{
namespace
{

// Registry handles, each naming a hidraw node by its syspath while it is held.
class HandleTable
{
public:
    static HandleTable& instance()
    {
        static auto* table = new HandleTable;
        return *table;
    }

    io_object_t add(const std::string& syspath)
    {
        std::lock_guard<std::mutex> guard(lock);
        const io_object_t handle = next++;
        entries[handle] = Entry{syspath, 1};
        return handle;
    }

    bool retain(io_object_t handle)
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = entries.find(handle);
        if (found == entries.end())
            return false;
        ++found->second.references;
        return true;
    }

    bool release(io_object_t handle)
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = entries.find(handle);
        if (found == entries.end())
            return false;
        if (--found->second.references == 0)
            entries.erase(found);
        return true;
    }

    std::optional<std::string> syspathOf(io_object_t handle)
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto found = entries.find(handle);
        if (found == entries.end())
            return std::nullopt;
        return found->second.syspath;
    }

private:
    struct Entry
    {
        std::string syspath;
        int references;
    };
    std::mutex lock;
    std::map<io_object_t, Entry> entries;
    io_object_t next = 0x1001;
};

bool serviceMatches(const hidraw::NodeDescription& node, CFDictionaryRef matching)
{
    const auto properties = makePropertyDictionary(hidraw::mapDeviceProperties(node.attributes));
    for (const DictionaryEntry& entry : entriesOf(matching))
    {
        if (CFEqual(entry.key, CFSTR(kIOProviderClassKey)))
            continue;
        if (!sameValue(CFDictionaryGetValue(properties.get(), entry.key), entry.value))
            return false;
    }
    return true;
}

bool isHidDeviceClass(CFDictionaryRef matching)
{
    const CFTypeRef providerClass = CFDictionaryGetValue(matching, CFSTR(kIOProviderClassKey));
    return providerClass != nullptr && CFEqual(providerClass, CFSTR("IOHIDDevice"));
}

} // namespace

Device* deviceForService(io_service_t service)
{
    const auto syspath = HandleTable::instance().syspathOf(service);
    if (!syspath)
        return nullptr;
    for (const auto& node : hidraw::enumerateNodes().value_or(std::vector<hidraw::NodeDescription>{}))
    {
        if (node.syspath != *syspath)
            continue;
        return Device::create(DeviceDirectory::instance().acquire(node, hidraw::UdevAction::add));
    }
    return nullptr;
}

} // namespace iohid

using namespace iohid;

extern "C"
{

    const mach_port_t kIOMasterPortDefault = MACH_PORT_NULL;
    const mach_port_t kIOMainPortDefault = MACH_PORT_NULL;

    CFMutableDictionaryRef IOServiceMatching(const char* name)
    {
        if (name == nullptr)
            return nullptr;
        CFMutableDictionaryRef matching = CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        const auto className = makeString(name);
        if (matching != nullptr && className)
            CFDictionarySetValue(matching, CFSTR(kIOProviderClassKey), className.get());
        return matching;
    }

    io_service_t IOServiceGetMatchingService(mach_port_t, CFDictionaryRef matching)
    {
        if (matching == nullptr)
            return IO_OBJECT_NULL;
        const cf::Owned<CFDictionaryRef> consumed(matching);
        if (!isHidDeviceClass(matching))
            return IO_OBJECT_NULL;
        for (const auto& node : hidraw::enumerateNodes().value_or(std::vector<hidraw::NodeDescription>{}))
            if (serviceMatches(node, matching))
                return HandleTable::instance().add(node.syspath);
        return IO_OBJECT_NULL;
    }

    kern_return_t IOObjectRelease(io_object_t object)
    {
        return HandleTable::instance().release(object) ? kIOReturnSuccess : kIOReturnBadArgument;
    }

    kern_return_t IOObjectRetain(io_object_t object)
    {
        return HandleTable::instance().retain(object) ? kIOReturnSuccess : kIOReturnBadArgument;
    }

} // extern "C"
