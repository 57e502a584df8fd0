#include "Epoll.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace cf::os
{
namespace
{

void reportFailure(const char* call)
{
    std::fprintf(stderr, "CFRunLoop: %s failed: %s\n", call, std::strerror(errno));
}

int makeEpoll()
{
    const int fd = epoll_create1(EPOLL_CLOEXEC);
    if (fd < 0)
        reportFailure("epoll_create1");
    return fd;
}

int makeEventFd()
{
    const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        reportFailure("eventfd");
    return fd;
}

} // namespace

EpollSet::EpollSet() : m_fd(makeEpoll()) {}

bool EpollSet::open()
{
    if (m_fd < 0)
        m_fd = makeEpoll();
    return m_fd >= 0;
}

EpollSet::~EpollSet()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool EpollSet::add(int fd, uint64_t tag)
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = tag;
    const int epoll = m_fd.load();
    return epoll >= 0 && epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) == 0;
}

void EpollSet::remove(int fd)
{
    // Fails harmlessly when the caller closed the descriptor already: the kernel dropped it then.
    if (const int epoll = m_fd.load(); epoll >= 0)
        epoll_ctl(epoll, EPOLL_CTL_DEL, fd, nullptr);
}

int EpollSet::wait(epoll_event* events, int capacity, int timeoutMs)
{
    const int epoll = m_fd.load();
    if (epoll < 0)
        return 0;
    const int count = epoll_wait(epoll, events, capacity, timeoutMs);
    if (count < 0)
    {
        if (errno != EINTR)
            reportFailure("epoll_wait");
        return 0;
    }
    return count;
}

WakeEvent::WakeEvent() : m_fd(makeEventFd()) {}

bool WakeEvent::open()
{
    if (m_fd < 0)
        m_fd = makeEventFd();
    return m_fd >= 0;
}

WakeEvent::~WakeEvent()
{
    if (m_fd >= 0)
        close(m_fd);
}

void WakeEvent::signal()
{
    const uint64_t one = 1;
    const int fd = m_fd.load();
    // EAGAIN means the counter is full, which still wakes the reader.
    while (fd >= 0 && write(fd, &one, sizeof one) < 0 && errno == EINTR)
    {
    }
}

void WakeEvent::drain()
{
    uint64_t count;
    const int fd = m_fd.load();
    while (fd >= 0 && read(fd, &count, sizeof count) < 0 && errno == EINTR)
    {
    }
}

} // namespace cf::os
