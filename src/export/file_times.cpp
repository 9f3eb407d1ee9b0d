#include "export/file_times.h"

#include "export/export_session.h"
#include "mailbox/email.h"
#include "platform/diag_log.h"
#include "platform/file_stamp.h"

namespace {

bool IsDate(FILETIME64 time) {
    SystemTime unused;
    return time != 0 && FileTimeToSystemTime(time, unused);
}

}  // namespace

FILETIME64 MessageDate(const CEmailDBX& entry) {
    if (IsDate(entry.m_SentTime)) {
        return entry.m_SentTime;
    }
    if (IsDate(entry.m_ReceivedTime)) {
        return entry.m_ReceivedTime;
    }
    return 0;
}

void DateExportedFile(const CExportSession& session, std::u16string_view path, FILETIME64 date) {
    if (!session.FileTimes() || date == 0) {
        return;
    }
    if (!SetFileTimes(path, date)) {
        DiagLog("cannot set the file times of an exported file");
    }
}
