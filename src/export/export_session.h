// CExportSession: what every export works with — the loaded mailbox (its entries and
// their raw texts), the UI services that show its messages, and the one export progress
// window the main window owns at a time. The progress helpers create, advance and close
// that window; the session closes a window still open when it is destroyed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CDBXFile;
class CEmailArray;
class IProgress;
class IUiServices;

class CExportSession {
public:
    CExportSession(CDBXFile& dbx, IUiServices& ui);
    CExportSession(const CExportSession&) = delete;
    CExportSession& operator=(const CExportSession&) = delete;
    ~CExportSession();

    [[nodiscard]] CDBXFile& Dbx() { return m_Dbx; }
    [[nodiscard]] CEmailArray& Emails();
    [[nodiscard]] IUiServices& Ui() { return m_Ui; }

    // The number of entries marked m_bSelected. Above 0, any window still open is
    // replaced by a new one with the title, range 0..100 and "Progress" begun.
    std::uint32_t BeginExportProgress(std::u16string_view title);
    // True without a window; otherwise advances it ("%i files exported.") and pumps,
    // false once the user cancelled.
    bool StepExportProgress(std::uint32_t done, std::uint32_t total);
    bool EndExportProgress();
    [[nodiscard]] IProgress* Progress() { return m_pProgress.get(); }

    // "Unable to read the message %lu. File corrupted ?", caption "Error".
    void ShowReadError(std::uint32_t id);
    // "Unable to write the following output file :\n%s\n...", caption "Error".
    void ShowWriteError(std::u16string_view path);

private:
    CDBXFile& m_Dbx;
    IUiServices& m_Ui;
    std::unique_ptr<IProgress> m_pProgress;
};

// Entries of the list with m_bSelected set.
[[nodiscard]] std::uint32_t CountSelected(const CEmailArray& emails);

[[nodiscard]] std::u16string ReadErrorText(std::uint32_t id);
[[nodiscard]] std::u16string WriteErrorText(std::u16string_view path);
