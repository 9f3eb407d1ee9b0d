#include "app/command_table.h"

namespace {

constexpr CommandInfo kCommands[] = {
    {"&File", kIdFileOpen, "&Open", "Ctrl+O"},
    {"&File", kIdFileOpenStore, "Open S&tore...", "Ctrl+Shift+O"},
    {"&File", kIdExportWizard, "&Exportation Wizard", "Ctrl+E"},
    {"&File", kIdSeparator, "", ""},
    {"&File", kIdSaveAttachments, "&Save Attachments", ""},
    {"&File", kIdSeparator, "", ""},
    {"&File", kIdAppExit, "E&xit", ""},
    {"&Selection", kIdSelectAll, "&Select All", "Ctrl+A"},
    {"&Selection", kIdInvertSelection, "&Invert Selection", "Ctrl+I"},
    {"&Selection", kIdSeparator, "", ""},
    {"&Selection", kIdSelectAttachments, "Select All Emails with &Attached Files", ""},
    {"&Selection", kIdSelectHighPriority, "Select All Emails with &High Priority", ""},
    {"&Tools", kIdDetectEncoding, "&Detect Encoding", ""},
    {"&Tools", kIdCountThreads, "&Count Threads", ""},
    {"&Tools", kIdCountDuplicates, "Count D&uplicate Emails", ""},
    {"&Tools", kIdDeleteDuplicates, "&Delete Duplicate Emails", ""},
    {"&Tools", kIdSeparator, "", ""},
    {"&Tools", kIdRecoverMessages, "&Recover Messages...", ""},
    {"&View", kIdViewToolbar, "&Toolbar", ""},
    {"&View", kIdViewStatusBar, "&Status Bar", ""},
    {"&View", kIdViewEmailViewer, "&Email Viewer", ""},
    {"&Help", kIdOnlineHelp, "Online &Help", "F1"},
    {"&Help", kIdHomepage, "&Korvane Homepage", ""},
    {"&Help", kIdSeparator, "", ""},
    {"&Help", kIdRequestFeature, "&Request a new feature", ""},
    {"&Help", kIdReportBug, "Report a &bug", ""},
    {"&Help", kIdSeparator, "", ""},
    {"&Help", kIdAppAbout, "&About Korvane Quillbox...", ""},
};

constexpr CommandPrompt kPrompts[] = {
    {kIdFileOpen, "Open a file", "Open"},
    {kIdFileOpenStore, "Open a whole Outlook Express store and show its folders", "Open Store"},
    {kIdExportWizard, "Export Emails...", "Export Emails"},
    {kIdOnlineHelp, "Online Help", "Online Help"},
    {kIdAppAbout, "Display program information, version number and copyright", "About"},
    {kIdAppExit, "Quit the application; prompts to save documents", "Exit"},
    {kIdViewToolbar, "Show or hide the toolbar", "Toggle ToolBar"},
    {kIdRecoverMessages, "Scan the whole file for deleted messages and messages the index lost",
     "Recover Messages"},
    {kIdViewStatusBar, "Show or hide the status bar", "Toggle StatusBar"},
    {kIdViewEmailViewer, "Show or hide the email viewer", "Toggle Email Viewer"},
};

constexpr ToolbarButton kToolbar[] = {
    {kIdFileOpen, "Open", ":/quillbox/toolbar_open.svg"},
    {kIdExportWizard, "Export", ":/quillbox/toolbar_export.svg"},
    {kIdSeparator, "", ""},
    {kIdOnlineHelp, "Help", ":/quillbox/toolbar_help.svg"},
    {kIdAppAbout, "About", ":/quillbox/toolbar_about.svg"},
};

}  // namespace

std::span<const CommandInfo> CommandTable() {
    return kCommands;
}

std::span<const ToolbarButton> ToolbarButtons() {
    return kToolbar;
}

const CommandPrompt* FindCommandPrompt(CommandId id) {
    for (const CommandPrompt& p : kPrompts) {
        if (p.id == id) {
            return &p;
        }
    }
    return nullptr;
}
