// The layer's object kinds behind the IOKit HID references.
#pragma once

#include "../native/HidrawNode.h"
#include "../native/Udev.h"
#include "DeviceInput.h"
#include "PropertyDictionary.h"
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

class Device final : public cf::Object, private DeviceInput::Listener
{
public:
    static CFTypeID staticTypeID();
    // A device for the node, owned by the caller.
    static Device* create(const hidraw::NodeDescription& node);

    const std::string& syspath() const { return node.syspath; }
    const hidraw::NodeDescription& description() const { return node; }
    const std::vector<Element*>& elements() const { return elementList; }
    bool conformsTo(uint32_t usagePage, uint32_t usage) const;

    CFTypeRef property(CFStringRef key) const;
    bool setProperty(CFStringRef key, CFTypeRef value);
    // True when the properties hold every pair of the matching dictionary.
    bool matches(CFDictionaryRef matching) const;

    // Opens nest. A node that cannot be opened is named on standard error, once, as soon as
    // somebody wants its reports or sends to it: other devices that nobody uses stay silent.
    IOReturn open();
    IOReturn close();
    // The device has gone: sends fail at once, the removal callback is due.
    void markRemoved();
    bool isRemoved() const { return removed.load(); }

    // While a removal callback is armed (registered, and the device scheduled) the device holds
    // itself, so that the callback runs, once, before the device can be freed.
    void schedule(CFRunLoopRef runLoop, CFStringRef mode);
    void unschedule(CFRunLoopRef runLoop, CFStringRef mode);
    void setRemovalCallback(IOHIDCallback callback, void* context);
    void setInputReportCallback(uint8_t* buffer, CFIndex size, IOHIDReportCallback callback, void* context);

    IOReturn sendReport(IOHIDReportType type, CFIndex reportId, const uint8_t* report, CFIndex length);
    IOReturn currentValue(Element* element, IOHIDValueRef* value);

    DeviceInput& input() { return inputSide; }

    // True when a manager's later events are to wait for this removed device's own removal: it is
    // still to be told, and the device can tell it here and now. The waiter is then signalled once
    // the removal has begun or the device is unscheduled; its owner forgets it before it goes.
    bool holdsBackUntilRemovalTold(RunLoopSchedule& waiter);
    void forgetRemovalWaiter(RunLoopSchedule& waiter);

private:
    explicit Device(const hidraw::NodeDescription& node);
    ~Device() override;
    void createElements();
    void reportWaiting() override;
    void nodeGone() override;
    static void deliver(void* device);
    // False when the delivery is to stop: its hold is all that is left of the device, or the
    // device is no longer scheduled where the delivery runs.
    bool deliverReports(const DeliveryHold& hold);
    void deliverRemoval();
    void wakeRemovalWaiters();
    void updateRemovalHold();
    std::shared_ptr<hidraw::HidrawNode> openNode();
    void wantNode();
    void reportOpenFailure();

    const hidraw::NodeDescription node;
    const hidraw::DeviceProperties nativeProperties;
    std::vector<Element*> elementList; // retained

    PropertyStore properties;

    std::mutex lifecycleLock; // open and close, one at a time; the open failure
    int openCount = 0;
    int openFailure = 0; // errno of the last open that failed, 0 after one that worked
    bool wanted = false; // somebody wants its reports or sends to it
    std::mutex nodeLock;
    std::shared_ptr<hidraw::HidrawNode> openedNode;
    std::atomic<bool> removed{false};
    std::atomic<bool> removalDue{false};

    std::mutex callbackLock;
    IOHIDCallback removalCallback = nullptr;
    void* removalContext = nullptr;
    IOHIDReportCallback reportCallback = nullptr;
    uint8_t* reportBuffer = nullptr;
    CFIndex reportBufferSize = 0;
    void* reportContext = nullptr;
    bool removalDelivered = false;
    bool holdsItself = false; // one reference, while the removal callback is armed

    std::mutex waitersLock;
    std::vector<RunLoopSchedule*> removalWaiters;

    std::mutex handedValuesLock;
    std::vector<cf::Owned<IOHIDValueRef>> handedValues; // by element, valid until a newer value
    std::vector<uint64_t> handedGenerations;

    DeviceInput inputSide;
    RunLoopSchedule runLoops;
};

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

// The device behind a registry handle, owned by the caller, or null.
Device* deviceForService(io_service_t service);

// The hidraw devices that managers hold, shared by all of them, so that a node is opened once
// however many managers match it. A device leaves when its last holder lets go.
class DeviceDirectory
{
public:
    static DeviceDirectory& instance();

    // The live device for the node, known or new, held until letGo().
    Device* acquire(const hidraw::NodeDescription& node);
    void letGo(Device* device);
    // Marks removed every device whose node is not among `present`.
    void markAbsentRemoved(const std::vector<hidraw::NodeDescription>& present);

private:
    struct Entry
    {
        Device* device; // retained while held
        int holders;
    };
    std::mutex lock;
    std::vector<Entry> entries;
};

} // namespace iohid
