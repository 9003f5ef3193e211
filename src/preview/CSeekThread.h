#pragma once
// The preview pane's position ticker: while running, posts WM_PREVIEW_TICK to the pane's window
// every 200 ms. It touches only its running flag and the window handle. Stop() ends it at once
// (the wait between ticks is interrupted) and joins it; the destructor stops it too.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/CThreadBase.h"
#include "platform/WindowHandle.h"

namespace brevio {

class CSeekThread : public CThreadBase {
public:
    static constexpr int kTickIntervalMs = 200;

    // The target is set before the thread starts.
    explicit CSeekThread(const WindowHandle& target);
    ~CSeekThread() override;

    // Running to 0, then a wait without time limit for the thread; returns at once when the
    // thread never started or has ended.
    void Stop();
    bool IsRunning() const { return running_.load() > 0; }

protected:
    uint32_t Run() override;

private:
    std::atomic<int32_t> running_{1};
    const WindowHandle target_;
    std::mutex wakeMutex_;
    std::condition_variable wake_;
};

}  // namespace brevio
