// What every export does with one message before writing anything: read its stored text
// up to the first zero byte (where the C string of it ends), parse it (the whole tree for
// contents and attached files, only the header where a file is named after the subject),
// and find a file name in the output folder that is not taken yet.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CDBXFile;
class CEmailDBX;
class CExportSession;
class CMimeBody;
class CMimeEmail;

// The entry's stored text cut at its first zero byte; false when the mailbox cannot give it.
[[nodiscard]] bool LoadMessageText(CDBXFile& dbx, const CEmailDBX& entry, std::string& text);

// LoadMessageText, then the whole parse of the text into `mime`, which should be new. False
// only when the text cannot be had; `parsed` says whether the parser took the header.
[[nodiscard]] bool LoadMessage(CDBXFile& dbx, const CEmailDBX& entry, std::string& text,
                               CMimeEmail& mime, bool& parsed);

// The whole tree, or only the header fields with no body part decoded (enough for the
// subject). True when the header parsed to its end; a header that stops part way keeps
// the fields before the stop.
bool ParseMessage(std::string_view text, CMimeEmail& mime);
bool ParseMessageHeader(std::string_view text, CMimeBody& header);

// The stem of a file named after the message's subject: the decoded Subject field of the
// header when there is one (no header: null), else the stored subject; `whenEmpty` when
// that is empty; undecoded bytes are read in the mailbox's code page. Wide and cleaned for
// a file name; empty when it cannot be made wide.
[[nodiscard]] std::u16string SubjectFileStem(const CMimeBody* header, const CEmailDBX& entry,
                                             std::uint32_t codePage,
                                             std::u16string_view whenEmpty = {});

// folder + stem + tail, the stem cut so that the name fits the file-name limit.
[[nodiscard]] std::u16string JoinFileName(std::u16string_view folder, std::u16string_view stem,
                                          std::u16string_view tail);

// Numbered names go up to this; past it a folder is not worth searching further.
inline constexpr std::uint32_t kMaxNameNumber = 100000;

// folder + stem + extension when no file has that name, else the first free
// "stem(k)extension" for k from `firstNumber` up; a search for the same name starts where
// the last one of the session stopped. False when every number up to kMaxNameNumber is
// taken; `path` then holds the last name tried.
bool FindFreeFileName(CExportSession& session, std::u16string_view folder, std::u16string_view stem,
                      std::u16string_view extension, std::uint32_t firstNumber,
                      std::u16string& path);
