#include "native/FileAccess.h"

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

namespace fs = std::filesystem;

std::string contents(const std::string& file)
{
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FileAccess, ReadsRegularFilesWholeWithinTheLimitAndNothingElseAndNeverWaits)
{
    char pattern[] = "/tmp/cf_file_access_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern, file = folder + "/file", pipe = folder + "/pipe";
    std::ofstream(file) << "0123456789";
    EXPECT_EQ(cf::os::readWholeFile(file), "0123456789");
    EXPECT_EQ(cf::os::readWholeFile(file, 10), "0123456789");
    EXPECT_EQ(cf::os::readWholeFile(file, 9), std::nullopt);
    EXPECT_EQ(cf::os::readWholeFile(folder), std::nullopt);

    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [&] { return cf::os::readWholeFile(pipe); });
    const bool returned = read.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!returned) // lets an opening that waits for a writer go
        ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
    EXPECT_TRUE(returned) << "the read waited";
    EXPECT_EQ(read.get(), std::nullopt);
    fs::remove_all(folder);

    // A sysfs attribute gives less than the size it states.
    const std::string attribute = "/sys/devices/system/cpu/online";
    struct stat status;
    if (stat(attribute.c_str(), &status) != 0)
        GTEST_SKIP() << "no sysfs";
    EXPECT_EQ(cf::os::readWholeFile(attribute), contents(attribute));
}

} // namespace
