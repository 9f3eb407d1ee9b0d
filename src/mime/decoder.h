// The search for files carried inside a plain-text body.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "mailbox/z_file.h"

// CDecoder reads one text in place, line by line, and finds where the first uuencoded
// ("begin ") or yEnc ("=ybegin ") block of it starts. It holds the text it was given (not
// owned), the read position, the file a derived decoder writes (none between runs) and the
// status of the last run; one object may serve several texts in turn.
class CDecoder {
public:
    enum Status : std::int32_t {
        StatusOk = 0,
        StatusCannotCreate = 2,
        StatusNoBegin = 3,
        StatusTruncated = 4,
    };
    enum DetectResult : std::int32_t {
        DetectNone = 0,
        DetectUuencode = 1,
        DetectYEnc = 2,
    };

    // Detect reads lines of up to 1023 bytes; a longer line is read as several.
    static constexpr std::uint32_t kDetectLineCapacity = 1024;

    CDecoder() = default;
    CDecoder(const CDecoder&) = delete;
    CDecoder& operator=(const CDecoder&) = delete;
    virtual ~CDecoder();

    // Whether the object can decode a block into a file; the base only finds blocks.
    virtual bool CanDecode();

    // The kind of the first start line and, through `offset` when given, where that line
    // begins (0 when there is none).
    std::int32_t Detect(const char* text, std::uint32_t size, std::uint32_t* offset);
    std::int32_t Detect(std::string_view text, std::uint32_t* offset = nullptr);

    // Copies the next line, its LF included, cut to capacity - 1 bytes, and a zero after
    // it. False when the text is already at its end, and for a capacity below 2, which
    // could never make progress.
    bool ReadLine(char* buffer, std::uint32_t capacity);

    [[nodiscard]] std::int32_t GetStatus() const { return m_Status; }
    [[nodiscard]] std::uint32_t GetPosition() const { return m_Pos; }

protected:
    // Drops a file left from an earlier run and starts reading the text from its start.
    void Start(const char* text, std::uint32_t size);

    const char* m_Data = nullptr;
    std::uint32_t m_Size = 0;
    std::uint32_t m_Pos = 0;
    std::unique_ptr<CZFile> m_Output;
    std::int32_t m_Status = StatusOk;
};
