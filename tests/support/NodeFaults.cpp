#include "NodeFaults.h"

#include "native/HidrawNode.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace hidtest
{
namespace
{

struct NodeState
{
    int refusal = 0;
    int nextWriteError = 0;
    int nextReadError = 0;
    int pollError = 0;
    int failingPolls = 0;
    int failedPolls = 0;
    int writesBeforeHold = -1; // -1: no write is to be held
    bool writeHeld = false;
    bool gone = false;
    int opens = 0;
};

// The faults of every node, behind the lock; the nodes' open descriptors; the real calls.
std::mutex lock;
std::map<std::string, NodeState> nodes;
std::map<int, std::string> openFiles;
std::condition_variable writeReleased;
hidraw::NodeSystemCalls real{}; // kept after use: a call may still be on its way through a fault
bool installed = false;

// The state of the node behind a descriptor, or null for other files; under the lock.
NodeState* nodeOf(int fd)
{
    const auto file = openFiles.find(fd);
    return file != openFiles.end() ? &nodes[file->second] : nullptr;
}

bool isGone(int fd)
{
    const NodeState* node = nodeOf(fd);
    return node != nullptr && node->gone;
}

int openNode(const char* path, int flags)
{
    std::lock_guard<std::mutex> guard(lock);
    NodeState& node = nodes[path];
    if (node.refusal != 0)
    {
        errno = node.refusal;
        return -1;
    }
    const int fd = real.open(path, flags);
    if (fd >= 0)
    {
        openFiles[fd] = path;
        ++node.opens;
    }
    return fd;
}

ssize_t readNode(int fd, void* buffer, size_t size)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        NodeState* node = nodeOf(fd);
        if (const int error = node == nullptr ? 0 : std::exchange(node->nextReadError, 0))
        {
            errno = error;
            return -1;
        }
    }
    const ssize_t length = real.read(fd, buffer, size);
    const int error = errno;
    std::lock_guard<std::mutex> guard(lock);
    errno = length < 0 && error == EAGAIN && isGone(fd) ? EIO : error;
    return length;
}

ssize_t writeNode(int fd, const void* buffer, size_t size)
{
    bool held = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        NodeState* node = nodeOf(fd);
        const int error = node == nullptr ? 0 : node->gone ? ENODEV : std::exchange(node->nextWriteError, 0);
        if (error != 0)
        {
            errno = error;
            return -1;
        }
        // Held before the report goes out, so that a release prompted by the device's answer to it
        // always finds the write held.
        held = node != nullptr && node->writesBeforeHold >= 0 && node->writesBeforeHold-- == 0;
        if (held)
            node->writeHeld = true;
    }
    const ssize_t written = real.write(fd, buffer, size);
    const int error = errno;
    if (held)
    {
        std::unique_lock<std::mutex> guard(lock);
        // Looked up again each time: the faults may go meanwhile, and let the write go with them.
        writeReleased.wait(guard,
                           [fd]
                           {
                               const NodeState* node = nodeOf(fd);
                               return node == nullptr || !node->writeHeld;
                           });
    }
    errno = error;
    return written;
}

// A poll of a node with failing polls fails before it waits.
bool failPoll(pollfd* fds, nfds_t count)
{
    std::lock_guard<std::mutex> guard(lock);
    for (nfds_t i = 0; i < count; ++i)
    {
        NodeState* node = nodeOf(fds[i].fd);
        if (node != nullptr && node->failingPolls > 0)
        {
            --node->failingPolls;
            ++node->failedPolls;
            errno = node->pollError;
            return true;
        }
    }
    return false;
}

// A gone node never blocks: it polls hung up, and readable while it holds reports.
int pollNodes(pollfd* fds, nfds_t count, int timeoutMs)
{
    if (failPoll(fds, count))
        return -1;
    const auto anyGone = [&]
    {
        std::lock_guard<std::mutex> guard(lock);
        return std::any_of(fds, fds + count, [](const pollfd& entry) { return isGone(entry.fd); });
    };
    int ready = real.poll(fds, count, anyGone() ? 0 : timeoutMs);
    std::lock_guard<std::mutex> guard(lock);
    for (nfds_t i = 0; ready >= 0 && i < count; ++i)
        if (isGone(fds[i].fd))
        {
            ready += fds[i].revents == 0 ? 1 : 0;
            fds[i].revents |= POLLHUP | POLLERR;
        }
    return ready;
}

template <typename Change> auto changeNode(const std::string& node, Change change)
{
    std::lock_guard<std::mutex> guard(lock);
    return change(nodes[node]);
}

} // namespace

NodeFaults::NodeFaults()
{
    std::lock_guard<std::mutex> guard(lock);
    if (std::exchange(installed, true))
        throw std::logic_error("one NodeFaults at a time");
    real = hidraw::nodeSystemCalls();
    hidraw::nodeSystemCalls() = {openNode, readNode, writeNode, pollNodes};
}

NodeFaults::~NodeFaults()
{
    std::lock_guard<std::mutex> guard(lock);
    hidraw::nodeSystemCalls() = real;
    nodes.clear();
    openFiles.clear();
    installed = false;
    writeReleased.notify_all();
}

void NodeFaults::refuseOpen(const std::string& node, int error)
{
    changeNode(node, [error](NodeState& state) { state.refusal = error; });
}

void NodeFaults::allowOpen(const std::string& node)
{
    refuseOpen(node, 0);
}

int NodeFaults::opens(const std::string& node) const
{
    return changeNode(node, [](NodeState& state) { return state.opens; });
}

void NodeFaults::failNextWrite(const std::string& node, int error)
{
    changeNode(node, [error](NodeState& state) { state.nextWriteError = error; });
}

void NodeFaults::failPolls(const std::string& node, int error, int count)
{
    changeNode(node,
               [=](NodeState& state)
               {
                   state.pollError = error;
                   state.failingPolls = count;
               });
}

int NodeFaults::failedPolls(const std::string& node) const
{
    return changeNode(node, [](NodeState& state) { return state.failedPolls; });
}

void NodeFaults::failNextRead(const std::string& node, int error)
{
    changeNode(node, [error](NodeState& state) { state.nextReadError = error; });
}

void NodeFaults::holdWrite(const std::string& node, int passing)
{
    changeNode(node, [passing](NodeState& state) { state.writesBeforeHold = passing; });
}

void NodeFaults::releaseWrite(const std::string& node)
{
    changeNode(node, [](NodeState& state) { state.writeHeld = false; });
    writeReleased.notify_all();
}

void NodeFaults::goneKeepingReports(const std::string& node)
{
    changeNode(node, [](NodeState& state) { state.gone = true; });
}

} // namespace hidtest
