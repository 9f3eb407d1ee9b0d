// Parse benchmark: generated messages of mixed shapes through CMimeEmail.
//
//   parse_bench [--messages N] [--runs R] [--attachment-every K]
//
// Each message is parsed with CMimeEmail::Parse, its contents list is built with
// GetContents, and every leaf's decoded content is touched, attachments included. The
// figure is MB/s of raw message text, the median of R runs, next to the MB/s of a plain
// memcpy of the same bytes in the same runs. One message in K (10 by default, none for 0)
// carries base64 attachments of 100 KB to 2 MB; those messages come from a pool of a few
// dozen, so the data stays at some tens of MB however many messages are asked for.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "mime/mime_code.h"
#include "mime/mime_email.h"
#include "mime/transfer_codec.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kAttachmentPool = 32;
constexpr std::size_t kSmallestAttachment = 100 * 1024;
constexpr std::size_t kLargestAttachment = 2 * 1024 * 1024;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

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

struct CRun {
    double m_Parse = 0;
    double m_ParseSmall = 0;
    double m_ParseLarge = 0;
    double m_Copy = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t messages = 10000;
    int runs = 5;
    std::size_t attachmentEvery = 10;
    for (int a = 1; a + 1 < argc; a += 2) {
        if (std::strcmp(argv[a], "--messages") == 0) {
            messages = std::strtoul(argv[a + 1], nullptr, 10);
        } else if (std::strcmp(argv[a], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[a + 1]));
        } else if (std::strcmp(argv[a], "--attachment-every") == 0) {
            attachmentEvery = std::strtoul(argv[a + 1], nullptr, 10);
        }
    }
    RegisterStandardCodecs();

    std::mt19937 rng(42);
    std::vector<std::string> pool;
    for (std::size_t i = 0; attachmentEvery > 0 && i < kAttachmentPool; ++i) {
        pool.push_back(AttachmentMessage(rng, i));
    }
    std::vector<std::string> small;
    std::vector<std::string_view> order;
    std::vector<bool> large;
    small.reserve(messages);
    for (std::size_t i = 0; i < messages; ++i) {
        if (attachmentEvery > 0 && i % attachmentEvery == attachmentEvery / 2) {
            order.emplace_back(pool[(i / attachmentEvery) % kAttachmentPool]);
            large.push_back(true);
        } else {
            small.push_back(SmallMessage(rng, i));
            order.emplace_back(small.back());
            large.push_back(false);
        }
    }
    std::size_t totalBytes = 0;
    std::size_t smallBytes = 0;
    std::size_t largest = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        totalBytes += order[i].size();
        smallBytes += large[i] ? 0 : order[i].size();
        largest = std::max(largest, order[i].size());
    }
    std::size_t held = 0;
    for (const auto& s : pool) {
        held += s.size();
    }
    for (const auto& s : small) {
        held += s.size();
    }
    std::printf(
        "%zu messages, %.1f MB of raw text per run (%.1f MB in attachment messages), "
        "%.1f MB held\n",
        order.size(), totalBytes / 1e6, (totalBytes - smallBytes) / 1e6, held / 1e6);

    std::vector<char> copy(largest);
    std::uint64_t check = 0;
    std::vector<CRun> results;
    for (int r = 0; r < runs; ++r) {
        CRun run;
        const auto parseStart = Clock::now();
        for (std::size_t i = 0; i < order.size(); ++i) {
            const auto start = Clock::now();
            CMimeEmail email;
            email.Parse(order[i].data(), std::int32_t(order[i].size()));
            for (const CMimeEmailContent& content : email.GetContents()) {
                check += std::uint64_t(content.GetLength());
            }
            std::vector<const CMimeBody*> leaves;
            email.CollectLeaves(leaves);
            for (const CMimeBody* leaf : leaves) {
                const std::string_view bytes = leaf->GetContent();
                check += bytes.size() + (bytes.empty() ? 0 : std::uint8_t(bytes.back()));
            }
            (large[i] ? run.m_ParseLarge : run.m_ParseSmall) += Seconds(Clock::now() - start);
        }
        run.m_Parse = Seconds(Clock::now() - parseStart);

        const auto copyStart = Clock::now();
        for (const std::string_view text : order) {
            std::memcpy(copy.data(), text.data(), text.size());
            check += std::uint8_t(copy[text.size() / 2]);
        }
        run.m_Copy = Seconds(Clock::now() - copyStart);
        results.push_back(run);
        std::printf("run %d: parse %.3f s, memcpy %.3f s\n", r + 1, run.m_Parse, run.m_Copy);
    }

    auto medianOf = [&](double CRun::*field) {
        std::vector<double> v;
        for (const auto& run : results) {
            v.push_back(run.*field);
        }
        return Median(v);
    };
    const double parse = medianOf(&CRun::m_Parse);
    const double copySeconds = medianOf(&CRun::m_Copy);
    const double parseSmall = medianOf(&CRun::m_ParseSmall);
    const double parseLarge = medianOf(&CRun::m_ParseLarge);
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) < 0) {
        load[0] = load[1] = load[2] = -1;
    }
    std::printf("median of %d runs:\n", runs);
    std::printf("  parse + contents + decoded leaves: %8.1f MB/s (%.0f messages/s)\n",
                totalBytes / 1e6 / parse, order.size() / parse);
    if (parseSmall > 0) {
        std::printf("    messages without attachments:   %8.1f MB/s\n",
                    smallBytes / 1e6 / parseSmall);
    }
    if (parseLarge > 0) {
        std::printf("    messages with attachments:      %8.1f MB/s\n",
                    (totalBytes - smallBytes) / 1e6 / parseLarge);
    }
    std::printf("  memcpy of the same bytes:          %8.1f MB/s\n",
                totalBytes / 1e6 / copySeconds);
    std::printf("load average %.2f %.2f %.2f (checksum %llu)\n", load[0], load[1], load[2],
                static_cast<unsigned long long>(check));
    return 0;
}
