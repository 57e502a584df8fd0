// The run loops and modes where an object's callbacks run. Any thread may signal the object;
// its handler then runs on each run loop where it is scheduled, while that loop runs in the
// mode. Signalling allocates nothing.
#pragma once

#include <CoreFoundation/CFRunLoopLinux.h>
#include <CoreFoundation/CoreFoundation.h>

#include <mutex>
#include <vector>

namespace iohid
{

class RunLoopSchedule
{
public:
    using Handler = void (*)(void* owner);

    // `extraFd`, when not -1, is watched beside the wake-up and runs the same handler.
    RunLoopSchedule(Handler handler, void* owner, int extraFd = -1);
    ~RunLoopSchedule();
    RunLoopSchedule(const RunLoopSchedule&) = delete;
    RunLoopSchedule& operator=(const RunLoopSchedule&) = delete;

    // Schedules on one run loop, in any number of modes. A second run loop is refused: the
    // handler must never run on two threads at once.
    void add(CFRunLoopRef runLoop, CFStringRef mode);
    void remove(CFRunLoopRef runLoop, CFStringRef mode);
    // Unschedules everywhere; once it returns the handler is not running on another thread.
    void removeAll();
    bool isScheduled() const;

    void signal();

private:
    struct Entry
    {
        CFRunLoopRef runLoop;
        CFStringRef mode;
        CFRunLoopFdSourceID wakeSource;
        CFRunLoopFdSourceID extraSource;
    };

    static void fired(int fd, UInt32 events, void* info);
    static void release(const Entry& entry);

    const Handler handler;
    void* const owner;
    const int wakeFd;
    const int extraFd;
    mutable std::mutex lock;
    std::vector<Entry> entries;
};

// Lets a handler learn that the object it serves was freed by a callback it ran, so that it
// touches nothing of it afterwards.
class DestructionWatch
{
public:
    class Scope
    {
    public:
        explicit Scope(DestructionWatch& watch) : watch(watch), outer(watch.innermost)
        {
            watch.innermost = this;
        }
        ~Scope()
        {
            if (alive)
                watch.innermost = outer;
        }
        bool objectAlive() const { return alive; }

    private:
        friend class DestructionWatch;
        DestructionWatch& watch;
        Scope* outer;
        bool alive = true;
    };

    ~DestructionWatch()
    {
        for (Scope* scope = innermost; scope != nullptr; scope = scope->outer)
            scope->alive = false;
    }

private:
    Scope* innermost = nullptr;
};

} // namespace iohid
