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

struct Run
{
    double startMs = -1; // -1: no painted window in time
    double peakMiB = 0;
};

// Painted: the window's background colour shows in its top-left corner.
bool painted(guitest::XDisplay& screen, unsigned long window)
{
    const auto image = screen.capture(window);
    return image.isValid() && image.getPixelAt(4, 4) == juce::Colour(234, 234, 234);
}

Run measure(const char* program, guitest::XDisplay& screen)
{
    Run run;
    pid_t pid = -1;
    char* arguments[] = {const_cast<char*>(program), nullptr};
    const auto started = Clock::now();
    if (posix_spawn(&pid, program, nullptr, nullptr, arguments, environ) != 0)
        return run;

    const auto deadline = started + std::chrono::seconds(10);
    while (Clock::now() < deadline)
    {
        const auto window = screen.waitForWindow(pid, std::chrono::milliseconds(1));
        if (window && painted(screen, *window))
        {
            run.startMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
            break;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // the first page settles
    ::kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.peakMiB = double(usage.ru_maxrss) / 1024.0;
    screen.waitUntilNoWindows("QLNUpdateProgram", std::chrono::seconds(5));
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
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
    std::vector<double> times, peaks;
    for (int i = 0; i < runs; ++i)
    {
        const Run run = measure(argv[1], screen);
        if (run.startMs < 0)
        {
            std::fprintf(stderr, "run %d: no painted window within 10 s\n", i + 1);
            return 1;
        }
        std::printf("run %2d: %7.1f ms to the first painted window, %5.1f MiB peak\n", i + 1, run.startMs,
                    run.peakMiB);
        times.push_back(run.startMs);
        peaks.push_back(run.peakMiB);
    }
    std::printf(
        "median %.1f ms to the first painted window (target 300 ms); peak %.1f MiB resident (target 64 "
        "MiB)\n",
        median(times), *std::max_element(peaks.begin(), peaks.end()));
    return 0;
}
