#include "mime/encoded_word.h"

#include <algorithm>
#include <cstring>

#include "mime/mime_char.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// Room for the text of one word: 75 characters less "=?", "?X?", "?=" and the charset.
constexpr std::int64_t kWordTextLimit = 68;

bool IsQLiteral(unsigned char c) {
    return c >= 0x21 && c <= 0x7E && c != '=' && c != '?' && c != '_';
}

bool AllSpace(std::string_view run) {
    return std::all_of(run.begin(), run.end(),
                       [](char c) { return IsMimeSpace(static_cast<unsigned char>(c)); });
}

}  // namespace

void CMimeEncodedWord::SetEncoding(char encoding, std::string_view charset) {
    m_Encoding = encoding;
    m_Charset.assign(charset);
}

std::int32_t CMimeEncodedWord::MaxEncodedSize() const {
    if (m_InputLength == 0 || m_Charset.empty()) {
        return m_InputLength;
    }
    const auto s = static_cast<std::int64_t>(m_Charset.size()) + 7;
    const std::int64_t a = UsesBase64() ? CMimeCodeBase64::EncodedBound(m_InputLength, false)
                                        : CMimeCodeQP::EncodedBound(Input());
    // Charsets too long for a 75-character word still get one piece per word.
    const std::int64_t perWord = std::max<std::int64_t>(71 - s, 1);
    return ClampSize((a / perWord + 1) * (s + 4) + a);
}

std::int32_t CMimeEncodedWord::MaxDecodedSize() const {
    return m_InputLength;
}

std::int32_t CMimeEncodedWord::EncodeInto(char* out, std::int32_t capacity) {
    if (out == nullptr || capacity <= 0 || m_InputLength == 0) {
        return 0;
    }
    if (m_Charset.empty()) {
        const auto n = std::min(m_InputLength, capacity);
        std::memcpy(out, m_Input, static_cast<std::size_t>(n));
        return n;
    }
    const auto room = static_cast<std::size_t>(capacity);
    return UsesBase64() ? EncodeB(out, room) : EncodeQ(out, room);
}

std::int32_t CMimeEncodedWord::EncodeB(char* out, std::size_t capacity) const {
    const std::string_view input = Input();
    const std::size_t length = m_Charset.size();
    const std::size_t emptyWord = length + 7;
    // Whole base64 groups only, so that every word decodes on its own.
    const std::int64_t groups = (kWordTextLimit - static_cast<std::int64_t>(length)) / 4;
    const auto perWord = static_cast<std::size_t>(std::max<std::int64_t>(groups, 1) * 3);

    std::size_t written = 0;
    for (std::size_t pos = 0; pos < input.size(); pos += perWord) {
        const std::size_t separator = pos == 0 ? 0 : 1;
        if (capacity - written < emptyWord + separator) {
            break;
        }
        if (separator != 0) {
            out[written++] = ' ';
        }
        std::memcpy(out + written, "=?", 2);
        std::memcpy(out + written + 2, m_Charset.data(), length);
        std::memcpy(out + written + 2 + length, "?B?", 3);
        written += length + 5;
        const std::size_t textRoom = capacity - written - 2;
        written += static_cast<std::size_t>(CMimeCodeBase64::Encode(
            input.substr(pos, perWord), false, out + written, static_cast<std::int32_t>(textRoom)));
        std::memcpy(out + written, "?=", 2);
        written += 2;
    }
    return static_cast<std::int32_t>(written);
}

