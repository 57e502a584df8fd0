#include "ProgramRun.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace guitest
{

ProgramFolder::ProgramFolder(const juce::File& program)
    : folder(juce::File::createTempFile("gui")), name(program.getFileName())
{
    folder.createDirectory();
    if (!program.copyFileTo(executable()))
        throw std::runtime_error("cannot copy the program");
    executable().setExecutePermission(true);
    const auto resources = program.getSiblingFile("Resources");
    if (resources.isDirectory())
        resources.copyDirectoryTo(folder.getChildFile("Resources"));
}

ProgramFolder::~ProgramFolder()
{
    folder.deleteRecursively();
}

ProgramRun::ProgramRun(const juce::File& executable, const juce::File& output, bool withDisplay)
    : outputFile(output)
{
    std::vector<char*> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (withDisplay || std::string(*entry).rfind("DISPLAY=", 0) != 0)
            environment.push_back(*entry);
    environment.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string outputPath = output.getFullPathName().toStdString();
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const std::string path = executable.getFullPathName().toStdString();
    char* arguments[] = {const_cast<char*>(path.c_str()), nullptr};
    const int result = posix_spawn(&pid, path.c_str(), &actions, nullptr, arguments, environment.data());
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0)
        throw std::runtime_error("cannot start the program");
}

ProgramRun::~ProgramRun()
{
    if (running())
    {
        ::kill(pid, SIGKILL);
        waitForExit(std::chrono::seconds(5));
    }
}

void ProgramRun::signal(int number)
{
    if (running())
        ::kill(pid, number);
}

bool ProgramRun::running()
{
    return !waitForExit(std::chrono::milliseconds(0)).has_value();
}

std::optional<int> ProgramRun::waitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status)
    {
        int raw = 0;
        if (::waitpid(pid, &raw, WNOHANG) == pid)
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        else if (std::chrono::steady_clock::now() >= deadline)
            break;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
}

std::string ProgramRun::output() const
{
    return outputFile.loadFileAsString().toStdString();
}

bool shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

} // namespace guitest
