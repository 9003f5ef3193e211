#include "CRefMovFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "document/CBRVWrapper.h"
#include "module/ModuleHelpers.h"
#include "platform/PrivateFolder.h"
#include "resources/StringIds.h"

namespace brevio {

namespace {

constexpr unsigned kUniqueNumbers = 0x10000;

unsigned StartNumber() {
    // Like a tick count, but spread so that processes starting together do not all collide.
    std::random_device device;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return (static_cast<unsigned>(now) ^ device() ^ static_cast<unsigned>(::getpid())) %
           kUniqueNumbers;
}

bool SameFile(int fd, int folder, const char* name) {
    struct stat a {
    }, b{};
    return ::fstat(fd, &a) == 0 && ::fstatat(folder, name, &b, AT_SYMLINK_NOFOLLOW) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the reference movies and their hidden temporary files that no process holds locked:
// what an editor that was killed left behind.
void SweepLeftovers(int folder, const QByteArray& prefix, const QByteArray& extension) {
    const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return;
    DIR* dir = ::fdopendir(copy);
    if (dir == nullptr) {
        ::close(copy);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        const bool movie = name.startsWith(prefix) && name.endsWith(extension);
        const bool temporary = name.startsWith('.' + prefix) && name.endsWith(".partial");
        if (!movie && !temporary) continue;
        const int fd =
            ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            SameFile(fd, folder, entry->d_name))
            ::unlinkat(folder, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

}  // namespace

CRefMovFile::~CRefMovFile() {
    if (held_ >= 0) {
        if (SameFile(held_, folder_, name_.c_str())) ::unlinkat(folder_, name_.c_str(), 0);
        ::close(held_);
    }
    if (folder_ >= 0) ::close(folder_);
    if (freshParent_ >= 0) {
        ::unlinkat(freshParent_, freshName_.c_str(), AT_REMOVEDIR);
        ::close(freshParent_);
    }
}

QString CRefMovFile::PrivateFolderPath() {
    const std::string runtime = PrivateRuntimeFolder();
    if (!runtime.empty())
        return QFile::decodeName(QByteArray::fromStdString(runtime)) + u'/' +
               LoadString(ids::kTempFolderName);
    const QString temp = GetTempFolder();
    if (temp.isEmpty()) return {};
    return temp + LoadString(ids::kTempFolderName) + u'-' + QString::number(::geteuid());
}

bool CRefMovFile::Fail(const QString& what, int number) {
    reason_ = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(number));
    return false;
}

bool CRefMovFile::OpenFolder() {
    const QByteArray folderName = QFile::encodeName(LoadString(ids::kTempFolderName));
    const std::string runtime = PrivateRuntimeFolder();
    if (!runtime.empty()) {
        folder_ = OpenOrMakePrivateFolder(runtime, folderName.toStdString());
        if (folder_ >= 0)
            folderPath_ = QFile::decodeName(QByteArray::fromStdString(runtime) + '/' + folderName);
    }
    if (folder_ < 0) {
        const QString temp = GetTempFolder();
        if (temp.isEmpty()) return Fail(QStringLiteral("TMPDIR"), ENAMETOOLONG);
        const QByteArray parent = QFile::encodeName(temp.chopped(1));
        const QByteArray name = folderName + '-' + QByteArray::number(::geteuid());
        folder_ = OpenOrMakePrivateFolder(parent.toStdString(), name.toStdString());
        if (folder_ >= 0) {
            folderPath_ = QFile::decodeName(parent + '/' + name);
        } else {
            // The fixed name is someone else's (or no folder): a fresh one of this object's own.
            std::string fresh;
            folder_ = MakeFreshPrivateFolder(parent.toStdString(), name.toStdString() + '-', fresh);
            if (folder_ < 0) return Fail(QFile::decodeName(parent + '/' + name), errno);
            freshParent_ = ::open(parent.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            freshName_ = fresh.substr(fresh.rfind('/') + 1);
            folderPath_ = QFile::decodeName(QByteArray::fromStdString(fresh));
        }
    }
    SweepLeftovers(folder_, QFile::encodeName(LoadString(ids::kTempFilePrefix)),
                   QFile::encodeName(LoadString(ids::kTempFileExtension)));
    return true;
}

bool CRefMovFile::MakeTempName() {
    if (!path_.isEmpty()) return true;
    if (folder_ < 0 && !OpenFolder()) return false;
    const QString prefix = LoadString(ids::kTempFilePrefix);
    const QString extension = LoadString(ids::kTempFileExtension);

    const unsigned start = StartNumber();
    for (unsigned i = 0; i < kUniqueNumbers; ++i) {
        const unsigned number = (start + i) % kUniqueNumbers;
        if (number == 0) continue;
        const QString base =
            prefix + QStringLiteral("%1").arg(number, 4, 16, QChar(u'0')).toUpper();
        // Taken exclusively and locked at once, so that two views (or two processes) never
        // share a reference movie and no sweep takes it.
        const QByteArray movie = QFile::encodeName(base + extension);
        const int fd = ::openat(folder_, movie.constData(),
                                O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return Fail(folderPath_ + u'/' + base + extension, errno);
        struct stat st {};
        if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &st) != 0 || st.st_nlink == 0) {
            ::close(fd);  // swept away by another process before the lock: another name
            continue;
        }
        held_ = fd;
        name_ = movie.toStdString();
        path_ = folderPath_ + u'/' + base + extension;
        return true;
    }
    return Fail(folderPath_, EEXIST);
}

QString CRefMovFile::PlayerPath() const {
    if (path_.isEmpty()) return {};
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(folder_);
    struct stat viaProc {
    }, folder{};
    if (::stat(proc.constData(), &viaProc) == 0 && ::fstat(folder_, &folder) == 0 &&
        viaProc.st_dev == folder.st_dev && viaProc.st_ino == folder.st_ino)
        return QFile::decodeName(proc + '/' + QByteArray::fromStdString(name_));
    return path_;
}

HRESULT CRefMovFile::WriteMovie(CBRVWrapper& document) {
    if (!MakeTempName()) return E_FAIL;
    int written = -1;
    const HRESULT hr = document.CreateReferenceMovie(folder_, name_, &written);
    if (FAILED(hr)) {
        reason_ = path_ + QStringLiteral(": ") + document.LastReferenceReason();
        return hr;
    }
    if (held_ >= 0) ::close(held_);
    held_ = written;
    return hr;
}

}  // namespace brevio
