// The diagnostic log: reports of damage found inside a mailbox file. Nobody reads it in
// normal use, so it discards by default; the CLI's --verbose sends it to stderr.
#pragma once

#include <string_view>

void SetDiagLogToStderr(bool enabled);
[[nodiscard]] bool IsDiagLogEnabled();

void DiagLog(std::string_view message);

// printf-style; the text is not even formatted while the log discards.
void DiagLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
