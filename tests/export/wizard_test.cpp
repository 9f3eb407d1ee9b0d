#include "export/export_wizard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "export/export_settings.h"
#include "export_files_fixture.h"
#include "mime/charset.h"
#include "platform/code_page.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;

using exportfiles::ExportFilesTest;
using exportfiles::Listing;
using exportfiles::Raw;
using exportfiles::ReadFile;
using exportfiles::WriteFile;

constexpr char16_t kNoFormat[] = u"Please select a file format or a behavior in the list.";

std::u16string Wide(const fs::path& path) {
    return path.u16string();
}

// ---------------------------------------------------------------------------------------
// Folder helpers

using FoldersTest = ExportFilesTest;

TEST_F(FoldersTest, FolderExists) {
    WriteFile(temp.Path("file.txt"), "x");
    EXPECT_TRUE(FolderExists(Wide(out)));
    EXPECT_TRUE(FolderExists(Folder())) << "with its trailing separator";
    EXPECT_FALSE(FolderExists(u""));
    EXPECT_FALSE(FolderExists(temp.WidePath("file.txt")));
    EXPECT_FALSE(FolderExists(temp.WidePath("nothing")));
}

TEST_F(FoldersTest, CreateFolderMakesParentsAndAcceptsAnExistingOne) {
    const fs::path deep = temp.Path("a") / "b" / "c";
    EXPECT_TRUE(CreateFolder(Wide(deep) + u"/"));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(CreateFolder(Wide(deep))) << "already there is fine";
    EXPECT_FALSE(CreateFolder(u"")) << "too short";
    EXPECT_FALSE(CreateFolder(u"x")) << "too short";
    EXPECT_FALSE(fs::exists("x"));
}

TEST_F(FoldersTest, CreateFolderFailsWhereAFileIsInTheWayOrThePathIsTooLong) {
    WriteFile(temp.Path("taken"), "x");
    EXPECT_FALSE(CreateFolder(temp.WidePath("taken")));
    EXPECT_FALSE(CreateFolder(temp.WidePath("taken") + u"/sub"));
    const std::u16string tooLong = temp.WidePath("") + std::u16string(kMaxFolderPathUnits, u'd');
    EXPECT_FALSE(CreateFolder(tooLong));
}

TEST_F(FoldersTest, IsFolderEmpty) {
    EXPECT_TRUE(IsFolderEmpty(u""));
    EXPECT_TRUE(IsFolderEmpty(Folder()));
    fs::create_directory(out / "sub");
    EXPECT_FALSE(IsFolderEmpty(Folder())) << "a sub-folder is an entry";
    EXPECT_TRUE(IsFolderEmpty(Wide(out / "sub")));
    WriteFile(out / "sub" / ".hidden", "x");
    EXPECT_FALSE(IsFolderEmpty(Wide(out / "sub")));
}

// ---------------------------------------------------------------------------------------
// Formats and settings model

TEST(ExportSettingsTest, CommandLineNamesFindTheirFormatsInAnyCase) {
    std::set<std::string_view> names;
    for (const CExportFormatInfo& format : WizardExportFormats()) {
        ASSERT_FALSE(format.cliName.empty()) << format.code;
        EXPECT_TRUE(names.insert(format.cliName).second) << format.cliName;
        EXPECT_EQ(FindExportFormatByCliName(format.cliName), &format);
        std::string upper(format.cliName);
        for (char& c : upper) {
            c = AsciiUpper(c);
        }
        EXPECT_EQ(FindExportFormatByCliName(upper), &format) << upper;
    }
    EXPECT_EQ(names.size(), 6u);
    EXPECT_EQ(FindExportFormatByCliName("html-thread"), nullptr);
    EXPECT_EQ(FindExportFormatByCliName("emlx"), nullptr);
    EXPECT_EQ(FindExportFormatByCliName(""), nullptr);
    EXPECT_EQ(FindExportFormatByCliName("text")->code, FormatTextAllInOne);
    EXPECT_EQ(FindExportFormatByCliName("Mbox")->code, FormatMbox);
}

