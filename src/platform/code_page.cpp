// Code page conversion over ICU converters, with glibc iconv for the few code pages ICU
// does not carry. Converters are opened on first use and kept for the life of the process:
// the exports convert every message body, and opening an ICU converter costs far more
// than using one.
#include "platform/code_page.h"
#include "platform/text.h"

#include <iconv.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

namespace {

// A byte whose meaning the base converter gets wrong for this code page.
struct ByteOverride {
    unsigned char byte;
    char16_t unit;
};

struct CodePageRow {
    unsigned codePage;
    const char* icuName;                      // nullptr: ICU has no converter for it
    const char* iconvName;                    // tried when ICU has none
    const ByteOverride* overrides = nullptr;  // single-byte code pages only
    std::size_t overrideCount = 0;
};

// glibc's MAC-IS puts D with stroke and the daggers where Apple and Windows have the
// Icelandic letters Ý, Ð, ð and ý.
constexpr ByteOverride kMacIcelandicFixes[] = {
    {0xA0, u'\u00DD'}, {0xDC, u'\u00D0'}, {0xDD, u'\u00F0'}, {0xE0, u'\u00FD'}};

// Every code page the charset table can name. The ICU names are aliases that resolve to
// the Windows flavour of each table where ICU has several (windows-1252 is ibm-5348, which
// maps 0x80 to the euro sign).
constexpr CodePageRow kCodePages[] = {
    {850, "ibm-850", nullptr},
    {28591, "ISO-8859-1", nullptr},
    {1252, "windows-1252", nullptr},
    {10000, "macintosh", nullptr},
    {28604, "iso-8859-14", nullptr},
    {863, "ibm-863", nullptr},
    {861, "ibm-861", nullptr},
    {10079, nullptr, "MAC-IS", kMacIcelandicFixes, std::size(kMacIcelandicFixes)},
    {28605, "iso-8859-15", nullptr},
    {858, "ibm-858", nullptr},
    {860, "ibm-860", nullptr},
    {708, "ASMO-708", nullptr},
    {720, "ibm-720", nullptr},
    {864, "ibm-864", nullptr},
    {28596, "iso-8859-6", nullptr},
    {1256, "windows-1256", nullptr},
    {10004, nullptr, nullptr},  // x-mac-arabic
    {775, "ibm-775", nullptr},
    {28603, "iso-8859-13", nullptr},
    {1257, "windows-1257", nullptr},
    {28594, "iso-8859-4", nullptr},
    {10029, "x-mac-ce", nullptr},
    {852, "ibm-852", nullptr},
    {28592, "iso-8859-2", nullptr},
    {1250, "windows-1250", nullptr},
    {10082, nullptr, nullptr},  // x-mac-croatian
    {28606, nullptr, "ISO-8859-16"},
    {10010, nullptr, nullptr},  // x-mac-romanian
    {28595, "iso-8859-5", nullptr},
    {1251, "windows-1251", nullptr},
    {855, "ibm-855", nullptr},
    {866, "ibm-866", nullptr},
    {20866, "koi8-r", nullptr},
    {10007, "x-mac-cyrillic", nullptr},
    {21866, "koi8-u", nullptr},
    {10017, nullptr, "MAC-UK"},
    {737, "ibm-737", nullptr},
    {28597, "iso-8859-7", nullptr},
    {10006, "x-mac-greek", nullptr},
    {1253, "windows-1253", nullptr},
    {869, "ibm-869", nullptr},
    {862, "ibm-862", nullptr},
    {38598, "iso-8859-8-i", nullptr},  // same bytes as 28598; only the display order differs
    {28598, "iso-8859-8", nullptr},
    {10005, nullptr, nullptr},  // x-mac-hebrew
    {1255, "windows-1255", nullptr},
    {57006, "x-iscii-as", nullptr},
    {57003, "x-iscii-be", nullptr},
    {57002, "x-iscii-de", nullptr},
    {57010, "x-iscii-gu", nullptr},
    {57011, "x-iscii-pa", nullptr},
    {57008, "x-iscii-ka", nullptr},
    {57009, "x-iscii-ma", nullptr},
    {57007, "x-iscii-or", nullptr},
    {57004, "x-iscii-ta", nullptr},
    {57005, "x-iscii-te", nullptr},
    {51932, "euc-jp", nullptr},
    {50220, "ISO-2022-JP", nullptr},
    // ISO-2022-JP already reads ESC ( I kana; JIS7 also reads (and writes) SO/SI kana.
    {50221, "ISO-2022-JP", nullptr},
    {50222, "JIS7", nullptr},
    {20932, "euc-jp", nullptr},  // JIS X 0208 + 0212 in EUC form
    {10001, nullptr, nullptr},   // x-mac-japanese
    {932, "windows-932", nullptr},
    {51949, "euc-kr", nullptr},
    {50225, "ISO-2022-KR", nullptr},
    {1361, nullptr, "JOHAB"},
    {10003, nullptr, nullptr},  // x-mac-korean
    {949, "windows-949", nullptr},
    {865, "ibm-865", nullptr},
    {28600, "iso-8859-10", nullptr},
    {51936, "euc-cn", nullptr},
    {54936, "gb18030", nullptr},
    {20936, "gb2312", nullptr},
    {936, "windows-936", nullptr},
    {52936, "HZ", nullptr},
    {50227, "ISO-2022-CN", nullptr},
    {10008, nullptr, nullptr},  // x-mac-chinesesimp
    {28593, "iso-8859-3", nullptr},
    {857, "ibm-857", nullptr},
    {28599, "iso-8859-9", nullptr},
    {10081, "x-mac-turkish", nullptr},
    {1254, "windows-1254", nullptr},
    {28601, "iso-8859-11", nullptr},
    {10021, nullptr, nullptr},  // x-mac-thai
    {874, "windows-874", nullptr},
    {950, "windows-950", nullptr},
    {51950, "euc-tw", nullptr},
    {54950, "big5-hkscs", nullptr},
    {50229, nullptr, nullptr},     // iso-2022-tw
    {10002, nullptr, nullptr},     // x-mac-chinesetrad
    {20127, "US-ASCII", nullptr},  // bytes of 0x80 and above read as U+FFFD
    {437, "ibm-437", nullptr},
    {1258, "windows-1258", nullptr},
    {65000, "UTF-7", nullptr},
    {65001, "UTF-8", nullptr},
};

constexpr char16_t kReplacement = u'\uFFFD';
constexpr char kDefaultChar = '?';

const CodePageRow* FindRow(unsigned codePage) {
    for (const CodePageRow& row : kCodePages) {
        if (row.codePage == codePage) {
            return &row;
        }
    }
    return nullptr;
}

// One open converter. Both directions append to the output and convert the whole input
// in one call; false only when the converter itself breaks down.
class CConverter {
public:
    virtual ~CConverter() = default;
    virtual bool Decode(std::string_view in, std::u16string& out) = 0;
    virtual bool Encode(std::u16string_view in, std::string& out) = 0;
};

// UTF-8 goes through ICU's string functions: no converter state, and one pass each way
// because the output bound is known.
class CUtf8Converter final : public CConverter {
    // ICU counts in int32_t, and the output may be three times the input.
    static constexpr std::size_t kMaxUtf8Input = std::numeric_limits<int32_t>::max() / 3;

public:
    bool Decode(std::string_view in, std::u16string& out) override {
        if (in.size() > kMaxUtf8Input) {
            return false;
        }
        const std::size_t base = out.size();
        out.resize(base + in.size());  // never more units than bytes
        UErrorCode err = U_ZERO_ERROR;
        int32_t written = 0;
        u_strFromUTF8WithSub(out.data() + base, static_cast<int32_t>(in.size()), &written,
                             in.data(), static_cast<int32_t>(in.size()), kReplacement, nullptr,
                             &err);
        if (U_FAILURE(err)) {
            out.resize(base);
            return false;
        }
        out.resize(base + static_cast<std::size_t>(written));
        return true;
    }

