// The export wizard driven step by step: each step's controls, checks and messages, the
// settings it stores and a second run reads back, and the files every format writes.
// The steps are handed to a scripted runner instead of a modal loop, except in the test
// that goes through the main window's command.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "app/dlg_export_step1.h"
#include "app/dlg_export_step2.h"
#include "app/dlg_export_step3.h"
#include "app/dlg_export_step4_html_all_in_one.h"
#include "app/export_wizard_command.h"
#include "app/my_quick_list.h"
#include "app_test_support.h"
#include "export/export_settings.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"

namespace fs = std::filesystem;

namespace {

const char kNoEmails[] =
    "There is no email to export.\nPlease load first an Outlook Express DBX file.";
const char kNoFormat[] = "Please select a file format or a behavior in the list.";

std::string Raw(const std::string& subject, const std::string& messageId,
                const std::string& inReplyTo, const std::string& body,
                const std::string& charset = "us-ascii") {
    std::string text =
        "From: Ada <ada@example.org>\r\nTo: Bob <bob@example.org>\r\nSubject: " + subject +
        "\r\nMessage-ID: " + messageId + "\r\n";
    if (!inReplyTo.empty()) {
        text += "In-Reply-To: " + inReplyTo + "\r\n";
    }
    return text + "Content-Type: text/plain; charset=" + charset + "\r\n\r\n" + body + "\r\n";
}

// "Privet" in Cyrillic: no named entity, so the output code page shows in the bytes.
const char kGreetingUtf8[] = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
const char kGreeting1251[] = "\xCF\xF0\xE8\xE2\xE5\xF2";

const std::string kAttachmentRaw =
    "From: Bob <bob@example.org>\r\nTo: Ada <ada@example.org>\r\nSubject: Holiday photos\r\n"
    "Message-ID: <m3@example.org>\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
    "--b1\r\nContent-Type: text/plain\r\n\r\nSee attached.\r\n"
    "--b1\r\nContent-Type: text/plain; name=\"beach.txt\"\r\n"
    "Content-Disposition: attachment; filename=\"beach.txt\"\r\n"
    "Content-Transfer-Encoding: base64\r\n\r\nc2FuZCBhbmQgc2Vh\r\n--b1--\r\n";

dbxw::Message Mail(std::uint32_t id, const std::string& subject, int day, std::string raw,
                   const std::string& messageId, const std::string& inReplyTo = {}) {
    dbxw::Message m;
    m.id = id;
    m.subject = subject;
    m.senderName = "Ada";
    m.senderAddress = "ada@example.org";
    m.sent = dbxw::FileTimeFromUtc(2004, 3, day, 10, 0);
    m.received = *m.sent + 60 * dbxw::kTicksPerSecond;
    m.messageId = messageId;
    if (!inReplyTo.empty()) {
        m.inReplyTo = inReplyTo;
    }
    m.text = std::move(raw);
    return m;
}

// Three messages: a thread of two and a message with an attached file, the dates out of
// list order so that sorting shows.
std::vector<dbxw::Message> Messages() {
    return {
        Mail(1, "Budget review", 5, Raw("Budget review", "<m1@example.org>", "", "First body"),
             "<m1@example.org>"),
        Mail(2, "Re: Budget review", 6,
             Raw("Re: Budget review", "<m2@example.org>", "<m1@example.org>", "Second body"),
             "<m2@example.org>", "<m1@example.org>"),
        Mail(3, "Holiday photos", 2, kAttachmentRaw, "<m3@example.org>"),
        Mail(4, "Caf\xE9 order", 9,
             Raw("=?iso-8859-1?Q?Caf=E9_order?=", "<m4@example.org>", "", kGreetingUtf8, "utf-8"),
             "<m4@example.org>"),
    };
}

const char kHtmlTemplate[] =
    "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
    "charset=windows-1252\"><title>%%%TITLE%%%</title></head><body>\n"
    "%%%EMAIL_START%%%<h2>%%%SUBJECT%%%</h2>\n%%%TEXT_OR_HTML_CONTENT%%%\n%%%NEXT_EMAIL%%%"
    "</body></html>\n";
const char kBareTemplate[] =
    "<html><head><title>%%%TITLE%%%</title></head><body>\n"
    "%%%EMAIL_START%%%<h2>%%%SUBJECT%%%</h2>\n%%%TEXT_OR_HTML_CONTENT%%%\n%%%NEXT_EMAIL%%%"
    "</body></html>\n";
const char kTextTemplate[] = "%%%TITLE%%%\n%%%EMAIL_START%%%S: %%%SUBJECT%%%\n%%%NEXT_EMAIL%%%";

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}
QString Q(const fs::path& path) {
    return QString::fromStdU16String(path.u16string());
}
std::u16string W(const fs::path& path) {
    return path.u16string();
}

// Adapts a step action to the dialog type it expects; another step fails the test.
template <typename Dialog>
std::function<void(QDialog&)> On(std::function<void(Dialog&)> act) {
    return [act](QDialog& dialog) {
        auto* step = qobject_cast<Dialog*>(&dialog);
        QVERIFY2(step != nullptr,
                 qPrintable(QStringLiteral("unexpected step %1").arg(dialog.windowTitle())));
        act(*step);
    };
}

// Shows each step and plays the next action on it; a step left open (or with no action
// left) counts as cancelled, as closing the window would.
class CScriptedSteps {
public:
    void Add(std::function<void(QDialog&)> act) { m_Steps.push_back(std::move(act)); }

    int operator()(QDialog& dialog) {
        dialog.show();
        dialog.activateWindow();
        shown.push_back(dialog.windowTitle());
        if (!m_Steps.empty()) {
            std::function<void(QDialog&)> act = std::move(m_Steps.front());
            m_Steps.pop_front();
            act(dialog);
        }
        if (dialog.result() != QDialog::Accepted) {
            dialog.reject();
        }
        return dialog.result();
    }

    [[nodiscard]] std::size_t Pending() const { return m_Steps.size(); }
    QStringList shown;

private:
    std::deque<std::function<void(QDialog&)>> m_Steps;
};

// Standard actions.
std::function<void(QDialog&)> ChooseAll() {
    return On<CDlgExportStep1>([](CDlgExportStep1& d) {
        d.AllButton()->click();
        d.NextButton()->click();
    });
}
std::function<void(QDialog&)> ChooseFormat(std::int32_t code) {
    return On<CDlgExportStep2>([code](CDlgExportStep2& d) {
        for (int i = 0; i < d.FormatList()->count(); ++i) {
            if (d.FormatList()->item(i)->data(Qt::UserRole).toInt() == code) {
                d.FormatList()->setCurrentRow(i);
            }
        }
        d.NextButton()->click();
    });
}
std::function<void(QDialog&)> Destination(const QString& path) {
    return On<CDlgExportStep3>([path](CDlgExportStep3& d) {
        d.PathEdit()->setText(path);
        d.NextButton()->click();
    });
}
std::function<void(QDialog&)> Options(const QString& templatePath, int sortBy, int order,
                                      const QString& title = {}) {
    return On<CDlgExportStep4_HtmlAllInOne>([=](CDlgExportStep4_HtmlAllInOne& d) {
        d.TemplateEdit()->setText(templatePath);
        d.SortByList()->setCurrentIndex(sortBy);
        d.OrderList()->setCurrentIndex(order);
        if (!title.isEmpty()) {
            d.TitleEdit()->setText(title);
        }
        d.NextButton()->click();
    });
}

