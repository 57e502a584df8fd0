#include "MainRunLoopBridge.h"

#include <CoreFoundation/CFRunLoopLinux.h>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <thread>
#include <unistd.h>

namespace
{

class MainRunLoopBridge : public ::testing::Test
{
protected:
    void SetUp() override { attachMainRunLoopToMessageLoop(); }
    void TearDown() override { detachMainRunLoopFromMessageLoop(); }

    // Runs the message loop until a callback stops it, or a watchdog does after five seconds.
    void runMessageLoop()
    {
        std::atomic<bool> done{false};
        std::thread watchdog(
            [&done]
            {
                for (int i = 0; i < 500 && !done; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (!done)
                    juce::MessageManager::getInstance()->stopDispatchLoop();
            });
        juce::MessageManager::getInstance()->runDispatchLoop();
        done = true;
        watchdog.join();
    }

    juce::ScopedJuceInitialiser_GUI m_juce;
};

struct Delivery
{
    std::atomic<int> calls{0};
    std::atomic<bool> onMessageThread{false};

    void arrived()
    {
        onMessageThread = juce::MessageManager::getInstance()->isThisTheMessageThread();
        ++calls;
        juce::MessageManager::getInstance()->stopDispatchLoop();
    }
};

TEST_F(MainRunLoopBridge, DeliversASourcesCallbackOnTheMessageThread)
{
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
    Delivery delivery;
    auto callback = [](int fd, UInt32, void* info)
    {
        char byte;
        while (read(fd, &byte, 1) > 0)
        {
        }
        static_cast<Delivery*>(info)->arrived();
    };
    CFRunLoopFdSourceID source =
        CFRunLoopAddFdSource(CFRunLoopGetMain(), ends[0], kCFRunLoopDefaultMode, callback, &delivery);
    std::thread device([&] { EXPECT_EQ(write(ends[1], "r", 1), 1); });
    runMessageLoop();
    device.join();
    EXPECT_EQ(delivery.calls.load(), 1);
    EXPECT_TRUE(delivery.onMessageThread);
    CFRunLoopRemoveFdSource(CFRunLoopGetMain(), source);
    close(ends[0]);
    close(ends[1]);
}

TEST_F(MainRunLoopBridge, ServesWorkPostedFromAnotherThreadButNotOtherModes)
{
    Delivery delivery;
    std::atomic<bool> otherModeRan{false};
    std::thread poster(
        [&]
        {
            CFRunLoopPerform(CFRunLoopGetMain(), CFSTR("OtherMode"), [&] { otherModeRan = true; });
            CFRunLoopPerform(CFRunLoopGetMain(), kCFRunLoopDefaultMode, [&] { delivery.arrived(); });
        });
    runMessageLoop();
    poster.join();
    EXPECT_EQ(delivery.calls.load(), 1);
    EXPECT_TRUE(delivery.onMessageThread);
    EXPECT_FALSE(otherModeRan);
    CFRunLoopRunInMode(CFSTR("OtherMode"), 0, false);
    EXPECT_TRUE(otherModeRan);
}

} // namespace
