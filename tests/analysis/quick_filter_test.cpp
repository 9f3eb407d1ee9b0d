// The quick filter: folding without case and accents in several scripts, matching every
// word against subject, sender and recipient, rows that follow a sort, and the body
// search over a mailbox written by the DBX writer.
#include <gtest/gtest.h>

#include "analysis/email_sort.h"
#include "analysis/quick_filter.h"
#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "mailbox/dbx_file.h"
#include "mailbox_fixture.h"
#include "mime/transfer_codec.h"
#include "support/recording_ui.h"

namespace {

using Rows = std::vector<std::int32_t>;

TEST(FoldForSearchTest, CaseAndAccentsInAnyScript) {
    EXPECT_EQ(FoldForSearch(u"Hello WORLD"), u"hello world");
    EXPECT_EQ(FoldForSearch(u"Ça déjà VU, Ångström"), u"ca deja vu, angstrom");
    EXPECT_EQ(FoldForSearch(u"Straße"), u"strasse");
    EXPECT_EQ(FoldForSearch(u"ПРИВЕТ Ёжик"), u"привет ежик");
    EXPECT_EQ(FoldForSearch(u"ΚΑΛΗΜΈΡΑ"), FoldForSearch(u"καλημερα"));
    EXPECT_EQ(FoldForSearch(u"ﬁle ＡＢＣ"), u"file abc");  // compatibility forms
    EXPECT_EQ(FoldForSearch(u"İstanbul"), u"istanbul");
    // Kana voicing marks are part of the letter: ガ stays apart from カ.
    EXPECT_NE(FoldForSearch(u"ガ"), FoldForSearch(u"カ"));
    EXPECT_EQ(FoldForSearch(u"ｶﾞ"), FoldForSearch(u"ガ"));
    EXPECT_EQ(FoldForSearch(u"a\tb\x01"), u"a b ");
    EXPECT_EQ(FoldForSearch(u"😀X"), u"😀x");
}

class QuickFilterTest : public ::testing::Test {
protected:
    CEmailDBX& Add(std::int32_t id, std::string subject, std::string sender,
                   std::string senderAddress = {}, std::string recipient = {}) {
        CEmailDBX& e = box.Add(id);
        e.m_Subject.SetText(subject);
        e.m_SenderName = std::move(sender);
        e.m_SenderAddress = std::move(senderAddress);
        e.m_RecipientName = std::move(recipient);
        return e;
    }

