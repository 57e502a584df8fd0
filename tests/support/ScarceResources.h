// Scopes in which the process cannot make what the system would normally give it, for tests of a
// call that needs it. One at a time; what was there before is back when the scope ends.
//
//     {
//         testsupport::NoNewThreads none;
//         EXPECT_EQ(IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone), kIOReturnNoResources);
//     }
#pragma once

#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

extern "C" void __ubsan_handle_dynamic_type_cache_miss() __attribute__((weak));

namespace testsupport
{

// Every thread started meanwhile asks for more stack than the address space holds.
class NoNewThreads
{
public:
    NoNewThreads()
    {
        pthread_getattr_default_np(&saved);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, size_t(1) << 50);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~NoNewThreads()
    {
        pthread_setattr_default_np(&saved);
        pthread_attr_destroy(&saved);
    }
    NoNewThreads(const NoNewThreads&) = delete;
    NoNewThreads& operator=(const NoNewThreads&) = delete;

private:
    pthread_attr_t saved;
};

// No descriptor can be opened meanwhile but the `spare` ones: the limit is that many above the
// lowest number free now.
class NoNewDescriptors
{
public:
    // UndefinedBehaviorSanitizer reads an object's type through a pipe of its own the first time it
    // checks a call on it: without descriptors it takes every object for a bad one.
    static bool sanitizerNeedsThem() { return &__ubsan_handle_dynamic_type_cache_miss != nullptr; }

    explicit NoNewDescriptors(int spare = 0)
    {
        getrlimit(RLIMIT_NOFILE, &saved);
        // Not a file under /dev, which umockdev's preload would take for a device of its own.
        const int lowestFree = eventfd(0, EFD_CLOEXEC);
        ::close(lowestFree);
        rlimit none = saved;
        none.rlim_cur = rlim_t(lowestFree + spare);
        setrlimit(RLIMIT_NOFILE, &none);
    }
    ~NoNewDescriptors() { setrlimit(RLIMIT_NOFILE, &saved); }
    NoNewDescriptors(const NoNewDescriptors&) = delete;
    NoNewDescriptors& operator=(const NoNewDescriptors&) = delete;

private:
    rlimit saved;
};

} // namespace testsupport
