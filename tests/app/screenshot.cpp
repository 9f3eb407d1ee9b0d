// Grabs windows of the application into PNGs for the README.
// Usage:
//   quillbox_screenshot MAILBOX.dbx OUT.png   the main window, its first rows selected
//   quillbox_screenshot viewer OUT.png        the viewer's text page showing an HTML part
//   quillbox_screenshot progress OUT.png      the progress window of an EML export of
//                                             20,000 messages, then Cancel is clicked
//   quillbox_screenshot store OUT.png         a whole store open: the Folders bar, the
//                                             Inbox's list and a message in the viewer
//   quillbox_screenshot message OUT.png       the Message page rendering an HTML message
//                                             with an inline picture and an attached file
//   quillbox_screenshot filter OUT.png        the quick filter narrowing 100,000 messages
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "app/app_dialogs.h"
#include "app/email_viewer_tabs.h"
#include "app/main_frame.h"
#include "app/my_quick_list.h"
#include "app/progress_wnd.h"
#include "app/qt_ui_services.h"
#include "app/quick_filter_bar.h"
#include "app/sizing_control_bar.h"
#include "dbxwriter/dbx_writer.h"
#include "dbxwriter/sample_names.h"
#include "export/export_eml.h"
#include "export/export_session.h"
#include "mailbox/email.h"
#include "mime/transfer_codec.h"
#include "support/memory_settings.h"

namespace {

dbxw::Message Mail(int n, const std::string& subject, const std::string& text) {
    dbxw::Message m;
    m.subject = subject;
    m.senderName = "Ada Lovelace";
    m.senderAddress = "ada@example.org";
    m.recipientName = "Charles Babbage";
    m.recipientAddress = "charles@example.org";
    m.sent = dbxw::FileTimeFromUtc(2004, 3, 1 + n % 28, 9 + n % 9, n % 60);
    m.received = *m.sent + 90 * dbxw::kTicksPerSecond;
    m.messageId = "<m" + std::to_string(n) + "@example.org>";
    m.lines = 12;
    m.text = text;
    return m;
}

const char kHtmlMessage[] =
    "From: \"Ada Lovelace\" <ada@example.org>\r\n"
    "To: \"Charles Babbage\" <charles@example.org>\r\n"
    "Subject: Notes on the Analytical Engine\r\n"
    "Date: Mon, 1 Mar 2004 10:15:00 +0000\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/alternative; boundary=\"----=_NextPart_000\"\r\n\r\n"
    "This is a multi-part message in MIME format.\r\n\r\n"
    "------=_NextPart_000\r\nContent-Type: text/plain; charset=\"iso-8859-1\"\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
    "Dear Charles,\r\n\r\nThe engine weaves algebraic patterns.\r\n\r\n"
    "------=_NextPart_000\r\nContent-Type: text/html; charset=\"iso-8859-1\"\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
    "<html><body>\r\n<p>Dear Charles,</p>\r\n"
    "<p>The engine <b>weaves algebraic patterns</b> just as the Jacquard loom =\r\n"
    "weaves flowers and leaves.</p>\r\n<p>Yours, Ada</p>\r\n</body></html>\r\n\r\n"
    "------=_NextPart_000--\r\n";

// A plain message whose header block says what the list says of it (the names are
// Latin-1, as the message declares).
std::string ListedMessage(const dbxw::Message& m, int year, int month, int day, int hour,
                          int minute) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char date[64];
    std::snprintf(date, sizeof date, "%d %s %d %02d:%02d:00 +0000", day, kMonths[month - 1], year,
                  hour, minute);
    return "From: " + m.senderName.value_or("") + " <" + m.senderAddress.value_or("") +
           ">\r\nTo: " + m.recipientName.value_or("") + " <" + m.recipientAddress.value_or("") +
           ">\r\nSubject: " + m.subject.value_or("") + "\r\nDate: " + date +
           "\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\nHello,\r\n\r\nabout " +
           m.subject.value_or("") + ": see you on Monday.\r\n\r\n" + m.senderName.value_or("") +
           "\r\n";
}

