#include "app/shell_operations.h"

#include <QDesktopServices>
#include <QUrl>

QString OnlineHelpUrl() {
    return QString::fromLatin1(kMakerSite) + QStringLiteral("lnk_help?s=") +
           QString::fromLatin1(kProductCode) + QStringLiteral("&t=index");
}

QString DonateUrl() {
    return QString::fromLatin1(kMakerSite) + QStringLiteral("donate.php?src=") +
           QString::fromLatin1(kProductCode);
}

QString MailtoLink(const QString& address, const QString& subject) {
    QString link;
    link.reserve(address.size() + subject.size() + 1024);
    link += QStringLiteral("mailto:");
    link += address;
    link += QStringLiteral("?subject=");
    link += subject;
    return link;
}

void OpenInShell(QWidget* /*owner*/, const QString& target) {
    // Tolerant parsing keeps the text as written; the desktop handler gets it encoded.
    QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
}

void ComposeMail(QWidget* owner, const QString& address, const QString& subject) {
    OpenInShell(owner, MailtoLink(address, subject));
}
