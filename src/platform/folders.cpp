#include "platform/folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"

bool FolderExists(std::u16string_view path) {
    if (path.empty()) {
        return false;
    }
    std::error_code error;
    return std::filesystem::is_directory(PathFromWide(path), error);
}

bool CreateFolder(std::u16string_view path) {
    if (path.size() <= 1 || path.size() > kMaxFolderPathUnits) {
        return false;
    }
    const std::filesystem::path folder = PathFromWide(path);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // create_directories reports an existing folder as "nothing created"; what counts is
    // that the folder is there now.
    return std::filesystem::is_directory(folder, error);
}

bool IsFolderEmpty(std::u16string_view path) {
    if (path.empty()) {
        return true;
    }
    std::error_code error;
    std::filesystem::directory_iterator it(PathFromWide(path), error);
    if (error) {
        return true;
    }
    return it == std::filesystem::directory_iterator();
}

bool IsBlankPath(std::u16string_view path) {
    return path.find_first_not_of(u" \t\r\n") == std::u16string_view::npos;
}

std::u16string DialogStartFolder(std::u16string_view field, std::u16string_view lastUsed) {
    if (!IsBlankPath(field)) {
        if (FolderExists(field)) {
            return std::u16string(field);
        }
        // A file, or a folder still to be created: the folder it would be in, unless that
        // is only the root left over from a short path.
        const std::size_t slash = field.find_last_of(u'/');
        if (slash != std::u16string_view::npos && slash > 0 &&
            FolderExists(field.substr(0, slash))) {
            return std::u16string(field.substr(0, slash + 1));
        }
    }
    if (!IsBlankPath(lastUsed) && FolderExists(lastUsed)) {
        return std::u16string(lastUsed);
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        const std::u16string folder = WideFromPath(std::filesystem::path(home));
        if (FolderExists(folder)) {
            return folder;
        }
    }
    return {};
}