std::int32_t CMimeEncodedWord::EncodeQ(char* out, std::size_t capacity) const {
    const std::string_view input = Input();
    const std::size_t length = m_Charset.size();
    const std::size_t header = length + 5;
    const std::int64_t textLimit = kWordTextLimit - static_cast<std::int64_t>(length);

    std::size_t written = 0;
    auto fits = [&](std::size_t n) { return written + n <= capacity; };
    auto open = [&]() {
        std::memcpy(out + written, "=?", 2);
        std::memcpy(out + written + 2, m_Charset.data(), length);
        std::memcpy(out + written + 2 + length, "?Q?", 3);
        written += header;
    };

    // Every piece is written with room left for the closing "?=", so no word stays open.
    std::int64_t textLength = 0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const auto c = static_cast<unsigned char>(input[i]);
        const std::size_t width = IsQLiteral(c) ? 1 : 3;
        if (i == 0) {
            if (!fits(header + width + 2)) {
                return 0;
            }
            open();
        } else if (textLength > 0 && textLength + std::int64_t(width) > textLimit) {
            if (!fits(3 + header + width + 2)) {
                break;
            }
            std::memcpy(out + written, "?= ", 3);
            written += 3;
            open();
            textLength = 0;
        } else if (!fits(width + 2)) {
            break;
        }
        if (width == 1) {
            out[written] = static_cast<char>(c);
        } else {
            out[written] = '=';
            out[written + 1] = kHexDigits[c >> 4];
            out[written + 2] = kHexDigits[c & 0x0F];
        }
        written += width;
        textLength += std::int64_t(width);
    }
    std::memcpy(out + written, "?=", 2);
    written += 2;
    return static_cast<std::int32_t>(written);
}

std::int32_t CMimeEncodedWord::DecodeInto(char* out, std::int32_t capacity) {
    m_Charset.clear();
    m_Encoding = 0;
    const std::size_t room =
        out != nullptr && capacity > 0 ? static_cast<std::size_t>(capacity) : 0;
    const std::string_view input = Input();
    const std::size_t end = input.size();

    std::size_t written = 0;
    std::size_t pos = 0;
    while (pos < end) {
        const auto left = static_cast<std::int32_t>(room - written);
        std::size_t next = end;
        char letter = 0;
        std::string_view text;
        if (input.substr(pos, 2) == "=?") {
            const std::size_t q = input.find('?', pos + 2);
            if (q != std::string_view::npos && q + 3 < end && input[q + 2] == '?') {
                letter = AsciiLower(input[q + 1]);
                const std::size_t close = input.find("?=", q + 3);
                text = input.substr(q + 3, close == std::string_view::npos ? end : close - (q + 3));
                next = close == std::string_view::npos ? end : close + 2;
                if (m_Charset.empty()) {
                    m_Charset.assign(input.substr(pos + 2, q - (pos + 2)));
                    m_Encoding = letter;
                }
            }
        }

        if (letter == 'b') {
            written += static_cast<std::size_t>(CMimeCodeBase64::Decode(text, out + written, left));
        } else if (letter == 'q') {
            written +=
                static_cast<std::size_t>(CMimeCodeQP::Decode(text, true, out + written, left));
        } else {
            const std::size_t following = input.find("=?", pos + 1);
            next = following == std::string_view::npos ? end : following;
            const std::string_view run = input.substr(pos, next - pos);
            // Blanks and folding between two encoded words are not part of the text.
            const bool between = following != std::string_view::npos && pos != 0;
            if (!(between && AllSpace(run))) {
                const std::size_t n = std::min(run.size(), room - written);
                if (n > 0) {
                    std::memcpy(out + written, run.data(), n);
                }
                written += n;
            }
        }
        pos = next;
        if (written >= room) {
            break;
        }
    }
    return static_cast<std::int32_t>(written);
}

std::string DecodeEncodedWords(std::string_view value, std::string* charset) {
    CMimeEncodedWord codec;
    std::string result = RunCodec(codec, value, false);
    if (charset != nullptr) {
        *charset = codec.GetCharset();
    }
    return result;
}

std::string EncodeEncodedWords(std::string_view value, char encoding, std::string_view charset) {
    CMimeEncodedWord codec;
    codec.SetEncoding(encoding, charset);
    return RunCodec(codec, value, true);
}
