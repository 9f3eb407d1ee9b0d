#include "mime/mime_scan.h"

#include <cstring>

#include "mime/mime_char.h"

namespace {

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::size_t FindBytes(std::string_view text, std::size_t from, std::string_view needle) {
    if (from > text.size() || needle.size() > text.size() - from) {
        return kNotFound;
    }
    if (needle.empty()) {
        return from;
    }
    // glibc's memmem is vectorised; boundary searches over megabytes of base64 rely on it.
    const void* hit = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit == nullptr ? kNotFound : std::size_t(static_cast<const char*>(hit) - text.data());
}

std::size_t ScanHeaderField(std::string_view text, CFieldSpan& field) {
    field = {};
    const std::size_t end = text.size();
    std::size_t pos = 0;

    while (pos < end && IsMimeSpace(Byte(text[pos]))) {
        if (text[pos] == '\r') {
            return 0;
        }
        const std::size_t lineEnd = FindCrLf(text, pos);
        if (lineEnd == kNotFound) {
            return 0;
        }
        pos = lineEnd + 2;
    }

    std::size_t colon = pos;
    while (colon < end && text[colon] != ':' && text[colon] != '\0' && text[colon] != '\r' &&
           text[colon] != '\n') {
        ++colon;
    }
    if (colon < end && text[colon] == ':') {
        field.m_Name = text.substr(pos, colon - pos);
        pos = colon + 1;
    }
    while (pos < end && IsBlank(text[pos])) {
        ++pos;
    }

    std::size_t last = FindCrLf(text, pos);
    if (last == kNotFound) {
        return 0;
    }
    while (last + 2 < end && IsBlank(text[last + 2])) {
        last = FindCrLf(text, last + 2);
        if (last == kNotFound) {
            return 0;
        }
    }
    field.m_RawValue = text.substr(pos, last - pos);
    return last + 2;
}

bool ScanParameter(std::string_view value, std::string_view name, std::size_t& start,
                   std::size_t& length) {
    const std::size_t end = value.size();
    std::size_t pos = value.find(';');
    if (pos == kNotFound) {
        return false;
    }
    while (true) {
        while (pos < end && (IsMimeSpace(Byte(value[pos])) || value[pos] == ';')) {
            ++pos;
        }
        const std::size_t equals = value.find('=', pos);
        if (equals == kNotFound) {
            return false;
        }
        const std::size_t valueStart = equals + 1;
        std::size_t valueEnd = valueStart;
        const std::size_t closingQuote = valueStart < end && value[valueStart] == '"'
                                             ? value.find('"', valueStart + 1)
                                             : kNotFound;
        if (closingQuote != kNotFound) {
            valueEnd = closingQuote + 1;
        } else {
            // A '.' is special but common in file names, so it stays in the token.
            while (valueEnd < end &&
                   (IsMimeToken(Byte(value[valueEnd])) || value[valueEnd] == '.')) {
                ++valueEnd;
            }
        }

        const std::size_t nameEnd = pos + name.size();
        if (nameEnd < end && EqualsNoCase(value.substr(pos, name.size()), name) &&
            (IsMimeSpace(Byte(value[nameEnd])) || value[nameEnd] == '=')) {
            start = valueStart;
            length = valueEnd - valueStart;
            return true;
        }
        pos = valueEnd;
    }
}

std::string_view ValueWithoutParameters(std::string_view value) {
    const std::size_t semicolon = value.find(';');
    if (semicolon == kNotFound) {
        return value;
    }
    std::size_t end = semicolon;
    while (end > 0 && IsMimeSpace(Byte(value[end - 1]))) {
        --end;
    }
    return value.substr(0, end);
}