    bool Encode(std::u16string_view in, std::string& out) override {
        if (in.size() > kMaxUtf8Input) {
            return false;
        }
        const std::size_t base = out.size();
        out.resize(base + in.size() * 3);  // a unit never needs more than three bytes
        UErrorCode err = U_ZERO_ERROR;
        int32_t written = 0;
        u_strToUTF8WithSub(out.data() + base, static_cast<int32_t>(in.size() * 3), &written,
                           in.data(), static_cast<int32_t>(in.size()), kReplacement, nullptr, &err);
        if (U_FAILURE(err)) {
            out.resize(base);
            return false;
        }
        out.resize(base + static_cast<std::size_t>(written));
        return true;
    }
};

// Every undecodable or unassigned sequence becomes one U+FFFD, whatever ICU's own
// substitution for the table would be (some single-byte tables would give U+001A).
// With a context (UTF-7 only), a lone 7-bit byte that the strict UTF-7 rules leave out,
// such as a control, '\\' or '~', reads as itself: senders write them unencoded, and
// Windows takes them so.
void ToUnicodeReplacement(const void* context, UConverterToUnicodeArgs* args, const char* codeUnits,
                          int32_t length, UConverterCallbackReason reason, UErrorCode* err) {
    if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) {
        return;
    }
    *err = U_ZERO_ERROR;
    UChar replacement = kReplacement;
    if (context != nullptr && length == 1 && static_cast<unsigned char>(codeUnits[0]) < 0x80) {
        replacement = static_cast<UChar>(codeUnits[0]);
    }
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}