std::string PlainMessage(int n) {
    return "From: ada@example.org\r\nSubject: Message " + std::to_string(n) +
           "\r\nContent-Type: text/plain\r\n\r\nBody of message " + std::to_string(n) + ".\r\n";
}

// A main window over scratch settings, shown at the given size with the mailbox loaded.
struct ShotWindow {
    CQtUiServices ui;
    CQtAppDialogs dialogs;
    CMemorySettings settings;
    CMainFrame frame{ui, dialogs, settings};

    bool Open(int width, int height, const std::string& mailbox) {
        ui.SetParentWindow(&frame);
        ui.SetSettings(&settings);
        if (!frame.Create()) {
            return false;
        }
        frame.resize(width, height);
        frame.show();
        frame.LoadMailbox(QString::fromStdString(mailbox).toStdU16String());
        return true;
    }
};

// Row 2 selected, then the whole window grabbed once it has been painted.
int GrabWithRowSelected(QApplication& app, CMainFrame& frame, const QString& out) {
    frame.EmailList()->selectRow(2);
    frame.EmailList()->setFocus();
    int rc = 1;
    QTimer::singleShot(500, [&] {
        rc = frame.grab().save(out) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return rc;
}

int ViewerShot(QApplication& app, const QString& out) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath(QStringLiteral("viewer.dbx")).toStdString();
    std::vector<dbxw::Message> messages;
    const char* subjects[] = {"Meeting on Thursday", "Re: Meeting on Thursday",
                              "Notes on the Analytical Engine", "Tables of Bernoulli numbers",
                              "Re: Tables of Bernoulli numbers"};
    for (int n = 0; n < 5; ++n) {
        messages.push_back(Mail(n, subjects[n], n == 2 ? kHtmlMessage : PlainMessage(n)));
    }
    if (!dbxw::BuildSimpleMailbox(messages).WriteTo(path)) {
        return 1;
    }
    ShotWindow shot;
    if (!shot.Open(1180, 760, path)) {
        return 1;
    }
    shot.frame.resizeDocks({shot.frame.ViewerBar()}, {330}, Qt::Vertical);
    return GrabWithRowSelected(app, shot.frame, out);
}

int StoreShot(QApplication& app, const QString& out) {
    QTemporaryDir dir;
    const std::filesystem::path store = dir.path().toStdString();
    auto folder = [](std::uint32_t id, std::uint32_t parent, const char* name, const char* file,
                     std::uint32_t special = 0) {
        dbxw::Folder f;
        f.id = id;
        f.parent = parent;
        f.name = name;
        f.file = file;
        f.storeType = 3;
        if (special != 0) {
            f.special = special;
        }
        return f;
    };
    const std::vector<dbxw::Folder> folders = {
        {.parent = 0xFFFFFFFF, .name = "Outlook Express", .storeType = 4},
        {.id = 1, .name = "Local Folders", .account = "LocalStore", .storeType = 3},
        folder(4, 1, "Inbox", "Inbox.dbx", 1),
        folder(5, 1, "Outbox", "Outbox.dbx", 2),
        folder(6, 1, "Sent Items", "Sent Items.dbx", 3),
        folder(7, 1, "Deleted Items", "Deleted Items.dbx", 4),
        folder(8, 1, "Drafts", "Drafts.dbx", 5),
        folder(10, 1, "Correspondence", "Correspondence.dbx"),
        folder(11, 10, "Royal Society", "Royal Society.dbx"),
        folder(12, 11, "Bernoulli numbers", "Bernoulli numbers.dbx"),
        folder(13, 1, "Family", "Family.dbx"),
        {.id = 20, .name = "news.example.org", .account = "news", .storeType = 0},
        {.id = 21, .parent = 20, .name = "sci.math", .file = "sci.math.dbx", .storeType = 0},
    };
    if (!dbxw::FoldersBuilder(folders).Build().WriteTo(store / "Folders.dbx")) {
        return 1;
    }
    const char* subjects[] = {"Meeting on Thursday",
                              "Re: Meeting on Thursday",
                              "Notes on the Analytical Engine",
                              "Tables of Bernoulli numbers",
                              "Re: Tables of Bernoulli numbers",
                              "The difference engine",
                              "Letter from Mr. Faraday"};
    int n = 0;
    for (const dbxw::Folder& f : folders) {
        if (!f.file) {
            continue;
        }
        std::vector<dbxw::Message> messages;
        const int count = *f.name == "Inbox" ? 7 : 1 + (n * 5) % 9;
        for (int i = 0; i < count; ++i, ++n) {
            const std::string subject =
                *f.name == "Inbox" ? subjects[i] : *f.name + " " + std::to_string(i + 1);
            messages.push_back(
                Mail(n, subject, *f.name == "Inbox" && i == 2 ? kHtmlMessage : PlainMessage(n)));
        }
        dbxw::Builder b = dbxw::SimpleMailboxBuilder(messages);
        b.header.signature = dbxw::kSignatureMessages;
        if (!b.Build().WriteTo(store / *f.file)) {
            return 1;
        }
    }
    ShotWindow shot;
    shot.ui.SetParentWindow(&shot.frame);
    shot.ui.SetSettings(&shot.settings);
    if (!shot.frame.Create()) {
        return 1;
    }
    shot.frame.resize(1280, 800);
    shot.frame.show();
    shot.frame.LoadStore(store.u16string());
    shot.frame.resizeDocks({shot.frame.ViewerBar()}, {330}, Qt::Vertical);
    shot.frame.resizeDocks({shot.frame.FoldersBar()}, {250}, Qt::Horizontal);
    return GrabWithRowSelected(app, shot.frame, out);
}

int ProgressShot(QApplication& app, const QString& out) {
    constexpr int kMessages = 20'000;
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath(QStringLiteral("big.dbx")).toStdString();
    std::vector<dbxw::Message> messages;
    messages.reserve(kMessages);
    for (int n = 0; n < kMessages; ++n) {
        messages.push_back(Mail(n, "Message " + std::to_string(n), PlainMessage(n)));
    }
    if (!dbxw::BuildSimpleMailbox(messages).WriteTo(path)) {
        return 1;
    }
    ShotWindow shot;
    if (!shot.Open(1000, 640, path)) {
        return 1;
    }
    CMainFrame& frame = shot.frame;
    CEmailArray& emails = frame.Mailbox().GetEmails();
    for (int i = 0; i < emails.GetCount(); ++i) {
        emails.Get(i)->m_bSelected = true;
    }
    const QString folder = QDir(dir.path()).filePath(QStringLiteral("eml"));
    QDir().mkpath(folder);
    for (int i = 0; i < 20; ++i) {
        app.processEvents();  // the main window is painted before the export starts
    }

    // Timers fire only inside the export's pumps: the window answers while it runs.
    int rc = 1;
    int ticks = 0;
    bool clicked = false;
    QTimer timer;
    timer.setInterval(100);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* wnd = qobject_cast<CProgressWnd*>([] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (qobject_cast<CProgressWnd*>(w) != nullptr && w->isVisible()) {
                    return w;
                }
            }
            return static_cast<QWidget*>(nullptr);
        }());
        ++ticks;
        if (wnd == nullptr || clicked || wnd->BarPosition() < 30) {
            return;
        }
        rc = wnd->grab().save(out) ? 0 : 1;
        std::printf("grabbed \"%s\" after %d ticks: %s\n", qPrintable(wnd->windowTitle()), ticks,
                    qPrintable(wnd->StatusText()));
        // A real click on " Cancel ", queued as the user's input would be.
        QPushButton* button = wnd->CancelButton();
        const QPointF local = button->rect().center();
        const QPointF global = button->mapToGlobal(local);
        QCoreApplication::postEvent(
            button, new QMouseEvent(QEvent::MouseButtonPress, local, global, Qt::LeftButton,
                                    Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            button, new QMouseEvent(QEvent::MouseButtonRelease, local, global, Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier));
        clicked = true;
    });
    timer.start();
    QElapsedTimer elapsed;
    elapsed.start();
    {
        CExportSession session(frame.Mailbox(), shot.ui);
        ExportEml(session, (folder + QLatin1Char('/')).toStdU16String());
    }
    timer.stop();
    const auto files = std::distance(std::filesystem::directory_iterator(folder.toStdString()),
                                     std::filesystem::directory_iterator());
    std::printf("export stopped after %lld ms with %ld of %d files; main window %s\n",
                static_cast<long long>(elapsed.elapsed()), static_cast<long>(files), kMessages,
                frame.isEnabled() ? "enabled" : "disabled");
    if (!clicked || files == 0 || files >= kMessages || !frame.isEnabled()) {
        return 1;
    }
    return rc;
}

