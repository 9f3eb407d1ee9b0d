#include "analysis/duplicates.h"

#include <memory>
#include <unordered_set>
#include <vector>

#include "analysis/email_sort.h"
#include "analysis/thread_links.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "platform/code_page.h"
#include "platform/text.h"
#include "platform/ui_services.h"

namespace {

constexpr std::int32_t kCopyGrowBy = 100;

void Notice(IUiServices& ui, std::u16string_view text) {
    ui.MessageBox(text, kAppName, MsgIcon::None, MsgButtons::Ok);
}

std::u16string CountText(std::uint32_t count, const char* rest) {
    return Utf8ToWide(std::to_string(count) + rest);
}

// A borrowed copy of the list, with equal identifiers next to each other.
void SortedCopy(const CEmailArray& emails, CEmailArray& copy) {
    for (CEmailDBX* entry : emails.Items()) {
        copy.Append(entry);
    }
    SortEmails(copy, SortByMessageId, true);
}

bool Same(const CEmailDBX* a, const CEmailDBX* b) {
    return a != nullptr && b != nullptr && SameMessageId(*a, *b);
}

}  // namespace

bool SameMessageId(const CEmailDBX& a, const CEmailDBX& b) {
    // An identifier stored empty names no message, so it cannot make two of them one.
    if (!a.m_bHasMessageId || !b.m_bHasMessageId || CutAtZero(a.m_MessageId).empty() ||
        CutAtZero(b.m_MessageId).empty()) {
        return false;
    }
    return CompareNoCase(a.m_MessageId, b.m_MessageId) == 0;
}

std::u16string DuplicatesFoundText(std::uint32_t count) {
    return CountText(count, " duplicate messages found.\n");
}

std::u16string DuplicatesDeletedText(std::uint32_t count) {
    return CountText(count, " duplicate messages found and deleted.\n");
}

std::u16string EmailCountText(std::uint32_t count) {
    return CountText(count, " emails");
}

std::uint32_t CountDuplicateEmails(CEmailArray& emails, IUiServices& ui) {
    const std::int32_t n = emails.GetCount();
    if (n < 2) {
        Notice(ui, kNoDuplicatesText);
        return 0;
    }
    CEmailArray copy(false, n, kCopyGrowBy);
    SortedCopy(emails, copy);
    std::uint32_t count = 0;
    for (std::int32_t j = 1; j < n; ++j) {
        if (Same(copy.Get(j - 1), copy.Get(j))) {
            ++count;
        }
    }
    Notice(ui, DuplicatesFoundText(count));
    return count;
}

std::uint32_t DeleteDuplicateEmails(CEmailArray& emails, IUiServices& ui,
                                    const CEmailSortState& sort,
                                    const ListRebuiltFn& onListRebuilt) {
    Notice(ui, kDeleteDuplicatesNote);
    const std::int32_t n = emails.GetCount();
    if (n < 2) {
        Notice(ui, kNoDuplicatesText);
        return 0;
    }
    CEmailArray copy(false, n, kCopyGrowBy);
    SortedCopy(emails, copy);

    std::vector<CEmailDBX*> survivors{copy.Get(0)};
    std::vector<CEmailDBX*> dropped;
    for (std::int32_t j = 1; j < n; ++j) {
        CEmailDBX* e = copy.Get(j);
        if (Same(survivors.back(), e)) {
            dropped.push_back(e);
        } else {
            survivors.push_back(e);
        }
    }
    copy.ReleaseAll();

    emails.ReleaseAll();
    for (CEmailDBX* e : survivors) {
        emails.Append(e);
    }
    if (!dropped.empty() && emails.OwnsEntries()) {
        // The list was their only owner; a thread link left pointing at one would dangle.
        const std::unordered_set<const CEmailDBX*> gone(dropped.begin(), dropped.end());
        for (CEmailDBX* e : survivors) {
            if (e != nullptr && gone.count(e->m_pThreadParent) != 0) {
                e->m_pThreadParent = nullptr;
            }
        }
        for (CEmailDBX* e : dropped) {
            std::unique_ptr<CEmailDBX> destroyed(e);
        }
    }
    sort.Sort(emails);

    const auto removed = std::uint32_t(dropped.size());
    const std::int32_t count = emails.GetCount();
    if (onListRebuilt) {
        onListRebuilt(count, EmailCountText(std::uint32_t(count)));
    }
    Notice(ui, DuplicatesDeletedText(removed));
    return removed;
}
