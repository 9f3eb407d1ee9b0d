// The per-thread export: one file per thread with a selected entry, named after the
// thread's first message, free names beside existing files, the order inside a file,
// progress, cancel and failures.
#include "export/export_threads.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "html_export_fixture.h"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kThreadTemplate =
    "<h1>%%%TITLE%%%</h1>%%%EMAIL_START%%%[%%%SUBJECT%%%]%%%NEXT_EMAIL%%%";

// A message of a thread: an identifier of its own and the one it answers.
dbxw::Message Reply(std::string subject, std::string messageId, std::string inReplyTo = {},
                    std::uint64_t received = 0) {
    dbxw::Message m = Mail(std::move(subject));
    m.messageId = std::move(messageId);
    if (!inReplyTo.empty())
        m.inReplyTo = std::move(inReplyTo);
    if (received != 0)
        m.received = received;
    return m;
}

class ThreadsTest : public HtmlExportTest {
protected:
    void SetUp() override {
        HtmlExportTest::SetUp();
        fs::create_directory(temp.Path("out"));
    }

    CThreadExportRequest Request(std::string_view templateText = kThreadTemplate) {
        CThreadExportRequest r;
        r.folder = temp.WidePath("out") + u"/";
        r.templatePath = TemplateFile(templateText);
        r.codePage = 65001;
        return r;
    }

    // The names of the files written, sorted.
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(temp.Path("out"))) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string File(std::string_view name) { return ReadWholeFile(temp.Path("out") / name); }
};

TEST_F(ThreadsTest, SameSubjectsGetNumberedNames) {
    OpenMailbox({Mail("Subject"), Mail("Subject"), Mail("Subject"), Mail("Other")});
    EXPECT_TRUE(ExportThreads(session, Request()));
    EXPECT_EQ(Files(), (std::vector<std::string>{"Other.html", "Subject(1).html", "Subject(2).html",
                                                 "Subject.html"}));
    EXPECT_EQ(File("Subject(2).html"), "<h1>Subject</h1>[Subject]");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ThreadsTest, ExistingFilesAreLeftAlone) {
    OpenMailbox({Mail("Subject")});
    WriteWholeFile(temp.Path("out") / "Subject.html", "earlier export");
    EXPECT_TRUE(ExportThreads(session, Request()));
    EXPECT_EQ(File("Subject.html"), "earlier export");
    EXPECT_EQ(File("Subject(1).html"), "<h1>Subject</h1>[Subject]");
}

TEST_F(ThreadsTest, ManySameSubjectsFillTheGapsOfAnEarlierExportInOrder) {
    for (const char* old : {"Subject(2).html", "Subject(3).html", "Subject(6).html"}) {
        WriteWholeFile(temp.Path("out") / old, "earlier export");
    }
    OpenMailbox(std::vector<dbxw::Message>(8, Mail("Subject")));
    EXPECT_TRUE(ExportThreads(session, Request()));
    // Sorted as text: (10) comes after (1).
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"Subject(1).html", "Subject(10).html", "Subject(2).html",
                                        "Subject(3).html", "Subject(4).html", "Subject(5).html",
                                        "Subject(6).html", "Subject(7).html", "Subject(8).html",
                                        "Subject(9).html", "Subject.html"}));
    EXPECT_EQ(File("Subject(6).html"), "earlier export");
    // A second export starts afresh: a file removed in between is taken again.
    std::filesystem::remove(temp.Path("out") / "Subject(4).html");
    EXPECT_TRUE(ExportThreads(session, Request()));
    EXPECT_EQ(File("Subject(4).html"), "<h1>Subject</h1>[Subject]");
    EXPECT_EQ(Files().size(), 11u + 7u);
}

TEST_F(ThreadsTest, ThreadIsNamedAfterItsFirstMessageEvenWhenUnselected) {
    OpenMailbox({Reply("Root", "<r@x>"), Reply("Re: Root", "<a@x>", "<r@x>"),
                 Reply("Re: Re: Root", "<b@x>", "<a@x>"), Reply("Alone", "<c@x>")});
    Entry(0).m_bSelected = false;
    Entry(3).m_bSelected = false;
    EXPECT_TRUE(ExportThreads(session, Request()));
    // The thread without a selected entry gives no file.
    EXPECT_EQ(Files(), std::vector<std::string>{"Root.html"});
    EXPECT_EQ(File("Root.html"), "<h1>Root</h1>[Re: Root][Re: Re: Root]");
}

TEST_F(ThreadsTest, MissingOrEmptySubjectGivesNoSubjectName) {
    dbxw::Message none;
    none.text = "From: a@b\r\n\r\nno subject field\r\n";
    OpenMailbox({none, Mail("")});
    EXPECT_TRUE(ExportThreads(session, Request("%%%TITLE%%%")));
    EXPECT_EQ(Files(), (std::vector<std::string>{"(No subject)(1).html", "(No subject).html"}));
    EXPECT_EQ(File("(No subject).html"), "(No subject)");
}

