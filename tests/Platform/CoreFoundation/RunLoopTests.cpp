#include "CFTestHelpers.h"
#include "ScarceResources.h"

#include <chrono>
#include <future>
#include <memory>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>

namespace
{

using cftest::Pipe;
using namespace std::chrono_literals;
const CFStringRef kOtherMode = CFSTR("OtherMode");

// Starts a thread that hands out its run loop, retained so that it outlives the thread, and then
// does the given work.
template <typename Work> std::thread startWithRunLoop(CFRunLoopRef& loop, Work work)
{
    std::promise<CFRunLoopRef> ready;
    auto handedOver = ready.get_future();
    std::thread thread(
        [&ready, work]
        {
            CFRetain(CFRunLoopGetCurrent());
            ready.set_value(CFRunLoopGetCurrent());
            work();
        });
    loop = handedOver.get();
    return thread;
}

// A thread that runs its own run loop until stopped from another thread (a stop that is lost
// leaves the test hanging).
struct LoopThread
{
    CFRunLoopRef loop = nullptr;
    std::thread thread = startWithRunLoop(loop, [] { CFRunLoopRun(); });
    ~LoopThread()
    {
        CFRunLoopStop(loop);
        thread.join();
        CFRelease(loop);
    }
};

bool readable(int fd)
{
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, 0) == 1;
}

TEST(RunLoop, ASourceFiresOnlyWhileItsModeRuns)
{
    // The source's mode, the mode run, and whether the source fires.
    const std::tuple<CFStringRef, CFStringRef, bool> cases[] = {
        {kOtherMode, kCFRunLoopDefaultMode, false},
        {kOtherMode, kOtherMode, true},
        {kCFRunLoopCommonModes, kCFRunLoopDefaultMode, true},
    };
    for (const auto& [sourceMode, runMode, fires] : cases)
    {
        Pipe pipe;
        CFRunLoopFdSourceID source = pipe.addTo(CFRunLoopGetCurrent(), sourceMode);
        ASSERT_NE(source, 0u);
        pipe.send();
        EXPECT_EQ(CFRunLoopRunInMode(runMode, fires ? 1.0 : 0.02, true),
                  fires ? kCFRunLoopRunHandledSource : kCFRunLoopRunTimedOut);
        EXPECT_EQ(pipe.fired.load(), fires ? 1 : 0);
        CFRunLoopRemoveFdSource(CFRunLoopGetCurrent(), source);
    }
    Pipe pipe;
    CFRunLoopFdSourceID source = pipe.addTo(CFRunLoopGetCurrent(), kCFRunLoopCommonModes);
    EXPECT_EQ(pipe.addTo(CFRunLoopGetCurrent(), kCFRunLoopDefaultMode), 0u); // one source per mode
    CFRunLoopRemoveFdSource(CFRunLoopGetCurrent(), source);
    pipe.send();
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.02, true), kCFRunLoopRunTimedOut);
    EXPECT_EQ(pipe.fired.load(), 0);
}

TEST(RunLoop, EachThreadHasItsOwnAndRunsWhatOthersPostToIt)
{
    EXPECT_EQ(CFRunLoopGetCurrent(), CFRunLoopGetMain());
    LoopThread thread;
    EXPECT_NE(thread.loop, CFRunLoopGetMain());
    std::promise<std::thread::id> ranOn;
    CFRunLoopPerform(thread.loop, kCFRunLoopDefaultMode,
                     [&] { ranOn.set_value(std::this_thread::get_id()); });
    auto result = ranOn.get_future();
    ASSERT_EQ(result.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(result.get(), thread.thread.get_id());
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

TEST(RunLoop, KnowsTheModeOfItsInnermostRunOnItsOwnThreadAlone)
{
    // The modes seen from inside: the outer run's, a nested run's, the outer run's again.
    std::vector<std::pair<bool, bool>> seen; // {default mode, other mode}
    CFRunLoopRef loop = CFRunLoopGetCurrent();
    const auto look = [&]
    {
        seen.emplace_back(CFRunLoopIsRunningInMode(loop, kCFRunLoopCommonModes),
                          CFRunLoopIsRunningInMode(loop, kOtherMode));
    };
    CFRunLoopPerform(loop, kOtherMode, look);
    CFRunLoopPerform(loop, kCFRunLoopDefaultMode,
                     [&]
                     {
                         CFRunLoopRunInMode(kOtherMode, 0, true);
                         look();
                     });
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true);
    EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{{false, true}, {true, false}}));
    bool fromAnotherThread = true;
    CFRunLoopPerform(
        loop, kCFRunLoopDefaultMode,
        [&] {
            std::thread([&] { fromAnotherThread = CFRunLoopIsRunningInMode(loop, kCFRunLoopDefaultMode); })
                .join();
        });
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true);
    EXPECT_FALSE(fromAnotherThread);
    EXPECT_FALSE(CFRunLoopIsRunningInMode(loop, kCFRunLoopDefaultMode)); // not running at all
}

