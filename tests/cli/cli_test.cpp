// quillbox-cli run as a program on mailboxes built for each test.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

class CliTest : public ::testing::Test {
protected:
    RunResult Run(const std::vector<std::string>& args) {
        std::string command = Quote(QUILLBOX_CLI);
        for (const auto& arg : args) {
            command += " " + Quote(arg);
        }
        const auto out = temp.Path("stdout");
        const auto err = temp.Path("stderr");
        command += " >" + Quote(out.string()) + " 2>" + Quote(err.string()) + " </dev/null";
        const int status = std::system(command.c_str());
        RunResult result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = ReadFile(out);
        result.err = ReadFile(err);
        return result;
    }

    std::string Write(const dbxw::Image& image, const std::string& name = "box.dbx") {
        const auto path = temp.Path(name);
        EXPECT_TRUE(image.WriteTo(path));
        return path.string();
    }

    dbxw::TempDir temp;
};

dbxw::Message Sample(std::uint32_t id, std::string subject, std::string text) {
    dbxw::Message m;
    m.id = id;
    m.subject = std::move(subject);
    m.text = std::move(text);
    m.senderName = "Ann Example";
    m.senderAddress = "ann@example.com";
    m.recipientName = "Bob Example";
    m.recipientAddress = "bob@example.org";
    m.messageId = "<" + std::to_string(id) + "@example.com>";
    m.sent = dbxw::FileTimeFromUtc(2008, 11, 3, 17, 5);
    m.received = dbxw::FileTimeFromUtc(2008, 11, 3, 17, 9);
    m.lines = 12;
    return m;
}