TEST_F(ThreadsTest, NamesAreCleanedAndFitTheFileSystem) {
    OpenMailbox({Mail("a/b:c?"), Mail(std::string(300, 'x')), Mail(std::string(300, 'x'))});
    EXPECT_TRUE(ExportThreads(session, Request("%%%TITLE%%%")));
    const std::vector<std::string> files = Files();
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0], "a_b_c_.html");
    EXPECT_EQ(files[1], std::string(250 - 3, 'x') + "(1).html");
    EXPECT_EQ(files[2], std::string(250, 'x') + ".html");
    // The title inside keeps the whole subject.
    EXPECT_EQ(File(files[2]), std::string(300, 'x'));
}

TEST_F(ThreadsTest, OrderInsideAThread) {
    const auto day = [](int d) { return dbxw::FileTimeFromUtc(2009, 5, d); };
    // Message numbers 1..3, received on days 2, 3 and 1.
    OpenMailbox({Reply("One", "<1@x>", {}, day(2)), Reply("Two", "<2@x>", "<1@x>", day(3)),
                 Reply("Three", "<3@x>", "<1@x>", day(1))});
    CThreadExportRequest r = Request("%%%EMAIL_START%%%%%%SUBJECT%%%,%%%NEXT_EMAIL%%%");
    r.sortBy = 1;
    r.ascending = false;
    EXPECT_TRUE(ExportThreads(session, r));
    EXPECT_EQ(File("One.html"), "Two,One,Three,");

    r.ascending = true;
    EXPECT_TRUE(ExportThreads(session, r));
    EXPECT_EQ(File("One(1).html"), "Three,One,Two,");

    r.sortBy = 0;
    EXPECT_TRUE(ExportThreads(session, r));
    EXPECT_EQ(File("One(2).html"), "One,Two,Three,");
}

TEST_F(ThreadsTest, ProgressCountsSelectedEntriesAndCancelStops) {
    OpenMailbox({Reply("A", "<a@x>"), Reply("Re: A", "<a2@x>", "<a@x>"), Reply("B", "<b@x>"),
                 Reply("C", "<c@x>")});
    ui.SetCancelAfterPumps(2);
    EXPECT_TRUE(ExportThreads(session, Request()));
    EXPECT_EQ(Files(), (std::vector<std::string>{"A.html", "B.html"}));
    // The export's window counts files; the scan opens its own after it.
    ASSERT_EQ(ui.ProgressCount(), 2u);
    EXPECT_EQ(ui.Progress(1).creationTitle, u"Scanning threads...");
    const CProgressRecord& p = ui.Progress(0);
    EXPECT_EQ(p.creationTitle, u"Export emails as HTML files, per thread...");
    EXPECT_EQ(p.positions, (std::vector<int>{50, 75}));
    EXPECT_EQ(p.statusTexts,
              (std::vector<std::u16string>{u"2 files exported.", u"3 files exported."}));
    EXPECT_TRUE(p.destroyed);
}

TEST_F(ThreadsTest, UnreadableFirstMessageSkipsItsThread) {
    dbxw::Message lost;
    lost.subject = "Lost";
    lost.id = 7;
    OpenMailbox({lost, Mail("Kept")});
    EXPECT_TRUE(ExportThreads(session, Request()));
    EXPECT_EQ(Files(), std::vector<std::string>{"Kept.html"});
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, u"Unable to read the message 7. File corrupted ?");
    EXPECT_EQ(ui.messages[0].caption, u"Error");
}

TEST_F(ThreadsTest, UnwritableFileIsReportedAndTheExportGoesOn) {
    OpenMailbox({Mail("A"), Mail("B")});
    CThreadExportRequest r = Request();
    r.folder = temp.WidePath("missing") + u"/";
    EXPECT_TRUE(ExportThreads(session, r));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, WriteErrorQuestionText(r.folder + u"A.html"));
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(ui.messages[1].text, u"1 files could not be written.");
    EXPECT_EQ(ui.messages[1].openProgress, 0);
    EXPECT_EQ(ui.Progress(0).statusTexts.size(), 2u);

    // No ends the export at the first thread.
    ui.messages.clear();
    ui.QueueAnswer(MsgAnswer::No);
    EXPECT_TRUE(ExportThreads(session, r));
    EXPECT_EQ(ui.MessageTexts(),
              (std::vector<std::u16string>{WriteErrorQuestionText(r.folder + u"A.html")}));
    EXPECT_TRUE(ui.Progress(ui.ProgressCount() - 2).statusTexts.empty());
}

TEST_F(ThreadsTest, NothingHappensWithoutSelectionOrTemplate) {
    OpenMailbox({Mail("A")});
    SelectAll(false);
    EXPECT_FALSE(ExportThreads(session, Request()));
    EXPECT_EQ(ui.ProgressCount(), 0u);
    EXPECT_TRUE(ui.messages.empty());

    SelectAll(true);
    CThreadExportRequest r = Request();
    r.templatePath = temp.WidePath("none.html");
    EXPECT_FALSE(ExportThreads(session, r));
    EXPECT_TRUE(Files().empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, kTemplateOpenError);
    // The window was open before the template was read, and closed after.
    ASSERT_EQ(ui.ProgressCount(), 1u);
    EXPECT_TRUE(ui.LastProgress().destroyed);
}

}  // namespace
