// Whole DBX files through everything that reads them: Open walks whatever tree the bytes
// describe, then every entry's text is fetched and parsed the ways the viewer, the
// charset scan and the exports parse it. The reader takes a path, so each input goes
// through a file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "mailbox/dbx_file.h"
#include "mime/charset_scan.h"
#include "mime/mime_email.h"
#include "mime/transfer_codec.h"
#include "mime/viewer_text.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    RegisterStandardCodecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzzfiles::InputFile input("reader.dbx");
    if (!input.Write(data, size)) {
        __builtin_trap();
    }
    CDBXFile dbx;
    if (dbx.Open(input.WidePath()) != DbxOk) {
        return 0;
    }
    std::string text;
    std::vector<std::u16string> charsets;
    for (const CEmailDBX* entry : dbx.GetEmails().Items()) {
        text.clear();
        if (!dbx.GetMessageText(entry, text)) {
            continue;
        }
        CMimeEmail email;
        email.Parse(text.data(), static_cast<std::int32_t>(text.size()));
        (void)email.GetContents();
        email.StripDocumentTags();
        (void)GetTextPageContent(text);
        CollectMessageCharsets(text, charsets);
    }
    return 0;
}
