#include "export/export_session.h"

#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "platform/progress_stepper.h"
#include "platform/ui_services.h"

CExportSession::CExportSession(CDBXFile& dbx, IUiServices& ui) : m_Dbx(dbx), m_Ui(ui) {}

CExportSession::~CExportSession() = default;

CEmailArray& CExportSession::Emails() {
    return m_Dbx.GetEmails();
}

std::uint32_t CExportSession::BeginExportProgress(std::u16string_view title) {
    ClearClashStarts();
    m_Failures.Reset();
    const std::uint32_t total = CountSelected(Emails());
    if (total == 0) {
        return 0;
    }
    m_pProgress.reset();
    m_pProgress = std::make_unique<CProgressStepper>(m_Ui, title, true);
    return total;
}

bool CExportSession::StepExportProgress(std::uint32_t done, std::uint32_t total) {
    if (!m_pProgress) {
        return true;
    }
    return m_pProgress->Step(done, total, FormatText("%i files exported.", static_cast<int>(done)));
}

void CExportSession::EndExportProgress() {
    // The window goes first: it would cover the box that follows.
    m_pProgress.reset();
    m_Failures.Finish();
}

void CExportSession::ShowReadError(std::uint32_t id) {
    m_Ui.MessageBox(ReadErrorText(id), kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
}

bool CExportSession::RefuseMailboxAsOutput(const std::u16string& outputFile) {
    if (!m_Dbx.IsFile(outputFile)) {
        return false;
    }
    m_Ui.MessageBox(u"The output file is the mailbox being exported:\n" + outputFile +
                        u"\nPlease choose another file.",
                    kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
    return true;
}

void CExportSession::ShowWriteError(std::u16string_view path) {
    m_Ui.MessageBox(WriteErrorText(path), kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
}

std::uint32_t CountSelected(const CEmailArray& emails) {
    std::uint32_t count = 0;
    for (std::int32_t i = 0; i < emails.GetCount(); ++i) {
        const CEmailDBX* entry = emails.Get(i);
        if (entry != nullptr && entry->m_bSelected) {
            ++count;
        }
    }
    return count;
}

std::u16string ReadErrorText(std::uint32_t id) {
    return FormatText("Unable to read the message %lu. File corrupted ?",
                      static_cast<unsigned long>(id));
}

std::u16string WriteErrorText(std::u16string_view path) {
    std::u16string text = u"Unable to write the following output file :\n";
    text += path;
    text += u"\nDisk full, or fill open by another application ?";
    return text;
}

std::u16string WriteErrorQuestionText(std::u16string_view path) {
    return WriteErrorText(path) + u"\n\nContinue with the other emails?";
}

std::u16string FilesNotWrittenText(std::uint64_t count) {
    return FormatText("%lu files could not be written.", static_cast<unsigned long>(count));
}

void CFailedFiles::Reset() {
    m_nCount = 0;
    m_nUnreported = 0;
    m_bStopped = false;
}

bool CFailedFiles::Report(std::u16string_view path) {
    ++m_nCount;
    if (!m_bAsk) {
        m_Ui.MessageBox(WriteErrorText(path), kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
        return true;
    }
    if (m_nCount > 1) {
        ++m_nUnreported;
        return !m_bStopped;
    }
    const MsgAnswer answer = m_Ui.MessageBox(WriteErrorQuestionText(path), kErrorCaption,
                                             MsgIcon::Error, MsgButtons::YesNo);
    m_bStopped = answer != MsgAnswer::Yes;
    return !m_bStopped;
}

void CFailedFiles::Finish() {
    if (m_nUnreported > 0) {
        m_Ui.MessageBox(FilesNotWrittenText(m_nUnreported), kErrorCaption, MsgIcon::Error,
                        MsgButtons::Ok);
    }
    m_nUnreported = 0;
}
