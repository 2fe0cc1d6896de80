#include "emulator/info_block.h"

#include <algorithm>

namespace qm::emu {
namespace {

void put16(InfoBlock& block, std::size_t at, std::uint16_t value) {
    block[at] = static_cast<std::uint8_t>(value & 0xFF);
    block[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::uint16_t get16(const InfoBlock& block, std::size_t at) {
    return static_cast<std::uint16_t>(block[at] | (block[at + 1] << 8));
}

}  // namespace

InfoBlock encodeDeviceInfo(const DeviceInfo& info) {
    InfoBlock block{};
    block[kInfoFirmwareMajor] = info.firmwareMajor;
    block[kInfoFirmwareMinor] = info.firmwareMinor;
    put16(block, kInfoProductId, info.productId);
    block[kInfoDeviceType] = info.deviceType;
    block[kInfoKeyCount] = info.keyCount;
    block[kInfoMacroUnits] = info.macroUnits;
    block[kInfoProfileCount] = info.profileCount;
    block[kInfoLedCount] = info.ledCount;
    put16(block, kInfoSensorId, info.sensorId);
    block[kInfoStep] = info.step;
    put16(block, kInfoHighestStep, info.highestStep);
    put16(block, kInfoLowestResolution, info.lowestResolution);
    const std::size_t nameSize = std::min(info.modelName.size(), kInfoModelNameSize);
    std::copy_n(info.modelName.begin(), nameSize, block.begin() + kInfoModelName);
    return block;
}

DeviceInfo decodeDeviceInfo(const InfoBlock& block) {
    DeviceInfo info;
    info.firmwareMajor = block[kInfoFirmwareMajor];
    info.firmwareMinor = block[kInfoFirmwareMinor];
    info.productId = get16(block, kInfoProductId);
    info.deviceType = block[kInfoDeviceType];
    info.keyCount = block[kInfoKeyCount];
    info.macroUnits = block[kInfoMacroUnits];
    info.profileCount = block[kInfoProfileCount];
    info.ledCount = block[kInfoLedCount];
    info.sensorId = get16(block, kInfoSensorId);
    info.step = block[kInfoStep];
    info.highestStep = get16(block, kInfoHighestStep);
    info.lowestResolution = get16(block, kInfoLowestResolution);
    const auto name = block.begin() + kInfoModelName;
    info.modelName.assign(name, std::find(name, block.end(), 0));
    return info;
}

}  // namespace qm::emu
