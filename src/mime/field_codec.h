// The codecs of header field values, and the table that picks one by field name.
//
// A field codec decodes a raw value by turning its encoded words into bytes, remembering
// the charset of the first word, and encodes a value back by cutting it into segments
// between delimiters and writing the segments that hold non-ASCII bytes as encoded words.
// All four classes decode alike; they differ only in where a segment may end and where a
// folded line may start, which matters only when encoding.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mime/mime_code.h"

// CFieldCodeBase is the codec of every field without a table entry. It holds, besides the
// input of CMimeCodeBase, one charset: the one to encode with (set before encoding; empty
// copies the value unchanged), or, after decoding, that of the value's first encoded word.
class CFieldCodeBase : public CMimeCodeBase {
public:
    void SetCharset(std::string_view charset) { m_Charset.assign(charset); }
    [[nodiscard]] const std::string& GetCharset() const { return m_Charset; }

    [[nodiscard]] std::int32_t MaxEncodedSize() const override;
    [[nodiscard]] std::int32_t MaxDecodedSize() const override;
    std::int32_t EncodeInto(char* out, std::int32_t capacity) override;
    std::int32_t DecodeInto(char* out, std::int32_t capacity) override;

    // Whether the encoder starts a new line after this delimiter.
    [[nodiscard]] virtual bool IsFoldPoint(unsigned char c) const;
    // The quote state a value starts in; 255 can never be closed, so the whole value is one
    // segment.
    [[nodiscard]] virtual unsigned char InitialQuoteState() const;

    // The length of the next segment of `text` and, in `nonAscii`, its count of non-ASCII
    // bytes. A segment ends before a delimiter (outside quotes, comments and angle
    // addresses) or before the byte that closes the open quote state; that byte itself
    // belongs to no segment, and it updates `quoteState` for the next one.
    static std::size_t FindSegment(std::string_view text, unsigned char& quoteState,
                                   std::int32_t& nonAscii);
    // 'B' or 'Q' for a segment of n bytes of which k are non-ASCII: B only when it is
    // shorter and more than a fifth of the bytes are non-ASCII, so mostly readable text stays
    // readable.
    [[nodiscard]] static char ChooseEncoding(std::int64_t n, std::int64_t k);

protected:
    std::string m_Charset;
};

// Free text (Subject, Comments, Content-Description): never cut into segments.
class CFieldCodeText : public CFieldCodeBase {
public:
    [[nodiscard]] unsigned char InitialQuoteState() const override { return 255; }
};

// Address lists: a new line may start after ',' and ':'.
class CFieldCodeAddress : public CFieldCodeBase {
public:
    [[nodiscard]] bool IsFoldPoint(unsigned char c) const override { return c == ',' || c == ':'; }
};

// Values with parameters (Content-Type, Content-Disposition): a new line after each ';'.
class CFieldCodeParameter : public CFieldCodeBase {
public:
    [[nodiscard]] bool IsFoldPoint(unsigned char c) const override { return c == ';'; }
};

using FieldCodecCreator = std::unique_ptr<CFieldCodeBase> (*)();

// The entries for the text, address and parameter fields. RegisterStandardCodecs calls it,
// so that one call at start-up fills both tables; calling it again leaves the same table.
void RegisterStandardFieldCodecs();

// Drops every entry named `name` (ASCII case-insensitively), then adds the creator, if not
// null, in front of the others.
void RegisterFieldCodec(std::string_view name, FieldCodecCreator creator);

// A new codec for the field name, compared case-insensitively; a CFieldCodeBase for names
// without an entry. Never null.
[[nodiscard]] std::unique_ptr<CFieldCodeBase> CreateFieldCodec(std::string_view name);
