#pragma once
// The source movie as a pane loaded it, and the test whether it has changed on disk since. Both
// panes check it before they act and end the dialog on the first change found.
#include <QString>
#include <functional>

#include "document/CFileBasicInfo.h"

namespace brevio {

// True when the file recorded in `snapshot` is no longer the same on disk: gone, unreadable, or
// with another last-write time or size. A snapshot without a file name never counts as changed.
bool HasFileChanged(const CFileBasicInfo& snapshot);

class SourceFileWatch {
public:
    // Records the file at `path` as it is now (see CFileBasicInfo::Snapshot). A change already
    // reported stays reported.
    void Watch(const QString& path) { snapshot_.Snapshot(path); }
    // Forgets a reported change: the next check compares the file again (a window made anew).
    void Rearm() { changeReported_ = false; }

    // True when the file has changed since Watch. The first change found is marked reported and
    // then handed to `report` (which shows the message and ends the dialog); from then on every
    // check answers true at once without calling it again, also the checks made from inside
    // `report` (its message box runs the event loop).
    bool CheckChanged(const std::function<void()>& report);
    bool ChangeReported() const { return changeReported_; }
    QString GetPath() const { return snapshot_.GetPath(); }

private:
    CFileBasicInfo snapshot_;
    bool changeReported_ = false;
};

}  // namespace brevio
