// Shared by the reader tests: mailboxes built by the DBX writer into a scratch folder, and
// the usual records and messages.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/indexed_data.h"
#include "mailbox/z_file.h"

class MailboxTest : public ::testing::Test {
protected:
    // Writes the image and returns its path as the reader takes it.
    std::u16string Write(const dbxw::Image& image, std::string_view name = "box.dbx") {
        const std::filesystem::path path = temp.Path(name);
        EXPECT_TRUE(image.WriteTo(path));
        return path.u16string();
    }

    // Builds a file holding only the record and decodes it at its offset.
    bool ReadRecord(const dbxw::Record& record, CIndexedData& data) {
        dbxw::Builder b;
        b.AddRecord(record);
        const dbxw::Image image = b.Build();
        CZFile file;
        if (!file.Open(Write(image, "record.dbx"), CZFile::ModeRead)) {
            ADD_FAILURE() << "cannot open the record file";
            return false;
        }
        return data.Read(file, image.RecordOffset(0));
    }

    // The entry built from a file holding only the record; null when none is built.
    std::unique_ptr<CEmailDBX> EntryOf(const dbxw::Record& record) {
        dbxw::Builder b;
        b.AddRecord(record);
        const dbxw::Image image = b.Build();
        CZFile file;
        if (!file.Open(Write(image, "entry.dbx"), CZFile::ModeRead)) {
            ADD_FAILURE() << "cannot open the entry file";
            return nullptr;
        }
        return BuildEmailEntry(file, image.RecordOffset(0));
    }

    // Opens the image with a fresh reader.
    // Every file that opens cleanly with each of its texts listed must give the rescue
    // scan nothing: a recovered row there would be a false one.
    std::int32_t Open(CDBXFile& dbx, const dbxw::Image& image, std::string_view name = "box.dbx") {
        const std::int32_t status = dbx.Open(Write(image, name));
        if (status == DbxOk && dbx.GetDamageCount() == 0) {
            std::set<std::uint32_t> listed;
            for (const CEmailDBX* entry : dbx.GetEmails().Items()) {
                listed.insert(entry->m_nTextOffset);
            }
            const bool allListed =
                std::all_of(image.textOffsets.begin(), image.textOffsets.end(),
                            [&listed](std::uint32_t t) { return listed.count(t) != 0; });
            std::vector<CRecoveredChain> chains;
            if (allListed && dbx.ScanForChains(chains)) {
                EXPECT_TRUE(chains.empty())
                    << "a healthy file gave " << chains.size()
                    << " recovered chain(s), the first at " << chains.front().m_nHead;
            }
        }
        return status;
    }

    dbxw::TempDir temp;
};

// A record with only the two attributes every entry needs.
inline dbxw::Record MinimalRecord(std::uint32_t id, std::uint32_t flags = 0) {
    dbxw::Record r;
    r.Add(dbxw::Attribute::Direct(dbxw::kAttrId, id))
        .Add(dbxw::Attribute::Direct(dbxw::kAttrFlags, flags));
    return r;
}

// The ids of the entries, in list order.
inline std::vector<std::int32_t> Ids(const CDBXFile& dbx) {
    std::vector<std::int32_t> ids;
    for (const CEmailDBX* e : dbx.GetEmails().Items()) {
        ids.push_back(e->m_Id);
    }
    return ids;
}

inline dbxw::Message TextMessage(std::string subject, std::string text) {
    dbxw::Message m;
    m.subject = std::move(subject);
    m.text = std::move(text);
    return m;
}
