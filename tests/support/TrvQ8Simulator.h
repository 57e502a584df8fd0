// The device side of the TRV-Q8's update protocol, on an emulated hidraw node. It answers each
// command report the program sends, records what it received, and misbehaves on request.
//
//     hidtest::HidTestbed bed;
//     hidtest::TrvQ8Simulator device(bed, {.releaseNumber = 0x0123});
//     ... run an update ...
//     EXPECT_EQ(device.received().blocks.at(1), expectedFirmware);
#pragma once

#include "HidTestbed.h"
#include "NodeFaults.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace hidtest
{

namespace trvq8
{
constexpr uint8_t kStart = 0xF0, kSelect = 0xF1, kFinish = 0xF2, kWrite = 0xF3;
constexpr uint8_t kFinishing = 0xF7, kStartAck = 0xF8, kAck = 0xF9, kBlockDoneAlt = 0xFB, kDone = 0xFC,
                  kBlockDone = 0xFE;
} // namespace trvq8

struct TrvQ8Faults
{
    // A command that gets no answer: its code, and how many of that code pass first.
    std::optional<uint8_t> silentOn;
    int silentAfter = 0;
    // A command answered with another reply code: its code, the n-th of it (0 the first), the code.
    std::optional<uint8_t> wrongReplyOn;
    int wrongReplyAt = 0;
    uint8_t wrongReply = 0x00;
    // Block numbers whose select is refused (answered 0xFA).
    std::vector<int> refusedSelects;
    // How many times the finish is answered "still finishing" before "done".
    int stillFinishing = 0;
    // A fixed percentage in every reply, instead of the share written.
    std::optional<uint8_t> percentage;
    // Time before each reply, or before each reply to one command code only.
    std::chrono::microseconds replyDelay{0};
    std::optional<uint8_t> delayOnlyOn;
    // Replies go out only on the boundaries of frames this long, as over a USB link.
    std::chrono::microseconds frame{0};
    // The reply to a block's last chunk.
    uint8_t blockDone = 0xFE;
    // Unplug (and optionally plug in again) on receiving the n-th command of a code.
    std::optional<uint8_t> unplugOn;
    int unplugAt = 0;
    bool replugAfterUnplug = false;
    // Answer the first command of a code and drop off the bus at once, the answer still waiting
    // in the node, as a device does that restarts into its new firmware.
    std::optional<uint8_t> goneAfterAnswering;
    // Answer the first command of a code and leave with udev's word first: udev announces the
    // removal, the device leaves sysfs, then its node hangs up once its answer has been read.
    std::optional<uint8_t> leavesAfterAnswering;
    // Replies of this length instead of 64 bytes (0 sends an empty report).
    std::optional<size_t> replyLength;
    // The answer to the first command of a code waits for release(), unless that came first; the
    // device goes on answering other commands.
    std::optional<uint8_t> holdOn;
};

struct TrvQ8Received
{
    std::vector<std::vector<uint8_t>> commands; // every report, without the report number
    std::optional<std::vector<uint8_t>> startReport;
    int version = -1;       // from the start report: 12 bits
    uint32_t totalSize = 0; // from the start report
    struct Entry
    {
        int number;
        bool update;
        uint32_t size;
        uint16_t crc16;
    };
    std::vector<Entry> entries;                 // the start report's block list, as far as it goes
    std::map<int, std::vector<uint8_t>> blocks; // data received per block number, trimmed to its size
    std::vector<int> selected;                  // block numbers selected, in order
    int finishes = 0;
    std::vector<std::chrono::steady_clock::time_point> finishTimes;
};

struct TrvQ8Spec
{
    uint16_t releaseNumber = 0x0100;
    uint32_t busNumber = 1;
    std::vector<uint32_t> ports = {1};
    TrvQ8Faults faults;
};

class TrvQ8Simulator
{
public:
    TrvQ8Simulator(HidTestbed& bed, TrvQ8Spec spec);
    ~TrvQ8Simulator();
    TrvQ8Simulator(const TrvQ8Simulator&) = delete;
    TrvQ8Simulator& operator=(const TrvQ8Simulator&) = delete;

    // The testbed's number of the device as it is plugged in now. Add any other devices to the
    // testbed before the simulator starts: it serves its node from a thread of its own.
    int device() const { return currentDevice.load(); }

    // Pulls the cable, or plugs the device in again as a new arrival; both wait until done.
    void unplug() { request(Request::unplug); }
    void plugIn() { request(Request::plugIn); }
    // Sends the held answer, or lets it go at once when it comes (TrvQ8Faults::holdOn).
    void release() { request(Request::release); }
    // The kernel lets the device go; a moment later udev announces its node once more
    // ("change"), and a moment after that tells of its removal.
    void leaveAnnouncedOnceMore() { request(Request::leaveAnnouncedOnceMore); }
    // udev announces the device's removal, or its arrival, while it stays plugged in, as
    // `udevadm trigger --action=remove` (or add) makes it do.
    void announceRemoval() { request(Request::announceRemoval); }
    void announceArrival() { request(Request::announceArrival); }

    TrvQ8Received received() const;

private:
    enum class Request
    {
        none,
        unplug,
        plugIn,
        release,
        leaveAnnouncedOnceMore,
        announceRemoval,
        announceArrival
    };
    void request(Request what);
    void serve();
    void pullCable();
    void leaveAnnouncedAgain();
    void plugCable();
    void handle(const std::vector<uint8_t>& command);
    std::optional<uint8_t> record(const std::vector<uint8_t>& command);
    void reply(uint8_t code, uint8_t command);
    uint8_t percentWritten() const;

    HidTestbed& bed;
    const TrvQ8Spec spec;
    std::atomic<Request> pending{Request::none};
    std::atomic<int> currentDevice{-1};
    bool plugged = false; // the server's alone, as the testbed's device is
    std::atomic<bool> stopping{false};
    std::optional<std::pair<uint8_t, uint8_t>> held; // the server's: an answer and its command
    bool released = false;
    mutable std::mutex lock; // what follows
    TrvQ8Received log;
    std::array<int, 256> commandCounts{};
    const std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    std::optional<NodeFaults> nodeFaults;
    std::thread server;
};

} // namespace hidtest
