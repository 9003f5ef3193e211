#include "CSeekThread.h"

#include <chrono>

#include "window/WindowMessages.h"

namespace brevio {

CSeekThread::CSeekThread(const WindowHandle& target) : target_(target) {}

CSeekThread::~CSeekThread() {
    Stop();
}

void CSeekThread::Stop() {
    {
        // Under the wait's lock, so the thread either sees the flag before it waits or is woken.
        std::lock_guard lock(wakeMutex_);
        running_.store(0);
    }
    wake_.notify_all();
    Join();
}

uint32_t CSeekThread::Run() {
    while (running_.load() > 0) {
        if (target_.IsWindow()) target_.PostMessage(WM_PREVIEW_TICK, 0, 0);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kTickIntervalMs);
        std::unique_lock lock(wakeMutex_);
        wake_.wait_until(lock, deadline, [this] { return running_.load() <= 0; });
    }
    return 1;
}

}  // namespace brevio
