#pragma once
// The preview pane: the child window in the upper left of the editing dialog that hosts the player
// control ("BRL11.BRLPlayer", made through the component registry in WM_CREATE). It follows the
// player's play state and tells the thumbnail pane where playback stands: OnPlaybackStarted when
// playing starts or before a report, OnPositionChanged after a pause, a stop or a notified seek
// (and from timer 4009 while paused, when the position moved), OnPlayingPosition from the 200 ms
// ticks of CSeekThread while playing and 0 on stop. It watches the source movie file and asks its
// parent to end the dialog (WM_BRV_CLOSE_REQUEST, 7) after ids::kSourceChanged when the file
// changes.
//
// The pane is 328 by 248 + the player's control height; the player sits at (4, 4), 320 wide and
// 240 + that height tall, inside a rounded frame. UI thread only.
#include <QPoint>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>

#include "document/SourceFileWatch.h"
#include "interfaces/IBRVPreviewContainer.h"
#include "preview/IBRLUserEvent.h"
#include "window/WindowBase.h"

namespace brevio {

class BRLEventDispatch;
class CSeekThread;
class IBRLEventSource;
class IBRLPlayback;
class IBRLPlayer;
class IBRVThumbnailContainer;

class CPreviewContainer : public WindowBase, public IBRLUserEvent, public IBRVPreviewContainer {
    Q_OBJECT

public:
    static constexpr uint32_t kReportTimerId =
        4009;  // 450 ms after a pause: report a moved position
    static constexpr uint32_t kKeepTickerTimerId = 4010;  // 300 ms after a seek-bar release
    static constexpr int kReportIntervalMs = 450;
    static constexpr int kKeepTickerMs = 300;
    static constexpr int kMargin = 4;
    static constexpr int kPictureWidth = 320;
    static constexpr int kPictureHeight = 240;

    // Constructed without its window; Create makes the window and, in WM_CREATE, the player.
    explicit CPreviewContainer(QWidget* parent = nullptr);
    ~CPreviewContainer() override;

    // IBRVPreviewContainer
    HRESULT OpenMovie(const QString& path) override;
    HRESULT ControlPlayback(int32_t code) override;
    HRESULT SetPosition(int64_t ticks, bool notify) override;
    void CloseMovie() override;

    // Loads the source movie once, after the thumbnail sink is set: 0, or 7 when it cannot be
    // loaded (the player is unloaded and the sink told OnPlaybackStarted). On success the file is
    // snapshot for CheckSourceFileChanged and the sink hears OnPositionChanged(0).
    int32_t LoadInitialMovie(const QString& path);
    // The thumbnail pane, not owned; null: none.
    void SetThumbnailContainer(IBRVThumbnailContainer* sink) { sink_ = sink; }
    // The player's control size (width, height of its own controls under the picture); without a
    // player a temporary one is made through the registry and asked. The failure when none can be
    // made, E_POINTER for null pointers.
    HRESULT GetControlSize(int32_t* width, int32_t* height);
    // The host's player value (the volume) to the player, 0 when `reset`; 0 without a player.
    HRESULT SetPlayerSetting(int32_t value, bool reset);
    // Reads the player's value into `value` (unchanged without a player); `flag` is never written.
    // E_POINTER when either is null, else S_OK.
    HRESULT GetPlayerSetting(int32_t* value, int32_t* flag);
    // The caption of the pane's message boxes: a copy of `text`, ids::kCaption for null.
    void SetMessageCaption(const QString* text);
    QString GetMessageCaption() const { return caption_; }
    // Whether the source movie changed on disk since LoadInitialMovie. The first change found
    // unloads the player, shows ids::kSourceChanged and asks the parent to end the dialog with 7;
    // from then on the answer is true at once.
    bool CheckSourceFileChanged();

    // IBRLUserEvent: the play-state table; player notifications are ignored.
    void OnPlayStateChange(int32_t state) override;
    void OnPlayerNotify(int32_t a, int32_t b) override;

    // What the pane stands on, for the dialog and for tests.
    int32_t GetPlayState() const { return playState_; }
    int64_t GetDuration() const { return duration_; }
    int64_t GetLastReportedPosition() const { return lastReported_; }
    int64_t GetLastTickedPosition() const { return lastTicked_; }
    bool HasPlayer() const { return player_ != nullptr && playback_ != nullptr; }
    bool HasTicker() const { return ticker_ != nullptr; }
    bool IsKeepTicker() const { return keepTicker_; }
    bool IsTickerStopped() const { return tickerStopped_; }
    bool IsAdvised() const { return cookie_ != 0; }
    // The player control's widget (the host child), null before WM_CREATE made it.
    QWidget* PlayerWidget() const { return host_; }

protected:
    void PaintContent(QPainter& painter) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    LRESULT OnCreate();
    HRESULT CreatePlayer();
    void OnDestroy();
    void Layout();
    void OnTimer(uint32_t id);
    void OnTick();
    void OnParentNotifyButtonDown(const QPoint& point);
    HRESULT OpenStep(const QString& path);
    HRESULT ReportPosition();
    bool ClickTest() const;
    void StartTicker();
    void StopTicker();
    void StopStep();
    void Unadvise();
    void WatchPresses(QObject* object);
    void PostCloseRequest(uintptr_t code);

    QPointer<QWidget> host_;        // the player control's widget, a Qt child of the pane
    IBRLPlayer* player_ = nullptr;  // interfaces of host_, which owns them
    IBRLPlayback* playback_ = nullptr;
    IBRLEventSource* connectionPoint_ = nullptr;
    uint32_t cookie_ = 0;
    std::unique_ptr<BRLEventDispatch> dispatch_;  // kept until unadvised
    IBRVThumbnailContainer* sink_ = nullptr;
    int32_t playState_ = 0;
    int64_t lastReported_ = 0;
    int64_t lastTicked_ = 0;
    int64_t duration_ = 0;
    QString caption_;
    QPoint clickPoint_;
    SourceFileWatch sourceWatch_;
    std::unique_ptr<CSeekThread> ticker_;
    bool keepTicker_ = false;
    bool tickerStopped_ = false;
};

}  // namespace brevio
