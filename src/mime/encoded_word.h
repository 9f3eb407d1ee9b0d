// RFC 2047 encoded words in header values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mime/mime_code.h"

// CMimeEncodedWord decodes a header value holding encoded words into raw bytes, or encodes
// a value as a run of words of at most 75 characters. It holds the charset and letter:
// set with SetEncoding before encoding; after decoding, those of the first well-formed
// word (letter in lower case), since all words are joined whatever their charsets.
class CMimeEncodedWord : public CMimeCodeBase {
public:
    // 'B' or 'b' selects base64 words, any other letter Q words. An empty charset makes the
    // encoder copy the value unchanged.
    void SetEncoding(char encoding, std::string_view charset);
    [[nodiscard]] char GetEncoding() const { return m_Encoding; }
    [[nodiscard]] const std::string& GetCharset() const { return m_Charset; }

    [[nodiscard]] std::int32_t MaxEncodedSize() const override;
    [[nodiscard]] std::int32_t MaxDecodedSize() const override;
    std::int32_t EncodeInto(char* out, std::int32_t capacity) override;
    std::int32_t DecodeInto(char* out, std::int32_t capacity) override;

protected:
    char m_Encoding = 0;
    std::string m_Charset;

private:
    [[nodiscard]] bool UsesBase64() const { return m_Encoding == 'B' || m_Encoding == 'b'; }
    std::int32_t EncodeB(char* out, std::size_t capacity) const;
    std::int32_t EncodeQ(char* out, std::size_t capacity) const;
};

// A decoded header value; `charset`, when given, receives the first word's charset.
[[nodiscard]] std::string DecodeEncodedWords(std::string_view value,
                                             std::string* charset = nullptr);
[[nodiscard]] std::string EncodeEncodedWords(std::string_view value, char encoding,
                                             std::string_view charset);
