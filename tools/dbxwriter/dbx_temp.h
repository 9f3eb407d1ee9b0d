// A scratch folder for one test, removed with everything in it when the object goes, and
// whole-file reads and writes for what the tests put there.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace dbxw {

class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    [[nodiscard]] const std::filesystem::path& Path() const { return m_Path; }
    [[nodiscard]] std::filesystem::path Path(std::string_view name) const { return m_Path / name; }
    // The reader takes UTF-16 paths.
    [[nodiscard]] std::u16string WidePath(std::string_view name) const {
        return Path(name).u16string();
    }

private:
    std::filesystem::path m_Path;
};

// The file's bytes; empty when it cannot be read.
[[nodiscard]] std::string ReadWholeFile(const std::filesystem::path& path);
// Creates or replaces the file with the bytes.
void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace dbxw