// A small chart drawn here, so the message's inline picture is the message's own.
std::string ChartPngBase64() {
    QImage image(220, 90, QImage::Format_RGB32);
    image.fill(QColor(0xf4, 0xf7, 0xf2));
    QPainter painter(&image);
    const int heights[] = {30, 52, 41, 66, 74};
    for (int i = 0; i < 5; ++i) {
        painter.fillRect(14 + i * 42, 82 - heights[i], 28, heights[i], QColor(0x4a, 0x8c, 0x3f));
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toBase64(QByteArray::Base64Encoding).toStdString();
}

std::string NewsletterMessage() {
    return "From: =?iso-8859-1?Q?Ren=E9_Lef=E8vre?= <rene@example.fr>\r\n"
           "To: \"Alice Martin\" <alice.martin@example.com>\r\n"
           "Cc: Bob Stone <bob.stone@example.org>\r\n"
           "Subject: =?utf-8?Q?Jardin_partag=C3=A9_=E2=80=94_the_spring_harvest?=\r\n"
           "Date: Wed, 3 Mar 2004 11:02:00 +0000\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"mix\"\r\n\r\n"
           "--mix\r\nContent-Type: multipart/related; boundary=\"rel\"\r\n\r\n"
           "--rel\r\nContent-Type: text/html; charset=\"iso-8859-1\"\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
           "<html><head><script>document.location='http://tracker.example/'</script></head>"
           "<body onload=\"track()\"><h2 style=3D\"color:#2f6b2a\">Spring harvest at the "
           "shared garden</h2>\r\n"
           "<p>Dear gardeners,</p><p>the first <b>radishes</b> and <i>lettuces</i> are in. "
           "Here is how the beds did this month:</p>\r\n"
           "<p><img src=3D\"cid:chart@example.fr\" alt=3D\"chart\"></p>\r\n"
           "<table border=3D1 cellpadding=3D4 cellspacing=3D0><tr><th>Bed</th><th>Crop</th>"
           "<th>Kilos</th></tr><tr><td>1</td><td>Radishes</td><td>4.5</td></tr>"
           "<tr><td>2</td><td>Lettuces</td><td>7.0</td></tr><tr><td>3</td><td>Caf=E9 "
           "beans (trial)</td><td>0.2</td></tr></table>\r\n"
           "<p>Photos are on <a href=3D\"https://garden.example.fr/photos\">the garden's "
           "page</a>. See you on Saturday!</p><p>Ren=E9</p>"
           "<img src=3D\"http://tracker.example/pixel.gif\" width=3D1 height=3D1>"
           "</body></html>\r\n"
           "--rel\r\nContent-Type: image/png\r\nContent-ID: <chart@example.fr>\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           ChartPngBase64() +
           "\r\n--rel--\r\n"
           "--mix\r\nContent-Type: application/pdf; name=\"harvest-april.pdf\"\r\n"
           "Content-Transfer-Encoding: "
           "base64\r\n\r\nJVBERi0xLjQKJcfsj6IKMSAwIG9iago8PD4+"
           "CmVuZG9iagp0cmFpbGVyCjw8Pj4KJSVFT0YK\r\n"
           "--mix--\r\n";
}

int MessageShot(QApplication& app, const QString& out) {
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath(QStringLiteral("message.dbx")).toStdString();
    std::vector<dbxw::Message> messages;
    const char* subjects[] = {"Seed swap on Saturday", "Re: Seed swap on Saturday",
                              "Jardin partag\xE9 - the spring harvest", "Watering rota",
                              "Re: Watering rota"};
    for (int n = 0; n < 5; ++n) {
        messages.push_back(Mail(n, subjects[n], n == 2 ? NewsletterMessage() : PlainMessage(n)));
    }
    messages[2].senderName = "Ren\xE9 Lef\xE8vre";
    messages[2].senderAddress = "rene@example.fr";
    messages[2].recipientName = "Alice Martin";
    messages[2].recipientAddress = "alice.martin@example.com";
    messages[2].flags = dbxw::kFlagAttachment;
    if (!dbxw::BuildSimpleMailbox(messages).WriteTo(path)) {
        return 1;
    }
    ShotWindow shot;
    if (!shot.Open(1180, 860, path)) {
        return 1;
    }
    shot.frame.resizeDocks({shot.frame.ViewerBar()}, {560}, Qt::Vertical);
    return GrabWithRowSelected(app, shot.frame, out);
}

int FilterShot(QApplication& app, const QString& out) {
    constexpr int kMessages = 100'000;
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath(QStringLiteral("big.dbx")).toStdString();
    const char* topics[] = {"Invoice",
                            "Meeting notes",
                            "R\xE9union de jeudi",
                            "Pipe leak",
                            "Holiday photos",
                            "Gr\xFC\xDF"
                            "e aus Z\xFCrich",
                            "Weekly report",
                            "Question about the boiler",
                            "Garden party",
                            "Caf\xE9 order"};
    const dbxw::Builder builder = dbxw::SimpleMailboxBuilder(kMessages, [&](std::size_t k) {
        const int n = int(k);
        dbxw::Message m =
            Mail(n, std::string(topics[n % 10]) + " #" + std::to_string(n), PlainMessage(n));
        m.senderName = dbxw::SampleName(std::size_t(n), std::size_t(n / 10));
        m.recipientName = dbxw::SampleName(std::size_t(n / 7), std::size_t(n / 3));
        m.recipientAddress = "team" + std::to_string(n % 13) + "@example.org";
        const int year = 2001 + n % 8;
        const int month = 1 + n % 12;
        const int day = 1 + n % 28;
        m.sent = dbxw::FileTimeFromUtc(year, month, day, n % 24, n % 60);
        m.received = *m.sent + 90 * dbxw::kTicksPerSecond;
        m.text = ListedMessage(m, year, month, day, n % 24, n % 60);
        m.flags = n % 5 == 0 ? dbxw::kFlagAttachment : 0;
        return m;
    });
    if (!builder.Build().WriteTo(path)) {
        return 1;
    }
    ShotWindow shot;
    if (!shot.Open(1180, 760, path)) {
        return 1;
    }
    CQuickFilterBar* bar = shot.frame.FilterBar();
    QElapsedTimer timer;
    timer.start();
    QTest::keyClicks(bar->Field(), QStringLiteral("rene boiler"));
    std::printf("typed 11 keys over %d messages in %lld ms: %s\n", kMessages,
                static_cast<long long>(timer.elapsed()),
                qPrintable(shot.frame.StatusPaneLabel(CMainFrame::PaneCount)->text()));
    shot.frame.EmailList()->selectRow(1);
    int rc = 1;
    QTimer::singleShot(500, [&] {
        rc = shot.frame.grab().save(out) ? 0 : 1;
        app.quit();
    });
    app.exec();
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Korvane Quillbox"));
    RegisterStandardCodecs();
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (mode == QStringLiteral("viewer")) {
        return ViewerShot(app, out);
    }
    if (mode == QStringLiteral("progress")) {
        return ProgressShot(app, out);
    }
    if (mode == QStringLiteral("store")) {
        return StoreShot(app, out);
    }
    if (mode == QStringLiteral("message")) {
        return MessageShot(app, out);
    }
    if (mode == QStringLiteral("filter")) {
        return FilterShot(app, out);
    }
    // Scratch settings: a screenshot leaves the user's own alone.
    ShotWindow shot;
    if (!shot.Open(1180, 760, argv[1])) {
        return 1;
    }
    return GrabWithRowSelected(app, shot.frame, out);
}
