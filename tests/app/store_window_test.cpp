// The main window with a whole store open: the Folders bar, folder selection, the title,
// and the wizard's third choice.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <functional>

#include "app/dlg_export_step1.h"
#include "app/dlg_export_step2.h"
#include "app/dlg_export_step3.h"
#include "app/export_wizard_command.h"
#include "app/my_quick_list.h"
#include "app_test_support.h"
#include "export/export_settings.h"
#include "store/store_fixture.h"

namespace {

namespace fs = std::filesystem;

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

// The texts of the bar's items, depth first, indented two spaces a level.
QStringList TreeTexts(const QStandardItemModel& model) {
    QStringList out;
    std::function<void(const QStandardItem*, int)> walk = [&](const QStandardItem* item,
                                                              int depth) {
        for (int r = 0; r < item->rowCount(); ++r) {
            out << QString(depth * 2, QLatin1Char(' ')) + item->child(r)->text();
            walk(item->child(r), depth + 1);
        }
    };
    walk(model.invisibleRootItem(), 0);
    return out;
}

}  // namespace

class StoreWindowTest : public QObject {
    Q_OBJECT

private slots:
    void openStoreShowsTheTreeAndOpensTheInbox() {
        FrameHarness h;
        storetest::WriteTypicalStore(h.temp.Path("store"));
        h.dialogs.answers.push_back(QString::fromStdString(h.temp.Path("store").string()));
        h.frame.RunCommand(kIdFileOpenStore);
        QCOMPARE(h.dialogs.requests.size(), std::size_t(1));
        QCOMPARE(h.dialogs.requests[0].kind, QStringLiteral("folder"));
        QVERIFY(h.ui.messages.empty());

        CFoldersBar* bar = h.frame.FoldersBar();
        QVERIFY(bar->isVisible());
        QCOMPARE(h.frame.dockWidgetArea(bar), Qt::LeftDockWidgetArea);
        QCOMPARE(bar->windowTitle(), QStringLiteral("Folders"));
        QCOMPARE(
            TreeTexts(*bar->Model()),
            (QStringList{"Outlook Express", "  Hotmail", "  Local Folders", "    Deleted Items (1)",
                         "    Drafts (1)", "    Gone", "    Inbox (3)", "    Never used",
                         "    Outbox (0)", "    projects (2)", "      Alpha (1)",
                         "        Deep (4)", "    Sent Items (2)", "  news.example.com",
                         "    comp.lang.c++ (2)", "Unlisted", "  Orphan (1)"}));
        for (const QString& name : {QStringLiteral("Inbox (3)"), QStringLiteral("Never used")}) {
            const auto found = bar->Model()->findItems(name, Qt::MatchRecursive);
            QCOMPARE(found.size(), 1);
            QVERIFY(!found[0]->icon().isNull());
        }
        // A folder without a file is greyed; one with a file is not.
        const QStandardItem* unused =
            bar->Model()->findItems(QStringLiteral("Never used"), Qt::MatchRecursive)[0];
        const QStandardItem* inbox =
            bar->Model()->findItems(QStringLiteral("Inbox (3)"), Qt::MatchRecursive)[0];
        QVERIFY(unused->foreground().color() != inbox->foreground().color());

        // The Inbox opened as File > Open would open INBOX.DBX.
        QCOMPARE(h.frame.CurrentPath(), (h.temp.Path("store") / "INBOX.DBX").u16string());
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 3);
        QCOMPARE(h.frame.windowTitle(), QStringLiteral("Korvane Quillbox - ") +
                                            QString::fromStdString(h.temp.Path("store").string()) +
                                            QStringLiteral("/ - Local Folders/Inbox"));
    }

    void choosingFoldersLoadsTheirFiles() {
        FrameHarness h;
        storetest::WriteTypicalStore(h.temp.Path("store"));
        h.frame.LoadStore(h.temp.Path("store").u16string());
        CFoldersBar* bar = h.frame.FoldersBar();
        auto choose = [&](const QString& text) {
            const auto found = bar->Model()->findItems(text, Qt::MatchRecursive);
            QCOMPARE(found.size(), 1);
            bar->Tree()->setCurrentIndex(found[0]->index());
        };
        choose(QStringLiteral("Deep (4)"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 4);
        QVERIFY(
            h.frame.windowTitle().endsWith(QStringLiteral(" - Local Folders/projects/Alpha/Deep")));
        QCOMPARE(h.frame.StatusPaneLabel(CMainFrame::PaneCount)->text(),
                 QStringLiteral("4 emails"));

        // A listed file that is missing: the text of a file that does not open.
        choose(QStringLiteral("Gone"));
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(Q(h.ui.messages[0].text), Q(GetStatusText(DbxCannotOpen)));
        QCOMPARE(h.ui.messages[0].caption, std::u16string(u"Error"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);

        // A folder without a file: an empty list and no message.
        choose(QStringLiteral("Deep (4)"));
        choose(QStringLiteral("Never used"));
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
        QVERIFY(h.frame.CurrentPath().empty());
        QVERIFY(h.frame.windowTitle().endsWith(QStringLiteral(" - Local Folders/Never used")));

        // The unlisted file opens too; the heading above it does nothing.
        choose(QStringLiteral("Orphan (1)"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 1);
        QVERIFY(h.frame.windowTitle().endsWith(QStringLiteral(" - Unlisted/Orphan")));
        choose(QStringLiteral("Unlisted"));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 1);
    }

    void countAfterOpeningIsTheRealOne() {
        FrameHarness h;
        // The header says 9 messages; only 2 records can be read.
        dbxw::Builder b = dbxw::SimpleMailboxBuilder(storetest::Messages("m", 2));
        b.header.signature = dbxw::kSignatureMessages;
        b.header.messageCount = 9;
        storetest::WriteFolders(h.temp.Path("store"),
                                {storetest::Root(), storetest::Account(1, "Local Folders"),
                                 storetest::Sub(2, 1, "Box", "Box.dbx")});
        b.Build().WriteTo(h.temp.Path("store/Box.dbx"));
        h.frame.LoadStore(h.temp.Path("store").u16string());
        CFoldersBar* bar = h.frame.FoldersBar();
        QCOMPARE(bar->Model()->findItems(QStringLiteral("Box (9)"), Qt::MatchRecursive).size(), 1);
        bar->SelectFolder({false, 2});
        QCOMPARE(bar->Model()->findItems(QStringLiteral("Box (2)"), Qt::MatchRecursive).size(), 1);
    }

    void aPlaceWithoutStoreSaysSoAndHidesTheBar() {
        FrameHarness h;
        fs::create_directories(h.temp.Path("nothing"));
        h.frame.LoadStore(h.temp.Path("nothing").u16string());
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(Q(h.ui.messages[0].text), Q(GetStoreStatusText(StoreNotFound)));
        QVERIFY(!h.frame.FoldersBar()->isVisible());
    }

    void wizardExportsAllFoldersOfTheStore() {
        FrameHarness h;
        storetest::WriteTypicalStore(h.temp.Path("store"));
        fs::remove(h.temp.Path("store/Folders.dbx"));  // a flat store: no failure
        h.frame.LoadStore(h.temp.Path("store").u16string());
        QVERIFY(h.frame.Store().IsOpen());

        std::vector<std::function<void(QDialog&)>> steps = {
            [](QDialog& d) {
                auto& step = dynamic_cast<CDlgExportStep1&>(d);
                QVERIFY(step.StoreButton() != nullptr);
                QCOMPARE(step.StoreButton()->text(), QStringLiteral("All folders of the store"));
                step.StoreButton()->click();
                step.NextButton()->click();
            },
            [](QDialog& d) {
                auto& step = dynamic_cast<CDlgExportStep2&>(d);
                step.FormatList()->setCurrentRow(0);  // EML
                step.NextButton()->click();
            },
            [&](QDialog& d) {
                auto& step = dynamic_cast<CDlgExportStep3&>(d);
                QVERIFY(!step.IsFileMode());
                step.PathEdit()->setText(QString::fromStdString(h.temp.Path("out").string()));
                step.NextButton()->click();
            },
        };
        std::size_t next = 0;
        CExportWizardContext context{.parent = nullptr,
                                     .dbx = h.frame.Mailbox(),
                                     .dbxPath = h.frame.CurrentPath(),
                                     .rowCount = h.frame.EmailList()->GetItemCount(),
                                     .rows = {},
                                     .ui = h.ui,
                                     .dialogs = h.dialogs,
                                     .settings = h.settings,
                                     .store = &h.frame.Store()};
        const ExportWizardResult result = OnExportEmails(context, [&](QDialog& d) {
            if (next < steps.size()) {
                steps[next++](d);
            }
            return d.result();
        });
        QCOMPARE(result, ExportWizardResult::Exported);
        QCOMPARE(next, steps.size());
        QVERIFY(fs::exists(h.temp.Path("out/Local Folders/Deep/[4]Deep 4.eml")));
        QVERIFY(fs::exists(h.temp.Path("out/Local Folders/INBOX/[1]Inbox 1.eml")));
    }
};

QTEST_MAIN(StoreWindowTest)
#include "store_window_test.moc"
