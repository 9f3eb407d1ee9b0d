// ExportAllInOne: writes every marked message of the session into one output file
// through a template (HTML, or plain text with the text template).
#pragma once

#include <cstdint>
#include <string>

class CExportSession;

struct CAllInOneRequest {
    std::u16string templatePath;
    std::int32_t sortBy = 1;     // sort mode of SortEmails; 0 keeps the list order
    std::int32_t sortOrder = 0;  // 0 ascending, otherwise descending
    std::u16string outputFile;
    std::u16string title;
    std::uint32_t codePage = 28591;  // of converted text: the template's charset
    bool textOutput = false;         // the text variant: a plain-text file, nothing escaped
};

// False when the template cannot be read or the output cannot be created (a message box
// has then been shown), when no entry is selected (the file is left empty) or when the
// user cancelled (the file keeps what was written).
bool ExportAllInOne(CExportSession& session, const CAllInOneRequest& request);