    fixture::Mailbox box;
    CQuickFilter filter;
};

TEST_F(QuickFilterTest, AsciiAccentedAndCyrillicWords) {
    Add(1, "Leaking pipe in the kitchen", "Joe Plumber", "joe@pipes.example", "Ann");
    Add(2, "R\xE9union de jeudi", "Ren\xE9 Lef\xE8vre", "rene@example.fr", "Ann");
    Add(3, "\xCF\xF0\xE8\xE2\xE5\xF2", "\xC8\xE2\xE0\xED", "ivan@example.ru", "Ann");  // cp1251
    Add(4, "Invoice", "Office", "billing@example.org", "Joe Plumber");
    filter.Build(box.List(), 1252);
    ASSERT_EQ(filter.GetKeyCount(), 4u);

    EXPECT_EQ(filter.Match(u"PLUMBER"), (Rows{0, 3}));     // sender and recipient
    EXPECT_EQ(filter.Match(u"pipes.example"), (Rows{0}));  // an address
    EXPECT_EQ(filter.Match(u"plumber leak"), (Rows{0}));   // every word, any field
    EXPECT_EQ(filter.Match(u"  "), (Rows{0, 1, 2, 3}));    // blank: everything
    EXPECT_EQ(filter.Match(u"nothing"), (Rows{}));
    // Accents either way; the code page reads the stored bytes.
    EXPECT_EQ(filter.Match(u"reunion"), (Rows{1}));
    EXPECT_EQ(filter.Match(u"RÉNÉ lefevre"), (Rows{1}));
    EXPECT_EQ(filter.Match(u"привет"), (Rows{}));
    // The same bytes read in the Cyrillic code page.
    filter.Build(box.List(), 1251);
    EXPECT_EQ(filter.Match(u"привет"), (Rows{2}));
    EXPECT_EQ(filter.Match(u"ИВАН"), (Rows{2}));
    // A word never spans two fields: "kitchen" ends the subject, "Joe" starts the sender.
    EXPECT_EQ(filter.Match(u"kitchenjoe"), (Rows{}));
    EXPECT_EQ(filter.Match(u"kitchen joe"), (Rows{0}));
}

TEST_F(QuickFilterTest, RowsFollowTheirEntriesAfterASortAndADeletion) {
    Add(1, "charlie", "x");
    Add(2, "alpha", "x");
    Add(3, "bravo", "y");
    filter.Build(box.List(), 1252);
    EXPECT_EQ(filter.Match(u"x"), (Rows{0, 1}));
    SortEmails(box.List(), SortBySubject, true);  // alpha, bravo, charlie
    filter.Reindex(box.List());
    EXPECT_EQ(filter.Match(u"x"), (Rows{0, 2}));
    EXPECT_EQ(filter.Match(u"charlie"), (Rows{2}));
    // A list that lost an entry: the rest still find theirs.
    CEmailArray shorter(false);
    shorter.Append(box.List().Get(2));
    shorter.Append(box.List().Get(1));
    filter.Reindex(shorter);
    EXPECT_EQ(filter.Match(u"x"), (Rows{0}));
    EXPECT_EQ(filter.Match(u"bravo"), (Rows{1}));
}

// Typing narrows from the last result; a query that does not extend the last one (a key
// taken back, another word) reads every key again, and so does a new build.
TEST_F(QuickFilterTest, TypedQueriesNarrowOnlyWhenTheyExtendTheLastOne) {
    Add(1, "plumber", "Ann");
    Add(2, "plum tree", "Bob");
    Add(3, "apple", "Ann");
    Add(4, "Plumbing", "Carl");
    filter.Build(box.List(), 1252);
    EXPECT_EQ(filter.Match(u"plumb"), (Rows{0, 3}));
    EXPECT_EQ(filter.Match(u"plumbe"), (Rows{0}));
    EXPECT_EQ(filter.Match(u"plum"), (Rows{0, 1, 3}));  // backspace: wider again
    EXPECT_EQ(filter.Match(u"plum tree"), (Rows{1}));
    EXPECT_EQ(filter.Match(u"plum tree b"), (Rows{1}));
    EXPECT_EQ(filter.Match(u"plum ann"), (Rows{0}));  // a word swapped for another
    EXPECT_EQ(filter.Match(u"ann"), (Rows{0, 2}));
    EXPECT_EQ(filter.Match(u"ann ppl"), (Rows{2}));
    EXPECT_EQ(filter.Match(u"ann apple"), (Rows{2}));
    EXPECT_EQ(filter.Match(u"carl"), (Rows{3}));

    fixture::Mailbox other;
    other.Add(1).m_Subject.SetText("apricot");
    other.Add(2).m_Subject.SetText("carlsberg");
    other.Add(3).m_Subject.SetText("Carlsson plumbing");
    filter.Build(other.List(), 1252);
    EXPECT_EQ(filter.Match(u"carls"), (Rows{1, 2}));
    filter.Reindex(other.List());  // a sort keeps the keys and what the last match found
    EXPECT_EQ(filter.Match(u"carlsb"), (Rows{1}));
}

TEST(QuickFilterBodyTest, BodiesAreSearchedDecodedAndTheSearchCanStop) {
    RegisterStandardCodecs();
    dbxw::TempDir temp;
    std::vector<dbxw::Message> messages;
    auto mail = [](std::string subject, std::string text) {
        dbxw::Message m;
        m.subject = std::move(subject);
        m.senderName = "Sender";
        m.text = std::move(text);
        return m;
    };
    messages.push_back(mail("one", "Subject: one\r\n\r\nThe plumber came on Tuesday.\r\n"));
    messages.push_back(mail("two",
                            "Subject: two\r\nContent-Type: text/html\r\n"
                            "Content-Transfer-Encoding: base64\r\n\r\n" +
                                std::string("PHA+Q2Fm6SB3aXRoIHRoZSBQTFVNQkVSPC9wPg==") +
                                "\r\n"));  // "<p>Caf\xE9 with the PLUMBER</p>"
    messages.push_back(mail("three", "Subject: three\r\n\r\nNothing here.\r\n"));
    messages.push_back(mail("plumber in subject", "Subject: x\r\n\r\nbody\r\n"));
    messages.push_back(mail("four", "Subject: four\r\n\r\n<script>plumber</script>\r\n"));
    ASSERT_TRUE(dbxw::BuildSimpleMailbox(messages).WriteTo(temp.Path("box.dbx")));
    CDBXFile dbx;
    ASSERT_EQ(dbx.Open(temp.WidePath("box.dbx")), DbxOk);
    CQuickFilter filter;
    filter.Build(dbx.GetEmails(), 1252);

    CRecordingUi ui;
    Rows rows{99};
    EXPECT_EQ(filter.Match(u"plumber"), (Rows{3}));
    ASSERT_TRUE(filter.MatchWithBodies(dbx, u"plumber", 1252, ui, rows));
    // Plain text, decoded HTML, the subject; a plain-text body is text even when it looks
    // like a script.
    EXPECT_EQ(rows, (Rows{0, 1, 3, 4}));
    ASSERT_TRUE(filter.MatchWithBodies(dbx, u"cafe plumber", 1252, ui, rows));
    EXPECT_EQ(rows, (Rows{1}));
    ASSERT_TRUE(filter.MatchWithBodies(dbx, u"plumber body", 1252, ui, rows));
    EXPECT_EQ(rows, (Rows{3}));  // one word in the subject, the other in the body
    EXPECT_EQ(ui.LastProgress().creationTitle, u"Searching emails...");
    EXPECT_TRUE(ui.LastProgress().destroyed);

    ui.SetCancelAfterPumps(1);
    Rows kept{7};
    EXPECT_FALSE(filter.MatchWithBodies(dbx, u"plumber", 1252, ui, kept));
    EXPECT_EQ(kept, (Rows{7}));
}

}  // namespace
