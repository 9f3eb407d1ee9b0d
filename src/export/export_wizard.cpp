#include "export/export_wizard.h"

#include <algorithm>
#include <unordered_set>

#include "export/export_all_in_one.h"
#include "export/export_attachments.h"
#include "export/export_eml.h"
#include "export/export_mbox.h"
#include "export/export_session.h"
#include "export/export_threads.h"
#include "export/template_charset.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/z_file.h"
#include "mime/charset.h"
#include "platform/app_settings.h"
#include "platform/code_page.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/progress.h"
#include "platform/text.h"
#include "platform/ui_services.h"

namespace {

constexpr char16_t kOutputFolderCaption[] = u"Output folder";
constexpr char16_t kOutputFileCaption[] = u"Output file";

// A folder opens for reading on Linux, so "can be opened" must also mean "is a file".
bool TemplateOpens(std::u16string_view path) {
    const std::u16string copy(path);
    return !copy.empty() && !FolderExists(copy) && FileExists(copy.c_str());
}

std::u16string QuotedFolderText(const char16_t* before, std::u16string_view folder,
                                const char16_t* after) {
    std::u16string text(before);
    text += folder;
    text += after;
    return text;
}

void ShowCreateFolderError(IUiServices& ui, std::u16string_view folder) {
    ui.MessageBox(QuotedFolderText(u"Error: Unable to create the output folder '", folder,
                                   u"'\n(Invalid characters like \\ / * < > | ?, or disk "
                                   u"full?).\nPlease select another destination."),
                  kOutputFolderCaption, MsgIcon::Error, MsgButtons::Ok);
}

// An empty field would otherwise become the root folder (or no file at all).
bool RefuseBlankDestination(std::u16string_view path, ExportDestination destination,
                            IUiServices& ui) {
    if (!IsBlankPath(path)) {
        return false;
    }
    if (destination == ExportDestination::File) {
        ui.MessageBox(u"Please choose an output file.", kOutputFileCaption, MsgIcon::Warning,
                      MsgButtons::Ok);
    } else {
        ui.MessageBox(u"Please choose an output folder.", kOutputFolderCaption, MsgIcon::Warning,
                      MsgButtons::Ok);
    }
    return true;
}

void ShowTemplateError(IUiServices& ui, const char16_t* before, std::u16string_view path,
                       const char16_t* after) {
    ui.MessageBox(QuotedFolderText(before, path, after), kErrorCaption, MsgIcon::Error,
                  MsgButtons::Ok);
}

}  // namespace

bool CheckExportHasEmails(std::int32_t rowCount, IUiServices& ui) {
    if (rowCount > 0) {
        return true;
    }
    ui.MessageBox(u"There is no email to export.\nPlease load first an Outlook Express DBX file.",
                  u"Info", MsgIcon::Information, MsgButtons::Ok);
    return false;
}

// ---------------------------------------------------------------------------------------
// Step 1

CExportStep1View InitExportStep1(std::int32_t entryCount, std::size_t selectedRows) {
    CExportStep1View view;
    view.selectedText =
        u"Export selected emails" +
        FormatText(" (%lu emails selected)", static_cast<unsigned long>(selectedRows));
    view.allText = u"Export all emails" +
                   FormatText(" (%lu emails)", static_cast<unsigned long>(std::max(entryCount, 0)));
    view.selectedEnabled = selectedRows > 0;
    view.mode = selectedRows > 0 ? SelectionRows : SelectionAll;
    return view;
}

