#include "SpecialLocation.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace
{
// Sets an environment variable for the life of the object.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const char* value) : name(name)
    {
        if (const char* old = std::getenv(name))
            previous = old;
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { previous ? setenv(name, previous->c_str(), 1) : unsetenv(name); }

private:
    const char* name;
    std::optional<std::string> previous;
};

juce::File realExecutable()
{
    return juce::File("/proc/self/exe").getLinkedTarget();
}
} // namespace

TEST(SpecialLocationTest, ExecutableIsTheRunningProgram)
{
    EXPECT_EQ(getExecutableFile(), realExecutable());
    EXPECT_EQ(getSpecialLocation(juce::File::currentExecutableFile), realExecutable());
    EXPECT_EQ(getSpecialLocation(juce::File::currentApplicationFile), realExecutable());
}

TEST(SpecialLocationTest, TemporaryDirectoryIsTheProgramsFolderInTheUsersCache)
{
    const juce::TemporaryFile root;
    ASSERT_TRUE(root.getFile().createDirectory());
    const auto name = realExecutable().getFileNameWithoutExtension();

    const auto cache = root.getFile().getChildFile("cache");
    {
        const ScopedEnvironment xdg("XDG_CACHE_HOME", cache.getFullPathName().toRawUTF8());
        const auto folder = getSpecialLocation(juce::File::tempDirectory);
        EXPECT_EQ(folder, cache.getChildFile(name));
        EXPECT_TRUE(folder.isDirectory());
    }

    const ScopedEnvironment home("HOME", root.getFile().getFullPathName().toRawUTF8());
    const auto underHome = root.getFile().getChildFile(".cache").getChildFile(name);
    for (const char* xdg : {(const char*)nullptr, "", "relative/cache"})
    {
        const ScopedEnvironment unusable("XDG_CACHE_HOME", xdg);
        EXPECT_EQ(getSpecialLocation(juce::File::tempDirectory), underHome) << (xdg ? xdg : "unset");
    }
    EXPECT_TRUE(underHome.isDirectory());
    root.getFile().deleteRecursively();
}
