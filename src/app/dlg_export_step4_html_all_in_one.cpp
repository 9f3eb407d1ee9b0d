#include "app/dlg_export_step4_html_all_in_one.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QVBoxLayout>

#include "app/app_dialogs.h"
#include "app/wizard_layout.h"
#include "mime/charset.h"

namespace {

QString ToQt(std::u16string_view text) {
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

// The stored indexes come from the settings store, which anyone can edit.
int ClampedIndex(std::int32_t index, int count) {
    return index >= 0 && index < count ? index : 0;
}

}  // namespace

CDlgExportStep4_HtmlAllInOne::CDlgExportStep4_HtmlAllInOne(bool textMode,
                                                           std::u16string_view dbxPath,
                                                           IUiServices& ui, IAppDialogs& dialogs,
                                                           CAppSettings& settings, QWidget* parent)
    : QDialog(parent),
      m_Ui(ui),
      m_Dialogs(dialogs),
      m_Settings(settings),
      m_Options(InitExportStep4(textMode, dbxPath, settings)) {
    setObjectName(QStringLiteral("ExportStep4"));
    setWindowTitle(QStringLiteral("Export Emails - Step 4"));
    setModal(true);

    auto* group = new QGroupBox(QStringLiteral("Options"), this);
    auto* form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    auto* templateRow = new QHBoxLayout;
    m_pTemplate = new QLineEdit(ToQt(m_Options.templatePath), group);
    m_pBrowse = new QPushButton(QStringLiteral(".."), group);
    m_pBrowse->setAutoDefault(false);
    m_pBrowse->setFixedWidth(m_pBrowse->sizeHint().height() + 8);
    templateRow->addWidget(m_pTemplate, 1);
    templateRow->addWidget(m_pBrowse);
    form->addRow(QStringLiteral("Template:"), templateRow);

    m_pTitle = new QLineEdit(ToQt(m_Options.title), group);
    form->addRow(QStringLiteral("Title:"), m_pTitle);

    m_pSortBy = new QComboBox(group);
    m_pSortBy->addItems({QStringLiteral("Do not sort"), QStringLiteral("Sort by date")});
    m_pSortBy->setCurrentIndex(ClampedIndex(m_Options.sortBy, m_pSortBy->count()));
    form->addRow(QStringLiteral("Sort by"), m_pSortBy);

    m_pOrder = new QComboBox(group);
    m_pOrder->addItems({QStringLiteral("Ascending"), QStringLiteral("Descending")});
    m_pOrder->setCurrentIndex(ClampedIndex(m_Options.sortOrder, m_pOrder->count()));
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
    FillCodePages();
    SelectCodePage(m_Options.codePage);
    (m_Options.charsetMode == 0 ? m_pFromTemplate : m_pUseCodePage)->setChecked(true);
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
    return QString::fromUtf16(m_Options.textMode ? kTextTemplateFilter : kHtmlTemplateFilter);
}

void CDlgExportStep4_HtmlAllInOne::FillCodePages() {
    // The table lists a code page once per charset name; the list shows it once, under its
    // first (preferred) name.
    QSet<std::uint32_t> seen;
    for (const CCodePageRow& row : GetCodePageTable()) {
        if (seen.contains(row.m_nCodePage)) {
            continue;
        }
        seen.insert(row.m_nCodePage);
        const QString text =
            QStringLiteral("%1 - %2 (%3)")
                .arg(ToQt(row.m_Description),
                     QString::fromLatin1(row.m_Charset.data(), qsizetype(row.m_Charset.size())))
                .arg(row.m_nCodePage);
        m_pCodePage->addItem(text, QVariant::fromValue(row.m_nCodePage));
    }
}

void CDlgExportStep4_HtmlAllInOne::SelectCodePage(std::uint32_t codePage) {
    int index = m_pCodePage->findData(QVariant::fromValue(codePage));
    if (index < 0) {
        m_pCodePage->insertItem(0, QStringLiteral("Code page %1").arg(codePage),
                                QVariant::fromValue(codePage));
        index = 0;
    }
    m_pCodePage->setCurrentIndex(index);
}

void CDlgExportStep4_HtmlAllInOne::UpdateCharsetControls() {
    m_pCodePage->setEnabled(m_pUseCodePage->isChecked());
}

void CDlgExportStep4_HtmlAllInOne::OnBrowseTemplate() {
    const std::optional<QString> file = m_Dialogs.GetOpenFileName(
        QString::fromLatin1(kTemplateDialogTitle), TemplateFilter(), ToQt(m_Options.templatePath));
    if (file) {
        m_Options.templatePath = file->toStdU16String();
        m_pTemplate->setText(*file);
    }
}

void CDlgExportStep4_HtmlAllInOne::OnNext() {
    // A failed check must not leave a half-resolved code page behind for the next try.
    CExportOptions options = m_Options;
    options.title = m_pTitle->text().toStdU16String();
    options.templatePath = m_pTemplate->text().toStdU16String();
    options.sortBy = m_pSortBy->currentIndex();
    options.sortOrder = m_pOrder->currentIndex();
    options.charsetMode = m_pUseCodePage->isChecked() ? 1 : 0;
    if (options.charsetMode != 0) {
        options.codePage = m_pCodePage->currentData().toUInt();
    }
    const bool accepted = ExportStep4Next(options, m_Ui, m_Settings);
    m_Options.title = options.title;
    m_Options.templatePath = options.templatePath;
    if (!accepted) {
        return;
    }
    m_Options = options;
    accept();
}
