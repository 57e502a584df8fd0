// CFRunLoop: one per thread. Each mode has its own epoll set holding that mode's descriptors and
// the run loop's wake-up event, so that running a mode waits on exactly its own sources. The
// descriptors belong to the object and close with its last reference, not with its thread.
#include "Kinds.h"
#include "Strings.h"
#include "native/Epoll.h"

#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CFRunLoopLinux.h>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

const CFStringRef kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");
const CFStringRef kCFRunLoopCommonModes = CFSTR("kCFRunLoopCommonModes");

namespace cf
{
namespace
{

using Clock = std::chrono::steady_clock;

constexpr uint64_t kWakeTag = 0;
constexpr int kSpinMicroseconds = 10;

std::string_view modeName(CFStringRef mode)
{
    return textOf(CFRunLoopFiledMode(mode));
}

// Milliseconds for epoll_wait until the deadline, rounded up so that it is never woken early.
int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(milliseconds, 24LL * 3600 * 1000));
}

Clock::time_point deadlineAfter(CFTimeInterval seconds)
{
    constexpr double kLongest = 100.0 * 365 * 24 * 3600; // beyond this, "for ever"
    const double bounded = seconds > 0 ? std::min(seconds, kLongest) : 0.0;
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(bounded));
}

class RunLoop final : public Object
{
public:
    static CFTypeID staticTypeID() { return kRunLoopType; }

    explicit RunLoop(pid_t ownerThread) : Object(staticTypeID()), m_ownerThread(ownerThread) {}

    CFRunLoopRunResult run(std::string_view name, CFTimeInterval seconds, bool returnAfterSourceHandled);
    void stop()
    {
        m_stopRequested.store(true);
        m_wake.signal();
    }
    void wakeUp() { m_wake.signal(); }
    bool isRunningIn(std::string_view name);
    void signalOnRunChange(int eventFd);
    void forgetRunChangeSignal(int eventFd);

    CFRunLoopFdSourceID addSource(int fd, std::string_view name, CFRunLoopFdCallBack callback, void* info);
    void removeSource(CFRunLoopFdSourceID id);
    void perform(std::string_view name, std::function<void()> work);
    // Its thread has ended: pending and later work is dropped, as nothing will run it.
    void finish();
    int pollDescriptor(std::string_view name)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return mode(name).epoll.fd();
    }

private:
    using WorkList = std::vector<std::function<void()>>;
    struct Mode
    {
        os::EpollSet epoll;
        bool woken = false; // the epoll set watches the wake-up event
        WorkList work;
        WorkList spare; // emptied work, kept with its capacity so that posting allocates nothing
    };
    struct Source
    {
        int fd;
        std::string mode;
        CFRunLoopFdCallBack callback;
        void* info;
    };

    // Needs m_lock. Modes live as long as the run loop, so references to them stay valid.
    Mode& mode(std::string_view name);
    void prepare(Mode& mode);
    bool performPostedWork(Mode& mode);
    bool waitAndDispatch(Mode& mode, int timeoutMs);
    int waitBriefSpinFirst(Mode& mode, epoll_event* events, int capacity, int timeoutMs);
    bool dispatch(CFRunLoopFdSourceID id, uint32_t events);
    bool takeStopRequest() { return m_stopRequested.exchange(false); }
    bool onOwnerThread() const { return gettid() == m_ownerThread; }
    void signalRunChange();

    // A run in progress: its mode is the innermost one while it lasts. Its beginning and its end
    // are run changes.
    class Running
    {
    public:
        Running(RunLoop& runLoop, const Mode& mode) : m_runLoop(runLoop)
        {
            m_runLoop.m_runs.push_back(&mode);
            m_runLoop.signalRunChange();
        }
        ~Running()
        {
            m_runLoop.m_runs.pop_back();
            m_runLoop.signalRunChange();
        }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;

    private:
        RunLoop& m_runLoop;
    };

    const pid_t m_ownerThread;
    os::WakeEvent m_wake;
    std::atomic<bool> m_stopRequested{false};
    std::mutex m_lock;
    std::condition_variable m_dispatchDone;
    std::map<std::string, std::unique_ptr<Mode>, std::less<>> m_modes;
    std::unordered_map<CFRunLoopFdSourceID, Source> m_sources;
    std::vector<CFRunLoopFdSourceID> m_dispatching; // sources whose callbacks run now
    CFRunLoopFdSourceID m_nextSource = 1;
    bool m_finished = false;
    std::vector<const Mode*> m_runs; // the modes of the runs in progress, innermost last; owner thread only
    std::vector<int> m_runChangeSignals;
};

