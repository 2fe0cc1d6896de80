#include "device/model/light_mode_lists.h"

#include "profile/json_access.h"
#include "profile/json_file.h"

namespace qm {
namespace {

const Json::Value& typeList(const Json::Value& document, const char* key, int typeIndex) {
    if (typeIndex < 0)
        return Json::Value::nullSingleton();
    return json::element(json::member(document, key), static_cast<Json::ArrayIndex>(typeIndex));
}

std::vector<std::string> names(const Json::Value& list) {
    std::vector<std::string> out;
    if (!list.isArray())
        return out;
    for (Json::ArrayIndex i = 0; i < list.size(); ++i)
        out.push_back(json::stringAt(json::element(list, i), "LightName"));
    return out;
}

}  // namespace

std::vector<int> LightModeLists::values() const {
    std::vector<int> out;
    out.reserve(modes.size());
    for (const LightModeEntry& mode : modes)
        out.push_back(mode.value);
    return out;
}

LightModeLists loadLightModeLists(const std::string& defaultLightFile,
                                  const std::string& lightConfigFile, int typeIndex) {
    LightModeLists lists;
    const Json::Value defaults = LoadJsonDocument(defaultLightFile);
    const Json::Value& modes = typeList(defaults, "DefaultLightName", typeIndex);
    if (modes.isArray()) {
        for (Json::ArrayIndex i = 0; i < modes.size(); ++i) {
            const Json::Value& mode = json::element(modes, i);
            lists.modes.push_back({json::stringAt(mode, "LightName"),
                                   json::toBool(json::member(mode, "visible")),
                                   static_cast<int>(json::intAt(mode, "value"))});
        }
    }
    lists.areaNames = names(typeList(defaults, "AreaLightName", typeIndex));
    const Json::Value config = LoadJsonDocument(lightConfigFile);
    lists.ownEffectNames = names(typeList(config, "LightInfo", typeIndex));
    return lists;
}

std::vector<std::string> loadMacroNames(const std::string& macroConfigFile) {
    const Json::Value document = LoadJsonDocument(macroConfigFile);
    const Json::Value& macros = json::member(document, "MacroInfo");
    std::vector<std::string> out;
    if (!macros.isArray())
        return out;
    for (Json::ArrayIndex i = 0; i < macros.size(); ++i)
        out.push_back(json::stringAt(json::element(macros, i), "MacroName"));
    return out;
}

}  // namespace qm
