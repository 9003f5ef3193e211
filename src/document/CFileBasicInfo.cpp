#include "CFileBasicInfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>

namespace brevio {

namespace {

// 100 ns intervals from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochIn100ns = 116'444'736'000'000'000;

int64_t LastWriteTime(const struct stat& info) {
    return kUnixEpochIn100ns + static_cast<int64_t>(info.st_mtim.tv_sec) * 10'000'000 +
           static_cast<int64_t>(info.st_mtim.tv_nsec) / 100;
}

}  // namespace

bool CFileBasicInfo::Snapshot(const QString& path) {
    if (path.isNull()) {
        path_.clear();
        folder_.clear();
        fileName_.clear();
        size_ = -1;
        return true;
    }
    const qsizetype slash = path.lastIndexOf(u'/');
    folder_ = path.left(slash + 1);
    fileName_ = path.mid(slash + 1);

    // Read-only, without O_CREAT: a snapshot never makes a file appear. O_NONBLOCK keeps a FIFO
    // from blocking the open; only regular files count.
    const QByteArray native = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!ok) return false;
    size_ = static_cast<int64_t>(info.st_size);
    lastWriteTime_ = LastWriteTime(info);
    path_ = path;
    return true;
}

bool CFileBasicInfo::Exists() const {
    if (path_.isEmpty()) return false;
    struct stat info {};
    return ::stat(QFile::encodeName(path_).constData(), &info) == 0;
}

}  // namespace brevio
