// The update engine end to end: an emulated TRV-Q8 behind a hidraw node, the platform layer, the
// device connection and control, the main component's status machine and its worker thread.
#include "AlineButton.h"
#include "FreshProcess.h"
#include "HidApi.h"
#include "HidCtrl.h"
#include "HidTestbed.h"
#include "MainComponent.h"
#include "MainRunLoopBridge.h"
#include "NodeFaults.h"
#include "TrvQ8Simulator.h"
#include "UpdateFileWriter.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <tuple>

using namespace hidtest;
using updfile::patternBytes;
using updfile::UpdateBlock;
using updfile::UpdateFile;

namespace
{
juce::File updateFileBesideTheProgram()
{
    return juce::File::getSpecialLocation(juce::File::currentExecutableFile).getSiblingFile("TRV-Q8_UP.upd");
}

UpdateFile oneBlockFile(std::size_t size)
{
    UpdateFile file;
    file.blocks.push_back(UpdateBlock::plain(patternBytes(size, 6)));
    return file;
}

UpdateFile threeBlockFile()
{
    UpdateFile file;
    file.versionDigits = "123";
    file.blocks.push_back(UpdateBlock::plain(patternBytes(100, 1)));
    file.blocks.push_back(UpdateBlock::encrypted(patternBytes(130, 2), 0x12345678, 42));
    file.blocks.push_back(UpdateBlock::plain(patternBytes(7, 3)));
    return file;
}

// The time limits the program keeps, read before any test shortens them.
const MainComponent::TransferTimeLimits programTimeLimits = MainComponent::transferTimeLimits;

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainComponent::transferTimeLimits = programTimeLimits;
        attachMainRunLoopToMessageLoop();
    }

    void TearDown() override
    {
        component.reset();
        detachMainRunLoopFromMessageLoop();
        updateFileBesideTheProgram().deleteFile();
        MainComponent::transferTimeLimits = programTimeLimits;
    }

    void start(const UpdateFile& file)
    {
        file.writeTo(updateFileBesideTheProgram());
        component = std::make_unique<MainComponent>();
    }

    // Runs the message loop, which also serves the device callbacks, until the condition holds.
    bool pumpUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32)timeoutMs;
        while (!condition())
        {
            if (juce::Time::getMillisecondCounter() > deadline)
                return false;
            juce::MessageManager::getInstance()->runDispatchLoopUntil(2);
        }
        return true;
    }

    void pump(int ms)
    {
        pumpUntil([] { return false; }, ms);
    }

    void pressOk() { component->buttonClicked((juce::Button*)component->okButton); }

    // From the language page to the device-ready page, then Start, then the outcome.
    int runUpdate()
    {
        pressOk();
        EXPECT_EQ(component->status, MainComponent::STATUS_CONNECTED);
        pressOk();
        EXPECT_EQ(component->status, MainComponent::STATUS_UPDATING);
        EXPECT_TRUE(
            pumpUntil([this] { return component->status >= MainComponent::STATUS_SUCCEEDED; }, 30000));
        return component->status;
    }

    static void shortenTimeLimits()
    {
        MainComponent::transferTimeLimits.replyMs = 300;
        MainComponent::transferTimeLimits.dataMs = 300;
    }

    juce::ScopedJuceInitialiser_GUI juce;
    HidTestbed bed;
    std::unique_ptr<MainComponent> component;
};
} // namespace

