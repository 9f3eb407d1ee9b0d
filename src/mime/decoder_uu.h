// The uuencode decoder of files carried inside a plain-text body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mime/decoder.h"
#include "platform/code_page.h"

// CDecoderUU writes the first uuencoded block of a text to a file in a folder, under the
// name its begin line gives. While it decodes it owns the open output file, closed again
// on success and on every failure; the status of the run stays readable afterwards.
class CDecoderUU : public CDecoder {
public:
    // Data lines are read 79 bytes at a time into a buffer that has room for the padding
    // of the longest line a length character can announce.
    static constexpr std::uint32_t kLineCapacity = 80;
    static constexpr std::size_t kLineRoom = 100;

    // The name bytes of begin lines are read in the mailbox's code page.
    explicit CDecoderUU(std::uint32_t nameCodePage = kDefaultMailboxCodePage)
        : m_nNameCodePage(nameCodePage) {}

    bool CanDecode() override;

    // Decodes the first block into folder + its name; true when the block was complete.
    // A file left after StatusTruncated keeps the bytes decoded before the text ended.
    bool DecodeToFolder(const char* text, std::uint32_t size, const char16_t* folder);
    bool DecodeToFolder(std::string_view text, const std::u16string& folder);

    // Writes the first `count` (at most three) bytes that the four characters stand for.
    // False when no file is open or the write fails.
    bool DecodeGroup(const char* group, std::int32_t count);

    // The name a begin line gives, as it will be created in the folder: separators,
    // colons, wildcards and control characters become underscores. Empty when nothing
    // usable is left ("", "." and ".." would name a folder, not a file in it).
    [[nodiscard]] static std::u16string FileNameFromBeginLine(std::string_view line,
                                                              std::uint32_t codePage);

    // The path of the file the last run created (empty when it created none).
    [[nodiscard]] const std::u16string& GetOutputPath() const { return m_OutputPath; }

private:
    // Closes and drops the output file, ending the run with the status.
    bool Finish(std::int32_t status);

    std::u16string m_OutputPath;
    std::uint32_t m_nNameCodePage;
};
