#include "app/app_dialogs.h"

#include <QFileDialog>

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

std::optional<QString> RunFileDialog(QWidget* parent, const QString& title, const QString& filter,
                                     const QString& initialFile, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilters(QtFiltersFromMfc(filter));
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
    return RunFileDialog(m_pParent, title, filter, initialFile, QFileDialog::AcceptOpen);
}

std::optional<QString> CQtAppDialogs::GetSaveFileName(const QString& title, const QString& filter,
                                                      const QString& initialFile) {
    return RunFileDialog(m_pParent, title, filter, initialFile, QFileDialog::AcceptSave);
}

std::optional<QString> CQtAppDialogs::BrowseForFolder(const QString& title,
                                                      const QString& initialFolder) {
    const QString folder = QFileDialog::getExistingDirectory(m_pParent, title, initialFolder);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder;
}
