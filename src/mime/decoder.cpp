#include "mime/decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

CDecoder::~CDecoder() = default;

bool CDecoder::CanDecode() {
    m_Status = StatusOk;
    return false;
}

void CDecoder::Start(const char* text, std::uint32_t size) {
    m_Output.reset();
    m_Data = text;
    m_Size = text ? size : 0;
    m_Pos = 0;
}

bool CDecoder::ReadLine(char* buffer, std::uint32_t capacity) {
    if (!buffer || capacity == 0) {
        return false;
    }
    buffer[0] = '\0';
    if (capacity < 2 || !m_Data || m_Pos >= m_Size) {
        return false;
    }
    const std::uint32_t room = std::min(capacity - 1, m_Size - m_Pos);
    const char* from = m_Data + m_Pos;
    const void* lf = std::memchr(from, '\n', room);
    const std::uint32_t n = lf ? std::uint32_t(static_cast<const char*>(lf) - from) + 1 : room;
    std::memcpy(buffer, from, n);
    buffer[n] = '\0';
    m_Pos += n;
    return true;
}

std::int32_t CDecoder::Detect(const char* text, std::uint32_t size, std::uint32_t* offset) {
    Start(text, size);
    std::int32_t result = DetectNone;
    std::uint32_t start = 0;
    if (m_Size > 0) {
        std::array<char, kDetectLineCapacity> line{};
        for (;;) {
            start = m_Pos;
            if (!ReadLine(line.data(), kDetectLineCapacity)) {
                break;
            }
            if (std::strncmp(line.data(), "begin ", 6) == 0) {
                result = DetectUuencode;
                break;
            }
            if (std::strncmp(line.data(), "=ybegin ", 8) == 0) {
                result = DetectYEnc;
                break;
            }
        }
    }
    if (result == DetectNone) {
        start = 0;
        m_Status = StatusNoBegin;
    } else {
        m_Status = StatusOk;
    }
    if (offset) {
        *offset = start;
    }
    return result;
}

std::int32_t CDecoder::Detect(std::string_view text, std::uint32_t* offset) {
    // The 32-bit interface sees at most the first 4 GiB.
    const auto size = std::uint32_t(std::min<std::size_t>(text.size(), UINT32_MAX));
    return Detect(text.data(), size, offset);
}
