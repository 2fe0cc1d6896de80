// A process-wide sink that sees every report exchanged with a peripheral (--trace-reports).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace qm::hid {

using ReportSink = std::function<void(bool sent, std::span<const std::uint8_t> report)>;

// Installs the sink (an empty function removes it). Calls into the sink are serialised.
void setReportSink(ReportSink sink);
void logReport(bool sent, std::span<const std::uint8_t> report);

// "> " or "< " and the bytes as hex separated by spaces, the format of the report trace files.
std::string formatReportLine(bool sent, std::span<const std::uint8_t> report);

}  // namespace qm::hid
