// The template engine over a mailbox: the first part of the input is the template, the
// others the messages. It runs as the all-in-one export and the per-thread export run it,
// into files of a sandbox.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "export/export_session.h"
#include "export/export_threads.h"
#include "export/template.h"
#include "fuzz_files.h"
#include "fuzz_mailbox_input.h"
#include "mailbox/dbx_file.h"
#include "mailbox/z_file.h"
#include "mime/transfer_codec.h"
#include "support/recording_ui.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    RegisterStandardCodecs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr std::uint32_t kCodePages[] = {65001, 28591, 1252, 20866, 50220, 932, 1200, 0};
    if (size < 1 || size > 1 << 16) {
        return 0;
    }
    static const fuzzfiles::InputFile mailboxFile("template.dbx");
    static const fuzzfiles::InputFile templateFile("template.html");
    static const fuzzfiles::Sandbox sandbox;

    const std::uint32_t codePage = kCodePages[data[0] % std::size(kCodePages)];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string_view> parts = fuzzinput::Split(bytes);
    const std::string_view templateText = parts.front();
    parts.erase(parts.begin());
    if (parts.size() > 8) {
        parts.resize(8);
    }
    if (!fuzzinput::Mailbox(parts).WriteTo(mailboxFile.Path()) ||
        !templateFile.Write(templateText.data(), templateText.size())) {
        __builtin_trap();
    }
    CDBXFile dbx;
    if (dbx.Open(mailboxFile.WidePath()) != DbxOk) {
        return 0;
    }
    for (CEmailDBX* entry : dbx.GetEmails().Items()) {
        entry->m_bSelected = true;
    }
    CRecordingUi ui;
    CExportSession session(dbx, ui);
    CTemplate tpl;
    tpl.SetData(templateText);
    CZFile output;
    if (!output.Open(sandbox.OutFolder() + u"all.html", CZFile::ModeWrite)) {
        __builtin_trap();
    }
    CExpandRequest request;
    request.pTemplate = &tpl;
    request.pOutput = &output;
    request.pEntries = &dbx.GetEmails();
    request.title = u"Fuzz \u00e9 title";
    request.codePage = codePage;
    request.showProgress = (data[0] & 0x80) != 0;
    (void)ExpandTemplate(session, request);
    (void)output.CloseFile();

    CThreadExportRequest threads;
    threads.folder = sandbox.OutFolder();
    threads.templatePath = templateFile.WidePath();
    threads.sortBy = (data[0] >> 3) & 1;
    threads.ascending = (data[0] & 0x40) != 0;
    threads.codePage = codePage;
    (void)ExportThreads(session, threads);
    sandbox.CheckAndClear();
    return 0;
}
