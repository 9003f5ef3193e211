#pragma once
// The preview pane's event sink on the player's connection point: turns the player's events into
// calls on an IBRLUserEvent. It holds a lock on the module while it lives. The owner keeps it
// alive until it has been unadvised.
#include <cstdint>
#include <vector>

#include "player/IBRLPlayer.h"
#include "preview/IBRLUserEvent.h"

namespace brevio {

class BRLEventDispatch : public IBRLPlayerEvents {
public:
    BRLEventDispatch();
    ~BRLEventDispatch() override;
    BRLEventDispatch(const BRLEventDispatch&) = delete;
    BRLEventDispatch& operator=(const BRLEventDispatch&) = delete;

    // The target is not owned; null stops the dispatch.
    void SetTarget(IBRLUserEvent* target) { target_ = target; }

    // Event 1 (play state, one argument) and event 2 (two arguments) go to the target, arguments
    // in their declared order; the answer is DISP_E_MEMBERNOTFOUND whether or not an event was
    // dispatched. An event with fewer arguments than its kind needs is DISP_E_BADPARAMCOUNT and
    // reaches nobody.
    HRESULT Invoke(int32_t dispId, const std::vector<int32_t>& arguments) override;

private:
    IBRLUserEvent* target_ = nullptr;
};

}  // namespace brevio
