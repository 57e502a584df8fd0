#include "CFValues.h"
#include "HidObjects.h"
#include "PropertyDictionary.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace iohid
{
namespace
{

// As long as the kernel gives a USB device to take an interrupt transfer.
constexpr int kSendTimeoutMs = 5000;

bool hasUsagePair(CFDictionaryRef matching, CFTypeRef& page, CFTypeRef& usage)
{
    page = CFDictionaryGetValue(matching, CFSTR(kIOHIDDeviceUsagePageKey));
    usage = CFDictionaryGetValue(matching, CFSTR(kIOHIDDeviceUsageKey));
    return page != nullptr || usage != nullptr;
}

// Only input reports are read: an input waits for its first report, and feature and output
// values are never known here.
IOReturn unreadValueError(const hidraw::ParsedElement& element)
{
    return element.reportKind() == hidraw::ReportKind::input ? kIOReturnNotReady : kIOReturnUnsupported;
}

Device* deviceOf(IOHIDDeviceRef ref)
{
    return cf::as<Device>(ref);
}

} // namespace

std::atomic<void (*)()>& deliveryBetweenRemovalAndReports()
{
    static std::atomic<void (*)()> step{nullptr};
    return step;
}

std::atomic<void (*)()>& deliveryAfterReports()
{
    static std::atomic<void (*)()> step{nullptr};
    return step;
}

CFTypeID Device::staticTypeID()
{
    static const CFTypeID id = cf::registerType("IOHIDDevice");
    return id;
}

Device* Device::create(std::shared_ptr<DeviceNode> node)
{
    auto* device = new Device(std::move(node));
    device->createElements();
    return device;
}

Device::Device(std::shared_ptr<DeviceNode> node)
    : cf::Object(staticTypeID()), node(std::move(node)), nativeProperties(this->node->properties()),
      properties(makePropertyDictionary(nativeProperties)),
      handedValues(nativeProperties.descriptor.elements.size()),
      handedGenerations(nativeProperties.descriptor.elements.size(), 0),
      backlog(kReportBacklog, this->node->input().reportSize()),
      runLoops("IOHIDDevice", &Device::deliver, this)
{
    this->node->addHolder(this);
}

// The node forgets it first, so that no removal reaches it while it goes; the reader lets go of
// it when it stops reading.
Device::~Device()
{
    node->removeHolder(this);
    runLoops.removeAll();
    if (openCount > 0)
    {
        endReading();
        node->close();
    }
    handedValues.clear();
    for (Element* element : elementList)
    {
        element->deviceGone();
        element->release();
    }
}

void Device::createElements()
{
    const auto& parsed = nativeProperties.descriptor.elements;
    for (size_t i = 0; i < parsed.size(); ++i)
        elementList.push_back(new Element(this, parsed[i], i));
    for (Element* element : elementList)
    {
        if (element->parsed.parent < 0)
            continue;
        Element* parent = elementList[size_t(element->parsed.parent)];
        if (parent->children == nullptr)
            parent->children = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        CFArrayAppendValue(parent->children, element);
    }
}

bool Device::conformsTo(uint32_t usagePage, uint32_t usage) const
{
    for (const hidraw::UsagePair& pair : nativeProperties.descriptor.applicationUsages)
        if (pair.usagePage == usagePage && pair.usage == usage)
            return true;
    return false;
}

CFTypeRef Device::property(CFStringRef key) const
{
    return properties.get(key);
}

bool Device::setProperty(CFStringRef key, CFTypeRef value)
{
    return properties.set(key, value);
}

// Every key must hold the same value, except the device usage keys, which match any of the
// device's usage pairs.
bool Device::matches(CFDictionaryRef matching) const
{
    if (matching == nullptr)
        return true;
    for (const DictionaryEntry& entry : entriesOf(matching))
    {
        const auto key = static_cast<CFStringRef>(entry.key);
        if (CFEqual(key, CFSTR(kIOHIDDeviceUsagePageKey)) || CFEqual(key, CFSTR(kIOHIDDeviceUsageKey)))
            continue;
        if (!sameValue(property(key), entry.value))
            return false;
    }
    CFTypeRef page = nullptr, usage = nullptr;
    if (!hasUsagePair(matching, page, usage))
        return true;
    for (const hidraw::UsagePair& pair : nativeProperties.descriptor.applicationUsages)
    {
        const auto pairPage = makeNumber(pair.usagePage);
        const auto pairUsage = makeNumber(pair.usage);
        if ((page == nullptr || sameValue(pairPage.get(), page)) &&
            (usage == nullptr || sameValue(pairUsage.get(), usage)))
            return true;
    }
    return false;
}

IOReturn Device::open()
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    if (isRemoved())
        return kIOReturnNotAttached;
    if (openCount > 0)
    {
        ++openCount;
        return kIOReturnSuccess;
    }
    // Reading first, so that no report read as soon as the node opens passes this object by.
    startReading();
    const IOReturn opened = node->open();
    if (opened != kIOReturnSuccess)
    {
        endReading();
        return opened;
    }
    openCount = 1;
    return kIOReturnSuccess;
}

