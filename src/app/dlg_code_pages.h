// CDlgCodePages: the modal "Code Pages" dialog of Detect Encoding. It holds the charset
// names the scan found (m_Charsets, filled before the dialog opens) and a two-column
// report list (control 1004) built from them when the dialog first shows: the name as
// found and the code page table's description, rows sorted ascending by name. OK and
// Cancel both just close it.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

inline constexpr char kCodePagesCaption[] = "Code Pages";
inline constexpr char kCodePagesIntro[] =
    "The following encoding code pages have been detected into your messages :";

class CDlgCodePages final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kNameColumnWidth = 120;
    static constexpr int kDescriptionColumnWidth = 200;

    explicit CDlgCodePages(QWidget* parent = nullptr);

    // Builds the columns and rows from m_Charsets; done once, as the dialog first shows.
    bool OnInitDialog();

    [[nodiscard]] QTreeWidget* List() const { return m_pList; }
    [[nodiscard]] QLabel* Intro() const { return m_pIntro; }
    [[nodiscard]] QPushButton* OkButton() const { return m_pOk; }
    [[nodiscard]] QPushButton* CancelButton() const { return m_pCancel; }

    std::vector<std::u16string> m_Charsets;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_pIntro;
    QTreeWidget* m_pList;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;
    bool m_bInitialised = false;
};
