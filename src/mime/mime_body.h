// The body tree of a message: parts with their header, decoded content and child parts.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mime/mime_header.h"

class CZHyperString;

// A part's kind, from the main type at the start of its Content-Type value.
enum MediaKind : std::int32_t {
    MediaText = 0,
    MediaImage = 1,
    MediaAudio = 2,
    MediaVideo = 3,
    MediaApplication = 4,
    MediaMultipart = 5,
    MediaMessage = 6,
    MediaOther = 7,  // no known main type, and text/x-vcard
};

// CMimeBody is one body part: the header fields it inherits, its content decoded from the
// part's transfer encoding (followed by a zero byte, not counted in the length), and, for a
// multipart part, its child parts in document order; a multipart part's own content is its
// preamble. Parse builds the tree from raw text, splitting multipart parts at their
// boundary lines and decoding every content once; Serialize writes it back as MIME text,
// encoding each content again. The tree owns its parts; every child is a plain CMimeBody.
class CMimeBody : public CMimeHeader {
public:
    // Multipart parts this deep keep the rest of their text as content instead of being
    // split, so hostile nesting cannot exhaust the stack.
    static constexpr std::int32_t kMaxNestingDepth = 100;

    CMimeBody() = default;
    CMimeBody(const CMimeBody&) = delete;
    CMimeBody& operator=(const CMimeBody&) = delete;
    ~CMimeBody() override;

    // Deletes all parts and the content, then removes all fields.
    void Reset() override;
    [[nodiscard]] std::int32_t EstimateSize() const override;
    // Returns the bytes written, 0 when the header does not fit, -1 for a part with child
    // parts but no boundary.
    std::int32_t Serialize(char* buffer, std::int32_t capacity) const override;
    // Returns the bytes of the text this part took (the whole text unless a closing
    // boundary line came before its end), 0 when the header cannot be read, -1 when a
    // content buffer cannot be had.
    std::int32_t Parse(const char* text, std::int32_t length) override;
    using CMimeHeader::Parse;

    // Field access; every name is looked up case-insensitively, the first field wins.
    [[nodiscard]] std::optional<std::string_view> GetFieldValue(std::string_view name) const;
    [[nodiscard]] std::optional<std::string_view> GetFieldCharset(std::string_view name) const;
    // "" when the field or the parameter is absent.
    [[nodiscard]] std::string GetParameter(std::string_view fieldName,
                                           std::string_view parameterName) const;
    [[nodiscard]] std::string GetCharsetParameter() const;
    [[nodiscard]] std::string GetNameParameter() const;
    [[nodiscard]] std::string GetBoundary() const;
    [[nodiscard]] std::optional<std::string_view> GetTransferEncoding() const;
    // The Content-Type without parameters, after its first '/': the whole type without a
    // '/', "" when the '/' comes first, "plain" without a Content-Type.
    [[nodiscard]] std::string_view GetSubType() const;
    [[nodiscard]] MediaKind GetMediaKind() const;
    [[nodiscard]] bool IsText() const { return GetMediaKind() == MediaText; }
    // A part with a Content-Type name parameter is an attached file.
    [[nodiscard]] bool HasName() const { return !GetNameParameter().empty(); }

    // The decoded field (or parameter) stored with the field's charset, so that the text
    // converts through that charset's code page. False, with an empty text, when absent.
    bool GetFieldText(std::string_view name, CZHyperString& text) const;
    bool GetParameterText(std::string_view fieldName, std::string_view parameterName,
                          CZHyperString& text) const;
    // The decoded field converted to the code page with HTML entities, from the field's
    // charset or, when it names none, the mailbox's (UnlabelledTextCharset). False for no
    // name, code page 0, an absent or empty field, or a failed conversion.
    bool GetFieldTextInCodePage(std::string& out, std::string_view name, std::uint32_t codePage,
                                std::uint32_t mailboxCodePage) const;

    // Content.
    // Replaces the content by `size` uninitialised bytes; false when they cannot be had.
    bool AllocateContent(std::int32_t size);
    void FreeContent();
    // A copy of `bytes` as the content; false when it cannot be held.
    bool SetContent(std::string_view bytes);
    [[nodiscard]] std::string_view GetContent() const {
        return {m_Content ? m_Content.get() : "", std::size_t(m_ContentLength)};
    }
    [[nodiscard]] std::int32_t GetContentLength() const { return m_ContentLength; }
    // Copies min(length, capacity) bytes and returns that count.
    std::int32_t CopyContent(char* buffer, std::int32_t capacity) const;
    // The content as a string; returns its length.
    std::int32_t GetContentString(std::string& out) const;
    // Writes the content to a new or truncated file. An empty content writes no file and
    // succeeds.
    bool SaveContent(const char16_t* path) const;
    bool SaveContent(const std::u16string& path) const { return SaveContent(path.c_str()); }

    // Tree.
    // A new empty child inserted before `before`, or appended when it is null or no child.
    CMimeBody* CreatePart(const CMimeBody* before = nullptr);
    void DeletePart(const CMimeBody* part);
    void DeleteAllParts();
    [[nodiscard]] const std::vector<std::unique_ptr<CMimeBody>>& GetParts() const {
        return m_Parts;
    }
    // Appends the parts of this subtree that are not multipart, depth first in document
    // order, and returns how many it appended. A multipart part without parts adds none.
    std::int32_t CollectLeaves(std::vector<const CMimeBody*>& leaves) const;

private:
    std::int32_t ParsePart(const char* text, std::int32_t length, std::int32_t depth);
    bool DecodeContent(std::string_view encoded);

    std::unique_ptr<char[]> m_Content;
    std::int32_t m_ContentLength = 0;
    std::vector<std::unique_ptr<CMimeBody>> m_Parts;
};

// CMimeMessage is the type of a whole message; it is a body part and adds nothing.
class CMimeMessage : public CMimeBody {};
