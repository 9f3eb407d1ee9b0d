// The code page of a mailbox: which ANSI code page the Windows that wrote the file used
// for its stored 8-bit strings. Outlook Express kept every list string of a record in the
// machine's own code page, so a Russian mailbox holds Windows-1251 bytes where a Western
// one holds Windows-1252. The strings say nothing of their code page; the message headers
// do, through their encoded words and declared charsets, so detection compares the two.
#pragma once

#include <cstdint>
#include <string>

class CDBXFile;

// The ANSI code page the mailbox's strings were written in, for a mailbox already open:
// 1252 when every string is ASCII or nothing decides. Reads only the headers of messages
// whose strings hold bytes above 127, and only as many as it takes. The same file always
// gives the same answer.
[[nodiscard]] std::uint32_t DetectMailboxCodePage(CDBXFile& dbx);

// Settles the code page of an open mailbox: the given ANSI code page, or the detected one
// when it is 0 (also after a scan added recovered rows to a file whose index failed).
void UseMailboxCodePage(CDBXFile& dbx, std::uint32_t codePageOverride);

// ICU's byte statistics over 8-bit text, restricted to the ANSI code pages: the most
// confident one, 0 when there are too few bytes above 127 or nothing matches.
[[nodiscard]] std::uint32_t GuessCodePageFromBytes(const std::string& sample);

// Opens the file as File > Open does and settles its code page: the given ANSI code page,
// or the detected one when it is 0. Returns the status of CDBXFile::Open.
std::int32_t OpenMailbox(CDBXFile& dbx, const std::u16string& path,
                         std::uint32_t codePageOverride = 0);
