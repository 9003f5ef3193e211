#pragma once
// Wakes a worker thread: the worker waits until a deadline (or without one), and any thread posts
// when something the worker reads has changed (a new request, a stop, a new volume). Posts are
// counted, so one that comes between the worker's look at its state and its wait is not lost.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace brevio::player {

class WorkerSignal {
public:
    using Clock = std::chrono::steady_clock;

    void Post() {
        {
            std::lock_guard lock(mutex_);
            ++posts_;
        }
        changed_.notify_all();
    }
    // The number of posts so far: take it before looking at the state, then wait with it.
    uint64_t Posts() const {
        std::lock_guard lock(mutex_);
        return posts_;
    }
    // Returns at the deadline, or at once when there was a post after `seen`.
    void WaitUntil(uint64_t seen, Clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, deadline, [&] { return posts_ != seen; });
    }
    void Wait(uint64_t seen) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return posts_ != seen; });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t posts_ = 0;
};

}  // namespace brevio::player
