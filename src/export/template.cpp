#include "export/template.h"

#include <cstring>
#include <limits>

#include "export/export_session.h"
#include "export/template_keys.h"
#include "mailbox/dbx_file.h"
#include "mailbox/email.h"
#include "mailbox/email_array.h"
#include "mailbox/z_file.h"
#include "mime/mime_email.h"
#include "platform/progress.h"
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
        if (entry != nullptr && entry->m_bSelected)
            break;
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
        if (entry == nullptr)
            return;
        if (!session.Dbx().GetMessageText(entry, m_Raw)) {
            m_Raw.clear();
            ShowError(session.Ui(), kMessageReadError);
            return;
        }
        m_bHasRaw = true;
        const std::string_view text(m_Raw.data(), strnlen(m_Raw.data(), m_Raw.size()));
        if (text.size() > std::size_t(std::numeric_limits<std::int32_t>::max()))
            return;
        auto parsed = std::make_unique<CMimeEmail>();
        if (parsed->Parse(text.data(), std::int32_t(text.size())) > 0) {
            m_pParsed = std::move(parsed);
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
    if (!bytes.empty())
        file.Write(bytes.data(), std::int64_t(bytes.size()));
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
    CZFile file;
    if (!file.Open(path, CZFile::ModeRead)) {
        ShowError(ui, kTemplateOpenError);
        return false;
    }
    const std::uint64_t length = file.GetLength();
    if (length < 1) {
        file.Close();
        return false;
    }
    // A template is a page, not a mailbox: one that does not fit a signed size is refused.
    if (length > std::uint64_t(std::numeric_limits<std::int32_t>::max())) {
        file.Close();
        ShowError(ui, kTemplateReadError);
        return false;
    }
    auto buffer = std::make_unique_for_overwrite<char[]>(std::size_t(length));
    if (!file.Read(buffer.get(), std::int64_t(length))) {
        file.Close();
        ShowError(ui, kTemplateReadError);
        return false;
    }
    file.Close();
    tpl.m_pData = std::move(buffer);
    tpl.m_nSize = std::int32_t(length);
    return true;
}

bool ExpandTemplate(CExportSession& session, const CExpandRequest& request) {
    if (request.pTemplate == nullptr || request.pOutput == nullptr || request.pEntries == nullptr ||
        request.pTemplate->m_nSize <= 0) {
        return false;
    }
    const std::string_view data = request.pTemplate->GetView();
    CEmailArray& entries = *request.pEntries;
    CZFile& output = *request.pOutput;

    std::unique_ptr<IProgress> progress;
    if (request.showProgress) {
        progress = session.Ui().CreateProgress(kExpandProgressTitle, true);
        progress->SetRange(0, 100, 1);
        progress->Begin(u"Progress", true);
    }
    const std::uint32_t total = CountSelected(entries);
    if (total == 0)
        return false;

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
            if (cursor < entries.GetCount())
                ++done;
            current.Drop();
            cursor = NextSelected(entries, cursor + 1);
            if (cursor < entries.GetCount() && blockStart != std::string_view::npos) {
                pos = blockStart;
            }
            if (progress) {
                const auto percent = static_cast<int>(std::uint64_t{done} * 100 / total);
                progress->SetPosition(percent);
                progress->SetStatusText(
                    FormatStatusText("%i emails exported.", static_cast<int>(done)));
                progress->PumpMessages(true);
                if (progress->IsCancelled())
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
    if (progress)
        progress->ClearProgress();
    return true;
}

void NarrowAscii(std::u16string_view text, char* buffer, std::size_t size, char replacement) {
    if (buffer == nullptr || size <= 1) {
        if (buffer != nullptr && size == 1)
            buffer[0] = 0;
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

namespace {

// Appends the UTF-8 form; returns the bytes it takes without writing when out is null.
std::size_t Utf8Of(std::u16string_view text, std::string* out) {
    std::size_t length = 0;
    auto put = [&](char32_t cp) {
        char bytes[4];
        std::size_t n = 0;
        if (cp < 0x80) {
            bytes[n++] = char(cp);
        } else if (cp < 0x800) {
            bytes[n++] = char(0xC0 | (cp >> 6));
            bytes[n++] = char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            bytes[n++] = char(0xE0 | (cp >> 12));
            bytes[n++] = char(0x80 | ((cp >> 6) & 0x3F));
            bytes[n++] = char(0x80 | (cp & 0x3F));
        } else {
            bytes[n++] = char(0xF0 | (cp >> 18));
            bytes[n++] = char(0x80 | ((cp >> 12) & 0x3F));
            bytes[n++] = char(0x80 | ((cp >> 6) & 0x3F));
            bytes[n++] = char(0x80 | (cp & 0x3F));
        }
        length += n;
        if (out != nullptr)
            out->append(bytes, n);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            put(0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            put(0xFFFD);
        } else {
            put(unit);
        }
    }
    return length;
}

}  // namespace

bool EncodeUtf8(std::u16string_view text, char* buffer, std::size_t size) {
    if (buffer == nullptr)
        return false;
    const std::size_t needed = Utf8Of(text, nullptr);
    if (size < needed + 1)
        return false;
    std::string encoded;
    encoded.reserve(needed);
    Utf8Of(text, &encoded);
    std::memcpy(buffer, encoded.data(), encoded.size());
    buffer[encoded.size()] = 0;
    return true;
}

std::string EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(Utf8Of(text, nullptr));
    Utf8Of(text, &out);
    return out;
}
