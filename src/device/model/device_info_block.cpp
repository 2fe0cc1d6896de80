#include "device/model/device_info_block.h"

namespace qm {
namespace {

std::uint16_t le16(std::span<const std::uint8_t, report::kDeviceInfoSize> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

DeviceInfoBlock DeviceInfoBlock::decode(std::span<const std::uint8_t, report::kDeviceInfoSize> b) {
    DeviceInfoBlock info;
    info.keyCount = b[kKeyCount];
    info.macroUnits = b[kMacroUnits];
    info.sensorId = le16(b, kSensorId);
    info.step = b[kStep];
    info.highestStep = le16(b, kHighestStep);
    info.lowestResolution = le16(b, kLowestResolution);
    return info;
}

std::uint32_t DeviceInfoBlock::stepToCpi(std::uint32_t n) const {
    if (sensorId == kTwoSlopeSensor && n > 48)
        return 48u * step + (n - 48) * 200u + lowestResolution;
    return n * step + lowestResolution;
}

}  // namespace qm
