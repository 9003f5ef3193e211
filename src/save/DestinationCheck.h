#pragma once
// Where an edited movie may be saved. A destination is accepted when it lies on a fixed or a
// removable disk, outside the system, program and shared-data folders, in an existing folder that
// is not hidden, and (while the system guards its root) not directly in the root folder.
// Every check runs on the cleaned path: "." and ".." are resolved and the symbolic links of the
// part of the path that exists are followed, so neither "/home/me/../../usr/x" nor a link into
// /etc gets past the folder rules.
#include <QString>

#include "platform/DriveType.h"

namespace brevio {

class DestinationCheck {
public:
    struct Environment {
        // The mount table the drive types come from.
        DriveTypeResolver drives;
        // The folder the file-system root stands at: "" on the running system. The system
        // folders (/usr, /etc, /opt, /var/lib, ...) and the guarded root are read below it.
        QString root;
        // True when the root folder itself is refused (the process is not the superuser).
        bool guardRoot = false;
    };

    explicit DestinationCheck(Environment environment);
    // The running system: its mount table, its folders and IsUACEnabled.
    static DestinationCheck ForSystem();

    // The drive type must be DRIVE_FIXED or DRIVE_REMOVABLE; then IsAllowedFolder decides.
    bool IsAllowedDestination(const QString& path) const;
    // The folder rules, refusing at the first that matches: a system, program or shared-data
    // folder; a path whose folder cannot be worked out; a hidden or missing folder; the guarded
    // root.
    bool IsAllowedFolder(const QString& path) const;

    // An absolute path with "." and ".." resolved and its existing part's links followed, without
    // a trailing '/' (except for "/"). A relative or empty path gives an empty text.
    static QString CleanPath(const QString& path);

private:
    QString RootFolder() const;

    Environment env_;
};

// The checks on the running system.
bool IsAllowedDestination(const QString& path);
bool IsAllowedFolder(const QString& path);

}  // namespace brevio
