// The codec interface of message decoding and the two transfer codecs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// CMimeCodeBase holds one conversion: an input it does not own (pointer and length) and the
// direction. Callers set the source, size an output buffer with GetResultSize and fill it
// with WriteResult; derived codecs override the four virtual slots. The base itself is the
// identity codec, used for "7bit", "8bit" and every unknown transfer encoding.
class CMimeCodeBase {
public:
    CMimeCodeBase() = default;
    CMimeCodeBase(const CMimeCodeBase&) = default;
    CMimeCodeBase& operator=(const CMimeCodeBase&) = default;
    virtual ~CMimeCodeBase() = default;

    // A null input or a negative length counts as empty input.
    void SetSource(const char* input, std::int32_t length, bool encode);
    // An upper bound of what WriteResult writes; negative when it does not fit 32 bits.
    [[nodiscard]] std::int32_t GetResultSize() const;
    // Returns the bytes written; never writes more than capacity.
    std::int32_t WriteResult(char* out, std::int32_t capacity);

    [[nodiscard]] virtual std::int32_t MaxEncodedSize() const;
    [[nodiscard]] virtual std::int32_t MaxDecodedSize() const;
    virtual std::int32_t EncodeInto(char* out, std::int32_t capacity);
    virtual std::int32_t DecodeInto(char* out, std::int32_t capacity);

protected:
    [[nodiscard]] std::string_view Input() const {
        return {m_Input, static_cast<std::size_t>(m_InputLength)};
    }
    // Sizes are computed in 64 bits; a bound past 32 bits is reported as -1.
    [[nodiscard]] static std::int32_t ClampSize(std::int64_t size) {
        return size > INT32_MAX ? -1 : static_cast<std::int32_t>(size);
    }

    const char* m_Input = nullptr;
    std::int32_t m_InputLength = 0;
    bool m_EncodeMode = false;
};

// CMimeCodeBase64 encodes to and decodes from the RFC 2045 base64 alphabet. With
// m_LineBreaks (the default) encoded output comes in CRLF-terminated lines of 76 characters;
// the encoded-word encoder turns it off. Decoding skips CR and LF and stops at any other
// byte outside the alphabet, the pad '=' included.
class CMimeCodeBase64 : public CMimeCodeBase {
public:
    [[nodiscard]] std::int32_t MaxEncodedSize() const override;
    [[nodiscard]] std::int32_t MaxDecodedSize() const override;
    std::int32_t EncodeInto(char* out, std::int32_t capacity) override;
    std::int32_t DecodeInto(char* out, std::int32_t capacity) override;

    void SetLineBreaks(bool lineBreaks) { m_LineBreaks = lineBreaks; }

    // The encoder and decoder over explicit buffers, shared with the encoded-word codec.
    static std::int32_t Encode(std::string_view input, bool lineBreaks, char* out,
                               std::int32_t capacity);
    static std::int32_t Decode(std::string_view input, char* out, std::int32_t capacity);
    [[nodiscard]] static std::int64_t EncodedBound(std::int64_t length, bool lineBreaks);

protected:
    bool m_LineBreaks = true;
};

// CMimeCodeQP is the quoted-printable codec. The encoder keeps lines to 75 characters plus
// the soft break's '=', breaking after the line's last blank when the rest then fits; the
// decoder passes malformed escapes through instead of failing.
class CMimeCodeQP : public CMimeCodeBase {
public:
    [[nodiscard]] std::int32_t MaxEncodedSize() const override;
    [[nodiscard]] std::int32_t MaxDecodedSize() const override;
    std::int32_t EncodeInto(char* out, std::int32_t capacity) override;
    std::int32_t DecodeInto(char* out, std::int32_t capacity) override;

    static std::int32_t Encode(std::string_view input, char* out, std::int32_t capacity);
    // underscoreIsSpace gives the Q form of encoded words: a bare '_' stands for a blank.
    static std::int32_t Decode(std::string_view input, bool underscoreIsSpace, char* out,
                               std::int32_t capacity);
    [[nodiscard]] static std::int64_t EncodedBound(std::string_view input);
};

// Runs a codec over a whole string: the result of one SetSource/GetResultSize/WriteResult
// round. Inputs of 2 GiB or more, which the 32-bit interface cannot carry, give "".
[[nodiscard]] std::string RunCodec(CMimeCodeBase& codec, std::string_view input, bool encode);

[[nodiscard]] std::string EncodeBase64(std::string_view input, bool lineBreaks = true);
[[nodiscard]] std::string DecodeBase64(std::string_view input);
[[nodiscard]] std::string EncodeQuotedPrintable(std::string_view input);
[[nodiscard]] std::string DecodeQuotedPrintable(std::string_view input);
