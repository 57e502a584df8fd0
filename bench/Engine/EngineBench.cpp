// The update engine's speed over an emulated TRV-Q8:
//  - round trips (command report to accepted reply) through the whole program, beside a bare
//    echo through the same emulated node;
//  - a 1 MiB update over a link that answers once per millisecond, as a full-speed USB device
//    does, against that link's limit.
// A timed run that prints its figures. Run under umockdev-wrapper.
#include "HidTestbed.h"
#include "MainComponent.h"
#include "MainRunLoopBridge.h"
#include "TrvQ8Simulator.h"
#include "UpdateFileWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <numeric>
#include <poll.h>
#include <thread>
#include <unistd.h>

using Clock = std::chrono::steady_clock;
using namespace hidtest;

namespace
{
double microsecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Mean and median in microseconds of a block select written straight into the node and
// answered by the simulator.
std::pair<double, double> bareEcho(HidTestbed& bed, int device, int rounds)
{
    const int fd = ::open(bed.nodePath(device).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    uint8_t command[65] = {0, trvq8::kSelect, 1};
    uint8_t reply[64];
    std::vector<double> samples;
    for (pollfd readable{fd, POLLIN, 0}; int(samples.size()) < rounds;)
    {
        const auto start = Clock::now();
        if (::write(fd, command, sizeof command) != ssize_t(sizeof command) ||
            ::poll(&readable, 1, 1000) != 1 || ::read(fd, reply, sizeof reply) != ssize_t(sizeof reply))
            break;
        samples.push_back(microsecondsSince(start));
    }
    ::close(fd);
    if (samples.empty())
        return {0.0, 0.0};
    std::sort(samples.begin(), samples.end());
    return {std::accumulate(samples.begin(), samples.end(), 0.0) / double(samples.size()),
            samples[samples.size() / 2]};
}

struct UpdateRun
{
    double seconds;
    size_t roundTrips;
    int status;
};

// Runs a function on the message thread, where the program's calls go, and waits for its result.
template <typename Function> auto onMessageThread(Function function)
{
    std::promise<decltype(function())> result;
    juce::MessageManager::callAsync([&] { result.set_value(function()); });
    return result.get_future().get();
}

// From Start on the device-ready page to the outcome page, with the message loop running as in
// the program.
UpdateRun runUpdate(const TrvQ8Simulator& device, size_t bytes, int blocks)
{
    updfile::UpdateFile file;
    for (int i = 0; i < blocks; ++i)
        file.blocks.push_back(updfile::UpdateBlock::encrypted(
            updfile::patternBytes(bytes / blocks, uint32_t(i)), 0x1000u + uint32_t(i), uint8_t(i)));
    file.writeTo(
        juce::File::getSpecialLocation(juce::File::currentExecutableFile).getSiblingFile("TRV-Q8_UP.upd"));
    auto* component = onMessageThread(
        []
        {
            auto* created = new MainComponent();
            created->buttonClicked((juce::Button*)created->okButton);
            return created;
        });
    const size_t before = device.received().commands.size(); // the bare echo's are not the program's
    const auto start = Clock::now();
    onMessageThread(
        [component]
        {
            component->buttonClicked((juce::Button*)component->okButton);
            return true;
        });
    while (onMessageThread([component] { return component->status; }) < MainComponent::STATUS_SUCCEEDED)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double seconds = microsecondsSince(start) / 1e6;
    const int status = onMessageThread( // and deletes the component
        [component] { return std::unique_ptr<MainComponent>(component)->status; });
    return {seconds, device.received().commands.size() - before, status};
}

void measure()
{
    {
        HidTestbed bed;
        TrvQ8Simulator device(bed, {});
        const auto [bareMean, bareMedian] = bareEcho(bed, device.device(), 2000);
        // Without the finishing pause, which is no round trip.
        const MainComponent::TransferTimeLimits kept = MainComponent::transferTimeLimits;
        MainComponent::transferTimeLimits.finishPauseMs = 0;
        const UpdateRun run = runUpdate(device, 256 * 1024, 4);
        MainComponent::transferTimeLimits = kept;
        const double perRoundTrip = run.seconds * 1e6 / double(run.roundTrips);
        std::printf(
            "instant device: %zu round trips in %.3f s (status %d): %.0f round trips/s, %.1f us each\n",
            run.roundTrips, run.seconds, run.status, double(run.roundTrips) / run.seconds, perRoundTrip);
        std::printf("bare echo through the same node: %.1f us each (median %.1f us)\n", bareMean, bareMedian);
        // A tenth of the 1 ms frame in which a full-speed device answers.
        std::printf("the program adds %.1f us per round trip (target: under 100)\n", perRoundTrip - bareMean);
    }
    {
        HidTestbed bed;
        TrvQ8Simulator device(bed, {.faults = {.frame = std::chrono::milliseconds(1)}});
        const UpdateRun run = runUpdate(device, 1024 * 1024, 8);
        const double limit = double(run.roundTrips) * 1e-3;
        std::printf("1 MiB over a 1 ms link: %zu round trips in %.3f s (status %d); the link allows %.3f s: "
                    "%.2f %% above its limit (target: within 2 %%)\n",
                    run.roundTrips, run.seconds, run.status, limit, (run.seconds / limit - 1.0) * 100.0);
    }
}
} // namespace

int main()
{
    juce::ScopedJuceInitialiser_GUI juce;
    attachMainRunLoopToMessageLoop();
    std::thread driver(
        []
        {
            measure();
            juce::MessageManager::getInstance()->stopDispatchLoop();
        });
    juce::MessageManager::getInstance()->runDispatchLoop();
    driver.join();
    detachMainRunLoopFromMessageLoop();
    return 0;
}
