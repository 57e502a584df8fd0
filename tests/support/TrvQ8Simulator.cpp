#include "TrvQ8Simulator.h"

#include <algorithm>
#include <utility>

namespace hidtest
{
namespace
{
constexpr size_t kReportSize = 64;
constexpr size_t kChunkSize = 62;
constexpr uint8_t kSelectRefused = 0xFA;

uint32_t readLittleEndian24(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16);
}
} // namespace

TrvQ8Simulator::TrvQ8Simulator(HidTestbed& testbed, TrvQ8Spec deviceSpecification)
    : bed(testbed), spec(std::move(deviceSpecification))
{
    if (spec.faults.goneAfterAnswering)
        nodeFaults.emplace();
    plugCable();
    server = std::thread([this] { serve(); });
}

TrvQ8Simulator::~TrvQ8Simulator()
{
    stopping = true;
    server.join();
}

// Only the server touches the testbed's device: it takes the request between two reads.
void TrvQ8Simulator::request(Request what)
{
    pending = what;
    while (pending.load() != Request::none)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TrvQ8Simulator::pullCable()
{
    bed.unplug(currentDevice);
    plugged = false;
}

// The moments let the program see each step on its own.
void TrvQ8Simulator::leaveAnnouncedAgain()
{
    constexpr auto moment = std::chrono::milliseconds(300);
    bed.disconnect(currentDevice);
    plugged = false;
    std::this_thread::sleep_for(moment);
    bed.announceChange(currentDevice);
    std::this_thread::sleep_for(moment);
    bed.announceRemoval(currentDevice);
}

void TrvQ8Simulator::plugCable()
{
    currentDevice = bed.addDevice({.releaseNumber = spec.releaseNumber,
                                   .busNumber = spec.busNumber,
                                   .ports = spec.ports,
                                   .manufacturer = "QLN",
                                   .product = "TRV-Q8"});
    plugged = true;
}

void TrvQ8Simulator::serve()
{
    while (!stopping)
    {
        if (const Request what = pending.load(); what != Request::none)
        {
            if (what == Request::unplug && plugged)
                pullCable();
            else if (what == Request::plugIn && !plugged)
                plugCable();
            else if (what == Request::release && !std::exchange(released, true) && held)
                reply(held->first, held->second);
            else if (what == Request::leaveAnnouncedOnceMore && plugged)
                leaveAnnouncedAgain();
            else if (what == Request::announceRemoval && plugged)
                bed.announce(currentDevice, "remove");
            else if (what == Request::announceArrival && plugged)
                bed.announce(currentDevice, "add");
            pending = Request::none;
        }
        if (!plugged)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        else if (auto report =
                     bed.readOutputReport(currentDevice, kReportSize + 1, std::chrono::milliseconds(10)))
            handle(std::vector<uint8_t>(report->begin() + 1, report->end()));
    }
}

void TrvQ8Simulator::handle(const std::vector<uint8_t>& command)
{
    const TrvQ8Faults& faults = spec.faults;
    const uint8_t code = command[0];
    std::unique_lock<std::mutex> guard(lock);
    log.commands.push_back(command);
    const int occurrence = commandCounts[code]++;
    if (faults.unplugOn == code && faults.unplugAt == occurrence)
    {
        guard.unlock();
        pullCable();
        if (faults.replugAfterUnplug)
            plugCable();
        return;
    }
    if (faults.silentOn == code && occurrence >= faults.silentAfter)
        return;
    std::optional<uint8_t> answer = record(command);
    if (faults.wrongReplyOn == code && faults.wrongReplyAt == occurrence)
        answer = faults.wrongReply;
    guard.unlock();

    if (answer && faults.holdOn == code && occurrence == 0 && !released)
    {
        held = {*answer, code};
        return;
    }
    if (answer)
        reply(*answer, code);
    if (faults.goneAfterAnswering == code && occurrence == 0)
    {
        nodeFaults->goneKeepingReports(bed.nodePath(currentDevice));
        bed.announceRemoval(currentDevice);
        plugged = false;
    }
    if (faults.leavesAfterAnswering == code && occurrence == 0)
    {
        bed.announceRemoval(currentDevice);
        // The kernel keeps what the node holds readable; an emulated node that hangs up drops it.
        bed.waitUntilInputTaken(currentDevice);
        bed.hangUp(currentDevice);
        plugged = false;
    }
}

// Notes what the command carries; gives the answer the device would give.
std::optional<uint8_t> TrvQ8Simulator::record(const std::vector<uint8_t>& command)
{
    const int number = command[1];
    switch (command[0])
    {
    case trvq8::kStart:
        log.startReport = command;
        log.version = (command[2] << 4) | (command[3] >> 4);
        log.totalSize = readLittleEndian24(&command[4]);
        log.entries.clear();
        log.blocks.clear();
        for (size_t at = 7; at + 6 <= kReportSize && command[at] != 0; at += 6)
            log.entries.push_back({command[at] & 0x7F, (command[at] & 0x80) != 0,
                                   readLittleEndian24(&command[at + 1]),
                                   static_cast<uint16_t>(command[at + 4] | (command[at + 5] << 8))});
        return trvq8::kStartAck;
    case trvq8::kSelect:
    {
        log.selected.push_back(number);
        const auto& refused = spec.faults.refusedSelects;
        return std::find(refused.begin(), refused.end(), number) != refused.end() ? kSelectRefused
                                                                                  : trvq8::kAck;
    }
    case trvq8::kWrite:
    {
        const auto entry = std::find_if(log.entries.begin(), log.entries.end(),
                                        [number](const auto& e) { return e.number == number; });
        const size_t expected = entry != log.entries.end() ? entry->size : SIZE_MAX;
        std::vector<uint8_t>& data = log.blocks[number];
        const size_t take = std::min(kChunkSize, expected - std::min(expected, data.size()));
        data.insert(data.end(), command.begin() + 2, command.begin() + 2 + take);
        return data.size() >= expected ? spec.faults.blockDone : trvq8::kAck;
    }
    case trvq8::kFinish:
        log.finishTimes.push_back(std::chrono::steady_clock::now());
        return ++log.finishes <= spec.faults.stillFinishing ? trvq8::kFinishing : trvq8::kDone;
    default:
        return std::nullopt;
    }
}

void TrvQ8Simulator::reply(uint8_t code, uint8_t command)
{
    if (spec.faults.delayOnlyOn.value_or(command) == command)
        std::this_thread::sleep_for(spec.faults.replyDelay);
    if (const auto frame = spec.faults.frame; frame.count() > 0)
        std::this_thread::sleep_until(started +
                                      ((std::chrono::steady_clock::now() - started) / frame + 1) * frame);
    std::vector<uint8_t> report(spec.faults.replyLength.value_or(kReportSize), 0);
    if (!report.empty())
        report[0] = code;
    if (report.size() > 1)
        report[1] = spec.faults.percentage.value_or(percentWritten());
    bed.writeInputReport(currentDevice, report);
}

// The share of the start report's total size received since.
uint8_t TrvQ8Simulator::percentWritten() const
{
    std::lock_guard<std::mutex> guard(lock);
    uint64_t written = 0;
    for (const auto& [number, data] : log.blocks)
        written += data.size();
    return log.totalSize == 0 ? 0 : uint8_t(std::min<uint64_t>(100, written * 100 / log.totalSize));
}

TrvQ8Received TrvQ8Simulator::received() const
{
    std::lock_guard<std::mutex> guard(lock);
    return log;
}

} // namespace hidtest
