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
