#include "../native/SystemResources.h"
#include "CFValues.h"
#include "HidObjects.h"

#include <algorithm>

namespace iohid
{

std::atomic<void (*)()>& listingBetweenLookAndTake()
{
    static std::atomic<void (*)()> step{nullptr};
    return step;
}

namespace
{

class Manager final : public cf::Object
{
public:
    static CFTypeID staticTypeID()
    {
        static const CFTypeID id = cf::registerType("IOHIDManager");
        return id;
    }

    // Null when udev cannot be watched for want of descriptors or memory. Elsewhere (no netlink,
    // say) the manager lists the devices present, and hears of no arrival or removal.
    static Manager* create()
    {
        auto monitor = hidraw::NodeMonitor::create();
        if (!monitor && hidraw::isShortOfResources(errno))
            return nullptr;
        return new Manager(std::move(monitor));
    }

    void setCriteria(std::vector<cf::Owned<CFDictionaryRef>> dictionaries);
    IOReturn open();
    IOReturn close();
    CFSetRef copyDevices();
    void setMatchingCallback(IOHIDDeviceCallback callback, void* context);
    void setRemovalCallback(IOHIDDeviceCallback callback, void* context);
    void schedule(CFRunLoopRef runLoop, CFStringRef mode);
    void unschedule(CFRunLoopRef runLoop, CFStringRef mode) { runLoops.remove(runLoop, mode); }

private:
    struct Known
    {
        Device* device; // retained: the manager's own object of the node
        bool matched = false;
        bool opened = false;
        bool awaitsResources = false; // fits, but could not be opened for want of them
    };

    // A node announced while it could not be read whole for want of resources.
    struct Unread
    {
        std::string syspath;
        hidraw::UdevAction action;
    };

    struct Event
    {
        bool arrived;
        Device* device; // retained
    };

    explicit Manager(std::unique_ptr<hidraw::NodeMonitor> udevMonitor)
        : cf::Object(staticTypeID()), monitor(std::move(udevMonitor)),
          runLoops("IOHIDManager", &Manager::deliver, this, monitor ? monitor->fd() : -1)
    {
    }
    ~Manager() override;
    bool fits(const Device& device) const;
    bool watch();
    void takeAnnouncements();
    void keepUnread(const std::string& syspath, hidraw::UdevAction action);
    hidraw::UdevAction takeUnread(const std::string& syspath, hidraw::UdevAction action);
    void retryShortages();
    // The entry of the node at the syspath, live or gone, or the end.
    std::vector<Known>::iterator entryFor(const std::string& syspath);
    void add(const hidraw::NodeDescription& node, hidraw::UdevAction action);
    IOReturn openMatched();
    void closeEntry(Known& entry);
    void removeNode(const std::string& syspath);
    void updateMatch(Known& known);
    void queue(bool arrived, Device* device);
    void announcePresent();
    bool waitsForDeviceToTell(const Event& event);
    static void deliver(void* manager);

    std::mutex lock;
    std::vector<cf::Owned<CFDictionaryRef>> criteria; // empty: every device
    bool watching = false;
    bool opened = false;
    std::vector<Known> known;
    std::vector<Unread> unread;
    std::vector<std::string> removedPlaces; // udev told of their removal: only an "add" offers again
    std::deque<Event> pending;
    IOHIDDeviceCallback matchingCallback = nullptr;
    void* matchingContext = nullptr;
    IOHIDDeviceCallback removalCallback = nullptr;
    void* removalContext = nullptr;

