#include "mime/mailbox_code_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email_columns.h"
#include "mime/mime_code.h"
#include "platform/code_page.h"

namespace {

// Texts of one language, as UTF-8, and the charset its mail commonly declared.
struct Language {
    std::uint32_t codePage;
    const char* nativeCharset;
    std::vector<std::string> subjects;
    std::vector<std::string> names;
};

const std::vector<Language>& Languages() {
    static const std::vector<Language> languages = {
        {1251,
         "koi8-r",
         {"Привет из Москвы", "Отчёт за квартал", "Встреча в пятницу", "Счёт на оплату"},
         {"Иван Петров", "Ольга Смирнова"}},
        {1250,
         "iso-8859-2",
         {"Zażółć gęślą jaźń", "Příliš žluťoučký kůň", "Spotkanie w środę", "Faktura č. 12"},
         {"Łukasz Wróbel", "Jiří Novák"}},
        {1253,
         "iso-8859-7",
         {"Καλημέρα κόσμε", "Συνάντηση αύριο", "Αναφορά τριμήνου", "Τιμολόγιο"},
         {"Γιώργος Παπαδόπουλος", "Ελένη Νικολάου"}},
        {1254,
         "iso-8859-9",
         {"Toplantı gündemi", "Şirket ağı güncellemesi", "Çarşamba buluşması", "Fatura"},
         {"Ayşe Yılmaz", "Ömer Doğan"}},
        {932,
         "iso-2022-jp",
         {"会議の議事録", "こんにちは世界", "金曜日の打ち合わせ", "請求書について"},
         {"山田太郎", "佐藤花子"}},
        {936, "gb2312", {"会议纪要", "你好世界", "星期五的会议", "发票通知"}, {"张伟", "王芳"}},
        {949,
         "euc-kr",
         {"회의록", "안녕하세요 세계", "금요일 회의", "청구서 안내"},
         {"김철수", "이영희"}},
        {874,
         "tis-620",
         {"สวัสดีครับ", "รายงานประจำเดือน", "ประชุมวันศุกร์", "ใบแจ้งหนี้"},
         {"สมชาย ใจดี", "สมหญิง รักไทย"}},
    };
    return languages;
}

std::string Bytes(std::uint32_t codePage, const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(WideToMultiByteString(codePage, Utf8ToWide(utf8), out)) << codePage;
    return out;
}

std::string Charset(std::string_view charset, const std::string& utf8) {
    std::uint32_t codePage = 65001;
    if (charset == "iso-8859-1")
        codePage = 28591;
    if (charset == "koi8-r")
        codePage = 20866;
    if (charset == "iso-8859-2")
        codePage = 28592;
    if (charset == "iso-8859-7")
        codePage = 28597;
    if (charset == "iso-8859-9")
        codePage = 28599;
    if (charset == "iso-2022-jp")
        codePage = 50220;
    if (charset == "gb2312")
        codePage = 936;
    if (charset == "euc-kr")
        codePage = 949;
    if (charset == "tis-620")
        codePage = 874;
    return Bytes(codePage, utf8);
}

std::string Word(const std::string& charset, const std::string& bytes) {
    return "=?" + charset + "?B?" + EncodeBase64(bytes, false) + "?=";
}

// How a message's header carries its texts.
enum class HeaderStyle {
    Utf8Words,     // encoded words in UTF-8
    NativeWords,   // encoded words in the language's own mail charset
    RawDeclared,   // raw 8-bit in UTF-8, only the Content-Type names the charset
    RawUndeclared  // raw bytes of the code page, no charset anywhere
};

// A message as Outlook Express on a machine of the code page stored it: the record's
// strings in the code page ('?' for what it cannot hold), the header as the mail came.
dbxw::Message Stored(std::uint32_t codePage, const Language& lang, const std::string& subject,
                     const std::string& name, HeaderStyle style) {
    dbxw::Message m;
    m.subject = Bytes(codePage, subject);
    m.senderName = Bytes(codePage, name);
    m.senderAddress = "someone@example.com";
    m.recipientName = "Team";
    m.recipientAddress = "team@example.com";
    std::string subjectField;
    std::string fromName;
    std::string contentType = "Content-Type: text/plain\r\n";
    switch (style) {
        case HeaderStyle::Utf8Words:
            subjectField = Word("utf-8", subject);
            fromName = Word("utf-8", name);
            break;
        case HeaderStyle::NativeWords:
            subjectField = Word(lang.nativeCharset, Charset(lang.nativeCharset, subject));
            fromName = Word(lang.nativeCharset, Charset(lang.nativeCharset, name));
            break;
        case HeaderStyle::RawDeclared:
            subjectField = subject;
            fromName = "\"" + name + "\"";
            contentType = "Content-Type: text/plain; charset=utf-8\r\n";
            break;
        case HeaderStyle::RawUndeclared:
            subjectField = Bytes(codePage, subject);
            fromName = "\"" + Bytes(codePage, name) + "\"";
            break;
    }
    m.text = "From: " + fromName + " <someone@example.com>\r\nTo: Team <team@example.com>\r\n" +
             "Subject: " + subjectField + "\r\nMIME-Version: 1.0\r\n" + contentType +
             "\r\nBody\r\n";
    return m;
}

class MailboxCodePageTest : public ::testing::Test {
protected:
    std::int32_t Open(const std::vector<dbxw::Message>& messages, std::uint32_t override = 0) {
        const auto path = temp.Path("Inbox.dbx");
        EXPECT_TRUE(dbxw::BuildSimpleMailbox(messages).WriteTo(path));
        return OpenMailbox(dbx, path.u16string(), override);
    }

