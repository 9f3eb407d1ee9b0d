// CZHyperString: one text, held in exactly one of three representations: plain 8-bit text
// with no known code page (TypeAnsi, a stored subject), 8-bit text in a known Windows code
// page (TypeCodePage, a decoded header field), or UTF-16 (TypeWide, what screens and
// exports finally need). ToWide and ToCodePage move between them in place; a failed
// conversion keeps the previous representation. Buffers are zero-terminated and grow in
// steps of at least m_nGrowBy units.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CZHyperString {
public:
    enum Type : std::int32_t { TypeAnsi = 0, TypeWide = 1, TypeCodePage = 2 };

    CZHyperString() = default;
    CZHyperString(const CZHyperString& other) { Copy(other); }
    CZHyperString& operator=(const CZHyperString& other) {
        if (this != &other) {
            Copy(other);
        }
        return *this;
    }
    virtual ~CZHyperString() = default;

    void SetGrowBy(std::int32_t n) { m_nGrowBy = n <= 0 ? 1 : n; }
    void Empty();
    void SetType(std::int32_t type);
    void Reserve(std::int32_t n, bool keep);
    void SetText(const char* bytes, std::int32_t length);
    void SetText(std::string_view bytes) { SetText(bytes.data(), std::int32_t(bytes.size())); }
    // Stores UTF-16 text (kind TypeWide).
    void SetWide(std::u16string_view text);
    void Copy(const CZHyperString& other);

    [[nodiscard]] std::int32_t GetTextLength() const;
    bool ToWide();
    // The same, except that plain 8-bit text is read in the given code page (a mailbox's,
    // for text that names no charset); it is widened byte by byte only when that code
    // page has no converter.
    bool ToWide(std::uint32_t ansiCodePage);
    // ToWide, then the UTF-16 text; an empty text when the conversion fails.
    const char16_t* GetWide();
    bool ToCodePage(std::uint32_t codePage);
    void ReplaceChar(char16_t from, char16_t to);
    void SanitizeFileName();
    // Stores zero-terminated 8-bit text in the code page (TypeCodePage), or as plain 8-bit
    // text (TypeAnsi) when the code page is 0. A null text leaves the string empty.
    void SetCodePageText(const char* text, std::uint32_t codePage);
    // Drops the room after the text and its terminator, in the representation held.
    void ShrinkToFit();

    [[nodiscard]] std::int32_t GetType() const { return m_nType; }
    [[nodiscard]] std::uint32_t GetCodePage() const { return m_nCodePage; }
    [[nodiscard]] std::int32_t GetCapacity() const { return m_nCapacity; }
    [[nodiscard]] std::int32_t GetGrowBy() const { return m_nGrowBy; }
    [[nodiscard]] bool IsEmpty() const { return GetTextLength() == 0; }
    // The 8-bit text ("" when there is none).
    [[nodiscard]] const char* GetText() const { return m_pText ? m_pText.get() : ""; }
    [[nodiscard]] std::string_view GetTextView() const;
    // The UTF-16 text as held, without converting ("" when there is none).
    [[nodiscard]] const char16_t* GetWideText() const { return m_pWide ? m_pWide.get() : u""; }
    [[nodiscard]] std::u16string_view GetWideView() const;

private:
    std::int32_t m_nType = TypeAnsi;
    std::uint32_t m_nCodePage = 0;
    std::int32_t m_nCapacity = 0;
    std::int32_t m_nGrowBy = 2000;
    std::unique_ptr<char[]> m_pText;
    std::unique_ptr<char16_t[]> m_pWide;
};
