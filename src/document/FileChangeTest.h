#pragma once
#include "document/CFileBasicInfo.h"

namespace brevio {

// True when the file recorded in `snapshot` is no longer the same on disk: gone, unreadable, or
// with another last-write time or size. A snapshot without a file name never counts as changed.
bool HasFileChanged(const CFileBasicInfo& snapshot);

}  // namespace brevio
