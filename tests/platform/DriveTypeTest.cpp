#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <filesystem>

#include "TestHarness.h"
#include "platform/DriveType.h"

namespace brevio {
namespace {

namespace fs = std::filesystem;

// A mount table as a desktop with a container root, network shares, a USB stick and a DVD
// would show it.
constexpr const char* kMountInfo =
    "24 1 0:22 / / rw,relatime - overlay overlay rw,lowerdir=/l,upperdir=/u,workdir=/w\n"
    "25 24 0:23 / /proc rw,nosuid,nodev,noexec,relatime shared:12 - proc proc rw\n"
    "26 24 0:24 / /sys rw,nosuid shared:2 - sysfs sysfs rw\n"
    "27 24 0:25 / /tmp rw,nosuid,nodev shared:3 - tmpfs tmpfs rw,size=1g\n"
    "28 24 8:2 / /home rw,relatime shared:4 - ext4 /dev/sda2 rw\n"
    "29 28 0:40 / /home/me/nfs rw,relatime shared:5 - nfs4 server:/export rw,vers=4.2\n"
    "30 28 0:41 / /home/me/win\\040share rw shared:6 - cifs //host/share rw\n"
    "31 28 0:42 / /home/me/remote rw shared:7 master:1 - fuse.sshfs me@host:/ rw\n"
    "32 24 11:0 / /media/me/DVD\\040Disc ro,relatime shared:8 - iso9660 /dev/sr0 ro\n"
    "33 24 8:17 / /media/me/USB rw,relatime shared:9 - vfat /dev/sdb1 rw\n"
    "34 24 0:45 / /mnt/data rw,relatime shared:10 - btrfs /dev/sdc1 rw\n"
    "35 24 0:46 / /mnt/pool rw shared:11 - zfs tank/data rw\n"
    "36 28 0:47 / /home/me/ram rw - ramfs ramfs rw\n"
    "37 24 0:48 / /mnt/weird rw - fuse.portal portal rw\n"
    "38 24 7:0 / /mnt/image rw - squashfs /dev/loop0 ro\n"
    "39 24 8:33 / /mnt/usbdisk rw - exfat /dev/sdc3 rw\n"
    "garbage line\n"
    "40 24 0:49 / /mnt/short - \n"
    "41 27 0:50 / /tmp rw - ext4 /dev/sda3 rw\n";

// A sysfs stand-in: sdb is removable (a USB stick), sda and sdc are not, and loop0 has no
// removable flag at all.
class FakeSysfs {
public:
    FakeSysfs() : dir_(QStringLiteral("sysfs")), root_(dir_.path().toStdString()) {
        AddDisk("sda", "8:0", "0", {{"sda2", "8:2"}, {"sda3", "8:3"}});
        AddDisk("sdb", "8:16", "1", {{"sdb1", "8:17"}});
        AddDisk("sdc", "8:32", "0", {{"sdc1", "8:33"}, {"sdc3", "8:35"}});
        // 8:33 is sdc1's number; /mnt/usbdisk claims 8:33 but names /dev/sdc3: the number wins.
    }
    const std::string& root() const { return root_; }
    void SetRemovable(const std::string& disk, const char* value) {
        Write(fs::path(root_) / "block" / disk / "removable", value);
    }

private:
    void AddDisk(const std::string& disk, const std::string& number, const char* removable,
                 std::vector<std::pair<std::string, std::string>> partitions) {
        const fs::path device = fs::path(root_) / "devices" / "pci0000:00" / "block" / disk;
        fs::create_directories(device);
        Write(device / "removable", removable);
        fs::create_directories(fs::path(root_) / "block");
        fs::create_directories(fs::path(root_) / "dev" / "block");
        fs::create_symlink(device, fs::path(root_) / "block" / disk);
        fs::create_symlink(device, fs::path(root_) / "dev" / "block" / number);
        for (const auto& [name, partitionNumber] : partitions) {
            fs::create_directories(device / name);
            Write(device / name / "partition", "1");
            fs::create_symlink(device / name, fs::path(root_) / "dev" / "block" / partitionNumber);
        }
    }
    static void Write(const fs::path& file, const char* text) {
        QFile out(QString::fromStdString(file.string()));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
        out.write("\n");
    }
    test::TempDir dir_;
    std::string root_;
};

TEST(MountInfo, ParsesFieldsAndEscapes) {
    const std::vector<MountEntry> mounts = ParseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 17u);  // the garbage and the short line are skipped
    EXPECT_EQ(mounts[0].mountPoint, "/");
    EXPECT_EQ(mounts[0].fsType, "overlay");
    EXPECT_EQ(mounts[4].major, 8u);
    EXPECT_EQ(mounts[4].minor, 2u);
    EXPECT_EQ(mounts[4].source, "/dev/sda2");
    EXPECT_EQ(mounts[6].mountPoint, "/home/me/win share");
    EXPECT_EQ(mounts[7].fsType, "fuse.sshfs");  // after two optional fields
    EXPECT_EQ(mounts[8].mountPoint, "/media/me/DVD Disc");

