#pragma once
// The player control's interfaces. The control is created through the component registry under
// kPlayerProgId; the object is a QWidget (BRLPlayer) that implements IBRLPlayer, IBRLPlayback and
// IBRLEventSource by handing every call to its PlayerCore, which implements them without a window.
// All calls and all events happen on the UI thread.
//
// Play states sent with event kDispIdPlayStateChange (one argument):
//   2 playing started; 3 seeking while playing (followed by 2 once the new place shows);
//   4 paused; 5 a movie was loaded and stands at its start; 6 stopped, or the end was reached;
//   7 the movie was unloaded (Open with "" or a failed Open); 8 the movie could not be decoded
//   (when that stops playing, 4 or, at the end, 6 comes first); 9 the seek bar was released by a
//   press that paused playing (the press sent 4, and playing resumes with 2 after the 9); a
//   release while paused sends nothing.
// A state is sent only when it differs from the last one sent.
// Event kDispIdPlayerNotify carries (kind, value), sent only after SetNotifications(1):
//   kind 1: a movie was opened, value = its duration in milliseconds;
//   kind 2: the picture of a seek is shown, value = the position in milliseconds;
//   kind 3: a frame could not be decoded, value = 0.
// Events are posted: they arrive after the call that caused them has returned.
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ComponentRegistry.h"
#include "platform/HResult.h"

namespace brevio {

inline constexpr char kPlayerProgId[] = "BRL11.BRLPlayer";

inline constexpr int32_t kDispIdPlayStateChange = 1;
inline constexpr int32_t kDispIdPlayerNotify = 2;

enum BRLPlayState : int32_t {
    BRLStatePlaying = 2,
    BRLStateSeeking = 3,
    BRLStatePaused = 4,
    BRLStateReady = 5,
    BRLStateStopped = 6,
    BRLStateUnloaded = 7,
    BRLStateError = 8,
    BRLStateSeekReleased = 9,
};

enum BRLNotifyKind : int32_t {
    BRLNotifyOpened = 1,
    BRLNotifySeekShown = 2,
    BRLNotifyDecodeFailed = 3,
};

// The outgoing event interface. Arguments come in their declared order.
class IBRLPlayerEvents {
public:
    virtual ~IBRLPlayerEvents() = default;
    virtual HRESULT Invoke(int32_t dispId, const std::vector<int32_t>& arguments) = 0;
};

// The loaded movie.
class IBRLMovie {
public:
    virtual ~IBRLMovie() = default;
    virtual HRESULT GetDuration(int64_t* ticks) = 0;
};

class IBRLPlayer {
public:
    virtual ~IBRLPlayer() = default;
    // Loads a movie (a reference movie too); "" unloads. On failure nothing stays loaded.
    virtual HRESULT Open(const QString& path) = 0;
    // 1: start playing when a movie is opened; 0 (the default): stand at the start.
    virtual HRESULT SetAutoStart(int32_t on) = 0;
    // 1: start again from the beginning at the end; 0 (the default): stop at the end.
    virtual HRESULT SetRepeat(int32_t on) = 0;
    // 1: send kDispIdPlayerNotify events; 0 (the default): do not.
    virtual HRESULT SetNotifications(int32_t on) = 0;
    // The size that the control's own controls need under the 320 x 240 picture: width 320,
    // height kControlBarHeight. Fixed numbers, also before the control has a window.
    virtual HRESULT GetControlSize(int32_t* width, int32_t* height) = 0;
    // 0 (the default): the picture keeps its aspect ratio with black bars; 1: stretched.
    virtual HRESULT SetDisplayMode(int32_t mode) = 0;
    // The loaded movie; E_FAIL when none is loaded.
    virtual HRESULT GetMovie(std::unique_ptr<IBRLMovie>* movie) = 0;
};

class IBRLPlayback {
public:
    virtual ~IBRLPlayback() = default;
    virtual HRESULT Play() = 0;
    // Stops and goes back to the start.
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    // The host's setting: the volume, 0 (silent) to 10000 (full); values outside are clamped.
    virtual HRESULT SetVolume(int32_t volume) = 0;
    virtual HRESULT GetVolume(int32_t* volume) = 0;
    // Shows the frame whose time span holds the position (negative counts as 0, the end or beyond
    // as duration - 1, the last tick of the last frame); playing goes on from there when it was
    // playing.
    virtual HRESULT SetPosition(int64_t ticks) = 0;
    // Where the picture stands, within 0 .. duration - 1 (at the end of playing: duration - 1).
    virtual HRESULT GetPosition(int64_t* ticks) = 0;
};

// The connection point for IBRLPlayerEvents.
class IBRLEventSource {
public:
    virtual ~IBRLEventSource() = default;
    // E_POINTER for a null sink or cookie; the sink is not owned and must stay alive until
    // Unadvise. Cookies start at 1.
    virtual HRESULT Advise(IBRLPlayerEvents* sink, uint32_t* cookie) = 0;
    // E_INVALIDARG for an unknown cookie.
    virtual HRESULT Unadvise(uint32_t cookie) = 0;
};

// Adds the player's factory to the registry.
void RegisterPlayerComponent();

}  // namespace brevio
