#pragma once
// Drive types of paths, with the values GetDriveTypeW gives them, worked out from the mount that
// holds the path (/proc/self/mountinfo) and, for block devices, /sys/block/<disk>/removable.
// The mount table text and the sysfs folder can be given, so that tests feed sample systems.
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brevio {

inline constexpr uint32_t DRIVE_UNKNOWN = 0;
inline constexpr uint32_t DRIVE_NO_ROOT_DIR = 1;
inline constexpr uint32_t DRIVE_REMOVABLE = 2;
inline constexpr uint32_t DRIVE_FIXED = 3;
inline constexpr uint32_t DRIVE_REMOTE = 4;
inline constexpr uint32_t DRIVE_CDROM = 5;
inline constexpr uint32_t DRIVE_RAMDISK = 6;

// One line of a mountinfo table, with the octal escapes (\040 and the like) decoded.
struct MountEntry {
    uint32_t id = 0;
    uint32_t parent = 0;  // the mount this one is mounted in
    uint32_t major = 0;
    uint32_t minor = 0;
    std::string root;
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

// Parses mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// Decodes the backslash-octal escapes the kernel writes for space, tab, newline and backslash.
std::string UnescapeMountField(std::string_view field);

class DriveTypeResolver {
public:
    // `mountInfo`: the text of a mountinfo table; `sysfsRoot`: the folder standing for /sys.
    // With `resolveSymlinks`, the existing part of a path is resolved before the mount is looked
    // up (the system resolver does it; sample tables describe made-up paths).
    DriveTypeResolver(std::string_view mountInfo, std::string sysfsRoot, bool resolveSymlinks);
    // The running system: /proc/self/mountinfo and /sys, read now.
    static DriveTypeResolver ForSystem();

    // DRIVE_* of the mount that holds `path`: 0 (DRIVE_UNKNOWN) for an empty or relative path and
    // for pseudo file systems; DRIVE_NO_ROOT_DIR when no mount holds it (an unreadable table).
    uint32_t GetDriveType(const QString& path) const;
    // The mount that really holds an absolute, normalised path: of the mounts whose mount point
    // is a whole leading part of it, those hidden by a mount over a folder above them (one they
    // are not mounted inside of) are passed over, and the deepest of the others wins; of mounts
    // on the same point, the one stacked on the other. Null when none holds it.
    const MountEntry* FindMount(const std::string& path) const;
    uint32_t Classify(const MountEntry& mount) const;
    // True when the mount's block device is a disk whose sysfs "removable" reads 1.
    bool IsRemovable(const MountEntry& mount) const;

    const std::vector<MountEntry>& Mounts() const { return mounts_; }

private:
    std::string DiskOf(const MountEntry& mount) const;
    // True when `mount` was mounted inside `ancestor`, directly or through other mounts.
    bool IsInside(const MountEntry& mount, const MountEntry& ancestor) const;

    std::vector<MountEntry> mounts_;
    std::string sysfsRoot_;
    bool resolveSymlinks_;
};

// The drive type of `path` on the running system (GetPathDriveType).
uint32_t GetPathDriveType(const QString& path);

}  // namespace brevio
