// The export wizard without its windows. Each step has an Init that gives a dialog what
// to show from the settings, and a Next that takes what the user entered, runs the step's
// checks (their messages go through the UI services), stores the step's settings and says
// whether the dialog may close. RunExport dispatches the chosen format; RunExportCommand
// is the same work for a caller without dialogs (the command line).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_settings.h"

class CAppSettings;
class CEmailArray;
class CExportSession;
class IUiServices;

// Before step 1: false, after "There is no email to export..." (caption "Info"), when
// the list has no rows.
bool CheckExportHasEmails(std::int32_t rowCount, IUiServices& ui);

// Step 1: which emails.
enum ExportSelectionMode : std::int32_t { SelectionAll = 0, SelectionRows = 1 };

struct CExportStep1View {
    std::u16string selectedText;  // "Export selected emails (%lu emails selected)"
    std::u16string allText;       // "Export all emails (%lu emails)"
    bool selectedEnabled = false;
    ExportSelectionMode mode = SelectionAll;
};

[[nodiscard]] CExportStep1View InitExportStep1(std::int32_t entryCount, std::size_t selectedRows);
// Marks m_bSelected: every entry, or exactly the entries of the rows (rows outside the
// list are ignored). Step 1 always closes.
void ExportStep1Next(CEmailArray& emails, ExportSelectionMode mode,
                     std::span<const std::int32_t> rows);

// Step 2: which format.
struct CExportStep2View {
    std::span<const CExportFormatInfo> formats;  // the formats listed, in list order
    std::int32_t selectedIndex = -1;             // index into formats, -1 for none
};

// `formats` is what the list shows: the four of ListedExportFormats() unless the caller
// also offers the text variant (WizardExportFormats()).
[[nodiscard]] CExportStep2View InitExportStep2(
    const CAppSettings& settings,
    std::span<const CExportFormatInfo> formats = ListedExportFormats());
// `selectedIndex` indexes `formats`; -1 (or out of range) shows "Please select a file
// format or a behavior in the list." and keeps the step open. Otherwise stores Format and
// gives the code.
bool ExportStep2Next(std::int32_t selectedIndex, IUiServices& ui, CAppSettings& settings,
                     std::int32_t& format,
                     std::span<const CExportFormatInfo> formats = ListedExportFormats());

// Step 3: where to. A format code without a format gives a folder destination.
struct CExportStep3View {
    ExportDestination destination = ExportDestination::Folder;
    std::u16string label;       // "Select the destination folder :" / "... file :"
    std::u16string path;        // what the edit shows: filePath or folderPath
    std::u16string fileFilter;  // file mode only
    // The check box "Set file dates to the message dates": only for the formats that write
    // a file per message or thread (the folder destinations); checked as remembered.
    bool showFileTimes = false;
    bool fileTimes = true;
    // Both remembered destinations, whichever mode shows: Browse starts from its own.
    std::u16string filePath;
    std::u16string folderPath;
    // The check box "Thunderbird folder layout": a whole store exported as mbox.
    bool showThunderbirdLayout = false;
    bool thunderbirdLayout = false;
};

inline constexpr char16_t kFileTimesCheckText[] = u"Set file dates to the message dates";
inline constexpr char16_t kThunderbirdLayoutCheckText[] = u"Thunderbird folder layout";

// A whole store always goes into a folder, one-file formats included (a file per folder).
[[nodiscard]] CExportStep3View InitExportStep3(std::int32_t format, const CAppSettings& settings,
                                               bool wholeStore = false);
// A blank file path is refused ("Please choose an output file."); any other is not
// checked and is stored in LastFileOut.
bool ExportStep3NextFile(std::u16string_view filePath, IUiServices& ui, CAppSettings& settings);
// Refuses a blank folder ("Please choose an output folder."), normalises the folder, offers to
// create a missing one and asks before using one that is not empty; on success stores it in
// LastFolderOut and gives it in `folder`.
bool ExportStep3NextFolder(std::u16string_view typedFolder, IUiServices& ui, CAppSettings& settings,
                           std::u16string& folder);
// Remembers the check boxes; the dialog calls them when Next closes the step.
void ExportStep3StoreFileTimes(bool fileTimes, CAppSettings& settings);
void ExportStep3StoreThunderbirdLayout(bool thunderbirdLayout, CAppSettings& settings);
// Trailing runs of '/' and '\' become one '/'.
[[nodiscard]] std::u16string NormalizeOutputFolder(std::u16string_view typedFolder);

