// The mouse's factory firmware: ten buttons, 15 LEDs, a 0x3325 sensor, four profile blocks of 128
// bytes and room for four recoil patterns.
#include <array>
#include <cstdint>

#include "device/hid/supported_interfaces.h"
#include "emulator/firmware_memory.h"

namespace qm::emu {
namespace {

// Button codes in the order the firmware numbers its keys. The sensitivity-shift button of the
// mouse picture is missing: this model has none.
// clang-format off
constexpr std::uint8_t kButtons[] = {
    0x10, 0x01, 0x00,  // left
    0x10, 0x02, 0x00,  // right
    0x10, 0x04, 0x00,  // middle
    0x10, 0x08, 0x00,  // back
    0x10, 0x10, 0x00,  // forward
    0x13, 0x03, 0x00,  // sensitivity loop
    0x13, 0x01, 0x00,  // sensitivity up
    0x13, 0x02, 0x00,  // sensitivity down
    0x14, 0x78, 0x02,  // fire
    0xA0, 0x1B, 0x00,  // GM
};
// clang-format on
constexpr std::size_t kKeyCount = sizeof kButtons / 3;

constexpr std::size_t kProfileCount = 4;
constexpr std::size_t kProfileStride = 128;
constexpr std::uint8_t kLedCount = 15;
constexpr std::uint8_t kMacroUnits = 16;
constexpr std::size_t kShootBytes = 4096;  // four patterns of 180 events take 2920

// Step scale: the two slopes meet at step 48 = 5000 cpi, and step 153 is 26000 cpi.
constexpr std::uint16_t kSensorId = 0x3325;
constexpr std::uint8_t kStep = 100;
constexpr std::uint16_t kLowestResolution = 200;
constexpr std::uint16_t kHighestStep = 153;

// Settings block bytes the factory sets.
constexpr std::size_t kModeCode = 1;
constexpr std::size_t kBrightness = 2;
constexpr std::size_t kSpeed = 3;  // stored as 4 - speed level
constexpr std::size_t kMultiColour = 5;
constexpr std::size_t kRed = 6;
constexpr std::size_t kReportRate = 11;
constexpr std::size_t kActiveStage = 12;
constexpr std::size_t kStages = 14;  // five records of 9 bytes
constexpr std::size_t kStageSize = 9;

struct Stage {
    std::uint16_t step;  // 400, 800, 1600, 3200 and 6400 cpi
    std::uint8_t red, green, blue;
};
constexpr std::array<Stage, 5> kFactoryStages = {{
    {2, 0xFF, 0x00, 0x00},
    {6, 0x00, 0xFF, 0x00},
    {14, 0x00, 0x00, 0xFF},
    {30, 0xFF, 0xFF, 0x00},
    {55, 0xFF, 0x00, 0xFF},
}};

std::vector<std::uint8_t> factoryParams() {
    std::vector<std::uint8_t> params(kProfileCount * kProfileStride, 0);
    for (std::size_t p = 0; p < kProfileCount; ++p) {
        std::uint8_t* block = params.data() + p * kProfileStride;
        block[kModeCode] = 0;
        block[kBrightness] = 3;
        block[kSpeed] = 2;
        block[kMultiColour] = 1;
        block[kRed] = 0x00;
        block[kRed + 1] = 0x80;
        block[kRed + 2] = 0xFF;
        block[kReportRate] = 3;
        block[kActiveStage] = 1;
        for (std::size_t s = 0; s < kFactoryStages.size(); ++s) {
            const Stage& stage = kFactoryStages[s];
            std::uint8_t* record = block + kStages + s * kStageSize;
            record[0] = 1;  // enabled
            record[1] = 0;  // same X and Y
            record[2] = record[4] = static_cast<std::uint8_t>(stage.step & 0xFF);
            record[3] = record[5] = static_cast<std::uint8_t>(stage.step >> 8);
            record[6] = stage.red;
            record[7] = stage.green;
            record[8] = stage.blue;
        }
    }
    params[0] = 0;  // the active profile
    return params;
}

}  // namespace

FirmwareSpec mouseFirmware() {
    FirmwareSpec spec;
    spec.name = "mouse";
    spec.profileStride = kProfileStride;

    DeviceInfo info;
    info.firmwareMajor = 2;
    info.firmwareMinor = 3;
    info.productId = kVirtualMousePid;
    info.deviceType = 2;
    info.keyCount = kKeyCount;
    info.macroUnits = kMacroUnits;
    info.profileCount = kProfileCount;
    info.ledCount = kLedCount;
    info.sensorId = kSensorId;
    info.step = kStep;
    info.highestStep = kHighestStep;
    info.lowestResolution = kLowestResolution;
    info.modelName = "Quillmark M1";
    spec.info = encodeDeviceInfo(info);

    spec.factory[Area::Params] = factoryParams();
    spec.factory[Area::KeyCodes].assign(std::begin(kButtons), std::end(kButtons));
    spec.factory[Area::KeyBytes].assign(kKeyCount, 0xFF);  // the buttons have no LEDs
    spec.factory[Area::Macro].assign(kMacroUnits * kMacroUnitBytes, 0);
    spec.factory[Area::ShootData].assign(kShootBytes, 0);
    spec.factory[Area::Status] = {75, 2, 0, 0, 0, 0};
    spec.frameLength = kLedCount * 3;
    spec.slotEvents = true;
    return spec;
}

}  // namespace qm::emu
