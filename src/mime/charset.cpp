#include "mime/charset.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

#include "mailbox/hyper_string.h"
#include "mime/html_entities.h"
#include "platform/code_page.h"
#include "platform/text.h"

namespace {

// Shown in this order by the code pages dialog; lookups take the first match.
constexpr std::array<CCodePageRow, 122> kCodePageTable = {{
    {u"Western European/American (Latin 1-IBM)", 850, "ibm850"},
    {u"Western European/American (Latin 1-ISO)", 28591, "iso-8859-1"},
    {u"Western European/American (Latin 1-ISO)", 28591, "latin1"},
    {u"Western European/American (Latin 1-Windows)", 1252, "windows-1252"},
    {u"Western European/American (Roman-Macintosh)", 10000, "macintosh"},
    {u"Western European/American (Roman-Macintosh)", 10000, "x-mac-roman"},
    {u"Celtic (Latin 8)", 28604, "iso-8859-14"},
    {u"Celtic (Latin 8)", 28604, "latin8"},
    {u"French Canadian (IBM)", 863, "ibm863"},
    {u"Icelandic (IBM)", 861, "ibm861"},
    {u"Icelandic (Macintosh)", 10079, "x-mac-icelandic"},
    {u"New Western European (Latin 9)", 28605, "iso-8859-15"},
    {u"New Western European (Latin 9)", 28605, "latin9"},
    {u"New Western European (OEM Latin I)", 858, "ibm00858"},
    {u"Portuguese (IBM)", 860, "ibm860"},
    {u"Arabic (ASMO)", 708, "asmo-708"},
    {u"Arabic (ASMO-Transparent)", 720, "asmo-720"},
    {u"Arabic (IBM)", 864, "ibm864"},
    {u"Arabic (ISO)", 28596, "iso-8859-6"},
    {u"Arabic (ISO)", 28596, "arabic"},
    {u"Arabic/Farsi/Urdu (Windows)", 1256, "windows-1256"},
    {u"Arabic/Urdu (Macintosh)", 10004, "x-mac-arabic"},
    {u"Baltic (Latin 7-IBM)", 775, "ibm775"},
    {u"Baltic (Latin 7-ISO)", 28603, "iso-8859-13"},
    {u"Baltic (Latin 7-ISO)", 28603, "latin7"},
    {u"Baltic (Latin 7-Windows)", 1257, "windows-1257"},
    {u"North European/Baltic (Latin 4)", 28594, "iso-8859-4"},
    {u"North European/Baltic (Latin 4)", 28594, "latin4"},
    {u"Baltic/Central European (Macintosh)", 10029, "x-mac-ce"},
    {u"Central/Eastern European (Latin 2-IBM)", 852, "ibm852"},
    {u"Central/Eastern European (Latin 2-ISO)", 28592, "iso-8859-2"},
    {u"Central/Eastern European (Latin 2-ISO)", 28592, "latin2"},
    {u"Central/Eastern European (Latin 2-Windows)", 1250, "windows-1250"},
    {u"Croatian (Macintosh)", 10082, "x-mac-croatian"},
    {u"Romanian (Latin 10)", 28606, "iso-8859-16"},
    {u"Romanian (Latin 10)", 28606, "latin10"},
    {u"Romanian (Macintosh)", 10010, "x-mac-romanian"},
    {u"Cyrillic (ISO)", 28595, "iso-8859-5"},
    {u"Cyrillic (Windows)", 1251, "windows-1251"},
    {u"Cyrillic OEM (IBM)", 855, "ibm855"},
    {u"Russian Cyrillic (IBM)", 866, "ibm866"},
    {u"Russian Cyrillic (KOI)", 20866, "koi8-r"},
    {u"Russian Cyrillic (Macintosh)", 10007, "x-mac-cyrillic"},
    {u"Ukrainian Cyrillic (KOI)", 21866, "koi8-u"},
    {u"Ukrainian Cyrillic (KOI)", 21866, "koi8-ru"},
    {u"Ukrainian Cyrillic (Macintosh)", 10017, "x-mac-ukrainian"},
    {u"Greek (IBM)", 737, "ibm737"},
    {u"Greek (ISO)", 28597, "iso-8859-7"},
    {u"Greek (ISO)", 28597, "greek"},
    {u"Greek (Macintosh)", 10006, "x-mac-greek"},
    {u"Greek (Windows)", 1253, "windows-1253"},
    {u"Greek Modern (IBM)", 869, "ibm869"},
    {u"Hebrew (IBM)", 862, "ibm862"},
    {u"Hebrew (IBM)", 862, "dos-862"},
    {u"Hebrew (ISO-Logical)", 38598, "iso-8859-8-i"},
    {u"Hebrew (ISO-Visual)", 28598, "iso-8859-8"},
    {u"Hebrew (Macintosh)", 10005, "x-mac-hebrew"},
    {u"Hebrew (Windows)", 1255, "windows-1255"},
    {u"Assamese (ISCII)", 57006, "x-iscii-as"},
    {u"Bengali (ISCII)", 57003, "x-iscii-be"},
    {u"Devanagari (ISCII)", 57002, "x-iscii-de"},
    {u"Gujarati (ISCII)", 57010, "x-iscii-gu"},
    {u"Gurmukhi (ISCII)", 57011, "x-iscii-pa"},
    {u"Kannada (ISCII)", 57008, "x-iscii-ka"},
    {u"Malayalam (ISCII)", 57009, "x-iscii-ma"},
    {u"Oriya (ISCII)", 57007, "x-iscii-or"},
    {u"Tamil (ISCII)", 57004, "x-iscii-ta"},
    {u"Telugu (ISCII)", 57005, "x-iscii-te"},
    {u"Japanese (EUC)", 51932, "euc-jp"},
    {u"Japanese (ISO/JIS)", 50220, "iso-2022-jp"},
    {u"Japanese (ISO/JIS)", 50220, "jis_x0208-1983"},
    {u"Japanese (JIS-Allow 1-byte Kana)", 50221, ""},
    {u"Japanese (JIS-Allow 1-byte Kana, SO/SI)", 50222, ""},
    {u"Japanese (JIS-Extended)", 20932, "jis_x0212-1990"},
    {u"Japanese (Macintosh)", 10001, "x-mac-japanese"},
    {u"Japanese (ShiftJIS)", 932, "shift_jis"},
    {u"Korean (EUC)", 51949, "euc-kr"},
    {u"Korean (ISO)", 50225, "iso-2022-kr"},
    {u"Korean (Johab)", 1361, "johab"},
    {u"Korean (Johab)", 1361, "x-johab"},
    {u"Korean (Macintosh)", 10003, "x-mac-korean"},
    {u"Korean (UHC)", 949, "ks_c_5601-1987"},
    {u"Korean (UHC)", 949, "ksc5601"},
    {u"Nordic (IBM)", 865, "ibm865"},
    {u"North European/Nordic (Latin 6)", 28600, "iso-8859-10"},
    {u"North European/Nordic (Latin 6)", 28600, "latin6"},
    {u"Simplified Chinese (EUC)", 51936, "euc-cn"},
    {u"Simplified Chinese (GB18030)", 54936, "gb18030"},
    {u"Simplified Chinese (GB2312)", 20936, "gb2312"},
    {u"Simplified Chinese (GBK)", 936, "gbk"},
    {u"Simplified Chinese (HZ)", 52936, "hz-gb-2312"},
    {u"Simplified Chinese (ISO)", 50227, "iso-2022-cn"},
    {u"Simplified Chinese (Macintosh)", 10008, "x-mac-chinesesimp"},
    {u"South European (Latin 3)", 28593, "iso-8859-3"},
    {u"South European (Latin 3)", 28593, "latin3"},
    {u"Turkish (Latin 5-IBM)", 857, "ibm857"},
    {u"Turkish (Latin 5-ISO)", 28599, "iso-8859-9"},
    {u"Turkish (Latin 5-ISO)", 28599, "latin5"},
    {u"Turkish (Latin 5-Macintosh)", 10081, "x-mac-turkish"},
    {u"Turkish (Latin 5-Windows)", 1254, "windows-1254"},
    {u"Thai (ISO)", 28601, "iso-8859-11"},
    {u"Thai (Macintosh)", 10021, "x-mac-thai"},
    {u"Thai (TIS/Windows)", 874, "tis-620"},
    {u"Thai (TIS/Windows)", 874, "windows-874"},
    {u"Traditional Chinese (Big5)", 950, "big5"},
    {u"Traditional Chinese (EUC)", 51950, "euc-tw"},
    {u"Traditional Chinese (EUC)", 51950, "x-euc-tw"},
    {u"Traditional Chinese (HKSCS)", 54950, "big5-hkscs"},
    {u"Traditional Chinese (ISO)", 50229, "iso-2022-tw"},
    {u"Traditional Chinese (Macintosh)", 10002, "x-mac-chinesetrad"},
    {u"United States (ASCII)", 20127, "iso-646-us"},
    {u"United States (ASCII)", 20127, "us-ascii"},
    {u"United States (OEM)", 437, "ibm437"},
    {u"Vietnamese (Windows)", 1258, "windows-1258"},
    {u"Unicode (UTF-7)", 65000, "utf-7"},
    {u"Unicode (UTF-7)", 65000, "csunicode11utf7"},
    {u"Unicode (UTF-7)", 65000, "unicode-1-1-utf-7"},
    {u"Unicode (UTF-7)", 65000, "x-unicode-2-0-utf-7"},
    {u"Unicode (UTF-8)", 65001, "utf-8"},
    {u"Unicode (UTF-8)", 65001, "unicode-1-1-utf-8"},
    {u"Unicode (UTF-8)", 65001, "unicode-2-0-utf-8"},
    {u"Unicode (UTF-8)", 65001, "x-unicode-2-0-utf-8"},
}};

template <typename Char>
std::uint32_t FindCodePage(std::basic_string_view<Char> charset) {
    if (charset.empty()) {
        return 0;
    }
    for (const CCodePageRow& row : kCodePageTable) {
        if (EqualsNoCase(charset, row.m_Charset)) {
            return row.m_nCodePage;
        }
    }
    return 0;
}

// An unknown side takes the other side's code page.
void ResolveCodePages(std::uint32_t& source, std::uint32_t& target) {
    if (source == 0 && target != 0) {
        source = target;
    } else if (target == 0 && source != 0) {
        target = source;
    }
}

// The platform conversion reads up to a terminator; hand it one that lies inside the
// input, or a terminated copy when the input has none within its length.
const char* TerminatedText(const char* text, std::int32_t length, std::string& copy) {
    if (std::memchr(text, 0, static_cast<std::size_t>(length)) != nullptr) {
        return text;
    }
    copy.assign(text, static_cast<std::size_t>(length));
    return copy.c_str();
}

// The whole text with its terminator as UTF-16, the terminator counted.
bool DecodeToWide(std::uint32_t codePage, const char* text, std::int32_t length,
                  std::u16string& wide) {
    std::string copy;
    const char* source = TerminatedText(text, length, copy);
    const int needed = MultiByteToWide(codePage, source, -1, nullptr, 0);
    if (needed < 1) {
        return false;
    }
    wide.assign(static_cast<std::size_t>(needed), u'\0');
    const int converted = MultiByteToWide(codePage, source, -1, wide.data(), needed);
    if (converted == 0) {
        return false;
    }
    wide.resize(static_cast<std::size_t>(converted));
    return true;
}

// The wide text up to its terminator in the code page. The terminator itself is left to
// the caller: not every code page writes U+0000 as a zero byte (UTF-7 makes it "+AAA-").
bool EncodeFromWide(std::uint32_t codePage, std::u16string_view wide, std::string& bytes) {
    const std::u16string_view text = CutAtZero(wide);
    bytes.clear();
    if (text.empty()) {
        return IsCodePageAvailable(codePage);
    }
    const int length = static_cast<int>(text.size());
    const int needed = WideToMultiByte(codePage, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        return false;
    }
    bytes.assign(static_cast<std::size_t>(needed), '\0');
    const int converted = WideToMultiByte(codePage, text.data(), length, bytes.data(), needed);
    if (converted <= 0) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(converted));
    return true;
}

