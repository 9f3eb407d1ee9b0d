// Conversion between 8-bit text in a Windows code page and UTF-16.
//
// Both functions keep the calling shape of the Windows conversions the mail formats were
// written against: a source length of -1 means "up to and including the terminating zero",
// an output capacity of 0 asks for the size only, and every failure (unknown code page,
// output too small, bad arguments) returns 0. Undecodable bytes become U+FFFD; characters
// the target cannot hold become '?'. Converters are opened once per code page and cached.
#pragma once

#include <string>
#include <string_view>

#include <cstdint>
#include <span>

// The ANSI code page of a Western Windows: what a mailbox's 8-bit strings are read in when
// nothing tells otherwise, and what code page 0 stands for.
inline constexpr unsigned kDefaultMailboxCodePage = 1252;
inline constexpr unsigned kCodePageUtf8 = 65001;

// The ANSI code pages a Windows could have written a mailbox in, with the script each one
// serves ("Cyrillic"), in the order menus list them.
struct AnsiCodePage {
    std::uint32_t codePage;
    const char16_t* script;
};
[[nodiscard]] std::span<const AnsiCodePage> GetAnsiCodePages();
[[nodiscard]] bool IsAnsiCodePage(std::uint32_t codePage);
// "Windows-1251".
[[nodiscard]] std::u16string AnsiCodePageName(std::uint32_t codePage);
// "Cyrillic, Windows-1251"; the bare name for a code page outside the list.
[[nodiscard]] std::u16string AnsiCodePageTitle(std::uint32_t codePage);

// Returns the UTF-16 units written (or needed when dstCapacity is 0); 0 on failure.
int MultiByteToWide(unsigned codePage, const char* src, int srcLength, char16_t* dst,
                    int dstCapacity);

// Returns the bytes written (or needed when dstCapacity is 0); 0 on failure.
int WideToMultiByte(unsigned codePage, const char16_t* src, int srcLength, char* dst,
                    int dstCapacity);

// True when a converter exists for the code page on this machine.
[[nodiscard]] bool IsCodePageAvailable(unsigned codePage);

// Whole-string forms: false (and the output left empty) on failure. An empty source
// converts to an empty result and succeeds.
[[nodiscard]] bool MultiByteToWideString(unsigned codePage, std::string_view src,
                                         std::u16string& out);
[[nodiscard]] bool WideToMultiByteString(unsigned codePage, std::u16string_view src,
                                         std::string& out);

// UTF-8 <-> UTF-16 for paths and terminal output; never fail (bad sequences become U+FFFD).
[[nodiscard]] std::u16string Utf8ToWide(std::string_view utf8);
[[nodiscard]] std::string WideToUtf8(std::u16string_view wide);

// A mailbox's stored 8-bit text (subject, names, addresses), up to its first zero byte,
// read in the mailbox's code page. Never fails: without a converter each byte is widened
// on its own.
[[nodiscard]] std::u16string MailboxBytesToWide(std::uint32_t codePage, std::string_view bytes);
[[nodiscard]] std::string MailboxBytesToUtf8(std::uint32_t codePage, std::string_view bytes);
