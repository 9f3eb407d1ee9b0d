// Generated messages of the shapes a real mailbox holds, shared by the benchmarks: plain
// text, quoted-printable, alternatives, related parts with a small image, and (from a pool)
// messages with base64 attachments of 100 KB to 2 MB.
#pragma once

#include <chrono>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline constexpr std::size_t kAttachmentPool = 32;
inline constexpr std::size_t kSmallestAttachment = 100 * 1024;
inline constexpr std::size_t kLargestAttachment = 2 * 1024 * 1024;

[[nodiscard]] double Seconds(Clock::duration d);
[[nodiscard]] double Median(std::vector<double> values);

// Message i of a mailbox without large attachments.
[[nodiscard]] std::string SmallMessage(std::mt19937& rng, std::size_t i);
// Message `index` of the attachment pool (0 to kAttachmentPool - 1), growing in size.
[[nodiscard]] std::string AttachmentMessage(std::mt19937& rng, std::size_t index);

}  // namespace bench
