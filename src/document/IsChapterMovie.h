#pragma once
#include <QString>

namespace brevio {

// True only when the file opens, is valid, has a movie structure and that structure has chapters;
// false on every failure, an allocation failure included.
bool IsChapterMovie(const QString& path);

}  // namespace brevio
