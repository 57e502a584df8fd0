// Where things are on Linux: the running executable, the user's configuration folder and the
// system's table of locale aliases.
#pragma once

#include <string>

namespace cf::os
{

// The absolute path of the running executable, or empty when it cannot be found.
std::string executablePath();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; empty without a home folder.
std::string userConfigFolder();

// The locale aliases that the C library also takes ("french", "deutsch", ...).
std::string localeAliasTable();

} // namespace cf::os
