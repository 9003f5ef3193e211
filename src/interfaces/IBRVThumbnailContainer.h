#pragma once
// What the preview pane and the main dialog ask of the thumbnail pane (unit or chapter kind).
// UI thread only.
#include <QString>
#include <cstdint>

#include "platform/HResult.h"

namespace brevio {

class IBRVThumbnailContainer {
public:
    // Opens the edit document; a result code (0, or 3, 4, 5, 7; 7 for a null path).
    virtual int32_t LoadMovie(const QString& path) = 0;
    virtual void UnloadMovie() = 0;
    // After a pause, a stop or a notified seek, and with 0 when a movie is loaded.
    virtual HRESULT OnPositionChanged(int64_t ticks) = 0;
    // When playback starts and before each OnPositionChanged: empties the strip.
    virtual void OnPlaybackStarted() = 0;
    // Each position tick while playing, and 0 on stop.
    virtual void OnPlayingPosition(int64_t ticks) = 0;

protected:
    ~IBRVThumbnailContainer() = default;
};

}  // namespace brevio
