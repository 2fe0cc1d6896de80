// The lighting mode lists ("default_light.json" in the default data folder, "velto_light.config"
// in the device's user data folder) and the macro names of "macro.config", as the device objects
// read them. Missing or malformed files read as empty lists.
#pragma once

#include <string>
#include <vector>

namespace qm {

struct LightModeEntry {
    std::string LightName;
    bool visible = false;
    int value = 0;  // the mode's device code
};

struct LightModeLists {
    std::vector<LightModeEntry> modes;        // "DefaultLightName"[T], in file order
    std::vector<std::string> areaNames;       // "AreaLightName"[T] "LightName"
    std::vector<std::string> ownEffectNames;  // "velto_light.config" "LightInfo"[T] "LightName"

    // The device codes in mode index order.
    std::vector<int> values() const;
};

// typeIndex: the device-type index (keyboard 0, mouse 1, mousepad 2, headset 3).
LightModeLists loadLightModeLists(const std::string& defaultLightFile,
                                  const std::string& lightConfigFile, int typeIndex);

// "MacroInfo" "MacroName" of "macro.config", in order; its length is the number of macros.
std::vector<std::string> loadMacroNames(const std::string& macroConfigFile);

}  // namespace qm
