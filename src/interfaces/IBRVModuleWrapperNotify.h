#pragma once

namespace brevio {

// Told by the edit document that its movie has been saved. Called on the save worker's thread:
// an implementation posts what it has to do to its own thread and never waits for another one.
class IBRVModuleWrapperNotify {
public:
    virtual void OnMovieSaved() = 0;

protected:
    ~IBRVModuleWrapperNotify() = default;
};

}  // namespace brevio
