// One open /dev/hidrawN: one report per read, one report per write (the report number first).
// The descriptor stays open until the last holder lets go of the node, so a sender racing a
// removal never writes into a descriptor number that has been reused for another file.
#pragma once

#include <cstdint>
#include <memory>
#include <poll.h>
#include <span>
#include <string>
#include <sys/types.h>

namespace hidraw
{

// The system calls every node makes. Tests replace them to reach what an emulated node cannot
// do: a write that the device stalls, reports still queued when the device goes.
struct NodeSystemCalls
{
    int (*open)(const char* path, int flags);
    ssize_t (*read)(int fd, void* buffer, size_t size);
    ssize_t (*write)(int fd, const void* buffer, size_t size);
    int (*poll)(pollfd* fds, nfds_t count, int timeoutMs);
};
NodeSystemCalls& nodeSystemCalls();

class HidrawNode
{
public:
    // Opens the node for reading and writing; on failure, nothing and the errno in `error`.
    static std::shared_ptr<HidrawNode> open(const std::string& path, int& error);
    ~HidrawNode();

    HidrawNode(const HidrawNode&) = delete;
    HidrawNode& operator=(const HidrawNode&) = delete;

    enum class ReadStatus
    {
        report,  // one report of `length` bytes
        nothing, // no report waiting
        stopped, // stop() was called
        gone     // the device has gone (unplugged, or the node failed)
    };

    struct ReadResult
    {
        ReadStatus status;
        size_t length = 0;
    };

    // Waits until a report arrives, the device goes or stop() is called; a report longer than
    // the buffer is cut to it, as the kernel does. Reports the node still holds when the device
    // goes are read first, however the going is learnt.
    ReadResult waitAndRead(std::span<uint8_t> buffer);

    // Writes one report, waiting at most `timeoutMs` for the device to take it. Returns 0, or
    // the errno of the failure (ENODEV once the device has gone, ETIMEDOUT). ENODEV, ESHUTDOWN,
    // or any failure once the node has hung up, means that the device has gone; any other failure
    // fails this write alone.
    int write(std::span<const uint8_t> report, int timeoutMs);

    // Ends waits: readers return stopped, and writers ENODEV when `gone`.
    void stop();
    void markGone();
    bool isGone() const;
    // True once the kernel has hung the node up, whether or not a read has seen it yet.
    bool hasHungUp() const;

private:
    HidrawNode(int fd, int wakeFd);
    ReadResult readNow(std::span<uint8_t> buffer, bool hungUp);

    const int fd;
    const int wakeFd;
    struct State;
    std::unique_ptr<State> state;
};

} // namespace hidraw
