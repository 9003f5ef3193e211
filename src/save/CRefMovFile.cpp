#include "CRefMovFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <chrono>
#include <random>

#include "module/ModuleHelpers.h"
#include "resources/StringIds.h"

namespace brevio {

namespace {

constexpr unsigned kUniqueNumbers = 0x10000;

enum class CreateResult { Created, Exists, Failed };

CreateResult CreateExclusively(int folder, const QByteArray& name) {
    const int fd = ::openat(folder, name.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? CreateResult::Exists : CreateResult::Failed;
    ::close(fd);
    return CreateResult::Created;
}

unsigned StartNumber() {
    // Like a tick count, but spread so that processes starting together do not all collide.
    std::random_device device;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return (static_cast<unsigned>(now) ^ device() ^ static_cast<unsigned>(::getpid())) %
           kUniqueNumbers;
}

// True when `path` is a folder of this user that it can write to: the base of the private folder.
bool IsUsableRuntimeFolder(const QByteArray& path) {
    struct stat st {};
    return path.startsWith('/') && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && ::access(path.constData(), W_OK | X_OK) == 0;
}

// Makes (when missing) and opens the private folder; -1 unless it is a real folder of this user
// that nobody else may enter.
int OpenPrivateFolder(const QByteArray& path) {
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) return -1;
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

CRefMovFile::~CRefMovFile() {
    if (folder_ < 0) return;
    if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
    ::close(folder_);
}

QString CRefMovFile::PrivateFolderPath() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (IsUsableRuntimeFolder(runtime))
        return QFile::decodeName(runtime) + u'/' + LoadString(ids::kTempFolderName);
    const QString temp = GetTempFolder();
    if (temp.isEmpty()) return {};
    return temp + LoadString(ids::kTempFolderName) + u'-' + QString::number(::geteuid());
}

bool CRefMovFile::MakeTempName() {
    if (!path_.isEmpty()) return true;
    const QString folder = PrivateFolderPath();
    if (folder.isEmpty()) return false;
    if (folder_ < 0) folder_ = OpenPrivateFolder(QFile::encodeName(folder));
    if (folder_ < 0) return false;
    const QString prefix = LoadString(ids::kTempFilePrefix);
    const QString extension = LoadString(ids::kTempFileExtension);

    const unsigned start = StartNumber();
    for (unsigned i = 0; i < kUniqueNumbers; ++i) {
        const unsigned number = (start + i) % kUniqueNumbers;
        if (number == 0) continue;
        const QString base =
            prefix + QStringLiteral("%1").arg(number, 4, 16, QChar(u'0')).toUpper();
        // The .tmp name is taken exclusively, as the system's own temporary names are; the .mov
        // name that replaces it is taken exclusively too, so that two views (or two processes)
        // never share a reference movie.
        const QByteArray tmp = QFile::encodeName(base + QStringLiteral(".tmp"));
        const CreateResult tmpResult = CreateExclusively(folder_, tmp);
        if (tmpResult == CreateResult::Exists) continue;
        if (tmpResult == CreateResult::Failed) return false;
        const QByteArray movie = QFile::encodeName(base + extension);
        const CreateResult movieResult = CreateExclusively(folder_, movie);
        ::unlinkat(folder_, tmp.constData(), 0);
        if (movieResult == CreateResult::Exists) continue;
        if (movieResult == CreateResult::Failed) return false;
        name_ = movie.toStdString();
        path_ = folder + u'/' + base + extension;
        return true;
    }
    return false;
}

}  // namespace brevio
