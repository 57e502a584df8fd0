#include "RunLoopSchedule.h"

#include <algorithm>
#include <sys/eventfd.h>
#include <unistd.h>

namespace iohid
{

RunLoopSchedule::RunLoopSchedule(Handler handler, void* owner, int extraFd)
    : handler(handler), owner(owner), wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), extraFd(extraFd)
{
}

RunLoopSchedule::~RunLoopSchedule()
{
    removeAll();
    if (wakeFd >= 0)
        ::close(wakeFd);
}

void RunLoopSchedule::add(CFRunLoopRef runLoop, CFStringRef mode)
{
    if (runLoop == nullptr || mode == nullptr || wakeFd < 0)
        return;
    std::lock_guard<std::mutex> guard(lock);
    if (!entries.empty() && entries.front().runLoop != runLoop)
        return;
    for (const Entry& entry : entries)
        if (CFEqual(entry.mode, mode))
            return;
    Entry entry{runLoop, static_cast<CFStringRef>(CFRetain(mode)), 0, 0};
    CFRetain(runLoop);
    entry.wakeSource = CFRunLoopAddFdSource(runLoop, wakeFd, mode, fired, this);
    if (extraFd >= 0)
        entry.extraSource = CFRunLoopAddFdSource(runLoop, extraFd, mode, fired, this);
    entries.push_back(entry);
}

void RunLoopSchedule::release(const Entry& entry)
{
    CFRunLoopRemoveFdSource(entry.runLoop, entry.wakeSource);
    if (entry.extraSource != 0)
        CFRunLoopRemoveFdSource(entry.runLoop, entry.extraSource);
    CFRelease(entry.mode);
    CFRelease(entry.runLoop);
}

void RunLoopSchedule::remove(CFRunLoopRef runLoop, CFStringRef mode)
{
    std::vector<Entry> removed;
    {
        std::lock_guard<std::mutex> guard(lock);
        const auto matches = [&](const Entry& entry)
        { return entry.runLoop == runLoop && mode != nullptr && CFEqual(entry.mode, mode); };
        std::copy_if(entries.begin(), entries.end(), std::back_inserter(removed), matches);
        entries.erase(std::remove_if(entries.begin(), entries.end(), matches), entries.end());
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
    [[maybe_unused]] const ssize_t ignored = ::write(wakeFd, &one, sizeof one);
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
