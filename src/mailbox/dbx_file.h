// CDBXFile: one Outlook Express folder file, opened read-only. Open reads the fixed
// header, refuses folder files (which hold no mail), and walks the message index tree from
// its root, turning every message record it points at into an entry of m_Emails, in the
// walk order the list shows until it is sorted. The file stays open afterwards so that
// GetMessageText can gather any message's raw text from its chain of data blocks.
// The file is never written.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/z_file.h"

enum DbxStatus : std::int32_t {
    DbxOk = 1,
    DbxInvalidName = 100,
    DbxCannotOpen = 101,
    DbxCannotRead = 102,
    DbxFolderFile = 103,
    DbxNoEmail = 104,
};

// The text the user sees for an Open status.
[[nodiscard]] const char16_t* GetStatusText(std::int32_t status);

class CDBXFile {
public:
    static constexpr std::uint32_t kHeaderSize = 9404;
    static constexpr std::uint32_t kFileInfoSize = 1560;
    static constexpr std::uint32_t kNodeSize = 636;
    static constexpr std::uint32_t kNodeEntries = 51;
    static constexpr std::uint32_t kBlockSize = 528;
    static constexpr std::uint32_t kBlockTextSize = 512;

    CDBXFile();
    CDBXFile(const CDBXFile&) = delete;
    CDBXFile& operator=(const CDBXFile&) = delete;
    virtual ~CDBXFile();

    // A null path gives DbxInvalidName; an empty one DbxCannotOpen.
    std::int32_t Open(const char16_t* path);
    std::int32_t Open(const std::u16string& path) { return Open(path.c_str()); }
    void Close();

    [[nodiscard]] bool IsFolderFile() const;
    [[nodiscard]] std::uint32_t GetFileInfoLength() const;
    [[nodiscard]] std::uint32_t GetMessageCount() const;
    [[nodiscard]] std::uint32_t GetRootNodeOffset() const;

    // Reads the node at the offset and everything below it; false when that node itself
    // cannot be read or fails its self-offset check.
    bool ReadTreeNode(std::uint32_t offset);
    // Gathers the raw text starting at the block at the offset, up to its first zero
    // byte. False when not a single byte could be gathered.
    bool ReadMessageText(std::uint32_t offset, std::string& text);
    bool GetMessageText(const CEmailDBX* entry, std::string& text);

    [[nodiscard]] CEmailArray& GetEmails() { return m_Emails; }
    [[nodiscard]] const CEmailArray& GetEmails() const { return m_Emails; }
    [[nodiscard]] bool HasHeader() const { return m_pHeader != nullptr; }
    [[nodiscard]] bool HasFileInfo() const { return m_pFileInfo != nullptr; }
    [[nodiscard]] bool IsOpen() const { return m_File.IsOpen(); }

private:
    [[nodiscard]] std::uint32_t HeaderDword(std::uint32_t offset) const;
    void FreeBlocks();

    CZFile m_File;
    std::unique_ptr<std::uint8_t[]> m_pHeader;
    std::unique_ptr<std::uint8_t[]> m_pFileInfo;
    CEmailArray m_Emails;
};
