// Whole DBX files through everything that reads them: Open walks whatever tree the bytes
// describe, the rescue scan looks at every position for block headers and rebuilds the
// chains it links, then every entry's text, recovered ones included, is fetched and parsed
// the ways the viewer, the charset scan and the exports parse it. The reader takes a path,
// so each input goes through a file.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/mailbox_rescue.h"
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
    (void)dbx.OpenForRecovery(input.WidePath().c_str());
    if (!dbx.IsOpen()) {
        return 0;
    }
    std::vector<CRecoveredChain> chains;
    if (dbx.ScanForChains(chains)) {
        for (const CRecoveredChain& chain : chains) {
            std::unique_ptr<CEmailDBX> entry = dbx.MakeRecoveredEntry(chain);
            std::string recovered;
            if (dbx.GetMessageText(entry.get(), recovered)) {
                FillEntryFromText(*entry, recovered);
                dbx.GetEmails().Append(std::move(entry));
            }
        }
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
