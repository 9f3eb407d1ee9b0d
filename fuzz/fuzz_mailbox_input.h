// How the export fuzz targets read their input: one selector byte, then parts separated by
// kSeparator. The export targets turn message parts into a small mailbox made with our
// DBX writer, each message's first lines also standing for its stored subject, recipient
// names and addresses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dbxwriter/dbx_writer.h"

namespace fuzzinput {

inline constexpr std::string_view kSeparator = "\n--8<--\n";

inline std::vector<std::string_view> Split(std::string_view bytes) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = bytes.find(kSeparator);
        parts.push_back(bytes.substr(0, at));
        if (at == std::string_view::npos) {
            return parts;
        }
        bytes.remove_prefix(at + kSeparator.size());
    }
}

inline std::string_view Line(std::string_view text, int index) {
    for (int i = 0; i < index; ++i) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            return {};
        }
        text.remove_prefix(end + 1);
    }
    return text.substr(0, text.find('\n'));
}

// Messages with ids 1, 2, ... in the order given; in-reply-to links to the one before, so
// thread exports see threads.
inline dbxw::Image Mailbox(const std::vector<std::string_view>& texts) {
    std::vector<dbxw::Message> messages;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        dbxw::Message m;
        m.text = std::string(texts[i]);
        m.subject = std::string(Line(texts[i], 0));
        m.recipientName = std::string(Line(texts[i], 1));
        m.recipientAddress = std::string(Line(texts[i], 2));
        m.senderName = std::string(Line(texts[i], 3));
        m.messageId = "<" + std::to_string(i) + "@fuzz>";
        if (i > 0) {
            m.inReplyTo = "<" + std::to_string(i - 1) + "@fuzz>";
        }
        m.sent = std::uint64_t(i) * 600'000'000ULL;
        m.received = m.sent;
        messages.push_back(std::move(m));
    }
    return dbxw::BuildSimpleMailbox(messages);
}

}  // namespace fuzzinput