TEST_F(CliTest, ListJsonHasEveryFieldOfEachEntryInListOrder) {
    auto first = Sample(7, "Caf\xE9 menu", "Subject: x\r\n\r\nbody\r\n");
    first.senderName = "Price \x80 list";  // 0x80 is the euro sign in Windows-1252
    first.flags = dbxw::kFlag0020 | dbxw::kFlagAttachment;
    first.priority = 1;
    first.inReplyTo = "<1@example.com>";
    auto second = Sample(9, "Second", "Subject: y\r\n\r\nmore\r\n");
    second.sent = 0x8000000000000000ull;  // cannot be shown as a date
    second.received.reset();
    const std::string path = Write(dbxw::BuildSimpleMailbox({first, second}));

    const RunResult r = Run({"list", path, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["status"], 1);
    EXPECT_EQ(doc["count"], 2);
    EXPECT_EQ(doc["codepage"], 1252) << "nothing in these headers names another code page";
    ASSERT_EQ(doc["emails"].size(), 2u);

    const auto& e0 = doc["emails"][0];
    std::set<std::string> keys;
    for (const auto& item : e0.items()) {
        keys.insert(item.key());
    }
    const std::set<std::string> expected = {"row",
                                            "id",
                                            "has_text",
                                            "flag_0020",
                                            "has_attachment",
                                            "priority",
                                            "subject",
                                            "sent",
                                            "received",
                                            "sender_name",
                                            "sender_address",
                                            "recipient_name",
                                            "recipient_address",
                                            "lines",
                                            "message_id",
                                            "in_reply_to",
                                            "text_offset"};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(e0["row"], 0);
    EXPECT_EQ(e0["id"], 7);
    EXPECT_EQ(e0["has_text"], true);
    EXPECT_EQ(e0["flag_0020"], true);
    EXPECT_EQ(e0["has_attachment"], true);
    EXPECT_EQ(e0["priority"], 1);
    EXPECT_EQ(e0["subject"], "Caf\xC3\xA9 menu");
    EXPECT_EQ(e0["sent"], "2008-11-03 17:05");
    EXPECT_EQ(e0["received"], "2008-11-03 17:09");
    EXPECT_EQ(e0["sender_name"], "Price \xE2\x82\xAC list");
    EXPECT_EQ(e0["sender_address"], "ann@example.com");
    EXPECT_EQ(e0["recipient_name"], "Bob Example");
    EXPECT_EQ(e0["recipient_address"], "bob@example.org");
    EXPECT_EQ(e0["lines"], 12);
    EXPECT_EQ(e0["message_id"], "<7@example.com>");
    EXPECT_EQ(e0["in_reply_to"], "<1@example.com>");
    EXPECT_GT(e0["text_offset"].get<long long>(), 0);

    const auto& e1 = doc["emails"][1];
    EXPECT_EQ(e1["row"], 1);
    EXPECT_EQ(e1["id"], 9);
    EXPECT_EQ(e1["priority"], 3);
    EXPECT_EQ(e1["has_attachment"], false);
    EXPECT_EQ(e1["sent"], "");
    EXPECT_EQ(e1["received"], "1601-01-01 00:00");
    EXPECT_EQ(e1["in_reply_to"], "");
}

TEST_F(CliTest, ListTableShowsHeadingsAndOneRowPerEntry) {
    auto first = Sample(3, "Quarterly figures", "x");
    first.flags = dbxw::kFlagAttachment;
    first.priority = 5;
    const std::string path =
        Write(dbxw::BuildSimpleMailbox({first, Sample(4, "Lunch on Friday", "y")}));
    const RunResult r = Run({"list", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        rows.push_back(line);
    }
    ASSERT_EQ(rows.size(), 3u);
    for (const char* heading :
         {"ID", "A", "P", "F", "Subject", "Sent", "Received", "From", "To", "Lines"}) {
        EXPECT_NE(rows[0].find(heading), std::string::npos) << heading;
    }
    EXPECT_NE(rows[1].find("Quarterly figures"), std::string::npos);
    EXPECT_NE(rows[1].find("@"), std::string::npos);  // the attachment mark
    EXPECT_NE(rows[1].find("v"), std::string::npos);  // low priority
    EXPECT_NE(rows[2].find("Lunch on Friday"), std::string::npos);
    EXPECT_NE(rows[2].find("2008-11-03 17:05"), std::string::npos);
}

TEST_F(CliTest, ShowRawWritesTheStoredBytesUpToTheFirstZero) {
    std::string text = "Subject: bytes\r\n\r\n\xE9\xFF";
    text += std::string(1000, 'x');  // spans two blocks
    const std::string withZero = std::string("before", 6) + '\0' + "after";
    const std::string path =
        Write(dbxw::BuildSimpleMailbox({Sample(1, "a", text), Sample(2, "b", withZero)}));

    RunResult r = Run({"show", path, "0", "--raw"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, text);

    r = Run({"show", path, "1", "--raw"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "before");
}

TEST_F(CliTest, ShowRefusesRowsOutOfRangeAndEntriesWithoutText) {
    const std::string path = Write(dbxw::BuildSimpleMailbox({Sample(1, "a", "abc")}));

    for (const char* row : {"1", "-1", "99999999999"}) {
        const RunResult r = Run({"show", path, row, "--raw"});
        EXPECT_EQ(r.exitCode, 1) << row;
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("out of range"), std::string::npos) << r.err;
    }

    dbxw::Builder b;
    dbxw::Record record;
    record.Add(dbxw::Attribute::Direct(dbxw::kAttrId, 5))
        .Add(dbxw::Attribute::Direct(dbxw::kAttrFlags, 0));  // flag 0x1 clear
    record.text = b.AddText(dbxw::Text{"never shown"});
    dbxw::Node node;
    node.entries.push_back({.record = b.AddRecord(std::move(record))});
    b.root = b.AddNode(std::move(node));
    const std::string path3 = Write(b.Build(), "c.dbx");
    const RunResult r = Run({"show", path3, "0", "--raw"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
    EXPECT_NE(r.err.find("no stored text"), std::string::npos) << r.err;
}

TEST_F(CliTest, OpenFailuresPrintTheStatusText) {
    RunResult r = Run({"list", temp.Path("missing.dbx").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "Unable to open this file.\nPlease check if the path is correct,\nand if the file "
              "is not open by another application.\n");
    EXPECT_TRUE(r.out.empty());

    dbxw::Builder folder;
    folder.header.folder80 = 3;
    r = Run({"list", Write(folder.Build(), "folder.dbx"), "--json"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "This file is an Outlook Express folder file. It does not contain any email.\n");

    dbxw::Image shortFile = dbxw::BuildSimpleMailbox({Sample(1, "a", "b")});
    shortFile.Truncate(100);
    r = Run({"show", Write(shortFile, "short.dbx"), "0", "--raw"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Unable to read this file."), std::string::npos);

    dbxw::Builder empty;
    r = Run({"list", Write(empty.Build(), "empty.dbx")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "This file is empty, and does not contain any email.\n");
}

TEST_F(CliTest, AFolderOrAnUnreadableFileIsRefusedPlainly) {
    const std::string folder = temp.Path("Mail.dbx").string();
    std::filesystem::create_directory(folder);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", folder},
          {"show", folder, "0"},
          {"export", folder, temp.Path("out").string(), "--format", "eml"}}) {
        const RunResult r = Run(args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(r.err, "'" + folder + "' is a folder, not a mailbox file (.dbx).\n") << args[0];
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(temp.Path("out")));

    // Root reads anything: the unreadable file is tried as the nobody user then.
    const std::string file = Write(dbxw::BuildSimpleMailbox({Sample(1, "a", "b")}), "locked.dbx");
    std::filesystem::permissions(file, std::filesystem::perms::none);
    std::string command = Quote(QUILLBOX_CLI) + " list " + Quote(file);
    if (geteuid() == 0) {
        if (std::system("command -v setpriv >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "no setpriv to drop root";
        }
        command = "setpriv --reuid=65534 --regid=65534 --clear-groups " + command;
    }
    const auto err = temp.Path("locked.err");
    const int status = std::system((command + " >/dev/null 2>" + Quote(err.string())).c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_EQ(ReadFile(err), "'" + file + "' cannot be read: permission denied.\n");
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    const std::string path = Write(dbxw::BuildSimpleMailbox({Sample(1, "a", "b")}));
    EXPECT_EQ(Run({}).exitCode, 2);
    EXPECT_EQ(Run({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(Run({"list"}).exitCode, 2);
    EXPECT_EQ(Run({"list", path, "--bogus"}).exitCode, 2);
    EXPECT_EQ(Run({"show", path}).exitCode, 2);
    EXPECT_EQ(Run({"show", path, "zero", "--raw"}).exitCode, 2);
    EXPECT_EQ(Run({"--help"}).exitCode, 0);
}

TEST_F(CliTest, VerboseSendsTheDiagnosticLogToStderr) {
    dbxw::Builder b = dbxw::SimpleMailboxBuilder({Sample(1, "a", "b"), Sample(2, "c", "d")});
    dbxw::Image image = b.Build();
    // Break the first record's self offset: the entry is skipped and the damage logged.
    const std::uint32_t record = image.RecordOffset(0);
    image.PutU32(record, record + 1);
    const std::string path = Write(image);

    RunResult quiet = Run({"list", path, "--json"});
    ASSERT_EQ(quiet.exitCode, 0);
    // Without --verbose only the count of damaged places, and where to look further.
    EXPECT_EQ(quiet.err,
              "1 damaged place in the index skipped; list --recover scans the whole file for "
              "the messages it lost.\n");
    EXPECT_EQ(nlohmann::json::parse(quiet.out)["count"], 1);

    RunResult verbose = Run({"--verbose", "list", path, "--json"});
    ASSERT_EQ(verbose.exitCode, 0);
    EXPECT_NE(verbose.err.find("IndexedData corrupted at offset " + std::to_string(record)),
              std::string::npos)
        << verbose.err;
    EXPECT_EQ(Run({"list", path, "--verbose"}).err, verbose.err);
}

// The emails' ids in the order `list --json` printed them.
std::vector<int> JsonIds(const std::string& out) {
    std::vector<int> ids;
    const auto doc = nlohmann::json::parse(out);
    for (const auto& e : doc["emails"]) {
        ids.push_back(e["id"].get<int>());
    }
    return ids;
}

dbxw::Message Reply(std::uint32_t id, std::string messageId, std::string inReplyTo) {
    dbxw::Message m;
    m.id = id;
    m.messageId = std::move(messageId);
    if (!inReplyTo.empty()) {
        m.inReplyTo = std::move(inReplyTo);
    }
    return m;
}

TEST_F(CliTest, ListSortIsOneHeaderClickOrTwoForDescending) {
    auto a = Sample(2, "beta", "x");
    auto b = Sample(3, "Alpha", "x");
    auto c = Sample(1, "alpha", "x");
    c.senderName.reset();  // no sender name: first when ascending
    b.lines = 30;
    c.lines = 5;
    const std::string path = Write(dbxw::BuildSimpleMailbox({a, b, c}));

    RunResult r = Run({"list", path, "--json", "--sort", "subject"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(JsonIds(r.out), (std::vector<int>{3, 1, 2}));  // "Alpha" < "alpha" < "beta"
    r = Run({"list", path, "--sort", "SUBJECT:desc", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(JsonIds(r.out), (std::vector<int>{2, 1, 3}));
    r = Run({"list", path, "--json", "--sort", "Id:DESC"});
    EXPECT_EQ(JsonIds(r.out), (std::vector<int>{3, 2, 1}));
    r = Run({"list", path, "--json", "--sort", "from"});
    EXPECT_EQ(JsonIds(r.out).front(), 1);
    r = Run({"list", path, "--json", "--sort", "Lines:desc"});
    EXPECT_EQ(JsonIds(r.out), (std::vector<int>{3, 2, 1}));  // 30, 12, 5

    // The table takes the same order.
    r = Run({"list", path, "--sort", "ID"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::size_t alpha = r.out.find("alpha");
    const std::size_t beta = r.out.find("beta");
    const std::size_t upper = r.out.find("Alpha");
    ASSERT_NE(alpha, std::string::npos);
    EXPECT_LT(alpha, beta);
    EXPECT_LT(beta, upper);

    for (const char* bad : {"Bogus", "ID:up", "ID:", ":desc", "Subject:desc:desc", "10"}) {
        r = Run({"list", path, "--sort", bad});
        EXPECT_EQ(r.exitCode, 2) << bad;
        EXPECT_TRUE(r.out.empty()) << bad;
        EXPECT_NE(r.err.find("--sort takes a column heading"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Run({"list", path, "--sort"}).exitCode, 2);
}

TEST_F(CliTest, ThreadsPrintsTheCountAndJsonListsEachThreadsRows) {
    const std::string path = Write(dbxw::BuildSimpleMailbox({
        Reply(1, "<c@x>", "<b@x>"),  // row 0 answers row 2
        Reply(2, "<a@x>", ""),       // row 1: the root of thread 0
        Reply(3, "<b@x>", "<a@x>"),  // row 2 answers row 1
        Reply(4, "<d@x>", "<gone@x>"),
    }));
    RunResult r = Run({"threads", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2 threads found.\n");
    EXPECT_TRUE(r.err.empty()) << r.err;

    r = Run({"threads", path, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc, nlohmann::json::parse(R"({"threads": 2, "members": [[0, 2, 1], [3]]})"));
    EXPECT_LT(r.out.find("\"threads\""), r.out.find("\"members\""));
}

TEST_F(CliTest, ThreadsInACycleAreAnnouncedAndInNoThread) {
    const std::string path = Write(dbxw::BuildSimpleMailbox({
        Reply(1, "<x@x>", "<y@x>"),
        Reply(2, "<root@x>", ""),
        Reply(3, "<y@x>", "<x@x>"),
        Reply(4, "<r@x>", "<root@x>"),
    }));
    RunResult r = Run({"threads", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Oops\nOops\n1 threads found.\n");

    r = Run({"threads", path, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out),
              nlohmann::json::parse(R"({"threads": 1, "members": [[1, 3]]})"));
    EXPECT_EQ(r.err, "Korvane Quillbox: Oops\nKorvane Quillbox: Oops\n");
}

TEST_F(CliTest, DuplicatesCountsAndDeleteListsTheSurvivors) {
    auto copy1 = Sample(1, "Copy one", "x");
    copy1.messageId = "<Copy@Example.com>";
    auto other = Sample(2, "Other", "x");
    other.messageId = "<single@example.com>";
    auto copy2 = Sample(3, "Copy two", "x");
    copy2.messageId = "<copy@example.com>";
    auto copy3 = Sample(4, "Copy three", "x");
    copy3.messageId = "<COPY@EXAMPLE.COM>";
    auto noId1 = Sample(5, "No id", "x");
    noId1.messageId.reset();
    auto noId2 = Sample(6, "No id either", "x");
    noId2.messageId.reset();
    const std::string path =
        Write(dbxw::BuildSimpleMailbox({copy1, other, copy2, noId1, copy3, noId2}));

    RunResult r = Run({"duplicates", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2 duplicate messages found.\n");
    EXPECT_TRUE(r.err.empty()) << r.err;

    r = Run({"duplicates", path, "--delete"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string texts =
        "Note : This tool will only delete duplicate messages\nin memory, and will not affect "
        "your emails file.\n2 duplicate messages found and deleted.\n";
    ASSERT_EQ(r.out.substr(0, texts.size()), texts);
    // The survivors in identifier order (absent first), one copy each, as `list` shows them.
    const std::string expected =
        Write(dbxw::BuildSimpleMailbox({noId1, noId2, copy1, other}), "expected.dbx");
    const RunResult list = Run({"list", expected});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(r.out.substr(texts.size()), list.out);
}

TEST_F(CliTest, DuplicatesOfASingleEntryAndUsage) {
    const std::string path = Write(dbxw::BuildSimpleMailbox({Sample(1, "Only", "x")}));
    RunResult r = Run({"duplicates", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "No duplicate messages.\n");
    r = Run({"duplicates", path, "--delete"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Note : This tool will only delete duplicate messages\nin memory, and "
                          "will not affect your emails file.\nNo duplicate messages.\nID ",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("Only"), std::string::npos);

    EXPECT_EQ(Run({"duplicates"}).exitCode, 2);
    EXPECT_EQ(Run({"duplicates", path, "--bogus"}).exitCode, 2);
    EXPECT_EQ(Run({"threads"}).exitCode, 2);
    EXPECT_EQ(Run({"threads", path, "--delete"}).exitCode, 2);
    for (const char* command : {"threads", "duplicates"}) {
        r = Run({command, temp.Path("missing.dbx").string()});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_TRUE(r.out.empty());
        EXPECT_EQ(r.err.rfind("Unable to open this file.", 0), 0u) << r.err;
    }
}

}  // namespace

namespace {

TEST_F(CliTest, ShowWithoutRawWritesTheDecodedTextPart) {
    const std::string alternative =
        "Subject: alt\r\nContent-Type: multipart/alternative; boundary=\"b\"\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
        "--b\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
        "<p>caf=E9</p>\r\n--b--\r\n";
    const std::string imageOnly =
        "Subject: img\r\nContent-Type: image/png; name=\"p.png\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\niVBORw0KGgo=\r\n";
    const std::string path = Write(
        dbxw::BuildSimpleMailbox({Sample(1, "alt", alternative), Sample(2, "img", imageOnly)}));

    RunResult r = Run({"show", path, "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "<p>caf\xE9</p>");  // the last text leaf, decoded, bytes as stored

    r = Run({"show", path, "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.empty());

    r = Run({"show", path, "2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("out of range"), std::string::npos) << r.err;
}

TEST_F(CliTest, EncodingsListsEachCharsetOnceSortedWithItsDescription) {
    auto part = [](const std::string& charset) {
        return "Subject: c\r\nContent-Type: text/plain; charset=" + charset + "\r\n\r\nx\r\n";
    };
    const std::string path = Write(dbxw::BuildSimpleMailbox(
        {Sample(1, "a", part("utf-8")), Sample(2, "b", part("KOI8-R")),
         Sample(3, "c", part("UTF-8")), Sample(4, "d", part("x-private"))}));

    RunResult r = Run({"encodings", path, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["charsets"].size(), 3u);
    EXPECT_EQ(doc["charsets"][0]["name"], "KOI8-R");
    EXPECT_EQ(doc["charsets"][0]["description"], "Russian Cyrillic (KOI)");
    EXPECT_EQ(doc["charsets"][1]["name"], "utf-8");
    EXPECT_EQ(doc["charsets"][1]["description"], "Unicode (UTF-8)");
    EXPECT_EQ(doc["charsets"][2]["name"], "x-private");
    EXPECT_EQ(doc["charsets"][2]["description"], "");

    r = Run({"encodings", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].rfind("Code Page", 0), 0u);
    EXPECT_EQ(rows[2].rfind("utf-8", 0), 0u);
    EXPECT_NE(rows[2].find("Unicode (UTF-8)"), std::string::npos);
    // Descriptions line up in one column.
    EXPECT_EQ(rows[1].find("Russian"), rows[0].find("Description"));

    r = Run({"encodings", temp.Path("missing.dbx").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.empty());
}

}  // namespace

namespace {

std::vector<std::string> FileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(CliTest, ExportEmlWritesTheChosenRowsByteForByteIntoANewFolder) {
    const std::string first = "Subject: First\r\n\r\nbody one\r\n";
    const std::string third = "Subject: Third: part?\r\n\r\nbody three\r\n";
    const std::string path = Write(dbxw::BuildSimpleMailbox(
        {Sample(1, "First", first), Sample(2, "Second", "Subject: Second\r\n\r\nx\r\n"),
         Sample(3, "Third", third)}));
    const auto out = temp.Path("new/eml");

    RunResult r = Run({"export", path, out.string(), "--format", "eml", "--rows", "0,2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FileNames(out), (std::vector<std::string>{"[1]First.eml", "[3]Third_ part_.eml"}));
    EXPECT_EQ(ReadFile(out / "[1]First.eml"), first);
    EXPECT_EQ(ReadFile(out / "[3]Third_ part_.eml"), third);

    // Every row by default; a range selects the rows in it.
    const auto all = temp.Path("all");
    r = Run({"export", path, all.string(), "--format", "EML"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FileNames(all).size(), 3u);
    const auto range = temp.Path("range");
    r = Run({"export", path, range.string(), "--format", "eml", "--rows", "1-2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FileNames(range), (std::vector<std::string>{"[2]Second.eml", "[3]Third_ part_.eml"}));
}

TEST_F(CliTest, ExportMboxWritesTheChosenRowsIntoOneFile) {
    const std::string path =
        Write(dbxw::BuildSimpleMailbox({Sample(1, "First", "Subject: First\r\n\r\nFrom here\r\n"),
                                        Sample(2, "Second", "Subject: Second\r\n\r\nx\r\n"),
                                        Sample(3, "Third", "Subject: Third\r\n\r\nno break")}));
    const auto box = temp.Path("out.mbox");
    RunResult r = Run({"export", path, box.string(), "--format", "mbox", "--rows", "0,2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(box),
              "From ann@example.com Mon Nov  3 17:05:00 2008\n"
              "Subject: First\n\n>From here\n\n"
              "From ann@example.com Mon Nov  3 17:05:00 2008\n"
              "Subject: Third\n\nno break\n\n");

    r = Run({"export", path, temp.Path("none/out.mbox").string(), "--format", "MBOX"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Unable to write the following output file"), std::string::npos) << r.err;
}

TEST_F(CliTest, ExportDatesEmlFilesUnlessTold) {
    const std::string path =
        Write(dbxw::BuildSimpleMailbox({Sample(1, "First", "Subject: First\r\n\r\nx\r\n")}));
    const auto dated = temp.Path("dated");
    ASSERT_EQ(Run({"export", path, dated.string(), "--format", "eml"}).exitCode, 0);
    const auto sent = std::filesystem::last_write_time(dated / "[1]First.eml");
    // Sample's sent date, 2008-11-03 17:05 UTC.
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(
                  std::chrono::file_clock::to_sys(sent).time_since_epoch())
                  .count(),
              1225731900);

    const auto before = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(2);
    const auto plain = temp.Path("plain");
    ASSERT_EQ(Run({"export", path, plain.string(), "--format", "eml", "--no-file-times"}).exitCode,
              0);
    EXPECT_GE(std::filesystem::last_write_time(plain / "[1]First.eml"), before);
}

TEST_F(CliTest, ExportHtmlUsesTheBundledTemplateAndTheMailboxNameAsTitle) {
    const std::string path = Write(dbxw::BuildSimpleMailbox({Sample(
                                       1, "Hello", "Subject: Hello there\r\n\r\nplain body\r\n")}),
                                   "Family mail.dbx");
    const auto page = temp.Path("out/page.html");
    std::filesystem::create_directories(page.parent_path());

    RunResult r = Run({"export", path, page.string(), "--format", "html"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string html = ReadFile(page);
    EXPECT_NE(html.find("<title>Family mail</title>"), std::string::npos) << html;
    EXPECT_NE(html.find("Hello there"), std::string::npos);
    EXPECT_NE(html.find("<pre>plain body"), std::string::npos);
    EXPECT_EQ(html.find("%%%"), std::string::npos);

    // A template of one's own, a title and a code page without a declaration.
    const auto tpl = temp.Path("mine.html");
    std::ofstream(tpl, std::ios::binary) << "[%%%TITLE%%%]%%%EMAIL_START%%%(%%%SUBJECT%%%)"
                                            "%%%NEXT_EMAIL%%%";
    r = Run({"export", path, page.string(), "--format", "html", "--template", tpl.string(),
             "--title", "T", "--codepage", "28591"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(page), "[T](Hello there)");

    // Without --codepage the template must declare its charset.
    r = Run({"export", path, page.string(), "--format", "html", "--template", tpl.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error: Unable to find a charset definition"), std::string::npos) << r.err;
}

TEST_F(CliTest, ExportAttachmentsReportsTheCountAndThreadsWriteOneFilePerThread) {
    const std::string withFile =
        "Subject: Invoice\r\nMessage-ID: <a@x>\r\nContent-Type: multipart/mixed; boundary=\"m\"\r\n"
        "\r\n--m\r\nContent-Type: text/plain\r\n\r\nsee attached\r\n"
        "--m\r\nContent-Type: application/pdf; name=\"bill.pdf\"\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\nJVBERi0xLjQK\r\n--m--\r\n";
    dbxw::Message answer = Sample(2, "Re: Invoice", "Subject: Re: Invoice\r\n\r\nthanks\r\n");
    answer.inReplyTo = "<a@x>";
    dbxw::Message head = Sample(1, "Invoice", withFile);
    head.messageId = "<a@x>";
    const std::string path = Write(dbxw::BuildSimpleMailbox({head, answer}));

    const auto files = temp.Path("files");
    RunResult r = Run({"export", path, files.string(), "--format", "attachments"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FileNames(files), (std::vector<std::string>{"bill.pdf"}));
    EXPECT_EQ(ReadFile(files / "bill.pdf"), "%PDF-1.4\n");
    EXPECT_NE(r.err.find("Korvane Quillbox: 1 attached file(s) exported."), std::string::npos)
        << r.err;

    const auto threads = temp.Path("threads");
    r = Run({"export", path, threads.string(), "--format", "html-threads"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FileNames(threads), (std::vector<std::string>{"Invoice.html"}));
    const std::string page = ReadFile(threads / "Invoice.html");
    EXPECT_NE(page.find("see attached"), std::string::npos);
    EXPECT_NE(page.find("thanks"), std::string::npos);
}

TEST_F(CliTest, ExportRefusesBadArgumentsAndDestinationsItCannotUse) {
    const std::string path =
        Write(dbxw::BuildSimpleMailbox({Sample(1, "a", "Subject: a\r\n\r\nb")}));
    const std::string out = temp.Path("o").string();
    EXPECT_EQ(Run({"export", path, out}).exitCode, 2);  // --format is required
    EXPECT_EQ(Run({"export", path, out, "--format", "pdf"}).exitCode, 2);
    for (const char* rows : {"x", "1,", ",1", "1,,2", "3-1", "-2", "1--2", "99999999999"}) {
        EXPECT_EQ(Run({"export", path, out, "--format", "eml", "--rows", rows}).exitCode, 2)
            << rows;
    }
    EXPECT_EQ(Run({"export", path, out, "--format", "html", "--sort", "size"}).exitCode, 2);
    EXPECT_EQ(Run({"export", path, out, "--format", "html", "--order", "up"}).exitCode, 2);

    RunResult r = Run({"export", path, out, "--format", "eml", "--rows", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("out of range"), std::string::npos) << r.err;

    // A folder below a plain file can never be made.
    const auto blocker = temp.Path("file");
    std::ofstream(blocker) << "x";
    r = Run({"export", path, (blocker / "sub").string(), "--format", "eml"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Output folder: Error: Unable to create the output folder"),
              std::string::npos)
        << r.err;

    r = Run({"export", path, temp.Path("p.html").string(), "--format", "html", "--template",
             temp.Path("none.html").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error: The template file doesn't exist or is corrupted"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(temp.Path("p.html")));
}

TEST_F(CliTest, ExportRefusesAnEmptyDestinationInsteadOfTheRootFolder) {
    const std::string path =
        Write(dbxw::BuildSimpleMailbox({Sample(1, "a", "Subject: a\r\n\r\nb")}));
    for (const char* format : {"eml", "attachments", "html-threads"}) {
        for (const char* destination : {"", "  "}) {
            const RunResult r = Run({"export", path, destination, "--format", format});
            EXPECT_EQ(r.exitCode, 1) << format;
            EXPECT_NE(r.err.find("Output folder: Please choose an output folder."),
                      std::string::npos)
                << r.err;
        }
    }
    const RunResult r = Run({"export", path, "", "--format", "html"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Output file: Please choose an output file."), std::string::npos) << r.err;
}

TEST_F(CliTest, ExportAttachmentsStopsAUuencodedFileAtItsEndLine) {
    const std::string text =
        "Subject: sig\r\n\r\nRegards\r\nbegin 644 sig.txt\r\n#0V%T\r\nend\r\n\r\n"
        "begin 644 two.txt\r\n#:&D*\r\n`\r\nend\r\n";
    const std::string path = Write(dbxw::BuildSimpleMailbox({Sample(1, "sig", text)}));
    const auto files = temp.Path("files");
    const RunResult r = Run({"export", path, files.string(), "--format", "attachments"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(FileNames(files), (std::vector<std::string>{"sig.txt"}));
    EXPECT_EQ(ReadFile(files / "sig.txt"), "Cat");
    EXPECT_NE(r.err.find("Korvane Quillbox: 1 attached file(s) exported."), std::string::npos)
        << r.err;
}

TEST_F(CliTest, ExportPrintsEveryFileItCouldNotWriteAndExitsWithOne) {
    const std::string path = Write(dbxw::BuildSimpleMailbox(
        {Sample(1, "a", "Subject: a\r\n\r\n1\r\n"), Sample(2, "b", "Subject: b\r\n\r\n2\r\n"),
         Sample(3, "c", "Subject: c\r\n\r\n3\r\n")}));
    const auto out = temp.Path("out");
    // Folders in the way of two of the names fail those files, even for root.
    std::filesystem::create_directories(out / "[1]a.eml");
    std::filesystem::create_directories(out / "[3]c.eml");
    const RunResult r = Run({"export", path, out.string(), "--format", "eml"});
    EXPECT_EQ(r.exitCode, 1);
    for (const char* name : {"[1]a.eml", "[3]c.eml"}) {
        EXPECT_NE(r.err.find("Error: Unable to write the following output file :\n" +
                             (out / name).string() +
                             "\nDisk full, or fill open by another application ?\n"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(r.err.find("Continue with the other emails?"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("could not be written"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(out / "[2]b.eml"), "Subject: b\r\n\r\n2\r\n");
}

TEST_F(CliTest, ExportEscapesMarkupInPagesAndNothingInTheTextFile) {
    const std::string text =
        "Subject: <b>bold</b> & co\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n"
        "if (a<b && c>d) return;\r\n";
    const std::string path = Write(dbxw::BuildSimpleMailbox({Sample(1, "x", text)}));
    const auto tpl = temp.Path("t.html");
    std::ofstream(tpl, std::ios::binary) << "%%%EMAIL_START%%%[%%%SUBJECT%%%|%%%TEXT_CONTENT%%%]"
                                            "%%%NEXT_EMAIL%%%";
    const auto page = temp.Path("page.html");
    RunResult r = Run({"export", path, page.string(), "--format", "html", "--template",
                       tpl.string(), "--codepage", "65001"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(page),
              "[&lt;b&gt;bold&lt;/b&gt; &amp; co|if (a&lt;b && c&gt;d) return;\r\n]");

    const auto file = temp.Path("all.txt");
    r = Run({"export", path, file.string(), "--format", "text", "--template", tpl.string(),
             "--codepage", "65001"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(file), "[<b>bold</b> & co|if (a<b && c>d) return;\r\n]");
}

}  // namespace

TEST_F(CliTest, ShowMessagePrintsTheDecodedHeaderBlockBodyAndFiles) {
    const std::string raw =
        "From: =?iso-8859-1?Q?Ren=E9?= <rene@example.fr>\r\nTo: bob@example.org\r\n"
        "Date: Tue, 3 Feb 2004 10:00:00 +0100\r\nSubject: =?utf-8?B?w4dh?=\r\n"
        "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
        "--m\r\nContent-Type: multipart/alternative; boundary=\"a\"\r\n\r\n"
        "--a\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
        "--a\r\nContent-Type: text/html\r\n\r\n<p>Caf&eacute;<script>x()</script></p>\r\n"
        "--a--\r\n--m\r\nContent-Type: application/pdf; "
        "name=\"bill.pdf\"\r\n\r\n12345\r\n--m--\r\n";
    const std::string path = Write(dbxw::BuildSimpleMailbox({Sample(1, "s", raw)}));
    const RunResult r = Run({"show", path, "0", "--message"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "From: Ren\xC3\xA9 <rene@example.fr>\nTo: bob@example.org\n"
              "Date: Tue, 3 Feb 2004 10:00:00 +0100\nSubject: \xC3\x87"
              "a\n\n"
              "Caf\xC3\xA9\n\nAttached files:\n  bill.pdf (5 bytes)\n");
    EXPECT_EQ(Run({"show", path, "0", "--message", "--raw"}).exitCode, 2);
}

TEST_F(CliTest, ListFilterKeepsFullListRowNumbers) {
    auto plumber = Sample(5, "Leaking pipe", "Subject: a\r\n\r\nfixed\r\n");
    plumber.senderName = "Jo\xEBl Plumber";  // 1252
    auto other = Sample(6, "Other", "Subject: b\r\n\r\nthe plumber sent the bill\r\n");
    auto third = Sample(7, "R\xE9sum\xE9", "Subject: c\r\n\r\nnothing\r\n");
    const std::string path = Write(dbxw::BuildSimpleMailbox({other, plumber, third}));

    RunResult r = Run({"list", path, "--filter", "JOEL", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["count"], 3);
    EXPECT_EQ(doc["matched"], 1);
    ASSERT_EQ(doc["emails"].size(), 1u);
    EXPECT_EQ(doc["emails"][0]["row"], 1);
    EXPECT_EQ(doc["emails"][0]["id"], 5);

    r = Run({"list", path, "--filter", "plumber", "--body", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["emails"].size(), 2u);
    EXPECT_EQ(doc["emails"][0]["row"], 0);
    EXPECT_EQ(doc["emails"][1]["row"], 1);

    // The table leads with the row numbers; sorting first renumbers the rows.
    r = Run({"list", path, "--filter", "resume", "--sort", "Subject"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::size_t newline = r.out.find('\n');
    EXPECT_TRUE(r.out.starts_with("Row  ID")) << r.out;
    EXPECT_NE(r.out.find("  2   7", newline), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\n', newline + 1), r.out.size() - 1);  // one row
    EXPECT_EQ(Run({"list", path, "--body"}).exitCode, 2);
}
namespace {

// A mailbox whose second and fourth messages were deleted and whose sixth lost its record.
struct RescueBox {
    dbxw::Image image;
    std::vector<std::string> texts;
};

RescueBox BuildRescueBox() {
    std::vector<dbxw::Message> messages;
    RescueBox box;
    for (std::uint32_t i = 0; i < 6; ++i) {
        std::string text = "Subject: note " + std::to_string(i) + "\r\n\r\n";
        while (text.size() < 300 + 400 * i) {
            text += "text of note " + std::to_string(i) + "\r\n";
        }
        messages.push_back(Sample(10 + i, "note " + std::to_string(i), text));
        box.texts.push_back(text);
    }
    dbxw::Builder b = dbxw::SimpleMailboxBuilder(messages);
    b.DeleteMessage(1);
    b.DeleteMessage(3);
    box.image = b.Build();
    box.image.Wipe(box.image.RecordOffset(5), 12);
    return box;
}

TEST_F(CliTest, ListRecoverNumbersTheRecoveredRowsAfterTheIndexRows) {
    const RescueBox box = BuildRescueBox();
    const std::string path = Write(box.image);

    const RunResult plain = Run({"list", path, "--json"});
    ASSERT_EQ(plain.exitCode, 0);
    const auto before = nlohmann::json::parse(plain.out);
    ASSERT_EQ(before["count"], 3);
    EXPECT_FALSE(before["emails"][0].contains("recovered"));
    // The lost record is one damaged place, and the user is told how to look further.
    EXPECT_NE(plain.err.find("1 damaged place in the index skipped"), std::string::npos)
        << plain.err;

    const RunResult r = Run({"list", path, "--recover", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["status"], 1);
    EXPECT_EQ(doc["count"], 6);
    EXPECT_EQ(doc["recovered_count"], 3);
    const auto& emails = doc["emails"];
    ASSERT_EQ(emails.size(), 6u);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(emails[row]["row"], row);
        EXPECT_EQ(emails[row]["id"], before["emails"][row]["id"]);
        EXPECT_TRUE(emails[row]["recovered"].is_null());
        EXPECT_FALSE(emails[row].contains("offset"));
    }
    // File order: the two deleted messages, then the one whose record is gone.
    const std::string kinds[] = {"deleted", "deleted", "unlisted"};
    const std::uint32_t ids[] = {11, 13};
    for (int k = 0; k < 3; ++k) {
        const auto& e = emails[3 + k];
        EXPECT_EQ(e["row"], 3 + k);
        EXPECT_EQ(e["recovered"], kinds[k]);
        EXPECT_EQ(e["text_offset"], e["offset"]);
        if (k < 2) {
            EXPECT_EQ(e["id"], ids[k]);
            EXPECT_EQ(e["lost_bytes"], 4 * ((box.texts[1 + 2 * k].size() + 511) / 512));
        } else {
            EXPECT_EQ(e["id"], -1);
            EXPECT_EQ(e["lost_bytes"], 0);
            EXPECT_EQ(e["subject"], "note 5");
        }
    }

    // The unlisted text comes back byte for byte; a deleted one keeps every block's 512
    // bytes in place, its lost four bytes shown as "~~~~".
    const RunResult show = Run({"show", path, "5", "--raw", "--recover"});
    ASSERT_EQ(show.exitCode, 0);
    EXPECT_EQ(show.out, box.texts[5]);
    const RunResult deleted = Run({"show", path, "4", "--raw", "--recover"});
    ASSERT_EQ(deleted.exitCode, 0);
    std::string expected = box.texts[3];
    for (std::size_t at = 0; at < expected.size(); at += 512) {
        expected.replace(at, 4, "~~~~");
    }
    EXPECT_EQ(deleted.out, expected);
    // Without --recover the row does not exist.
    EXPECT_EQ(Run({"show", path, "4", "--raw"}).exitCode, 1);

    // The export takes the same row numbers.
    const auto out = temp.Path("eml");
    ASSERT_EQ(
        Run({"export", path, out.string(), "--format", "eml", "--rows", "5", "--recover"}).exitCode,
        0);
    std::vector<std::string> names;
    for (const auto& f : std::filesystem::directory_iterator(out)) {
        names.push_back(f.path().filename().string());
    }
    ASSERT_EQ(names.size(), 1u);
    char name[64];
    std::snprintf(name, sizeof name, "[unlisted-%08X]note 5.eml",
                  unsigned(emails[5]["offset"].get<std::uint32_t>()));
    EXPECT_EQ(names[0], name);
}

TEST_F(CliTest, RecoverWritesOnlyTheRecoveredMessagesByKind) {
    const RescueBox box = BuildRescueBox();
    const std::string path = Write(box.image);
    const auto dest = temp.Path("rescued");
    const RunResult r = Run({"recover", path, dest.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto count = [](const std::filesystem::path& folder) {
        return std::distance(std::filesystem::directory_iterator(folder),
                             std::filesystem::directory_iterator());
    };
    EXPECT_EQ(count(dest / "deleted"), 2);
    EXPECT_EQ(count(dest / "unlisted"), 1);
    EXPECT_EQ(count(dest), 2);
    EXPECT_EQ(ReadFile(dest / "unlisted" /
                       std::filesystem::directory_iterator(dest / "unlisted")->path().filename()),
              box.texts[5]);
}

TEST_F(CliTest, ABrokenIndexStillListsWhatTheScanFound) {
    RescueBox box = BuildRescueBox();
    box.image.PutU32(dbxw::kHdrRootOffset, 0x1000);
    const std::string path = Write(box.image);
    const RunResult plain = Run({"list", path, "--json"});
    EXPECT_EQ(plain.exitCode, 1);
    const RunResult r = Run({"list", path, "--recover", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["status"], 104);
    EXPECT_EQ(doc["count"], 6);
    EXPECT_EQ(doc["recovered_count"], 6);
    EXPECT_EQ(doc["emails"][0]["recovered"], "unlisted");
    EXPECT_EQ(doc["emails"][0]["id"], 10);

    // A file with nothing to find: the status text, and failure.
    dbxw::Builder empty;
    const RunResult none = Run({"list", Write(empty.Build(), "empty.dbx"), "--recover"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("does not contain any email"), std::string::npos);
}

}  // namespace

namespace {

// A message as a Russian Windows stored it: the record's strings in Windows-1251, the
// header's in encoded words.
dbxw::Message Russian(std::uint32_t id) {
    dbxw::Message m = Sample(id, "\xCF\xF0\xE8\xE2\xE5\xF2",  // "Привет" in 1251
                             "From: =?utf-8?B?0JjQstCw0L0=?= <ivan@example.ru>\r\n"
                             "Subject: =?utf-8?B?0J/RgNC40LLQtdGC?=\r\n\r\nbody\r\n");
    m.senderName = "\xC8\xE2\xE0\xED";  // "Иван"
    return m;
}

}  // namespace

TEST_F(CliTest, MailboxCodePageIsDetectedReportedAndCanBeChosen) {
    std::vector<dbxw::Message> messages;
    for (std::uint32_t id = 1; id <= 4; ++id) {
        messages.push_back(Russian(id));
    }
    const std::string path = Write(dbxw::BuildSimpleMailbox(messages));

    RunResult r = Run({"list", path, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["codepage"], 1251);
    EXPECT_EQ(doc["emails"][0]["subject"], "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82");
    EXPECT_EQ(doc["emails"][0]["sender_name"], "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD");

    r = Run({"list", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"), std::string::npos);

    // The user's choice wins: the same bytes read as Windows-1252.
    r = Run({"list", path, "--json", "--mailbox-codepage", "1252"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["codepage"], 1252);
    EXPECT_EQ(doc["emails"][0]["subject"], "\xC3\x8F\xC3\xB0\xC3\xA8\xC3\xA2\xC3\xA5\xC3\xB2");

    // Exports name their files in the same code page.
    const auto eml = temp.Path("eml");
    r = Run({"export", path, eml.string(), "--format", "eml", "--rows", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(
        std::filesystem::exists(eml / "[1]\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.eml"));

    // Every command that opens a mailbox takes the option; only ANSI code pages are taken.
    for (const char* command : {"threads", "duplicates", "encodings"}) {
        EXPECT_EQ(Run({command, path, "--mailbox-codepage", "1251"}).exitCode, 0) << command;
    }
    EXPECT_EQ(Run({"show", path, "0", "--mailbox-codepage", "1251"}).exitCode, 0);
    for (const char* bad : {"65001", "0", "abc", "1252x"}) {
        EXPECT_EQ(Run({"list", path, "--mailbox-codepage", bad}).exitCode, 2) << bad;
    }
}

namespace {

// What the serializer makes of the document when it holds it whole: list --json is written
// entry by entry and must come out the same, byte for byte.
std::string Reserialized(const std::string& out) {
    return nlohmann::ordered_json::parse(out).dump(
               2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
           "\n";
}

TEST_F(CliTest, ListJsonWrittenEntryByEntryHasTheWholeDocumentsBytes) {
    std::vector<dbxw::Message> messages;
    for (std::uint32_t i = 1; i <= 150; ++i) {
        std::string bytes;
        for (std::uint32_t b = 1; b < 24; ++b) {
            bytes += char((i * 23 + b * 11) % 255 + 1);  // every byte value turns up
        }
        auto m =
            Sample(i, "\"Re\\: " + bytes + "\"", "Subject: " + std::to_string(i) + "\r\n\r\nx");
        m.senderName = i % 3 == 0 ? std::string() : "N\xE4me \x80\t" + bytes.substr(5);
        if (i % 6 == 5) {
            m.sent = 0x8000000000000000ull;
        }
        messages.push_back(std::move(m));
    }
    const std::string path = Write(dbxw::BuildSimpleMailbox(messages));

    const RunResult r = Run({"list", path, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Past the size the entries are written out in, so a seam would show.
    EXPECT_GT(r.out.size(), std::size_t(64 * 1024));
    EXPECT_EQ(r.out, Reserialized(r.out));
    const auto doc = nlohmann::ordered_json::parse(r.out);
    ASSERT_EQ(doc["emails"].size(), 150u);
    EXPECT_EQ(doc["emails"][149]["id"], 150);
    EXPECT_NE(r.out.find("\\\"Re\\\\: "), std::string::npos) << "quotes and backslashes escaped";

    // The same bytes read as Cyrillic and as Shift-JIS.
    for (const char* codePage : {"1251", "932"}) {
        const RunResult read = Run({"list", path, "--json", "--mailbox-codepage", codePage});
        ASSERT_EQ(read.exitCode, 0) << read.err;
        EXPECT_EQ(read.out, Reserialized(read.out)) << codePage;
    }

    const RunResult sorted = Run({"list", path, "--json", "--sort", "Subject:desc"});
    ASSERT_EQ(sorted.exitCode, 0) << sorted.err;
    EXPECT_EQ(sorted.out, Reserialized(sorted.out));

    const RunResult one = Run(
        {"list", Write(dbxw::BuildSimpleMailbox({Sample(4, "one", "x")}), "one.dbx"), "--json"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.out, Reserialized(one.out));

    const RunResult recovered =
        Run({"list", Write(BuildRescueBox().image, "rescue.dbx"), "--recover", "--json"});
    ASSERT_EQ(recovered.exitCode, 0) << recovered.err;
    EXPECT_EQ(recovered.out, Reserialized(recovered.out));
    EXPECT_EQ(nlohmann::ordered_json::parse(recovered.out)["recovered_count"], 3);
}

TEST_F(CliTest, FormatAndColumnNamesInMessagesAndHelpAreTheTablesOnes) {
    const std::string path = Write(dbxw::BuildSimpleMailbox({Sample(1, "a", "b")}));
    const RunResult format = Run({"export", path, temp.Path("out").string(), "--format", "pdf"});
    EXPECT_EQ(format.exitCode, 2);
    EXPECT_NE(format.err.find("--format takes eml, attachments, html, html-threads, text or "
                              "mbox; not \"pdf\"."),
              std::string::npos)
        << format.err;
    const RunResult sort = Run({"list", path, "--sort", "Size"});
    EXPECT_EQ(sort.exitCode, 2);
    EXPECT_NE(sort.err.find("(ID, A, P, F, Subject, Sent, Received, From, To or Lines)"),
              std::string::npos)
        << sort.err;
    // Any case names a format, as before.
    EXPECT_EQ(Run({"export", path, temp.Path("eml").string(), "--format", "EML"}).exitCode, 0);

    const RunResult help = Run({"export", "--help"});
    EXPECT_NE(help.out.find("html-threads; created when missing) or file (html, text, mbox)"),
              std::string::npos)
        << help.out;
    const RunResult storeHelp = Run({"export-store", "--help"});
    EXPECT_NE(storeHelp.out.find("eml, attachments, html, html-threads, text or mbox"),
              std::string::npos)
        << storeHelp.out;
}

}  // namespace
