// CDlgExportStep3: the wizard's third step, where the export goes. In file mode the edit
// holds the output file (any path is taken and stored in LastFileOut); in folder mode it
// holds the output folder, which Next normalises, offers to create and checks for being
// empty before storing it in LastFolderOut. Every failed check keeps the step open. The
// folder formats also show whether their files get the messages' dates.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "export/export_wizard.h"

class CAppSettings;
class IAppDialogs;
class IUiServices;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

inline constexpr char kOutputFileDialogTitle[] = "Select the output file";

class CDlgExportStep3 : public QDialog {
    Q_OBJECT
public:
    // The format decides the mode (file or folder) and the file filter; a whole store
    // always goes into a folder.
    CDlgExportStep3(std::int32_t format, IUiServices& ui, IAppDialogs& dialogs,
                    CAppSettings& settings, QWidget* parent = nullptr, bool wholeStore = false);

    [[nodiscard]] bool IsFileMode() const { return m_View.destination == ExportDestination::File; }
    [[nodiscard]] const std::u16string& FilePath() const { return m_strFile; }
    // Ends with '/' once Next has accepted it.
    [[nodiscard]] const std::u16string& FolderPath() const { return m_strFolder; }
    [[nodiscard]] const std::u16string& FileFilter() const { return m_View.fileFilter; }
    // Whether files written per message get the message's date (the check box, or the
    // remembered choice where the format shows no check box).
    [[nodiscard]] bool FileTimes() const { return m_bFileTimes; }
    [[nodiscard]] QCheckBox* FileTimesCheck() const { return m_pFileTimes; }
    [[nodiscard]] bool ThunderbirdLayout() const { return m_bThunderbirdLayout; }
    [[nodiscard]] QCheckBox* ThunderbirdLayoutCheck() const { return m_pThunderbirdLayout; }
    [[nodiscard]] QLabel* PathLabel() const { return m_pLabel; }
    [[nodiscard]] QLineEdit* PathEdit() const { return m_pEdit; }
    [[nodiscard]] QPushButton* BrowseButton() const { return m_pBrowse; }
    [[nodiscard]] QPushButton* NextButton() const { return m_pNext; }
    [[nodiscard]] QPushButton* CancelButton() const { return m_pCancel; }

public slots:
    void OnBrowse();
    void OnNext();

protected:
    void showEvent(QShowEvent* event) override;

private:
    IUiServices& m_Ui;
    IAppDialogs& m_Dialogs;
    CAppSettings& m_Settings;
    CExportStep3View m_View;
    std::u16string m_strFile;
    std::u16string m_strFolder;
    bool m_bFileTimes = true;
    bool m_bThunderbirdLayout = false;
    QLabel* m_pLabel = nullptr;
    QCheckBox* m_pFileTimes = nullptr;
    QCheckBox* m_pThunderbirdLayout = nullptr;
    QLineEdit* m_pEdit = nullptr;
    QPushButton* m_pBrowse = nullptr;
    QPushButton* m_pNext = nullptr;
    QPushButton* m_pCancel = nullptr;
};