    EXPECT_EQ(UnescapeMountField("a\\040b\\011c\\012d\\134e"), "a b\tc\nd\\e");
    EXPECT_EQ(UnescapeMountField("end\\040"), "end ");
    EXPECT_EQ(UnescapeMountField("\\04"), "\\04");      // too short to be an escape
    EXPECT_EQ(UnescapeMountField("\\089x"), "\\089x");  // not octal
    EXPECT_TRUE(ParseMountInfo("").empty());
}

TEST(DriveType, EachKindOfFileSystem) {
    FakeSysfs sysfs;
    const DriveTypeResolver resolver(kMountInfo, sysfs.root(), false);
    struct Case {
        const char* path;
        uint32_t type;
    };
    const Case cases[] = {
        {"/", DRIVE_FIXED},                             // overlay
        {"/var/lib/x.mov", DRIVE_FIXED},                // on the overlay root
        {"/home/me/Movies/x.mov", DRIVE_FIXED},         // ext4 on sda2, not removable
        {"/home/me/nfs/x.mov", DRIVE_REMOTE},           // nfs4
        {"/home/me/win share/x.mov", DRIVE_REMOTE},     // cifs, escaped mount point
        {"/home/me/remote/a/b.mov", DRIVE_REMOTE},      // fuse.sshfs
        {"/media/me/DVD Disc/VIDEO_TS", DRIVE_CDROM},   // iso9660
        {"/media/me/USB/DCIM/x.mov", DRIVE_REMOVABLE},  // vfat on sdb1, removable disk
        {"/media/me/USB", DRIVE_REMOVABLE},             // the mount point itself
        {"/mnt/data/x.mov", DRIVE_FIXED},               // btrfs: anonymous number, found by name
        {"/mnt/pool/x.mov", DRIVE_FIXED},               // zfs, no block device
        {"/home/me/ram/x", DRIVE_RAMDISK},              // ramfs
        {"/proc/self/x", DRIVE_UNKNOWN},                // pseudo file systems
        {"/sys/block", DRIVE_UNKNOWN},
        {"/mnt/weird/x", DRIVE_UNKNOWN},                // unknown FUSE file system
        {"/mnt/image/x", DRIVE_FIXED},                  // on a block device without a flag
        {"/mnt/usbdisk/x", DRIVE_FIXED},                // 8:33 is sdc1, on a fixed disk
        {"/tmp/x.mov", DRIVE_FIXED},                    // ext4 mounted over the tmpfs
        {"/tmpfile.mov", DRIVE_FIXED},                  // not under /tmp: a whole element only
        {"/home/me/nfs2/x", DRIVE_FIXED},               // not under /home/me/nfs
        {"/home/me/nfs/../Movies/x.mov", DRIVE_FIXED},  // normalised before the lookup
        {"/home/me/nfs//x.mov", DRIVE_REMOTE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resolver.GetDriveType(QString::fromUtf8(c.path)), c.type) << c.path;
    }
}

TEST(DriveType, RemovableFlagDecides) {
    FakeSysfs sysfs;
    sysfs.SetRemovable("sda", "1");
    sysfs.SetRemovable("sdb", "0");
    const DriveTypeResolver resolver(kMountInfo, sysfs.root(), false);
    EXPECT_EQ(resolver.GetDriveType(QStringLiteral("/home/me/x")), DRIVE_REMOVABLE);
    EXPECT_EQ(resolver.GetDriveType(QStringLiteral("/media/me/USB/x")), DRIVE_FIXED);
    // Without a sysfs nothing is known to be removable.
    const DriveTypeResolver bare(kMountInfo, "/nonexistent-sysfs", false);
    EXPECT_EQ(bare.GetDriveType(QStringLiteral("/media/me/USB/x")), DRIVE_FIXED);
}

TEST(DriveType, PathsWithoutARoot) {
    FakeSysfs sysfs;
    const DriveTypeResolver resolver(kMountInfo, sysfs.root(), false);
    EXPECT_EQ(resolver.GetDriveType(QString()), 0u);
    EXPECT_EQ(resolver.GetDriveType(QStringLiteral("relative/x.mov")), 0u);
    EXPECT_EQ(resolver.GetDriveType(QStringLiteral("x.mov")), 0u);
    const DriveTypeResolver empty("", sysfs.root(), false);
    EXPECT_EQ(empty.GetDriveType(QStringLiteral("/home/x")), DRIVE_NO_ROOT_DIR);
    // A table without a root mount has nothing for paths outside its mounts.
    const DriveTypeResolver partial("1 0 8:2 / /home rw - ext4 /dev/sda2 rw\n", sysfs.root(),
                                    false);
    EXPECT_EQ(partial.GetDriveType(QStringLiteral("/home/me")), DRIVE_FIXED);
    EXPECT_EQ(partial.GetDriveType(QStringLiteral("/opt/x")), DRIVE_NO_ROOT_DIR);
}

TEST(DriveType, RunningSystem) {
    EXPECT_EQ(GetPathDriveType(QStringLiteral("/proc/self/status")), DRIVE_UNKNOWN);
    EXPECT_EQ(GetPathDriveType(QStringLiteral("relative")), 0u);
    // The test folder is on some real mount of this machine.
    test::TempDir dir(QStringLiteral("drive"));
    const uint32_t type = GetPathDriveType(dir.file(QStringLiteral("new.mov")));
    EXPECT_GE(type, DRIVE_REMOVABLE);
    EXPECT_LE(type, DRIVE_RAMDISK);
}

}  // namespace
}  // namespace brevio
