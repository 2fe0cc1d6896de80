// The lighting sections of a profile ("LightInfo", "AudioLightInfo", "LightList") and the custom
// effect that the lighting configuration names.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/trace.h"
#include "profile/basic_profile_data.h"
#include "profile/json_file.h"
#include "profile/section_fields.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using section::ByteField;

// Bytes 8-10 have no key: they stay in memory.
const ByteField<LightInfo> kLightInfoFields[] = {
    {"SelectItem", &LightInfo::SelectItem},
    {"Light", &LightInfo::Light},
    {"Speed", &LightInfo::Speed},
    {"Fx", &LightInfo::Fx},
    {"MultiColor", &LightInfo::MultiColor, true},
    {"Red", &LightInfo::Red},
    {"Green", &LightInfo::Green},
    {"Blue", &LightInfo::Blue},
    {"ZZCCLedMode", &LightInfo::ZZCCLedMode},
    {"CustomGroup", &LightInfo::CustomGroup},
    {"OldLedmode", &LightInfo::OldLedmode},
    {"Logoledmode", &LightInfo::Logoledmode},
    {"Logoledlight", &LightInfo::Logoledlight},
    {"Logoledspeed", &LightInfo::Logoledspeed},
    {"LogoledMultiColor", &LightInfo::LogoledMultiColor, true},
    {"LogoledColor", &LightInfo::LogoledColor},
};

const ByteField<AudioLightInfo> kAudioLightInfoFields[] = {
    {"AudioMode", &AudioLightInfo::AudioMode},
    {"BkColorR", &AudioLightInfo::BkColorR},
    {"BkColorG", &AudioLightInfo::BkColorG},
    {"BkColorB", &AudioLightInfo::BkColorB},
    {"FgColorR", &AudioLightInfo::FgColorR},
    {"FgColorG", &AudioLightInfo::FgColorG},
    {"FgColorB", &AudioLightInfo::FgColorB},
    {"7ColorFlags", &AudioLightInfo::SevenColorFlags},
    {"ColorTypeFlags", &AudioLightInfo::ColorTypeFlags},
};

const ByteField<LedEffectRecord> kLedEffectFields[] = {
    {"LEDREGMode", &LedEffectRecord::mode},
    {"LEDBrightness", &LedEffectRecord::brightness},
    {"LEDSpeed", &LedEffectRecord::speed},
    {"LEDDirection", &LedEffectRecord::direction, true},
    {"LEDMultiColor", &LedEffectRecord::multiColor, true},
    {"red", &LedEffectRecord::red},
    {"green", &LedEffectRecord::green},
    {"blue", &LedEffectRecord::blue},
};

// In effect files direction and multicolour are plain integers.
const ByteField<CustomEffectStep> kEffectStepFields[] = {
    {"LEDREGMode", &CustomEffectStep::mode},
    {"LEDBrightness", &CustomEffectStep::brightness},
    {"LEDSpeed", &CustomEffectStep::speed},
    {"LEDDirection", &CustomEffectStep::direction},
    {"LEDMultiColor", &CustomEffectStep::multiColor},
    {"red", &CustomEffectStep::red},
    {"green", &CustomEffectStep::green},
    {"blue", &CustomEffectStep::blue},
};

// An effect id names a file beside the lighting configuration; anything that could reach
// another folder is refused.
bool isPlainName(const std::string& id) {
    return !id.empty() && id.find_first_of(std::string("/\\\0", 3)) == std::string::npos &&
           id.find("..") == std::string::npos;
}

// The effect file for id: beside the configuration file first, then in the working folder.
std::string effectFilePath(const std::string& configPath, const std::string& id) {
    const std::string name = id + ".light";
    std::error_code error;
    if (!configPath.empty()) {
        const fs::path beside = fs::path(configPath).parent_path() / name;
        if (fs::is_regular_file(beside, error))
            return beside.string();
    }
    return name;
}

}  // namespace

LightInfo CBasicProfiledata::ReadLightInfo() {
    const Json::Value& section = json::member(m_ActiveEntry, "LightInfo");
    if (!section.isObject()) {
        m_LightInfo = m_FallbackLightInfo;
        return m_LightInfo;
    }
    LightInfo info;
    section::readBytes(section, info, kLightInfoFields);
    m_LightInfo = info;
    return info;
}

void CBasicProfiledata::WriteLightInfo(const LightInfo& info) {
    m_LightInfo = info;
    Json::Value section(Json::objectValue);
    section::writeBytes(section, info, kLightInfoFields);
    json::ensureObject(m_ActiveEntry)["LightInfo"] = section;
}

AudioLightInfo CBasicProfiledata::ReadAudioLightInfo() {
    AudioLightInfo info;
    const Json::Value& section = json::member(m_ActiveEntry, "AudioLightInfo");
    if (section.isObject()) {
        section::readBytes(section, info, kAudioLightInfoFields);
        // A loaded profile always starts with the page editing the foreground colour.
        info.ColorTypeFlags = 1;
    }
    m_AudioLightInfo = info;
    return info;
}

void CBasicProfiledata::WriteAudioLightInfo(const AudioLightInfo& info) {
    m_AudioLightInfo = info;
    Json::Value section(Json::objectValue);
    section::writeBytes(section, info, kAudioLightInfoFields);
    json::ensureObject(m_ActiveEntry)["AudioLightInfo"] = section;
}

std::vector<LedEffectRecord> CBasicProfiledata::ReadLightList() {
    m_LedList.clear();
    const Json::Value& list = json::member(m_ActiveEntry, "LightList");
    if (list.isArray()) {
        const Json::ArrayIndex count = std::min<Json::ArrayIndex>(list.size(), kLayoutPositions);
        m_LedList.resize(count);
        for (Json::ArrayIndex i = 0; i < count; ++i) {
            // A null (or damaged) element leaves the LED to the mode.
            if (list[i].isObject()) {
                section::readBytes(list[i], m_LedList[i], kLedEffectFields);
                m_LedList[i].present = 1;
            }
        }
    }
    return m_LedList;
}

std::vector<CustomEffectStep> CBasicProfiledata::ReadCustomEffect() {
    std::vector<CustomEffectStep> steps;
    const Json::Value& choice =
        json::element(json::element(json::member(m_LightConfig, "LightInfo"),
                                    static_cast<Json::ArrayIndex>(m_DeviceIndex)),
                      m_LightInfo.SelectItem);
    const std::string id = json::stringAt(choice, "Guid");
    if (!id.empty() && !isPlainName(id)) {
        trace("profile: custom effect id '" + id + "' is not a plain name; ignored");
    } else if (!id.empty()) {
        const Json::Value effect = LoadJsonDocument(effectFilePath(m_LightConfigPath, id));
        const Json::Value& list = json::member(effect, "LEDEffectList");
        if (list.isArray()) {
            steps.resize(list.size());
            for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
                section::readBytes(list[i], steps[i], kEffectStepFields);
                steps[i].time = static_cast<std::int32_t>(json::intAt(list[i], "Time"));
                steps[i].cycle = static_cast<std::int32_t>(json::intAt(list[i], "Cyle"));
            }
        }
    }
    m_CustomEffect = steps;
    return steps;
}

}  // namespace qm