TEST(ExportSettingsTest, ListedFormatsInOrderAndTheTextVariant) {
    const auto formats = ListedExportFormats();
    ASSERT_EQ(formats.size(), 4u);
    EXPECT_EQ(formats[0].code, FormatEml);
    EXPECT_EQ(std::u16string(formats[0].listText), u"EML generic text file, one email per file");
    EXPECT_EQ(formats[1].code, FormatAttachments);
    EXPECT_EQ(std::u16string(formats[1].listText), u"All attached files");
    EXPECT_EQ(formats[2].code, FormatHtmlAllInOne);
    EXPECT_EQ(std::u16string(formats[2].listText), u"HTML File, all emails in one html file");
    EXPECT_EQ(formats[3].code, FormatHtmlThreads);
    EXPECT_EQ(std::u16string(formats[3].listText), u"HTML File, one thread per html file");

    const ExportDestination expected[] = {ExportDestination::Folder, ExportDestination::Folder,
                                          ExportDestination::File, ExportDestination::Folder};
    const bool options[] = {false, false, true, true};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(formats[i].destination, expected[i]) << i;
        EXPECT_EQ(formats[i].hasOptionsStep, options[i]) << i;
        EXPECT_FALSE(formats[i].textTemplate) << i;
    }

    const CExportFormatInfo* text = FindExportFormat(FormatTextAllInOne);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->destination, ExportDestination::File);
    EXPECT_TRUE(text->textTemplate);
    EXPECT_EQ(std::u16string(text->fileFilter), u"Text File (*.txt)|*.txt|All Files (*.*)|*.*||");
    EXPECT_EQ(FindExportFormat(3), nullptr);
    EXPECT_EQ(FindExportFormat(0), nullptr);
}

TEST(ExportSettingsTest, FirstStartGivesTheDefaults) {
    CMemorySettings empty;
    const CExportConfig config = CExportConfig::Load(empty);
    EXPECT_EQ(config.format, 1);
    EXPECT_EQ(config.lastFolderOut, u"");
    EXPECT_EQ(config.lastFileOut, u"");
    EXPECT_EQ(config.htmlTemplate, GetModuleFolder() + u"Templates/html_style1.html");
    EXPECT_EQ(config.txtTemplate, GetModuleFolder() + u"Templates/simple_text_file.txt");
    EXPECT_EQ(config.sortBy, 1);
    EXPECT_EQ(config.sortOrder, 0);
    EXPECT_EQ(config.htmlCharset, 28591u);
    EXPECT_EQ(config.htmlCharsetMode, 0);
    EXPECT_EQ(empty.WriteCount(), 0);
}

TEST(ExportSettingsTest, StoredValuesAreRead) {
    CMemorySettings s;
    s.WriteInt(u"Config", u"Format", 11);
    s.WriteString(u"Config", u"LastFolderOut", u"/f/");
    s.WriteString(u"Config", u"LastFileOut", u"/f/out.html");
    s.WriteString(u"Config", u"HtmlTemplate", u"/t/a.html");
    s.WriteString(u"Config", u"TxtTemplate", u"/t/a.txt");
    s.WriteInt(u"Config", u"ExportSortBy", 0);
    s.WriteInt(u"Config", u"ExportSortOrder", 1);
    s.WriteInt(u"Config", u"HtmlCharset", 1252);
    s.WriteInt(u"Config", u"HtmlCharsetMode", 1);
    const CExportConfig c = CExportConfig::Load(s);
    EXPECT_EQ(c.format, 11);
    EXPECT_EQ(c.lastFolderOut, u"/f/");
    EXPECT_EQ(c.lastFileOut, u"/f/out.html");
    EXPECT_EQ(c.htmlTemplate, u"/t/a.html");
    EXPECT_EQ(c.txtTemplate, u"/t/a.txt");
    EXPECT_EQ(c.sortBy, 0);
    EXPECT_EQ(c.sortOrder, 1);
    EXPECT_EQ(c.htmlCharset, 1252u);
    EXPECT_EQ(c.htmlCharsetMode, 1);
}

// ---------------------------------------------------------------------------------------
// Steps 1 and 2

using WizardTest = ExportFilesTest;

TEST_F(WizardTest, NoEmailToExport) {
    EXPECT_FALSE(CheckExportHasEmails(0, ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              u"There is no email to export.\nPlease load first an Outlook Express DBX file.");
    EXPECT_EQ(ui.messages[0].caption, u"Info");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_TRUE(CheckExportHasEmails(3, ui));
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(WizardTest, Step1OffersOnlyAllWithoutSelectedRows) {
    const CExportStep1View none = InitExportStep1(12, 0);
    EXPECT_FALSE(none.selectedEnabled);
    EXPECT_EQ(none.mode, SelectionAll);
    EXPECT_EQ(none.selectedText, u"Export selected emails (0 emails selected)");
    EXPECT_EQ(none.allText, u"Export all emails (12 emails)");

    const CExportStep1View some = InitExportStep1(12, 2);
    EXPECT_TRUE(some.selectedEnabled);
    EXPECT_EQ(some.mode, SelectionRows);
    EXPECT_EQ(some.selectedText, u"Export selected emails (2 emails selected)");
}

TEST_F(WizardTest, Step1MarksAllOrExactlyTheRows) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n"), Raw("Subject: b\r\n\r\n2\r\n"),
                 Raw("Subject: c\r\n\r\n3\r\n")});
    const auto marks = [&] {
        std::vector<bool> v;
        for (const CEmailDBX* e : dbx.GetEmails().Items())
            v.push_back(e->m_bSelected);
        return v;
    };
    const std::vector<std::int32_t> rows = {2, 9, -4};
    ExportStep1Next(dbx.GetEmails(), SelectionRows, rows);
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, true}));
    ExportStep1Next(dbx.GetEmails(), SelectionAll, rows);
    EXPECT_EQ(marks(), (std::vector<bool>{true, true, true}));
}

