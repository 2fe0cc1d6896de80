#include "emulator/firmware_memory.h"

#include <algorithm>

namespace qm::emu {

std::string_view areaName(Area area) {
    switch (area) {
        case Area::Params:
            return "params";
        case Area::KeyCodes:
            return "keyCodes";
        case Area::KeyBytes:
            return "keyBytes";
        case Area::Macro:
            return "macro";
        case Area::CustomLighting:
            return "customLighting";
        case Area::ShootData:
            return "shootData";
        case Area::Status:
            return "status";
    }
    return "unknown";
}

std::vector<std::uint8_t> repeatedProfiles(std::size_t count, std::size_t stride,
                                           std::span<const std::uint8_t> block) {
    std::vector<std::uint8_t> params(count * stride, 0);
    for (std::size_t p = 0; p < count; ++p)
        std::copy_n(block.begin(), std::min(block.size(), stride), params.begin() + p * stride);
    params[0] = 0;
    return params;
}

}  // namespace qm::emu
