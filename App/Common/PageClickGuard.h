#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <optional>

// Keeps a press aimed at one page from pressing a button of the next. Users double-click buttons
// out of habit, press Return twice or hold it, and a page may change just as a press lands, while
// the same slot, or the same keyboard focus, holds another button on the next page. So after a
// page change no click is taken whose press, of the mouse or of Return on a focused button, came
// before the change, or within the double-click interval after it, or went on a run of presses
// begun before it or refused. A run is the clicks of a double or triple click; for the keyboard,
// a held key's repeats and the presses that follow each other within the interval. Every time is
// taken on one steady clock: a step of the wall clock neither loses a click nor lets one through.
// A click that the program makes itself, with no press behind it, is taken as ever.
class PageClickGuard : public juce::MouseListener, public juce::KeyListener
{
public:
    // Milliseconds that run on steadily whatever is done to the wall clock.
    using SteadyClock = std::function<double()>;

    // Watches the mouse presses on the component and on everything inside it.
    explicit PageClickGuard(juce::Component& window,
                            SteadyClock clock = juce::Time::getMillisecondCounterHiRes);
    ~PageClickGuard() override;

    // Watches the keys pressed while the button holds the keyboard focus.
    void watchKeysOf(juce::Component& button);

    void pageChanged();
    // Whether the click that a button is handing out now belongs to the page shown.
    bool takesClick();

    void mouseDown(const juce::MouseEvent& event) override;
    void mouseUp(const juce::MouseEvent& event) override;
    // A refused press of Return goes no further: the button never hears of it.
    bool keyPressed(const juce::KeyPress& key, juce::Component* origin) override;
    bool keyStateChanged(bool isKeyDown, juce::Component* origin) override;

private:
    bool isPastTheInterval(double time) const;
    // When the mouse event was made, on the steady clock.
    double madeAt(const juce::MouseEvent& event);
    // Whether the next press of a run is taken: none after a refused one, none once the page changed.
    bool runGoesOn(bool runTaken, int runPage, double time) const;

    juce::Component& window;
    SteadyClock clock;
    int page = 0;           // counts the changes
    double pageShownAt = 0; // on the steady clock
    // An event's own time runs on the window system's steady clock, at an offset from this one.
    std::optional<double> eventClockOffset;

    int runPage = 0; // the page on which the latest run of clicks began
    bool pressing = false;
    bool pressIsFresh = true;

    int keyRunPage = 0;
    bool keyRunTaken = true;
    bool keyDown = false;            // no release since the latest press: its next press is a repeat
    double lastKeyEventAt = 0;       // the latest press or release of the run
    std::optional<int> keyClickPage; // a taken key press whose click is on its way from the button

    JUCE_DECLARE_NON_COPYABLE(PageClickGuard)
};
