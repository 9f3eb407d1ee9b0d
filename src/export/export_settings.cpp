#include "export/export_settings.h"

#include <array>

#include "platform/app_settings.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

constexpr char16_t kHtmlFilter[] = u"HTML File (*.html)|*.html|All Files (*.*)|*.*||";
constexpr char16_t kTextFilter[] = u"Text File (*.txt)|*.txt|All Files (*.*)|*.*||";
constexpr char16_t kMboxFilter[] = u"MBOX Files (*.mbox)|*.mbox|All Files (*.*)|*.*||";

constexpr std::array<CExportFormatInfo, 6> kFormats = {{
    {FormatEml, u"EML generic text file, one email per file", ExportDestination::Folder, false,
     false, nullptr, "eml"},
    {FormatAttachments, u"All attached files", ExportDestination::Folder, false, false, nullptr,
     "attachments"},
    {FormatHtmlAllInOne, u"HTML File, all emails in one html file", ExportDestination::File, true,
     false, kHtmlFilter, "html"},
    {FormatHtmlThreads, u"HTML File, one thread per html file", ExportDestination::Folder, true,
     false, nullptr, "html-threads"},
    {FormatTextAllInOne, u"Text File, all emails in one text file", ExportDestination::File, true,
     true, kTextFilter, "text"},
    {FormatMbox, u"MBOX File, all emails in one mbox file (Thunderbird, mutt...)",
     ExportDestination::File, false, false, kMboxFilter, "mbox"},
}};

constexpr std::size_t kListedFormats = 4;

}  // namespace

std::span<const CExportFormatInfo> ListedExportFormats() {
    return std::span<const CExportFormatInfo>(kFormats).first(kListedFormats);
}

std::span<const CExportFormatInfo> WizardExportFormats() {
    return kFormats;
}

const CExportFormatInfo* FindExportFormatByCliName(std::string_view name) {
    for (const CExportFormatInfo& format : kFormats) {
        if (EqualsNoCase(name, format.cliName)) {
            return &format;
        }
    }
    return nullptr;
}

const CExportFormatInfo* FindExportFormat(std::int32_t code) {
    for (const CExportFormatInfo& format : kFormats) {
        if (format.code == code) {
            return &format;
        }
    }
    return nullptr;
}

std::u16string DefaultHtmlTemplate() {
    return GetModuleFolder() + u"Templates/html_style1.html";
}

std::u16string DefaultTxtTemplate() {
    return GetModuleFolder() + u"Templates/simple_text_file.txt";
}

CExportConfig CExportConfig::Load(const CAppSettings& settings) {
    CExportConfig config;
    config.format = settings.ReadInt(kConfigSection, kKeyFormat, FormatEml);
    config.lastFolderOut = settings.ReadString(kConfigSection, kKeyLastFolderOut);
    config.lastFileOut = settings.ReadString(kConfigSection, kKeyLastFileOut);
    config.htmlTemplate =
        settings.ReadString(kConfigSection, kKeyHtmlTemplate, DefaultHtmlTemplate());
    config.txtTemplate = settings.ReadString(kConfigSection, kKeyTxtTemplate, DefaultTxtTemplate());
    config.sortBy = settings.ReadInt(kConfigSection, kKeyExportSortBy, 1);
    config.sortOrder = settings.ReadInt(kConfigSection, kKeyExportSortOrder, 0);
    config.htmlCharset = static_cast<std::uint32_t>(
        settings.ReadInt(kConfigSection, kKeyHtmlCharset, int(kDefaultHtmlCharset)));
    config.htmlCharsetMode = settings.ReadInt(kConfigSection, kKeyHtmlCharsetMode, 0);
    config.fileTimes = settings.ReadInt(kConfigSection, kKeySetFileTimes, 1) != 0;
    config.thunderbirdLayout = settings.ReadInt(kConfigSection, kKeyThunderbirdLayout, 0) != 0;
    return config;
}
