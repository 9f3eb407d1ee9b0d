#include "bench_messages.h"

#include <algorithm>
#include <string_view>

#include "mime/mime_code.h"

namespace bench {

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

namespace {

std::string Header(std::mt19937& rng, std::size_t i, std::string_view contentType) {
    std::string h = "Return-Path: <s" + std::to_string(i % 97) + "@example.com>\r\n";
    h += "Received: from mail.example.com ([192.0.2." + std::to_string(i % 250) +
         "])\r\n\tby mx.example.org with ESMTP id " + std::to_string(rng()) +
         "\r\n\tfor <team@example.org>; Mon, 3 Nov 2008 17:05:00 +0000\r\n";
    h += "From: =?iso-8859-1?Q?J=F6rg_Sender_" + std::to_string(i % 97) + "?= <s" +
         std::to_string(i % 97) + "@example.com>\r\n";
    h += "To: \"Team\" <team@example.org>, other@example.org\r\n";
    h += (i % 3 == 0)
             ? "Subject: =?utf-8?B?UmU6IFdlZWtseSByZXBvcnQg4oCU?= " + std::to_string(i) + "\r\n"
             : "Subject: Weekly report " + std::to_string(i) + "\r\n";
    h += "Date: Mon, 3 Nov 2008 17:05:00 +0000\r\n";
    h += "Message-ID: <" + std::to_string(i) + "." + std::to_string(rng()) + "@example.com>\r\n";
    h += "MIME-Version: 1.0\r\n";
    h += "Content-Type: " + std::string(contentType) + "\r\n";
    h += "X-Mailer: Microsoft Outlook Express 6.00.2900.5512\r\n\r\n";
    return h;
}

std::string Lines(std::mt19937& rng, int minLines, int maxLines, bool latin1) {
    std::uniform_int_distribution<int> lines(minLines, maxLines);
    std::string text;
    const int n = lines(rng);
    for (int l = 0; l < n; ++l) {
        text += "Line " + std::to_string(l) + " of the weekly report, with the usual numbers";
        text += latin1 ? " and Gr\xFC\xDF"
                         "e.\r\n"
                       : ".\r\n";
    }
    return text;
}

std::string Html(const std::string& plain) {
    std::string html =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n<HTML><HEAD>\r\n"
        "<META http-equiv=Content-Type content=\"text/html; charset=iso-8859-1\">\r\n"
        "</HEAD>\r\n<BODY bgColor=#ffffff>\r\n";
    std::size_t start = 0;
    while (start < plain.size()) {
        const std::size_t end = plain.find("\r\n", start);
        html += "<DIV><FONT face=Arial size=2>" + plain.substr(start, end - start) +
                "</FONT></DIV>\r\n";
        start = end + 2;
    }
    return html + "</BODY></HTML>\r\n";
}

std::string Part(std::string_view type, std::string_view encoding, std::string_view body) {
    std::string part = "Content-Type: " + std::string(type) + "\r\n";
    if (!encoding.empty()) {
        part += "Content-Transfer-Encoding: " + std::string(encoding) + "\r\n";
    }
    return part + "\r\n" + std::string(body);
}

std::string Multipart(std::string_view boundary, const std::vector<std::string>& parts) {
    std::string body = "This is a multi-part message in MIME format.\r\n";
    for (const auto& p : parts) {
        body += "\r\n--" + std::string(boundary) + "\r\n" + p;
    }
    return body + "\r\n--" + std::string(boundary) + "--\r\n\r\n";
}

std::string Binary(std::mt19937& rng, std::size_t size) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = char(rng());
    }
    return bytes;
}

std::string Alternative(std::mt19937& rng, std::string_view boundary) {
    const std::string plain = Lines(rng, 5, 60, true);
    return Multipart(boundary, {Part("text/plain;\r\n\tcharset=\"iso-8859-1\"", "quoted-printable",
                                     EncodeQuotedPrintable(plain)),
                                Part("text/html;\r\n\tcharset=\"iso-8859-1\"", "quoted-printable",
                                     EncodeQuotedPrintable(Html(plain)))});
}

}  // namespace

std::string SmallMessage(std::mt19937& rng, std::size_t i) {
    const unsigned shape = rng() % 9;
    if (shape < 4) {
        return Header(rng, i, "text/plain; charset=\"us-ascii\"") + Lines(rng, 5, 80, false);
    }
    if (shape == 4) {
        return Header(rng, i, "text/plain;\r\n\tcharset=\"iso-8859-1\"") +
               "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
               EncodeQuotedPrintable(Lines(rng, 5, 80, true));
    }
    const std::string alt = "----=_NextPart_001_" + std::to_string(i);
    if (shape < 8) {
        return Header(rng, i, "multipart/alternative;\r\n\tboundary=\"" + alt + "\"") +
               Alternative(rng, alt);
    }
    const std::string mixed = "----=_NextPart_000_" + std::to_string(i);
    const std::string image = EncodeBase64(Binary(rng, 2048 + rng() % 8192));
    return Header(rng, i,
                  "multipart/related;\r\n\ttype=\"multipart/alternative\";\r\n\tboundary=\"" +
                      mixed + "\"") +
           Multipart(mixed, {"Content-Type: multipart/alternative;\r\n\tboundary=\"" + alt +
                                 "\"\r\n\r\n" + Alternative(rng, alt),
                             Part("image/gif;\r\n\tname=\"logo.gif\"", "base64", image)});
}

std::string AttachmentMessage(std::mt19937& rng, std::size_t index) {
    const std::size_t size = kSmallestAttachment + (kLargestAttachment - kSmallestAttachment) *
                                                       index / (kAttachmentPool - 1);
    const std::string mixed = "----=_NextPart_000_A" + std::to_string(index);
    std::vector<std::string> parts = {
        Part("text/plain; charset=\"us-ascii\"", "7bit", Lines(rng, 3, 20, false))};
    if (index % 4 == 3) {
        // Two attachments sharing the size.
        parts.push_back(Part("application/pdf;\r\n\tname=\"report.pdf\"", "base64",
                             EncodeBase64(Binary(rng, size / 2))));
        parts.push_back(Part("application/zip;\r\n\tname=\"data.zip\"", "base64",
                             EncodeBase64(Binary(rng, size - size / 2))));
    } else {
        parts.push_back(
            Part("application/octet-stream;\r\n\tname=\"file" + std::to_string(index) + ".bin\"",
                 "base64", EncodeBase64(Binary(rng, size))));
    }
    return Header(rng, index, "multipart/mixed;\r\n\tboundary=\"" + mixed + "\"") +
           Multipart(mixed, parts);
}

}  // namespace bench