IOReturn Device::close()
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    if (openCount == 0)
        return kIOReturnNotOpen;
    if (--openCount == 0)
    {
        endReading();
        backlog.clear(); // a holder's close: what it kept is handed to nobody
        node->close();
    }
    return kIOReturnSuccess;
}

// Under lifecycleLock, or in the destructor: this object's report sink and started queues.
void Device::startReading()
{
    node->input().attach(static_cast<DeviceInput::ReportSink*>(this));
    for (QueueBuffer* queue : startedQueues)
        node->input().attach(queue);
}

void Device::endReading()
{
    node->input().detach(static_cast<DeviceInput::ReportSink*>(this));
    for (QueueBuffer* queue : startedQueues)
        node->input().detach(queue);
}

bool Device::isOpen() const
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    return openCount > 0;
}

void Device::startQueue(QueueBuffer& queue)
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    if (std::find(startedQueues.begin(), startedQueues.end(), &queue) != startedQueues.end())
        return;
    startedQueues.push_back(&queue);
    if (openCount > 0)
        node->input().attach(&queue);
}

void Device::stopQueue(QueueBuffer& queue)
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    startedQueues.erase(std::remove(startedQueues.begin(), startedQueues.end(), &queue), startedQueues.end());
    node->input().detach(&queue);
}

// Retired alone, the object takes no report from then on, and is told at once: what it kept
// still goes ahead of the removal.
void Device::markRetired()
{
    if (!node->retire(this))
        return;
    {
        std::lock_guard<std::mutex> guard(lifecycleLock);
        if (openCount > 0)
            endReading();
    }
    nodeRemoved();
}

// Under the node's lock, on any thread.
void Device::nodeRemoved()
{
    Removal expected = Removal::none;
    if (removal.compare_exchange_strong(expected, Removal::due))
        runLoops.signal();
}

bool Device::keep(std::span<const uint8_t> report)
{
    return backlog.keep(report);
}

void Device::waiting()
{
    runLoops.signal();
}

// Signals at once, so that what a delivery left when the device was unscheduled is told now.
void Device::schedule(CFRunLoopRef runLoop, CFStringRef mode)
{
    runLoops.add(runLoop, mode);
    runLoops.signal();
    updateRemovalHold();
}

void Device::unschedule(CFRunLoopRef runLoop, CFStringRef mode)
{
    runLoops.remove(runLoop, mode);
    wakeRemovalWaiters();
    updateRemovalHold();
}

bool Device::holdsBackUntilRemovalTold(RunLoopSchedule& waiter)
{
    {
        std::lock_guard<std::mutex> guard(waitersLock);
        if (std::find(removalWaiters.begin(), removalWaiters.end(), &waiter) == removalWaiters.end())
            removalWaiters.push_back(&waiter);
    }
    if (isRemoved() && removal.load() != Removal::told && runLoops.runsHereNow())
    {
        runLoops.signal(); // a delivery of its own further out may have taken the wake-up already
        return true;
    }
    forgetRemovalWaiter(waiter);
    return false;
}

void Device::forgetRemovalWaiter(RunLoopSchedule& waiter)
{
    std::lock_guard<std::mutex> guard(waitersLock);
    removalWaiters.erase(std::remove(removalWaiters.begin(), removalWaiters.end(), &waiter),
                         removalWaiters.end());
}

void Device::wakeRemovalWaiters()
{
    std::lock_guard<std::mutex> guard(waitersLock);
    for (RunLoopSchedule* waiter : removalWaiters)
        waiter->signal();
    removalWaiters.clear();
}

void Device::setRemovalCallback(IOHIDCallback callback, void* context)
{
    {
        std::lock_guard<std::mutex> guard(callbackLock);
        removalCallback = callback;
        removalContext = context;
    }
    updateRemovalHold();
}

// Called by holders of a reference and by the run loop, never by the reader thread, which holds none.
void Device::updateRemovalHold()
{
    bool letGo = false;
    {
        std::lock_guard<std::mutex> guard(callbackLock);
        const bool armed =
            removalCallback != nullptr && removal.load() != Removal::told && runLoops.isScheduled();
        if (armed && !holdsItself)
            retain();
        letGo = holdsItself && !armed;
        holdsItself = armed;
    }
    if (letGo)
        release(); // last: it may free this device
}

