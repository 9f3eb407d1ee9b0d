// CQuickFilter: the quick filter of the email list. Build folds the subject, sender and
// recipient (names and addresses) of every entry once, without case and accents, into one
// buffer of keys, so that each keystroke is a single forward scan of that buffer. A query
// is split at blanks; a row matches when its key holds every word. Rows are the current
// rows of the mailbox list: after a sort or a deletion, Reindex ties them to their keys
// again. The body search also reads each message's decoded text bodies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CDBXFile;
class CEmailArray;
class CEmailDBX;
class IUiServices;

// The text without case and accents, in any script: compatibility decomposition, full
// case folding, combining marks removed (the kana voicing marks stay: they are letters,
// not accents). Control characters become blanks.
[[nodiscard]] std::u16string FoldForSearch(std::u16string_view text);

// "%lu of %lu emails": the count pane while the list is filtered.
[[nodiscard]] std::u16string FilteredCountText(std::uint32_t shown, std::uint32_t total);

class CQuickFilter {
public:
    // `codePage` reads the stored names and addresses, as the list does.
    void Build(CEmailArray& emails, unsigned codePage);
    void Clear();
    // Rows are tied to their entries again after the list was sorted or shortened.
    void Reindex(const CEmailArray& emails);

    [[nodiscard]] std::size_t GetKeyCount() const { return m_Entries.size(); }

    // The words of a query, folded; empty for a blank query.
    [[nodiscard]] static std::vector<std::u16string> QueryTerms(std::u16string_view query);

    // The rows, ascending, whose subject, sender or recipient hold every word; every row
    // for a blank query.
    [[nodiscard]] std::vector<std::int32_t> Match(std::u16string_view query) const;

    // The same, where each word may also be in the decoded text of the message's bodies.
    // Runs with a progress window; false, with `rows` untouched, when the user cancels.
    bool MatchWithBodies(CDBXFile& dbx, std::u16string_view query, unsigned codePage,
                         IUiServices& ui, std::vector<std::int32_t>& rows) const;

private:
    [[nodiscard]] std::u16string_view Key(std::int32_t key) const {
        return std::u16string_view(m_Keys).substr(
            m_Starts[std::size_t(key)],
            m_Starts[std::size_t(key) + 1] - m_Starts[std::size_t(key)]);
    }
    // Per key, whether it holds every term.
    [[nodiscard]] std::vector<char> MatchKeys(const std::vector<std::u16string>& terms) const;

    // The last match: when a query extends it (each of its words inside one of the new
    // words, as typing more does), only the keys it kept can match, so only they are read.
    mutable std::vector<std::u16string> m_LastTerms;
    mutable std::vector<std::int32_t> m_LastKeys;

    std::u16string m_Keys;
    std::vector<std::uint32_t> m_Starts;      // key k is [m_Starts[k], m_Starts[k+1])
    std::vector<const CEmailDBX*> m_Entries;  // by key
    std::unordered_map<const CEmailDBX*, std::int32_t> m_KeyOf;
    std::vector<std::int32_t> m_RowKey;  // by row of the list; -1: no key
};
