#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "TestHarness.h"
#include "platform/FileHelpers.h"

namespace brevio {
namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

bool SetModificationTime(const QString& path, time_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    return ::utimensat(AT_FDCWD, path.toUtf8().constData(), times, 0) == 0;
}

TEST(FileSizeAndTime, SizeAndFileTimeOfARegularFile) {
    test::TempDir dir(QStringLiteral("filetime"));
    const QString path = dir.file(QStringLiteral("movie \xe6\x96\x87.mov"));
    WriteFile(path, QByteArray(12345, 'x'));
    // 2020-01-01 00:00:00.1234567 UTC: 13222310400 s after 1601-01-01.
    ASSERT_TRUE(SetModificationTime(path, 1577836800, 123456789));
    FileSizeAndTime info;
    ASSERT_TRUE(GetFileSizeAndTime(path, info));
    EXPECT_EQ(info.size, 12345);
    EXPECT_EQ(info.lastWriteTime, 132223104001234567LL);
    // The Unix epoch itself, and a time before it.
    EXPECT_EQ(FileTimeFromUnix(0, 0), 116444736000000000LL);
    EXPECT_EQ(FileTimeFromUnix(-1, 0), 116444735990000000LL);
}

TEST(FileSizeAndTime, RefusesWhatIsNotAReadableFileAndCreatesNothing) {
    test::TempDir dir(QStringLiteral("filetime"));
    FileSizeAndTime info;
    info.size = 5;
    const QString missing = dir.file(QStringLiteral("missing.mov"));
    EXPECT_FALSE(GetFileSizeAndTime(missing, info));
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_EQ(info.size, 5);  // untouched on failure
    EXPECT_FALSE(GetFileSizeAndTime(dir.path(), info));
    EXPECT_FALSE(GetFileSizeAndTime(QString(), info));
    const QString fifo = dir.file(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    EXPECT_FALSE(GetFileSizeAndTime(fifo, info));  // and does not block on it
    if (::geteuid() != 0) {
        const QString locked = dir.file(QStringLiteral("locked.mov"));
        WriteFile(locked, "abc");
        ASSERT_EQ(::chmod(locked.toUtf8().constData(), 0), 0);
        EXPECT_FALSE(GetFileSizeAndTime(locked, info));
    }
}

TEST(FilePaths, ExistenceAndFolders) {
    test::TempDir dir(QStringLiteral("paths"));
    const QString file = dir.file(QStringLiteral("a.mov"));
    WriteFile(file, "1");
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(dir.path()));
    EXPECT_FALSE(PathExists(dir.file(QStringLiteral("b.mov"))));
    EXPECT_FALSE(PathExists(QString()));
    EXPECT_TRUE(PathIsDirectory(dir.path()));
    EXPECT_FALSE(PathIsDirectory(file));

    const QString sub = dir.file(QStringLiteral("sub"));
    EXPECT_TRUE(MakeDirectory(sub));
    EXPECT_TRUE(MakeDirectory(sub));    // an existing folder is fine
    EXPECT_FALSE(MakeDirectory(file));  // a file is in the way
    EXPECT_FALSE(MakeDirectory(dir.file(QStringLiteral("x/y"))));
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(RemoveFile(file));
    EXPECT_FALSE(RemoveFile(sub));  // folders are not files
}

TEST(FilePaths, SplitLikeSplitPath) {
    struct Case {
        const char* path;
        const char* folder;
        const char* name;
        const char* extension;
    };
    const Case cases[] = {
        {"/home/me/Movies/day.mov", "/home/me/Movies/", "day", ".mov"},
        {"/home/me/archive.tar.gz", "/home/me/", "archive.tar", ".gz"},
        {"/home/me.d/noext", "/home/me.d/", "noext", ""},
        {"/home/me/.hidden", "/home/me/", "", ".hidden"},
        {"/home/me/folder/", "/home/me/folder/", "", ""},
        {"day.mov", "", "day", ".mov"},
        {"/", "/", "", ""},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        const PathParts parts = SplitPath(QString::fromUtf8(c.path));
        EXPECT_TRUE(parts.drive.isEmpty());
        EXPECT_EQ(parts.folder, QString::fromUtf8(c.folder)) << c.path;
        EXPECT_EQ(parts.name, QString::fromUtf8(c.name)) << c.path;
        EXPECT_EQ(parts.extension, QString::fromUtf8(c.extension)) << c.path;
        EXPECT_EQ(parts.DriveAndFolder() + parts.FileName(), QString::fromUtf8(c.path));
    }
    // No length limit on the parts: a long folder keeps its file name.
    const QString longPath = u'/' + QString(300, u'd') + QStringLiteral("/f.mov");
    EXPECT_EQ(SplitPath(longPath).FileName(), QStringLiteral("f.mov"));
}

TEST(FilePaths, RemoveFileSpecCutsTheLastElement) {
    QString path = QStringLiteral("/a/b/c.mov");
    EXPECT_TRUE(RemoveFileSpec(path));
    EXPECT_EQ(path, QStringLiteral("/a/b"));
    path = QStringLiteral("/a/b/");
    EXPECT_TRUE(RemoveFileSpec(path));
    EXPECT_EQ(path, QStringLiteral("/a"));
    EXPECT_TRUE(RemoveFileSpec(path));
    EXPECT_EQ(path, QStringLiteral("/"));
    EXPECT_FALSE(RemoveFileSpec(path));
    EXPECT_EQ(path, QStringLiteral("/"));
    path = QStringLiteral("name.mov");
    EXPECT_TRUE(RemoveFileSpec(path));
    EXPECT_TRUE(path.isEmpty());
    EXPECT_FALSE(RemoveFileSpec(path));
}

TEST(TempFile, CreatesNewUniqueFilesExclusively) {
    test::TempDir dir(QStringLiteral("tempfile"));
    QSet<QString> names;
    for (int i = 0; i < 50; ++i) {
        const QString path = CreateUniqueTempFile(dir.path() + u'/', QStringLiteral("BRV"));
        ASSERT_FALSE(path.isEmpty());
        const QString name = QFileInfo(path).fileName();
        EXPECT_TRUE(QFileInfo(path).absolutePath() == dir.path()) << path.toStdString();
        EXPECT_EQ(name.size(), 11) << name.toStdString();
        EXPECT_TRUE(name.startsWith(QStringLiteral("BRV")));
        EXPECT_TRUE(name.endsWith(QStringLiteral(".tmp")));
        bool hex = false;
        EXPECT_GT(name.mid(3, 4).toUInt(&hex, 16), 0u);
        EXPECT_TRUE(hex);
        EXPECT_EQ(name.mid(3, 4), name.mid(3, 4).toUpper());
        EXPECT_EQ(QFileInfo(path).size(), 0);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 50);
    struct stat info {};
    ASSERT_EQ(::stat(dir.file(*names.begin()).toUtf8().constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // The prefix is cut to three characters; the folder may come without its '/'.
    const QString other = CreateUniqueTempFile(dir.path(), QStringLiteral("ABCDEF"));
    EXPECT_TRUE(QFileInfo(other).fileName().startsWith(QStringLiteral("ABC")));
    EXPECT_EQ(QFileInfo(other).fileName().size(), 11);
}

TEST(TempFile, UnusableFolderGivesNothing) {
    test::TempDir dir(QStringLiteral("tempfile"));
    EXPECT_TRUE(
        CreateUniqueTempFile(dir.file(QStringLiteral("missing")), QStringLiteral("BRV")).isEmpty());
    EXPECT_TRUE(CreateUniqueTempFile(QString(), QStringLiteral("BRV")).isEmpty());
    if (::geteuid() != 0) {
        const QString readOnly = dir.file(QStringLiteral("ro"));
        ASSERT_TRUE(QDir().mkdir(readOnly));
        ASSERT_EQ(::chmod(readOnly.toUtf8().constData(), 0500), 0);
        EXPECT_TRUE(CreateUniqueTempFile(readOnly, QStringLiteral("BRV")).isEmpty());
        ::chmod(readOnly.toUtf8().constData(), 0700);
    }
}

}  // namespace
}  // namespace brevio
