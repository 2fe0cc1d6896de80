// Where per-user files live (XDG base directories). Empty results mean "no home to be found".
#pragma once

#include <string>

namespace qm {

// $XDG_STATE_HOME or ~/.local/state
std::string stateHome();
// $XDG_DATA_HOME or ~/.local/share
std::string dataHome();
// $XDG_CONFIG_HOME or ~/.config
std::string configHome();
// $XDG_RUNTIME_DIR, or a private folder under /tmp named for the user id.
std::string runtimeDir();

// Creates a folder and its parents with the given mode; true when it exists afterwards.
bool makeDirs(const std::string& path, unsigned mode = 0700);

}  // namespace qm
