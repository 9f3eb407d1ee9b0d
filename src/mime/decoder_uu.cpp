#include "mime/decoder_uu.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "mailbox/hyper_string.h"
#include "platform/code_page.h"

namespace {

constexpr std::size_t kNameStart = 10;  // after "begin ", three mode digits and a space

// Both the blank and the grave accent stand for 0; bytes are taken as unsigned.
[[nodiscard]] unsigned SixBits(char c) {
    return (static_cast<unsigned char>(c) - 32u) & 63u;
}

// "end" alone on its line, trailing blanks and line end allowed. Its 'e' would otherwise
// announce five data bytes, and everything after it would join the file.
[[nodiscard]] bool IsEndLine(std::string_view line) {
    if (line.substr(0, 3) != "end") {
        return false;
    }
    line.remove_prefix(3);
    return line.find_first_not_of(std::string_view(" \t\r\n")) == std::string_view::npos;
}

}  // namespace

bool CDecoderUU::CanDecode() {
    return true;
}

std::u16string CDecoderUU::FileNameFromBeginLine(std::string_view line, std::uint32_t codePage) {
    // The line is a zero-terminated buffer: a NUL ends it like a line end does.
    if (line.size() <= kNameStart) {
        return {};
    }
    std::string_view bytes = line.substr(kNameStart);
    bytes =
        bytes.substr(0, std::min(bytes.find_first_of(std::string_view("\r\n\0", 3)), bytes.size()));
    if (bytes.empty()) {
        return {};
    }
    CZHyperString name;
    name.SetWide(MailboxBytesToWide(codePage, bytes));
    name.SanitizeFileName();
    std::u16string cleaned(name.GetWideView());
    if (cleaned == u"." || cleaned == u"..") {
        return {};
    }
    return cleaned;
}

bool CDecoderUU::DecodeGroup(const char* group, std::int32_t count) {
    if (!m_Output || !group) {
        return false;
    }
    const unsigned a = SixBits(group[0]);
    const unsigned b = SixBits(group[1]);
    const unsigned c = SixBits(group[2]);
    const unsigned d = SixBits(group[3]);
    const std::array<char, 3> bytes = {
        static_cast<char>((a << 2 | b >> 4) & 0xFF),
        static_cast<char>((b << 4 | c >> 2) & 0xFF),
        static_cast<char>((c << 6 | d) & 0xFF),
    };
    const std::int32_t n = std::min<std::int32_t>(count, 3);
    for (std::int32_t i = 0; i < n; ++i) {
        if (!m_Output->Write(&bytes[std::size_t(i)], std::int32_t(1))) {
            return false;
        }
    }
    return true;
}

bool CDecoderUU::Finish(std::int32_t status) {
    if (m_Output) {
        // A flush that fails at close leaves the file incomplete, like a failed write.
        if (!m_Output->CloseFile() && status == StatusOk) {
            status = StatusCannotCreate;
        }
        m_Output.reset();
    }
    m_Status = status;
    return status == StatusOk;
}

bool CDecoderUU::DecodeToFolder(const char* text, std::uint32_t size, const char16_t* folder) {
    Start(text, size);
    m_OutputPath.clear();
    if (m_Size == 0) {
        return Finish(StatusNoBegin);
    }
    if (!folder || !*folder) {
        return Finish(StatusCannotCreate);
    }

    std::array<char, kLineRoom> line{};
    bool found = false;
    while (ReadLine(line.data(), kLineCapacity)) {
        if (std::strncmp(line.data(), "begin ", 6) == 0) {
            found = true;
            break;
        }
    }
    if (!found) {
        return Finish(StatusNoBegin);
    }
    const std::u16string name = FileNameFromBeginLine(line.data(), m_nNameCodePage);
    if (name.empty()) {
        return Finish(StatusCannotCreate);
    }
    // Without its separator the folder's last name and the file name would run together
    // into a file beside the folder.
    std::u16string path(folder);
    if (path.back() != u'/') {
        path += u'/';
    }
    path += name;
    m_Output = std::make_unique<CZFile>();
    if (!m_Output->Open(path, CZFile::ModeWrite)) {
        m_Output.reset();
        return Finish(StatusCannotCreate);
    }
    m_OutputPath = path;

    for (;;) {
        if (!ReadLine(line.data(), kLineCapacity)) {
            return Finish(StatusTruncated);
        }
        if (line[0] == '\r' && line[1] == '\n') {
            continue;
        }
        std::int32_t n = std::int32_t(SixBits(line[0]));
        if (n == 0 || line[0] == '\n' || IsEndLine(line.data())) {
            return Finish(StatusOk);
        }
        // A line shorter than its length character announces decodes as if it ended in
        // blanks. The padding starts at the line end: at the CR of a CR LF (the form
        // stored messages have), else at the last byte, never at the length character.
        const std::size_t expected = std::size_t((n + 2) / 3) * 4;
        const std::size_t length = std::strlen(line.data());
        std::size_t pad = length > 1 ? length - 1 : 1;
        if (length >= 3 && line[length - 2] == '\r' && line[length - 1] == '\n') {
            pad = length - 2;
        }
        for (; pad <= expected && pad < kLineRoom; ++pad) {
            line[pad] = ' ';
        }
        for (std::size_t i = 1; n > 0; i += 4, n -= 3) {
            if (!DecodeGroup(&line[i], n)) {
                // No status names a failed write; the file cannot be made whole.
                return Finish(StatusCannotCreate);
            }
        }
    }
}

bool CDecoderUU::DecodeToFolder(std::string_view text, const std::u16string& folder) {
    const auto size = std::uint32_t(std::min<std::size_t>(text.size(), UINT32_MAX));
    return DecodeToFolder(text.data(), size, folder.c_str());
}
