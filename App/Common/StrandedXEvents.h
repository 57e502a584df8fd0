#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// JUCE takes its X events when the connection's socket turns readable. Any round trip made
// outside JUCE's X handler (a paint's sync, a question such as isMinimised, an atom's name) also
// reads that socket into Xlib's queue. An event read then, such as the window manager's request
// to close the window, waits in the queue until the server sends something more. This waker looks
// at the queue and, when events wait there, has the server send the window an empty message: its
// arrival makes JUCE take the whole queue. The message goes out through XCB, which never reads it
// back: Xlib's flush ends by reading the socket, and would often take the message into the very
// queue it was meant to empty. What XCB reads while it writes came before the message, and the
// message's arrival brings that to JUCE as well.
class StrandedXEventsWaker
{
public:
    explicit StrandedXEventsWaker(juce::Component& window);

    // Whether events waited in Xlib's queue, and so the window was sent a wake-up.
    bool wakeIfEventsWait();

private:
    juce::Component& window;
    const unsigned long wakeType; // the empty message's type, an atom of its own

    JUCE_DECLARE_NON_COPYABLE(StrandedXEventsWaker)
};

// Looks between turns of the message loop.
class StrandedXEventsWatch : private juce::Timer
{
public:
    explicit StrandedXEventsWatch(juce::Component& window);
    ~StrandedXEventsWatch() override;

private:
    void timerCallback() override { waker.wakeIfEventsWait(); }

    StrandedXEventsWaker waker;

    JUCE_DECLARE_NON_COPYABLE(StrandedXEventsWatch)
};
