// Reading a whole file, and replacing one so that a crash leaves either the old or the new content.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>

namespace cf::os
{

// The bytes of a regular file, at most as many as its size when opened (a sysfs attribute gives
// fewer), or nothing when it cannot be read, is larger than `limit`, or is not a regular file: a
// named pipe, a device, a socket or a folder is never opened, so nothing waits on it.
std::optional<std::string> readWholeFile(const std::string& path,
                                         size_t limit = std::numeric_limits<size_t>::max());

// True when nothing at all, not even a broken link, stands at the path.
bool isMissing(const std::string& path);

// Writes the bytes to a new file beside the target, flushes it to the disk and renames it over
// the target, creating the folder when needed. The old file stays whole when anything fails.
bool replaceFileAtomically(const std::string& path, const std::string& bytes);

// While it lives, holds an exclusive lock on the folder of the file, so that processes which read,
// change and replace files there take turns. Best effort: without the folder, nothing is locked.
class FolderLock
{
public:
    explicit FolderLock(const std::string& path);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_fd;
};

} // namespace cf::os
