// Where the program's shipped data and the user's settings live.
#pragma once

#include <string>

namespace qm {

// The folder of the shipped data ("DefaultData/", skins, language files), ending with '/':
// $QUILLMARK_DATA_DIR when set, else data/ of the source tree when run from the build tree, else
// the installed share folder.
std::string shippedDataFolder();
// shippedDataFolder() + "DefaultData/".
std::string defaultDataFolder();
// The user's product folder, $XDG_DATA_HOME/Quillmark/, ending with '/' (not created here).
std::string productDataFolder();

}  // namespace qm
