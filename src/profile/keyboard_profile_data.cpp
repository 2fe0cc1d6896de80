#include "profile/keyboard_profile_data.h"

#include <algorithm>

#include "platform/trace.h"
#include "profile/json_access.h"
#include "profile/section_fields.h"

namespace qm {
namespace {

constexpr const char* kStageKeys[3][2] = {
    {"Repeat", "RepeatDelay"}, {"Key6Flag", "PollingRate"}, {"WFlag", "WinFlag"}};

// Groups are numbered by a LightInfo byte.
constexpr int kMaxCustomGroup = 255;

bool validGroup(int group) {
    if (group >= 0 && group <= kMaxCustomGroup)
        return true;
    tracef("keyboard profile: custom colour group %d refused", group);
    return false;
}

void writeColour(Json::Value& slot, const RgbaColor& c) {
    Json::Value& v = json::ensureObject(slot);
    v["Red"] = int{c.red};
    v["Green"] = int{c.green};
    v["Blue"] = int{c.blue};
    v["Alpha"] = int{c.alpha};
}

RgbaColor readColour(const Json::Value& v) {
    return {static_cast<std::uint8_t>(json::intAt(v, "Red")),
            static_cast<std::uint8_t>(json::intAt(v, "Green")),
            static_cast<std::uint8_t>(json::intAt(v, "Blue")),
            static_cast<std::uint8_t>(json::intAt(v, "Alpha"))};
}

Json::Value& customLightMode(Json::Value& entry) {
    return json::ensureObject(json::ensureObject(entry)["CustomLightMode"]);
}

Json::Value& groupForWrite(Json::Value& entry, int group) {
    Json::Value& groups = json::ensureArray(customLightMode(entry)["LightColorInfo"]);
    return json::ensureArray(groups[static_cast<Json::ArrayIndex>(group)]);
}

}  // namespace

SystemStageWords CKeyboardProfiledata::ReadKeyboardSystemStages() {
    const Json::Value& section = json::member(activeEntry(), "SystemStages");
    SystemStageWords words{};
    if (section.isObject()) {
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = section::readWord(section, kStageKeys[i][0], kStageKeys[i][1]);
    }
    m_SystemStages = words;
    return words;
}

void CKeyboardProfiledata::WriteKeyboardSystemStages(std::uint32_t w0, std::uint32_t w1,
                                                     std::uint32_t w2) {
    m_SystemStages = {w0, w1, w2};
    Json::Value& section = json::ensureObject(json::ensureObject(activeEntry())["SystemStages"]);
    for (std::size_t i = 0; i < m_SystemStages.size(); ++i)
        section::writeWord(section, kStageKeys[i][0], kStageKeys[i][1], m_SystemStages[i]);
}

std::vector<RgbaColor> CKeyboardProfiledata::ReadCustomLightColors(int group, int count) {
    std::vector<RgbaColor> colours;
    if (!validGroup(group) || count < 0)
        return colours;
    const auto n = std::min(static_cast<std::size_t>(count), kLayoutPositions);
    const Json::Value& stored = json::element(
        json::member(json::member(activeEntry(), "CustomLightMode"), "LightColorInfo"),
        static_cast<Json::ArrayIndex>(group));
    std::vector<Json::ArrayIndex> missing;
    for (Json::ArrayIndex i = 0; i < n; ++i) {
        const Json::Value& colour = json::element(stored, i);
        if (colour.isObject()) {
            colours.push_back(readColour(colour));
        } else {
            colours.emplace_back();
            missing.push_back(i);
        }
    }
    // Missing colours are created with zeros so that the group is complete on the next save.
    if (!missing.empty()) {
        Json::Value& writable = groupForWrite(activeEntry(), group);
        for (Json::ArrayIndex i : missing)
            writeColour(writable[i], {});
    }
    m_CustomColors = colours;
    return colours;
}

bool CKeyboardProfiledata::WriteCustomLightColors(const std::vector<RgbaColor>& colours,
                                                  int group) {
    if (!validGroup(group))
        return false;
    const std::size_t n = std::min(colours.size(), kLayoutPositions);
    m_CustomColors.assign(colours.begin(), colours.begin() + static_cast<std::ptrdiff_t>(n));
    if (n == 0)
        return true;
    Json::Value& stored = groupForWrite(activeEntry(), group);
    for (std::size_t i = 0; i < n; ++i)
        writeColour(stored[static_cast<Json::ArrayIndex>(i)], colours[i]);
    return true;
}

int CKeyboardProfiledata::ReadCustomLightGroup() {
    const std::int64_t group =
        json::intAt(json::member(activeEntry(), "CustomLightMode"), "CustomLightModeGroupIndex");
    m_CustomGroup = group >= 0 && group <= kMaxCustomGroup ? static_cast<std::int32_t>(group) : 0;
    return m_CustomGroup;
}

bool CKeyboardProfiledata::WriteCustomLightGroup(int n) {
    if (!validGroup(n))
        return false;
    m_CustomGroup = n;
    customLightMode(activeEntry())["CustomLightModeGroupIndex"] = n;
    return true;
}

}  // namespace qm
