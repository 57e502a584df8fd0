// The failures of a system call that say the process or the system is short of descriptors or
// memory: nothing is wrong with what was asked, and the same call may work later.
#pragma once

#include <cerrno>

namespace hidraw
{

inline bool isShortOfResources(int error)
{
    return error == EMFILE || error == ENFILE || error == ENOMEM || error == ENOBUFS;
}

} // namespace hidraw
