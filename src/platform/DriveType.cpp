#include "DriveType.h"

#include "FileHelpers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace brevio {

namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 11> kRemoteTypes = {
    "nfs", "nfs4", "cifs",      "smb3",           "smbfs", "fuse.sshfs",
    "9p",  "ceph", "glusterfs", "fuse.glusterfs", "davfs"};
constexpr std::array<std::string_view, 2> kOpticalTypes = {"iso9660", "udf"};
constexpr std::array<std::string_view, 2> kRamTypes = {"tmpfs", "ramfs"};
// File systems that live on a disk of this machine, also when no /dev source is named
// (overlay and zfs have none; btrfs reports an anonymous device number).
constexpr std::array<std::string_view, 20> kDiskTypes = {
    "ext2",  "ext3",     "ext4",    "xfs",    "btrfs",    "f2fs", "vfat",
    "msdos", "exfat",    "ntfs",    "ntfs3",  "fuseblk",  "zfs",  "overlay",
    "jfs",   "reiserfs", "hfsplus", "nilfs2", "bcachefs", "erofs"};

template <size_t N>
bool OneOf(const std::array<std::string_view, N>& list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size()) break;
        size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

bool ParseDeviceNumber(std::string_view field, uint32_t& major, uint32_t& minor) {
    const size_t colon = field.find(':');
    if (colon == std::string_view::npos) return false;
    const char* begin = field.data();
    const char* mid = begin + colon;
    const char* end = begin + field.size();
    return std::from_chars(begin, mid, major).ec == std::errc() &&
           std::from_chars(mid + 1, end, minor).ec == std::errc();
}

// True when `mountPoint` is `path` itself or a whole leading part of it.
bool Holds(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return true;
    if (path.size() < mountPoint.size() || path.compare(0, mountPoint.size(), mountPoint) != 0) {
        return false;
    }
    return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (in) std::getline(in, line);
    return line;
}

std::string NormalisedPath(const QString& path, bool resolveSymlinks) {
    fs::path p(PathBytes(path).toStdString());
    if (resolveSymlinks) {
        std::error_code ec;
        fs::path resolved = fs::weakly_canonical(p, ec);
        if (!ec) p = resolved;
    }
    std::string text = p.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

}  // namespace

