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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures
{
    double median;
    double mean;
};

Figures figuresOf(std::vector<double> values)
{
    if (values.empty())
        return {0.0, 0.0};
    double sum = 0.0;
    for (double value : values)
        sum += value;
    return {median(values), sum / double(values.size())};
}

// Writes a block select straight into the node and reads the simulator's reply.
Figures bareEcho(HidTestbed& bed, int device, int rounds)
{
    const int fd = ::open(bed.nodePath(device).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    uint8_t command[65] = {0, trvq8::kSelect, 1};
    uint8_t reply[64];
    std::vector<double> samples;
    for (int i = 0; i < rounds; ++i)
    {
        const auto start = Clock::now();
        if (::write(fd, command, sizeof command) != ssize_t(sizeof command))
            break;
        pollfd readable{fd, POLLIN, 0};
        ::poll(&readable, 1, 1000);
        if (::read(fd, reply, sizeof reply) != ssize_t(sizeof reply))
            break;
        samples.push_back(microsecondsSince(start));
    }
    ::close(fd);
    return figuresOf(samples);
}

updfile::UpdateFile fileOf(size_t bytes, int blocks)
{
    updfile::UpdateFile file;
    for (int i = 0; i < blocks; ++i)
        file.blocks.push_back(updfile::UpdateBlock::encrypted(
            updfile::patternBytes(bytes / blocks, uint32_t(i)), 0x1000u + uint32_t(i), uint8_t(i)));
    return file;
}

struct UpdateRun
{
    double seconds;
    size_t roundTrips;
    int status;
};

template <typename Function> auto onMessageThread(Function function)
{
    std::invoke_result_t<Function> result{};
    std::pair<Function*, decltype(result)*> call(&function, &result);
    juce::MessageManager::getInstance()->callFunctionOnMessageThread(
        [](void* context) -> void*
        {
            auto* call = static_cast<std::pair<Function*, decltype(result)*>*>(context);
            *call->second = (*call->first)();
            return nullptr;
        },
        &call);
    return result;
}

// From Start on the device-ready page to the outcome page, with the message loop running as in
// the program; the calls into the component go to the message thread.
UpdateRun runUpdate(const TrvQ8Simulator& device, const updfile::UpdateFile& file)
{
    file.writeTo(
        juce::File::getSpecialLocation(juce::File::currentExecutableFile).getSiblingFile("TRV-Q8_UP.upd"));
    auto* component = onMessageThread(
        []
        {
            auto* created = new MainComponent();
            created->buttonClicked((juce::Button*)created->okButton);
            return created;
        });
    const auto start = Clock::now();
    onMessageThread(
        [component]
        {
            component->buttonClicked((juce::Button*)component->okButton);
            return 0;
        });
    while (onMessageThread([component] { return component->status; }) < MainComponent::STATUS_SUCCEEDED)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double seconds = microsecondsSince(start) / 1e6;
    const int status = onMessageThread(
        [component]
        {
            const int outcome = component->status;
            delete component;
            return outcome;
        });
    return {seconds, device.received().commands.size(), status};
}

void measure()
{
    {
        HidTestbed bed;
        TrvQ8Simulator device(bed, {});
        const Figures bare = bareEcho(bed, device.device(), 2000);

        // Without the finishing pause, which is no round trip.
        MainComponent::transferTimeLimits.finishPauseMs = 0;
        const UpdateRun run = runUpdate(device, fileOf(256 * 1024, 4));
        MainComponent::transferTimeLimits = {};
        const double perRoundTrip = run.seconds * 1e6 / double(run.roundTrips);
        std::printf(
            "instant device: %zu round trips in %.3f s (status %d): %.0f round trips/s, %.1f us each\n",
            run.roundTrips, run.seconds, run.status, double(run.roundTrips) / run.seconds, perRoundTrip);
        std::printf("bare echo through the same node: %.1f us each (median %.1f us)\n", bare.mean,
                    bare.median);
        std::printf("the program adds %.1f us per round trip (target: under 20)\n", perRoundTrip - bare.mean);
    }
    {
        HidTestbed bed;
        TrvQ8Simulator device(bed, {.faults = {.frame = std::chrono::milliseconds(1)}});
        const UpdateRun run = runUpdate(device, fileOf(1024 * 1024, 8));
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
