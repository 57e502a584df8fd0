// The program under test, copied into a folder of its own with its resources (and an update file
// when the test writes one), started as its users start it, and watched until it ends.
#pragma once

#include <juce_core/juce_core.h>

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>

namespace guitest
{

class ProgramFolder
{
public:
    // Copies the program at `program` and the Resources folder beside it.
    explicit ProgramFolder(const juce::File& program);
    ~ProgramFolder();

    juce::File executable() const { return folder.getChildFile(name); }
    juce::File updateFile() const { return folder.getChildFile("TRV-Q8_UP.upd"); }
    juce::File file(const juce::String& fileName) const { return folder.getChildFile(fileName); }

private:
    juce::File folder;
    juce::String name;
};

class ProgramRun
{
public:
    // Starts the program with this process's environment, without DISPLAY when asked; its
    // standard output and error go to `output`.
    ProgramRun(const juce::File& executable, const juce::File& output, bool withDisplay = true);
    ~ProgramRun(); // kills the program if it still runs

    void signal(int number);
    // The exit status once it has ended, or nothing when it still runs after the timeout; -1
    // when a signal ended it.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    bool running();
    std::string output() const;
    long processId() const { return pid; }

private:
    pid_t pid = -1;
    std::optional<int> status;
    juce::File outputFile;
};

// Runs a command line through the shell, as the test's user would type it; true on status 0.
bool shell(const std::string& command);

} // namespace guitest