// Step 4: template options of the HTML formats (and of the text variant, in text mode).
struct CExportOptions {
    bool textMode = false;  // TxtTemplate instead of HtmlTemplate
    std::u16string title;
    std::u16string templatePath;
    std::int32_t sortBy = 1;
    std::int32_t sortOrder = 0;
    std::uint32_t codePage = kDefaultHtmlCharset;
    std::int32_t charsetMode = 0;
};

// The title from the DBX file's name and the remembered template, sort and charset
// choices; a template path that is empty or cannot be opened gives the default template.
[[nodiscard]] CExportOptions InitExportStep4(bool textMode, std::u16string_view dbxPath,
                                             const CAppSettings& settings);
inline constexpr char16_t kHtmlTemplateFilter[] =
    u"Html Template File (*.htm, *.html)|*.htm;*.html|All Files (*.*)|*.*||";
inline constexpr char16_t kTextTemplateFilter[] = u"Text File (*.txt)|*.txt|All Files (*.*)|*.*||";

// One line of step 4's code page list: "Western European (Windows) - windows-1252 (1252)".
struct CCodePageChoice {
    std::uint32_t codePage = 0;
    std::u16string text;
};

// What step 4 shows: the options, the template filter of its mode, every code page of the
// charset table once (under its first, preferred name) and the lines chosen in each list.
struct CExportStep4View {
    CExportOptions options;
    std::u16string templateFilter;
    std::vector<CCodePageChoice> codePages;
    std::int32_t codePageIndex = 0;
    std::int32_t sortByIndex = 0;  // 0 "Do not sort", 1 "Sort by date"
    std::int32_t orderIndex = 0;   // 0 "Ascending", 1 "Descending"
};

[[nodiscard]] CExportStep4View InitExportStep4View(bool textMode, std::u16string_view dbxPath,
                                                   const CAppSettings& settings);
// The code page's line in the list; a code page the table lacks gets a "Code page N" line
// at the top first.
std::int32_t SelectCodePageChoice(std::vector<CCodePageChoice>& choices, std::uint32_t codePage);

// Stores the title and the template path at once, then checks the template; on success
// `options.codePage` holds the code page to export with (the template's declaration in
// charset mode 0) and the sort and charset settings are stored.
bool ExportStep4Next(CExportOptions& options, IUiServices& ui, CAppSettings& settings);
// The DBX file's name without folder and extension, or "Title" when that is empty.
[[nodiscard]] std::u16string TitleFromDbxPath(std::u16string_view dbxPath);

// The template checks of step 4 without touching the settings: false after the message
// when the template cannot be opened, holds no charset declaration (HTML in charset mode
// 0) or cannot be read. In text mode a template without a declaration keeps `codePage`.
bool ResolveTemplateCodePage(std::u16string_view templatePath, std::int32_t charsetMode,
                             bool textMode, IUiServices& ui, std::uint32_t& codePage);

// What the wizard collected, for the dispatch.
struct CExportRun {
    std::int32_t format = FormatEml;
    std::u16string folder;  // folder destinations, ends with '/'
    std::u16string file;    // file destinations
    CExportOptions options;
    bool fileTimes = true;  // message dates on the files written per message or thread
};

// Runs the format over the entries marked m_bSelected: 1 ExportEml, 2 the attachment
// loop, 12 and 22 ExportAllInOne, 11 ExportThreads, 41 ExportMbox. False for an unknown code and
// whatever the export itself reports.
bool RunExport(CExportSession& session, const CExportRun& run);

// One export without dialogs. Rows empty means every entry. A folder destination is
// created when missing (no question, and no emptiness check); options left empty take
// the defaults of the wizard: the default template, the DBX file's name as title.
// codePage 0 takes the template's declaration.
struct CExportCommand {
    std::int32_t format = FormatEml;
    std::u16string destination;
    std::vector<std::int32_t> rows;
    std::u16string templatePath;
    std::u16string title;
    std::u16string dbxPath;  // for the default title
    std::int32_t sortBy = 1;
    std::int32_t sortOrder = 0;
    std::uint32_t codePage = 0;
    bool fileTimes = true;
};

bool RunExportCommand(CExportSession& session, const CExportCommand& command);
