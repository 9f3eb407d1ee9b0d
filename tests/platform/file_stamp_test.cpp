#include "platform/file_stamp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"

namespace {

namespace fs = std::filesystem;

std::int64_t Mtime(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? std::int64_t(st.st_mtim.tv_sec) : -1;
}

TEST(FileStampTest, SetsTheExactTimeAndRefusesWhatIsNoDate) {
    dbxw::TempDir temp;
    const fs::path file = temp.Path("f.txt");
    dbxw::WriteWholeFile(file, "content");
    const std::uint64_t time = dbxw::FileTimeFromUtc(2001, 9, 9, 1, 46, 40) + 1234567;
    ASSERT_TRUE(SetFileTimes(file.u16string(), time));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1'000'000'000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123'456'700);
    EXPECT_EQ(dbxw::ReadWholeFile(file), "content");

    // Before 1970 is still a date.
    ASSERT_TRUE(SetFileTimes(file.u16string(), dbxw::FileTimeFromUtc(1969, 12, 31, 23, 59, 0)));
    EXPECT_EQ(Mtime(file), -60);

    EXPECT_FALSE(SetFileTimes(file.u16string(), 0));
    EXPECT_FALSE(SetFileTimes(file.u16string(), std::uint64_t{1} << 63));
    EXPECT_EQ(Mtime(file), -60);
    EXPECT_FALSE(SetFileTimes(temp.Path("missing").u16string(), time));
    EXPECT_FALSE(SetFileTimes(u"", time));
}

}  // namespace
