#include "ReportBacklog.h"

#include <algorithm>

namespace iohid
{

ReportBacklog::ReportBacklog(size_t capacity, size_t reportSize)
    : capacity(capacity), reportSize(reportSize), slots(capacity * reportSize), lengths(capacity, 0)
{
}

void ReportBacklog::setKeeping(bool on)
{
    std::lock_guard<std::mutex> guard(lock);
    keeping = on;
    if (!on)
        head = count = 0;
}

void ReportBacklog::clear()
{
    std::lock_guard<std::mutex> guard(lock);
    head = count = 0;
}

// The test of `keeping` shares the lock with the drop, so no report slips in after it.
bool ReportBacklog::keep(std::span<const uint8_t> report)
{
    std::lock_guard<std::mutex> guard(lock);
    if (!keeping || count == capacity)
        return false;
    const size_t slot = (head + count) % capacity;
    lengths[slot] = std::min(report.size(), reportSize);
    std::copy_n(report.begin(), lengths[slot], slots.begin() + std::ptrdiff_t(slot * reportSize));
    ++count;
    return true;
}

bool ReportBacklog::take(std::span<uint8_t> into, size_t& length, uint8_t& firstByte)
{
    std::lock_guard<std::mutex> guard(lock);
    if (count == 0)
        return false;
    const auto report = slots.begin() + std::ptrdiff_t(head * reportSize);
    length = lengths[head];
    firstByte = length > 0 ? report[0] : 0;
    std::copy_n(report, std::min(length, into.size()), into.begin());
    head = (head + 1) % capacity;
    --count;
    return true;
}

} // namespace iohid
