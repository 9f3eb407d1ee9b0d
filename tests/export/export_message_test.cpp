#include "export/export_message.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "export/export_eml.h"
#include "export_files_fixture.h"
#include "mailbox/hyper_string.h"
#include "mime/mime_email.h"
#include "platform/paths.h"
#include "platform/progress.h"

namespace {

using exportfiles::ExportFilesTest;
using exportfiles::NoText;
using exportfiles::Raw;
using exportfiles::WriteFile;

// A literal with its zero bytes.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

// The names as they were made before the header-only parse: the whole message parsed,
// then the subject taken from it.
std::u16string WholeParseStem(std::string_view text, const CEmailDBX& entry, bool threadRule,
                              std::uint32_t codePage) {
    text = text.substr(0, text.find('\0'));
    CMimeEmail mime;
    const std::int32_t used =
        mime.Parse(text.data(), std::int32_t(std::min<std::size_t>(text.size(), INT32_MAX)));
    CZHyperString subject;
    if ((threadRule && used <= 0) || !mime.GetFieldText("Subject", subject))
        subject = entry.m_Subject;
    if (threadRule && subject.IsEmpty())
        subject.SetText("(No subject)");
    subject.ToWide(codePage);
    subject.SanitizeFileName();
    return subject.GetType() == CZHyperString::TypeWide ? std::u16string(subject.GetWideView())
                                                        : std::u16string();
}

std::u16string EmlNameBefore(std::string_view text, const CEmailDBX& entry,
                             std::uint32_t codePage) {
    std::u16string stem = FormatText("[%lu]", static_cast<unsigned long>(entry.m_Id));
    stem += WholeParseStem(text, entry, false, codePage);
    return FitFileNameStem(stem, u".eml") + u".eml";
}

std::u16string ThreadNameNow(std::string_view text, const CEmailDBX& entry,
                             std::uint32_t codePage) {
    CMimeBody header;
    const bool parsed = ParseMessageHeader(text, header);
    return SubjectFileStem(parsed ? &header : nullptr, entry, codePage, u"(No subject)");
}

std::vector<std::string> SampleTexts() {
    std::vector<std::string> texts;
    for (const auto& file : std::filesystem::directory_iterator(QUILLBOX_SAMPLES_DIR)) {
        if (file.path().extension() != ".eml")
            continue;
        std::string text = exportfiles::ReadFile(file.path());
        // The mailbox stores CR LF lines; the files may have either.
        std::string crlf;
        for (const char c : text) {
            if (c == '\n' && (crlf.empty() || crlf.back() != '\r'))
                crlf += '\r';
            crlf += c;
        }
        texts.push_back(text);
        texts.push_back(crlf);
    }
    return texts;
}

std::vector<std::string> GeneratedTexts() {
    const std::vector<std::string> subjects = {
        "Subject: plain words\r\n",
        "Subject:\r\n",
        "Subject: =?utf-8?B?Q2Fmw6kg4oKs?=\r\n",
        "Subject: =?iso-8859-1?Q?R=E9sum=E9?= and more\r\n",
        "Subject: =?koi8-r?B?8NLJ18XU?=\r\n",
        "Subject: folded\r\n  onto two lines\r\n",
        "Subject: a:b?c*d\"e<f>g|h\\i/j\r\n",
        "Subject: \xE9t\xE9 raw\r\n",
        "Subject: =?unknown-charset?Q?x?=\r\n",
        "SUBJECT: upper-case name\r\n",
        Bytes("Subject: be\0fore\r\n"),
        "Subject: " + std::string(300, 'l') + "\r\n",
        "",
    };
    const std::vector<std::pair<std::string, std::string>> shapes = {
        {"From: a@example.com\r\n", "\r\nbody\r\n"},
        {"",
         "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n"
         "--B\r\nSubject: inner part\r\nContent-Type: text/plain\r\n\r\ninner\r\n"
         "--B\r\nContent-Type: application/octet-stream; name=\"f.bin\"\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\nAAEC\r\n--B--\r\n"},
        {"X-A: 1\r\n", "Content-Transfer-Encoding: quoted-printable\r\n\r\n=E9=\r\n"},
        // The header ends without a line end: it stops part way.
        {"From: a\r\n", "X-Last: no end"},
        {"", "\r\n"},
        // Bare line feeds: nothing of the header reads.
        {"From: a\n", "\nbody\n"},
    };
    std::vector<std::string> texts;
    for (const std::string& subject : subjects) {
        for (const auto& [before, after] : shapes)
            texts.push_back(before + subject + after);
    }
    texts.push_back("Subject: no line end at all");
    texts.push_back(Bytes("\0Subject: after a zero\r\n\r\n"));
    return texts;
}

TEST(FileStems, HeaderOnlyNamesMatchTheWholeParseNames) {
    std::vector<std::string> texts = SampleTexts();
    ASSERT_GE(texts.size(), 20u) << "the sample messages were not found";
    const std::vector<std::string> generated = GeneratedTexts();
    texts.insert(texts.end(), generated.begin(), generated.end());

    // Stored and raw 8-bit subjects are read in the mailbox's code page.
    for (const std::uint32_t codePage : {1252u, 1251u}) {
        for (const char* stored : {"stored subject", "\xCF\xF0\xE8 stored", ""}) {
            CEmailDBX entry;
            entry.m_Id = 42;
            entry.m_Subject.SetText(stored);
            for (const std::string& text : texts) {
                EXPECT_EQ(EmlFileName(entry, text, codePage), EmlNameBefore(text, entry, codePage))
                    << text;
                EXPECT_EQ(ThreadNameNow(text, entry, codePage),
                          WholeParseStem(text, entry, true, codePage))
                    << text;
            }
        }
    }
}

TEST(FileStems, HeaderParseDecodesNoBodyAndKeepsFieldsBeforeAStop) {
    CMimeBody header;
    EXPECT_TRUE(
        ParseMessageHeader("Subject: s\r\nContent-Type: multipart/mixed; boundary=\"B\"\r\n\r\n"
                           "--B\r\nContent-Type: text/plain\r\n\r\nx\r\n--B--\r\n",
                           header));
    EXPECT_EQ(header.GetContentLength(), 0);
    EXPECT_TRUE(header.GetParts().empty());

    CMimeBody cut;
    EXPECT_FALSE(ParseMessageHeader("Subject: kept\r\nX-Last: no end", cut));
    CZHyperString subject;
    ASSERT_TRUE(cut.GetFieldText("Subject", subject));
    EXPECT_EQ(subject.GetTextView(), "kept");

    CMimeEmail mime;
    EXPECT_FALSE(ParseMessage("", mime));
    EXPECT_TRUE(ParseMessage("Subject: x\r\n\r\nbody\r\n", mime));
}

using ExportMessageTest = ExportFilesTest;

TEST_F(ExportMessageTest, LoadCutsAtTheFirstZeroAndParses) {
    OpenMailbox({Raw(Bytes("Subject: z\r\n\r\nbefore\0after")), NoText(9)});
    std::string text = "stale";
    CMimeEmail mime;
    bool parsed = false;
    ASSERT_TRUE(LoadMessage(dbx, *Entry(0), text, mime, parsed));
    EXPECT_TRUE(parsed);
    EXPECT_EQ(text, "Subject: z\r\n\r\nbefore");
    EXPECT_EQ(mime.GetContent(), "before");

    CMimeEmail other;
    parsed = true;
    EXPECT_FALSE(LoadMessage(dbx, *Entry(1), text, other, parsed));
    EXPECT_FALSE(parsed);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(LoadMessageText(dbx, *Entry(1), text));
}

TEST_F(ExportMessageTest, FreeNamesAreNumberedFromTheGivenFirstNumber) {
    const std::u16string folder = Folder();
    std::u16string path;
    ASSERT_TRUE(FindFreeFileName(session, folder, u"report", u".pdf", 2, path));
    EXPECT_EQ(path, folder + u"report.pdf");

    WriteFile(out / "report.pdf", "1");
    ASSERT_TRUE(FindFreeFileName(session, folder, u"report", u".pdf", 2, path));
    EXPECT_EQ(path, folder + u"report(2).pdf");
    ASSERT_TRUE(FindFreeFileName(session, folder, u"report", u".html", 1, path));
    EXPECT_EQ(path, folder + u"report.html") << "another extension is another name";

    WriteFile(out / "subject.html", "1");
    ASSERT_TRUE(FindFreeFileName(session, folder, u"subject", u".html", 1, path));
    EXPECT_EQ(path, folder + u"subject(1).html");

    // The next search starts where the last one stopped, even when a lower number is free.
    WriteFile(out / "report(2).pdf", "2");
    WriteFile(out / "report(3).pdf", "3");
    ASSERT_TRUE(FindFreeFileName(session, folder, u"report", u".pdf", 2, path));
    EXPECT_EQ(path, folder + u"report(4).pdf");
    std::filesystem::remove(out / "report(2).pdf");
    WriteFile(out / "report(4).pdf", "4");
    ASSERT_TRUE(FindFreeFileName(session, folder, u"report", u".pdf", 2, path));
    EXPECT_EQ(path, folder + u"report(5).pdf");
    session.ClearClashStarts();
    ASSERT_TRUE(FindFreeFileName(session, folder, u"report", u".pdf", 2, path));
    EXPECT_EQ(path, folder + u"report(2).pdf");
}

TEST_F(ExportMessageTest, LongStemsAreCutSoThatTheNumberAndExtensionStay) {
    const std::u16string stem(300, u'\u00E9');  // two UTF-8 bytes each
    WriteFile(out / std::filesystem::path(JoinFileName(u"", stem, u".txt")), "1");
    std::u16string path;
    ASSERT_TRUE(FindFreeFileName(session, Folder(), stem, u".txt", 2, path));
    const std::string name = std::filesystem::path(path).filename().string();
    EXPECT_LE(name.size(), 255u);
    EXPECT_EQ(name.substr(name.size() - 7), "(2).txt");
    EXPECT_EQ(name.substr(0, 2), "\xC3\xA9");
}

}  // namespace
