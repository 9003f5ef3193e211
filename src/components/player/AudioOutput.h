#pragma once
// Sound of the player: decodes the movie's audio on its own thread and feeds a sink made on that
// thread (a QAudioSink on the default output device, or a test's own), publishing the time of
// what the sink has played on the shared clock. The clock is published only while that time
// moves: once the sound has run out (a sound track shorter than the picture) the clock goes on by
// the steady clock from the last report. Between feeds the thread waits for the sink's next
// period or a change (volume, stop). One object serves one play request; the destructor stops the
// sink and joins the thread.
#include <QAudioFormat>
#include <atomic>
#include <functional>
#include <memory>

#include "PlaybackClock.h"
#include "WorkerSignal.h"
#include "media/MediaFile.h"
#include "platform/CThreadBase.h"

namespace brevio::player {

// Where the decoded sound goes. Made, used and destroyed on the audio thread.
class IAudioSink {
public:
    virtual ~IAudioSink() = default;
    // The format the sink takes; 16-bit integer samples.
    virtual QAudioFormat Format() const = 0;
    // Starts taking sound; false when it cannot.
    virtual bool Start() = 0;
    virtual qint64 BytesFree() = 0;
    virtual qint64 Write(const char* data, qint64 size) = 0;
    // Microseconds of sound played since Start.
    virtual qint64 ProcessedUSecs() = 0;
    // 0 to 1.
    virtual void SetVolume(double volume) = 0;
    virtual void Stop() = 0;
};

// Makes the sink of one play request (called on the audio thread).
using AudioSinkFactory = std::function<std::unique_ptr<IAudioSink>()>;

// The factory for the next play request, looked up on the UI thread: the installed one, else a
// QAudioSink on the default output device; empty when there is no device (the player then runs on
// the steady clock alone).
AudioSinkFactory CurrentAudioSinkFactory();
// Installs a factory for every later play request (a test's fake sink); empty restores the device.
void SetAudioSinkFactory(AudioSinkFactory factory);

class AudioOutput : private CThreadBase {
public:
    AudioOutput(std::shared_ptr<const media::MediaFile> file, AudioSinkFactory factory,
                PlayStart start, std::shared_ptr<PlaybackClock> clock, int volume);
    ~AudioOutput() override;
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // 0 to 10000.
    void SetVolume(int volume) {
        volume_.store(volume, std::memory_order_relaxed);
        signal_.Post();
    }

private:
    uint32_t Run() override;

    const std::shared_ptr<const media::MediaFile> file_;
    const AudioSinkFactory factory_;
    const PlayStart start_;
    const std::shared_ptr<PlaybackClock> clock_;
    std::atomic<int> volume_;
    std::atomic<bool> stop_{false};
    WorkerSignal signal_;
};

}  // namespace brevio::player
