// Paths cross the core's API as UTF-16; the file system wants UTF-8 bytes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

[[nodiscard]] std::filesystem::path PathFromWide(std::u16string_view widePath);
[[nodiscard]] std::u16string WideFromPath(const std::filesystem::path& path);

// The folder of the running program, ending with '/'.
[[nodiscard]] std::u16string GetModuleFolder();

// Strips trailing '/' and '\' and appends one '/'.
[[nodiscard]] std::u16string WithTrailingSeparator(std::u16string_view folder);

// Linux keeps a file name to 255 bytes of UTF-8, where Windows allows 255 UTF-16 units.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// The stem, cut at a character boundary so that stem + tail (an extension, a "(2)" and
// an extension...) fits in kMaxFileNameBytes. A tail that alone passes the limit leaves
// the stem empty.
[[nodiscard]] std::u16string FitFileNameStem(std::u16string_view stem, std::u16string_view tail);

// What a path given by the user names, before anything tries to open it as a mailbox.
enum class PathKind { Missing, File, Folder, Unreadable, Other };
[[nodiscard]] PathKind ClassifyPath(std::u16string_view path);

// The message for a path that cannot be read as a mailbox file ("" for a readable file):
// a folder, a missing or unreadable path, a device.
[[nodiscard]] std::u16string MailboxPathProblem(std::u16string_view path);
