#include "mime/charset_scan.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "mailbox/dbx_file.h"
#include "mime/charset.h"
#include "mime/mime_body.h"
#include "platform/code_page.h"
#include "platform/progress_stepper.h"
#include "platform/text.h"
#include "platform/ui_services.h"

namespace {

constexpr std::int32_t kProgressEvery = 10;

}  // namespace

void CollectMessageCharsets(std::string_view rawText, std::vector<std::u16string>& charsets) {
    rawText = CutAtZero(rawText);
    if (rawText.empty()) {
        return;
    }
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
        if (!known) {
            charsets.push_back(std::move(name));
        }
    }
}

bool ScanCharsets(CDBXFile& dbx, IUiServices& ui, std::vector<std::u16string>& charsets) {
    CProgressStepper progress(ui, u"Scanning emails...", false);
    CEmailArray& emails = dbx.GetEmails();
    const std::int32_t n = emails.GetCount();
    std::string raw;
    for (std::int32_t i = 0; i < n; ++i) {
        if (i % kProgressEvery == 0) {
            progress.Show(std::uint64_t(i), std::uint64_t(n), FormatText("%i emails scanned", i));
        }
        if (!progress.Pump()) {
            progress.Clear();
            return false;
        }
        const CEmailDBX* entry = emails.Get(i);
        if (entry != nullptr && dbx.GetMessageText(entry, raw) && !raw.empty()) {
            CollectMessageCharsets(raw, charsets);
        }
    }
    // Full before it goes: the bar moved only every tenth entry.
    progress.Fill();
    progress.Clear();
    return true;
}

std::u16string CharsetDescription(std::u16string_view name) {
    for (const CCodePageRow& row : GetCodePageTable()) {
        if (EqualsNoCase(name, row.m_Charset)) {
            return std::u16string(row.m_Description);
        }
    }
    return {};
}

std::vector<CCharsetReportRow> BuildCharsetReport(const std::vector<std::u16string>& charsets) {
    std::vector<CCharsetReportRow> rows;
    rows.reserve(charsets.size());
    for (const std::u16string& name : charsets) {
        rows.push_back({name, CharsetDescription(name)});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return CompareNoCase(a.m_Name, b.m_Name) < 0;
    });
    return rows;
}
