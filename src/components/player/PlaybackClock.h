#pragma once
// The playing clock shared by the UI thread, the video worker and the audio worker. While playing,
// the movie time is base + the steady time since the start; when an audio output runs for the
// same play request, the time of the audio that the device has played leads instead.
#include <atomic>
#include <chrono>
#include <cstdint>

namespace brevio::player {

inline int64_t SteadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One play request: where it started, when, and its serial number.
struct PlayStart {
    int64_t baseTicks = 0;
    int64_t startNs = 0;
    uint32_t serial = 0;
};

class PlaybackClock {
public:
    // The movie time now for a play request.
    int64_t Now(const PlayStart& start) const {
        if (audioSerial_.load(std::memory_order_acquire) == start.serial && start.serial != 0) {
            // Runs on steadily from the last audio report, also after the audio has ended.
            return (audioOffsetNs_.load(std::memory_order_relaxed) + SteadyNowNs()) / 100;
        }
        return start.baseTicks + (SteadyNowNs() - start.startNs) / 100;
    }
    // Published by the audio worker of the play request with that serial: the device has played
    // up to `ticks` at steady time `atNs` (now by default). Ticks and time travel as one value
    // (their difference), so a reader never pairs the ticks of one report with the time of
    // another.
    void SetAudio(int64_t ticks, uint32_t serial, int64_t atNs = SteadyNowNs()) {
        audioOffsetNs_.store(ticks * 100 - atNs, std::memory_order_relaxed);
        audioSerial_.store(serial, std::memory_order_release);
    }
    void ClearAudio() { audioSerial_.store(0, std::memory_order_release); }

private:
    // Movie time in nanoseconds minus steady time, while the audio leads.
    std::atomic<int64_t> audioOffsetNs_{0};
    std::atomic<uint32_t> audioSerial_{0};
};

}  // namespace brevio::player
