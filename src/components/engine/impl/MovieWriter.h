#pragma once
// Writes an output movie to disk: the self-contained final movie (media copied in large
// sequential blocks, never held in memory) and the reference movie (movie atom only).
#include <filesystem>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/impl/DurableFile.h"
#include "engine/impl/FileHandle.h"
#include "engine/impl/FinalLayout.h"
#include "engine/impl/MoovBuilder.h"
#include "engine/impl/OutputMovie.h"

namespace brevio::engine {

struct SourceFiles {
    std::vector<const FileHandle*> handles;    // by OutChunk::source
    std::vector<std::filesystem::path> paths;  // absolute, same order
};

struct Progress {
    BrevioMovFileEditorProgressCallback callback = nullptr;
    void* user = nullptr;
};

// Writes the final movie into a DurableFile of the destination's folder: an unnamed file, or a
// hidden partial file ("." + name + ".XXXXXX.partial", the name shortened to fit the folder's
// name limit) that RemovePartialFiles removes from a signal handler. Before the movie is named
// every source is checked to be the file opened, unchanged (else SOURCE_CHANGED), and the
// progress callback is asked with BrevioMovFileEditorCommit. A crash, a kill or a power loss at
// any moment leaves either nothing or the whole movie; a failure or cancel before the naming
// leaves nothing.
ERROR_CREATEMOVFILE WriteFinalMovie(const OutputMovie& movie, const SourceFiles& sources,
                                    const std::filesystem::path& destination,
                                    const Progress& progress, WriteFailure& error,
                                    FinalFileKind kind = FinalFileKind::Automatic);

// Writes the movie atom with chunk offsets into the sources under a hidden name in `folder`
// (created exclusively, 0600 less the umask, locked with flock), then renames it over `name`,
// both relative to the folder's descriptor. A name that holds one of the sources is refused
// (INVALID_ARGUMENT). With `lockedFd`, the written file's descriptor stays open and locked and
// is handed over; else it is closed.
ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        int folder, const std::string& name, WriteFailure& error,
                                        int* lockedFd);
// The same in the folder of `destination`, given by path.
ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        const std::filesystem::path& destination,
                                        WriteFailure& error);

}  // namespace brevio::engine
