#include "platform/file_stamp.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <limits>

#include "platform/paths.h"

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600;

}  // namespace

bool SetFileTimes(std::u16string_view path, FILETIME64 time) {
    if (time == 0 || time > FILETIME64(std::numeric_limits<std::int64_t>::max()) || path.empty()) {
        return false;
    }
    const auto ticks = static_cast<std::int64_t>(time);
    timespec stamp{};
    stamp.tv_sec = static_cast<time_t>(ticks / kTicksPerSecond - kUnixEpochSeconds);
    stamp.tv_nsec = static_cast<long>(ticks % kTicksPerSecond * 100);
    const timespec times[2] = {stamp, stamp};
    return utimensat(AT_FDCWD, PathFromWide(path).c_str(), times, 0) == 0;
}
