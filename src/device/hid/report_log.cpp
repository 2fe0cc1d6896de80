#include "device/hid/report_log.h"

#include <mutex>

namespace qm::hid {
namespace {

std::mutex g_SinkLock;
ReportSink g_Sink;

}  // namespace

void setReportSink(ReportSink sink) {
    std::lock_guard lock(g_SinkLock);
    g_Sink = std::move(sink);
}

void logReport(bool sent, std::span<const std::uint8_t> report) {
    std::lock_guard lock(g_SinkLock);
    if (g_Sink)
        g_Sink(sent, report);
}

std::string formatReportLine(bool sent, std::span<const std::uint8_t> report) {
    static const char kHex[] = "0123456789abcdef";
    std::string line = sent ? ">" : "<";
    line.reserve(2 + report.size() * 3);
    for (std::uint8_t b : report) {
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 0x0F];
    }
    return line;
}

}  // namespace qm::hid
