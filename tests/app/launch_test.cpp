// Opening what the program is started with or what is dropped on it, and the first
// window's place and size.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "app/launch.h"
#include "app/my_quick_list.h"
#include "app/sizing_control_bar.h"
#include "app_test_support.h"
#include "store/dbx_store.h"

namespace {

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

std::vector<dbxw::Message> TwoMessages() {
    dbxw::Message a;
    a.subject = "First";
    a.text = "Subject: First\r\n\r\nOne\r\n";
    dbxw::Message b;
    b.subject = "Second";
    b.text = "Subject: Second\r\n\r\nTwo\r\n";
    return {a, b};
}

}  // namespace

class LaunchTest : public QObject {
    Q_OBJECT
private slots:
    void Arguments() {
        dbxw::TempDir temp;
        const std::filesystem::path file = temp.Path("Inbox.dbx");
        dbxw::BuildSimpleMailbox(TwoMessages()).WriteTo(file);
        const QString filePath = QString::fromStdString(file.string());
        const QString folder = QString::fromStdString(temp.Path("").string());

        QCOMPARE(ParseLaunchArguments({}).kind, LaunchRequest::Nothing);

        const LaunchRequest opened = ParseLaunchArguments({filePath});
        QCOMPARE(opened.kind, LaunchRequest::File);
        QCOMPARE(Q(opened.path), filePath);

        const LaunchRequest store = ParseLaunchArguments({folder});
        QCOMPARE(store.kind, LaunchRequest::Folder);

        const LaunchRequest two = ParseLaunchArguments({filePath, filePath});
        QCOMPARE(two.kind, LaunchRequest::Refused);
        QVERIFY(Q(two.refusal).contains(QStringLiteral("one mailbox file")));

        const QString missingPath = folder + QStringLiteral("/Missing.dbx");
        const LaunchRequest missing = ParseLaunchArguments({missingPath});
        QCOMPARE(missing.kind, LaunchRequest::Refused);
        QCOMPARE(Q(missing.refusal), QStringLiteral("'%1' does not exist.").arg(missingPath));

        const LaunchRequest option = ParseLaunchArguments({QStringLiteral("-geometry")});
        QCOMPARE(option.kind, LaunchRequest::Refused);
        QVERIFY(Q(option.refusal).startsWith(QStringLiteral("'-geometry' is not an option")));
    }

    void RequestsOpenOrRefuse() {
        ViewerFrameHarness h;
        const std::u16string path = h.Write(TwoMessages(), "Inbox.dbx");
        RunLaunchRequest(ParseLaunchArguments({Q(path)}), h.frame, h.ui);
        QVERIFY(h.ui.messages.empty());
        QCOMPARE(h.frame.Mailbox().GetEmails().GetCount(), 2);
        QCOMPARE(h.frame.CurrentPath(), path);

        // A refusal is one error box; what was open stays open.
        RunLaunchRequest(ParseLaunchArguments({Q(path), Q(path)}), h.frame, h.ui);
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(h.ui.messages[0].caption, std::u16string(kErrorCaption));
        QCOMPARE(h.ui.messages[0].icon, MsgIcon::Error);
        QCOMPARE(h.frame.Mailbox().GetEmails().GetCount(), 2);

        // A folder opens as a store: its message files become the folders of the tree.
        const QString folder = QString::fromStdString(h.temp.Path("").string());
        RunLaunchRequest(ParseLaunchArguments({folder}), h.frame, h.ui);
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QVERIFY(h.frame.Store().IsOpen());
        bool inboxListed = false;
        for (const CStoreFolder& f : h.frame.Store().Folders()) {
            inboxListed = inboxListed || f.m_strFile == u"Inbox.dbx";
        }
        QVERIFY(inboxListed);
    }

