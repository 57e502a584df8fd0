#include "RunLoopSchedule.h"

#include <algorithm>
#include <cstdio>
#include <sys/eventfd.h>
#include <unistd.h>

namespace iohid
{
namespace
{

bool sameMode(CFStringRef a, CFStringRef b)
{
    return CFEqual(CFRunLoopFiledMode(a), CFRunLoopFiledMode(b));
}

int makeWakeUp()
{
    return eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

} // namespace

RunLoopSchedule::RunLoopSchedule(const char* kind, Handler handler, void* owner, int extraFd)
    : kind(kind), handler(handler), owner(owner), wakeFd(makeWakeUp()), extraFd(extraFd)
{
}

RunLoopSchedule::~RunLoopSchedule()
{
    removeAll();
    if (const int fd = wakeFd.load(); fd >= 0)
        ::close(fd);
}

void RunLoopSchedule::add(CFRunLoopRef runLoop, CFStringRef mode)
{
    if (runLoop == nullptr || mode == nullptr)
        return;
    std::lock_guard<std::mutex> guard(lock);
    if (!makeWakeUpIfMissing())
        return refuse("it has no wake-up descriptor");
    if (!entries.empty() && entries.front().runLoop != runLoop)
        return refuse("it is scheduled on another run loop; unschedule it from that one first");
    for (const Entry& entry : entries)
        if (sameMode(entry.mode, mode))
            return;
    Entry entry{runLoop, mode, 0, 0};
    if (!watch(entry))
        return refuse("the run loop cannot watch it");
    CFRetain(entry.runLoop);
    CFRetain(entry.mode);
    entries.push_back(entry);
}

// Under the lock. A wake-up that could not be made for want of descriptors is made at the next
// schedule: nothing could signal it before, as nothing was scheduled.
bool RunLoopSchedule::makeWakeUpIfMissing()
{
    if (wakeFd.load() < 0)
        wakeFd.store(makeWakeUp());
    return wakeFd.load() >= 0;
}

// Both sources or neither.
bool RunLoopSchedule::watch(Entry& entry)
{
    entry.wakeSource = CFRunLoopAddFdSource(entry.runLoop, wakeFd, entry.mode, fired, this);
    if (entry.wakeSource == 0)
        return false;
    if (extraFd < 0)
        return true;
    entry.extraSource = CFRunLoopAddFdSource(entry.runLoop, extraFd, entry.mode, fired, this);
    if (entry.extraSource != 0)
        return true;
    CFRunLoopRemoveFdSource(entry.runLoop, entry.wakeSource);
    return false;
}

void RunLoopSchedule::refuse(const char* why) const
{
    std::fprintf(stderr, "%s: not scheduled: %s.\n", kind, why);
}

void RunLoopSchedule::release(const Entry& entry)
{
    CFRunLoopRemoveFdSource(entry.runLoop, entry.wakeSource);
    if (entry.extraSource != 0)
        CFRunLoopRemoveFdSource(entry.runLoop, entry.extraSource);
    CFRelease(entry.mode);
    CFRelease(entry.runLoop);
}

// Under the lock, so that a signal asked for after a new schedule is kept: leaving a run loop
// takes its run-change signal along, and the descriptor may close after it.
void RunLoopSchedule::forgetRunChangeIfEmpty(CFRunLoopRef runLoop)
{
    if (entries.empty())
        CFRunLoopForgetRunChangeSignal(runLoop, wakeFd);
}

void RunLoopSchedule::remove(CFRunLoopRef runLoop, CFStringRef mode)
{
    std::vector<Entry> removed;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto matches = [&](const Entry& entry)
        { return entry.runLoop == runLoop && mode != nullptr && sameMode(entry.mode, mode); };
        std::copy_if(entries.begin(), entries.end(), std::back_inserter(removed), matches);
        entries.erase(std::remove_if(entries.begin(), entries.end(), matches), entries.end());
        if (!removed.empty())
            forgetRunChangeIfEmpty(runLoop);
    }
    // Outside the lock: removing waits for a handler running on the other run loop.
    for (const Entry& entry : removed)
        release(entry);
}

void RunLoopSchedule::removeAll()
{
    std::vector<Entry> removed;
    {
        std::lock_guard<std::mutex> guard(lock);
        removed.swap(entries);
        if (!removed.empty())
            forgetRunChangeIfEmpty(removed.front().runLoop);
    }
    for (const Entry& entry : removed)
        release(entry);
}

bool RunLoopSchedule::isScheduled() const
{
    std::lock_guard<std::mutex> guard(lock);
    return !entries.empty();
}

bool RunLoopSchedule::runsHereNow() const
{
    const CFRunLoopRef here = CFRunLoopGetCurrent();
    std::lock_guard<std::mutex> guard(lock);
    return std::any_of(entries.begin(), entries.end(),
                       [&](const Entry& entry)
                       { return entry.runLoop == here && CFRunLoopIsRunningInMode(here, entry.mode); });
}

void RunLoopSchedule::signal()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeFd.load(), &one, sizeof one);
}

// Only while scheduled here, so that the last entry's release forgets it.
void RunLoopSchedule::signalOnRunChange()
{
    const CFRunLoopRef here = CFRunLoopGetCurrent();
    std::lock_guard<std::mutex> guard(lock);
    if (!entries.empty() && entries.front().runLoop == here)
        CFRunLoopSignalOnRunChange(here, wakeFd);
}

void RunLoopSchedule::fired(int fd, UInt32, void* info)
{
    auto* self = static_cast<RunLoopSchedule*>(info);
    if (fd == self->wakeFd)
    {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t ignored = ::read(fd, &count, sizeof count);
    }
    // The handler may free the owner and this schedule with it: nothing may follow it.
    self->handler(self->owner);
}

} // namespace iohid
