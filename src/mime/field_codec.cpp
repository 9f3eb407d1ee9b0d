#include "mime/field_codec.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "mime/encoded_word.h"
#include "mime/mime_char.h"

namespace {

struct CFieldCodecEntry {
    std::string m_Name;
    FieldCodecCreator m_Creator;
};

std::vector<CFieldCodecEntry>& Registry() {
    static std::vector<CFieldCodecEntry> entries;
    return entries;
}

template <typename Codec>
std::unique_ptr<CFieldCodeBase> Create() {
    return std::make_unique<Codec>();
}

// The words of one segment, sized or written by the encoded-word codec.
CMimeEncodedWord SegmentCodec(std::string_view segment, std::int32_t nonAscii,
                              const std::string& charset) {
    CMimeEncodedWord words;
    words.SetEncoding(
        CFieldCodeBase::ChooseEncoding(std::int64_t(segment.size()), std::int64_t(nonAscii)),
        charset);
    words.SetSource(segment.data(), std::int32_t(segment.size()), true);
    return words;
}

}  // namespace

void RegisterFieldCodec(std::string_view name, FieldCodecCreator creator) {
    auto& entries = Registry();
    std::erase_if(entries, [name](const CFieldCodecEntry& entry) {
        return EqualsNoCase(entry.m_Name, name);
    });
    if (creator != nullptr) {
        entries.insert(entries.begin(), CFieldCodecEntry{std::string(name), creator});
    }
}

void RegisterStandardFieldCodecs() {
    for (const char* name : {"Subject", "Comments", "Content-Description"}) {
        RegisterFieldCodec(name, &Create<CFieldCodeText>);
    }
    for (const char* name : {"From", "To", "Resent-To", "Cc", "Resent-Cc", "Bcc", "Resent-Bcc",
                             "Reply-To", "Resent-Reply-To"}) {
        RegisterFieldCodec(name, &Create<CFieldCodeAddress>);
    }
    for (const char* name : {"Content-Type", "Content-Disposition"}) {
        RegisterFieldCodec(name, &Create<CFieldCodeParameter>);
    }
}

std::unique_ptr<CFieldCodeBase> CreateFieldCodec(std::string_view name) {
    for (const auto& entry : Registry()) {
        if (EqualsNoCase(entry.m_Name, name)) {
            if (auto codec = entry.m_Creator()) {
                return codec;
            }
            break;
        }
    }
    return std::make_unique<CFieldCodeBase>();
}

bool CFieldCodeBase::IsFoldPoint(unsigned char) const {
    return false;
}

unsigned char CFieldCodeBase::InitialQuoteState() const {
    return 0;
}

std::size_t CFieldCodeBase::FindSegment(std::string_view text, unsigned char& quoteState,
                                        std::int32_t& nonAscii) {
    nonAscii = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsMimeNonAscii(c)) {
            ++nonAscii;
        } else if (quoteState != 0) {
            if (c == quoteState) {
                quoteState = 0;
                return i;
            }
        } else if (IsMimeDelimiter(c)) {
            if (c == '"') {
                quoteState = '"';
            } else if (c == '(') {
                quoteState = ')';
            } else if (c == '<') {
                quoteState = '>';
            }
            return i;
        }
    }
    return text.size();
}

char CFieldCodeBase::ChooseEncoding(std::int64_t n, std::int64_t k) {
    return (n + 2) / 3 * 4 < n + 2 * k && n < 5 * k ? 'B' : 'Q';
}

std::int32_t CFieldCodeBase::MaxDecodedSize() const {
    return m_InputLength;
}

std::int32_t CFieldCodeBase::DecodeInto(char* out, std::int32_t capacity) {
    CMimeEncodedWord words;
    words.SetSource(m_Input, m_InputLength, false);
    const std::int32_t written = words.WriteResult(out, capacity);
    m_Charset = words.GetCharset();
    return written;
}

std::int32_t CFieldCodeBase::MaxEncodedSize() const {
    if (m_Charset.empty()) {
        return m_InputLength;
    }
    // The encoder's walk without its skipping of blanks after a fold, which only shortens
    // the output.
    const std::string_view input = Input();
    unsigned char quoteState = InitialQuoteState();
    std::int64_t size = 0;
    std::size_t pos = 0;
    while (pos < input.size()) {
        std::int32_t nonAscii = 0;
        const std::string_view rest = input.substr(pos);
        const std::string_view segment = rest.substr(0, FindSegment(rest, quoteState, nonAscii));
        if (nonAscii == 0) {
            size += std::int64_t(segment.size());
        } else {
            const std::int32_t bound = SegmentCodec(segment, nonAscii, m_Charset).MaxEncodedSize();
            if (bound < 0) {
                return -1;
            }
            size += bound;
        }
        pos += segment.size();
        if (pos < input.size()) {
            size += IsFoldPoint(static_cast<unsigned char>(input[pos])) ? 4 : 1;
            ++pos;
        }
    }
    return ClampSize(size);
}

std::int32_t CFieldCodeBase::EncodeInto(char* out, std::int32_t capacity) {
    if (out == nullptr || capacity <= 0) {
        return 0;
    }
    const std::string_view input = Input();
    const auto room = static_cast<std::size_t>(capacity);
    if (m_Charset.empty()) {
        const std::size_t n = std::min(input.size(), room);
        std::memcpy(out, input.data(), n);
        return std::int32_t(n);
    }

    unsigned char quoteState = InitialQuoteState();
    std::size_t written = 0;
    std::size_t pos = 0;
    while (pos < input.size() && written < room) {
        std::int32_t nonAscii = 0;
        const std::string_view rest = input.substr(pos);
        const std::string_view segment = rest.substr(0, FindSegment(rest, quoteState, nonAscii));
        if (nonAscii == 0) {
            const std::size_t n = std::min(segment.size(), room - written);
            std::memcpy(out + written, segment.data(), n);
            written += n;
        } else {
            CMimeEncodedWord words = SegmentCodec(segment, nonAscii, m_Charset);
            written += std::size_t(
                std::max(words.WriteResult(out + written, std::int32_t(room - written)), 0));
        }
        pos += segment.size();
        if (pos >= input.size() || written >= room) {
            break;
        }
        const auto ender = static_cast<unsigned char>(input[pos++]);
        out[written++] = static_cast<char>(ender);
        if (IsFoldPoint(ender) && room - written >= 3) {
            std::memcpy(out + written, "\r\n\t", 3);
            written += 3;
            while (pos < input.size() && IsMimeSpace(static_cast<unsigned char>(input[pos]))) {
                ++pos;
            }
        }
    }
    return std::int32_t(written);
}
