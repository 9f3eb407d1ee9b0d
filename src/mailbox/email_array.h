// CEmailArray: an ordered array of entry pointers whose index is the row of a list.
// It keeps the grow-by, capacity and last-index bookkeeping of the lists it stands for:
// appending to a full array adds grow-by slots. The mailbox list owns its entries
// (RemoveAll destroys them); the temporary lists of threads, duplicate tools and exports
// borrow them and are emptied with ReleaseAll.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class CEmailDBX;

class CEmailArray {
public:
    explicit CEmailArray(bool ownsEntries, std::int32_t capacity = 0, std::int32_t growBy = 2000);
    CEmailArray(const CEmailArray&) = delete;
    CEmailArray& operator=(const CEmailArray&) = delete;
    ~CEmailArray();

    [[nodiscard]] std::int32_t GetCount() const { return m_nLast + 1; }
    [[nodiscard]] std::int32_t GetLastIndex() const { return m_nLast; }
    [[nodiscard]] std::int32_t GetCapacity() const { return std::int32_t(m_Items.size()); }
    [[nodiscard]] std::int32_t GetGrowBy() const { return m_nGrowBy; }
    [[nodiscard]] bool OwnsEntries() const { return m_bOwnsEntries; }

    // Null for an index outside the capacity (and for an unused slot).
    [[nodiscard]] CEmailDBX* Get(std::int32_t index) const;
    [[nodiscard]] CEmailDBX* operator[](std::int32_t index) const { return Get(index); }

    // Borrowing arrays take a pointer; the owning array takes the entry itself.
    void Append(CEmailDBX* entry);
    void Append(std::unique_ptr<CEmailDBX> entry);

    void SetCapacity(std::int32_t capacity, std::int32_t growBy);
    // Destroys the entries when the array owns them, and frees the slots.
    void RemoveAll();
    // Forgets the entries without destroying them.
    void ReleaseAll();

    // The used slots, for sorting in place.
    [[nodiscard]] std::span<CEmailDBX*> Items() {
        return {m_Items.data(), std::size_t(GetCount())};
    }
    [[nodiscard]] std::span<CEmailDBX* const> Items() const {
        return {m_Items.data(), std::size_t(GetCount())};
    }

private:
    bool m_bOwnsEntries;
    std::int32_t m_nGrowBy;
    std::int32_t m_nLast = -1;
    std::vector<CEmailDBX*> m_Items;  // size() is the capacity
};
