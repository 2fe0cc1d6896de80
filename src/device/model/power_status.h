// The live status block (command 0x1A, 6 bytes at offset 0), decoded for the power display.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qm {

struct PowerStatus {
    static constexpr std::size_t kSize = 6;
    static constexpr std::size_t kLevel = 0;
    static constexpr std::size_t kState = 1;
    static constexpr std::size_t kReceiver = 3;   // set by the host: 1 through the receiver
    static constexpr std::size_t kPhoneType = 5;  // mousepad only

    // Power states.
    static constexpr std::uint8_t kExternalPower = 0;
    static constexpr std::uint8_t kCharging = 1;
    static constexpr std::uint8_t kOnBattery = 2;

    std::array<std::uint8_t, kSize> raw{};

    std::uint8_t level() const { return raw[kLevel]; }
    std::uint8_t state() const { return raw[kState]; }
    bool throughReceiver() const { return raw[kReceiver] == 1; }
    std::uint8_t phoneType() const { return raw[kPhoneType]; }
};

}  // namespace qm
