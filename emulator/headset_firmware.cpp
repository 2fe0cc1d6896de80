// The headset's factory firmware: 13 LEDs driven by output reports, four profile blocks of 64
// bytes of which the lighting uses the first 21.
#include <algorithm>
#include <cstdint>

#include "device/hid/supported_interfaces.h"
#include "emulator/firmware_memory.h"
#include "emulator/headset_lighting.h"

namespace qm::emu {
namespace {

constexpr std::size_t kProfileCount = 4;
constexpr std::size_t kProfileStride = 64;

}  // namespace

FirmwareSpec headsetFirmware() {
    FirmwareSpec spec;
    spec.name = "headset";
    spec.profileStride = kProfileStride;
    spec.lightingOutputReports = true;

    DeviceInfo info;
    info.firmwareMajor = 1;
    info.firmwareMinor = 0;
    info.productId = kVirtualHeadsetPid;
    info.deviceType = 7;
    info.profileCount = kProfileCount;
    info.ledCount = kHeadsetLedCount;
    info.modelName = "Quillmark H1";
    spec.info = encodeDeviceInfo(info);

    const std::uint8_t lighting[] = {0, 0, 4, 2, 0, 1, 0xFF, 0xFF, 0xFF};
    spec.factory[Area::Params] = repeatedProfiles(kProfileCount, kProfileStride, lighting);
    spec.factory[Area::Status] = {100, 0, 0, 0, 0, 0};
    spec.frameLength = kHeadsetFrameLength;
    return spec;
}

}  // namespace qm::emu
