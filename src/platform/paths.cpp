// The file system takes UTF-8 bytes; the core speaks UTF-16.
#include "platform/paths.h"

#include <unistd.h>
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
    if (c < 0x80) {
        return 1;
    }
    if (c < 0x800) {
        return 2;
    }
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
    if (tailBytes >= kMaxFileNameBytes) {
        return {};
    }
    const std::size_t budget = kMaxFileNameBytes - tailBytes;
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < stem.size()) {
        std::size_t units = 0;
        const std::size_t bytes = Utf8Length(stem, i, units);
        if (used + bytes > budget) {
            break;
        }
        used += bytes;
        i += units;
    }
    return std::u16string(stem.substr(0, i));
}

PathKind ClassifyPath(std::u16string_view path) {
    std::error_code error;
    const std::filesystem::path fsPath = PathFromWide(path);
    const std::filesystem::file_status status = std::filesystem::status(fsPath, error);
    if (error || !std::filesystem::exists(status)) {
        // A path below a folder we may not search exists, but we cannot reach it either.
        return error && error != std::errc::no_such_file_or_directory &&
                       error != std::errc::not_a_directory
                   ? PathKind::Unreadable
                   : PathKind::Missing;
    }
    if (std::filesystem::is_directory(status)) {
        return access(fsPath.c_str(), R_OK | X_OK) == 0 ? PathKind::Folder : PathKind::Unreadable;
    }
    if (!std::filesystem::is_regular_file(status)) {
        return PathKind::Other;
    }
    return access(fsPath.c_str(), R_OK) == 0 ? PathKind::File : PathKind::Unreadable;
}

std::u16string MailboxPathProblem(std::u16string_view path) {
    const std::u16string quoted = u"'" + std::u16string(path) + u"'";
    switch (ClassifyPath(path)) {
        case PathKind::File:
            return {};
        case PathKind::Missing:
            return quoted + u" does not exist.";
        case PathKind::Folder:
            return quoted + u" is a folder, not a mailbox file (.dbx).";
        case PathKind::Unreadable:
            return quoted + u" cannot be read: permission denied.";
        case PathKind::Other:
            break;
    }
    return quoted + u" is not a regular file.";
}
