// CMessagePage: a message as a mail client shows it, for the viewer's "Message" page and
// `quillbox-cli show --message`.
//
// Build parses the raw text once and keeps the tree, so the page can later hand out the
// bytes of an inline image or an attached file without parsing again. It holds the header
// fields decoded to UTF-16 (encoded words in their charset, raw bytes in the charset the
// message declares, then the mailbox code page), one body (the HTML alternative sanitized,
// or the plain text in its declared charset), the plain-text form of that body, the parts
// that `cid:` references may load, and the attached files. Whether the HTML is laid out or
// shown as text is decided here, from its size and its tables, so that no message can stall
// the window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CMimeBody;
class CMimeMessage;

struct CMessageAttachment {
    std::u16string m_Name;  // as the message names it (unnamed parts get "part-N")
    std::int64_t m_nSize = 0;
    std::string m_MediaType;  // lower case, "application/pdf"
    const CMimeBody* m_pPart = nullptr;
};

class CMessagePage {
public:
    enum BodyKind { BodyNone, BodyPlain, BodyHtml };

    // Bodies above this many UTF-16 units, or tables above these limits, are shown as text.
    static constexpr std::size_t kMaxRenderedHtml = 1 << 20;
    static constexpr std::int64_t kMaxTableCells = 5000;
    static constexpr std::int32_t kMaxTableDepth = 16;

    CMessagePage();
    CMessagePage(CMessagePage&&) noexcept;
    CMessagePage& operator=(CMessagePage&&) noexcept;
    ~CMessagePage();

    // Reads the raw text up to its first zero byte; `codePage` is the mailbox's 8-bit code
    // page. False, with an empty page, when there is nothing to read.
    bool Build(std::string_view rawText, unsigned codePage);

    std::u16string m_From;
    std::u16string m_To;
    std::u16string m_Cc;
    std::u16string m_Date;
    std::u16string m_Subject;

    BodyKind m_BodyKind = BodyNone;
    // Plain text, or the sanitized HTML.
    std::u16string m_Body;
    // Whether the HTML body is small and simple enough to lay out; when not, show m_Text.
    bool m_bRenderHtml = false;
    // The body as text (the plain text itself, or the text of the HTML).
    std::u16string m_Text;
    // References to things outside the message that the HTML lost.
    std::int32_t m_nBlockedReferences = 0;

    std::vector<CMessageAttachment> m_Attachments;

    // The content of the part with that Content-ID (angle brackets optional) and its media
    // type; empty when the message has no such part.
    [[nodiscard]] std::string_view FindInlinePart(std::u16string_view contentId,
                                                  std::string* mediaType = nullptr) const;
    [[nodiscard]] std::string_view AttachmentBytes(std::size_t index) const;
    // Writes the attached file's bytes to a new or truncated file.
    bool SaveAttachment(std::size_t index, const std::u16string& path) const;

    // The header block ("From: ..." lines, Cc only when present), a blank line, the body as
    // text and, when there are attached files, their list: what the command line prints.
    [[nodiscard]] std::u16string TextForm() const;

private:
    struct CInlinePart {
        std::u16string m_ContentId;
        const CMimeBody* m_pPart;
    };

    std::unique_ptr<CMimeMessage> m_pMessage;
    std::vector<CInlinePart> m_InlineParts;
};

// "512 bytes", "1.5 KB", "12 MB": how the page shows a size.
[[nodiscard]] std::u16string FormatByteSize(std::int64_t bytes);

// Bytes in the charset they declare, or in the code page when that charset is unknown here
// (up to the first zero byte).
[[nodiscard]] std::u16string DecodeBodyText(std::string_view bytes, std::string_view charset,
                                            unsigned codePage);

// The decoded text of every text body of the message (HTML read as text), each converted
// from its declared charset or the code page, one after the other: what the body search
// reads. Nothing is sanitized or kept.
[[nodiscard]] std::u16string MessageBodyText(std::string_view rawText, unsigned codePage);
