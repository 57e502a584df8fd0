#include <CoreFoundation/CFRunLoopLinux.h>
#include <CoreFoundation/CoreFoundation.h>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace
{

const CFStringRef kOtherMode = CFSTR("OtherMode");

// A pipe whose read end is a run-loop source that counts and drains what arrives.
struct Pipe
{
    int ends[2] = {-1, -1};
    std::atomic<int> fired{0};
    std::thread::id firedOn;

    Pipe() { EXPECT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0); }
    ~Pipe()
    {
        close(ends[0]);
        close(ends[1]);
    }
    void send() { ASSERT_EQ(write(ends[1], "x", 1), 1); }

    static void onReadable(int fd, UInt32, void* info)
    {
        auto* self = static_cast<Pipe*>(info);
        char buffer[16];
        while (read(fd, buffer, sizeof buffer) > 0)
        {
        }
        self->firedOn = std::this_thread::get_id();
        ++self->fired;
    }
};

// Starts a thread that hands out its run loop, retained so that it outlives the thread, and then
// does the given work.
template <typename Work> std::thread startWithRunLoop(CFRunLoopRef& loop, Work work)
{
    std::promise<CFRunLoopRef> ready;
    auto handedOver = ready.get_future();
    std::thread thread(
        [&ready, work]
        {
            CFRunLoopRef own = CFRunLoopGetCurrent();
            CFRetain(own);
            ready.set_value(own);
            work();
        });
    loop = handedOver.get();
    return thread;
}

// A thread that runs its own run loop until told to stop.
class LoopThread
{
public:
    LoopThread()
    {
        m_thread = startWithRunLoop(m_loop,
                                    [this]
                                    {
                                        while (!m_done.load())
                                            CFRunLoopRunInMode(kCFRunLoopDefaultMode, 10.0, false);
                                    });
    }
    ~LoopThread()
    {
        m_done.store(true);
        CFRunLoopStop(m_loop); // the thread may have ended already
        m_thread.join();
        CFRelease(m_loop);
    }
    CFRunLoopRef loop() const { return m_loop; }
    std::thread::id id() const { return m_thread.get_id(); }

private:
    std::atomic<bool> m_done{false};
    std::thread m_thread;
    CFRunLoopRef m_loop = nullptr;
};

bool readable(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) == 1;
}

TEST(RunLoop, EachThreadHasItsOwnAndTheMainThreadHasTheMainOne)
{
    EXPECT_EQ(CFRunLoopGetCurrent(), CFRunLoopGetMain());
    EXPECT_EQ(CFGetTypeID(CFRunLoopGetMain()), CFRunLoopGetTypeID());
    CFRunLoopRef other = nullptr;
    std::thread([&] { other = CFRunLoopGetCurrent(); }).join();
    EXPECT_NE(other, CFRunLoopGetMain());
}

TEST(RunLoop, ASourceFiresOnlyInItsMode)
{
    Pipe pipe;
    CFRunLoopFdSourceID source =
        CFRunLoopAddFdSource(CFRunLoopGetCurrent(), pipe.ends[0], kOtherMode, Pipe::onReadable, &pipe);
    ASSERT_NE(source, 0u);
    pipe.send();
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.02, true), kCFRunLoopRunTimedOut);
    EXPECT_EQ(pipe.fired.load(), 0);
    EXPECT_EQ(CFRunLoopRunInMode(kOtherMode, 1.0, true), kCFRunLoopRunHandledSource);
    EXPECT_EQ(pipe.fired.load(), 1);
    CFRunLoopRemoveFdSource(CFRunLoopGetCurrent(), source);
    pipe.send();
    EXPECT_EQ(CFRunLoopRunInMode(kOtherMode, 0.02, true), kCFRunLoopRunTimedOut);
    EXPECT_EQ(pipe.fired.load(), 1);
}

TEST(RunLoop, CommonModesSourcesFireInTheDefaultMode)
{
    Pipe pipe;
    CFRunLoopFdSourceID source = CFRunLoopAddFdSource(CFRunLoopGetCurrent(), pipe.ends[0],
                                                      kCFRunLoopCommonModes, Pipe::onReadable, &pipe);
    pipe.send();
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, true), kCFRunLoopRunHandledSource);
    EXPECT_EQ(pipe.fired.load(), 1);
    EXPECT_EQ(CFRunLoopAddFdSource(CFRunLoopGetCurrent(), pipe.ends[0], kCFRunLoopDefaultMode,
                                   Pipe::onReadable, &pipe),
              0u); // the same descriptor twice in one mode
    CFRunLoopRemoveFdSource(CFRunLoopGetCurrent(), source);
}

TEST(RunLoop, PostsFromAnotherThreadRunOnTheLoopsThread)
{
    LoopThread thread;
    std::promise<std::thread::id> ranOn;
    CFRunLoopPerform(thread.loop(), kCFRunLoopDefaultMode,
                     [&] { ranOn.set_value(std::this_thread::get_id()); });
    auto result = ranOn.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(result.get(), thread.id());
}

