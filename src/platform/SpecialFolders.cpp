#include "SpecialFolders.h"

#include <QDir>

#include "FileHelpers.h"

namespace brevio {

namespace {

// Mounted removable media live under /run/media/<user> on several distributions; they are the
// user's own disks, not system state.
const QString kRemovableMediaRoot = QStringLiteral("/run/media/");

}  // namespace

QStringList SpecialFolderPaths(int csidl) {
    switch (csidl) {
        case CSIDL_WINDOWS:
            return {QStringLiteral("/usr"),   QStringLiteral("/etc"),  QStringLiteral("/bin"),
                    QStringLiteral("/sbin"),  QStringLiteral("/lib"),  QStringLiteral("/lib32"),
                    QStringLiteral("/lib64"), QStringLiteral("/boot"), QStringLiteral("/dev"),
                    QStringLiteral("/proc"),  QStringLiteral("/sys"),  QStringLiteral("/run")};
        case CSIDL_PROGRAM_FILES:
            return {QStringLiteral("/opt"), QStringLiteral("/usr/local")};
        case CSIDL_COMMON_APPDATA:
            return {QStringLiteral("/var/lib"), QStringLiteral("/srv")};
        default:
            return {};
    }
}

bool PathStartsWithFolder(const QString& path, const QString& folder) {
    if (folder.isEmpty()) return false;
    // Byte for byte, as the file system compares names, and only whole folder names: /devel
    // and /Library are no system folders.
    if (!path.startsWith(folder, Qt::CaseSensitive)) return false;
    return folder.endsWith(u'/') || path.size() == folder.size() || path[folder.size()] == u'/';
}

bool IsInSpecialFolder(const QString& path, int csidl) {
    if (csidl == CSIDL_WINDOWS && PathStartsWithFolder(path, kRemovableMediaRoot)) return false;
    for (const QString& folder : SpecialFolderPaths(csidl)) {
        if (PathStartsWithFolder(path, folder)) return true;
    }
    return false;
}

QString SystemRootFolder() {
    return QStringLiteral("/");
}

bool IsRootFolder(const QString& folder) {
    return !folder.isEmpty() && QDir::cleanPath(folder) == QStringLiteral("/");
}

bool IsHiddenFolder(const QString& folder) {
    if (IsRootFolder(folder)) return false;
    if (!PathIsDirectory(folder)) return true;
    const QString clean = QDir::cleanPath(folder);
    const QString name = clean.mid(clean.lastIndexOf(u'/') + 1);
    return name.startsWith(u'.');
}

}  // namespace brevio
