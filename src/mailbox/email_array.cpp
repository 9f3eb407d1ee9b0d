#include "mailbox/email_array.h"

#include <algorithm>

#include "mailbox/email.h"

CEmailArray::CEmailArray(bool ownsEntries, std::int32_t capacity, std::int32_t growBy)
    : m_bOwnsEntries(ownsEntries), m_nGrowBy(growBy > 0 ? growBy : 1) {
    if (capacity > 0) {
        m_Items.resize(std::size_t(capacity), nullptr);
    }
}

CEmailArray::~CEmailArray() {
    RemoveAll();
}

CEmailDBX* CEmailArray::Get(std::int32_t index) const {
    if (index < 0 || index >= GetCapacity()) {
        return nullptr;
    }
    return m_Items[std::size_t(index)];
}

void CEmailArray::Append(CEmailDBX* entry) {
    if (GetCount() >= GetCapacity()) {
        // The vector itself grows geometrically; the visible capacity steps by grow-by.
        m_Items.resize(m_Items.size() + std::size_t(m_nGrowBy), nullptr);
    }
    m_Items[std::size_t(++m_nLast)] = entry;
}

void CEmailArray::Append(std::unique_ptr<CEmailDBX> entry) {
    Append(entry.release());
}

void CEmailArray::SetCapacity(std::int32_t capacity, std::int32_t growBy) {
    m_nGrowBy = growBy > 0 ? growBy : 1;
    if (capacity > GetCapacity()) {
        m_Items.resize(std::size_t(capacity), nullptr);
    }
}

void CEmailArray::RemoveAll() {
    if (m_bOwnsEntries) {
        for (std::int32_t i = 0; i <= m_nLast; ++i) {
            // The one place entries are destroyed: the owning list holds them as plain
            // pointers so that borrowing lists and sorting share one element type.
            delete m_Items[std::size_t(i)];
        }
    }
    ReleaseAll();
}

void CEmailArray::ReleaseAll() {
    m_Items.clear();
    m_Items.shrink_to_fit();
    m_nLast = -1;
}
