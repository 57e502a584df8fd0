// The release program under a real X server with a window manager, with a simulated TRV-Q8 on an
// emulated hidraw node, driven as a user drives it: clicks and keys through xdotool.
#include "HidTestbed.h"
#include "ProgramRun.h"
#include "TrvQ8Simulator.h"
#include "UpdateFileWriter.h"
#include "XDisplay.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <thread>

namespace
{
using namespace std::chrono_literals;

const char* const windowClass = "QLNUpdateProgram";
// The main component at 426 x 176: the right-hand and left-hand button slots, the language box.
const juce::Point<int> rightButton{356, 146}, leftButton{246, 146}, languageBox{213, 88};
// The progress bar's place, which the page snapshots draw half full.
const juce::Rectangle<int> progressBar{20, 78, 386, 20};

juce::File fromEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? juce::File(value) : juce::File();
}

// Compares two drawings of a page in blocks of 4 x 4 pixels: glyph edges come out slightly
// differently from one rendering to the next, while another text, image or widget changes the
// blocks it covers by far more. Gives the number of blocks outside `ignored` whose mean colour
// differs, and the largest difference seen.
struct PageDifference
{
    int blocks = 0;
    int largest = 0;
};

PageDifference comparePages(const juce::Image& actual, const juce::Image& expected,
                            juce::Rectangle<int> ignored)
{
    constexpr int side = 4, tolerance = 64;
    if (actual.getBounds() != expected.getBounds())
        return {1 << 20, 255};
    PageDifference difference;
    for (int top = 0; top < actual.getHeight(); top += side)
        for (int left = 0; left < actual.getWidth(); left += side)
        {
            const juce::Rectangle<int> block(left, top, side, side);
            if (block.intersects(ignored))
                continue;
            int sums[3] = {};
            for (int y = top; y < std::min(top + side, actual.getHeight()); ++y)
                for (int x = left; x < std::min(left + side, actual.getWidth()); ++x)
                {
                    const auto a = actual.getPixelAt(x, y), e = expected.getPixelAt(x, y);
                    sums[0] += a.getRed() - e.getRed();
                    sums[1] += a.getGreen() - e.getGreen();
                    sums[2] += a.getBlue() - e.getBlue();
                }
            int largest = 0;
            for (int sum : sums)
                largest = std::max(largest, std::abs(sum) / (side * side));
            difference.largest = std::max(difference.largest, largest);
            difference.blocks += largest > tolerance ? 1 : 0;
        }
    return difference;
}

void savePng(const juce::Image& image, const juce::File& file)
{
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out(file);
    juce::PNGImageFormat().writeImageToStream(image, out);
}

class ProgramWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(program.existsAsFile()) << "GUI_PROGRAM names no program";
        ASSERT_TRUE(snapshots.isDirectory()) << "GUI_SNAPSHOTS names no folder of page snapshots";
    }

    // The next test's program must not meet this one's window or its single-instance lock.
    void TearDown() override
    {
        run.reset();
        EXPECT_TRUE(screen.waitUntilNoWindows(windowClass, 5s));
    }

    void writeUpdateFile()
    {
        update.versionDigits = "123";
        update.blocks = {updfile::UpdateBlock::plain(updfile::patternBytes(300, 1)),
                         updfile::UpdateBlock::encrypted(updfile::patternBytes(1000, 2), 0x12345678, 42)};
        update.writeTo(folder.updateFile());
    }

    void plugDevice(hidtest::TrvQ8Faults faults = {})
    {
        device = std::make_unique<hidtest::TrvQ8Simulator>(
            bed, hidtest::TrvQ8Spec{.releaseNumber = 0x0105, .faults = faults});
    }

    void start()
    {
        run = std::make_unique<guitest::ProgramRun>(folder.executable(), folder.file("output.txt"));
        const auto shown = screen.waitForWindow(run->processId(), 10s);
        ASSERT_TRUE(shown.has_value()) << "no window; the program wrote: " << run->output();
        window = *shown;
    }

    // A click at a place of the main component; the pointer then leaves the window so that no
    // button is drawn under it.
    void click(juce::Point<int> at)
    {
        ASSERT_TRUE(guitest::shell("xdotool mousemove --window " + std::to_string(window) + " " +
                                   std::to_string(at.x) + " " + std::to_string(at.y) +
                                   " click 1 mousemove 0 0"));
    }

    void keys(const std::string& names) { ASSERT_TRUE(guitest::shell("xdotool key --delay 30 " + names)); }

    // The window manager's close, which openbox binds to Alt+F4.
    void closeWithWindowManager()
    {
        ASSERT_TRUE(
            guitest::shell("xdotool windowactivate --sync " + std::to_string(window) + " key alt+F4"));
    }

    // Waits until the window shows the page that the headless snapshots drew; keeps a screenshot.
    void expectPage(const std::string& snapshot, juce::Rectangle<int> ignored = {})
    {
        const auto expected = juce::ImageFileFormat::loadFrom(snapshots.getChildFile(snapshot + ".png"));
        ASSERT_TRUE(expected.isValid()) << snapshot;
        juce::Image actual;
        PageDifference difference{-1};
        for (const auto deadline = std::chrono::steady_clock::now() + 5s;
             difference.blocks != 0 && std::chrono::steady_clock::now() < deadline;
             std::this_thread::sleep_for(20ms))
        {
            actual = screen.capture(window);
            difference = comparePages(actual, expected, ignored);
        }
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        if (screenshots != juce::File())
            savePng(actual, screenshots.getChildFile(juce::String(test->name()).replaceCharacter('/', '-') +
                                                     "-" + snapshot + ".png"));
        EXPECT_EQ(difference.blocks, 0)
            << "the window differs from " << snapshot << " by up to " << difference.largest;
        std::cout << snapshot << ": largest difference " << difference.largest << "\n";
    }

    void expectEndsWithStatus0(std::chrono::milliseconds within = 5s)
    {
        const auto status = run->waitForExit(within);
        ASSERT_TRUE(status.has_value()) << "the program still runs";
        EXPECT_EQ(*status, 0) << run->output();
    }

    const juce::File program = fromEnvironment("GUI_PROGRAM");
    const juce::File snapshots = fromEnvironment("GUI_SNAPSHOTS");
    const juce::File screenshots = fromEnvironment("GUI_SCREENSHOTS");
    hidtest::HidTestbed bed; // first: the program finds the testbed through UMOCKDEV_DIR
    guitest::XDisplay screen;
    guitest::ProgramFolder folder{program};
    updfile::UpdateFile update;
    std::unique_ptr<hidtest::TrvQ8Simulator> device;
    std::unique_ptr<guitest::ProgramRun> run;
    unsigned long window = 0;
};

