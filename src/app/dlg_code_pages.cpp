#include "app/dlg_code_pages.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>

#include "app/about_dialog.h"
#include "app/qt_text.h"
#include "mime/charset_scan.h"

namespace {

// A control rectangle given in dialog units of the dialog's font.
QRect UnitsToPixels(int x, int y, int width, int height, const QFont& font) {
    const QSize origin = CAboutDlg::DialogUnitsToPixels(QSize(x, y), font);
    const QSize size = CAboutDlg::DialogUnitsToPixels(QSize(width, height), font);
    return {QPoint(origin.width(), origin.height()), size};
}

}  // namespace

CDlgCodePages::CDlgCodePages(QWidget* parent)
    : QDialog(parent),
      m_pIntro(new QLabel(QString::fromLatin1(kCodePagesIntro), this)),
      m_pList(new QTreeWidget(this)),
      m_pOk(new QPushButton(QStringLiteral("OK"), this)),
      m_pCancel(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QString::fromLatin1(kCodePagesCaption));
    setModal(true);
    const QFont& f = font();
    m_pIntro->setTextFormat(Qt::PlainText);
    // The text is a little wider than its 248 units in most fonts: let it run on.
    QRect intro = UnitsToPixels(7, 7, 248, 8, f);
    intro.setWidth(std::max(intro.width(), m_pIntro->sizeHint().width()));
    intro.setHeight(std::max(intro.height(), m_pIntro->sizeHint().height()));
    m_pIntro->setGeometry(intro);

    m_pList->setObjectName(QStringLiteral("CodePageList"));
    m_pList->setGeometry(UnitsToPixels(7, 35, 275, 124, f));
    m_pList->setRootIsDecorated(false);
    m_pList->setItemsExpandable(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    m_pOk->setGeometry(UnitsToPixels(90, 178, 50, 14, f));
    m_pOk->setDefault(true);
    m_pCancel->setGeometry(UnitsToPixels(143, 178, 50, 14, f));
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);

    QSize size = CAboutDlg::DialogUnitsToPixels(QSize(289, 199), f);
    size.setWidth(std::max(size.width(), intro.right() + intro.left()));
    setFixedSize(size);
}

void CDlgCodePages::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

bool CDlgCodePages::OnInitDialog() {
    m_bInitialised = true;
    m_pList->clear();
    m_pList->setColumnCount(2);
    m_pList->setHeaderLabels({QStringLiteral("Code Page"), QStringLiteral("Description")});
    m_pList->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pList->header()->setStretchLastSection(false);
    m_pList->setColumnWidth(0, kNameColumnWidth);
    m_pList->setColumnWidth(1, kDescriptionColumnWidth);
    for (const CCharsetReportRow& row : BuildCharsetReport(m_Charsets)) {
        auto* item = new QTreeWidgetItem(m_pList);
        item->setText(0, ToQString(row.m_Name));
        item->setText(1, ToQString(row.m_Description));
    }
    return true;
}
