// CZFile: the one file object. It wraps a buffered C stream opened in binary mode,
// remembers the file's length as measured when it was opened (for the modes that measure
// it), and keeps the code of the last failure instead of throwing. Every operation reports
// success as a boolean; m_Error is for diagnosis only and is never cleared by a success.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class CZFile {
public:
    enum Mode : std::int32_t {
        ModeRead = 1,
        ModeWrite = 2,
        ModeReadWrite = 3,
        ModeAppend = 4,
    };
    enum Error : std::int32_t {
        ErrNone = 0,
        ErrNoFileName = 2001,
        ErrOpenForRead = 2002,
        ErrOpen = 2003,
        ErrWrite = 2004,
        ErrRead = 2005,
        ErrSeek = 2006,
    };

    CZFile() = default;
    CZFile(const CZFile&) = delete;
    CZFile& operator=(const CZFile&) = delete;
    virtual ~CZFile();

    virtual void Close();
    // A null path and an empty one both fail with ErrNoFileName.
    virtual bool Open(const char* path, std::int32_t mode);
    virtual bool Open(const char16_t* path, std::int32_t mode);
    // False when the final flush fails (ErrWrite): the file may then be incomplete.
    virtual bool CloseFile();
    virtual bool Seek(std::uint64_t offset);
    virtual std::int64_t GetPosition();  // -1 when closed
    virtual bool Read(void* buffer, std::uint32_t size);
    virtual bool Read(void* buffer, std::int32_t size);
    virtual bool Read(void* buffer, std::int64_t size);
    virtual bool Write(const void* buffer, std::uint32_t size);
    virtual bool Write(const void* buffer, std::int32_t size);
    virtual bool Write(const void* buffer, std::int64_t size);
    [[nodiscard]] virtual bool IsOpen() const { return m_Stream != nullptr; }
    [[nodiscard]] virtual std::uint64_t GetLength() const { return m_Length; }
    // Whether the path names the open file (the same file through any name or link):
    // opening it for writing would truncate what is being read.
    [[nodiscard]] bool IsSameFileAs(const char16_t* path) const;

    [[nodiscard]] std::int32_t GetError() const { return m_Error; }
    [[nodiscard]] std::int32_t GetMode() const { return m_Mode; }

    // For callers holding the path as a string.
    bool Open(const std::u16string& path, std::int32_t mode) { return Open(path.c_str(), mode); }

private:
    bool OpenUtf8(const char* path, std::int32_t mode);
    // Read mode keeps its own window of the file so that a seek costs nothing when the
    // next record or block lies in what was read last (mailbox reads hop a lot).
    bool ReadThroughWindow(void* buffer, std::uint64_t size);

    std::uint64_t m_Length = 0;
    std::int32_t m_Mode = 0;
    std::FILE* m_Stream = nullptr;
    std::int32_t m_Error = ErrNone;
    // Where the stream stands when known, -1 when not.
    std::int64_t m_Position = -1;
    std::vector<std::uint8_t> m_Window;
    std::uint64_t m_WindowStart = 0;
    std::size_t m_WindowLength = 0;
};

// Whole-file reads are for small files the user names (templates): anything larger is no
// such file, and reading it could exhaust memory.
inline constexpr std::uint64_t kMaxWholeFileBytes = 64u * 1024 * 1024;

enum class WholeFileRead { Ok, CannotOpen, Empty, TooLarge, CannotRead };

// The whole file into `bytes` (left empty on any failure).
WholeFileRead ReadWholeFile(const std::u16string& path, std::string& bytes);
// The bytes as a new or truncated file; false when it cannot be created or any of it fails
// to reach the disk.
bool WriteWholeFile(const std::u16string& path, std::string_view bytes);

// True when the file can be opened for reading; false for a null or empty path.
[[nodiscard]] bool FileExists(const char* path);
[[nodiscard]] bool FileExists(const char16_t* path);
