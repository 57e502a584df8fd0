// The Linux primitives under the run loop: an epoll set and an eventfd for wake-ups.
#pragma once

#include <atomic>
#include <cstdint>
#include <sys/epoll.h>

namespace cf::os
{

// One epoll instance; events carry the 64-bit tag given when the descriptor was added.
class EpollSet
{
public:
    EpollSet();
    ~EpollSet();
    EpollSet(const EpollSet&) = delete;
    EpollSet& operator=(const EpollSet&) = delete;

    // Makes the instance if it could not be made before (for want of descriptors); false while
    // it still cannot be. One caller at a time.
    bool open();
    int fd() const { return m_fd.load(); }
    // Watches the descriptor for reading (hang-ups and errors are always reported).
    bool add(int fd, uint64_t tag);
    void remove(int fd);
    // Waits up to timeoutMs (-1 for ever); the number of events, 0 on a time-out or a signal.
    int wait(epoll_event* events, int capacity, int timeoutMs);

private:
    std::atomic<int> m_fd;
};

// A counter descriptor that polls readable after signal() until drain().
class WakeEvent
{
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // As EpollSet::open().
    bool open();
    int fd() const { return m_fd.load(); }
    void signal();
    void drain();

private:
    std::atomic<int> m_fd;
};

} // namespace cf::os
