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

void TrvQ8Simulator::unplug()
{
    request(Request::unplug);
}

void TrvQ8Simulator::plugIn()
{
    request(Request::plugIn);
}

// Only the server touches the testbed's device: it takes the request between two reads.
void TrvQ8Simulator::request(Request what)
{
    pending = what;
    while (pending.load() != Request::none)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TrvQ8Simulator::release()
{
    request(Request::release);
}

void TrvQ8Simulator::pullCable()
{
    bed.unplug(currentDevice);
    plugged = false;
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
    const uint8_t code = command[0];
    int occurrence;
    {
        std::lock_guard<std::mutex> guard(lock);
        log.commands.push_back(command);
        occurrence = commandCounts[code]++;
    }
    const TrvQ8Faults& faults = spec.faults;

    if (faults.unplugOn == code && faults.unplugAt == occurrence)
    {
        pullCable();
        if (faults.replugAfterUnplug)
            plugCable();
        return;
    }
    if (faults.silentOn == code && occurrence >= faults.silentAfter)
        return;

    std::optional<uint8_t> answer = replyFor(command);
    if (faults.wrongReplyOn == code && faults.wrongReplyAt == occurrence)
        answer = faults.wrongReply;
    if (answer && faults.holdOn == code && occurrence == 0 && !released)
    {
        held = {*answer, code};
        return;
    }
    const bool goes = faults.goneAfterAnswering == code && occurrence == 0;
    if (goes)
        nodeFaults->goneKeepingReports(bed.nodePath(currentDevice));
    if (answer)
        reply(*answer, code);
    if (goes)
    {
        bed.announceRemoval(currentDevice);
        plugged = false;
    }
}

std::optional<uint8_t> TrvQ8Simulator::replyFor(const std::vector<uint8_t>& command)
{
    std::lock_guard<std::mutex> guard(lock);
    switch (command[0])
    {
    case trvq8::kStart:
        recordStart(command);
        return trvq8::kStartAck;
    case trvq8::kSelect:
    {
        const int number = command[1];
        log.selected.push_back(number);
        const auto& refused = spec.faults.refusedSelects;
        return std::find(refused.begin(), refused.end(), number) != refused.end() ? kSelectRefused
                                                                                  : trvq8::kAck;
    }
    case trvq8::kWrite:
        return recordData(command);
    case trvq8::kFinish:
        ++log.finishes;
        log.finishTimes.push_back(std::chrono::steady_clock::now());
        return log.finishes <= spec.faults.stillFinishing ? trvq8::kFinishing : trvq8::kDone;
    default:
        return std::nullopt;
    }
}

void TrvQ8Simulator::recordStart(const std::vector<uint8_t>& command)
{
    log.startReport = command;
    log.version = (command[2] << 4) | (command[3] >> 4);
    log.totalSize = readLittleEndian24(&command[4]);
    log.entries.clear();
    for (size_t offset = 7; offset + 6 <= kReportSize && command[offset] != 0; offset += 6)
    {
        const uint8_t* entry = &command[offset];
        log.entries.push_back({entry[0] & 0x7F, (entry[0] & 0x80) != 0, readLittleEndian24(entry + 1),
                               static_cast<uint16_t>(entry[4] | (entry[5] << 8))});
    }
    log.blocks.clear();
    written = 0;
}

uint8_t TrvQ8Simulator::recordData(const std::vector<uint8_t>& command)
{
    const int number = command[1];
    auto entry = std::find_if(log.entries.begin(), log.entries.end(),
                              [number](const auto& e) { return e.number == number; });
    std::vector<uint8_t>& data = log.blocks[number];
    const size_t expected = entry != log.entries.end() ? entry->size : SIZE_MAX;
    const size_t take = std::min(kChunkSize, expected - std::min(expected, data.size()));
    data.insert(data.end(), command.begin() + 2, command.begin() + 2 + take);
    written += static_cast<uint32_t>(take);
    return data.size() >= expected ? spec.faults.blockDone : trvq8::kAck;
}

uint8_t TrvQ8Simulator::percentWritten() const
{
    if (spec.faults.percentage)
        return *spec.faults.percentage;
    if (log.totalSize == 0)
        return 0;
    return static_cast<uint8_t>(std::min<uint64_t>(100, uint64_t{written} * 100 / log.totalSize));
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
    {
        std::lock_guard<std::mutex> guard(lock);
        report[1] = percentWritten();
    }
    bed.writeInputReport(currentDevice, report);
}

TrvQ8Received TrvQ8Simulator::received() const
{
    std::lock_guard<std::mutex> guard(lock);
    return log;
}

} // namespace hidtest
