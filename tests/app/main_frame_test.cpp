// The main window's command table, toolbar, status bar, View toggles, keyboard shortcuts
// and Help commands.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/child_view.h"
#include "app/my_quick_list.h"
#include "app/quick_filter_bar.h"
#include "app/sizing_control_bar.h"
#include "app_test_support.h"

namespace {

struct ExpectedItem {
    const char* text;  // nullptr: a separator
    const char* shortcut;
    int id;
};

struct ExpectedMenu {
    const char* title;
    std::vector<ExpectedItem> items;
};

// The menus as the user sees them, written out independently of the command table.
const std::vector<ExpectedMenu>& ExpectedMenus() {
    static const std::vector<ExpectedMenu> menus = {
        {"&File",
         {{"&Open", "Ctrl+O", 57601},
          {"Open S&tore...", "Ctrl+Shift+O", 32900},
          {"&Exportation Wizard", "Ctrl+E", 32774},
          {nullptr, "", 0},
          {"&Save Attachments", "", 32777},
          {nullptr, "", 0},
          {"E&xit", "", 57665}}},
        {"&Selection",
         {{"&Select All", "Ctrl+A", 32783},
          {"&Invert Selection", "Ctrl+I", 32784},
          {nullptr, "", 0},
          {"Select All Emails with &Attached Files", "", 32809},
          {"Select All Emails with &High Priority", "", 32810}}},
        {"&Tools",
         {{"&Detect Encoding", "", 32782},
          {"&Count Threads", "", 32788},
          {"Count D&uplicate Emails", "", 32792},
          {"&Delete Duplicate Emails", "", 32793},
          {nullptr, "", 0},
          {"&Recover Messages...", "", 32811}}},
        {"&View",
         {{"&Toolbar", "", 59392}, {"&Status Bar", "", 59393}, {"&Email Viewer", "", 32830}}},
        {"&Help",
         {{"Online &Help", "F1", 32804},
          {"&Korvane Homepage", "", 32789},
          {nullptr, "", 0},
          {"&Request a new feature", "", 32790},
          {"Report a &bug", "", 32791},
          {nullptr, "", 0},
          {"&About Korvane Quillbox...", "", 57664}}},
    };
    return menus;
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void MenusMatchTheCommandTable() {
        FrameHarness h;
        const QList<QAction*> bar = h.frame.menuBar()->actions();
        const auto& expected = ExpectedMenus();
        QCOMPARE(bar.size(), qsizetype(expected.size()));
        for (std::size_t m = 0; m < expected.size(); ++m) {
            QCOMPARE(bar[qsizetype(m)]->text(), QString::fromLatin1(expected[m].title));
            QList<QAction*> items = bar[qsizetype(m)]->menu()->actions();
            // View ends with the mailbox code page submenu, after a separator.
            if (bar[qsizetype(m)]->menu() == h.frame.CodePageMenu()->parentWidget()) {
                QVERIFY(items.size() >= 2);
                QCOMPARE(items.back()->menu(), h.frame.CodePageMenu());
                QVERIFY(items[items.size() - 2]->isSeparator());
                items.resize(items.size() - 2);
            }
            QCOMPARE(items.size(), qsizetype(expected[m].items.size()));
            for (std::size_t i = 0; i < std::size_t(items.size()); ++i) {
                const ExpectedItem& e = expected[m].items[i];
                QAction* a = items[qsizetype(i)];
                if (e.text == nullptr) {
                    QVERIFY2(a->isSeparator(), expected[m].title);
                    continue;
                }
                QCOMPARE(a->text(), QString::fromLatin1(e.text));
                QCOMPARE(a->shortcut(), QKeySequence(QString::fromLatin1(e.shortcut)));
                QCOMPARE(a->data().toInt(), e.id);
                QVERIFY(a->isEnabled());
                QCOMPARE(h.frame.CommandAction(CommandId(e.id)), a);
            }
        }
    }

    void PromptsAndTooltips() {
        FrameHarness h;
        struct P {
            int id;
            const char* prompt;
            const char* tooltip;
        };
        const P withPrompt[] = {
            {57601, "Open a file", "Open"},
            {32900, "Open a whole Outlook Express store and show its folders", "Open Store"},
            {32774, "Export Emails...", "Export Emails"},
            {32804, "Online Help", "Online Help"},
            {57664, "Display program information, version number and copyright", "About"},
            {57665, "Quit the application; prompts to save documents", "Exit"},
            {59392, "Show or hide the toolbar", "Toggle ToolBar"},
            {59393, "Show or hide the status bar", "Toggle StatusBar"},
            {32811, "Scan the whole file for deleted messages and messages the index lost",
             "Recover Messages"},
        };
        for (const P& p : withPrompt) {
            QAction* a = h.frame.CommandAction(CommandId(p.id));
            QVERIFY(a != nullptr);
            QCOMPARE(a->statusTip(), QString::fromLatin1(p.prompt));
            QCOMPARE(a->toolTip(), QString::fromLatin1(p.tooltip));
        }
        for (int id :
             {32777, 32783, 32784, 32809, 32810, 32782, 32788, 32792, 32793, 32789, 32790, 32791}) {
            QVERIFY(h.frame.CommandAction(CommandId(id))->statusTip().isEmpty());
        }
    }

    void StatusPaneShowsPromptsAndReady() {
        FrameHarness h;
        QLabel* pane = h.frame.StatusPaneLabel(0);
        QCOMPARE(pane->text(), QStringLiteral("Ready"));
        QStatusTipEvent tip(QStringLiteral("Open a file"));
        QApplication::sendEvent(&h.frame, &tip);
        QCOMPARE(pane->text(), QStringLiteral("Open a file"));
        QStatusTipEvent none{QString()};
        QApplication::sendEvent(&h.frame, &none);
        QCOMPARE(pane->text(), QStringLiteral("Ready"));
        // A toolbar button's prompt travels the same way.
        QWidget* button =
            h.frame.ToolBar()->widgetForAction(h.frame.ToolbarAction(kIdExportWizard));
        QStatusTipEvent fromButton(h.frame.ToolbarAction(kIdExportWizard)->statusTip());
        QApplication::sendEvent(button, &fromButton);
        QCOMPARE(pane->text(), QStringLiteral("Export Emails..."));
    }

    void ToolbarLayout() {
        FrameHarness h;
        QToolBar* bar = h.frame.ToolBar();
        const QList<QAction*> actions = bar->actions();
        QCOMPARE(actions.size(), 5);
        QVERIFY(actions[2]->isSeparator());
        const struct {
            int index;
            const char* text;
            const char* tooltip;
            int id;
        } buttons[] = {{0, "Open", "Open", 57601},
                       {1, "Export", "Export Emails", 32774},
                       {3, "Help", "Online Help", 32804},
                       {4, "About", "About", 57664}};
        for (const auto& b : buttons) {
            QAction* a = actions[b.index];
            QCOMPARE(a->text(), QString::fromLatin1(b.text));
            QCOMPARE(a->toolTip(), QString::fromLatin1(b.tooltip));
            QCOMPARE(a->data().toInt(), b.id);
            QVERIFY2(!a->icon().isNull(), b.text);
            auto* tool = qobject_cast<QToolButton*>(bar->widgetForAction(a));
            QVERIFY(tool != nullptr);
            QCOMPARE(tool->size(), QSize(56, 68));
            QCOMPARE(tool->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        }
        QCOMPARE(bar->iconSize(), QSize(48, 48));
        QVERIFY(bar->isMovable());
        QCOMPARE(h.frame.toolBarArea(bar), Qt::TopToolBarArea);
    }

    void ToolbarButtonsRunTheirCommands() {
        FrameHarness h;
        QSignalSpy about(&h.frame, &CMainFrame::AppAboutRequested);
        h.frame.ToolbarAction(kIdAppAbout)->trigger();
        QCOMPARE(about.count(), 1);
        h.frame.ToolbarAction(kIdFileOpen)->trigger();
        QCOMPARE(h.dialogs.requests.size(), std::size_t(1));
        QCOMPARE(h.dialogs.requests[0].title, QStringLiteral("Select the file to open"));
    }

    void StatusBarPanes() {
        FrameHarness h;
        QCOMPARE(h.frame.StatusPaneLabel(1)->text(), QString());
        QCOMPARE(h.frame.StatusPaneLabel(1)->width(),
                 QGuiApplication::primaryScreen()->geometry().width() / 4);
        // Offscreen there is no lock state to report: the legends stay, greyed.
        QCOMPARE(h.frame.StatusPaneLabel(2)->text(), QStringLiteral("CAP"));
        QCOMPARE(h.frame.StatusPaneLabel(3)->text(), QStringLiteral("NUM"));
        QCOMPARE(h.frame.StatusPaneLabel(4)->text(), QStringLiteral("SCRL"));
        QVERIFY(!h.frame.StatusPaneLabel(2)->isEnabled());
        // The mailbox code page pane is empty until a mailbox is open.
        QCOMPARE(h.frame.StatusPaneLabel(5)->text(), QString());
        QCOMPARE(h.frame.StatusPaneLabel(6), nullptr);
        // The prompt pane stretches: it is wider than every fixed pane together.
        QVERIFY(h.frame.StatusPaneLabel(0)->width() > h.frame.StatusPaneLabel(2)->width());
    }

    void ViewTogglesAndCheckMarks() {
        FrameHarness h;
        QAction* toolbar = h.frame.CommandAction(kIdViewToolbar);
        QAction* status = h.frame.CommandAction(kIdViewStatusBar);
        h.frame.UpdateViewChecks();
        QVERIFY(toolbar->isChecked());
        QVERIFY(status->isChecked());

        toolbar->trigger();
        QVERIFY(!h.frame.ToolBar()->isVisible());
        h.frame.UpdateViewChecks();
        QVERIFY(!toolbar->isChecked());
        toolbar->trigger();
        QVERIFY(h.frame.ToolBar()->isVisible());
        QVERIFY(toolbar->isChecked());

        status->trigger();
        QVERIFY(!h.frame.statusBar()->isVisible());
        QVERIFY(!status->isChecked());
        status->trigger();
        QVERIFY(h.frame.statusBar()->isVisible());
        QVERIFY(status->isChecked());
    }

    void ShortcutsWorkWhileTheListHasTheFocus() {
        FrameHarness h;
        h.frame.LoadMailbox(h.Write({dbxw::Message{}, dbxw::Message{}, dbxw::Message{}}));
        CMyQuickList* list = h.frame.EmailList();
        QApplication::setActiveWindow(&h.frame);
        list->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&h.frame));
        QVERIFY(list->hasFocus());

        CUrlCatcher catcher({QStringLiteral("https")});
        QTest::keyClick(list, Qt::Key_F1);
        QCOMPARE(catcher.urls.size(), std::size_t(1));
        QCOMPARE(catcher.urls[0],
                 QUrl(QStringLiteral("https://korvane.example/lnk_help?s=qbx&t=index")));

        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list->selectionModel()->selectedRows().size(), 3);
        QTest::keyClick(list, Qt::Key_I, Qt::ControlModifier);
        QCOMPARE(list->selectionModel()->selectedRows().size(), 0);

        QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(h.dialogs.requests.size(), std::size_t(1));
        QCOMPARE(h.dialogs.requests[0].kind, QStringLiteral("open"));
    }

    void HelpCommandsOpenTheirLinks() {
        FrameHarness h;
        CUrlCatcher catcher({QStringLiteral("https"), QStringLiteral("mailto")});
        h.frame.CommandAction(kIdHomepage)->trigger();
        h.frame.CommandAction(kIdOnlineHelp)->trigger();
        h.frame.CommandAction(kIdRequestFeature)->trigger();
        h.frame.CommandAction(kIdReportBug)->trigger();
        QCOMPARE(catcher.urls.size(), std::size_t(4));
        QCOMPARE(catcher.urls[0], QUrl(QStringLiteral("https://korvane.example/")));
        QCOMPARE(catcher.urls[1].query(), QStringLiteral("s=qbx&t=index"));
        QCOMPARE(catcher.urls[1].path(), QStringLiteral("/lnk_help"));
        QCOMPARE(catcher.urls[2].scheme(), QStringLiteral("mailto"));
        QCOMPARE(catcher.urls[2].path(), QStringLiteral("quillbox@korvane.example"));
        QCOMPARE(catcher.urls[2].query(QUrl::FullyDecoded),
                 QStringLiteral("subject=Quillbox Request"));
        QCOMPARE(catcher.urls[3].query(QUrl::FullyDecoded),
                 QStringLiteral("subject=Quillbox Bug Report"));
    }

    void ExitAndAboutGoToTheApplication() {
        FrameHarness h;
        QSignalSpy exit(&h.frame, &CMainFrame::AppExitRequested);
        QSignalSpy about(&h.frame, &CMainFrame::AppAboutRequested);
        h.frame.CommandAction(kIdAppExit)->trigger();
        h.frame.CommandAction(kIdAppAbout)->trigger();
        QCOMPARE(exit.count(), 1);
        QCOMPARE(about.count(), 1);
    }

    void CommandsRunWithoutAMailbox() {
        FrameHarness h;
        for (CommandId id : {kIdSelectAll, kIdInvertSelection, kIdSelectAttachments,
                             kIdSelectHighPriority, kIdCountThreads, kIdRecoverMessages}) {
            h.frame.RunCommand(id);
        }
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
        QCOMPARE(h.frame.windowTitle(), QStringLiteral("Korvane Quillbox"));
        QVERIFY(h.ui.messages.empty());
        // The duplicate tools answer an empty list with their notices (tested with the
        // tools); the window stays as it was.
        h.frame.RunCommand(kIdCountDuplicates);
        h.frame.RunCommand(kIdDeleteDuplicates);
        QCOMPARE(h.ui.messages.size(), std::size_t(3));
        QCOMPARE(QString::fromStdU16String(h.ui.messages.back().text),
                 QStringLiteral("No duplicate messages."));
        QCOMPARE(h.frame.EmailList()->GetItemCount(), 0);
    }

    void LayoutOfTheWindow() {
        FrameHarness h;
        CMySizingControlBarG* bar = h.frame.ViewerBar();
        QCOMPARE(bar->windowTitle(), QStringLiteral("Email Viewer"));
        QCOMPARE(h.frame.dockWidgetArea(bar), Qt::BottomDockWidgetArea);
        QCOMPARE(bar->allowedAreas(), Qt::AllDockWidgetAreas);
        QVERIFY(bar->features().testFlag(QDockWidget::DockWidgetFloatable));
        QVERIFY(bar->features().testFlag(QDockWidget::DockWidgetMovable));
        QCOMPARE(bar->sizeHint(), QSize(200, 200));
        QCOMPARE(bar->minimumSizeHint(), QSize(33, 32));
        h.frame.addDockWidget(Qt::LeftDockWidgetArea, bar);
        QCOMPARE(bar->DockSide(), Qt::LeftDockWidgetArea);
        QCOMPARE(bar->sizeHint(), QSize(300, 300));
        bar->setFloating(true);
        QCOMPARE(bar->minimumSizeHint(), QSize(37, 32));
        QCOMPARE(bar->sizeHint(), QSize(200, 200));

        // The filter bar tops the view and the list fills the rest, also after the window
        // shrinks.
        CChildView* view = h.frame.View();
        QCOMPARE(h.frame.centralWidget(), view);
        QCOMPARE(h.frame.EmailList()->parentWidget(), view);
        auto checkLayout = [&] {
            const QRect area = view->contentsRect();
            const QRect bar = h.frame.FilterBar()->geometry();
            QCOMPARE(bar.topLeft(), area.topLeft());
            QCOMPARE(bar.width(), area.width());
            QVERIFY(bar.height() > 0);
            QCOMPARE(h.frame.EmailList()->geometry(), area.adjusted(0, bar.height(), 0, 0));
        };
        checkLayout();
        h.frame.resize(500, 400);
        QCoreApplication::processEvents();
        checkLayout();
        QVERIFY(!h.frame.windowIcon().isNull());
    }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
