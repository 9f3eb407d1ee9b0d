// Plain-text bodies with uuencoded blocks. Besides memory errors this checks what the
// decoder promises: Detect points at a start line, and DecodeToFolder creates at most one
// file, directly in the folder it was given and nowhere else.

#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "mime/decoder_uu.h"

namespace fs = std::filesystem;

namespace {

// root/out/ receives the files; anything else appearing under root is an escape.
class Scratch {
public:
    Scratch() {
        m_Root = fs::temp_directory_path() / ("quillbox-fuzz-uu-" + std::to_string(getpid()));
        fs::remove_all(m_Root);
        fs::create_directories(m_Root / "out");
        m_Folder = (m_Root / "out").u16string() + u"/";
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(m_Root, ignored);
    }

    [[nodiscard]] const std::u16string& Folder() const { return m_Folder; }

    // Checks that `created` (possibly empty) is all there is, then empties the folder.
    void CheckAndClear(const std::u16string& created) {
        for (const auto& e : fs::directory_iterator(m_Root)) {
            if (e.path().filename() != "out") {
                __builtin_trap();
            }
        }
        int files = 0;
        for (const auto& e : fs::directory_iterator(m_Root / "out")) {
            ++files;
            if (!e.is_regular_file() || created.empty() || e.path().u16string() != created) {
                __builtin_trap();
            }
        }
        if (files > 1) {
            __builtin_trap();
        }
        for (const auto& e : fs::directory_iterator(m_Root / "out")) {
            fs::remove(e.path());
        }
    }

private:
    fs::path m_Root;
    std::u16string m_Folder;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Scratch scratch;
    const auto* text = reinterpret_cast<const char*>(data);
    const auto length = std::uint32_t(size);

    CDecoder finder;
    std::uint32_t offset = 12345;
    const std::int32_t kind = finder.Detect(text, length, &offset);
    if (kind == CDecoder::DetectNone) {
        if (offset != 0 || finder.GetStatus() != CDecoder::StatusNoBegin) {
            __builtin_trap();
        }
    } else {
        const std::string_view rest(text + offset, size - offset);
        const std::string_view marker = kind == CDecoder::DetectUuencode ? "begin " : "=ybegin ";
        if (offset >= size || rest.substr(0, marker.size()) != marker) {
            __builtin_trap();
        }
    }

    CDecoderUU decoder;
    const bool ok = decoder.DecodeToFolder(text, length, scratch.Folder().c_str());
    if (ok != (decoder.GetStatus() == CDecoder::StatusOk)) {
        __builtin_trap();
    }
    scratch.CheckAndClear(decoder.GetOutputPath());
    return 0;
}
