#include "HidrawNode.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
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

bool isGoneError(int error)
{
    return error == EIO || error == ENODEV || error == EPIPE || error == ESHUTDOWN;
}

int pollRetrying(pollfd* fds, nfds_t count, int timeoutMs)
{
    for (;;)
    {
        const int ready = ::poll(fds, count, timeoutMs);
        if (ready >= 0 || errno != EINTR)
            return ready;
    }
}

} // namespace

std::shared_ptr<HidrawNode> HidrawNode::open(const std::string& path, int& error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
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

HidrawNode::ReadResult HidrawNode::readNow(std::span<uint8_t> buffer)
{
    const ssize_t length = ::read(fd, buffer.data(), buffer.size());
    if (length >= 0)
        return {ReadStatus::report, size_t(length)};
    if (errno == EAGAIN || errno == EINTR)
        return {ReadStatus::nothing};
    markGone();
    return {ReadStatus::gone};
}

HidrawNode::ReadResult HidrawNode::waitAndRead(std::span<uint8_t> buffer)
{
    for (;;)
    {
        if (state->stopped.load())
            return {ReadStatus::stopped};
        if (state->gone.load())
            return {ReadStatus::gone};
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        if (pollRetrying(fds, 2, -1) < 0)
            return {ReadStatus::gone};
        if (fds[1].revents != 0)
            continue;
        // An unplugged node reports hang-up and error; a read would then give nothing useful.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
        {
            markGone();
            return {ReadStatus::gone};
        }
        const ReadResult result = readNow(buffer);
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
        const ssize_t written = ::write(fd, report.data() + sent, report.size() - sent);
        if (written > 0)
            sent += size_t(written);
        if (sent == report.size())
            return 0;
        if (written < 0 && isGoneError(errno))
        {
            markGone();
            return ENODEV;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return errno;
        if (written > 0)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return ETIMEDOUT;
        pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        pollRetrying(fds, 2, int(left.count()));
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

} // namespace hidraw
