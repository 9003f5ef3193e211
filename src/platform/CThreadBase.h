#pragma once
// Base of every worker thread object. Start() runs Run() on a new thread; stopping is the
// subclass's job: clear its own atomic flag, then Join(). Join() on a thread that never started or
// has already been joined returns at once, and so does a Join() from the thread itself. The
// destructor joins too, so a thread never outlives the object whose Run() it executes (a subclass
// whose Run uses its own members must stop and join in its own destructor).
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

namespace brevio {

class CThreadBase {
public:
    CThreadBase() = default;
    CThreadBase(const CThreadBase&) = delete;
    CThreadBase& operator=(const CThreadBase&) = delete;
    virtual ~CThreadBase();

    // Starts the thread; false when it could not be created or one is still running (not joined).
    bool Start();
    // Waits without a time limit for the thread to end; returns at once when there is none.
    void Join();
    // True between a successful Start and the Join that follows it.
    bool IsStarted() const;
    // The exit code that Run returned; 0 before the thread has ended.
    uint32_t ExitCode() const { return exitCode_.load(); }
    // True once Run has returned (until the next Start).
    bool IsFinished() const { return finished_.load(); }
    // True when called from this object's own thread.
    bool IsCurrentThread() const;

protected:
    // The thread body; its result is the thread's exit code.
    virtual uint32_t Run() { return 0; }

private:
    std::mutex joinMutex_;      // one Start or Join at a time, held while joining
    mutable std::mutex mutex_;  // guards thread_
    std::thread thread_;
    std::atomic<std::thread::id> runningId_{};  // id of the thread until it is joined
    std::atomic<uint32_t> exitCode_{0};
    std::atomic<bool> finished_{false};
};

}  // namespace brevio
