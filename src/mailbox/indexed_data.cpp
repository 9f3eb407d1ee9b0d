#include "mailbox/indexed_data.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "mailbox/byte_reader.h"
#include "mailbox/hyper_string.h"
#include "mailbox/z_file.h"
#include "platform/diag_log.h"
#include "platform/text.h"

static_assert(std::endian::native == std::endian::little,
              "direct values are handed out as the bytes of a stored word");

namespace {

constexpr std::uint32_t kRecordHeaderSize = 12;

// Stands in for the bytes of a value whose implied length is negative: such a value is
// present but holds nothing.
constexpr std::uint8_t kNoBytes[1] = {0};

}  // namespace

void CIndexedData::Reset() {
    m_pBody.clear();
    m_nSlots = 0;
    m_bDirect.fill(0);
    m_nValue.fill(0);
    m_nLength.fill(0);
}

// The header's words; false unless it names its own offset. Sets the slot count and the
// number of body words (0 when there is no body worth reading).
bool CIndexedData::TakeHeader(const std::uint8_t* header, std::uint32_t offset,
                              std::int32_t& words) {
    const CByteReader reader({header, kRecordHeaderSize});
    for (std::size_t i = 0; i < 3; ++i) {
        m_Header[i] = reader.U32(4 * i);
    }
    if (m_Header[0] != offset) {
        DiagLogF("IndexedData corrupted at offset %lu (m_Header[0] is different (%lu)",
                 static_cast<unsigned long>(offset), static_cast<unsigned long>(m_Header[0]));
        return false;
    }
    m_nSlots = (m_Header[2] >> 16) & 0xFF;
    words = std::int32_t((std::int64_t(std::int32_t(m_Header[1])) + 3) / 4);
    if (words <= 0 || words >= kMaxBodyWords) {
        words = 0;
    }
    return true;
}

bool CIndexedData::Read(CZFile& file, std::uint32_t offset) {
    Reset();
    if (!file.Seek(offset)) {
        return false;
    }
    std::uint8_t header[kRecordHeaderSize];
    std::int32_t words = 0;
    if (!file.Read(header, kRecordHeaderSize) || !TakeHeader(header, offset, words)) {
        return false;
    }
    if (words > 0) {
        // Refuse a body that cannot be in the file before allocating room for it.
        const std::uint64_t end = std::uint64_t(offset) + kRecordHeaderSize + 4ull * words;
        if (end > file.GetLength()) {
            return false;
        }
        m_pBody.resize(std::size_t(words));
        if (!file.Read(m_pBody.data(), std::int64_t(words) * 4)) {
            m_pBody.clear();
            return false;
        }
    }
    DecodeSlots();
    return true;
}

bool CIndexedData::Parse(std::span<const std::uint8_t> bytes, std::uint32_t offset) {
    Reset();
    std::int32_t words = 0;
    if (bytes.size() < kRecordHeaderSize || !TakeHeader(bytes.data(), offset, words) ||
        std::uint64_t(kRecordHeaderSize) + 4ull * std::uint64_t(words) > bytes.size()) {
        return false;
    }
    m_pBody.resize(std::size_t(words));
    if (words > 0) {
        std::memcpy(m_pBody.data(), bytes.data() + kRecordHeaderSize, std::size_t(words) * 4);
    }
    DecodeSlots();
    return true;
}

void CIndexedData::DecodeSlots() {
    // Slots past the body words were never read: they do not exist.
    const std::uint32_t slotsRead =
        std::min<std::uint32_t>(m_nSlots, std::uint32_t(m_pBody.size()));
    bool haveIndirect = false;
    std::uint32_t last = 0;
    for (std::uint32_t i = 0; i < slotsRead; ++i) {
        const std::uint32_t slot = m_pBody[i];
        const std::uint32_t id = slot & 0x7F;
        const bool direct = (slot & 0x80) != 0;
        const std::uint32_t value = slot >> 8;
        m_bDirect[id] = direct ? 1 : 0;
        m_nValue[id] = value;
        if (direct) {
            m_nLength[id] = 3;
        } else {
            if (haveIndirect) {
                m_nLength[last] = value - m_nValue[last];
            }
            last = id;
            haveIndirect = true;
        }
    }
    if (haveIndirect) {
        const std::int64_t dataBytes = 4 * (std::int64_t(m_pBody.size()) - std::int64_t(m_nSlots));
        m_nLength[last] = std::uint32_t(dataBytes - std::int64_t(m_nValue[last]));
    }
}

const std::uint8_t* CIndexedData::GetValue(std::uint32_t id, std::uint32_t& length) const {
    length = 0;
    if (id >= kTableSize || m_nLength[id] == 0) {
        return nullptr;
    }
    if (m_bDirect[id]) {
        length = 3;
        return reinterpret_cast<const std::uint8_t*>(&m_nValue[id]);
    }
    const std::uint32_t stored = m_nLength[id];
    if (std::int32_t(stored) < 0) {
        length = stored;
        return kNoBytes;
    }
    const std::uint64_t start = 4ull * m_nSlots + m_nValue[id];
    const std::uint64_t bodyBytes = 4ull * m_pBody.size();
    if (start > bodyBytes || stored > bodyBytes - start) {
        return nullptr;  // would reach outside the body
    }
    length = stored;
    return reinterpret_cast<const std::uint8_t*>(m_pBody.data()) + start;
}

bool CIndexedData::GetDword(std::uint32_t id, std::uint32_t& out) const {
    std::uint32_t length = 0;
    const std::uint8_t* value = GetValue(id, length);
    if (!value) {
        return false;
    }
    if (m_bDirect[id]) {
        out = m_nValue[id];
        return true;
    }
    if (length < 1 || length > 4) {
        return false;
    }
    out = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        out |= std::uint32_t(value[i]) << (8 * i);
    }
    return true;
}

bool CIndexedData::GetFiletime(std::uint32_t id, FILETIME64& out) const {
    std::uint32_t length = 0;
    const std::uint8_t* value = GetValue(id, length);
    if (!value || length != 8) {
        return false;
    }
    FILETIME64 time = 0;
    for (std::uint32_t i = 0; i < 8; ++i) {
        time |= FILETIME64(value[i]) << (8 * i);
    }
    out = time;
    return true;
}

bool CIndexedData::GetString(std::uint32_t id, std::string& out) const {
    std::uint32_t length = 0;
    const std::uint8_t* value = GetValue(id, length);
    if (!value || length == 0) {
        return false;
    }
    out.clear();
    if (std::int32_t(length) < 0) {
        return true;
    }
    const char* bytes = reinterpret_cast<const char*>(value);
    out.assign(CutAtZero({bytes, length}));
    return true;
}

bool CIndexedData::GetText(std::uint32_t id, CZHyperString& out) const {
    std::string bytes;
    if (!GetString(id, bytes)) {
        return false;
    }
    out.SetText(bytes);
    return true;
}
