#include "FileHelpers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>
#include <cerrno>

namespace brevio {

namespace {

QByteArray Native(const QString& path) {
    return PathBytes(path);
}

// The entry of `folder` whose decoded name is `name`, when exactly one is.
QByteArray FindEntry(const QByteArray& folder, const QString& name) {
    DIR* dir = ::opendir(folder.isEmpty() ? "/" : folder.constData());
    if (dir == nullptr) return {};
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (QFile::decodeName(entry->d_name) == name) {
            found = entry->d_name;
            ++matches;
        }
    }
    ::closedir(dir);
    return matches == 1 ? found : QByteArray();
}

}  // namespace

QByteArray PathBytes(const QString& path) {
    QByteArray bytes = QFile::encodeName(path);
    struct stat info {};
    if (!path.contains(QChar::ReplacementCharacter) || ::lstat(bytes.constData(), &info) == 0)
        return bytes;
    const QStringList elements = path.split(u'/');
    QByteArray result;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (i > 0) result += '/';
        const QString& element = elements[i];
        QByteArray encoded = QFile::encodeName(element);
        if (element.contains(QChar::ReplacementCharacter) &&
            ::lstat((result + encoded).constData(), &info) != 0) {
            const QByteArray entry = FindEntry(result, element);
            if (!entry.isEmpty()) encoded = entry;
        }
        result += encoded;
    }
    return result;
}

int64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
    return (seconds + kFileTimeEpochOffsetSeconds) * kFileTimeTicksPerSecond + nanoseconds / 100;
}

bool GetFileSizeAndTime(const QString& path, FileSizeAndTime& out) {
    if (path.isEmpty()) return false;
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below anyway.
    const int fd = ::open(Native(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!ok) return false;
    out.size = static_cast<int64_t>(info.st_size);
    out.lastWriteTime = FileTimeFromUnix(static_cast<int64_t>(info.st_mtim.tv_sec),
                                         static_cast<int64_t>(info.st_mtim.tv_nsec));
    return true;
}

bool PathExists(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat info {};
    return ::stat(Native(path).constData(), &info) == 0;
}

bool NameExists(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat info {};
    return ::lstat(Native(path).constData(), &info) == 0;
}

bool PathIsDirectory(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat info {};
    return ::stat(Native(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

PathParts SplitPath(const QString& path) {
    PathParts parts;
    const qsizetype slash = path.lastIndexOf(u'/');
    parts.folder = path.left(slash + 1);
    const QString last = path.mid(slash + 1);
    const qsizetype dot = last.lastIndexOf(u'.');
    if (dot < 0) {
        parts.name = last;
    } else {
        parts.name = last.left(dot);
        parts.extension = last.mid(dot);
    }
    return parts;
}

bool RemoveFileSpec(QString& path) {
    if (path.isEmpty() || path == QStringLiteral("/")) return false;
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(u'/')) trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(u'/');
    if (slash < 0) {
        path.clear();
    } else if (slash == 0) {
        path = QStringLiteral("/");
    } else {
        path = trimmed.left(slash);
    }
    return true;
}

QString CreateUniqueTempFile(const QString& folder, const QString& prefix) {
    if (folder.isEmpty()) return {};
    QString base = folder;
    if (!base.endsWith(u'/')) base += u'/';
    base += prefix.left(3);
    // Like GetTempFileNameW: start at an unpredictable number and walk the 16-bit space once.
    const uint32_t start = QRandomGenerator::system()->bounded(1u, 0x10000u);
    for (uint32_t step = 0; step < 0xFFFF; ++step) {
        const uint32_t unique = ((start - 1 + step) % 0xFFFF) + 1;  // 1 to 0xFFFF, never 0
        const QString hex = QString::number(unique, 16).toUpper().rightJustified(4, u'0');
        const QString path = base + hex + QStringLiteral(".tmp");
        const int fd = ::open(Native(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) return {};  // missing folder, no permission, full disk...
    }
    return {};
}

bool RemoveFile(const QString& path) {
    if (path.isEmpty()) return false;
    return ::unlink(Native(path).constData()) == 0;
}

bool MakeDirectory(const QString& path) {
    if (path.isEmpty()) return false;
    if (::mkdir(Native(path).constData(), 0777) == 0) return true;
    return errno == EEXIST && PathIsDirectory(path);
}

}  // namespace brevio
