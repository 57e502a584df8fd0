#include "PageClickGuard.h"
#include "FontFixture.h"

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

    static constexpr int interval = 100;
    juce::Component window;
    juce::TextButton button;
    PageClickGuard guard{window};
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
