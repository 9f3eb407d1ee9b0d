// Message dates on exported files: a file written for one message (an EML file, an
// attached file) carries the message's date as its modification time, a file written for
// a thread the date of its latest message. Files that gather a whole mailbox keep the
// time they were written. The session says whether to do it at all.
#pragma once

#include <string_view>

#include "platform/file_time.h"

class CEmailDBX;
class CExportSession;

// The sent date, else the received date; 0 when neither is a date.
[[nodiscard]] FILETIME64 MessageDate(const CEmailDBX& entry);

// Dates the file when the session asks for file times and the date is one; a file whose
// times cannot be set keeps the time of writing (its content is complete, so nothing is
// reported).
void DateExportedFile(const CExportSession& session, std::u16string_view path, FILETIME64 date);
