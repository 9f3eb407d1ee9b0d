#include "analysis/quick_filter.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <memory>

#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mime/message_page.h"
#include "platform/code_page.h"
#include "platform/progress_stepper.h"
#include "platform/text.h"
#include "platform/ui_services.h"

namespace {

// Between the fields of a key: no query word holds it, so no match spans two fields.
constexpr char16_t kFieldSeparator = u'\u0001';
constexpr std::int32_t kProgressEvery = 256;

// Runs an ICU string function that reports the size it needs.
template <typename Function>
std::u16string IcuString(std::size_t guess, Function function) {
    std::u16string out(guess, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = function(reinterpret_cast<UChar*>(out.data()), int32_t(out.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.assign(std::size_t(n), u'\0');
        status = U_ZERO_ERROR;
        n = function(reinterpret_cast<UChar*>(out.data()), int32_t(out.size()), &status);
    }
    if (U_FAILURE(status)) {
        return {};
    }
    out.resize(std::size_t(n));
    return out;
}

void AppendFoldedAscii(std::u16string& out, std::u16string_view text) {
    const std::size_t at = out.size();
    out.resize(at + text.size());
    std::transform(text.begin(), text.end(), out.begin() + std::ptrdiff_t(at), [](char16_t c) {
        return c < 0x20 || c == 0x7F ? u' ' : c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
    });
}

void AppendFoldedUnicode(std::u16string& out, std::u16string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfkd = unorm2_getNFKDInstance(&status);
    if (U_FAILURE(status) || text.size() > std::size_t(INT32_MAX / 4)) {
        return;
    }
    const auto* src = reinterpret_cast<const UChar*>(text.data());
    const auto length = int32_t(text.size());
    const std::u16string decomposed =
        IcuString(text.size() * 2 + 8, [&](UChar* dst, int32_t capacity, UErrorCode* s) {
            return unorm2_normalize(nfkd, src, length, dst, capacity, s);
        });
    const std::u16string folded =
        IcuString(decomposed.size() + 8, [&](UChar* dst, int32_t capacity, UErrorCode* s) {
            return u_strFoldCase(dst, capacity, reinterpret_cast<const UChar*>(decomposed.data()),
                                 int32_t(decomposed.size()), U_FOLD_CASE_DEFAULT, s);
        });
    const auto size = int32_t(folded.size());
    for (int32_t i = 0; i < size;) {
        UChar32 c = 0;
        U16_NEXT(folded.data(), i, size, c);
        if (u_charType(c) == U_NON_SPACING_MARK && c != 0x3099 && c != 0x309A) {
            continue;
        }
        if (u_iscntrl(c)) {
            c = u' ';
        }
        if (c >= 0x10000) {
            out.push_back(U16_LEAD(c));
            out.push_back(U16_TRAIL(c));
        } else {
            out.push_back(char16_t(c));
        }
    }
}

// ASCII runs are folded by hand and only the rest goes through ICU. Splitting there changes
// nothing: an ASCII character never decomposes, never combines with what follows, and
// canonical reordering stops at it.
void AppendFolded(std::u16string& out, std::u16string_view text) {
    auto isAscii = [](char16_t c) { return c < 0x80; };
    while (!text.empty()) {
        const auto ascii =
            std::size_t(std::find_if_not(text.begin(), text.end(), isAscii) - text.begin());
        AppendFoldedAscii(out, text.substr(0, ascii));
        text.remove_prefix(ascii);
        const auto other =
            std::size_t(std::find_if(text.begin(), text.end(), isAscii) - text.begin());
        if (other > 0) {
            AppendFoldedUnicode(out, text.substr(0, other));
            text.remove_prefix(other);
        }
    }
}

std::u16string Wide(unsigned codePage, std::string_view bytes) {
    std::u16string text;
    if (!MultiByteToWideString(codePage, CutAtZero(bytes), text)) {
        text.clear();
    }
    return text;
}

// The subject as stored (8-bit, read in the code page) or as already converted.
std::u16string SubjectText(CEmailDBX& entry, unsigned codePage) {
    return entry.GetSubjectText(codePage);
}

bool HoldsAll(std::u16string_view key, std::u16string_view body,
              const std::vector<std::u16string>& terms) {
    return std::all_of(terms.begin(), terms.end(), [&](const std::u16string& t) {
        return key.find(t) != std::u16string_view::npos ||
               body.find(t) != std::u16string_view::npos;
    });
}

}  // namespace

std::u16string FoldForSearch(std::u16string_view text) {
    std::u16string out;
    AppendFolded(out, text);
    return out;
}

std::u16string FilteredCountText(std::uint32_t shown, std::uint32_t total) {
    return FormatText("%lu of %lu emails", static_cast<unsigned long>(shown),
                      static_cast<unsigned long>(total));
}

void CQuickFilter::Clear() {
    m_LastTerms.clear();
    m_LastKeys.clear();
    m_Keys.clear();
    m_Starts.clear();
    m_Entries.clear();
    m_KeyOf.clear();
    m_RowKey.clear();
}

void CQuickFilter::Build(CEmailArray& emails, unsigned codePage) {
    Clear();
    const std::int32_t n = emails.GetCount();
    m_Starts.reserve(std::size_t(std::max(n, 0)) + 1);
    m_Keys.reserve(std::size_t(std::max(n, 0)) * 64);
    for (std::int32_t row = 0; row < n; ++row) {
        CEmailDBX* entry = emails.Get(row);
        if (entry == nullptr) {
            continue;
        }
        m_KeyOf.emplace(entry, std::int32_t(m_Entries.size()));
        m_Entries.push_back(entry);
        m_Starts.push_back(std::uint32_t(m_Keys.size()));
        AppendFolded(m_Keys, SubjectText(*entry, codePage));
        m_Keys.push_back(kFieldSeparator);
        AppendFolded(m_Keys, Wide(codePage, entry->m_SenderName));
        m_Keys.push_back(kFieldSeparator);
        AppendFolded(m_Keys, Wide(codePage, entry->m_SenderAddress));
        m_Keys.push_back(kFieldSeparator);
        AppendFolded(m_Keys, Wide(codePage, entry->m_RecipientName));
        m_Keys.push_back(kFieldSeparator);
        AppendFolded(m_Keys, Wide(codePage, entry->m_RecipientAddress));
        m_Keys.push_back(kFieldSeparator);
    }
    m_Starts.push_back(std::uint32_t(m_Keys.size()));
    Reindex(emails);
}

void CQuickFilter::Reindex(const CEmailArray& emails) {
    const std::int32_t n = emails.GetCount();
    m_RowKey.assign(std::size_t(std::max(n, 0)), -1);
    for (std::int32_t row = 0; row < n; ++row) {
        const auto it = m_KeyOf.find(emails.Get(row));
        if (it != m_KeyOf.end()) {
            m_RowKey[std::size_t(row)] = it->second;
        }
    }
}

std::vector<std::u16string> CQuickFilter::QueryTerms(std::u16string_view query) {
    const std::u16string folded = FoldForSearch(query);
    std::vector<std::u16string> terms;
    std::u16string term;
    for (const char16_t c : folded + u' ') {
        if (c == u' ' || c == u'\t' || c == 0x3000 || c == kFieldSeparator) {
            if (!term.empty() && std::find(terms.begin(), terms.end(), term) == terms.end()) {
                terms.push_back(term);
            }
            term.clear();
        } else {
            term.push_back(c);
        }
    }
    // The longest word first: it rules out the most keys in the one scan of all of them.
    std::stable_sort(terms.begin(), terms.end(),
                     [](const auto& a, const auto& b) { return a.size() > b.size(); });
    return terms;
}

std::vector<char> CQuickFilter::MatchKeys(const std::vector<std::u16string>& terms) const {
    const std::size_t keys = m_Entries.size();
    std::vector<char> hit(keys, terms.empty() ? 1 : 0);
    if (terms.empty() || keys == 0) {
        return hit;
    }
    auto holdsRest = [&](std::size_t key, std::size_t from) {
        const std::u16string_view text = Key(std::int32_t(key));
        for (std::size_t t = from; t < terms.size(); ++t) {
            if (text.find(terms[t]) == std::u16string_view::npos) {
                return false;
            }
        }
        return true;
    };
    const bool narrows =
        !m_LastTerms.empty() &&
        std::all_of(m_LastTerms.begin(), m_LastTerms.end(), [&](const std::u16string& old) {
            return std::any_of(terms.begin(), terms.end(), [&](const std::u16string& term) {
                return term.find(old) != std::u16string::npos;
            });
        });
    if (narrows) {
        for (const std::int32_t key : m_LastKeys) {
            hit[std::size_t(key)] = holdsRest(std::size_t(key), 0) ? 1 : 0;
        }
    } else {
        // One pass over every key for the first word, then only the keys still in.
        const std::u16string_view all(m_Keys);
        const std::u16string& first = terms.front();
        for (std::size_t at = all.find(first); at != std::u16string_view::npos;) {
            const auto next = std::upper_bound(m_Starts.begin(), m_Starts.end(), std::uint32_t(at));
            const auto key = std::size_t(next - m_Starts.begin()) - 1;
            hit[key] = holdsRest(key, 1) ? 1 : 0;
            at = all.find(first, *next);
        }
    }
    m_LastTerms = terms;
    m_LastKeys.clear();
    for (std::size_t key = 0; key < keys; ++key) {
        if (hit[key] != 0) {
            m_LastKeys.push_back(std::int32_t(key));
        }
    }
    return hit;
}

std::vector<std::int32_t> CQuickFilter::Match(std::u16string_view query) const {
    const std::vector<char> hit = MatchKeys(QueryTerms(query));
    std::vector<std::int32_t> rows;
    for (std::size_t row = 0; row < m_RowKey.size(); ++row) {
        const std::int32_t key = m_RowKey[row];
        if (key >= 0 && hit[std::size_t(key)] != 0) {
            rows.push_back(std::int32_t(row));
        }
    }
    return rows;
}

bool CQuickFilter::MatchWithBodies(CDBXFile& dbx, std::u16string_view query, unsigned codePage,
                                   IUiServices& ui, std::vector<std::int32_t>& rows) const {
    const std::vector<std::u16string> terms = QueryTerms(query);
    const std::vector<char> hit = MatchKeys(terms);
    CProgressStepper progress(ui, u"Searching emails...", false);
    const auto n = std::int32_t(m_RowKey.size());
    std::vector<std::int32_t> found;
    std::string raw;
    for (std::int32_t row = 0; row < n; ++row) {
        if (row % kProgressEvery == 0) {
            if (!progress.Step(std::uint64_t(row), std::uint64_t(n),
                               FormatText("%i emails searched", int(row)))) {
                progress.Clear();
                return false;
            }
        }
        const std::int32_t key = m_RowKey[std::size_t(row)];
        if (key < 0) {
            continue;
        }
        if (hit[std::size_t(key)] != 0) {
            found.push_back(row);
            continue;
        }
        const CEmailDBX* entry = dbx.GetEmails().Get(row);
        if (entry == nullptr || !dbx.GetMessageText(entry, raw)) {
            continue;
        }
        const std::u16string body = FoldForSearch(MessageBodyText(raw, codePage));
        if (HoldsAll(Key(key), body, terms)) {
            found.push_back(row);
        }
    }
    progress.Clear();
    rows = std::move(found);
    return true;
}
