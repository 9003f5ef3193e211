#include "FileChangeTest.h"

namespace brevio {

bool HasFileChanged(const CFileBasicInfo& snapshot) {
    if (snapshot.GetFileName().isEmpty()) return false;
    if (!snapshot.Exists()) return true;
    CFileBasicInfo now;
    if (!now.Snapshot(snapshot.GetPath())) return true;
    if (now.GetLastWriteTime() != snapshot.GetLastWriteTime()) return true;
    return now.GetSize() != snapshot.GetSize();
}

}  // namespace brevio