// '<' and '>' of UTF-16 text as "&lt;" and "&gt;".
void EscapeMarkup(std::u16string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'<' || text[i] == u'>') {
            text.replace(i, 1, text[i] == u'<' ? u"&lt;" : u"&gt;");
            i += 3;
        }
    }
}

// Whether the bytes '<' and '>' always stand for themselves in the code page: true for the
// single-byte code pages based on ASCII, UTF-8 and the Asian double-byte ones (their second
// bytes start at 0x40); false for the 7-bit stateful ones and wherever "<>" is not "<>".
bool MarkupBytesStandAlone(std::uint32_t codePage) {
    switch (codePage) {
        case 50220:
        case 50221:
        case 50222:
        case 50225:
        case 50227:
        case 50229:
        case 52936:
        case 65000:
            return false;
        default:
            break;
    }
    std::string probe;
    return WideToMultiByteString(codePage, u"<>", probe) && probe == "<>";
}

bool ConvertCodePages(std::uint32_t sourceCodePage, std::uint32_t targetCodePage, const char* text,
                      std::int32_t length, std::string& out, TextEscape escape) {
    out.clear();
    if (text == nullptr || length <= 0) {
        return false;
    }
    ResolveCodePages(sourceCodePage, targetCodePage);
    if (sourceCodePage == targetCodePage) {
        out.assign(CutAtZero({text, static_cast<std::size_t>(length)}));
        if (escape == TextEscape::Html) {
            out = EscapeMarkupInCodePage(out, targetCodePage);
        }
        return true;
    }

    std::u16string wide;
    if (!DecodeToWide(sourceCodePage, text, length, wide)) {
        return false;
    }
    if (escape != TextEscape::None) {
        std::int32_t escapedLength = 0;
        if (EncodeHtmlEntities(wide.c_str(), nullptr, escapedLength)) {
            std::u16string escaped(static_cast<std::size_t>(escapedLength), u'\0');
            // An empty text cannot be converted (capacity 1) and simply stays as it is.
            if (EncodeHtmlEntities(wide.c_str(), escaped.data(), escapedLength)) {
                wide = std::move(escaped);
            }
        }
    }
    // After the entities, whose '&' must not be escaped again.
    if (escape == TextEscape::Html) {
        wide.resize(CutAtZero(wide).size());
        EscapeMarkup(wide);
    }

    std::string bytes;
    if (!EncodeFromWide(targetCodePage, wide, bytes)) {
        return false;
    }
    out.assign(CutAtZero(bytes));
    return true;
}

