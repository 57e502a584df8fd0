// The round trip of a 64-byte report through an emulated hidraw node: bare (write the output
// report, the device's echo, poll and read the input report) and through the HID layer (an
// output report sent from a worker thread, the echo, the input-report callback on the main
// run loop). Also counts the memory allocations per round trip through the layer.
// Run under umockdev-wrapper.
#include "HidTestbed.h"

#include <CoreFoundation/CFObject.h>
#include <IOKit/hid/IOHIDLib.h>

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace
{

// Allocations counted by the thread that makes them: the benchmark's main thread (the run
// loop and the callbacks), its harness threads (echo and sender), and the others (the
// layer's reader thread).
enum ThreadKind
{
    kOtherThread,
    kMainThread,
    kHarnessThread,
    kThreadKinds
};
thread_local ThreadKind threadKind = kOtherThread;
std::atomic<long> allocations[kThreadKinds];

using Clock = std::chrono::steady_clock;

// Answers each 65-byte output report with a 64-byte input report, as the device would.
class Echo
{
public:
    Echo(hidtest::HidTestbed& bed, int device) : bed(bed), device(device), thread([this] { run(); }) {}
    ~Echo()
    {
        stopping = true;
        thread.join();
    }

private:
    void run()
    {
        threadKind = kHarnessThread;
        while (!stopping)
        {
            auto report = bed.readOutputReport(device, 65, std::chrono::milliseconds(50));
            if (report)
                bed.writeInputReport(device, std::span<const uint8_t>(report->data() + 1, 64));
        }
    }

    hidtest::HidTestbed& bed;
    const int device;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

void addPercentiles(benchmark::State& state, std::vector<double>& microseconds)
{
    if (microseconds.empty())
        return;
    std::sort(microseconds.begin(), microseconds.end());
    state.counters["median_us"] = microseconds[microseconds.size() / 2];
    state.counters["p90_us"] = microseconds[microseconds.size() * 9 / 10];
}

void BM_BareEcho(benchmark::State& state)
{
    hidtest::HidTestbed bed;
    const int device = bed.addDevice({});
    const int fd = ::open(bed.nodePath(device).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    Echo echo(bed, device);
    uint8_t output[65] = {};
    uint8_t input[64];
    std::vector<double> samples;
    for (auto _ : state)
    {
        const auto start = Clock::now();
        if (::write(fd, output, sizeof output) != ssize_t(sizeof output))
            state.SkipWithError("write failed");
        pollfd readable{fd, POLLIN, 0};
        ::poll(&readable, 1, 1000);
        if (::read(fd, input, sizeof input) != ssize_t(sizeof input))
            state.SkipWithError("read failed");
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        state.SetIterationTime(elapsed.count());
        samples.push_back(elapsed.count() * 1e6);
        ++output[1];
    }
    ::close(fd);
    addPercentiles(state, samples);
}

struct LayerEcho
{
    std::mutex lock;
    std::condition_variable wanted;
    bool sendNow = false;
    bool stopping = false;
    Clock::time_point sentAt;
    std::atomic<bool> received{false};
    uint8_t buffer[64];

    static void onReport(void* context, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex)
    {
        static_cast<LayerEcho*>(context)->received = true;
    }
};

void BM_LayerEcho(benchmark::State& state)
{
    hidtest::HidTestbed bed;
    const int device = bed.addDevice({});
    cf::Owned<IOHIDManagerRef> manager(IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone));
    IOHIDManagerSetDeviceMatching(manager.get(), nullptr);
    IOHIDManagerOpen(manager.get(), kIOHIDOptionsTypeNone);
    const cf::Owned<CFSetRef> devices(IOHIDManagerCopyDevices(manager.get()));
    const void* found = nullptr;
    CFSetGetValues(devices.get(), &found);
    auto hid = static_cast<IOHIDDeviceRef>(const_cast<void*>(found));

    LayerEcho echoState;
    IOHIDDeviceRegisterInputReportCallback(hid, echoState.buffer, 64, LayerEcho::onReport, &echoState);
    IOHIDDeviceScheduleWithRunLoop(hid, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    Echo echo(bed, device);
    std::thread worker(
        [&]
        {
            threadKind = kHarnessThread;
            uint8_t output[64] = {};
            for (;;)
            {
                std::unique_lock<std::mutex> guard(echoState.lock);
                echoState.wanted.wait(guard, [&] { return echoState.sendNow || echoState.stopping; });
                if (echoState.stopping)
                    return;
                echoState.sendNow = false;
                echoState.sentAt = Clock::now();
                guard.unlock();
                ++output[0];
                IOHIDDeviceSetReport(hid, kIOHIDReportTypeOutput, 0, output, sizeof output);
            }
        });

    threadKind = kMainThread;
    // What one run of the run loop allocates by itself, with nothing to do.
    const long idleBefore = allocations[kMainThread].load();
    for (int i = 0; i < 100; ++i)
        CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0, true);
    const double idleRunAllocations = double(allocations[kMainThread].load() - idleBefore) / 100;
    long runs = 0, runsBefore = 0;
    std::vector<double> samples;
    samples.reserve(1 << 20);
    long mainBefore = 0, otherBefore = 0;
    long roundTrips = 0;
    for (auto _ : state)
    {
        if (roundTrips == 100) // steady state from here
        {
            mainBefore = allocations[kMainThread].load();
            runsBefore = runs;
            otherBefore = allocations[kOtherThread].load();
        }
        echoState.received = false;
        {
            std::lock_guard<std::mutex> guard(echoState.lock);
            echoState.sendNow = true;
        }
        echoState.wanted.notify_one();
        while (!echoState.received)
        {
            CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, true);
            ++runs;
        }
        const auto arrived = Clock::now();
        std::chrono::duration<double> elapsed;
        {
            std::lock_guard<std::mutex> guard(echoState.lock);
            elapsed = arrived - echoState.sentAt;
        }
        state.SetIterationTime(elapsed.count());
        samples.push_back(elapsed.count() * 1e6);
        ++roundTrips;
    }
    const long mainAllocations = allocations[kMainThread].load() - mainBefore;
    const long otherAllocations = allocations[kOtherThread].load() - otherBefore;
    {
        std::lock_guard<std::mutex> guard(echoState.lock);
        echoState.stopping = true;
    }
    echoState.wanted.notify_one();
    worker.join();
    IOHIDDeviceRegisterInputReportCallback(hid, echoState.buffer, 64, nullptr, nullptr);
    IOHIDDeviceUnscheduleFromRunLoop(hid, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    addPercentiles(state, samples);
    if (roundTrips > 100)
    {
        const double trips = double(roundTrips - 100);
        state.counters["main_allocs_per_trip"] = double(mainAllocations) / trips;
        state.counters["runs_per_trip"] = double(runs - runsBefore) / trips;
        state.counters["idle_run_allocs"] = idleRunAllocations;
        state.counters["reader_allocs_per_trip"] = double(otherAllocations) / trips;
    }
}

BENCHMARK(BM_BareEcho)->UseManualTime()->MinTime(2.0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LayerEcho)->UseManualTime()->MinTime(2.0)->Unit(benchmark::kMicrosecond);

} // namespace

// Counts every allocation of the process, on every thread; the library's operator delete
// frees with free(), as this allocates with malloc().
void* operator new(size_t size)
{
    ++allocations[threadKind];
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}

BENCHMARK_MAIN();