TEST_F(WizardTest, Step2SelectsTheStoredFormat) {
    EXPECT_EQ(InitExportStep2(settings).selectedIndex, 0) << "default: EML";
    settings.WriteInt(kConfigSection, kKeyFormat, 11);
    EXPECT_EQ(InitExportStep2(settings).selectedIndex, 3);
    for (const int unknown : {22, 0, 5, -1}) {
        settings.WriteInt(kConfigSection, kKeyFormat, unknown);
        EXPECT_EQ(InitExportStep2(settings).selectedIndex, -1) << unknown;
    }
}

TEST_F(WizardTest, Step2NextWantsAChoiceAndStoresIt) {
    std::int32_t format = -7;
    EXPECT_FALSE(ExportStep2Next(-1, ui, settings, format));
    EXPECT_FALSE(ExportStep2Next(4, ui, settings, format));
    EXPECT_EQ(format, -7);
    EXPECT_FALSE(settings.Has(kConfigSection, kKeyFormat));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, kNoFormat);
    EXPECT_EQ(ui.messages[0].caption, u"Korvane Quillbox");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::None);

    EXPECT_TRUE(ExportStep2Next(2, ui, settings, format));
    EXPECT_EQ(format, FormatHtmlAllInOne);
    EXPECT_EQ(settings.IntValue(kConfigSection, kKeyFormat), 12);
}

TEST_F(WizardTest, Step2WithTheTextVariantListsItFifth) {
    const auto formats = WizardExportFormats();
    ASSERT_EQ(formats.size(), 6u);  // mbox follows the text variant
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(formats[i].code, ListedExportFormats()[i].code) << i;
    }
    EXPECT_EQ(formats[4].code, FormatTextAllInOne);
    EXPECT_EQ(std::u16string(formats[4].listText), u"Text File, all emails in one text file");

    settings.WriteInt(kConfigSection, kKeyFormat, 22);
    EXPECT_EQ(InitExportStep2(settings, formats).selectedIndex, 4);
    settings.WriteInt(kConfigSection, kKeyFormat, 99);
    EXPECT_EQ(InitExportStep2(settings, formats).selectedIndex, -1);

    std::int32_t format = 0;
    EXPECT_FALSE(ExportStep2Next(6, ui, settings, format, formats));
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ExportStep2Next(4, ui, settings, format, formats));
    EXPECT_EQ(format, FormatTextAllInOne);
    EXPECT_EQ(settings.IntValue(kConfigSection, kKeyFormat), 22);
}

// ---------------------------------------------------------------------------------------
// Step 3

TEST_F(WizardTest, Step3ShowsTheRememberedFileOrFolder) {
    settings.WriteString(kConfigSection, kKeyLastFolderOut, u"/d/");
    settings.WriteString(kConfigSection, kKeyLastFileOut, u"/d/f.html");
    for (const int folderFormat : {1, 2, 11}) {
        const CExportStep3View v = InitExportStep3(folderFormat, settings);
        EXPECT_EQ(v.destination, ExportDestination::Folder);
        EXPECT_EQ(v.label, u"Select the destination folder :");
        EXPECT_EQ(v.path, u"/d/");
    }
    const CExportStep3View html = InitExportStep3(12, settings);
    EXPECT_EQ(html.destination, ExportDestination::File);
    EXPECT_EQ(html.label, u"Select the destination file :");
    EXPECT_EQ(html.path, u"/d/f.html");
    EXPECT_EQ(html.fileFilter, u"HTML File (*.html)|*.html|All Files (*.*)|*.*||");
    EXPECT_EQ(InitExportStep3(22, settings).fileFilter,
              u"Text File (*.txt)|*.txt|All Files (*.*)|*.*||");
}

