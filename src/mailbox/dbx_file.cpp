#include "mailbox/dbx_file.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "mailbox/byte_reader.h"
#include "mailbox/index_tree.h"
#include "platform/code_page.h"
#include "platform/diag_log.h"

namespace {

constexpr std::uint32_t kFileInfoLengthOffset = 0x1C;
constexpr std::uint32_t kFolderMarkA = 0x6C;
constexpr std::uint32_t kFolderMarkB = 0x70;
constexpr std::uint32_t kFolderKindOffset = 0x80;
constexpr std::uint32_t kFolderKind = 3;
constexpr std::uint32_t kMessageCountOffset = 0xC4;
constexpr std::uint32_t kRootNodeOffset = 0xE4;

std::string PathForLog(const char16_t* path) {
    return path ? WideToUtf8(path) : std::string();
}

}  // namespace

const char16_t* GetStatusText(std::int32_t status) {
    switch (status) {
        case DbxOk:
            return u"No error.";
        case DbxInvalidName:
            return u"Invalid file name.";
        case DbxCannotOpen:
            return u"Unable to open this file.\nPlease check if the path is correct,\nand if the "
                   u"file is not open by another application.";
        case DbxCannotRead:
            return u"Unable to read this file.\nPlease check if the path is correct,\nand if the "
                   u"file is not open by another application.";
        case DbxFolderFile:
            return u"This file is an Outlook Express folder file. It does not contain any email.";
        case DbxNoEmail:
            return u"This file is empty, and does not contain any email.";
        default:
            return u"Unknown error.";
    }
}

CDBXFile::CDBXFile() : m_Emails(true, 2000, 2000) {}

CDBXFile::~CDBXFile() {
    Close();
}

void CDBXFile::FreeBlocks() {
    m_pHeader.reset();
    m_pFileInfo.reset();
}

void CDBXFile::Close() {
    m_File.CloseFile();
    FreeBlocks();
    m_Emails.RemoveAll();
    m_nDamaged = 0;
    m_nDetectedCodePage = kDefaultMailboxCodePage;
    m_nCodePageOverride = 0;
}

void CDBXFile::SetDetectedCodePage(std::uint32_t codePage) {
    m_nDetectedCodePage = codePage != 0 ? codePage : kDefaultMailboxCodePage;
}

std::uint32_t CDBXFile::HeaderDword(std::uint32_t offset) const {
    if (!m_pHeader) {
        return 0;
    }
    return CByteReader({m_pHeader.get(), kHeaderSize}).U32(offset);
}

bool CDBXFile::IsFolderFile() const {
    if (!m_pHeader) {
        return false;
    }
    return HeaderDword(kFolderKindOffset) == kFolderKind || HeaderDword(kFolderMarkA) != 0 ||
           HeaderDword(kFolderMarkB) != 0;
}

std::uint32_t CDBXFile::GetFileInfoLength() const {
    return HeaderDword(kFileInfoLengthOffset);
}
std::uint32_t CDBXFile::GetMessageCount() const {
    return HeaderDword(kMessageCountOffset);
}
std::uint32_t CDBXFile::GetRootNodeOffset() const {
    return HeaderDword(kRootNodeOffset);
}

std::int32_t CDBXFile::Open(const char16_t* path) {
    // A left-over list would mix two mailboxes; callers close first, but make sure.
    Close();
    if (!path) {
        DiagLog("Invalid file name.");
        return DbxInvalidName;
    }
    if (!m_File.Open(path, CZFile::ModeRead)) {
        DiagLog("Unable to open the file " + PathForLog(path));
        return DbxCannotOpen;
    }
    m_pHeader = std::make_unique<std::uint8_t[]>(kHeaderSize);
    if (!m_File.Read(m_pHeader.get(), kHeaderSize)) {
        DiagLog("Unable to read the header for the file '" + PathForLog(path) +
                "'. File corrupted, or open by another application ?");
        m_pHeader.reset();
        m_File.CloseFile();
        return DbxCannotRead;
    }
    if (IsFolderFile()) {
        DiagLog("The file '" + PathForLog(path) +
                "' is an Outlook Express folder file. It does not contain any email.");
        m_pHeader.reset();
        m_File.CloseFile();
        return DbxFolderFile;
    }
    if (GetFileInfoLength() == kFileInfoSize) {
        m_pFileInfo = std::make_unique<std::uint8_t[]>(kFileInfoSize);
        if (!m_File.Read(m_pFileInfo.get(), kFileInfoSize)) {
            DiagLog("Unable to read the file info header for the file '" + PathForLog(path) +
                    "'. File corrupted, or open by another application ?");
            m_pFileInfo.reset();
        }
    }
    if (GetMessageCount() == 0 || GetRootNodeOffset() == 0) {
        return DbxNoEmail;
    }
    return ReadTreeNode(GetRootNodeOffset()) ? DbxOk : DbxNoEmail;
}

