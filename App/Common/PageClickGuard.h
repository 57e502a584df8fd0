#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Keeps a click aimed at one page from pressing a button of the next. Users double-click buttons
// out of habit, and a page may change just as a click lands, while the same slot holds another
// button on the next page. So after a page change no click is taken whose press came before the
// change, or within the double-click interval after it, or went on a run of clicks begun before
// it. A click from the keyboard, with no press of the mouse, is taken as ever.
class PageClickGuard : public juce::MouseListener
{
public:
    // Watches the presses on the component and on everything inside it.
    explicit PageClickGuard(juce::Component& window);
    ~PageClickGuard() override;

    void pageChanged();
    // Whether the click that a button is handing out now belongs to the page shown.
    bool takesClick() const;

    void mouseDown(const juce::MouseEvent& event) override;
    void mouseUp(const juce::MouseEvent& event) override;

private:
    // Whether a press at the time, in milliseconds of the wall clock, came late enough after the change.
    bool isPastTheInterval(juce::int64 time) const;

    juce::Component& window;
    int page = 0;                // counts the changes
    juce::int64 pageShownAt = 0; // milliseconds of the wall clock
    int runPage = 0;             // the page on which the latest run of clicks began
    bool pressing = false;
    bool pressIsFresh = true;

    JUCE_DECLARE_NON_COPYABLE(PageClickGuard)
};
