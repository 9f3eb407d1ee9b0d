#include "cli/cli_names.h"

#include <vector>

#include "mailbox/email_columns.h"
#include "platform/code_page.h"

namespace {

std::string JoinNames(const std::vector<std::string>& names, std::string_view last) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) {
            text += i + 1 == names.size() ? last : std::string_view(", ");
        }
        text += names[i];
    }
    return text;
}

}  // namespace

std::string CliFormatNames(std::string_view last, std::optional<ExportDestination> destination) {
    std::vector<std::string> names;
    for (const CExportFormatInfo& format : WizardExportFormats()) {
        if (!destination || format.destination == *destination) {
            names.emplace_back(format.cliName);
        }
    }
    return JoinNames(names, last);
}

std::string ColumnHeadingNames(std::string_view last) {
    std::vector<std::string> names;
    for (const EmailColumnInfo& column : kEmailColumns) {
        names.push_back(WideToUtf8(column.heading));
    }
    return JoinNames(names, last);
}
