#include "MainComponent.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "HidCtrl.h"

namespace
{
enum Command : unsigned char
{
    CMD_START = 0xF0,
    CMD_SELECT_BLOCK = 0xF1,
    CMD_FINISH = 0xF2,
    CMD_WRITE_DATA = 0xF3,
};

enum Reply : unsigned char
{
    RSP_PROGRESS = 0xF7,
    RSP_START_ACK = 0xF8,
    RSP_ACK = 0xF9,
    RSP_BLOCK_DONE_ALT = 0xFB,
    RSP_DONE = 0xFC,
    RSP_BLOCK_DONE = 0xFE,
};

constexpr unsigned int kReportSize = 64;
constexpr unsigned int kChunkSize = 62;
// The start report has room for this many block entries.
constexpr unsigned int kMaxStartEntries = 9;

void putLittleEndian24(unsigned char* out, unsigned int value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
}
} // namespace

// The program's own time limits; tests shorten them.
constinit MainComponent::TransferTimeLimits MainComponent::transferTimeLimits;

void MainComponent::run()
{
    setUpdateStatus(STATUS_UPDATING);
    setProgress(0.0);

    bool ok = updInfo.totalSize != 0 && sendStart();
    if (ok)
    {
        ok = sendBlocks();
        const bool finished = sendFinish();
        ok = ok && finished;
    }
    // Dropped before the outcome is posted, so that whoever sees it sees the device free again.
    if (hidCtrl != nullptr)
        hidCtrl->endTransfer();
    setUpdateStatus(ok);
}

bool MainComponent::sendStart()
{
    unsigned char report[kReportSize] = {};
    report[0] = CMD_START;
    report[2] = static_cast<unsigned char>((updInfo.version & 0xFF0) >> 4);
    report[3] = static_cast<unsigned char>((updInfo.version & 0x00F) << 4);
    putLittleEndian24(report + 4, updInfo.totalSize);

    const unsigned int entries = std::min<unsigned int>(updInfo.blockCount, kMaxStartEntries);
    for (unsigned int i = 0; i < entries; ++i)
    {
        unsigned char* entry = report + 7 + 6 * i;
        entry[0] = static_cast<unsigned char>((i + 1) | (fwInfo[i].update ? 0x80 : 0x00));
        putLittleEndian24(entry + 1, fwInfo[i].size);
        entry[4] = static_cast<unsigned char>(fwInfo[i].crc16);
        entry[5] = static_cast<unsigned char>(fwInfo[i].crc16 >> 8);
    }
    const auto reply = exchange(report, transferTimeLimits.replyMs);
    return reply && reply->code == RSP_START_ACK;
}

bool MainComponent::sendBlocks()
{
    unsigned char report[kReportSize] = {};
    for (unsigned int i = 0; i < updInfo.blockCount; ++i)
    {
        if (!fwInfo[i].update)
            continue;

        std::memset(report, 0, sizeof(report));
        report[0] = CMD_SELECT_BLOCK;
        report[1] = static_cast<unsigned char>(i + 1);
        // Without the device's own answer the block's fate is unknown: the transfer has failed.
        const auto selected = exchange(report, transferTimeLimits.replyMs);
        if (!selected)
            return false;
        if (selected->code != RSP_ACK)
            continue;

        report[0] = CMD_WRITE_DATA;
        if (!sendBlockData(report, fwInfo[i]))
            return false;
    }
    return true;
}

bool MainComponent::sendBlockData(unsigned char* report, const fw_info_t& block)
{
    const unsigned int chunks = block.size / kChunkSize + (block.size % kChunkSize != 0 ? 1 : 0);
    for (unsigned int c = 0; c < chunks; ++c)
    {
        const unsigned int offset = c * kChunkSize;
        const unsigned int count = std::min(kChunkSize, block.size - offset);
        std::memcpy(report + 2, block.data + offset, count);
        std::memset(report + 2 + count, 0, kChunkSize - count);

        const auto reply = exchange(report, transferTimeLimits.dataMs);
        if (!reply)
            return false;
        const bool lastChunk = c + 1 == chunks;
        const bool accepted = lastChunk ? (reply->code == RSP_BLOCK_DONE || reply->code == RSP_BLOCK_DONE_ALT)
                                        : reply->code == RSP_ACK;
        if (!accepted)
            return false;
        setProgress(reply->percent / 100.0);
    }
    return true;
}

bool MainComponent::sendFinish()
{
    unsigned char report[kReportSize] = {};
    report[0] = CMD_FINISH;
    for (;;)
    {
        const auto reply = exchange(report, transferTimeLimits.replyMs);
        if (!reply || (reply->code != RSP_DONE && reply->code != RSP_PROGRESS))
            return false;
        setProgress(reply->percent / 100.0);
        wait(transferTimeLimits.finishPauseMs);
        if (reply->code == RSP_DONE)
            return true;
    }
}

std::optional<MainComponent::Reply> MainComponent::exchange(unsigned char* report, int timeLimitMs)
{
    // A device event or a quit since the last reply fails this step before anything is sent.
    if (takeInterruption())
        return std::nullopt;
    if (hidCtrl != nullptr)
        (void)hidCtrl->setData(report, kReportSize);

    const juce::uint32 sent = juce::Time::getMillisecondCounter();
    for (;;)
    {
        const int left = timeLimitMs - static_cast<int>(juce::Time::getMillisecondCounter() - sent);
        if (left <= 0 || !replyEvent.wait(left))
            return std::nullopt;
        replyEvent.reset();
        if (auto reply = takeReply())
            return reply;
        if (takeInterruption())
            return std::nullopt;
        // A wake-up left from an event that an earlier step has already met: it answers nothing.
    }
}

std::optional<MainComponent::Reply> MainComponent::takeReply()
{
    const std::lock_guard<std::mutex> lock(replyLock);
    if (!replyWaiting)
        return std::nullopt;
    replyWaiting = false;
    return Reply{replyBuffer[0], replyBuffer[1]};
}

bool MainComponent::takeInterruption()
{
    const std::lock_guard<std::mutex> lock(replyLock);
    return std::exchange(transferInterrupted, false);
}
