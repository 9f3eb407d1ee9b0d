#include "mime/mime_code.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "mime/mime_char.h"

namespace {

constexpr char kBase64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kBase64LineLength = 76;
constexpr int kQpLineLength = 75;

constexpr std::array<signed char, 256> MakeBase64Values() {
    std::array<signed char, 256> values{};
    for (auto& v : values) {
        v = -1;
    }
    for (int i = 0; i < 64; ++i) {
        values[static_cast<unsigned char>(kBase64Alphabet[i])] = static_cast<signed char>(i);
    }
    return values;
}
constexpr std::array<signed char, 256> kBase64Values = MakeBase64Values();

// Appends to a caller buffer without ever passing its capacity.
class CBoundedOut {
public:
    CBoundedOut(char* out, std::int32_t capacity)
        : m_pOut(out), m_nCapacity(out != nullptr && capacity > 0 ? capacity : 0) {}

    bool Put(char c) {
        if (m_nWritten >= m_nCapacity) {
            return false;
        }
        m_pOut[m_nWritten++] = c;
        return true;
    }
    // Three bytes at once, when they fit.
    bool Put3(unsigned v) {
        if (m_nCapacity - m_nWritten < 3) {
            return false;
        }
        m_pOut[m_nWritten] = static_cast<char>(v >> 16);
        m_pOut[m_nWritten + 1] = static_cast<char>(v >> 8);
        m_pOut[m_nWritten + 2] = static_cast<char>(v);
        m_nWritten += 3;
        return true;
    }
    [[nodiscard]] std::int32_t Written() const { return m_nWritten; }

private:
    char* m_pOut;
    std::int32_t m_nCapacity;
    std::int32_t m_nWritten = 0;
};

std::int32_t CopyCut(std::string_view input, char* out, std::int32_t capacity) {
    if (out == nullptr || capacity <= 0) {
        return 0;
    }
    const auto n = static_cast<std::int32_t>(
        std::min<std::size_t>(input.size(), static_cast<std::size_t>(capacity)));
    std::memcpy(out, input.data(), static_cast<std::size_t>(n));
    return n;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// CMimeCodeBase

void CMimeCodeBase::SetSource(const char* input, std::int32_t length, bool encode) {
    const bool valid = input != nullptr && length > 0;
    m_Input = valid ? input : "";
    m_InputLength = valid ? length : 0;
    m_EncodeMode = encode;
}

std::int32_t CMimeCodeBase::GetResultSize() const {
    return m_EncodeMode ? MaxEncodedSize() : MaxDecodedSize();
}

std::int32_t CMimeCodeBase::WriteResult(char* out, std::int32_t capacity) {
    return m_EncodeMode ? EncodeInto(out, capacity) : DecodeInto(out, capacity);
}

std::int32_t CMimeCodeBase::MaxEncodedSize() const {
    return m_InputLength;
}

std::int32_t CMimeCodeBase::MaxDecodedSize() const {
    return m_InputLength;
}

std::int32_t CMimeCodeBase::EncodeInto(char* out, std::int32_t capacity) {
    return CopyCut(Input(), out, capacity);
}

std::int32_t CMimeCodeBase::DecodeInto(char* out, std::int32_t capacity) {
    return CopyCut(Input(), out, capacity);
}

// ---------------------------------------------------------------------------------------
// CMimeCodeBase64

std::int64_t CMimeCodeBase64::EncodedBound(std::int64_t length, bool lineBreaks) {
    const std::int64_t e = (length + 2) / 3 * 4;
    return lineBreaks ? e + e / kBase64LineLength * 2 + 2 : e;
}

std::int32_t CMimeCodeBase64::MaxEncodedSize() const {
    return ClampSize(EncodedBound(m_InputLength, m_LineBreaks));
}

std::int32_t CMimeCodeBase64::MaxDecodedSize() const {
    return ClampSize(std::int64_t(m_InputLength) * 3 / 4 + 2);
}

std::int32_t CMimeCodeBase64::EncodeInto(char* out, std::int32_t capacity) {
    return Encode(Input(), m_LineBreaks, out, capacity);
}

std::int32_t CMimeCodeBase64::DecodeInto(char* out, std::int32_t capacity) {
    return Decode(Input(), out, capacity);
}

std::int32_t CMimeCodeBase64::Encode(std::string_view input, bool lineBreaks, char* out,
                                     std::int32_t capacity) {
    CBoundedOut sink(out, capacity);
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
    const std::size_t size = input.size();
    int lineLength = 0;
    auto endGroup = [&]() {
        lineLength += 4;
        if (lineBreaks && lineLength >= kBase64LineLength) {
            lineLength = 0;
            return sink.Put('\r') && sink.Put('\n');
        }
        return true;
    };

    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const unsigned v = unsigned(bytes[i]) << 16 | unsigned(bytes[i + 1]) << 8 | bytes[i + 2];
        if (!sink.Put(kBase64Alphabet[v >> 18]) || !sink.Put(kBase64Alphabet[(v >> 12) & 63]) ||
            !sink.Put(kBase64Alphabet[(v >> 6) & 63]) || !sink.Put(kBase64Alphabet[v & 63]) ||
            !endGroup()) {
            return sink.Written();
        }
    }
    const std::size_t rest = size - i;
    if (rest > 0) {
        const unsigned v = unsigned(bytes[i]) << 16 | (rest == 2 ? unsigned(bytes[i + 1]) << 8 : 0);
        if (!sink.Put(kBase64Alphabet[v >> 18]) || !sink.Put(kBase64Alphabet[(v >> 12) & 63]) ||
            !sink.Put(rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=') || !sink.Put('=') ||
            !endGroup()) {
            return sink.Written();
        }
    }
    if (lineBreaks && lineLength > 0 && sink.Put('\r')) {
        sink.Put('\n');
    }
    return sink.Written();
}

std::int32_t CMimeCodeBase64::Decode(std::string_view input, char* out, std::int32_t capacity) {
    CBoundedOut sink(out, capacity);
    int slot = 0;
    unsigned previous = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
    const std::size_t size = input.size();
    for (std::size_t i = 0; i < size; ++i) {
        // Whole groups of four valid characters, the bulk of any body, go three bytes at a
        // time; everything else takes the byte-by-byte path below.
        while (slot == 0 && i + 4 <= size) {
            const int a = kBase64Values[bytes[i]];
            const int b = kBase64Values[bytes[i + 1]];
            const int c = kBase64Values[bytes[i + 2]];
            const int d = kBase64Values[bytes[i + 3]];
            if ((a | b | c | d) < 0) {
                break;
            }
            if (!sink.Put3(unsigned(a) << 18 | unsigned(b) << 12 | unsigned(c) << 6 |
                           unsigned(d))) {
                break;
            }
            i += 4;
        }
        if (i >= size) {
            break;
        }
        const char ch = static_cast<char>(bytes[i]);
        if (ch == '\r' || ch == '\n') {
            continue;
        }
        const int value = kBase64Values[static_cast<unsigned char>(ch)];
        if (value < 0) {
            break;
        }
        const unsigned v = static_cast<unsigned>(value);
        unsigned byte = 0;
        switch (slot) {
            case 1:
                byte = previous << 2 | v >> 4;
                break;
            case 2:
                byte = (previous & 0x0F) << 4 | v >> 2;
                break;
            case 3:
                byte = (previous & 0x03) << 6 | v;
                break;
            default:
                break;
        }
        if (slot > 0 && !sink.Put(static_cast<char>(byte & 0xFF))) {
            break;
        }
        previous = v;
        slot = (slot + 1) & 3;
    }
    return sink.Written();
}

// ---------------------------------------------------------------------------------------
// CMimeCodeQP

std::int64_t CMimeCodeQP::EncodedBound(std::string_view input) {
    std::int64_t a = static_cast<std::int64_t>(input.size());
    for (const char ch : input) {
        if (!IsMimeAlnum(static_cast<unsigned char>(ch))) {
            a += 2;
        }
    }
    return a + a / 74 * 6;
}

std::int32_t CMimeCodeQP::MaxEncodedSize() const {
    return ClampSize(EncodedBound(Input()));
}

std::int32_t CMimeCodeQP::MaxDecodedSize() const {
    return m_InputLength;
}

std::int32_t CMimeCodeQP::EncodeInto(char* out, std::int32_t capacity) {
    return Encode(Input(), out, capacity);
}

std::int32_t CMimeCodeQP::DecodeInto(char* out, std::int32_t capacity) {
    return Decode(Input(), false, out, capacity);
}

std::int32_t CMimeCodeQP::Encode(std::string_view input, char* out, std::int32_t capacity) {
    if (out == nullptr || capacity <= 0) {
        return 0;
    }
    const auto limit = static_cast<std::size_t>(capacity);
    const std::size_t size = input.size();
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(input[i]); };

    std::size_t pos = 0;
    long column = 0;
    // Where a soft break may go: just after the last blank written on this line.
    std::size_t breakAfter = 0;
    bool haveBreak = false;

    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = at(i);
        bool encode = false;
        if (c == '\t' || c == ' ') {
            // A blank at the end of a line would be stripped in transit.
            encode = i + 1 == size || at(i + 1) == '\r';
            if (column > 0) {
                breakAfter = pos + (encode ? 3 : 1);
                haveBreak = true;
            }
        } else if (c == '\r' || c == '\n') {
            column = -1;
            haveBreak = false;
        } else if (c == '.') {
            // A lone dot on a line ends an SMTP transfer.
            encode = i >= 2 && at(i - 2) == '\r' && at(i - 1) == '\n' && i + 2 < size &&
                     at(i + 1) == '\r' && at(i + 2) == '\n';
        } else {
            encode = c < 0x21 || c > 0x7E || c == '=';
        }
        const int width = encode ? 3 : 1;

        if (column + width > kQpLineLength) {
            if (pos + 3 > limit) {
                break;
            }
            // Breaking after the blank only helps when what moves down, with this byte,
            // fits the new line; otherwise the break goes here.
            if (haveBreak && breakAfter <= pos &&
                pos - breakAfter + static_cast<std::size_t>(width) <= kQpLineLength) {
                const std::size_t moved = pos - breakAfter;
                std::memmove(out + breakAfter + 3, out + breakAfter, moved);
                std::memcpy(out + breakAfter, "=\r\n", 3);
                column = static_cast<long>(moved);
            } else {
                std::memcpy(out + pos, "=\r\n", 3);
                column = 0;
            }
            pos += 3;
            haveBreak = false;
        }

        if (pos + static_cast<std::size_t>(width) > limit) {
            break;
        }
        if (encode) {
            out[pos] = '=';
            out[pos + 1] = kHexDigits[c >> 4];
            out[pos + 2] = kHexDigits[c & 0x0F];
        } else {
            out[pos] = static_cast<char>(c);
        }
        pos += static_cast<std::size_t>(width);
        column += width;
    }
    return static_cast<std::int32_t>(pos);
}

