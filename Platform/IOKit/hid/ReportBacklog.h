// The input reports that wait for the run loop: up to a fixed number, in order, each copied
// into the caller's buffer when taken, and only while someone wants them. Nothing is allocated
// after construction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace iohid
{

class ReportBacklog
{
public:
    // Room for `capacity` reports of up to `reportSize` bytes.
    ReportBacklog(size_t capacity, size_t reportSize);

    // Reports are kept only while keeping is on (it starts off). Turning it off drops what waits;
    // no report is kept after that until it is turned on again.
    void setKeeping(bool on);

    // Drops what waits; keeping stays as it is.
    void clear();

    // Keeps a copy of the report (cut to reportSize); false when not keeping, or when full: the
    // newest report gives way, as the kernel's list of a hidraw file does.
    bool keep(std::span<const uint8_t> report);

    // Copies the oldest report into `into`, cut to its size, and gives the report's whole
    // length and its first byte (0 for an empty report). False when none waits.
    bool take(std::span<uint8_t> into, size_t& length, uint8_t& firstByte);

private:
    const size_t capacity;
    const size_t reportSize;
    std::mutex lock;
    bool keeping = false;
    std::vector<uint8_t> slots;
    std::vector<size_t> lengths;
    size_t head = 0;
    size_t count = 0;
};

} // namespace iohid
