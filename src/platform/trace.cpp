#include "platform/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace qm {
namespace {

std::atomic<int> g_TraceState{-1};  // -1 = not decided yet
std::mutex g_TraceLock;

}  // namespace

void setTraceEnabled(bool on) {
    g_TraceState = on ? 1 : 0;
}

bool traceEnabled() {
    int state = g_TraceState.load();
    if (state < 0) {
        const char* env = std::getenv("QUILLMARK_TRACE");
        state = (env != nullptr && *env != '\0' && std::strcmp(env, "0") != 0) ? 1 : 0;
        g_TraceState = state;
    }
    return state == 1;
}

void trace(std::string_view text) {
    if (!traceEnabled())
        return;
    std::lock_guard lock(g_TraceLock);
    std::fprintf(stderr, "quillmark: %.*s\n", static_cast<int>(text.size()), text.data());
}

void tracef(const char* format, ...) {
    if (!traceEnabled())
        return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    trace(line);
}

}  // namespace qm
