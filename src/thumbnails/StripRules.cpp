#include "thumbnails/StripRules.h"

#include <algorithm>

namespace brevio {

TickSpan StripWindow(int64_t unitStart, int64_t unitDuration, int64_t total, int before,
                     int length) {
    TickSpan span;
    span.first = std::max<int64_t>(unitStart - before * unitDuration, 0);
    span.last = span.first + length * unitDuration;
    if (span.last > total) {
        span.last = total;
        span.first = std::max<int64_t>(total - length * unitDuration, 0);
    }
    return span;
}

SceneRun SelectedRun(int p, int count, unsigned length, std::optional<int> current, int fewest) {
    if (count <= fewest) return {};
    // Signed 64-bit throughout: a run longer than the strip must not wrap around.
    const int64_t c = count;
    const int64_t n = length;
    int64_t q = p;
    if (current && q >= int64_t{*current} + n / 2) q = q - n + 1;
    int64_t start = std::max<int64_t>(q, 0);
    int64_t end = start + n;
    if (end >= c) {
        start = std::max<int64_t>(c - n, 0);
        end = c;
    }
    return {static_cast<int>(start), static_cast<int>(end)};
}

int MovedRunStart(int start, unsigned length, int scenes, RunMove move) {
    const int64_t last = std::max<int64_t>(int64_t{scenes} - length, 0);
    int64_t target = start;
    switch (move) {
        case RunMove::Back:
            target = int64_t{start} - 1;
            break;
        case RunMove::Forward:
            target = int64_t{start} + 1;
            break;
        case RunMove::First:
            target = 0;
            break;
        case RunMove::Last:
            target = last;
            break;
    }
    return static_cast<int>(std::clamp<int64_t>(target, 0, last));
}

std::optional<RestoredScenes> FindRestoredScenes(const std::vector<unsigned>& before,
                                                 const std::vector<unsigned>& after,
                                                 size_t unknownCount) {
    if (after.size() <= before.size()) return std::nullopt;
    const auto differ = std::mismatch(before.begin(), before.end(), after.begin());
    const size_t k = static_cast<size_t>(differ.first - before.begin());
    if (k == before.size()) return RestoredScenes{k, after.size() - before.size()};
    // The restored run ends where the unit that stood at k before comes back.
    const auto back =
        std::find(after.begin() + static_cast<std::ptrdiff_t>(k) + 1, after.end(), before[k]);
    const size_t count =
        back == after.end() ? unknownCount : static_cast<size_t>(back - after.begin()) - k;
    return RestoredScenes{k, count};
}

std::optional<size_t> FindSceneAfterRemoved(const std::vector<unsigned>& before,
                                            const std::vector<unsigned>& after) {
    if (before.empty() || after.size() >= before.size()) return std::nullopt;
    const auto differ = std::mismatch(after.begin(), after.end(), before.begin());
    const size_t k = static_cast<size_t>(differ.first - after.begin());
    // Removed from the end: the last scene that is left (0 when none is).
    if (k == after.size() && k > 0) return k - 1;
    return k;
}

}  // namespace brevio
