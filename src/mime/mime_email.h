// A parsed message with the list of its text and HTML bodies.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mime/mime_body.h"

// CMimeEmailContent is one body of a message as the viewer and the exports print it: its
// kind (plain text or HTML, decided by the Content-Type subtype alone), an owned copy of
// the part's decoded content (a zero byte follows it) and the part's charset parameter.
// BuildContents makes them; the tag stripping edits the copy in place.
class CMimeEmailContent {
public:
    enum Kind : std::int32_t { ContentNone = 0, ContentPlainText = 1, ContentHtml = 2 };

    CMimeEmailContent() = default;
    CMimeEmailContent(Kind kind, std::string_view text, std::string_view charset)
        : m_Kind(kind), m_Text(text), m_Charset(charset) {}
    CMimeEmailContent(const CMimeEmailContent&) = default;
    CMimeEmailContent(CMimeEmailContent&&) noexcept = default;
    CMimeEmailContent& operator=(const CMimeEmailContent&) = default;
    CMimeEmailContent& operator=(CMimeEmailContent&&) noexcept = default;
    virtual ~CMimeEmailContent() = default;

    [[nodiscard]] Kind GetKind() const { return m_Kind; }
    [[nodiscard]] std::string_view GetText() const { return m_Text; }
    // The text followed by its zero byte.
    [[nodiscard]] const char* GetTextData() const { return m_Text.c_str(); }
    [[nodiscard]] std::int32_t GetLength() const { return std::int32_t(m_Text.size()); }
    [[nodiscard]] const std::string& GetCharset() const { return m_Charset; }
    void SetText(std::string text) { m_Text = std::move(text); }

private:
    Kind m_Kind = ContentNone;
    std::string m_Text;
    std::string m_Charset;
};

// CMimeEmail is a parsed message (Parse of CMimeBody builds the tree) that also holds the
// text and HTML bodies of that tree in document order. GetContents builds that list from
// the tree's leaves on first use and keeps it; the list owns copies, so cleaning them
// leaves the tree as parsed.
class CMimeEmail : public CMimeMessage {
public:
    // Also forgets the contents list, which would no longer match the tree.
    void Reset() override;

    // Lists the text/plain and text/html leaves; runs once per object.
    void BuildContents();
    [[nodiscard]] std::span<CMimeEmailContent> GetContents();
    [[nodiscard]] bool IsContentsBuilt() const { return m_ContentsBuilt; }

    // Removes document-level markup (doctype, html, head, title and its text, meta, body)
    // from every content, so that an HTML body can sit inside another page. Builds the
    // contents first when needed.
    void StripDocumentTags();

private:
    bool m_ContentsBuilt = false;
    std::vector<CMimeEmailContent> m_Contents;
};
