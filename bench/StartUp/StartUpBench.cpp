// Time from start to the first painted window, and peak resident memory, of the program over
// several runs on the X server that DISPLAY names: startup_bench <program> [runs].
#include "XDisplay.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace
{
using Clock = std::chrono::steady_clock;

// Milliseconds to the first painted window (the background colour in its top-left corner), or
// -1 when none came within 10 s; then the peak resident MiB.
std::pair<double, double> measure(const char* program, guitest::XDisplay& screen)
{
    pid_t pid = -1;
    char* arguments[] = {const_cast<char*>(program), nullptr};
    const auto started = Clock::now();
    if (posix_spawn(&pid, program, nullptr, nullptr, arguments, environ) != 0)
        return {-1, 0};
    double startMs = -1;
    while (startMs < 0 && Clock::now() < started + std::chrono::seconds(10))
    {
        const auto window = screen.window(pid);
        if (window && screen.capture(*window).getPixelAt(4, 4) == juce::Colour(234, 234, 234))
            startMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the first page settles
    ::kill(pid, SIGTERM);
    rusage usage{};
    ::wait4(pid, nullptr, 0, &usage);
    while (screen.window(pid))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return {startMs, double(usage.ru_maxrss) / 1024.0};
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: startup_bench <program> [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    guitest::XDisplay screen;
    std::vector<double> times;
    double peak = 0;
    for (int i = 1; i <= runs; ++i)
    {
        const auto [startMs, peakMiB] = measure(argv[1], screen);
        if (startMs < 0)
        {
            std::fprintf(stderr, "run %d: no painted window within 10 s\n", i);
            return 1;
        }
        std::printf("run %2d: %7.1f ms to the first painted window, %5.1f MiB peak\n", i, startMs, peakMiB);
        times.push_back(startMs);
        peak = std::max(peak, peakMiB);
    }
    std::sort(times.begin(), times.end());
    const double median = (times[(runs - 1) / 2] + times[runs / 2]) / 2;
    std::printf(
        "median %.1f ms to the first painted window (target 300 ms); peak %.1f MiB resident (target 64 "
        "MiB)\n",
        median, peak);
    return 0;
}
