// Scratch files and folders of the fuzz targets: one per process, reused for every input,
// removed at exit.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace fuzzfiles {

namespace fs = std::filesystem;

class InputFile {
public:
    explicit InputFile(std::string_view name)
        : m_Path(fs::temp_directory_path() /
                 ("quillbox-fuzz-" + std::to_string(getpid()) + "-" + std::string(name))) {}
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() {
        std::error_code ignored;
        fs::remove(m_Path, ignored);
    }

    [[nodiscard]] bool Write(const void* data, std::size_t size) const {
        std::FILE* f = std::fopen(m_Path.c_str(), "wb");
        if (!f) {
            return false;
        }
        const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
        return std::fclose(f) == 0 && ok;
    }
    [[nodiscard]] const fs::path& Path() const { return m_Path; }
    [[nodiscard]] std::u16string WidePath() const { return m_Path.u16string(); }

private:
    fs::path m_Path;
};

// A folder of its own, with an output folder inside it: whatever an export writes must
// land in the output folder, never beside it.
class Sandbox {
public:
    Sandbox()
        : m_Root(fs::temp_directory_path() /
                 ("quillbox-fuzz-" + std::to_string(getpid()) + "-box")),
          m_Out(m_Root / "out") {
        fs::create_directories(m_Out);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    ~Sandbox() {
        std::error_code ignored;
        fs::remove_all(m_Root, ignored);
    }

    [[nodiscard]] std::u16string OutFolder() const { return m_Out.u16string() + u"/"; }

    // Traps when anything but the output folder appeared in the root, or anything but
    // plain files in the output folder; then empties the output folder.
    void CheckAndClear() const {
        for (const auto& item : fs::directory_iterator(m_Root)) {
            if (item.path() != m_Out) {
                __builtin_trap();
            }
        }
        for (const auto& item : fs::directory_iterator(m_Out)) {
            if (!item.is_regular_file() || item.is_symlink()) {
                __builtin_trap();
            }
        }
        std::error_code ignored;
        fs::remove_all(m_Out, ignored);
        fs::create_directories(m_Out);
    }

private:
    fs::path m_Root;
    fs::path m_Out;
};

}  // namespace fuzzfiles
