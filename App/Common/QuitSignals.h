#pragma once

#include <functional>

// SIGTERM and SIGINT as quit requests served on the message thread, like the window manager's.
//
// Call blockQuitSignals in main before anything starts a thread: every thread inherits the mask,
// so the signals wait on a descriptor instead of ending the process at once.
bool blockQuitSignals();

// On the message thread, once the message manager exists: onQuit runs there for each signal.
void watchQuitSignals(std::function<void()> onQuit);

// On the message thread: no more callbacks; the signals stay blocked.
void stopWatchingQuitSignals();
