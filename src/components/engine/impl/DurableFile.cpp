#include "engine/impl/DurableFile.h"

#include <fcntl.h>
#include <limits.h>
#include <linux/capability.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace brevio::engine {

namespace {

// The hidden partial files being written, by folder descriptor and name, for a signal handler
// to remove. A slot is claimed with `busy`, filled, and published by storing the descriptor.
struct PartialSlot {
    std::atomic<bool> busy{false};
    std::atomic<int> dir{-1};
    char name[NAME_MAX + 1] = {};
};
PartialSlot g_partials[16];
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

int RegisterPartial(int dir, const std::string& name) {
    for (int i = 0; i < int(sizeof g_partials / sizeof g_partials[0]); ++i) {
        PartialSlot& slot = g_partials[i];
        if (slot.busy.exchange(true)) continue;
        std::memcpy(slot.name, name.c_str(), std::min(name.size() + 1, sizeof slot.name));
        slot.name[NAME_MAX] = '\0';
        slot.dir.store(dir, std::memory_order_release);
        return i;
    }
    return -1;
}

void UnregisterPartial(int index) {
    if (index < 0) return;
    g_partials[index].dir.store(-1, std::memory_order_release);
    g_partials[index].busy.store(false);
}

// The longest leading part of `text` of at most `limit` bytes that does not split a UTF-8
// sequence (other bytes are kept as they are).
std::string CutAtCharacter(const std::string& text, size_t limit) {
    if (text.size() <= limit) return text;
    size_t end = limit;
    while (end > 0 && (uint8_t(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// Linking a descriptor itself (AT_EMPTY_PATH) needs CAP_DAC_READ_SEARCH.
bool MayLinkDescriptors() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) return false;
    return (data[CAP_DAC_READ_SEARCH / 32].effective & (1u << (CAP_DAC_READ_SEARCH % 32))) != 0;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

constexpr int kReplaced = -1;  // a naming error: the partial name no longer held our file

}  // namespace

DurableFileHooks& TestHooks() {
    static DurableFileHooks hooks;
    return hooks;
}

void WriteFailure::Set(const char* what) {
    Set(what, errno);
}

void WriteFailure::Set(const char* what, int number) {
    systemError = number;
    message = std::string(what) + ": " + std::strerror(number);
}

std::string PartialName(const std::string& fileName, size_t nameMax, unsigned attempt) {
    static std::atomic<uint64_t> counter{0};
    uint64_t x = uint64_t(::getpid()) * 0x9E3779B97F4A7C15ull ^
                 uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (counter.fetch_add(1) << 20) ^ attempt;
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string tag = ".";
    for (int i = 0; i < 6; ++i, x /= 36) tag += digits[x % 36];
    tag += ".partial";
    const size_t room = nameMax > tag.size() + 1 ? nameMax - tag.size() - 1 : 0;
    return "." + CutAtCharacter(fileName, room) + tag;
}

void RemovePartialFiles() noexcept {
    for (PartialSlot& slot : g_partials) {
        const int dir = slot.dir.load(std::memory_order_acquire);
        if (dir >= 0) ::unlinkat(dir, slot.name, 0);
    }
}

DurableFile::~DurableFile() {
    UnregisterPartial(registration_);
    if (!named_ && !partial_.empty() && HoldsOurFile(partial_.c_str()))
        ::unlinkat(folder_, partial_.c_str(), 0);
    if (fd_ >= 0) ::close(fd_);
    if (folder_ >= 0) ::close(folder_);
}

bool DurableFile::HoldsOurFile(const char* name) const {
    struct stat ours {
    }, there{};
    return ::fstat(fd_, &ours) == 0 && ::fstatat(folder_, name, &there, AT_SYMLINK_NOFOLLOW) == 0 &&
           SameFile(ours, there);
}

ERROR_CREATEMOVFILE DurableFile::Create(const std::filesystem::path& destination,
                                        FinalFileKind kind, WriteFailure& error) {
    folderPath_ = destination.parent_path();
    if (folderPath_.empty()) folderPath_ = ".";
    name_ = destination.filename().string();
    if (name_.empty() || name_ == "." || name_ == "..") {
        error.Set("not a file name", EISDIR);
        return CREATEMOVFILE_CREATE_FAILED;
    }
    // The folder is opened once; every later step works relative to it, so a folder renamed or
    // replaced meanwhile cannot redirect the movie. Without read access to the folder it cannot
    // be flushed, but it can still be written to.
    folder_ = ::open(folderPath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    folderReadable_ = folder_ >= 0;
    if (folder_ < 0 && errno == EACCES)
        folder_ = ::open(folderPath_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) {
        error.Set("cannot open the destination folder");
        return CREATEMOVFILE_CREATE_FAILED;
    }
    const long nameMaxValue = ::fpathconf(folder_, _PC_NAME_MAX);
    const size_t nameMax = nameMaxValue > 0 ? size_t(nameMaxValue) : NAME_MAX;
    if (name_.size() > nameMax) {
        error.Set("cannot create the movie file", ENAMETOOLONG);
        return CREATEMOVFILE_CREATE_FAILED;
    }
    // An existing destination (a dangling link included) is refused before anything is written;
    // the naming refuses one that appears meanwhile.
    struct stat existing {};
    if (::fstatat(folder_, name_.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        error.Set("the destination exists", EEXIST);
        return CREATEMOVFILE_DESTINATION_EXISTS;
    }
    if (kind == FinalFileKind::Automatic) {
        fd_ = ::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            // Usable only when it can be named later: by its descriptor or its /proc path.
            char proc[64];
            std::snprintf(proc, sizeof proc, "%s/%d", TestHooks().procFdFolder, fd_);
            struct stat viaProc {
            }, ours{};
            const bool reachable =
                ::stat(proc, &viaProc) == 0 && ::fstat(fd_, &ours) == 0 && SameFile(viaProc, ours);
            if (reachable || (TestHooks().linkByDescriptor && MayLinkDescriptors()))
                return CREATEMOVFILE_OK;
            ::close(fd_);
            fd_ = -1;
        } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            // EISDIR: a kernel without O_TMPFILE; EOPNOTSUPP: a file system without it.
            error.Set("cannot create the movie file");
            return CREATEMOVFILE_CREATE_FAILED;
        }
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        partial_ = PartialName(name_, nameMax, attempt);
        fd_ = ::openat(folder_, partial_.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            registration_ = RegisterPartial(folder_, partial_);
            return CREATEMOVFILE_OK;
        }
        if (errno != EEXIST) break;
    }
    partial_.clear();
    error.Set("cannot create the movie file");
    return CREATEMOVFILE_CREATE_FAILED;
}

int DurableFile::NameUnnamed() {
    if (TestHooks().linkByDescriptor &&
        ::linkat(fd_, "", folder_, name_.c_str(), AT_EMPTY_PATH) == 0)
        return 0;
    if (TestHooks().linkByDescriptor && errno != ENOENT && errno != EPERM && errno != EINVAL)
        return errno;
    char proc[64];
    std::snprintf(proc, sizeof proc, "%s/%d", TestHooks().procFdFolder, fd_);
    if (::linkat(AT_FDCWD, proc, folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    return errno;
}

int DurableFile::NamePartial(WriteFailure& error) {
    if (TestHooks().beforeRename != nullptr) TestHooks().beforeRename(folder_, partial_.c_str());
    // In a folder others may write to, the partial name can be made to hold another file.
    if (!HoldsOurFile(partial_.c_str())) {
        error.message = "the partial file was replaced by another file";
        return kReplaced;
    }
    bool linked = false;
    if (::renameat2(folder_, partial_.c_str(), folder_, name_.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
        // File systems without RENAME_NOREPLACE: a hard link fails on an existing name too.
        if (::linkat(folder_, partial_.c_str(), folder_, name_.c_str(), 0) != 0) return errno;
        linked = true;
    }
    if (!HoldsOurFile(name_.c_str())) {
        // Replaced between the check and the rename: the other file goes back where it was.
        if (!linked)
            ::renameat2(folder_, name_.c_str(), folder_, partial_.c_str(), RENAME_NOREPLACE);
        error.message = "the partial file was replaced by another file";
        return kReplaced;
    }
    if (linked && HoldsOurFile(partial_.c_str())) ::unlinkat(folder_, partial_.c_str(), 0);
    return 0;
}

ERROR_CREATEMOVFILE DurableFile::Commit(const Check& beforeNaming, WriteFailure& error) {
    // The data reaches the disk before the name does: a file system that allocates late (ext4)
    // could otherwise commit the name of an empty or short file, and a late full disk shows
    // here. Blocks shared with the source (XFS, btrfs) need no data written.
    if (::fdatasync(fd_) != 0) {
        error.Set("cannot flush the movie to the disk");
        return CREATEMOVFILE_WRITE_FAILED;
    }
    if (beforeNaming)
        if (const ERROR_CREATEMOVFILE rc = beforeNaming(error); rc != CREATEMOVFILE_OK) return rc;
    const int placed = partial_.empty() ? NameUnnamed() : NamePartial(error);
    if (placed == kReplaced) return CREATEMOVFILE_CREATE_FAILED;
    if (placed == EEXIST) {
        error.Set("the destination exists", EEXIST);
        return CREATEMOVFILE_DESTINATION_EXISTS;
    }
    if (placed != 0) {
        error.Set("cannot name the movie", placed);
        return CREATEMOVFILE_CREATE_FAILED;
    }
    // The commit point: from here on the movie stands, whatever follows.
    named_ = true;
    UnregisterPartial(registration_);
    registration_ = -1;
    if (TestHooks().afterNaming != nullptr) TestHooks().afterNaming();
    // The name itself reaches the disk with the folder. A folder opened without read access
    // cannot be flushed; EINVAL and EROFS mean a file system that has nothing to flush.
    if (folderReadable_ && ::fsync(folder_) != 0 && errno != EINVAL && errno != EROFS) {
        error.Set("the movie is named, but its folder could not be flushed to the disk");
        return CREATEMOVFILE_WRITE_FAILED;
    }
    return CREATEMOVFILE_OK;
}

FileSizeSignalBlock::FileSizeSignalBlock() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGXFSZ);
    blocked_ = ::pthread_sigmask(SIG_BLOCK, &set, &previous_) == 0;
}

FileSizeSignalBlock::~FileSizeSignalBlock() {
    if (!blocked_) return;
    if (!sigismember(&previous_, SIGXFSZ)) {
        // A signal raised meanwhile is taken here, so that it is not delivered on unblocking.
        sigset_t set, pending;
        sigemptyset(&set);
        sigaddset(&set, SIGXFSZ);
        const timespec now{};
        while (::sigpending(&pending) == 0 && sigismember(&pending, SIGXFSZ) &&
               ::sigtimedwait(&set, nullptr, &now) == SIGXFSZ) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace brevio::engine
