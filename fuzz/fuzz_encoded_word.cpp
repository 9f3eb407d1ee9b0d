// Header values with encoded words: the decoder must stay inside its input and inside
// whatever output capacity it is given, and the encoder inside its own bound.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mime/encoded_word.h"

namespace {

void DecodeInto(std::string_view value, std::int32_t capacity) {
    CMimeEncodedWord codec;
    codec.SetSource(value.data(), std::int32_t(value.size()), false);
    // An exact-size heap buffer, so that one byte too many is caught.
    std::vector<char> out(std::size_t(capacity > 0 ? capacity : 1));
    const std::int32_t written = codec.WriteResult(out.data(), capacity);
    if (written < 0 || written > capacity) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    const std::string_view value(reinterpret_cast<const char*>(data), size);
    std::string charset;
    const std::string decoded = DecodeEncodedWords(value, &charset);

    CMimeEncodedWord codec;
    codec.SetSource(value.data(), std::int32_t(value.size()), false);
    const std::int32_t bound = codec.GetResultSize();
    if (bound < 0 || std::size_t(bound) < decoded.size()) {
        __builtin_trap();
    }
    DecodeInto(value, bound / 2);
    DecodeInto(value, 1);

    // The decoded bytes as the value of a new header, in both word forms.
    (void)EncodeEncodedWords(decoded, 'B', charset.empty() ? "utf-8" : charset);
    (void)EncodeEncodedWords(decoded, 'Q', "iso-8859-1");
    return 0;
}