// Positions of the needles in the text, in their order; -1 for a missing one.
std::vector<std::size_t> Positions(const std::string& text,
                                   const std::vector<std::string>& needles) {
    std::vector<std::size_t> at;
    for (const std::string& n : needles) {
        at.push_back(text.find(n));
    }
    return at;
}

bool Ascending(const std::vector<std::size_t>& at) {
    for (std::size_t i = 0; i < at.size(); ++i) {
        if (at[i] == std::string::npos || (i > 0 && at[i] <= at[i - 1])) {
            return false;
        }
    }
    return !at.empty();
}

std::map<std::string, std::string> FolderFiles(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
        files[e.path().filename().string()] =
            e.is_directory() ? std::string("<folder>") : dbxw::ReadWholeFile(e.path());
    }
    return files;
}

}  // namespace

class ExportWizardTest : public QObject {
    Q_OBJECT

private:
    // A loaded mailbox and everything a wizard run needs, fresh for each test.
    struct Fixture {
        Fixture() {
            RegisterStandardCodecs();
            dbxPath = temp.Path("Family Letters.dbx");
            dbxw::BuildSimpleMailbox(Messages()).WriteTo(dbxPath);
            openStatus = dbx.Open(W(dbxPath));
            dbxw::WriteWholeFile(temp.Path("style.html"), kHtmlTemplate);
            dbxw::WriteWholeFile(temp.Path("bare.html"), kBareTemplate);
            dbxw::WriteWholeFile(temp.Path("plain.txt"), kTextTemplate);
        }

        ExportWizardResult Run(std::vector<std::int32_t> rows = {}, int rowCount = -1) {
            CExportWizardContext context{
                .parent = nullptr,
                .dbx = dbx,
                .dbxPath = W(dbxPath),
                .rowCount = rowCount < 0 ? dbx.GetEmails().GetCount() : rowCount,
                .rows = std::move(rows),
                .ui = ui,
                .dialogs = dialogs,
                .settings = settings};
            return OnExportEmails(context, std::ref(steps));
        }

        std::vector<bool> Marks() {
            std::vector<bool> marks;
            for (const CEmailDBX* e : dbx.GetEmails().Items()) {
                marks.push_back(e->m_bSelected);
            }
            return marks;
        }

        std::u16string Str(const char16_t* key) {
            return settings.StringValue(kConfigSection, key).value_or(u"<unset>");
        }
        int Int(const char16_t* key) {
            return settings.IntValue(kConfigSection, key).value_or(-99);
        }

        dbxw::TempDir temp;
        fs::path dbxPath;
        CDBXFile dbx;
        std::int32_t openStatus = -1;
        CRecordingUi ui;
        CFakeAppDialogs dialogs;
        CMemorySettings settings;
        CScriptedSteps steps;
    };

    static void CheckLastMessage(const Fixture& f, const QString& text, const QString& caption,
                                 MsgIcon icon) {
        QVERIFY(!f.ui.messages.empty());
        const RecordedMessageBox& box = f.ui.messages.back();
        QCOMPARE(Q(box.text), text);
        QCOMPARE(Q(box.caption), caption);
        QCOMPARE(box.icon, icon);
    }

private slots:
    void emptyListShowsInfoAndNoStep();
    void stepOneWithoutSelectionOffersOnlyAll();
    void stepOneMarksTheSelectedRowsOrAll();
    void stepTwoListsTheFormatsWithTheStoredOneSelected();
    void stepTwoWithoutSelectionAsksAndStays();
    void stepThreeModesAndBrowseDialogs();
    void stepThreeFolderBrowseAppendsSeparator();
    void stepThreeRefusesBlankAndBrowsesFromTheField();
    void stepThreeTrailingSeparatorsCollapse();
    void stepThreeNoToCreatingKeepsTheStep();
    void stepThreeCreateFailureAndNonEmptyFolder();
    void stepFourShowsTheStoredOptions();
    void stepFourTemplateChecks();
    void stepFourWithoutCharsetNeedsACodePage();
    void exportsEml();
    void exportsAttachments();
    void exportsHtmlAllInOneSorted();
    void exportsThreads();
    void exportsTextAllInOne();
    void exportsMboxAndRemembersTheFileDatesCheckBox();
    void secondRunStartsFromTheFirst();
    void cancelAtEachStepExportsNothing();
    void mainWindowCommandRunsTheWizard();
};

void ExportWizardTest::emptyListShowsInfoAndNoStep() {
    Fixture f;
    QCOMPARE(f.Run({}, 0), ExportWizardResult::NoEmails);
    QVERIFY(f.steps.shown.isEmpty());
    QCOMPARE(f.ui.messages.size(), std::size_t(1));
    CheckLastMessage(f, QString::fromLatin1(kNoEmails), QStringLiteral("Info"),
                     MsgIcon::Information);
}

