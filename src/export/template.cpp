#include "export/template.h"

#include <cstring>
#include <limits>
#include <optional>

#include "export/export_message.h"
#include "export/export_session.h"
#include "export/template_keys.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/z_file.h"
#include "mime/mime_email.h"
#include "platform/progress_stepper.h"
#include "platform/ui_services.h"

namespace {

constexpr std::string_view kMarker = "%%%";

void ShowError(IUiServices& ui, std::u16string_view text) {
    ui.MessageBox(text, kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
}

// The next selected entry at or after the cursor; the entry count when there is none.
std::int32_t NextSelected(const CEmailArray& entries, std::int32_t cursor) {
    while (cursor < entries.GetCount()) {
        const CEmailDBX* entry = entries.Get(cursor);
        if (entry != nullptr && entry->m_bSelected) {
            break;
        }
        ++cursor;
    }
    return cursor;
}

// The message every key is about: read and parsed anew for each key, so that a key
// that edits the parsed contents cannot affect the next one.
class CCurrentMessage {
public:
    void Load(CExportSession& session, const CEmailDBX* entry) {
        m_nMailboxCodePage = session.Dbx().GetCodePage();
        Drop();
        m_pEntry = entry;
        if (entry == nullptr) {
            return;
        }
        auto mime = std::make_unique<CMimeEmail>();
        bool parsed = false;
        if (!LoadMessage(session.Dbx(), *entry, m_Raw, *mime, parsed)) {
            ShowError(session.Ui(), kMessageReadError);
            return;
        }
        m_bHasRaw = true;
        if (parsed) {
            m_pParsed = std::move(mime);
        }
    }

    void Drop() {
        m_pEntry = nullptr;
        m_Raw.clear();
        m_bHasRaw = false;
        m_pParsed.reset();
    }

    [[nodiscard]] CKeyMessage View() {
        return {m_pEntry, m_bHasRaw ? &m_Raw : nullptr, m_pParsed.get(), m_nMailboxCodePage};
    }

private:
    const CEmailDBX* m_pEntry = nullptr;
    std::string m_Raw;
    bool m_bHasRaw = false;
    std::unique_ptr<CMimeEmail> m_pParsed;
    std::uint32_t m_nMailboxCodePage = kDefaultMailboxCodePage;
};

void Write(CZFile& file, std::string_view bytes) {
    if (!bytes.empty()) {
        file.Write(bytes.data(), std::int64_t(bytes.size()));
    }
}

}  // namespace

void CTemplate::SetData(std::string_view bytes) {
    Free();
    if (bytes.empty() || bytes.size() > std::size_t(std::numeric_limits<std::int32_t>::max())) {
        return;
    }
    m_pData = std::make_unique_for_overwrite<char[]>(bytes.size());
    std::memcpy(m_pData.get(), bytes.data(), bytes.size());
    m_nSize = std::int32_t(bytes.size());
}

bool ReadTemplate(const std::u16string& path, CTemplate& tpl, IUiServices& ui) {
    tpl.Free();
    std::string bytes;
    switch (ReadWholeFile(path, bytes)) {
        case WholeFileRead::Ok:
            tpl.SetData(bytes);
            return true;
        case WholeFileRead::CannotOpen:
            ShowError(ui, kTemplateOpenError);
            return false;
        case WholeFileRead::Empty:
            return false;
        case WholeFileRead::TooLarge:
        case WholeFileRead::CannotRead:
            break;
    }
    ShowError(ui, kTemplateReadError);
    return false;
}

bool ExpandTemplate(CExportSession& session, const CExpandRequest& request) {
    if (request.pTemplate == nullptr || request.pOutput == nullptr || request.pEntries == nullptr ||
        request.pTemplate->m_nSize <= 0) {
        return false;
    }
    const std::string_view data = request.pTemplate->GetView();
    CEmailArray& entries = *request.pEntries;
    CZFile& output = *request.pOutput;

    std::optional<CProgressStepper> progress;
    if (request.showProgress) {
        progress.emplace(session.Ui(), kExpandProgressTitle, true);
    }
    const std::uint32_t total = CountSelected(entries);
    if (total == 0) {
        return false;
    }

    const std::size_t size = data.size();
    auto markerAt = [&](std::size_t p) { return p + 3 <= size && data.substr(p, 3) == kMarker; };

    CCurrentMessage current;
    std::int32_t cursor = 0;
    std::uint32_t done = 0;
    std::size_t blockStart = std::string_view::npos;
    std::size_t keyStart = std::string_view::npos;
    std::size_t literalStart = 0;  // literal bytes are written in runs, not one by one
    std::size_t pos = 0;

    while (pos < size) {
        if (!markerAt(pos)) {
            ++pos;
            continue;
        }
        if (keyStart == std::string_view::npos) {
            Write(output, data.substr(literalStart, pos - literalStart));
            keyStart = pos + kMarker.size();
            // A key is at least one byte long.
            pos = keyStart + 1;
            continue;
        }
        const std::size_t markerStart = keyStart - kMarker.size();
        const TemplateKey key = FindTemplateKey(data.substr(keyStart, pos - keyStart));
        keyStart = std::string_view::npos;
        pos += kMarker.size();

        cursor = NextSelected(entries, cursor);
        current.Load(session, entries.Get(cursor));

        if (key == TemplateKey::EmailStart) {
            blockStart = markerStart;
        } else if (key == TemplateKey::NextEmail) {
            // A NEXT_EMAIL past the last message ends nothing and counts nothing.
            if (cursor < entries.GetCount()) {
                ++done;
            }
            current.Drop();
            cursor = NextSelected(entries, cursor + 1);
            if (cursor < entries.GetCount() && blockStart != std::string_view::npos) {
                pos = blockStart;
            }
            if (progress &&
                !progress->Step(done, total, FormatText("%i emails exported.", int(done)))) {
                return false;
            }
        } else if (key != TemplateKey::Unknown) {
            std::string bytes;
            WriteTemplateKey(key, current.View(), request.title, request.codePage, bytes,
                             request.textOutput ? KeyOutput::Text : KeyOutput::Html);
            Write(output, bytes);
        }
        current.Drop();
        literalStart = pos;
    }
    // An opening marker without its closing one swallows the rest.
    if (keyStart == std::string_view::npos) {
        Write(output, data.substr(literalStart, size - literalStart));
    }
    if (progress) {
        progress->Clear();
    }
    return true;
}

void NarrowAscii(std::u16string_view text, char* buffer, std::size_t size, char replacement) {
    if (buffer == nullptr || size <= 1) {
        if (buffer != nullptr && size == 1) {
            buffer[0] = 0;
        }
        return;
    }
    const std::size_t n = std::min(size - 1, text.size());
    for (std::size_t i = 0; i < n; ++i) {
        buffer[i] = text[i] < 128 ? char(text[i]) : replacement;
    }
    buffer[n] = 0;
}

std::string NarrowAscii(std::u16string_view text, char replacement) {
    std::string out(text.size() + 1, '\0');
    NarrowAscii(text, out.data(), out.size(), replacement);
    out.resize(text.size());
    return out;
}
