// The storage of an element queue: which elements it watches, and the values waiting in it.
// The device's reader thread pushes without allocating; readers pop, waiting if they wish.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace iohid
{

struct QueuedValue
{
    uint32_t element = 0; // index among the device's elements
    int32_t integer = 0;
    uint64_t timestamp = 0;
    std::vector<uint8_t> bytes;
};

class QueueBuffer
{
public:
    // Room for `depth` values of up to `maxValueBytes` bytes each, for a device of
    // `elementCount` elements.
    QueueBuffer(size_t depth, size_t elementCount, size_t maxValueBytes);

    void watch(size_t element, bool watched);
    bool watches(size_t element) const;

    // Queues a value of a watched element; a full queue drops it.
    void push(size_t element, int32_t integer, uint64_t timestamp, std::span<const uint8_t> bytes);

    // Takes the oldest value, waiting up to `timeout` for one.
    bool pop(QueuedValue& value, std::chrono::nanoseconds timeout);

    void clear();
    size_t depth() const { return slots.size(); }

private:
    mutable std::mutex lock;
    std::condition_variable arrived;
    std::vector<bool> watched;
    std::vector<QueuedValue> slots;
    std::vector<size_t> lengths;
    size_t head = 0;
    size_t count = 0;
};

} // namespace iohid