bool ConvertCodePagesToBuffer(std::uint32_t sourceCodePage, std::uint32_t targetCodePage,
                              const char* text, std::int32_t length, char* buffer,
                              std::int32_t capacity, std::int32_t* written) {
    if (written != nullptr) {
        *written = 0;
    }
    if (text == nullptr || length < 1 || buffer == nullptr || capacity <= 0) {
        return false;
    }
    ResolveCodePages(sourceCodePage, targetCodePage);
    if (sourceCodePage == targetCodePage) {
        if (capacity < length) {
            return false;
        }
        std::memcpy(buffer, text, static_cast<std::size_t>(length));
        if (capacity > length) {
            buffer[length] = 0;
        }
        if (written != nullptr) {
            *written = length;
        }
        return true;
    }

    std::u16string wide;
    if (!DecodeToWide(sourceCodePage, text, length, wide)) {
        return false;
    }
    std::string bytes;
    if (!EncodeFromWide(targetCodePage, wide, bytes) ||
        bytes.size() + 1 > static_cast<std::size_t>(capacity)) {
        return false;
    }
    std::memcpy(buffer, bytes.data(), bytes.size());
    buffer[bytes.size()] = 0;
    if (written != nullptr) {
        *written = static_cast<std::int32_t>(bytes.size() + 1);
    }
    return true;
}

}  // namespace

