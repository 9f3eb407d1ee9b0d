// The file system takes UTF-8 bytes; the core speaks UTF-16.
#include "platform/paths.h"

#include <system_error>

#include "platform/code_page.h"

std::filesystem::path PathFromWide(std::u16string_view widePath) {
    return std::filesystem::path(WideToUtf8(widePath));
}

std::u16string WideFromPath(const std::filesystem::path& path) {
    return Utf8ToWide(path.native());
}

std::u16string GetModuleFolder() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !exe.has_parent_path()) {
        // Without /proc the best guess is the current folder.
        return u"./";
    }
    return WithTrailingSeparator(WideFromPath(exe.parent_path()));
}

std::u16string WithTrailingSeparator(std::u16string_view folder) {
    while (!folder.empty() && (folder.back() == u'/' || folder.back() == u'\\')) {
        folder.remove_suffix(1);
    }
    std::u16string out(folder);
    out.push_back(u'/');
    return out;
}

namespace {

// UTF-8 length of the code point starting at index i, and the UTF-16 units it takes.
std::size_t Utf8Length(std::u16string_view text, std::size_t i, std::size_t& units) {
    const char16_t c = text[i];
    units = 1;
    if (c < 0x80)
        return 1;
    if (c < 0x800)
        return 2;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
        units = 2;
        return 4;
    }
    return 3;  // a lone surrogate becomes U+FFFD, also 3 bytes
}

}  // namespace

std::u16string FitFileNameStem(std::u16string_view stem, std::u16string_view tail) {
    std::size_t tailBytes = 0;
    for (std::size_t i = 0, units = 0; i < tail.size(); i += units) {
        tailBytes += Utf8Length(tail, i, units);
    }
    if (tailBytes >= kMaxFileNameBytes)
        return {};
    const std::size_t budget = kMaxFileNameBytes - tailBytes;
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < stem.size()) {
        std::size_t units = 0;
        const std::size_t bytes = Utf8Length(stem, i, units);
        if (used + bytes > budget)
            break;
        used += bytes;
        i += units;
    }
    return std::u16string(stem.substr(0, i));
}
