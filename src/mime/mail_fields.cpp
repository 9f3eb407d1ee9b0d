#include "mime/mail_fields.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/file_time.h"
#include "platform/text.h"

namespace mailfields {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<Mailbox> ParseMailbox(std::string_view item) {
    item = Trim(item);
    if (item.empty()) {
        return std::nullopt;
    }
    // The '<' that opens the address, outside quoted display names.
    bool quoted = false;
    for (std::size_t i = 0; i < item.size(); ++i) {
        if (item[i] == '\\' && quoted) {
            ++i;
        } else if (item[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && item[i] == '<') {
            const std::size_t close = item.find('>', i + 1);
            Mailbox m;
            m.address = std::string(Trim(item.substr(
                i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1)));
            m.name = Unquote(StripComments(item.substr(0, i)));
            if (m.name.empty()) {
                m.name = m.address;
            }
            return m;
        }
    }
    Mailbox m;
    m.address = std::string(Trim(StripComments(item)));
    m.name = FirstComment(item).value_or(m.address);
    if (m.name.empty()) {
        m.name = m.address;
    }
    return m;
}

int MonthNumber(std::string_view name) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() < 3) {
        return 0;
    }
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (EqualsNoCase(name.substr(0, 3), kMonths[i])) {
            return int(i) + 1;
        }
    }
    return 0;
}

std::optional<int> Number(std::string_view s) {
    if (s.empty() || s.size() > 9 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    int v = 0;
    for (char c : s) {
        v = v * 10 + (c - '0');
    }
    return v;
}

// Minutes east of UTC; the obsolete North American names, and the military letters
// (whose sign was historically inverted, so only "Z" is trusted).
std::optional<int> ZoneOffset(std::string_view zone) {
    if ((zone.size() == 5) && (zone[0] == '+' || zone[0] == '-')) {
        const std::optional<int> hhmm = Number(zone.substr(1));
        if (!hhmm || *hhmm % 100 > 59) {
            return std::nullopt;
        }
        const int minutes = (*hhmm / 100) * 60 + *hhmm % 100;
        return zone[0] == '-' ? -minutes : minutes;
    }
    static constexpr std::array<std::pair<std::string_view, int>, 11> kNames = {{
        {"UT", 0},
        {"UTC", 0},
        {"GMT", 0},
        {"EST", -300},
        {"EDT", -240},
        {"CST", -360},
        {"CDT", -300},
        {"MST", -420},
        {"MDT", -360},
        {"PST", -480},
        {"PDT", -420},
    }};
    for (const auto& [name, offset] : kNames) {
        if (EqualsNoCase(zone, name)) {
            return offset;
        }
    }
    return 0;
}

}  // namespace

// Removes (comments), honouring quoted strings and nested and escaped parentheses.
std::string StripComments(std::string_view s) {
    std::string out;
    int depth = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (quoted || depth > 0)) {
            if (depth == 0) {
                out += c;
                out += s[i + 1];
            }
            ++i;
        } else if (depth == 0 && c == '"') {
            quoted = !quoted;
            out += c;
        } else if (!quoted && c == '(') {
            ++depth;
        } else if (!quoted && c == ')' && depth > 0) {
            --depth;
            if (depth == 0) {
                out += ' ';
            }
        } else if (depth == 0) {
            out += c;
        }
    }
    return out;
}

// The text of the first top-level comment, or nothing.
std::optional<std::string> FirstComment(std::string_view s) {
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\') {
            ++i;
        } else if (s[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && s[i] == '(') {
            std::string text;
            int depth = 1;
            for (++i; i < s.size(); ++i) {
                if (s[i] == '\\' && i + 1 < s.size()) {
                    text += s[++i];
                    continue;
                }
                if (s[i] == '(') {
                    ++depth;
                } else if (s[i] == ')' && --depth == 0) {
                    break;
                }
                text += s[i];
            }
            return std::string(Trim(text));
        }
    }
    return std::nullopt;
}

// A display name with its quoted strings opened and their escapes undone.
std::string Unquote(std::string_view s) {
    std::string out;
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (quoted && s[i] == '\\' && i + 1 < s.size()) {
            out += s[++i];
        } else if (s[i] == '"') {
            quoted = !quoted;
        } else {
            out += s[i];
        }
    }
    return std::string(Trim(out));
}

// Splits at the separator where it stands outside quotes, <angle brackets> and comments.
std::vector<std::string_view> SplitTopLevel(std::string_view s, char separator) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    int angle = 0;
    int comment = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\' && (quoted || comment > 0)) {
            ++i;
        } else if (comment == 0 && c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '(') {
            ++comment;
        } else if (c == ')' && comment > 0) {
            --comment;
        } else if (comment > 0) {
            continue;
        } else if (c == '<') {
            ++angle;
        } else if (c == '>' && angle > 0) {
            --angle;
        } else if (c == separator && angle == 0) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(s.substr(start));
    return parts;
}

