#include "mime/charset_scan.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "mailbox/dbx_file.h"
#include "mime/charset.h"
#include "mime/mime_body.h"
#include "platform/code_page.h"
#include "platform/ui_services.h"

namespace {

constexpr std::int32_t kProgressEvery = 10;

char16_t LowerAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return LowerAscii(x) == LowerAscii(y); });
}

bool LessNoCase(std::u16string_view a, std::u16string_view b) {
    return std::lexicographical_compare(
        a.begin(), a.end(), b.begin(), b.end(),
        [](char16_t x, char16_t y) { return LowerAscii(x) < LowerAscii(y); });
}

}  // namespace

void CollectMessageCharsets(std::string_view rawText, std::vector<std::u16string>& charsets) {
    rawText = rawText.substr(0, rawText.find('\0'));
    if (rawText.empty())
        return;
    CMimeMessage message;
    message.Parse(rawText.data(), static_cast<std::int32_t>(rawText.size()));
    std::vector<const CMimeBody*> leaves;
    message.CollectLeaves(leaves);
    for (const CMimeBody* leaf : leaves) {
        std::u16string name;
        if (!MultiByteToWideString(kDefaultMailboxCodePage, leaf->GetCharsetParameter(), name) ||
            name.empty()) {
            continue;
        }
        const bool known =
            std::any_of(charsets.begin(), charsets.end(),
                        [&](const std::u16string& c) { return EqualsNoCase(c, name); });
        if (!known)
            charsets.push_back(std::move(name));
    }
}

bool ScanCharsets(CDBXFile& dbx, IUiServices& ui, std::vector<std::u16string>& charsets) {
    std::unique_ptr<IProgress> progress = ui.CreateProgress(u"Scanning emails...", false);
    progress->SetRange(0, 100, 1);
    progress->Begin(u"Progress", false);
    CEmailArray& emails = dbx.GetEmails();
    const std::int32_t n = emails.GetCount();
    std::string raw;
    for (std::int32_t i = 0; i < n; ++i) {
        if (i % kProgressEvery == 0) {
            progress->SetPosition(static_cast<int>(std::int64_t{i} * 100 / n));
            progress->SetStatusText(FormatStatusText("%i emails scanned", static_cast<int>(i)));
        }
        progress->PumpMessages(true);
        if (progress->IsCancelled()) {
            progress->ClearProgress();
            return false;
        }
        const CEmailDBX* entry = emails.Get(i);
        if (entry != nullptr && dbx.GetMessageText(entry, raw) && !raw.empty()) {
            CollectMessageCharsets(raw, charsets);
        }
    }
    // Full before it goes: the bar moved only every tenth entry.
    progress->SetPosition(100);
    progress->ClearProgress();
    return true;
}

std::u16string CharsetDescription(std::u16string_view name) {
    std::u16string wideName;
    for (const CCodePageRow& row : GetCodePageTable()) {
        wideName.assign(row.m_Charset.begin(), row.m_Charset.end());
        if (EqualsNoCase(wideName, name))
            return std::u16string(row.m_Description);
    }
    return {};
}

std::vector<CCharsetReportRow> BuildCharsetReport(const std::vector<std::u16string>& charsets) {
    std::vector<CCharsetReportRow> rows;
    rows.reserve(charsets.size());
    for (const std::u16string& name : charsets) {
        rows.push_back({name, CharsetDescription(name)});
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return LessNoCase(a.m_Name, b.m_Name); });
    return rows;
}
