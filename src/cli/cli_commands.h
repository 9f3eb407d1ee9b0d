// The commands of quillbox-cli. Each returns the process exit status: 0 done, 1 the work
// failed (a message is on stderr), 2 the command line was wrong.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct ListOptions {
    std::string mailbox;
    unsigned mailboxCodePage = 0;  // 0: the detected one
    bool json = false;
    // A column heading (any case), optionally followed by ":desc"; empty for list order.
    std::string sort;
    // Only the rows whose subject, sender or recipient hold every word (--filter), and
    // with --body also those whose message text does; rows keep their full-list numbers.
    std::string filter;
    bool body = false;
    bool recover = false;  // then the rows a scan of the whole file found follow
};

struct ShowOptions {
    std::string mailbox;
    unsigned mailboxCodePage = 0;  // 0: the detected one
    long long row = -1;
    bool raw = false;
    bool message = false;  // the message as a mail client reads it
    bool recover = false;
};

struct ThreadsOptions {
    std::string mailbox;
    unsigned mailboxCodePage = 0;  // 0: the detected one
    bool json = false;
};

struct DuplicatesOptions {
    std::string mailbox;
    unsigned mailboxCodePage = 0;  // 0: the detected one
    bool remove = false;           // --delete
};

struct EncodingsOptions {
    std::string mailbox;
    unsigned mailboxCodePage = 0;  // 0: the detected one
    bool json = false;
};

struct ExportOptions {
    std::string mailbox;
    unsigned mailboxCodePage = 0;  // 0: the detected one
    std::string destination;
    std::string format;  // eml, attachments, html, html-threads, text, mbox
    std::string rows;    // "0,3,5-9"; empty for every email
    std::string templatePath;
    std::string title;
    std::string sort = "date";  // none, date
    std::string order = "asc";  // asc, desc
    unsigned codePage = 0;      // 0: the template's declaration
    bool noFileTimes = false;   // files keep the time of writing, not the message's date
    bool recover = false;
};

// "eml", "attachments", "html", "html-threads", "text" (any case): the wizard's format
// codes; 0 for a name that is none of them.
[[nodiscard]] std::int32_t FormatFromName(std::string_view name);

int RunCliExport(const ExportOptions& options);
int RunEncodings(const EncodingsOptions& options);
int RunList(const ListOptions& options);
int RunThreads(const ThreadsOptions& options);
int RunDuplicates(const DuplicatesOptions& options);
int RunShow(const ShowOptions& options);
