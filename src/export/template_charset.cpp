#include "export/template_charset.h"

#include "mime/charset.h"
#include "platform/text.h"

std::uint32_t FindTemplateCharset(std::string_view text) {
    // The spelling is taken as written: templates are ours or the user's, not mail.
    static constexpr std::string_view kKey = "charset=";
    text = CutAtZero(text);
    std::size_t start = text.find("charset=\"");
    if (start != std::string_view::npos) {
        start += kKey.size() + 1;
    } else {
        start = text.find(kKey);
        if (start == std::string_view::npos) {
            return 0;
        }
        start += kKey.size();
    }
    const std::size_t end = text.find_first_of("\"; \r\n", start);
    if (end == std::string_view::npos) {
        return 0;
    }
    const std::string_view value = text.substr(start, end - start);
    if (value.size() >= 101) {
        return 0;
    }
    return CodePageFromCharset(value);
}