void ExportWizardTest::stepOneWithoutSelectionOffersOnlyAll() {
    Fixture f;
    QCOMPARE(f.openStatus, int(DbxOk));
    bool checked = false;
    f.steps.Add(On<CDlgExportStep1>([&](CDlgExportStep1& d) {
        QCOMPARE(d.windowTitle(), QStringLiteral("Export Emails - Step 1"));
        QCOMPARE(d.SelectedButton()->text(),
                 QStringLiteral("Export selected emails (0 emails selected)"));
        QCOMPARE(d.AllButton()->text(), QStringLiteral("Export all emails (4 emails)"));
        QVERIFY(!d.SelectedButton()->isEnabled());
        QVERIFY(d.AllButton()->isChecked());
        QVERIFY(d.findChild<QGroupBox*>() != nullptr);
        QCOMPARE(d.findChild<QGroupBox*>()->title(), QStringLiteral("Selection"));
        d.NextButton()->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        checked = true;
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Cancelled);  // step 2 has no action
    QVERIFY(checked);
    QCOMPARE(f.Marks(), std::vector<bool>(4, true));
    QCOMPARE(f.steps.shown, QStringList({QStringLiteral("Export Emails - Step 1"),
                                         QStringLiteral("Export Emails - Step 2")}));
}

void ExportWizardTest::stepOneMarksTheSelectedRowsOrAll() {
    Fixture f;
    f.steps.Add(On<CDlgExportStep1>([&](CDlgExportStep1& d) {
        QCOMPARE(d.SelectedButton()->text(),
                 QStringLiteral("Export selected emails (2 emails selected)"));
        QVERIFY(d.SelectedButton()->isEnabled());
        QVERIFY(d.SelectedButton()->isChecked());
        d.NextButton()->click();
        QCOMPARE(d.Mode(), SelectionRows);
    }));
    QCOMPARE(f.Run({3, 1}), ExportWizardResult::Cancelled);
    QCOMPARE(f.Marks(), std::vector<bool>({false, true, false, true}));

    // With rows selected the user may still take every email.
    f.steps.Add(ChooseAll());
    QCOMPARE(f.Run({3, 1}), ExportWizardResult::Cancelled);
    QCOMPARE(f.Marks(), std::vector<bool>(4, true));

    // And back: marks left by an earlier run are cleared.
    f.steps.Add(On<CDlgExportStep1>([](CDlgExportStep1& d) { d.NextButton()->click(); }));
    QCOMPARE(f.Run({2}), ExportWizardResult::Cancelled);
    QCOMPARE(f.Marks(), std::vector<bool>({false, false, true, false}));
}

void ExportWizardTest::stepTwoListsTheFormatsWithTheStoredOneSelected() {
    const QStringList texts = {QStringLiteral("EML generic text file, one email per file"),
                               QStringLiteral("All attached files"),
                               QStringLiteral("HTML File, all emails in one html file"),
                               QStringLiteral("HTML File, one thread per html file"),
                               QStringLiteral("Text File, all emails in one text file"),
                               QStringLiteral("MBOX File, all emails in one mbox file "
                                              "(Thunderbird, mutt...)")};
    const std::vector<int> codes = {1, 2, 12, 11, 22, 41};
    // Stored code -> the row it selects (-1 for none); nothing stored means EML.
    const std::vector<std::pair<std::optional<int>, int>> cases = {
        {std::nullopt, 0}, {1, 0},  {2, 1},   {12, 2}, {11, 3},
        {22, 4},           {41, 5}, {99, -1}, {0, -1}, {-3, -1}};
    for (const auto& [stored, row] : cases) {
        Fixture f;
        if (stored) {
            f.settings.WriteInt(kConfigSection, kKeyFormat, *stored);
        }
        f.steps.Add(ChooseAll());
        f.steps.Add(On<CDlgExportStep2>([&](CDlgExportStep2& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Export Emails - Step 2"));
            QCOMPARE(d.findChild<QGroupBox*>()->title(), QStringLiteral("Output format"));
            QCOMPARE(d.FormatList()->count(), 6);
            for (int i = 0; i < 6; ++i) {
                QCOMPARE(d.FormatList()->item(i)->text(), texts[i]);
                QCOMPARE(d.FormatList()->item(i)->data(Qt::UserRole).toInt(), codes[i]);
            }
            const QList<QListWidgetItem*> selected = d.FormatList()->selectedItems();
            if (row < 0) {
                QVERIFY2(selected.isEmpty(), qPrintable(QString::number(stored.value_or(0))));
            } else {
                QCOMPARE(selected.size(), 1);
                QCOMPARE(d.FormatList()->row(selected.front()), row);
            }
        }));
        QCOMPARE(f.Run(), ExportWizardResult::Cancelled);
        QCOMPARE(f.steps.shown.size(), qsizetype(2));
        // Cancel stores nothing.
        QCOMPARE(f.settings.IntValue(kConfigSection, kKeyFormat), stored);
    }
}

void ExportWizardTest::stepTwoWithoutSelectionAsksAndStays() {
    Fixture f;
    f.settings.WriteInt(kConfigSection, kKeyFormat, 22 + 100);
    f.steps.Add(ChooseAll());
    f.steps.Add(On<CDlgExportStep2>([&](CDlgExportStep2& d) {
        d.NextButton()->click();
        QVERIFY(d.isVisible());
        QVERIFY(d.result() != QDialog::Accepted);
        QCOMPARE(f.ui.messages.size(), std::size_t(1));
        CheckLastMessage(f, QString::fromLatin1(kNoFormat), QStringLiteral("Korvane Quillbox"),
                         MsgIcon::None);
        QCOMPARE(f.Int(kKeyFormat), 122);
        // A current row that is not selected is still no choice.
        d.FormatList()->setCurrentRow(3);
        d.FormatList()->clearSelection();
        d.NextButton()->click();
        QCOMPARE(f.ui.messages.size(), std::size_t(2));
        d.FormatList()->setCurrentRow(3);
        d.NextButton()->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.Format(), 11);
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Cancelled);
    QCOMPARE(f.Int(kKeyFormat), 11);
    QCOMPARE(f.steps.shown.size(), qsizetype(3));
}

void ExportWizardTest::stepThreeModesAndBrowseDialogs() {
    struct Case {
        int code;
        bool file;
        QString filter;
    };
    const QString html = QStringLiteral("HTML File (*.html)|*.html|All Files (*.*)|*.*||");
    const QString text = QStringLiteral("Text File (*.txt)|*.txt|All Files (*.*)|*.*||");
    for (const Case& c : {Case{1, false, {}}, Case{2, false, {}}, Case{11, false, {}},
                          Case{12, true, html}, Case{22, true, text}}) {
        Fixture f;
        f.settings.WriteString(kConfigSection, kKeyLastFolderOut, u"/remembered/folder/");
        f.settings.WriteString(kConfigSection, kKeyLastFileOut, u"/remembered/file.html");
        const QString chosen = Q(f.temp.Path("chosen.out"));
        f.dialogs.answers = {std::nullopt, chosen};
        f.steps.Add(ChooseAll());
        f.steps.Add(ChooseFormat(c.code));
        f.steps.Add(On<CDlgExportStep3>([&](CDlgExportStep3& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Export Emails - Step 3"));
            QCOMPARE(d.findChild<QGroupBox*>()->title(),
                     QStringLiteral("Destination file or folder"));
            QCOMPARE(d.IsFileMode(), c.file);
            QCOMPARE(d.PathLabel()->text(),
                     c.file ? QStringLiteral("Select the destination file :")
                            : QStringLiteral("Select the destination folder :"));
            QCOMPARE(d.PathEdit()->text(), c.file ? QStringLiteral("/remembered/file.html")
                                                  : QStringLiteral("/remembered/folder/"));
            QCOMPARE(d.BrowseButton()->text(), QStringLiteral("Browse"));
            // The first Browse is cancelled and changes nothing.
            d.BrowseButton()->click();
            QCOMPARE(d.PathEdit()->text(), c.file ? QStringLiteral("/remembered/file.html")
                                                  : QStringLiteral("/remembered/folder/"));
            d.BrowseButton()->click();
            QCOMPARE(f.dialogs.requests.size(), std::size_t(2));
            const CFakeAppDialogs::Request& r = f.dialogs.requests.back();
            if (c.file) {
                QCOMPARE(r.kind, QStringLiteral("save"));
                QCOMPARE(r.title, QStringLiteral("Select the output file"));
                QCOMPARE(r.filter, c.filter);
                QCOMPARE(r.initial, QStringLiteral("/remembered/file.html"));
                QCOMPARE(d.PathEdit()->text(), chosen);
            } else {
                QCOMPARE(r.kind, QStringLiteral("folder"));
                QCOMPARE(r.title, QStringLiteral("Choose a folder..."));
                QCOMPARE(r.initial, QStringLiteral("/remembered/folder/"));
                QCOMPARE(d.PathEdit()->text(), chosen + QLatin1Char('/'));
            }
        }));
        QCOMPARE(f.Run(), ExportWizardResult::Cancelled);
        QCOMPARE(f.steps.Pending(), std::size_t(0));
        // Browsing stores nothing; only Next does.
        QCOMPARE(f.Str(kKeyLastFileOut), u"/remembered/file.html");
        QCOMPARE(f.Str(kKeyLastFolderOut), u"/remembered/folder/");
    }
}

void ExportWizardTest::stepThreeFolderBrowseAppendsSeparator() {
    Fixture f;
    fs::create_directory(f.temp.Path("picked"));
    f.dialogs.answers = {Q(f.temp.Path("picked")) + QLatin1Char('/')};
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatEml));
    f.steps.Add(On<CDlgExportStep3>([&](CDlgExportStep3& d) {
        QCOMPARE(d.PathEdit()->text(), QString());
        d.BrowseButton()->click();
        QCOMPARE(d.PathEdit()->text(), Q(f.temp.Path("picked")) + QLatin1Char('/'));
        d.NextButton()->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Exported);
    QCOMPARE(f.Str(kKeyLastFolderOut), W(f.temp.Path("picked")) + u"/");
    QCOMPARE(FolderFiles(f.temp.Path("picked")).size(), std::size_t(4));
}

void ExportWizardTest::stepThreeRefusesBlankAndBrowsesFromTheField() {
    for (const int code : {int(FormatEml), int(FormatHtmlAllInOne)}) {
        const bool file = code == FormatHtmlAllInOne;
        Fixture f;
        f.settings.WriteString(kConfigSection, kKeyLastFolderOut, u"/remembered/folder/");
        f.settings.WriteString(kConfigSection, kKeyLastFileOut, u"/remembered/file.html");
        f.steps.Add(ChooseAll());
        f.steps.Add(ChooseFormat(code));
        f.steps.Add(On<CDlgExportStep3>([&](CDlgExportStep3& d) {
            QVERIFY(QTest::qWaitForWindowActive(&d));
            // The browser opens where the field points now, not where it pointed at first.
            d.PathEdit()->setText(file ? QStringLiteral("/typed/x.html")
                                       : QStringLiteral("/typed/folder"));
            d.BrowseButton()->click();
            QCOMPARE(f.dialogs.requests.back().initial,
                     file ? QStringLiteral("/typed/x.html") : QStringLiteral("/typed/folder/"));
            // A blank field is refused with the focus back on it; the step stays.
            d.PathEdit()->setText(QStringLiteral("  "));
            d.BrowseButton()->click();
            QCOMPARE(f.dialogs.requests.back().initial, QString());
            d.BrowseButton()->setFocus();
            d.NextButton()->click();
            QVERIFY(d.isVisible());
            QVERIFY(d.result() != QDialog::Accepted);
            QVERIFY(d.PathEdit()->hasFocus());
            CheckLastMessage(f,
                             file ? QStringLiteral("Please choose an output file.")
                                  : QStringLiteral("Please choose an output folder."),
                             file ? QStringLiteral("Output file") : QStringLiteral("Output folder"),
                             MsgIcon::Warning);
            QCOMPARE(f.ui.messages.size(), std::size_t(1));
            QCOMPARE(f.ui.messages.back().buttons, MsgButtons::Ok);
            d.reject();
        }));
        QCOMPARE(f.Run(), ExportWizardResult::Cancelled);
        QCOMPARE(f.Str(kKeyLastFolderOut), u"/remembered/folder/");
        QCOMPARE(f.Str(kKeyLastFileOut), u"/remembered/file.html");
    }
}

void ExportWizardTest::stepThreeTrailingSeparatorsCollapse() {
    Fixture f;
    fs::create_directory(f.temp.Path("out"));
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatEml));
    f.steps.Add(Destination(Q(f.temp.Path("out")) + QStringLiteral("//\\\\")));
    QCOMPARE(f.Run(), ExportWizardResult::Exported);
    QVERIFY(f.ui.messages.empty());  // the folder exists and is empty: no question
    QCOMPARE(f.Str(kKeyLastFolderOut), W(f.temp.Path("out")) + u"/");
    QCOMPARE(FolderFiles(f.temp.Path("out")).size(), std::size_t(4));
}

void ExportWizardTest::stepThreeNoToCreatingKeepsTheStep() {
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Cancel}) {
        Fixture f;
        const fs::path wanted = f.temp.Path("new") / "deeper";
        const QString expected = QStringLiteral(
                                     "The output folder '%1/' doesn't exist. Do you want "
                                     "to create it?")
                                     .arg(Q(wanted));
        f.ui.QueueAnswers({answer, MsgAnswer::Yes});
        f.steps.Add(ChooseAll());
        f.steps.Add(ChooseFormat(FormatEml));
        f.steps.Add(On<CDlgExportStep3>([&](CDlgExportStep3& d) {
            QVERIFY(QTest::qWaitForWindowActive(&d));
            d.PathEdit()->setText(Q(wanted) + QStringLiteral("//"));
            d.BrowseButton()->setFocus();
            d.NextButton()->click();
            QVERIFY(d.isVisible());
            QVERIFY(d.result() != QDialog::Accepted);
            QVERIFY(!fs::exists(wanted));
            QVERIFY(d.PathEdit()->hasFocus());
            CheckLastMessage(f, expected, QStringLiteral("Output folder"), MsgIcon::Question);
            QCOMPARE(f.ui.messages.back().buttons, MsgButtons::YesNoCancel);
            QVERIFY(!f.settings.Has(kConfigSection, kKeyLastFolderOut));
            // Yes creates it, parents included, and the step closes.
            d.NextButton()->click();
            QCOMPARE(d.result(), int(QDialog::Accepted));
        }));
        QCOMPARE(f.Run(), ExportWizardResult::Exported);
        QVERIFY(fs::is_directory(wanted));
        QCOMPARE(f.ui.messages.size(), std::size_t(2));
        QCOMPARE(f.ui.messages[1].text, f.ui.messages[0].text);
        QCOMPARE(f.Str(kKeyLastFolderOut), W(wanted) + u"/");
        QCOMPARE(f.ui.PendingAnswers(), std::size_t(0));
    }
}

