#include "app/app_dialogs.h"

#include <QFileDialog>

#include "app/qt_text.h"
#include "platform/folders.h"

QStringList QtFiltersFromMfc(const QString& mfcFilter) {
    QStringList parts = mfcFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        if (name.isEmpty()) {
            break;  // the "||" that ends the string
        }
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == u"*.*") {
                p = QStringLiteral("*");
            }
        }
        // Qt takes the patterns from the parentheses, so the name's own "(*.x)" is
        // replaced by the pattern list of the pair.
        QString label = name;
        const qsizetype open = label.lastIndexOf(u'(');
        if (open > 0 && label.endsWith(u')')) {
            label = label.left(open).trimmed();
        }
        filters.push_back(label + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return filters;
}

namespace {

// The folder part of a chosen file or folder, remembered for the next dialog of the run.
QString FolderOf(const QString& path, bool isFolder) {
    if (isFolder) {
        return path;
    }
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash + 1) : QString();
}

std::optional<QString> RunFileDialog(QWidget* parent, const QString& title, const QString& filter,
                                     const QString& initialFile, const QString& lastFolder,
                                     QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(QtFiltersFromMfc(filter));
    // Never the process's working folder, which is "/" when started from a desktop menu.
    dialog.setDirectory(ToQString(DialogStartFolder(ToU16(initialFile), ToU16(lastFolder))));
    if (!initialFile.isEmpty()) {
        dialog.selectFile(initialFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

}  // namespace

std::optional<QString> CQtAppDialogs::GetOpenFileName(const QString& title, const QString& filter,
                                                      const QString& initialFile) {
    std::optional<QString> file = RunFileDialog(m_pParent, title, filter, initialFile,
                                                m_strLastFolder, QFileDialog::AcceptOpen);
    if (file) {
        m_strLastFolder = FolderOf(*file, false);
    }
    return file;
}

std::optional<QString> CQtAppDialogs::GetSaveFileName(const QString& title, const QString& filter,
                                                      const QString& initialFile) {
    std::optional<QString> file = RunFileDialog(m_pParent, title, filter, initialFile,
                                                m_strLastFolder, QFileDialog::AcceptSave);
    if (file) {
        m_strLastFolder = FolderOf(*file, false);
    }
    return file;
}

std::optional<QString> CQtAppDialogs::BrowseForFolder(const QString& title,
                                                      const QString& initialFolder) {
    const QString start =
        ToQString(DialogStartFolder(ToU16(initialFolder), ToU16(m_strLastFolder)));
    const QString folder = QFileDialog::getExistingDirectory(m_pParent, title, start);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    m_strLastFolder = FolderOf(folder, true);
    return folder;
}