std::span<const CCodePageRow> GetCodePageTable() {
    return kCodePageTable;
}

std::uint32_t CodePageFromCharset(std::u16string_view charset) {
    return FindCodePage(charset);
}

std::uint32_t CodePageFromCharset(std::string_view charset) {
    return FindCodePage(charset);
}

std::string_view UnlabelledTextCharset(std::uint32_t mailboxCodePage) {
    if (mailboxCodePage != kDefaultMailboxCodePage) {
        for (const CCodePageRow& row : GetCodePageTable()) {
            if (row.m_nCodePage == mailboxCodePage && !row.m_Charset.empty()) {
                return row.m_Charset;
            }
        }
    }
    return "iso-8859-1";
}

bool ConvertCharset(std::u16string_view sourceCharset, std::uint32_t targetCodePage,
                    const char* text, std::int32_t length, std::string& out, bool withEntities) {
    return ConvertCodePages(CodePageFromCharset(sourceCharset), targetCodePage, text, length, out,
                            withEntities ? TextEscape::Entities : TextEscape::None);
}

bool ConvertCharset(std::string_view sourceCharset, std::uint32_t targetCodePage, const char* text,
                    std::int32_t length, std::string& out, bool withEntities) {
    return ConvertCodePages(CodePageFromCharset(sourceCharset), targetCodePage, text, length, out,
                            withEntities ? TextEscape::Entities : TextEscape::None);
}

