// Off unless asked for: the reports are for someone chasing a damaged mailbox, not for
// the user.
#include "platform/diag_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

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
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length > 0) {
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(length));
        DiagLog(text);
    }
    va_end(args);
}