TEST_F(WizardTest, Step3ViewHoldsBothRememberedDestinations) {
    settings.WriteString(kConfigSection, kKeyLastFolderOut, u"/d/");
    settings.WriteString(kConfigSection, kKeyLastFileOut, u"/d/f.html");
    for (const int format : {FormatEml, FormatHtmlAllInOne}) {
        const CExportStep3View v = InitExportStep3(format, settings);
        EXPECT_EQ(v.folderPath, u"/d/");
        EXPECT_EQ(v.filePath, u"/d/f.html");
    }
}

TEST_F(WizardTest, Step3FileIsStoredUnchecked) {
    EXPECT_TRUE(ExportStep3NextFile(u"/no/such/place.html", ui, settings));
    EXPECT_EQ(settings.StringValue(kConfigSection, kKeyLastFileOut), u"/no/such/place.html");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(WizardTest, Step3RefusesABlankDestination) {
    // Empty or blank must not become "/" (folder) or an unnamed file; nothing is stored.
    for (const std::u16string typed : {u"", u"   ", u" \t "}) {
        ui.messages.clear();
        std::u16string folder = u"unchanged";
        EXPECT_FALSE(ExportStep3NextFolder(typed, ui, settings, folder));
        EXPECT_FALSE(ExportStep3NextFile(typed, ui, settings));
        EXPECT_EQ(folder, u"unchanged");
        ASSERT_EQ(ui.messages.size(), 2u);
        EXPECT_EQ(ui.messages[0].text, u"Please choose an output folder.");
        EXPECT_EQ(ui.messages[0].caption, u"Output folder");
        EXPECT_EQ(ui.messages[1].text, u"Please choose an output file.");
        EXPECT_EQ(ui.messages[1].caption, u"Output file");
        for (const RecordedMessageBox& box : ui.messages) {
            EXPECT_EQ(box.icon, MsgIcon::Warning);
            EXPECT_EQ(box.buttons, MsgButtons::Ok);
        }
    }
    EXPECT_FALSE(settings.Has(kConfigSection, kKeyLastFolderOut));
    EXPECT_FALSE(settings.Has(kConfigSection, kKeyLastFileOut));
    EXPECT_EQ(ui.DefaultAnswersUsed(), 0) << "no question asked";
}

TEST_F(FoldersTest, DialogsStartAtTheFieldThenTheLastFolderThenHome) {
    const std::u16string last = temp.WidePath("last");
    CreateFolder(last);
    WriteFile(out / "t.html", "x");
    EXPECT_EQ(DialogStartFolder(Folder(), last), Folder());
    EXPECT_EQ(DialogStartFolder(Wide(out / "t.html"), last), Folder()) << "a file's folder";
    EXPECT_EQ(DialogStartFolder(Wide(out / "new.html"), last), Folder()) << "a file to be";
    EXPECT_EQ(DialogStartFolder(temp.WidePath("gone") + u"/deeper/", last), last);
    EXPECT_EQ(DialogStartFolder(u"/nowhere-at-all", last), last) << "never its root";
    EXPECT_EQ(DialogStartFolder(u"  ", last), last);

    const char* savedHome = std::getenv("HOME");
    const std::string restore = savedHome != nullptr ? savedHome : "";
    setenv("HOME", temp.Path("home").c_str(), 1);
    CreateFolder(temp.WidePath("home"));
    EXPECT_EQ(DialogStartFolder(u"", u""), temp.WidePath("home"));
    EXPECT_EQ(DialogStartFolder(u"", temp.WidePath("removed")), temp.WidePath("home"));
    setenv("HOME", "/no/such/home", 1);
    EXPECT_EQ(DialogStartFolder(u"", u""), u"") << "no home: the dialog's own choice, not /";
    if (savedHome != nullptr)
        setenv("HOME", restore.c_str(), 1);
    else
        unsetenv("HOME");
}

TEST_F(WizardTest, Step3TrailingSeparatorsCollapseToOne) {
    EXPECT_EQ(NormalizeOutputFolder(u"/a/out//"), u"/a/out/");
    EXPECT_EQ(NormalizeOutputFolder(u"/a/out\\\\"), u"/a/out/");
    EXPECT_EQ(NormalizeOutputFolder(u"/a/out/\\/"), u"/a/out/");
    EXPECT_EQ(NormalizeOutputFolder(u"/a/out"), u"/a/out/");

    std::u16string folder;
    EXPECT_TRUE(ExportStep3NextFolder(Wide(out) + u"//", ui, settings, folder));
    EXPECT_EQ(folder, Folder());
    EXPECT_EQ(settings.StringValue(kConfigSection, kKeyLastFolderOut), Folder());
    EXPECT_TRUE(ui.messages.empty()) << "an existing empty folder asks nothing";
}

TEST_F(WizardTest, Step3MissingFolderAnsweredNoOrCancelStays) {
    const std::u16string typed = temp.WidePath("new") + u"/";
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Cancel}) {
        ui.messages.clear();
        ui.QueueAnswer(answer);
        std::u16string folder;
        EXPECT_FALSE(ExportStep3NextFolder(typed, ui, settings, folder));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text,
                  u"The output folder '" + typed + u"' doesn't exist. Do you want to create it?");
        EXPECT_EQ(ui.messages[0].caption, u"Output folder");
        EXPECT_EQ(ui.messages[0].icon, MsgIcon::Question);
        EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNoCancel);
        EXPECT_FALSE(fs::exists(temp.Path("new")));
        EXPECT_FALSE(settings.Has(kConfigSection, kKeyLastFolderOut));
    }
    EXPECT_EQ(ui.DefaultAnswersUsed(), 0);
}

