// Dating a written file: its modification (and access) time set to a stored date, so that
// exported messages sort by the date of the mail rather than the date of the export.
#pragma once

#include <string_view>

#include "platform/file_time.h"

// Sets the file's times to the FILETIME; false for 0, a value with the top bit set, or a
// file whose times cannot be changed. The file's content is not touched.
bool SetFileTimes(std::u16string_view path, FILETIME64 time);
