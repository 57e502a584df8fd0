// For tests of what happens once per process (a node named once, lists loaded once, a bundle
// registered for good): each run of such a test takes a process of its own, so that it can be
// repeated (--gtest_repeat) like any other.
//
//     TEST(Suite, NamesTheNodeOnce)
//     {
//         if (testsupport::handedToAFreshProcess())
//             return;
//         ...
//     }
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport
{
namespace fresh
{

// Names, in the environment of the fresh process, the test that runs there.
constexpr char kMarker[] = "TEST_IN_FRESH_PROCESS";

inline std::string currentTestName()
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(test->test_suite_name()) + "." + test->name();
}

// This environment, where the test alone runs in the fresh process and no shard leaves it out.
inline std::vector<std::string> environmentFor(const std::string& test)
{
    std::vector<std::string> variables{std::string(kMarker) + "=" + test};
    for (char** variable = environ; *variable != nullptr; ++variable)
        if (std::strncmp(*variable, kMarker, sizeof kMarker - 1) != 0 &&
            std::strncmp(*variable, "GTEST_TOTAL_SHARDS=", 19) != 0 &&
            std::strncmp(*variable, "GTEST_SHARD_INDEX=", 18) != 0)
            variables.emplace_back(*variable);
    return variables;
}

inline std::vector<char*> pointersTo(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Starts this program again with only the test, under the name it was started with (some tests look
// beside their executable), writing to `output`, in a process group of its own; the child's id, or -1.
inline pid_t startAlone(const std::string& test, int output)
{
    std::vector<std::string> arguments{program_invocation_name, "--gtest_filter=" + test, "--gtest_repeat=1"};
    std::vector<std::string> environment = environmentFor(test);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t child = -1;
    const int error = posix_spawn(&child, "/proc/self/exe", &actions, &attributes,
                                  pointersTo(arguments).data(), pointersTo(environment).data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? child : -1;
}

// Appends what waits in the pipe, without waiting for more; false once it has ended.
inline bool readWhatWaits(int fd, std::string& text)
{
    char buffer[4096];
    for (;;)
    {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0)
            text.append(buffer, size_t(count));
        else if (count == 0)
            return false;
        else if (errno != EINTR)
            return errno == EAGAIN;
    }
}

// Reads the child's output until the child has ended. A process the child started may still hold
// the pipe (the framework forks helpers, and a fork can hang on a lock another thread held): its
// group goes with the child, and what it never wrote is not waited for.
inline std::string readUntilItEnds(pid_t child, int fd, bool& succeeded)
{
    std::string text;
    fcntl(fd, F_SETFL, O_NONBLOCK);
    int status = 0;
    for (bool open = true;;)
    {
        pollfd waiting{fd, POLLIN, 0};
        if (open && poll(&waiting, 1, 50) > 0)
            open = readWhatWaits(fd, text);
        const pid_t ended = waitpid(child, &status, open ? WNOHANG : 0);
        if (ended == child || (ended < 0 && errno != EINTR))
            break;
    }
    kill(-child, SIGKILL);
    readWhatWaits(fd, text);
    succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return text;
}

// Whether the test passed alone in a fresh process; what that process wrote when it did not.
inline testing::AssertionResult passesAlone(const std::string& test)
{
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return testing::AssertionFailure() << "no pipe: " << std::strerror(errno);
    const pid_t child = startAlone(test, output[1]);
    close(output[1]);
    if (child < 0)
    {
        close(output[0]);
        return testing::AssertionFailure() << "cannot start the program again";
    }
    bool succeeded = false;
    const std::string written = readUntilItEnds(child, output[0], succeeded);
    close(output[0]);
    // A test that was left out passes nothing.
    if (succeeded && written.find("[  PASSED  ] 1 test.") != std::string::npos)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << written;
}

} // namespace fresh

// In the test program, runs the current test again, alone, in a fresh process of the same program,
// expects it to pass there and returns true: the caller returns. In that process returns false, and
// the test runs.
inline bool handedToAFreshProcess()
{
    const std::string test = fresh::currentTestName();
    const char* marked = std::getenv(fresh::kMarker);
    if (marked != nullptr && test == marked)
        return false;
    EXPECT_TRUE(fresh::passesAlone(test)) << test << " in a fresh process";
    return true;
}

} // namespace testsupport