TEST_F(WizardTest, Step3MissingFolderAnsweredYesIsCreated) {
    const std::u16string typed = temp.WidePath("new") + u"/deeper\\";
    ui.QueueAnswer(MsgAnswer::Yes);
    std::u16string folder;
    EXPECT_TRUE(ExportStep3NextFolder(typed, ui, settings, folder));
    EXPECT_EQ(folder, temp.WidePath("new") + u"/deeper/");
    EXPECT_TRUE(fs::is_directory(temp.Path("new") / "deeper"));
    EXPECT_EQ(ui.messages.size(), 1u) << "a new folder is empty: no second question";
    EXPECT_EQ(settings.StringValue(kConfigSection, kKeyLastFolderOut), folder);
}

TEST_F(WizardTest, Step3FolderThatCannotBeCreated) {
    WriteFile(temp.Path("taken"), "x");
    const std::u16string typed = temp.WidePath("taken") + u"/sub";
    ui.QueueAnswer(MsgAnswer::Yes);
    std::u16string folder;
    EXPECT_FALSE(ExportStep3NextFolder(typed, ui, settings, folder));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text,
              u"Error: Unable to create the output folder '" + typed +
                  u"/'\n(Invalid characters like \\ / * < > | ?, or disk full?).\nPlease "
                  u"select another destination.");
    EXPECT_EQ(ui.messages[1].caption, u"Output folder");
    EXPECT_EQ(ui.messages[1].icon, MsgIcon::Error);
    EXPECT_FALSE(settings.Has(kConfigSection, kKeyLastFolderOut));
}

TEST_F(WizardTest, Step3FolderHoldingOnlyASubFolderAsksBeforeUse) {
    fs::create_directory(out / "sub");
    std::u16string folder;
    ui.QueueAnswer(MsgAnswer::No);
    EXPECT_FALSE(ExportStep3NextFolder(Folder(), ui, settings, folder));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              u"The output folder '" + Folder() + u"' is not empty. Do you want to continue?");
    EXPECT_EQ(ui.messages[0].caption, u"Output folder");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_FALSE(settings.Has(kConfigSection, kKeyLastFolderOut));

    ui.QueueAnswer(MsgAnswer::Yes);
    EXPECT_TRUE(ExportStep3NextFolder(Folder(), ui, settings, folder));
    EXPECT_EQ(settings.StringValue(kConfigSection, kKeyLastFolderOut), Folder());
}

// ---------------------------------------------------------------------------------------
// Step 4

class WizardStep4Test : public ExportFilesTest {
protected:
    std::u16string Template(std::string_view name, std::string_view text) {
        WriteFile(temp.Path(name), text);
        return temp.WidePath(name);
    }
    CExportOptions Options(std::u16string templatePath, std::int32_t charsetMode = 0) {
        CExportOptions o;
        o.title = u"My title";
        o.templatePath = std::move(templatePath);
        o.sortBy = 0;
        o.sortOrder = 1;
        o.codePage = 1252;
        o.charsetMode = charsetMode;
        return o;
    }
};

TEST_F(WizardStep4Test, TitleFromTheDbxFileName) {
    EXPECT_EQ(TitleFromDbxPath(u"/home/u/mail/Inbox.dbx"), u"Inbox");
    EXPECT_EQ(TitleFromDbxPath(u"/home/u/my.old.box.dbx"), u"my.old.box");
    EXPECT_EQ(TitleFromDbxPath(u"/home/u.d/Sent"), u"Sent");
    EXPECT_EQ(TitleFromDbxPath(u"/home/u/.dbx"), u"Title");
    EXPECT_EQ(TitleFromDbxPath(u""), u"Title");
}

