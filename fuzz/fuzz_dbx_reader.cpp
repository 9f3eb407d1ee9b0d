// Whole DBX files: Open walks whatever tree the bytes describe, then every entry's text
// chain is followed. The reader takes a path, so each input goes through a file.

#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "mailbox/dbx_file.h"

namespace fs = std::filesystem;

namespace {

class InputFile {
public:
    InputFile()
        : m_Path(fs::temp_directory_path() /
                 ("quillbox-fuzz-dbx-" + std::to_string(getpid()) + ".dbx")) {}
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() {
        std::error_code ignored;
        fs::remove(m_Path, ignored);
    }

    [[nodiscard]] bool Write(const std::uint8_t* data, std::size_t size) const {
        std::FILE* f = std::fopen(m_Path.c_str(), "wb");
        if (!f) {
            return false;
        }
        const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
        return std::fclose(f) == 0 && ok;
    }
    [[nodiscard]] std::u16string WidePath() const { return m_Path.u16string(); }

private:
    fs::path m_Path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const InputFile input;
    if (!input.Write(data, size)) {
        __builtin_trap();
    }
    CDBXFile dbx;
    if (dbx.Open(input.WidePath()) != DbxOk) {
        return 0;
    }
    std::string text;
    for (const CEmailDBX* entry : dbx.GetEmails().Items()) {
        text.clear();
        (void)dbx.GetMessageText(entry, text);
    }
    return 0;
}
