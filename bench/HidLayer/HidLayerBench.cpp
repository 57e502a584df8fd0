// The round trip of a 64-byte report through an emulated hidraw node: bare (write the output
// report, the device's echo, poll and read the input report) and through the HID layer (an
// output report sent from a worker thread, the echo, the input-report callback on the main
// run loop). Also counts the memory allocations per round trip through the layer.
// Run under umockdev-wrapper.

// This file replaces operator new to count allocations; GCC then takes the library's deletes
// for mismatched.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include "HidTestbed.h"

#include <CoreFoundation/CFObject.h>
#include <IOKit/hid/IOHIDLib.h>

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <semaphore>
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
std::jthread echo(hidtest::HidTestbed& bed, int device)
{
    return std::jthread(
        [&bed, device](std::stop_token stop)
        {
            threadKind = kHarnessThread;
            while (!stop.stop_requested())
                if (auto report = bed.readOutputReport(device, 65, std::chrono::milliseconds(50)))
                    bed.writeInputReport(device, std::span<const uint8_t>(report->data() + 1, 64));
        });
}

void addRoundTrip(benchmark::State& state, std::vector<double>& microseconds,
                  std::chrono::duration<double> trip)
{
    state.SetIterationTime(trip.count());
    microseconds.push_back(trip.count() * 1e6);
}

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
    const auto echoing = echo(bed, device);
    uint8_t output[65] = {};
    uint8_t input[64];
    std::vector<double> samples;
    for (auto _ : state)
    {
        const auto start = Clock::now();
        pollfd readable{fd, POLLIN, 0};
        if (::write(fd, output, sizeof output) != ssize_t(sizeof output) || ::poll(&readable, 1, 1000) != 1 ||
            ::read(fd, input, sizeof input) != ssize_t(sizeof input))
            state.SkipWithError("no echo");
        addRoundTrip(state, samples, Clock::now() - start);
        ++output[1];
    }
    ::close(fd);
    addPercentiles(state, samples);
}

// The worker sends one output report each time it is asked; the input-report callback notes the
// echo.
struct LayerEcho
{
    std::binary_semaphore sendNow{0};
    std::atomic<Clock::rep> sentAt{0};
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

    LayerEcho layer;
    IOHIDDeviceRegisterInputReportCallback(hid, layer.buffer, 64, LayerEcho::onReport, &layer);
    IOHIDDeviceScheduleWithRunLoop(hid, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    const auto echoing = echo(bed, device);
    std::jthread worker(
        [&](std::stop_token stop)
        {
            threadKind = kHarnessThread;
            uint8_t output[64] = {};
            while (!stop.stop_requested())
                if (layer.sendNow.try_acquire_for(std::chrono::milliseconds(50)))
                {
                    layer.sentAt = Clock::now().time_since_epoch().count();
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
    long runs = 0, runsBefore = 0, mainBefore = 0, otherBefore = 0, roundTrips = 0;
    std::vector<double> samples;
    samples.reserve(1 << 20);
    for (auto _ : state)
    {
        if (roundTrips++ == 100) // steady state from here
        {
            mainBefore = allocations[kMainThread].load();
            runsBefore = runs;
            otherBefore = allocations[kOtherThread].load();
        }
        layer.received = false;
        layer.sendNow.release();
        for (; !layer.received; ++runs)
            CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, true);
        addRoundTrip(state, samples, Clock::now() - Clock::time_point(Clock::duration(layer.sentAt.load())));
    }
    const long mainAllocations = allocations[kMainThread].load() - mainBefore;
    const long otherAllocations = allocations[kOtherThread].load() - otherBefore;
    worker.request_stop();
    worker.join();
    IOHIDDeviceRegisterInputReportCallback(hid, layer.buffer, 64, nullptr, nullptr);
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