RunLoop::Mode& RunLoop::mode(std::string_view name)
{
    auto found = m_modes.find(name);
    if (found == m_modes.end())
        found = m_modes.emplace(std::string(name), nullptr).first;
    auto& slot = found->second;
    if (!slot)
        slot = std::make_unique<Mode>();
    prepare(*slot);
    return *slot;
}

// Needs m_lock. What could not be made for want of descriptors is made at the mode's next use, so
// that a source refused once is not refused for good.
void RunLoop::prepare(Mode& current)
{
    if (!current.woken)
        current.woken = m_wake.open() && current.epoll.open() && current.epoll.add(m_wake.fd(), kWakeTag);
}

CFRunLoopRunResult RunLoop::run(std::string_view name, CFTimeInterval seconds, bool returnAfterSourceHandled)
{
    Mode* current;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        current = &mode(name);
    }
    const Running running(*this, *current);
    const Clock::time_point deadline = deadlineAfter(seconds);
    bool handled = false;
    for (;;)
    {
        handled |= performPostedWork(*current);
        if (takeStopRequest())
            return kCFRunLoopRunStopped;
        if (handled && returnAfterSourceHandled)
            return kCFRunLoopRunHandledSource;
        handled |= waitAndDispatch(*current, millisecondsUntil(deadline));
        if (takeStopRequest())
            return kCFRunLoopRunStopped;
        if (handled && returnAfterSourceHandled)
            return kCFRunLoopRunHandledSource;
        if (Clock::now() >= deadline)
        {
            // Work posted while the sources ran is still served in this pass.
            handled |= performPostedWork(*current);
            return handled && returnAfterSourceHandled ? kCFRunLoopRunHandledSource : kCFRunLoopRunTimedOut;
        }
    }
}

bool RunLoop::isRunningIn(std::string_view name)
{
    if (!onOwnerThread() || m_runs.empty())
        return false;
    std::lock_guard<std::mutex> guard(m_lock);
    const auto found = m_modes.find(name);
    return found != m_modes.end() && found->second.get() == m_runs.back();
}

void RunLoop::signalOnRunChange(int eventFd)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (std::find(m_runChangeSignals.begin(), m_runChangeSignals.end(), eventFd) == m_runChangeSignals.end())
        m_runChangeSignals.push_back(eventFd);
}

void RunLoop::forgetRunChangeSignal(int eventFd)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_runChangeSignals.erase(std::remove(m_runChangeSignals.begin(), m_runChangeSignals.end(), eventFd),
                             m_runChangeSignals.end());
}

// Under the lock, so that a descriptor forgotten is never written to after.
void RunLoop::signalRunChange()
{
    std::lock_guard<std::mutex> guard(m_lock);
    for (const int eventFd : m_runChangeSignals)
    {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t ignored = write(eventFd, &one, sizeof one);
    }
    m_runChangeSignals.clear();
}

bool RunLoop::performPostedWork(Mode& current)
{
    // Every post signals after queueing, so draining first never loses the wake-up of a later post.
    m_wake.drain();
    WorkList work;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        work.swap(current.spare);
        work.swap(current.work);
    }
    for (auto& item : work)
    {
        try
        {
            item();
        }
        catch (...)
        {
            // A failing item must not take the run loop, or the C caller above it, down with it.
        }
    }
    const bool performed = !work.empty();
    work.clear();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (current.spare.capacity() < work.capacity())
            current.spare.swap(work);
    }
    return performed;
}

