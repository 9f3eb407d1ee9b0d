#include "export/export_message.h"

#include <algorithm>

#include "export/export_session.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/hyper_string.h"
#include "mailbox/z_file.h"
#include "mime/mime_email.h"
#include "platform/paths.h"
#include "platform/progress.h"
#include "platform/text.h"

bool LoadMessageText(CDBXFile& dbx, const CEmailDBX& entry, std::string& text) {
    if (!dbx.GetMessageText(&entry, text)) {
        text.clear();
        return false;
    }
    text.resize(CutAtZero(text).size());
    return true;
}

bool LoadMessage(CDBXFile& dbx, const CEmailDBX& entry, std::string& text, CMimeEmail& mime,
                 bool& parsed) {
    parsed = false;
    if (!LoadMessageText(dbx, entry, text)) {
        return false;
    }
    parsed = ParseMessage(text, mime);
    return true;
}

bool ParseMessage(std::string_view text, CMimeEmail& mime) {
    text = CutAtZero(text);
    // The parser counts in 32 bits; a text beyond that is left unparsed.
    if (text.size() > std::size_t(INT32_MAX)) {
        return false;
    }
    return mime.Parse(text.data(), std::int32_t(text.size())) > 0;
}

bool ParseMessageHeader(std::string_view text, CMimeBody& header) {
    text = CutAtZero(text);
    if (text.size() > std::size_t(INT32_MAX)) {
        return false;
    }
    // Qualified, so that the body's override (which splits the parts) is not reached: the
    // string_view overload would dispatch to it.
    return header.CMimeHeader::Parse(text.data(), std::int32_t(text.size())) > 0;
}

std::u16string SubjectFileStem(const CMimeBody* header, const CEmailDBX& entry,
                               std::uint32_t codePage, std::u16string_view whenEmpty) {
    CZHyperString subject;
    if (header == nullptr || !header->GetFieldText("Subject", subject)) {
        subject = entry.m_Subject;
    }
    if (subject.IsEmpty() && !whenEmpty.empty()) {
        subject.SetWide(std::u16string(whenEmpty));
    }
    subject.ToWide(codePage);
    subject.SanitizeFileName();
    if (subject.GetType() != CZHyperString::TypeWide) {
        return {};
    }
    return std::u16string(subject.GetWideView());
}

std::u16string JoinFileName(std::u16string_view folder, std::u16string_view stem,
                            std::u16string_view tail) {
    std::u16string path(folder);
    path += FitFileNameStem(stem, tail);
    path += tail;
    return path;
}

bool FindFreeFileName(CExportSession& session, std::u16string_view folder, std::u16string_view stem,
                      std::u16string_view extension, std::uint32_t firstNumber,
                      std::u16string& path) {
    path = JoinFileName(folder, stem, extension);
    if (!FileExists(path.c_str())) {
        return true;
    }
    std::u16string key(folder);
    key += stem;
    key += u'\0';
    key += extension;
    std::uint32_t& start = session.ClashStart(key);
    for (std::uint32_t k = std::max(start, firstNumber); k <= kMaxNameNumber; ++k) {
        std::u16string tail = FormatText("(%lu)", static_cast<unsigned long>(k));
        tail += extension;
        path = JoinFileName(folder, stem, tail);
        if (!FileExists(path.c_str())) {
            start = k;
            return true;
        }
    }
    return false;
}
