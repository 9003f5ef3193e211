// The snapshot of the source file and the change test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "DocumentTestSupport.h"
#include "document/CFileBasicInfo.h"
#include "document/SourceFileWatch.h"

namespace brevio {
namespace {

using test::Q;
namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Sets the last-write time to a fixed second plus `nanoseconds`.
void SetWriteTime(const fs::path& path, long nanoseconds) {
    struct timespec times[2];
    times[0] = {1'700'000'000, 0};
    times[1] = {1'700'000'000, nanoseconds};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override {
        file = dir.path() / "movie.mov";
        Write(file, "0123456789");
        SetWriteTime(file, 500);
        ASSERT_TRUE(info.Snapshot(Q(file)));
    }
    testmovies::TempDir dir{"doc-snapshot"};
    fs::path file;
    CFileBasicInfo info;
};

TEST_F(Snapshot, RecordsPathPartsSizeAndWriteTime) {
    EXPECT_EQ(info.GetPath(), Q(file));
    EXPECT_EQ(info.GetFolder(), Q(dir.path()) + u'/');
    EXPECT_EQ(info.GetFileName(), QStringLiteral("movie.mov"));
    EXPECT_EQ(info.GetSize(), 10);
    // 100 ns units since 1601: 1,700,000,000 s after 1970, plus 500 ns (5 units).
    EXPECT_EQ(info.GetLastWriteTime(), 116'444'736'000'000'000 + 17'000'000'000'000'000 + 5);
    EXPECT_TRUE(info.Exists());
    EXPECT_FALSE(HasFileChanged(info));
}

TEST_F(Snapshot, ANewRecordAndANullPath) {
    CFileBasicInfo fresh;
    EXPECT_TRUE(fresh.GetPath().isEmpty());
    EXPECT_EQ(fresh.GetSize(), -1);
    EXPECT_EQ(fresh.GetLastWriteTime(), -1);
    EXPECT_FALSE(fresh.Exists());
    EXPECT_FALSE(HasFileChanged(fresh));  // nothing recorded, nothing to compare

    const int64_t time = info.GetLastWriteTime();
    EXPECT_TRUE(info.Snapshot(QString()));
    EXPECT_TRUE(info.GetPath().isEmpty());
    EXPECT_TRUE(info.GetFolder().isEmpty());
    EXPECT_TRUE(info.GetFileName().isEmpty());
    EXPECT_EQ(info.GetSize(), -1);
    EXPECT_EQ(info.GetLastWriteTime(), time);
}

TEST_F(Snapshot, AMissingFileIsReportedAndNeverCreated) {
    const fs::path missing = dir.path() / "sub" / "other.mov";
    fs::create_directory(dir.path() / "sub");
    EXPECT_FALSE(info.Snapshot(Q(missing)));
    EXPECT_FALSE(test::FileExists(missing));
    // The earlier path, size and time stay; folder and name are already the new ones.
    EXPECT_EQ(info.GetPath(), Q(file));
    EXPECT_EQ(info.GetSize(), 10);
    EXPECT_EQ(info.GetFolder(), Q(dir.path() / "sub") + u'/');
    EXPECT_EQ(info.GetFileName(), QStringLiteral("other.mov"));

    // The change test of a deleted file does not bring it back either.
    CFileBasicInfo gone;
    ASSERT_TRUE(gone.Snapshot(Q(file)));
    fs::remove(file);
    EXPECT_TRUE(HasFileChanged(gone));
    EXPECT_FALSE(test::FileExists(file));
}

TEST_F(Snapshot, SameSizeAndTimeCountsAsUnchanged) {
    Write(file, "abcdefghij");  // other bytes, same size
    SetWriteTime(file, 500);
    EXPECT_FALSE(HasFileChanged(info));
}

TEST_F(Snapshot, ChangedResizedReplacedOrDeletedFilesCountAsChanged) {
    Write(file, "abcdefghij");
    SetWriteTime(file, 600);  // same size, 100 ns later
    EXPECT_TRUE(HasFileChanged(info));

    SetWriteTime(file, 500);
    EXPECT_FALSE(HasFileChanged(info));
    Write(file, "0123456789A");
    SetWriteTime(file, 500);  // same time, one byte more
    EXPECT_TRUE(HasFileChanged(info));

    // Replaced by another file under the same name.
    const fs::path other = dir.path() / "other.mov";
    Write(other, "0123456789");
    SetWriteTime(other, 900);
    fs::rename(other, file);
    EXPECT_TRUE(HasFileChanged(info));

    // A folder in its place.
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_TRUE(info.Exists());
    EXPECT_TRUE(HasFileChanged(info));
    fs::remove(file);
    EXPECT_FALSE(info.Exists());
    EXPECT_TRUE(HasFileChanged(info));
}

TEST_F(Snapshot, AFileThatCannotBeReadCountsAsChanged) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser reads every file";
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    EXPECT_TRUE(HasFileChanged(info));
    CFileBasicInfo again;
    EXPECT_FALSE(again.Snapshot(Q(file)));
    ::chmod(file.c_str(), 0600);
}

TEST_F(Snapshot, AFifoDoesNotBlockTheSnapshot) {
    const fs::path fifo = dir.path() / "fifo.mov";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CFileBasicInfo record;
    EXPECT_FALSE(record.Snapshot(Q(fifo)));
}

}  // namespace
}  // namespace brevio
