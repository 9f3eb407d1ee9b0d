// Mailboxes built in memory for the analysis tests: an owning list of entries whose
// fields are set directly, the way the reader would leave them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mailbox/crc32.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"

namespace fixture {

inline void SetMessageId(CEmailDBX& e, const std::string& id) {
    e.m_MessageId = id;
    e.m_bHasMessageId = true;
    e.m_nMessageIdCrc = Crc32(id);
}

inline void SetInReplyTo(CEmailDBX& e, const std::string& text) {
    e.m_InReplyTo = text;
    e.m_nInReplyToCrc = Crc32(text);
}

// An owning list, as the open mailbox holds its entries.
class Mailbox {
public:
    Mailbox() : m_Emails(true, 2000, 2000) {}

    CEmailDBX& Add(std::int32_t id) {
        auto entry = std::make_unique<CEmailDBX>();
        entry->m_Id = id;
        CEmailDBX& ref = *entry;
        m_Emails.Append(std::move(entry));
        return ref;
    }
    // An entry with a message identifier and, unless empty, an In-Reply-To text.
    CEmailDBX& Add(std::int32_t id, const std::string& messageId,
                   const std::string& inReplyTo = {}) {
        CEmailDBX& e = Add(id);
        if (!messageId.empty()) {
            SetMessageId(e, messageId);
        }
        if (!inReplyTo.empty()) {
            SetInReplyTo(e, inReplyTo);
        }
        return e;
    }

    CEmailArray& List() { return m_Emails; }
    [[nodiscard]] CEmailDBX* operator[](std::int32_t row) const { return m_Emails.Get(row); }
    [[nodiscard]] std::int32_t Count() const { return m_Emails.GetCount(); }

    // The identifiers (m_Id) in list order.
    [[nodiscard]] std::vector<std::int32_t> Ids() const {
        std::vector<std::int32_t> ids;
        for (const CEmailDBX* e : m_Emails.Items()) {
            ids.push_back(e->m_Id);
        }
        return ids;
    }

private:
    CEmailArray m_Emails;
};

}  // namespace fixture
