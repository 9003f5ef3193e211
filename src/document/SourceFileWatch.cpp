#include "SourceFileWatch.h"

namespace brevio {

bool HasFileChanged(const CFileBasicInfo& snapshot) {
    if (snapshot.GetFileName().isEmpty()) return false;
    if (!snapshot.Exists()) return true;
    CFileBasicInfo now;
    if (!now.Snapshot(snapshot.GetPath())) return true;
    if (now.GetLastWriteTime() != snapshot.GetLastWriteTime()) return true;
    return now.GetSize() != snapshot.GetSize();
}

bool SourceFileWatch::CheckChanged(const std::function<void()>& report) {
    if (changeReported_) return true;
    if (!HasFileChanged(snapshot_)) return false;
    changeReported_ = true;
    if (report) report();
    return true;
}

}  // namespace brevio
