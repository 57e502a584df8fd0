#include "MainComponent.h"

#include <algorithm>
#include <cstring>

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
MainComponent::TransferTimeLimits MainComponent::transferTimeLimits;

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
    return exchange(report, transferTimeLimits.replyMs) && replyCode() == RSP_START_ACK;
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
        if (!exchange(report, transferTimeLimits.replyMs))
            return false;
        if (replyCode() != RSP_ACK)
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

        if (!exchange(report, transferTimeLimits.dataMs))
            return false;
        const unsigned char code = replyCode();
        const bool lastChunk = c + 1 == chunks;
        const bool accepted =
            lastChunk ? (code == RSP_BLOCK_DONE || code == RSP_BLOCK_DONE_ALT) : code == RSP_ACK;
        if (!accepted)
            return false;
        setProgress(replyPercent() / 100.0);
    }
    return true;
}

bool MainComponent::sendFinish()
{
    unsigned char report[kReportSize] = {};
    report[0] = CMD_FINISH;
    for (;;)
    {
        if (!exchange(report, transferTimeLimits.replyMs))
            return false;
        const unsigned char code = replyCode();
        if (code != RSP_DONE && code != RSP_PROGRESS)
            return false;
        setProgress(replyPercent() / 100.0);
        wait(transferTimeLimits.finishPauseMs);
        if (code == RSP_DONE)
            return true;
    }
}

bool MainComponent::exchange(unsigned char* report, int timeLimitMs)
{
    if (hidCtrl != nullptr)
        (void)hidCtrl->setData(report, kReportSize);
    if (!replyEvent.wait(timeLimitMs))
        return false;
    replyEvent.reset();
    return true;
}
