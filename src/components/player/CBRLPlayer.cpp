#include "CBRLPlayer.h"

#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <limits>

#include "CAudioOutput.h"
#include "CPictureView.h"
#include "CPlayerWorker.h"
#include "CSeekBar.h"
#include "media/MediaFile.h"
#include "media/VideoDecoder.h"

namespace brevio {

namespace {

// One decoding thread: it keeps up with 1080p H.264 at 30 frames per second (bench/media), leaves
// the other cores to the thumbnail worker and the UI, and keeps FFmpeg from starting threads of
// its own.
constexpr int kDecoderThreads = 1;
constexpr int kRefreshMs = 100;

int32_t Milliseconds(int64_t ticks) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(ticks / 10'000, 0, std::numeric_limits<int32_t>::max()));
}

QString FormatTime(int64_t ticks) {
    const int64_t seconds = std::max<int64_t>(ticks, 0) / 10'000'000;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

class CBRLMovie : public IBRLMovie {
public:
    explicit CBRLMovie(int64_t duration) : duration_(duration) {}
    HRESULT GetDuration(int64_t* ticks) override {
        if (ticks == nullptr) return E_POINTER;
        *ticks = duration_;
        return S_OK;
    }

private:
    int64_t duration_;
};

}  // namespace

CBRLPlayer::CBRLPlayer(QWidget* parent)
    : QWidget(parent), clock_(std::make_shared<player::PlaybackClock>()) {
    setFixedSize(kPictureWidth, kPictureHeight + kControlBarHeight);
    picture_ = new player::CPictureView(this);
    picture_->setGeometry(0, 0, kPictureWidth, kPictureHeight);

    const int row = kPictureHeight + 4;
    playButton_ = new QToolButton(this);
    playButton_->setGeometry(4, row, 24, 24);
    playButton_->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    playButton_->setAutoRaise(true);
    stopButton_ = new QToolButton(this);
    stopButton_->setGeometry(30, row, 24, 24);
    stopButton_->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    stopButton_->setAutoRaise(true);
    // Wide and low, so that a press on it can be told from a press on a button.
    seekBar_ = new player::CSeekBar(this);
    seekBar_->setGeometry(58, kPictureHeight + 9, 172, 14);
    timeLabel_ = new QLabel(this);
    timeLabel_->setGeometry(232, row, 86, 24);
    timeLabel_->setAlignment(Qt::AlignCenter);
    QFont small = timeLabel_->font();
    small.setPixelSize(11);
    timeLabel_->setFont(small);

    connect(playButton_, &QToolButton::clicked, this, [this] {
        if (mode_ == Mode::Playing) {
            Pause();
        } else {
            Play();
        }
    });
    connect(stopButton_, &QToolButton::clicked, this, [this] { Stop(); });
    seekBar_->onPressed = [this](int64_t t) { OnSeekBarPressed(t); };
    seekBar_->onDragged = [this](int64_t t) { OnSeekBarDragged(t); };
    seekBar_->onReleased = [this](int64_t t) { OnSeekBarReleased(t); };
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, [this] { RefreshControls(); });
    RefreshControls();
}

CBRLPlayer::~CBRLPlayer() {
    // The workers post to this object: join them before it goes.
    audio_.reset();
    worker_.reset();
}

uint32_t CBRLPlayer::NextSerial() {
    if (++serial_ == 0) serial_ = 1;
    return serial_;
}

// ---- events ----

void CBRLPlayer::Deliver(int32_t dispId, std::vector<int32_t> arguments) {
    QMetaObject::invokeMethod(
        this,
        [this, dispId, arguments] {
            std::vector<uint32_t> cookies;
            for (const auto& entry : sinks_) cookies.push_back(entry.first);
            for (uint32_t cookie : cookies) {
                auto it = sinks_.find(cookie);  // a sink may unadvise another meanwhile
                if (it != sinks_.end()) it->second->Invoke(dispId, arguments);
            }
        },
        Qt::QueuedConnection);
}

void CBRLPlayer::SendState(int32_t state) {
    if (state == lastState_) return;
    lastState_ = state;
    Deliver(kDispIdPlayStateChange, {state});
}

void CBRLPlayer::SendNotify(int32_t kind, int32_t value) {
    if (notifications_) Deliver(kDispIdPlayerNotify, {kind, value});
}

HRESULT CBRLPlayer::Advise(IBRLPlayerEvents* sink, uint32_t* cookie) {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    *cookie = nextCookie_++;
    sinks_[*cookie] = sink;
    return S_OK;
}

HRESULT CBRLPlayer::Unadvise(uint32_t cookie) {
    return sinks_.erase(cookie) == 1 ? S_OK : E_INVALIDARG;
}

// ---- loading ----

void CBRLPlayer::Unload() {
    refreshTimer_.stop();
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
    picture_->Clear();
    seekBar_->SetDuration(0);
}

HRESULT CBRLPlayer::Open(const QString& path) {
    const bool wasLoaded = mode_ != Mode::Empty;
    Unload();
    if (path.isEmpty()) {
        if (wasLoaded) SendState(BRLStateUnloaded);
        RefreshControls();
        return S_OK;
    }
    std::string error;
    auto file = media::MediaFile::Open(path.toStdString(), &error);
    std::unique_ptr<media::VideoDecoder> decoder;
    if (file) decoder = media::VideoDecoder::Create(file, kDecoderThreads, &error);
    if (!decoder || decoder->FrameCount() == 0) {
        if (wasLoaded) SendState(BRLStateUnloaded);
        RefreshControls();
        return E_FAIL;
    }
    int64_t duration = file->DurationTicks();
    if (duration <= 0) duration = decoder->Frame(decoder->FrameCount() - 1).endTicks;
    file_ = std::move(file);
    duration_ = std::max<int64_t>(duration, 0);
    player::WorkerCallbacks callbacks;
    callbacks.picture = [this](uint32_t serial, QImage image, int64_t start, bool seek) {
        OnPicture(serial, std::move(image), start, seek);
    };
    callbacks.ended = [this](uint32_t serial) { OnEnded(serial); };
    callbacks.failed = [this](uint32_t serial) { OnFailed(serial); };
    worker_ = std::make_unique<player::CPlayerWorker>(std::move(decoder), duration_, clock_, this,
                                                      std::move(callbacks),
                                                      QSize(kPictureWidth, kPictureHeight));
    worker_->SetDisplayMode(displayMode_);
    mode_ = Mode::Stopped;
    position_ = 0;
    pendingSeekSerial_ = NextSerial();
    worker_->Show(0, pendingSeekSerial_);
    seekBar_->SetDuration(duration_);
    lastState_ = 0;  // every load is told, also one that follows another
    SendState(BRLStateReady);
    SendNotify(BRLNotifyOpened, Milliseconds(duration_));
    RefreshControls();
    if (autoStart_) Play();
    return S_OK;
}

HRESULT CBRLPlayer::SetAutoStart(int32_t on) {
    autoStart_ = on != 0;
    return S_OK;
}

HRESULT CBRLPlayer::SetRepeat(int32_t on) {
    repeat_ = on != 0;
    return S_OK;
}

HRESULT CBRLPlayer::SetNotifications(int32_t on) {
    notifications_ = on != 0;
    return S_OK;
}

HRESULT CBRLPlayer::GetControlSize(int32_t* width, int32_t* height) {
    if (width == nullptr || height == nullptr) return E_POINTER;
    *width = kPictureWidth;
    *height = kControlBarHeight;
    return S_OK;
}

HRESULT CBRLPlayer::SetDisplayMode(int32_t mode) {
    if (mode != 0 && mode != 1) return E_INVALIDARG;
    displayMode_ = mode;
    if (worker_) worker_->SetDisplayMode(mode);
    return S_OK;
}

HRESULT CBRLPlayer::GetMovie(std::unique_ptr<IBRLMovie>* movie) {
    if (movie == nullptr) return E_POINTER;
    movie->reset();
    if (mode_ == Mode::Empty) return E_FAIL;
    *movie = std::make_unique<CBRLMovie>(duration_);
    return S_OK;
}

// ---- transport ----

int64_t CBRLPlayer::LastPosition() const {
    return std::max<int64_t>(duration_ - 1, 0);
}

int64_t CBRLPlayer::PlayingPosition() const {
    return std::clamp<int64_t>(clock_->Now(playStart_), 0, LastPosition());
}

void CBRLPlayer::StopAudio() {
    audio_.reset();
    clock_->ClearAudio();
}

void CBRLPlayer::StartPlaying(int64_t from) {
    StopAudio();
    playStart_ = player::PlayStart{from, player::SteadyNowNs(), NextSerial()};
    pendingSeekSerial_ = 0;
    mode_ = Mode::Playing;
    worker_->Play(playStart_);
    if (file_->AudioTrack() != nullptr) {
        if (player::AudioSinkFactory sink = player::CurrentAudioSinkFactory()) {
            audio_ = std::make_unique<player::CAudioOutput>(file_, std::move(sink), playStart_,
                                                            clock_, volume_);
        }
    }
    refreshTimer_.start();
}

HRESULT CBRLPlayer::Play() {
    if (mode_ == Mode::Empty) return S_FALSE;
    if (mode_ == Mode::Playing) return S_OK;
    const int64_t from = (mode_ == Mode::Ended || position_ >= LastPosition()) ? 0 : position_;
    StartPlaying(from);
    SendState(BRLStatePlaying);
    RefreshControls();
    return S_OK;
}

HRESULT CBRLPlayer::Pause() {
    if (mode_ == Mode::Empty) return S_FALSE;
    if (mode_ == Mode::Playing) {
        position_ = PlayingPosition();
        StopAudio();
        refreshTimer_.stop();
        awaitingResume_ = false;
        // The worker may have shown a later frame before it saw the request: show the frame of the
        // position again under the new serial.
        pendingSeekSerial_ = NextSerial();
        worker_->Show(position_, pendingSeekSerial_);
    }
    mode_ = Mode::Paused;
    SendState(BRLStatePaused);
    RefreshControls();
    return S_OK;
}

HRESULT CBRLPlayer::Stop() {
    if (mode_ == Mode::Empty) return S_FALSE;
    StopAudio();
    refreshTimer_.stop();
    awaitingResume_ = false;
    position_ = 0;
    pendingSeekSerial_ = NextSerial();
    worker_->Show(0, pendingSeekSerial_);
    mode_ = Mode::Stopped;
    SendState(BRLStateStopped);
    RefreshControls();
    return S_OK;
}

HRESULT CBRLPlayer::SetVolume(int32_t volume) {
    volume_ = std::clamp(volume, 0, 10000);
    if (audio_) audio_->SetVolume(volume_);
    return S_OK;
}

HRESULT CBRLPlayer::GetVolume(int32_t* volume) {
    if (volume == nullptr) return E_POINTER;
    *volume = volume_;
    return S_OK;
}

HRESULT CBRLPlayer::SetPosition(int64_t ticks) {
    if (mode_ == Mode::Empty) return S_FALSE;
    const int64_t t = std::clamp<int64_t>(ticks, 0, LastPosition());
    if (mode_ == Mode::Playing) {
        StartPlaying(t);
        awaitingResume_ = true;
        SendState(BRLStateSeeking);
    } else {
        position_ = t;
        if (mode_ == Mode::Ended) mode_ = Mode::Stopped;
        pendingSeekSerial_ = NextSerial();
        worker_->Show(t, pendingSeekSerial_);
    }
    RefreshControls();
    return S_OK;
}

HRESULT CBRLPlayer::GetPosition(int64_t* ticks) {
    if (ticks == nullptr) return E_POINTER;
    *ticks = mode_ == Mode::Playing ? PlayingPosition() : position_;
    return S_OK;
}

// ---- worker answers ----

void CBRLPlayer::OnPicture(uint32_t serial, QImage picture, int64_t, bool seek) {
    if (serial != serial_ || mode_ == Mode::Empty) return;
    picture_->SetPicture(std::move(picture));
    if (seek && pendingSeekSerial_ == serial) {
        pendingSeekSerial_ = 0;
        SendNotify(BRLNotifySeekShown, Milliseconds(position_));
    }
    if (!seek && awaitingResume_ && mode_ == Mode::Playing) {
        awaitingResume_ = false;
        SendNotify(BRLNotifySeekShown, Milliseconds(playStart_.baseTicks));
        SendState(BRLStatePlaying);
    }
}

void CBRLPlayer::OnEnded(uint32_t serial) {
    if (serial != serial_ || mode_ != Mode::Playing) return;
    if (repeat_) {
        StartPlaying(0);
        return;
    }
    StopAudio();
    refreshTimer_.stop();
    position_ = LastPosition();
    mode_ = Mode::Ended;
    SendState(BRLStateStopped);
    RefreshControls();
}

void CBRLPlayer::OnFailed(uint32_t serial) {
    if (serial != serial_ || mode_ == Mode::Empty) return;
    if (pendingSeekSerial_ == serial) pendingSeekSerial_ = 0;
    awaitingResume_ = false;
    if (mode_ == Mode::Playing) {
        // Playing stops as it would by a pause, or by the end when the failure came there: those
        // who follow the state hear that playing stopped before they hear why.
        position_ = PlayingPosition();
        StopAudio();
        refreshTimer_.stop();
        const bool atEnd = position_ >= LastPosition();
        if (atEnd) position_ = LastPosition();
        mode_ = atEnd ? Mode::Ended : Mode::Paused;
        SendState(atEnd ? BRLStateStopped : BRLStatePaused);
    }
    SendNotify(BRLNotifyDecodeFailed, 0);
    SendState(BRLStateError);
    RefreshControls();
}

// ---- seek bar ----

void CBRLPlayer::OnSeekBarPressed(int64_t ticks) {
    resumeAfterSeekBar_ = mode_ == Mode::Playing;
    if (resumeAfterSeekBar_) Pause();
    SetPosition(ticks);
}

void CBRLPlayer::OnSeekBarDragged(int64_t ticks) {
    SetPosition(ticks);
}

void CBRLPlayer::OnSeekBarReleased(int64_t ticks) {
    SetPosition(ticks);
    // 9 announces that playing resumes; a release while paused leaves the pause as it is.
    if (resumeAfterSeekBar_) {
        resumeAfterSeekBar_ = false;
        SendState(BRLStateSeekReleased);
        Play();
    }
}

// ---- look ----

void CBRLPlayer::RefreshControls() {
    const bool loaded = mode_ != Mode::Empty;
    playButton_->setEnabled(loaded);
    stopButton_->setEnabled(loaded);
    seekBar_->setEnabled(loaded);
    playButton_->setIcon(style()->standardIcon(mode_ == Mode::Playing ? QStyle::SP_MediaPause
                                                                      : QStyle::SP_MediaPlay));
    int64_t position = 0;
    GetPosition(&position);
    seekBar_->SetValue(position);
    timeLabel_->setText(loaded
                            ? FormatTime(position) + QStringLiteral(" / ") + FormatTime(duration_)
                            : QStringLiteral("--:-- / --:--"));
}

QImage CBRLPlayer::Picture() const {
    return picture_->Picture();
}
QWidget* CBRLPlayer::PictureWidget() const {
    return picture_;
}
QWidget* CBRLPlayer::SeekBarWidget() const {
    return seekBar_;
}

void RegisterPlayerComponent() {
    ComponentRegistry::Instance().Register(kPlayerProgId,
                                           [](std::unique_ptr<IComponent>& out) -> HRESULT {
                                               out = std::make_unique<CBRLPlayer>();
                                               return S_OK;
                                           });
}

}  // namespace brevio
