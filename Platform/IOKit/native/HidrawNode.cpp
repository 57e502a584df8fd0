#include "HidrawNode.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace hidraw
{

struct HidrawNode::State
{
    std::atomic<bool> stopped{false};
    std::atomic<bool> gone{false};
};

namespace
{

int openFile(const char* path, int flags)
{
    return ::open(path, flags);
}

int pollRetrying(pollfd* fds, nfds_t count, int timeoutMs)
{
    for (;;)
    {
        const int ready = nodeSystemCalls().poll(fds, count, timeoutMs);
        if (ready >= 0 || errno != EINTR)
            return ready;
    }
}

// After a failure that says nothing of the device (ENOMEM, for one), before trying again.
void pauseAfterFailure()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Only the kernel says that a device has gone: a read gives EIO, ENODEV or ESHUTDOWN once it has.
bool isGoneReadError(int error)
{
    return error == EIO || error == ENODEV || error == ESHUTDOWN;
}

bool hasHungUp(int fd)
{
    pollfd node{fd, 0, 0};
    return pollRetrying(&node, 1, 0) > 0 && (node.revents & (POLLHUP | POLLNVAL)) != 0;
}

// A stalled or refused transfer (EPIPE, EIO, ...) fails one write and the device stays, unless
// the node says that the device has gone.
bool isGoneWriteError(int error, int fd)
{
    return error == ENODEV || error == ESHUTDOWN || hasHungUp(fd);
}

} // namespace

NodeSystemCalls& nodeSystemCalls()
{
    static NodeSystemCalls calls{openFile, ::read, ::write, ::poll};
    return calls;
}

std::shared_ptr<HidrawNode> HidrawNode::open(const std::string& path, int& error)
{
    const int fd = nodeSystemCalls().open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
    {
        error = errno;
        return nullptr;
    }
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
    {
        error = errno;
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<HidrawNode>(new HidrawNode(fd, wakeFd));
}

HidrawNode::HidrawNode(int fd, int wakeFd) : fd(fd), wakeFd(wakeFd), state(std::make_unique<State>()) {}

HidrawNode::~HidrawNode()
{
    ::close(fd);
    ::close(wakeFd);
}

HidrawNode::ReadResult HidrawNode::readNow(std::span<uint8_t> buffer, bool hungUp)
{
    const ssize_t length = nodeSystemCalls().read(fd, buffer.data(), buffer.size());
    const int error = length < 0 ? errno : 0;
    if (length > 0 || (length == 0 && !hungUp))
        return {ReadStatus::report, size_t(length)};
    if (length < 0 && !hungUp && !isGoneReadError(error))
    {
        if (error != EAGAIN && error != EINTR)
            pauseAfterFailure();
        return {ReadStatus::nothing};
    }
    // Nothing left in a node that has hung up, or a read that says the device has gone.
    markGone();
    return {ReadStatus::gone};
}

HidrawNode::ReadResult HidrawNode::waitAndRead(std::span<uint8_t> buffer)
{
    for (;;)
    {
        // Told from outside that the device has gone (udev first): what the node holds still counts.
        if (state->gone.load())
            return readNow(buffer, true);
        if (state->stopped.load())
            return {ReadStatus::stopped};
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (pollRetrying(fds, 2, -1) < 0)
        {
            pauseAfterFailure();
            continue;
        }
        if (fds[1].revents != 0)
            continue;
        // An unplugged node reports hang-up and error, and keeps what it had queued readable.
        const bool hungUp = (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        const ReadResult result = readNow(buffer, hungUp);
        if (result.status != ReadStatus::nothing)
            return result;
    }
}

int HidrawNode::write(std::span<const uint8_t> report, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t sent = 0;
    for (;;)
    {
        if (state->gone.load() || state->stopped.load())
            return ENODEV;
        // A hidraw node takes a report whole; a stream-like node may take part of it.
        const ssize_t written = nodeSystemCalls().write(fd, report.data() + sent, report.size() - sent);
        const int error = written < 0 ? errno : 0;
        if (written > 0)
            sent += size_t(written);
        if (sent == report.size())
            return 0;
        if (error != 0 && error != EAGAIN && error != EINTR)
        {
            if (!isGoneWriteError(error, fd))
                return error;
            markGone();
            return ENODEV;
        }
        if (written > 0)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return ETIMEDOUT;
        pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        if (pollRetrying(fds, 2, int(left.count())) < 0)
            pauseAfterFailure();
    }
}

void HidrawNode::stop()
{
    state->stopped.store(true);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeFd, &one, sizeof one);
}

void HidrawNode::markGone()
{
    state->gone.store(true);
    stop();
}

bool HidrawNode::isGone() const
{
    return state->gone.load();
}

bool HidrawNode::hasHungUp() const
{
    return hidraw::hasHungUp(fd);
}

} // namespace hidraw