    std::unique_ptr<hidraw::NodeMonitor> monitor;
    RunLoopSchedule runLoops;
};

Manager::~Manager()
{
    runLoops.removeAll();
    close();
    for (const Known& entry : known)
        entry.device->release();
    for (const Event& event : pending)
    {
        event.device->forgetRemovalWaiter(runLoops);
        event.device->release();
    }
}

bool Manager::fits(const Device& device) const
{
    if (criteria.empty())
        return true;
    return std::any_of(criteria.begin(), criteria.end(),
                       [&](const cf::Owned<CFDictionaryRef>& dictionary)
                       { return device.matches(dictionary.get()); });
}

// Listens before listing, so that no arrival falls between the two. False when the devices cannot
// be listed: nothing is taken for gone then, and the next call tries again.
bool Manager::watch()
{
    if (watching)
        return true;
    const auto nodes = hidraw::enumerateNodes();
    if (!nodes)
        return false;
    if (const auto between = listingBetweenLookAndTake().load())
        between();
    watching = true;
    DeviceDirectory::instance().retireAbsent(*nodes);
    for (const auto& node : *nodes)
        add(node, hidraw::UdevAction::add);
    return true;
}

void Manager::takeAnnouncements()
{
    while (monitor)
    {
        const auto event = monitor->receive();
        if (!event)
            break;
        if (!watching)
            continue;
        const std::string& syspath = event->node.syspath;
        if (event->action == hidraw::UdevAction::remove)
        {
            takeUnread(syspath, event->action);
            removeNode(syspath);
        }
        else if (!event->whole)
            keepUnread(syspath, event->action);
        else
            add(event->node, takeUnread(syspath, event->action));
    }
    if (watching)
        retryShortages();
}

// An "add" kept stays one: after udev's removal, it is a device arriving afresh.
void Manager::keepUnread(const std::string& syspath, hidraw::UdevAction action)
{
    for (Unread& node : unread)
        if (node.syspath == syspath)
        {
            if (action == hidraw::UdevAction::add)
                node.action = action;
            return;
        }
    unread.push_back(Unread{syspath, action});
}

// Forgets the node kept unread at the syspath; the action to take it with is "add" when either
// udev's word of it was.
hidraw::UdevAction Manager::takeUnread(const std::string& syspath, hidraw::UdevAction action)
{
    const auto kept = std::find_if(unread.begin(), unread.end(),
                                   [&](const Unread& node) { return node.syspath == syspath; });
    if (kept == unread.end())
        return action;
    if (kept->action == hidraw::UdevAction::add)
        action = kept->action;
    unread.erase(kept);
    return action;
}

// A device is offered only whole: what could not be read or opened for want of resources is
// tried again at each udev event and listing. Under lock.
void Manager::retryShortages()
{
    for (auto node = unread.begin(); node != unread.end();)
    {
        const auto description = hidraw::describeNode(node->syspath);
        if (!description && hidraw::isShortOfResources(errno))
        {
            ++node;
            continue;
        }
        const hidraw::UdevAction action = node->action;
        node = unread.erase(node);
        if (description)
            add(*description, action);
    }
    for (Known& entry : known)
        if (entry.awaitsResources)
            updateMatch(entry);
}

std::vector<Manager::Known>::iterator Manager::entryFor(const std::string& syspath)
{
    return std::find_if(known.begin(), known.end(),
                        [&](const Known& candidate) { return candidate.device->syspath() == syspath; });
}

// udev announces a node again once it has set it up (its permissions, for one): a node that
// could not be opened before is tried again. A node that has gone is never offered again; after
// udev's removal, a device added at its place is another one.
void Manager::add(const hidraw::NodeDescription& node, hidraw::UdevAction action)
{
    const auto entry = entryFor(node.syspath);
    if (entry != known.end())
    {
        if (opened && entry->matched && !entry->opened && !entry->device->isRemoved())
            entry->opened = entry->device->open() == kIOReturnSuccess;
        return;
    }
    const auto removedPlace = std::find(removedPlaces.begin(), removedPlaces.end(), node.syspath);
    if (removedPlace != removedPlaces.end())
    {
        if (action != hidraw::UdevAction::add)
            return;
        removedPlaces.erase(removedPlace);
    }
    Device* device = Device::create(DeviceDirectory::instance().acquire(node, action));
    if (device->isRemoved())
    {
        device->release();
        return;
    }
    known.push_back(Known{device});
    updateMatch(known.back());
}

// The object stays open, so that its reader hands on what the device wrote before it left; it
// closes when its last holder lets it go. udev's word retires this manager's own object: a
// "remove" it replays after its listing took a device that udev has added again since is no
// news to the other managers that hold it, and the "add" that follows offers it afresh here.
void Manager::removeNode(const std::string& syspath)
{
    const auto entry = entryFor(syspath);
    if (entry == known.end())
        return;
    std::erase_if(removedPlaces, hidraw::hasLeftSysfs); // a device that has gone never comes back
    removedPlaces.push_back(syspath);
    entry->device->markRetired();
    if (entry->matched)
        queue(false, entry->device);
    Device* device = entry->device;
    known.erase(entry);
    device->release();
}

// Where the manager is open, a device is offered once it is opened, or once it cannot be for a
// reason of its own (the user may not open it, say): then udev's next word of it tries again.
void Manager::updateMatch(Known& entry)
{
    const bool fitting = fits(*entry.device) && !entry.device->isRemoved();
    entry.awaitsResources = false;
    if (fitting && !entry.matched)
    {
        if (opened)
        {
            const IOReturn result = entry.device->open();
            entry.awaitsResources = result == kIOReturnNoResources;
            if (entry.awaitsResources)
                return;
            entry.opened = result == kIOReturnSuccess;
        }
        entry.matched = true;
        queue(true, entry.device);
    }
    else if (!fitting && entry.matched)
    {
        entry.matched = false;
        closeEntry(entry);
    }
}

// Events wait for the run loop; before the manager is scheduled nobody is told of them.
void Manager::queue(bool arrived, Device* device)
{
    if (!runLoops.isScheduled() || (arrived && matchingCallback == nullptr))
        return;
    device->retain();
    pending.push_back(Event{arrived, device});
    runLoops.signal();
}

void Manager::announcePresent()
{
    for (const Known& entry : known)
        if (entry.matched)
            queue(true, entry.device);
}

void Manager::setCriteria(std::vector<cf::Owned<CFDictionaryRef>> dictionaries)
{
    std::lock_guard<std::mutex> guard(lock);
    criteria = std::move(dictionaries);
    watch();
    takeAnnouncements();
    for (Known& entry : known)
        updateMatch(entry);
}

IOReturn Manager::open()
{
    std::lock_guard<std::mutex> guard(lock);
    if (!watch())
        return kIOReturnNoResources;
    takeAnnouncements();
    const IOReturn result = openMatched();
    if (result == kIOReturnSuccess)
        opened = true;
    return result;
}

// Under lock. A device that cannot be opened for want of resources fails the whole open, and what
// this open opened is closed again; any other failure is the device's own, and udev's next word
// of it tries again.
IOReturn Manager::openMatched()
{
    std::vector<Known*> openedNow;
    for (Known& entry : known)
    {
        if (!entry.matched || entry.opened)
            continue;
        const IOReturn result = entry.device->open();
        if (result == kIOReturnNoResources)
        {
            for (Known* undone : openedNow)
                closeEntry(*undone);
            return result;
        }
        entry.opened = result == kIOReturnSuccess;
        if (entry.opened)
            openedNow.push_back(&entry);
    }
    return kIOReturnSuccess;
}

void Manager::closeEntry(Known& entry)
{
    if (entry.opened)
        entry.device->close();
    entry.opened = false;
}

IOReturn Manager::close()
{
    std::lock_guard<std::mutex> guard(lock);
    if (!opened)
        return kIOReturnNotOpen;
    opened = false;
    for (Known& entry : known)
        closeEntry(entry);
    return kIOReturnSuccess;
}

CFSetRef Manager::copyDevices()
{
    std::lock_guard<std::mutex> guard(lock);
    if (!watching)
        return nullptr;
    takeAnnouncements();
    CFMutableSetRef devices = CFSetCreateMutable(kCFAllocatorDefault, 0, &kCFTypeSetCallBacks);
    for (const Known& entry : known)
        if (entry.matched)
            CFSetAddValue(devices, entry.device);
    return devices;
}

void Manager::setMatchingCallback(IOHIDDeviceCallback callback, void* context)
{
    std::lock_guard<std::mutex> guard(lock);
    matchingCallback = callback;
    matchingContext = context;
    if (callback != nullptr && runLoops.isScheduled())
        announcePresent();
}

void Manager::setRemovalCallback(IOHIDDeviceCallback callback, void* context)
{
    std::lock_guard<std::mutex> guard(lock);
    removalCallback = callback;
    removalContext = context;
}

void Manager::schedule(CFRunLoopRef runLoop, CFStringRef mode)
{
    std::lock_guard<std::mutex> guard(lock);
    const bool first = !runLoops.isScheduled();
    runLoops.add(runLoop, mode);
    if (first && runLoops.isScheduled())
    {
        watch();
        takeAnnouncements();
        announcePresent();
    }
}

// A removed device's own removal goes before the manager's: whoever holds the device then lets
// it go before a later arrival (the same device plugged in again) is announced. Only a device that
// can tell it here and now is waited for; it wakes the manager once it has begun, and so does the
// run loop once the run that could tell it ends or another begins. Under lock.
bool Manager::waitsForDeviceToTell(const Event& event)
{
    if (event.arrived || !event.device->holdsBackUntilRemovalTold(runLoops))
        return false;
    runLoops.signalOnRunChange();
    return true;
}

void Manager::deliver(void* info)
{
    auto* manager = static_cast<Manager*>(info);
    const DeliveryHold hold(*manager);
    if (!hold)
        return;
    for (;;)
    {
        Event event;
        IOHIDDeviceCallback callback;
        void* context;
        {
            std::lock_guard<std::mutex> guard(manager->lock);
            manager->takeAnnouncements();
            if (manager->pending.empty() || !manager->runLoops.runsHereNow() ||
                manager->waitsForDeviceToTell(manager->pending.front()))
                return;
            event = manager->pending.front();
            manager->pending.pop_front();
            callback = event.arrived ? manager->matchingCallback : manager->removalCallback;
            context = event.arrived ? manager->matchingContext : manager->removalContext;
            if (event.arrived && event.device->isRemoved())
                callback = nullptr; // gone before its arrival could be told: never offered
        }
        if (callback != nullptr)
            callback(context, kIOReturnSuccess, manager, cf::toRef<IOHIDDeviceRef>(event.device));
        event.device->release();
        if (hold.isLastHolder())
            return;
    }
}

Manager* managerOf(IOHIDManagerRef ref)
{
    return cf::as<Manager>(ref);
}

std::vector<cf::Owned<CFDictionaryRef>> dictionariesOf(CFArrayRef array)
{
    std::vector<cf::Owned<CFDictionaryRef>> dictionaries;
    const CFIndex count = array != nullptr ? CFArrayGetCount(array) : 0;
    for (CFIndex i = 0; i < count; ++i)
    {
        const CFTypeRef item = CFArrayGetValueAtIndex(array, i);
        if (item != nullptr && CFGetTypeID(item) == CFDictionaryGetTypeID())
            dictionaries.emplace_back(static_cast<CFDictionaryRef>(CFRetain(item)));
    }
    return dictionaries;
}

} // namespace
} // namespace iohid

