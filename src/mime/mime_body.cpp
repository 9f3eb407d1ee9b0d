#include "mime/mime_body.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <utility>

#include "mailbox/hyper_string.h"
#include "mailbox/z_file.h"
#include "mime/charset.h"
#include "mime/mime_scan.h"
#include "mime/transfer_codec.h"
#include "platform/text.h"

namespace {

std::int32_t ClampSize(std::int64_t size) {
    return size < 0 || size > INT32_MAX ? -1 : std::int32_t(size);
}

std::unique_ptr<CMimeCodeBase> CodecFor(const CMimeBody& part) {
    return CreateTransferCodec(part.GetTransferEncoding().value_or(std::string_view()));
}

}  // namespace

CMimeBody::~CMimeBody() = default;

void CMimeBody::Reset() {
    DeleteAllParts();
    FreeContent();
    CMimeHeader::Reset();
}

// ---------------------------------------------------------------------------------------
// Fields

std::optional<std::string_view> CMimeBody::GetFieldValue(std::string_view name) const {
    const CMimeHeaderField* field = FindField(name);
    if (field == nullptr) {
        return std::nullopt;
    }
    return std::string_view(field->GetValue());
}

std::optional<std::string_view> CMimeBody::GetFieldCharset(std::string_view name) const {
    const CMimeHeaderField* field = FindField(name);
    if (field == nullptr) {
        return std::nullopt;
    }
    return std::string_view(field->GetCharset());
}

std::string CMimeBody::GetParameter(std::string_view fieldName,
                                    std::string_view parameterName) const {
    std::string text;
    if (const CMimeHeaderField* field = FindField(fieldName)) {
        field->GetParameter(parameterName, text);
    }
    return text;
}

std::string CMimeBody::GetCharsetParameter() const {
    return GetParameter("Content-Type", "charset");
}

std::string CMimeBody::GetNameParameter() const {
    return GetParameter("Content-Type", "name");
}

std::string CMimeBody::GetBoundary() const {
    return GetParameter("Content-Type", "boundary");
}

std::optional<std::string_view> CMimeBody::GetTransferEncoding() const {
    return GetFieldValue("Content-Transfer-Encoding");
}

std::string_view CMimeBody::GetSubType() const {
    const std::optional<std::string_view> value = GetFieldValue("Content-Type");
    if (!value) {
        return "plain";
    }
    const std::string_view type = ValueWithoutParameters(*value);
    const std::size_t slash = type.find('/');
    if (slash == kNotFound) {
        return type;
    }
    return slash == 0 ? std::string_view() : type.substr(slash + 1);
}

MediaKind CMimeBody::GetMediaKind() const {
    static constexpr std::pair<std::string_view, MediaKind> kMainTypes[] = {
        {"text", MediaText},
        {"image", MediaImage},
        {"audio", MediaAudio},
        {"video", MediaVideo},
        {"application", MediaApplication},
        {"multipart", MediaMultipart},
        {"message", MediaMessage},
    };
    const std::string_view type = GetFieldValue("Content-Type").value_or("text");
    for (const auto& [name, kind] : kMainTypes) {
        if (StartsWithNoCase(type, name)) {
            // A vCard is an attachment to the reader, never a body to show.
            return kind == MediaText && GetSubType() == "x-vcard" ? MediaOther : kind;
        }
    }
    return MediaOther;
}

bool CMimeBody::GetFieldText(std::string_view name, CZHyperString& text) const {
    const CMimeHeaderField* field = FindField(name);
    if (field == nullptr) {
        SetCharsetText(text, "", nullptr);
        return false;
    }
    SetCharsetText(text, field->GetValue().c_str(), field->GetCharset().c_str());
    return true;
}

bool CMimeBody::GetParameterText(std::string_view fieldName, std::string_view parameterName,
                                 CZHyperString& text) const {
    const CMimeHeaderField* field = FindField(fieldName);
    std::string parameter;
    if (field == nullptr || !field->GetParameter(parameterName, parameter)) {
        SetCharsetText(text, "", nullptr);
        return false;
    }
    SetCharsetText(text, parameter.c_str(), field->GetCharset().c_str());
    return true;
}