TEST_F(WizardStep4Test, InitTakesTheStoredTemplateOrFallsBack) {
    const std::u16string mine = Template("mine.html", "<meta charset=\"utf-8\">");
    settings.WriteString(kConfigSection, kKeyHtmlTemplate, mine);
    settings.WriteInt(kConfigSection, kKeyExportSortBy, 0);
    settings.WriteInt(kConfigSection, kKeyExportSortOrder, 1);
    settings.WriteInt(kConfigSection, kKeyHtmlCharset, 1250);
    settings.WriteInt(kConfigSection, kKeyHtmlCharsetMode, 3);
    const CExportOptions o = InitExportStep4(false, u"/m/Inbox.dbx", settings);
    EXPECT_EQ(o.title, u"Inbox");
    EXPECT_EQ(o.templatePath, mine);
    EXPECT_EQ(o.sortBy, 0);
    EXPECT_EQ(o.sortOrder, 1);
    EXPECT_EQ(o.codePage, 1250u);
    EXPECT_EQ(o.charsetMode, 3);
    EXPECT_FALSE(o.textMode);

    for (const std::u16string& stored : {std::u16string(), temp.WidePath("gone.html"), Wide(out)}) {
        settings.WriteString(kConfigSection, kKeyHtmlTemplate, stored);
        EXPECT_EQ(InitExportStep4(false, u"", settings).templatePath, DefaultHtmlTemplate());
    }
    settings.WriteString(kConfigSection, kKeyTxtTemplate, u"");
    const CExportOptions text = InitExportStep4(true, u"", settings);
    EXPECT_TRUE(text.textMode);
    EXPECT_EQ(text.templatePath, DefaultTxtTemplate());
    EXPECT_EQ(text.title, u"Title");
}

TEST_F(WizardStep4Test, NextTakesTheTemplateCharsetAndStoresEverything) {
    CExportOptions o = Options(Template("t.html", "<html><meta charset=\"utf-8\">x</html>"));
    EXPECT_TRUE(ExportStep4Next(o, ui, settings));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(o.codePage, 65001u);
    EXPECT_EQ(settings.StringValue(kConfigSection, kKeyHtmlFileTitle), u"My title");
    EXPECT_EQ(settings.StringValue(kConfigSection, kKeyHtmlTemplate), o.templatePath);
    EXPECT_EQ(settings.IntValue(kConfigSection, kKeyExportSortBy), 0);
    EXPECT_EQ(settings.IntValue(kConfigSection, kKeyExportSortOrder), 1);
    EXPECT_EQ(settings.IntValue(kConfigSection, kKeyHtmlCharset), 65001);
    EXPECT_EQ(settings.IntValue(kConfigSection, kKeyHtmlCharsetMode), 0);
}

TEST_F(WizardStep4Test, MissingTemplateIsRefusedButItsPathIsStored) {
    for (const std::u16string& path : {temp.WidePath("typo.html"), Wide(out), std::u16string()}) {
        ui.messages.clear();
        CExportOptions o = Options(path);
        EXPECT_FALSE(ExportStep4Next(o, ui, settings));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, u"The template file doesn't exist or is corrupted :\n" +
                                           path + u"\nPlease select another template.");
        EXPECT_EQ(ui.messages[0].caption, u"Error");
        EXPECT_EQ(ui.messages[0].icon, MsgIcon::Error);
        EXPECT_EQ(settings.StringValue(kConfigSection, kKeyHtmlTemplate), path);
        EXPECT_FALSE(settings.Has(kConfigSection, kKeyExportSortBy)) << "not stored on refusal";
    }
}

TEST_F(WizardStep4Test, TemplateWithoutCharsetNeedsCharsetModeOtherThanZero) {
    const std::u16string path = Template("plain.html", "<html><body>%%%Body%%%</body></html>");
    CExportOptions o = Options(path);
    EXPECT_FALSE(ExportStep4Next(o, ui, settings));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              u"Unable to find a charset definition inside the template file :\n" + path +
                  u"\nMaybe is it an invalid html file ?");
    EXPECT_EQ(ui.messages[0].caption, u"Error");
    EXPECT_EQ(o.codePage, 1252u);

    ui.messages.clear();
    CExportOptions forced = Options(path, 1);
    EXPECT_TRUE(ExportStep4Next(forced, ui, settings));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(forced.codePage, 1252u) << "the stored code page is used as it is";
    EXPECT_EQ(settings.IntValue(kConfigSection, kKeyHtmlCharsetMode), 1);
}