TEST_F(ProgramWindowTest, WindowIsCentredFixedInSizeAboveOthersAndTitledInItsLanguage)
{
    writeUpdateFile();
    start();
    expectPage("lang00-valid1-status0");

    const auto client = screen.clientBounds(window);
    EXPECT_EQ(client.getWidth(), 426);
    EXPECT_EQ(client.getHeight(), 176);
    // The window manager puts its frame where the program asked for the window: centred.
    const auto frame = screen.frameExtents(window);
    ASSERT_EQ(frame.size(), 4u);
    const auto screenArea = screen.screenBounds();
    EXPECT_EQ(client.getX() - frame[0], (screenArea.getWidth() - 426) / 2);
    EXPECT_EQ(client.getY() - frame[2], (screenArea.getHeight() - 176) / 2);

    const auto state = screen.atomList(window, "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), "_NET_WM_STATE_ABOVE"), state.end());
    const auto limits = screen.sizeLimits(window);
    EXPECT_TRUE(limits.present);
    EXPECT_EQ(limits.minWidth, 426);
    EXPECT_EQ(limits.maxWidth, 426);
    EXPECT_EQ(limits.minHeight, 176);
    EXPECT_EQ(limits.maxHeight, 176);
    // Motif hints: functions (second item) allow moving only, decorations have no buttons.
    const auto motif = screen.cardinals(window, "_MOTIF_WM_HINTS");
    ASSERT_GE(motif.size(), 3u);
    EXPECT_EQ(motif[1], 4);
    EXPECT_EQ(motif[2] & (0x20 | 0x40 | 0x04), 0);
    const auto allowed = screen.atomList(window, "_NET_WM_ALLOWED_ACTIONS");
    for (const char* action :
         {"_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
        EXPECT_EQ(std::find(allowed.begin(), allowed.end(), action), allowed.end()) << action;

    EXPECT_EQ(screen.title(window), "Updater Program");
    // The window manager keeps the size when asked for another.
    ASSERT_TRUE(guitest::shell("xdotool windowsize " + std::to_string(window) + " 600 400"));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(screen.clientBounds(window).getWidth(), 426);
    EXPECT_EQ(screen.clientBounds(window).getHeight(), 176);

    click(leftButton); // Cancel
    expectEndsWithStatus0();
}

TEST_F(ProgramWindowTest, LanguageBoxChangesTheLanguageOfPageAndTitle)
{
    writeUpdateFile();
    start();
    expectPage("lang00-valid1-status0");
    click(languageBox);
    keys("Down Return");
    expectPage("lang01-valid1-status0");
    EXPECT_EQ(screen.title(window), "Programme de mise \xc3\xa0 jour");
    click(rightButton);
    expectPage("lang01-valid1-status1");
    click(rightButton); // Close
    expectEndsWithStatus0();
}

TEST_F(ProgramWindowTest, WithoutUpdateFileShowsTheFileErrorPage)
{
    start();
    expectPage("lang00-valid0-status0");
    click(rightButton);
    expectPage("lang00-valid0-status1");
    click(rightButton);
    expectEndsWithStatus0();
}

TEST_F(ProgramWindowTest, UpdatesTheDeviceFromLanguagePageToSuccess)
{
    writeUpdateFile();
    plugDevice();
    start();
    click(rightButton);
    expectPage("lang00-valid1-status2");
    click(rightButton); // Start
    expectPage("lang00-valid1-status4");

    const auto received = device->received();
    ASSERT_EQ(received.blocks.size(), 2u);
    EXPECT_EQ(received.blocks.at(1), update.blocks[0].data);
    EXPECT_EQ(received.blocks.at(2), update.blocks[1].data);
    EXPECT_EQ(received.version, 123);
    click(rightButton); // OK
    expectEndsWithStatus0();
}

TEST_F(ProgramWindowTest, RefusedDataEndsOnTheFailurePage)
{
    writeUpdateFile();
    plugDevice({.wrongReplyOn = hidtest::trvq8::kWrite, .wrongReplyAt = 2, .wrongReply = 0x00});
    start();
    click(rightButton);
    expectPage("lang00-valid1-status2");
    click(rightButton);
    expectPage("lang00-valid1-status5");
    click(rightButton);
    expectEndsWithStatus0();
}

TEST_F(ProgramWindowTest, PagesFollowTheDeviceBeingPluggedAndUnplugged)
{
    writeUpdateFile();
    start();
    plugDevice(); // while the language page shows: nothing changes
    expectPage("lang00-valid1-status0");
    device->unplug();
    click(rightButton);
    expectPage("lang00-valid1-status1");
    device->plugIn();
    expectPage("lang00-valid1-status2");
    device->unplug();
    expectPage("lang00-valid1-status1");
    device->plugIn();
    expectPage("lang00-valid1-status2");
    click(leftButton); // Close
    expectEndsWithStatus0();
}

TEST_F(ProgramWindowTest, SecondStartShowsNoWindowAndSaysWhy)
{
    start();
    guitest::ProgramRun second(folder.executable(), folder.file("second.txt"));
    const auto status = second.waitForExit(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(second.output(), "Another instance is running - quitting...\n");
    EXPECT_EQ(screen.countWindows(windowClass), 1);
    EXPECT_TRUE(run->running());
    run->signal(SIGTERM);
    expectEndsWithStatus0();
}

TEST_F(ProgramWindowTest, WithoutDisplaySaysSoInOneLineAndFails)
{
    guitest::ProgramRun headless(folder.executable(), folder.file("output.txt"), false);
    const auto status = headless.waitForExit(10s);
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0);
    const auto output = headless.output();
    EXPECT_NE(output.find("display"), std::string::npos);
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1);
}

// Each platform quit request, on an idle page and during a transfer, ends the program through
// its shutdown.
enum class QuitRequest
{
    terminate,
    interrupt,
    closeWindow
};

class QuitRequestTest : public ProgramWindowTest, public ::testing::WithParamInterface<QuitRequest>
{
protected:
    void requestQuit()
    {
        switch (GetParam())
        {
        case QuitRequest::terminate:
            run->signal(SIGTERM);
            break;
        case QuitRequest::interrupt:
            run->signal(SIGINT);
            break;
        case QuitRequest::closeWindow:
            closeWithWindowManager();
            break;
        }
    }
};

TEST_P(QuitRequestTest, EndsTheProgramOnAnIdlePage)
{
    writeUpdateFile();
    start();
    expectPage("lang00-valid1-status0");
    requestQuit();
    expectEndsWithStatus0();
}

// The window manager's close is refused while the firmware is being written.
class QuitDuringATransferTest : public QuitRequestTest
{
};

TEST_P(QuitDuringATransferTest, EndsTheProgram)
{
    writeUpdateFile();
    plugDevice({.silentOn = hidtest::trvq8::kStart}); // the transfer waits for the device
    start();
    click(rightButton);
    expectPage("lang00-valid1-status2");
    click(rightButton);
    expectPage("lang00-valid1-status3", progressBar);
    ASSERT_EQ(device->received().commands.size(), 1u);
    requestQuit();
    expectEndsWithStatus0();
}

std::string quitRequestName(const ::testing::TestParamInfo<QuitRequest>& info)
{
    switch (info.param)
    {
    case QuitRequest::terminate:
        return "Sigterm";
    case QuitRequest::interrupt:
        return "Sigint";
    default:
        return "WindowManagerClose";
    }
}

INSTANTIATE_TEST_SUITE_P(Gui, QuitRequestTest,
                         ::testing::Values(QuitRequest::terminate, QuitRequest::interrupt,
                                           QuitRequest::closeWindow),
                         quitRequestName);
INSTANTIATE_TEST_SUITE_P(Gui, QuitDuringATransferTest,
                         ::testing::Values(QuitRequest::terminate, QuitRequest::interrupt), quitRequestName);

TEST_F(ProgramWindowTest, TheWindowManagersCloseLetsAnUpdateRunOnToItsOutcome)
{
    writeUpdateFile();
    plugDevice({.replyDelay = 100ms}); // a few seconds of writing
    start();
    click(rightButton);
    expectPage("lang00-valid1-status2");
    click(rightButton);
    expectPage("lang00-valid1-status3", progressBar);
    closeWithWindowManager();
    expectPage("lang00-valid1-status4");
    EXPECT_EQ(device->received().blocks.at(2), update.blocks[1].data);
    click(rightButton); // OK
    expectEndsWithStatus0();
}

} // namespace
