#include "PlayerWorker.h"

#include <algorithm>
#include <chrono>

namespace brevio::player {

namespace {
// Longest wait for a frame: the clock that sets the deadline may be re-based meanwhile (the sound
// starts leading it), so the deadline is looked at again at least this often.
constexpr int64_t kMaxWaitTicks = 200'000;  // 20 ms
}  // namespace

PlayerWorker::PlayerWorker(std::unique_ptr<media::VideoDecoder> decoder, int64_t durationTicks,
                           std::shared_ptr<PlaybackClock> clock, Poster poster,
                           WorkerCallbacks callbacks, QSize pictureSize, qreal pixelRatio,
                           const media::DecoderSettings& playback)
    : decoder_(std::move(decoder)),
      durationTicks_(durationTicks),
      pictureSize_(pictureSize * pixelRatio),
      pixelRatio_(pixelRatio),
      playback_(playback),
      clock_(std::move(clock)),
      poster_(std::move(poster)),
      callbacks_(std::move(callbacks)) {
    Start();
}

PlayerWorker::~PlayerWorker() {
    Post(new Request{Request::Quit, 0, {}});
    Join();
    delete mailbox_.exchange(nullptr, std::memory_order_acq_rel);
}

void PlayerWorker::Post(Request* request) {
    // A request that the worker has not taken yet is superseded by the new one.
    delete mailbox_.exchange(request, std::memory_order_acq_rel);
    signal_.Post();
}

void PlayerWorker::WaitForMovieTime(const PlayStart& start, int64_t ticks, uint64_t seen) {
    const int64_t wait = std::clamp<int64_t>(ticks - clock_->Now(start), 0, kMaxWaitTicks);
    signal_.WaitUntil(seen, WorkerSignal::Clock::now() + std::chrono::nanoseconds(wait * 100));
}

void PlayerWorker::Show(int64_t ticks, uint32_t serial) {
    Request* r = new Request{Request::Show, ticks, {}};
    r->start.serial = serial;
    Post(r);
}

void PlayerWorker::Play(const PlayStart& start) {
    Post(new Request{Request::Play, start.baseTicks, start});
}

QImage PlayerWorker::Render(const AVFrame* frame) {
    QImage image;
    if (displayMode_.load(std::memory_order_relaxed) == 1) {
        image = scaler_.Scale(frame, pictureSize_.width(), pictureSize_.height());
    }
    if (image.isNull()) image = scaler_.Letterbox(frame, pictureSize_);
    image.setDevicePixelRatio(pixelRatio_);
    return image;
}

void PlayerWorker::UsePlaybackDecoder() {
    if (playbackDecoder_) return;
    playbackDecoder_ = true;
    if (playback_.threads == 1) return;  // the still picture's decoder plays as well
    if (auto decoder = media::VideoDecoder::Create(decoder_->SharedFile(), playback_)) {
        decoder_ = std::move(decoder);
    }
}

void PlayerWorker::PostPicture(uint32_t serial, QImage picture, bool seek) {
    if (auto cb = callbacks_.picture)
        poster_([cb, serial, picture, seek] { cb(serial, picture, seek); });
}

void PlayerWorker::PostEnded(uint32_t serial) {
    if (auto cb = callbacks_.ended) poster_([cb, serial] { cb(serial); });
}

void PlayerWorker::PostFailed(uint32_t serial) {
    if (auto cb = callbacks_.failed) poster_([cb, serial] { cb(serial); });
}

bool PlayerWorker::ShowFrame(const Request& r) {
    const int index = decoder_->FrameIndexAt(r.ticks);
    if (index != shownIndex_ || shownPicture_.isNull()) {
        int got = -1;
        const AVFrame* frame = decoder_->DecodeFrame(index, &got);
        if (frame == nullptr) {
            PostFailed(r.start.serial);
            return false;
        }
        shownPicture_ = Render(frame);
        shownIndex_ = got;
    }
    PostPicture(r.start.serial, shownPicture_, true);
    return true;
}

uint32_t PlayerWorker::Run() {
    const int count = decoder_->FrameCount();
    bool playing = false;
    PlayStart start;
    int nextIndex = 0;
    bool nextReady = false;
    int nextGot = -1;
    QImage nextPicture;
    for (;;) {
        const uint64_t seen = signal_.Posts();
        if (Request* taken = mailbox_.exchange(nullptr, std::memory_order_acq_rel)) {
            std::unique_ptr<Request> r(taken);
            if (r->kind == Request::Quit) return 0;
            nextReady = false;
            nextPicture = QImage();
            if (r->kind == Request::Show) {
                playing = false;
                ShowFrame(*r);
                continue;
            }
            start = r->start;
            playing = true;
            UsePlaybackDecoder();
            const int index = decoder_->FrameIndexAt(start.baseTicks);
            int got = -1;
            const AVFrame* frame = decoder_->DecodeFrame(index, &got, true);
            if (frame == nullptr) {
                PostFailed(start.serial);
                playing = false;
                continue;
            }
            if (got != shownIndex_ || shownPicture_.isNull()) {
                shownPicture_ = Render(frame);
                shownIndex_ = got;
            }
            PostPicture(start.serial, shownPicture_, false);
            nextIndex = std::max(got, index) + 1;
            continue;
        }
        if (!playing) {
            signal_.Wait(seen);
            continue;
        }
        const int64_t now = clock_->Now(start);
        if (nextIndex >= count) {
            if (now >= durationTicks_) {
                PostEnded(start.serial);
                playing = false;
            } else {
                WaitForMovieTime(start, durationTicks_, seen);
            }
            continue;
        }
        if (!nextReady) {
            // Frames whose time has already passed are decoded but never scaled or shown.
            const int due = std::max(nextIndex, decoder_->FrameIndexAt(now));
            int got = -1;
            const AVFrame* frame = decoder_->DecodeFrame(due, &got, true);
            if (frame == nullptr) {
                PostFailed(start.serial);
                playing = false;
                continue;
            }
            nextPicture = Render(frame);
            nextGot = got;
            nextIndex = due;
            nextReady = true;
            continue;
        }
        const int64_t at = decoder_->Frame(nextIndex).startTicks;
        if (now < at) {
            WaitForMovieTime(start, at, seen);
            continue;
        }
        shownIndex_ = nextGot;
        shownPicture_ = nextPicture;
        PostPicture(start.serial, nextPicture, false);
        nextPicture = QImage();
        nextReady = false;
        nextIndex = std::max(nextGot, nextIndex) + 1;
    }
}

}  // namespace brevio::player