std::int32_t CMimeCodeQP::Decode(std::string_view input, bool underscoreIsSpace, char* out,
                                 std::int32_t capacity) {
    CBoundedOut sink(out, capacity);
    const std::size_t size = input.size();
    std::size_t i = 0;
    while (i < size) {
        const char c = input[i];
        if (c != '=') {
            if (!sink.Put(underscoreIsSpace && c == '_' ? ' ' : c)) {
                break;
            }
            ++i;
            continue;
        }
        if (i + 2 >= size) {
            break;
        }
        const auto first = static_cast<unsigned char>(input[i + 1]);
        const auto second = static_cast<unsigned char>(input[i + 2]);
        if (IsMimeHexDigit(first)) {
            const unsigned high = first <= '9' ? first - '0' : first - 'A' + 10;
            // The second digit is not checked, so a lower-case one still decodes.
            const unsigned low = (second <= '9' ? second - '0' : second - 55u) & 0x0F;
            if (!sink.Put(static_cast<char>(high << 4 | low))) {
                break;
            }
            i += 3;
        } else if (first == '\r' && second == '\n') {
            i += 3;
        } else {
            if (!sink.Put(static_cast<char>(first))) {
                break;
            }
            i += 2;
        }
    }
    return sink.Written();
}

// ---------------------------------------------------------------------------------------
// Whole-string helpers

std::string RunCodec(CMimeCodeBase& codec, std::string_view input, bool encode) {
    if (input.size() > static_cast<std::size_t>(INT32_MAX)) {
        return {};
    }
    codec.SetSource(input.data(), static_cast<std::int32_t>(input.size()), encode);
    const std::int32_t size = codec.GetResultSize();
    if (size <= 0) {
        return {};
    }
    std::string result(static_cast<std::size_t>(size), '\0');
    const std::int32_t written = codec.WriteResult(result.data(), size);
    result.resize(static_cast<std::size_t>(std::max(written, 0)));
    return result;
}

std::string EncodeBase64(std::string_view input, bool lineBreaks) {
    CMimeCodeBase64 codec;
    codec.SetLineBreaks(lineBreaks);
    return RunCodec(codec, input, true);
}

std::string DecodeBase64(std::string_view input) {
    CMimeCodeBase64 codec;
    return RunCodec(codec, input, false);
}

std::string EncodeQuotedPrintable(std::string_view input) {
    CMimeCodeQP codec;
    return RunCodec(codec, input, true);
}

std::string DecodeQuotedPrintable(std::string_view input) {
    CMimeCodeQP codec;
    return RunCodec(codec, input, false);
}
