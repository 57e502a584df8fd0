#include "PageClickGuard.h"
#include "FontFixture.h"
#include "WallClockShift.h"

#include <thread>

namespace
{
class PageClickGuardTest : public FontFixture
{
protected:
    void SetUp() override
    {
        juce::MouseEvent::setDoubleClickTimeout(interval);
        window.addAndMakeVisible(button);
    }

    void TearDown() override
    {
        juce::MouseEvent::setDoubleClickTimeout(400);
        FontFixture::TearDown();
    }

    // The n-th click of a run, made at `madeAt`, as the button hears of it.
    juce::MouseEvent event(int clicks, juce::Time madeAt)
    {
        return juce::MouseEvent(juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0, 0, 0, 0, 0,
                                &button, &button, madeAt, {}, madeAt, clicks, false);
    }

    // A whole click, and whether the button may act on it.
    bool click(int clicks, juce::Time madeAt = juce::Time::getCurrentTime())
    {
        guard.mouseDown(event(clicks, madeAt));
        const bool taken = guard.takesClick();
        guard.mouseUp(event(clicks, madeAt));
        return taken;
    }

    static void waitPastTheInterval()
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(interval * 3 / 2));
    }

    // The time the window system stamps on an event: its own steady clock, at an offset fixed at
    // its first event.
    juce::Time stamp() const
    {
        return juce::Time(stampOffset + static_cast<juce::int64>(juce::Time::getMillisecondCounterHiRes()));
    }

    // Return on the focused button, on the steady clock of the guard `keys`; whether the button
    // hears of it.
    bool pressReturn(double at)
    {
        now = at;
        return !keys.keyPressed(juce::KeyPress(juce::KeyPress::returnKey), &button);
    }

    // Return pressed and let go at once; whether the button hears of it and its click is taken.
    bool typeReturn(double at)
    {
        const bool pressed = pressReturn(at) && keys.takesClick();
        keys.keyStateChanged(false, &button);
        return pressed;
    }

    static constexpr int interval = 100;
    juce::Component window;
    juce::TextButton button;
    PageClickGuard guard{window};
    const juce::int64 stampOffset =
        juce::Time::currentTimeMillis() - static_cast<juce::int64>(juce::Time::getMillisecondCounterHiRes());
    double now = 0; // milliseconds
    PageClickGuard keys{window, [this] { return now; }};
};
} // namespace

TEST_F(PageClickGuardTest, ADoubleClickThatChangesThePageIsOnePress)
{
    EXPECT_TRUE(click(1)) << "the first page takes clicks at once";
    guard.pageChanged();
    waitPastTheInterval();
    EXPECT_FALSE(click(2)) << "the second click of the run";
    EXPECT_FALSE(click(3)) << "and the third";
    EXPECT_TRUE(click(1)) << "a new click";
}

TEST_F(PageClickGuardTest, APageTakesNoClickPressedBeforeItOrWithinTheIntervalAfterIt)
{
    const auto beforeTheChange = juce::Time::getCurrentTime();
    guard.mouseDown(event(1, beforeTheChange));
    guard.pageChanged();
    EXPECT_FALSE(guard.takesClick()) << "held across the change";
    guard.mouseUp(event(1, beforeTheChange));
    EXPECT_TRUE(guard.takesClick()) << "a click from the keyboard";
    EXPECT_FALSE(click(1)) << "within the interval";

    waitPastTheInterval();
    EXPECT_FALSE(click(1, beforeTheChange)) << "made before the change, heard only now";
    EXPECT_TRUE(click(1));

    guard.pageChanged();
    EXPECT_FALSE(click(1));
}

TEST_F(PageClickGuardTest, OnceAPressIsRefusedTheRestOfItsRunIsRefusedToo)
{
    guard.pageChanged();
    EXPECT_FALSE(click(1)) << "the first click of a double click, within the interval";
    waitPastTheInterval();
    EXPECT_FALSE(click(2)) << "its second click, past the interval";
    EXPECT_FALSE(click(3)) << "its third";
    EXPECT_TRUE(click(1)) << "a new click";
}

