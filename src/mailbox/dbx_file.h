// CDBXFile: one Outlook Express folder file, opened read-only. Open reads the fixed
// header, refuses folder files (which hold no mail), and walks the message index tree from
// its root, turning every message record it points at into an entry of m_Emails, in the
// walk order the list shows until it is sorted. The file stays open afterwards so that
// GetMessageText can gather any message's raw text from its chain of data blocks.
// The file is never written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/z_file.h"
#include "platform/code_page.h"

enum DbxStatus : std::int32_t {
    DbxOk = 1,
    DbxInvalidName = 100,
    DbxCannotOpen = 101,
    DbxCannotRead = 102,
    DbxFolderFile = 103,
    DbxNoEmail = 104,
};

// One message chain that a scan of the whole file found outside the index.
struct CRecoveredChain {
    std::uint32_t m_nHead = 0;  // real file position of the first block
    std::int64_t m_nShift = 0;  // real position minus the offset the blocks store
    std::uint32_t m_nBlockCount = 0;
    RecoveredKind m_Kind = RecoveredKind::Unlisted;
    // An unreferenced record that passes its checks and names the chain; 0 when none.
    std::uint32_t m_nRecordOffset = 0;
};

// Told the bytes scanned so far and the file's length; returns false to stop the scan.
using ScanProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

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
    // Recovered entries read the chain the scan found, freed blocks included.
    bool GetMessageText(const CEmailDBX* entry, std::string& text);
    // The same, stopping at the first block that completes the header (its empty line):
    // the text holds at least the whole header, and maybe the start of the body.
    bool GetMessageHeader(const CEmailDBX* entry, std::string& text);

    // Where the walk met damage: nodes, records and text offsets that failed their
    // checks. Only counted; the walk goes on past them.
    [[nodiscard]] std::uint32_t GetDamageCount() const { return m_nDamaged; }

    // Opens the file for a scan even when Open refuses it for a damaged header (a copy
    // cut at its start can look like anything): the file is then open without a list.
    // Returns Open's status; IsOpen() tells whether there is a file to scan.
    std::int32_t OpenForRecovery(const char16_t* path);

    // One sequential pass over the open file that finds every live and freed block
    // header, links them into chains and returns those the index does not reach, in file
    // order. Memory is a small record per block header, never the texts. False when the
    // file is not open or the progress asked to stop.
    bool ScanForChains(std::vector<CRecoveredChain>& chains, const ScanProgress& progress = {});
    // A new entry for the chain: the record's fields when it has one, otherwise only the
    // recovery marks and the text's place, for the caller to fill from the text.
    [[nodiscard]] std::unique_ptr<CEmailDBX> MakeRecoveredEntry(const CRecoveredChain& chain);

    // What each of a freed block's lost bytes reads as in a recovered text.
    static constexpr char kLostByte = '~';

    [[nodiscard]] CEmailArray& GetEmails() { return m_Emails; }
    [[nodiscard]] const CEmailArray& GetEmails() const { return m_Emails; }
    [[nodiscard]] bool HasHeader() const { return m_pHeader != nullptr; }
    [[nodiscard]] bool HasFileInfo() const { return m_pFileInfo != nullptr; }
    [[nodiscard]] bool IsOpen() const { return m_File.IsOpen(); }
    // Whether the path names the open mailbox file, whatever name it goes by.
    [[nodiscard]] bool IsFile(const std::u16string& path) const {
        return m_File.IsSameFileAs(path.c_str());
    }
    [[nodiscard]] std::uint64_t GetFileLength() const { return m_File.GetLength(); }

    // The ANSI code page of the Windows that wrote the file: every stored 8-bit string
    // (subjects, names, addresses) and every text without a charset of its own is read in
    // it. The user's choice when there is one, else the detected one; Open and Close go
    // back to 1252 with no choice. Detection needs the message decoder, so the layer above
    // runs it (DetectMailboxCodePage) and hands the result in here.
    [[nodiscard]] std::uint32_t GetCodePage() const {
        return m_nCodePageOverride != 0 ? m_nCodePageOverride : m_nDetectedCodePage;
    }
    [[nodiscard]] std::uint32_t GetDetectedCodePage() const { return m_nDetectedCodePage; }
    [[nodiscard]] std::uint32_t GetCodePageOverride() const { return m_nCodePageOverride; }
    void SetDetectedCodePage(std::uint32_t codePage);
    // 0 goes back to the detected code page.
    void SetCodePageOverride(std::uint32_t codePage) { m_nCodePageOverride = codePage; }

private:
    [[nodiscard]] std::uint32_t HeaderDword(std::uint32_t offset) const;
    bool ReadMessageBlocks(std::uint32_t offset, std::string& text, bool headerOnly);
    void FreeBlocks();
    bool ReadRecoveredText(const CEmailDBX& entry, std::string& text);

    CZFile m_File;
    std::unique_ptr<std::uint8_t[]> m_pHeader;
    std::unique_ptr<std::uint8_t[]> m_pFileInfo;
    CEmailArray m_Emails;
    std::uint32_t m_nDamaged = 0;
    std::uint32_t m_nDetectedCodePage = kDefaultMailboxCodePage;
    std::uint32_t m_nCodePageOverride = 0;
};