std::string UnescapeMountField(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            const bool octal = std::all_of(digits.begin(), digits.end(),
                                           [](char c) { return c >= '0' && c <= '7'; });
            if (octal) {
                const int value =
                    (digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0');
                if (value <= 0xFF) {
                    out.push_back(static_cast<char>(value));
                    i += 3;
                    continue;
                }
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::vector<std::string_view> fields = SplitFields(text.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super-options
        if (fields.size() < 9) continue;
        const auto separator = std::find(fields.begin() + 6, fields.end(), "-");
        if (separator == fields.end() || fields.end() - separator < 3) continue;
        MountEntry entry;
        if (std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), entry.id).ec !=
                std::errc() ||
            std::from_chars(fields[1].data(), fields[1].data() + fields[1].size(), entry.parent)
                    .ec != std::errc())
            continue;
        if (!ParseDeviceNumber(fields[2], entry.major, entry.minor)) continue;
        entry.root = UnescapeMountField(fields[3]);
        entry.mountPoint = UnescapeMountField(fields[4]);
        entry.fsType = UnescapeMountField(separator[1]);
        entry.source = UnescapeMountField(separator[2]);
        if (entry.mountPoint.empty() || entry.mountPoint.front() != '/') continue;
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

DriveTypeResolver::DriveTypeResolver(std::string_view mountInfo, std::string sysfsRoot,
                                     bool resolveSymlinks)
    : mounts_(ParseMountInfo(mountInfo)),
      sysfsRoot_(std::move(sysfsRoot)),
      resolveSymlinks_(resolveSymlinks) {}

DriveTypeResolver DriveTypeResolver::ForSystem() {
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream text;
    if (in) text << in.rdbuf();
    return DriveTypeResolver(text.str(), "/sys", true);
}

uint32_t DriveTypeResolver::GetDriveType(const QString& path) const {
    if (path.isEmpty() || !path.startsWith(u'/')) return DRIVE_UNKNOWN;
    const MountEntry* mount = FindMount(NormalisedPath(path, resolveSymlinks_));
    if (mount == nullptr) return DRIVE_NO_ROOT_DIR;
    return Classify(*mount);
}

bool DriveTypeResolver::IsInside(const MountEntry& mount, const MountEntry& ancestor) const {
    uint32_t parent = mount.parent;
    // Each step goes one mount up; a table has no longer chain than its lines.
    for (size_t step = 0; step < mounts_.size(); ++step) {
        if (parent == ancestor.id) return true;
        const auto up = std::find_if(mounts_.begin(), mounts_.end(),
                                     [&](const MountEntry& m) { return m.id == parent; });
        if (up == mounts_.end() || up->id == up->parent) return false;
        parent = up->parent;
    }
    return false;
}

const MountEntry* DriveTypeResolver::FindMount(const std::string& path) const {
    // The table's order is not the order of mounting (a root moved into place comes after the
    // mounts inside it), so the mount tree decides: a mount over /mnt hides one made earlier at
    // /mnt/disk, which then is not inside it.
    std::vector<const MountEntry*> holders;
    for (const MountEntry& mount : mounts_) {
        if (Holds(mount.mountPoint, path)) holders.push_back(&mount);
    }
    const MountEntry* found = nullptr;
    for (const MountEntry* mount : holders) {
        const bool hidden =
            std::any_of(holders.begin(), holders.end(), [&](const MountEntry* over) {
                return over->mountPoint.size() < mount->mountPoint.size() &&
                       !IsInside(*mount, *over);
            });
        if (hidden) continue;
        if (found == nullptr || mount->mountPoint.size() > found->mountPoint.size() ||
            (mount->mountPoint.size() == found->mountPoint.size() && !IsInside(*found, *mount)))
            found = mount;
    }
    return found;
}

uint32_t DriveTypeResolver::Classify(const MountEntry& mount) const {
    const std::string_view type = mount.fsType;
    if (OneOf(kRemoteTypes, type)) return DRIVE_REMOTE;
    if (OneOf(kOpticalTypes, type)) return DRIVE_CDROM;
    if (OneOf(kRamTypes, type)) return DRIVE_RAMDISK;
    const bool onBlockDevice = mount.source.rfind("/dev/", 0) == 0;
    if (OneOf(kDiskTypes, type) || onBlockDevice) {
        return IsRemovable(mount) ? DRIVE_REMOVABLE : DRIVE_FIXED;
    }
    // proc, sysfs, cgroup, devpts and the other kernel or unknown file systems.
    return DRIVE_UNKNOWN;
}

std::string DriveTypeResolver::DiskOf(const MountEntry& mount) const {
    const fs::path sysfs(sysfsRoot_);
    std::error_code ec;
    // By device number: /sys/dev/block/M:m leads to the device's folder; a partition's folder
    // lies inside its disk's folder.
    if (mount.major != 0) {
        const fs::path link = sysfs / "dev" / "block" /
                              (std::to_string(mount.major) + ':' + std::to_string(mount.minor));
        const fs::path device = fs::canonical(link, ec);
        if (!ec) {
            if (fs::exists(device / "partition", ec))
                return device.parent_path().filename().string();
            return device.filename().string();
        }
    }
    // By the source device's name (btrfs and others report an anonymous device number).
    if (mount.source.rfind("/dev/", 0) != 0) return {};
    const std::string name = fs::path(mount.source).filename().string();
    if (name.empty()) return {};
    if (fs::exists(sysfs / "block" / name, ec)) return name;
    for (const fs::directory_entry& disk : fs::directory_iterator(sysfs / "block", ec)) {
        if (fs::exists(disk.path() / name, ec)) return disk.path().filename().string();
    }
    return {};
}

bool DriveTypeResolver::IsRemovable(const MountEntry& mount) const {
    const std::string disk = DiskOf(mount);
    if (disk.empty()) return false;
    return ReadFirstLine(fs::path(sysfsRoot_) / "block" / disk / "removable") == "1";
}

uint32_t GetPathDriveType(const QString& path) {
    return DriveTypeResolver::ForSystem().GetDriveType(path);
}

}  // namespace brevio
