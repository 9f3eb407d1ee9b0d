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

// One email as the JSON object of `list --json`.
[[nodiscard]] nlohmann::ordered_json EmailToJson(const CEmailDBX& entry, int row,
                                                 std::uint32_t codePage);

// The whole `list --json` document; "codepage" tells which code page the strings were
// read in.
[[nodiscard]] nlohmann::ordered_json EmailListToJson(CEmailArray& emails, int status,
                                                     std::uint32_t codePage);

// Dumps JSON as UTF-8, replacing anything that is not.
void PrintJson(std::FILE* out, const nlohmann::ordered_json& document);