TEST_F(WizardStep4Test, CharsetAfterAZeroByteIsNotSeen) {
    const std::u16string path =
        Template("zero.html", std::string("<html>\0<meta charset=\"utf-8\">", 30));
    CExportOptions o = Options(path);
    EXPECT_FALSE(ExportStep4Next(o, ui, settings));
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(WizardStep4Test, EmptyTemplateIsUnreadable) {
    const std::u16string path = Template("empty.html", "");
    CExportOptions o = Options(path);
    EXPECT_FALSE(ExportStep4Next(o, ui, settings));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, u"Unable to read the template file :\n" + path +
                                       u"\nMaybe is it corrupted or already open ?\nPlease "
                                       u"select another template.");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Error);

    ui.messages.clear();
    CExportOptions forced = Options(path, 1);
    EXPECT_TRUE(ExportStep4Next(forced, ui, settings)) << "mode 1 does not read the template";
}

TEST_F(WizardStep4Test, TextModeUsesTxtTemplateAndKeepsTheCodePage) {
    const std::u16string path = Template("t.txt", "%%%Subject%%%\n");
    CExportOptions o = Options(path);
    o.textMode = true;
    EXPECT_TRUE(ExportStep4Next(o, ui, settings));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(o.codePage, 1252u);
    EXPECT_EQ(settings.StringValue(kConfigSection, kKeyTxtTemplate), path);
    EXPECT_FALSE(settings.Has(kConfigSection, kKeyHtmlTemplate));

    CExportOptions declared = Options(Template("d.txt", "charset=utf-8;\n"));
    declared.textMode = true;
    EXPECT_TRUE(ExportStep4Next(declared, ui, settings));
    EXPECT_EQ(declared.codePage, 65001u);
}

// ---------------------------------------------------------------------------------------
// Two runs, dispatch, command line

TEST_F(WizardTest, SecondRunStartsFromTheChoicesOfTheFirst) {
    std::int32_t format = 0;
    ASSERT_TRUE(ExportStep2Next(3, ui, settings, format));
    std::u16string folder;
    ASSERT_TRUE(ExportStep3NextFolder(Wide(out), ui, settings, folder));
    ASSERT_TRUE(ExportStep3NextFile(u"/x/all.html", ui, settings));

    const CExportStep2View step2 = InitExportStep2(settings);
    EXPECT_EQ(step2.formats[std::size_t(step2.selectedIndex)].code, FormatHtmlThreads);
    EXPECT_EQ(InitExportStep3(FormatHtmlThreads, settings).path, Folder());
    EXPECT_EQ(InitExportStep3(FormatHtmlAllInOne, settings).path, u"/x/all.html");
}

TEST_F(WizardTest, DispatchRunsTheChosenFormat) {
    OpenMailbox({Raw("Subject: a\r\n\r\nbegin-less\r\n")});
    CExportRun run;
    run.format = FormatEml;
    run.folder = Folder();
    EXPECT_TRUE(RunExport(session, run));
    EXPECT_EQ(Listing(out), (std::set<std::string>{"[1]a.eml"}));

    run.format = FormatAttachments;
    EXPECT_TRUE(RunExport(session, run));
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::u16string>{u"0 attached file(s) exported."}));

    run.format = 23;
    EXPECT_FALSE(RunExport(session, run));
}

TEST_F(WizardTest, DispatchAllInOneWritesTheFile) {
    OpenMailbox({Raw("Subject: a\r\n\r\nbody\r\n")});
    WriteFile(temp.Path("t.html"), "<html><meta charset=\"utf-8\"><p>static</p></html>");
    CExportRun run;
    run.format = FormatHtmlAllInOne;
    run.file = Wide(out / "all.html");
    run.options.templatePath = temp.WidePath("t.html");
    run.options.codePage = 65001;
    EXPECT_TRUE(RunExport(session, run));
    EXPECT_TRUE(fs::exists(out / "all.html"));
}

TEST_F(WizardTest, CommandCreatesTheFolderAndExportsTheRows) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n"), Raw("Subject: b\r\n\r\n2\r\n")});
    CExportCommand command;
    command.format = FormatEml;
    command.destination = Wide(out / "x" / "y") + u"//";
    command.rows = {1};
    EXPECT_TRUE(RunExportCommand(session, command));
    EXPECT_EQ(Listing(out / "x" / "y"), (std::set<std::string>{"[2]b.eml"}));
    EXPECT_TRUE(ui.messages.empty()) << "no questions on the command line";

    command.rows.clear();
    command.destination = Wide(out / "all");
    EXPECT_TRUE(RunExportCommand(session, command));
    EXPECT_EQ(Listing(out / "all"), (std::set<std::string>{"[1]a.eml", "[2]b.eml"}));
}

