// CDlgExportStep4_HtmlAllInOne: the wizard's last step for the template formats: the
// template, the title, the sort order and the output charset. In HTML mode it works on
// HtmlTemplate, in text mode (the text variant) on TxtTemplate. Next stores the title and
// the template path at once, then checks the template (it must open and, when the charset
// comes from the template, declare one) and stays open on any failure.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "export/export_wizard.h"

class CAppSettings;
class IAppDialogs;
class IUiServices;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

inline constexpr char kTemplateDialogTitle[] = "Select the file to use as a template";

class CDlgExportStep4_HtmlAllInOne : public QDialog {
    Q_OBJECT
public:
    // `dbxPath` gives the default title.
    CDlgExportStep4_HtmlAllInOne(bool textMode, std::u16string_view dbxPath, IUiServices& ui,
                                 IAppDialogs& dialogs, CAppSettings& settings,
                                 QWidget* parent = nullptr);

    // What the export runs with; the code page is the resolved one once Next succeeded.
    [[nodiscard]] const CExportOptions& Options() const { return m_View.options; }
    [[nodiscard]] QString TemplateFilter() const;

    [[nodiscard]] QLineEdit* TemplateEdit() const { return m_pTemplate; }
    [[nodiscard]] QPushButton* TemplateButton() const { return m_pBrowse; }
    [[nodiscard]] QLineEdit* TitleEdit() const { return m_pTitle; }
    [[nodiscard]] QComboBox* SortByList() const { return m_pSortBy; }
    [[nodiscard]] QComboBox* OrderList() const { return m_pOrder; }
    [[nodiscard]] QRadioButton* TemplateCharsetButton() const { return m_pFromTemplate; }
    [[nodiscard]] QRadioButton* CodePageButton() const { return m_pUseCodePage; }
    [[nodiscard]] QComboBox* CodePageList() const { return m_pCodePage; }
    [[nodiscard]] QPushButton* NextButton() const { return m_pNext; }
    [[nodiscard]] QPushButton* CancelButton() const { return m_pCancel; }

    // Selects the code page in the list (added to it when the table lacks it).
    void SelectCodePage(std::uint32_t codePage);

public slots:
    void OnBrowseTemplate();
    void OnNext();

private:
    void UpdateCharsetControls();

    IUiServices& m_Ui;
    IAppDialogs& m_Dialogs;
    CAppSettings& m_Settings;
    CExportStep4View m_View;
    QLineEdit* m_pTemplate = nullptr;
    QPushButton* m_pBrowse = nullptr;
    QLineEdit* m_pTitle = nullptr;
    QComboBox* m_pSortBy = nullptr;
    QComboBox* m_pOrder = nullptr;
    QRadioButton* m_pFromTemplate = nullptr;
    QRadioButton* m_pUseCodePage = nullptr;
    QComboBox* m_pCodePage = nullptr;
    QPushButton* m_pNext = nullptr;
    QPushButton* m_pCancel = nullptr;
};
