#include "QuitSignals.h"

#include <juce_events/juce_events.h>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace
{
int signalDescriptor = -1;
bool watching = false;

sigset_t quitSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

// Reads every signal that waits; true when there was one.
bool takePendingSignals(int descriptor)
{
    bool any = false;
    signalfd_siginfo info;
    while (::read(descriptor, &info, sizeof info) == ssize_t(sizeof info))
        any = true;
    return any;
}
} // namespace

bool blockQuitSignals()
{
    if (signalDescriptor >= 0)
        return true;
    const sigset_t signals = quitSignals();
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0)
        return false;
    signalDescriptor = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    return signalDescriptor >= 0;
}

void watchQuitSignals(std::function<void()> onQuit)
{
    if (signalDescriptor < 0 || watching)
        return;
    watching = true;
    juce::LinuxEventLoop::registerFdCallback(signalDescriptor,
                                             [onQuit = std::move(onQuit)](int descriptor)
                                             {
                                                 if (takePendingSignals(descriptor))
                                                     onQuit();
                                             });
}

void stopWatchingQuitSignals()
{
    if (!watching)
        return;
    juce::LinuxEventLoop::unregisterFdCallback(signalDescriptor);
    watching = false;
}
