// How quillbox-cli prints entries: a table for people, JSON for scripts. All UTF-8.
#pragma once

#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

class CEmailArray;
class CEmailDBX;

// The list's columns as a plain table, one row per entry; stored strings are read in the
// mailbox's code page.
void PrintEmailTable(std::FILE* out, CEmailArray& emails, std::uint32_t codePage);
// Only the given rows, each led by its number in the whole list.
void PrintEmailTable(std::FILE* out, CEmailArray& emails, std::span<const std::int32_t> rows,
                     std::uint32_t codePage);

// One email as the JSON object of `list --json`; with `withRecovered`, as that of
// `list --recover --json`, which says where a recovered row came from.
[[nodiscard]] nlohmann::ordered_json EmailToJson(const CEmailDBX& entry, int row,
                                                 std::uint32_t codePage,
                                                 bool withRecovered = false);

// Prints `frame` with an "emails" member added last, holding each entry's EmailToJson object
// in list order: the bytes PrintJson would print for the whole document, but written as
// they are made, so that a large mailbox's list is never held whole.
void PrintEmailListJson(std::FILE* out, nlohmann::ordered_json frame, CEmailArray& emails,
                        std::uint32_t codePage, bool withRecovered);

// JSON as UTF-8 text indented by two, replacing anything that is not UTF-8.
[[nodiscard]] std::string DumpJson(const nlohmann::ordered_json& value);
// DumpJson and a line break.
void PrintJson(std::FILE* out, const nlohmann::ordered_json& document);
