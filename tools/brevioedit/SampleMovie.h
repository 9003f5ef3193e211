#pragma once
// The sample Brevio movie that brevioedit makes on request (--sample, --demo).
#include <QString>

namespace brevioedit {

// Makes `folder`/sample.mov (replacing an earlier one): twelve 4-second 640x480 H.264 units with
// sound, as shooting units or as chapters. The movie's path, or empty with `error` set.
QString MakeSampleMovie(const QString& folder, bool chapters, QString& error);

}  // namespace brevioedit
