#pragma once
// The player control "BRL11.BRLPlayer": a 320 x 240 picture with its own controls below it
// (play/pause, stop, the seek bar and the time), each a separate child widget. Decoding and
// presentation run on a worker thread (CPlayerWorker), sound on another (CAudioOutput) when an
// audio output device exists; otherwise a steady clock paces the pictures. The UI thread talks to
// the workers only through their request mailboxes, atomics and queued calls.
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <map>
#include <memory>

#include "IBRLPlayer.h"
#include "PlaybackClock.h"

class QLabel;
class QToolButton;

namespace brevio::media {
class MediaFile;
}

namespace brevio::player {
class CAudioOutput;
class CPictureView;
class CPlayerWorker;
class CSeekBar;
}  // namespace brevio::player

namespace brevio {

class CBRLPlayer : public QWidget,
                   public IComponent,
                   public IBRLPlayer,
                   public IBRLPlayback,
                   public IBRLEventSource {
    Q_OBJECT
public:
    static constexpr int kPictureWidth = 320;
    static constexpr int kPictureHeight = 240;
    static constexpr int kControlBarHeight = 32;

    explicit CBRLPlayer(QWidget* parent = nullptr);
    ~CBRLPlayer() override;

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

    // The picture as last delivered (320 x 240, RGB32), null before the first frame.
    QImage Picture() const;
    // True while a seek's picture has not arrived yet.
    bool IsSeekPending() const { return pendingSeekSerial_ != 0; }
    QWidget* PictureWidget() const;
    QWidget* SeekBarWidget() const;
    QToolButton* PlayButton() const { return playButton_; }
    QToolButton* StopButton() const { return stopButton_; }

private:
    enum class Mode { Empty, Stopped, Paused, Playing, Ended };

    void Unload();
    void StartPlaying(int64_t from);
    void StopAudio();
    int64_t PlayingPosition() const;
    // Positions lie within 0 .. duration - 1: the end itself belongs to no frame.
    int64_t LastPosition() const;
    void SendState(int32_t state);
    void SendNotify(int32_t kind, int32_t value);
    void Deliver(int32_t dispId, std::vector<int32_t> arguments);
    void OnPicture(uint32_t serial, QImage picture, int64_t frameStart, bool seek);
    void OnEnded(uint32_t serial);
    void OnFailed(uint32_t serial);
    void OnSeekBarPressed(int64_t ticks);
    void OnSeekBarDragged(int64_t ticks);
    void OnSeekBarReleased(int64_t ticks);
    void RefreshControls();
    uint32_t NextSerial();

    player::CPictureView* picture_ = nullptr;
    QToolButton* playButton_ = nullptr;
    QToolButton* stopButton_ = nullptr;
    player::CSeekBar* seekBar_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QTimer refreshTimer_;

    std::shared_ptr<const media::MediaFile> file_;
    std::shared_ptr<player::PlaybackClock> clock_;
    std::unique_ptr<player::CPlayerWorker> worker_;
    std::unique_ptr<player::CAudioOutput> audio_;

    Mode mode_ = Mode::Empty;
    int64_t duration_ = 0;
    int64_t position_ = 0;  // where the picture stands when not playing
    player::PlayStart playStart_;
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

}  // namespace brevio
