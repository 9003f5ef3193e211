#pragma once
// An opened QuickTime movie file: reads and checks the whole atom structure once, then answers
// from memory. Invalid files (unreadable, tables that disagree, media outside the file) give
// IsValid() == false and never cause out-of-bounds reads, huge allocations or hangs.
#include <memory>

#include "EngineTypes.h"
#include "FileLocator.h"

namespace brevio::engine {

class CVarnoMovie;

class CVarnoMovFile {
public:
    enum class Purpose {
        Editing,   // the file must be self-contained (external data references make it invalid)
        Playback,  // external references are followed (reference movies written by this engine)
    };

    explicit CVarnoMovFile(const FileLocator& locator, Purpose purpose = Purpose::Editing);
    virtual ~CVarnoMovFile();
    CVarnoMovFile(const CVarnoMovFile&) = delete;
    CVarnoMovFile& operator=(const CVarnoMovFile&) = delete;

    bool IsValid() const;
    // Why the file is invalid, for messages ("" when valid).
    const std::string& GetError() const;
    // VARNOMOVFILE_OPEN_OUT_OF_MEMORY when memory ran out while reading, else OK or INVALID.
    EVARNOMOVFILE_OPEN GetOpenResult() const;
    // The movie structure; null when the file is invalid.
    const CVarnoMovie* GetVarnoMovie() const;
    const std::filesystem::path& GetPath() const;
    // Every sample of every track, resolved to the files that hold them.
    const MovieSamples& GetSamples() const;

    struct Impl;
    const Impl& GetImpl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace brevio::engine
