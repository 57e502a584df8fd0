#include "PageClickGuard.h"

PageClickGuard::PageClickGuard(juce::Component& window) : window(window)
{
    window.addMouseListener(this, true);
}

PageClickGuard::~PageClickGuard()
{
    window.removeMouseListener(this);
}

void PageClickGuard::pageChanged()
{
    ++page;
    pageShownAt = juce::Time::currentTimeMillis();
    pressIsFresh = false; // a press held across the change was aimed at the page before
}

// A click with no press of the mouse comes from the keyboard or the program itself.
bool PageClickGuard::takesClick() const
{
    return !pressing || pressIsFresh;
}

void PageClickGuard::mouseDown(const juce::MouseEvent& event)
{
    pressing = true;
    if (event.getNumberOfClicks() <= 1)
        runPage = page;
    // Both the time the press carries and the time it is handled may come late, never early.
    const auto pressedAt = std::min(event.eventTime.toMilliseconds(), juce::Time::currentTimeMillis());
    pressIsFresh = runPage == page && isPastTheInterval(pressedAt);
}

void PageClickGuard::mouseUp(const juce::MouseEvent&)
{
    pressing = false;
}

bool PageClickGuard::isPastTheInterval(juce::int64 time) const
{
    return page == 0 || time - pageShownAt >= juce::MouseEvent::getDoubleClickTimeout();
}
