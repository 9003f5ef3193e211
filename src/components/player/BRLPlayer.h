#pragma once
// The player control "BRL11.BRLPlayer": a 320 x 240 picture with its own controls below it
// (play/pause, stop, the seek bar and the time), each a separate child widget. The playing itself
// is PlayerCore's: the control forwards the player's interfaces and the user's presses to it, and
// shows what it reads from it whenever the core reports a change (and ten times a second while
// playing, for the time and the seek bar). The core's workers reach the UI thread through queued
// calls on this object.
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "PlayerCore.h"

class QLabel;
class QToolButton;

namespace brevio::player {
class PictureView;
class SeekBar;
}  // namespace brevio::player

namespace brevio {

class BRLPlayer : public QWidget,
                  public IComponent,
                  public IBRLPlayer,
                  public IBRLPlayback,
                  public IBRLEventSource {
    Q_OBJECT
public:
    static constexpr int kPictureWidth = player::PlayerCore::kPictureWidth;
    static constexpr int kPictureHeight = player::PlayerCore::kPictureHeight;
    static constexpr int kControlBarHeight = player::PlayerCore::kControlBarHeight;

    explicit BRLPlayer(QWidget* parent = nullptr);

    // IBRLPlayer
    HRESULT Open(const QString& path) override { return core_.Open(path); }
    HRESULT SetAutoStart(int32_t on) override { return core_.SetAutoStart(on); }
    HRESULT SetRepeat(int32_t on) override { return core_.SetRepeat(on); }
    HRESULT SetNotifications(int32_t on) override { return core_.SetNotifications(on); }
    HRESULT GetControlSize(int32_t* width, int32_t* height) override {
        return core_.GetControlSize(width, height);
    }
    HRESULT SetDisplayMode(int32_t mode) override { return core_.SetDisplayMode(mode); }
    HRESULT GetMovie(std::unique_ptr<IBRLMovie>* movie) override { return core_.GetMovie(movie); }
    // IBRLPlayback
    HRESULT Play() override { return core_.Play(); }
    HRESULT Stop() override { return core_.Stop(); }
    HRESULT Pause() override { return core_.Pause(); }
    HRESULT SetVolume(int32_t volume) override { return core_.SetVolume(volume); }
    HRESULT GetVolume(int32_t* volume) override { return core_.GetVolume(volume); }
    HRESULT SetPosition(int64_t ticks) override { return core_.SetPosition(ticks); }
    HRESULT GetPosition(int64_t* ticks) override { return core_.GetPosition(ticks); }
    // IBRLEventSource
    HRESULT Advise(IBRLPlayerEvents* sink, uint32_t* cookie) override {
        return core_.Advise(sink, cookie);
    }
    HRESULT Unadvise(uint32_t cookie) override { return core_.Unadvise(cookie); }

    // The picture as last delivered (320 x 240, RGB32), null before the first frame.
    QImage Picture() const { return core_.Picture(); }
    // True while a seek's picture has not arrived yet.
    bool IsSeekPending() const { return core_.IsSeekPending(); }
    QWidget* SeekBarWidget() const;
    QToolButton* PlayButton() const { return playButton_; }
    QToolButton* StopButton() const { return stopButton_; }
    // How Page Up and Page Down on the seek bar find the scene before or after a position; by
    // default they move ten seconds.
    void SetScenePager(std::function<int64_t(int64_t position, int direction)> pager);

private:
    void RefreshControls();
    // The play button's name and tool tip for the playing state.
    void NamePlayButton(bool playing);

    player::PictureView* picture_ = nullptr;
    QToolButton* playButton_ = nullptr;
    QToolButton* stopButton_ = nullptr;
    player::SeekBar* seekBar_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QTimer refreshTimer_;
    // Declared last, so destroyed first: its workers are joined while this object still stands.
    player::PlayerCore core_;
};

}  // namespace brevio