void ExportWizardTest::stepThreeCreateFailureAndNonEmptyFolder() {
    Fixture f;
    dbxw::WriteWholeFile(f.temp.Path("taken"), "a file, not a folder");
    const fs::path busy = f.temp.Path("busy");
    fs::create_directories(busy / "only-a-sub-folder");
    f.ui.QueueAnswers({MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel, MsgAnswer::Yes});
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatEml));
    f.steps.Add(On<CDlgExportStep3>([&](CDlgExportStep3& d) {
        // Yes to creating where a file is in the way: the creation fails.
        d.PathEdit()->setText(Q(f.temp.Path("taken")) + QStringLiteral("/sub"));
        d.NextButton()->click();
        QVERIFY(d.result() != QDialog::Accepted);
        QCOMPARE(f.ui.messages.size(), std::size_t(2));
        CheckLastMessage(f,
                         QStringLiteral("Error: Unable to create the output folder '%1/sub/'\n"
                                        "(Invalid characters like \\ / * < > | ?, or disk full?)."
                                        "\nPlease select another destination.")
                             .arg(Q(f.temp.Path("taken"))),
                         QStringLiteral("Output folder"), MsgIcon::Error);
        // A folder holding only a sub-folder is not empty: No, then Cancel, keep the step.
        d.PathEdit()->setText(Q(busy));
        const QString question =
            QStringLiteral("The output folder '%1/' is not empty. Do you want to continue?")
                .arg(Q(busy));
        for (int attempt = 0; attempt < 2; ++attempt) {
            d.NextButton()->click();
            QVERIFY(d.result() != QDialog::Accepted);
            CheckLastMessage(f, question, QStringLiteral("Output folder"), MsgIcon::Information);
            QCOMPARE(f.ui.messages.back().buttons, MsgButtons::YesNoCancel);
        }
        QVERIFY(!f.settings.Has(kConfigSection, kKeyLastFolderOut));
        // Browse now opens on the folder typed, not on the remembered one.
        QCOMPARE(d.FolderPath(), W(busy) + u"/");
        d.BrowseButton()->click();
        QCOMPARE(f.dialogs.requests.back().initial, Q(busy) + QLatin1Char('/'));
        d.NextButton()->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Exported);
    QCOMPARE(f.ui.messages.size(), std::size_t(5));
    QCOMPARE(f.Str(kKeyLastFolderOut), W(busy) + u"/");
    QCOMPARE(FolderFiles(busy).size(), std::size_t(5));  // the sub-folder and four emails
}

void ExportWizardTest::stepFourShowsTheStoredOptions() {
    Fixture f;
    const QString style = Q(f.temp.Path("style.html"));
    f.settings.WriteString(kConfigSection, kKeyHtmlTemplate, W(f.temp.Path("style.html")));
    f.settings.WriteInt(kConfigSection, kKeyExportSortBy, 0);
    f.settings.WriteInt(kConfigSection, kKeyExportSortOrder, 1);
    f.settings.WriteInt(kConfigSection, kKeyHtmlCharset, 1251);
    f.settings.WriteInt(kConfigSection, kKeyHtmlCharsetMode, 1);
    const QString picked = Q(f.temp.Path("bare.html"));
    f.dialogs.answers = {picked};
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatHtmlAllInOne));
    f.steps.Add(Destination(Q(f.temp.Path("all.html"))));
    f.steps.Add(On<CDlgExportStep4_HtmlAllInOne>([&](CDlgExportStep4_HtmlAllInOne& d) {
        QCOMPARE(d.windowTitle(), QStringLiteral("Export Emails - Step 4"));
        QCOMPARE(d.findChild<QGroupBox*>()->title(), QStringLiteral("Options"));
        QCOMPARE(d.TitleEdit()->text(), QStringLiteral("Family Letters"));
        QCOMPARE(d.TemplateEdit()->text(), style);
        QCOMPARE(d.TemplateButton()->text(), QStringLiteral(".."));
        QCOMPARE(d.SortByList()->count(), 2);
        QCOMPARE(d.SortByList()->itemText(0), QStringLiteral("Do not sort"));
        QCOMPARE(d.SortByList()->itemText(1), QStringLiteral("Sort by date"));
        QCOMPARE(d.OrderList()->itemText(0), QStringLiteral("Ascending"));
        QCOMPARE(d.OrderList()->itemText(1), QStringLiteral("Descending"));
        QCOMPARE(d.SortByList()->currentIndex(), 0);
        QCOMPARE(d.OrderList()->currentIndex(), 1);
        QVERIFY(d.CodePageButton()->isChecked());
        QVERIFY(!d.TemplateCharsetButton()->isChecked());
        QVERIFY(d.CodePageList()->isEnabled());
        QCOMPARE(d.CodePageList()->currentData().toUInt(), 1251u);
        d.TemplateCharsetButton()->click();
        QVERIFY(!d.CodePageList()->isEnabled());

        d.TemplateButton()->click();
        const CFakeAppDialogs::Request& r = f.dialogs.requests.back();
        QCOMPARE(r.kind, QStringLiteral("open"));
        QCOMPARE(r.title, QStringLiteral("Select the file to use as a template"));
        QCOMPARE(r.filter, QStringLiteral("Html Template File (*.htm, *.html)|*.htm;*.html|"
                                          "All Files (*.*)|*.*||"));
        QCOMPARE(r.initial, style);
        QCOMPARE(d.TemplateEdit()->text(), picked);
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Cancelled);
    QCOMPARE(f.steps.Pending(), std::size_t(0));

    // Defaults: no stored template (or one that is gone) gives the installed one; a title
    // from a nameless path is "Title"; the text variant shows its own template and filter.
    Fixture g;
    g.settings.WriteString(kConfigSection, kKeyHtmlTemplate, W(g.temp.Path("gone.html")));
    CDlgExportStep4_HtmlAllInOne html(false, u"/some/.dbx", g.ui, g.dialogs, g.settings);
    QCOMPARE(html.TemplateEdit()->text(), Q(DefaultHtmlTemplate()));
    QVERIFY(html.TemplateEdit()->text().endsWith(QStringLiteral("/Templates/html_style1.html")));
    QCOMPARE(html.TitleEdit()->text(), QStringLiteral("Title"));
    QCOMPARE(html.SortByList()->currentIndex(), 1);
    QCOMPARE(html.OrderList()->currentIndex(), 0);
    QVERIFY(html.TemplateCharsetButton()->isChecked());
    QCOMPARE(html.CodePageList()->currentData().toUInt(), 28591u);

    g.settings.WriteString(kConfigSection, kKeyTxtTemplate, W(g.temp.Path("plain.txt")));
    CDlgExportStep4_HtmlAllInOne text(true, W(g.dbxPath), g.ui, g.dialogs, g.settings);
    QCOMPARE(text.TemplateEdit()->text(), Q(g.temp.Path("plain.txt")));
    text.TemplateButton()->click();
    QCOMPARE(g.dialogs.requests.back().filter,
             QStringLiteral("Text File (*.txt)|*.txt|All Files (*.*)|*.*||"));
    QVERIFY(g.ui.messages.empty());
}

void ExportWizardTest::stepFourTemplateChecks() {
    Fixture f;
    dbxw::WriteWholeFile(f.temp.Path("empty.html"), "");
    fs::create_directory(f.temp.Path("a-folder.html"));
    const QString missing = Q(f.temp.Path("missing.html"));
    const QString empty = Q(f.temp.Path("empty.html"));
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatHtmlAllInOne));
    f.steps.Add(Destination(Q(f.temp.Path("all.html"))));
    f.steps.Add(On<CDlgExportStep4_HtmlAllInOne>([&](CDlgExportStep4_HtmlAllInOne& d) {
        for (const QString& path : {missing, Q(f.temp.Path("a-folder.html"))}) {
            d.TemplateEdit()->setText(path);
            d.TitleEdit()->setText(QStringLiteral("First try"));
            d.NextButton()->click();
            QVERIFY(d.result() != QDialog::Accepted);
            CheckLastMessage(f,
                             QStringLiteral("The template file doesn't exist or is corrupted :\n%1"
                                            "\nPlease select another template.")
                                 .arg(path),
                             QStringLiteral("Error"), MsgIcon::Error);
            // The rejected path and the title are stored all the same.
            QCOMPARE(f.Str(kKeyHtmlTemplate), path.toStdU16String());
            QCOMPARE(f.Str(kKeyHtmlFileTitle), u"First try");
            QVERIFY(!f.settings.Has(kConfigSection, kKeyExportSortBy));
        }
        d.TemplateEdit()->setText(empty);
        d.NextButton()->click();
        QVERIFY(d.result() != QDialog::Accepted);
        CheckLastMessage(f,
                         QStringLiteral("Unable to read the template file :\n%1\nMaybe is it "
                                        "corrupted or already open ?\nPlease select another "
                                        "template.")
                             .arg(empty),
                         QStringLiteral("Error"), MsgIcon::Error);
        QCOMPARE(f.ui.messages.size(), std::size_t(3));
        d.TemplateEdit()->setText(Q(f.temp.Path("style.html")));
        d.SortByList()->setCurrentIndex(0);
        d.OrderList()->setCurrentIndex(1);
        d.NextButton()->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Exported);
    QCOMPARE(f.ui.messages.size(), std::size_t(3));
    QCOMPARE(f.Str(kKeyHtmlTemplate), W(f.temp.Path("style.html")));
    QCOMPARE(f.Int(kKeyExportSortBy), 0);
    QCOMPARE(f.Int(kKeyExportSortOrder), 1);
    // The template's declaration decided the code page.
    QCOMPARE(f.Int(kKeyHtmlCharset), 1252);
    QCOMPARE(f.Int(kKeyHtmlCharsetMode), 0);
}

void ExportWizardTest::stepFourWithoutCharsetNeedsACodePage() {
    Fixture f;
    const QString bare = Q(f.temp.Path("bare.html"));
    const fs::path out = f.temp.Path("bare-out.html");
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatHtmlAllInOne));
    f.steps.Add(Destination(Q(out)));
    f.steps.Add(On<CDlgExportStep4_HtmlAllInOne>([&](CDlgExportStep4_HtmlAllInOne& d) {
        d.TemplateEdit()->setText(bare);
        d.NextButton()->click();
        QVERIFY(d.result() != QDialog::Accepted);
        CheckLastMessage(f,
                         QStringLiteral("Unable to find a charset definition inside the template "
                                        "file :\n%1\nMaybe is it an invalid html file ?")
                             .arg(bare),
                         QStringLiteral("Error"), MsgIcon::Error);
        QVERIFY(!f.settings.Has(kConfigSection, kKeyHtmlCharsetMode));
        d.CodePageButton()->click();
        d.CodePageList()->setCurrentIndex(d.CodePageList()->findData(QVariant::fromValue(1251u)));
        QVERIFY(d.CodePageList()->currentIndex() >= 0);
        QVERIFY(d.CodePageList()->currentText().contains(QStringLiteral("windows-1251")));
        d.NextButton()->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Exported);
    QCOMPARE(f.ui.messages.size(), std::size_t(1));
    QCOMPARE(f.Int(kKeyHtmlCharsetMode), 1);
    QCOMPARE(f.Int(kKeyHtmlCharset), 1251);
    // The chosen code page is the one the export wrote with.
    const std::string html = dbxw::ReadWholeFile(out);
    QVERIFY2(html.find(kGreeting1251) != std::string::npos, html.c_str());
}

void ExportWizardTest::exportsEml() {
    Fixture f;
    const fs::path out = f.temp.Path("eml");
    f.steps.Add(On<CDlgExportStep1>([](CDlgExportStep1& d) { d.NextButton()->click(); }));
    f.steps.Add(ChooseFormat(FormatEml));
    f.steps.Add(Destination(Q(out)));
    QCOMPARE(f.Run({0, 2}), ExportWizardResult::Exported);
    // No step 4 for EML.
    QCOMPARE(f.steps.shown.size(), qsizetype(3));
    QCOMPARE(f.ui.messages.size(), std::size_t(1));  // creating the folder
    QCOMPARE(f.Int(kKeyFormat), 1);
    QCOMPARE(f.Str(kKeyLastFolderOut), W(out) + u"/");
    QVERIFY(!f.settings.Has(kConfigSection, kKeyLastFileOut));

    const std::vector<dbxw::Message> messages = Messages();
    const std::map<std::string, std::string> files = FolderFiles(out);
    QCOMPARE(files.size(), std::size_t(2));
    std::set<std::string> ids;
    for (const auto& [name, bytes] : files) {
        QVERIFY2(name.ends_with(".eml"), name.c_str());
        const std::size_t close = name.find(']');
        QVERIFY2(name.front() == '[' && close != std::string::npos, name.c_str());
        const int id = std::stoi(name.substr(1, close - 1));
        ids.insert(name.substr(1, close - 1));
        QCOMPARE(bytes, *messages[std::size_t(id - 1)].text);
    }
    QCOMPARE(ids, std::set<std::string>({"1", "3"}));
    QCOMPARE(f.ui.ProgressCount(), std::size_t(1));
    QVERIFY(f.ui.LastProgress().destroyed);
}

void ExportWizardTest::exportsAttachments() {
    Fixture f;
    const fs::path out = f.temp.Path("files");
    fs::create_directory(out);
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatAttachments));
    f.steps.Add(Destination(Q(out)));
    QCOMPARE(f.Run({1}), ExportWizardResult::Exported);
    QCOMPARE(f.steps.shown.size(), qsizetype(3));
    const std::map<std::string, std::string> files = FolderFiles(out);
    QCOMPARE(files.size(), std::size_t(1));
    QCOMPARE(files.at("beach.txt"), std::string("sand and sea"));
    CheckLastMessage(f, QStringLiteral("1 attached file(s) exported."),
                     QStringLiteral("Korvane Quillbox"), MsgIcon::None);
    QCOMPARE(f.Int(kKeyFormat), 2);
    QVERIFY(f.ui.ProgressCount() >= 1);
}