std::optional<Mailbox> ParseFirstMailbox(std::string_view value) {
    for (std::string_view item : SplitTopLevel(value, ',')) {
        // A group "Team: a@x, b@y;" lends its name only when it has no member.
        const std::vector<std::string_view> group = SplitTopLevel(item, ':');
        if (group.size() > 1) {
            std::string_view member = item.substr(group.front().size() + 1);
            member = Trim(member);
            if (member.ends_with(';')) {
                member.remove_suffix(1);
            }
            if (std::optional<Mailbox> m = ParseMailbox(member)) {
                return m;
            }
            const std::string name = Unquote(StripComments(group.front()));
            if (!name.empty()) {
                return Mailbox{name, {}};
            }
            continue;
        }
        if (std::optional<Mailbox> m = ParseMailbox(item)) {
            return m;
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> ParseMailDate(std::string_view value) {
    std::string text = StripComments(value);
    // The day of the week is optional and says nothing the date does not.
    if (const std::size_t comma = text.find(','); comma != std::string::npos) {
        text.erase(0, comma + 1);
    }
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
        if (IsSpace(c)) {
            if (!current.empty()) {
                tokens.push_back(std::move(current));
                current.clear();
            }
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        tokens.push_back(std::move(current));
    }
    if (tokens.size() < 4) {
        return std::nullopt;
    }
    const std::optional<int> day = Number(tokens[0]);
    const int month = MonthNumber(tokens[1]);
    std::optional<int> year = Number(tokens[2]);
    if (!day || month == 0 || !year || *day < 1 || *day > 31) {
        return std::nullopt;
    }
    // Two-digit years as RFC 2822 reads them; three digits count from 1900.
    if (tokens[2].size() == 2) {
        *year += *year < 50 ? 2000 : 1900;
    } else if (tokens[2].size() == 3) {
        *year += 1900;
    }
    if (*year < 1601 || *year > 30000) {
        return std::nullopt;
    }
    std::array<int, 3> hms{0, 0, 0};
    std::size_t fieldCount = 0;
    std::string_view clock = tokens[3];
    while (fieldCount < 3) {
        const std::size_t colon = clock.find(':');
        const std::optional<int> v = Number(clock.substr(0, colon));
        if (!v) {
            return std::nullopt;
        }
        hms[fieldCount++] = *v;
        if (colon == std::string_view::npos) {
            break;
        }
        clock.remove_prefix(colon + 1);
    }
    if (fieldCount < 2 || hms[0] > 23 || hms[1] > 59 || hms[2] > 60) {
        return std::nullopt;
    }
    int zone = 0;
    if (tokens.size() > 4) {
        const std::optional<int> z = ZoneOffset(tokens[4]);
        if (!z) {
            return std::nullopt;
        }
        zone = *z;
    }
    // A leap second counts as the next second's start.
    SystemTime calendar;
    calendar.wYear = std::uint16_t(*year);
    calendar.wMonth = std::uint16_t(month);
    calendar.wDay = std::uint16_t(*day);
    calendar.wHour = std::uint16_t(hms[0]);
    calendar.wMinute = std::uint16_t(hms[1]);
    calendar.wSecond = std::uint16_t(std::min(hms[2], 59));
    FILETIME64 ticks = 0;
    if (!SystemTimeToFileTime(calendar, ticks)) {
        return std::nullopt;
    }
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    const std::int64_t local = std::int64_t(ticks) + (hms[2] - calendar.wSecond) * kTicksPerSecond;
    const std::int64_t utc = local - std::int64_t(zone) * 60 * kTicksPerSecond;
    if (utc < 0) {
        return std::nullopt;
    }
    return std::uint64_t(utc);
}

std::optional<std::uint32_t> ParsePriority(std::string_view value) {
    value = Trim(value);
    if (value.empty()) {
        return std::nullopt;
    }
    // Outlook Express knows three levels; 2 and 4 lean to their neighbours.
    switch (value.front()) {
        case '1':
        case '2':
            return 1;
        case '3':
            return 3;
        case '4':
        case '5':
            return 5;
        default:
            return std::nullopt;
    }
}

std::uint32_t CountLines(std::string_view message) {
    std::uint32_t lines = 0;
    std::size_t pos = 0;
    while (pos < message.size()) {
        const std::size_t eol = message.find('\n', pos);
        ++lines;
        if (eol == std::string_view::npos) {
            break;
        }
        pos = eol + 1;
    }
    return lines;
}

}  // namespace mailfields
