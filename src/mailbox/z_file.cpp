#include "mailbox/z_file.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstring>

#include "platform/code_page.h"

namespace {

constexpr std::size_t kWindowSize = 64 * 1024;

}  // namespace

CZFile::~CZFile() {
    if (m_Stream) {
        std::fclose(m_Stream);
        m_Stream = nullptr;
    }
}

void CZFile::Close() {
    m_Mode = 0;
    m_Length = 0;
    m_Position = -1;
    m_WindowLength = 0;
    if (m_Stream) {
        std::fclose(m_Stream);
        m_Stream = nullptr;
    }
}

bool CZFile::Open(const char16_t* path, std::int32_t mode) {
    if (!path || !*path) {
        Close();
        m_Error = ErrNoFileName;
        return false;
    }
    const std::string utf8 = WideToUtf8(path);
    return OpenUtf8(utf8.c_str(), mode);
}

bool CZFile::IsSameFileAs(const char16_t* path) const {
    if (m_Stream == nullptr || path == nullptr || *path == 0) {
        return false;
    }
    struct stat open {};
    struct stat named {};
    return ::fstat(::fileno(m_Stream), &open) == 0 &&
           ::stat(WideToUtf8(path).c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

bool CZFile::Open(const char* path, std::int32_t mode) {
    return OpenUtf8(path, mode);
}

bool CZFile::OpenUtf8(const char* path, std::int32_t mode) {
    Close();
    if (!path || !*path) {
        m_Error = ErrNoFileName;
        return false;
    }
    std::FILE* stream = nullptr;
    bool measure = false;
    if (mode == ModeRead) {
        stream = std::fopen(path, "rb");
        if (!stream) {
            m_Error = ErrOpenForRead;
            return false;
        }
        // The read window does the buffering.
        std::setvbuf(stream, nullptr, _IONBF, 0);
        measure = true;
    } else {
        const char* streamMode = "rb";
        switch (mode) {
            case ModeWrite:
                streamMode = "wb";
                break;
            case ModeReadWrite:
                measure = FileExists(path);
                streamMode = measure ? "r+b" : "w+b";
                break;
            case ModeAppend:
                streamMode = "ab";
                measure = true;
                break;
            default:
                break;
        }
        stream = std::fopen(path, streamMode);
        if (!stream) {
            m_Error = ErrOpen;
            return false;
        }
    }
    if (measure) {
        if (fseeko(stream, 0, SEEK_END) == 0) {
            const off_t end = ftello(stream);
            m_Length = end > 0 ? std::uint64_t(end) : 0;
        }
        fseeko(stream, 0, SEEK_SET);
    }
    m_Position = mode == ModeAppend ? -1 : 0;
    m_Stream = stream;
    m_Mode = mode;
    return true;
}

bool CZFile::CloseFile() {
    // fclose flushes what is still buffered: a full disk often shows only here, and a
    // writer that ignored it would report an incomplete file as written.
    bool closed = true;
    if (m_Stream) {
        closed = std::fclose(m_Stream) == 0;
        m_Stream = nullptr;
    }
    Close();
    if (!closed) {
        m_Error = ErrWrite;
    }
    return closed;
}

bool CZFile::Seek(std::uint64_t offset) {
    if (!m_Stream || offset > m_Length || offset > std::uint64_t(INT64_MAX)) {
        m_Error = ErrSeek;
        return false;
    }
    if (m_Mode == ModeRead) {
        m_Position = std::int64_t(offset);  // the window seeks when it must read
        return true;
    }
    if (fseeko(m_Stream, off_t(offset), SEEK_SET) != 0) {
        m_Error = ErrSeek;
        m_Position = -1;
        return false;
    }
    m_Position = std::int64_t(offset);
    return true;
}

std::int64_t CZFile::GetPosition() {
    if (!m_Stream) {
        return -1;
    }
    if (m_Mode == ModeRead) {
        return m_Position;
    }
    return std::int64_t(ftello(m_Stream));
}

bool CZFile::Read(void* buffer, std::uint32_t size) {
    return Read(buffer, std::int64_t(size));
}

bool CZFile::Read(void* buffer, std::int32_t size) {
    return Read(buffer, std::int64_t(size));
}

bool CZFile::Read(void* buffer, std::int64_t size) {
    if (!buffer || size <= 0 || !IsOpen()) {
        m_Error = ErrRead;
        return false;
    }
    if (m_Mode == ModeRead) {
        return ReadThroughWindow(buffer, std::uint64_t(size));
    }
    // The whole size, not its low 32 bits: a short read must never pass as success.
    if (std::fread(buffer, std::size_t(size), 1, m_Stream) != 1) {
        m_Error = ErrRead;
        m_Position = -1;
        return false;
    }
    if (m_Position >= 0) {
        m_Position += size;
    }
    return true;
}

bool CZFile::ReadThroughWindow(void* buffer, std::uint64_t size) {
    auto fail = [this] {
        m_Error = ErrRead;
        m_Position = -1;
        return false;
    };
    if (m_Position < 0) {
        return fail();
    }
    const auto position = std::uint64_t(m_Position);
    auto* out = static_cast<std::uint8_t*>(buffer);
    const bool inWindow = position >= m_WindowStart && position - m_WindowStart <= m_WindowLength &&
                          size <= m_WindowLength - (position - m_WindowStart);
    if (!inWindow) {
        if (fseeko(m_Stream, off_t(position), SEEK_SET) != 0) {
            return fail();
        }
        if (size >= kWindowSize) {
            // Large reads go straight to the caller's buffer; the whole size must come.
            m_WindowLength = 0;
            if (std::fread(out, std::size_t(size), 1, m_Stream) != 1) {
                return fail();
            }
            m_Position += std::int64_t(size);
            return true;
        }
        m_Window.resize(kWindowSize);
        m_WindowStart = position;
        m_WindowLength = std::fread(m_Window.data(), 1, kWindowSize, m_Stream);
        if (size > m_WindowLength) {
            return fail();  // a short read fails, whatever part of it was there
        }
    }
    std::memcpy(out, m_Window.data() + (position - m_WindowStart), std::size_t(size));
    m_Position += std::int64_t(size);
    return true;
}

bool CZFile::Write(const void* buffer, std::uint32_t size) {
    return Write(buffer, std::int64_t(size));
}

bool CZFile::Write(const void* buffer, std::int32_t size) {
    return Write(buffer, std::int64_t(size));
}

bool CZFile::Write(const void* buffer, std::int64_t size) {
    if (!buffer || size <= 0 || !IsOpen()) {
        m_Error = ErrWrite;
        return false;
    }
    if (std::fwrite(buffer, std::size_t(size), 1, m_Stream) != 1) {
        m_Error = ErrWrite;
        m_Position = -1;
        return false;
    }
    if (m_Position >= 0 && m_Mode != ModeAppend) {
        m_Position += size;
    }
    return true;
}

bool FileExists(const char* path) {
    if (!path || !*path) {
        return false;
    }
    std::FILE* stream = std::fopen(path, "r");
    if (!stream) {
        return false;
    }
    std::fclose(stream);
    return true;
}

bool FileExists(const char16_t* path) {
    if (!path || !*path) {
        return false;
    }
    const std::string utf8 = WideToUtf8(path);
    return FileExists(utf8.c_str());
}

WholeFileRead ReadWholeFile(const std::u16string& path, std::string& bytes) {
    bytes.clear();
    CZFile file;
    if (!file.Open(path, CZFile::ModeRead)) {
        return WholeFileRead::CannotOpen;
    }
    const std::uint64_t length = file.GetLength();
    if (length == 0) {
        return WholeFileRead::Empty;
    }
    if (length > kMaxWholeFileBytes) {
        return WholeFileRead::TooLarge;
    }
    bytes.resize(static_cast<std::size_t>(length));
    if (!file.Read(bytes.data(), static_cast<std::int64_t>(length))) {
        bytes.clear();
        return WholeFileRead::CannotRead;
    }
    return WholeFileRead::Ok;
}

bool WriteWholeFile(const std::u16string& path, std::string_view bytes) {
    CZFile file;
    if (!file.Open(path, CZFile::ModeWrite)) {
        return false;
    }
    const bool written =
        bytes.empty() || file.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    // The last bytes reach the disk at close; a failure there is a failed write too.
    const bool closed = file.CloseFile();
    return written && closed;
}
