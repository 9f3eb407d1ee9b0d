#include "app/dlg_export_step4_html_all_in_one.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/app_dialogs.h"
#include "app/qt_text.h"
#include "app/wizard_layout.h"

CDlgExportStep4_HtmlAllInOne::CDlgExportStep4_HtmlAllInOne(bool textMode,
                                                           std::u16string_view dbxPath,
                                                           IUiServices& ui, IAppDialogs& dialogs,
                                                           CAppSettings& settings, QWidget* parent)
    : QDialog(parent),
      m_Ui(ui),
      m_Dialogs(dialogs),
      m_Settings(settings),
      m_View(InitExportStep4View(textMode, dbxPath, settings)) {
    setObjectName(QStringLiteral("ExportStep4"));
    setWindowTitle(QStringLiteral("Export Emails - Step 4"));
    setModal(true);

    auto* group = new QGroupBox(QStringLiteral("Options"), this);
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    auto* templateRow = new QHBoxLayout;
    m_pTemplate = new QLineEdit(ToQString(m_View.options.templatePath), group);
    m_pBrowse = new QPushButton(QStringLiteral(".."), group);
    m_pBrowse->setAutoDefault(false);
    m_pBrowse->setFixedWidth(m_pBrowse->sizeHint().height() + 8);
    templateRow->addWidget(m_pTemplate, 1);
    templateRow->addWidget(m_pBrowse);
    form->addRow(QStringLiteral("Template:"), templateRow);

    m_pTitle = new QLineEdit(ToQString(m_View.options.title), group);
    form->addRow(QStringLiteral("Title:"), m_pTitle);

    m_pSortBy = new QComboBox(group);
    m_pSortBy->addItems({QStringLiteral("Do not sort"), QStringLiteral("Sort by date")});
    m_pSortBy->setCurrentIndex(m_View.sortByIndex);
    form->addRow(QStringLiteral("Sort by"), m_pSortBy);

    m_pOrder = new QComboBox(group);
    m_pOrder->addItems({QStringLiteral("Ascending"), QStringLiteral("Descending")});
    m_pOrder->setCurrentIndex(m_View.orderIndex);
    form->addRow(QStringLiteral("Order"), m_pOrder);

    // Without a charset declaration in the template, the export needs a code page named
    // here.
    auto* charsetBox = new QVBoxLayout;
    m_pFromTemplate = new QRadioButton(QStringLiteral("From the template"), group);
    auto* codePageRow = new QHBoxLayout;
    m_pUseCodePage = new QRadioButton(QStringLiteral("Code page:"), group);
    m_pCodePage = new QComboBox(group);
    // Wide enough that the chosen code page is never cut.
    m_pCodePage->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    codePageRow->addWidget(m_pUseCodePage);
    codePageRow->addWidget(m_pCodePage, 1);
    charsetBox->addWidget(m_pFromTemplate);
    charsetBox->addLayout(codePageRow);
    auto* charsetGroup = new QButtonGroup(this);
    charsetGroup->addButton(m_pFromTemplate);
    charsetGroup->addButton(m_pUseCodePage);
    form->addRow(QStringLiteral("Charset:"), charsetBox);
    for (const CCodePageChoice& choice : m_View.codePages) {
        m_pCodePage->addItem(ToQString(choice.text), QVariant::fromValue(choice.codePage));
    }
    m_pCodePage->setCurrentIndex(m_View.codePageIndex);
    (m_View.options.charsetMode == 0 ? m_pFromTemplate : m_pUseCodePage)->setChecked(true);
    UpdateCharsetControls();

    m_pNext = new QPushButton(QStringLiteral("Next"), this);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    LayOutWizardStep(*this, group, m_pNext, m_pCancel);

    connect(m_pBrowse, &QPushButton::clicked, this,
            &CDlgExportStep4_HtmlAllInOne::OnBrowseTemplate);
    connect(m_pUseCodePage, &QRadioButton::toggled, this,
            &CDlgExportStep4_HtmlAllInOne::UpdateCharsetControls);
    connect(m_pNext, &QPushButton::clicked, this, &CDlgExportStep4_HtmlAllInOne::OnNext);
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString CDlgExportStep4_HtmlAllInOne::TemplateFilter() const {
    return ToQString(m_View.templateFilter);
}

void CDlgExportStep4_HtmlAllInOne::SelectCodePage(std::uint32_t codePage) {
    const std::size_t before = m_View.codePages.size();
    const std::int32_t index = SelectCodePageChoice(m_View.codePages, codePage);
    if (m_View.codePages.size() != before) {
        m_pCodePage->insertItem(0, ToQString(m_View.codePages.front().text),
                                QVariant::fromValue(codePage));
    }
    m_pCodePage->setCurrentIndex(index);
}

void CDlgExportStep4_HtmlAllInOne::UpdateCharsetControls() {
    m_pCodePage->setEnabled(m_pUseCodePage->isChecked());
}

void CDlgExportStep4_HtmlAllInOne::OnBrowseTemplate() {
    const std::optional<QString> file =
        m_Dialogs.GetOpenFileName(QString::fromLatin1(kTemplateDialogTitle), TemplateFilter(),
                                  ToQString(m_View.options.templatePath));
    if (file) {
        m_View.options.templatePath = ToU16(*file);
        m_pTemplate->setText(*file);
    }
}

void CDlgExportStep4_HtmlAllInOne::OnNext() {
    // A failed check must not leave a half-resolved code page behind for the next try.
    CExportOptions options = m_View.options;
    options.title = ToU16(m_pTitle->text());
    options.templatePath = ToU16(m_pTemplate->text());
    options.sortBy = m_pSortBy->currentIndex();
    options.sortOrder = m_pOrder->currentIndex();
    options.charsetMode = m_pUseCodePage->isChecked() ? 1 : 0;
    if (options.charsetMode != 0) {
        options.codePage = m_pCodePage->currentData().toUInt();
    }
    const bool accepted = ExportStep4Next(options, m_Ui, m_Settings);
    m_View.options.title = options.title;
    m_View.options.templatePath = options.templatePath;
    if (!accepted) {
        return;
    }
    m_View.options = options;
    accept();
}
