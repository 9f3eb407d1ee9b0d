// quillbox-cli: the mailbox work of the desktop app, for scripts and batches.
#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>
#include <string>

#include "cli/cli_commands.h"
#include "cli/cli_names.h"
#include "cli/cli_recover.h"
#include "cli/cli_store.h"
#include "mime/transfer_codec.h"
#include "platform/code_page.h"
#include "platform/diag_log.h"

int main(int argc, char** argv) {
    // Day names and the like follow the user's locale, as the desktop app's do.
    std::setlocale(LC_ALL, "");
    RegisterStandardCodecs();
    CLI::App app{"Korvane Quillbox: read and export Outlook Express DBX mailboxes."};
    app.name("quillbox-cli");
    app.require_subcommand(1);
    app.fallthrough();
    app.set_version_flag("--version", "quillbox-cli " QUILLBOX_VERSION);
    bool verbose = false;
    app.add_flag("--verbose", verbose, "Print the diagnostic log (damage found in the file)");

    // Every command that opens a mailbox can be told the code page its strings were
    // written in, instead of the detected one.
    const auto addMailboxCodePage = [](CLI::App* command, unsigned& codePage) {
        command
            ->add_option("--mailbox-codepage", codePage,
                         "ANSI code page the mailbox was written in (874, 932, 936, 949, 950, "
                         "1250 to 1258; default: detected)")
            ->check(CLI::Validator(
                [](const std::string& text) {
                    unsigned long value = 0;
                    try {
                        std::size_t used = 0;
                        value = std::stoul(text, &used);
                        value = used == text.size() ? value : 0;
                    } catch (const std::exception&) {
                    }
                    return IsAnsiCodePage(std::uint32_t(value)) ? std::string()
                                                                : "not an ANSI code page: " + text;
                },
                "CODEPAGE"));
    };

    ListOptions list;
    CLI::App* listCommand = app.add_subcommand("list", "List the emails of a mailbox");
    listCommand->add_option("MAILBOX", list.mailbox, "The .dbx file")->required();
    addMailboxCodePage(listCommand, list.mailboxCodePage);
    listCommand->add_flag("--json", list.json, "Print JSON instead of a table");
    listCommand->add_flag("--recover", list.recover,
                          "Scan the whole file too: deleted and unlisted messages follow");
    listCommand->add_option("--sort", list.sort,
                            "Sort by a column first: its heading (" + ColumnHeadingNames(", ") +
                                "), with :desc for descending");
    listCommand->add_option("--filter", list.filter,
                            "Only the emails whose subject, sender or recipient contain every "
                            "word, ignoring case and accents; rows keep their numbers");
    listCommand->add_flag("--body", list.body, "With --filter, also search the message text");

    ThreadsOptions threads;
    CLI::App* threadsCommand =
        app.add_subcommand("threads", "Count the conversation threads of a mailbox");
    threadsCommand->add_option("MAILBOX", threads.mailbox, "The .dbx file")->required();
    addMailboxCodePage(threadsCommand, threads.mailboxCodePage);
    threadsCommand->add_flag("--json", threads.json,
                             "Print the threads and the rows each one gathered as JSON");

    DuplicatesOptions duplicates;
    CLI::App* duplicatesCommand = app.add_subcommand(
        "duplicates", "Count the emails stored more than once (same message identifier)");
    duplicatesCommand->add_option("MAILBOX", duplicates.mailbox, "The .dbx file")->required();
    addMailboxCodePage(duplicatesCommand, duplicates.mailboxCodePage);
    duplicatesCommand->add_flag("--delete", duplicates.remove,
                                "Drop the extra copies (in memory only) and list the rest");

    ShowOptions show;
    CLI::App* showCommand = app.add_subcommand("show", "Show one email of a mailbox");
    showCommand->add_option("MAILBOX", show.mailbox, "The .dbx file")->required();
    addMailboxCodePage(showCommand, show.mailboxCodePage);
    showCommand->add_option("ROW", show.row, "Row of the email, from 0, in list order")->required();
    showCommand->add_flag(
        "--raw", show.raw,
        "Write the stored message source byte for byte, instead of the text part");
    showCommand
        ->add_flag("--message", show.message,
                   "The message as a mail client reads it: the decoded header block, the body "
                   "as text and the attached files")
        ->excludes("--raw");
    showCommand->add_flag("--recover", show.recover, "Count the rows list --recover lists");

    EncodingsOptions encodings;
    CLI::App* encodingsCommand =
        app.add_subcommand("encodings", "List the charsets the emails of a mailbox declare");
    encodingsCommand->add_option("MAILBOX", encodings.mailbox, "The .dbx file")->required();
    addMailboxCodePage(encodingsCommand, encodings.mailboxCodePage);
    encodingsCommand->add_flag("--json", encodings.json, "Print JSON instead of a table");

    ExportOptions exportOptions;
    CLI::App* exportCommand =
        app.add_subcommand("export", "Export emails of a mailbox to files or a folder");
    exportCommand->add_option("MAILBOX", exportOptions.mailbox, "The .dbx file")->required();
    addMailboxCodePage(exportCommand, exportOptions.mailboxCodePage);
    exportCommand
        ->add_option("DEST", exportOptions.destination,
                     "The output folder (" + CliFormatNames(", ", ExportDestination::Folder) +
                         "; created when missing) or file (" +
                         CliFormatNames(", ", ExportDestination::File) + ")")
        ->required();
    exportCommand->add_option("--format", exportOptions.format, CliFormatNames(" or "))->required();
    exportCommand->add_option("--rows", exportOptions.rows,
                              "Rows to export, from 0: \"0,3,5-9\" (default: every email)");
    exportCommand->add_option("--template", exportOptions.templatePath,
                              "Template file (default: the bundled one of the format)");
    exportCommand->add_option("--title", exportOptions.title,
                              "Title (default: the mailbox file name without extension)");
    exportCommand->add_option("--sort", exportOptions.sort, "none or date (default: date)");
    exportCommand->add_option("--order", exportOptions.order, "asc or desc (default: asc)");
    exportCommand->add_option("--codepage", exportOptions.codePage,
                              "Code page of the output (default: the template's charset)");
    exportCommand->add_flag("--no-file-times", exportOptions.noFileTimes,
                            "Leave the time of writing on EML, attached and per-thread files "
                            "(default: the message's date)");

    FoldersOptions folders;
    CLI::App* foldersCommand = app.add_subcommand(
        "folders", "Show the folder tree of an Outlook Express store (Folders.dbx)");
    foldersCommand
        ->add_option("STORE", folders.store,
                     "Folders.dbx, the folder holding it, or a folder above an Identities tree")
        ->required();
    foldersCommand->add_flag("--json", folders.json, "Print JSON instead of a table");

    ExportStoreOptions exportStore;
    CLI::App* exportStoreCommand = app.add_subcommand(
        "export-store", "Export every folder of a store, keeping the folder tree");
    exportStoreCommand
        ->add_option("STORE", exportStore.store,
                     "Folders.dbx, the folder holding it, or a folder above an Identities tree")
        ->required();
    exportStoreCommand
        ->add_option("DEST", exportStore.destination, "The output folder (created when missing)")
        ->required();
    exportStoreCommand->add_option("--format", exportStore.format, CliFormatNames(" or "))
        ->required();
    exportStoreCommand->add_option(
        "--layout", exportStore.layout,
        "mbox only: plain (DEST/<path>.mbox) or thunderbird (DEST/<name> and <name>.sbd/, "
        "ready for a Thunderbird profile's Mail/Local Folders/)");
    exportStoreCommand->add_flag("--no-file-times", exportStore.noFileTimes,
                                 "Leave the time of writing on EML, attached and per-thread files "
                                 "(default: the message's date)");
    exportStoreCommand->add_flag(
        "--recover", exportStore.recover,
        "Scan every folder's file too and export its deleted and unlisted messages");

    exportCommand->add_flag("--recover", exportOptions.recover,
                            "Include the rows list --recover lists (same row numbers)");

    RecoverOptions recover;
    CLI::App* recoverCommand = app.add_subcommand(
        "recover", "Write the deleted and unlisted messages a scan finds as EML files");
    recoverCommand->add_option("MAILBOX", recover.mailbox, "The .dbx file")->required();
    recoverCommand
        ->add_option("DEST", recover.destination,
                     "The output folder: DEST/deleted/ and DEST/unlisted/ are created")
        ->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    }

    SetDiagLogToStderr(verbose);
    if (listCommand->parsed()) {
        return RunList(list);
    }
    if (showCommand->parsed()) {
        return RunShow(show);
    }
    if (threadsCommand->parsed()) {
        return RunThreads(threads);
    }
    if (exportCommand->parsed()) {
        return RunCliExport(exportOptions);
    }
    if (encodingsCommand->parsed()) {
        return RunEncodings(encodings);
    }
    if (recoverCommand->parsed()) {
        return RunRecover(recover);
    }
    if (duplicatesCommand->parsed()) {
        return RunDuplicates(duplicates);
    }
    if (foldersCommand->parsed()) {
        return RunFolders(folders);
    }
    if (exportStoreCommand->parsed()) {
        return RunExportStore(exportStore);
    }
    return kExitUsage;
}
