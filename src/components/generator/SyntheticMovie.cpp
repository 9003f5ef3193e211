#include "generator/SyntheticMovie.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

#include "engine/MovieAssembler.h"
#include "generator/ClipEncoder.h"

namespace brevio::generator {

using namespace brevio::engine;

namespace fs = std::filesystem;

namespace {

// A fresh folder removed with its contents when it goes out of scope.
class ScratchFolder {
public:
    explicit ScratchFolder(const fs::path& parent) {
        std::string pattern = (parent / ".brevio-clips-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::system_error(errno, std::generic_category(),
                                    "cannot create a temporary folder in " + parent.string());
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct ProgressRelay {
    const GenerateProgress* progress;
};

EBrevioMovFileEditorProgressCallbackResult AssemblyProgress(
    EBrevioMovFileEditorProgressCallbackMessage message, double fraction, void* user) {
    auto* relay = static_cast<ProgressRelay*>(user);
    if (message == BrevioMovFileEditorProgress && relay->progress && *relay->progress)
        (*relay->progress)(0.8 + 0.2 * fraction);
    return BrevioMovFileEditorContinue;
}

}  // namespace

GenerateResult GenerateSyntheticMovie(const SyntheticOptions& options, const fs::path& destination,
                                      const GenerateProgress& progress) {
    GenerateResult result;
    if (auto problem = CheckOptions(options); !problem.empty()) {
        result.badArguments = true;
        result.error = problem;
        return result;
    }
    std::error_code ec;
    if (fs::exists(fs::symlink_status(destination, ec))) {
        result.badArguments = true;
        result.error = destination.string() + " exists already";
        return result;
    }
    bool assembling = false;
    try {
        fs::path parent = fs::absolute(destination).parent_path();
        ScratchFolder scratch(parent);
        std::vector<fs::path> clips;
        for (int i = 0; i < options.units; ++i) {
            clips.push_back(scratch.path() / ("clip" + std::to_string(i) + ".mov"));
            EncodeClip(options, i, clips.back());
            if (progress) progress(0.8 * (i + 1) / options.units);
        }
        brevio::engine::AssembleOptions assemble;
        assemble.chapters = options.chapters;
        assemble.titles = options.titles;
        ProgressRelay relay{&progress};
        assemble.progress = AssemblyProgress;
        assemble.user = &relay;
        assembling = true;
        auto assembled = brevio::engine::AssembleMovie(clips, destination, assemble);
        if (assembled.code != CREATEMOVFILE_OK) {
            result.error = "assembling the clips failed (" + std::to_string(assembled.code) +
                           "): " + assembled.error;
            if (assembled.code != CREATEMOVFILE_DESTINATION_EXISTS) fs::remove(destination, ec);
            return result;
        }
        result.ok = true;
    } catch (const std::exception& e) {
        result.error = e.what();
        if (assembling) fs::remove(destination, ec);
    }
    return result;
}

}  // namespace brevio::generator
