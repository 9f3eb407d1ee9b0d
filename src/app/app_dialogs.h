// IAppDialogs: the file dialogs and the folder browser that the application's commands
// show. The core never asks for these; the main window and the export wizard do, through
// this interface, so that tests answer them from a script. CQtAppDialogs shows QFileDialog.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

class IAppDialogs {
public:
    virtual ~IAppDialogs() = default;
    // The filter is an MFC filter string ("Name (*.x)|*.x|All Files (*.*)|*.*||").
    // Nothing when the user cancels.
    virtual std::optional<QString> GetOpenFileName(const QString& title, const QString& filter,
                                                   const QString& initialFile) = 0;
    virtual std::optional<QString> GetSaveFileName(const QString& title, const QString& filter,
                                                   const QString& initialFile) = 0;
    virtual std::optional<QString> BrowseForFolder(const QString& title,
                                                   const QString& initialFolder) = 0;
};

// The Qt filters of an MFC filter string, one per name/pattern pair: "Name (*.x)" with the
// patterns of the pair; a "*.*" pattern becomes "*", which Qt reads as every file.
[[nodiscard]] QStringList QtFiltersFromMfc(const QString& mfcFilter);

// Each dialog opens on the folder its field names, else on the last folder chosen in
// this run, else on the home folder.
class CQtAppDialogs final : public IAppDialogs {
public:
    explicit CQtAppDialogs(QWidget* parent = nullptr) : m_pParent(parent) {}
    void SetParentWindow(QWidget* parent) { m_pParent = parent; }

    std::optional<QString> GetOpenFileName(const QString& title, const QString& filter,
                                           const QString& initialFile) override;
    std::optional<QString> GetSaveFileName(const QString& title, const QString& filter,
                                           const QString& initialFile) override;
    std::optional<QString> BrowseForFolder(const QString& title,
                                           const QString& initialFolder) override;

private:
    QWidget* m_pParent;
    QString m_strLastFolder;
};
