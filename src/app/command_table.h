// The command table of the main window: every menu item in menu order, with its command id,
// shortcut, status-bar prompt and tooltip. Separators are rows with id 0. The main window
// builds its menus and toolbar from this table and routes each id to its handler.
#pragma once

#include <array>
#include <cstdint>
#include <span>

enum CommandId : std::int32_t {
    kIdSeparator = 0,
    kIdFileOpen = 57601,
    kIdFileOpenStore = 32900,
    kIdExportWizard = 32774,
    kIdSaveAttachments = 32777,
    kIdAppExit = 57665,
    kIdSelectAll = 32783,
    kIdInvertSelection = 32784,
    kIdSelectAttachments = 32809,
    kIdSelectHighPriority = 32810,
    kIdDetectEncoding = 32782,
    kIdCountThreads = 32788,
    kIdCountDuplicates = 32792,
    kIdDeleteDuplicates = 32793,
    kIdRecoverMessages = 32811,
    kIdViewToolbar = 59392,
    kIdViewStatusBar = 59393,
    kIdViewEmailViewer = 32830,
    kIdOnlineHelp = 32804,
    kIdHomepage = 32789,
    kIdRequestFeature = 32790,
    kIdReportBug = 32791,
    kIdAppAbout = 57664,
};

struct CommandInfo {
    const char* menu;      // the menu bar entry it belongs to, "&File"...
    CommandId id;          // kIdSeparator for a separator
    const char* text;      // item text with its mnemonic
    const char* shortcut;  // QKeySequence text, or empty
};

// Prompt and tooltip of the commands that have them.
struct CommandPrompt {
    CommandId id;
    const char* prompt;
    const char* tooltip;
};

// A toolbar position: a command with its button text, or a separator (id 0).
struct ToolbarButton {
    CommandId id;
    const char* text;
    const char* image;  // resource path of the 48x48 image
};

inline constexpr std::array<const char*, 5> kMenuTitles = {"&File", "&Selection", "&Tools", "&View",
                                                           "&Help"};

[[nodiscard]] std::span<const CommandInfo> CommandTable();
[[nodiscard]] std::span<const ToolbarButton> ToolbarButtons();
// Null when the command has no prompt (pane 0 is then blank while it is highlighted).
[[nodiscard]] const CommandPrompt* FindCommandPrompt(CommandId id);
