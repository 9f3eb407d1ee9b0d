#include "analysis/email_sort.h"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/email_columns.h"
#include "platform/file_time.h"
#include "platform/text.h"

namespace {

template <typename T>
int CompareValues(T a, T b) {
    return a > b ? 1 : (a < b ? -1 : 0);
}

// An attribute the record stored goes after one it did not, whatever its text.
int ComparePresent(bool hasA, bool hasB) {
    return hasA == hasB ? 0 : (hasA ? 1 : -1);
}

int ComparePresentText(bool hasA, const std::string& a, bool hasB, const std::string& b) {
    if (hasA && hasB) {
        return CompareNoCase(a, b);
    }
    return ComparePresent(hasA, hasB);
}

// Set flags sort first when ascending.
int CompareFlag(bool a, bool b) {
    if (a == b) {
        return 0;
    }
    return a ? -1 : 1;
}

// Subjects sort in the order of their stored units, whatever code page shows them: the
// entry's own text is left as it is.
void AppendSubjectUnits(const CEmailDBX& e, std::u16string& out) {
    if (e.m_Subject.GetType() == CZHyperString::TypeAnsi) {
        for (const char c : e.m_Subject.GetTextView()) {
            out.push_back(char16_t(static_cast<unsigned char>(c)));
        }
        return;
    }
    CZHyperString copy(e.m_Subject);
    if (copy.ToWide()) {
        out += copy.GetWideView();
    }
}

int CompareKeys(const CEmailDBX& a, const CEmailDBX& b, std::int32_t mode) {
    switch (mode) {
        case SortById:
            return CompareValues(a.m_Id, b.m_Id);
        case SortByAttachment:
            return CompareFlag(a.m_bHasAttachment, b.m_bHasAttachment);
        case SortByPriority:
            return CompareValues(std::uint32_t(a.m_nPriority), std::uint32_t(b.m_nPriority));
        case SortByFlag:
            return CompareFlag(a.m_bFlag0020, b.m_bFlag0020);
        case SortBySubject: {
            std::u16string sa;
            std::u16string sb;
            AppendSubjectUnits(a, sa);
            AppendSubjectUnits(b, sb);
            if (!sa.empty() && !sb.empty()) {
                return sa.compare(sb);
            }
            return sa.empty() == sb.empty() ? 0 : (sa.empty() ? -1 : 1);
        }
        case SortBySent:
            return CompareFileTime(a.m_SentTime, b.m_SentTime);
        case SortByReceived:
            return CompareFileTime(a.m_ReceivedTime, b.m_ReceivedTime);
        case SortByFrom:
            return ComparePresentText(a.m_bHasSenderName, a.m_SenderName, b.m_bHasSenderName,
                                      b.m_SenderName);
        case SortByTo:
            return ComparePresentText(a.m_bHasRecipientName, a.m_RecipientName,
                                      b.m_bHasRecipientName, b.m_RecipientName);
        case SortByLines:
            return CompareValues(a.m_nLines, b.m_nLines);
        case SortByMessageId:
            return ComparePresentText(a.m_bHasMessageId, a.m_MessageId, b.m_bHasMessageId,
                                      b.m_MessageId);
        default:
            return 0;
    }
}

// Keys taken out of the entries once, so that the sort compares values lying side by side
// instead of reaching into every entry for every comparison. Ties keep their order, so the
// result is the one the entry comparison gives with a stable sort.
template <typename Key>
class CKeyedSort {
public:
    explicit CKeyedSort(std::span<CEmailDBX*> items) : m_Items(items) {
        m_Keyed.reserve(items.size());
    }
    void Add(Key key, CEmailDBX* entry) { m_Keyed.emplace_back(std::move(key), entry); }

    template <typename Compare>
    void Sort(bool ascending, Compare compare) {
        const int direction = ascending ? 1 : -1;
        std::stable_sort(m_Keyed.begin(), m_Keyed.end(), [&](const auto& a, const auto& b) {
            return compare(a.first, b.first) * direction < 0;
        });
        auto out = m_Items.begin();
        for (const auto& item : m_Keyed) {
            *out++ = item.second;
        }
        // An empty slot goes last.
        std::fill(out, m_Items.end(), nullptr);
    }

private:
    std::span<CEmailDBX*> m_Items;
    std::vector<std::pair<Key, CEmailDBX*>> m_Keyed;
};

// Every number key mapped onto one unsigned order.
std::uint64_t NumberKey(const CEmailDBX& e, std::int32_t mode) {
    switch (mode) {
        case SortById:
            return std::uint32_t(e.m_Id) ^ 0x80000000u;
        case SortByAttachment:
            return e.m_bHasAttachment ? 0 : 1;
        case SortByPriority:
            return std::uint32_t(e.m_nPriority);
        case SortByFlag:
            return e.m_bFlag0020 ? 0 : 1;
        case SortBySent:
            return e.m_SentTime;
        case SortByReceived:
            return e.m_ReceivedTime;
        default:
            return e.m_nLines;
    }
}

// A text key: the text copied into one pool shared by the whole sort (names folded to
// lower case on the way, so plain unit order is the wanted order), with its first units
// also packed into one number, so most comparisons are settled without reaching the pool.
// Units past the end count as 0, below every unit a text can hold (texts end at their
// first zero), so a proper prefix still sorts first.
template <typename View>
struct PrefixKey {
    static constexpr std::size_t kUnits = 8 / sizeof(typename View::value_type);

