// The update engine end to end: an emulated TRV-Q8 behind a hidraw node, the platform layer, the
// device connection and control, the main component's status machine and its worker thread.
#include "HidCtrl.h"
#include "HidTestbed.h"
#include "MainComponent.h"
#include "MainRunLoopBridge.h"
#include "TrvQ8Simulator.h"
#include "UpdateFileWriter.h"

#include <gtest/gtest.h>

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

UpdateFile threeBlockFile()
{
    UpdateFile file;
    file.versionDigits = "123";
    file.blocks.push_back(UpdateBlock::plain(patternBytes(100, 1)));
    file.blocks.push_back(UpdateBlock::encrypted(patternBytes(130, 2), 0x12345678, 42));
    file.blocks.push_back(UpdateBlock::plain(patternBytes(7, 3)));
    return file;
}

class EngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainComponent::transferTimeLimits = {};
        attachMainRunLoopToMessageLoop();
    }

    void TearDown() override
    {
        component.reset();
        detachMainRunLoopFromMessageLoop();
        updateFileBesideTheProgram().deleteFile();
        MainComponent::transferTimeLimits = {};
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

TEST_F(EngineTest, WritesEveryBlockToTheDeviceByteForByte)
{
    TrvQ8Simulator device(bed, {.releaseNumber = 0x0123});
    const UpdateFile file = threeBlockFile();
    start(file);

    EXPECT_EQ(component->fileValid, 1);
    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
    EXPECT_EQ(component->currentVersion, 123);

    const TrvQ8Received got = device.received();
    EXPECT_EQ(got.version, 123);
    EXPECT_EQ(got.totalSize, file.totalSize());
    ASSERT_EQ(got.entries.size(), 3u);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(got.entries[i].number, i + 1);
        EXPECT_TRUE(got.entries[i].update);
        EXPECT_EQ(got.blocks.at(i + 1), file.blocks[i].data) << "block " << i + 1;
    }
    EXPECT_EQ(got.finishes, 1);
    EXPECT_DOUBLE_EQ(component->progress, 1.0);
}

TEST_F(EngineTest, ListsUnmarkedBlocksButNeverSendsThem)
{
    TrvQ8Simulator device(bed, {});
    UpdateFile file = threeBlockFile();
    file.blocks[1].updateFlag = 'y';
    start(file);

    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
    const TrvQ8Received got = device.received();
    ASSERT_TRUE(got.startReport.has_value());
    EXPECT_EQ((*got.startReport)[7], 0x81);
    EXPECT_EQ((*got.startReport)[13], 0x02);
    EXPECT_EQ((*got.startReport)[19], 0x83);
    EXPECT_EQ(got.selected, (std::vector<int>{1, 3}));
    EXPECT_EQ(got.blocks.count(2), 0u);
}

