#include "profile/mouse_profile_data.h"

#include <algorithm>

#include "platform/trace.h"
#include "profile/json_access.h"
#include "profile/section_fields.h"

namespace qm {
namespace {

std::uint8_t byteAt(const Json::Value& obj, const char* key) {
    return static_cast<std::uint8_t>(json::intAt(obj, key));
}

DpiStageRecord readStage(const Json::Value& v) {
    DpiStageRecord stage;
    stage.enabled = byteAt(v, "StageActive");
    stage.separateXY = byteAt(v, "StageXY");
    stage.setDpiX(static_cast<std::uint16_t>(json::intAt(v, "StageDPIX")));
    stage.setDpiY(static_cast<std::uint16_t>(json::intAt(v, "StageDPIY")));
    stage.red = byteAt(v, "StageColorR");
    stage.green = byteAt(v, "StageColorG");
    stage.blue = byteAt(v, "StageColorB");
    return stage;
}

void writeStage(Json::Value& slot, const DpiStageRecord& stage) {
    Json::Value& v = json::ensureObject(slot);
    v["StageActive"] = int{stage.enabled};
    v["StageXY"] = int{stage.separateXY};
    v["StageDPIX"] = int{stage.dpiX()};
    v["StageDPIY"] = int{stage.dpiY()};
    v["StageColorR"] = int{stage.red};
    v["StageColorG"] = int{stage.green};
    v["StageColorB"] = int{stage.blue};
}

bool validStage(std::int64_t n) {
    return n >= 0 && n < static_cast<std::int64_t>(kDpiStageCount);
}

Json::Value& dpiSection(Json::Value& entry) {
    return json::ensureObject(json::ensureObject(entry)["DPIStages"]);
}

}  // namespace

std::vector<DpiStageRecord> CMouseProfiledata::ReadDpiStages() {
    // Stages held from the profile read before must not leak into one with fewer stages.
    m_DpiStages.clear();
    const Json::Value& section = json::member(activeEntry(), "DPIStages");
    if (section.isObject()) {
        const std::int64_t active = json::intAt(section, "StageActive");
        m_ActiveDpiStage = validStage(active) ? static_cast<std::int32_t>(active) : 0;
        const Json::Value& list = json::member(section, "StageDPIs");
        if (list.isArray()) {
            const auto count = std::min<Json::ArrayIndex>(list.size(), kDpiStageCount);
            for (Json::ArrayIndex j = 0; j < count; ++j)
                m_DpiStages.push_back(readStage(list[j]));
        }
    }
    return m_DpiStages;
}

void CMouseProfiledata::WriteDpiStages(const std::vector<DpiStageRecord>& stages) {
    const std::size_t count = std::min(stages.size(), kDpiStageCount);
    m_DpiStages.assign(stages.begin(), stages.begin() + static_cast<std::ptrdiff_t>(count));
    if (count == 0)
        return;
    Json::Value& list = json::ensureArray(dpiSection(activeEntry())["StageDPIs"]);
    for (std::size_t i = 0; i < count; ++i)
        writeStage(list[static_cast<Json::ArrayIndex>(i)], m_DpiStages[i]);
}

bool CMouseProfiledata::SetActiveDpiStage(int n) {
    if (!validStage(n)) {
        tracef("mouse profile: active stage %d refused", n);
        return false;
    }
    m_ActiveDpiStage = n;
    dpiSection(activeEntry())["StageActive"] = n;
    return true;
}

SystemStageWords CMouseProfiledata::ReadMouseSystemStages() {
    SystemStageWords words{};
    const Json::Value& section = json::member(activeEntry(), "SystemStages");
    if (section.isObject()) {
        words[0] = section::readWord(section, "DoubleClickTime", "MouseSpeed");
        words[1] = section::readWord(section, "PointerPrecision", "ScorllPage");
        const auto lines = static_cast<std::uint16_t>(json::intAt(section, "WheelScorlllinse"));
        const auto rate = static_cast<std::uint16_t>(
            json::intAt(json::member(activeEntry(), "ReportStages"), "StageActive"));
        words[2] = lines | std::uint32_t{rate} << 16;
    }
    m_SystemStages = words;
    return words;
}

void CMouseProfiledata::WriteMouseSystemStages(std::uint32_t w0, std::uint32_t w1,
                                               std::uint32_t w2) {
    m_SystemStages = {w0, w1, w2};
    Json::Value& entry = json::ensureObject(activeEntry());
    Json::Value& section = json::ensureObject(entry["SystemStages"]);
    section::writeWord(section, "DoubleClickTime", "MouseSpeed", w0);
    section::writeWord(section, "PointerPrecision", "ScorllPage", w1);
    section["WheelScorlllinse"] = static_cast<int>(w2 & 0xFFFF);
    json::ensureObject(entry["ReportStages"])["StageActive"] = static_cast<int>(w2 >> 16);
}

std::vector<CorrectRecord> CMouseProfiledata::ReadCorrectInfo() {
    m_Corrections.clear();
    const Json::Value& list = json::member(activeEntry(), "CorrectInfo");
    if (list.isArray()) {
        for (const Json::Value& v : list) {
            m_Corrections.push_back({byteAt(v, "CorrectPixThresh"), byteAt(v, "CorrectMinSq"),
                                     byteAt(v, "CorrectSelect"), json::stringAt(v, "CorrectName")});
        }
    }
    return m_Corrections;
}

}  // namespace qm
