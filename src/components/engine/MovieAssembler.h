#pragma once
// Assembles a Brevio movie from clips, as the camera does: each clip becomes one shooting unit (or
// one chapter), its samples copied unchanged. The clips must have the same tracks with identical
// sample descriptions.
#include <filesystem>
#include <string>
#include <vector>

#include "EngineTypes.h"

namespace brevio::engine {

struct AssembleOptions {
    bool chapters = false;            // a chapter track instead of the BRVU atom
    std::vector<std::string> titles;  // chapter titles; "Chapter N" where missing
    BrevioMovFileEditorProgressCallback progress = nullptr;
    void* user = nullptr;
};

struct AssembleResult {
    ERROR_CREATEMOVFILE code = CREATEMOVFILE_OK;
    std::string error;  // what went wrong, for messages
};

// The destination is created exclusively; on failure nothing is left and an existing file at
// the destination is never touched.
AssembleResult AssembleMovie(const std::vector<std::filesystem::path>& clips,
                             const std::filesystem::path& destination,
                             const AssembleOptions& options);

}  // namespace brevio::engine
