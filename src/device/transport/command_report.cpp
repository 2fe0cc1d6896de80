#include "device/transport/command_report.h"

#include <algorithm>

namespace qm::report {

std::uint16_t checksum(std::span<const std::uint8_t, kSize> report) {
    unsigned sum = 0;
    for (std::size_t i = kCommand; i < kSize; ++i)
        sum += report[i];
    return static_cast<std::uint16_t>(sum);
}

Report encodeRequest(std::uint8_t command, std::uint8_t length, std::uint16_t offset,
                     std::span<const std::uint8_t> data) {
    Report r{};
    r[0] = kReportId;
    r[kCommand] = command;
    r[kLength] = length;
    r[kOffsetLow] = static_cast<std::uint8_t>(offset & 0xFF);
    r[kOffsetHigh] = static_cast<std::uint8_t>(offset >> 8);
    r[kStatus] = 0;
    std::copy_n(data.begin(), std::min(data.size(), kMaxData), r.begin() + kData);
    const std::uint16_t sum = checksum(r);
    r[kChecksumLow] = static_cast<std::uint8_t>(sum & 0xFF);
    r[kChecksumHigh] = static_cast<std::uint8_t>(sum >> 8);
    return r;
}

Header decodeHeader(std::span<const std::uint8_t, kSize> report) {
    Header h;
    h.reportId = report[0];
    h.checksum = static_cast<std::uint16_t>(report[kChecksumLow] | (report[kChecksumHigh] << 8));
    h.command = report[kCommand];
    h.length = report[kLength];
    h.offset = static_cast<std::uint16_t>(report[kOffsetLow] | (report[kOffsetHigh] << 8));
    h.status = report[kStatus];
    return h;
}

bool checksumValid(std::span<const std::uint8_t, kSize> report) {
    return decodeHeader(report).checksum == checksum(report);
}

}  // namespace qm::report