TEST_F(WizardTest, CommandReportsUnknownFormatsFoldersAndTemplates) {
    OpenMailbox({Raw("Subject: a\r\n\r\n1\r\n")});
    CExportCommand command;
    command.format = 3;
    command.destination = Folder();
    EXPECT_FALSE(RunExportCommand(session, command));
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::u16string>{kNoFormat}));

    ui.messages.clear();
    WriteFile(temp.Path("file"), "x");
    command.format = FormatEml;
    command.destination = temp.WidePath("file") + u"/sub";
    EXPECT_FALSE(RunExportCommand(session, command));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, u"Output folder");

    // An empty destination is refused before anything is marked or written.
    for (const std::int32_t format : {FormatEml, FormatHtmlAllInOne}) {
        ui.messages.clear();
        command.format = format;
        command.destination = u" ";
        EXPECT_FALSE(RunExportCommand(session, command));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, format == FormatEml ? u"Please choose an output folder."
                                                           : u"Please choose an output file.");
        EXPECT_EQ(ui.messages[0].icon, MsgIcon::Warning);
    }

    ui.messages.clear();
    command.format = FormatHtmlAllInOne;
    command.destination = Wide(out / "all.html");
    WriteFile(temp.Path("plain.html"), "<html>no declaration</html>");
    command.templatePath = temp.WidePath("plain.html");
    EXPECT_FALSE(RunExportCommand(session, command)) << "no charset, no code page given";
    EXPECT_FALSE(fs::exists(out / "all.html"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.rfind(u"Unable to find a charset definition", 0), 0u);
}

TEST_F(WizardTest, Step4ViewListsEachCodePageOnceAndChoosesTheRememberedLines) {
    settings.WriteInt(kConfigSection, kKeyHtmlCharset, 1252);
    settings.WriteInt(kConfigSection, kKeyExportSortBy, 1);
    settings.WriteInt(kConfigSection, kKeyExportSortOrder, 1);
    const CExportStep4View view = InitExportStep4View(false, u"/m/Inbox.dbx", settings);
    EXPECT_EQ(view.options.title, u"Inbox");
    EXPECT_EQ(view.templateFilter, kHtmlTemplateFilter);
    EXPECT_EQ(view.sortByIndex, 1);
    EXPECT_EQ(view.orderIndex, 1);

    std::set<std::uint32_t> seen;
    std::size_t rows = 0;
    for (const CCodePageChoice& choice : view.codePages) {
        EXPECT_TRUE(seen.insert(choice.codePage).second) << choice.codePage;
        ++rows;
    }
    std::set<std::uint32_t> table;
    for (const CCodePageRow& row : GetCodePageTable())
        table.insert(row.m_nCodePage);
    EXPECT_EQ(seen, table);
    EXPECT_EQ(rows, table.size());
    ASSERT_GE(view.codePageIndex, 0);
    ASSERT_LT(std::size_t(view.codePageIndex), view.codePages.size());
    const CCodePageChoice& chosen = view.codePages[std::size_t(view.codePageIndex)];
    EXPECT_EQ(chosen.codePage, 1252u);
    // The first name the table gives the code page, with its description.
    const auto first = std::find_if(GetCodePageTable().begin(), GetCodePageTable().end(),
                                    [](const CCodePageRow& r) { return r.m_nCodePage == 1252; });
    ASSERT_NE(first, GetCodePageTable().end());
    EXPECT_EQ(chosen.text, std::u16string(first->m_Description) + u" - " +
                               Utf8ToWide(first->m_Charset) + u" (1252)");
}

TEST_F(WizardTest, Step4ViewTakesOddSettingsAndUnlistedCodePages) {
    settings.WriteInt(kConfigSection, kKeyExportSortBy, 7);
    settings.WriteInt(kConfigSection, kKeyExportSortOrder, -1);
    settings.WriteInt(kConfigSection, kKeyHtmlCharset, 4242);
    CExportStep4View view = InitExportStep4View(true, u"", settings);
    EXPECT_EQ(view.templateFilter, kTextTemplateFilter);
    EXPECT_EQ(view.sortByIndex, 0);
    EXPECT_EQ(view.orderIndex, 0);
    EXPECT_EQ(view.codePageIndex, 0);
    ASSERT_FALSE(view.codePages.empty());
    EXPECT_EQ(view.codePages[0].codePage, 4242u);
    EXPECT_EQ(view.codePages[0].text, u"Code page 4242");

    // Once added, a code page is found again rather than added twice.
    const std::size_t size = view.codePages.size();
    EXPECT_EQ(SelectCodePageChoice(view.codePages, 4242), 0);
    EXPECT_EQ(view.codePages.size(), size);
    const std::int32_t utf8 = SelectCodePageChoice(view.codePages, 65001);
    ASSERT_GT(utf8, 0);
    EXPECT_EQ(view.codePages[std::size_t(utf8)].codePage, 65001u);
    EXPECT_EQ(view.codePages.size(), size);
}

}  // namespace
