// The release program under a real X server with a window manager, with a simulated TRV-Q8 on an
// emulated hidraw node, driven as a user drives it: clicks and keys through xdotool. Every wait
// is for what a user would see; its limit only ends a wait for what never comes.
#include "HidTestbed.h"
#include "TrvQ8Simulator.h"
#include "UpdateFileWriter.h"
#include "WallClockShift.h"
#include "XDisplay.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace
{
using namespace std::chrono_literals;

// The main component at 426 x 176: the right-hand and left-hand button slots, the language box,
// and the progress bar, which the page snapshots draw half full.
const juce::Point<int> rightButton{356, 146}, leftButton{246, 146}, languageBox{213, 88};
const juce::Rectangle<int> progressBar{20, 78, 386, 20};
// The window's title in each language.
const std::string titles[] = {"Updater Program",
                              "Programme de mise \xc3\xa0 jour",
                              "Update-Programm",
                              "Programa de actualización",
                              "Programma di aggiornamento",
                              "Updateprogramma",
                              "Программа обновления",
                              "Programa de atualização",
                              "更新程序",
                              "更新程式",
                              "업데이트 프로그램",
                              "アップデートプログラム"};
// How long a user looks at a page before clicking: longer than a double click takes.
constexpr auto reactionTime = 600ms;

bool eventually(const std::function<bool()>& condition, std::chrono::seconds patience = 20s)
{
    const auto limit = std::chrono::steady_clock::now() + patience;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Counts the blocks of 4 x 4 pixels outside `ignored` whose mean colour differs between two
// drawings of a page: glyph edges come out slightly differently from one rendering to the next,
// while another text, image or widget changes the blocks it covers by far more.
int differingBlocks(const juce::Image& actual, const juce::Image& expected, juce::Rectangle<int> ignored)
{
    constexpr int side = 4, tolerance = 64;
    if (actual.getBounds() != expected.getBounds())
        return -1;
    int blocks = 0;
    for (int top = 0; top < actual.getHeight(); top += side)
        for (int left = 0; left < actual.getWidth(); left += side)
        {
            const auto block =
                juce::Rectangle<int>(left, top, side, side).getIntersection(actual.getBounds());
            int sums[3] = {};
            for (int y = block.getY(); y < block.getBottom(); ++y)
                for (int x = block.getX(); x < block.getRight(); ++x)
                {
                    const auto a = actual.getPixelAt(x, y), e = expected.getPixelAt(x, y);
                    sums[0] += a.getRed() - e.getRed();
                    sums[1] += a.getGreen() - e.getGreen();
                    sums[2] += a.getBlue() - e.getBlue();
                }
            const bool differs = std::any_of(
                sums, sums + 3, [](int sum) { return std::abs(sum) / (side * side) > tolerance; });
            blocks += differs && !block.intersects(ignored) ? 1 : 0;
        }
    return blocks;
}

// The program started from a shell as its users start it, its standard output and error in a file.
class Program
{
public:
    // `environment`: "NAME=value ..." to add to the program's own.
    Program(const juce::File& executable, const juce::File& output, bool withDisplay = true,
            const std::string& environment = {})
        : output(output)
    {
        const std::string command = "exec " + std::string(withDisplay ? "" : "env -u DISPLAY ") +
                                    (environment.empty() ? "" : "env " + environment + " ") +
                                    executable.getFullPathName().quoted().toStdString() + " >" +
                                    output.getFullPathName().quoted().toStdString() + " 2>&1";
        const char* arguments[] = {"sh", "-c", command.c_str(), nullptr};
        if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(arguments), environ) != 0)
            throw std::runtime_error("cannot run " + command);
    }

    ~Program()
    {
        if (!exitStatus())
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // Once the program has ended: its exit status, or -1 when a signal ended it.
    std::optional<int> exitStatus()
    {
        int raw = 0;
        if (!status && ::waitpid(pid, &raw, WNOHANG) == pid)
        {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
            signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
        }
        return status;
    }

    // How the program has ended, if it has.
    std::string ending()
    {
        if (!exitStatus())
            return "the program still runs";
        if (signal != 0)
            return "signal " + std::to_string(signal) + " (" + strsignal(signal) + ") ended the program";
        return "the program ended with status " + std::to_string(*status);
    }

    std::string written() const { return output.loadFileAsString().toStdString(); }

    // Where each of its threads stands, for a program that does not end when it should.
    std::string stacks() const
    {
        const std::string command =
            "gdb -p " + std::to_string(pid) + " -batch -ex 'thread apply all bt' 2>&1";
        std::string text;
        if (FILE* gdb = ::popen(command.c_str(), "r"))
        {
            char buffer[4096];
            while (const size_t count = std::fread(buffer, 1, sizeof buffer, gdb))
                text.append(buffer, count);
            ::pclose(gdb);
        }
        return text;
    }

    pid_t pid = -1;

private:
    juce::File output;
    std::optional<int> status;
    int signal = 0;
};

class ProgramWindowTest : public ::testing::Test
{
protected:
    // The program in a folder of its own, with its resources and the update file a test writes.
    void SetUp() override
    {
        const juce::File program = juce::File(std::getenv("GUI_PROGRAM"));
        ASSERT_TRUE(program.existsAsFile()) << "GUI_PROGRAM names no program";
        ASSERT_TRUE(snapshots.isDirectory()) << "GUI_SNAPSHOTS names no folder of page snapshots";
        ASSERT_TRUE(folder.createDirectory() && program.copyFileTo(executable));
        executable.setExecutePermission(true);
        program.getSiblingFile("Resources").copyDirectoryTo(folder.getChildFile("Resources"));
    }

    void TearDown() override
    {
        run.reset();
        folder.deleteRecursively();
    }

    void writeUpdateFile()
    {
        update.blocks = {updfile::UpdateBlock::plain(updfile::patternBytes(300, 1)),
                         updfile::UpdateBlock::encrypted(updfile::patternBytes(1000, 2), 0x12345678, 42)};
        update.writeTo(updateFile());
    }

    void writeDamagedUpdateFile()
    {
        writeUpdateFile();
        auto bytes = update.bytes();
        bytes[100] ^= 0x01;
        updfile::writeBytes(updateFile(), bytes);
    }

    void placeNamedPipe() { ASSERT_EQ(::mkfifo(updateFile().getFullPathName().toRawUTF8(), 0600), 0); }

    juce::File updateFile() const { return folder.getChildFile("TRV-Q8_UP.upd"); }

    void plugIn(const hidtest::TrvQ8Faults& faults)
    {
        device = std::make_unique<hidtest::TrvQ8Simulator>(
            bed, hidtest::TrvQ8Spec{.releaseNumber = 0x0105, .faults = faults});
    }

    void start(const std::string& environment = {})
    {
        run = std::make_unique<Program>(executable, folder.getChildFile("output.txt"), true, environment);
        ASSERT_TRUE(eventually([this] { return (window = screen.window(run->pid).value_or(0)) != 0; }))
            << "no window; the program wrote: " << run->written();
    }

    // Starts the program with a named pipe in its preferences file's place, in a configuration
    // folder of this test's own.
    void startWithANamedPipeForPreferences()
    {
        const juce::File config = folder.getChildFile("config");
        ASSERT_TRUE(config.createDirectory());
        const auto preferences = config.getChildFile(executable.getFileName() + ".plist");
        ASSERT_EQ(::mkfifo(preferences.getFullPathName().toRawUTF8(), 0600), 0);
        const char* configured = std::getenv("XDG_CONFIG_HOME");
        const std::optional<std::string> before =
            configured ? std::optional<std::string>(configured) : std::nullopt;
        ::setenv("XDG_CONFIG_HOME", config.getFullPathName().toRawUTF8(), 1);
        start();
        before ? ::setenv("XDG_CONFIG_HOME", before->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    }

    // Why the window no longer shows. A program's windows go as it ends: its status follows soon.
    std::string windowGone()
    {
        eventually([this] { return run->exitStatus().has_value(); }, 5s);
        return "the program's window has gone; " + run->ending() + "; it wrote: " + run->written();
    }

    void xdotool(const std::string& arguments)
    {
        ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    }

    // A click at a place of the main component, once the user has seen the page; the pointer then
    // leaves the window so that no button is drawn under it. A double click is two clicks 120 ms
    // apart, as a user makes it.
    void click(juce::Point<int> at, bool twice = false)
    {
        ASSERT_TRUE(screen.exists(window)) << windowGone();
        std::this_thread::sleep_until(pageSeenAt + reactionTime);
        xdotool("mousemove --window " + std::to_string(window) + " " + std::to_string(at.x) + " " +
                std::to_string(at.y) + (twice ? " click --repeat 2 --delay 120 1" : " click 1") +
                " mousemove 0 0");
    }

    // The language after the current one, from the language box's menu once the menu shows.
    void chooseNextLanguage()
    {
        click(languageBox);
        ASSERT_TRUE(eventually([this] { return screen.popup(run->pid).has_value(); })) << "no menu";
        xdotool("key Down Return");
    }

    // Waits until the window shows the page that the headless snapshots drew, titled in its
    // language; keeps a screenshot. Pages go by language, valid file and status: "00-1-2".
    void expectPage(const std::string& page)
    {
        const auto snapshot = "lang" + page.substr(0, 2) + "-valid" + page[3] + "-status" + page[5] + ".png";
        const auto expected = juce::ImageFileFormat::loadFrom(snapshots.getChildFile(snapshot));
        ASSERT_TRUE(expected.isValid()) << snapshot;
        const auto ignored = page[5] == '3' ? progressBar : juce::Rectangle<int>();
        juce::Image shown;
        bool same = false;
        eventually(
            [&]
            {
                shown = screen.capture(window);
                same = differingBlocks(shown, expected, ignored) == 0;
                return same || !screen.exists(window);
            });
        ASSERT_TRUE(same || screen.exists(window)) << windowGone();
        ASSERT_TRUE(shown.isValid()) << "the window shows nothing to capture; " << run->ending();
        const juce::String test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const auto screenshot = screenshots.getChildFile(test.replaceCharacter('/', '-') + "-" + snapshot);
        screenshot.deleteFile();
        juce::FileOutputStream out(screenshot);
        juce::PNGImageFormat().writeImageToStream(shown, out);
        ASSERT_TRUE(same) << "the window does not show " << page << ": see " << screenshot.getFullPathName();
        EXPECT_EQ(screen.text(window, "WM_NAME"), titles[std::stoi(page.substr(0, 2))]);
        pageSeenAt = std::chrono::steady_clock::now();
    }

    void expectEndsWithStatus0(Program& program)
    {
        // Quit during a transfer, the program waits for its finish's answer, which cannot reach it
        // then (10 s); a quit that left the transfer waiting for a chunk would take 180 s.
        ASSERT_TRUE(eventually([&] { return program.exitStatus().has_value(); }, 60s))
            << "the program still runs; it wrote: " << program.written() << "\nits threads:\n"
            << program.stacks();
        EXPECT_EQ(program.exitStatus(), 0) << program.written();
    }

    // The program with a wall clock of its own, which the test steps while it runs; the X server's
    // clock goes on, as on a resume from suspend.
    void startOnAMovableClock()
    {
        const auto shiftFile = folder.getChildFile("wall-clock-shift").getFullPathName().toStdString();
        ASSERT_TRUE(wallclock::shiftThrough(shiftFile.c_str(), wallClockShift));
        const char* preloaded = std::getenv("LD_PRELOAD"); // umockdev's, for the emulated devices
        start("LD_PRELOAD=" + (preloaded != nullptr ? std::string(preloaded) + ":" : "") + WALL_CLOCK_SHIM +
              " " + wallclock::shiftFileVariable + "=" + shiftFile);
    }

    void stepWallClock(std::chrono::hours step)
    {
        wallClockShift += step;
        const auto shiftFile = folder.getChildFile("wall-clock-shift").getFullPathName().toStdString();
        ASSERT_TRUE(wallclock::shiftThrough(shiftFile.c_str(), wallClockShift));
    }

    // Keys pressed through xdotool once the user has seen the page, as a user presses them.
    void keys(const std::string& arguments)
    {
        ASSERT_TRUE(screen.exists(window)) << windowGone();
        std::this_thread::sleep_until(pageSeenAt + reactionTime);
        xdotool(arguments);
    }

    // The pointer rests on a button slot while the device arrives; as soon as the device-ready
    // page shows, the user clicks a run of clicks that lasts longer than the double-click interval.
    void clickRunAsTheDeviceArrives(juce::Point<int> at)
    {
        std::this_thread::sleep_until(pageSeenAt + reactionTime);
        xdotool("mousemove --window " + std::to_string(window) + " " + std::to_string(at.x) + " " +
                std::to_string(at.y));
        device ? device->plugIn() : plugIn({});
        expectPage("00-1-2");
        xdotool("click --repeat 8 --delay 150 1 mousemove 0 0");
    }

    // Long enough for the program to act on what it was sent; it has taken none of it.
    void expectNothingDone()
    {
        std::this_thread::sleep_for(1s);
        ASSERT_FALSE(run->exitStatus().has_value()) << run->ending() << "; it wrote: " << run->written();
        if (device)
        {
            EXPECT_TRUE(device->received().commands.empty()) << "the device was written to";
        }
    }

    const juce::File snapshots = juce::File(std::getenv("GUI_SNAPSHOTS"));
    const juce::File screenshots = juce::File(std::getenv("GUI_SCREENSHOTS"));
    const juce::File folder = juce::File::createTempFile("gui");
    const juce::File executable = folder.getChildFile("QLNUpdateProgram");
    hidtest::HidTestbed bed; // before the program: it finds the testbed through UMOCKDEV_DIR
    guitest::XDisplay screen;
    updfile::UpdateFile update;
    std::unique_ptr<hidtest::TrvQ8Simulator> device;
    std::unique_ptr<Program> run;
    unsigned long window = 0;
    std::chrono::steady_clock::time_point pageSeenAt;
    std::chrono::seconds wallClockShift{0};
};

TEST_F(ProgramWindowTest, WindowIsCentredFixedInSizeAboveOthersWithoutButtonsOfItsOwn)
{
    writeUpdateFile();
    start();
    expectPage("00-1-0");

    // The window manager puts its frame (left, right, top, bottom) where the program asked for
    // the window: centred.
    const auto client = screen.clientBounds(window);
    const auto frame = screen.cardinals(window, "_NET_FRAME_EXTENTS");
    ASSERT_EQ(frame.size(), 4u);
    EXPECT_EQ(client.translated(-frame[0], -frame[2]), screen.screenBounds().withSizeKeepingCentre(426, 176));
    const auto state = screen.cardinals(window, "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), screen.atom("_NET_WM_STATE_ABOVE")), state.end());
    // Normal hints: the minimum and maximum sizes are given (flags 16 and 32), and are the size.
    const auto hints = screen.cardinals(window, "WM_NORMAL_HINTS");
    ASSERT_GE(hints.size(), 9u);
    EXPECT_EQ(hints[0] & 48, 48);
    EXPECT_EQ(std::vector<long>(hints.begin() + 5, hints.begin() + 9),
              (std::vector<long>{426, 176, 426, 176}));
    // Motif hints: the functions allow moving only; the decorations have no buttons. (The
    // window manager's allowed actions follow from these and the size hints.)
    const auto motif = screen.cardinals(window, "_MOTIF_WM_HINTS");
    ASSERT_GE(motif.size(), 3u);
    EXPECT_EQ(motif[1], 4);
    EXPECT_EQ(motif[2] & (0x20 | 0x40 | 0x04), 0);

    click(leftButton); // Cancel
    expectEndsWithStatus0(*run);
}

TEST_F(ProgramWindowTest, ASecondStartEndsAtOnceAndSaysWhy)
{
    start();
    Program second(executable, folder.getChildFile("second.txt"));
    expectEndsWithStatus0(second);
    EXPECT_EQ(second.written(), "Another instance is running - quitting...\n");
    EXPECT_FALSE(run->exitStatus().has_value());
}

TEST_F(ProgramWindowTest, WithoutDisplaySaysSoInOneLineAndFails)
{
    Program headless(executable, folder.getChildFile("output.txt"), false);
    ASSERT_TRUE(eventually([&] { return headless.exitStatus().has_value(); }));
    EXPECT_NE(headless.exitStatus(), 0);
    const auto output = headless.written();
    EXPECT_NE(output.find("display"), std::string::npos);
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1);
}

// The tests' own check of a page: a program that dies leaves a failed test and a reason, and the
// tests after it still run.
TEST_F(ProgramWindowTest, APageCheckSaysWhenTheProgramHasDied)
{
    writeUpdateFile();
    start();
    ::kill(run->pid, SIGKILL);
    ::testing::TestPartResultArray failures;
    {
        ::testing::ScopedFakeTestPartResultReporter intercept(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &failures);
        expectPage("00-1-1"); // a page that never shows: the wait ends with the window
    }
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures.GetTestPartResult(0).fatally_failed());
    const std::string message = failures.GetTestPartResult(0).message();
    EXPECT_NE(message.find("the program's window has gone"), std::string::npos) << message;
    EXPECT_NE(message.find("signal 9"), std::string::npos) << message;
}

// What lies beside the program in the update file's place.
enum class UpdateFileKind
{
    none,
    valid,
    damaged,
    namedPipe
};

// A user's (or the system's) acts, each followed by the page that shows then ("end": the program
// has ended with status 0; "-": no page to look at).
struct Journey
{
    const char* name;
    UpdateFileKind updateFile;
    std::optional<hidtest::TrvQ8Faults> device; // plugged in from the start
    const char* acts;
};

// A failed journey is reported by its name.
void PrintTo(const Journey& journey, std::ostream* out)
{
    *out << journey.name;
}

class JourneyTest : public ProgramWindowTest, public ::testing::WithParamInterface<Journey>
{
protected:
    const std::map<std::string, std::function<void()>> acts = {
        {"start", [this] { start(); }},
        {"startWithANamedPipeForPreferences", [this] { startWithANamedPipeForPreferences(); }},
        {"right", [this] { click(rightButton); }},
        {"doubleRight", [this] { click(rightButton, true); }},
        // Presses by keyboard, runs of clicks, and steps of the wall clock.
        {"rightThenReturn",
         [this]
         {
             keys("mousemove --window " + std::to_string(window) + " " + std::to_string(rightButton.x) + " " +
                  std::to_string(rightButton.y) + " click 1 sleep 0.1 key Return mousemove 0 0");
         }},
        {"focusRight", // pressed, then the pointer slides off before the release: no click
         [this]
         {
             keys("mousemove --window " + std::to_string(window) + " " + std::to_string(rightButton.x) + " " +
                  std::to_string(rightButton.y) + " mousedown 1 mousemove 0 0 mouseup 1");
         }},
        {"return", [this] { keys("key Return"); }},
        {"twoReturns", [this] { keys("key --delay 120 Return Return"); }},
        {"holdReturn", [this] { keys("keydown Return sleep 2 keyup Return"); }},
        {"clickRunOnRightAsTheDeviceArrives", [this] { clickRunAsTheDeviceArrives(rightButton); }},
        {"nothingDone", [this] { expectNothingDone(); }},
        {"startOnAMovableClock", [this] { startOnAMovableClock(); }},
        {"wallClockForward", [this] { stepWallClock(1h); }},
        {"wallClockBack", [this] { stepWallClock(-1h); }},
        {"rightAfter2s",
         [this]
         {
             std::this_thread::sleep_until(pageSeenAt + 2s);
             click(rightButton);
         }},
        {"left", [this] { click(leftButton); }},
        {"nothingSent", [this] { EXPECT_TRUE(device->received().commands.empty()); }},
        {"nextLanguage", [this] { chooseNextLanguage(); }},
        {"plugIn", [this] { device ? device->plugIn() : plugIn({}); }},
        {"unplug", [this] { device->unplug(); }},
        {"leaveAnnouncedOnceMore", [this] { device->leaveAnnouncedOnceMore(); }},
        {"announceRemoval", [this] { device->announceRemoval(); }},
        {"announceArrival", [this] { device->announceArrival(); }},
        {"release", [this] { device->release(); }},
        {"held", [this] { ASSERT_TRUE(eventually([this] { return !device->received().blocks.empty(); })); }},
        {"sigterm", [this] { ::kill(run->pid, SIGTERM); }},
        {"sigint", [this] { ::kill(run->pid, SIGINT); }},
        {"close", [this] { screen.askToClose(window); }}};
};

TEST_P(JourneyTest, ShowsEachPageInTurn)
{
    const Journey& journey = GetParam();
    if (journey.updateFile == UpdateFileKind::valid)
        writeUpdateFile();
    else if (journey.updateFile == UpdateFileKind::damaged)
        writeDamagedUpdateFile();
    else if (journey.updateFile == UpdateFileKind::namedPipe)
        placeNamedPipe();
    if (journey.device)
        plugIn(*journey.device);
    std::istringstream script(journey.acts);
    std::string act, page, shown;
    while (!HasFatalFailure() && script >> act >> page)
    {
        acts.at(act)();
        if (HasFatalFailure())
            break;
        if (page == "end")
            expectEndsWithStatus0(*run);
        else if (page != "-")
            expectPage(shown = page);
    }
    if (shown == "00-1-4") // the firmware as the device received it
    {
        const auto received = device->received();
        EXPECT_EQ(received.version, 123);
        EXPECT_EQ(received.blocks,
                  (std::map<int, updfile::Bytes>{{1, update.blocks[0].data}, {2, update.blocks[1].data}}));
    }
}

// Pages as language-valid file-status: 00-1-2 is the device-ready page in English.
const hidtest::TrvQ8Faults heldData{.holdOn = hidtest::trvq8::kWrite},
    silentStart{.silentOn = hidtest::trvq8::kStart};
const Journey journeys[] = {
    {"WithoutUpdateFile", UpdateFileKind::none, {}, "start 00-0-0 right 00-0-1 right end"},
    {"InTheLanguageChosen",
     UpdateFileKind::valid,
     {},
     "start 00-1-0 nextLanguage 01-1-0 right 01-1-1 right end"},
    {"FollowingTheDevice",
     UpdateFileKind::valid,
     {},
     "start 00-1-0 right 00-1-1 plugIn 00-1-2 unplug 00-1-1 plugIn 00-1-2 left end"},
    // The window manager's close is refused while the firmware is being written.
    {"ToSuccessRefusingTheClose", UpdateFileKind::valid, heldData,
     "start 00-1-0 right 00-1-2 right 00-1-3 close 00-1-3 release 00-1-4 right end"},
    {"ToFailureWhenDataIsRefused", UpdateFileKind::valid,
     hidtest::TrvQ8Faults{.wrongReplyOn = hidtest::trvq8::kWrite, .wrongReplyAt = 2},
     "start 00-1-0 right 00-1-2 right 00-1-5 right end"},
    // A device that restarts into its new firmware: its answer, then udev's word, then the hang-up.
    {"ToSuccessWhenTheDeviceLeavesOnItsAnswer", UpdateFileKind::valid,
     hidtest::TrvQ8Faults{.leavesAfterAnswering = hidtest::trvq8::kFinish},
     "start 00-1-0 right 00-1-2 right 00-1-4 right end"},
    {"ToNoDeviceWhenAGoneNodeIsAnnouncedOnceMore", UpdateFileKind::valid, hidtest::TrvQ8Faults{},
     "start 00-1-0 right 00-1-2 leaveAnnouncedOnceMore 00-1-1 right end"},
    // udevadm trigger --action=remove, then --action=add: the device never left.
    {"ToSuccessWhenUdevRemovesAndAddsTheDeviceAgain", UpdateFileKind::valid, hidtest::TrvQ8Faults{},
     "start 00-1-0 right 00-1-2 announceRemoval 00-1-1 announceArrival 00-1-2 right 00-1-4 right end"},
    // The platform's quit requests end the program through its shutdown, during an update too.
    {"UntilSigterm", UpdateFileKind::valid, {}, "start 00-1-0 sigterm end"},
    {"UntilSigint", UpdateFileKind::valid, {}, "start 00-1-0 sigint end"},
    {"UntilClosed", UpdateFileKind::valid, {}, "start 00-1-0 close end"},
    {"UntilSigtermDuringAnUpdate", UpdateFileKind::valid, heldData,
     "start 00-1-0 right 00-1-2 right 00-1-3 held 00-1-3 sigterm end"},
    {"UntilSigintDuringAnUpdate", UpdateFileKind::valid, silentStart,
     "start 00-1-0 right 00-1-2 right 00-1-3 sigint end"},
    // A press aimed at one page presses no button of the next, by keyboard either: Return on the
    // button that holds the focus after a click on OK, two quick Returns, a held Return. A single
    // press later still works. Without a device, Close takes the focus from OK as OK goes.
    {"AReturnJustAfterAClickOnOkStartsNothing", UpdateFileKind::valid, hidtest::TrvQ8Faults{},
     "start 00-1-0 rightThenReturn 00-1-2 nothingDone 00-1-2 return 00-1-4 right end"},
    {"AReturnJustAfterAClickOnOkEndsNothing",
     UpdateFileKind::valid,
     {},
     "start 00-1-0 rightThenReturn 00-1-1 nothingDone 00-1-1 plugIn 00-1-2 right 00-1-4 right end"},
    {"TwoQuickReturnsOnAFocusedOkStartNothing", UpdateFileKind::valid, hidtest::TrvQ8Faults{},
     "start 00-1-0 focusRight 00-1-0 twoReturns 00-1-2 nothingDone 00-1-2 return 00-1-4 right end"},
    {"TwoQuickReturnsOnAFocusedOkEndNothing",
     UpdateFileKind::valid,
     {},
     "start 00-1-0 focusRight 00-1-0 twoReturns 00-1-1 nothingDone 00-1-1 plugIn 00-1-2 right 00-1-4 right "
     "end"},
    {"AHeldReturnOnAFocusedOkStartsNothing", UpdateFileKind::valid, hidtest::TrvQ8Faults{},
     "start 00-1-0 focusRight 00-1-0 holdReturn 00-1-2 nothingDone 00-1-2 return 00-1-4 right end"},
    {"AHeldReturnOnAFocusedOkEndsNothing",
     UpdateFileKind::valid,
     {},
     "start 00-1-0 focusRight 00-1-0 holdReturn 00-1-1 nothingDone 00-1-1 plugIn 00-1-2 right 00-1-4 right "
     "end"},
    // A run of clicks begun just after the page changed: its first click is refused, and so is
    // the rest of it.
    {"ARunOfClicksOnCloseAsTheDeviceArrivesWritesNothing",
     UpdateFileKind::valid,
     {},
     "start 00-1-0 right 00-1-1 clickRunOnRightAsTheDeviceArrives - nothingDone 00-1-2 left end"},
    // The X server's clock goes on while the program's wall clock steps.
    {"ToSuccessWithTheWallClockAnHourForward",
     UpdateFileKind::valid,
     {},
     "startOnAMovableClock 00-1-0 right 00-1-1 wallClockForward - plugIn 00-1-2 rightAfter2s 00-1-4 right "
     "end"},
    {"ToSuccessWithTheWallClockAnHourBack", UpdateFileKind::valid, hidtest::TrvQ8Faults{},
     "startOnAMovableClock 00-1-0 right 00-1-2 wallClockBack - rightAfter2s 00-1-4 right end"},
    // A double click is one press: its second click never presses the next page's button, which
    // there would start the update, or end the program.
    {"ADoubleClickOnOkShowsTheDevice", UpdateFileKind::valid, hidtest::TrvQ8Faults{},
     "start 00-1-0 doubleRight 00-1-2 left end nothingSent -"},
    {"ADoubleClickOnOkShowsThatNoDeviceIsThere",
     UpdateFileKind::valid,
     {},
     "start 00-1-0 doubleRight 00-1-1 right end"},
    {"ADoubleClickOnOkShowsTheDamagedFile",
     UpdateFileKind::damaged,
     {},
     "start 00-0-0 doubleRight 00-0-1 right end"},
    {"WithANamedPipeForUpdateFile", UpdateFileKind::namedPipe, {}, "start 00-0-0 right 00-0-1 right end"},
    // The window comes at once: the preferences are read only from a regular file.
    {"WithANamedPipeForPreferences",
     UpdateFileKind::valid,
     {},
     "startWithANamedPipeForPreferences 00-1-0 right 00-1-1 right end"},
    // Each language from the box's menu in turn: the box names it in its own script at once.
    {"ThroughEveryLanguage",
     UpdateFileKind::valid,
     {},
     "start 00-1-0 nextLanguage 01-1-0 nextLanguage 02-1-0 nextLanguage 03-1-0 nextLanguage 04-1-0 "
     "nextLanguage 05-1-0 nextLanguage 06-1-0 nextLanguage 07-1-0 nextLanguage 08-1-0 nextLanguage 09-1-0 "
     "nextLanguage 10-1-0 nextLanguage 11-1-0 left end"}};

INSTANTIATE_TEST_SUITE_P(Gui, JourneyTest, ::testing::ValuesIn(journeys),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
