// Conversation threads: every entry is linked to the entry it answers, the entries that
// answer nothing become thread roots numbered in list order, and each thread's entries
// are gathered into one CMessageThread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mailbox/email_array.h"

class CEmailDBX;
class IUiServices;

// CMessageThread: the entries of one thread, borrowed from the mailbox list, in the order
// they were gathered: an entry, then its ancestors not yet gathered. Threads are made as
// one array with an element per entry, indexed by thread number, and live only as long as
// the command or export that made them.
class CMessageThread {
public:
    CMessageThread();
    CMessageThread(const CMessageThread&) = delete;
    CMessageThread& operator=(const CMessageThread&) = delete;
    virtual ~CMessageThread();

    // Gathers the entry and then each ancestor until one that is already gathered.
    void Collect(CEmailDBX* entry);
    // How many of the thread's entries are chosen for export.
    [[nodiscard]] std::uint32_t CountSelected() const;

    CEmailArray m_ThreadEmails;
};

// -1 for null; else the thread number of the root reached through the parent links,
// or -1 when those links run in a cycle and reach no root.
[[nodiscard]] std::int32_t GetThreadNumber(const CEmailDBX* entry);

// Links, numbers and gathers every entry of the list, with the "Scanning threads..."
// progress (which cannot be cancelled). An entry whose links end in a cycle belongs to no
// thread: it is announced with "Oops" and gathered nowhere. `threads` should hold one
// element per entry; returns the number of threads.
std::uint32_t ScanThreads(CEmailArray& emails, std::span<CMessageThread> threads, IUiServices& ui);

// "%lu threads found.\n".
[[nodiscard]] std::u16string ThreadsFoundText(std::uint32_t count);

// The Count Threads command: nothing for an empty list, else a scan and the number of
// threads in a notice. Returns that number.
std::uint32_t CountThreads(CEmailArray& emails, IUiServices& ui);
