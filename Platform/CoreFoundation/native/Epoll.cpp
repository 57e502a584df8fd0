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

} // namespace

EpollSet::EpollSet() : m_fd(epoll_create1(EPOLL_CLOEXEC))
{
    if (m_fd < 0)
        reportFailure("epoll_create1");
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
    return m_fd >= 0 && epoll_ctl(m_fd, EPOLL_CTL_ADD, fd, &event) == 0;
}

void EpollSet::remove(int fd)
{
    // Fails harmlessly when the caller closed the descriptor already: the kernel dropped it then.
    if (m_fd >= 0)
        epoll_ctl(m_fd, EPOLL_CTL_DEL, fd, nullptr);
}

int EpollSet::wait(epoll_event* events, int capacity, int timeoutMs)
{
    if (m_fd < 0)
        return 0;
    const int count = epoll_wait(m_fd, events, capacity, timeoutMs);
    if (count < 0)
    {
        if (errno != EINTR)
            reportFailure("epoll_wait");
        return 0;
    }
    return count;
}

WakeEvent::WakeEvent() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_fd < 0)
        reportFailure("eventfd");
}

WakeEvent::~WakeEvent()
{
    if (m_fd >= 0)
        close(m_fd);
}

void WakeEvent::signal()
{
    const uint64_t one = 1;
    // EAGAIN means the counter is full, which still wakes the reader.
    while (m_fd >= 0 && write(m_fd, &one, sizeof one) < 0 && errno == EINTR)
    {
    }
}

void WakeEvent::drain()
{
    uint64_t count;
    while (m_fd >= 0 && read(m_fd, &count, sizeof count) < 0 && errno == EINTR)
    {
    }
}

} // namespace cf::os
