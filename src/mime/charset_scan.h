// Detect Encoding: which charsets the messages of a mailbox declare. Every message is
// parsed once and the charset parameter of each of its leaf parts collected; a name is
// kept as first spelled, later spellings that differ only in ASCII case are dropped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class CDBXFile;
class IUiServices;

// One row of the code pages report.
struct CCharsetReportRow {
    std::u16string m_Name;
    std::u16string m_Description;  // empty when no row of the code page table has the name
};

// Adds the charsets of one raw message that `charsets` does not hold yet.
void CollectMessageCharsets(std::string_view rawText, std::vector<std::u16string>& charsets);

// Scans every entry of the mailbox under a "Scanning emails..." progress window. False
// when the user cancelled; `charsets` then holds what was found so far.
bool ScanCharsets(CDBXFile& dbx, IUiServices& ui, std::vector<std::u16string>& charsets);

// The description of the first code page table row named so, ignoring ASCII case.
[[nodiscard]] std::u16string CharsetDescription(std::u16string_view name);

// The report as the dialog lists it: sorted ascending by name, ignoring ASCII case.
[[nodiscard]] std::vector<CCharsetReportRow> BuildCharsetReport(
    const std::vector<std::u16string>& charsets);
