#include "mime/mime_header.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "mime/field_codec.h"
#include "mime/mime_char.h"
#include "mime/mime_scan.h"

namespace {

std::int32_t ClampSize(std::int64_t size) {
    return size < 0 || size > INT32_MAX ? -1 : std::int32_t(size);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// CMimeHeaderField

std::int32_t CMimeHeaderField::ParseFrom(const char* text, std::int32_t length) {
    m_Name.clear();
    m_Value.clear();
    m_Charset.clear();
    if (text == nullptr || length <= 0) {
        return 0;
    }
    CFieldSpan span;
    const std::size_t used = ScanHeaderField({text, std::size_t(length)}, span);
    if (used == 0) {
        return 0;
    }
    m_Name.assign(span.m_Name);

    auto codec = CreateFieldCodec(m_Name);
    codec->SetSource(span.m_RawValue.data(), std::int32_t(span.m_RawValue.size()), false);
    const std::int32_t size = codec->GetResultSize();
    if (size > 0) {
        m_Value.resize(std::size_t(size));
        const std::int32_t written = codec->WriteResult(m_Value.data(), size);
        m_Value.resize(std::size_t(std::clamp(written, 0, size)));
    }
    m_Charset = codec->GetCharset();
    return std::int32_t(used);
}

std::int32_t CMimeHeaderField::SerializeTo(char* buffer, std::int32_t capacity) const {
    const std::size_t nameLength = m_Name.size();
    if (buffer == nullptr || capacity < 0 || std::size_t(capacity) < nameLength + 4 ||
        m_Value.size() > std::size_t(INT32_MAX)) {
        return 0;
    }
    std::memcpy(buffer, m_Name.data(), nameLength);
    std::memcpy(buffer + nameLength, ": ", 2);

    auto codec = CreateFieldCodec(m_Name);
    codec->SetCharset(m_Charset);
    codec->SetSource(m_Value.data(), std::int32_t(m_Value.size()), true);
    const auto room = std::int32_t(std::size_t(capacity) - nameLength - 4);
    const std::int32_t encoded =
        std::clamp(codec->WriteResult(buffer + nameLength + 2, room), 0, room);

    std::memcpy(buffer + nameLength + 2 + encoded, "\r\n", 2);
    return std::int32_t(nameLength + 4) + encoded;
}

std::int32_t CMimeHeaderField::EstimateSize() const {
    if (m_Value.size() > std::size_t(INT32_MAX)) {
        return -1;
    }
    auto codec = CreateFieldCodec(m_Name);
    codec->SetCharset(m_Charset);
    codec->SetSource(m_Value.data(), std::int32_t(m_Value.size()), true);
    const std::int32_t value = codec->GetResultSize();
    if (value < 0) {
        return -1;
    }
    return ClampSize(std::int64_t(m_Name.size()) + 4 + value);
}

bool CMimeHeaderField::FindParameter(std::string_view name, std::size_t& start,
                                     std::size_t& length) const {
    return ScanParameter(m_Value, name, start, length);
}

bool CMimeHeaderField::GetParameter(std::string_view name, std::string& text) const {
    text.clear();
    std::size_t start = 0;
    std::size_t length = 0;
    if (!FindParameter(name, start, length)) {
        return false;
    }
    std::string_view raw = std::string_view(m_Value).substr(start, length);
    const bool longer = raw.size() > 1;
    if (!raw.empty() && raw.front() == '"') {
        raw.remove_prefix(1);
    }
    if (longer && !raw.empty() && raw.back() == '"') {
        raw.remove_suffix(1);
    }
    text.assign(raw);
    return true;
}

void CMimeHeaderField::GetValueWithoutParameters(std::string& text) const {
    text.assign(ValueWithoutParameters(m_Value));
}

// ---------------------------------------------------------------------------------------
// CMimeHeader

void CMimeHeader::Reset() {
    m_Fields.clear();
}

std::int32_t CMimeHeader::EstimateSize() const {
    std::int64_t size = 2;
    for (const auto& field : m_Fields) {
        const std::int32_t bound = field.EstimateSize();
        if (bound < 0) {
            return -1;
        }
        size += bound;
    }
    return ClampSize(size);
}

std::int32_t CMimeHeader::Serialize(char* buffer, std::int32_t capacity) const {
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    std::int32_t written = 0;
    for (const auto& field : m_Fields) {
        const std::int32_t n = field.SerializeTo(buffer + written, capacity - written);
        if (n < 1) {
            return n;
        }
        written += n;
    }
    if (capacity - written < 2) {
        return 0;
    }
    std::memcpy(buffer + written, "\r\n", 2);
    return written + 2;
}

std::int32_t CMimeHeader::Parse(const char* text, std::int32_t length) {
    if (text == nullptr || length <= 0) {
        return 0;
    }
    const auto end = std::size_t(length);
    std::size_t pos = 0;
    // The end of the text counts as the zero byte that ends raw message text.
    while (pos < end && text[pos] != '\0' && text[pos] != '\r') {
        CMimeHeaderField field;
        const std::int32_t used = field.ParseFrom(text + pos, std::int32_t(end - pos));
        if (used < 1) {
            return 0;
        }
        pos += std::size_t(used);
        m_Fields.push_back(std::move(field));
    }
    // Past the empty line's CR LF, but never past the text when it ended without one.
    return std::int32_t(std::min(pos + 2, end));
}

std::int32_t CMimeHeader::Parse(std::string_view text) {
    if (text.size() > std::size_t(INT32_MAX)) {
        return 0;
    }
    return Parse(text.data(), std::int32_t(text.size()));
}

std::string CMimeHeader::SerializeToString() const {
    const std::int32_t bound = EstimateSize();
    if (bound <= 0) {
        return {};
    }
    std::string text(std::size_t(bound), '\0');
    const std::int32_t written = Serialize(text.data(), bound);
    text.resize(std::size_t(std::max(written, 0)));
    return text;
}

const CMimeHeaderField* CMimeHeader::FindField(std::string_view name) const {
    for (const auto& field : m_Fields) {
        if (EqualsNoCase(field.GetName(), name)) {
            return &field;
        }
    }
    return nullptr;
}

CMimeHeaderField* CMimeHeader::FindField(std::string_view name) {
    return const_cast<CMimeHeaderField*>(std::as_const(*this).FindField(name));
}
