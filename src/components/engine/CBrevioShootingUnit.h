#pragma once
#include <cstdint>

namespace brevio::engine {

// One shooting unit (or one chapter) of a Brevio movie; times in the movie time scale.
class CBrevioShootingUnit {
public:
    CBrevioShootingUnit(uint32_t originalIndex, int32_t originalStart, int32_t duration)
        : originalIndex_(originalIndex), originalStart_(originalStart), duration_(duration) {}

    int32_t GetOriginalStartTime() const { return originalStart_; }
    int32_t GetCurrentStartTime() const { return currentStart_; }
    int32_t GetDuration() const { return duration_; }
    uint32_t GetOriginalIndex() const { return originalIndex_; }

    void SetCurrentStartTime(int32_t start) { currentStart_ = start; }

private:
    uint32_t originalIndex_;
    int32_t originalStart_;
    int32_t duration_;
    int32_t currentStart_ = 0;
};

}  // namespace brevio::engine
