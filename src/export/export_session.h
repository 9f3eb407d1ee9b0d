// CExportSession: what every export works with — the loaded mailbox (its entries and
// their raw texts), the UI services that show its messages, and the one export progress
// window the main window owns at a time. The progress helpers create, advance and close
// that window; the session closes a window still open when it is destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

class CDBXFile;
class CEmailArray;
class CProgressStepper;
class IUiServices;

// CFailedFiles: the files an export could not write, and how the user hears of them. The
// first failure shows the write error and asks whether to go on; after Yes the later ones
// are only counted and Finish reports them in one box, so that a folder that cannot be
// written gives two boxes rather than one per file. Without questions (the command line)
// every failure shows as it happens and the export goes on.
class CFailedFiles {
public:
    explicit CFailedFiles(IUiServices& ui) : m_Ui(ui) {}

    // Shows every failure without asking, from now on.
    void SetAskToContinue(bool ask) { m_bAsk = ask; }
    // Forgets the failures of an earlier export.
    void Reset();
    // A file that could not be written. False when the user chose to stop the export.
    bool Report(std::u16string_view path);
    // "%lu files could not be written." for the failures only counted; nothing when none.
    void Finish();

    [[nodiscard]] std::uint64_t Count() const { return m_nCount; }
    [[nodiscard]] bool Stopped() const { return m_bStopped; }

private:
    IUiServices& m_Ui;
    std::uint64_t m_nCount = 0;
    std::uint64_t m_nUnreported = 0;
    bool m_bAsk = true;
    bool m_bStopped = false;
};

class CExportSession {
public:
    CExportSession(CDBXFile& dbx, IUiServices& ui);
    CExportSession(const CExportSession&) = delete;
    CExportSession& operator=(const CExportSession&) = delete;
    ~CExportSession();

    [[nodiscard]] CDBXFile& Dbx() { return m_Dbx; }
    // A one-file export whose output is the open mailbox would empty the mailbox before
    // reading it: such a path is refused with an error box. True when refused.
    bool RefuseMailboxAsOutput(const std::u16string& outputFile);
    [[nodiscard]] CEmailArray& Emails();
    [[nodiscard]] IUiServices& Ui() { return m_Ui; }

    // The number of entries marked m_bSelected. Above 0, any window still open is
    // replaced by a new one with the title, range 0..100 and "Progress" begun.
    std::uint32_t BeginExportProgress(std::u16string_view title);
    // True without a window; otherwise advances it ("%i files exported.") and pumps,
    // false once the user cancelled.
    bool StepExportProgress(std::uint32_t done, std::uint32_t total);
    void EndExportProgress();
    [[nodiscard]] CProgressStepper* Progress() { return m_pProgress.get(); }

    // Where the last search for a free numbered name ("name(k).ext") of this key stopped:
    // every number below it was taken then. A search starts there, so a thousand files of
    // one name cost a thousand checks rather than half a million. 0 for a new key.
    std::uint32_t& ClashStart(const std::u16string& key) { return m_ClashStarts[key]; }
    // Each export starts afresh: files may have gone in between.
    void ClearClashStarts() { m_ClashStarts.clear(); }

    // Whether files written for one message or thread get its date (on by default).
    void SetFileTimes(bool on) { m_bFileTimes = on; }
    [[nodiscard]] bool FileTimes() const { return m_bFileTimes; }

    // "Unable to read the message %lu. File corrupted ?", caption "Error".
    void ShowReadError(std::uint32_t id);
    // "Unable to write the following output file :\n%s\n...", caption "Error".
    void ShowWriteError(std::u16string_view path);

    // Every per-file export reports a file it could not write here (see CFailedFiles);
    // false when the user chose to stop. Begin/EndExportProgress reset and finish it; an
    // export with a progress window of its own calls FinishWriteFailures after closing it.
    bool ReportWriteFailure(std::u16string_view path) { return m_Failures.Report(path); }
    void FinishWriteFailures() { m_Failures.Finish(); }
    [[nodiscard]] CFailedFiles& WriteFailures() { return m_Failures; }

private:
    CDBXFile& m_Dbx;
    IUiServices& m_Ui;
    std::unique_ptr<CProgressStepper> m_pProgress;
    CFailedFiles m_Failures{m_Ui};
    std::unordered_map<std::u16string, std::uint32_t> m_ClashStarts;
    bool m_bFileTimes = true;
};

// Entries of the list with m_bSelected set.
[[nodiscard]] std::uint32_t CountSelected(const CEmailArray& emails);

[[nodiscard]] std::u16string ReadErrorText(std::uint32_t id);
[[nodiscard]] std::u16string WriteErrorText(std::u16string_view path);
// The write error followed by "\n\nContinue with the other emails?".
[[nodiscard]] std::u16string WriteErrorQuestionText(std::u16string_view path);
// "%lu files could not be written."
[[nodiscard]] std::u16string FilesNotWrittenText(std::uint64_t count);
