// CDlgExportStep2: the wizard's second step, the output format. The list shows the
// formats in their fixed order with the remembered one selected; Next stores the choice in
// Format, or asks for one and stays open when nothing is selected.
#pragma once

#include <QDialog>
#include <cstdint>

#include "export/export_wizard.h"

class CAppSettings;
class IUiServices;
class QListWidget;
class QPushButton;

class CDlgExportStep2 : public QDialog {
    Q_OBJECT
public:
    CDlgExportStep2(IUiServices& ui, CAppSettings& settings, QWidget* parent = nullptr);

    // The chosen format code (the remembered one until Next succeeds).
    [[nodiscard]] std::int32_t Format() const { return m_nFormat; }
    [[nodiscard]] QListWidget* FormatList() const { return m_pList; }
    [[nodiscard]] QPushButton* NextButton() const { return m_pNext; }
    [[nodiscard]] QPushButton* CancelButton() const { return m_pCancel; }

public slots:
    void OnNext();

private:
    IUiServices& m_Ui;
    CAppSettings& m_Settings;
    CExportStep2View m_View;
    std::int32_t m_nFormat = FormatEml;
    QListWidget* m_pList = nullptr;
    QPushButton* m_pNext = nullptr;
    QPushButton* m_pCancel = nullptr;
};
