// A device's input side: a thread of its own reads the hidraw node, keeps every input
// element's latest value, feeds the started queues, and holds reports for the input-report
// callback until the run loop takes them. Nothing is allocated per report.
#pragma once

#include "../native/HidrawNode.h"
#include "../native/ReportDescriptor.h"
#include "QueueBuffer.h"
#include "ReportBacklog.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace iohid
{

class DeviceInput
{
public:
    // Told on the reader thread; must neither block nor allocate.
    struct Listener
    {
        virtual void reportWaiting() = 0;
        virtual void nodeGone() = 0;

    protected:
        ~Listener() = default;
    };

    // The kernel keeps as many reports per open hidraw file.
    static constexpr size_t kReportBacklog = 64;

    DeviceInput(const hidraw::ParsedDescriptor& descriptor, Listener& listener);
    ~DeviceInput();
    DeviceInput(const DeviceInput&) = delete;
    DeviceInput& operator=(const DeviceInput&) = delete;

    // Starts reading the node on a new thread; stop() ends the thread and waits for it.
    void start(std::shared_ptr<hidraw::HidrawNode> node);
    void stop();

    // While true, reports are kept (up to kReportBacklog; later ones are dropped) for takeReport;
    // false drops the kept ones.
    void keepReports(bool keep);
    // Copies the oldest kept report into `into` (cut to its size) and gives its whole length
    // and its first byte. False when none is kept.
    bool takeReport(std::span<uint8_t> into, size_t& length, uint8_t& firstByte);

    struct Value
    {
        int32_t integer = 0;
        uint64_t timestamp = 0;
        uint64_t generation = 0; // changes whenever the value does
        bool read = false;       // a report has carried it
    };
    Value value(size_t element) const;
    // The value and its bytes, read together.
    Value value(size_t element, std::vector<uint8_t>& bytes) const;
    // The byte length of an element's values.
    size_t valueLength(size_t element) const;
    size_t maxValueLength() const;

    void attach(QueueBuffer* queue);
    void detach(QueueBuffer* queue);

private:
    struct ElementState
    {
        Value value;
        std::vector<uint8_t> bytes;
    };

    void run(std::shared_ptr<hidraw::HidrawNode> node);
    void handleReport(std::span<const uint8_t> report, uint64_t timestamp);
    void updateElement(size_t index, std::span<const uint8_t> data, uint64_t timestamp);

    const std::vector<hidraw::ParsedElement>& elements;
    const bool numberedReports;
    const size_t readSize;
    Listener& listener;
    std::vector<size_t> inputElements;

    mutable std::mutex valuesLock; // values, queues
    std::vector<ElementState> states;
    std::vector<QueueBuffer*> queues;
    std::vector<uint8_t> scratch;

    ReportBacklog backlog;

    std::shared_ptr<hidraw::HidrawNode> node;
    std::thread reader;
};

} // namespace iohid
