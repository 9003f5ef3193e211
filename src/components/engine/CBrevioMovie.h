#pragma once
// A Brevio movie of an opened file: its shooting units (or chapters) and the editing state, the
// ascending list of original unit indexes that remain. The file must outlive the movie.
#include <memory>
#include <vector>

#include "CBrevioShootingUnit.h"
#include "EngineTypes.h"

namespace brevio::engine {

class CVarnoMovFile;

class CBrevioMovie {
public:
    explicit CBrevioMovie(const CVarnoMovFile* file);
    virtual ~CBrevioMovie();
    CBrevioMovie(const CBrevioMovie&) = delete;
    CBrevioMovie& operator=(const CBrevioMovie&) = delete;

    // False when the file is not a Brevio movie (no BRVU atom and no chapter track, starts that do
    // not rise, a unit that does not begin on a video sync sample, ...).
    bool IsValid() const;
    const std::string& GetError() const;
    // VARNOMOVFILE_OPEN_OUT_OF_MEMORY when memory ran out while reading the units.
    EVARNOMOVFILE_OPEN GetOpenResult() const;

    // The edited movie's duration and the movie time scale (units per second, above zero).
    int32_t GetTotalDuration() const;
    int32_t GetTimeScale() const;

    unsigned GetShootingUnitCount() const;
    const CBrevioShootingUnit& GetShootingUnit(unsigned index) const;

    void GetEditingState(std::vector<unsigned>& state) const;
    bool SetEditingState(const std::vector<unsigned>& state);
    // Removes current unit `index`; refuses an index out of range and the last remaining unit.
    bool RemoveShootingUnit(unsigned index);
    bool IsEdited() const;

    const CVarnoMovFile* GetFile() const;

    struct Impl;
    const Impl& GetImpl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace brevio::engine