void ExportWizardTest::exportsHtmlAllInOneSorted() {
    const std::vector<std::string> byList = {"<h2>Budget review", "<h2>Re: Budget review",
                                             "<h2>Holiday photos", "<h2>Caf"};
    const std::vector<std::string> byDate = {"<h2>Holiday photos", "<h2>Budget review",
                                             "<h2>Re: Budget review", "<h2>Caf"};
    const std::vector<std::string> byDateDown(byDate.rbegin(), byDate.rend());
    struct Case {
        int sortBy;
        int order;
        std::vector<std::string> expected;
    };
    for (const Case& c : {Case{0, 0, byList}, Case{1, 0, byDate}, Case{1, 1, byDateDown}}) {
        Fixture f;
        const fs::path out = f.temp.Path("all.html");
        f.steps.Add(ChooseAll());
        f.steps.Add(ChooseFormat(FormatHtmlAllInOne));
        f.steps.Add(Destination(Q(out)));
        f.steps.Add(Options(Q(f.temp.Path("style.html")), c.sortBy, c.order,
                            QStringLiteral("Letters & more")));
        QCOMPARE(f.Run(), ExportWizardResult::Exported);
        QCOMPARE(f.steps.shown.size(), qsizetype(4));
        QVERIFY(f.ui.messages.empty());
        const std::string html = dbxw::ReadWholeFile(out);
        QVERIFY2(Ascending(Positions(html, c.expected)), html.c_str());
        QVERIFY2(html.find("<title>Letters") != std::string::npos, html.c_str());
        // Written in the template's code page.
        // Windows-1252 has no Cyrillic: each letter becomes '?'.
        QVERIFY2(html.find(kGreetingUtf8) == std::string::npos, html.c_str());
        QVERIFY2(html.find(kGreeting1251) == std::string::npos, html.c_str());
        QVERIFY2(html.find("<pre>??????") != std::string::npos, html.c_str());
        QCOMPARE(f.Str(kKeyLastFileOut), W(out));
        QCOMPARE(f.Str(kKeyHtmlFileTitle), u"Letters & more");
        QCOMPARE(f.Int(kKeyExportSortBy), c.sortBy);
        QCOMPARE(f.Int(kKeyExportSortOrder), c.order);
        QCOMPARE(f.Int(kKeyFormat), 12);
        QVERIFY(!f.settings.Has(kConfigSection, kKeyLastFolderOut));
        QCOMPARE(f.ui.ProgressCount(), std::size_t(1));
    }
}