bool ConvertCharset(std::string_view sourceCharset, std::uint32_t targetCodePage, const char* text,
                    std::int32_t length, std::string& out, TextEscape escape) {
    return ConvertCodePages(CodePageFromCharset(sourceCharset), targetCodePage, text, length, out,
                            escape);
}

std::string EscapeMarkupInCodePage(std::string_view bytes, std::uint32_t codePage) {
    if (bytes.find_first_of("<>") == std::string_view::npos && MarkupBytesStandAlone(codePage)) {
        return std::string(bytes);
    }
    std::u16string wide;
    std::string converted;
    if (!MarkupBytesStandAlone(codePage) && MultiByteToWideString(codePage, bytes, wide)) {
        EscapeMarkup(wide);
        if (WideToMultiByteString(codePage, wide, converted)) {
            return converted;
        }
    }
    // Byte by byte: exact for the code pages above, and the safe side for any other.
    converted.reserve(bytes.size());
    for (const char c : bytes) {
        if (c == '<') {
            converted += "&lt;";
        } else if (c == '>') {
            converted += "&gt;";
        } else {
            converted += c;
        }
    }
    return converted;
}

bool ConvertCharsetToBuffer(std::u16string_view sourceCharset, std::uint32_t targetCodePage,
                            const char* text, std::int32_t length, char* buffer,
                            std::int32_t capacity, std::int32_t* written) {
    return ConvertCodePagesToBuffer(CodePageFromCharset(sourceCharset), targetCodePage, text,
                                    length, buffer, capacity, written);
}

bool ConvertCharsetToBuffer(std::string_view sourceCharset, std::uint32_t targetCodePage,
                            const char* text, std::int32_t length, char* buffer,
                            std::int32_t capacity, std::int32_t* written) {
    return ConvertCodePagesToBuffer(CodePageFromCharset(sourceCharset), targetCodePage, text,
                                    length, buffer, capacity, written);
}

void SetCharsetText(CZHyperString& target, const char* text, const char* charset) {
    target.SetCodePageText(text, CodePageFromCharset(charset != nullptr ? std::string_view(charset)
                                                                        : std::string_view()));
}
