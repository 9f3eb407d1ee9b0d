// Saving attached files and uuencoded files from hostile messages: every input is a
// mailbox of messages (parts of the input) whose attachments are saved into a sandbox
// folder, then the whole input is uudecoded into it. Nothing may appear outside it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/export_attachments.h"
#include "export/export_eml.h"
#include "export/export_session.h"
#include "fuzz_files.h"
#include "fuzz_mailbox_input.h"
#include "mailbox/dbx_file.h"
#include "mime/decoder_uu.h"
#include "mime/transfer_codec.h"
#include "support/recording_ui.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    RegisterStandardCodecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 1 << 17) {
        return 0;
    }
    static const fuzzfiles::InputFile mailboxFile("attachments.dbx");
    static const fuzzfiles::Sandbox sandbox;

    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string_view> parts = fuzzinput::Split(bytes);
    if (parts.size() > 4) {
        parts.resize(4);
    }
    if (!fuzzinput::Mailbox(parts).WriteTo(mailboxFile.Path())) {
        __builtin_trap();
    }
    CDBXFile dbx;
    if (dbx.Open(mailboxFile.WidePath()) == DbxOk) {
        CRecordingUi ui;
        CExportSession session(dbx, ui);
        for (CEmailDBX* entry : dbx.GetEmails().Items()) {
            entry->m_bSelected = true;
        }
        // Twice, so that every name also meets itself and takes the clash rule.
        (void)ExportAttachments(session, sandbox.OutFolder());
        (void)ExportAttachments(session, sandbox.OutFolder());
        if (data[0] & 1) {
            (void)ExportEml(session, sandbox.OutFolder());
        }
    }
    CDecoderUU decoder;
    (void)decoder.DecodeToFolder(bytes, sandbox.OutFolder());
    sandbox.CheckAndClear();
    return 0;
}