using namespace iohid;

extern "C"
{

    CFTypeID IOHIDManagerGetTypeID(void)
    {
        return Manager::staticTypeID();
    }

    IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef, IOOptionBits)
    {
        return cf::toRef<IOHIDManagerRef>(Manager::create());
    }

    IOReturn IOHIDManagerOpen(IOHIDManagerRef ref, IOOptionBits)
    {
        Manager* manager = managerOf(ref);
        return manager != nullptr ? manager->open() : kIOReturnBadArgument;
    }

    IOReturn IOHIDManagerClose(IOHIDManagerRef ref, IOOptionBits)
    {
        Manager* manager = managerOf(ref);
        return manager != nullptr ? manager->close() : kIOReturnBadArgument;
    }

    void IOHIDManagerSetDeviceMatching(IOHIDManagerRef ref, CFDictionaryRef matching)
    {
        Manager* manager = managerOf(ref);
        if (manager == nullptr)
            return;
        std::vector<cf::Owned<CFDictionaryRef>> dictionaries;
        if (matching != nullptr && CFDictionaryGetCount(matching) > 0)
            dictionaries.emplace_back(static_cast<CFDictionaryRef>(CFRetain(matching)));
        manager->setCriteria(std::move(dictionaries));
    }

    void IOHIDManagerSetDeviceMatchingMultiple(IOHIDManagerRef ref, CFArrayRef multiple)
    {
        if (Manager* manager = managerOf(ref))
            manager->setCriteria(dictionariesOf(multiple));
    }

    CFSetRef IOHIDManagerCopyDevices(IOHIDManagerRef ref)
    {
        Manager* manager = managerOf(ref);
        return manager != nullptr ? manager->copyDevices() : nullptr;
    }

    void IOHIDManagerRegisterDeviceMatchingCallback(IOHIDManagerRef ref, IOHIDDeviceCallback callback,
                                                    void* context)
    {
        if (Manager* manager = managerOf(ref))
            manager->setMatchingCallback(callback, context);
    }

    void IOHIDManagerRegisterDeviceRemovalCallback(IOHIDManagerRef ref, IOHIDDeviceCallback callback,
                                                   void* context)
    {
        if (Manager* manager = managerOf(ref))
            manager->setRemovalCallback(callback, context);
    }

    void IOHIDManagerScheduleWithRunLoop(IOHIDManagerRef ref, CFRunLoopRef runLoop, CFStringRef runLoopMode)
    {
        if (Manager* manager = managerOf(ref))
            manager->schedule(runLoop, runLoopMode);
    }

    void IOHIDManagerUnscheduleFromRunLoop(IOHIDManagerRef ref, CFRunLoopRef runLoop, CFStringRef runLoopMode)
    {
        if (Manager* manager = managerOf(ref))
            manager->unschedule(runLoop, runLoopMode);
    }

} // extern "C"
