#include "emulator/headset_lighting.h"

#include "emulator/descriptors.h"

namespace qm::emu {

bool applyHeadsetLightingReport(std::span<const std::uint8_t> report, HeadsetFrame& frame,
                                bool& lastOfFrame) {
    lastOfFrame = false;
    if (report.size() < kHeadsetLightingReportSize || report[0] != kHeadsetLightingReportId)
        return false;
    const std::uint8_t group = report[kLightingGroup];
    const std::uint8_t sub = report[kLightingSubCommand];
    if ((group != 0x22 && group != 0x44) || sub < 0xAA || sub > 0xAF)
        return false;
    // 0xAA-0xAC: red, green, blue of LEDs 0-6; 0xAD-0xAF: the same of LEDs 7-12.
    const bool upper = sub >= 0xAD;
    const std::size_t channel = static_cast<std::size_t>(sub - (upper ? 0xAD : 0xAA));
    const std::size_t first = upper ? 7 : 0;
    const std::size_t count = upper ? 6 : 7;
    for (std::size_t i = 0; i < count; ++i)
        frame[(first + i) * 3 + channel] = report[kLightingValues + i];
    lastOfFrame = group == kLightingLastGroup && sub == kLightingLastSubCommand;
    return true;
}

}  // namespace qm::emu
