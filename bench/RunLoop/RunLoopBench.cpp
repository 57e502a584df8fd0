// Round trip through a run loop: this thread posts, the run loop's thread runs the work, and the
// work signals back. Each iteration is timed on its own so that the median can be reported.
#include <CoreFoundation/CFRunLoopLinux.h>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace
{

void RunLoopRoundTrip(benchmark::State& state)
{
    std::promise<CFRunLoopRef> ready;
    std::atomic<bool> done{false};
    std::thread loopThread(
        [&]
        {
            // Retained here: the benchmark stops it after this thread may have ended.
            CFRunLoopRef own = CFRunLoopGetCurrent();
            CFRetain(own);
            ready.set_value(own);
            while (!done.load())
                CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, false);
        });
    CFRunLoopRef loop = ready.get_future().get();

    std::atomic<uint64_t> handled{0};
    std::vector<double> microseconds;
    microseconds.reserve(1 << 20);
    for (auto _ : state)
    {
        const uint64_t expected = handled.load() + 1;
        const auto start = std::chrono::steady_clock::now();
        CFRunLoopPerform(loop, kCFRunLoopDefaultMode,
                         [&handled] { handled.fetch_add(1, std::memory_order_release); });
        while (handled.load(std::memory_order_acquire) != expected)
        {
        }
        microseconds.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    done = true;
    CFRunLoopStop(loop);
    loopThread.join();
    CFRelease(loop);

    std::sort(microseconds.begin(), microseconds.end());
    if (!microseconds.empty())
    {
        state.counters["median_us"] = microseconds[microseconds.size() / 2];
        state.counters["p99_us"] = microseconds[microseconds.size() * 99 / 100];
    }
}
BENCHMARK(RunLoopRoundTrip)->UseRealTime()->MinTime(1.0);

} // namespace

BENCHMARK_MAIN();
