// CDlgExportStep1: the wizard's first step, which emails to export. It shows the two
// choices with their counts (the first one disabled when no row is selected) and, on Next,
// marks the chosen entries m_bSelected for the export.
#pragma once

#include <QDialog>
#include <cstdint>
#include <vector>

#include "export/export_wizard.h"

class CEmailArray;
class QPushButton;
class QRadioButton;

class CDlgExportStep1 : public QDialog {
    Q_OBJECT
public:
    // `rows` are the email list's selected rows. While a store is open a third choice
    // exports all its folders; it is set when the list is empty.
    CDlgExportStep1(CEmailArray& emails, std::vector<std::int32_t> rows, QWidget* parent = nullptr,
                    bool offerStore = false);

    [[nodiscard]] ExportSelectionMode Mode() const { return m_nMode; }
    [[nodiscard]] bool StoreChosen() const { return m_bStore; }
    [[nodiscard]] QRadioButton* StoreButton() const { return m_pStore; }
    [[nodiscard]] QRadioButton* SelectedButton() const { return m_pSelected; }
    [[nodiscard]] QRadioButton* AllButton() const { return m_pAll; }
    [[nodiscard]] QPushButton* NextButton() const { return m_pNext; }
    [[nodiscard]] QPushButton* CancelButton() const { return m_pCancel; }

public slots:
    void OnNext();

private:
    CEmailArray& m_Emails;
    std::vector<std::int32_t> m_Rows;
    ExportSelectionMode m_nMode = SelectionAll;
    QRadioButton* m_pSelected = nullptr;
    QRadioButton* m_pAll = nullptr;
    QRadioButton* m_pStore = nullptr;
    bool m_bStore = false;
    QPushButton* m_pNext = nullptr;
    QPushButton* m_pCancel = nullptr;
};
