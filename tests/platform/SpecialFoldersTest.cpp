#include <gtest/gtest.h>
#include <QDir>

#include "TestHarness.h"
#include "platform/SpecialFolders.h"

namespace brevio {
namespace {

bool InAny(const QString& path) {
    for (int csidl : {CSIDL_WINDOWS, CSIDL_PROGRAM_FILES, CSIDL_COMMON_APPDATA}) {
        if (IsInSpecialFolder(path, csidl)) return true;
    }
    return false;
}

TEST(SpecialFolders, StartsWithMatching) {
    EXPECT_TRUE(IsInSpecialFolder(QStringLiteral("/usr/share/x.mov"), CSIDL_WINDOWS));
    // Whole names, compared as the file system compares them.
    EXPECT_FALSE(IsInSpecialFolder(QStringLiteral("/usr2/x.mov"), CSIDL_WINDOWS));
    EXPECT_FALSE(IsInSpecialFolder(QStringLiteral("/USR/x.mov"), CSIDL_WINDOWS));
    EXPECT_FALSE(InAny(QStringLiteral("/devel/x.mov")));
    EXPECT_FALSE(InAny(QStringLiteral("/Library/x.mov")));
    EXPECT_FALSE(InAny(QStringLiteral("/srv-media/x.mov")));
    EXPECT_TRUE(IsInSpecialFolder(QStringLiteral("/etc"), CSIDL_WINDOWS));
    EXPECT_TRUE(IsInSpecialFolder(QStringLiteral("/run/user/1000/x.mov"), CSIDL_WINDOWS));
    EXPECT_TRUE(IsInSpecialFolder(QStringLiteral("/opt/app/x.mov"), CSIDL_PROGRAM_FILES));
    EXPECT_TRUE(IsInSpecialFolder(QStringLiteral("/usr/local/x.mov"), CSIDL_PROGRAM_FILES));
    EXPECT_TRUE(IsInSpecialFolder(QStringLiteral("/var/lib/x.mov"), CSIDL_COMMON_APPDATA));
    EXPECT_TRUE(IsInSpecialFolder(QStringLiteral("/srv/x.mov"), CSIDL_COMMON_APPDATA));
    EXPECT_FALSE(IsInSpecialFolder(QStringLiteral("/var/lib/x.mov"), CSIDL_WINDOWS));

    EXPECT_FALSE(InAny(QStringLiteral("/home/me/usr/x.mov")));  // contains, not starts with
    EXPECT_FALSE(InAny(QStringLiteral("/home/me/Movies/x.mov")));
    EXPECT_FALSE(InAny(QStringLiteral("/var/tmp/x.mov")));
    EXPECT_FALSE(InAny(QStringLiteral("/media/me/USB/x.mov")));
    EXPECT_FALSE(InAny(QStringLiteral("/run/media/me/USB/x.mov")));  // removable media
    EXPECT_FALSE(InAny(QStringLiteral("/")));
    EXPECT_TRUE(SpecialFolderPaths(0x05).isEmpty());
    EXPECT_FALSE(IsInSpecialFolder(QStringLiteral("/usr/x"), 0x05));
    EXPECT_FALSE(PathStartsWithFolder(QStringLiteral("/x"), QString()));
}

TEST(SpecialFolders, HiddenFolderRule) {
    test::TempDir dir(QStringLiteral("hidden"));
    ASSERT_TRUE(QDir().mkpath(dir.file(QStringLiteral(".cache/inner"))));
    ASSERT_TRUE(QDir().mkpath(dir.file(QStringLiteral("visible"))));
    EXPECT_TRUE(IsHiddenFolder(dir.file(QStringLiteral(".cache"))));
    EXPECT_TRUE(IsHiddenFolder(dir.file(QStringLiteral(".cache/"))));
    EXPECT_FALSE(IsHiddenFolder(dir.file(QStringLiteral(".cache/inner"))));  // its own name only
    EXPECT_FALSE(IsHiddenFolder(dir.file(QStringLiteral("visible"))));
    EXPECT_FALSE(IsHiddenFolder(dir.file(QStringLiteral("visible/."))));
    EXPECT_TRUE(IsHiddenFolder(dir.file(QStringLiteral("visible/../.cache"))));
    EXPECT_TRUE(IsHiddenFolder(dir.file(QStringLiteral("missing"))));  // refused as well
    EXPECT_TRUE(IsHiddenFolder(QString()));
    EXPECT_FALSE(IsHiddenFolder(QStringLiteral("/")));
    EXPECT_TRUE(IsRootFolder(QStringLiteral("//")));
    EXPECT_FALSE(IsRootFolder(QStringLiteral("/home")));
    EXPECT_EQ(SystemRootFolder(), QStringLiteral("/"));
}

}  // namespace
}  // namespace brevio