void ExportStep1Next(CEmailArray& emails, ExportSelectionMode mode,
                     std::span<const std::int32_t> rows) {
    for (CEmailDBX* entry : emails.Items()) {
        if (entry != nullptr) {
            entry->m_bSelected = mode == SelectionAll;
        }
    }
    if (mode == SelectionAll) {
        return;
    }
    for (const std::int32_t row : rows) {
        if (row >= emails.GetCount()) {
            continue;
        }
        if (CEmailDBX* entry = emails.Get(row)) {
            entry->m_bSelected = true;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Step 2

CExportStep2View InitExportStep2(const CAppSettings& settings,
                                 std::span<const CExportFormatInfo> formats) {
    CExportStep2View view;
    view.formats = formats;
    const std::int32_t code = settings.ReadInt(kConfigSection, kKeyFormat, FormatEml);
    for (std::size_t i = 0; i < view.formats.size(); ++i) {
        if (view.formats[i].code == code) {
            view.selectedIndex = static_cast<std::int32_t>(i);
        }
    }
    return view;
}

bool ExportStep2Next(std::int32_t selectedIndex, IUiServices& ui, CAppSettings& settings,
                     std::int32_t& format, std::span<const CExportFormatInfo> formats) {
    if (selectedIndex < 0 || static_cast<std::size_t>(selectedIndex) >= formats.size()) {
        ui.MessageBox(u"Please select a file format or a behavior in the list.", kAppName,
                      MsgIcon::None, MsgButtons::Ok);
        return false;
    }
    format = formats[static_cast<std::size_t>(selectedIndex)].code;
    settings.WriteInt(kConfigSection, kKeyFormat, format);
    return true;
}

// ---------------------------------------------------------------------------------------
// Step 3

CExportStep3View InitExportStep3(std::int32_t format, const CAppSettings& settings,
                                 bool wholeStore) {
    CExportStep3View view;
    view.filePath = settings.ReadString(kConfigSection, kKeyLastFileOut);
    view.folderPath = settings.ReadString(kConfigSection, kKeyLastFolderOut);
    const CExportFormatInfo* info = FindExportFormat(format);
    const bool oneFile = info != nullptr && info->destination == ExportDestination::File;
    if (oneFile && !wholeStore) {
        view.destination = ExportDestination::File;
        view.label = u"Select the destination file :";
        view.path = view.filePath;
        view.fileFilter = info->fileFilter != nullptr ? info->fileFilter : u"All Files (*.*)|*.*||";
    } else {
        view.label = u"Select the destination folder :";
        view.path = view.folderPath;
        // One file per folder has no message date to take.
        view.showFileTimes = !oneFile;
    }
    const CExportConfig config = CExportConfig::Load(settings);
    view.fileTimes = config.fileTimes;
    view.showThunderbirdLayout = wholeStore && format == FormatMbox;
    view.thunderbirdLayout = config.thunderbirdLayout;
    return view;
}

void ExportStep3StoreFileTimes(bool fileTimes, CAppSettings& settings) {
    settings.WriteInt(kConfigSection, kKeySetFileTimes, fileTimes ? 1 : 0);
}

void ExportStep3StoreThunderbirdLayout(bool thunderbirdLayout, CAppSettings& settings) {
    settings.WriteInt(kConfigSection, kKeyThunderbirdLayout, thunderbirdLayout ? 1 : 0);
}

bool ExportStep3NextFile(std::u16string_view filePath, IUiServices& ui, CAppSettings& settings) {
    if (RefuseBlankDestination(filePath, ExportDestination::File, ui)) {
        return false;
    }
    settings.WriteString(kConfigSection, kKeyLastFileOut, filePath);
    return true;
}

std::u16string NormalizeOutputFolder(std::u16string_view typedFolder) {
    return WithTrailingSeparator(typedFolder);
}

bool ExportStep3NextFolder(std::u16string_view typedFolder, IUiServices& ui, CAppSettings& settings,
                           std::u16string& folder) {
    if (RefuseBlankDestination(typedFolder, ExportDestination::Folder, ui)) {
        return false;
    }
    const std::u16string path = NormalizeOutputFolder(typedFolder);
    if (!FolderExists(path)) {
        const MsgAnswer answer =
            ui.MessageBox(QuotedFolderText(u"The output folder '", path,
                                           u"' doesn't exist. Do you want to create it?"),
                          kOutputFolderCaption, MsgIcon::Question, MsgButtons::YesNoCancel);
        if (answer != MsgAnswer::Yes) {
            return false;
        }
        if (!CreateFolder(path)) {
            ShowCreateFolderError(ui, path);
            return false;
        }
    }
    if (!IsFolderEmpty(path)) {
        const MsgAnswer answer =
            ui.MessageBox(QuotedFolderText(u"The output folder '", path,
                                           u"' is not empty. Do you want to continue?"),
                          kOutputFolderCaption, MsgIcon::Information, MsgButtons::YesNoCancel);
        if (answer != MsgAnswer::Yes) {
            return false;
        }
    }
    settings.WriteString(kConfigSection, kKeyLastFolderOut, path);
    folder = path;
    return true;
}

// ---------------------------------------------------------------------------------------
// Step 4

std::u16string TitleFromDbxPath(std::u16string_view dbxPath) {
    const std::size_t slash = dbxPath.find_last_of(u"/\\");
    std::u16string_view name =
        slash == std::u16string_view::npos ? dbxPath : dbxPath.substr(slash + 1);
    const std::size_t dot = name.rfind(u'.');
    if (dot != std::u16string_view::npos) {
        name = name.substr(0, dot);
    }
    return name.empty() ? std::u16string(u"Title") : std::u16string(name);
}

CExportOptions InitExportStep4(bool textMode, std::u16string_view dbxPath,
                               const CAppSettings& settings) {
    const CExportConfig config = CExportConfig::Load(settings);
    CExportOptions options;
    options.textMode = textMode;
    options.title = TitleFromDbxPath(dbxPath);
    options.templatePath = textMode ? config.txtTemplate : config.htmlTemplate;
    if (!TemplateOpens(options.templatePath)) {
        options.templatePath = textMode ? DefaultTxtTemplate() : DefaultHtmlTemplate();
    }
    options.sortBy = config.sortBy;
    options.sortOrder = config.sortOrder;
    options.codePage = config.htmlCharset;
    options.charsetMode = config.htmlCharsetMode;
    return options;
}

namespace {

// The stored indexes come from the settings store, which anyone can edit.
std::int32_t ClampedIndex(std::int32_t index, std::int32_t count) {
    return index >= 0 && index < count ? index : 0;
}

std::vector<CCodePageChoice> CodePageChoices() {
    std::vector<CCodePageChoice> choices;
    std::unordered_set<std::uint32_t> seen;
    for (const CCodePageRow& row : GetCodePageTable()) {
        if (!seen.insert(row.m_nCodePage).second) {
            continue;
        }
        std::u16string text(row.m_Description);
        text += u" - ";
        text += Utf8ToWide(row.m_Charset);
        text += FormatText(" (%u)", static_cast<unsigned>(row.m_nCodePage));
        choices.push_back({row.m_nCodePage, std::move(text)});
    }
    return choices;
}

}  // namespace

CExportStep4View InitExportStep4View(bool textMode, std::u16string_view dbxPath,
                                     const CAppSettings& settings) {
    CExportStep4View view;
    view.options = InitExportStep4(textMode, dbxPath, settings);
    view.templateFilter = textMode ? kTextTemplateFilter : kHtmlTemplateFilter;
    view.codePages = CodePageChoices();
    view.codePageIndex = SelectCodePageChoice(view.codePages, view.options.codePage);
    view.sortByIndex = ClampedIndex(view.options.sortBy, 2);
    view.orderIndex = ClampedIndex(view.options.sortOrder, 2);
    return view;
}

std::int32_t SelectCodePageChoice(std::vector<CCodePageChoice>& choices, std::uint32_t codePage) {
    const auto found = std::find_if(choices.begin(), choices.end(),
                                    [&](const auto& c) { return c.codePage == codePage; });
    if (found != choices.end()) {
        return static_cast<std::int32_t>(found - choices.begin());
    }
    choices.insert(choices.begin(),
                   {codePage, FormatText("Code page %u", static_cast<unsigned>(codePage))});
    return 0;
}

bool ResolveTemplateCodePage(std::u16string_view templatePath, std::int32_t charsetMode,
                             bool textMode, IUiServices& ui, std::uint32_t& codePage) {
    if (!TemplateOpens(templatePath)) {
        ShowTemplateError(ui, u"The template file doesn't exist or is corrupted :\n", templatePath,
                          u"\nPlease select another template.");
        return false;
    }
    if (charsetMode != 0) {
        return true;
    }

    std::string text;
    if (ReadWholeFile(std::u16string(templatePath), text) != WholeFileRead::Ok) {
        ShowTemplateError(ui, u"Unable to read the template file :\n", templatePath,
                          u"\nMaybe is it corrupted or already open ?\nPlease select another "
                          u"template.");
        return false;
    }
    // The template is read as a zero-terminated text.
    text.resize(CutAtZero(text).size());
    const std::uint32_t declared = FindTemplateCharset(text);
    if (declared != 0) {
        codePage = declared;
        return true;
    }
    // Plain text has no place for a declaration; the remembered code page stays.
    if (textMode) {
        return true;
    }
    ShowTemplateError(ui, u"Unable to find a charset definition inside the template file :\n",
                      templatePath, u"\nMaybe is it an invalid html file ?");
    return false;
}

bool ExportStep4Next(CExportOptions& options, IUiServices& ui, CAppSettings& settings) {
    settings.WriteString(kConfigSection, kKeyHtmlFileTitle, options.title);
    settings.WriteString(kConfigSection, options.textMode ? kKeyTxtTemplate : kKeyHtmlTemplate,
                         options.templatePath);
    if (!ResolveTemplateCodePage(options.templatePath, options.charsetMode, options.textMode, ui,
                                 options.codePage)) {
        return false;
    }
    settings.WriteInt(kConfigSection, kKeyExportSortBy, options.sortBy);
    settings.WriteInt(kConfigSection, kKeyExportSortOrder, options.sortOrder);
    settings.WriteInt(kConfigSection, kKeyHtmlCharset, static_cast<int>(options.codePage));
    settings.WriteInt(kConfigSection, kKeyHtmlCharsetMode, options.charsetMode);
    return true;
}

// ---------------------------------------------------------------------------------------
// Dispatch

bool RunExport(CExportSession& session, const CExportRun& run) {
    session.SetFileTimes(run.fileTimes);
    switch (run.format) {
        case FormatEml:
            return ExportEml(session, run.folder);
        case FormatAttachments:
            ExportAttachments(session, run.folder);
            return true;
        case FormatHtmlAllInOne:
        case FormatTextAllInOne: {
            CAllInOneRequest request;
            request.templatePath = run.options.templatePath;
            request.sortBy = run.options.sortBy;
            request.sortOrder = run.options.sortOrder;
            request.outputFile = run.file;
            request.title = run.options.title;
            request.codePage = run.options.codePage;
            request.textOutput = run.format == FormatTextAllInOne;
            return ExportAllInOne(session, request);
        }
        case FormatHtmlThreads: {
            CThreadExportRequest request;
            request.folder = run.folder;
            request.templatePath = run.options.templatePath;
            request.sortBy = run.options.sortBy;
            request.ascending = run.options.sortOrder == 0;
            request.codePage = run.options.codePage;
            return ExportThreads(session, request);
        }
        case FormatMbox: {
            CMboxRequest request;
            request.outputFile = run.file;
            return ExportMbox(session, request);
        }
        default:
            return false;
    }
}

bool RunExportCommand(CExportSession& session, const CExportCommand& command) {
    const CExportFormatInfo* info = FindExportFormat(command.format);
    if (info == nullptr) {
        session.Ui().MessageBox(u"Please select a file format or a behavior in the list.", kAppName,
                                MsgIcon::None, MsgButtons::Ok);
        return false;
    }
    if (RefuseBlankDestination(command.destination, info->destination, session.Ui())) {
        return false;
    }
    ExportStep1Next(session.Emails(), command.rows.empty() ? SelectionAll : SelectionRows,
                    command.rows);

    CExportRun run;
    run.format = command.format;
    run.fileTimes = command.fileTimes;
    if (info->destination == ExportDestination::Folder) {
        run.folder = NormalizeOutputFolder(command.destination);
        if (!FolderExists(run.folder) && !CreateFolder(run.folder)) {
            ShowCreateFolderError(session.Ui(), run.folder);
            return false;
        }
    } else {
        run.file = command.destination;
    }

    if (info->hasOptionsStep) {
        CExportOptions& options = run.options;
        options.textMode = info->textTemplate;
        options.templatePath = command.templatePath;
        if (options.templatePath.empty()) {
            options.templatePath =
                info->textTemplate ? DefaultTxtTemplate() : DefaultHtmlTemplate();
        }
        options.title = command.title.empty() ? TitleFromDbxPath(command.dbxPath) : command.title;
        options.sortBy = command.sortBy;
        options.sortOrder = command.sortOrder;
        options.charsetMode = command.codePage == 0 ? 0 : 1;
        options.codePage = command.codePage == 0 ? kDefaultHtmlCharset : command.codePage;
        if (!ResolveTemplateCodePage(options.templatePath, options.charsetMode, options.textMode,
                                     session.Ui(), options.codePage)) {
            return false;
        }
    }
    return RunExport(session, run);
}