bool CDBXFile::ReadTreeNode(std::uint32_t rootOffset) {
    return WalkIndexTree(
        m_File, rootOffset,
        [this](std::uint32_t record) {
            if (auto entry = BuildEmailEntry(m_File, record)) {
                if (entry->m_nTextOffset != 0 &&
                    std::uint64_t(entry->m_nTextOffset) + 16 > m_File.GetLength()) {
                    ++m_nDamaged;  // its text lies past the end: a copy cut short
                }
                m_Emails.Append(std::move(entry));
            } else {
                ++m_nDamaged;
            }
        },
        &m_nDamaged);
}

bool CDBXFile::ReadMessageText(std::uint32_t offset, std::string& text) {
    return ReadMessageBlocks(offset, text, false);
}

bool CDBXFile::GetMessageHeader(const CEmailDBX* entry, std::string& text) {
    if (entry != nullptr && entry->IsRecovered()) {
        // A recovered chain is read the scan's way; its header is the start of it.
        return ReadRecoveredText(*entry, text);
    }
    return entry != nullptr && ReadMessageBlocks(entry->m_nTextOffset, text, true);
}

bool CDBXFile::ReadMessageBlocks(std::uint32_t offset, std::string& text, bool headerOnly) {
    text.clear();
    if (offset == 0 || !m_File.Seek(offset)) {
        return false;
    }
    std::uint8_t block[kBlockSize];
    const CByteReader reader({block, kBlockSize});
    std::uint32_t expected = offset;
    bool gathered = false;
    // A chain that loops back ends at the first block it would read again. A loop needs a
    // backward step, so the offsets are only looked up once the chain has stepped back.
    std::vector<std::uint32_t> chain;
    std::unordered_set<std::uint32_t> seen;
    std::uint32_t highest = 0;

    for (;;) {
        if (expected <= highest) {
            if (seen.empty()) {
                seen.insert(chain.begin(), chain.end());
            }
            if (!seen.insert(expected).second) {
                break;
            }
        } else {
            highest = expected;
            if (seen.empty()) {
                chain.push_back(expected);
            } else {
                seen.insert(expected);
            }
        }
        if (!m_File.Read(block, kBlockSize)) {
            break;
        }
        if (reader.U32(0) != expected) {
            break;
        }
        // A byte count above the block's room is cut to it.
        const std::uint32_t count = std::min(reader.U32(8), kBlockTextSize);
        if (count > 0) {
            gathered = true;
            const char* bytes = reinterpret_cast<const char*>(block + 16);
            const void* zero = std::memchr(bytes, 0, count);
            if (zero) {
                // The text ends at its first zero byte; nothing after it can be seen.
                text.append(bytes, std::size_t(static_cast<const char*>(zero) - bytes));
                break;
            }
            const std::size_t searchFrom = text.size() < 3 ? 0 : text.size() - 3;
            text.append(bytes, count);
            if (headerOnly && text.find("\r\n\r\n", searchFrom) != std::string::npos) {
                break;
            }
        }
        expected = reader.U32(12);
        if (expected == 0 || !m_File.Seek(expected)) {
            break;
        }
    }
    return gathered;
}

bool CDBXFile::GetMessageText(const CEmailDBX* entry, std::string& text) {
    if (!entry) {
        return false;
    }
    if (entry->IsRecovered()) {
        return ReadRecoveredText(*entry, text);
    }
    return ReadMessageText(entry->m_nTextOffset, text);
}
