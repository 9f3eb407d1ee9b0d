// The rescue in quillbox-cli: opening a mailbox with --recover (the index's rows, then the
// messages a scan of the whole file found), `list --recover`'s JSON, and `recover`, which
// writes only the recovered messages as EML files.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

class CDBXFile;
class CEmailArray;

struct RecoverOptions {
    std::string mailbox;
    std::string destination;
};

// Opens the mailbox as the desktop app would. With `recover` the whole file is scanned
// too, and a file whose index cannot be read still opens when the scan found anything.
// `codePage` 0 detects the mailbox code page. On failure prints the reason and returns
// false; `status` is Open's status.
bool OpenMailboxForCli(CDBXFile& dbx, const std::string& path, bool recover, std::uint32_t codePage,
                       std::int32_t& status);

// One line on stderr when the index walk skipped damaged places.
void ReportSkippedDamage(const CDBXFile& dbx);

// `list --recover --json`: every row with "recovered" (null, "deleted" or "unlisted"),
// recovered rows with "offset" and "lost_bytes"; "count" and "recovered_count".
void PrintRecoveredListJson(std::FILE* out, CEmailArray& emails, int status,
                            std::uint32_t codePage);

int RunRecover(const RecoverOptions& options);
