// The layer's object kinds behind the IOKit HID references.
#pragma once

#include "../native/HidrawNode.h"
#include "../native/Udev.h"
#include "DeviceInput.h"
#include "DeviceNode.h"
#include "PropertyDictionary.h"
#include "ReportBacklog.h"
#include "RunLoopSchedule.h"

#include <CoreFoundation/CFObject.h>
#include <IOKit/hid/IOHIDLib.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace iohid
{

class Device;

class Element final : public cf::Object
{
public:
    static CFTypeID staticTypeID();
    Element(Device* device, const hidraw::ParsedElement& parsed, size_t index);

    const hidraw::ParsedElement parsed;
    const size_t index; // among the device's elements

    // The owning device, or null once it has been freed.
    Device* device() const { return owner.load(); }
    void deviceGone() { owner.store(nullptr); }

    CFTypeRef property(CFStringRef key) const;
    bool setProperty(CFStringRef key, CFTypeRef value);
    bool matches(CFDictionaryRef matching) const;

    CFMutableArrayRef children = nullptr; // for collections; elements retained

private:
    ~Element() override;
    std::atomic<Device*> owner;
    PropertyStore properties;
};

class Value final : public cf::Object
{
public:
    static CFTypeID staticTypeID();
    Value(Element* element, uint64_t timestamp, int64_t integer, std::vector<uint8_t> bytes);

    Element* const element; // retained
    const uint64_t timestamp;
    const int64_t integer;
    const std::vector<uint8_t> bytes;

private:
    ~Value() override;
};

// One holder's object of a device: each IOHIDDeviceCreate and each manager makes its own, so
// that what one holder opens, schedules or registers is never seen through another's. The node
// behind it is shared, and tells every object of it that it has gone.
class Device final : public cf::Object, private DeviceInput::ReportSink, private DeviceNode::Holder
{
public:
    static CFTypeID staticTypeID();
    // A new object of the node, owned by the caller.
    static Device* create(std::shared_ptr<DeviceNode> node);

    const std::string& syspath() const { return node->description().syspath; }
    const hidraw::NodeDescription& description() const { return node->description(); }
    const std::vector<Element*>& elements() const { return elementList; }
    bool conformsTo(uint32_t usagePage, uint32_t usage) const;

    CFTypeRef property(CFStringRef key) const;
    bool setProperty(CFStringRef key, CFTypeRef value);
    // True when the properties hold every pair of the matching dictionary.
    bool matches(CFDictionaryRef matching) const;

    // Opens nest, and end with this object: its reports, values, queues and sends need its own.
    IOReturn open();
    IOReturn close();
    // udev has told this object's manager that the device has gone: sends fail at once, and the
    // removal comes due once the reports it wrote before it left have been kept. The node goes for
    // every object of it only when no other holder stands for it or it has gone itself.
    void markRetired();
    bool isRemoved() const { return node->isRemovedFor(this); }

    // While a removal callback is armed (registered, and the device scheduled) the device holds
    // itself, so that the callback runs, once, before the device can be freed.
    void schedule(CFRunLoopRef runLoop, CFStringRef mode);
    void unschedule(CFRunLoopRef runLoop, CFStringRef mode);
    void setRemovalCallback(IOHIDCallback callback, void* context);
    void setInputReportCallback(uint8_t* buffer, CFIndex size, IOHIDReportCallback callback, void* context);

    IOReturn sendReport(IOHIDReportType type, CFIndex reportId, const uint8_t* report, CFIndex length);
    IOReturn currentValue(Element* element, IOHIDValueRef* value);

    // A started queue takes the element values while this object is open.
    void startQueue(QueueBuffer& queue);
    void stopQueue(QueueBuffer& queue);
    size_t maxValueLength() const { return node->input().maxValueLength(); }

    // True when a manager's later events are to wait for this removed device's own removal: it is
    // still to be told, and the device can tell it here and now. The waiter is then signalled once
    // the removal has begun or the device is unscheduled; its owner forgets it before it goes.
    bool holdsBackUntilRemovalTold(RunLoopSchedule& waiter);
    void forgetRemovalWaiter(RunLoopSchedule& waiter);

private:
    // One state, so that whoever sees the removal due sees it due until it is told.
    enum class Removal
    {
        none,
        due,
        told
    };

    // The kernel keeps as many reports per open hidraw file.
    static constexpr size_t kReportBacklog = 64;

    explicit Device(std::shared_ptr<DeviceNode> node);
    ~Device() override;
    void createElements();
    bool keep(std::span<const uint8_t> report) override;
    void waiting() override;
    void nodeRemoved() override;
    void startReading();
    void endReading();
    bool isOpen() const;
    static void deliver(void* device);
    // False when the delivery is to stop: its hold is all that is left of the device, or the
    // device is no longer scheduled where the delivery runs.
    bool deliverReports(const DeliveryHold& hold);
    void deliverRemoval();
    void wakeRemovalWaiters();
    void updateRemovalHold();
    std::shared_ptr<hidraw::HidrawNode> openNode();

    const std::shared_ptr<DeviceNode> node;
    const hidraw::DeviceProperties& nativeProperties;
    std::vector<Element*> elementList; // retained

    PropertyStore properties;

    mutable std::mutex lifecycleLock; // open and close, one at a time; the started queues
    int openCount = 0;
    std::vector<QueueBuffer*> startedQueues;
    std::atomic<Removal> removal{Removal::none};

    std::mutex callbackLock;
    IOHIDCallback removalCallback = nullptr;
    void* removalContext = nullptr;
    IOHIDReportCallback reportCallback = nullptr;
    uint8_t* reportBuffer = nullptr;
    CFIndex reportBufferSize = 0;
    void* reportContext = nullptr;
    bool holdsItself = false; // one reference, while the removal callback is armed

    std::mutex waitersLock;
    std::vector<RunLoopSchedule*> removalWaiters;

    std::mutex handedValuesLock;
    std::vector<cf::Owned<IOHIDValueRef>> handedValues; // by element, valid until a newer value
    std::vector<uint64_t> handedGenerations;

    ReportBacklog backlog;
    RunLoopSchedule runLoops;
};

// Run by every delivery of a device object's callbacks between its look at the removal and its
// hand-over of the reports; null but in tests, which hold a delivery there.
std::atomic<void (*)()>& deliveryBetweenRemovalAndReports();
// Run by every delivery once its hand-over has found no report left, before it may tell the
// removal; null but in tests, which hold a delivery there.
std::atomic<void (*)()>& deliveryAfterReports();

// Run by every manager's listing between its look at the devices present and its taking of them;
// null but in tests, which bring udev's news of other managers in between.
std::atomic<void (*)()>& listingBetweenLookAndTake();

class Queue final : public cf::Object
{
public:
    static CFTypeID staticTypeID();
    Queue(Device* device, size_t depth);

    Device* const device; // retained
    QueueBuffer buffer;

    void add(Element* element);
    void remove(Element* element);
    bool contains(Element* element) const;
    void start();
    void stop();
    IOHIDValueRef copyNext(CFTimeInterval timeout);

private:
    ~Queue() override;
    mutable std::mutex lock;
    std::vector<Element*> watched; // retained
    bool started = false;
};

// A new object of the device behind a registry handle, owned by the caller, or null.
Device* deviceForService(io_service_t service);

// The hidraw nodes that device objects stand for, so that a node is opened and read once however
// many objects stand for it. A node is forgotten once its last object has gone. A syspath names
// one device for as long as the system runs: the kernel numbers each HID device anew.
class DeviceDirectory
{
public:
    static DeviceDirectory& instance();

    // The node for the description as udev lists it or announces it (`action`): the live one,
    // known or new, or the one that has gone from the same place. After udev's removal, a device
    // that is listed or added there is a new one; until then, and for a change, a node that has
    // gone stays gone.
    std::shared_ptr<DeviceNode> acquire(const hidraw::NodeDescription& description,
                                        hidraw::UdevAction action);
    // Marks retired every node that is not among `present` and has left the system since: one
    // that is still there arrived after the listing, and another manager may hold it.
    void retireAbsent(const std::vector<hidraw::NodeDescription>& present);

private:
    std::vector<std::shared_ptr<DeviceNode>> liveNodes();

    std::mutex lock;
    std::vector<std::weak_ptr<DeviceNode>> nodes;
};

} // namespace iohid