    std::u16string Cell(std::int32_t row, std::int32_t column) {
        return GetEmailCellText(*dbx.GetEmails().Get(row), column, dbx.GetCodePage());
    }

    dbxw::TempDir temp;
    CDBXFile dbx;
};

TEST_F(MailboxCodePageTest, EachWritingCodePageIsDetectedAndItsStringsRead) {
    // Every header style in one mailbox, undeclared messages first, so that the
    // mailbox is decided by those that carry a charset.
    const HeaderStyle styles[] = {HeaderStyle::RawUndeclared, HeaderStyle::Utf8Words,
                                  HeaderStyle::NativeWords, HeaderStyle::RawDeclared};
    for (const Language& lang : Languages()) {
        SCOPED_TRACE(lang.codePage);
        std::vector<dbxw::Message> messages;
        for (std::size_t i = 0; i < 12; ++i) {
            messages.push_back(Stored(lang.codePage, lang, lang.subjects[i % 4], lang.names[i % 2],
                                      styles[i % 4]));
        }
        ASSERT_EQ(Open(messages), DbxOk);
        EXPECT_EQ(dbx.GetDetectedCodePage(), lang.codePage);
        EXPECT_EQ(dbx.GetCodePage(), lang.codePage);
        for (std::int32_t row = 0; row < 12; ++row) {
            EXPECT_EQ(Cell(row, ColSubject), Utf8ToWide(lang.subjects[std::size_t(row) % 4]));
            EXPECT_EQ(Cell(row, ColFrom), Utf8ToWide(lang.names[std::size_t(row) % 2]));
        }
    }
}

TEST_F(MailboxCodePageTest, StringsWithCharactersTheCodePageLacksStillDecide) {
    // A Russian machine stored Chinese and Greek letters as '?'.
    const Language& russian = Languages()[0];
    std::vector<dbxw::Message> messages;
    for (int i = 0; i < 6; ++i) {
        const std::string subject = russian.subjects[std::size_t(i) % 4] + " 你好 αβγ";
        messages.push_back(Stored(1251, russian, subject, russian.names[0],
                                  i % 2 ? HeaderStyle::Utf8Words : HeaderStyle::RawDeclared));
    }
    ASSERT_EQ(Open(messages), DbxOk);
    EXPECT_EQ(dbx.GetCodePage(), 1251u);
    EXPECT_EQ(Cell(0, ColSubject), Utf8ToWide(russian.subjects[0] + " ?? ???"));
}

TEST_F(MailboxCodePageTest, WithoutAnyCharsetTheBytesDecide) {
    // ICU's detector has no Thai; the others are told apart by their byte statistics.
    for (const Language& lang : Languages()) {
        if (lang.codePage == 874) {
            continue;
        }
        SCOPED_TRACE(lang.codePage);
        std::vector<dbxw::Message> messages;
        for (std::size_t i = 0; i < 8; ++i) {
            messages.push_back(Stored(lang.codePage, lang, lang.subjects[i % 4], lang.names[i % 2],
                                      HeaderStyle::RawUndeclared));
        }
        ASSERT_EQ(Open(messages), DbxOk);
        EXPECT_EQ(dbx.GetCodePage(), lang.codePage);
    }
}

TEST_F(MailboxCodePageTest, WesternAsciiAndUndecidedMailboxesStayAt1252) {
    const Language western{1252,
                           "iso-8859-1",
                           {"Café crème", "Über München", "Año nuevo", "Smørrebrød"},
                           {"Zoë François", "Jürgen Groß"}};
    std::vector<dbxw::Message> messages;
    for (std::size_t i = 0; i < 8; ++i) {
        messages.push_back(Stored(1252, western, western.subjects[i % 4], western.names[i % 2],
                                  i % 2 ? HeaderStyle::NativeWords : HeaderStyle::Utf8Words));
    }
    ASSERT_EQ(Open(messages), DbxOk);
    EXPECT_EQ(dbx.GetCodePage(), 1252u);
    EXPECT_EQ(Cell(1, ColSubject), u"\u00DCber M\u00FCnchen");

    dbxw::Message ascii;
    ascii.subject = "Plain";
    ascii.text = "Subject: =?koi8-r?B?8NLJ18XU?=\r\n\r\nx\r\n";
    ASSERT_EQ(Open({ascii, ascii}), DbxOk);
    EXPECT_EQ(dbx.GetCodePage(), 1252u) << "ASCII strings say nothing of a code page";

    // Stored bytes that no header explains, too few for the statistics.
    dbxw::Message odd;
    odd.subject = "x\xE9";
    ASSERT_EQ(Open({odd}), DbxOk);
    EXPECT_EQ(dbx.GetCodePage(), 1252u);
}

TEST_F(MailboxCodePageTest, AFewStrayMessagesDoNotOutvoteTheRest) {
    const Language& russian = Languages()[0];
    const Language& greek = Languages()[2];
    std::vector<dbxw::Message> messages;
    for (std::size_t i = 0; i < 30; ++i) {
        // Every fifth record was written on a Greek machine and copied in.
        messages.push_back(i % 5 == 4 ? Stored(1253, greek, greek.subjects[i % 4], greek.names[0],
                                               HeaderStyle::Utf8Words)
                                      : Stored(1251, russian, russian.subjects[i % 4],
                                               russian.names[0], HeaderStyle::Utf8Words));
    }
    ASSERT_EQ(Open(messages), DbxOk);
    const std::uint32_t first = dbx.GetCodePage();
    EXPECT_EQ(first, 1251u);
    // The same file gives the same answer.
    ASSERT_EQ(Open(messages), DbxOk);
    EXPECT_EQ(dbx.GetCodePage(), first);
}

TEST_F(MailboxCodePageTest, TheUsersChoiceOverridesUntilTheNextOpen) {
    const Language& russian = Languages()[0];
    const std::vector<dbxw::Message> messages = {
        Stored(1251, russian, russian.subjects[0], russian.names[0], HeaderStyle::Utf8Words)};
    ASSERT_EQ(Open(messages), DbxOk);
    ASSERT_EQ(dbx.GetCodePage(), 1251u);

    dbx.SetCodePageOverride(1252);
    EXPECT_EQ(dbx.GetCodePage(), 1252u);
    EXPECT_EQ(dbx.GetDetectedCodePage(), 1251u);
    // The stored bytes are still there to be read another way.
    EXPECT_EQ(Cell(0, ColSubject),
              u"\u00CF\u00F0\u00E8\u00E2\u00E5\u00F2 \u00E8\u00E7 "
              u"\u00CC\u00EE\u00F1\u00EA\u00E2\u00FB");
    dbx.SetCodePageOverride(0);
    EXPECT_EQ(Cell(0, ColSubject), Utf8ToWide(russian.subjects[0]));

    ASSERT_EQ(Open(messages, 1253), DbxOk);
    EXPECT_EQ(dbx.GetCodePage(), 1253u) << "a code page given at open skips detection";
    ASSERT_EQ(Open(messages), DbxOk);
    EXPECT_EQ(dbx.GetCodePage(), 1251u) << "the choice is not remembered";
}

}  // namespace