void Device::setInputReportCallback(uint8_t* buffer, CFIndex size, IOHIDReportCallback callback,
                                    void* context)
{
    {
        std::lock_guard<std::mutex> guard(callbackLock);
        reportCallback = callback;
        reportBuffer = buffer;
        reportBufferSize = buffer != nullptr ? std::max<CFIndex>(size, 0) : 0;
        reportContext = context;
        backlog.setKeeping(callback != nullptr);
    }
    if (callback != nullptr)
        node->want();
}

void Device::deliver(void* info)
{
    auto* device = static_cast<Device*>(info);
    const DeliveryHold hold(*device);
    if (!hold)
        return;
    // A removal comes due only after every report read before it has been kept: those go first.
    const bool removalDue = device->removal.load() == Removal::due;
    if (const auto between = deliveryBetweenRemovalAndReports().load())
        between();
    if (device->deliverReports(hold) && removalDue)
        device->deliverRemoval();
}

bool Device::deliverReports(const DeliveryHold& hold)
{
    for (;;)
    {
        if (!runLoops.runsHereNow())
            return false;
        IOHIDReportCallback callback;
        uint8_t* buffer;
        CFIndex size;
        void* context;
        {
            std::lock_guard<std::mutex> guard(callbackLock);
            callback = reportCallback;
            buffer = reportBuffer;
            size = reportBufferSize;
            context = reportContext;
        }
        size_t length = 0;
        uint8_t firstByte = 0;
        if (callback == nullptr || !backlog.take(std::span<uint8_t>(buffer, size_t(size)), length, firstByte))
        {
            if (const auto after = deliveryAfterReports().load())
                after();
            return true;
        }
        const uint32_t reportId = nativeProperties.descriptor.numberedReports ? firstByte : 0;
        callback(context, kIOReturnSuccess, this, kIOHIDReportTypeInput, reportId, buffer, CFIndex(length));
        if (hold.isLastHolder())
            return false;
    }
}

void Device::deliverRemoval()
{
    Removal due = Removal::due;
    if (!removal.compare_exchange_strong(due, Removal::told))
        return;
    wakeRemovalWaiters();
    IOHIDCallback callback;
    void* context;
    {
        std::lock_guard<std::mutex> guard(callbackLock);
        callback = removalCallback;
        context = removalContext;
    }
    if (callback != nullptr)
        callback(context, kIOReturnSuccess, this);
    updateRemovalHold();
}

// Only through this object's own open.
std::shared_ptr<hidraw::HidrawNode> Device::openNode()
{
    std::lock_guard<std::mutex> guard(lifecycleLock);
    return openCount > 0 ? node->openedNode() : nullptr;
}

// Writes the report number first, as hidraw wants it; a numbered report already starts with it.
IOReturn Device::sendReport(IOHIDReportType type, CFIndex reportId, const uint8_t* report, CFIndex length)
{
    if (isRemoved())
        return kIOReturnNotAttached;
    if (type != kIOHIDReportTypeOutput)
        return kIOReturnUnsupported;
    if (length < 0 || (report == nullptr && length > 0) || reportId < 0 || reportId > 0xFF)
        return kIOReturnBadArgument;
    node->want();
    // A node that has gone lets go of its file once it has been read to its end.
    const auto current = openNode();
    if (!current)
        return isRemoved() ? kIOReturnNotAttached : kIOReturnNotOpen;

    const bool startsWithId = reportId != 0 && length > 0 && report[0] == reportId;
    const size_t total = size_t(length) + (startsWithId ? 0 : 1);
    std::array<uint8_t, 1024> small;
    std::vector<uint8_t> large(total > small.size() ? total : 0);
    uint8_t* bytes = large.empty() ? small.data() : large.data();
    if (!startsWithId)
        bytes[0] = uint8_t(reportId);
    if (length > 0)
        std::memcpy(bytes + (startsWithId ? 0 : 1), report, size_t(length));

    switch (current->write(std::span<const uint8_t>(bytes, total), kSendTimeoutMs))
    {
    case 0:
        return kIOReturnSuccess;
    case ENODEV:
        return current->isGone() ? kIOReturnNotAttached : kIOReturnNotOpen;
    case ETIMEDOUT:
        return kIOReturnTimeout;
    default:
        return kIOReturnIOError;
    }
}

