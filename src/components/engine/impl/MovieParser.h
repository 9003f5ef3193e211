#pragma once
// Reads a movie atom's payload into the movie model (structure only, no sample validation).
#include "engine/impl/Atoms.h"
#include "engine/impl/MovieModel.h"

namespace brevio::engine {

Result<MovieModel> ParseMovie(Bytes moovPayload);

}  // namespace brevio::engine
