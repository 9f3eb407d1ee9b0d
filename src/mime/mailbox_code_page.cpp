#include "mime/mailbox_code_page.h"

#include <unicode/ucsdet.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mime/charset.h"
#include "mime/mime_header.h"
#include "platform/code_page.h"
#include "platform/text.h"

namespace {

// Reading stops after this many messages whatever the votes say.
constexpr int kMaxMessagesRead = 300;
// A lead of this many votes over every other code page decides.
constexpr int kClearLead = 8;
// Code pages still tied after this many votes agree on every string seen; more messages
// would rarely part them, and the tie goes to the first of them in the ANSI list.
constexpr int kTiedVotesEnough = 40;
// The byte-statistics guess looks at this much of the stored strings, and needs at least
// this many bytes above 127 to say anything.
constexpr std::size_t kMaxGuessBytes = 64 * 1024;
constexpr std::size_t kMinGuessHighBytes = 16;

bool HasHighBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) > 127; });
}

// One stored string of an entry and the header field it was taken from.
struct StoredField {
    const char* header;
    std::string_view stored;
};

std::array<StoredField, 3> StoredFields(const CEmailDBX& entry) {
    return {{{"Subject", CutAtZero(entry.m_Subject.GetTextView())},
             {"From", CutAtZero(entry.m_SenderName)},
             {"To", CutAtZero(entry.m_RecipientName)}}};
}

bool HasHighByteStrings(const CEmailDBX& entry) {
    // A subject some caller already turned into UTF-16 has no stored bytes left to compare.
    if (entry.m_Subject.GetType() == CZHyperString::TypeAnsi &&
        HasHighBytes(CutAtZero(entry.m_Subject.GetTextView()))) {
        return true;
    }
    return HasHighBytes(CutAtZero(entry.m_SenderName)) ||
           HasHighBytes(CutAtZero(entry.m_RecipientName));
}

// The field's text as Unicode: its encoded words decoded through their charset, or raw
// 8-bit text through the charset the message declares. False when no charset says what
// the bytes are.
bool HeaderText(const CMimeHeader& header, const char* name, std::string_view messageCharset,
                std::u16string& text) {
    const CMimeHeaderField* field = header.FindField(name);
    if (field == nullptr) {
        return false;
    }
    std::string value;
    value.reserve(field->GetValue().size());
    for (const char c : field->GetValue()) {
        if (c != '\r' && c != '\n') {
            value.push_back(c);
        }
    }
    const std::string_view charset =
        !field->GetCharset().empty() ? std::string_view(field->GetCharset()) : messageCharset;
    const std::uint32_t codePage = CodePageFromCharset(charset);
    return codePage != 0 && MultiByteToWideString(codePage, value, text);
}

class CVotes {
public:
    CVotes() : m_Candidates(GetAnsiCodePages()) {}

    // Each code page in which the header's text comes out as the stored bytes (with '?'
    // for what it cannot hold) gets a vote; the stored name may be a part of the field.
    void Vote(std::string_view stored, std::u16string_view headerText) {
        std::string bytes;
        for (std::size_t i = 0; i < m_Candidates.size(); ++i) {
            if (WideToMultiByteString(m_Candidates[i].codePage, headerText, bytes) &&
                bytes.find(stored) != std::string::npos) {
                ++m_Votes[i];
            }
        }
    }

    // The leader: most votes, the first in the ANSI list among equals. -1 without votes.
    [[nodiscard]] int Leader() const {
        int best = -1;
        for (std::size_t i = 0; i < m_Candidates.size(); ++i) {
            if (m_Votes[i] > 0 && (best < 0 || m_Votes[i] > m_Votes[std::size_t(best)])) {
                best = int(i);
            }
        }
        return best;
    }

    [[nodiscard]] bool Decided() const {
        const int leader = Leader();
        if (leader < 0) {
            return false;
        }
        const int top = m_Votes[std::size_t(leader)];
        int next = 0;
        int tied = 0;
        for (const int v : m_Votes) {
            if (v == top) {
                ++tied;
            } else {
                next = std::max(next, v);
            }
        }
        return top - next >= kClearLead && (tied == 1 || top >= kTiedVotesEnough);
    }

    [[nodiscard]] std::uint32_t CodePage(int index) const {
        return m_Candidates[std::size_t(index)].codePage;
    }

private:
    std::span<const AnsiCodePage> m_Candidates;
    std::array<int, 32> m_Votes{};
};

