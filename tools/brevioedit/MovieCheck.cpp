#include "MovieCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringList>
#include <array>
#include <cerrno>
#include <cstring>

#include "HostText.h"

namespace brevioedit {

namespace {

// The types a QuickTime file's top-level parts ("atoms") have.
bool IsTopLevelType(const QByteArray& type) {
    static const std::array<const char*, 12> kTypes{"ftyp", "moov", "mdat", "free", "skip", "wide",
                                                    "pnot", "uuid", "PICT", "junk", "pdin", "meta"};
    for (const char* known : kTypes) {
        if (type == known) return true;
    }
    return false;
}

struct Structure {
    bool quickTime = false;  // the file begins with a QuickTime part
    bool hasMovieHeader = false;
    QStringList found;       // the parts' types in file order
    QString cutShortPart;    // the part that runs past the end, if one does
    qint64 cutShortEnd = 0;  // where it would end
    qint64 fileSize = 0;
};

qint64 ReadBigEndian(const QByteArray& bytes) {
    qint64 value = 0;
    for (const char byte : bytes) value = (value << 8) | static_cast<unsigned char>(byte);
    return value;
}

// Walks the top-level parts: each is a 32-bit size (1: a 64-bit size follows; 0: to the end of
// the file) and a four-letter type.
Structure ReadStructure(QFile& file) {
    Structure structure;
    structure.fileSize = file.size();
    qint64 at = 0;
    while (at + 8 <= structure.fileSize && structure.found.size() < 64) {
        if (!file.seek(at)) break;
        const QByteArray header = file.read(8);
        if (header.size() < 8) break;
        qint64 size = ReadBigEndian(header.left(4));
        const QByteArray type = header.mid(4, 4);
        if (at == 0 && !IsTopLevelType(type)) return structure;
        structure.quickTime = true;
        qint64 headerSize = 8;
        if (size == 1) {
            const QByteArray large = file.read(8);
            if (large.size() < 8) break;
            size = ReadBigEndian(large);
            headerSize = 16;
        } else if (size == 0) {
            size = structure.fileSize - at;
        }
        structure.found += QString::fromLatin1(type);
        if (type == "moov") structure.hasMovieHeader = true;
        if (size < headerSize) break;
        if (size > structure.fileSize - at) {
            structure.cutShortPart = QString::fromLatin1(type);
            structure.cutShortEnd = at + size;
            break;
        }
        at += size;
    }
    return structure;
}

QString Number(qint64 value) {
    return QLocale::system().toString(value);
}

// Why the file cannot be read at all, or empty when it can.
QString DescribeAccess(const QString& movie, const QString& name) {
    const QByteArray native = QFile::encodeName(movie);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return Text(HostText::NoSuchFile).arg(name);
        if (errno == EACCES) return Text(HostText::PermissionDenied).arg(name);
        return Text(HostText::Unreadable).arg(name, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (S_ISDIR(info.st_mode)) return Text(HostText::Folder).arg(name);
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM) return Text(HostText::PermissionDenied).arg(name);
        return Text(HostText::Unreadable).arg(name, QString::fromLocal8Bit(std::strerror(errno)));
    }
    ::close(fd);
    return {};
}

}  // namespace

QString DescribeOpenFailure(int32_t result, const QString& movie) {
    const QString name = QDir::toNativeSeparators(movie);
    if (result == 6) return Text(HostText::NoDecoder);
    if (result != 3 && result != 4 && result != 5) return {};
    if (const QString access = DescribeAccess(movie, name); !access.isEmpty()) return access;

    QFile file(movie);
    if (!file.open(QIODevice::ReadOnly)) {
        return Text(HostText::Unreadable).arg(name, file.errorString());
    }
    const Structure structure = ReadStructure(file);
    if (!structure.quickTime) return Text(HostText::NotQuickTime).arg(name);
    if (result == 3) return Text(HostText::NotBrevio).arg(name);
    if (result == 4) return Text(HostText::TooShort).arg(name);
    const QString found = structure.found.join(QStringLiteral(", "));
    QString detail;
    if (!structure.cutShortPart.isEmpty()) {
        detail = Text(HostText::CutShort)
                     .arg(Number(structure.fileSize), structure.cutShortPart,
                          Number(structure.cutShortEnd));
    } else if (!structure.hasMovieHeader) {
        detail = Text(HostText::NoMovieHeader).arg(found);
    } else {
        detail = Text(HostText::Inconsistent).arg(found);
    }
    return Text(HostText::Damaged).arg(name, detail);
}

}  // namespace brevioedit
