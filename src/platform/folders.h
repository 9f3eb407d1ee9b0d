// Folder checks of the export destinations. Paths are UTF-16 as everywhere in the core;
// a trailing '/' is allowed and means the same folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// True for a non-empty path that names an existing folder.
[[nodiscard]] bool FolderExists(std::u16string_view path);

// Creates the folder and any missing parents. True when the folder exists afterwards,
// also when it was there already; false for a path of one unit or less, a path longer
// than kMaxFolderPathUnits, or a name that is taken by a file.
bool CreateFolder(std::u16string_view path);

// True for an empty path and for a folder without entries (or one that cannot be
// listed). A folder holding only a sub-folder is not empty.
[[nodiscard]] bool IsFolderEmpty(std::u16string_view path);

// Longer paths are refused rather than cut, which would create some other folder.
inline constexpr std::size_t kMaxFolderPathUnits = 4096;

// True for a path that is empty or holds nothing but blanks: no destination at all.
[[nodiscard]] bool IsBlankPath(std::u16string_view path);

// Where a file dialog or folder browser opens: the folder the field names (or the folder
// of the file it names), else `lastUsed` (the last folder chosen in this run), else the
// home folder. An empty field never becomes the root folder.
[[nodiscard]] std::u16string DialogStartFolder(std::u16string_view field,
                                               std::u16string_view lastUsed);
