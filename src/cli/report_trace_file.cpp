#include "report_trace_file.h"

#include "device/hid/report_log.h"

namespace qm::cli {

ReportTraceFile::~ReportTraceFile() {
    if (m_File)
        hid::setReportSink({});
}

bool ReportTraceFile::start(const std::string& path) {
    m_File.reset(std::fopen(path.c_str(), "w"));
    if (!m_File)
        return false;
    std::fputs("# quillmark report trace: '>' sent, '<' received, 64-byte reports in hex\n",
               m_File.get());
    std::FILE* file = m_File.get();
    hid::setReportSink([file](bool sent, std::span<const std::uint8_t> report) {
        const std::string line = hid::formatReportLine(sent, report);
        std::fputs(line.c_str(), file);
        std::fputc('\n', file);
        std::fflush(file);
    });
    return true;
}

}  // namespace qm::cli
