// ExportEml: the format "EML generic text file, one email per file". Every marked
// message of the session is written, byte for byte as stored, to "[id]subject.eml" in
// the destination folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CEmailDBX;
class CExportSession;

// False when no entry is marked (nothing happens, nothing is shown); true otherwise, also
// after a cancel. A message that cannot be read or written is reported and skipped.
bool ExportEml(CExportSession& session, std::u16string_view folder);

// The file name (without folder) ExportEml gives the entry whose raw text is `text`:
// "[id]" and the cleaned subject, kept within the file name limit, then ".eml".
[[nodiscard]] std::u16string EmlFileName(const CEmailDBX& entry, std::string_view text,
                                         std::uint32_t codePage);