constexpr bool kPassAscii = true;

struct UConverterCloser {
    void operator()(UConverter* cnv) const { ucnv_close(cnv); }
};
using UConverterPtr = std::unique_ptr<UConverter, UConverterCloser>;

class CIcuConverter final : public CConverter {
public:
    static std::unique_ptr<CConverter> Open(const char* name) {
        UErrorCode err = U_ZERO_ERROR;
        UConverterPtr cnv(ucnv_open(name, &err));
        // U_USING_DEFAULT_WARNING would mean ICU fell back to another table.
        if (U_FAILURE(err) || err == U_USING_DEFAULT_WARNING || !cnv) {
            return nullptr;
        }
        const UConverterType type = ucnv_getType(cnv.get());
        err = U_ZERO_ERROR;
        ucnv_setToUCallBack(cnv.get(), ToUnicodeReplacement,
                            type == UCNV_UTF7 ? &kPassAscii : nullptr, nullptr, nullptr, &err);
        if (U_FAILURE(err)) {
            return nullptr;
        }
        // Windows writes its default character '?'; the Unicode forms keep ICU's own
        // (U+FFFD for a lone surrogate), as Windows does for them.
        if (type != UCNV_UTF7 && type != UCNV_UTF8) {
            err = U_ZERO_ERROR;
            ucnv_setSubstChars(cnv.get(), &kDefaultChar, 1, &err);
        }
        return std::unique_ptr<CConverter>(new CIcuConverter(std::move(cnv)));
    }

    bool Decode(std::string_view in, std::u16string& out) override {
        ucnv_resetToUnicode(m_pConverter.get());
        const std::size_t base = out.size();
        std::size_t used = base;
        out.resize(base + in.size() + 16);
        const char* source = in.data();
        const char* const sourceEnd = in.data() + in.size();
        for (;;) {
            UChar* target = out.data() + used;
            UErrorCode err = U_ZERO_ERROR;
            ucnv_toUnicode(m_pConverter.get(), &target, out.data() + out.size(), &source, sourceEnd,
                           nullptr, true, &err);
            used = static_cast<std::size_t>(target - out.data());
            if (err == U_BUFFER_OVERFLOW_ERROR) {
                out.resize(out.size() * 2);
                continue;
            }
            if (U_FAILURE(err)) {
                out.resize(base);
                return false;
            }
            break;
        }
        out.resize(used);
        return true;
    }

    bool Encode(std::u16string_view in, std::string& out) override {
        ucnv_resetFromUnicode(m_pConverter.get());
        const std::size_t base = out.size();
        std::size_t used = base;
        out.resize(base + in.size() * 2 + 16);
        const UChar* source = in.data();
        const UChar* const sourceEnd = in.data() + in.size();
        for (;;) {
            char* target = out.data() + used;
            UErrorCode err = U_ZERO_ERROR;
            ucnv_fromUnicode(m_pConverter.get(), &target, out.data() + out.size(), &source,
                             sourceEnd, nullptr, true, &err);
            used = static_cast<std::size_t>(target - out.data());
            if (err == U_BUFFER_OVERFLOW_ERROR) {
                out.resize(out.size() * 2);
                continue;
            }
            if (U_FAILURE(err)) {
                out.resize(base);
                return false;
            }
            break;
        }
        out.resize(used);
        return true;
    }

private:
    explicit CIcuConverter(UConverterPtr cnv) : m_pConverter(std::move(cnv)) {}