IOReturn Device::currentValue(Element* element, IOHIDValueRef* value)
{
    if (element == nullptr || value == nullptr || element->device() != this || element->parsed.isCollection())
        return kIOReturnBadArgument;
    if (!isOpen())
        return kIOReturnNotOpen;
    const size_t index = element->index;
    const DeviceInput& input = node->input();
    std::lock_guard<std::mutex> guard(handedValuesLock);
    if (!handedValues[index] || input.value(index).generation != handedGenerations[index])
    {
        std::vector<uint8_t> bytes;
        const DeviceInput::Value latest = input.value(index, bytes);
        if (!latest.read)
            return unreadValueError(element->parsed);
        handedValues[index].reset(
            cf::toRef<IOHIDValueRef>(new Value(element, latest.timestamp, latest.integer, std::move(bytes))));
        handedGenerations[index] = latest.generation;
    }
    *value = handedValues[index].get();
    return kIOReturnSuccess;
}

} // namespace iohid

using namespace iohid;

extern "C"
{

    CFTypeID IOHIDDeviceGetTypeID(void)
    {
        return Device::staticTypeID();
    }

    IOHIDDeviceRef IOHIDDeviceCreate(CFAllocatorRef, io_service_t service)
    {
        return cf::toRef<IOHIDDeviceRef>(deviceForService(service));
    }

    IOReturn IOHIDDeviceOpen(IOHIDDeviceRef ref, IOOptionBits)
    {
        Device* device = deviceOf(ref);
        return device != nullptr ? device->open() : kIOReturnBadArgument;
    }

    IOReturn IOHIDDeviceClose(IOHIDDeviceRef ref, IOOptionBits)
    {
        Device* device = deviceOf(ref);
        return device != nullptr ? device->close() : kIOReturnBadArgument;
    }

    Boolean IOHIDDeviceConformsTo(IOHIDDeviceRef ref, uint32_t usagePage, uint32_t usage)
    {
        const Device* device = deviceOf(ref);
        return device != nullptr && device->conformsTo(usagePage, usage);
    }

    CFTypeRef IOHIDDeviceGetProperty(IOHIDDeviceRef ref, CFStringRef key)
    {
        const Device* device = deviceOf(ref);
        return device != nullptr ? device->property(key) : nullptr;
    }

    Boolean IOHIDDeviceSetProperty(IOHIDDeviceRef ref, CFStringRef key, CFTypeRef property)
    {
        Device* device = deviceOf(ref);
        return device != nullptr && device->setProperty(key, property);
    }

    CFArrayRef IOHIDDeviceCopyMatchingElements(IOHIDDeviceRef ref, CFDictionaryRef matching, IOOptionBits)
    {
        const Device* device = deviceOf(ref);
        if (device == nullptr)
            return nullptr;
        CFMutableArrayRef found = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        for (Element* element : device->elements())
            if (matching == nullptr || element->matches(matching))
                CFArrayAppendValue(found, element);
        if (CFArrayGetCount(found) == 0)
        {
            CFRelease(found);
            return nullptr;
        }
        return found;
    }

    void IOHIDDeviceScheduleWithRunLoop(IOHIDDeviceRef ref, CFRunLoopRef runLoop, CFStringRef runLoopMode)
    {
        if (Device* device = deviceOf(ref))
            device->schedule(runLoop, runLoopMode);
    }

    void IOHIDDeviceUnscheduleFromRunLoop(IOHIDDeviceRef ref, CFRunLoopRef runLoop, CFStringRef runLoopMode)
    {
        if (Device* device = deviceOf(ref))
            device->unschedule(runLoop, runLoopMode);
    }

    void IOHIDDeviceRegisterRemovalCallback(IOHIDDeviceRef ref, IOHIDCallback callback, void* context)
    {
        if (Device* device = deviceOf(ref))
            device->setRemovalCallback(callback, context);
    }

    void IOHIDDeviceRegisterInputReportCallback(IOHIDDeviceRef ref, uint8_t* report, CFIndex reportLength,
                                                IOHIDReportCallback callback, void* context)
    {
        if (Device* device = deviceOf(ref))
            device->setInputReportCallback(report, reportLength, callback, context);
    }

    IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef ref, IOHIDReportType reportType, CFIndex reportID,
                                  const uint8_t* report, CFIndex reportLength)
    {
        Device* device = deviceOf(ref);
        return device != nullptr ? device->sendReport(reportType, reportID, report, reportLength)
                                 : kIOReturnBadArgument;
    }

    IOReturn IOHIDDeviceGetValue(IOHIDDeviceRef ref, IOHIDElementRef element, IOHIDValueRef* pValue)
    {
        Device* device = deviceOf(ref);
        return device != nullptr ? device->currentValue(cf::as<Element>(element), pValue)
                                 : kIOReturnBadArgument;
    }

} // extern "C"
