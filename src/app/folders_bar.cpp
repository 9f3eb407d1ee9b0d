#include "app/folders_bar.h"

#include <QApplication>
#include <QHeaderView>
#include <QPalette>
#include <QStandardItemModel>
#include <QTreeView>
#include <vector>

#include "app/app_icons.h"
#include "app/qt_text.h"
#include "store/dbx_store.h"

namespace {

constexpr int kUnlistedRole = Qt::UserRole + 1;
constexpr int kIndexRole = Qt::UserRole + 2;

QString FolderIconResource(StoreFolderKind kind) {
    switch (kind) {
        case StoreFolderKind::Root:
        case StoreFolderKind::Account:
            return QStringLiteral(":/quillbox/folder_store.svg");
        case StoreFolderKind::Inbox:
            return QStringLiteral(":/quillbox/folder_inbox.svg");
        case StoreFolderKind::Outbox:
            return QStringLiteral(":/quillbox/folder_outbox.svg");
        case StoreFolderKind::Sent:
            return QStringLiteral(":/quillbox/folder_sent.svg");
        case StoreFolderKind::Deleted:
            return QStringLiteral(":/quillbox/folder_deleted.svg");
        case StoreFolderKind::Drafts:
            return QStringLiteral(":/quillbox/folder_drafts.svg");
        case StoreFolderKind::News:
            return QStringLiteral(":/quillbox/folder_news.svg");
        case StoreFolderKind::Folder:
            break;
    }
    return QStringLiteral(":/quillbox/folder.svg");
}

QStandardItem* MakeItem(const QString& text, const QIcon& icon, bool unlisted, int index) {
    auto* item = new QStandardItem(icon, text);
    item->setEditable(false);
    item->setData(unlisted, kUnlistedRole);
    item->setData(index, kIndexRole);
    return item;
}

}  // namespace

CFoldersBar::CFoldersBar(QWidget* parent)
    : QDockWidget(QString::fromLatin1(kFoldersBarTitle), parent) {
    setObjectName(QStringLiteral("FoldersBar"));
    setAllowedAreas(Qt::AllDockWidgetAreas);
    m_pModel = new QStandardItemModel(this);
    m_pTree = new QTreeView(this);
    m_pTree->setObjectName(QStringLiteral("FoldersTree"));
    m_pTree->setModel(m_pModel);
    m_pTree->setHeaderHidden(true);
    m_pTree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTree->setUniformRowHeights(true);
    setWidget(m_pTree);
    connect(
        m_pTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) {
            const QStandardItem* item = m_pModel->itemFromIndex(current);
            if (item == nullptr) {
                return;
            }
            emit FolderChosen({item->data(kUnlistedRole).toBool(), item->data(kIndexRole).toInt()});
        });
}

QString CFoldersBar::ItemText(const CStoreFolder& folder, std::uint32_t count) {
    QString text = ToQString(folder.m_strName);
    if (folder.m_FileState == StoreFileState::Present) {
        text += QStringLiteral(" (%1)").arg(count);
    }
    return text;
}

void CFoldersBar::Clear() {
    m_pStore = nullptr;
    m_pModel->clear();
}

void CFoldersBar::ShowStore(const CDbxStore& store) {
    const QSignalBlocker blocker(m_pTree->selectionModel());
    m_pModel->clear();
    m_pStore = &store;
    const QBrush grey = QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    const auto& folders = store.Folders();
    std::vector<QStandardItem*> items(folders.size(), nullptr);
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const CStoreFolder& folder = folders[i];
        QStandardItem* item =
            MakeItem(ItemText(folder, folder.m_nHeaderCount),
                     SvgIcon(FolderIconResource(folder.m_Kind), {16, 32}), false, int(i));
        const bool container =
            folder.m_Kind == StoreFolderKind::Root || folder.m_Kind == StoreFolderKind::Account;
        if (folder.m_FileState == StoreFileState::None && !container) {
            item->setForeground(grey);
        }
        items[i] = item;
        if (folder.m_nParent < 0) {
            m_pModel->appendRow(item);
        } else {
            items[std::size_t(folder.m_nParent)]->appendRow(item);
        }
    }
    if (!store.Unlisted().empty()) {
        QStandardItem* heading =
            MakeItem(QString::fromLatin1(kUnlistedHeading),
                     SvgIcon(QStringLiteral(":/quillbox/folder.svg"), {16, 32}), true, -1);
        heading->setForeground(grey);
        for (std::size_t i = 0; i < store.Unlisted().size(); ++i) {
            const CStoreFolder& folder = store.Unlisted()[i];
            heading->appendRow(MakeItem(ItemText(folder, folder.m_nHeaderCount),
                                        SvgIcon(QStringLiteral(":/quillbox/folder.svg"), {16, 32}),
                                        true, int(i)));
        }
        m_pModel->appendRow(heading);
    }
    m_pTree->expandAll();
}

QStandardItem* CFoldersBar::ItemOf(FolderRef ref) const {
    // Breadth over the few hundred items a store has at most.
    std::vector<QStandardItem*> pending{m_pModel->invisibleRootItem()};
    while (!pending.empty()) {
        QStandardItem* item = pending.back();
        pending.pop_back();
        if (item != m_pModel->invisibleRootItem() &&
            item->data(kUnlistedRole).toBool() == ref.unlisted &&
            item->data(kIndexRole).toInt() == ref.index) {
            return item;
        }
        for (int r = 0; r < item->rowCount(); ++r) {
            pending.push_back(item->child(r));
        }
    }
    return nullptr;
}

void CFoldersBar::SetMessageCount(FolderRef ref, std::uint32_t count) {
    if (m_pStore == nullptr || ref.index < 0) {
        return;
    }
    const auto& list = ref.unlisted ? m_pStore->Unlisted() : m_pStore->Folders();
    if (std::size_t(ref.index) >= list.size()) {
        return;
    }
    if (QStandardItem* item = ItemOf(ref)) {
        item->setText(ItemText(list[std::size_t(ref.index)], count));
    }
}

void CFoldersBar::SelectFolder(FolderRef ref) {
    if (QStandardItem* item = ItemOf(ref)) {
        m_pTree->setCurrentIndex(item->index());
    }
}
