// Where things are on Linux: the running executable and the user's configuration folder.
#pragma once

#include <string>

namespace cf::os
{

// The absolute path of the running executable, or empty when it cannot be found.
std::string executablePath();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; empty without a home folder.
std::string userConfigFolder();

} // namespace cf::os
