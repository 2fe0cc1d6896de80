#include "profile/hs6533_profile_data.h"

#include <algorithm>

#include "platform/trace.h"
#include "profile/json_access.h"

namespace qm {
namespace {

constexpr const char* kSystemSetKeys[SystemSetIndex::Count] = {
    "MagicEnable", "MagicType",  "EqType",           "CustomEqSeletIndex",
    "MicInSelect", "MicInValue", "MicMoniterSelect", "MicMoniterValue"};

constexpr const char* kPresetCurves = "EQHzValueInfo";
constexpr const char* kCustomCurves = "CustomEQHzValueInfo";
constexpr const char* kCustomNames = "CustomEQNameInfo";

constexpr int kOwnCurveType = 13;
constexpr int kLastPreset = 12;

// The "EQHzValueInfo" element of EqType e; -1 for the own curve.
int presetElement(int eqType) {
    if (eqType == kOwnCurveType)
        return -1;
    return eqType >= 1 && eqType <= kLastPreset ? eqType : 1;
}

bool validCustomCurve(int n) {
    return n >= 0 && n < kMaxCustomEqCurves;
}

void writeCurve(Json::Value& entry, const char* section, int index,
                const std::vector<int>& values) {
    Json::Value& curves = json::ensureArray(json::ensureObject(entry)[section]);
    Json::Value& curve = json::ensureArray(curves[static_cast<Json::ArrayIndex>(index)]);
    const std::size_t bands = std::min(values.size(), kEqBandCount);
    for (std::size_t b = 0; b < bands; ++b)
        json::ensureObject(curve[static_cast<Json::ArrayIndex>(b)])["value"] = values[b];
}

std::vector<int> readCurve(Json::Value& entry, const char* section, int index) {
    std::vector<int> values(kEqBandCount, 0);
    const Json::Value& curve =
        json::element(json::member(entry, section), static_cast<Json::ArrayIndex>(index));
    if (!curve.isArray()) {
        // A missing curve is created flat so that the next save holds it.
        writeCurve(entry, section, index, values);
        return values;
    }
    for (Json::ArrayIndex b = 0; b < kEqBandCount; ++b)
        values[b] = static_cast<int>(json::intAt(json::element(curve, b), "value"));
    return values;
}

void removeElement(Json::Value& entry, const char* section, int index) {
    const Json::Value& list = json::member(entry, section);
    if (!list.isArray() || static_cast<Json::ArrayIndex>(index) >= list.size())
        return;
    Json::Value removed;
    entry[section].removeIndex(static_cast<Json::ArrayIndex>(index), &removed);
}

}  // namespace

SystemSetStages CHs6533Profiledata::ReadSystemSetStages() {
    SystemSetStages values{};
    const Json::Value& section = json::member(activeEntry(), "SystemSetStages");
    if (section.isObject()) {
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<std::int32_t>(json::intAt(section, kSystemSetKeys[i]));
    }
    m_SystemSetStages = values;
    return values;
}

void CHs6533Profiledata::WriteSystemSetStages(const SystemSetStages& values) {
    m_SystemSetStages = values;
    Json::Value& section = json::ensureObject(json::ensureObject(activeEntry())["SystemSetStages"]);
    for (std::size_t i = 0; i < values.size(); ++i)
        section[kSystemSetKeys[i]] = values[i];
}

std::vector<int> CHs6533Profiledata::ReadPresetEq(int eqType) {
    const int p = presetElement(eqType);
    if (p < 0)
        return {};
    return readCurve(activeEntry(), kPresetCurves, p);
}

bool CHs6533Profiledata::WritePresetEq(int eqType, const std::vector<int>& values) {
    const int p = presetElement(eqType);
    if (p < 0)
        return false;
    writeCurve(activeEntry(), kPresetCurves, p, values);
    return true;
}

std::vector<int> CHs6533Profiledata::ReadCustomEq(int n) {
    if (!validCustomCurve(n)) {
        tracef("headset profile: own curve %d does not exist", n);
        return std::vector<int>(kEqBandCount, 0);
    }
    return readCurve(activeEntry(), kCustomCurves, n);
}

bool CHs6533Profiledata::WriteCustomEq(int n, const std::vector<int>& values) {
    if (!validCustomCurve(n)) {
        tracef("headset profile: own curve %d refused", n);
        return false;
    }
    writeCurve(activeEntry(), kCustomCurves, n, values);
    return true;
}

bool CHs6533Profiledata::RemoveCustomEq(int n) {
    if (!validCustomCurve(n))
        return false;
    removeElement(activeEntry(), kCustomCurves, n);
    removeElement(activeEntry(), kCustomNames, n);
    return true;
}

std::vector<std::string> CHs6533Profiledata::ReadCustomEqNames() {
    std::vector<std::string> names;
    const Json::Value& list = json::member(activeEntry(), kCustomNames);
    if (list.isArray()) {
        const auto count = std::min<Json::ArrayIndex>(
            list.size(), static_cast<Json::ArrayIndex>(kMaxCustomEqCurves));
        for (Json::ArrayIndex i = 0; i < count; ++i)
            names.push_back(json::stringAt(list[i], "Name"));
    }
    return names;
}

void CHs6533Profiledata::WriteCustomEqNames(const std::vector<std::string>& names) {
    Json::Value list(Json::arrayValue);
    const std::size_t count = std::min(names.size(), static_cast<std::size_t>(kMaxCustomEqCurves));
    if (count < names.size())
        tracef("headset profile: %zu own curve names dropped", names.size() - count);
    for (std::size_t i = 0; i < count; ++i) {
        Json::Value item(Json::objectValue);
        item["Name"] = names[i];
        list.append(item);
    }
    json::ensureObject(activeEntry())[kCustomNames] = list;
}

}  // namespace qm
