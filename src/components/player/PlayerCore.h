#pragma once
// The player without its window: the play-state machine, the video and sound workers, the clock,
// the list of event sinks and the picture as last delivered. It implements the player's
// interfaces; the control (BRLPlayer) lays out the picture, the buttons and the seek bar, reads
// this object's state and hands the user's actions to it.
//
// Everything runs on one thread, the owner's (the UI thread). The workers reach it only through
// the injected poster, which runs a task later on that thread; events to the sinks travel the same
// way, so they arrive after the call that caused them has returned. Tasks that arrive after the
// core is gone do nothing. The destructor joins the workers.
#include <QImage>
#include <functional>
#include <map>
#include <memory>

#include "IBRLPlayer.h"
#include "PlaybackClock.h"
#include "PlayerWorker.h"

namespace brevio::media {
class MediaFile;
}

namespace brevio::player {

class AudioOutput;

class PlayerCore : public IBRLPlayer, public IBRLPlayback, public IBRLEventSource {
public:
    static constexpr int kPictureWidth = 320;
    static constexpr int kPictureHeight = 240;
    static constexpr int kControlBarHeight = 32;

    explicit PlayerCore(Poster poster);
    ~PlayerCore() override;
    PlayerCore(const PlayerCore&) = delete;
    PlayerCore& operator=(const PlayerCore&) = delete;

    // Device pixels per logical pixel of the picture, asked at every Open: the picture is
    // decoded and scaled to 320 x 240 times the ratio and carries the ratio. Unset: 1.
    std::function<qreal()> pixelRatio;

    // IBRLPlayer
    HRESULT Open(const QString& path) override;
    HRESULT SetAutoStart(int32_t on) override;
    HRESULT SetRepeat(int32_t on) override;
    HRESULT SetNotifications(int32_t on) override;
    HRESULT GetControlSize(int32_t* width, int32_t* height) override;
    HRESULT SetDisplayMode(int32_t mode) override;
    HRESULT GetMovie(std::unique_ptr<IBRLMovie>* movie) override;
    // IBRLPlayback
    HRESULT Play() override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT SetVolume(int32_t volume) override;
    HRESULT GetVolume(int32_t* volume) override;
    HRESULT SetPosition(int64_t ticks) override;
    HRESULT GetPosition(int64_t* ticks) override;
    // IBRLEventSource
    HRESULT Advise(IBRLPlayerEvents* sink, uint32_t* cookie) override;
    HRESULT Unadvise(uint32_t cookie) override;

    // The seek bar held by the user: a press pauses playing until the release, which resumes it.
    void PressSeekBar(int64_t ticks);
    void DragSeekBar(int64_t ticks);
    void ReleaseSeekBar(int64_t ticks);

    bool IsLoaded() const { return mode_ != Mode::Empty; }
    bool IsPlaying() const { return mode_ == Mode::Playing; }
    int64_t Duration() const { return duration_; }
    // Where the picture stands (GetPosition without the out argument).
    int64_t Position() const;
    // The picture as last delivered (320 x 240, RGB32), null before the first frame.
    const QImage& Picture() const { return picture_; }
    // True while a seek's picture has not arrived yet.
    bool IsSeekPending() const { return pendingSeekSerial_ != 0; }

    // Called at once (not posted) after the state or the picture changed, for the view.
    std::function<void()> onChanged;

private:
    enum class Mode { Empty, Stopped, Paused, Playing, Ended };

    void Unload();
    void StartPlaying(int64_t from);
    void StopAudio();
    int64_t PlayingPosition() const;
    // Positions lie within 0 .. duration - 1: the end itself belongs to no frame.
    int64_t LastPosition() const;
    void ShowStill(int64_t ticks);
    void SendState(int32_t state);
    void SendNotify(int32_t kind, int32_t value);
    void Deliver(int32_t dispId, std::vector<int32_t> arguments);
    void OnPicture(uint32_t serial, QImage picture, bool seek);
    void OnEnded(uint32_t serial);
    void OnFailed(uint32_t serial);
    void Changed();
    uint32_t NextSerial();

    // Liveness of this object, looked at by every posted task on the owner's thread.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    Poster poster_;  // runs a task on the owner's thread, unless this object is gone by then

    std::shared_ptr<const media::MediaFile> file_;
    std::shared_ptr<PlaybackClock> clock_;
    std::unique_ptr<PlayerWorker> worker_;
    std::unique_ptr<AudioOutput> audio_;
    QImage picture_;

    Mode mode_ = Mode::Empty;
    int64_t duration_ = 0;
    int64_t position_ = 0;  // where the picture stands when not playing
    PlayStart playStart_;
    uint32_t serial_ = 0;
    uint32_t pendingSeekSerial_ = 0;
    bool awaitingResume_ = false;  // a seek while playing waits for its first picture
    bool resumeAfterSeekBar_ = false;
    int32_t lastState_ = 0;
    bool autoStart_ = false;
    bool repeat_ = false;
    bool notifications_ = false;
    int32_t displayMode_ = 0;
    int32_t volume_ = 10000;

    std::map<uint32_t, IBRLPlayerEvents*> sinks_;
    uint32_t nextCookie_ = 1;
};

}  // namespace brevio::player
