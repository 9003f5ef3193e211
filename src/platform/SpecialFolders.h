#pragma once
// The folders a movie must not be saved into, standing in for the Windows special folders, and
// the hidden-folder rule.
//   CSIDL_WINDOWS        the system folders /usr /etc /bin /sbin /lib /lib32 /lib64 /boot /dev
//                        /proc /sys /run (but not /run/media, where removable media are mounted)
//   CSIDL_PROGRAM_FILES  /opt /usr/local
//   CSIDL_COMMON_APPDATA /var/lib /srv
// A path lies in one of them when it starts with it, compared on upper-cased copies, as the
// Windows check compares: /usr2/x is refused like a sibling of the Windows folder, while
// /home/me/usr/x is accepted.
#include <QString>
#include <QStringList>

namespace brevio {

inline constexpr int CSIDL_COMMON_APPDATA = 0x23;
inline constexpr int CSIDL_WINDOWS = 0x24;
inline constexpr int CSIDL_PROGRAM_FILES = 0x26;

// The folders standing for `csidl`; empty for any other value (a folder that does not resolve).
QStringList SpecialFolderPaths(int csidl);
// True when `path` is the non-empty `folder` or lies inside it, compared case-sensitively and by
// whole names ("/devel" is not in "/dev"); a folder given with a trailing '/' needs something
// after it.
bool PathStartsWithFolder(const QString& path, const QString& folder);
// True when `path` starts with one of the folders of `csidl` and is not one of their exceptions.
bool IsInSpecialFolder(const QString& path, int csidl);

// The root of the file system: the folder refused while the system guards its root.
QString SystemRootFolder();
// True for "/" (also written with more slashes).
bool IsRootFolder(const QString& folder);
// The hidden-folder rule: true when the folder's own name begins with '.', and when the folder
// does not exist (as the failure value of GetFileAttributesW carries the hidden bit). The root is
// never hidden. "." and ".." elements are resolved before the name is taken.
bool IsHiddenFolder(const QString& folder);

}  // namespace brevio
