// The run loop and modes where an object's callbacks run. Any thread may signal the object; its
// handler then runs on the run loop where it is scheduled, while that loop runs one of its
// modes. Signalling allocates nothing.
#pragma once

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CFRunLoopLinux.h>
#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace iohid
{

class RunLoopSchedule
{
public:
    using Handler = void (*)(void* owner);

    // `extraFd`, when not -1, is watched beside the wake-up and runs the same handler. `kind`
    // names the owner in what is said of a refused schedule.
    RunLoopSchedule(const char* kind, Handler handler, void* owner, int extraFd = -1);
    ~RunLoopSchedule();
    RunLoopSchedule(const RunLoopSchedule&) = delete;
    RunLoopSchedule& operator=(const RunLoopSchedule&) = delete;

    // Schedules on one run loop, in any number of modes: a mode named again, the common modes
    // counting as the default mode, is the same one registration. A second run loop is refused,
    // so that the handler never runs on two threads at once, and so is a mode the run loop cannot
    // watch; either is said on standard error, and nothing is counted as scheduled.
    void add(CFRunLoopRef runLoop, CFStringRef mode);
    // Ends the mode's registration, under whichever name of the mode it was made.
    void remove(CFRunLoopRef runLoop, CFStringRef mode);
    // Unschedules everywhere; once it returns the handler is not running on another thread.
    void removeAll();
    bool isScheduled() const;
    // True when the handler may run here and now: scheduled on the calling thread's run loop, in
    // the mode that loop is running.
    bool runsHereNow() const;

    void signal();
    // Signals once the calling thread's run loop next begins or ends a run: what runs here and
    // now may change then.
    void signalOnRunChange();

private:
    struct Entry
    {
        CFRunLoopRef runLoop;
        CFStringRef mode;
        CFRunLoopFdSourceID wakeSource;
        CFRunLoopFdSourceID extraSource;
    };

    static void fired(int fd, UInt32 events, void* info);
    bool makeWakeUpIfMissing();
    bool watch(Entry& entry);
    void release(const Entry& entry);
    void forgetRunChangeIfEmpty(CFRunLoopRef runLoop);
    void refuse(const char* why) const;

    const char* const kind;
    const Handler handler;
    void* const owner;
    std::atomic<int> wakeFd; // -1 until it can be made
    const int extraFd;
    mutable std::mutex lock;
    std::vector<Entry> entries;
};

// A delivery's own reference to the object it serves, so that the object is never freed inside
// its own delivery: not by a callback that lets it go, nor by another thread that lets go of it
// meanwhile. Empty when the object is already being freed; its destructor then waits for the
// delivery to return, as unscheduling does.
class DeliveryHold
{
public:
    explicit DeliveryHold(const cf::Object& object) : object(object.retainUnlessFreeing() ? &object : nullptr)
    {
    }
    ~DeliveryHold()
    {
        if (object != nullptr)
            object->release(); // last: it may free the object
    }
    DeliveryHold(const DeliveryHold&) = delete;
    DeliveryHold& operator=(const DeliveryHold&) = delete;

    explicit operator bool() const { return object != nullptr; }
    // Every other holder has let go: callbacks are no longer wanted.
    bool isLastHolder() const { return object != nullptr && object->retainCount() == 1; }

private:
    const cf::Object* const object;
};

} // namespace iohid