void ExportWizardTest::exportsThreads() {
    Fixture f;
    const fs::path out = f.temp.Path("threads");
    f.ui.QueueAnswer(MsgAnswer::Yes);
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatHtmlThreads));
    f.steps.Add(Destination(Q(out)));
    f.steps.Add(Options(Q(f.temp.Path("style.html")), 1, 1));
    QCOMPARE(f.Run({0, 1, 2}), ExportWizardResult::Exported);
    QCOMPARE(f.steps.shown.size(), qsizetype(4));
    QCOMPARE(f.ui.PendingAnswers(), std::size_t(0));
    const std::map<std::string, std::string> files = FolderFiles(out);
    // Every email: the budget thread and two threads of one.
    QCOMPARE(files.size(), std::size_t(3));
    int budget = 0;
    for (const auto& [name, html] : files) {
        QVERIFY2(name.ends_with(".html"), name.c_str());
        if (html.find("Re: Budget review") != std::string::npos) {
            ++budget;
            // Descending: the reply first.
            QVERIFY2(Ascending(Positions(html, {"<h2>Re: Budget review", "<h2>Budget review"})),
                     html.c_str());
        }
    }
    QCOMPARE(budget, 1);
    QCOMPARE(f.Int(kKeyFormat), 11);
    QCOMPARE(f.Str(kKeyLastFolderOut), W(out) + u"/");
    QCOMPARE(f.Int(kKeyExportSortOrder), 1);
}

