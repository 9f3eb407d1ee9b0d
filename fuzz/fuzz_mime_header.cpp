// Header blocks: Parse must stay inside the text and report an end inside it, and what it
// read must serialize within the size it estimates.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mime/mime_header.h"
#include "mime/transfer_codec.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    RegisterStandardCodecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    // An exact-size copy, so that a read one byte past the text is caught.
    const std::vector<char> text(data, data + size);
    CMimeHeader header;
    const std::int32_t end = header.Parse(text.data(), std::int32_t(size));
    if (end < 0 || std::size_t(end) > size) {
        __builtin_trap();
    }

    std::string scratch;
    for (const CMimeHeaderField& field : header.GetFields()) {
        field.GetValueWithoutParameters(scratch);
        (void)field.GetParameter("boundary", scratch);
        (void)field.GetParameter("name", scratch);
        std::size_t start = 0;
        std::size_t length = 0;
        if (field.FindParameter("charset", start, length) &&
            (start > field.GetValue().size() || length > field.GetValue().size() - start)) {
            __builtin_trap();
        }
    }
    (void)header.FindField("Content-Type");

    const std::int32_t estimate = header.EstimateSize();
    if (estimate > 0 && estimate <= 1 << 24) {
        std::vector<char> out(static_cast<std::size_t>(estimate));
        const std::int32_t written = header.Serialize(out.data(), estimate);
        if (written > estimate) {
            __builtin_trap();
        }
        // What was written reads back without trouble.
        CMimeHeader again;
        if (written > 0) {
            (void)again.Parse(out.data(), written);
        }
    }
    return 0;
}