    bool present = false;
    std::uint64_t prefix = 0;
    View text;

    PrefixKey(bool isPresent, View view) : present(isPresent), text(view) {
        using Unsigned = std::make_unsigned_t<typename View::value_type>;
        for (std::size_t i = 0; i < kUnits; ++i) {
            prefix = (prefix << (64 / kUnits)) |
                     (i < text.size() ? std::uint64_t(static_cast<Unsigned>(text[i])) : 0);
        }
    }

    [[nodiscard]] int Compare(const PrefixKey& other) const {
        if (!present || !other.present) {
            return ComparePresent(present, other.present);
        }
        if (prefix != other.prefix) {
            return prefix < other.prefix ? -1 : 1;
        }
        if (std::min(text.size(), other.text.size()) <= kUnits) {
            return CompareValues(text.size(), other.text.size());
        }
        // Unit order: char_traits compares char as unsigned, and char16_t is unsigned.
        return text.substr(kUnits).compare(other.text.substr(kUnits));
    }
};

void SortSubjects(std::span<CEmailDBX*> items, bool ascending) {
    std::size_t total = 0;
    for (CEmailDBX* e : items) {
        if (e != nullptr) {
            total += std::size_t(e->m_Subject.GetTextLength());
        }
    }
    std::u16string pool;
    pool.reserve(total);  // views into it stay valid while it is filled
    CKeyedSort<PrefixKey<std::u16string_view>> sort(items);
    for (CEmailDBX* e : items) {
        if (e != nullptr) {
            const std::size_t start = pool.size();
            AppendSubjectUnits(*e, pool);
            // An empty subject is smaller than any other in unit order, so every subject
            // counts as present and the plain order gives the empty-first rule.
            sort.Add({true, std::u16string_view(pool).substr(start)}, e);
        }
    }
    sort.Sort(ascending, [](const auto& a, const auto& b) { return a.Compare(b); });
}

void SortNames(std::span<CEmailDBX*> items, std::int32_t mode, bool ascending) {
    const auto field = [mode](const CEmailDBX& e) -> std::pair<bool, std::string_view> {
        switch (mode) {
            case SortByFrom:
                return {e.m_bHasSenderName, CutAtZero(e.m_SenderName)};
            case SortByTo:
                return {e.m_bHasRecipientName, CutAtZero(e.m_RecipientName)};
            default:
                return {e.m_bHasMessageId, CutAtZero(e.m_MessageId)};
        }
    };
    std::size_t total = 0;
    for (const CEmailDBX* e : items) {
        if (e != nullptr) {
            total += field(*e).second.size();
        }
    }
    std::string pool;
    pool.reserve(total);
    CKeyedSort<PrefixKey<std::string_view>> sort(items);
    for (CEmailDBX* e : items) {
        if (e != nullptr) {
            const auto [present, text] = field(*e);
            const std::size_t start = pool.size();
            for (const char c : text) {
                pool.push_back(AsciiLower(c));
            }
            sort.Add({present, std::string_view(pool).substr(start)}, e);
        }
    }
    sort.Sort(ascending, [](const auto& a, const auto& b) { return a.Compare(b); });
}

}  // namespace

int CompareEmails(CEmailDBX& a, CEmailDBX& b, std::int32_t mode, bool ascending) {
    const int order = CompareKeys(a, b, mode);
    return ascending ? order : -order;
}

void SortEmails(CEmailArray& emails, std::int32_t mode, bool ascending) {
    if (emails.GetCount() < 2 || mode < 0 || mode >= kSortModeCount) {
        return;
    }
    const std::span<CEmailDBX*> items = emails.Items();
    switch (mode) {
        case SortBySubject:
            SortSubjects(items, ascending);
            break;
        case SortByFrom:
        case SortByTo:
        case SortByMessageId:
            SortNames(items, mode, ascending);
            break;
        default: {
            CKeyedSort<std::uint64_t> sort(items);
            for (CEmailDBX* e : items) {
                if (e != nullptr) {
                    sort.Add(NumberKey(*e, mode), e);
                }
            }
            sort.Sort(ascending,
                      [](std::uint64_t a, std::uint64_t b) { return CompareValues(a, b); });
        }
    }
}

bool CEmailSortState::OnSortColumn(std::int32_t column, CEmailArray& emails) {
    if (column < 0 || column >= kEmailColumnCount) {
        return false;
    }
    if (column != m_nSortColumn) {
        m_nSortColumn = column;
    } else {
        m_bSortAscending = !m_bSortAscending;
    }
    Sort(emails);
    return true;
}

void CEmailSortState::Sort(CEmailArray& emails) const {
    SortEmails(emails, m_nSortColumn, m_bSortAscending);
}
