// Where a movie may be saved, over a made-up system: a mount table and folders under a test root.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <filesystem>

#include "TestHarness.h"
#include "save/DestinationCheck.h"

namespace brevio {
namespace {

namespace fs = std::filesystem;

void MakeFolder(const QString& path) {
    ASSERT_TRUE(QDir().mkpath(path)) << path.toStdString();
}

void WriteText(const QString& path, const char* text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(text);
}

TEST(DestinationCheck, RefusesSystemFoldersOddDrivesHiddenFoldersAndEscapes) {
    test::TempDir dir(QStringLiteral("dest"));
    const QString root = QDir(dir.path()).canonicalPath() + QStringLiteral("/root");
    const QString sysfs = QDir(dir.path()).canonicalPath() + QStringLiteral("/sysfs");
    for (const char* folder :
         {"/home/me/usr", "/home/me/.hidden", "/home/me/Videos", "/usr/share", "/usr2", "/etc",
          "/opt/app", "/var/lib/db", "/var/tmp", "/mnt/nfs", "/mnt/cd", "/mnt/ram",
          "/run/media/me/USB", "/run/user", "/Library", "/srv-media", "/mnt/over/inner"}) {
        MakeFolder(root + QLatin1String(folder));
    }
    fs::create_symlink((root + QStringLiteral("/etc")).toStdString(),
                       (root + QStringLiteral("/home/me/config")).toStdString());
    fs::create_symlink((root + QStringLiteral("/home/me/Videos")).toStdString(),
                       (root + QStringLiteral("/home/me/films")).toStdString());
    MakeFolder(sysfs + QStringLiteral("/block/sda/sda1"));
    WriteText(sysfs + QStringLiteral("/block/sda/removable"), "0\n");
    MakeFolder(sysfs + QStringLiteral("/block/sdb/sdb1"));
    WriteText(sysfs + QStringLiteral("/block/sdb/removable"), "1\n");

    const std::string r = root.toStdString();
    const std::string mountInfo = "20 1 8:1 / " + r + " rw - ext4 /dev/sda1 rw\n" +             //
                                  "21 20 0:40 / " + r + "/mnt/nfs rw - nfs4 srv:/x rw\n" +      //
                                  "22 20 11:0 / " + r + "/mnt/cd ro - iso9660 /dev/sr0 ro\n" +  //
                                  "23 20 0:41 / " + r + "/mnt/ram rw - tmpfs tmpfs rw\n" +      //
                                  "24 20 8:17 / " + r +
                                  "/run/media/me/USB rw - vfat /dev/sdb1 rw\n" +
                                  // A disk below /mnt/over, then a RAM disk mounted over it.
                                  "25 20 8:2 / " + r + "/mnt/over/inner rw - ext4 /dev/sda2 rw\n" +
                                  "26 20 0:42 / " + r + "/mnt/over rw - tmpfs tmpfs rw\n";

    struct Case {
        const char* path;  // below the root, or as it stands when it does not start with '/'
        bool guardRoot;
        bool allowed;
    };
    const Case cases[] = {
        {"/home/me/trip.mov", true, true},
        {"/home/me/usr/trip.mov", true, true},  // named like a system folder, elsewhere
        {"/home/me/Videos", true, true},        // a folder given without a name
        {"/usr/share/trip.mov", true, false},
        {"/usr2/trip.mov", true, true},  // only whole names, compared case-sensitively
        {"/Library/trip.mov", true, true},
        {"/srv-media/trip.mov", true, true},
        {"/mnt/over/inner/trip.mov", true, false},  // hidden by the later RAM disk
        {"/etc/trip.mov", true, false},
        {"/opt/app/trip.mov", true, false},
        {"/var/lib/db/trip.mov", true, false},
        {"/var/tmp/trip.mov", true, true},
        {"/run/user/trip.mov", true, false},
        {"/run/media/me/USB/trip.mov", true, true},  // a removable disk
        {"/mnt/nfs/trip.mov", true, false},
        {"/mnt/cd/trip.mov", true, false},
        {"/mnt/ram/trip.mov", true, false},
        {"/home/me/.hidden/trip.mov", true, false},
        {"/home/me/missing/trip.mov", true, false},
        {"/home/me/../../usr/share/trip.mov", true, false},  // ".." out of the home folder
        {"/home/me/missing/../../../etc/trip.mov", true, false},
        {"/home/me/config/trip.mov", true, false},  // a link into /etc
        {"/home/me/films/trip.mov", true, true},    // a link to an ordinary folder
        {"/trip.mov", true, false},                 // the guarded root
        {"/trip.mov", false, true},
        {"home/me/trip.mov", false, false},  // not absolute
        {"", false, false},
    };
    for (const Case& c : cases) {
        const QString path = QLatin1String(c.path).startsWith(u'/') ? root + QLatin1String(c.path)
                                                                    : QLatin1String(c.path);
        DestinationCheck check(DestinationCheck::Environment{
            DriveTypeResolver(mountInfo, sysfs.toStdString(), false), root, c.guardRoot});
        EXPECT_EQ(check.IsAllowedDestination(path), c.allowed)
            << c.path << (c.guardRoot ? " (root guarded)" : "");
    }
}

}  // namespace
}  // namespace brevio
