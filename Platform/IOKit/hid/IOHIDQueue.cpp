#include "HidObjects.h"

#include <algorithm>
#include <cmath>

namespace iohid
{
namespace
{

std::chrono::nanoseconds toNanoseconds(CFTimeInterval seconds)
{
    constexpr double kLongest = 1e9; // seconds; a longer wait is as good as forever
    if (!(seconds > 0))
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(int64_t(std::min(seconds, kLongest) * 1e9));
}

Queue* queueOf(IOHIDQueueRef ref)
{
    return cf::as<Queue>(ref);
}

} // namespace

CFTypeID Queue::staticTypeID()
{
    static const CFTypeID id = cf::registerType("IOHIDQueue");
    return id;
}

Queue::Queue(Device* device, size_t depth)
    : cf::Object(staticTypeID()), device(device),
      buffer(depth, device->elements().size(), device->maxValueLength())
{
    device->retain();
}

Queue::~Queue()
{
    stop();
    for (Element* element : watched)
        element->release();
    device->release();
}

void Queue::add(Element* element)
{
    std::lock_guard<std::mutex> guard(lock);
    if (element == nullptr || element->device() != device || element->parsed.isCollection() ||
        std::find(watched.begin(), watched.end(), element) != watched.end())
        return;
    element->retain();
    watched.push_back(element);
    buffer.watch(element->index, true);
}

void Queue::remove(Element* element)
{
    std::lock_guard<std::mutex> guard(lock);
    const auto found = std::find(watched.begin(), watched.end(), element);
    if (found == watched.end())
        return;
    buffer.watch(element->index, false);
    watched.erase(found);
    element->release();
}

bool Queue::contains(Element* element) const
{
    std::lock_guard<std::mutex> guard(lock);
    return std::find(watched.begin(), watched.end(), element) != watched.end();
}

void Queue::start()
{
    std::lock_guard<std::mutex> guard(lock);
    if (!started)
        device->startQueue(buffer);
    started = true;
}

void Queue::stop()
{
    std::lock_guard<std::mutex> guard(lock);
    if (started)
        device->stopQueue(buffer);
    started = false;
}

IOHIDValueRef Queue::copyNext(CFTimeInterval timeout)
{
    QueuedValue value;
    if (!buffer.pop(value, toNanoseconds(timeout)))
        return nullptr;
    Element* element = device->elements()[value.element];
    return cf::toRef<IOHIDValueRef>(
        new Value(element, value.timestamp, value.integer, std::move(value.bytes)));
}

} // namespace iohid

using namespace iohid;

extern "C"
{

    CFTypeID IOHIDQueueGetTypeID(void)
    {
        return Queue::staticTypeID();
    }

    IOHIDQueueRef IOHIDQueueCreate(CFAllocatorRef, IOHIDDeviceRef deviceRef, CFIndex depth, IOOptionBits)
    {
        Device* device = cf::as<Device>(deviceRef);
        if (device == nullptr || depth < 1)
            return nullptr;
        return cf::toRef<IOHIDQueueRef>(new Queue(device, size_t(depth)));
    }

    IOHIDDeviceRef IOHIDQueueGetDevice(IOHIDQueueRef ref)
    {
        const Queue* queue = queueOf(ref);
        return queue != nullptr ? cf::toRef<IOHIDDeviceRef>(queue->device) : nullptr;
    }

    CFIndex IOHIDQueueGetDepth(IOHIDQueueRef ref)
    {
        const Queue* queue = queueOf(ref);
        return queue != nullptr ? CFIndex(queue->buffer.depth()) : 0;
    }

    void IOHIDQueueAddElement(IOHIDQueueRef ref, IOHIDElementRef element)
    {
        if (Queue* queue = queueOf(ref))
            queue->add(cf::as<Element>(element));
    }

    void IOHIDQueueRemoveElement(IOHIDQueueRef ref, IOHIDElementRef element)
    {
        if (Queue* queue = queueOf(ref))
            queue->remove(cf::as<Element>(element));
    }

    Boolean IOHIDQueueContainsElement(IOHIDQueueRef ref, IOHIDElementRef element)
    {
        const Queue* queue = queueOf(ref);
        return queue != nullptr && queue->contains(cf::as<Element>(element));
    }

    void IOHIDQueueStart(IOHIDQueueRef ref)
    {
        if (Queue* queue = queueOf(ref))
            queue->start();
    }

    void IOHIDQueueStop(IOHIDQueueRef ref)
    {
        if (Queue* queue = queueOf(ref))
            queue->stop();
    }

    IOHIDValueRef IOHIDQueueCopyNextValueWithTimeout(IOHIDQueueRef ref, CFTimeInterval timeout)
    {
        Queue* queue = queueOf(ref);
        return queue != nullptr ? queue->copyNext(timeout) : nullptr;
    }

    IOHIDValueRef IOHIDQueueCopyNextValue(IOHIDQueueRef ref)
    {
        return IOHIDQueueCopyNextValueWithTimeout(ref, 0);
    }

} // extern "C"