// Waking a sleeping thread costs tens of microseconds on some machines; what arrives within a
// few microseconds is caught by looking again before going to sleep.
int RunLoop::waitBriefSpinFirst(Mode& current, epoll_event* events, int capacity, int timeoutMs)
{
    if (timeoutMs != 0)
    {
        const Clock::time_point spinUntil = Clock::now() + std::chrono::microseconds(kSpinMicroseconds);
        do
        {
            const int count = current.epoll.wait(events, capacity, 0);
            if (count != 0)
                return count;
        } while (Clock::now() < spinUntil);
    }
    return current.epoll.wait(events, capacity, timeoutMs);
}

bool RunLoop::waitAndDispatch(Mode& current, int timeoutMs)
{
    epoll_event events[32];
    const int count = waitBriefSpinFirst(current, events, 32, timeoutMs);
    bool handled = false;
    for (int i = 0; i < count; ++i)
    {
        if (events[i].data.u64 == kWakeTag)
            m_wake.drain();
        else
            handled |= dispatch(events[i].data.u64, events[i].events);
    }
    return handled;
}

bool RunLoop::dispatch(CFRunLoopFdSourceID id, uint32_t events)
{
    std::unique_lock<std::mutex> lock(m_lock);
    auto found = m_sources.find(id);
    if (found == m_sources.end())
        return false; // removed by an earlier callback of the same wait
    const int fd = found->second.fd;
    const CFRunLoopFdCallBack callback = found->second.callback;
    void* const info = found->second.info;
    m_dispatching.push_back(id);
    lock.unlock();
    callback(fd, events, info);
    lock.lock();
    m_dispatching.erase(std::find(m_dispatching.begin(), m_dispatching.end(), id));
    lock.unlock();
    m_dispatchDone.notify_all();
    return true;
}

CFRunLoopFdSourceID RunLoop::addSource(int fd, std::string_view name, CFRunLoopFdCallBack callback,
                                       void* info)
{
    std::lock_guard<std::mutex> guard(m_lock);
    const CFRunLoopFdSourceID id = m_nextSource;
    if (!mode(name).epoll.add(fd, id))
        return 0;
    ++m_nextSource;
    m_sources.emplace(id, Source{fd, std::string(name), callback, info});
    return id;
}

void RunLoop::removeSource(CFRunLoopFdSourceID id)
{
    std::unique_lock<std::mutex> lock(m_lock);
    auto found = m_sources.find(id);
    if (found == m_sources.end())
        return;
    mode(found->second.mode).epoll.remove(found->second.fd);
    m_sources.erase(found);
    if (onOwnerThread())
        return; // the owner may be inside this very callback
    m_dispatchDone.wait(
        lock,
        [&] { return std::find(m_dispatching.begin(), m_dispatching.end(), id) == m_dispatching.end(); });
}

void RunLoop::perform(std::string_view name, std::function<void()> work)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_finished)
            return; // `work` is freed after the lock is let go
        mode(name).work.push_back(std::move(work));
    }
    m_wake.signal();
}

void RunLoop::finish()
{
    std::vector<WorkList> dropped;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_finished = true;
        for (auto& entry : m_modes)
            dropped.push_back(std::exchange(entry.second->work, {}));
    }
    // Freed outside the lock: freeing a capture may post again.
}

RunLoop* mainRunLoop()
{
    // Lives as long as the process.
    static RunLoop* const instance = new RunLoop(getpid());
    return instance;
}

// A thread's one reference to its own run loop. Whoever retained it too keeps a valid but
// finished run loop once the thread has ended.
class ThreadRunLoop
{
public:
    ThreadRunLoop() : m_runLoop(toRef(new RunLoop(gettid()))) {}
    ~ThreadRunLoop() { get()->finish(); }
    ThreadRunLoop(const ThreadRunLoop&) = delete;
    ThreadRunLoop& operator=(const ThreadRunLoop&) = delete;