TEST_F(EngineTest, SplitsBlocksIntoChunksOf62BytesAndPadsTheLastWithZeros)
{
    TrvQ8Simulator device(bed, {});
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

TEST_F(EngineTest, ARefusedSelectPassesOverTheBlockWithoutFailing)
{
    TrvQ8Simulator device(bed, {.faults = {.refusedSelects = {2}}});
    start(threeBlockFile());

    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
    const TrvQ8Received got = device.received();
    EXPECT_EQ(got.selected, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(got.blocks.count(2), 0u);
    EXPECT_EQ(got.blocks.count(3), 1u);
}

TEST_F(EngineTest, AsksAgainWhileTheDeviceIsStillFinishing)
{
    TrvQ8Simulator device(bed, {.faults = {.stillFinishing = 3}});
    start(threeBlockFile());

    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
    const TrvQ8Received got = device.received();
    ASSERT_EQ(got.finishes, 4);
    for (size_t i = 1; i < got.finishTimes.size(); ++i)
        EXPECT_GE(got.finishTimes[i] - got.finishTimes[i - 1], std::chrono::milliseconds(95));
}

TEST_F(EngineTest, ADataFailureEndsFailedEvenWhenTheFinishSucceeds)
{
    TrvQ8Simulator device(bed,
                          {.faults = {.wrongReplyOn = trvq8::kWrite, .wrongReplyAt = 0, .wrongReply = 0xF9}});
    UpdateFile file;
    file.blocks.push_back(UpdateBlock::plain(patternBytes(10, 6)));
    start(file);

    EXPECT_EQ(runUpdate(), MainComponent::STATUS_FAILED);
    EXPECT_EQ(device.received().finishes, 1);
}

TEST_F(EngineTest, NoAnswerToTheStartFailsWithoutAFinish)
{
    shortenTimeLimits();
    TrvQ8Simulator device(bed, {.faults = {.silentOn = trvq8::kStart}});
    start(threeBlockFile());

    EXPECT_EQ(runUpdate(), MainComponent::STATUS_FAILED);
    const TrvQ8Received got = device.received();
    EXPECT_EQ(got.commands.size(), 1u);
    EXPECT_EQ(got.finishes, 0);
}

TEST_F(EngineTest, WithNoBlockMarkedOnlyTheFinishDecides)
{
    TrvQ8Simulator device(bed, {});
    UpdateFile file = threeBlockFile();
    for (auto& block : file.blocks)
        block.updateFlag = 'N';
    start(file);

    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
    const TrvQ8Received got = device.received();
    EXPECT_TRUE(got.selected.empty());
    EXPECT_EQ(got.entries.size(), 3u);
}

TEST_F(EngineTest, TheReplysPercentageMovesTheProgress)
{
    TrvQ8Simulator device(bed, {.faults = {.percentage = 50}});
    start(threeBlockFile());

    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
    EXPECT_DOUBLE_EQ(component->progress, 0.5);
}

TEST_F(EngineTest, TheLanguagePageIgnoresDeviceEventsUntilOk)
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
    EXPECT_EQ(component->currentVersion, 200);
}

TEST_F(EngineTest, FollowsTheDeviceBetweenTheReadyAndNoDevicePages)
{
    TrvQ8Simulator device(bed, {.releaseNumber = 0x0123});
    start(threeBlockFile());
    pressOk();
    ASSERT_EQ(component->status, MainComponent::STATUS_CONNECTED);

    device.unplug();
    EXPECT_TRUE(pumpUntil([this] { return component->status == MainComponent::STATUS_DISCONNECTED; }));
    EXPECT_EQ(component->currentVersion, -1);

    device.plugIn();
    EXPECT_TRUE(pumpUntil([this] { return component->status == MainComponent::STATUS_CONNECTED; }));
    EXPECT_EQ(component->currentVersion, 123);
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

TEST_F(EngineTest, UnpluggingDuringTheTransferWakesTheWorkerAndFails)
{
    shortenTimeLimits();
    TrvQ8Simulator device(bed, {.faults = {.unplugOn = trvq8::kWrite, .unplugAt = 1}});
    UpdateFile file;
    file.blocks.push_back(UpdateBlock::plain(patternBytes(500, 7)));
    start(file);

    pressOk();
    pressOk();
    EXPECT_TRUE(pumpUntil([this] { return component->hidCtrl->getState() == 0; }));
    EXPECT_EQ(component->status, MainComponent::STATUS_UPDATING);
    EXPECT_TRUE(pumpUntil([this] { return component->status == MainComponent::STATUS_FAILED; }));

    device.plugIn();
    EXPECT_TRUE(pumpUntil([this] { return component->currentVersion != -1; }));
    EXPECT_EQ(component->status, MainComponent::STATUS_FAILED);
}

TEST_F(EngineTest, ReportsOfOddLengthsAreTakenAsFarAsTheyGo)
{
    shortenTimeLimits();
    TrvQ8Simulator device(bed, {.faults = {.replyLength = 1}});
    start(threeBlockFile());
    // A one-byte reply carries the start acknowledgement, but no percentage.
    EXPECT_EQ(runUpdate(), MainComponent::STATUS_SUCCEEDED);
    EXPECT_DOUBLE_EQ(component->progress, 0.0);
}

TEST_F(EngineTest, EmptyReportsAreIgnored)
{
    shortenTimeLimits();
    TrvQ8Simulator device(bed, {.faults = {.replyLength = 0}});
    start(threeBlockFile());
    EXPECT_EQ(runUpdate(), MainComponent::STATUS_FAILED);
    EXPECT_EQ(device.received().commands.size(), 1u);
}

TEST_F(EngineTest, DestroyingTheComponentDuringATransferWaitsForTheWorker)
{
    shortenTimeLimits();
    TrvQ8Simulator device(bed, {.faults = {.silentOn = trvq8::kWrite, .silentAfter = 2}});
    UpdateFile file;
    file.blocks.push_back(UpdateBlock::plain(patternBytes(1000, 8)));
    start(file);
    pressOk();
    pressOk();
    ASSERT_TRUE(pumpUntil([&] { return device.received().commands.size() >= 5; }));

    // The worker waits for the unanswered chunk and the finish, which no reply reaches now.
    component.reset();
    EXPECT_GE(device.received().commands.size(), 4u);
}
