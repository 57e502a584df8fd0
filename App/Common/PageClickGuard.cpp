#include "PageClickGuard.h"

#include <utility>

namespace
{
// The key with which the framework's buttons click when they hold the keyboard focus.
bool pressesAButton(const juce::KeyPress& key)
{
    return key.isKeyCode(juce::KeyPress::returnKey);
}

// A held key repeats after a pause of its own, commonly half a second; past this, a key whose release
// was never heard (the focus had left the buttons) counts as released.
constexpr double longestRepeatPauseMs = 2000.0;

// An event's own time can jump only when the window system's clock count wraps (after 49 days);
// no press waits this long to be handled.
constexpr double longestWaitMs = 60000.0;
} // namespace

PageClickGuard::PageClickGuard(juce::Component& window, SteadyClock clock)
    : window(window), clock(std::move(clock))
{
    window.addMouseListener(this, true);
}

PageClickGuard::~PageClickGuard()
{
    window.removeMouseListener(this);
}

void PageClickGuard::watchKeysOf(juce::Component& button)
{
    button.addKeyListener(this);
}

void PageClickGuard::pageChanged()
{
    ++page;
    pageShownAt = clock();
    pressIsFresh = false; // a press held across the change was aimed at the page before
}

bool PageClickGuard::takesClick()
{
    if (pressing)
        return pressIsFresh;
    // The click that a taken press of Return has made the button post, on whichever page it lands.
    if (const auto pressedOn = std::exchange(keyClickPage, std::nullopt))
        return *pressedOn == page;
    return true; // the program's own
}

void PageClickGuard::mouseDown(const juce::MouseEvent& event)
{
    pressing = true;
    const double pressedAt = madeAt(event);
    if (event.getNumberOfClicks() <= 1)
    {
        runPage = page;
        pressIsFresh = isPastTheInterval(pressedAt);
    }
    else
    {
        pressIsFresh = runGoesOn(pressIsFresh, runPage, pressedAt);
    }
}

void PageClickGuard::mouseUp(const juce::MouseEvent& event)
{
    pressing = false;
    madeAt(event);
}

bool PageClickGuard::keyPressed(const juce::KeyPress& key, juce::Component*)
{
    if (!pressesAButton(key))
        return false;
    const double pressedAt = clock();
    const double sinceLastKeyEvent = pressedAt - lastKeyEventAt;
    const bool goesOnARun = (keyDown && sinceLastKeyEvent < longestRepeatPauseMs) ||
                            sinceLastKeyEvent < juce::MouseEvent::getDoubleClickTimeout();
    if (goesOnARun)
    {
        keyRunTaken = runGoesOn(keyRunTaken, keyRunPage, pressedAt);
    }
    else
    {
        keyRunPage = page;
        keyRunTaken = isPastTheInterval(pressedAt);
    }
    keyDown = true;
    lastKeyEventAt = pressedAt;
    if (keyRunTaken)
        keyClickPage = page;
    return !keyRunTaken;
}

// A release between two presses may still be a held key's repeat: the window system may send one
// with each repeat, and a repeat follows its release at once.
bool PageClickGuard::keyStateChanged(bool isKeyDown, juce::Component*)
{
    if (!isKeyDown && keyDown)
    {
        keyDown = false;
        lastKeyEventAt = clock();
    }
    return false;
}

bool PageClickGuard::isPastTheInterval(double time) const
{
    return page == 0 || time - pageShownAt >= juce::MouseEvent::getDoubleClickTimeout();
}

bool PageClickGuard::runGoesOn(bool runTaken, int runPage, double time) const
{
    return runTaken && runPage == page && isPastTheInterval(time);
}

// The window system stamps an event on a steady clock of its own. The least lag seen between that
// stamp and the handling of the event is the offset between the two clocks (plus the least time
// an event took to come through); a press is dated by its stamp, brought onto this clock.
double PageClickGuard::madeAt(const juce::MouseEvent& event)
{
    const double handledAt = clock();
    const auto stamp = static_cast<double>(event.eventTime.toMilliseconds());
    const double lag = handledAt - stamp;
    if (!eventClockOffset || lag < *eventClockOffset || lag - *eventClockOffset > longestWaitMs)
        eventClockOffset = lag;
    return stamp + *eventClockOffset;
}
