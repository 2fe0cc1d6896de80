// Words for transport results, for messages and traces.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// One line naming the failure of an exchange with device and its result code, for example
// "no answer from keyboard (0)" or "keyboard reported an error (status 0xFE, -103)".
std::string resultMessage(std::string_view device, int result);

}  // namespace qm
