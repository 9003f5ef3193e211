#include "CPlayerWorker.h"

#include <algorithm>
#include <chrono>

namespace brevio::player {

namespace {
// Longest sleep while playing, so that new requests are taken up quickly.
constexpr int64_t kMaxSleepTicks = 50'000;  // 5 ms

void SleepTicks(int64_t ticks) {
    ticks = std::clamp<int64_t>(ticks, 1'000, kMaxSleepTicks);
    std::this_thread::sleep_for(std::chrono::microseconds(ticks / 10));
}
}  // namespace

CPlayerWorker::CPlayerWorker(std::unique_ptr<media::VideoDecoder> decoder, int64_t durationTicks,
                             std::shared_ptr<PlaybackClock> clock, QObject* receiver,
                             WorkerCallbacks callbacks, QSize pictureSize)
    : decoder_(std::move(decoder)),
      durationTicks_(durationTicks),
      pictureSize_(pictureSize),
      clock_(std::move(clock)),
      receiver_(receiver),
      callbacks_(std::move(callbacks)) {
    thread_ = std::thread([this] { Run(); });
}

CPlayerWorker::~CPlayerWorker() {
    Post(new Request{Request::Quit, 0, {}});
    if (thread_.joinable()) thread_.join();
    delete mailbox_.exchange(nullptr, std::memory_order_acq_rel);
}

void CPlayerWorker::Post(Request* request) {
    // A request that the worker has not taken yet is superseded by the new one.
    delete mailbox_.exchange(request, std::memory_order_acq_rel);
    wake_.fetch_add(1, std::memory_order_release);
    wake_.notify_one();
}

void CPlayerWorker::Show(int64_t ticks, uint32_t serial) {
    Request* r = new Request{Request::Show, ticks, {}};
    r->start.serial = serial;
    Post(r);
}

void CPlayerWorker::Play(const PlayStart& start) {
    Post(new Request{Request::Play, start.baseTicks, start});
}

QImage CPlayerWorker::Render(const AVFrame* frame) {
    if (displayMode_.load(std::memory_order_relaxed) == 1) {
        QImage image = scaler_.Scale(frame, pictureSize_.width(), pictureSize_.height());
        if (!image.isNull()) return image;
    }
    return scaler_.Letterbox(frame, pictureSize_);
}

void CPlayerWorker::PostPicture(uint32_t serial, QImage picture, int64_t frameStart, bool seek) {
    auto cb = callbacks_.picture;
    if (!cb) return;
    QMetaObject::invokeMethod(
        receiver_,
        [cb, serial, picture, frameStart, seek] { cb(serial, picture, frameStart, seek); },
        Qt::QueuedConnection);
}

void CPlayerWorker::PostEnded(uint32_t serial) {
    auto cb = callbacks_.ended;
    if (!cb) return;
    QMetaObject::invokeMethod(
        receiver_, [cb, serial] { cb(serial); }, Qt::QueuedConnection);
}

void CPlayerWorker::PostFailed(uint32_t serial) {
    auto cb = callbacks_.failed;
    if (!cb) return;
    QMetaObject::invokeMethod(
        receiver_, [cb, serial] { cb(serial); }, Qt::QueuedConnection);
}

bool CPlayerWorker::ShowFrame(const Request& r) {
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
    PostPicture(r.start.serial, shownPicture_, decoder_->Frame(shownIndex_).startTicks, true);
    return true;
}

void CPlayerWorker::Run() {
    const int count = decoder_->FrameCount();
    bool playing = false;
    PlayStart start;
    int nextIndex = 0;
    bool nextReady = false;
    int nextGot = -1;
    QImage nextPicture;
    for (;;) {
        const uint32_t seen = wake_.load(std::memory_order_acquire);
        if (Request* taken = mailbox_.exchange(nullptr, std::memory_order_acq_rel)) {
            std::unique_ptr<Request> r(taken);
            if (r->kind == Request::Quit) return;
            nextReady = false;
            nextPicture = QImage();
            if (r->kind == Request::Show) {
                playing = false;
                ShowFrame(*r);
                continue;
            }
            start = r->start;
            playing = true;
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
            PostPicture(start.serial, shownPicture_, decoder_->Frame(got).startTicks, false);
            nextIndex = std::max(got, index) + 1;
            continue;
        }
        if (!playing) {
            wake_.wait(seen, std::memory_order_acquire);
            continue;
        }
        const int64_t now = clock_->Now(start);
        if (nextIndex >= count) {
            if (now >= durationTicks_) {
                PostEnded(start.serial);
                playing = false;
            } else {
                SleepTicks(durationTicks_ - now);
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
            SleepTicks(at - now);
            continue;
        }
        shownIndex_ = nextGot;
        shownPicture_ = nextPicture;
        PostPicture(start.serial, nextPicture, decoder_->Frame(nextGot).startTicks, false);
        nextPicture = QImage();
        nextReady = false;
        nextIndex = std::max(nextGot, nextIndex) + 1;
    }
}

}  // namespace brevio::player
