// Attachment export: the wizard format "All attached files" and the "Save Attachments"
// command. For each message every part that carries a file name is saved to the folder
// (a taken name gets "(2)", "(3)"... before its extension); a message that also has parts
// without a name gives the uuencoded file found in its plain text, once per message.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

class CAppSettings;
class CEmailDBX;
class CExportSession;

// The files saved for one message (0 for a null entry or an unreadable message). An
// empty attached file counts as saved and creates no file.
std::int32_t SaveAttachments(CExportSession& session, const CEmailDBX* entry,
                             std::u16string_view folder);

// The wizard's loop over the entries marked m_bSelected, with its progress window and
// the final "%i attached file(s) exported." notice; returns the files saved.
std::int32_t ExportAttachments(CExportSession& session, std::u16string_view folder);

// The command's loop over the given list rows (m_bSelected is ignored), with the same
// progress window and notice; rows without an entry are skipped.
std::int32_t SaveAttachmentsOfRows(CExportSession& session, std::span<const std::int32_t> rows,
                                   std::u16string_view folder);

// Asks for a folder, starting from the given one; nullopt when the user cancelled or the
// choice has no file-system path.
using FolderChooser = std::function<std::optional<std::u16string>(std::u16string_view current)>;

// The whole "Save Attachments" command, so that a window only has to supply the folder
// browser: with no row, "Please select one or more message..." and nothing else;
// otherwise the chooser opens on LastFolderOut, the choice (given a trailing '/') is
// stored there and the rows' attachments are saved into it. Returns the files saved, or
// nullopt when the command stopped before saving.
std::optional<std::int32_t> RunSaveAttachmentsCommand(CExportSession& session,
                                                      CAppSettings& settings,
                                                      std::span<const std::int32_t> rows,
                                                      const FolderChooser& chooseFolder);

// "%i attached file(s) exported."
[[nodiscard]] std::u16string AttachedFilesSummaryText(std::int32_t files);
