#pragma once
// What the thumbnail pane asks of the preview pane. UI thread only.
#include <QString>
#include <cstdint>

#include "platform/HResult.h"

namespace brevio {

class IBRVPreviewContainer {
public:
    // The codes of ControlPlayback.
    static constexpr int32_t kPlay = 2;
    static constexpr int32_t kPause = 4;
    static constexpr int32_t kStop = 6;
    static constexpr int32_t kPlayUnlessPaused = -1;

    // Loads a movie (the reference movie after edits). S_OK, or the failure (E_FAIL without a
    // code) after unloading the player and telling the thumbnail sink OnPlaybackStarted.
    virtual HRESULT OpenMovie(const QString& path) = 0;
    // 2 play, 4 pause, 6 stop, -1 play unless paused (then 1 at once); other codes 1; 0 when the
    // player is missing, else the player's result.
    virtual HRESULT ControlPlayback(int32_t code) = 0;
    // Seeks (pausing first); with `notify` the sink hears OnPlaybackStarted and OnPositionChanged.
    virtual HRESULT SetPosition(int64_t ticks, bool notify) = 0;
    virtual void CloseMovie() = 0;

protected:
    ~IBRVPreviewContainer() = default;
};

}  // namespace brevio