    UConverterPtr m_pConverter;
};

class CIconvHandle {
public:
    CIconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconvHandle() {
        if (IsOpen()) {
            iconv_close(m_cd);
        }
    }
    CIconvHandle(const CIconvHandle&) = delete;
    CIconvHandle& operator=(const CIconvHandle&) = delete;

    [[nodiscard]] bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    [[nodiscard]] iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// The wide side of iconv in host byte order, without a byte order mark.
constexpr const char* kIconvUtf16 =
    std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

// Runs iconv over the whole input, appending to out. A sequence iconv cannot take is
// written as the replacement, and skipInput tells how many input bytes it covers.
template <typename Out, typename SkipFn>
bool RunIconv(iconv_t cd, std::string_view in, Out& out, typename Out::value_type replacement,
              SkipFn skipInput) {
    using Unit = typename Out::value_type;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const std::size_t base = out.size();
    std::size_t used = base;
    out.resize(base + in.size() + 16);
    char* source = const_cast<char*>(in.data());  // iconv's signature; never written
    std::size_t sourceLeft = in.size();
    for (;;) {
        const bool flushing = sourceLeft == 0;
        char* target = reinterpret_cast<char*>(out.data() + used);
        std::size_t targetLeft = (out.size() - used) * sizeof(Unit);
        const std::size_t rc = flushing ? iconv(cd, nullptr, nullptr, &target, &targetLeft)
                                        : iconv(cd, &source, &sourceLeft, &target, &targetLeft);
        const int error = errno;
        used = out.size() - targetLeft / sizeof(Unit);
        if (rc != static_cast<std::size_t>(-1)) {
            if (flushing) {
                break;
            }
            continue;
        }
        if (error == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        if (flushing || (error != EILSEQ && error != EINVAL)) {
            out.resize(base);
            return false;
        }
        if (used == out.size()) {
            out.resize(out.size() * 2);
        }
        out[used++] = replacement;
        const std::size_t skip =
            std::min(skipInput(std::string_view(source, sourceLeft)), sourceLeft);
        source += skip;
        sourceLeft -= skip;
    }
    out.resize(used);
    return true;
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

class CIconvConverter final : public CConverter {
public:
    static std::unique_ptr<CConverter> Open(const char* name) {
        auto cnv = std::unique_ptr<CIconvConverter>(new CIconvConverter(name));
        if (!cnv->m_toWide.IsOpen() || !cnv->m_fromWide.IsOpen()) {
            return nullptr;
        }
        return cnv;
    }

    bool Decode(std::string_view in, std::u16string& out) override {
        // One replacement per bad byte, then iconv tries again from the next one.
        return RunIconv(m_toWide.Get(), in, out, kReplacement,
                        [](std::string_view) -> std::size_t { return 1; });
    }

    bool Encode(std::u16string_view in, std::string& out) override {
        const std::string_view bytes(reinterpret_cast<const char*>(in.data()),
                                     in.size() * sizeof(char16_t));
        // One default character per code point, a surrogate pair included.
        return RunIconv(m_fromWide.Get(), bytes, out, kDefaultChar,
                        [](std::string_view rest) -> std::size_t {
                            char16_t pair[2] = {};
                            std::memcpy(pair, rest.data(), std::min(rest.size(), sizeof pair));
                            const bool isPair = rest.size() >= sizeof pair &&
                                                IsHighSurrogate(pair[0]) && IsLowSurrogate(pair[1]);
                            return isPair ? sizeof pair : sizeof(char16_t);
                        });
    }

private:
    explicit CIconvConverter(const char* name)
        : m_toWide(kIconvUtf16, name), m_fromWide(name, kIconvUtf16) {}

    CIconvHandle m_toWide;
    CIconvHandle m_fromWide;
};

// A single-byte code page read through a table: the base converter's answer for every
// byte, with the row's corrections on top.
class CTableConverter final : public CConverter {
public:
    static std::unique_ptr<CConverter> Build(CConverter& base, const CodePageRow& row) {
        auto table = std::unique_ptr<CTableConverter>(new CTableConverter);
        for (unsigned b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            std::u16string unit;
            if (!base.Decode(std::string_view(&byte, 1), unit) || unit.size() != 1) {
                return nullptr;  // not a single-byte table after all
            }
            table->m_toWide[b] = unit[0];
        }
        for (std::size_t i = 0; i < row.overrideCount; ++i) {
            table->m_toWide[row.overrides[i].byte] = row.overrides[i].unit;
        }
        // Lowest byte first wins where two bytes read as the same character.
        for (unsigned b = 256; b-- > 0;) {
            if (table->m_toWide[b] != kReplacement) {
                table->m_fromWide[table->m_toWide[b]] = static_cast<char>(b);
            }
        }
        return table;
    }

    bool Decode(std::string_view in, std::u16string& out) override {
        out.reserve(out.size() + in.size());
        for (unsigned char byte : in) {
            out.push_back(m_toWide[byte]);
        }
        return true;
    }

    bool Encode(std::u16string_view in, std::string& out) override {
        out.reserve(out.size() + in.size());
        for (std::size_t i = 0; i < in.size(); ++i) {
            const char16_t unit = in[i];
            if (IsHighSurrogate(unit) && i + 1 < in.size() && IsLowSurrogate(in[i + 1])) {
                ++i;  // a pair is one character, and no single-byte table holds it
                out.push_back(kDefaultChar);
                continue;
            }
            auto it = m_fromWide.find(unit);
            out.push_back(it != m_fromWide.end() ? it->second : kDefaultChar);
        }
        return true;
    }

private:
    CTableConverter() = default;

    std::array<char16_t, 256> m_toWide{};
    std::unordered_map<char16_t, char> m_fromWide;
};

std::unique_ptr<CConverter> OpenConverter(unsigned codePage) {
    if (codePage == kCodePageUtf8) {
        return std::make_unique<CUtf8Converter>();
    }
    const CodePageRow* row = FindRow(codePage);
    if (row == nullptr) {
        return nullptr;
    }
    std::unique_ptr<CConverter> cnv;
    if (row->icuName != nullptr) {
        cnv = CIcuConverter::Open(row->icuName);
    }
    if (!cnv && row->iconvName != nullptr) {
        cnv = CIconvConverter::Open(row->iconvName);
    }
    if (cnv && row->overrideCount != 0) {
        cnv = CTableConverter::Build(*cnv, *row);
    }
    return cnv;
}

// The converters of every code page asked for so far, the failures included, so an
// unknown code page is looked up once. The lock is held for the whole conversion because
// a converter carries state while it runs.
class CConverterCache {
public:
    template <typename Fn>
    auto With(unsigned codePage, Fn&& fn) -> decltype(fn(std::declval<CConverter*>())) {
        if (codePage == 0) {
            codePage = kDefaultMailboxCodePage;
        }
        std::lock_guard lock(m_mutex);
        auto it = m_converters.find(codePage);
        if (it == m_converters.end()) {
            it = m_converters.emplace(codePage, OpenConverter(codePage)).first;
        }
        return fn(it->second.get());
    }

private:
    std::mutex m_mutex;
    std::unordered_map<unsigned, std::unique_ptr<CConverter>> m_converters;
};

CConverterCache& Cache() {
    static CConverterCache cache;
    return cache;
}

bool Decode(unsigned codePage, std::string_view in, std::u16string& out) {
    return Cache().With(codePage, [&](CConverter* cnv) { return cnv && cnv->Decode(in, out); });
}

bool Encode(unsigned codePage, std::u16string_view in, std::string& out) {
    return Cache().With(codePage, [&](CConverter* cnv) { return cnv && cnv->Encode(in, out); });
}

// The Windows calling shape around a whole-buffer conversion: size query, exact copy,
// 0 for anything that does not fit.
template <typename Unit>
int Deliver(const std::basic_string<Unit>& converted, Unit* dst, int dstCapacity) {
    if (converted.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return 0;
    }
    const int needed = static_cast<int>(converted.size());
    if (dstCapacity == 0) {
        return needed;
    }
    if (needed > dstCapacity) {
        return 0;
    }
    std::copy(converted.begin(), converted.end(), dst);
    return needed;
}

// The source as given: a length of -1 runs to the first zero, which is not part of the
// view but added by the callers after the conversion.
template <typename Unit>
std::optional<std::basic_string_view<Unit>> SourceView(const Unit* src, int srcLength) {
    if (src == nullptr || srcLength == 0 || srcLength < -1) {
        return std::nullopt;
    }
    if (srcLength == -1) {
        return std::basic_string_view<Unit>(src, std::char_traits<Unit>::length(src));
    }
    return std::basic_string_view<Unit>(src, static_cast<std::size_t>(srcLength));
}

}  // namespace

int MultiByteToWide(unsigned codePage, const char* src, int srcLength, char16_t* dst,
                    int dstCapacity) {
    const auto source = SourceView(src, srcLength);
    if (!source || dstCapacity < 0 || (dstCapacity > 0 && dst == nullptr)) {
        return 0;
    }
    // Reused between calls: most conversions are of similar size.
    thread_local std::u16string scratch;
    scratch.clear();
    if (!Decode(codePage, *source, scratch)) {
        return 0;
    }
    // The terminator is converted and counted, but always as a plain zero: UTF-7 would
    // take a bare zero byte for an illegal character.
    if (srcLength == -1) {
        scratch.push_back(u'\0');
    }
    return Deliver(scratch, dst, dstCapacity);
}

int WideToMultiByte(unsigned codePage, const char16_t* src, int srcLength, char* dst,
                    int dstCapacity) {
    const auto source = SourceView(src, srcLength);
    if (!source || dstCapacity < 0 || (dstCapacity > 0 && dst == nullptr)) {
        return 0;
    }
    thread_local std::string scratch;
    scratch.clear();
    if (!Encode(codePage, *source, scratch)) {
        return 0;
    }
    if (srcLength == -1) {
        scratch.push_back('\0');
    }
    return Deliver(scratch, dst, dstCapacity);
}

bool IsCodePageAvailable(unsigned codePage) {
    return Cache().With(codePage, [](CConverter* cnv) { return cnv != nullptr; });
}

bool MultiByteToWideString(unsigned codePage, std::string_view src, std::u16string& out) {
    out.clear();
    return Decode(codePage, src, out);
}

bool WideToMultiByteString(unsigned codePage, std::u16string_view src, std::string& out) {
    out.clear();
    return Encode(codePage, src, out);
}

std::u16string Utf8ToWide(std::string_view utf8) {
    std::u16string out;
    CUtf8Converter().Decode(utf8, out);
    return out;
}

std::string WideToUtf8(std::u16string_view wide) {
    std::string out;
    CUtf8Converter().Encode(wide, out);
    return out;
}

namespace {

constexpr AnsiCodePage kAnsiCodePages[] = {
    {1252, u"Western European"},
    {1250, u"Central European"},
    {1251, u"Cyrillic"},
    {1253, u"Greek"},
    {1254, u"Turkish"},
    {1255, u"Hebrew"},
    {1256, u"Arabic"},
    {1257, u"Baltic"},
    {1258, u"Vietnamese"},
    {874, u"Thai"},
    {932, u"Japanese"},
    {936, u"Simplified Chinese"},
    {949, u"Korean"},
    {950, u"Traditional Chinese"},
};

}  // namespace

std::span<const AnsiCodePage> GetAnsiCodePages() {
    return kAnsiCodePages;
}

bool IsAnsiCodePage(std::uint32_t codePage) {
    return std::any_of(std::begin(kAnsiCodePages), std::end(kAnsiCodePages),
                       [codePage](const AnsiCodePage& cp) { return cp.codePage == codePage; });
}

std::u16string AnsiCodePageName(std::uint32_t codePage) {
    return u"Windows-" + Utf8ToWide(std::to_string(codePage));
}

std::u16string AnsiCodePageTitle(std::uint32_t codePage) {
    for (const AnsiCodePage& cp : kAnsiCodePages) {
        if (cp.codePage == codePage) {
            return std::u16string(cp.script) + u", " + AnsiCodePageName(codePage);
        }
    }
    return AnsiCodePageName(codePage);
}

std::u16string MailboxBytesToWide(std::uint32_t codePage, std::string_view bytes) {
    bytes = CutAtZero(bytes);
    std::u16string wide;
    if (!MultiByteToWideString(codePage, bytes, wide)) {
        wide.clear();
        for (const char c : bytes) {
            wide.push_back(char16_t(static_cast<unsigned char>(c)));
        }
    }
    return wide;
}

std::string MailboxBytesToUtf8(std::uint32_t codePage, std::string_view bytes) {
    return WideToUtf8(MailboxBytesToWide(codePage, bytes));
}
