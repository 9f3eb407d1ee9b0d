#include "app/dlg_export_step1.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "app/wizard_layout.h"
#include "mailbox/email_array.h"

CDlgExportStep1::CDlgExportStep1(CEmailArray& emails, std::vector<std::int32_t> rows,
                                 QWidget* parent, bool offerStore)
    : QDialog(parent), m_Emails(emails), m_Rows(std::move(rows)) {
    setObjectName(QStringLiteral("ExportStep1"));
    setWindowTitle(QStringLiteral("Export Emails - Step 1"));
    setModal(true);

    const CExportStep1View view = InitExportStep1(m_Emails.GetCount(), m_Rows.size());
    m_nMode = view.mode;

    auto* group = new QGroupBox(QStringLiteral("Selection"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(
        new QLabel(QStringLiteral("First, select which emails you want to export:"), group));
    m_pSelected = new QRadioButton(ToQString(view.selectedText), group);
    m_pAll = new QRadioButton(ToQString(view.allText), group);
    m_pSelected->setEnabled(view.selectedEnabled);
    (view.mode == SelectionRows ? m_pSelected : m_pAll)->setChecked(true);
    groupLayout->addWidget(m_pSelected);
    groupLayout->addWidget(m_pAll);
    if (offerStore) {
        m_pStore = new QRadioButton(QStringLiteral("All folders of the store"), group);
        groupLayout->addWidget(m_pStore);
        if (m_Emails.GetCount() == 0) {
            m_pStore->setChecked(true);
        }
    }

    m_pNext = new QPushButton(QStringLiteral("Next"), this);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    LayOutWizardStep(*this, group, m_pNext, m_pCancel);

    connect(m_pNext, &QPushButton::clicked, this, &CDlgExportStep1::OnNext);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDlgExportStep1::OnNext() {
    m_bStore = m_pStore != nullptr && m_pStore->isChecked();
    if (m_bStore) {
        accept();  // the folders' entries are marked as each one is exported
        return;
    }
    m_nMode = m_pSelected->isChecked() ? SelectionRows : SelectionAll;
    ExportStep1Next(m_Emails, m_nMode, m_Rows);
    accept();
}
