#pragma once
// The video worker of the player: decodes, scales and presents frames on its own thread. The UI
// thread hands it requests through a one-slot mailbox (the newest request replaces one not yet
// taken) and a wake counter; the worker answers through the poster, which runs the answer on the
// UI thread, tagged with the request's serial so that the UI can drop answers to requests it has
// since replaced.
// Between frames the worker waits until the next one is due or a request comes. The destructor
// stops and joins the thread.
#include <QImage>
#include <QSize>
#include <atomic>
#include <functional>
#include <memory>

#include "PlaybackClock.h"
#include "WorkerSignal.h"
#include "media/FrameScaler.h"
#include "media/VideoDecoder.h"
#include "platform/CThreadBase.h"

namespace brevio::player {

// Runs a task later on the UI thread; callable from any thread.
using Poster = std::function<void(std::function<void()>)>;

// What the worker reports; called on the UI thread.
struct WorkerCallbacks {
    // A picture to show. seek: it answers a Show request (not a frame of playing).
    std::function<void(uint32_t serial, QImage picture, bool seek)> picture;
    // Playing reached the end of the movie.
    std::function<void(uint32_t serial)> ended;
    // The frame for a request could not be decoded.
    std::function<void(uint32_t serial)> failed;
};

class PlayerWorker : private CThreadBase {
public:
    PlayerWorker(std::unique_ptr<media::VideoDecoder> decoder, int64_t durationTicks,
                 std::shared_ptr<PlaybackClock> clock, Poster poster, WorkerCallbacks callbacks,
                 QSize pictureSize, qreal pixelRatio = 1.0,
                 const media::DecoderSettings& playback = {});
    ~PlayerWorker() override;
    PlayerWorker(const PlayerWorker&) = delete;
    PlayerWorker& operator=(const PlayerWorker&) = delete;

    // Show the frame at a position and stand still.
    void Show(int64_t ticks, uint32_t serial);
    // Play from start.baseTicks on the clock of start.
    void Play(const PlayStart& start);
    // 0: keep the aspect ratio; 1: stretch. Takes effect with the next picture.
    void SetDisplayMode(int mode) { displayMode_.store(mode, std::memory_order_relaxed); }

private:
    struct Request {
        enum Kind { Show, Play, Quit } kind = Show;
        int64_t ticks = 0;
        PlayStart start;
    };
    void Post(Request* request);
    uint32_t Run() override;
    // Waits until the clock of a play request reaches `ticks`, or a request comes.
    void WaitForMovieTime(const PlayStart& start, int64_t ticks, uint64_t seen);
    QImage Render(const AVFrame* frame);
    // Before the first frame of playing: the decoder with the playback settings, when they differ
    // from the still picture's (frame threads for large frames).
    void UsePlaybackDecoder();
    bool ShowFrame(const Request& r);
    void PostPicture(uint32_t serial, QImage picture, bool seek);
    void PostEnded(uint32_t serial);
    void PostFailed(uint32_t serial);

    // Owned by the worker thread alone once it runs.
    std::unique_ptr<media::VideoDecoder> decoder_;
    media::FrameScaler scaler_;
    const int64_t durationTicks_;
    const QSize pictureSize_;  // in device pixels
    const qreal pixelRatio_;
    media::DecoderSettings playback_;
    bool playbackDecoder_ = false;
    int shownIndex_ = -1;
    QImage shownPicture_;

    std::shared_ptr<PlaybackClock> clock_;
    const Poster poster_;
    WorkerCallbacks callbacks_;
    std::atomic<Request*> mailbox_{nullptr};
    WorkerSignal signal_;
    std::atomic<int> displayMode_{0};
};

}  // namespace brevio::player
