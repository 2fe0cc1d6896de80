// The 2.4 GHz receiver between the host and a peripheral: it answers the link query itself and,
// while the peripheral behind it is off, every other command in the peripheral's place.
#pragma once

#include <optional>

#include "device/transport/command_report.h"

namespace qm::emu {

// The receiver's own answer to request, or nullopt when the request goes on to the peripheral.
// 0xAA answers byte 8 = 0xFF while the peripheral is on, 0x00 while it is off; any other
// command while it is off is answered with 0xAA in place of the echo.
std::optional<report::Report> receiverAnswer(const report::Report& request, bool peripheralOn);

}  // namespace qm::emu
