#include "Paths.h"

#include <cstdlib>
#include <limits.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace cf::os
{

std::string executablePath()
{
    std::vector<char> buffer(PATH_MAX);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<size_t>(length) >= buffer.size())
        return {};
    return std::string(buffer.data(), length);
}

std::string userConfigFolder()
{
    const char* configured = std::getenv("XDG_CONFIG_HOME");
    if (configured != nullptr && configured[0] == '/')
        return configured;
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/')
    {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    return home != nullptr && home[0] == '/' ? std::string(home) + "/.config" : std::string();
}

std::string localeAliasTable()
{
    return "/usr/share/locale/locale.alias";
}

} // namespace cf::os