TEST(RunLoop, PostedWorkWaitsForItsModeAndKeepsItsOrder)
{
    std::vector<int> order;
    CFRunLoopRef loop = CFRunLoopGetCurrent();
    CFRunLoopPerform(loop, kOtherMode, [&] { order.push_back(1); });
    CFRunLoopPerform(loop, kOtherMode, [&] { order.push_back(2); });
    std::thread([&] { CFRunLoopPerform(loop, kOtherMode, [&] { order.push_back(3); }); }).join();
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true), kCFRunLoopRunTimedOut);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(CFRunLoopRunInMode(kOtherMode, 0, true), kCFRunLoopRunHandledSource);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(RunLoop, StopFromAnotherThreadEndsRun)
{
    CFRunLoopRef loop = CFRunLoopGetCurrent();
    std::thread stopper(
        [loop]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            CFRunLoopStop(loop);
        });
    const auto start = std::chrono::steady_clock::now();
    CFRunLoopRun();
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(RunLoop, RemovalFromAnotherThreadWaitsForARunningCallback)
{
    LoopThread thread;
    struct Slow
    {
        std::atomic<bool> entered{false}, finished{false};
        int ends[2];
    } slow;
    ASSERT_EQ(pipe2(slow.ends, O_NONBLOCK), 0);
    auto callback = [](int fd, UInt32, void* info)
    {
        auto* self = static_cast<Slow*>(info);
        char byte;
        while (read(fd, &byte, 1) > 0)
        {
        }
        self->entered = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        self->finished = true;
    };
    CFRunLoopFdSourceID source =
        CFRunLoopAddFdSource(thread.loop(), slow.ends[0], kCFRunLoopDefaultMode, callback, &slow);
    ASSERT_EQ(write(slow.ends[1], "x", 1), 1);
    while (!slow.entered)
        std::this_thread::yield();
    CFRunLoopRemoveFdSource(thread.loop(), source);
    EXPECT_TRUE(slow.finished);
    close(slow.ends[0]);
    close(slow.ends[1]);
}

TEST(RunLoop, ASourceRemovedByAnEarlierCallbackDoesNotFire)
{
    Pipe first, second;
    struct Pair
    {
        CFRunLoopFdSourceID sources[2];
        Pipe* pipes[2];
    } pair{{0, 0}, {&first, &second}};
    auto removeTheOther = [](int fd, UInt32 events, void* info)
    {
        auto* self = static_cast<Pair*>(info);
        const int mine = fd == self->pipes[0]->ends[0] ? 0 : 1;
        Pipe::onReadable(fd, events, self->pipes[mine]);
        CFRunLoopRemoveFdSource(CFRunLoopGetCurrent(), self->sources[1 - mine]);
        CFRunLoopRemoveFdSource(CFRunLoopGetCurrent(), self->sources[mine]); // its own, from inside
    };
    for (int i = 0; i < 2; ++i)
        pair.sources[i] = CFRunLoopAddFdSource(CFRunLoopGetCurrent(), pair.pipes[i]->ends[0],
                                               kCFRunLoopDefaultMode, removeTheOther, &pair);
    first.send();
    second.send();
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, false);
    EXPECT_EQ(first.fired + second.fired, 1);
}

TEST(RunLoop, ARetainedRunLoopOutlivesItsThreadAndDropsWorkNobodyWillRun)
{
    auto token = std::make_shared<int>(0);
    CFRunLoopRef loop = nullptr;
    startWithRunLoop(loop, [token] { CFRunLoopPerform(CFRunLoopGetCurrent(), kOtherMode, [token] {}); })
        .join();
    EXPECT_EQ(token.use_count(), 1); // pending when the thread ended
    CFRunLoopPerform(loop, kCFRunLoopDefaultMode, [token] {});
    EXPECT_EQ(token.use_count(), 1); // posted after the end
    CFRunLoopStop(loop);
    CFRunLoopWakeUp(loop);
    Pipe pipe;
    CFRunLoopFdSourceID source =
        CFRunLoopAddFdSource(loop, pipe.ends[0], kCFRunLoopDefaultMode, Pipe::onReadable, &pipe);
    pipe.send();
    CFRunLoopRemoveFdSource(loop, source);
    EXPECT_EQ(pipe.fired.load(), 0);
    EXPECT_EQ(CFGetRetainCount(loop), 1);
    CFRelease(loop);
}

TEST(RunLoop, StoppingWakingAndPostingRaceSafelyWithTheEndOfItsThread)
{
    auto token = std::make_shared<int>(0);
    Pipe pipe;
    for (int round = 0; round < 200; ++round)
    {
        CFRunLoopRef loop = nullptr;
        std::thread ending =
            startWithRunLoop(loop, [] { CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false); });
        for (int i = 0; i < 20; ++i)
        {
            CFRunLoopStop(loop);
            CFRunLoopWakeUp(loop);
            CFRunLoopPerform(loop, kCFRunLoopDefaultMode, [token] {});
            CFRunLoopRemoveFdSource(loop, CFRunLoopAddFdSource(loop, pipe.ends[0], kCFRunLoopDefaultMode,
                                                               Pipe::onReadable, &pipe));
        }
        ending.join();
        EXPECT_EQ(token.use_count(), 1) << "round " << round; // each post ran or was dropped
        CFRelease(loop);
    }
}

TEST(RunLoop, ThePollDescriptorShowsPendingWork)
{
    CFRunLoopRef idle = nullptr;
    std::thread owner(
        [&]
        {
            idle = CFRunLoopGetCurrent();
            const int fd = CFRunLoopGetPollDescriptor(idle);
            EXPECT_FALSE(readable(fd));
            CFRunLoopPerform(idle, kCFRunLoopDefaultMode, [] {});
            EXPECT_TRUE(readable(fd));
            EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true), kCFRunLoopRunHandledSource);
            EXPECT_FALSE(readable(fd));
            CFRunLoopWakeUp(idle);
            EXPECT_TRUE(readable(fd));
        });
    owner.join();
}

} // namespace
