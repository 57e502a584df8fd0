// A node's input side: a thread of its own reads the hidraw node, keeps every input element's
// latest value, feeds the started queues, and hands each report to every device object that
// reads the node. Nothing is allocated per report.
#pragma once

#include "../native/HidrawNode.h"
#include "../native/ReportDescriptor.h"
#include "QueueBuffer.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace iohid
{

class DeviceInput
{
public:
    // Told on the reader thread once it has read its last report: `gone` when the node has gone,
    // after everything the node still held has been handed on.
    struct Listener
    {
        virtual void readingEnded(bool gone) = 0;

    protected:
        ~Listener() = default;
    };

    // Whoever reads the node's reports, told on the reader thread, where it must neither block
    // nor allocate. Each report is kept before the element values change, and waiting() is told
    // after, so that whoever sees a new value finds its report kept.
    struct ReportSink
    {
        // False when the report is not kept.
        virtual bool keep(std::span<const uint8_t> report) = 0;
        virtual void waiting() = 0;

    protected:
        ~ReportSink() = default;
    };

    DeviceInput(const hidraw::ParsedDescriptor& descriptor, Listener& listener);
    ~DeviceInput();
    DeviceInput(const DeviceInput&) = delete;
    DeviceInput& operator=(const DeviceInput&) = delete;

    // Starts reading the node on a new thread, with no value known yet; false, with nothing
    // started, when no thread can be made. stop() ends the thread and waits for it. A node that has
    // gone is read to its end first; the reader then lets go of the node and of itself.
    bool start(std::shared_ptr<hidraw::HidrawNode> node);
    void stop();

    // The longest report one read takes.
    size_t reportSize() const { return readSize; }

    // Once detach() returns, the sink is not told again.
    void attach(ReportSink* sink);
    void detach(ReportSink* sink);

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

    void forgetValues();
    void run(std::shared_ptr<hidraw::HidrawNode> node);
    void letGoOfGoneNode();
    void handleReport(std::span<const uint8_t> report, uint64_t timestamp);
    void updateElement(size_t index, std::span<const uint8_t> data, uint64_t timestamp);

    const std::vector<hidraw::ParsedElement>& elements;
    const bool numberedReports;
    const size_t readSize;
    Listener& listener;
    std::vector<size_t> inputElements;

    std::mutex sinksLock; // held over a whole report, before valuesLock
    std::vector<ReportSink*> sinks;
    std::vector<char> keptBy; // by sink, for the report at hand

    mutable std::mutex valuesLock; // values, queues
    std::vector<ElementState> states;
    std::vector<QueueBuffer*> queues;
    std::vector<uint8_t> scratch;

    std::mutex readerLock; // the reader and its node, for start(), stop() and the reader's own end
    std::shared_ptr<hidraw::HidrawNode> node;
    std::thread reader;
};

} // namespace iohid
