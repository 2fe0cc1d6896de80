#include "emulator/answer.h"

#include <algorithm>

namespace qm::emu {

report::Report answerFor(const report::Report& request, std::uint8_t status) {
    report::Report answer{};
    answer[0] = report::kReportId;
    std::copy_n(request.begin() + report::kCommand, report::kStatus - report::kCommand,
                answer.begin() + report::kCommand);
    answer[report::kStatus] = status;
    return answer;
}

void seal(report::Report& answer) {
    const std::uint16_t sum = report::checksum(answer);
    answer[report::kChecksumLow] = static_cast<std::uint8_t>(sum & 0xFF);
    answer[report::kChecksumHigh] = static_cast<std::uint8_t>(sum >> 8);
}

}  // namespace qm::emu
