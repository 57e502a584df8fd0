#include "QueueBuffer.h"

#include <algorithm>

namespace iohid
{

QueueBuffer::QueueBuffer(size_t depth, size_t elementCount, size_t maxValueBytes)
    : watched(elementCount, false), slots(depth), lengths(depth, 0)
{
    for (QueuedValue& slot : slots)
        slot.bytes.resize(maxValueBytes);
}

void QueueBuffer::watch(size_t element, bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    if (element < watched.size())
        watched[element] = on;
}

bool QueueBuffer::watches(size_t element) const
{
    std::lock_guard<std::mutex> guard(lock);
    return element < watched.size() && watched[element];
}

void QueueBuffer::push(size_t element, int32_t integer, uint64_t timestamp, std::span<const uint8_t> bytes)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        if (element >= watched.size() || !watched[element] || count == slots.size())
            return;
        const size_t index = (head + count) % slots.size();
        QueuedValue& slot = slots[index];
        slot.element = uint32_t(element);
        slot.integer = integer;
        slot.timestamp = timestamp;
        lengths[index] = std::min(bytes.size(), slot.bytes.size());
        std::copy_n(bytes.begin(), lengths[index], slot.bytes.begin());
        ++count;
    }
    arrived.notify_one();
}

bool QueueBuffer::pop(QueuedValue& value, std::chrono::nanoseconds timeout)
{
    std::unique_lock<std::mutex> guard(lock);
    if (count == 0 &&
        (timeout.count() <= 0 || !arrived.wait_for(guard, timeout, [this] { return count > 0; })))
        return false;
    const QueuedValue& slot = slots[head];
    value.element = slot.element;
    value.integer = slot.integer;
    value.timestamp = slot.timestamp;
    value.bytes.assign(slot.bytes.begin(), slot.bytes.begin() + std::ptrdiff_t(lengths[head]));
    head = (head + 1) % slots.size();
    --count;
    return true;
}

void QueueBuffer::clear()
{
    std::lock_guard<std::mutex> guard(lock);
    head = 0;
    count = 0;
}

} // namespace iohid
