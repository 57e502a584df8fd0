// Stands in for the C library's wall-clock calls, adding the shift that WallClockShift.h describes.
// The shift is read at every call, so that a test can step the clock while the process runs.
#include "WallClockShift.h"

#include <cstdlib>
#include <ctime>
#include <sys/syscall.h>
#include <sys/time.h>

namespace
{
std::int64_t* shiftCell()
{
    static std::int64_t* const cell = []
    {
        static std::int64_t own = 0;
        const char* path = std::getenv(wallclock::shiftFileVariable);
        std::int64_t* shared = path != nullptr ? wallclock::mapShiftFile(path) : nullptr;
        return shared != nullptr ? shared : &own;
    }();
    return cell;
}

std::int64_t shiftSeconds()
{
    return std::atomic_ref<std::int64_t>(*shiftCell()).load();
}

// The kernel's own clock, beneath the C library's entry that this file replaces.
int trueClock(clockid_t clock, timespec* time)
{
    return static_cast<int>(::syscall(SYS_clock_gettime, clock, time));
}

bool isWallClock(clockid_t clock)
{
    return clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE;
}
} // namespace

void wallclock::shift(std::chrono::seconds shift)
{
    std::atomic_ref<std::int64_t>(*shiftCell()).store(shift.count());
}

extern "C" int clock_gettime(clockid_t clock, timespec* time) noexcept
{
    const int result = trueClock(clock, time);
    if (result == 0 && isWallClock(clock))
        time->tv_sec += shiftSeconds();
    return result;
}

extern "C" int gettimeofday(timeval* __restrict time, void* __restrict) noexcept
{
    timespec now = {};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0)
        return -1;
    *time = {now.tv_sec, now.tv_nsec / 1000};
    return 0;
}

extern "C" time_t time(time_t* result) noexcept
{
    timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    if (result != nullptr)
        *result = now.tv_sec;
    return now.tv_sec;
}
