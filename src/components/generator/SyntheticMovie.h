#pragma once
// Makes a synthetic Brevio movie: encodes one numbered clip per unit into a private temporary
// folder beside the destination, assembles them with the engine into one movie, and removes the
// clips again.
#include <filesystem>
#include <functional>
#include <string>

#include "generator/SyntheticOptions.h"

namespace brevio::generator {

struct GenerateResult {
    bool ok = false;
    bool badArguments = false;  // options refused or destination exists: nothing was written
    std::string error;
};

// Called with the fraction done (0 to 1); encoding counts for the first 80 %.
using GenerateProgress = std::function<void(double fraction)>;

GenerateResult GenerateSyntheticMovie(const SyntheticOptions& options,
                                      const std::filesystem::path& destination,
                                      const GenerateProgress& progress = {});

}  // namespace brevio::generator