    RunLoop* get() const { return static_cast<RunLoop*>(fromRef(m_runLoop.get())); }

private:
    Owned<CFTypeRef> m_runLoop;
};

RunLoop* currentRunLoop()
{
    if (gettid() == getpid())
        return mainRunLoop();
    thread_local ThreadRunLoop own;
    return own.get();
}

} // namespace
} // namespace cf

using cf::RunLoop;

CFTypeID CFRunLoopGetTypeID(void)
{
    return cf::kRunLoopType;
}

CFRunLoopRef CFRunLoopGetCurrent(void)
{
    return cf::toRef<CFRunLoopRef>(cf::currentRunLoop());
}

CFRunLoopRef CFRunLoopGetMain(void)
{
    return cf::toRef<CFRunLoopRef>(cf::mainRunLoop());
}

CFRunLoopRunResult CFRunLoopRunInMode(CFStringRef mode, CFTimeInterval seconds,
                                      Boolean returnAfterSourceHandled)
{
    return cf::currentRunLoop()->run(cf::modeName(mode), seconds, returnAfterSourceHandled);
}

void CFRunLoopRun(void)
{
    while (CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0e10, false) != kCFRunLoopRunStopped)
    {
    }
}

void CFRunLoopStop(CFRunLoopRef runLoop)
{
    if (RunLoop* object = cf::as<RunLoop>(runLoop))
        object->stop();
}

void CFRunLoopWakeUp(CFRunLoopRef runLoop)
{
    if (RunLoop* object = cf::as<RunLoop>(runLoop))
        object->wakeUp();
}

CFRunLoopFdSourceID CFRunLoopAddFdSource(CFRunLoopRef runLoop, int fd, CFStringRef mode,
                                         CFRunLoopFdCallBack callback, void* info)
{
    RunLoop* object = cf::as<RunLoop>(runLoop);
    if (object == nullptr || fd < 0 || callback == nullptr)
        return 0;
    return object->addSource(fd, cf::modeName(mode), callback, info);
}

void CFRunLoopRemoveFdSource(CFRunLoopRef runLoop, CFRunLoopFdSourceID source)
{
    if (RunLoop* object = cf::as<RunLoop>(runLoop))
        object->removeSource(source);
}

void CFRunLoopPerform(CFRunLoopRef runLoop, CFStringRef mode, std::function<void()> work)
{
    RunLoop* object = cf::as<RunLoop>(runLoop);
    if (object != nullptr && work)
        object->perform(cf::modeName(mode), std::move(work));
}

void CFRunLoopPerformFunction(CFRunLoopRef runLoop, CFStringRef mode, void (*function)(void* info),
                              void* info)
{
    if (function != nullptr)
        CFRunLoopPerform(runLoop, mode, [function, info] { function(info); });
}

CFStringRef CFRunLoopFiledMode(CFStringRef mode)
{
    return mode == nullptr || CFEqual(mode, kCFRunLoopCommonModes) ? kCFRunLoopDefaultMode : mode;
}

Boolean CFRunLoopIsRunningInMode(CFRunLoopRef runLoop, CFStringRef mode)
{
    RunLoop* object = cf::as<RunLoop>(runLoop);
    return object != nullptr && object->isRunningIn(cf::modeName(mode));
}

void CFRunLoopSignalOnRunChange(CFRunLoopRef runLoop, int eventFd)
{
    RunLoop* object = cf::as<RunLoop>(runLoop);
    if (object != nullptr && eventFd >= 0)
        object->signalOnRunChange(eventFd);
}

void CFRunLoopForgetRunChangeSignal(CFRunLoopRef runLoop, int eventFd)
{
    if (RunLoop* object = cf::as<RunLoop>(runLoop))
        object->forgetRunChangeSignal(eventFd);
}

int CFRunLoopGetPollDescriptor(CFRunLoopRef runLoop)
{
    RunLoop* object = cf::as<RunLoop>(runLoop);
    return object != nullptr ? object->pollDescriptor(cf::modeName(kCFRunLoopDefaultMode)) : -1;
}
