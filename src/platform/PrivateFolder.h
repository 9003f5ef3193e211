#pragma once
// Folders only this user may enter: the checks that a runtime or temporary folder must pass
// before anything of ours is put in it, and the making of such folders without following a link
// that someone else planted under the name.
#include <string>

namespace brevio {

// True when the open folder `fd` is a real folder owned by this user (effective uid) that nobody
// else may read, write or enter (no group or other permission bits).
bool IsPrivateFolder(int fd);

// $XDG_RUNTIME_DIR when it names a private folder (absolute, ours, 0700, no link), else "".
std::string PrivateRuntimeFolder();

// Opens `parent`/`name` as a private folder, making it (0700) when missing; -1 with errno set when
// it is missing and cannot be made, or is no private folder of ours (EPERM).
int OpenOrMakePrivateFolder(const std::string& parent, const std::string& name);

// Makes a fresh private folder `parent`/`prefix`XXXXXX (mkdtemp) and opens it; -1 with errno on
// failure. `path` receives its path.
int MakeFreshPrivateFolder(const std::string& parent, const std::string& prefix, std::string& path);

}  // namespace brevio
