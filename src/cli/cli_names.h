// The names quillbox-cli takes and shows for formats and columns, taken from the core's
// tables so that the command line and the desktop app cannot drift apart.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "export/export_settings.h"

// The --format names in the wizard's order, joined by ", " with `last` before the final
// one; with a destination, only the formats that write one of that kind.
[[nodiscard]] std::string CliFormatNames(std::string_view last,
                                         std::optional<ExportDestination> destination = {});
// The email list's column headings in column order, joined the same way.
[[nodiscard]] std::string ColumnHeadingNames(std::string_view last);
