#include "PlayerCore.h"

#include <algorithm>
#include <limits>

#include "AudioOutput.h"
#include "media/MediaFile.h"
#include "media/VideoDecoder.h"
#include "platform/FileHelpers.h"

namespace brevio::player {

namespace {

// The still picture (the first frame after a load, seeks) is decoded on one thread: a frame comes
// out soonest and with the fewest frames in memory. Playing keeps one thread up to 1920 x 1080,
// which it decodes at 30 frames per second with room (bench/media), leaving the other cores to
// the thumbnail worker and the UI. Larger frames (4K) play with FFmpeg's frame and slice threads:
// one core decodes light 4K HEVC at about 50 frames a second but heavier streams, or a busy
// machine, fall below 30 (bench/README.md, Editing call).
constexpr int kDecoderThreads = 1;
constexpr int64_t kOneThreadPixels = 1920 * 1088;

media::DecoderSettings PlaybackSettings(const media::VideoDecoder& decoder) {
    media::DecoderSettings settings;
    const int64_t pixels = int64_t{decoder.StoredWidth()} * decoder.StoredHeight();
    settings.threads = pixels > kOneThreadPixels ? 0 : kDecoderThreads;
    return settings;
}

int32_t Milliseconds(int64_t ticks) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(ticks / 10'000, 0, std::numeric_limits<int32_t>::max()));
}

class BRLMovie : public IBRLMovie {
public:
    explicit BRLMovie(int64_t duration) : duration_(duration) {}
    HRESULT GetDuration(int64_t* ticks) override {
        if (ticks == nullptr) return E_POINTER;
        *ticks = duration_;
        return S_OK;
    }

private:
    int64_t duration_;
};

}  // namespace

PlayerCore::PlayerCore(Poster poster)
    : poster_([poster = std::move(poster),
               alive = std::weak_ptr<int>(alive_)](std::function<void()> task) {
          poster([alive, task = std::move(task)] {
              if (alive.lock()) task();
          });
      }),
      clock_(std::make_shared<PlaybackClock>()) {}

PlayerCore::~PlayerCore() {
    // The workers post through this object's poster and read its clock: join them first.
    audio_.reset();
    worker_.reset();
}

uint32_t PlayerCore::NextSerial() {
    if (++serial_ == 0) serial_ = 1;
    return serial_;
}

void PlayerCore::Changed() {
    if (onChanged) onChanged();
}

void PlayerCore::ShowStill(int64_t ticks) {
    position_ = ticks;
    pendingSeekSerial_ = NextSerial();
    worker_->Show(ticks, pendingSeekSerial_);
}

// ---- events ----

void PlayerCore::Deliver(int32_t dispId, std::vector<int32_t> arguments) {
    poster_([this, dispId, arguments = std::move(arguments)] {
        std::vector<uint32_t> cookies;
        for (const auto& entry : sinks_) cookies.push_back(entry.first);
        for (uint32_t cookie : cookies) {
            auto it = sinks_.find(cookie);  // a sink may unadvise another meanwhile
            if (it != sinks_.end()) it->second->Invoke(dispId, arguments);
        }
    });
}

void PlayerCore::SendState(int32_t state) {
    if (state == lastState_) return;
    lastState_ = state;
    Deliver(kDispIdPlayStateChange, {state});
}

void PlayerCore::SendNotify(int32_t kind, int32_t value) {
    if (notifications_) Deliver(kDispIdPlayerNotify, {kind, value});
}

HRESULT PlayerCore::Advise(IBRLPlayerEvents* sink, uint32_t* cookie) {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    *cookie = nextCookie_++;
    sinks_[*cookie] = sink;
    return S_OK;
}

HRESULT PlayerCore::Unadvise(uint32_t cookie) {
    return sinks_.erase(cookie) == 1 ? S_OK : E_INVALIDARG;
}

// ---- loading ----

void PlayerCore::Unload() {
    StopAudio();
    worker_.reset();
    file_.reset();
    NextSerial();
    pendingSeekSerial_ = 0;
    awaitingResume_ = false;
    resumeAfterSeekBar_ = false;
    mode_ = Mode::Empty;
    duration_ = 0;
    position_ = 0;
    picture_ = QImage();
}

HRESULT PlayerCore::Open(const QString& path) {
    const bool wasLoaded = mode_ != Mode::Empty;
    Unload();
    if (path.isEmpty()) {
        if (wasLoaded) SendState(BRLStateUnloaded);
        Changed();
        return S_OK;
    }
    std::string error;
    auto file = media::MediaFile::Open(PathBytes(path).toStdString(), &error);
    std::unique_ptr<media::VideoDecoder> decoder;
    if (file) decoder = media::VideoDecoder::Create(file, kDecoderThreads, &error);
    if (!decoder || decoder->FrameCount() == 0) {
        if (wasLoaded) SendState(BRLStateUnloaded);
        Changed();
        return E_FAIL;
    }
    int64_t duration = file->DurationTicks();
    if (duration <= 0) duration = decoder->Frame(decoder->FrameCount() - 1).endTicks;
    file_ = std::move(file);
    duration_ = std::max<int64_t>(duration, 0);
    WorkerCallbacks callbacks;
    callbacks.picture = [this](uint32_t serial, QImage image, bool seek) {
        OnPicture(serial, std::move(image), seek);
    };
    callbacks.ended = [this](uint32_t serial) { OnEnded(serial); };
    callbacks.failed = [this](uint32_t serial) { OnFailed(serial); };
    const qreal ratio = pixelRatio ? std::max<qreal>(pixelRatio(), 1.0) : 1.0;
    const media::DecoderSettings playback = PlaybackSettings(*decoder);
    worker_ = std::make_unique<PlayerWorker>(std::move(decoder), duration_, clock_, poster_,
                                             std::move(callbacks),
                                             QSize(kPictureWidth, kPictureHeight), ratio, playback);
    worker_->SetDisplayMode(displayMode_);
    mode_ = Mode::Stopped;
    ShowStill(0);
    lastState_ = 0;  // every load is told, also one that follows another
    SendState(BRLStateReady);
    SendNotify(BRLNotifyOpened, Milliseconds(duration_));
    Changed();
    if (autoStart_) Play();
    return S_OK;
}

HRESULT PlayerCore::SetAutoStart(int32_t on) {
    autoStart_ = on != 0;
    return S_OK;
}

HRESULT PlayerCore::SetRepeat(int32_t on) {
    repeat_ = on != 0;
    return S_OK;
}

HRESULT PlayerCore::SetNotifications(int32_t on) {
    notifications_ = on != 0;
    return S_OK;
}

HRESULT PlayerCore::GetControlSize(int32_t* width, int32_t* height) {
    if (width == nullptr || height == nullptr) return E_POINTER;
    *width = kPictureWidth;
    *height = kControlBarHeight;
    return S_OK;
}

HRESULT PlayerCore::SetDisplayMode(int32_t mode) {
    if (mode != 0 && mode != 1) return E_INVALIDARG;
    displayMode_ = mode;
    if (worker_) worker_->SetDisplayMode(mode);
    return S_OK;
}

HRESULT PlayerCore::GetMovie(std::unique_ptr<IBRLMovie>* movie) {
    if (movie == nullptr) return E_POINTER;
    movie->reset();
    if (mode_ == Mode::Empty) return E_FAIL;
    *movie = std::make_unique<BRLMovie>(duration_);
    return S_OK;
}

// ---- transport ----

int64_t PlayerCore::LastPosition() const {
    return std::max<int64_t>(duration_ - 1, 0);
}

int64_t PlayerCore::PlayingPosition() const {
    return std::clamp<int64_t>(clock_->Now(playStart_), 0, LastPosition());
}

void PlayerCore::StopAudio() {
    audio_.reset();
    clock_->ClearAudio();
}

void PlayerCore::StartPlaying(int64_t from) {
    StopAudio();
    playStart_ = PlayStart{from, SteadyNowNs(), NextSerial()};
    pendingSeekSerial_ = 0;
    mode_ = Mode::Playing;
    worker_->Play(playStart_);
    if (file_->AudioTrack() != nullptr) {
        if (AudioSinkFactory sink = CurrentAudioSinkFactory()) {
            audio_ =
                std::make_unique<AudioOutput>(file_, std::move(sink), playStart_, clock_, volume_);
        }
    }
}

HRESULT PlayerCore::Play() {
    if (mode_ == Mode::Empty) return S_FALSE;
    if (mode_ == Mode::Playing) return S_OK;
    const int64_t from = (mode_ == Mode::Ended || position_ >= LastPosition()) ? 0 : position_;
    StartPlaying(from);
    SendState(BRLStatePlaying);
    Changed();
    return S_OK;
}

HRESULT PlayerCore::Pause() {
    if (mode_ == Mode::Empty) return S_FALSE;
    if (mode_ == Mode::Playing) {
        const int64_t position = PlayingPosition();  // on the sound's clock while it leads
        StopAudio();
        awaitingResume_ = false;
        // The worker may have shown a later frame before it saw the request: show the frame of the
        // position again under the new serial.
        ShowStill(position);
    }
    mode_ = Mode::Paused;
    SendState(BRLStatePaused);
    Changed();
    return S_OK;
}

HRESULT PlayerCore::Stop() {
    if (mode_ == Mode::Empty) return S_FALSE;
    StopAudio();
    awaitingResume_ = false;
    ShowStill(0);
    mode_ = Mode::Stopped;
    SendState(BRLStateStopped);
    Changed();
    return S_OK;
}

HRESULT PlayerCore::SetVolume(int32_t volume) {
    volume_ = std::clamp(volume, 0, 10000);
    if (audio_) audio_->SetVolume(volume_);
    return S_OK;
}

HRESULT PlayerCore::GetVolume(int32_t* volume) {
    if (volume == nullptr) return E_POINTER;
    *volume = volume_;
    return S_OK;
}

HRESULT PlayerCore::SetPosition(int64_t ticks) {
    if (mode_ == Mode::Empty) return S_FALSE;
    const int64_t t = std::clamp<int64_t>(ticks, 0, LastPosition());
    if (mode_ == Mode::Playing) {
        StartPlaying(t);
        awaitingResume_ = true;
        SendState(BRLStateSeeking);
    } else {
        if (mode_ == Mode::Ended) mode_ = Mode::Stopped;
        ShowStill(t);
    }
    Changed();
    return S_OK;
}

HRESULT PlayerCore::GetPosition(int64_t* ticks) {
    if (ticks == nullptr) return E_POINTER;
    *ticks = Position();
    return S_OK;
}

int64_t PlayerCore::Position() const {
    return mode_ == Mode::Playing ? PlayingPosition() : position_;
}

// ---- worker answers ----

void PlayerCore::OnPicture(uint32_t serial, QImage picture, bool seek) {
    if (serial != serial_ || mode_ == Mode::Empty) return;
    picture_ = std::move(picture);
    if (seek && pendingSeekSerial_ == serial) {
        pendingSeekSerial_ = 0;
        SendNotify(BRLNotifySeekShown, Milliseconds(position_));
    }
    if (!seek && awaitingResume_ && mode_ == Mode::Playing) {
        awaitingResume_ = false;
        SendNotify(BRLNotifySeekShown, Milliseconds(playStart_.baseTicks));
        SendState(BRLStatePlaying);
    }
    Changed();
}

void PlayerCore::OnEnded(uint32_t serial) {
    if (serial != serial_ || mode_ != Mode::Playing) return;
    if (repeat_) {
        StartPlaying(0);
        return;
    }
    StopAudio();
    position_ = LastPosition();
    mode_ = Mode::Ended;
    SendState(BRLStateStopped);
    Changed();
}

void PlayerCore::OnFailed(uint32_t serial) {
    if (serial != serial_ || mode_ == Mode::Empty) return;
    if (pendingSeekSerial_ == serial) pendingSeekSerial_ = 0;
    awaitingResume_ = false;
    if (mode_ == Mode::Playing) {
        // Playing stops as it would by a pause, or by the end when the failure came there: those
        // who follow the state hear that playing stopped before they hear why.
        position_ = PlayingPosition();
        StopAudio();
        const bool atEnd = position_ >= LastPosition();
        if (atEnd) position_ = LastPosition();
        mode_ = atEnd ? Mode::Ended : Mode::Paused;
        SendState(atEnd ? BRLStateStopped : BRLStatePaused);
    }
    SendNotify(BRLNotifyDecodeFailed, 0);
    SendState(BRLStateError);
    Changed();
}

// ---- seek bar ----

void PlayerCore::PressSeekBar(int64_t ticks) {
    resumeAfterSeekBar_ = mode_ == Mode::Playing;
    if (resumeAfterSeekBar_) Pause();
    SetPosition(ticks);
}

void PlayerCore::DragSeekBar(int64_t ticks) {
    SetPosition(ticks);
}

void PlayerCore::ReleaseSeekBar(int64_t ticks) {
    SetPosition(ticks);
    // 9 announces that playing resumes; a release while paused leaves the pause as it is.
    if (resumeAfterSeekBar_) {
        resumeAfterSeekBar_ = false;
        SendState(BRLStateSeekReleased);
        Play();
    }
}

}  // namespace brevio::player
