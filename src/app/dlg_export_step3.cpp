#include "app/dlg_export_step3.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/app_dialogs.h"
#include "app/main_frame.h"
#include "app/qt_text.h"
#include "app/wizard_layout.h"
#include "platform/folders.h"

CDlgExportStep3::CDlgExportStep3(std::int32_t format, IUiServices& ui, IAppDialogs& dialogs,
                                 CAppSettings& settings, QWidget* parent, bool wholeStore)
    : QDialog(parent),
      m_Ui(ui),
      m_Dialogs(dialogs),
      m_Settings(settings),
      m_View(InitExportStep3(format, settings, wholeStore)) {
    setObjectName(QStringLiteral("ExportStep3"));
    setWindowTitle(QStringLiteral("Export Emails - Step 3"));
    setModal(true);
    m_strFolder = m_View.folderPath;
    m_strFile = m_View.filePath;

    auto* group = new QGroupBox(QStringLiteral("Destination file or folder"), this);
    auto* groupLayout = new QVBoxLayout(group);
    m_pLabel = new QLabel(ToQString(m_View.label), group);
    groupLayout->addWidget(m_pLabel);
    auto* pathRow = new QHBoxLayout;
    m_pEdit = new QLineEdit(ToQString(m_View.path), group);
    m_pLabel->setBuddy(m_pEdit);
    m_pBrowse = new QPushButton(QStringLiteral("Browse"), group);
    m_pBrowse->setAutoDefault(false);
    pathRow->addWidget(m_pEdit, 1);
    pathRow->addWidget(m_pBrowse);
    groupLayout->addLayout(pathRow);
    m_bFileTimes = m_View.fileTimes;
    if (m_View.showFileTimes) {
        m_pFileTimes = new QCheckBox(ToQString(kFileTimesCheckText), group);
        m_pFileTimes->setChecked(m_View.fileTimes);
        groupLayout->addWidget(m_pFileTimes);
    }
    m_bThunderbirdLayout = m_View.thunderbirdLayout;
    if (m_View.showThunderbirdLayout) {
        m_pThunderbirdLayout = new QCheckBox(ToQString(kThunderbirdLayoutCheckText), group);
        m_pThunderbirdLayout->setChecked(m_View.thunderbirdLayout);
        groupLayout->addWidget(m_pThunderbirdLayout);
    }

    m_pNext = new QPushButton(QStringLiteral("Next"), this);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    LayOutWizardStep(*this, group, m_pNext, m_pCancel);

    connect(m_pBrowse, &QPushButton::clicked, this, &CDlgExportStep3::OnBrowse);
    connect(m_pNext, &QPushButton::clicked, this, &CDlgExportStep3::OnNext);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDlgExportStep3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_pEdit->setFocus();
}

void CDlgExportStep3::OnBrowse() {
    // The dialogs open where the field points now, typed or not.
    const std::u16string typed = ToU16(m_pEdit->text());
    if (IsFileMode()) {
        const std::optional<QString> file = m_Dialogs.GetSaveFileName(
            QString::fromLatin1(kOutputFileDialogTitle), ToQString(m_View.fileFilter),
            ToQString(IsBlankPath(typed) ? std::u16string() : typed));
        if (file) {
            m_strFile = ToU16(*file);
            m_pEdit->setText(*file);
        }
        return;
    }
    const std::optional<QString> folder = m_Dialogs.BrowseForFolder(
        QString::fromLatin1(kChooseFolderTitle),
        ToQString(IsBlankPath(typed) ? std::u16string() : NormalizeOutputFolder(typed)));
    if (folder && !folder->isEmpty()) {
        m_strFolder = ToU16(*folder);
        if (m_strFolder.back() != u'/') {
            m_strFolder += u'/';
        }
        m_pEdit->setText(ToQString(m_strFolder));
    }
}

void CDlgExportStep3::OnNext() {
    const std::u16string typed = ToU16(m_pEdit->text());
    if (m_pFileTimes != nullptr) {
        m_bFileTimes = m_pFileTimes->isChecked();
    }
    if (m_pThunderbirdLayout != nullptr) {
        m_bThunderbirdLayout = m_pThunderbirdLayout->isChecked();
    }
    if (IsFileMode()) {
        m_strFile = typed;
        if (!ExportStep3NextFile(m_strFile, m_Ui, m_Settings)) {
            m_pEdit->setFocus();
            return;
        }
        accept();
        return;
    }
    // The typed folder is the current one from now on, also for Browse after a failed check.
    m_strFolder = NormalizeOutputFolder(typed);
    if (!ExportStep3NextFolder(typed, m_Ui, m_Settings, m_strFolder)) {
        m_pEdit->setFocus();
        return;
    }
    ExportStep3StoreFileTimes(m_bFileTimes, m_Settings);
    if (m_pThunderbirdLayout != nullptr) {
        ExportStep3StoreThunderbirdLayout(m_bThunderbirdLayout, m_Settings);
    }
    accept();
}
