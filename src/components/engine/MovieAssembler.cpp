#include "engine/MovieAssembler.h"

namespace brevio::engine {

AssembleResult AssembleMovie(const std::vector<std::filesystem::path>&,
                             const std::filesystem::path&, const AssembleOptions&) {
    return {CREATEMOVFILE_UNSUPPORTED, "not yet available"};
}

}  // namespace brevio::engine
