#pragma once
// Sound of the player: decodes the movie's audio on its own thread and feeds a QAudioSink made on
// that thread, publishing the time of what the device has played on the shared clock. One object
// serves one play request; the destructor stops the sink and joins the thread.
#include <QAudioDevice>
#include <atomic>
#include <memory>
#include <thread>

#include "PlaybackClock.h"
#include "media/MediaFile.h"

namespace brevio::player {

class CAudioOutput {
public:
    CAudioOutput(std::shared_ptr<const media::MediaFile> file, QAudioDevice device, PlayStart start,
                 std::shared_ptr<PlaybackClock> clock, int volume);
    ~CAudioOutput();
    CAudioOutput(const CAudioOutput&) = delete;
    CAudioOutput& operator=(const CAudioOutput&) = delete;

    // 0 to 10000.
    void SetVolume(int volume) { volume_.store(volume, std::memory_order_relaxed); }

private:
    void Run();

    const std::shared_ptr<const media::MediaFile> file_;
    const QAudioDevice device_;
    const PlayStart start_;
    const std::shared_ptr<PlaybackClock> clock_;
    std::atomic<int> volume_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace brevio::player