    void DropOpensTheFile() {
        ViewerFrameHarness h;
        const std::u16string path = h.Write(TwoMessages(), "Dropped.dbx");
        std::vector<LaunchRequest> requests;
        new CLaunchDropFilter(h.frame, [&](const LaunchRequest& r) {
            requests.push_back(r);
            RunLaunchRequest(r, h.frame, h.ui);
        });
        QVERIFY(h.frame.acceptDrops());

        QMimeData local;
        local.setUrls({QUrl::fromLocalFile(Q(path))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &local, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&h.frame, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &local, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&h.frame, &drop);
        QCOMPARE(requests.size(), std::size_t(1));
        QCOMPARE(h.frame.CurrentPath(), path);
        QCOMPARE(h.frame.Mailbox().GetEmails().GetCount(), 2);

        // A web link is not taken at all.
        QMimeData remote;
        remote.setUrls({QUrl(QStringLiteral("https://korvane.example/Inbox.dbx"))});
        QDragEnterEvent remoteEnter(QPoint(10, 10), Qt::CopyAction, &remote, Qt::LeftButton,
                                    Qt::NoModifier);
        remoteEnter.setAccepted(false);
        QCoreApplication::sendEvent(&h.frame, &remoteEnter);
        QVERIFY(!remoteEnter.isAccepted());

        // Two files at once: refused with a box, the open mailbox stays.
        QMimeData two;
        two.setUrls({QUrl::fromLocalFile(Q(path)), QUrl::fromLocalFile(Q(path))});
        QDragEnterEvent twoEnter(QPoint(10, 10), Qt::CopyAction, &two, Qt::LeftButton,
                                 Qt::NoModifier);
        QCoreApplication::sendEvent(&h.frame, &twoEnter);
        QVERIFY(twoEnter.isAccepted());
        QDropEvent twoDrop(QPointF(10, 10), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&h.frame, &twoDrop);
        QCOMPARE(requests.size(), std::size_t(2));
        QCOMPARE(requests.back().kind, LaunchRequest::Refused);
        QCOMPARE(h.ui.messages.size(), std::size_t(1));
        QCOMPARE(h.frame.CurrentPath(), path);
    }

    void FirstWindowGeometryOnAScreen() {
        QCOMPARE(FirstWindowGeometry(QRect(0, 0, 1600, 1000)), QRect(200, 125, 1200, 750));
        // A second screen to the right, with a panel on top.
        QCOMPARE(FirstWindowGeometry(QRect(1920, 32, 2560, 1408)),
                 QRect(1920 + 320, 32 + 176, 1920, 1056));
    }

    void FirstLayoutShowsRowsAndFitsColumns() {
        ViewerFrameHarness h;
        ApplyFirstWindowLayout(h.frame, QGuiApplication::primaryScreen());
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(h.frame.geometry().size(), FirstWindowGeometry(available).size());
        // The viewer takes about a third; the list keeps room for rows.
        QApplication::processEvents();
        const int viewer = h.frame.ViewerBar()->height();
        QVERIFY2(std::abs(viewer - h.frame.height() / 3) < h.frame.height() / 10,
                 qPrintable(QStringLiteral("viewer %1 of %2").arg(viewer).arg(h.frame.height())));
        QVERIFY(h.frame.EmailList()->height() >
                5 * h.frame.EmailList()->verticalHeader()->defaultSectionSize());

        const QFontMetrics metrics = h.frame.EmailList()->fontMetrics();
        const auto narrow = FirstColumnWidths(metrics, 0);
        const int date = metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00"));
        QVERIFY(narrow[ColSent] > date && narrow[ColReceived] > date);
        QVERIFY(narrow[ColFrom] > metrics.horizontalAdvance(QStringLiteral("Annabel Example")));
        QCOMPARE(narrow[ColAttachment], kEmailColumns[ColAttachment].width);
        // A wide list gives its spare room to the subject, and fills exactly.
        const auto wide = FirstColumnWidths(metrics, 3000);
        int sum = 0;
        for (int w : wide) {
            sum += w;
        }
        QCOMPARE(sum, 3000);
        QCOMPARE(wide[ColFrom], narrow[ColFrom]);
        QVERIFY(wide[ColSubject] > narrow[ColSubject]);
    }
};

QTEST_MAIN(LaunchTest)
#include "launch_test.moc"
