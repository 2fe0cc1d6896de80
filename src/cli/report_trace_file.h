// --trace-reports FILE: every report exchanged with a peripheral, one per line, "> " for sent and
// "< " for received, then the bytes in hex; lines starting with '#' are comments.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace qm::cli {

class ReportTraceFile {
public:
    ReportTraceFile() = default;
    ~ReportTraceFile();
    ReportTraceFile(const ReportTraceFile&) = delete;
    ReportTraceFile& operator=(const ReportTraceFile&) = delete;

    // Creates the file and starts logging into it; false when it cannot be created.
    bool start(const std::string& path);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> m_File;
};

}  // namespace qm::cli
