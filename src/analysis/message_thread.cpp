#include "analysis/message_thread.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "analysis/thread_links.h"
#include "mailbox/email.h"
#include "platform/code_page.h"
#include "platform/progress_stepper.h"
#include "platform/ui_services.h"

namespace {

constexpr std::int32_t kThreadInitialRoom = 100;
constexpr std::int32_t kThreadGrowBy = 200;
constexpr std::int32_t kProgressEvery = 10;

constexpr std::int32_t kUnresolved = -2;
constexpr std::int32_t kOnPath = -3;

// Thread numbers of every row from the parent rows, each link followed once in all, so a
// chain of any length costs no more than its size. Rows whose links end in a cycle get -1,
// as GetThreadNumber gives them.
std::vector<std::int32_t> ResolveThreadNumbers(const CEmailArray& emails,
                                               const std::vector<std::int32_t>& parents) {
    std::vector<std::int32_t> numbers(parents.size(), kUnresolved);
    std::vector<std::int32_t> path;
    for (std::size_t start = 0; start < parents.size(); ++start) {
        std::int32_t row = std::int32_t(start);
        while (row >= 0 && numbers[std::size_t(row)] == kUnresolved) {
            numbers[std::size_t(row)] = kOnPath;
            path.push_back(row);
            row = parents[std::size_t(row)];
        }
        std::int32_t number = -1;
        if (row < 0) {
            const CEmailDBX* root = emails.Get(path.back());
            number = root != nullptr ? root->m_nThreadIndex : -1;
        } else if (numbers[std::size_t(row)] != kOnPath) {
            number = numbers[std::size_t(row)];
        }
        for (const std::int32_t onPath : path) {
            numbers[std::size_t(onPath)] = number;
        }
        path.clear();
    }
    return numbers;
}

}  // namespace

// The room for the first entries is taken on the first Collect: a scan makes an element
// per entry, and most of them stay empty.
CMessageThread::CMessageThread() : m_ThreadEmails(false, 0, kThreadGrowBy) {}

CMessageThread::~CMessageThread() {
    m_ThreadEmails.ReleaseAll();
}

void CMessageThread::Collect(CEmailDBX* entry) {
    if (entry != nullptr && !entry->m_bThreadVisited && m_ThreadEmails.GetCapacity() == 0) {
        m_ThreadEmails.SetCapacity(kThreadInitialRoom, kThreadGrowBy);
    }
    // A loop rather than recursion: a reply chain can be as long as the mailbox.
    for (CEmailDBX* e = entry; e != nullptr && !e->m_bThreadVisited; e = e->m_pThreadParent) {
        e->m_bThreadVisited = true;
        m_ThreadEmails.Append(e);
    }
}

std::uint32_t CMessageThread::CountSelected() const {
    const auto items = m_ThreadEmails.Items();
    return std::uint32_t(std::count_if(items.begin(), items.end(), [](const CEmailDBX* e) {
        return e != nullptr && e->m_bSelected;
    }));
}

std::int32_t GetThreadNumber(const CEmailDBX* entry) {
    if (entry == nullptr) {
        return -1;
    }
    // Brent's cycle detection: constant memory, and it ends within a few lengths of the
    // path however the links run.
    const CEmailDBX* last = entry;
    const CEmailDBX* marker = entry;
    const CEmailDBX* walker = entry->m_pThreadParent;
    std::uint64_t power = 1;
    std::uint64_t steps = 1;
    while (walker != nullptr) {
        if (walker == marker) {
            return -1;
        }
        last = walker;
        if (steps == power) {
            marker = walker;
            power *= 2;
            steps = 0;
        }
        walker = walker->m_pThreadParent;
        ++steps;
    }
    return last->m_nThreadIndex;
}

std::uint32_t ScanThreads(CEmailArray& emails, std::span<CMessageThread> threads, IUiServices& ui) {
    const std::int32_t n = emails.GetCount();
    for (CEmailDBX* e : emails.Items()) {
        if (e != nullptr) {
            e->m_pThreadParent = nullptr;
            e->m_bThreadVisited = false;
            e->m_nThreadIndex = -1;
        }
    }

    std::optional<CProgressStepper> progress(std::in_place, ui, u"Scanning threads...", false);

    const std::vector<std::int32_t> parents = FindThreadParents(emails);
    std::uint32_t count = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        if (i % kProgressEvery == 0) {
            progress->Show(std::uint64_t(i), std::uint64_t(n), FormatText("%i emails scanned", i));
        }
        // The scan always runs to its end: a cancel request is not looked at.
        (void)progress->Pump();
        CEmailDBX* e = emails.Get(i);
        if (e == nullptr) {
            continue;
        }
        if (parents[std::size_t(i)] >= 0) {
            e->m_pThreadParent = emails.Get(parents[std::size_t(i)]);
        }
        if (e->m_pThreadParent == nullptr) {
            e->m_nThreadIndex = std::int32_t(count++);
        }
    }

    const std::vector<std::int32_t> numbers = ResolveThreadNumbers(emails, parents);
    for (std::int32_t k = 0; k < n; ++k) {
        CEmailDBX* e = emails.Get(k);
        if (e == nullptr || e->m_bThreadVisited) {
            continue;
        }
        const std::int32_t t = numbers[std::size_t(k)];
        if (t < 0) {
            ui.MessageBox(u"Oops", kAppName, MsgIcon::None, MsgButtons::Ok);
            continue;
        }
        // An array too short for the mailbox loses the thread rather than overrunning.
        if (std::size_t(t) < threads.size()) {
            threads[std::size_t(t)].Collect(e);
        }
    }

    // Full before it goes: the bar moved only every tenth entry.
    progress->Fill();
    progress->Clear();
    progress.reset();
    return count;
}

std::u16string ThreadsFoundText(std::uint32_t count) {
    return Utf8ToWide(std::to_string(count) + " threads found.\n");
}

std::uint32_t CountThreads(CEmailArray& emails, IUiServices& ui) {
    const std::int32_t n = emails.GetCount();
    if (n <= 0) {
        return 0;
    }
    std::uint32_t count = 0;
    {
        std::vector<CMessageThread> threads(static_cast<std::size_t>(n));
        count = ScanThreads(emails, threads, ui);
    }
    ui.MessageBox(ThreadsFoundText(count), kAppName, MsgIcon::None, MsgButtons::Ok);
    return count;
}
