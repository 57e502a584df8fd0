#include "NodeFaults.h"

#include "native/HidrawNode.h"

#include <cerrno>
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
    bool gone = false;
    int opens = 0;
};

struct Faults
{
    std::mutex lock;
    std::map<std::string, NodeState> nodes;
    std::map<int, std::string> openFiles;
    hidraw::NodeSystemCalls real{};
    bool installed = false;

    // The state of the node behind a descriptor, or null for other files.
    NodeState* nodeOf(int fd)
    {
        const auto file = openFiles.find(fd);
        return file != openFiles.end() ? &nodes[file->second] : nullptr;
    }
};

Faults& faults()
{
    static Faults instance;
    return instance;
}

int openNode(const char* path, int flags)
{
    Faults& f = faults();
    std::lock_guard<std::mutex> guard(f.lock);
    NodeState& node = f.nodes[path];
    if (node.refusal != 0)
    {
        errno = node.refusal;
        return -1;
    }
    const int fd = f.real.open(path, flags);
    if (fd >= 0)
    {
        f.openFiles[fd] = path;
        ++node.opens;
    }
    return fd;
}

ssize_t readNode(int fd, void* buffer, size_t size)
{
    Faults& f = faults();
    const ssize_t length = f.real.read(fd, buffer, size);
    const int error = errno;
    std::lock_guard<std::mutex> guard(f.lock);
    const NodeState* node = f.nodeOf(fd);
    errno = node != nullptr && node->gone && length < 0 && error == EAGAIN ? EIO : error;
    return length;
}

ssize_t writeNode(int fd, const void* buffer, size_t size)
{
    Faults& f = faults();
    {
        std::lock_guard<std::mutex> guard(f.lock);
        NodeState* node = f.nodeOf(fd);
        const int error = node == nullptr ? 0 : node->gone ? ENODEV : std::exchange(node->nextWriteError, 0);
        if (error != 0)
        {
            errno = error;
            return -1;
        }
    }
    return f.real.write(fd, buffer, size);
}

// A gone node never blocks: it polls hung up, and readable while it holds reports.
int pollNodes(pollfd* fds, nfds_t count, int timeoutMs)
{
    Faults& f = faults();
    const auto anyGone = [&]
    {
        std::lock_guard<std::mutex> guard(f.lock);
        for (nfds_t i = 0; i < count; ++i)
            if (const NodeState* node = f.nodeOf(fds[i].fd); node != nullptr && node->gone)
                return true;
        return false;
    };
    int ready = f.real.poll(fds, count, anyGone() ? 0 : timeoutMs);
    if (ready < 0)
        return ready;
    std::lock_guard<std::mutex> guard(f.lock);
    for (nfds_t i = 0; i < count; ++i)
        if (const NodeState* node = f.nodeOf(fds[i].fd); node != nullptr && node->gone)
        {
            ready += fds[i].revents == 0 ? 1 : 0;
            fds[i].revents |= POLLHUP | POLLERR;
        }
    return ready;
}

} // namespace

NodeFaults::NodeFaults()
{
    Faults& f = faults();
    std::lock_guard<std::mutex> guard(f.lock);
    if (f.installed)
        throw std::logic_error("one NodeFaults at a time");
    f.installed = true;
    f.real = hidraw::nodeSystemCalls();
    hidraw::nodeSystemCalls() = {openNode, readNode, writeNode, pollNodes};
}

NodeFaults::~NodeFaults()
{
    Faults& f = faults();
    std::lock_guard<std::mutex> guard(f.lock);
    hidraw::nodeSystemCalls() = f.real;
    f.nodes.clear();
    f.openFiles.clear();
    f.installed = false;
}

void NodeFaults::refuseOpen(const std::string& node, int error)
{
    std::lock_guard<std::mutex> guard(faults().lock);
    faults().nodes[node].refusal = error;
}

void NodeFaults::allowOpen(const std::string& node)
{
    refuseOpen(node, 0);
}

int NodeFaults::opens(const std::string& node) const
{
    std::lock_guard<std::mutex> guard(faults().lock);
    return faults().nodes[node].opens;
}

void NodeFaults::failNextWrite(const std::string& node, int error)
{
    std::lock_guard<std::mutex> guard(faults().lock);
    faults().nodes[node].nextWriteError = error;
}

void NodeFaults::goneKeepingReports(const std::string& node)
{
    std::lock_guard<std::mutex> guard(faults().lock);
    faults().nodes[node].gone = true;
}

} // namespace hidtest
