// The arithmetic and formatting every progress window shares, so the app, the CLI and
// the test recorder show the same titles and texts.
#include "platform/progress.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/code_page.h"
#include "platform/text.h"

int ProgressPercent(int position, int lower, int upper) {
    if (lower >= upper) {
        return 0;
    }
    const double share =
        (static_cast<double>(position) - lower) * 100.0 / (static_cast<double>(upper) - lower);
    return static_cast<int>(share + 0.5);
}

std::u16string ProgressTitle(std::u16string_view title, int percent) {
    std::u16string out(title);
    out += u" [";
    out += Utf8ToWide(std::to_string(percent));
    out += u"%]";
    return out;
}

std::u16string CutStatusText(std::u16string_view text) {
    // The bound counts UTF-16 units, as the window's buffer does.
    if (text.size() > IProgress::kMaxStatusText) {
        std::size_t cut = IProgress::kMaxStatusText;
        if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) {
            --cut;
        }
        text = text.substr(0, cut);
    }
    return std::u16string(text);
}

std::u16string FormatText(const char* format, ...) {
    if (format == nullptr) {
        return {};
    }
    va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    return CutStatusText(Utf8ToWide(text));
}
