#pragma once
// Why a movie could not be opened, in words for the user: the editing call answers only with a
// result code, so the host looks at the file itself (whether it exists, can be read, is a folder)
// and at its QuickTime structure (the top-level parts and whether the file holds all of them).
#include <QString>
#include <cstdint>

namespace brevioedit {

// The message for an open result of BREditDialog (3 not a Brevio movie, 4 too short, 5 invalid
// file, 6 component missing) on `movie`; empty for the other results.
QString DescribeOpenFailure(int32_t result, const QString& movie);

}  // namespace brevioedit
