#include "app/about_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_icons.h"
#include "app/hyperlink_static.h"
#include "app/shell_operations.h"

QSize CAboutDlg::DialogUnitsToPixels(QSize units, const QFont& font) {
    // A dialog unit is a quarter of the average letter width and an eighth of the height.
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    const int baseY = metrics.height();
    return {units.width() * baseX / 4, units.height() * baseY / 8};
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kAboutCaption));
    setModal(true);

    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* name =
        new QLabel(QStringLiteral("Korvane Quillbox\n") + QString::fromLatin1(kVersionText), this);
    auto* notice = new QLabel(QString::fromLatin1(kMakerNotice), this);
    m_pWebsite = new CHyperlinkStatic(QString::fromLatin1(kMakerSiteText), this);
    m_pWebsite->SetLink(QString::fromLatin1(kMakerSite));
    m_pDonate = new CHyperlinkStatic(
        QString::fromLatin1(kMakerSiteText) + QStringLiteral("/donate.php"), this);
    m_pDonate->SetLink(DonateUrl());

    auto* links = new QGridLayout;
    links->addWidget(new QLabel(QStringLiteral("Website:"), this), 0, 0);
    links->addWidget(m_pWebsite, 0, 1, Qt::AlignLeft);
    links->addWidget(new QLabel(QStringLiteral("Donate:"), this), 1, 0);
    links->addWidget(m_pDonate, 1, 1, Qt::AlignLeft);
    links->setColumnStretch(1, 1);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(notice);
    texts->addLayout(links);
    texts->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    setFixedSize(DialogUnitsToPixels(QSize(235, 140), font()).expandedTo(layout->minimumSize()));
}
