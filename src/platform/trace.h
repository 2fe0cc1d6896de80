// Debug traces: off by default, switched on by -v or QUILLMARK_TRACE=1, written to stderr.
// They are for developers and never shown to a user as a message.
#pragma once

#include <string_view>

namespace qm {

void setTraceEnabled(bool on);
// True when traces are on (the first call also reads QUILLMARK_TRACE).
bool traceEnabled();
// Writes one trace line when traces are on.
void trace(std::string_view text);
void tracef(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qm
