// Moves the wall clock of chosen processes, and only their wall clock: the steady clocks, and the
// clocks of every other process (the X server's among them), go on as they were, as on a resume
// from suspend. The shim library (wall_clock_shim) does it for the process it is loaded into,
// through LD_PRELOAD or by being linked in.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wallclock
{
// Names the file whose shift the shim applies, for a process started with it in its environment.
constexpr const char* shiftFileVariable = "WALL_CLOCK_SHIFT_FILE";

// The shift in seconds: the 8 bytes of the file, mapped to be shared with every process that maps
// them; the file is made, holding 0, when it is missing. Null when that cannot be done.
inline std::int64_t* mapShiftFile(const char* path)
{
    const int file = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0)
        return nullptr;
    struct stat status = {};
    const bool sized =
        ::fstat(file, &status) == 0 && (status.st_size >= static_cast<off_t>(sizeof(std::int64_t)) ||
                                        ::ftruncate(file, sizeof(std::int64_t)) == 0);
    void* mapped = sized ? ::mmap(nullptr, sizeof(std::int64_t), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0)
                         : MAP_FAILED;
    ::close(file);
    return mapped == MAP_FAILED ? nullptr : static_cast<std::int64_t*>(mapped);
}

// Sets the shift of the processes started with the shim and shiftFileVariable naming the file.
inline bool shiftThrough(const char* path, std::chrono::seconds shift)
{
    std::int64_t* cell = mapShiftFile(path);
    if (cell == nullptr)
        return false;
    std::atomic_ref<std::int64_t>(*cell).store(shift.count());
    ::munmap(cell, sizeof(std::int64_t));
    return true;
}

// In a process the shim is linked into and that names no shift file: sets its own shift.
void shift(std::chrono::seconds shift);
} // namespace wallclock
