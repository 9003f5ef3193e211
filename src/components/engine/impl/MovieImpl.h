#pragma once
// The inside of a Brevio movie: its units and the editing state.
#include <string>
#include <vector>

#include "engine/CBrevioMovie.h"
#include "engine/impl/BrevioUnits.h"

namespace brevio::engine {

struct CBrevioMovie::Impl {
    const CVarnoMovFile* file = nullptr;
    bool valid = false;
    bool outOfMemory = false;
    std::string error;
    UnitStructure structure;
    std::vector<unsigned> state;               // ascending original indexes that remain
    std::vector<CBrevioShootingUnit> current;  // units of the state, with current starts
    int32_t totalDuration = 0;

    void Rebuild();
};

}  // namespace brevio::engine
