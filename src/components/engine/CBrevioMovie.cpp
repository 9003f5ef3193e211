#include "engine/CBrevioMovie.h"

#include <new>

#include "engine/impl/BrevioUnits.h"
#include "engine/impl/FileImpl.h"
#include "engine/impl/MovieImpl.h"

namespace brevio::engine {

void CBrevioMovie::Impl::Rebuild() {
    current.clear();
    current.reserve(state.size());
    int32_t t = 0;
    for (unsigned index : state) {
        const UnitInfo& u = structure.units[index];
        CBrevioShootingUnit unit(index, u.start, u.duration);
        unit.SetCurrentStartTime(t);
        t += u.duration;
        current.push_back(unit);
    }
    totalDuration = t;
}

CBrevioMovie::CBrevioMovie(const CVarnoMovFile* file) : impl_(std::make_unique<Impl>()) {
    impl_->file = file;
    if (!file || !file->IsValid()) {
        impl_->error = "the file is not valid";
        return;
    }
    try {
        auto units = ReadUnits(file->GetImpl());
        if (!units) {
            impl_->error = units.error();
            return;
        }
        impl_->structure = std::move(*units);
        impl_->state.resize(impl_->structure.units.size());
        for (unsigned i = 0; i < impl_->state.size(); ++i) impl_->state[i] = i;
        impl_->Rebuild();
        impl_->valid = true;
    } catch (const std::bad_alloc&) {
        impl_->error = "out of memory";
        impl_->valid = false;
        impl_->outOfMemory = true;
        impl_->structure = UnitStructure{};
        impl_->state = {};
        impl_->current = {};
    }
}

CBrevioMovie::~CBrevioMovie() = default;

bool CBrevioMovie::IsValid() const {
    return impl_->valid;
}
const std::string& CBrevioMovie::GetError() const {
    return impl_->error;
}
EVARNOMOVFILE_OPEN CBrevioMovie::GetOpenResult() const {
    if (impl_->valid) return VARNOMOVFILE_OPEN_OK;
    return impl_->outOfMemory ? VARNOMOVFILE_OPEN_OUT_OF_MEMORY : VARNOMOVFILE_OPEN_INVALID;
}
int32_t CBrevioMovie::GetTotalDuration() const {
    return impl_->valid ? impl_->totalDuration : 0;
}
int32_t CBrevioMovie::GetTimeScale() const {
    return impl_->valid ? int32_t(impl_->structure.timeScale) : 0;
}
unsigned CBrevioMovie::GetShootingUnitCount() const {
    return unsigned(impl_->current.size());
}

const CBrevioShootingUnit& CBrevioMovie::GetShootingUnit(unsigned index) const {
    static const CBrevioShootingUnit none(0, 0, 0);
    return index < impl_->current.size() ? impl_->current[index] : none;
}

void CBrevioMovie::GetEditingState(std::vector<unsigned>& state) const {
    state.insert(state.end(), impl_->state.begin(), impl_->state.end());
}

bool CBrevioMovie::SetEditingState(const std::vector<unsigned>& state) {
    if (!impl_->valid || state.empty()) return false;
    for (size_t i = 0; i < state.size(); ++i) {
        if (state[i] >= impl_->structure.units.size()) return false;
        if (i > 0 && state[i] <= state[i - 1]) return false;
    }
    try {
        impl_->state = state;
        impl_->Rebuild();
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CBrevioMovie::RemoveShootingUnit(unsigned index) {
    if (!impl_->valid || index >= impl_->state.size() || impl_->state.size() <= 1) return false;
    impl_->state.erase(impl_->state.begin() + index);
    impl_->Rebuild();
    return true;
}

bool CBrevioMovie::IsEdited() const {
    return impl_->valid && impl_->state.size() != impl_->structure.units.size();
}

const CVarnoMovFile* CBrevioMovie::GetFile() const {
    return impl_->file;
}

}  // namespace brevio::engine