TEST_F(PageClickGuardTest, NoStepOfTheWallClockLosesAClickOrLetsOneThrough)
{
    using namespace std::chrono_literals;
    // Presses are dated by their stamps, even when the first one heard had waited to be handled.
    EXPECT_TRUE(click(1, stamp() - juce::RelativeTime::milliseconds(300)));
    EXPECT_TRUE(click(1, stamp()));
    const auto changedAt = stamp();
    guard.pageChanged();
    waitPastTheInterval();
    EXPECT_FALSE(click(1, changedAt - juce::RelativeTime::milliseconds(50))) << "made before the change";

    for (const auto step : {1h, -1h})
    {
        wallclock::shift(step); // as on a resume from suspend, before the page shows
        guard.pageChanged();
        EXPECT_FALSE(click(1, stamp())) << step.count() << " h: within the interval";
        waitPastTheInterval();
        EXPECT_TRUE(click(1, stamp())) << step.count() << " h: past it";

        guard.pageChanged();
        wallclock::shift(0s); // back, while the page shows
        EXPECT_FALSE(click(1, stamp())) << step.count() << " h and back: within the interval";
        waitPastTheInterval();
        EXPECT_TRUE(click(1, stamp())) << step.count() << " h and back: past it";
    }

    // The window system's count of milliseconds wraps after 49 days: its stamps jump back.
    guard.pageChanged();
    waitPastTheInterval();
    EXPECT_TRUE(click(1, juce::Time(stamp().toMilliseconds() - (juce::int64(1) << 32))));
    EXPECT_FALSE(click(1, juce::Time(stamp().toMilliseconds() - (juce::int64(1) << 32) - 1000)))
        << "made a second ago, before the change";
}

TEST_F(PageClickGuardTest, ReturnPressesNoButtonOfAPageShownAfterItsRunBeganOrWithinTheInterval)
{
    EXPECT_TRUE(typeReturn(1000)) << "the first page takes a press at once";
    keys.pageChanged(); // the press changed the page
    EXPECT_FALSE(typeReturn(1050)) << "Return within the interval after the change";
    EXPECT_FALSE(typeReturn(1120)) << "past the interval, but on the run of the press before";
    EXPECT_TRUE(typeReturn(1300)) << "a single Return on a page shown longer than the interval";

    keys.pageChanged();
    EXPECT_TRUE(pressReturn(2500)) << "taken, but its click is still on its way";
    keys.pageChanged();
    EXPECT_FALSE(keys.takesClick()) << "the click lands on the next page";
    keys.keyStateChanged(false, &button);

    EXPECT_TRUE(keys.takesClick()) << "a click the program makes itself";
    EXPECT_FALSE(keys.keyPressed(juce::KeyPress(juce::KeyPress::tabKey), &button))
        << "a key that presses no button goes on";
}

TEST_F(PageClickGuardTest, AHeldReturnPressesOneButtonOnly)
{
    keys.pageChanged();
    EXPECT_TRUE(pressReturn(1000) && keys.takesClick());
    keys.pageChanged(); // the press changed the page
    EXPECT_FALSE(pressReturn(1660)) << "the first repeat, past the interval";
    EXPECT_FALSE(pressReturn(1700)) << "the next";
    keys.keyStateChanged(false, &button); // let go
    EXPECT_TRUE(typeReturn(2400)) << "a single Return once the key was let go";

    // The window system may send a release with each repeat, the first one's included.
    keys.pageChanged();
    EXPECT_TRUE(pressReturn(3000) && keys.takesClick());
    keys.pageChanged();
    now = 3660;
    keys.keyStateChanged(false, &button);
    EXPECT_FALSE(pressReturn(3660)) << "the first repeat, just after its release";
    keys.keyStateChanged(false, &button);
    EXPECT_FALSE(pressReturn(3700)) << "the next";
    keys.keyStateChanged(false, &button);

    keys.pageChanged();
    EXPECT_TRUE(pressReturn(5000) && keys.takesClick());
    keys.pageChanged(); // and the release goes to no button
    EXPECT_TRUE(typeReturn(8000)) << "a release never heard stands for a key that was let go";
}
