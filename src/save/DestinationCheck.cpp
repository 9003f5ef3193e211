#include "DestinationCheck.h"

#include <QFile>
#include <filesystem>
#include <system_error>

#include "module/ModuleHelpers.h"
#include "platform/FileHelpers.h"
#include "platform/SpecialFolders.h"

namespace brevio {

namespace fs = std::filesystem;

DestinationCheck::DestinationCheck(Environment environment) : env_(std::move(environment)) {
    while (env_.root.endsWith(u'/')) env_.root.chop(1);
}

DestinationCheck DestinationCheck::ForSystem() {
    return DestinationCheck(Environment{DriveTypeResolver::ForSystem(), QString(), IsUACEnabled()});
}

QString DestinationCheck::CleanPath(const QString& path) {
    if (!path.startsWith(u'/')) return {};
    const fs::path original(PathBytes(path).toStdString());
    std::error_code ec;
    fs::path clean = fs::weakly_canonical(original, ec);
    if (ec) clean = original.lexically_normal();
    QString text = QFile::decodeName(QByteArray::fromStdString(clean.string()));
    while (text.size() > 1 && text.endsWith(u'/')) text.chop(1);
    return text;
}

QString DestinationCheck::RootFolder() const {
    return env_.root.isEmpty() ? QStringLiteral("/") : env_.root;
}

bool DestinationCheck::IsAllowedDestination(const QString& path) const {
    const QString clean = CleanPath(path);
    if (clean.isEmpty()) return false;
    const uint32_t type = env_.drives.GetDriveType(clean);
    if (type != DRIVE_FIXED && type != DRIVE_REMOVABLE) return false;
    return IsAllowedFolder(clean);
}

bool DestinationCheck::IsAllowedFolder(const QString& path) const {
    const QString clean = CleanPath(path);
    if (clean.isEmpty()) return false;

    // The system's own folders, as seen from the root the environment stands at.
    QString fromRoot = clean;
    if (!env_.root.isEmpty()) {
        if (clean != env_.root && !clean.startsWith(env_.root + u'/')) return false;
        fromRoot = clean.mid(env_.root.size());
        if (fromRoot.isEmpty()) fromRoot = QStringLiteral("/");
    }
    for (const int csidl : {CSIDL_WINDOWS, CSIDL_PROGRAM_FILES, CSIDL_COMMON_APPDATA}) {
        if (IsInSpecialFolder(fromRoot, csidl)) return false;
    }

    QString folder = clean;
    if (!PathIsDirectory(folder) && !RemoveFileSpec(folder)) return false;

    const bool isRoot = folder == RootFolder();
    if (!isRoot) {
        // A folder that does not exist counts as hidden, as the failed attribute read does.
        if (!PathIsDirectory(folder)) return false;
        const QString name = folder.mid(folder.lastIndexOf(u'/') + 1);
        if (name.startsWith(u'.')) return false;
    }
    return !(isRoot && env_.guardRoot);
}

bool IsAllowedDestination(const QString& path) {
    return DestinationCheck::ForSystem().IsAllowedDestination(path);
}

bool IsAllowedFolder(const QString& path) {
    return DestinationCheck::ForSystem().IsAllowedFolder(path);
}

}  // namespace brevio
