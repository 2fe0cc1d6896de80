// The mousepad's factory firmware: 15 LEDs, a phone charging pad, four profile blocks of 64 bytes
// of which the lighting uses the first 21.
#include <algorithm>
#include <cstdint>

#include "device/hid/supported_interfaces.h"
#include "emulator/firmware_memory.h"

namespace qm::emu {
namespace {

constexpr std::size_t kProfileCount = 4;
constexpr std::size_t kProfileStride = 64;
constexpr std::uint8_t kLedCount = 15;

}  // namespace

FirmwareSpec mousepadFirmware() {
    FirmwareSpec spec;
    spec.name = "mousepad";
    spec.profileStride = kProfileStride;

    DeviceInfo info;
    info.firmwareMajor = 1;
    info.firmwareMinor = 2;
    info.productId = kVirtualMousePadPid;
    info.deviceType = 3;
    info.profileCount = kProfileCount;
    info.ledCount = kLedCount;
    info.modelName = "Quillmark P1";
    spec.info = encodeDeviceInfo(info);

    // Mode code 0, brightness 4, speed level 2, colourful, white.
    const std::uint8_t lighting[] = {0, 0, 4, 2, 0, 1, 0xFF, 0xFF, 0xFF};
    spec.factory[Area::Params] = repeatedProfiles(kProfileCount, kProfileStride, lighting);
    // On external power, no phone on the pad.
    spec.factory[Area::Status] = {100, 0, 0, 0, 0, 0};
    spec.frameLength = kLedCount * 3;
    return spec;
}

}  // namespace qm::emu