// What ICU's charset detector names, as the ANSI code page whose bytes it recognised.
// Names of other code pages (KOI8-R, ISO-8859-5, EUC-JP, UTF-8...) are not what Windows
// stored and are passed over.
std::uint32_t AnsiCodePageOfDetectorName(std::string_view name) {
    static constexpr std::pair<std::string_view, std::uint32_t> kNames[] = {
        {"windows-1252", 1252}, {"ISO-8859-1", 1252},   {"windows-1250", 1250},
        {"ISO-8859-2", 1250},   {"windows-1251", 1251}, {"windows-1253", 1253},
        {"ISO-8859-7", 1253},   {"windows-1254", 1254}, {"ISO-8859-9", 1254},
        {"windows-1255", 1255}, {"ISO-8859-8", 1255},   {"ISO-8859-8-I", 1255},
        {"windows-1256", 1256}, {"ISO-8859-6", 1256},   {"Shift_JIS", 932},
        {"GB18030", 936},       {"EUC-KR", 949},        {"Big5", 950},
    };
    for (const auto& [text, codePage] : kNames) {
        if (text == name) {
            return codePage;
        }
    }
    return 0;
}

struct DetectorCloser {
    void operator()(UCharsetDetector* detector) const { ucsdet_close(detector); }
};

// The byte-statistics guess over the stored strings, for mailboxes whose headers name no
// charset: the most confident ANSI code page of ICU's detector, 0 when it names none.
std::uint32_t GuessFromBytes(const std::string& sample) {
    const auto high = std::count_if(sample.begin(), sample.end(),
                                    [](char c) { return static_cast<unsigned char>(c) > 127; });
    if (std::size_t(high) < kMinGuessHighBytes) {
        return 0;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, DetectorCloser> detector(ucsdet_open(&status));
    if (U_FAILURE(status)) {
        return 0;
    }
    ucsdet_setText(detector.get(), sample.data(), std::int32_t(sample.size()), &status);
    std::int32_t count = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &count, &status);
    if (U_FAILURE(status) || matches == nullptr) {
        return 0;
    }
    // The matches come most confident first.
    for (std::int32_t i = 0; i < count; ++i) {
        UErrorCode nameStatus = U_ZERO_ERROR;
        const char* name = ucsdet_getName(matches[i], &nameStatus);
        if (U_SUCCESS(nameStatus) && name != nullptr) {
            if (const std::uint32_t codePage = AnsiCodePageOfDetectorName(name)) {
                return codePage;
            }
        }
    }
    return 0;
}

}  // namespace

std::uint32_t GuessCodePageFromBytes(const std::string& sample) {
    return GuessFromBytes(sample);
}

std::uint32_t DetectMailboxCodePage(CDBXFile& dbx) {
    const CEmailArray& emails = dbx.GetEmails();
    CVotes votes;
    std::string sample;
    std::string raw;
    int read = 0;
    for (std::int32_t row = 0; row < emails.GetCount() && read < kMaxMessagesRead; ++row) {
        const CEmailDBX* entry = emails.Get(row);
        if (entry == nullptr || !HasHighByteStrings(*entry)) {
            continue;
        }
        const std::array<StoredField, 3> fields = StoredFields(*entry);
        for (const StoredField& f : fields) {
            if (HasHighBytes(f.stored) && sample.size() < kMaxGuessBytes) {
                sample.append(f.stored);
                sample.push_back('\n');
            }
        }
        ++read;
        if (!dbx.GetMessageHeader(entry, raw)) {
            continue;
        }
        CMimeHeader header;
        header.Parse(raw);
        std::string messageCharset;
        if (const CMimeHeaderField* type = header.FindField("Content-Type")) {
            type->GetParameter("charset", messageCharset);
        }
        std::u16string text;
        for (const StoredField& f : fields) {
            if (HasHighBytes(f.stored) && HeaderText(header, f.header, messageCharset, text)) {
                votes.Vote(f.stored, text);
            }
        }
        if (votes.Decided()) {
            break;
        }
    }
    if (const int leader = votes.Leader(); leader >= 0) {
        return votes.CodePage(leader);
    }
    if (const std::uint32_t guess = GuessFromBytes(sample)) {
        return guess;
    }
    return kDefaultMailboxCodePage;
}

std::int32_t OpenMailbox(CDBXFile& dbx, const std::u16string& path,
                         std::uint32_t codePageOverride) {
    const std::int32_t status = dbx.Open(path);
    if (status == DbxOk) {
        UseMailboxCodePage(dbx, codePageOverride);
    }
    return status;
}

void UseMailboxCodePage(CDBXFile& dbx, std::uint32_t codePageOverride) {
    if (codePageOverride != 0) {
        dbx.SetCodePageOverride(codePageOverride);
    } else {
        dbx.SetDetectedCodePage(DetectMailboxCodePage(dbx));
    }
}