void ExportWizardTest::exportsTextAllInOne() {
    Fixture f;
    const fs::path out = f.temp.Path("all.txt");
    f.settings.WriteString(kConfigSection, kKeyHtmlTemplate, W(f.temp.Path("style.html")));
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatTextAllInOne));
    f.steps.Add(On<CDlgExportStep3>([&](CDlgExportStep3& d) {
        QVERIFY(d.IsFileMode());
        d.PathEdit()->setText(Q(out));
        d.NextButton()->click();
    }));
    f.steps.Add(On<CDlgExportStep4_HtmlAllInOne>([&](CDlgExportStep4_HtmlAllInOne& d) {
        // The text template, not the HTML one; a text template needs no declaration.
        QVERIFY(d.TemplateEdit()->text() != Q(f.temp.Path("style.html")));
        d.TemplateEdit()->setText(Q(f.temp.Path("plain.txt")));
        d.SortByList()->setCurrentIndex(0);
        d.NextButton()->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Exported);
    QVERIFY(f.ui.messages.empty());
    const std::string text = dbxw::ReadWholeFile(out);
    QVERIFY2(text.starts_with("Family Letters\n"), text.c_str());
    QVERIFY2(Ascending(Positions(text, {"S: Budget review\n", "S: Re: Budget review\n",
                                        "S: Holiday photos\n", "S: Caf"})),
             text.c_str());
    QCOMPARE(f.Int(kKeyFormat), 22);
    QCOMPARE(f.Str(kKeyTxtTemplate), W(f.temp.Path("plain.txt")));
    QCOMPARE(f.Str(kKeyHtmlTemplate), W(f.temp.Path("style.html")));  // untouched
    QCOMPARE(f.Str(kKeyLastFileOut), W(out));
}

void ExportWizardTest::exportsMboxAndRemembersTheFileDatesCheckBox() {
    Fixture f;
    const fs::path box = f.temp.Path("all.mbox");
    const QString mboxFilter = QStringLiteral("MBOX Files (*.mbox)|*.mbox|All Files (*.*)|*.*||");
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatMbox));
    f.steps.Add(On<CDlgExportStep3>([&](CDlgExportStep3& d) {
        QVERIFY(d.IsFileMode());
        QCOMPARE(Q(d.FileFilter()), mboxFilter);
        QCOMPARE(d.FileTimesCheck(), nullptr);  // one file: nothing to date
        d.PathEdit()->setText(Q(box));
        d.NextButton()->click();
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Exported);
    QCOMPARE(f.steps.shown.size(), qsizetype(3));  // no step 4
    QCOMPARE(f.Int(kKeyFormat), 41);
    const std::string mbox = dbxw::ReadWholeFile(box);
    QCOMPARE(std::count(mbox.begin(), mbox.end(), '\r'), 0);
    QVERIFY(mbox.starts_with("From ada@example.org Fri Mar  5 10:00:00 2004\n"));
    QCOMPARE(qsizetype(QString::fromStdString(mbox).count(QStringLiteral("\nFrom "))), 3);

    // EML with the box unchecked: the files keep the time of writing, and the choice stays.
    for (const bool checked : {false, true}) {
        Fixture g;
        const fs::path out = g.temp.Path(checked ? "dated" : "plain");
        if (!checked) {
            g.settings.WriteInt(kConfigSection, kKeySetFileTimes, 1);
        } else {
            g.settings.WriteInt(kConfigSection, kKeySetFileTimes, 0);
        }
        g.steps.Add(ChooseAll());
        g.steps.Add(ChooseFormat(FormatEml));
        g.steps.Add(On<CDlgExportStep3>([&](CDlgExportStep3& d) {
            QVERIFY(d.FileTimesCheck() != nullptr);
            QCOMPARE(d.FileTimesCheck()->text(),
                     QStringLiteral("Set file dates to the message dates"));
            QCOMPARE(d.FileTimesCheck()->isChecked(), !checked);  // as remembered
            d.FileTimesCheck()->setChecked(checked);
            d.PathEdit()->setText(Q(out));
            d.NextButton()->click();
        }));
        const auto before = fs::file_time_type::clock::now() - std::chrono::seconds(2);
        QCOMPARE(g.Run(), ExportWizardResult::Exported);
        QCOMPARE(g.Int(kKeySetFileTimes), checked ? 1 : 0);
        const fs::path first = out / "[1]Budget review.eml";
        QVERIFY(fs::exists(first));
        QCOMPARE(fs::last_write_time(first) >= before, !checked);
    }
}

void ExportWizardTest::secondRunStartsFromTheFirst() {
    Fixture f;
    const fs::path file = f.temp.Path("first.html");
    const fs::path folder = f.temp.Path("first-folder");
    fs::create_directory(folder);
    // First an HTML file, then a folder export, so that both destinations are stored.
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatHtmlAllInOne));
    f.steps.Add(Destination(Q(file)));
    f.steps.Add(Options(Q(f.temp.Path("style.html")), 0, 1));
    QCOMPARE(f.Run(), ExportWizardResult::Exported);
    f.steps.Add(ChooseAll());
    f.steps.Add(ChooseFormat(FormatHtmlThreads));
    f.steps.Add(Destination(Q(folder)));
    f.steps.Add(On<CDlgExportStep4_HtmlAllInOne>([&](CDlgExportStep4_HtmlAllInOne& d) {
        QCOMPARE(d.TemplateEdit()->text(), Q(f.temp.Path("style.html")));
        QCOMPARE(d.SortByList()->currentIndex(), 0);
        QCOMPARE(d.OrderList()->currentIndex(), 1);
        QVERIFY(d.TemplateCharsetButton()->isChecked());
        QCOMPARE(d.CodePageList()->currentData().toUInt(), 1252u);
        d.NextButton()->click();
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Exported);

    // The third run sees both: the format and destination of the last run, the file of the
    // first.
    f.steps.Add(ChooseAll());
    f.steps.Add(On<CDlgExportStep2>([](CDlgExportStep2& d) {
        QCOMPARE(d.FormatList()->selectedItems().size(), 1);
        QCOMPARE(d.FormatList()->selectedItems().front()->data(Qt::UserRole).toInt(), 11);
        d.FormatList()->setCurrentRow(2);  // HTML all-in-one again
        d.NextButton()->click();
    }));
    f.steps.Add(On<CDlgExportStep3>([&](CDlgExportStep3& d) {
        QCOMPARE(d.PathEdit()->text(), Q(file));
        QCOMPARE(d.FolderPath(), W(folder) + u"/");
    }));
    QCOMPARE(f.Run(), ExportWizardResult::Cancelled);
    QCOMPARE(f.steps.shown.size(), qsizetype(11));
    QCOMPARE(f.Int(kKeyFormat), 12);
}

void ExportWizardTest::cancelAtEachStepExportsNothing() {
    for (int cancelAt = 0; cancelAt < 4; ++cancelAt) {
        Fixture f;
        const fs::path out = f.temp.Path("out.html");
        const std::vector<std::function<void(QDialog&)>> acts = {
            ChooseAll(), ChooseFormat(FormatHtmlAllInOne), Destination(Q(out)),
            Options(Q(f.temp.Path("style.html")), 1, 0)};
        for (int i = 0; i < cancelAt; ++i) {
            f.steps.Add(acts[std::size_t(i)]);
        }
        f.steps.Add([](QDialog& d) {
            for (QPushButton* b : d.findChildren<QPushButton*>()) {
                if (b->text() == QStringLiteral("Cancel")) {
                    b->click();
                }
            }
            QCOMPARE(d.result(), int(QDialog::Rejected));
        });
        QCOMPARE(f.Run(), ExportWizardResult::Cancelled);
        QCOMPARE(f.steps.shown.size(), qsizetype(cancelAt + 1));
        QVERIFY(!fs::exists(out));
        QCOMPARE(f.ui.ProgressCount(), std::size_t(0));
        // Only the steps passed have stored their settings.
        QCOMPARE(f.settings.Has(kConfigSection, kKeyFormat), cancelAt > 1);
        QCOMPARE(f.settings.Has(kConfigSection, kKeyLastFileOut), cancelAt > 2);
        QVERIFY(!f.settings.Has(kConfigSection, kKeyHtmlTemplate));
    }
}

void ExportWizardTest::mainWindowCommandRunsTheWizard() {
    FrameHarness h;
    dbxw::TempDir& temp = h.temp;
    const std::u16string box = h.Write(Messages());
    h.frame.LoadMailbox(box);
    QCOMPARE(h.frame.EmailList()->GetItemCount(), 4);
    const fs::path out = temp.Path("from-menu");
    fs::create_directory(out);

    // Plays one action on each modal step as it comes up, the way a user would.
    std::deque<std::function<void(QDialog&)>> acts = {On<CDlgExportStep1>([&h](CDlgExportStep1& d) {
                                                          QVERIFY(d.isModal());
                                                          QCOMPARE(d.parentWidget(),
                                                                   static_cast<QWidget*>(&h.frame));
                                                          d.AllButton()->click();
                                                          d.NextButton()->click();
                                                      }),
                                                      ChooseFormat(FormatEml), Destination(Q(out))};
    QStringList seen;
    QTimer driver;
    driver.setInterval(5);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        // Steps live on the stack one after the other, often at the same address.
        if (dialog == nullptr || dialog->property("driven").toBool() || acts.empty()) {
            return;
        }
        dialog->setProperty("driven", true);
        seen << dialog->windowTitle();
        std::function<void(QDialog&)> act = std::move(acts.front());
        acts.pop_front();
        act(*dialog);
    });
    driver.start();
    h.frame.RunCommand(kIdExportWizard);
    driver.stop();
    QCOMPARE(seen, QStringList({QStringLiteral("Export Emails - Step 1"),
                                QStringLiteral("Export Emails - Step 2"),
                                QStringLiteral("Export Emails - Step 3")}));
    QCOMPARE(FolderFiles(out).size(), std::size_t(4));
    QCOMPARE(h.settings.IntValue(kConfigSection, kKeyFormat), std::optional<int>(1));

    // The toolbar's Export button and Ctrl+E start the same wizard.
    QAction* toolbar = h.frame.ToolbarAction(kIdExportWizard);
    QVERIFY(toolbar != nullptr);
    QCOMPARE(h.frame.CommandAction(kIdExportWizard)->shortcut(),
             QKeySequence(QStringLiteral("Ctrl+E")));
    seen.clear();
    acts = {[](QDialog& d) { d.reject(); }};
    driver.start();
    toolbar->trigger();
    driver.stop();
    QCOMPARE(seen, QStringList({QStringLiteral("Export Emails - Step 1")}));

    // An empty list gets the notice and no step.
    CTestFrame empty(h.ui, h.dialogs, h.settings);
    QVERIFY(empty.Create());
    h.ui.messages.clear();
    seen.clear();
    empty.RunCommand(kIdExportWizard);
    QVERIFY(seen.isEmpty());
    QCOMPARE(h.ui.messages.size(), std::size_t(1));
    QCOMPARE(Q(h.ui.messages[0].text), QString::fromLatin1(kNoEmails));
}

QTEST_MAIN(ExportWizardTest)
#include "export_wizard_test.moc"
