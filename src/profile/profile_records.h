// The in-memory records of a profile's sections. The fixed-size ones are byte records that the
// device objects copy into their settings blocks, so their layout is pinned by static_assert.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qm {

// On-board lighting ("LightInfo"), 19 bytes. Bytes 8-10 belong to the device object and never
// reach the file.
struct LightInfo {
    std::uint8_t SelectItem = 0;  // mode index in the mode list of "default_light.json"
    std::uint8_t Light = 0;       // brightness level
    std::uint8_t Speed = 0;       // speed level
    std::uint8_t Fx = 0;          // direction
    std::uint8_t MultiColor = 0;  // 0/1
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    std::array<std::uint8_t, 3> Unsaved{};
    std::uint8_t ZZCCLedMode = 0;
    std::uint8_t CustomGroup = 0;  // custom colour group
    std::uint8_t OldLedmode = 0;
    std::uint8_t Logoledmode = 0;
    std::uint8_t Logoledlight = 0;
    std::uint8_t Logoledspeed = 0;
    std::uint8_t LogoledMultiColor = 0;  // 0/1
    std::uint8_t LogoledColor = 0;

    bool operator==(const LightInfo&) const = default;
};
static_assert(sizeof(LightInfo) == 19);

// Music-reactive lighting ("AudioLightInfo"), 9 bytes.
struct AudioLightInfo {
    std::uint8_t AudioMode = 0;
    std::uint8_t BkColorR = 0;
    std::uint8_t BkColorG = 0;
    std::uint8_t BkColorB = 0;
    std::uint8_t FgColorR = 0;
    std::uint8_t FgColorG = 0;
    std::uint8_t FgColorB = 0;
    std::uint8_t SevenColorFlags = 0;  // key "7ColorFlags"
    std::uint8_t ColorTypeFlags = 0;   // 1: the page edits the foreground colour

    bool operator==(const AudioLightInfo&) const = default;
};
static_assert(sizeof(AudioLightInfo) == 9);

// One LED's own lighting ("LightList" element), laid out like LightInfo's first eleven bytes.
struct LedEffectRecord {
    std::uint8_t mode = 0;  // 0 breathing, 1 static, 2 blink, 3 spectrum, 4 off
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;
    std::uint8_t multiColor = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::array<std::uint8_t, 2> unused{};
    std::uint8_t present = 0;  // 0 for a null element: the LED follows the mode
    std::array<std::uint8_t, 8> spare{};

    bool operator==(const LedEffectRecord&) const = default;
};
static_assert(sizeof(LedEffectRecord) == 19);

// A key code with the layout position it belongs to.
struct KeyAssignment {
    std::uint16_t position = 0;
    std::uint8_t type = 0;
    std::uint8_t b1 = 0;
    std::uint8_t b2 = 0;
    std::uint8_t spare = 0;

    bool operator==(const KeyAssignment&) const = default;
};
static_assert(sizeof(KeyAssignment) == 6);

// One "KeyList" element: the current and the factory function of a key position.
struct KeyAssignmentRecord {
    KeyAssignment current;
    KeyAssignment defaults;

    bool operator==(const KeyAssignmentRecord&) const = default;
};
static_assert(sizeof(KeyAssignmentRecord) == 12);

// A key code in the profile is one integer: type x 65536 + b1 x 256 + b2.
constexpr std::int64_t packKeyCode(const KeyAssignment& a) {
    return std::int64_t{a.type} << 16 | std::int64_t{a.b1} << 8 | a.b2;
}
constexpr KeyAssignment unpackKeyCode(std::int64_t code, std::uint16_t position) {
    return {position, static_cast<std::uint8_t>(code >> 16), static_cast<std::uint8_t>(code >> 8),
            static_cast<std::uint8_t>(code), 0};
}

// A custom per-key colour; alpha is a brightness weight.
struct RgbaColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;

    bool operator==(const RgbaColor&) const = default;
};
static_assert(sizeof(RgbaColor) == 4);

// One sensitivity stage, 9 bytes as the mouse's settings block holds it. The DPI values are
// step numbers stored little-endian, as bytes so that the record needs no packing.
struct DpiStageRecord {
    std::uint8_t enabled = 0;
    std::uint8_t separateXY = 0;
    std::array<std::uint8_t, 2> dpiXBytes{};
    std::array<std::uint8_t, 2> dpiYBytes{};
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    std::uint16_t dpiX() const {
        return static_cast<std::uint16_t>(dpiXBytes[0] | dpiXBytes[1] << 8);
    }
    std::uint16_t dpiY() const {
        return static_cast<std::uint16_t>(dpiYBytes[0] | dpiYBytes[1] << 8);
    }
    void setDpiX(std::uint16_t v) {
        dpiXBytes = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    }
    void setDpiY(std::uint16_t v) {
        dpiYBytes = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    }

    bool operator==(const DpiStageRecord&) const = default;
};
static_assert(sizeof(DpiStageRecord) == 9);

// A pointer correction preset ("CorrectInfo" element).
struct CorrectRecord {
    std::uint8_t CorrectPixThresh = 0;
    std::uint8_t CorrectMinSq = 0;
    std::uint8_t CorrectSelect = 0;
    std::string CorrectName;  // UTF-8

    bool operator==(const CorrectRecord&) const = default;
};

// One step of a custom lighting effect (".light" file).
struct CustomEffectStep {
    std::uint8_t mode = 0;
    std::uint8_t brightness = 0;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;
    std::uint8_t multiColor = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::int32_t time = 0;   // milliseconds
    std::int32_t cycle = 0;  // cycle count

    bool operator==(const CustomEffectStep&) const = default;
};

// The three 32-bit words of "SystemStages", first-named key of each pair in the low half.
using SystemStageWords = std::array<std::uint32_t, 3>;

// The headset's "SystemSetStages", in this order.
struct SystemSetIndex {
    enum : std::size_t {
        MagicEnable,
        MagicType,
        EqType,              // 0 none, 1-12 preset curve, 13 own curve
        CustomEqSeletIndex,  // -1 none
        MicInSelect,
        MicInValue,
        MicMoniterSelect,
        MicMoniterValue,
        Count
    };
};
using SystemSetStages = std::array<std::int32_t, SystemSetIndex::Count>;

// Ten equaliser bands, band 1 first.
constexpr std::size_t kEqBandCount = 10;
// The headset keeps at most this many own equaliser curves.
constexpr int kMaxCustomEqCurves = 20;
// The mouse has five sensitivity stages.
constexpr std::size_t kDpiStageCount = 5;
// Key and LED positions of the keyboard picture; no device has more.
constexpr std::size_t kLayoutPositions = 170;

}  // namespace qm
