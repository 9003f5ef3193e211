#pragma once
// What the player's event sink calls on the preview pane. UI thread only.
#include <cstdint>

namespace brevio {

class IBRLUserEvent {
public:
    virtual void OnPlayStateChange(int32_t state) = 0;
    virtual void OnPlayerNotify(int32_t a, int32_t b) = 0;

protected:
    ~IBRLUserEvent() = default;
};

}  // namespace brevio
