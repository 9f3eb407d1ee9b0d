// CFoldersBar: the dockable "Folders" bar of an open store. It shows the store's folder
// tree as Outlook Express did, with the special folders' icons and each folder's message
// count after its name (the count the file's header gives, until the folder has been
// opened); folders without a file are greyed; unlisted files sit under "Unlisted". It holds
// no folder data of its own: each item knows only the index of its folder in the store.
#pragma once

#include <QDockWidget>
#include <cstdint>

class CDbxStore;
struct CStoreFolder;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

class CFoldersBar final : public QDockWidget {
    Q_OBJECT
public:
    // What an item refers to: a folder of the tree, an unlisted file, or nothing.
    struct FolderRef {
        bool unlisted = false;
        std::int32_t index = -1;  // -1: the "Unlisted" heading
    };

    explicit CFoldersBar(QWidget* parent);

    void ShowStore(const CDbxStore& store);
    void Clear();
    // The count after the folder's name, once the folder has been opened.
    void SetMessageCount(FolderRef ref, std::uint32_t count);
    // Selects the item of the folder (which opens it, as a click would).
    void SelectFolder(FolderRef ref);

    [[nodiscard]] QTreeView* Tree() const { return m_pTree; }
    [[nodiscard]] QStandardItemModel* Model() const { return m_pModel; }
    [[nodiscard]] QStandardItem* ItemOf(FolderRef ref) const;

signals:
    void FolderChosen(CFoldersBar::FolderRef ref);

private:
    static QString ItemText(const CStoreFolder& folder, std::uint32_t count);

    const CDbxStore* m_pStore = nullptr;
    QTreeView* m_pTree = nullptr;
    QStandardItemModel* m_pModel = nullptr;
};

inline constexpr char kFoldersBarTitle[] = "Folders";
inline constexpr char kUnlistedHeading[] = "Unlisted";
