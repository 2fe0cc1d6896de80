// How a device answers a command report: report id 4, the command, length and offset echoed, a
// status at byte 7 and, for reads, data from byte 8.
#pragma once

#include <cstdint>

#include "device/transport/command_report.h"

namespace qm::emu {

inline constexpr std::uint8_t kStatusOk = 0x00;

// The answer to request with the given status and no data yet.
report::Report answerFor(const report::Report& request, std::uint8_t status);
// Puts the checksum into bytes 1-2 once the data is in (the host ignores it; devices send it).
void seal(report::Report& answer);

}  // namespace qm::emu