TEST(RunLoop, SignalsOnceWhenARunBeginsOrEndsAndNeverOnceForgotten)
{
    const int event = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const auto takeSignal = [&]
    {
        uint64_t count = 0;
        return read(event, &count, sizeof count) == sizeof count;
    };
    CFRunLoopRef loop = CFRunLoopGetCurrent();
    CFRunLoopSignalOnRunChange(loop, event);
    CFRunLoopSignalOnRunChange(loop, event);
    EXPECT_FALSE(takeSignal());
    bool signalledByTheBeginning = false;
    CFRunLoopPerform(loop, kCFRunLoopDefaultMode, [&] { signalledByTheBeginning = takeSignal(); });
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false);
    EXPECT_TRUE(signalledByTheBeginning);
    EXPECT_FALSE(takeSignal()) << "once";

    // Asked for inside a nested run, it comes when that run ends, before the outer one does.
    bool signalledByTheNestedEnd = false;
    CFRunLoopPerform(loop, kOtherMode, [&] { CFRunLoopSignalOnRunChange(loop, event); });
    CFRunLoopPerform(loop, kCFRunLoopDefaultMode,
                     [&]
                     {
                         CFRunLoopRunInMode(kOtherMode, 0, true);
                         signalledByTheNestedEnd = takeSignal();
                     });
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true);
    EXPECT_TRUE(signalledByTheNestedEnd);

    CFRunLoopSignalOnRunChange(loop, event);
    CFRunLoopForgetRunChangeSignal(loop, event);
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false);
    EXPECT_FALSE(takeSignal());
    close(event);
}

TEST(RunLoop, RemovalFromAnotherThreadWaitsForARunningCallback)
{
    LoopThread thread;
    Pipe pipe;
    std::atomic<bool> entered{false}, finished{false};
    pipe.then = [&]
    {
        entered = true;
        std::this_thread::sleep_for(50ms);
        finished = true;
    };
    CFRunLoopFdSourceID source = pipe.addTo(thread.loop, kCFRunLoopDefaultMode);
    pipe.send();
    while (!entered)
        std::this_thread::yield();
    CFRunLoopRemoveFdSource(thread.loop, source);
    EXPECT_TRUE(finished);
}

TEST(RunLoop, ASourceRemovedByAnEarlierCallbackDoesNotFire)
{
    Pipe pipes[2];
    CFRunLoopFdSourceID sources[2] = {0, 0};
    for (int i = 0; i < 2; ++i)
    {
        pipes[i].then = [&sources, i]
        {
            CFRunLoopRemoveFdSource(CFRunLoopGetCurrent(), sources[1 - i]);
            CFRunLoopRemoveFdSource(CFRunLoopGetCurrent(), sources[i]); // its own, from inside
        };
        sources[i] = pipes[i].addTo(CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        pipes[i].send();
    }
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, false);
    EXPECT_EQ(pipes[0].fired + pipes[1].fired, 1);
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
    EXPECT_EQ(CFGetRetainCount(loop), 1);
    CFRelease(loop);
    // Stopping, waking, posting and watching race safely with the end of the thread.
    Pipe pipe;
    for (int round = 0; round < 200; ++round)
    {
        std::thread ending =
            startWithRunLoop(loop, [] { CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false); });
        for (int i = 0; i < 20; ++i)
        {
            CFRunLoopStop(loop);
            CFRunLoopWakeUp(loop);
            CFRunLoopPerform(loop, kCFRunLoopDefaultMode, [token] {});
            CFRunLoopRemoveFdSource(loop, pipe.addTo(loop, kCFRunLoopDefaultMode));
        }
        ending.join();
        EXPECT_EQ(token.use_count(), 1) << "round " << round; // each post ran or was dropped
        CFRelease(loop);
    }
}

TEST(RunLoop, ThePollDescriptorShowsPendingWork)
{
    CFRunLoopRef loop = CFRunLoopGetCurrent();
    const int fd = CFRunLoopGetPollDescriptor(loop);
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, false); // serves what earlier tests left
    EXPECT_FALSE(readable(fd));
    CFRunLoopPerform(loop, kCFRunLoopDefaultMode, [] {});
    EXPECT_TRUE(readable(fd));
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true), kCFRunLoopRunHandledSource);
    EXPECT_FALSE(readable(fd));
    CFRunLoopWakeUp(loop);
    EXPECT_TRUE(readable(fd));
}

// A run loop first used, or a mode first named, while no descriptor can be made has neither its
// wake-up nor its epoll set: both are made at the next use, so that a source refused then is
// taken once descriptors are back, and posted work wakes the loop.
TEST(RunLoop, MakesWhatItLackedForWantOfDescriptorsOnceTheyAreBack)
{
    if (testsupport::NoNewDescriptors::sanitizerNeedsThem())
        GTEST_SKIP() << "the sanitizer needs descriptors of its own";
    Pipe pipe;
    std::thread(
        [&pipe]
        {
            CFRunLoopRef loop;
            {
                testsupport::NoNewDescriptors none;
                loop = CFRunLoopGetCurrent();
                EXPECT_EQ(pipe.addTo(loop, kCFRunLoopDefaultMode), 0u);
            }
            EXPECT_NE(pipe.addTo(loop, kCFRunLoopDefaultMode), 0u);
            pipe.send();
            EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true), kCFRunLoopRunHandledSource);
            EXPECT_EQ(pipe.fired, 1);
            CFRunLoopPerform(loop, kCFRunLoopDefaultMode, [] {});
            EXPECT_TRUE(readable(CFRunLoopGetPollDescriptor(loop)));
        })
        .join();
}

} // namespace
