// The export formats and the remembered export choices (section "Config" of the settings
// store). CExportConfig is a plain snapshot: Load reads every value with its default, and
// each wizard step writes back only the values it owns.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class CAppSettings;

enum ExportFormat : std::int32_t {
    FormatEml = 1,
    FormatAttachments = 2,
    FormatHtmlThreads = 11,
    FormatHtmlAllInOne = 12,
    FormatTextAllInOne = 22,
    // Ours; far from the codes above so that no remembered Format can mean anything else.
    FormatMbox = 41,
};

enum class ExportDestination { Folder, File };

struct CExportFormatInfo {
    std::int32_t code;
    const char16_t* listText;
    ExportDestination destination;
    bool hasOptionsStep;         // step 4 (template, title, sort) applies
    bool textTemplate;           // step 4 in text mode (TxtTemplate)
    const char16_t* fileFilter;  // save dialog filter of file destinations, else null
    std::string_view cliName;    // what quillbox-cli's --format calls it
};

// The formats step 2 lists, in list order. The text variant is not listed; it is there
// for the command line (FindExportFormat knows it).
[[nodiscard]] std::span<const CExportFormatInfo> ListedExportFormats();
// The formats the desktop wizard lists: the four above, the text variant, then mbox.
[[nodiscard]] std::span<const CExportFormatInfo> WizardExportFormats();
// Null for a code no format has.
[[nodiscard]] const CExportFormatInfo* FindExportFormat(std::int32_t code);
// The format of a command-line name, in any ASCII case; null for a name none has.
[[nodiscard]] const CExportFormatInfo* FindExportFormatByCliName(std::string_view name);

inline constexpr char16_t kConfigSection[] = u"Config";
inline constexpr char16_t kKeyFormat[] = u"Format";
inline constexpr char16_t kKeyLastFolderOut[] = u"LastFolderOut";
inline constexpr char16_t kKeyLastFileOut[] = u"LastFileOut";
inline constexpr char16_t kKeyHtmlTemplate[] = u"HtmlTemplate";
inline constexpr char16_t kKeyTxtTemplate[] = u"TxtTemplate";
inline constexpr char16_t kKeyHtmlFileTitle[] = u"HtmlFileTitle";
inline constexpr char16_t kKeyExportSortBy[] = u"ExportSortBy";
inline constexpr char16_t kKeyExportSortOrder[] = u"ExportSortOrder";
inline constexpr char16_t kKeyHtmlCharset[] = u"HtmlCharset";
inline constexpr char16_t kKeyHtmlCharsetMode[] = u"HtmlCharsetMode";
// 1 (the default): files written per message or thread get the message's date.
inline constexpr char16_t kKeySetFileTimes[] = u"SetFileTimes";
inline constexpr char16_t kKeyThunderbirdLayout[] = u"ThunderbirdLayout";

inline constexpr std::uint32_t kDefaultHtmlCharset = 28591;

// The templates installed beside the program.
[[nodiscard]] std::u16string DefaultHtmlTemplate();
[[nodiscard]] std::u16string DefaultTxtTemplate();

struct CExportConfig {
    std::int32_t format = FormatEml;
    std::u16string lastFolderOut;
    std::u16string lastFileOut;
    std::u16string htmlTemplate;
    std::u16string txtTemplate;
    std::int32_t sortBy = 1;     // 0 "Do not sort", 1 "Sort by date"
    std::int32_t sortOrder = 0;  // 0 "Ascending", 1 "Descending"
    std::uint32_t htmlCharset = kDefaultHtmlCharset;
    std::int32_t htmlCharsetMode = 0;  // 0: the template's charset declaration decides
    bool fileTimes = true;             // message dates on the files written per message
    bool thunderbirdLayout = false;    // a store's mbox export laid out for Thunderbird

    [[nodiscard]] static CExportConfig Load(const CAppSettings& settings);
};
