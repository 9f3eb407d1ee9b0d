// ExportThreads: one HTML file per conversation thread of the marked messages, each
// written through the template into the output folder and named after the thread's
// first subject.
#pragma once

#include <cstdint>
#include <string>

class CExportSession;

struct CThreadExportRequest {
    std::u16string folder;  // ends with '/'
    std::u16string templatePath;
    std::int32_t sortBy = 1;  // order of the messages inside a thread (SortEmails mode)
    bool ascending = true;
    std::uint32_t codePage = 28591;
};

// False when no entry is marked or the template cannot be read; true otherwise, also
// after a cancel. A file that cannot be written is reported and the export goes on with
// the next thread.
bool ExportThreads(CExportSession& session, const CThreadExportRequest& request);
