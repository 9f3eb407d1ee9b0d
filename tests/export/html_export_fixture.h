// Mailboxes for the template and HTML export tests: built with the DBX writer, opened
// with the reader, and run through the engine or the exports into a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "export/export_session.h"
#include "export/template.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/z_file.h"
#include "mime/transfer_codec.h"
#include "support/recording_ui.h"

using dbxw::ReadWholeFile;
using dbxw::WriteWholeFile;

// A message with a text whose header carries the subject, for the engine's keys.
inline dbxw::Message Mail(std::string subject, std::string body = "Body\r\n") {
    dbxw::Message m;
    m.subject = subject;
    m.text = "Subject: " + subject + "\r\n\r\n" + body;
    return m;
}

class HtmlExportTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterStandardCodecs(); }

    // Opens a mailbox of the messages with every entry selected.
    void OpenMailbox(const std::vector<dbxw::Message>& messages) {
        const std::filesystem::path path = temp.Path("box.dbx");
        ASSERT_TRUE(dbxw::BuildSimpleMailbox(messages).WriteTo(path));
        ASSERT_EQ(dbx.Open(path.u16string()), DbxOk);
        SelectAll(true);
    }

    void SelectAll(bool selected) {
        for (CEmailDBX* e : dbx.GetEmails().Items())
            e->m_bSelected = selected;
    }
    CEmailDBX& Entry(std::int32_t row) { return *dbx.GetEmails().Get(row); }

    // Runs the template text over the mailbox list; the output file's bytes.
    std::string Expand(std::string_view templateText, std::uint32_t codePage = 65001,
                       std::u16string title = u"Title", bool showProgress = false,
                       bool* result = nullptr) {
        CTemplate tpl;
        tpl.SetData(templateText);
        const std::filesystem::path outPath = temp.Path("out.html");
        {
            CZFile out;
            EXPECT_TRUE(out.Open(outPath.u16string(), CZFile::ModeWrite));
            CExpandRequest request;
            request.pTemplate = &tpl;
            request.pOutput = &out;
            request.pEntries = &dbx.GetEmails();
            request.title = std::move(title);
            request.codePage = codePage;
            request.showProgress = showProgress;
            request.textOutput = textOutput;
            const bool ok = ExpandTemplate(session, request);
            if (result != nullptr)
                *result = ok;
        }
        return ReadWholeFile(outPath);
    }

    std::u16string TemplateFile(std::string_view text, std::string_view name = "tpl.html") {
        WriteWholeFile(temp.Path(name), text);
        return temp.WidePath(name);
    }

    // Expand writes a plain-text file instead of a page.
    bool textOutput = false;
    dbxw::TempDir temp;
    CDBXFile dbx;
    CRecordingUi ui;
    CExportSession session{dbx, ui};
};
