#include "PrivateFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace brevio {

namespace {

int OpenFolder(int at, const char* path) {
    return ::openat(at, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// `fd` when it is a private folder, else -1 (EPERM) with `fd` closed.
int KeepIfPrivate(int fd) {
    if (fd < 0 || IsPrivateFolder(fd)) return fd;
    ::close(fd);
    errno = EPERM;
    return -1;
}

}  // namespace

bool IsPrivateFolder(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

std::string PrivateRuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/') return {};
    const int fd = OpenFolder(AT_FDCWD, runtime);
    if (fd < 0) return {};
    struct stat st {};
    const bool usable = IsPrivateFolder(fd) && ::fstat(fd, &st) == 0 && (st.st_mode & 0777) == 0700;
    ::close(fd);
    return usable ? std::string(runtime) : std::string();
}

int OpenOrMakePrivateFolder(const std::string& parent, const std::string& name) {
    const int at = ::open(parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (at < 0) return -1;
    if (::mkdirat(at, name.c_str(), 0700) != 0 && errno != EEXIST) {
        const int saved = errno;
        ::close(at);
        errno = saved;
        return -1;
    }
    const int fd = OpenFolder(at, name.c_str());
    const int saved = errno;
    ::close(at);
    errno = fd < 0 ? (saved == ELOOP || saved == ENOTDIR ? EPERM : saved) : 0;
    return KeepIfPrivate(fd);
}

int MakeFreshPrivateFolder(const std::string& parent, const std::string& prefix,
                           std::string& path) {
    std::string pattern = parent + "/" + prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return -1;
    const int fd = KeepIfPrivate(OpenFolder(AT_FDCWD, pattern.c_str()));
    if (fd >= 0) path = pattern;
    return fd;
}

}  // namespace brevio
