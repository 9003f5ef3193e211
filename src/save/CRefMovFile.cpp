#include "CRefMovFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <chrono>
#include <random>

#include "module/ModuleHelpers.h"

namespace brevio {

namespace {

constexpr uint32_t kFolderStringId = 132;     // "BrevioEdit"
constexpr uint32_t kExtensionStringId = 133;  // ".mov"
constexpr uint32_t kPrefixStringId = 134;     // "BRV"
constexpr unsigned kUniqueNumbers = 0x10000;

enum class CreateResult { Created, Exists, Failed };

CreateResult CreateExclusively(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? CreateResult::Exists : CreateResult::Failed;
    ::close(fd);
    return CreateResult::Created;
}

void Delete(const QString& path) {
    ::unlink(QFile::encodeName(path).constData());
}

unsigned StartNumber() {
    // Like a tick count, but spread so that processes starting together do not all collide.
    std::random_device device;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return (static_cast<unsigned>(now) ^ device() ^ static_cast<unsigned>(::getpid())) %
           kUniqueNumbers;
}

}  // namespace

CRefMovFile::~CRefMovFile() {
    if (!path_.isEmpty()) Delete(path_);
}

bool CRefMovFile::MakeTempName() {
    if (!path_.isEmpty()) return true;
    const QString temp = GetTempFolder();
    if (temp.isEmpty()) return false;
    const QString folder = temp + LoadString(kFolderStringId);
    ::mkdir(QFile::encodeName(folder).constData(), 0700);  // an existing folder is fine
    const QString stem = folder + u'/' + LoadString(kPrefixStringId);
    const QString extension = LoadString(kExtensionStringId);

    const unsigned start = StartNumber();
    for (unsigned i = 0; i < kUniqueNumbers; ++i) {
        const unsigned number = (start + i) % kUniqueNumbers;
        if (number == 0) continue;
        const QString base = stem + QStringLiteral("%1").arg(number, 4, 16, QChar(u'0')).toUpper();
        // The .tmp name is taken exclusively, as the system's own temporary names are; the .mov
        // name that replaces it is taken exclusively too, so that two views (or two processes)
        // never share a reference movie.
        const QString tmp = base + QStringLiteral(".tmp");
        const CreateResult tmpResult = CreateExclusively(tmp);
        if (tmpResult == CreateResult::Exists) continue;
        if (tmpResult == CreateResult::Failed) return false;
        const QString movie = base + extension;
        const CreateResult movieResult = CreateExclusively(movie);
        Delete(tmp);
        if (movieResult == CreateResult::Exists) continue;
        if (movieResult == CreateResult::Failed) return false;
        path_ = movie;
        return true;
    }
    return false;
}

}  // namespace brevio
