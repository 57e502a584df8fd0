// The program's own window in this process: an event that Xlib has read into its queue while
// the message loop was not looking, as JUCE's painting reads them, still reaches the window.
#include <gtest/gtest.h>

#include <functional>

// JUCE's own display connection is reached through its X headers, whose macros come after the
// test framework's names.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "StrandedXEvents.h"
#include "XDisplay.h"

namespace
{

class ClosableWindow : public juce::ResizableWindow
{
public:
    ClosableWindow() : juce::ResizableWindow("stranded events", true)
    {
        setSize(200, 100);
        setVisible(true);
    }

    void userTriedToCloseWindow() override { closeAsked = true; }

    bool closeAsked = false;

private:
    StrandedXEventsWatch strandedEvents{*this};
};

// Turns the message loop until `done` or for at most `limitMs`.
bool turnUntil(const std::function<bool()>& done, int limitMs)
{
    for (int turned = 0; !done(); turned += 10)
    {
        if (turned >= limitMs)
            return false;
        juce::MessageManager::getInstance()->runDispatchLoopUntil(10);
    }
    return true;
}

TEST(StrandedXEvents, ACloseRequestReadIntoXlibsQueueBetweenTurnsStillReachesTheWindow)
{
    juce::ScopedJuceInitialiser_GUI framework;
    ClosableWindow window;
    guitest::XDisplay screen;
    const auto handle = (unsigned long)(juce::pointer_sized_uint)window.getPeer()->getNativeHandle();
    ASSERT_TRUE(turnUntil([&] { return screen.exists(handle); }, 5000));
    turnUntil([] { return false; }, 500); // the window's first events and paints are over

    screen.askToClose(handle); // synchronous: the request is on JUCE's socket now
    ::Display* display = juce::XWindowSystem::getInstance()->getDisplay();
    {
        juce::XWindowSystemUtilities::ScopedXLock lock;
        ASSERT_GT(XEventsQueued(display, QueuedAfterReading), 0) << "the request never came";
    }

    EXPECT_TRUE(turnUntil([&] { return window.closeAsked; }, 5000)) << "the request waits in Xlib's queue";
}

} // namespace
