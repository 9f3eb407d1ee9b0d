// Helpers shared by the header and body tests: readable message text and exact-size input.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace mimetest {

// Message text written with "\n" line ends, as mail has it on the wire (CR LF).
inline std::string Crlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// One message of many shapes, in the form Serialize writes (so that it also serves the
// round trip): a preamble, alternative bodies, a related image, a named text part, a file
// with only a Content-Disposition name, a vCard, an attached message and an epilogue.
inline const std::string& SampleMessage() {
    static const std::string text = Crlf(
        "From: a@korvane.example\n"
        "Subject: =?iso-8859-1?Q?Caf=E9?=\n"
        "Content-Type: multipart/mixed;\n\tboundary=\"=_m\"\n"
        "\n"
        "preamble\n"
        "--=_m\n"
        "Content-Type: multipart/alternative; boundary=alt\n"
        "\n"
        "--alt\n"
        "Content-Type: text/plain; charset=\"iso-8859-1\"\n"
        "Content-Transfer-Encoding: quoted-printable\n"
        "\n"
        "caf=E9\n"
        "--alt\n"
        "Content-Type: text/html\n"
        "\n"
        "<p>html</p>\n"
        "--alt--\n"
        "\n"
        "--=_m\n"
        "Content-Type: multipart/related; boundary=\"rel\"\n"
        "\n"
        "--rel\n"
        "Content-Type: image/gif; name=\"dot.gif\"\n"
        "Content-Transfer-Encoding: base64\n"
        "\n"
        "dGhyZWU=\n"
        "\n"
        "--rel--\n"
        "\n"
        "--=_m\n"
        "Content-Type: text/plain; name=\"notes.txt\"\n"
        "\n"
        "a named text part\n"
        "--=_m\n"
        "Content-Type: application/pdf\n"
        "Content-Disposition: attachment; filename=\"report.pdf\"\n"
        "\n"
        "%PDF\n"
        "--=_m\n"
        "Content-Type: text/x-vcard; name=\"\"\n"
        "\n"
        "BEGIN:VCARD\n"
        "--=_m\n"
        "Content-Type: message/rfc822\n"
        "\n"
        "Content-Type: multipart/mixed; boundary=inner\n"
        "\n"
        "--inner\n"
        "\n"
        "four\n"
        "--inner--\n"
        "--=_m--\n"
        "epilogue that is not read\n");
    return text;
}

// A heap copy of exactly the text's bytes with no zero byte after them, so that a read past
// the end shows up under AddressSanitizer.
class CExactText {
public:
    explicit CExactText(std::string_view text)
        : m_Size(text.size()),
          m_Bytes(std::make_unique<char[]>(text.size() + (text.empty() ? 1 : 0))) {
        if (!text.empty()) {
            std::memcpy(m_Bytes.get(), text.data(), text.size());
        }
    }
    [[nodiscard]] const char* Data() const { return m_Bytes.get(); }
    [[nodiscard]] std::int32_t Size() const { return std::int32_t(m_Size); }

private:
    std::size_t m_Size;
    std::unique_ptr<char[]> m_Bytes;
};

// Parses `text` from an exact-size copy.
template <typename Object>
std::int32_t ParseExact(Object& object, std::string_view text) {
    const CExactText exact(text);
    return object.Parse(exact.Data(), exact.Size());
}

}  // namespace mimetest
