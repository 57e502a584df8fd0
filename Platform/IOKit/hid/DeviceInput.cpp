#include "DeviceInput.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace iohid
{
namespace
{

uint64_t monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

bool isInput(const hidraw::ParsedElement& element)
{
    return element.type >= hidraw::kElementInputMisc && element.type <= hidraw::kElementInputScanCodes;
}

size_t lengthOf(const hidraw::ParsedElement& element)
{
    if (element.isCollection())
        return 0;
    return element.isArray ? 1 : (size_t(element.bitLength()) + 7) / 8;
}

// Reads as large as the largest input report, so that one read takes exactly one report.
size_t readSizeFor(const hidraw::ParsedDescriptor& descriptor)
{
    return descriptor.maxInputReportSize > 0 ? descriptor.maxInputReportSize : 64;
}

} // namespace

DeviceInput::DeviceInput(const hidraw::ParsedDescriptor& descriptor, Listener& listener)
    : elements(descriptor.elements), numberedReports(descriptor.numberedReports),
      readSize(readSizeFor(descriptor)), listener(listener), states(descriptor.elements.size())
{
    for (size_t i = 0; i < elements.size(); ++i)
    {
        states[i].bytes.resize(lengthOf(elements[i]));
        if (isInput(elements[i]))
            inputElements.push_back(i);
    }
    scratch.resize(maxValueLength());
}

DeviceInput::~DeviceInput()
{
    stop();
}

bool DeviceInput::start(std::shared_ptr<hidraw::HidrawNode> opened)
{
    stop();
    forgetValues();
    std::lock_guard<std::mutex> guard(readerLock);
    try
    {
        reader = std::thread([this, opened] { run(opened); });
    }
    catch (const std::exception&) // std::system_error, or std::bad_alloc for the thread's state
    {
        return false;
    }
    node = std::move(opened);
    return true;
}

// What the node said before it was last closed may no longer hold, and the next holder's queues
// take its first report as a fresh node's would.
void DeviceInput::forgetValues()
{
    std::lock_guard<std::mutex> guard(valuesLock);
    for (ElementState& state : states)
    {
        if (!state.value.read)
            continue;
        state.value = Value{0, 0, state.value.generation + 1, false};
        std::fill(state.bytes.begin(), state.bytes.end(), uint8_t(0));
    }
}

// Outside readerLock while it waits: the reader takes it at its end.
void DeviceInput::stop()
{
    std::shared_ptr<hidraw::HidrawNode> reading;
    std::thread ending;
    {
        std::lock_guard<std::mutex> guard(readerLock);
        reading = std::move(node);
        ending = std::move(reader);
    }
    if (reading)
        reading->stop();
    if (ending.joinable())
        ending.join();
}

void DeviceInput::run(std::shared_ptr<hidraw::HidrawNode> reading)
{
    std::vector<uint8_t> buffer(readSize);
    for (;;)
    {
        const auto result = reading->waitAndRead(buffer);
        if (result.status == hidraw::HidrawNode::ReadStatus::stopped)
        {
            listener.readingEnded(false);
            return;
        }
        if (result.status == hidraw::HidrawNode::ReadStatus::gone)
        {
            listener.readingEnded(true);
            letGoOfGoneNode();
            return;
        }
        handleReport(std::span<const uint8_t>(buffer.data(), result.length), monotonicNanoseconds());
    }
}

// The reader's last act once a node that has gone has been read to its end and its holders told:
// nobody need stop it, so it ends on its own, its node's file closing as it does, unless stop()
// is already waiting for it. Nothing of this object is touched after.
void DeviceInput::letGoOfGoneNode()
{
    std::lock_guard<std::mutex> guard(readerLock);
    if (reader.get_id() != std::this_thread::get_id())
        return;
    reader.detach();
    node.reset();
}

void DeviceInput::handleReport(std::span<const uint8_t> report, uint64_t timestamp)
{
    std::lock_guard<std::mutex> sinksGuard(sinksLock);
    for (size_t i = 0; i < sinks.size(); ++i)
        keptBy[i] = sinks[i]->keep(report);
    if (!numberedReports || !report.empty())
    {
        const uint32_t reportId = numberedReports ? report[0] : 0;
        const auto data = numberedReports ? report.subspan(1) : report;
        std::lock_guard<std::mutex> guard(valuesLock);
        for (size_t index : inputElements)
            if (elements[index].reportId == reportId)
                updateElement(index, data, timestamp);
    }
    for (size_t i = 0; i < sinks.size(); ++i)
        if (keptBy[i])
            sinks[i]->waiting();
}

void DeviceInput::updateElement(size_t index, std::span<const uint8_t> data, uint64_t timestamp)
{
    const hidraw::ParsedElement& element = elements[index];
    ElementState& state = states[index];
    const int32_t integer = hidraw::elementIntegerValue(element, data);
    const std::span<uint8_t> bytes(scratch.data(), state.bytes.size());
    if (element.isArray)
        bytes[0] = uint8_t(integer);
    else
        hidraw::copyElementBits(element, data, bytes);

    const bool changed =
        integer != state.value.integer || !std::equal(bytes.begin(), bytes.end(), state.bytes.begin());
    // A relative control reports movement: the same non-zero movement twice is two movements.
    const bool moved = (element.flags & hidraw::kFlagRelative) && integer != 0;
    if (!changed && !moved && state.value.read)
        return;
    state.value = Value{integer, timestamp, state.value.generation + 1, true};
    std::copy(bytes.begin(), bytes.end(), state.bytes.begin());
    if (!changed && !moved)
        return; // first read of the value it was assumed to hold: no change to queue
    for (QueueBuffer* queue : queues)
        queue->push(index, integer, timestamp, bytes);
}

void DeviceInput::attach(ReportSink* sink)
{
    std::lock_guard<std::mutex> guard(sinksLock);
    if (std::find(sinks.begin(), sinks.end(), sink) != sinks.end())
        return;
    sinks.push_back(sink);
    keptBy.resize(sinks.size());
}

void DeviceInput::detach(ReportSink* sink)
{
    std::lock_guard<std::mutex> guard(sinksLock);
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink), sinks.end());
}

DeviceInput::Value DeviceInput::value(size_t element) const
{
    std::lock_guard<std::mutex> guard(valuesLock);
    return element < states.size() ? states[element].value : Value{};
}

DeviceInput::Value DeviceInput::value(size_t element, std::vector<uint8_t>& bytes) const
{
    std::lock_guard<std::mutex> guard(valuesLock);
    if (element >= states.size())
        return Value{};
    bytes = states[element].bytes;
    return states[element].value;
}

size_t DeviceInput::valueLength(size_t element) const
{
    return element < states.size() ? states[element].bytes.size() : 0;
}

size_t DeviceInput::maxValueLength() const
{
    size_t longest = 1;
    for (const ElementState& state : states)
        longest = std::max(longest, state.bytes.size());
    return longest;
}

void DeviceInput::attach(QueueBuffer* queue)
{
    std::lock_guard<std::mutex> guard(valuesLock);
    if (std::find(queues.begin(), queues.end(), queue) == queues.end())
        queues.push_back(queue);
}

void DeviceInput::detach(QueueBuffer* queue)
{
    std::lock_guard<std::mutex> guard(valuesLock);
    queues.erase(std::remove(queues.begin(), queues.end(), queue), queues.end());
}

} // namespace iohid
