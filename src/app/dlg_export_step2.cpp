#include "app/dlg_export_step2.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "app/wizard_layout.h"
#include "platform/app_settings.h"

CDlgExportStep2::CDlgExportStep2(IUiServices& ui, CAppSettings& settings, QWidget* parent)
    : QDialog(parent),
      m_Ui(ui),
      m_Settings(settings),
      m_View(InitExportStep2(settings, WizardExportFormats())) {
    setObjectName(QStringLiteral("ExportStep2"));
    setWindowTitle(QStringLiteral("Export Emails - Step 2"));
    setModal(true);
    m_nFormat = settings.ReadInt(kConfigSection, kKeyFormat, FormatEml);

    auto* group = new QGroupBox(QStringLiteral("Output format"), this);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(new QLabel(
        QStringLiteral("Select in which format you want to export the emails :"), group));
    m_pList = new QListWidget(group);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const CExportFormatInfo& format : m_View.formats) {
        auto* item = new QListWidgetItem(ToQString(format.listText), m_pList);
        item->setData(Qt::UserRole, format.code);
    }
    if (m_View.selectedIndex >= 0) {
        m_pList->setCurrentRow(m_View.selectedIndex);
    } else {
        m_pList->setCurrentRow(-1);
        m_pList->clearSelection();
    }
    // Every item shows without a scroll bar, and no empty rows below them.
    m_pList->setSpacing(1);
    const int rowHeight = m_pList->sizeHintForRow(0) + 2 * m_pList->spacing();
    m_pList->setFixedHeight(rowHeight * m_pList->count() + 2 * m_pList->frameWidth() + 4);
    groupLayout->addWidget(m_pList);

    m_pNext = new QPushButton(QStringLiteral("Next"), this);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    LayOutWizardStep(*this, group, m_pNext, m_pCancel);

    connect(m_pNext, &QPushButton::clicked, this, &CDlgExportStep2::OnNext);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDlgExportStep2::OnNext() {
    // The current row alone is not a choice: only a selected item is.
    const QList<QListWidgetItem*> selected = m_pList->selectedItems();
    const std::int32_t index = selected.isEmpty() ? -1 : m_pList->row(selected.front());
    if (ExportStep2Next(index, m_Ui, m_Settings, m_nFormat, m_View.formats)) {
        accept();
    }
}
