#include "platform/folders.h"

#include <filesystem>
#include <system_error>

#include "platform/paths.h"

bool FolderExists(std::u16string_view path) {
    if (path.empty())
        return false;
    std::error_code error;
    return std::filesystem::is_directory(PathFromWide(path), error);
}

bool CreateFolder(std::u16string_view path) {
    if (path.size() <= 1 || path.size() > kMaxFolderPathUnits)
        return false;
    const std::filesystem::path folder = PathFromWide(path);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    // create_directories reports an existing folder as "nothing created"; what counts is
    // that the folder is there now.
    return std::filesystem::is_directory(folder, error);
}

bool IsFolderEmpty(std::u16string_view path) {
    if (path.empty())
        return true;
    std::error_code error;
    std::filesystem::directory_iterator it(PathFromWide(path), error);
    if (error)
        return true;
    return it == std::filesystem::directory_iterator();
}