bool CMimeBody::GetFieldTextInCodePage(std::string& out, std::string_view name,
                                       std::uint32_t codePage,
                                       std::uint32_t mailboxCodePage) const {
    out.clear();
    if (name.empty() || codePage == 0) {
        return false;
    }
    const CMimeHeaderField* field = FindField(name);
    if (field == nullptr || field->GetValue().empty() ||
        field->GetValue().size() > std::size_t(INT32_MAX)) {
        return false;
    }
    const std::string_view charset =
        field->GetCharset().empty() ? UnlabelledTextCharset(mailboxCodePage) : field->GetCharset();
    return ConvertCharset(charset, codePage, field->GetValue().c_str(),
                          std::int32_t(field->GetValue().size()), out, true);
}

// ---------------------------------------------------------------------------------------
// Content

bool CMimeBody::AllocateContent(std::int32_t size) {
    FreeContent();
    if (size < 0) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    try {
        m_Content = std::make_unique_for_overwrite<char[]>(std::size_t(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_ContentLength = size;
    return true;
}

void CMimeBody::FreeContent() {
    m_Content.reset();
    m_ContentLength = 0;
}

bool CMimeBody::SetContent(std::string_view bytes) {
    if (bytes.size() >= std::size_t(INT32_MAX) ||
        !AllocateContent(std::int32_t(bytes.size()) + 1)) {
        FreeContent();
        return false;
    }
    std::memcpy(m_Content.get(), bytes.data(), bytes.size());
    m_Content[bytes.size()] = '\0';
    m_ContentLength = std::int32_t(bytes.size());
    return true;
}

std::int32_t CMimeBody::CopyContent(char* buffer, std::int32_t capacity) const {
    if (buffer == nullptr || capacity <= 0 || m_ContentLength == 0) {
        return 0;
    }
    const std::int32_t n = std::min(m_ContentLength, capacity);
    std::memcpy(buffer, m_Content.get(), std::size_t(n));
    return n;
}

std::int32_t CMimeBody::GetContentString(std::string& out) const {
    out.assign(GetContent());
    return m_ContentLength;
}

bool CMimeBody::SaveContent(const char16_t* path) const {
    if (m_ContentLength <= 0) {
        return true;
    }
    return path != nullptr && WriteWholeFile(path, GetContent());
}

// ---------------------------------------------------------------------------------------
// Tree

CMimeBody* CMimeBody::CreatePart(const CMimeBody* before) {
    // Appending, what parsing does for every part, must not search the parts before it.
    const auto at = before == nullptr
                        ? m_Parts.end()
                        : std::find_if(m_Parts.begin(), m_Parts.end(),
                                       [before](const auto& part) { return part.get() == before; });
    return m_Parts.insert(at, std::make_unique<CMimeBody>())->get();
}

void CMimeBody::DeletePart(const CMimeBody* part) {
    std::erase_if(m_Parts, [part](const auto& child) { return child.get() == part; });
}

void CMimeBody::DeleteAllParts() {
    m_Parts.clear();
}

std::int32_t CMimeBody::CollectLeaves(std::vector<const CMimeBody*>& leaves) const {
    if (GetMediaKind() != MediaMultipart) {
        leaves.push_back(this);
        return 1;
    }
    std::int32_t count = 0;
    for (const auto& part : m_Parts) {
        count += part->CollectLeaves(leaves);
    }
    return count;
}

// ---------------------------------------------------------------------------------------
// Parsing

std::int32_t CMimeBody::Parse(const char* text, std::int32_t length) {
    return ParsePart(text, length, 0);
}

bool CMimeBody::DecodeContent(std::string_view encoded) {
    auto codec = CodecFor(*this);
    codec->SetSource(encoded.data(), std::int32_t(encoded.size()), false);
    // The buffer comes from the codec's bound over these very bytes, never from a length
    // the text claims.
    const std::int32_t bound = codec->GetResultSize();
    if (bound < 0 || bound > INT32_MAX - 4 || !AllocateContent(bound + 4)) {
        return false;
    }
    const std::int32_t written = std::clamp(codec->WriteResult(m_Content.get(), bound), 0, bound);
    m_Content[written] = '\0';
    m_ContentLength = written;
    return true;
}

std::int32_t CMimeBody::ParsePart(const char* text, std::int32_t length, std::int32_t depth) {
    const std::int32_t headerEnd = CMimeHeader::Parse(text, length);
    if (headerEnd < 1) {
        return headerEnd;
    }
    FreeContent();
    const std::string_view all(text, std::size_t(length));
    const auto contentStart = std::size_t(headerEnd);
    std::size_t contentEnd = all.size();

    std::string delimiter;
    std::size_t found = kNotFound;
    if (depth < kMaxNestingDepth && GetMediaKind() == MediaMultipart) {
        const std::string boundary = GetBoundary();
        if (!boundary.empty()) {
            delimiter = "\r\n--" + boundary;
            // From two bytes back, so that the empty line after the header can start it.
            found = FindBytes(all, contentStart >= 2 ? contentStart - 2 : 0, delimiter);
            if (found != kNotFound) {
                contentEnd = found + 2;
            }
        }
    }

    if (contentEnd > contentStart &&
        !DecodeContent(all.substr(contentStart, contentEnd - contentStart))) {
        return -1;
    }
    if (found == kNotFound) {
        return std::int32_t(contentEnd);
    }

    while (found != kNotFound) {
        const std::size_t afterDelimiter = found + delimiter.size();
        const std::size_t lineEnd = FindCrLf(all, afterDelimiter);
        if (lineEnd == kNotFound) {
            break;
        }
        if (all.substr(afterDelimiter, 2) == "--") {
            // The epilogue after the closing line is not part of the tree.
            return std::int32_t(lineEnd + 2);
        }
        const std::size_t childStart = lineEnd + 2;
        const std::size_t next = FindBytes(all, lineEnd, delimiter);
        // The next delimiter may begin with this line's own CR LF: an empty part.
        const std::size_t childEnd = next == kNotFound ? all.size() : std::max(next, childStart);

        CMimeBody* child = CreatePart();
        const std::int32_t result =
            child->ParsePart(text + childStart, std::int32_t(childEnd - childStart), depth + 1);
        if (result < 0) {
            DeletePart(child);
            return result;
        }
        found = next;
    }
    return length;
}

// ---------------------------------------------------------------------------------------
// Writing

std::int32_t CMimeBody::EstimateSize() const {
    const std::int32_t header = CMimeHeader::EstimateSize();
    auto codec = CodecFor(*this);
    codec->SetSource(m_Content.get(), m_ContentLength, true);
    const std::int32_t content = codec->GetResultSize();
    if (header < 0 || content < 0) {
        return -1;
    }
    std::int64_t size = std::int64_t(header) + content;
    if (!m_Parts.empty()) {
        const auto boundary = std::int64_t(GetBoundary().size());
        for (const auto& part : m_Parts) {
            const std::int32_t bound = part->EstimateSize();
            if (bound < 0) {
                return -1;
            }
            size += boundary + 6 + bound;
        }
        size += boundary + 8;
    }
    return ClampSize(size);
}

std::int32_t CMimeBody::Serialize(char* buffer, std::int32_t capacity) const {
    const std::int32_t header = CMimeHeader::Serialize(buffer, capacity);
    if (header <= 0) {
        return header;
    }
    auto codec = CodecFor(*this);
    codec->SetSource(m_Content.get(), m_ContentLength, true);
    const std::int32_t content = codec->WriteResult(buffer + header, capacity - header);
    if (content < 0) {
        return content;
    }
    std::size_t written = std::size_t(header) + std::size_t(content);
    if (m_Parts.empty()) {
        return std::int32_t(written);
    }
    const std::string boundary = GetBoundary();
    if (boundary.empty()) {
        return -1;
    }

    const auto room = std::size_t(capacity);
    const std::size_t delimiterLine = boundary.size() + 6;
    auto put = [&](std::string_view bytes) {
        std::memcpy(buffer + written, bytes.data(), bytes.size());
        written += bytes.size();
    };
    bool first = true;
    for (const auto& part : m_Parts) {
        if (room - written < delimiterLine) {
            break;
        }
        // The CR LF that ends the header or the preamble also starts the first delimiter.
        if (first && written >= 2 && buffer[written - 2] == '\r' && buffer[written - 1] == '\n') {
            written -= 2;
        }
        first = false;
        put("\r\n--");
        put(boundary);
        put("\r\n");
        const std::int32_t n = part->Serialize(buffer + written, std::int32_t(room - written));
        if (n < 0) {
            return n;
        }
        written += std::size_t(n);
    }
    if (room - written >= delimiterLine + 2) {
        put("\r\n--");
        put(boundary);
        put("--\r\n");
    }
    return std::int32_t(written);
}
