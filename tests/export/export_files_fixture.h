// Mailboxes for the EML, attachment and wizard tests: built with the DBX writer, opened
// with the reader, exported into a scratch output folder through a recording UI.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "export/export_session.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mime/transfer_codec.h"
#include "support/memory_settings.h"
#include "support/recording_ui.h"

namespace exportfiles {

inline std::string ReadFile(const std::filesystem::path& path) {
    return dbxw::ReadWholeFile(path);
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    dbxw::WriteWholeFile(path, bytes);
}

// The names of the entries of a folder, recursively, relative to it.
inline std::set<std::string> Listing(const std::filesystem::path& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        names.insert(std::filesystem::relative(it->path(), folder).generic_string());
    }
    return names;
}

// A message whose raw text is given; the stored subject is separate on purpose.
inline dbxw::Message Raw(std::string text, std::string storedSubject = "stored") {
    dbxw::Message m;
    m.subject = std::move(storedSubject);
    m.text = std::move(text);
    return m;
}

// A stored message without any text: reading it fails.
inline dbxw::Message NoText(std::uint32_t id) {
    dbxw::Message m;
    m.id = id;
    m.subject = "lost";
    return m;
}

// One attached file in a multipart message, base64-encoded.
struct Attachment {
    std::string name;
    std::string base64;  // the encoded content, one line
};

inline std::string MultipartMail(const std::vector<Attachment>& attachments,
                                 std::string body = "See attached.\r\n") {
    std::string text =
        "Subject: files\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=\"XX\"\r\n\r\n"
        "--XX\r\nContent-Type: text/plain\r\n\r\n" +
        body + "\r\n";
    for (const Attachment& a : attachments) {
        text += "--XX\r\nContent-Type: application/octet-stream; name=\"" + a.name +
                "\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" + a.base64 + "\r\n";
    }
    return text + "--XX--\r\n";
}

class ExportFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterStandardCodecs();
        out = temp.Path("out");
        std::filesystem::create_directory(out);
    }

    // Opens a mailbox of the messages with every entry marked for export.
    void OpenMailbox(const std::vector<dbxw::Message>& messages) {
        dbxPath = temp.Path("Inbox.dbx");
        ASSERT_TRUE(dbxw::BuildSimpleMailbox(messages).WriteTo(dbxPath));
        ASSERT_EQ(dbx.Open(dbxPath.u16string()), DbxOk);
        MarkAll(true);
    }

    void MarkAll(bool selected) {
        for (CEmailDBX* e : dbx.GetEmails().Items())
            e->m_bSelected = selected;
    }
    CEmailDBX* Entry(std::int32_t row) { return dbx.GetEmails().Get(row); }

    // The output folder as the exports take it: UTF-16 with a trailing '/'.
    [[nodiscard]] std::u16string Folder() const { return out.u16string() + u"/"; }

    dbxw::TempDir temp;
    std::filesystem::path out;
    std::filesystem::path dbxPath;
    CDBXFile dbx;
    CRecordingUi ui;
    CMemorySettings settings;
    CExportSession session{dbx, ui};
};

}  // namespace exportfiles
