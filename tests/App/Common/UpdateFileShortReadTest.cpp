#include "MainComponent.h"
#include "UpdateFileWriter.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

// Stands in for the C library's read: while armed, it fills the whole buffer from the file but
// reports only half of it, as an interrupted or shrinking read would.
namespace
{
bool shortReads = false;
}

extern "C" ssize_t read(int fd, void* buffer, size_t count)
{
    using ReadFunction = ssize_t (*)(int, void*, size_t);
    static const auto next = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    const ssize_t result = next(fd, buffer, count);
    return shortReads && result > 1 ? result / 2 : result;
}

TEST(UpdateFileShortReadTest, RefusesAFileThatReadsShorterThanItsLength)
{
    updfile::UpdateFile file;
    file.blocks.push_back(updfile::UpdateBlock::encrypted(updfile::patternBytes(500), 77, 3));
    juce::TemporaryFile temp(".upd");
    file.writeTo(temp.getFile());
    const auto path = temp.getFile().getFullPathName();

    MainComponent whole(MainComponent::engineOnly);
    ASSERT_EQ(whole.checkUPD(path, &whole.updInfo, whole.fwInfo), 500);

    MainComponent halved(MainComponent::engineOnly);
    shortReads = true;
    const int result = halved.checkUPD(path, &halved.updInfo, halved.fwInfo);
    shortReads = false;
    EXPECT_EQ(result, 0);
}
