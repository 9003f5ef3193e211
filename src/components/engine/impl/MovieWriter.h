#pragma once
// Writes an output movie to disk: the self-contained final movie (media copied in large
// sequential blocks, never held in memory) and the reference movie (movie atom only).
#include <filesystem>
#include <string>
#include <vector>

#include "engine/EngineTypes.h"
#include "engine/impl/FileHandle.h"
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

// Creates `destination` exclusively and writes the movie. On failure the partial file stays.
ERROR_CREATEMOVFILE WriteFinalMovie(const OutputMovie& movie, const SourceFiles& sources,
                                    const std::filesystem::path& destination,
                                    const Progress& progress, std::string& error);

// Writes the movie atom with chunk offsets into the sources, under a temporary name in the
// destination's folder, then renames it over the destination.
ERROR_CREATEMOVFILE WriteReferenceMovie(const OutputMovie& movie, const SourceFiles& sources,
                                        const std::filesystem::path& destination,
                                        std::string& error);

}  // namespace brevio::engine
