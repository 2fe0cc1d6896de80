// Running the project's programs from tests, as a user would from a shell.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace qm::testing {

struct ProgramRun {
    int status = -1;  // the exit status, -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs a shell command line to its end with stderr sent to errFile; returns what it printed.
inline ProgramRun runCommand(const std::string& command, const std::string& errFile) {
    ProgramRun result;
    FILE* pipe = popen((command + " 2>" + errFile).c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        result.out.append(buffer.data(), n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(errFile);
    std::stringstream text;
    text << in.rdbuf();
    result.err = text.str();
    return result;
}

}  // namespace qm::testing
