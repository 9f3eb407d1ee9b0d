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
