// How quillbox-cli prints entries: a table for people, JSON for scripts. All UTF-8.
#pragma once

#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

class CEmailArray;
class CEmailDBX;

// The list's columns as a plain table, one row per entry.
void PrintEmailTable(std::FILE* out, CEmailArray& emails);
// Only the given rows, each led by its number in the whole list.
void PrintEmailTable(std::FILE* out, CEmailArray& emails, std::span<const std::int32_t> rows);

// One email as the JSON object of `list --json`.
[[nodiscard]] nlohmann::ordered_json EmailToJson(CEmailDBX& entry, int row);

// The whole `list --json` document.
[[nodiscard]] nlohmann::ordered_json EmailListToJson(CEmailArray& emails, int status);

// Dumps JSON as UTF-8, replacing anything that is not.
void PrintJson(std::FILE* out, const nlohmann::ordered_json& document);
