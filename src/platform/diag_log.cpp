// Off unless asked for: the reports are for someone chasing a damaged mailbox, not for
// the user.
#include "platform/diag_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/text.h"

namespace {

std::atomic<bool> g_diagLogEnabled{false};

}  // namespace

void SetDiagLogToStderr(bool enabled) {
    g_diagLogEnabled.store(enabled, std::memory_order_relaxed);
}

bool IsDiagLogEnabled() {
    return g_diagLogEnabled.load(std::memory_order_relaxed);
}

void DiagLog(std::string_view message) {
    if (!IsDiagLogEnabled()) {
        return;
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.remove_suffix(1);
    }
    // One write per line, so lines from elsewhere on stderr do not cut into it.
    std::string line(message);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void DiagLogF(const char* format, ...) {
    if (!IsDiagLogEnabled() || format == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    if (!text.empty()) {
        DiagLog(text);
    }
}
