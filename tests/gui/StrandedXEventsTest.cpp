// The program's own window in this process: an event that Xlib has read into its queue while
// the message loop was not looking, as any round trip outside JUCE's X handler reads them, still
// reaches the window, and the wake-up that brings it there is never read back into that queue.
#include <gtest/gtest.h>

#include <poll.h>

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

    void userTriedToCloseWindow() override { ++closesAsked; }

    int closesAsked = 0;
};

class WatchedWindow : public ClosableWindow
{
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

::Display* juceDisplay()
{
    return juce::XWindowSystem::getInstance()->getDisplay();
}

unsigned long handleOf(juce::Component& window)
{
    return (unsigned long)(juce::pointer_sized_uint)window.getPeer()->getNativeHandle();
}

// The window is on the screen, and its first events and paints are over.
void settle(guitest::XDisplay& screen, juce::Component& window)
{
    ASSERT_TRUE(turnUntil([&] { return screen.exists(handleOf(window)); }, 5000));
    turnUntil([] { return false; }, 500);
}

// Waits, without turning the loop, until the server has written something to JUCE's socket that
// no one has read yet.
bool socketTurnsReadable()
{
    pollfd socket{ConnectionNumber(juceDisplay()), POLLIN, 0};
    return poll(&socket, 1, 5000) == 1;
}

// QueuedAfterReading reads the socket into Xlib's queue, as a round trip of the program's own would.
int queuedInXlib(int mode = QueuedAlready)
{
    juce::XWindowSystemUtilities::ScopedXLock lock;
    return XEventsQueued(juceDisplay(), mode);
}

void strandACloseRequest(guitest::XDisplay& screen, juce::Component& window)
{
    screen.askToClose(handleOf(window)); // synchronous: the request is on JUCE's socket now
    ASSERT_TRUE(socketTurnsReadable()) << "the request never came";
    ASSERT_GT(queuedInXlib(QueuedAfterReading), 0);
}

TEST(StrandedXEvents, ACloseRequestReadIntoXlibsQueueBetweenTurnsStillReachesTheWindow)
{
    juce::ScopedJuceInitialiser_GUI framework;
    WatchedWindow window;
    guitest::XDisplay screen;
    settle(screen, window);

    strandACloseRequest(screen, window);

    EXPECT_TRUE(turnUntil([&] { return window.closesAsked > 0; }, 5000))
        << "the request waits in Xlib's queue";
}

// A window without a watch, whose one close request waits in Xlib's queue; the test makes each
// look at the queue itself.
class StrandedCloseRequest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settle(screen, window);
        strandACloseRequest(screen, window);
    }

    juce::ScopedJuceInitialiser_GUI framework;
    ClosableWindow window;
    StrandedXEventsWaker waker{window};
    guitest::XDisplay screen;
};

// The wake-up must come back on the socket: read into Xlib's queue, it would wait there with the
// rest, and so would the close until some later wake-up got through. The loop turns only once the
// socket is readable, so that JUCE's own round trips (its focus check asks whether the window is
// minimised) cannot take the wake-up before its handler does.
TEST_F(StrandedCloseRequest, OneWakeUpBringsItToTheWindow)
{
    const int stranded = queuedInXlib();
    ASSERT_TRUE(waker.wakeIfEventsWait());
    EXPECT_EQ(queuedInXlib(), stranded) << "the wake-up was read back into Xlib's queue";
    ASSERT_TRUE(socketTurnsReadable()) << "the wake-up never came back on the socket";

    EXPECT_TRUE(turnUntil([&] { return window.closesAsked > 0; }, 5000))
        << "the request waits in Xlib's queue";
}

// Whatever is on the socket when the waker sends stays there for JUCE's handler: the waker itself
// reads nothing into Xlib's queue.
TEST_F(StrandedCloseRequest, TheWakeUpLeavesWhatHasArrivedOnTheSocketToJuce)
{
    screen.askToClose(handleOf(window));
    ASSERT_TRUE(socketTurnsReadable()) << "the second request never came";

    const int stranded = queuedInXlib();
    ASSERT_TRUE(waker.wakeIfEventsWait());
    EXPECT_EQ(queuedInXlib(), stranded) << "the waker read the socket into Xlib's queue";
    ASSERT_TRUE(socketTurnsReadable()) << "nothing is left on the socket for JUCE's handler";

    EXPECT_TRUE(turnUntil([&] { return window.closesAsked == 2; }, 5000))
        << window.closesAsked << " of 2 requests reached the window";
}

} // namespace
