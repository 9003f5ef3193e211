#pragma once

namespace brevio {

// Implemented by the content window: the thumbnail pane calls it after each cut, undo and redo,
// and it calls back the pane's UpdateButtons.
class IBRVUIUpdater {
public:
    virtual void RefreshUI() = 0;

protected:
    ~IBRVUIUpdater() = default;
};

}  // namespace brevio
