#include "CFTestHelpers.h"
#include "MainRunLoopBridge.h"

#include <juce_events/juce_events.h>
#include <thread>

namespace
{

// Ends the message loop after five seconds, should nothing else end it.
struct Watchdog : juce::Timer
{
    Watchdog() { startTimer(5000); }
    void timerCallback() override { juce::MessageManager::getInstance()->stopDispatchLoop(); }
};

TEST(MainRunLoopBridge, ServesSourcesAndPostedWorkOnTheMessageThreadButNotOtherModes)
{
    juce::ScopedJuceInitialiser_GUI juce;
    attachMainRunLoopToMessageLoop();
    std::atomic<int> servedOnMessageThread{0};
    auto served = [&servedOnMessageThread]
    {
        juce::MessageManager* messages = juce::MessageManager::getInstance();
        if (messages->isThisTheMessageThread() && ++servedOnMessageThread == 2)
            messages->stopDispatchLoop();
    };
    cftest::Pipe device;
    device.then = served;
    CFRunLoopFdSourceID source = device.addTo(CFRunLoopGetMain(), kCFRunLoopDefaultMode);
    std::atomic<bool> otherModeRan{false};
    std::thread poster(
        [&]
        {
            CFRunLoopPerform(CFRunLoopGetMain(), CFSTR("OtherMode"), [&] { otherModeRan = true; });
            CFRunLoopPerform(CFRunLoopGetMain(), kCFRunLoopDefaultMode, served);
            device.send();
        });
    {
        Watchdog watchdog;
        juce::MessageManager::getInstance()->runDispatchLoop();
    }
    poster.join();
    EXPECT_EQ(servedOnMessageThread.load(), 2);
    EXPECT_FALSE(otherModeRan);
    CFRunLoopRunInMode(CFSTR("OtherMode"), 0, false);
    EXPECT_TRUE(otherModeRan);
    CFRunLoopRemoveFdSource(CFRunLoopGetMain(), source);
    detachMainRunLoopFromMessageLoop();
}

} // namespace
