// Export templates: an 8-bit file in which %%%KEY%%% placeholders stand for the title,
// the date and the fields of each message, and the engine that runs one over a list of
// entries into an output file. %%%EMAIL_START%%% ... %%%NEXT_EMAIL%%% repeats a block
// once per selected entry; what follows the last NEXT_EMAIL is the footer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CEmailArray;
class CExportSession;
class CZFile;
class IUiServices;

class CTemplate {
public:
    CTemplate() = default;
    CTemplate(const CTemplate&) = delete;
    CTemplate& operator=(const CTemplate&) = delete;
    virtual ~CTemplate() = default;

    void Free() {
        m_pData.reset();
        m_nSize = 0;
    }
    // Loads bytes directly, for callers that hold the template already.
    void SetData(std::string_view bytes);
    [[nodiscard]] std::string_view GetView() const {
        return {m_pData ? m_pData.get() : "", std::size_t(m_nSize)};
    }

    std::int32_t m_nSize = 0;
    std::unique_ptr<char[]> m_pData;
};

// False when the file cannot be opened or read (a message box has been shown) and, without
// a message, when it is empty.
bool ReadTemplate(const std::u16string& path, CTemplate& tpl, IUiServices& ui);

inline constexpr char16_t kTemplateOpenError[] =
    u"Unable to read the template file. Wrong path, file open by another application, or "
    u"corrupted file ?";
inline constexpr char16_t kTemplateReadError[] =
    u"Unable to read the template file. File open by another application, or corrupted file ?";
inline constexpr char16_t kMessageReadError[] = u"Unable to read a message. File corrupted ?";
inline constexpr char16_t kExpandProgressTitle[] = u"Exporting emails in a HTML file...";

struct CExpandRequest {
    const CTemplate* pTemplate = nullptr;
    CZFile* pOutput = nullptr;
    // Only entries with m_bSelected take part.
    CEmailArray* pEntries = nullptr;
    std::u16string title;
    std::uint32_t codePage = 28591;
    bool showProgress = false;
    // A plain-text file rather than a page: nothing is escaped (see KeyOutput).
    bool textOutput = false;
};

// True when the template ran to its end; false for an empty template, no selected entry
// (nothing is written then) or a cancel in the progress window.
bool ExpandTemplate(CExportSession& session, const CExpandRequest& request);

// Units below 128 as themselves, every other unit as the replacement; cut to size - 1
// bytes and always terminated. Nothing is written for a size of 1 or less.
void NarrowAscii(std::u16string_view text, char* buffer, std::size_t size, char replacement);
[[nodiscard]] std::string NarrowAscii(std::u16string_view text, char replacement);