TEST_F(EngineTest, WritesTheMarkedBlocksByteForByteAsTheDeviceAnswers)
{
    struct Case
    {
        const char* name;
        TrvQ8Faults faults;
        const char* updateFlags; // of the three blocks
        const char* selected;    // block numbers
        const char* written;
        int finishes;
        double progress;
    };
    const Case cases[] = {
        {"every block marked", {}, "YYY", "123", "123", 1, 1.0},
        {"only a capital Y marks a block", {}, "YyY", "13", "13", 1, 0.45},
        {"none marked: only the finish decides", {}, "NNN", "", "", 1, 0.0},
        {"a refused select passes over its block", {.refusedSelects = {2}}, "YYY", "123", "13", 1, 0.45},
        {"asked again while still finishing", {.stillFinishing = 3}, "YYY", "123", "123", 4, 1.0},
        {"the reply's percentage moves the progress", {.percentage = 50}, "YYY", "123", "123", 1, 0.5},
        {"a one-byte reply carries no percentage", {.replyLength = 1}, "YYY", "123", "123", 1, 0.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TrvQ8Simulator device(bed, {.releaseNumber = 0x0123, .faults = c.faults});
        UpdateFile file = threeBlockFile();
        for (int i = 0; i < 3; ++i)
            file.blocks[i].updateFlag = (uint8_t)c.updateFlags[i];
        start(file);
        EXPECT_EQ(component->fileValid, 1);
        EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
        EXPECT_EQ(component->currentVersion, 123);
        EXPECT_DOUBLE_EQ(component->progress, c.progress);

        const TrvQ8Received got = device.received();
        EXPECT_EQ(got.version, 123);
        EXPECT_EQ(got.totalSize, file.totalSize());
        ASSERT_EQ(got.entries.size(), 3u);
        for (int i = 0; i < 3; ++i)
        {
            const auto& data = file.blocks[i].data;
            EXPECT_EQ(got.entries[i].number, i + 1);
            EXPECT_EQ(got.entries[i].update, c.updateFlags[i] == 'Y');
            EXPECT_EQ(got.entries[i].size, data.size());
            EXPECT_EQ(got.entries[i].crc16, updfile::crc16Xmodem(data.data(), data.size()));
        }
        std::string selected, written;
        for (const int number : got.selected)
            selected += std::to_string(number);
        EXPECT_EQ(selected, c.selected);
        for (const auto& [number, data] : got.blocks)
        {
            written += std::to_string(number);
            EXPECT_EQ(data, file.blocks[number - 1].data) << "block " << number;
        }
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(got.finishes, c.finishes);
        for (size_t i = 1; i < got.finishTimes.size(); ++i)
            EXPECT_GE(got.finishTimes[i] - got.finishTimes[i - 1], std::chrono::milliseconds(95));
        component.reset();
        device.unplug();
    }
}

TEST_F(EngineTest, SplitsBlocksIntoChunksOf62BytesAndPadsTheLastWithZeros)
{
    TrvQ8Simulator device(bed, {.faults = {.blockDone = trvq8::kBlockDoneAlt}});
    UpdateFile file;
    file.blocks.push_back(UpdateBlock::plain(patternBytes(62, 4)));
    file.blocks.push_back(UpdateBlock::plain(patternBytes(63, 5)));
    start(file);

    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
    std::vector<std::vector<uint8_t>> writes;
    for (const auto& command : device.received().commands)
        if (command[0] == trvq8::kWrite)
            writes.push_back(command);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0][1], 1);
    EXPECT_EQ(writes[1][1], 2);
    EXPECT_EQ(writes[2][1], 2);
    EXPECT_EQ(writes[2][2], file.blocks[1].data[62]);
    EXPECT_TRUE(std::all_of(writes[2].begin() + 3, writes[2].end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(EngineTest, AStepWithoutTheAnswerItNeedsFailsTheUpdate)
{
    struct Case
    {
        const char* name;
        TrvQ8Faults faults;
        int finishes; // after a failed start, or a device event, none is sent
    };
    const Case cases[] = {
        {"no answer to the start", {.silentOn = trvq8::kStart}, 0},
        {"the start answered as a select", {.wrongReplyOn = trvq8::kStart, .wrongReply = trvq8::kAck}, 0},
        {"the start refused", {.wrongReplyOn = trvq8::kStart, .wrongReply = 0xFA}, 0},
        {"only empty reports", {.replyLength = 0}, 0},
        {"no answer to a select", {.silentOn = trvq8::kSelect}, 1},
        {"the device replugged during a select", {.unplugOn = trvq8::kSelect, .replugAfterUnplug = true}, 0},
        {"a chunk refused", {.wrongReplyOn = trvq8::kWrite, .wrongReply = trvq8::kAck}, 1},
        {"no answer to a chunk", {.silentOn = trvq8::kWrite}, 1},
        {"a wrong answer to the finish", {.wrongReplyOn = trvq8::kFinish, .wrongReply = trvq8::kAck}, 1},
        {"no answer to the finish", {.silentOn = trvq8::kFinish}, 1},
    };
    shortenTimeLimits();
    // Blocks of one chunk each; after a select that went wrong, the next block could still be written.
    UpdateFile file = oneBlockFile(10);
    file.blocks.resize(3, file.blocks[0]);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TrvQ8Simulator device(bed, {.faults = c.faults});
        start(file);
        EXPECT_EQ(runUpdate(), MainComponent::STATUS_FAILED);
        // A finish that timed out on a busy machine may still be on its way to the device.
        const auto finishes = [&]
        {
            const auto commands = device.received().commands;
            return std::count_if(commands.begin(), commands.end(),
                                 [](const auto& command) { return command[0] == trvq8::kFinish; });
        };
        pumpUntil([&] { return finishes() >= c.finishes; }, 2000);
        EXPECT_EQ(finishes(), c.finishes);
        component.reset();
        device.unplug();
    }
}

TEST_F(EngineTest, KeepsItsTimeLimitsAndGivesDataChunksTheLongerOne)
{
    EXPECT_EQ(programTimeLimits.replyMs, 10000);
    EXPECT_EQ(programTimeLimits.dataMs, 180000);
    EXPECT_EQ(programTimeLimits.finishPauseMs, 100);

    MainComponent::transferTimeLimits.replyMs = 300;
    TrvQ8Simulator device(
        bed, {.faults = {.replyDelay = std::chrono::milliseconds(600), .delayOnlyOn = trvq8::kWrite}});
    start(oneBlockFile(10));
    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
}

TEST_F(EngineTest, FollowsTheDeviceBetweenTheReadyAndNoDevicePagesOnlyAfterTheLanguagePage)
{
    start(threeBlockFile());
    EXPECT_EQ(component->hidCtrl->getState(), 0);
    TrvQ8Simulator device(bed, {.releaseNumber = 0x0200});
    ASSERT_TRUE(pumpUntil([this] { return component->hidCtrl->getState() != 0; }));
    pump(50);
    EXPECT_EQ(component->status, MainComponent::STATUS_INIT);
    EXPECT_EQ(component->currentVersion, 200);

    pressOk();
    EXPECT_EQ(component->status, MainComponent::STATUS_CONNECTED);
    device.unplug();
    EXPECT_TRUE(pumpUntil([this] { return component->status == MainComponent::STATUS_DISCONNECTED; }));
    EXPECT_EQ(component->currentVersion, -1);
    device.plugIn();
    EXPECT_TRUE(pumpUntil([this] { return component->status == MainComponent::STATUS_CONNECTED; }));
    EXPECT_EQ(component->currentVersion, 200);
}

TEST_F(EngineTest, SeveralPostsBeforeTheHandOverApplyTheLatest)
{
    TrvQ8Simulator device(bed, {});
    start(threeBlockFile());
    pressOk();
    ASSERT_EQ(component->status, MainComponent::STATUS_CONNECTED);

    component->removalCallBack();
    component->matchingCallBack();
    component->removalCallBack();
    EXPECT_EQ(component->pendingStatus, MainComponent::STATUS_DISCONNECTED);
    pump(50);
    EXPECT_EQ(component->status, MainComponent::STATUS_DISCONNECTED);
    EXPECT_EQ(component->pendingStatus, MainComponent::STATUS_NONE);
}

TEST_F(EngineTest, StartDropsADeviceEventPostedBeforeIt)
{
    TrvQ8Simulator device(bed, {.faults = {.holdOn = trvq8::kStart}});
    start(oneBlockFile(10));
    pressOk();
    ASSERT_EQ(component->status, MainComponent::STATUS_CONNECTED);
    // Plugged in again: the arrival's post waits when Start is pressed.
    device.unplug();
    device.plugIn();
    // The device callbacks alone run: what they post waits for the message loop.
    ASSERT_TRUE(hidapi::runUntil([this]
                                 { return component->pendingStatus == MainComponent::STATUS_CONNECTED; },
                                 true, std::chrono::seconds(10)));
    {
        // The worker's own post of status 3 waits too, so only a stale post could change the page.
        const juce::ScopedLock postsWait(component->statusLock);
        pressOk();
        pump(50);
        EXPECT_EQ(component->status, MainComponent::STATUS_UPDATING);
        EXPECT_FALSE(component->okButton->isVisible());
        EXPECT_FALSE(component->cancelButton->isVisible());
    }
    device.release();
    EXPECT_TRUE(pumpUntil([this] { return component->status == MainComponent::STATUS_SUCCEEDED; }));
}

TEST_F(EngineTest, AnUnusableFileFreezesTheStatusAfterTheFirstPage)
{
    TrvQ8Simulator device(bed, {});
    UpdateFile file = threeBlockFile();
    file.versionDigits = "000";
    start(file);
    EXPECT_EQ(component->fileValid, 0);

    pressOk();
    EXPECT_EQ(component->status, MainComponent::STATUS_DISCONNECTED);
    device.unplug();
    device.plugIn();
    pump(200);
    EXPECT_EQ(component->status, MainComponent::STATUS_DISCONNECTED);
}

TEST_F(EngineTest, UnpluggingDuringTheTransferFailsItAtOnce)
{
    MainComponent::transferTimeLimits.replyMs = 300; // a chunk's wait stays three minutes
    TrvQ8Simulator device(bed, {.faults = {.unplugOn = trvq8::kWrite, .unplugAt = 1}});
    start(oneBlockFile(500));

    pressOk();
    pressOk();
    EXPECT_TRUE(pumpUntil([this] { return component->hidCtrl->getState() == 0; }));
    EXPECT_EQ(component->status, MainComponent::STATUS_UPDATING);
    EXPECT_TRUE(pumpUntil([this] { return component->status == MainComponent::STATUS_FAILED; }));

    device.plugIn();
    EXPECT_TRUE(pumpUntil([this] { return component->currentVersion != -1; }));
    EXPECT_EQ(component->status, MainComponent::STATUS_FAILED);
}

TEST_F(EngineTest, ADevicePluggedInDuringTheTransferGetsNoneOfItsReports)
{
    shortenTimeLimits();
    TrvQ8Simulator device(bed, {});
    start(oneBlockFile(10));
    pressOk();
    {
        // The worker waits before its first send; the device it started with has been replaced.
        const juce::ScopedLock workerWaits(component->statusLock);
        pressOk();
        device.unplug();
        ASSERT_TRUE(pumpUntil([this] { return component->hidCtrl->getState() == 0; }));
        device.plugIn();
        ASSERT_TRUE(pumpUntil([this] { return component->hidCtrl->getState() == 1; }));
        // Where the race leaves the worker: the removal met by an earlier step, the arrival not yet marked.
        const std::lock_guard<std::mutex> lock(component->replyLock);
        component->transferInterrupted = false;
    }
    EXPECT_TRUE(pumpUntil([this] { return component->status == MainComponent::STATUS_FAILED; }));
    EXPECT_TRUE(device.received().commands.empty());

    // The transfer over, the device present is free for sends again.
    unsigned char report[64] = {trvq8::kFinish};
    EXPECT_TRUE(component->hidCtrl->setData(report, 64));
    EXPECT_TRUE(pumpUntil([&] { return device.received().finishes == 1; }));
}

TEST_F(EngineTest, ADeviceThatAnswersAndDropsOffAtOnceEndsTheUpdateAsItsAnswerSays)
{
    // The finish confirmed, as by a device that restarts into its new firmware; a chunk
    // accepted, with the rest of the block still to come. The node fails first, or udev's word
    // comes first.
    const std::tuple<uint8_t, bool, int> cases[] = {{trvq8::kFinish, false, MainComponent::STATUS_SUCCEEDED},
                                                    {trvq8::kWrite, false, MainComponent::STATUS_FAILED},
                                                    {trvq8::kFinish, true, MainComponent::STATUS_SUCCEEDED},
                                                    {trvq8::kWrite, true, MainComponent::STATUS_FAILED}};
    MainComponent::transferTimeLimits.replyMs = 1000; // room for the answers that do come, on a slow machine
    const UpdateFile file = oneBlockFile(100);
    for (const auto& [command, udevFirst, outcome] : cases)
    {
        SCOPED_TRACE(std::to_string(command) + (udevFirst ? ", udev's word first" : ", the node first"));
        TrvQ8Faults faults;
        (udevFirst ? faults.leavesAfterAnswering : faults.goneAfterAnswering) = command;
        TrvQ8Simulator device(bed, {.faults = faults});
        start(file);
        EXPECT_EQ(runUpdate(), outcome);
        component.reset();
    }
}

TEST_F(EngineTest, AReplyHandedOverBeforeARemovalIsStillTheWorkersToTake)
{
    TrvQ8Simulator device(bed, {});
    NodeFaults faults;
    UpdateFile file = oneBlockFile(10);
    file.blocks[0].updateFlag = 'N'; // the start, then the finish
    start(file);
    pressOk();
    // The finish reaches the device, but the worker's send returns only when let go.
    const std::string node = bed.nodePath(device.device());
    faults.holdWrite(node, 1);
    pressOk();
    ASSERT_TRUE(pumpUntil(
        [this]
        {
            const std::lock_guard<std::mutex> lock(component->replyLock);
            return component->replyWaiting && component->replyBuffer[0] == trvq8::kDone;
        }));
    component->removalCallBack();
    faults.releaseWrite(node);
    EXPECT_TRUE(pumpUntil([this] { return component->status >= MainComponent::STATUS_SUCCEEDED; }));
    EXPECT_EQ(component->status, MainComponent::STATUS_SUCCEEDED);
    component.reset(); // its reader threads stop before the node faults go
}

TEST_F(EngineTest, AWriteTheDeviceStallsFailsThatStepAndTheDeviceStays)
{
    shortenTimeLimits();
    TrvQ8Simulator device(bed, {});
    NodeFaults faults;
    start(oneBlockFile(10));
    pressOk();
    faults.failNextWrite(bed.nodePath(device.device()), EPIPE); // the start report

    pressOk();
    EXPECT_TRUE(pumpUntil([this] { return component->status == MainComponent::STATUS_FAILED; }));
    EXPECT_NE(component->hidCtrl->getState(), 0);
    const unsigned char report[64] = {0xF2};
    EXPECT_TRUE(component->hidCtrl->setData(const_cast<unsigned char*>(report), 64));
    EXPECT_TRUE(pumpUntil([&] { return device.received().finishes == 1; }));
    component.reset(); // its reader threads stop before the node faults go
}

TEST_F(EngineTest, ADeviceNotReadyAtStartIsNamedOnceAndTakenWhenUdevIsDone)
{
    // Each node is named once per process.
    if (testsupport::handedToAFreshProcess())
        return;
    NodeFaults faults;
    const int keyboard = bed.addDevice({.vendorId = 0x046D, .productId = 0xC31C, .ports = {2}});
    TrvQ8Simulator device(bed, {});
    const std::string node = bed.nodePath(device.device());
    faults.refuseOpen(bed.nodePath(keyboard), EACCES);
    faults.refuseOpen(node, EACCES);

    testing::internal::CaptureStderr();
    start(threeBlockFile());
    pump(50);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.find("Cannot open HID device " + node + " (vendor 0x5a1e, product 0x001f)"), 0u)
        << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_NE(errors.find("udev rule"), std::string::npos);

    faults.allowOpen(node);
    bed.announceChange(device.device());
    ASSERT_TRUE(pumpUntil([&] { return faults.opens(node) == 1; }));
    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
    component.reset();
}

TEST_F(EngineTest, DestroyingTheComponentDuringATransferWaitsForTheWorker)
{
    shortenTimeLimits();
    TrvQ8Simulator device(bed, {.faults = {.silentOn = trvq8::kWrite, .silentAfter = 2}});
    start(oneBlockFile(1000));
    pressOk();
    pressOk();
    ASSERT_TRUE(pumpUntil([&] { return device.received().commands.size() >= 5; }));

    // The worker waits for the unanswered chunk and the finish, which no reply reaches now.
    component.reset();
    EXPECT_GE(device.received().commands.size(), 4u);
}
