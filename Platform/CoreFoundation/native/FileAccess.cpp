#include "FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cf::os
{
namespace
{

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool writeAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size())
    {
        const ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// Creates the folder and its parents (mode 0700, as configuration folders are private).
bool makeFolders(const std::string& folder)
{
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1))
    {
        const std::string part = folder.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The path opened for reading when it names a regular file, else -1. Anything else stays unopened:
// opening a named pipe waits for a writer, and opening a device may act on it. The opening itself
// never waits, and what it opened must be the regular file that was looked at.
int openRegularFile(const std::string& path, struct stat& opened)
{
    struct stat named;
    if (stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode))
        return -1;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0 && (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || !sameFile(named, opened)))
    {
        close(fd);
        return -1;
    }
    return fd;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

std::optional<std::string> readWholeFile(const std::string& path, size_t limit)
{
    struct stat status;
    Descriptor file(openRegularFile(path, status));
    if (file.get() < 0 || static_cast<uintmax_t>(status.st_size) > limit)
        return std::nullopt;
    // Read no further than the size it had: a file that grows meanwhile is not followed for ever.
    const size_t size = static_cast<size_t>(status.st_size);
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < size)
    {
        const ssize_t count = read(file.get(), buffer, std::min(sizeof buffer, size - bytes.size()));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        bytes.append(buffer, count);
    }
    return bytes;
}

bool isMissing(const std::string& path)
{
    struct stat status;
    return lstat(path.c_str(), &status) != 0 && errno == ENOENT;
}

bool replaceFileAtomically(const std::string& path, const std::string& bytes)
{
    const std::string folder = folderOf(path);
    if (!makeFolders(folder))
        return false;
    std::string temporary = path + ".XXXXXX";
    Descriptor file(mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0)
        return false;
    if (!writeAll(file.get(), bytes) || fsync(file.get()) != 0 ||
        rename(temporary.c_str(), path.c_str()) != 0)
    {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself is made durable by flushing the folder.
    Descriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        fsync(directory.get());
    return true;
}

FolderLock::FolderLock(const std::string& path)
    : m_fd(open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    while (m_fd >= 0 && flock(m_fd, LOCK_EX) != 0 && errno == EINTR)
        continue;
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        close(m_fd); // releases the lock
}

} // namespace cf::os
